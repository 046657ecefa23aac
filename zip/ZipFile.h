// CZipFile: the zip archive. Opens archives from a file, the program's resources or memory;
// adds files and directories (recorded at once, compressed when changes are committed),
// deletes, extracts and tests entries (with traditional and WinZip AES decryption), commits and
// closes. A file archive is written through a temporary "AF_" file beside it that replaces it
// only when complete, so that a failure or a cancel never leaves it damaged.
#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "system/Paths.h"
#include "zip/ArchiveFile.h"
#include "zip/Codec.h"
#include "zip/ZipCrypto.h"
#include "zip/ZipFormat.h"

// Option bits of CZipFile::Open (above the mode's low four bits) and CZipFile::SetOptions.
enum {
  ZIP_OPT_NO_LOOKUP = 0x10,         // adding does not look for an entry of the same name
  ZIP_OPT_SKIP_EXISTING = 0x40,     // adding skips a name that exists instead of replacing it
  ZIP_OPT_KEEP_DRIVE = 0x80,        // added names keep a drive prefix
  ZIP_OPT_FULL_PATHS = 0x800,       // AddFiles names entries by the full path
  ZIP_OPT_RECURSE = 0x1000,         // AddFiles goes into sub-folders
  ZIP_OPT_NEWER_ONLY = 0x2000,      // an existing entry is replaced only by a newer file
  ZIP_OPT_METHOD_DEFAULT = 0x4000,  // method setting -1
  ZIP_OPT_METHOD_STORE = 0x8000     // method setting 0
};

// A listed file that was left out: its source path and why (24 the source cannot be opened,
// 27 it cannot be read, 35 a file added earlier since the archive was opened has its name).
struct ZipSkippedSource {
  std::string path;
  int code;
};

struct DirEntry;

// Suffixes of archive types: such files are stored, not compressed.
extern const char kZipStoredSuffixes[];

class CZipFile : public CArchiveFile, public CZipFormat {
 public:
  // Closed, method setting -1, level 9, deferred add, retry stored, raise on write error.
  CZipFile();
  // Closes without committing (Abort).
  ~CZipFile() override;

  // Opens path with mode (low four bits: 1 read, 2 update, 3 create; the rest option bits).
  // "RES:\\type\name" opens a resource of the program, "MEM:\\address-size[-capacity]" a
  // memory block (hexadecimal address, decimal sizes; writable with a capacity).
  // Mode 2 keeps the entries of an existing archive and creates a missing one; an existing
  // empty file is no archive and stays as it is (3).
  // -> 0; 29 writing not allowed; 12 resource not found; 15 cannot create; 18 cannot open;
  // 3, 11, 19 a bad archive; 23 cancelled by event 0 or 1.
  int Open(const char *path, int mode, int reserved = 0);
  // bits, or -2 to read. -> the options. A changed sort order sorts at once.
  unsigned SetOptions(int bits);
  // level 0..9 (negative 0, above 9 gives 9; 0 also stores everything), -2 to read. -> level.
  int GetLevel(int level);
  // -1 default (deflate, level 9), 0 store, 8 deflate, 12 bzip2, 14 LZMA, 95 xz, 98 PPMd;
  // any other value becomes 8; -2 to read. -> the method setting.
  int SetMethod(int method);
  // A flag of the caller (null: none) that, once nonzero, cancels a commit inside the entry it
  // is compressing (23), not only between entries as the events do.
  void SetStopFlag(volatile const LONG *flag) { m_stopFlag = flag; }
  // Adds the files that path (a file, a folder, or a folder with a wildcard name) names,
  // filtered by the ';'-separated include and exclude lists, under the name prefix. A name
  // that a file added since the archive was opened holds is not taken over (AddListedFile).
  // -> the number of files added; -1 when the archive is not writable (error 14).
  int AddFiles(const char *path, const char *include, const char *exclude, const char *prefix);
  // Adds one file of a directory list as AddFiles adds it by its own path (under prefix plus
  // its name part, or its full path with ZIP_OPT_FULL_PATHS), taking the list's attributes,
  // size and times instead of asking the system for them again: a file that is gone by the
  // commit is left out there (GetSkippedSources). ownName (null: none) is the entry's whole
  // name, prefix included, as the file's own names spell it (UTF-16, '\' or '/' between
  // names) when the list holds a short name for a name the code page cannot spell: the
  // headers carry it in UTF-8 with flag bit 11, while prefix plus the listed name stays the
  // name the archive finds the entry by and names it with. -> 1 added; 0 left out (a folder,
  // the archive itself, a name too long, an existing name kept by option, event 15, the same
  // file added before, or another file added before under the same name: error 35 and
  // GetSkippedSources; in deferred mode it waits, and goes in under that name when the other
  // file cannot be read at the commit, or else is named there); -1 when the archive is not
  // writable (error 14).
  int AddListedFile(const DirEntry &file, const char *prefix, const wchar_t *ownName = nullptr);
  // Adds one file under entryName (second form: its name part). -> 0; 34 not writable, 13 empty
  // name, 24 missing file or a folder, 35 the name exists (option 0x40, or still pending),
  // 36 not newer (option 0x2000), 23 event 15 answered nonzero; add errors.
  int AddFile(const char *path, const char *entryName);
  int AddFile(const char *path);
  // Adds size bytes of memory as entry name (info may be null: now, size from the block).
  int AddMemory(const char *name, const void *data, uint32_t size, const ArchiveFileInfo *info);
  // Extracts entry index below folder (the entry's path kept, folders created), through a
  // temporary file that replaces the target when complete, with the entry's times and
  // attributes. Names that would leave the folder (absolute, drive, "..") are refused with 20.
  // Event 15 (nonzero: skipped, 28) and event 8 (nonzero: 23) come first. -> 0 or a code.
  int ExtractToFile(int index, const char *folder);
  // Extracts entry index into out, opened here as a memory stream that moves into a temporary
  // "AF_" file when it would grow beyond memoryLimit bytes (0: 256 MiB). -> 0 or a code.
  int ExtractToMemory(int index, CZipIo *out, uint32_t memoryLimit);
  // ExtractEntry for the entry with this name; -1 when there is none.
  int ExtractByName(const char *name, CodecWriteFunc write, void *context, ArchiveFileInfo *info);
  // Switches read (1) and update (2); commitFirst commits pending changes before reading
  // (otherwise they are dropped). -> 0; 33 closed; 34 bad request; 29 writing not allowed;
  // 18 cannot reopen; 24 a memory archive without a writable block.
  int SetMode(int mode, int commitFirst);
  // The listed files left out since the archive was opened, in the order they were met: by
  // AddFiles and AddListedFile (a name that a file added since then holds; an entry read from
  // the archive is replaced instead) and by the commits (sources that cannot be read). Close
  // still writes the archive with the other entries.
  const std::vector<ZipSkippedSource> &GetSkippedSources() const { return m_skipped; }
  // Folder for the temporary "AF_" files of memory archives and memory extracts (process-wide);
  // null or "" for the system's temporary folder.
  static void SetTempFolder(const char *folder);
  // A memory archive's bytes and size (null for other archives).
  const uint8_t *GetMemoryArchive(uint64_t *size);

  // CArchiveFile.
  int SetPassword(const char *password) override;
  int AddDirectory(const char *name) override;
  int AddEntry(const char *name, const void *source, int sourceKind,
               const ArchiveFileInfo *info) override;
  int TestEntry(int index) override;
  int ExtractEntry(int index, CodecWriteFunc write, void *context, ArchiveFileInfo *info) override;
  int SwitchMode(int mode) override;
  int Commit() override;
  int Close() override;
  int GetEntryCount() const override { return CZipEntryTable::GetEntryCount(); }
  void Abort() override;
  int GetEntryState(int index) const override;
  const char *GetEntryName(int index) const override;
  int SortEntries(unsigned order) override;
  int SetDamaged(int index, int value) override;
  int IsReadOnly(int index) const override;
  int GetDamaged(int index) const override;
  int IsDeleted(int index) const override;
  int IsDirectory(int index) const override;
  int GetUserBits(int index) const override;
  uint64_t GetEntrySize(int index, int kind) const override;
  int DeleteEntry(int index) override;
  int FindEntry(const char *name) const override { return CZipEntryTable::FindEntry(name); }
  int32_t GetEntryTime(int index, int which) const override;
  int32_t GetModifiedTime(int index) const override;
  uint64_t GetBytesProcessed(uint64_t *total) const override;
  uint32_t GetUserWord(int index) const override;
  void SetUserWord(int index, uint32_t value) override;
  int GetProgress(int request) override;
  int SetUserBits(int index, int value) override;
  int ReadDirectory(int reserved) override;

 protected:
  int RaiseFormatEvent(int event, int index) override;

 private:
  struct Source;
  struct EntryReader;

  int OpenFileArchive(int mode);
  int OpenResource(const char *locator);
  int OpenMemoryArchive(const char *locator, int mode);
  void CloseStorage();
  // The file archive is written in a temporary copy beside it; created on the first write.
  void EnsureWorkFile();
  void CreateWorkFile();
  void ReplaceTarget();
  void DiscardWorkFile();

  int AddEntryRaw(const char *name, const void *source, int sourceKind, const ArchiveFileInfo *info);
  int AddDirectoryRaw(const char *name);
  // A listed file whose name a pending entry holds (deferred adds): name, source path, own
  // name in UTF-8 ("" none) and information.
  struct Waiting {
    std::string name, path, ownName;
    ArchiveFileInfo info;
  };
  // Adds the listed files (folders and nulls passed over) under prefix, each by its path
  // relative to the list's folder or, with byName, by its name part; ownName as for
  // AddListedFile. -> the number added.
  int AddListed(const DirEntry *const *files, int count, bool byName, const char *prefix,
                const wchar_t *ownName = nullptr);
  // One listed file for AddFiles and AddListedFile, named relName under pre; saved: the options
  // of the call. -> true when added.
  bool AddListedEntry(const DirEntry &file, const char *relName, const std::string &pre, unsigned saved,
                      const wchar_t *ownName);
  // Records a new pending entry: name, the file to compress at the commit (null: none), its
  // information (null: now, size 1) and its own name for the headers in UTF-8 ("": the name).
  // *level gets the level for the method chosen. -> its index. Raises ZIP_E_NOMEM, ZIP_E_PATH.
  int RecordEntry(const std::string &name, const char *sourcePath, const ArchiveFileInfo *info,
                  const std::string &ownName, int *level);
  // A pending entry for a file that waited for its name. -> its index.
  int RecordWaiting(const Waiting &w);
  std::string NormalizeName(const char *name) const;
  int ChooseMethod(const char *name, uint64_t size, uint32_t attributes, int *level) const;
  void WriteEntryData(ZipEntry *entry, Source &source, int method, int level, bool retryStored);
  void WritePendingEntry(int index);
  void CompactEntries();
  void MoveData(uint64_t from, uint64_t to, uint64_t length, void *mapped);
  void CommitRaw();
  void WriteDirectoryAndFinish();

  // The codec for a zip method (deflate class for 0, 8, 9). -> 0, 1 unsupported method,
  // 2 out of memory.
  int SelectCodec(int method, const ZipEntry *entry, int forWriting);
  void SetupDecryption(ZipEntry *entry);
  int ExtractRaw(int index, CodecWriteFunc write, void *context, ArchiveFileInfo *info, bool test);
  uint64_t DataStart(ZipEntry *entry);
  int CatchCodes(int code);

  CCodec *m_codec;
  int m_codecMethod;        // class of m_codec: 0 (methods 0..9), 12, 14, 95 or 98
  const CCodec *m_running;  // the codec at work (for GetBytesProcessed)
  bool m_runningCompress;
  ZipCryptKeys m_cryptKeys;
  ZipAesContext *m_aes;
  bool m_quietSort;          // internal sorts raise no event
  bool m_memoryArchive;
  int m_skipCode;            // first code of a pending entry skipped by the commit
  volatile const LONG *m_stopFlag = nullptr;
  std::vector<ZipSkippedSource> m_skipped;
  // Paths left out because another file holds their name (compared as paths).
  std::set<std::string, PathLess> m_nameTaken;
  // Listed files whose name a pending entry holds, in the order they came.
  std::vector<Waiting> m_waiting;
  // The own name (UTF-8) of the entry that the add under way records; "" for none.
  std::string m_addingOwnName;
  // The file archive written through a temporary copy.
  char m_workPath[MAX_PATH];
  CZipHandle m_targetLock;   // keeps others from changing the archive meanwhile
};
