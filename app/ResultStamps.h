// What a search saw of each file it found something in (size, last write time, identity), so
// that the commands that write at the found positions leave alone a file that changed since:
// its positions would land in other bytes.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

class CStrList;

struct FileStamp {
    uint64_t size;
    FILETIME written;
    DWORD volume, indexHigh, indexLow;
};

// The file's stamp; false when it cannot be read.
bool ReadFileStamp(const char* path, FileStamp* stamp);

class CResultStamps {
public:
    void Clear() { m_stamps.clear(); }
    // Notes the stamp of every path in names (a file that cannot be read gets none).
    void Capture(const CStrList& names);
    // True when path was noted and its stamp is still the same.
    bool Unchanged(const char* path) const;
    // After the program itself rewrote path: its new stamp counts.
    void Renew(const char* path);

private:
    std::map<std::string, FileStamp> m_stamps;  // by path with ASCII letters folded
};

// The message for a file that changed since the search (path as its argument).
extern const char kChangedSinceSearch[];
