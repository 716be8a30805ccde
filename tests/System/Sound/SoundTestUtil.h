#ifndef KESTREL_TESTS_SYSTEM_SOUND_SOUNDTESTUTIL_H
#define KESTREL_TESTS_SYSTEM_SOUND_SOUNDTESTUTIL_H

// Shared by the sound tests under Wine: the window DirectSound cooperates with, a scratch
// folder of fixture files, the failure texts the modules report, and readers of buffer memory.

#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "AdpcmEncoder.h"
#include "System/Sound/Sound.h"
#include "System/Sys/SYSTEM.h"

namespace soundtest {

using bytes = std::vector<uint8_t>;

// Every failure text since the last Clear.
inline std::vector<std::string> &Messages()
{
    static std::vector<std::string> m;
    return m;
}
inline void _capture(const char *aText)
{
    Messages().push_back(aText);
}
inline bool Reported(const char *aText)
{
    for (const std::string &m : Messages())
        if (m == aText)
            return true;
    return false;
}
inline std::string AllMessages()
{
    std::string s;
    for (const std::string &m : Messages())
        s += "[" + m + "] ";
    return s;
}

// A hidden window for the cooperative level, and the failure hook; once per process.
inline void Prepare()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KestrelSoundTest";
    RegisterClassA(&wc);
    sysWork.rootWinH = CreateWindowA("KestrelSoundTest", "sound test", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr,
                                     nullptr, wc.hInstance, nullptr);
    soundErrorHookP = _capture;
}

// A sound manager on the real device for each test (skipped in a run without sound).
class SoundDeviceTest : public ::testing::Test {
protected:
    std::unique_ptr<_sound> sound;
    void SetUp() override
    {
        if (std::getenv("KESTREL_EXPECT_NO_SOUND"))
            GTEST_SKIP() << "this run has no sound device";
        Prepare();
        Messages().clear();
        sound.reset(new _sound());
        ASSERT_NE(sound->GetDsP(), nullptr) << AllMessages();
    }
};

inline std::string Scratch()
{
    static std::string dir;
    if (dir.empty()) {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        dir = std::string(tmp) + "kestrel_sound_" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(dir.c_str(), nullptr);
    }
    return dir;
}

inline std::string WriteFile(const char *aName, const bytes &aData)
{
    std::string path = Scratch() + aName;
    FILE *fp = fopen(path.c_str(), "wb");
    if (fp) {
        if (!aData.empty())
            fwrite(aData.data(), 1, aData.size(), fp);
        fclose(fp);
    }
    return path;
}

inline void Put16(bytes &aB, uint32_t aV)
{
    aB.push_back((uint8_t)aV);
    aB.push_back((uint8_t)(aV >> 8));
}
inline void Put32(bytes &aB, uint32_t aV)
{
    Put16(aB, aV & 0xFFFF);
    Put16(aB, aV >> 16);
}

// A RIFF chunk, with its pad byte; aSize overrides the size field.
inline bytes Chunk(const char *aId, const bytes &aData, int64_t aSize = -1)
{
    bytes b(aId, aId + 4);
    Put32(b, aSize >= 0 ? (uint32_t)aSize : (uint32_t)aData.size());
    b.insert(b.end(), aData.begin(), aData.end());
    if (aData.size() & 1)
        b.push_back(0);
    return b;
}

inline bytes Fmt(uint16_t aTag, uint16_t aChannels, uint32_t aRate, uint16_t aBits, const bytes &aTail = {})
{
    bytes b;
    uint16_t align = (uint16_t)(aChannels * aBits / 8 ? aChannels * aBits / 8 : 1);
    Put16(b, aTag);
    Put16(b, aChannels);
    Put32(b, aRate);
    Put32(b, aRate * align);
    Put16(b, align);
    Put16(b, aBits);
    b.insert(b.end(), aTail.begin(), aTail.end());
    return b;
}

inline bytes Wave(const std::vector<bytes> &aChunks)
{
    bytes body{'W', 'A', 'V', 'E'};
    for (const bytes &c : aChunks)
        body.insert(body.end(), c.begin(), c.end());
    return Chunk("RIFF", body);
}

// Bytes of a recognisable signal: every block of a stream differs from every other.
inline bytes PcmBytes(size_t aBytes, uint32_t aSeed)
{
    bytes b(aBytes);
    uint32_t s = aSeed;
    for (size_t i = 0; i < aBytes; i += 2) {
        s = s * 1664525u + 1013904223u;
        int16_t v = (int16_t)((int)(8000.0 * std::sin(i * 0.0005)) + (int)((s >> 20) & 0x3FF) - 512);
        b[i] = (uint8_t)v;
        if (i + 1 < aBytes)
            b[i + 1] = (uint8_t)(v >> 8);
    }
    return b;
}

// A .kss stream of aFrames stereo frames (the right channel close to the left).
inline bytes KssStereo(long aFrames, uint32_t aSeed)
{
    std::vector<int16_t> pcm(2 * (size_t)aFrames);
    uint32_t s = aSeed;
    double ph = 0;
    for (long i = 0; i < aFrames; i++) {
        s = s * 1664525u + 1013904223u;
        ph += 2 * 3.14159265 * (200.0 + 150.0 * std::sin(i * 0.00002)) / 44100.0;
        int v = (int)(9000.0 * std::sin(ph)) + (int)((s >> 22) & 0xFF) - 128;
        pcm[2 * i] = (int16_t)v;
        pcm[2 * i + 1] = (int16_t)(v * 7 / 8);
    }
    bytes code(pcm.size() / 2);
    _adpcmState st{0, 0};
    sAdpcmEncoder(pcm.data(), code.data(), (long)pcm.size(), &st);
    return code;
}

// The PCM a .kss gives when it is decoded on and on through its loop point, one state all along.
inline std::vector<int16_t> DecodeLooped(const bytes &aCode, size_t aBytesWanted)
{
    bytes run;
    while (run.size() < aBytesWanted)
        run.insert(run.end(), aCode.begin(), aCode.end());
    run.resize(aBytesWanted);
    std::vector<int16_t> out(run.size() * 2);
    _adpcmState st{0, 0};
    sAdpcmDecoder(run.data(), out.data(), (long)out.size(), &st);
    return out;
}

// A copy of (aOffset, aSize) of a buffer's memory, read through Lock.
inline bytes ReadBuffer(IDirectSoundBuffer *aBuffP, uint32_t aOffset, uint32_t aSize)
{
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    bytes out;
    if (FAILED(aBuffP->Lock(aOffset, aSize, &p1, &n1, &p2, &n2, 0)))
        return out;
    out.assign(static_cast<uint8_t *>(p1), static_cast<uint8_t *>(p1) + n1);
    if (p2)
        out.insert(out.end(), static_cast<uint8_t *>(p2), static_cast<uint8_t *>(p2) + n2);
    aBuffP->Unlock(p1, n1, p2, n2);
    return out;
}

inline bytes AsBytes(const std::vector<int16_t> &aSamples, size_t aFirst, size_t aCount)
{
    const uint8_t *p = reinterpret_cast<const uint8_t *>(aSamples.data() + aFirst);
    return bytes(p, p + aCount * 2);
}

// Waits until aDone() or aTimeoutMs passed; true when done.
template <class F> bool WaitFor(F aDone, DWORD aTimeoutMs)
{
    DWORD start = GetTickCount();
    while (!aDone()) {
        if (GetTickCount() - start > aTimeoutMs)
            return false;
        Sleep(1);
    }
    return true;
}

} // namespace soundtest

#endif
