#include "Library/Format/FORMLIB.h"

#include <cstdlib>
#include <cstring>

#include "Common/DEBUGWIN.h"

// Decoder state, owned by one call of sFormatSlideDecode.
struct _slideWork {
    uint8_t *_lpbText;       // history window
    uint32_t _nWritePos;     // next write position in the window
    uint32_t _nReadPos;      // next position to hand out
    uint32_t _nAvailText;    // decoded, not yet handed out
    uint8_t *_lpCache;       // input cache
    const uint8_t *_lpvCacheNext;
    uint32_t _nAvailCache;
    const uint8_t *_lpDecodeBuf;  // payload not yet in the cache
    uint32_t _nDecodeSize;
    uint32_t _wBitBuffer;    // the current word, and the next one while a field straddles them
    uint32_t _nBitCount;     // bits of _wBitBuffer not yet used
    bool _fDecodeEnd;
    bool _fCorrupt;
};

static const uint32_t _wRightBitsMask[17] = {
    0x0000, 0x0001, 0x0003, 0x0007, 0x000F, 0x001F, 0x003F, 0x007F, 0x00FF,
    0x01FF, 0x03FF, 0x07FF, 0x0FFF, 0x1FFF, 0x3FFF, 0x7FFF, 0xFFFF};

static const uint32_t _windowMask = FORMAT_SLIDE_WINDOW - 1;

static void _memSetByte(uint8_t *aDstP, uint8_t aValue, size_t aSize)
{
    memset(aDstP, aValue, aSize);
}

static bool _decodeInit(_slideWork *aWorkP, const uint8_t *aBufP, uint32_t aBufSize)
{
    memset(aWorkP, 0, sizeof(*aWorkP));
    aWorkP->_lpbText = (uint8_t *)malloc(FORMAT_SLIDE_WINDOW);
    aWorkP->_lpCache = (uint8_t *)malloc(FORMAT_SLIDE_CACHE);
    if (aWorkP->_lpbText == nullptr || aWorkP->_lpCache == nullptr)
        return false;
    _memSetByte(aWorkP->_lpbText, 0, FORMAT_SLIDE_WINDOW);
    _memSetByte(aWorkP->_lpCache, 0, FORMAT_SLIDE_CACHE);
    aWorkP->_lpvCacheNext = aWorkP->_lpCache;
    aWorkP->_lpDecodeBuf = aBufP;
    aWorkP->_nDecodeSize = aBufSize;
    return true;
}

static void _decodeExit(_slideWork *aWorkP)
{
    free(aWorkP->_lpbText);
    free(aWorkP->_lpCache);
    aWorkP->_lpbText = nullptr;
    aWorkP->_lpCache = nullptr;
}

// Next 16-bit little-endian word of the payload; false once the payload is used up.
static bool _cacheReadWord(_slideWork *aWorkP, uint32_t *aWordP)
{
    if (aWorkP->_nAvailCache < 2) {
        uint32_t n = aWorkP->_nDecodeSize < (uint32_t)FORMAT_SLIDE_CACHE ? aWorkP->_nDecodeSize : (uint32_t)FORMAT_SLIDE_CACHE;
        memcpy(aWorkP->_lpCache, aWorkP->_lpDecodeBuf, n);
        aWorkP->_lpDecodeBuf += n;
        aWorkP->_nDecodeSize -= n;
        aWorkP->_lpvCacheNext = aWorkP->_lpCache;
        aWorkP->_nAvailCache = n;
        if (n < 2)
            return false;
    }
    const uint8_t *p = aWorkP->_lpvCacheNext;
    *aWordP = (uint32_t)p[0] | (uint32_t)p[1] << 8;
    aWorkP->_lpvCacheNext += 2;
    aWorkP->_nAvailCache -= 2;
    return true;
}

// Decodes items until enough output is pending or the end code is read. The bit buffer and the
// cache position live in locals here; the state record gets them back on the way out.
static void _decodeMain(_slideWork *aWorkP)
{
    uint8_t *textP = aWorkP->_lpbText;
    uint32_t writePos = aWorkP->_nWritePos;
    uint32_t avail = aWorkP->_nAvailText;
    uint32_t buf = aWorkP->_wBitBuffer;
    uint32_t cnt = aWorkP->_nBitCount;
    const uint8_t *cacheP = aWorkP->_lpvCacheNext;
    uint32_t cacheAvail = aWorkP->_nAvailCache;
    bool dry = false;      // payload used up: the bits in hand are all there is
    bool corrupt = false;

    // Tops the buffer up to at least 16 bits while the payload lasts.
    auto fill = [&]() {
        if (cnt >= 16 || dry)
            return;
        uint32_t word;
        if (cacheAvail >= 2) {
            word = (uint32_t)cacheP[0] | (uint32_t)cacheP[1] << 8;
            cacheP += 2;
            cacheAvail -= 2;
        } else {
            aWorkP->_lpvCacheNext = cacheP;
            aWorkP->_nAvailCache = cacheAvail;
            dry = !_cacheReadWord(aWorkP, &word);
            cacheP = aWorkP->_lpvCacheNext;
            cacheAvail = aWorkP->_nAvailCache;
            if (dry)
                return;
        }
        buf = buf << 16 | word;
        cnt += 16;
    };
    // n bits (n <= 16) once fill() ran; a stream that runs out is corrupt.
    auto take = [&](uint32_t aNum) -> uint32_t {
        if (cnt < aNum) {
            corrupt = true;
            cnt = 0;
            return 0;
        }
        cnt -= aNum;
        return buf >> cnt & _wRightBitsMask[aNum];
    };

    while (avail < FORMAT_SLIDE_PENDING && !corrupt) {
        fill();
        uint32_t code;
        if (cnt >= 9) {
            // Flag and literal, or flag and distance code, in one look.
            uint32_t v = buf >> (cnt - 9) & 0x1FF;
            if (v < 0x100) {
                cnt -= 9;
                textP[writePos] = (uint8_t)v;
                writePos = (writePos + 1) & _windowMask;
                avail++;
                continue;
            }
            cnt -= 6;
            code = v >> 3 & 0x1F;
        } else {
            if (take(1) == 0) {
                uint32_t v = take(8);
                if (corrupt)
                    break;
                textP[writePos] = (uint8_t)v;
                writePos = (writePos + 1) & _windowMask;
                avail++;
                continue;
            }
            code = take(5);
            if (corrupt)
                break;
        }
        if (code == FORMAT_SLIDE_END) {
            aWorkP->_fDecodeEnd = true;
            break;
        }
        uint32_t distance = code + 1;
        if (code >= 4) {
            uint32_t n = (code - 2) / 2;
            fill();
            distance = (((code & 1) | 2) << n) + take(n) + 1;
        }
        fill();
        uint32_t lengthCode = take(5);
        if (distance > FORMAT_SLIDE_DIST_MAX || lengthCode > 27 || corrupt) {
            corrupt = true;
            break;
        }
        uint32_t length = lengthCode + 3;
        if (lengthCode >= 8) {
            uint32_t n = (lengthCode - 4) / 4;
            fill();
            length = (((lengthCode & 3) | 4) << n) + take(n) + 3;
            if (corrupt)
                break;
        }
        avail += length;
        uint32_t from = (writePos - distance) & _windowMask;
        if (from + length <= FORMAT_SLIDE_WINDOW && writePos + length <= FORMAT_SLIDE_WINDOW) {
            if (length > 32) {
                // [from, dst) always holds the repeating pattern, so it can be copied in blocks
                // that double: the same bytes as copying one at a time.
                uint8_t *dstP = textP + writePos;
                const uint8_t *srcP = textP + from;
                for (uint32_t left = length; left > 0;) {
                    uint32_t k = (uint32_t)(dstP - srcP) < left ? (uint32_t)(dstP - srcP) : left;
                    memcpy(dstP, srcP, k);
                    dstP += k;
                    left -= k;
                }
            } else {
                // Short copies byte by byte; an overlapping one repeats its own output.
                for (uint32_t i = 0; i < length; i++)
                    textP[writePos + i] = textP[from + i];
            }
            writePos = (writePos + length) & _windowMask;
        } else {
            for (uint32_t i = 0; i < length; i++) {
                textP[writePos] = textP[from];
                writePos = (writePos + 1) & _windowMask;
                from = (from + 1) & _windowMask;
            }
        }
    }
    aWorkP->_fCorrupt = corrupt;
    aWorkP->_nWritePos = writePos;
    aWorkP->_nAvailText = avail;
    aWorkP->_wBitBuffer = buf;
    aWorkP->_nBitCount = cnt;
    aWorkP->_lpvCacheNext = cacheP;
    aWorkP->_nAvailCache = cacheAvail;
}

// Hands out up to aNum decoded bytes, decoding more as needed; 0 at the end (or on corruption).
static uint32_t _decodeExec(_slideWork *aWorkP, uint8_t *aBufP, uint32_t aNum)
{
    uint32_t copied = 0;
    while (aNum > 0) {
        if (aWorkP->_nAvailText == 0) {
            if (aWorkP->_fDecodeEnd)
                break;
            _decodeMain(aWorkP);
            if (aWorkP->_fCorrupt)
                return 0;
            continue;
        }
        uint32_t k = aNum;
        if (k > aWorkP->_nAvailText)
            k = aWorkP->_nAvailText;
        if (k > FORMAT_SLIDE_WINDOW - aWorkP->_nReadPos)
            k = FORMAT_SLIDE_WINDOW - aWorkP->_nReadPos;
        memcpy(aBufP + copied, aWorkP->_lpbText + aWorkP->_nReadPos, k);
        aWorkP->_nReadPos = (aWorkP->_nReadPos + k) & _windowMask;
        aWorkP->_nAvailText -= k;
        aNum -= k;
        copied += k;
    }
    return copied;
}

// Decodes a slide payload into aOutP (aSize bytes); output the stream does not produce is zero.
static bool _slideDecode(const uint8_t *aBufP, uint32_t aBufSize, uint8_t *aOutP, uint32_t aSize)
{
    _slideWork work;
    if (!_decodeInit(&work, aBufP, aBufSize)) {
        _decodeExit(&work);
        return false;
    }
    uint8_t chunk[FORMAT_SLIDE_CHUNK];
    uint32_t got = 0;
    bool ok = true;
    for (;;) {
        // Whole chunks go straight to the output; the hand-out buffer catches the last one, which
        // may say the stream is longer than the output.
        uint8_t *dstP = aSize - got >= (uint32_t)FORMAT_SLIDE_CHUNK ? aOutP + got : chunk;
        uint32_t n = _decodeExec(&work, dstP, FORMAT_SLIDE_CHUNK);
        if (work._fCorrupt || n > aSize - got) {
            sDebugWinPrintMsg("slide decode: corrupt stream");
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (dstP == chunk)
            memcpy(aOutP + got, chunk, n);
        got += n;
    }
    _decodeExit(&work);
    if (ok)
        _memSetByte(aOutP + got, 0, aSize - got);
    return ok;
}

uint8_t *sFormatSlideDecode(const uint8_t *aBufP, long aBufSize, long aSize)
{
    if (aBufP == nullptr || aBufSize < 0 || aSize < 0 ||
        (uint64_t)aSize > (uint64_t)aBufSize * FORMAT_SLIDE_RATIO)
        return nullptr;
    uint8_t *outP = (uint8_t *)malloc(aSize > 0 ? (size_t)aSize : 1);
    if (outP == nullptr)
        return nullptr;
    if (!_slideDecode(aBufP, (uint32_t)aBufSize, outP, (uint32_t)aSize)) {
        free(outP);
        return nullptr;
    }
    return outP;
}

static bool _runLengthDecode(const uint8_t *aSrcP, uint32_t aSrcSize, uint8_t *aDstP, uint32_t aDstSize)
{
    uint32_t pos = 0;
    for (uint32_t i = 0; i + 1 < aSrcSize; i += 2) {
        uint32_t count = aSrcP[i];
        if (count > aDstSize - pos)
            return false;
        _memSetByte(aDstP + pos, aSrcP[i + 1], count);
        pos += count;
    }
    return true;
}

uint8_t *sFormatExtract(const void *aHeadP, long aAvail)
{
    if (aHeadP == nullptr || aAvail < (long)sizeof(_ninjaHead))
        return nullptr;
    _ninjaHead head;
    memcpy(&head, aHeadP, sizeof(head));
    if (head.size < (int32_t)sizeof(head) || head.size > aAvail || head.expSize < (int32_t)sizeof(head))
        return nullptr;
    const uint8_t *payloadP = (const uint8_t *)aHeadP + sizeof(head);
    uint32_t payloadSize = (uint32_t)head.size - sizeof(head);
    uint32_t outSize = (uint32_t)head.expSize - sizeof(head);

    if (head.compress == FORMAT_RUNLENGTH) {
        // Pairs fill the payload exactly; a lone last byte is no pair.
        if ((payloadSize & 1) != 0 || (uint64_t)outSize > (uint64_t)(payloadSize / 2) * FORMAT_RUNLENGTH_RATIO)
            return nullptr;
        uint8_t *outP = (uint8_t *)calloc(head.expSize, 1);
        if (outP == nullptr)
            return nullptr;
        memcpy(outP, &head, sizeof(head));
        if (!_runLengthDecode(payloadP, payloadSize, outP + sizeof(head), outSize)) {
            sDebugWinPrintMsg("run-length decode: data longer than the block says");
            free(outP);
            return nullptr;
        }
        return outP;
    }
    if (head.compress == FORMAT_SLIDE) {
        if ((uint64_t)outSize > (uint64_t)payloadSize * FORMAT_SLIDE_RATIO)
            return nullptr;
        uint8_t *outP = (uint8_t *)malloc(head.expSize);
        if (outP == nullptr)
            return nullptr;
        memcpy(outP, &head, sizeof(head));
        if (!_slideDecode(payloadP, payloadSize, outP + sizeof(head), outSize)) {
            free(outP);
            return nullptr;
        }
        return outP;
    }
    return nullptr;
}
