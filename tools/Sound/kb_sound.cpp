// kb_sound <Data folder> [--wav <folder>] [--only <name>]
// Writes the music "Kss/00.kss" ... "06.kss" (stereo streams) and the effects "Kss/s00.kss" ...
// "s09.kss" (mono) into the Data folder, and logs each file's length and its signal-to-noise ratio
// per channel after the ADPCM round trip. --wav also writes the decoded sound as WAVE files to
// listen to; --only builds the one file of that name (for example "03" or "s05").

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "AdpcmEncoder.h"
#include "Music.h"
#include "ToolArgs.h"

namespace fs = std::filesystem;

static bool _writeFile(const fs::path &aPath, const void *aDataP, size_t aSize)
{
    FILE *fp = std::fopen(aPath.string().c_str(), "wb");
    if (!fp)
        return false;
    bool ok = std::fwrite(aDataP, 1, aSize, fp) == aSize;
    return std::fclose(fp) == 0 && ok;
}

static void _put32(std::vector<uint8_t> &aOut, uint32_t aV)
{
    for (int i = 0; i < 4; i++)
        aOut.push_back((uint8_t)(aV >> (8 * i)));
}

static bool _writeWav(const fs::path &aPath, const std::vector<int16_t> &aPcm, int aChannels)
{
    std::vector<uint8_t> f;
    uint32_t data = (uint32_t)(aPcm.size() * 2);
    f.insert(f.end(), {'R', 'I', 'F', 'F'});
    _put32(f, 36 + data);
    f.insert(f.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    _put32(f, 16);
    _put32(f, 1 | (aChannels << 16));
    _put32(f, 44100);
    _put32(f, 44100 * 2 * aChannels);
    _put32(f, (2 * aChannels) | (16 << 16));
    f.insert(f.end(), {'d', 'a', 't', 'a'});
    _put32(f, data);
    const uint8_t *p = reinterpret_cast<const uint8_t *>(aPcm.data());
    f.insert(f.end(), p, p + data);
    return _writeFile(aPath, f.data(), f.size());
}

// Encodes, writes and checks one file; the stream starts from the decoder's zero state.
static bool _emit(const fs::path &aDir, const char *aName, const std::vector<int16_t> &aPcm, int aChannels,
                  const char *aTitle, double aSeconds, const fs::path &aWavDir)
{
    std::vector<uint8_t> code(aPcm.size() / 2);
    _adpcmState enc{0, 0};
    sAdpcmEncoder(aPcm.data(), code.data(), (long)(code.size() * 2), &enc);
    std::vector<int16_t> back(code.size() * 2);
    _adpcmState dec{0, 0};
    sAdpcmDecoder(code.data(), back.data(), (long)back.size(), &dec);

    // What the program relies on: a stream holds at least one five-second half of the ring, and
    // it ends in the zero state it starts from, so that a loop joins without a click.
    if (aChannels == 2 && (code.size() < 220500 || dec.prevVal != 0 || dec.index != 0)) {
        std::fprintf(stderr, "kb_sound: %s is shorter than 5 s or does not end in silence\n", aName);
        return false;
    }
    if (code.empty()) {
        std::fprintf(stderr, "kb_sound: %s is empty\n", aName);
        return false;
    }
    fs::path out = aDir / (std::string(aName) + ".kss");
    if (!_writeFile(out, code.data(), code.size())) {
        std::fprintf(stderr, "kb_sound: cannot write %s\n", out.string().c_str());
        return false;
    }
    double len = (double)back.size() / aChannels / 44100.0;
    if (aChannels == 2)
        std::printf("%-4s %8zu bytes %6.1f s  SNR L %5.2f dB R %5.2f dB  end state (%d,%d)  %.2f s  %s\n", aName,
                    code.size(), len, sAdpcmSnr(aPcm.data(), back.data(), (long)back.size(), 0, 2),
                    sAdpcmSnr(aPcm.data(), back.data(), (long)back.size(), 1, 2), dec.prevVal, dec.index, aSeconds,
                    aTitle);
    else
        std::printf("%-4s %8zu bytes %6.2f s  SNR %5.2f dB  %.2f s  %s\n", aName, code.size(), len,
                    sAdpcmSnr(aPcm.data(), back.data(), (long)back.size(), 0, 1), aSeconds, aTitle);
    if (!aWavDir.empty())
        _writeWav(aWavDir / (std::string(aName) + ".wav"), back, aChannels);
    return true;
}

static const char _usage[] = "usage: kb_sound <Data folder> [--wav <folder>] [--only <name>]\n";

int main(int argc, char **argv)
{
    const int common = sToolArgsCommon(argc, argv, "kb_sound", _usage);
    if (common >= 0)
        return common;
    if (argc < 2)
        return sToolArgsUsage(_usage);
    fs::path wavDir;
    std::string only;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--wav") == 0)
            wavDir = argv[i + 1];
        else if (std::strcmp(argv[i], "--only") == 0)
            only = argv[i + 1];
    }
    fs::path dir = fs::path(argv[1]) / "Kss";
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!wavDir.empty())
        fs::create_directories(wavDir, ec);
    if (!fs::is_directory(dir)) {
        std::fprintf(stderr, "kb_sound: cannot create %s\n", dir.string().c_str());
        return 1;
    }

    bool ok = true;
    for (int n = 0; n < MUSIC_NUM; n++) {
        char name[8];
        std::snprintf(name, sizeof name, "%02d", n);
        if (!only.empty() && only != name)
            continue;
        auto t0 = std::chrono::steady_clock::now();
        _seqSong song;
        int bad = seqBadTokens;
        sMusicSong(n, song);
        if (seqBadTokens != bad) {
            std::fprintf(stderr, "kb_sound: the score of %s has %d unreadable notes or chords\n", name,
                         seqBadTokens - bad);
            ok = false;
            continue;
        }
        std::vector<int16_t> pcm;
        sSeqRender(song, pcm);
        double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ok = _emit(dir, name, pcm, 2, sMusicTitle(n), secs, wavDir) && ok;
    }
    for (int n = 0; n < EFFECT_NUM; n++) {
        char name[8];
        std::snprintf(name, sizeof name, "s%02d", n);
        if (!only.empty() && only != name)
            continue;
        auto t0 = std::chrono::steady_clock::now();
        std::vector<int16_t> pcm;
        sMusicEffect(n, pcm);
        double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ok = _emit(dir, name, pcm, 1, sMusicEffectTitle(n), secs, wavDir) && ok;
    }
    return ok ? 0 : 1;
}
