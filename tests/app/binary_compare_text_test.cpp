// The texts of the byte-wise compare: positions past 24 bits, rows cut by the file's end,
// control characters in the character column.
#include <gtest/gtest.h>

#include <string>

#include "app/BinaryCompareDlg.h"

TEST(BinaryCompareText, FieldsAndRows) {
  char out[64];
  FormatDiffPosition(out, 0x1234567);
  EXPECT_STREQ(" 0x234567 / 19088743", out);
  FormatDiffListLine(out, 0x0A, 0xFF, 0x1000000);
  EXPECT_STREQ(" 0x0A 0xFF 0x000000 / 16777216", out);
  // Past 4 GB the decimal offset is whole.
  FormatDiffPosition(out, 0x123456789ULL);
  EXPECT_STREQ(" 0x456789 / 4886718345", out);
  FormatDiffListLine(out, 0x00, 0x01, 0x100000007ULL);
  EXPECT_STREQ(" 0x00 0x01 0x000007 / 4294967303", out);

  const std::string data = std::string("ABCDEFGH") + "ab\t\x1F\xE4";  // 13 bytes
  const BYTE* bytes = reinterpret_cast<const BYTE*>(data.data());
  const struct {
    ULONGLONG offset, base;  // base: the file offset of the data's first byte
    const char* row;
  } kRows[] = {
      {3, 0, " 000000  41 42 43 44  45 46 47 48  ABCDEFGH"},
      {12, 0, " 000008  61 62 09 1F  E4           ab..\xE4"},
      {0x100000009ULL, 0x100000000ULL, " 000008  61 62 09 1F  E4           ab..\xE4"},
  };
  for (const auto& r : kRows) {
    int n = FormatDiffRow(out, bytes, DWORD(data.size()), r.offset, r.base);
    EXPECT_EQ(std::string(r.row), std::string(out, size_t(n))) << r.offset;
  }
}
