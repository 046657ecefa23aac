// The file lists of the benchmark programs.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Appends every file below folder, as its path relative to folder ('\' separators) after rel.
inline void BenchListFiles(const std::string& folder, const std::string& rel, std::vector<std::string>& out) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      BenchListFiles(folder + "\\" + name, rel + name + "\\", out);
    else
      out.push_back(rel + name);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
}
