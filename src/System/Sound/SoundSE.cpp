#include "System/Sound/SoundSE.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "Common/DEBUGWIN.h"

void (*soundErrorHookP)(const char *aText) = nullptr;

void sSoundError(const char *aFormat, ...)
{
    char text[512];
    va_list args;
    va_start(args, aFormat);
    vsnprintf(text, sizeof text, aFormat, args);
    va_end(args);
    sDebugWinPrintMsg(text);
    if (soundErrorHookP)
        soundErrorHookP(text);
}

long sSoundVolumeToDb(int32_t aVolume)
{
    int32_t level = aVolume < 0 ? 0 : (aVolume > 127 ? 127 : aVolume);
    if (level == 0)
        return DSBVOLUME_MIN;
    return -10000 - (level * -10000) / 127;
}

int32_t sSoundBufferVolume(IDirectSoundBuffer *aBuffP, int32_t aVolume, const char *aMissingP)
{
    if (!aBuffP) {
        sSoundError("%s", aMissingP);
        return -1;
    }
    if (FAILED(DEBUGWIN_CHECK(aBuffP->SetVolume(sSoundVolumeToDb(aVolume))))) {
        sSoundError("ボリューム設定失敗");
        return -1;
    }
    return 0;
}

bool sSoundHasExt(const char *aFileName, const char *aExt)
{
    size_t n = std::strlen(aFileName);
    return n >= 4 && _stricmp(aFileName + n - 4, aExt) == 0;
}

// Locks one region of the buffer; a lost buffer is restored and locked again, for as long as
// the restore itself succeeds.
static HRESULT _lock(IDirectSoundBuffer *aBuffP, uint32_t aOffset, uint32_t aSize, void **aP1, DWORD *aN1,
                     void **aP2, DWORD *aN2)
{
    HRESULT hr;
    for (int attempt = 0;; attempt++) {
        *aP1 = *aP2 = nullptr;
        *aN1 = *aN2 = 0;
        hr = DEBUGWIN_CHECK(aBuffP->Lock(aOffset, aSize, aP1, aN1, aP2, aN2, 0));
        if (hr != DSERR_BUFFERLOST || attempt >= 8 || FAILED(DEBUGWIN_CHECK(aBuffP->Restore())))
            break;
    }
    if (FAILED(hr))
        sSoundError("DireectSoundBufferLock失敗");
    return hr;
}

int32_t sSoundBlockCopy(IDirectSoundBuffer *aBuffP, uint32_t aLockOffset, uint32_t aLockSize,
                        const uint8_t *aWaveDataP, uint32_t *aWaveAddP, uint32_t aWaveSize)
{
    if (!aBuffP)
        return -1;
    void *p1, *p2;
    DWORD n1, n2;
    if (FAILED(_lock(aBuffP, aLockOffset, aLockSize, &p1, &n1, &p2, &n2)))
        return -1;
    uint32_t pos = *aWaveAddP;
    uint32_t avail = pos < aWaveSize ? aWaveSize - pos : 0;
    uint32_t copy = avail < n1 ? avail : (uint32_t)n1;
    if (copy)
        std::memcpy(p1, aWaveDataP + pos, copy);
    std::memset(static_cast<uint8_t *>(p1) + copy, 0, n1 - copy);
    if (p2)
        std::memset(p2, 0, n2);
    *aWaveAddP = pos + copy;
    DEBUGWIN_CHECK(aBuffP->Unlock(p1, n1, p2, n2));
    return 0;
}

int32_t sSoundBlockCopyWithAdpcmDecode(IDirectSoundBuffer *aBuffP, uint32_t aLockOffset, uint32_t aLockSize,
                                       const uint8_t *aAdpcmDataP, uint32_t aAdpcmSize, _adpcmState *aStateP)
{
    if (!aBuffP)
        return -1;
    if (aAdpcmSize > aLockSize / 4)
        aAdpcmSize = aLockSize / 4;
    void *p1, *p2;
    DWORD n1, n2;
    if (FAILED(_lock(aBuffP, aLockOffset, aLockSize, &p1, &n1, &p2, &n2)))
        return -1;
    // Each code byte gives two 16-bit samples: 4 output bytes.
    uint32_t codes = aAdpcmSize < n1 / 4 ? aAdpcmSize : (uint32_t)(n1 / 4);
    uint32_t outBytes = codes * 4;
    sAdpcmDecoder(aAdpcmDataP, static_cast<int16_t *>(p1), (long)(outBytes / 2), aStateP);
    std::memset(static_cast<uint8_t *>(p1) + outBytes, 0, n1 - outBytes);
    if (p2)
        std::memset(p2, 0, n2);
    DEBUGWIN_CHECK(aBuffP->Unlock(p1, n1, p2, n2));
    return 0;
}

// ---- _soundSE ---------------------------------------------------------------------------------

_soundSE::_soundSE() : _status(0), _ds2ndBuffP(nullptr), _adpcmStat{0, 0} {}

_soundSE::~_soundSE()
{
    _freeSecondaryBuff();
}

int32_t _soundSE::Load(IDirectSound *aDsP, const char *aFileName, int32_t aVol)
{
    if (!aDsP || !aFileName)
        return -1;
    bool wav = sSoundHasExt(aFileName, ".wav"), kss = sSoundHasExt(aFileName, ".kss");
    if (!wav && !kss)
        return 0;
    // A second load replaces the first sound rather than leaking its buffer.
    _freeSecondaryBuff();

    if (wav) {
        _mmioIn *in = nullptr;
        _waveFormatEx *wfx = nullptr;
        _mmckInfo riff{}, ck{};
        int32_t result = -1;
        if (_waveOpenFile(aFileName, &in, &wfx, &riff) != 0)
            sSoundError("Waveファイルオープン失敗");
        else if (_waveStartDataRead(&in, &ck, &riff) != 0)
            sSoundError("Waveファイルシーク失敗");
        else if (_createSecondaryBuff(aDsP, wfx, ck.cksize) == 0 && SetVolume(aVol) == 0 &&
                 WriteBuff(in, &ck, &riff, ck.cksize) == 0)
            result = 0;
        _waveCloseFile(&in);
        sAdpcmWaveFreeFormat(&wfx);
        if (result != 0)
            _freeSecondaryBuff();
        return result;
    }

    FILE *fp = fopen(aFileName, "rb");
    if (!fp) {
        sSoundError("%s オープン失敗", aFileName);
        return -1;
    }
    long size = -1;
    if (fseek(fp, 0, SEEK_END) == 0)
        size = ftell(fp);
    uint8_t *bytes = nullptr;
    bool read = size >= 0 && fseek(fp, 0, SEEK_SET) == 0 &&
                (bytes = new (std::nothrow) uint8_t[size > 0 ? size : 1]) != nullptr &&
                fread(bytes, 1, (size_t)size, fp) == (size_t)size;
    fclose(fp);
    if (!read) {
        sSoundError("Waveデータ読み込み失敗");
        delete[] bytes;
        return -1;
    }
    // Mono, 44100 Hz, 16 bits: every code byte is two samples, four bytes. An empty file asks
    // for an empty buffer, which the platform refuses.
    const _waveFormatEx mono = {WAVE_FORMAT_PCM_TAG, 1, 44100, 88200, 2, 16, 0};
    uint64_t buffSize = (uint64_t)size * 4;
    int32_t result = -1;
    // Every .kss is decoded from the zero state; a reloaded object must not carry the last one.
    _adpcmStat = {0, 0};
    if (_createSecondaryBuff(aDsP, &mono, buffSize > DSBSIZE_MAX ? 0 : (uint32_t)buffSize) == 0 &&
        SetVolume(aVol) == 0 && _blockCopyWithAdpcmDecode(0, (uint32_t)buffSize, bytes, (uint32_t)size) == 0)
        result = 0;
    delete[] bytes;
    if (result != 0)
        _freeSecondaryBuff();
    return result;
}

int32_t _soundSE::WriteBuff(_mmioIn *aMmioInH, _mmckInfo *aCkIn, _mmckInfo *aCkInRiff, uint32_t aReadBuffSize)
{
    (void)aCkInRiff;
    uint8_t *data = new (std::nothrow) uint8_t[aReadBuffSize ? aReadBuffSize : 1];
    if (!data)
        return -1;
    uint32_t got = 0;
    if (_waveReadFile(aMmioInH, aReadBuffSize, data, aCkIn, &got) != 0) {
        sSoundError("Waveデータ読み込み失敗");
        delete[] data;
        return -1;
    }
    uint32_t pos = 0;
    int32_t result = _blockCopy(0, aReadBuffSize, data, &pos, got);
    delete[] data;
    return result;
}

int32_t _soundSE::_createSecondaryBuff(IDirectSound *aDsP, const _waveFormatEx *aWaveFormatP, uint32_t aBuffSize)
{
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = SOUND_SE_CAPS;
    desc.dwBufferBytes = aBuffSize;
    desc.lpwfxFormat = reinterpret_cast<WAVEFORMATEX *>(const_cast<_waveFormatEx *>(aWaveFormatP));
    _ds2ndBuffP = nullptr;
    if (FAILED(DEBUGWIN_CHECK(aDsP->CreateSoundBuffer(&desc, &_ds2ndBuffP, nullptr))) || !_ds2ndBuffP) {
        _ds2ndBuffP = nullptr;
        sSoundError("DirectSoundセカンダリバッファ生成失敗");
        return -1;
    }
    _status |= SOUNDSE_CREATED;
    return 0;
}

void _soundSE::_freeSecondaryBuff()
{
    if (_ds2ndBuffP) {
        DEBUGWIN_CHECK(_ds2ndBuffP->Stop());
        _ds2ndBuffP->Release();
        _ds2ndBuffP = nullptr;
    }
    _status &= (uint16_t)~SOUNDSE_CREATED;
}

int32_t _soundSE::_blockCopy(uint32_t aLockOffset, uint32_t aLockSize, const uint8_t *aWaveDataP,
                             uint32_t *aWaveAddP, uint32_t aWaveSize)
{
    return sSoundBlockCopy(_ds2ndBuffP, aLockOffset, aLockSize, aWaveDataP, aWaveAddP, aWaveSize);
}

int32_t _soundSE::_blockCopyWithAdpcmDecode(uint32_t aLockOffset, uint32_t aLockSize, const uint8_t *aAdpcmDataP,
                                            uint32_t aAdpcmSize)
{
    return sSoundBlockCopyWithAdpcmDecode(_ds2ndBuffP, aLockOffset, aLockSize, aAdpcmDataP, aAdpcmSize,
                                          &_adpcmStat);
}

int32_t _soundSE::Duplicate(IDirectSound *aDsP, _soundSE *aSoundSeP)
{
    if (!aDsP || !aSoundSeP || !aSoundSeP->_ds2ndBuffP)
        return -1;
    _freeSecondaryBuff();
    IDirectSoundBuffer *dup = nullptr;
    if (SUCCEEDED(DEBUGWIN_CHECK(aDsP->DuplicateSoundBuffer(aSoundSeP->_ds2ndBuffP, &dup))))
        _ds2ndBuffP = dup;
    return 0;
}

int32_t _soundSE::Play()
{
    if (!_ds2ndBuffP)
        return -1;
    DWORD status = 0;
    if (SUCCEEDED(DEBUGWIN_CHECK(_ds2ndBuffP->GetStatus(&status))) && (status & DSBSTATUS_PLAYING))
        return 0;
    if (FAILED(DEBUGWIN_CHECK(_ds2ndBuffP->Play(0, 0, 0)))) {
        sSoundError("再生失敗");
        _freeSecondaryBuff();
        return -1;
    }
    return 0;
}

int32_t _soundSE::SetVolume(int32_t aVolume)
{
    return sSoundBufferVolume(_ds2ndBuffP, aVolume, "バッファが無い！");
}
