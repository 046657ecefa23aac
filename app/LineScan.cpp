#include "app/LineScan.h"

#include <windows.h>

#include <emmintrin.h>

#include "app/TextScan.h"

namespace {

bool HasSse2()
{
    static const bool has = IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != 0;
    return has;
}

__attribute__((target("sse2"))) const char* Scan4(const char* p, const char* end, char a, char b, char c, char d)
{
    const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c), vd = _mm_set1_epi8(d);
    for (; end - p >= 16; p += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)),
                                   _mm_or_si128(_mm_cmpeq_epi8(v, vc), _mm_cmpeq_epi8(v, vd)));
        int bits = _mm_movemask_epi8(hit);
        if (bits)
            return p + __builtin_ctz(unsigned(bits));
    }
    return p;
}

// PassLineEnds over whole 16-byte pieces (and the byte after each, for a CR's pair): stops
// where the want-th line end is passed or fewer than 17 bytes are left.
__attribute__((target("sse2"))) const char* Pass16(const char* p, const char* end, long long want, long long* passed)
{
    const __m128i vcr = _mm_set1_epi8('\r'), vlf = _mm_set1_epi8('\n');
    long long n = *passed;
    while (n < want && end - p >= 17) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        unsigned cr = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, vcr)));
        unsigned lf = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, vlf)));
        // Each line end marked at its last byte: a LF, or a CR that no LF follows.
        unsigned lfNext = (lf >> 1) | (p[16] == '\n' ? 0x8000u : 0u);
        unsigned ends = lf | (cr & ~lfNext);
        int k = __builtin_popcount(ends);
        if (n + k < want) {
            n += k;
            p += 16;
            continue;
        }
        for (;; ends &= ends - 1)
            if (++n == want) {
                *passed = n;
                return p + __builtin_ctz(ends) + 1;
            }
    }
    *passed = n;
    return p;
}

}  // namespace

const char* PassLineEnds(const char* p, const char* end, long long want, long long* passed)
{
    long long n = 0;
    *passed = 0;
    if (HasSse2()) {
        p = Pass16(p, end, want, passed);
        n = *passed;
    }
    while (n < want && p < end) {
        const char* q = ScanLineEnd(p, end);
        if (q == end || (*q == '\r' && q + 1 == end)) {
            p = q;
            break;
        }
        p = q + 1 + (*q == '\r' && q[1] == '\n');
        ++n;
    }
    *passed = n;
    return p;
}

const char* ScanLineEnd(const char* p, const char* end)
{
    if (p >= end)
        return end;
    const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
    return p + TextScanFindLineEnd(u, 0, size_t(end - p));
}

const char* ScanLineEndOrTab(const char* p, const char* end, bool blanks)
{
    const char blank = blanks ? ' ' : '\t';
    if (HasSse2())
        p = Scan4(p, end, '\r', '\n', '\t', blank);
    while (p < end && *p != '\r' && *p != '\n' && *p != '\t' && *p != blank)
        ++p;
    return p;
}
