#include "text/CharClass.h"

namespace {

struct ClassTableBuilder {
    unsigned v[256];
    constexpr ClassTableBuilder() : v() {
        for (int c = 0; c < 256; ++c) {
            unsigned m = 0;
            if (c >= '0' && c <= '9') m |= CC_DIGIT;
            if (c >= 'A' && c <= 'Z') m |= CC_UPPER;
            if (c >= 'a' && c <= 'z') m |= CC_LOWER;
            if ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) m |= CC_HEXLETTER;
            if (c == '_') m |= CC_UNDERSCORE;
            if (c == '\t') m |= CC_TAB;
            else if (c == '\r' || c == '\n') m |= CC_EOL;
            else if (c < 0x20 || c == 0x7F) m |= CC_CONTROL;
            if (c == ' ') m |= CC_BLANK;
            if (c == '"') m |= CC_DQUOTE;
            if (c == '\'') m |= CC_SQUOTE;
            if (c == '.') m |= CC_DOT;
            if (c == '(' || c == '[' || c == '{' || c == '<') m |= CC_OPEN;
            if (c == ')' || c == ']' || c == '}' || c == '>') m |= CC_CLOSE;
            if (c == ',' || c == ';') m |= CC_LISTSEP;
            if (c == '+' || c == '-') m |= CC_SIGN;
            if (c == '!' || c == '#' || c == '$' || c == '%' || c == '&' || c == '=' || c == '@' ||
                c == '^' || c == '`' || c == '~' || c == '|')
                m |= CC_PUNCT;
            if (c == '\\') m |= CC_BACKSLASH;
            if (c == '/') m |= CC_SLASH;
            if (c == ':') m |= CC_COLON;
            if (c == '*') m |= CC_STAR;
            if (c == '?') m |= CC_QUESTION;
            if (c >= 0xC0 && c <= 0xDD) m |= CC_LATIN_UPPER;
            if (c >= 0xDF && c <= 0xFD) m |= CC_LATIN_LOWER;
            if ((c >= 0x80 && c <= 0xBF) || c == 0xDE || c == 0xFE || c == 0xFF) m |= CC_HIGH;
            v[c] = m;
        }
    }
};

constexpr ClassTableBuilder kTable;

} // namespace

const unsigned int CharClassTable[256] = {
#define R8(b) kTable.v[b], kTable.v[b + 1], kTable.v[b + 2], kTable.v[b + 3], kTable.v[b + 4], \
              kTable.v[b + 5], kTable.v[b + 6], kTable.v[b + 7]
#define R64(b) R8(b), R8(b + 8), R8(b + 16), R8(b + 24), R8(b + 32), R8(b + 40), R8(b + 48), R8(b + 56)
    R64(0), R64(64), R64(128), R64(192)
#undef R64
#undef R8
};

int SpanClass(const char* text, unsigned mask)
{
    if (!text) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    int n = 0;
    while (CharClassTable[p[n]] & mask) ++n;
    return n;
}

int SpanClassN(const char* text, unsigned mask, int length)
{
    if (!text) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    int n = 0;
    while (n < length && (CharClassTable[p[n]] & mask)) ++n;
    return n;
}

int SpanNotClass(const char* text, unsigned mask)
{
    if (!text) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    int n = 0;
    while (p[n] && !(CharClassTable[p[n]] & mask)) ++n;
    return n;
}

int SpanNotClassN(const char* text, unsigned mask, int length)
{
    if (!text) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    int n = 0;
    while (n < length && !(CharClassTable[p[n]] & mask)) ++n;
    return n;
}

int SpanClassBack(const char* end, unsigned mask, int length)
{
    if (!end) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(end);
    int n = 0;
    while (n < length && (CharClassTable[p[-1 - n]] & mask)) ++n;
    return n;
}

int SpanNotClassBack(const char* end, unsigned mask, int length)
{
    if (!end) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(end);
    int n = 0;
    while (n < length && !(CharClassTable[p[-1 - n]] & mask)) ++n;
    return n;
}

unsigned char FileNameCharUpper(unsigned char c)
{
    if (c >= 'a' && c <= 'z') return (unsigned char)(c - 32);
    if (c < 0x80) return c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return (unsigned char)(c - 0x20);
    switch (c) {
    case 0x9A: return 0x8A; // š
    case 0x9C: return 0x8C; // œ
    case 0x9E: return 0x8E; // ž
    case 0xFF: return 0x9F; // ÿ
    }
    return c;
}
