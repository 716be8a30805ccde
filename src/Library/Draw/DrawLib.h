#ifndef KESTREL_LIBRARY_DRAW_DRAWLIB_H
#define KESTREL_LIBRARY_DRAW_DRAWLIB_H

// Image files as DirectDraw surfaces: bitmaps (program resource first, then file), Targa and KSM
// images through the pixel decoders, AVI movies through Video for Windows; and the surface helpers
// of the texture manager and the draw manager: creation rules, power-of-two sizing, colour
// values in a surface's format, normal maps, the YUV copy, fog entry and render targets.
// Every surface-producing routine gives null while the draw manager is not initialised.

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>
#include <vfw.h>

#include <cstdint>

#include "Library/Draw/DrawCore.h"

// The draw manager as the loaders see it. The draw manager fills it in while it runs and zeroes it
// when it ends; zeroed, no loader makes a surface, textures are sized without device limits and
// no image registry is looked up.
struct _drawLibLink {
    IDirectDraw7 *const *ddrawPP;        // the DirectDraw object
    IDirect3DDevice7 *const *d3dDevPP;   // the Direct3D device
    IDirectDrawSurface7 *const *backPP;  // the back buffer
    const uint32_t *statusP;             // the manager's status word, read through the masks below
    uint32_t initMask;                   // set while the manager is initialised
    uint32_t hardwareMask;               // set for a hardware device
    HINSTANCE instH;                     // module whose bitmap resources come before files
    // The pixel memory of a registered image (the registry keeps it): 1, or 0 when there is none.
    long (*findPixelsP)(const char *aNameP, void **aImageP, uint32_t *aWidthP, uint32_t *aHeightP,
                        uint32_t *aDepthP);
    // Sets a render state through the manager's copy of the device's states; null: not set.
    void (*setStateP)(D3DRENDERSTATETYPE aType, DWORD aValue);
};
extern _drawLibLink drawLibLink;

// The opened movie stream of a texture page.
struct _aviInfo {
    PAVISTREAM aviStreamP;
    PGETFRAME getFrameP;
    AVISTREAMINFOA streamInfo;  // dwLength frames, rcFrame the frame rectangle
};
static_assert(sizeof(AVISTREAMINFOA) == 140, "AVISTREAMINFOA");

// Closes the decompressor and the stream and frees the record; the pointer becomes null.
void sDrawFreeAvi(_aviInfo **aAviInfoPP);

IDirectDrawSurface7 *sDrawLoadBitMap(const char *aBmpNameP, DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg);
// The bitmap stays the caller's.
IDirectDrawSurface7 *sDrawLoadBitMapImage(HBITMAP aBitmapH, uint32_t aWidth, uint32_t aHeight, uint32_t aDepth,
                                          DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg);
// The program's bitmap resource of that name, else the file; with its width, height and bits.
HBITMAP sDrawLoadBitMapFile(const char *aBmpNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP);
long sDrawGetBitMapSize(const char *aBmpNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP);
// A bitmap file held in memory (checked against aSize) as a bitmap handle, or null.
void *sDrawLoadBitMapMem(const uint8_t *aDataP, long aSize, uint32_t *aWidthP, uint32_t *aHeightP,
                         uint32_t *aDepthP);
IDirectDrawSurface7 *sDrawLoadBitMapMemSurface(const uint8_t *aDataP, long aSize, DDPIXELFORMAT *aPixelP,
                                               uint16_t aDrawFlg);
// Stretches the whole bitmap into (aX, aY, aW, aH) of the surface; aW or aH 0: the surface's size.
long sDrawCopyBitMap(IDirectDrawSurface7 *aSufP, HBITMAP aBitmapH, long aX, long aY, long aW, long aH);
long sDrawCopyBitMap2YUV(IDirectDrawSurface7 *aSufP, HBITMAP aBitmapH);

IDirectDrawSurface7 *sDrawLoadTarga(const char *aTgaNameP, DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg);
// Pixel memory as a surface; the pixels stay the caller's.
IDirectDrawSurface7 *sDrawLoadTargaImage(uint32_t *aImageP, uint32_t aWidth, uint32_t aHeight, uint32_t aDepth,
                                         DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg);
IDirectDrawSurface7 *sDrawLoadKsm(const char *aKsmNameP, DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg);
// A surface the size of the movie's frames; the opened stream comes back in *aAviInfoPP.
IDirectDrawSurface7 *sDrawLoadAvi(const char *aAviNameP, DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg,
                                  _aviInfo **aAviInfoPP);

// Writes pixel memory (0xRRGGBBAA) into a 16- or 32-bit surface at (aX, aY); 0, or -1 when the
// surface cannot be locked or has another depth.
long sDrawCopyRgba(IDirectDrawSurface7 *aSufP, const uint32_t *aImageP, long aX, long aY, long aW, long aH);
// The surface-format value of a Windows colour value; 0 when no device context can be had.
uint32_t sDrawGetColor(IDirectDrawSurface7 *aSufP, COLORREF aColor);
void sDrawSetColorKey(IDirectDrawSurface7 *aSufP, COLORREF aColor);
// Texture size of an image on the current device.
void sDrawCalcTexSize(uint32_t aWidth, uint32_t aHeight, uint32_t *aTexWidthP, uint32_t *aTexHeightP);
// A normal map (5-5-5 or 8-8-8) of a 16-, 24- or 32-bit height image, or null.
IDirectDrawSurface7 *sDrawMakeHightSuf(IDirectDrawSurface7 *aBumpSrcSufP, long aLevel);
// 1 when the device takes table (vertex) fog and it was set, else 0.
long sDrawTableFogEntry(DWORD aMode, D3DCOLOR aColor, float aStart, float aEnd, float aDensity);
long sDrawVertexFogEntry(DWORD aMode, D3DCOLOR aColor, float aStart, float aEnd, float aDensity);
// A texture the device can render into; aBpp -1: the back buffer's depth.
IDirectDrawSurface7 *sDrawCreateTextureSurface(long aWidth, long aHeight, long aBpp);
// Moves the depth buffer to the new target (when it covers it) and renders there; 0, or -1 when
// the device refuses.
long sDrawChangeRenderTarget(IDirectDrawSurface7 *aNewRenderTargetP);
// Whether a depth buffer is attached to the surface.
bool sDrawHasDepth(IDirectDrawSurface7 *aSufP);
// Pixel memory the image registry holds for that name, or null.
uint32_t *_checkFileList(const char *aNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP);

// Creates a surface of the flags' kind (retrying in system memory); null on failure.
IDirectDrawSurface7 *sDrawCreateSurface(uint32_t aWidth, uint32_t aHeight, DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg);
// The masks of a surface's pixel format and its bit count.
_drawMasks sDrawSurfaceMasks(const DDPIXELFORMAT &aFormat);

#endif
