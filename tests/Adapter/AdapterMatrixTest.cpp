// The compatibility matrix: the real Kestrel.exe on every adapter of AdapterProfiles.h, through
// the test layer (ddraw.dll beside a copy of the program). In each profile the panel starts with
// the edition the hardware check gives and shows the adapter; a benchmark of every test scores
// each test whose screen mode the adapter has and leaves the others unplayed; the demo's first
// scenes load and play. Failed device calls in Kestrel's own log must all be refusals the layer
// made. The matrix is printed and written beside the test as Markdown.

#include "Driver.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "AdapterProfiles.h"

namespace {

constexpr int IDC_EXIT = 1026, IDC_DEMOSET = 1027, IDC_RUNDEMO = 1030, IDC_RUNBENCH = 1031;
constexpr int IDC_SYS_DISP1 = 1201, IDC_SYS_DISP2 = 1202;
constexpr int IDC_DEMO_DEVICE = 1206, IDC_DEMO_DISPLAY = 1212;

const char *const kTestName[10] = {
    "Game1 (Low)",  "Game1 (High)", "Game2 (Low)", "Game2 (High)",  "Game3 (Low)",
    "Game3 (High)", "The Surface",  "2D Graphics", "Space Fighter", "Your Fighter",
};
// Each test's screen mode in the full benchmark table; the Light table plays them at 640 x 480
// and has no High tests.
const struct { int w, h, d; } kTestMode[10] = {
    {640, 480, 16}, {1280, 1024, 16}, {640, 480, 16}, {1280, 1024, 16}, {640, 480, 16},
    {1280, 1024, 16}, {640, 480, 32}, {640, 480, 16}, {640, 480, 16}, {640, 480, 16},
};
const bool kHighTest[10] = {false, true, false, true, false, true, false, false, false, false};

// The test command plays a slice of the matrix (a 16-bit and a 32-bit test, the demo's first
// scenes); KESTREL_MATRIX_FULL=1 (scripts/bench.sh) plays every test in both editions.
bool Full()
{
    const char *full = std::getenv("KESTREL_MATRIX_FULL");
    return full && *full == '1';
}
const bool kSliceTest[10] = {true, false, false, false, false, false, true, false, false, false};

std::string gBin;   // the built program's folder: its Data, KestrelRun.exe
std::string gWork;  // the test's copy of Kestrel.exe with the layer beside it
std::string gTable; // the matrix as Markdown

std::string ReadText(const std::string &aPath)
{
    const std::string text = drv::ReadFile(aPath);
    std::string clean;
    for (char c : text)
        if (c != '\r')
            clean += c;
    return clean;
}

std::vector<std::string> Lines(const std::string &aText)
{
    std::vector<std::string> lines;
    std::istringstream in(aText);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Ends the test's own copies of the program still running (a run the runner gave up on leaves
// its Kestrel behind), by process id; the program's own folder is left alone.
void EndCopies()
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry)) {
        if (lstrcmpiA(entry.szExeFile, "Kestrel.exe") != 0 && lstrcmpiA(entry.szExeFile, "KsxView.exe") != 0)
            continue;
        HANDLE mods = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, entry.th32ProcessID);
        MODULEENTRY32 mod = {};
        mod.dwSize = sizeof mod;
        const bool ours = mods != INVALID_HANDLE_VALUE && Module32First(mods, &mod) &&
                          std::string(mod.szExePath).rfind(gWork + "\\", 0) == 0;
        if (mods != INVALID_HANDLE_VALUE)
            CloseHandle(mods);
        if (!ours)
            continue;
        if (HANDLE proc = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
            TerminateProcess(proc, 997);
            WaitForSingleObject(proc, 5000);
            CloseHandle(proc);
        }
    }
    CloseHandle(snap);
}

// "Z:\..." for a path of the machine Wine runs on.
std::string DosPath(std::string aPath)
{
    for (char &c : aPath)
        if (c == '/')
            c = '\\';
    return aPath.size() && aPath[0] == '\\' ? "Z:" + aPath : aPath;
}

std::string ComboItems(HWND aDlg, int aId)
{
    HWND box = GetDlgItem(aDlg, aId);
    std::string all;
    const int n = (int)SendMessageA(box, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; ++i) {
        // Only the wide form of the message crosses between processes under Wine.
        wchar_t wide[128] = L"";
        char text[128] = "";
        SendMessageW(box, CB_GETLBTEXT, i, (LPARAM)wide);
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        all += std::string(all.empty() ? "" : "; ") + text;
    }
    return all;
}

// The edition the hardware check gives for this much video memory beside the desktop.
enum class Edition { FullSpec, Light, Insufficient };

const char *EditionName(Edition aEdition)
{
    return aEdition == Edition::FullSpec ? "FullSpec" : aEdition == Edition::Light ? "Light" : "insufficient";
}

Edition ExpectedEdition(const _adapterDef &aDef)
{
    if (sAdapterPassThrough(&aDef))
        return Edition::FullSpec;
    HDC dc = GetDC(nullptr);
    const uint32_t desktop = (uint32_t)GetDeviceCaps(dc, HORZRES) * (uint32_t)GetDeviceCaps(dc, VERTRES) *
                             (uint32_t)(GetDeviceCaps(dc, BITSPIXEL) / 8);
    ReleaseDC(nullptr, dc);
    MEMORYSTATUS mem = {};
    mem.dwLength = sizeof mem;
    GlobalMemoryStatus(&mem);
    const uint32_t video = desktop + aDef.vramMB * 1024u * 1024u;
    if (video >= 0x1C00000u && mem.dwTotalPhys >= 0x7800000u)
        return Edition::FullSpec;
    if (video >= 0xC00000u && mem.dwTotalPhys >= 0x2C00000u)
        return Edition::Light;
    return Edition::Insufficient;
}

bool ModeOffered(const _adapterDef &aDef, int aW, int aH, int aD)
{
    if (sAdapterPassThrough(&aDef))
        return true;
    const uint32_t depth = aD == 16 ? (uint32_t)ADAPTER_MODE16 : (uint32_t)ADAPTER_MODE32;
    return (aDef.modes & depth) && (uint32_t)aW <= aDef.modeMaxW && (uint32_t)aH <= aDef.modeMaxH;
}

// One row of the matrix: a profile in one edition.
struct Row {
    std::string profile, edition, adapter, devices, modes;
    std::string cell[10]; // scored NNN / unplayed / - (not in this edition) / FAILED ...
    std::string demo;
    int failedCalls = 0, explained = 0, refusals = 0;
    int textureLost = 0; // textures Kestrel could not make ("テクスチャ登録失敗" in its log)
    int seconds = 0;
};

// Failed device calls in Kestrel's logs, and how many of them carry a result the layer returned.
void CountFailures(const std::vector<std::string> &aKestrelLogs, const std::string &aLayerLog, Row *aRowP,
                   std::string *aOddP)
{
    std::map<std::string, int> refused; // "(0x887600..)" -> count
    for (const std::string &line : Lines(ReadText(aLayerLog))) {
        const size_t at = line.rfind("(0x");
        if (at != std::string::npos) {
            ++refused[line.substr(at)];
            ++aRowP->refusals;
        }
    }
    // The texture manager's note of a texture it could not make, as the log holds it (CP932).
    const std::string textureNote = "\x83\x65\x83\x4E\x83\x58\x83\x60\x83\x83\x93\x6F\x98\x5E\x8E\xB8\x94\x73";
    for (const std::string &log : aKestrelLogs) {
        for (const std::string &line : Lines(ReadText(log))) {
            aRowP->textureLost += line.find(textureNote) != std::string::npos;
            if (line.find(" failed: ") == std::string::npos || line.find("(0x") == std::string::npos)
                continue;
            ++aRowP->failedCalls;
            if (refused.count(line.substr(line.rfind("(0x"))))
                ++aRowP->explained;
            else
                *aOddP += line + "\n";
        }
    }
}

class AdapterMatrix : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char dir[MAX_PATH];
        GetCurrentDirectoryA(sizeof dir, dir);
        gBin = dir;
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        gWork = std::string(temp) + "KestrelAdapters";
        CreateDirectoryA(gWork.c_str(), nullptr);
        const char *layer = std::getenv("KESTREL_ADAPTER_DLL");
        ASSERT_NE(layer, nullptr) << "KESTREL_ADAPTER_DLL names the test layer";
        ASSERT_TRUE(CopyFileA(DosPath(layer).c_str(), (gWork + "\\ddraw.dll").c_str(), FALSE)) << layer;
        for (const char *exe : {"Kestrel.exe", "KsxView.exe"})
            ASSERT_TRUE(CopyFileA((gBin + "\\" + exe).c_str(), (gWork + "\\" + exe).c_str(), FALSE)) << exe;
        gTable = "| Adapter | Edition | ";
        for (const char *name : kTestName)
            gTable += std::string(name) + " | ";
        gTable += "Demo | Failed calls (refused by the adapter) | Textures not made |\n|---|---|";
        for (int i = 0; i < 13; ++i)
            gTable += "---|";
        gTable += "\n";
    }

    static void TearDownTestSuite()
    {
        EndCopies();
        std::remove((gBin + "\\Data\\ForceLightList").c_str());
        std::printf("\n%s\n", gTable.c_str());
        const std::string out = gWork + "\\matrix.md";
        if (FILE *fp = std::fopen(out.c_str(), "wb")) {
            std::fputs(gTable.c_str(), fp);
            std::fclose(fp);
            std::printf("(written to %s)\n", out.c_str());
        }
    }

    // Everything started from here on plays aDef.
    static void UseProfile(const _adapterDef &aDef, const std::string &aLayerLog)
    {
        SetEnvironmentVariableA("KESTREL_ADAPTER", aDef.name);
        SetEnvironmentVariableA("KESTREL_ADAPTER_LOG", aLayerLog.c_str());
    }

    // The panel: edition, adapter, devices and modes; then the demo's first scenes, or the demo
    // up to the run-log line aUntilP ("end light 19").
    void PanelAndDemo(const _adapterDef &aDef, Edition aEdition, Row *aRowP, const char *aUntilP = nullptr)
    {
        const std::string runLog = gWork + "\\demo-run.log", kestrelLog = gWork + "\\demo-kestrel.log";
        DeleteFileA(runLog.c_str());
        struct _killer {
            drv::Process p;
            ~_killer() { p.Kill(); }
        } guard;
        drv::Process &kestrel = guard.p;
        ASSERT_TRUE(kestrel.Start((gWork + "\\Kestrel.exe").c_str(), gBin.c_str(),
                                  {"KESTREL_RUNLOG=" + runLog, "KESTREL_LOG=" + kestrelLog, "KESTREL_SCENE_MS=700"}));
        if (aEdition == Edition::Insufficient) {
            HWND box = kestrel.WaitMessageBox();
            ASSERT_NE(box, nullptr) << aDef.name << ": no message";
            EXPECT_NE(drv::MessageText(box).find("insufficient hardware"), std::string::npos) << drv::MessageText(box);
            aRowP->edition = "insufficient";
            drv::Click(box, IDOK);
            DWORD code = 99;
            EXPECT_TRUE(kestrel.WaitExit(20000, &code));
            EXPECT_EQ(code, 0u);
            aRowP->demo = "-";
            return;
        }
        const std::string title = std::string("Kestrel ") + EditionName(aEdition);
        HWND panel = kestrel.WaitWindow("#32770", title.c_str(), 60000);
        if (!panel) {
            HWND other = kestrel.FindWindow(nullptr, nullptr);
            FAIL() << aDef.name << ": no panel titled " << title << "; "
                   << (other ? drv::ClassName(other) + " \"" + drv::WindowText(other) + "\"" : "no window");
        }
        aRowP->edition = EditionName(aEdition);
        aRowP->adapter = drv::WindowText(GetDlgItem(panel, IDC_SYS_DISP1));
        const std::string more = drv::WindowText(GetDlgItem(panel, IDC_SYS_DISP2));
        if (more.rfind("Free VRAM", 0) != 0)
            aRowP->adapter += more;
        if (aDef.description) {
            EXPECT_NE(aRowP->adapter.find(std::string(aDef.description).substr(0, 12)), std::string::npos)
                << aRowP->adapter;
        }
        // Demo Setting lists the devices and the modes the survey found.
        drv::Click(panel, IDC_DEMOSET);
        HWND setting = kestrel.WaitDialogWith(IDC_DEMO_DEVICE);
        ASSERT_NE(setting, nullptr);
        aRowP->devices = ComboItems(setting, IDC_DEMO_DEVICE);
        aRowP->modes = ComboItems(setting, IDC_DEMO_DISPLAY);
        drv::Click(setting, IDCANCEL);
        const bool tnl = aRowP->devices.find("Hardware T&L") != std::string::npos;
        if (!sAdapterPassThrough(&aDef)) {
            EXPECT_EQ(tnl, (aDef.devices & ADAPTER_DEV_TNL) != 0) << aDef.name << ": " << aRowP->devices;
            EXPECT_EQ(aRowP->modes.find("32bit") != std::string::npos, (aDef.modes & ADAPTER_MODE32) != 0)
                << aDef.name << ": " << aRowP->modes;
        }
        _waitGone(setting);

        drv::Click(panel, IDC_RUNDEMO);
        // The next scene started after the first ones ended: the demo goes on through the adapter.
        auto thirdStarted = [](void *aLog) {
            const std::string text = ReadText(*(const std::string *)aLog);
            const char *const next = Full() ? " 2 " : " 1 ";
            return text.find(std::string("start demo") + next) != std::string::npos ||
                   text.find(std::string("start light") + next) != std::string::npos;
        };
        struct _until {
            std::string log;
            const char *line;
        } until = {runLog, aUntilP};
        auto lineWritten = [](void *aUntil) {
            const _until &u = *(const _until *)aUntil;
            return ReadText(u.log).find(std::string(u.line) + " ") != std::string::npos;
        };
        std::string log = runLog;
        const bool reached =
            aUntilP ? drv::WaitFor(240000, lineWritten, &until) : drv::WaitFor(90000, thirdStarted, &log);
        EXPECT_TRUE(reached) << aDef.name << ": the demo did not reach its third scene\n" << ReadText(runLog);
        EXPECT_TRUE(kestrel.Running()) << aDef.name << ": Kestrel ended during the demo";
        if (HWND render = kestrel.FindWindow(title.c_str(), nullptr))
            drv::PressKey(render, VK_ESCAPE);
        panel = kestrel.WaitWindow("#32770", title.c_str(), 30000);
        ASSERT_NE(panel, nullptr) << aDef.name << ": the panel did not come back after the demo";
        int started = 0, failed = 0;
        for (const std::string &line : Lines(ReadText(runLog))) {
            if (line.compare(0, 6, "start ") == 0) {
                ++started;
                failed += line.find(" failed") != std::string::npos;
            }
        }
        aRowP->demo = reached && failed == 0 ? std::to_string(started) + " scenes played" : "FAILED";
        EXPECT_EQ(failed, 0) << ReadText(runLog);
        drv::Click(panel, IDC_EXIT);
        DWORD code = 99;
        ASSERT_TRUE(kestrel.WaitExit(20000, &code));
        EXPECT_EQ(code, 0u);
    }

    static void _waitGone(HWND aWin)
    {
        drv::WaitFor(5000, [](void *aW) { return !IsWindow((HWND)aW); }, aWin);
    }

    // The benchmark of every test this edition has, through the unattended runner.
    void Benchmark(const _adapterDef &aDef, Edition aEdition, Row *aRowP)
    {
        const std::string out = gWork + "\\results.txt", kestrelLog = gWork + "\\bench-kestrel.log",
                          console = gWork + "\\runner.txt";
        DeleteFileA(out.c_str());
        std::string tests;
        for (int i = 0; i < 10; ++i)
            if ((aEdition == Edition::FullSpec || !kHighTest[i]) && (Full() || kSliceTest[i]))
                tests += std::string(tests.empty() ? "" : ",") + std::to_string(i);
        const std::string cmd = "\"" + gBin + "\\KestrelRun.exe\" --tests " + tests + " --timeout 240 --exe \"" + gWork +
                                "\\Kestrel.exe\" --dir \"" + gBin + "\" --out \"" + out + "\" --log \"" + kestrelLog + "\"";
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        HANDLE outFile = CreateFileA(console.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(outFile, INVALID_HANDLE_VALUE);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = outFile;
        PROCESS_INFORMATION pi = {};
        std::string line = cmd;
        // The runner's clock is its own; the program's runs forty times faster.
        SetEnvironmentVariableA("KESTREL_ADAPTER_PACE", "40");
        const BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
        SetEnvironmentVariableA("KESTREL_ADAPTER_PACE", nullptr);
        CloseHandle(outFile);
        ASSERT_TRUE(started) << cmd;
        const bool ended = WaitForSingleObject(pi.hProcess, 300000) == WAIT_OBJECT_0;
        if (!ended) {
            TerminateProcess(pi.hProcess, 998);
            EndCopies();
        }
        DWORD code = 999;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        const std::string said = ReadText(console);
        EXPECT_TRUE(ended) << aDef.name << ": the runner hung\n" << said;
        // 0: every test scored; 3: some test left unplayed (its mode is missing), never worse.
        EXPECT_TRUE(code == 0 || code == 3) << aDef.name << ": runner exit " << code << "\n" << said;
        const std::string text = ReadText(out);
        for (int i = 0; i < 10; ++i) {
            if ((aEdition != Edition::FullSpec && kHighTest[i]) || !(Full() || kSliceTest[i])) {
                aRowP->cell[i] = "-";
                continue;
            }
            const std::string head = std::string("<") + kTestName[i] + ">\n";
            size_t at = text.find(head);
            std::string score;
            if (at != std::string::npos && (at = text.find("Kestrel Score", at)) != std::string::npos) {
                score = text.substr(at + 13, text.find('\n', at) - at - 13);
                score.erase(0, score.find_first_not_of(' '));
            }
            const bool playable = ModeOffered(aDef, kTestMode[i].w, kTestMode[i].h, kTestMode[i].d);
            const bool scored = !score.empty() && score != "None" && std::atoi(score.c_str()) > 0;
            if (playable && scored)
                aRowP->cell[i] = "scored " + std::to_string(std::atoi(score.c_str()));
            else if (!playable && (score == "None" || score.empty()))
                aRowP->cell[i] = "unplayed (no " + std::to_string(kTestMode[i].w) + "x" + std::to_string(kTestMode[i].h) +
                                 "x" + std::to_string(kTestMode[i].d) + ")";
            else
                aRowP->cell[i] = "FAILED (" + (score.empty() ? std::string("no result") : score) + ")";
            EXPECT_EQ(aRowP->cell[i].compare(0, 6, "FAILED"), 1) << aDef.name << " " << kTestName[i] << ": "
                                                                 << aRowP->cell[i] << "\n" << said;
        }
    }

    void PlayProfile(const _adapterDef &aDef, bool aForceLight)
    {
        const DWORD t0 = GetTickCount();
        Row row;
        row.profile = aDef.name;
        const std::string layerLog = gWork + "\\layer.log";
        DeleteFileA(layerLog.c_str());
        DeleteFileA((gWork + "\\demo-kestrel.log").c_str());
        DeleteFileA((gWork + "\\bench-kestrel.log").c_str());
        UseProfile(aDef, layerLog);
        Edition edition = ExpectedEdition(aDef);
        const std::string forceList = gBin + "\\Data\\ForceLightList";
        if (aForceLight) {
            ASSERT_EQ(edition, Edition::FullSpec) << aDef.name;
            FILE *fp = std::fopen(forceList.c_str(), "wt");
            ASSERT_NE(fp, nullptr);
            std::fprintf(fp, "%s\n", aDef.description);
            std::fclose(fp);
            edition = Edition::Light;
        }
        PanelAndDemo(aDef, edition, &row);
        if (edition != Edition::Insufficient && !HasFatalFailure())
            Benchmark(aDef, edition, &row);
        else
            for (std::string &c : row.cell)
                c = "-";
        if (aForceLight)
            std::remove(forceList.c_str());
        std::string odd;
        CountFailures({gWork + "\\demo-kestrel.log", gWork + "\\bench-kestrel.log"}, layerLog, &row, &odd);
        EXPECT_TRUE(odd.empty()) << aDef.name << ": failed device calls the adapter did not cause:\n" << odd;
        row.seconds = (int)((GetTickCount() - t0) / 1000);
        std::printf("[%s %s] %d s: adapter \"%s\"; devices %s; modes %s; demo %s; failed calls %d (%d refused by the "
                    "adapter, which refused %d); textures not made %d\n",
                    row.profile.c_str(), row.edition.c_str(), row.seconds, row.adapter.c_str(), row.devices.c_str(),
                    row.modes.c_str(), row.demo.c_str(), row.failedCalls, row.explained, row.refusals, row.textureLost);
        std::fflush(stdout);
        gTable += "| " + std::string(aDef.summary) + " | " + row.edition + " | ";
        for (const std::string &c : row.cell)
            gTable += c + " | ";
        gTable += row.demo + " | " + std::to_string(row.failedCalls) + " (" + std::to_string(row.explained) + ") | " +
                  std::to_string(row.textureLost) + " |\n";
        // Every texture is made on every adapter: in its own format and size where the card
        // lacks the one asked for.
        EXPECT_EQ(row.textureLost, 0) << aDef.name << ": textures Kestrel could not make";
        SetEnvironmentVariableA("KESTREL_ADAPTER", nullptr);
    }
};

// KESTREL_ADAPTERS=name,name plays only those profiles (by hand).
bool Chosen(const _adapterDef &aDef)
{
    const char *only = std::getenv("KESTREL_ADAPTERS");
    return !only || !*only || ("," + std::string(only) + ",").find("," + std::string(aDef.name) + ",") != std::string::npos;
}

TEST_F(AdapterMatrix, EveryProfileInItsOwnEdition)
{
    for (const _adapterDef &def : adapterDefTbl) {
        if (!Chosen(def))
            continue;
        SCOPED_TRACE(def.name);
        PlayProfile(def, false);
    }
}

TEST_F(AdapterMatrix, FullSpecAdaptersForcedLight)
{
    if (!Full())
        GTEST_SKIP() << "KESTREL_MATRIX_FULL=1 plays the FullSpec adapters in the Light edition too";
    for (const _adapterDef &def : adapterDefTbl) {
        if (!Chosen(def) || !def.description || ExpectedEdition(def) != Edition::FullSpec)
            continue;
        SCOPED_TRACE(def.name);
        PlayProfile(def, true);
    }
}

// ---- Pictures

// A 24-bit bottom-up BMP as the viewer writes it: width, height and BGR rows.
struct Picture {
    int w = 0, h = 0;
    std::vector<unsigned char> bgr;
};

bool ReadBmp(const std::string &aPath, Picture *aOutP)
{
    const std::string data = drv::ReadFile(aPath);
    if (data.size() < 54 || data[0] != 'B' || data[1] != 'M')
        return false;
    auto u32 = [&](size_t at) { return (uint32_t)(unsigned char)data[at] | (uint32_t)(unsigned char)data[at + 1] << 8 |
                                       (uint32_t)(unsigned char)data[at + 2] << 16 | (uint32_t)(unsigned char)data[at + 3] << 24; };
    const uint32_t offset = u32(10), w = u32(18), h = u32(22);
    const unsigned bits = (unsigned char)data[28];
    const size_t pitch = ((size_t)w * 3 + 3) & ~(size_t)3;
    if (bits != 24 || w == 0 || h == 0 || w > 4096 || h > 4096 || offset + pitch * h > data.size())
        return false;
    aOutP->w = (int)w;
    aOutP->h = (int)h;
    aOutP->bgr.resize((size_t)w * h * 3);
    for (uint32_t y = 0; y < h; ++y)
        std::memcpy(&aOutP->bgr[(size_t)y * w * 3], data.data() + offset + pitch * y, (size_t)w * 3);
    return true;
}

// One frame of a benchmark scene, captured by the viewer through the layer; "" when none.
std::string Capture(const _adapterDef &aDef, const char *aScene, int aRow, const char *aFrame, DWORD *aCodeP = nullptr)
{
    SetEnvironmentVariableA("KESTREL_ADAPTER", aDef.name);
    SetEnvironmentVariableA("KESTREL_ADAPTER_LOG", nullptr);
    const std::string dir = gWork + "\\pictures\\" + aDef.name;
    CreateDirectoryA((gWork + "\\pictures").c_str(), nullptr);
    CreateDirectoryA(dir.c_str(), nullptr);
    // The viewer names the file by the frame it reached: <scene>_<frame>.bmp.
    const std::string pattern = dir + "\\" + aScene + "_*.bmp";
    auto found = [&]() -> std::string {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA(pattern.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return "";
        FindClose(find);
        return dir + "\\" + data.cFileName;
    };
    for (std::string old; !(old = found()).empty();)
        DeleteFileA(old.c_str());
    std::string cmd = "\"" + gWork + "\\KsxView.exe\" " + aScene + " --bench " + std::to_string(aRow) +
                      " --size 640x480 --frames " + aFrame + " --out \"" + dir + "\" --format bmp";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, gBin.c_str(), &si, &pi))
        return "";
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 998);
    DWORD code = 999;
    GetExitCodeProcess(pi.hProcess, &code);
    if (aCodeP)
        *aCodeP = code;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    SetEnvironmentVariableA("KESTREL_ADAPTER", nullptr);
    return found();
}

// Mean absolute difference per channel (0..255) and the share of pixels differing by more than 48.
void Compare(const Picture &aA, const Picture &aB, double *aMeanP, double *aOffP)
{
    double sum = 0;
    size_t offCount = 0;
    const size_t n = (size_t)aA.w * aA.h;
    for (size_t i = 0; i < n; ++i) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) {
            const int d = std::abs((int)aA.bgr[i * 3 + c] - (int)aB.bgr[i * 3 + c]);
            sum += d;
            worst = d > worst ? d : worst;
        }
        offCount += worst > 48;
    }
    *aMeanP = sum / (3.0 * n);
    *aOffP = (double)offCount / n;
}

// Where the adapter leaves Kestrel the formats and sizes the control gives it, the picture is the
// control's, pixel for pixel.
TEST_F(AdapterMatrix, PicturesMatchTheControlWhereTheFormatsDo)
{
    const struct {
        const char *scene;
        int row;
        const char *frame;
    } shotTbl[] = {{"23", 0, "mid"}};
    // Each leaves Kestrel the formats and sizes the control does: the scene's textures are square,
    // at most 1024, and Kestrel passes over the compressed and palette formats listed first.
    const char *const profileTbl[] = {"tnl32", "notl32", "dxt64", "shared8"};
    const _adapterDef *control = sAdapterFind("everything");
    for (const auto &shot : shotTbl) {
        Picture ref;
        const std::string refPath = Capture(*control, shot.scene, shot.row, shot.frame);
        ASSERT_TRUE(ReadBmp(refPath, &ref)) << shot.scene << ": no capture from the control";
        for (const char *name : profileTbl) {
            const _adapterDef *def = sAdapterFind(name);
            if (!Chosen(*def))
                continue;
            Picture pic;
            const std::string path = Capture(*def, shot.scene, shot.row, shot.frame);
            ASSERT_TRUE(ReadBmp(path, &pic)) << name << " " << shot.scene << ": no capture";
            ASSERT_EQ(pic.w, ref.w);
            ASSERT_EQ(pic.h, ref.h);
            double mean = 0, off = 0;
            Compare(ref, pic, &mean, &off);
            std::printf("[picture %s %s] mean difference %.2f, %.2f %% of pixels far off\n", name, shot.scene, mean,
                        off * 100.0);
            EXPECT_EQ(mean, 0.0) << name << " " << shot.scene;
        }
    }
}

// The Light demo's water scene draws its reflection into a 512 x 512 texture; the 16-bit-only
// card takes 256 x 256 at most. Kestrel asks for what the card has: nothing refused, nothing
// failed in its log.
TEST_F(AdapterMatrix, SixteenBitCardTakesTheWaterSceneInItsOwnTextureSize)
{
    const _adapterDef *def = sAdapterFind("accel16");
    if (!Chosen(*def))
        GTEST_SKIP();
    const std::string layerLog = gWork + "\\layer.log";
    DeleteFileA(layerLog.c_str());
    DeleteFileA((gWork + "\\demo-kestrel.log").c_str());
    UseProfile(*def, layerLog);
    Row row;
    PanelAndDemo(*def, ExpectedEdition(*def), &row, "end light 19");
    SetEnvironmentVariableA("KESTREL_ADAPTER", nullptr);
    std::string odd;
    CountFailures({gWork + "\\demo-kestrel.log"}, layerLog, &row, &odd);
    std::printf("[accel16 water] demo %s; failed calls %d, refused by the adapter %d\n", row.demo.c_str(),
                row.failedCalls, row.refusals);
    EXPECT_EQ(row.failedCalls, 0) << odd << ReadText(gWork + "\\demo-kestrel.log");
    EXPECT_EQ(row.refusals, 0) << ReadText(layerLog);
    EXPECT_EQ(row.textureLost, 0);
}

// A card with 3D in 16 bits only cannot draw into a window on a 32-bit desktop: the viewer says
// so and ends with its device code, nothing worse.
TEST_F(AdapterMatrix, SixteenBitCardRefusesAWindowOnA32BitDesktop)
{
    const _adapterDef *def = sAdapterFind("accel16");
    HDC dc = GetDC(nullptr);
    const int bits = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(nullptr, dc);
    if (!Chosen(*def) || bits != 32)
        GTEST_SKIP() << "the desktop has " << bits << " bits";
    DWORD code = 0;
    EXPECT_EQ(Capture(*def, "23", 0, "mid", &code), "");
    EXPECT_EQ(code, 3u) << "the viewer's code for a device it cannot open";
}

} // namespace
