#ifndef KESTREL_APP_EFFECT_EFXCLOUD_H
#define KESTREL_APP_EFFECT_EFXCLOUD_H

// The cloud layer: a drifting plasma sky under a radial falloff with a small picture laid over
// it, composed by the processor into a texture every frame and drawn as a screen quad behind the
// scene.

#include <windows.h>
#include <ddraw.h>

#include <cstdint>

#include "App/Effect/EffectCore.h"

class EfxCloud {
public:
    explicit EfxCloud(const char *aNameP);
    ~EfxCloud();
    EfxCloud(const EfxCloud &) = delete;
    EfxCloud &operator=(const EfxCloud &) = delete;

    // (Re)creates the texture, also after a device reset.
    void Load(void);
    void Draw(long aX, long aY);
    void DrawImage(DDSURFACEDESC2 *aDdsdP, long aX, long aY);
    void SetBright(long aBright);

    IDirectDrawSurface7 *_drawSufP;
    CloudPixel *_drawImageP;
    uint16_t _bmWidth, _bmHeight;
    CloudPixel *_bmImageP;
    uint16_t _scWidth, _scHeight;
    uint8_t *_gladImageP;
    CloudPixel *_cloudImageP;
    uint8_t *_multTblP;
    int32_t _xShift, _yShift;
    uint16_t _rShift, _gShift, _bShift;
    uint16_t _rBit, _gBit, _bBit;
    CloudVertex _vertex[4];

private:
    void _loadOverlay(const char *aNameP);
    DDPIXELFORMAT _format;
};

extern EfxCloud *gEfxCloudP;

#endif
