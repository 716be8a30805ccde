#ifndef KESTREL_LIBRARY_MATHS_MATHSLIB_H
#define KESTREL_LIBRARY_MATHS_MATHSLIB_H

// Scalar maths (square root, arc tangent) and the processor-variant selection that the vector
// and matrix libraries share. Callers always go through the dispatch pointers.

#include <cstdint>

#include "Common/D3DTYPES.h"

// Bits of the processor option word (caps.cpuOption) that choose the maths variants. MMX (0x1),
// SSE2 (0x4) and Enhanced 3DNow! (0x10) do not affect this library.
enum {
    MATHS_OPT_SSE = 0x2,
    MATHS_OPT_3DNOW = 0x8,
};

// The column of the variant tables that an option word selects: 3DNow! wins over SSE.
enum _mathsVariant {
    MathsVariantNormal = 0,
    MathsVariantSSE = 1,
    MathsVariant3DNow = 2,
};

_mathsVariant sMathsGetVariant(DWORD aCpuOption);

// MMX registers alias the x87 stack: every 3DNow! block declares the whole stack clobbered (so
// the compiler keeps no float there across it) and ends with femms.
#define MATHS_X87_CLOBBERS "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)"

// SSE code is compiled per function: the core's baseline processor has no SSE.
#define MATHS_TARGET_SSE __attribute__((target("sse")))

extern float (*gMathsSqrtPtr)(float aX);
extern float (*gMathsAtanPtr)(float aX);

// Sets gMathsSqrtPtr and gMathsAtanPtr from the option word (sysWork.caps.cpuOption).
void sMathsSetFuncPtr(DWORD aCpuOption);

float sMathsSqrtNormal(float aX);
float sMathsSqrt3DNow(float aX);
float sMathsAtanNormal(float aX);
float sMathsAtan3DNow(float aX);

// Timing statistics of a measured step (ticks): minimum, maximum, sum, start stamp, count.
struct _mathsTime {
    int64_t timeMin, timeMax, timeAvr, timeOld, timeCnt;
};
// The minimum starts at its largest, the rest at 0.
void sMathsTimeInit(_mathsTime *aTimeP);
// A new minimum, else perhaps a new maximum; the sum and the count grow.
void sMathsTimeAdd(_mathsTime *aTimeP, int64_t aTicks);

#endif
