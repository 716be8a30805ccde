#include "Watch.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

typedef LONG(WINAPI *_querySystemFn)(ULONG, void *, ULONG, ULONG *);

// NtQuerySystemInformation: NT 4, 2000, XP and Wine; absent on Windows 98.
_querySystemFn _querySystem()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll ? (_querySystemFn)(void *)GetProcAddress(ntdll, "NtQuerySystemInformation") : nullptr;
}

enum {
    SYS_PROCESS_INFO = 5,       // the process list, with each process's times
    SYS_PROCESSOR_TIMES = 8,    // idle, kernel and user time of each processor
    PROCESSOR_TIMES_SIZE = 48,  // three times, two reserved times, a count, padding
    STATUS_LENGTH_MISMATCH = (LONG)0xC0000004,
    // Offsets in a process entry (32-bit layout): next entry, user and kernel time, process id.
    PROC_NEXT = 0, PROC_USER = 40, PROC_KERNEL = 48, PROC_ID = 68, PROC_MIN_SIZE = 72,
};

double _seconds100ns(const unsigned char *aP)
{
    LONGLONG v;
    std::memcpy(&v, aP, sizeof v);
    return (double)v / 1e7;
}

} // namespace

std::string sWatchWineVersion()
{
    typedef const char *(__cdecl * versionFn)(void);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const versionFn version = ntdll ? (versionFn)(void *)GetProcAddress(ntdll, "wine_get_version") : nullptr;
    const char *text = version ? version() : nullptr;
    return text ? text : "";
}

std::string sWatchDirect3d()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Direct3D", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    std::string out;
    for (DWORD i = 0; i < 256; ++i) {
        char name[256];
        unsigned char data[512];
        DWORD nameLen = sizeof name, dataLen = sizeof data - 1, type = 0;
        const LONG rc = RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data, &dataLen);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            continue;
        std::string value;
        if (type == REG_DWORD && dataLen == 4) {
            DWORD v;
            std::memcpy(&v, data, 4);
            value = std::to_string(v);
        } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
            data[dataLen] = 0;
            value = (const char *)data;
        } else {
            value = "(type " + std::to_string(type) + ")";
        }
        // One line of the record: no tabs or line ends from the registry.
        std::string item = std::string(name) + "=" + value;
        for (char &c : item)
            c = (unsigned char)c < 0x20 ? ' ' : c;
        out += (out.empty() ? "" : ", ") + item;
    }
    RegCloseKey(key);
    return out;
}

void _watch::Begin(DWORD aProcessId, const std::string &aRunLog)
{
    _pid = aProcessId;
    _log = aRunLog;
    _logSeen = 0;
    _test = -1;
    for (double &s : _share)
        s = -1;
}

_watch::Sample _watch::_sample() const
{
    Sample s = {};
    LARGE_INTEGER freq, now;
    if (!QueryPerformanceFrequency(&freq) || !QueryPerformanceCounter(&now) || freq.QuadPart <= 0)
        return s;
    s.wallS = (double)now.QuadPart / (double)freq.QuadPart;
    const _querySystemFn query = _querySystem();
    if (!query)
        return s;
    // One entry a processor: the answer's length counts them.
    std::vector<unsigned char> buf((size_t)64 * PROCESSOR_TIMES_SIZE);
    ULONG got = 0;
    if (query(SYS_PROCESSOR_TIMES, buf.data(), (ULONG)buf.size(), &got) != 0 || got < PROCESSOR_TIMES_SIZE ||
        got > buf.size())
        return s;
    for (ULONG at = 0; at + PROCESSOR_TIMES_SIZE <= got; at += PROCESSOR_TIMES_SIZE, ++s.cpus)
        s.idleS += _seconds100ns(&buf[at]);

    // Kestrel's and the runner's own times from the process list (Wine gives no times of another
    // process through GetProcessTimes; the list has them).
    std::vector<unsigned char> list(256 * 1024);
    LONG rc;
    while ((rc = query(SYS_PROCESS_INFO, list.data(), (ULONG)list.size(), &got)) == STATUS_LENGTH_MISMATCH &&
           list.size() < 64u * 1024 * 1024)
        list.resize(list.size() * 4);
    if (rc != 0)
        return s;
    const DWORD self = GetCurrentProcessId();
    int found = 0;
    for (size_t at = 0; at + PROC_MIN_SIZE <= list.size();) {
        const unsigned char *p = &list[at];
        DWORD next, pid;
        std::memcpy(&next, p + PROC_NEXT, 4);
        std::memcpy(&pid, p + PROC_ID, 4);
        if (pid == _pid || pid == self) {
            s.ownS += _seconds100ns(p + PROC_USER) + _seconds100ns(p + PROC_KERNEL);
            ++found;
        }
        if (next == 0)
            break;
        at += next;
    }
    s.okB = found == 2;
    return s;
}

void _watch::_open(int aTest)
{
    _close();
    _start = _sample();
    _test = _start.okB ? aTest : -1;
}

void _watch::_close()
{
    if (_test < 0)
        return;
    const Sample end = _sample();
    const double wall = end.wallS - _start.wallS;
    if (end.okB && wall > 0.5 && end.cpus == _start.cpus) {
        const double cpus = end.cpus;
        // Busy is what was not idle; whether a system counts idle time as kernel time too (NT
        // does, Wine does not) does not matter this way.
        const double busy = cpus * wall - (end.idleS - _start.idleS);
        const double other = busy - (end.ownS - _start.ownS);
        _share[_test] = other > 0 ? other / wall : 0;
    }
    _test = -1;
}

void _watch::Tick()
{
    if (_log.empty())
        return;
    std::string text;
    if (FILE *in = std::fopen(_log.c_str(), "rb")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
            text.append(buf, n);
        std::fclose(in);
    }
    // Whole lines only: "start <run> <row> ..." and "end <run> <row> ...".
    for (size_t end; _logSeen < text.size() && (end = text.find('\n', _logSeen)) != std::string::npos;
         _logSeen = end + 1) {
        char word[8] = "", run[16] = "";
        unsigned row = 99;
        if (std::sscanf(text.c_str() + _logSeen, "%7s %15s %u", word, run, &row) != 3)
            continue;
        if (std::strcmp(word, "start") == 0)
            row < TEST_NUM ? _open((int)row) : _close();
        else if (std::strcmp(word, "end") == 0)
            _close();
    }
}

double _watch::Share(int aTest) const
{
    return aTest >= 0 && aTest < TEST_NUM ? _share[aTest] : -1;
}
