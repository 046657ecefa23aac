// CSafeFileWriter: rewrites a file without ever losing it. The new content goes to a temporary
// file beside the target; only a complete, checked write replaces the target, in one step.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "system/WinHandle.h"

// The suffix of the temporary file that the file commands write beside the file they change.
extern const char kSafeTempSuffix[];  // ".vellmorant.tmp"

enum {
    SAFE_OK = 0,
    SAFE_ERR_PATH = -1,     // null, empty or too long a path
    SAFE_ERR_CREATE = -2,   // the temporary file could not be created
    SAFE_ERR_WRITE = -3,    // a write or the final flush and close failed
    SAFE_ERR_REPLACE = -4,  // the target could not be replaced (it is kept as it was)
    SAFE_ERR_STATE = -5,    // no file open
};

class CSafeFileWriter {
public:
    CSafeFileWriter() = default;
    // Deletes an uncommitted temporary file.
    ~CSafeFileWriter();
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;

    // Creates the empty temporary file target + suffix (replacing a stale one). Aborts any file
    // still open. SAFE_OK, SAFE_ERR_PATH (target + suffix longer than MAX_PATH - 1) or
    // SAFE_ERR_CREATE.
    int Open(const char* target, const char* suffix = kSafeTempSuffix);
    // Appends length bytes. SAFE_OK, SAFE_ERR_STATE, or SAFE_ERR_WRITE (the writer then refuses
    // every further call but Abort).
    int Write(const void* data, size_t length);
    // Flushes and closes the temporary file, then moves it over the target in one step. The
    // target's read-only, hidden and system marks carry over to the new file; a read-only
    // target is replaced too. On any failure the temporary file is deleted and the target is
    // untouched. SAFE_OK, SAFE_ERR_STATE, SAFE_ERR_WRITE or SAFE_ERR_REPLACE.
    int Commit();
    // Closes and deletes the temporary file; the target stays as it was. Safe to call twice.
    void Abort();

    bool IsOpen() const { return m_open; }
    uint64_t Written() const { return m_written; }
    const char* TargetPath() const { return m_target; }
    const char* TempPath() const { return m_temp; }

private:
    CWinHandle m_file;
    bool m_open = false;
    bool m_failed = false;
    uint64_t m_written = 0;
    char m_target[MAX_PATH] = {};
    char m_temp[MAX_PATH] = {};
};

// A German sentence for a result code of CSafeFileWriter, for messages such as
// "Fehler beim Schreiben von:\n%s"; "" for SAFE_OK.
const char* SafeFileErrorText(int code);
