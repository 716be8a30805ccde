#include "App/Bench/BENCH.h"

#include <windows.h>
#include <mmsystem.h>
#include <d3d.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "App/App/AppCore.h"
#include "App/AfterImage/AfterImage.h"
#include "App/App/Appflow.h"
#include "App/Bom/Bom.h"
#include "App/CtrlPanel/CtrlPanel.h"
#include "App/Lightning/Lightning.h"
#include "App/View/ViewLW.h"
#include "Common/DEBUGWIN.h"
#include "Library/Matrix/MATLIB.h"
#include "System/Draw/DrawMan.h"
#include "System/Flow/FLOWMAN.h"
#include "System/Sound/Sound.h"
#include "System/Sys/SysCore.h"
#include "System/Sys/SYSCAPS.h"
#include "System/Sys/SYSFOLDER.h"
#include "System/Sys/SYSTEM.h"
#include "System/Texture/TEXMAN.h"

Bench benchClass;
uint64_t gLoopCnt;
int64_t gSceneFrameCnt;

static const char _commonKsf[] = "Data\\Ksf\\09.ksf";

// The run log: with KESTREL_RUNLOG naming a file, one line per row as it starts and ends, so an
// unattended run can show which scenes played with which music. Off in a normal run.
static void _runLog(const char *aFormatP, ...)
{
    char path[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("KESTREL_RUNLOG", path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return;
    FILE *fp = std::fopen(path, "ab");
    if (!fp)
        return;
    va_list args;
    va_start(args, aFormatP);
    std::vfprintf(fp, aFormatP, args);
    va_end(args);
    std::fputc('\n', fp);
    std::fclose(fp);
}

// A test may cut every demo scene short: KESTREL_SCENE_MS ends each after that many
// milliseconds. A normal run has no such variable and plays every scene to its end.
static uint32_t _cutAt;
static bool _cutB;

static uint32_t _cutMs(void)
{
    char text[16];
    const DWORD n = GetEnvironmentVariableA("KESTREL_SCENE_MS", text, sizeof text);
    return n > 0 && n < sizeof text ? (uint32_t)std::strtoul(text, nullptr, 10) : 0;
}

static const char *_runName(void)
{
    if (!(sysWork.status & SYS_DEMO))
        return "bench";
    return (sysWork.status & SYS_FULLSPEC) ? "demo" : "light";
}

void sPrintError(HWND aWin, const char *aCaptionP, const char *aFormatP, ...)
{
    (void)aWin;
    if (!aFormatP)
        return;
    char text[512];
    va_list args;
    va_start(args, aFormatP);
    const int n = std::snprintf(text, sizeof text, "%s: ", aCaptionP ? aCaptionP : "Bench");
    if (n > 0 && (size_t)n < sizeof text)
        std::vsnprintf(text + n, sizeof text - (size_t)n, aFormatP, args);
    va_end(args);
    sDebugWinPrintMsg(text);
}

static bool _isDemo(void)
{
    return (sysWork.status & SYS_DEMO) != 0;
}

static uint32_t _runOption(void)
{
    const _cpEnv &env = cpWork.env[0];
    return _isDemo() ? env.demoOption : env.benchOption;
}

static _becnhDef *_curRow(void)
{
    return benchGetDefPtr(benchClass.GetStep());
}

// 1 when the display table has the row's mode and the current driver offers it.
static long _checkDisplay(long aStep)
{
    const _becnhDef *row = benchGetDefPtr(aStep);
    uint32_t option = 0;
    const _sysDDCaps *driver = sSysGetCurDDCaps();
    if (row && driver && sSysGetDisplayOption((int)row->width, (int)row->height, (int)row->depth, &option) &&
        (driver->displayOption & option))
        return 1;
    sPrintMsgFile("ディスプレイモード無効");
    return 0;
}

static long _playable(void *, long aStep)
{
    const _becnhDef *row = benchGetDefPtr(aStep);
    if (!sBenchRowHasScene(row))
        return 0;
    if (_isDemo())
        return 1;
    return (cpWork.env[0].benchTestOption & (1u << aStep)) && _checkDisplay(aStep);
}

static void _releaseFileAll(void)
{
    for (int i = 0; i < DRAW_FILE_MAX; ++i)
        if (drawMan.fileP[i])
            drawMan.fileP[i]->Delete();
}

static void _restTex(void)
{
    sTexPageRestoreAll();
    if (Scene *scene = benchClass.GetScene())
        scene->CallRest();
}

// Gives the user's object the size of the shape it replaces, in every key frame.
// The user's object converts behind the loading screen; one message a step keeps the window
// answering, as the loading bar does.
static void _lwoProgress(void)
{
    sSysEventCtrl();
}

static void _scalingShape(Scene *aSceneP, long aNum, const _shapeDef *aOldP, const _shapeDef *aNewP)
{
    _sceneShape *shape = aSceneP->GetShape(aNum);
    if (!shape)
        return;
    const float k = sBenchScaleFactor(aOldP, aNewP);
    for (uint32_t f = 0; f < shape->frameCnt && shape->frameP; ++f) {
        shape->frameP[f].sx *= k;
        shape->frameP[f].sy *= k;
        shape->frameP[f].sz *= k;
    }
    // A shape without key frames keeps its base pose, which then carries the scale.
    if (!shape->frameCnt) {
        shape->scale.x *= k;
        shape->scale.y *= k;
        shape->scale.z *= k;
    }
}

static void _setColorKey(IDirectDrawSurface7 *aSufP, bool aGreenB)
{
    if (!aSufP)
        return;
    DDPIXELFORMAT pf = {};
    pf.dwSize = sizeof pf;
    if (FAILED(DEBUGWIN_CHECK(aSufP->GetPixelFormat(&pf))))
        return;
    DDCOLORKEY key;
    key.dwColorSpaceLowValue = key.dwColorSpaceHighValue = aGreenB ? pf.dwGBitMask : pf.dwRBitMask;
    DEBUGWIN_CHECK(aSufP->SetColorKey(DDCKEY_SRCBLT, &key));
}

static void _releaseSurface(IDirectDrawSurface7 **aSufPP)
{
    if (*aSufPP) {
        (*aSufPP)->Release();
        *aSufPP = nullptr;
    }
}

// ---- Frame-time record ----------------------------------------------------------------------

static std::vector<_benchFrameRec> _frameRec;
static bool _frameRecOn;
static int64_t _frameFreq, _frameStart, _framePrev, _frameUpdatePrev;
static int64_t _frameDrawTicks;  // drawing since the last present
static _drawCount _frameCountPrev;  // the draw manager's counts at the last present
static _drawStateCache _frameStatePrev;
static _drawBindCache _frameBindPrev;

// The device work since the last present.
static _benchFrameCount _frameCountTake(void)
{
    const _drawCount &n = drawMan.count;
    const _drawStateCache &s = drawMan.state;
    _benchFrameCount k;
    k.drawCalls = n.drawCalls - _frameCountPrev.drawCalls;
    k.primitives = n.primitives - _frameCountPrev.primitives;
    k.stateChanges = s.sentCnt - _frameStatePrev.sentCnt;
    k.redundantStates = s.redundantCnt - _frameStatePrev.redundantCnt;
    k.stateSkips = s.skipCnt - _frameStatePrev.skipCnt;
    k.texChanges = n.texChanges - _frameCountPrev.texChanges;
    k.locks = n.locks - _frameCountPrev.locks;
    k.readBacks = n.readBacks - _frameCountPrev.readBacks;
    k.uploadBytes = n.uploadBytes - _frameCountPrev.uploadBytes;
    _frameCountPrev = n;
    _frameStatePrev.sentCnt = s.sentCnt;
    _frameStatePrev.redundantCnt = s.redundantCnt;
    _frameStatePrev.skipCnt = s.skipCnt;
    const _drawBindCache &b = drawMan.bind;
    for (int i = 0; i < DRAW_BIND_KINDS; ++i) {
        k.bindSkips[i] = b.skipCnt[i] - _frameBindPrev.skipCnt[i];
        if (i < DRAW_BIND_SCENE)
            k.bindRedundant[i] = b.redundantCnt[i] - _frameBindPrev.redundantCnt[i];
        _frameBindPrev.skipCnt[i] = b.skipCnt[i];
        _frameBindPrev.redundantCnt[i] = b.redundantCnt[i];
    }
    return k;
}

// Beside Kestrel.exe, or where the user's files go when that folder cannot be written; found
// once a run, as the run begins.
static char _framePath[MAX_PATH + 32];

void Bench::_frameRecordStart(void)
{
    _frameRec.clear();
    if (!_frameRecOn)
        return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    _frameStart = _framePrev = now.QuadPart;
    _frameUpdatePrev = gSceneFrameTime;
    _frameDrawTicks = 0;
    drawMan.countOn = 1;
    _frameCountTake();
}

void Bench::_frameRecordPresent(int64_t aPresentTicks)
{
    if (!_frameRecOn || !_sceneP || _frameFreq <= 0)
        return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    _benchFrameRec rec;
    rec.test = _step;
    rec.framePos = _sceneP->GetFramePos();
    rec.ms = (double)(now.QuadPart - _frameStart) * 1000.0 / (double)_frameFreq;
    rec.deltaMs = (double)(now.QuadPart - _framePrev) * 1000.0 / (double)_frameFreq;
    rec.updateMs = (double)(gSceneFrameTime - _frameUpdatePrev) * 1000.0 / (double)_frameFreq;
    rec.drawMs = (double)_frameDrawTicks * 1000.0 / (double)_frameFreq;
    rec.presentMs = (double)aPresentTicks * 1000.0 / (double)_frameFreq;
    rec.count = _frameCountTake();
    _framePrev = now.QuadPart;
    _frameUpdatePrev = gSceneFrameTime;
    _frameDrawTicks = 0;
    _frameRec.push_back(rec);
}

// Writes the test's frames once it has run to its end; a test cut short leaves no lines.
void Bench::_frameRecordEnd(int aKeepB)
{
    if (_frameRecOn && aKeepB && !_frameRec.empty()) {
        if (FILE *fp = std::fopen(_framePath, "ab")) {
            char line[256];
            for (const _benchFrameRec &rec : _frameRec)
                if (sBenchFrameLine(line, sizeof line, &rec) > 0)
                    std::fputs(line, fp);
            std::fclose(fp);
        }
    }
    _frameRec.clear();
    drawMan.countOn = 0;
}

// ---- The run ------------------------------------------------------------------------------

long Bench::Init(void)
{
    _milliSeconds = 0;
    _fps = _fpsPeak = _fpsAve = 0.0f;
    _sceneP = nullptr;
    _saveShapeDefP = nullptr;
    _saveShapeNum = -1;
    _beforeBgmName[0] = 0;
    _status = 0;
    _step = 0;
    _defStatus = 0;
    _athlonSufP = _duronSufP = _urlSufP = nullptr;
    if (!_isDemo())
        _step = (uint16_t)sBenchFirstStep(benchGetRowNum(), _playable, nullptr);
    sMatrixCreateUnit(&_rootMat);
    sMatrixCreateUnit(&_saveMat);
    if (_isDemo()) {
        _athlonSufP = loadKsf(_commonKsf, "Data\\Com\\logo_athlon.bmp", nullptr, 0);
        _duronSufP = loadKsf(_commonKsf, "Data\\Com\\logo_duron2.bmp", nullptr, 0);
        _urlSufP = loadKsf(_commonKsf, "Data\\Com\\logo_url.bmp", nullptr, 0);
        _setColorKey(_duronSufP, true);
        _setColorKey(_urlSufP, false);
    }
    soundClassP = nullptr;
    if (_runOption() & CP_OPTION_BGM) {
        soundClassP = new (std::nothrow) _sound();
        if (soundClassP && !soundClassP->GetDsP()) {
            delete soundClassP;
            soundClassP = nullptr;
        }
    }
    gLoopCnt = 0;
    gSceneFrameCnt = 0;
    gSceneFrameTime = 0;

    // The frame-time record starts afresh with every benchmark run that asks for it.
    _frameRecOn = !_isDemo() && (cpWork.env[0].benchOption & CP_OPTION_FRAMETIME);
    LARGE_INTEGER freq;
    _frameFreq = QueryPerformanceFrequency(&freq) ? freq.QuadPart : 0;
    if (_frameRecOn) {
        FILE *fp = sSysWritePath(nullptr, BENCH_FRAME_FILE, _framePath, sizeof _framePath) ? std::fopen(_framePath, "wb")
                                                                                         : nullptr;
        if (fp) {
            std::fputs(BENCH_FRAME_HEAD "\n", fp);
            std::fclose(fp);
            _frameRec.reserve(1 << 16);  // no allocation while a test is timed
        } else {
            _frameRecOn = false;
        }
    }
    return 0;
}

long Bench::Exit(void)
{
    delete soundClassP;
    soundClassP = nullptr;
    bgmVoiceNum = -1;
    _releaseSurface(&_athlonSufP);
    _releaseSurface(&_duronSufP);
    _releaseSurface(&_urlSufP);
    _releaseFileAll();
    _frameRec.clear();
    _frameRec.shrink_to_fit();
    return 0;
}

long Bench::Ready(void)
{
    const _becnhDef *row = _curRow();
    sTexManInit(256, 256);
    entryNumberTex();
    sTexSetPath(row && (row->status & BENCH_ROW_TEXPATH) && row->imagePathP ? row->imagePathP : "");
    drawMan.texCallBackP = _restTex;
    clearFps();
    BomInit();
    return 0;
}

// Every scene of a run: the lightning bolts and after-image pairs that the effect callbacks may
// draw are found by shape name before the objects are built.
static void _loadEffects(const _sceneDef *aDefP, long aShapeCnt)
{
    LightningLoad(aDefP, aShapeCnt);
    AfterImageLoad(aDefP, aShapeCnt);
}

long Bench::Load(void)
{
    const uint32_t t0 = sSysMilliTime();
    _becnhDef *row = _curRow();
    if (!sBenchRowHasScene(row))
        return 0;
    long result = 0;
    Scene *scene = new (std::nothrow) Scene();
    if (!scene)
        return E_FAIL;
    sceneDrawLodingScreen(row->sceneOptionDefP);
    // Light packages are loaded as their row comes up; FullSpec ones were loaded at start-up.
    if (!(sysWork.status & SYS_FULLSPEC) && !row->sceneDefP && row->dataPathP)
        row->sceneDefP = (_sceneDef *)entryKsx(row->dataPathP);
    if ((row->status & BENCH_ROW_ENTRYKSF) && row->imagePathP)
        entryKsf(row->imagePathP);
    sceneDrawLodingStart(row->sceneOptionDefP);

    _shapeDef *newBodyP = nullptr;
    const char *objPath = cpWork.env[0].objFilePath;
    if ((row->status & BENCH_ROW_USEROBJ) && objPath[0] && row->sceneDefP) {
        if (FILE *fp = std::fopen(objPath, "rb")) {
            std::fclose(fp);
            const long i = sBenchChangeShape(row->sceneDefP);
            _shapeDef *body = nullptr;
            viewLwoProgressHook = _lwoProgress;
            const bool converted = i != -1 && viewLoadLwo(objPath, &body) == S_OK && body;
            viewLwoProgressHook = nullptr;
            if (converted) {
                if (viewLwoWithinLimits(body)) {
                    _saveShapeNum = i;
                    _saveShapeDefP = row->sceneDefP->shapeP[i].defP;
                    row->sceneDefP->shapeP[i].defP = body;
                    newBodyP = body;
                } else {
                    viewFreeLwo(body);  // too large: the row keeps its own shape
                }
            }
        } else {
            const bool ja = sSysJapanese();
            printMsg(sysWork.rootWinH, ja ? "警告" : "Warning", ja ? "%sが見つかりません" : "Cannot find %s", objPath);
        }
    }

    uint32_t flags = 0;
    if (row->soundName[0] && std::strncmp(row->soundName, _beforeBgmName, SCENE_NAME_SIZE) != 0) {
        flags |= 1;
        std::strncpy(_beforeBgmName, row->soundName, SCENE_NAME_SIZE - 1);
        _beforeBgmName[SCENE_NAME_SIZE - 1] = 0;
    }
    if (row->status & BENCH_ROW_FADEBGM)
        flags |= 2;
    _status &= ~(BENCH_STATUS_CPULOGO | BENCH_STATUS_URLLOGO);
    if (row->status & BENCH_ROW_CPULOGO)
        _status |= BENCH_STATUS_CPULOGO;
    if (row->status & BENCH_ROW_URLLOGO)
        _status |= BENCH_STATUS_URLLOGO;

    sBenchBindMovies(row->sceneDefP);
    // A package that could not be read leaves an empty scene, which ends at once; one that was read
    // but whose scene cannot be built leaves none, and the flow ends the row.
    const _sceneRunOpt run = {cpWork.env[0].benchOption, _loadEffects};
    if (scene->Load(row->sceneDefP, row->sceneOptionDefP, row->soundName, row->seP, flags, &run) < 0) {
        delete scene;
        result = E_FAIL;
    } else {
        if (newBodyP && _saveShapeDefP)
            _scalingShape(scene, _saveShapeNum, _saveShapeDefP, newBodyP);
        delete _sceneP;
        _sceneP = scene;
        for (long i = 0; i < _sceneP->GetLightCnt(); ++i) {
            _sceneP->SetLight(i);
            if (i < DRAW_LIGHT_MAX && drawMan.lightP[i])
                drawMan.lightP[i]->InitMapTexture();
        }
        if (drawMan.cameraP)
            drawMan.cameraP->SetNearFar(_sceneP->GetNear(), _sceneP->GetFar());
        _sceneP->SetIlluminate();
        _sceneP->SetFog();
        const uint32_t back = _sceneP->GetBackColor();
        sDrawSetBackColor((back >> 16) & 0xFF, (back >> 8) & 0xFF, back & 0xFF);
        for (long j = 0; j < 5; ++j)
            _sceneP->SetOptionFlg(j, row->sceneOptionFlg[j]);
        _sceneP->CallInit();
    }
    _cutB = false;
    _cutAt = 0;
    if (_isDemo() && _cutMs())
        _cutAt = (sSysMilliTime() + _cutMs()) | 1;
    _runLog("start %s %u %s music=%s new=%d frames=%ld fps=%g load=%lums%s", _runName(), (unsigned)_step,
            row->dataPathP ? row->dataPathP : "-", row->soundName[0] ? row->soundName : "-", (int)(flags & 1),
            _sceneP ? (long)_sceneP->GetFrameCnt() : 0L, _sceneP ? (double)_sceneP->GetFps() : 0.0,
            (unsigned long)(sSysMilliTime() - t0), result < 0 || !row->sceneDefP ? " failed" : "");

    if (result >= 0 && !_isDemo() && !(row->status & BENCH_ROW_NOSCORE) &&
        (cpWork.env[0].benchOption & CP_OPTION_CHALLENGE))
        _challengeWait(t0);
    if (!(row->status & BENCH_ROW_NOSCORE))
        _frameRecordStart();
    return result;
}

// Challenge Mode: a blinking prompt in the bottom-right corner until a key or a mouse button.
void Bench::_challengeWait(uint32_t aLoadStart)
{
    struct _promptVertex {
        float x, y, z, rhw;
        uint32_t color;
        float u, v;
    };
    const float w = (float)drawMan.screenWidth, h = (float)drawMan.screenHeight;
    IDirectDrawSurface7 *prompt = loadKsf(_commonKsf, "Data\\Com\\r_ClickToNext.bmp", nullptr, 0x1001);
    _promptVertex quad[4] = {
        {0.8f * w, 0.93333334f * h, 0.0f, 1.0f, 0, 0.0f, 0.0f},
        {w, 0.93333334f * h, 0.0f, 1.0f, 0, 1.0f, 0.0f},
        {0.8f * w, h, 0.0f, 1.0f, 0, 0.0f, 0.25f},
        {w, h, 0.0f, 1.0f, 0, 1.0f, 0.25f},
    };
    MSG msg;
    HWND win = sysWork.rootWinH;
    while (win && PeekMessageA(&msg, win, 0x100, 0x108, PM_REMOVE)) {
    }
    while (win && PeekMessageA(&msg, win, 0x200, 0x209, PM_REMOVE)) {
    }
    // From here a key or a button answers: an unattended run waits for this line to answer.
    _runLog("prompt %s %u", _runName(), (unsigned)_step);
    long k = 0;
    uint32_t lastTick = sSysMilliTime(), lastFlip = aLoadStart;
    // Closing the window ends the wait as well: nothing else would.
    while ((sysWork.status & SYS_RUN) && !(flowMan.status & FLOW_REQUEST)) {
        if (sSysEventCtrl()) {
            if (sBenchChallengeEnds(sysWork.eventMsg.message))
                break;
        } else {
            Sleep(1);
        }
        const uint32_t now = sSysMilliTime();
        if (now - lastTick <= BENCH_TICK_MS)
            continue;
        lastTick = now;
        IDirect3DDevice7 *dev = drawMan.d3dDevP;
        if (!dev)
            continue;
        D3DRECT strip = {0, (LONG)(0.9375f * h), (LONG)w, (LONG)h};
        DEBUGWIN_CHECK(dev->Clear(1, &strip, D3DCLEAR_TARGET, 0, 0.0f, 0));
        if (prompt) {
            const uint32_t color = sBenchBlinkColor(k);
            for (_promptVertex &v : quad)
                v.color = color;
            k = (k + 1) % (2 * BENCH_BLINK_ON);
            if (sDrawBeginScene()) {
                _drawStateScope scope;
                sDrawOpenStates(&scope);
                sDrawSetBlend(DRAW_BLEND_ADDITIVE);
                sDrawSetTexture(0, prompt);
                sDrawSetStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
                sDrawSetStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
                sDrawSetStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
                sDrawSetStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
                sDrawSetStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
                sDrawSetStageState(0, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
                sDrawSetStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
                sDrawCountDrawUp(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, 4, 0);
                DEBUGWIN_CHECK(
                    dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, quad, 4, 0));
                sDrawSetTexture(0, nullptr);
                sDrawCloseStates(&scope);
                sDrawEndScene();
            }
        }
        if (now - lastFlip > BENCH_TICK_MS) {
            sDrawFlipBuffer();
            lastFlip = now;
        }
    }
    _releaseSurface(&prompt);
}

long Bench::Frame(void)
{
    _milliSeconds = sSysMilliTime();
    if (!_sceneP)
        return 0;
    const uint16_t status = _sceneP->Frame(_milliSeconds);
    if (status & SCENE_ADVANCED) {
        const int64_t t = mGetPerformanceCounter();
        sceneUpdateAll(_sceneP, status);
        gSceneFrameTime += mGetPerformanceCounter() - t;
        gSceneFrameCnt += 1;
    }
    if ((status & SCENE_ENDED) && !(flowMan.status & FLOW_REQUEST))
        sFlowChgGoAuto(0);
    if (_cutAt && (int32_t)(_milliSeconds - _cutAt) >= 0 && !(flowMan.status & FLOW_REQUEST)) {
        _cutB = true;
        sFlowChgGoAuto(0);
    }
    return 0;
}

void Bench::_drawLogos(void)
{
    IDirectDrawSurface7 *back = drawMan.backP;
    if (!back)
        return;
    const double w = (double)drawMan.screenWidth, h = (double)drawMan.screenHeight;
    auto rect = [w, h](double a, double b, double c, double d) {
        RECT r;
        r.left = (LONG)(w * a);
        r.top = (LONG)(h * b);
        r.right = r.left + (LONG)(w * c);
        r.bottom = r.top + (LONG)(h * d);
        return r;
    };
    if (_status & BENCH_STATUS_CPULOGO) {
        if (_athlonSufP) {
            RECT r = rect(0.021875, 0.82916666667, 0.1140625, 0.15208333333);
            DEBUGWIN_CHECK(back->Blt(&r, _athlonSufP, nullptr, DDBLT_WAIT, nullptr));
        }
        if (_duronSufP) {
            RECT r = rect(0.8671875, 0.82916666667, 0.1125, 0.15);
            DEBUGWIN_CHECK(back->Blt(&r, _duronSufP, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr));
        }
    } else if ((_status & BENCH_STATUS_URLLOGO) && _urlSufP) {
        RECT r = rect(0.0125, 0.95, 0.30625, 0.04375);
        DEBUGWIN_CHECK(back->Blt(&r, _urlSufP, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr));
    }
}

long Bench::Render(void)
{
    sDrawClear();
    // Timed only for the frame-time record: nothing else reads these stamps.
    const int64_t drawStart = _frameRecOn ? mGetPerformanceCounter() : 0;
    if (_sceneP) {
        _sceneP->Render();
        _sceneP->CallDraw();
    }
    if (_frameRecOn)
        _frameDrawTicks += mGetPerformanceCounter() - drawStart;
    if (_isDemo())
        _drawLogos();
    calcFps(&_fps, &_fpsAve, &_fpsPeak);
    if (_sceneP && (_sceneP->GetStatus() & SCENE_ADVANCED)) {
        const int64_t presentStart = _frameRecOn ? mGetPerformanceCounter() : 0;
        sDrawFlipBuffer();
        _frameRecordPresent(_frameRecOn ? mGetPerformanceCounter() - presentStart : 0);
    }
    return 0;
}

long Bench::Stop(void)
{
    _milliSeconds = sSysMilliTime();
    if (_sceneP)
        _sceneP->SetPrevTime(_milliSeconds);
    return 0;
}

long Bench::Change(void)
{
    _becnhDef *row = _curRow();
    int scoredB = 0;
    if (_sceneP) {
        // A scene without frames (its package could not be read) has no rate to score.
        if (!_isDemo() && row && !(row->status & BENCH_ROW_NOSCORE) && (_sceneP->GetStatus() & SCENE_ENDED) &&
            _sceneP->GetFrameCnt() > 0) {
            const double frameTime = sBenchFrameTime(gSceneFrameTime, gSceneFrameCnt);
            _fpsAve = sBenchFpsAve(_sceneP->GetFps(), gLoopCnt, _sceneP->GetFrameCnt());
            cpSetScore(_step, _fpsPeak, _fpsAve, (float)_sceneP->GetCps(), (float)frameTime);
            scoredB = 1;
        }
        _runLog("end %s %u played=%lld loops=%llu%s%s", _runName(), (unsigned)_step, (long long)gSceneFrameCnt,
                (unsigned long long)gLoopCnt, (_sceneP->GetStatus() & SCENE_ENDED) ? " complete" : _cutB ? " cut" : "",
                scoredB ? " scored" : "");
        _sceneP->CallExit();
        delete _sceneP;
        _sceneP = nullptr;
    }
    // Every scene starts its count afresh, scored or not: with Continuous Loop the closing row's
    // loops would otherwise go to the first test of the next pass.
    gLoopCnt = 0;
    gSceneFrameCnt = 0;
    gSceneFrameTime = 0;
    _frameRecordEnd(scoredB);
    if (_saveShapeNum != -1 && row && row->sceneDefP && _saveShapeNum < row->sceneDefP->shapeCnt) {
        _sceneShapeDef &shape = row->sceneDefP->shapeP[_saveShapeNum];
        viewFreeLwo(shape.defP);
        shape.defP = _saveShapeDefP;
    }
    _saveShapeDefP = nullptr;
    _saveShapeNum = -1;
    if (row && !(sysWork.status & SYS_FULLSPEC) && row->sceneDefP && row->dataPathP) {
        free(row->sceneDefP);
        row->sceneDefP = nullptr;
    }
    if (row && (row->status & BENCH_ROW_CLEARFILE))
        _releaseFileAll();
    BomRelease();
    sTexManExit();
    drawMan.texCallBackP = nullptr;
    return 0;
}

// ---- Flow 0 -------------------------------------------------------------------------------

void benchFlowInit(void)
{
    if (_isDemo())
        return;
    const _becnhDef *row = _curRow();
    if (!row)
        return;
    if (!changeScreenMode((long)row->width, (long)row->height, (long)row->depth)) {
        if (!((drawMan.status & DRAW_STAT_DDRAW) && (drawMan.status & DRAW_STAT_D3D))) {
            benchClass.SetStep(BENCH_STEP_FAIL);
            sPrintError(sysWork.rootWinH, "警告", "強制終了！");
        }
        sFlowChgGoAuto(0);
    }
}

void benchFlowExec(void)
{
    if (flowMan.status & FLOW_REQUEST)
        return;
    // Messages that came while the previous scene loaded and ended (Escape, closing the window)
    // are handled before the next one loads; no frame is being timed here.
    while (!(flowMan.status & FLOW_REQUEST) && sSysEventCtrl()) {
    }
    if (flowMan.status & FLOW_REQUEST)
        return;
    benchClass.Ready();
    // A scene that cannot be built has nothing to play: its row stays unscored (the run log says
    // it failed) and the run goes on to the next row.
    if (benchClass.Load() < 0 && !(flowMan.status & FLOW_REQUEST))
        sFlowChgGoAuto(0);
    sAppRunFlow(
        [] {
            benchClass.Frame();
            benchClass.Render();
            gLoopCnt += 1;
        },
        [] { benchClass.Stop(); });
    benchClass.Change();
}

void benchFlowExit(void)
{
    if (flowMan.reqNum == 1)
        return;
    if (sysWork.status & SYS_RUN) {
        const int loopB = (_runOption() & CP_OPTION_LOOP) != 0;
        const long next = sBenchNextStep(benchClass.GetStep(), benchGetRowNum(), loopB, _playable, nullptr);
        if (next >= 0) {
            benchClass.SetStep((uint16_t)next);
            return;
        }
    }
    if (sysWork.rootWinH) {
        HWND win = sysWork.rootWinH;
        sysWork.rootWinH = nullptr;
        DestroyWindow(win);
    }
    sSysExit();
}
