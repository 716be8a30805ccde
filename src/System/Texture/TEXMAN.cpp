#include "System/Texture/TEXMAN.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Common/DEBUGWIN.h"
#include "System/Draw/DrawMan.h"

_texMan texMan;

// ---------------------------------------------------------------- pixel formats

struct _texSearch {
    DWORD depth;
    bool alpha;
    bool palette;  // the palette rule is in force
    bool found;
    DDPIXELFORMAT format;
};

static HRESULT CALLBACK _enumTexCallback(DDPIXELFORMAT *aFormatP, void *aContextP)
{
    _texSearch *search = (_texSearch *)aContextP;
    const DWORD flags = aFormatP->dwFlags;
    if (flags & (DDPF_LUMINANCE | DDPF_BUMPDUDV))
        return D3DENUMRET_OK;
    if (search->palette && search->depth < 9) {
        if (flags & DDPF_PALETTEINDEXED8)
            return D3DENUMRET_OK;
        search->format = *aFormatP;
        search->found = true;
        return D3DENUMRET_CANCEL;
    }
    if (aFormatP->dwRGBBitCount < 16 || (flags & DDPF_FOURCC))
        return D3DENUMRET_OK;
    const bool hasAlpha = (flags & DDPF_ALPHAPIXELS) != 0;
    // 4-4-4-4 is never used: its four colour bits band too visibly.
    if (hasAlpha && aFormatP->dwRGBAlphaBitMask == 0xF000)
        return D3DENUMRET_OK;
    if (hasAlpha != search->alpha)
        return D3DENUMRET_OK;
    if (aFormatP->dwRGBBitCount != search->depth)
        return D3DENUMRET_OK;
    search->format = *aFormatP;
    search->found = true;
    return D3DENUMRET_CANCEL;
}

static bool _searchTexFormat(DDPIXELFORMAT *aFormatP, DWORD aDepth, bool aAlpha)
{
    if (!drawMan.d3dDevP)
        return false;
    _texSearch search = {aDepth, aAlpha, true, false, {}};
    DEBUGWIN_CHECK(drawMan.d3dDevP->EnumTextureFormats(_enumTexCallback, &search));
    if (!search.found) {
        search.alpha = true;
        search.palette = false;
        DEBUGWIN_CHECK(drawMan.d3dDevP->EnumTextureFormats(_enumTexCallback, &search));
    }
    // A card with only 16-bit textures (or only 32-bit ones) still gets every texture, in the
    // depth it has, rather than objects drawn bare.
    if (!search.found && (aDepth == 16 || aDepth == 32)) {
        search.depth = aDepth == 32 ? 16 : 32;
        DEBUGWIN_CHECK(drawMan.d3dDevP->EnumTextureFormats(_enumTexCallback, &search));
    }
    if (search.found)
        *aFormatP = search.format;
    return search.found;
}

// ---------------------------------------------------------------- loading

static bool _contains(const char *aLowerP, const char *aWhatP)
{
    return std::strstr(aLowerP, aWhatP) != nullptr;
}

static IDirectDrawSurface7 *_loadTexFile(const char *aNameP, uint16_t aDrawFlg, _aviInfo **aAviInfoPP, DWORD aDepth)
{
    if (!aNameP || !aNameP[0])
        return nullptr;
    DDPIXELFORMAT format;
    if (!_searchTexFormat(&format, aDepth, true))
        return nullptr;
    // An image registered from an image package is taken from memory, whatever its name says.
    const long slot = sDrawFileCheckList(aNameP);
    if (slot >= 0) {
        void *image = nullptr;
        uint32_t w = 0, h = 0, d = 0;
        const _drawFile *file = drawMan.fileP[slot];
        file->GetInfo(&image, &w, &h, &d);
        if (file->_type == DRAW_FILE_BITMAP)
            return sDrawLoadBitMapImage((HBITMAP)image, w, h, d, &format, aDrawFlg);
        return sDrawLoadTargaImage((uint32_t *)image, w, h, d, &format, aDrawFlg);
    }
    char lower[TEX_PATH_SIZE];
    std::strncpy(lower, aNameP, sizeof lower - 1);
    lower[sizeof lower - 1] = '\0';
    sDrawLowerName(lower);
    if (_contains(lower, ".bmp"))
        return sDrawLoadBitMap(aNameP, &format, aDrawFlg);
    if (_contains(lower, ".tga"))
        return sDrawLoadTarga(aNameP, &format, aDrawFlg);
    if (_contains(lower, ".avi"))
        return sDrawLoadAvi(aNameP, &format, aDrawFlg, aAviInfoPP);
    if (_contains(lower, ".ksm"))
        return sDrawLoadKsm(aNameP, &format, aDrawFlg);
    return nullptr;
}

static bool _lockSurface(IDirectDrawSurface7 *aSufP, DDSURFACEDESC2 *aDescP)
{
    std::memset(aDescP, 0, sizeof *aDescP);
    aDescP->dwSize = sizeof *aDescP;
    HRESULT hr;
    do {
        hr = DEBUGWIN_EXPECT(aSufP->Lock(nullptr, aDescP, DDLOCK_WAIT, nullptr), DDERR_WASSTILLDRAWING);
    } while (hr == DDERR_WASSTILLDRAWING);
    return SUCCEEDED(hr) && aDescP->lpSurface;
}

enum : uint16_t {
    _COMPOSIT_FLG = DRAW_FLG_ALPHAIMAGE | DRAW_FLG_COLORKEY | DRAW_FLG_OPACITY | DRAW_FLG_NEGATIVE | DRAW_FLG_INVALPHA,
    _DEPTH32_FLG = DRAW_FLG_32BIT | DRAW_FLG_ALPHAIMAGE | DRAW_FLG_COLORKEY | DRAW_FLG_OPACITY,
};

// The alpha image's blue channel, one byte a pixel; null when it cannot be read.
static uint8_t *_alphaMap(IDirectDrawSurface7 *aAlphaP, DWORD aWidth, DWORD aHeight)
{
    DDSURFACEDESC2 ddsd;
    if (!_lockSurface(aAlphaP, &ddsd))
        return nullptr;
    const DWORD bits = ddsd.ddpfPixelFormat.dwRGBBitCount;
    uint8_t *map = (bits == 16 || bits == 32) ? (uint8_t *)std::malloc((size_t)aWidth * aHeight) : nullptr;
    if (map) {
        const DWORD blue = ddsd.ddpfPixelFormat.dwBBitMask;
        // The blue channel as 0..255: an 8-bit mask as it is, a narrower one (a 16-bit alpha
        // image on a card without 32-bit textures) widened.
        const DWORD shift = sDrawGetShiftNum(blue);
        const DWORD top = blue >> shift;
        for (DWORD y = 0; y < aHeight; ++y) {
            const uint8_t *row = (const uint8_t *)ddsd.lpSurface + y * ddsd.lPitch;
            for (DWORD x = 0; x < aWidth; ++x) {
                const uint32_t p = bits == 16 ? ((const uint16_t *)row)[x] : ((const uint32_t *)row)[x];
                const uint32_t v = (p & blue) >> shift;
                map[y * aWidth + x] = (uint8_t)(top >= 255 || top == 0 ? (p & blue) : v * 255 / top);
            }
        }
    }
    DEBUGWIN_CHECK(aAlphaP->Unlock(nullptr));
    return map;
}

static void _compositTexImage(IDirectDrawSurface7 *aSufP, IDirectDrawSurface7 *aAlphaP, uint16_t aDrawFlg,
                              float aOpacity, uint32_t aColor)
{
    if (!(aDrawFlg & _COMPOSIT_FLG))
        return;
    uint32_t key = 0;
    if (aDrawFlg & DRAW_FLG_COLORKEY)
        key = sDrawGetColor(aSufP, aColor);
    DDSURFACEDESC2 color;
    color.dwSize = sizeof color;
    if (FAILED(DEBUGWIN_CHECK(aSufP->GetSurfaceDesc(&color))))
        return;
    uint8_t *map = nullptr;
    if (aDrawFlg & DRAW_FLG_ALPHAIMAGE) {
        DDSURFACEDESC2 alpha;
        alpha.dwSize = sizeof alpha;
        // An alpha image that is missing or of another size is ignored.
        if (aAlphaP && SUCCEEDED(DEBUGWIN_CHECK(aAlphaP->GetSurfaceDesc(&alpha))) && alpha.dwWidth == color.dwWidth &&
            alpha.dwHeight == color.dwHeight)
            map = _alphaMap(aAlphaP, color.dwWidth, color.dwHeight);
        if (!map)
            aDrawFlg &= ~DRAW_FLG_ALPHAIMAGE;
    }
    if (_lockSurface(aSufP, &color)) {
        const DWORD bits = color.ddpfPixelFormat.dwRGBBitCount;
        const _drawMasks masks = sDrawSurfaceMasks(color.ddpfPixelFormat);
        if (bits == 16 || bits == 32) {
            for (DWORD y = 0; y < color.dwHeight; ++y) {
                uint8_t *row = (uint8_t *)color.lpSurface + y * color.lPitch;
                for (DWORD x = 0; x < color.dwWidth; ++x) {
                    const uint8_t a = map ? map[y * color.dwWidth + x] : 0;
                    if (bits == 16) {
                        uint16_t &p = ((uint16_t *)row)[x];
                        p = (uint16_t)sDrawCompositPixel(p, aDrawFlg, masks, true, a, aOpacity, key);
                    } else {
                        uint32_t &p = ((uint32_t *)row)[x];
                        p = sDrawCompositPixel(p, aDrawFlg, masks, false, a, aOpacity, key);
                    }
                }
            }
        }
        DEBUGWIN_CHECK(aSufP->Unlock(nullptr));
    }
    std::free(map);
}

IDirectDrawSurface7 *sTexLoadFile(const char *aFileNameP, const char *aAlphaFileNameP, uint16_t aDrawFlg,
                                  uint32_t aColor, float aOpacity, _aviInfo **aAviInfoPP)
{
    const DWORD depth = (aDrawFlg & _DEPTH32_FLG) ? 32 : 16;
    IDirectDrawSurface7 *suf = _loadTexFile(aFileNameP, aDrawFlg, aAviInfoPP, depth);
    if (!suf)
        return nullptr;
    IDirectDrawSurface7 *alpha = nullptr;
    if (aDrawFlg & DRAW_FLG_ALPHAIMAGE) {
        _aviInfo *avi = nullptr;
        alpha = _loadTexFile(aAlphaFileNameP, DRAW_FLG_TEXTURE, &avi, 32);
        sDrawFreeAvi(&avi);
    }
    _compositTexImage(suf, alpha, aDrawFlg, aOpacity, aColor);
    if (alpha)
        alpha->Release();
    return suf;
}

// ---------------------------------------------------------------- manager

void sTexManInit(long aPageMax, long aTexMax)
{
    // The spotlight pass keeps its maps in pages.
    static const _drawPageOps pageOps = {sTexPageSufEntry, sTexPageFree, sTexGetSurfacePtr};
    sDrawSetPageOps(&pageOps);
    if (texMan.pageP || texMan.infoP)
        sTexManExit();
    std::memset(&texMan, 0, sizeof texMan);
    if (aPageMax > 0 && (texMan.pageP = (_texPage *)std::calloc((size_t)aPageMax, sizeof(_texPage))))
        texMan.pageMax = (int16_t)aPageMax;
    if (aTexMax > 0 && (texMan.infoP = (_texInfo *)std::calloc((size_t)aTexMax, sizeof(_texInfo))))
        texMan.texMax = (int16_t)aTexMax;
}

void sTexManExit(void)
{
    drawMan.texCallBackP = nullptr;
    sTexPageFreeAll();
    sTexInfoFreeAll();
    std::free(texMan.pageP);
    std::free(texMan.infoP);
    std::memset(&texMan, 0, sizeof texMan);
}

void sTexSetPath(const char *aPathP)
{
    if (!aPathP)
        return;
    std::strncpy(texMan.pathName, aPathP, sizeof texMan.pathName - 1);
    texMan.pathName[sizeof texMan.pathName - 1] = '\0';
}

_texPage *sTexGetPagePtr(long aPageNum)
{
    if (aPageNum < 0 || aPageNum >= texMan.pageMax || !(texMan.pageP[aPageNum].status & TEX_PAGE_USE))
        return nullptr;
    return &texMan.pageP[aPageNum];
}

IDirectDrawSurface7 *sTexGetSurfacePtr(long aPageNum)
{
    _texPage *page = sTexGetPagePtr(aPageNum);
    return page ? page->sufP : nullptr;
}

static long _freePageSlot(void)
{
    if (texMan.pageCnt >= 0 && texMan.pageCnt < texMan.pageMax && !(texMan.pageP[texMan.pageCnt].status & TEX_PAGE_USE))
        return texMan.pageCnt;
    for (long i = 0; i < texMan.pageMax; ++i) {
        if (!(texMan.pageP[i].status & TEX_PAGE_USE))
            return i;
    }
    return -1;
}

static void _copyName(char *aDstP, const char *aSrcP)
{
    std::strncpy(aDstP, aSrcP ? aSrcP : "", TEX_PATH_SIZE - 1);
    aDstP[TEX_PATH_SIZE - 1] = '\0';
}

// The name as loaded: under the folder prefix unless the request says otherwise.
static void _makePath(char *aPathP, const char *aNameP, uint16_t aDrawFlg)
{
    if (!(aDrawFlg & DRAW_FLG_BLT) && texMan.pathName[0] && aNameP && aNameP[0])
        std::snprintf(aPathP, TEX_PATH_SIZE, "%s\\%s", texMan.pathName, aNameP);
    else
        _copyName(aPathP, aNameP);
}

static bool _samePage(const _texPage &aPage, const char *aFileNameP, const char *aAlphaFileNameP, uint16_t aDrawFlg,
                      uint32_t aColor, float aOpacity, const _pageInfo *aPageInfoP)
{
    if (aPage.drawFlg != aDrawFlg || std::strcmp(aPage.fileName, aFileNameP) != 0)
        return false;
    if ((aDrawFlg & DRAW_FLG_ALPHAIMAGE) && std::strcmp(aPage.alphaFileName, aAlphaFileNameP ? aAlphaFileNameP : "") != 0)
        return false;
    if ((aDrawFlg & DRAW_FLG_COLORKEY) && aPage.color != aColor)
        return false;
    if ((aDrawFlg & DRAW_FLG_OPACITY) && aPage.opacity != aOpacity)
        return false;
    if ((aDrawFlg & DRAW_FLG_PROJECTION) && aPageInfoP && std::memcmp(&aPage.pageInfo, aPageInfoP, sizeof(_pageInfo)) != 0)
        return false;
    return true;
}

// Loads a page's image from its recorded request: the surface, or null.
static IDirectDrawSurface7 *_loadPage(const char *aFileNameP, const char *aAlphaFileNameP, uint16_t aDrawFlg,
                                      uint32_t aColor, float aOpacity, _aviInfo **aAviInfoPP)
{
    char path[TEX_PATH_SIZE], alphaPath[TEX_PATH_SIZE];
    _makePath(path, aFileNameP, aDrawFlg);
    _makePath(alphaPath, aAlphaFileNameP, aDrawFlg);
    IDirectDrawSurface7 *suf = sTexLoadFile(path, alphaPath, aDrawFlg, aColor, aOpacity, aAviInfoPP);
    if (!suf) {
        sPrintMsgFile("テクスチャ登録失敗 (%s)", path);
        return nullptr;
    }
    if (aDrawFlg & DRAW_FLG_HEIGHT) {
        IDirectDrawSurface7 *height = sDrawMakeHightSuf(suf, 0);
        suf->Release();
        if (!height) {
            sDrawFreeAvi(aAviInfoPP);
            return nullptr;
        }
        suf = height;
    }
    return suf;
}

long sTexPageEntry(const char *aFileNameP, const char *aAlphaFileNameP, uint16_t aDrawFlg, uint32_t aColor,
                   float aOpacity, const _pageInfo *aPageInfoP)
{
    if (!texMan.pageP || !aFileNameP || !aFileNameP[0])
        return -1;
    for (long i = 0; i < texMan.pageMax; ++i) {
        const _texPage &page = texMan.pageP[i];
        if ((page.status & TEX_PAGE_USE) && !(page.status & (TEX_PAGE_OUTSIDE | TEX_PAGE_BITMAP)) &&
            _samePage(page, aFileNameP, aAlphaFileNameP, aDrawFlg, aColor, aOpacity, aPageInfoP))
            return i;
    }
    const long slot = _freePageSlot();
    if (slot < 0)
        return -1;
    _aviInfo *avi = nullptr;
    IDirectDrawSurface7 *suf = _loadPage(aFileNameP, aAlphaFileNameP, aDrawFlg, aColor, aOpacity, &avi);
    if (!suf)
        return -1;
    _texPage &page = texMan.pageP[slot];
    std::memset(&page, 0, sizeof page);
    page.status = TEX_PAGE_USE;
    page.sufP = suf;
    page.aviInfoP = avi;
    _copyName(page.fileName, aFileNameP);
    _copyName(page.alphaFileName, aAlphaFileNameP);
    page.color = aColor;
    page.opacity = aOpacity;
    page.drawFlg = aDrawFlg;
    if ((aDrawFlg & DRAW_FLG_PROJECTION) && aPageInfoP)
        page.pageInfo = *aPageInfoP;
    texMan.pageCnt++;
    return slot;
}

long sTexPageSufEntry(IDirectDrawSurface7 *aSufP, uint16_t aDrawFlg)
{
    if (!texMan.pageP || !aSufP)
        return -1;
    const long slot = _freePageSlot();
    if (slot < 0)
        return -1;
    _texPage &page = texMan.pageP[slot];
    std::memset(&page, 0, sizeof page);
    page.status = TEX_PAGE_USE | TEX_PAGE_OUTSIDE;
    page.sufP = aSufP;
    page.opacity = 1.0f;
    page.drawFlg = aDrawFlg;
    texMan.pageCnt++;
    return slot;
}

static IDirectDrawSurface7 *_loadBitmapPage(HBITMAP aBitmapH, uint32_t aWidth, uint32_t aHeight, uint32_t aDepth,
                                            uint16_t aDrawFlg)
{
    DDPIXELFORMAT format;
    if (!_searchTexFormat(&format, aDepth, true))
        return nullptr;
    return sDrawLoadBitMapImage(aBitmapH, aWidth, aHeight, aDepth, &format, aDrawFlg);
}

long sTexPageBmpEntry(HBITMAP aBitmapH, uint32_t aWidth, uint32_t aHeight, uint32_t aDepth, uint16_t aDrawFlg)
{
    const long slot = texMan.pageP && aBitmapH ? _freePageSlot() : -1;
    IDirectDrawSurface7 *suf = slot >= 0 ? _loadBitmapPage(aBitmapH, aWidth, aHeight, aDepth, aDrawFlg) : nullptr;
    if (!suf) {
        sPrintMsgFile("テクスチャ登録失敗");
        return -1;
    }
    _texPage &page = texMan.pageP[slot];
    std::memset(&page, 0, sizeof page);
    page.status = TEX_PAGE_USE | TEX_PAGE_BITMAP;
    page.sufP = suf;
    page.opacity = 1.0f;
    page.drawFlg = aDrawFlg;
    page.imageP = aBitmapH;
    page.width = aWidth;
    page.height = aHeight;
    page.depth = aDepth;
    texMan.pageCnt++;
    return slot;
}

long sTexPageCheckEntry(const char *aNameP)
{
    if (!texMan.pageP || !aNameP)
        return -1;
    for (long i = 0; i < texMan.pageMax; ++i) {
        const _texPage &page = texMan.pageP[i];
        if ((page.status & TEX_PAGE_USE) && !(page.status & (TEX_PAGE_OUTSIDE | TEX_PAGE_BITMAP)) &&
            page.drawFlg == (DRAW_FLG_PROJECTION | DRAW_FLG_TEXTURE) && page.alphaFileName[0] == '\0' &&
            std::strcmp(page.fileName, aNameP) == 0)
            return i;
    }
    return -1;
}

void sTexPageFree(long aPageNum)
{
    _texPage *page = sTexGetPagePtr(aPageNum);
    if (!page)
        return;
    page->status &= ~TEX_PAGE_USE;
    // Without DirectDraw the surfaces went with it; they are only forgotten.
    if (drawMan.status & DRAW_STAT_DDRAW) {
        if (page->sufP && !(page->status & TEX_PAGE_OUTSIDE))
            page->sufP->Release();
    }
    if (page->imageP)
        DeleteObject(page->imageP);
    page->imageP = nullptr;
    page->sufP = nullptr;
    sDrawFreeAvi(&page->aviInfoP);
    texMan.pageCnt--;
}

void sTexPageFreeAll(void)
{
    for (long i = 0; i < texMan.pageMax; ++i)
        sTexPageFree(i);
}

void sTexPageRestore(long aPageNum)
{
    _texPage *page = sTexGetPagePtr(aPageNum);
    if (!page || (page->status & TEX_PAGE_OUTSIDE))
        return;
    if (page->sufP)
        page->sufP->Release();
    page->sufP = nullptr;
    if (page->status & TEX_PAGE_BITMAP) {
        page->sufP = _loadBitmapPage(page->imageP, page->width, page->height, page->depth, page->drawFlg);
        return;
    }
    sDrawFreeAvi(&page->aviInfoP);
    page->sufP = _loadPage(page->fileName, page->alphaFileName, page->drawFlg, page->color, page->opacity,
                           &page->aviInfoP);
}

void sTexPageRestoreAll(void)
{
    for (long i = 0; i < texMan.pageMax; ++i)
        sTexPageRestore(i);
}

// ---------------------------------------------------------------- texture infos

static bool _sameRect(const _texInfoRect &aA, const _texInfoRect &aB)
{
    return aA.left == aB.left && aA.top == aB.top && aA.right == aB.right && aA.bottom == aB.bottom;
}

long sTexInfoEntry(long aPageNum, const _texInfo *aTexInfoP)
{
    if (aPageNum == -1 || !texMan.infoP || !aTexInfoP)
        return -1;
    for (long i = 0; i < texMan.texMax; ++i) {
        const _texInfo &info = texMan.infoP[i];
        if ((info.status & TEX_INFO_USE) && info.pageNum == aPageNum && _sameRect(info.rect, aTexInfoP->rect))
            return i;
    }
    long slot = -1;
    if (texMan.texCnt >= 0 && texMan.texCnt < texMan.texMax && !(texMan.infoP[texMan.texCnt].status & TEX_INFO_USE)) {
        slot = texMan.texCnt;
    } else {
        for (long i = 0; i < texMan.texMax && slot < 0; ++i) {
            if (!(texMan.infoP[i].status & TEX_INFO_USE))
                slot = i;
        }
    }
    if (slot < 0)
        return -1;
    _texInfo &info = texMan.infoP[slot];
    info = *aTexInfoP;
    info.status |= TEX_INFO_USE;
    info.pageNum = (int16_t)aPageNum;
    texMan.texCnt++;
    return slot;
}

void sTexInfoFree(long aTexNum)
{
    if (aTexNum < 0 || aTexNum >= texMan.texMax || !(texMan.infoP[aTexNum].status & TEX_INFO_USE))
        return;
    texMan.infoP[aTexNum].status &= ~TEX_INFO_USE;
    texMan.texCnt--;
}

void sTexInfoFreeAll(void)
{
    for (long i = 0; i < texMan.texMax; ++i)
        sTexInfoFree(i);
}

_texInfo *sTexGetInfoPtr(long aTexNum)
{
    if (aTexNum < 0 || aTexNum >= texMan.texMax || !(texMan.infoP[aTexNum].status & TEX_INFO_USE))
        return nullptr;
    return &texMan.infoP[aTexNum];
}
