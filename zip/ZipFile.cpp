// The zip archive: open, add, commit, close, delete, extract, test.
#include "zip/ZipFile.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "system/DirList.h"
#include "system/Files.h"
#include "system/Paths.h"
#include "zip/Bz2Codec.h"
#include "zip/DeflateCodec.h"
#include "zip/LzmaCodec.h"
#include "zip/PpmdCodec.h"
#include "zip/XzCodec.h"

const char kZipStoredSuffixes[] = "zip;zoo;arc;lzh;arj;gz;cab;bz2;tgz;rar;rpm;gzip;7z;k";

namespace {

const uint64_t kMapLimit = 0x10000000;  // archives below 256 MiB are compacted in a mapping
const uint32_t kMoveChunk = 16384;
const uint32_t kCopyChunk = 1u << 20;
const uint32_t kDefaultMemoryLimit = 0x10000000;

// A pending entry whose source cannot be opened or read: the commit leaves it out.
struct SkipEntry {
  int code;
};

int32_t NowTime() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return ZipFileTimeToTime(static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime);
}

int32_t FromFileTime(const FILETIME &ft) {
  return ZipFileTimeToTime(static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime);
}

FILETIME ToFileTime(int32_t time) {
  uint64_t v = ZipTimeToFileTime(time);
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(v);
  ft.dwHighDateTime = static_cast<DWORD>(v >> 32);
  return ft;
}

uint16_t VersionFor(int method) {
  switch (method) {
    case 0: return ZIP_VERSION_STORED;
    case 8: return ZIP_VERSION_DEFLATED;
    case 12: return 46;
    default: return 63;  // LZMA, xz, PPMd
  }
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Length of a drive prefix ("C:"; letters up to a ':'), 0 when there is none.
size_t DrivePrefixLength(const std::string &name) {
  size_t i = 0;
  while (i < name.size() && ((name[i] >= 'A' && name[i] <= 'Z') || (name[i] >= 'a' && name[i] <= 'z'))) ++i;
  return i > 0 && i < name.size() && name[i] == ':' ? i + 1 : 0;
}

// True when an entry name stays inside the folder it is extracted to.
bool IsSafeEntryName(const char *name) {
  if (!name || !*name || IsSeparator(name[0]) || std::strchr(name, ':')) return false;
  const char *part = name;
  for (const char *p = name;; ++p) {
    if (!*p || IsSeparator(*p)) {
      if (p - part == 2 && part[0] == '.' && part[1] == '.') return false;
      if (!*p) break;
      part = p + 1;
    }
  }
  return true;
}

// Writes to a Windows file handle (the context); accepts (null, 0).
int32_t HandleWrite(void *handle, const void *data, int32_t length) {
  if (length < 1 || !data) return 0;
  DWORD done = 0;
  if (!WriteFile(static_cast<HANDLE>(handle), data, static_cast<DWORD>(length), &done, nullptr))
    return -1;
  return static_cast<int32_t>(done);
}

int32_t DiscardWrite(void *, const void *, int32_t length) { return length > 0 ? length : 0; }

// Passes at most the entry's declared size on to the caller's sink: damaged or hostile data
// that decodes to more stops there as an error instead of writing on.
struct DeclaredSizeSink {
  CodecWriteFunc write;
  void *context;
  uint64_t left;
  bool overrun;
  static int32_t Write(void *self, const void *data, int32_t length) {
    DeclaredSizeSink *s = static_cast<DeclaredSizeSink *>(self);
    if (length < 1 || !data) return s->write(s->context, data, length);
    if (static_cast<uint64_t>(length) <= s->left) {
      int32_t n = s->write(s->context, data, length);
      if (n > 0) s->left -= static_cast<uint64_t>(n < length ? n : length);
      return n;
    }
    s->overrun = true;
    if (s->left) s->write(s->context, data, static_cast<int32_t>(s->left));
    s->left = 0;
    return -1;
  }
};

// A read-write view of a whole file, unmapped when destroyed.
class CMapView {
 public:
  CMapView() = default;
  ~CMapView() { Close(); }
  CMapView(const CMapView &) = delete;
  CMapView &operator=(const CMapView &) = delete;
  uint8_t *Open(HANDLE file) {
    m_mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    if (!m_mapping) return nullptr;
    m_view = static_cast<uint8_t *>(MapViewOfFile(m_mapping, FILE_MAP_WRITE, 0, 0, 0));
    return m_view;
  }
  // Unmaps; false when the view could not be written back.
  bool Close() {
    bool ok = true;
    if (m_view) ok = FlushViewOfFile(m_view, 0) != FALSE && UnmapViewOfFile(m_view) != FALSE;
    if (m_mapping) CloseHandle(m_mapping);
    m_view = nullptr;
    m_mapping = nullptr;
    return ok;
  }

 private:
  HANDLE m_mapping = nullptr;
  uint8_t *m_view = nullptr;
};

// Opens a file to pack for sequential reading. Others may go on reading, writing and deleting
// it meanwhile: a log that is being written is packed as it stands.
HANDLE OpenSourceFile(const char *path) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// A name prefix as a folder of the archive: without a leading separator, with a trailing one.
std::string PrefixFolder(const char *prefix) {
  std::string pre = prefix ? prefix : "";
  if (!pre.empty() && pre[0] == '\\') pre.erase(0, 1);
  if (!pre.empty() && pre[0] == '/') pre.erase(0, 1);
  if (!pre.empty() && !IsSeparator(pre.back())) pre += '/';
  return pre;
}

// The UTF-8 form of an entry's own name: '/' between names, no leading separator.
std::string OwnNameUtf8(const wchar_t *name) {
  std::wstring w = name ? name : L"";
  for (wchar_t &c : w)
    if (c == L'\\') c = L'/';
  w.erase(0, w.find_first_not_of(L'/') == std::wstring::npos ? w.size() : w.find_first_not_of(L'/'));
  std::string out;
  int n = w.empty() ? 0 : WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return out;
  out.resize(static_cast<size_t>(n));
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// Holds a value in a member for the length of a call.
struct OwnNameScope {
  OwnNameScope(std::string &member, const std::string &value) : m(member) { m = value; }
  ~OwnNameScope() { m.clear(); }
  std::string &m;
};

// The folder part of a path, with its separator ("." when it has none).
std::string FolderOf(const char *path, const char *namePart) {
  std::string folder(path, namePart - path);
  return folder.empty() ? std::string(".") : folder;
}

}  // namespace

// The data to compress into an entry.
struct CZipFile::Source {
  int kind = ARCHIVE_SOURCE_HANDLE;
  HANDLE handle = nullptr;
  const uint8_t *data = nullptr;
  uint64_t size = 0;
  CodecReadFunc read = nullptr;
  void *context = nullptr;

  void Attach(CCodec *codec) const {
    switch (kind) {
      case ARCHIVE_SOURCE_MEMORY:
        codec->SetInputMemory(static_cast<int32_t>(size), data, 0, nullptr);
        break;
      case ARCHIVE_SOURCE_CALLBACK:
        codec->SetInputCallback(context, read, 0);
        break;
      default:
        codec->SetInputHandle(handle, -1, 0);
        break;
    }
  }
  // Back to the start of the data for a second attempt; false when that is impossible.
  bool Rewind() const {
    if (kind == ARCHIVE_SOURCE_MEMORY) return true;
    if (kind == ARCHIVE_SOURCE_CALLBACK) return false;
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    return SetFilePointerEx(handle, zero, nullptr, FILE_BEGIN) != FALSE;
  }
};

// Reads an entry's stored data from the archive, no further than its compressed size; the
// archive ending early is a failed read.
struct CZipFile::EntryReader {
  CZipIo *io;
  uint64_t left;
  static int32_t Read(void *self, void *buffer, int32_t length) {
    EntryReader *r = static_cast<EntryReader *>(self);
    if (length < 1 || r->left == 0) return 0;
    uint32_t n = static_cast<uint32_t>(length);
    if (n > r->left) n = static_cast<uint32_t>(r->left);
    int32_t got = r->io->ReadSome(buffer, n);
    if (got <= 0) return -1;
    r->left -= static_cast<uint32_t>(got);
    return got;
  }
};

// ---------------------------------------------------------------- construction

CZipFile::CZipFile()
    : m_codec(new CDeflateCodec()),
      m_codecMethod(0),
      m_running(nullptr),
      m_runningCompress(false),
      m_cryptKeys(),
      m_aes(nullptr),
      m_quietSort(false),
      m_memoryArchive(false),
      m_skipCode(0) {
  m_codec->m_mode = 0;
  m_workPath[0] = 0;
}

CZipFile::~CZipFile() {
  Abort();
  if (m_codec) {
    m_codec->Release();
    delete m_codec;
  }
  delete m_aes;
}

void CZipFile::SetTempFolder(const char *folder) { CZipIo::SetTempFolder(folder); }

int CZipFile::SetPassword(const char *password) { return CArchiveFile::SetPassword(password); }

int CZipFile::CatchCodes(int code) { return code ? code : ZIP_E_FORMAT; }

// ---------------------------------------------------------------- storage

void CZipFile::CloseStorage() {
  m_io.Close();
  DiscardWorkFile();
  m_targetLock.Close();
  m_memoryArchive = false;
}

void CZipFile::DiscardWorkFile() {
  if (!m_workPath[0]) return;
  m_io.Close();
  DeleteFileA(m_workPath);
  m_workPath[0] = 0;
}

void CZipFile::CreateWorkFile() {
  std::string folder = FolderOf(m_path, m_fileNamePart);
  char work[MAX_PATH];
  if (!GetTempFileNameA(folder.c_str(), "AF_", 0, work)) ZipRaise(ZIP_E_CREATE);
  if (m_io.OpenFile(work, ZIPIO_UPDATE)) {
    DeleteFileA(work);
    ZipRaise(ZIP_E_CREATE);
  }
  lstrcpynA(m_workPath, work, MAX_PATH);
}

void CZipFile::EnsureWorkFile() {
  if (m_memoryArchive || m_workPath[0] || m_mode != ARCHIVE_UPDATE) return;
  // The archive is changed in a copy beside it; the kept part is everything in front of the
  // directory, which is written anew.
  std::string folder = FolderOf(m_path, m_fileNamePart);
  char work[MAX_PATH];
  if (!GetTempFileNameA(folder.c_str(), "AF_", 0, work)) ZipRaise(ZIP_E_CREATE);
  CZipHandle out(CreateFileA(work, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out.IsOpen()) {
    DeleteFileA(work);
    ZipRaise(ZIP_E_CREATE);
  }
  std::vector<uint8_t> buffer(kCopyChunk);
  uint64_t left = m_dataEnd;
  m_io.Seek(0);
  while (left) {
    uint32_t n = left < kCopyChunk ? static_cast<uint32_t>(left) : kCopyChunk;
    int32_t got = m_io.ReadSome(buffer.data(), n);
    DWORD done = 0;
    if (got != static_cast<int32_t>(n) || !WriteFile(out.Get(), buffer.data(), n, &done, nullptr) ||
        done != n) {
      out.Close();
      DeleteFileA(work);
      ZipRaise(got != static_cast<int32_t>(n) ? ZIP_E_READ : ZIP_E_WRITE);
    }
    left -= n;
  }
  if (!out.Close()) {
    DeleteFileA(work);
    ZipRaise(ZIP_E_WRITE);
  }
  m_io.Close();
  lstrcpynA(m_workPath, work, MAX_PATH);
  m_targetLock.Reset(CreateFileA(m_path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!m_targetLock.IsOpen()) ZipRaise(ZIP_E_OPEN);
  if (m_io.OpenFile(m_workPath, ZIPIO_UPDATE)) ZipRaise(ZIP_E_OPEN);
  m_io.SetRaiseOnWriteError(m_raiseOnWriteError);
}

void CZipFile::ReplaceTarget() {
  if (!m_workPath[0]) return;
  m_io.Flush();
  // An archive that replaces another reaches the disk before the old one goes; a new one has
  // nothing to lose, and waiting for the disk would cost as much as packing it.
  const bool replacing = m_targetLock.IsOpen();
  if (replacing) FlushFileBuffers(m_io.Handle());
  if (!m_io.Close()) ZipRaise(ZIP_E_WRITE);
  m_targetLock.Close();
  if (!MoveFileExA(m_workPath, m_path, MOVEFILE_REPLACE_EXISTING | (replacing ? MOVEFILE_WRITE_THROUGH : 0)))
    ZipRaise(ZIP_E_WRITE);
  m_workPath[0] = 0;
}

const uint8_t *CZipFile::GetMemoryArchive(uint64_t *size) {
  if (!m_memoryArchive || !m_io.IsMemory()) {
    if (size) *size = 0;
    return nullptr;
  }
  if (size) *size = m_io.Size();
  return m_io.MemoryBase();
}

// ---------------------------------------------------------------- open

int CZipFile::Open(const char *path, int mode, int reserved) {
  CloseStorage();
  FreeEntries();
  m_mode = ARCHIVE_CLOSED;
  m_lastError = 0;
  m_skipCode = 0;
  m_skipped.clear();
  m_nameTaken.clear();
  m_waiting.clear();
  m_phase = ARCHIVE_PHASE_DIRECTORY;
  m_progressDone = m_progressTotal = 0;
  ClearSortOrder();
  int wanted = mode & 15;
  SetOptions(mode & ~15);
  if (wanted < ARCHIVE_READ || wanted > ARCHIVE_CREATED) return Fail(ZIP_E_INDEX);
  if (wanted != ARCHIVE_READ && !m_writeAllowed) return Fail(ZIP_E_UNSUPPORTED);
  int rc;
  if (path && std::strlen(path) >= 6 && (!_strnicmp(path, "RES:", 4) || !_strnicmp(path, "MEM:", 4)) &&
      IsSeparator(path[4]) && IsSeparator(path[5])) {
    if (!_strnicmp(path, "RES:", 4))
      rc = wanted == ARCHIVE_READ ? OpenResource(path + 6) : ZIP_E_UNSUPPORTED;
    else
      rc = OpenMemoryArchive(path + 6, wanted);
  } else {
    char full[MAX_PATH];
    char *part = nullptr;
    DWORD n = path && *path ? GetFullPathNameA(path, MAX_PATH, full, &part) : 0;
    SetArchivePath(n && n < MAX_PATH ? full : path);
    rc = n && n < MAX_PATH ? OpenFileArchive(wanted)
                           : (wanted == ARCHIVE_CREATED ? ZIP_E_CREATE : ZIP_E_OPEN);
  }
  if (rc) {
    if (RaiseEvent(ARCHIVE_EVENT_OPEN, -1)) rc = ZIP_E_CANCEL;
    CloseStorage();
    FreeEntries();
    m_mode = ARCHIVE_CLOSED;
    return Fail(rc);
  }
  return 0;
}

int CZipFile::OpenFileArchive(int mode) {
  try {
    if (mode == ARCHIVE_UPDATE) {
      WIN32_FILE_ATTRIBUTE_DATA data;
      if (GetFileAttributesExA(m_path, GetFileExInfoStandard, &data)) {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ZIP_E_OPEN;
        // An empty file is no archive: it may be a file of the user's that a wrong name
        // points at, and would be lost.
        if (!data.nFileSizeLow && !data.nFileSizeHigh) return ZIP_E_FORMAT;
        // Kept as it is: every change goes to a copy that replaces it when complete.
        if (m_io.OpenFile(m_path, ZIPIO_UPDATE)) return ZIP_E_OPEN;
        m_io.SetRaiseOnWriteError(m_raiseOnWriteError);
        m_mode = ARCHIVE_UPDATE;
        return CZipFormat::ReadDirectory(ARCHIVE_UPDATE);
      }
      mode = ARCHIVE_CREATED;  // a missing file is created
    }
    if (mode == ARCHIVE_READ) {
      if (m_io.OpenFile(m_path, ZIPIO_READ)) return ZIP_E_OPEN;
      m_mode = ARCHIVE_READ;
      return CZipFormat::ReadDirectory(ARCHIVE_READ);
    }
    // Created: an existing file stays untouched (but reserved) until the new one replaces it.
    HANDLE h = CreateFileA(m_path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      DWORD error = ::GetLastError();
      if (error != ERROR_FILE_NOT_FOUND) return ZIP_E_CREATE;
    } else {
      m_targetLock.Reset(h);
    }
    CreateWorkFile();
    m_io.SetRaiseOnWriteError(m_raiseOnWriteError);
    m_mode = ARCHIVE_CREATED;
    return CZipFormat::ReadDirectory(ARCHIVE_CREATED);
  } catch (int code) {
    return CatchCodes(code);
  }
}

int CZipFile::OpenResource(const char *locator) {
  // "type\name" ('\', '/' or '-' between), or the name alone with the type "DATA".
  std::string type = "DATA", name = locator;
  size_t cut = name.find_first_of("\\/-");
  if (cut != std::string::npos) {
    type = name.substr(0, cut);
    name = name.substr(cut + 1);
  }
  auto resourceId = [](const std::string &part, bool *numeric) -> LPCSTR {
    *numeric = false;
    if (part.empty() || part.size() >= 64) return part.c_str();
    for (char c : part)
      if (c < '0' || c > '9') return part.c_str();
    *numeric = true;
    return MAKEINTRESOURCEA(std::strtoul(part.c_str(), nullptr, 10));
  };
  static const struct {
    const char *name;
    WORD id;
  } kTypes[] = {{"CURSOR", 1}, {"BITMAP", 2}, {"ICON", 3}, {"HTML", 23}};
  bool typeNumeric = false, nameNumeric = false;
  LPCSTR typeId = resourceId(type, &typeNumeric);
  for (const auto &t : kTypes)
    if (!typeNumeric && !_stricmp(type.c_str(), t.name)) {
      typeId = MAKEINTRESOURCEA(t.id);
      typeNumeric = true;
    }
  LPCSTR nameId = resourceId(name, &nameNumeric);
  char path[MAX_PATH];
  int n = typeNumeric ? std::snprintf(path, sizeof path, "res:\\\\%u-", static_cast<unsigned>(reinterpret_cast<uintptr_t>(typeId)))
                      : std::snprintf(path, sizeof path, "res:\\\\%s-", type.c_str());
  if (n > 0 && n < MAX_PATH) {
    if (nameNumeric)
      std::snprintf(path + n, sizeof path - n, "%u", static_cast<unsigned>(reinterpret_cast<uintptr_t>(nameId)));
    else
      std::snprintf(path + n, sizeof path - n, "%s", name.c_str());
  }
  SetArchivePath(path);
  HRSRC resource = FindResourceA(nullptr, nameId, typeId);
  HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
  void *data = loaded ? LockResource(loaded) : nullptr;
  DWORD size = resource ? SizeofResource(nullptr, resource) : 0;
  if (!data) return ZIP_E_NOTFOUND;
  if (m_io.OpenMemory(data, size, size, 0, 0)) return ZIP_E_NOTFOUND;
  m_memoryArchive = true;
  m_mode = ARCHIVE_READ;
  return CZipFormat::ReadDirectory(ARCHIVE_READ);
}

int CZipFile::OpenMemoryArchive(const char *locator, int mode) {
  // hexadecimal address, decimal size, optionally a decimal writable capacity
  char *end = nullptr;
  uintptr_t address = static_cast<uintptr_t>(std::strtoul(locator, &end, 16));
  unsigned long size = 0, capacity = 0;
  if (end && (*end == '\\' || *end == '/' || *end == '-')) size = std::strtoul(end + 1, &end, 10);
  if (end && (*end == '\\' || *end == '/' || *end == '-')) capacity = std::strtoul(end + 1, &end, 10);
  char path[MAX_PATH];
  std::snprintf(path, sizeof path, "mem:\\\\%08X-%lu", static_cast<unsigned>(address), size);
  SetArchivePath(path);
  if (!address) return ZIP_E_OPEN;
  if (mode != ARCHIVE_READ && (!capacity || capacity < size)) return ZIP_E_SOURCE_OPEN;
  if (mode == ARCHIVE_UPDATE && size == 0) mode = ARCHIVE_CREATED;
  if (mode == ARCHIVE_CREATED) size = 0;
  unsigned flags = mode == ARCHIVE_READ ? 0 : ZIPIO_MEM_WRITABLE | ZIPIO_MEM_GROW | ZIPIO_MEM_SPILL;
  if (m_io.OpenMemory(reinterpret_cast<void *>(address), size, mode == ARCHIVE_READ ? size : capacity, 0, flags))
    return ZIP_E_OPEN;
  m_io.SetRaiseOnWriteError(m_raiseOnWriteError);
  m_memoryArchive = true;
  m_mode = mode;
  return CZipFormat::ReadDirectory(mode);
}

int CZipFile::ReadDirectory(int) {
  if (m_mode == ARCHIVE_CLOSED) return Fail(ZIP_E_INDEX);
  if (GetChangesPending() && m_mode != ARCHIVE_READ) return Fail(ZIP_E_MODE);
  int rc = CZipFormat::ReadDirectory(m_mode == ARCHIVE_CREATED ? ARCHIVE_CREATED : ARCHIVE_READ);
  if (rc) {
    Fail(rc);
    Abort();
  }
  return rc;
}

int CZipFile::RaiseFormatEvent(int event, int index) {
  if (event == ARCHIVE_EVENT_SORT && m_quietSort) return 0;
  return RaiseEvent(event, index);
}

// ---------------------------------------------------------------- settings

unsigned CZipFile::SetOptions(int bits) {
  if (bits == -2) return m_options;
  unsigned old = m_options;
  m_options = static_cast<unsigned>(bits);
  if (m_options & ZIP_OPT_METHOD_DEFAULT) m_methodSetting = -1;
  if (m_options & ZIP_OPT_METHOD_STORE) m_methodSetting = 0;
  if (((old ^ m_options) & ZIP_OPT_SORT_MASK) && GetEntryCount() > 1) CZipEntryTable::SortEntries(0);
  return m_options;
}

int CZipFile::GetLevel(int level) {
  if (level == -2) return m_level;
  m_level = level < 0 ? 0 : level > 9 ? 9 : level;
  if (m_level == 0) m_methodSetting = 0;
  return m_level;
}

int CZipFile::SetMethod(int method) {
  if (method == -2) return m_methodSetting;
  switch (method) {
    case -1: case 0: case 8: case 12: case 14: case 95: case 98:
      m_methodSetting = method;
      break;
    default:
      m_methodSetting = 8;
      break;
  }
  return m_methodSetting;
}

// ---------------------------------------------------------------- entry accessors

int CZipFile::GetEntryState(int index) const {
  const ZipEntry *e = GetEntry(index);
  if (!e) return 0;
  int state = e->userBits & ARCHIVE_STATE_USER;
  if (e->deleted) state |= ARCHIVE_STATE_DELETED;
  if (e->pending) state |= ARCHIVE_STATE_PENDING;
  if (e->inFile) state |= ARCHIVE_STATE_IN_FILE;
  if (e->externalAttributes & FILE_ATTRIBUTE_DIRECTORY) state |= ARCHIVE_STATE_DIRECTORY;
  if (e->externalAttributes & FILE_ATTRIBUTE_READONLY) state |= ARCHIVE_STATE_READONLY;
  return state;
}

const char *CZipFile::GetEntryName(int index) const {
  if (index == -1) return m_path;
  if (index == GetEntryCount()) return m_addingName.c_str();
  const ZipEntry *e = GetEntry(index);
  return e ? e->name : nullptr;
}

int CZipFile::SortEntries(unsigned order) { return CZipEntryTable::SortEntries(order); }

int CZipFile::SetDamaged(int index, int value) {
  ZipEntry *e = GetEntry(index);
  if (!e) return -1;
  int old = e->damaged;
  e->damaged = value ? 1 : 0;
  if (old != e->damaged) SetChangesPending(true);
  return old;
}

int CZipFile::IsReadOnly(int index) const {
  const ZipEntry *e = GetEntry(index);
  return e && (e->externalAttributes & FILE_ATTRIBUTE_READONLY) ? 1 : 0;
}

int CZipFile::GetDamaged(int index) const {
  const ZipEntry *e = GetEntry(index);
  return e ? e->damaged : -1;
}

int CZipFile::IsDeleted(int index) const {
  const ZipEntry *e = GetEntry(index);
  return e && e->deleted ? 1 : 0;
}

int CZipFile::IsDirectory(int index) const {
  const ZipEntry *e = GetEntry(index);
  return e && (e->externalAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int CZipFile::GetUserBits(int index) const {
  const ZipEntry *e = GetEntry(index);
  return e ? (e->userBits & ARCHIVE_STATE_USER) : 0;
}

int CZipFile::SetUserBits(int index, int value) {
  ZipEntry *e = GetEntry(index);
  if (!e) return -1;
  int old = e->userBits & ARCHIVE_STATE_USER;
  e->userBits = static_cast<uint8_t>(value & ARCHIVE_STATE_USER);
  return old;
}

uint64_t CZipFile::GetEntrySize(int index, int kind) const {
  const ZipEntry *e = GetEntry(index);
  if (!e) return 0;
  return kind == 0 ? e->uncompressedSize : e->compressedSize;
}

int32_t CZipFile::GetEntryTime(int index, int which) const {
  const ZipEntry *e = GetEntry(index);
  if (!e) return -1;
  switch (which) {
    case 0: return e->modTime;
    case 1: return e->createTime;
    case 2: return e->accessTime;
    default: return -1;
  }
}

int32_t CZipFile::GetModifiedTime(int index) const { return GetEntryTime(index, 0); }

uint32_t CZipFile::GetUserWord(int index) const {
  const ZipEntry *e = GetEntry(index);
  return e ? e->userWord : 0;
}

void CZipFile::SetUserWord(int index, uint32_t value) {
  ZipEntry *e = GetEntry(index);
  if (e) e->userWord = value;
}

uint64_t CZipFile::GetBytesProcessed(uint64_t *total) const {
  uint64_t done = m_progressDone;
  if (const CCodec *codec = m_running) done += m_runningCompress ? codec->m_source.total : codec->m_sink.total;
  if (done > m_progressTotal) done = m_progressTotal;
  if (total) *total = m_progressTotal;
  return done;
}

int CZipFile::GetProgress(int request) {
  int previous = m_phase;
  switch (request) {
    case 0:
      if (m_lastError == 0 && (m_phase == ARCHIVE_PHASE_EXTRACT || m_phase == ARCHIVE_PHASE_TEST))
        m_progressDone = m_progressTotal;
      m_phase = ARCHIVE_PHASE_DIRECTORY;
      break;
    case 1:
      if (m_phase != ARCHIVE_PHASE_TEST) m_progressDone = m_progressTotal = 0;
      break;
    case 2:
      m_progressDone = m_progressTotal = 0;
      m_phase = ARCHIVE_PHASE_EXTRACT;
      break;
    default:
      break;
  }
  return previous;
}

// ---------------------------------------------------------------- adding

std::string CZipFile::NormalizeName(const char *name) const {
  std::string s = name ? name : "";
  if (!(m_options & ZIP_OPT_KEEP_DRIVE)) s.erase(0, DrivePrefixLength(s));
  // No leading separator: a name must not point at the root of the disk it is extracted to.
  size_t lead = 0;
  while (lead < s.size() && IsSeparator(s[lead])) ++lead;
  s.erase(0, lead);
  for (char &c : s)
    if (c == '\\') c = '/';
  return s;
}

int CZipFile::ChooseMethod(const char *name, uint64_t size, uint32_t attributes, int *level) const {
  *level = 0;
  if (size == 0 || (attributes & ARCHIVE_ATTR_STORE) || m_methodSetting == 0 ||
      (name && PathMatchExtensionListA(name, kZipStoredSuffixes)))
    return 0;
  if (m_methodSetting == -1) {
    *level = 9;
    return 8;
  }
  *level = m_level;
  return m_level ? m_methodSetting : 0;
}

int CZipFile::RecordEntry(const std::string &name, const char *sourcePath, const ArchiveFileInfo *info,
                          const std::string &ownName, int *level) {
  int32_t now = NowTime();
  int32_t writeTime = info && info->writeTime != 0 && info->writeTime != -1 ? info->writeTime : now;
  int32_t createTime = info && info->createTime != 0 && info->createTime != -1 ? info->createTime : writeTime;
  int32_t accessTime = info && info->accessTime != 0 && info->accessTime != -1 ? info->accessTime : writeTime;
  uint64_t size = info ? info->size : 1;
  uint32_t attributes = info ? info->attributes : FILE_ATTRIBUTE_ARCHIVE;
  int method = ChooseMethod(name.c_str(), size, attributes, level);
  if (sourcePath) {
    int l2;
    if (!ChooseMethod(sourcePath, size, attributes, &l2)) method = 0;
  }
  // The own name goes into the headers as it is: it must fit their 16-bit length.
  if (ownName.size() > 0xFFFF) ZipRaise(ZIP_E_PATH);
  int index = NewEntry();
  ZipEntry *e = GetEntry(index);
  int rc = SetEntryName(index, name.c_str(), static_cast<int>(name.size()), sourcePath);
  uint8_t *raw = nullptr;
  if (!rc && !ownName.empty() && !(raw = static_cast<uint8_t *>(std::malloc(ownName.size())))) rc = ZIP_E_NOMEM;
  if (rc) {
    FreeEntry(index);
    ZipRaise(rc);
  }
  e->modTime = writeTime;
  e->createTime = createTime;
  e->accessTime = accessTime;
  e->dosDateTime = TimeToDosDateTime(writeTime);
  e->externalAttributes = ZipMapAttributes(attributes);
  e->uncompressedSize = size;
  e->versionMadeBy = ZIP_VERSION_MADE_BY;
  e->method = static_cast<uint16_t>(method);
  e->versionNeeded = VersionFor(method);
  e->pending = 1;
  if (raw) {
    // The headers carry the file's own name in UTF-8; the table keeps the listed spelling.
    std::memcpy(raw, ownName.data(), ownName.size());
    e->rawName = raw;
    e->rawNameLength = static_cast<uint16_t>(ownName.size());
    e->rawCommentLength = 0;
    e->flags |= ZIP_FLAG_UTF8;
  }
  return index;
}

int CZipFile::AddEntry(const char *name, const void *source, int sourceKind, const ArchiveFileInfo *info) {
  if (info && (info->attributes & FILE_ATTRIBUTE_DIRECTORY)) return AddDirectory(name);
  m_lastError = 0;
  int rc;
  try {
    rc = AddEntryRaw(name, source, sourceKind, info);
  } catch (int code) {
    rc = code;
  } catch (const SkipEntry &skip) {
    rc = skip.code;
  } catch (const std::bad_alloc &) {
    rc = ZIP_E_NOMEM;
  }
  m_addingName.clear();
  if (rc != 0 && rc != 1) return Fail(rc);
  return rc;
}

int CZipFile::AddEntryRaw(const char *name, const void *source, int sourceKind,
                          const ArchiveFileInfo *info) {
  if (m_mode < ARCHIVE_UPDATE) ZipRaise(ZIP_E_WRITE);
  std::string entryName = NormalizeName(name);
  SetCurrentName(entryName.c_str());
  if (entryName.empty()) ZipRaise(ZIP_E_NONAME);
  if (sourceKind < ARCHIVE_SOURCE_HANDLE || sourceKind > ARCHIVE_SOURCE_CALLBACK || !source)
    ZipRaise(ZIP_E_INDEX);
  if (sourceKind == ARCHIVE_SOURCE_MEMORY && !info) ZipRaise(ZIP_E_INDEX);
  m_addingName = entryName;
  if (!(m_options & ZIP_OPT_NO_LOOKUP)) {
    int existing = CZipEntryTable::FindEntry(entryName.c_str());
    if (existing >= 0) {
      if (m_options & ZIP_OPT_SKIP_EXISTING) return 0;
      SetEntryDeleted(existing);
      SetChangesPending(true);
    }
  }
  int level;
  int index = RecordEntry(entryName, sourceKind == ARCHIVE_SOURCE_PATH ? static_cast<const char *>(source) : nullptr,
                          info, m_addingOwnName, &level);
  ZipEntry *e = GetEntry(index);
  const int method = e->method;
  const uint64_t size = e->uncompressedSize;
  RaiseEvent(ARCHIVE_EVENT_COMPRESS, index);  // the answer does not stop an add
  ClearSortOrder();
  if (sourceKind != ARCHIVE_SOURCE_PATH) {
    Source src;
    src.kind = sourceKind;
    if (sourceKind == ARCHIVE_SOURCE_HANDLE) src.handle = const_cast<void *>(source);
    if (sourceKind == ARCHIVE_SOURCE_MEMORY) {
      src.data = static_cast<const uint8_t *>(source);
      src.size = info->size;
    }
    if (sourceKind == ARCHIVE_SOURCE_CALLBACK) {
      const ArchiveSource *cb = static_cast<const ArchiveSource *>(source);
      src.read = cb->read;
      src.context = cb->context;
    }
    try {
      EnsureWorkFile();
      m_progressTotal += size;
      WriteEntryData(e, src, method, level, m_retryStored);
      m_progressDone += e->uncompressedSize;
    } catch (const SkipEntry &skip) {
      FreeEntry(e->tableIndex);
      m_io.Seek(m_dataEnd);
      ZipRaise(skip.code);
    } catch (...) {
      FreeEntry(e->tableIndex);
      m_io.Seek(m_dataEnd);
      throw;
    }
  }
  SetChangesPending(true);
  if (m_options & ZIP_OPT_SORT_ALWAYS) CZipEntryTable::SortEntries(0);
  m_addingName.clear();
  return RaiseEvent(ARCHIVE_EVENT_APPEND, e->tableIndex) ? 1 : 0;
}

int CZipFile::AddDirectory(const char *name) {
  m_lastError = 0;
  int rc;
  try {
    rc = AddDirectoryRaw(name);
  } catch (int code) {
    rc = code;
  } catch (const std::bad_alloc &) {
    rc = ZIP_E_NOMEM;
  }
  if (rc != 0 && rc != 1) return Fail(rc);
  return rc;
}

int CZipFile::AddDirectoryRaw(const char *name) {
  if (m_mode < ARCHIVE_UPDATE) ZipRaise(ZIP_E_WRITE);
  std::string entryName = NormalizeName(name);
  while (!entryName.empty() && entryName.back() == '/') entryName.pop_back();
  SetCurrentName(entryName.c_str());
  if (entryName.empty()) ZipRaise(ZIP_E_NONAME);
  if (!(m_options & ZIP_OPT_NO_LOOKUP)) {
    int existing = CZipEntryTable::FindEntry(entryName.c_str());
    if (existing >= 0) {
      if ((m_options & ZIP_OPT_SKIP_EXISTING) || IsDirectory(existing)) return 0;
      SetEntryDeleted(existing);
    }
  }
  int index = NewEntry();
  ZipEntry *e = GetEntry(index);
  int rc = SetEntryName(index, entryName.c_str(), static_cast<int>(entryName.size()), nullptr);
  if (rc) {
    FreeEntry(index);
    ZipRaise(rc);
  }
  int32_t now = NowTime();
  e->modTime = e->createTime = e->accessTime = now;
  e->dosDateTime = TimeToDosDateTime(now);
  e->externalAttributes = FILE_ATTRIBUTE_DIRECTORY;
  e->versionMadeBy = ZIP_VERSION_MADE_BY;
  e->versionNeeded = ZIP_VERSION_STORED;
  e->pending = 1;
  SetChangesPending(true);
  ClearSortOrder();
  if (m_options & ZIP_OPT_SORT_ALWAYS) CZipEntryTable::SortEntries(0);
  return RaiseEvent(ARCHIVE_EVENT_APPEND, e->tableIndex) ? 1 : 0;
}

int CZipFile::AddMemory(const char *name, const void *data, uint32_t size, const ArchiveFileInfo *info) {
  ArchiveFileInfo local = {};
  if (info) local = *info;
  else local.attributes = FILE_ATTRIBUTE_ARCHIVE;
  local.size = size;
  static const uint8_t kEmpty[1] = {0};
  return AddEntry(name, data ? data : kEmpty, ARCHIVE_SOURCE_MEMORY, &local);
}

void CZipFile::WriteEntryData(ZipEntry *e, Source &src, int method, int level, bool retryStored) {
  for (int attempt = 0;; ++attempt) {
    e->localHeaderOffset = m_dataEnd;
    e->crc32 = 0;
    e->compressedSize = 0;
    e->method = static_cast<uint16_t>(method);
    e->versionNeeded = VersionFor(method);
    e->flags = static_cast<uint16_t>(e->flags & ZIP_FLAG_UTF8);
    if (method == 14) e->flags |= 2;  // the LZMA stream ends with its end marker
    m_io.Seek(m_dataEnd);
    WriteEntryHeader(e);
    uint64_t dataStart = m_io.Tell();
    int s = SelectCodec(method, e, 1);
    if (s) ZipRaise(s == 1 ? ZIP_E_UNSUPPORTED : ZIP_E_NOMEM);
    CCodec *codec = m_codec;
    src.Attach(codec);
    codec->SetStopFlag(m_stopFlag);
    codec->SetOutputCallback(&m_io, CZipIo::WriteFunc, CODEC_NO_CRC);
    m_running = codec;
    m_runningCompress = true;
    int errorClass = 0;
    try {
      codec->Compress(method == 0 ? 0 : level);
    } catch (const char *) {
      errorClass = codec->m_errorClass ? codec->m_errorClass : CODEC_ERR_FORMAT;
    } catch (int) {
      errorClass = CODEC_ERR_FORMAT;
    } catch (const std::bad_alloc &) {
      errorClass = CODEC_ERR_MEMORY;
    }
    m_running = nullptr;
    codec->SetStopFlag(nullptr);
    if (m_stopFlag && *m_stopFlag) ZipRaise(ZIP_E_CANCEL);
    if (errorClass == CODEC_ERR_WRITE) ZipRaise(ZIP_E_WRITE);
    if (errorClass == CODEC_ERR_READ || (errorClass == CODEC_ERR_EOF && m_codecMethod == 95))
      throw SkipEntry{ZIP_E_SOURCE_READ};
    bool larger = (codec->m_flags & CODEC_FLAG_LARGER) != 0;
    if (errorClass || (larger && method != 0)) {
      // Compression failed or did not pay: the data goes in again, stored.
      if (method == 0) ZipRaise(ZIP_E_COMPRESS);
      if (!retryStored && errorClass) ZipRaise(ZIP_E_COMPRESS);
      // The entry still goes in, stored, but the caller learns that its method failed.
      if (errorClass) {
        Fail(ZIP_E_COMPRESS);
        if (!m_skipCode) m_skipCode = ZIP_E_COMPRESS;
      }
      if (!src.Rewind()) {
        if (errorClass) throw SkipEntry{ZIP_E_SOURCE_READ};
      } else {
        method = 0;
        level = 0;
        continue;
      }
    }
    uint64_t compressed = codec->m_sink.total;
    uint64_t uncompressed = codec->m_source.total;
    if (src.kind == ARCHIVE_SOURCE_MEMORY) uncompressed = src.size;
    if (m_codecMethod == 0) e->method = static_cast<uint16_t>(codec->m_mode == 0 ? 0 : 8);
    if (dataStart + compressed != m_io.Tell()) ZipRaise(ZIP_E_INTERNAL);
    e->crc32 = codec->SourceCrc();
    e->compressedSize = compressed;
    e->uncompressedSize = uncompressed;
    e->versionNeeded = VersionFor(e->method);
    if ((compressed >= ZIP64_LIMIT || uncompressed >= ZIP64_LIMIT) && !e->localZip64) {
      // The source grew past 4 GiB after it was measured: write it again with room for the
      // Zip64 sizes in its first header.
      if (attempt > 2 || !src.Rewind()) ZipRaise(ZIP_E_INTERNAL);
      e->localHeaderSize = 0;
      e->localZip64 = 1;
      continue;
    }
    m_io.Seek(e->localHeaderOffset);
    WriteEntryHeader(e);
    m_dataEnd = dataStart + compressed;
    m_io.Seek(m_dataEnd);
    e->pending = 0;
    e->inFile = 1;
    return;
  }
}

// ---------------------------------------------------------------- AddFiles

int CZipFile::AddFiles(const char *path, const char *include, const char *exclude, const char *prefix) {
  if (m_mode < ARCHIVE_UPDATE) {
    Fail(ZIP_E_WRITE);
    return -1;
  }
  m_lastError = 0;
  std::vector<const DirEntry *> files;
  CDirList list;
  try {
    int flags = (m_options & ZIP_OPT_RECURSE) ? CDirList::DL_RECURSE : 0;
    int found = list.Open(path, flags, include && *include ? include : nullptr,
                          exclude && *exclude ? exclude : nullptr);
    for (int i = 0; found > 0 && i < list.m_nCount; ++i) files.push_back(list.GetEntry(i));
  } catch (const std::bad_alloc &) {
    Fail(ZIP_E_NOMEM);
    return 0;
  }
  return AddListed(files.data(), static_cast<int>(files.size()), false, prefix);
}

int CZipFile::AddListedFile(const DirEntry &file, const char *prefix, const wchar_t *ownName) {
  if (m_mode < ARCHIVE_UPDATE) {
    Fail(ZIP_E_WRITE);
    return -1;
  }
  m_lastError = 0;
  const DirEntry *one = &file;
  return AddListed(&one, 1, true, prefix, ownName);
}

int CZipFile::AddListed(const DirEntry *const *files, int count, bool byName, const char *prefix,
                        const wchar_t *ownName) {
  std::string pre = PrefixFolder(prefix);
  unsigned saved = m_options;
  m_options = (m_options | ZIP_OPT_NO_LOOKUP) & ~ZIP_OPT_SORT_ALWAYS;
  int added = 0;
  try {
    for (int i = 0; i < count; ++i) {
      const DirEntry *d = files[i];
      if (!d || d->IsFolder()) continue;
      const char *relName = (saved & ZIP_OPT_FULL_PATHS) ? d->FullPath() : byName ? d->Name() : d->RelPath();
      if (AddListedEntry(*d, relName, pre, saved, ownName)) ++added;
    }
  } catch (const std::bad_alloc &) {
    Fail(ZIP_E_NOMEM);
  }
  m_addingName.clear();
  m_options = (m_options & ~(ZIP_OPT_NO_LOOKUP | ZIP_OPT_SORT_ALWAYS)) |
              (saved & (ZIP_OPT_NO_LOOKUP | ZIP_OPT_SORT_ALWAYS));
  if ((m_options & ZIP_OPT_SORT_ALWAYS) && added) CZipEntryTable::SortEntries(0);
  return added;
}

bool CZipFile::AddListedEntry(const DirEntry &d, const char *relName, const std::string &pre, unsigned saved,
                              const wchar_t *ownName) {
  const char *full = d.FullPath();
  // Neither the archive itself nor its temporary copy goes in, whatever the letter case the
  // user typed the archive's name in.
  const char *name = d.Name();
  if ((PathCompareA(name, m_fileNamePart) == 0 && PathCompareA(full, m_path) == 0) ||
      (m_workPath[0] && PathCompareA(full, m_workPath) == 0))
    return false;
  std::string entryName = relName;
  if (!(saved & ZIP_OPT_KEEP_DRIVE)) entryName.erase(0, DrivePrefixLength(entryName));
  if (!pre.empty()) {
    entryName = entryName[0] == ':' ? ":" + pre + entryName.substr(1) : pre + entryName;
    if (entryName.size() > 511) return false;
  }
  FileInfo info;
  info.dwAttributes = d.dwFileAttributes;
  info.nSize = d.Size();
  info.ftCreation = d.ftCreationTime;
  info.ftLastAccess = d.ftLastAccessTime;
  info.ftLastWrite = d.ftLastWriteTime;
  int32_t fileTime = static_cast<int32_t>(FileInfoGetTime(&info));
  std::string normal = NormalizeName(entryName.c_str());
  ArchiveFileInfo ai;
  ai.attributes = d.dwFileAttributes;
  ai.size = d.Size();
  ai.writeTime = FromFileTime(d.ftLastWriteTime);
  ai.createTime = FromFileTime(d.ftCreationTime);
  ai.accessTime = FromFileTime(d.ftLastAccessTime);
  const std::string own = OwnNameUtf8(ownName);
  int existing = CZipEntryTable::FindEntry(normal.c_str());
  if (existing >= 0) {
    if (saved & ZIP_OPT_SKIP_EXISTING) return false;
    const ZipEntry *old = GetEntry(existing);
    if (!old->fromArchive) {
      // Added since the archive was opened: the first file keeps the name, so that no listed
      // file silently takes another's place. The same file listed again is in already.
      if (!old->sourcePath || PathCompareA(old->sourcePath, full) != 0) {
        // Once, also when it is listed again.
        const bool first = m_nameTaken.insert(full).second;
        if (old->pending && old->sourcePath) {
          // The entry's file is read at the commit: should it fail there, this one goes in.
          if (first) m_waiting.push_back(Waiting{normal, full, own, ai});
          return false;
        }
        if (first) m_skipped.push_back(ZipSkippedSource{full, ZIP_E_EXISTS});
        SetCurrentName(full);
        Fail(ZIP_E_EXISTS);
      }
      return false;
    }
    if ((saved & ZIP_OPT_NEWER_ONLY) && old->modTime != -1 && old->modTime >= fileTime) return false;
    SetEntryDeleted(existing);
    SetChangesPending(true);
  }
  m_addingName = normal;
  if (RaiseEvent(ARCHIVE_EVENT_SKIP, GetEntryCount())) return false;
  int rc;
  OwnNameScope scope(m_addingOwnName, own);
  if (m_deferredAdd) {
    // The full path is kept whole (up to the system's limit) for the commit.
    rc = AddEntry(normal.c_str(), full, ARCHIVE_SOURCE_PATH, &ai);
  } else {
    CZipHandle file(OpenSourceFile(full));
    if (!file.IsOpen()) {
      SetCurrentName(full);
      Fail(ZIP_E_SOURCE_OPEN);
      return false;
    }
    rc = AddEntry(normal.c_str(), file.Get(), ARCHIVE_SOURCE_HANDLE, &ai);
    if (rc == ZIP_E_COMPRESS && m_retryStored) {
      LARGE_INTEGER zero;
      zero.QuadPart = 0;
      if (SetFilePointerEx(file.Get(), zero, nullptr, FILE_BEGIN)) {
        ai.attributes |= ARCHIVE_ATTR_STORE;
        rc = AddEntry(normal.c_str(), file.Get(), ARCHIVE_SOURCE_HANDLE, &ai);
      }
    }
  }
  return rc == 0;
}

int CZipFile::AddFile(const char *path, const char *entryName) {
  m_lastError = 0;
  if (m_mode < ARCHIVE_UPDATE) return Fail(ZIP_E_MODE);
  std::string name = NormalizeName(entryName);
  SetCurrentName(name.c_str());
  if (name.empty()) return Fail(ZIP_E_NONAME);
  FileInfo info;
  if (!path || FileStat(path, &info) != 0 || (info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetCurrentName(path);
    return Fail(ZIP_E_SOURCE_OPEN);
  }
  int32_t fileTime = static_cast<int32_t>(FileInfoGetTime(&info));
  int existing = CZipEntryTable::FindEntry(name.c_str());
  if (existing >= 0) {
    const ZipEntry *old = GetEntry(existing);
    if ((m_options & ZIP_OPT_SKIP_EXISTING) || old->pending) return Fail(ZIP_E_EXISTS);
    if ((m_options & ZIP_OPT_NEWER_ONLY) && old->modTime != -1 && old->modTime >= fileTime)
      return Fail(ZIP_E_OLDER);
  }
  m_addingName = name;
  if (RaiseEvent(ARCHIVE_EVENT_SKIP, GetEntryCount())) {
    m_addingName.clear();
    return Fail(ZIP_E_CANCEL);
  }
  char full[MAX_PATH];
  DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  if (!n || n >= MAX_PATH) {
    SetCurrentName(path);
    return Fail(ZIP_E_SOURCE_OPEN);
  }
  ArchiveFileInfo ai;
  ai.attributes = info.dwAttributes;
  ai.size = info.nSize;
  ai.writeTime = FromFileTime(info.ftLastWrite);
  ai.createTime = FromFileTime(info.ftCreation);
  ai.accessTime = FromFileTime(info.ftLastAccess);
  if (m_deferredAdd) return AddEntry(name.c_str(), full, ARCHIVE_SOURCE_PATH, &ai);
  CZipHandle file(OpenSourceFile(full));
  if (!file.IsOpen()) {
    SetCurrentName(full);
    return Fail(ZIP_E_SOURCE_OPEN);
  }
  return AddEntry(name.c_str(), file.Get(), ARCHIVE_SOURCE_HANDLE, &ai);
}

int CZipFile::AddFile(const char *path) {
  if (!path) return AddFile(path, nullptr);
  return AddFile(path, PathFindFileNameA(-1, path));
}

// ---------------------------------------------------------------- delete

int CZipFile::DeleteEntry(int index) {
  if (RaiseEvent(ARCHIVE_EVENT_REMOVE, index)) return -1;
  if (m_mode < ARCHIVE_UPDATE) return Fail(ZIP_E_WRITE);
  ZipEntry *e = GetEntry(index);
  if (!e || e->deleted) return Fail(ZIP_E_INDEX);
  SetCurrentName(e->name);
  SetEntryDeleted(index);
  ClearSortOrder();
  SetChangesPending(true);
  m_lastError = 0;
  return 0;
}

// ---------------------------------------------------------------- commit and close

int CZipFile::Commit() {
  if (m_mode < ARCHIVE_UPDATE) return Fail(ZIP_E_INDEX);
  m_skipCode = 0;
  m_lastError = 0;
  int rc = 0;
  try {
    CommitRaw();
  } catch (int code) {
    rc = CatchCodes(code);
  } catch (const std::bad_alloc &) {
    rc = ZIP_E_NOMEM;
  }
  m_running = nullptr;
  if (rc) {
    m_phase = ARCHIVE_PHASE_DIRECTORY;
    Fail(rc);
    Abort();
    m_lastError = rc;
    return rc;
  }
  m_lastError = m_skipCode;
  return m_skipCode;
}

int CZipFile::RecordWaiting(const Waiting &w) {
  int level;
  SetCurrentName(w.name.c_str());
  return RecordEntry(w.name, w.path.c_str(), &w.info, w.ownName, &level);
}

void CZipFile::CommitRaw() {
  // A name whose entry went away before the commit goes to the first file that waited for it.
  for (size_t i = 0; i < m_waiting.size();) {
    if (CZipEntryTable::FindEntry(m_waiting[i].name.c_str()) >= 0) {
      ++i;
      continue;
    }
    RecordWaiting(m_waiting[i]);
    m_waiting.erase(m_waiting.begin() + static_cast<std::ptrdiff_t>(i));
  }
  uint64_t total = 0;
  bool gaps = false;
  std::vector<ZipEntry *> pending;
  for (int i = 0; i < GetEntryCount(); ++i) {
    ZipEntry *e = GetEntry(i);
    if (e->inFile && !e->pending && (e->deleted || e->damaged)) {
      gaps = true;
      total += 1024;
    }
    if (e->pending && !e->deleted) {
      pending.push_back(e);
      total += e->uncompressedSize;
    }
  }
  m_progressTotal = total;
  m_progressDone = 0;
  m_phase = ARCHIVE_PHASE_WRITE;
  if (RaiseEvent(ARCHIVE_EVENT_WRITE_BACK, -1)) ZipRaise(ZIP_E_CANCEL);
  if (gaps) {
    EnsureWorkFile();
    CompactEntries();
  }
  if (!pending.empty()) EnsureWorkFile();
  for (ZipEntry *e : pending) {
    for (;;) {
      try {
        WritePendingEntry(e->tableIndex);
        break;
      } catch (const SkipEntry &skip) {
        // A source that vanished, is locked or cannot be read: the entry is left out and the
        // archive completed without it.
        m_running = nullptr;
        SetCurrentName(e->sourcePath ? e->sourcePath : e->name);
        m_skipped.push_back(ZipSkippedSource{m_currentName, skip.code});
        if (!m_skipCode) m_skipCode = skip.code;
        Fail(skip.code);
        const std::string name = e->name;
        FreeEntry(e->tableIndex);
        m_io.Seek(m_dataEnd);
        SetChangesPending(true);
        // The next listed file of that name goes in instead.
        auto next = std::find_if(m_waiting.begin(), m_waiting.end(), [&](const Waiting &w) {
          return ZipCompareNames(w.name.data(), static_cast<int>(w.name.size()), name.data(),
                                 static_cast<int>(name.size())) == 0;
        });
        if (next == m_waiting.end()) break;
        e = GetEntry(RecordWaiting(*next));
        m_waiting.erase(next);
        m_progressTotal += e->uncompressedSize;
      }
    }
  }
  // The others that waited: their name went in with another file.
  for (const Waiting &w : m_waiting) m_skipped.push_back(ZipSkippedSource{w.path, ZIP_E_EXISTS});
  m_waiting.clear();
  for (int i = GetEntryCount() - 1; i >= 0; --i)
    if (GetEntry(i)->deleted) FreeEntry(i);
  if (m_options & ZIP_OPT_SORT_ALWAYS) CZipEntryTable::SortEntries(0);
  m_phase = ARCHIVE_PHASE_DIRECTORY;
}

void CZipFile::CompactEntries() {
  m_quietSort = true;
  CZipEntryTable::SortEntries(ZIP_SORT_OFFSET);
  m_quietSort = false;
  std::vector<ZipEntry *> inFile;
  for (int i = 0; i < GetEntryCount(); ++i) {
    ZipEntry *e = GetEntry(i);
    if (e->inFile && !e->pending) inFile.push_back(e);
  }
  if (inFile.empty()) return;
  struct Move {
    ZipEntry *entry;
    uint64_t from, to, length;
  };
  std::vector<Move> moves;
  uint64_t pos = inFile[0]->localHeaderOffset;
  bool needMove = false;
  for (size_t k = 0; k < inFile.size(); ++k) {
    ZipEntry *e = inFile[k];
    if (e->deleted || e->damaged) continue;
    uint64_t start = e->localHeaderOffset;
    if (!e->localHeaderSize) DataStart(e);
    uint64_t length = e->localHeaderSize + e->compressedSize + e->descriptorSize;
    uint64_t next = k + 1 < inFile.size() ? inFile[k + 1]->localHeaderOffset : m_dataEnd;
    if (start + length > next || start + length > m_dataEnd || start + length < start)
      ZipRaise(ZIP_E_INTERNAL);
    moves.push_back({e, start, pos, length});
    needMove = needMove || start != pos;
    pos += length;
  }
  // Only moving data needs the mapping (an empty file cannot be mapped); a view that cannot be
  // made falls back to chunks.
  CMapView view;
  uint8_t *mapped = nullptr;
  if (needMove && !m_io.IsMemory() && m_io.Size() < kMapLimit) {
    m_io.Flush();
    mapped = view.Open(m_io.Handle());
    if (!mapped) view.Close();
  }
  try {
    for (const Move &m : moves) {
      SetCurrentName(m.entry->name);
      if (RaiseEvent(ARCHIVE_EVENT_COMPRESS, m.entry->tableIndex)) ZipRaise(ZIP_E_CANCEL);
      if (m.from != m.to) {
        MoveData(m.from, m.to, m.length, mapped);
        m.entry->localHeaderOffset = m.to;
      }
      m_progressDone += 1024;
    }
  } catch (int) {
    view.Close();
    throw;
  }
  if (mapped) {
    if (!view.Close()) ZipRaise(ZIP_E_WRITE);
    m_io.Invalidate();
  }
  m_dataEnd = pos;
  m_io.Seek(pos);
  m_io.SetEnd();
  // Deleted and damaged records have no data any more.
  for (int i = GetEntryCount() - 1; i >= 0; --i) {
    ZipEntry *e = GetEntry(i);
    if (!e->pending && (e->deleted || e->damaged)) FreeEntry(i);
  }
}

void CZipFile::MoveData(uint64_t from, uint64_t to, uint64_t length, void *mapped) {
  if (mapped) {
    uint8_t *base = static_cast<uint8_t *>(mapped);
    std::memmove(base + to, base + from, static_cast<size_t>(length));
    return;
  }
  if (m_io.IsMemory()) {
    uint8_t *base = m_io.MemoryBase();
    if (!base || from + length > m_io.Size()) ZipRaise(ZIP_E_INTERNAL);
    std::memmove(base + to, base + from, static_cast<size_t>(length));
    return;
  }
  // Downwards in chunks: each chunk is read before anything overwrites it.
  uint8_t buffer[kMoveChunk];
  for (uint64_t done = 0; done < length;) {
    uint32_t n = length - done < kMoveChunk ? static_cast<uint32_t>(length - done) : kMoveChunk;
    m_io.ReadAt(from + done, buffer, n);
    m_io.WriteAt(to + done, buffer, n);
    done += n;
  }
}

void CZipFile::WritePendingEntry(int index) {
  ZipEntry *e = GetEntry(index);
  SetCurrentName(e->name);
  if (RaiseEvent(ARCHIVE_EVENT_COMPRESS, index)) ZipRaise(ZIP_E_CANCEL);
  if (e->externalAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    e->method = 0;
    e->compressedSize = e->uncompressedSize = 0;
    e->crc32 = 0;
    e->versionNeeded = ZIP_VERSION_STORED;
    e->localHeaderOffset = m_dataEnd;
    m_io.Seek(m_dataEnd);
    WriteEntryHeader(e);
    m_dataEnd = m_io.Tell();
    e->pending = 0;
    e->inFile = 1;
  } else {
    if (!e->sourcePath) ZipRaise(ZIP_E_INDEX);
    CZipHandle file(OpenSourceFile(e->sourcePath));
    if (!file.IsOpen()) throw SkipEntry{ZIP_E_SOURCE_OPEN};
    // Size and the directory mark in one query: the full handle information also asks the
    // volume for its serial number, which under Wine is a round trip to the mount manager
    // and costs more than packing a small file.
    FILE_STANDARD_INFO standard;
    if (!GetFileInformationByHandleEx(file.Get(), FileStandardInfo, &standard, sizeof(standard)) ||
        standard.Directory)
      throw SkipEntry{ZIP_E_SOURCE_OPEN};
    LARGE_INTEGER size = standard.EndOfFile;
    // A file written since it was listed goes in with the times it has now, as its data does.
    FILE_BASIC_INFO basic;
    if (GetFileInformationByHandleEx(file.Get(), FileBasicInfo, &basic, sizeof(basic))) {
      int32_t written = ZipFileTimeToTime(static_cast<uint64_t>(basic.LastWriteTime.QuadPart));
      if (written != e->modTime && written != 0 && written != -1) {
        e->modTime = written;
        e->dosDateTime = TimeToDosDateTime(written);
        e->createTime = ZipFileTimeToTime(static_cast<uint64_t>(basic.CreationTime.QuadPart));
        e->accessTime = ZipFileTimeToTime(static_cast<uint64_t>(basic.LastAccessTime.QuadPart));
      }
    }
    // Stored at the add (store attribute, suffix or setting) with data: stays stored.
    bool forcedStore = e->method == 0 && e->uncompressedSize > 0;
    // The size now decides the method and whether the first header reserves Zip64 sizes.
    e->uncompressedSize = static_cast<uint64_t>(size.QuadPart);
    int level;
    int method = ChooseMethod(e->name, e->uncompressedSize, forcedStore ? ARCHIVE_ATTR_STORE : 0, &level);
    int l2;
    if (!ChooseMethod(e->sourcePath, e->uncompressedSize, 0, &l2)) method = 0;
    Source src;
    src.kind = ARCHIVE_SOURCE_HANDLE;
    src.handle = file.Get();
    WriteEntryData(e, src, method, level, true);
  }
  m_progressDone += e->uncompressedSize;
  if (RaiseEvent(ARCHIVE_EVENT_COMPRESSED, e->tableIndex)) ZipRaise(ZIP_E_CANCEL);
}

void CZipFile::WriteDirectoryAndFinish() {
  EnsureWorkFile();
  m_io.Seek(m_dataEnd);
  WriteCentralDirectory();
  m_io.Flush();
  ReplaceTarget();
  SetChangesPending(false);
}

int CZipFile::Close() {
  if (m_mode == ARCHIVE_CLOSED) return Fail(ZIP_E_INDEX);
  if (m_mode == ARCHIVE_READ) {
    CloseStorage();
    FreeEntries();
    m_mode = ARCHIVE_CLOSED;
    m_lastError = 0;
    return 0;
  }
  int rc = Commit();
  if (m_mode == ARCHIVE_CLOSED) return rc;  // the commit failed or was cancelled: nothing written
  int code = 0;
  try {
    if (RaiseEvent(ARCHIVE_EVENT_CLOSE, -1)) ZipRaise(ZIP_E_CANCEL);
    if (GetChangesPending()) WriteDirectoryAndFinish();
  } catch (int c) {
    code = CatchCodes(c);
  } catch (const std::bad_alloc &) {
    code = ZIP_E_NOMEM;
  }
  if (code) {
    Fail(code);
    Abort();
    m_lastError = code;
    return code;
  }
  Abort();
  m_lastError = rc;
  return rc;
}

void CZipFile::Abort() {
  CloseStorage();
  FreeEntries();
  m_mode = ARCHIVE_CLOSED;
  m_phase = ARCHIVE_PHASE_DIRECTORY;
  m_running = nullptr;
  m_addingName.clear();
  m_waiting.clear();
  SetChangesPending(false);
}

// ---------------------------------------------------------------- mode switches

int CZipFile::SwitchMode(int mode) {
  if ((mode != ARCHIVE_READ && mode != ARCHIVE_UPDATE) || m_mode == ARCHIVE_CLOSED)
    return Fail(ZIP_E_MODE);
  if (mode == m_mode || (mode == ARCHIVE_UPDATE && m_mode == ARCHIVE_CREATED)) return 0;
  m_progressDone = m_progressTotal = 0;
  return SetMode(mode, GetChangesPending() ? 1 : 0);
}

int CZipFile::SetMode(int mode, int commitFirst) {
  if (m_mode == ARCHIVE_CLOSED) return Fail(ZIP_E_NOT_OPEN);
  m_lastError = 0;
  if (mode == ARCHIVE_UPDATE) {
    if (!m_writeAllowed) return Fail(ZIP_E_UNSUPPORTED);
    if (m_mode != ARCHIVE_READ) return Fail(ZIP_E_MODE);
    if (m_memoryArchive) {
      if (!m_io.IsWritable()) return Fail(ZIP_E_SOURCE_OPEN);
      m_mode = ARCHIVE_UPDATE;
      return 0;
    }
    m_io.Close();
    if (m_io.OpenFile(m_path, ZIPIO_UPDATE)) {
      if (m_io.OpenFile(m_path, ZIPIO_READ)) Abort();
      return Fail(ZIP_E_OPEN);
    }
    m_io.SetRaiseOnWriteError(m_raiseOnWriteError);
    m_mode = ARCHIVE_UPDATE;
    return 0;
  }
  if (mode != ARCHIVE_READ || (m_mode != ARCHIVE_UPDATE && m_mode != ARCHIVE_CREATED))
    return Fail(ZIP_E_MODE);
  int rc = 0;
  if (GetChangesPending() && commitFirst) {
    rc = Commit();
    if (m_mode == ARCHIVE_CLOSED) return rc;
    try {
      WriteDirectoryAndFinish();
    } catch (int code) {
      Fail(CatchCodes(code));
      Abort();
      m_lastError = CatchCodes(code);
      return m_lastError;
    }
  }
  if (m_memoryArchive) {
    m_mode = ARCHIVE_READ;
    return rc;
  }
  bool reread = GetChangesPending();  // uncommitted changes are dropped
  m_io.Close();
  DiscardWorkFile();
  m_targetLock.Close();
  if (m_io.OpenFile(m_path, ZIPIO_READ)) {
    Abort();
    return Fail(ZIP_E_OPEN);
  }
  m_mode = ARCHIVE_READ;
  if (reread) {
    SetChangesPending(false);
    int r = CZipFormat::ReadDirectory(ARCHIVE_READ);
    if (r) {
      Fail(r);
      Abort();
      return r;
    }
  }
  m_lastError = rc;
  return rc;
}

// ---------------------------------------------------------------- extract and test

int CZipFile::SelectCodec(int method, const ZipEntry *entry, int forWriting) {
  int cls, mode = 8;
  switch (method) {
    case 0: cls = 0; mode = 0; break;
    case 8: cls = 0; mode = 8; break;
    case 9:
      if (forWriting) return 1;
      cls = 0;
      mode = 9;
      break;
    case 12: case 14: case 95: case 98: cls = method; break;
    default: return 1;  // shrink, reduce and implode (1 to 7) and unknown methods
  }
  if (!m_codec || m_codecMethod != cls) {
    CCodec *codec = nullptr;
    switch (cls) {
      case 0: codec = new (std::nothrow) CDeflateCodec(); break;
      case 12: codec = new (std::nothrow) CBz2Codec(); break;
      case 14: codec = new (std::nothrow) CLzmaCodec(); break;
      case 95: codec = new (std::nothrow) CXzCodec(); break;
      default: codec = new (std::nothrow) CPpmdCodec(); break;
    }
    if (!codec) return 2;
    if (m_codec) {
      m_codec->Release();
      delete m_codec;
    }
    m_codec = codec;
    m_codecMethod = cls;
  }
  m_codec->Reset(1);
  switch (cls) {
    case 0: m_codec->m_mode = mode; break;
    case 14: {
      CLzmaCodec *lzma = static_cast<CLzmaCodec *>(m_codec);
      lzma->m_mode = LZMA_MODE_ZIP_HEADER | LZMA_MODE_PROPS;
      // Writing ends the stream with its marker; reading stops at the entry's size.
      lzma->m_expectedSize = forWriting || !entry ? -1 : static_cast<int64_t>(entry->uncompressedSize);
      lzma->m_sizeHint = forWriting && entry ? entry->uncompressedSize : 0;
      break;
    }
    case 98: m_codec->m_mode = PPMD_MODE_PROPERTIES; break;
    default: m_codec->m_mode = 8; break;
  }
  return 0;
}

uint64_t CZipFile::DataStart(ZipEntry *e) {
  if (!e->localHeaderSize) {
    uint8_t h[ZIP_LOCAL_SIZE];
    m_io.ReadAt(e->localHeaderOffset, h, ZIP_LOCAL_SIZE);
    if (h[0] != 0x50 || h[1] != 0x4B || h[2] != 3 || h[3] != 4) ZipRaise(ZIP_E_FORMAT);
    e->localHeaderSize = ZIP_LOCAL_SIZE + (h[26] | h[27] << 8) + (h[28] | h[29] << 8);
  }
  return e->localHeaderOffset + e->localHeaderSize;
}

void CZipFile::SetupDecryption(ZipEntry *e) {
  if (e->method == 99) {
    if (!m_aes) {
      m_aes = new (std::nothrow) ZipAesContext();
      if (!m_aes) ZipRaise(ZIP_E_NOMEM);
    }
    // Without a valid strength, or too short for salt, verifier and code, the entry is bad.
    int strength = e->aesInfo & 3;
    if (strength == 0) ZipRaise(ZIP_E_FORMAT);
    int h = ZipAesHeaderSize(strength);
    if (e->compressedSize < static_cast<uint64_t>(h) + ZIPAES_MAC_SIZE) ZipRaise(ZIP_E_FORMAT);
    uint8_t header[18];
    if (m_codec->ReadSource(header, h) != h) ZipRaise(ZIP_E_READ);
    if (!m_password) ZipRaise(ZIP_E_PASSWORD);
    uint8_t verifier[ZIPAES_VERIFIER_SIZE];
    int init = ZipAesInit(m_aes, strength, m_password, static_cast<int>(std::strlen(m_password)), header, verifier);
    if (init) ZipRaise(init == ZIPAES_E_PLATFORM ? ZIP_E_INTERNAL : ZIP_E_FORMAT);
    if (std::memcmp(verifier, header + h - ZIPAES_VERIFIER_SIZE, ZIPAES_VERIFIER_SIZE)) ZipRaise(ZIP_E_PASSWORD);
    m_aes->dataLimit = e->compressedSize - (ZIPAES_MAC_SIZE + 1);
    m_aes->position = static_cast<uint64_t>(h);
    if (!m_codec->SetReadFilter(m_aes, ZipAesDecodeFilter)) ZipRaise(ZIP_E_NOMEM);
    return;
  }
  uint8_t header[ZIPCRYPT_HEADER_SIZE];
  if (m_codec->ReadSource(header, ZIPCRYPT_HEADER_SIZE) != ZIPCRYPT_HEADER_SIZE) ZipRaise(ZIP_E_READ);
  if (!m_password) ZipRaise(ZIP_E_PASSWORD);
  ZipCryptInitKeys(&m_cryptKeys, m_password);
  ZipCryptDecode(&m_cryptKeys, header, ZIPCRYPT_HEADER_SIZE);
  uint16_t check = (e->flags & ZIP_FLAG_DESCRIPTOR) ? static_cast<uint16_t>(e->dosDateTime & 0xFFFF)
                                                     : static_cast<uint16_t>(e->crc32 >> 16);
  if (!ZipCryptCheckHeader(header, check)) ZipRaise(ZIP_E_PASSWORD);
  if (!m_codec->SetReadFilter(&m_cryptKeys, ZipCryptDecode)) ZipRaise(ZIP_E_NOMEM);
}

int CZipFile::ExtractEntry(int index, CodecWriteFunc write, void *context, ArchiveFileInfo *info) {
  if (!write) return Fail(ZIP_E_INDEX);
  return ExtractRaw(index, write, context, info, false);
}

int CZipFile::TestEntry(int index) { return ExtractRaw(index, DiscardWrite, nullptr, nullptr, true); }

int CZipFile::ExtractRaw(int index, CodecWriteFunc write, void *context, ArchiveFileInfo *info, bool test) {
  m_lastError = 0;
  ZipEntry *e = GetEntry(index);
  if (m_mode == ARCHIVE_CLOSED || !e || !e->inFile || e->pending) return Fail(ZIP_E_INDEX);
  SetCurrentName(e->name);
  int rc = 0;
  bool byCodec = false;
  bool single = m_phase != ARCHIVE_PHASE_EXTRACT && m_phase != ARCHIVE_PHASE_TEST;
  if (single) m_progressDone = m_progressTotal = 0;
  uint64_t base = m_progressDone;
  if (m_progressTotal < base + e->uncompressedSize) m_progressTotal = base + e->uncompressedSize;
  int phase = m_phase;
  m_phase = test ? ARCHIVE_PHASE_TEST : ARCHIVE_PHASE_EXTRACT;
  DeclaredSizeSink limit{write, context, e->uncompressedSize, false};
  try {
    if (test && RaiseEvent(ARCHIVE_EVENT_TEST, index)) ZipRaise(ZIP_E_CANCEL);
    bool encrypted = (e->flags & ZIP_FLAG_ENCRYPTED) != 0;
    if (!(test && e->uncompressedSize == 0 && !encrypted)) {
      bool aes = e->method == 99;
      if (aes && !encrypted) ZipRaise(ZIP_E_FORMAT);
      int method = aes ? e->aesMethod : e->method;
      int s = SelectCodec(method, e, 0);
      if (s) ZipRaise(s == 1 ? ZIP_E_UNSUPPORTED : ZIP_E_NOMEM);
      EntryReader reader{&m_io, e->compressedSize};
      m_io.Seek(DataStart(e));
      m_codec->SetInputCallback(&reader, EntryReader::Read, CODEC_NO_CRC);
      m_codec->SetOutputCallback(&limit, DeclaredSizeSink::Write, 0);
      if (encrypted) SetupDecryption(e);
      byCodec = true;
      m_running = m_codec;
      m_runningCompress = false;
      uint64_t count = m_codec->Decompress(-2);
      // Every AES entry's code is checked, also when the codec stopped in front of it.
      if (aes && m_aes->verified != 1) {
        uint8_t rest[4096];
        int32_t got;
        while ((got = m_codec->ReadSource(rest, sizeof rest)) > 0) {
        }
        if (got < 0 || m_aes->verified != 1) {
          m_codec->m_errorClass = CODEC_ERR_READ;
          throw "AES";
        }
      }
      m_running = nullptr;
      bool crcOk = m_codec->SinkCrc() == e->crc32 || (aes && e->crc32 == 0);
      if (!crcOk || count != e->uncompressedSize) ZipRaise(test ? ZIP_E_CRC : ZIP_E_DECOMPRESS);
    }
    if (info) {
      bool dosHost = e->madeOnDos || (e->versionMadeBy >> 8) == 10 || (e->versionMadeBy >> 8) == 11 ||
                     (e->versionMadeBy >> 8) == 14;
      uint32_t attributes = e->externalAttributes & 0x37;
      if (!dosHost) {
        // Unix hosts keep the mode in the high word: no write bit means read-only.
        uint32_t unixMode = e->externalAttributes >> 16;
        attributes = (e->externalAttributes & FILE_ATTRIBUTE_DIRECTORY) | FILE_ATTRIBUTE_ARCHIVE;
        if (unixMode && !(unixMode & 0222)) attributes |= FILE_ATTRIBUTE_READONLY;
      }
      info->attributes = attributes;
      info->size = e->uncompressedSize;
      info->writeTime = e->modTime == -1 ? 0 : e->modTime;
      info->createTime = e->createTime == -1 ? 0 : e->createTime;
      info->accessTime = e->accessTime == -1 ? 0 : e->accessTime;
    }
    if (!test && RaiseEvent(ARCHIVE_EVENT_EXTRACTED, index)) ZipRaise(ZIP_E_CANCEL);
  } catch (int code) {
    rc = CatchCodes(code);
  } catch (const char *) {
    int cls = m_codec->m_errorClass;
    if (cls == CODEC_ERR_EOF) rc = ZIP_E_EOF;
    else if (cls == CODEC_ERR_READ) rc = test ? ZIP_E_SOURCE_READ : ZIP_E_READ;
    else if (cls == CODEC_ERR_WRITE && !test) rc = ZIP_E_WRITE;
    else rc = ZIP_E_DECOMPRESS;
  } catch (const std::bad_alloc &) {
    rc = ZIP_E_NOMEM;
  }
  if (limit.overrun) rc = test ? ZIP_E_CRC : ZIP_E_DECOMPRESS;
  m_running = nullptr;
  if (m_codec) m_codec->Reset(1);  // no filter or caller's sink stays attached
  if (rc) {
    if (test && byCodec && rc != ZIP_E_CANCEL && rc != ZIP_E_PASSWORD && rc != ZIP_E_NOMEM &&
        rc != ZIP_E_UNSUPPORTED)
      e->damaged = 1;
    m_phase = single ? ARCHIVE_PHASE_DIRECTORY : phase;
    return Fail(rc);
  }
  m_progressDone = base + e->uncompressedSize;
  m_phase = single ? ARCHIVE_PHASE_DIRECTORY : phase;
  return 0;
}

int CZipFile::ExtractByName(const char *name, CodecWriteFunc write, void *context, ArchiveFileInfo *info) {
  int index = CZipEntryTable::FindEntry(name);
  if (index < 0) {
    SetCurrentName(name);
    return Fail(ZIP_E_INDEX);
  }
  return ExtractEntry(index, write, context, info);
}

int CZipFile::ExtractToMemory(int index, CZipIo *out, uint32_t memoryLimit) {
  if (!out) return Fail(ZIP_E_INDEX);
  out->OpenMemory(nullptr, 0, 0, memoryLimit ? memoryLimit : kDefaultMemoryLimit,
                  ZIPIO_MEM_WRITABLE | ZIPIO_MEM_GROW | ZIPIO_MEM_SPILL);
  int rc = ExtractEntry(index, CZipIo::WriteFunc, out, nullptr);
  if (rc) return rc;
  try {
    out->Flush();
  } catch (int code) {
    return Fail(code);
  }
  out->Seek(0);
  return 0;
}

int CZipFile::ExtractToFile(int index, const char *folder) {
  m_lastError = 0;
  ZipEntry *e = GetEntry(index);
  if (!e || !folder) return Fail(ZIP_E_INDEX);
  SetCurrentName(e->name);
  // An entry may not leave the target folder.
  if (!IsSafeEntryName(e->name)) return Fail(ZIP_E_PATH);
  std::string target = folder;
  if (!target.empty() && !IsSeparator(target.back())) target += '\\';
  for (const char *p = e->name; *p; ++p) target += *p == '/' ? '\\' : *p;
  if (target.size() >= MAX_PATH) return Fail(ZIP_E_PATH);
  if (RaiseEvent(ARCHIVE_EVENT_SKIP, index)) return Fail(ZIP_E_SKIPPED);
  if (RaiseEvent(ARCHIVE_EVENT_READ, index)) return Fail(ZIP_E_CANCEL);
  if (e->externalAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    if (!PathCreateDirectoriesA(target.c_str())) return Fail(ZIP_E_SOURCE_WRITE);
    return 0;
  }
  if (!PathCreateDirectoriesExA(target.c_str(), 1)) return Fail(ZIP_E_SOURCE_WRITE);
  std::string parent = target.substr(0, PathFileNameOffsetA(-1, target.c_str()));
  char temp[MAX_PATH];
  if (!GetTempFileNameA(parent.empty() ? "." : parent.c_str(), "AF_", 0, temp)) return Fail(ZIP_E_SOURCE_WRITE);
  ArchiveFileInfo info = {};
  int rc;
  {
    CZipHandle out(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.IsOpen()) {
      DeleteFileA(temp);
      return Fail(ZIP_E_SOURCE_WRITE);
    }
    rc = ExtractEntry(index, HandleWrite, out.Get(), &info);
    if (!rc) {
      FILETIME c = ToFileTime(info.createTime), a = ToFileTime(info.accessTime), w = ToFileTime(info.writeTime);
      SetFileTime(out.Get(), info.createTime ? &c : nullptr, info.accessTime ? &a : nullptr,
                  info.writeTime ? &w : nullptr);
      if (!out.Close()) rc = ZIP_E_SOURCE_WRITE;
    }
  }
  if (!rc && !MoveFileExA(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING)) rc = ZIP_E_SOURCE_WRITE;
  if (rc) {
    DeleteFileA(temp);
    SetCurrentName(e->name);
    return rc == m_lastError ? rc : Fail(rc);
  }
  DWORD attributes = info.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                        FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  SetFileAttributesA(target.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
  return 0;
}
