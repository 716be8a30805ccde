#include "KbSlide.h"

#include <algorithm>

const kbSlideLevel kbSlideFast = {8, 4, 4, 16, false};
const kbSlideLevel kbSlideLazy = {4096, 258, 258, 258, false};
const kbSlideLevel kbSlideDefault = {4096, 258, 258, 258, true};

static const uint32_t _distMax = 16383;
static const uint32_t _lenMin = 3;
static const uint32_t _lenMax = 258;
static const int _hashBits = 16;

void kbBitWriter::Put(uint32_t aValue, int aBits)
{
    for (int i = aBits - 1; i >= 0; i--) {
        _word = _word << 1 | ((aValue >> i) & 1);
        if (++_used == 16) {
            kbPut16(_out, _word);
            _word = 0;
            _used = 0;
        }
    }
}

void kbBitWriter::Flush()
{
    if (_used > 0)
        Put(0, 16 - _used);
}

static int _log2(uint32_t aValue)
{
    int n = -1;
    while (aValue) {
        aValue >>= 1;
        n++;
    }
    return n;
}

void kbSlideDistanceCode(uint32_t aDistance, uint32_t *aCodeP, uint32_t *aExtraBitsP, uint32_t *aExtraP)
{
    uint32_t v = aDistance - 1;
    if (v < 4) {
        *aCodeP = v;
        *aExtraBitsP = 0;
        *aExtraP = 0;
        return;
    }
    uint32_t n = _log2(v) - 1;
    uint32_t c = 2 * n + 2 + ((v >> n) & 1);
    *aCodeP = c;
    *aExtraBitsP = n;
    *aExtraP = v - (((c & 1) | 2) << n);
}

void kbSlideLengthCode(uint32_t aLength, uint32_t *aCodeP, uint32_t *aExtraBitsP, uint32_t *aExtraP)
{
    uint32_t v = aLength - 3;
    if (v < 8) {
        *aCodeP = v;
        *aExtraBitsP = 0;
        *aExtraP = 0;
        return;
    }
    uint32_t n = _log2(v) - 2;
    uint32_t c = 4 * n + 4 + ((v >> n) & 3);
    *aCodeP = c;
    *aExtraBitsP = n;
    *aExtraP = v - (((c & 3) | 4) << n);
}

static void _putLiteral(kbBitWriter &aBits, uint8_t aByte)
{
    aBits.Put(aByte, 9);  // flag 0, then the byte
}

static void _putMatch(kbBitWriter &aBits, uint32_t aDistance, uint32_t aLength)
{
    uint32_t code, extraBits, extra;
    aBits.Put(1, 1);
    kbSlideDistanceCode(aDistance, &code, &extraBits, &extra);
    aBits.Put(code, 5);
    aBits.Put(extra, extraBits);
    kbSlideLengthCode(aLength, &code, &extraBits, &extra);
    aBits.Put(code, 5);
    aBits.Put(extra, extraBits);
}

namespace {

// Hash chains over the whole input: head holds the latest position of each 3-byte hash, prev
// links every position to the previous one with the same hash.
class _matchFinder {
public:
    _matchFinder(const uint8_t *aDataP, size_t aSize)
        : _dataP(aDataP), _size(aSize), _head(size_t(1) << _hashBits, -1), _prev(aSize, -1)
    {
    }

    void Insert(size_t aPos)
    {
        if (aPos + _lenMin > _size)
            return;
        uint32_t h = _hash(aPos);
        _prev[aPos] = _head[h];
        _head[h] = (int32_t)aPos;
    }

    // Longest match at aPos (nearest of equal length) among at most aChain candidates.
    uint32_t Find(size_t aPos, int aChain, uint32_t aNice, uint32_t *aDistanceP) const
    {
        uint32_t best = 0;
        if (aPos + _lenMin > _size)
            return 0;
        uint32_t limit = (uint32_t)std::min<size_t>(_lenMax, _size - aPos);
        const uint8_t *curP = _dataP + aPos;
        for (int32_t cand = _head[_hash(aPos)]; cand >= 0 && aChain-- > 0; cand = _prev[cand]) {
            if ((size_t)cand >= aPos)
                continue;
            uint32_t distance = (uint32_t)(aPos - cand);
            if (distance > _distMax)
                break;
            const uint8_t *candP = _dataP + cand;
            if (candP[best] != curP[best] || candP[0] != curP[0])
                continue;
            uint32_t len = 0;
            while (len < limit && candP[len] == curP[len])
                len++;
            if (len > best) {
                best = len;
                *aDistanceP = distance;
                if (len >= aNice || len == limit)
                    break;
            }
        }
        return best >= _lenMin ? best : 0;
    }

    // Every match at aPos that is longer than all nearer ones: lengths rising, distances rising.
    void FindAll(size_t aPos, int aChain, uint32_t aNice, std::vector<std::pair<uint32_t, uint32_t>> *aOutP) const
    {
        aOutP->clear();
        if (aPos + _lenMin > _size)
            return;
        uint32_t best = _lenMin - 1;
        uint32_t limit = (uint32_t)std::min<size_t>(_lenMax, _size - aPos);
        const uint8_t *curP = _dataP + aPos;
        for (int32_t cand = _head[_hash(aPos)]; cand >= 0 && aChain-- > 0; cand = _prev[cand]) {
            uint32_t distance = (uint32_t)(aPos - cand);
            if (distance > _distMax)
                break;
            const uint8_t *candP = _dataP + cand;
            if (candP[best] != curP[best])
                continue;
            uint32_t len = 0;
            while (len < limit && candP[len] == curP[len])
                len++;
            if (len > best) {
                best = len;
                aOutP->push_back({len, distance});
                if (len >= aNice || len == limit)
                    break;
            }
        }
    }

private:
    uint32_t _hash(size_t aPos) const
    {
        uint32_t v = (uint32_t)_dataP[aPos] | (uint32_t)_dataP[aPos + 1] << 8 | (uint32_t)_dataP[aPos + 2] << 16;
        return (v * 2654435761u) >> (32 - _hashBits);
    }

    const uint8_t *_dataP;
    size_t _size;
    std::vector<int32_t> _head;
    std::vector<int32_t> _prev;
};

}  // namespace

// The parse of fewest bits: every position is reached by a literal (9 bits) or by any length of
// any match found there, each at its exact cost.
static kbBytes _encodeOptimal(const uint8_t *aDataP, size_t aSize, const kbSlideLevel &aLevel)
{
    const uint32_t never = 0xFFFFFFFF;
    std::vector<uint32_t> cost(aSize + 1, never);
    std::vector<uint16_t> stepLen(aSize + 1, 0);
    std::vector<uint16_t> stepDist(aSize + 1, 0);
    uint32_t lenBits[_lenMax + 1] = {};
    for (uint32_t l = _lenMin; l <= _lenMax; l++) {
        uint32_t code, extra;
        kbSlideLengthCode(l, &code, &lenBits[l], &extra);
    }
    _matchFinder finder(aDataP, aSize);
    std::vector<std::pair<uint32_t, uint32_t>> matches;
    cost[0] = 0;
    for (size_t i = 0; i < aSize; i++) {
        if (cost[i] + 9 < cost[i + 1]) {
            cost[i + 1] = cost[i] + 9;
            stepLen[i + 1] = 1;
        }
        finder.FindAll(i, aLevel.chainMax, (uint32_t)aLevel.niceLen, &matches);
        finder.Insert(i);
        uint32_t from = _lenMin;
        for (const auto &m : matches) {
            uint32_t code, distBits, extra;
            kbSlideDistanceCode(m.second, &code, &distBits, &extra);
            for (uint32_t l = from; l <= m.first; l++) {
                uint32_t c = cost[i] + 11 + distBits + lenBits[l];
                if (c < cost[i + l]) {
                    cost[i + l] = c;
                    stepLen[i + l] = (uint16_t)l;
                    stepDist[i + l] = (uint16_t)m.second;
                }
            }
            from = m.first + 1;
        }
    }
    // Walk back from the end, then write front to back.
    std::vector<size_t> ends;
    for (size_t p = aSize; p > 0; p -= stepLen[p])
        ends.push_back(p);
    kbBytes out;
    kbBitWriter bits(out);
    size_t pos = 0;
    for (size_t k = ends.size(); k-- > 0;) {
        size_t end = ends[k];
        if (stepLen[end] == 1)
            _putLiteral(bits, aDataP[pos]);
        else
            _putMatch(bits, stepDist[end], stepLen[end]);
        pos = end;
    }
    bits.Put(1, 1);
    bits.Put(31, 5);  // end code
    bits.Flush();
    return out;
}

kbBytes kbSlideEncode(const uint8_t *aDataP, size_t aSize, const kbSlideLevel &aLevel)
{
    if (aLevel.optimal)
        return _encodeOptimal(aDataP, aSize, aLevel);
    kbBytes out;
    kbBitWriter bits(out);
    _matchFinder finder(aDataP, aSize);
    size_t pos = 0;
    // Lazy matching: a match found at pos is held back while the next position offers a longer one.
    uint32_t prevLen = 0, prevDist = 0;
    bool havePrev = false;
    while (pos < aSize) {
        uint32_t dist = 0;
        uint32_t len = 0;
        if (!havePrev || prevLen < (uint32_t)aLevel.lazyMax) {
            int chain = aLevel.chainMax;
            if (havePrev && prevLen >= (uint32_t)aLevel.goodLen)
                chain >>= 2;
            len = finder.Find(pos, chain, (uint32_t)aLevel.niceLen, &dist);
        }
        finder.Insert(pos);
        if (havePrev) {
            if (len > prevLen) {
                // The match one byte later is longer: the held-back byte goes out as a literal.
                _putLiteral(bits, aDataP[pos - 1]);
                prevLen = len;
                prevDist = dist;
                pos++;
                continue;
            }
            _putMatch(bits, prevDist, prevLen);
            // pos - 1 .. pos - 1 + prevLen - 1 are covered; pos is already inserted.
            size_t end = pos - 1 + prevLen;
            for (size_t p = pos + 1; p < end; p++)
                finder.Insert(p);
            pos = end;
            havePrev = false;
            continue;
        }
        if (len == 0) {
            _putLiteral(bits, aDataP[pos]);
            pos++;
            continue;
        }
        if (len >= (uint32_t)aLevel.lazyMax) {
            _putMatch(bits, dist, len);
            for (size_t p = pos + 1; p < pos + len; p++)
                finder.Insert(p);
            pos += len;
            continue;
        }
        havePrev = true;
        prevLen = len;
        prevDist = dist;
        pos++;
    }
    if (havePrev)
        _putMatch(bits, prevDist, prevLen);
    bits.Put(1, 1);
    bits.Put(31, 5);  // end code
    bits.Flush();
    return out;
}

kbBytes kbRunLengthEncode(const uint8_t *aDataP, size_t aSize)
{
    kbBytes out;
    for (size_t i = 0; i < aSize;) {
        size_t n = 1;
        while (n < 255 && i + n < aSize && aDataP[i + n] == aDataP[i])
            n++;
        out.push_back((uint8_t)n);
        out.push_back(aDataP[i]);
        i += n;
    }
    return out;
}
