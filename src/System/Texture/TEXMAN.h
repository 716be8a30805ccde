#ifndef KESTREL_SYSTEM_TEXTURE_TEXMAN_H
#define KESTREL_SYSTEM_TEXTURE_TEXMAN_H

// The texture manager: turns texture requests (an image file, an optional alpha image and
// preparation flags) into pages, one loaded surface shared by every equal request, and texture
// infos, rectangles of a page shared likewise. Objects keep only page and info numbers (-1 for
// none). Every page can be rebuilt from its recorded request after the surfaces were lost.

#include <windows.h>
#include <ddraw.h>

#include <cstdint>

#include "Common/SceneDef.h"
#include "Library/Draw/DrawLib.h"

enum : uint16_t {
    TEX_PAGE_USE = 0x1,
    TEX_PAGE_OUTSIDE = 0x2,  // the surface was handed in; never released here
    TEX_PAGE_BITMAP = 0x4,   // built from a bitmap handle, deleted with the page
};
enum : uint16_t { TEX_INFO_USE = 0x1 };
enum { TEX_PATH_SIZE = 260 };

struct _texPage {
    uint16_t status;
    _pageInfo pageInfo;
    IDirectDrawSurface7 *sufP;
    _aviInfo *aviInfoP;
    char fileName[TEX_PATH_SIZE];       // without the folder prefix
    char alphaFileName[TEX_PATH_SIZE];  // without the folder prefix
    uint32_t color;                     // key colour, a Windows colour value
    float opacity;
    uint16_t drawFlg;
    HBITMAP imageP;
    uint32_t width;
    uint32_t height;
    uint32_t depth;
};

struct _texMan {
    int16_t pageCnt;
    int16_t pageMax;
    int16_t texCnt;
    int16_t texMax;
    _texPage *pageP;
    _texInfo *infoP;
    char pathName[TEX_PATH_SIZE];  // folder prefix of file names; empty for none
};

extern _texMan texMan;

void sTexManInit(long aPageMax, long aTexMax);
void sTexManExit(void);
void sTexSetPath(const char *aPathP);

// A page for the request: an equal page already loaded, else a new one; -1 when the table is full
// or the image cannot be loaded.
long sTexPageEntry(const char *aFileNameP, const char *aAlphaFileNameP, uint16_t aDrawFlg, uint32_t aColor,
                   float aOpacity, const _pageInfo *aPageInfoP);
long sTexPageSufEntry(IDirectDrawSurface7 *aSufP, uint16_t aDrawFlg);
// A page from a bitmap handle, which the page then owns.
long sTexPageBmpEntry(HBITMAP aBitmapH, uint32_t aWidth, uint32_t aHeight, uint32_t aDepth, uint16_t aDrawFlg);
// The page playing the movie aNameP, or -1.
long sTexPageCheckEntry(const char *aNameP);
void sTexPageFree(long aPageNum);
void sTexPageFreeAll(void);
void sTexPageRestore(long aPageNum);
void sTexPageRestoreAll(void);
_texPage *sTexGetPagePtr(long aPageNum);
IDirectDrawSurface7 *sTexGetSurfacePtr(long aPageNum);
// Loads and prepares one image; its movie stream, if any, comes back in *aAviInfoPP.
IDirectDrawSurface7 *sTexLoadFile(const char *aFileNameP, const char *aAlphaFileNameP, uint16_t aDrawFlg,
                                  uint32_t aColor, float aOpacity, _aviInfo **aAviInfoPP);

long sTexInfoEntry(long aPageNum, const _texInfo *aTexInfoP);
void sTexInfoFree(long aTexNum);
void sTexInfoFreeAll(void);
_texInfo *sTexGetInfoPtr(long aTexNum);

#endif
