// Names and comments (code page 850 or UTF-8), DOS times in summer and winter, attributes.
// The test runs with TZ=Europe/Berlin, ANSI code page 1252 and OEM code page 850.
#include <gtest/gtest.h>

#include "zip/ZipFormat.h"

namespace {

std::string Encode(const std::string &text, uint16_t *flags) {
  std::string out;
  ZipEncodeName(text.data(), static_cast<int>(text.size()), out, flags);
  return out;
}

std::string Decode(const std::string &raw, unsigned flags) {
  std::string out;
  ZipDecodeName(reinterpret_cast<const uint8_t *>(raw.data()), static_cast<int>(raw.size()), flags,
                out);
  return out;
}

uint32_t Dos(int y, int mo, int d, int h, int mi, int s) {
  return static_cast<uint32_t>(y - 1980) << 25 | mo << 21 | d << 16 | h << 11 | mi << 5 | s / 2;
}

}  // namespace

TEST(ZipNames, GermanNamesGoInCodePage850WithTheFlagClear) {
  uint16_t flags = ZIP_FLAG_UTF8 | ZIP_FLAG_DESCRIPTOR;
  EXPECT_EQ("Gr\x94\xE1" "e/M\x81ller \x8E\x99\x9A.txt", Encode("Größe/Müller ÄÖÜ.txt", &flags));
  EXPECT_EQ(ZIP_FLAG_DESCRIPTOR, flags);
  flags = ZIP_FLAG_UTF8;
  EXPECT_EQ("plain/ascii.txt", Encode("plain/ascii.txt", &flags));
  EXPECT_EQ(0, flags);
}

TEST(ZipNames, EuroSignAndAmbiguousBytePairsGoInUtf8WithTheFlagSet) {
  uint16_t flags = 0;
  EXPECT_EQ("Preis 5\xE2\x82\xAC.txt", Encode("Preis 5€.txt", &flags));
  EXPECT_EQ(ZIP_FLAG_UTF8, flags);
  // 'ß' is 0xE1 in code page 850 and 'ä' 0x84: together they would read as UTF-8.
  flags = 0;
  EXPECT_EQ("\xC3\x9F\xC3\xA4", Encode("ßä", &flags));
  EXPECT_EQ(ZIP_FLAG_UTF8, flags);
  flags = 0;
  EXPECT_EQ("\x84\xE1", Encode("äß", &flags));
  EXPECT_EQ(0, flags);
  // Bytes that code page 1252 leaves undefined still travel, as their own code points.
  flags = 0;
  EXPECT_EQ("\xC2\x81", Encode("\x81", &flags));
  EXPECT_EQ(ZIP_FLAG_UTF8, flags);
  // A null flags pointer is allowed (the archive comment).
  EXPECT_EQ("\xE2\x82\xAC", Encode("€", nullptr));
}

TEST(ZipNames, EveryCodePage1252CharacterSurvivesEncodeAndDecode) {
  for (int c = 0x20; c < 0x100; ++c) {
    std::string text = std::string("x") + static_cast<char>(c) + "y";
    uint16_t flags = 0;
    std::string raw = Encode(text, &flags);
    EXPECT_EQ(text, Decode(raw, flags)) << "byte " << c;
  }
}

TEST(ZipNames, DecodingChoosesUtf8OemOrPlain) {
  EXPECT_EQ("Müller", Decode("M\x81ller", 0));              // OEM code page 850
  EXPECT_EQ("Müller", Decode("M\xC3\xBCller", 0));          // UTF-8 without the flag
  EXPECT_EQ("5€", Decode("5\xE2\x82\xAC", ZIP_FLAG_UTF8));
  EXPECT_EQ("abc", Decode("abc", ZIP_FLAG_UTF8));
  // Characters that code page 1252 lacks become '_', never a path character.
  EXPECT_EQ("_.txt", Decode("\xE4\xB8\xAD.txt", ZIP_FLAG_UTF8));
  EXPECT_EQ("a_b", Decode("a\xF0\x9F\x98\x80" "b", ZIP_FLAG_UTF8));
  EXPECT_EQ("_x", Decode("\xEF\xBC\x8Fx", ZIP_FLAG_UTF8));  // fullwidth solidus
  // A malformed sequence counts as one byte of its own value.
  EXPECT_EQ("\xC3(", Decode("\xC3(", ZIP_FLAG_UTF8));
  EXPECT_EQ("", Decode("", 0));
  EXPECT_EQ("a_b", Decode(std::string("a\0b", 3), 0));
  EXPECT_EQ("ä_", Decode(std::string("\xC3\xA4\0", 3), 0));
}

TEST(ZipNames, Utf8DecoderRejectsOverlongSurrogatesAndShortSequences) {
  uint32_t cp;
  const uint8_t ok[] = {0xE2, 0x82, 0xAC};
  EXPECT_EQ(3, ZipUtf8DecodeChar(ok, 3, &cp));
  EXPECT_EQ(0x20ACu, cp);
  EXPECT_EQ(1, ZipUtf8DecodeChar(ok, 2, &cp));
  EXPECT_EQ(0xE2u, cp);
  const uint8_t overlong[] = {0xC0, 0xAF};
  EXPECT_EQ(1, ZipUtf8DecodeChar(overlong, 2, &cp));
  const uint8_t surrogate[] = {0xED, 0xA0, 0x80};
  EXPECT_EQ(1, ZipUtf8DecodeChar(surrogate, 3, &cp));
  const uint8_t four[] = {0xF0, 0x9F, 0x98, 0x80};
  EXPECT_EQ(4, ZipUtf8DecodeChar(four, 4, &cp));
  EXPECT_EQ(0x1F600u, cp);
  const uint8_t tooBig[] = {0xF4, 0x90, 0x80, 0x80};
  EXPECT_EQ(1, ZipUtf8DecodeChar(tooBig, 4, &cp));
}

TEST(ZipTimes, SummerAndWinterTimesRoundTripThroughLocalTime) {
  // 2021-07-15 12:34:56 UTC is 14:34:56 summer time in Berlin.
  const int32_t summer = 1626352496;
  EXPECT_EQ(Dos(2021, 7, 15, 14, 34, 56), TimeToDosDateTime(summer));
  EXPECT_EQ(summer, DosDateTimeToTime(Dos(2021, 7, 15, 14, 34, 56)));
  // 2021-01-15 12:34:56 UTC is 13:34:56 standard time.
  const int32_t winter = 1610714096;
  EXPECT_EQ(Dos(2021, 1, 15, 13, 34, 56), TimeToDosDateTime(winter));
  EXPECT_EQ(winter, DosDateTimeToTime(Dos(2021, 1, 15, 13, 34, 56)));
  // Around the spring change: 00:30 UTC is 01:30 CET, 01:30 UTC is 03:30 CEST.
  EXPECT_EQ(Dos(2021, 3, 28, 1, 30, 0), TimeToDosDateTime(1616891400));
  EXPECT_EQ(Dos(2021, 3, 28, 3, 30, 0), TimeToDosDateTime(1616895000));
  EXPECT_EQ(1616895000, DosDateTimeToTime(Dos(2021, 3, 28, 3, 30, 0)));
}

TEST(ZipTimes, OddSecondsRoundUpAndEarlyTimesGiveNineteenEighty) {
  EXPECT_EQ(Dos(2021, 7, 15, 14, 34, 58), TimeToDosDateTime(1626352497));
  EXPECT_EQ(ZIP_DOS_TIME_MIN, TimeToDosDateTime(0));
  EXPECT_EQ(ZIP_DOS_TIME_MIN, TimeToDosDateTime(300000000));  // 1979
  EXPECT_EQ(ZIP_DOS_TIME_MIN, TimeToDosDateTime(-5));
  // 1980-01-01 00:00 in Berlin is 1979-12-31 23:00 UTC.
  EXPECT_EQ(315529200, DosDateTimeToTime(ZIP_DOS_TIME_MIN));
  // Out-of-range fields are clamped, never fail.
  EXPECT_EQ(DosDateTimeToTime(Dos(2000, 1, 1, 0, 0, 0)), DosDateTimeToTime(Dos(2000, 0, 0, 0, 0, 0)));
  EXPECT_EQ(DosDateTimeToTime(Dos(2001, 2, 28, 23, 59, 58)) + 1,
            DosDateTimeToTime(Dos(2001, 2, 31, 31, 63, 62)));
  EXPECT_EQ(0x7FFFFFFF, DosDateTimeToTime(Dos(2100, 1, 1, 0, 0, 0)));
}

TEST(ZipTimes, FileTimesConvertBothWays) {
  EXPECT_EQ(116444736000000000ull + 10000000ull, ZipTimeToFileTime(1));
  EXPECT_EQ(0u, ZipTimeToFileTime(0));
  EXPECT_EQ(0u, ZipTimeToFileTime(-1));
  EXPECT_EQ(1626352496, ZipFileTimeToTime(ZipTimeToFileTime(1626352496) + 9999999));
  EXPECT_EQ(0, ZipFileTimeToTime(0));
  EXPECT_EQ(0x7FFFFFFF, ZipFileTimeToTime(0x01F0000000000000ull));
}

TEST(ZipAttributes, MapsTheDosBitsOnly) {
  EXPECT_EQ(0x01, ZipMapAttributes(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(0x37, ZipMapAttributes(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                   FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                                   FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(0x20, ZipMapAttributes(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL |
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_COMPRESSED));
}
