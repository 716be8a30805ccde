#ifndef KESTREL_SYSTEM_SOUND_SOUND_H
#define KESTREL_SYSTEM_SOUND_SOUND_H

// The sound manager: the DirectSound device and its primary buffer, the streaming music voice
// with the thread that refills it, and the sound effects of the current scene.

#include <windows.h>

#include <mmsystem.h>

#include <dsound.h>

#include <cstdint>

#include "System/Sound/SecondaryBuffer.h"
#include "System/Sound/SoundSE.h"

enum : uint32_t { SOUND_READY = 0x1 };

enum {
    SOUND_VOICE_NUM = 1,                       // streaming music voices
    SOUND_EVENT_NUM = 3 * SOUND_VOICE_NUM + 1, // per voice: stop, first half, second half; then exit
    SOUND_STOP_WAIT_MS = 5000,                 // longest wait of StopAll for a refill to end
};

constexpr uint32_t SOUND_NO_VOICE = 0xFFFFFFFFu;

class _sound {
public:
    uint32_t _status;
    IDirectSound *_dsP;
    IDirectSoundBuffer *_dsPrimaryBuffP;
    _secondaryBuffer *_2ndBuffP; // SOUND_VOICE_NUM voices
    HANDLE _eventH[SOUND_EVENT_NUM];
    HANDLE _threadH;
    int32_t _seNum;
    _soundSE *_seP;
    // Raised by the streaming thread while a refill runs. The refill itself holds _refillLock,
    // which the main thread takes around everything that creates, starts or frees a voice, so a
    // voice is never freed under a running refill. A mutex, not a critical section: StopAll waits
    // for it with a time limit, and Windows 98 has no TryEnterCriticalSection.
    volatile LONG _criticalSectionFlg;
    HANDLE _refillLock;

    // Opens DirectSound on sysWork.rootWinH; on failure the object stays without sound
    // (GetDsP() null) and its owner deletes it.
    _sound();
    ~_sound();
    _sound(const _sound &) = delete;
    _sound &operator=(const _sound &) = delete;

    // Loads a .wav or .kss file into a free voice, filled and not playing: the voice number, or
    // SOUND_NO_VOICE.
    uint32_t Load(const char *aFileName, int32_t aLoopingFlg, int32_t aVol);
    void Play(uint32_t aVoiceNum);
    int32_t SetBGMVolume(uint32_t aVoiceNum, int32_t aVolume);
    int32_t GetBGMVolume(uint32_t aVoiceNum);
    // Stops and frees one voice; StopAll is its only caller.
    void StopBgm(uint32_t aVoiceNum);
    // An array of aAllocNum empty effects for the current scene, or null.
    _soundSE *AllocSE(int32_t aAllocNum);
    void ReleaseSE();
    // Stops every music voice once no refill runs (effects are not touched). 0, or -1 when the
    // wait timed out or the thread could not be held.
    int32_t StopAll();
    // 0 silences everything, 1..127 is full volume.
    int32_t SetMainVolume(int32_t aVolume);
    IDirectSound *GetDsP() { return _dsP; }

private:
    int32_t _directSoundInit();
    void _directSoundRelease();
    int32_t _getVoice();
    void _resetVoiceEvents(uint32_t aVoiceNum);
};

// The streaming thread: refills a voice's half each time its play cursor enters the other one.
DWORD WINAPI fThreadFunc(LPVOID aParamP);

// The benchmark run's sound manager (null while sound is off) and the voice of the current
// music (-1 when none loaded).
extern _sound *soundClassP;
extern int32_t bgmVoiceNum;

#endif
