#ifndef KESTREL_SYSTEM_SOUND_SOUNDSE_H
#define KESTREL_SYSTEM_SOUND_SOUNDSE_H

// Sound effects: a .wav or .kss file loaded whole into one static DirectSound buffer and played
// once per cue; and the pieces that the music streamer shares with them: the 0..127 volume
// mapping and the block copies (plain and decoding) into a locked buffer region.

#include <windows.h>

#include <mmsystem.h>

#include <dsound.h>

#include <cstddef>
#include <cstdint>

#include "Library/Adpcm/AdpcmLib.h"

static_assert(sizeof(DSBUFFERDESC) == 36, "the DirectX 7 buffer descriptor");
static_assert(sizeof(WAVEFORMATEX) == sizeof(_waveFormatEx) && offsetof(WAVEFORMATEX, cbSize) == 16,
              "the reader's format record is a WAVEFORMATEX");
static_assert(sizeof(MMCKINFO) == sizeof(_mmckInfo), "the reader's chunk record is an MMCKINFO");

enum : uint16_t { SOUNDSE_CREATED = 0x1 };

// Buffer flags: the music ring's five controls, and the same for a static effect buffer.
enum : DWORD {
    SOUND_RING_CAPS = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_CTRLVOLUME |
                      DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY,
    SOUND_SE_CAPS = DSBCAPS_STATIC | SOUND_RING_CAPS,
};
static_assert(SOUND_RING_CAPS == 0x101E0 && SOUND_SE_CAPS == 0x101E2, "buffer flags");

// Receives every failure text of the sound modules as well as the debug sink (tests read it).
extern void (*soundErrorHookP)(const char *aText);

// Level 0..127 (clamped) in hundredths of a decibel: 0 is silence (-10000), 127 full volume (0).
long sSoundVolumeToDb(int32_t aVolume);
// Sets aBuffP to level aVolume. 0, or -1 after reporting aMissingP (no buffer) or the refusal.
int32_t sSoundBufferVolume(IDirectSoundBuffer *aBuffP, int32_t aVolume, const char *aMissingP);

// Copies source bytes from *aWaveAddP (advanced by what was copied) into the region
// (aLockOffset, aLockSize) of aBuffP, zero-filling what the aWaveSize source bytes do not cover.
// A lost buffer is restored and locked again. 0, or -1.
int32_t sSoundBlockCopy(IDirectSoundBuffer *aBuffP, uint32_t aLockOffset, uint32_t aLockSize,
                        const uint8_t *aWaveDataP, uint32_t *aWaveAddP, uint32_t aWaveSize);
// Decodes up to aLockSize / 4 code bytes straight into the region, carrying *aStateP, and
// zero-fills the rest. 0, or -1.
int32_t sSoundBlockCopyWithAdpcmDecode(IDirectSoundBuffer *aBuffP, uint32_t aLockOffset, uint32_t aLockSize,
                                       const uint8_t *aAdpcmDataP, uint32_t aAdpcmSize, _adpcmState *aStateP);

// True when the last four characters of aFileName are aExt, in any case.
bool sSoundHasExt(const char *aFileName, const char *aExt);

// Reports a failure through the sound modules' diagnostic hook (printf-style).
void sSoundError(const char *aFormat, ...);

class _soundSE {
public:
    uint16_t _status;
    IDirectSoundBuffer *_ds2ndBuffP;
    _adpcmState _adpcmStat;

    _soundSE();
    ~_soundSE();
    _soundSE(const _soundSE &) = delete;
    _soundSE &operator=(const _soundSE &) = delete;

    // Loads a .wav or .kss file into a new static buffer of aDsP at volume aVol. A name with
    // neither extension loads nothing and returns 0. 0, or -1.
    int32_t Load(IDirectSound *aDsP, const char *aFileName, int32_t aVol);
    // Makes this object a second voice of aSoundSeP's sound (shared samples). 0, or -1.
    int32_t Duplicate(IDirectSound *aDsP, _soundSE *aSoundSeP);
    // Plays once from the current position; a sound still playing is not restarted.
    int32_t Play();
    int32_t SetVolume(int32_t aVolume);
    IDirectSoundBuffer *GetDs2ndBuffP() { return _ds2ndBuffP; }

private:
    int32_t WriteBuff(_mmioIn *aMmioInH, _mmckInfo *aCkIn, _mmckInfo *aCkInRiff, uint32_t aReadBuffSize);
    int32_t _createSecondaryBuff(IDirectSound *aDsP, const _waveFormatEx *aWaveFormatP, uint32_t aBuffSize);
    void _freeSecondaryBuff();
    int32_t _blockCopy(uint32_t aLockOffset, uint32_t aLockSize, const uint8_t *aWaveDataP, uint32_t *aWaveAddP,
                       uint32_t aWaveSize);
    int32_t _blockCopyWithAdpcmDecode(uint32_t aLockOffset, uint32_t aLockSize, const uint8_t *aAdpcmDataP,
                                      uint32_t aAdpcmSize);
};

#endif
