#include "System/Sound/Sound.h"

#include <mmsystem.h>

#include <new>

#include "Common/DEBUGWIN.h"
#include "System/Sys/SYSTEM.h"

_sound *soundClassP = nullptr;
int32_t bgmVoiceNum = -1;

_sound::_sound()
    : _status(0), _dsP(nullptr), _dsPrimaryBuffP(nullptr), _2ndBuffP(nullptr), _eventH{}, _threadH(nullptr),
      _seNum(0), _seP(nullptr), _criticalSectionFlg(0)
{
    _refillLock = CreateMutexA(nullptr, FALSE, nullptr);
    if (!_refillLock || _directSoundInit() != 0) {
        sSoundError("DirectSound初期化失敗");
        return;
    }
    SetMainVolume(127);
    for (HANDLE &h : _eventH) {
        h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (!h)
            sSoundError("終了監視イベント生成失敗");
    }
    DWORD id = 0;
    _threadH = CreateThread(nullptr, 0, fThreadFunc, this, 0, &id);
    if (!_threadH)
        sSoundError("終了監視スレッド生成失敗");
}

_sound::~_sound()
{
    StopAll();
    if (_threadH) {
        SetEvent(_eventH[SOUND_EVENT_NUM - 1]);
        WaitForSingleObject(_threadH, INFINITE);
        CloseHandle(_threadH);
        _threadH = nullptr;
    }
    for (HANDLE &h : _eventH) {
        if (h)
            CloseHandle(h);
        h = nullptr;
    }
    _directSoundRelease();
    if (_refillLock)
        CloseHandle(_refillLock);
}

int32_t _sound::_directSoundInit()
{
    if (FAILED(DEBUGWIN_CHECK(DirectSoundCreate(nullptr, &_dsP, nullptr))) || !_dsP) {
        _dsP = nullptr;
        sSoundError("DirectSoundオブジェクト生成失敗");
        _directSoundRelease();
        return -1;
    }
    if (FAILED(DEBUGWIN_CHECK(_dsP->SetCooperativeLevel(sysWork.rootWinH, DSSCL_PRIORITY)))) {
        sSoundError("DirectSound協調レベル設定失敗");
        _directSoundRelease();
        return -1;
    }
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME;
    if (FAILED(DEBUGWIN_CHECK(_dsP->CreateSoundBuffer(&desc, &_dsPrimaryBuffP, nullptr))) || !_dsPrimaryBuffP) {
        _dsPrimaryBuffP = nullptr;
        sSoundError("DirectSoundプライマリバッファ生成失敗");
        _directSoundRelease();
        return -1;
    }
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = 2;
    wfx.nSamplesPerSec = 44100;
    wfx.wBitsPerSample = 16;
    wfx.nBlockAlign = (WORD)(wfx.wBitsPerSample / 8 * wfx.nChannels);
    wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
    if (FAILED(DEBUGWIN_CHECK(_dsPrimaryBuffP->SetFormat(&wfx)))) {
        sSoundError("Waveフォーマット設定失敗");
        _directSoundRelease();
        return -1;
    }
    _2ndBuffP = new (std::nothrow) _secondaryBuffer[SOUND_VOICE_NUM];
    if (!_2ndBuffP) {
        _directSoundRelease();
        return -1;
    }
    _status |= SOUND_READY;
    return 0;
}

void _sound::_directSoundRelease()
{
    delete[] _2ndBuffP;
    _2ndBuffP = nullptr;
    ReleaseSE();
    if (_dsPrimaryBuffP) {
        _dsPrimaryBuffP->Release();
        _dsPrimaryBuffP = nullptr;
    }
    if (_dsP) {
        _dsP->Release();
        _dsP = nullptr;
    }
    _status &= ~SOUND_READY;
}

int32_t _sound::_getVoice()
{
    for (int32_t v = 0; v < SOUND_VOICE_NUM; v++)
        if (!(_2ndBuffP[v].GetStatus() & SB_CREATED))
            return v;
    return -1;
}

// Notifications left over from the voice's last life must not refill its next one.
void _sound::_resetVoiceEvents(uint32_t aVoiceNum)
{
    for (uint32_t e = 0; e < 3; e++)
        if (_eventH[3 * aVoiceNum + e])
            ResetEvent(_eventH[3 * aVoiceNum + e]);
}

uint32_t _sound::Load(const char *aFileName, int32_t aLoopingFlg, int32_t aVol)
{
    if (!(_status & SOUND_READY) || !aFileName)
        return SOUND_NO_VOICE;
    WaitForSingleObject(_refillLock, INFINITE);
    uint32_t result = SOUND_NO_VOICE;
    int32_t v = _getVoice();
    if (v >= 0) {
        _resetVoiceEvents((uint32_t)v);
        if (_2ndBuffP[v].Load(_dsP, aFileName, aVol, aLoopingFlg, &_eventH[3 * v]) == 0)
            result = (uint32_t)v;
    }
    ReleaseMutex(_refillLock);
    return result;
}

void _sound::Play(uint32_t aVoiceNum)
{
    if (!(_status & SOUND_READY) || aVoiceNum >= SOUND_VOICE_NUM)
        return;
    WaitForSingleObject(_refillLock, INFINITE);
    _2ndBuffP[aVoiceNum].Play();
    ReleaseMutex(_refillLock);
}

int32_t _sound::SetBGMVolume(uint32_t aVoiceNum, int32_t aVolume)
{
    if (!(_status & SOUND_READY) || aVoiceNum >= SOUND_VOICE_NUM)
        return -1;
    // The lock: a refill that reaches the end of a single-pass file frees the voice.
    WaitForSingleObject(_refillLock, INFINITE);
    int32_t result = _2ndBuffP[aVoiceNum].SetVolume(aVolume);
    ReleaseMutex(_refillLock);
    return result;
}

int32_t _sound::GetBGMVolume(uint32_t aVoiceNum)
{
    if (!(_status & SOUND_READY) || aVoiceNum >= SOUND_VOICE_NUM)
        return 127;
    return _2ndBuffP[aVoiceNum].GetVolume();
}

void _sound::StopBgm(uint32_t aVoiceNum)
{
    if ((_status & SOUND_READY) && aVoiceNum < SOUND_VOICE_NUM)
        _2ndBuffP[aVoiceNum].Stop();
}

_soundSE *_sound::AllocSE(int32_t aAllocNum)
{
    if (!(_status & SOUND_READY) || aAllocNum <= 0)
        return nullptr;
    if (_seP) {
        sSoundError("SEオブジェクトは既に確保され黷ﾄいる");
        return nullptr;
    }
    _seP = new (std::nothrow) _soundSE[aAllocNum];
    if (!_seP)
        return nullptr;
    _seNum = aAllocNum;
    return _seP;
}

void _sound::ReleaseSE()
{
    delete[] _seP;
    _seP = nullptr;
}

int32_t _sound::StopAll()
{
    if (!(_status & SOUND_READY))
        return 0;
    // Wait for a running refill to end; holding the lock keeps the next one from starting.
    if (WaitForSingleObject(_refillLock, SOUND_STOP_WAIT_MS) != WAIT_OBJECT_0) {
        sSoundError("サウンドストップ待ちタイムアウト");
        return -1;
    }
    // The thread stays suspended while the voices go; without a thread nothing can refill.
    if (_threadH && SuspendThread(_threadH) == (DWORD)-1) {
        ReleaseMutex(_refillLock);
        return -1;
    }
    for (uint32_t v = 0; v < SOUND_VOICE_NUM; v++)
        StopBgm(v);
    if (_threadH)
        ResumeThread(_threadH);
    ReleaseMutex(_refillLock);
    return 0;
}

int32_t _sound::SetMainVolume(int32_t aVolume)
{
    int32_t level = aVolume < 0 ? 0 : (aVolume > 127 ? 127 : aVolume);
    if (!_dsPrimaryBuffP || FAILED(DEBUGWIN_CHECK(_dsPrimaryBuffP->SetVolume(level ? DSBVOLUME_MAX : DSBVOLUME_MIN))))
        return -1;
    return 0;
}

DWORD WINAPI fThreadFunc(LPVOID aParamP)
{
    _sound *sound = static_cast<_sound *>(aParamP);
    for (;;) {
        DWORD r = WaitForMultipleObjects(SOUND_EVENT_NUM, sound->_eventH, FALSE, INFINITE);
        DWORD index = r - WAIT_OBJECT_0;
        if (r == WAIT_FAILED || index >= SOUND_EVENT_NUM)
            return 0;
        DWORD voice = index / 3, event = index % 3;
        if (voice >= SOUND_VOICE_NUM)
            return 0;
        if (event == 0)
            continue; // the stop notice
        // Event 1: the cursor entered the first half, so the second has just played.
        int32_t half = event == 1 ? 1 : 0;
        WaitForSingleObject(sound->_refillLock, INFINITE);
        sound->_criticalSectionFlg = 1;
        _secondaryBuffer &v = sound->_2ndBuffP[voice];
        // Only a playing voice is refilled, and the halves alternate: a notice that outlived
        // the voice it was meant for writes nothing.
        if ((v.GetStatus() & SB_PLAYING) && v._lastHalf != half)
            v.WriteBuff(half);
        sound->_criticalSectionFlg = 0;
        ReleaseMutex(sound->_refillLock);
    }
}
