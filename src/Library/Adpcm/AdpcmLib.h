#ifndef KESTREL_LIBRARY_ADPCM_ADPCMLIB_H
#define KESTREL_LIBRARY_ADPCM_ADPCMLIB_H

// The sound formats that need no platform call: the IMA ADPCM decoder of the .kss streams and
// the RIFF WAVE reader that both the music streamer and the effects use.

#include <cstddef>
#include <cstdint>
#include <cstdio>

// ---- IMA ADPCM --------------------------------------------------------------------------------

// Decoder state carried from call to call: the predictor and the step-table index (0..88).
struct _adpcmState {
    int16_t prevVal;
    int8_t index;
};

constexpr int ADPCM_STEP_NUM = 89;
constexpr int ADPCM_INDEX_MAX = 88;

// The standard IMA tables, shared with the content builder's encoder.
extern const int16_t adpcmStepsizeTable[ADPCM_STEP_NUM];
extern const int8_t adpcmIndexTable[16];

// Decodes aLen samples (aLen / 2 bytes, high nibble first) into 16-bit samples, starting from
// and updating *aStateP. Every call starts on a high nibble; callers pass even counts.
void sAdpcmDecoder(const void *aInDataP, int16_t *aOutDataP, long aLen, _adpcmState *aStateP);

// ---- RIFF WAVE --------------------------------------------------------------------------------

enum { WAVE_FORMAT_PCM_TAG = 1 };
// The reader's failure result (E_FAIL).
constexpr long WAVE_E_FAIL = static_cast<long>(0x80004005u);

// Four-character code as it lies in the file.
constexpr uint32_t sAdpcmFourCC(char a, char b, char c, char d)
{
    return (uint32_t)(uint8_t)a | ((uint32_t)(uint8_t)b << 8) | ((uint32_t)(uint8_t)c << 16) |
           ((uint32_t)(uint8_t)d << 24);
}

// Chunk information, laid out as the platform's MMCKINFO.
struct _mmckInfo {
    uint32_t ckid;
    uint32_t cksize;       // for the data chunk while streaming: the bytes still unread
    uint32_t fccType;      // form type of RIFF and LIST chunks
    uint32_t dwDataOffset; // file offset of the chunk's data
    uint32_t dwFlags;
};
static_assert(sizeof(_mmckInfo) == 20, "_mmckInfo has MMCKINFO's layout");

#pragma pack(push, 1)
// Wave format, laid out as the platform's WAVEFORMATEX; cbSize extra bytes may follow.
struct _waveFormatEx {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(_waveFormatEx) == 18, "_waveFormatEx has WAVEFORMATEX's layout");
static_assert(offsetof(_waveFormatEx, nSamplesPerSec) == 4 && offsetof(_waveFormatEx, nAvgBytesPerSec) == 8 &&
                  offsetof(_waveFormatEx, nBlockAlign) == 12 && offsetof(_waveFormatEx, wBitsPerSample) == 14 &&
                  offsetof(_waveFormatEx, cbSize) == 16,
              "_waveFormatEx field offsets");

// An open WAVE file (the reader's file handle).
struct _mmioIn {
    FILE *fp;
    uint32_t fileSize; // every chunk is checked against it
};

// Opens a WAVE file and reads its format: hands out the open file, the format record (allocated
// with new[] as bytes; the caller frees it with sAdpcmWaveFreeFormat) and the RIFF chunk.
long _waveOpenFile(const char *aStrFileName, _mmioIn **aMmioInHP, _waveFormatEx **aWfxInfoPP,
                       _mmckInfo *aCkInRIFFP);
// The same over an already open stream (taken over: closed by _waveCloseFile, or on failure).
long sAdpcmWaveOpenStream(FILE *aFp, _mmioIn **aMmioInHP, _waveFormatEx **aWfxInfoPP, _mmckInfo *aCkInRIFFP);
// The format part of the above.
long _readMMIO(_mmioIn *aHmmioIn, _mmckInfo *aCkInRIFFP, _waveFormatEx **aWfxInfoPP);
// Positions the file at the start of the data chunk; aCkInP->cksize is the number of data bytes.
long _waveStartDataRead(_mmioIn **aMmioInHP, _mmckInfo *aCkInP, _mmckInfo *aCkInRIFFP);
// Reads up to aCbRead data bytes, counting the chunk's remaining size down.
long _waveReadFile(_mmioIn *aHmmioIn, uint32_t aCbRead, uint8_t *aBDestP, _mmckInfo *aCkInP,
                       uint32_t *aCbActualReadP);
// Closes the file if open and nulls the handle.
long _waveCloseFile(_mmioIn **aHmmioIn);
void sAdpcmWaveFreeFormat(_waveFormatEx **aWfxInfoPP);

#endif
