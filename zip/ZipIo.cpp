// The zip archive's buffered storage: a file through a handle or a memory block.
#include "zip/ZipIo.h"

#include <cstdlib>
#include <cstring>

namespace {

// The spill folder, process-wide; empty for the system's temporary folder.
char g_tempFolder[MAX_PATH];

}  // namespace

void ZipRaise(int code) { throw code; }

void CZipHandle::Reset(HANDLE h) {
  Close();
  m_h = (h == INVALID_HANDLE_VALUE) ? nullptr : h;
}

bool CZipHandle::Close() {
  if (!m_h) return true;
  BOOL ok = CloseHandle(m_h);
  m_h = nullptr;
  return ok != FALSE;
}

CZipIo::CZipIo()
    : m_kind(KIND_NONE),
      m_writable(false),
      m_raiseOnWriteError(true),
      m_spilled(false),
      m_buf(nullptr),
      m_mem(nullptr),
      m_memCapacity(0),
      m_memLimit(0),
      m_memFlags(0) {
  ResetState();
}

CZipIo::~CZipIo() {
  Close();
  std::free(m_buf);
}

void CZipIo::ResetState() {
  m_pos = 0;
  m_size = 0;
  m_osPos = ~0ull;
  m_bufStart = 0;
  m_bufLen = 0;
  m_bufDirty = false;
  m_lastReadEnd = ~0ull;
}

void CZipIo::SetTempFolder(const char *folder) {
  if (!folder) folder = "";
  lstrcpynA(g_tempFolder, folder, MAX_PATH);
}

int CZipIo::OpenFile(const char *path, int access) {
  Close();
  DWORD rights = GENERIC_READ | GENERIC_WRITE, share = 0, disposition = OPEN_EXISTING;
  switch (access) {
    case ZIPIO_READ:
      rights = GENERIC_READ;
      share = FILE_SHARE_READ;
      break;
    case ZIPIO_UPDATE:
      break;
    case ZIPIO_CREATE:
      disposition = CREATE_ALWAYS;
      break;
    case ZIPIO_OPEN_ALWAYS:
      disposition = OPEN_ALWAYS;
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return ZIP_E_OPEN;
  }
  int failure = access == ZIPIO_CREATE ? ZIP_E_CREATE : ZIP_E_OPEN;
  if (!path || !*path) {
    SetLastError(ERROR_INVALID_NAME);
    return failure;
  }
  if (!m_buf) {
    m_buf = static_cast<uint8_t *>(std::malloc(kBufferSize));
    if (!m_buf) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return failure;
    }
  }
  HANDLE h = CreateFileA(path, rights, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return failure;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(h, &size)) {
    DWORD error = GetLastError();
    CloseHandle(h);
    SetLastError(error);
    return failure;
  }
  m_file.Reset(h);
  ResetState();
  m_kind = KIND_FILE;
  m_writable = access != ZIPIO_READ;
  m_spilled = false;
  m_size = static_cast<uint64_t>(size.QuadPart);
  return ZIP_OK;
}

int CZipIo::OpenMemory(void *base, uint32_t size, uint32_t capacity, uint32_t limit,
                       unsigned flags) {
  Close();
  if (!base && (size || capacity)) return ZIP_E_INDEX;
  if (!(flags & ZIPIO_MEM_WRITABLE)) capacity = size;
  if (capacity < size) return ZIP_E_INDEX;
  ResetState();
  m_kind = KIND_MEMORY;
  m_writable = (flags & ZIPIO_MEM_WRITABLE) != 0;
  m_spilled = false;
  m_mem = static_cast<uint8_t *>(base);
  m_memCapacity = capacity;
  m_memLimit = limit;
  m_memFlags = flags;
  m_size = size;
  return ZIP_OK;
}

bool CZipIo::Close() {
  bool ok = true;
  if (m_kind == KIND_FILE) {
    if (m_bufDirty) ok = FlushWrite();
    if (!m_file.Close()) ok = false;
  } else if (m_kind == KIND_MEMORY) {
    if (m_memFlags & ZIPIO_MEM_OWNED) std::free(m_mem);
  }
  m_mem = nullptr;
  m_memCapacity = 0;
  m_memFlags = 0;
  m_kind = KIND_NONE;
  m_writable = false;
  ResetState();
  return ok;
}

uint8_t *CZipIo::DetachMemory(bool *owned) {
  if (m_kind != KIND_MEMORY) {
    if (owned) *owned = false;
    return nullptr;
  }
  uint8_t *block = m_mem;
  if (owned) *owned = (m_memFlags & ZIPIO_MEM_OWNED) != 0;
  m_memFlags &= ~ZIPIO_MEM_OWNED;
  Close();
  return block;
}

bool CZipIo::OsSeek(uint64_t position) {
  if (m_osPos == position) return true;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  if (!SetFilePointerEx(m_file.Get(), to, nullptr, FILE_BEGIN)) {
    m_osPos = ~0ull;
    return false;
  }
  m_osPos = position;
  return true;
}

bool CZipIo::FlushWrite() {
  if (!m_bufDirty) return true;
  m_bufDirty = false;
  DWORD done = 0;
  bool ok = OsSeek(m_bufStart) && WriteFile(m_file.Get(), m_buf, m_bufLen, &done, nullptr) &&
            done == m_bufLen;
  if (ok) {
    m_osPos += done;
    return true;  // the buffer now mirrors the file and serves reads
  }
  m_osPos = ~0ull;
  m_bufLen = 0;
  return false;
}

void CZipIo::Flush() {
  if (m_kind == KIND_FILE && !FlushWrite()) ZipRaise(ZIP_E_WRITE);
}

void CZipIo::Invalidate() {
  if (m_kind != KIND_FILE) return;
  Flush();
  m_bufLen = 0;
  m_osPos = ~0ull;
  m_lastReadEnd = ~0ull;
}

int32_t CZipIo::ReadSome(void *buffer, uint32_t length) {
  uint8_t *out = static_cast<uint8_t *>(buffer);
  if (length > 0x7FFFFFFFu) length = 0x7FFFFFFFu;
  if (m_kind == KIND_MEMORY) {
    if (m_pos >= m_size) return 0;
    uint64_t n = m_size - m_pos;
    if (n > length) n = length;
    std::memcpy(out, m_mem + m_pos, static_cast<size_t>(n));
    m_pos += n;
    return static_cast<int32_t>(n);
  }
  if (m_kind != KIND_FILE) return -1;
  if (m_bufDirty && !FlushWrite()) return -1;
  uint32_t copied = 0;
  while (copied < length) {
    if (m_pos >= m_bufStart && m_pos < m_bufStart + m_bufLen) {
      uint32_t offset = static_cast<uint32_t>(m_pos - m_bufStart);
      uint32_t n = m_bufLen - offset;
      if (n > length - copied) n = length - copied;
      std::memcpy(out + copied, m_buf + offset, n);
      copied += n;
      m_pos += n;
      continue;
    }
    if (m_pos >= m_size) break;
    uint32_t want = length - copied;
    DWORD got = 0;
    if (want >= kBufferSize) {
      // Large reads bypass the buffer.
      if (!OsSeek(m_pos) || !ReadFile(m_file.Get(), out + copied, want, &got, nullptr)) {
        m_osPos = ~0ull;
        return copied ? static_cast<int32_t>(copied) : -1;
      }
      m_osPos += got;
      if (!got) break;
      copied += got;
      m_pos += got;
      m_lastReadEnd = m_pos;
      continue;
    }
    // Sequential reads fill the whole buffer; a jump elsewhere reads a small block, so
    // that visiting scattered headers does not read whole buffers of entry data.
    uint32_t chunk = m_pos == m_lastReadEnd ? kBufferSize : kRandomReadSize;
    if (chunk < want) chunk = want;
    m_bufLen = 0;
    if (!OsSeek(m_pos) || !ReadFile(m_file.Get(), m_buf, chunk, &got, nullptr)) {
      m_osPos = ~0ull;
      return copied ? static_cast<int32_t>(copied) : -1;
    }
    m_osPos += got;
    m_bufStart = m_pos;
    m_bufLen = got;
    m_lastReadEnd = m_pos + got;
    if (!got) break;
  }
  return static_cast<int32_t>(copied);
}

void CZipIo::Read(void *buffer, uint32_t length) {
  if (m_bufDirty) Flush();
  int32_t got = ReadSome(buffer, length);
  if (got < 0 || static_cast<uint32_t>(got) != length) ZipRaise(ZIP_E_READ);
}

void CZipIo::ReadAt(uint64_t position, void *buffer, uint32_t length) {
  Seek(position);
  Read(buffer, length);
}

bool CZipIo::ReserveMemory(uint64_t needed) {
  if (needed <= m_memCapacity) return true;
  if (!(m_memFlags & ZIPIO_MEM_GROW)) return false;
  const uint64_t maxBlock = 0x7FFFF000u;
  uint64_t limit = m_memLimit ? m_memLimit : maxBlock;
  if (limit > maxBlock) limit = maxBlock;
  if (needed > limit) return false;
  uint64_t grown = static_cast<uint64_t>(m_memCapacity) * 3 / 2 + 65536;
  uint64_t capacity = needed + 4096 > grown ? needed + 4096 : grown;
  if (capacity > limit) capacity = limit;
  uint8_t *block;
  if (m_memFlags & ZIPIO_MEM_OWNED) {
    block = static_cast<uint8_t *>(std::realloc(m_mem, static_cast<size_t>(capacity)));
  } else {
    block = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(capacity)));
    if (block && m_size) std::memcpy(block, m_mem, static_cast<size_t>(m_size));
  }
  if (!block) return false;
  m_mem = block;
  m_memCapacity = static_cast<uint32_t>(capacity);
  m_memFlags |= ZIPIO_MEM_OWNED;
  return true;
}

void CZipIo::Spill() {
  char folder[MAX_PATH], path[MAX_PATH];
  if (g_tempFolder[0]) {
    lstrcpynA(folder, g_tempFolder, MAX_PATH);
  } else if (!GetTempPathA(MAX_PATH, folder)) {
    ZipRaise(ZIP_E_SPILL_CREATE);
  }
  if (!m_buf) m_buf = static_cast<uint8_t *>(std::malloc(kBufferSize));
  if (!m_buf || !GetTempFileNameA(folder, "AF_", 0, path)) ZipRaise(ZIP_E_SPILL_CREATE);
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DeleteFileA(path);
    ZipRaise(ZIP_E_SPILL_CREATE);
  }
  CZipHandle file(h);
  uint64_t done = 0;
  while (done < m_size) {
    DWORD part = static_cast<DWORD>(m_size - done > (1u << 20) ? (1u << 20) : m_size - done);
    DWORD wrote = 0;
    if (!WriteFile(h, m_mem + done, part, &wrote, nullptr) || wrote != part)
      ZipRaise(ZIP_E_SPILL_CREATE);
    done += part;
  }
  if (m_memFlags & ZIPIO_MEM_OWNED) std::free(m_mem);
  m_mem = nullptr;
  m_memCapacity = 0;
  m_memFlags = 0;
  m_file.Reset(file.Release());
  m_kind = KIND_FILE;
  m_spilled = true;
  m_osPos = m_size;
  m_bufLen = 0;
  m_bufDirty = false;
  m_lastReadEnd = ~0ull;
}

uint32_t CZipIo::WriteThrough(const uint8_t *data, uint32_t length) {
  DWORD done = 0;
  if (OsSeek(m_pos) && WriteFile(m_file.Get(), data, length, &done, nullptr)) {
    m_osPos += done;
    return done;
  }
  m_osPos = ~0ull;
  return 0;
}

uint32_t CZipIo::Write(const void *data, uint32_t length) {
  const uint8_t *in = static_cast<const uint8_t *>(data);
  uint32_t written = 0;
  if (!length) return 0;
  if (m_kind == KIND_MEMORY && m_writable) {
    uint64_t end = m_pos + length;
    if (!ReserveMemory(end) && (m_memFlags & ZIPIO_MEM_SPILL)) Spill();
  }
  if (m_kind == KIND_MEMORY && m_writable) {
    uint64_t room = m_pos < m_memCapacity ? m_memCapacity - m_pos : 0;
    written = static_cast<uint32_t>(room < length ? room : length);
    if (written) {
      if (m_pos > m_size) std::memset(m_mem + m_size, 0, static_cast<size_t>(m_pos - m_size));
      std::memcpy(m_mem + m_pos, in, written);
      m_pos += written;
      if (m_pos > m_size) m_size = m_pos;
    }
  } else if (m_kind == KIND_FILE && m_writable) {
    // A cached read block that the write touches is dropped.
    if (!m_bufDirty && m_bufLen && m_pos < m_bufStart + m_bufLen && m_pos + length > m_bufStart)
      m_bufLen = 0;
    bool ok = true;
    if (m_bufDirty && m_pos >= m_bufStart && m_pos + length <= m_bufStart + m_bufLen) {
      // A rewrite within the pending block (an entry's header once its data is written): in
      // place, rather than writing the block out twice for each small entry.
      std::memcpy(m_buf + (m_pos - m_bufStart), in, length);
      written = length;
    } else if (m_bufDirty && m_pos == m_bufStart + m_bufLen && m_bufLen + length <= kBufferSize) {
      std::memcpy(m_buf + m_bufLen, in, length);
      m_bufLen += length;
      written = length;
    } else if (m_bufDirty && m_pos + length <= m_bufStart && length < kBufferSize) {
      // Wholly before the pending block (the header of an entry whose data went on): written
      // at once, and the block goes on filling.
      written = WriteThrough(in, length);
    } else {
      if (m_bufDirty) ok = FlushWrite();
      if (ok && m_bufLen && m_pos < m_bufStart + m_bufLen && m_pos + length > m_bufStart)
        m_bufLen = 0;  // the block just flushed now mirrors the file: drop it if overwritten
      if (!ok) {
        written = 0;
      } else if (length >= kBufferSize) {
        written = WriteThrough(in, length);
      } else {
        std::memcpy(m_buf, in, length);
        m_bufStart = m_pos;
        m_bufLen = length;
        m_bufDirty = true;
        written = length;
      }
    }
    m_pos += written;
    if (m_pos > m_size) m_size = m_pos;
  }
  if (written != length && m_raiseOnWriteError) ZipRaise(ZIP_E_WRITE);
  return written;
}

uint32_t CZipIo::WriteAt(uint64_t position, const void *data, uint32_t length) {
  Seek(position);
  return Write(data, length);
}

void CZipIo::SetEnd() {
  if (!m_writable) ZipRaise(ZIP_E_WRITE);
  if (m_kind == KIND_MEMORY) {
    if (m_pos > m_size) {
      if (!ReserveMemory(m_pos)) ZipRaise(ZIP_E_WRITE);
      std::memset(m_mem + m_size, 0, static_cast<size_t>(m_pos - m_size));
    }
    m_size = m_pos;
    return;
  }
  Flush();
  if (!OsSeek(m_pos) || !SetEndOfFile(m_file.Get())) {
    m_osPos = ~0ull;
    ZipRaise(ZIP_E_WRITE);
  }
  m_size = m_pos;
  if (m_bufStart >= m_pos) {
    m_bufLen = 0;
  } else if (m_bufStart + m_bufLen > m_pos) {
    m_bufLen = static_cast<uint32_t>(m_pos - m_bufStart);
  }
}

HANDLE CZipIo::AttachHandle() {
  if (m_kind != KIND_FILE) return nullptr;
  Flush();
  m_osPos = ~0ull;
  if (!OsSeek(m_pos)) ZipRaise(ZIP_E_WRITE);
  m_bufLen = 0;
  m_lastReadEnd = ~0ull;
  return m_file.Get();
}

void CZipIo::DetachHandle() {
  if (m_kind != KIND_FILE) return;
  LARGE_INTEGER zero, now, size;
  zero.QuadPart = 0;
  if (SetFilePointerEx(m_file.Get(), zero, &now, FILE_CURRENT)) {
    m_pos = m_osPos = static_cast<uint64_t>(now.QuadPart);
  } else {
    m_osPos = ~0ull;
  }
  if (GetFileSizeEx(m_file.Get(), &size)) m_size = static_cast<uint64_t>(size.QuadPart);
  m_bufLen = 0;
  m_bufDirty = false;
  m_lastReadEnd = ~0ull;
}

int32_t CZipIo::ReadFunc(void *io, void *buffer, int32_t length) {
  if (length < 1) return 0;
  return static_cast<CZipIo *>(io)->ReadSome(buffer, static_cast<uint32_t>(length));
}

int32_t CZipIo::WriteFunc(void *io, const void *data, int32_t length) {
  if (length < 1 || !data) return 0;
  CZipIo *self = static_cast<CZipIo *>(io);
  bool raise = self->m_raiseOnWriteError;
  self->m_raiseOnWriteError = false;
  int32_t result;
  try {
    result = static_cast<int32_t>(self->Write(data, static_cast<uint32_t>(length)));
  } catch (int) {
    result = -1;  // a failed spill
  }
  self->m_raiseOnWriteError = raise;
  return result;
}
