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

}  // namespace

bool ReadFileStamp(const char* path, FileStamp* stamp)
{
    CWinHandle h(CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             0, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!h || !GetFileInformationByHandle(h.Get(), &info))
        return false;
    stamp->size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp->written = info.ftLastWriteTime;
    stamp->volume = info.dwVolumeSerialNumber;
    stamp->indexHigh = info.nFileIndexHigh;
    stamp->indexLow = info.nFileIndexLow;
    return true;
}

void CResultStamps::Capture(const CStrList& names)
{
    m_stamps.clear();
    for (int i = 0; i < names.m_nCount; ++i)
        Renew(names.GetString(i));
}

bool CResultStamps::Unchanged(const char* path) const
{
    auto it = m_stamps.find(Key(path));
    FileStamp now;
    if (it == m_stamps.end() || !ReadFileStamp(path, &now))
        return false;
    const FileStamp& was = it->second;
    return was.size == now.size && CompareFileTime(&was.written, &now.written) == 0 && was.volume == now.volume &&
           was.indexHigh == now.indexHigh && was.indexLow == now.indexLow;
}

void CResultStamps::Renew(const char* path)
{
    FileStamp s;
    if (ReadFileStamp(path, &s))
        m_stamps[Key(path)] = s;
    else
        m_stamps.erase(Key(path));
}
