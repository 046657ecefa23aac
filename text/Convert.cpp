// C escapes and literals, token scanning, UTF-8 and UTF-16.
#include "text/Convert.h"
#include "text/CharClass.h"

namespace {

int HexValue(unsigned char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

const char kHex[] = "0123456789ABCDEF";

// A given length, or, when it is negative, the length up to the terminator.
template <class Char>
int LengthOf(const Char* s, int length)
{
    if (length >= 0) return length;
    int n = 0;
    while (s[n]) ++n;
    return n;
}

} // namespace

int ParseEscape(const char* text, int* used)
{
    int n = 0, c = 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    if (!p || !p[0]) {
        n = 0;
    } else if (p[0] != '\\' || !p[1]) {
        c = p[0];
        n = 1;
    } else {
        n = 2;
        switch (p[1]) {
        case 'a': c = 7; break;
        case 'b': c = 8; break;
        case 'e': c = 27; break;
        case 'f': c = 12; break;
        case 'n': c = 10; break;
        case 'r': c = 13; break;
        case 't': c = 9; break;
        case 'v': c = 11; break;
        case 'x': {
            int h = HexValue(p[2]);
            if (h < 0) { c = 'x'; break; }
            c = h;
            n = 3;
            h = HexValue(p[3]);
            if (h >= 0) { c = c * 16 + h; n = 4; }
            break;
        }
        default:
            if (p[1] >= '0' && p[1] <= '7') {
                c = p[1] - '0';
                while (n < 4 && p[n] >= '0' && p[n] <= '7' && c * 8 + (p[n] - '0') <= 0xFF) {
                    c = c * 8 + (p[n] - '0');
                    ++n;
                }
            } else {
                c = p[1];
            }
        }
    }
    if (used) *used = n;
    return c;
}

int StrQuoteC(char* buf, int size, const void* bytes, int count, unsigned flags)
{
    if (!buf || size <= 0) return 0;
    const unsigned char* b = static_cast<const unsigned char*>(bytes);
    const bool quotes = !(flags & 1);
    const int close = quotes ? 1 : 0;
    int n = 0;
    if (quotes && n + close + 1 < size) buf[n++] = '"';
    else if (quotes) { buf[0] = 0; return 0; }
    for (int i = 0; b && i < count; ++i) {
        char e[4];
        int len = 0;
        unsigned char c = b[i];
        if (c == '"' || c == '\\') { e[0] = '\\'; e[1] = (char)c; len = 2; }
        else if (c == '\t') { e[0] = '\\'; e[1] = 't'; len = 2; }
        else if (c == '\r') { e[0] = '\\'; e[1] = 'r'; len = 2; }
        else if (c == '\n') { e[0] = '\\'; e[1] = 'n'; len = 2; }
        else if ((c >= 0x20 && c < 0x7F) || (c >= 0xA1 && c != 0xAD)) { e[0] = (char)c; len = 1; }
        else { e[0] = '\\'; e[1] = 'x'; e[2] = kHex[c >> 4]; e[3] = kHex[c & 15]; len = 4; }
        if (n + len + close + 1 > size) break;
        for (int k = 0; k < len; ++k) buf[n++] = e[k];
    }
    if (quotes) buf[n++] = '"';
    buf[n] = 0;
    return n;
}

int StrUnquoteC(void* dst, unsigned sizeWord, const char* src, int* used)
{
    unsigned char* d = static_cast<unsigned char*>(dst);
    const int size = d ? (int)(sizeWord & UNQUOTE_SIZE_MASK) : 0;
    int i = 0, n = 0;
    if (!src) {
        if (used) *used = 0;
        if (size > 0) d[0] = 0;
        return 0;
    }
    bool quoted = false;
    if (!(sizeWord & UNQUOTE_NO_QUOTE)) {
        int k = 0;
        while (src[k] == ' ' || src[k] == '\t') ++k;
        if (src[k] == '"') { quoted = true; i = k + 1; }
    }
    while (n < size && src[i]) {
        if (quoted && src[i] == '"') { ++i; quoted = false; break; }
        int len = 0;
        int c = ParseEscape(src + i, &len);
        if (len <= 0) break;
        d[n++] = (unsigned char)c;
        i += len;
    }
    // a closing quote right at the size limit is still consumed
    if (quoted && n == size && src[i] == '"') ++i;
    if (n < size) d[n] = 0;
    if (used) *used = i;
    return n;
}

int StrScanTokenA(const char* text, int escape, int opener, int length)
{
    if (!text || length < 1 || (unsigned char)text[0] != (unsigned char)opener) return 0;
    char open = (char)opener, close = open;
    switch (open) {
    case '(': close = ')'; break;
    case '[': close = ']'; break;
    case '{': close = '}'; break;
    case '<': close = '>'; break;
    }
    const char esc = (char)escape;
    int depth = 1;
    for (int i = 1; i < length; ++i) {
        char c = text[i];
        if (escape && c == esc) { ++i; continue; }
        if (c == close) {
            if (--depth == 0) return i + 1;
        } else if (c == open) {
            ++depth;
        }
    }
    return length;
}

int Utf8DecodeCharN(const char* bytes, int length, unsigned* codePoint)
{
    unsigned cp = 0;
    int n = 0;
    if (bytes && length > 0) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
        unsigned c = p[0];
        cp = c;
        n = 1;
        int extra = 0;
        unsigned v = 0, min = 0;
        if (c >= 0xC2 && c <= 0xDF) { extra = 1; v = c & 0x1F; min = 0x80; }
        else if (c >= 0xE0 && c <= 0xEF) { extra = 2; v = c & 0x0F; min = 0x800; }
        else if (c >= 0xF0 && c <= 0xF4) { extra = 3; v = c & 0x07; min = 0x10000; }
        if (extra && extra < length) {
            int k = 1;
            for (; k <= extra; ++k) {
                if ((p[k] & 0xC0) != 0x80) break;
                v = (v << 6) | (p[k] & 0x3F);
            }
            if (k > extra && v >= min && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
                cp = v;
                n = extra + 1;
            }
        }
    }
    if (codePoint) *codePoint = cp;
    return n;
}

int Utf8DecodeChar(const char* bytes, unsigned* codePoint)
{
    if (!bytes) {
        if (codePoint) *codePoint = 0;
        return 0;
    }
    // at most 4 bytes are needed; a NUL ends the text before a sequence can run past it
    int len = 0;
    while (len < 4 && bytes[len]) ++len;
    return Utf8DecodeCharN(bytes, len ? len : 1, codePoint);
}

int Utf8EncodeChar(char* out, unsigned cp)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) { out[0] = (char)cp; return 1; }
    if (cp < 0x800) {
        out[0] = (char)(0xC0 | (cp >> 6));
        out[1] = (char)(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = (char)(0xE0 | (cp >> 12));
        out[1] = (char)(0x80 | ((cp >> 6) & 0x3F));
        out[2] = (char)(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = (char)(0xF0 | (cp >> 18));
    out[1] = (char)(0x80 | ((cp >> 12) & 0x3F));
    out[2] = (char)(0x80 | ((cp >> 6) & 0x3F));
    out[3] = (char)(0x80 | (cp & 0x3F));
    return 4;
}

int Utf8ToUtf16(wchar_t* dst, int dstSize, const char* src, int srcLength)
{
    const bool count = !dst || dstSize <= 0;
    int n = 0;
    if (src) {
        srcLength = LengthOf(src, srcLength);
        for (int i = 0; i < srcLength;) {
            unsigned cp = 0;
            i += Utf8DecodeCharN(src + i, srcLength - i, &cp);
            int units = cp >= 0x10000 ? 2 : 1;
            if (!count) {
                if (n + units + 1 > dstSize) break;
                if (units == 2) {
                    cp -= 0x10000;
                    dst[n] = (wchar_t)(0xD800 + (cp >> 10));
                    dst[n + 1] = (wchar_t)(0xDC00 + (cp & 0x3FF));
                } else {
                    dst[n] = (wchar_t)cp;
                }
            }
            n += units;
        }
    }
    if (!count) dst[n] = 0;
    return n;
}

int Utf16ToUtf8(char* dst, int dstSize, const wchar_t* src, int srcLength)
{
    const bool count = !dst || dstSize <= 0;
    int n = 0;
    if (src) {
        srcLength = LengthOf(src, srcLength);
        for (int i = 0; i < srcLength;) {
            unsigned cp = (unsigned short)src[i++];
            if (cp >= 0xD800 && cp <= 0xDBFF && i < srcLength && src[i] >= 0xDC00 && src[i] <= 0xDFFF)
                cp = 0x10000 + ((cp - 0xD800) << 10) + ((unsigned short)src[i++] - 0xDC00);
            char tmp[4];
            int len = Utf8EncodeChar(tmp, cp);
            if (!count) {
                if (n + len + 1 > dstSize) break;
                for (int k = 0; k < len; ++k) dst[n + k] = tmp[k];
            }
            n += len;
        }
    }
    if (!count) dst[n] = 0;
    return n;
}
