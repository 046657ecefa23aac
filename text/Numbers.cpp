// Integer parsing and printing, hex dumps and value-search byte input.
#include "text/Numbers.h"

#include <climits>

#include <cstring>

namespace {

const char kHex[] = "0123456789ABCDEF";

int DigitValue(unsigned char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    return 99;
}

int HexNibble(unsigned char c)
{
    int v = DigitValue(c);
    return v < 16 ? v : -1;
}

bool IsSeparator(unsigned char c, unsigned flags)
{
    switch (flags & STI_SEP_MASK) {
    case STI_SEP_DOT: return c == '.';
    case STI_SEP_COMMA: return c == ',';
    case STI_SEP_MARK: return c == '_' || c == '\'';
    }
    return false;
}

} // namespace

int StrToInt(const char* text, unsigned flags, int* used)
{
    if (used) *used = 0;
    if (!text) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    int i = 0;
    if (!(flags & STI_NO_BLANKS))
        while (p[i] == ' ' || p[i] == '\t') ++i;
    bool neg = false;
    if (!(flags & STI_NO_SIGN) && p[i] == '-') { neg = true; ++i; }
    unsigned base = flags & STI_BASE_MASK;
    if (base == 1 || base > 36) base = 10;
    if (p[i] == '0') {
        unsigned char c = (unsigned char)(p[i + 1] | 0x20);
        unsigned prefixBase = c == 'x' ? 16 : c == 'o' ? 8 : c == 'b' ? 2 : c == 'd' ? 10 : 0;
        if (prefixBase && (base == 0 || base == prefixBase) && (unsigned)DigitValue(p[i + 2]) < prefixBase) {
            base = prefixBase;
            i += 2;
        }
    }
    if (base == 0) base = 10;
    unsigned long long v = 0;
    int digits = 0;
    for (;;) {
        unsigned d = (unsigned)DigitValue(p[i]);
        if (d >= base) {
            // a separator counts only between two digits
            if (digits && IsSeparator(p[i], flags) && (unsigned)DigitValue(p[i + 1]) < base &&
                v * base + DigitValue(p[i + 1]) <= 0xFFFFFFFFull) {
                ++i;
                continue;
            }
            break;
        }
        if (v * base + d > 0xFFFFFFFFull) break;
        v = v * base + d;
        ++digits;
        ++i;
    }
    if (!digits) return 0;
    if (used) *used = i;
    unsigned r = (unsigned)v;
    return (int)(neg ? 0u - r : r);
}

int StrToIntClamped(const char* text, unsigned flags, int* used)
{
    int n = 0;
    int value = StrToInt(text, flags, &n);
    if (used) *used = n;
    unsigned base = flags & STI_BASE_MASK;
    if (n == 0 || (base != 0 && base != 10)) return value;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    int i = 0;
    if (!(flags & STI_NO_BLANKS))
        while (p[i] == ' ' || p[i] == '\t') ++i;
    const bool neg = !(flags & STI_NO_SIGN) && p[i] == '-';
    if (neg) ++i;
    const unsigned char c = (unsigned char)(p[i + 1] | 0x20);
    if (p[i] == '0' && (c == 'x' || c == 'o' || c == 'b') && i + 2 <= n) return value;   // a prefix was taken
    // Past the range: the sign came out wrong, or digits were left unread.
    bool more = p[n] >= '0' && p[n] <= '9';
    if (!more && (neg ? value <= 0 : value >= 0)) return value;
    while (p[n] >= '0' && p[n] <= '9') ++n;
    if (used) *used = n;
    return neg ? INT_MIN : INT_MAX;
}

int FormatInt(int value, char* buf, unsigned flags)
{
    unsigned notation = flags & 0xFF;
    unsigned minDigits = (flags & FI_DIGITS_MASK) >> FI_DIGITS_SHIFT;
    const bool exact = (flags & FI_EXACT) && minDigits > 0;
    if (minDigits == 0) minDigits = 1;
    unsigned base = 10;
    const char* prefix = "";
    unsigned mag = (unsigned)value;
    bool neg = false;
    switch (notation) {
    case FI_HEX: base = 16; prefix = "0x"; break;
    case FI_BIN: base = 2; prefix = "0b"; break;
    case FI_OCT: base = 8; prefix = "0o"; break;
    case FI_UDEC: break;
    default:
        if (value < 0) { neg = true; mag = 0u - (unsigned)value; }
    }
    char digits[72];
    unsigned n = 0;
    for (unsigned m = mag; m; m /= base) digits[n++] = kHex[m % base];
    while (n < minDigits) digits[n++] = '0';
    if (exact && n > minDigits) n = minDigits;
    int len = 0;
    if (neg) buf[len++] = '-';
    for (const char* q = prefix; *q; ++q) buf[len++] = *q;
    while (n) buf[len++] = digits[--n];
    buf[len] = 0;
    return len;
}

namespace {

// Layout of hex dumps shared by HexDumpFormat and FormatSearchBytes: calls put(index) for each
// byte in print order, and sep() where separators go.
template <class PutByte, class PutChar>
void WalkDump(int count, unsigned flags, PutByte putByte, PutChar putChar)
{
    const int group = 1 << ((flags & HD_GROUP_MASK) >> HD_GROUP_SHIFT);
    const char sep = (char)((flags & HD_SEP_MASK) >> HD_SEP_SHIFT);
    const int every = (int)(flags & HD_EVERY_MASK);
    if (flags & HD_COLON) {
        if (!putChar(':')) return;
    }
    for (int g = 0; g < count; g += group) {
        if (g) {
            if (sep && !putChar(sep)) return;
            if (every && g % every == 0 && !putChar(' ')) return;
        }
        int end = g + group < count ? g + group : count;
        for (int k = g; k < end; ++k) {
            int logical = (flags & HD_GROUP_VALUE) ? end - 1 - (k - g) : k;
            int index = (flags & HD_BACKWARDS) ? count - 1 - logical : logical;
            if (!putByte(index)) return;
        }
    }
}

} // namespace

int HexDumpFormat(const void* bytes, char* buf, int count, unsigned flags)
{
    const unsigned char* b = static_cast<const unsigned char*>(bytes);
    if (!b) count = 0;
    int n = 0;
    WalkDump(count, flags,
             [&](int i) { buf[n++] = kHex[b[i] >> 4]; buf[n++] = kHex[b[i] & 15]; return true; },
             [&](char c) { buf[n++] = c; return true; });
    if (flags & HD_NUL) buf[n] = 0;
    return n;
}

int FormatSearchBytes(char* buf, int size, const unsigned char* value, const unsigned char* mask, int count,
                      unsigned flags)
{
    if (!buf || size <= 0) return 0;
    if (!value || !mask) count = 0;
    int n = 0;
    auto room = [&](int k) { return n + k < size; }; // keeps one byte for the NUL
    WalkDump(count, flags,
             [&](int i) {
                 unsigned char v = value[i], m = mask[i];
                 bool hiOk = (m & 0xF0) == 0 || (m & 0xF0) == 0xF0;
                 bool loOk = (m & 0x0F) == 0 || (m & 0x0F) == 0x0F;
                 if (hiOk && loOk) {
                     if (!room(2)) return false;
                     buf[n++] = (m & 0xF0) ? kHex[v >> 4] : '?';
                     buf[n++] = (m & 0x0F) ? kHex[v & 15] : '?';
                 } else {
                     if (!room(9)) return false;
                     buf[n++] = '#';
                     for (int bit = 7; bit >= 0; --bit)
                         buf[n++] = (m >> bit & 1) ? (char)('0' + (v >> bit & 1)) : '?';
                 }
                 return true;
             },
             [&](char c) {
                 if (!room(1)) return false;
                 buf[n++] = c;
                 return true;
             });
    buf[n] = 0;
    return n;
}

namespace {

// Shared parser of hexadecimal byte input; mask null means no '?', '#' or mask part.
int ParseBytes(unsigned char* value, unsigned char* mask, int size, const char* text)
{
    if (!value || !text || size <= 0) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    auto skipBlanks = [&] { while (*p == ' ' || *p == '\t') ++p; };
    auto nibble = [&](unsigned char c, int& v, int& m) {
        if (mask && c == '?') { v = 0; m = 0; return true; }
        v = HexNibble(c);
        m = 15;
        return v >= 0;
    };
    int count = 0;
    skipBlanks();
    if (*p == ':') ++p;
    for (;;) {
        skipBlanks();
        if (count >= size) break;
        if (mask && *p == '#') {
            int v = 0, m = 0, k = 1;
            for (; k <= 8; ++k) {
                unsigned char c = p[k];
                if (c != '0' && c != '1' && c != '?') break;
                v = v << 1 | (c == '1');
                m = m << 1 | (c != '?');
            }
            if (k <= 8) break;
            value[count] = (unsigned char)v;
            mask[count] = (unsigned char)m;
            ++count;
            p += 9;
            continue;
        }
        int hv, hm;
        if (!nibble(*p, hv, hm)) break;
        int lv, lm;
        if (nibble(p[1], lv, lm)) {
            p += 2;
        } else {
            // a single digit stands for a byte only before a blank, a ':' or the end
            if (p[1] && p[1] != ' ' && p[1] != '\t' && p[1] != ':') break;
            lv = hv;
            lm = hm;
            hv = 0;
            hm = 15;
            ++p;
        }
        value[count] = (unsigned char)(hv << 4 | lv);
        if (mask) mask[count] = (unsigned char)(hm << 4 | lm);
        ++count;
    }
    if (mask && *p == ':') {
        ++p;
        for (int i = 0; i < count; ++i) {
            skipBlanks();
            int h = HexNibble(p[0]), l = HexNibble(p[1]);
            if (h < 0 || l < 0) break;
            mask[i] &= (unsigned char)(h << 4 | l);
            p += 2;
        }
    }
    if (mask)
        for (int i = 0; i < count; ++i) value[i] &= mask[i];
    return count;
}

} // namespace

int ParseSearchBytes(unsigned char* value, unsigned char* mask, int size, const char* text, unsigned flags)
{
    if (!mask) return 0;
    return ParseBytes(value, mask, size, text);
}

int ParseHexBytes(unsigned char* bytes, int size, const char* text, unsigned flags)
{
    return ParseBytes(bytes, nullptr, size, text);
}
