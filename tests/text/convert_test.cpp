// Escapes, C literals, token scanning and UTF-8/UTF-16.
#include <gtest/gtest.h>

#include "text/Convert.h"

#include <cstring>
#include <string>

namespace {

TEST(Escape, Table)
{
    struct Case { const char* text; int want; int used; } cases[] = {
        {"\\a", 7, 2}, {"\\b", 8, 2}, {"\\e", 27, 2}, {"\\f", 12, 2}, {"\\n", 10, 2}, {"\\r", 13, 2},
        {"\\t", 9, 2}, {"\\v", 11, 2}, {"\\\\", '\\', 2}, {"\\\"", '"', 2}, {"\\'", '\'', 2},
        {"\\x41", 0x41, 4}, {"\\x4", 4, 3}, {"\\xfFz", 0xFF, 4}, {"\\x411", 0x41, 4}, {"\\xg", 'x', 2},
        {"\\0", 0, 2}, {"\\101", 65, 4}, {"\\1012", 65, 4}, {"\\377", 255, 4}, {"\\400", 32, 3},
        {"\\8", '8', 2}, {"\\q", 'q', 2}, {"\\", '\\', 1}, {"a", 'a', 1}, {"\xE4", 0xE4, 1}, {"", 0, 0},
    };
    for (const Case& c : cases) {
        int used = -5;
        EXPECT_EQ(ParseEscape(c.text, &used), c.want) << c.text;
        EXPECT_EQ(used, c.used) << c.text;
    }
    EXPECT_EQ(ParseEscape("\\n", nullptr), 10);
}

TEST(QuoteC, AllBytesRoundTrip)
{
    unsigned char all[256];
    for (int i = 0; i < 256; ++i) all[i] = (unsigned char)i;
    char quoted[1200];
    int n = StrQuoteC(quoted, sizeof quoted, all, 256, 0);
    ASSERT_GT(n, 0);
    EXPECT_EQ((size_t)n, strlen(quoted));
    EXPECT_EQ(quoted[0], '"');
    EXPECT_EQ(quoted[n - 1], '"');
    for (int i = 1; i < n - 1; ++i) {
        unsigned char c = (unsigned char)quoted[i];
        EXPECT_TRUE(c >= 0x20 && c != 0x7F && !(c >= 0x80 && c <= 0xA0) && c != 0xAD) << i;
    }
    unsigned char back[300];
    memset(back, 0xEE, sizeof back);
    int used = 0;
    EXPECT_EQ(StrUnquoteC(back, sizeof back, quoted, &used), 256);
    EXPECT_EQ(used, n);
    EXPECT_EQ(memcmp(back, all, 256), 0);
    EXPECT_EQ(back[256], 0);
    // every byte before every hex digit: "\xHH" never swallows the next character
    for (int b = 0; b < 256; ++b) {
        unsigned char two[2] = {(unsigned char)b, 'F'};
        char q[16];
        StrQuoteC(q, sizeof q, two, 2, 0);
        unsigned char r[4];
        ASSERT_EQ(StrUnquoteC(r, sizeof r, q, nullptr), 2) << b;
        EXPECT_EQ(r[0], b);
        EXPECT_EQ(r[1], 'F');
    }
}

TEST(QuoteC, Forms)
{
    char buf[64];
    EXPECT_EQ(StrQuoteC(buf, sizeof buf, "a\"b\\c\t\r\n\x01\xE4", 10, 0), 20);
    EXPECT_STREQ(buf, "\"a\\\"b\\\\c\\t\\r\\n\\x01\xE4\"");
    EXPECT_EQ(StrQuoteC(buf, sizeof buf, "ab", 2, 1), 2); // flag 1: no quotes
    EXPECT_STREQ(buf, "ab");
    // too small: whole characters only, and the closing quote
    memset(buf, 'X', sizeof buf);
    EXPECT_EQ(StrQuoteC(buf, 8, "abc\x01xyz", 7, 0), 5);
    EXPECT_STREQ(buf, "\"abc\"");
    EXPECT_EQ(buf[8], 'X');
    EXPECT_EQ(StrQuoteC(buf, 2, "a", 1, 0), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(StrQuoteC(buf, 0, "a", 1, 0), 0);
}

TEST(UnquoteC, Rules)
{
    char out[32];
    int used = 0;
    EXPECT_EQ(StrUnquoteC(out, sizeof out, "\"ab\\x00c\" rest", &used), 4);
    EXPECT_EQ(memcmp(out, "ab\0c", 4), 0);
    EXPECT_EQ(used, 9); // through the closing quote
    EXPECT_EQ(StrUnquoteC(out, sizeof out, "  \"x\"", &used), 1);
    EXPECT_EQ(used, 5);
    EXPECT_EQ(StrUnquoteC(out, sizeof out, "plain\\ttext", &used), 10);
    EXPECT_STREQ(out, "plain\ttext");
    EXPECT_EQ(used, 11);
    // a leading quote as an ordinary character
    EXPECT_EQ(StrUnquoteC(out, UNQUOTE_NO_QUOTE | sizeof out, "\"a\\\"", &used), 3);
    EXPECT_STREQ(out, "\"a\"");
    // the size bounds the bytes; a NUL only where there is room
    memset(out, 'X', sizeof out);
    EXPECT_EQ(StrUnquoteC(out, 3, "abcdef", &used), 3);
    EXPECT_EQ(memcmp(out, "abcX", 4), 0);
    EXPECT_EQ(used, 3);
    EXPECT_EQ(StrUnquoteC(out, 3, "\"abc\"", &used), 3);
    EXPECT_EQ(used, 5);
    EXPECT_EQ(StrUnquoteC(out, 0, "abc", &used), 0);
    EXPECT_EQ(StrUnquoteC(out, sizeof out, "\"unclosed\\", &used), 9);
    EXPECT_STREQ(out, "unclosed\\");
}

TEST(ScanToken, Closers)
{
    EXPECT_EQ(StrScanTokenA("\"ab\\\"c\" x", '\\', '"', 9), 7);
    EXPECT_EQ(StrScanTokenA("'a' x", '\\', '\'', 5), 3);
    EXPECT_EQ(StrScanTokenA("<a<b>c> x", 0, '<', 9), 7);   // nested pairs
    EXPECT_EQ(StrScanTokenA("(a\\)b) x", '\\', '(', 8), 6);
    EXPECT_EQ(StrScanTokenA("[a]", '\\', '[', 3), 3);
    EXPECT_EQ(StrScanTokenA("{a", '\\', '{', 2), 2);       // no closer: the whole length
    EXPECT_EQ(StrScanTokenA("\"abc\"", '\\', '"', 3), 3);  // the length bounds the scan
    EXPECT_EQ(StrScanTokenA("x\"", '\\', '"', 2), 0);
    EXPECT_EQ(StrScanTokenA("\"", '\\', '"', 0), 0);
    EXPECT_EQ(StrScanTokenA("|ab|", '\\', '|', 4), 4);
}

TEST(Utf8, DecodeValidAndMalformed)
{
    struct Case { const char* bytes; int len; unsigned cp; int want; } cases[] = {
        {"A", 1, 'A', 1},
        {"\xC3\xA4", 2, 0xE4, 2},
        {"\xE2\x82\xAC", 3, 0x20AC, 3},
        {"\xF0\x9F\x98\x80", 4, 0x1F600, 4},
        {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF, 4},
        {"\xC3", 1, 0xC3, 1},                 // truncated
        {"\xC3(", 2, 0xC3, 1},                // bad continuation
        {"\xC0\x80", 2, 0xC0, 1},             // overlong NUL
        {"\xE0\x80\x80", 3, 0xE0, 1},         // overlong
        {"\xED\xA0\x80", 3, 0xED, 1},         // surrogate
        {"\xF4\x90\x80\x80", 4, 0xF4, 1},     // above 0x10FFFF
        {"\xF8\x88\x80\x80\x80", 5, 0xF8, 1}, // five-byte form
        {"\x80", 1, 0x80, 1},                 // lone continuation
        {"\xE2\x82", 2, 0xE2, 1},
    };
    for (const Case& c : cases) {
        unsigned cp = 0;
        EXPECT_EQ(Utf8DecodeCharN(c.bytes, c.len, &cp), c.want) << c.bytes;
        EXPECT_EQ(cp, c.cp);
        EXPECT_EQ(Utf8DecodeChar(c.bytes, &cp), c.want);
        EXPECT_EQ(cp, c.cp);
    }
    unsigned cp = 1;
    EXPECT_EQ(Utf8DecodeCharN("\xE2\x82\xAC", 2, &cp), 1); // the length bounds the read
    EXPECT_EQ(cp, 0xE2u);
    EXPECT_EQ(Utf8DecodeCharN("A", 0, &cp), 0);
    EXPECT_EQ(Utf8DecodeChar("\xE2\0\xAC", &cp), 1);       // a NUL ends the sequence
    EXPECT_EQ(Utf8DecodeChar("", &cp), 1);                 // the NUL itself, nothing behind it
    EXPECT_EQ(cp, 0u);
}

TEST(Utf8, EncodeRoundTrip)
{
    for (unsigned cp = 0; cp <= 0x10FFFF; cp += (cp < 0x3000 ? 1 : 97)) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        char buf[4];
        int n = Utf8EncodeChar(buf, cp);
        unsigned back = 0;
        ASSERT_EQ(Utf8DecodeCharN(buf, n, &back), n) << cp;
        ASSERT_EQ(back, cp);
        ASSERT_EQ(n, cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4);
    }
    char buf[4];
    EXPECT_EQ(Utf8EncodeChar(buf, 0xD800), 3);
    EXPECT_EQ(memcmp(buf, "\xEF\xBF\xBD", 3), 0);
    EXPECT_EQ(Utf8EncodeChar(buf, 0x110000), 3);
}

TEST(Utf16, Conversions)
{
    const char* utf8 = "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80";
    wchar_t w[16];
    EXPECT_EQ(Utf8ToUtf16(nullptr, 0, utf8, -1), 5);
    EXPECT_EQ(Utf8ToUtf16(w, 16, utf8, -1), 5);
    EXPECT_EQ(std::wstring(w), std::wstring(L"a\x00E4\x20AC\xD83D\xDE00"));
    char back[16];
    EXPECT_EQ(Utf16ToUtf8(nullptr, 0, w, -1), 10);
    EXPECT_EQ(Utf16ToUtf8(back, 16, w, -1), 10);
    EXPECT_STREQ(back, utf8);
    // a character that does not fit whole is left out
    wchar_t small[5];
    wmemset(small, L'X', 5);
    EXPECT_EQ(Utf8ToUtf16(small, 5, utf8, -1), 3);
    EXPECT_EQ(small[3], 0);
    EXPECT_EQ(small[4], L'X');
    char small8[6];
    memset(small8, 'X', sizeof small8);
    EXPECT_EQ(Utf16ToUtf8(small8, 6, w, -1), 3);
    EXPECT_STREQ(small8, "a\xC3\xA4");
    // malformed bytes keep their value; unpaired surrogates become U+FFFD
    EXPECT_EQ(Utf8ToUtf16(w, 16, "M\xFCller", -1), 6);
    EXPECT_EQ(w[1], 0xFC);
    const wchar_t lone[] = {0xD800, 'x', 0xDC00, 0};
    EXPECT_EQ(Utf16ToUtf8(back, 16, lone, -1), 7);
    EXPECT_STREQ(back, "\xEF\xBF\xBDx\xEF\xBF\xBD");
    EXPECT_EQ(Utf8ToUtf16(w, 16, "abc", 2), 2); // explicit length
    EXPECT_EQ(Utf8ToUtf16(w, 1, "abc", -1), 0);
    EXPECT_EQ(w[0], 0);
}

} // namespace
