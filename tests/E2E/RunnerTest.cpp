// The unattended runner: a whole short benchmark saved and summarised, runs in Challenge Mode and
// Continuous Loop, a run switched away and back at a long uptime, a demo that cannot load its
// scenes, and its answers when Kestrel goes away mid-run or does not finish in time, and when it
// is asked for what it cannot do.

#include "Driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "KbScene.h"
#include "Library/Stats/StatsFile.h"

namespace {

struct Outcome {
    DWORD code = 999;
    std::string out, err;
};

// Appends what aPipe holds now; with aToEnd, reads until the writer has gone.
void Drain(HANDLE aPipe, std::string &aText, bool aToEnd)
{
    char buf[4096];
    for (;;) {
        DWORD ready = 0;
        if (!aToEnd && (!PeekNamedPipe(aPipe, nullptr, 0, nullptr, &ready, nullptr) || ready == 0))
            return;
        DWORD got = 0;
        if (!ReadFile(aPipe, buf, sizeof buf, &got, nullptr) || got == 0)
            return;
        aText.append(buf, got);
    }
}

// Runs KestrelRun with aArgs; aDuring runs once while it works, with Kestrel's process id.
template <class F> Outcome RunRunner(const std::string &aArgs, F aDuring, DWORD aLimitMs = 120000)
{
    Outcome result;
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    CreatePipe(&outRead, &outWrite, &sa, 0);
    CreatePipe(&errRead, &errWrite, &sa, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    PROCESS_INFORMATION pi = {};
    std::string cmd = "KestrelRun.exe " + aArgs;
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return result;
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    aDuring();
    // The pipes are read while the runner works: a full pipe would stall its printing.
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT) {
        Drain(outRead, result.out, false);
        Drain(errRead, result.err, false);
        if (GetTickCount() - start > aLimitMs) {
            TerminateProcess(pi.hProcess, 998);
            break;
        }
    }
    Drain(outRead, result.out, true);
    Drain(errRead, result.err, true);
    GetExitCodeProcess(pi.hProcess, &result.code);
    CloseHandle(outRead);
    CloseHandle(errRead);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return result;
}

// Kestrel's render window, of whichever process shows it.
HWND WaitRenderWindow(DWORD aTimeoutMs)
{
    const DWORD start = GetTickCount();
    HWND win = nullptr;
    while (!(win = FindWindowA("Kestrel FullSpec", "Kestrel FullSpec")) && GetTickCount() - start < aTimeoutMs)
        Sleep(100);
    return win;
}

TEST(Runner, KestrelEndingMidRunGivesAMessageAndANonZeroExit)
{
    const Outcome r = RunRunner("--tests 0,2 --timeout 90", [] {
        HWND render = WaitRenderWindow(60000);
        ASSERT_NE(render, nullptr);
        DWORD pid = 0;
        GetWindowThreadProcessId(render, &pid);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        ASSERT_NE(process, nullptr);
        TerminateProcess(process, 7);
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
    });
    EXPECT_EQ(r.code, 3u) << r.err;
    // The runner may not yet have seen the render window when Kestrel ends: either report names
    // the early end and Kestrel's exit code.
    const bool named = r.err.find("Kestrel ended before the benchmark finished (exit code 7)") != std::string::npos ||
                       r.err.find("Kestrel ended when the benchmark was started (exit code 7)") != std::string::npos;
    EXPECT_TRUE(named) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(Runner, ARunThatDoesNotFinishInTimeIsStopped)
{
    const Outcome r = RunRunner("--tests 6 --timeout 15", [] {});
    EXPECT_NE(r.code, 0u);
    EXPECT_NE(r.err.find("Kestrel did not answer in time"), std::string::npos) << r.err;
    // Nothing of Kestrel is left behind.
    Sleep(500);
    EXPECT_EQ(FindWindowA("Kestrel FullSpec", "Kestrel FullSpec"), nullptr);
}

TEST(Runner, UnknownTestsAreRefusedBeforeKestrelStarts)
{
    const Outcome r = RunRunner("--tests 3,12", [] {});
    EXPECT_EQ(r.code, 1u);
    EXPECT_NE(r.err.find("usage: KestrelRun"), std::string::npos);
}

// A folder Kestrel can run in: the built Data's pictures and sounds, and scenes of aFrames frames
// at 30 a second (one second unless told).
std::string ShortRunFolder(const char *aName, std::initializer_list<const char *> aScenes, uint16_t aFrames = 30)
{
    char here[MAX_PATH], temp[MAX_PATH];
    GetCurrentDirectoryA(sizeof here, here);
    GetTempPathA(sizeof temp, temp);
    const std::string work = std::string(temp) + aName;
    for (const char *sub : {"", "\\Data", "\\Data\\Ksx", "\\Data\\Ksf", "\\Data\\Kss"})
        CreateDirectoryA((work + sub).c_str(), nullptr);
    for (const char *f : {"Ksf\\09.ksf", "Ksf\\03.ksf", "Ksf\\06.ksf", "Kss\\00.kss", "Kss\\01.kss"})
        CopyFileA((std::string(here) + "\\Data\\" + f).c_str(), (work + "\\Data\\" + f).c_str(), FALSE);
    kbScene scene;
    scene.def.frameCnt = aFrames;
    scene.def.fps = 30;
    scene.def.nearDist = 1.0f;
    scene.def.farDist = 1000.0f;
    kbBytes ksx;
    std::string error;
    EXPECT_TRUE(kbKsxWrite(scene, &ksx, &error)) << error;
    for (const char *num : aScenes) {
        const std::string path = work + "\\Data\\Ksx\\" + num + ".ksx";
        FILE *fp = std::fopen(path.c_str(), "wb");
        EXPECT_NE(fp, nullptr) << path;
        if (fp) {
            std::fwrite(ksx.data(), 1, ksx.size(), fp);
            std::fclose(fp);
        }
    }
    return work;
}

// The lines of a device log that report a failed device call ("file(line): call failed: NAME
// (0x...)"); the log also holds the scenes' own notes, which are not failures.
std::vector<std::string> DeviceFailures(const std::string &aPath)
{
    std::vector<std::string> failures;
    if (FILE *fp = std::fopen(aPath.c_str(), "r")) {
        char line[1024];
        while (std::fgets(line, sizeof line, fp)) {
            const std::string s = line;
            if (s.find(" failed: ") != std::string::npos && s.find(" (0x") != std::string::npos)
                failures.push_back(s);
        }
        std::fclose(fp);
    }
    return failures;
}

std::string Joined(const std::vector<std::string> &aLines)
{
    std::string all;
    for (const std::string &l : aLines)
        all += l;
    return all;
}

TEST(Runner, AShortBenchmarkIsSavedPrintedAndSummarised)
{
    const std::string work = ShortRunFolder("KestrelRunShort", {"23", "21", "27"});
    const std::string out = work + "\\Results.txt";
    const std::string log = work + "\\Device.log";
    DeleteFileA(out.c_str());
    const Outcome r = RunRunner("--tests 0,7 --frametime --profile --timeout 240 --dir \"" + work + "\" --out \"" +
                                    out + "\" --log \"" + log + "\"",
                                [] {});
    ASSERT_EQ(r.code, 0u) << r.err << r.out;
    // Every device call of a normal run succeeds.
    EXPECT_NE(r.out.find("device log: 0 failed call(s)"), std::string::npos) << r.out;
    const std::vector<std::string> failures = DeviceFailures(log);
    EXPECT_TRUE(failures.empty()) << Joined(failures);
    // The printed results are the saved file, with both scores and the frame times of both tests.
    FILE *fp = std::fopen(out.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    std::fclose(fp);
    for (const char *want : {"<Game1 (Low)>", "<2D Graphics>", "[Frame Times]"})
        EXPECT_NE(r.out.find(want), std::string::npos) << want << "\n" << r.out;
    const size_t table = r.out.find("[Frame Times]");
    ASSERT_NE(table, std::string::npos);
    const std::string times = r.out.substr(table);
    EXPECT_NE(times.find("\nGame1 (Low) "), std::string::npos) << times;
    EXPECT_NE(times.find("\n2D Graphics "), std::string::npos) << times;
    // The profile splits each test's main-thread time three ways. Some of it is always in
    // Kestrel's own code; a profile that finds none there has lost track of Kestrel.exe.
    const size_t prof = r.out.find("[Main Thread]");
    ASSERT_NE(prof, std::string::npos) << r.out;
    double ownAll = 0;
    for (const char *test : {"Game1 (Low)", "2D Graphics"}) {
        const size_t at = r.out.find(std::string("\n") + test + " ", prof);
        ASSERT_NE(at, std::string::npos) << test << "\n" << r.out.substr(prof);
        double seconds = 0, own = -1, driver = -1, other = -1;
        ASSERT_EQ(std::sscanf(r.out.c_str() + at + 1 + std::strlen(test), "%lf %lf%% %lf%% %lf%%", &seconds, &own,
                              &driver, &other), 4) << r.out.substr(at);
        EXPECT_GT(seconds, 0.1) << test;
        EXPECT_NEAR(own + driver + other, 100.0, 0.3) << test;
        ownAll += own;
    }
    EXPECT_GT(ownAll, 0.0) << r.out.substr(prof);
    EXPECT_NE(r.err.find("results saved to"), std::string::npos) << r.err;
}

// Repeated runs keep every run's results file and frame-time record under numbered names with a
// run record naming them, show their progress and write the report of them.
TEST(Runner, RepeatedRunsKeepEveryRunAndReport)
{
    const std::string work = ShortRunFolder("KestrelRunRepeat", {"21", "27"});
    const std::string out = work + "\\Results.txt", report = work + "\\report.html";
    DeleteFileA(report.c_str());
    const Outcome r = RunRunner("--tests 7 --runs 2 --timeout 100 --dir \"" + work + "\" --out \"" + out +
                                    "\" --report \"" + report + "\"",
                                [] {});
    ASSERT_EQ(r.code, 0u) << r.err << r.out;
    for (const char *want : {"run 1 of 2: 2D Graphics", "run 2 of 2: 2D Graphics", "[Runs]", "Kestrel Index"})
        EXPECT_NE(r.out.find(want), std::string::npos) << want << "\n" << r.out;
    // The record names both runs' files, and each of them is there.
    const size_t at = r.out.find("run record: ");
    ASSERT_NE(at, std::string::npos) << r.out;
    std::string record = r.out.substr(at + 12, r.out.find('\n', at) - at - 12);
    if (!record.empty() && record.back() == '\r')
        record.pop_back();
    const std::string text = drv::ReadFile(record);
    _statsRecord rec;
    _statsError err;
    ASSERT_EQ(sStatsReadRecord(text.data(), text.size(), &rec, &err), 0) << record << ":" << err.line << ": "
                                                                           << err.reason;
    ASSERT_EQ(rec.runs.size(), 2u);
    for (const _statsRecordRun &run : rec.runs)
        for (const std::string &name : {run.results, run.frames})
            EXPECT_NE(GetFileAttributesA((work + "\\" + name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
    // Under Wine the record says which Wine and Direct3D settings ran (the project's prefix turns
    // the command-stream thread off), and how busy the rest of the machine was while the test
    // played; nothing for the tests that did not play.
    EXPECT_FALSE(rec.wine.empty()) << text;
    EXPECT_NE(rec.direct3d.find("csmt=0"), std::string::npos) << text;
    for (const _statsRecordRun &run : rec.runs) {
        EXPECT_GE(run.busy[7], 0) << text;
        EXPECT_EQ(run.busy[6], -1) << text;
    }
    FILE *page = std::fopen(report.c_str(), "rb");
    EXPECT_NE(page, nullptr);
    if (page)
        std::fclose(page);
    // A count and a stability target together are refused.
    EXPECT_EQ(RunRunner("--runs 2 --until-stable", [] {}).code, 1u);
}

// Repeating until stable in the Light edition: five runs, then as many as their spread asks for
// (at most --max-runs), and done; its High tests are never waited for. (With every test the
// Light edition runs, the same takes five minutes here: the loads dominate.)
TEST(Runner, UntilStableInTheLightEditionEnds)
{
    const std::string work = ShortRunFolder("KestrelRunLight", {"21", "27"});
    // This adapter on the list of those given the Light edition.
    const std::string adapter = drv::AdapterDescription();
    ASSERT_GT(adapter.size(), 4u);
    FILE *fp = std::fopen((work + "\\Data\\ForceLightList").c_str(), "wt");
    ASSERT_NE(fp, nullptr);
    std::fprintf(fp, "%s\n", adapter.substr(2, adapter.size() - 4).c_str());
    std::fclose(fp);
    const Outcome r = RunRunner("--tests 7 --until-stable 100 --max-runs 6 --timeout 100 --dir \"" + work +
                                    "\" --out \"" + work + "\\Results.txt\"",
                                [] {}, 600000);
    DeleteFileA((work + "\\Data\\ForceLightList").c_str());
    ASSERT_EQ(r.code, 0u) << r.err << r.out;
    // The count is set once, after the fifth run, and kept.
    long need = 0;
    const size_t ask = r.out.find("the first 5 runs ask for ");
    ASSERT_NE(ask, std::string::npos) << r.out;
    ASSERT_EQ(std::sscanf(r.out.c_str() + ask + 25, "%ld", &need), 1) << r.out.substr(ask);
    const long runs = need < 6 ? need : 6;
    EXPECT_NE(r.out.find("run " + std::to_string(runs) + " done"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("run " + std::to_string(runs + 1) + " "), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.find("every test's mean known to +-100 %") != std::string::npos ||
                r.out.find("not known to +-100 % within 6 runs: 2D Graphics") != std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Kestrel Index"), std::string::npos) << r.out;
}

// The options that need a user at the machine end as a user would end them: each Challenge
// prompt is answered, a looped benchmark stops after its first pass; the file says how it ran.
TEST(Runner, AskedChallengeAndLoopRunsEndWithTheirScores)
{
    const std::string work = ShortRunFolder("KestrelRunAsked", {"21", "27"});
    const struct {
        const char *args, *loop, *challenge;
    } runs[] = {
        {"--challenge", "No", "Yes"},
        {"--loop --challenge", "Yes", "Yes"},
    };
    for (const auto &run : runs) {
        const std::string out = work + "\\Results.txt";
        DeleteFileA(out.c_str());
        const Outcome r = RunRunner(std::string("--tests 7 ") + run.args + " --timeout 120 --dir \"" + work +
                                        "\" --out \"" + out + "\"",
                                    [] {});
        EXPECT_EQ(r.code, 0u) << run.args << "\n" << r.err << r.out;
        EXPECT_NE(r.out.find("<2D Graphics>"), std::string::npos) << run.args << "\n" << r.out;
        for (const std::string &want : {std::string("Continuous Loop             ") + run.loop,
                                        std::string("Challenge Mode              ") + run.challenge})
            EXPECT_NE(r.out.find(want), std::string::npos) << run.args << ": " << want << "\n" << r.out;
    }
}

std::string ReadAll(const std::string &aPath)
{
    return drv::ReadFile(aPath);
}

// Kestrel's clock as if Windows had been up 2^24 ms and more (KESTREL_CLOCK_MS), the run put in the
// background and back every second and a half as the system tells it of a task switch: the
// eight-second test plays to its end in eight seconds of foreground time, as a run left alone
// does. A score counts the loops of the test's scene time, so the same foreground time is the
// same basis for the score; a clock that jumped ends the test sooner, and one that counted the
// time away ends it sooner too. (The scores themselves are printed: on a shared two-core machine
// single runs differ by far more than any switch could make them.) At 2^24 ms + 1, at 37 days,
// where a float holds only every 256th millisecond, and across the 49.7-day wrap.
TEST(Runner, ATestSwitchedAwayAndBackAtALongUptimePlaysItsWholeSceneTime)
{
    const std::string work = ShortRunFolder("KestrelRunSwitch", {"21", "27"}, 240);
    const std::string log = work + "\\run.log";
    struct Played {
        double score = 0;
        DWORD activeMs = 0;
    };
    const auto play = [&](const char *aName, DWORD aClockMs, bool aSwitch) {
        Played p;
        DeleteFileA(log.c_str());
        SetEnvironmentVariableA("KESTREL_CLOCK_MS", std::to_string(aClockMs).c_str());
        SetEnvironmentVariableA("KESTREL_RUNLOG", log.c_str());
        const auto has = [&](const char *aWhat) { return ReadAll(log).find(aWhat) != std::string::npos; };
        const Outcome r = RunRunner(
            "--tests 7 --timeout 150 --dir \"" + work + "\" --out \"" + work + "\\Results.txt\"", [&] {
                for (DWORD start = GetTickCount(); !has("start bench 7") && GetTickCount() - start < 90000;)
                    Sleep(20);
                HWND render = WaitRenderWindow(1000);
                const DWORD from = GetTickCount();
                DWORD away = 0;
                while (!has("end bench 7") && GetTickCount() - from < 90000) {
                    for (int i = 0; i < 50 && !has("end bench 7"); ++i)
                        Sleep(20);
                    if (!aSwitch || has("end bench 7"))
                        continue;
                    PostMessageA(render, WM_ACTIVATEAPP, FALSE, 0);
                    const DWORD off = GetTickCount();
                    Sleep(500);
                    PostMessageA(render, WM_ACTIVATEAPP, TRUE, 0);
                    away += GetTickCount() - off;
                }
                p.activeMs = GetTickCount() - from - away;
            });
        SetEnvironmentVariableA("KESTREL_CLOCK_MS", nullptr);
        SetEnvironmentVariableA("KESTREL_RUNLOG", nullptr);
        EXPECT_EQ(r.code, 0u) << aName << "\n" << r.err << r.out;
        const size_t test = r.out.find("<2D Graphics>");
        const size_t at = test == std::string::npos ? test : r.out.find("Kestrel Score", test);
        long value = 0;
        if (at == std::string::npos || std::sscanf(r.out.c_str() + at + 13, "%ld", &value) != 1)
            ADD_FAILURE() << aName << ": no score\n" << r.out;
        p.score = (double)value;
        EXPECT_GE(p.activeMs, 7600u) << aName << ": the test ended early\n" << ReadAll(log);
        return p;
    };
    // Kestrel's clock reads the system's (the machine's uptime) plus KESTREL_CLOCK_MS: each run's
    // offset is taken as it starts, so that the clock reads aAt then.
    const auto at = [](DWORD aAt) { return [aAt] { return aAt - GetTickCount(); }; };
    const struct {
        const char *name;
        std::function<DWORD()> clockMs;
        bool switched;
    } runs[] = {
        {"left alone", at((1u << 24) + 1u), false},
        {"2^24 ms + 1", at((1u << 24) + 1u), true},
        // A float holds only every 256th millisecond there.
        {"37 days", at(0xC0000000u), true},
        // The clock wraps about twelve seconds after the runner starts, while the test plays.
        {"across the wrap", at(0u - 12000u), true},
    };
    for (const auto &r : runs) {
        const Played got = play(r.name, r.clockMs(), r.switched);
        std::printf("%s: score %.0f, %lu ms in the foreground\n", r.name, got.score, (unsigned long)got.activeMs);
        EXPECT_GT(got.score, 0.0) << r.name;
        EXPECT_LE(got.activeMs, 9200u) << r.name << ": the test took too long in the foreground";
    }
}

TEST(Runner, ADemoWithScenesMissingIsReportedScenebyScene)
{
    // The opening plays; every later scene is missing, so the demo cannot be whole.
    const std::string work = ShortRunFolder("KestrelRunDemo", {"01"});
    const Outcome r = RunRunner("--demo --timeout 200 --dir \"" + work + "\"", [] {});
    EXPECT_EQ(r.code, 6u) << r.err << r.out;
    EXPECT_NE(r.out.find("start demo 0 Data\\Ksx\\01.ksx music=01.kss new=1 frames=30"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("start demo 1 Data\\Ksx\\02.ksx music=02.kss new=1 frames=0"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("private"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("could not be loaded"), std::string::npos) << r.err;
}

// Every row of the demo as Kestrel logged it: "start <run> <row> ..." and "end <run> <row> ...".
struct DemoLog {
    std::vector<std::string> starts, ends;
};
DemoLog Rows(const std::string &aOut, const char *aRun)
{
    DemoLog log;
    const std::string start = std::string("  start ") + aRun + " ", end = std::string("  end ") + aRun + " ";
    for (size_t at = 0; at < aOut.size();) {
        size_t stop = aOut.find('\n', at);
        if (stop == std::string::npos)
            stop = aOut.size();
        const std::string line = aOut.substr(at, stop - at);
        if (line.compare(0, start.size(), start) == 0)
            log.starts.push_back(line);
        if (line.compare(0, end.size(), end) == 0)
            log.ends.push_back(line);
        at = stop + 1;
    }
    return log;
}

// The real content: each scene of both demos loads, plays a second (KESTREL_SCENE_MS cuts it) and
// hands over to the next, with the music the table gives, and the panel comes back.
TEST(Runner, EveryDemoSceneOfBothEditionsLoadsAndPlays)
{
    if (GetFileAttributesA("Data\\Ksx\\26.ksx") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no demo content in Data";
    SetEnvironmentVariableA("KESTREL_SCENE_MS", "1000");
    const struct {
        int vramMiB;
        const char *run;
        size_t rows;
        const char *music[3]; // the first three rows' music
    } editions[] = {{0, "demo", 22, {"01.kss", "02.kss", "02.kss"}}, {16, "light", 21, {"01.kss", "02.kss", "02.kss"}}};
    for (const auto &e : editions) {
        ASSERT_TRUE(drv::SetVideoMemory(e.vramMiB));
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        const std::string devLog = std::string(temp) + "KestrelRun-" + e.run + ".log";
        const Outcome r = RunRunner("--demo --timeout 400 --log \"" + devLog + "\"", [] {});
        EXPECT_EQ(r.code, 0u) << e.run << "\n" << r.err << r.out;
        // Every scene kind's device calls succeed on Wine's device.
        const std::vector<std::string> failures = DeviceFailures(devLog);
        EXPECT_TRUE(failures.empty()) << e.run << "\n" << Joined(failures);
        const DemoLog log = Rows(r.out, e.run);
        ASSERT_EQ(log.starts.size(), e.rows) << r.out;
        ASSERT_EQ(log.ends.size(), e.rows) << r.out;
        for (size_t i = 0; i < e.rows; ++i) {
            EXPECT_EQ(log.starts[i].find(" failed"), std::string::npos) << log.starts[i];
            EXPECT_NE(log.starts[i].find(std::string(" ") + std::to_string(i) + " Data"), std::string::npos) << log.starts[i];
            // A scene that draws plays frames; the cut or its own end closes it.
            EXPECT_EQ(log.ends[i].find(" played=0 "), std::string::npos) << log.ends[i];
        }
        for (size_t i = 0; i < 3; ++i)
            EXPECT_NE(log.starts[i].find(std::string("music=") + e.music[i]), std::string::npos) << log.starts[i];
    }
    drv::SetVideoMemory(0);
    SetEnvironmentVariableA("KESTREL_SCENE_MS", nullptr);
}

} // namespace

// Runs sent to a results hub (tests/E2E/runner-hub.sh starts the native hub, stopped for the
// first phase and running for the second, and checks what it stored). Down: the run is kept
// whole in the spool. Up: the next run sends both; a spooled run sent again is the same run
// (200); a wrong token leaves the run waiting.
TEST(RunnerHub, SpoolsWhileTheHubIsDownAndSendsWithTheNextRun)
{
    char url[512] = "", token[128] = "", phase[16] = "";
    GetEnvironmentVariableA("KESTREL_HUB", url, sizeof url);
    GetEnvironmentVariableA("KESTREL_HUB_TOKEN", token, sizeof token);
    GetEnvironmentVariableA("KESTREL_HUB_PHASE", phase, sizeof phase);
    if (!url[0] || !token[0])
        GTEST_SKIP() << "only under runner-hub.sh, which runs the hub";
    const std::string work = ShortRunFolder("KestrelRunHub", {"21", "27"});
    const std::string spool = work + "\\Spool", kept = work + "\\first.post";
    const std::string submit = std::string(" --submit ") + url + " --token " + token + " --spool \"" + spool + "\"";
    const auto spooled = [&] {
        std::vector<std::string> names;
        WIN32_FIND_DATAA fd;
        HANDLE find = FindFirstFileA((spool + "\\*.post").c_str(), &fd);
        if (find != INVALID_HANDLE_VALUE) {
            do
                names.push_back(fd.cFileName);
            while (FindNextFileA(find, &fd));
            FindClose(find);
        }
        return names;
    };
    const auto run = [&] {
        return RunRunner("--tests 7 --frametime --timeout 100 --dir \"" + work + "\" --out \"" + work +
                             "\\Results.txt\"" + submit,
                         [] {});
    };
    if (std::string(phase) == "down") {
        for (const std::string &name : spooled())
            DeleteFileA((spool + "\\" + name).c_str());
        const Outcome r = run();
        ASSERT_EQ(r.code, 0u) << "a hub that is down does not fail the run\n" << r.err << r.out;
        EXPECT_NE(r.out.find("hub: 0 run(s) sent, 1 waiting"), std::string::npos) << r.out;
        const std::vector<std::string> names = spooled();
        ASSERT_EQ(names.size(), 1u);
        EXPECT_TRUE(CopyFileA((spool + "\\" + names[0]).c_str(), kept.c_str(), FALSE));
        // The token goes to the hub only, never into what is kept.
        std::string text;
        if (FILE *fp = std::fopen((spool + "\\" + names[0]).c_str(), "rb")) {
            char buf[4096];
            for (size_t n; (n = std::fread(buf, 1, sizeof buf, fp)) > 0;)
                text.append(buf, n);
            std::fclose(fp);
        }
        EXPECT_EQ(text.find(token), std::string::npos);
        EXPECT_NE(text.find("name=\"frames\""), std::string::npos);
        return;
    }
    const Outcome r = run();
    ASSERT_EQ(r.code, 0u) << r.err << r.out;
    EXPECT_NE(r.out.find("hub: 2 run(s) sent, 0 waiting"), std::string::npos) << r.out << r.err;
    EXPECT_TRUE(spooled().empty());
    // The first run again, as a runner that lost the hub's answer would send it.
    ASSERT_TRUE(CopyFileA(kept.c_str(), (spool + "\\20000101-000000-000-again.post").c_str(), FALSE));
    const Outcome again = RunRunner("--send-spool" + submit, [] {});
    EXPECT_NE(again.out.find("hub: 1 run(s) sent, 0 waiting"), std::string::npos) << again.out << again.err;
    ASSERT_TRUE(CopyFileA(kept.c_str(), (spool + "\\20000101-000000-000-again.post").c_str(), FALSE));
    const Outcome wrong = RunRunner(std::string("--send-spool --submit ") + url + " --token kt_wrong --spool \"" +
                                        spool + "\"",
                                    [] {});
    EXPECT_NE(wrong.out.find("hub: 0 run(s) sent, 1 waiting"), std::string::npos) << wrong.out;
    EXPECT_NE(wrong.err.find("401"), std::string::npos) << wrong.err;
    EXPECT_EQ(spooled().size(), 1u);
}
