#ifndef KESTREL_TOOLS_LWO_KBLWO_H
#define KESTREL_TOOLS_LWO_KBLWO_H

// LightWave objects written by the content builder: a small model record and writers for both
// file generations, deterministic to the byte.

#include <cstdint>
#include <string>
#include <vector>

struct KbLwoSurface {
    std::string name;
    float color[3] = {0.8f, 0.8f, 0.8f};
    float diff = 1.0f, lumi = 0.0f, spec = 0.0f, glos = 0.4f, tran = 0.0f;
    float smoothAngle = 0.0f;  // radians; 0 = flat
    bool doubleSided = false;
    std::string image;         // colour texture, empty for none
    int proj = 0;              // 0 planar, 5 UV (LWO2 only; LWOB files get planar)
    int axis = 2;
    float size[3] = {1, 1, 1}, center[3] = {0, 0, 0};
};

struct KbLwoModel {
    std::vector<float> points;                 // x, y, z
    std::vector<std::vector<uint32_t>> polys;  // clockwise seen from the front
    std::vector<uint32_t> polySurf;
    std::vector<KbLwoSurface> surfaces;
    std::string uvName;                        // a TXUV map over all points when not empty
    std::vector<float> uv;                     // u, v per point
    int layers = 1;                            // extra layers repeat the first one's points

    uint32_t addPoint(float x, float y, float z);
    // Adds a polygon turned so that its normal points along (dx, dy, dz).
    void addFace(std::vector<uint32_t> aPnts, uint32_t aSurf, float dx, float dy, float dz);
};

std::vector<uint8_t> kbLwoWriteLwo2(const KbLwoModel &aModel);
std::vector<uint8_t> kbLwoWriteLwob(const KbLwoModel &aModel);
bool kbLwoSave(const std::string &aPath, const std::vector<uint8_t> &aBytes);

// The builder's fighter: hull, wings with notched trailing edges, fins, canopy, engines and
// their glowing nozzles (about a thousand polygons).
KbLwoModel kbLwoFighter(void);
// A large closed object for measurements: a wavy sphere of about aPolys quads and concave caps.
KbLwoModel kbLwoLarge(int aPolys);

#endif
