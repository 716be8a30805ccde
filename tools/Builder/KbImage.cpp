#include "KbImage.h"

#include <cstring>
#include <map>

#include "Library/Draw/DrawCore.h"
#include "Library/Format/FORMLIB.h"

kbImage kbImageMake(uint32_t aWidth, uint32_t aHeight, uint32_t aColor)
{
    kbImage image;
    image.width = aWidth;
    image.height = aHeight;
    image.pixels.assign((size_t)aWidth * aHeight, aColor);
    return image;
}

kbImage kbImageIndexed(uint32_t aWidth, uint32_t aHeight, const std::vector<uint32_t> &aPalette,
                       const std::vector<uint8_t> &aIndices)
{
    kbImage image;
    image.width = aWidth;
    image.height = aHeight;
    image.palette = aPalette;
    image.indices = aIndices;
    image.pixels.resize(aIndices.size());
    for (size_t i = 0; i < aIndices.size(); i++)
        image.pixels[i] = aIndices[i] < aPalette.size() ? aPalette[aIndices[i]] : 0x000000FF;
    return image;
}

bool kbImageIndex(kbImage *aImageP)
{
    std::map<uint32_t, uint8_t> index;
    std::vector<uint32_t> palette;
    std::vector<uint8_t> indices(aImageP->pixels.size());
    for (size_t i = 0; i < aImageP->pixels.size(); i++) {
        uint32_t c = aImageP->pixels[i];
        auto it = index.find(c);
        if (it == index.end()) {
            if (palette.size() == 256)
                return false;
            it = index.emplace(c, (uint8_t)palette.size()).first;
            palette.push_back(c);
        }
        indices[i] = it->second;
    }
    aImageP->palette = palette;
    aImageP->indices = indices;
    return true;
}

static bool _fail(std::string *aErrorP, const std::string &aText)
{
    if (aErrorP != nullptr)
        *aErrorP = aText;
    return false;
}

static bool _checkImage(const kbImage &aImage, int aDepth, std::string *aErrorP)
{
    size_t count = (size_t)aImage.width * aImage.height;
    if (aImage.width == 0 || aImage.height == 0 || aImage.pixels.size() != count)
        return _fail(aErrorP, "picture without pixels");
    if (aDepth == 8 && (aImage.indices.size() != count || aImage.palette.empty() || aImage.palette.size() > 256))
        return _fail(aErrorP, "8-bit picture without a palette");
    if (aDepth == 8)
        for (uint8_t i : aImage.indices)
            if (i >= aImage.palette.size())
                return _fail(aErrorP, "palette index outside the palette");
    return true;
}

bool kbBmpWrite(const kbImage &aImage, int aDepth, kbBytes *aOutP, std::string *aErrorP)
{
    if (aDepth != 8 && aDepth != 24 && aDepth != 32)
        return _fail(aErrorP, "bitmap depth must be 8, 24 or 32");
    if (!_checkImage(aImage, aDepth, aErrorP))
        return false;
    uint32_t rowSize = (aImage.width * aDepth / 8 + 3) & ~3u;
    uint32_t colors = aDepth == 8 ? (uint32_t)aImage.palette.size() : 0;
    uint32_t offBits = 14 + 40 + colors * 4;
    kbBytes &out = *aOutP;
    out.clear();
    // BITMAPFILEHEADER
    kbPut16(out, 0x4D42);
    kbPut32(out, offBits + rowSize * aImage.height);
    kbPut32(out, 0);
    kbPut32(out, offBits);
    // BITMAPINFOHEADER
    kbPut32(out, 40);
    kbPut32(out, aImage.width);
    kbPut32(out, aImage.height);  // positive: bottom-up
    kbPut16(out, 1);
    kbPut16(out, aDepth);
    kbPut32(out, 0);  // BI_RGB
    kbPut32(out, rowSize * aImage.height);
    kbPut32(out, 2835);
    kbPut32(out, 2835);
    kbPut32(out, colors);
    kbPut32(out, colors);
    for (uint32_t c : aImage.palette)
        if (aDepth == 8)
            kbPut32(out, (c >> 8) & 0xFFFFFF);  // blue, green, red, 0
    for (uint32_t y = aImage.height; y-- > 0;) {
        size_t rowAt = out.size();
        for (uint32_t x = 0; x < aImage.width; x++) {
            size_t i = (size_t)y * aImage.width + x;
            uint32_t c = aImage.pixels[i];
            if (aDepth == 8) {
                out.push_back(aImage.indices[i]);
                continue;
            }
            out.push_back((uint8_t)(c >> 8));
            out.push_back((uint8_t)(c >> 16));
            out.push_back((uint8_t)(c >> 24));
            if (aDepth == 32)
                out.push_back((uint8_t)c);
        }
        out.resize(rowAt + rowSize, 0);
    }
    return true;
}

static void _targaPixel(kbBytes &aOut, uint32_t aColor, int aDepth)
{
    aOut.push_back((uint8_t)(aColor >> 8));
    aOut.push_back((uint8_t)(aColor >> 16));
    aOut.push_back((uint8_t)(aColor >> 24));
    if (aDepth == 32)
        aOut.push_back((uint8_t)aColor);
}

bool kbTargaWrite(const kbImage &aImage, int aType, int aDepth, bool aTopDown, kbBytes *aOutP,
                  std::string *aErrorP, const std::string &aId)
{
    if (aType != TARGA_TRUECOLOR && aType != TARGA_TRUECOLOR_RLE)
        return _fail(aErrorP, "Targa type must be 2 or 10");
    if (aDepth != 24 && aDepth != 32)
        return _fail(aErrorP, "Targa depth must be 24 or 32");
    if (aImage.width > 0xFFFF || aImage.height > 0xFFFF || aId.size() > 255)
        return _fail(aErrorP, "Targa picture too large");
    if (!_checkImage(aImage, aDepth, aErrorP))
        return false;
    kbBytes &out = *aOutP;
    out.clear();
    out.push_back((uint8_t)aId.size());
    out.push_back(0);  // no colour map
    out.push_back((uint8_t)aType);
    out.insert(out.end(), 5, 0);
    kbPut16(out, 0);
    kbPut16(out, 0);
    kbPut16(out, aImage.width);
    kbPut16(out, aImage.height);
    out.push_back((uint8_t)aDepth);
    out.push_back((uint8_t)((aDepth == 32 ? 8 : 0) | (aTopDown ? TARGA_TOP_DOWN : 0)));
    kbPutBytes(out, aId.data(), aId.size());
    for (uint32_t r = 0; r < aImage.height; r++) {
        const uint32_t *rowP = aImage.pixels.data() + (size_t)(aTopDown ? r : aImage.height - 1 - r) * aImage.width;
        if (aType == TARGA_TRUECOLOR) {
            for (uint32_t x = 0; x < aImage.width; x++)
                _targaPixel(out, rowP[x], aDepth);
            continue;
        }
        // Packets stay within their row: runs of two or more equal pixels repeat, the rest is raw.
        for (uint32_t x = 0; x < aImage.width;) {
            uint32_t run = 1;
            while (run < 128 && x + run < aImage.width && rowP[x + run] == rowP[x])
                run++;
            if (run >= 2) {
                out.push_back((uint8_t)(0x80 | (run - 1)));
                _targaPixel(out, rowP[x], aDepth);
                x += run;
                continue;
            }
            uint32_t raw = 1;
            while (raw < 128 && x + raw < aImage.width &&
                   !(x + raw + 1 < aImage.width && rowP[x + raw] == rowP[x + raw + 1]))
                raw++;
            out.push_back((uint8_t)(raw - 1));
            for (uint32_t i = 0; i < raw; i++)
                _targaPixel(out, rowP[x + i], aDepth);
            x += raw;
        }
    }
    return true;
}

kbBytes kbPackBlock(const kbBytes &aExpanded, int aCompress, const kbSlideLevel &aLevel)
{
    const uint8_t *bodyP = aExpanded.data() + sizeof(_ninjaHead);
    size_t bodySize = aExpanded.size() - sizeof(_ninjaHead);
    kbBytes payload = aCompress == KB_KSM_SLIDE ? kbSlideEncode(bodyP, bodySize, aLevel)
                                                : kbRunLengthEncode(bodyP, bodySize);
    kbBytes out(aExpanded.begin(), aExpanded.begin() + sizeof(_ninjaHead));
    kbSet32(out, 0, (uint32_t)(sizeof(_ninjaHead) + payload.size()));
    out[10] = (uint8_t)aCompress;
    out[11] = 0;
    kbSet32(out, 12, (uint32_t)aExpanded.size());
    kbPutBytes(out, payload.data(), payload.size());
    return out;
}

bool kbKsmWrite(const kbImage &aImage, int aDepth, int aCompress, const std::string &aName, kbBytes *aOutP,
                std::string *aErrorP, const kbSlideLevel &aLevel)
{
    if (aDepth != 8 && aDepth != 24)
        return _fail(aErrorP, "KSM depth must be 8 or 24");
    if (aCompress != KB_KSM_STORED && aCompress != KB_KSM_RUNLENGTH && aCompress != KB_KSM_SLIDE)
        return _fail(aErrorP, "KSM packing must be 0, 1 or 3");
    if (aImage.width > 0x7FFF || aImage.height > 0x7FFF || aName.size() >= sizeof(_ksmHead::name))
        return _fail(aErrorP, "KSM picture or name too large");
    if (!_checkImage(aImage, aDepth, aErrorP))
        return false;
    uint32_t colors = aDepth == 8 ? (uint32_t)aImage.palette.size() : 0;
    uint32_t pixelSize = (uint32_t)aImage.pixels.size() * (aDepth / 8);
    kbBytes block;
    // _ninjaHead: sizes are filled in below.
    kbPut32(block, 0);
    kbPut32(block, (uint32_t)FORMAT_TYPE_KSM);
    kbPut16(block, 0);
    kbPut16(block, KB_KSM_STORED);
    kbPut32(block, 0);
    _ksmHead head;
    memset(&head, 0, sizeof(head));
    head.headSize = sizeof(_ksmHead);
    head.colorSize = (int32_t)(colors * sizeof(_ksmRGB));
    head.pixelSize = (int32_t)pixelSize;
    head.width = (int16_t)aImage.width;
    head.height = (int16_t)aImage.height;
    head.depth = (int16_t)aDepth;
    head.colors = (int16_t)colors;
    memcpy(head.name, aName.c_str(), aName.size());
    kbPutBytes(block, &head, sizeof(head));
    for (uint32_t i = 0; i < colors; i++) {
        uint32_t c = aImage.palette[i];
        _ksmRGB rgb = {(uint8_t)(c >> 24), (uint8_t)(c >> 16), (uint8_t)(c >> 8), 0};
        kbPutBytes(block, &rgb, sizeof(rgb));
    }
    for (size_t i = 0; i < aImage.pixels.size(); i++) {
        if (aDepth == 8) {
            block.push_back(aImage.indices[i]);
        } else {
            uint32_t c = aImage.pixels[i];
            block.push_back((uint8_t)(c >> 24));
            block.push_back((uint8_t)(c >> 16));
            block.push_back((uint8_t)(c >> 8));
        }
    }
    kbSet32(block, 0, (uint32_t)block.size());
    kbSet32(block, 12, (uint32_t)block.size());
    *aOutP = aCompress == KB_KSM_STORED ? block : kbPackBlock(block, aCompress, aLevel);
    return true;
}
