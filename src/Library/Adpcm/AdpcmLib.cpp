#include "Library/Adpcm/AdpcmLib.h"

#include <new>

// ---- IMA ADPCM --------------------------------------------------------------------------------

extern constexpr int16_t adpcmStepsizeTable[ADPCM_STEP_NUM] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

extern constexpr int8_t adpcmIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

// Every (index, code) pair resolved once: the signed predictor change and the row of the next
// index, so that a sample costs one add, one clamp and two loads.
struct _decodeTbl {
    int32_t diff[ADPCM_STEP_NUM * 16];
    uint16_t nextRow[ADPCM_STEP_NUM * 16];
};

static constexpr _decodeTbl _makeDecodeTbl()
{
    _decodeTbl t{};
    for (int index = 0; index < ADPCM_STEP_NUM; index++) {
        int step = adpcmStepsizeTable[index];
        for (int code = 0; code < 16; code++) {
            int diff = step >> 3;
            if (code & 4)
                diff += step;
            if (code & 2)
                diff += step >> 1;
            if (code & 1)
                diff += step >> 2;
            int next = index + adpcmIndexTable[code];
            next = next < 0 ? 0 : (next > ADPCM_INDEX_MAX ? ADPCM_INDEX_MAX : next);
            t.diff[index * 16 + code] = (code & 8) ? -diff : diff;
            t.nextRow[index * 16 + code] = (uint16_t)(next * 16);
        }
    }
    return t;
}

static constexpr _decodeTbl _decode = _makeDecodeTbl();

static inline int32_t _clampSample(int32_t aVal)
{
    return aVal > 32767 ? 32767 : (aVal < -32768 ? -32768 : aVal);
}

void sAdpcmDecoder(const void *aInDataP, int16_t *aOutDataP, long aLen, _adpcmState *aStateP)
{
    const uint8_t *in = static_cast<const uint8_t *>(aInDataP);
    int32_t pred = aStateP->prevVal;
    int index = aStateP->index;
    index = index < 0 ? 0 : (index > ADPCM_INDEX_MAX ? ADPCM_INDEX_MAX : index);
    uint32_t row = (uint32_t)index * 16;

    long pairs = aLen > 0 ? aLen / 2 : 0;
    for (long i = 0; i < pairs; i++) {
        uint32_t byte = in[i];
        uint32_t k = row + (byte >> 4);
        pred = _clampSample(pred + _decode.diff[k]);
        row = _decode.nextRow[k];
        aOutDataP[2 * i] = (int16_t)pred;
        k = row + (byte & 15);
        pred = _clampSample(pred + _decode.diff[k]);
        row = _decode.nextRow[k];
        aOutDataP[2 * i + 1] = (int16_t)pred;
    }
    // An odd count ends on the high nibble of one more byte.
    if (aLen > 0 && (aLen & 1)) {
        uint32_t k = row + (in[pairs] >> 4);
        pred = _clampSample(pred + _decode.diff[k]);
        row = _decode.nextRow[k];
        aOutDataP[aLen - 1] = (int16_t)pred;
    }
    aStateP->prevVal = (int16_t)pred;
    aStateP->index = (int8_t)(row / 16);
}

// ---- RIFF WAVE --------------------------------------------------------------------------------

static constexpr uint32_t _ckidRiff = sAdpcmFourCC('R', 'I', 'F', 'F');
static constexpr uint32_t _ckidList = sAdpcmFourCC('L', 'I', 'S', 'T');
static constexpr uint32_t _fccWave = sAdpcmFourCC('W', 'A', 'V', 'E');
static constexpr uint32_t _ckidFmt = sAdpcmFourCC('f', 'm', 't', ' ');
static constexpr uint32_t _ckidData = sAdpcmFourCC('d', 'a', 't', 'a');

static uint32_t _le32(const uint8_t *aP)
{
    return (uint32_t)aP[0] | ((uint32_t)aP[1] << 8) | ((uint32_t)aP[2] << 16) | ((uint32_t)aP[3] << 24);
}

static uint16_t _le16(const uint8_t *aP)
{
    return (uint16_t)(aP[0] | (aP[1] << 8));
}

static bool _read(_mmioIn *aIn, void *aDestP, uint32_t aSize)
{
    return aSize == 0 || fread(aDestP, 1, aSize, aIn->fp) == aSize;
}

static bool _seek(_mmioIn *aIn, uint64_t aOffset)
{
    return aOffset <= aIn->fileSize && fseek(aIn->fp, (long)aOffset, SEEK_SET) == 0;
}

// The end of a parent chunk's data as far as the file really holds it.
static uint64_t _parentEnd(const _mmioIn *aIn, const _mmckInfo *aParentP)
{
    if (!aParentP)
        return aIn->fileSize;
    uint64_t end = (uint64_t)aParentP->dwDataOffset + aParentP->cksize;
    return end < aIn->fileSize ? end : aIn->fileSize;
}

// Reads chunk headers from the current position until one with aFindId (any chunk when 0);
// skipped chunks are passed with their pad byte. Every header must lie inside the parent.
static bool _descend(_mmioIn *aIn, _mmckInfo *aCkP, const _mmckInfo *aParentP, uint32_t aFindId)
{
    uint64_t end = _parentEnd(aIn, aParentP);
    for (;;) {
        long pos = ftell(aIn->fp);
        if (pos < 0 || (uint64_t)pos + 8 > end)
            return false;
        uint8_t head[8];
        if (!_read(aIn, head, 8))
            return false;
        _mmckInfo ck{};
        ck.ckid = _le32(head);
        ck.cksize = _le32(head + 4);
        ck.dwDataOffset = (uint32_t)pos + 8;
        if (ck.ckid == _ckidRiff || ck.ckid == _ckidList) {
            uint8_t type[4];
            if ((uint64_t)ck.dwDataOffset + 4 > end || !_read(aIn, type, 4))
                return false;
            ck.fccType = _le32(type);
        }
        if (aFindId == 0 || ck.ckid == aFindId) {
            *aCkP = ck;
            return true;
        }
        uint64_t next = (uint64_t)ck.dwDataOffset + ck.cksize + (ck.cksize & 1);
        if (next >= end || !_seek(aIn, next))
            return false;
    }
}

long sAdpcmWaveOpenStream(FILE *aFp, _mmioIn **aMmioInHP, _waveFormatEx **aWfxInfoPP, _mmckInfo *aCkInRIFFP)
{
    *aMmioInHP = nullptr;
    *aWfxInfoPP = nullptr;
    if (!aFp)
        return WAVE_E_FAIL;
    long size = -1;
    if (fseek(aFp, 0, SEEK_END) == 0)
        size = ftell(aFp);
    if (size < 0 || fseek(aFp, 0, SEEK_SET) != 0) {
        fclose(aFp);
        return WAVE_E_FAIL;
    }
    _mmioIn *in = new (std::nothrow) _mmioIn{aFp, (uint32_t)size};
    if (!in) {
        fclose(aFp);
        return WAVE_E_FAIL;
    }
    long hr = _readMMIO(in, aCkInRIFFP, aWfxInfoPP);
    if (hr != 0) {
        _waveCloseFile(&in);
        return hr;
    }
    *aMmioInHP = in;
    return 0;
}

long _waveOpenFile(const char *aStrFileName, _mmioIn **aMmioInHP, _waveFormatEx **aWfxInfoPP,
                   _mmckInfo *aCkInRIFFP)
{
    *aMmioInHP = nullptr;
    *aWfxInfoPP = nullptr;
    if (!aStrFileName)
        return WAVE_E_FAIL;
    return sAdpcmWaveOpenStream(fopen(aStrFileName, "rb"), aMmioInHP, aWfxInfoPP, aCkInRIFFP);
}

long _readMMIO(_mmioIn *aHmmioIn, _mmckInfo *aCkInRIFFP, _waveFormatEx **aWfxInfoPP)
{
    *aWfxInfoPP = nullptr;
    if (!aHmmioIn || !_seek(aHmmioIn, 0))
        return WAVE_E_FAIL;
    if (!_descend(aHmmioIn, aCkInRIFFP, nullptr, 0) || aCkInRIFFP->ckid != _ckidRiff ||
        aCkInRIFFP->fccType != _fccWave)
        return WAVE_E_FAIL;

    _mmckInfo ckIn{};
    if (!_descend(aHmmioIn, &ckIn, aCkInRIFFP, _ckidFmt) || ckIn.cksize < 16)
        return WAVE_E_FAIL;
    uint8_t head[16];
    if (!_read(aHmmioIn, head, 16))
        return WAVE_E_FAIL;

    // Non-PCM formats carry a count of extra bytes; a 16-byte chunk simply has none, and a count
    // reaching past the chunk is corrupt (it would read the next chunk as format bytes).
    uint16_t tag = _le16(head);
    uint16_t extra = 0;
    if (tag != WAVE_FORMAT_PCM_TAG && ckIn.cksize >= 18) {
        uint8_t count[2];
        if (!_read(aHmmioIn, count, 2))
            return WAVE_E_FAIL;
        extra = _le16(count);
        if (18u + extra > ckIn.cksize)
            return WAVE_E_FAIL;
    }
    uint8_t *bytes = new (std::nothrow) uint8_t[sizeof(_waveFormatEx) + extra];
    if (!bytes)
        return WAVE_E_FAIL;
    _waveFormatEx *wfx = reinterpret_cast<_waveFormatEx *>(bytes);
    wfx->wFormatTag = tag;
    wfx->nChannels = _le16(head + 2);
    wfx->nSamplesPerSec = _le32(head + 4);
    wfx->nAvgBytesPerSec = _le32(head + 8);
    wfx->nBlockAlign = _le16(head + 12);
    wfx->wBitsPerSample = _le16(head + 14);
    wfx->cbSize = extra;
    if (!_read(aHmmioIn, bytes + sizeof(_waveFormatEx), extra)) {
        delete[] bytes;
        return WAVE_E_FAIL;
    }
    // Out of the format chunk, past its pad byte (which the file may leave off at its very end).
    uint64_t after = (uint64_t)ckIn.dwDataOffset + ckIn.cksize;
    if (!_seek(aHmmioIn, after)) {
        delete[] bytes;
        return WAVE_E_FAIL;
    }
    *aWfxInfoPP = wfx;
    return 0;
}

long _waveStartDataRead(_mmioIn **aMmioInHP, _mmckInfo *aCkInP, _mmckInfo *aCkInRIFFP)
{
    _mmioIn *in = aMmioInHP ? *aMmioInHP : nullptr;
    if (!in || !_seek(in, (uint64_t)aCkInRIFFP->dwDataOffset + 4))
        return WAVE_E_FAIL;
    if (!_descend(in, aCkInP, aCkInRIFFP, _ckidData))
        return WAVE_E_FAIL;
    // A data chunk that claims more than the file holds is a truncated file: refuse it here
    // rather than stream a partial block or stale data later.
    if ((uint64_t)aCkInP->dwDataOffset + aCkInP->cksize > in->fileSize)
        return WAVE_E_FAIL;
    return 0;
}

long _waveReadFile(_mmioIn *aHmmioIn, uint32_t aCbRead, uint8_t *aBDestP, _mmckInfo *aCkInP,
                   uint32_t *aCbActualReadP)
{
    *aCbActualReadP = 0;
    if (!aHmmioIn || !aCkInP)
        return WAVE_E_FAIL;
    uint32_t count = aCbRead < aCkInP->cksize ? aCbRead : aCkInP->cksize;
    aCkInP->cksize -= count;
    if (count && (!aBDestP || !_read(aHmmioIn, aBDestP, count)))
        return WAVE_E_FAIL;
    *aCbActualReadP = count;
    return 0;
}

long _waveCloseFile(_mmioIn **aHmmioIn)
{
    if (aHmmioIn && *aHmmioIn) {
        fclose((*aHmmioIn)->fp);
        delete *aHmmioIn;
        *aHmmioIn = nullptr;
    }
    return 0;
}

void sAdpcmWaveFreeFormat(_waveFormatEx **aWfxInfoPP)
{
    if (aWfxInfoPP && *aWfxInfoPP) {
        delete[] reinterpret_cast<uint8_t *>(*aWfxInfoPP);
        *aWfxInfoPP = nullptr;
    }
}
