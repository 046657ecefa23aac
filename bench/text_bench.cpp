// Benchmark of the text layer's hot paths (prints figures; not a test):
// the pattern matcher called at every position of every line, as the text search calls it,
// the tries of one long line that the pattern never matches (shared by the line matcher, and
// each on its own as before), the wildcard matcher and the formatter.
#include "text/Format.h"
#include "text/Match.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

double Seconds()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart / (double)f.QuadPart;
}

std::string MakeText(size_t size)
{
    static const char* words[] = {"int", "value", "=", "foo(bar,", "12345;", "return", "x_y", "\xFC" "ber",
                                  "if", "(count", ">", "0x1F)", "{", "}", "//", "Kommentar"};
    std::string s;
    unsigned r = 1;
    while (s.size() < size) {
        int n = 3 + (int)(r % 12);
        for (int i = 0; i < n; ++i) {
            r = r * 1103515245 + 12345;
            s += words[(r >> 16) % 16];
            s += ' ';
        }
        s += "\r\n";
    }
    return s;
}

void BenchPattern(const std::string& text, const char* pattern)
{
    const int plen = (int)strlen(pattern);
    double t0 = Seconds();
    long long hits = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        for (size_t p = pos; p < end;) {
            int m = PatternMatch(pattern, plen, text.data() + p, (int)(end - p), p > pos ? PM_ANCHORED | PM_NOT_BOL : PM_ANCHORED);
            if (m > 0) {
                ++hits;
                p += (size_t)m;
            } else {
                ++p;
            }
        }
        pos = end;
        while (pos < text.size() && (text[pos] == '\r' || text[pos] == '\n')) ++pos;
    }
    double t = Seconds() - t0;
    std::printf("PatternMatch %-22s %8.1f MB/s  %lld hits\n", pattern, text.size() / t / 1e6, hits);
}

// Tries every position of one line of n letters 'a': with the line matcher, or each position
// alone with PatternMatch (time grows with the square of the line).
double TryLine(const std::string& pattern, size_t n, bool alone)
{
    const std::string line(n, 'a');
    double t0 = Seconds();
    size_t hits = 0;
    CPatternLineMatcher lm;
    lm.Compile(pattern.data(), (int)pattern.size(), false);
    lm.SetLine(line.data(), 0, n, false);
    for (size_t p = 0; p < n; ++p) {
        if (alone)
            hits += PatternMatch(pattern.data(), (int)pattern.size(), line.data() + p, (int)(n - p),
                                 PM_ANCHORED | (p ? PM_NOT_BOL | PM_WORD_PREV : 0u)) > 0;
        else
            hits += lm.Try(p, nullptr) != 0;
    }
    if (hits) std::printf("unexpected hits\n");
    return Seconds() - t0;
}

void BenchLongLine(const std::string& pattern, const char* name)
{
    const double line = TryLine(pattern, 1 << 20, false);
    const double alone = TryLine(pattern, 5000, true);
    std::printf("line of 1 MB, %-20s %7.3f s; each try alone over 5,000 bytes %7.3f s\n", name, line, alone);
}

} // namespace

int main()
{
    const std::string text = MakeText(8 << 20);
    const char* patterns[] = {"Q", "foo*bar", "\\w(", "\\z;", "\\gvalue\\f", "*\\e", "\\<if,return>\\_\\w",
                              "x\\|;|;"};
    for (const char* p : patterns) BenchPattern(text, p);
    BenchLongLine(std::string(60, '*') + "b", "60 '*', then b");
    BenchLongLine("\\w\\w\\w\\w\\w\\wb", "\\w\\w\\w\\w\\w\\wb");
    BenchLongLine("*a*a*a*a*a*a*a*a*ab", "*a*a*a*a*a*a*a*a*ab");

    char name[64];
    double t0 = Seconds();
    int matches = 0;
    for (int i = 0; i < 1000000; ++i) {
        StrFormat(name, sizeof name, "Datei_%05d.%s", i, (i & 3) ? "txt" : "cpp");
        matches += WildcardMatchListA("*.c;*.cpp;*.h", name) != 0;
    }
    double t = Seconds() - t0;
    std::printf("StrFormat + WildcardMatchListA: %.0f ns per name (%d matches)\n", t * 1e9 / 1000000, matches);
    return 0;
}
