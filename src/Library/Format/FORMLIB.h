#ifndef KESTREL_LIBRARY_FORMAT_FORMLIB_H
#define KESTREL_LIBRARY_FORMAT_FORMLIB_H

// Packed blocks: a _ninjaHead followed by a stored, run-length or slide coded payload, and the
// slide (sliding-window) decoder that expands them.

#include <cstddef>
#include <cstdint>

struct _ninjaHead {
    int32_t size;      // stored block size, this header included
    int32_t type;      // file type tag, e.g. FORMAT_TYPE_KSM
    int16_t revs;      // not examined
    int16_t compress;  // FORMAT_STORED, FORMAT_RUNLENGTH, FORMAT_SLIDE
    int32_t expSize;   // size after expansion, this header included
};
static_assert(sizeof(_ninjaHead) == 16, "_ninjaHead");
static_assert(offsetof(_ninjaHead, type) == 4, "_ninjaHead.type");
static_assert(offsetof(_ninjaHead, revs) == 8, "_ninjaHead.revs");
static_assert(offsetof(_ninjaHead, compress) == 10, "_ninjaHead.compress");
static_assert(offsetof(_ninjaHead, expSize) == 12, "_ninjaHead.expSize");

enum {
    FORMAT_STORED = 0,
    FORMAT_RUNLENGTH = 1,
    FORMAT_RESERVED = 2,  // never supported
    FORMAT_SLIDE = 3
};

// "@KSM" in file order, read as a little-endian word.
const int32_t FORMAT_TYPE_KSM = 0x4D534B40;

enum {
    FORMAT_SLIDE_WINDOW = 32768,  // history window, zero-filled at the start
    FORMAT_SLIDE_CACHE = 32768,   // input cache
    FORMAT_SLIDE_CHUNK = 8192,    // hand-out buffer
    FORMAT_SLIDE_PENDING = 16127, // decoding pauses once this many bytes wait to be handed out
    FORMAT_SLIDE_DIST_MAX = 16383,
    FORMAT_SLIDE_LEN_MIN = 3,
    FORMAT_SLIDE_LEN_MAX = 258,
    FORMAT_SLIDE_END = 31,        // distance code that ends the stream
    // Most output one payload byte can describe: a 258-byte match costs 16 bits at best. Sizes
    // beyond it cannot come from the payload, so they are refused before anything is allocated.
    FORMAT_SLIDE_RATIO = 129,
    FORMAT_RUNLENGTH_RATIO = 255  // per pair
};

// Expands the block at aHeadP (aAvail bytes readable there) into a new buffer of expSize bytes
// (header copied unchanged, payload expanded behind it; the caller frees it). Null for a block
// that is not run-length or slide coded, that claims more bytes than aAvail or an expansion its
// payload cannot describe, whose data is corrupt, or when memory runs out.
uint8_t *sFormatExtract(const void *aHeadP, long aAvail);

// Decodes the aBufSize-byte slide payload at aBufP into a new zero-filled buffer of aSize bytes
// (the caller frees it). Null on a corrupt stream, one that would produce more than aSize bytes
// or ends before its end code, or when memory runs out.
uint8_t *sFormatSlideDecode(const uint8_t *aBufP, long aBufSize, long aSize);

#endif
