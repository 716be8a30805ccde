#include "AdpcmEncoder.h"

#include <cmath>

namespace {

// The decoder's arithmetic for every (index, code): the signed change and the next index.
struct _encodeTbl {
    int32_t diff[ADPCM_STEP_NUM][16];
    uint8_t next[ADPCM_STEP_NUM][16];
    _encodeTbl()
    {
        for (int index = 0; index < ADPCM_STEP_NUM; index++) {
            int step = adpcmStepsizeTable[index];
            for (int code = 0; code < 16; code++) {
                int d = step >> 3;
                if (code & 4)
                    d += step;
                if (code & 2)
                    d += step >> 1;
                if (code & 1)
                    d += step >> 2;
                int n = index + adpcmIndexTable[code];
                diff[index][code] = (code & 8) ? -d : d;
                next[index][code] = (uint8_t)(n < 0 ? 0 : (n > ADPCM_INDEX_MAX ? ADPCM_INDEX_MAX : n));
            }
        }
    }
};

const _encodeTbl &_tbl()
{
    static const _encodeTbl tbl;
    return tbl;
}

inline int32_t _clamp(int32_t aV)
{
    return aV > 32767 ? 32767 : (aV < -32768 ? -32768 : aV);
}

// Squared error of the best single code from (pred, index) toward aTarget.
inline uint32_t _bestErr(const _encodeTbl &aT, int32_t aPred, int aIndex, int32_t aTarget)
{
    uint32_t best = UINT32_MAX;
    const int32_t *diff = aT.diff[aIndex] + (aTarget >= aPred ? 0 : 8);
    for (int m = 0; m < 8; m++) {
        int32_t e = aTarget - _clamp(aPred + diff[m]);
        uint32_t e2 = (uint32_t)(e * (int64_t)e);
        if (e2 < best)
            best = e2;
    }
    return best;
}

} // namespace

// Each code is chosen from the decoder's own results, looking one sample ahead: a code that
// lands slightly off but leaves a step size fit for the next sample beats the nearest code.
void sAdpcmEncoder(const int16_t *aInP, uint8_t *aOutP, long aLen, _adpcmState *aStateP)
{
    const _encodeTbl &t = _tbl();
    int32_t pred = aStateP->prevVal;
    int index = aStateP->index < 0 ? 0 : (aStateP->index > ADPCM_INDEX_MAX ? ADPCM_INDEX_MAX : aStateP->index);
    for (long i = 0; i < aLen; i++) {
        int32_t x = aInP[i];
        // A code of the other sign never lands nearer than the same magnitude of this sign and
        // moves the step the same way, so only one sign is searched: the nearest code first,
        // then only codes whose own error leaves room to beat it one sample later.
        int base = x >= pred ? 0 : 8;
        const int32_t *diff = t.diff[index] + base;
        uint32_t err[8];
        int best = 0;
        for (int m = 0; m < 8; m++) {
            int32_t e = x - _clamp(pred + diff[m]);
            err[m] = (uint32_t)(e * (int64_t)e);
            if (err[m] < err[best])
                best = m;
        }
        if (i + 1 < aLen) {
            int32_t x1 = aInP[i + 1];
            const uint8_t *next = t.next[index] + base;
            auto ahead = [&](int aM) {
                return (uint64_t)err[aM] + _bestErr(t, _clamp(pred + diff[aM]), next[aM], x1);
            };
            uint64_t bestCost = ahead(best);
            for (int m = 0; m < 8; m++) {
                if (m == best || err[m] >= bestCost)
                    continue;
                uint64_t cost = ahead(m);
                if (cost < bestCost) {
                    bestCost = cost;
                    best = m;
                }
            }
        }
        int bestCode = base | best;
        pred = _clamp(pred + t.diff[index][bestCode]);
        index = t.next[index][bestCode];
        if ((i & 1) == 0)
            aOutP[i / 2] = (uint8_t)(bestCode << 4);
        else
            aOutP[i / 2] |= (uint8_t)bestCode;
    }
    aStateP->prevVal = (int16_t)pred;
    aStateP->index = (int8_t)index;
}

double sAdpcmSnr(const int16_t *aRefP, const int16_t *aDecodedP, long aLen, int aFirst, int aStride)
{
    double sig = 0, noise = 0;
    for (long i = aFirst; i < aLen; i += aStride) {
        double r = aRefP[i], e = r - aDecodedP[i];
        sig += r * r;
        noise += e * e;
    }
    if (noise == 0)
        return 200.0;
    if (sig == 0)
        return -200.0;
    return 10.0 * std::log10(sig / noise);
}
