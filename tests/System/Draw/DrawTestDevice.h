#ifndef KESTREL_TESTS_SYSTEM_DRAW_DRAWTESTDEVICE_H
#define KESTREL_TESTS_SYSTEM_DRAW_DRAWTESTDEVICE_H

// A render window and a real Direct3D device for the rendering tests, and pixels read back by
// locking surfaces.

#include <windows.h>
#include <ddraw.h>

#include <cstdint>
#include <vector>

namespace dt {

// Opens the render window of that client size (a pop-up for full screen) and the draw manager
// on the HAL device; 0 or -1 as sDrawManInit.
long Open(long aWidth, long aHeight, long aDepth, bool aFull, bool aTriple);
// Closes the draw manager and the window.
void Close();
HWND Window();
// The hardware device's GUID.
GUID *HalGuid();

// A pixel of a surface as 0xRRGGBB (channels widened to 8 bits), or 0xFFFFFFFF when the surface
// cannot be locked.
uint32_t ReadRgb(IDirectDrawSurface7 *aSufP, long aX, long aY);
// Every pixel of a surface as 0xRRGGBB, row by row (empty when it cannot be locked).
std::vector<uint32_t> Snapshot(IDirectDrawSurface7 *aSufP, uint32_t *aPitchP);
// The raw pixel value and its alpha bits at full width (0xFF when the format has no alpha).
uint32_t ReadRaw(IDirectDrawSurface7 *aSufP, long aX, long aY, uint32_t *aAlphaP = nullptr);
// Width and height of a surface.
void SurfaceSize(IDirectDrawSurface7 *aSufP, uint32_t *aWidthP, uint32_t *aHeightP);
// Bit count of a surface's pixels.
uint32_t SurfaceBits(IDirectDrawSurface7 *aSufP);
// Whether the display offers the mode (RGB formats only).
bool ModeOffered(long aWidth, long aHeight, long aDepth);
// Lets pending window messages through.
void Pump();
// A test file path in the temporary folder.
const char *TempPath(const char *aNameP);

} // namespace dt

#endif
