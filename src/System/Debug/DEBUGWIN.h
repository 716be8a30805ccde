#ifndef KESTREL_SYSTEM_DEBUG_DEBUGWIN_H
#define KESTREL_SYSTEM_DEBUG_DEBUGWIN_H

// Diagnostic sink: modules report internal failures here; nothing is shown to the user.
void sDebugWinPrintMsg(const char *aText);

#endif
