// One record of a zip archive's directory (ZipEntry) and the archive's entry table: live
// records in front of deleted ones, lookup by name through a hash index, and the sort orders.
#pragma once
#include <cstdint>

// One entry of the archive, allocated zeroed by CZipEntryTable::NewEntry. The pointers are
// owned by the entry (malloc) and freed with it. Names and comments are in code page 1252,
// NUL-terminated, with '/' as separator.
struct ZipEntry {
  uint8_t *localExtra;         // extra block behind the local header
  uint8_t *centralExtra;       // extra block behind the central header
  uint32_t userWord;           // the caller's value
  char *comment;               // entry comment, or null
  char *sourcePath;            // deferred add: the file to compress; behind the name's NUL
  char *name;                  // set through CZipEntryTable::SetEntryName
  uint64_t compressedSize;
  uint64_t uncompressedSize;
  uint64_t localHeaderOffset;
  int32_t modTime;             // time_t values
  int32_t createTime;
  int32_t accessTime;
  uint16_t versionNeeded;
  uint16_t versionMadeBy;
  uint16_t method;
  uint16_t nameLength;
  uint16_t commentLength;
  uint16_t centralExtraLength;
  uint16_t flags;              // general-purpose bits
  uint16_t localExtraLength;
  uint16_t diskNumberStart;
  uint16_t internalAttributes;
  uint32_t externalAttributes; // DOS attribute byte in the low byte
  uint32_t crc32;
  uint32_t dosDateTime;        // date in the high word, time in the low word
  uint8_t madeOnDos;           // 1 when the high byte of versionMadeBy is 0
  uint8_t userBits;            // two bits of the caller's
  uint8_t deleted;             // removed at the next commit
  uint8_t pending;             // the data is not in the archive yet
  uint8_t inFile;              // local header and data stand in the archive
  uint8_t damaged;             // a tolerant read found its local header wrong
  uint8_t aesInfo;             // AES vendor version * 4 + key strength
  uint8_t aesMethod;           // the real method of an AES entry

  // Kept by the format code, not part of the records on disk.
  uint8_t descriptorSize;      // bytes of the data descriptor behind the data (0, 12, 16, 20, 24)
  uint8_t localZip64;          // the local header carries a Zip64 size field (room reserved)
  uint8_t fromArchive;         // read from the archive's directory (its extra blocks are kept)
  uint32_t localHeaderSize;    // bytes of local header + name + local extra as first written
  // An entry read from an archive keeps its encoded name and comment as they stand in the
  // central header (rawNameLength bytes of name, then rawCommentLength bytes of comment), so
  // that writing the directory again does not alter names that code page 1252 cannot hold.
  // An added file whose own name code page 1252 cannot hold carries it here in UTF-8 (flag
  // bit 11), while name holds the spelling it was listed by.
  uint8_t *rawName;
  uint16_t rawNameLength;
  uint16_t rawCommentLength;

  // Kept by the table.
  int32_t tableIndex;
  uint32_t nameHash;
  ZipEntry *hashNext;
};

// Option bits of the archive that the table and the format code read.
enum {
  ZIP_OPT_TOLERATE_DAMAGE = 0x20,
  ZIP_OPT_SORT_MASK = 0x300,     // default sort order
  ZIP_OPT_SORT_ALWAYS = 0x400    // sort after each change
};

// Sort orders of CZipEntryTable::SortEntries.
enum {
  ZIP_SORT_NAME = 0x400,         // name without case; deleted last
  ZIP_SORT_SIZE = 0x500,         // uncompressed size; deleted last
  ZIP_SORT_OFFSET = 0x600,       // local header offset; pending last
  ZIP_SORT_NATURAL = 0x700       // name in natural order without case; deleted last
};

// Event numbers the table and the format code raise through RaiseFormatEvent.
enum {
  ZIP_EVENT_FOUND = 1,           // a central header was read
  ZIP_EVENT_SORT = 13            // before sorting
};

// Compares two entry names as FindEntry does: '\' equals '/', letters without case (ASCII
// and the letters of code page 1252). -> <0, 0, >0.
int ZipCompareNames(const char *a, int lengthA, const char *b, int lengthB);

class CZipEntryTable {
 public:
  CZipEntryTable();
  virtual ~CZipEntryTable();
  CZipEntryTable(const CZipEntryTable &) = delete;
  CZipEntryTable &operator=(const CZipEntryTable &) = delete;

  // Appends a zeroed entry, counts it live, clears the sort order. -> its index: the record
  // count before the call, or, when deleted records wait, the place in front of them (the
  // first deleted record moves to the end). Raises ZIP_E_NOMEM when memory runs out.
  int NewEntry();
  // Sets (or replaces) an entry's name and source path (null: none) in one allocation and
  // indexes the name for FindEntry. length -1: up to the NUL. -> ZIP_OK, ZIP_E_INDEX for a
  // bad index, ZIP_E_NONAME for a name longer than 65535 bytes, ZIP_E_NOMEM.
  int SetEntryName(int index, const char *name, int length, const char *sourcePath);
  // Removes record index (the rest move down) and frees it. Bad index: nothing.
  void FreeEntry(int index);
  // Frees every record, last to first, and empties the table.
  virtual void FreeEntries();
  // Flags a live record deleted and moves it behind the live ones (or sorts again with
  // option 0x400); a pending record is freed at once. Clears the sort order.
  // Deleted or bad index: nothing.
  void SetEntryDeleted(int index);
  // Sets or clears the deleted flag alone, keeping the live count right, without moving or
  // freeing the record (an entry flagged while its data is being written). Bad index: nothing.
  void SetDeletedFlag(int index, bool deleted);
  // Finds the first live entry whose name equals name (one leading '/', then one leading
  // '\' skipped; '\' equals '/', no case). -> index or -1.
  int FindEntry(const char *name) const;
  // Sorts by order (bits 0x700; none: the option bits 0x300), ZIP_EVENT_SORT first.
  // -> the record count; 0 when the event answered nonzero. An order already in force
  // changes nothing.
  int SortEntries(unsigned order);

  // The record at index, null when out of range.
  ZipEntry *GetEntry(int index) const {
    return index >= 0 && index < m_count ? m_entries[index] : nullptr;
  }
  int GetEntryCount() const { return m_count; }
  int GetLiveCount() const { return m_live; }
  unsigned GetSortOrder() const { return m_sortOrder; }
  void ClearSortOrder() { m_sortOrder = 0; }
  unsigned GetOptionBits() const { return m_options; }
  void SetOptionBits(unsigned options) { m_options = options; }

 protected:
  // Raises an event to the archive's callback (ZIP_EVENT_*); nonzero answers cancel.
  // The table alone raises nothing.
  virtual int RaiseFormatEvent(int event, int index) { return 0; }
  // Frees one entry's memory (not its slot).
  static void DestroyEntry(ZipEntry *entry);

  unsigned m_options;

 private:
  void Renumber(int from);
  void IndexEntry(ZipEntry *entry);
  void UnindexEntry(ZipEntry *entry);
  void Rehash(uint32_t buckets);
  void SwapRecords(int a, int b);
  void SortRecords(unsigned order);

  ZipEntry **m_entries;
  int m_count;
  int m_capacity;
  int m_live;
  unsigned m_sortOrder;
  // Hash index over the names: chains through ZipEntry::hashNext.
  ZipEntry **m_buckets;
  uint32_t m_bucketCount;
  uint32_t m_indexed;
};
