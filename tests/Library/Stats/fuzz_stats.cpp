// The three readers of a run's files on arbitrary bytes: the first byte chooses the reader. Any
// result is fine; a crash or a read outside the text is not, and a refusal always names a reason.
#include <cstdint>
#include <string>

#include "Library/Stats/StatsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aData, size_t aSize)
{
    if (aSize == 0)
        return 0;
    const std::string text((const char *)aData + 1, aSize - 1);
    _statsError err;
    long result = 0;
    switch (aData[0] % 3) {
    case 0: {
        _statsResults r;
        result = sStatsReadResults(text.data(), text.size(), &r, &err);
        break;
    }
    case 1: {
        std::vector<_statsFrame> f;
        result = sStatsReadFrames(text.data(), text.size(), &f, &err);
        break;
    }
    default: {
        _statsRecord r;
        result = sStatsReadRecord(text.data(), text.size(), &r, &err);
        break;
    }
    }
    if (result && err.reason.empty())
        __builtin_trap();
    return 0;
}
