#include "ViewerCore.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

static bool _number(const std::string &aText, long *aValueP)
{
    if (aText.empty() || aText.size() > 9)
        return false;
    for (char c : aText)
        if (c < '0' || c > '9')
            return false;
    *aValueP = std::atol(aText.c_str());
    return true;
}

static bool _hasFolderOrExt(const std::string &aName)
{
    return aName.find_first_of("\\/.:") != std::string::npos;
}

std::string sViewScenePath(const std::string &aName)
{
    return _hasFolderOrExt(aName) ? aName : "Data\\Ksx\\" + aName + ".ksx";
}

std::string sViewImagePath(const std::string &aName)
{
    return _hasFolderOrExt(aName) ? aName : "Data\\Ksf\\" + aName + ".ksf";
}

std::string sViewBaseName(const std::string &aPath)
{
    const size_t slash = aPath.find_last_of("\\/");
    std::string base = slash == std::string::npos ? aPath : aPath.substr(slash + 1);
    const size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        base.erase(dot);
    return base;
}

static bool _size(const std::string &aText, long *aWidthP, long *aHeightP)
{
    const size_t x = aText.find_first_of("xX");
    long w, h;
    if (x == std::string::npos || !_number(aText.substr(0, x), &w) || !_number(aText.substr(x + 1), &h))
        return false;
    // The device needs a real picture; beyond the largest display mode nothing would open.
    if (w < 64 || h < 48 || w > 1600 || h > 1200)
        return false;
    *aWidthP = w;
    *aHeightP = h;
    return true;
}

long sViewParseArgs(const std::vector<std::string> &aArgs, _viewArgs *aArgsP, std::string *aErrorP)
{
    _viewArgs a;
    std::vector<std::string> plain;
    for (size_t i = 0; i < aArgs.size(); ++i) {
        const std::string &s = aArgs[i];
        const bool more = i + 1 < aArgs.size();
        auto value = [&](const char *aWhat) -> const std::string * {
            if (!more) {
                *aErrorP = s + " needs " + aWhat;
                return nullptr;
            }
            return &aArgs[++i];
        };
        if (s == "--bench" || s == "--demo") {
            const std::string *v = value("a row number");
            if (!v)
                return -1;
            if (!_number(*v, &a.row)) {
                *aErrorP = s + ": \"" + *v + "\" is not a row number";
                return -1;
            }
            a.table = s == "--bench" ? VIEW_TABLE_BENCH : VIEW_TABLE_DEMO;
        } else if (s == "--light") {
            a.light = true;
        } else if (s == "--frames") {
            const std::string *v = value("a list of frames");
            if (!v)
                return -1;
            a.frames = *v;
        } else if (s == "--out") {
            const std::string *v = value("a folder");
            if (!v)
                return -1;
            a.outDir = *v;
        } else if (s == "--size") {
            const std::string *v = value("WIDTHxHEIGHT");
            if (!v)
                return -1;
            if (!_size(*v, &a.width, &a.height)) {
                *aErrorP = "--size: \"" + *v + "\" is not a size from 64x48 to 1600x1200";
                return -1;
            }
        } else if (s == "--format") {
            const std::string *v = value("png or bmp");
            if (!v)
                return -1;
            if (*v != "png" && *v != "bmp") {
                *aErrorP = "--format: \"" + *v + "\" is neither png nor bmp";
                return -1;
            }
            a.bmp = *v == "bmp";
        } else if (s.size() > 1 && s[0] == '-' && s[1] == '-') {
            *aErrorP = "unknown option " + s;
            return -1;
        } else {
            plain.push_back(s);
        }
    }
    if (plain.empty() || plain.size() > 2) {
        *aErrorP = plain.empty() ? "no scene package named" : "more than a scene and an image package named";
        return -1;
    }
    a.scenePath = sViewScenePath(plain[0]);
    if (plain.size() == 2) {
        a.imageGiven = true;
        if (plain[1] != "-")
            a.imagePath = sViewImagePath(plain[1]);
    }
    if (a.frames.empty() != a.outDir.empty()) {
        *aErrorP = "--frames and --out go together";
        return -1;
    }
    *aArgsP = a;
    return 0;
}

long sViewFrameList(const std::string &aList, long aFrameCnt, std::vector<long> *aFramesP, std::string *aErrorP)
{
    std::vector<long> out;
    size_t at = 0;
    while (at <= aList.size()) {
        size_t comma = aList.find(',', at);
        if (comma == std::string::npos)
            comma = aList.size();
        const std::string item = aList.substr(at, comma - at);
        long f = -1;
        if (item == "start")
            f = 0;
        else if (item == "mid")
            f = aFrameCnt / 2;
        else if (item == "end")
            f = aFrameCnt - 1;
        else if (!_number(item, &f)) {
            *aErrorP = "\"" + item + "\" is not a frame number";
            return -1;
        }
        if (f < 0 || f >= aFrameCnt) {
            *aErrorP = "frame " + item + " is not in the scene's " + std::to_string(aFrameCnt) + " frames";
            return -1;
        }
        out.push_back(f);
        at = comma + 1;
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    *aFramesP = out;
    return 0;
}

std::string sViewFrameFile(const std::string &aDir, const std::string &aScene, long aFrame, bool aBmp)
{
    char name[64];
    std::snprintf(name, sizeof name, "%s_%04ld.%s", aScene.substr(0, 32).c_str(), aFrame, aBmp ? "bmp" : "png");
    if (aDir.empty())
        return name;
    const char last = aDir.back();
    return aDir + (last == '\\' || last == '/' ? "" : "\\") + name;
}

// The channel under aMask, scaled to 0..255.
static uint32_t _channel(uint32_t aValue, uint32_t aMask)
{
    if (!aMask)
        return 0;
    int shift = 0;
    while (!((aMask >> shift) & 1))
        ++shift;
    const uint64_t max = aMask >> shift;
    const uint64_t v = (aValue & aMask) >> shift;
    return (uint32_t)((v * 255u + max / 2) / max);
}

uint32_t sViewPixelRgb(uint32_t aValue, uint32_t aRMask, uint32_t aGMask, uint32_t aBMask)
{
    return _channel(aValue, aRMask) << 16 | _channel(aValue, aGMask) << 8 | _channel(aValue, aBMask);
}
