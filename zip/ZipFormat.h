// The zip format: local and central headers, Zip64 records, end record and comment, the
// extra fields written and understood, names (code page 850 or UTF-8), DOS times, attributes,
// and the directory reader with its damage-tolerant mode. CZipFormat keeps the entry table
// and the storage of one archive; the archive class derives from it.
#pragma once
#include <cstdint>
#include <string>

#include "zip/ZipEntry.h"
#include "zip/ZipIo.h"

// Record signatures and sizes.
enum : uint32_t {
  ZIP_SIG_LOCAL = 0x04034B50,
  ZIP_SIG_CENTRAL = 0x02014B50,
  ZIP_SIG_DESCRIPTOR = 0x08074B50,
  ZIP_SIG_ZIP64_END = 0x06064B50,
  ZIP_SIG_ZIP64_LOCATOR = 0x07064B50,
  ZIP_SIG_END = 0x06054B50
};
enum {
  ZIP_LOCAL_SIZE = 30,
  ZIP_CENTRAL_SIZE = 46,
  ZIP_ZIP64_END_SIZE = 56,
  ZIP_ZIP64_LOCATOR_SIZE = 20,
  ZIP_END_SIZE = 22
};

// General-purpose flag bits.
enum {
  ZIP_FLAG_ENCRYPTED = 0x0001,
  ZIP_FLAG_DESCRIPTOR = 0x0008,
  ZIP_FLAG_UTF8 = 0x0800
};

// Header values of the entries this library writes.
enum {
  ZIP_VERSION_MADE_BY = 0x0B17,
  ZIP_VERSION_STORED = 10,
  ZIP_VERSION_DEFLATED = 20,
  ZIP_VERSION_ZIP64 = 45
};

// DOS date and time of 1980-01-01 00:00:00, given for times that cannot be packed.
const uint32_t ZIP_DOS_TIME_MIN = 0x00210000;
// Sizes and offsets at or above this need Zip64.
const uint64_t ZIP64_LIMIT = 0xFFFFFFFFu;
// At its first header an entry expected to be this large gets room for a local Zip64 field,
// so that the header rewritten after the data keeps its length.
const uint64_t ZIP64_RESERVE = 0xF0000000u;
// Comment written into archives without one.
extern const char kZipLibraryComment[];

// Encodes a code page 1252 text (length -1: up to the NUL) for the archive: code page 850
// when every character exists there and no byte of 0xC0 or more is followed by one of 0x80
// or more, else UTF-8. *flags (when given) gets bit 11 set for UTF-8, cleared otherwise.
// -> bytes written to out.
int ZipEncodeName(const char *text, int length, std::string &out, uint16_t *flags);
// Decodes raw name or comment bytes to code page 1252: UTF-8 when flags has bit 11 or a
// multi-byte sequence occurs, plain when all bytes are below 0x80, else the OEM code page.
// Characters that code page 1252 lacks, and NUL bytes, become '_'. -> length of out.
int ZipDecodeName(const uint8_t *raw, int length, unsigned flags, std::string &out);
// Decodes one UTF-8 sequence of at most length bytes. -> its length 1..4; a malformed
// sequence gives the byte's own value and 1.
int ZipUtf8DecodeChar(const uint8_t *bytes, int length, uint32_t *codePoint);
// Applies an extra block to the entry: Zip64 sizes and offset (only where the header holds
// 0xFFFFFFFF), NTFS, extended and old Unix times, AES. Items that do not fit end the walk.
void ZipParseExtraFields(ZipEntry *entry, const uint8_t *block, int length);
// Windows attribute bits -> the DOS attribute byte (read-only, hidden, system, directory,
// archive).
uint8_t ZipMapAttributes(uint32_t attributes);
// time_t -> DOS date (high word) and time (low word) in local time, rounded up to an even
// second; ZIP_DOS_TIME_MIN before 1980 or when the time cannot be converted.
uint32_t TimeToDosDateTime(int32_t time);
// DOS date and time, taken as local time with the daylight saving of that date -> time_t.
// Out-of-range fields are clamped; 0 when the date cannot be converted.
int32_t DosDateTimeToTime(uint32_t dosDateTime);
// time_t <-> FILETIME as a 64-bit count; 0 or negative gives 0, a FILETIME of 0 gives 0,
// later than 2038 gives 0x7FFFFFFF.
uint64_t ZipTimeToFileTime(int32_t time);
int32_t ZipFileTimeToTime(uint64_t fileTime);

class CZipFormat : public CZipEntryTable {
 public:
  CZipFormat();
  ~CZipFormat() override;

  // Frees every record, the archive comment and the directory positions.
  void FreeEntries() override;

  // Reads the directory of the open storage into the table (see the .cpp for the rules).
  // mode 3 (create) accepts an empty storage as a new archive. With option 0x20 damage is
  // tolerated: bad local headers flag entries damaged, a broken directory is skipped over,
  // and an archive without an end record is recovered from its local headers.
  // -> ZIP_OK; ZIP_E_FORMAT for a structural fault, ZIP_E_READ for a short read,
  // ZIP_E_MULTIDISK for a multi-disk archive, ZIP_E_CANCEL when event 1 answered nonzero,
  // ZIP_E_NOMEM. On failure the table is freed. Never raises.
  int ReadDirectory(int mode);

  // Writes the local header, name and local extra at the position (building the extra
  // blocks when due). Rewriting a header at its offset must not change its length: raises
  // ZIP_E_INTERNAL when it would; ZIP_E_PATH for a name longer than 65535 bytes encoded;
  // ZIP_E_WRITE.
  void WriteEntryHeader(ZipEntry *entry);
  // Writes the central header, name, central extra and comment at the position. Raises
  // ZIP_E_PATH, ZIP_E_WRITE.
  void WriteCentralHeader(ZipEntry *entry);
  // Writes the central header of every entry that is in the file and neither deleted nor
  // damaged, the Zip64 end record and locator when the directory ends beyond 0xFFFFF000 or
  // holds more than 65535 entries, and the end record with the comment, at the position;
  // notes the directory's start and end and ends the storage there. Raises ZIP_E_WRITE.
  void WriteCentralDirectory();
  // Builds the entry's extra blocks anew: central Zip64 (when needed), extended timestamp
  // and NTFS times; local Zip64 with both sizes when a size needs it (or room was reserved);
  // other items the entry carried are kept behind them. Adjusts version needed.
  void BuildZip64Extra(ZipEntry *entry);
  // Reads length raw bytes at the position and decodes them (ZipDecodeName). -> the decoded
  // length. Raises ZIP_E_READ.
  int ReadEntryName(std::string &out, unsigned length, unsigned flags);

  CZipIo &Io() { return m_io; }
  // The archive comment (code page 1252), null when the archive has none.
  const char *GetComment() const { return m_comment; }
  uint64_t GetDataEnd() const { return m_dataEnd; }
  void SetDataEnd(uint64_t position) { m_dataEnd = position; }
  uint64_t GetDirectoryStart() const { return m_dirStart; }
  uint64_t GetDirectoryEnd() const { return m_dirEnd; }
  bool GetChangesPending() const { return m_changesPending; }
  void SetChangesPending(bool pending) { m_changesPending = pending; }

 protected:
  CZipIo m_io;
  char *m_comment;          // archive comment, malloc'd, null when none
  uint64_t m_dataEnd;       // where the next local header goes
  uint64_t m_dirStart;      // central directory as last read or written
  uint64_t m_dirEnd;
  bool m_changesPending;

 private:
  struct EndInfo;
  void ReadDirectoryRaw(int mode);
  bool FindEndRecord(uint64_t *position, uint32_t *signature);
  bool EndRecordFits(uint64_t position, uint64_t size);
  void ReadEndRecords(uint64_t position, uint32_t signature, EndInfo *info);
  void ReadCentralHeaders(uint64_t start, uint64_t end);
  bool ScanForSignature(uint64_t from, uint64_t end, uint32_t signature, uint64_t *found);
  void CheckLocalHeader(ZipEntry *entry, int64_t shift);
  int ReadDescriptor(ZipEntry *entry, uint64_t position, bool zip64, uint64_t end);
  void RecoverFromLocalHeaders();
  bool IsSignatureAt(uint64_t position, uint32_t signature);
  void PrepareExtras(ZipEntry *entry, bool local);
  void SetComment(const std::string &comment);
};
