// Where the program writes what it keeps: its own folder when that can be written, else the
// user's application-data folder. The unattended runner asks the same to find what Kestrel wrote.
#pragma once

#include <cstddef>

// The folder (no trailing separator) that files of the program in aProgramDirP go to; nullptr
// means the running program's folder. Returns the length written to aOutP, 0 when no folder can
// be written.
size_t sSysWriteFolder(const char *aProgramDirP, char *aOutP, size_t aSize);

// aNameP in that folder; 0 when it does not fit or no folder can be written.
size_t sSysWritePath(const char *aProgramDirP, const char *aNameP, char *aOutP, size_t aSize);
