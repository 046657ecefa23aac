#include "system/SafeFile.h"

#include <cstring>
#include <new>

#include "system/Paths.h"

const char kSafeTempSuffix[] = ".vellmorant.tmp";

namespace {

const DWORD kKeptMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// The identity through ntdll: the same number GetFileInformationByHandle gives, without its
// round trip to the mount manager for the volume's serial.
typedef LONG(WINAPI* NtQueryInformationFileFn)(HANDLE, void* status, void* info, ULONG size, int infoClass);
const int kFileInternalInformation = 6;

NtQueryInformationFileFn NtQuery()
{
    static const NtQueryInformationFileFn query = reinterpret_cast<NtQueryInformationFileFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile")));
    return query;
}

// Queries that Wine answers from the open file itself; the classes that give everything at once
// (network-open, all) look the file up by its name again, at several times the cost.
bool QueryBasics(HANDLE file, OpenFileInfo* info)
{
    FILE_BASIC_INFO basic;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || !GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
        return false;
    info->attributes = basic.FileAttributes;
    info->size = uint64_t(size.QuadPart);
    info->written.dwLowDateTime = basic.LastWriteTime.LowPart;
    info->written.dwHighDateTime = DWORD(basic.LastWriteTime.HighPart);
    return true;
}

bool QueryIndex(HANDLE file, uint64_t* index)
{
    ULONG_PTR status[2];
    LARGE_INTEGER value;
    NtQueryInformationFileFn query = NtQuery();
    if (!query || query(file, status, &value, sizeof value, kFileInternalInformation) < 0)
        return false;
    *index = uint64_t(value.QuadPart);
    return true;
}

}  // namespace

bool QueryOpenFile(HANDLE file, OpenFileInfo* info, bool withIndex)
{
    *info = OpenFileInfo();
    uint64_t index = 0;
    if (!QueryBasics(file, info) || (withIndex && !QueryIndex(file, &index))) {
        *info = OpenFileInfo();
        return false;
    }
    info->index = index;
    info->known = true;
    return true;
}

// ----- CSafeFileWriter ---------------------------------------------------------------------------

CSafeFileWriter::~CSafeFileWriter() { Abort(); }

int CSafeFileWriter::Open(const char* target, const char* suffix, bool deferCreate)
{
    Abort();
    if (!target || !*target || !suffix)
        return SAFE_ERR_PATH;
    size_t lt = strlen(target), ls = strlen(suffix);
    if (lt + ls >= MAX_PATH)
        return SAFE_ERR_PATH;
    memcpy(m_target, target, lt + 1);
    memcpy(m_temp, target, lt);
    memcpy(m_temp + lt, suffix, ls + 1);
    if (!m_buffer)
        m_buffer.reset(new (std::nothrow) char[kBufferSize]);
    m_open = true;
    m_failed = SAFE_OK;
    m_written = 0;
    m_used = 0;
    m_created = false;
    m_targetKnown = false;
    if (deferCreate)
        return SAFE_OK;
    int rc = Create();
    if (rc != SAFE_OK) {
        m_open = false;
        m_temp[0] = m_target[0] = 0;
    }
    return rc;
}

int CSafeFileWriter::Create()
{
    m_file.Reset(CreateFileA(m_temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file && GetLastError() == ERROR_ACCESS_DENIED) {
        // A stale temporary file of an earlier run may be read-only.
        DWORD attr = GetFileAttributesA(m_temp);
        if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_READONLY) && !(attr & FILE_ATTRIBUTE_DIRECTORY) &&
            SetFileAttributesA(m_temp, FILE_ATTRIBUTE_NORMAL))
            m_file.Reset(
                CreateFileA(m_temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    m_created = bool(m_file);
    return m_created ? SAFE_OK : SAFE_ERR_CREATE;
}

void CSafeFileWriter::SetTargetNameW(const wchar_t* target)
{
    if (m_open)
        m_targetW = target ? target : L"";
}

void CSafeFileWriter::SetTargetAttributes(DWORD attributes)
{
    if (!m_open)
        return;
    m_targetAttributes = attributes;
    m_targetKnown = true;
}

int CSafeFileWriter::FlushBuffer()
{
    if (!m_created) {
        int rc = Create();
        if (rc != SAFE_OK)
            return m_failed = rc;
    }
    const char* p = m_buffer.get();
    size_t length = m_used;
    m_used = 0;
    DWORD done = 0;
    if (length && (!WriteFile(m_file.Get(), p, DWORD(length), &done, nullptr) || done != length))
        return m_failed = SAFE_ERR_WRITE;
    return SAFE_OK;
}

int CSafeFileWriter::Write(const void* data, size_t length)
{
    if (!m_open)
        return SAFE_ERR_STATE;
    if (m_failed != SAFE_OK)
        return m_failed;
    const char* p = static_cast<const char*>(data);
    if (m_buffer) {
        if (m_used) {
            // The buffer filled up first.
            size_t n = length < kBufferSize - m_used ? length : kBufferSize - m_used;
            memcpy(m_buffer.get() + m_used, p, n);
            m_used += n;
            m_written += n;
            p += n;
            length -= n;
            if (m_used < kBufferSize)
                return SAFE_OK;
            if (FlushBuffer() != SAFE_OK)
                return m_failed;
        }
        if (length < kBufferSize) {
            memcpy(m_buffer.get(), p, length);
            m_used = length;
            m_written += length;
            return SAFE_OK;
        }
    }
    // A buffer's worth or more goes straight from the caller's bytes.
    if (!m_created && FlushBuffer() != SAFE_OK)
        return m_failed;
    while (length) {
        DWORD chunk = length > (1u << 30) ? (1u << 30) : static_cast<DWORD>(length);
        DWORD done = 0;
        if (!WriteFile(m_file.Get(), p, chunk, &done, nullptr) || done != chunk)
            return m_failed = SAFE_ERR_WRITE;
        p += done;
        length -= done;
        m_written += done;
    }
    return SAFE_OK;
}

int CSafeFileWriter::Commit(OpenFileInfo* written)
{
    if (written)
        *written = OpenFileInfo();
    if (!m_open)
        return SAFE_ERR_STATE;
    int failed = m_failed != SAFE_OK ? m_failed : FlushBuffer();
    if (failed == SAFE_OK && !FlushFileBuffers(m_file.Get()))
        failed = SAFE_ERR_WRITE;
    if (failed != SAFE_OK) {
        Abort();
        return failed;
    }
    if (written)
        QueryOpenFile(m_file.Get(), written, true);
    HANDLE h = m_file.Detach();
    if (!CloseHandle(h)) {
        Abort();
        return SAFE_ERR_WRITE;
    }
    // The target by its own name, when the code page cannot spell it, through the wide API.
    const bool wide = !m_targetW.empty();
    const std::wstring tempW = wide ? PathToWideA(m_temp) : std::wstring();
    auto attributesOf = [&] { return wide ? GetFileAttributesW(m_targetW.c_str()) : GetFileAttributesA(m_target); };
    auto setAttributes = [&](DWORD a) {
        return wide ? SetFileAttributesW(m_targetW.c_str(), a) : SetFileAttributesA(m_target, a);
    };
    DWORD oldAttr = m_targetKnown ? m_targetAttributes : attributesOf();
    bool exists = oldAttr != INVALID_FILE_ATTRIBUTES;
    if (exists && (oldAttr & FILE_ATTRIBUTE_DIRECTORY)) {
        Abort();
        return SAFE_ERR_REPLACE;
    }
    // Windows refuses to replace a read-only file: lift the mark for the move only.
    bool lifted = exists && (oldAttr & FILE_ATTRIBUTE_READONLY) && setAttributes(oldAttr & ~FILE_ATTRIBUTE_READONLY);
    const DWORD how = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (!(wide ? MoveFileExW(tempW.c_str(), m_targetW.c_str(), how) : MoveFileExA(m_temp, m_target, how))) {
        if (lifted)
            setAttributes(oldAttr);
        Abort();
        if (written)
            *written = OpenFileInfo();
        return SAFE_ERR_REPLACE;
    }
    if (exists && (oldAttr & kKeptMarks)) {
        DWORD marks = oldAttr & (kKeptMarks | FILE_ATTRIBUTE_ARCHIVE);
        setAttributes(marks);
        if (written && written->known)
            written->attributes = marks;
    }
    m_open = false;
    m_temp[0] = 0;
    m_targetW.clear();
    return SAFE_OK;
}

void CSafeFileWriter::Abort()
{
    m_file.Close();
    // A deferred temporary file may never have been made.
    if (m_open && m_temp[0] && m_created)
        DeleteFileA(m_temp);
    m_open = false;
    m_created = false;
    m_failed = SAFE_OK;
    m_used = 0;
    m_temp[0] = 0;
    m_targetW.clear();
}

const char* SafeFileErrorText(int code)
{
    switch (code) {
    case SAFE_OK: return "";
    case SAFE_ERR_PATH: return "Der Dateiname ist zu lang.";
    case SAFE_ERR_CREATE: return "Die temporäre Datei kann nicht erstellt werden.";
    case SAFE_ERR_WRITE: return "Die Datei kann nicht vollständig geschrieben werden.";
    case SAFE_ERR_REPLACE: return "Die Datei kann nicht ersetzt werden.";
    default: return "Interner Fehler.";
    }
}

// ----- CSourceFile -------------------------------------------------------------------------------

bool CSourceFile::Open(const char* path, bool withIndex)
{
    m_pos = 0;
    m_file.Reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!m_file || !QueryOpenFile(m_file.Get(), &m_info, withIndex)) {
        m_file.Close();
        m_info = OpenFileInfo();
        return false;
    }
    return true;
}

long long CSourceFile::ReadAt(uint64_t offset, void* data, size_t length)
{
    if (!m_file)
        return -1;
    // Reads in turn go on from where the last one ended; a read with an offset costs more
    // under Wine than a seek that is seldom needed.
    if (offset != m_pos) {
        LARGE_INTEGER to;
        to.QuadPart = LONGLONG(offset);
        if (!SetFilePointerEx(m_file.Get(), to, nullptr, FILE_BEGIN))
            return -1;
        m_pos = offset;
    }
    DWORD chunk = length > (1u << 30) ? (1u << 30) : DWORD(length), got = 0;
    if (!ReadFile(m_file.Get(), data, chunk, &got, nullptr))
        return -1;
    m_pos += got;
    return got;
}

bool CSourceFile::ReadFull(uint64_t offset, void* data, size_t length)
{
    char* p = static_cast<char*>(data);
    while (length) {
        long long n = ReadAt(offset, p, length);
        if (n <= 0)
            return false;
        p += n;
        offset += uint64_t(n);
        length -= size_t(n);
    }
    return true;
}

// ----- CRewriteBuffer, CFileView -----------------------------------------------------------------

bool CRewriteBuffer::Reserve(size_t size)
{
    if (size <= m_capacity && m_data)
        return true;
    // In steps of 64 KiB: a job of growing files reallocates seldom.
    const size_t kStep = 65536;
    size_t room = size < kStep ? kStep : size;
    room = room > SIZE_MAX - (kStep - 1) ? room : (room + kStep - 1) / kStep * kStep;
    char* p = new (std::nothrow) char[room];
    if (!p)
        return false;
    m_data.reset(p);
    m_capacity = room;
    return true;
}

const char* HoldWhole(CSourceFile& source, CRewriteBuffer& buffer, CFileView& view, uint64_t limit)
{
    // Files up to this size are read: mapping and unmapping cost more than reading them.
    const uint64_t kReadUpTo = 1 << 20;
    const uint64_t size = source.Info().size;
    if (size > limit || size > 0xFFFFFFFFu)
        return nullptr;
    if (size <= kReadUpTo)
        return buffer.Reserve(size_t(size)) && source.ReadFull(0, buffer.Data(), size_t(size)) ? buffer.Data()
                                                                                              : nullptr;
    return reinterpret_cast<const char*>(view.Map(source.Handle(), DWORD(size)));
}

const BYTE* CFileView::Map(HANDLE file, DWORD size)
{
    Close();
    if (!file || size == 0)
        return nullptr;
    m_mapping.Reset(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!m_mapping)
        return nullptr;
    m_data = static_cast<const BYTE*>(MapViewOfFile(m_mapping.Get(), FILE_MAP_READ, 0, 0, size));
    if (!m_data)
        m_mapping.Close();
    return m_data;
}

void CFileView::Close()
{
    if (m_data)
        UnmapViewOfFile(m_data);
    m_data = nullptr;
    m_mapping.Close();
}
