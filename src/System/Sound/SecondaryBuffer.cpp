#include "System/Sound/SecondaryBuffer.h"

#include <new>

#include "Common/DEBUGWIN.h"
#include "System/Sound/SoundSE.h"

_secondaryBuffer::_secondaryBuffer()
    : _status(0), _ds2ndBuffP(nullptr), _dsNotifyP(nullptr), _readBuffSize(0), _mmioInH(nullptr), _ckIn{},
      _ckInRiff{}, _waveFormatP(nullptr), _wavDataP(nullptr), _adpcmStat{0, 0}, _adpcmFp(nullptr), _volume(0),
      _lastHalf(0)
{
}

_secondaryBuffer::~_secondaryBuffer()
{
    if (_ds2ndBuffP)
        DEBUGWIN_CHECK(_ds2ndBuffP->Stop());
    _freeSecondaryBuff();
}

int32_t _secondaryBuffer::Load(IDirectSound *aDsP, const char *aFileName, int32_t aVol, int32_t aLoopingFlg,
                               HANDLE *aEventHP)
{
    if (!aDsP || !aFileName || (_status & SB_CREATED))
        return -1;
    if (sSoundHasExt(aFileName, ".wav")) {
        if (_waveOpenFile(aFileName, &_mmioInH, &_waveFormatP, &_ckInRiff) != 0) {
            sSoundError("Waveファイルオープン失敗");
            return -1;
        }
        if (_waveStartDataRead(&_mmioInH, &_ckIn, &_ckInRiff) != 0) {
            sSoundError("Waveファイルシーク失敗");
            _freeSecondaryBuff();
            return -1;
        }
        if (_createSecondaryBuff(aDsP, aEventHP, _waveFormatP) != 0 || SetVolume(aVol) != 0) {
            _freeSecondaryBuff();
            return -1;
        }
        _status = (uint16_t)((_status & ~(SB_LOOP | SB_ADPCM)) | (aLoopingFlg ? SB_LOOP : 0));
        if (WriteBuff(0) != 0) {
            _freeSecondaryBuff();
            return -1;
        }
        return 0;
    }
    if (sSoundHasExt(aFileName, ".kss")) {
        _adpcmFp = fopen(aFileName, "rb");
        if (!_adpcmFp) {
            sSoundError("%s オープン失敗", aFileName);
            return -1;
        }
        _status = (uint16_t)((_status & ~SB_LOOP) | (aLoopingFlg ? SB_LOOP : 0) | SB_ADPCM);
        // Every stream is decoded from the zero state; only the loop point carries it on.
        _adpcmStat = {0, 0};
        const _waveFormatEx stereo = {WAVE_FORMAT_PCM_TAG, 2, 44100, 176400, 4, 16, 0};
        if (_createSecondaryBuff(aDsP, aEventHP, &stereo) != 0 || SetVolume(aVol) != 0 || WriteBuff(0) != 0) {
            _freeSecondaryBuff();
            return -1;
        }
        return 0;
    }
    return -1;
}

int32_t _secondaryBuffer::_createSecondaryBuff(IDirectSound *aDsP, HANDLE *aEventHP, const _waveFormatEx *aWaveFormatP)
{
    // Ten seconds in two halves; each half holds whole sample frames. A format that asks for
    // more than the platform's largest buffer is refused like one the platform refuses.
    uint32_t align = aWaveFormatP->nBlockAlign ? aWaveFormatP->nBlockAlign : 1;
    uint64_t half = (uint64_t)aWaveFormatP->nAvgBytesPerSec * SB_RING_SECONDS / 2;
    half -= half % align;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = SOUND_RING_CAPS;
    desc.dwBufferBytes = half * 2 > DSBSIZE_MAX ? 0 : (DWORD)(half * 2);
    desc.lpwfxFormat = reinterpret_cast<WAVEFORMATEX *>(const_cast<_waveFormatEx *>(aWaveFormatP));
    _ds2ndBuffP = nullptr;
    if (FAILED(DEBUGWIN_CHECK(aDsP->CreateSoundBuffer(&desc, &_ds2ndBuffP, nullptr))) || !_ds2ndBuffP) {
        _ds2ndBuffP = nullptr;
        sSoundError("DirectSoundセカンダリバッファ生成失敗");
        return -1;
    }
    _readBuffSize = desc.dwBufferBytes / 2;
    _wavDataP = new (std::nothrow) uint8_t[_readBuffSize];
    if (!_wavDataP || _makeNotify(aEventHP) != 0)
        return (int32_t)E_FAIL;
    _status |= SB_CREATED;
    return 0;
}

int32_t _secondaryBuffer::_makeNotify(HANDLE *aEventHP)
{
    if (FAILED(DEBUGWIN_CHECK(
            _ds2ndBuffP->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void **>(&_dsNotifyP))))) {
        _dsNotifyP = nullptr;
        sSoundError("DirectSoundNotify生成失敗");
        return -1;
    }
    DSBPOSITIONNOTIFY pos[3] = {
        {(DWORD)DSBPN_OFFSETSTOP, aEventHP[0]}, {0, aEventHP[1]}, {_readBuffSize, aEventHP[2]}};
    if (FAILED(DEBUGWIN_CHECK(_dsNotifyP->SetNotificationPositions(3, pos)))) {
        sSoundError("イベント通知位置設定失敗");
        return -1;
    }
    return 0;
}

void _secondaryBuffer::_freeSecondaryBuff()
{
    if (_dsNotifyP) {
        _dsNotifyP->Release();
        _dsNotifyP = nullptr;
    }
    if (_ds2ndBuffP) {
        _ds2ndBuffP->Release();
        _ds2ndBuffP = nullptr;
    }
    _waveCloseFile(&_mmioInH);
    sAdpcmWaveFreeFormat(&_waveFormatP);
    delete[] _wavDataP;
    _wavDataP = nullptr;
    if (_adpcmFp) {
        fclose(_adpcmFp);
        _adpcmFp = nullptr;
    }
    _readBuffSize = 0;
    _status = 0;
}

int32_t _secondaryBuffer::Play()
{
    if (_status & SB_PLAYING)
        return 0;
    if (!_ds2ndBuffP)
        return -1;
    if (FAILED(DEBUGWIN_CHECK(_ds2ndBuffP->Play(0, 0, DSBPLAY_LOOPING)))) {
        sSoundError("再生失敗");
        _freeSecondaryBuff();
        return -1;
    }
    _status |= SB_PLAYING;
    return 0;
}

int32_t _secondaryBuffer::Stop()
{
    if (_ds2ndBuffP) {
        DEBUGWIN_CHECK(_ds2ndBuffP->Stop());
        _status &= (uint16_t)~SB_PLAYING;
        _freeSecondaryBuff();
    }
    return 0;
}

int32_t _secondaryBuffer::SetVolume(int32_t aVolume)
{
    if (sSoundBufferVolume(_ds2ndBuffP, aVolume, "バッファが無い！(SetVolume)") != 0)
        return -1;
    _volume = aVolume < 0 ? 0 : (aVolume > 127 ? 127 : aVolume);
    return 0;
}

int32_t _secondaryBuffer::WriteBuff(int32_t aHalfFlg)
{
    if (!(_status & SB_CREATED))
        return -1;
    _lastHalf = aHalfFlg ? 1 : 0;
    uint32_t offset = aHalfFlg ? _readBuffSize : 0;
    return (_status & SB_ADPCM) ? _writeAdpcm(offset) : _writeWave(offset);
}

// WAVE mode: a half of the data chunk; at its end a looping stream goes on from the start of
// the data (as often as a short file needs), a single pass stops the voice.
int32_t _secondaryBuffer::_writeWave(uint32_t aOffset)
{
    if (!_mmioInH || !_wavDataP) {
        sSoundError("_mmioInHか_wavDataPがNULL");
        return -1;
    }
    uint32_t got = 0;
    if (_waveReadFile(_mmioInH, _readBuffSize, _wavDataP, &_ckIn, &got) != 0) {
        sSoundError("Waveデータ読み込み失敗");
        return -1;
    }
    while (_ckIn.cksize == 0) {
        if (!(_status & SB_LOOP)) {
            Stop();
            return 0;
        }
        if (_waveStartDataRead(&_mmioInH, &_ckIn, &_ckInRiff) != 0) {
            sSoundError("Waveファイルシーク失敗");
            return -1;
        }
        if (got == _readBuffSize)
            break;
        uint32_t more = 0;
        if (_ckIn.cksize == 0 || _waveReadFile(_mmioInH, _readBuffSize - got, _wavDataP + got, &_ckIn, &more) != 0) {
            sSoundError("Waveデータ読み込み失敗"); // an empty data chunk has nothing to loop
            return -1;
        }
        got += more;
    }
    uint32_t pos = 0;
    return _blockCopy(aOffset, _readBuffSize, _wavDataP, &pos, got);
}

// Compressed mode: a quarter of a half in code bytes (each byte gives two 16-bit samples),
// decoded straight into the ring. The decoder state runs on across the loop point.
int32_t _secondaryBuffer::_writeAdpcm(uint32_t aOffset)
{
    if (!_adpcmFp)
        return 0;
    uint32_t block = _readBuffSize / 4;
    uint32_t got = (uint32_t)fread(_wavDataP, 1, block, _adpcmFp);
    while (got < block) {
        if (!(_status & SB_LOOP)) {
            Stop();
            return 0;
        }
        if (fseek(_adpcmFp, 0, SEEK_SET) != 0) {
            sSoundError("Waveファイルシーク失敗");
            return -1;
        }
        uint32_t more = (uint32_t)fread(_wavDataP + got, 1, block - got, _adpcmFp);
        if (more == 0) {
            sSoundError("Waveデータ読み込み失敗"); // an empty stream has nothing to loop
            return -1;
        }
        got += more;
    }
    return _blockCopyWithAdpcmDecode(aOffset, _readBuffSize, _wavDataP, got);
}

int32_t _secondaryBuffer::_blockCopy(uint32_t aLockOffset, uint32_t aLockSize, const uint8_t *aWaveDataP,
                                     uint32_t *aWaveAddP, uint32_t aWaveSize)
{
    return sSoundBlockCopy(_ds2ndBuffP, aLockOffset, aLockSize, aWaveDataP, aWaveAddP, aWaveSize);
}

int32_t _secondaryBuffer::_blockCopyWithAdpcmDecode(uint32_t aLockOffset, uint32_t aLockSize,
                                                    const uint8_t *aAdpcmDataP, uint32_t aAdpcmSize)
{
    return sSoundBlockCopyWithAdpcmDecode(_ds2ndBuffP, aLockOffset, aLockSize, aAdpcmDataP, aAdpcmSize,
                                          &_adpcmStat);
}
