// Files in memory and buffered file streams: CMapFile maps a whole file for reading or
// writing, CStream reads lines and writes bytes through a buffer.
#pragma once

#include <windows.h>

#include "system/WinHandle.h"

class CMapFile {
public:
    enum { ReadWrite = 1 };

    BYTE* m_pData;      // the mapped bytes, null while closed
    DWORD m_dwSize;     // the file's size (or the mapped size) in bytes

    CMapFile();
    ~CMapFile();        // closes
    CMapFile(const CMapFile&) = delete;
    CMapFile& operator=(const CMapFile&) = delete;

    // Closes what is open, then maps the file path: flags 0 for reading (others may read and
    // write it meanwhile), bit 0 (ReadWrite) for reading and writing (others may only read).
    // mappingName names the mapping object (null: none). size 0 maps the whole file; another
    // size maps that many bytes, which for ReadWrite grows the file when it is shorter.
    // Returns the mapped bytes, or null when the file cannot be opened or mapped: an empty
    // file, a folder, a missing file, or one too large for the address space (4 GB or more
    // always fails).
    BYTE* Open(const char* path, int flags = 0, const char* mappingName = nullptr, DWORD size = 0);
    // Unmaps and closes; the data written through a ReadWrite mapping reaches the file.
    void Close();
    bool IsOpen() const { return m_pData != nullptr; }

private:
    CWinHandle m_file;
    CWinHandle m_mapping;
};

class CStream {
public:
    enum { ModeRead = 0, ModeCreate = 2 };

    // bufferSize: bytes of the stream's buffer (at least 16).
    explicit CStream(int bufferSize = 32768);
    ~CStream();         // closes (flushing what was written)
    CStream(const CStream&) = delete;
    CStream& operator=(const CStream&) = delete;

    // Opens name: mode 0 reads an existing file (others may read it too); mode 2 creates the
    // file or empties an existing one, for writing. The third argument is reserved (0).
    // False when the file cannot be opened or the mode is unknown.
    BOOL Open(const char* name, int mode, int reserved = 0);
    // Reads the next line into buffer without its end and terminates it. A line ends at CR,
    // LF or CR LF (consumed). At most size-1 bytes are taken: a longer line comes in pieces,
    // and a line end directly after a full piece belongs to that piece. Returns the length,
    // or -1 at the end of the file (or on a read error, or when size < 2).
    int ReadLine(char* buffer, int size);
    // Reads up to length bytes; returns the bytes read (0 at the end, -1 on error).
    int Read(void* data, int length);
    // Writes length bytes through the buffer; returns the bytes taken (less than length only
    // when writing to the file failed).
    int Write(const void* data, int length);
    // Writes the buffer out. False when writing failed now or earlier.
    BOOL Flush();
    // Flushes and closes. False when any write failed.
    BOOL Close();
    bool IsOpen() const { return m_file.Get() != nullptr; }

private:
    bool Fill();        // reads the next buffer; false at the end or on error
    int PeekByte();     // next byte or -1 at the end

    CWinHandle m_file;
    int m_nMode;
    char* m_pBuffer;
    int m_nBufferSize;
    int m_nPos;         // read position within the buffer
    int m_nFill;        // bytes in the buffer (reading) / bytes waiting (writing)
    bool m_bError;
    bool m_bEof;
};
