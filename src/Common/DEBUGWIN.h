#ifndef KESTREL_COMMON_DEBUGWIN_H
#define KESTREL_COMMON_DEBUGWIN_H

// Diagnostic sink: modules report internal failures here; nothing is shown to the user.
void sDebugWinPrintMsg(const char *aText);

#endif
