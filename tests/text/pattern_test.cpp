// The search-pattern matcher: every element, backtracking, bounds and worst cases.
#include <gtest/gtest.h>

#include "text/Match.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>

// Live allocations of this process, to see that a thread's matcher goes with the thread.
static std::atomic<long> g_live{0};

void* operator new(size_t size)
{
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    ++g_live;
    return p;
}

void operator delete(void* p) noexcept
{
    if (p) --g_live;
    std::free(p);
}

void operator delete(void* p, size_t) noexcept
{
    if (p) --g_live;
    std::free(p);
}

namespace {

int M(const std::string& pattern, const std::string& text, unsigned flags = PM_ANCHORED)
{
    return PatternMatch(pattern.data(), (int)pattern.size(), text.data(), (int)text.size(), flags);
}

struct Case {
    const char* pattern;
    const char* text;
    int want;
    unsigned flags;
};

void RunCases(const Case* cases, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(M(c.pattern, c.text, c.flags | PM_ANCHORED), c.want)
            << "pattern \"" << c.pattern << "\" text \"" << c.text << "\" flags " << c.flags;
    }
}

TEST(Pattern, StarAndQuestion)
{
    const Case cases[] = {
        {"a*b", "a12b34b", 4, 0},      // '*' as short as possible
        {"a*b", "ab", 2, 0},
        {"a*b", "a1\nb", 0, 0},        // never across a line end
        {"a*", "abc\r\ndef", 3, 0},    // at the end: the rest of the line
        {"*", "xyz", 3, 0},
        {"a?c", "abc", 3, 0},
        {"a?c", "ac", 0, 0},
        {"?", "\n", 0, 0},
        {"?", "\r", 0, 0},
        {"a*b*c", "a1b2b3c", 7, 0},
        {"abc", "abd", 0, 0},
        {"", "abc", 0, 0},             // an empty match is no match
        {"a**b", "a12b34b", 4, 0},     // a run of '*' is one '*'
        {"a***", "abc\r\ndef", 3, 0},
        {"**\\\\**b", "x\\yb", 4, 0},
        {"a*\\**b", "a*b", 3, 0},       // an escaped '*' between them is a character
        {"a*\\**b", "ab", 0, 0},
        {"a*\\**b", "a1*2b3b", 5, 0},
    };
    RunCases(cases, sizeof cases / sizeof *cases);
}

TEST(Pattern, WordsNumbersBlanks)
{
    const Case cases[] = {
        {"\\w", "hello world", 5, 0},
        {"\\w", " x", 0, 0},
        {"\\wing", "testing x", 7, 0},           // a run gives back what the rest needs
        {"\\w", "Gr\xFC\xDF" "e!", 5, 0},        // Latin-1 letters are word characters
        {"\\w", "a_1\xD7z", 5, 0},               // as are '_', digits and 0xD7
        {"\\w\\_\\w", "foo bar", 7, 0},
        {"\\z", "-123abc", 4, 0},
        {"\\z", "+5", 2, 0},
        {"\\z", "0x1Fg", 4, 0},
        {"\\z", "0xg", 1, 0},
        {"\\z", "abc", 0, 0},
        {"\\z", "-x", 0, 0},
        {"*\\z;", "x = 12;", 7, 0},
        {"\\_", "  \tx", 3, 0},
        {"\\_", "x", 0, 0},
        {"a\\_b", "ab", 0, 0},
        {"a\\.b", "ab", 2, 0},
        {"a\\.b", "a \t b", 5, 0},
        {"a\\.b", "a\nb", 0, 0},
        {"\\-", " \r\n x", 4, 0},
        {"a\\-b", "a\r\nb", 4, 0},
        {"a\\-b", "ab", 0, 0},
        {"a\\+b", "ab", 2, 0},
        {"a\\+b", "a \n b", 5, 0},
        {"\\m", "\xE9", 1, 0},
        {"\\m", "1", 0, 0},
        {"\\m", "_", 0, 0},
        {"\\p", "5", 1, 0},
        {"\\p\\p", "5a", 0, 0},
        {"\\o\\o\\o", "a1\xC4", 3, 0},
        {"\\o", "_", 0, 0},
    };
    RunCases(cases, sizeof cases / sizeof *cases);
}

TEST(Pattern, LinesAndWords)
{
    const Case cases[] = {
        {"\\aabc", "abc", 3, 0},
        {"\\aabc", "abc", 0, PM_NOT_BOL},
        {"x\\q\\ay", "x\r\ny", 4, PM_NOT_BOL},
        {"abc\\e", "abc", 3, 0},
        {"abc\\e", "abcd", 0, 0},
        {"abc\\e", "abc\r\n", 3, 0},
        {"\\q", "\r\nx", 2, 0},
        {"\\q", "\rx", 1, 0},
        {"\\q", "\n\r", 1, 0},
        {"\\q", "x", 0, 0},
        {"a\\q\\qb", "a\r\n\nb", 5, 0},
        {"\\gfoo", "foo", 3, 0},
        {"\\gfoo", "foo", 0, PM_WORD_PREV},
        {" \\gx", " x", 2, 0},
        {"a\\gb", "ab", 0, 0},
        {"foo\\f", "foo bar", 3, 0},
        {"foo\\f", "foobar", 0, 0},
        {"foo\\f", "foo", 3, 0},
        {"\\f ", " x", 1, PM_WORD_PREV},
        {"\\f ", " x", 0, 0},
        {"\\w\\f", "abc", 3, 0},
    };
    RunCases(cases, sizeof cases / sizeof *cases);
}

TEST(Pattern, SetsAndChoices)
{
    const Case cases[] = {
        {"\\[a-c]", "b", 1, 0},
        {"\\[a-c]", "d", 0, 0},
        {"\\[a-c]", "B", 1, PM_FOLD},
        {"\\[a-c]", "B", 0, 0},
        {"\\[\\]]", "]", 1, 0},
        {"\\[-a]", "-", 1, 0},
        {"\\[a-]", "-", 1, 0},
        {"\\[\\x41\\t]", "\t", 1, 0},
        {"\\[]x", "x", 0, 0},              // an empty choice takes nothing
        {"\\[0-9][", "5[", 2, 0},
        {"\\(ab)c", "ac", 2, 0},
        {"\\(ab)c", "c", 1, 0},
        {"\\(ab)c", "bc", 2, 0},
        {"\\(a)a", "a", 1, 0},             // the optional character gives way
        {"\\{ab}", "c", 1, 0},
        {"\\{ab}", "a", 0, 0},
        {"\\{ab}", "\n", 0, 0},
        {"\\{a}", "A", 0, PM_FOLD},
        {"\\{a}", "A", 1, 0},
        {"\\<Mo,Di,Mittwoch>", "Mittwoch", 8, 0},
        {"\\<Mo,Di,Mittwoch>", "Di", 2, 0},
        {"\\<ab,abc>", "abc", 2, 0},       // the first string that fits
        {"\\<ab,abc>d", "abcd", 4, 0},     // unless the rest needs another
        {"\\<a\\,b,c>", "a,b", 3, 0},
        {"\\<x,>y", "y", 1, 0},            // an empty string may stand in the list
        {"\\<ROT,gr\xFCn>", "rot", 3, PM_FOLD},
        {"x\\|end|y", "x abc y", 7, 0},
        {"x\\|end|y", "x the end y", 0, 0},
        {"x\\|end,stop|y", "x sto y", 7, 0},
        {"x\\|end,stop|y", "x stop y", 0, 0},
        {"x\\|end|", "x abc end", 6, 0},   // at the pattern's end: as long as it can
        {"x\\|END|y", "x end y", 0, PM_FOLD},
        {"\\|a|b", "a\nb", 0, 0},
    };
    RunCases(cases, sizeof cases / sizeof *cases);
}

TEST(Pattern, EscapedLiterals)
{
    const Case cases[] = {
        {"\\#abc#x", "abcx", 4, 0},
        {"\\#abc#x", "x", 1, 0},
        {"\\#\\t\\##", "\t#", 2, 0},
        {"\\&\\x41&", "A", 1, 0},
        {"\\&a&", "b", 0, 0},
        {"\\&\\&&", "&", 1, 0},
        {"\\$-$5", "-5", 2, 0},
        {"\\$-$5", "5", 1, 0},
        {"a\\\\b", "a\\b", 3, 0},
        {"\\*", "*", 1, 0},
        {"\\*", "x", 0, 0},
        {"\\?", "?", 1, 0},
        {"\\t", "\t", 1, 0},
        {"\\x41", "A", 1, 0},
        // the C escape table decides, in lists and texts too: \b backspace, \v vertical tab
        {"\\b", "\b", 1, 0},
        {"\\b", "b", 0, 0},
        {"\\v", "\v", 1, 0},
        {"\\v", "v", 0, 0},
        {"\\[\\b]", "\b", 1, 0},
        {"\\[\\b]", "b", 0, 0},
        {"\\[\\v]", "\v", 1, 0},
        {"\\{\\b}", "b", 1, 0},
        {"\\{\\b}", "\b", 0, 0},
        {"\\[\\a\\e\\f]", "\x1B", 1, 0}, // in a list \a \e \f are BEL, ESC and FF, not
        {"\\[\\a\\e\\f]", "e", 0, 0},     // line start, line end and word end
        {"\\<\\b,\\v>", "\v", 1, 0},
        {"\\&\\b&", "\b", 1, 0},
        {"\\#\\v\\b#x", "\v\bx", 3, 0},
        {"\\y", "y", 1, 0},             // any other character stands for itself
        {"a\\", "a\\", 2, 0},              // a backslash at the very end is itself
        {"ABC", "abc", 3, PM_FOLD},
        {"ABC", "abc", 0, 0},
        {"\xC4", "\xE4", 0, PM_FOLD},      // folding is ASCII only
    };
    RunCases(cases, sizeof cases / sizeof *cases);
}

TEST(Pattern, Malformed)
{
    const char* bad[] = {"\\[abc", "\\(a", "\\{a", "\\<a,b", "\\|a", "\\#a", "\\&a", "\\&ab&", "\\&&",
                         "\\$ab$", "\\[z-a]"};
    for (const char* p : bad) EXPECT_EQ(M(p, "abcdefgh"), 0) << p;
    // a good pattern after a bad one compiles afresh
    EXPECT_EQ(M("abc", "abcdefgh"), 3);
}

TEST(Pattern, WholeTextMode)
{
    EXPECT_EQ(M("a*c", "abc", 0), 1);
    EXPECT_EQ(M("a*c", "abcd", 0), 0);
    EXPECT_EQ(M("a*", "abc", 0), 1);
    EXPECT_EQ(M("\\<ab,abc>", "abc", 0), 1); // the second string when only it fills the text
    EXPECT_EQ(M("", "", 0), 1);
}

TEST(Pattern, NeverReadsPastTheText)
{
    // the text ends right at an inaccessible page
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    char* mem = static_cast<char*>(VirtualAlloc(nullptr, si.dwPageSize * 2, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(mem, nullptr);
    DWORD old;
    ASSERT_TRUE(VirtualProtect(mem + si.dwPageSize, si.dwPageSize, PAGE_NOACCESS, &old));
    const char text[] = "abc 123";
    char* t = mem + si.dwPageSize - (sizeof text - 1);
    memcpy(t, text, sizeof text - 1);
    const char* patterns[] = {"abc*", "*\\e", "\\w\\_\\z", "abc\\_\\z\\f", "\\|x|", "*\\<3,4>", "\\-\\+\\.",
                              "abc \\#123456#", "*\\q", "*\\g"};
    for (const char* p : patterns) {
        EXPECT_GE(PatternMatch(p, (int)strlen(p), t, (int)sizeof text - 1, PM_ANCHORED), 0) << p;
        PatternMatch(p, (int)strlen(p), t, (int)sizeof text - 1, 0);
    }
    // a pattern that ends in an escape at the end of its length reads nothing behind it
    char* p = mem + si.dwPageSize - 2;
    memcpy(p, "\\x", 2);
    EXPECT_EQ(PatternMatch(p, 2, "x", 1, PM_ANCHORED), 1);
    VirtualFree(mem, 0, MEM_RELEASE);
}

TEST(Pattern, LinearOnHardCases)
{
    // patterns that make naive backtracking exponential finish at once here
    std::string as(20000, 'a');
    EXPECT_EQ(M("*a*a*a*a*a*a*a*a*a*a*b", as), 0);
    EXPECT_EQ(M("\\w\\w\\w\\w\\w\\w\\w\\w\\w\\wb", as), 0);
    EXPECT_EQ(M("\\+\\+\\+\\+\\+\\+\\+x", std::string(20000, ' ')), 0);
    EXPECT_EQ(M("\\(a)\\(a)\\(a)\\(a)\\(a)\\(a)\\(a)\\(a)\\(a)\\(a)aaaaaaaaaab", as), 0);
    EXPECT_EQ(M("*a", as + "b"), 1);
    EXPECT_EQ(M("*b", as + "b"), 20001);
    EXPECT_EQ(M("\\w", as), 20000);
    // a raised stop flag gives up within a long text; a short one is done before it is read
    std::atomic<long> stop(1);
    std::string ab = as + "b";
    EXPECT_EQ(PatternMatch("*b", 2, ab.data(), (int)ab.size(), PM_ANCHORED, &stop), 0);
    EXPECT_EQ(PatternMatch("*b", 2, "aab", 3, PM_ANCHORED, &stop), 3);
    stop = 0;
    EXPECT_EQ(PatternMatch("*b", 2, ab.data(), (int)ab.size(), PM_ANCHORED, &stop), 20001);
}

DWORD WINAPI PatternThread(LPVOID)
{
    return (DWORD)M("x\\_y", "x  y");
}

TEST(Pattern, ThreadsKeepTheirOwnPattern)
{
    bool ok1 = true, ok2 = true;
    std::thread t1([&] {
        for (int i = 0; i < 2000; ++i) ok1 = ok1 && M("a*b", "a12b") == 4;
    });
    std::thread t2([&] {
        for (int i = 0; i < 2000; ++i) ok2 = ok2 && M("\\w", "abc d") == 3;
    });
    t1.join();
    t2.join();
    EXPECT_TRUE(ok1);
    EXPECT_TRUE(ok2);
    HANDLE h = CreateThread(nullptr, 0, PatternThread, nullptr, 0, nullptr);
    ASSERT_NE(h, nullptr);
    WaitForSingleObject(h, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(h, &code);
    CloseHandle(h);
    EXPECT_EQ(code, 4u);
}

TEST(Pattern, EndedThreadsFreeTheirMatcher)
{
    auto runThreads = [] {
        for (int i = 0; i < 50; ++i) {
            HANDLE h = CreateThread(nullptr, 0, PatternThread, nullptr, 0, nullptr);
            ASSERT_NE(h, nullptr);
            WaitForSingleObject(h, INFINITE);
            CloseHandle(h);
        }
    };
    runThreads(); // first use of every lazily made object
    long before = g_live.load();
    runThreads();
    EXPECT_LE(g_live.load() - before, 5);
}

} // namespace
