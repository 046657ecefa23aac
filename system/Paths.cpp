// Paths.
#include "system/Paths.h"

#include <winnetwk.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/String.h"

namespace {

const int kFullPathMax = 1024;

inline bool IsSep(char c) { return c == '\\' || c == '/'; }
inline bool IsNameSep(char c) { return c == '\\' || c == '/' || c == ':'; }
inline bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Letter case of the ANSI code page, as the file system folds names; '/' folds to '\'.
struct FoldTable {
    unsigned char map[256];
    FoldTable() {
        for (int i = 0; i < 256; ++i) map[i] = (unsigned char)i;
        char buf[256];
        for (int i = 0; i < 256; ++i) buf[i] = char(i);
        CharLowerBuffA(buf + 1, 255);
        for (int i = 1; i < 256; ++i) map[i] = (unsigned char)buf[i];
        // Keep the ASCII part exact whatever the code page says.
        for (int i = 0; i < 128; ++i) map[i] = (unsigned char)((i >= 'A' && i <= 'Z') ? i + 32 : i);
        map[(unsigned char)'/'] = '\\';
    }
};

const unsigned char* Fold() {
    static const FoldTable s_table;
    return s_table.map;
}

int Length(const char* s, int length) { return length < 0 ? (s ? int(strlen(s)) : 0) : length; }

int CompareFolded(const char* a, int na, const char* b, int nb, bool keepCase) {
    const unsigned char* f = Fold();
    int n = na < nb ? na : nb;
    for (int i = 0; i < n; ++i) {
        unsigned char ca = (unsigned char)a[i], cb = (unsigned char)b[i];
        if (keepCase) {
            if (ca == '/') ca = '\\';
            if (cb == '/') cb = '\\';
        } else {
            ca = f[ca];
            cb = f[cb];
        }
        if (ca != cb) return int(ca) - int(cb);
    }
    return na - nb;
}

bool FullPath(const char* path, CString& out) {
    char* buf = out.GetBuffer(kFullPathMax);
    if (!buf) return false;
    DWORD n = GetFullPathNameA(path, kFullPathMax, buf, nullptr);
    if (n == 0 || n >= DWORD(kFullPathMax)) {
        out.ReleaseBuffer(0);
        return false;
    }
    out.ReleaseBuffer(int(n));
    return true;
}

// Length of the root of a full path: "C:\" -> 3, "\\server\share\" -> up to and including the
// separator after the share, "\" -> 1; 0 when none.
int RootLength(const char* p) {
    if (IsAsciiLetter(p[0]) && p[1] == ':') return IsSep(p[2]) ? 3 : 2;
    if (IsSep(p[0]) && IsSep(p[1])) {
        int i = 2;
        for (int part = 0; part < 2; ++part) {
            while (p[i] && !IsSep(p[i])) ++i;
            if (!p[i]) return i;
            ++i;
        }
        return i;
    }
    return IsSep(p[0]) ? 1 : 0;
}


}  // namespace

// ----- kinds and compares --------------------------------------------------------------------

int PathGetKindA(const char* path) {
    if (!path || !*path) return 0;
    if (IsAsciiLetter(path[0]) && path[1] == ':' && (!path[2] || (IsSep(path[2]) && !path[3]))) {
        char root[4] = {path[0], ':', '\\', 0};
        UINT t = GetDriveTypeA(root);
        return (t == DRIVE_NO_ROOT_DIR || t == DRIVE_UNKNOWN) ? 0 : 3;
    }
    DWORD a = GetFileAttributesA(path);
    if (a == INVALID_FILE_ATTRIBUTES) return 0;
    return (a & FILE_ATTRIBUTE_DIRECTORY) ? 2 : 1;
}

int PathCompareA(const char* a, const char* b) { return PathCompareNA(-1, a, -1, b); }

int PathCompareNA(int lengthA, const char* a, int lengthB, const char* b) {
    if (!a) a = "";
    if (!b) b = "";
    return CompareFolded(a, Length(a, lengthA), b, Length(b, lengthB), false);
}

int PathCompareCaseNA(int lengthA, const char* a, int lengthB, const char* b) {
    if (!a) a = "";
    if (!b) b = "";
    return CompareFolded(a, Length(a, lengthA), b, Length(b, lengthB), true);
}

int PathCompareExA(const char* a, const char* b, int options) {
    CString fa(a), fb(b);
    if (options & 1) {
        CString full;
        if (a && *a && FullPath(a, full)) fa = full;
    }
    if (options & 2) {
        CString full;
        if (b && *b && FullPath(b, full)) fb = full;
    }
    return CompareFolded(fa, fa.GetLength(), fb, fb.GetLength(), (options & 4) != 0);
}

// ----- name parts ----------------------------------------------------------------------------

int PathFileNameOffsetA(int length, const char* path) {
    if (!path) return 0;
    length = Length(path, length);
    int off = 0;
    for (int i = 0; i < length; ++i)
        if (IsNameSep(path[i])) off = i + 1;
    return off;
}

const char* PathFindFileNameA(int length, const char* path, int* pNameLength) {
    if (!path) {
        if (pNameLength) *pNameLength = 0;
        return nullptr;
    }
    length = Length(path, length);
    int off = PathFileNameOffsetA(length, path);
    if (pNameLength) *pNameLength = length - off;
    return path + off;
}

const char* PathFindExtensionA(int length, const char* path, int* pSuffixLength) {
    if (pSuffixLength) *pSuffixLength = 0;
    if (!path) return nullptr;
    length = Length(path, length);
    int off = PathFileNameOffsetA(length, path);
    int dot = -1;
    for (int i = length - 1; i >= off; --i)
        if (path[i] == '.') {
            dot = i;
            break;
        }
    if (dot <= off) return nullptr;  // no '.', or only a leading one
    if (pSuffixLength) *pSuffixLength = length - dot - 1;
    return path + dot + 1;
}

int PathMatchExtensionListA(const char* path, const char* list, int pathLength) {
    if (!path || !list) return 0;
    int n = 0;
    const char* ext = PathFindExtensionA(pathLength, path, &n);
    if (!ext) return 0;
    int index = 0;
    const char* p = list;
    for (;;) {
        const char* e = p;
        while (*e && *e != ';') ++e;
        ++index;
        if (e > p && CompareFolded(p, int(e - p), ext, n, false) == 0) return index;
        if (!*e) break;
        p = e + 1;
    }
    return 0;
}

// ----- separators ----------------------------------------------------------------------------

int PathAddTrailingSeparatorA(char* path, int length, int size) {
    if (!path) return -1;
    length = Length(path, length);
    if (length > 0 && IsSep(path[length - 1])) return length;
    if (length + 2 > size) return -1;
    path[length++] = '\\';
    path[length] = 0;
    return length;
}

int PathRemoveTrailingSeparatorA(char* path) {
    if (!path) return 0;
    int n = int(strlen(path));
    if (n > 0 && IsSep(path[n - 1])) path[--n] = 0;
    return n;
}

void PathAddTrailingSeparatorStr(CString& path) {
    int n = path.GetLength();
    if (n == 0 || !IsSep(path[n - 1])) path += '\\';
}

int PathRemoveTrailingSeparatorStr(CString& path) {
    int n = path.GetLength();
    if (n > 0 && IsSep(path[n - 1])) path = path.Left(n - 1);
    return path.GetLength();
}

int PathConvertSlashesA(char* path, char target) {
    if (!path) return 0;
    char from = target == '\\' ? '/' : '\\';
    int n = 0;
    for (; path[n]; ++n)
        if (path[n] == from) path[n] = target;
    return n;
}

// ----- folders and full paths ----------------------------------------------------------------

BOOL PathFullPathStr(CString& out, const char* path) {
    CString full;
    if (!path || !*path || !FullPath(path, full)) {
        out.Empty();
        return FALSE;
    }
    PathCutToDirectoryStr(full);
    out = full;
    return TRUE;
}

BOOL PathAnchorStr(CString& path, const char* folder) {
    const char* p = path;
    if (!p[0] || IsSep(p[0]) || (p[0] && p[1] == ':') || !folder || !*folder) return FALSE;
    CString joined = folder;
    PathAddTrailingSeparatorStr(joined);
    joined += p;
    CString full;
    if (!FullPath(joined, full) || full.GetLength() >= MAX_PATH) return FALSE;
    path = full;
    return TRUE;
}

void PathFileNameStr(CString& out, const char* path) {
    out = PathFindFileNameA(-1, path ? path : "");
}

void PathExtensionStr(CString& out, const char* path) {
    int n = 0;
    const char* e = PathFindExtensionA(-1, path, &n);
    out = e ? CString(e, n) : CString();
}

void PathCutToDirectoryStr(CString& path) {
    path = path.Left(PathFileNameOffsetA(path.GetLength(), path));
}

BOOL PathGetTrueSpellingStr(CString& out, const char* path) {
    CString full;
    if (!path || !*path || !FullPath(path, full)) {
        out.Empty();
        return FALSE;
    }
    int root = RootLength(full);
    CString result = full.Left(root);
    if (root >= 2 && result[1] == ':' && result[0] >= 'a' && result[0] <= 'z') result.SetAt(0, char(result[0] - 32));
    bool lookup = true;
    int i = root;
    while (i < full.GetLength()) {
        int j = i;
        while (j < full.GetLength() && !IsSep(full[j])) ++j;
        CString part = full.Mid(i, j - i);
        if (lookup && !part.IsEmpty() && part.Find('*') < 0 && part.Find('?') < 0) {
            WIN32_FIND_DATAA fd;
            HANDLE h = FindFirstFileA(result + part, &fd);
            if (h != INVALID_HANDLE_VALUE) {
                FindClose(h);
                // A name with characters the code page lacks comes with '?' for them: only its
                // short form names the file.
                if (!strchr(fd.cFileName, '?'))
                    part = fd.cFileName;
                else if (fd.cAlternateFileName[0])
                    part = fd.cAlternateFileName;
            } else {
                lookup = false;
            }
        }
        result += part;
        if (j < full.GetLength()) result += full[j];
        i = j + 1;
    }
    out = result;
    return TRUE;
}

int PathGetFullDirectoryA(char* buffer, const char* path, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    CString dir;
    if (!PathFullPathStr(dir, path) || dir.GetLength() >= size) return 0;
    memcpy(buffer, dir.GetString(), size_t(dir.GetLength()) + 1);
    return dir.GetLength();
}

int PathJoinA(int folderLength, char* dest, const char* folder, const char* name, int size) {
    if (!dest || size <= 0) return -1;
    if (!folder) folder = "";
    if (!name) name = "";
    int fl = Length(folder, folderLength);
    if (fl > 0) {
        while (IsSep(*name)) ++name;
    }
    bool sep = fl > 0 && !IsSep(folder[fl - 1]);
    int nl = int(strlen(name));
    int total = fl + (sep ? 1 : 0) + nl;
    if (total + 1 > size) {
        dest[0] = 0;
        return -1;
    }
    if (name >= dest && name < dest + size) {
        // The name lies in the destination: keep a copy before the folder overwrites it.
        CString copy(name);
        return PathJoinA(fl, dest, folder, copy, size);
    }
    if (dest != folder) memmove(dest, folder, size_t(fl));
    if (sep) dest[fl] = '\\';
    memcpy(dest + fl + (sep ? 1 : 0), name, size_t(nl));
    dest[total] = 0;
    return total;
}

namespace {

// The names of a path, separators dropped.
template <class C>
std::vector<std::basic_string<C>> SplitNames(const C* p, size_t n) {
    std::vector<std::basic_string<C>> names;
    size_t i = 0;
    while (i < n) {
        size_t j = i;
        while (j < n && p[j] != C('\\') && p[j] != C('/')) ++j;
        if (j > i) names.emplace_back(p + i, j - i);
        i = j + 1;
    }
    return names;
}

}  // namespace

std::wstring PathToWideA(const char* s, int length) {
    if (!s) return std::wstring();
    if (length < 0) length = int(strlen(s));
    if (!length) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, s, length, nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s, length, &w[0], n);
    return w;
}

bool PathToAnsiExactW(const wchar_t* w, int length, std::string& out) {
    out.clear();
    if (!w) return true;
    if (length < 0) length = int(wcslen(w));
    if (!length) return true;
    BOOL lost = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w, length, nullptr, 0, nullptr, &lost);
    if (n <= 0 || lost) return false;
    out.resize(size_t(n));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w, length, &out[0], n, nullptr, &lost);
    return !lost;
}

int PathOwnNamesW(const char* path, int from, std::wstring& out) {
    if (!path || !*path) return -1;
    const int length = int(strlen(path));
    if (from < 0) from = 0;
    if (from > length) from = length;
    // A short name the system made up always carries a '~'.
    if (!memchr(path + from, '~', size_t(length - from))) return 0;
    const std::vector<std::string> listed = SplitNames(path + from, size_t(length - from));
    if (listed.empty()) return 0;
    const std::wstring wide = PathToWideA(path, length);
    if (wide.empty()) return -1;
    DWORD need = GetLongPathNameW(wide.c_str(), nullptr, 0);
    if (need == 0) return -1;
    std::wstring full(need, L'\0');
    DWORD got = GetLongPathNameW(wide.c_str(), &full[0], need);
    if (got == 0 || got >= need) return -1;
    full.resize(got);
    const std::vector<std::wstring> own = SplitNames(full.c_str(), full.size());
    if (own.size() < listed.size()) return -1;
    const size_t first = own.size() - listed.size();
    bool same = true;
    for (size_t i = 0; i < listed.size() && same; ++i) {
        std::string ansi;
        same = PathToAnsiExactW(own[first + i].data(), int(own[first + i].size()), ansi) &&
               PathCompareNA(int(ansi.size()), ansi.c_str(), int(listed[i].size()), listed[i].c_str()) == 0;
    }
    if (same) return 0;
    out.clear();
    for (size_t i = first; i < own.size(); ++i) {
        if (i > first) out += L'\\';
        out += own[i];
    }
    return 1;
}

bool PathAnsiSpellingW(const std::wstring& path, std::string& out) {
    if (PathToAnsiExactW(path.data(), int(path.size()), out)) return true;
    DWORD need = GetShortPathNameW(path.c_str(), nullptr, 0);
    std::wstring shortPath(need ? need : 1, L'\0');
    DWORD got = need ? GetShortPathNameW(path.c_str(), &shortPath[0], need) : 0;
    if (got == 0 || got >= need) {
        out.clear();
        return false;
    }
    shortPath.resize(got);
    if (PathToAnsiExactW(shortPath.data(), int(shortPath.size()), out)) return true;
    out.clear();
    return false;
}

int PathCreateDirectoriesExA(const char* path, int option) {
    if (!path || !*path) return 0;
    CString full;
    if (!FullPath(path, full)) return 0;
    if (option & 1) PathCutToDirectoryStr(full);
    PathRemoveTrailingSeparatorStr(full);
    int kind = PathGetKindA(full);
    if (kind >= 2) return 2;
    if (kind == 1) return 0;
    int root = RootLength(full);
    bool created = false;
    int i = root;
    while (i <= full.GetLength()) {
        int j = i;
        while (j < full.GetLength() && !IsSep(full[j])) ++j;
        if (j > i) {
            CString prefix = full.Left(j);
            DWORD a = GetFileAttributesA(prefix);
            if (a == INVALID_FILE_ATTRIBUTES) {
                if (!CreateDirectoryA(prefix, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return 0;
                created = true;
            } else if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
                return 0;
            }
        }
        i = j + 1;
    }
    return created ? 1 : 2;
}

int PathCreateDirectoriesA(const char* path) { return PathCreateDirectoriesExA(path, 0); }

namespace {

// Tries name in folder (folder may be empty) with each suffix of the list.
bool TryProgramIn(const CString& folder, const char* name, const char* list, CString& found) {
    CString base = folder;
    if (!base.IsEmpty()) PathAddTrailingSeparatorStr(base);
    base += name;
    if (PathMatchExtensionListA(name, list) > 0 && PathGetKindA(base) == 1) {
        found = base;
        return true;
    }
    const char* p = list;
    for (;;) {
        const char* e = p;
        while (*e && *e != ';') ++e;
        CString candidate = base;
        if (e > p) candidate += "." + CString(p, int(e - p));
        if (PathGetKindA(candidate) == 1) {
            found = candidate;
            return true;
        }
        if (!*e) break;
        p = e + 1;
    }
    return false;
}

}  // namespace

BOOL PathSearchProgramA(char* out, const char* program, int size, const char* suffixList, int) {
    if (!out || size <= 0) return FALSE;
    out[0] = 0;
    if (!program || !*program) return FALSE;
    if (!suffixList) suffixList = "";
    CString found;
    bool ok = false;
    if (PathFileNameOffsetA(-1, program) > 0) {
        ok = TryProgramIn(CString(), program, suffixList, found);
    } else {
        char dir[kFullPathMax];
        if (GetProgramDirectoryA(dir, sizeof dir)) ok = TryProgramIn(CString(dir), program, suffixList, found);
        if (!ok) {
            DWORD n = GetEnvironmentVariableA("PATH", nullptr, 0);
            CString pathVar;
            if (n) {
                char* b = pathVar.GetBuffer(int(n));
                DWORD got = b ? GetEnvironmentVariableA("PATH", b, n) : 0;
                pathVar.ReleaseBuffer(got < n ? int(got) : 0);
            }
            int i = 0;
            while (!ok && i < pathVar.GetLength()) {
                int j = pathVar.Find(';', i);
                if (j < 0) j = pathVar.GetLength();
                CString folder = pathVar.Mid(i, j - i);
                folder.Trim();
                if (folder.GetLength() >= 2 && folder[0] == '"' && folder[folder.GetLength() - 1] == '"')
                    folder = folder.Mid(1, folder.GetLength() - 2);
                if (!folder.IsEmpty()) ok = TryProgramIn(folder, program, suffixList, found);
                i = j + 1;
            }
        }
    }
    if (!ok || found.GetLength() >= size) return FALSE;
    memcpy(out, found.GetString(), size_t(found.GetLength()) + 1);
    return TRUE;
}

int GetProgramDirectoryA(char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    char path[kFullPathMax];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path) {
        buffer[0] = 0;
        return 0;
    }
    int dir = PathFileNameOffsetA(int(n), path);
    if (dir + 1 > size) {
        buffer[0] = 0;
        return 0;
    }
    memcpy(buffer, path, size_t(dir));
    buffer[dir] = 0;
    return dir;
}

int ResolveNetworkPath(const char* path, char* out, int size) {
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!path) return 0;
    CString result(path);
    if (IsSep(path[0]) && IsSep(path[1])) {
        DWORD drives = GetLogicalDrives();
        for (int d = 0; d < 26; ++d) {
            if (!(drives & (1u << d))) continue;
            char local[3] = {char('A' + d), ':', 0};
            char root[4] = {char('A' + d), ':', '\\', 0};
            if (GetDriveTypeA(root) != DRIVE_REMOTE) continue;
            char remote[kFullPathMax];
            DWORD len = sizeof remote;
            if (WNetGetConnectionA(local, remote, &len) != NO_ERROR) continue;
            int rl = int(strlen(remote));
            while (rl > 0 && IsSep(remote[rl - 1])) --rl;
            int pl = int(strlen(path));
            if (rl >= 3 && pl >= rl && CompareFolded(path, rl, remote, rl, false) == 0 &&
                (pl == rl || IsSep(path[rl]))) {
                result = CString(local) + (pl == rl ? CString("\\") : CString(path + rl));
                break;
            }
        }
    }
    if (result.GetLength() >= size) return 0;
    memcpy(out, result.GetString(), size_t(result.GetLength()) + 1);
    return result.GetLength();
}
