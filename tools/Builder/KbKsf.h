#ifndef KESTREL_TOOLS_BUILDER_KBKSF_H
#define KESTREL_TOOLS_BUILDER_KBKSF_H

// Image packages (.ksf): named image files back to back behind a scrambled directory.

#include <string>

#include "KbBytes.h"

struct kbKsfEntry {
    std::string name;  // the folder part is dropped and the rest lower-cased
    kbBytes data;      // a complete bitmap or Targa file
};

// The package file for the entries, in their order. Fails on more than 512 entries, a name longer
// than 31 characters, or two entries of the same name.
bool kbKsfWrite(const std::vector<kbKsfEntry> &aEntries, kbBytes *aOutP, std::string *aErrorP);

// The directory name of a request: after the last backslash or slash, lower-cased.
std::string kbKsfName(const std::string &aName);

#endif
