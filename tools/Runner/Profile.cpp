#include "Profile.h"

#include <psapi.h>

#include <cstdio>
#include <cstring>

const _psapiFns &sProfilePsapi()
{
    static _psapiFns fns;
    static bool loaded;
    if (!loaded) {
        loaded = true;
        if (HMODULE dll = LoadLibraryA("psapi.dll")) {
            fns.enumProcessModules = (decltype(fns.enumProcessModules))(void *)GetProcAddress(dll, "EnumProcessModules");
            fns.getModuleInformation =
                (decltype(fns.getModuleInformation))(void *)GetProcAddress(dll, "GetModuleInformation");
            fns.getModuleBaseNameA = (decltype(fns.getModuleBaseNameA))(void *)GetProcAddress(dll, "GetModuleBaseNameA");
            fns.getProcessMemoryInfo =
                (decltype(fns.getProcessMemoryInfo))(void *)GetProcAddress(dll, "GetProcessMemoryInfo");
        }
    }
    return fns;
}

bool _profile::Start(HANDLE aProcess, HANDLE aThread, const std::string &aRunLog)
{
    _process = aProcess;
    _target = aThread;
    _log = aRunLog;
    _readModules();
    if (_modCnt == 0)
        return false;
    _worker = CreateThread(nullptr, 0, _thread, this, 0, nullptr);
    return _worker != nullptr;
}

void _profile::Stop()
{
    if (!_worker)
        return;
    InterlockedExchange(&_quit, 1);
    WaitForSingleObject(_worker, INFINITE);
    CloseHandle(_worker);
    _worker = nullptr;
}

bool _profile::Row(int aRow, _profRow *aOutP) const
{
    if (aRow < 0 || aRow >= ROW_MAX || !_rowSeen[aRow])
        return false;
    *aOutP = _rowTbl[aRow];
    return true;
}

DWORD WINAPI _profile::_thread(void *aSelfP)
{
    ((_profile *)aSelfP)->_loop();
    return 0;
}

// The modules of the draw path: what the device calls cost beyond Kestrel's own work.
static bool _isDriver(const char *aNameP)
{
    static const char *const nameTbl[] = {"ddraw", "d3d", "wined3d", "opengl32", "dxgi", "winex11", "win32u"};
    char lower[MAX_PATH];
    size_t n = 0;
    for (; aNameP[n] && n + 1 < sizeof lower; ++n)
        lower[n] = (char)((aNameP[n] >= 'A' && aNameP[n] <= 'Z') ? aNameP[n] + 32 : aNameP[n]);
    lower[n] = 0;
    for (const char *name : nameTbl)
        if (std::strstr(lower, name))
            return true;
    return false;
}

void _profile::_readModules()
{
    HMODULE modTbl[MOD_MAX];
    DWORD bytes = 0;
    _modAt = GetTickCount();
    const _psapiFns &psapi = sProfilePsapi();
    if (!psapi.enumProcessModules || !psapi.getModuleInformation || !psapi.getModuleBaseNameA ||
        !psapi.enumProcessModules(_process, modTbl, sizeof modTbl, &bytes))
        return;
    const int n = (int)(bytes / sizeof(HMODULE)) < MOD_MAX ? (int)(bytes / sizeof(HMODULE)) : MOD_MAX;
    int cnt = 0;
    for (int i = 0; i < n; ++i) {
        MODULEINFO info;
        char name[MAX_PATH];
        if (!psapi.getModuleInformation(_process, modTbl[i], &info, sizeof info) ||
            !psapi.getModuleBaseNameA(_process, modTbl[i], name, sizeof name))
            continue;
        _modTbl[cnt].base = (DWORD)(ULONG_PTR)info.lpBaseOfDll;
        _modTbl[cnt].end = _modTbl[cnt].base + info.SizeOfImage;
        // The first module is the program itself.
        _modTbl[cnt].driver = cnt > 0 && _isDriver(name);
        ++cnt;
    }
    _modCnt = cnt;
}

int _profile::_classify(DWORD aEip)
{
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < _modCnt; ++i)
            if (aEip >= _modTbl[i].base && aEip < _modTbl[i].end)
                return i == 0 ? 0 : _modTbl[i].driver ? 1 : 2;
        // A module loaded since the list was read (a scene's device brings its own); reading the
        // list is slow, so at most once a second.
        if (pass > 0 || GetTickCount() - _modAt < 1000)
            break;
        _readModules();
    }
    // Outside every Windows module: the host's libraries, where the draw driver does its work.
    return 1;
}

// The row on now, from the run log's last start or end line.
int _profile::_rowNow()
{
    FILE *in = std::fopen(_log.c_str(), "rb");
    if (!in)
        return _row;
    const long size = std::fseek(in, 0, SEEK_END) == 0 ? std::ftell(in) : -1;
    if (size <= 0 || (size_t)size == _logSeen || std::fseek(in, (long)_logSeen, SEEK_SET) != 0) {
        std::fclose(in);
        return _row;
    }
    std::string line;
    for (int c = 0; c != EOF;) {
        c = std::getc(in);
        if (c != '\n' && c != EOF) {
            line += (char)c;
            continue;
        }
        unsigned row = 0;
        if (std::sscanf(line.c_str(), "start bench %u", &row) == 1)
            _row = row < ROW_MAX ? (int)row : -1;
        else if (line.compare(0, 9, "end bench") == 0)
            _row = -1;
        line.clear();
    }
    std::fclose(in);
    _logSeen = (size_t)size;
    return _row;
}

void _profile::_loop()
{
    LARGE_INTEGER freq, last, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&last);
    int row = -1, kind = -1;
    DWORD logAt = 0;
    while (!_quit) {
        QueryPerformanceCounter(&now);
        // The last look's place counts until this one; the runner's own bookkeeping between them
        // (the log, the module list) is left out below.
        if (row >= 0 && kind >= 0) {
            const double ms = (double)(now.QuadPart - last.QuadPart) * 1000.0 / (double)freq.QuadPart;
            _profRow &r = _rowTbl[row];
            (kind == 0 ? r.ownMs : kind == 1 ? r.driverMs : r.otherMs) += ms;
            _rowSeen[row] = true;
        }
        if (GetTickCount() - logAt >= 20) {
            logAt = GetTickCount();
            row = _rowNow();
        }
        kind = -1;
        if (row >= 0 && SuspendThread(_target) != (DWORD)-1) {
            CONTEXT ctx;
            std::memset(&ctx, 0, sizeof ctx);
            ctx.ContextFlags = CONTEXT_CONTROL;
            const bool read = GetThreadContext(_target, &ctx) != 0;
            ResumeThread(_target);
            if (read)
                kind = _classify(ctx.Eip);
        }
        QueryPerformanceCounter(&last);
        Sleep(1);
    }
}
