// The formatter: conversions against the C library, the layer's own conversions, and bounds.
#include <gtest/gtest.h>

#include "text/Format.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string F(const char* fmt, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    StrFormatV(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

TEST(Format, ApplicationConversions)
{
    EXPECT_EQ(F("%i Eintr\xE4ge", 1234), "1234 Eintr\xE4ge");
    EXPECT_EQ(F("%u", 4294967295u), "4294967295");
    EXPECT_EQ(F("%d|%d", -2147483647 - 1, 0), "-2147483648|0");
    EXPECT_EQ(F("-F:0x%08X", 0x1A2Bu), "-F:0x00001A2B");
    EXPECT_EQ(F("%X %x", 0xABCDEFu, 0xABCDEFu), "ABCDEF abcdef");
    EXPECT_EQ(F("%c%c%%", 'a', 0xE4), "a\xE4%");
    EXPECT_EQ(F("%I64u", 18446744073709551615ull), "18446744073709551615");
    EXPECT_EQ(F("%llu %lld", 1ull << 40, -(1ll << 40)), "1099511627776 -1099511627776");
    EXPECT_EQ(F("%I64d|%d", -5ll, 7), "-5|7"); // 64-bit argument then a 32-bit one
    EXPECT_EQ(F("[%*s]", 6, "ab"), "[    ab]");
    EXPECT_EQ(F("[%-*s]", 6, "ab"), "[ab    ]");
    EXPECT_EQ(F("[%*s]", -4, "ab"), "[ab  ]");
    EXPECT_EQ(F("Datei %i von %i :", 3, 10), "Datei 3 von 10 :");
    EXPECT_EQ(F("%s", (const char*)nullptr), "(null)");
    EXPECT_EQ(F("%.2s|%.*s", "abcdef", 3, "xyz123"), "ab|xyz");
}

TEST(Format, MatchesCLibrary)
{
    const char* ints[] = {"%d", "%5d", "%-5d|", "%05d", "%+d", "% d", "%.3d", "%8.3d", "%-8.3d|", "%x", "%#x",
                          "%#X", "%#o", "%o", "%.0d", "%hhd", "%hd", "%hu", "%+05d", "%-+6d|"};
    const int values[] = {0, 1, -1, 42, -42, 255, 65536, 2147483647, -2147483647 - 1};
    for (const char* f : ints)
        for (int v : values) {
            char want[64];
            std::snprintf(want, sizeof want, f, v);
            EXPECT_EQ(F(f, v), want) << f << " " << v;
        }
    const char* strs[] = {"%s", "%8s", "%-8s|", "%.1s", "%8.2s", "%-8.2s|"};
    for (const char* f : strs) {
        char want[64];
        std::snprintf(want, sizeof want, f, "abc");
        EXPECT_EQ(F(f, "abc"), want) << f;
    }
    EXPECT_EQ(F("%#.0o|%#o|%#x", 0, 8, 0), "0|010|0"); // C's rules for the alternate form
    EXPECT_EQ(F("%.2f", 3.14159), "3.14");
    EXPECT_EQ(F("%8.3f|%-8.1f|", 2.5, -1.26), "   2.500|-1.3    |");
    EXPECT_EQ(F("%e", 12345.678).substr(0, 9), "1.234568e");
    EXPECT_EQ(F("%g", 0.5), "0.5");
}

TEST(Format, OwnConversions)
{
    EXPECT_EQ(F("%b %#b %08b", 5u, 5u, 5u), "101 0b101 00000101");
    EXPECT_EQ(F("%'d", 1234567), "1.234.567");
    EXPECT_EQ(F("%'d %'u", -1000, 999u), "-1.000 999");
    EXPECT_EQ(F("%'lld", 1234567890123ll), "1.234.567.890.123");
    EXPECT_EQ(F("%'12d|", 1234567), "   1.234.567|");
    const unsigned char bytes[] = {0x00, 0x1F, 0xAB, 0xFF};
    EXPECT_EQ(F("%.4H", bytes), "00 1F AB FF");
    EXPECT_EQ(F("%#.*H", 2, bytes), ":00 1F");
    EXPECT_EQ(F("%+.4H", bytes), "001FABFF");
    EXPECT_EQ(F("[%14.3H]", bytes), "[      00 1F AB]");
    EXPECT_EQ(F("%H", bytes), "");
    EXPECT_EQ(F("%p", (void*)0x1234), "00001234");
    EXPECT_EQ(F("%S|%ls|%C", L"Gr\x00FC\x00DF" L"e", L"x", (int)L'\x00E4'), "Gr\xFC\xDF" "e|x|\xE4");
    EXPECT_EQ(F("%.2S", L"abc"), "ab");
    EXPECT_EQ(F("%5S|", L"ab"), "   ab|");
    EXPECT_EQ(F("%y %"), "%y %"); // unknown conversions stay as they are
    int n = 0;
    EXPECT_EQ(F("ab%ncd", &n), "abcd");
    EXPECT_EQ(n, 0); // %n never stores
}

TEST(Format, TimeStamps)
{
    // 2023-12-24 17:30:05 UTC is 18:30:05 in Berlin (winter)
    EXPECT_EQ(F("%T", 1703439005ll), "24.12.2023 18:30:05");
    EXPECT_EQ(F("%.*T", 0x1F, 1703439005ll), "So 24.12.2023 18:30");
    EXPECT_EQ(F("%.268435518T|%d", 1703439005ll, 5), "24.12.2023 17:30:05|5"); // 0x1000003E: UTC
}

TEST(Format, Positional)
{
    EXPECT_EQ(F("%2$s %1$s", "Welt", "Hallo"), "Hallo Welt");
    EXPECT_EQ(F("%2$d %1$lld %2$d", 1ll << 33, 7), "7 8589934592 7");
    EXPECT_EQ(F("%1$*2$d|", 5, 4), "   5|");
    EXPECT_EQ(F("%3$.*1$s|%2$c", 2, 'z', "abcdef"), "ab|z");
    EXPECT_EQ(F("%1$s %s", "a", "b"), "a b"); // an unnumbered one takes the next argument
}

TEST(Format, BoundsNeverOverrun)
{
    // every size from 0 to beyond the full length: guard bytes stay, text is a prefix
    const std::string full = F("%s-%08X-%'d-%.3H-%5.1f", "Hallo", 0xBEEFu, 1234567, "\x01\x02\x03", 2.26);
    EXPECT_EQ(full, "Hallo-0000BEEF-1.234.567-01 02 03-  2.3");
    for (size_t size = 0; size < full.size() + 4; ++size) {
        char buf[80];
        memset(buf, 0x5A, sizeof buf);
        int n = StrFormat(buf + 8, size, "%s-%08X-%'d-%.3H-%5.1f", "Hallo", 0xBEEFu, 1234567, "\x01\x02\x03", 2.26);
        for (int i = 0; i < 8; ++i) ASSERT_EQ(buf[i], 0x5A);
        for (size_t i = 8 + size; i < sizeof buf; ++i) ASSERT_EQ(buf[i], 0x5A) << size;
        if (size == 0) {
            EXPECT_EQ(n, 0);
            continue;
        }
        size_t want = size - 1 < full.size() ? size - 1 : full.size();
        EXPECT_EQ((size_t)n, want);
        EXPECT_EQ(std::string(buf + 8), full.substr(0, want));
    }
    EXPECT_EQ(StrFormat(nullptr, 10, "%d", 5), 0);
    char small[4];
    EXPECT_EQ(StrFormat(small, sizeof small, "%2000000000d", 5), 3); // a huge width stops early
    EXPECT_STREQ(small, "   ");
    EXPECT_EQ(StrFormatLength("%s=%d", "abc", 12345), 9);
}

struct Collect {
    std::string text;
    int calls = 0;
    int stopAfter = 1 << 30;
};

int CollectWriter(void* ctx, const char* text, int length)
{
    Collect* c = static_cast<Collect*>(ctx);
    c->text.append(text, (size_t)length);
    return ++c->calls < c->stopAfter;
}

int CallCore(Collect& c, const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = StrFormatCore(CollectWriter, &c, fmt, ap);
    va_end(ap);
    return n;
}

TEST(Format, WriterCore)
{
    Collect all;
    EXPECT_EQ(CallCore(all, "a%db%sc", 12, "xyz"), 8);
    EXPECT_EQ(all.text, "a12bxyzc");
    Collect stop;
    stop.stopAfter = 2;
    int n = CallCore(stop, "a%db%sc", 12, "xyz");
    EXPECT_EQ(stop.calls, 2);
    EXPECT_EQ(n, (int)stop.text.size());
}

} // namespace
