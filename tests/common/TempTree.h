// Temporary folders and whole files for the tests: a fresh folder removed with everything in
// it, writing and reading a file's bytes, and removing a folder tree.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace testcommon {

// The "\\?\" form of a full ANSI path (a trailing separator dropped): the wide functions reach
// paths past MAX_PATH and names the code page cannot spell through it.
inline std::wstring LongForm(const std::string &path) {
  int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), int(path.size()), nullptr, 0);
  std::wstring w(size_t(n), L'\0');
  if (n) MultiByteToWideChar(CP_ACP, 0, path.c_str(), int(path.size()), &w[0], n);
  while (!w.empty() && w.back() == L'\\') w.pop_back();
  return L"\\\\?\\" + w;
}

// Removes a folder (in the "\\?\" form) with everything below it, clearing read-only marks
// first. Missing is fine.
inline void RemoveTreeW(const std::wstring &dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring full = dir + L"\\" + name;
      SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTreeW(full);
      else
        DeleteFileW(full.c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  SetFileAttributesW(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(dir.c_str());
}

// Removes a folder with everything below it, long paths and names the code page cannot spell
// included, clearing read-only marks first. Missing is fine.
inline void RemoveTree(const std::string &dir) { RemoveTreeW(LongForm(dir)); }

// Writes bytes as a file's whole content (its folder must exist). False on failure.
inline bool WriteFileBytes(const std::string &path, const std::string &bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = bytes.empty() ||
            (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size());
  CloseHandle(h);
  return ok;
}

// A file's whole content; empty when it cannot be opened (*opened tells the two apart).
inline std::string ReadFileBytes(const std::string &path, bool *opened = nullptr) {
  std::string out;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (opened) *opened = h != INVALID_HANDLE_VALUE;
  if (h == INVALID_HANDLE_VALUE) return out;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
  CloseHandle(h);
  return out;
}

// Sets a file's or folder's creation and write time to Unix seconds (a negative creation time
// leaves that one alone). False on failure.
inline bool SetTimes(const std::string &path, long long created, long long written) {
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  auto ft = [](long long t) {
    unsigned long long v = (unsigned long long)t * 10000000ULL + 116444736000000000ULL;
    return FILETIME{DWORD(v), DWORD(v >> 32)};
  };
  FILETIME c = ft(created), w = ft(written);
  BOOL ok = SetFileTime(h, created < 0 ? nullptr : &c, nullptr, &w);
  CloseHandle(h);
  return ok != 0;
}

// Makes a file of the given size, zeros, without writing its bytes (sparse where the disk
// allows); tail, when given, is written at its end. False on failure.
inline bool MakeLargeFile(const std::string &path, long long size, const std::string &tail = "") {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER li;
  li.QuadPart = size - (long long)tail.size();
  DWORD put = 0;
  bool ok = SetFilePointerEx(h, li, nullptr, FILE_BEGIN) &&
            (tail.empty() ? SetEndOfFile(h) : WriteFile(h, tail.data(), DWORD(tail.size()), &put, nullptr));
  CloseHandle(h);
  return ok;
}

// The folder of the running test program, with a trailing separator.
inline std::string ExeDir() {
  char p[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, p, MAX_PATH);
  std::string s(p, n);
  return s.substr(0, s.find_last_of("\\/") + 1);
}

// A fresh folder below the temporary folder, named <prefix><process>_<serial>_<try>, removed
// with everything in it at destruction. Path() is empty when no folder could be made.
class TempDir {
 public:
  explicit TempDir(const char *prefix = "vmtest_") {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static LONG s_serial = 0;
    LONG serial = InterlockedIncrement(&s_serial);
    for (int i = 0; i < 1000; ++i) {
      char name[MAX_PATH];
      snprintf(name, sizeof name, "%s%s%lu_%ld_%d", base, prefix, GetCurrentProcessId(), serial, i);
      if (CreateDirectoryA(name, nullptr)) {
        path_ = name;
        return;
      }
    }
  }
  ~TempDir() {
    if (!path_.empty()) RemoveTree(path_);
  }
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::string &Path() const { return path_; }  // without a trailing separator
  std::string operator/(const std::string &rel) const { return path_ + "\\" + rel; }
  // Writes a file in the folder (its sub-folders must exist); returns its full path.
  std::string Write(const std::string &rel, const std::string &bytes) const {
    std::string path = *this / rel;
    WriteFileBytes(path, bytes);
    return path;
  }
  // Names of the entries in the folder (not recursive).
  std::vector<std::string> List() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path_ + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
      std::string name = fd.cFileName;
      if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
  }

 private:
  std::string path_;
};

}  // namespace testcommon
