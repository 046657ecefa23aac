// Files.
#include "system/Files.h"

#include <cstdlib>
#include <cstring>

#include "system/Paths.h"
#include "system/WinHandle.h"

namespace {

const int kFullPathMax = 1024;

bool FileAttributes(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data) {
    return path && *path && GetFileAttributesExA(path, GetFileExInfoStandard, data);
}

}  // namespace

// ----- file information --------------------------------------------------------------------

namespace {

int ErrorCode(DWORD err) {
    switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_NO_MORE_FILES:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return FILE_ERR_NOT_FOUND;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
        return FILE_ERR_BAD_PATH;
    default:
        return FILE_ERR_OTHER;
    }
}

}  // namespace

int FileStat(const char* path, FileInfo* info) {
    if (!path || !*path || !info) return FILE_ERR_BAD_PATH;
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &d)) return ErrorCode(GetLastError());
    info->dwAttributes = d.dwFileAttributes;
    info->nSize = (uint64_t(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    info->ftCreation = d.ftCreationTime;
    info->ftLastAccess = d.ftLastAccessTime;
    info->ftLastWrite = d.ftLastWriteTime;
    return 0;
}

int FileFindFirst(const char* path, FileInfo* info) {
    if (!path || !*path || !info) return FILE_ERR_BAD_PATH;
    size_t n = strlen(path);
    if (path[n - 1] == '\\' || path[n - 1] == '/' || (n == 2 && path[1] == ':')) return FileStat(path, info);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(path, &fd);
    if (h == INVALID_HANDLE_VALUE) return ErrorCode(GetLastError());
    FindClose(h);
    info->dwAttributes = fd.dwFileAttributes;
    info->nSize = (uint64_t(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    info->ftCreation = fd.ftCreationTime;
    info->ftLastAccess = fd.ftLastAccessTime;
    info->ftLastWrite = fd.ftLastWriteTime;
    return 0;
}

uint32_t FileInfoGetTime(const FileInfo* info) {
    if (!info) return 0;
    uint32_t t = FileTimeToUnixSecondsClamped(info->ftLastWrite);
    if (!t) t = FileTimeToUnixSecondsClamped(info->ftCreation);
    if (!t) t = FileTimeToUnixSecondsClamped(info->ftLastAccess);
    return t;
}

// ----- sizes and times -----------------------------------------------------------------------

DWORD FileGetSizeA(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!FileAttributes(path, &d) || (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return 0xFFFFFFFFu;
    return d.nFileSizeLow;
}

uint32_t FileTimeToUnixSecondsClamped(const FILETIME& ft) {
    int64_t t = (int64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    t = (t - 116444736000000000LL) / 10000000LL;
    if (t < 0) return 0;
    if (t > 0x7FFFFFFF) return 0x7FFFFFFF;
    return uint32_t(t);
}

void UnixSecondsToFileTime(int64_t seconds, FILETIME* out) {
    if (!out) return;
    if (seconds <= 0) {
        out->dwLowDateTime = out->dwHighDateTime = 0;
        return;
    }
    uint64_t t = uint64_t(seconds) * 10000000ULL + 116444736000000000ULL;
    out->dwLowDateTime = DWORD(t);
    out->dwHighDateTime = DWORD(t >> 32);
}

uint32_t FileGetUnixTimeA(const char* path, int kind) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!FileAttributes(path, &d)) return 0;
    const FILETIME& ft = kind == 1 ? d.ftCreationTime : (kind == 2 ? d.ftLastAccessTime : d.ftLastWriteTime);
    return FileTimeToUnixSecondsClamped(ft);
}

int FileTimeDiffersA(uint32_t timeLow, uint32_t timeHigh, const char* path, int mode) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!FileAttributes(path, &d)) return 1;
    if (mode == 0) return (d.ftLastWriteTime.dwLowDateTime != timeLow || d.ftLastWriteTime.dwHighDateTime != timeHigh);
    uint32_t t = FileTimeToUnixSecondsClamped(d.ftLastWriteTime);
    if (mode == 2) return (t & ~1u) != (timeLow & ~1u);
    return t != timeLow;
}

// ----- contents ------------------------------------------------------------------------------

int FileContentsEqualA(const char* pathA, const char* pathB) {
    if (!pathA || !pathB || !*pathA || !*pathB) return 0;
    CWinHandle a(CreateFileA(pathA, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    CWinHandle b(CreateFileA(pathB, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!a || !b) return 0;
    LARGE_INTEGER sa, sb;
    if (!GetFileSizeEx(a.Get(), &sa) || !GetFileSizeEx(b.Get(), &sb) || sa.QuadPart != sb.QuadPart) return 0;
    char ba[4096], bb[4096];
    for (;;) {
        DWORD ga = 0, gb = 0;
        if (!ReadFile(a.Get(), ba, sizeof ba, &ga, nullptr) || !ReadFile(b.Get(), bb, sizeof bb, &gb, nullptr))
            return 0;
        if (ga != gb) return 0;
        if (!ga) return 1;
        if (memcmp(ba, bb, ga) != 0) return 0;
    }
}

namespace {

bool WriteAll(HANDLE h, const void* data, int length) {
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
        DWORD put = 0;
        if (!WriteFile(h, p, DWORD(length), &put, nullptr) || put == 0) return false;
        p += put;
        length -= int(put);
    }
    return true;
}

}  // namespace

BOOL FileWriteAllA(const char* path, const void* data, int length, int append) {
    if (!path || !*path || length < 0 || (!data && length)) return FALSE;
    if (append) {
        CWinHandle h(CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
        if (!h) return FALSE;
        return WriteAll(h.Get(), data, length);
    }
    char dir[kFullPathMax];
    if (!PathGetFullDirectoryA(dir, path, sizeof dir)) return FALSE;
    char temp[kFullPathMax + 16];
    if (strlen(dir) + 14 >= MAX_PATH || !GetTempFileNameA(dir, "vm", 0, temp)) return FALSE;
    bool ok;
    {
        CWinHandle h(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ok = h && WriteAll(h.Get(), data, length);
    }
    DWORD oldAttr = GetFileAttributesA(path);
    if (ok) ok = MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) {
        DeleteFileA(temp);
        return FALSE;
    }
    // Keep the replaced file's hidden/system/archive marks.
    if (oldAttr != INVALID_FILE_ATTRIBUTES && !(oldAttr & FILE_ATTRIBUTE_DIRECTORY) &&
        (oldAttr & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
        SetFileAttributesA(path, oldAttr & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    return TRUE;
}

int DeleteFileForceA(const char* path) {
    if (!path || !*path) return 0;
    if (DeleteFileA(path)) return 1;
    if (GetLastError() != ERROR_ACCESS_DENIED) return 0;
    DWORD attr = GetFileAttributesA(path);
    if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    if (!SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL)) return 0;
    if (DeleteFileA(path)) return 1;
    SetFileAttributesA(path, attr);  // still there: give it its attributes back
    return 0;
}
