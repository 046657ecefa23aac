// Character classes, spans, byte compares, bounded copies and finds, natural order, wildcards.
#include <gtest/gtest.h>

#include "text/CharClass.h"
#include "text/Match.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(CharClass, SpecifiedBits)
{
    for (int c = 0; c < 256; ++c) {
        unsigned m = CharClassTable[c];
        EXPECT_EQ((m & CC_DIGIT) != 0, c >= '0' && c <= '9') << c;
        EXPECT_EQ((m & CC_UPPER) != 0, c >= 'A' && c <= 'Z') << c;
        EXPECT_EQ((m & CC_LOWER) != 0, c >= 'a' && c <= 'z') << c;
        EXPECT_EQ((m & CC_UNDERSCORE) != 0, c == '_') << c;
        EXPECT_EQ((m & CC_TAB) != 0, c == '\t') << c;
        EXPECT_EQ((m & CC_EOL) != 0, c == '\r' || c == '\n') << c;
        EXPECT_EQ((m & CC_BLANK) != 0, c == ' ') << c;
        EXPECT_EQ((m & CC_HEXLETTER) != 0, (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) << c;
        EXPECT_EQ((m & CC_BACKSLASH) != 0, c == '\\') << c;
        EXPECT_EQ((m & CC_SLASH) != 0, c == '/') << c;
        EXPECT_EQ((m & CC_COLON) != 0, c == ':') << c;
        EXPECT_EQ((m & CC_STAR) != 0, c == '*') << c;
        EXPECT_EQ((m & CC_QUESTION) != 0, c == '?') << c;
        EXPECT_EQ((m & CC_LATIN_UPPER) != 0, c >= 0xC0 && c <= 0xDD) << c;
        EXPECT_EQ((m & CC_LATIN_LOWER) != 0, c >= 0xDF && c <= 0xFD) << c;
        bool word = isalnum(c) && c < 128;
        word = word || c == '_' || (c >= 0xC0 && c <= 0xDD) || (c >= 0xDF && c <= 0xFD);
        EXPECT_EQ((m & CC_WORD) != 0, word) << c;
    }
    EXPECT_EQ(CharClassTable[0], 0x10u); // NUL is a control character, of no span class
}

TEST(CharClass, Spans)
{
    EXPECT_EQ(SpanClass("\\\\/server", CC_PATHSEP), 3);
    EXPECT_EQ(SpanClass(nullptr, CC_PATHSEP), 0);
    EXPECT_EQ(SpanClassN("\\\\\\x", CC_BACKSLASH, 2), 2);
    EXPECT_EQ(SpanNotClass("abc\r\ndef", CC_EOL), 3);
    EXPECT_EQ(SpanNotClass("name.txt", CC_WILDCARD), 8);
    EXPECT_EQ(SpanNotClass("na*me", CC_WILDCARD), 2);
    EXPECT_EQ(SpanNotClass("C:\\x", 0x700000), 1);
    EXPECT_EQ(SpanNotClassN("abc\0def:", CC_COLON, 8), 7); // NUL inside counts as no class
    const char path[] = "C:\\dir\\sub\\\\";
    const char* end = path + strlen(path);
    EXPECT_EQ(SpanClassBack(end, CC_PATHSEP, (int)strlen(path)), 2);
    EXPECT_EQ(SpanNotClassBack(end - 2, CC_PATHSEP, (int)strlen(path) - 2), 3);
    EXPECT_EQ(SpanNotClassBack(path + 2, CC_PATHSEP, 2), 2); // bounded by the length
    EXPECT_EQ(SpanClassBack(end, CC_PATHSEP, 1), 1);
    EXPECT_EQ(SpanClassBack(end, CC_PATHSEP, -1), 0);
}

TEST(CharClass, FileNameUpper)
{
    EXPECT_EQ(FileNameCharUpper('a'), 'A');
    EXPECT_EQ(FileNameCharUpper(0xE4), 0xC4); // ä
    EXPECT_EQ(FileNameCharUpper(0xF7), 0xF7); // ÷ stays
    EXPECT_EQ(FileNameCharUpper(0xDF), 0xDF); // ß has no capital here
    EXPECT_EQ(FileNameCharUpper(0xFF), 0x9F); // ÿ
    EXPECT_EQ(FileNameCharUpper(0x9A), 0x8A); // š
}

TEST(Compare, MemCmpCase)
{
    EXPECT_EQ(MemCmpCase("abc", "abc", 3, 0), 0);
    EXPECT_EQ(MemCmpCase("abc", "ABC", 3, 0), 1);
    EXPECT_EQ(MemCmpCase("abc", "ABC", 3, 1), 0);
    EXPECT_EQ(MemCmpCase("abd", "ABC", 3, 1), 1);
    EXPECT_EQ(MemCmpCase("ab", "AC", 2, 1), -1);
    EXPECT_EQ(MemCmpCase("\xE4", "\xC4", 1, 1), 1); // Latin-1 letters are not folded
    EXPECT_EQ(MemCmpCase("\x80", "\x7F", 1, 0), 1);  // unsigned bytes
    EXPECT_EQ(MemCmpCase("@", "`", 1, 1), -1);       // neighbours of the letters stay apart
    EXPECT_EQ(MemCmpCase("[", "{", 1, 1), -1);
    EXPECT_EQ(MemCmpCase("x", "y", 0, 1), 0);
}

TEST(Compare, MemCmpMasked)
{
    const unsigned char text[] = {0x12, 0x34, 0xFF};
    const unsigned char value[] = {0x10, 0x34, 0x0F};
    const unsigned char mask[] = {0xF0, 0xFF, 0x0F};
    EXPECT_EQ(MemCmpMasked(text, value, mask, 3), 0);
    const unsigned char mask2[] = {0xFF, 0xFF, 0x0F};
    EXPECT_NE(MemCmpMasked(text, value, mask2, 3), 0);
    EXPECT_EQ(MemCmpMasked(text, value, mask2, 0), 0);
}

TEST(Strings, Find)
{
    EXPECT_EQ(StrFindN("hello world", "world", 11, 5), 6);
    EXPECT_EQ(StrFindN("hello world", "world", 10, 5), -1); // must lie wholly within
    EXPECT_EQ(StrFindN("aaab", "aab", 4, 3), 1);
    EXPECT_EQ(StrFindN("a\0b\0c", "\0c", 5, 2), 3);
    EXPECT_EQ(StrFindN("abc", "", 3, 0), 0);
    EXPECT_EQ(StrFindN("abc", "abcd", 3, 4), -1);
    EXPECT_EQ(StrFindN(nullptr, "a", 3, 1), -1);
    EXPECT_EQ(StrFindCharOrEnd("abc;def", ';'), 3);
    EXPECT_EQ(StrFindCharOrEnd("abc", ';'), 3);
    EXPECT_EQ(StrFindCharOrEnd("abc", 0), 3);
    EXPECT_EQ(StrFindCharEscN("a\\|b|c", '|', 6, '\\'), 5);
    EXPECT_EQ(StrFindCharEscN("a\\\\|b", '|', 5, '\\'), 4); // escaped backslash, then a free '|'
    EXPECT_EQ(StrFindCharEscN("abc", '|', 3, '\\'), -1);
    EXPECT_EQ(StrFindCharEscN("ab|", '|', 2, '\\'), -1);
}

TEST(Strings, CopyAndAppendBounds)
{
    char buf[8];
    memset(buf, 'X', sizeof buf);
    EXPECT_EQ(StrLCpy(buf, "abcdefghij", 5), 4u);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(buf[5], 'X');
    EXPECT_EQ(StrLCpy(buf, nullptr, 5), 0u);
    EXPECT_STREQ(buf, "");
    buf[0] = 'Q';
    EXPECT_EQ(StrLCpy(buf, "abc", 0), 0u);
    EXPECT_EQ(buf[0], 'Q');
    memset(buf, 'X', sizeof buf);
    StrLCpy(buf, "ab", 6);
    EXPECT_EQ(StrLCat(buf, "cdefgh", 6), 5u);
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(buf[6], 'X');
    EXPECT_EQ(StrLCat(buf, "z", 6), 5u);
    memset(buf, 'X', sizeof buf);
    EXPECT_EQ(StrLCat(buf, "z", 4), 3u); // no NUL within the size: it gets one
    EXPECT_EQ(buf[3], 0);
    wchar_t w[4];
    EXPECT_EQ(StrLCpyW(w, L"abcdef", 4), 3u);
    EXPECT_EQ(StrLCatW(w, L"x", 4), 3u);
    EXPECT_EQ(std::wstring(w), L"abc");
}

TEST(Natural, Order)
{
    std::vector<std::string> v = {"file10.txt", "file2.txt", "File1.txt", "file02.txt", "file1.txt",
                                  "file", "file 1", "a100b", "a99b", "a99c", "x0", "x00", "x"};
    std::sort(v.begin(), v.end(), [](const std::string& a, const std::string& b) {
        return StrNaturalCompareNoCaseA(a.c_str(), b.c_str()) < 0;
    });
    std::vector<std::string> want = {"a99b", "a99c", "a100b", "file", "file 1", "File1.txt", "file1.txt",
                                     "file2.txt", "file02.txt", "file10.txt", "x", "x0", "x00"};
    // File1.txt and file1.txt are equal without case; stable order is not asked for
    ASSERT_EQ(v.size(), want.size());
    for (size_t i = 0; i < v.size(); ++i)
        if (i != 5 && i != 6) {
            EXPECT_EQ(v[i], want[i]) << i;
        }
    EXPECT_EQ(StrNaturalCompareNoCaseA("File1", "file1"), 0);
    EXPECT_LT(StrNaturalCompareA("File1", "file1"), 0);
    EXPECT_LT(StrNaturalCompareA("a1", "a01"), 0);
    EXPECT_GT(StrNaturalCompareA("a01", "a1"), 0);
    EXPECT_LT(StrNaturalCompareA("a01b", "a1c"), 0); // the text decides before the zeros
    EXPECT_EQ(StrNaturalCompareA("12345678901234567890x", "12345678901234567890x"), 0);
    EXPECT_LT(StrNaturalCompareA("99999999999999999999", "100000000000000000000"), 0);
    EXPECT_LT(StrNaturalCompareA("", "a"), 0);
    EXPECT_EQ(StrNaturalCompareA(nullptr, ""), 0);
    EXPECT_GT(StrNaturalCompareA("\xE4", "z"), 0);
    EXPECT_EQ(StrNaturalCompareNoCaseNA("abc12x", "ABC12y", 5), 0);
    EXPECT_LT(StrNaturalCompareNoCaseNA("abc9", "abc10", 5), 0);
    EXPECT_LT(StrNaturalCompareNoCaseNA("abc19", "abc2", 4), 0); // n cuts the digit run: "abc1" < "abc2"
    EXPECT_LT(StrNaturalCompareW(L"a9", L"a10"), 0);
    EXPECT_EQ(StrNaturalCompareNoCaseW(L"A9", L"a9"), 0);
}

TEST(Wildcard, Names)
{
    struct Case { const char* p; const char* n; int want; } cases[] = {
        {"*.txt", "readme.txt", 1},
        {"*.txt", "README.TXT", 1},
        {"*.txt", "readme.txt.bak", 0},
        {"*.TXT", "a.b.txt", 1},
        {"a?c", "abc", 1},
        {"a?c", "ac", 0},
        {"a?c", "abbc", 0},
        {"*", "", 1},
        {"", "", 1},
        {"", "a", 0},
        {"*.*", "README", 1},
        {"*.*", "a.b", 1},
        {"abc.*", "abc", 1},
        {"abc.*", "abcd", 0},
        {"*.", "README", 1},
        {"*.", "a.txt", 0},
        {"a*b*c", "aXXbYYc", 1},
        {"a*b*c", "aXXbYY", 0},
        {"*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", 0},
        {"M\xDC" "LLER*", "m\xFCller.txt", 1}, // Latin-1 letters fold as in Windows file names
        {"*\x8A*", "x\x9Ay", 1},
        {"??", "\xE4\xF6", 1},
        {"*[1]*", "a[1]b", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(WildcardMatchA(c.p, c.n), c.want) << c.p << " / " << c.n;
    EXPECT_EQ(WildcardMatchA(nullptr, "a"), 0);
    EXPECT_EQ(WildcardMatchW(L"*.TXT", L"\x00E4rger.txt"), 1);
    EXPECT_EQ(WildcardMatchW(L"\x0416*", L"\x0436uk"), 1); // Cyrillic Zhe folds too
    EXPECT_EQ(WildcardMatchW(L"a?c", L"a\xD83D\xDE00" L"c"), 0); // '?' is one unit
}

TEST(Wildcard, Lists)
{
    EXPECT_EQ(WildcardMatchListA("*.c;*.h", "main.c"), 1);
    EXPECT_EQ(WildcardMatchListA("*.c;*.h", "main.h"), 2);
    EXPECT_EQ(WildcardMatchListA(" *.c ; ; *.H ", "main.h"), 2);
    EXPECT_EQ(WildcardMatchListA("*.c;*.h", "main.cpp"), 0);
    EXPECT_EQ(WildcardMatchListA("", "main.c"), 0);
    EXPECT_EQ(WildcardMatchListA(" ; ", "main.c"), 0);
    EXPECT_EQ(WildcardMatchListA("my file.txt", "MY FILE.TXT"), 1); // inner blanks stay
    EXPECT_EQ(WildcardMatchListW(L"*.obj;*.exe", L"a.EXE"), 2);
}

} // namespace
