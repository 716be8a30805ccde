#include "KbAvi.h"

#include <cstring>

namespace {

void _put16(kbAviBytes &aOut, uint32_t aValue)
{
    aOut.push_back((uint8_t)aValue);
    aOut.push_back((uint8_t)(aValue >> 8));
}

void _put32(kbAviBytes &aOut, uint32_t aValue)
{
    _put16(aOut, aValue & 0xFFFF);
    _put16(aOut, aValue >> 16);
}

void _fourcc(kbAviBytes &aOut, const char *aCode)
{
    aOut.insert(aOut.end(), aCode, aCode + 4);
}

void _set32(kbAviBytes &aOut, size_t aAt, uint32_t aValue)
{
    for (int i = 0; i < 4; ++i)
        aOut[aAt + i] = (uint8_t)(aValue >> (8 * i));
}

// Opens a chunk (or a LIST / RIFF with its form type); returns where its size goes.
size_t _open(kbAviBytes &aOut, const char *aId, const char *aForm = nullptr)
{
    _fourcc(aOut, aId);
    const size_t at = aOut.size();
    _put32(aOut, 0);
    if (aForm)
        _fourcc(aOut, aForm);
    return at;
}

void _close(kbAviBytes &aOut, size_t aAt)
{
    _set32(aOut, aAt, (uint32_t)(aOut.size() - aAt - 4));
    if (aOut.size() & 1)
        aOut.push_back(0);
}

// One frame as a bottom-up DIB with rows padded to four bytes.
kbAviBytes _frameBits(const kbAviClip &aClip, const std::vector<uint32_t> &aFrame, int aDepth)
{
    const uint32_t stride = ((aClip.width * (uint32_t)aDepth / 8) + 3) & ~3u;
    kbAviBytes bits(stride * aClip.height, 0);
    for (uint32_t y = 0; y < aClip.height; ++y) {
        uint8_t *row = bits.data() + (aClip.height - 1 - y) * stride;
        for (uint32_t x = 0; x < aClip.width; ++x) {
            const uint32_t p = aFrame[y * aClip.width + x];
            const uint32_t r = p >> 24, g = (p >> 16) & 0xFF, b = (p >> 8) & 0xFF;
            if (aDepth == 16) {
                const uint32_t v = (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
                row[x * 2] = (uint8_t)v;
                row[x * 2 + 1] = (uint8_t)(v >> 8);
            } else {
                row[x * 3] = (uint8_t)b;
                row[x * 3 + 1] = (uint8_t)g;
                row[x * 3 + 2] = (uint8_t)r;
            }
        }
    }
    return bits;
}

} // namespace

bool kbAviWrite(const kbAviClip &aClip, int aDepth, kbAviBytes *aOutP, std::string *aErrorP)
{
    if (aDepth != 16 && aDepth != 24) {
        *aErrorP = "AVI depth must be 16 or 24";
        return false;
    }
    if (!aClip.width || !aClip.height || aClip.frames.empty() || !aClip.rate) {
        *aErrorP = "AVI clip without frames";
        return false;
    }
    for (const auto &frame : aClip.frames) {
        if (frame.size() != (size_t)aClip.width * aClip.height) {
            *aErrorP = "AVI frame of the wrong size";
            return false;
        }
    }
    const uint32_t frameSize = (((aClip.width * (uint32_t)aDepth / 8) + 3) & ~3u) * aClip.height;
    const uint32_t count = (uint32_t)aClip.frames.size();
    kbAviBytes &out = *aOutP;
    out.clear();
    const size_t riff = _open(out, "RIFF", "AVI ");
    const size_t hdrl = _open(out, "LIST", "hdrl");
    const size_t avih = _open(out, "avih");
    _put32(out, 1000000 / aClip.rate);  // microseconds per frame
    _put32(out, frameSize * aClip.rate);
    _put32(out, 0);
    _put32(out, 0x10);  // has an index
    _put32(out, count);
    _put32(out, 0);
    _put32(out, 1);  // streams
    _put32(out, frameSize);
    _put32(out, aClip.width);
    _put32(out, aClip.height);
    for (int i = 0; i < 4; ++i)
        _put32(out, 0);
    _close(out, avih);
    const size_t strl = _open(out, "LIST", "strl");
    const size_t strh = _open(out, "strh");
    _fourcc(out, "vids");
    _fourcc(out, "DIB ");
    _put32(out, 0);  // flags
    _put16(out, 0);  // priority
    _put16(out, 0);  // language
    _put32(out, 0);  // initial frames
    _put32(out, 1);  // scale
    _put32(out, aClip.rate);
    _put32(out, 0);  // start
    _put32(out, count);
    _put32(out, frameSize);
    _put32(out, 0xFFFFFFFF);  // quality
    _put32(out, 0);           // sample size
    _put16(out, 0);
    _put16(out, 0);
    _put16(out, aClip.width);
    _put16(out, aClip.height);
    _close(out, strh);
    const size_t strf = _open(out, "strf");
    _put32(out, 40);
    _put32(out, aClip.width);
    _put32(out, aClip.height);
    _put16(out, 1);
    _put16(out, (uint32_t)aDepth);
    _put32(out, 0);  // uncompressed
    _put32(out, frameSize);
    for (int i = 0; i < 4; ++i)
        _put32(out, 0);
    _close(out, strf);
    _close(out, strl);
    _close(out, hdrl);

    const size_t movi = _open(out, "LIST", "movi");
    const size_t moviStart = movi + 4;  // index offsets count from the "movi" form type
    std::vector<uint32_t> offsets;
    for (const auto &frame : aClip.frames) {
        offsets.push_back((uint32_t)(out.size() - moviStart));
        const size_t chunk = _open(out, "00db");
        const kbAviBytes bits = _frameBits(aClip, frame, aDepth);
        out.insert(out.end(), bits.begin(), bits.end());
        _close(out, chunk);
    }
    _close(out, movi);
    const size_t idx1 = _open(out, "idx1");
    for (uint32_t offset : offsets) {
        _fourcc(out, "00db");
        _put32(out, 0x10);  // key frame
        _put32(out, offset);
        _put32(out, frameSize);
    }
    _close(out, idx1);
    _close(out, riff);
    return true;
}
