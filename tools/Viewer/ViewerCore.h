#ifndef KESTREL_TOOLS_VIEWER_VIEWERCORE_H
#define KESTREL_TOOLS_VIEWER_VIEWERCORE_H

// The scene viewer's portable part: its command line, the frames it is asked to capture, the
// names of the files it writes and the back buffer's pixels turned into 8-bit RGB.

#include <cstdint>
#include <string>
#include <vector>

enum { VIEW_TABLE_NONE = 0, VIEW_TABLE_BENCH = 1, VIEW_TABLE_DEMO = 2 };

struct _viewArgs {
    std::string scenePath;  // scene package
    std::string imagePath;  // image package; empty: the row's (or none)
    bool imageGiven = false;  // an image package or "-" was named
    int table = VIEW_TABLE_NONE;
    long row = -1;
    bool light = false;        // the Light edition's tables
    std::string frames;        // capture list as written ("0,120,end"); empty: interactive
    std::string outDir;        // folder of the captured files
    long width = 640, height = 480;
    bool bmp = false;          // BMP files instead of PNG
};

// Reads the command line (without the program name). 0, or -1 with the reason in aErrorP.
long sViewParseArgs(const std::vector<std::string> &aArgs, _viewArgs *aArgsP, std::string *aErrorP);

// "23" -> "Data\Ksx\23.ksx", "l05" -> "Data\Ksx\l05.ksx"; a name with a folder or an extension
// is taken as written.
std::string sViewScenePath(const std::string &aName);
std::string sViewImagePath(const std::string &aName);
// The package's name without folder and extension ("Data\Ksx\23.ksx" -> "23").
std::string sViewBaseName(const std::string &aPath);

// The frames of a capture list ("0,120,mid,end"; start, mid and end name the first, middle and
// last frame) for a scene of aFrameCnt frames, sorted, each once. -1 with the reason when an
// entry is not a frame of the scene.
long sViewFrameList(const std::string &aList, long aFrameCnt, std::vector<long> *aFramesP, std::string *aErrorP);

// The file of one captured frame: "<dir>\<scene>_<frame, four digits>.png" (or .bmp).
std::string sViewFrameFile(const std::string &aDir, const std::string &aScene, long aFrame, bool aBmp);

// One pixel of a back buffer of the given masks as 0xRRGGBB, each channel widened to 8 bits.
uint32_t sViewPixelRgb(uint32_t aValue, uint32_t aRMask, uint32_t aGMask, uint32_t aBMask);

#endif
