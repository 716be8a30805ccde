#include "Common/DEBUGWIN.h"

// Internal failures surface only as result codes; the text is accepted and dropped.
void sDebugWinPrintMsg(const char *aText)
{
    (void)aText;
}
