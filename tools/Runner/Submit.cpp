// Sending runs to a results hub with WinINet, the HTTP functions every system the runner runs on
// has (Internet Explorer's, shipped with Windows 98 SE). A spooled request is the whole
// multipart body after one line naming its boundary, so sending it again sends the same bytes.
#include "Submit.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>

namespace {

bool _readAll(const std::string &aPath, std::string *aTextP)
{
    FILE *f = std::fopen(aPath.c_str(), "rb");
    if (!f)
        return false;
    std::string text;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    aTextP->swap(text);
    return ok;
}

// A boundary that none of the parts holds.
std::string _boundary(const std::vector<_submitPart> &aParts)
{
    unsigned long h = GetTickCount() ^ 0x9E3779B9ul;
    for (;;) {
        char text[48];
        std::snprintf(text, sizeof text, "KestrelRunPart%08lx%08lx", h, (unsigned long)aParts.size());
        bool clash = false;
        for (const _submitPart &p : aParts)
            clash = clash || p.content.find(text) != std::string::npos;
        if (!clash)
            return text;
        h = h * 2654435761ul + 1;
    }
}

// The hub's address split for WinINet; the path of its API added unless given.
struct _target {
    std::string host, path;
    INTERNET_PORT port;
    bool secureB;
};

bool _crack(const std::string &aUrl, _target *aT)
{
    char host[256] = "", path[1024] = "";
    URL_COMPONENTSA uc = {};
    uc.dwStructSize = sizeof uc;
    uc.lpszHostName = host;
    uc.dwHostNameLength = sizeof host;
    uc.lpszUrlPath = path;
    uc.dwUrlPathLength = sizeof path;
    if (!InternetCrackUrlA(aUrl.c_str(), 0, 0, &uc) || !host[0] ||
        (uc.nScheme != INTERNET_SCHEME_HTTP && uc.nScheme != INTERNET_SCHEME_HTTPS))
        return false;
    aT->host = host;
    aT->port = uc.nPort;
    aT->secureB = uc.nScheme == INTERNET_SCHEME_HTTPS;
    std::string p = path;
    const std::string api = "/api/runs";
    if (p.size() < api.size() || p.compare(p.size() - api.size(), api.size(), api) != 0) {
        while (!p.empty() && p.back() == '/')
            p.pop_back();
        p += api;
    }
    aT->path = p;
    return true;
}

std::string _lastError(const char *aWhatP)
{
    return std::string(aWhatP) + " failed (error " + std::to_string(GetLastError()) + ")";
}

// Sends one spooled request: the hub's status, or 0 when it could not be reached.
int _post(HINTERNET aNet, const _target &aT, const std::string &aToken, const std::string &aSpooled,
          std::string *aNoteP)
{
    const size_t eol = aSpooled.find('\n');
    if (eol == std::string::npos || eol > 100) {
        *aNoteP = "a damaged spool file";
        return 400;
    }
    const std::string boundary = aSpooled.substr(0, eol);
    HINTERNET conn = InternetConnectA(aNet, aT.host.c_str(), aT.port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!conn) {
        *aNoteP = _lastError("connecting to the hub");
        return 0;
    }
    const char *accept[] = {"application/json", nullptr};
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                  INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES;
    if (aT.secureB)
        flags |= INTERNET_FLAG_SECURE;
    HINTERNET req = HttpOpenRequestA(conn, "POST", aT.path.c_str(), nullptr, nullptr, accept, flags, 0);
    int status = 0;
    if (!req) {
        *aNoteP = _lastError("opening the request");
    } else {
        const std::string headers = "Content-Type: multipart/form-data; boundary=" + boundary +
                                    "\r\nAuthorization: Bearer " + aToken + "\r\n";
        if (!HttpSendRequestA(req, headers.c_str(), (DWORD)headers.size(), (LPVOID)(aSpooled.data() + eol + 1),
                              (DWORD)(aSpooled.size() - eol - 1))) {
            *aNoteP = _lastError("sending to the hub");
        } else {
            DWORD code = 0, size = sizeof code;
            if (HttpQueryInfoA(req, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr))
                status = (int)code;
            // The hub's answer, short, for the note.
            std::string answer;
            char buf[1024];
            DWORD got = 0;
            while (answer.size() < 4096 && InternetReadFile(req, buf, sizeof buf, &got) && got > 0)
                answer.append(buf, got);
            while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r'))
                answer.pop_back();
            *aNoteP = "the hub answered " + std::to_string(status) + ": " + answer.substr(0, 300);
        }
        InternetCloseHandle(req);
    }
    InternetCloseHandle(conn);
    return status;
}

} // namespace

int sSubmitSpool(const std::string &aSpool, const std::string &aStem, const std::vector<_submitPart> &aParts,
                 std::string *aErrP)
{
    CreateDirectoryA(aSpool.c_str(), nullptr);
    const std::string boundary = _boundary(aParts);
    std::string body = boundary + "\n";
    for (const _submitPart &p : aParts) {
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + p.name + "\"";
        if (!p.filename.empty())
            body += "; filename=\"" + p.filename + "\"\r\nContent-Type: application/octet-stream";
        body += "\r\n\r\n" + p.content + "\r\n";
    }
    body += "--" + boundary + "--\r\n";
    // Oldest first by name: the local time, then the run's own name.
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%04u%02u%02u-%02u%02u%02u-%03u-", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond, now.wMilliseconds);
    const std::string path = aSpool + "\\" + stamp + aStem + ".post", part = path + ".part";
    // Written aside and renamed, so a spool file is whole or absent.
    FILE *f = std::fopen(part.c_str(), "wb");
    const bool ok = f && std::fwrite(body.data(), 1, body.size(), f) == body.size();
    if (f && std::fclose(f) != 0)
        f = nullptr;
    if (!ok || !f || !MoveFileA(part.c_str(), path.c_str())) {
        DeleteFileA(part.c_str());
        *aErrP = "cannot write " + path;
        return -1;
    }
    return 0;
}

_submitOutcome sSubmitSend(const std::string &aUrl, const std::string &aToken, const std::string &aSpool)
{
    _submitOutcome out = {0, 0, 0, ""};
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((aSpool + "\\*.post").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do
            names.push_back(fd.cFileName);
        while (FindNextFileA(find, &fd));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    _target t;
    if (!_crack(aUrl, &t)) {
        out.waiting = (int)names.size();
        out.note = "not a hub's address: " + aUrl;
        return out;
    }
    HINTERNET net = InternetOpenA("KestrelRun", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!net) {
        out.waiting = (int)names.size();
        out.note = _lastError("starting WinINet");
        return out;
    }
    // A hub that does not answer costs a run its next minute at most.
    DWORD ms = 15000;
    InternetSetOptionA(net, INTERNET_OPTION_CONNECT_TIMEOUT, &ms, sizeof ms);
    ms = 60000;
    InternetSetOptionA(net, INTERNET_OPTION_SEND_TIMEOUT, &ms, sizeof ms);
    InternetSetOptionA(net, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string path = aSpool + "\\" + names[i];
        std::string spooled;
        if (!_readAll(path, &spooled)) {
            ++out.waiting;
            continue;
        }
        const int status = _post(net, t, aToken, spooled, &out.note);
        if (status == 200 || status == 201) {
            DeleteFileA(path.c_str());
            ++out.sent;
        } else if (status == 400 || status == 413) {
            // The hub will never take it as it is: kept aside, not sent again.
            MoveFileA(path.c_str(), (path + ".refused").c_str());
            ++out.refused;
        } else {
            // Unreachable, failing or not accepting the token: this and the rest wait.
            out.waiting += (int)(names.size() - i);
            break;
        }
    }
    InternetCloseHandle(net);
    return out;
}
