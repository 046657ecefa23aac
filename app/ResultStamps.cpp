#include "app/ResultStamps.h"

#include "system/StrList.h"
#include "system/WinHandle.h"

const char kChangedSinceSearch[] = "Die Datei\n%s\nwurde seit der Suche verändert und wird nicht geändert.";

namespace {

std::string Key(const char* path)
{
    std::string k(path ? path : "");
    for (char& c : k)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return k;
}

// The file index through ntdll (the same number GetFileInformationByHandle gives).
typedef LONG(WINAPI* NtQueryInformationFileFn)(HANDLE, void* status, void* info, ULONG size, int infoClass);
const int kFileInternalInformation = 6;

bool ReadFileIndex(HANDLE h, uint64_t* index)
{
    static const NtQueryInformationFileFn query = reinterpret_cast<NtQueryInformationFileFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile")));
    ULONG_PTR status[2];
    LARGE_INTEGER value;
    if (!query || query(h, status, &value, sizeof value, kFileInternalInformation) < 0)
        return false;
    *index = uint64_t(value.QuadPart);
    return true;
}

}  // namespace

bool ReadHandleStamp(HANDLE file, FileStamp* stamp)
{
    // Not GetFileInformationByHandle: its volume serial asks the mount manager, a round trip
    // to another process per file.
    FILE_BASIC_INFO basic;
    LARGE_INTEGER size;
    uint64_t index = 0;
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) || !GetFileSizeEx(file, &size) ||
        !ReadFileIndex(file, &index))
        return false;
    stamp->known = true;
    stamp->size = uint64_t(size.QuadPart);
    stamp->written.dwLowDateTime = basic.LastWriteTime.LowPart;
    stamp->written.dwHighDateTime = DWORD(basic.LastWriteTime.HighPart);
    stamp->index = index;
    return true;
}

FileStamp CachedFileStamp(uint64_t size, const FILETIME& written)
{
    FileStamp stamp;
    stamp.known = true;
    stamp.size = size;
    stamp.written = written;
    return stamp;
}

bool ReadFileStamp(const char* path, FileStamp* stamp)
{
    CWinHandle h(CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr));
    return h && ReadHandleStamp(h.Get(), stamp);
}

void CResultStamps::Capture(const CStrList& names, const std::vector<FileStamp>& seen)
{
    m_stamps.clear();
    for (int i = 0; i < names.m_nCount && i < int(seen.size()); ++i)
        if (seen[size_t(i)].known)
            m_stamps[Key(names.GetString(i))] = seen[size_t(i)];
}

bool CResultStamps::Unchanged(const char* path) const
{
    auto it = m_stamps.find(Key(path));
    FileStamp now;
    if (it == m_stamps.end() || !ReadFileStamp(path, &now))
        return false;
    const FileStamp& was = it->second;
    // A copy served by the file cache was seen without its identity.
    return was.size == now.size && CompareFileTime(&was.written, &now.written) == 0 &&
           (was.index == 0 || was.index == now.index);
}

void CResultStamps::Renew(const char* path)
{
    FileStamp s;
    if (ReadFileStamp(path, &s))
        m_stamps[Key(path)] = s;
    else
        m_stamps.erase(Key(path));
}
