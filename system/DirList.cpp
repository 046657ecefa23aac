// CDirList: reading folders into entries.
#include "system/DirList.h"

#include <lm.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "system/Files.h"
#include "system/Paths.h"
#include "text/Match.h"

namespace {

inline bool IsSepW(wchar_t c) { return c == L'\\' || c == L'/'; }
inline bool IsSep(char c) { return c == '\\' || c == '/'; }

bool HasWildcard(const wchar_t* s) { return wcschr(s, L'*') || wcschr(s, L'?'); }

// A full path in the form the wide file functions take beyond MAX_PATH ("\\?\C:\...",
// "\\?\UNC\server\..."): a folder of 259 characters is read with its names appended.
std::wstring LongFormW(const std::wstring& full) {
    if (full.size() < MAX_PATH - 12 || full.compare(0, 4, L"\\\\?\\") == 0) return full;
    if (full.size() > 2 && IsSepW(full[0]) && IsSepW(full[1])) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

int64_t UnixSeconds(const FILETIME& ft) {
    int64_t t = (int64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    t -= 116444736000000000LL;
    // Floor division: times before 1970 stay below every later second.
    return t >= 0 ? t / 10000000LL : -((-t + 9999999LL) / 10000000LL);
}

DirEntry* NewEntry(const std::string& path, int baseLength, int nameOffset, DWORD attr, const FILETIME& created,
                   const FILETIME& accessed, const FILETIME& written, DWORD sizeHigh, DWORD sizeLow) {
    DirEntry* e = static_cast<DirEntry*>(malloc(sizeof(DirEntry) + path.size()));
    if (!e) return nullptr;
    e->dwFileAttributes = attr;
    e->ftCreationTime = created;
    e->ftLastAccessTime = accessed;
    e->ftLastWriteTime = written;
    e->nFileSizeHigh = sizeHigh;
    e->nFileSizeLow = sizeLow;
    e->nIcon = -1;
    e->pszType = nullptr;
    e->nBaseLength = baseLength;
    e->nNameOffset = nameOffset;
    e->nLength = int(path.size());
    memcpy(e->szPath, path.c_str(), path.size() + 1);
    return e;
}

void FreeEntry(DirEntry* e) {
    if (!e) return;
    free(e->pszType);
    free(e);
}

// A wildcard list, empty when it holds no pattern (";", blanks): such a list counts as none,
// as an empty one does, rather than matching no name at all.
std::wstring PatternList(const char* list) {
    std::wstring w = PathToWideA(list);
    for (wchar_t c : w)
        if (c != L';' && c != L' ' && c != L'\t') return w;
    return std::wstring();
}

}  // namespace

// One scan of CDirList::Open.
class CDirScanner {
public:
    CDirScanner(CDirList* list, int flags, const char* include, const char* exclude, const DirFilter* filter)
        : m_list(list), m_flags(flags), m_include(PatternList(include)), m_exclude(PatternList(exclude)), m_filter(),
          m_added(0) {
        if (filter) m_filter = *filter;
    }

    int Run(const char* pattern);

private:
    struct Folder {
        std::wstring wide;   // with trailing separator
        std::string ansi;    // with trailing separator
    };

    bool NameWanted(const wchar_t* name) const {
        if (!m_mask.empty() && !WildcardMatchW(m_mask.c_str(), name)) return false;
        if (!m_include.empty() && !WildcardMatchListW(m_include.c_str(), name)) return false;
        if (!m_exclude.empty() && WildcardMatchListW(m_exclude.c_str(), name)) return false;
        return true;
    }
    bool FilterPasses(DWORD attr, const FILETIME& created, const FILETIME& written) const;
    bool Add(const std::string& path, int nameOffset, DWORD attr, const FILETIME& c, const FILETIME& a,
             const FILETIME& w, DWORD hi, DWORD lo);
    void ScanFolder(const Folder& folder, std::vector<Folder>& subfolders);
    int ListShares(const std::wstring& server, const std::string& serverAnsi);
    bool Stopped() const { return m_list->m_bStop != 0 || (m_list->m_pStop && *m_list->m_pStop); }

    CDirList* m_list;
    int m_flags;
    std::wstring m_include, m_exclude, m_mask;
    DirFilter m_filter;
    int m_baseLength = 0;
    int m_added;
};

bool CDirScanner::FilterPasses(DWORD attr, const FILETIME& created, const FILETIME& written) const {
    if (m_filter.dwAttrMask && (attr & m_filter.dwAttrMask) != m_filter.dwAttrValue) return false;
    bool ro = (attr & FILE_ATTRIBUTE_READONLY) != 0;
    if (m_filter.nReadOnly == 1 && !ro) return false;
    if (m_filter.nReadOnly == 2 && ro) return false;
    switch (m_filter.nTimeMode) {
    case 1: return UnixSeconds(created) < m_filter.nTime;
    case 2: return UnixSeconds(created) >= m_filter.nTime;
    case 3: return UnixSeconds(written) < m_filter.nTime;
    case 4: return UnixSeconds(written) >= m_filter.nTime;
    default: return true;
    }
}

bool CDirScanner::Add(const std::string& path, int nameOffset, DWORD attr, const FILETIME& c, const FILETIME& a,
                      const FILETIME& w, DWORD hi, DWORD lo) {
    DirEntry* e = NewEntry(path, m_baseLength, nameOffset, attr, c, a, w, hi, lo);
    if (!e) return false;
    if (!m_list->Append(e)) {
        FreeEntry(e);
        return false;
    }
    ++m_added;
    return true;
}

void CDirScanner::ScanFolder(const Folder& folder, std::vector<Folder>& subfolders) {
    WIN32_FIND_DATAW fd;
    std::wstring pattern = LongFormW(folder.wide + L"*");
    HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &fd, FindExSearchNameMatch, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) {
        // A folder that cannot be read (denied) is one left out; one gone meanwhile is not.
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_NO_MORE_FILES)
            ++m_list->m_nSkipped;
        return;
    }
    do {
        if (Stopped()) break;
        const wchar_t* name = fd.cFileName;
        if (name[0] == L'.' && (!name[1] || (name[1] == L'.' && !name[2]))) continue;
        bool isDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if ((m_flags & CDirList::DL_NO_HIDDEN) && (fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN)) continue;
        // Judged by the find data alone, before the path is spelt: an entry that cannot be
        // named counts as left out only when the scan would have taken it.
        bool listed, walked = false;
        if (isDir) {
            listed = (m_flags & CDirList::DL_FOLDERS) && NameWanted(name);
            // Junctions and links are not followed: they may loop.
            walked = (m_flags & CDirList::DL_RECURSE) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        } else {
            listed = !(m_flags & CDirList::DL_NO_FILES) && NameWanted(name) &&
                     FilterPasses(fd.dwFileAttributes, fd.ftCreationTime, fd.ftLastWriteTime);
        }
        if (!listed && !walked) continue;
        std::string ansiName;
        if (!PathToAnsiExactW(name, -1, ansiName)) {
            if (!fd.cAlternateFileName[0] || !PathToAnsiExactW(fd.cAlternateFileName, -1, ansiName)) {
                ++m_list->m_nSkipped;
                continue;
            }
        }
        std::string path = folder.ansi + ansiName;
        if (path.size() >= MAX_PATH) {
            ++m_list->m_nSkipped;
            continue;
        }
        int nameOffset = int(folder.ansi.size());
        if (listed) {
            DWORD hi = isDir ? 0 : fd.nFileSizeHigh, lo = isDir ? 0 : fd.nFileSizeLow;
            if (!Add(path, nameOffset, fd.dwFileAttributes, fd.ftCreationTime, fd.ftLastAccessTime, fd.ftLastWriteTime,
                     hi, lo))
                break;
        }
        if (walked) subfolders.push_back(Folder{folder.wide + name + L"\\", path + "\\"});
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

int CDirScanner::ListShares(const std::wstring& server, const std::string& serverAnsi) {
    std::vector<Folder> shares;
    SHARE_INFO_1* info = nullptr;
    DWORD read = 0, total = 0, resume = 0;
    NET_API_STATUS st;
    do {
        st = NetShareEnum(const_cast<LPWSTR>(server.c_str()), 1, reinterpret_cast<LPBYTE*>(&info), MAX_PREFERRED_LENGTH,
                          &read, &total, &resume);
        if (st != NERR_Success && st != ERROR_MORE_DATA) break;
        for (DWORD i = 0; i < read; ++i) {
            if ((info[i].shi1_type & 0xFF) != STYPE_DISKTREE || (info[i].shi1_type & STYPE_SPECIAL)) continue;
            std::string name;
            if (!PathToAnsiExactW(info[i].shi1_netname, -1, name)) continue;
            shares.push_back(Folder{server + L"\\" + info[i].shi1_netname + L"\\", serverAnsi + "\\" + name + "\\"});
        }
        NetApiBufferFree(info);
        info = nullptr;
    } while (st == ERROR_MORE_DATA);
    if (shares.empty()) return st == NERR_Success ? 0 : FILE_ERR_NOT_FOUND;
    m_baseLength = int(serverAnsi.size()) + 1;
    FILETIME zero = {0, 0};
    std::vector<Folder> pending;
    for (const Folder& s : shares) {
        if (Stopped()) break;
        if (m_flags & CDirList::DL_FOLDERS) {
            std::string path = s.ansi.substr(0, s.ansi.size() - 1);
            Add(path, m_baseLength, FILE_ATTRIBUTE_DIRECTORY, zero, zero, zero, 0, 0);
        }
        if (m_flags & CDirList::DL_RECURSE) pending.push_back(s);
    }
    // Walk the shares like folders below the server.
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty() && !Stopped()) {
        Folder f = pending.back();
        pending.pop_back();
        std::vector<Folder> sub;
        ScanFolder(f, sub);
        for (auto it = sub.rbegin(); it != sub.rend(); ++it) pending.push_back(*it);
    }
    return m_added;
}

int CDirScanner::Run(const char* pattern) {
    if (!pattern || !*pattern) return FILE_ERR_BAD_PATH;
    std::wstring wpat = PathToWideA(pattern);
    // "\\server" alone: its shares.
    if (wpat.size() > 2 && IsSepW(wpat[0]) && IsSepW(wpat[1])) {
        size_t end = wpat.size();
        while (end > 2 && IsSepW(wpat[end - 1])) --end;
        std::wstring rest = wpat.substr(2, end - 2);
        if (!rest.empty() && rest.find_first_of(L"\\/") == std::wstring::npos && !HasWildcard(rest.c_str())) {
            std::string ansi(pattern, strlen(pattern));
            while (ansi.size() > 2 && IsSep(ansi.back())) ansi.pop_back();
            return ListShares(L"\\\\" + rest, ansi);
        }
    }
    // Split into folder and name; a wildcard name is the mask.
    size_t sep = wpat.find_last_of(L"\\/:");
    std::wstring last = sep == std::wstring::npos ? wpat : wpat.substr(sep + 1);
    std::wstring folderPart;
    bool single = false;
    if (HasWildcard(last.c_str())) {
        m_mask = last;
        folderPart = sep == std::wstring::npos ? L"." : wpat.substr(0, sep + 1);
        if (folderPart.find_first_of(L"*?") != std::wstring::npos) return FILE_ERR_BAD_PATH;
    } else {
        int kind = PathGetKindA(pattern);
        if (kind == 0) return FILE_ERR_NOT_FOUND;
        if (kind == 1) {
            single = true;
            folderPart = sep == std::wstring::npos ? L"." : wpat.substr(0, sep + 1);
        } else {
            folderPart = wpat;
            if (folderPart.size() == 2 && folderPart[1] == L':') folderPart += L'\\';  // the root, not the drive's current folder
        }
    }
    // The scanned folder in its full form, with a trailing separator.
    wchar_t full[MAX_PATH * 2];
    DWORD n = GetFullPathNameW(folderPart.c_str(), MAX_PATH * 2, full, nullptr);
    if (n == 0 || n >= MAX_PATH * 2) return FILE_ERR_BAD_PATH;
    std::wstring base(full, n);
    if (!IsSepW(base.back())) base += L'\\';
    // A folder the code page cannot spell goes by its short name.
    std::string baseAnsi;
    if (!PathAnsiSpellingW(base, baseAnsi)) return FILE_ERR_BAD_PATH;
    // A folder of up to MAX_PATH - 1 characters is read; entries whose paths pass the limit
    // are left out one by one.
    if (baseAnsi.size() > MAX_PATH) return FILE_ERR_BAD_PATH;
    DWORD attr = GetFileAttributesW(LongFormW(base).c_str());
    if (attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_DIRECTORY)) return FILE_ERR_NOT_FOUND;
    m_baseLength = int(baseAnsi.size());

    if (single) {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW(LongFormW(base + last).c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return FILE_ERR_NOT_FOUND;
        FindClose(h);
        std::string name;
        if (!PathToAnsiExactW(fd.cFileName, -1, name) &&
            (!fd.cAlternateFileName[0] || !PathToAnsiExactW(fd.cAlternateFileName, -1, name))) {
            ++m_list->m_nSkipped;
            return 0;
        }
        std::string path = baseAnsi + name;
        if (path.size() >= MAX_PATH || !FilterPasses(fd.dwFileAttributes, fd.ftCreationTime, fd.ftLastWriteTime))
            return 0;
        Add(path, m_baseLength, fd.dwFileAttributes, fd.ftCreationTime, fd.ftLastAccessTime, fd.ftLastWriteTime,
            fd.nFileSizeHigh, fd.nFileSizeLow);
        return m_added;
    }

    // Depth first: a folder's own entries, then each sub-folder in the order found.
    std::vector<Folder> pending;
    pending.push_back(Folder{base, baseAnsi});
    while (!pending.empty() && !Stopped()) {
        Folder f = std::move(pending.back());
        pending.pop_back();
        std::vector<Folder> sub;
        ScanFolder(f, sub);
        for (auto it = sub.rbegin(); it != sub.rend(); ++it) pending.push_back(std::move(*it));
    }
    return m_added;
}

// ---------------------------------------------------------------------------------------------

CDirList::CDirList()
    : m_nCount(0), m_bStop(0), m_ppChunks(nullptr), m_nNext(0), m_nLast(-1), m_nSkipped(0), m_pNotify(nullptr),
      m_pNotifyContext(nullptr) {
    m_ppChunks = static_cast<DirEntry***>(calloc(ChunkCount, sizeof(DirEntry**)));
}

CDirList::~CDirList() {
    m_pNotify = nullptr;
    Clear();
    free(m_ppChunks);
}

bool CDirList::Append(DirEntry* entry) {
    LONG n = m_nCount;
    if (!m_ppChunks || n >= MaxEntries) return false;
    DirEntry**& chunk = m_ppChunks[n >> ChunkBits];
    if (!chunk) {
        chunk = static_cast<DirEntry**>(calloc(ChunkSize, sizeof(DirEntry*)));
        if (!chunk) return false;
    }
    chunk[n & (ChunkSize - 1)] = entry;
    // Publish the entry before the count, so that readers never see an empty slot.
    InterlockedExchange(&m_nCount, n + 1);
    return true;
}

void CDirList::Notify(int code, int index) {
    if (m_pNotify) m_pNotify(this, code, index, m_pNotifyContext);
}

int CDirList::Open(const char* pattern, int flags, const char* include, const char* exclude, const DirFilter* filter) {
    InterlockedExchange(&m_bStop, 0);
    m_nSkipped = 0;
    m_nNext = 0;
    m_nLast = -1;
    int first = m_nCount;
    CDirScanner scanner(this, flags, include, exclude, filter);
    int r = scanner.Run(pattern);
    if (m_nCount > first) Notify(DLN_ADDED, first);
    return r;
}

int CDirList::Read(const char* pattern, int flags, const char* include, const char* exclude) {
    Clear();
    return Open(pattern, flags, include, exclude);
}

DirEntry* CDirList::GetEntry(int index) const {
    if (index < 0 || index >= m_nCount) return nullptr;
    return Slot(index);
}

const char* CDirList::Next(int mode, int* pLength) {
    DirEntry* e = GetEntry(m_nNext);
    if (!e) {
        if (pLength) *pLength = 0;
        return nullptr;
    }
    m_nLast = m_nNext++;
    const char* p = mode == 1 ? e->FullPath() : (mode == 2 ? e->RelPath() : e->Name());
    if (pLength) *pLength = e->nLength - int(p - e->szPath);
    return p;
}

const char* CDirList::GetPath(int index, int* pLength, int form) {
    DirEntry* e = GetEntry(index == -1 ? m_nLast : index);
    if (!e) {
        if (pLength) *pLength = 0;
        return nullptr;
    }
    const char* p = form == 1 ? e->RelPath() : e->FullPath();
    if (pLength) *pLength = e->nLength - int(p - e->szPath);
    return p;
}

const char* CDirList::GetDir(const DirEntry* entry, int relative, int* pLength) {
    if (!entry) entry = GetEntry(m_nLast);
    if (!entry) {
        if (pLength) *pLength = 0;
        return nullptr;
    }
    int start = relative ? entry->nBaseLength : 0;
    int end = entry->nNameOffset;
    if (end < start) end = start;
    m_dirScratch = CString(entry->szPath + start, end - start);
    if (pLength) *pLength = m_dirScratch.GetLength();
    return m_dirScratch;
}

std::vector<int> DistinctPaths(const std::vector<const char*>& paths) {
    const int n = int(paths.size());
    // Sorted by path, then position: the first of each run of equal paths is the one to keep.
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) order[size_t(i)] = i;
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        int c = PathCompareA(paths[size_t(a)], paths[size_t(b)]);
        return c != 0 ? c < 0 : a < b;
    });
    std::vector<char> drop(size_t(n), 0);
    for (size_t k = 1; k < order.size(); ++k)
        if (PathCompareA(paths[size_t(order[k - 1])], paths[size_t(order[k])]) == 0) drop[size_t(order[k])] = 1;
    std::vector<int> kept;
    kept.reserve(size_t(n));
    for (int i = 0; i < n; ++i)
        if (!drop[size_t(i)]) kept.push_back(i);
    return kept;
}

std::vector<int> DirListDistinctFiles(const CDirList& list) {
    std::vector<int> files;
    std::vector<const char*> paths;
    const int n = list.m_nCount;
    files.reserve(size_t(n));
    paths.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        const DirEntry* e = list.GetEntry(i);
        if (e->IsFolder()) continue;
        files.push_back(i);
        paths.push_back(e->FullPath());
    }
    std::vector<int> kept = DistinctPaths(paths);
    for (int& k : kept) k = files[size_t(k)];
    return kept;
}

std::vector<char> DirListFirstListings(const CDirList& list) {
    std::vector<char> first(size_t(list.m_nCount), 0);
    for (int i : DirListDistinctFiles(list)) first[size_t(i)] = 1;
    return first;
}

uint64_t CDirList::GetTotalSize() const {
    uint64_t total = 0;
    int n = m_nCount;
    for (int i = 0; i < n; ++i) {
        const DirEntry* e = Slot(i);
        if (!e->IsFolder()) total += e->Size();
    }
    return total;
}

namespace {

int CompareFileTimes(const FILETIME& a, const FILETIME& b) {
    return CompareFileTime(&a, &b);
}

int CompareText(const char* a, const char* b, bool natural) {
    return natural ? StrNaturalCompareNoCaseA(a, b) : PathCompareA(a, b);
}

const char* SuffixOf(const DirEntry* e) {
    const char* s = PathFindExtensionA(e->nLength - e->nNameOffset, e->Name());
    return s ? s : "";
}

}  // namespace

void CDirList::Sort(int order) {
    int n = m_nCount;
    if (n < 2) return;
    std::vector<DirEntry*> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) v[size_t(i)] = Slot(i);
    const int key = order & 0xFF;
    const bool desc = (order & SORT_DESCENDING) != 0;
    const bool natural = (order & SORT_NATURAL) != 0;
    const bool foldersFirst = (order & SORT_FOLDERS_FIRST) != 0;
    std::stable_sort(v.begin(), v.end(), [&](const DirEntry* a, const DirEntry* b) {
        if (foldersFirst && a->IsFolder() != b->IsFolder()) return a->IsFolder();
        int c = 0;
        switch (key) {
        case SORT_NAME: c = CompareText(a->Name(), b->Name(), natural); break;
        case SORT_PATH: c = CompareText(a->FullPath(), b->FullPath(), natural); break;
        case SORT_SUFFIX: c = CompareText(SuffixOf(a), SuffixOf(b), natural); break;
        case SORT_SIZE: c = a->Size() < b->Size() ? -1 : (a->Size() > b->Size() ? 1 : 0); break;
        case SORT_WRITE_TIME: c = CompareFileTimes(a->ftLastWriteTime, b->ftLastWriteTime); break;
        case SORT_CREATION_TIME: c = CompareFileTimes(a->ftCreationTime, b->ftCreationTime); break;
        case SORT_ATTRIBUTES:
            c = a->dwFileAttributes < b->dwFileAttributes ? -1 : (a->dwFileAttributes > b->dwFileAttributes ? 1 : 0);
            break;
        case SORT_RELPATH: c = CompareText(a->RelPath(), b->RelPath(), natural); break;
        default: break;
        }
        if (c == 0 && key != SORT_PATH) c = CompareText(a->FullPath(), b->FullPath(), natural);
        return desc ? c > 0 : c < 0;
    });
    for (int i = 0; i < n; ++i) Slot(i) = v[size_t(i)];
    Notify(DLN_SORTED, -1);
}

void CDirList::Clear() {
    int n = m_nCount;
    InterlockedExchange(&m_nCount, 0);
    for (int i = 0; i < n; ++i) {
        FreeEntry(Slot(i));
        Slot(i) = nullptr;
    }
    if (m_ppChunks)
        for (int c = 0; c < ChunkCount && m_ppChunks[c]; ++c) {
            free(m_ppChunks[c]);
            m_ppChunks[c] = nullptr;
        }
    m_nNext = 0;
    m_nLast = -1;
    Notify(DLN_CLEARED, -1);
}

BOOL CDirList::RefreshEntry(int index, const char* newName) {
    DirEntry* old = GetEntry(index);
    if (!old || !newName || !*newName || PathFileNameOffsetA(-1, newName) != 0) return FALSE;
    std::string path(old->szPath, size_t(old->nNameOffset));
    path += newName;
    if (path.size() >= MAX_PATH) return FALSE;
    DirEntry* e = NewEntry(path, old->nBaseLength, old->nNameOffset, old->dwFileAttributes, old->ftCreationTime,
                           old->ftLastAccessTime, old->ftLastWriteTime, old->nFileSizeHigh, old->nFileSizeLow);
    if (!e) return FALSE;
    FileInfo fi;
    if (FileFindFirst(path.c_str(), &fi) == 0) {
        e->dwFileAttributes = fi.dwAttributes;
        e->ftCreationTime = fi.ftCreation;
        e->ftLastAccessTime = fi.ftLastAccess;
        e->ftLastWriteTime = fi.ftLastWrite;
        e->nFileSizeHigh = (fi.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : DWORD(fi.nSize >> 32);
        e->nFileSizeLow = (fi.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : DWORD(fi.nSize);
    }
    Slot(index) = e;
    FreeEntry(old);
    Notify(DLN_CHANGED, index);
    return TRUE;
}

namespace {

// Files whose icon is their own: ask the shell about the file itself.
bool HasOwnIcon(const DirEntry* e) {
    return !e->IsFolder() && PathMatchExtensionListA(e->Name(), "exe;ico;lnk;cur;ani;url;scr") > 0;
}

}  // namespace

int CDirList::GetIconIndex(int index) {
    DirEntry* e = GetEntry(index);
    if (!e) return -1;
    if (e->nIcon < 0) {
        SHFILEINFOA sfi;
        memset(&sfi, 0, sizeof sfi);
        UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON;
        if (!HasOwnIcon(e)) flags |= SHGFI_USEFILEATTRIBUTES;
        if (SHGetFileInfoA(e->szPath, e->dwFileAttributes, &sfi, sizeof sfi, flags)) e->nIcon = sfi.iIcon;
    }
    return e->nIcon;
}

const char* CDirList::GetTypeName(int index) {
    DirEntry* e = GetEntry(index);
    if (!e) return nullptr;
    if (!e->pszType) {
        SHFILEINFOA sfi;
        memset(&sfi, 0, sizeof sfi);
        SHGetFileInfoA(e->szPath, e->dwFileAttributes, &sfi, sizeof sfi, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
        size_t n = strlen(sfi.szTypeName);
        char* p = static_cast<char*>(malloc(n + 1));
        if (!p) return "";
        memcpy(p, sfi.szTypeName, n + 1);
        e->pszType = p;
    }
    return e->pszType;
}
