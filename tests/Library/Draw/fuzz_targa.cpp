// Targa files from untrusted bytes: refused, or decoded into exactly width x height pixels.
#include "FuzzTestUtil.h"
#include "Library/Draw/DrawCore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aDataP, size_t aSize)
{
    fuzzImage(sDrawDecodeTarga, aDataP, aSize, 24, 32);
    return 0;
}
