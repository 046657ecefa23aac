// Files: information, sizes, times and the two-second rule, contents compare, write, delete.
#include <gtest/gtest.h>

#include <string>

#include "system/Files.h"
#include "system/support/SysTestUtil.h"

using systest::TempDir;

TEST(Files, InformationSizesAndTimes) {
    TempDir dir;
    std::string f = dir / "a.bin";
    ASSERT_TRUE(systest::WriteFileBytes(f, std::string(1000, 'x')));
    ASSERT_TRUE(systest::SetTimes(f, 1000000000, 1234567890));
    FileInfo fi = {};
    EXPECT_EQ(FileStat(f.c_str(), &fi), 0);
    EXPECT_EQ(fi.nSize, 1000u);
    EXPECT_FALSE(fi.dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(FileInfoGetTime(&fi), 1234567890u);
    FileInfo ff = {};
    EXPECT_EQ(FileFindFirst(f.c_str(), &ff), 0);
    EXPECT_EQ(ff.nSize, 1000u);
    EXPECT_EQ(FileInfoGetTime(&ff), 1234567890u);
    EXPECT_EQ(FileStat((dir / "missing").c_str(), &fi), FILE_ERR_NOT_FOUND);
    EXPECT_EQ(FileStat((dir / "no\\such\\x").c_str(), &fi), FILE_ERR_NOT_FOUND);
    EXPECT_EQ(FileFindFirst((dir / "missing").c_str(), &fi), FILE_ERR_NOT_FOUND);
    EXPECT_EQ(FileStat("", &fi), FILE_ERR_BAD_PATH);
    EXPECT_EQ(FileStat(nullptr, &fi), FILE_ERR_BAD_PATH);
    EXPECT_EQ(FileStat(dir.Path().c_str(), &fi), 0);
    EXPECT_TRUE(fi.dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(FileFindFirst("C:\\", &fi), 0);
    // The write time first, then creation, then access.
    FileInfo t = {};
    UnixSecondsToFileTime(50, &t.ftLastAccess);
    EXPECT_EQ(FileInfoGetTime(&t), 50u);
    UnixSecondsToFileTime(60, &t.ftCreation);
    EXPECT_EQ(FileInfoGetTime(&t), 60u);
    UnixSecondsToFileTime(70, &t.ftLastWrite);
    EXPECT_EQ(FileInfoGetTime(&t), 70u);

    EXPECT_EQ(FileGetSizeA(f.c_str()), 1000u);
    EXPECT_EQ(FileGetSizeA(dir.Path().c_str()), 0xFFFFFFFFu);
    EXPECT_EQ(FileGetSizeA((dir / "missing").c_str()), 0xFFFFFFFFu);
    EXPECT_EQ(FileGetUnixTimeA(f.c_str(), 0), 1234567890u);
    // Wine cannot set a creation time: compare with what the file system reports.
    EXPECT_EQ(FileGetUnixTimeA(f.c_str(), 1), FileTimeToUnixSecondsClamped(ff.ftCreation));
    EXPECT_EQ(FileGetUnixTimeA((dir / "missing").c_str(), 0), 0u);
}

TEST(Files, TimeConversionsAndTwoSecondRule) {
    FILETIME ft;
    UnixSecondsToFileTime(0, &ft);
    EXPECT_EQ(ft.dwLowDateTime | ft.dwHighDateTime, 0u);
    UnixSecondsToFileTime(-5, &ft);
    EXPECT_EQ(ft.dwLowDateTime | ft.dwHighDateTime, 0u);
    UnixSecondsToFileTime(1234567890, &ft);
    EXPECT_EQ(FileTimeToUnixSecondsClamped(ft), 1234567890u);
    UnixSecondsToFileTime(0x100000000LL, &ft);  // past 2106
    EXPECT_EQ(FileTimeToUnixSecondsClamped(ft), 0x7FFFFFFFu);
    FILETIME early = {0, 0};
    EXPECT_EQ(FileTimeToUnixSecondsClamped(early), 0u);

    TempDir dir;
    std::string f = dir / "t.txt";
    ASSERT_TRUE(systest::WriteFileBytes(f, "x"));
    ASSERT_TRUE(systest::SetTimes(f, 1000, 1000001));  // odd second
    EXPECT_EQ(FileTimeDiffersA(1000001, 0, f.c_str(), 2), 0);
    EXPECT_EQ(FileTimeDiffersA(1000000, 0, f.c_str(), 2), 0);  // same two-second step
    EXPECT_NE(FileTimeDiffersA(1000002, 0, f.c_str(), 2), 0);
    EXPECT_NE(FileTimeDiffersA(999999, 0, f.c_str(), 2), 0);
    EXPECT_EQ(FileTimeDiffersA(1000001, 0, f.c_str(), 1), 0);
    EXPECT_NE(FileTimeDiffersA(1000000, 0, f.c_str(), 1), 0);
    WIN32_FILE_ATTRIBUTE_DATA d;
    ASSERT_TRUE(GetFileAttributesExA(f.c_str(), GetFileExInfoStandard, &d));
    EXPECT_EQ(FileTimeDiffersA(d.ftLastWriteTime.dwLowDateTime, d.ftLastWriteTime.dwHighDateTime, f.c_str(), 0), 0);
    EXPECT_NE(FileTimeDiffersA(d.ftLastWriteTime.dwLowDateTime + 1, d.ftLastWriteTime.dwHighDateTime, f.c_str(), 0), 0);
    EXPECT_NE(FileTimeDiffersA(1000001, 0, (dir / "gone").c_str(), 2), 0);
}

TEST(Files, ContentsEqual) {
    TempDir dir;
    std::string big(10000, 'q');
    std::string a = dir / "a", b = dir / "b", c = dir / "c", e1 = dir / "e1", e2 = dir / "e2";
    ASSERT_TRUE(systest::WriteFileBytes(a, big));
    ASSERT_TRUE(systest::WriteFileBytes(b, big));
    big[9000] = 'r';  // differs in the third 4096-byte block
    ASSERT_TRUE(systest::WriteFileBytes(c, big));
    ASSERT_TRUE(systest::WriteFileBytes(e1, ""));
    ASSERT_TRUE(systest::WriteFileBytes(e2, ""));
    EXPECT_EQ(FileContentsEqualA(a.c_str(), b.c_str()), 1);
    EXPECT_EQ(FileContentsEqualA(a.c_str(), c.c_str()), 0);
    EXPECT_EQ(FileContentsEqualA(a.c_str(), e1.c_str()), 0);
    EXPECT_EQ(FileContentsEqualA(e1.c_str(), e2.c_str()), 1);
    EXPECT_EQ(FileContentsEqualA(a.c_str(), (dir / "missing").c_str()), 0);
    EXPECT_EQ(FileContentsEqualA(dir.Path().c_str(), dir.Path().c_str()), 0);
    EXPECT_EQ(FileContentsEqualA(a.c_str(), a.c_str()), 1);
}

TEST(Files, WriteAllAndForcedDelete) {
    TempDir dir;
    std::string f = dir / "out.txt";
    EXPECT_TRUE(FileWriteAllA(f.c_str(), "first", 5));
    EXPECT_EQ(systest::ReadFileBytes(f), "first");
    EXPECT_TRUE(FileWriteAllA(f.c_str(), "2nd", 3));
    EXPECT_EQ(systest::ReadFileBytes(f), "2nd");
    EXPECT_TRUE(FileWriteAllA(f.c_str(), "+more", 5, 1));
    EXPECT_EQ(systest::ReadFileBytes(f), "2nd+more");
    EXPECT_TRUE(FileWriteAllA((dir / "new.txt").c_str(), "", 0));
    EXPECT_EQ(FileGetSizeA((dir / "new.txt").c_str()), 0u);
    EXPECT_FALSE(FileWriteAllA((dir / "nofolder\\x.txt").c_str(), "x", 1));
    // Hidden files stay hidden when rewritten.
    SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(FileWriteAllA(f.c_str(), "h", 1));
    EXPECT_TRUE(GetFileAttributesA(f.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    // No temporary files are left behind.
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir / "*.tmp").c_str(), &fd);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) FindClose(h);

    // Read-only: a plain delete is refused, the forced one clears the mark.
    std::string ro = dir / "ro.txt";
    ASSERT_TRUE(systest::WriteFileBytes(ro, "r"));
    ASSERT_TRUE(SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(DeleteFileA(ro.c_str()));
    EXPECT_EQ(DeleteFileForceA(ro.c_str()), 1);
    EXPECT_EQ(GetFileAttributesA(ro.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(DeleteFileForceA(ro.c_str()), 0);
    EXPECT_EQ(DeleteFileForceA(dir.Path().c_str()), 0);
}
