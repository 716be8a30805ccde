#ifndef KESTREL_TOOLS_CONTENT_CONTENTCHECK_H
#define KESTREL_TOOLS_CONTENT_CONTENTCHECK_H

// The content checker: reads Data back with the program's own readers and checks what the
// program relies on. Each finding is one line; no findings means the content is sound.

#include <cstdint>
#include <string>
#include <vector>

#include "Common/SceneDef.h"

typedef std::vector<std::string> ccFindings;

// What one scene must hold.
struct ccSceneRules {
    const char *number;       // "23"
    const char *imagePackage;  // "03.ksf", or "" for loose textures only
    int minFrames;
    int polygons;              // _benchInfo's figure, 0 when not compared
    bool space;                // black back colour (stars and galaxy show behind)
    std::vector<std::string> names;  // exact names that must be present
    bool lightning;            // at least one thandNNa / thandNNb pair
    bool swordTrails;          // at least one s_imgN / e_imgN pair
    bool userShip;             // exactly one shape whose lower-cased name holds "_change2_"
    bool rootShape0;           // shape 0 has no parent
};

const std::vector<ccSceneRules> &ccBenchmarkScenes();
// The demo's scenes, FullSpec then Light.
const std::vector<ccSceneRules> &ccDemoScenes();

// Checks a relocated scene (aDataP as entryKsxMem returned it, aSize bytes of package data).
// The file names of the texture sets of its shapes go to aTexturesP when given.
void ccCheckScene(const uint8_t *aDataP, long aSize, const ccSceneRules &aRules, ccFindings *aOutP,
                  std::vector<std::string> *aTexturesP = nullptr);

// The names of the shapes of a relocated scene that break the locator naming rules: a name that
// holds "s_img", "e_img" or "_change2_", or starts with "thand", without being one of those
// locators on purpose.
void ccCheckNames(const _sceneDef *aSceneP, bool aUserShip, ccFindings *aOutP);

// A decoded picture of an image package entry (via the program's package reader).
struct ccPicture {
    uint32_t width = 0, height = 0, depth = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
};
bool ccLoadPicture(const std::vector<uint8_t> &aPackage, const std::string &aName, ccPicture *aOutP);

// The video stream of an AVI clip as its headers give it; false when the file is no AVI, a chunk
// runs past its end, or the header, format or index (an entry a frame) is missing.
struct ccClip {
    uint32_t width = 0, height = 0, depth = 0, compression = 0, frames = 0, rate = 0;
};
bool ccReadAvi(const std::vector<uint8_t> &aFile, ccClip *aOutP);

// Checks every file of the Data folder this content provides. With aOnly given, the scenes are
// limited to those numbers (the pictures and sounds are always checked).
void ccCheckData(const std::string &aDataDir, ccFindings *aOutP, const std::vector<std::string> *aOnly = nullptr);

#endif
