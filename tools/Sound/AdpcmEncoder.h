#ifndef KESTREL_TOOLS_SOUND_ADPCMENCODER_H
#define KESTREL_TOOLS_SOUND_ADPCMENCODER_H

// IMA ADPCM encoder of the .kss streams: the inverse of sAdpcmDecoder. It runs the decoder's own
// arithmetic for every candidate code, so its predictor is the decoder's predictor and the
// error never drifts.

#include <cstdint>

#include "Library/Adpcm/AdpcmLib.h"

// Encodes aLen samples into aLen / 2 bytes (high nibble first; an odd count leaves the last low
// nibble 0), starting from and updating *aStateP exactly as the decoder will.
void sAdpcmEncoder(const int16_t *aInP, uint8_t *aOutP, long aLen, _adpcmState *aStateP);

// Signal-to-noise ratio in dB of aDecodedP against aRefP, over every aStride-th sample from
// aFirst (stride 2 picks one channel of an interleaved stream). 200 when they are identical.
double sAdpcmSnr(const int16_t *aRefP, const int16_t *aDecodedP, long aLen, int aFirst, int aStride);

#endif
