#include "App/Bench/BenchCore.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Library/Matrix/MATLIB.h"
#include "Library/Vec/VECLIB.h"

// ---- Table rows ---------------------------------------------------------------------------

_becnhDef *sBenchTableRow(_becnhDef *aTblP, long aRowNum, long aStep)
{
    if (!aTblP || aStep < 0 || aStep >= aRowNum)
        return nullptr;
    return &aTblP[aStep];
}

int sBenchRowHasScene(const _becnhDef *aRowP)
{
    return aRowP && (aRowP->sceneDefP || aRowP->dataPathP);
}

long sBenchLoadScenes(_becnhDef *const *aTblP, const long *aRowNumP, long aTblNum, _benchLoadProc aLoadP)
{
    struct {
        const char *pathP;
        _sceneDef *defP;
    } info[BENCH_SCENE_INFO_MAX];
    long infoCnt = 0, loaded = 0;
    for (long t = 0; t < aTblNum; ++t) {
        for (long r = 0; r < aRowNumP[t]; ++r) {
            _becnhDef &row = aTblP[t][r];
            if (!row.dataPathP || row.sceneDefP)
                continue;
            long i = 0;
            while (i < infoCnt && std::strcmp(info[i].pathP, row.dataPathP) != 0)
                ++i;
            if (i < infoCnt) {
                row.sceneDefP = info[i].defP;
                continue;
            }
            row.sceneDefP = aLoadP(row.dataPathP);
            if (!row.sceneDefP)
                continue;  // a missing package: the row loads it again when it plays
            ++loaded;
            if (infoCnt < BENCH_SCENE_INFO_MAX) {
                info[infoCnt].pathP = row.dataPathP;
                info[infoCnt].defP = row.sceneDefP;
                ++infoCnt;
            }
        }
    }
    return loaded;
}

void sBenchFreeScenes(_becnhDef *const *aTblP, const long *aRowNumP, long aTblNum, _benchFreeProc aFreeP)
{
    for (long t = 0; t < aTblNum; ++t) {
        for (long r = 0; r < aRowNumP[t]; ++r) {
            _sceneDef *def = aTblP[t][r].sceneDefP;
            if (!def)
                continue;
            for (long t2 = 0; t2 < aTblNum; ++t2)
                for (long r2 = 0; r2 < aRowNumP[t2]; ++r2)
                    if (aTblP[t2][r2].sceneDefP == def)
                        aTblP[t2][r2].sceneDefP = nullptr;
            aFreeP(def);
        }
    }
}

// ---- User object ------------------------------------------------------------------------

// The screens under the flagship's hangar: launch status (24-bit, 15 frames a second) and the
// radar (16-bit, 10 a second), looping from the scene's first frame on.
static const _benchMovie _movieTbl[] = {
    {"BayScreenStatus", {"Data\\Movie\\BayStatus.avi", 2, 0, 0xFFFF, 15.0f / 30.0f}},
    {"BayScreenRadar", {"Data\\Movie\\BayRadar.avi", 2, 0, 0xFFFF, 10.0f / 30.0f}},
};

const _benchMovie *sBenchMovieTbl(long *aCntP)
{
    if (aCntP)
        *aCntP = (long)(sizeof _movieTbl / sizeof _movieTbl[0]);
    return _movieTbl;
}

long sBenchBindMovies(_sceneDef *aDefP)
{
    if (!aDefP || !aDefP->shapeP)
        return 0;
    long bound = 0;
    for (long i = 0; i < aDefP->shapeCnt; ++i) {
        _sceneShapeDef &shape = aDefP->shapeP[i];
        for (const _benchMovie &m : _movieTbl)
            if (std::strncmp(shape.name, m.shapeNameP, SCENE_NAME_SIZE) == 0) {
                shape.aviCnt = 1;
                shape.aviDefP = const_cast<_sceneAviDef *>(&m.avi);
                bound++;
                break;
            }
    }
    return bound;
}

long sBenchChangeShape(const _sceneDef *aDefP)
{
    if (!aDefP || !aDefP->shapeP)
        return -1;
    for (long i = 0; i < aDefP->shapeCnt; ++i) {
        char name[SCENE_NAME_SIZE];
        const char *src = aDefP->shapeP[i].name;
        size_t n = 0;
        // Names come from packages: never read past the field.
        for (; n < SCENE_NAME_SIZE - 1 && src[n]; ++n)
            name[n] = (char)std::tolower((unsigned char)src[n]);
        name[n] = 0;
        if (std::strstr(name, "_change2_"))
            return i;
    }
    return -1;
}

float sBenchScaleFactor(const _shapeDef *aOldP, const _shapeDef *aNewP)
{
    const double oldExt[3] = {aOldP->maxX - aOldP->minX, aOldP->maxY - aOldP->minY, aOldP->maxZ - aOldP->minZ};
    const double newExt[3] = {aNewP->maxX - aNewP->minX, aNewP->maxY - aNewP->minY, aNewP->maxZ - aNewP->minZ};
    double sum = 0.0;
    int n = 0;
    for (int k = 0; k < 3; ++k) {
        if (!(newExt[k] > 0.0) || !(oldExt[k] > 0.0) || !std::isfinite(oldExt[k] / newExt[k]))
            continue;
        sum += oldExt[k] / newExt[k];
        ++n;
    }
    return n ? (float)(sum * (1.0 / n)) : 1.0f;
}

// ---- Score ------------------------------------------------------------------------------

double sBenchFrameTime(int64_t aSceneFrameTime, int64_t aSceneFrameCnt)
{
    if (aSceneFrameCnt <= 0)
        return 0.0;
    return (double)(aSceneFrameTime / aSceneFrameCnt);
}

float sBenchFpsAve(long aSceneFps, uint64_t aLoopCnt, long aSceneFrameCnt)
{
    if (aSceneFrameCnt <= 0)
        return 0.0f;
    const double ratio = (double)aLoopCnt / (double)aSceneFrameCnt;
    return (float)((double)aSceneFps * ratio);
}

// ---- Row search ---------------------------------------------------------------------------

long sBenchFirstStep(long aRowNum, _benchPlayableProc aPlayableP, void *aCtxP)
{
    for (long s = 0; s < aRowNum; ++s)
        if (aPlayableP(aCtxP, s))
            return s;
    return 0;
}

long sBenchNextStep(long aStep, long aRowNum, int aLoopB, _benchPlayableProc aPlayableP, void *aCtxP)
{
    if (aStep == BENCH_STEP_FAIL || aStep < 0)
        return -1;
    long s = aStep;
    // At most one pass plus the wrap: the step it started from ends the search.
    for (long n = 0; n <= aRowNum; ++n) {
        ++s;
        if (s >= aRowNum) {
            if (!aLoopB)
                return -1;
            s = 0;
        }
        if (aPlayableP(aCtxP, s))
            return s;
        if (s == aStep)
            return -1;
    }
    return -1;
}

// ---- Challenge Mode -----------------------------------------------------------------------

int sBenchChallengeEnds(uint32_t aMsg)
{
    switch (aMsg) {
    case 0x0012:  // WM_QUIT
    case 0x0100:  // WM_KEYDOWN
    case 0x0101:  // WM_KEYUP
    case 0x0104:  // WM_SYSKEYDOWN
    case 0x0105:  // WM_SYSKEYUP
        return 1;
    default:
        return aMsg >= 0x0201 && aMsg <= 0x0209;  // button messages; 0x0200 is a move
    }
}

uint32_t sBenchBlinkColor(long aTick)
{
    return aTick < BENCH_BLINK_ON ? 0xFFFFFFFFu : 0u;
}

// ---- Fades --------------------------------------------------------------------------------

static uint32_t _clampAlpha(double aAlpha)
{
    if (!(aAlpha > 0.0))
        return 0;
    if (aAlpha >= 255.0)
        return 255;
    return (uint32_t)aAlpha;
}

uint32_t sBenchFadeOutAlpha(long aFrame, long aStart, long aFrameCnt)
{
    if (aFrame <= aStart)
        return 0;
    if (aFrame >= aFrameCnt - 1)
        return 255;
    // Integer arithmetic truncates as the quad's colour needs.
    const long span = aFrameCnt - 1 - aStart;
    return _clampAlpha((double)(255 * (aFrame - aStart) / span));
}

uint32_t sBenchFeatherFadeAlpha(long aFrame, long aFrameCnt)
{
    if (aFrame < 271)
        return 0;
    const long span = aFrameCnt - 270;
    if (span <= 0)
        return 255;
    return _clampAlpha((double)(255 * (aFrame - 270) / span));
}

uint32_t sBenchFadeInAlpha(long aFrame)
{
    return _clampAlpha(255.0 * (1.0 - aFrame * 0.0125));
}

// ---- Seeded generator -------------------------------------------------------------------

static uint32_t _randState = 1;

void sBenchSrand(uint32_t aSeed)
{
    _randState = aSeed;
}

long sBenchRand(void)
{
    _randState = _randState * 214013u + 2531011u;
    return (long)((_randState >> 16) & 0x7FFF);
}

float sBenchRandUnit(void)
{
    return (float)sBenchRand() / 32767.0f;
}

// ---- Feathers -----------------------------------------------------------------------------

static D3DVECTOR _vec(float aX, float aY, float aZ)
{
    D3DVECTOR v;
    v.x = aX;
    v.y = aY;
    v.z = aZ;
    return v;
}

static const float _DEG = 3.14159265358979f / 180.0f;

void sBenchFeatherInit(_benchFeather *aFeatherP, long aNum)
{
    sBenchSrand(511);
    for (long i = 0; i < aNum; ++i) {
        _benchFeather &f = aFeatherP[i];
        std::memset(&f, 0, sizeof f);
        f.pos.x = (float)(sBenchRand() % 2000 - 1000);
        f.pos.y = (float)(sBenchRand() % 500);
        f.pos.z = (float)(sBenchRand() % 2000 - 1000);
        f.scale = 1.0f + sBenchRandUnit();
        f.spare = 0.5f + sBenchRandUnit();
        f.spin = 4.0f * sBenchRandUnit();
        f.speed = f.targetSpeed = sBenchRandUnit();
        sMatrixCreateUnit(&f.mat);
    }
}

void sBenchFeatherMove(_benchFeather *aFeatherP, long aNum, long aFrame, const D3DVECTOR *const aSwordP[2])
{
    const float c = std::cos((float)aFrame * _DEG);
    const float s = std::sin((float)aFrame * _DEG);
    for (long i = 0; i < aNum; ++i) {
        _benchFeather &f = aFeatherP[i];
        f.speed += (f.targetSpeed - f.speed) * 0.2f;
        const float len = sVecMagnitude(&f.pos);
        f.pos.x += c;
        f.pos.y -= f.speed * len * 0.001f;
        f.pos.z += s;
        // Below the floor the arc sine has no value: a feather that far down keeps its speed
        // instead of turning into NaN.
        if (f.pos.y < 50.0f && f.pos.y > -50.0f && aFrame % 8 == i % 7)
            f.speed -= std::tan(std::asin(f.pos.y * 0.02f)) * 0.25f;
        for (int w = 0; w < BENCH_SWORD_NUM; ++w) {
            if (!aSwordP[w])
                continue;
            D3DVECTOR off = _vec(f.pos.x - aSwordP[w]->x, f.pos.y - aSwordP[w]->y, f.pos.z - aSwordP[w]->z);
            const float d = sVecMagnitude(&off);
            if (d < 100.0f) {
                const bool away = w == 0 ? d > f.swordDist[w] : d >= f.swordDist[w];
                const float k = away ? 0.25f : -0.25f;
                f.pos.x += off.x * k;
                f.pos.y += off.y * k;
                f.pos.z += off.z * k;
            }
            f.swordDist[w] = d;
        }
        sMatrixCreateUnit(&f.mat);
        sMatrixRotateXYZ(&f.mat, 0.0f, (float)aFrame * f.spin, 0.0f);
        sMatrixScale(&f.mat, f.scale, f.scale, f.scale);
        sMatrixTranslate(&f.mat, f.pos.x, f.pos.y, f.pos.z);
    }
}

// ---- Attractors ---------------------------------------------------------------------------

static const D3DVECTOR _attrOrigin = _vec(-0.73f, 0.01f, -0.132f);

long sBenchAttractorInit(_benchAttractor *aAttrP, _benchPoint *aPointP)
{
    sBenchSrand(11);
    for (int i = 0; i < BENCH_ATTRACTOR_NUM; ++i) {
        _benchAttractor &a = aAttrP[i];
        std::memset(&a, 0, sizeof a);
        a.dist = 7.0f;
        a.speed = sBenchRandUnit() * 0.2f;
        a.height = sBenchRandUnit() * 0.2f;
        a.climb = 0.0f;
        a.angle = sBenchRandUnit() * 360.0f;
        a.turn = sBenchRandUnit() * 2.0f;
        a.pull = 0.002f;
    }
    std::memset(aPointP, 0, sizeof(_benchPoint) * BENCH_POINT_NUM);
    long n = 0;
    for (int i = 0; i < BENCH_POINT_NUM; ++i) {
        const float x = sBenchRandUnit() * 14.0f - 7.0f - 0.73f;
        const float y = sBenchRandUnit() * 0.2f + 0.01f;
        const float z = sBenchRandUnit() * 14.0f - 7.0f - 0.132f;
        if (std::sqrt(x * x + z * z) <= 7.0f) {
            aPointP[n].x = x;
            aPointP[n].y = y;
            aPointP[n].z = z;
            aPointP[n].color = 0xFF4480FF;
            ++n;
        }
    }
    return n;
}

void sBenchAttractorMove(_benchAttractor *aAttrP, _benchPoint *aPointP, long aPointNum)
{
    for (int i = 0; i < BENCH_ATTRACTOR_NUM; ++i) {
        _benchAttractor &a = aAttrP[i];
        a.dist -= a.speed;
        a.height += a.climb;
        a.angle += a.turn;
        if (a.dist < 0.0f) {
            a.dist = 7.0f;
            a.height = 0.0f;
        }
        D3DMATRIX m;
        sMatrixCreateUnit(&m);
        sMatrixRotateXYZ(&m, 0.0f, a.angle, 0.0f);
        sMatrixTranslate(&m, _attrOrigin.x, _attrOrigin.y, _attrOrigin.z);
        const D3DVECTOR local = _vec(0.0f, a.height, a.dist);
        sMatrixApplyVector(&m, &local, &a.pos);
    }
    for (long p = 0; p < aPointNum; ++p) {
        _benchPoint &pt = aPointP[p];
        float best = 10000.0f;
        int nearest = -1;
        for (int i = 0; i < BENCH_ATTRACTOR_NUM; ++i) {
            D3DVECTOR d = _vec(aAttrP[i].pos.x - pt.x, aAttrP[i].pos.y - pt.y, aAttrP[i].pos.z - pt.z);
            const float len = sVecMagnitude(&d);
            if (len < best) {
                best = len;
                nearest = i;
            }
        }
        if (nearest >= 0) {
            const _benchAttractor &a = aAttrP[nearest];
            pt.x += (a.pos.x - pt.x) * a.pull;
            pt.y += (a.pos.y - pt.y) * a.pull;
            pt.z += (a.pos.z - pt.z) * a.pull;
        }
        if (pt.y > 0.0f)
            pt.y -= 0.001f;
    }
}

// ---- Frame-time record --------------------------------------------------------------------

long sBenchFrameLine(char *aBufP, size_t aSize, const _benchFrameRec *aRecP)
{
    const _benchFrameCount &k = aRecP->count;
    int n = std::snprintf(aBufP, aSize, "%d,%d,%.3f,%.3f,%.3f,%.3f,%.3f", (int)aRecP->test, (int)aRecP->framePos,
                          aRecP->ms, aRecP->deltaMs, aRecP->updateMs, aRecP->drawMs, aRecP->presentMs);
    uint32_t counts[BENCH_COUNT_NUM];
    std::memcpy(counts, &k, sizeof counts);
    for (int i = 0; i < BENCH_COUNT_NUM && n >= 0 && (size_t)n < aSize; ++i) {
        const int more = std::snprintf(aBufP + n, aSize - (size_t)n, ",%lu", (unsigned long)counts[i]);
        n = more < 0 ? -1 : n + more;
    }
    if (n >= 0 && (size_t)n < aSize) {
        const int more = std::snprintf(aBufP + n, aSize - (size_t)n, "\n");
        n = more < 0 ? -1 : n + more;
    }
    if (n < 0 || (size_t)n >= aSize)
        return -1;
    return n;
}

// Nothing but the line's end after a field.
static bool _lineEnd(const char *aP)
{
    return *aP == 0 || (*aP == '\n' && aP[1] == 0) || (*aP == '\r' && (aP[1] == 0 || (aP[1] == '\n' && aP[2] == 0)));
}

int sBenchFrameParse(const char *aLineP, _benchFrameRec *aRecP)
{
    int test = 0, frame = 0, used = 0;
    double ms = 0, delta = 0, update = 0, draw = 0, present = 0;
    if (std::sscanf(aLineP, "%d,%d,%lf,%lf,%lf%n", &test, &frame, &ms, &delta, &update, &used) < 5 || used <= 0)
        return 0;
    const char *restP = aLineP + used;
    if (*restP == ',') {
        int more = 0;
        if (std::sscanf(restP, ",%lf,%lf%n", &draw, &present, &more) < 2 || more <= 0)
            return 0;
        restP += more;
    }
    // The counts: all of them, the earlier nine, or none.
    uint32_t counts[BENCH_COUNT_NUM] = {};
    int countNum = 0;
    for (; countNum < BENCH_COUNT_NUM && *restP == ','; ++countNum) {
        char *endP = nullptr;
        if (!std::isdigit((unsigned char)restP[1]))
            return 0;
        const unsigned long long v = std::strtoull(restP + 1, &endP, 10);
        if (v > 0xFFFFFFFFull)
            return 0;
        counts[countNum] = (uint32_t)v;
        restP = endP;
    }
    if (countNum != 0 && countNum != BENCH_COUNT_NUM_OLD && countNum != BENCH_COUNT_NUM)
        return 0;
    if (!_lineEnd(restP))
        return 0;
    if (!std::isfinite(ms) || !std::isfinite(delta) || !std::isfinite(update) || !std::isfinite(draw) ||
        !std::isfinite(present) || delta < 0.0)
        return 0;
    aRecP->test = test;
    aRecP->framePos = frame;
    aRecP->ms = ms;
    aRecP->deltaMs = delta;
    aRecP->updateMs = update;
    aRecP->drawMs = draw;
    aRecP->presentMs = present;
    std::memcpy(&aRecP->count, counts, sizeof counts);
    return 1;
}

long sBenchFrameSummary(const double *aDeltaMsP, long aCnt, _benchFrameSum *aSumP)
{
    if (aCnt <= 0)
        return -1;
    std::vector<double> sorted(aDeltaMsP, aDeltaMsP + aCnt);
    std::sort(sorted.begin(), sorted.end());
    double total = 0.0;
    for (double d : sorted)
        total += d;
    aSumP->frameCnt = aCnt;
    aSumP->fpsAve = total > 0.0 ? aCnt * 1000.0 / total : 0.0;
    // Slowest 1 %, at least one frame.
    const long worst = std::max(1L, aCnt / 100);
    double worstSum = 0.0;
    for (long i = aCnt - worst; i < aCnt; ++i)
        worstSum += sorted[i];
    aSumP->low1Fps = worstSum > 0.0 ? worst * 1000.0 / worstSum : 0.0;
    // Nearest rank: the smallest value with at least 99 % of the frames at or below it.
    long rank = (long)std::ceil(0.99 * (double)aCnt);
    rank = std::min(std::max(rank, 1L), aCnt);
    aSumP->p99Ms = sorted[rank - 1];
    return 0;
}

long sBenchFrameSummaryFile(const char *aPathP, _benchFrameSum *aSumP, long aMax)
{
    FILE *fp = std::fopen(aPathP, "rb");
    if (!fp)
        return -1;
    std::vector<int32_t> tests;
    std::vector<std::vector<double>> deltas;
    char line[256];
    while (std::fgets(line, sizeof line, fp)) {
        _benchFrameRec rec;
        if (!sBenchFrameParse(line, &rec))
            continue;
        size_t t = 0;
        while (t < tests.size() && tests[t] != rec.test)
            ++t;
        if (t == tests.size()) {
            tests.push_back(rec.test);
            deltas.emplace_back();
        }
        deltas[t].push_back(rec.deltaMs);
    }
    std::fclose(fp);
    long n = 0;
    for (size_t t = 0; t < tests.size() && n < aMax; ++t) {
        aSumP[n].test = tests[t];
        if (sBenchFrameSummary(deltas[t].data(), (long)deltas[t].size(), &aSumP[n]) == 0)
            ++n;
    }
    return n;
}

long sBenchFrameCostFile(const char *aPathP, _benchFrameCost *aCostP, long aMax)
{
    FILE *fp = std::fopen(aPathP, "rb");
    if (!fp)
        return -1;
    std::vector<_benchFrameCost> costs;
    char line[256];
    while (std::fgets(line, sizeof line, fp)) {
        _benchFrameRec rec;
        if (!sBenchFrameParse(line, &rec))
            continue;
        size_t t = 0;
        while (t < costs.size() && costs[t].test != rec.test)
            ++t;
        if (t == costs.size()) {
            _benchFrameCost c = {};
            c.test = rec.test;
            costs.push_back(c);
        }
        _benchFrameCost &c = costs[t];
        c.frameCnt += 1;
        c.deltaMs += rec.deltaMs;
        c.updateMs += rec.updateMs;
        c.drawMs += rec.drawMs;
        c.presentMs += rec.presentMs;
        uint32_t counts[BENCH_COUNT_NUM];
        std::memcpy(counts, &rec.count, sizeof counts);
        for (int i = 0; i < BENCH_COUNT_NUM; ++i)
            c.count[i] += counts[i];
    }
    std::fclose(fp);
    long n = 0;
    for (size_t t = 0; t < costs.size() && n < aMax; ++t, ++n) {
        _benchFrameCost c = costs[t];
        c.ownShare = c.deltaMs > 0.0 ? (c.updateMs + c.drawMs) / c.deltaMs : 0.0;
        const double cnt = (double)c.frameCnt;
        c.deltaMs /= cnt;
        c.updateMs /= cnt;
        c.drawMs /= cnt;
        c.presentMs /= cnt;
        for (double &k : c.count)
            k /= cnt;
        aCostP[n] = c;
    }
    return n;
}
