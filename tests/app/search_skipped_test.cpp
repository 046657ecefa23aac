// Both search engines count the listed files they could not search, with the reason, while
// every other file's hits stay as they are; a log held open for writing is searched.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/TempTree.h"
#include "app/HexSearch.h"
#include "system/SkippedFiles.h"
#include "app/TextSearch.h"
#include "app/ValueSyntax.h"
#include "system/DirList.h"

using testcommon::TempDir;

namespace {

struct Outcome {
    std::vector<std::string> hitNames;   // file names with hits, in order
    std::vector<std::string> skipped;    // "name:reason", in order
    int skippedCount = 0;
};

std::string NameOf(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

template <class Engine> Outcome Collect(const Engine& e)
{
    Outcome o;
    for (int i = 0; i < e.GetHitCount(); ++i)
        o.hitNames.push_back(NameOf(e.GetHitPath(i)));
    for (const CSkippedFiles::Entry& s : e.m_skipped.Kept())
        o.skipped.push_back(NameOf(s.path) + ":" + std::to_string(s.reason));
    o.skippedCount = e.m_skipped.Count();
    return o;
}

std::string NeedleGroup()
{
    char term[VALUE_TERM_SIZE];
    BuildTerm("\"needle\"", GetValueKind("\"needle\""), WIDTH_VARIABLE, 0, -1, term, sizeof term);
    return std::string("0\0", 2) + term + std::string("\0\0", 2);
}

// Runs the engine (0 text, 1 value) over a file list or, with paths, over a path list.
Outcome Search(int engine, CDirList* list, const CStrList* paths, int limit = 1000)
{
    if (engine == 0) {
        CTextSearch t;
        t.m_nResultLimit = limit;
        list ? t.SearchFileList(*list, "needle", 0) : t.SearchFiles(*paths, "needle", 0);
        return Collect(t);
    }
    CHexSearch h;
    h.m_nResultLimit = limit;
    std::string group = NeedleGroup();
    list ? h.SearchFileList(*list, group.c_str(), 0) : h.SearchFiles(*paths, group.c_str(), 0);
    return Collect(h);
}

const std::string kOpen = std::to_string(SKIP_OPEN), kLarge = std::to_string(SKIP_TOO_LARGE);

}  // namespace

TEST(SkippedFiles, LockedVanishedAndHugeFilesAreCountedWithTheirReasons)
{
    TempDir dir;
    dir.Write("a.txt", "x needle\n");
    dir.Write("gone.txt", "needle");
    dir.Write("locked.txt", "needle");
    dir.Write("log.txt", "start\n");
    dir.Write("z.txt", "needle");
    // 2 GB + 1 byte, sparse, with the text at its start: searching a cut part would find it.
    HANDLE big = CreateFileA((dir / "big.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, big);
    DWORD put = 0;
    WriteFile(big, "needle", 6, &put, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 0x80000001LL;
    ASSERT_TRUE(SetFilePointerEx(big, end, nullptr, FILE_BEGIN) && SetEndOfFile(big));
    CloseHandle(big);

    CDirList list;
    ASSERT_EQ(6, list.Open(dir.Path().c_str(), 0));
    list.Sort(CDirList::SORT_NAME);
    ASSERT_TRUE(DeleteFileA((dir / "gone.txt").c_str()));
    HANDLE locked = CreateFileA((dir / "locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    // A logger's handle: writing, with the right to delete, sharing everything.
    HANDLE log = CreateFileA((dir / "log.txt").c_str(), GENERIC_WRITE | DELETE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, log);
    SetFilePointer(log, 0, nullptr, FILE_END);
    WriteFile(log, "needle\n", 7, &put, nullptr);

    CStrList paths;
    for (const char* name : {"a.txt", "gone.txt", "log.txt"}) paths.Insert((dir / name).c_str());

    struct Case {
        const char* what;
        int engine;
        bool fileList;
        int limit;
        Outcome expected;
    } cases[] = {
        {"text, file list", 0, true, 1000,
         {{"a.txt", "log.txt", "z.txt"}, {"big.bin:" + kLarge, "gone.txt:" + kOpen, "locked.txt:" + kOpen}, 3}},
        {"value, file list", 1, true, 1000,
         {{"a.txt", "log.txt", "z.txt"}, {"big.bin:" + kLarge, "gone.txt:" + kOpen, "locked.txt:" + kOpen}, 3}},
        {"text, path list", 0, false, 1000, {{"a.txt", "log.txt"}, {"gone.txt:" + kOpen}, 1}},
        {"value, path list", 1, false, 1000, {{"a.txt", "log.txt"}, {"gone.txt:" + kOpen}, 1}},
        // Files left out because the result limit ended the search are not counted.
        {"text, limit", 0, true, 1, {{"a.txt"}, {}, 0}},
        {"value, limit", 1, true, 1, {{"a.txt"}, {}, 0}},
    };
    for (const Case& c : cases) {
        Outcome o = Search(c.engine, c.fileList ? &list : nullptr, &paths, c.limit);
        EXPECT_EQ(c.expected.hitNames, o.hitNames) << c.what;
        EXPECT_EQ(c.expected.skipped, o.skipped) << c.what;
        EXPECT_EQ(c.expected.skippedCount, o.skippedCount) << c.what;
    }
    CloseHandle(log);
    CloseHandle(locked);
}

TEST(SkippedFiles, AFileListedTwiceIsSearchedOnce)
{
    TempDir dir;
    dir.Write("a.txt", "needle\n");
    dir.Write("z.txt", "needle\n");
    CDirList list;
    ASSERT_EQ(2, list.Open(dir.Path().c_str(), 0));
    list.Sort(CDirList::SORT_NAME);
    // The same files again: one by the same path, one in other case and with '/'.
    ASSERT_EQ(1, list.Open((dir / "z.txt").c_str(), 0));
    ASSERT_EQ(1, list.Open((dir.Path() + "/A.TXT").c_str(), 0));
    for (int engine : {0, 1}) {
        Outcome o = Search(engine, &list, nullptr);
        EXPECT_EQ((std::vector<std::string>{"a.txt", "z.txt"}), o.hitNames) << "engine " << engine;
    }
}

TEST(SkippedFiles, Message)
{
    CSkippedFiles skipped;
    EXPECT_EQ("", FormatSkippedFiles(skipped, "durchsucht"));
    skipped.Add("C:\\a.log", SKIP_OPEN);
    skipped.Add("C:\\b.log", SKIP_NONE);   // not a skip
    EXPECT_EQ("1 Datei konnte nicht durchsucht werden:\n\nC:\\a.log: kann nicht ge\xF6" "ffnet werden",
              FormatSkippedFiles(skipped, "durchsucht"));
    for (int i = 1; i < 150; ++i) skipped.Add("C:\\f", i % 3 + 1);
    EXPECT_EQ(150, skipped.Count());
    EXPECT_EQ(100u, skipped.Kept().size());
    EXPECT_EQ("150 Dateien konnten nicht durchsucht werden:\n\nC:\\a.log: kann nicht ge\xF6" "ffnet werden\n"
              "C:\\f: kann nicht gelesen werden\n\x85",
              FormatSkippedFiles(skipped, "durchsucht", 2));
}
