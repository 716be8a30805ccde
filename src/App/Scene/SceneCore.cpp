#include "App/Scene/SceneCore.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

long sSceneExpandKeys(const _sceneMotionDef *aMotionP, _sceneFrame **aFramePP)
{
    *aFramePP = nullptr;
    if (aMotionP->indexCnt == 0 || aMotionP->indexP == nullptr || aMotionP->transFrameP == nullptr ||
        aMotionP->angleFrameP == nullptr || aMotionP->scaleFrameP == nullptr)
        return 0;

    uint64_t total = 0;
    for (uint32_t i = 0; i < aMotionP->indexCnt; i++)
        total += aMotionP->indexP[i].length;
    if (total == 0)
        return 0;
    // A 16-bit frame number never reaches further, so longer runs add nothing a scene can show.
    long frameNum = total > SCENE_FRAME_MAX ? SCENE_FRAME_MAX : (long)total;

    _sceneFrame *frameP = (_sceneFrame *)malloc(sizeof(_sceneFrame) * (size_t)frameNum);
    if (frameP == nullptr)
        return -1;

    const _sceneIndexDef *runP = aMotionP->indexP;
    uint32_t run = 0;
    long used = 0;  // frames taken by the runs before the current one
    int16_t ti = 0, ai = 0, si = 0;
    for (long j = 0; j < frameNum; j++) {
        // At most one run is left per frame, so a run of length 0 still lends its steps to one frame.
        if (j - used >= runP[run].length) {
            used += runP[run].length;
            run++;
        }
        ti = (int16_t)(ti + runP[run].trans);
        ai = (int16_t)(ai + runP[run].angle);
        si = (int16_t)(si + runP[run].scale);
        if (ti < 0 || (uint32_t)ti >= aMotionP->transFrameCnt || ai < 0 ||
            (uint32_t)ai >= aMotionP->angleFrameCnt || si < 0 || (uint32_t)si >= aMotionP->scaleFrameCnt) {
            free(frameP);
            return -1;
        }
        const _sceneVectorDef &t = aMotionP->transFrameP[ti];
        const _sceneVectorDef &a = aMotionP->angleFrameP[ai];
        const _sceneVectorDef &s = aMotionP->scaleFrameP[si];
        frameP[j] = {t.vx, t.vy, t.vz, a.vx, a.vy, a.vz, s.vx, s.vy, s.vz};
    }
    *aFramePP = frameP;
    return frameNum;
}

long sSceneSeCount(const _sceneSeDef *aSeP)
{
    long n = 0;
    if (aSeP != nullptr)
        while (aSeP[n].frameNum != -1)
            n++;
    return n;
}

// ---------------------------------------------------------------- frame clock

// A stall longer than this many frames is stepped by one division instead of frame by frame.
static const float _SCENE_STEP_LOOP_MAX = 4096.0f;

long sSceneClockAdvance(_sceneClock *aClockP, uint32_t aNow)
{
    _sceneClock &c = *aClockP;
    c.status &= (uint16_t)~SCENE_ADVANCED;
    if (!(c.status & SCENE_LOADED) || (c.status & SCENE_PAUSED))
        return SCENE_CLOCK_IDLE;

    long result = SCENE_CLOCK_RAN;
    if (c.status & SCENE_START) {
        c.prevTime = aNow;
        c.addTime = 0.0f;
        c.framePos = 0;
        c.status &= (uint16_t)~SCENE_START;
        c.status |= SCENE_ADVANCED;
        result = SCENE_CLOCK_STARTED;
    }

    // Counted wide, so that a long stall never wraps the 16-bit frame number.
    uint64_t pos = c.framePos;
    if (c.status & SCENE_FRAME_LOCKED) {
        c.status |= SCENE_ADVANCED;
    } else {
        // Wrap-safe: the 49.7-day wrap of the timer counts forward, and a reading behind the last
        // one counts as no time rather than as the whole clock.
        const int32_t elapsed = (int32_t)(aNow - c.prevTime);
        if (elapsed > 0)
            c.addTime += (float)elapsed;
        const float d = c.fps > 0.0f ? 1000.0f / c.fps : 0.0f;
        if (d > 0.0f && c.addTime >= d) {
            uint64_t n = 0;
            if (c.addTime < d * _SCENE_STEP_LOOP_MAX) {
                // Frame by frame in single precision, so the carried remainder is the clock's own.
                while (c.addTime >= d) {
                    c.addTime -= d;
                    n++;
                }
            } else {
                const double q = std::floor((double)c.addTime / d);
                n = q < 1.8e19 ? (uint64_t)q : (uint64_t)1 << 63;
                c.addTime = (float)std::fmod((double)c.addTime, (double)d);
                if (!(c.addTime >= 0.0f && c.addTime < d))
                    c.addTime = 0.0f;
            }
            pos += n;
            c.status |= SCENE_ADVANCED;
        }
    }

    if (c.status & SCENE_LOOP)
        pos = c.frameCnt ? pos % c.frameCnt : 0;
    else if (pos >= c.frameCnt)
        pos = c.frameCnt ? c.frameCnt - 1u : 0;
    c.framePos = (uint16_t)pos;
    c.prevTime = aNow;
    return result;
}

long sSceneClockEnd(_sceneClock *aClockP)
{
    if (aClockP->status & SCENE_LOOP)
        return 0;
    if ((long)aClockP->framePos >= (long)aClockP->frameCnt - 1) {
        aClockP->status |= SCENE_ENDED;
        return 1;
    }
    return 0;
}

long sSceneFadeAction(uint16_t aFramePos, uint16_t aFrameCnt)
{
    const long pos = aFramePos, last = (long)aFrameCnt - 1;
    if (pos >= last)
        return SCENE_FADE_LAST;
    if (pos >= (long)aFrameCnt - SCENE_FADE_FRAMES)
        return SCENE_FADE_STEP;
    return SCENE_FADE_NONE;
}

uint32_t sSceneTrackIndex(uint32_t aFrame, uint32_t aCount, bool aLoop)
{
    if (aCount == 0)
        return 0;
    if (aLoop)
        return aFrame % aCount;
    return aFrame < aCount ? aFrame : aCount - 1;
}

uint32_t sSceneCueDue(const _sceneSe *aCurP, uint16_t aFramePos)
{
    uint32_t n = 0;
    if (aCurP != nullptr)
        while (aCurP[n].frameNum != SCENE_SE_END && aCurP[n].frameNum <= aFramePos)
            n++;
    return n;
}

// ---------------------------------------------------------------- object records per frame

template <class T>
static void _poseFrame(T *aRecP, uint16_t aFramePos, bool aLoop)
{
    if (aRecP->frameCnt == 0 || aRecP->frameP == nullptr)
        return;
    const _sceneFrame &f = aRecP->frameP[sSceneTrackIndex(aFramePos, aRecP->frameCnt, aLoop)];
    aRecP->trans.x = f.tx, aRecP->trans.y = f.ty, aRecP->trans.z = f.tz;
    aRecP->angle.x = f.rx, aRecP->angle.y = f.ry, aRecP->angle.z = f.rz;
    aRecP->scale.x = f.sx, aRecP->scale.y = f.sy, aRecP->scale.z = f.sz;
}

// Entry of a scene-length track; the owner may have set a frame of its own.
static uint32_t _sceneIndex(uint16_t aFramePos, uint16_t aFrameCnt)
{
    return aFramePos < aFrameCnt ? aFramePos : (aFrameCnt ? aFrameCnt - 1u : 0);
}

void sSceneShapeFrame(_sceneShape *aShapeP, uint16_t aFramePos, bool aLoop)
{
    _poseFrame(aShapeP, aFramePos, aLoop);
    if (aShapeP->dissolveFrameCnt && aShapeP->dissolveFrameP)
        aShapeP->dissolveRate =
            aShapeP->dissolveFrameP[sSceneTrackIndex(aFramePos, aShapeP->dissolveFrameCnt, aLoop)];
    if (aShapeP->morphFrameCnt && aShapeP->morphFrameP)
        aShapeP->morphRate = aShapeP->morphFrameP[sSceneTrackIndex(aFramePos, aShapeP->morphFrameCnt, aLoop)];
}

void sSceneLightFrame(_sceneLight *aLightP, uint16_t aFramePos, uint16_t aFrameCnt, bool aLoop)
{
    _poseFrame(aLightP, aFramePos, aLoop);
    if (aFrameCnt == 0)
        return;
    if (aLightP->colorP)
        aLightP->color = aLightP->colorP[_sceneIndex(aFramePos, aFrameCnt)];
    if (aLightP->intensityP)
        aLightP->intensity = aLightP->intensityP[_sceneIndex(aFramePos, aFrameCnt)];
}

void sSceneCameraFrame(_sceneCamera *aCameraP, uint16_t aFramePos, uint16_t aFrameCnt, bool aLoop)
{
    _poseFrame(aCameraP, aFramePos, aLoop);
    if (aFrameCnt && aCameraP->zoomFactorP)
        aCameraP->fovAngle = aCameraP->zoomFactorP[_sceneIndex(aFramePos, aFrameCnt)];
}

void sSceneSpriteFrame(_sceneSprite *aSpriteP, uint16_t aFramePos, bool aLoop)
{
    _poseFrame(aSpriteP, aFramePos, aLoop);
    if (aSpriteP->patternFrameCnt && aSpriteP->patternFrameP)
        aSpriteP->pattern = aSpriteP->patternFrameP[sSceneTrackIndex(aFramePos, aSpriteP->patternFrameCnt, aLoop)];
}

void sSceneParticleFrame(_sceneParticle *aParticleP, uint16_t aFramePos, bool aLoop)
{
    _poseFrame(aParticleP, aFramePos, aLoop);
}

// Takes a track's entry when it differs from the current value.
static long _takeTrack(float *aValueP, const float *aTrackP, uint16_t aFramePos, uint16_t aFrameCnt)
{
    if (aTrackP == nullptr || aFrameCnt == 0)
        return 0;
    const float v = aTrackP[_sceneIndex(aFramePos, aFrameCnt)];
    if (v == *aValueP)
        return 0;
    *aValueP = v;
    return 1;
}

long sSceneIlluminateFrame(_sceneIlluminate *aIlluminateP, uint16_t aFramePos, uint16_t aFrameCnt)
{
    return _takeTrack(&aIlluminateP->ambientIntensity, aIlluminateP->ambientIntensityP, aFramePos, aFrameCnt);
}

long sSceneFogFrame(_sceneFog *aFogP, uint16_t aFramePos, uint16_t aFrameCnt)
{
    long changed = _takeTrack(&aFogP->minDist, aFogP->minDistP, aFramePos, aFrameCnt);
    changed |= _takeTrack(&aFogP->maxDist, aFogP->maxDistP, aFramePos, aFrameCnt);
    changed |= _takeTrack(&aFogP->minAmount, aFogP->minAmountP, aFramePos, aFrameCnt);
    changed |= _takeTrack(&aFogP->maxAmount, aFogP->maxAmountP, aFramePos, aFrameCnt);
    return changed;
}

// ---------------------------------------------------------------- lighting, fog, camera

float sSceneSpotCap(float aAngle)
{
    return (double)aAngle >= 3.054326190990278 ? SCENE_SPOT_MAX : aAngle;
}

void sSceneLightMake(const _sceneLight *aLightP, const D3DVECTOR &aPos, D3DLIGHT7 *aOutP)
{
    const _sceneLight &l = *aLightP;
    D3DLIGHT7 &d = *aOutP;
    std::memset(&d, 0, sizeof d);
    d.dltType = l.type;
    d.dcvDiffuse.r = l.color.r * l.intensity;
    d.dcvDiffuse.g = l.color.g * l.intensity;
    d.dcvDiffuse.b = l.color.b * l.intensity;
    d.dcvDiffuse.a = 1.0f;
    d.dcvSpecular.r = d.dcvSpecular.g = d.dcvSpecular.b = d.dcvSpecular.a = 1.0f;
    d.dvPosition = aPos;
    d.dvDirection = l.angle;
    d.dvFalloff = l.fallOff;

    float range, a0 = 1.0f, a1 = 0.0f, a2 = 0.0f;
    switch (l.fallOffType) {
    case 1: {
        range = l.range;
        const float f = l.range * (1.0f / 3.0f) * 2.0f;
        a2 = f != 0.0f ? 1.0f / (f * f) : 0.0f;
        break;
    }
    case 2:
        range = l.range * 20.0f;
        if (l.range != 0.0f)
            a0 = 0.0f, a1 = 1.0f / (2.0f * l.range);
        break;
    case 3:
        range = l.range * 40.0f;
        if (l.range != 0.0f)
            a0 = 0.0f, a1 = 1.0f / (4.0f * l.range);
        break;
    default:
        range = std::sqrt(FLT_MAX);
        break;
    }
    d.dvRange = range;
    if (l.type == D3DLIGHT_DIRECTIONAL)
        a0 = 1.0f, a1 = 0.0f, a2 = 0.0f;
    d.dvAttenuation0 = a0;
    d.dvAttenuation1 = a1;
    d.dvAttenuation2 = a2;
    if (l.type == D3DLIGHT_SPOT) {
        d.dvTheta = sSceneSpotCap(l.coneAngle);
        d.dvPhi = sSceneSpotCap(l.coneAngle + l.edgeAngle);
    }
}

uint32_t sSceneAmbientColor(uint32_t aColor, float aIntensity)
{
    uint32_t out = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
        const float v = (float)((aColor >> shift) & 0xFF) * aIntensity;
        // A channel beyond full would carry into its neighbour.
        const uint32_t c = v >= 255.0f ? 255u : v > 0.0f ? (uint32_t)v : 0u;
        out |= c << shift;
    }
    return out;
}

_sceneFogValue sSceneFogValue(const _sceneFog *aFogP, uint32_t aBackColor)
{
    const _sceneFog &f = *aFogP;
    _sceneFogValue v;
    v.start = f.minDist;
    const float amount = f.minAmount + f.maxAmount;
    v.end = amount == 0.0f ? f.maxDist : f.maxDist / amount;
    const float span = f.maxDist - f.minDist;
    v.density = span == 0.0f ? 1.0f : (f.maxAmount - f.minAmount) / span;
    v.color = f.backDropB ? aBackColor : f.color;
    return v;
}

// Row-vector rotation matrices (3 x 3), the last factor applied last.
static void _rotMul(float aM[3][3], int aAxis, float aAngle)
{
    if (aAngle == 0.0f)
        return;
    const float c = std::cos(aAngle), s = std::sin(aAngle);
    float r[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const int i = (aAxis + 1) % 3, j = (aAxis + 2) % 3;
    // RotX: (y, z) rows (c, s), (-s, c); RotY: (z, x); RotZ: (x, y).
    r[i][i] = c, r[i][j] = s, r[j][i] = -s, r[j][j] = c;
    float t[3][3];
    for (int a = 0; a < 3; a++)
        for (int b = 0; b < 3; b++)
            t[a][b] = aM[a][0] * r[0][b] + aM[a][1] * r[1][b] + aM[a][2] * r[2][b];
    std::memcpy(aM, t, sizeof t);
}

void sSceneCameraVectors(const D3DVECTOR &aPos, const D3DVECTOR &aAngle, float aFocalDistance,
                         const D3DVECTOR *aTargetP, D3DVECTOR *aLookAtP, D3DVECTOR *aUpVecP)
{
    float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    _rotMul(m, 0, aAngle.x);
    _rotMul(m, 1, aAngle.y);
    _rotMul(m, 2, aAngle.z);
    if (aTargetP) {
        *aLookAtP = *aTargetP;
    } else {
        aLookAtP->x = aPos.x + aFocalDistance * m[2][0];
        aLookAtP->y = aPos.y + aFocalDistance * m[2][1];
        aLookAtP->z = aPos.z + aFocalDistance * m[2][2];
    }
    aUpVecP->x = m[1][0];
    aUpVecP->y = m[1][1];
    aUpVecP->z = m[1][2];
}

// ---------------------------------------------------------------- loading screen

long sSceneScaleX(long aX, long aScreenWidth)
{
    return (long)((double)aX * (double)aScreenWidth / 640.0);
}

long sSceneScaleY(long aY, long aScreenHeight)
{
    return (long)((double)aY * (double)aScreenHeight / 480.0);
}

// The screen fractions are exact ratios (0.0078125 = 1/128, 0.9625 = 77/80, 0.01875 = 3/160,
// 0.796875 = 51/64, 0.7953125 = 509/640), evaluated exactly so that no rounding moves an edge.
_sceneRect sSceneLoadBarRect(long aScreenWidth, long aScreenHeight, long aPercent, bool aBenchB)
{
    const int64_t w = aScreenWidth, h = aScreenHeight, p = aPercent;
    _sceneRect r;
    r.left = (long)(w / 128);
    r.right = aBenchB ? (long)((500 * w + 509 * w * p) / 64000) : (long)((50 * w + 51 * w * p) / 6400);
    r.top = (long)(77 * h / 80);
    r.bottom = (long)(157 * h / 160);
    return r;
}

long sSceneScoreDigits(int32_t aScore, uint8_t aDigitP[9])
{
    uint32_t v = aScore < 0 ? 0u : aScore > 999999999 ? 999999999u : (uint32_t)aScore;
    uint8_t rev[9];
    long n = 0;
    do {
        rev[n++] = (uint8_t)(v % 10);
        v /= 10;
    } while (v != 0 && n < 9);
    for (long i = 0; i < n; i++)
        aDigitP[i] = rev[n - 1 - i];
    return n;
}

_sceneRect sSceneScoreDigitRect(long aScreenWidth, long aScreenHeight, long aCount, long aIndex)
{
    // In thousandths of the width: (10 - k) x 0.05 + 0.008 + 0.1 i, each 0.1 wide.
    const int64_t w = aScreenWidth, h = aScreenHeight, at = (10 - aCount) * 50 + 8 + 100 * aIndex;
    _sceneRect r;
    r.left = (long)(w * at / 1000);
    r.right = (long)(w * (at + 100) / 1000);
    r.top = (long)(4 * h / 10);
    r.bottom = (long)(6 * h / 10);
    return r;
}

const long sceneGlyphTbl[SCENE_GLYPH_NUM][2] = {
    {0, 13},   {13, 19},  {19, 30},  {30, 42},   {42, 54},   {54, 67},  {67, 79},
    {79, 90},  {90, 103}, {103, 114}, {114, 118}, {118, 142}, {142, 169},
};

long sSceneGlyphWidth(long aGlyph)
{
    if (aGlyph < 0 || aGlyph >= SCENE_GLYPH_NUM)
        return 0;
    return sceneGlyphTbl[aGlyph][1] - sceneGlyphTbl[aGlyph][0];
}

long sSceneNumGlyphs(double aNum, long aDecimals, long aOption, uint8_t *aGlyphP)
{
    const long decimals = aDecimals < 0 ? 0 : aDecimals > 4 ? 4 : aDecimals;
    int64_t scale = 1;
    for (long i = 0; i < decimals; i++)
        scale *= 10;
    const double scaled = aNum * (double)scale;
    // Six integer places are all the font has room for.
    const int64_t v = scaled > 0.0 ? (scaled < 1e15 ? (int64_t)scaled : (int64_t)1e15) : 0;
    long n = 0;
    int64_t div = scale * 100000;
    bool lead = true;
    for (long p = 0; p < 6; p++, div /= 10) {
        const uint8_t digit = (uint8_t)((v / div) % 10);
        if (lead && digit == 0 && p < 5)
            continue;
        lead = false;
        aGlyphP[n++] = digit;
    }
    if (decimals > 0) {
        aGlyphP[n++] = SCENE_GLYPH_POINT;
        for (int64_t d = scale / 10; d >= 1; d /= 10)
            aGlyphP[n++] = (uint8_t)((v / d) % 10);
    }
    if (aOption >= 0 && aOption < SCENE_GLYPH_NUM)
        aGlyphP[n++] = (uint8_t)aOption;
    return n;
}

// ---------------------------------------------------------------- movie textures

long sSceneAviFrame(const _sceneAvi *aAviP, uint16_t aFramePos, uint32_t aLength)
{
    if (aFramePos < aAviP->startFrame || aFramePos > aAviP->endFrame || aLength == 0)
        return -1;
    const float f = (float)(aFramePos - aAviP->startFrame) * aAviP->frameUnit;
    if (!(f >= 0.0f))
        return -1;
    if (f < (float)aLength)
        return (long)f < (long)aLength ? (long)f : (long)aLength - 1;
    switch (aAviP->type) {
    case 1:
        return (long)aLength - 1;
    case 2:
        return (long)std::fmod(std::floor((double)f), (double)aLength);
    default:
        return -1;
    }
}

uint16_t sSceneAviPixel16(uint16_t aPixel555, bool aRgb565)
{
    if (!aRgb565)
        return aPixel555;
    return (uint16_t)(((aPixel555 & 0xFFE0) << 1) | (aPixel555 & 0x001F));
}

uint16_t sSceneAviPixel24(uint8_t aBlue, uint8_t aGreen, uint8_t aRed, bool aRgb565)
{
    if (aRgb565)
        return (uint16_t)((aRed >> 3) << 11 | (aGreen >> 2) << 5 | aBlue >> 3);
    return (uint16_t)((aRed >> 3) << 10 | (aGreen >> 3) << 5 | aBlue >> 3);
}

void sSceneAviStretchMap(uint32_t aSrcCnt, uint32_t aDstCnt, int32_t *aMapP)
{
    if (aSrcCnt == 0) {
        for (uint32_t d = 0; d < aDstCnt; d++)
            aMapP[d] = -1;
        return;
    }
    if (aSrcCnt == aDstCnt) {
        for (uint32_t d = 0; d < aDstCnt; d++)
            aMapP[d] = (int32_t)d;
        return;
    }
    // Source line r covers the lines up to its running end (r + 1) x f; single precision, as the
    // movie player always stretched.
    const float f = (float)aDstCnt / (float)aSrcCnt;
    float end = 0.0f;
    uint32_t d = 0;
    for (uint32_t r = 0; r < aSrcCnt && d < aDstCnt; r++) {
        end += f;
        while (d < aDstCnt && (float)d <= end - 1.0f)
            aMapP[d++] = (int32_t)r;
    }
    // Rounding of the running sum can leave the last line short.
    while (d < aDstCnt)
        aMapP[d++] = (int32_t)aSrcCnt - 1;
}

long sSceneAviCopy(const uint8_t *aSrcP, uint32_t aSrcW, uint32_t aSrcH, uint32_t aSrcBits, uint8_t *aDstP,
                   uint32_t aDstW, uint32_t aDstH, long aDstPitch, bool aRgb565)
{
    if (aSrcBits != 16 && aSrcBits != 24 && aSrcBits != 32)
        return -1;
    if (aSrcW == 0 || aSrcH == 0 || aDstW == 0 || aDstH == 0)
        return 0;
    const uint32_t bytes = aSrcBits / 8;
    const size_t stride = ((size_t)aSrcW * bytes + 3) & ~(size_t)3;
    int32_t *mapP = (int32_t *)malloc(sizeof(int32_t) * ((size_t)aDstW + aDstH));
    if (mapP == nullptr)
        return -1;
    int32_t *colP = mapP, *rowP = mapP + aDstW;
    sSceneAviStretchMap(aSrcW, aDstW, colP);
    sSceneAviStretchMap(aSrcH, aDstH, rowP);
    for (uint32_t y = 0; y < aDstH; y++) {
        if (rowP[y] < 0)
            continue;
        const uint8_t *srcRowP = aSrcP + (size_t)rowP[y] * stride;
        uint16_t *dstRowP = (uint16_t *)(aDstP + (ptrdiff_t)y * aDstPitch);
        for (uint32_t x = 0; x < aDstW; x++) {
            if (colP[x] < 0)
                continue;
            const uint8_t *p = srcRowP + (size_t)colP[x] * bytes;
            dstRowP[x] = bytes == 2 ? sSceneAviPixel16((uint16_t)(p[0] | p[1] << 8), aRgb565)
                                    : sSceneAviPixel24(p[0], p[1], p[2], aRgb565);
        }
    }
    free(mapP);
    return 0;
}
