// Zip records on disk: reading the directory and writing headers, names, times and extras.
#include "zip/ZipFormat.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

const char kZipLibraryComment[] = "Erstellt mit Vellmorant";

namespace {

const uint64_t kFileTimeEpoch = 116444736000000000ull;  // 1970-01-01 as FILETIME
const unsigned kCommentMax = 512;
const uint32_t kScanWindow = 4096;

inline uint16_t Get16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Get32(const uint8_t *p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t Get64(const uint8_t *p) { return Get32(p) | static_cast<uint64_t>(Get32(p + 4)) << 32; }

void Put16(std::string &s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string &s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
void Put64(std::string &s, uint64_t v) {
  Put32(s, static_cast<uint32_t>(v));
  Put32(s, static_cast<uint32_t>(v >> 32));
}

inline uint32_t Low32OrMax(uint64_t v) {
  return v >= ZIP64_LIMIT ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
}

// Code page 1252 text -> UTF-16 (every byte is one unit).
std::wstring AnsiToWide(const char *text, int length) {
  std::wstring wide;
  if (length <= 0) return wide;
  wide.resize(length);
  int n = MultiByteToWideChar(1252, 0, text, length, &wide[0], length);
  wide.resize(n > 0 ? n : 0);
  return wide;
}

std::string WideTo(UINT codePage, const std::wstring &wide, bool *lossy) {
  std::string out;
  if (lossy) *lossy = false;
  if (wide.empty()) return out;
  bool utf8 = codePage == CP_UTF8;
  DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  const char *fallback = utf8 ? nullptr : "_";
  BOOL *used = utf8 ? nullptr : &usedDefault;
  int n = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr,
                              0, fallback, used);
  if (n <= 0) return out;
  out.resize(n);
  WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), &out[0], n,
                      fallback, used);
  if (lossy) *lossy = usedDefault != FALSE;
  return out;
}

bool AllAscii(const char *text, int length) {
  for (int i = 0; i < length; ++i)
    if (static_cast<uint8_t>(text[i]) >= 0x80) return false;
  return true;
}

// The item ids of the extra blocks that BuildZip64Extra writes itself.
bool IsOwnCentralItem(uint16_t id) { return id == 0x0001 || id == 0x5455 || id == 0x000A; }

// Appends the items of block whose ids keep() accepts.
template <class Keep>
void AppendItems(std::string &out, const uint8_t *block, int length, Keep keep) {
  int p = 0;
  while (length - p >= 4) {
    uint16_t id = Get16(block + p), size = Get16(block + p + 2);
    if (p + 4 + size > length) break;
    if (keep(id)) out.append(reinterpret_cast<const char *>(block + p), 4 + size);
    p += 4 + size;
  }
}

bool HasItem(const uint8_t *block, int length, uint16_t wanted) {
  bool found = false;
  int p = 0;
  while (length - p >= 4 && !found) {
    uint16_t id = Get16(block + p), size = Get16(block + p + 2);
    if (p + 4 + size > length) break;
    found = id == wanted;
    p += 4 + size;
  }
  return found;
}

uint8_t *CopyBlock(const std::string &s) {
  if (s.empty()) return nullptr;
  uint8_t *block = static_cast<uint8_t *>(std::malloc(s.size()));
  if (!block) ZipRaise(ZIP_E_NOMEM);
  std::memcpy(block, s.data(), s.size());
  return block;
}

char *CopyText(const std::string &s) {
  char *text = static_cast<char *>(std::malloc(s.size() + 1));
  if (!text) ZipRaise(ZIP_E_NOMEM);
  std::memcpy(text, s.data(), s.size());
  text[s.size()] = 0;
  return text;
}

// Encodes an entry's name for its headers; a folder's name ends in '/' on disk (the
// reader takes it off again).
std::string PlainEntryName(const ZipEntry *entry) {
  std::string name(entry->name ? entry->name : "", entry->nameLength);
  if ((entry->externalAttributes & FILE_ATTRIBUTE_DIRECTORY) && !name.empty() && name.back() != '/')
    name += '/';
  return name;
}

// Removes one trailing '/' from a decoded name; -> true when there was one.
bool StripTrailingSlash(std::string &name) {
  if (name.empty() || name.back() != '/') return false;
  name.pop_back();
  return true;
}

}  // namespace

// ---------------------------------------------------------------- names

int ZipUtf8DecodeChar(const uint8_t *bytes, int length, uint32_t *codePoint) {
  uint8_t b0 = bytes[0];
  *codePoint = b0;
  if (b0 < 0x80 || b0 < 0xC2 || b0 > 0xF4) return 1;
  int need = b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
  if (need > length) return 1;
  uint32_t cp = b0 & (0x7F >> need);
  for (int i = 1; i < need; ++i) {
    if ((bytes[i] & 0xC0) != 0x80) return 1;
    cp = cp << 6 | (bytes[i] & 0x3F);
  }
  if ((need == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
      (need == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
    return 1;
  *codePoint = cp;
  return need;
}

int ZipEncodeName(const char *text, int length, std::string &out, uint16_t *flags) {
  if (length < 0) length = static_cast<int>(std::strlen(text));
  bool utf8 = false;
  if (AllAscii(text, length)) {
    out.assign(text, length);
  } else {
    std::wstring wide = AnsiToWide(text, length);
    bool lossy = false;
    out = WideTo(850, wide, &lossy);
    utf8 = lossy;
    // A lead byte followed by a high byte could be read back as UTF-8.
    for (size_t i = 0; !utf8 && i + 1 < out.size(); ++i)
      utf8 = static_cast<uint8_t>(out[i]) >= 0xC0 && static_cast<uint8_t>(out[i + 1]) >= 0x80;
    if (utf8) out = WideTo(CP_UTF8, wide, nullptr);
  }
  if (flags) *flags = utf8 ? (*flags | ZIP_FLAG_UTF8) : (*flags & ~ZIP_FLAG_UTF8);
  return static_cast<int>(out.size());
}

int ZipDecodeName(const uint8_t *raw, int length, unsigned flags, std::string &out) {
  out.clear();
  if (length <= 0) return 0;
  std::wstring wide;
  wide.reserve(length);
  bool high = false, multi = false;
  for (int i = 0; i < length;) {
    uint32_t cp;
    int n = ZipUtf8DecodeChar(raw + i, length - i, &cp);
    if (raw[i] >= 0x80) high = true;
    if (n > 1) multi = true;
    // Code page 1252 holds nothing beyond the basic plane: one '_' for such a character.
    wide += cp >= 0x10000 ? L'_' : static_cast<wchar_t>(cp);
    i += n;
  }
  if (!(flags & ZIP_FLAG_UTF8) && !multi) {
    if (!high) {
      out.assign(reinterpret_cast<const char *>(raw), length);
      for (char &c : out)
        if (!c) c = '_';
      return length;
    }
    wide.resize(length);
    int n = MultiByteToWideChar(CP_OEMCP, 0, reinterpret_cast<const char *>(raw), length, &wide[0],
                                length);
    wide.resize(n > 0 ? n : 0);
  }
  out = WideTo(1252, wide, nullptr);
  for (char &c : out)
    if (!c) c = '_';  // names are also used as C strings
  return static_cast<int>(out.size());
}

// ---------------------------------------------------------------- times and attributes

uint8_t ZipMapAttributes(uint32_t attributes) {
  return static_cast<uint8_t>(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                                            FILE_ATTRIBUTE_ARCHIVE));
}

uint64_t ZipTimeToFileTime(int32_t time) {
  if (time <= 0) return 0;
  return static_cast<uint64_t>(time) * 10000000ull + kFileTimeEpoch;
}

int32_t ZipFileTimeToTime(uint64_t fileTime) {
  if (fileTime <= kFileTimeEpoch) return 0;
  uint64_t seconds = (fileTime - kFileTimeEpoch) / 10000000ull;
  return seconds > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(seconds);
}

uint32_t TimeToDosDateTime(int32_t time) {
  int64_t t = time;
  if (t & 1) ++t;  // DOS times have two-second steps; round up
  if (t < 0) return ZIP_DOS_TIME_MIN;
  uint64_t ft = static_cast<uint64_t>(t) * 10000000ull + kFileTimeEpoch;
  FILETIME fileTime;
  fileTime.dwLowDateTime = static_cast<DWORD>(ft);
  fileTime.dwHighDateTime = static_cast<DWORD>(ft >> 32);
  SYSTEMTIME utc, local;
  // The daylight saving of the date itself applies, not that of today.
  if (!FileTimeToSystemTime(&fileTime, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
    return ZIP_DOS_TIME_MIN;
  if (local.wYear < 1980 || local.wYear > 2107) return ZIP_DOS_TIME_MIN;
  return static_cast<uint32_t>(local.wYear - 1980) << 25 | static_cast<uint32_t>(local.wMonth) << 21 |
         static_cast<uint32_t>(local.wDay) << 16 | static_cast<uint32_t>(local.wHour) << 11 |
         static_cast<uint32_t>(local.wMinute) << 5 | local.wSecond / 2;
}

int32_t DosDateTimeToTime(uint32_t dosDateTime) {
  static const uint8_t kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  SYSTEMTIME local = {};
  local.wYear = static_cast<WORD>((dosDateTime >> 25) + 1980);
  local.wMonth = static_cast<WORD>((dosDateTime >> 21) & 15);
  local.wDay = static_cast<WORD>((dosDateTime >> 16) & 31);
  local.wHour = static_cast<WORD>((dosDateTime >> 11) & 31);
  local.wMinute = static_cast<WORD>((dosDateTime >> 5) & 63);
  local.wSecond = static_cast<WORD>((dosDateTime & 31) * 2);
  if (local.wMonth < 1) local.wMonth = 1;
  if (local.wMonth > 12) local.wMonth = 12;
  WORD days = kDays[local.wMonth - 1];
  if (local.wMonth == 2 && (local.wYear % 4 != 0 || (local.wYear % 100 == 0 && local.wYear % 400 != 0)))
    days = 28;
  if (local.wDay < 1) local.wDay = 1;
  if (local.wDay > days) local.wDay = days;
  if (local.wHour > 23) local.wHour = 23;
  if (local.wMinute > 59) local.wMinute = 59;
  if (local.wSecond > 59) local.wSecond = 59;
  SYSTEMTIME utc;
  FILETIME ft;
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&utc, &ft))
    return 0;
  return ZipFileTimeToTime(static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime);
}

// ---------------------------------------------------------------- extra fields

void ZipParseExtraFields(ZipEntry *entry, const uint8_t *block, int length) {
  if (!entry || !block) return;
  bool unixTimes = false;  // a 0x5455 or 0x7855 item blocks a later 0x5855
  int p = 0;
  while (length - p >= 4) {
    uint16_t id = Get16(block + p);
    int size = Get16(block + p + 2);
    if (p + 4 + size > length) break;
    const uint8_t *data = block + p + 4;
    switch (id) {
      case 0x0001: {
        int off = 0;
        if (entry->uncompressedSize == 0xFFFFFFFFu && off + 8 <= size) {
          entry->uncompressedSize = Get64(data + off);
          off += 8;
        }
        if (entry->compressedSize == 0xFFFFFFFFu && off + 8 <= size) {
          entry->compressedSize = Get64(data + off);
          off += 8;
        }
        if (entry->localHeaderOffset == 0xFFFFFFFFu && off + 8 <= size)
          entry->localHeaderOffset = Get64(data + off);
        break;
      }
      case 0x000A: {
        int off = 4;
        while (off + 4 <= size) {
          uint16_t tag = Get16(data + off), tagSize = Get16(data + off + 2);
          if (off + 4 + tagSize > size) break;
          if (tag == 1 && tagSize >= 24) {
            entry->modTime = ZipFileTimeToTime(Get64(data + off + 4));
            entry->accessTime = ZipFileTimeToTime(Get64(data + off + 12));
            entry->createTime = ZipFileTimeToTime(Get64(data + off + 20));
          }
          off += 4 + tagSize;
        }
        break;
      }
      case 0x5455: {
        unixTimes = true;
        if (size < 1) break;
        uint8_t flags = data[0];
        int off = 1;
        if (flags & 1) {
          if (off + 4 <= size) entry->modTime = static_cast<int32_t>(Get32(data + off));
          off += 4;
        }
        if (flags & 2) {
          if (off + 4 <= size) entry->accessTime = static_cast<int32_t>(Get32(data + off));
          off += 4;
        }
        if ((flags & 4) && off + 4 <= size) entry->createTime = static_cast<int32_t>(Get32(data + off));
        break;
      }
      case 0x5855:
        if (size >= 8 && !unixTimes) {
          entry->accessTime = static_cast<int32_t>(Get32(data));
          entry->modTime = static_cast<int32_t>(Get32(data + 4));
        }
        break;
      case 0x7855:
        unixTimes = true;
        break;
      case 0x9901:
        if (size >= 7) {
          uint16_t version = Get16(data), method = Get16(data + 5);
          uint8_t strength = data[4];
          // Only strengths 1 to 3 exist; a larger one would read as another version and strength.
          if ((version == 1 || version == 2) && data[2] == 'A' && data[3] == 'E' && strength >= 1 &&
              strength <= 3 && method < 256) {
            entry->aesInfo = static_cast<uint8_t>(version * 4 + strength);
            entry->aesMethod = static_cast<uint8_t>(method);
          }
        }
        break;
      default:
        break;
    }
    p += 4 + size;
  }
}

// ---------------------------------------------------------------- CZipFormat

CZipFormat::CZipFormat()
    : m_comment(nullptr), m_dataEnd(0), m_dirStart(0), m_dirEnd(0), m_changesPending(false) {}

CZipFormat::~CZipFormat() { CZipFormat::FreeEntries(); }

void CZipFormat::FreeEntries() {
  CZipEntryTable::FreeEntries();
  std::free(m_comment);
  m_comment = nullptr;
  m_dataEnd = m_dirStart = m_dirEnd = 0;
}

void CZipFormat::SetComment(const std::string &comment) {
  std::free(m_comment);
  m_comment = nullptr;
  m_comment = CopyText(comment);
}

int CZipFormat::ReadEntryName(std::string &out, unsigned length, unsigned flags) {
  std::vector<uint8_t> raw(length ? length : 1);
  if (length) m_io.Read(raw.data(), length);
  return ZipDecodeName(raw.data(), static_cast<int>(length), flags, out);
}

void CZipFormat::BuildZip64Extra(ZipEntry *entry) {
  bool bigU = entry->uncompressedSize >= ZIP64_LIMIT;
  bool bigC = entry->compressedSize >= ZIP64_LIMIT;
  bool bigO = entry->localHeaderOffset >= ZIP64_LIMIT;
  std::string central, local;
  if (bigU || bigC || bigO) {
    Put16(central, 0x0001);
    Put16(central, 8 * (bigU + bigC + bigO));
    if (bigU) Put64(central, entry->uncompressedSize);
    if (bigC) Put64(central, entry->compressedSize);
    if (bigO) Put64(central, entry->localHeaderOffset);
  }
  // An entry read without these times gets its modification time for all three.
  int32_t accessTime = entry->accessTime > 0 ? entry->accessTime : entry->modTime;
  int32_t createTime = entry->createTime > 0 ? entry->createTime : entry->modTime;
  Put16(central, 0x5455);
  Put16(central, 13);
  central += static_cast<char>(7);
  Put32(central, static_cast<uint32_t>(entry->modTime));
  Put32(central, static_cast<uint32_t>(accessTime));
  Put32(central, static_cast<uint32_t>(createTime));
  Put16(central, 0x000A);
  Put16(central, 32);
  Put32(central, 0);
  Put16(central, 1);
  Put16(central, 24);
  Put64(central, ZipTimeToFileTime(entry->modTime));
  Put64(central, ZipTimeToFileTime(accessTime));
  Put64(central, ZipTimeToFileTime(createTime));
  // The local Zip64 field carries both sizes, as readers of local headers expect.
  if (bigU || bigC || entry->localZip64) {
    Put16(local, 0x0001);
    Put16(local, 16);
    Put64(local, entry->uncompressedSize);
    Put64(local, entry->compressedSize);
    entry->localZip64 = 1;
  }
  // Items of other programs (AES, Unicode path, ...) stay behind ours.
  std::string centralOwn = central, localOwn = local;
  AppendItems(central, entry->centralExtra, entry->centralExtraLength,
              [](uint16_t id) { return !IsOwnCentralItem(id); });
  AppendItems(local, entry->localExtra, entry->localExtraLength,
              [](uint16_t id) { return id != 0x0001; });
  if (central.size() > 0xFFFF) central = centralOwn;
  if (local.size() > 0xFFFF) local = localOwn;
  uint8_t *newCentral = CopyBlock(central);
  uint8_t *newLocal = nullptr;
  try {
    newLocal = CopyBlock(local);
  } catch (int) {
    std::free(newCentral);
    throw;
  }
  std::free(entry->centralExtra);
  std::free(entry->localExtra);
  entry->centralExtra = newCentral;
  entry->centralExtraLength = static_cast<uint16_t>(central.size());
  entry->localExtra = newLocal;
  entry->localExtraLength = static_cast<uint16_t>(local.size());
  if (bigU || bigC || bigO || entry->localZip64) {
    entry->versionNeeded = ZIP_VERSION_ZIP64;
  } else if (entry->versionNeeded >= 21 && entry->method <= 8) {
    entry->versionNeeded = ZIP_VERSION_DEFLATED;
  }
}

void CZipFormat::PrepareExtras(ZipEntry *entry, bool local) {
  bool need64 = entry->uncompressedSize >= ZIP64_LIMIT || entry->compressedSize >= ZIP64_LIMIT ||
                entry->localHeaderOffset >= ZIP64_LIMIT;
  // A local Zip64 field is rebuilt every time: its sizes must be the current ones.
  bool fresh = !entry->fromArchive && !entry->centralExtra && !entry->localExtra;
  if (fresh || need64 || entry->localZip64) {
    BuildZip64Extra(entry);
    return;
  }
  // A kept block may hold a Zip64 item whose values no longer apply: drop it.
  if (!local && HasItem(entry->centralExtra, entry->centralExtraLength, 0x0001)) {
    std::string central;
    AppendItems(central, entry->centralExtra, entry->centralExtraLength,
                [](uint16_t id) { return id != 0x0001; });
    uint8_t *block = CopyBlock(central);
    std::free(entry->centralExtra);
    entry->centralExtra = block;
    entry->centralExtraLength = static_cast<uint16_t>(central.size());
  }
}

void CZipFormat::WriteEntryHeader(ZipEntry *entry) {
  if (!entry->localHeaderSize && entry->uncompressedSize >= ZIP64_RESERVE) entry->localZip64 = 1;
  PrepareExtras(entry, true);
  std::string name;
  if (entry->rawName) {
    name.assign(reinterpret_cast<const char *>(entry->rawName), entry->rawNameLength);
  } else {
    std::string plain = PlainEntryName(entry);
    ZipEncodeName(plain.data(), static_cast<int>(plain.size()), name, &entry->flags);
  }
  if (name.size() > 0xFFFF) ZipRaise(ZIP_E_PATH);
  bool zip64 = entry->localZip64 != 0;
  std::string h;
  h.reserve(ZIP_LOCAL_SIZE + name.size() + entry->localExtraLength);
  Put32(h, ZIP_SIG_LOCAL);
  Put16(h, entry->versionNeeded);
  Put16(h, entry->flags);
  Put16(h, entry->method);
  Put32(h, entry->dosDateTime);
  Put32(h, entry->crc32);
  Put32(h, zip64 ? 0xFFFFFFFFu : Low32OrMax(entry->compressedSize));
  Put32(h, zip64 ? 0xFFFFFFFFu : Low32OrMax(entry->uncompressedSize));
  Put16(h, static_cast<uint32_t>(name.size()));
  Put16(h, entry->localExtraLength);
  h += name;
  if (entry->localExtraLength)
    h.append(reinterpret_cast<const char *>(entry->localExtra), entry->localExtraLength);
  // A header rewritten in place must keep its length, or it would run into the data.
  if (entry->localHeaderSize && m_io.Tell() == entry->localHeaderOffset &&
      h.size() != entry->localHeaderSize)
    ZipRaise(ZIP_E_INTERNAL);
  entry->localHeaderSize = static_cast<uint32_t>(h.size());
  m_io.Write(h.data(), static_cast<uint32_t>(h.size()));
}

void CZipFormat::WriteCentralHeader(ZipEntry *entry) {
  PrepareExtras(entry, false);
  std::string name, comment;
  if (entry->rawName) {
    name.assign(reinterpret_cast<const char *>(entry->rawName), entry->rawNameLength);
    comment.assign(reinterpret_cast<const char *>(entry->rawName) + entry->rawNameLength,
                   entry->rawCommentLength);
  } else {
    std::string plain = PlainEntryName(entry);
    ZipEncodeName(plain.data(), static_cast<int>(plain.size()), name, &entry->flags);
    if (entry->comment && entry->commentLength) {
      uint16_t commentFlags = 0;
      ZipEncodeName(entry->comment, entry->commentLength, comment, &commentFlags);
      // Bit 11 covers name and comment alike: both go in UTF-8 when one needs it.
      if ((commentFlags ^ entry->flags) & ZIP_FLAG_UTF8) {
        comment = WideTo(CP_UTF8, AnsiToWide(entry->comment, entry->commentLength), nullptr);
        name = WideTo(CP_UTF8, AnsiToWide(plain.data(), static_cast<int>(plain.size())), nullptr);
        entry->flags |= ZIP_FLAG_UTF8;
      }
    }
  }
  if (name.size() > 0xFFFF) ZipRaise(ZIP_E_PATH);
  if (comment.size() > 0xFFFF) comment.resize(0xFFFF);
  std::string h;
  h.reserve(ZIP_CENTRAL_SIZE + name.size() + entry->centralExtraLength + comment.size());
  Put32(h, ZIP_SIG_CENTRAL);
  Put16(h, entry->versionMadeBy);
  Put16(h, entry->versionNeeded);
  Put16(h, entry->flags);
  Put16(h, entry->method);
  Put32(h, entry->dosDateTime);
  Put32(h, entry->crc32);
  Put32(h, Low32OrMax(entry->compressedSize));
  Put32(h, Low32OrMax(entry->uncompressedSize));
  Put16(h, static_cast<uint32_t>(name.size()));
  Put16(h, entry->centralExtraLength);
  Put16(h, static_cast<uint32_t>(comment.size()));
  Put16(h, entry->diskNumberStart);
  Put16(h, entry->internalAttributes);
  Put32(h, entry->externalAttributes);
  Put32(h, Low32OrMax(entry->localHeaderOffset));
  h += name;
  if (entry->centralExtraLength)
    h.append(reinterpret_cast<const char *>(entry->centralExtra), entry->centralExtraLength);
  h += comment;
  m_io.Write(h.data(), static_cast<uint32_t>(h.size()));
}

void CZipFormat::WriteCentralDirectory() {
  uint64_t start = m_io.Tell();
  uint64_t count = 0;
  for (int i = 0; i < GetEntryCount(); ++i) {
    ZipEntry *e = GetEntry(i);
    if (e->deleted || e->damaged || !e->inFile) continue;
    WriteCentralHeader(e);
    ++count;
  }
  uint64_t end = m_io.Tell();
  uint64_t size = end - start;
  bool zip64 = end > 0xFFFFF000u || count > 0xFFFF;
  std::string r;
  if (zip64) {
    Put32(r, ZIP_SIG_ZIP64_END);
    Put64(r, ZIP_ZIP64_END_SIZE - 12);
    Put16(r, ZIP_VERSION_ZIP64);
    Put16(r, ZIP_VERSION_ZIP64);
    Put32(r, 0);
    Put32(r, 0);
    Put64(r, count);
    Put64(r, count);
    Put64(r, size);
    Put64(r, start);
    Put32(r, ZIP_SIG_ZIP64_LOCATOR);
    Put32(r, 0);
    Put64(r, end);
    Put32(r, 1);  // total number of disks: readers refuse 0
  }
  const char *text = m_comment ? m_comment : kZipLibraryComment;
  int textLength = static_cast<int>(std::strlen(text));
  if (textLength > static_cast<int>(kCommentMax)) textLength = kCommentMax;
  std::string comment;
  ZipEncodeName(text, textLength, comment, nullptr);
  if (comment.size() > 0xFFFF) comment.resize(0xFFFF);
  uint32_t entries = count > 0xFFFF ? 0xFFFF : static_cast<uint32_t>(count);
  Put32(r, ZIP_SIG_END);
  Put16(r, 0);
  Put16(r, 0);
  Put16(r, entries);
  Put16(r, entries);
  Put32(r, zip64 ? Low32OrMax(size) : static_cast<uint32_t>(size));
  Put32(r, zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(start));
  Put16(r, static_cast<uint32_t>(comment.size()));
  r += comment;
  m_io.Write(r.data(), static_cast<uint32_t>(r.size()));
  m_dirStart = start;
  m_dirEnd = end;
  m_io.SetEnd();
}

// ---------------------------------------------------------------- reading the directory

struct CZipFormat::EndInfo {
  uint64_t recordPos;       // position of the (Zip64) end record behind the directory
  uint64_t disk;
  uint64_t dirDisk;
  uint64_t entriesHere;
  uint64_t entriesTotal;
  uint64_t dirSize;
  uint64_t dirOffset;
};

int CZipFormat::ReadDirectory(int mode) {
  try {
    ReadDirectoryRaw(mode);
    return ZIP_OK;
  } catch (int code) {
    FreeEntries();
    return code ? code : ZIP_E_FORMAT;
  } catch (const std::bad_alloc &) {
    FreeEntries();
    return ZIP_E_NOMEM;
  }
}

bool CZipFormat::IsSignatureAt(uint64_t position, uint32_t signature) {
  uint8_t b[4];
  m_io.Seek(position);
  return m_io.ReadSome(b, 4) == 4 && Get32(b) == signature;
}

bool CZipFormat::FindEndRecord(uint64_t *position, uint32_t *signature) {
  // Backwards over the file, as if block by block of 4096 bytes aligned to 4096 from the
  // end; reads are grouped into larger chunks with three bytes of overlap.
  const uint32_t kChunk = 16 * kScanWindow;
  std::vector<uint8_t> buf(kChunk + 3);
  uint64_t size = m_io.Size();
  uint64_t chunkEnd = size;
  uint32_t carry = 0;
  bool first = true, fallback = false;
  const uint64_t kLongestEnd = ZIP_END_SIZE + 0xFFFF;
  while (chunkEnd > 0) {
    // First the partial block at the end (the whole last block when the size is aligned),
    // then aligned chunks of 16 blocks.
    uint64_t chunkStart = first ? ((chunkEnd - 1) / kScanWindow) * kScanWindow
                                : (chunkEnd > kChunk ? chunkEnd - kChunk : 0);
    first = false;
    uint32_t len = static_cast<uint32_t>(chunkEnd - chunkStart);
    std::memmove(buf.data() + len, buf.data(), carry);  // bytes of the chunk read before
    m_io.ReadAt(chunkStart, buf.data(), len);
    uint32_t total = len + carry;
    for (int64_t i = static_cast<int64_t>(total) - 4; i >= 0; --i) {
      if (buf[i] != 0x50 || buf[i + 1] != 0x4B) continue;
      uint32_t sig = Get32(&buf[i]);
      if (sig != ZIP_SIG_END && sig != ZIP_SIG_ZIP64_LOCATOR) continue;
      uint64_t at = chunkStart + i;
      // A comment may hold an end-record signature, even a whole fake record: a record
      // counts at once only when its comment reaches exactly to the end of the file and it
      // points at a directory.
      if (sig == ZIP_SIG_END && EndRecordFits(at, size)) {
        *position = at;
        *signature = sig;
        return true;
      }
      if (!fallback) {
        fallback = true;
        *position = at;
        *signature = sig;
      }
    }
    carry = len < 3 ? len : 3;
    chunkEnd = chunkStart;
    // No exact record can start further back than the longest comment allows.
    if (fallback && size - chunkEnd > kLongestEnd) return true;
  }
  return fallback;
}

bool CZipFormat::EndRecordFits(uint64_t position, uint64_t size) {
  uint8_t b[ZIP_END_SIZE];
  if (position + ZIP_END_SIZE > size) return false;
  m_io.ReadAt(position, b, ZIP_END_SIZE);
  if (position + ZIP_END_SIZE + Get16(b + 20) != size) return false;
  uint32_t entries = Get16(b + 10), dirSize = Get32(b + 12), dirOffset = Get32(b + 16);
  return (position >= ZIP_ZIP64_LOCATOR_SIZE &&
          IsSignatureAt(position - ZIP_ZIP64_LOCATOR_SIZE, ZIP_SIG_ZIP64_LOCATOR)) ||
         (entries == 0 && dirSize == 0) ||
         (dirSize <= position && IsSignatureAt(position - dirSize, ZIP_SIG_CENTRAL)) ||
         (dirOffset < position && IsSignatureAt(dirOffset, ZIP_SIG_CENTRAL));
}

void CZipFormat::ReadEndRecords(uint64_t position, uint32_t signature, EndInfo *info) {
  uint64_t size = m_io.Size();
  bool tolerant = (m_options & ZIP_OPT_TOLERATE_DAMAGE) != 0;
  uint64_t locatorPos = ~0ull;
  bool offsetIsMax = false;
  uint8_t b[ZIP_ZIP64_END_SIZE];
  if (signature == ZIP_SIG_END) {
    if (position + ZIP_END_SIZE > size) ZipRaise(ZIP_E_FORMAT);
    m_io.ReadAt(position, b, ZIP_END_SIZE);
    info->disk = Get16(b + 4);
    info->dirDisk = Get16(b + 6);
    info->entriesHere = Get16(b + 8);
    info->entriesTotal = Get16(b + 10);
    info->dirSize = Get32(b + 12);
    info->dirOffset = Get32(b + 16);
    info->recordPos = position;
    offsetIsMax = info->dirOffset == 0xFFFFFFFFu;
    unsigned commentLength = Get16(b + 20);
    if (position + ZIP_END_SIZE + commentLength > size) {
      if (!tolerant) ZipRaise(ZIP_E_FORMAT);
      commentLength = static_cast<unsigned>(size - position - ZIP_END_SIZE);
    }
    if (commentLength) {
      std::string comment;
      ReadEntryName(comment, commentLength, 0);
      SetComment(comment);
    }
    if (position >= ZIP_ZIP64_LOCATOR_SIZE &&
        IsSignatureAt(position - ZIP_ZIP64_LOCATOR_SIZE, ZIP_SIG_ZIP64_LOCATOR))
      locatorPos = position - ZIP_ZIP64_LOCATOR_SIZE;
    else if (offsetIsMax)
      ZipRaise(ZIP_E_FORMAT);
  } else {
    locatorPos = position;  // the end record itself is missing
  }
  if (locatorPos == ~0ull) return;
  // Zip64: the locator, whenever present, gives the real values.
  if (locatorPos + ZIP_ZIP64_LOCATOR_SIZE > size) ZipRaise(ZIP_E_FORMAT);
  m_io.ReadAt(locatorPos, b, ZIP_ZIP64_LOCATOR_SIZE);
  uint64_t recordPos = Get64(b + 8);
  if (recordPos + ZIP_ZIP64_END_SIZE > locatorPos || !IsSignatureAt(recordPos, ZIP_SIG_ZIP64_END)) {
    // Data in front of the archive shifts every offset: look right before the locator.
    if (locatorPos < ZIP_ZIP64_END_SIZE) ZipRaise(ZIP_E_FORMAT);
    recordPos = locatorPos - ZIP_ZIP64_END_SIZE;
    if (!IsSignatureAt(recordPos, ZIP_SIG_ZIP64_END)) ZipRaise(ZIP_E_FORMAT);
  }
  m_io.ReadAt(recordPos, b, ZIP_ZIP64_END_SIZE);
  info->disk = Get32(b + 16);
  info->dirDisk = Get32(b + 20);
  info->entriesHere = Get64(b + 24);
  info->entriesTotal = Get64(b + 32);
  info->dirSize = Get64(b + 40);
  info->dirOffset = Get64(b + 48);
  info->recordPos = recordPos;
}

bool CZipFormat::ScanForSignature(uint64_t from, uint64_t end, uint32_t signature,
                                  uint64_t *found) {
  uint8_t window[kScanWindow];
  while (from + 4 <= end) {
    uint32_t len = static_cast<uint32_t>(end - from > kScanWindow ? kScanWindow : end - from);
    m_io.Seek(from);
    int32_t got = m_io.ReadSome(window, len);
    if (got < 4) return false;
    for (int32_t i = 0; i + 4 <= got; ++i) {
      if (window[i] == 0x50 && Get32(window + i) == signature) {
        *found = from + i;
        return true;
      }
    }
    from += got - 3;
  }
  return false;
}

void CZipFormat::ReadCentralHeaders(uint64_t start, uint64_t end) {
  bool tolerant = (m_options & ZIP_OPT_TOLERATE_DAMAGE) != 0;
  uint64_t pos = start;
  uint8_t h[ZIP_CENTRAL_SIZE];
  std::vector<uint8_t> raw;
  std::string name, comment;
  for (;;) {
    bool stopped = false;
    if (pos + 4 > end) break;
    m_io.Seek(pos);
    int32_t got = m_io.ReadSome(h, ZIP_CENTRAL_SIZE);
    if (got < 4 || Get32(h) != ZIP_SIG_CENTRAL) {
      stopped = true;
    } else if (got < ZIP_CENTRAL_SIZE || pos + ZIP_CENTRAL_SIZE > end) {
      if (!tolerant) ZipRaise(got < ZIP_CENTRAL_SIZE ? ZIP_E_READ : ZIP_E_FORMAT);
      stopped = true;
    } else {
      unsigned nameLength = Get16(h + 28), extraLength = Get16(h + 30), commentLength = Get16(h + 32);
      if (pos + ZIP_CENTRAL_SIZE + nameLength + extraLength + commentLength > end) {
        if (!tolerant) ZipRaise(ZIP_E_FORMAT);
        stopped = true;
      } else if (!nameLength && !tolerant) {
        ZipRaise(ZIP_E_FORMAT);
      }
      if (!stopped) {
        raw.resize(nameLength + extraLength + commentLength + 1);
        if (raw.size() > 1) m_io.Read(raw.data(), static_cast<uint32_t>(raw.size() - 1));
        int index = NewEntry();
        ZipEntry *e = GetEntry(index);
        e->versionMadeBy = Get16(h + 4);
        e->versionNeeded = Get16(h + 6);
        e->flags = Get16(h + 8);
        e->method = Get16(h + 10);
        e->dosDateTime = Get32(h + 12);
        e->crc32 = Get32(h + 16);
        e->compressedSize = Get32(h + 20);
        e->uncompressedSize = Get32(h + 24);
        e->diskNumberStart = Get16(h + 34);
        e->internalAttributes = Get16(h + 36);
        e->externalAttributes = Get32(h + 38);
        e->localHeaderOffset = Get32(h + 42);
        e->madeOnDos = (e->versionMadeBy >> 8) == 0;
        e->fromArchive = 1;
        e->modTime = DosDateTimeToTime(e->dosDateTime);
        ZipDecodeName(raw.data(), nameLength, e->flags, name);
        if (StripTrailingSlash(name) && e->uncompressedSize == 0)
          e->externalAttributes |= FILE_ATTRIBUTE_DIRECTORY;
        int rc = SetEntryName(index, name.data(), static_cast<int>(name.size()), nullptr);
        if (rc) ZipRaise(rc);
        if (nameLength + commentLength) {
          e->rawName = static_cast<uint8_t *>(std::malloc(nameLength + commentLength));
          if (!e->rawName) ZipRaise(ZIP_E_NOMEM);
          std::memcpy(e->rawName, raw.data(), nameLength);
          std::memcpy(e->rawName + nameLength, raw.data() + nameLength + extraLength, commentLength);
          e->rawNameLength = static_cast<uint16_t>(nameLength);
          e->rawCommentLength = static_cast<uint16_t>(commentLength);
        }
        if (extraLength) {
          e->centralExtra = static_cast<uint8_t *>(std::malloc(extraLength));
          if (!e->centralExtra) ZipRaise(ZIP_E_NOMEM);
          std::memcpy(e->centralExtra, raw.data() + nameLength, extraLength);
          e->centralExtraLength = static_cast<uint16_t>(extraLength);
          ZipParseExtraFields(e, e->centralExtra, extraLength);
        }
        if (commentLength) {
          ZipDecodeName(raw.data() + nameLength + extraLength, commentLength, e->flags, comment);
          e->comment = CopyText(comment);
          e->commentLength = static_cast<uint16_t>(comment.size() > 0xFFFF ? 0xFFFF : comment.size());
        }
        if (RaiseFormatEvent(ZIP_EVENT_FOUND, index)) ZipRaise(ZIP_E_CANCEL);
        pos += ZIP_CENTRAL_SIZE + nameLength + extraLength + commentLength;
        continue;
      }
    }
    // The headers stop before the directory's end: a tolerant read looks for the next one.
    if (!stopped || !tolerant || pos >= end) break;
    uint64_t next;
    if (end - pos < ZIP_CENTRAL_SIZE + 1 ||
        !ScanForSignature(pos + 1, end, ZIP_SIG_CENTRAL, &next) || end - next < ZIP_CENTRAL_SIZE)
      break;
    pos = next;
  }
}

int CZipFormat::ReadDescriptor(ZipEntry *entry, uint64_t position, bool zip64, uint64_t end) {
  uint8_t d[24];
  if (position >= end) return 0;
  m_io.Seek(position);
  int32_t got = m_io.ReadSome(d, sizeof d);
  if (got > static_cast<int64_t>(end - position)) got = static_cast<int32_t>(end - position);
  auto fits32 = [&](int at) {
    return got >= at + 8 && Get32(d + at) == static_cast<uint32_t>(entry->compressedSize) &&
           Get32(d + at + 4) == static_cast<uint32_t>(entry->uncompressedSize);
  };
  auto fits64 = [&](int at) {
    return got >= at + 16 && Get64(d + at) == entry->compressedSize &&
           Get64(d + at + 8) == entry->uncompressedSize;
  };
  if (got >= 16 && Get32(d) == ZIP_SIG_DESCRIPTOR) {
    if (fits64(8) && (zip64 || !fits32(8))) return 24;
    return 16;
  }
  // Without the signature the descriptor starts with the CRC.
  if (got >= 12 && Get32(d) == entry->crc32) {
    if (fits64(4) && (zip64 || !fits32(4))) return 20;
    if (fits32(4)) return 12;
  }
  return 0;
}

void CZipFormat::CheckLocalHeader(ZipEntry *e, int64_t shift) {
  bool tolerant = (m_options & ZIP_OPT_TOLERATE_DAMAGE) != 0;
  if (shift) e->localHeaderOffset += shift;
  uint64_t off = e->localHeaderOffset;
  uint8_t h[ZIP_LOCAL_SIZE];
  bool headerOk = off + ZIP_LOCAL_SIZE <= m_dirStart;
  if (headerOk) {
    m_io.ReadAt(off, h, ZIP_LOCAL_SIZE);
    headerOk = Get32(h) == ZIP_SIG_LOCAL;
  }
  bool ok = headerOk;
  if (headerOk) {
    unsigned nameLength = Get16(h + 26), extraLength = Get16(h + 28);
    ok = off + ZIP_LOCAL_SIZE + nameLength + extraLength <= m_dirStart;
    if (!ok) headerOk = false;
    if (ok) {
      std::string name;
      ReadEntryName(name, nameLength, Get16(h + 6));
      StripTrailingSlash(name);
      ok = name.size() == e->nameLength &&
           ZipCompareNames(name.data(), e->nameLength, e->name, e->nameLength) == 0;
      uint8_t *extra = nullptr;
      if (extraLength) {
        extra = static_cast<uint8_t *>(std::malloc(extraLength));
        if (!extra) ZipRaise(ZIP_E_NOMEM);
        try {
          m_io.Read(extra, extraLength);
        } catch (int) {
          std::free(extra);
          throw;
        }
      }
      std::free(e->localExtra);
      e->localExtra = extra;
      e->localExtraLength = static_cast<uint16_t>(extraLength);
      ZipParseExtraFields(e, extra, extraLength);
      e->localHeaderSize = ZIP_LOCAL_SIZE + nameLength + extraLength;
      if (ok && (Get16(h + 6) & ZIP_FLAG_DESCRIPTOR)) {
        uint64_t compressed = Get32(h + 18);
        // A local size that disagrees with the directory's leaves the data's end unknown:
        // moving the entry by the directory's size would cut it.
        if (compressed != 0 && compressed != 0xFFFFFFFFu && compressed != e->compressedSize) ok = false;
        if (compressed == 0 || compressed == 0xFFFFFFFFu) compressed = e->compressedSize;
        bool zip64 = Get32(h + 18) == 0xFFFFFFFFu || Get32(h + 22) == 0xFFFFFFFFu ||
                     e->compressedSize >= ZIP64_LIMIT || e->uncompressedSize >= ZIP64_LIMIT;
        e->descriptorSize = static_cast<uint8_t>(ReadDescriptor(e, off + e->localHeaderSize + compressed, zip64, m_dirStart));
        ok = ok && e->descriptorSize != 0;
      }
    }
  }
  if (!ok) {
    if (!tolerant) ZipRaise(ZIP_E_FORMAT);
    e->damaged = 1;
    if (!headerOk) {
      std::free(e->localExtra);
      e->localExtra = nullptr;
      e->localExtraLength = 0;
    }
  }
  e->flags &= 0x1FFF;
  e->inFile = 1;
}

void CZipFormat::RecoverFromLocalHeaders() {
  uint64_t size = m_io.Size();
  uint64_t pos = 0, goodEnd = 0;
  uint8_t h[ZIP_LOCAL_SIZE];
  std::vector<uint8_t> raw;
  std::string name;
  if (!IsSignatureAt(0, ZIP_SIG_LOCAL) && !ScanForSignature(0, size, ZIP_SIG_LOCAL, &pos))
    ZipRaise(ZIP_E_FORMAT);
  for (;;) {
    if (pos + ZIP_LOCAL_SIZE > size) break;
    m_io.ReadAt(pos, h, ZIP_LOCAL_SIZE);
    if (Get32(h) != ZIP_SIG_LOCAL) break;
    unsigned nameLength = Get16(h + 26), extraLength = Get16(h + 28);
    uint64_t dataStart = pos + ZIP_LOCAL_SIZE + nameLength + extraLength;
    if (dataStart > size) break;
    raw.resize(nameLength + extraLength + 1);
    if (nameLength + extraLength) m_io.Read(raw.data(), nameLength + extraLength);
    int index = NewEntry();
    ZipEntry *e = GetEntry(index);
    e->versionNeeded = Get16(h + 4);
    e->versionMadeBy = e->versionNeeded & 0xFF;
    e->madeOnDos = 1;
    e->fromArchive = 1;
    e->flags = Get16(h + 6) & 0x1FFF;
    e->method = Get16(h + 8);
    e->dosDateTime = Get32(h + 10);
    e->crc32 = Get32(h + 14);
    e->compressedSize = Get32(h + 18);
    e->uncompressedSize = Get32(h + 22);
    e->localHeaderOffset = pos;
    e->localHeaderSize = static_cast<uint32_t>(dataStart - pos);
    e->modTime = DosDateTimeToTime(e->dosDateTime);
    e->inFile = 1;
    ZipDecodeName(raw.data(), nameLength, e->flags, name);
    bool folder = StripTrailingSlash(name);
    int rc = SetEntryName(index, name.data(), static_cast<int>(name.size()), nullptr);
    if (rc) ZipRaise(rc);
    if (extraLength) {
      e->localExtra = static_cast<uint8_t *>(std::malloc(extraLength));
      if (!e->localExtra) ZipRaise(ZIP_E_NOMEM);
      std::memcpy(e->localExtra, raw.data() + nameLength, extraLength);
      e->localExtraLength = static_cast<uint16_t>(extraLength);
      ZipParseExtraFields(e, e->localExtra, extraLength);
    }
    bool zip64 = Get32(h + 18) == 0xFFFFFFFFu || Get32(h + 22) == 0xFFFFFFFFu;
    bool complete = true;
    if ((e->flags & ZIP_FLAG_DESCRIPTOR) && e->compressedSize == 0 && !folder) {
      // Sizes follow the data: the descriptor whose size matches the distance ends it. (Some
      // writers put the uncompressed size into the header all the same.)
      complete = false;
      uint64_t at = dataStart;
      uint64_t found;
      while (ScanForSignature(at, size, ZIP_SIG_DESCRIPTOR, &found)) {
        uint8_t d[24];
        m_io.Seek(found);
        int32_t got = m_io.ReadSome(d, sizeof d);
        uint64_t distance = found - dataStart;
        if (got >= 16 && Get32(d + 8) == distance) {
          e->crc32 = Get32(d + 4);
          e->compressedSize = distance;
          e->uncompressedSize = Get32(d + 12);
          e->descriptorSize = 16;
          complete = true;
          break;
        }
        if (got >= 24 && Get64(d + 8) == distance) {
          e->crc32 = Get32(d + 4);
          e->compressedSize = distance;
          e->uncompressedSize = Get64(d + 16);
          e->descriptorSize = 24;
          complete = true;
          break;
        }
        at = found + 1;
      }
    } else if (e->flags & ZIP_FLAG_DESCRIPTOR) {
      e->descriptorSize = static_cast<uint8_t>(ReadDescriptor(e, dataStart + e->compressedSize, zip64, size));
      // Without its descriptor the entry would be written back as one that no reader accepts:
      // it is left out, and the entries behind it are read on.
      if (!e->descriptorSize) e->damaged = 1;
    }
    uint64_t end = dataStart + e->compressedSize + e->descriptorSize;
    if (!complete || end > size) {
      e->damaged = 1;  // cut off: listed, but left out when the directory is written
      if (RaiseFormatEvent(ZIP_EVENT_FOUND, index)) ZipRaise(ZIP_E_CANCEL);
      break;
    }
    if (folder && e->uncompressedSize == 0) e->externalAttributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (RaiseFormatEvent(ZIP_EVENT_FOUND, index)) ZipRaise(ZIP_E_CANCEL);
    goodEnd = end;
    pos = end;
    if (!IsSignatureAt(pos, ZIP_SIG_LOCAL)) {
      uint64_t next;
      if (IsSignatureAt(pos, ZIP_SIG_CENTRAL) || !ScanForSignature(pos, size, ZIP_SIG_LOCAL, &next))
        break;
      pos = next;
    }
  }
  if (!GetEntryCount()) ZipRaise(ZIP_E_FORMAT);
  m_dataEnd = m_dirStart = m_dirEnd = goodEnd;
  m_changesPending = true;
}

void CZipFormat::ReadDirectoryRaw(int mode) {
  FreeEntries();
  m_changesPending = false;
  bool tolerant = (m_options & ZIP_OPT_TOLERATE_DAMAGE) != 0;
  uint64_t size = m_io.Size();
  if (size == 0) {
    if (mode != 3) ZipRaise(ZIP_E_FORMAT);
    m_changesPending = true;
    return;
  }
  uint64_t position;
  uint32_t signature;
  if (!FindEndRecord(&position, &signature)) {
    if (!tolerant) ZipRaise(ZIP_E_FORMAT);
    RecoverFromLocalHeaders();
    return;
  }
  EndInfo info = {};
  try {
    ReadEndRecords(position, signature, &info);
  } catch (int code) {
    if (!tolerant || code != ZIP_E_FORMAT) throw;
    FreeEntries();
    RecoverFromLocalHeaders();
    return;
  }
  if (info.disk > 1 || info.dirDisk != 0 || info.entriesHere != info.entriesTotal)
    ZipRaise(ZIP_E_MULTIDISK);
  // The directory stands right in front of the end records; when its stated offset differs,
  // data was put in front of the archive and every offset is shifted by that much.
  int64_t shift = 0;
  uint64_t start;
  if (info.dirSize <= info.recordPos && info.recordPos - info.dirSize == info.dirOffset) {
    start = info.dirOffset;
  } else if (info.dirSize <= info.recordPos &&
             (IsSignatureAt(info.recordPos - info.dirSize, ZIP_SIG_CENTRAL) ||
              (info.dirSize == 0 && info.entriesTotal == 0))) {
    start = info.recordPos - info.dirSize;
    if (start > info.dirOffset) shift = static_cast<int64_t>(start - info.dirOffset);
  } else if (info.dirOffset < size && IsSignatureAt(info.dirOffset, ZIP_SIG_CENTRAL)) {
    start = info.dirOffset;
  } else {
    if (!tolerant) ZipRaise(ZIP_E_FORMAT);
    FreeEntries();
    RecoverFromLocalHeaders();
    return;
  }
  if (start > size) ZipRaise(ZIP_E_FORMAT);
  uint64_t end = start + info.dirSize;
  if (end > size || end < start) end = size;
  m_dirStart = start;
  m_dirEnd = end;
  m_dataEnd = start;
  ReadCentralHeaders(start, end);
  // Headers that could not be read must not make entries vanish without a word. The plain
  // end record counts only 16 bits.
  uint64_t read = static_cast<uint64_t>(GetEntryCount());
  bool zip64 = signature == ZIP_SIG_ZIP64_LOCATOR || info.recordPos != position;
  if (zip64 ? read != info.entriesTotal : (read & 0xFFFF) != (info.entriesTotal & 0xFFFF)) {
    if (!tolerant) ZipRaise(ZIP_E_FORMAT);
    FreeEntries();
    RecoverFromLocalHeaders();
    return;
  }
  for (int i = 0; i < GetEntryCount(); ++i) CheckLocalHeader(GetEntry(i), shift);
  if (m_options & ZIP_OPT_SORT_ALWAYS) SortEntries(0);
}
