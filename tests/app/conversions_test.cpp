// The conversions byte for byte: tab widths, line ends and code pages, files that must stay
// untouched, the size limit of the line-end conversion, and a cancelled job over many files.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "app/Conversions.h"
#include "common/TempTree.h"
#include "system/DirList.h"

// Allocations above this many bytes fail while it is not 0, as they would in a crowded address
// space.
static volatile size_t g_allocLimit = 0;

void* operator new(size_t size)
{
    void* p = (g_allocLimit && size > g_allocLimit) ? nullptr : std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

using testcommon::ReadFileBytes;
using testcommon::WriteFileBytes;

std::string Tabs(const std::string& line, int oldWidth, int newWidth, bool compress)
{
    std::string out;
    ConvertTabsLine(line.data(), line.size(), oldWidth, newWidth, compress, out);
    return out;
}

std::string LineEnds(const std::string& in, int style, int* changes = nullptr)
{
    std::string out;
    int n = ConvertLineEnds(in.data(), in.size(), style, out);
    if (changes)
        *changes = n;
    return out;
}

FILETIME WriteTime(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA d = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d);
    return d.ftLastWriteTime;
}

const ConvertMonitor kNoMonitor = {nullptr, nullptr, nullptr};

// Lines of 'y' ending in CR LF, size bytes in all (size of 4 or more).
std::string Lines(size_t size)
{
    std::string s;
    while (size - s.size() > 128)
        s += std::string(62, 'y') + "\r\n";
    size_t rest = size - s.size(), first = rest / 2;
    return s + std::string(first - 2, 'y') + "\r\n" + std::string(rest - first - 2, 'y') + "\r\n";
}

// The conversions read a large file in blocks of this size.
const size_t kBlock = 1 << 20;

}  // namespace

TEST(Conversions, TabLines)
{
    const struct {
        const char* in;
        int oldWidth, newWidth;
        bool compress;
        const char* out;
    } kCases[] = {
        {"a\tb", 8, 4, false, "a\t\tb\r\n"},            // b stays at column 8
        {"\tx\t\t\t\ty", 2, 8, false, "  x\t  y\r\n"},  // x at 2, y at 10
        {"a\tb\t", 8, 0, false, "a       b\r\n"},       // blanks only; the last tab goes
        {"    x  y", 4, 4, true, "\tx  y\r\n"},          // no tab stop between x and y
        {"abcde\tz", 7, 4, false, "abcde  z\r\n"},       // z keeps column 7
        {"a b   ", 4, 4, true, "a b\r\n"},               // trailing blanks go when compressing
        {"a  ", 8, 4, false, "a  \r\n"},
        {"", 8, 4, false, "\r\n"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.out, Tabs(c.in, c.oldWidth, c.newWidth, c.compress)) << c.in;

    // Old width clamped to 1..255; a new width of 0 or below means blanks only.
    const struct {
        int oldIn, newIn;
        bool onlySpaces;
        int oldOut, newOut;
        bool run;
    } kWidths[] = {
        {4, 4, false, 4, 4, false}, {300, -2, false, 255, 0, true}, {8, 0, false, 8, 0, true},
        {0, 300, false, 1, 255, true}, {8, 8, true, 8, 0, true},
    };
    for (const auto& w : kWidths) {
        int oldWidth = -1, newWidth = -1;
        EXPECT_EQ(w.run, PrepareTabWidths(w.oldIn, w.newIn, false, w.onlySpaces, &oldWidth, &newWidth)) << w.oldIn;
        EXPECT_EQ(w.oldOut, oldWidth) << w.oldIn;
        EXPECT_EQ(w.newOut, newWidth) << w.oldIn;
    }
}

TEST(Conversions, LineEnds)
{
    const struct {
        const char* in;
        const char* windows;
        int windowsChanges;
        const char* unix;
        int unixChanges;
    } kCases[] = {
        {"\r\r\n", "\r\n\r\n", 1, "\n\n", 2},
        {"a\nb\rc\r\nd", "a\r\nb\r\nc\r\nd", 2, "a\nb\nc\nd", 2},
        {"a\r\n", "a\r\n", 0, "a\n", 1},
        {"a\n\n", "a\r\n\r\n", 2, "a\n\n", 0},
    };
    for (const auto& c : kCases) {
        int changes = -1;
        EXPECT_EQ(c.windows, LineEnds(c.in, 0, &changes)) << c.in;
        EXPECT_EQ(c.windowsChanges, changes);
        EXPECT_EQ(c.unix, LineEnds(c.in, 1, &changes)) << c.in;
        EXPECT_EQ(c.unixChanges, changes);
    }
}

TEST(Conversions, FilesChangeOnlyWhenTheirContentDoes)
{
    testcommon::TempDir dir("vcv_");
    std::string root = dir.Path() + "\\";
    const std::string oem = "\x84\x94\x81\xE1\x8E\x99\x9A\r\n", ansi = "\xE4\xF6\xFC\xDF\xC4\xD6\xDC\r\n";
    const std::string longLine = std::string(30000, 'x') + "\ty";
    const struct {
        const char* name;
        std::string before;
        int (*convert)(const char* path);
        int result;
        std::string after;
    } kCases[] = {
        {"mixed.txt", "a\tb\rc\nd\r\n", [](const char* p) { return ConvertTabsFile(p, 8, 4, false, kNoMonitor); },
         CONVERT_DONE, "a\t\tb\r\nc\r\nd\r\n"},
        {"long.txt", longLine, [](const char* p) { return ConvertTabsFile(p, 8, 0, false, kNoMonitor); }, CONVERT_DONE,
         std::string(30000, 'x') + "        y\r\n"},
        {"empty.txt", "", [](const char* p) { return ConvertTabsFile(p, 8, 4, false, kNoMonitor); },
         CONVERT_UNCHANGED, ""},
        {"same.txt", "a\tb\r\n", [](const char* p) { return ConvertTabsFile(p, 8, 8, true, kNoMonitor); },
         CONVERT_UNCHANGED, "a\tb\r\n"},
        {"oem.txt", oem, [](const char* p) { return ConvertCodePageFile(p, 0); }, CONVERT_DONE, ansi},
        {"ansi.txt", ansi, [](const char* p) { return ConvertCodePageFile(p, 1); }, CONVERT_DONE, oem},
        {"ascii.txt", "plain\r\n", [](const char* p) { return ConvertCodePageFile(p, 0); }, CONVERT_UNCHANGED,
         "plain\r\n"},
        {"crlf.txt", "a\r\nb\r\n", [](const char* p) { return ConvertLineEndsFile(p, 0); }, CONVERT_UNCHANGED,
         "a\r\nb\r\n"},
        {"edge.txt", std::string(kLineEndSizeLimit - 1, 'a') + "\n",
         [](const char* p) { return ConvertLineEndsFile(p, 0); }, CONVERT_DONE,
         std::string(kLineEndSizeLimit - 1, 'a') + "\r\n"},
        {"over.txt", std::string(kLineEndSizeLimit, 'a') + "\n", [](const char* p) { return ConvertLineEndsFile(p, 0); },
         CONVERT_SKIPPED, std::string(kLineEndSizeLimit, 'a') + "\n"},
        // Blocks: a CR LF split between them, and a tab whose blanks are written only once the
        // next block has come (compared with the old bytes read again).
        {"blocks.txt", Lines(kBlock - 4) + "a\tb\r\n" + Lines(100),
         [](const char* p) { return ConvertTabsFile(p, 8, 4, false, kNoMonitor); }, CONVERT_DONE,
         Lines(kBlock - 4) + "a\t\tb\r\n" + Lines(100)},
        {"straddle.txt", Lines(kBlock - 2) + "a\tb\r\n" + Lines(100),
         [](const char* p) { return ConvertTabsFile(p, 8, 8, true, kNoMonitor); }, CONVERT_UNCHANGED,
         Lines(kBlock - 2) + "a\tb\r\n" + Lines(100)},
    };
    // A file of the user's named like the old tab job's backup stays as it is.
    ASSERT_TRUE(WriteFileBytes(root + "mixed.txt.__bak", "mine"));
    for (const auto& c : kCases) {
        std::string path = root + c.name;
        ASSERT_TRUE(WriteFileBytes(path, c.before));
        FILETIME old = {0x12345600, 0x01D00000};
        HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFileTime(h, nullptr, nullptr, &old);
        CloseHandle(h);
        EXPECT_EQ(c.result, c.convert(path.c_str())) << c.name;
        EXPECT_TRUE(c.after == ReadFileBytes(path)) << c.name;
        FILETIME now = WriteTime(path);
        EXPECT_EQ(c.result == CONVERT_DONE, CompareFileTime(&old, &now) != 0) << c.name;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((path + ".vellmorant.tmp").c_str())) << c.name;
    }
    EXPECT_EQ("mine", ReadFileBytes(root + "mixed.txt.__bak"));

    // Read-only files are left alone.
    ASSERT_TRUE(WriteFileBytes(root + "ro.txt", "a\n"));
    SetFileAttributesA((root + "ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(CONVERT_SKIPPED, ConvertLineEndsFile((root + "ro.txt").c_str(), 0));
    EXPECT_EQ("a\n", ReadFileBytes(root + "ro.txt"));
}

TEST(Conversions, CancelLeavesEveryFileWholeOldOrNew)
{
    testcommon::TempDir dir("vcc_");
    const std::string before = std::string(20000, ' ') + "\tx\n", after = std::string(20000, ' ') + "    x\r\n";
    CDirList files;
    for (int i = 0; i < 40; ++i) {
        std::string path = dir.Path() + "\\f" + std::to_string(i) + ".txt";
        ASSERT_TRUE(WriteFileBytes(path, before + before));
        ASSERT_EQ(1, files.Open(path.c_str(), 0));
    }
    // The cancel comes in the middle of a file.
    struct Ui {
        volatile LONG cancel;
        int calls;
    } ui = {0, 0};
    std::vector<int> all = DirListDistinctFiles(files);
    ConvertJobData job = {CONVERT_TABS, 4, 0, false, &files, &all, nullptr, &ui.cancel,
                          [](void* context, int, int64_t) {
                              Ui& u = *static_cast<Ui*>(context);
                              if (++u.calls == 29)   // after the first line of file 9
                                  u.cancel = 1;
                          },
                          &ui, nullptr};
    int converted = RunConvertJob(job);
    EXPECT_EQ(9, converted);
    int changed = 0;
    for (int i = 0; i < 40; ++i) {
        std::string content = ReadFileBytes(files.GetPath(i));
        EXPECT_TRUE(content == before + before || content == after + after) << i;
        changed += content == after + after;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((std::string(files.GetPath(i)) + ".vellmorant.tmp").c_str()));
    }
    EXPECT_EQ(converted, changed);
}

// Each distinct file once, however often and however spelled it is listed; a file right as it
// is counts (but for line ends) and keeps its time stamp; a file without room in memory, a
// 1 GB line, a file another program holds open or one gone since the list was filled leaves
// the job running and the other file done, and the closing message names the file.
TEST(Conversions, JobsTakeEachFileOnceAndGoOnPastFilesTheyCannotHold)
{
    const long long kBig = 1LL << 30;
    const struct {
        int kind, value, newWidth;
        std::string before, after;   // f.txt, listed twice, and g.txt beside it
        long long bigF;              // f.txt instead a file of zeros this long (one line)
        size_t allocLimit;
        int converted;               // of the two distinct files
        std::string failed;          // the closing message's line on f.txt ("": none)
        int away;                    // f.txt 1 held open sharing nothing, 2 deleted, during the job
    } kRows[] = {
        {CONVERT_TABS, 8, 4, "a\tb", "a\t\tb\r\n", 0, 0, 2, ""},
        {CONVERT_TABS, 8, 0, "a\tb", "a       b\r\n", 0, 0, 2, ""},
        {CONVERT_CODE_PAGE, 0, 0, "\x84\r\n", "\xE4\r\n", 0, 0, 2, ""},
        {CONVERT_CODE_PAGE, 0, 0, "plain\r\n", "plain\r\n", 0, 0, 2, ""},
        {CONVERT_LINE_ENDS, 0, 0, "a\r\n", "a\r\n", 0, 0, 0, ""},
        {CONVERT_LINE_ENDS, 0, 0, "a\n", "a\r\n", 0, 0, 2, ""},
        {CONVERT_LINE_ENDS, 0, 0, "a\n", "a\r\n", 2000000, 1 << 20, 1, ": zu wenig Speicher"},
        {CONVERT_TABS, 8, 4, "a\tb", "a\t\tb\r\n", kBig, 0, 2, ""},
        {CONVERT_TABS, 8, 4, "a\tb", "a\t\tb\r\n", 0, 0, 1, ": kann nicht ge\xF6" "ffnet werden", 1},
        {CONVERT_CODE_PAGE, 0, 0, "\x84\r\n", "\xE4\r\n", 0, 0, 1, ": kann nicht ge\xF6" "ffnet werden", 1},
        {CONVERT_LINE_ENDS, 0, 0, "a\n", "a\r\n", 0, 0, 1, ": kann nicht ge\xF6" "ffnet werden", 1},
        {CONVERT_LINE_ENDS, 0, 0, "a\n", "a\r\n", 0, 0, 1, ": kann nicht ge\xF6" "ffnet werden", 2},
    };
    for (const auto& r : kRows) {
        testcommon::TempDir dir("vcj_");
        std::string f = dir / "f.txt", g = dir.Write("g.txt", r.before);
        if (r.bigF > 0 && r.allocLimit) {
            ASSERT_TRUE(WriteFileBytes(f, std::string(size_t(r.bigF), '\n')));
        } else if (r.bigF > 0) {
            ASSERT_TRUE(testcommon::MakeLargeFile(f, r.bigF));
        } else {
            ASSERT_TRUE(WriteFileBytes(f, r.before));
        }
        FILETIME old = {0x12345600, 0x01D00000};
        for (const std::string& path : {f, g}) {
            HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            SetFileTime(h, nullptr, nullptr, &old);
            CloseHandle(h);
        }
        CDirList files;
        std::string again = dir.Path() + "/F.TXT";
        ASSERT_EQ(1, files.Open(f.c_str(), 0));
        ASSERT_EQ(1, files.Open(g.c_str(), 0));
        ASSERT_EQ(1, files.Open(again.c_str(), 0));
        std::vector<int> distinct = DirListDistinctFiles(files);
        std::vector<ConvertFailure> failures;
        ConvertJobData job = {r.kind, r.value, r.newWidth, false, &files, &distinct, nullptr, nullptr, nullptr,
                              nullptr, &failures};
        HANDLE held = r.away == 1 ? CreateFileA(f.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                                  : INVALID_HANDLE_VALUE;
        if (r.away == 2) ASSERT_TRUE(DeleteFileA(f.c_str()));
        g_allocLimit = r.allocLimit;
        int converted = RunConvertJob(job);
        g_allocLimit = 0;
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        EXPECT_EQ(r.converted, converted) << r.before;
        std::string message = FormatConvertMessage(converted, int(distinct.size()), failures);
        EXPECT_EQ("Es wurden " + std::to_string(r.converted) + " von 2 Dateien konvertiert." +
                      (r.failed.empty() ? "" : "\n\nNicht konvertiert:\n" + f + r.failed),
                  message);
        EXPECT_EQ(r.after, ReadFileBytes(g)) << r.before;
        FILETIME now = WriteTime(g);
        EXPECT_EQ(r.after != r.before, CompareFileTime(&old, &now) != 0) << r.before;
        if (r.bigF > 0 && !r.allocLimit) {
            // Zeros stand for themselves: the line gains its CR LF.
            WIN32_FILE_ATTRIBUTE_DATA d = {};
            ASSERT_TRUE(GetFileAttributesExA(f.c_str(), GetFileExInfoStandard, &d));
            EXPECT_EQ(r.bigF + 2, (long long)d.nFileSizeHigh << 32 | d.nFileSizeLow);
            HANDLE h = CreateFileA(f.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            LARGE_INTEGER at;
            at.QuadPart = r.bigF - 2;
            char tail[4] = {};
            DWORD got = 0;
            EXPECT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && ReadFile(h, tail, 4, &got, nullptr));
            CloseHandle(h);
            EXPECT_EQ(std::string("\0\0\r\n", 4), std::string(tail, got));
        } else if (!r.bigF) {
            EXPECT_EQ(r.away == 1 ? r.before : r.away ? "" : r.after, ReadFileBytes(f)) << r.before;
        }
        EXPECT_EQ(r.away == 2 ? 1u : 2u, dir.List().size()) << r.before;   // no temporary file left
    }
}
