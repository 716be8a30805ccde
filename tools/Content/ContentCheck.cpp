#include "ContentCheck.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

#include "App/App/AppCore.h"
#include "App/Bench/BenchCore.h"
#include "Library/Draw/DrawCore.h"

const std::vector<ccSceneRules> &ccBenchmarkScenes()
{
    static const std::vector<ccSceneRules> rules = {
        {"23", "03.ksf", 272, 24632, false, {"L_Sword", "R_sword"}, false, true, false, false},
        {"05", "02.ksf", 1002, 17782, false, {"Boss02", "HanMen", "Shuriken01"}, true, true, false, false},
        {"10", "04.ksf", 201, 8122, true, {}, true, false, false, false},
        {"19", "05.ksf", 1, 10788, false, {}, false, false, false, true},
        {"21", "06.ksf", 1, 0, false, {}, false, false, false, false},
        {"24", "07.ksf", 1, 55258, true, {}, false, false, false, false},
        {"25", "07.ksf", 1, 0, true, {}, false, false, true, false},
        {"27", "", 1, 0, false, {}, false, false, false, false},
    };
    return rules;
}

const std::vector<ccSceneRules> &ccDemoScenes()
{
    static const std::vector<std::string> shapeFx = {"Boss02", "HanMen", "Shuriken01"};
    static const std::vector<std::string> nightRun = {"HeroHips", "LordHall"};
    static const std::vector<ccSceneRules> rules = {
        {"01", "01.ksf", 450, 0, false, {}, false, false, false, false},
        {"02", "02.ksf", 822, 0, false, nightRun, false, false, false, false},
        {"03", "02.ksf", 820, 0, false, {}, false, true, false, true},
        {"04", "02.ksf", 1002, 0, false, shapeFx, false, true, false, true},
        {"06", "04.ksf", 1, 0, false, {}, false, false, false, false},
        {"07", "04.ksf", 80, 0, false, {}, false, false, false, false},
        {"08", "04.ksf", 1, 0, false, {}, false, false, false, false},
        {"09", "04.ksf", 1, 0, false, {}, true, false, false, false},
        {"11", "04.ksf", 92, 0, true, {}, false, false, false, false},
        {"12", "04.ksf", 1, 0, true, {}, false, false, false, false},
        {"13", "04.ksf", 118, 0, true, {}, false, false, false, false},
        {"14", "04.ksf", 1, 0, true, {}, false, false, false, false},
        {"15", "04.ksf", 1, 0, true, {}, false, false, false, false},
        {"16", "04.ksf", 171, 0, true, {}, false, false, false, false},
        {"17", "04.ksf", 551, 0, true, {}, true, false, false, false},
        {"18", "04.ksf", 506, 0, true, {}, false, false, false, false},
        {"28", "14.ksf", 1, 0, false, {}, false, false, false, false},
        {"20", "05.ksf", 1552, 0, false, {}, false, false, false, true},
        {"22", "03.ksf", 671, 0, false, {}, false, true, false, false},
        {"26", "08.ksf", 471, 0, false, shapeFx, false, false, false, false},
        {"l01", "l01.ksf", 450, 0, false, {}, false, false, false, false},
        {"l20", "l02.ksf", 822, 0, false, nightRun, false, false, false, false},
        {"l21", "l03.ksf", 820, 0, false, {}, false, true, false, true},
        {"l02", "l04.ksf", 1002, 0, false, shapeFx, false, true, false, true},
        {"l22", "l05.ksf", 1002, 0, false, shapeFx, true, true, false, false},
        {"l03", "l07.ksf", 1, 0, false, {}, false, false, false, false},
        {"l04", "l08.ksf", 80, 0, false, {}, false, false, false, false},
        {"l05", "l09.ksf", 1, 0, false, {}, false, false, false, false},
        {"l06", "l10.ksf", 1, 0, false, {}, true, false, false, false},
        {"l07", "l11.ksf", 201, 0, true, {}, true, false, false, false},
        {"l08", "l12.ksf", 92, 0, true, {}, false, false, false, false},
        {"l09", "l13.ksf", 1, 0, true, {}, false, false, false, false},
        {"l10", "l14.ksf", 118, 0, true, {}, false, false, false, false},
        {"l11", "l15.ksf", 1, 0, true, {}, false, false, false, false},
        {"l13", "l17.ksf", 171, 0, true, {}, false, false, false, false},
        {"l14", "l18.ksf", 551, 0, true, {}, true, false, false, false},
        {"l15", "l19.ksf", 506, 0, true, {}, false, false, false, false},
        {"l18", "l20.ksf", 1, 0, false, {}, false, false, false, false},
        {"l19", "05.ksf", 1552, 0, false, {}, false, false, false, true},
        {"l16", "l06.ksf", 671, 0, false, {}, false, true, false, false},
    };
    return rules;
}

static void _find(ccFindings *aOutP, const std::string &aWhere, const std::string &aWhat)
{
    aOutP->push_back(aWhere + ": " + aWhat);
}

namespace {
struct _bounds {
    const uint8_t *lo, *hi;
    bool In(const void *aP, size_t aBytes) const
    {
        const uint8_t *p = static_cast<const uint8_t *>(aP);
        return p >= lo && p <= hi && aBytes <= (size_t)(hi - p);
    }
};
}  // namespace

// Key runs of one object: inside the package, total the scene's length, indices inside their tables.
static void _checkMotion(const _sceneMotionDef &m, int aFrames, const _bounds &b, const std::string &aWho, ccFindings *aOutP)
{
    if (m.indexCnt == 0)
        return;
    if (!b.In(m.indexP, m.indexCnt * sizeof(_sceneIndexDef))) {
        _find(aOutP, aWho, "key runs outside the package");
        return;
    }
    const uint32_t cnt[3] = {m.transFrameCnt, m.angleFrameCnt, m.scaleFrameCnt};
    const void *tab[3] = {m.transFrameP, m.angleFrameP, m.scaleFrameP};
    for (int c = 0; c < 3; c++)
        if (cnt[c] && !b.In(tab[c], cnt[c] * sizeof(_sceneVectorDef)))
            _find(aOutP, aWho, "key table outside the package");
    long total = 0;
    int sum[3] = {0, 0, 0};
    bool bad = false;
    for (uint32_t r = 0; r < m.indexCnt; r++) {
        const _sceneIndexDef &run = m.indexP[r];
        const int step[3] = {run.trans, run.angle, run.scale};
        for (uint32_t k = 0; k < run.length && total < aFrames; k++, total++)
            for (int c = 0; c < 3; c++) {
                sum[c] += step[c];
                if (sum[c] < 0 || (cnt[c] ? (uint32_t)sum[c] >= cnt[c] : sum[c] != 0))
                    bad = true;
            }
        if (total >= aFrames && r + 1 < m.indexCnt)
            total += 0;
    }
    long runTotal = 0;
    for (uint32_t r = 0; r < m.indexCnt; r++)
        runTotal += m.indexP[r].length;
    if (runTotal != aFrames)
        _find(aOutP, aWho, "key runs total " + std::to_string(runTotal) + " frames, the scene has " + std::to_string(aFrames));
    if (bad)
        _find(aOutP, aWho, "a key index leaves its table");
}

static bool _digits(const char *p, int aMin, int aMax)
{
    int n = 0;
    while (std::isdigit((unsigned char)p[n]))
        n++;
    return n >= aMin && n <= aMax;
}

void ccCheckNames(const _sceneDef *aSceneP, bool aUserShip, ccFindings *aOutP)
{
    int change = 0;
    std::set<std::string> names;
    for (int i = 0; i < aSceneP->shapeCnt; i++)
        names.insert(aSceneP->shapeP[i].name);
    for (int i = 0; i < aSceneP->shapeCnt; i++) {
        const _sceneShapeDef &s = aSceneP->shapeP[i];
        std::string n = s.name, lower = n;
        for (char &c : lower)
            c = (char)std::tolower((unsigned char)c);
        if (lower.find("_change2_") != std::string::npos) {
            change++;
            if (!aUserShip)
                _find(aOutP, n, "holds \"_change2_\" in a scene without a user object");
        }
        bool helper = false;
        if (n.compare(0, 5, "thand") == 0) {
            size_t d = 5;
            while (d < n.size() && std::isdigit((unsigned char)n[d]))
                d++;
            bool ok = d > 5 && d <= 7 && d + 1 == n.size() && (n[d] == 'a' || n[d] == 'b');
            if (!ok)
                _find(aOutP, n, "starts with \"thand\" but is not a lightning locator thandNNa / thandNNb");
            else if (n[d] == 'a' && !names.count(n.substr(0, d) + "b"))
                _find(aOutP, n, "has no " + n.substr(0, d) + "b");
            helper = true;
        }
        for (const char *tag : {"s_img", "e_img"}) {
            size_t at = n.find(tag);
            if (at == std::string::npos)
                continue;
            if (at != 0 || !_digits(n.c_str() + 5, 1, 1) || n.size() != 6)
                _find(aOutP, n, std::string("holds \"") + tag + "\" by accident");
            else if (tag[0] == 's' && !names.count("e_img" + n.substr(5)))
                _find(aOutP, n, "has no e_img" + n.substr(5));
            helper = true;
        }
        if (helper && s.defP != nullptr)
            _find(aOutP, n, "a locator should have no body");
    }
    if (aUserShip && change != 1)
        _find(aOutP, "scene", std::to_string(change) + " shapes hold \"_change2_\", one is wanted");
}

static bool _isMovie(const std::string &aName)
{
    std::string lower = aName;
    for (char &c : lower)
        c = (char)std::tolower((unsigned char)c);
    return lower.find(".avi") != std::string::npos;
}

bool ccReadAvi(const std::vector<uint8_t> &aFile, ccClip *aOutP)
{
    const uint8_t *p = aFile.data();
    const size_t n = aFile.size();
    auto le32 = [p](size_t at) { return (uint32_t)(p[at] | p[at + 1] << 8 | p[at + 2] << 16 | (uint32_t)p[at + 3] << 24); };
    if (n < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "AVI ", 4) != 0)
        return false;
    *aOutP = ccClip();
    bool header = false, format = false, index = false;
    // Chunks nest in lists; every list's contents are walked in place.
    size_t at = 12;
    while (at + 8 <= n) {
        const uint32_t size = le32(at + 4);
        if (std::memcmp(p + at, "LIST", 4) == 0) {
            if (size < 4 || size > n - at - 8)
                return false;
            if (std::memcmp(p + at + 8, "movi", 4) == 0) {  // frames: skipped whole
                at += 8 + size + (size & 1);
                continue;
            }
            at += 12;
            continue;
        }
        if (size > n - at - 8)
            return false;
        const size_t body = at + 8;
        if (std::memcmp(p + at, "avih", 4) == 0 && size >= 40) {
            aOutP->frames = le32(body + 16);
            header = true;
        } else if (std::memcmp(p + at, "strh", 4) == 0 && size >= 28 && std::memcmp(p + body, "vids", 4) == 0) {
            const uint32_t scale = le32(body + 20), rate = le32(body + 24);
            aOutP->rate = scale ? rate / scale : 0;
        } else if (std::memcmp(p + at, "strf", 4) == 0 && size >= 40) {
            aOutP->width = le32(body + 4);
            aOutP->height = le32(body + 8);
            aOutP->depth = (uint32_t)(p[body + 14] | p[body + 15] << 8);
            aOutP->compression = le32(body + 16);
            format = true;
        } else if (std::memcmp(p + at, "idx1", 4) == 0) {
            index = size / 16 >= aOutP->frames;
        }
        at = body + size + (size & 1);
    }
    return header && format && index;
}

void ccCheckScene(const uint8_t *aDataP, long aSize, const ccSceneRules &aRules, ccFindings *aOutP,
                  std::vector<std::string> *aTexturesP)
{
    std::string where = std::string("scene ") + aRules.number;
    _bounds b{aDataP, aDataP + aSize};
    const _sceneDef *s = reinterpret_cast<const _sceneDef *>(aDataP);
    int frames = s->frameCnt;
    if (!(s->fps > 0) || std::floor(s->fps) != s->fps)
        _find(aOutP, where, "fps must be a whole number above 0");
    if (frames < 1 || frames < aRules.minFrames)
        _find(aOutP, where, std::to_string(frames) + " frames, at least " + std::to_string(aRules.minFrames) + " needed");
    if (!(s->nearDist > 0) || !(s->farDist - s->nearDist >= 0.01f))
        _find(aOutP, where, "near and far distances out of order");
    // Scene-length tracks are read by frame number with no clamp.
    auto track = [&](const void *p, size_t aEach, const std::string &aWhat) {
        if (p != nullptr && !b.In(p, aEach * frames))
            _find(aOutP, where, aWhat + " shorter than the scene");
    };
    track(s->illuminate.ambientIntensityP, 4, "ambient track");
    track(s->fog.minDistP, 4, "fog track");
    track(s->fog.maxDistP, 4, "fog track");
    track(s->fog.minAmountP, 4, "fog track");
    track(s->fog.maxAmountP, 4, "fog track");
    if (s->shapeCnt && !b.In(s->shapeP, s->shapeCnt * sizeof(_sceneShapeDef)))
        return _find(aOutP, where, "shape table outside the package");
    if (s->lightCnt && !b.In(s->lightP, s->lightCnt * sizeof(_sceneLightDef)))
        return _find(aOutP, where, "light table outside the package");
    if (s->cameraCnt && !b.In(s->cameraP, s->cameraCnt * sizeof(_sceneCameraDef)))
        return _find(aOutP, where, "camera table outside the package");
    if (s->lightCnt > 32)
        _find(aOutP, where, "more than 32 lights");
    if ((long)s->lightCnt * s->shapeCnt > 65535)
        _find(aOutP, where, "lights × shapes above 65535");
    if (s->cameraCnt == 0 && s->shapeCnt > 0)
        _find(aOutP, where, "no camera");
    for (int i = 0; i < s->cameraCnt; i++) {
        const _sceneCameraDef &c = s->cameraP[i];
        _checkMotion(*reinterpret_cast<const _sceneMotionDef *>(&c), frames, b, where + " camera", aOutP);
        track(c.zoomFactorP, 4, "zoom track");
        if (!(std::sin(c.fovAngle / 2) >= 0.01f))
            _find(aOutP, where, "camera field of view too narrow");
        if (c.targetShapeNum >= s->shapeCnt || c.parentShapeNum >= s->shapeCnt)
            _find(aOutP, where, "camera target or parent is not a shape");
    }
    for (int i = 0; i < s->lightCnt; i++) {
        const _sceneLightDef &l = s->lightP[i];
        _checkMotion(*reinterpret_cast<const _sceneMotionDef *>(&l), frames, b, where + " light", aOutP);
        track(l.colorP, sizeof(D3DCOLORVALUE), "light colour track");
        track(l.intensityP, 4, "light intensity track");
    }
    for (int i = 0; i < s->shapeCnt; i++) {
        const _sceneShapeDef &sh = s->shapeP[i];
        std::string who = where + " shape " + sh.name;
        _checkMotion(*reinterpret_cast<const _sceneMotionDef *>(&sh), frames, b, who, aOutP);
        if (sh.aviCnt || sh.aviDefP)
            _find(aOutP, who, "movie bindings cannot be packaged");
        if (sh.parentShapeNum >= i && sh.parentShapeNum != -1)
            _find(aOutP, who, "parent after its child");
        if (sh.dissolveFrameCnt && !b.In(sh.dissolveFrameP, sh.dissolveFrameCnt * 4))
            _find(aOutP, who, "dissolve track outside the package");
        const _shapeDef *d = sh.defP;
        if (d == nullptr)
            continue;
        if (!b.In(d, sizeof(_shapeDef)))
            return _find(aOutP, who, "body outside the package");
        if (d->shadowCastDefP || d->effectDefP || d->workP)
            _find(aOutP, who, "run-time pointers stored in the body");
        if (d->abilityDefNum > 0 && !b.In(d->abilityDefP, d->abilityDefNum * sizeof(void *)))
            return _find(aOutP, who, "ability table outside the package");
        for (int a = 0; a < d->abilityDefNum; a++) {
            const _abilityDef *ab = d->abilityDefP[a];
            if (!b.In(ab, sizeof(_abilityDef)) ||
                (ab->texStageNum > 0 && !b.In(ab->texSetP, ab->texStageNum * sizeof(_textureSet))))
                return _find(aOutP, who, "ability outside the package");
            for (int t = 0; t < ab->texStageNum; t++) {
                const _textureSet &ts = ab->texSetP[t];
                std::string name(ts.fileName, strnlen(ts.fileName, SCENE_NAME_SIZE));
                if (name.empty())
                    continue;
                if (aTexturesP)
                    aTexturesP->push_back(name);
                if (!_isMovie(name))
                    continue;
                // The scene finds a movie's page by its name alone, and plays it only on a bound shape.
                if (ts.texFlg != 0x401 || ts.alphaFileName[0])
                    _find(aOutP, who, "movie " + name + " needs a page of flags 0x0401 without an alpha image");
                long cnt = 0;
                const _benchMovie *tbl = sBenchMovieTbl(&cnt);
                bool bound = false;
                for (long m = 0; m < cnt; m++)
                    bound = bound || (std::strncmp(sh.name, tbl[m].shapeNameP, SCENE_NAME_SIZE) == 0 && name == tbl[m].avi.fileNameP);
                if (!bound)
                    _find(aOutP, who, "movie " + name + " is bound to this shape by no scene table entry");
            }
        }
    }
    if (aRules.space && s->backColor != 0)
        _find(aOutP, where, "space scenes need a black background");
    if (aRules.polygons > 0 && std::fabs((double)s->polyCnt - aRules.polygons) > aRules.polygons * 0.1)
        _find(aOutP, where, std::to_string(s->polyCnt) + " polygons, not within 10 % of " + std::to_string(aRules.polygons));
    std::set<std::string> names;
    for (int i = 0; i < s->shapeCnt; i++)
        names.insert(s->shapeP[i].name);
    for (const std::string &n : aRules.names)
        if (!names.count(n))
            _find(aOutP, where, "no shape named \"" + n + "\"");
    bool thand = false, sImg = false;
    for (const std::string &n : names) {
        thand = thand || (n.compare(0, 5, "thand") == 0 && n.back() == 'a');
        sImg = sImg || n.compare(0, 5, "s_img") == 0;
    }
    if (aRules.lightning && !thand)
        _find(aOutP, where, "no lightning locator pair");
    if (aRules.swordTrails && !sImg)
        _find(aOutP, where, "no s_img / e_img pair");
    if (aRules.rootShape0 && (s->shapeCnt == 0 || s->shapeP[0].parentShapeNum != -1))
        _find(aOutP, where, "shape 0 must be a root shape");
    if (aRules.userShip)
        for (int i = 0; i < s->shapeCnt; i++) {
            std::string lower = s->shapeP[i].name;
            for (char &c : lower)
                c = (char)std::tolower((unsigned char)c);
            if (lower.find("_change2_") == std::string::npos)
                continue;
            const _sceneShapeDef &sh = s->shapeP[i];
            const _shapeDef *d = sh.defP;
            if (!d || !(d->maxX > d->minX && d->maxY > d->minY && d->maxZ > d->minZ))
                _find(aOutP, where, "the replaceable ship needs a body with extent on every axis");
            if (sh.indexCnt == 0 || !sh.transFrameP || !sh.angleFrameP || !sh.scaleFrameP)
                _find(aOutP, where, "the replaceable ship needs key frames of its own");
            break;
        }
    ccCheckNames(s, aRules.userShip, aOutP);
}

// A bitmap file as the Windows loader would take it: any depth, bottom-up or top-down.
namespace {
struct _bmp {
    ccPicture picture;
};
}  // namespace

static uint32_t _le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

static bool _decodeBmp(const uint8_t *aP, long aSize, ccPicture *aOutP)
{
    if (aSize < 54 || aP[0] != 'B' || aP[1] != 'M')
        return false;
    uint32_t off = _le32(aP + 10), hdr = _le32(aP + 14);
    int32_t w = (int32_t)_le32(aP + 18), h = (int32_t)_le32(aP + 22);
    uint32_t bpp = aP[28] | aP[29] << 8, comp = _le32(aP + 30);
    if (w <= 0 || h == 0 || w > 8192 || std::abs(h) > 8192 || comp != 0 || (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32))
        return false;
    uint32_t rows = (uint32_t)std::abs(h), stride = ((uint32_t)w * bpp / 8 + 3) & ~3u;
    if (off > (uint32_t)aSize || (uint64_t)stride * rows > (uint64_t)aSize - off)
        return false;
    aOutP->width = (uint32_t)w, aOutP->height = rows, aOutP->depth = bpp;
    aOutP->pixels.assign((size_t)w * rows, 0);
    const uint8_t *pal = aP + 14 + hdr;
    for (uint32_t y = 0; y < rows; y++) {
        const uint8_t *r = aP + off + (size_t)(h > 0 ? rows - 1 - y : y) * stride;
        for (int x = 0; x < w; x++) {
            uint32_t c = 0;
            if (bpp == 8) {
                const uint8_t *e = pal + r[x] * 4;
                if (e + 4 > aP + aSize)
                    return false;
                c = e[2] << 16 | e[1] << 8 | e[0];
            } else if (bpp == 16) {
                uint32_t v = r[x * 2] | r[x * 2 + 1] << 8;
                c = ((v >> 10) & 31) << 19 | ((v >> 5) & 31) << 11 | (v & 31) << 3;
            } else {
                const uint8_t *p = r + x * (bpp / 8);
                c = p[2] << 16 | p[1] << 8 | p[0];
            }
            aOutP->pixels[(size_t)y * w + x] = c;
        }
    }
    return true;
}

static void *_hookBitmap(const uint8_t *aDataP, long aSize, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    ccPicture *p = new ccPicture;
    if (!_decodeBmp(aDataP, aSize, p)) {
        delete p;
        return nullptr;
    }
    *aWidthP = p->width, *aHeightP = p->height, *aDepthP = p->depth;
    return p;
}

bool ccLoadPicture(const std::vector<uint8_t> &aPackage, const std::string &aName, ccPicture *aOutP)
{
    static _ksfDrawHook hook;
    hook.loadBitMapP = _hookBitmap;
    setKsfDrawHook(&hook);
    uint32_t w = 0, h = 0, d = 0;
    void *image = loadKsfFileMem(aPackage.data(), (long)aPackage.size(), aName.c_str(), &w, &h, &d);
    setKsfDrawHook(nullptr);
    if (!image)
        return false;
    // Bitmaps come back from the hook; Targa entries as the decoder's pixel memory.
    std::string lower = aName;
    for (char &c : lower)
        c = (char)std::tolower((unsigned char)c);
    if (lower.find(".tga") != std::string::npos) {
        aOutP->width = w, aOutP->height = h, aOutP->depth = d;
        uint32_t *px = static_cast<uint32_t *>(image);
        aOutP->pixels.assign(px, px + (size_t)w * h);
        free(image);
    } else {
        ccPicture *p = static_cast<ccPicture *>(image);
        *aOutP = *p;
        delete p;
    }
    return true;
}

static bool _read(const std::string &aPath, std::vector<uint8_t> *aOutP)
{
    std::ifstream f(aPath, std::ios::binary);
    if (!f)
        return false;
    aOutP->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return true;
}

static bool _exists(const std::string &aPath)
{
    std::ifstream f(aPath, std::ios::binary);
    return (bool)f;
}

// A name as the program writes it (backslashes), as a path on the host.
static std::string _hostPath(std::string aName)
{
    for (char &c : aName)
        if (c == '\\')
            c = '/';
    return aName;
}

static bool _ink(const ccPicture &p, uint32_t x0, uint32_t x1, uint32_t y0, uint32_t y1)
{
    for (uint32_t y = y0; y < y1 && y < p.height; y++)
        for (uint32_t x = x0; x < x1 && x < p.width; x++)
            if (p.pixels[y * p.width + x] != 0)
                return true;
    return false;
}

static bool _has(const ccPicture &p, uint32_t aColor)
{
    for (uint32_t c : p.pixels)
        if (c == aColor)
            return true;
    return false;
}

void ccCheckData(const std::string &aDataDir, ccFindings *aOutP, const std::vector<std::string> *aOnly)
{
    const std::string data = aDataDir + "/";
    std::vector<uint8_t> bytes;
    // Scenes and the pictures their textures name.
    std::vector<ccSceneRules> all = ccBenchmarkScenes();
    all.insert(all.end(), ccDemoScenes().begin(), ccDemoScenes().end());
    for (const ccSceneRules &r : all) {
        if (aOnly && std::find(aOnly->begin(), aOnly->end(), std::string(r.number)) == aOnly->end())
            continue;
        std::string path = data + "Ksx/" + r.number + ".ksx";
        if (!_read(path, &bytes)) {
            _find(aOutP, path, "missing");
            continue;
        }
        uint8_t *scene = entryKsxMem(bytes.data(), (long)bytes.size());
        if (!scene) {
            _find(aOutP, path, "the package reader refuses it");
            continue;
        }
        std::vector<std::string> textures;
        ccCheckScene(scene, (long)bytes.size() - 16, r, aOutP, &textures);
        free(scene);
        std::vector<uint8_t> pack;
        if (r.imagePackage[0] && !_read(data + "Ksf/" + r.imagePackage, &pack)) {
            _find(aOutP, data + "Ksf/" + r.imagePackage, "missing");
            continue;
        }
        std::set<std::string> seen;
        for (const std::string &t : textures) {
            if (!seen.insert(t).second)
                continue;
            ccPicture p;
            std::string lower = t;
            for (char &c : lower)
                c = (char)std::tolower((unsigned char)c);
            if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".ksm") == 0) {
                // Packed images are never in a package: a loose file beside the program.
                std::string rel = t;
                for (char &c : rel)
                    if (c == '\\')
                        c = '/';
                std::vector<uint8_t> ksm;
                uint32_t w, h, d;
                uint32_t *px = _read(aDataDir + "/../" + rel, &ksm) ? sDrawDecodeKsm(ksm.data(), (long)ksm.size(), &w, &h, &d) : nullptr;
                if (!px)
                    _find(aOutP, std::string("scene ") + r.number, "texture " + t + " cannot be loaded");
                free(px);
            } else if (_isMovie(t)) {
                // Clips are loose files the scene table binds (checked below).
                if (!_exists(aDataDir + "/../" + _hostPath(t)))
                    _find(aOutP, std::string("scene ") + r.number, "movie " + t + " missing");
            } else if (pack.empty() || !ccLoadPicture(pack, t, &p)) {
                _find(aOutP, std::string("scene ") + r.number, "texture " + t + " is not in " + (r.imagePackage[0] ? r.imagePackage : "any package"));
            } else if (lower.find(".tga") != std::string::npos && p.depth != 32) {
                _find(aOutP, std::string("scene ") + r.number, "Targa " + t + " carries no alpha (" + std::to_string(p.depth) + " bits)");
            }
        }
    }
    // Every clip of the scene table: one uncompressed video stream of 16 or 24 bits, at most 256
    // pixels a side (Light devices), with a frame per index entry and a rate the binding's frame
    // unit matches at 30 scene frames a second.
    {
        long cnt = 0;
        const _benchMovie *tbl = sBenchMovieTbl(&cnt);
        for (long m = 0; m < cnt; m++) {
            const std::string name = tbl[m].avi.fileNameP;
            ccClip clip;
            if (!_read(aDataDir + "/../" + _hostPath(name), &bytes) || !ccReadAvi(bytes, &clip)) {
                _find(aOutP, name, "missing or not a readable clip");
                continue;
            }
            if ((clip.depth != 16 && clip.depth != 24) || clip.compression != 0)
                _find(aOutP, name, "frames must be uncompressed 16- or 24-bit, not " + std::to_string(clip.depth) + "-bit");
            if (!clip.width || !clip.height || clip.width > 256 || clip.height > 256 || !clip.frames)
                _find(aOutP, name, std::to_string(clip.width) + " x " + std::to_string(clip.height) + ", " +
                                       std::to_string(clip.frames) + " frames");
            if (std::fabs(tbl[m].avi.frameUnit * 30.0f - (float)clip.rate) > 0.01f)
                _find(aOutP, name, "plays at " + std::to_string(clip.rate) + " frames a second; its binding assumes another rate");
        }
    }
    // Pictures: package, name, width, height (0: at least the other figure), needs 32 or 16 bits.
    struct _pic {
        const char *package;
        std::string name;
        uint32_t width, height;
        bool exact, texPage;
    };
    std::vector<_pic> pics = {
        {"09.ksf", "numbers.bmp", 0, 0, false, true},       {"09.ksf", "nowloading.bmp", 0, 0, false, true},
        {"09.ksf", "nowloading_fin.bmp", 640, 480, true, false}, {"09.ksf", "result3_fin.bmp", 640, 480, true, false},
        {"09.ksf", "r_score.bmp", 640, 96, false, false},    {"09.ksf", "r_fpstitle.bmp", 128, 64, true, false},
        {"09.ksf", "r_number.bmp", 170, 17, false, false},   {"09.ksf", "r_nowloading.bmp", 640, 30, true, false},
        {"09.ksf", "r_clicktonext.bmp", 0, 0, false, true},  {"09.ksf", "logo_athlon.bmp", 73, 72, true, false},
        {"09.ksf", "logo_duron2.bmp", 72, 72, true, false},  {"09.ksf", "logo_url.bmp", 196, 21, true, false},
        {"09.ksf", "bar.bmp", 32, 32, false, false},         {"09.ksf", "right.bmp", 0, 0, false, false},
        {"03.ksf", "fulea.bmp", 0, 0, false, true},          {"05.ksf", "se152.bmp", 0, 0, false, false},
        {"06.ksf", "siro.bmp", 640, 480, false, false},      {"13.ksf", "lightning.bmp", 0, 0, false, false},
    };
    for (const char *t : {"sf_ninja_2", "last_2", "space_21_2", "water_2", "2d_2", "default_ship_2", "user_ship_2"})
        pics.push_back({"09.ksf", std::string(t) + ".bmp", 128, 128, true, false});
    for (int i = 1; i <= 10; i++) {
        char n[32];
        std::snprintf(n, sizeof n, "benchmarkdata%02d.bmp", i);
        pics.push_back({"09.ksf", std::string(n), 144, 160, true, false});
    }
    for (int i = 0; i < 15; i++) {
        char n[32];
        std::snprintf(n, sizeof n, "_bomb_%02d.bmp", i);
        pics.push_back({"10.ksf", std::string(n), 0, 0, false, false});
    }
    for (int i = 0; i < 16; i++) {
        char n[32];
        std::snprintf(n, sizeof n, "_bomb_b%03d.bmp", i);
        pics.push_back({"10.ksf", std::string(n), 0, 0, false, false});
    }
    for (int i = 1; i <= 4; i++) {
        char n[32];
        std::snprintf(n, sizeof n, "galaxy%02d.bmp", i);
        pics.push_back({"Galaxy.ksf", std::string(n), 0, 0, false, true});
    }
    std::string lastPack;
    std::vector<uint8_t> pack;
    for (const _pic &p : pics) {
        std::string path = data + "Ksf/" + p.package;
        if (lastPack != p.package) {
            lastPack = p.package;
            if (!_read(path, &pack))
                pack.clear();
        }
        ccPicture pic;
        if (pack.empty() || !ccLoadPicture(pack, p.name, &pic)) {
            _find(aOutP, path, std::string(p.name) + " missing or unreadable");
            continue;
        }
        if (p.width && (p.exact ? pic.width != p.width || pic.height != p.height : pic.width < p.width || pic.height < p.height))
            _find(aOutP, path, std::string(p.name) + " is " + std::to_string(pic.width) + " x " + std::to_string(pic.height));
        if (p.texPage && pic.depth != 32 && pic.depth != 16)
            _find(aOutP, path, std::string(p.name) + " must be a 32- or 16-bit bitmap");
        std::string n = p.name;
        if (n == "r_number.bmp") {
            static const int cols[14] = {0, 13, 19, 30, 42, 54, 67, 79, 90, 103, 114, 118, 142, 169};
            for (int g = 0; g < 13; g++)
                if (!_ink(pic, cols[g], cols[g + 1], 0, 16))
                    _find(aOutP, path, "r_number.bmp glyph " + std::to_string(g) + " is empty");
            if (_ink(pic, 0, pic.width, 16, 17))
                _find(aOutP, path, "r_number.bmp row 16 must stay black");
        } else if (n == "r_score.bmp") {
            for (int d = 0; d < 10; d++)
                if (!_ink(pic, d * 64, d * 64 + 64, 0, 96))
                    _find(aOutP, path, "r_score.bmp digit " + std::to_string(d) + " is empty");
        } else if (n == "logo_duron2.bmp" && !_has(pic, 0x00FF00)) {
            _find(aOutP, path, "logo_duron2.bmp has no pure green to key out");
        } else if ((n == "logo_url.bmp" || n == "right.bmp") && !_has(pic, 0xFF0000)) {
            _find(aOutP, path, n + " has no pure red to key out");
        } else if (n == "r_clicktonext.bmp" && (!_ink(pic, 0, pic.width, 0, pic.height / 4) || _ink(pic, 0, pic.width, pic.height / 4, pic.height))) {
            _find(aOutP, path, "r_clicktonext.bmp: the prompt belongs in the top quarter, black below");
        }
    }
    // The 09 package holds its 31 pictures and nothing else.
    if (_read(data + "Ksf/09.ksf", &bytes) && bytes.size() >= 16) {
        uint32_t cnt = 0;
        std::memcpy(&cnt, bytes.data() + 4, 4);
        cnt ^= 0x6D21B4C8u;
        if (cnt != 31)
            _find(aOutP, data + "Ksf/09.ksf", std::to_string(cnt) + " entries, 31 expected");
    }
    {
        std::vector<uint8_t> moon;
        ccPicture p;
        if (!_read(data + "Cloud/moon.bmp", &moon) || !_decodeBmp(moon.data(), (long)moon.size(), &p))
            _find(aOutP, data + "Cloud/moon.bmp", "missing or unreadable");
    }
    for (const char *h : {"help.html", "help_j.html"})
        if (!_read(aDataDir + "/../Html/" + h, &bytes) || bytes.size() < 100)
            _find(aOutP, std::string("Html/") + h, "missing");
    // Sounds: music streams refill 5-second blocks; effects must not be empty.
    for (const char *m : {"00", "01", "02", "03", "05", "06"})
        if (!_read(data + "Kss/" + m + ".kss", &bytes) || bytes.size() < 220500)
            _find(aOutP, data + "Kss/" + m + ".kss", "missing or shorter than 5 seconds");
    for (int i = 0; i < 10; i++) {
        std::string n = data + "Kss/s0" + std::to_string(i) + ".kss";
        if (!_read(n, &bytes) || bytes.empty())
            _find(aOutP, n, "missing or empty");
    }
}
