// The zip archive's I/O layer: reads and writes the archive's storage (a file through a
// Windows handle, or a memory block that may spill into a temporary "AF_" file) at 64-bit
// positions, buffered, raising the archive's integer error codes on short reads and writes.
#pragma once
#include <windows.h>

#include <cstdint>

// Error codes of the archive. Inside the archive they are thrown as plain int (ZipRaise)
// and caught at every public operation, which stores and returns them.
enum {
  ZIP_OK = 0,
  ZIP_E_INDEX = -1,          // bad entry index or mode
  ZIP_E_EOF = 2,             // data ends early
  ZIP_E_FORMAT = 3,          // structural fault of the archive
  ZIP_E_NOMEM = 4,           // out of memory
  ZIP_E_INTERNAL = 5,        // overlapping or out-of-range entry data
  ZIP_E_READ = 11,           // a read returned fewer bytes than asked
  ZIP_E_NOTFOUND = 12,       // resource archive not found
  ZIP_E_NONAME = 13,         // empty entry name
  ZIP_E_WRITE = 14,          // a write to the archive failed
  ZIP_E_CREATE = 15,         // the archive cannot be created
  ZIP_E_OPEN = 18,           // the archive cannot be opened
  ZIP_E_MULTIDISK = 19,      // the archive spans disks
  ZIP_E_PATH = 20,           // bad path name (an entry name too long to be written)
  ZIP_E_CRC = 21,
  ZIP_E_DECOMPRESS = 22,
  ZIP_E_CANCEL = 23,         // the callback answered nonzero
  ZIP_E_SOURCE_OPEN = 24,
  ZIP_E_SPILL_CREATE = 25,   // the temporary spill file cannot be created
  ZIP_E_SOURCE_WRITE = 26,
  ZIP_E_SOURCE_READ = 27,
  ZIP_E_SKIPPED = 28,
  ZIP_E_UNSUPPORTED = 29,
  ZIP_E_VERSION = 30,
  ZIP_E_COMPRESS = 31,
  ZIP_E_PASSWORD = 32,
  ZIP_E_NOT_OPEN = 33,
  ZIP_E_MODE = 34,
  ZIP_E_EXISTS = 35,
  ZIP_E_OLDER = 36,
  ZIP_E_NO_SPACE = 37
};

// Throws the code as an int; only inside the archive, never across its interface.
[[noreturn]] void ZipRaise(int code);

// Owns one Windows file handle; closes it when destroyed.
class CZipHandle {
 public:
  CZipHandle() = default;
  explicit CZipHandle(HANDLE h) : m_h(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ~CZipHandle() { Close(); }
  CZipHandle(const CZipHandle &) = delete;
  CZipHandle &operator=(const CZipHandle &) = delete;
  HANDLE Get() const { return m_h; }
  bool IsOpen() const { return m_h != nullptr; }
  // Closes the handle held (if any) and takes h (INVALID_HANDLE_VALUE counts as none).
  void Reset(HANDLE h = nullptr);
  // Closes the handle; false when CloseHandle failed.
  bool Close();
  // Gives the handle up without closing it.
  HANDLE Release() {
    HANDLE h = m_h;
    m_h = nullptr;
    return h;
  }

 private:
  HANDLE m_h = nullptr;
};

// How CZipIo::OpenFile opens the archive file.
enum {
  ZIPIO_READ = 1,         // reading, sharing reads, existing file only
  ZIPIO_UPDATE = 2,       // reading and writing, not shared, existing file only (kept as it is)
  ZIPIO_CREATE = 3,       // reading and writing, not shared, always a new empty file
  ZIPIO_OPEN_ALWAYS = 4   // reading and writing, not shared, existing file or a new one
};

// Flags of CZipIo::OpenMemory.
enum {
  ZIPIO_MEM_WRITABLE = 1,  // the block may be written (up to its capacity, or grown)
  ZIPIO_MEM_GROW = 2,      // the block may be replaced by a larger one that the layer owns
  ZIPIO_MEM_SPILL = 4,     // when it cannot grow, the contents move to a temporary "AF_" file
  ZIPIO_MEM_OWNED = 8      // the block was allocated with malloc and now belongs to the layer
};

class CZipIo {
 public:
  CZipIo();
  ~CZipIo();
  CZipIo(const CZipIo &) = delete;
  CZipIo &operator=(const CZipIo &) = delete;

  // Opens (or creates) the file with one of ZIPIO_READ..ZIPIO_OPEN_ALWAYS after closing
  // whatever was open. -> 0, ZIP_E_CREATE when ZIPIO_CREATE fails, ZIP_E_OPEN otherwise
  // (GetLastError tells why).
  int OpenFile(const char *path, int access);
  // Uses a memory block of size bytes as the storage (the block is not copied). capacity is
  // the room of a writable block (at least size); limit caps growth (0: no limit beyond
  // 2 GiB). -> 0, or ZIP_E_INDEX for a null block or a capacity below the size.
  int OpenMemory(void *base, uint32_t size, uint32_t capacity, uint32_t limit, unsigned flags);
  // Writes what is buffered and closes the storage (an owned block is freed, a spill file
  // deleted). -> true, false when a buffered write failed (the data is then lost).
  bool Close();
  bool IsOpen() const { return m_kind != KIND_NONE; }
  bool IsMemory() const { return m_kind == KIND_MEMORY; }
  bool IsWritable() const { return m_writable; }

  // Reads exactly length bytes at the position and moves behind them; raises ZIP_E_READ
  // when fewer come (the position then stands behind what was read), ZIP_E_WRITE when
  // buffered writes cannot be written first.
  void Read(void *buffer, uint32_t length);
  // Reads up to length bytes; -> the count (0 at the end), -1 when the system call failed
  // (or buffered writes could not be written first). Never raises.
  int32_t ReadSome(void *buffer, uint32_t length);
  // Writes length bytes at the position (buffered) and moves behind them. -> length; when
  // fewer bytes go out, raises ZIP_E_WRITE if RaiseOnWriteError is on, else returns the count.
  // A memory block that cannot grow (and cannot spill) counts as a short write; a failed
  // spill raises ZIP_E_SPILL_CREATE.
  uint32_t Write(const void *data, uint32_t length);
  // Reads or writes at a given position (Seek, then Read or Write).
  void ReadAt(uint64_t position, void *buffer, uint32_t length);
  uint32_t WriteAt(uint64_t position, const void *data, uint32_t length);

  // Moves the position; a position beyond the end is allowed (a write there extends the
  // storage, a read there gets nothing). Never raises.
  void Seek(uint64_t position) { m_pos = position; }
  uint64_t Tell() const { return m_pos; }
  // The storage's size, buffered writes included.
  uint64_t Size() const { return m_size; }
  // Ends the storage at the position (SetEndOfFile, or the block's length); raises
  // ZIP_E_WRITE when that fails or the storage is read-only.
  void SetEnd();
  // Writes buffered data to the file; raises ZIP_E_WRITE when that fails.
  void Flush();
  // Drops cached file contents so that the next read goes to the file (after another
  // writer, such as a mapping, changed it). Buffered writes are written first (ZIP_E_WRITE).
  void Invalidate();

  // Hands the file handle to a codec channel: flushes, moves the system's file pointer to
  // the position and drops the read cache. Null for memory storage. Until DetachHandle the
  // caller reads or writes through the handle alone. Raises ZIP_E_WRITE when buffered
  // writes cannot be written or the file pointer cannot be set.
  HANDLE AttachHandle();
  // Takes the system's file pointer as the position again after a codec used the handle,
  // and the file's size anew.
  void DetachHandle();
  HANDLE Handle() const { return m_file.Get(); }

  // The memory block (null for file storage) and its capacity.
  uint8_t *MemoryBase() const { return m_mem; }
  uint32_t MemoryCapacity() const { return m_memCapacity; }
  // Takes the block out of the layer (the caller frees it when *owned is set); the storage
  // is closed. Null for file storage.
  uint8_t *DetachMemory(bool *owned);
  // True after a memory block moved into a spill file.
  bool HasSpilled() const { return m_spilled; }

  void SetRaiseOnWriteError(bool on) { m_raiseOnWriteError = on; }
  bool RaiseOnWriteError() const { return m_raiseOnWriteError; }

  // Folder for spill files, process-wide; null or "" means the system's temporary folder.
  static void SetTempFolder(const char *folder);

  // Codec channel functions over the layer (context: a CZipIo*): read and write at the
  // position, buffered; -1 on failure instead of raising. The write accepts (null, 0).
  static int32_t ReadFunc(void *io, void *buffer, int32_t length);
  static int32_t WriteFunc(void *io, const void *data, int32_t length);

 private:
  enum { KIND_NONE, KIND_FILE, KIND_MEMORY };
  static const uint32_t kBufferSize = 65536;
  static const uint32_t kRandomReadSize = 4096;

  bool OsSeek(uint64_t position);
  bool FlushWrite();
  // Writes at the position straight to the file, around the buffer. -> the bytes written.
  uint32_t WriteThrough(const uint8_t *data, uint32_t length);
  int32_t FillAndCopy(uint8_t *out, uint32_t length);
  bool ReserveMemory(uint64_t needed);
  void Spill();
  void ResetState();

  int m_kind;
  bool m_writable;
  bool m_raiseOnWriteError;
  bool m_spilled;
  CZipHandle m_file;
  uint64_t m_pos;      // logical position
  uint64_t m_size;     // logical size (buffered writes included)
  uint64_t m_osPos;    // the system's file pointer, as far as known (~0: unknown)
  // File storage: one buffer, holding either read data or pending writes.
  uint8_t *m_buf;
  uint64_t m_bufStart;   // file position of m_buf[0]
  uint32_t m_bufLen;     // valid bytes in the buffer
  bool m_bufDirty;       // the buffer holds pending writes (m_bufLen bytes from m_bufStart)
  uint64_t m_lastReadEnd;  // end of the previous fill, to tell sequential reads
  // Memory storage.
  uint8_t *m_mem;
  uint32_t m_memCapacity;
  uint32_t m_memLimit;
  unsigned m_memFlags;
};
