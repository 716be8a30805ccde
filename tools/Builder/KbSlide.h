#ifndef KESTREL_TOOLS_BUILDER_KBSLIDE_H
#define KESTREL_TOOLS_BUILDER_KBSLIDE_H

// The encoders of packed blocks: slide coding (LZ77 over a 16383-byte window, matches of 3..258
// bytes, fixed-width codes) and run-length pairs.

#include "KbBytes.h"

struct kbSlideLevel {
    int chainMax;   // candidates tried per position
    int lazyMax;    // a match at least this long is taken without looking one byte further
    int goodLen;    // with a match this long, the next position tries only a quarter of the chain
    int niceLen;    // a match this long ends the search
    bool optimal;   // choose the parse of fewest bits instead of matching lazily
};

extern const kbSlideLevel kbSlideFast;     // short chains, for quick test data
extern const kbSlideLevel kbSlideLazy;     // long chains, lazy matching
extern const kbSlideLevel kbSlideDefault;  // what content is packed with: the parse of fewest bits

// The slide payload for aSize bytes: a bit stream in 16-bit little-endian words.
kbBytes kbSlideEncode(const uint8_t *aDataP, size_t aSize, const kbSlideLevel &aLevel = kbSlideDefault);

// The run-length payload: (count, value) pairs, count 1..255.
kbBytes kbRunLengthEncode(const uint8_t *aDataP, size_t aSize);

// Writes bit fields most significant bit first into 16-bit little-endian words.
class kbBitWriter {
public:
    explicit kbBitWriter(kbBytes &aOut) : _out(aOut) {}
    void Put(uint32_t aValue, int aBits);
    void Flush();  // pads the last word with zero bits

private:
    kbBytes &_out;
    uint32_t _word = 0;
    int _used = 0;
};

// Code and extra bits of a distance (1..16383) or length (3..258).
void kbSlideDistanceCode(uint32_t aDistance, uint32_t *aCodeP, uint32_t *aExtraBitsP, uint32_t *aExtraP);
void kbSlideLengthCode(uint32_t aLength, uint32_t *aCodeP, uint32_t *aExtraBitsP, uint32_t *aExtraP);

#endif
