// The machinery of the commands that rewrite files. CSafeFileWriter rewrites a file without
// ever losing it: the new content goes to a temporary file beside the target; only a complete,
// checked write replaces the target, in one step. CSourceFile reads a file through one handle
// whose one query tells its attributes, size, write time and identity. CRewriteBuffer holds the
// bytes a job reuses from file to file; CFileView maps an open file for reading.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "system/WinHandle.h"

// The suffix of the temporary file that the file commands write beside the file they change.
extern const char kSafeTempSuffix[];  // ".vellmorant.tmp"

// What one query of an open file tells.
struct OpenFileInfo {
    bool known = false;       // false: the query failed, nothing below is set
    DWORD attributes = 0;
    uint64_t size = 0;
    FILETIME written = {0, 0};
    uint64_t index = 0;       // the file's identity on its volume; 0 when not asked for
};

// Queries an open file: attributes, size and last write time, and with withIndex its identity.
// False (info->known false) when the handle cannot be queried.
bool QueryOpenFile(HANDLE file, OpenFileInfo* info, bool withIndex);

enum {
    SAFE_OK = 0,
    SAFE_ERR_PATH = -1,     // null, empty or too long a path
    SAFE_ERR_CREATE = -2,   // the temporary file could not be created
    SAFE_ERR_WRITE = -3,    // a write or the final flush and close failed
    SAFE_ERR_REPLACE = -4,  // the target could not be replaced (it is kept as it was)
    SAFE_ERR_STATE = -5,    // no file open
};

// One writer serves a job's files one after another: its buffer is allocated once, and the
// new content reaches the disk in writes of kBufferSize bytes (or one per smaller file).
class CSafeFileWriter {
public:
    enum { kBufferSize = 1 << 20 };

    CSafeFileWriter() = default;
    // Deletes an uncommitted temporary file.
    ~CSafeFileWriter();
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;

    // Starts the rewrite of target through the temporary file target + suffix (a stale one is
    // replaced). Aborts any file still open. With deferCreate the temporary file is created only
    // when the first full buffer is written or at Commit, so that an Abort before creates
    // nothing. SAFE_OK, SAFE_ERR_PATH (target + suffix longer than MAX_PATH - 1) or
    // SAFE_ERR_CREATE (not with deferCreate).
    int Open(const char* target, const char* suffix = kSafeTempSuffix, bool deferCreate = false);
    // The file Commit replaces when the code page cannot spell the target's name (UTF-16, a full
    // path in the folder of the target given to Open, which then only places the temporary
    // file); null or "" for none. Only while open; Open and Abort clear it.
    void SetTargetNameW(const wchar_t* target);
    // The target's attributes as the caller has just read them (INVALID_FILE_ATTRIBUTES: it does
    // not exist), for Commit, which then does not ask again. Only while open.
    void SetTargetAttributes(DWORD attributes);
    // Appends length bytes. SAFE_OK, SAFE_ERR_STATE, SAFE_ERR_CREATE (deferred creation failed)
    // or SAFE_ERR_WRITE; after a failure the writer refuses every further call but Abort.
    int Write(const void* data, size_t length);
    // Writes what is buffered, flushes and closes the temporary file, then moves it over the
    // target in one step. The target's read-only, hidden and system marks carry over to the new
    // file; a read-only target is replaced too. On any failure the temporary file is deleted and
    // the target is untouched. written (may be null) gets what the temporary file's handle told
    // of the new file before it was closed. SAFE_OK, SAFE_ERR_STATE, SAFE_ERR_CREATE,
    // SAFE_ERR_WRITE or SAFE_ERR_REPLACE.
    int Commit(OpenFileInfo* written = nullptr);
    // Closes and deletes the temporary file; the target stays as it was. Safe to call twice.
    void Abort();

    bool IsOpen() const { return m_open; }
    uint64_t Written() const { return m_written; }
    const char* TargetPath() const { return m_target; }
    const char* TempPath() const { return m_temp; }

private:
    int Create();
    int FlushBuffer();

    CWinHandle m_file;
    bool m_open = false;
    bool m_created = false;      // the temporary file exists
    int m_failed = SAFE_OK;      // the first failure; SAFE_OK while there is none
    uint64_t m_written = 0;
    DWORD m_targetAttributes = 0;
    bool m_targetKnown = false;
    std::unique_ptr<char[]> m_buffer;   // null: every write goes straight to the file
    size_t m_used = 0;
    char m_target[MAX_PATH] = {};
    char m_temp[MAX_PATH] = {};
    std::wstring m_targetW;      // the target by its own name, when set

};

// A German sentence for a result code of CSafeFileWriter, for messages such as
// "Fehler beim Schreiben von:\n%s"; "" for SAFE_OK.
const char* SafeFileErrorText(int code);

// A file opened once for reading, others may read and write it meanwhile.
class CSourceFile {
public:
    // Closes what is open, opens path and queries it (withIndex: its identity too). False when
    // it cannot be opened or queried.
    bool Open(const char* path, bool withIndex = false);
    void Close() { m_file.Close(); }
    bool IsOpen() const { return bool(m_file); }
    HANDLE Handle() const { return m_file.Get(); }
    // What the query at Open told.
    const OpenFileInfo& Info() const { return m_info; }
    // Reads up to length bytes at offset with one call: the count (0 at the end of the file),
    // or -1 on an error.
    long long ReadAt(uint64_t offset, void* data, size_t length);
    // Reads length bytes at offset, as many calls as it takes; false on an error or when the
    // file ends before.
    bool ReadFull(uint64_t offset, void* data, size_t length);

private:
    CWinHandle m_file;
    OpenFileInfo m_info;
    uint64_t m_pos = 0;   // where the next read without a seek begins
};

// Bytes a job reuses from file to file: the room grows to the largest size asked for and is
// neither cleared nor given back until the object goes.
class CRewriteBuffer {
public:
    // Room for at least size bytes; what was in it is not kept. False when the memory is not
    // there (the old room stays).
    bool Reserve(size_t size);
    char* Data() { return m_data.get(); }
    size_t Capacity() const { return m_capacity; }

private:
    std::unique_ptr<char[]> m_data;
    size_t m_capacity = 0;
};

class CFileView;

// The whole content of the file open as source (at most limit bytes) in memory: a small file
// read into buffer, a larger one mapped through view (under Wine, fresh memory for a large
// read costs more than the mapping). Null when the file is larger than limit or cannot be
// read or mapped; an empty file gives buffer's room.
const char* HoldWhole(CSourceFile& source, CRewriteBuffer& buffer, CFileView& view, uint64_t limit);

// A read-only view of the first bytes of an open file.
class CFileView {
public:
    CFileView() = default;
    ~CFileView() { Close(); }
    CFileView(const CFileView&) = delete;
    CFileView& operator=(const CFileView&) = delete;
    // Closes what is open, then maps size bytes (at least 1, at most the file's size) of file.
    // The bytes, or null when they cannot be mapped.
    const BYTE* Map(HANDLE file, DWORD size);
    void Close();
    bool IsOpen() const { return m_data != nullptr; }

private:
    CWinHandle m_mapping;
    const BYTE* m_data = nullptr;
};
