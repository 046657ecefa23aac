// The text search engine: searches a buffer, a file, the files of the file list or of a path
// list for a text (literally, folding ASCII case, by whole words, or by pattern over one or
// more lines) and keeps every hit as an entry of a result list: the start of the hit's line
// as text and a TextSearchHit record as item data.
#pragma once

#include <atomic>
#include <stdint.h>
#include <map>
#include <string>
#include <vector>

#include "app/ResultStamps.h"
#include "system/SkippedFiles.h"
#include "system/StrList.h"

class CDirList;

// Item data of a hit.
struct TextSearchHit {
    int32_t line;       // line on which the hit starts, counting from 1
    int32_t nameIndex;  // index of the file's path in the engine's names list
    int32_t pos;        // offset of the first matched byte from the start of the file
    int32_t length;     // matched bytes
};
static_assert(sizeof(TextSearchHit) == 16, "TextSearchHit is 16 bytes");

class CStatAhead;

class CTextSearch {
public:
    // Search flags.
    enum { IgnoreCase = 1, WholeWords = 2, Pattern = 4, MultiLine = 8 };
    // A hit keeps at most this many bytes of its line: all that a result line can show.
    enum { MaxLineText = 1023 };

    // The view's file cache (see FileCache.h), or null: set before every search.
    CStrList* m_pCache;
    // Full path of every file with a hit, in the order of their first hits.
    CStrList m_names;
    // What the search saw of each file of m_names when it read it (same index; not known for
    // a buffer searched without its file).
    std::vector<FileStamp> m_seen;
    // One entry per hit: the line's text (at most MaxLineText bytes), TextSearchHit item data.
    CStrList m_hits;
    // A file is copied into the cache only while the cache's total plus its size stays below.
    int32_t m_nCacheLimit;
    // The searches stop once the hits list holds this many entries (1000 at construction).
    int32_t m_nResultLimit;
    // Further lines a multi-line match may span (10 at construction).
    int32_t m_nLines;
    // Progress, read by the progress dialog's timer: the index of the file being searched,
    // the offset reached within it, and the bytes of the files finished.
    std::atomic<long> m_nFileIndex;
    std::atomic<long> m_nLinePos;
    std::atomic<uint64_t> m_nBytesDone;
    // Stop flags, set by the progress dialog's timer: the buffer search ends before its next
    // line (or within a long line), the file-list walk before its next file.
    std::atomic<long> m_bLineStop;
    std::atomic<long> m_bFileStop;
    // Sort state of the hits: column -1 not sorted, 0 path, 1 name, 2 suffix; direction 0
    // ascending, 1 descending.
    int32_t m_nSortColumn;
    int32_t m_nSortDir;
    // The files that the last file-list or path-list search could not search (cleared when
    // one starts; SearchFile adds to it).
    CSkippedFiles m_skipped;

    CTextSearch();
    ~CTextSearch();
    CTextSearch(const CTextSearch&) = delete;
    CTextSearch& operator=(const CTextSearch&) = delete;

    // Searches buffer[0..length-1] of the file path for text (NUL-terminated) with the flags.
    // Returns the number of hits added: 0 also for a null or empty text, a null buffer, a
    // length below 1, or when the hits list already holds the result limit.
    int SearchBuffer(const void* buffer, int length, const char* path, const char* text, unsigned flags);
    // Reads (a large file: maps) the file and searches it; keeps a copy in the cache when there
    // is room. Returns the number of hits added; 0 for an empty file, and for one that cannot
    // be opened or read or is 2 GB or more, which is also counted in m_skipped.
    int SearchFile(const char* path, const char* text, unsigned flags);
    // Searches every file of the directory list (the file list) in order, each from the cache
    // when its copy is current, until the result limit or the file stop flag. Returns the
    // number of hits added over all files; m_skipped holds the files it could not search.
    int SearchFileList(CDirList& files, const char* text, unsigned flags);
    // The same for a list of full paths (the entries' texts).
    int SearchFiles(const CStrList& paths, const char* text, unsigned flags);

    // Removes all hits and names. Returns 1.
    int Clear();
    // Removes hit index; the names go too when no hit is left. Returns 1, or 0 when out of range.
    int RemoveHit(int index);
    int GetHitCount() const { return m_hits.m_nCount; }

    // The path of the hit's file, or null for an index out of range.
    const char* GetHitPath(int index) const;
    // The same with its length in *length (0 and null when out of range).
    const char* GetHitPathLen(int index, int* length) const;
    // Copies the path into buffer (at most size-1 bytes, terminated). Returns the bytes
    // copied; 0 (and "" when size > 0) for an index out of range.
    int CopyHitPath(int index, char* buffer, int size) const;
    // Line number of the hit, 0 when out of range.
    int GetHitLine(int index) const;
    // Position / length of the hit, -1 when out of range.
    int GetHitPos(int index) const;
    int GetHitLength(int index) const;
    // Store a new position / length; return the value, or -1 when out of range.
    int SetHitPos(int index, int pos);
    int SetHitLength(int index, int length);

    // Writes the result line of hit index into buffer: the path, "(line): ", blanks up to
    // column (size - 1 when column + 1 exceeds size), then as much of the line as fits.
    // A path that leaves fewer than 16 bytes is written alone. Returns the length written;
    // 0 (and "" when size > 0) for a size below 1 or an index out of range.
    int FormatHitLine(int index, char* buffer, int size, int column) const;

    // Sorts the hits by column (0 path, 1 file name, 2 suffix; then path, line, position,
    // length) in direction (0 ascending, 1 descending, -1 the opposite of the current one for
    // the current column, else ascending). Returns 1 when it sorted; 0 when column and
    // direction are the current ones or the column is unknown.
    int SortBy(int column, int direction);

private:
    friend class CTextSearchSink;
    int SearchOneFile(const char* path, const char* text, unsigned flags);
    template <class PathAt> int WalkFiles(int count, PathAt pathAt, const char* text, unsigned flags);
    int AddName(const char* path);
    void FinishFile();
    // Searches a file whose bytes were read ahead, as SearchFile would have read them.
    int SearchReadAhead(const char* path, unsigned char* bytes, DWORD size, const FileStamp& stamp,
                        const char* text, unsigned flags);
    // Searches path's copy in the file cache, checked with the attributes read ahead (slot in
    // checks), or the file itself when the copy is stale.
    int SearchCached(const char* path, CStatAhead& checks, int slot, const char* text, unsigned flags);
    // Searches the bytes of path's file as seen in stamp.
    int SearchSeen(const unsigned char* bytes, int length, const char* path, const FileStamp& stamp,
                   const char* text, unsigned flags);

    FileStamp m_current;  // the file being searched

    // Names list index by ASCII-folded path, so that adding a file's first hit does not
    // search the whole names list.
    std::map<std::string, int, PathLess> m_nameIndex;  // names by path
    // Buffer of the files read without being cached.
    std::vector<unsigned char> m_scratch;
};

// Comparators of CTextSearch::SortBy; the hits list's user word holds the engine.
int CompareTextHitsByPath(const CStrList* list, int a, int b);
int CompareTextHitsByName(const CStrList* list, int a, int b);
int CompareTextHitsBySuffix(const CStrList* list, int a, int b);
