#ifndef KESTREL_APP_APP_APPINT_H
#define KESTREL_APP_APP_APPINT_H

// Shared by the two package readers only.

#include <cstdio>

// Opens a file for binary reading and measures it.
FILE *_openSized(const char *aNameP, long *aSizeP);

#endif
