// CDirList on a temporary tree: recursion, name lists, read-only and date filters, patterns,
// paths, umlauts, sorting, cancelling from another thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "system/DirList.h"
#include "system/Files.h"
#include "common/LongPaths.h"
#include "system/support/SysTestUtil.h"

using systest::TempDir;

namespace {

using S = std::set<std::string>;

class DirListTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string& r = m_dir.Path();
        ASSERT_TRUE(CreateDirectoryA((r + "\\sub").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA((r + "\\sub\\deep").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA((r + "\\hid").c_str(), nullptr));
        File("a.c", 10, 1000000000);
        File("b.txt", 20, 1100000000);
        File("Müller.c", 30, 1200000000);
        File("ro.c", 5, 1300000000);
        File("sub\\c.c", 40, 1400000000);
        File("sub\\d.h", 50, 1500000000);
        File("sub\\deep\\e.c", 60, 1600000000);
        File("hid\\h.c", 1, 1700000000);
        ASSERT_TRUE(SetFileAttributesA((r + "\\ro.c").c_str(), FILE_ATTRIBUTE_READONLY));
        ASSERT_TRUE(SetFileAttributesA((r + "\\hid").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY));
    }
    void File(const std::string& rel, int size, long long mtime) {
        std::string p = m_dir / rel;
        ASSERT_TRUE(systest::WriteFileBytes(p, std::string(size_t(size), 'x')));
        ASSERT_TRUE(systest::SetTimes(p, mtime, mtime));
    }
    S Rel(CDirList& l) {
        S s;
        for (int i = 0; i < l.m_nCount; ++i) s.insert(l.GetPath(i, nullptr, 1));
        return s;
    }
    int Scan(CDirList& l, int flags, const char* inc = nullptr, const char* exc = nullptr, const DirFilter* f = nullptr) {
        l.Clear();
        return l.Open(m_dir.Path().c_str(), flags, inc, exc, f);
    }

    TempDir m_dir;
};

const S kAll = {"a.c", "b.txt", "M\xFCller.c", "ro.c", "sub\\c.c", "sub\\d.h", "sub\\deep\\e.c", "hid\\h.c"};

}  // namespace

TEST_F(DirListTest, RecursionAndTotals) {
    CDirList l;
    EXPECT_EQ(Scan(l, 0), 4);
    EXPECT_EQ(Rel(l), (S{"a.c", "b.txt", "M\xFCller.c", "ro.c"}));
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE), 8);
    EXPECT_EQ(Rel(l), kAll);
    EXPECT_EQ(l.GetTotalSize(), 216u);
    // Entries of a folder come before those of its sub-folders.
    int lastTop = -1, firstSub = 1 << 30, firstDeep = 1 << 30, lastSub = -1;
    for (int i = 0; i < l.m_nCount; ++i) {
        std::string p = l.GetPath(i, nullptr, 1);
        if (p.find('\\') == std::string::npos) lastTop = std::max(lastTop, i);
        if (p.rfind("sub\\", 0) == 0 && p.find("deep") == std::string::npos) {
            firstSub = std::min(firstSub, i);
            lastSub = std::max(lastSub, i);
        }
        if (p.find("deep") != std::string::npos) firstDeep = std::min(firstDeep, i);
    }
    EXPECT_LT(lastTop, firstSub);
    EXPECT_LT(lastSub, firstDeep);
    // Open adds to what is there; the size of each entry is at hand.
    EXPECT_EQ(l.Open((m_dir / "sub").c_str(), 0), 2);
    EXPECT_EQ(l.m_nCount, 10);
    EXPECT_EQ(l.GetTotalSize(), 306u);
    EXPECT_EQ(l.GetEntry(9)->nFileSizeLow + l.GetEntry(8)->nFileSizeLow, 90u);
    // Folders as entries, and folders only.
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE | CDirList::DL_FOLDERS), 11);
    EXPECT_EQ(l.GetTotalSize(), 216u);
    EXPECT_EQ(l.Read((m_dir.Path() + "\\*").c_str(), CDirList::DL_FOLDERS | CDirList::DL_NO_FILES), 2);
    EXPECT_EQ(Rel(l), (S{"sub", "hid"}));
    EXPECT_TRUE(l.GetEntry(0)->IsFolder());
    EXPECT_EQ(l.Read((m_dir.Path() + "\\*").c_str(), CDirList::DL_FOLDERS | CDirList::DL_NO_FILES | CDirList::DL_NO_HIDDEN), 1);
    EXPECT_EQ(Rel(l), (S{"sub"}));
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE | CDirList::DL_NO_HIDDEN), 7);  // hidden folders are not entered
}

TEST_F(DirListTest, DistinctFilesKeepTheFirstOfEachPath) {
    CDirList l;
    ASSERT_EQ(Scan(l, CDirList::DL_RECURSE | CDirList::DL_FOLDERS), 11);
    const int firstCount = l.m_nCount;
    // The same files again, one by a path in other case and with '/', the folder once more.
    std::string upper = m_dir.Path() + "/M\xDCLLER.C";
    ASSERT_EQ(l.Open(upper.c_str(), 0), 1);
    ASSERT_EQ(l.Open((m_dir / "sub").c_str(), 0), 2);
    std::vector<int> distinct = DirListDistinctFiles(l);
    ASSERT_EQ(distinct.size(), 8u);
    for (int i : distinct) {
        EXPECT_LT(i, firstCount);
        EXPECT_FALSE(l.GetEntry(i)->IsFolder());
    }
    EXPECT_TRUE(std::is_sorted(distinct.begin(), distinct.end()));
    EXPECT_TRUE(DirListDistinctFiles(CDirList()).empty());
}

TEST_F(DirListTest, TotalSizeBeyondFourGigabytes) {
    const long long big = 0x100000003LL;  // 4 GB + 3
    ASSERT_TRUE(systest::MakeLargeFile(m_dir / "sub\\big.bin", big));
    CDirList l;
    ASSERT_EQ(Scan(l, CDirList::DL_RECURSE, "*.bin"), 1);
    EXPECT_EQ(l.GetEntry(0)->nFileSizeLow, 3u);  // the low part, as the file list reads it
    EXPECT_EQ(l.GetEntry(0)->Size(), uint64_t(big));
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE), 9);
    EXPECT_EQ(l.GetTotalSize(), uint64_t(big) + 216u);
}

TEST_F(DirListTest, PlusAndMinusFiltersAndPatterns) {
    CDirList l;
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, "*.c"), 6);
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, "*.c", "m*;E.*"), 4);  // names without case
    EXPECT_EQ(Rel(l), (S{"a.c", "ro.c", "sub\\c.c", "hid\\h.c"}));
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, "*.h ; *.txt"), 2);
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, "", "*.c"), 2);  // empty plus filter: every name
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, nullptr, ""), 8);
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, " ; ;", ";"), 8);  // lists of empty parts: none
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, ";*.h;;", " ;"), 1);
    // A wildcard name in the pattern.
    l.Clear();
    EXPECT_EQ(l.Open((m_dir.Path() + "\\*.c").c_str(), 0), 3);
    l.Clear();
    EXPECT_EQ(l.Open((m_dir.Path() + "\\*.c").c_str(), CDirList::DL_RECURSE), 6);
    l.Clear();
    EXPECT_EQ(l.Open((m_dir.Path() + "\\?.*").c_str(), CDirList::DL_RECURSE, nullptr, "*.h"), 5);
    // A full file path lists just that file, whatever the lists say.
    l.Clear();
    EXPECT_EQ(l.Open((m_dir / "sub\\d.h").c_str(), CDirList::DL_RECURSE, "*.c"), 1);
    EXPECT_STREQ(l.GetPath(0, nullptr, 1), "d.h");
    EXPECT_STREQ(l.GetPath(0), (m_dir / "sub\\d.h").c_str());
    EXPECT_EQ(l.GetEntry(0)->nFileSizeLow, 50u);
    // Trailing separators, missing and bad patterns.
    l.Clear();
    EXPECT_EQ(l.Open((m_dir.Path() + "\\sub\\").c_str(), 0), 2);
    EXPECT_EQ(l.Open((m_dir / "nope").c_str(), 0), FILE_ERR_NOT_FOUND);
    EXPECT_EQ(l.Open((m_dir / "nope\\*.c").c_str(), 0), FILE_ERR_NOT_FOUND);
    EXPECT_EQ(l.Open((m_dir / "s*\\*.c").c_str(), 0), FILE_ERR_BAD_PATH);
    EXPECT_EQ(l.Open("", 0), FILE_ERR_BAD_PATH);
    EXPECT_EQ(l.Open(nullptr, 0), FILE_ERR_BAD_PATH);
    EXPECT_EQ(l.m_nCount, 2);
}

TEST_F(DirListTest, ReadOnlyAndDateFilters) {
    CDirList l;
    DirFilter f = {};
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, nullptr, nullptr, &f), 8);  // "Egal"
    f.nReadOnly = 1;
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, nullptr, nullptr, &f), 1);
    EXPECT_EQ(Rel(l), (S{"ro.c"}));
    f.nReadOnly = 2;
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, nullptr, nullptr, &f), 7);
    f.nReadOnly = 0;

    f.nTimeMode = 3;  // modified before
    f.nTime = 1250000000;
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, nullptr, nullptr, &f), 3);
    EXPECT_EQ(Rel(l), (S{"a.c", "b.txt", "M\xFCller.c"}));
    f.nTimeMode = 4;  // modified after (not earlier than)
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, nullptr, nullptr, &f), 5);
    f.nTime = 1200000000;  // the boundary second counts as "after"
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, "m*", nullptr, &f), 1);
    f.nTimeMode = 3;
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, "m*", nullptr, &f), 0);

    // Creation times as the file system reports them (Wine cannot set them).
    S before, after;
    const int64_t t = 1350000000;
    for (const std::string& rel : kAll) {
        FileInfo fi;
        ASSERT_EQ(FileStat((m_dir / rel).c_str(), &fi), 0);
        int64_t c = ((int64_t(fi.ftCreation.dwHighDateTime) << 32 | fi.ftCreation.dwLowDateTime) - 116444736000000000LL) /
                    10000000LL;
        (c < t ? before : after).insert(rel);
    }
    f.nTime = t;
    f.nTimeMode = 1;
    Scan(l, CDirList::DL_RECURSE, nullptr, nullptr, &f);
    EXPECT_EQ(Rel(l), before);
    f.nTimeMode = 2;
    Scan(l, CDirList::DL_RECURSE, nullptr, nullptr, &f);
    EXPECT_EQ(Rel(l), after);
    // Filters combine.
    f.nTimeMode = 4;
    f.nTime = 1250000000;
    f.nReadOnly = 2;
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, "*.c", nullptr, &f), 3);
    EXPECT_EQ(Rel(l), (S{"sub\\c.c", "sub\\deep\\e.c", "hid\\h.c"}));
    // Attribute mask: hidden files only (none here).
    DirFilter h = {};
    h.dwAttrMask = h.dwAttrValue = FILE_ATTRIBUTE_HIDDEN;
    EXPECT_EQ(Scan(l, CDirList::DL_RECURSE, nullptr, nullptr, &h), 0);
}

TEST_F(DirListTest, PathsNextAndUmlauts) {
    CDirList l;
    ASSERT_EQ(Scan(l, CDirList::DL_RECURSE, "c.c;M*"), 2);
    l.Sort(CDirList::SORT_NAME);
    int len = 0;
    EXPECT_STREQ(l.GetPath(0, &len, 1), "sub\\c.c");
    EXPECT_EQ(len, 7);
    std::string full = m_dir / "sub\\c.c";
    EXPECT_STREQ(l.GetPath(0, &len), full.c_str());
    EXPECT_EQ(len, int(full.size()));
    EXPECT_EQ(l.GetPath(2), nullptr);
    EXPECT_STREQ(l.GetDir(l.GetEntry(0), 1, &len), "sub\\");
    EXPECT_EQ(len, 4);
    EXPECT_STREQ(l.GetDir(l.GetEntry(0), 0, &len), (m_dir.Path() + "\\sub\\").c_str());
    EXPECT_STREQ(l.GetDir(l.GetEntry(1), 1, &len), "");
    EXPECT_EQ(len, 0);
    EXPECT_EQ(l.GetDir(nullptr, 0), nullptr);  // nothing returned by Next yet

    l.Rewind();
    EXPECT_STREQ(l.Next(0, &len), "c.c");
    EXPECT_EQ(len, 3);
    EXPECT_STREQ(l.GetPath(-1, nullptr, 1), "sub\\c.c");
    EXPECT_STREQ(l.GetDir(nullptr, 1), "sub\\");
    const char* umlaut = l.Next(1, &len);
    ASSERT_NE(umlaut, nullptr);
    EXPECT_EQ(std::string(umlaut), m_dir / "M\xFCller.c");
    EXPECT_EQ(l.Next(2), nullptr);
    // The umlaut path opens through the ANSI API.
    HANDLE h = CreateFileA(umlaut, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    l.Rewind();
    EXPECT_STREQ(l.Next(2), "sub\\c.c");

    // A relative pattern still gives full paths.
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    SetCurrentDirectoryA(m_dir.Path().c_str());
    l.Clear();
    EXPECT_EQ(l.Open("sub", 0), 2);
    EXPECT_EQ(std::string(l.GetPath(0)).rfind(m_dir.Path() + "\\sub\\", 0), 0u);
    l.Clear();
    EXPECT_EQ(l.Open("*.txt", 0), 1);
    EXPECT_STREQ(l.GetPath(0), (m_dir / "b.txt").c_str());
    SetCurrentDirectoryA(cwd);
}

TEST_F(DirListTest, SortRefreshIconsAndNotifications) {
    CDirList l;
    int events[4] = {0, 0, 0, 0};
    l.SetNotify([](CDirList*, int code, int, void* ctx) { static_cast<int*>(ctx)[code]++; }, events);
    ASSERT_EQ(Scan(l, CDirList::DL_RECURSE), 8);
    EXPECT_EQ(events[CDirList::DLN_CLEARED], 1);
    EXPECT_EQ(events[CDirList::DLN_ADDED], 1);
    l.Sort(CDirList::SORT_SIZE | CDirList::SORT_DESCENDING);
    EXPECT_EQ(events[CDirList::DLN_SORTED], 1);
    std::vector<DWORD> sizes;
    for (int i = 0; i < l.m_nCount; ++i) sizes.push_back(l.GetEntry(i)->nFileSizeLow);
    EXPECT_EQ(sizes, (std::vector<DWORD>{60, 50, 40, 30, 20, 10, 5, 1}));
    l.Sort(CDirList::SORT_SUFFIX);
    EXPECT_STREQ(l.GetEntry(0)->Name(), "a.c");  // ".c" files first, ties by full path
    EXPECT_STREQ(l.GetEntry(7)->Name(), "b.txt");
    l.Sort(CDirList::SORT_WRITE_TIME | CDirList::SORT_DESCENDING);
    EXPECT_STREQ(l.GetEntry(0)->Name(), "h.c");

    // Natural order.
    File("f10.c", 1, 1);
    File("f9.c", 1, 1);
    File("F2.c", 1, 1);
    ASSERT_EQ(l.Read((m_dir.Path() + "\\f*.c").c_str(), 0), 3);
    l.Sort(CDirList::SORT_NAME | CDirList::SORT_NATURAL);
    EXPECT_STREQ(l.GetEntry(0)->Name(), "F2.c");
    EXPECT_STREQ(l.GetEntry(1)->Name(), "f9.c");
    EXPECT_STREQ(l.GetEntry(2)->Name(), "f10.c");
    l.Sort(CDirList::SORT_NAME);
    EXPECT_STREQ(l.GetEntry(0)->Name(), "f10.c");

    // Renamed on disk, stored again.
    EXPECT_GE(l.GetIconIndex(0), 0);
    EXPECT_NE(l.GetTypeName(0), nullptr);
    ASSERT_TRUE(MoveFileA((m_dir / "f10.c").c_str(), (m_dir / "zehn.cpp").c_str()));
    EXPECT_TRUE(l.RefreshEntry(0, "zehn.cpp"));
    EXPECT_EQ(events[CDirList::DLN_CHANGED], 1);
    EXPECT_STREQ(l.GetEntry(0)->Name(), "zehn.cpp");
    EXPECT_STREQ(l.GetPath(0, nullptr, 1), "zehn.cpp");
    EXPECT_EQ(l.GetEntry(0)->nIcon, -1);
    EXPECT_EQ(l.GetEntry(0)->pszType, nullptr);
    EXPECT_FALSE(l.RefreshEntry(0, "sub\\x"));
    EXPECT_FALSE(l.RefreshEntry(5, "x"));
    l.Clear();
    EXPECT_EQ(l.m_nCount, 0);
    EXPECT_EQ(l.GetEntry(0), nullptr);
}

namespace {

struct StopArgs {
    CDirList* list;
    int at;
};

DWORD WINAPI StopWhenCounted(LPVOID p) {
    StopArgs* a = static_cast<StopArgs*>(p);
    DWORD t0 = GetTickCount();
    while (a->list->m_nCount < a->at && GetTickCount() - t0 < 20000) YieldProcessor();
    InterlockedExchange(&a->list->m_bStop, 1);
    return 0;
}

}  // namespace

TEST(DirListCancel, StopFlagFromAnotherThread) {
    TempDir dir;
    for (int f = 0; f < 30; ++f) {
        std::string folder = dir / ("d" + std::to_string(f));
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
        for (int i = 0; i < 100; ++i) ASSERT_TRUE(systest::WriteFileBytes(folder + "\\f" + std::to_string(i), "12"));
    }
    CDirList l;
    EXPECT_EQ(l.Open(dir.Path().c_str(), CDirList::DL_RECURSE), 3000);
    EXPECT_EQ(l.GetTotalSize(), 6000u);
    l.Clear();
    StopArgs args = {&l, 100};
    HANDLE th = CreateThread(nullptr, 0, StopWhenCounted, &args, 0, nullptr);
    int n = l.Open(dir.Path().c_str(), CDirList::DL_RECURSE);
    WaitForSingleObject(th, INFINITE);
    CloseHandle(th);
    EXPECT_GE(n, 100);
    EXPECT_LT(n, 3000);
    EXPECT_EQ(n, l.m_nCount);
    // The next scan starts afresh.
    l.Clear();
    EXPECT_EQ(l.Open(dir.Path().c_str(), CDirList::DL_RECURSE), 3000);
}

namespace {

// a.txt and b.log (written now) beside entries whose paths pass the limit: T a 262-character
// .txt of 2001, L a 262-character .log written now, D a 262-character folder holding c.txt.
class DirListLeftOut : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = m_dir.Path() + "\\";
        ASSERT_TRUE(systest::WriteFileBytes(m_root + "a.txt", "a"));
        ASSERT_TRUE(systest::WriteFileBytes(m_root + "b.log", "b"));
        const std::string t = testcommon::PaddedPath(m_root, 262, 't', ".txt");
        ASSERT_TRUE(testcommon::MakeLongFile(t));
        ASSERT_TRUE(testcommon::SetLongTimes(t, 2001));
        ASSERT_TRUE(testcommon::MakeLongFile(testcommon::PaddedPath(m_root, 262, 'l', ".log")));
        const std::string d = testcommon::PaddedPath(m_root, 262, 'd');
        ASSERT_TRUE(testcommon::MakeLongFolder(d));
        ASSERT_TRUE(testcommon::MakeLongFile(d + "\\c.txt"));
    }
    void TearDown() override { testcommon::RemoveTree(m_dir.Path()); }

    TempDir m_dir;
    std::string m_root;
};

}  // namespace

// Only what the scan would have taken counts as left out: names the lists accept, files the
// date filter accepts, folders listed or walked (one count for a folder both listed and walked).
TEST_F(DirListLeftOut, CountsOnlyWhatTheScanWouldTake) {
    const int R = CDirList::DL_RECURSE, F = CDirList::DL_FOLDERS, NF = CDirList::DL_NO_FILES;
    const struct {
        const char* label;
        const char* name;   // appended to the root: a mask, or "" for the folder itself
        int flags;
        const char *include, *exclude;
        int timeMode;       // modified before (3) or after (4) 1 January 2010; 0 none
        int listed, skipped;
    } cases[] = {
        {"everything, with sub-folders", "", R, nullptr, nullptr, 0, 2, 3},            // T L D
        {"everything, no sub-folders", "", 0, nullptr, nullptr, 0, 2, 2},              // T L
        {"*.txt with sub-folders", "", R, "*.txt", nullptr, 0, 1, 2},                  // T D
        {"*.txt without", "", 0, "*.txt", nullptr, 0, 1, 1},                           // T
        {"*.txt minus t*", "", R, "*.txt", "t*", 0, 1, 1},                             // D
        {"*.doc with sub-folders", "", R, "*.doc", nullptr, 0, 0, 1},                  // D
        {"*.doc without", "", 0, "*.doc", nullptr, 0, 0, 0},
        {"a mask of the pattern", "*.log", 0, nullptr, nullptr, 0, 1, 1},             // L
        {"folders, walked and listed", "", R | F | NF, nullptr, nullptr, 0, 0, 1},     // D once
        {"folders listed, not walked", "", F | NF, nullptr, nullptr, 0, 0, 1},         // D
        {"folders a list leaves out", "", F | NF, "x*", nullptr, 0, 0, 0},
        {"modified before 2010", "", R, nullptr, nullptr, 3, 0, 2},                    // T D
        {"modified after 2010", "", 0, nullptr, nullptr, 4, 2, 1},                     // L
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        DirFilter filter = {};
        filter.nTimeMode = c.timeMode;
        filter.nTime = 1262304000;   // 1 January 2010
        CDirList l;
        EXPECT_EQ(c.listed, l.Open((m_root + c.name).c_str(), c.flags, c.include, c.exclude, &filter));
        EXPECT_EQ(c.skipped, l.GetSkippedCount());
    }
}

// A folder of 258 or 259 characters is read: its entries are left out one by one, as those of a
// shorter folder would be; only a folder that is missing is one.
TEST_F(DirListLeftOut, FoldersAtTheLimitAreReadNotMissing) {
    const struct {
        size_t length;
        const char* include;
        bool make;
        int result, skipped;
    } cases[] = {
        {259, nullptr, true, 0, 2}, {259, "*.txt", true, 0, 1}, {259, "*.doc", true, 0, 0},
        {258, nullptr, true, 0, 2}, {200, nullptr, true, 2, 0}, {259, nullptr, false, FILE_ERR_NOT_FOUND, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.length) + (c.include ? c.include : ""));
        const std::string folder = testcommon::PaddedPath(m_root, c.length, 'f');
        if (c.make) {
            ASSERT_TRUE(testcommon::MakeLongFolder(folder));
            ASSERT_TRUE(testcommon::MakeLongFile(folder + "\\x.txt"));
            ASSERT_TRUE(testcommon::MakeLongFile(folder + "\\y.log"));
        }
        CDirList l;
        EXPECT_EQ(c.result, l.Open(folder.c_str(), 0, c.include));
        EXPECT_EQ(c.skipped, l.GetSkippedCount());
        EXPECT_EQ(c.result, l.Open((folder + "\\").c_str(), CDirList::DL_RECURSE, c.include)) << "with a separator";
        testcommon::RemoveTree(folder);
    }
}
