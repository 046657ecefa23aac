// CSafeFileWriter: a rewrite replaces the target only when complete; every failure keeps it.
#include <gtest/gtest.h>

#include <string>

#include "system/SafeFile.h"
#include "system/support/SysTestUtil.h"

using systest::TempDir;

namespace {
bool Exists(const std::string& p) { return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }
}  // namespace

TEST(SafeFile, CommitReplacesAbortKeeps) {
    TempDir dir;
    std::string f = dir / "a.txt", tmp = f + ".vellmorant.tmp";
    ASSERT_TRUE(systest::WriteFileBytes(f, "old"));
    struct Case { bool commit; const char* expect; } cases[] = {{false, "old"}, {true, "new\0x"}};
    for (const Case& c : cases) {
        {
            CSafeFileWriter w;
            ASSERT_EQ(w.Open(f.c_str()), SAFE_OK);
            EXPECT_STREQ(w.TempPath(), tmp.c_str());
            ASSERT_EQ(w.Write("new", 3), SAFE_OK);
            ASSERT_EQ(w.Write("\0x", 2), SAFE_OK);
            EXPECT_EQ(w.Written(), 5u);
            EXPECT_EQ(systest::ReadFileBytes(f), "old");  // untouched until the commit
            if (c.commit) {
                EXPECT_EQ(w.Commit(), SAFE_OK);
            }
        }  // the destructor aborts an uncommitted writer
        EXPECT_EQ(systest::ReadFileBytes(f), std::string(c.expect, c.commit ? 5 : 3));
        EXPECT_FALSE(Exists(tmp));
    }
}

TEST(SafeFile, MarksCarryOverAndNewTargets) {
    TempDir dir;
    std::string f = dir / "ro.txt";
    ASSERT_TRUE(systest::WriteFileBytes(f, "old"));
    ASSERT_TRUE(SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    CSafeFileWriter w;
    ASSERT_EQ(w.Open(f.c_str()), SAFE_OK);
    ASSERT_EQ(w.Write("new", 3), SAFE_OK);
    ASSERT_EQ(w.Commit(), SAFE_OK);
    EXPECT_EQ(systest::ReadFileBytes(f), "new");
    DWORD attr = GetFileAttributesA(f.c_str());
    EXPECT_TRUE(attr & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(attr & FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);
    // A target that does not exist yet is simply created.
    std::string n = dir / "new.txt";
    ASSERT_EQ(w.Open(n.c_str(), ".x"), SAFE_OK);
    ASSERT_EQ(w.Commit(), SAFE_OK);
    EXPECT_TRUE(Exists(n));
    EXPECT_EQ(w.Commit(), SAFE_ERR_STATE);
    EXPECT_EQ(w.Write("x", 1), SAFE_ERR_STATE);
}

TEST(SafeFile, FailuresKeepTheTarget) {
    TempDir dir;
    std::string f = dir / "locked.txt";
    ASSERT_TRUE(systest::WriteFileBytes(f, "old"));
    CSafeFileWriter w;
    EXPECT_EQ(w.Open((dir / "no\\such\\x.txt").c_str()), SAFE_ERR_CREATE);
    EXPECT_EQ(w.Open(nullptr), SAFE_ERR_PATH);
    EXPECT_EQ(w.Open((dir / std::string(MAX_PATH, 'x')).c_str()), SAFE_ERR_PATH);
    // Another program holds the target open without sharing delete: the move fails.
    HANDLE h = CreateFileA(f.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_EQ(w.Open(f.c_str()), SAFE_OK);
    ASSERT_EQ(w.Write("new", 3), SAFE_OK);
    EXPECT_EQ(w.Commit(), SAFE_ERR_REPLACE);
    CloseHandle(h);
    EXPECT_EQ(systest::ReadFileBytes(f), "old");
    EXPECT_FALSE(Exists(f + ".vellmorant.tmp"));
    EXPECT_STRNE(SafeFileErrorText(SAFE_ERR_REPLACE), "");
}

// Deferred, the temporary file appears only once a full buffer goes out; what the new file's
// handle told at the commit is what a later open of the file tells.
TEST(SafeFile, DeferredBufferedWritesAndTheNewFilesInfo) {
    TempDir dir;
    std::string f = dir / "d.txt", tmp = f + ".vellmorant.tmp";
    ASSERT_TRUE(systest::WriteFileBytes(f, "old"));
    CSafeFileWriter w;
    ASSERT_EQ(w.Open(f.c_str(), kSafeTempSuffix, true), SAFE_OK);
    ASSERT_EQ(w.Write("abc", 3), SAFE_OK);
    EXPECT_FALSE(Exists(tmp));
    w.Abort();
    EXPECT_EQ(systest::ReadFileBytes(f), "old");

    std::string big(CSafeFileWriter::kBufferSize + 10, 'b');
    big[0] = 'B';
    ASSERT_EQ(w.Open(f.c_str(), kSafeTempSuffix, true), SAFE_OK);
    ASSERT_EQ(w.Write("head", 4), SAFE_OK);
    ASSERT_EQ(w.Write(big.data(), big.size()), SAFE_OK);
    EXPECT_TRUE(Exists(tmp));
    ASSERT_EQ(w.Write("tail", 4), SAFE_OK);
    OpenFileInfo written;
    ASSERT_EQ(w.Commit(&written), SAFE_OK);
    std::string want = "head" + big + "tail";
    EXPECT_EQ(systest::ReadFileBytes(f), want);

    CSourceFile source;
    ASSERT_TRUE(source.Open(f.c_str(), true));
    const OpenFileInfo& now = source.Info();
    ASSERT_TRUE(written.known && now.known);
    EXPECT_EQ(written.size, want.size());
    EXPECT_EQ(now.size, want.size());
    EXPECT_NE(now.index, 0u);
    EXPECT_EQ(now.index, written.index);
    EXPECT_EQ(CompareFileTime(&now.written, &written.written), 0);
    char part[5] = {};
    EXPECT_EQ(source.ReadAt(want.size() - 4, part, 4), 4);
    EXPECT_STREQ(part, "tail");
    EXPECT_TRUE(source.ReadFull(0, part, 5));
    EXPECT_EQ(std::string(part, 5), "headB");
    EXPECT_EQ(source.ReadAt(want.size(), part, 4), 0);
}
