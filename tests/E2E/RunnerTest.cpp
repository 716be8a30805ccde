// The unattended runner: its answers when Kestrel goes away mid-run or does not finish in time,
// and when it is asked for what it cannot do.

#include "Driver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Outcome {
    DWORD code = 999;
    std::string out, err;
};

std::string Drain(HANDLE aPipe)
{
    std::string text;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(aPipe, buf, sizeof buf, &got, nullptr) && got > 0)
        text.append(buf, got);
    return text;
}

// Runs KestrelRun with aArgs; aDuring runs once while it works, with Kestrel's process id.
template <class F> Outcome RunRunner(const std::string &aArgs, F aDuring)
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
    // Small outputs: the pipes hold them until the runner ends.
    if (WaitForSingleObject(pi.hProcess, 120000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 998);
    result.out = Drain(outRead);
    result.err = Drain(errRead);
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
    EXPECT_NE(r.err.find("Kestrel ended before the benchmark finished (exit code 7)"), std::string::npos) << r.err;
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

} // namespace
