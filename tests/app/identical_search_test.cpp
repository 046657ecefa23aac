// The identical-files search: which pairs are offered (never one file twice, never a file
// whose size changed), and which files the answers delete.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "app/IdenticalFiles.h"
#include "common/TempTree.h"
#include "system/Files.h"
#include "system/MapFile.h"
#include "system/Paths.h"
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
  // Names relative to this folder (its length); 0: the name part alone.
  size_t root = 0;

 private:
  std::string Name(const char *path) const {
    std::string s = path;
    return root ? s.substr(root) : s.substr(s.find_last_of("\\/") + 1);
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
    const char *held;                  // held open without delete sharing while it runs ("": none)
  } const cases[] = {
      {"three copies kept", {"a", "b", "sub\\c", "d", "e"}, {}, "a=b a=c b=c ", "abc", ""},
      {"one file listed three ways", {"a", "A", "=a", "sub\\..\\a"}, {}, "", "abc", ""},
      {"upper deleted twice", {"a", "b", "sub\\c"}, {IDENT_DELETE_UPPER, IDENT_DELETE_UPPER}, "a=b b=c ", "c", ""},
      {"lower deleted, then kept", {"a", "b", "sub\\c"}, {IDENT_DELETE_LOWER, IDENT_KEEP}, "a=b a=c ", "ac", ""},
      // A file that could not be deleted leaves the list all the same: not offered again.
      {"lower not deleted, then kept", {"a", "b", "sub\\c"}, {IDENT_DELETE_LOWER, IDENT_KEEP}, "a=b failed:b a=c ",
       "abc", "b"},
      {"upper not deleted", {"a", "b", "sub\\c"}, {IDENT_DELETE_UPPER}, "a=b failed:a b=c ", "abc", "a"},
      {"a copy that grew since it was listed", {"a", "grown"}, {IDENT_DELETE_UPPER}, "", "abc", ""},
      {"two files each listed twice: one pair", {"a", "b", "=a", "B", "a"}, {}, "a=b ", "abc", ""},
      // Together too large for the address space: compared by reading.
      {"two copies of 1 GB", {"big1", "big2", "a"}, {}, "big1=big2 ", "abc", ""},
      // Listed by the low 32 bits of their sizes, as the five zero bytes of "zero5" are.
      {"two copies beyond 4 GB", {"huge1", "zero5", "huge2"}, {}, "huge1=huge2 ", "abc", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    testcommon::TempDir dir("vmident_");
    CreateDirectoryA((dir / "sub").c_str(), nullptr);
    for (const char *name : {"a", "b", "sub\\c"}) dir.Write(name, "same12345");
    dir.Write("d", "diff12345");
    dir.Write("e", "x");
    dir.Write("grown", "same12345+");
    dir.Write("zero5", std::string(5, '\0'));
    for (const char *big : {"big1", "big2", "huge1", "huge2"}) {
      if (std::find(c.listed.begin(), c.listed.end(), big) == c.listed.end()) continue;
      HANDLE h = CreateFileA((dir / big).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      LARGE_INTEGER at;
      at.QuadPart = big[0] == 'b' ? 1LL << 30 : 0x100000005LL;
      ASSERT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h));  // sparse
      CloseHandle(h);
    }
    CStrList files(4);
    for (const std::string &name : c.listed) {
      std::string path = name[0] == '=' ? dir.Path() + "/" + name.substr(1) : dir / name;
      DWORD size = name == "grown" ? 9 : 0xFFFFFFFF;
      files.Insert(path.c_str(), -1, &size);
    }
    IdenticalPrepare(files);
    ScriptSink sink(c.answers);
    HANDLE held = *c.held ? CreateFileA((dir / c.held).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr)
                          : nullptr;
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    IdenticalSearch(files, sink);
    if (held) CloseHandle(held);
    EXPECT_EQ(c.pairs, sink.pairs);
    std::string remaining;
    for (const char *name : {"a", "b", "sub\\c"})
      if (GetFileAttributesA((dir / name).c_str()) != INVALID_FILE_ATTRIBUTES) remaining += name[0] == 's' ? 'c' : name[0];
    EXPECT_EQ(c.remaining, remaining);
  }
}

// A stop that comes while the files are read for their keys ends the search within a block,
// not after the file (two 3.75 GB sparse files: this thread reads one, the helper the other;
// reading them both takes seconds).
TEST(IdenticalSearch, AStopLandsInsideALargeFile) {
  class StopSink : public ScriptSink {
   public:
    StopSink() : ScriptSink({}) {}
    // From the third question on, which comes from inside the first file's key.
    bool Stopped() override { return ++asked_ >= 3; }

   private:
    int asked_ = 0;
  };
  testcommon::TempDir dir("vmident_");
  const DWORD size = 0xF0000000u;
  CStrList files(4);
  for (const char *name : {"big1", "big2"}) {
    HANDLE h = CreateFileA((dir / name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = size;
    ASSERT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h));
    CloseHandle(h);
    files.Insert((dir / name).c_str(), -1, &size);
  }
  IdenticalPrepare(files);
  StopSink sink;
  const auto start = std::chrono::steady_clock::now();
  IdenticalSearch(files, sink);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_EQ("", sink.pairs);
  EXPECT_LT(took.count(), 1000);
}

namespace {

bool SameIdentity(const char *a, const char *b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  for (auto [path, info] : {std::make_pair(a, &ia), std::make_pair(b, &ib)}) {
    HANDLE h = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    BOOL ok = h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, info);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (!ok) return true;
  }
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
         ia.nFileIndexLow == ib.nFileIndexLow;
}

// The plain search, step by step as specified: each file in size order is mapped and compared
// with every later file of its listed size; a pair of two files of equal bytes is offered.
void PlainSearch(CStrList &files, CIdenticalSink &sink) {
  auto size = [&](int i) { return *files.Item<DWORD>(i); };
  CMapFile first, second;
  for (int i = 0; i < files.m_nCount; ++i) {
    if (!first.Open(files.GetString(i)) || first.m_dwSize != size(i)) continue;
    for (int j = i + 1; j < files.m_nCount && size(j) == size(i); ++j) {
      const char *a = files.GetString(i), *b = files.GetString(j);
      if (PathCompareExA(a, b, 3) == 0 || SameIdentity(a, b)) continue;
      if (!second.Open(b) || second.m_dwSize != size(i) || memcmp(first.m_pData, second.m_pData, size(i)) != 0) continue;
      const bool firstIsUpper = PathCompareA(a, b) <= 0;
      const int answer = sink.Pair(firstIsUpper ? a : b, firstIsUpper ? b : a);
      if (answer != IDENT_DELETE_UPPER && answer != IDENT_DELETE_LOWER) continue;
      const bool deleteFirst = (answer == IDENT_DELETE_UPPER) == firstIsUpper;
      first.Close();
      second.Close();
      const int victim = deleteFirst ? i : j;
      // Deleted or not, the chosen file leaves the list after the answer.
      if (!DeleteFileForceA(files.GetString(victim))) sink.DeleteFailed(files.GetString(victim));
      files.RemoveAt(victim);
      if (deleteFirst) {
        --i;
        break;
      }
      --j;
      if (!first.Open(files.GetString(i)) || first.m_dwSize != size(i)) break;
    }
  }
}

}  // namespace

// Random lists (sizes shared by many files, copies, files differing only in their last byte,
// empty files, hard links, files listed twice, a read-only copy) with random answers: the
// search offers the pairs of the plain search in the same order and leaves the same files.
TEST(IdenticalSearch, PairsAndOrderOfThePlainSearch) {
  uint32_t seed = 20240611;
  auto next = [&](uint32_t n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
  for (int round = 0; round < 24; ++round) {
    SCOPED_TRACE(round);
    // Contents: a few sizes, a few variants per size; variant 1 differs from 0 in its last byte.
    const int count = 6 + int(next(20));
    std::vector<std::string> names, contents;
    for (int k = 0; k < count; ++k) {
      const size_t length = next(4) == 0 ? 0 : 1 + 4093 * next(3);
      std::string bytes(length, char('a' + length % 7));
      const uint32_t variant = next(3);
      if (variant && length) bytes.back() = char(bytes.back() + variant);
      names.push_back((next(2) ? "sub\\f" : "f") + std::to_string(k));
      contents.push_back(bytes);
    }
    std::vector<int> script;
    for (int k = 0; k < 40; ++k) script.push_back(1 + int(next(3)));
    std::vector<std::string> listed;   // names, some twice, one by another spelling
    for (int k = 0; k < count; ++k) {
      listed.push_back(names[size_t(k)]);
      if (next(5) == 0) listed.push_back(next(2) ? names[size_t(k)] : "=" + names[size_t(k)]);
    }
    const bool link = next(2) != 0, readOnly = next(2) != 0;
    std::string outcome[2];
    for (int run = 0; run < 2; ++run) {
      testcommon::TempDir dir(run ? "vmidentnew_" : "vmidentplain_");
      CreateDirectoryA((dir / "sub").c_str(), nullptr);
      for (size_t k = 0; k < names.size(); ++k) dir.Write(names[k], contents[k]);
      if (link && CreateHardLinkA((dir / "link").c_str(), (dir / names[0]).c_str(), nullptr)) listed.push_back("link");
      if (readOnly) SetFileAttributesA((dir / names[1]).c_str(), FILE_ATTRIBUTE_READONLY);
      CStrList files(4);
      for (const std::string &name : listed) {
        std::string path = name[0] == '=' ? dir.Path() + "/" + name.substr(1) : dir / name;
        DWORD unknown = 0xFFFFFFFF;
        files.Insert(path.c_str(), -1, &unknown);
      }
      if (link) listed.pop_back();
      IdenticalPrepare(files);
      ScriptSink sink(script);
      sink.root = dir.Path().size() + 1;
      if (run)
        IdenticalSearch(files, sink);
      else
        PlainSearch(files, sink);
      outcome[run] = sink.pairs + "| left:";
      for (const std::string &name : names)
        if (GetFileAttributesA((dir / name).c_str()) != INVALID_FILE_ATTRIBUTES) outcome[run] += " " + name;
      SetFileAttributesA((dir / names[1]).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    EXPECT_EQ(outcome[0], outcome[1]);
  }
}
