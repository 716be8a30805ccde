#ifndef KESTREL_APP_AFTERIMAGE_AFTERIMAGECORE_H
#define KESTREL_APP_AFTERIMAGE_AFTERIMAGECORE_H

// After-images without the device: the s_img/e_img pairs, the ribbon's colours and indices, and
// the seven-position history of each pair.

#include <cstdint>

#include "App/Scene/SceneCore.h"
#include "Common/D3DTYPES.h"

enum { IMG_INFO_MAX = 8, IMG_TRAIL = 7, IMG_VERT_NUM = 14, IMG_INDEX_NUM = 36 };

struct _IMG_VERTEX {
    float x, y, z;
    uint32_t col;
};
enum { IMG_FVF = 0x42 };

struct _imgInfo {
    uint16_t startNum;
    uint16_t endNum;
    _IMG_VERTEX *imgVertP;  // 0..6 trail the start shape (0 newest), 7..13 the end shape
    long initFlg;
};

// Module state: the pairs survive the end of a scene until the next load.
extern uint32_t _imgInfoCnt;
extern _imgInfo *_imgInfoP;
extern uint16_t *_imgIndexP;
extern long _prevFrame;

// Finds up to eight pairs in a scene definition (AfterImageLoad).
void sAfterImageFindPairs(const _sceneDef *aSceneDefP, long aShapeCnt);
// Ribbon colour of trail slot aSlot (0..13) for option word aColour (0: the default cyan).
uint32_t sAfterImageColour(uint32_t aColour, long aSlot);
void sAfterImageIndices(uint16_t *aIndexP);
// Sets every slot's colour and places all fourteen positions at the shapes.
void sAfterImageInitVertex(_IMG_VERTEX *aVertP, uint32_t aColour, const D3DVECTOR *aStartP, const D3DVECTOR *aEndP);
// 1 when frame aFrame is new (and records it).
long sAfterImageNewFrame(long aFrame);
// One new frame of a pair: nothing while either shape is half dissolved or more before the trail
// has started; a starting trail is collapsed at the current positions.
void sAfterImageStep(_imgInfo *aInfoP, const D3DVECTOR *aStartP, const D3DVECTOR *aEndP, float aDissolveStart,
                     float aDissolveEnd);
// Frees every pair's vertices, the pairs and the indices.
void sAfterImageFree(void);

#endif
