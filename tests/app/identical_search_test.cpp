// The identical-files search: which pairs are offered (never one file twice, never a file
// whose size changed), and which files the answers delete.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/IdenticalFiles.h"
#include "common/TempTree.h"
#include "system/StrList.h"

namespace {

// Answers pairs from a script (then keeps both) and records them by file name.
class ScriptSink : public CIdenticalSink {
 public:
  explicit ScriptSink(std::vector<int> answers) : answers_(answers) {}
  bool Stopped() override { return false; }
  void Current(int, int) override {}
  void Done(int) override {}
  int Pair(const char *upper, const char *lower) override {
    pairs += Name(upper) + "=" + Name(lower) + " ";
    if (next_ < answers_.size()) return answers_[next_++];
    return IDENT_KEEP;
  }
  void DeleteFailed(const char *path) override { pairs += "failed:" + Name(path) + " "; }
  std::string pairs;

 private:
  static std::string Name(const char *path) {
    std::string s = path;
    return s.substr(s.find_last_of("\\/") + 1);
  }
  std::vector<int> answers_;
  size_t next_ = 0;
};

}  // namespace

TEST(IdenticalSearch, OffersPairsOfTwoFilesAndDeletesTheChosenOne) {
  struct Case {
    const char *label;
    std::vector<std::string> listed;   // names below the folder; "=" + name lists it with '/'
    std::vector<int> answers;
    const char *pairs;
    const char *remaining;             // of a, b, c (in that order)
  } const cases[] = {
      {"three copies kept", {"a", "b", "sub\\c", "d", "e"}, {}, "a=b a=c b=c ", "abc"},
      {"one file listed three ways", {"a", "A", "=a", "sub\\..\\a"}, {}, "", "abc"},
      {"upper deleted twice", {"a", "b", "sub\\c"}, {IDENT_DELETE_UPPER, IDENT_DELETE_UPPER}, "a=b b=c ", "c"},
      {"lower deleted, then kept", {"a", "b", "sub\\c"}, {IDENT_DELETE_LOWER, IDENT_KEEP}, "a=b a=c ", "ac"},
      {"a copy that grew since it was listed", {"a", "grown"}, {IDENT_DELETE_UPPER}, "", "abc"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    testcommon::TempDir dir("vmident_");
    CreateDirectoryA((dir / "sub").c_str(), nullptr);
    for (const char *name : {"a", "b", "sub\\c"}) dir.Write(name, "same12345");
    dir.Write("d", "diff12345");
    dir.Write("e", "x");
    dir.Write("grown", "same12345+");
    CStrList files(4);
    for (const std::string &name : c.listed) {
      std::string path = name[0] == '=' ? dir.Path() + "/" + name.substr(1) : dir / name;
      DWORD size = name == "grown" ? 9 : 0xFFFFFFFF;
      files.Insert(path.c_str(), -1, &size);
    }
    IdenticalPrepare(files);
    ScriptSink sink(c.answers);
    IdenticalSearch(files, sink);
    EXPECT_EQ(c.pairs, sink.pairs);
    std::string remaining;
    for (const char *name : {"a", "b", "sub\\c"})
      if (GetFileAttributesA((dir / name).c_str()) != INVALID_FILE_ATTRIBUTES) remaining += name[0] == 's' ? 'c' : name[0];
    EXPECT_EQ(c.remaining, remaining);
  }
}
