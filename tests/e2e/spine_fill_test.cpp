// Filling the file list where paths pass the length limit: the warning counts only entries the
// fill would have taken (by the plus and minus filters, the sub-folder switch and the date
// choice), says "1 Datei" for one, and a folder of 258 or 259 characters is read, not "not found".
#include <gtest/gtest.h>

#include <string>

#include "e2e/support/AppSession.h"
#include "e2e/support/FillCases.h"
#include "common/LongPaths.h"

using namespace e2e;
using namespace testcommon;

namespace {

const char kTwo[] =
    "Es wurden 2 Dateien oder Verzeichnisse \xFC" "bergangen: sie konnten nicht gelesen werden, oder ihr Pfad ist zu "
    "lang oder nicht darstellbar.";

// Short neighbours a.txt and b.log, plus long entries of 262 characters below the root: each
// letter of kinds adds one ('t' a .txt file, 'l' a .log file, 'd' a folder holding c.txt).
std::function<std::string(TempTree &)> Root(const std::string &kinds, int year = 0) {
  return [kinds, year](TempTree &t) {
    const std::string &r = t.Root();
    t.Write("a.txt", "a");
    t.Write("b.log", "b");
    for (char k : kinds) {
      if (k == 'd') {
        std::string d = PaddedPath(r, 262, 'd');
        EXPECT_TRUE(MakeLongFolder(d));
        EXPECT_TRUE(MakeLongFile(d + "\\c.txt"));
        continue;
      }
      std::string f = PaddedPath(r, 262, k, k == 't' ? ".txt" : ".log");
      EXPECT_TRUE(MakeLongFile(f));
      if (year) EXPECT_TRUE(SetLongTimes(f, year));
    }
    return r.substr(0, r.size() - 1);
  };
}

// A folder of exactly length characters below the root, holding a.txt and b.log (whose paths
// pass the limit).
std::function<std::string(TempTree &)> LongFolder(size_t length) {
  return [length](TempTree &t) {
    std::string d = PaddedPath(t.Root(), length, 'f');
    EXPECT_TRUE(MakeLongFolder(d));
    EXPECT_TRUE(MakeLongFile(d + "\\a.txt"));
    EXPECT_TRUE(MakeLongFile(d + "\\b.log"));
    t.Write("n.txt", "neighbour");
    return d;
  };
}

class SpineFill : public ::testing::Test {
 protected:
  void SetUp() override { DeleteUserKey(kAppKey); }
  void TearDown() override { DeleteUserKey(kAppKey); }
};

}  // namespace

TEST_F(SpineFill, CommandLineCountsOnlyWhatTheFillWouldTake) {
  const FillCase cases[] = {
      {"a long .log that the plus filter leaves out", Root("l"), "-p:*.txt", {}, "", 1},
      {"a long .txt that the plus filter takes", Root("t"), "-p:*.txt", {}, kLeftOutOne, 1},
      {"a long .txt that the minus filter leaves out", Root("t"), "-p:*.txt -m:t*", {}, "", 1},
      {"a long sub-folder without sub-folders", Root("d"), "-p:*.txt -s", {}, "", 1},
      {"a long sub-folder searched", Root("d"), "-p:*.txt", {}, kLeftOutOne, 1},
      {"a long sub-folder, .txt and .log", Root("dtl"), "-p:*.txt", {}, kTwo, 1},
      {"a folder of 259 characters", LongFolder(259), "-p:*.txt", {}, kLeftOutOne, 0},
      {"a folder of 259 characters, nothing fits", LongFolder(259), "-p:*.doc", {}, "", 0},
      {"a folder of 258 characters", LongFolder(258), "-p:*", {}, kTwo, 0},
  };
  for (const FillCase &c : cases) RunCommandLineFill(c);
}

TEST_F(SpineFill, DialogCountsOnlyWhatTheFillWouldTake) {
  FillChoices txt;
  txt.plus = "*.txt";
  FillChoices flat = txt;
  flat.subDirs = false;
  FillChoices changedAfter = txt, changedBefore = txt;
  changedAfter.timeMode = 1041;
  changedBefore.timeMode = 1040;
  changedAfter.time = changedBefore.time = "01.01.2010 00:00";
  const FillCase cases[] = {
      {"a folder of 259 characters", LongFolder(259), "", txt, kLeftOutOne, 0},
      {"a long sub-folder, no sub-folders", Root("d"), "", flat, "", 1},
      {"a long .txt of 2001, changed after 2010", Root("t", 2001), "", changedAfter, "", 1},
      {"a long .txt of 2001, changed before 2010", Root("t", 2001), "", changedBefore, kLeftOutOne, 0},
  };
  for (const FillCase &c : cases) RunDialogFill(c);
}
