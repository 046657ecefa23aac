// The byte-scanning kernels of the text search at every level (plain, SSE2, AVX2) against
// plain loops, at every start and end offset so that vector blocks and tails are covered.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/TextScan.h"
#include "common/RandomText.h"

namespace {

bool Eol(unsigned char c) { return c == '\r' || c == '\n'; }

using testcommon::RandomString;

// The kernels against plain loops at every start and end offset (vector blocks and tails).
TEST(TextScanKernels, AgreeWithPlainLoops)
{
    std::mt19937 rng(7);
    std::string buf = RandomString(rng, std::string("ab\r\n\r\nxyz", 10), 700);
    const unsigned char* b = (const unsigned char*)buf.data();
    for (int level = 0; level <= 2; level++) {
        if (TextScanSetLevel(level) != level)
            continue;
        for (size_t from = 0; from < 90; from += 1)
            for (size_t to = from; to <= buf.size(); to += 1 + to % 13) {
                size_t count = 0, first = to, lastEnd = (size_t)-1;
                for (size_t i = from; i < to; i++) {
                    if (b[i] == '\n' || (b[i] == '\r' && (i + 1 >= buf.size() || b[i + 1] != '\n')))
                        count++;
                    if (Eol(b[i])) {
                        if (first == to)
                            first = i;
                        lastEnd = i;
                    }
                }
                ASSERT_EQ(count, TextScanCountLineEnds(b, from, to, buf.size())) << level << " " << from << " " << to;
                ASSERT_EQ(first, TextScanFindLineEnd(b, from, to));
                ASSERT_EQ(lastEnd, TextScanFindLastLineEnd(b, from, to));
                if (to > from + 2) {
                    TextProbe x{'x', 0}, z{'z' , 0};
                    size_t want = (size_t)-1;
                    for (size_t p = from; p + 2 < to; p++)
                        if (b[p] == 'x' && b[p + 2] == 'z') {
                            want = p;
                            break;
                        }
                    ASSERT_EQ(want, TextScanFindPair(b, from, to - 3, 0, x, 2, z));
                }
            }
    }
    TextScanSetLevel(2);
}

// Long ranges: the vector counters are folded into the total every 255 blocks.
TEST(TextScanKernels, LongRangesAndFoldedProbes)
{
    std::mt19937 rng(11);
    std::string buf = RandomString(rng, std::string("\n\r\n\r\r\n\n\nabcdefgQq", 16), 200000);
    const unsigned char* b = (const unsigned char*)buf.data();
    size_t want = 0;
    for (size_t i = 0; i < buf.size(); i++)
        if (b[i] == '\n' || (b[i] == '\r' && (i + 1 >= buf.size() || b[i + 1] != '\n')))
            want++;
    // 'Q' or 'q' three bytes after an 'a' (probe b before probe a in the text).
    size_t wantPair = (size_t)-1;
    for (size_t p = 3; p < buf.size(); p++)
        if ((b[p] | 0x20) == 'q' && b[p - 3] == 'a') {
            wantPair = p - 3;
            break;
        }
    for (int level = 0; level <= 2; level++) {
        if (TextScanSetLevel(level) != level)
            continue;
        EXPECT_EQ(want, TextScanCountLineEnds(b, 0, buf.size(), buf.size())) << level;
        EXPECT_EQ(wantPair, TextScanFindPair(b, 0, buf.size() - 4, 3, TextProbe{'q', 0x20}, 0, TextProbe{'a', 0}));
        EXPECT_EQ((size_t)-1, TextScanFindPair(b, 0, buf.size() - 1, 0, TextProbe{'z', 0}, 0, TextProbe{'z', 0}));
    }
    TextScanSetLevel(2);
}

} // namespace
