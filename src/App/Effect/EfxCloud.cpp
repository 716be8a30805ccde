#include "App/Effect/EfxCloud.h"

#include <d3d.h>

#include <cstring>
#include <new>

#include "App/Effect/Effect.h"
#include "Common/DEBUGWIN.h"
#include "System/Draw/DrawMan.h"

EfxCloud *gEfxCloudP;

enum { CLOUD_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1 };

struct _formatSearch {
    DDPIXELFORMAT best;
    long bits;
};

// Plain RGB formats only: no alpha, palette, luminance or bump fields.
static HRESULT CALLBACK _textureSearchCallback(DDPIXELFORMAT *aFormatP, void *aCtxP)
{
    _formatSearch *s = (_formatSearch *)aCtxP;
    if (!(aFormatP->dwFlags & DDPF_RGB) || (aFormatP->dwFlags & 0xE0001))
        return D3DENUMRET_OK;
    const long bits = (long)aFormatP->dwRGBBitCount;
    if (bits == 32 || (bits == 16 && s->bits != 32)) {
        s->best = *aFormatP;
        s->bits = bits;
    }
    return bits == 32 ? D3DENUMRET_CANCEL : D3DENUMRET_OK;
}

EfxCloud::EfxCloud(const char *aNameP)
    : _drawSufP(nullptr), _drawImageP(nullptr), _bmWidth(0), _bmHeight(0), _bmImageP(nullptr), _scWidth(0),
      _scHeight(0), _gladImageP(nullptr), _cloudImageP(nullptr), _multTblP(nullptr), _xShift(0), _yShift(0),
      _rShift(0), _gShift(0), _bShift(0), _rBit(0), _gBit(0), _bBit(0)
{
    memset(_vertex, 0, sizeof(_vertex));
    memset(&_format, 0, sizeof(_format));
    _scWidth = (uint16_t)drawMan.screenWidth;
    _scHeight = (uint16_t)drawMan.screenHeight;
    Load();
    sCloudMaskShift(_format.dwRBitMask, &_rShift, &_rBit);
    sCloudMaskShift(_format.dwGBitMask, &_gShift, &_gBit);
    sCloudMaskShift(_format.dwBBitMask, &_bShift, &_bBit);
    _loadOverlay(aNameP);
    _drawImageP = new (std::nothrow) CloudPixel[CLOUD_SIZE * CLOUD_SIZE];
    _gladImageP = new (std::nothrow) uint8_t[CLOUD_SIZE * CLOUD_SIZE];
    _cloudImageP = new (std::nothrow) CloudPixel[CLOUD_SIZE * CLOUD_SIZE];
    _multTblP = new (std::nothrow) uint8_t[256 * 256];
    if (_gladImageP != nullptr)
        sCloudFalloff(_gladImageP);
    if (_cloudImageP != nullptr)
        _drawCloud(_cloudImageP);
    if (_multTblP != nullptr)
        sCloudMultTable(_multTblP);
    sCloudQuad(_vertex, _scWidth, _scHeight);
    SetBright(255);
}

EfxCloud::~EfxCloud()
{
    if (_drawSufP != nullptr)
        _drawSufP->Release();
    delete[] _drawImageP;
    delete[] _bmImageP;
    delete[] _gladImageP;
    delete[] _cloudImageP;
    delete[] _multTblP;
}

void EfxCloud::_loadOverlay(const char *aNameP)
{
    HBITMAP bmp = (HBITMAP)LoadImageA(nullptr, aNameP, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    if (bmp == nullptr)
        return;
    BITMAP info;
    if (GetObjectA(bmp, sizeof(info), &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0 ||
        info.bmWidth > 4096 || info.bmHeight > 4096) {
        DeleteObject(bmp);
        return;
    }
    const long w = info.bmWidth, h = info.bmHeight;
    BITMAPINFO bi;
    memset(&bi, 0, sizeof(bi));
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    uint32_t *pixels = new (std::nothrow) uint32_t[(size_t)w * h];
    HDC dc = GetDC(nullptr);
    if (pixels != nullptr && GetDIBits(dc, bmp, 0, (UINT)h, pixels, &bi, DIB_RGB_COLORS) == h) {
        _bmImageP = new (std::nothrow) CloudPixel[(size_t)w * h];
        if (_bmImageP != nullptr) {
            for (long n = 0; n < w * h; n++) {
                _bmImageP[n].r = (uint8_t)(pixels[n] >> 16);
                _bmImageP[n].g = (uint8_t)(pixels[n] >> 8);
                _bmImageP[n].b = (uint8_t)pixels[n];
                _bmImageP[n].pad = 0;
            }
            _bmWidth = (uint16_t)w;
            _bmHeight = (uint16_t)h;
        }
    }
    ReleaseDC(nullptr, dc);
    delete[] pixels;
    DeleteObject(bmp);
}

void EfxCloud::Load(void)
{
    if (_drawSufP != nullptr)
        _drawSufP->Release();
    _drawSufP = nullptr;
    if (drawMan.d3dDevP == nullptr || drawMan.ddrawP == nullptr)
        return;
    _formatSearch search;
    memset(&search, 0, sizeof(search));
    DEBUGWIN_CHECK(drawMan.d3dDevP->EnumTextureFormats(_textureSearchCallback, &search));
    if (search.bits == 0)
        return;
    _format = search.best;
    DDSURFACEDESC2 desc;
    memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = CLOUD_SIZE;
    desc.dwHeight = CLOUD_SIZE;
    desc.ddpfPixelFormat = _format;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    if (FAILED(DEBUGWIN_CHECK(drawMan.ddrawP->CreateSurface(&desc, &_drawSufP, nullptr))))
        _drawSufP = nullptr;
}

void EfxCloud::DrawImage(DDSURFACEDESC2 *aDdsdP, long aX, long aY)
{
    if (_drawImageP == nullptr || _cloudImageP == nullptr || _gladImageP == nullptr || _multTblP == nullptr)
        return;
    sCloudCompose(_drawImageP, _cloudImageP, _gladImageP, _multTblP, _bmImageP, _bmWidth, _bmHeight, aX, aY,
                  _xShift, _yShift);
    _xShift -= 3;
    _yShift += 1;
    _cloudFormat f;
    f.rShift = _rShift;
    f.gShift = _gShift;
    f.bShift = _bShift;
    f.rBit = _rBit;
    f.gBit = _gBit;
    f.bBit = _bBit;
    f.bitCount = aDdsdP->ddpfPixelFormat.dwRGBBitCount;
    sCloudUpload(_drawImageP, (uint8_t *)aDdsdP->lpSurface, (long)aDdsdP->lPitch, (long)aDdsdP->dwWidth,
                 (long)aDdsdP->dwHeight, &f);
}

void EfxCloud::SetBright(long aBright)
{
    sCloudSetBright(_vertex, aBright);
}

void EfxCloud::Draw(long aX, long aY)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (dev == nullptr || _drawSufP == nullptr)
        return;
    DDSURFACEDESC2 desc;
    memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    if (FAILED(DEBUGWIN_CHECK(_drawSufP->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr))))
        return;
    sDrawCountLock(DDLOCK_WRITEONLY, (DWORD)(desc.lPitch * (long)desc.dwHeight));
    DrawImage(&desc, aX, aY);
    DEBUGWIN_CHECK(_drawSufP->Unlock(nullptr));

    // Far behind everything: the sky shows only where the scene left the depth buffer clear. The
    // vertices carry white specular; a scene that left specular on would wash the sky white.
    static const _drawStateRow sky[] = {
        {DRAW_RENDER, D3DRENDERSTATE_ALPHABLENDENABLE, FALSE},
        {DRAW_RENDER, D3DRENDERSTATE_ZENABLE, TRUE},
        {DRAW_RENDER, D3DRENDERSTATE_ZWRITEENABLE, FALSE},
        {DRAW_RENDER, D3DRENDERSTATE_ZFUNC, D3DCMP_LESS},
        {DRAW_RENDER, D3DRENDERSTATE_LIGHTING, FALSE},
        {DRAW_RENDER, D3DRENDERSTATE_FOGENABLE, FALSE},
        {DRAW_RENDER, D3DRENDERSTATE_CULLMODE, D3DCULL_NONE},
        {DRAW_RENDER, D3DRENDERSTATE_SPECULARENABLE, FALSE},
        {0, D3DTSS_TEXCOORDINDEX, 0},
        {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
    };
    _drawStateScope scope;
    sDrawOpenStates(&scope);
    sDrawSetStates(sky, sizeof sky / sizeof sky[0]);
    sDrawSetStage(0, DRAW_STAGE_TEXCOLOR_DIFFALPHA);
    sDrawSetTexture(0, _drawSufP);
    sDrawCountDrawUp(D3DPT_TRIANGLESTRIP, CLOUD_FVF, 4, 0);
    DEBUGWIN_CHECK(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, CLOUD_FVF, _vertex, 4, 0));
    sDrawSetTexture(0, nullptr);
    sDrawCloseStates(&scope);
}

void *EfxCloudSceneInit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    delete gEfxCloudP;
    gEfxCloudP = new (std::nothrow) EfxCloud("DATA\\Cloud\\moon.bmp");
    return nullptr;
}

void *EfxCloudSceneExec(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EfxCloudSceneDraw(uint8_t *, uint16_t aFramePos, uint8_t *, uint32_t *)
{
    if (gEfxCloudP == nullptr || !sDrawBeginScene())
        return nullptr;
    gEfxCloudP->SetBright(sCloudBright(aFramePos));
    gEfxCloudP->Draw(32, -32);
    sDrawEndScene();
    return nullptr;
}

void *EfxCloudSceneExit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    delete gEfxCloudP;
    gEfxCloudP = nullptr;
    return nullptr;
}

void *EfxCloudSceneRest(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    if (gEfxCloudP != nullptr)
        gEfxCloudP->Load();
    return nullptr;
}
