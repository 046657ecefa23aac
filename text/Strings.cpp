// Byte compares, bounded copies and finds.
#include "text/Match.h"
#include "text/CharClass.h"

#include <cstring>
#include <cwchar>

int MemCmpCase(const void* a, const void* b, size_t length, int fold)
{
    const unsigned char* p = static_cast<const unsigned char*>(a);
    const unsigned char* q = static_cast<const unsigned char*>(b);
    if (!fold) {
        int r = length ? std::memcmp(p, q, length) : 0;
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
    for (size_t i = 0; i < length; ++i) {
        unsigned char x = AsciiToLower(p[i]), y = AsciiToLower(q[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

int MemCmpMasked(const void* text, const void* value, const void* mask, size_t count)
{
    const unsigned char* t = static_cast<const unsigned char*>(text);
    const unsigned char* v = static_cast<const unsigned char*>(value);
    const unsigned char* m = static_cast<const unsigned char*>(mask);
    for (size_t i = 0; i < count; ++i)
        if ((t[i] ^ v[i]) & m[i]) return 1;
    return 0;
}

int StrFindN(const char* text, const char* sub, int length, int subLength)
{
    if (!text || !sub || length < 0 || subLength < 0) return -1;
    if (subLength == 0) return 0;
    if (subLength > length) return -1;
    const char first = sub[0];
    const int last = length - subLength;
    for (int i = 0; i <= last; ++i) {
        const void* hit = std::memchr(text + i, first, (size_t)(last - i + 1));
        if (!hit) return -1;
        i = (int)(static_cast<const char*>(hit) - text);
        if (std::memcmp(text + i + 1, sub + 1, (size_t)(subLength - 1)) == 0) return i;
    }
    return -1;
}

int StrFindCharOrEnd(const char* text, int ch)
{
    if (!text) return 0;
    const char c = (char)ch;
    int i = 0;
    while (text[i] && text[i] != c) ++i;
    return i;
}

int StrFindCharEscN(const char* text, int ch, int length, int escape)
{
    if (!text) return -1;
    const char c = (char)ch, e = (char)escape;
    for (int i = 0; i < length; ++i) {
        if (text[i] == c) return i + 1;
        if (text[i] == e) ++i; // the escaped character is skipped
    }
    return -1;
}

template <class C>
static size_t LCpy(C* dst, const C* src, size_t size)
{
    if (!dst || size == 0) return 0;
    size_t n = 0;
    if (src)
        while (n + 1 < size && src[n]) { dst[n] = src[n]; ++n; }
    dst[n] = 0;
    return n;
}

template <class C>
static size_t LCat(C* dst, const C* src, size_t size)
{
    if (!dst || size == 0) return 0;
    size_t n = 0;
    while (n < size && dst[n]) ++n;
    if (n == size) { dst[size - 1] = 0; return size - 1; }
    return n + LCpy(dst + n, src, size - n);
}

size_t StrLCpy(char* dst, const char* src, size_t size) { return LCpy(dst, src, size); }
size_t StrLCpyW(wchar_t* dst, const wchar_t* src, size_t size) { return LCpy(dst, src, size); }
size_t StrLCat(char* dst, const char* src, size_t size) { return LCat(dst, src, size); }
size_t StrLCatW(wchar_t* dst, const wchar_t* src, size_t size) { return LCat(dst, src, size); }
