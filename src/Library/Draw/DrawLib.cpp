#include "Library/Draw/DrawLib.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Common/DEBUGWIN.h"

_drawLibLink drawLibLink;

static IDirectDraw7 *_ddraw(void)
{
    return drawLibLink.ddrawPP ? *drawLibLink.ddrawPP : nullptr;
}

static IDirect3DDevice7 *_device(void)
{
    return drawLibLink.d3dDevPP ? *drawLibLink.d3dDevPP : nullptr;
}

static IDirectDrawSurface7 *_back(void)
{
    return drawLibLink.backPP ? *drawLibLink.backPP : nullptr;
}

static uint32_t _status(void)
{
    return drawLibLink.statusP ? *drawLibLink.statusP : 0;
}

static bool _hardware(void)
{
    return (_status() & drawLibLink.hardwareMask) != 0;
}

static bool _ready(void)
{
    return (_status() & drawLibLink.initMask) && _ddraw();
}

_drawMasks sDrawSurfaceMasks(const DDPIXELFORMAT &aFormat)
{
    _drawMasks masks = {aFormat.dwRBitMask, aFormat.dwGBitMask, aFormat.dwBBitMask, 0};
    if (aFormat.dwFlags & DDPF_ALPHAPIXELS)
        masks.a = aFormat.dwRGBAlphaBitMask;
    return masks;
}

// Locks a whole surface, waiting while it is still being drawn.
static bool _lock(IDirectDrawSurface7 *aSufP, DDSURFACEDESC2 *aDescP, DWORD aFlags)
{
    std::memset(aDescP, 0, sizeof *aDescP);
    aDescP->dwSize = sizeof *aDescP;
    HRESULT hr;
    do {
        hr = DEBUGWIN_EXPECT(aSufP->Lock(nullptr, aDescP, aFlags | DDLOCK_WAIT, nullptr), DDERR_WASSTILLDRAWING);
    } while (hr == DDERR_WASSTILLDRAWING);
    return SUCCEEDED(hr) && aDescP->lpSurface;
}

void sDrawCalcTexSize(uint32_t aWidth, uint32_t aHeight, uint32_t *aTexWidthP, uint32_t *aTexHeightP)
{
    _drawTexCaps caps = {};
    D3DDEVICEDESC7 desc = {};
    if (_device() && SUCCEEDED(DEBUGWIN_CHECK(_device()->GetCaps(&desc)))) {
        caps.textureCaps = desc.dpcTriCaps.dwTextureCaps;
        caps.maxWidth = desc.dwMaxTextureWidth;
        caps.maxHeight = desc.dwMaxTextureHeight;
    }
    sDrawCalcTexSizeCaps(caps, aWidth, aHeight, aTexWidthP, aTexHeightP);
}

static void _setTexDDSD(DDSURFACEDESC2 *aDescP, uint32_t aWidth, uint32_t aHeight, DDPIXELFORMAT *aPixelP,
                        uint16_t aDrawFlg, bool aSystem)
{
    std::memset(aDescP, 0, sizeof *aDescP);
    aDescP->dwSize = sizeof *aDescP;
    aDescP->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    aDescP->dwWidth = aWidth;
    aDescP->dwHeight = aHeight;
    if (aDrawFlg & DRAW_FLG_TEXTURE) {
        aDescP->ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        if (aSystem)
            aDescP->ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
        else if (_hardware())
            aDescP->ddsCaps.dwCaps2 |= DDSCAPS2_TEXTUREMANAGE;
    } else {
        aDescP->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE |
                                 (aSystem ? DDSCAPS_SYSTEMMEMORY : DDSCAPS_VIDEOMEMORY);
    }
    if (aDrawFlg & DRAW_FLG_RENDER) {
        aDescP->ddsCaps.dwCaps |= DDSCAPS_3DDEVICE;
        aDescP->ddsCaps.dwCaps2 |= DDSCAPS2_HINTANTIALIASING;
    }
    if (aPixelP) {
        aDescP->dwFlags |= DDSD_PIXELFORMAT;
        aDescP->ddpfPixelFormat = *aPixelP;
    }
}

IDirectDrawSurface7 *sDrawCreateSurface(uint32_t aWidth, uint32_t aHeight, DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg)
{
    if (!_ready() || !aWidth || !aHeight)
        return nullptr;
    DDSURFACEDESC2 ddsd;
    IDirectDrawSurface7 *suf = nullptr;
    _setTexDDSD(&ddsd, aWidth, aHeight, aPixelP, aDrawFlg, false);
    if (SUCCEEDED(DEBUGWIN_CHECK(_ddraw()->CreateSurface(&ddsd, &suf, nullptr))) && suf)
        return suf;
    _setTexDDSD(&ddsd, aWidth, aHeight, aPixelP, aDrawFlg, true);
    suf = nullptr;
    if (SUCCEEDED(DEBUGWIN_CHECK(_ddraw()->CreateSurface(&ddsd, &suf, nullptr))) && suf)
        return suf;
    return nullptr;
}

static bool _surfaceSize(IDirectDrawSurface7 *aSufP, DDSURFACEDESC2 *aDescP)
{
    std::memset(aDescP, 0, sizeof *aDescP);
    aDescP->dwSize = sizeof *aDescP;
    return SUCCEEDED(DEBUGWIN_CHECK(aSufP->GetSurfaceDesc(aDescP)));
}

// ---------------------------------------------------------------- bitmaps

// The system's loader takes a bitmap file whose pixels were cut short and makes up the rest; such a
// file is refused here. Compressed and other layouts are left to the loader.
static bool _bitmapFileCut(const char *aBmpNameP)
{
    FILE *fp = std::fopen(aBmpNameP, "rb");
    if (!fp)
        return false;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER head = {};
    const bool read = std::fread(&file, sizeof file, 1, fp) == 1 && std::fread(&head, sizeof head, 1, fp) == 1;
    std::fseek(fp, 0, SEEK_END);
    const long size = std::ftell(fp);
    std::fclose(fp);
    if (!read)
        return file.bfType == 0x4D42;
    if (file.bfType != 0x4D42 || head.biSize < sizeof head ||
        (head.biCompression != BI_RGB && head.biCompression != BI_BITFIELDS))
        return false;
    const uint64_t rows = (uint64_t)(head.biHeight < 0 ? -(int64_t)head.biHeight : head.biHeight);
    const uint64_t stride = (((uint64_t)(head.biWidth < 0 ? 0 : head.biWidth) * head.biBitCount + 31) / 32) * 4;
    return (uint64_t)file.bfOffBits + stride * rows > (uint64_t)size;
}

HBITMAP sDrawLoadBitMapFile(const char *aBmpNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    if (!aBmpNameP)
        return nullptr;
    HBITMAP bmp = (HBITMAP)LoadImageA(drawLibLink.instH, aBmpNameP, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    if (!bmp && !_bitmapFileCut(aBmpNameP))
        bmp = (HBITMAP)LoadImageA(nullptr, aBmpNameP, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    if (!bmp)
        return nullptr;
    BITMAP info = {};
    if (!GetObjectA(bmp, sizeof info, &info)) {
        DeleteObject(bmp);
        return nullptr;
    }
    if (aWidthP)
        *aWidthP = (uint32_t)info.bmWidth;
    if (aHeightP)
        *aHeightP = (uint32_t)info.bmHeight;
    if (aDepthP)
        *aDepthP = info.bmBitsPixel;
    return bmp;
}

long sDrawGetBitMapSize(const char *aBmpNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    HBITMAP bmp = sDrawLoadBitMapFile(aBmpNameP, aWidthP, aHeightP, aDepthP);
    if (!bmp)
        return -1;
    DeleteObject(bmp);
    return 0;
}

void *sDrawLoadBitMapMem(const uint8_t *aDataP, long aSize, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    if (!aDataP || aSize < (long)(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)))
        return nullptr;
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER head;
    std::memcpy(&file, aDataP, sizeof file);
    std::memcpy(&head, aDataP + sizeof file, sizeof head);
    if (file.bfType != 0x4D42 || head.biSize < sizeof head || head.biWidth <= 0 || head.biHeight == 0 ||
        head.biPlanes != 1 || head.biWidth > 0x8000 || head.biHeight > 0x8000 || head.biHeight < -0x8000)
        return nullptr;
    const uint32_t bits = head.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return nullptr;
    if (head.biCompression != BI_RGB && !(head.biCompression == BI_BITFIELDS && (bits == 16 || bits == 32)))
        return nullptr;
    // Header, masks and palette must lie inside the file and before the pixels.
    uint32_t colors = bits <= 8 ? (head.biClrUsed ? head.biClrUsed : (1u << bits)) : head.biClrUsed;
    if (colors > 256)
        return nullptr;
    const uint64_t masks = head.biCompression == BI_BITFIELDS && head.biSize == sizeof head ? 12 : 0;
    const uint64_t infoSize = head.biSize + masks + (uint64_t)colors * 4;
    const uint64_t rows = (uint64_t)(head.biHeight < 0 ? -head.biHeight : head.biHeight);
    const uint64_t stride = (((uint64_t)head.biWidth * bits + 31) / 32) * 4;
    if (sizeof file + infoSize > (uint64_t)aSize || file.bfOffBits < sizeof file + infoSize ||
        (uint64_t)file.bfOffBits + stride * rows > (uint64_t)aSize)
        return nullptr;
    std::vector<uint8_t> info((size_t)infoSize, 0);
    std::memcpy(info.data(), aDataP + sizeof file, (size_t)infoSize);
    BITMAPINFOHEADER *infoHead = (BITMAPINFOHEADER *)info.data();
    infoHead->biSizeImage = 0;
    void *pixels = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, (BITMAPINFO *)info.data(), DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bmp || !pixels) {
        if (bmp)
            DeleteObject(bmp);
        return nullptr;
    }
    std::memcpy(pixels, aDataP + file.bfOffBits, (size_t)(stride * rows));
    GdiFlush();
    if (aWidthP)
        *aWidthP = (uint32_t)head.biWidth;
    if (aHeightP)
        *aHeightP = (uint32_t)rows;
    if (aDepthP)
        *aDepthP = bits;
    return bmp;
}

IDirectDrawSurface7 *sDrawLoadBitMapMemSurface(const uint8_t *aDataP, long aSize, DDPIXELFORMAT *aPixelP,
                                               uint16_t aDrawFlg)
{
    if (!_ready())
        return nullptr;
    uint32_t w, h, d;
    HBITMAP bmp = (HBITMAP)sDrawLoadBitMapMem(aDataP, aSize, &w, &h, &d);
    if (!bmp)
        return nullptr;
    IDirectDrawSurface7 *suf = sDrawLoadBitMapImage(bmp, w, h, d, aPixelP, aDrawFlg);
    DeleteObject(bmp);
    return suf;
}

static bool _isYuv(const DDSURFACEDESC2 &aDesc)
{
    return (aDesc.ddpfPixelFormat.dwFlags & DDPF_FOURCC) &&
           (aDesc.ddpfPixelFormat.dwFourCC == MAKEFOURCC('U', 'Y', 'V', 'Y') ||
            aDesc.ddpfPixelFormat.dwFourCC == MAKEFOURCC('Y', 'U', 'Y', '2'));
}

long sDrawCopyBitMap2YUV(IDirectDrawSurface7 *aSufP, HBITMAP aBitmapH)
{
    DDSURFACEDESC2 ddsd;
    if (!aSufP || !aBitmapH || !_surfaceSize(aSufP, &ddsd) || !_isYuv(ddsd))
        return -1;
    const long w = (long)ddsd.dwWidth, h = (long)ddsd.dwHeight;
    BITMAP info = {};
    if (!GetObjectA(aBitmapH, sizeof info, &info))
        return -1;
    // The bitmap stretched to the surface's size as top-down 24-bit rows.
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void *bits = nullptr;
    HBITMAP rgb = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!rgb)
        return -1;
    HDC src = CreateCompatibleDC(nullptr), dst = CreateCompatibleDC(nullptr);
    HGDIOBJ oldSrc = SelectObject(src, aBitmapH), oldDst = SelectObject(dst, rgb);
    SetStretchBltMode(dst, COLORONCOLOR);
    StretchBlt(dst, 0, 0, w, h, src, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    GdiFlush();
    SelectObject(src, oldSrc);
    SelectObject(dst, oldDst);
    DeleteDC(src);
    DeleteDC(dst);

    long result = -1;
    if (_lock(aSufP, &ddsd, DDLOCK_WRITEONLY)) {
        const bool uyvy = ddsd.ddpfPixelFormat.dwFourCC == MAKEFOURCC('U', 'Y', 'V', 'Y');
        const long stride = ((w * 3 + 3) / 4) * 4;
        for (long y = 0; y < h; ++y) {
            const uint8_t *row = (const uint8_t *)bits + y * stride;
            uint8_t *out = (uint8_t *)ddsd.lpSurface + y * ddsd.lPitch;
            for (long x = 0; x + 1 < w; x += 2) {
                // DIB rows are blue, green, red.
                const uint8_t p0[3] = {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]};
                const uint8_t p1[3] = {row[x * 3 + 5], row[x * 3 + 4], row[x * 3 + 3]};
                sDrawRgbPairToYuv(p0, p1, uyvy, out + x * 2);
            }
        }
        DEBUGWIN_CHECK(aSufP->Unlock(nullptr));
        result = 0;
    }
    DeleteObject(rgb);
    return result;
}

long sDrawCopyBitMap(IDirectDrawSurface7 *aSufP, HBITMAP aBitmapH, long aX, long aY, long aW, long aH)
{
    if (!aSufP || !aBitmapH)
        return -1;
    DDSURFACEDESC2 ddsd;
    if (!_surfaceSize(aSufP, &ddsd))
        return -1;
    if (_isYuv(ddsd) && sDrawCopyBitMap2YUV(aSufP, aBitmapH) == 0)
        return 0;
    BITMAP info = {};
    if (!GetObjectA(aBitmapH, sizeof info, &info))
        return -1;
    if (!aW)
        aW = (long)ddsd.dwWidth;
    if (!aH)
        aH = (long)ddsd.dwHeight;
    HDC mem = CreateCompatibleDC(nullptr);
    if (!mem)
        return -1;
    HGDIOBJ old = SelectObject(mem, aBitmapH);
    long result = -1;
    HDC dc = nullptr;
    if (SUCCEEDED(DEBUGWIN_CHECK(aSufP->GetDC(&dc)))) {
        SetStretchBltMode(dc, COLORONCOLOR);
        if (StretchBlt(dc, aX, aY, aW, aH, mem, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY))
            result = 0;
        DEBUGWIN_CHECK(aSufP->ReleaseDC(dc));
    }
    SelectObject(mem, old);
    DeleteDC(mem);
    return result;
}

IDirectDrawSurface7 *sDrawLoadBitMapImage(HBITMAP aBitmapH, uint32_t aWidth, uint32_t aHeight, uint32_t aDepth,
                                          DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg)
{
    (void)aDepth;
    if (!_ready() || !aBitmapH)
        return nullptr;
    uint32_t w = aWidth, h = aHeight;
    if (aDrawFlg & DRAW_FLG_TEXTURE)
        sDrawCalcTexSize(aWidth, aHeight, &w, &h);
    IDirectDrawSurface7 *suf = sDrawCreateSurface(w, h, aPixelP, aDrawFlg);
    if (!suf)
        return nullptr;
    if (sDrawCopyBitMap(suf, aBitmapH, 0, 0, 0, 0) != 0) {
        suf->Release();
        return nullptr;
    }
    return suf;
}

IDirectDrawSurface7 *sDrawLoadBitMap(const char *aBmpNameP, DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg)
{
    if (!_ready())
        return nullptr;
    uint32_t w, h, d;
    HBITMAP bmp = sDrawLoadBitMapFile(aBmpNameP, &w, &h, &d);
    if (!bmp)
        return nullptr;
    IDirectDrawSurface7 *suf = sDrawLoadBitMapImage(bmp, w, h, d, aPixelP, aDrawFlg);
    DeleteObject(bmp);
    return suf;
}

// ---------------------------------------------------------------- pixel memory

long sDrawCopyRgba(IDirectDrawSurface7 *aSufP, const uint32_t *aImageP, long aX, long aY, long aW, long aH)
{
    if (!aSufP || !aImageP || aW <= 0 || aH <= 0 || aX < 0 || aY < 0)
        return -1;
    DDSURFACEDESC2 ddsd;
    if (!_lock(aSufP, &ddsd, DDLOCK_WRITEONLY))
        return -1;
    const DWORD bits = ddsd.ddpfPixelFormat.dwRGBBitCount;
    if (bits != 16 && bits != 32) {
        DEBUGWIN_CHECK(aSufP->Unlock(nullptr));
        return -1;
    }
    const _drawMasks masks = sDrawSurfaceMasks(ddsd.ddpfPixelFormat);
    const long rows = aY < (long)ddsd.dwHeight ? std::min(aH, (long)ddsd.dwHeight - aY) : 0;
    const long cols = aX < (long)ddsd.dwWidth ? std::min(aW, (long)ddsd.dwWidth - aX) : 0;
    for (long y = 0; y < rows; ++y) {
        uint8_t *row = (uint8_t *)ddsd.lpSurface + (y + aY) * ddsd.lPitch;
        const uint32_t *src = aImageP + y * aW;
        for (long x = 0; x < cols; ++x) {
            const uint32_t value = sDrawPackRgba(src[x], masks);
            if (bits == 16)
                ((uint16_t *)row)[x + aX] = (uint16_t)value;
            else
                ((uint32_t *)row)[x + aX] = value;
        }
    }
    DEBUGWIN_CHECK(aSufP->Unlock(nullptr));
    return 0;
}

IDirectDrawSurface7 *sDrawLoadTargaImage(uint32_t *aImageP, uint32_t aWidth, uint32_t aHeight, uint32_t aDepth,
                                         DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg)
{
    (void)aDepth;
    if (!_ready() || !aImageP || !aWidth || !aHeight)
        return nullptr;
    uint32_t w, h;
    sDrawCalcTexSize(aWidth, aHeight, &w, &h);
    IDirectDrawSurface7 *suf = sDrawCreateSurface(w, h, aPixelP, aDrawFlg);
    if (!suf)
        return nullptr;
    if (sDrawCopyRgba(suf, aImageP, 0, 0, (long)aWidth, (long)aHeight) != 0) {
        suf->Release();
        return nullptr;
    }
    return suf;
}

IDirectDrawSurface7 *sDrawLoadTarga(const char *aTgaNameP, DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg)
{
    if (!_ready() || !aTgaNameP)
        return nullptr;
    uint32_t w, h, d;
    uint32_t *pixels = sDrawLoadTargaFile(aTgaNameP, &w, &h, &d);
    if (!pixels)
        return nullptr;
    IDirectDrawSurface7 *suf = sDrawLoadTargaImage(pixels, w, h, d, aPixelP, aDrawFlg);
    std::free(pixels);
    return suf;
}

uint32_t *_checkFileList(const char *aNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    void *image = nullptr;
    if (!drawLibLink.findPixelsP || !drawLibLink.findPixelsP(aNameP, &image, aWidthP, aHeightP, aDepthP))
        return nullptr;
    return (uint32_t *)image;
}

IDirectDrawSurface7 *sDrawLoadKsm(const char *aKsmNameP, DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg)
{
    if (!_ready() || !aKsmNameP)
        return nullptr;
    uint32_t w, h, d;
    uint32_t *pixels = _checkFileList(aKsmNameP, &w, &h, &d);
    const bool decoded = !pixels;
    if (decoded && !(pixels = sDrawLoadKsmFile(aKsmNameP, &w, &h, &d)))
        return nullptr;
    IDirectDrawSurface7 *suf = sDrawLoadTargaImage(pixels, w, h, d, aPixelP, aDrawFlg);
    if (decoded)
        std::free(pixels);
    return suf;
}

// ---------------------------------------------------------------- movies

void sDrawFreeAvi(_aviInfo **aAviInfoPP)
{
    if (!aAviInfoPP || !*aAviInfoPP)
        return;
    _aviInfo *avi = *aAviInfoPP;
    if (avi->getFrameP)
        AVIStreamGetFrameClose(avi->getFrameP);
    if (avi->aviStreamP)
        AVIStreamRelease(avi->aviStreamP);
    std::free(avi);
    *aAviInfoPP = nullptr;
}

IDirectDrawSurface7 *sDrawLoadAvi(const char *aAviNameP, DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg,
                                  _aviInfo **aAviInfoPP)
{
    if (!_ready() || !aAviInfoPP || !aAviNameP)
        return nullptr;
    _aviInfo *avi = (_aviInfo *)std::calloc(1, sizeof(_aviInfo));
    if (!avi)
        return nullptr;
    IDirectDrawSurface7 *suf = nullptr;
    if (AVIStreamOpenFromFileA(&avi->aviStreamP, aAviNameP, streamtypeVIDEO, 0, OF_READ, nullptr) == 0 &&
        (avi->getFrameP = AVIStreamGetFrameOpen(avi->aviStreamP, nullptr)) != nullptr &&
        AVIStreamInfoA(avi->aviStreamP, &avi->streamInfo, sizeof avi->streamInfo) == 0) {
        const RECT &frame = avi->streamInfo.rcFrame;
        const long fw = frame.right - frame.left, fh = frame.bottom - frame.top;
        if (fw > 0 && fh > 0) {
            uint32_t w, h;
            sDrawCalcTexSize((uint32_t)fw, (uint32_t)fh, &w, &h);
            suf = sDrawCreateSurface(w, h, aPixelP, aDrawFlg);
        }
    }
    if (!suf) {
        sDrawFreeAvi(&avi);
        return nullptr;
    }
    sDrawFreeAvi(aAviInfoPP);
    *aAviInfoPP = avi;
    return suf;
}

// ---------------------------------------------------------------- colour values

uint32_t sDrawGetColor(IDirectDrawSurface7 *aSufP, COLORREF aColor)
{
    if (!aSufP)
        return 0;
    HDC dc = nullptr;
    if (FAILED(DEBUGWIN_CHECK(aSufP->GetDC(&dc))))
        return 0;
    const COLORREF saved = GetPixel(dc, 0, 0);
    SetPixel(dc, 0, 0, aColor);
    DEBUGWIN_CHECK(aSufP->ReleaseDC(dc));
    uint32_t value = 0;
    DDSURFACEDESC2 ddsd;
    if (_lock(aSufP, &ddsd, DDLOCK_READONLY)) {
        value = *(const uint32_t *)ddsd.lpSurface;
        const DWORD bits = ddsd.ddpfPixelFormat.dwRGBBitCount;
        if (bits < 32)
            value &= (1u << bits) - 1;
        DEBUGWIN_CHECK(aSufP->Unlock(nullptr));
    }
    if (SUCCEEDED(DEBUGWIN_CHECK(aSufP->GetDC(&dc)))) {
        SetPixel(dc, 0, 0, saved);
        DEBUGWIN_CHECK(aSufP->ReleaseDC(dc));
    }
    return value;
}

void sDrawSetColorKey(IDirectDrawSurface7 *aSufP, COLORREF aColor)
{
    if (!aSufP)
        return;
    DDCOLORKEY key;
    key.dwColorSpaceLowValue = key.dwColorSpaceHighValue = sDrawGetColor(aSufP, aColor);
    DEBUGWIN_CHECK(aSufP->SetColorKey(DDCKEY_SRCBLT, &key));
}

// ---------------------------------------------------------------- normal map

static uint32_t _readPixel(const uint8_t *aRowP, DWORD aX, DWORD aBytes)
{
    switch (aBytes) {
    case 2:
        return ((const uint16_t *)aRowP)[aX];
    case 3:
        return aRowP[aX * 3] | aRowP[aX * 3 + 1] << 8 | aRowP[aX * 3 + 2] << 16;
    default:
        return ((const uint32_t *)aRowP)[aX];
    }
}

IDirectDrawSurface7 *sDrawMakeHightSuf(IDirectDrawSurface7 *aBumpSrcSufP, long aLevel)
{
    if (!_ready() || !aBumpSrcSufP)
        return nullptr;
    DDSURFACEDESC2 src;
    if (!_surfaceSize(aBumpSrcSufP, &src))
        return nullptr;
    const DWORD bits = src.ddpfPixelFormat.dwRGBBitCount;
    if (bits != 16 && bits != 24 && bits != 32)
        return nullptr;
    DDPIXELFORMAT format = {};
    format.dwSize = sizeof format;
    format.dwFlags = DDPF_RGB;
    format.dwRGBBitCount = bits;
    if (bits == 16) {
        format.dwRBitMask = 0x7C00, format.dwGBitMask = 0x03E0, format.dwBBitMask = 0x001F;
    } else {
        format.dwRBitMask = 0xFF0000, format.dwGBitMask = 0xFF00, format.dwBBitMask = 0xFF;
    }
    IDirectDrawSurface7 *dst = sDrawCreateSurface(src.dwWidth, src.dwHeight, &format, DRAW_FLG_TEXTURE);
    if (!dst)
        return nullptr;
    DDSURFACEDESC2 in, out;
    if (!_lock(aBumpSrcSufP, &in, DDLOCK_READONLY)) {
        dst->Release();
        return nullptr;
    }
    if (!_lock(dst, &out, DDLOCK_WRITEONLY)) {
        DEBUGWIN_CHECK(aBumpSrcSufP->Unlock(nullptr));
        dst->Release();
        return nullptr;
    }
    const _drawMasks masks = sDrawSurfaceMasks(in.ddpfPixelFormat);
    const DWORD bytes = bits / 8;
    const DWORD w = std::min(in.dwWidth, out.dwWidth), h = std::min(in.dwHeight, out.dwHeight);
    const bool bits16 = bits == 16;
    for (DWORD y = 0; y < h; ++y) {
        const uint8_t *row = (const uint8_t *)in.lpSurface + y * in.lPitch;
        const uint8_t *below = y + 1 < h ? row + in.lPitch : row;
        uint8_t *dstRow = (uint8_t *)out.lpSurface + y * out.lPitch;
        for (DWORD x = 0; x < w; ++x) {
            const DWORD right = x + 1 < w ? x + 1 : x;
            const int32_t h00 = (int32_t)sDrawHeightOf(_readPixel(row, x, bytes), masks);
            const int32_t h01 = (int32_t)sDrawHeightOf(_readPixel(row, right, bytes), masks);
            const int32_t h10 = (int32_t)sDrawHeightOf(_readPixel(below, x, bytes), masks);
            const uint32_t normal = sDrawNormalPixel(h00, h01, h10, (int32_t)aLevel, bits16);
            if (bytes == 2) {
                ((uint16_t *)dstRow)[x] = (uint16_t)normal;
            } else if (bytes == 3) {
                dstRow[x * 3] = (uint8_t)normal;
                dstRow[x * 3 + 1] = (uint8_t)(normal >> 8);
                dstRow[x * 3 + 2] = (uint8_t)(normal >> 16);
            } else {
                ((uint32_t *)dstRow)[x] = normal;
            }
        }
    }
    DEBUGWIN_CHECK(dst->Unlock(nullptr));
    DEBUGWIN_CHECK(aBumpSrcSufP->Unlock(nullptr));
    return dst;
}

// ---------------------------------------------------------------- fog

static DWORD _floatBits(float aValue)
{
    DWORD bits;
    std::memcpy(&bits, &aValue, sizeof bits);
    return bits;
}

static DWORD _rasterCaps(void)
{
    D3DDEVICEDESC7 desc = {};
    if (!_device() || FAILED(DEBUGWIN_CHECK(_device()->GetCaps(&desc))))
        return 0;
    return desc.dpcTriCaps.dwRasterCaps;
}

// The manager keeps the device's states; a set past it would leave its copy wrong.
static void _setState(D3DRENDERSTATETYPE aType, DWORD aValue)
{
    if (drawLibLink.setStateP)
        drawLibLink.setStateP(aType, aValue);
}

static void _fogRange(DWORD aMode, float aStart, float aEnd, float aDensity)
{
    if (aMode == D3DFOG_LINEAR) {
        _setState(D3DRENDERSTATE_FOGSTART, _floatBits(aStart));
        _setState(D3DRENDERSTATE_FOGEND, _floatBits(aEnd));
    } else {
        _setState(D3DRENDERSTATE_FOGDENSITY, _floatBits(aDensity));
    }
}

long sDrawTableFogEntry(DWORD aMode, D3DCOLOR aColor, float aStart, float aEnd, float aDensity)
{
    const DWORD caps = _rasterCaps();
    if (!(caps & D3DPRASTERCAPS_FOGTABLE) || !(caps & D3DPRASTERCAPS_WFOG))
        return 0;
    _setState(D3DRENDERSTATE_FOGTABLEMODE, aMode);
    _setState(D3DRENDERSTATE_FOGCOLOR, aColor);
    _fogRange(aMode, aStart, aEnd, aDensity);
    return 1;
}

long sDrawVertexFogEntry(DWORD aMode, D3DCOLOR aColor, float aStart, float aEnd, float aDensity)
{
    if (!(_rasterCaps() & D3DPRASTERCAPS_FOGVERTEX))
        return 0;
    _setState(D3DRENDERSTATE_FOGVERTEXMODE, aMode);
    _setState(D3DRENDERSTATE_FOGCOLOR, aColor);
    _setState(D3DRENDERSTATE_RANGEFOGENABLE, TRUE);
    _fogRange(aMode, aStart, aEnd, aDensity);
    return 1;
}

// ---------------------------------------------------------------- render targets

struct _formatSearch {
    DWORD bits;
    bool found;
    DDPIXELFORMAT format;
};

static HRESULT CALLBACK _enumTargetFormat(DDPIXELFORMAT *aFormatP, void *aContextP)
{
    _formatSearch *search = (_formatSearch *)aContextP;
    if ((aFormatP->dwFlags & DDPF_RGB) && !(aFormatP->dwFlags & (DDPF_FOURCC | DDPF_LUMINANCE | DDPF_BUMPDUDV)) &&
        !(aFormatP->dwFlags & (DDPF_PALETTEINDEXED8 | DDPF_PALETTEINDEXED4)) &&
        aFormatP->dwRGBBitCount == search->bits) {
        search->format = *aFormatP;
        search->found = true;
        return D3DENUMRET_CANCEL;
    }
    return D3DENUMRET_OK;
}

static bool _targetFormat(DWORD aBits, DDPIXELFORMAT *aFormatP)
{
    _formatSearch search = {aBits, false, {}};
    DEBUGWIN_CHECK(_device()->EnumTextureFormats(_enumTargetFormat, &search));
    if (search.found)
        *aFormatP = search.format;
    return search.found;
}

IDirectDrawSurface7 *sDrawCreateTextureSurface(long aWidth, long aHeight, long aBpp)
{
    if (!_ready() || !_device() || aWidth <= 0 || aHeight <= 0)
        return nullptr;
    DWORD bits = (DWORD)aBpp;
    if (aBpp == -1) {
        DDSURFACEDESC2 back;
        if (!_back() || !_surfaceSize(_back(), &back))
            return nullptr;
        bits = back.ddpfPixelFormat.dwRGBBitCount;
    }
    DDPIXELFORMAT format;
    if (!_targetFormat(bits, &format) && !_targetFormat(16, &format) && !_targetFormat(32, &format))
        return nullptr;
    DDSURFACEDESC2 ddsd = {};
    ddsd.dwSize = sizeof ddsd;
    ddsd.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    ddsd.dwWidth = (DWORD)aWidth;
    ddsd.dwHeight = (DWORD)aHeight;
    ddsd.ddpfPixelFormat = format;
    ddsd.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE;
    if (!_hardware())
        ddsd.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface7 *suf = nullptr;
    if (SUCCEEDED(DEBUGWIN_CHECK(_ddraw()->CreateSurface(&ddsd, &suf, nullptr))) && suf)
        return suf;
    ddsd.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    suf = nullptr;
    if (SUCCEEDED(DEBUGWIN_CHECK(_ddraw()->CreateSurface(&ddsd, &suf, nullptr))) && suf)
        return suf;
    return nullptr;
}

// Takes the depth buffer off aFromP and attaches it to aToP; the buffer, or null when there was none.
// A depth buffer smaller than the new target stays where it is: the device would refuse every
// clear and draw into the part it does not cover (a 512 x 512 map against a 640 x 480 screen).
static IDirectDrawSurface7 *_moveDepth(IDirectDrawSurface7 *aFromP, IDirectDrawSurface7 *aToP)
{
    DDSCAPS2 caps = {};
    caps.dwCaps = DDSCAPS_ZBUFFER;
    IDirectDrawSurface7 *z = nullptr;
    if (!aFromP || FAILED(DEBUGWIN_EXPECT(aFromP->GetAttachedSurface(&caps, &z), DDERR_NOTFOUND)) || !z)
        return nullptr;
    DDSURFACEDESC2 zDesc, toDesc;
    if (!_surfaceSize(z, &zDesc) || !_surfaceSize(aToP, &toDesc) || zDesc.dwWidth < toDesc.dwWidth ||
        zDesc.dwHeight < toDesc.dwHeight) {
        z->Release();
        return nullptr;
    }
    DEBUGWIN_CHECK(aFromP->DeleteAttachedSurface(0, z));
    DEBUGWIN_CHECK(aToP->AddAttachedSurface(z));
    z->Release();
    return z;
}

bool sDrawHasDepth(IDirectDrawSurface7 *aSufP)
{
    DDSCAPS2 caps = {};
    caps.dwCaps = DDSCAPS_ZBUFFER;
    IDirectDrawSurface7 *z = nullptr;
    if (!aSufP || FAILED(DEBUGWIN_EXPECT(aSufP->GetAttachedSurface(&caps, &z), DDERR_NOTFOUND)) || !z)
        return false;
    z->Release();
    return true;
}

long sDrawChangeRenderTarget(IDirectDrawSurface7 *aNewRenderTargetP)
{
    IDirect3DDevice7 *dev = _device();
    if (!dev || !aNewRenderTargetP)
        return -1;
    IDirectDrawSurface7 *current = nullptr;
    DEBUGWIN_CHECK(dev->GetRenderTarget(&current));
    if (current == aNewRenderTargetP) {
        current->Release();
        return 0;
    }
    const bool moved = _moveDepth(current, aNewRenderTargetP) != nullptr;
    if (FAILED(DEBUGWIN_CHECK(dev->SetRenderTarget(aNewRenderTargetP, 0)))) {
        // The old target keeps its depth buffer when the device refuses the new one.
        if (moved)
            _moveDepth(aNewRenderTargetP, current);
        if (current)
            current->Release();
        return -1;
    }
    if (current)
        current->Release();
    return 0;
}
