// Differential test of the text search: the fast buffer search (probe scan, bulk line
// counting, run-ahead multi-line regions) against a plain line-by-line reference, on random
// buffers over a small alphabet with every mix of CR, LF and NUL, for every flag combination
// and every kernel level.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "app/TextMatcher.h"
#include "app/TextScan.h"
#include "app/TextSearch.h"
#include "common/RandomText.h"
#include "text/CharClass.h"
#include "text/Match.h"

namespace {

struct Found {
    size_t pos, length;
    long line;
    size_t lineStart;
    bool operator==(const Found& o) const
    {
        return pos == o.pos && length == o.length && line == o.line && lineStart == o.lineStart;
    }
};

std::ostream& operator<<(std::ostream& os, const Found& f)
{
    return os << "{pos " << f.pos << " len " << f.length << " line " << f.line << " start " << f.lineStart << "}";
}

bool Word(unsigned char c) { return (CharClassTable[c] & 0x3000000F) != 0; }
bool Eol(unsigned char c) { return c == '\r' || c == '\n'; }

// The plain walk: line by line, every position compared.
std::vector<Found> Reference(const std::string& buf, const std::string& text, unsigned flags,
                             unsigned lines, size_t limit)
{
    std::vector<Found> out;
    const size_t len = buf.size(), n = text.size();
    const unsigned char* b = (const unsigned char*)buf.data();
    const unsigned char* t = (const unsigned char*)text.data();
    if (n == 0 || len == 0)
        return out;
    bool pattern = false;
    if (flags & 4)
        for (unsigned char c : text)
            pattern = pattern || c == '*' || c == '?' || c == '\\';
    const bool words = flags & 2, fold = flags & 1;
    const bool startRule = words && Word(t[0]);
    const bool endRule = words && Word(t[n - 1]);
    size_t ls = 0;
    long line = 1;
    while (ls < len) {
        size_t le = ls;
        while (le < len && !Eol(b[le]))
            le++;
        if (!pattern) {
            size_t p = ls;
            while (p + n <= le) {
                if ((startRule && p > ls && Word(b[p - 1])) || (endRule && p + n < le && Word(b[p + n]))
                    || MemCmpCase(b + p, t, n, fold) != 0) {
                    p++;
                    continue;
                }
                out.push_back({p, n, line, ls});
                if (out.size() >= limit)
                    return out;
                p += n;
            }
        } else {
            size_t regionEnd = le;
            if (flags & 8)
                for (unsigned i = 0; i < lines; i++) {
                    while (regionEnd < len && Eol(b[regionEnd]))
                        regionEnd++;
                    while (regionEnd < len && !Eol(b[regionEnd]))
                        regionEnd++;
                }
            size_t p = ls;
            while (p < le) {
                bool after = p > ls && Word(b[p - 1]);
                if (startRule && after) {
                    p++;
                    continue;
                }
                unsigned f = (fold ? 1 : 0) | 4 | (p > ls ? 8 : 0) | (after ? 16 : 0);
                int m = PatternMatch(text.data(), (int)n, buf.data() + p, (int)(regionEnd - p), f);
                if (m <= 0) {
                    p++;
                    continue;
                }
                size_t end = p + m;
                if (words && end < regionEnd && Word(b[end]) && Word(b[end - 1])) {
                    p++;
                    continue;
                }
                out.push_back({p, (size_t)m, line, ls});
                if (out.size() >= limit)
                    return out;
                p = end;
            }
        }
        size_t next = le;
        if (next < len) {
            if (b[next] == '\r')
                next++;
            if (next < len && b[next] == '\n')
                next++;
            if (next < len && b[next] == 0)
                next++;
        }
        ls = next;
        line++;
    }
    return out;
}

struct Collect : ITextMatchSink {
    std::vector<Found> found;
    size_t limit = (size_t)-1;
    bool OnMatch(const TextMatch& m) override
    {
        found.push_back({m.pos, m.length, m.line, m.lineStart});
        return found.size() < limit;
    }
};

std::vector<Found> Fast(const std::string& buf, const std::string& text, unsigned flags,
                        unsigned lines, size_t limit)
{
    CTextMatcher matcher;
    Collect sink;
    sink.limit = limit;
    if (matcher.Prepare(text.data(), text.size(), flags, lines))
        matcher.Scan((const unsigned char*)buf.data(), buf.size(), sink);
    return sink.found;
}

using testcommon::RandomString;

// Needles are usually cut from the buffer so that they occur.
std::string RandomNeedle(std::mt19937& rng, const std::string& buf, const std::string& alphabet,
                         size_t maxLen)
{
    size_t n = std::uniform_int_distribution<size_t>(1, maxLen)(rng);
    if (buf.size() > n && rng() % 4 != 0) {
        size_t at = std::uniform_int_distribution<size_t>(0, buf.size() - n)(rng);
        std::string s = buf.substr(at, n);
        if (rng() % 3 == 0)   // flip the case of some letters
            for (auto& c : s)
                if (((c | 0x20) >= 'a' && (c | 0x20) <= 'z') && rng() % 2)
                    c ^= 0x20;
        return s;
    }
    return RandomString(rng, alphabet, n);
}

class TextSearchDiff : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { level_ = TextScanSetLevel(GetParam()); }
    void TearDown() override { TextScanSetLevel(2); }
    int level_ = 0;
};

TEST_P(TextSearchDiff, LiteralMatchesReference)
{
    if (level_ != GetParam())
        GTEST_SKIP() << "processor lacks level " << GetParam();
    std::mt19937 rng(1234 + GetParam());
    size_t total = 0;
    const std::string alphabets[] = {
        std::string("aab_ \r\n\0xA.\xC4\xE4\xD7", 14),
        std::string("ab\r\n", 4),
        std::string("aaaaaab\n", 8),
        std::string("xY\0\r\n", 5),
    };
    for (int round = 0; round < 3000; round++) {
        const std::string& alpha = alphabets[round % 4];
        size_t len = std::uniform_int_distribution<size_t>(0, round % 10 == 0 ? 3000 : 120)(rng);
        std::string buf = RandomString(rng, alpha, len);
        std::string text = RandomNeedle(rng, buf, alpha, round % 7 == 0 ? 40 : 5);
        for (unsigned flags = 0; flags < 16; flags++) {
            size_t limit = rng() % 5 == 0 ? 1 + rng() % 4 : (size_t)-1;
            auto want = Reference(buf, text, flags & ~4u, 0, limit);
            auto got = Fast(buf, text, flags & ~4u, 0, limit);
            ASSERT_EQ(want, got) << "round " << round << " flags " << flags << " text len " << text.size();
            total += want.size();
        }
    }
    EXPECT_GT(total, 20000u);   // the rounds do find things
}

TEST_P(TextSearchDiff, PatternMatchesReference)
{
    if (level_ != GetParam())
        GTEST_SKIP() << "processor lacks level " << GetParam();
    std::mt19937 rng(99 + GetParam());
    size_t total = 0, multiLine = 0;
    const std::string alpha("ab_ \r\n\0A\xC4", 9);
    static const char* const kTokens[] = {"a", "b", "A", "_", " ", "?", "*", "\\w", "\\q", "\\+", "\\-",
                                          "\\a", "\\e", "\\g", "\\f", "\\m", "a", "b"};
    for (int round = 0; round < 1500; round++) {
        size_t len = std::uniform_int_distribution<size_t>(0, round % 25 == 0 ? 1500 : 80)(rng);
        std::string buf = RandomString(rng, alpha, len);
        std::string text;
        for (size_t k = 1 + rng() % 4; k > 0; k--)
            text += kTokens[rng() % (sizeof kTokens / sizeof kTokens[0])];
        unsigned lines = rng() % 4;
        for (unsigned flags = 4; flags < 16; flags++) {
            if (!(flags & 4))
                continue;
            auto want = Reference(buf, text, flags, lines, (size_t)-1);
            auto got = Fast(buf, text, flags, lines, (size_t)-1);
            ASSERT_EQ(want, got) << "round " << round << " flags " << flags << " lines " << lines << " text " << text;
            total += want.size();
            multiLine += std::count_if(want.begin(), want.end(), [&](const Found& f) {
                return buf.find_first_of("\r\n", f.pos) < f.pos + f.length;
            });
        }
    }
    EXPECT_GT(total, 5000u);
    EXPECT_GT(multiLine, 200u);
}

// Every element of the pattern syntax, on lines long enough that a try runs far and the tries
// of a line share their work, with whole words (matches ending inside a word are dropped).
TEST_P(TextSearchDiff, EveryPatternElementMatchesReference)
{
    if (level_ != GetParam())
        GTEST_SKIP() << "processor lacks level " << GetParam();
    std::mt19937 rng(2024 + GetParam());
    size_t total = 0;
    const std::string alpha("aab_ 1\t\r\nx", 10);
    static const char* const kTokens[] = {"a", "b", "x", "?", "*", "\\w", "\\z", "\\_", "\\-", "\\.", "\\+",
                                          "\\a", "\\e", "\\f", "\\g", "\\q", "\\[ab]", "\\(a)", "\\{a }",
                                          "\\<a,ab>", "\\|ab|", "\\#ab#", "\\&a&", "\\$b$", "\\o", "\\p"};
    for (int round = 0; round < 600; round++) {
        size_t len = std::uniform_int_distribution<size_t>(1, round % 20 == 0 ? 6000 : 200)(rng);
        std::string buf = RandomString(rng, alpha, len);
        if (round % 3 == 0)   // long lines without line ends
            buf.erase(std::remove_if(buf.begin(), buf.end(), [](char c) { return Eol((unsigned char)c); }), buf.end());
        if (buf.empty())
            buf = "a";
        std::string text;
        for (size_t k = 1 + rng() % 4; k > 0; k--)
            text += kTokens[rng() % (sizeof kTokens / sizeof kTokens[0])];
        unsigned lines = rng() % 3;
        for (unsigned flags = 4; flags < 16; flags += 2 + (rng() % 2)) {
            auto want = Reference(buf, text, flags | 4, lines, (size_t)-1);
            auto got = Fast(buf, text, flags | 4, lines, (size_t)-1);
            ASSERT_EQ(want, got) << "round " << round << " flags " << (flags | 4) << " lines " << lines << " text " << text;
            total += want.size();
        }
    }
    EXPECT_GT(total, 5000u);
}

// The engine's hits (line, position, length, the line's text) against the reference, with
// result limits that cut the search short.
TEST_P(TextSearchDiff, EngineHitsMatchReference)
{
    if (level_ != GetParam())
        GTEST_SKIP() << "processor lacks level " << GetParam();
    std::mt19937 rng(555 + GetParam());
    const std::string alpha("aab_ \r\n\0x\xC4\xE4", 11);
    CTextSearch engine;
    for (int round = 0; round < 400; round++) {
        size_t len = std::uniform_int_distribution<size_t>(1, round % 20 == 0 ? 5000 : 150)(rng);
        std::string buf = RandomString(rng, alpha, len);
        if (round % 50 == 0)   // one long line, longer than a hit keeps
            buf = std::string(3000, 'a') + "\n" + buf;
        std::string text = RandomNeedle(rng, buf, alpha, 4);
        text = text.substr(0, text.find('\0'));
        if (text.empty())
            text = "a";
        unsigned flags = rng() % 16;
        engine.Clear();
        engine.m_nLines = rng() % 3;
        engine.m_nResultLimit = rng() % 3 == 0 ? 1 + (int)(rng() % 5) : 1000000;
        auto want = Reference(buf, text, flags, engine.m_nLines, (size_t)engine.m_nResultLimit);
        int added = engine.SearchBuffer(buf.data(), (int)buf.size(), "C:\\a.txt", text.c_str(), flags);
        ASSERT_EQ((int)want.size(), added) << "round " << round;
        ASSERT_EQ((int)want.size(), engine.GetHitCount());
        for (size_t i = 0; i < want.size(); i++) {
            int k = (int)i;
            ASSERT_EQ(want[i].line, engine.GetHitLine(k));
            ASSERT_EQ((int)want[i].pos, engine.GetHitPos(k));
            ASSERT_EQ((int)want[i].length, engine.GetHitLength(k));
            size_t le = want[i].lineStart;
            while (le < buf.size() && !Eol((unsigned char)buf[le]) && le - want[i].lineStart < CTextSearch::MaxLineText)
                le++;
            ASSERT_EQ(buf.substr(want[i].lineStart, le - want[i].lineStart),
                      std::string(engine.m_hits.GetString(k), engine.m_hits.GetLength(k)));
            ASSERT_STREQ("C:\\a.txt", engine.GetHitPath(k));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, TextSearchDiff, ::testing::Values(0, 1, 2));

} // namespace
