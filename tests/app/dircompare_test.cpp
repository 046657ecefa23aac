// The directory compare's pieces without windows: the padding of result lines, attribute
// tokens, the common folder of listed files, the job's input, the job's lines with and without
// the pairs examined ahead, a cancelled job, and the two files that a result line names.
#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <string>
#include <thread>
#include <vector>

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

// The job's input by hand: path, compare path, no filters, then the listed files.
void MakeInput(CStrList& input, const std::string& path, const std::string& comparePath,
               const std::vector<std::string>& listed)
{
    input.RemoveAll();
    input.ItemDataSize(4);
    for (const std::string& header : {path, comparePath, std::string(), std::string()})
        input.Insert(header.c_str());
    for (const std::string& file : listed) {
        uint32_t size = 0;
        input.InsertBuf(int(file.size()), file.c_str(), -1, &size);
    }
}

std::vector<std::string> Lines(const CStrList& lines)
{
    std::vector<std::string> v;
    for (int i = 0; i < lines.m_nCount; ++i)
        v.push_back(Text(lines, i) + "|" + std::to_string(*lines.Item<uint32_t>(i)));
    return v;
}

// The number of threads of this process.
int ThreadCount()
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 t = {sizeof t};
    int n = 0;
    for (BOOL ok = Thread32First(snap, &t); ok; ok = Thread32Next(snap, &t))
        n += t.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return n;
}

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
    // A file listed again (in other letters) is compared once.
    ASSERT_EQ(1, files.Open((upper + "A.TXT").c_str(), 0));

    CStrList input;
    uint64_t sum = 0;
    EXPECT_EQ(1, BuildDirCompareInput(files, 5, listed.Root().c_str(), other.Root().c_str(), "*.txt", "", input, &sum));
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

    // A counterpart whose path is too long to be looked at is not reported as missing.
    CStrList deep;
    std::string deepPath = other.Root() + std::string(240, 'd') + "\\";
    MakeInput(deep, listed.Root(), deepPath, {listed.Root() + "sub\\b.txt"});
    lines.RemoveAll();
    EXPECT_EQ(1, RunDirCompare(deep, DCF_CHANGED | DCF_DELETED, lines, &cancel, nullptr, nullptr));
    ASSERT_EQ(1, lines.m_nCount);
    EXPECT_EQ(uint32_t(DCK_OPEN_FAILED), *lines.Item<uint32_t>(0));
    EXPECT_EQ(0u, Text(lines, 0).find(deepPath + "sub\\b.txt "));

    // Not cancelled: the file found only below the compare path.
    lines.RemoveAll();
    EXPECT_EQ(1, RunDirCompare(input, DCF_ADDED, lines, &cancel, nullptr, nullptr));
    ASSERT_EQ(1, lines.m_nCount);
    EXPECT_EQ(uint32_t(DCK_NEW), *lines.Item<uint32_t>(0));
    EXPECT_EQ(0u, Text(lines, 0).find(listed.Root() + "x.txt "));
    // Cancelled while the compare path is listed (a large tree takes seconds): nothing.
    lines.RemoveAll();
    cancel = 1;
    EXPECT_EQ(2, RunDirCompare(input, DCF_CHANGED | DCF_ADDED, lines, &cancel, nullptr, nullptr));
    EXPECT_EQ(0, lines.m_nCount);
}

// Every kind of pair, several times over: the lines of all files together (examined ahead by
// the readers) are those of each file compared alone, in list order. (The queue's window
// turning over is the search's read-ahead test's.)
TEST(DirCompareJob, PairsExaminedAheadGiveTheLinesOfEachFileAlone)
{
    const std::string block(65536, 'b');
    enum { NONE, LISTED, COUNTERPART };
    const char* const kFolder = "\x01" "folder";
    const struct {
        const char* name;
        std::string listed, counterpart;   // bytes, or "\x01" and what stands there instead (see make)
        int side, ignoringSide;            // whose path the line names, plain and ignoring line ends
        const char *text, *ignoringText;
    } kCases[] = {
        {"same.c", "abc", "abc", NONE, NONE, "", ""},
        {"empty.c", "", "", NONE, NONE, "", ""},
        {"changed.c", "abcd", "abXd", COUNTERPART, COUNTERPART, ":ver\xE4ndert", ":ver\xE4ndert"},
        {"longer.c", "abc", "abcdef", COUNTERPART, COUNTERPART, ":andere L\xE4nge", ":andere L\xE4nge"},
        {"crlf.c", "a\r\nb\r\n", "a\nb\n", COUNTERPART, NONE, ":andere L\xE4nge", ""},
        {"block.c", block, block, NONE, NONE, "", ""},
        {"blocklast.c", block + "x", block + "y", COUNTERPART, COUNTERPART, ":ver\xE4ndert", ":ver\xE4ndert"},
        {"second.c", block + block, block + "B" + block.substr(1), COUNTERPART, COUNTERPART, ":ver\xE4ndert",
         ":ver\xE4ndert"},
        {"gone.c", "g", "\x01none", LISTED, LISTED, ":Datei existiert nicht", ":Datei existiert nicht"},
        {"folder.c", "f", kFolder, LISTED, LISTED, ":Datei existiert nicht", ":Datei existiert nicht"},
        {"ronly.c", "r", "\x01ronly", COUNTERPART, COUNTERPART, ":RONLY+", ":RONLY+"},
        {"unlisted.c", "\x01none", "u", LISTED, LISTED, ":Fehler beim \xD6" "ffnen", ":Fehler beim \xD6" "ffnen"},
        {"lockedcp.c", "l", "\x01locked", COUNTERPART, COUNTERPART, ":Fehler beim \xD6" "ffnen",
         ":Fehler beim \xD6" "ffnen"},
        {"lockedls.c", "\x01locked", "l", LISTED, LISTED, ":Fehler beim \xD6" "ffnen", ":Fehler beim \xD6" "ffnen"},
    };
    TempDir listedDir, compareDir;
    std::vector<std::string> listed;
    std::vector<HANDLE> locks;
    std::vector<std::string> want[2];   // plain, ignoring line ends
    const int kCopies = 6;
    for (int copy = 0; copy < kCopies; ++copy)
        for (const auto& c : kCases) {
            std::string rel = "s" + std::to_string(copy) + "\\" + c.name;
            // Special contents: none (the file is missing), a folder, a read-only or a locked file.
            auto make = [&](TempDir& dir, const std::string& bytes) {
                std::string path = dir.Write(rel, bytes == "\x01ronly" || bytes == "\x01locked" ? "r" : bytes);
                if (bytes == "\x01none" || bytes == kFolder)
                    DeleteFileA(path.c_str());
                if (bytes == kFolder)
                    CreateDirectoryA(path.c_str(), nullptr);
                if (bytes == "\x01ronly")
                    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
                if (bytes == "\x01locked")
                    locks.push_back(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
                return path;
            };
            std::string a = make(listedDir, c.listed), b = make(compareDir, c.counterpart);
            listed.push_back(a);
            for (int ignoring = 0; ignoring < 2; ++ignoring) {
                int side = ignoring ? c.ignoringSide : c.side;
                if (side == NONE)
                    continue;
                std::string path = side == LISTED ? a : b, text = ignoring ? c.ignoringText : c.text;
                int kind = text[1] == 'F' ? DCK_OPEN_FAILED : text[1] == 'D' ? DCK_MISSING
                           : text[1] == 'R' ? DCK_ATTRIBUTES : DCK_CONTENT;
                want[ignoring].push_back(path + std::string(17 - path.size() % 16, ' ') + text + "|" +
                                         std::to_string(kind));
            }
        }
    for (HANDLE h : locks)
        ASSERT_NE(INVALID_HANDLE_VALUE, h);

    const int flags = DCF_CHANGED | DCF_ATTRIBUTES | DCF_DELETED;
    CStrList input, lines(4);
    MakeInput(input, listedDir.Root(), compareDir.Root(), listed);
    for (int ignoring = 0; ignoring < 2; ++ignoring) {
        lines.RemoveAll();
        EXPECT_EQ(1, RunDirCompare(input, flags | (ignoring ? DCF_IGNORE_LINE_ENDS : 0), lines, nullptr, nullptr,
                                   nullptr));
        EXPECT_EQ(want[ignoring], Lines(lines)) << "ignoring line ends: " << ignoring;
    }
    // Each file alone: nothing is read ahead.
    std::vector<std::string> alone;
    for (const std::string& file : listed) {
        CStrList one, oneLines(4);
        MakeInput(one, listedDir.Root(), compareDir.Root(), {file});
        RunDirCompare(one, flags, oneLines, nullptr, nullptr, nullptr);
        for (const std::string& line : Lines(oneLines))
            alone.push_back(line);
    }
    EXPECT_EQ(want[0], alone);
    for (HANDLE h : locks)
        CloseHandle(h);
}

// A cancel while the readers compare large files ends the job at once, and no reader stays.
TEST(DirCompareJob, CancelWhileReadersCompareEndsPromptly)
{
    TempDir listedDir, compareDir;
    const long long kSize = 1ll << 30;   // zeros, not written: compared in well over a second
    std::vector<std::string> listed;
    for (const char* name : {"a.bin", "b.bin", "c.bin", "d.bin"}) {
        ASSERT_TRUE(testcommon::MakeLargeFile(listedDir.Root() + name, kSize));
        ASSERT_TRUE(testcommon::MakeLargeFile(compareDir.Root() + name, kSize));
        listed.push_back(listedDir.Root() + name);
    }
    CStrList input, lines(4);
    MakeInput(input, listedDir.Root(), compareDir.Root(), listed);
    const int threadsBefore = ThreadCount();
    volatile LONG cancel = 0;
    LARGE_INTEGER frequency, cancelled = {}, ended;
    QueryPerformanceFrequency(&frequency);
    std::thread canceller([&] {
        Sleep(200);
        QueryPerformanceCounter(&cancelled);
        InterlockedExchange(&cancel, 1);
    });
    RunDirCompare(input, DCF_CHANGED, lines, &cancel, nullptr, nullptr);
    QueryPerformanceCounter(&ended);
    canceller.join();
    ASSERT_NE(0, cancel);
    EXPECT_EQ(0, lines.m_nCount);
    EXPECT_LT(double(ended.QuadPart - cancelled.QuadPart) / double(frequency.QuadPart), 0.5);
    EXPECT_EQ(threadsBefore, ThreadCount());
}
