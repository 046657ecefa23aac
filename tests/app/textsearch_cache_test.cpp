// The file cache of the searches and the engine's file and file-list searches over real files:
// unchanged files served from the cache, changed size or time read again, no cache at size
// 0, dropping an entry, the upkeep, the 64-bit total, the result limit across files.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/FileCache.h"
#include "common/TempTree.h"
#include "app/TextSearch.h"
#include "system/DirList.h"

namespace {

const uint32_t kTime = 1600000000;   // an even second

class TextSearchCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = tmp_.Path() + "\\";
        FileCacheInit(&cache_);
        engine_.m_pCache = &cache_;
        engine_.m_nCacheLimit = 1 << 20;
    }
    void TearDown() override { FileCacheClear(&cache_); }
    std::string Write(const char* name, const std::string& data, uint32_t unixTime = kTime)
    {
        std::string path = tmp_.Write(name, data);
        SetTime(path, unixTime);
        return path;
    }
    static void SetTime(const std::string& path, uint32_t unixTime) { ASSERT_TRUE(testcommon::SetTimes(path, -1, unixTime)); }
    int Search(const std::string& path, const char* text)
    {
        CStrList paths;
        paths.Insert(path.c_str());
        engine_.Clear();
        return engine_.SearchFiles(paths, text, 0);
    }
    FileCacheEntry* Entry(int i) { return cache_.Item<FileCacheEntry>(i); }

    testcommon::TempDir tmp_{"vm_textsearch_"};
    std::string dir_;
    CStrList cache_;
    CTextSearch engine_;
};

TEST_F(TextSearchCache, UnchangedFileIsServedFromTheCache)
{
    std::string a = Write("a.txt", "foo\nbar\n");
    EXPECT_EQ(1, Search(a, "foo"));
    ASSERT_EQ(1, cache_.m_nCount);
    EXPECT_EQ(8u, FileCacheTotal(&cache_));
    EXPECT_EQ(8u, Entry(0)->size);
    EXPECT_EQ(1u, Entry(0)->used);
    EXPECT_EQ(kTime, Entry(0)->writeTime);
    // The copy is what is searched while the file looks unchanged.
    memcpy(Entry(0)->bytes, "qux", 3);
    EXPECT_EQ(1, Search(a, "qux"));
    EXPECT_EQ(0, Search(a, "foo"));
    // Touched within the same two-second step, same size: still the copy.
    SetTime(a, kTime + 1);
    EXPECT_EQ(1, Search(a, "qux"));
    // Another time: read again.
    SetTime(a, kTime + 2);
    EXPECT_EQ(1, Search(a, "foo"));
    ASSERT_EQ(1, cache_.m_nCount);
    EXPECT_EQ(kTime + 2, Entry(0)->writeTime);
    EXPECT_EQ(8u, FileCacheTotal(&cache_));
}

TEST_F(TextSearchCache, ChangedSizeWithinTheSameTimeStepIsReadAgain)
{
    std::string a = Write("a.txt", "foo\nbar\n");
    EXPECT_EQ(1, Search(a, "foo"));
    Write("a.txt", "fooo\nzap\n", kTime);   // rewritten at once: the same time, one byte more
    EXPECT_EQ(1, Search(a, "zap"));
    ASSERT_EQ(1, cache_.m_nCount);
    EXPECT_EQ(9u, Entry(0)->size);
    EXPECT_EQ(9u, FileCacheTotal(&cache_));
}

TEST_F(TextSearchCache, DropEntryAndVanishedFiles)
{
    std::string a = Write("a.txt", "foo\n");
    std::string b = Write("b.txt", "foo foo\n");
    CStrList paths;
    paths.Insert(b.c_str());
    paths.Insert(a.c_str());
    EXPECT_EQ(3, engine_.SearchFiles(paths, "foo", 0));
    ASSERT_EQ(2, cache_.m_nCount);
    EXPECT_STREQ(a.c_str(), cache_.GetString(0));   // kept in path order
    EXPECT_EQ(12u, FileCacheTotal(&cache_));
    std::string upper = a;
    for (char& c : upper)
        c = (char)toupper((unsigned char)c);
    EXPECT_TRUE(FileCacheDrop(&cache_, upper.c_str()));
    EXPECT_FALSE(FileCacheDrop(&cache_, upper.c_str()));
    EXPECT_EQ(1, cache_.m_nCount);
    EXPECT_EQ(8u, FileCacheTotal(&cache_));
    // A file that vanished loses its entry at the next lookup and gives no hits.
    DeleteFileA(b.c_str());
    EXPECT_EQ(0, Search(b, "foo"));
    EXPECT_EQ(0, cache_.m_nCount);
    EXPECT_EQ(0u, FileCacheTotal(&cache_));
}

TEST_F(TextSearchCache, NothingIsKeptAtSizeZero)
{
    std::string a = Write("a.txt", "foo\n");
    engine_.m_nCacheLimit = 0;
    EXPECT_EQ(1, Search(a, "foo"));
    EXPECT_EQ(0, cache_.m_nCount);
    engine_.m_nCacheLimit = 4;   // the total plus the size must stay below the limit
    EXPECT_EQ(1, Search(a, "foo"));
    EXPECT_EQ(0, cache_.m_nCount);
    engine_.m_nCacheLimit = 5;
    EXPECT_EQ(1, Search(a, "foo"));
    EXPECT_EQ(1, cache_.m_nCount);
    // The upkeep with size 0 empties the cache.
    EXPECT_EQ(1, FileCachePrune(&cache_, 0));
    EXPECT_EQ(0, cache_.m_nCount);
    EXPECT_EQ(0u, FileCacheTotal(&cache_));
    // No cache at all.
    engine_.m_pCache = nullptr;
    EXPECT_EQ(1, Search(a, "foo"));
}

TEST_F(TextSearchCache, UpkeepDropsWhatTheLastSearchDidNotUse)
{
    std::string a = Write("a.txt", "foo\n");
    std::string b = Write("b.txt", "foo 2\n");
    CStrList both;
    both.Insert(a.c_str());
    both.Insert(b.c_str());
    EXPECT_EQ(2, engine_.SearchFiles(both, "foo", 0));
    EXPECT_EQ(0, FileCachePrune(&cache_, 1 << 20));
    ASSERT_EQ(2, cache_.m_nCount);
    EXPECT_EQ(0u, Entry(0)->used);
    EXPECT_EQ(0u, Entry(1)->used);
    EXPECT_EQ(1, Search(a, "foo"));      // only a is used by this search
    EXPECT_EQ(1u, Entry(0)->used);
    EXPECT_EQ(1, FileCachePrune(&cache_, 1 << 20));
    ASSERT_EQ(1, cache_.m_nCount);
    EXPECT_STREQ(a.c_str(), cache_.GetString(0));
    EXPECT_EQ(4u, FileCacheTotal(&cache_));
    // A smaller cache size trims the cache to fit.
    EXPECT_EQ(2, engine_.SearchFiles(both, "foo", 0));
    EXPECT_EQ(10u, FileCacheTotal(&cache_));
    EXPECT_EQ(1, FileCachePrune(&cache_, 9));
    EXPECT_EQ(4u, FileCacheTotal(&cache_));
}

TEST_F(TextSearchCache, TotalIsComputedIn64Bits)
{
    char data[100] = {1};
    cache_.m_nUserData = (intptr_t)0x7FFFFFF0;   // a total close to 2 GB
    EXPECT_FALSE(FileCacheAdd(&cache_, 0x7FFFFFFF, "C:\\x", data, sizeof data, 0));
    cache_.m_nUserData = (intptr_t)(uint32_t)0xFFFFFFF0u;
    EXPECT_FALSE(FileCacheAdd(&cache_, 0x7FFFFFFF, "C:\\x", data, sizeof data, 0));
    cache_.m_nUserData = 0;
    EXPECT_TRUE(FileCacheAdd(&cache_, 101, "C:\\x", data, sizeof data, 0));
    EXPECT_EQ(100u, FileCacheTotal(&cache_));
}

TEST_F(TextSearchCache, ResultLimitAcrossFilesAndProgress)
{
    std::string six = "x x x\nx x x\n";
    CStrList paths;
    paths.Insert(Write("1.txt", six).c_str());
    paths.Insert((dir_ + "missing.txt").c_str());
    paths.Insert(Write("empty.txt", "").c_str());
    paths.Insert(Write("2.txt", six).c_str());
    paths.Insert(Write("3.txt", six).c_str());
    engine_.m_nResultLimit = 10;
    EXPECT_EQ(10, engine_.SearchFiles(paths, "x", 0));
    EXPECT_EQ(10, engine_.GetHitCount());
    EXPECT_EQ(2, engine_.m_names.m_nCount);
    EXPECT_EQ(4, engine_.m_nFileIndex.load());   // the walk stopped at the third file with text
    EXPECT_EQ(2u, (unsigned)cache_.m_nCount);
    // Without a limit every file is searched and the bytes done add up.
    engine_.Clear();
    engine_.m_nResultLimit = 1000;
    EXPECT_EQ(18, engine_.SearchFiles(paths, "x", 0));
    EXPECT_EQ(3u * six.size(), engine_.m_nBytesDone.load());
    EXPECT_EQ(0, engine_.m_nLinePos.load());
    // The file stop flag is cleared by every walk; empty lists and texts find nothing.
    CStrList none;
    EXPECT_EQ(0, engine_.SearchFiles(none, "x", 0));
    EXPECT_EQ(0, engine_.SearchFiles(paths, "", 0));
}

// Walks over more files than are read ahead at once: hits in list order, a missing file in
// the middle, a file already cached, and a cache that fills up halfway (later copies freed).
TEST_F(TextSearchCache, ReadAheadKeepsOrderAndCache)
{
    CStrList paths;
    std::vector<std::pair<std::string, int>> want;   // path and line of every hit
    std::string seventh;
    for (int k = 0; k < 50; ++k) {
        std::string text = "none\n";
        for (int n = 0; n < k % 3; ++n)
            text += "hit " + std::to_string(k) + "\n";
        std::string path = Write(("ra" + std::to_string(k) + ".txt").c_str(), text + std::string(k * 10, '.'));
        paths.Insert(path.c_str());
        if (k == 7)
            seventh = path;
        for (int n = 0; n < k % 3; ++n)
            want.push_back({path, n + 2});
        if (k == 20)
            paths.Insert((dir_ + "missing.txt").c_str());
    }
    EXPECT_EQ(1, Search(seventh, "hit"));   // cached before the walk
    engine_.m_nCacheLimit = 4000;
    engine_.Clear();
    EXPECT_EQ((int)want.size(), engine_.SearchFiles(paths, "hit", 0));
    std::vector<std::pair<std::string, int>> got;
    for (int i = 0; i < engine_.GetHitCount(); ++i)
        got.push_back({engine_.GetHitPath(i), engine_.GetHitLine(i)});
    EXPECT_EQ(want, got);
    EXPECT_GT(FileCacheTotal(&cache_), 3000u);
    EXPECT_LT(FileCacheTotal(&cache_), 4000u);
    EXPECT_EQ(1, engine_.m_skipped.Count());
}

TEST_F(TextSearchCache, FileListWalk)
{
    Write("1.txt", "x\n");
    Write("2.txt", "x x\n");
    std::string sub = dir_ + "sub";
    CreateDirectoryA(sub.c_str(), nullptr);
    Write("sub\\3.txt", "y x\n");
    CDirList list;
    ASSERT_EQ(4, list.Open(dir_.c_str(), CDirList::DL_RECURSE | CDirList::DL_FOLDERS));   // the folder too
    EXPECT_EQ(4, engine_.SearchFileList(list, "x", 0));
    EXPECT_EQ(3, engine_.m_names.m_nCount);
    EXPECT_EQ(3, cache_.m_nCount);
    EXPECT_EQ(10u, engine_.m_nBytesDone.load());
    // Again: served from the cache, the same hits.
    engine_.Clear();
    EXPECT_EQ(4, engine_.SearchFileList(list, "x", 0));
    EXPECT_EQ(1u, Entry(2)->used);
    // A stop before the walk begins is cleared by it; an empty list finds nothing.
    engine_.m_bFileStop = 1;
    engine_.Clear();
    EXPECT_EQ(4, engine_.SearchFileList(list, "x", 0));
    CDirList none;
    EXPECT_EQ(0, engine_.SearchFileList(none, "x", 0));
}

TEST_F(TextSearchCache, SearchFileCachesAndFindsLikeTheBuffer)
{
    std::string a = Write("a.txt", "one\r\ntwo two\r\n");
    EXPECT_EQ(2, engine_.SearchFile(a.c_str(), "two", 0));
    EXPECT_EQ(2, engine_.GetHitLine(1));
    EXPECT_EQ(9, engine_.GetHitPos(1));
    EXPECT_STREQ(a.c_str(), engine_.GetHitPath(0));
    EXPECT_EQ(1, cache_.m_nCount);
    EXPECT_EQ(0, engine_.SearchFile((dir_ + "none").c_str(), "two", 0));
}

TEST_F(TextSearchCache, LargeFilesAreMappedWhenNotCached)
{
    std::string big = std::string(5 << 20, 'x') + "\nneedle\n";
    std::string a = Write("big.txt", big);
    engine_.m_nCacheLimit = 1 << 20;   // too small for the file
    EXPECT_EQ(1, engine_.SearchFile(a.c_str(), "needle", 0));
    EXPECT_EQ(2, engine_.GetHitLine(0));
    EXPECT_EQ((5 << 20) + 1, engine_.GetHitPos(0));
    EXPECT_EQ(0, cache_.m_nCount);
    engine_.m_nCacheLimit = 8 << 20;   // now it fits
    EXPECT_EQ(1, engine_.SearchFile(a.c_str(), "needle", 0));
    EXPECT_EQ(1, cache_.m_nCount);
    EXPECT_EQ(big.size(), FileCacheTotal(&cache_));
}

} // namespace
