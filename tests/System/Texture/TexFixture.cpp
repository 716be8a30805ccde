#include "TexFixture.h"

#include <windows.h>

#include <cstdio>

namespace tf {

std::string Write(const std::string &aName, const std::vector<uint8_t> &aData)
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    const std::string path = std::string(dir) + aName;
    FILE *fp = std::fopen(path.c_str(), "wb");
    if (fp) {
        std::fwrite(aData.data(), 1, aData.size(), fp);
        std::fclose(fp);
    }
    return path;
}

kbImage Flat(uint32_t aWidth, uint32_t aHeight, uint32_t aRgba)
{
    return kbImageMake(aWidth, aHeight, aRgba);
}

kbImage Halves(uint32_t aWidth, uint32_t aHeight, uint32_t aLeft, uint32_t aRight)
{
    kbImage image = kbImageMake(aWidth, aHeight, aLeft);
    for (uint32_t y = 0; y < aHeight; ++y)
        for (uint32_t x = aWidth / 2; x < aWidth; ++x)
            image.pixels[y * aWidth + x] = aRight;
    return image;
}

std::vector<uint8_t> BmpBytes(const kbImage &aImage, int aDepth)
{
    kbBytes out;
    std::string error;
    kbBmpWrite(aImage, aDepth, &out, &error);
    return out;
}

std::string Bmp(const std::string &aName, const kbImage &aImage, int aDepth)
{
    return Write(aName, BmpBytes(aImage, aDepth));
}

std::string Tga(const std::string &aName, const kbImage &aImage, int aDepth, int aType)
{
    kbBytes out;
    std::string error;
    kbTargaWrite(aImage, aType, aDepth, false, &out, &error);
    return Write(aName, out);
}

std::string Ksm(const std::string &aName, const kbImage &aImage, int aDepth, int aCompress)
{
    kbBytes out;
    std::string error;
    kbImage image = aImage;
    if (aDepth == 8 && image.palette.empty())
        kbImageIndex(&image);
    kbKsmWrite(image, aDepth, aCompress, aName, &out, &error);
    return Write(aName, out);
}

std::string Avi(const std::string &aName, const kbAviClip &aClip, int aDepth)
{
    kbAviBytes out;
    std::string error;
    kbAviWrite(aClip, aDepth, &out, &error);
    return Write(aName, out);
}

} // namespace tf
