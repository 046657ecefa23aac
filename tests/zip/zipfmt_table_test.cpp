// The entry table: growth, lookup by name, deleting, freeing and the sort orders.
#include <gtest/gtest.h>

#include <string>

#include "zipfmt_util.h"

using namespace zipfmt;

namespace {

int Add(TestFormat &t, const std::string &name, uint64_t size = 0, uint64_t offset = 0) {
  int i = t.NewEntry();
  EXPECT_EQ(ZIP_OK, t.SetEntryName(i, name.c_str(), -1, nullptr));
  t.GetEntry(i)->uncompressedSize = size;
  t.GetEntry(i)->localHeaderOffset = offset;
  return i;
}

std::string Names(const TestFormat &t) {
  std::string s;
  for (int i = 0; i < t.GetEntryCount(); ++i) {
    if (i) s += ",";
    s += t.GetEntry(i)->name;
    if (t.GetEntry(i)->deleted) s += "(x)";
    if (t.GetEntry(i)->pending) s += "(p)";
  }
  return s;
}

}  // namespace

TEST(ZipTable, GrowsPastManyThousandsAndFindsEveryName) {
  TestFormat t;
  const int n = 70000;
  for (int i = 0; i < n; ++i) Add(t, "dir" + std::to_string(i % 97) + "/file" + std::to_string(i) + ".txt");
  EXPECT_EQ(n, t.GetEntryCount());
  EXPECT_EQ(n, t.GetLiveCount());
  for (int i = 0; i < n; i += 7)
    ASSERT_EQ(i, t.FindEntry(("dir" + std::to_string(i % 97) + "/file" + std::to_string(i) + ".txt").c_str()));
  EXPECT_EQ(-1, t.FindEntry("dir1/file0.txt"));
  t.FreeEntries();
  EXPECT_EQ(0, t.GetEntryCount());
  EXPECT_EQ(-1, t.FindEntry("dir0/file0.txt"));
}

TEST(ZipTable, FindComparesPathsWithoutCaseAndSkipsLeadingSeparators) {
  TestFormat t;
  Add(t, "Ordner/Datei.TXT");
  Add(t, "Über/Äpfel.txt");
  EXPECT_EQ(0, t.FindEntry("ordner\\datei.txt"));
  EXPECT_EQ(0, t.FindEntry("/Ordner/Datei.txt"));
  EXPECT_EQ(0, t.FindEntry("\\Ordner/Datei.txt"));
  EXPECT_EQ(0, t.FindEntry("/\\Ordner/Datei.txt"));
  EXPECT_EQ(-1, t.FindEntry("//Ordner/Datei.txt"));
  EXPECT_EQ(1, t.FindEntry("über/äPFEL.txt"));
  EXPECT_EQ(-1, t.FindEntry("Ordner/Datei.TX"));
  EXPECT_EQ(-1, t.FindEntry(nullptr));
}

TEST(ZipTable, FindGivesTheFirstLiveEntryOfAName) {
  TestFormat t;
  Add(t, "a.txt");
  Add(t, "b.txt");
  Add(t, "A.TXT");
  EXPECT_EQ(0, t.FindEntry("a.txt"));
  t.SetEntryDeleted(0);
  // The deleted record moved behind the live ones; the other "a.txt" is found.
  EXPECT_EQ("A.TXT,b.txt,a.txt(x)", Names(t));
  EXPECT_EQ(0, t.FindEntry("a.txt"));
  EXPECT_EQ(2, t.GetLiveCount());
}

TEST(ZipTable, LiveRecordsStayInFrontOfDeletedOnes) {
  TestFormat t;
  Add(t, "a");
  Add(t, "b");
  Add(t, "c");
  t.SetEntryDeleted(0);
  EXPECT_EQ("c,b,a(x)", Names(t));
  int i = Add(t, "d");
  EXPECT_EQ(2, i);  // in front of the deleted record
  EXPECT_EQ("c,b,d,a(x)", Names(t));
  EXPECT_EQ(3, t.GetLiveCount());
  t.SetEntryDeleted(3);  // already deleted: nothing
  EXPECT_EQ(3, t.GetLiveCount());
  // A pending entry that is deleted is freed at once.
  t.GetEntry(1)->pending = 1;
  t.SetEntryDeleted(1);
  EXPECT_EQ("c,d,a(x)", Names(t));
  EXPECT_EQ(2, t.GetLiveCount());
  EXPECT_EQ(1, t.FindEntry("d"));
  t.FreeEntry(2);
  EXPECT_EQ("c,d", Names(t));
  EXPECT_EQ(2, t.GetLiveCount());
  t.FreeEntry(0);
  t.FreeEntry(0);
  EXPECT_EQ(0, t.GetEntryCount());
  EXPECT_EQ(0, t.GetLiveCount());
  t.FreeEntry(5);  // bad index: nothing
}

TEST(ZipTable, DeletedFlagAloneKeepsTheLiveCount) {
  TestFormat t;
  Add(t, "a");
  int i = Add(t, "b");
  t.GetEntry(i)->pending = 1;
  t.SetDeletedFlag(i, true);  // being written: neither moved nor freed
  EXPECT_EQ("a,b(x)(p)", Names(t));
  EXPECT_EQ(1, t.GetLiveCount());
  EXPECT_EQ(-1, t.FindEntry("b"));
  t.SetDeletedFlag(i, true);
  EXPECT_EQ(1, t.GetLiveCount());
  t.SetDeletedFlag(i, false);
  EXPECT_EQ(2, t.GetLiveCount());
  EXPECT_EQ(1, t.FindEntry("b"));
  t.SetDeletedFlag(i, true);
  t.FreeEntry(i);  // a failed add, freed at commit
  EXPECT_EQ(1, t.GetLiveCount());
}

TEST(ZipTable, SortOrdersPutDeletedOrPendingLast) {
  TestFormat t;
  Add(t, "b10.txt", 300, 50);
  Add(t, "B2.txt", 100, 10);
  Add(t, "a.txt", 200, 30);
  Add(t, "c1.txt", 50, 20);
  t.SetEntryDeleted(t.FindEntry("c1.txt"));
  EXPECT_EQ(4, t.SortEntries(ZIP_SORT_NAME));
  EXPECT_EQ("a.txt,b10.txt,B2.txt,c1.txt(x)", Names(t));
  EXPECT_EQ(ZIP_SORT_NAME, t.GetSortOrder());
  EXPECT_EQ(0u, t.GetOptionBits() & ZIP_OPT_SORT_MASK);
  t.SortEntries(ZIP_SORT_NATURAL);
  EXPECT_EQ("a.txt,B2.txt,b10.txt,c1.txt(x)", Names(t));
  EXPECT_EQ(0x300u, t.GetOptionBits() & ZIP_OPT_SORT_MASK);
  t.SortEntries(ZIP_SORT_SIZE);
  EXPECT_EQ("B2.txt,a.txt,b10.txt,c1.txt(x)", Names(t));
  t.GetEntry(0)->pending = 1;
  t.SortEntries(ZIP_SORT_OFFSET);
  EXPECT_EQ("c1.txt(x),a.txt,b10.txt,B2.txt(p)", Names(t));
  // Indexes follow the records.
  EXPECT_EQ(3, t.FindEntry("b2.txt"));
  // No order given: the option bits choose it.
  t.SetOptionBits(0x100);
  t.ClearSortOrder();
  t.SortEntries(0);
  EXPECT_EQ(ZIP_SORT_SIZE, t.GetSortOrder());
}

TEST(ZipTable, SortRaisesItsEventOnceAndCanBeCancelled) {
  TestFormat t;
  Add(t, "z");
  Add(t, "y");
  t.SortEntries(ZIP_SORT_NAME);
  t.SortEntries(ZIP_SORT_NAME);  // already in that order: nothing, no event
  ASSERT_EQ(1u, t.events.size());
  EXPECT_EQ(ZIP_EVENT_SORT, t.events[0].first);
  Add(t, "a");  // adding clears the order
  EXPECT_EQ(0u, t.GetSortOrder());
  t.cancelEvent = ZIP_EVENT_SORT;
  EXPECT_EQ(0, t.SortEntries(ZIP_SORT_NAME));
  EXPECT_EQ("y,z,a", Names(t));
  EXPECT_EQ(0u, t.GetSortOrder());
}

TEST(ZipTable, SortAfterEachChangeKeepsOrderWhenDeleting) {
  TestFormat t;
  t.SetOptionBits(ZIP_OPT_SORT_ALWAYS);
  Add(t, "c");
  Add(t, "a");
  Add(t, "b");
  t.SortEntries(0);
  EXPECT_EQ("a,b,c", Names(t));
  t.SetEntryDeleted(0);
  EXPECT_EQ("b,c,a(x)", Names(t));
}

TEST(ZipTable, NamesCarryTheirSourcePathInOneBlock) {
  TestFormat t;
  int i = t.NewEntry();
  ASSERT_EQ(ZIP_OK, t.SetEntryName(i, "sub/x.txt", -1, "C:\\data\\sub\\x.txt"));
  ZipEntry *e = t.GetEntry(i);
  EXPECT_STREQ("sub/x.txt", e->name);
  EXPECT_EQ(9, e->nameLength);
  EXPECT_EQ(e->name + 10, e->sourcePath);
  EXPECT_STREQ("C:\\data\\sub\\x.txt", e->sourcePath);
  ASSERT_EQ(ZIP_OK, t.SetEntryName(i, "y.txt", -1, nullptr));
  EXPECT_EQ(nullptr, t.GetEntry(i)->sourcePath);
  EXPECT_EQ(-1, t.FindEntry("sub/x.txt"));
  EXPECT_EQ(0, t.FindEntry("Y.TXT"));
  EXPECT_EQ(ZIP_E_INDEX, t.SetEntryName(7, "z", -1, nullptr));
  std::string huge(70000, 'n');
  EXPECT_EQ(ZIP_E_NONAME, t.SetEntryName(i, huge.c_str(), -1, nullptr));
}

TEST(ZipTable, NameCompareFoldsLettersAndSeparators) {
  EXPECT_EQ(0, ZipCompareNames("Ä/b", 3, "ä\\B", 3));
  EXPECT_EQ(0, ZipCompareNames("ŠŒŽŸ", 4, "šœžÿ", 4));
  EXPECT_NE(0, ZipCompareNames("a", 1, "ab", 2));
  EXPECT_NE(0, ZipCompareNames("×", 1, "÷", 1));
}
