// Helpers of the system-service tests: temporary folders and files.
#pragma once

#include <windows.h>

#include <string>

namespace systest {

// A fresh folder below the temporary folder, removed with everything in it at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return m_path; }   // ends without separator
    std::string operator/(const std::string& rel) const { return m_path + "\\" + rel; }

private:
    std::string m_path;
};

// Writes bytes as a file's content (folders must exist). False on failure.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
// Makes a file of the given size without writing its bytes (sparse where the disk allows).
bool MakeLargeFile(const std::string& path, long long size);
// Sets a file's or folder's creation and write time to Unix seconds.
bool SetTimes(const std::string& path, long long created, long long written);
// Removes a folder tree (clearing read-only marks first).
void RemoveTree(const std::string& path);
// The folder of the running test program, with a trailing separator.
std::string ExeDir();

}  // namespace systest
