// The rename dialog's format check, its messages and the new-name and path rules.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/RenameDlg.h"
#include "text/Match.h"

namespace {

TEST(RenameFormat, CheckTable) {
  struct Case {
    const char* format;
    bool allowPoints;
    int result;
  } cases[] = {
      {"", false, 0},          {"*.bak", false, 0},        {"|a|b|", false, 0},
      {"*|a.b|c|", false, 1},  {"*|a.b|c|", true, 0},      {"a.b|x|y|*.c", false, 0},  // dots outside
      {"|a|b*|", false, 2},    {"|a|?b|", false, 3},       {"|a*?|b|", false, 0},      // wildcards in x
      {"|a|b", false, 4},      {"|a", false, 4},           {"|a|b||c|d|", false, 0},
      {"|a|b||c|d", false, 4}, {"|a|b|.|x|y|", false, 0},  {"|a|b||.x|y|", false, 1},  // per block
      {"|a.|b*|", false, 1},   {"|a.|b*|", true, 2},       {nullptr, false, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.result, CheckRenameFormat(c.format, c.allowPoints)) << (c.format ? c.format : "(null)");
  EXPECT_EQ(nullptr, RenameFormatMessage(0));
  EXPECT_STREQ("< Punkte sind im ersten Tauschblock nicht erlaubt >", RenameFormatMessage(1));
  EXPECT_STREQ("< Wildcards (*?) sind im  ersten Tauschblock nicht erlaubt >", RenameFormatMessage(2));
  EXPECT_STREQ(RenameFormatMessage(2), RenameFormatMessage(3));
  EXPECT_STREQ("< Ein Tauschblock ist nicht mit '|' abgeschlossen >", RenameFormatMessage(4));
  EXPECT_EQ(1u, RenameNameFlags(false, false));
  EXPECT_EQ(11u, RenameNameFlags(true, true));
}

// New names under the dialog's options: swap blocks or not, dots allowed or not, the parts
// outside the blocks as a filter or not ("" = no new name).
TEST(RenameFormat, NamesUnderTheOptions) {
  struct Case {
    const char *format, *name;
    bool points, outside;
    const char* expected;
  } cases[] = {
      {"*.bak", "bericht.txt", false, false, "bericht.bak"},
      {"???.txt", "abcdef.doc", false, false, "abc.txt"},
      {"???.txt", "abcdef.doc", false, true, ""},
      {"|Foto|Urlaub|*", "Foto 001.jpg", false, false, "Urlaub 001.jpg"},
      {"|Foto|Urlaub|*", "Bild.jpg", false, false, ""},
      {"*|.jpeg|.jpg|", "x.jpeg", false, false, ""},
      {"*|.jpeg|.jpg|", "x.jpeg", true, false, "x.jpg"},
      {"*|alt|neu|*.txt", "alt_1.doc", false, false, "neu_1.txt"},
      {"*|alt|neu|*.txt", "alt_1.doc", false, true, ""},
      {"*|alt|neu|*.txt", "alt_1.txt", false, true, "neu_1.txt"},
  };
  for (const Case& c : cases) {
    char out[MAX_PATH];
    int n = RenameByPattern(c.format, (int)strlen(c.name), c.name, out, sizeof out,
                            RenameNameFlags(c.points, c.outside));
    EXPECT_EQ(c.expected, n > 0 ? std::string(out) : std::string()) << c.format << " " << c.name;
  }
  char mask[MAX_PATH];
  EXPECT_EQ(1, RenamePatternToMask("IMG_|????|2023|*.jpg", mask, RenameNameFlags(false, true)));
  EXPECT_STREQ("IMG_*.jpg", mask);
}

TEST(RenameFormat, NewNamesThatStayInTheFolder) {
  struct Case {
    const char* name;
    bool valid;
  } cases[] = {
      {"a.txt", true},        {"Gr\xFC\xDF" "e.txt", true}, {".profile", true},   {"a b", true},
      {"", false},            {".", false},                {"..", false},         {"..\\a.txt", false},
      {"sub\\a.txt", false},  {"sub/a.txt", false},        {"C:a.txt", false},    {"a:stream", false},
      {"a*.txt", false},      {"a?.txt", false},           {"a\"b", false},       {"a<b", false},
      {"a>b", false},         {"a|b", false},              {"a\tb", false},       {"a.", false},
      {"a ", false},          {nullptr, false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.valid, IsValidNewFileName(c.name)) << (c.name ? c.name : "(null)");
}

TEST(RenameFormat, JoinedPathsAreRefusedRatherThanCut) {
  std::string out;
  EXPECT_TRUE(JoinRenamePath("C:\\d\\", "a.txt", out));
  EXPECT_EQ("C:\\d\\a.txt", out);
  const std::string folder = "C:\\" + std::string(240, 'f') + "\\";   // 244 bytes
  EXPECT_TRUE(JoinRenamePath(folder.c_str(), std::string(15, 'n').c_str(), out));   // 259: fits
  EXPECT_EQ(259u, out.size());
  EXPECT_FALSE(JoinRenamePath(folder.c_str(), std::string(16, 'n').c_str(), out));  // 260: refused
  EXPECT_EQ("", out);
}

// Step names of a change of letter case alone: the long form while it fits below MAX_PATH, then
// short names in the same folder; never the file's own name or its new one, never past the limit.
TEST(RenameFormat, StepNamesStayInTheFolderAndBelowTheLimit) {
  struct Case {
    size_t length;      // of the file's full path
    const char *name;   // the file's name (the folder fills up the length)
    const char *to;     // its new name
    const char *first;  // the first step name's name part
    size_t count;
  } cases[] = {
      {20, "abc.txt", "ABC.txt", "abc.txt.vellmorant.tmp", 200},
      {242, "abc.txt", "ABC.txt", "abc.txt.vellmorant.tmp", 110},   // and ".1." to ".9."
      {244, "abc.txt", "ABC.txt", "abc.txt.vellmorant.tmp", 101},
      {245, "abc.txt", "ABC.txt", "~vm0.tmp", 100},
      {250, "abc1.txt", "ABC1.txt", "~vm0.tmp", 100},
      {259, "abc.txt", "ABC.txt", "~0", 100},                        // "~vm0.tmp" has 8 letters
      {259, "ab", "AB", "~0", 100},                                  // "~0" to "~9", "10" to "99"
      {259, "a", "A", "0", 10},
      {259, "0", "0", "1", 9},                                       // never the file's own name
      {255, "~vm0.tmp", "~VM0.TMP", "~0", 100},                      // the next form for 0
  };
  for (const Case &c : cases) {
    const std::string folder = "C:\\" + std::string(c.length - 4 - strlen(c.name), 'f') + "\\";
    const std::string from = folder + c.name, to = folder + c.to;
    ASSERT_EQ(c.length, from.size());
    std::vector<std::string> steps = RenameStepNames(from, to);
    SCOPED_TRACE(std::to_string(c.length) + " " + c.name);
    ASSERT_EQ(c.count, steps.size());
    EXPECT_EQ(folder + c.first, steps[0]);
    std::set<std::string> seen;
    for (const std::string &s : steps) {
      EXPECT_LT(s.size(), size_t(MAX_PATH)) << s;
      EXPECT_EQ(folder, s.substr(0, folder.size())) << s;
      EXPECT_EQ(std::string::npos, s.find('\\', folder.size())) << s;
      EXPECT_NE(0, _stricmp(s.c_str(), from.c_str())) << s;
      EXPECT_NE(0, _stricmp(s.c_str(), to.c_str())) << s;
      EXPECT_TRUE(seen.insert(s).second) << s;
    }
  }
}

}  // namespace
