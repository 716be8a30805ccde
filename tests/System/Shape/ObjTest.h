#ifndef KESTREL_TESTS_SYSTEM_SHAPE_OBJTEST_H
#define KESTREL_TESTS_SYSTEM_SHAPE_OBJTEST_H

// What the object-model tests under Wine share: a render window with the real device, a camera,
// pixels read back, quad shapes built from definition records, image files, and a device that
// records (and times) the calls made on it while passing them on.

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <cstdint>
#include <string>
#include <vector>

#include "App/Scene/SceneCore.h"

namespace ot {

// Window, draw manager (HAL device, windowed), texture manager and a camera at (0, 0, -10)
// looking at the origin. 0 or -1.
long Open(long aWidth = 640, long aHeight = 480);
void Close();
// Clears target and Z to aRgb.
void Clear(uint32_t aRgb);
bool Begin();
void End();
// A back-buffer pixel as 0xRRGGBB.
uint32_t Pixel(long aX, long aY);
// Channel distance of two colours (largest of the three).
int Distance(uint32_t aA, uint32_t aB);
// aA blended over aB with weight aW.
uint32_t Blend(uint32_t aA, uint32_t aB, float aW);
// Where a world point lands on the screen with the current camera.
POINT Screen(float aX, float aY, float aZ);

// A 16 x 16 24-bit bitmap of one colour in the temporary folder; its full path.
std::string Bitmap(const char *aNameP, uint32_t aRgb);
// A texture set naming aFileP (used as given), modulating texture and diffuse.
_textureSet TexSet(const std::string &aFileP, uint32_t aUVIndex = 0);

// One quad shape: a square of side 2 x aSize about (aX, aY, aZ) in the XY plane, facing -Z (the
// camera), clockwise on screen; one ability coloured by its emissive colour.
struct Quad {
    _vertexDef vertex[4];
    uint16_t index[6];
    _primIndexDefSet indexSet;
    _primVertexDefSet vertexSet;
    std::vector<_textureSet> texSet;
    _abilityDef ability;
    _abilityDef *abilityTbl[1];
    _shapeDef def;

    Quad(uint32_t aRgb, float aSize = 1.0f, float aX = 0.0f, float aY = 0.0f, float aZ = 0.0f);
    Quad(const Quad &) = delete;
    void Alpha(float aA);   // authored diffuse alpha (status 0x1 when below 1)
    void Flip();            // counter-clockwise: facing away
    void Textures(const std::vector<_textureSet> &aSets);
};

// A device that passes every call on and keeps a log of the calls the tests look at.
struct Call {
    enum Kind { SetTexture, SetStage, SetState, Draw } kind;
    DWORD a, b, c;
};
class Recorder;
// Puts a recorder in front of drawMan's device; Stop takes it out. Timing: total seconds spent
// inside the real device since Start.
void Start();
std::vector<Call> Stop();
double DeviceSeconds();
// Device calls only, without recording them (the benchmark).
void StartTiming();
void StopTiming();

} // namespace ot

#endif
