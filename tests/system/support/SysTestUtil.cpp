// Helpers of the system-service tests.
#include "system/support/SysTestUtil.h"

#include <cstdio>

namespace systest {

bool MakeLargeFile(const std::string& path, long long size) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER li;
    li.QuadPart = size;
    bool ok = SetFilePointerEx(h, li, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return ok;
}

static FILETIME ToFileTime(long long t) {
    unsigned long long v = (unsigned long long)t * 10000000ULL + 116444736000000000ULL;
    FILETIME ft;
    ft.dwLowDateTime = DWORD(v);
    ft.dwHighDateTime = DWORD(v >> 32);
    return ft;
}

bool SetTimes(const std::string& path, long long created, long long written) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    FILETIME c = ToFileTime(created), w = ToFileTime(written);
    BOOL ok = SetFileTime(h, &c, nullptr, &w);
    CloseHandle(h);
    return ok != 0;
}

}  // namespace systest
