// The directory compare's pieces without windows: the padding of result lines, attribute
// tokens, the common folder of listed files, the job's input, a cancelled job, and the two
// files that a result line names.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/DirCompare.h"
#include "common/TempTree.h"
#include "system/DirList.h"
#include "system/StrList.h"

namespace {

std::string Text(const CStrList& list, int i) { return std::string(list.GetString(i), size_t(list.GetLength(i))); }

class TempDir : public testcommon::TempDir {
public:
    TempDir() : testcommon::TempDir("vdc_") {}
    std::string Root() const { return Path() + "\\"; }
    std::string Write(const std::string& rel, const std::string& bytes)
    {
        std::string full = Root() + rel;
        for (size_t i = Root().size(); i < full.size(); ++i)
            if (full[i] == '\\')
                CreateDirectoryA(full.substr(0, i).c_str(), nullptr);
        testcommon::WriteFileBytes(full, bytes);
        return full;
    }
};

}  // namespace

TEST(DirCompareLines, PathIsPaddedToTheNextColumn)
{
    const struct {
        const char* path;
        const char* line;
    } kCases[] = {
        {"C:\\a.c", "C:\\a.c           :x"},                                  // 6 + 11 = 17
        {"C:\\abcdefghij.c", "C:\\abcdefghij.c  :x"},                         // 15 + 2
        {"C:\\abcdefghijk.c", "C:\\abcdefghijk.c                 :x"},       // 16 + 17 = 33
        {"C:\\abcdefghijklmnopqrst.c", "C:\\abcdefghijklmnopqrst.c        :x"},  // 25 + 8 = 33
    };
    CStrList lines(4);
    for (const auto& c : kCases) {
        int i = AddDirCompareLine(lines, c.path, ":x", DCK_MISSING);
        EXPECT_EQ(c.line, Text(lines, i));
        EXPECT_EQ(uint32_t(DCK_MISSING), *lines.Item<uint32_t>(i));
    }
}

TEST(DirCompareLines, AttributeTokensInTheirOrder)
{
    const DWORD H = FILE_ATTRIBUTE_HIDDEN, R = FILE_ATTRIBUTE_READONLY, S = FILE_ATTRIBUTE_SYSTEM,
                A = FILE_ATTRIBUTE_ARCHIVE;
    const struct {
        DWORD listed, counterpart;
        const char* text;
    } kCases[] = {
        {A, A, ""},
        {A, A | R, ":RONLY+"},
        {H | S, A, ":HIDDEN-SYSTEM-ARCHIVE+"},
        {R | A, H | S, ":HIDDEN+RONLY-SYSTEM+ARCHIVE-"},
        {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_TEMPORARY, ""},
    };
    for (const auto& c : kCases)
        EXPECT_STREQ(c.text, AttributeChangeText(c.listed, c.counterpart)) << c.listed << " " << c.counterpart;
}

TEST(DirCompareLines, LineNamesListedFileAndCounterpart)
{
    const struct {
        const char* line;
        bool ok;
        const char* listed;
        const char* counterpart;
    } kCases[] = {
        {"D:\\cmp\\sub\\a.c        :verändert", true, "C:\\src\\sub\\a.c", "D:\\cmp\\sub\\a.c"},
        {"d:/CMP\\b.txt   :RONLY+", true, "C:\\src\\b.txt", "d:/CMP\\b.txt"},    // case and '/' as Windows
        {"C:\\src\\gone.c   :Datei existiert nicht", false, "", ""},
        {"D:\\cmp\\no colon", false, "", ""},
    };
    for (const auto& c : kCases) {
        CString listed, counterpart;
        EXPECT_EQ(c.ok, DirCompareLineFiles(c.line, "C:\\src\\", "D:\\cmp\\", listed, counterpart)) << c.line;
        EXPECT_STREQ(c.listed, listed);
        EXPECT_STREQ(c.counterpart, counterpart);
    }
}

TEST(DirCompareJob, InputCommonFolderOpenFailureAndCancel)
{
    TempDir listed, other;
    listed.Write("sub\\c.txt", "ccc");
    // The same folder spelt in capitals is still the same folder.
    std::string upper = listed.Root();
    CharUpperBuffA(&upper[0], DWORD(upper.size()));
    CDirList files;
    for (const std::string& path : {listed.Write("a.txt", "a"), listed.Write("sub\\b.txt", "bb"),
                                    upper + "SUB\\c.txt", other.Write("x.txt", "x")})
        ASSERT_EQ(1, files.Open(path.c_str(), 0)) << path;
    std::string temp = listed.Path().substr(0, listed.Path().rfind('\\') + 1);
    EXPECT_STREQ(temp.c_str(), CommonFolderOf(files, 4));
    EXPECT_STREQ(listed.Root().c_str(), CommonFolderOf(files, 3));

    CStrList input;
    uint64_t sum = 0;
    EXPECT_EQ(1, BuildDirCompareInput(files, 4, listed.Root().c_str(), other.Root().c_str(), "*.txt", "", input, &sum));
    ASSERT_EQ(7, input.m_nCount);
    EXPECT_EQ(listed.Root() + "sub\\b.txt", Text(input, 5));
    EXPECT_EQ(6u, sum);

    // A counterpart that cannot be opened is reported as such, not as a difference.
    std::string locked = other.Write("a.txt", "a");
    HANDLE h = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CStrList lines(4);
    volatile LONG cancel = 0;
    EXPECT_EQ(1, RunDirCompare(input, DCF_CHANGED, lines, &cancel, nullptr, nullptr));
    CloseHandle(h);
    ASSERT_EQ(1, lines.m_nCount);
    EXPECT_EQ(uint32_t(DCK_OPEN_FAILED), *lines.Item<uint32_t>(0));
    std::string line = Text(lines, 0);
    EXPECT_EQ(0u, line.find(locked + " "));
    EXPECT_EQ(":Fehler beim \xD6" "ffnen", line.substr(line.find(':', 2)));

    // Cancelled before the first file: only the files found below the compare path.
    lines.RemoveAll();
    cancel = 1;
    EXPECT_EQ(2, RunDirCompare(input, DCF_CHANGED | DCF_ADDED, lines, &cancel, nullptr, nullptr));
    ASSERT_EQ(1, lines.m_nCount);
    EXPECT_EQ(uint32_t(DCK_NEW), *lines.Item<uint32_t>(0));
    EXPECT_EQ(0u, Text(lines, 0).find(listed.Root() + "x.txt "));
}
