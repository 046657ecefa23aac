// The text search engine.
#include "app/TextSearch.h"

#include <stdlib.h>
#include <string.h>

#include "app/FileCache.h"
#include "app/ReadAhead.h"
#include "app/TextMatcher.h"
#include "app/TextScan.h"
#include "system/DirList.h"
#include "system/Files.h"
#include "app/SearchFileData.h"
#include "system/WinHandle.h"
#include "system/Paths.h"
#include "text/CharClass.h"
#include "text/Format.h"
#include "text/Match.h"

// Turns the matches of one buffer into hits.
class CTextSearchSink : public ITextMatchSink {
public:
    CTextSearchSink(CTextSearch& engine, const unsigned char* buf, size_t len, const char* path)
        : m_engine(engine), m_buf(buf), m_len(len), m_path(path) {}

    bool OnMatch(const TextMatch& match) override
    {
        if (m_nameIndex < 0) {
            m_nameIndex = m_engine.AddName(m_path);
            if (m_nameIndex < 0)
                return false;
        }
        // Only the part of the line that a result line can show is kept.
        size_t cap = m_len - match.lineStart > (size_t)CTextSearch::MaxLineText
                         ? match.lineStart + CTextSearch::MaxLineText : m_len;
        size_t end = TextScanFindLineEnd(m_buf, match.lineStart, cap);
        TextSearchHit hit = {(int32_t)match.line, m_nameIndex, (int32_t)match.pos, (int32_t)match.length};
        if (m_engine.m_hits.InsertBuf((int)(end - match.lineStart), (const char*)m_buf + match.lineStart, -1, &hit) < 0)
            return false;
        m_added++;
        return m_engine.m_hits.m_nCount < m_engine.m_nResultLimit;
    }

    int Added() const { return m_added; }

private:
    CTextSearch& m_engine;
    const unsigned char* m_buf;
    size_t m_len;
    const char* m_path;
    int m_nameIndex = -1;
    int m_added = 0;
};

CTextSearch::CTextSearch()
    : m_pCache(nullptr), m_names(0), m_hits(sizeof(TextSearchHit)), m_nCacheLimit(0),
      m_nResultLimit(1000), m_nLines(10), m_nFileIndex(0), m_nLinePos(0), m_nBytesDone(0),
      m_bLineStop(0), m_bFileStop(0), m_nSortColumn(-1), m_nSortDir(0)
{
}

CTextSearch::~CTextSearch() = default;

int CTextSearch::AddName(const char* path)
{
    std::string key(path);
    auto it = m_nameIndex.find(key);
    if (it != m_nameIndex.end())
        return it->second;
    int index = m_names.Insert(path, -1, nullptr);
    if (index >= 0) {
        m_nameIndex.emplace(std::move(key), index);
        m_seen.resize(size_t(m_names.m_nCount));
        m_seen[size_t(index)] = m_current;
    }
    return index;
}

int CTextSearch::SearchBuffer(const void* buffer, int length, const char* path, const char* text, unsigned flags)
{
    m_bLineStop = 0;
    m_nLinePos = 0;
    m_nSortColumn = -1;
    m_nSortDir = 0;
    if (!text || !*text || !buffer || length < 1 || m_hits.m_nCount >= m_nResultLimit)
        return 0;
    CTextMatcher matcher;
    matcher.Prepare(text, strlen(text), flags, m_nLines > 0 ? (unsigned)m_nLines : 0);
    const unsigned char* buf = (const unsigned char*)buffer;
    CTextSearchSink sink(*this, buf, (size_t)length, path ? path : "");
    m_nLinePos = (long)matcher.Scan(buf, (size_t)length, sink, &m_bLineStop, &m_nLinePos);
    return sink.Added();
}

int CTextSearch::SearchFile(const char* path, const char* text, unsigned flags)
{
    m_bLineStop = 0;
    m_nLinePos = 0;
    m_nSortColumn = -1;
    m_nSortDir = 0;
    if (!text || !*text || !path || m_hits.m_nCount >= m_nResultLimit)
        return 0;
    CSearchFileData data;
    int reason = data.Load(path, m_pCache, m_nCacheLimit, m_scratch);
    if (reason != SKIP_NONE) {
        m_skipped.Add(path, reason);
        return 0;
    }
    return data.Size() > 0 ? SearchSeen(data.Data(), data.Size(), path, data.Stamp(), text, flags) : 0;
}

int CTextSearch::SearchSeen(const unsigned char* bytes, int length, const char* path, const FileStamp& stamp,
                            const char* text, unsigned flags)
{
    m_current = stamp;
    int added = SearchBuffer(bytes, length, path, text, flags);
    m_current = FileStamp();
    return added;
}

int CTextSearch::SearchOneFile(const char* path, const char* text, unsigned flags)
{
    if (m_pCache) {
        size_t size = 0;
        FileInfo seen;
        const unsigned char* bytes = FileCacheLookup(m_pCache, path, &size, &seen);
        if (bytes)
            return SearchSeen(bytes, (int)size, path, CachedFileStamp(size, seen.ftLastWrite), text, flags);
    }
    return SearchFile(path, text, flags);
}

void CTextSearch::FinishFile()
{
    m_nBytesDone += (uint64_t)(unsigned long)m_nLinePos.load();
    m_nLinePos = 0;
}

namespace {

// Searches a file whose bytes were read ahead, as SearchFile would have read them.
} // namespace

int CTextSearch::SearchReadAhead(const char* path, unsigned char* bytes, DWORD size, const FileStamp& stamp,
                                 const char* text, unsigned flags)
{
    m_bLineStop = 0;
    m_nLinePos = 0;
    m_nSortColumn = -1;
    m_nSortDir = 0;
    CSearchFileData data;
    data.Adopt(path, bytes, size, stamp, m_pCache, m_nCacheLimit);
    if (m_hits.m_nCount >= m_nResultLimit)
        return 0;
    return SearchSeen(data.Data(), data.Size(), path, stamp, text, flags);
}

int CTextSearch::SearchCached(const char* path, CStatAhead& checks, int slot, const char* text, unsigned flags)
{
    FileInfo info;
    int statResult = checks.Get(slot, &info);
    size_t size = 0;
    const unsigned char* bytes = FileCacheLookupStat(m_pCache, path, statResult, info, &size);
    if (!bytes)
        return SearchFile(path, text, flags);   // changed since it was copied
    return SearchSeen(bytes, (int)size, path, CachedFileStamp(size, info.ftLastWrite), text, flags);
}

template <class PathAt>
int CTextSearch::WalkFiles(int count, PathAt pathAt, const char* text, unsigned flags)
{
    m_bFileStop = 0;
    m_nFileIndex = 0;
    m_nLinePos = 0;
    m_nBytesDone = 0;
    m_skipped.Clear();
    if (count <= 0 || !text || !*text)
        return 0;
    // The next files are read by other threads while this one searches; files the cache
    // holds are left to it (the search never waits for them).
    // Whether a cached copy is still current is checked ahead too.
    std::vector<std::string> toRead, toCheck;
    std::vector<int> readSlot((size_t)count, -1), checkSlot((size_t)count, -1);
    for (int i = 0; i < count; i++) {
        const char* path = pathAt(i);
        if (!path || !*path)
            continue;
        if (m_pCache && FileCacheFind(m_pCache, path) >= 0) {
            checkSlot[(size_t)i] = (int)toCheck.size();
            toCheck.push_back(path);
        } else {
            readSlot[(size_t)i] = (int)toRead.size();
            toRead.push_back(path);
        }
    }
    CReadAhead ahead(std::move(toRead), CSearchFileData::ReadMax);
    CStatAhead checks(std::move(toCheck));
    int total = 0;
    for (int i = 0; i < count; i++) {
        if (m_bFileStop)
            break;
        m_nFileIndex = i;
        const char* path = pathAt(i);
        if (m_hits.m_nCount >= m_nResultLimit)
            break;
        unsigned char* bytes = nullptr;
        DWORD size = 0;
        FileStamp stamp;
        if (checkSlot[(size_t)i] >= 0)
            total += SearchCached(path, checks, checkSlot[(size_t)i], text, flags);
        else if (readSlot[(size_t)i] >= 0 && ahead.Take(readSlot[(size_t)i], &bytes, &size, &stamp))
            total += SearchReadAhead(path, bytes, size, stamp, text, flags);
        else if (path && *path)
            total += SearchOneFile(path, text, flags);
        FinishFile();
    }
    return total;
}

int CTextSearch::SearchFiles(const CStrList& paths, const char* text, unsigned flags)
{
    return WalkFiles(paths.m_nCount, [&](int i) { return paths.GetString(i); }, text, flags);
}

int CTextSearch::SearchFileList(CDirList& files, const char* text, unsigned flags)
{
    // Folders hold no text; a file listed again would give its hits twice.
    const std::vector<char> first = DirListFirstListings(files);
    return WalkFiles((int)files.m_nCount, [&](int i) -> const char* {
        return first[(size_t)i] ? files.GetEntry(i)->FullPath() : nullptr;
    }, text, flags);
}

int CTextSearch::Clear()
{
    m_hits.RemoveAll();
    m_names.RemoveAll();
    m_nameIndex.clear();
    m_seen.clear();
    return 1;
}

int CTextSearch::RemoveHit(int index)
{
    if (index < 0 || index >= m_hits.m_nCount)
        return 0;
    m_hits.RemoveAt(index);
    if (m_hits.m_nCount == 0) {
        m_names.RemoveAll();
        m_nameIndex.clear();
        m_seen.clear();
    }
    return 1;
}

const char* CTextSearch::GetHitPathLen(int index, int* length) const
{
    if (length)
        *length = 0;
    if (index < 0 || index >= m_hits.m_nCount)
        return nullptr;
    int name = m_hits.Item<TextSearchHit>(index)->nameIndex;
    if (name < 0 || name >= m_names.m_nCount)
        return nullptr;
    if (length)
        *length = m_names.GetLength(name);
    return m_names.GetString(name);
}

const char* CTextSearch::GetHitPath(int index) const
{
    return GetHitPathLen(index, nullptr);
}

int CTextSearch::CopyHitPath(int index, char* buffer, int size) const
{
    if (!buffer || size < 1)
        return 0;
    buffer[0] = 0;
    const char* path = GetHitPath(index);
    return path ? (int)StrLCpy(buffer, path, (size_t)size) : 0;
}

int CTextSearch::GetHitLine(int index) const
{
    if (index < 0 || index >= m_hits.m_nCount)
        return 0;
    return m_hits.Item<TextSearchHit>(index)->line;
}

int CTextSearch::GetHitPos(int index) const
{
    if (index < 0 || index >= m_hits.m_nCount)
        return -1;
    return m_hits.Item<TextSearchHit>(index)->pos;
}

int CTextSearch::GetHitLength(int index) const
{
    if (index < 0 || index >= m_hits.m_nCount)
        return -1;
    return m_hits.Item<TextSearchHit>(index)->length;
}

int CTextSearch::SetHitPos(int index, int pos)
{
    if (index < 0 || index >= m_hits.m_nCount)
        return -1;
    return m_hits.Item<TextSearchHit>(index)->pos = pos;
}

int CTextSearch::SetHitLength(int index, int length)
{
    if (index < 0 || index >= m_hits.m_nCount)
        return -1;
    return m_hits.Item<TextSearchHit>(index)->length = length;
}

int CTextSearch::FormatHitLine(int index, char* buffer, int size, int column) const
{
    if (!buffer || size < 1)
        return 0;
    buffer[0] = 0;
    int pathLength = 0;
    const char* path = GetHitPathLen(index, &pathLength);
    if (!path)
        return 0;
    int len = (int)StrLCpy(buffer, path, (size_t)size);
    if (pathLength + 16 > size)
        return len;
    len += StrFormat(buffer + len, (size_t)(size - len), "(%i): ", GetHitLine(index));
    int target = column + 1 > size ? size - 1 : column;
    while (len < target)
        buffer[len++] = ' ';
    buffer[len] = 0;
    len += m_hits.GetText(index, buffer + len, size - len);
    return len;
}

namespace {

const CTextSearch* EngineOf(const CStrList* list)
{
    return reinterpret_cast<const CTextSearch*>(list->m_nUserData);
}

const char* PathOf(const CTextSearch* engine, const CStrList* list, int i)
{
    int name = list->Item<TextSearchHit>(i)->nameIndex;
    return name >= 0 && name < engine->m_names.m_nCount ? engine->m_names.GetString(name) : "";
}

int CompareRest(const CStrList* list, int a, int b)
{
    const TextSearchHit* x = list->Item<TextSearchHit>(a);
    const TextSearchHit* y = list->Item<TextSearchHit>(b);
    if (x->line != y->line)
        return x->line < y->line ? -1 : 1;
    if (x->pos != y->pos)
        return x->pos < y->pos ? -1 : 1;
    if (x->length != y->length)
        return x->length < y->length ? -1 : 1;
    return 0;
}

const char* SuffixOf(const char* path)
{
    const char* suffix = PathFindExtensionA(-1, path);
    return suffix ? suffix : "";
}

int CompareSuffixes(const char* a, const char* b)
{
    for (;; a++, b++) {
        unsigned char x = AsciiToLower((unsigned char)*a), y = AsciiToLower((unsigned char)*b);
        if (x != y)
            return x < y ? -1 : 1;
        if (!x)
            return 0;
    }
}

} // namespace

int CompareTextHitsByPath(const CStrList* list, int a, int b)
{
    const CTextSearch* engine = EngineOf(list);
    int r = StrNaturalCompareNoCaseA(PathOf(engine, list, a), PathOf(engine, list, b));
    return r ? r : CompareRest(list, a, b);
}

int CompareTextHitsByName(const CStrList* list, int a, int b)
{
    const CTextSearch* engine = EngineOf(list);
    const char* pa = PathOf(engine, list, a);
    const char* pb = PathOf(engine, list, b);
    int r = StrNaturalCompareNoCaseA(PathFindFileNameA(-1, pa), PathFindFileNameA(-1, pb));
    if (!r)
        r = StrNaturalCompareNoCaseA(pa, pb);
    return r ? r : CompareRest(list, a, b);
}

int CompareTextHitsBySuffix(const CStrList* list, int a, int b)
{
    const CTextSearch* engine = EngineOf(list);
    const char* pa = PathOf(engine, list, a);
    const char* pb = PathOf(engine, list, b);
    int r = CompareSuffixes(SuffixOf(pa), SuffixOf(pb));
    if (!r)
        r = StrNaturalCompareNoCaseA(pa, pb);
    return r ? r : CompareRest(list, a, b);
}

int CTextSearch::SortBy(int column, int direction)
{
    if (direction < 0)
        direction = column == m_nSortColumn ? !m_nSortDir : 0;
    if (column == m_nSortColumn && direction == m_nSortDir)
        return 0;
    StrListCompareFn compare;
    switch (column) {
    case 0: compare = CompareTextHitsByPath; break;
    case 1: compare = CompareTextHitsByName; break;
    case 2: compare = CompareTextHitsBySuffix; break;
    default: return 0;
    }
    m_hits.m_nUserData = reinterpret_cast<intptr_t>(this);
    m_hits.Sort(0, -1, compare, direction != 0);
    m_nSortColumn = column;
    m_nSortDir = direction ? 1 : 0;
    return 1;
}
