#include "App/Space/SpaceCore.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "Library/Maths/MathsLib.h"

const _galaxyTable _galaxyTbl[GALAXY_TBL_NUM] = {
    {"Data\\Galaxy\\Galaxy01.bmp", 0.6f, 0.6f, 0.5f, 0.5f, 0.5f},
    {"Data\\Galaxy\\Galaxy02.bmp", 0.8f, 0.8f, 0.8f, 0.8f, 0.5f},
    {"Data\\Galaxy\\Galaxy03.bmp", 0.6f, 0.6f, 0.2f, 0.4f, 0.5f},
    {"Data\\Galaxy\\Galaxy04.bmp", 0.6f, 0.6f, 0.4f, 0.8f, 0.8f},
    {"Data\\Galaxy\\Galaxy01.bmp", 0.4f, 0.4f, 0.4f, 0.4f, 0.8f},
    {"Data\\Galaxy\\Galaxy02.bmp", 0.8f, 0.8f, 1.5f, 0.6f, 0.6f},
};

static int _rand(void)
{
    return rand() & 0x7FFF;
}

static float _bitsFloat(uint32_t aBits)
{
    float f;
    memcpy(&f, &aBits, sizeof(f));
    return f;
}

// Just in front of the far plane, and a reciprocal depth that every driver keeps.
float sSpaceStarZ(void)
{
    return _bitsFloat(0x3F7FFFFE);
}

float sSpaceStarRhw(void)
{
    return _bitsFloat(0x3F800001);
}

static uint32_t _scaleColour(uint32_t aCol, float aK)
{
    const uint32_t r = (uint32_t)((float)((aCol >> 16) & 0xFF) * aK);
    const uint32_t g = (uint32_t)((float)((aCol >> 8) & 0xFF) * aK);
    const uint32_t b = (uint32_t)((float)(aCol & 0xFF) * aK);
    return r << 16 | g << 8 | b;
}

static void _setStar(_STAR_VERTEX *aVertP, D3DVECTOR *aDefP, float aX, float aY, uint32_t aCol)
{
    aVertP->x = aX;
    aVertP->y = aY;
    aVertP->z = sSpaceStarZ();
    aVertP->rhw = sSpaceStarRhw();
    aVertP->col = aCol;
    aDefP->x = aX;
    aDefP->y = aY;
    aDefP->z = sSpaceStarZ();
}

// Stars i+1 .. i+4 become the four neighbours of star i: a small cross of five points.
static void _cross(_STAR_VERTEX *aVertP, D3DVECTOR *aDefP, float *aSpeedP, long aI, float aX, float aY,
                   uint32_t aCol)
{
    static const float ox[4] = {1.0f, -1.0f, 0.0f, 0.0f};
    static const float oy[4] = {0.0f, 0.0f, 1.0f, -1.0f};
    for (long n = 0; n < 4; n++) {
        _setStar(&aVertP[aI + 1 + n], &aDefP[aI + 1 + n], aX + ox[n], aY + oy[n], aCol);
        if (aSpeedP != nullptr)
            aSpeedP[aI + 1 + n] = aSpeedP[aI];
    }
}

long sSpaceStarInit(_starField *aFieldP, long aNum, long aOption, long aSpeedMul, long aWidth, long aHeight)
{
    memset(aFieldP, 0, sizeof(*aFieldP));
    const bool trail = (aOption & SPACE_OPT_TRAIL) != 0;
    // Trail indices are 16-bit.
    if (aNum <= 0 || aWidth <= 0 || aHeight <= 0 || (long long)aNum * SPACE_LAYER_NUM > 0xFFFF)
        return 0;
    const long layers = trail ? SPACE_LAYER_NUM : 1;
    aFieldP->num = aNum;
    aFieldP->option = aOption;
    aFieldP->width = aWidth;
    aFieldP->height = aHeight;
    aFieldP->_starScrSpeedP = new (std::nothrow) float[aNum];
    aFieldP->_starVertP = new (std::nothrow) _STAR_VERTEX[aNum * layers];
    aFieldP->_starVertDefP = new (std::nothrow) D3DVECTOR[aNum * layers];
    if (trail) {
        aFieldP->indexCnt = 8 * aNum;
        aFieldP->_starIndexP = new (std::nothrow) uint16_t[aFieldP->indexCnt];
    }
    if (aFieldP->_starScrSpeedP == nullptr || aFieldP->_starVertP == nullptr || aFieldP->_starVertDefP == nullptr ||
        (trail && aFieldP->_starIndexP == nullptr)) {
        sSpaceStarFree(aFieldP);
        return 0;
    }
    memset(aFieldP->_starVertDefP, 0, sizeof(D3DVECTOR) * aNum * layers);

    const long fw = (long)((float)aWidth * 3.0f), fh = (long)((float)aHeight * 3.0f);
    _STAR_VERTEX *v = aFieldP->_starVertP;
    D3DVECTOR *def = aFieldP->_starVertDefP;
    float *speed = aFieldP->_starScrSpeedP;
    for (long i = 0; i < aNum; i++) {
        const float x = (float)(_rand() % fw), y = (float)(_rand() % fh);
        const uint32_t r = (uint32_t)_rand() & 0x3F, g = (uint32_t)_rand() & 0x3F, b = (uint32_t)_rand() & 0x3F;
        const uint32_t col = 0x80000000u | (255 - r) << 16 | (255 - g) << 8 | (255 - b);
        float s = 1.0f;
        if (!(aOption & SPACE_OPT_SPEED_ONE))
            s = 1.0f / ((float)_rand() * 3.0518509e-05f + 1.0f);
        if (!trail && aSpeedMul != 0)
            s *= (float)aSpeedMul;
        speed[i] = s;
        _setStar(&v[i], &def[i], x, y, col);
        if ((float)i < (float)aNum * 0.3f && i + 4 < aNum) {
            _cross(v, def, speed, i, x, y, col);
            i += 4;
        }
    }
    if (trail) {
        for (long k = 1; k < SPACE_LAYER_NUM; k++) {
            for (long i = 0; i < aNum; i++) {
                _STAR_VERTEX &t = v[k * aNum + i];
                t = v[i];
                t.col = _scaleColour(v[i].col, 1.0f - 0.25f * (float)k);
                def[k * aNum + i] = def[i];
            }
        }
        uint16_t *idx = aFieldP->_starIndexP;
        for (long k = SPACE_LAYER_NUM - 1; k >= 1; k--) {
            for (long i = 0; i < aNum; i++) {
                *idx++ = (uint16_t)(k * aNum + i);
                *idx++ = (uint16_t)((k - 1) * aNum + i);
            }
        }
    }
    aFieldP->initFlg = 0;
    return 1;
}

void sSpaceStarFree(_starField *aFieldP)
{
    delete[] aFieldP->_starScrSpeedP;
    delete[] aFieldP->_starVertP;
    delete[] aFieldP->_starVertDefP;
    delete[] aFieldP->_starIndexP;
    aFieldP->_starScrSpeedP = nullptr;
    aFieldP->_starVertP = nullptr;
    aFieldP->_starVertDefP = nullptr;
    aFieldP->_starIndexP = nullptr;
    aFieldP->num = 0;
    aFieldP->indexCnt = 0;
}

void sSpaceLens(float *aXP, float *aYP, long aWidth, long aHeight, long aOption)
{
    const long hw = aWidth / 2, hh = aHeight / 2;
    float dx = *aXP - (float)hw, dy = *aYP - (float)hh;
    if ((aOption & SPACE_OPT_NO_LENS) && gMathsSqrtPtr(dx * dx + dy * dy) < 100.0f)
        return;
    const float fx = dx / ((float)hw * 1.3f), fy = dy / ((float)hh * 1.3f);
    if (fx > -1.0f && fx < 1.0f && fy > -1.0f && fy < 1.0f) {
        dx = (float)((double)hw * tan(asin((double)fx)) * 1.3);
        dy = (float)((double)hh * tan(asin((double)fy)) * 1.3);
    }
    *aXP = dx + (float)hw;
    *aYP = dy + (float)hh;
}

// Into 0 .. aField (the field repeats); a remainder instead of a loop keeps wild angles cheap.
static float _wrap(float aV, float aField)
{
    if (!(aField > 0.0f))
        return aV;
    if (aV < 0.0f || aV > aField) {
        aV = fmodf(aV, aField);
        if (aV < 0.0f)
            aV += aField;
    }
    return aV;
}

void sSpaceStarExec(_starField *aFieldP, const D3DVECTOR *aAngleP)
{
    const long n = aFieldP->num;
    if (n <= 0 || aFieldP->_starVertP == nullptr)
        return;
    const bool trail = (aFieldP->option & SPACE_OPT_TRAIL) != 0;
    _STAR_VERTEX *v = aFieldP->_starVertP;
    if (trail) {
        for (long k = SPACE_LAYER_NUM - 1; k >= 1; k--) {
            for (long i = 0; i < n; i++) {
                v[k * n + i].x = v[(k - 1) * n + i].x + 1.0f;
                v[k * n + i].y = v[(k - 1) * n + i].y + 1.0f;
            }
        }
    }
    const float w = (float)aFieldP->width, h = (float)aFieldP->height;
    const float lensFrom = (float)n * 0.3f;
    for (long i = 0; i < n; i++) {
        const float s = aFieldP->_starScrSpeedP[i];
        const float mx = (float)(long)(w * 3.0f * s), my = (float)(long)(h * 3.0f * s);
        const D3DVECTOR &home = aFieldP->_starVertDefP[i];
        float x = _wrap(home.x - mx * aAngleP->y * 0.002777778f, mx);
        float y = _wrap(home.y - my * aAngleP->x * 0.002777778f, my);
        if ((float)i > lensFrom)
            sSpaceLens(&x, &y, aFieldP->width, aFieldP->height, aFieldP->option);
        v[i].x = x;
        v[i].y = y;
        // A star that wrapped around starts its trail afresh instead of streaking across.
        if (trail && (fabsf(v[n + i].x - x) >= mx * 0.25f || fabsf(v[n + i].y - y) >= my * 0.25f)) {
            for (long k = 1; k < SPACE_LAYER_NUM; k++) {
                v[k * n + i].x = x + 1.0f;
                v[k * n + i].y = y + 1.0f;
            }
        }
    }
    if (trail && aFieldP->initFlg == 0) {
        for (long k = 1; k < SPACE_LAYER_NUM; k++) {
            for (long i = 0; i < n; i++) {
                v[k * n + i].x = v[i].x + 1.0f;
                v[k * n + i].y = v[i].y + 1.0f;
            }
        }
    }
    aFieldP->initFlg = 1;
}

void sSpaceGalaxyPos(const _galaxyTable *aRowP, long aWidth, long aHeight, const D3DVECTOR *aAngleP,
                     float *aXP, float *aYP)
{
    const long gw = (long)((float)aWidth * 3.0f * aRowP->scrSpeed);
    const long gh = (long)((float)aHeight * 3.0f * aRowP->scrSpeed);
    float gx = (float)aWidth * aRowP->initX - (float)gw * aAngleP->y * (1.0f / 360.0f);
    float gy = (float)aHeight * aRowP->initY - (float)gh * aAngleP->x * (1.0f / 360.0f);
    if (gw > 0) {
        while (gx < (float)-(gw / 2))
            gx += (float)gw;
        while (gx > (float)gw)
            gx -= (float)gw;
    }
    if (gh > 0) {
        while (gy < (float)-(gh / 2))
            gy += (float)gh;
        while (gy > (float)gh)
            gy -= (float)gh;
    }
    *aXP = gx;
    *aYP = gy;
}

long sWarpInit(_warpField *aFieldP, long aWidth, long aHeight)
{
    memset(aFieldP, 0, sizeof(*aFieldP));
    if (aWidth <= 0 || aHeight <= 0)
        return 0;
    aFieldP->width = aWidth;
    aFieldP->height = aHeight;
    aFieldP->_starVertP = new (std::nothrow) _STAR_VERTEX[2 * WARP_STAR_NUM];
    aFieldP->_starVertDefP = new (std::nothrow) D3DVECTOR[WARP_STAR_NUM];
    aFieldP->_starIndexP = new (std::nothrow) uint16_t[2 * WARP_STAR_NUM];
    if (aFieldP->_starVertP == nullptr || aFieldP->_starVertDefP == nullptr || aFieldP->_starIndexP == nullptr) {
        sWarpFree(aFieldP);
        return 0;
    }
    _STAR_VERTEX *v = aFieldP->_starVertP;
    D3DVECTOR *def = aFieldP->_starVertDefP;
    for (long i = 0; i < WARP_STAR_NUM; i++) {
        const float x = (float)(_rand() % aWidth), y = (float)(_rand() % aHeight);
        const uint32_t r = (uint32_t)_rand() & 0x1F, g = (uint32_t)_rand() & 0x1F, b = (uint32_t)_rand() & 0x1F;
        const uint32_t col = 0x80000000u | (255 - r) << 16 | (255 - g) << 8 | (255 - b);
        _setStar(&v[i], &def[i], x, y, col);
        if ((float)i < (float)WARP_STAR_NUM * 0.3f && i + 4 < WARP_STAR_NUM) {
            _cross(v, def, nullptr, i, x, y, col);
            i += 4;
        }
    }
    for (long i = 0; i < WARP_STAR_NUM; i++) {
        _STAR_VERTEX &t = v[WARP_STAR_NUM + i];
        t = v[i];
        t.x += 1.0f;
        t.y += 1.0f;
        t.col = 0;
        aFieldP->_starIndexP[2 * i] = (uint16_t)(WARP_STAR_NUM + i);
        aFieldP->_starIndexP[2 * i + 1] = (uint16_t)i;
    }
    const float xs[4] = {0.0f, (float)aWidth, 0.0f, (float)aWidth};
    const float ys[4] = {0.0f, 0.0f, (float)aHeight, (float)aHeight};
    for (long n = 0; n < 4; n++) {
        aFieldP->_screenVert[n].x = xs[n];
        aFieldP->_screenVert[n].y = ys[n];
        aFieldP->_screenVert[n].z = 0.0f;
        aFieldP->_screenVert[n].rhw = 1.0f;
        aFieldP->_screenVert[n].col = 0;
    }
    aFieldP->initFlg = 0;
    return 1;
}

void sWarpFree(_warpField *aFieldP)
{
    delete[] aFieldP->_starVertP;
    delete[] aFieldP->_starVertDefP;
    delete[] aFieldP->_starIndexP;
    aFieldP->_starVertP = nullptr;
    aFieldP->_starVertDefP = nullptr;
    aFieldP->_starIndexP = nullptr;
}

uint32_t sWarpFadeAlpha(long aFrame, long aFrameCnt)
{
    if (aFrame <= 90)
        return 0;
    const long last = aFrameCnt - 1;
    if (last <= 90 || aFrame >= last)
        return 255;
    return (uint32_t)(255.0f * (float)(aFrame - 90) / (float)(last - 90));
}

void sWarpExec(_warpField *aFieldP, long aFrame, long aFrameCnt)
{
    _STAR_VERTEX *v = aFieldP->_starVertP;
    if (v == nullptr)
        return;
    // The heads fly outward at a constant speed from frame 40 on; placed from the frame number so
    // that a repeated or skipped frame moves them as far as the frames say.
    const float t = aFrame > 40 ? (float)(aFrame - 40) * 0.05f : 0.0f;
    const float cx = (float)(aFieldP->width / 2), cy = (float)(aFieldP->height / 2);
    for (long i = 0; i < WARP_STAR_NUM; i++) {
        const D3DVECTOR &home = aFieldP->_starVertDefP[i];
        v[i].x = home.x + (home.x - cx) * t;
        v[i].y = home.y + (home.y - cy) * t;
    }
    if (aFieldP->initFlg == 0) {
        for (long i = 0; i < WARP_STAR_NUM; i++) {
            v[WARP_STAR_NUM + i].x = v[i].x + 2.0f;
            v[WARP_STAR_NUM + i].y = v[i].y + 2.0f;
        }
        aFieldP->initFlg = 1;
    }
    const uint32_t a = sWarpFadeAlpha(aFrame, aFrameCnt);
    for (long n = 0; n < 4; n++)
        aFieldP->_screenVert[n].col = a << 24;
}
