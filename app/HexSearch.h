// CHexSearch: the value search engine. Finds groups of byte patterns (numbers, texts, hex
// dumps with masks) in buffers, files and file lists and keeps every hit with a hex-dump line.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/ResultStamps.h"
#include "system/SkippedFiles.h"
#include "app/ValueSyntax.h"
#include "system/StrList.h"

class CDirList;

// Item data of a value hit (12 bytes).
struct HexSearchHit {
    int32_t position;   // offset of the first term's match from the start of the file
    int32_t length;     // bytes matched by the group's first term
    int32_t nameIndex;  // index of the file's path in the engine's names list
};
static_assert(sizeof(HexSearchHit) == 12, "HexSearchHit is stored as 12 bytes of item data");

class CHexSearch {
public:
    enum { InOrder = 0x8000 };   // search flag: the terms must follow one another in order

    // The view's file cache (a CStrList of FileCacheEntry) or null; set by the search job.
    CStrList* m_pCache;
    // Full paths of the files with hits, in the order of their first hit (no item data).
    CStrList m_names;
    // What the search saw of each file of m_names when it read it (same index; not known for
    // a buffer searched without its file).
    std::vector<FileStamp> m_seen;
    // One entry per hit: the hex-dump line, with a HexSearchHit as item data.
    CStrList m_hits;
    // A file is copied into the cache only while the cache's total plus its size stays below.
    int m_nCacheLimit;
    // The search ends once m_hits holds this many entries (1000 at construction).
    int m_nResultLimit;
    // Bytes of the first term of the running search (copied into every hit).
    int m_nTermLength;
    // Progress display: index of the file being searched, offset being compared, and the
    // bytes of the files finished so far.
    std::atomic<long> m_nFileIndex;
    std::atomic<long> m_nPosition;
    std::atomic<unsigned long long> m_nBytesDone;
    // Stop flags, set from the user-interface thread: the buffer flag is read before every
    // compared position, the file flag before every file.
    std::atomic<long> m_bBufferStop;
    std::atomic<long> m_bFileStop;
    // Sort state of the hits: column -1 (not sorted), 0 path, 1 name, 2 suffix; direction
    // 0 ascending, 1 descending.
    int m_nSortColumn;
    int m_nSortDirection;
    // The files that the last file-list or path-list search could not search (cleared when
    // one starts; the file searches add to it).
    CSkippedFiles m_skipped;

    CHexSearch();
    ~CHexSearch();
    CHexSearch(const CHexSearch&) = delete;
    CHexSearch& operator=(const CHexSearch&) = delete;

    // Group searches. flags: InOrder or 0. Each returns the number of hits added; a file that
    // cannot be opened or read, or is 2 GB or more, is counted in m_skipped instead, and the
    // search ends at the result limit or a stop flag.
    int SearchFileList(CDirList& list, const char* pszGroup, int flags);
    // Over a list of paths (each entry's text is a path).
    int SearchFiles(const CStrList& paths, const char* pszGroup, int flags);
    int SearchFile(const char* pszPath, const char* pszGroup, int flags);
    // pszPath names the buffer in the hits (null counts as "").
    int SearchBuffer(const BYTE* pBuffer, int nLength, const char* pszPath, const char* pszGroup, int flags);

    // Plain searches for one pattern of nCount bytes in compare mode nMode (for
    // HEXMATCH_MASKED nCount mask bytes follow the pattern). Results as above.
    int SearchBufferBytes(const BYTE* pBuffer, int nLength, const char* pszPath, const BYTE* pPattern, int nCount, int nMode);
    int SearchFileBytes(const char* pszPath, const BYTE* pPattern, int nCount, int nMode);
    int SearchFileListBytes(CDirList& list, const BYTE* pPattern, int nCount, int nMode);
    int SearchFilesBytes(const CStrList& paths, const BYTE* pPattern, int nCount, int nMode);

    // Offset of the first term's match where the whole group matches with the first term at
    // or after nStart and before nEnd and every term ending at or before nEnd (nEnd must not
    // exceed the buffer's length); -1 when none, for a group without terms, or for a negative
    // nEnd.
    int MatchGroup(const BYTE* pBuffer, const char* pszGroup, int nStart, int nEnd, int flags);
    int MatchGroup(const BYTE* pBuffer, const HexSearchGroup& group, int nStart, int nEnd, int flags);
    // Offset of the first match of one pattern at or after nStart that ends at or before nEnd,
    // or -1 (also when the buffer stop flag is set). nCount below 1 matches at nStart (0 for a
    // negative one) when that is at or before nEnd.
    // Unknown modes never match.
    int Match(const BYTE* pBuffer, const BYTE* pPattern, int nCount, int nStart, int nEnd, int nMode);

    // Removes every hit and name; returns 1.
    int Clear();
    // Removes hit nIndex (the names list is emptied with the last hit); 1, or 0 out of range.
    int RemoveHit(int nIndex);
    int GetHitCount() const { return m_hits.m_nCount; }
    // The hit's file path, or null out of range.
    const char* GetHitPath(int nIndex) const;
    // The same with the path's length in *pnLength (0 and null out of range).
    const char* GetHitPathLen(int nIndex, int* pnLength) const;
    // Copies the hit's path into pszBuffer (size bytes, always terminated when size > 0);
    // returns its length, 0 out of range.
    int CopyHitPath(int nIndex, char* pszBuffer, int nSize) const;
    // Position / length of a hit, -1 out of range.
    int GetHitPos(int nIndex) const;
    int GetHitLength(int nIndex) const;

    // The result line of a hit: path, "(", position, "):", a blank, blanks up to nColumn, then
    // the hex-dump line, cut to nSize. Returns its length; 0 for nSize below 1 or an index out
    // of range; only the path when the path's length plus 16 exceeds nSize.
    int FormatHitLine(int nIndex, char* pszBuffer, int nSize, int nColumn) const;

    // Sorts the hits by column 0 path, 1 name, 2 suffix; nDirection 0 ascending, 1 descending,
    // negative: the opposite of the present direction on the same column, else ascending.
    // Returns 1 when it sorted, 0 when the column and direction were already in force or the
    // column is unknown.
    int SortBy(int nColumn, int nDirection);

private:
    int SearchBufferGroup(const BYTE* pBuffer, int nLength, const char* pszPath, const HexSearchGroup& group, int flags);
    int SearchFileGroup(const char* pszPath, const HexSearchGroup& group, int flags);
    int SearchPathGroup(const char* pszPath, const HexSearchGroup& group, int flags);
    // Walks nFiles paths given by pathAt(list, index) (null paths are skipped).
    int WalkPaths(const void* pList, int nFiles, const char* (*pathAt)(const void*, int),
                  const HexSearchGroup& group, int flags);
    int AddHit(const BYTE* pBuffer, int nLength, int nPos, const char* pszPath, int* pnNameIndex);

    // Searches the bytes of the file pszPath as seen in stamp.
    int SearchSeen(const BYTE* pBuffer, int nLength, const char* pszPath, const FileStamp& stamp,
                   const HexSearchGroup& group, int flags);

    // Index into m_names by the path with its ASCII letters folded.
    std::map<std::string, int, PathLess> m_nameIndex;  // names by path
    FileStamp m_current;  // the file being searched
    // Buffer of the files read without being cached.
    std::vector<unsigned char> m_scratch;
};

// Hex-dump line of a hit: the up to 16 bytes in capital hex (a blank between bytes, two after
// every fourth), two blanks, then the bytes as characters (0x00-0x20 as '.'). Returns the
// length written to pszLine, which needs 80 bytes.
int FormatHexHitLine(const BYTE* pBytes, int nCount, char* pszLine);

// Comparators of CHexSearch::SortBy (the hits list's user word holds the engine).
int CompareHexHitsByPath(const CStrList* pList, int a, int b);
int CompareHexHitsByName(const CStrList* pList, int a, int b);
int CompareHexHitsBySuffix(const CStrList* pList, int a, int b);
