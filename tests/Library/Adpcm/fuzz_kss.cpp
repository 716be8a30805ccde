// The .kss decoder on arbitrary bytes from an arbitrary state: one call over the whole stream
// and the same stream in uneven even-sized pieces must agree sample for sample.
#include <cstdint>
#include <cstring>
#include <vector>

#include "Library/Adpcm/AdpcmLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aData, size_t aSize)
{
    if (aSize < 3)
        return 0;
    _adpcmState start{(int16_t)(aData[0] | (aData[1] << 8)), (int8_t)(aData[2] % (ADPCM_INDEX_MAX + 1))};
    const uint8_t *code = aData + 3;
    size_t bytes = aSize - 3;

    std::vector<int16_t> whole(bytes * 2), pieces(bytes * 2);
    _adpcmState a = start, b = start;
    sAdpcmDecoder(code, whole.data(), (long)whole.size(), &a);
    size_t pos = 0;
    for (size_t k = 0; pos < bytes; k++) {
        size_t n = 1 + (code[k % bytes] % 13);
        if (n > bytes - pos)
            n = bytes - pos;
        sAdpcmDecoder(code + pos, pieces.data() + 2 * pos, (long)(2 * n), &b);
        pos += n;
    }
    if (whole != pieces || a.prevVal != b.prevVal || a.index != b.index)
        __builtin_trap();
    if (a.index < 0 || a.index > ADPCM_INDEX_MAX)
        __builtin_trap();
    return 0;
}
