// CSearchFileData: the bytes of one file for a search. Small files are read (straight into a
// new copy for the file cache when it has room), larger ones mapped; a file that cannot be
// searched as a whole says why instead.
#pragma once

#include <stdint.h>
#include <vector>

#include "app/ResultStamps.h"
#include "system/WinHandle.h"

class CStrList;

// The owner of one mapped view that UnmapViewOfFile releases.
class CMappedView {
public:
    CMappedView() = default;
    ~CMappedView() { Reset(nullptr); }
    CMappedView(const CMappedView&) = delete;
    CMappedView& operator=(const CMappedView&) = delete;
    void Reset(const void* view) {
        if (m_view) ::UnmapViewOfFile(m_view);
        m_view = view;
    }
    const void* Get() const { return m_view; }

private:
    const void* m_view = nullptr;
};

class CSearchFileData {
public:
    // Files up to this size are read; larger ones are mapped (no copy, and no large allocation
    // in a 32-bit address space). Under Wine reading costs half of what mapping does.
    enum : uint32_t { ReadMax = 4u << 20 };
    // Hit positions are 32-bit: longer files are not searched at all rather than in part.
    enum : int64_t { MaxSize = 0x7FFFFFFF };

    CSearchFileData() = default;
    ~CSearchFileData() { Close(); }
    CSearchFileData(const CSearchFileData&) = delete;
    CSearchFileData& operator=(const CSearchFileData&) = delete;

    // Opens path so that other programs' handles (writers and deleters included) do not block
    // it, and loads its bytes: read into a copy that joins cache (when cache is not null and
    // its total plus the size stays below cacheLimit) or into scratch, or mapped and then copied
    // into the cache when there is room. The file's stamp (Stamp) is read before its bytes.
    // Returns SKIP_NONE with Data, Size and Stamp set (Size 0 for an empty file), or
    // SKIP_OPEN, SKIP_READ or SKIP_TOO_LARGE (SearchSkipReason) with nothing loaded.
    int Load(const char* path, CStrList* cache, int64_t cacheLimit, std::vector<unsigned char>& scratch);
    // Takes bytes already read (malloc'd, size 1 or more, ownership passes) and the stamp read
    // before them: they join cache as path's copy when it has room, else they are freed on Close.
    void Adopt(const char* path, unsigned char* bytes, DWORD size, const FileStamp& stamp, CStrList* cache,
               int64_t cacheLimit);
    const unsigned char* Data() const { return m_pData; }
    int Size() const { return m_nSize; }
    const FileStamp& Stamp() const { return m_stamp; }
    // Releases the mapping and a copy the cache did not take.
    void Close();

private:
    CWinHandle m_file;
    CWinHandle m_mapping;
    CMappedView m_view;
    unsigned char* m_pOwned = nullptr;   // a copy the cache refused, freed on Close
    const unsigned char* m_pData = nullptr;
    int m_nSize = 0;
    FileStamp m_stamp;
};
