// Run as the unprivileged user: a listed file that the user may not read is counted as not
// searched by both engines, and the readable file beside it is searched as usual.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/TempTree.h"
#include "app/DirCompare.h"
#include "app/HexSearch.h"
#include "app/TextSearch.h"
#include "app/ValueSyntax.h"
#include "system/DirList.h"
#include "system/StrList.h"

TEST(SkippedFiles, FileDeniedToTheUserIsCounted)
{
    // The system's password file exists everywhere and only its owner group may read it.
    const char denied[] = "Z:\\etc\\shadow";
    if (GetFileAttributesA(denied) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no file denied to this user";
    testcommon::TempDir dir;
    std::string readable = dir.Write("a.txt", "needle");
    CStrList paths;
    paths.Insert(denied);
    paths.Insert(readable.c_str());

    CTextSearch text;
    EXPECT_EQ(1, text.SearchFiles(paths, "needle", 0));
    CHexSearch hex;
    char term[VALUE_TERM_SIZE];
    BuildTerm("\"needle\"", GetValueKind("\"needle\""), WIDTH_VARIABLE, 0, -1, term, sizeof term);
    std::string group = std::string("0\0", 2) + term + std::string("\0\0", 2);
    EXPECT_EQ(1, hex.SearchFiles(paths, group.c_str(), 0));
    for (const CSkippedFiles* s : {&text.m_skipped, &hex.m_skipped}) {
        ASSERT_EQ(1, s->Count());
        EXPECT_EQ(denied, s->Kept()[0].path);
        EXPECT_EQ(SKIP_OPEN, s->Kept()[0].reason);
    }
}

namespace {

// Whether the system's folder of private keys exists and this user may not list it.
bool PrivateFolderDenied()
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA("Z:\\etc\\ssl\\private\\*", &fd);
    if (h != INVALID_HANDLE_VALUE)
        FindClose(h);
    return h == INVALID_HANDLE_VALUE && GetFileAttributesA("Z:\\etc\\ssl\\private") != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

TEST(SkippedFiles, FolderDeniedToTheUserIsCountedInTheFill)
{
    // A folder of the system that only its owner group may read.
    const char parent[] = "Z:\\etc\\ssl";
    if (!PrivateFolderDenied())
        GTEST_SKIP() << "no folder denied to this user";
    CDirList list;
    EXPECT_GT(list.Open(parent, CDirList::DL_RECURSE), 0);
    EXPECT_EQ(1, list.GetSkippedCount());
}

TEST(SkippedFiles, CompareCounterpartInAFolderDeniedToTheUser)
{
    // Whether the counterpart exists cannot be known: it is not reported as missing.
    const char comparePath[] = "Z:\\etc\\ssl\\";
    if (!PrivateFolderDenied())
        GTEST_SKIP() << "no folder denied to this user";
    testcommon::TempDir dir;
    std::string path = dir.Path() + "\\";
    CreateDirectoryA((path + "private").c_str(), nullptr);
    std::string listed = dir.Write("private\\key.pem", "k");
    CStrList input, lines(4);
    for (const std::string& header : {path, std::string(comparePath), std::string(), std::string()})
        input.Insert(header.c_str());
    uint32_t size = 1;
    input.InsertBuf(int(listed.size()), listed.c_str(), -1, &size);
    EXPECT_EQ(1, RunDirCompare(input, DCF_CHANGED | DCF_DELETED, lines, nullptr, nullptr, nullptr));
    ASSERT_EQ(1, lines.m_nCount);
    EXPECT_EQ(uint32_t(DCK_OPEN_FAILED), *lines.Item<uint32_t>(0));
    std::string counterpart = std::string(comparePath) + "private\\key.pem";
    EXPECT_EQ(counterpart + std::string(17 - counterpart.size() % 16, ' ') + ":Fehler beim \xD6" "ffnen",
              std::string(lines.GetString(0), size_t(lines.GetLength(0))));
}
