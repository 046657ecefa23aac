// Result lines of both searches, result paths, the files named by the results, the order of
// directory-compare lines and the line-end-tolerant file compare.
#include "app/ResultList.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "app/HexSearch.h"
#include "app/ResultColors.h"
#include "app/TextSearch.h"
#include "system/Paths.h"
#include "system/WinHandle.h"
#include "text/CharClass.h"
#include "text/Match.h"

const char kNoResultsLine[] = "Keine Einträge gefunden.";

namespace {

void TabsToBlanks(char* line, int length)
{
    for (int i = 0; i < length; ++i)
        if (line[i] == '\t')
            line[i] = ' ';
}

// Index of the ':' that ends a result line's path: the first from index 2 on.
int PathColon(const char* line, int length)
{
    for (int i = 2; i < length; ++i)
        if (line[i] == ':')
            return i;
    return -1;
}

}  // namespace

int BuildTextResultLine(const CTextSearch& engine, int index, char* line, unsigned char* colors)
{
    int n = engine.FormatHitLine(index, line, kResultLineSize, kResultColumn);
    if (n <= 0)
        return 0;
    TabsToBlanks(line, n);
    ColorTextResultLine(line, n, GetResultSyntax(engine.GetHitPath(index)), colors);
    return n;
}

void CTextResultLineMaker::TakeFile(int name)
{
    m_name = name;
    m_fast = false;
    const CStrList& names = m_engine.m_names;
    if (name < 0 || name >= names.m_nCount)
        return;
    const char* path = names.GetString(name);
    int n = names.GetLength(name);
    // The line is put together as the engine formats it and the prefix's colours read only
    // while the path is all the line begins with: no NUL in it, no ':' from index 2 on (the
    // prefix ends at the first), room for "(line): " behind it. Other paths go the long way.
    if (n + 16 > kResultLineSize || memchr(path, 0, size_t(n)) || (n > 2 && memchr(path + 2, ':', size_t(n - 2))))
        return;
    for (int i = 0; i < n; ++i) {
        char c = path[i];
        m_path[i] = c == '\t' ? ' ' : c;
        m_pathColors[i] = c == '\\' ? RC_DEFAULT : RC_PATH;
    }
    m_pathLength = n;
    m_syntax = GetResultSyntax(path);
    m_fast = true;
}

int CTextResultLineMaker::Build(int index, char* line, unsigned char* colors)
{
    const CStrList& hits = m_engine.m_hits;
    if (index < 0 || index >= hits.m_nCount)
        return BuildTextResultLine(m_engine, index, line, colors);
    const TextSearchHit* hit = hits.Item<TextSearchHit>(index);
    if (hit->nameIndex != m_name)
        TakeFile(hit->nameIndex);
    if (!m_fast)
        return BuildTextResultLine(m_engine, index, line, colors);
    // "path(line): ", blanks to the column, the found line cut at the buffer's end.
    int len = m_pathLength;
    memcpy(line, m_path, size_t(len));
    line[len++] = '(';
    char digits[12];
    int d = 0;
    unsigned number = hit->line < 0 ? 0u - unsigned(hit->line) : unsigned(hit->line);
    do
        digits[d++] = char('0' + number % 10);
    while (number /= 10);
    if (hit->line < 0)
        line[len++] = '-';
    while (d > 0)
        line[len++] = digits[--d];
    int close = len;
    line[len++] = ')';
    line[len++] = ':';
    line[len++] = ' ';
    int start = len - 1;   // the content begins behind the ':'
    while (len < kResultColumn)
        line[len++] = ' ';
    int n = hits.GetLength(index);
    if (n > kResultLineSize - 1 - len)
        n = kResultLineSize - 1 - len;
    const char* text = hits.GetString(index);
    for (int i = 0; i < n; ++i) {
        char c = text[i];
        line[len + i] = c == '\t' ? ' ' : c;
    }
    len += n;
    line[len] = 0;

    memcpy(colors, m_pathColors, size_t(m_pathLength));
    colors[m_pathLength] = RC_PAREN;
    memset(colors + m_pathLength + 1, RC_NUMBER_POS, size_t(close - m_pathLength - 1));
    colors[close] = RC_PAREN;
    memset(colors + close + 1, RC_DEFAULT, size_t(len - close - 1));
    if (m_syntax == SYNTAX_C)
        ColorCLike(line + start, len - start, colors + start);
    else if (m_syntax == SYNTAX_XML)
        ColorXmlLike(line + start, len - start, colors + start);
    return len;
}

int BuildHexResultLine(const CHexSearch& engine, int index, char* line, unsigned char* colors)
{
    int n = engine.FormatHitLine(index, line, kResultLineSize, kResultColumn);
    if (n <= 0)
        return 0;
    TabsToBlanks(line, n);
    ColorHexResultLine(line, n, colors);
    return n;
}

int BuildDirCompareLine(const CStrList& lines, int index, char* line, unsigned char* colors)
{
    if (index < 0 || index >= lines.m_nCount)
        return 0;
    int n = lines.GetText(index, line, kResultLineSize);
    TabsToBlanks(line, n);
    ColorDirCompareLine(line, n, colors);
    return n;
}

int ResultLinePath(const char* line, int length, bool dirCompare, char* out, int size)
{
    if (size > 0)
        out[0] = 0;
    if (!line || length < 1 || size < 1)
        return 0;
    int from = (length >= 2 && CharIsClass((unsigned char)line[0], CC_LETTER) && line[1] == ':') ? 2 : 0;
    int end = length;
    for (int i = from; i < length; ++i)
        if (line[i] == ':') {
            end = i;
            break;
        }
    if (dirCompare)
        end -= SpanClassBack(line + end, CC_WHITE, end);
    // A trailing "(digits)": the line number or offset (compare lines carry none, and a name
    // such as "copy(2)" must stay whole).
    if (!dirCompare && end >= 3 && line[end - 1] == ')') {
        int digits = SpanClassBack(line + end - 1, CC_DIGIT, end - 1);
        int open = end - 2 - digits;
        if (digits > 0 && open >= 0 && line[open] == '(')
            end = open;
    }
    if (end < 1 || end >= size)
        return 0;
    memcpy(out, line, size_t(end));
    out[end] = 0;
    return end;
}

int CollectResultFiles(int kind, int resultCount, const CTextSearch* text, const CHexSearch* hex,
                       const CStrList* dirLines, CStrList& out)
{
    out.RemoveAll();
    if (resultCount <= 0)
        return 0;
    auto add = [&out](const char* path, int length) {
        if (!path || length < 1)
            return;
        bool found = false;
        // Paths, compared as the file system compares them.
        int at = out.FindSorted(length, path, 0, -1, 0x10 | 8, &found);
        if (!found && at >= 0)
            out.InsertBuf(length, path, at);
    };
    if (kind == RESULTS_TEXT && text) {
        for (int i = 0; i < text->GetHitCount(); ++i) {
            int n = 0;
            const char* p = text->GetHitPathLen(i, &n);
            add(p, n);
        }
    } else if (kind == RESULTS_HEX && hex) {
        for (int i = 0; i < hex->GetHitCount(); ++i) {
            int n = 0;
            const char* p = hex->GetHitPathLen(i, &n);
            add(p, n);
        }
    } else if (kind == RESULTS_OTHER && dirLines) {
        for (int i = 0; i < dirLines->m_nCount; ++i) {
            const char* s = dirLines->GetString(i);
            int n = dirLines->GetLength(i);
            if (n <= 2)
                continue;
            int colon = PathColon(s, n);
            int end = colon < 0 ? n : colon;
            // The blanks that align the line's text are no part of the path.
            end -= SpanClassBack(s + end, CC_WHITE, end);
            add(s, end);
        }
    }
    return out.m_nCount;
}

// ----- directory-compare lines -----------------------------------------------------------------

namespace {

struct DirLineParts {
    const char* folder;
    int folderLength;
    const char* name;
    int nameLength;
    const char* rest;   // from the ':' on (NUL-terminated)
};

DirLineParts SplitDirLine(const CStrList* list, int i)
{
    const char* s = list->GetString(i);
    int n = list->GetLength(i);
    int colon = PathColon(s, n);
    int pathEnd = colon < 0 ? n : colon;
    DirLineParts p;
    int nameStart = PathFileNameOffsetA(pathEnd, s);
    p.folder = s;
    p.folderLength = nameStart;
    p.name = s + nameStart;
    p.nameLength = pathEnd - nameStart;
    p.nameLength -= SpanClassBack(p.name + p.nameLength, CC_WHITE, p.nameLength);
    p.rest = s + pathEnd;
    return p;
}

// Natural compare without case over the shorter length, then the shorter first.
int ComparePart(const char* a, int na, const char* b, int nb)
{
    int r = StrNaturalCompareNoCaseNA(a, b, size_t(na < nb ? na : nb));
    if (r)
        return r;
    return na < nb ? -1 : (na > nb ? 1 : 0);
}

int CompareSuffix(const DirLineParts& a, const DirLineParts& b)
{
    int na = 0, nb = 0;
    const char* sa = PathFindExtensionA(a.nameLength, a.name, &na);
    const char* sb = PathFindExtensionA(b.nameLength, b.name, &nb);
    return ComparePart(sa ? sa : "", sa ? na : 0, sb ? sb : "", sb ? nb : 0);
}

}  // namespace

int CompareDirLinesByPath(const CStrList* list, int a, int b)
{
    DirLineParts pa = SplitDirLine(list, a), pb = SplitDirLine(list, b);
    int r = ComparePart(pa.folder, pa.folderLength, pb.folder, pb.folderLength);
    if (!r)
        r = ComparePart(pa.name, pa.nameLength, pb.name, pb.nameLength);
    if (!r)
        r = StrNaturalCompareA(pa.rest, pb.rest);
    return r;
}

int CompareDirLinesByName(const CStrList* list, int a, int b)
{
    DirLineParts pa = SplitDirLine(list, a), pb = SplitDirLine(list, b);
    int r = ComparePart(pa.name, pa.nameLength, pb.name, pb.nameLength);
    if (!r)
        r = ComparePart(pa.folder, pa.folderLength, pb.folder, pb.folderLength);
    if (!r)
        r = StrNaturalCompareA(pa.rest, pb.rest);
    return r;
}

int CompareDirLinesByType(const CStrList* list, int a, int b)
{
    DirLineParts pa = SplitDirLine(list, a), pb = SplitDirLine(list, b);
    int r = CompareSuffix(pa, pb);
    if (!r)
        r = ComparePart(pa.folder, pa.folderLength, pb.folder, pb.folderLength);
    if (!r)
        r = ComparePart(pa.name, pa.nameLength, pb.name, pb.nameLength);
    if (!r)
        r = StrNaturalCompareA(pa.rest, pb.rest);
    return r;
}

int SortDirCompareLines(CStrList& lines, int column, int* pColumn, int* pDirection)
{
    static const StrListCompareFn kCompare[3] = {CompareDirLinesByPath, CompareDirLinesByName,
                                                  CompareDirLinesByType};
    if (column < 0 || column > 2)
        return 0;
    int direction = (*pColumn == column) ? !*pDirection : 0;
    lines.Sort(0, -1, kCompare[column], direction != 0);
    *pColumn = column;
    *pDirection = direction;
    return 1;
}

// ----- compare ignoring line ends -------------------------------------------------------------

namespace {

// Reads a file in blocks and offers its next two bytes.
class CBlockReader {
public:
    // stop: when it turns nonzero, reading fails.
    bool Open(const char* path, const volatile LONG* stop)
    {
        m_stop = stop;
        m_file.Reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!m_file)
            return false;
        m_buffer.resize(kBlock + 1);
        return true;
    }
    // The byte at offset 0 or 1 from the read position, -1 at the end or after a read error.
    int Peek(int offset)
    {
        if (m_pos + offset >= m_fill && !Refill())
            return -1;
        return m_pos + offset < m_fill ? m_buffer[size_t(m_pos + offset)] : -1;
    }
    void Skip(int count) { m_pos += count; }
    bool Failed() const { return m_error; }

private:
    enum { kBlock = 65536 };
    // Keeps the unread bytes and appends the next block.
    bool Refill()
    {
        if (m_stop && *m_stop)
            m_error = true;
        if (m_eof || m_error)
            return false;
        int keep = m_fill - m_pos;
        if (keep > 0)
            memmove(m_buffer.data(), m_buffer.data() + m_pos, size_t(keep));
        m_fill = keep;
        m_pos = 0;
        DWORD got = 0;
        if (!ReadFile(m_file.Get(), m_buffer.data() + m_fill, DWORD(kBlock + 1 - m_fill), &got, nullptr)) {
            m_error = true;
            return false;
        }
        if (got == 0)
            m_eof = true;
        m_fill += int(got);
        return got != 0;
    }

    CWinHandle m_file;
    const volatile LONG* m_stop = nullptr;
    std::vector<unsigned char> m_buffer;
    int m_pos = 0;
    int m_fill = 0;
    bool m_eof = false;
    bool m_error = false;
};

inline bool IsLineEnd(int c) { return c == '\r' || c == '\n'; }

// Length of the line end at the reader's position (CR LF counts as one).
int LineEndLength(CBlockReader& r) { return (r.Peek(0) == '\r' && r.Peek(1) == '\n') ? 2 : 1; }

}  // namespace

int CompareFilesIgnoringLineEnds(const char* pathA, const char* pathB, const volatile LONG* stop, int* unreadable)
{
    int failed = 0;
    if (!unreadable)
        unreadable = &failed;
    *unreadable = 0;
    CBlockReader a, b;
    if (!pathA || !a.Open(pathA, stop))
        return *unreadable = 1, -1;
    if (!pathB || !b.Open(pathB, stop))
        return *unreadable = 2, 1;
    for (;;) {
        int ca = a.Peek(0), cb = b.Peek(0);
        if (a.Failed())
            return *unreadable = 1, -1;
        if (b.Failed())
            return *unreadable = 2, 1;
        if (ca < 0)
            return cb < 0 ? 0 : -1;
        if (cb < 0)
            return 1;
        if (IsLineEnd(ca) && IsLineEnd(cb)) {
            a.Skip(LineEndLength(a));
            b.Skip(LineEndLength(b));
            continue;
        }
        if (ca != cb)
            return int((signed char)ca) - int((signed char)cb);
        a.Skip(1);
        b.Skip(1);
    }
}
