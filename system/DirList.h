// CDirList: the list of file and folder entries read from a path pattern, with include and
// exclude wildcard lists, attribute, read-only and date filters and recursion. The entries
// back the file list; they are addressed by index and give their full or relative path.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "framework/String.h"

// One entry. Allocated once, it stays at its address until the list is cleared or the entry
// is stored again (RefreshEntry).
struct DirEntry {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;     // the low 32 bits of the size (folders: 0)
    int nIcon;              // index in the system image list; -1 until asked for
    char* pszType;          // the shell's type name (malloc); null until asked for
    int nBaseLength;        // bytes of the scanned folder (with its separator) at the path's start
    int nNameOffset;        // where the name begins in szPath
    int nLength;            // length of szPath
    char szPath[1];         // the full path (ANSI code page), terminated

    const char* FullPath() const { return szPath; }
    const char* RelPath() const { return szPath + nBaseLength; }
    const char* Name() const { return szPath + nNameOffset; }
    uint64_t Size() const { return (uint64_t(nFileSizeHigh) << 32) | nFileSizeLow; }
    bool IsFolder() const { return (dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

// Filters beyond the names; they apply to files only.
struct DirFilter {
    int nReadOnly;          // 0 any ("Egal"), 1 only read-only, 2 only not read-only
    int nTimeMode;          // 0 none, 1 created before, 2 created after, 3 modified before,
                            // 4 modified after ("before": earlier than nTime; "after": not earlier)
    int64_t nTime;          // Unix seconds
    DWORD dwAttrMask;       // an entry is kept when (attributes & mask) == value; mask 0: all
    DWORD dwAttrValue;
};

class CDirList;
// Told about changes of the list (on the thread that made them): code DLN_*, and the first
// entry concerned (-1 for all).
typedef void (*DirListNotify)(CDirList* list, int code, int index, void* context);

class CDirList {
public:
    enum {
        DL_NO_HIDDEN = 0x0400,  // skip hidden entries (files and folders)
        DL_FOLDERS = 0x1000,    // list folders as entries too
        DL_RECURSE = 0x2000,    // go into sub-folders
        DL_NO_FILES = 0x8000,   // no file entries (with DL_FOLDERS: folders only)
    };
    enum { DLN_CLEARED = 0, DLN_ADDED = 1, DLN_CHANGED = 2, DLN_SORTED = 3 };
    enum {
        SORT_NAME = 0, SORT_PATH = 1, SORT_SUFFIX = 2, SORT_SIZE = 3, SORT_WRITE_TIME = 4,
        SORT_CREATION_TIME = 5, SORT_ATTRIBUTES = 6, SORT_RELPATH = 7,   // the key: low byte
        SORT_DESCENDING = 0x100,
        SORT_NATURAL = 0x2000,      // texts in natural order (digit runs by value)
        SORT_FOLDERS_FIRST = 0x4000,
    };
    enum { MaxEntries = 1 << 24 };

    // Read by other threads while a scan runs: the entry count grows as entries are added.
    volatile LONG m_nCount;
    // Set by another thread (a progress callback) to end a running scan; Open clears it.
    volatile LONG m_bStop;
    // A caller's own stop flag (null: none), watched as m_bStop is but never cleared here.
    const volatile LONG* m_pStop = nullptr;

    // Threads: while Open runs on one thread, others may read m_nCount, GetEntry and the
    // entries below m_nCount, and set m_bStop. Clear, Sort, RefreshEntry and Read need the
    // scan to have ended.
    CDirList();
    ~CDirList();
    CDirList(const CDirList&) = delete;
    CDirList& operator=(const CDirList&) = delete;

    // Adds the entries of pattern to the list:
    //  - a folder or drive root (with or without separator): its contents;
    //  - a folder with a wildcard name ("C:\src\*.c"): the entries whose names match it;
    //  - a full file path: just that file (the name lists are not applied to it);
    //  - "\\server": the server's disk shares as folders.
    // The ';'-separated wildcard lists include (null or empty: every name) and exclude (null or
    // empty: none) apply to the names of files, and of folders when those are listed. filter
    // (null: none) adds attribute, read-only and time filters for files. Flags DL_*. Folders
    // are always walked (when DL_RECURSE) whatever the filters; junctions and links are not
    // followed. Names that the ANSI code page cannot spell are listed by their short name, or
    // skipped when they have none; so are paths of MAX_PATH bytes or more (the pattern's folder
    // itself may have MAX_PATH - 1). Entries of one folder come before those of its
    // sub-folders. Returns the number of entries added (the ones found so far when m_bStop ended
    // the scan), or a negative code: -3 (the pattern's folder or file does not exist), -7 (bad
    // pattern).
    int Open(const char* pattern, int flags, const char* include = nullptr, const char* exclude = nullptr,
             const DirFilter* filter = nullptr);
    // Clears the list, then Open(pattern, flags, include, exclude). For the folder lists of the
    // path combo box: flags DL_FOLDERS | DL_NO_FILES, plus DL_NO_HIDDEN.
    int Read(const char* pattern, int flags, const char* include = nullptr, const char* exclude = nullptr);

    // The entry at index (null out of range).
    DirEntry* GetEntry(int index) const;
    // The next entry of the walk that Rewind starts (and Open/Clear restart): mode 0 its name,
    // 1 its full path, 2 its path relative to the scanned folder; *pLength (when given) the
    // length. Null at the end.
    const char* Next(int mode, int* pLength = nullptr);
    void Rewind() { m_nNext = 0; }
    // Entry index's path: form 0 full, 1 relative to the scanned folder. index -1: the entry
    // that Next returned last. Null past the end.
    const char* GetPath(int index, int* pLength = nullptr, int form = 0);
    // The folder of an entry (null: the one Next returned last), ending in a separator, full or
    // (relative nonzero) relative to the scanned folder ("" for an entry in that folder). The
    // text lives until the next GetDir on this list. Null when there is no such entry.
    const char* GetDir(const DirEntry* entry, int relative, int* pLength = nullptr);
    // Sum of the sizes of the listed files (folders count 0).
    uint64_t GetTotalSize() const;

    // Stable sort by the order code (SORT_*; the key in the low byte). Text keys compare
    // without case; ties go by the full path.
    void Sort(int order);
    // Removes every entry and tells the callback (DLN_CLEARED).
    void Clear();
    // Stores entry index again under a new name in the same folder (after a rename), with the
    // file's present information when it can be read; clears its cached icon and type. The
    // entry moves to a new address. False for a bad index or name.
    BOOL RefreshEntry(int index, const char* newName);
    // Index of the entry's icon in the small system image list (cached); -1 when unknown.
    int GetIconIndex(int index);
    // The shell's type name of the entry (cached); "" when unknown, null for a bad index.
    const char* GetTypeName(int index);

    void SetNotify(DirListNotify notify, void* context) {
        m_pNotify = notify;
        m_pNotifyContext = context;
    }
    // Entries skipped by the last Open: paths that the ANSI code page cannot spell or that are
    // too long to name, and folders that could not be read (denied). Only entries the scan would
    // have taken count: files that the name lists and the filter accept, folders it would have
    // listed or walked (judged by the find data, which a too long path still has).
    int GetSkippedCount() const { return m_nSkipped; }

private:
    enum { ChunkBits = 12, ChunkSize = 1 << ChunkBits, ChunkCount = MaxEntries / ChunkSize };
    DirEntry*& Slot(int index) const { return m_ppChunks[index >> ChunkBits][index & (ChunkSize - 1)]; }
    bool Append(DirEntry* entry);
    void Notify(int code, int index);
    friend class CDirScanner;

    DirEntry*** m_ppChunks;     // ChunkCount chunk pointers, each chunk ChunkSize entries
    int m_nNext;
    int m_nLast;
    int m_nSkipped;
    CString m_dirScratch;
    DirListNotify m_pNotify;
    void* m_pNotifyContext;
};

// The listed files, each distinct file once: indices of the file entries (folders left out) in
// list order, a path listed again (compared as the file system does: '\' and '/' equal, letters
// without case) keeping only its first index. For the commands that rewrite or move files,
// which must act on a file at most once per run. The scan must have ended.
std::vector<int> DirListDistinctFiles(const CDirList& list);
// One flag per entry: 1 for the entries that DirListDistinctFiles keeps, 0 for folders and for
// files listed again. The scan must have ended.
std::vector<char> DirListFirstListings(const CDirList& list);
// The same for a list of paths: the positions of the paths in order, a path equal to an
// earlier one (compared as above) left out.
std::vector<int> DistinctPaths(const std::vector<const char*>& paths);
