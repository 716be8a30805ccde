// Sound effects on the real DirectSound under Wine, the volume mapping, and the block copies
// against a buffer that loses its memory.

#include "SoundTestUtil.h"

#include <cstdlib>
#include <memory>

using namespace soundtest;

namespace {

class SoundEffects : public SoundDeviceTest {
protected:
    IDirectSound *ds = nullptr;
    void SetUp() override
    {
        SoundDeviceTest::SetUp();
        if (sound)
            ds = sound->GetDsP();
    }
    static DWORD Status(_soundSE &aSe)
    {
        DWORD st = 0;
        aSe.GetDs2ndBuffP()->GetStatus(&st);
        return st;
    }
};

// A mono .kss of aBytes code bytes.
bytes _kssMono(size_t aBytes, uint32_t aSeed)
{
    bytes pcmBytes = PcmBytes(aBytes * 4, aSeed);
    std::vector<int16_t> pcm(aBytes * 2);
    std::memcpy(pcm.data(), pcmBytes.data(), pcmBytes.size());
    bytes code(aBytes);
    _adpcmState st{0, 0};
    sAdpcmEncoder(pcm.data(), code.data(), (long)pcm.size(), &st);
    return code;
}

} // namespace

TEST(SoundVolume, LevelsMapToHundredthsOfADecibel)
{
    const struct {
        int32_t level;
        long db;
    } cases[] = {{0, -10000}, {1, -9922}, {60, -5276}, {120, -552}, {126, -79}, {127, 0}, {128, 0}, {-1, -10000}};
    for (const auto &c : cases)
        EXPECT_EQ(sSoundVolumeToDb(c.level), c.db) << c.level;
}

TEST(SoundVolume, ExtensionsIgnoreCase)
{
    EXPECT_TRUE(sSoundHasExt("Data\\Kss\\s00.kss", ".kss"));
    EXPECT_TRUE(sSoundHasExt("A.WAV", ".wav"));
    EXPECT_TRUE(sSoundHasExt(".kss", ".kss"));
    EXPECT_FALSE(sSoundHasExt("kss", ".kss"));
    EXPECT_FALSE(sSoundHasExt("a.kss ", ".kss"));
    EXPECT_FALSE(sSoundHasExt("a.wave", ".wav"));
}

TEST_F(SoundEffects, KssLoadsWholeAndDuplicatesShareIt)
{
    const size_t n = 44100; // 2 s of mono
    const bytes code = _kssMono(n, 1);
    std::string path = WriteFile("fx.kss", code);
    _soundSE *se = sound->AllocSE(3);
    ASSERT_NE(se, nullptr);
    ASSERT_EQ(se[0].Load(ds, path.c_str(), 120), 0) << AllMessages();
    EXPECT_EQ(se[0]._status, SOUNDSE_CREATED);
    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(se[0].GetDs2ndBuffP()->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, 4 * n) << "n bytes give 2n samples";
    EXPECT_TRUE(caps.dwFlags & DSBCAPS_STATIC);
    WAVEFORMATEX wfx{};
    se[0].GetDs2ndBuffP()->GetFormat(&wfx, sizeof wfx, nullptr);
    EXPECT_EQ(wfx.nChannels, 1);
    EXPECT_EQ(wfx.nSamplesPerSec, 44100u);
    LONG db = 0;
    se[0].GetDs2ndBuffP()->GetVolume(&db);
    EXPECT_EQ(db, -552);
    std::vector<int16_t> pcm(2 * n);
    _adpcmState st{0, 0};
    sAdpcmDecoder(code.data(), pcm.data(), (long)pcm.size(), &st);
    EXPECT_TRUE(ReadBuffer(se[0].GetDs2ndBuffP(), 0, (uint32_t)(4 * n)) == AsBytes(pcm, 0, pcm.size()));

    // The second cue of the same file: a duplicate, not a second load.
    ASSERT_EQ(se[1].Duplicate(ds, &se[0]), 0);
    ASSERT_NE(se[1].GetDs2ndBuffP(), nullptr);
    EXPECT_NE(se[1].GetDs2ndBuffP(), se[0].GetDs2ndBuffP());
    EXPECT_EQ(se[1]._status, 0) << "a duplicate does not count as a load";
    EXPECT_TRUE(ReadBuffer(se[1].GetDs2ndBuffP(), 0, (uint32_t)(4 * n)) == AsBytes(pcm, 0, pcm.size()));
    EXPECT_EQ(se[2].Duplicate(ds, &se[2]), -1) << "nothing loaded to share";
    EXPECT_EQ(se[2].Duplicate(nullptr, &se[0]), -1);
    EXPECT_EQ(se[2].Duplicate(ds, nullptr), -1);

    // Both cues play at once; a cue still playing is not restarted.
    EXPECT_EQ(se[0].Play(), 0);
    EXPECT_EQ(se[1].Play(), 0);
    EXPECT_TRUE(Status(se[0]) & DSBSTATUS_PLAYING);
    EXPECT_TRUE(Status(se[1]) & DSBSTATUS_PLAYING);
    DWORD before = 0, after = 0, w;
    ASSERT_TRUE(WaitFor([&] {
        se[0].GetDs2ndBuffP()->GetCurrentPosition(&before, &w);
        return before > 20000;
    }, 5000));
    EXPECT_EQ(se[0].Play(), 0);
    se[0].GetDs2ndBuffP()->GetCurrentPosition(&after, &w);
    EXPECT_GE(after, before) << "the cue went on, it did not start again";
    EXPECT_FALSE(Status(se[0]) & DSBSTATUS_LOOPING);
    // Once over, it plays again.
    ASSERT_TRUE(WaitFor([&] { return !(Status(se[0]) & DSBSTATUS_PLAYING); }, 20000));
    EXPECT_EQ(se[0].Play(), 0);
    EXPECT_TRUE(Status(se[0]) & DSBSTATUS_PLAYING);
    EXPECT_EQ(se[2].Play(), -1);
    sound->ReleaseSE();
}

TEST_F(SoundEffects, WaveLoadsItsDataChunk)
{
    const bytes data = PcmBytes(11025, 3); // 8-bit mono, an odd size with its pad byte
    std::string path = WriteFile("fx.wav", Wave({Chunk("LIST", bytes{'I', 'N', 'F', 'O', 1}),
                                                 Chunk("fmt ", Fmt(1, 1, 11025, 8)), Chunk("data", data)}));
    _soundSE se;
    ASSERT_EQ(se.Load(ds, path.c_str(), 127), 0) << AllMessages();
    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(se.GetDs2ndBuffP()->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, data.size());
    EXPECT_TRUE(ReadBuffer(se.GetDs2ndBuffP(), 0, (uint32_t)data.size()) == data);
    // A second load replaces the first sound.
    std::string kss = WriteFile("fx2.kss", _kssMono(1000, 2));
    ASSERT_EQ(se.Load(ds, kss.c_str(), 127), 0);
    se.GetDs2ndBuffP()->GetCaps(&caps);
    EXPECT_EQ(caps.dwBufferBytes, 4000u);
}

TEST_F(SoundEffects, BadFilesLoadNothing)
{
    const bytes fmt = Chunk("fmt ", Fmt(1, 1, 22050, 16));
    bytes truncated = Wave({fmt, Chunk("data", PcmBytes(1000, 1))});
    truncated.resize(truncated.size() - 100);
    const struct {
        const char *name;
        bytes file;
        int32_t result;
        const char *message;
    } cases[] = {
        {"bad.wav", bytes(64, 0x20), -1, "Waveファイルオープン失敗"},
        {"short-fmt.wav", Wave({Chunk("fmt ", bytes(12, 1)), Chunk("data", bytes(8, 0))}), -1,
         "Waveファイルオープン失敗"},
        {"nodata.wav", Wave({fmt}), -1, "Waveファイルシーク失敗"},
        {"cut.wav", truncated, -1, "Waveファイルシーク失敗"},
        {"empty-data.wav", Wave({fmt, Chunk("data", {})}), -1, "DirectSoundセカンダリバッファ生成失敗"},
        {"adpcm.wav", Wave({Chunk("fmt ", Fmt(0x11, 1, 22050, 4, {2, 0, 0xF9, 1})), Chunk("data", bytes(256, 3))}),
         -1, "DirectSoundセカンダリバッファ生成失敗"},
        {"empty.kss", {}, -1, "DirectSoundセカンダリバッファ生成失敗"},
        {"sound.ogg", bytes(16, 1), 0, nullptr},
    };
    for (const auto &c : cases) {
        Messages().clear();
        _soundSE se;
        EXPECT_EQ(se.Load(ds, WriteFile(c.name, c.file).c_str(), 120), c.result) << c.name;
        EXPECT_EQ(se.GetDs2ndBuffP(), nullptr) << c.name;
        EXPECT_EQ(se._status, 0) << c.name;
        if (c.message) {
            EXPECT_TRUE(Reported(c.message)) << c.name << ": " << AllMessages();
        }
        EXPECT_EQ(se.Play(), -1) << c.name << ": the cue plays nothing";
    }
    Messages().clear();
    _soundSE se;
    std::string missing = Scratch() + "missing.kss";
    EXPECT_EQ(se.Load(ds, missing.c_str(), 120), -1);
    EXPECT_TRUE(Reported((missing + " オープン失敗").c_str())) << AllMessages();
    Messages().clear();
    EXPECT_EQ(se.SetVolume(10), -1);
    EXPECT_TRUE(Reported("バッファが無い！")) << AllMessages();
}

// The program's own content, when the build has generated it beside the executable.
TEST_F(SoundEffects, GeneratedContentLoads)
{
    FILE *probe = fopen("Data\\Kss\\s00.kss", "rb");
    if (!probe)
        GTEST_SKIP() << "no Data\\Kss beside the test";
    fclose(probe);
    _soundSE *se = sound->AllocSE(10);
    for (int i = 0; i < 10; i++) {
        char name[32];
        snprintf(name, sizeof name, "Data\\Kss\\s%02d.kss", i);
        EXPECT_EQ(se[i].Load(ds, name, 127), 0) << name << AllMessages();
        EXPECT_EQ(se[i].Play(), 0) << name;
    }
    sound->ReleaseSE();
    for (int i = 0; i <= 6; i++) {
        char name[32];
        snprintf(name, sizeof name, "Data\\Kss\\%02d.kss", i);
        EXPECT_EQ(sound->Load(name, 1, 120), 0u) << name << AllMessages();
        EXPECT_EQ(sound->StopAll(), 0);
    }
}

// ---- the block copies against a buffer that loses its memory -----------------------------------

namespace {

// An IDirectSoundBuffer over plain memory whose first locks answer DSERR_BUFFERLOST.
struct _lossyBuffer : IDirectSoundBuffer {
    bytes mem;
    int lostLocks = 0, restores = 0, locks = 0, unlocks = 0;
    HRESULT restoreResult = DS_OK;
    explicit _lossyBuffer(size_t aSize) : mem(aSize, 0xEE) {}
    HRESULT WINAPI QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
    ULONG WINAPI AddRef() override { return 1; }
    ULONG WINAPI Release() override { return 1; }
    HRESULT WINAPI GetCaps(LPDSBCAPS) override { return E_NOTIMPL; }
    HRESULT WINAPI GetCurrentPosition(LPDWORD, LPDWORD) override { return E_NOTIMPL; }
    HRESULT WINAPI GetFormat(LPWAVEFORMATEX, DWORD, LPDWORD) override { return E_NOTIMPL; }
    HRESULT WINAPI GetVolume(LPLONG) override { return E_NOTIMPL; }
    HRESULT WINAPI GetPan(LPLONG) override { return E_NOTIMPL; }
    HRESULT WINAPI GetFrequency(LPDWORD) override { return E_NOTIMPL; }
    HRESULT WINAPI GetStatus(LPDWORD) override { return E_NOTIMPL; }
    HRESULT WINAPI Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) override { return E_NOTIMPL; }
    HRESULT WINAPI Lock(DWORD aOffset, DWORD aBytes, LPVOID *aP1, LPDWORD aN1, LPVOID *aP2, LPDWORD aN2,
                        DWORD) override
    {
        locks++;
        if (lostLocks > 0) {
            lostLocks--;
            return DSERR_BUFFERLOST;
        }
        if (aOffset + aBytes > mem.size())
            return DSERR_INVALIDPARAM;
        *aP1 = mem.data() + aOffset;
        *aN1 = aBytes;
        *aP2 = nullptr;
        *aN2 = 0;
        return DS_OK;
    }
    HRESULT WINAPI Play(DWORD, DWORD, DWORD) override { return E_NOTIMPL; }
    HRESULT WINAPI SetCurrentPosition(DWORD) override { return E_NOTIMPL; }
    HRESULT WINAPI SetFormat(LPCWAVEFORMATEX) override { return E_NOTIMPL; }
    HRESULT WINAPI SetVolume(LONG) override { return E_NOTIMPL; }
    HRESULT WINAPI SetPan(LONG) override { return E_NOTIMPL; }
    HRESULT WINAPI SetFrequency(DWORD) override { return E_NOTIMPL; }
    HRESULT WINAPI Stop() override { return E_NOTIMPL; }
    HRESULT WINAPI Unlock(LPVOID, DWORD, LPVOID, DWORD) override
    {
        unlocks++;
        return DS_OK;
    }
    HRESULT WINAPI Restore() override
    {
        restores++;
        return restoreResult;
    }
};

} // namespace

TEST(SoundBlockCopy, CopiesFromThePositionAndFillsSilence)
{
    Prepare();
    _lossyBuffer b(100);
    const bytes src = PcmBytes(64, 1);
    uint32_t pos = 10;
    ASSERT_EQ(sSoundBlockCopy(&b, 20, 80, src.data(), &pos, (uint32_t)src.size()), 0);
    EXPECT_EQ(pos, 64u) << "the source position moves by what was copied";
    EXPECT_TRUE(std::equal(src.begin() + 10, src.end(), b.mem.begin() + 20));
    EXPECT_TRUE(std::all_of(b.mem.begin() + 74, b.mem.end(), [](uint8_t v) { return v == 0; }));
    EXPECT_TRUE(std::all_of(b.mem.begin(), b.mem.begin() + 20, [](uint8_t v) { return v == 0xEE; }));
    EXPECT_EQ(b.unlocks, 1);
}

TEST(SoundBlockCopy, LostBufferIsRestoredAndTheCopyProceeds)
{
    Prepare();
    _lossyBuffer b(40);
    b.lostLocks = 2;
    const bytes src(40, 7);
    uint32_t pos = 0;
    ASSERT_EQ(sSoundBlockCopy(&b, 0, 40, src.data(), &pos, 40), 0);
    EXPECT_EQ(b.restores, 2);
    EXPECT_EQ(b.locks, 3);
    EXPECT_TRUE(b.mem == src);
}

TEST(SoundBlockCopy, BufferThatStaysLostFailsTheCopy)
{
    Prepare();
    for (HRESULT restore : {(HRESULT)DSERR_BUFFERLOST, (HRESULT)DS_OK}) {
        Messages().clear();
        _lossyBuffer b(40);
        b.lostLocks = 1000;
        b.restoreResult = restore;
        const bytes src(40, 7);
        uint32_t pos = 0;
        EXPECT_EQ(sSoundBlockCopy(&b, 0, 40, src.data(), &pos, 40), -1);
        EXPECT_LE(b.locks, 9) << "a bounded number of attempts";
        EXPECT_EQ(b.unlocks, 0);
        EXPECT_EQ(pos, 0u);
        EXPECT_TRUE(Reported("DireectSoundBufferLock失敗")) << AllMessages();
    }
    EXPECT_EQ(sSoundBlockCopy(nullptr, 0, 4, nullptr, nullptr, 0), -1);
}

TEST(SoundBlockCopy, DecodingCopyCarriesTheStateAndFillsSilence)
{
    Prepare();
    const bytes code = _kssMono(30, 4);
    std::vector<int16_t> expect(60);
    _adpcmState ref{0, 0};
    sAdpcmDecoder(code.data(), expect.data(), 60, &ref);

    _lossyBuffer b(200);
    b.lostLocks = 1;
    _adpcmState st{0, 0};
    // 20 code bytes into 80 bytes of region, then the other 10 into a region of 100 bytes.
    ASSERT_EQ(sSoundBlockCopyWithAdpcmDecode(&b, 0, 80, code.data(), 30, &st), 0) << "limited to 80 / 4";
    ASSERT_EQ(sSoundBlockCopyWithAdpcmDecode(&b, 80, 100, code.data() + 20, 10, &st), 0);
    EXPECT_TRUE(std::equal(b.mem.begin(), b.mem.begin() + 120, AsBytes(expect, 0, 60).begin()));
    EXPECT_TRUE(std::all_of(b.mem.begin() + 120, b.mem.begin() + 180, [](uint8_t v) { return v == 0; }));
    EXPECT_TRUE(std::all_of(b.mem.begin() + 180, b.mem.end(), [](uint8_t v) { return v == 0xEE; }));
    EXPECT_EQ(st.prevVal, ref.prevVal);
    EXPECT_EQ(st.index, ref.index);
    EXPECT_EQ(b.restores, 1);
}
