// The bytes of one file for a search.
#include "app/SearchFileData.h"

#include <cstdlib>

#include "app/FileCache.h"
#include "system/SkippedFiles.h"
#include "system/Files.h"

namespace {

// Reads up to size bytes from the file's start into buf; *got gets the bytes read (fewer when
// the file has shrunk meanwhile). False on a read error.
bool ReadAll(HANDLE file, unsigned char* buf, DWORD size, DWORD* got)
{
    *got = 0;
    while (*got < size) {
        DWORD n = 0;
        if (!ReadFile(file, buf + *got, size - *got, &n, nullptr))
            return false;
        if (n == 0)
            break;
        *got += n;
    }
    return true;
}

} // namespace

void CSearchFileData::Close()
{
    m_view.Reset(nullptr);
    m_mapping.Close();
    m_file.Close();
    free(m_pOwned);
    m_pOwned = nullptr;
    m_pData = nullptr;
    m_nSize = 0;
    m_stamp = FileStamp();
}

void CSearchFileData::Adopt(const char* path, unsigned char* bytes, DWORD size, const FileStamp& stamp,
                            CStrList* cache, int64_t cacheLimit)
{
    Close();
    m_stamp = stamp;
    uint32_t writeTime = FileTimeToUnixSecondsClamped(stamp.written);
    if (!(FileCacheHasRoom(cache, cacheLimit, size) && FileCacheInsert(cache, path, bytes, size, writeTime)))
        m_pOwned = bytes;
    m_pData = bytes;
    m_nSize = (int)size;
}

int CSearchFileData::Load(const char* path, CStrList* cache, int64_t cacheLimit,
                          std::vector<unsigned char>& scratch)
{
    Close();
    m_file.Reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!m_file)
        return SKIP_OPEN;
    // Read before the bytes: a change in between makes the copy look stale, never a stale
    // copy look current.
    if (!ReadHandleStamp(m_file.Get(), &m_stamp)) {
        Close();
        return SKIP_READ;
    }
    if (m_stamp.size > uint64_t(MaxSize)) {
        Close();
        return SKIP_TOO_LARGE;
    }
    const DWORD size = (DWORD)m_stamp.size;
    const uint32_t writeTime = FileTimeToUnixSecondsClamped(m_stamp.written);
    if (size == 0) {
        m_file.Close();
        return SKIP_NONE;
    }

    if (size <= ReadMax) {
        unsigned char* copy = cache ? FileCacheAlloc(cache, cacheLimit, size) : nullptr;
        unsigned char* buf = copy;
        if (!buf) {
            if (scratch.size() < size)
                scratch.resize(size);
            buf = scratch.data();
        }
        DWORD got = 0;
        bool ok = ReadAll(m_file.Get(), buf, size, &got);
        m_file.Close();
        if (!ok) {
            free(copy);
            return SKIP_READ;
        }
        if (copy && !(got > 0 && FileCacheInsert(cache, path, copy, got, writeTime)))
            m_pOwned = copy;
        m_pData = buf;
        m_nSize = (int)got;
        return SKIP_NONE;
    }

    m_mapping.Reset(CreateFileMappingA(m_file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (m_mapping)
        m_view.Reset(MapViewOfFile(m_mapping.Get(), FILE_MAP_READ, 0, 0, size));
    if (!m_view.Get()) {
        Close();
        return SKIP_READ;
    }
    m_pData = static_cast<const unsigned char*>(m_view.Get());
    m_nSize = (int)size;
    if (cache)
        FileCacheAdd(cache, cacheLimit, path, m_pData, size, writeTime);
    return SKIP_NONE;
}
