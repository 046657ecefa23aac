#include "system/SafeFile.h"

#include <cstring>

const char kSafeTempSuffix[] = ".vellmorant.tmp";

namespace {
const DWORD kKeptMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
}

CSafeFileWriter::~CSafeFileWriter() { Abort(); }

int CSafeFileWriter::Open(const char* target, const char* suffix) {
    Abort();
    if (!target || !*target || !suffix) return SAFE_ERR_PATH;
    size_t lt = strlen(target), ls = strlen(suffix);
    if (lt + ls >= MAX_PATH) return SAFE_ERR_PATH;
    memcpy(m_target, target, lt + 1);
    memcpy(m_temp, target, lt);
    memcpy(m_temp + lt, suffix, ls + 1);
    // A stale temporary file of an earlier run may be read-only.
    DWORD attr = GetFileAttributesA(m_temp);
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_READONLY) && !(attr & FILE_ATTRIBUTE_DIRECTORY))
        SetFileAttributesA(m_temp, FILE_ATTRIBUTE_NORMAL);
    m_file.Reset(CreateFileA(m_temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file) {
        m_temp[0] = m_target[0] = 0;
        return SAFE_ERR_CREATE;
    }
    m_open = true;
    m_failed = false;
    m_written = 0;
    return SAFE_OK;
}

int CSafeFileWriter::Write(const void* data, size_t length) {
    if (!m_open) return SAFE_ERR_STATE;
    if (m_failed) return SAFE_ERR_WRITE;
    const char* p = static_cast<const char*>(data);
    while (length) {
        DWORD chunk = length > (1u << 30) ? (1u << 30) : static_cast<DWORD>(length);
        DWORD done = 0;
        if (!WriteFile(m_file.Get(), p, chunk, &done, nullptr) || done != chunk) {
            m_failed = true;
            return SAFE_ERR_WRITE;
        }
        p += done;
        length -= done;
        m_written += done;
    }
    return SAFE_OK;
}

int CSafeFileWriter::Commit() {
    if (!m_open) return SAFE_ERR_STATE;
    if (m_failed || !FlushFileBuffers(m_file.Get())) {
        Abort();
        return SAFE_ERR_WRITE;
    }
    HANDLE h = m_file.Detach();
    if (!CloseHandle(h)) {
        Abort();
        return SAFE_ERR_WRITE;
    }
    DWORD oldAttr = GetFileAttributesA(m_target);
    bool exists = oldAttr != INVALID_FILE_ATTRIBUTES;
    if (exists && (oldAttr & FILE_ATTRIBUTE_DIRECTORY)) {
        Abort();
        return SAFE_ERR_REPLACE;
    }
    // Windows refuses to replace a read-only file: lift the mark for the move only.
    bool lifted = exists && (oldAttr & FILE_ATTRIBUTE_READONLY) &&
                  SetFileAttributesA(m_target, oldAttr & ~FILE_ATTRIBUTE_READONLY);
    if (!MoveFileExA(m_temp, m_target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (lifted) SetFileAttributesA(m_target, oldAttr);
        Abort();
        return SAFE_ERR_REPLACE;
    }
    if (exists && (oldAttr & kKeptMarks)) SetFileAttributesA(m_target, oldAttr & (kKeptMarks | FILE_ATTRIBUTE_ARCHIVE));
    m_open = false;
    m_temp[0] = 0;
    return SAFE_OK;
}

void CSafeFileWriter::Abort() {
    m_file.Close();
    if (m_open && m_temp[0]) DeleteFileA(m_temp);
    m_open = false;
    m_failed = false;
    m_temp[0] = 0;
}

const char* SafeFileErrorText(int code) {
    switch (code) {
    case SAFE_OK: return "";
    case SAFE_ERR_PATH: return "Der Dateiname ist zu lang.";
    case SAFE_ERR_CREATE: return "Die temporäre Datei kann nicht erstellt werden.";
    case SAFE_ERR_WRITE: return "Die Datei kann nicht vollständig geschrieben werden.";
    case SAFE_ERR_REPLACE: return "Die Datei kann nicht ersetzt werden.";
    default: return "Interner Fehler.";
    }
}
