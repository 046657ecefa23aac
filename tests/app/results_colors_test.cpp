// Colouring of result lines: the keyword table, the path prefix, C-like and XML-like text,
// value lines, and the choice of syntax by suffix.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/ResultColors.h"

namespace {

// One letter per palette index, so that expectations line up with the text.
char Letter(unsigned char c)
{
    switch (c) {
    case RC_DEFAULT: return '.';
    case RC_PATH: return 'P';
    case RC_PAREN: return '(';
    case RC_NUMBER_POS: return 'n';
    case RC_HEXDUMP: return 'h';
    case RC_COMMENT: return 'c';
    case RC_STRING: return 's';
    case RC_KEYWORD: return 'k';
    case RC_CALL: return 'f';
    case RC_CONSTANT: return 'N';
    case RC_IDENT: return 'i';
    case RC_TAG: return 't';
    case RC_ATTRIBUTE: return 'a';
    case RC_ANGLE: return '<';
    default: return '?';
    }
}

std::string Letters(const std::vector<unsigned char>& colors)
{
    std::string s;
    for (unsigned char c : colors)
        s += Letter(c);
    return s;
}

std::string C(const std::string& text)
{
    std::vector<unsigned char> colors(text.size(), 0xEE);
    ColorCLike(text.data(), int(text.size()), colors.data());
    return Letters(colors);
}

std::string Xml(const std::string& text)
{
    std::vector<unsigned char> colors(text.size(), 0xEE);
    ColorXmlLike(text.data(), int(text.size()), colors.data());
    return Letters(colors);
}

std::string TextLine(const std::string& line, int syntax, int* contentStart = nullptr)
{
    std::vector<unsigned char> colors(line.size(), 0xEE);
    ColorTextResultLine(line.data(), int(line.size()), syntax, colors.data());
    if (contentStart) {
        std::vector<unsigned char> c2(line.size(), 0xEE);
        *contentStart = ColorResultPrefix(line.data(), int(line.size()), c2.data());
    }
    return Letters(colors);
}

std::string HexLine(const std::string& line)
{
    std::vector<unsigned char> colors(line.size(), 0xEE);
    ColorHexResultLine(line.data(), int(line.size()), colors.data());
    return Letters(colors);
}

}  // namespace

TEST(ResultKeywords, TableIsSortedAndSearchable)
{
    ASSERT_EQ(226, TextSearchKeywordCount);
    for (int i = 1; i < TextSearchKeywordCount; ++i)
        EXPECT_LT(strcmp(TextSearchKeywords[i - 1], TextSearchKeywords[i]), 0) << TextSearchKeywords[i];
    for (int i = 0; i < TextSearchKeywordCount; ++i)
        EXPECT_TRUE(IsTextSearchKeyword(TextSearchKeywords[i], int(strlen(TextSearchKeywords[i]))))
            << TextSearchKeywords[i];
    // Byte order puts capitals and '_' before the small letters.
    EXPECT_STREQ("ATOM", TextSearchKeywords[0]);
    EXPECT_STREQ("while", TextSearchKeywords[TextSearchKeywordCount - 1]);
    for (const char* w : {"int", "inline", "const_cast", "LPVOID", "__int64", "_stdcall", "QStringList", "tm",
                          "CColorListBox", "CTextSearch"})
        EXPECT_TRUE(IsTextSearchKeyword(w, int(strlen(w)))) << w;
    for (const char* w : {"in", "Int", "inlin", "inlines", "CStr", "t", "__int", "cstring", "WHILE"})
        EXPECT_FALSE(IsTextSearchKeyword(w, int(strlen(w)))) << w;
    // Only the given length counts.
    EXPECT_TRUE(IsTextSearchKeyword("intx", 3));
    EXPECT_FALSE(IsTextSearchKeyword("int", 0));
}

TEST(ResultColorsC, DeclarationsNumbersAndCalls)
{
    EXPECT_EQ("kkk.i...NN.", C("int x = 10;"));
    EXPECT_EQ("NNNNNNNN", C("MAX_PATH"));
    EXPECT_EQ("fffffff.", C("printf ("));
    EXPECT_EQ("ffff.i..", C("call(a);"));
    EXPECT_EQ("kk..i.", C("if (x)"));                 // a keyword stays a keyword
    EXPECT_EQ("NNN.", C("MAX("));                     // so does a word in capitals
    EXPECT_EQ("NNNNi.NNii", C("0x1Fu 10UL"));         // a suffix is a letter behind a number
    EXPECT_EQ("N.N", C("1.5"));
    EXPECT_EQ("kkkkkkk.i.", C("CString s;"));
    EXPECT_EQ("iiiiiii", C("Qstring"));
    EXPECT_EQ("iiii", C("x_y1"));
    EXPECT_EQ("iiii.kkk", C("t\xE4st int"));          // Latin-1 letters belong to words
    EXPECT_EQ("ff....", C("f\t(\t)."));               // tabs stand between a call and '('
}

TEST(ResultColorsC, StringsCommentsAndPreprocessor)
{
    EXPECT_EQ("i...ssssss......", C("x = \"a\\\"b\"     ;"));
    EXPECT_EQ("sss.ssss", C("'a' '\\''"));
    EXPECT_EQ("ssss.", C("'\\\\' "));                 // an escaped backslash escapes nothing more
    EXPECT_EQ("ssss", C("\"ab "));                    // an open string runs to the end
    EXPECT_EQ("i.ccccccc.i", C("a /* b */ c"));
    EXPECT_EQ("i.ccccc", C("a /* b "));
    EXPECT_EQ("kkk.cccccccc", C("int // x \"y\""));
    EXPECT_EQ("ssss.i", C("\"//\" a"));               // no comment inside a string
    EXPECT_EQ("kkkkkkkk.sssssssss", C("#include <stdio.h>"));
    EXPECT_EQ("kkkkkkkk.sssss", C("#include \"a.h\""));
    EXPECT_EQ("kkkkkkkk.sssssssss", C("#include <sys\\t.h>"));   // backslashes are separators
    EXPECT_EQ("kkkkkkkkk.NNN.NN.cccccc", C("#  define MAX 10 // max"));
    EXPECT_EQ("kkkkkkk.N.i.", C("#define F(x)"));     // the word after it is no call
    EXPECT_EQ("kkk.NNNNNNN.N.", C("#if defined(X)"));
    EXPECT_EQ("kkk", C("# x"));
    EXPECT_EQ(".N", C("#1"));
    EXPECT_EQ(".", C("#"));
}

TEST(ResultColorsXml, TagsAttributesAndValues)
{
    EXPECT_EQ("<tttt.aaaa.sss<f.......<.tttt<", Xml("<item name=\"x\">5 apples</item>"));
    EXPECT_EQ("<t.kkkk...sss.kkkkkkk<", Xml("<a href = \"u\" checked>"));
    EXPECT_EQ("......f", Xml("x > y 3"));             // '>' outside a tag is plain text
    EXPECT_EQ("<.kkk.aaaaaaa.sssss.<", Xml("<?xml version=\"1.0\"?>"));
    EXPECT_EQ("ffff.ff.....", Xml("12ab 3c word"));   // a run from a digit; words stay plain
    EXPECT_EQ("<<", Xml("<>"));
    EXPECT_EQ("<ttt.kkk<", Xml("<xsl:tpl>"));
    EXPECT_EQ("<...k..<", Xml("<!--x-->"));
    EXPECT_EQ("<t.a.sss..<", Xml("<a b='c' />"));
}

TEST(ResultColorsLine, PrefixOfTextAndValueLines)
{
    int start = 0;
    EXPECT_EQ("PP.P.PPP(nn(...kkk", TextLine("C:\\d\\a.c(17):  int", SYNTAX_C, &start));
    EXPECT_EQ(13, start);
    EXPECT_EQ("PP.P.PPP(nn(......", TextLine("C:\\d\\a.c(17):  int", SYNTAX_NONE));
    // Parentheses in the path: the last pair before the ':' holds the number.
    EXPECT_EQ("..PPP.PPPPP.PPP(n(..i", TextLine("\\\\srv\\s (x)\\a.c(3): y", SYNTAX_C));
    // A line cut to its path is a path throughout.
    EXPECT_EQ("PP.PPPPP", TextLine("C:\\a.txt", SYNTAX_C, &start));
    EXPECT_EQ(8, start);
    EXPECT_EQ("PP.PPPPP(n(..<t<", TextLine("C:\\a.xml(1): <b>", SYNTAX_XML));

    // The dump runs from the ':' to its last digit; the characters behind stay plain.
    EXPECT_EQ("PP.PPPPP(n(hhhhhhhhhhhhhhhhh.......", HexLine("C:\\a.bin(4): 41 42 43 44  45  ABCDE"));
    EXPECT_EQ("PP.P(n(hhhhhhhhhhhh....", HexLine("C:\\b(0):      2E 00  .."));
}

TEST(ResultColorsLine, DirectoryCompareLines)
{
    auto dir = [](const std::string& line) {
        std::vector<unsigned char> colors(line.size(), 0xEE);
        ColorDirCompareLine(line.data(), int(line.size()), colors.data());
        return Letters(colors);
    };
    EXPECT_EQ("PP.P.PPPnnnnn.........", dir("C:\\d\\a.c    :verändert"));
    EXPECT_EQ("PP.PPPn.", dir("C:\\a.c:x"));
    EXPECT_EQ("PP.PPPP", dir("C:\\a.c "));           // no text: a path throughout
}

TEST(ResultColorsLine, SyntaxBySuffix)
{
    EXPECT_EQ(SYNTAX_C, GetResultSyntax("C:\\src\\main.CPP"));
    EXPECT_EQ(SYNTAX_C, GetResultSyntax("x.rc2"));
    EXPECT_EQ(SYNTAX_C, GetResultSyntax("a.h"));
    EXPECT_EQ(SYNTAX_XML, GetResultSyntax("C:\\p\\proj.vcxproj"));
    EXPECT_EQ(SYNTAX_XML, GetResultSyntax("site.HTML"));
    EXPECT_EQ(SYNTAX_XML, GetResultSyntax("a.co_"));
    EXPECT_EQ(SYNTAX_NONE, GetResultSyntax("readme.txt"));
    EXPECT_EQ(SYNTAX_NONE, GetResultSyntax("C:\\x.c\\noext"));
    EXPECT_EQ(SYNTAX_NONE, GetResultSyntax("a.hh"));
    EXPECT_EQ(SYNTAX_NONE, GetResultSyntax(nullptr));
}
