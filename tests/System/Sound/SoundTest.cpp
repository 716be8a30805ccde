// The sound manager on the real DirectSound under Wine: streamed music through the ring,
// looping, volume, stopping against the streaming thread, and a manager without a device.

#include "SoundTestUtil.h"

#include <cstdlib>
#include <memory>

using namespace soundtest;

namespace {

class SoundManager : public SoundDeviceTest {
protected:
    _secondaryBuffer &Voice() { return sound->_2ndBuffP[0]; }

    // The half the play cursor is in.
    int CursorHalf()
    {
        DWORD play = 0, write = 0;
        Voice()._ds2ndBuffP->GetCurrentPosition(&play, &write);
        return play >= Voice()._readBuffSize ? 1 : 0;
    }

    // Waits for the refill of aHalf and compares it with aExpect.
    void ExpectRefill(int aHalf, const bytes &aExpect, const char *aWhat)
    {
        _secondaryBuffer &v = Voice();
        ASSERT_TRUE(WaitFor([&] { return v._lastHalf == aHalf && sound->_criticalSectionFlg == 0; }, 20000))
            << aWhat << ": no refill of half " << aHalf;
        bytes got = ReadBuffer(v._ds2ndBuffP, aHalf ? v._readBuffSize : 0, v._readBuffSize);
        ASSERT_EQ(got.size(), aExpect.size()) << aWhat;
        EXPECT_TRUE(got == aExpect) << aWhat << ": half " << aHalf << " does not hold the expected block";
    }

    // Plays voice 0 until the cursor has passed aCrossings half boundaries, checking that each
    // refill wrote aBlock(n), the n-th half-sized block of the stream, into the other half.
    template <class B> void StreamAndCheck(int aCrossings, B aBlock)
    {
        ExpectRefill(0, aBlock(0), "after the load");
        sound->Play(0);
        ASSERT_TRUE(Voice().GetStatus() & SB_PLAYING);
        ExpectRefill(1, aBlock(1), "as play begins");
        int half = 0;
        for (int n = 1; n <= aCrossings; n++) {
            ASSERT_TRUE(WaitFor([&] { return CursorHalf() != half; }, 30000)) << "the cursor stopped";
            half = 1 - half;
            ExpectRefill(1 - half, aBlock(n + 1), ("crossing " + std::to_string(n)).c_str());
        }
    }
};

} // namespace

TEST_F(SoundManager, OpensTheDeviceWithTheMusicFormat)
{
    EXPECT_EQ(sound->_status, SOUND_READY);
    ASSERT_NE(sound->_dsPrimaryBuffP, nullptr);
    ASSERT_NE(sound->_threadH, nullptr);
    for (HANDLE h : sound->_eventH)
        EXPECT_NE(h, nullptr);
    WAVEFORMATEX wfx{};
    DWORD written = 0;
    ASSERT_EQ(sound->_dsPrimaryBuffP->GetFormat(&wfx, sizeof wfx, &written), DS_OK);
    EXPECT_EQ(wfx.nChannels, 2);
    EXPECT_EQ(wfx.nSamplesPerSec, 44100u);
    EXPECT_EQ(wfx.wBitsPerSample, 16);
    // The main volume is on or off.
    LONG vol = 1;
    EXPECT_EQ(sound->SetMainVolume(0), 0);
    sound->_dsPrimaryBuffP->GetVolume(&vol);
    EXPECT_EQ(vol, DSBVOLUME_MIN);
    EXPECT_EQ(sound->SetMainVolume(1), 0);
    sound->_dsPrimaryBuffP->GetVolume(&vol);
    EXPECT_EQ(vol, 0);
    EXPECT_EQ(sound->SetMainVolume(500), 0);
    sound->_dsPrimaryBuffP->GetVolume(&vol);
    EXPECT_EQ(vol, 0);
}

// A looping .kss of 12.5 s: not a multiple of the 5 s half, so the third block completes from
// the start of the file; the decoder state runs on through the loop point.
TEST_F(SoundManager, KssStreamsInOrderThroughTheLoop)
{
    const bytes code = KssStereo(551250, 3);
    std::string path = WriteFile("music.kss", code);
    ASSERT_EQ(sound->Load(path.c_str(), 1, 120), 0u) << AllMessages();
    _secondaryBuffer &v = Voice();
    EXPECT_EQ(v.GetStatus(), SB_CREATED | SB_LOOP | SB_ADPCM);
    EXPECT_EQ(v._readBuffSize, 882000u);
    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(v._ds2ndBuffP->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, 1764000u);
    EXPECT_EQ(caps.dwFlags & SOUND_RING_CAPS, (DWORD)SOUND_RING_CAPS);
    // Volume 120 is the music default: -552.
    EXPECT_EQ(sound->GetBGMVolume(0), 120);
    LONG db = 0;
    v._ds2ndBuffP->GetVolume(&db);
    EXPECT_EQ(db, -552);

    const int crossings = 4;
    std::vector<int16_t> pcm = DecodeLooped(code, (size_t)(crossings + 2) * 220500);
    StreamAndCheck(crossings, [&](int aBlock) { return AsBytes(pcm, (size_t)aBlock * 441000, 441000); });

    // Volume changes go straight to the playing ring.
    const struct {
        int32_t set, level;
        LONG db;
    } volumes[] = {{60, 60, -5276}, {127, 127, 0}, {1, 1, -9922}, {0, 0, -10000}, {300, 127, 0}, {-5, 0, -10000}};
    for (const auto &c : volumes) {
        EXPECT_EQ(sound->SetBGMVolume(0, c.set), 0) << c.set;
        EXPECT_EQ(sound->GetBGMVolume(0), c.level) << c.set;
        v._ds2ndBuffP->GetVolume(&db);
        EXPECT_EQ(db, c.db) << c.set;
    }
    EXPECT_EQ(sound->SetBGMVolume(1, 50), -1);
    EXPECT_EQ(sound->GetBGMVolume(1), 127);

    EXPECT_EQ(sound->StopAll(), 0);
    EXPECT_EQ(v.GetStatus(), 0);
    EXPECT_EQ(v._ds2ndBuffP, nullptr);
    EXPECT_EQ(v._adpcmFp, nullptr);
    EXPECT_EQ(v._wavDataP, nullptr);
}

// A looping WAVE of 7.3 s (16-bit stereo at 22050 Hz, among other chunks) streams its data chunk
// in order, rewinding to the data at its end.
TEST_F(SoundManager, WaveStreamsInOrderThroughTheLoop)
{
    const uint32_t dataBytes = 643860; // 7.3 s
    const bytes data = PcmBytes(dataBytes, 5);
    std::string path = WriteFile("music.wav", Wave({Chunk("fmt ", Fmt(1, 2, 22050, 16)),
                                                    Chunk("LIST", bytes{'I', 'N', 'F', 'O', 'a', 'b', 'c'}),
                                                    Chunk("data", data), Chunk("JUNK", bytes(3, 0))}));
    ASSERT_EQ(sound->Load(path.c_str(), 1, 100), 0u) << AllMessages();
    _secondaryBuffer &v = Voice();
    EXPECT_EQ(v.GetStatus(), SB_CREATED | SB_LOOP);
    const uint32_t half = 441000;
    EXPECT_EQ(v._readBuffSize, half);
    bytes looped;
    while (looped.size() < 7 * half)
        looped.insert(looped.end(), data.begin(), data.end());
    StreamAndCheck(4, [&](int aBlock) {
        return bytes(looped.begin() + (size_t)aBlock * half, looped.begin() + (size_t)(aBlock + 1) * half);
    });
}

// A file shorter than one half loops as often as the half needs.
TEST_F(SoundManager, ShortLoopFillsTheWholeHalf)
{
    const bytes code = KssStereo(44100, 9); // 1 s
    std::string path = WriteFile("short.kss", code);
    ASSERT_EQ(sound->Load(path.c_str(), 1, 127), 0u) << AllMessages();
    std::vector<int16_t> pcm = DecodeLooped(code, 220500);
    bytes got = ReadBuffer(Voice()._ds2ndBuffP, 0, 882000);
    EXPECT_TRUE(got == AsBytes(pcm, 0, 441000));
}

// A single pass: the refill that finds the end stops and frees the voice at once.
TEST_F(SoundManager, SinglePassStopsAtTheEnd)
{
    const bytes code = KssStereo(330750, 4); // 7.5 s
    std::string path = WriteFile("once.kss", code);
    ASSERT_EQ(sound->Load(path.c_str(), 0, 127), 0u) << AllMessages();
    EXPECT_EQ(Voice().GetStatus(), SB_CREATED | SB_ADPCM);
    sound->Play(0);
    ASSERT_TRUE(WaitFor([&] { return Voice().GetStatus() == 0; }, 20000));
    EXPECT_EQ(Voice()._ds2ndBuffP, nullptr);
    // The voice is free for the next music.
    EXPECT_EQ(sound->Load(path.c_str(), 1, 127), 0u);
}

TEST_F(SoundManager, LoadRefusals)
{
    const bytes fmt = Chunk("fmt ", Fmt(1, 2, 44100, 16));
    bytes truncated = Wave({fmt, Chunk("data", PcmBytes(4000, 1))});
    truncated.resize(truncated.size() - 1000);
    const struct {
        const char *name;
        bytes file;
        bool write;
        const char *message;
    } cases[] = {
        {"garbage.wav", bytes(100, 0x55), true, "Waveファイルオープン失敗"},
        {"nodata.wav", Wave({fmt}), true, "Waveファイルシーク失敗"},
        {"truncated.wav", truncated, true, "Waveファイルシーク失敗"},
        {"adpcm.wav", Wave({Chunk("fmt ", Fmt(0x11, 1, 22050, 4, {2, 0, 0xF9, 1})), Chunk("data", bytes(512, 0x11))}),
         true, "DirectSoundセカンダリバッファ生成失敗"},
        {"empty-data.wav", Wave({fmt, Chunk("data", {})}), true, "Waveデータ読み込み失敗"},
        {"empty.kss", {}, true, "Waveデータ読み込み失敗"},
        {"missing.kss", {}, false, nullptr},
        {"music.mp3", bytes(10, 1), true, nullptr},
        {"kss", bytes(10, 1), true, nullptr},
    };
    for (const auto &c : cases) {
        Messages().clear();
        std::string path = c.write ? WriteFile(c.name, c.file) : Scratch() + c.name;
        EXPECT_EQ(sound->Load(path.c_str(), 1, 120), SOUND_NO_VOICE) << c.name;
        EXPECT_EQ(Voice().GetStatus(), 0) << c.name << ": the voice stays free";
        EXPECT_EQ(Voice()._ds2ndBuffP, nullptr) << c.name;
        EXPECT_EQ(Voice()._mmioInH, nullptr) << c.name;
        EXPECT_EQ(Voice()._adpcmFp, nullptr) << c.name;
        if (c.message) {
            EXPECT_TRUE(Reported(c.message)) << c.name << ": " << AllMessages();
        }
    }
    Messages().clear();
    sound->Load((Scratch() + "missing.kss").c_str(), 1, 120);
    EXPECT_TRUE(Reported((Scratch() + "missing.kss オープン失敗").c_str())) << AllMessages();
    EXPECT_EQ(sound->Load(nullptr, 1, 120), SOUND_NO_VOICE);

    // The one voice is taken until it is stopped.
    std::string good = WriteFile("good.kss", KssStereo(44100 * 6, 1));
    ASSERT_EQ(sound->Load(good.c_str(), 1, 120), 0u);
    EXPECT_EQ(sound->Load(good.c_str(), 1, 120), SOUND_NO_VOICE);
    sound->StopAll();
    EXPECT_EQ(sound->Load(good.c_str(), 1, 120), 0u);
}

// StopAll lands while the streaming thread is inside a refill: it waits for it, stops the
// voice, and the next load streams from its own start without a stale notice in between.
TEST_F(SoundManager, StopDuringARefillThenReload)
{
    const bytes code = KssStereo(44100 * 12, 7);
    std::string path = WriteFile("stop.kss", code);
    std::vector<int16_t> pcm = DecodeLooped(code, 3 * 220500);
    for (int round = 0; round < 3; round++) {
        ASSERT_EQ(sound->Load(path.c_str(), 1, 120), 0u) << round;
        EXPECT_TRUE(ReadBuffer(Voice()._ds2ndBuffP, 0, 882000) == AsBytes(pcm, 0, 441000))
            << round << ": a reload decodes from the zero state";
        sound->Play(0);
        // Catch the thread in the middle of a refill.
        ASSERT_TRUE(WaitFor([&] { return sound->_criticalSectionFlg != 0; }, 20000)) << round;
        EXPECT_EQ(sound->StopAll(), 0) << round;
        EXPECT_EQ(sound->_criticalSectionFlg, 0) << round;
        EXPECT_EQ(Voice().GetStatus(), 0) << round;
        EXPECT_EQ(Voice()._ds2ndBuffP, nullptr) << round;
    }
    // After all that, one more stream runs in order.
    ASSERT_EQ(sound->Load(path.c_str(), 1, 120), 0u);
    StreamAndCheck(1, [&](int aBlock) { return AsBytes(pcm, (size_t)aBlock * 441000, 441000); });
}

namespace {
// Holds the refill lock for a while, as a refill that takes long would.
struct _hold {
    _sound *s;
    DWORD ms;
    HANDLE taken;
    uint16_t statusAtRelease;
};
DWORD WINAPI _holder(LPVOID aP)
{
    _hold *h = static_cast<_hold *>(aP);
    WaitForSingleObject(h->s->_refillLock, INFINITE);
    h->s->_criticalSectionFlg = 1;
    SetEvent(h->taken);
    Sleep(h->ms);
    h->statusAtRelease = h->s->_2ndBuffP[0].GetStatus();
    h->s->_criticalSectionFlg = 0;
    ReleaseMutex(h->s->_refillLock);
    return 0;
}
} // namespace

// A refill that will not end: StopAll gives up after five seconds and stops nothing; one that
// ends soon is waited for.
TEST_F(SoundManager, StopWaitsForTheRefillAtMostFiveSeconds)
{
    std::string path = WriteFile("wait.kss", KssStereo(44100 * 6, 2));
    ASSERT_EQ(sound->Load(path.c_str(), 1, 120), 0u);
    sound->Play(0);
    for (DWORD ms : {300u, 6000u}) {
        Messages().clear();
        _hold h{sound.get(), ms, CreateEventA(nullptr, TRUE, FALSE, nullptr), 0};
        HANDLE t = CreateThread(nullptr, 0, _holder, &h, 0, nullptr);
        WaitForSingleObject(h.taken, INFINITE);
        DWORD start = GetTickCount();
        int32_t r = sound->StopAll();
        DWORD took = GetTickCount() - start;
        if (ms < SOUND_STOP_WAIT_MS) {
            EXPECT_EQ(r, 0);
            EXPECT_TRUE(h.statusAtRelease & SB_PLAYING) << "the voice outlived the refill";
            EXPECT_EQ(Voice().GetStatus(), 0);
        } else {
            EXPECT_EQ(r, -1);
            EXPECT_GE(took, (DWORD)SOUND_STOP_WAIT_MS - 100) << "it waited before giving up";
            EXPECT_TRUE(Reported("サウンドストップ待ちタイムアウト")) << AllMessages();
            EXPECT_TRUE(Voice().GetStatus() & SB_PLAYING) << "nothing was stopped";
        }
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
        CloseHandle(h.taken);
        if (ms < SOUND_STOP_WAIT_MS) {
            ASSERT_EQ(sound->Load(path.c_str(), 1, 120), 0u);
            sound->Play(0);
        }
    }
    EXPECT_EQ(sound->StopAll(), 0);
}

TEST_F(SoundManager, DestroyedWithItsThreadWhileMusicPlays)
{
    std::string path = WriteFile("destroy.kss", KssStereo(44100 * 6, 8));
    ASSERT_EQ(sound->Load(path.c_str(), 1, 120), 0u);
    sound->Play(0);
    Sleep(50);
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), sound->_threadH, GetCurrentProcess(), &thread, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    sound.reset();
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "the thread ended with the manager";
    DWORD code = 1;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(thread);
}

TEST_F(SoundManager, EffectArrays)
{
    EXPECT_EQ(sound->AllocSE(0), nullptr);
    EXPECT_EQ(sound->AllocSE(-3), nullptr);
    _soundSE *se = sound->AllocSE(4);
    ASSERT_NE(se, nullptr);
    EXPECT_EQ(sound->_seNum, 4);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(se[i]._status, 0);
        EXPECT_EQ(se[i].GetDs2ndBuffP(), nullptr);
    }
    Messages().clear();
    EXPECT_EQ(sound->AllocSE(2), nullptr);
    EXPECT_TRUE(Reported("SEオブジェクトは既に確保され黷ﾄいる")) << AllMessages();
    EXPECT_EQ(sound->_seP, se) << "the first array stays";
    EXPECT_EQ(sound->_seNum, 4);
    sound->ReleaseSE();
    EXPECT_EQ(sound->_seP, nullptr);
    EXPECT_EQ(sound->_seNum, 4);
    EXPECT_NE(sound->AllocSE(2), nullptr);
    EXPECT_EQ(sound->_seNum, 2);
}

// Without a usable device the manager says so and stays silent; everything else is a no-op.
static void _expectSoundOff(_sound &aSound)
{
    EXPECT_EQ(aSound.GetDsP(), nullptr);
    EXPECT_EQ(aSound._status, 0u);
    EXPECT_EQ(aSound._threadH, nullptr);
    EXPECT_EQ(aSound._dsPrimaryBuffP, nullptr);
    EXPECT_EQ(aSound._2ndBuffP, nullptr);
    EXPECT_TRUE(Reported("DirectSound初期化失敗")) << AllMessages();
    std::string path = WriteFile("off.kss", KssStereo(44100 * 6, 1));
    EXPECT_EQ(aSound.Load(path.c_str(), 1, 120), SOUND_NO_VOICE);
    aSound.Play(0);
    EXPECT_EQ(aSound.SetBGMVolume(0, 10), -1);
    EXPECT_EQ(aSound.GetBGMVolume(0), 127);
    EXPECT_EQ(aSound.AllocSE(3), nullptr);
    EXPECT_EQ(aSound.SetMainVolume(100), -1);
    EXPECT_EQ(aSound.StopAll(), 0);
}

// Run by ctest with Wine's audio drivers switched off (KESTREL_EXPECT_NO_SOUND set).
TEST(SoundWithoutDevice, NoDeviceLeavesSoundOff)
{
    if (!std::getenv("KESTREL_EXPECT_NO_SOUND"))
        GTEST_SKIP() << "only in the run without audio drivers";
    Prepare();
    Messages().clear();
    _sound *s = new _sound();
    _expectSoundOff(*s);
    EXPECT_TRUE(Reported("DirectSoundオブジェクト生成失敗")) << AllMessages();
    delete s;
}
