#include "app/ResultStamps.h"

#include "system/SafeFile.h"
#include "system/StrList.h"
#include "system/WinHandle.h"

const char kChangedSinceSearch[] = "Die Datei\n%s\nwurde seit der Suche verändert und wird nicht geändert.";

namespace {

std::string Key(const char* path) { return path ? path : ""; }

}  // namespace

bool ReadHandleStamp(HANDLE file, FileStamp* stamp)
{
    OpenFileInfo info;
    if (!QueryOpenFile(file, &info, true))
        return false;
    *stamp = StampOf(info);
    return true;
}

FileStamp StampOf(const OpenFileInfo& info)
{
    FileStamp stamp;
    if (!info.known)
        return stamp;
    stamp.known = true;
    stamp.size = info.size;
    stamp.written = info.written;
    stamp.index = info.index;
    return stamp;
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
    FileStamp now;
    return ReadFileStamp(path, &now) && Unchanged(path, now);
}

bool CResultStamps::Unchanged(const char* path, const FileStamp& now) const
{
    auto it = m_stamps.find(Key(path));
    if (it == m_stamps.end() || !now.known)
        return false;
    const FileStamp& was = it->second;
    // A copy served by the file cache was seen without its identity.
    return was.size == now.size && CompareFileTime(&was.written, &now.written) == 0 &&
           (was.index == 0 || was.index == now.index);
}

void CResultStamps::Renew(const char* path)
{
    FileStamp s;
    ReadFileStamp(path, &s);
    Renew(path, s);
}

void CResultStamps::Renew(const char* path, const FileStamp& now)
{
    if (now.known)
        m_stamps[Key(path)] = now;
    else
        m_stamps.erase(Key(path));
}
