// The line matcher: the tries of one line, as the text search makes them, against trying each
// position alone with PatternMatch, over random patterns and texts; long lines; restarts.
#include <gtest/gtest.h>

#include "text/CharClass.h"
#include "text/Match.h"

#include <random>
#include <string>
#include <vector>

namespace {

bool Word(unsigned char c) { return (CharClassTable[c] & CC_WORD) != 0; }
bool Eol(unsigned char c) { return c == '\r' || c == '\n'; }

struct Line {
    size_t start, end, regionEnd;
};

// One try alone, as the search made it before: the position's flags, PatternMatch over the rest
// of the region, the word-end rule.
size_t TryAlone(const std::string& pattern, const std::string& text, const Line& line, size_t p, bool fold,
                bool wordEnd)
{
    const unsigned char* t = (const unsigned char*)text.data();
    const bool after = p > line.start && Word(t[p - 1]);
    unsigned flags = PM_ANCHORED | (fold ? PM_FOLD : 0u) | (p > line.start ? PM_NOT_BOL : 0u) |
                     (after ? PM_WORD_PREV : 0u);
    int m = PatternMatch(pattern.data(), (int)pattern.size(), text.data() + p, (int)(line.regionEnd - p), flags);
    if (m <= 0) return 0;
    size_t e = p + (size_t)m;
    if (wordEnd && e < line.regionEnd && Word(t[e]) && Word(t[e - 1])) return 0;
    return e;
}

// The lines of a text, each with its region over the given number of further lines.
std::vector<Line> LinesOf(const std::string& text, unsigned further)
{
    std::vector<Line> out;
    const unsigned char* t = (const unsigned char*)text.data();
    size_t ls = 0;
    while (ls < text.size()) {
        size_t le = ls;
        while (le < text.size() && !Eol(t[le])) ++le;
        size_t re = le;
        for (unsigned i = 0; i < further; ++i) {
            while (re < text.size() && Eol(t[re])) ++re;
            while (re < text.size() && !Eol(t[re])) ++re;
        }
        if (le > ls) out.push_back({ls, le, re});
        ls = le;
        while (ls < text.size() && Eol(t[ls])) ++ls;
    }
    return out;
}

const char* const kTokens[] = {
    "a", "b", "A", " ", "_", "1", "?", "*", "*", "\\w", "\\z", "\\_", "\\-", "\\.", "\\+", "\\a", "\\e", "\\f",
    "\\g", "\\q", "\\m", "\\p", "\\o", "\\[ab]", "\\[a-c_]", "\\(a)", "\\(b )", "\\{a }", "\\<a,ab,b>",
    "\\<ab,a>", "\\<,b>", "\\|ab|", "\\|b,a |", "\\#ab#", "\\&a&", "\\$b$", "\\t", "0x", "\\[",
};

std::string RandomPattern(std::mt19937& rng)
{
    std::string p;
    for (size_t k = 1 + rng() % 5; k > 0; --k) p += kTokens[rng() % (sizeof kTokens / sizeof *kTokens)];
    return p;
}

std::string RandomText(std::mt19937& rng, size_t len)
{
    static const std::string alphabets[] = {"aab_ 1\tAb", "ab\r\naab", "aaaaab  ", "a 0x1F-+b\r\n\xE4"};
    const std::string& a = alphabets[rng() % 4];
    std::string s(len, ' ');
    for (char& c : s) c = a[rng() % a.size()];
    return s;
}

// Walks the lines as the search does (behind a match, else one on) and compares every try.
// budget: the line matcher's memo bytes, or 0 to keep its defaults (no sharing in short lines).
// Returns the matches found.
size_t CompareWalk(const std::string& pattern, const std::string& text, unsigned further, bool fold, bool wordEnd,
                   size_t budget, std::mt19937& rng, const std::string& what)
{
    CPatternLineMatcher lm;
    if (budget) lm.SetSharing(budget, 1);
    lm.Compile(pattern.data(), (int)pattern.size(), fold);
    size_t found = 0;
    for (const Line& line : LinesOf(text, further)) {
        lm.SetLine(text.data(), line.start, line.regionEnd, wordEnd);
        for (size_t p = line.start; p < line.end;) {
            size_t want = TryAlone(pattern, text, line, p, fold, wordEnd);
            size_t got = lm.Try(p, nullptr);
            EXPECT_EQ(want, got) << what << " pattern \"" << pattern << "\" at " << p << " fold " << fold
                                 << " wordEnd " << wordEnd;
            if (want != got) return found;
            if (want) ++found;
            // now and then a try further back, as after a new search of the same line
            if (rng() % 50 == 0 && p > line.start) {
                size_t back = line.start + rng() % (p - line.start);
                EXPECT_EQ(TryAlone(pattern, text, line, back, fold, wordEnd), lm.Try(back, nullptr))
                    << what << " pattern \"" << pattern << "\" back at " << back;
            }
            p = want && want < line.end ? want : (want ? line.end : p + 1);
        }
    }
    return found;
}

TEST(PatternLine, TriesOfALineMatchTriesAlone)
{
    std::mt19937 rng(4711);
    size_t found = 0;
    for (int round = 0; round < 2500; ++round) {
        const std::string pattern = RandomPattern(rng);
        const size_t len = round % 100 == 0 ? 9000 : 1 + rng() % 60;   // long ones span memo blocks
        const std::string text = RandomText(rng, len);
        const unsigned further = rng() % 3;
        const bool fold = rng() % 3 == 0, wordEnd = rng() % 3 == 0;
        // the defaults; sharing in every line with memo budgets of plenty, none at all, and a
        // few blocks (the rest of a line without)
        const size_t budgets[] = {0, 48u << 20, 1, 1024};
        for (size_t budget : budgets)
            found += CompareWalk(pattern, text, further, fold, wordEnd, budget, rng,
                                 "round " + std::to_string(round) + " budget " + std::to_string(budget));
        if (HasFailure()) return;
    }
    EXPECT_GT(found, 20000u); // the rounds do find things
}

// Whole words: a try that stops where its thread list meets that of an earlier try ending
// inside a word forgets the steps it took, so that a later try still finds its own match.
TEST(PatternLine, TriesAfterOneThatStoppedEarlyFindTheirOwnMatch)
{
    const std::string text =
        "bab baaabca abc aa bcabc c c bacacababaccc aaaacbaaab abaacbcaacacaaa aabacba bacabcab   c"
        " cbcaabbbaa   abaaaabba  a acacaacaccbaab aabbb   aaaccbcbacaacacc a ccc aa aaac cab a ba "
        "aaac aaabcaacbabaaaaaa ccbaaabaa  aa baaabaa   acbbbbaaccbca acaa acca acbb  ccba cacaaa b"
        " bccca acccbaabca ac ca a bc a cacba a caba aa aabc a  bcacba baaa  accba aa aab aab   acc"
        "aacb a bba cb  baabca c acabbbbbcabaaaaaaba c aaaaaaac baaacb bc aabbabaaccabacbabcaaaaa b"
        "aaaabacccb caa c a  c ac   ab  baa  ab";
    std::mt19937 rng(1);
    EXPECT_GT(CompareWalk("?*b", text, 0, false, true, 0, rng, "early stop"), 10u);
}

TEST(PatternLine, StopRaisedGivesNothingAndTheNextLineStartsAfresh)
{
    const std::string text = std::string(100000, 'a') + "b\nab";
    CPatternLineMatcher lm;
    ASSERT_TRUE(lm.Compile("*b", 2, false));
    lm.SetLine(text.data(), 0, 100001, false);
    std::atomic<long> stop(1);
    EXPECT_EQ(0u, lm.Try(0, &stop));
    stop = 0;
    EXPECT_EQ(100001u, lm.Try(0, &stop)); // the given-up try left nothing behind
    EXPECT_EQ(100001u, lm.Try(1, &stop));
    lm.SetLine(text.data(), 100002, text.size(), false);
    EXPECT_EQ(text.size(), lm.Try(100002, nullptr));
}

TEST(PatternLine, BadInputFindsNothing)
{
    const std::string text = "abc";
    CPatternLineMatcher lm;
    EXPECT_EQ(0u, lm.Try(0, nullptr)); // no pattern yet
    EXPECT_FALSE(lm.Compile("\\[abc", 5, false));
    lm.SetLine(text.data(), 0, 3, false);
    EXPECT_EQ(0u, lm.Try(0, nullptr));
    EXPECT_TRUE(lm.Compile("b", 1, false));
    lm.SetLine(text.data(), 0, 3, false);
    EXPECT_EQ(0u, lm.Try(0, nullptr));
    EXPECT_EQ(2u, lm.Try(1, nullptr));
    EXPECT_EQ(0u, lm.Try(3, nullptr)); // outside the line
}

// Patterns whose every try runs over the rest of the line: trying every position of a long line
// takes about line × pattern steps in all (trying each alone took that for each position).
TEST(PatternLine, EveryPositionOfALongLine)
{
    const std::string stars60 = std::string(60, '*') + "b";
    struct Case {
        std::string pattern;
        std::string text;
        bool wordEnd;
        size_t matches;
    } cases[] = {
        {stars60, std::string(200000, 'a'), false, 0},
        {"\\w\\w\\w\\w\\w\\wb", std::string(200000, 'a'), false, 0},
        {"*a*a*a*a*a*a*a*a*a*ab", std::string(200000, 'a'), false, 0},
        {"\\+\\+\\+\\+\\+\\+x", std::string(200000, ' '), false, 0},
        {"\\|b|c", std::string(200000, 'a'), false, 0},
        {"\\w\\_b", std::string(200000, 'a') + " b", false, 1},
        {"*\\_x", std::string(200000, 'a') + " x", true, 1},
        // whole words: the match from every position ends inside the word "bc"
        {"*b", std::string(200000, 'a') + "bc", true, 0},
        {"\\|c|b", std::string(200000, 'a') + "bc", true, 0},
        {"?*\\(x)b", std::string(200000, 'a') + "bc", true, 0},
        {"*\\wb", std::string(100000, 'a') + " " + std::string(100000, 'a') + "bc", true, 0},
    };
    for (const Case& c : cases) {
        CPatternLineMatcher lm;
        ASSERT_TRUE(lm.Compile(c.pattern.data(), (int)c.pattern.size(), false));
        lm.SetLine(c.text.data(), 0, c.text.size(), c.wordEnd);
        size_t matches = 0;
        for (size_t p = 0; p < c.text.size();) {
            size_t e = lm.Try(p, nullptr);
            matches += e != 0;
            p = e ? e : p + 1;
        }
        EXPECT_EQ(c.matches, matches) << c.pattern;
    }
}

} // namespace
