// Value syntax of the value search: kinds, parsing, printing, term lines and their editing,
// and the multi-string helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/MultiString.h"
#include "app/ValueSyntax.h"

namespace {

std::string Hex(const BYTE* p, int n)
{
    static const char d[] = "0123456789ABCDEF";
    std::string s;
    for (int i = 0; i < n; ++i) {
        if (i)
            s += ' ';
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}

// ParseValue into a buffer pre-filled with garbage; returns the bytes as hex.
std::string Parse(const char* text, int size = VALUE_MAX_BYTES, int* count = nullptr)
{
    std::vector<BYTE> buf(size + 1, 0xAA);
    int n = ParseValue(text, buf.data(), size);
    if (count)
        *count = n;
    for (int i = n; i < size; ++i) {
        if (buf[i] != 0)
            return "buffer not cleared";
    }
    if (buf[size] != 0xAA)
        return "overrun";
    return Hex(buf.data(), n);
}

std::string Format(const std::vector<BYTE>& bytes, int kind, int size = VALUE_TEXT_SIZE)
{
    std::vector<char> buf(size + 1, '\x55');
    int n = FormatValue(bytes.data(), (int)bytes.size(), buf.data(), size, kind);
    EXPECT_EQ((int)strlen(buf.data()), n);
    EXPECT_EQ('\x55', buf[size]);
    return std::string(buf.data(), n);
}

std::string Term(const char* input, int kind, int width, unsigned options, int fallback = -1)
{
    char line[VALUE_TERM_SIZE];
    int n = BuildTerm(input, kind, width, options, fallback, line, sizeof(line));
    EXPECT_EQ((int)strlen(line), n);
    return line;
}

}  // namespace

TEST(ValueSyntax, KindOfEveryInput)
{
    struct { const char* text; int kind; } cases[] = {
        {"", VALUE_NONE}, {" \t ", VALUE_NONE}, {nullptr, VALUE_NONE},
        {"\"abc\"", VALUE_TEXT}, {"  \"x", VALUE_TEXT}, {"abc", VALUE_TEXT}, {"-", VALUE_TEXT},
        {"-x", VALUE_TEXT}, {"x12", VALUE_TEXT}, {"#1", VALUE_TEXT},
        {":12 34", VALUE_DUMP}, {"\t:", VALUE_DUMP}, {":12 ?4", VALUE_MASK}, {":12:F0", VALUE_MASK},
        {":#0101????", VALUE_MASK},
        {"123", VALUE_DEC}, {" 12", VALUE_DEC}, {"-5", VALUE_DEC}, {"0", VALUE_DEC}, {"0d12", VALUE_DEC},
        {"0x1F", VALUE_HEX}, {"0X1f", VALUE_HEX}, {"-0x10", VALUE_HEX}, {"0x", VALUE_HEX},
        {"0b101", VALUE_BIN}, {"0B1", VALUE_BIN}, {"0o17", VALUE_OCT}, {"0O7", VALUE_OCT},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.kind, GetValueKind(c.text)) << (c.text ? c.text : "(null)");
}

TEST(ValueSyntax, ParseNumbers)
{
    int n = 0;
    EXPECT_EQ("34 12 00 00", Parse("0x1234", VALUE_MAX_BYTES, &n));
    EXPECT_EQ(4, n);
    EXPECT_EQ("34 12", Parse("0x1234", 2));
    EXPECT_EQ("78", Parse("0x12345678", 1));
    EXPECT_EQ("05 00 00 00", Parse("0b101"));
    EXPECT_EQ("0F 00 00 00", Parse("0o17"));
    EXPECT_EQ("39 30 00 00", Parse("12345"));
    // Blanks and a sign are taken, so that printed negatives read back.
    EXPECT_EQ("FF FF FF FF", Parse("-1"));
    EXPECT_EQ("2A 00 00 00", Parse("  42"));
    EXPECT_EQ("F0 FF FF FF", Parse("-0x10"));
    EXPECT_EQ("FF", Parse("-1", 1));
    EXPECT_EQ("00 00 00 80", Parse("-2147483648"));
}

TEST(ValueSyntax, ParseEmptyGivesNoBytes)
{
    int n = -1;
    EXPECT_EQ("", Parse("", VALUE_MAX_BYTES, &n));
    EXPECT_EQ(0, n);
    EXPECT_EQ("", Parse(" \t", 4, &n));
    EXPECT_EQ(0, n);
    EXPECT_EQ("", Parse(nullptr, 4, &n));
    EXPECT_EQ(0, n);
    BYTE b[4];
    EXPECT_EQ(0, ParseValue("12", b, 0));
    EXPECT_EQ(0, ParseValue("12", nullptr, 4));
}

TEST(ValueSyntax, ParseTextsAndDumps)
{
    EXPECT_EQ("61 62 63", Parse("\"abc\""));
    EXPECT_EQ("61 62 63", Parse("  \"abc\""));
    EXPECT_EQ("61 62 00 63", Parse("\"ab\\x00c\""));
    EXPECT_EQ("61 62", Parse("\"abc\"", 2));
    EXPECT_EQ("61 62 63", Parse("abc"));
    EXPECT_EQ("41 0A 09", Parse("A\\n\\t"));
    EXPECT_EQ("12 34 AB", Parse(":12 34 ab"));
    EXPECT_EQ("12 34", Parse(" :12 34 56", 2));
    // Masked dumps: the value bytes, then as many mask bytes.
    int n = 0;
    EXPECT_EQ("12 04 FF 0F", Parse(":12 ?4", VALUE_MAX_BYTES, &n));
    EXPECT_EQ(4, n);
    EXPECT_EQ("10 34 F0 FF", Parse(":12 34:F0 FF"));
    EXPECT_EQ("50 F0", Parse(":#0101????"));
    EXPECT_EQ("12 FF", Parse(":12 ?4", 2));   // room for one value and one mask byte
}

TEST(ValueSyntax, FormatEveryKind)
{
    EXPECT_EQ("0x1234", Format({0x34, 0x12}, VALUE_HEX));
    EXPECT_EQ("4660", Format({0x34, 0x12}, VALUE_DEC));
    EXPECT_EQ("-1", Format({0xFF}, VALUE_DEC));
    EXPECT_EQ("0xFFFFFFFF", Format({0xFF}, VALUE_HEX));
    EXPECT_EQ("-32768", Format({0x00, 0x80}, VALUE_DEC));
    EXPECT_EQ("0b101", Format({5, 0, 0, 0}, VALUE_BIN));
    EXPECT_EQ("0o17", Format({15, 0, 0, 0}, VALUE_OCT));
    EXPECT_EQ("305419896", Format({0x78, 0x56, 0x34, 0x12, 0x99}, VALUE_DEC));
    EXPECT_EQ("\"ab\"", Format({'a', 'b', 0, 0}, VALUE_TEXT));
    EXPECT_EQ("\"a\\n\\\"\"", Format({'a', '\n', '"'}, VALUE_TEXT));
    EXPECT_EQ(":12 34", Format({0x12, 0x34}, VALUE_DUMP));
    EXPECT_EQ(":12 ?4", Format({0x12, 0x04, 0xFF, 0x0F}, VALUE_MASK));
    EXPECT_EQ("", Format({}, VALUE_DEC));
    EXPECT_EQ("", Format({1, 2}, 7));
    EXPECT_EQ("", Format({1, 2}, VALUE_NONE));
    // Dumps are cut at whole bytes.
    EXPECT_EQ(":12 34", Format({0x12, 0x34, 0x56, 0x78}, VALUE_DUMP, 8));
    EXPECT_EQ(":12", Format({0x12, 0x34}, VALUE_DUMP, 6));
}

TEST(ValueSyntax, FormatThenParseRoundTrips)
{
    const std::vector<BYTE> samples[] = {
        {0x00}, {0x7F}, {0x80}, {0xFF}, {0x34, 0x12}, {0xFF, 0xFF}, {0x00, 0x80},
        {0x78, 0x56, 0x34, 0x12}, {0xFF, 0xFF, 0xFF, 0xFF}, {0x00, 0x00, 0x00, 0x80},
    };
    for (const auto& s : samples) {
        int size = (int)s.size();
        for (int kind = VALUE_DEC; kind <= VALUE_OCT; ++kind) {
            std::string text = Format(s, kind);
            EXPECT_EQ(kind, GetValueKind(text.c_str())) << text;
            EXPECT_EQ(Hex(s.data(), size), Parse(text.c_str(), size)) << text;
        }
    }
    std::vector<BYTE> all;
    for (int i = 1; i < 256; ++i)
        all.push_back((BYTE)i);
    EXPECT_EQ(Hex(all.data(), 255), Parse(Format(all, VALUE_TEXT).c_str()));
    all.push_back(0);
    EXPECT_EQ(Hex(all.data(), 256), Parse(Format(all, VALUE_DUMP).c_str()));
    // Free bits of a masked value are 0.
    std::vector<BYTE> masked = {0x12, 0x30, 0x05, 0x00, 0xFF, 0xF0, 0x0F, 0x00};
    std::string text = Format(masked, VALUE_MASK);
    EXPECT_EQ(":12 3? ?5 ??", text);
    EXPECT_EQ(VALUE_MASK, GetValueKind(text.c_str()));
    EXPECT_EQ(Hex(masked.data(), 8), Parse(text.c_str()));
    std::vector<BYTE> bits = {0x05, 0x01, 0x0F, 0x03};
    text = Format(bits, VALUE_MASK);
    EXPECT_EQ(Hex(bits.data(), 4), Parse(text.c_str())) << text;
}

TEST(ValueSyntax, BuildTermLines)
{
    EXPECT_EQ("H:2 /B\t:12 34\t\t\t\t\t(0x1234)", Term("0x1234", VALUE_HEX, WIDTH_WORD, VSO_MOTOROLA));
    EXPECT_EQ("H:2\t:34 12\t\t\t\t\t(0x1234)", Term("0x1234", VALUE_HEX, WIDTH_WORD, 0));
    EXPECT_EQ("D:1\t:41\t\t\t\t\t(65)", Term("65", VALUE_DEC, WIDTH_BYTE, VSO_MOTOROLA));
    EXPECT_EQ("D:4 /B\t:00 00 00 41\t\t\t\t(65)", Term("65", VALUE_DEC, WIDTH_DWORD, VSO_MOTOROLA));
    EXPECT_EQ("D:4\t:FF FF FF FF\t\t\t\t(-1)", Term("-1", VALUE_DEC, WIDTH_VARIABLE, 0));
    EXPECT_EQ("T:3 /G\t:61 62 63\t\t\t\t(\"abc\")", Term("\"abc\"", VALUE_TEXT, WIDTH_VARIABLE, VSO_NOCASE));
    EXPECT_EQ("N:6 /G\t:61 00 62 00 63 00\t\t\t\t(\"abc\")",
              Term("\"abc\"", VALUE_TEXT, WIDTH_VARIABLE, VSO_NOCASE | VSO_UNICODE));
    // Ignore case belongs to texts only.
    EXPECT_EQ("U:2\t:61 62\t\t\t\t\t(:61 62)", Term(":61 62", VALUE_DUMP, WIDTH_VARIABLE, VSO_NOCASE));
    EXPECT_EQ("M:4\t:12 04 FF 0F\t\t\t\t(:12 ?4)", Term(":12 ?4", VALUE_MASK, WIDTH_VARIABLE, 0));
    // The letter and the bytes agree: full masks for a plain dump, the value half otherwise.
    EXPECT_EQ("M:4\t:12 34 FF FF\t\t\t\t(:12 34)", Term(":12 34", VALUE_MASK, WIDTH_VARIABLE, 0));
    EXPECT_EQ("M:8\t:2A 00 00 00 FF FF FF FF\t\t\t(:2A 00 00 00)", Term("42", VALUE_MASK, WIDTH_VARIABLE, 0));
    EXPECT_EQ("U:2\t:12 04\t\t\t\t\t(:12 04)", Term(":12 ?4", VALUE_DUMP, WIDTH_VARIABLE, 0));
    // The tabs before the display part by the byte count.
    EXPECT_EQ("T:7\t:61 62 63 64 65 66 67\t\t\t(\"abcdefg\")", Term("\"abcdefg\"", VALUE_TEXT, WIDTH_VARIABLE, 0));
    EXPECT_EQ("T:10\t:61 62 63 64 65 66 67 68 69 6A\t\t(\"abcdefghij\")",
              Term("\"abcdefghij\"", VALUE_TEXT, WIDTH_VARIABLE, 0));
    EXPECT_EQ("T:13\t:61 62 63 64 65 66 67 68 69 6A 6B 6C 6D\t(\"abcdefghijklm\")",
              Term("\"abcdefghijklm\"", VALUE_TEXT, WIDTH_VARIABLE, 0));
    // No bytes, no term.
    EXPECT_EQ("", Term("", VALUE_DEC, WIDTH_DWORD, 0));
    EXPECT_EQ("", Term("  ", VALUE_TEXT, WIDTH_VARIABLE, 0));
    EXPECT_EQ("", Term("\"\"", VALUE_TEXT, WIDTH_VARIABLE, 0));
    // A kind out of range takes the fallback, else text.
    EXPECT_EQ("H:4\t:10 00 00 00\t\t\t\t(0x10)", Term("0x10", VALUE_NONE, WIDTH_DWORD, 0, VALUE_HEX));
    // The bytes always follow the input's own syntax.
    EXPECT_EQ("T:4\t:10 00 00 00\t\t\t\t(\"\\x10\")", Term("0x10", 9, WIDTH_VARIABLE, 0, -1));
    EXPECT_EQ("T:4\t:61 62 63 64\t\t\t\t(\"abcd\")", Term("abcd", 9, WIDTH_VARIABLE, 0, 12));
    // UTF-16 through the ANSI code page: the euro sign is U+20AC, at most 128 characters.
    EXPECT_EQ("N:4\t:AC 20 41 00\t\t\t\t(\"\\x80A\")", Term("\"\\x80A\"", VALUE_TEXT, WIDTH_VARIABLE, VSO_UNICODE));
    std::string longText(200, 'x');
    std::string line = Term(longText.c_str(), VALUE_TEXT, WIDTH_VARIABLE, VSO_UNICODE);
    EXPECT_EQ(0u, line.find("N:256\t:78 00 78 00")) << line;
    // Cut to the caller's buffer.
    char small[8];
    EXPECT_EQ(7, BuildTerm("0x1234", VALUE_HEX, WIDTH_WORD, VSO_MOTOROLA, -1, small, sizeof(small)));
    EXPECT_STREQ("H:2 /B\t", small);
}

TEST(ValueSyntax, TermEditingRoundTrips)
{
    struct { const char* input; int kind; int width; unsigned options; } cases[] = {
        {"0x1234", VALUE_HEX, WIDTH_WORD, VSO_MOTOROLA},
        {"0x1234", VALUE_HEX, WIDTH_WORD, 0},
        {"0x12345678", VALUE_HEX, WIDTH_DWORD, VSO_MOTOROLA},
        {"-1", VALUE_DEC, WIDTH_BYTE, 0},
        {"-2", VALUE_DEC, WIDTH_WORD, VSO_MOTOROLA},
        {"200", VALUE_DEC, WIDTH_BYTE, 0},
        {"123456", VALUE_DEC, WIDTH_VARIABLE, 0},
        {"0b1011", VALUE_BIN, WIDTH_BYTE, 0},
        {"0o777", VALUE_OCT, WIDTH_WORD, 0},
        {"\"abc\"", VALUE_TEXT, WIDTH_VARIABLE, VSO_NOCASE},
        {"\"a?b:c#\"", VALUE_TEXT, WIDTH_VARIABLE, 0},
        {"\"Gr\xF6\xDF" "e \x80\"", VALUE_TEXT, WIDTH_VARIABLE, VSO_UNICODE | VSO_NOCASE},
        {":00 01 FF", VALUE_DUMP, WIDTH_VARIABLE, 0},
        {":12 ?4 #01??0011", VALUE_MASK, WIDTH_VARIABLE, 0},
    };
    for (const auto& c : cases) {
        std::string line = Term(c.input, c.kind, c.width, c.options);
        ASSERT_FALSE(line.empty()) << c.input;
        ValueTermInput edit;
        ASSERT_EQ(1, ReadTermInput(line.c_str(), &edit)) << line;
        EXPECT_EQ(c.kind, edit.nKind) << line;
        unsigned options = (edit.bIgnoreCase ? 0u + VSO_NOCASE : 0u) | (edit.bMotorola ? 0u + VSO_MOTOROLA : 0u) |
                           (edit.bUnicode ? 0u + VSO_UNICODE : 0u);
        if (c.kind <= VALUE_OCT && c.width != WIDTH_VARIABLE) {
            EXPECT_EQ(c.width, edit.nWidth) << line;
        }
        EXPECT_EQ(line, Term(edit.szInput, edit.nKind, edit.nWidth, options)) << edit.szInput;
    }
    ValueTermInput edit;
    EXPECT_EQ(1, ReadTermInput("H:2 /B\t:12 34\t\t\t\t\t(0x1234)", &edit));
    EXPECT_STREQ("0x1234", edit.szInput);
    EXPECT_EQ(WIDTH_WORD, edit.nWidth);
    EXPECT_TRUE(edit.bMotorola);
    EXPECT_EQ(1, ReadTermInput("X:2\t:12 34", &edit));
    EXPECT_EQ(VALUE_DUMP, edit.nKind);
    EXPECT_STREQ(":12 34", edit.szInput);
    EXPECT_EQ(0, ReadTermInput("", &edit));
    EXPECT_EQ(0, ReadTermInput("H", &edit));
    EXPECT_EQ(0, ReadTermInput("H:\t:12", &edit));
    EXPECT_EQ(0, ReadTermInput("H:2\t12 34", &edit));
}

TEST(ValueSyntax, GroupStringsReadTheTermsOnly)
{
    HexSearchGroup g;
    // The display tail holds '?' and ':' and must not turn the dump into a masked one.
    const char text[] = "10\0T:3 /G\t:61 3F 63\t\t\t\t(\"a?c:\")\0\0";
    ASSERT_EQ(1, ReadHexSearchGroup(text, &g));
    EXPECT_EQ(10u, g.dwDistance);
    EXPECT_EQ(3, g.aTerms[0].nCount);
    EXPECT_EQ(HEXMATCH_NOCASE, g.aTerms[0].nMode);
    EXPECT_EQ("61 3F 63", Hex(g.aTerms[0].pPattern, 3));

    const char masked[] = "0\0M:4\t:12 04 FF 0F\t\t\t\t(:12 ?4)\0  \tD:4 /B\t:00 00 00 41\t\t\t\t(65)\0\0";
    ASSERT_EQ(2, ReadHexSearchGroup(masked, &g));
    EXPECT_EQ(2, g.aTerms[0].nCount);
    EXPECT_EQ(HEXMATCH_MASKED, g.aTerms[0].nMode);
    EXPECT_EQ("12 04 FF 0F", Hex(g.aTerms[0].pPattern, 4));
    EXPECT_EQ(HEXMATCH_EXACT, g.aTerms[1].nMode);   // "/B" is no 'G'
    EXPECT_EQ("00 00 00 41", Hex(g.aTerms[1].pPattern, 4));

    // A hand-edited count holds: above the value's bytes it compares zeros behind them, below
    // it the first bytes; only a count beyond the 256-byte buffer is cut. A masked term's count
    // covers both halves.
    struct {
        const char* line;
        int count;
        std::string bytes;
    } counts[] = {{"U:99\t:12 34", 99, "12 34 00 00"}, {"U:1\t:56 78", 1, "56"},
                  {"H:4\t:41", 4, "41 00 00 00"},      {"H:2\t:", 2, "00 00"},
                  {"U:300\t:12", 256, "12 00"},        {"U:0xFFFFFFFF\t:12", 256, "12 00"},
                  {"M:2\t:12 34 F0 FF", 1, "12 F0"}};
    for (const auto& c : counts) {
        std::string group = std::string("0") + '\0' + c.line + '\0' + '\0';
        ASSERT_EQ(1, ReadHexSearchGroup(group.data(), &g)) << c.line;
        EXPECT_EQ(c.count, g.aTerms[0].nCount) << c.line;
        EXPECT_EQ(c.bytes, Hex(g.aTerms[0].pPattern, int(c.bytes.size() + 1) / 3)) << c.line;
    }

    // At most 16 terms.
    std::string many("5");
    many += '\0';
    for (int i = 0; i < 20; ++i) {
        many += "D:1\t:01";
        many += '\0';
    }
    many += '\0';
    EXPECT_EQ(16, ReadHexSearchGroup(many.data(), &g));

    EXPECT_EQ(0, ReadHexSearchGroup("0\0\0", &g));
    EXPECT_EQ(0, ReadHexSearchGroup("", &g));
    EXPECT_EQ(0, ReadHexSearchGroup(nullptr, &g));
    EXPECT_EQ(-1, ReadHexSearchGroup("0\0X\0\0", &g));
    EXPECT_EQ(-1, ReadHexSearchGroup("0\0D:\t:01\0\0", &g));
    EXPECT_EQ(-1, ReadHexSearchGroup("0\0D:1\t01\0\0", &g));
}

TEST(MultiString, EditAndQuery)
{
    CMultiStrHolder h;
    EXPECT_EQ(1, MultiStrSize(h.Get()));
    EXPECT_EQ(0, MultiStrCount(h.Get()));
    EXPECT_EQ(nullptr, MultiStrGetAt(h.Get(), 0));
    EXPECT_EQ(0, MultiStrInsert(h.Ref(), "b", 0));
    EXPECT_EQ(0, MultiStrInsert(h.Ref(), "a", 0));
    EXPECT_EQ(2, MultiStrInsert(h.Ref(), "d", -1));
    EXPECT_EQ(2, MultiStrInsert(h.Ref(), "c", 2));
    EXPECT_EQ(4, MultiStrInsert(h.Ref(), "e", 99));
    EXPECT_EQ(-1, MultiStrInsert(h.Ref(), "", 0));
    EXPECT_EQ(-1, MultiStrInsert(h.Ref(), nullptr, 0));
    ASSERT_EQ(5, MultiStrCount(h.Get()));
    EXPECT_EQ(0, memcmp(h.Get(), "a\0b\0c\0d\0e\0\0", 11));
    EXPECT_EQ(11, MultiStrSize(h.Get()));
    EXPECT_STREQ("c", MultiStrGetAt(h.Get(), 2));
    EXPECT_EQ(nullptr, MultiStrGetAt(h.Get(), 5));
    EXPECT_EQ(nullptr, MultiStrGetAt(h.Get(), -1));
    EXPECT_EQ(3, MultiStrFind(h.Get(), "d"));
    EXPECT_EQ(-1, MultiStrFind(h.Get(), "D"));
    EXPECT_EQ(1, MultiStrRemoveAt(h.Ref(), 0));
    EXPECT_EQ(1, MultiStrRemoveAt(h.Ref(), 3));
    EXPECT_EQ(0, MultiStrRemoveAt(h.Ref(), 3));
    EXPECT_EQ(0, memcmp(h.Get(), "b\0c\0d\0\0", 7));
    MultiStrFree(h.Ref());
    EXPECT_EQ(nullptr, h.Get());
}

TEST(MultiString, PromoteKeepsSixteenNewestFirst)
{
    CMultiStrHolder h;
    for (int i = 0; i < 20; ++i) {
        std::string s = "v" + std::to_string(i);
        EXPECT_EQ(1, MultiStrPromote(h.Ref(), s.c_str(), 16));
    }
    EXPECT_EQ(16, MultiStrCount(h.Get()));
    EXPECT_STREQ("v19", MultiStrGetAt(h.Get(), 0));
    EXPECT_STREQ("v4", MultiStrGetAt(h.Get(), 15));
    // An equal entry moves to the front without a duplicate, also from the holder itself.
    EXPECT_EQ(1, MultiStrPromote(h.Ref(), MultiStrGetAt(h.Get(), 10), 16));
    EXPECT_STREQ("v9", MultiStrGetAt(h.Get(), 0));
    EXPECT_STREQ("v19", MultiStrGetAt(h.Get(), 1));
    EXPECT_EQ(16, MultiStrCount(h.Get()));
    EXPECT_EQ(-1, MultiStrFind(h.Get() + 3, "v9"));
    EXPECT_EQ(0, MultiStrPromote(h.Ref(), "", 16));
}
