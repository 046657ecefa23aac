// Files and folders near and past MAX_PATH for the tests: made, marked and removed through the
// wide functions' "\\?\" form, which the ANSI functions cannot reach.
#pragma once
#include <windows.h>

#include <string>

#include "common/TempTree.h"

namespace testcommon {

// folder (ending in '\') + fill characters + suffix, exactly total characters long.
inline std::string PaddedPath(const std::string &folder, size_t total, char fill, const std::string &suffix = "") {
  size_t used = folder.size() + suffix.size();
  return folder + std::string(total > used ? total - used : 0, fill) + suffix;
}

inline bool MakeLongFolder(const std::string &path) {
  return CreateDirectoryW(LongForm(path).c_str(), nullptr) != FALSE;
}

inline bool MakeLongFile(const std::string &path, const std::string &content = "x") {
  HANDLE h = CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = WriteFile(h, content.data(), DWORD(content.size()), &put, nullptr) && put == content.size();
  CloseHandle(h);
  return ok;
}

inline bool SetLongAttributes(const std::string &path, DWORD attributes) {
  return SetFileAttributesW(LongForm(path).c_str(), attributes) != FALSE;
}

// Sets creation, access and write time to 15 June of the year, noon (UTC).
inline bool SetLongTimes(const std::string &path, int year) {
  SYSTEMTIME st = {};
  st.wYear = WORD(year);
  st.wMonth = 6;
  st.wDay = 15;
  st.wHour = 12;
  FILETIME ft;
  if (!SystemTimeToFileTime(&st, &ft)) return false;
  HANDLE h = CreateFileW(LongForm(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BOOL ok = SetFileTime(h, &ft, &ft, &ft);
  CloseHandle(h);
  return ok != FALSE;
}

}  // namespace testcommon
