#ifndef KESTREL_TESTS_COMMON_DEVICEFIXTURE_H
#define KESTREL_TESTS_COMMON_DEVICEFIXTURE_H

// What the Wine tests share: a render window with the real Direct3D device and the draw manager
// on it, pixels read back by locking surfaces, the object-model scene (texture manager, camera,
// quad shapes), image files written by the content builder's writers, and a device that records
// (and times) the calls made on it while passing them on.
//
// A new test of something drawn on the device:
//     class MyDraw : public fx::DeviceTest {};
//     TEST_F(MyDraw, ...) { fx::Clear(0); ... EXPECT_EQ(fx::Pixel(320, 240), 0xFF0000u); }

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "App/Scene/SceneCore.h"
#include "KbAvi.h"
#include "KbImage.h"
#include "KbKsf.h"

namespace fx {

// ---------------------------------------------------------------- window and device

// Opens the render window of that client size (a pop-up for full screen) and the draw manager
// on the HAL device; 0 or -1 as sDrawManInit.
long Open(long aWidth, long aHeight, long aDepth, bool aFull, bool aTriple);
// A windowed device with the texture manager and a camera at (0, 0, -10) looking at the origin,
// lighting on with no ambient light; waits while another program holds the display. 0 or -1.
long OpenScene(long aWidth = 640, long aHeight = 480);
// Closes what Open or OpenScene opened, and the window.
void Close();
HWND Window();
// The hardware device's GUID.
GUID *HalGuid();
// Whether the display offers the mode (RGB formats only).
bool ModeOffered(long aWidth, long aHeight, long aDepth);
// Lets pending window messages through.
void Pump();

// One windowed 640 x 480 scene device for a whole test suite.
class DeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(OpenScene(), 0); }
    static void TearDownTestSuite() { Close(); }
};

// ---------------------------------------------------------------- pixels

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
// A back-buffer pixel as 0xRRGGBB.
uint32_t Pixel(long aX, long aY);
// Channel distance of two colours (largest of the three).
int Distance(uint32_t aA, uint32_t aB);
// aA blended over aB with weight aW.
uint32_t Blend(uint32_t aA, uint32_t aB, float aW);

// ---------------------------------------------------------------- scene

// Clears target and Z to aRgb.
void Clear(uint32_t aRgb);
bool Begin();
void End();
// Where a world point lands on the screen with the current camera.
POINT Screen(float aX, float aY, float aZ);
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
    void Alpha(float aA);  // authored diffuse alpha (status 0x1 when below 1)
    void Flip();           // counter-clockwise: facing away
    void Textures(const std::vector<_textureSet> &aSets);
};

// ---------------------------------------------------------------- image files

// A file path in the temporary folder.
std::string TempPath(const std::string &aName);
// Writes the bytes to the temporary folder under aName; the full path.
std::string Write(const std::string &aName, const std::vector<uint8_t> &aData);
// Pictures of one colour (0xRRGGBBAA) or of two halves (left, right).
kbImage Flat(uint32_t aWidth, uint32_t aHeight, uint32_t aRgba);
kbImage Halves(uint32_t aWidth, uint32_t aHeight, uint32_t aLeft, uint32_t aRight);
std::string Bmp(const std::string &aName, const kbImage &aImage, int aDepth = 24);
std::string Tga(const std::string &aName, const kbImage &aImage, int aDepth = 32, int aType = 2);
std::string Ksm(const std::string &aName, const kbImage &aImage, int aDepth, int aCompress);
std::string Avi(const std::string &aName, const kbAviClip &aClip, int aDepth);
std::vector<uint8_t> BmpBytes(const kbImage &aImage, int aDepth = 24);
// A 16 x 16 24-bit bitmap of one colour (0xRRGGBB) in the temporary folder; its full path.
std::string Bitmap(const char *aNameP, uint32_t aRgb);
// Makes the folder aName in the temporary folder (if need be) the working folder; the previous
// one goes to aOldDirP (MAX_PATH). False when it cannot be entered.
bool EnterTempFolder(const std::string &aName, char *aOldDirP);
// A package (path relative to the working folder) holding aImage as the 24-bit bitmap aName;
// empty, or what went wrong.
std::string PicturePackage(const std::string &aPath, const std::string &aName, const kbImage &aImage);

// ---------------------------------------------------------------- recording device

// A device call the tests look at.
struct Call {
    enum Kind { SetTexture, SetStage, SetState, Draw } kind;
    DWORD a, b, c;
};
// Puts a recorder in front of drawMan's device; Stop takes it out and gives the calls.
void Start();
std::vector<Call> Stop();
// While recording, calls of that kind get aResult instead of reaching the device (still recorded);
// S_OK passes them on again. Stop ends the refusal.
void Refuse(Call::Kind aKind, HRESULT aResult);
// Device calls only timed, not recorded (the benchmarks).
void StartTiming();
void StopTiming();
// Seconds spent inside the real device since Start or StartTiming.
double DeviceSeconds();

} // namespace fx

#endif
