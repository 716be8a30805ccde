// Where Kestrel's main thread spends its time while the benchmark runs: the runner stops the
// thread every couple of milliseconds, reads its instruction pointer and asks whether it lies in
// Kestrel.exe's own code or elsewhere (the draw driver, the system, the C library). Each look
// counts for the time until the next one, so a look that had to wait for the thread still counts
// the wait where the thread was.

#pragma once

#include <windows.h>

#include <string>

// The process-status functions, looked up at run time: psapi.dll is a Windows NT library, and the
// runner must start on Windows 98 too (there without --profile and without memory figures).
struct _psapiFns {
    BOOL(WINAPI *enumProcessModules)(HANDLE, HMODULE *, DWORD, DWORD *);
    BOOL(WINAPI *getModuleInformation)(HANDLE, HMODULE, struct _MODULEINFO *, DWORD);
    DWORD(WINAPI *getModuleBaseNameA)(HANDLE, HMODULE, LPSTR, DWORD);
    BOOL(WINAPI *getProcessMemoryInfo)(HANDLE, struct _PROCESS_MEMORY_COUNTERS *, DWORD);
};
// Null entries where the system lacks them.
const _psapiFns &sProfilePsapi();

struct _profRow {
    double ownMs;   // in Kestrel.exe
    double driverMs; // in the DirectDraw/Direct3D modules and what they call
    double otherMs; // the system, the C library, a wait
};

class _profile {
public:
    // aRunLog: the file Kestrel writes its row starts and ends to; it tells which test is on.
    bool Start(HANDLE aProcess, HANDLE aThread, const std::string &aRunLog);
    void Stop();
    // The time of benchmark row aRow (0..15); false when the row was never seen.
    bool Row(int aRow, _profRow *aOutP) const;

private:
    static DWORD WINAPI _thread(void *aSelfP);
    void _loop();
    int _rowNow();

    enum { ROW_MAX = 16, MOD_MAX = 256 };
    HANDLE _process = nullptr, _target = nullptr, _worker = nullptr;
    volatile LONG _quit = 0;
    std::string _log;
    size_t _logSeen = 0;
    int _row = -1;
    _profRow _rowTbl[ROW_MAX] = {};
    bool _rowSeen[ROW_MAX] = {};
    struct Mod { DWORD base, end; bool driver; } _modTbl[MOD_MAX] = {};
    int _modCnt = 0;
    DWORD _modAt = 0; // when the module list was last read
    void _readModules();
    int _classify(DWORD aEip); // 0 own, 1 driver, 2 other
};
