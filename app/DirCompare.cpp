// The directory compare's lines, input and job.
#include "app/DirCompare.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/ReadAhead.h"
#include "app/ResultList.h"
#include "system/DirList.h"
#include "system/Files.h"
#include "system/Paths.h"
#include "system/StrList.h"
#include "system/WinHandle.h"
#include "text/CharClass.h"
#include "text/Match.h"

namespace {

const char kChanged[] = ":verändert";
const char kOtherLength[] = ":andere Länge";
const char kMissing[] = ":Datei existiert nicht";
const char kNewFile[] = ":Neue Datei gefunden";
const char kOpenFailed[] = ":Fehler beim Öffnen";

// Pairs examined ahead of the lines (enough to go on while the compare path is listed), by
// this many reader threads.
enum { kPairsAhead = 1024, kPairReaders = 2 };
// The least time between two progress reports.
const DWORD kProgressMs = 100;

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// One character as the file system compares it: the ANSI code page's capital, '/' as '\'.
inline unsigned FoldPathChar(char c)
{
    if (c == '/')
        return '\\';
    return (unsigned)(DWORD_PTR)CharUpperA((LPSTR)(DWORD_PTR)(unsigned char)c) & 0xFF;
}

// Whether the first length bytes of a and b name the same path part.
bool PathPartEqual(const char* a, const char* b, int length)
{
    for (int i = 0; i < length; ++i)
        if (a[i] != b[i] && FoldPathChar(a[i]) != FoldPathChar(b[i]))
            return false;
    return true;
}

bool LessPath(const char* a, const char* b) { return PathCompareA(a, b) < 0; }

// The outcome of comparing two files' bytes.
enum { NOT_COMPARED = -1, SAME = 0, DIFFERENT = 1, LISTED_UNREADABLE = 2, COUNTERPART_UNREADABLE = 3 };

// The bytes compared at a time.
enum { kBlock = 64 * 1024 };

HANDLE OpenForReading(const char* path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Reads the next block of a file; fewer than kBlock bytes only at its end (disk files give
// less than asked only there). -1 on a read error.
int ReadBlock(HANDLE h, char* buffer)
{
    DWORD n = 0;
    return ReadFile(h, buffer, kBlock, &n, nullptr) ? int(n) : -1;
}

// Compares both files byte for byte, or (ignoreLineEnds) taking every line end as equal to
// every other; blocks: two buffers of kBlock bytes. A file that cannot be opened or read is
// reported as such. Once *stop turns nonzero the answer means nothing.
int CompareContents(const char* listed, const char* counterpart, bool ignoreLineEnds, char* blocks,
                    const volatile LONG* stop)
{
    CWinHandle a(OpenForReading(listed));
    if (!a)
        return LISTED_UNREADABLE;
    CWinHandle b(OpenForReading(counterpart));
    if (!b)
        return COUNTERPART_UNREADABLE;
    if (ignoreLineEnds) {
        a.Close();
        b.Close();
        // A read that fails midway is no difference.
        int unreadable = 0;
        if (CompareFilesIgnoringLineEnds(listed, counterpart, stop, &unreadable) == 0)
            return SAME;
        return unreadable == 1 ? LISTED_UNREADABLE : unreadable == 2 ? COUNTERPART_UNREADABLE : DIFFERENT;
    }
    char* blockA = blocks;
    char* blockB = blocks + kBlock;
    while (!*stop) {
        int na = ReadBlock(a.Get(), blockA);
        if (na < 0)
            return LISTED_UNREADABLE;
        int nb = ReadBlock(b.Get(), blockB);
        if (nb < 0)
            return COUNTERPART_UNREADABLE;
        if (na != nb || memcmp(blockA, blockB, size_t(na)) != 0)
            return DIFFERENT;
        if (na < kBlock)
            return SAME;
    }
    return DIFFERENT;
}

// What the compare learns about a listed file and its counterpart: both files' attributes,
// each read once, and their bytes compared where the flags ask for it.
struct PairOutcome {
    int listedStat = FILE_ERR_OTHER;   // FileStat's result code
    int counterpartStat = FILE_ERR_OTHER;
    FileInfo listedInfo = {};
    FileInfo counterpartInfo = {};
    int content = NOT_COMPARED;
};

bool IsFile(int stat, const FileInfo& info) { return stat == 0 && !(info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY); }

void ExaminePair(const char* listed, const char* counterpart, int flags, char* blocks, const volatile LONG* stop,
                 PairOutcome& out)
{
    out = PairOutcome();
    out.listedStat = FileStat(listed, &out.listedInfo);
    out.counterpartStat = FileStat(counterpart, &out.counterpartInfo);
    if (!(flags & DCF_CHANGED) || out.listedStat != 0 || !IsFile(out.counterpartStat, out.counterpartInfo))
        return;
    bool ignoreLineEnds = (flags & DCF_IGNORE_LINE_ENDS) != 0;
    if (out.listedInfo.nSize == out.counterpartInfo.nSize || ignoreLineEnds)
        out.content = CompareContents(listed, counterpart, ignoreLineEnds, blocks, stop);
}

// The lines of a listed file and its counterpart. Returns whether the counterpart exists.
bool AddPairLines(CStrList& lines, const char* listed, const char* counterpart, const PairOutcome& o, int flags)
{
    if (o.counterpartStat != 0 && o.counterpartStat != FILE_ERR_NOT_FOUND) {
        // Not to be looked at (a folder the user may not read, a path too long): whether it
        // exists is unknown.
        if (flags & (DCF_CHANGED | DCF_ATTRIBUTES | DCF_DELETED))
            AddDirCompareLine(lines, counterpart, kOpenFailed, DCK_OPEN_FAILED);
        return true;
    }
    if (!IsFile(o.counterpartStat, o.counterpartInfo)) {
        if (flags & DCF_DELETED)
            AddDirCompareLine(lines, listed, kMissing, DCK_MISSING);
        return false;
    }
    bool listedOk = o.listedStat == 0;
    if ((flags & DCF_ATTRIBUTES) && listedOk) {
        CString change = AttributeChangeText(o.listedInfo.dwAttributes, o.counterpartInfo.dwAttributes);
        if (!change.IsEmpty())
            AddDirCompareLine(lines, counterpart, change, DCK_ATTRIBUTES);
    }
    if (!(flags & DCF_CHANGED))
        return true;
    if (!listedOk) {
        AddDirCompareLine(lines, listed, kOpenFailed, DCK_OPEN_FAILED);
        return true;
    }
    bool sameSize = o.listedInfo.nSize == o.counterpartInfo.nSize;
    switch (o.content) {
    case NOT_COMPARED:   // sizes differ, line ends count
    case DIFFERENT:
        AddDirCompareLine(lines, counterpart, sameSize ? kChanged : kOtherLength, DCK_CONTENT);
        break;
    case LISTED_UNREADABLE:
        AddDirCompareLine(lines, listed, kOpenFailed, DCK_OPEN_FAILED);
        break;
    case COUNTERPART_UNREADABLE:
        AddDirCompareLine(lines, counterpart, kOpenFailed, DCK_OPEN_FAILED);
        break;
    default:
        break;
    }
    return true;
}

// Adds a kind-3 line for every file below the compare path (filtered by plus and minus) whose
// place below the path holds no listed file.
void AddNewFiles(const CStrList& input, CStrList& lines, volatile LONG* cancel)
{
    std::vector<const char*> listed;
    listed.reserve(size_t(input.m_nCount > 4 ? input.m_nCount - 4 : 0));
    for (int i = 4; i < input.m_nCount; ++i)
        listed.push_back(input.GetString(i));
    std::sort(listed.begin(), listed.end(), LessPath);

    const char* path = input.GetString(0);
    const char* plus = input.GetString(2);
    const char* minus = input.GetString(3);
    CDirList found;
    // A large tree takes seconds to list: Cancel ends the listing, and then nothing is reported.
    found.m_pStop = cancel;
    int count = found.Open(input.GetString(1), CDirList::DL_RECURSE, *plus ? plus : nullptr, *minus ? minus : nullptr);
    if (count <= 0 || (cancel && *cancel))
        return;
    for (int i = 0; i < found.m_nCount; ++i) {
        const DirEntry* entry = found.GetEntry(i);
        if (!entry || entry->IsFolder())
            continue;
        CString candidate = CString(path) + entry->RelPath();
        candidate.Replace('/', '\\');
        if (!std::binary_search(listed.begin(), listed.end(), (const char*)candidate, LessPath))
            AddDirCompareLine(lines, candidate, kNewFile, DCK_NEW);
    }
}

}  // namespace

int AddDirCompareLine(CStrList& lines, const char* path, const char* text, int kind)
{
    CString line(path);
    line += CString(' ', 17 - line.GetLength() % 16);
    line += text;
    uint32_t item = uint32_t(kind);
    return lines.InsertBuf(line.GetLength(), line, -1, &item);
}

CString AttributeChangeText(DWORD listed, DWORD counterpart)
{
    static const struct {
        DWORD mark;
        const char* name;
    } kMarks[] = {{FILE_ATTRIBUTE_HIDDEN, "HIDDEN"},
                  {FILE_ATTRIBUTE_READONLY, "RONLY"},
                  {FILE_ATTRIBUTE_SYSTEM, "SYSTEM"},
                  {FILE_ATTRIBUTE_ARCHIVE, "ARCHIVE"}};
    CString text;
    for (const auto& m : kMarks) {
        if ((listed & m.mark) == (counterpart & m.mark))
            continue;
        text += m.name;
        text += (counterpart & m.mark) ? '+' : '-';
    }
    return text.IsEmpty() ? text : ":" + text;
}

CString CommonFolderOf(CDirList& files, int count)
{
    CString common;
    bool first = true;
    for (int i = 0; i < count; ++i) {
        const char* p = files.GetPath(i);
        if (!p)
            break;
        int folderLength = PathFileNameOffsetA(-1, p);
        if (first) {
            common = CString(p, folderLength);
            first = false;
            continue;
        }
        int n = std::min(common.GetLength(), folderLength);
        int same = 0;
        while (same < n && FoldPathChar(common[same]) == FoldPathChar(p[same]))
            ++same;
        if (same == common.GetLength())
            continue;
        while (same > 0 && !IsSeparator(common[same - 1]))
            --same;
        common = common.Left(same);
    }
    return common;
}

int BuildDirCompareInput(CDirList& files, int count, const char* path, const char* comparePath, const char* plus,
                         const char* minus, CStrList& input, uint64_t* pSizeSum)
{
    input.RemoveAll();
    input.ItemDataSize(4);
    input.Insert(path);
    input.Insert(comparePath);
    input.Insert(plus);
    input.Insert(minus);
    int pathLength = int(strlen(path));
    uint64_t sum = 0;
    int outside = 0;
    // A file listed twice is compared (and reported) once.
    const std::vector<char> first = DirListFirstListings(files);
    for (int i = 0; i < count; ++i) {
        const DirEntry* entry = files.GetEntry(i);
        if (!entry)
            break;
        if (entry->IsFolder() || size_t(i) >= first.size() || !first[size_t(i)])
            continue;
        const char* p = entry->FullPath();
        if (int(strlen(p)) <= pathLength || !PathPartEqual(p, path, pathLength)) {
            ++outside;
            continue;
        }
        CString file(p);
        file.Replace('/', '\\');
        uint32_t size = entry->nFileSizeLow;
        input.InsertBuf(file.GetLength(), file, -1, &size);
        sum += entry->Size();
    }
    if (pSizeSum)
        *pSizeSum = sum;
    return outside;
}

int RunDirCompare(const CStrList& input, int flags, CStrList& lines, volatile LONG* cancel,
                  DirCompareProgressFn progress, void* context)
{
    if (input.m_nCount < 4)
        return 2;
    const int count = input.m_nCount - 4;
    const char* comparePath = input.GetString(1);
    const int pathLength = input.GetLength(0);
    std::vector<std::string> counterparts((size_t)count);
    for (int i = 0; i < count; ++i)
        counterparts[(size_t)i] = std::string(comparePath) + (input.GetString(i + 4) + pathLength);

    // Two readers examine the next pairs while this thread lists the compare path and then
    // turns the pairs into lines in list order.
    std::vector<PairOutcome> ahead(kPairsAhead);
    std::vector<char> readerBlocks[kPairReaders];
    std::vector<char> ownBlocks;
    CAheadQueue queue(count > 1 ? count : 0, kPairsAhead, 0xFFFFFFFFu, kPairReaders,
                      [&](int i, int slot, int reader, const volatile LONG* stop) -> DWORD {
                          std::vector<char>& blocks = readerBlocks[reader];
                          if (blocks.empty())
                              blocks.resize(2 * kBlock);
                          ExaminePair(input.GetString(i + 4), counterparts[(size_t)i].c_str(), flags, blocks.data(),
                                      stop, ahead[slot]);
                          return 0;
                      });
    if (flags & DCF_ADDED)
        AddNewFiles(input, lines, cancel);

    bool anyCounterpart = false;
    uint64_t done = 0;
    DWORD shown = 0;
    const volatile LONG notStopped = 0;
    for (int i = 0; i < count; ++i) {
        if ((cancel && *cancel) || lines.m_nCount >= kDirCompareLineLimit)
            break;
        const char* listed = input.GetString(i + 4);
        // Progress for the first file and then every kProgressMs: one call per file would cost
        // more than many a file's compare.
        DWORD now = GetTickCount();
        if (progress && (i == 0 || now - shown >= kProgressMs)) {
            progress(context, done, listed);
            shown = now;
        }
        PairOutcome own;
        const PairOutcome* o = &own;
        int slot = queue.Wait(i, cancel);
        if (slot >= 0) {
            o = &ahead[slot];
        } else {
            if (cancel && *cancel)
                break;
            if (ownBlocks.empty())
                ownBlocks.resize(2 * kBlock);
            ExaminePair(listed, counterparts[(size_t)i].c_str(), flags, ownBlocks.data(), cancel ? cancel : &notStopped,
                        own);
            if (cancel && *cancel)
                break;
        }
        done += o->listedStat == 0 ? o->listedInfo.nSize : *input.Item<uint32_t>(i + 4);
        if (AddPairLines(lines, listed, counterparts[(size_t)i].c_str(), *o, flags))
            anyCounterpart = true;
        if (slot >= 0)
            queue.Release(i);
    }
    queue.Stop();
    if (progress)
        progress(context, done, nullptr);
    return (anyCounterpart || (flags & DCF_DELETED)) ? 1 : 2;
}

bool DirCompareLineFiles(const char* line, const char* basePath, const char* comparePath, CString& listed,
                         CString& counterpart)
{
    listed.Empty();
    counterpart.Empty();
    if (!line || !basePath || !comparePath)
        return false;
    int prefix = int(strlen(comparePath));
    int length = int(strlen(line));
    if (prefix == 0 || length <= prefix || !PathPartEqual(line, comparePath, prefix))
        return false;
    const char* colon = strchr(line + prefix, ':');
    if (!colon)
        return false;
    int end = int(colon - line);
    end -= SpanClassBack(line + end, CC_WHITE, end - prefix);
    if (end <= prefix)
        return false;
    counterpart = CString(line, end);
    listed = CString(basePath) + counterpart.Mid(prefix);
    return true;
}
