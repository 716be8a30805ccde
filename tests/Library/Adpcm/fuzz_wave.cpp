// The WAVE reader on arbitrary bytes: open, find the data, stream it in pieces, rewind, stream
// again. Any result is fine; a crash, a hang or a read outside a buffer is not.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "Library/Adpcm/AdpcmLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aData, size_t aSize)
{
    if (aSize == 0)
        return 0;
    FILE *fp = fmemopen(const_cast<uint8_t *>(aData), aSize, "rb");
    if (!fp)
        return 0;
    _mmioIn *in = nullptr;
    _waveFormatEx *wfx = nullptr;
    _mmckInfo riff{};
    if (sAdpcmWaveOpenStream(fp, &in, &wfx, &riff) != 0) {
        if (in || wfx)
            __builtin_trap();
        return 0;
    }
    // Every extra byte the record claims must be readable.
    const uint8_t *extra = reinterpret_cast<const uint8_t *>(wfx) + sizeof(_waveFormatEx);
    uint8_t sum = 0;
    for (uint16_t i = 0; i < wfx->cbSize; i++)
        sum += extra[i];
    __asm__ volatile("" : : "r"(sum));
    std::vector<uint8_t> buf(4096);
    for (int pass = 0; pass < 2; pass++) {
        _mmckInfo ck{};
        if (_waveStartDataRead(&in, &ck, &riff) != 0)
            break;
        if ((uint64_t)ck.dwDataOffset + ck.cksize > aSize)
            __builtin_trap(); // a data chunk beyond the file must have been refused
        uint32_t piece = 1 + aData[aSize - 1] % 97 + pass * 1000;
        while (ck.cksize > 0) {
            uint32_t n = 0;
            uint32_t before = ck.cksize;
            if (_waveReadFile(in, piece, buf.data(), &ck, &n) != 0)
                __builtin_trap(); // the chunk lies inside the file, so it reads
            if (n == 0 || ck.cksize != before - n)
                __builtin_trap();
        }
    }
    _waveCloseFile(&in);
    sAdpcmWaveFreeFormat(&wfx);
    return 0;
}
