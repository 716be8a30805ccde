#include "KbBytes.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

void kbPut16(kbBytes &aOut, uint32_t aValue)
{
    aOut.push_back((uint8_t)aValue);
    aOut.push_back((uint8_t)(aValue >> 8));
}

void kbPut32(kbBytes &aOut, uint32_t aValue)
{
    kbPut16(aOut, aValue & 0xFFFF);
    kbPut16(aOut, aValue >> 16);
}

void kbPutBytes(kbBytes &aOut, const void *aDataP, size_t aSize)
{
    const uint8_t *p = (const uint8_t *)aDataP;
    aOut.insert(aOut.end(), p, p + aSize);
}

size_t kbAlign(kbBytes &aOut, size_t aAlign)
{
    while (aOut.size() % aAlign != 0)
        aOut.push_back(0);
    return aOut.size();
}

void kbSet32(kbBytes &aOut, size_t aAt, uint32_t aValue)
{
    for (int i = 0; i < 4; i++)
        aOut[aAt + i] = (uint8_t)(aValue >> (8 * i));
}

void kbScramble(kbBytes &aOut, size_t aAt, size_t aSize, uint32_t aKey)
{
    for (size_t i = 0; i + 4 <= aSize; i += 4)
        for (int b = 0; b < 4; b++)
            aOut[aAt + i + b] ^= (uint8_t)(aKey >> (8 * b));
}

bool kbWriteFile(const std::string &aPath, const kbBytes &aData, std::string *aErrorP)
{
    std::error_code error;
    std::filesystem::path path(aPath);
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), error);
    FILE *fileP = fopen(aPath.c_str(), "wb");
    bool ok = fileP != nullptr && fwrite(aData.data(), 1, aData.size(), fileP) == aData.size();
    if (fileP != nullptr && fclose(fileP) != 0)
        ok = false;
    if (!ok && aErrorP != nullptr)
        *aErrorP = "cannot write " + aPath;
    return ok;
}

bool kbReadFile(const std::string &aPath, kbBytes *aDataP)
{
    FILE *fileP = fopen(aPath.c_str(), "rb");
    if (fileP == nullptr)
        return false;
    aDataP->clear();
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), fileP)) > 0)
        aDataP->insert(aDataP->end(), chunk, chunk + n);
    bool ok = ferror(fileP) == 0;
    fclose(fileP);
    return ok;
}
