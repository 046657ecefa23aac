// The change of found entries without windows: every mode byte for byte, the new bytes of text
// and value inputs, overlapping and unsorted hits, the query's answers over several files, and
// failures that must leave the original file as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ChangeRun.h"
#include "app/FileCache.h"
#include "app/ResultStamps.h"
#include "app/TextSearch.h"
#include "common/TempTree.h"

using testcommon::ReadFileBytes;
using testcommon::TempDir;

namespace {

struct StringOut : CChangeOutput {
  std::string s;
  bool Write(const void* d, size_t n) override { return s.append(static_cast<const char*>(d), n), true; }
};

// Answers from a script; records failures; never stops by itself.
struct ScriptHost : CChangeHost {
  std::vector<int> answers;
  size_t asked = 0;
  bool goOn = true;
  std::vector<std::string> failures;
  int Ask(const unsigned char*, int, int, int, const ChangeParts&) override {
    return asked < answers.size() ? answers[asked++] : CHANGE_ANSWER_STOP;
  }
  bool Fail(const char* m) override { return failures.push_back(m), goOn; }
  bool Stopped() override { return false; }
  void Progress(int, int, const char*) override {}
};

// Rewrites data with one hit by mode; the new text is prepared as the change command does.
std::string Change(const std::string& data, ChangeHit hit, int mode, const char* text, bool special,
                   const char* offset, bool fold = false, ChangeHit* out = nullptr) {
  unsigned char bytes[CHANGE_MAX_BYTES];
  int n = PrepareChangeText(text, special, bytes);
  std::string off = offset;
  ChangeRequest request = {mode, bytes, n, ParseChangeOffset(offset), off.c_str(), int(off.size()), fold};
  StringOut o;
  EXPECT_EQ(1, RewriteFileHits(reinterpret_cast<const unsigned char*>(data.data()), int(data.size()), &hit, 1, request,
                               o, nullptr, nullptr));
  if (out) *out = hit;
  return o.s;
}

}  // namespace

TEST(ChangeEdit, EveryModeRewritesTheFoundTextByteExact) {
  const std::string d = "x=[Hello World];\n";
  const struct {
    int mode;
    const char *text, *offset;
    bool special, fold;
    std::string want;
  } cases[] = {
      {0, "Bye", "", false, false, "x=[Bye];\n"},
      {1, "Bye", "0", false, false, "x=[ByeHello World];\n"},
      {1, "Bye", " +5", false, false, "x=[Bye World];\n"},
      {1, "Bye", "99", false, false, "x=[Bye];\n"},
      {1, "Bye", "-3", false, false, "x=[ByeHello World];\n"},
      {2, "Bye", "5", false, false, "x=[HelloBye];\n"},
      {2, "Bye", "-1", false, false, "x=[Bye];\n"},
      {2, "Bye", "99", false, false, "x=[Hello WorldBye];\n"},
      {3, "Bye", "\\w", false, false, "x=[Bye World];\n"},
      {3, "Bye", "zz", false, false, "x=[ByeHello World];\n"},
      {3, "Bye", "hello", false, true, "x=[Bye World];\n"},
      {4, "Bye", "\\w\\_", false, false, "x=[Hello Bye];\n"},
      {4, "Bye", "zz", false, false, "x=[Bye];\n"},
      {0, "a\\nb", "", true, false, "x=[a\nb];\n"},
      {0, "a\\nb", "", false, false, "x=[a\\nb];\n"},
      {0, "\"q\\0", "", true, false, std::string("x=[\"q\0];\n", 9)},
      {0, "", "", false, false, "x=[];\n"},
  };
  for (const auto& c : cases) {
    ChangeHit h = {3, 11};
    EXPECT_EQ(c.want, Change(d, h, c.mode, c.text, c.special, c.offset, c.fold, &h)) << c.mode << " " << c.offset;
    EXPECT_EQ(3, h.pos);
    EXPECT_EQ(int(c.want.size() - d.size()) + 11, h.length);
  }
}

TEST(ChangeEdit, OverlappingHitsAreTrimmedAndQueryLinesShowThePieces) {
  // The second hit begins inside the first: only its part behind it is replaced; the third
  // lies wholly inside and the fourth passes the end.
  const std::string d = "abcdefgh";
  ChangeHit hits[] = {{1, 3}, {2, 4}, {2, 1}, {7, 5}};
  unsigned char x = 'X';
  ChangeRequest request = {0, &x, 1, 0, "", 0, false};
  StringOut o;
  EXPECT_EQ(3, RewriteFileHits(reinterpret_cast<const unsigned char*>(d.data()), 8, hits, 4, request, o, nullptr,
                               nullptr));
  EXPECT_EQ("aXXgX", o.s);
  EXPECT_EQ(2, hits[1].pos);
  EXPECT_EQ(1, hits[1].length);
  EXPECT_EQ(0, hits[2].length);

  const std::string line = "first\r\n0123456789012345678901234567890123456789 found\tX rest\nnext";
  int before = 0, after = 0;
  int pos = int(line.find("found"));
  ChangeContext(reinterpret_cast<const unsigned char*>(line.data()), int(line.size()), pos, 5, &before, &after);
  EXPECT_EQ(pos - 32, before);
  EXPECT_EQ(line.find("\nnext"), size_t(after));
  const unsigned char* p = reinterpret_cast<const unsigned char*>("ab\tcdefg");
  const unsigned char* pieces[5] = {p, p + 1, p + 2, p + 4, p + 5};
  int lengths[5] = {1, 1, 2, 1, 3};
  char text[8];
  unsigned char colors[8];
  EXPECT_EQ(7, BuildChangeQueryLine(pieces, lengths, text, colors, 8));
  EXPECT_EQ("ab cdef", std::string(text));
  EXPECT_EQ(std::string("\0\5\4\4\5\0\0", 7), std::string(reinterpret_cast<char*>(colors), 7));
}

TEST(ChangeEdit, ValueInputsGiveTheirBytesOrAreRefused) {
  const struct {
    const char* text;
    int mode, offset;
    std::string want;  // empty: refused
  } cases[] = {
      {"-2", 0, 0, "\xFE\xFF\xFF\xFF"},
      {"0x41", 1, 8, std::string("A\0\0\0\0\0\0\0", 8)},
      {"0x41", 1, 300, std::string("A\0\0\0", 4)},
      {":41 42", 0, 0, "AB"},
      {"\"hi\"", 0, 0, "hi"},
      {":4?", 0, 0, ""},
      {"", 0, 0, ""},
      {"  ", 1, 4, ""},
  };
  for (const auto& c : cases) {
    unsigned char out[CHANGE_MAX_BYTES];
    const char* error = nullptr;
    int n = PrepareChangeValue(c.text, c.mode, c.offset, out, &error);
    EXPECT_EQ(c.want, std::string(reinterpret_cast<char*>(out), size_t(n))) << c.text;
    EXPECT_EQ(c.want.empty(), error != nullptr) << c.text;
  }
}

TEST(ChangeEdit, RunRewritesEachFileOnceInPositionOrder) {
  TempDir dir;
  std::string a = dir.Write("a.txt", "one two one\r\none"), b = dir.Write("b.txt", "no hit"),
              c = dir.Write("c.txt", "x one"), d = dir.Write("d.txt", "one");
  CTextSearch e;
  e.SearchFile(a.c_str(), "one", 0);
  e.SearchFile(b.c_str(), "one", 0);
  e.SearchFile(c.c_str(), "one", 0);
  e.SearchFile(d.c_str(), "one", 0);
  // d grows to 2 MiB after the search: a file that large is mapped rather than read.
  HANDLE h = CreateFileA(d.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = 2 << 20;
  ASSERT_TRUE(SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h));
  CloseHandle(h);
  // Listed twice: a found again, c under another spelling. Each file is rewritten once, each
  // offset changed once.
  e.SearchFile(a.c_str(), "one", 0);
  e.SearchFile((dir.Path() + "/C.TXT").c_str(), "one", 0);
  e.SortBy(0, 1);   // descending: the hits of a file come last first
  unsigned char bytes[] = "1-";
  ChangeRequest request = {0, bytes, 2, 0, "", 0, false};
  ScriptHost host;
  ChangeRunResult r = RunTextChange(e, nullptr, request, false, host);
  EXPECT_EQ(5, r.changes);
  EXPECT_EQ(3, r.files);
  EXPECT_FALSE(r.aborted);
  EXPECT_EQ("1- two 1-\r\n1-", ReadFileBytes(a));
  EXPECT_EQ("no hit", ReadFileBytes(b));
  EXPECT_EQ("x 1-", ReadFileBytes(c));
  EXPECT_EQ("1-" + std::string((2 << 20) - 3, '\0'), ReadFileBytes(d));
  EXPECT_EQ(4u, dir.List().size());   // no temporary file left
  for (int i = 0; i < e.GetHitCount(); ++i)
    EXPECT_EQ("1-", ReadFileBytes(e.GetHitPath(i)).substr(size_t(e.GetHitPos(i)), size_t(e.GetHitLength(i))));
}

TEST(ChangeEdit, QueryAnswersAndFailuresLeaveUntouchedFilesAlone) {
  const struct {
    std::vector<int> answers;
    int blockC;   // 1 a folder in the way of c's temporary file, 2 c held open without delete sharing,
                  // 3 a gone before the run (OK there ends the run), 4 c's temporary name too long
    bool goOn;
    std::string wantA, wantC;
    int changes;
    bool aborted;
  } cases[] = {
      {{CHANGE_ANSWER_NO, CHANGE_ANSWER_YES, CHANGE_ANSWER_YES}, 0, true, "ab 1", "1", 2, false},
      {{CHANGE_ANSWER_ALL}, 0, true, "1 1", "1", 3, false},
      {{CHANGE_ANSWER_YES, CHANGE_ANSWER_STOP}, 0, true, "1 ab", "ab", 1, false},
      {{CHANGE_ANSWER_STOP}, 0, true, "ab ab", "ab", 0, false},
      {{CHANGE_ANSWER_ALL}, 1, true, "1 1", "ab", 2, false},
      {{CHANGE_ANSWER_ALL}, 1, false, "1 1", "ab", 2, true},
      {{CHANGE_ANSWER_ALL}, 2, true, "1 1", "ab", 2, false},
      {{CHANGE_ANSWER_ALL}, 3, true, "", "ab", 0, false},
      {{CHANGE_ANSWER_ALL}, 3, false, "", "ab", 0, true},
      {{CHANGE_ANSWER_ALL}, 4, true, "1 1", "ab", 2, false},
  };
  for (const auto& t : cases) {
    TempDir dir;
    std::string a = dir.Write("a.txt", "ab ab");
    // A name that fits, with a temporary name that does not.
    std::string c = dir.Write(t.blockC == 4 ? std::string(MAX_PATH - 8 - (dir / "").size(), 'c') + ".txt" : "c.txt", "ab");
    if (t.blockC == 1) CreateDirectoryA((c + ".vellmorant.tmp").c_str(), nullptr);
    HANDLE held = INVALID_HANDLE_VALUE;
    if (t.blockC == 2) held = CreateFileA(c.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    CTextSearch e;
    e.SearchFile(a.c_str(), "ab", 0);
    e.SearchFile(c.c_str(), "ab", 0);
    if (t.blockC == 3) DeleteFileA(a.c_str());
    unsigned char one = '1';
    ChangeRequest request = {0, &one, 1, 0, "", 0, false};
    ScriptHost host;
    host.answers = t.answers;
    host.goOn = t.goOn;
    ChangeRunResult r = RunTextChange(e, nullptr, request, true, host);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(t.changes, r.changes);
    EXPECT_EQ(t.aborted, r.aborted);
    EXPECT_EQ(t.wantA, ReadFileBytes(a));
    EXPECT_EQ(t.wantC, ReadFileBytes(c));
    const std::string failures[] = {"", "Fehler beim Erstellen von:\n" + c + ".vellmorant.tmp",
                                    "Fehler beim Schreiben von:\n" + c + "\nDie Datei kann nicht ersetzt werden.",
                                    "Fehler beim \xD6" "ffnen von:\n" + a,
                                    "Fehler beim Erstellen von:\n" + c + ".vellmorant.tmp\nDer Dateiname ist zu lang."};
    EXPECT_EQ(t.blockC ? std::vector<std::string>{failures[t.blockC]} : std::vector<std::string>{}, host.failures);
    EXPECT_EQ(2u, dir.List().size() - (t.blockC == 1) + (t.blockC == 3));
  }
}

TEST(ChangeEdit, FilesChangedSinceTheSearchAreLeftAlone) {
  TempDir dir;
  std::string a = dir.Write("a.txt", "ab ab"), b = dir.Write("b.txt", "ab"), c = dir.Write("c.txt", "xx ab"),
              d = dir.Write("d.txt", "ab ab");
  CTextSearch e;
  for (const std::string& f : {a, b, c, d}) e.SearchFile(f.c_str(), "ab", 0);
  CResultStamps stamps;
  stamps.Capture(e.m_names, e.m_seen);
  // After the search b gets other content and a and c swap names: their hits point elsewhere.
  ASSERT_TRUE(testcommon::WriteFileBytes(b, "zzab"));
  std::string t = dir / "t.txt";
  ASSERT_TRUE(MoveFileA(a.c_str(), t.c_str()) && MoveFileA(c.c_str(), a.c_str()) && MoveFileA(t.c_str(), c.c_str()));
  unsigned char one = '1', two = '2';
  ChangeRequest request = {0, &one, 1, 0, "", 0, false};
  ScriptHost host;
  ChangeRunResult r = RunTextChange(e, nullptr, request, false, host, &stamps);
  EXPECT_EQ(2, r.changes);
  EXPECT_EQ("xx ab", ReadFileBytes(a));
  EXPECT_EQ("zzab", ReadFileBytes(b));
  EXPECT_EQ("ab ab", ReadFileBytes(c));
  EXPECT_EQ("1 1", ReadFileBytes(d));
  ASSERT_EQ(3u, host.failures.size());
  EXPECT_NE(std::string::npos, host.failures[0].find("seit der Suche"));
  // The program's own rewrite renews the stamp: a second change still acts.
  request.bytes = &two;
  r = RunTextChange(e, nullptr, request, false, host, &stamps);
  EXPECT_EQ("2 2", ReadFileBytes(d));
}

// A search served by the file cache stamps its files too: the change acts on the file as it
// was, and leaves alone one rewritten since with bytes of the same size.
TEST(ChangeEdit, SearchFromTheCacheStampsItsFiles) {
  TempDir dir;
  std::string a = dir.Write("a.txt", "ab ab"), b = dir.Write("b.txt", "ab ab");
  CStrList cache, paths;
  FileCacheInit(&cache);
  paths.Insert(a.c_str());
  paths.Insert(b.c_str());
  CTextSearch e;
  e.m_pCache = &cache;
  e.m_nCacheLimit = 1 << 20;
  e.SearchFiles(paths, "ab", 0);
  e.Clear();
  ASSERT_EQ(4, e.SearchFiles(paths, "ab", 0));
  ASSERT_EQ(2u, e.m_seen.size());
  EXPECT_EQ(0u, e.m_seen[0].index);   // served by the cache
  CResultStamps stamps;
  stamps.Capture(e.m_names, e.m_seen);
  ASSERT_TRUE(testcommon::WriteFileBytes(b, "ba ba"));
  FileStamp now;
  ASSERT_TRUE(ReadFileStamp(b.c_str(), &now));
  ULARGE_INTEGER later = {{now.written.dwLowDateTime, now.written.dwHighDateTime}};
  later.QuadPart += 20000000;   // 2 s later
  now.written = {later.LowPart, later.HighPart};
  HANDLE h = CreateFileA(b.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_TRUE(h != INVALID_HANDLE_VALUE && SetFileTime(h, nullptr, nullptr, &now.written));
  CloseHandle(h);
  unsigned char one = '1';
  ChangeRequest request = {0, &one, 1, 0, "", 0, false};
  ScriptHost host;
  EXPECT_EQ(2, RunTextChange(e, &cache, request, false, host, &stamps).changes);
  EXPECT_EQ("1 1", ReadFileBytes(a));
  EXPECT_EQ("ba ba", ReadFileBytes(b));
  EXPECT_EQ(1u, host.failures.size());
  FileCacheClear(&cache);
}
