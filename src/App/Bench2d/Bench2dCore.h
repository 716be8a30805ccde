#ifndef KESTREL_APP_BENCH2D_BENCH2DCORE_H
#define KESTREL_APP_BENCH2D_BENCH2DCORE_H

// The 2D test's pixel work: ball kernels, the metaball field (plain and MMX), the displacement
// copy that reads and clears the field, the balls' flight and the timing report.

#include <cstdint>

#include "Library/Maths/MathsLib.h"

enum {
    BENCH2D_BALL_CNT = 128,
    BENCH2D_BALL_KIND = 4,
    BENCH2D_COPY_WIDTH = 640,   // the area the copy covers at most
    BENCH2D_COPY_HEIGHT = 480,
};

enum : uint32_t {
    BENCH2D_STAT_READY = 0x1,
    BENCH2D_OPT_MMX = 0x1,  // processor option word
    BENCH2D_OPT_SSE2 = 0x4,
};

struct _b2dRect {
    int32_t left, top, right, bottom;
};

struct _ballRec {
    int16_t posX, posY;  // top-left corner
    int16_t movX, movY;  // pixels per frame
    int32_t num;         // size index 0..3
};

struct _ballInfo {
    long diameter;
    _b2dRect rect;
};
extern const _ballInfo ballInfo[BENCH2D_BALL_KIND];

// Kernel of a ball: aDiameter² bytes, (1 - q²)²·255 with q the distance from the centre over the
// radius, 0 from the rim outward.
void sBench2dMakeKernel(uint8_t *aDataP, long aDiameter);

// Adds the kernel's rectangle aRectP (row length aDiameter) into the field at aMetaP (row length
// aMetaPitch) with saturation at 255.
typedef void (*_metaProc)(const _b2dRect *aRectP, uint8_t *aMetaP, long aMetaPitch, const uint8_t *aBallP,
                          long aDiameter);
void _conputMetaNormal(const _b2dRect *aRectP, uint8_t *aMetaP, long aMetaPitch, const uint8_t *aBallP,
                       long aDiameter);
// Eight bytes and four rows at a time: the rectangle's width must be a multiple of 8 and its
// height of 4 (every ball size is); other rectangles go the plain way.
void _conputMetaMMX(const _b2dRect *aRectP, uint8_t *aMetaP, long aMetaPitch, const uint8_t *aBallP,
                    long aDiameter);

_metaProc sBench2dSelectMeta(uint32_t aCpuOption);

// Starting place and flight of every ball, from rand(), for a screen of aWidth × aHeight.
void sBench2dInitBalls(_ballRec *aBallP, long aWidth, long aHeight);
// One frame of one ball: move, and at an edge reverse and lie flush with it.
void sBench2dMoveBall(_ballRec *aBallP, long aDiameter, long aWidth, long aHeight);
// Adds one ball to the field of aWidth × aHeight, clipped to it.
void sBench2dAddBall(_metaProc aProc, const _ballRec *aBallP, const uint8_t *aKernelP, uint8_t *aMetaP, long aWidth,
                     long aHeight);

// A locked surface as the copy sees it.
struct _b2dPixels {
    uint8_t *bitsP;
    long pitch;   // bytes per row
    long width;
    long height;
    long bytesPerPixel;
};

// The displacement copy: each back-buffer pixel (x, y) takes the background pixel displaced by
// the field byte >> 5 right and down, repeating the last column and row; every field byte read is
// cleared, and the field outside the copied area is cleared too. The area is the field, the
// background, the back buffer and 640 × 480, whichever is smallest. Nothing is copied (the field
// is still cleared) and -1 returned when the two surfaces' pixel sizes differ; else 0.
typedef long (*_bltProc)(uint8_t *aMetaP, long aMetaWidth, long aMetaHeight, const _b2dPixels *aSurfP,
                         const _b2dPixels *aBackP);
long _bltBackNormal(uint8_t *aMetaP, long aMetaWidth, long aMetaHeight, const _b2dPixels *aSurfP,
                    const _b2dPixels *aBackP);
// The same result sixteen pixels at a time with SSE2 (three-byte pixels go the plain way).
long _bltBackSSE2(uint8_t *aMetaP, long aMetaWidth, long aMetaHeight, const _b2dPixels *aSurfP,
                  const _b2dPixels *aBackP);

_bltProc sBench2dSelectBlt(uint32_t aCpuOption);

// Minimum, maximum, rate (10^7 over the mean ticks, times aFactor) and count; all 0 without a
// measurement.
void sBench2dTimeReport(const _mathsTime *aTimeP, double aFactor, int64_t *aMinP, int64_t *aMaxP, int64_t *aAvrP,
                        int64_t *aCntP);

const double BENCH2D_RUN_FACTOR = 0.20000000298023224;
const double BENCH2D_DRAW_FACTOR = 7.0;

#endif
