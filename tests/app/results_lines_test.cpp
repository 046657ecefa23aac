// The result list's contents: lines of both engines, the path of a line, the files named by
// the results, the order of directory-compare lines, the line-end-tolerant file compare, and
// the search jobs with their progress.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/TempTree.h"
#include "app/FileCache.h"
#include "app/HexSearch.h"
#include "app/ResultColors.h"
#include "app/ResultLineFeed.h"
#include "app/ResultList.h"
#include "app/SearchCommands.h"
#include "app/TextSearch.h"
#include "system/DirList.h"
#include "system/StrList.h"

namespace {

// A fresh folder whose files are written from strings; Root() ends with a separator.
class TempDir : public testcommon::TempDir {
public:
    TempDir() : testcommon::TempDir("vrl_") {}
    std::string Root() const { return Path() + "\\"; }
};

std::string Line(const char* line, int n) { return std::string(line, size_t(n)); }

std::vector<std::string> Texts(const CStrList& list)
{
    std::vector<std::string> v;
    for (int i = 0; i < list.m_nCount; ++i)
        v.emplace_back(list.GetString(i), size_t(list.GetLength(i)));
    return v;
}

}  // namespace

TEST(ResultLines, TextHitsBecomeColouredLines)
{
    CTextSearch e;
    std::string buf = "int\tx = 10;\n// x\n";
    ASSERT_EQ(2, e.SearchBuffer(buf.data(), int(buf.size()), "C:\\src\\a.c", "x", 0));
    char line[kResultLineSize];
    unsigned char colors[kResultLineSize];
    int n = BuildTextResultLine(e, 0, line, colors);
    // The tab became a blank; the text starts at column 32.
    std::string expect = "C:\\src\\a.c(1): ";
    expect.append(32 - expect.size(), ' ');
    expect += "int x = 10;";
    ASSERT_EQ(expect, Line(line, n));
    EXPECT_EQ(RC_PATH, colors[0]);
    EXPECT_EQ(RC_DEFAULT, colors[2]);          // '\'
    EXPECT_EQ(RC_PAREN, colors[10]);
    EXPECT_EQ(RC_NUMBER_POS, colors[11]);
    EXPECT_EQ(RC_KEYWORD, colors[32]);         // int
    EXPECT_EQ(RC_IDENT, colors[36]);           // x
    EXPECT_EQ(RC_CONSTANT, colors[40]);        // 10
    n = BuildTextResultLine(e, 1, line, colors);
    EXPECT_EQ(RC_COMMENT, colors[n - 1]);
    EXPECT_EQ(0, BuildTextResultLine(e, 2, line, colors));
    EXPECT_EQ(0, BuildTextResultLine(e, -1, line, colors));

    // No syntax for other suffixes: the content stays plain.
    CTextSearch t;
    ASSERT_EQ(1, t.SearchBuffer(buf.data(), int(buf.size()), "C:\\a.txt", "int", 0));
    n = BuildTextResultLine(t, 0, line, colors);
    for (int i = 32; i < n; ++i)
        EXPECT_EQ(RC_DEFAULT, colors[i]) << i;
}

TEST(ResultLines, LineMakerMatchesTheLineBuilder)
{
    // Suffixes of each syntax, paths that the maker must leave to the builder (a ':' inside,
    // too long for "(line): "), files whose hits interleave, tabs, lines cut at the buffer.
    std::string longLine(1500, 'y');
    longLine.replace(0, 12, "int\ta(x);//");
    std::string longPath = "C:\\" + std::string(1010, 'd') + ".c";
    const struct {
        std::string path;
        std::string text;
    } files[] = {
        {"C:\\src\\a.c", "int\tx = 0x1F; // x\n\tcall(x);\n" + longLine + "\n"},
        {"C:\\asm\\b.asm", "\tmov ax, x\n"},
        {"C:\\doc\\readme", "x\t(1): \"y\"\n"},
        {"C:\\src\\a.c", "#include <x.h>\n"},
        {"C:\\w\\p(2).xml", "<a x=\"1\">x</a>\n"},
        {"C:\\odd:name.c", "x\n"},
        {"C:\\tab\tx.c", "x\n"},
        {longPath, "x\n"},
        {"", "x\n"},
    };
    CTextSearch e;
    for (const auto& f : files)
        e.SearchBuffer(f.text.data(), int(f.text.size()), f.path.c_str(), "x", 0);
    ASSERT_EQ(15, e.GetHitCount());
    for (int sorted = 0; sorted < 2; ++sorted) {
        if (sorted) {
            ASSERT_EQ(1, e.SortBy(1, 1));
        }
        CTextResultLineMaker maker(e);
        for (int i = -1; i <= e.GetHitCount(); ++i) {
            char want[kResultLineSize], got[kResultLineSize];
            unsigned char wantColors[kResultLineSize], gotColors[kResultLineSize];
            int n = BuildTextResultLine(e, i, want, wantColors);
            ASSERT_EQ(n, maker.Build(i, got, gotColors)) << i;
            EXPECT_EQ(Line(want, n), Line(got, n)) << i;
            EXPECT_EQ(0, memcmp(wantColors, gotColors, size_t(n))) << i;
        }
    }
}

namespace {

// Line i of a feed test: i % 7 == 0 empty; else a byte pattern, short for the first 4000
// lines (a chunk ends by its line count) and up to a full line after (by its bytes).
int MakeTestLine(void*, int i, char* line, unsigned char* colors)
{
    int n = i % 7 == 0 ? 0 : i < 4000 ? i % 3 : (i * 37) % kResultLineSize;
    for (int k = 0; k < n; ++k) {
        line[k] = char('a' + (i + k) % 26);
        colors[k] = (unsigned char)((i + k / 5) % 32);
    }
    return n;
}

}  // namespace

TEST(ResultLines, FeedGivesEveryLineInOrder)
{
    // Few lines are made on the caller's thread, many on a helper over chunks of fixed size;
    // a feed left halfway stops its helper.
    for (int count : {0, 5, 3000, 20000}) {
        for (int stopAt : {count, count / 2}) {
            CResultLineFeed feed(count, MakeTestLine, nullptr);
            char want[kResultLineSize];
            unsigned char wantColors[kResultLineSize];
            const char* text;
            const unsigned char* colors;
            int n = -1;
            for (int i = 0; i < stopAt; ++i) {
                ASSERT_TRUE(feed.Next(&text, &n, &colors)) << count << " " << i;
                int k = MakeTestLine(nullptr, i, want, wantColors);
                ASSERT_EQ(k, n) << count << " " << i;
                ASSERT_EQ(0, memcmp(want, text, size_t(k))) << count << " " << i;
                ASSERT_EQ(0, memcmp(wantColors, colors, size_t(k))) << count << " " << i;
            }
            if (stopAt == count) {
                EXPECT_FALSE(feed.Next(&text, &n, &colors));
            }
        }
    }
}

TEST(ResultLines, ValueHitsBecomeDumpLines)
{
    CHexSearch e;
    const BYTE buf[] = {'x', 'A', 'B', 'C', 0, 9, 'D'};
    const BYTE pat[] = {'A', 'B'};
    ASSERT_EQ(1, e.SearchBufferBytes(buf, int(sizeof buf), "C:\\d\\b.bin", pat, 2, 0));
    char line[kResultLineSize];
    unsigned char colors[kResultLineSize];
    int n = BuildHexResultLine(e, 0, line, colors);
    std::string expect = "C:\\d\\b.bin(1): ";
    expect.append(32 - expect.size(), ' ');
    expect += "41 42 43 00  09 44  ABC..D";
    ASSERT_EQ(expect, Line(line, n));
    EXPECT_EQ(RC_HEXDUMP, colors[13]);                 // the ':'
    EXPECT_EQ(RC_HEXDUMP, colors[32 + 17]);            // the last digit
    EXPECT_EQ(RC_DEFAULT, colors[32 + 18]);
    EXPECT_EQ(RC_DEFAULT, colors[n - 1]);
}

TEST(ResultLines, DirectoryCompareLinesAreBuilt)
{
    CStrList lines(4);
    lines.Insert("C:\\x\\a.c\t\t:ver\xE4ndert");
    char line[kResultLineSize];
    unsigned char colors[kResultLineSize];
    int n = BuildDirCompareLine(lines, 0, line, colors);
    EXPECT_EQ("C:\\x\\a.c  :ver\xE4ndert", Line(line, n));
    EXPECT_EQ(RC_PATH, colors[0]);
    EXPECT_EQ(RC_NUMBER_POS, colors[8]);
    EXPECT_EQ(RC_NUMBER_POS, colors[10]);
    EXPECT_EQ(RC_DEFAULT, colors[11]);
    EXPECT_EQ(0, BuildDirCompareLine(lines, 1, line, colors));
}

TEST(ResultLines, PathOfALine)
{
    char out[MAX_PATH];
    auto path = [&](const char* line, bool dir = false, int size = MAX_PATH) {
        int n = ResultLinePath(line, int(strlen(line)), dir, out, size);
        EXPECT_EQ(int(strlen(out)), n);
        return std::string(out);
    };
    EXPECT_EQ("C:\\d\\a.c", path("C:\\d\\a.c(17):                 text: more"));
    EXPECT_EQ("C:\\d\\x(2).c", path("C:\\d\\x(2).c(5): y"));
    EXPECT_EQ("C:\\d\\x(a)", path("C:\\d\\x(a): y"));      // not a number
    EXPECT_EQ("\\\\srv\\s\\a.c", path("\\\\srv\\s\\a.c(1): q"));
    EXPECT_EQ("C:\\d\\a.c", path("C:\\d\\a.c       \t:verändert", true));
    EXPECT_EQ("C:\\d\\copy(2)", path("C:\\d\\copy(2)  :Neue Datei gefunden", true));
    EXPECT_EQ("C:\\d\\a.c       ", path("C:\\d\\a.c       :x", false));
    EXPECT_EQ("Keine Einträge gefunden.", path("Keine Einträge gefunden."));
    EXPECT_EQ("", path(":x"));
    EXPECT_EQ("", path("C:\\long\\name.c(1): x", false, 8));   // does not fit
    EXPECT_EQ("C:\\l.c", path("C:\\l.c(1): x", false, 7));
}

TEST(ResultLines, CollectFilesOncePerPath)
{
    CTextSearch text;
    std::string buf = "ab ab\nab";
    text.SearchBuffer(buf.data(), int(buf.size()), "C:\\B.c", "ab", 0);
    text.SearchBuffer(buf.data(), int(buf.size()), "C:\\a.c", "ab", 0);
    text.SearchBuffer(buf.data(), int(buf.size()), "c:\\b.C", "ab", 0);   // the same file
    CStrList out;
    out.Insert("stale");
    EXPECT_EQ(2, CollectResultFiles(RESULTS_TEXT, text.GetHitCount(), &text, nullptr, nullptr, out));
    EXPECT_EQ((std::vector<std::string>{"C:\\a.c", "C:\\B.c"}), Texts(out));
    EXPECT_EQ(0, CollectResultFiles(RESULTS_TEXT, 0, &text, nullptr, nullptr, out));
    EXPECT_EQ(0, out.m_nCount);

    CHexSearch hex;
    const BYTE bytes[] = {1, 2, 1, 2};
    const BYTE pat[] = {1};
    hex.SearchBufferBytes(bytes, 4, "D:\\z.bin", pat, 1, 0);
    hex.SearchBufferBytes(bytes, 4, "D:\\y.bin", pat, 1, 0);
    EXPECT_EQ(2, CollectResultFiles(RESULTS_HEX, hex.GetHitCount(), nullptr, &hex, nullptr, out));
    EXPECT_EQ((std::vector<std::string>{"D:\\y.bin", "D:\\z.bin"}), Texts(out));

    CStrList dir(4);
    dir.Insert("C:\\x\\b.c        :verändert");
    dir.Insert("C:\\x\\a.c    :Neue Datei gefunden");
    dir.Insert("ab");
    dir.Insert("C:\\x\\B.C        :HIDDEN+");
    EXPECT_EQ(2, CollectResultFiles(RESULTS_OTHER, 3, nullptr, nullptr, &dir, out));
    EXPECT_EQ((std::vector<std::string>{"C:\\x\\a.c", "C:\\x\\b.c"}), Texts(out));
}

TEST(ResultLines, DirectoryCompareLineOrder)
{
    CStrList lines(4);
    for (const char* s : {"C:\\b\\z.c        :x", "C:\\a\\z.h        :y", "C:\\a\\y.c        :z",
                          "C:\\a\\file10.c   :a", "C:\\a\\file9.c    :a", "C:\\a\\file9.c    :HIDDEN+"})
        lines.Insert(s);
    int column = -1, direction = 0;
    auto sorted = [&](int col) {
        EXPECT_EQ(1, SortDirCompareLines(lines, col, &column, &direction));
        std::vector<std::string> v;
        for (const std::string& s : Texts(lines))
            v.push_back(s.substr(0, s.find(' ')) + s.substr(s.find(':', 2)));
        return v;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(V({"C:\\a\\file9.c:HIDDEN+", "C:\\a\\file9.c:a", "C:\\a\\file10.c:a", "C:\\a\\y.c:z",
                 "C:\\a\\z.h:y", "C:\\b\\z.c:x"}),
              sorted(0));
    EXPECT_EQ(0, direction);
    // The same column again turns the order round.
    EXPECT_EQ(V({"C:\\b\\z.c:x", "C:\\a\\z.h:y", "C:\\a\\y.c:z", "C:\\a\\file10.c:a", "C:\\a\\file9.c:a",
                 "C:\\a\\file9.c:HIDDEN+"}),
              sorted(0));
    EXPECT_EQ(1, direction);
    EXPECT_EQ(V({"C:\\a\\file9.c:HIDDEN+", "C:\\a\\file9.c:a", "C:\\a\\file10.c:a", "C:\\a\\y.c:z",
                 "C:\\b\\z.c:x", "C:\\a\\z.h:y"}),
              sorted(1));
    EXPECT_EQ(0, direction);
    EXPECT_EQ(V({"C:\\a\\file9.c:HIDDEN+", "C:\\a\\file9.c:a", "C:\\a\\file10.c:a", "C:\\a\\y.c:z",
                 "C:\\b\\z.c:x", "C:\\a\\z.h:y"}),
              sorted(2));
    EXPECT_EQ(0, SortDirCompareLines(lines, 3, &column, &direction));
    EXPECT_EQ(2, column);
}

TEST(ResultLines, CompareIgnoringLineEnds)
{
    TempDir d;
    auto cmp = [&](const std::string& a, const std::string& b) {
        return CompareFilesIgnoringLineEnds(d.Write("a", a).c_str(), d.Write("b", b).c_str());
    };
    EXPECT_EQ(0, cmp("a\r\nb\r\n", "a\nb\n"));
    EXPECT_EQ(0, cmp("a\rb", "a\nb"));
    EXPECT_EQ(0, cmp("x\r\n", "x\r"));           // CR LF and CR are one line end each
    EXPECT_EQ(0, cmp("\r\r\n", "\r\n\n"));        // two line ends on both sides
    EXPECT_EQ(0, cmp("", ""));
    EXPECT_NE(0, cmp("a\n\nb", "a\nb"));
    EXPECT_NE(0, cmp("a\n\r", "a\r\n"));          // LF CR is two line ends
    EXPECT_EQ('c' - 'd', cmp("abc", "abd"));
    EXPECT_EQ(-28 - 'a', cmp("\xE4", "a"));       // bytes compare signed
    EXPECT_EQ(-1, cmp("ab", "abc"));
    EXPECT_EQ(1, cmp("abc", "ab"));
    EXPECT_EQ(-1, cmp("ab", "ab\n"));
    EXPECT_EQ(1, cmp("x\n", "x"));
    std::string a = d.Write("only", "x");
    EXPECT_EQ(1, CompareFilesIgnoringLineEnds(a.c_str(), (d.Root() + "missing").c_str()));
    EXPECT_EQ(-1, CompareFilesIgnoringLineEnds((d.Root() + "missing").c_str(), a.c_str()));
    // Which side could not be read.
    const struct { std::string a, b; int unreadable; } sides[] = {
        {a, d.Root() + "missing", 2}, {d.Root() + "missing", a, 1}, {a, d.Write("other", "y"), 0}};
    for (const auto& s : sides) {
        int unreadable = -1;
        CompareFilesIgnoringLineEnds(s.a.c_str(), s.b.c_str(), nullptr, &unreadable);
        EXPECT_EQ(s.unreadable, unreadable) << s.a << " / " << s.b;
    }

    // Line ends across the block boundary of the reader, in large files.
    std::string crlf, lf;
    for (int i = 0; i < 30000; ++i) {
        std::string row(size_t(i % 37), char('a' + i % 26));
        crlf += row + "\r\n";
        lf += row + "\n";
    }
    EXPECT_EQ(0, cmp(crlf, lf));
    std::string padded(65535, 'x');
    EXPECT_EQ(0, cmp(padded + "\r\n" + "tail", padded + "\n" + "tail"));
    lf[lf.size() - 5] = '#';
    EXPECT_NE(0, cmp(crlf, lf));
}

TEST(SearchJobs, OptionsAndLines)
{
    EXPECT_EQ(unsigned(CTextSearch::IgnoreCase | CTextSearch::WholeWords), TextSearchEngineFlags(0x90, "a*b"));
    EXPECT_EQ(0u, TextSearchEngineFlags(TSO_PATTERN, "plain"));            // no pattern character
    EXPECT_EQ(unsigned(CTextSearch::Pattern), TextSearchEngineFlags(TSO_PATTERN, "a?"));
    EXPECT_EQ(unsigned(CTextSearch::Pattern | CTextSearch::MultiLine),
              TextSearchEngineFlags(TSO_PATTERN | TSO_MULTILINE, "\\w"));
    EXPECT_EQ(0u, TextSearchEngineFlags(TSO_INRESULTS, "x"));
    // Lines above 255 are clamped, not cut to their low 8 bits (256 would give 0).
    const struct {
        int64_t lines;
        int want;
    } clamps[] = {{300, 255}, {-1, 0}, {44, 44}, {255, 255}, {256, 255}, {511, 255}, {512, 255},
                  {0x100000000LL, 255}, {-256, 0}, {0, 0}};
    for (const auto& c : clamps)
        EXPECT_EQ(c.want, ClampSearchLines(c.lines)) << c.lines;
    char buf[32];
    EXPECT_EQ(10, FormatResultCount(buf, sizeof buf, 3));
    EXPECT_STREQ("3 Eintr\xE4ge", buf);
}

TEST(SearchJobs, TextJobOverFileListAndPathList)
{
    TempDir d;
    std::string a = d.Write("a.txt", "alpha\nbeta alpha\n");
    std::string b = d.Write("b.txt", "gamma\n");
    d.Write("c.txt", "alpha\n");
    CDirList files;
    ASSERT_EQ(3, files.Open((d.Root() + "*.txt").c_str(), 0));
    CStrList cache;
    FileCacheInit(&cache);
    CTextSearch e;
    TextSearchJobData job = {&e, &cache, 1 << 20, "alpha", 0, 300, nullptr, &files};
    EXPECT_EQ(3, RunTextSearchJob(job));
    EXPECT_EQ(255, e.m_nLines);
    EXPECT_EQ(&cache, e.m_pCache);
    EXPECT_EQ(3, cache.m_nCount);          // every file read was kept

    // Only the files of a path list.
    CStrList paths;
    paths.Insert(b.c_str());
    paths.Insert(a.c_str());
    e.Clear();
    job.paths = &paths;
    EXPECT_EQ(2, RunTextSearchJob(job));
    EXPECT_EQ(a, e.GetHitPath(0));

    // Without a cache the engine gets none and the cache is emptied by the upkeep.
    e.Clear();
    job.cacheSize = 0;
    job.paths = nullptr;
    EXPECT_EQ(3, RunTextSearchJob(job));
    EXPECT_EQ(nullptr, e.m_pCache);
    EXPECT_EQ(0, cache.m_nCount);
    FileCacheClear(&cache);
}

TEST(SearchJobs, HexJobAndProgress)
{
    TempDir d;
    d.Write("a.bin", std::string("\x01\x02\x03\x01\x02", 5));
    CDirList files;
    ASSERT_EQ(1, files.Open((d.Root() + "*.bin").c_str(), 0));
    CStrList cache;
    FileCacheInit(&cache);
    CHexSearch e;
    std::string group("0\0H:2:01 02\0", 13);
    HexSearchJobData job = {&e, &cache, 1 << 20, group.c_str(), 0, &files};
    EXPECT_EQ(2, RunHexSearchJob(job));
    FileCacheClear(&cache);

    SearchProgressState st;
    SearchProgressTick t = StepSearchProgress(st, 0, 0, 0, 1024, 0, 0);
    EXPECT_FALSE(t.setPosition);              // no total: the bar stays
    EXPECT_TRUE(t.setFile);
    EXPECT_TRUE(t.setCount);
    t = StepSearchProgress(st, 512, 0, 2048, 1024, 0, 0);
    EXPECT_TRUE(t.setPosition);
    EXPECT_EQ(256, t.position);
    EXPECT_FALSE(t.setFile);
    EXPECT_FALSE(t.setCount);
    t = StepSearchProgress(st, 512, 0, 2048, 1024, 0, 0);
    EXPECT_FALSE(t.setPosition);
    t = StepSearchProgress(st, 1024, 1024, 2048, 1024, 3, 7);
    EXPECT_EQ(1024, t.position);
    EXPECT_EQ(3, t.fileIndex);
    EXPECT_EQ(7, t.hitCount);
    // Totals beyond 32 bits.
    t = StepSearchProgress(st, 3ull << 40, 0, 4ull << 40, 1024, 3, 7);
    EXPECT_EQ(768, t.position);
}
