// The write folder. A limited user on 2000/XP cannot write into Program Files, so the program's
// folder is tried by writing into it, never by the system's version: a Windows 98 machine, or an
// administrator, keeps its files beside the program.

#include "System/Sys/SYSFOLDER.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#define SYS_APPDATA_CSIDL 0x001a // CSIDL_APPDATA
#define SYS_FOLDER_NAME "Kestrel"

// A probe file created and deleted: the only test that holds for rights, read-only media and
// full disks alike. Its name is this process's; one left by a crash is taken over.
static bool _writable(const char *aDirP)
{
    char probe[MAX_PATH];
    const int n = std::snprintf(probe, sizeof probe, "%s\\~kst%08lx.tmp", aDirP, (unsigned long)GetCurrentProcessId());
    if (!aDirP[0] || n < 0 || n >= (int)sizeof probe)
        return false;
    HANDLE h = CreateFileA(probe, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    DeleteFileA(probe);
    return true;
}

static void _trimSeparator(char *aDirP)
{
    size_t n = std::strlen(aDirP);
    // "C:\" keeps its separator.
    while (n > 3 && (aDirP[n - 1] == '\\' || aDirP[n - 1] == '/'))
        aDirP[--n] = 0;
}

// The program's own folder inside a shared one (application data, temporary files), made when
// missing.
static bool _ownFolder(char *aBaseP, char *aOutP)
{
    _trimSeparator(aBaseP);
    if (std::snprintf(aOutP, MAX_PATH, "%s\\" SYS_FOLDER_NAME, aBaseP) >= MAX_PATH)
        return false;
    CreateDirectoryA(aOutP, nullptr);
    return true;
}

static bool _programFolder(const char *aProgramDirP, char *aOutP)
{
    if (aProgramDirP) {
        std::snprintf(aOutP, MAX_PATH, "%s", aProgramDirP);
    } else {
        const DWORD n = GetModuleFileNameA(nullptr, aOutP, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return false;
        char *slash = std::strrchr(aOutP, '\\');
        if (!slash)
            return false;
        *slash = 0;
    }
    return aOutP[0] != 0;
}

// The shell's folder function came with the desktop update; a Windows 98 without it still starts.
static bool _appDataFolder(const char *, char *aOutP)
{
    typedef BOOL(WINAPI * _getFolderFn)(HWND, LPSTR, int, BOOL);
    HMODULE shell = LoadLibraryA("shell32.dll");
    if (!shell)
        return false;
    _getFolderFn getFolder = (_getFolderFn)(void *)GetProcAddress(shell, "SHGetSpecialFolderPathA");
    char base[MAX_PATH] = "";
    const bool found = getFolder && getFolder(nullptr, base, SYS_APPDATA_CSIDL, TRUE) && base[0];
    FreeLibrary(shell);
    return found && _ownFolder(base, aOutP);
}

static bool _tempFolder(const char *, char *aOutP)
{
    char base[MAX_PATH];
    const DWORD n = GetTempPathA(sizeof base, base);
    return n != 0 && n < sizeof base && _ownFolder(base, aOutP);
}

// In order of preference: the first one that takes a file is used.
static bool (*const _folderTbl[])(const char *, char *) = {_programFolder, _appDataFolder, _tempFolder};

size_t sSysWriteFolder(const char *aProgramDirP, char *aOutP, size_t aSize)
{
    for (auto folder : _folderTbl) {
        char dir[MAX_PATH] = "";
        if (!folder(aProgramDirP, dir))
            continue;
        _trimSeparator(dir);
        const size_t len = std::strlen(dir);
        if (len < aSize && _writable(dir)) {
            std::memcpy(aOutP, dir, len + 1);
            return len;
        }
    }
    if (aSize)
        aOutP[0] = 0;
    return 0;
}

size_t sSysWritePath(const char *aProgramDirP, const char *aNameP, char *aOutP, size_t aSize)
{
    char dir[MAX_PATH];
    if (!sSysWriteFolder(aProgramDirP, dir, sizeof dir))
        return 0;
    const int n = std::snprintf(aOutP, aSize, "%s\\%s", dir, aNameP);
    if (n < 0 || (size_t)n >= aSize) {
        if (aSize)
            aOutP[0] = 0;
        return 0;
    }
    return (size_t)n;
}
