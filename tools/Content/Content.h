#ifndef KESTREL_TOOLS_CONTENT_CONTENT_H
#define KESTREL_TOOLS_CONTENT_CONTENT_H

// The content builder's shared parts: where files go, texture packs that count what they hold,
// and the models several scenes use.

#include <map>
#include <string>

#include "KbAnim.h"
#include "KbKsf.h"
#include "KbPicture.h"
#include "KbTexture.h"

// Every file written, for the log and the checks.
struct ctOutput {
    std::string dataDir;  // the Data folder
    std::vector<std::pair<std::string, size_t>> written;
    std::string error;
    bool Write(const std::string &aRelPath, const kbBytes &aBytes);  // relative to the Data folder's parent
};

// The textures of one scene: entries for its image package and the texel bytes its pages use
// (16 bits a texel, as the scenes ask for).
struct ctTextures {
    std::vector<kbKsfEntry> entries;
    std::map<std::string, kbImage> images;  // the same pictures, for previews
    double bytes = 0;
    // Adds a 24-bit bitmap under aName ("name.bmp") and returns the name a texture set uses.
    std::string Add(const std::string &aName, const kbImage &aImage, int aDepth = 24);
    // Adds a 32-bit run-length Targa (its alpha kept) under aName ("name.tga").
    std::string AddTarga(const std::string &aName, const kbImage &aImage);
    double Megabytes() const { return bytes / (1024.0 * 1024.0); }
};

// A scene and what the checks and the log report of it.
struct ctScene {
    std::string number;   // "23", "l20": the package is Data/Ksx/<number>.ksx
    std::string package;  // the image package its textures go into ("02.ksf"), "" for none
    kbScene scene;
    ctTextures textures;
    std::vector<std::pair<std::string, kbBytes>> loose;  // files beside the packages (clips), by Data path
};

// Image packages by file name. Scenes that share a package add their pictures to it; a picture
// two scenes both use goes in once, and two different pictures of one name are an error.
typedef std::map<std::string, std::vector<kbKsfEntry>> ctPackages;
bool ctAddToPackage(ctPackages *aPackagesP, const ctScene &aScene, std::string *aErrorP);

// An empty scene of the FullSpec or the Light edition: its number and image package by edition.
ctScene ctSceneOf(bool aLight, const char *aFull, const char *aLightNumber, const char *aFullPackage, const char *aLightPackage);

bool ctWriteScene(ctOutput *aOutP, const ctScene &aScene);
bool ctWritePackage(ctOutput *aOutP, const std::string &aName, const std::vector<kbKsfEntry> &aEntries);
// Adds a picture to a package's entries as an aDepth-bit bitmap; false when it cannot be written.
bool ctAddBitmap(std::vector<kbKsfEntry> *aEntriesP, const std::string &aName, const kbImage &aImage, int aDepth);

// Models. Each body is made at the given size; aTex names the texture of its main surface.
struct ctFighterLook {
    std::string prefix;  // shape names start with it, so each fighter keeps its own bodies
    uint32_t robe, trim, skin;
    std::string robeTex;
    int detail;  // slices of the round parts
};
// Parts of a fighter rig (hips root; torso, head, arms, legs). Height about aHeight.
enum { CT_HIPS, CT_TORSO, CT_HEAD, CT_UARM_R, CT_FARM_R, CT_UARM_L, CT_FARM_L, CT_THIGH_R, CT_SHIN_R, CT_THIGH_L,
       CT_SHIN_L, CT_PARTS };
kbRig ctFighterRig(const ctFighterLook &aLook, float aHeight);
// The guard the duellists of the courtyard and the ruins hold from frame 0.
void ctOnGuard(kbRig *aRigP);
// Sword-arm moves around frame aAt (the moment of the cut or the block). A strike leaves the guard
// 16 frames before its cut; a cut alone is wound up aWind frames before aAt and back on guard
// aRecover frames after; a block is raised over aRaise frames and held aHold frames.
void ctStrike(kbRig *aRigP, int aAt, bool aHigh);
void ctCut(kbRig *aRigP, int aAt, bool aHigh, int aWind, int aRecover);
void ctParry(kbRig *aRigP, int aAt, int aRaise = 8, int aHold = 10);
// Stepping legs that rest between aQuietFrom and aQuietTo.
void ctFootwork(kbRig *aRigP, int aQuietFrom, int aQuietTo);
// Both legs bend alike: at each frame the thighs and the shins take the given angles about X.
struct ctKnee {
    int at;
    float thigh, shin;
};
void ctBendKnees(kbRig *aRigP, const std::vector<ctKnee> &aKeys);
// The hand of a forearm in its own space.
kbVec3 ctHand(float aHeight);

// A sword along +Z from its grip: blade length aLength.
std::shared_ptr<kbShapeBody> ctSwordBody(float aLength, const std::string &aMetalTex);
// A fighter ship with its nose to +Z, about aLength long.
std::shared_ptr<kbShapeBody> ctShipBody(float aLength, int aDetail, uint32_t aColor, const std::string &aHullTex,
                                        const std::string &aGlowTex);
// A long capital ship with turrets, nose to +Z.
std::shared_ptr<kbShapeBody> ctCruiserBody(float aLength, int aDetail, const std::string &aHullTex,
                                           const std::string &aLightsTex);
std::shared_ptr<kbShapeBody> ctAsteroidBody(float aRadius, int aDetail, uint32_t aSeed, const std::string &aTex);
// A stone lantern standing on y = 0.
std::shared_ptr<kbShapeBody> ctLanternBody(float aHeight, int aDetail, const std::string &aStoneTex);
// A tree of stacked cones standing on y = 0.
std::shared_ptr<kbShapeBody> ctTreeBody(float aHeight, int aDetail, const std::string &aBarkTex, const std::string &aLeafTex);

// A sky dome seen from inside, lit by its own glow; the picture's top row is the zenith. The dome
// rises aRise of its radius over a rim sunk aSink below the horizon, and the picture reaches its
// bottom row aFade of the radius up.
std::shared_ptr<kbShapeBody> ctSkyDome(float aRadius, int aSlices, const std::string &aTex, int aRings = 8,
                                       float aRise = 0.5f, float aSink = 0.05f, float aFade = 0.45f);

// A square pool let into a deck: the floor at y = 0, tiled walls up to the deck, four bands of deck
// round the opening and a lip along its edge. The garden pools all build it; each keeps its own
// measures and tiling.
struct ctPoolLook {
    float in, rim, cx, cz;  // half the opening's side, the deck's height, the opening's centre
    int floorDiv;
    float floorRepeat;
    int wallDivX, wallDivY;
    float wallRepeat;                            // texture repeats a unit along the walls
    float out, deckDiv, deckTileU, deckTileV;    // half the deck's side; cells a unit; one picture's size
    float lipOver, lipHigh, lipDeep, lipOut;     // the lip's box past the opening; its centre beyond the opening
    int lipDiv;
};
struct ctPoolMeshes {
    kbMesh floor, walls, deck, lip;
};
ctPoolMeshes ctPoolBasin(const ctPoolLook &aLook);

// The lord's half mask: the front of a sphere, two-sided, and its pair of red horns at aAt
// (mirrored in x), scaled by aScale.
kbSurface ctMaskFace(float aRadius, int aSlices, int aStacks, const std::string &aTex);
kbSurface ctMaskHorns(int aSlices, kbVec3 aAt, float aScale = 1.0f);
// The throwing star, flat in its XY plane.
std::shared_ptr<kbShapeBody> ctShurikenBody(const std::string &aSteelTex);

// A lightning bolt: the program draws one between the locators "thand<aId>a" and "thand<aId>b"
// on the frames their dissolve is 0. Both ends take aShow.
void ctAddBolt(kbScene *aSceneP, const std::string &aId, int aParentA, const kbCurve &aAtA, int aParentB, const kbCurve &aAtB,
               const std::vector<float> &aShow);
// A bolt's dissolve over aFrameCnt frames: 0 in each burst [from, to), 1 elsewhere.
std::vector<float> ctBursts(int aFrameCnt, std::initializer_list<std::pair<int, int>> aFromTo);

// A craft flying a path: a locator (aPathName, or aName + "Path") follows the path nose first, and the body
// shape aName hangs under it, rolling into its turns. Returns the body shape's index.
int ctAddFlyer(kbScene *aSceneP, const std::string &aName, std::shared_ptr<kbShapeBody> aBody, const kbCurve &aPath,
               float aBank, const std::string &aPathName = std::string());

// The hangar's two movie screens (status, 24-bit; radar, 16-bit) under shape aParent, centred on
// aMouth and facing +Z; their clips go to the scene's loose files.
extern const char *const CT_CLIP_STATUS;
extern const char *const CT_CLIP_RADAR;
void ctAddBayScreens(ctScene *aSceneP, int aParent, kbVec3 aMouth);
// Amber beacon glows (a Targa with alpha, aTexSize square) of aSize at each of aAt, facing +Z.
std::string ctBeaconTex(ctTextures *aTxP, uint32_t aTexSize);
void ctAddBayBeacons(ctScene *aSceneP, int aParent, const std::vector<kbVec3> &aAt, float aSize, uint32_t aTexSize);

// Scenes.
ctScene ctGame1();     // 23
ctScene ctGame2(bool aLight = false);  // 05; l22 in the Light edition's detail
ctScene ctGame3(bool aLight = false);  // 10; with aLight its Light copy l07
ctScene ctSurface();   // 19
ctScene ctEmpty2d();   // 21
ctScene ctFighter(bool aUserShip);  // 24, 25
ctScene ctClosing(std::vector<std::pair<std::string, kbBytes>> *aLooseP);  // 27

// The demo, FullSpec and Light, by part of the story; each appends its scenes.
void ctDemoNightOpen(std::vector<ctScene> *aOutP);    // 01, 02; l01, l20
void ctDemoNightFight(std::vector<ctScene> *aOutP);   // 03, 04; l21, l02, l22
void ctDemoSpaceOpen(std::vector<ctScene> *aOutP);    // 06, 07, 08, 09, 11, 12; l03-l09
void ctDemoSpaceBattle(std::vector<ctScene> *aOutP);  // 13-18; l10, l11, l13, l14, l15
void ctDemoWaterEnd(std::vector<ctScene> *aOutP);     // 28, 20, 22, 26; l18, l19, l16

// Pictures.
bool ctWriteInterface(ctOutput *aOutP, const std::vector<const ctScene *> &aTests);
bool ctWriteEffects(ctOutput *aOutP);
bool ctWriteHelp(ctOutput *aOutP);

// A software rendering of one frame of the scene, for judging content without the engine: shapes
// on their key frames, the camera, lights, textures; no effects.
kbImage ctPreview(const ctScene &aScene, int aFrame, int aWidth, int aHeight);

// The 3D noise used to rough up rocks.
float ctNoise3(kbVec3 aP, uint32_t aSeed);

#endif
