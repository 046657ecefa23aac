// Inserting and deleting lines at found lines without windows: byte-exact edits for both modes
// around the first, middle and last lines, line ends kept, lines split as the search counts
// them, and the files written under a suffix or over themselves.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/LineEdit.h"
#include "app/TextSearch.h"
#include "common/TempTree.h"

using testcommon::ReadFileBytes;
using testcommon::TempDir;

TEST(LinesEdit, EditsAreByteExact) {
  const std::string crlf = "a\r\nb\r\nc\r\n", lf = "a\nb\nc\n", kSame = "(unchanged)";
  // Longer lines are walked 16 bytes at a time: line 2's CR LF is split between two such pieces,
  // line 6 ends with a lone CR as the last byte of one.
  const std::string wide = "a\r\nB23456789abcdef\r\nC\rD\n\rE23456789\rF\r\nG";
  const struct {
    std::string data;
    std::vector<int> lines;
    bool del;
    int position, count;
    const char* text;
    std::string want;   // kSame: nothing changed
  } cases[] = {
      {crlf, {1}, true, 0, 1, "", "b\r\nc\r\n"},
      {crlf, {2}, true, 0, 1, "", "a\r\nc\r\n"},
      {crlf, {3}, true, 0, 1, "", "a\r\nb\r\n"},
      {crlf, {2}, true, -1, 3, "", ""},
      {crlf, {1}, true, -1, 2, "", "b\r\nc\r\n"},
      {crlf, {3}, true, 0, 3, "", "a\r\nb\r\n"},
      {crlf, {2}, true, 2, 1, "", kSame},
      {crlf, {2, 3}, true, 0, 1, "", "a\r\n"},
      {crlf, {2, 2}, true, 0, 1, "", "a\r\nc\r\n"},
      {crlf, {2, 1}, true, 0, 2, "", "c\r\n"},
      {lf, {2}, false, 0, 0, "X", "a\nX\nb\nc\n"},
      {lf, {2}, false, 1, 0, "X\r\nY", "a\nb\nX\nY\nc\n"},
      {lf, {2, 2}, false, 1, 0, "X\n\nY\n", "a\nb\nX\n\nY\nc\n"},
      {lf, {2}, false, -5, 0, "X", "X\na\nb\nc\n"},
      {crlf, {3}, false, 1, 0, "X", "a\r\nb\r\nc\r\nX\r\n"},
      {"a\r\nb", {2}, false, 1, 0, "X\nY", "a\r\nb\r\nX\r\nY\r\n"},
      {"a\n\rb\n", {3}, true, 0, 1, "", "a\n\r"},
      {"a\n\rb\n", {2}, false, 0, 0, "X", "a\nX\n\rb\n"},
      {wide, {2}, true, 0, 1, "", "a\r\nC\rD\n\rE23456789\rF\r\nG"},
      {wide, {3}, true, 0, 3, "", "a\r\nB23456789abcdef\r\nE23456789\rF\r\nG"},
      {wide, {6}, true, 0, 1, "", "a\r\nB23456789abcdef\r\nC\rD\n\rF\r\nG"},
      {wide, {7}, false, 0, 0, "X", "a\r\nB23456789abcdef\r\nC\rD\n\rE23456789\rX\r\nF\r\nG"},
      {wide, {8}, false, 1, 0, "X", wide + "\r\nX\r\n"},
  };
  for (const auto& c : cases) {
    LineEditRequest request = {c.del, c.position, c.count, c.text};
    std::string out = kSame;
    bool changed = EditFileLines(reinterpret_cast<const unsigned char*>(c.data.data()), int(c.data.size()), c.lines,
                                 request, out);
    EXPECT_EQ(c.want != kSame, changed) << c.data << " " << c.lines[0];
    EXPECT_EQ(c.want, out) << c.data << " " << c.lines[0];
  }
}

namespace {

struct Host : CLineEditHost {
  std::vector<std::string> failures;
  bool Fail(const char* m) override { return failures.push_back(m), true; }
  bool Stopped() override { return false; }
  void Progress(int, const char*) override {}
};

}  // namespace

TEST(LinesEdit, FilesAreWrittenUnderTheSuffixOrReplacedWhole) {
  for (const char* suffix : {".neu", ""}) {
    TempDir dir;
    std::string a = dir.Write("a.txt", "keep\nhit 1\nkeep\n"), b = dir.Write("b.txt", "hit 2");
    CTextSearch e;
    e.SearchFile(a.c_str(), "hit", 0);
    e.SearchFile(b.c_str(), "hit", 0);
    DeleteFileA(b.c_str());   // gone before the run: reported, the run goes on
    LineEditRequest request = {true, 0, 1, ""};
    Host host;
    LineEditResult r = RunLineEdit(e, nullptr, request, suffix, host);
    EXPECT_EQ(1, r.files);
    EXPECT_EQ(std::vector<std::string>{"Die Datei " + b + " konnte nicht ge\xF6" "ffmet werden !"}, host.failures);
    EXPECT_EQ("keep\nkeep\n", ReadFileBytes(a + suffix));
    if (*suffix) {
      EXPECT_EQ("keep\nhit 1\nkeep\n", ReadFileBytes(a));
    }
    EXPECT_EQ(*suffix ? 2u : 1u, dir.List().size());   // no temporary file left
  }
}

// A suffix that names another path is refused before anything is written.
TEST(LinesEdit, SuffixesThatLeaveTheFolderAreRefused) {
  const struct {
    const char* suffix;
    bool written;
  } cases[] = {{".neu", true}, {"\\..\\b.txt", false}, {"/x", false}, {":s", false}, {"*", false},
               // Windows drops dots and blanks at the end of a name: these would name the file itself.
               {".", false}, {" ", false}, {". .", false}, {".neu.", true}};
  for (const auto& c : cases) {
    TempDir dir;
    std::string a = dir.Write("a.txt", "hit\nkeep\n"), b = dir.Write("b.txt", "other\n");
    CTextSearch e;
    e.SearchFile(a.c_str(), "hit", 0);
    LineEditRequest request = {true, 0, 1, ""};
    Host host;
    LineEditResult r = RunLineEdit(e, nullptr, request, c.suffix, host);
    EXPECT_EQ(c.written ? 1 : 0, r.files) << c.suffix;
    EXPECT_EQ(c.written ? 0u : 1u, host.failures.size()) << c.suffix;
    EXPECT_EQ("other\n", ReadFileBytes(b)) << c.suffix;
    EXPECT_EQ("hit\nkeep\n", ReadFileBytes(a)) << c.suffix;
    EXPECT_EQ(c.written ? 3u : 2u, dir.List().size()) << c.suffix;
  }
}

// A file found twice, also under another spelling, is edited once; a 2 MiB file is mapped, a
// 1 GB file streamed (no temporary file left, the file beside it done too).
TEST(LinesEdit, EachFileOnceWhateverItsSize) {
  const long long kBig = 1LL << 30;
  const std::string before = "keep\nhit 1\nkeep\n";
  const struct {
    bool del;
    int position, count;
    const char *text, *suffix;
    long long bigA;   // a.txt grown to this size with zeros after the search
    std::string wantA, wantB;
  } rows[] = {
      {true, 0, 1, "", "", 0, "keep\nkeep\n", ""},
      {false, 1, 0, "N", "", 0, "keep\nhit 1\nN\nkeep\n", "hit 2\nN\n"},
      {false, 1, 0, "N", ".neu", kBig, "keep\nhit 1\nN\nkeep\n", "hit 2\nN\n"},
      {true, 0, 1, "", "", 2 << 20, "keep\nkeep\n", ""},   // held as a mapping
  };
  for (const auto& r : rows) {
    TempDir dir;
    std::string a = dir.Write("a.txt", before), b = dir.Write("b.txt", "hit 2");
    CTextSearch e;
    for (const std::string& path : {a, a, dir.Path() + "/A.TXT", b}) e.SearchFile(path.c_str(), "hit", 0);
    if (r.bigA) {
      HANDLE h = CreateFileA(a.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      LARGE_INTEGER end;
      end.QuadPart = r.bigA;
      ASSERT_TRUE(SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h));
      CloseHandle(h);
    }
    LineEditRequest request = {r.del, r.position, r.count, r.text};
    Host host;
    LineEditResult result = RunLineEdit(e, nullptr, request, r.suffix, host);
    EXPECT_EQ(2, result.files);
    EXPECT_TRUE(host.failures.empty());
    EXPECT_EQ(r.wantB, ReadFileBytes(b + r.suffix));
    std::string outA = a + r.suffix;
    if (r.bigA) {
      WIN32_FILE_ATTRIBUTE_DATA d = {};
      ASSERT_TRUE(GetFileAttributesExA(outA.c_str(), GetFileExInfoStandard, &d));
      EXPECT_EQ(r.bigA + (long long)r.wantA.size() - (long long)before.size(), (long long)d.nFileSizeHigh << 32 | d.nFileSizeLow);
      HANDLE h = CreateFileA(outA.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      std::string head(r.wantA.size() + 2, 'x');
      DWORD got = 0;
      EXPECT_TRUE(ReadFile(h, &head[0], DWORD(head.size()), &got, nullptr));
      CloseHandle(h);
      EXPECT_EQ(r.wantA + std::string(2, '\0'), head);
    } else {
      EXPECT_EQ(r.wantA, ReadFileBytes(outA));
    }
    EXPECT_EQ(*r.suffix ? 4u : 2u, dir.List().size());   // no temporary file left
  }
}

// A file too large to be held is read in blocks of 1 MiB: a CR LF split between two blocks and
// a CR that ends a block each end one line.
TEST(LinesEdit, LinesEndAcrossTheBlocksOfALargeFile) {
  const long long kMiB = 1 << 20, kSize = 65 * kMiB;
  TempDir dir;
  std::string a = dir.Write("a.txt", "keep\nhit 1\nkeep\n");
  CTextSearch e;
  e.SearchFile(a.c_str(), "hit", 0);
  HANDLE h = CreateFileA(a.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  auto put = [&](long long at, const char* bytes) {
    LARGE_INTEGER to;
    to.QuadPart = at;
    DWORD done = 0;
    return SetFilePointerEx(h, to, nullptr, FILE_BEGIN) && WriteFile(h, bytes, DWORD(strlen(bytes)), &done, nullptr);
  };
  LARGE_INTEGER end;
  end.QuadPart = kSize;
  // Lines 4 (to the LF at 1 MiB) and 5 (to the CR at 2 MiB - 1), then line 6 to the end.
  ASSERT_TRUE(SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h) && put(kMiB - 1, "\r\n") &&
              put(2 * kMiB - 1, "\r"));
  CloseHandle(h);
  LineEditRequest request = {false, 4, 0, "N"};   // before line 6
  Host host;
  EXPECT_EQ(1, RunLineEdit(e, nullptr, request, ".neu", host).files);
  h = CreateFileA((a + ".neu").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  LARGE_INTEGER size = {}, at;
  at.QuadPart = 2 * kMiB - 2;
  char got[6] = {};
  DWORD n = 0;
  EXPECT_TRUE(GetFileSizeEx(h, &size) && SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && ReadFile(h, got, 6, &n, nullptr));
  CloseHandle(h);
  EXPECT_EQ(kSize + 2, size.QuadPart);
  EXPECT_EQ(std::string("\0\rN\n\0\0", 6), std::string(got, n));
}
