// The draw manager's registries: the 512 images of the image registry, and the per-scene tables
// of shapes, particle systems and the frame's shadow casters.

#include "System/Draw/DrawMan.h"

#include <cstdlib>
#include <cstring>

#include "Library/Matrix/MATLIB.h"

// ---------------------------------------------------------------- images

_drawFile::_drawFile()
    : _status(0), _type(0), _fileNum(0), _width(0), _height(0), _depth(0), _key(0), _name(), _imageP(nullptr)
{
}

_drawFile::~_drawFile()
{
    Delete();
}

long _drawFile::EntryImage(const char *aFileNameP, void *aImageP, uint32_t aWidth, uint32_t aHeight, uint32_t aDepth,
                           uint16_t aType, uint32_t aKey)
{
    std::strncpy(_name, aFileNameP ? aFileNameP : "", DRAW_FILE_NAME - 1);
    _name[DRAW_FILE_NAME - 1] = '\0';
    _imageP = aImageP;
    _width = aWidth;
    _height = aHeight;
    _depth = aDepth;
    _type = aType;
    _key = aKey;
    _status |= 1;
    return 0;
}

long _drawFile::Delete(void)
{
    if (!(_status & 1))
        return 0;
    switch (_type) {
    case DRAW_FILE_BITMAP:
        DeleteObject((HGDIOBJ)_imageP);
        break;
    case DRAW_FILE_PIXELS:
    case DRAW_FILE_PIXELS2:
        std::free(_imageP);
        break;
    default:
        sPrintMsgFile("%s (%d)は未対応のファイルです", _name, _type);
        return E_INVALIDARG;
    }
    _type = 0;
    _width = _height = _depth = 0;
    _key = 0;
    _name[0] = '\0';
    _imageP = nullptr;
    _status &= ~1;
    return 0;
}

long _drawFile::GetInfo(void **aImageP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP) const
{
    if (!(_status & 1))
        return 0;
    if (aImageP)
        *aImageP = _imageP;
    if (aWidthP)
        *aWidthP = _width;
    if (aHeightP)
        *aHeightP = _height;
    if (aDepthP)
        *aDepthP = _depth;
    return 1;
}

long sDrawFileCheckList(const char *aFileNameP)
{
    if (!aFileNameP)
        return -1;
    char name[MAX_PATH];
    splitFileName(name, aFileNameP, sizeof name);
    sDrawLowerName(name);
    const uint32_t key = sDrawFileMakeKey(name);
    for (int i = 0; i < DRAW_FILE_MAX; ++i) {
        const _drawFile *file = drawMan.fileP[i];
        if (file && file->GetEnable() && file->GetKey() == key && std::strcmp(file->GetName(), name) == 0)
            return i;
    }
    return -1;
}

// ---------------------------------------------------------------- shapes, particle systems, shadow casters

void sDrawInitShapeInfo(uint16_t aShapeNum)
{
    sDrawFreeShapeInfo();
    if (aShapeNum) {
        drawMan.shapeInfoP = (_shapeInfo *)std::calloc(aShapeNum, sizeof(_shapeInfo));
        if (drawMan.shapeInfoP)
            drawMan.shapeInfoMax = aShapeNum;
    }
}

void sDrawFreeShapeInfo(void)
{
    std::free(drawMan.shapeInfoP);
    drawMan.shapeInfoP = nullptr;
    drawMan.shapeInfoMax = 0;
}

void sDrawEntryShapeInfo(uint16_t aShapeNum, _shape *aShapeP)
{
    if (aShapeNum < drawMan.shapeInfoMax)
        drawMan.shapeInfoP[aShapeNum].shapeP = aShapeP;
}

_shapeInfo *sDrawGetShapeInfo(uint16_t aShapeNum)
{
    return aShapeNum < drawMan.shapeInfoMax ? &drawMan.shapeInfoP[aShapeNum] : nullptr;
}

void sDrawInitParticleInfo(uint16_t aParticleNum)
{
    sDrawFreeParticleInfo();
    if (aParticleNum) {
        drawMan.particleInfoP = (_particleInfo *)std::calloc(aParticleNum, sizeof(_particleInfo));
        if (drawMan.particleInfoP)
            drawMan.particleInfoMax = aParticleNum;
    }
}

void sDrawFreeParticleInfo(void)
{
    std::free(drawMan.particleInfoP);
    drawMan.particleInfoP = nullptr;
    drawMan.particleInfoMax = 0;
}

void sDrawEntryParticleInfo(uint16_t aParticleNum, _particle *aParticleP, _particleDef *aDefP, const char *aName)
{
    if (aParticleNum >= drawMan.particleInfoMax)
        return;
    _particleInfo &info = drawMan.particleInfoP[aParticleNum];
    info.particleP = aParticleP;
    info.defP = aDefP;
    std::strncpy(info.name, aName ? aName : "", sizeof info.name - 1);
    info.name[sizeof info.name - 1] = '\0';
}

_particleInfo *sDrawGetParticleInfo(uint16_t aParticleNum)
{
    return aParticleNum < drawMan.particleInfoMax ? &drawMan.particleInfoP[aParticleNum] : nullptr;
}

void sDrawInitShadowCast(uint16_t aLightNum, uint16_t aShapeNum)
{
    sDrawFreeShadowCast();
    const uint16_t max = (uint16_t)(aLightNum * aShapeNum);
    if (max) {
        drawMan.shadowCastP = (_shadowCast *)std::calloc(max, sizeof(_shadowCast));
        if (drawMan.shadowCastP)
            drawMan.shadowCastMax = max;
    }
}

void sDrawFreeShadowCast(void)
{
    std::free(drawMan.shadowCastP);
    drawMan.shadowCastP = nullptr;
    drawMan.shadowCastMax = 0;
    drawMan.shadowCastCnt = 0;
}

void sDrawStartShadowCastFrame(void)
{
    drawMan.shadowCastCnt = 0;
}

void sDrawEntryShadowCast(_coord *aShapeCoordP, float aSizeU, float aSizeV, long aTexNum)
{
    if (drawMan.shadowCastCnt >= drawMan.shadowCastMax)
        return;
    _shadowCast &cast = drawMan.shadowCastP[drawMan.shadowCastCnt];
    cast.sizeU = aSizeU;
    cast.sizeV = aSizeV;
    sMatrixInvert(&aShapeCoordP->world, &cast.invMat);
    cast.texNum = aTexNum;
    drawMan.shadowCastCnt++;
}
