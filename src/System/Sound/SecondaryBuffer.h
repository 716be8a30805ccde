#ifndef KESTREL_SYSTEM_SOUND_SECONDARYBUFFER_H
#define KESTREL_SYSTEM_SOUND_SECONDARYBUFFER_H

// One streaming music voice: a ten-second ring in two five-second halves, refilled half by half
// from a RIFF WAVE file or a .kss stream whenever the play cursor crosses into the other half.

#include <windows.h>

#include <mmsystem.h>

#include <dsound.h>

#include <cstdint>
#include <cstdio>

#include "Library/Adpcm/AdpcmLib.h"

enum : uint16_t {
    SB_CREATED = 0x1,
    SB_PLAYING = 0x2,
    SB_LOOP = 0x4,
    SB_ADPCM = 0x100, // the file is a .kss stream
};

enum : uint32_t { SB_RING_SECONDS = 10 };

class _secondaryBuffer {
public:
    uint16_t _status;
    IDirectSoundBuffer *_ds2ndBuffP;
    IDirectSoundNotify *_dsNotifyP;
    uint32_t _readBuffSize; // bytes in one half of the ring
    _mmioIn *_mmioInH;
    _mmckInfo _ckIn;        // the data chunk; cksize counts the bytes still unread
    _mmckInfo _ckInRiff;
    _waveFormatEx *_waveFormatP;
    uint8_t *_wavDataP;     // staging buffer of _readBuffSize bytes
    _adpcmState _adpcmStat;
    FILE *_adpcmFp;
    int32_t _volume;
    int32_t _lastHalf;      // the half that the last refill wrote (0 or 1)

    _secondaryBuffer();
    ~_secondaryBuffer();
    _secondaryBuffer(const _secondaryBuffer &) = delete;
    _secondaryBuffer &operator=(const _secondaryBuffer &) = delete;

    // Opens the .wav or .kss file, creates the ring for its format with the voice's three
    // events as notifications, sets the volume and fills the first half. 0, or -1 (the voice
    // stays free).
    int32_t Load(IDirectSound *aDsP, const char *aFileName, int32_t aVol, int32_t aLoopingFlg, HANDLE *aEventHP);
    int32_t Play();
    // Stops and frees everything; the voice must be loaded again before it can play.
    int32_t Stop();
    // Refills the second half (aHalfFlg non-zero) or the first.
    int32_t WriteBuff(int32_t aHalfFlg);
    int32_t SetVolume(int32_t aVolume);
    int32_t GetVolume() { return _volume; }
    uint16_t GetStatus() { return _status; }

private:
    int32_t _createSecondaryBuff(IDirectSound *aDsP, HANDLE *aEventHP, const _waveFormatEx *aWaveFormatP);
    void _freeSecondaryBuff();
    int32_t _makeNotify(HANDLE *aEventHP);
    int32_t _writeWave(uint32_t aOffset);
    int32_t _writeAdpcm(uint32_t aOffset);
    int32_t _blockCopy(uint32_t aLockOffset, uint32_t aLockSize, const uint8_t *aWaveDataP, uint32_t *aWaveAddP,
                       uint32_t aWaveSize);
    int32_t _blockCopyWithAdpcmDecode(uint32_t aLockOffset, uint32_t aLockSize, const uint8_t *aAdpcmDataP,
                                      uint32_t aAdpcmSize);
};

#endif
