// CMapFile and CStream.
#include "system/MapFile.h"

#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------------------------------------
// CMapFile

CMapFile::CMapFile() : m_pData(nullptr), m_dwSize(0) {}

CMapFile::~CMapFile() { Close(); }

BYTE* CMapFile::Open(const char* path, int flags, const char* mappingName, DWORD size) {
    Close();
    if (!path || !*path) return nullptr;
    bool write = (flags & ReadWrite) != 0;
    HANDLE h = CreateFileA(path, write ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ,
                           write ? FILE_SHARE_READ : (FILE_SHARE_READ | FILE_SHARE_WRITE), nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    m_file.Reset(h);
    LARGE_INTEGER li;
    if (!GetFileSizeEx(h, &li) || li.HighPart != 0) {
        // A file of 4 GB or more never fits; mapping a part of it would pass for the whole.
        Close();
        return nullptr;
    }
    DWORD mapSize = size ? size : li.LowPart;
    if (mapSize == 0 || (!write && mapSize > li.LowPart)) {
        Close();
        return nullptr;
    }
    HANDLE m = CreateFileMappingA(h, nullptr, write ? PAGE_READWRITE : PAGE_READONLY, 0, size ? mapSize : 0,
                                  mappingName);
    if (!m) {
        Close();
        return nullptr;
    }
    m_mapping.Reset(m);
    void* p = MapViewOfFile(m, write ? (FILE_MAP_READ | FILE_MAP_WRITE) : FILE_MAP_READ, 0, 0, mapSize);
    if (!p) {
        Close();
        return nullptr;
    }
    m_pData = static_cast<BYTE*>(p);
    m_dwSize = mapSize;
    return m_pData;
}

void CMapFile::Close() {
    if (m_pData) UnmapViewOfFile(m_pData);
    m_pData = nullptr;
    m_dwSize = 0;
    m_mapping.Close();
    m_file.Close();
}

// ---------------------------------------------------------------------------------------------
// CStream

CStream::CStream(int bufferSize)
    : m_nMode(-1), m_pBuffer(nullptr), m_nBufferSize(bufferSize < 16 ? 16 : bufferSize), m_nPos(0), m_nFill(0),
      m_bError(false), m_bEof(false) {}

CStream::~CStream() {
    Close();
    free(m_pBuffer);
}

BOOL CStream::Open(const char* name, int mode, int) {
    Close();
    if (!name || !*name || (mode != ModeRead && mode != ModeCreate)) return FALSE;
    if (!m_pBuffer) {
        m_pBuffer = static_cast<char*>(malloc(size_t(m_nBufferSize)));
        if (!m_pBuffer) return FALSE;
    }
    HANDLE h;
    if (mode == ModeRead)
        h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    else
        h = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return FALSE;
    m_file.Reset(h);
    m_nMode = mode;
    m_nPos = m_nFill = 0;
    m_bError = m_bEof = false;
    return TRUE;
}

bool CStream::Fill() {
    if (m_bEof || m_bError || !m_file || m_nMode != ModeRead) return false;
    DWORD got = 0;
    if (!ReadFile(m_file.Get(), m_pBuffer, DWORD(m_nBufferSize), &got, nullptr)) {
        m_bError = true;
        return false;
    }
    m_nPos = 0;
    m_nFill = int(got);
    if (!got) m_bEof = true;
    return got != 0;
}

int CStream::PeekByte() {
    if (m_nPos >= m_nFill && !Fill()) return -1;
    return (unsigned char)m_pBuffer[m_nPos];
}

int CStream::ReadLine(char* buffer, int size) {
    if (!buffer || size < 2 || m_nMode != ModeRead) {
        if (buffer && size > 0) buffer[0] = 0;
        return -1;
    }
    int len = 0;
    bool any = false;
    for (;;) {
        if (m_nPos >= m_nFill && !Fill()) break;
        any = true;
        // Copy up to the next line end or until the piece is full.
        const char* start = m_pBuffer + m_nPos;
        int avail = m_nFill - m_nPos;
        int room = size - 1 - len;
        int take = avail < room ? avail : room;
        int k = 0;
        while (k < take && start[k] != '\r' && start[k] != '\n') ++k;
        memcpy(buffer + len, start, size_t(k));
        len += k;
        m_nPos += k;
        if (k < take) {
            // A line end: CR, LF or CR LF.
            char c = m_pBuffer[m_nPos++];
            if (c == '\r' && PeekByte() == '\n') ++m_nPos;
            buffer[len] = 0;
            return len;
        }
        if (len == size - 1) {
            // A full piece: a line end right behind it ends this piece.
            int c = PeekByte();
            if (c == '\r') {
                ++m_nPos;
                if (PeekByte() == '\n') ++m_nPos;
            } else if (c == '\n') {
                ++m_nPos;
            }
            buffer[len] = 0;
            return len;
        }
    }
    buffer[len] = 0;
    if (!any || (len == 0 && m_bError)) return -1;
    return len;
}

int CStream::Read(void* data, int length) {
    if (m_nMode != ModeRead || !data || length < 0) return -1;
    int done = 0;
    char* out = static_cast<char*>(data);
    while (done < length) {
        if (m_nPos >= m_nFill && !Fill()) break;
        int n = m_nFill - m_nPos;
        if (n > length - done) n = length - done;
        memcpy(out + done, m_pBuffer + m_nPos, size_t(n));
        m_nPos += n;
        done += n;
    }
    if (!done && m_bError) return -1;
    return done;
}

BOOL CStream::Flush() {
    if (m_nMode != ModeCreate || !m_file) return FALSE;
    int off = 0;
    while (off < m_nFill && !m_bError) {
        DWORD put = 0;
        if (!WriteFile(m_file.Get(), m_pBuffer + off, DWORD(m_nFill - off), &put, nullptr) || put == 0)
            m_bError = true;
        off += int(put);
    }
    m_nFill = 0;
    return !m_bError;
}

int CStream::Write(const void* data, int length) {
    if (m_nMode != ModeCreate || !m_file || !data || length <= 0) return 0;
    const char* in = static_cast<const char*>(data);
    int done = 0;
    while (done < length) {
        if (m_bError) break;
        if (m_nFill == m_nBufferSize && !Flush()) break;
        int n = m_nBufferSize - m_nFill;
        if (n > length - done) n = length - done;
        memcpy(m_pBuffer + m_nFill, in + done, size_t(n));
        m_nFill += n;
        done += n;
    }
    return done;
}

BOOL CStream::Close() {
    BOOL ok = TRUE;
    if (m_file && m_nMode == ModeCreate) {
        ok = Flush();
    }
    if (m_file && m_bError) ok = FALSE;
    m_file.Close();
    m_nMode = -1;
    m_nPos = m_nFill = 0;
    m_bError = m_bEof = false;
    return ok;
}
