#ifndef KESTREL_TOOLS_DRIVER_DRIVER_H
#define KESTREL_TOOLS_DRIVER_DRIVER_H

// Drives the real Kestrel.exe as a user would: starts it, finds its windows, reads their texts,
// ticks boxes, presses buttons and keys, and waits for it to end. Texts are UTF-8.

#include <windows.h>

#include <string>
#include <vector>

namespace drv {

// What Wine reports as video memory to processes started afterwards (MiB; 0 = Wine's own).
bool SetVideoMemory(int aMiB);
// The description of the primary display adapter, as the program sees it.
std::string AdapterDescription();

// A whole file's bytes; empty when it cannot be read (a log not yet written).
std::string ReadFile(const std::string &aPath);

std::string WindowText(HWND aWin);
std::string ClassName(HWND aWin);
// Texts of the child windows of one class ("Static", "Button"), in z order.
std::vector<std::string> ChildTexts(HWND aWin, const char *aClass);

class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    // Starts aExe in aDir; aEnv holds NAME=VALUE pairs added to this process's environment.
    bool Start(const char *aExe, const char *aDir = ".", const std::vector<std::string> &aEnv = {});
    DWORD Id() const { return _info.dwProcessId; }
    HANDLE Handle() const { return _info.hProcess; }
    HANDLE Thread() const { return _info.hThread; }
    bool Running() const;

    // A visible top-level window of the process; a null class or title matches any.
    HWND WaitWindow(const char *aClass, const char *aTitle, DWORD aTimeoutMs = 30000) const;
    HWND FindWindow(const char *aClass, const char *aTitle) const;
    // A message box (dialog with a static text) of the process.
    HWND WaitMessageBox(DWORD aTimeoutMs = 30000) const;
    // A dialog of the process holding a control with id aControlId (titles differ by language).
    HWND WaitDialogWith(int aControlId, DWORD aTimeoutMs = 30000) const;

    // Ends with the process's exit code; false when it did not end in time.
    bool WaitExit(DWORD aTimeoutMs, DWORD *aExitCode);
    void Kill();

private:
    PROCESS_INFORMATION _info = {};
};

// A visible dialog of process aPid holding a control with id aControlId; null when none.
HWND FindDialogWith(DWORD aPid, int aControlId);
// A message box of process aPid: a dialog with a static text and only aButtons buttons.
HWND FindMessageBox(DWORD aPid, size_t aButtons = 1);
// Texts of a message box's static controls joined by newlines.
std::string MessageText(HWND aBox);
// Types aPath into an open or save dialog of the system and presses its OK button.
void ChooseFile(HWND aFileDlg, const std::string &aPath);

// Presses a dialog button as a click would.
void Click(HWND aDlg, int aId);
// Ticks or clears a check box and tells the dialog, as a click would.
void SetCheck(HWND aDlg, int aId, bool aOn);
bool Checked(HWND aDlg, int aId);
// A key going down on a window, as the keyboard would send it.
void PressKey(HWND aWin, UINT aVirtualKey);
// Waits until aCondition holds or the time runs out.
bool WaitFor(DWORD aTimeoutMs, bool (*aCondition)(void *), void *aContext);

} // namespace drv

#endif
