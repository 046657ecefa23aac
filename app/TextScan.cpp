// Byte-scanning kernels of the text search (plain, SSE2 and AVX2 forms).
#include "app/TextScan.h"

#include <immintrin.h>

// Windows gives 32-bit code only a 4-byte aligned stack; the vector forms realign their own
// frame (force_align_arg_pointer) so that spilled vector registers stay aligned.
#define VM_SSE2 __attribute__((target("sse2"), force_align_arg_pointer))
#define VM_AVX2 __attribute__((target("avx2"), force_align_arg_pointer))

namespace {

const size_t kNone = (size_t)-1;

inline bool ProbeHit(unsigned char c, TextProbe p) { return (unsigned char)(c | p.orMask) == p.value; }

int DetectLevel()
{
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return 2;
    if (__builtin_cpu_supports("sse2"))
        return 1;
    return 0;
}

int MaxLevel()
{
    static const int level = DetectLevel();
    return level;
}

// -1 until first use: then the detected level (or the tests' limit).
volatile int g_level = -1;

inline int Level()
{
    int level = g_level;
    if (level < 0)
        g_level = level = MaxLevel();
    return level;
}

// ---- plain forms ----

size_t FindPairPlain(const unsigned char* buf, size_t p, size_t last, size_t offA, TextProbe a,
                     size_t offB, TextProbe b)
{
    for (; p <= last; p++)
        if (ProbeHit(buf[p + offA], a) && ProbeHit(buf[p + offB], b))
            return p;
    return kNone;
}

size_t CountPlain(const unsigned char* buf, size_t i, size_t to, size_t len)
{
    size_t n = 0;
    for (; i < to; i++) {
        if (buf[i] == '\n')
            n++;
        else if (buf[i] == '\r' && (i + 1 >= len || buf[i + 1] != '\n'))
            n++;
    }
    return n;
}

size_t FindEndPlain(const unsigned char* buf, size_t i, size_t to)
{
    for (; i < to; i++)
        if (buf[i] == '\n' || buf[i] == '\r')
            return i;
    return to;
}

size_t FindLastEndPlain(const unsigned char* buf, size_t from, size_t i)
{
    while (i > from) {
        i--;
        if (buf[i] == '\n' || buf[i] == '\r')
            return i;
    }
    return kNone;
}

// ---- SSE2 ----

VM_SSE2 size_t FindPairSse2(const unsigned char* buf, size_t p, size_t last, size_t offA,
                            TextProbe a, size_t offB, TextProbe b)
{
    const __m128i va = _mm_set1_epi8((char)a.value), oa = _mm_set1_epi8((char)a.orMask);
    const __m128i vb = _mm_set1_epi8((char)b.value), ob = _mm_set1_epi8((char)b.orMask);
    while (p <= last && last - p >= 31) {
        const unsigned char* q = buf + p;
        __m128i m0 = _mm_and_si128(
            _mm_cmpeq_epi8(_mm_or_si128(_mm_loadu_si128((const __m128i*)(q + offA)), oa), va),
            _mm_cmpeq_epi8(_mm_or_si128(_mm_loadu_si128((const __m128i*)(q + offB)), ob), vb));
        __m128i m1 = _mm_and_si128(
            _mm_cmpeq_epi8(_mm_or_si128(_mm_loadu_si128((const __m128i*)(q + 16 + offA)), oa), va),
            _mm_cmpeq_epi8(_mm_or_si128(_mm_loadu_si128((const __m128i*)(q + 16 + offB)), ob), vb));
        unsigned m = (unsigned)_mm_movemask_epi8(m0) | ((unsigned)_mm_movemask_epi8(m1) << 16);
        if (m)
            return p + __builtin_ctz(m);
        p += 32;
    }
    while (p <= last && last - p >= 15) {
        const unsigned char* q = buf + p;
        __m128i m0 = _mm_and_si128(
            _mm_cmpeq_epi8(_mm_or_si128(_mm_loadu_si128((const __m128i*)(q + offA)), oa), va),
            _mm_cmpeq_epi8(_mm_or_si128(_mm_loadu_si128((const __m128i*)(q + offB)), ob), vb));
        unsigned m = (unsigned)_mm_movemask_epi8(m0);
        if (m)
            return p + __builtin_ctz(m);
        p += 16;
    }
    return p <= last ? FindPairPlain(buf, p, last, offA, a, offB, b) : kNone;
}

VM_SSE2 size_t CountSse2(const unsigned char* buf, size_t i, size_t to, size_t len)
{
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), zero = _mm_setzero_si128();
    size_t total = 0;
    // A block at i needs buf[i + 16] for the CR LF test: i + 17 <= len.
    while (i + 16 <= to && i + 17 <= len) {
        __m128i acc = zero;
        for (int k = 0; k < 255 && i + 16 <= to && i + 17 <= len; k++, i += 16) {
            __m128i v = _mm_loadu_si128((const __m128i*)(buf + i));
            __m128i next = _mm_loadu_si128((const __m128i*)(buf + i + 1));
            __m128i isCr = _mm_cmpeq_epi8(v, cr);
            acc = _mm_sub_epi8(acc, _mm_cmpeq_epi8(v, lf));
            acc = _mm_sub_epi8(acc, _mm_andnot_si128(_mm_cmpeq_epi8(next, lf), isCr));
        }
        __m128i s = _mm_sad_epu8(acc, zero);
        total += (size_t)_mm_cvtsi128_si32(s) + (size_t)_mm_extract_epi16(s, 4);
    }
    return total + CountPlain(buf, i, to, len);
}

VM_SSE2 size_t FindEndSse2(const unsigned char* buf, size_t i, size_t to)
{
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    for (; i + 16 <= to; i += 16) {
        __m128i v = _mm_loadu_si128((const __m128i*)(buf + i));
        unsigned m = (unsigned)_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)));
        if (m)
            return i + __builtin_ctz(m);
    }
    return FindEndPlain(buf, i, to);
}

VM_SSE2 size_t FindLastEndSse2(const unsigned char* buf, size_t from, size_t i)
{
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    for (; i >= from + 16; i -= 16) {
        __m128i v = _mm_loadu_si128((const __m128i*)(buf + i - 16));
        unsigned m = (unsigned)_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)));
        if (m)
            return i - 16 + (31 - __builtin_clz(m));
    }
    return FindLastEndPlain(buf, from, i);
}

// ---- AVX2 ----

VM_AVX2 size_t FindPairAvx2(const unsigned char* buf, size_t p, size_t last, size_t offA,
                            TextProbe a, size_t offB, TextProbe b)
{
    const __m256i va = _mm256_set1_epi8((char)a.value), oa = _mm256_set1_epi8((char)a.orMask);
    const __m256i vb = _mm256_set1_epi8((char)b.value), ob = _mm256_set1_epi8((char)b.orMask);
    while (p <= last && last - p >= 63) {
        const unsigned char* q = buf + p;
        __m256i m0 = _mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_or_si256(_mm256_loadu_si256((const __m256i*)(q + offA)), oa), va),
            _mm256_cmpeq_epi8(_mm256_or_si256(_mm256_loadu_si256((const __m256i*)(q + offB)), ob), vb));
        __m256i m1 = _mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_or_si256(_mm256_loadu_si256((const __m256i*)(q + 32 + offA)), oa), va),
            _mm256_cmpeq_epi8(_mm256_or_si256(_mm256_loadu_si256((const __m256i*)(q + 32 + offB)), ob), vb));
        if (!_mm256_testz_si256(_mm256_or_si256(m0, m1), _mm256_or_si256(m0, m1))) {
            unsigned lo = (unsigned)_mm256_movemask_epi8(m0);
            if (lo)
                return p + __builtin_ctz(lo);
            return p + 32 + __builtin_ctz((unsigned)_mm256_movemask_epi8(m1));
        }
        p += 64;
    }
    while (p <= last && last - p >= 31) {
        const unsigned char* q = buf + p;
        __m256i m0 = _mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_or_si256(_mm256_loadu_si256((const __m256i*)(q + offA)), oa), va),
            _mm256_cmpeq_epi8(_mm256_or_si256(_mm256_loadu_si256((const __m256i*)(q + offB)), ob), vb));
        unsigned m = (unsigned)_mm256_movemask_epi8(m0);
        if (m)
            return p + __builtin_ctz(m);
        p += 32;
    }
    return p <= last ? FindPairPlain(buf, p, last, offA, a, offB, b) : kNone;
}

VM_AVX2 size_t CountAvx2(const unsigned char* buf, size_t i, size_t to, size_t len)
{
    const __m256i lf = _mm256_set1_epi8('\n'), cr = _mm256_set1_epi8('\r'), zero = _mm256_setzero_si256();
    size_t total = 0;
    while (i + 32 <= to && i + 33 <= len) {
        __m256i acc = zero;
        for (int k = 0; k < 255 && i + 32 <= to && i + 33 <= len; k++, i += 32) {
            __m256i v = _mm256_loadu_si256((const __m256i*)(buf + i));
            __m256i next = _mm256_loadu_si256((const __m256i*)(buf + i + 1));
            __m256i isCr = _mm256_cmpeq_epi8(v, cr);
            acc = _mm256_sub_epi8(acc, _mm256_cmpeq_epi8(v, lf));
            acc = _mm256_sub_epi8(acc, _mm256_andnot_si256(_mm256_cmpeq_epi8(next, lf), isCr));
        }
        __m256i s = _mm256_sad_epu8(acc, zero);
        __m128i t = _mm_add_epi64(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1));
        total += (size_t)_mm_cvtsi128_si32(t) + (size_t)_mm_extract_epi16(t, 4);
    }
    return total + CountPlain(buf, i, to, len);
}

VM_AVX2 size_t FindEndAvx2(const unsigned char* buf, size_t i, size_t to)
{
    const __m256i lf = _mm256_set1_epi8('\n'), cr = _mm256_set1_epi8('\r');
    for (; i + 32 <= to; i += 32) {
        __m256i v = _mm256_loadu_si256((const __m256i*)(buf + i));
        unsigned m = (unsigned)_mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, lf), _mm256_cmpeq_epi8(v, cr)));
        if (m)
            return i + __builtin_ctz(m);
    }
    return FindEndPlain(buf, i, to);
}

VM_AVX2 size_t FindLastEndAvx2(const unsigned char* buf, size_t from, size_t i)
{
    const __m256i lf = _mm256_set1_epi8('\n'), cr = _mm256_set1_epi8('\r');
    for (; i >= from + 32; i -= 32) {
        __m256i v = _mm256_loadu_si256((const __m256i*)(buf + i - 32));
        unsigned m = (unsigned)_mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, lf), _mm256_cmpeq_epi8(v, cr)));
        if (m)
            return i - 32 + (31 - __builtin_clz(m));
    }
    return FindLastEndPlain(buf, from, i);
}

} // namespace

size_t TextScanFindPair(const unsigned char* buf, size_t from, size_t last, size_t offA,
                        TextProbe a, size_t offB, TextProbe b)
{
    if (from > last)
        return kNone;
    switch (Level()) {
    case 2: return FindPairAvx2(buf, from, last, offA, a, offB, b);
    case 1: return FindPairSse2(buf, from, last, offA, a, offB, b);
    default: return FindPairPlain(buf, from, last, offA, a, offB, b);
    }
}

size_t TextScanCountLineEnds(const unsigned char* buf, size_t from, size_t to, size_t len)
{
    if (from >= to)
        return 0;
    switch (Level()) {
    case 2: return CountAvx2(buf, from, to, len);
    case 1: return CountSse2(buf, from, to, len);
    default: return CountPlain(buf, from, to, len);
    }
}

size_t TextScanFindLineEnd(const unsigned char* buf, size_t from, size_t to)
{
    if (from >= to)
        return to;
    switch (Level()) {
    case 2: return FindEndAvx2(buf, from, to);
    case 1: return FindEndSse2(buf, from, to);
    default: return FindEndPlain(buf, from, to);
    }
}

size_t TextScanFindLastLineEnd(const unsigned char* buf, size_t from, size_t to)
{
    if (from >= to)
        return kNone;
    switch (Level()) {
    case 2: return FindLastEndAvx2(buf, from, to);
    case 1: return FindLastEndSse2(buf, from, to);
    default: return FindLastEndPlain(buf, from, to);
    }
}

int TextScanLevel()
{
    return Level();
}

int TextScanSetLevel(int level)
{
    int max = MaxLevel();
    g_level = level < 0 ? 0 : (level > max ? max : level);
    return g_level;
}
