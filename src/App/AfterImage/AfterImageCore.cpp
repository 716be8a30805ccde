#include "App/AfterImage/AfterImageCore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "App/AfterImage/AfterImage.h"
#include "Common/DEBUGWIN.h"

uint32_t _imgInfoCnt;
_imgInfo *_imgInfoP;
uint16_t *_imgIndexP;
long _prevFrame = -1;

// The number after aTag in the name; 0 when the name has no such part.
static long _imgNumber(const char *aNameP, const char *aTagP, long *aNumP)
{
    const char *p = strstr(aNameP, aTagP);
    if (p == nullptr)
        return 0;
    int n = 0;
    if (sscanf(p + strlen(aTagP), "%d", &n) != 1)
        return 0;
    *aNumP = n;
    return 1;
}

static void _freePairs(void)
{
    if (_imgInfoP != nullptr)
        for (long n = 0; n < IMG_INFO_MAX; n++)
            delete[] _imgInfoP[n].imgVertP;
    delete[] _imgInfoP;
    _imgInfoP = nullptr;
}

void sAfterImageFindPairs(const _sceneDef *aSceneDefP, long aShapeCnt)
{
    _freePairs();
    _imgInfoCnt = 0;
    _imgInfoP = new (std::nothrow) _imgInfo[IMG_INFO_MAX]();
    if (_imgInfoP == nullptr || aSceneDefP == nullptr || aSceneDefP->shapeP == nullptr)
        return;
    for (long i = 0; i < aShapeCnt && _imgInfoCnt < IMG_INFO_MAX; i++) {
        char name[SCENE_NAME_SIZE];
        memcpy(name, aSceneDefP->shapeP[i].name, SCENE_NAME_SIZE);
        name[SCENE_NAME_SIZE - 1] = 0;
        long num = 0;
        if (!_imgNumber(name, "s_img", &num))
            continue;
        for (long j = 0; j < aShapeCnt; j++) {
            char other[SCENE_NAME_SIZE];
            memcpy(other, aSceneDefP->shapeP[j].name, SCENE_NAME_SIZE);
            other[SCENE_NAME_SIZE - 1] = 0;
            long endNum = 0;
            if (!_imgNumber(other, "e_img", &endNum) || endNum != num)
                continue;
            _imgInfo &info = _imgInfoP[_imgInfoCnt];
            info.startNum = (uint16_t)i;
            info.endNum = (uint16_t)j;
            char msg[64];
            snprintf(msg, sizeof(msg), "[%d], start %d, %d", (int)_imgInfoCnt, (int)i, (int)j);
            sDebugWinPrintMsg(msg);
            _imgInfoCnt++;
            break;
        }
    }
}

void AfterImageLoad(const _sceneDef *aSceneDefP, long aShapeCnt)
{
    sAfterImageFindPairs(aSceneDefP, aShapeCnt);
}

uint32_t sAfterImageColour(uint32_t aColour, long aSlot)
{
    float r = 0.235f, g = 1.0f, b = 0.862745f, a = 0.6f;
    if (aColour != 0) {
        r = (float)((aColour >> 16) & 0xFF) * 0.003921569f;
        g = (float)((aColour >> 8) & 0xFF) * 0.003921569f;
        b = (float)(aColour & 0xFF) * 0.003921569f;
        a = (float)(aColour >> 24) * 0.003921569f;
    }
    const long l = aSlot % IMG_TRAIL;
    float k = (float)(6 - l) * 0.16666667f;
    if (aSlot >= IMG_TRAIL)
        k *= 0.1f;
    const uint32_t ca = (uint32_t)(a * k * 255.0f), cr = (uint32_t)(r * k * 255.0f);
    const uint32_t cg = (uint32_t)(g * k * 255.0f), cb = (uint32_t)(b * k * 255.0f);
    return ca << 24 | cr << 16 | cg << 8 | cb;
}

void sAfterImageIndices(uint16_t *aIndexP)
{
    for (long q = 0; q < 6; q++) {
        uint16_t *p = aIndexP + q * 6;
        p[0] = (uint16_t)q;
        p[1] = (uint16_t)(q + 1);
        p[2] = (uint16_t)(q + 7);
        p[3] = (uint16_t)(q + 1);
        p[4] = (uint16_t)(q + 7);
        p[5] = (uint16_t)(q + 8);
    }
}

static void _place(_IMG_VERTEX *aVertP, const D3DVECTOR *aPosP)
{
    aVertP->x = aPosP->x;
    aVertP->y = aPosP->y;
    aVertP->z = aPosP->z;
}

void sAfterImageInitVertex(_IMG_VERTEX *aVertP, uint32_t aColour, const D3DVECTOR *aStartP, const D3DVECTOR *aEndP)
{
    for (long l = 0; l < IMG_TRAIL; l++) {
        _place(&aVertP[l], aStartP);
        _place(&aVertP[l + IMG_TRAIL], aEndP);
        aVertP[l].col = sAfterImageColour(aColour, l);
        aVertP[l + IMG_TRAIL].col = sAfterImageColour(aColour, l + IMG_TRAIL);
    }
}

long sAfterImageNewFrame(long aFrame)
{
    if (aFrame == _prevFrame)
        return 0;
    _prevFrame = aFrame;
    return 1;
}

void sAfterImageStep(_imgInfo *aInfoP, const D3DVECTOR *aStartP, const D3DVECTOR *aEndP, float aDissolveStart,
                     float aDissolveEnd)
{
    _IMG_VERTEX *v = aInfoP->imgVertP;
    if (v == nullptr)
        return;
    if (aInfoP->initFlg == 0) {
        if (aDissolveStart >= 0.5f || aDissolveEnd >= 0.5f)
            return;
        for (long l = 0; l < IMG_TRAIL; l++) {
            _place(&v[l], aStartP);
            _place(&v[l + IMG_TRAIL], aEndP);
        }
        aInfoP->initFlg = 1;
    }
    for (long n = IMG_TRAIL - 1; n >= 1; n--) {
        v[n].x = v[n - 1].x;
        v[n].y = v[n - 1].y;
        v[n].z = v[n - 1].z;
        v[n + IMG_TRAIL].x = v[n + IMG_TRAIL - 1].x;
        v[n + IMG_TRAIL].y = v[n + IMG_TRAIL - 1].y;
        v[n + IMG_TRAIL].z = v[n + IMG_TRAIL - 1].z;
    }
    _place(&v[0], aStartP);
    _place(&v[IMG_TRAIL], aEndP);
}

void sAfterImageFree(void)
{
    if (_imgInfoP != nullptr) {
        for (long n = 0; n < IMG_INFO_MAX; n++) {
            delete[] _imgInfoP[n].imgVertP;
            _imgInfoP[n].imgVertP = nullptr;
            _imgInfoP[n].initFlg = 0;
        }
    }
    delete[] _imgIndexP;
    _imgIndexP = nullptr;
}
