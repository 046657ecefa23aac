// What a search saw of each file it found something in (size, last write time, identity), so
// that the commands that write at the found positions leave alone a file that changed since:
// its positions would land in other bytes.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "system/Paths.h"

class CStrList;
struct OpenFileInfo;

struct FileStamp {
    bool known = false;   // false: nothing was seen (the file gets no stamp)
    uint64_t size = 0;
    FILETIME written = {0, 0};
    uint64_t index = 0;   // the file's identity on its volume; 0 when not read
};

// The stamp of an open file (size, last write time, identity). False when it cannot be read.
bool ReadHandleStamp(HANDLE file, FileStamp* stamp);
// The stamp in what a query of an open file told (none when the query failed).
FileStamp StampOf(const OpenFileInfo& info);
// The stamp of a copy that the file cache served: its size and the exact write time the
// cache's check saw; the identity is not known.
FileStamp CachedFileStamp(uint64_t size, const FILETIME& written);
// The stamp of the file at path; false when it cannot be opened or read.
bool ReadFileStamp(const char* path, FileStamp* stamp);

class CResultStamps {
public:
    void Clear() { m_stamps.clear(); }
    // Notes what the search saw of every path in names: seen[i] belongs to names' entry i
    // (an entry without a known stamp gets none, so its file counts as changed).
    void Capture(const CStrList& names, const std::vector<FileStamp>& seen);
    // True when path was noted and its size, write time and (when noted) identity are still
    // the same.
    bool Unchanged(const char* path) const;
    // The same with the stamp of the file as it is now, read by the caller from its handle.
    bool Unchanged(const char* path, const FileStamp& now) const;
    // After the program itself rewrote path: its new stamp counts.
    void Renew(const char* path);
    // The same with the new file's stamp as the caller read it (none known: path is dropped).
    void Renew(const char* path, const FileStamp& now);

private:
    std::map<std::string, FileStamp, PathLess> m_stamps;  // by path, as the file system compares them
};

// The message for a file that changed since the search (path as its argument).
extern const char kChangedSinceSearch[];
