#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Library/Adpcm/AdpcmLib.h"
#include "ReferenceTools.h"

namespace fs = std::filesystem;

namespace {

using _bytes = std::vector<uint8_t>;

void _put16(_bytes &aB, uint32_t aV)
{
    aB.push_back((uint8_t)aV);
    aB.push_back((uint8_t)(aV >> 8));
}

void _put32(_bytes &aB, uint32_t aV)
{
    _put16(aB, aV & 0xFFFF);
    _put16(aB, aV >> 16);
}

void _putId(_bytes &aB, const char *aId)
{
    aB.insert(aB.end(), aId, aId + 4);
}

// A chunk with its pad byte when the size is odd; aSize overrides the size field.
_bytes _chunk(const char *aId, const _bytes &aData, int64_t aSize = -1)
{
    _bytes b;
    _putId(b, aId);
    _put32(b, aSize >= 0 ? (uint32_t)aSize : (uint32_t)aData.size());
    b.insert(b.end(), aData.begin(), aData.end());
    if (aData.size() & 1)
        b.push_back(0);
    return b;
}

_bytes _fmt(uint16_t aTag, uint16_t aChannels, uint32_t aRate, uint16_t aBits, const _bytes &aTail = {})
{
    _bytes b;
    uint16_t align = (uint16_t)(aChannels * aBits / 8);
    _put16(b, aTag);
    _put16(b, aChannels);
    _put32(b, aRate);
    _put32(b, aRate * align);
    _put16(b, align);
    _put16(b, aBits);
    b.insert(b.end(), aTail.begin(), aTail.end());
    return b;
}

_bytes _riff(const std::vector<_bytes> &aChunks, const char *aForm = "WAVE", int64_t aSize = -1)
{
    _bytes body;
    _putId(body, aForm);
    for (const auto &c : aChunks)
        body.insert(body.end(), c.begin(), c.end());
    return _chunk("RIFF", body, aSize);
}

_bytes _ramp(size_t aN)
{
    _bytes b(aN);
    for (size_t i = 0; i < aN; i++)
        b[i] = (uint8_t)(i * 7 + 3);
    return b;
}

fs::path _scratch()
{
    fs::path dir = fs::temp_directory_path() / ("kestrel_wave_" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir;
}

std::string _write(const _bytes &aFile, const char *aName = "t.wav")
{
    fs::path p = _scratch() / aName;
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char *>(aFile.data()), (std::streamsize)aFile.size());
    return p.string();
}

// An open file with its format and RIFF chunk; closes and frees on destruction.
struct _opened {
    _mmioIn *in = nullptr;
    _waveFormatEx *wfx = nullptr;
    _mmckInfo riff{};
    long hr;
    explicit _opened(const std::string &aPath) { hr = _waveOpenFile(aPath.c_str(), &in, &wfx, &riff); }
    ~_opened()
    {
        _waveCloseFile(&in);
        sAdpcmWaveFreeFormat(&wfx);
    }
};

} // namespace

TEST(WaveReader, PcmAmongOtherChunksWithOddSizes)
{
    const _bytes data = _ramp(1001);
    std::string path = _write(_riff({_chunk("JUNK", _ramp(5)), _chunk("fmt ", _fmt(1, 2, 22050, 16)),
                                      _chunk("LIST", _bytes{'I', 'N', 'F', 'O', 1, 2, 3}), _chunk("fact", _ramp(4)),
                                      _chunk("data", data), _chunk("smpl", _ramp(3))}));
    _opened w(path);
    ASSERT_EQ(w.hr, 0);
    ASSERT_NE(w.wfx, nullptr);
    EXPECT_EQ(w.wfx->wFormatTag, 1);
    EXPECT_EQ(w.wfx->nChannels, 2);
    EXPECT_EQ(w.wfx->nSamplesPerSec, 22050u);
    EXPECT_EQ(w.wfx->nAvgBytesPerSec, 88200u);
    EXPECT_EQ(w.wfx->nBlockAlign, 4);
    EXPECT_EQ(w.wfx->wBitsPerSample, 16);
    EXPECT_EQ(w.wfx->cbSize, 0);
    EXPECT_EQ(w.riff.ckid, sAdpcmFourCC('R', 'I', 'F', 'F'));
    EXPECT_EQ(w.riff.fccType, sAdpcmFourCC('W', 'A', 'V', 'E'));
    EXPECT_EQ(w.riff.dwDataOffset, 8u);

    // Twice: the second pass is how a looping stream rewinds.
    for (int pass = 0; pass < 2; pass++) {
        _mmckInfo ck{};
        ASSERT_EQ(_waveStartDataRead(&w.in, &ck, &w.riff), 0);
        EXPECT_EQ(ck.cksize, 1001u);
        EXPECT_EQ(ck.dwDataOffset, 12u + 14 + 24 + 16 + 12 + 8);
        _bytes got;
        const uint32_t expectCounts[4] = {400, 400, 201, 0};
        for (uint32_t expectCount : expectCounts) {
            uint8_t buf[400];
            uint32_t n = 99;
            ASSERT_EQ(_waveReadFile(w.in, sizeof buf, buf, &ck, &n), 0);
            EXPECT_EQ(n, expectCount);
            got.insert(got.end(), buf, buf + n);
        }
        EXPECT_EQ(ck.cksize, 0u);
        EXPECT_EQ(got, data);
    }
}

TEST(WaveReader, FormatExtras)
{
    struct _case {
        const char *name;
        _bytes fmt;
        uint16_t tag, cbSize;
        _bytes extra;
    } cases[] = {
        // PCM never has extra bytes, even when the chunk carries a count.
        {"PCM with a cbSize field", _fmt(1, 1, 44100, 16, {22, 0}), 1, 0, {}},
        {"IMA ADPCM", _fmt(0x11, 1, 22050, 4, {2, 0, 0xF9, 0x01}), 0x11, 2, {0xF9, 0x01}},
        {"extensible", _fmt(0xFFFE, 2, 48000, 24, [] {
             _bytes t{22, 0};
             _bytes x = _ramp(22);
             t.insert(t.end(), x.begin(), x.end());
             return t;
         }()),
         0xFFFE, 22, _ramp(22)},
        // A 16-byte chunk of another format has no count at all.
        {"float without a count", _fmt(3, 1, 44100, 32), 3, 0, {}},
    };
    for (const auto &c : cases) {
        _opened w(_write(_riff({_chunk("fmt ", c.fmt), _chunk("data", _ramp(8))})));
        ASSERT_EQ(w.hr, 0) << c.name;
        EXPECT_EQ(w.wfx->wFormatTag, c.tag) << c.name;
        ASSERT_EQ(w.wfx->cbSize, c.cbSize) << c.name;
        const uint8_t *extra = reinterpret_cast<const uint8_t *>(w.wfx) + sizeof(_waveFormatEx);
        EXPECT_EQ(_bytes(extra, extra + c.cbSize), c.extra) << c.name;
    }
}

TEST(WaveReader, BadFilesFailToOpen)
{
    const _bytes fmt = _chunk("fmt ", _fmt(1, 1, 44100, 16));
    const _bytes data = _chunk("data", _ramp(16));
    _bytes truncatedFmt = _riff({fmt, data});
    truncatedFmt.resize(12 + 8 + 10);
    struct _case {
        const char *name;
        _bytes file;
    } cases[] = {
        {"empty file", {}},
        {"shorter than a header", {'R', 'I', 'F'}},
        {"not RIFF", _chunk("RIFX", _bytes{'W', 'A', 'V', 'E'})},
        {"RIFF but not WAVE", _riff({fmt, data}, "AVI ")},
        {"no format chunk", _riff({data})},
        {"format shorter than 16", _riff({_chunk("fmt ", _ramp(14)), data})},
        {"format cut by the end of file", truncatedFmt},
        {"extra count past the chunk", _riff({_chunk("fmt ", _fmt(0x11, 1, 22050, 4, {40, 0, 1, 2})), data})},
        {"skipped chunk with a huge size", _riff({_chunk("JUNK", _ramp(4), 0xFFFFFFF0u), fmt, data})},
        {"format only inside a LIST", _riff({_chunk("LIST", [&] {
                                               _bytes l{'I', 'N', 'F', 'O'};
                                               l.insert(l.end(), fmt.begin(), fmt.end());
                                               return l;
                                           }()),
                                           data})},
    };
    for (const auto &c : cases) {
        _opened w(_write(c.file));
        EXPECT_EQ(w.hr, WAVE_E_FAIL) << c.name;
        EXPECT_EQ(w.in, nullptr) << c.name;
        EXPECT_EQ(w.wfx, nullptr) << c.name;
    }
    _mmioIn *in = reinterpret_cast<_mmioIn *>(1);
    _waveFormatEx *wfx = reinterpret_cast<_waveFormatEx *>(1);
    _mmckInfo riff{};
    EXPECT_EQ(_waveOpenFile((_scratch() / "missing.wav").string().c_str(), &in, &wfx, &riff), WAVE_E_FAIL);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(wfx, nullptr);
}

TEST(WaveReader, DataChunkProblemsFailTheSeek)
{
    const _bytes fmt = _chunk("fmt ", _fmt(1, 1, 44100, 16));
    _bytes truncated = _riff({fmt, _chunk("data", _ramp(100))});
    truncated.resize(truncated.size() - 30);
    struct _case {
        const char *name;
        _bytes file;
        long hr;
        uint32_t size;
    } cases[] = {
        {"no data chunk", _riff({fmt, _chunk("LIST", _ramp(6))}), WAVE_E_FAIL, 0},
        {"data claims more than the file", truncated, WAVE_E_FAIL, 0},
        {"empty data", _riff({fmt, _chunk("data", {})}), 0, 0},
        // The RIFF size may be wrong as long as the chunks themselves are whole.
        {"RIFF size past the end", _riff({fmt, _chunk("data", _ramp(10))}, "WAVE", 1000000), 0, 10},
    };
    for (const auto &c : cases) {
        _opened w(_write(c.file));
        ASSERT_EQ(w.hr, 0) << c.name;
        _mmckInfo ck{};
        EXPECT_EQ(_waveStartDataRead(&w.in, &ck, &w.riff), c.hr) << c.name;
        if (c.hr == 0) {
            EXPECT_EQ(ck.cksize, c.size) << c.name;
        }
    }
}

TEST(WaveReader, ReadFailsWhenTheBytesAreGone)
{
    // The handle stays usable only for what the file holds: a read past its end reports 0.
    _opened w(_write(_riff({_chunk("fmt ", _fmt(1, 1, 44100, 16)), _chunk("data", _ramp(20))})));
    ASSERT_EQ(w.hr, 0);
    _mmckInfo ck{};
    ASSERT_EQ(_waveStartDataRead(&w.in, &ck, &w.riff), 0);
    ck.cksize = 1000; // as if the chunk were larger than it is
    uint8_t buf[64];
    uint32_t n = 5;
    EXPECT_EQ(_waveReadFile(w.in, sizeof buf, buf, &ck, &n), WAVE_E_FAIL);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(_waveReadFile(nullptr, sizeof buf, buf, &ck, &n), WAVE_E_FAIL);
}

TEST(WaveReader, CloseNullsTheHandle)
{
    _opened w(_write(_riff({_chunk("fmt ", _fmt(1, 1, 44100, 16)), _chunk("data", _ramp(2))})));
    ASSERT_EQ(w.hr, 0);
    EXPECT_EQ(_waveCloseFile(&w.in), 0);
    EXPECT_EQ(w.in, nullptr);
    EXPECT_EQ(_waveCloseFile(&w.in), 0);
    _mmckInfo ck{};
    EXPECT_EQ(_waveStartDataRead(&w.in, &ck, &w.riff), WAVE_E_FAIL);
}

// Files written by another program: sox's PCM and IMA ADPCM WAVE files, with their data
// checked against sox's own raw output.
TEST(WaveReader, FilesWrittenBySox)
{
    const std::string sox = sTestSox();
    ASSERT_TRUE(sTestRuns(sox + " --version")) << "the reference program is missing: " << sox;
    fs::path dir = _scratch();
    struct _case {
        const char *args;
        uint16_t tag, channels, bits, cbSize;
    } cases[] = {
        {"-r 22050 -c 2 -b 16", 1, 2, 16, 0},
        {"-r 11025 -c 1 -b 8", 1, 1, 8, 0},
        {"-r 22050 -c 1 -e ima-adpcm", 0x11, 1, 4, 2},
    };
    for (const auto &c : cases) {
        std::string wav = (dir / "sox.wav").string(), raw = (dir / "sox.raw").string();
        std::string cmd = sox + " -n " + c.args + " '" + wav + "' synth 0.3 sine 300-900 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << c.args;
        _opened w(wav);
        ASSERT_EQ(w.hr, 0) << c.args;
        EXPECT_EQ(w.wfx->wFormatTag, c.tag) << c.args;
        EXPECT_EQ(w.wfx->nChannels, c.channels) << c.args;
        EXPECT_EQ(w.wfx->wBitsPerSample, c.bits) << c.args;
        EXPECT_EQ(w.wfx->cbSize, c.cbSize) << c.args;
        _mmckInfo ck{};
        ASSERT_EQ(_waveStartDataRead(&w.in, &ck, &w.riff), 0) << c.args;
        _bytes got(ck.cksize);
        uint32_t n = 0;
        ASSERT_EQ(_waveReadFile(w.in, ck.cksize, got.data(), &ck, &n), 0);
        EXPECT_EQ(n, got.size());
        if (c.tag == 1) {
            // The PCM bytes are exactly what sox gives as a raw stream.
            cmd = sox + " '" + wav + "' -t raw '" + raw + "' 2>/dev/null";
            ASSERT_EQ(std::system(cmd.c_str()), 0);
            std::ifstream f(raw, std::ios::binary);
            _bytes expect((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
            EXPECT_EQ(got, expect) << c.args;
        }
    }
    fs::remove_all(dir);
}
