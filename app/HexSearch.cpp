// The value search engine: group matching over buffers, files and file lists.
#include "app/HexSearch.h"

#include <cstring>
#include <string>

#include "app/FileCache.h"
#include "app/ValueSyntax.h"
#include "system/DirList.h"
#include "system/Files.h"
#include "app/SearchFileData.h"
#include "system/Paths.h"
#include "text/CharClass.h"
#include "text/Match.h"
#include "text/Numbers.h"

namespace {

inline WORD Load16(const BYTE* p)
{
    WORD w;
    memcpy(&w, p, 2);
    return w;
}

inline DWORD Load32(const BYTE* p)
{
    DWORD d;
    memcpy(&d, p, 4);
    return d;
}

}  // namespace

// ----- construction ---------------------------------------------------------------------------

CHexSearch::CHexSearch()
    : m_pCache(nullptr), m_names(0), m_hits(sizeof(HexSearchHit)), m_nCacheLimit(0),
      m_nResultLimit(1000), m_nTermLength(0), m_nFileIndex(0), m_nPosition(0), m_nBytesDone(0),
      m_bBufferStop(0), m_bFileStop(0), m_nSortColumn(-1), m_nSortDirection(0)
{
}

CHexSearch::~CHexSearch() = default;

// ----- matching -------------------------------------------------------------------------------

int CHexSearch::Match(const BYTE* pb, const BYTE* pPattern, int nCount, int nStart, int nEnd, int nMode)
{
    if (nStart < 0)
        nStart = 0;
    // No bytes match at once, but not behind the end.
    if (nCount < 1)
        return nStart <= nEnd ? nStart : -1;
    if (!pb || !pPattern)
        return -1;
    int nLast = nEnd - nCount;   // last start position that keeps the match before nEnd
    if (nLast < nStart || nMode < HEXMATCH_EXACT || nMode > HEXMATCH_MASKED)
        return -1;

#define HEX_STEP_CHECK(pos)                                          \
    if (m_bBufferStop.load(std::memory_order_relaxed))               \
        return -1;                                                   \
    m_nPosition.store((pos), std::memory_order_relaxed)

    if (nMode == HEXMATCH_EXACT) {
        switch (nCount) {
        case 1: {
            BYTE b = pPattern[0];
            for (int i = nStart; i <= nLast; ++i) {
                HEX_STEP_CHECK(i);
                if (pb[i] == b)
                    return i;
            }
            return -1;
        }
        case 2: {
            WORD w = Load16(pPattern);
            for (int i = nStart; i <= nLast; ++i) {
                HEX_STEP_CHECK(i);
                if (Load16(pb + i) == w)
                    return i;
            }
            return -1;
        }
        case 3: {
            WORD w = Load16(pPattern);
            BYTE b = pPattern[2];
            for (int i = nStart; i <= nLast; ++i) {
                HEX_STEP_CHECK(i);
                if (Load16(pb + i) == w && pb[i + 2] == b)
                    return i;
            }
            return -1;
        }
        case 4: {
            DWORD d = Load32(pPattern);
            for (int i = nStart; i <= nLast; ++i) {
                HEX_STEP_CHECK(i);
                if (Load32(pb + i) == d)
                    return i;
            }
            return -1;
        }
        default: {
            DWORD d = Load32(pPattern);
            for (int i = nStart; i <= nLast; ++i) {
                HEX_STEP_CHECK(i);
                if (Load32(pb + i) == d && memcmp(pb + i + 4, pPattern + 4, nCount - 4) == 0)
                    return i;
            }
            return -1;
        }
        }
    }

    if (nMode == HEXMATCH_NOCASE) {
        BYTE bFirst = AsciiToLower(pPattern[0]);
        for (int i = nStart; i <= nLast; ++i) {
            HEX_STEP_CHECK(i);
            BYTE c = pb[i];
            if ((c == bFirst || AsciiToLower(c) == bFirst) && MemCmpCase(pb + i + 1, pPattern + 1, nCount - 1, 1) == 0)
                return i;
        }
        return -1;
    }

    // Masked: the mask bytes follow the value bytes.
    const BYTE* pMask = pPattern + nCount;
    if (nCount >= 4) {
        DWORD d = Load32(pPattern), m = Load32(pMask);
        for (int i = nStart; i <= nLast; ++i) {
            HEX_STEP_CHECK(i);
            if (((Load32(pb + i) ^ d) & m) == 0 && MemCmpMasked(pb + i + 4, pPattern + 4, pMask + 4, nCount - 4) == 0)
                return i;
        }
        return -1;
    }
    BYTE v = pPattern[0], m = pMask[0];
    for (int i = nStart; i <= nLast; ++i) {
        HEX_STEP_CHECK(i);
        if (((pb[i] ^ v) & m) == 0 && MemCmpMasked(pb + i + 1, pPattern + 1, pMask + 1, nCount - 1) == 0)
            return i;
    }
    return -1;
#undef HEX_STEP_CHECK
}

int CHexSearch::MatchGroup(const BYTE* pBuffer, const char* pszGroup, int nStart, int nEnd, int flags)
{
    HexSearchGroup group;
    if (ReadHexSearchGroup(pszGroup, &group) < 1)
        return -1;
    return MatchGroup(pBuffer, group, nStart, nEnd, flags);
}

int CHexSearch::MatchGroup(const BYTE* pb, const HexSearchGroup& group, int nStart, int nEnd, int flags)
{
    if (group.nTerms < 1 || nEnd < 0 || !pb)
        return -1;
    const HexSearchTerm& first = group.aTerms[0];
    m_nTermLength = first.nCount;
    int nTerms = group.nTerms < HEXSEARCH_MAX_TERMS ? group.nTerms : HEXSEARCH_MAX_TERMS;
    long long nDistance = group.dwDistance;
    bool bInOrder = (flags & InOrder) != 0;
    // The first term's place is the hit: one without bytes may not stand at the end itself.
    auto findFirst = [&](int from) {
        int r = Match(pb, first.pPattern, first.nCount, from, nEnd, first.nMode);
        return r < nEnd ? r : -1;
    };

    int nPos = findFirst(nStart);
    while (nPos >= 0) {
        if (nTerms == 1)
            return nPos;
        long long nWinEnd = nPos + nDistance;
        if (nWinEnd > nEnd)
            nWinEnd = nEnd;
        // The window reaches back to the buffer's start, not to nStart: a search resumed
        // behind a hit must still see terms that lie before that resume position.
        long long nWinStart = bInOrder ? nPos : nPos - nDistance;
        if (nWinStart < 0)
            nWinStart = 0;

        bool bAll = true;
        int nFrom = nPos + first.nCount;
        for (int t = 1; t < nTerms && bAll; ++t) {
            const HexSearchTerm& term = group.aTerms[t];
            if (bInOrder) {
                int r = Match(pb, term.pPattern, term.nCount, nFrom, (int)nWinEnd, term.nMode);
                if (r < 0)
                    bAll = false;
                else
                    nFrom = r + term.nCount;
            } else {
                int r = Match(pb, term.pPattern, term.nCount, nPos + first.nCount, (int)nWinEnd, term.nMode);
                if (r < 0)
                    r = Match(pb, term.pPattern, term.nCount, (int)nWinStart, nPos, term.nMode);
                if (r < 0)
                    bAll = false;
            }
        }
        if (bAll)
            return nPos;
        if (m_bBufferStop.load(std::memory_order_relaxed))
            return -1;
        nPos = findFirst(nPos + 1);
    }
    return -1;
}

// ----- buffer search --------------------------------------------------------------------------

int FormatHexHitLine(const BYTE* pBytes, int nCount, char* pszLine)
{
    if (nCount > 16)
        nCount = 16;
    if (nCount < 1 || !pBytes) {
        pszLine[0] = 0;
        return 0;
    }
    int n = HexDumpFormat(pBytes, pszLine, nCount, 0x80002004);
    pszLine[n++] = ' ';
    pszLine[n++] = ' ';
    for (int i = 0; i < nCount; ++i)
        pszLine[n++] = pBytes[i] <= 0x20 ? '.' : (char)pBytes[i];
    pszLine[n] = 0;
    return n;
}

int CHexSearch::AddHit(const BYTE* pb, int nLength, int nPos, const char* pszPath, int* pnNameIndex)
{
    if (*pnNameIndex < 0) {
        // The buffer's first hit: find or add its file.
        std::string key(pszPath ? pszPath : "");
        auto it = m_nameIndex.find(key);
        if (it != m_nameIndex.end()) {
            *pnNameIndex = it->second;
        } else {
            int i = m_names.Insert(pszPath ? pszPath : "", -1);
            if (i < 0)
                return 0;
            m_nameIndex.emplace(std::move(key), i);
            m_seen.resize(size_t(m_names.m_nCount));
            m_seen[size_t(i)] = m_current;
            *pnNameIndex = i;
        }
    }
    char szLine[96];
    int nShow = nLength - nPos < 16 ? nLength - nPos : 16;
    int n = FormatHexHitLine(pb + nPos, nShow, szLine);
    HexSearchHit hit;
    hit.position = nPos;
    hit.length = m_nTermLength;
    hit.nameIndex = *pnNameIndex;
    return m_hits.InsertBuf(n, szLine, -1, &hit) >= 0;
}

int CHexSearch::SearchBufferGroup(const BYTE* pb, int nLength, const char* pszPath, const HexSearchGroup& group, int flags)
{
    m_bBufferStop = 0;
    m_nPosition = 0;
    if (group.nTerms < 1 || !pb || nLength < 1 || m_hits.m_nCount >= m_nResultLimit)
        return 0;
    m_nSortColumn = -1;
    m_nSortDirection = 0;

    int nAdded = 0;
    int nNameIndex = -1;
    int nFrom = 0;
    while (!m_bBufferStop.load(std::memory_order_relaxed)) {
        int nPos = MatchGroup(pb, group, nFrom, nLength, flags);
        if (nPos < 0) {
            if (!m_bBufferStop.load(std::memory_order_relaxed))
                m_nPosition = nLength;
            break;
        }
        if (!AddHit(pb, nLength, nPos, pszPath, &nNameIndex))
            break;
        ++nAdded;
        if (m_hits.m_nCount >= m_nResultLimit)
            break;
        nFrom = nPos + 1;
        if (nFrom >= nLength) {
            m_nPosition = nLength;
            break;
        }
    }
    return nAdded;
}

int CHexSearch::SearchBuffer(const BYTE* pBuffer, int nLength, const char* pszPath, const char* pszGroup, int flags)
{
    HexSearchGroup group;
    if (ReadHexSearchGroup(pszGroup, &group) < 1) {
        m_bBufferStop = 0;
        m_nPosition = 0;
        return 0;
    }
    return SearchBufferGroup(pBuffer, nLength, pszPath, group, flags);
}

namespace {

void SetBytesGroup(HexSearchGroup* pGroup, const BYTE* pPattern, int nCount, int nMode)
{
    pGroup->dwDistance = 0;
    pGroup->nTerms = pPattern || nCount < 1 ? 1 : 0;
    pGroup->aTerms[0].pPattern = pPattern;
    pGroup->aTerms[0].nCount = nCount;
    pGroup->aTerms[0].nMode = nMode;
}

}  // namespace

int CHexSearch::SearchBufferBytes(const BYTE* pBuffer, int nLength, const char* pszPath, const BYTE* pPattern, int nCount, int nMode)
{
    HexSearchGroup group;
    SetBytesGroup(&group, pPattern, nCount, nMode);
    return SearchBufferGroup(pBuffer, nLength, pszPath, group, 0);
}

// ----- files ----------------------------------------------------------------------------------

int CHexSearch::SearchFileGroup(const char* pszPath, const HexSearchGroup& group, int flags)
{
    m_bBufferStop = 0;
    m_nPosition = 0;
    m_nSortColumn = -1;
    m_nSortDirection = 0;
    if (group.nTerms < 1 || !pszPath || !*pszPath || m_hits.m_nCount >= m_nResultLimit)
        return 0;
    CSearchFileData data;
    int nReason = data.Load(pszPath, m_pCache, m_nCacheLimit, m_scratch);
    if (nReason != SKIP_NONE) {
        m_skipped.Add(pszPath, nReason);
        return 0;
    }
    return data.Size() > 0 ? SearchSeen(data.Data(), data.Size(), pszPath, data.Stamp(), group, flags) : 0;
}

int CHexSearch::SearchSeen(const BYTE* pBuffer, int nLength, const char* pszPath, const FileStamp& stamp,
                           const HexSearchGroup& group, int flags)
{
    m_current = stamp;
    int added = SearchBufferGroup(pBuffer, nLength, pszPath, group, flags);
    m_current = FileStamp();
    return added;
}

int CHexSearch::SearchPathGroup(const char* pszPath, const HexSearchGroup& group, int flags)
{
    if (m_pCache) {
        size_t nSize = 0;
        FileInfo seen;
        const unsigned char* pCopy = FileCacheLookup(m_pCache, pszPath, &nSize, &seen);
        if (pCopy)
            return SearchSeen(pCopy, nSize > 0x7FFFFFFF ? 0x7FFFFFFF : (int)nSize, pszPath,
                              CachedFileStamp(nSize, seen.ftLastWrite), group, flags);
    }
    return SearchFileGroup(pszPath, group, flags);
}

int CHexSearch::SearchFile(const char* pszPath, const char* pszGroup, int flags)
{
    HexSearchGroup group;
    if (ReadHexSearchGroup(pszGroup, &group) < 1) {
        m_bBufferStop = 0;
        m_nPosition = 0;
        return 0;
    }
    return SearchFileGroup(pszPath, group, flags);
}

int CHexSearch::SearchFileBytes(const char* pszPath, const BYTE* pPattern, int nCount, int nMode)
{
    HexSearchGroup group;
    SetBytesGroup(&group, pPattern, nCount, nMode);
    return SearchFileGroup(pszPath, group, 0);
}

namespace {

const char* StrListPathAt(const void* pList, int i)
{
    return static_cast<const CStrList*>(pList)->GetString(i);
}

// The file list's entries to search: folders hold no bytes, and a file listed again would give
// its hits twice.
struct ListedFiles {
    const CDirList& list;
    std::vector<char> first;
    explicit ListedFiles(const CDirList& l) : list(l), first(DirListFirstListings(l)) {}
};

const char* DirListPathAt(const void* pFiles, int i)
{
    const ListedFiles& files = *static_cast<const ListedFiles*>(pFiles);
    return files.first[size_t(i)] ? files.list.GetEntry(i)->FullPath() : nullptr;
}

}  // namespace

int CHexSearch::WalkPaths(const void* pList, int nFiles, const char* (*pathAt)(const void*, int),
                          const HexSearchGroup& group, int flags)
{
    m_bFileStop = 0;
    m_nFileIndex = 0;
    m_nPosition = 0;
    m_nBytesDone = 0;
    m_skipped.Clear();
    if (group.nTerms < 1)
        return 0;
    int nAdded = 0;
    for (int i = 0; i < nFiles; ++i) {
        if (m_bFileStop.load(std::memory_order_relaxed))
            break;
        m_nFileIndex = i;
        const char* pszPath = pathAt(pList, i);
        if (m_hits.m_nCount >= m_nResultLimit)
            break;
        if (pszPath && *pszPath)
            nAdded += SearchPathGroup(pszPath, group, flags);
        m_nBytesDone += (unsigned long long)m_nPosition.load();
        m_nPosition = 0;
    }
    return nAdded;
}

int CHexSearch::SearchFiles(const CStrList& paths, const char* pszGroup, int flags)
{
    HexSearchGroup group;
    ReadHexSearchGroup(pszGroup, &group);
    return WalkPaths(&paths, paths.m_nCount, StrListPathAt, group, flags);
}

int CHexSearch::SearchFileList(CDirList& list, const char* pszGroup, int flags)
{
    HexSearchGroup group;
    ReadHexSearchGroup(pszGroup, &group);
    ListedFiles files(list);
    return WalkPaths(&files, (int)list.m_nCount, DirListPathAt, group, flags);
}

int CHexSearch::SearchFileListBytes(CDirList& list, const BYTE* pPattern, int nCount, int nMode)
{
    HexSearchGroup group;
    SetBytesGroup(&group, pPattern, nCount, nMode);
    ListedFiles files(list);
    return WalkPaths(&files, (int)list.m_nCount, DirListPathAt, group, 0);
}

int CHexSearch::SearchFilesBytes(const CStrList& paths, const BYTE* pPattern, int nCount, int nMode)
{
    HexSearchGroup group;
    SetBytesGroup(&group, pPattern, nCount, nMode);
    return WalkPaths(&paths, paths.m_nCount, StrListPathAt, group, 0);
}

// ----- hits -----------------------------------------------------------------------------------

int CHexSearch::Clear()
{
    m_hits.RemoveAll();
    m_names.RemoveAll();
    m_nameIndex.clear();
    m_seen.clear();
    return 1;
}

int CHexSearch::RemoveHit(int nIndex)
{
    if (nIndex < 0 || nIndex >= m_hits.m_nCount)
        return 0;
    m_hits.RemoveAt(nIndex);
    if (m_hits.m_nCount == 0) {
        m_names.RemoveAll();
        m_nameIndex.clear();
        m_seen.clear();
    }
    return 1;
}

const char* CHexSearch::GetHitPathLen(int nIndex, int* pnLength) const
{
    if (pnLength)
        *pnLength = 0;
    if (nIndex < 0 || nIndex >= m_hits.m_nCount)
        return nullptr;
    int nName = m_hits.Item<HexSearchHit>(nIndex)->nameIndex;
    if (nName < 0 || nName >= m_names.m_nCount)
        return nullptr;
    if (pnLength)
        *pnLength = m_names.GetLength(nName);
    return m_names.GetString(nName);
}

const char* CHexSearch::GetHitPath(int nIndex) const
{
    return GetHitPathLen(nIndex, nullptr);
}

int CHexSearch::CopyHitPath(int nIndex, char* pszBuffer, int nSize) const
{
    if (!pszBuffer || nSize < 1)
        return 0;
    pszBuffer[0] = 0;
    const char* pszPath = GetHitPath(nIndex);
    if (!pszPath)
        return 0;
    return (int)StrLCpy(pszBuffer, pszPath, nSize);
}

int CHexSearch::GetHitPos(int nIndex) const
{
    if (nIndex < 0 || nIndex >= m_hits.m_nCount)
        return -1;
    return m_hits.Item<HexSearchHit>(nIndex)->position;
}

int CHexSearch::GetHitLength(int nIndex) const
{
    if (nIndex < 0 || nIndex >= m_hits.m_nCount)
        return -1;
    return m_hits.Item<HexSearchHit>(nIndex)->length;
}

int CHexSearch::FormatHitLine(int nIndex, char* pszBuffer, int nSize, int nColumn) const
{
    if (!pszBuffer || nSize < 1)
        return 0;
    pszBuffer[0] = 0;
    if (nIndex < 0 || nIndex >= m_hits.m_nCount)
        return 0;
    int nPathLen = 0;
    const char* pszPath = GetHitPathLen(nIndex, &nPathLen);
    int nLen = (int)StrLCpy(pszBuffer, pszPath ? pszPath : "", nSize);
    if (nPathLen + 16 > nSize)
        return nLen;

    char szNum[72];
    int n = FormatInt(GetHitPos(nIndex), szNum, FI_DEC);
    pszBuffer[nLen++] = '(';
    memcpy(pszBuffer + nLen, szNum, n);
    nLen += n;
    pszBuffer[nLen++] = ')';
    pszBuffer[nLen++] = ':';
    pszBuffer[nLen++] = ' ';
    pszBuffer[nLen] = 0;

    int nTarget = nColumn + 1 > nSize ? nSize - 1 : nColumn;
    while (nLen < nTarget)
        pszBuffer[nLen++] = ' ';
    pszBuffer[nLen] = 0;
    nLen += m_hits.GetText(nIndex, pszBuffer + nLen, nSize - nLen);
    return nLen;
}

// ----- sorting --------------------------------------------------------------------------------

namespace {

const CHexSearch* EngineOf(const CStrList* pList)
{
    return reinterpret_cast<const CHexSearch*>(pList->m_nUserData);
}

int ComparePosLength(const CStrList* pList, int a, int b)
{
    const HexSearchHit* ha = pList->Item<HexSearchHit>(a);
    const HexSearchHit* hb = pList->Item<HexSearchHit>(b);
    if (ha->position != hb->position)
        return ha->position < hb->position ? -1 : 1;
    if (ha->length != hb->length)
        return ha->length < hb->length ? -1 : 1;
    return 0;
}

const char* PathOf(const CStrList* pList, int i)
{
    const char* psz = EngineOf(pList)->GetHitPath(i);
    return psz ? psz : "";
}

// Compares two texts with the ASCII letters folded, the shorter first.
int FoldedCompare(const char* a, const char* b)
{
    size_t la = strlen(a), lb = strlen(b);
    return MemCmpCase(a, b, (la < lb ? la : lb) + 1, 1);
}

}  // namespace

int CompareHexHitsByPath(const CStrList* pList, int a, int b)
{
    int r = StrNaturalCompareNoCaseA(PathOf(pList, a), PathOf(pList, b));
    return r ? r : ComparePosLength(pList, a, b);
}

int CompareHexHitsByName(const CStrList* pList, int a, int b)
{
    const char* pa = PathOf(pList, a);
    const char* pb = PathOf(pList, b);
    int r = StrNaturalCompareNoCaseA(PathFindFileNameA(-1, pa), PathFindFileNameA(-1, pb));
    if (!r)
        r = StrNaturalCompareNoCaseA(pa, pb);
    return r ? r : ComparePosLength(pList, a, b);
}

int CompareHexHitsBySuffix(const CStrList* pList, int a, int b)
{
    const char* pa = PathOf(pList, a);
    const char* pb = PathOf(pList, b);
    const char* sa = PathFindExtensionA(-1, pa);
    const char* sb = PathFindExtensionA(-1, pb);
    int r = FoldedCompare(sa ? sa : "", sb ? sb : "");
    if (!r)
        r = StrNaturalCompareNoCaseA(pa, pb);
    return r ? r : ComparePosLength(pList, a, b);
}

int CHexSearch::SortBy(int nColumn, int nDirection)
{
    if (nDirection < 0)
        nDirection = nColumn == m_nSortColumn ? !m_nSortDirection : 0;
    nDirection = nDirection ? 1 : 0;
    if (nColumn == m_nSortColumn && nDirection == m_nSortDirection)
        return 0;
    StrListCompareFn fn;
    switch (nColumn) {
    case 0: fn = CompareHexHitsByPath; break;
    case 1: fn = CompareHexHitsByName; break;
    case 2: fn = CompareHexHitsBySuffix; break;
    default: return 0;
    }
    m_hits.m_nUserData = reinterpret_cast<intptr_t>(this);
    m_hits.Sort(0, -1, fn, nDirection != 0);
    m_nSortColumn = nColumn;
    m_nSortDirection = nDirection;
    return 1;
}
