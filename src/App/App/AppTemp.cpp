// Temporary files: a buffer written to a new file in the temporary folder.

#include "App/App/AppCore.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

// The folder for temporary files, looked up as the system does (GetTempPath on Windows, the
// TMPDIR family elsewhere); the current folder when none of them names a folder.
static std::string _tempFolder(void)
{
#ifdef _WIN32
    static const char *const kNames[] = {"TMP", "TEMP", "USERPROFILE"};
#else
    static const char *const kNames[] = {"TMPDIR", "TMP", "TEMP", "TEMPDIR"};
#endif
    for (const char *name : kNames) {
        const char *value = getenv(name);
        struct stat info;
        if (value && *value && stat(value, &info) == 0 && (info.st_mode & S_IFMT) == S_IFDIR)
            return value;
    }
#ifdef _WIN32
    return ".";
#else
    return "/tmp";
#endif
}

long _saveFile(const void *aBufP, long aSize, char *aNameP)
{
    static uint32_t _unique = 0;
    if (aBufP == nullptr || aSize < 0 || aNameP == nullptr)
        return -1;
    std::string folder = _tempFolder();
    if (folder.back() != '/' && folder.back() != '\\')
#ifdef _WIN32
        folder += '\\';
#else
        folder += '/';
#endif
    if (_unique == 0)
        _unique = (uint32_t)time(nullptr) ^ (uint32_t)clock();
    for (int attempt = 0; attempt < 0x10000; attempt++) {
        uint32_t number = (_unique++ & 0xFFFF);
        char name[16];
        snprintf(name, sizeof(name), "Gen%04X.tmp", (unsigned)number);
        std::string path = folder + name;
        if (path.size() >= 260)
            return -1;
#ifdef _WIN32
        int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
#endif
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        const uint8_t *p = (const uint8_t *)aBufP;
        long left = aSize;
        bool ok = true;
        while (left > 0 && ok) {
#ifdef _WIN32
            int n = _write(fd, p, (unsigned)(left > 0x10000000 ? 0x10000000 : left));
#else
            long n = write(fd, p, (size_t)left);
#endif
            ok = n > 0;
            if (ok) {
                p += n;
                left -= n;
            }
        }
#ifdef _WIN32
        ok = _close(fd) == 0 && ok;
#else
        ok = close(fd) == 0 && ok;
#endif
        if (!ok) {
            remove(path.c_str());
            return -1;
        }
        memcpy(aNameP, path.c_str(), path.size() + 1);
        return 0;
    }
    return -1;
}
