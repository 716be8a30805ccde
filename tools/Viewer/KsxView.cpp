// KsxView: plays one scene package with its image package on the engine, as the benchmark and
// demo runs play it (the row's option set, option words and callbacks), in frame-locked time: the
// scene clock is set to each frame in turn and every effect is stepped once per frame, so what a
// frame shows does not depend on how fast the machine draws. A captured frame depends only on the
// scene, the row and the list of frames captured (frames in between are stepped, not drawn).
//
//   KsxView <scene> [<images> | -] [--bench N | --demo N] [--light] [--size WxH]
//           [--frames LIST --out DIR [--format png|bmp]]
//
// Interactive: Space pauses, Right and Left step one frame, Home starts again, Escape quits; the
// title shows the frame. With --frames it renders those frames, writes <scene>_<frame>.png and
// exits: 0, or non-zero with a message.
//
// Before the first frame it prints how long reading the packages' bytes takes and how long the
// scene takes to load (the row's minimum loading time left out), so loading can be set against
// the disk.

#include <windows.h>
#include <mmsystem.h>
#include <objbase.h>
#include <ddraw.h>
#include <d3d.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "App/App/AppCore.h"
#include "App/App/Appflow.h"
#include "App/Bench/BENCH.h"
#include "App/Bench/BENCHTBL.h"
#include "Common/DEBUGWIN.h"
#include "System/Draw/DrawMan.h"
#include "System/Sys/SYSTEM.h"
#include "ToolArgs.h"
#include "ViewerCore.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb/stb_image_write.h"
#pragma GCC diagnostic pop

enum {
    VIEW_OK = 0,
    VIEW_USAGE = 1,
    VIEW_PACKAGE = 2,  // a package is missing or refused
    VIEW_DEVICE = 3,
    VIEW_WRITE = 4,
};

static const char _className[] = "KsxView";
static _viewArgs _args;
static std::string _sceneName;
static _becnhDef *_slotP;        // the table row the viewer's row stands in for
static _becnhDef _saveRow, _row;
static _sceneOptionDef _option;  // the row's option set without its minimum loading time
static _sceneDef *_defP;
static long _frame = -1;  // frame on screen, -1 before the first
static bool _paused, _quit, _restart;
static long _stepReq;     // +1 / -1 frame asked for by the keys
static long _step;        // the row's number in its table
static double _readMs[2];  // reading the scene and image packages' bytes
static double _entryMs;    // building the scene package into its definition
static bool _timed;       // the first load's time has been printed

static double _ms(const LARGE_INTEGER &aFrom, const LARGE_INTEGER &aTo)
{
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    return (double)(aTo.QuadPart - aFrom.QuadPart) * 1000.0 / (double)freq.QuadPart;
}

// The time to read a file's bytes whole; 0 for none.
static double _readFileMs(const std::string &aPath)
{
    if (aPath.empty())
        return 0;
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    if (FILE *fileP = std::fopen(aPath.c_str(), "rb")) {
        std::vector<uint8_t> buf(1 << 20);
        while (std::fread(buf.data(), 1, buf.size(), fileP) == buf.size()) {
        }
        std::fclose(fileP);
    }
    QueryPerformanceCounter(&t1);
    return _ms(t0, t1);
}

static void _message(const char *aFormatP, const char *aTextP)
{
    std::fprintf(stderr, "KsxView: ");
    std::fprintf(stderr, aFormatP, aTextP);
    std::fprintf(stderr, "\n");
}

static bool _exists(const std::string &aPath)
{
    const DWORD a = GetFileAttributesA(aPath.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

static LRESULT CALLBACK _proc(HWND aWin, UINT aMsg, WPARAM aWParam, LPARAM aLParam)
{
    switch (aMsg) {
    case WM_KEYDOWN:
        switch (aWParam) {
        case VK_ESCAPE:
            _quit = true;
            return 0;
        case VK_SPACE:
            _paused = !_paused;
            return 0;
        case VK_RIGHT:
        case VK_LEFT:
            _paused = true;
            _stepReq = aWParam == VK_RIGHT ? 1 : -1;
            return 0;
        case VK_HOME:
            _restart = true;
            return 0;
        }
        break;
    case WM_CLOSE:
        _quit = true;
        return 0;
    }
    return DefWindowProcA(aWin, aMsg, aWParam, aLParam);
}

static void _pump(void)
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// ---- The row ------------------------------------------------------------------------------

// The image package the run has registered when the row comes up: the row's own, or the one an
// earlier row left (demo scenes draw from the registry of the row before them).
static const char *_rowImages(long aStep)
{
    for (long s = aStep; s >= 0; --s) {
        const _becnhDef *r = benchGetDefPtr(s);
        if (!r || (s != aStep && (r->status & BENCH_ROW_CLEARFILE)))
            return nullptr;
        if ((r->status & BENCH_ROW_ENTRYKSF) && r->imagePathP)
            return r->imagePathP;
    }
    return nullptr;
}

// Builds the viewer's row from the chosen table row (or a bare one) and puts it in that row's
// slot, since the run plays the rows of its current table. VIEW_OK or an error code.
static int _selectRow(void)
{
    sysWork.status &= ~(SYS_DEMO | SYS_FULLSPEC);
    if (!_args.light)
        sysWork.status |= SYS_FULLSPEC;
    if (_args.table == VIEW_TABLE_DEMO)
        sysWork.status |= SYS_DEMO;
    const long step = _args.table == VIEW_TABLE_NONE ? 0 : _args.row;
    _step = step;
    _slotP = benchGetDefPtr(step);
    if (!_slotP || (_args.table != VIEW_TABLE_NONE && !_slotP->sceneOptionDefP && !_slotP->dataPathP)) {
        char text[32];
        std::snprintf(text, sizeof text, "%ld", _args.row);
        _message("the table has no row %s", text);
        return VIEW_USAGE;
    }
    _saveRow = *_slotP;
    std::memset(&_row, 0, sizeof _row);
    _row.status = BENCH_ROW_CLEARFILE;
    if (_args.table != VIEW_TABLE_NONE) {
        _row.status |= _slotP->status & (BENCH_ROW_NOSCORE | BENCH_ROW_CPULOGO | BENCH_ROW_URLLOGO);
        std::memcpy(_row.sceneOptionFlg, _slotP->sceneOptionFlg, sizeof _row.sceneOptionFlg);
        if (_slotP->sceneOptionDefP) {
            _option = *_slotP->sceneOptionDefP;
            _option.waitTime = 0;
            _row.sceneOptionDefP = &_option;
        }
        if (!_args.imageGiven) {
            const char *images = _rowImages(step);
            _args.imagePath = images ? images : "";
        }
    }
    if (!_args.imagePath.empty())
        _row.status |= BENCH_ROW_ENTRYKSF;
    _row.imagePathP = _args.imagePath.empty() ? nullptr : _args.imagePath.c_str();
    _row.width = (uint32_t)_args.width;
    _row.height = (uint32_t)_args.height;
    _row.depth = _slotP->depth ? _slotP->depth : 16;
    return VIEW_OK;
}

// ---- Playing ------------------------------------------------------------------------------

static Scene *_scene(void)
{
    return benchClass.GetScene();
}

// Loads the scene afresh at frame 0 (not yet drawn). Effects draw their random numbers from the
// C library, so the sequence starts from the same seed on every load.
static int _load(void)
{
    std::srand(1);
    _row.sceneDefP = _defP;
    *_slotP = _row;
    benchClass.Ready();
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    const long loaded = benchClass.Load();
    QueryPerformanceCounter(&t1);
    if (!_timed) {
        _timed = true;
        const double rowMs = _ms(t0, t1), readMs = _readMs[0] + _readMs[1], loadMs = _entryMs + rowMs;
        std::printf("%s: read %.1f ms (scene %.1f, images %.1f), load %.1f ms (scene %.1f, row %.1f), %.2fx\n",
                    _sceneName.c_str(), readMs, _readMs[0], _readMs[1], loadMs, _entryMs, rowMs,
                    readMs > 0 ? loadMs / readMs : 0.0);
    }
    if (loaded < 0 || !_scene()) {
        _message("%s could not be built into a scene", _args.scenePath.c_str());
        return VIEW_PACKAGE;
    }
    if (!_args.imagePath.empty()) {
        long images = 0;
        for (long i = 0; i < DRAW_FILE_MAX; ++i)
            images += drawMan.fileP[i] && drawMan.fileP[i]->GetEnable() ? 1 : 0;
        if (!images) {
            _message("%s registers no images (damaged or not an image package)", _args.imagePath.c_str());
            return VIEW_PACKAGE;
        }
    }
    _scene()->SetStatus((uint16_t)(_scene()->GetStatus() | SCENE_FRAME_LOCKED));
    _frame = -1;
    return VIEW_OK;
}

static void _unload(void)
{
    if (_scene())
        benchClass.Change();
    *_slotP = _saveRow;
}

// Brings the scene to frame _frame + 1, as one pass of the run's loop, and draws it when asked.
// Frames that are only passed on the way to another are stepped without drawing: the effects do
// their work in the step, and drawing every frame would cost the software rasteriser seconds.
static void _stepFrame(bool aDraw)
{
    Scene *scene = _scene();
    if (!scene)
        return;
    const long next = _frame + 1;
    if (next >= scene->GetFrameCnt() && _frame >= 0)
        return;
    // The first pass starts the clock at frame 0.
    if (_frame >= 0)
        scene->SetFramePos(next);
    benchClass.Frame();
    if (aDraw)
        benchClass.Render();
    _frame = next;
}

// Frame aFrame reached from a fresh load, every frame before it stepped and drawn.
static int _replayTo(long aFrame)
{
    _unload();
    const int result = _load();
    if (result != VIEW_OK)
        return result;
    while (_frame < aFrame && !_quit) {
        _stepFrame(_frame + 1 == aFrame);
        _pump();
    }
    return VIEW_OK;
}

static void _title(void)
{
    Scene *scene = _scene();
    char text[160];
    std::snprintf(text, sizeof text, "KsxView - %s - frame %ld / %d%s", _sceneName.c_str(), _frame,
                  scene ? (int)scene->GetFrameCnt() - 1 : 0, _paused ? " (paused)" : "");
    SetWindowTextA(sysWork.rootWinH, text);
}

// ---- Capture ------------------------------------------------------------------------------

// The back buffer as rows of 8-bit R, G, B.
static bool _readBack(std::vector<uint8_t> *aRgbP, long *aWidthP, long *aHeightP)
{
    IDirectDrawSurface7 *back = drawMan.backP;
    if (!back)
        return false;
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    if (FAILED(DEBUGWIN_CHECK(back->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))))
        return false;
    const DDPIXELFORMAT &pf = desc.ddpfPixelFormat;
    const long w = (long)desc.dwWidth, h = (long)desc.dwHeight;
    const uint32_t bytes = pf.dwRGBBitCount / 8;
    bool ok = bytes >= 2 && bytes <= 4;
    if (ok) {
        aRgbP->resize((size_t)w * h * 3);
        for (long y = 0; y < h; ++y) {
            const uint8_t *row = (const uint8_t *)desc.lpSurface + (size_t)y * desc.lPitch;
            for (long x = 0; x < w; ++x) {
                uint32_t v = 0;
                std::memcpy(&v, row + (size_t)x * bytes, bytes);
                const uint32_t rgb = sViewPixelRgb(v, pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask);
                uint8_t *out = &(*aRgbP)[((size_t)y * w + x) * 3];
                out[0] = (uint8_t)(rgb >> 16);
                out[1] = (uint8_t)(rgb >> 8);
                out[2] = (uint8_t)rgb;
            }
        }
    }
    DEBUGWIN_CHECK(back->Unlock(nullptr));
    *aWidthP = w;
    *aHeightP = h;
    return ok;
}

static int _save(long aFrame)
{
    std::vector<uint8_t> rgb;
    long w = 0, h = 0;
    if (!_readBack(&rgb, &w, &h)) {
        _message("the back buffer of frame %s cannot be read", std::to_string(aFrame).c_str());
        return VIEW_DEVICE;
    }
    const std::string path = sViewFrameFile(_args.outDir, _sceneName, aFrame, _args.bmp);
    const int ok = _args.bmp ? stbi_write_bmp(path.c_str(), (int)w, (int)h, 3, rgb.data())
                             : stbi_write_png(path.c_str(), (int)w, (int)h, 3, rgb.data(), (int)w * 3);
    if (!ok) {
        _message("cannot write %s", path.c_str());
        return VIEW_WRITE;
    }
    std::printf("%s\n", path.c_str());
    return VIEW_OK;
}

static int _capture(void)
{
    std::vector<long> frames;
    std::string error;
    if (sViewFrameList(_args.frames, _scene()->GetFrameCnt(), &frames, &error) < 0) {
        _message("%s", error.c_str());
        return VIEW_USAGE;
    }
    CreateDirectoryA(_args.outDir.c_str(), nullptr);
    const DWORD a = GetFileAttributesA(_args.outDir.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) {
        _message("cannot make the folder %s", _args.outDir.c_str());
        return VIEW_WRITE;
    }
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    size_t next = 0;
    while (next < frames.size()) {
        _stepFrame(_frame + 1 == frames[next]);
        _pump();
        if (_frame == frames[next]) {
            const int result = _save(_frame);
            if (result != VIEW_OK)
                return result;
            ++next;
        }
    }
    QueryPerformanceCounter(&t1);
    std::printf("%s: %ld frames stepped, %u drawn, in %.2f s\n", _sceneName.c_str(), _frame + 1,
                (unsigned)frames.size(), _ms(t0, t1) / 1000.0);
    return VIEW_OK;
}

static int _interactive(void)
{
    _stepFrame(true);
    _title();
    DWORD last = timeGetTime();
    while (!_quit) {
        _pump();
        Scene *scene = _scene();
        if (!scene)
            break;
        const long lastFrame = (long)scene->GetFrameCnt() - 1;
        const DWORD period = scene->GetFps() > 0 ? (DWORD)(1000 / scene->GetFps()) : 33;
        int result = VIEW_OK;
        if (_restart) {
            _restart = false;
            result = _replayTo(0);
        } else if (_stepReq < 0) {
            if (_frame > 0)
                result = _replayTo(_frame - 1);
        } else if (_stepReq > 0) {
            _stepFrame(true);
        } else if (!_paused && timeGetTime() - last >= period) {
            last = timeGetTime();
            if (_frame >= lastFrame)
                result = _replayTo(0);  // from the start again, as a looping run would
            else
                _stepFrame(true);
        } else {
            Sleep(1);
            continue;
        }
        _stepReq = 0;
        if (result != VIEW_OK)
            return result;
        _title();
    }
    return VIEW_OK;
}

// ---- Start-up -----------------------------------------------------------------------------

static bool _openWindow(void)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = _proc;
    wc.hInstance = sysWork.instH;
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    wc.lpszClassName = _className;
    RegisterClassA(&wc);
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;
    RECT r = {0, 0, (LONG)_args.width, (LONG)_args.height};
    AdjustWindowRect(&r, style, FALSE);
    sysWork.rootWinH = CreateWindowExA(0, _className, "KsxView", style, 0, 0, r.right - r.left, r.bottom - r.top,
                                       nullptr, nullptr, sysWork.instH, nullptr);
    if (!sysWork.rootWinH)
        return false;
    sysWork.status |= SYS_ACTIVE;
    ShowWindow(sysWork.rootWinH, SW_SHOW);
    SetForegroundWindow(sysWork.rootWinH);
    sSysSetWinRect(_args.width, _args.height);
    _pump();
    return true;
}

static const char _usage[] =
    "usage: KsxView <scene> [<images> | -] [--bench N | --demo N] [--light] [--size WxH]\n"
    "               [--frames LIST --out DIR [--format png|bmp]]\n"
    "  <scene>   a scene package, or its number (23 -> Data\\Ksx\\23.ksx)\n"
    "  <images>  its image package, or its number (03 -> Data\\Ksf\\03.ksf); - for none;\n"
    "            left out: the one the row registers\n"
    "  --bench N, --demo N  play it with that table row's options and effects\n"
    "  --frames LIST        frames to capture (numbers, start, mid, end), e.g. 0,120,end\n";

static int _run(void)
{
    if (!_exists(_args.scenePath)) {
        _message("scene package %s not found", _args.scenePath.c_str());
        return VIEW_PACKAGE;
    }
    int result = _selectRow();
    if (result != VIEW_OK)
        return result;
    if (!_args.imagePath.empty() && !_exists(_args.imagePath)) {
        _message("image package %s not found", _args.imagePath.c_str());
        return VIEW_PACKAGE;
    }
    // Read once beforehand, so both reads and the load find the files equally cached.
    _readFileMs(_args.scenePath);
    _readFileMs(_args.imagePath);
    _readMs[0] = _readFileMs(_args.scenePath);
    _readMs[1] = _readFileMs(_args.imagePath);
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    _defP = (_sceneDef *)entryKsx(_args.scenePath.c_str());
    QueryPerformanceCounter(&t1);
    _entryMs = _ms(t0, t1);
    if (!_defP) {
        _message("%s is not a readable scene package", _args.scenePath.c_str());
        return VIEW_PACKAGE;
    }
    _sceneName = sViewBaseName(_args.scenePath);

    if (!_openWindow()) {
        _message("%s", "cannot open a window");
        return VIEW_DEVICE;
    }
    GUID hal = IID_IDirect3DHALDevice;
    // Another program on the display (a full-screen run) can hold the device for a moment.
    long opened = -1;
    for (int attempt = 0; attempt < 5 && opened != 0; ++attempt) {
        if (attempt)
            Sleep(500);
        opened = sDrawManInit(_args.width, _args.height, (long)_row.depth, nullptr, &hal, 0, 0);
    }
    if (opened != 0) {
        _message("%s", "cannot open a Direct3D device");
        DestroyWindow(sysWork.rootWinH);
        return VIEW_DEVICE;
    }
    sysWork.status |= SYS_READY;
    benchClass.Init();
    benchClass.SetStep((uint16_t)_step);

    result = _load();
    if (result == VIEW_OK)
        result = _args.frames.empty() ? _interactive() : _capture();
    _unload();
    benchClass.Exit();
    sDrawManExit();
    sysWork.status &= ~SYS_READY;
    DestroyWindow(sysWork.rootWinH);
    sysWork.rootWinH = nullptr;
    std::free(_defP);
    _defP = nullptr;
    return result;
}

int main(int aArgc, char **aArgv)
{
    const int common = sToolArgsCommon(aArgc, aArgv, "KsxView", _usage);
    if (common >= 0)
        return common;
    std::vector<std::string> args(aArgv + 1, aArgv + aArgc);
    std::string error;
    if (sViewParseArgs(args, &_args, &error) < 0) {
        _message("%s", error.c_str());
        std::fputs(_usage, stderr);
        return VIEW_USAGE;
    }
    sSysOpenDebugLog();
    std::memset(&sysWork, 0, sizeof sysWork);
    sysWork.instH = GetModuleHandleA(nullptr);
    sysWork.langID = GetSystemDefaultLangID();
    // Image packages register through the draw manager, as in the program.
    entryKsfDrawHook();
    CoInitialize(nullptr);
    const int result = _run();
    CoUninitialize();
    std::fflush(stdout);
    return result;
}
