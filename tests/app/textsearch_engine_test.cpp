// The text search engine on buffers: the line walk, non-overlapping hits, whole-word edges,
// case folding, the result limit, hit records and accessors, result lines, sorting, stopping.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/TextMatcher.h"
#include "app/TextSearch.h"

namespace {

struct Hit {
    int line, pos, length;
    std::string text;
    bool operator==(const Hit& o) const
    {
        return line == o.line && pos == o.pos && length == o.length && text == o.text;
    }
};

std::ostream& operator<<(std::ostream& os, const Hit& h)
{
    return os << "{line " << h.line << " pos " << h.pos << " len " << h.length << " '" << h.text << "'}";
}

std::vector<Hit> Hits(const CTextSearch& e)
{
    std::vector<Hit> v;
    for (int i = 0; i < e.GetHitCount(); i++)
        v.push_back({e.GetHitLine(i), e.GetHitPos(i), e.GetHitLength(i),
                     std::string(e.m_hits.GetString(i), e.m_hits.GetLength(i))});
    return v;
}

std::vector<Hit> Search(const std::string& buf, const char* text, unsigned flags = 0, int lines = 10)
{
    CTextSearch e;
    e.m_nLines = lines;
    e.SearchBuffer(buf.data(), (int)buf.size(), "C:\\t.txt", text, flags);
    return Hits(e);
}

std::vector<int> Lines(const std::string& buf, const char* text, unsigned flags = 0)
{
    std::vector<int> v;
    for (const Hit& h : Search(buf, text, flags))
        v.push_back(h.line);
    return v;
}

const unsigned W = CTextSearch::WholeWords, I = CTextSearch::IgnoreCase, P = CTextSearch::Pattern,
               M = CTextSearch::MultiLine;

TEST(TextSearchLines, LineEndsAndNul)
{
    using V = std::vector<int>;
    EXPECT_EQ(V({1, 3}), Lines(std::string("b\r\n\r\nb"), "b"));        // CR LF, empty line
    EXPECT_EQ(V({3}), Lines(std::string("a\n\rb"), "b"));                // LF CR ends two lines
    EXPECT_EQ(V({2}), Lines(std::string("a\r\n\0b", 5), "b"));          // the NUL after a line end
    EXPECT_EQ(V({3}), Lines(std::string("a\r\rb"), "b"));
    EXPECT_EQ(V({3}), Lines(std::string("\n\nb"), "b"));
    EXPECT_EQ(V({3}), Lines(std::string("a\r\0\nb", 5), "b"));          // CR, NUL, then LF: empty line
    EXPECT_EQ(V({1}), Lines(std::string("\0b", 2), "b"));                // NUL elsewhere is text
    EXPECT_EQ(V({2}), Lines(std::string("a\r\n\0\0b", 6), "b"));         // only one NUL is swallowed
    EXPECT_EQ(V({1, 2, 3, 4}), Lines("x\rx\nx\r\nx", "x"));
    // The hit's text is its whole line without the line end; the NUL after a line end is not part of it.
    auto h = Search(std::string("first\r\n\0sec ond\n", 17), "ond");
    ASSERT_EQ(1u, h.size());
    EXPECT_EQ((Hit{2, 12, 3, "sec ond"}), h[0]);
    // A line may hold a NUL of its own.
    h = Search(std::string("ab\0cd\n", 6), "cd");
    ASSERT_EQ(1u, h.size());
    EXPECT_EQ(std::string("ab\0cd", 5), h[0].text);
}

TEST(TextSearchLines, NonOverlappingHitsOnOneLine)
{
    EXPECT_EQ((std::vector<Hit>{{1, 0, 2, "abab"}, {1, 2, 2, "abab"}}), Search("abab", "ab"));
    auto h = Search("aaaaa", "aa");
    ASSERT_EQ(2u, h.size());
    EXPECT_EQ(0, h[0].pos);
    EXPECT_EQ(2, h[1].pos);
    EXPECT_EQ(1u, Search("aaaa", "aaa").size());
    EXPECT_TRUE(Search("ab\ncd", "b\nc").empty());   // never across a line end
    EXPECT_TRUE(Search("ab", "abc").empty());
}

TEST(TextSearchLines, WholeWordEdges)
{
    EXPECT_TRUE(Search("foobar", "foo", W).empty());
    EXPECT_TRUE(Search("_foo", "foo", W).empty());
    EXPECT_TRUE(Search("9foo", "foo", W).empty());
    EXPECT_EQ(1u, Search("foo.bar", "foo", W).size());
    EXPECT_EQ(1u, Search("x foo", "foo", W).size());           // at the end of the line
    EXPECT_EQ(1u, Search("x\nfoo\nbar", "foo", W).size());      // line ends are no word characters
    EXPECT_EQ(1u, Search("foo(bar", "foo(", W).size());        // no end rule after '('
    EXPECT_TRUE(Search("xfoo(", "foo(", W).empty());           // the start rule still holds
    EXPECT_EQ(1u, Search("a.(x", ".(", W).size());             // neither rule
    // Latin-1 letters 0xC0-0xDD and 0xDF-0xFD are word characters (0xD7 and 0xF7 too);
    // 0xDE, 0xFE and 0xFF are not.
    for (unsigned char c : {0xC0, 0xC4, 0xD7, 0xDD, 0xDF, 0xE4, 0xF7, 0xFD}) {
        EXPECT_TRUE(Search(std::string("foo") + (char)c, "foo", W).empty()) << (int)c;
        EXPECT_TRUE(Search(std::string(1, (char)c) + "foo", "foo", W).empty()) << (int)c;
    }
    for (unsigned char c : {0xDE, 0xFE, 0xFF, 0xA0, 0xBF}) {
        EXPECT_EQ(1u, Search(std::string("foo") + (char)c, "foo", W).size()) << (int)c;
        EXPECT_EQ(1u, Search(std::string(1, (char)c) + "foo", "foo", W).size()) << (int)c;
    }
    // After a rejected occurrence the next one is still found.
    auto h = Search("foofoo foo", "foo", W);
    ASSERT_EQ(1u, h.size());
    EXPECT_EQ(7, h[0].pos);
}

TEST(TextSearchLines, CaseFoldsAsciiOnly)
{
    EXPECT_EQ(1u, Search("xABCx", "abc", I).size());
    EXPECT_TRUE(Search("xABCx", "abc").empty());
    EXPECT_TRUE(Search("\xC4", "\xE4", I).empty());
    EXPECT_TRUE(Search("[", "{", I).empty());   // 0x5B and 0x7B differ by 0x20 but are no letters
    EXPECT_TRUE(Search("@", "`", I).empty());
}

TEST(TextSearchPattern, WholeWordsResumeAfterRejection)
{
    // "aa" at 1 is rejected by the end rule (followed by 'b'); position 2 lies behind a word
    // character and must not be tried as if it started a word.
    EXPECT_TRUE(Search(" aab", "a?", P | W).empty());
    EXPECT_EQ(1u, Search(" aa b", "a?", P | W).size());
}

TEST(TextSearchPattern, MultiLine)
{
    const std::string buf("xa\r\n\r\nyb\nzb");
    EXPECT_TRUE(Search(buf, "a\\+?b", P).empty());   // one line only without multi-line
    auto h = Search(buf, "a\\+?b", P | M, 1);
    ASSERT_EQ(1u, h.size());
    EXPECT_EQ(1, h[0].line);
    EXPECT_EQ(1, h[0].pos);
    EXPECT_EQ(7, h[0].length);   // a CR LF CR LF y b
    EXPECT_EQ("xa", h[0].text);
    EXPECT_TRUE(Search(buf, "a\\+?b", P | M, 0).empty());
    EXPECT_TRUE(Search(buf, "a*b", P | M, 1).empty());   // '*' stays within its line
}

TEST(TextSearchEngine, ResultLimit)
{
    std::string buf;
    for (int i = 0; i < 15; i++)
        buf += "hit\n";
    CTextSearch e;
    e.m_nResultLimit = 10;
    EXPECT_EQ(10, e.SearchBuffer(buf.data(), (int)buf.size(), "a", "hit", 0));
    EXPECT_EQ(10, e.GetHitCount());
    EXPECT_EQ(0, e.SearchBuffer(buf.data(), (int)buf.size(), "b", "hit", 0));   // already full
    EXPECT_EQ(1, e.m_names.m_nCount);
    e.m_nResultLimit = 12;
    EXPECT_EQ(2, e.SearchBuffer(buf.data(), (int)buf.size(), "b", "hit", 0));
    EXPECT_EQ(2, e.m_names.m_nCount);
}

TEST(TextSearchEngine, RefusesEmptyInput)
{
    CTextSearch e;
    EXPECT_EQ(0, e.SearchBuffer("abc", 3, "p", "", 0));
    EXPECT_EQ(0, e.SearchBuffer("abc", 3, "p", nullptr, 0));
    EXPECT_EQ(0, e.SearchBuffer(nullptr, 3, "p", "a", 0));
    EXPECT_EQ(0, e.SearchBuffer("abc", 0, "p", "a", 0));
    EXPECT_EQ(0, e.SearchBuffer("abc", -1, "p", "a", 0));
    EXPECT_EQ(0, e.GetHitCount());
}

TEST(TextSearchEngine, NamesAreSharedAndGoWithTheirLastHit)
{
    CTextSearch e;
    e.SearchBuffer("x1\nx2", 5, "C:\\A.txt", "x", 0);
    e.SearchBuffer("x3", 2, "C:\\b.txt", "x", 0);
    e.SearchBuffer("x4", 2, "c:\\a.TXT", "x", 0);   // the same file, compared without case
    ASSERT_EQ(4, e.GetHitCount());
    EXPECT_EQ(2, e.m_names.m_nCount);
    EXPECT_STREQ("C:\\A.txt", e.GetHitPath(3));
    int len = -1;
    EXPECT_EQ(nullptr, e.GetHitPathLen(4, &len));
    EXPECT_EQ(0, len);
    char buf[6];
    EXPECT_EQ(5, e.CopyHitPath(0, buf, sizeof buf));   // cut to the buffer
    EXPECT_STREQ("C:\\A.", buf);
    EXPECT_EQ(0, e.CopyHitPath(9, buf, sizeof buf));
    EXPECT_STREQ("", buf);
    EXPECT_EQ(-1, e.SetHitPos(4, 1));
    EXPECT_EQ(0, e.RemoveHit(4));
    while (e.GetHitCount())
        EXPECT_EQ(1, e.RemoveHit(0));
    EXPECT_EQ(0, e.m_names.m_nCount);   // the names go with the last hit
    e.SearchBuffer("x", 1, "C:\\b.txt", "x", 0);
    EXPECT_EQ(0, e.m_hits.Item<TextSearchHit>(0)->nameIndex);
}

TEST(TextSearchEngine, LongLineKeepsOnlyWhatResultLinesShow)
{
    // One line of 1 MB with 1000 hits: each hit keeps at most MaxLineText bytes of the line.
    std::string buf(1 << 20, 'x');
    for (int i = 0; i < 1000; i++)
        buf.replace((size_t)i * 1000 + 500, 3, "hit");
    CTextSearch e;
    EXPECT_EQ(1000, e.SearchBuffer(buf.data(), (int)buf.size(), "p", "hit", 0));
    for (int i = 0; i < e.GetHitCount(); i++) {
        ASSERT_EQ((int)CTextSearch::MaxLineText, e.m_hits.GetLength(i));
        ASSERT_EQ(i * 1000 + 500, e.GetHitPos(i));
        ASSERT_EQ(1, e.GetHitLine(i));
    }
    EXPECT_EQ(buf.substr(0, CTextSearch::MaxLineText), std::string(e.m_hits.GetString(999), e.m_hits.GetLength(999)));
}

TEST(TextSearchEngine, FormatHitLine)
{
    CTextSearch e;
    std::string buf = std::string(16, '\n') + "\tfound it here";
    e.SearchBuffer(buf.data(), (int)buf.size(), "C:\\dir\\a.txt", "it", 0);
    e.SearchBuffer("it", 2, "C:\\a\\much\\longer\\path\\name.c", "it", 0);
    char out[1024];
    const std::string prefix = "C:\\dir\\a.txt(17): ";   // 18 characters
    EXPECT_EQ(32 + 14, e.FormatHitLine(0, out, sizeof out, 32));
    EXPECT_EQ(prefix + std::string(14, ' ') + "\tfound it here", out);
    // A path that reaches the column: the line follows at once.
    EXPECT_STREQ("C:\\a\\much\\longer\\path\\name.c(1): it", (e.FormatHitLine(1, out, sizeof out, 32), out));
    // Room for the path alone when the path leaves fewer than 16 bytes.
    EXPECT_EQ(12, e.FormatHitLine(0, out, 27, 32));
    EXPECT_STREQ("C:\\dir\\a.txt", out);
    // The column is cut to size - 1, and the line to what fits.
    EXPECT_EQ(29, e.FormatHitLine(0, out, 30, 32));
    EXPECT_EQ(prefix + std::string(11, ' '), out);
    EXPECT_EQ(29, e.FormatHitLine(0, out, 30, 20));
    EXPECT_EQ(prefix + "  \tfound it", out);
    EXPECT_EQ(0, e.FormatHitLine(2, out, sizeof out, 32));
    EXPECT_STREQ("", out);
    EXPECT_EQ(0, e.FormatHitLine(0, out, 0, 32));
}

TEST(TextSearchEngine, SortBy)
{
    CTextSearch e;
    e.SearchBuffer("x\nx", 3, "C:\\z\\b10.c", "x", 0);
    e.SearchBuffer("x", 1, "C:\\a\\B9.h", "x", 0);
    e.SearchBuffer("x", 1, "C:\\m\\a.TXT", "x", 0);
    e.SearchBuffer("x", 1, "C:\\m\\noext", "x", 0);
    auto order = [&] {
        std::string s;
        for (int i = 0; i < e.GetHitCount(); i++)
            s += std::string(e.GetHitPath(i)).substr(5) + ":" + std::to_string(e.GetHitLine(i)) + " ";
        return s;
    };
    EXPECT_EQ(1, e.SortBy(0, -1));
    EXPECT_EQ("B9.h:1 a.TXT:1 noext:1 b10.c:1 b10.c:2 ", order());
    EXPECT_EQ(1, e.SortBy(0, -1));   // again: descending
    EXPECT_EQ("b10.c:2 b10.c:1 noext:1 a.TXT:1 B9.h:1 ", order());
    EXPECT_EQ(1, e.SortBy(1, 0));    // names, natural order without case
    EXPECT_EQ("a.TXT:1 B9.h:1 b10.c:1 b10.c:2 noext:1 ", order());
    EXPECT_EQ(0, e.SortBy(1, 0));
    EXPECT_EQ(1, e.SortBy(2, -1));   // suffixes without case; none first
    EXPECT_EQ("noext:1 b10.c:1 b10.c:2 B9.h:1 a.TXT:1 ", order());
    EXPECT_EQ(0, e.SortBy(3, 0));
    EXPECT_EQ(2, e.m_nSortColumn);
    e.SearchBuffer("x", 1, "C:\\0", "x", 0);   // new hits: not sorted any more
    EXPECT_EQ(-1, e.m_nSortColumn);
}

// A sink that raises the stop flag at the first match and counts what still comes.
struct StopAtFirst : ITextMatchSink {
    std::atomic<long>* stop;
    int count = 0;
    bool OnMatch(const TextMatch&) override
    {
        stop->store(1);
        count++;
        return true;
    }
};

TEST(TextSearchEngine, StopWithinLongLines)
{
    // 4 MB on one line with an occurrence every 64 bytes: the stop is seen within the line.
    std::string buf(4 << 20, '.');
    for (size_t i = 0; i < buf.size(); i += 64)
        buf[i] = 'q';
    // A pattern whose every try runs over the rest of a long line: the stop is seen within
    // the try after the first hit, with and without probes.
    std::string tail = "qz" + std::string(64 << 10, '.');
    std::string probed = "qz" + std::string(128 << 10, '.');
    for (size_t i = 2; i < probed.size(); i += 4)
        probed[i] = 'q';
    struct Case {
        const char* text;
        unsigned flags;
        const std::string* buf;
        size_t endBelow;
    } cases[] = {
        {"q", 0, &buf, buf.size() / 4},
        {"q?", P, &buf, buf.size() / 4},
        {"*z", P, &tail, 3},
        {"q*z", P, &probed, 3},
    };
    for (const Case& c : cases) {
        CTextMatcher m;
        m.Prepare(c.text, strlen(c.text), c.flags, 0);
        std::atomic<long> stop(0), pos(0);
        StopAtFirst sink;
        sink.stop = &stop;
        size_t end = m.Scan((const unsigned char*)c.buf->data(), c.buf->size(), sink, &stop, &pos);
        EXPECT_GE(sink.count, 1) << c.text;
        EXPECT_LT(sink.count, 10000) << c.text;
        EXPECT_LT(end, c.endBelow) << c.text;
    }
    // A flag raised from another thread ends a running engine search.
    CTextSearch e;
    e.m_nResultLimit = 1000000;
    std::string pat(16 << 20, 'a');
    std::thread t([&] {
        while (e.m_nLinePos.load() == 0)
            std::this_thread::yield();
        e.m_bLineStop = 1;
    });
    e.SearchBuffer(pat.data(), (int)pat.size(), "p", "\\pb", P);   // no probes: every position is tried
    t.join();
    EXPECT_LT(e.m_nLinePos.load(), (long)pat.size());
}

} // namespace

TEST(TextSearchPattern, EscapesAsTheTextLayerDecodesThem)
{
    using V = std::vector<int>;
    // Lines: 1 the letter b, 2 a backspace, 3 the letter v, 4 a vertical tab.
    const std::string buf = "b\r\n\b\r\nv\r\n\v";
    struct Case {
        const char* pattern;
        V lines;
    } cases[] = {
        {"\\b", {2}}, {"\\v", {4}}, {"\\[\\b]", {2}}, {"\\[\\v]", {4}}, {"\\{\\b\\v}", {1, 3}},
        {"\\<\\b,\\v>", {2, 4}}, {"\\[\\x08]", {2}}, {"\\[b]", {1}},
    };
    for (const Case& c : cases) {
        V got;
        for (const Hit& h : Search(buf, c.pattern, P)) got.push_back(h.line);
        EXPECT_EQ(c.lines, got) << c.pattern;
    }
}
