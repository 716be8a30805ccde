// Benchmarks the machine unattended: starts Kestrel.exe, sets the tests and options through its
// own dialogs as a user would, runs the benchmark, saves the results file through the save
// dialog and prints it. Any error Kestrel shows, an early end or a run that takes too long ends
// the runner with a message and a non-zero exit code.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Driver.h"

namespace {

enum {
    EXIT_USAGE = 1,
    EXIT_KESTREL_ERROR = 2, // Kestrel showed a message
    EXIT_ENDED_EARLY = 3,
    EXIT_TIMEOUT = 4,
    EXIT_NOT_SAVED = 5,
};

// Control ids of Kestrel's dialogs.
enum {
    IDC_EXIT = 1026, IDC_BENCHSET = 1028, IDC_RUNBENCH = 1031,
    IDC_BENCH_LOOP = 1127, IDC_BENCH_BGM = 1128, IDC_BENCH_PROTECT = 1203, IDC_BENCH_CHALLENGE = 1217,
    IDC_BENCH_FRAMETIME = 1218, IDC_BENCH_TEST0 = 1132,
    IDC_SCORE_SAVE = 1181, IDC_SCORE_EXIT = 1182,
};

const char *const kTestName[10] = {
    "Game1 (Low)",  "Game1 (High)", "Game2 (Low)", "Game2 (High)",  "Game3 (Low)",
    "Game3 (High)", "The Surface",  "2D Graphics", "Space Fighter", "Your Fighter",
};

struct Options {
    unsigned tests = 0; // bit n: row n; 0 = as Kestrel offers
    bool loop = false, bgm = false, protect = false, challenge = false, frameTime = false;
    std::string out = "Kestrel.txt";
    std::string exe;
    DWORD timeoutMs = 1800 * 1000;
};

void Usage()
{
    std::fputs("usage: KestrelRun [--tests LIST] [--loop] [--bgm] [--protect] [--challenge] [--frametime]\n"
               "                  [--out FILE] [--timeout SECONDS] [--exe PATH]\n"
               "  --tests LIST   benchmark tests to run, numbered 0-9, e.g. 0,2,6-8 (default: all offered)\n"
               "  --out FILE     where the results file is saved (default Kestrel.txt)\n"
               "  --timeout      longest time for the whole run (default 1800 s)\n"
               "  --exe PATH     Kestrel.exe (default: beside KestrelRun.exe)\n"
               "Tests: 0 Game1 (Low), 1 Game1 (High), 2 Game2 (Low), 3 Game2 (High), 4 Game3 (Low),\n"
               "       5 Game3 (High), 6 The Surface, 7 2D Graphics, 8 Space Fighter, 9 Your Fighter\n",
               stderr);
}

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
        } else {
            return false;
        }
    }
    return true;
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

    // Waits until aFound returns a window, Kestrel shows a message, ends, or the time is up.
    template <class F> Seen Wait(F aFound, HWND *aWinP)
    {
        for (;;) {
            if ((*aWinP = aFound()) != nullptr)
                return Seen::Wanted;
            if ((box = drv::FindMessageBox(kestrel.Id())) != nullptr)
                return Seen::Message;
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

int Benchmark(const Options &aOpt)
{
    Run run;
    run.deadline = GetTickCount() + aOpt.timeoutMs;
    if (!run.kestrel.Start(aOpt.exe.c_str(), Folder(aOpt.exe).c_str()))
        return Fail(EXIT_USAGE, "cannot start " + aOpt.exe);

    HWND panel = nullptr;
    Seen seen = run.Wait([&] { return run.Dialog(IDC_RUNBENCH); }, &panel);
    if (seen != Seen::Wanted)
        return run.Report(seen, "before its control panel appeared");

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
         after.nFileSizeLow == before.nFileSizeLow))
        return Fail(EXIT_NOT_SAVED, "Kestrel did not write the results file " + out);

    std::ifstream in(out, std::ios::binary);
    std::ostringstream raw;
    raw << in.rdbuf();
    std::string text;
    for (char c : raw.str())
        if (c != '\r')
            text += c;
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
    std::fprintf(stderr, "KestrelRun: results saved to %s\n", out.c_str());
    return 0;
}

} // namespace

int main(int aArgc, char **aArgv)
{
    Options opt;
    if (!ParseArgs(aArgc, aArgv, &opt)) {
        Usage();
        return EXIT_USAGE;
    }
    if (opt.exe.empty()) {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof self);
        opt.exe = Folder(self) + "\\Kestrel.exe";
    }
    opt.exe = FullPath(opt.exe);
    return Benchmark(opt);
}
