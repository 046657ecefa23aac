// Run as the unprivileged user, for whom Wine keeps read-only files from being written: the
// line commands leave a read-only target alone and say so, the change still replaces a
// read-only file and keeps its mark, and the conversions skip it.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/ChangeRun.h"
#include "app/Conversions.h"
#include "app/LineEdit.h"
#include "app/TextSearch.h"
#include "common/TempTree.h"

using testcommon::ReadFileBytes;

namespace {

struct Host : CLineEditHost, CChangeHost {
  std::vector<std::string> failures;
  bool Fail(const char* m) override { return failures.push_back(m), true; }
  bool Stopped() override { return false; }
  void Progress(int, const char*) override {}
  void Progress(int, int, const char*) override {}
  int Ask(const unsigned char*, int, int, int, const ChangeParts&) override { return CHANGE_ANSWER_ALL; }
};

// Deletes the found lines of the engine's files.
std::function<int(CTextSearch&, Host&)> DeleteLines(const char* suffix) {
  return [suffix](CTextSearch& e, Host& host) {
    LineEditRequest request = {true, 0, 1, ""};
    return RunLineEdit(e, nullptr, request, suffix, host).files;
  };
}

}  // namespace

TEST(ReadOnlyTargets, LinesRefuseChangeReplacesConversionsSkip) {
  const std::string before = "hit\n\tkeep\n";
  const struct {
    const char* written;   // the file the command writes ("" the searched one)
    std::function<int(CTextSearch&, Host&)> run;
    int done;              // files the command reports done
    std::string want;      // the written file afterwards
    std::string failure;   // after the written file's path
  } rows[] = {
      {"", DeleteLines(""), 1, before, " konnte nicht erstellt werden !\nDie Datei ist schreibgesch\xFCtzt."},
      {".neu", DeleteLines(".neu"), 1, "old", " konnte nicht erstellt werden !\nDie Datei ist schreibgesch\xFCtzt."},
      {"",
       [](CTextSearch& e, Host& host) {
         unsigned char x = 'X';
         ChangeRequest request = {0, &x, 1, 0, "", 0, false};
         return RunTextChange(e, nullptr, request, false, host).files;
       },
       2, "X\n\tkeep\n", ""},
      {"",
       [](CTextSearch& e, Host&) {
         ConvertMonitor none = {nullptr, nullptr, nullptr};
         return int(ConvertTabsFile(e.GetHitPath(0), 8, 4, false, none) == CONVERT_DONE);
       },
       0, before, ""},
  };
  for (const auto& r : rows) {
    testcommon::TempDir dir;
    std::string a = dir.Write("a.txt", before), b = dir.Write("b.txt", "hit\n");
    std::string target = a + r.written;
    if (*r.written) {
      ASSERT_TRUE(testcommon::WriteFileBytes(target, "old"));
    }
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    CTextSearch e;
    e.SearchFile(a.c_str(), "hit", 0);
    e.SearchFile(b.c_str(), "hit", 0);
    Host host;
    EXPECT_EQ(r.done, r.run(e, host)) << r.written;
    EXPECT_EQ(r.want, ReadFileBytes(target)) << r.written;
    EXPECT_NE(0u, GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY) << r.written;
    EXPECT_EQ(r.failure.empty() ? std::vector<std::string>{} : std::vector<std::string>{"Die Datei " + target + r.failure},
              host.failures);
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}
