#include "Driver.h"

#include <ddraw.h>

#include <cstdio>
#include <cstring>

#include "Common/DEBUGWIN.h"

namespace drv {

static std::string _utf8(const wchar_t *aText)
{
    int len = WideCharToMultiByte(CP_UTF8, 0, aText, -1, nullptr, 0, nullptr, nullptr);
    std::string out(len > 0 ? len - 1 : 0, '\0');
    if (len > 1)
        WideCharToMultiByte(CP_UTF8, 0, aText, -1, &out[0], len, nullptr, nullptr);
    return out;
}

bool SetVideoMemory(int aMiB)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Direct3D", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG r;
    if (aMiB > 0) {
        const std::string value = std::to_string(aMiB);
        r = RegSetValueExA(key, "VideoMemorySize", 0, REG_SZ, (const BYTE *)value.c_str(), value.size() + 1);
    } else {
        r = RegDeleteValueA(key, "VideoMemorySize");
        if (r == ERROR_FILE_NOT_FOUND)
            r = ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

std::string ReadFile(const std::string &aPath)
{
    std::string text;
    if (FILE *fp = std::fopen(aPath.c_str(), "rb")) {
        char buf[65536];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, fp)) > 0;)
            text.append(buf, n);
        std::fclose(fp);
    }
    return text;
}

std::string AdapterDescription()
{
    IDirectDraw7 *dd = nullptr;
    std::string name;
    if (SUCCEEDED(DEBUGWIN_CHECK(DirectDrawCreateEx(nullptr, (void **)&dd, IID_IDirectDraw7, nullptr))) && dd) {
        DDDEVICEIDENTIFIER2 id = {};
        if (SUCCEEDED(DEBUGWIN_CHECK(dd->GetDeviceIdentifier(&id, 0))))
            name = id.szDescription;
        dd->Release();
    }
    return name;
}

std::string WindowText(HWND aWin)
{
    wchar_t text[1024] = L"";
    SetLastError(0);
    // Windows 98 and ME export the wide function as a stub that fails: read the ANSI text there.
    if (!GetWindowTextW(aWin, text, 1024) && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
        char ansi[1024] = "";
        GetWindowTextA(aWin, ansi, sizeof ansi);
        if (!MultiByteToWideChar(CP_ACP, 0, ansi, -1, text, 1024))
            text[0] = 0;
    }
    return _utf8(text);
}

std::string ClassName(HWND aWin)
{
    char name[256] = "";
    GetClassNameA(aWin, name, sizeof name);
    return name;
}

struct _childQuery {
    const char *cls;
    std::vector<std::string> *out;
};

static BOOL CALLBACK _childProc(HWND aWin, LPARAM aParam)
{
    auto *q = (_childQuery *)aParam;
    if (_stricmp(ClassName(aWin).c_str(), q->cls) == 0)
        q->out->push_back(WindowText(aWin));
    return TRUE;
}

std::vector<std::string> ChildTexts(HWND aWin, const char *aClass)
{
    std::vector<std::string> texts;
    _childQuery q = {aClass, &texts};
    EnumChildWindows(aWin, _childProc, (LPARAM)&q);
    return texts;
}

Process::~Process()
{
    Kill();
}

bool Process::Start(const char *aExe, const char *aDir, const std::vector<std::string> &aEnv)
{
    // The child's environment: ours plus the given pairs.
    std::string block;
    for (const std::string &pair : aEnv)
        block += pair + '\0';
    if (char *env = GetEnvironmentStringsA()) {
        for (const char *p = env; *p; p += std::strlen(p) + 1)
            block += std::string(p) + '\0';
        FreeEnvironmentStringsA(env);
    }
    block += '\0';
    std::string cmd = std::string("\"") + aExe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    return CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, &block[0], aDir, &si, &_info) != 0;
}

bool Process::Running() const
{
    DWORD code = 0;
    return _info.hProcess && GetExitCodeProcess(_info.hProcess, &code) && code == STILL_ACTIVE;
}

struct _windowQuery {
    DWORD pid;
    const char *cls;
    const char *title;
    bool messageBox;
    HWND found;
    int controlId = 0;
    size_t buttons = 1;
};

static BOOL CALLBACK _windowProc(HWND aWin, LPARAM aParam)
{
    auto *q = (_windowQuery *)aParam;
    DWORD pid = 0;
    GetWindowThreadProcessId(aWin, &pid);
    if (pid != q->pid || !IsWindowVisible(aWin))
        return TRUE;
    if (q->cls && ClassName(aWin) != q->cls)
        return TRUE;
    if (q->title && WindowText(aWin) != q->title)
        return TRUE;
    if (q->messageBox && (ClassName(aWin) != "#32770" || ChildTexts(aWin, "Static").empty() ||
                          ChildTexts(aWin, "Button").size() != q->buttons))
        return TRUE;
    if (q->controlId && (ClassName(aWin) != "#32770" || !GetDlgItem(aWin, q->controlId)))
        return TRUE;
    q->found = aWin;
    return FALSE;
}

HWND Process::FindWindow(const char *aClass, const char *aTitle) const
{
    _windowQuery q = {_info.dwProcessId, aClass, aTitle, false, nullptr};
    EnumWindows(_windowProc, (LPARAM)&q);
    return q.found;
}

HWND Process::WaitWindow(const char *aClass, const char *aTitle, DWORD aTimeoutMs) const
{
    const DWORD start = GetTickCount();
    do {
        if (HWND win = FindWindow(aClass, aTitle))
            return win;
        Sleep(50);
    } while (GetTickCount() - start < aTimeoutMs && Running());
    return FindWindow(aClass, aTitle);
}

HWND Process::WaitMessageBox(DWORD aTimeoutMs) const
{
    const DWORD start = GetTickCount();
    do {
        _windowQuery q = {_info.dwProcessId, nullptr, nullptr, true, nullptr};
        EnumWindows(_windowProc, (LPARAM)&q);
        if (q.found)
            return q.found;
        Sleep(50);
    } while (GetTickCount() - start < aTimeoutMs && Running());
    return nullptr;
}

HWND FindDialogWith(DWORD aPid, int aControlId)
{
    _windowQuery q = {aPid, nullptr, nullptr, false, nullptr, aControlId};
    EnumWindows(_windowProc, (LPARAM)&q);
    return q.found;
}

HWND FindMessageBox(DWORD aPid, size_t aButtons)
{
    _windowQuery q = {aPid, nullptr, nullptr, true, nullptr, 0, aButtons};
    EnumWindows(_windowProc, (LPARAM)&q);
    return q.found;
}

std::string MessageText(HWND aBox)
{
    std::string text;
    for (const std::string &line : ChildTexts(aBox, "Static")) {
        if (line.empty())
            continue;
        if (!text.empty())
            text += '\n';
        text += line;
    }
    return text;
}

HWND Process::WaitDialogWith(int aControlId, DWORD aTimeoutMs) const
{
    const DWORD start = GetTickCount();
    do {
        if (HWND win = FindDialogWith(_info.dwProcessId, aControlId))
            return win;
        Sleep(50);
    } while (GetTickCount() - start < aTimeoutMs && Running());
    return FindDialogWith(_info.dwProcessId, aControlId);
}

void ChooseFile(HWND aFileDlg, const std::string &aPath)
{
    // The file name box: a combo box (cmb13) in the newer dialog, an edit (edt1) in the older.
    HWND name = GetDlgItem(aFileDlg, 0x47c);
    if (!name)
        name = GetDlgItem(aFileDlg, 0x480);
    SendMessageA(name, WM_SETTEXT, 0, (LPARAM)aPath.c_str());
    PostMessageA(aFileDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(aFileDlg, IDOK));
}

bool Process::WaitExit(DWORD aTimeoutMs, DWORD *aExitCode)
{
    if (!_info.hProcess || WaitForSingleObject(_info.hProcess, aTimeoutMs) != WAIT_OBJECT_0)
        return false;
    GetExitCodeProcess(_info.hProcess, aExitCode);
    return true;
}

void Process::Kill()
{
    if (!_info.hProcess)
        return;
    if (Running()) {
        TerminateProcess(_info.hProcess, 1);
        WaitForSingleObject(_info.hProcess, 5000);
    }
    CloseHandle(_info.hProcess);
    CloseHandle(_info.hThread);
    _info = {};
}

void Click(HWND aDlg, int aId)
{
    PostMessageA(aDlg, WM_COMMAND, MAKEWPARAM(aId, BN_CLICKED), (LPARAM)GetDlgItem(aDlg, aId));
}

void SetCheck(HWND aDlg, int aId, bool aOn)
{
    SendDlgItemMessageA(aDlg, aId, BM_SETCHECK, aOn ? BST_CHECKED : BST_UNCHECKED, 0);
    Click(aDlg, aId);
}

bool Checked(HWND aDlg, int aId)
{
    return SendDlgItemMessageA(aDlg, aId, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void PressKey(HWND aWin, UINT aVirtualKey)
{
    const UINT scan = MapVirtualKeyA(aVirtualKey, 0);
    PostMessageA(aWin, WM_KEYDOWN, aVirtualKey, 1 | (scan << 16));
}

bool WaitFor(DWORD aTimeoutMs, bool (*aCondition)(void *), void *aContext)
{
    const DWORD start = GetTickCount();
    while (!aCondition(aContext)) {
        if (GetTickCount() - start >= aTimeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

} // namespace drv
