// Renaming by format: "ren"-style wildcards, swap blocks, filters and the format rules.
#include <gtest/gtest.h>

#include "text/Match.h"

#include <cstring>
#include <random>
#include <string>

namespace {

std::string R(const char* format, const char* name, unsigned flags = RBP_COMPUTE, int* result = nullptr)
{
    char out[260];
    memset(out, 'X', sizeof out);
    int n = RenameByPattern(format, (int)strlen(name), name, out, sizeof out, flags);
    if (result) *result = n;
    if (n < 0) {
        EXPECT_EQ(out[0], 0) << format;
        return "<fail>";
    }
    EXPECT_EQ((size_t)n, strlen(out));
    return out;
}

TEST(Rename, WildcardsAsRen)
{
    EXPECT_EQ(R("*.bak", "foo.txt"), "foo.bak");
    EXPECT_EQ(R("*.bak", "a.b.txt"), "a.b.bak");
    EXPECT_EQ(R("*.bak", "README"), "README.bak");
    EXPECT_EQ(R("*.*", "README"), "README");
    EXPECT_EQ(R("*.*", "a.b"), "a.b");
    EXPECT_EQ(R("*", "Some Name.txt"), "Some Name.txt");
    EXPECT_EQ(R("x*", "abc.txt"), "xbc.txt");
    EXPECT_EQ(R("???.txt", "abcdef.doc"), "abc.txt");
    EXPECT_EQ(R("?????x.*", "ab.doc"), "abx.doc");   // '?' stops at the old '.'
    EXPECT_EQ(R("*_neu.*", "bild.jpg"), "bild_neu.jpg");
    EXPECT_EQ(R("*_*", "a_b_c"), "a_b_c");
    EXPECT_EQ(R("abc", "x.txt"), "abc");            // the rest of the old name is dropped
    EXPECT_EQ(R("*.", "name.txt"), "name");         // trailing dots go
    EXPECT_EQ(R("a:b*", "xyz"), "<fail>");          // not a valid name
    EXPECT_EQ(R("", "xyz"), "<fail>");
}

TEST(Rename, SwapBlocks)
{
    EXPECT_EQ(R("|Foto|Bild|*", "Foto 001.jpg"), "Bild 001.jpg");
    EXPECT_EQ(R("|Foto|Bild|*", "Urlaub.jpg"), "<fail>");         // nothing to swap
    EXPECT_EQ(R("|IMG_|Urlaub_|*", "img_0001.JPG"), "Urlaub_0001.JPG");
    EXPECT_EQ(R("*|_|-|*", "a_b_c.txt"), "a-b_c.txt");            // the first place that fits
    EXPECT_EQ(R("*|_|-|*|_|-|*", "a_b_c.txt"), "a-b-c.txt");
    EXPECT_EQ(R("*|.jpeg|.jpg|", "x.jpeg", RBP_COMPUTE | RBP_ALLOW_DOTS), "x.jpg");
    EXPECT_EQ(R("*|.jpeg|.jpg|", "x.jpeg"), "<fail>");            // dots need the flag
    EXPECT_EQ(R("|x?*|yyy|", "xab.txt"), "yyy");                   // a trailing '*' to the end
    EXPECT_EQ(R("|a*|b|.txt", "abc.doc"), "b.txt");                // ... or to the last '.'
    EXPECT_EQ(R("|*|pre_|*", "name.txt"), "pre_name.txt");         // a prefix
    EXPECT_EQ(R("*|.|_|*", "a.b.c", RBP_COMPUTE | RBP_ALLOW_DOTS), "a_b.c");
    EXPECT_EQ(R("*|??|XX|*", "abcd"), "XXcd");
    EXPECT_EQ(R("*|b*d|Q|*", "abcdebd"), "aQebd");                 // '*' inside a block is short
    EXPECT_EQ(R("*|Gr\xFC\xDF|Hallo|*", "gR\xDC\xDF" "e.txt"), "Halloe.txt"); // Latin-1 folds
    EXPECT_EQ(R("*|a*a*a*a*a*a*a*b|x|", std::string(200, 'a').c_str()), "<fail>"); // stays fast
}

TEST(Rename, FilterAndFlags)
{
    const unsigned filter = RBP_COMPUTE | RBP_OUTSIDE_AS_FILTER;
    EXPECT_EQ(R("*|alt|neu|*.txt", "alt_1.txt", filter), "neu_1.txt");
    EXPECT_EQ(R("*|alt|neu|*.txt", "alt_1.doc", filter), "<fail>");
    EXPECT_EQ(R("*|alt|neu|*.txt", "alt_1.doc"), "neu_1.txt");     // without the filter: "ren" rules
    EXPECT_EQ(R("*.txt", "a.txt", RBP_OUTSIDE_AS_FILTER), "a.txt");  // no RBP_COMPUTE: the old name
    EXPECT_EQ(R("*.txt", "a.doc", RBP_OUTSIDE_AS_FILTER), "<fail>");
    char small[6];
    EXPECT_EQ(RenameByPattern("*.bak", 7, "foo.txt", small, sizeof small, RBP_COMPUTE), -1);
    EXPECT_EQ(small[0], 0);
    char fits[8];
    EXPECT_EQ(RenameByPattern("*.bak", 7, "foo.txt", fits, sizeof fits, RBP_COMPUTE), 7);
    // the old name's length counts, not a NUL
    char out[260];
    EXPECT_EQ(RenameByPattern("*", 3, "abcdef", out, sizeof out, RBP_COMPUTE), 3);
    EXPECT_STREQ(out, "abc");
}

TEST(Rename, Masks)
{
    char out[260];
    EXPECT_EQ(RenamePatternToMask("*|alt|neu|*.txt", out, 1 | RBP_OUTSIDE_AS_FILTER), 1);
    EXPECT_STREQ(out, "*.txt");
    EXPECT_EQ(RenamePatternToMask("*|alt|neu|*.txt", out, 1), 1);
    EXPECT_STREQ(out, "*alt*.txt");
    EXPECT_EQ(RenamePatternToMask("IMG_|????|2023|*.jpg", out, 1 | RBP_OUTSIDE_AS_FILTER), 1);
    EXPECT_STREQ(out, "IMG_*.jpg");
    EXPECT_EQ(RenamePatternToMask("|a.b|c|", out, 1), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(RenamePatternToMask("|a.b|c|", out, 3), 1);
    EXPECT_STREQ(out, "a.b");
    EXPECT_EQ(RenamePatternToMask(std::string(300, 'a').c_str(), out, 1), 0);
}

// The dialog's format check, as the rename dialog states it: 0 good, 1 dot in a first part,
// 2 '*' in a second part, 3 '?' in a second part, 4 a block not closed.
int CheckFormat(const std::string& f, bool allowDots)
{
    int bars = 0;
    for (char c : f) {
        if (c == '|') { ++bars; continue; }
        int part = bars % 3;
        if (part == 1 && c == '.' && !allowDots) return 1;
        if (part == 2 && c == '*') return 2;
        if (part == 2 && c == '?') return 3;
    }
    return bars % 3 ? 4 : 0;
}

TEST(Rename, AgreesWithTheFormatCheck)
{
    std::mt19937 rng(7);
    const char alphabet[] = "a.*?|";
    for (int i = 0; i < 3000; ++i) {
        std::string f;
        int len = (int)(rng() % 10);
        for (int k = 0; k < len; ++k) f += alphabet[rng() % 5];
        for (int dots = 0; dots < 2; ++dots) {
            char out[260];
            unsigned flags = dots ? 1u | RBP_ALLOW_DOTS : 1u;
            bool good = CheckFormat(f, dots != 0) == 0;
            EXPECT_EQ(RenamePatternToMask(f.c_str(), out, flags) != 0, good) << f << " dots " << dots;
            if (!good) {
                EXPECT_EQ(RenameByPattern(f.c_str(), 5, "a.a.a", out, sizeof out, flags), -1) << f;
            }
        }
    }
}

} // namespace
