// The abstract archive: the entry interface through which callers use an archive, and the state
// every archive shares: mode, last error and its German text, the names those texts show, the
// event callback with its texts, the password and the progress counters.
#pragma once
#include <cstdint>
#include <string>

#include "zip/CodecStream.h"
#include "zip/ZipIo.h"

class CArchiveFile;

// File information handed to an add and filled by an extract. Times are time_t values
// (0 or -1: unknown).
struct ArchiveFileInfo {
  uint32_t attributes;  // Windows attribute bits; ARCHIVE_ATTR_STORE forces storing
  uint64_t size;
  int32_t writeTime;
  int32_t createTime;
  int32_t accessTime;
};

// Attribute bit of ArchiveFileInfo that makes an add store the data uncompressed.
const uint32_t ARCHIVE_ATTR_STORE = 0x100;

// A read function and its context: the source of ARCHIVE_SOURCE_CALLBACK.
struct ArchiveSource {
  CodecReadFunc read;
  void *context;
};

// Source kinds of CArchiveFile::AddEntry.
enum {
  ARCHIVE_SOURCE_HANDLE = 0,    // source: a Windows file handle, read from its position
  ARCHIVE_SOURCE_PATH = 1,      // source: a file path; the data is read when changes are committed
  ARCHIVE_SOURCE_MEMORY = 2,    // source: a memory block of info->size bytes
  ARCHIVE_SOURCE_CALLBACK = 3   // source: an ArchiveSource
};

// Modes.
enum { ARCHIVE_CLOSED = 0, ARCHIVE_READ = 1, ARCHIVE_UPDATE = 2, ARCHIVE_CREATED = 3 };

// Events (bit n of the event mask enables event n).
enum {
  ARCHIVE_EVENT_OPEN = 0,        // before a failed open is reported; nonzero: cancelled
  ARCHIVE_EVENT_FOUND = 1,       // a central header was read; nonzero: 23
  ARCHIVE_EVENT_REMOVE = 2,      // before deleting an entry; nonzero: nothing deleted
  ARCHIVE_EVENT_DELETE = 3,
  ARCHIVE_EVENT_CLOSE = 4,       // while closing; nonzero: 23
  ARCHIVE_EVENT_CREATE = 5,
  ARCHIVE_EVENT_APPEND = 6,      // an entry was added; nonzero: the add gives 1
  ARCHIVE_EVENT_COMPRESS = 7,    // an entry is added, compressed or moved; nonzero: 23 (not at the add)
  ARCHIVE_EVENT_READ = 8,        // before extracting to a file on disk; nonzero: 23
  ARCHIVE_EVENT_WRITE_BACK = 9,  // a commit starts; nonzero: 23
  ARCHIVE_EVENT_ERROR = 10,      // every failure, with the error text
  ARCHIVE_EVENT_EXTRACTED = 11,  // an entry was extracted; nonzero: 23
  ARCHIVE_EVENT_TEST = 12,       // before testing an entry; nonzero: 23
  ARCHIVE_EVENT_SORT = 13,       // before sorting; nonzero: no sort
  ARCHIVE_EVENT_COMPRESSED = 14, // a pending entry was written; nonzero: 23
  ARCHIVE_EVENT_SKIP = 15,       // before adding (or extracting to disk) a file; nonzero: skipped
  ARCHIVE_EVENT_EXTRACTING = 16,
  ARCHIVE_EVENT_PASSWORD = 17,
  ARCHIVE_EVENT_COUNT = 18
};

// Entry state bits of GetEntryState.
enum {
  ARCHIVE_STATE_USER = 0x03,
  ARCHIVE_STATE_DELETED = 0x04,
  ARCHIVE_STATE_PENDING = 0x08,
  ARCHIVE_STATE_DIRECTORY = 0x10,
  ARCHIVE_STATE_READONLY = 0x20,
  ARCHIVE_STATE_IN_FILE = 0x40
};

// Progress phases.
enum { ARCHIVE_PHASE_DIRECTORY = 0, ARCHIVE_PHASE_EXTRACT = 1, ARCHIVE_PHASE_TEST = 2, ARCHIVE_PHASE_WRITE = 3 };

// Event callback: (user value, event, entry index or -1 for the archive, archive, text or null).
// Nonzero answers cancel where the event allows it.
typedef int (*ArchiveCallback)(uintptr_t user, int event, int index, CArchiveFile *archive,
                               const char *text);

class CArchiveFile {
 public:
  CArchiveFile();
  virtual ~CArchiveFile();
  CArchiveFile(const CArchiveFile &) = delete;
  CArchiveFile &operator=(const CArchiveFile &) = delete;

  // Slot 1: copies the password for encrypted entries (null clears it). -> 1.
  virtual int SetPassword(const char *password);
  // Slot 2: adds a directory entry. -> 0 or an error code; the base gives 29.
  virtual int AddDirectory(const char *name);
  // Slot 3: adds one entry named name from source (ARCHIVE_SOURCE_*) with the file's
  // information (may be null; a path source's times are those the file has when it is
  // packed). -> 0 added, 1 added but event 6 answered nonzero, or an error code; the base
  // gives 29.
  virtual int AddEntry(const char *name, const void *source, int sourceKind,
                       const ArchiveFileInfo *info);
  // Slot 4: decompresses entry index and checks it. -> 0 or an error code. The base extracts
  // into a sink that discards.
  virtual int TestEntry(int index);
  // Slot 5: decompresses entry index through write(context, ...) and fills info (may be
  // null). -> 0 or an error code.
  virtual int ExtractEntry(int index, CodecWriteFunc write, void *context, ArchiveFileInfo *info) = 0;
  // Slot 6: switches an open archive between read (1) and update (2). -> 0 or a code; the
  // base gives 29.
  virtual int SwitchMode(int mode);
  // Slot 7: writes all changes. -> 0 or a code; the base does nothing and gives 0.
  virtual int Commit();
  // Slot 8: commits, writes the directory and closes. -> 0 or a code.
  virtual int Close() = 0;
  // Slot 9: number of records.
  virtual int GetEntryCount() const = 0;
  // Slot 10: closes without committing and forgets the entries.
  virtual void Abort() = 0;
  // Slot 11: ARCHIVE_STATE_* bits of an entry; 0 for a bad index.
  virtual int GetEntryState(int index) const = 0;
  // Slot 12: an entry's name; -1 the archive path; the record count the name being added;
  // null for any other index.
  virtual const char *GetEntryName(int index) const = 0;
  // Slot 13: the name and its length (0 when there is none).
  virtual const char *GetEntryNameLength(int index, int *length) const;
  // Slot 14: sorts the records (order bits 0x700). -> the record count, 0 when cancelled.
  virtual int SortEntries(unsigned order) = 0;
  // Slot 15: sets the damaged flag, -> the old one (-1 bad index); the base gives 0.
  virtual int SetDamaged(int index, int value);
  // Slot 16: 1 when the entry is read-only; the base gives 0.
  virtual int IsReadOnly(int index) const;
  // Slot 17: the damaged flag (-1 bad index).
  virtual int GetDamaged(int index) const = 0;
  // Slot 18: 1 when the entry is flagged deleted; the base gives 0.
  virtual int IsDeleted(int index) const;
  // Slot 19: 1 when the entry is a directory.
  virtual int IsDirectory(int index) const = 0;
  // Slot 20: the entry's two user bits (0 for a bad index).
  virtual int GetUserBits(int index) const = 0;
  // Slot 21: kind 0 the uncompressed size, otherwise the compressed size; 0 for a bad index.
  virtual uint64_t GetEntrySize(int index, int kind) const = 0;
  // Slot 22: flags the entry deleted. -> 0 or a code (-1 when event 2 answered nonzero);
  // the base gives 29.
  virtual int DeleteEntry(int index);
  // Slot 23: the index of the entry with this name, or -1.
  virtual int FindEntry(const char *name) const = 0;
  // Slot 24: which 0 modification, 1 creation, 2 access time; -1 otherwise or bad index.
  virtual int32_t GetEntryTime(int index, int which) const = 0;
  // Slot 25: the modification time (-1 bad index).
  virtual int32_t GetModifiedTime(int index) const = 0;
  // Slot 26: bytes done in the current operation (never above the total); *total (when
  // given) gets the total.
  virtual uint64_t GetBytesProcessed(uint64_t *total) const = 0;
  // Slot 27: Unix-style mode: 0x800001A4, 0x80000124 read-only, plus 0x4000 for a
  // directory; -1 for a bad index.
  virtual int GetEntryMode(int index) const;
  // Slots 28, 29: a value the caller keeps with the entry (0 / nothing for a bad index).
  virtual uint32_t GetUserWord(int index) const = 0;
  virtual void SetUserWord(int index, uint32_t value) = 0;
  // Slot 30: -> the previous phase. request 0 ends the phase (after an extract or test without
  // error the bytes done become the total), 1 resets the counters unless a test runs, 2
  // resets them and starts phase 1.
  virtual int GetProgress(int request) = 0;
  // Slot 31: sets the two user bits, -> the old ones (-1 bad index); the base gives -1.
  virtual int SetUserBits(int index, int value);
  // Slot 32: reads the directory again (the argument is ignored). -> 0 or a code.
  virtual int ReadDirectory(int reserved) = 0;

  // Stores user and callback, raises every event (with text). -> nonzero when a callback is set.
  int SetCallback(uintptr_t user, ArchiveCallback callback);
  // form 0: event n; otherwise a mask.
  void EnableEvents(uint32_t eventOrMask, int form);
  void DisableEvents(uint32_t eventOrMask, int form);
  // form 0 replaces the mask of events raised without text, 1 sets bit n, 2 clears bit n.
  // -> the old mask.
  uint32_t SetEventsWithoutText(uint32_t value, int form);
  int GetLastError() const { return m_lastError; }
  // "\nBei Datei : " + archive path + the code's text (+ the current entry name for codes
  // that name one). Lives as long as the archive.
  const char *GetErrorText();
  // The text of an error code alone.
  static const char *GetCodeText(int code);
  // Lengths of prefix, name and suffix of the text of the event being raised.
  void GetEventTextParts(int *prefix, int *name, int *suffix) const;
  const char *GetArchivePath() const { return m_path; }
  int GetMode() const { return m_mode; }

 protected:
  // Raises an event when a callback is set and the event is enabled; the text is prefix +
  // name + suffix, the name being nameOverride or GetEntryName(index). -> the answer, 0 when
  // the event was not raised.
  int RaiseEvent(int event, int index, const char *nameOverride = nullptr);
  // Stores code as the last error and raises event 10 with the error text. -> code.
  int Fail(int code);
  // Sets the archive path (made of path as given) and its file-name part.
  void SetArchivePath(const char *path);
  void SetCurrentName(const char *name) { m_currentName = name && *name ? name : "???"; }

  int m_mode;
  int m_methodSetting;  // -1 default (deflate, level 9), 0 store everything, else the method
  int m_level;          // 0..9
  int m_lastError;
  char m_path[MAX_PATH];
  const char *m_fileNamePart;
  std::string m_currentName;  // the name used in error texts
  std::string m_addingName;   // the name an add is working on
  char *m_password;
  // Progress of the current operation.
  uint64_t m_progressDone;
  uint64_t m_progressTotal;
  int m_phase;
  // Flags.
  bool m_writeAllowed;
  bool m_deferredAdd;
  bool m_retryStored;
  bool m_raiseOnWriteError;

 private:
  ArchiveCallback m_callback;
  uintptr_t m_user;
  uint32_t m_eventMask;
  uint32_t m_eventsWithoutText;
  int m_prefixLength, m_nameLength, m_suffixLength;
  char m_eventText[776];
  char m_errorText[516];
};
