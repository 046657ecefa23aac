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

  const std::string data = std::string("ABCDEFGH") + "ab\t\x1F\xE4";  // 13 bytes
  const BYTE* bytes = reinterpret_cast<const BYTE*>(data.data());
  const struct {
    DWORD offset;
    const char* row;
  } kRows[] = {
      {3, " 000000  41 42 43 44  45 46 47 48  ABCDEFGH"},
      {12, " 000008  61 62 09 1F  E4           ab..\xE4"},
  };
  for (const auto& r : kRows) {
    int n = FormatDiffRow(out, bytes, DWORD(data.size()), r.offset);
    EXPECT_EQ(std::string(r.row), std::string(out, size_t(n))) << r.offset;
  }
}
