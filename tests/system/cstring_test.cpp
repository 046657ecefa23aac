// The class library's 8-bit string: value semantics, buffers, pieces, formatting.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/String.h"

TEST(CString, ConstructCopyAssign) {
    CString a;
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_STREQ(a, "");
    CString b("hallo");
    CString c(b);
    c += " welt";
    EXPECT_STREQ(b, "hallo");
    EXPECT_STREQ(c, "hallo welt");
    EXPECT_EQ(c.GetLength(), 10);
    CString d("abc\0def", 7);
    EXPECT_EQ(d.GetLength(), 7);
    EXPECT_EQ(d, CString("abc\0def", 7));
    EXPECT_NE(d, CString("abc"));
    CString e(nullptr);
    EXPECT_TRUE(e.IsEmpty());
    e = c;
    e = e;                       // self-assignment keeps the text
    EXPECT_STREQ(e, "hallo welt");
    e = e.GetString() + 6;       // assignment from its own tail
    EXPECT_STREQ(e, "welt");
    e += e;                      // append itself
    EXPECT_STREQ(e, "weltwelt");
    CString m(std::move(e));
    EXPECT_STREQ(m, "weltwelt");
    EXPECT_TRUE(e.IsEmpty());
    EXPECT_STREQ(CString('x', 3), "xxx");
    EXPECT_STREQ("a" + CString("b") + 'c' + "d", "abcd");
    m.Empty();
    EXPECT_EQ(m.GetLength(), 0);
    EXPECT_TRUE(CString("a") < CString("b"));
}

TEST(CString, GetBufferRelease) {
    CString s("ab");
    char* p = s.GetBuffer(100);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, "ab");
    strcpy(p, "0123456789");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 10);
    p = s.GetBuffer(0);
    s.ReleaseBuffer(4);
    EXPECT_STREQ(s, "0123");
    CString t;
    p = t.GetBuffer(3);
    memcpy(p, "xyz", 3);
    t.ReleaseBuffer(3);
    EXPECT_STREQ(t, "xyz");
    // A length past the buffer is cut to it.
    CString u;
    p = u.GetBuffer(4);
    memset(p, 'q', 4);
    u.ReleaseBuffer(1 << 20);
    EXPECT_GE(u.GetLength(), 4);
    EXPECT_EQ(u.GetString()[u.GetLength()], 0);
    EXPECT_EQ(memcmp(u.GetString(), "qqqq", 4), 0);
}

TEST(CString, PiecesAndSearch) {
    CString s("C:\\dir\\name.txt");
    EXPECT_STREQ(s.Left(2), "C:");
    EXPECT_STREQ(s.Left(100), s);
    EXPECT_STREQ(s.Left(-1), "");
    EXPECT_STREQ(s.Mid(3), "dir\\name.txt");
    EXPECT_STREQ(s.Mid(3, 3), "dir");
    EXPECT_STREQ(s.Mid(50, 3), "");
    EXPECT_STREQ(s.Right(3), "txt");
    EXPECT_EQ(s.Find('\\'), 2);
    EXPECT_EQ(s.Find('\\', 3), 6);
    EXPECT_EQ(s.Find('#'), -1);
    EXPECT_EQ(s.Find("name"), 7);
    EXPECT_EQ(s.Find("name", 8), -1);
    EXPECT_EQ(s.Find(""), -1);
    EXPECT_EQ(s.ReverseFind('\\'), 6);
    EXPECT_EQ(s.ReverseFind('#'), -1);
    EXPECT_EQ(s.GetAt(0), 'C');
    EXPECT_EQ(s[size_t(1)], ':');
    EXPECT_EQ(s[2u], '\\');
    EXPECT_EQ(s.GetAt(99), 0);
}

TEST(CString, CaseAndTrim) {
    CString s("Äpfel und Birnen");
    EXPECT_EQ(s.CompareNoCase("äPFEL UND BIRNEN") == 0, false);  // only ASCII letters fold
    EXPECT_EQ(s.CompareNoCase("Äpfel UND birnen"), 0);
    EXPECT_LT(CString("abc").CompareNoCase("ABD"), 0);
    EXPECT_GT(CString("abc").Compare("ABC"), 0);
    s.MakeUpper();
    EXPECT_STREQ(s, "\xC4PFEL UND BIRNEN");
    s.MakeLower();
    EXPECT_STREQ(s, "\xC4pfel und birnen");
    CString t(" \t x y \r\n");
    t.TrimLeft();
    EXPECT_STREQ(t, "x y \r\n");
    t.TrimRight();
    EXPECT_STREQ(t, "x y");
    CString blank("   ");
    blank.Trim();
    EXPECT_TRUE(blank.IsEmpty());
    CString r("a/b/c");
    EXPECT_EQ(r.Replace('/', '\\'), 2);
    EXPECT_STREQ(r, "a\\b\\c");
}

TEST(CString, Format) {
    CString s;
    s.Format("%i Datei%s", 3, "en");
    EXPECT_STREQ(s, "3 Dateien");
    s.Format("%08X", 0x1234ABu);
    EXPECT_STREQ(s, "001234AB");
    std::string big(5000, 'x');
    s.Format("<%s>", big.c_str());
    EXPECT_EQ(s.GetLength(), 5002);
    // The old text may be an argument.
    s = "abc";
    s.Format("%s-%s", s.GetString(), s.GetString());
    EXPECT_STREQ(s, "abc-abc");
}
