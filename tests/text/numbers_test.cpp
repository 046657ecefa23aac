// Integer parsing and printing, hex dumps, value-search bytes, dates.
#include <gtest/gtest.h>

#include "text/Numbers.h"

#include <climits>
#include <cstring>
#include <ctime>
#include <random>
#include <string>

namespace {

std::string FI(int v, unsigned flags)
{
    char buf[68];
    int n = FormatInt(v, buf, flags);
    EXPECT_EQ((size_t)n, strlen(buf));
    return buf;
}

TEST(StrToInt, Forms)
{
    struct Case { const char* text; unsigned flags; int want; int used; } cases[] = {
        {"123", 0, 123, 3},
        {"  \t-42x", 0, -42, 6},
        {"0x1F", 0, 31, 4},
        {"0X1f", 0, 31, 4},
        {"0o17", 0, 15, 4},
        {"0b101", 0, 5, 5},
        {"0d99", 0, 99, 4},
        {"-0x10", 0, -16, 5},
        {"0x", 0, 0, 1},               // a prefix without a digit is not taken
        {"0b2", 0, 0, 1},
        {"0xFFFFFFFF", 0, -1, 10},
        {"4294967295", 0, -1, 10},
        {"4294967296", 0, 429496729, 9}, // the digit that would overflow stays unread
        {"-2147483648", 0, (int)0x80000000, 11},
        {"2147483648", 0, (int)0x80000000, 10},
        {"abc", 0, 0, 0},
        {"", 0, 0, 0},
        {"-", 0, 0, 0},
        {" 5", STI_NO_BLANKS, 0, 0},
        {"-5", STI_NO_SIGN, 0, 0},
        {"12", STI_NO_BLANKS | STI_NO_SIGN, 12, 2},
        {"0x20", 0xC000, 32, 4},
        {"ff", 16, 255, 2},
        {"0xff", 16, 255, 4},
        {"0b11", 16, 0xB11, 4},        // base 16: "0b11" is a hexadecimal number
        {"777", 8, 511, 3},
        {"z", 36, 35, 1},
        {"102", 2, 2, 2},
        {"1.234.567", STI_SEP_DOT, 1234567, 9},
        {"1.234.567", 0, 1, 1},
        {"1,5", STI_SEP_COMMA, 15, 3},
        {"1_000'000", STI_SEP_MARK, 1000000, 9},
        {"1..2", STI_SEP_DOT, 1, 1},   // a separator stands only between digits
        {"12.", STI_SEP_DOT, 12, 2},
        {"0xFF_FF", STI_SEP_MARK, 0xFFFF, 7},
    };
    for (const Case& c : cases) {
        int used = -1;
        EXPECT_EQ(StrToInt(c.text, c.flags, &used), c.want) << c.text;
        EXPECT_EQ(used, c.used) << c.text;
    }
    EXPECT_EQ(StrToInt("7", 0, nullptr), 7);
    EXPECT_EQ(StrToInt(nullptr, 0, nullptr), 0);
}

TEST(StrToIntClamped, DecimalsPastTheRangeTakeItsNearestEnd)
{
    struct Case { const char* text; unsigned flags; int want; int used; } cases[] = {
        {"3000000000", 0, INT_MAX, 10},
        {"-3000000000", 0, INT_MIN, 11},
        {"99999999999 x", 0, INT_MAX, 11},   // digits StrToInt leaves unread are used up
        {" 2147483648", 0, INT_MAX, 11},
        {"2147483647", 0, INT_MAX, 10},
        {"-2147483648", 0, INT_MIN, 11},
        {"-0", 0, 0, 2},
        {"-42x", 0, -42, 3},
        {"0d3000000000", 0, INT_MAX, 12},
        {"0xFFFFFFFF", 0, -1, 10},           // a prefix keeps the bits
        {"0b11111111111111111111111111111111", 0, -1, 34},
        {"ffffffff", 16, -1, 8},
        {"3000000000", 10, INT_MAX, 10},
        {"abc", 0, 0, 0},
    };
    for (const Case& c : cases) {
        int used = -1;
        EXPECT_EQ(StrToIntClamped(c.text, c.flags, &used), c.want) << c.text;
        EXPECT_EQ(used, c.used) << c.text;
    }
}

TEST(FormatInt, Notations)
{
    EXPECT_EQ(FI(0, 0), "0");
    EXPECT_EQ(FI(-42, 0), "-42");
    EXPECT_EQ(FI((int)0x80000000, 0), "-2147483648");
    EXPECT_EQ(FI((int)0x80000000, FI_HEX), "0x80000000");
    EXPECT_EQ(FI((int)0x80000000, FI_UDEC), "2147483648");
    EXPECT_EQ(FI(-1, FI_HEX), "0xFFFFFFFF");
    EXPECT_EQ(FI(-1, FI_BIN), "0b11111111111111111111111111111111");
    EXPECT_EQ(FI(8, FI_OCT), "0o10");
    EXPECT_EQ(FI(0x7, 0x4201), "0x07");
    EXPECT_EQ(FI(0x1AB, 0x4201), "0xAB");        // exactly two digits: the lowest ones
    EXPECT_EQ(FI(0x1234567, 0x4601), "0x234567");
    EXPECT_EQ(FI(0x12, 0x0601), "0x000012");     // a minimum only
    EXPECT_EQ(FI(5, 0x0400), "0005");
    EXPECT_EQ(FI(-5, 0x0400), "-0005");
    EXPECT_EQ(FI(5, 0x0802), "0b00000101");
    EXPECT_EQ(FI(5, 0x3F00).size(), 63u);
    EXPECT_EQ(FI(-1, 0x3F02).size(), 65u);       // the largest output fits the 68 bytes
}

TEST(FormatInt, RoundTripsThroughStrToInt)
{
    std::mt19937 rng(1);
    const int fixed[] = {0, 1, -1, 2, 255, 256, 65535, 0x7FFFFFFF, (int)0x80000000, (int)0x80000001, -1000};
    const unsigned widths[] = {0, 0x100, 0x800, 0x2000, 0x2100};
    for (int round = 0; round < 400; ++round) {
        int v = round < 11 ? fixed[round] : (int)rng();
        for (unsigned notation = 0; notation <= 4; ++notation)
            for (unsigned w : widths) {
                std::string s = FI(v, notation | w);
                int used = 0;
                unsigned flags = notation == FI_UDEC ? 0 : 0;
                EXPECT_EQ(StrToInt(s.c_str(), flags, &used), v) << s;
                EXPECT_EQ((size_t)used, s.size()) << s;
            }
    }
}

TEST(HexDump, Flags)
{
    const unsigned char b[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0xAB, 0xFF};
    char buf[64];
    memset(buf, 'X', sizeof buf);
    EXPECT_EQ(HexDumpFormat(b, buf, 6, 0x80002004), 18);
    EXPECT_STREQ(buf, "00 01 02 03  04 05");
    EXPECT_EQ(HexDumpFormat(b, buf, 3, 0xB0002000), 9);
    EXPECT_STREQ(buf, ":00 01 02");
    memset(buf, 'X', sizeof buf);
    EXPECT_EQ(HexDumpFormat(b, buf, 2, 0), 4); // no NUL without bit 31
    EXPECT_EQ(memcmp(buf, "0001X", 5), 0);
    HexDumpFormat(b, buf, 8, HD_NUL);
    EXPECT_STREQ(buf, "000102030405ABFF");
    HexDumpFormat(b, buf, 8, HD_NUL | 0x2C00 | (1u << HD_GROUP_SHIFT));
    EXPECT_STREQ(buf, "0001,0203,0405,ABFF");
    HexDumpFormat(b, buf, 8, HD_NUL | 0x2000 | (2u << HD_GROUP_SHIFT));
    EXPECT_STREQ(buf, "00010203 0405ABFF");
    HexDumpFormat(b, buf, 8, HD_NUL | 0x2000 | (2u << HD_GROUP_SHIFT) | HD_GROUP_VALUE);
    EXPECT_STREQ(buf, "03020100 FFAB0504");
    HexDumpFormat(b, buf, 3, HD_NUL | 0x2000 | HD_BACKWARDS);
    EXPECT_STREQ(buf, "02 01 00");
    HexDumpFormat(b, buf, 5, HD_NUL | 2);
    EXPECT_STREQ(buf, "0001 0203 04");
    HexDumpFormat(b, buf, 0, HD_NUL | HD_COLON);
    EXPECT_STREQ(buf, ":");
    // the documented worst case fits 4 * count + 2
    unsigned char many[16] = {};
    char big[4 * 16 + 2];
    EXPECT_LE(HexDumpFormat(many, big, 16, 0xA0002001) + 1, (int)sizeof big);
}

TEST(SearchBytes, ParseForms)
{
    unsigned char v[16], m[16];
    EXPECT_EQ(ParseSearchBytes(v, m, 16, ":12 ?4 5? ??", 0), 4);
    const unsigned char wv[] = {0x12, 0x04, 0x50, 0x00}, wm[] = {0xFF, 0x0F, 0xF0, 0x00};
    EXPECT_EQ(memcmp(v, wv, 4), 0);
    EXPECT_EQ(memcmp(m, wm, 4), 0);
    EXPECT_EQ(ParseSearchBytes(v, m, 16, "  A 1234", 0), 3); // a single digit is a byte
    EXPECT_EQ(v[0], 0x0A);
    EXPECT_EQ(v[2], 0x34);
    EXPECT_EQ(ParseSearchBytes(v, m, 16, ":#1?0?1?0? FF", 0), 2);
    EXPECT_EQ(v[0], 0x88);
    EXPECT_EQ(m[0], 0xAA);
    EXPECT_EQ(ParseSearchBytes(v, m, 16, ":12 34:F0 0F", 0), 2);
    EXPECT_EQ(v[0], 0x10);
    EXPECT_EQ(m[0], 0xF0);
    EXPECT_EQ(v[1], 0x04);
    EXPECT_EQ(m[1], 0x0F);
    EXPECT_EQ(ParseSearchBytes(v, m, 2, "11 22 33", 0), 2); // the size bounds
    EXPECT_EQ(ParseSearchBytes(v, m, 16, "11 zz 33", 0), 1); // stops at the first bad character
    EXPECT_EQ(ParseSearchBytes(v, m, 16, "#10", 0), 0);
    unsigned char h[8];
    EXPECT_EQ(ParseHexBytes(h, 8, ":de AD be", 0), 3);
    EXPECT_EQ(h[1], 0xAD);
    EXPECT_EQ(ParseHexBytes(h, 8, "12 ?4", 0), 1); // no wildcards here
}

TEST(SearchBytes, RoundTripWithMasks)
{
    std::mt19937 rng(5);
    for (int round = 0; round < 500; ++round) {
        int count = 1 + (int)(rng() % 12);
        unsigned char v[12], m[12];
        for (int i = 0; i < count; ++i) {
            v[i] = (unsigned char)rng();
            switch (rng() % 4) {
            case 0: m[i] = 0xFF; break;
            case 1: m[i] = 0xF0; break;
            case 2: m[i] = 0x0F; break;
            default: m[i] = (unsigned char)rng();
            }
        }
        char text[200];
        int n = FormatSearchBytes(text, sizeof text, v, m, count, 0xB0002000);
        ASSERT_EQ((size_t)n, strlen(text));
        unsigned char v2[12], m2[12];
        ASSERT_EQ(ParseSearchBytes(v2, m2, 12, text, 0), count) << text;
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(m2[i], m[i]) << text;
            EXPECT_EQ(v2[i], v[i] & m[i]) << text;
        }
    }
    const unsigned char v[] = {0x12, 0x34, 0x56}, m[] = {0xFF, 0xF0, 0x24};
    char text[40];
    EXPECT_EQ(FormatSearchBytes(text, sizeof text, v, m, 3, 0xB0002000), 16);
    EXPECT_STREQ(text, ":12 3? #??0??1??");
    // too small: whole bytes only, always ended
    char small[8];
    memset(small, 'X', sizeof small);
    EXPECT_EQ(FormatSearchBytes(small, 7, v, m, 3, 0xB0002000), 6);
    EXPECT_STREQ(small, ":12 3?");
    EXPECT_EQ(small[7], 'X');
}

// Berlin wall-clock time to Unix time, with the offset given (1 in winter, 2 in summer).
long long Berlin(int y, int mo, int d, int h, int mi, int s, int offsetHours)
{
    struct tm t = {};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return (long long)_mkgmtime64(&t) - offsetHours * 3600LL;
}

std::string FD(long long t, unsigned flags)
{
    char buf[40];
    int n = FormatDateTime(buf, t, flags);
    EXPECT_EQ((size_t)n, strlen(buf));
    return buf;
}

TEST(Dates, FormatBerlin)
{
    const long long winter = Berlin(2023, 12, 24, 18, 30, 5, 1);
    const long long summer = Berlin(2024, 7, 5, 9, 3, 7, 2);
    EXPECT_EQ(FD(winter, 0x2000043E), "2023-12-24 18:30:05");
    EXPECT_EQ(FD(summer, 0x2000043E), "2024-07-05 09:03:07");
    EXPECT_EQ(FD(winter, 0x1F), "So 24.12.2023 18:30");
    EXPECT_EQ(FD(summer, 0x1F), "Fr 5.7.2024 9:03");
    EXPECT_EQ(FD(summer, 0x2000003E), "05.07.2024 09:03:07");
    EXPECT_EQ(FD(summer, 0x2000003E | DT_UTC), "05.07.2024 07:03:07");
    EXPECT_EQ(FD(summer, DT_DAY | DT_MONTH), "5.7");
    EXPECT_EQ(FD(summer, DT_HOURMIN), "9:03");
    EXPECT_EQ(FD(0, 0x2000043E | DT_UTC), "1970-01-01 00:00:00");
    EXPECT_EQ(FD(4102444800LL, 0x2000043E | DT_UTC), "2100-01-01 00:00:00"); // past 2038
    EXPECT_EQ(FD(-12000000000LL, 0x1F), "");                                  // before 1601
}

TEST(Dates, ParseBerlin)
{
    int used = 0;
    EXPECT_EQ(ParseDateTimeToTime("2023-12-24 18:30:05", 6, &used), Berlin(2023, 12, 24, 18, 30, 5, 1));
    EXPECT_EQ(used, 19);
    EXPECT_EQ(ParseDateTimeToTime("24.12.2023 18:30", 6, nullptr), Berlin(2023, 12, 24, 18, 30, 0, 1));
    EXPECT_EQ(ParseDateTimeToTime("5.7.2024 9:03:07", 6, nullptr), Berlin(2024, 7, 5, 9, 3, 7, 2));
    EXPECT_EQ(ParseDateTimeToTime("Fr 5.7.2024 9:03", 6, nullptr), Berlin(2024, 7, 5, 9, 3, 0, 2));
    EXPECT_EQ(ParseDateTimeToTime("2024-07-05T09:03", 6, nullptr), Berlin(2024, 7, 5, 9, 3, 0, 2));
    EXPECT_EQ(ParseDateTimeToTime("  1.3.24", 6, &used), Berlin(2024, 3, 1, 0, 0, 0, 1));
    EXPECT_EQ(used, 8);
    EXPECT_EQ(ParseDateTimeToTime("1.3.99", 6, nullptr), Berlin(1999, 3, 1, 0, 0, 0, 1));
    EXPECT_EQ(ParseDateTimeToTime("2024-07-05 09:03", PDT_UTC | PDT_ISO, nullptr), Berlin(2024, 7, 5, 9, 3, 0, 0));
    EXPECT_EQ(ParseDateTimeToTime("2100-01-01 00:00", PDT_UTC, nullptr), 4102444800LL);
    EXPECT_EQ(ParseDateTimeToTime("24.12.2023 18:30x", 6, &used), Berlin(2023, 12, 24, 18, 30, 0, 1));
    EXPECT_EQ(used, 16);
    // bad input
    const char* bad[] = {"", "abc", "31.2.2024", "29.2.2023", "1.13.2024", "2024-13-01", "1.1.2024 24:00",
                         "1.1.2024 10:60", "1.1.2024 10:5", "2024.1.1", "1.1.123"};
    for (const char* b : bad) {
        EXPECT_EQ(ParseDateTimeToTime(b, 6, &used), -1) << b;
        EXPECT_EQ(used, 0) << b;
    }
    EXPECT_EQ(ParseDateTimeToTime("29.2.2024", 6, nullptr), Berlin(2024, 2, 29, 0, 0, 0, 1));
    EXPECT_EQ(ParseDateTimeToTime("2024-01-01", PDT_GERMAN, nullptr), -1); // that form is off
    EXPECT_EQ(ParseDateTimeToTime("1.1.2024", PDT_ISO, nullptr), -1);
}

TEST(Dates, RoundTrip)
{
    std::mt19937 rng(3);
    for (int i = 0; i < 300; ++i) {
        long long t = (long long)(rng() % 4000000000u); // 1970 to 2096, both time-zone halves
        std::string a = FD(t, 0x2000043E), b = FD(t, 0x1F);
        int used = 0;
        long long back = ParseDateTimeToTime(a.c_str(), 6, &used);
        // the hour after the autumn change exists twice; both readings print the same
        if (back != t) {
            EXPECT_EQ(FD(back, 0x2000043E), a);
        }
        EXPECT_EQ((size_t)used, a.size());
        long long back2 = ParseDateTimeToTime(b.c_str(), 6, nullptr);
        EXPECT_EQ(FD(back2, 0x1F), b);
    }
}

} // namespace
