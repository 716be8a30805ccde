// Benchmarks the machine unattended: starts Kestrel.exe, sets the tests and options through its
// own dialogs as a user would, runs the benchmark, saves the results file through the save
// dialog and prints it, with the frame-time summary when the record is on. With --demo it plays
// the demo instead, through to its end or for a given time in Continuous Loop, and prints the
// scenes it played and the program's memory, handles and GDI objects at the start and the end.
// Any error Kestrel shows, an early end or a run that takes too long ends the runner with a
// message and a non-zero exit code.

#include <windows.h>
#include <psapi.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "App/Bench/BenchCore.h"
#include "Driver.h"
#include "Profile.h"
#include "ResultsCore.h"
#include "Submit.h"
#include "System/Sys/SYSFOLDER.h"
#include "ToolArgs.h"
#include "Watch.h"

namespace {

enum {
    EXIT_USAGE = 1,
    EXIT_KESTREL_ERROR = 2, // Kestrel showed a message
    EXIT_ENDED_EARLY = 3,
    EXIT_TIMEOUT = 4,
    EXIT_NOT_SAVED = 5,
    EXIT_DEMO_SHORT = 6, // the demo skipped or failed a scene
};

// Control ids of Kestrel's dialogs.
enum {
    IDC_EXIT = 1026, IDC_BENCHSET = 1028, IDC_RUNBENCH = 1031,
    IDC_BENCH_LOOP = 1127, IDC_BENCH_BGM = 1128, IDC_BENCH_PROTECT = 1203, IDC_BENCH_CHALLENGE = 1217,
    IDC_BENCH_FRAMETIME = 1218, IDC_BENCH_TEST0 = 1132,
    IDC_SCORE_SAVE = 1181, IDC_SCORE_EXIT = 1182,
    IDC_DEMOSET = 1027, IDC_RUNDEMO = 1030, IDC_DEMO_LOOP = 1033, IDC_DEMO_BGM = 1034,
};

const char *const kTestName[10] = {
    "Game1 (Low)",  "Game1 (High)", "Game2 (Low)", "Game2 (High)",  "Game3 (Low)",
    "Game3 (High)", "The Surface",  "2D Graphics", "Space Fighter", "Your Fighter",
};

struct Options {
    unsigned tests = 0; // bit n: row n; 0 = as Kestrel offers
    bool loop = false, bgm = false, protect = false, challenge = false, frameTime = false, profile = false;
    std::string out; // empty: Kestrel.txt where Kestrel writes
    std::string exe;
    std::string dir; // the folder Kestrel runs in (its Data); empty: beside Kestrel.exe
    std::string log; // device and load failures of the run; empty: none asked for
    bool demo = false;
    DWORD minutes = 0; // demo: play this long in Continuous Loop, then stop
    DWORD timeoutMs = 1800 * 1000;
    // Repeated runs: a fixed count, or until every test's CV is at most stablePct.
    long runs = 0;          // 0: one run as before, files unnumbered
    double stablePct = 0;   // --until-stable
    long maxRuns = 10;      // with --until-stable
    std::string report;     // the HTML report of the runs made
    // A results hub: every run sent when it ends, through the spool folder.
    std::string submit, token, spool;
    bool sendSpool = false;  // only send what waits in the spool
};

const char kUsage[] =
    "usage: KestrelRun [--tests LIST] [--loop] [--bgm] [--protect] [--challenge] [--frametime]\n"
    "                  [--profile] [--out FILE] [--log FILE] [--timeout SECONDS] [--exe PATH] [--dir PATH]\n"
    "                  [--runs N | --until-stable [P] [--max-runs M]] [--report FILE.html]\n"
    "                  [--submit URL --token T [--spool DIR]]\n"
    "       KestrelRun --submit URL --token T [--spool DIR] --send-spool\n"
    "       KestrelRun --demo [--minutes N] [--log FILE] [--timeout SECONDS] [--exe PATH] [--dir PATH]\n"
    "  --tests LIST   benchmark tests to run, numbered 0-9, e.g. 0,2,6-8 (default: all offered)\n"
    "  --challenge    Challenge Mode: each test's prompt is answered with a click once it is up\n"
    "  --loop         Continuous Loop: the render window is closed as the second pass begins, as a\n"
    "                 user would, and the first pass's results are saved\n"
    "  --frametime    record frame times and print each test's average, 1 % low and 99th percentile\n"
    "  --profile      sample where Kestrel's main thread runs and print each test's share in\n"
    "                 Kestrel's own code, in the draw driver and elsewhere\n"
    "  --out FILE     where the results file is saved (default Kestrel.txt in the folder Kestrel\n"
    "                 writes to: its own, or the user's application data when that is read-only)\n"
    "  --log FILE     Kestrel writes every failed device call and its scenes' notes to FILE\n"
    "                 (a new file); the runner prints how many calls failed\n"
    "  --demo         play the demo to its end with music; with --minutes N, in Continuous Loop\n"
    "                 for N minutes (a soak), then stop it with Escape\n"
    "  --runs N       run the benchmark N times; every run's results file and frame-time record\n"
    "                 are kept, numbered, beside --out (FILE-<time>-<k>.txt, ...-<k>-frames.csv) with\n"
    "                 a run record (...-record.txt) that kestrel-results imports\n"
    "  --until-stable [P]  repeat until every test's mean is known to +-P % (95 % interval;\n"
    "                 default 3) or --max-runs M (default 10, at least 5) runs are done: the spread\n"
    "                 of the first 5 runs sets how many runs that takes\n"
    "  --report FILE.html  write the report of the runs made: scores with their 95 % intervals,\n"
    "                 frame-time lines, percentiles, lows and stutters\n"
    "  --submit URL --token T  send each run, when it ends, to the results hub at URL\n"
    "                 (kestrel-results serve) with its write token; a run the hub cannot take now\n"
    "                 waits in the spool folder and goes with the next run\n"
    "  --spool DIR    the spool folder (default: KestrelSpool beside the results file)\n"
    "  --send-spool   with --submit: send what waits in the spool, run nothing\n"
    "  --timeout      longest time for one run (default 1800 s)\n"
    "  --exe PATH     Kestrel.exe (default: beside KestrelRun.exe)\n"
    "  --dir PATH     the folder Kestrel runs in, holding its Data (default: Kestrel.exe's)\n"
    "Tests: 0 Game1 (Low), 1 Game1 (High), 2 Game2 (Low), 3 Game2 (High), 4 Game3 (Low),\n"
    "       5 Game3 (High), 6 The Surface, 7 2D Graphics, 8 Space Fighter, 9 Your Fighter\n";

bool ParseTests(const char *aList, unsigned *aBits)
{
    *aBits = 0;
    for (const char *p = aList; *p;) {
        char *end;
        const long first = std::strtol(p, &end, 10);
        if (end == p || first < 0 || first > 9)
            return false;
        long last = first;
        p = end;
        if (*p == '-') {
            last = std::strtol(p + 1, &end, 10);
            if (end == p + 1 || last < first || last > 9)
                return false;
            p = end;
        }
        for (long i = first; i <= last; ++i)
            *aBits |= 1u << i;
        if (*p == ',')
            ++p;
        else if (*p)
            return false;
    }
    return *aBits != 0;
}

bool ParseArgs(int aArgc, char **aArgv, Options *aOpt)
{
    for (int i = 1; i < aArgc; ++i) {
        const std::string arg = aArgv[i];
        const bool hasValue = i + 1 < aArgc;
        if (arg == "--tests" && hasValue) {
            if (!ParseTests(aArgv[++i], &aOpt->tests))
                return false;
        } else if (arg == "--out" && hasValue) {
            aOpt->out = aArgv[++i];
        } else if (arg == "--log" && hasValue) {
            aOpt->log = aArgv[++i];
        } else if (arg == "--exe" && hasValue) {
            aOpt->exe = aArgv[++i];
        } else if (arg == "--timeout" && hasValue) {
            const long seconds = std::atol(aArgv[++i]);
            if (seconds <= 0)
                return false;
            aOpt->timeoutMs = (DWORD)seconds * 1000;
        } else if (arg == "--loop") {
            aOpt->loop = true;
        } else if (arg == "--bgm") {
            aOpt->bgm = true;
        } else if (arg == "--protect") {
            aOpt->protect = true;
        } else if (arg == "--challenge") {
            aOpt->challenge = true;
        } else if (arg == "--frametime") {
            aOpt->frameTime = true;
        } else if (arg == "--profile") {
            aOpt->profile = true;
        } else if (arg == "--dir" && hasValue) {
            aOpt->dir = aArgv[++i];
        } else if (arg == "--demo") {
            aOpt->demo = true;
        } else if (arg == "--runs" && hasValue) {
            aOpt->runs = std::atol(aArgv[++i]);
            if (aOpt->runs < 1 || aOpt->runs > 1000)
                return false;
        } else if (arg == "--until-stable") {
            aOpt->stablePct = 3;
            // The target is optional: a number follows or not.
            if (hasValue && (std::isdigit((unsigned char)aArgv[i + 1][0]) || aArgv[i + 1][0] == '.')) {
                char *end;
                aOpt->stablePct = std::strtod(aArgv[++i], &end);
                if (*end || !(aOpt->stablePct > 0) || aOpt->stablePct > 100)
                    return false;
            }
        } else if (arg == "--max-runs" && hasValue) {
            aOpt->maxRuns = std::atol(aArgv[++i]);
            if (aOpt->maxRuns < STATS_STAGE_RUNS || aOpt->maxRuns > 1000)
                return false;
        } else if (arg == "--report" && hasValue) {
            aOpt->report = aArgv[++i];
        } else if (arg == "--submit" && hasValue) {
            aOpt->submit = aArgv[++i];
        } else if (arg == "--token" && hasValue) {
            aOpt->token = aArgv[++i];
        } else if (arg == "--spool" && hasValue) {
            aOpt->spool = aArgv[++i];
        } else if (arg == "--send-spool") {
            aOpt->sendSpool = true;
        } else if (arg == "--minutes" && hasValue) {
            const long minutes = std::atol(aArgv[++i]);
            if (minutes <= 0)
                return false;
            aOpt->minutes = (DWORD)minutes;
        } else {
            return false;
        }
    }
    // A fixed count and a stability target exclude each other; a hub needs its token; the demo
    // makes no run to send.
    if (aOpt->submit.empty() != aOpt->token.empty() || (aOpt->sendSpool && aOpt->submit.empty()) ||
        (aOpt->demo && !aOpt->submit.empty()))
        return false;
    return !(aOpt->runs && aOpt->stablePct > 0);
}

// Failed device calls in the log: the check's lines ("...: CALL failed: NAME (0x...)"); the
// scenes' own notes in the same log are not failures.
unsigned FailedCalls(const std::string &aPath)
{
    unsigned calls = 0;
    if (FILE *f = std::fopen(aPath.c_str(), "r")) {
        char line[1024];
        while (std::fgets(line, sizeof line, f))
            calls += std::strstr(line, " failed: ") != nullptr && std::strstr(line, "(0x") != nullptr;
        std::fclose(f);
    }
    return calls;
}

std::string FullPath(const std::string &aPath)
{
    char full[MAX_PATH];
    return GetFullPathNameA(aPath.c_str(), sizeof full, full, nullptr) ? full : aPath;
}

std::string Folder(const std::string &aPath)
{
    const size_t cut = aPath.find_last_of("\\/");
    return cut == std::string::npos ? "." : aPath.substr(0, cut);
}

int Fail(int aCode, const std::string &aMessage)
{
    std::fprintf(stderr, "KestrelRun: %s\n", aMessage.c_str());
    return aCode;
}

// One step of the run: what Kestrel did while the runner waited.
enum class Seen { Wanted, Message, Ended, Late };

class Run {
public:
    drv::Process kestrel;
    DWORD deadline = 0;
    HWND box = nullptr;
    std::function<void()> tick; // called while waiting (the progress of repeated runs)

    // Waits until aFound returns a window, Kestrel shows a message, ends, or the time is up.
    template <class F> Seen Wait(F aFound, HWND *aWinP)
    {
        for (;;) {
            if (tick)
                tick();
            if ((*aWinP = aFound()) != nullptr)
                return Seen::Wanted;
            if ((box = drv::FindMessageBox(kestrel.Id())) != nullptr) {
                // A dialog being torn down can pass for a box for an instant; a real one stays.
                Sleep(300);
                if ((box = drv::FindMessageBox(kestrel.Id())) != nullptr)
                    return Seen::Message;
            }
            if (!kestrel.Running())
                return Seen::Ended;
            if ((LONG)(GetTickCount() - deadline) >= 0)
                return Seen::Late;
            Sleep(100);
        }
    }
    // Turns an unwanted outcome into the runner's message and exit code.
    int Report(Seen aSeen, const char *aWhile)
    {
        DWORD code = 0;
        switch (aSeen) {
        case Seen::Message:
            return Fail(EXIT_KESTREL_ERROR, std::string("Kestrel showed a message ") + aWhile + ": " +
                                                drv::WindowText(box) + ": \"" + drv::MessageText(box) + "\"");
        case Seen::Ended:
            kestrel.WaitExit(5000, &code);
            return Fail(EXIT_ENDED_EARLY,
                        std::string("Kestrel ended ") + aWhile + " (exit code " + std::to_string(code) + ")");
        case Seen::Late:
            return Fail(EXIT_TIMEOUT, std::string("Kestrel did not answer in time ") + aWhile);
        case Seen::Wanted:
            break;
        }
        return 0;
    }
    HWND Dialog(int aControlId) const { return drv::FindDialogWith(kestrel.Id(), aControlId); }
};

// The results file's score line of a test: its value, or an empty text when the test is absent.
std::string ScoreOf(const std::string &aText, const char *aName)
{
    const std::string head = std::string("<") + aName + ">\n";
    size_t at = aText.find(head);
    if (at == std::string::npos)
        return "";
    at = aText.find("Kestrel Score", at);
    if (at == std::string::npos)
        return "";
    const size_t end = aText.find('\n', at);
    std::string value = aText.substr(at + 13, end - at - 13);
    value.erase(0, value.find_first_not_of(' '));
    return value;
}

std::string ReadText(const std::string &aPath)
{
    std::string text;
    FILE *in = std::fopen(aPath.c_str(), "rb");
    if (!in)
        return text;
    for (int c; (c = std::getc(in)) != EOF;)
        if (c != '\r')
            text += (char)c;
    std::fclose(in);
    return text;
}

// Prints each test's frame times from the record Kestrel wrote beside itself.
bool PrintFrameSummary(const std::string &aPath)
{
    _benchFrameSum sum[16];
    const long n = sBenchFrameSummaryFile(aPath.c_str(), sum, 16);
    if (n < 0)
        return false;
    _benchFrameCost cost[16];
    const long costs = sBenchFrameCostFile(aPath.c_str(), cost, 16);
    // Then the device work per frame (means), in the record's order of counts.
    std::printf("\n[Frame Times]\n%-16s %8s %10s %12s %10s %10s %10s %11s %10s %7s %8s %7s %7s %7s %7s %6s %6s %8s\n",
                "Test", "Frames", "Shown fps", "1% low fps", "p99 ms", "update ms", "draw ms", "present ms", "upd+draw",
                "draws", "prims", "states", "redund", "skips", "tex", "locks", "reads", "upKB");
    for (long i = 0; i < n; ++i) {
        const char *name = sum[i].test >= 0 && sum[i].test < 10 ? kTestName[sum[i].test] : "?";
        std::printf("%-16s %8ld %10.1f %12.1f %10.2f", name, sum[i].frameCnt, sum[i].fpsAve, sum[i].low1Fps,
                    sum[i].p99Ms);
        // The costs are means per frame; the share counts the device calls made while drawing,
        // so it bounds Kestrel's own part from above.
        const _benchFrameCost *c = nullptr;
        for (long j = 0; j < costs; ++j)
            if (cost[j].test == sum[i].test)
                c = &cost[j];
        if (c) {
            std::printf(" %10.2f %10.2f %11.2f %9.1f%%", c->updateMs, c->drawMs, c->presentMs, c->ownShare * 100.0);
            const double *k = c->count;
            std::printf(" %7.1f %8.0f %7.1f %7.1f %7.1f %7.1f %6.1f %6.1f %8.1f", k[0], k[1], k[2], k[3], k[4], k[5],
                        k[6], k[7], k[8] / 1024.0);
        }
        std::printf("\n");
    }
    std::fflush(stdout);
    return true;
}

// What a long run could leak; -1 where the system cannot tell (Wine counts no handles or GDI
// objects of another process).
struct Resources {
    double privateBytes = -1, handles = -1, gdi = -1, user = -1;
    void Max(const Resources &aR)
    {
        privateBytes = aR.privateBytes > privateBytes ? aR.privateBytes : privateBytes;
        handles = aR.handles > handles ? aR.handles : handles;
        gdi = aR.gdi > gdi ? aR.gdi : gdi;
        user = aR.user > user ? aR.user : user;
    }
};

Resources Measure(HANDLE h)
{
    Resources r;
    PROCESS_MEMORY_COUNTERS_EX mem = {};
    mem.cb = sizeof mem;
    // Committed private memory; where PrivateUsage is left 0 the pagefile figure is the same.
    const _psapiFns &psapi = sProfilePsapi();
    if (psapi.getProcessMemoryInfo && psapi.getProcessMemoryInfo(h, (PROCESS_MEMORY_COUNTERS *)&mem, sizeof mem))
        r.privateBytes = (double)(mem.PrivateUsage ? mem.PrivateUsage : mem.PagefileUsage);
    // Windows 98 has neither count and 2000 no handle count: looked up, not imported, so the
    // runner starts there.
    typedef BOOL(WINAPI * handleCountFn)(HANDLE, PDWORD);
    typedef DWORD(WINAPI * guiResourcesFn)(HANDLE, DWORD);
    const handleCountFn handleCount =
        (handleCountFn)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessHandleCount");
    const guiResourcesFn guiResources =
        (guiResourcesFn)(void *)GetProcAddress(GetModuleHandleA("user32.dll"), "GetGuiResources");
    DWORD handles = 0;
    if (handleCount && handleCount(h, &handles) && handles)
        r.handles = handles;
    // A process with windows always holds some; 0 means the count is not available.
    if (const DWORD gdi = guiResources ? guiResources(h, GR_GDIOBJECTS) : 0)
        r.gdi = gdi;
    if (const DWORD user = guiResources ? guiResources(h, GR_USEROBJECTS) : 0)
        r.user = user;
    return r;
}

std::string Count(double aValue, const char *aFormat, double aScale = 1.0)
{
    if (aValue < 0)
        return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, aFormat, aValue / aScale);
    return text;
}

void PrintResources(const char *aWhen, const Resources &aR)
{
    std::printf("%-20s private %s MB, %s handles, %s GDI objects, %s USER objects\n", aWhen,
                Count(aR.privateBytes, "%.1f", 1024.0 * 1024.0).c_str(), Count(aR.handles, "%.0f").c_str(),
                Count(aR.gdi, "%.0f").c_str(), Count(aR.user, "%.0f").c_str());
}

std::string Growth(double aFrom, double aTo)
{
    if (aFrom <= 0 || aTo < 0)
        return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f %%", (aTo - aFrom) * 100.0 / aFrom);
    return text;
}

// Each test's time on Kestrel's main thread by where it ran.
void PrintProfile(const _profile &aProfile)
{
    std::printf("\n[Main Thread]\n%-16s %10s %10s %10s %10s\n", "Test", "seconds", "Kestrel", "driver", "other");
    for (int row = 0; row < 10; ++row) {
        _profRow r;
        if (!aProfile.Row(row, &r))
            continue;
        const double all = r.ownMs + r.driverMs + r.otherMs;
        if (all <= 0)
            continue;
        std::printf("%-16s %10.1f %9.1f%% %9.1f%% %9.1f%%\n", kTestName[row], all / 1000.0, r.ownMs * 100.0 / all,
                    r.driverMs * 100.0 / all, r.otherMs * 100.0 / all);
    }
    std::fflush(stdout);
}

// Kestrel's run log of one run, emptied as the run starts: the runner's own, or the caller's when
// KESTREL_RUNLOG names one (a test that follows the run itself).
std::string RunLogPath()
{
    char temp[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("KESTREL_RUNLOG", temp, sizeof temp);
    if (n > 0 && n < sizeof temp)
        return temp;
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + "KestrelRun" + std::to_string(GetCurrentProcessId()) + ".log";
}

HWND FindRender(const Run &aRun)
{
    HWND win = aRun.kestrel.FindWindow("Kestrel FullSpec", "Kestrel FullSpec");
    return win ? win : aRun.kestrel.FindWindow("Kestrel Light", "Kestrel Light");
}

std::string Clock(double aSeconds)
{
    char text[32];
    const long s = aSeconds < 0 ? 0 : (long)(aSeconds + 0.5);
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

// The chosen tests a run's shares mark disturbed, with their shares: "The Surface 97 %, ...".
std::string DisturbedTests(const double *aBusy, unsigned aTests)
{
    std::string out;
    for (int i = 0; i < 10; ++i)
        if ((aTests >> i) & 1 && aBusy[i] > RESULTS_BUSY_LIMIT)
            out += (out.empty() ? "" : ", ") + std::string(kTestName[i]) + " " +
                   std::to_string((int)(aBusy[i] * 100 + 0.5)) + " %";
    return out;
}

// What else the machine did while each test of a single run played, and which Wine it ran on.
void PrintOtherProcesses(const _watch &aWatch, unsigned aTests)
{
    std::printf("\n[Other Processes]\nshare of one core that other processes took while each test played; above %.0f %%"
                " the test is disturbed\n",
                RESULTS_BUSY_LIMIT * 100);
    for (int i = 0; i < 10; ++i) {
        if (!((aTests >> i) & 1))
            continue;
        const double share = aWatch.Share(i);
        if (share < 0)
            std::printf("%-16s %8s\n", kTestName[i], "n/a");
        else
            std::printf("%-16s %6.1f %%%s\n", kTestName[i], share * 100,
                        share > RESULTS_BUSY_LIMIT ? "  disturbed" : "");
    }
    const std::string wine = sWatchWineVersion();
    if (!wine.empty()) {
        const std::string d3d = sWatchDirect3d();
        std::printf("Wine %s, Direct3D settings: %s\n", wine.c_str(), d3d.empty() ? "none set" : d3d.c_str());
    }
    std::fflush(stdout);
}

// Repeated runs: which run is on, how long runs took, and the progress line as each test starts.
struct Series {
    long k = 0, n = 0;          // run k of n (at most n when repeating until stable)
    bool untilStable = false;
    unsigned tests = 0;         // the chosen tests
    DWORD startTick = 0, runTick = 0;
    std::vector<double> runSeconds;
    std::string log;            // Kestrel's run log of the run on
    size_t logSeen = 0;
    int testsStarted = 0;
    std::string framePath;      // where Kestrel wrote this run's frame-time record
    double busy[10] = {};       // the run's share of a core other processes took, per test

    int TestCount() const
    {
        int n = 0;
        for (int i = 0; i < 10; ++i)
            n += (tests >> i) & 1;
        return n ? n : 10;
    }
    void BeginRun()
    {
        runTick = GetTickCount();
        logSeen = 0;
        testsStarted = 0;
    }
    // Seconds left: from whole runs once one is done, before that from the tests done so far.
    double Left(double aRunElapsed) const
    {
        const int perRun = TestCount();
        double runSecs = 0;
        if (!runSeconds.empty()) {
            for (double r : runSeconds)
                runSecs += r;
            runSecs /= runSeconds.size();
        } else if (testsStarted > 1) {
            runSecs = aRunElapsed / (testsStarted - 1) * perRun;
        } else {
            return -1;
        }
        const double thisRun = runSecs > aRunElapsed ? runSecs - aRunElapsed : 0;
        return thisRun + runSecs * (double)(n - k);
    }
    void Tick()
    {
        const std::string text = ReadText(log);
        for (size_t at; (at = text.find("start ", logSeen)) != std::string::npos;) {
            const size_t end = text.find('\n', at);
            if (end == std::string::npos)
                break;
            logSeen = end;
            unsigned row = 99;
            const size_t space = text.find(' ', at + 6);
            if (space == std::string::npos || std::sscanf(text.c_str() + space, " %u", &row) != 1)
                continue;
            ++testsStarted;
            const DWORD now = GetTickCount();
            const double runElapsed = (now - runTick) / 1000.0, left = Left(runElapsed);
            std::printf("run %ld of %s%ld: %s, elapsed %s, %s\n", k, untilStable ? "at most " : "", n,
                        row < 10 ? kTestName[row] : "closing scene", Clock((now - startTick) / 1000.0).c_str(),
                        left < 0 ? "time left not known yet" : ("about " + Clock(left) + " left").c_str());
            std::fflush(stdout);
        }
    }
};

// What a user at the machine does while the benchmark plays, read from Kestrel's run log: in
// Challenge Mode a click on each test's prompt once it is up; in Continuous Loop, closing the
// render window as the second pass begins, which brings up the results of the first.
class User {
public:
    User(const std::string &aLog, bool aChallenge, bool aLoop) : _log(aLog), _challenge(aChallenge), _loop(aLoop) {}
    void Act(const Run &aRun)
    {
        if (!(_challenge || _loop) || _closed)
            return;
        // Kestrel logs a row only while its render window is up.
        const HWND win = FindRender(aRun);
        if (!win)
            return;
        const std::string text = ReadText(_log);
        for (size_t end; (end = text.find('\n', _seen)) != std::string::npos; _seen = end + 1) {
            const std::string line = text.substr(_seen, end - _seen);
            unsigned row = 0;
            if (_challenge && line.compare(0, 13, "prompt bench ") == 0) {
                RECT r;
                GetClientRect(win, &r);
                const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
                PostMessageA(win, WM_LBUTTONDOWN, MK_LBUTTON, at);
                PostMessageA(win, WM_LBUTTONUP, 0, at);
            } else if (_loop && std::sscanf(line.c_str(), "start bench %u", &row) == 1) {
                if (_firstRow < 0) {
                    _firstRow = (long)row;
                } else if ((long)row == _firstRow) {
                    PostMessageA(win, WM_CLOSE, 0, 0);
                    _closed = true;
                    return;
                }
            }
        }
    }

private:
    std::string _log;
    bool _challenge, _loop;
    size_t _seen = 0;
    long _firstRow = -1;
    bool _closed = false;
};

int Benchmark(const Options &aOpt, Series *aSeriesP = nullptr)
{
    Run run;
    run.deadline = GetTickCount() + aOpt.timeoutMs;
    // The profile learns from the run log which test is on, and so does the progress of repeated runs.
    const std::string log = RunLogPath();
    DeleteFileA(log.c_str());
    // The watch of other processes learns from it too: it is always written.
    std::vector<std::string> env = {"KESTREL_RUNLOG=" + log};
    _watch watch;
    if (aSeriesP) {
        aSeriesP->log = log;
        aSeriesP->BeginRun();
    }
    User user(log, aOpt.challenge, aOpt.loop);
    run.tick = [aSeriesP, &watch, &user, &run] {
        if (aSeriesP)
            aSeriesP->Tick();
        watch.Tick();
        user.Act(run);
    };
    if (!aOpt.log.empty())
        env.push_back("KESTREL_LOG=" + aOpt.log);
    if (!run.kestrel.Start(aOpt.exe.c_str(), aOpt.dir.c_str(), env))
        return Fail(EXIT_USAGE, "cannot start " + aOpt.exe);
    watch.Begin(run.kestrel.Id(), log);

    HWND panel = nullptr;
    Seen seen = run.Wait([&] { return run.Dialog(IDC_RUNBENCH); }, &panel);
    if (seen != Seen::Wanted)
        return run.Report(seen, "before its control panel appeared");
    // Where Kestrel writes the record; one of an earlier run must not pass for this one's.
    char framePath[MAX_PATH + 32] = "";
    sSysWritePath(Folder(aOpt.exe).c_str(), BENCH_FRAME_FILE, framePath, sizeof framePath);
    const std::string frames = framePath;
    if (aOpt.frameTime)
        DeleteFileA(frames.c_str());
    if (aSeriesP)
        aSeriesP->framePath = frames;

    // The benchmark settings, box by box.
    drv::Click(panel, IDC_BENCHSET);
    HWND bench = nullptr;
    seen = run.Wait([&] { return run.Dialog(IDC_BENCH_LOOP); }, &bench);
    if (seen != Seen::Wanted)
        return run.Report(seen, "while opening Benchmark Setting");
    const struct { int id; bool on; } boxTbl[] = {
        {IDC_BENCH_LOOP, aOpt.loop},           {IDC_BENCH_PROTECT, aOpt.protect},
        {IDC_BENCH_CHALLENGE, aOpt.challenge}, {IDC_BENCH_FRAMETIME, aOpt.frameTime},
    };
    for (const auto &box : boxTbl)
        drv::SetCheck(bench, box.id, box.on);
    if (aOpt.bgm != drv::Checked(bench, IDC_BENCH_BGM)) {
        drv::SetCheck(bench, IDC_BENCH_BGM, aOpt.bgm);
        if (aOpt.bgm) {
            // Ticking music brings a warning that its results may be less exact.
            HWND warning = drv::WaitFor(10000, [](void *aRun) {
                return drv::FindMessageBox(((Run *)aRun)->kestrel.Id()) != nullptr;
            }, &run) ? drv::FindMessageBox(run.kestrel.Id()) : nullptr;
            if (warning) {
                std::fprintf(stderr, "KestrelRun: note: %s\n", drv::MessageText(warning).c_str());
                drv::Click(warning, IDOK);
                Sleep(300);
            }
        }
    }
    unsigned tests = 0;
    for (int i = 0; i < 10; ++i) {
        HWND item = GetDlgItem(bench, IDC_BENCH_TEST0 + i);
        const bool want = aOpt.tests ? (aOpt.tests >> i) & 1 : drv::Checked(bench, IDC_BENCH_TEST0 + i);
        if (want && !IsWindowEnabled(item))
            return Fail(EXIT_USAGE, std::string("test ") + std::to_string(i) + " (" + kTestName[i] +
                                        ") is not offered by this edition of Kestrel");
        drv::SetCheck(bench, IDC_BENCH_TEST0 + i, want);
        if (want)
            tests |= 1u << i;
    }
    drv::Click(bench, IDOK);
    HWND gone = nullptr;
    seen = run.Wait([&] { return IsWindow(bench) ? nullptr : panel; }, &gone);
    if (seen != Seen::Wanted)
        return run.Report(seen, "while closing Benchmark Setting");

    // The run: the panel goes away and comes back with the results.
    drv::Click(panel, IDC_RUNBENCH);
    HWND render = nullptr;
    seen = run.Wait([&] { return IsWindowVisible(panel) ? nullptr : panel; }, &render);
    if (seen != Seen::Wanted)
        return run.Report(seen, "when the benchmark was started");
    _profile profile;
    if (aOpt.profile && !profile.Start(run.kestrel.Handle(), run.kestrel.Thread(), log))
        return Fail(EXIT_USAGE, "cannot look into Kestrel's main thread to profile it");
    HWND results = nullptr;
    DWORD panelSince = 0;
    seen = run.Wait(
        [&]() -> HWND {
            if (HWND win = run.Dialog(IDC_SCORE_SAVE))
                return win;
            // A panel without results for a while: the run stopped before any score.
            if (run.Dialog(IDC_RUNBENCH)) {
                if (!panelSince)
                    panelSince = GetTickCount();
                else if (GetTickCount() - panelSince > 5000)
                    return HWND_BROADCAST;
            } else {
                panelSince = 0;
            }
            return nullptr;
        },
        &results);
    profile.Stop();
    watch.Tick();
    DeleteFileA(log.c_str());
    if (aSeriesP)
        for (int i = 0; i < 10; ++i)
            aSeriesP->busy[i] = watch.Share(i);
    if (seen != Seen::Wanted)
        return run.Report(seen, "before the benchmark finished");
    if (results == HWND_BROADCAST)
        return Fail(EXIT_ENDED_EARLY, "the benchmark ended without any score");

    // Save through the save dialog, over an earlier file if there is one.
    const std::string out = FullPath(aOpt.out);
    WIN32_FILE_ATTRIBUTE_DATA before = {};
    const bool existed = GetFileAttributesExA(out.c_str(), GetFileExInfoStandard, &before) != 0;
    drv::Click(results, IDC_SCORE_SAVE);
    HWND save = nullptr;
    seen = run.Wait([&] { return run.kestrel.FindWindow("#32770", "Save Results File"); }, &save);
    if (seen != Seen::Wanted)
        return run.Report(seen, "when saving the results");
    drv::ChooseFile(save, out);
    if (existed) {
        HWND replace = nullptr;
        drv::WaitFor(10000, [](void *aRun) {
            return drv::FindMessageBox(((Run *)aRun)->kestrel.Id(), 2) != nullptr;
        }, &run);
        if ((replace = drv::FindMessageBox(run.kestrel.Id(), 2)) != nullptr)
            drv::Click(replace, IDYES);
    }
    HWND closed = nullptr;
    seen = run.Wait([&] { return IsWindow(save) ? nullptr : results; }, &closed);
    if (seen != Seen::Wanted)
        return run.Report(seen, "when saving the results");
    Sleep(500);
    WIN32_FILE_ATTRIBUTE_DATA after = {};
    if (!GetFileAttributesExA(out.c_str(), GetFileExInfoStandard, &after) ||
        (existed && CompareFileTime(&after.ftLastWriteTime, &before.ftLastWriteTime) == 0 &&
         after.nFileSizeLow == before.nFileSizeLow)) {
        // Kestrel says why when it could not write it.
        const HWND told = drv::FindMessageBox(run.kestrel.Id());
        return Fail(EXIT_NOT_SAVED, "Kestrel did not write the results file " + out +
                                        (told ? ": \"" + drv::MessageText(told) + "\"" : std::string()));
    }

    const std::string text = ReadText(out);
    if (!aSeriesP)
        std::fputs(text.c_str(), stdout);
    std::fflush(stdout);

    // Leave as a user would: close the results, then the panel.
    drv::Click(results, IDC_SCORE_EXIT);
    Sleep(300);
    if (HWND again = run.Dialog(IDC_RUNBENCH))
        drv::Click(again, IDC_EXIT);
    DWORD code = 0;
    if (!run.kestrel.WaitExit(20000, &code))
        run.kestrel.Kill();

    // Every chosen test must have its score; a run cut short has not.
    std::string missing;
    for (int i = 0; i < 10; ++i) {
        if (!((tests >> i) & 1))
            continue;
        const std::string score = ScoreOf(text, kTestName[i]);
        if (score.empty() || score == "None")
            missing += std::string(missing.empty() ? "" : ", ") + kTestName[i];
    }
    if (!missing.empty())
        return Fail(EXIT_ENDED_EARLY, "the benchmark ended early: no score for " + missing);
    if (aSeriesP) {
        if (aOpt.frameTime && GetFileAttributesA(frames.c_str()) == INVALID_FILE_ATTRIBUTES)
            return Fail(EXIT_NOT_SAVED, "Kestrel did not write the frame-time record " + frames);
    } else if (aOpt.frameTime && !PrintFrameSummary(frames)) {
        return Fail(EXIT_NOT_SAVED, "Kestrel did not write the frame-time record " + frames);
    }
    if (aOpt.profile)
        PrintProfile(profile);
    if (!aSeriesP) {
        PrintOtherProcesses(watch, tests);
        std::fprintf(stderr, "KestrelRun: results saved to %s\n", out.c_str());
    }
    return 0;
}

bool WriteText(const std::string &aPath, const std::string &aText)
{
    FILE *f = std::fopen(aPath.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(aText.data(), 1, aText.size(), f) == aText.size();
    return std::fclose(f) == 0 && ok;
}

bool ReadFileText(const std::string &aPath, std::string *aTextP)
{
    FILE *f = std::fopen(aPath.c_str(), "rb");
    if (!f)
        return false;
    aTextP->clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        aTextP->append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

std::string BaseName(const std::string &aPath)
{
    const size_t cut = aPath.find_last_of("\\/");
    return cut == std::string::npos ? aPath : aPath.substr(cut + 1);
}

// Runs the benchmark again and again: a fixed count, or until every chosen test's coefficient of
// variation is at most the target. Every run's results file and frame-time record are kept under
// numbered names beside --out, with a run record naming them; the summary and the report come
// from those files as kestrel-results would read them.
int Repeat(const Options &aOpt, const std::string &aArgs, std::string *aRecordP)
{
    Options one = aOpt;
    one.frameTime = true;
    Series series;
    series.untilStable = aOpt.stablePct > 0;
    series.n = series.untilStable ? aOpt.maxRuns : (aOpt.runs ? aOpt.runs : 1);
    series.tests = aOpt.tests;
    series.startTick = GetTickCount();
    // One name a session, from the local time, so files of an earlier session stay as they were.
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32], started[32];
    std::snprintf(stamp, sizeof stamp, "%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    std::snprintf(started, sizeof started, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    const std::string folder = Folder(FullPath(aOpt.out));
    std::string stem = BaseName(aOpt.out);
    if (stem.find('.') != std::string::npos)
        stem.erase(stem.rfind('.'));
    stem += std::string("-") + stamp;
    const std::string recordPath = folder + "\\" + stem + "-record.txt";
    _statsRecord record;
    record.started = started;
    record.args = aArgs;
    record.stablePct = aOpt.stablePct;
    record.wine = sWatchWineVersion();
    record.direct3d = sWatchDirect3d();
    if (!record.wine.empty())
        std::printf("Wine %s, Direct3D settings: %s\n", record.wine.c_str(),
                    record.direct3d.empty() ? "none set" : record.direct3d.c_str());
    long disturbedRuns = 0;
    bool staged = false;  // the first stage's runs have fixed the count

    _resultsRun run;
    _resultsSum sum = {};
    unsigned open = 0;
    for (series.k = 1; series.k <= series.n; ++series.k) {
        const std::string name = stem + "-" + std::to_string(series.k);
        one.out = folder + "\\" + name + ".txt";
        if (GetFileAttributesA(one.out.c_str()) != INVALID_FILE_ATTRIBUTES)
            return Fail(EXIT_NOT_SAVED, one.out + " exists already; it is not overwritten");
        const DWORD t0 = GetTickCount();
        const int rc = Benchmark(one, &series);
        if (rc)
            return Fail(rc, "run " + std::to_string(series.k) + " failed; the runs before it are in " + recordPath);
        series.runSeconds.push_back((GetTickCount() - t0) / 1000.0);
        // Kestrel rewrites its record every run: this run's goes to its own numbered file.
        const std::string frames = name + "-frames.csv";
        if (!CopyFileA(series.framePath.c_str(), (folder + "\\" + frames).c_str(), TRUE))
            return Fail(EXIT_NOT_SAVED, "cannot keep the frame-time record as " + folder + "\\" + frames);
        DeleteFileA(series.framePath.c_str());
        _statsRecordRun r;
        r.number = series.k;
        r.seconds = series.runSeconds.back();
        r.results = name + ".txt";
        r.frames = frames;
        for (int i = 0; i < 10; ++i)
            r.busy[i] = series.busy[i];
        record.runs.push_back(r);
        if (!WriteText(recordPath, sStatsWriteRecord(record)))
            return Fail(EXIT_NOT_SAVED, "cannot write the run record " + recordPath);
        std::string identity, err;
        if (sResultsLoad(recordPath, &run, &identity, &err))
            return Fail(EXIT_NOT_SAVED, "the files of run " + std::to_string(series.k) + " do not read back: " + err);
        sResultsSummarise(run, &sum);
        // The tests this edition ran: the Light edition never runs the High ones.
        const unsigned chosen = sResultsRan(run);
        std::printf("run %ld done in %s:", series.k, Clock(series.runSeconds.back()).c_str());
        for (const _statsTestResult &t : run.passes.back().results.tests)
            if (t.scoredB)
                std::printf(" %s %ld;", t.name.c_str(), t.score);
        std::printf("\n");
        // A disturbed run is kept and marked, its disturbed scores left out; repeating until
        // stable, it is run again rather than counted (at most as many again as --max-runs).
        const std::string disturbed = DisturbedTests(series.busy, chosen);
        if (!disturbed.empty()) {
            std::printf("  disturbed (other processes above %.0f %% of a core): %s\n", RESULTS_BUSY_LIMIT * 100,
                        disturbed.c_str());
            if (series.untilStable && disturbedRuns < aOpt.maxRuns) {
                ++disturbedRuns;
                ++series.n;
                std::printf("  not counted: one more run\n");
            }
        }
        open = sResultsUnsettled(sum, chosen, series.untilStable ? aOpt.stablePct : 100);
        if (series.untilStable && !staged && series.k - disturbedRuns >= STATS_STAGE_RUNS) {
            staged = true;
            // The first stage's spread fixes the count once; checking again after every run would
            // stop on runs that happened to agree and narrow the intervals below their 95 %.
            // Disturbed runs are not of the stage: they are run again on top of the count.
            const long need = sResultsStageRuns(run, chosen, aOpt.stablePct);
            series.n = disturbedRuns + (need < aOpt.maxRuns ? need : aOpt.maxRuns);
            std::printf("  the first %d runs ask for %s runs in all to know every test's mean to +-%g %%%s\n",
                        (int)STATS_STAGE_RUNS, need >= STATS_STAGE_MAX ? "too many" : std::to_string(need).c_str(),
                        aOpt.stablePct, need > aOpt.maxRuns ? " (--max-runs stops sooner)" : "");
        }
        if (series.untilStable && series.k >= 2) {
            std::printf("  95 %% interval so far:");
            for (int i = 0; i < RESULTS_TEST_NUM; ++i)
                if ((chosen >> i) & 1 && sum.test[i].scoresB && sum.test[i].score.mean > 0)
                    std::printf(" %s +-%.1f %%;", kTestName[i], sum.test[i].score.ciHalf * 100 / sum.test[i].score.mean);
            std::printf("\n");
        }
        std::fflush(stdout);
    }
    run.label = stem;
    std::printf("\n[Runs]\n%s", sResultsCompareText(std::vector<_resultsRun>(1, run)).c_str());
    if (series.untilStable) {
        std::string names;
        for (int i = 0; i < RESULTS_TEST_NUM; ++i)
            if ((open >> i) & 1) {
                const _statsSet &t = sum.test[i].score;
                char reached[32] = "";
                if (sum.test[i].scoresB && t.mean > 0)
                    std::snprintf(reached, sizeof reached, " (+-%.1f %%)", t.ciHalf * 100 / t.mean);
                names += (names.empty() ? "" : ", ") + std::string(kTestName[i]) + reached;
            }
        if (open)
            std::printf("not known to +-%g %% within %ld runs: %s\n", aOpt.stablePct, (long)run.passes.size(),
                        names.c_str());
        else
            std::printf("every test's mean known to +-%g %% (95 %% interval) after %u runs\n", aOpt.stablePct,
                        (unsigned)run.passes.size());
    }
    if (!aOpt.report.empty()) {
        const std::string page = sResultsReportHtml(std::vector<_resultsRun>(1, run),
                                                    std::string("Made by KestrelRun " KESTREL_VERSION ", started ") +
                                                        started);
        if (!WriteText(aOpt.report, page))
            return Fail(EXIT_NOT_SAVED, "cannot write the report " + aOpt.report);
        std::printf("report: %s\n", aOpt.report.c_str());
    }
    std::printf("run record: %s\n", recordPath.c_str());
    std::fflush(stdout);
    *aRecordP = recordPath;
    return 0;
}

// The run just made, spooled for the hub: a run record with its files, or a results file with its
// frame-time record; named for the hub by the machine's name. Then everything waiting is sent.
void Submit(const Options &aOpt, const std::string &aRecord, const std::string &aFrames)
{
    std::vector<_submitPart> parts;
    std::string err;
    const std::string main = aRecord.empty() ? aOpt.out : aRecord;
    if (!aOpt.sendSpool) {
        _submitPart run = {"run", BaseName(main), ""};
        bool ok = ReadFileText(main, &run.content);
        parts.push_back(run);
        if (!aRecord.empty()) {
            _statsRecord rec;
            _statsError e;
            ok = ok && sStatsReadRecord(run.content.data(), run.content.size(), &rec, &e) == 0;
            for (const _statsRecordRun &r : rec.runs)
                for (const std::string &name : {r.results, r.frames}) {
                    _submitPart file = {"file", name, ""};
                    ok = ok && (name.empty() || ReadFileText(Folder(main) + "\\" + name, &file.content));
                    if (!name.empty())
                        parts.push_back(file);
                }
        } else if (!aFrames.empty()) {
            _submitPart frames = {"frames", BaseName(aFrames), ""};
            ok = ok && ReadFileText(aFrames, &frames.content);
            parts.push_back(frames);
        }
        char machine[MAX_COMPUTERNAME_LENGTH + 1] = "";
        DWORD size = sizeof machine;
        if (GetComputerNameA(machine, &size) && machine[0])
            parts.push_back(_submitPart{"label", "", std::string(machine) + " " + BaseName(main)});
        std::string stem = BaseName(main);
        if (stem.find('.') != std::string::npos)
            stem.erase(stem.rfind('.'));
        if (!ok || sSubmitSpool(aOpt.spool, stem, parts, &err)) {
            std::fprintf(stderr, "KestrelRun: the run is not spooled for the hub: %s\n",
                         ok ? err.c_str() : "its files do not read back");
            return;
        }
    }
    const _submitOutcome o = sSubmitSend(aOpt.submit, aOpt.token, aOpt.spool);
    std::printf("hub: %d run(s) sent, %d waiting in %s", o.sent, o.waiting, aOpt.spool.c_str());
    if (o.refused)
        std::printf(", %d refused (kept as .refused)", o.refused);
    std::printf("\n");
    if (o.waiting || o.refused)
        std::fprintf(stderr, "KestrelRun: %s\n", o.note.c_str());
    std::fflush(stdout);
}

// Plays the demo: to its end, or for aOpt.minutes in Continuous Loop. Prints every scene played
// and the process's resources at the first scene and at the end.
int Demo(const Options &aOpt)
{
    Run run;
    run.deadline = GetTickCount() + aOpt.timeoutMs;
    const std::string log = RunLogPath();
    DeleteFileA(log.c_str());
    std::vector<std::string> env = {"KESTREL_RUNLOG=" + log};
    if (!aOpt.log.empty())
        env.push_back("KESTREL_LOG=" + aOpt.log);
    if (!run.kestrel.Start(aOpt.exe.c_str(), aOpt.dir.c_str(), env))
        return Fail(EXIT_USAGE, "cannot start " + aOpt.exe);

    HWND panel = nullptr;
    Seen seen = run.Wait([&] { return run.Dialog(IDC_RUNDEMO); }, &panel);
    if (seen != Seen::Wanted)
        return run.Report(seen, "before its control panel appeared");
    drv::Click(panel, IDC_DEMOSET);
    HWND setting = nullptr;
    seen = run.Wait([&] { return run.Dialog(IDC_DEMO_LOOP); }, &setting);
    if (seen != Seen::Wanted)
        return run.Report(seen, "while opening Demo Setting");
    drv::SetCheck(setting, IDC_DEMO_LOOP, aOpt.minutes > 0);
    drv::SetCheck(setting, IDC_DEMO_BGM, true);
    drv::Click(setting, IDOK);
    HWND gone = nullptr;
    seen = run.Wait([&] { return IsWindow(setting) ? nullptr : panel; }, &gone);
    if (seen != Seen::Wanted)
        return run.Report(seen, "while closing Demo Setting");

    const std::string edition = drv::WindowText(panel);
    drv::Click(panel, IDC_RUNDEMO);
    HWND hidden = nullptr;
    seen = run.Wait([&] { return IsWindowVisible(panel) ? nullptr : panel; }, &hidden);
    if (seen != Seen::Wanted)
        return run.Report(seen, "when the demo was started");
    // The first scene has loaded once the log names it; then the resources are counted.
    HWND first = nullptr;
    seen = run.Wait([&] { return ReadText(log).find("start ") != std::string::npos ? panel : nullptr; }, &first);
    if (seen != Seen::Wanted)
        return run.Report(seen, "before the first scene started");
    Sleep(2000);
    const Resources start = Measure(run.kestrel.Handle());
    Resources peak = start;

    // The panel comes back as a new dialog when the demo has ended. Each pass of a loop is counted
    // as its first scene starts, the same moment every time, so passes compare like with like.
    HWND back = nullptr;
    const DWORD stopAt = GetTickCount() + aOpt.minutes * 60000;
    std::vector<Resources> passes;
    size_t logSeen = 0;
    seen = run.Wait(
        [&]() -> HWND {
            peak.Max(Measure(run.kestrel.Handle()));
            const std::string now = ReadText(log);
            for (size_t at; (at = now.find("start ", logSeen)) != std::string::npos;) {
                unsigned row = 1;
                const size_t space = now.find(' ', at + 6);
                if (space != std::string::npos && std::sscanf(now.c_str() + space, " %u", &row) == 1 && row == 0)
                    passes.push_back(Measure(run.kestrel.Handle()));
                logSeen = at + 6;
            }
            if (aOpt.minutes && (LONG)(GetTickCount() - stopAt) >= 0)
                return HWND_BROADCAST;
            return run.Dialog(IDC_RUNDEMO);
        },
        &back);
    if (seen != Seen::Wanted)
        return run.Report(seen, "while the demo played");
    Resources end = Measure(run.kestrel.Handle());
    if (back == HWND_BROADCAST) {
        // The soak's time is up: stop as a user would.
        if (HWND win = FindRender(run))
            drv::PressKey(win, VK_ESCAPE);
        seen = run.Wait([&] { return run.Dialog(IDC_RUNDEMO); }, &back);
        if (seen != Seen::Wanted)
            return run.Report(seen, "when the demo was stopped");
    }
    panel = back;
    drv::Click(panel, IDC_EXIT);
    DWORD code = 0;
    if (!run.kestrel.WaitExit(20000, &code))
        run.kestrel.Kill();

    // The scenes, as Kestrel logged them.
    const std::string text = ReadText(log);
    DeleteFileA(log.c_str());
    std::printf("%s: demo%s\n", edition.c_str(), aOpt.minutes ? " in Continuous Loop" : "");
    int started = 0, complete = 0, failed = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.empty())
            continue;
        std::printf("  %s\n", line.c_str());
        started += line.compare(0, 6, "start ") == 0;
        failed += line.find(" failed") != std::string::npos;
        complete += line.find(" complete") != std::string::npos || line.find(" cut") != std::string::npos;
    }
    std::printf("scenes: %d started, %d played to their end, %d failed to load\n", started, complete, failed);
    PrintResources("at the first scene", start);
    PrintResources("at the end", end);
    PrintResources("highest seen", peak);
    std::printf("growth: private bytes %s, handles %s, GDI objects %s, USER objects %s\n",
                Growth(start.privateBytes, end.privateBytes).c_str(), Growth(start.handles, end.handles).c_str(),
                Growth(start.gdi, end.gdi).c_str(), Growth(start.user, end.user).c_str());
    if (passes.size() > 1) {
        for (size_t i = 0; i < passes.size(); ++i)
            PrintResources(("pass " + std::to_string(i + 1) + " begins").c_str(), passes[i]);
        const Resources &first = passes.front(), &last = passes.back();
        std::printf("growth over %u passes: private bytes %s, handles %s, GDI objects %s, USER objects %s\n",
                    (unsigned)passes.size() - 1, Growth(first.privateBytes, last.privateBytes).c_str(),
                    Growth(first.handles, last.handles).c_str(), Growth(first.gdi, last.gdi).c_str(),
                    Growth(first.user, last.user).c_str());
    }
    if (passes.size() > 2) {
        // The first pass also fills the driver's caches (every scene's textures and states seen
        // once); what a long run keeps adding shows from the second pass on.
        const Resources &second = passes[1], &last = passes.back();
        std::printf("growth from pass 2 over %u passes: private bytes %s, handles %s, GDI objects %s, USER objects %s\n",
                    (unsigned)passes.size() - 2, Growth(second.privateBytes, last.privateBytes).c_str(),
                    Growth(second.handles, last.handles).c_str(), Growth(second.gdi, last.gdi).c_str(),
                    Growth(second.user, last.user).c_str());
    }
    std::fflush(stdout);
    if (failed)
        return Fail(EXIT_DEMO_SHORT, std::to_string(failed) + " scene(s) could not be loaded");
    if (!aOpt.minutes && complete < started)
        return Fail(EXIT_DEMO_SHORT, "the demo ended before every scene had played to its end");
    return 0;
}

} // namespace

int main(int aArgc, char **aArgv)
{
    const int common = sToolArgsCommon(aArgc, aArgv, "KestrelRun", kUsage);
    if (common >= 0)
        return common;
    Options opt;
    if (!ParseArgs(aArgc, aArgv, &opt))
        return sToolArgsUsage(kUsage);
    if (opt.exe.empty()) {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof self);
        opt.exe = Folder(self) + "\\Kestrel.exe";
    }
    opt.exe = FullPath(opt.exe);
    opt.dir = opt.dir.empty() ? Folder(opt.exe) : FullPath(opt.dir);
    if (!opt.log.empty()) {
        opt.log = FullPath(opt.log);
        DeleteFileA(opt.log.c_str());
    }
    if (!opt.demo && opt.out.empty()) {
        char out[MAX_PATH + 32];
        if (!sSysWritePath(Folder(opt.exe).c_str(), "Kestrel.txt", out, sizeof out))
            return Fail(EXIT_NOT_SAVED, "no folder can be written for the results file");
        opt.out = out;
    }
    if (!opt.report.empty())
        opt.report = FullPath(opt.report);
    if (!opt.submit.empty() && opt.spool.empty())
        opt.spool = Folder(FullPath(opt.out)) + "\\KestrelSpool";
    if (!opt.spool.empty())
        opt.spool = FullPath(opt.spool);
    if (opt.sendSpool) {
        Submit(opt, "", "");
        return 0;
    }
    // What the record keeps of how the runs were asked for; never the hub's token, which the
    // record carries to every page that shows the run.
    std::string args;
    for (int i = 1; i < aArgc; ++i) {
        if (std::strcmp(aArgv[i], "--token") == 0 && i + 1 < aArgc) {
            ++i;
            continue;
        }
        args += (args.empty() ? "" : " ") + std::string(aArgv[i]);
    }
    const bool repeat = opt.runs || opt.stablePct > 0 || !opt.report.empty();
    std::string record;
    const int result = opt.demo ? Demo(opt) : repeat ? Repeat(opt, args, &record) : Benchmark(opt);
    if (result == 0 && !opt.submit.empty()) {
        char frames[MAX_PATH + 32] = "";
        if (opt.frameTime && record.empty())
            sSysWritePath(Folder(opt.exe).c_str(), BENCH_FRAME_FILE, frames, sizeof frames);
        Submit(opt, record, frames);
    }
    if (!opt.log.empty())
        std::printf("device log: %u failed call(s) in %s\n", FailedCalls(opt.log), opt.log.c_str());
    return result;
}
