// The draw manager's text: the font of the debug text, the text onto the back buffer and the
// debug message hooks.

#include "System/Draw/DrawMan.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "Common/DEBUGWIN.h"

void sPrintMsgFile(const char *aFormatP, ...)
{
    if (!aFormatP)
        return;
    char text[DRAW_TEXT_SIZE];
    va_list args;
    va_start(args, aFormatP);
    std::vsnprintf(text, sizeof text, aFormatP, args);
    va_end(args);
    sDebugWinPrintMsg(text);
}

void _dwError(const char *aFormatP)
{
    if (aFormatP)
        sDebugWinPrintMsg(aFormatP);
}

_drawFont::_drawFont() : _status(1), _logFont(), _fontH(nullptr)
{
    _logFont.lfHeight = -27;
    _logFont.lfWeight = 400;
    _logFont.lfCharSet = 0;
    _logFont.lfOutPrecision = 3;
    _logFont.lfClipPrecision = 2;
    _logFont.lfQuality = 1;
    _logFont.lfPitchAndFamily = 18;
    std::strcpy(_logFont.lfFaceName, "Verdana");
}

_drawFont::~_drawFont()
{
    if (_fontH)
        DeleteObject(_fontH);
}

long _drawFont::Update(void)
{
    HFONT font = CreateFontIndirectA(&_logFont);
    if (!font)
        return E_INVALIDARG;
    if (_fontH)
        DeleteObject(_fontH);
    _fontH = font;
    return 0;
}

void sDrawShowText(long aPosX, long aPosY, const char *aFormatP, ...)
{
    static char text[DRAW_TEXT_SIZE];
    if (!aFormatP || !aFormatP[0] || !drawMan.fontP || !drawMan.fontP->GetFontHandle() || !drawMan.backP)
        return;
    va_list args;
    va_start(args, aFormatP);
    // A longer text is cut at the buffer, never written past it.
    const int len = std::vsnprintf(text, sizeof text, aFormatP, args);
    va_end(args);
    if (len <= 0)
        return;
    HDC dc = nullptr;
    if (FAILED(DEBUGWIN_CHECK(drawMan.backP->GetDC(&dc))))
        return;
    HGDIOBJ old = SelectObject(dc, drawMan.fontP->GetFontHandle());
    SetTextColor(dc, RGB(255, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    ExtTextOutA(dc, (int)aPosX, (int)aPosY, 0, nullptr, text, (UINT)std::strlen(text), nullptr);
    SelectObject(dc, old);
    DEBUGWIN_CHECK(drawMan.backP->ReleaseDC(dc));
}
