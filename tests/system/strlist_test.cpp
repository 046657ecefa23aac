// CStrList: insert, find, sorted find with insertion position, sort, recent list, multi-strings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "system/StrList.h"

namespace {

std::vector<std::string> Texts(const CStrList& l) {
    std::vector<std::string> v;
    for (int i = 0; i < l.m_nCount; ++i) v.emplace_back(l.GetString(i), size_t(l.GetLength(i)));
    return v;
}

using V = std::vector<std::string>;

}  // namespace

TEST(StrList, InsertGetTextAndItemData) {
    CStrList l(8);
    EXPECT_TRUE(l.ItemDataSize(8));
    int data[2] = {7, -3};
    EXPECT_EQ(l.Insert("b", -1, data), 0);
    EXPECT_EQ(l.Insert("a", 0), 0);           // front, zeroed item data
    EXPECT_EQ(l.InsertBuf(3, "cdefg", 99), 2);  // index clamped to the count
    EXPECT_EQ(l.InsertFormat(1, "%s-%i-%02X", "x", 5, 10), 1);
    EXPECT_EQ(Texts(l), (V{"a", "x-5-0A", "b", "cde"}));
    EXPECT_FALSE(l.ItemDataSize(4));          // not while entries exist
    EXPECT_EQ(l.Item<int>(2)[0], 7);
    EXPECT_EQ(l.Item<int>(2)[1], -3);
    EXPECT_EQ(l.Item<int>(0)[0], 0);
    EXPECT_TRUE(l.SetItemDword(0, 0xFFFFFFFFu));
    EXPECT_EQ(l.Item<int>(0)[0], -1);
    EXPECT_FALSE(l.SetItemDword(4, 1));

    char buf[4];
    EXPECT_EQ(l.GetText(1, buf, sizeof buf), 3);  // cut to size-1, terminated
    EXPECT_STREQ(buf, "x-5");
    EXPECT_EQ(l.GetText(9, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "");

    // Embedded NULs survive InsertBuf.
    CStrList raw;
    raw.InsertBuf(3, "a\0b", -1);
    EXPECT_EQ(raw.GetLength(0), 3);
    EXPECT_EQ(std::memcmp(raw.GetString(0), "a\0b", 3), 0);
}

TEST(StrList, FindAndRemove) {
    CStrList l;
    for (const char* s : {"Alpha", "beta", "ALPHA", "gamma", "beta"}) l.Insert(s);
    EXPECT_EQ(l.Find(-1, "beta"), 1);
    EXPECT_EQ(l.Find(-1, "beta", 2), 4);
    EXPECT_EQ(l.Find(-1, "beta", 2, 4), -1);
    EXPECT_EQ(l.Find(-1, "alpha"), -1);
    EXPECT_EQ(l.Find(-1, "alpha", 0, -1, 1), 0);
    EXPECT_EQ(l.Find(-1, "alpha", 1, -1, 1), 2);
    EXPECT_EQ(l.Find(3, "gamma-ray"), -1);
    EXPECT_EQ(l.Find(5, "gamma-ray"), 3);
    EXPECT_EQ(l.RemoveRange(-5, 2), 2);
    EXPECT_EQ(Texts(l), (V{"ALPHA", "gamma", "beta"}));
    EXPECT_EQ(l.RemoveRange(2, 100), 1);
    EXPECT_EQ(l.RemoveRange(1, 1), 0);
    EXPECT_TRUE(l.RemoveAt(0));
    EXPECT_FALSE(l.RemoveAt(5));
    EXPECT_EQ(Texts(l), (V{"gamma"}));
    l.RemoveAll();
    EXPECT_EQ(l.m_nCount, 0);
}

TEST(StrList, FindSortedGivesInsertionPosition) {
    CStrList l(4);
    // Build a case-folded sorted list by inserting each at its position.
    const char* words[] = {"delta", "Alpha", "charlie", "Bravo", "echo", "alpha2", "b"};
    for (const char* w : words) {
        bool found = true;
        int pos = l.FindSorted(-1, w, 0, -1, 1 | 8, &found);
        EXPECT_FALSE(found);
        l.Insert(w, pos);
    }
    EXPECT_EQ(Texts(l), (V{"Alpha", "alpha2", "b", "Bravo", "charlie", "delta", "echo"}));
    bool found = false;
    EXPECT_EQ(l.FindSorted(-1, "BRAVO", 0, -1, 1 | 8, &found), 3);
    EXPECT_TRUE(found);
    EXPECT_EQ(l.FindSorted(-1, "BRAVO", 0, -1, 0), -1);   // byte order: not a valid search
    EXPECT_EQ(l.FindSorted(-1, "zulu", 0, -1, 1), -1);
    EXPECT_EQ(l.FindSorted(-1, "zulu", 0, -1, 9), 7);
    EXPECT_EQ(l.FindSorted(-1, "a", 0, -1, 9), 0);
    EXPECT_EQ(l.FindSorted(-1, "c", 2, 4, 9), 4);           // bounded range
    EXPECT_EQ(l.FindSorted(2, "chx", 0, -1, 9), 4);         // "ch" sorts before "charlie"
}

// Paths: separators equal, every letter of the code page without case.
TEST(StrList, FindsPathsAsTheFileSystemComparesThem) {
    CStrList l(4);
    const char* paths[] = {"C:\\\xDC" "bung\\b", "C:\\a/x", "C:\\\xC4rger", "C:\\\x8A" "ach"};
    for (const char* p : paths) {
        bool found = true;
        int pos = l.FindSorted(-1, p, 0, -1, 0x10 | 8, &found);
        EXPECT_FALSE(found) << p;
        l.Insert(p, pos);
    }
    const struct {
        const char* path;
        int index;
    } rows[] = {
        {"c:/\xFC" "BUNG/B", 3}, {"c:\\A\\X", 0}, {"C:\\\xE4rger", 2}, {"C:\\\x9A" "ACH", 1}, {"C:\\\xDC" "bung", -1},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.index, l.FindSorted(-1, r.path, 0, -1, 0x10)) << r.path;
        EXPECT_EQ(r.index, l.Find(-1, r.path, 0, -1, 0x10)) << r.path;
    }
    EXPECT_EQ(-1, l.Find(-1, "c:/\xFC" "BUNG/B", 0, -1, 1));  // ASCII folding alone does not find it
}

TEST(StrList, SortIsStableAndHonoursDirection) {
    CStrList l(4);
    const char* t[] = {"b", "A", "c", "a", "B"};
    int v[] = {5, -1, 3, 5, 0};
    for (int i = 0; i < 5; ++i) l.Insert(t[i], -1, &v[i]);
    l.Sort(0, -1, &CStrList::CompareTextNoCase, false);
    EXPECT_EQ(Texts(l), (V{"A", "a", "b", "B", "c"}));
    l.Sort(0, -1, &CStrList::CompareTextNoCase, true);
    EXPECT_EQ(Texts(l), (V{"c", "b", "B", "A", "a"}));  // equal keys keep their order
    l.Sort(0, -1, &CStrList::CompareDword, false);
    std::vector<int> words;
    for (int i = 0; i < l.m_nCount; ++i) words.push_back(l.Item<int>(i)[0]);
    EXPECT_EQ(words, (std::vector<int>{-1, 0, 3, 5, 5}));
    EXPECT_EQ(Texts(l), (V{"A", "B", "c", "b", "a"}));
    l.Sort(1, 3);  // byte order of entries 1..2 only
    EXPECT_EQ(Texts(l), (V{"A", "B", "c", "b", "a"}));
    l.Sort(2, -1);
    EXPECT_EQ(Texts(l), (V{"A", "B", "a", "b", "c"}));
}

TEST(StrList, RecentListKeepsLimitWithoutDuplicates) {
    CStrList h;
    for (const char* s : {"one", "two", "One", "three", "two", "four"}) h.Insert(s);
    h.SetRecentLimit(3, 1);
    EXPECT_EQ(Texts(h), (V{"one", "two", "three"}));
    // A new text goes to the front and pushes the oldest out.
    EXPECT_EQ(h.PromoteRecent("five"), 1);
    EXPECT_EQ(h.Insert("five", 0), 0);
    EXPECT_EQ(Texts(h), (V{"five", "one", "two"}));
    // A known text moves to the front.
    EXPECT_EQ(h.PromoteRecent("TWO"), 0);
    EXPECT_EQ(Texts(h), (V{"two", "five", "one"}));
    // Inserting a text that exists further back moves it instead of duplicating.
    EXPECT_EQ(h.Insert("ONE", 0), 0);
    EXPECT_EQ(Texts(h), (V{"ONE", "two", "five"}));
    // Appending a text that exists nearer the front keeps the front one.
    EXPECT_EQ(h.Insert("two"), 1);
    EXPECT_EQ(Texts(h), (V{"ONE", "two", "five"}));
    // Appending to a full list drops the newcomer.
    EXPECT_EQ(h.Insert("six"), -1);
    EXPECT_EQ(h.m_nCount, 3);
    // Loading a history with duplicates and surplus keeps the first of each, up to the limit.
    CStrList g;
    g.SetRecentLimit(2, 0);
    const char block[] = "x\0y\0x\0z\0";
    EXPECT_EQ(g.InsertSplit(-1, block, 0), 2);
    EXPECT_EQ(Texts(g), (V{"x", "y"}));
}

TEST(StrList, JoinMultiAndInsertSplitRoundTrip) {
    CStrList l(4);
    for (const char* s : {"*.c;*.h", "", "Ä ö ü", "last"}) l.Insert(s);
    int size = 0;
    char* multi = l.JoinMulti(0, -1, &size);
    ASSERT_NE(multi, nullptr);
    // The empty entry would end the multi-string: a history never holds one, so drop it.
    free(multi);
    l.RemoveAt(1);
    multi = l.JoinMulti(0, -1, &size);
    ASSERT_NE(multi, nullptr);
    EXPECT_EQ(size, int(strlen("*.c;*.h") + 1 + strlen("Ä ö ü") + 1 + 5 + 1));
    EXPECT_EQ(std::string(multi, size_t(size)), std::string("*.c;*.h\0\xC4 \xF6 \xFC\0last\0\0", size_t(size)));
    CStrList back(4);
    uint32_t tag = 42;
    EXPECT_EQ(back.InsertSplit(-1, multi, 0, &tag), 3);
    EXPECT_EQ(Texts(back), Texts(l));
    EXPECT_EQ(back.Item<uint32_t>(2)[0], 42u);
    free(multi);

    // Part of the list, and an empty range.
    multi = l.JoinMulti(1, 2, &size);
    EXPECT_EQ(std::string(multi, size_t(size)), std::string("\xC4 \xF6 \xFC\0\0", 7));
    free(multi);
    multi = l.JoinMulti(2, 2, &size);
    EXPECT_EQ(size, 2);
    EXPECT_EQ(multi[0], 0);
    EXPECT_EQ(multi[1], 0);
    CStrList none;
    EXPECT_EQ(none.InsertSplit(0, multi, 0), 0);
    free(multi);

    // Other delimiters: pieces inserted at the index in order, empty pieces skipped.
    CStrList d;
    d.Insert("end");
    EXPECT_EQ(d.InsertSplit(0, "a;;b;c;", ';'), 3);
    EXPECT_EQ(Texts(d), (V{"a", "b", "c", "end"}));
    // A bounded block without its final NULs.
    CStrList e;
    EXPECT_EQ(e.InsertSplit(-1, "ab\0cd", 0, nullptr, 5), 2);
    EXPECT_EQ(Texts(e), (V{"ab", "cd"}));
}
