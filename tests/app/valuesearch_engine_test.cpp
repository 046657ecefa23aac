// The value search engine: compare modes, group windows, hits and their lines, limits,
// sorting, stop flags and the file searches with the file cache.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/TempTree.h"
#include "app/FileCache.h"
#include "app/HexSearch.h"
#include "app/ValueSyntax.h"
#include "system/DirList.h"

namespace {

// A buffer whose last byte lies right before a PAGE_NOACCESS page: any read past its end
// faults.
class GuardedBuffer {
public:
    explicit GuardedBuffer(const std::string& bytes) : m_base(nullptr), m_data(nullptr), m_size((int)bytes.size())
    {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        size_t page = si.dwPageSize;
        size_t body = (bytes.size() + page - 1) / page * page;
        if (body == 0)
            body = page;
        m_base = (BYTE*)VirtualAlloc(nullptr, body + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        DWORD old;
        VirtualProtect(m_base + body, page, PAGE_NOACCESS, &old);
        m_data = m_base + body - bytes.size();
        memcpy(m_data, bytes.data(), bytes.size());
    }
    ~GuardedBuffer() { VirtualFree(m_base, 0, MEM_RELEASE); }
    const BYTE* Data() const { return m_data; }
    int Size() const { return m_size; }

private:
    BYTE* m_base;
    BYTE* m_data;
    int m_size;
};

// Builds a group string: the distance, then the terms.
std::string Group(const char* distance, std::initializer_list<std::string> terms)
{
    std::string g(distance);
    g += '\0';
    for (const auto& t : terms) {
        g += t;
        g += '\0';
    }
    g += '\0';
    return g;
}

// The term line of an input, as the dialog writes it.
std::string T(const char* input, int kind = -2, int width = WIDTH_VARIABLE, unsigned options = 0)
{
    char line[VALUE_TERM_SIZE];
    if (kind == -2)
        kind = GetValueKind(input);
    EXPECT_GT(BuildTerm(input, kind, width, options, -1, line, sizeof(line)), 0) << input;
    return line;
}

std::vector<int> Positions(const CHexSearch& s)
{
    std::vector<int> v;
    for (int i = 0; i < s.GetHitCount(); ++i)
        v.push_back(s.GetHitPos(i));
    return v;
}

std::vector<int> Find(const std::string& buffer, const std::string& group, int flags = 0)
{
    GuardedBuffer b(buffer);
    CHexSearch s;
    s.SearchBuffer(b.Data(), b.Size(), "buf", group.data(), flags);
    return Positions(s);
}

typedef std::vector<int> Hits;

}  // namespace

TEST(HexSearchMatch, ExactCountsUpToTheLastByte)
{
    CHexSearch s;
    for (int count = 1; count <= 9; ++count) {
        std::string pattern;
        for (int i = 0; i < count; ++i)
            pattern += (char)('a' + i);
        // A near miss first (last byte differs), then the pattern at the very end.
        std::string data = "xx" + pattern.substr(0, count - 1) + "z" + "yy" + pattern;
        GuardedBuffer b(data);
        const BYTE* p = (const BYTE*)pattern.data();
        int len = b.Size();
        EXPECT_EQ(len - count, s.Match(b.Data(), p, count, 0, len, HEXMATCH_EXACT)) << count;
        EXPECT_EQ(-1, s.Match(b.Data(), p, count, 0, len - 1, HEXMATCH_EXACT)) << count;
        EXPECT_EQ(-1, s.Match(b.Data(), p, count, len - count + 1, len, HEXMATCH_EXACT)) << count;
        EXPECT_EQ(len - count, s.Match(b.Data(), p, count, len - count, len, HEXMATCH_EXACT)) << count;
    }
    BYTE one = 'q';
    GuardedBuffer b("abc");
    EXPECT_EQ(2, s.Match(b.Data(), &one, 0, 2, 3, HEXMATCH_EXACT));   // no bytes: at once
    EXPECT_EQ(-1, s.Match(b.Data(), (const BYTE*)"a", 1, 0, 3, 3));   // unknown mode
    EXPECT_EQ(-1, s.Match(b.Data(), (const BYTE*)"abc", 3, 0, 2, HEXMATCH_EXACT));
}

TEST(HexSearchMatch, IgnoreCaseFoldsAsciiOnly)
{
    CHexSearch s;
    GuardedBuffer b("xx aBc ABC abc \xC4\xE4 Xy");
    const BYTE* p = (const BYTE*)"ABC";
    EXPECT_EQ(3, s.Match(b.Data(), p, 3, 0, b.Size(), HEXMATCH_NOCASE));
    EXPECT_EQ(7, s.Match(b.Data(), p, 3, 4, b.Size(), HEXMATCH_NOCASE));
    EXPECT_EQ(11, s.Match(b.Data(), (const BYTE*)"abc", 3, 8, b.Size(), HEXMATCH_NOCASE));
    EXPECT_EQ(-1, s.Match(b.Data(), (const BYTE*)"\xE4\xE4", 2, 0, b.Size(), HEXMATCH_NOCASE));
    EXPECT_EQ(15, s.Match(b.Data(), (const BYTE*)"\xC4\xE4", 2, 0, b.Size(), HEXMATCH_NOCASE));
    EXPECT_EQ(b.Size() - 2, s.Match(b.Data(), (const BYTE*)"xY", 2, 0, b.Size(), HEXMATCH_NOCASE));
    EXPECT_EQ(b.Size() - 1, s.Match(b.Data(), (const BYTE*)"Y", 1, 0, b.Size(), HEXMATCH_NOCASE));
}

TEST(HexSearchMatch, MasksCompareOnlyTheirBits)
{
    CHexSearch s;
    std::string data;
    for (int i = 0; i < 256; ++i)
        data += (char)i;
    GuardedBuffer b(data);
    BYTE high[2] = {0x50, 0xF0};   // mask F0: every byte 0x50..0x5F
    int from = 0;
    std::vector<int> found;
    for (;;) {
        int r = s.Match(b.Data(), high, 1, from, b.Size(), HEXMATCH_MASKED);
        if (r < 0)
            break;
        found.push_back(r);
        from = r + 1;
    }
    ASSERT_EQ(16u, found.size());
    EXPECT_EQ(0x50, found.front());
    EXPECT_EQ(0x5F, found.back());
    // Every count from 2 to 7: the buffer's last bytes, the first byte's high nibble free.
    for (int count = 2; count <= 7; ++count) {
        std::vector<BYTE> pat(2 * count);
        for (int i = 0; i < count; ++i) {
            pat[i] = (BYTE)(256 - count + i);
            pat[count + i] = 0xFF;
        }
        pat[0] &= 0x0F;
        pat[count] = 0x0F;
        EXPECT_EQ(256 - count, s.Match(b.Data(), pat.data(), count, 0, 256, HEXMATCH_MASKED)) << count;
        EXPECT_EQ(-1, s.Match(b.Data(), pat.data(), count, 0, 255, HEXMATCH_MASKED)) << count;
        if (count > 2) {
            // A mask byte of 0 lets every byte through.
            pat[2 * count - 1] = 0;
            pat[count - 1] = 0x12;
            EXPECT_EQ(256 - count, s.Match(b.Data(), pat.data(), count, 0, 256, HEXMATCH_MASKED)) << count;
        }
    }
    BYTE none[8] = {1, 2, 3, 4, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(-1, s.Match(b.Data(), none, 4, 5, 256, HEXMATCH_MASKED));
}

TEST(HexSearchGroup, OneTermFindsOverlappingHits)
{
    EXPECT_EQ(Hits({0, 1}), Find(std::string("\0\0\0", 3), Group("0", {T(":00 00")})));
    EXPECT_EQ(Hits({0, 1, 2, 3}), Find("aaaaa", Group("0", {T("\"aa\"")})));
    EXPECT_EQ(Hits({3}), Find("xyzabc", Group("0", {T("\"abc\"")})));
    // The dialog's group outside group mode: "0" and one term; a word in Motorola order.
    EXPECT_EQ(Hits({1}), Find("\x01\x12\x34\x34\x12", Group("0", {T("0x1234", VALUE_HEX, WIDTH_WORD, VSO_MOTOROLA)})));
    EXPECT_EQ(Hits({3}), Find("\x01\x12\x34\x34\x12", Group("0", {T("0x1234", VALUE_HEX, WIDTH_WORD)})));
    EXPECT_EQ(Hits({1, 5}), Find("xaBcxABCx", Group("0", {T("\"abc\"", VALUE_TEXT, WIDTH_VARIABLE, VSO_NOCASE)})));
    EXPECT_EQ(Hits({2}), Find(std::string("a\0B\0", 4),
                              Group("0", {T("\"b\"", VALUE_TEXT, WIDTH_VARIABLE, VSO_NOCASE | VSO_UNICODE)})));
    EXPECT_EQ(Hits({2, 3}), Find("NOPQ", Group("0", {T(":5?")})));   // 0x50, 0x51
}

TEST(HexSearchGroup, ZeroByteTermMatchesEverywhere)
{
    EXPECT_EQ(Hits({0, 1, 2, 3, 4}), Find("abcde", Group("0", {"U:0\t:"})));
    // As a further term it is always found.
    EXPECT_EQ(Hits({2}), Find("abcde", Group("0", {T("\"c\""), "U:0\t:"})));
}

TEST(HexSearchGroup, ZeroByteFirstTermStaysInsideTheBuffer)
{
    // Groups come from the registry unchanged: a first term without bytes and a further term
    // that is missing give no hit and read nothing beyond the buffer, whatever the distance.
    for (const char* distance : {"10", "5", "0x80000000", "0"}) {
        for (int flags : {0, (int)CHexSearch::InOrder}) {
            EXPECT_EQ(Hits(), Find("abc", Group(distance, {"D:0\t:00", "D:1\t:7A"}), flags)) << distance << " " << flags;
        }
    }
    // A hit is a place inside the buffer, never its end.
    EXPECT_EQ(Hits({1}), Find("abc", Group("2", {"D:0\t:00", T("\"bc\"")})));
    EXPECT_EQ(Hits({0, 1, 2}), Find("abc", Group("10", {"D:0\t:00", "D:1\t:61"})));
    CHexSearch s;
    GuardedBuffer b("abc");
    std::string g = Group("10", {"U:0\t:"});
    EXPECT_EQ(2, s.MatchGroup(b.Data(), g.data(), 2, 3, 0));
    EXPECT_EQ(-1, s.MatchGroup(b.Data(), g.data(), 3, 3, 0));
    EXPECT_EQ(-1, s.Match(b.Data(), nullptr, 0, 4, 3, HEXMATCH_EXACT));
}

TEST(HexSearchGroup, StatedByteCountsAreCompared)
{
    // The value's bytes and zeros up to the stated count.
    const std::string buf("\x41\0\0\0\x78\x41", 6);
    EXPECT_EQ(Hits({0}), Find(buf, Group("0", {"H:4\t:41"})));
    EXPECT_EQ(Hits({1, 2}), Find(buf, Group("0", {"H:2\t:"})));
}

TEST(HexSearchGroup, InOrderWindowEndsAtTheDistance)
{
    // B must end within 100 bytes of A's start: B at 98..99 ends at 100.
    std::string buf(120, '.');
    buf[0] = 'A';
    buf[98] = 'B';
    buf[99] = 'B';
    std::string g = Group("100", {T("\"A\""), T("\"BB\"")});
    EXPECT_EQ(Hits({0}), Find(buf, g, CHexSearch::InOrder));
    EXPECT_EQ(Hits({0}), Find(buf, g, 0));
    buf[98] = '.';
    buf[100] = 'B';   // BB at 99..100 ends at 101
    EXPECT_EQ(Hits(), Find(buf, g, CHexSearch::InOrder));
    EXPECT_EQ(Hits(), Find(buf, g, 0));
    // A term before the first one counts only without the order flag.
    EXPECT_EQ(Hits(), Find("B..A", Group("10", {T("\"A\""), T("\"B\"")}), CHexSearch::InOrder));
    EXPECT_EQ(Hits({3}), Find("B..A", Group("10", {T("\"A\""), T("\"B\"")}), 0));
    // In order: each term behind the previous one's end.
    std::string g3 = Group("20", {T("\"A\""), T("\"B\""), T("\"C\"")});
    EXPECT_EQ(Hits({0}), Find("A.B.C", g3, CHexSearch::InOrder));
    EXPECT_EQ(Hits(), Find("A.C.B", g3, CHexSearch::InOrder));
    EXPECT_EQ(Hits({0}), Find("A.C.B", g3, 0));
    // Ordered terms may not overlap; unordered ones may.
    EXPECT_EQ(Hits(), Find("AXY", Group("20", {T("\"A\""), T("\"XY\""), T("\"Y\"")}), CHexSearch::InOrder));
    EXPECT_EQ(Hits({0}), Find("AXY", Group("20", {T("\"A\""), T("\"XY\""), T("\"Y\"")}), 0));
}

TEST(HexSearchGroup, UnorderedWindowReachesBackByTheDistance)
{
    std::string g = Group("10", {T("\"A\""), T("\"B\"")});
    // B at 10 bytes before A (A at 20, B at 10) lies at the window's start.
    std::string buf(30, '.');
    buf[20] = 'A';
    buf[10] = 'B';
    EXPECT_EQ(Hits({20}), Find(buf, g));
    buf[10] = '.';
    buf[9] = 'B';
    EXPECT_EQ(Hits(), Find(buf, g));
    // Forward: B ending at A + 10 is found, one later is not.
    buf[9] = '.';
    buf[29] = 'B';
    EXPECT_EQ(Hits({20}), Find(buf, g));
    buf[20] = '.';
    buf[19] = 'A';
    EXPECT_EQ(Hits(), Find(buf, g));
    // A backward term must end at or before the first term's start.
    EXPECT_EQ(Hits(), Find(".ABA", Group("10", {T("\"BA\""), T("\"AB\"")})));
    EXPECT_EQ(Hits({2}), Find("ABBA", Group("10", {T("\"BA\""), T("\"AB\"")})));
    EXPECT_EQ(Hits({0, 2}), Find("ABAB", Group("10", {T("\"AB\""), T("\"AB\"")})));
}

TEST(HexSearchGroup, HitsBehindAResumedSearchSeeTermsBeforeIt)
{
    // The second A must find the B in front of the first A: the backward window reaches to
    // the buffer's start, not to where the search resumed.
    EXPECT_EQ(Hits({1, 3}), Find("BA.A", Group("10", {T("\"A\""), T("\"B\"")})));
    CHexSearch s;
    GuardedBuffer b("BA.A");
    std::string g = Group("10", {T("\"A\""), T("\"B\"")});
    EXPECT_EQ(3, s.MatchGroup(b.Data(), g.data(), 2, 4, 0));
    EXPECT_EQ(-1, s.MatchGroup(b.Data(), g.data(), 2, 4, CHexSearch::InOrder));
}

TEST(HexSearchGroup, WindowStopsAtTheEnd)
{
    CHexSearch s;
    GuardedBuffer b("A...B");
    std::string g = Group("100", {T("\"A\""), T("\"B\"")});
    EXPECT_EQ(0, s.MatchGroup(b.Data(), g.data(), 0, 5, 0));
    EXPECT_EQ(-1, s.MatchGroup(b.Data(), g.data(), 0, 4, 0));
    EXPECT_EQ(-1, s.MatchGroup(b.Data(), g.data(), 0, -1, 0));
    EXPECT_EQ(-1, s.MatchGroup(b.Data(), "", 0, 5, 0));
    EXPECT_EQ(-1, s.MatchGroup(b.Data(), nullptr, 0, 5, 0));
    EXPECT_EQ(-1, s.MatchGroup(b.Data(), "5\0\0", 0, 5, 0));
    // Every term at the very end of the buffer, no read past it.
    for (int flags : {0, (int)CHexSearch::InOrder}) {
        GuardedBuffer e(std::string("..A\x01\x02\x03\x04", 7));
        std::string ge = Group("5", {T("\"A\""), T("0x04030201", VALUE_HEX, WIDTH_DWORD)});
        EXPECT_EQ(2, s.MatchGroup(e.Data(), ge.data(), 0, 7, flags));
        std::string gm = Group("5", {T("\"A\""), T(":01 ?2 03 0?")});
        EXPECT_EQ(2, s.MatchGroup(e.Data(), gm.data(), 0, 7, flags));
        std::string gc = Group("5", {T("\"A\""), T("\"\\x01\\x02\\x03\\x04\"", VALUE_TEXT, WIDTH_VARIABLE, VSO_NOCASE)});
        EXPECT_EQ(2, s.MatchGroup(e.Data(), gc.data(), 0, 7, flags));
    }
}

TEST(HexSearchGroup, TermCountsFromNoneToSixteen)
{
    // Sixteen distinct letters, each present once.
    std::string buf = "..abcdefghijklmnop..";
    const char letters[] = "abcdefghijklmnop";
    EXPECT_EQ(Hits(), Find(buf, Group("30", {})));
    for (int n = 1; n <= 16; ++n) {
        std::string g("30");
        g += '\0';
        for (int i = 0; i < n; ++i) {
            g += T(std::string(1, '"').append(1, letters[i]).append(1, '"').c_str());
            g += '\0';
        }
        g += '\0';
        EXPECT_EQ(Hits({2}), Find(buf, g, CHexSearch::InOrder)) << n;
        EXPECT_EQ(Hits({2}), Find(buf, g, 0)) << n;
        // The same group with a missing last term finds nothing.
        if (n > 1) {
            std::string miss = buf;
            miss[2 + n - 1] = '.';
            EXPECT_EQ(Hits(), Find(miss, g, 0)) << n;
        }
    }
    // A malformed term line spoils the group.
    EXPECT_EQ(Hits(), Find(buf, Group("30", {T("\"a\""), "garbage"})));
}

TEST(HexSearchHits, LinesShowUpToSixteenBytes)
{
    char line[96];
    BYTE bytes[16];
    for (int i = 0; i < 16; ++i)
        bytes[i] = (BYTE)i;
    FormatHexHitLine(bytes, 16, line);
    EXPECT_STREQ("00 01 02 03  04 05 06 07  08 09 0A 0B  0C 0D 0E 0F  ................", line);
    const BYTE text[] = {'A', 'b', ' ', '!', 0xFF, 0x80, 0x7F};
    FormatHexHitLine(text, 7, line);
    EXPECT_STREQ("41 62 20 21  FF 80 7F  Ab.!\xFF\x80\x7F", line);

    CHexSearch s;
    GuardedBuffer b("0123456789ABCDEFGHIJ");
    std::string g = Group("0", {T("\"F\"")});
    ASSERT_EQ(1, s.SearchBuffer(b.Data(), b.Size(), "C:\\data\\x.bin", g.data(), 0));
    char szLine[1024];
    EXPECT_EQ(1, s.GetHitLength(0));
    // Five bytes before the end: only those five.
    EXPECT_EQ(s.GetHitPos(0), 15);
    int n = s.FormatHitLine(0, szLine, sizeof(szLine), 32);
    EXPECT_STREQ("C:\\data\\x.bin(15): " "             " "46 47 48 49  4A  FGHIJ", szLine);
    EXPECT_EQ((int)strlen(szLine), n);
    EXPECT_EQ(32, (int)(strstr(szLine, "46") - szLine));
    // The path alone when it leaves fewer than 16 bytes; nothing for bad sizes and indexes.
    EXPECT_EQ(13, s.FormatHitLine(0, szLine, 28, 32));
    EXPECT_STREQ("C:\\data\\x.bin", szLine);
    EXPECT_EQ(0, s.FormatHitLine(0, szLine, 0, 32));
    EXPECT_EQ(0, s.FormatHitLine(1, szLine, sizeof(szLine), 32));
    EXPECT_EQ(0, s.FormatHitLine(-1, szLine, sizeof(szLine), 32));
    EXPECT_STREQ("", szLine);
    // A column beyond the size pads to size - 1; the line is cut to the size.
    n = s.FormatHitLine(0, szLine, 40, 64);
    EXPECT_EQ(39, n);
    EXPECT_EQ(std::string("C:\\data\\x.bin(15): ") + std::string(20, ' '), szLine);
    // No padding when the prefix reaches the column.
    n = s.FormatHitLine(0, szLine, sizeof(szLine), 5);
    EXPECT_STREQ("C:\\data\\x.bin(15): 46 47 48 49  4A  FGHIJ", szLine);
}

TEST(HexSearchHits, ResultLimitEndsTheSearch)
{
    CHexSearch s;
    s.m_nResultLimit = 10;
    GuardedBuffer b(std::string(15, 'x'));
    std::string g = Group("0", {T("\"x\"")});
    EXPECT_EQ(10, s.SearchBuffer(b.Data(), b.Size(), "a", g.data(), 0));
    EXPECT_EQ(10, s.GetHitCount());
    EXPECT_EQ(9, s.GetHitPos(9));
    EXPECT_EQ(0, s.SearchBuffer(b.Data(), b.Size(), "b", g.data(), 0));
    EXPECT_EQ(0, s.SearchBufferBytes(b.Data(), b.Size(), "b", (const BYTE*)"x", 1, HEXMATCH_EXACT));
    EXPECT_EQ(1, s.m_names.m_nCount);
}

TEST(HexSearchHits, NamesRemoveAndClear)
{
    CHexSearch s;
    GuardedBuffer b("xyxy");
    std::string g = Group("0", {T("\"x\"")});
    EXPECT_EQ(2, s.SearchBuffer(b.Data(), b.Size(), "C:\\A.bin", g.data(), 0));
    EXPECT_EQ(2, s.SearchBuffer(b.Data(), b.Size(), "c:\\a.BIN", g.data(), 0));   // same file
    EXPECT_EQ(2, s.SearchBufferBytes(b.Data(), b.Size(), "C:\\b.bin", (const BYTE*)"y", 1, HEXMATCH_EXACT));
    EXPECT_EQ(2, s.m_names.m_nCount);
    EXPECT_STREQ("C:\\A.bin", s.GetHitPath(3));
    int len = -1;
    EXPECT_EQ(nullptr, s.GetHitPathLen(6, &len));
    EXPECT_EQ(0, len);
    char buf[5];
    EXPECT_EQ(4, s.CopyHitPath(4, buf, sizeof(buf)));   // cut to the buffer
    EXPECT_STREQ("C:\\b", buf);
    EXPECT_EQ(0, s.RemoveHit(6));
    EXPECT_EQ(1, s.RemoveHit(0));
    EXPECT_EQ(5, s.GetHitCount());
    while (s.GetHitCount() > 0)
        EXPECT_EQ(1, s.RemoveHit(0));
    EXPECT_EQ(0, s.m_names.m_nCount);
    EXPECT_EQ(2, s.SearchBuffer(b.Data(), b.Size(), "C:\\b.bin", g.data(), 0));
    EXPECT_EQ(1, s.Clear());
    EXPECT_EQ(0, s.GetHitCount());
    EXPECT_EQ(0, s.m_names.m_nCount);
    // Nothing for missing input.
    EXPECT_EQ(0, s.SearchBuffer(nullptr, 4, "x", g.data(), 0));
    EXPECT_EQ(0, s.SearchBuffer(b.Data(), 0, "x", g.data(), 0));
    EXPECT_EQ(0, s.SearchBuffer(b.Data(), 4, "x", "", 0));
    EXPECT_EQ(0, s.SearchBuffer(b.Data(), 4, "x", nullptr, 0));
}

TEST(HexSearchHits, SortByPathNameAndSuffix)
{
    CHexSearch s;
    GuardedBuffer b("x.x");
    std::string g = Group("0", {T("\"x\"")});
    const char* paths[] = {"C:\\b\\file10.txt", "C:\\a\\file9.bin", "C:\\c\\File2.TXT", "C:\\a\\z.aaa"};
    for (const char* p : paths)
        s.SearchBuffer(b.Data(), b.Size(), p, g.data(), 0);
    auto order = [&] {
        std::string r;
        for (int i = 0; i < s.GetHitCount(); ++i)
            r += std::string(s.GetHitPath(i)) + "@" + std::to_string(s.GetHitPos(i)) + " ";
        return r;
    };
    EXPECT_EQ(1, s.SortBy(0, -1));
    EXPECT_EQ("C:\\a\\file9.bin@0 C:\\a\\file9.bin@2 C:\\a\\z.aaa@0 C:\\a\\z.aaa@2 "
              "C:\\b\\file10.txt@0 C:\\b\\file10.txt@2 C:\\c\\File2.TXT@0 C:\\c\\File2.TXT@2 ", order());
    EXPECT_EQ(1, s.SortBy(0, -1));
    EXPECT_EQ(1, s.m_nSortDirection);
    EXPECT_EQ("C:\\c\\File2.TXT@2 C:\\c\\File2.TXT@0 C:\\b\\file10.txt@2 C:\\b\\file10.txt@0 "
              "C:\\a\\z.aaa@2 C:\\a\\z.aaa@0 C:\\a\\file9.bin@2 C:\\a\\file9.bin@0 ", order());
    EXPECT_EQ(1, s.SortBy(1, 0));
    EXPECT_EQ(0, s.SortBy(1, 0));
    EXPECT_EQ("C:\\c\\File2.TXT@0 C:\\c\\File2.TXT@2 C:\\a\\file9.bin@0 C:\\a\\file9.bin@2 "
              "C:\\b\\file10.txt@0 C:\\b\\file10.txt@2 C:\\a\\z.aaa@0 C:\\a\\z.aaa@2 ", order());
    EXPECT_EQ(1, s.SortBy(2, -1));
    EXPECT_EQ("C:\\a\\z.aaa@0 C:\\a\\z.aaa@2 C:\\a\\file9.bin@0 C:\\a\\file9.bin@2 "
              "C:\\b\\file10.txt@0 C:\\b\\file10.txt@2 C:\\c\\File2.TXT@0 C:\\c\\File2.TXT@2 ", order());
    EXPECT_EQ(0, s.SortBy(3, 0));
    EXPECT_EQ(2, s.m_nSortColumn);
    // New hits reset the sort state.
    s.SearchBuffer(b.Data(), b.Size(), "C:\\0.bin", g.data(), 0);
    EXPECT_EQ(-1, s.m_nSortColumn);
}

TEST(HexSearchStop, BufferStopEndsAnEndlessSearch)
{
    // Every 'A' scans a window of the whole buffer for a 'Z' that is not there: without the
    // stop flag this would take hours.
    std::string buf(1 << 20, 'A');
    GuardedBuffer b(buf);
    std::string g = Group("0x7FFFFFFF", {T("\"A\""), T("\"Z\"")});
    CHexSearch s;
    std::atomic<bool> done(false);
    std::thread stopper([&] {
        Sleep(100);
        while (!done) {
            s.m_bBufferStop = 1;
            s.m_bFileStop = 1;
            Sleep(5);
        }
    });
    int n = s.SearchBuffer(b.Data(), b.Size(), "big", g.data(), 0);
    done = true;
    stopper.join();
    EXPECT_EQ(0, n);
    EXPECT_LT(s.m_nPosition.load(), b.Size());
}

namespace {

class TempDir : public testcommon::TempDir {
public:
    TempDir() : testcommon::TempDir("vs_engine_") {}
};

}  // namespace

TEST(HexSearchFiles, SearchFilesUsesTheCacheWhileFilesAreUnchanged)
{
    TempDir dir;
    std::string a = dir.Write("a.bin", "..AB..AB");
    ASSERT_TRUE(testcommon::SetTimes(a, -1, 1600000000));
    std::string b = dir.Write("b.bin", "AB");
    std::string empty = dir.Write("empty.bin", "");
    CStrList paths;
    paths.Insert(a.c_str());
    paths.Insert((a + ".missing").c_str());
    paths.Insert(empty.c_str());
    paths.Insert(b.c_str());

    CStrList cache;
    ASSERT_TRUE(FileCacheInit(&cache));
    CHexSearch s;
    s.m_pCache = &cache;
    s.m_nCacheLimit = 1000;
    std::string g = Group("0", {T("\"AB\"")});
    EXPECT_EQ(3, s.SearchFiles(paths, g.data(), 0));
    EXPECT_EQ(Hits({2, 6, 0}), Positions(s));
    EXPECT_EQ(2, s.m_names.m_nCount);
    EXPECT_EQ(2, cache.m_nCount);
    EXPECT_EQ(10u, FileCacheTotal(&cache));
    EXPECT_EQ(3, s.m_nFileIndex.load());
    EXPECT_EQ(10u, s.m_nBytesDone.load());

    // Same size and write time: the cached copy is searched, not the file.
    dir.Write("a.bin", "AB......");
    ASSERT_TRUE(testcommon::SetTimes(a, -1, 1600000000));
    s.Clear();
    EXPECT_EQ(3, s.SearchFiles(paths, g.data(), 0));
    EXPECT_EQ(Hits({2, 6, 0}), Positions(s));

    // A new write time: the file is read again and its copy replaced.
    ASSERT_TRUE(testcommon::SetTimes(a, -1, 1600000100));
    s.Clear();
    EXPECT_EQ(2, s.SearchFiles(paths, g.data(), 0));
    EXPECT_EQ(Hits({0, 0}), Positions(s));
    EXPECT_EQ(2, cache.m_nCount);

    // No cache: nothing is kept.
    CStrList none;
    ASSERT_TRUE(FileCacheInit(&none));
    CHexSearch t;
    t.m_pCache = &none;
    t.m_nCacheLimit = 0;
    EXPECT_EQ(2, t.SearchFiles(paths, g.data(), 0));
    EXPECT_EQ(0, none.m_nCount);
    t.m_pCache = nullptr;
    EXPECT_EQ(1, t.SearchFile(b.c_str(), g.data(), 0));
    EXPECT_EQ(0, t.SearchFile(empty.c_str(), g.data(), 0));
    EXPECT_EQ(6, t.SearchFileBytes(a.c_str(), (const BYTE*)".", 1, HEXMATCH_EXACT));
    BYTE pat[2] = {'b', 'a'};
    EXPECT_EQ(0, t.SearchFilesBytes(paths, pat, 2, HEXMATCH_EXACT));
    EXPECT_EQ(2, t.SearchFilesBytes(paths, pat, 1, HEXMATCH_NOCASE));
    FileCacheClear(&cache);
}

TEST(HexSearchFiles, SearchFileListSkipsFoldersAndCountsProgress)
{
    TempDir dir;
    dir.Write("one.bin", std::string("\x00\x10\x20\x30\x10\x20", 6));
    dir.Write("two.bin", std::string("\x10\x20", 2));
    std::string sub = dir.Path() + "\\sub.bin";   // a folder whose name matches too
    CreateDirectoryA(sub.c_str(), nullptr);
    CDirList list;
    ASSERT_GE(list.Open(dir.Path().c_str(), CDirList::DL_FOLDERS), 3);
    CHexSearch s;
    std::string g = Group("0", {T("0x2010", VALUE_HEX, WIDTH_WORD)});
    EXPECT_EQ(3, s.SearchFileList(list, g.data(), 0));
    EXPECT_EQ(2, s.m_names.m_nCount);
    EXPECT_EQ(8u, s.m_nBytesDone.load());
    EXPECT_EQ((long)list.m_nCount - 1, s.m_nFileIndex.load());
    // The same as a plain byte search; a set file stop flag is cleared at the start.
    s.Clear();
    s.m_bFileStop = 1;
    BYTE pat[2] = {0x10, 0x20};
    EXPECT_EQ(3, s.SearchFileListBytes(list, pat, 2, HEXMATCH_EXACT));
    RemoveDirectoryA(sub.c_str());
}
