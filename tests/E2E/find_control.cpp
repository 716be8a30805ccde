// For the browser view's test: where a control of Kestrel's panel is on the screen. Prints the
// screen rectangle "left top right bottom" of the visible control with the given id in a visible
// top-level dialog, and exits 0; exits 1 when there is none.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct Found {
    int id;
    RECT rect;
    bool seen;
};

BOOL CALLBACK Look(HWND aWin, LPARAM aFoundP)
{
    Found *found = (Found *)aFoundP;
    HWND item = IsWindowVisible(aWin) ? GetDlgItem(aWin, found->id) : nullptr;
    if (item && IsWindowVisible(item) && GetWindowRect(item, &found->rect)) {
        found->seen = true;
        return FALSE;
    }
    return TRUE;
}

} // namespace

int main(int aArgc, char **aArgv)
{
    if (aArgc != 2)
        return 2;
    Found found = {std::atoi(aArgv[1]), {}, false};
    EnumWindows(Look, (LPARAM)&found);
    if (!found.seen)
        return 1;
    std::printf("%ld %ld %ld %ld\n", found.rect.left, found.rect.top, found.rect.right, found.rect.bottom);
    return 0;
}
