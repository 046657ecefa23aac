// Writing archives with CZipFile: the application's road (create, AddFiles, Close) with its
// events, updates that keep entries, deletes that close the gaps, cancels and failures that
// never leave a damaged archive, vanished and locked sources, and the error texts.
#include <gtest/gtest.h>

#include <algorithm>

#include "system/DirList.h"
#include "tests/zip/archive_util.h"

using namespace archivetest;

namespace {

// Opens path for reading and gives the entry names in table order.
std::vector<std::string> Names(const std::string &path, int *rc = nullptr) {
  CZipFile zip;
  std::vector<std::string> names;
  int r = zip.Open(path.c_str(), 1, 9);
  if (rc) *rc = r;
  for (int i = 0; !r && i < zip.GetEntryCount(); ++i) names.push_back(zip.GetEntryName(i));
  return names;
}

// Tests every entry of the archive; -> the first failure code, 0 when all pass.
int TestAll(const std::string &path, const char *password = nullptr) {
  CZipFile zip;
  int rc = zip.Open(path.c_str(), 1, 9);
  if (rc) return rc;
  if (password) zip.SetPassword(password);
  for (int i = 0; i < zip.GetEntryCount(); ++i)
    if ((rc = zip.TestEntry(i)) != 0) return rc;
  return 0;
}

bool NoTempFiles(const TempDir &dir) {
  for (const std::string &n : dir.List())
    if (n.compare(0, 3, "AF_") == 0) return false;
  return true;
}

class ArchiveOps : public ::testing::Test {
 protected:
  void SetUp() override {
    a = dir / "a.txt";
    b = dir / "b.txt";
    c = dir / "c.bin";
    ASSERT_TRUE(WriteFileText(a, TextData(50000, 1)));
    ASSERT_TRUE(WriteFileText(b, TextData(3000, 2)));
    ASSERT_TRUE(WriteFileText(c, NoiseData(20000)));
    zipPath = dir / "out.zip";
  }
  // The application's road: create, one AddFiles per file, close.
  int Pack(const std::vector<std::string> &files, const std::string &prefix = "", Recorder *rec = nullptr,
           volatile LONG *stop = nullptr) {
    CZipFile zip;
    zip.SetStopFlag(stop);
    if (rec) {
      rec->zip = &zip;
      zip.SetCallback(reinterpret_cast<uintptr_t>(rec), Recorder::Callback);
      zip.DisableEvents(0xFFFFFFFFu, 1);
      zip.EnableEvents(7, 0);
      zip.EnableEvents(9, 0);
      zip.EnableEvents(10, 0);
    }
    int rc = zip.Open(zipPath.c_str(), 3, 9);
    if (rc) return rc;
    for (const std::string &f : files) zip.AddFiles(f.c_str(), nullptr, nullptr, prefix.c_str());
    rc = zip.Close();
    if (rec) rec->zip = nullptr;
    return rc;
  }
  TempDir dir;
  std::string a, b, c, zipPath;
};

TEST_F(ArchiveOps, ApplicationRoadWritesEveryFile) {
  Recorder rec;
  ASSERT_EQ(0, Pack({a, b, c}, "\\sub/dir", &rec));
  CZipFile zip;
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 1, 9));
  ASSERT_EQ(3, zip.GetEntryCount());
  EXPECT_STREQ("sub/dir/a.txt", zip.GetEntryName(0));
  EXPECT_STREQ("sub/dir/b.txt", zip.GetEntryName(1));
  EXPECT_STREQ("sub/dir/c.bin", zip.GetEntryName(2));
  EXPECT_EQ(TextData(50000, 1), Extract(zip, 0));
  EXPECT_EQ(TextData(3000, 2), Extract(zip, 1));
  EXPECT_EQ(NoiseData(20000), Extract(zip, 2));
  EXPECT_LT(zip.GetEntrySize(0, 1), 20000u);   // deflated
  EXPECT_EQ(20000u, zip.GetEntrySize(2, 1));   // noise stays stored
  for (int i = 0; i < 3; ++i) EXPECT_EQ(0, zip.TestEntry(i));
  EXPECT_EQ(0x800001A4, static_cast<uint32_t>(zip.GetEntryMode(0)));
  EXPECT_EQ(-1, zip.GetEntryMode(3));
  EXPECT_EQ(0u, zip.GetEntrySize(3, 0));
  EXPECT_EQ(0, zip.Close());
  // Event 7 once at each add and once at each compression, event 9 once; nothing failed.
  EXPECT_EQ(6, rec.Count(7));
  EXPECT_EQ(1, rec.Count(9));
  EXPECT_EQ(0, rec.Count(10));
  EXPECT_EQ(0, rec.Count(6));
  std::vector<std::string> texts = rec.Texts(7);
  EXPECT_EQ("\nDatei: sub/dir/a.txt komprimieren.", texts[0]);
  ASSERT_EQ(6u, rec.sizesAtCompress.size());
  EXPECT_EQ(50000u, rec.sizesAtCompress[0]);
  EXPECT_EQ(3000u, rec.sizesAtCompress[4]);
  // The last event: 7 for c.bin at the commit; its text's parts.
  EXPECT_EQ((std::vector<int>{8, 13, 14}), rec.partLengths);
  EXPECT_TRUE(NoTempFiles(dir));
}

TEST_F(ArchiveOps, EmptyListGivesAValidEmptyArchive) {
  ASSERT_EQ(0, Pack({}));
  std::string bytes = ReadFileText(zipPath);
  const std::string comment = "Erstellt mit Vellmorant";
  ASSERT_EQ(22 + comment.size(), bytes.size());
  EXPECT_EQ(0, bytes.compare(0, 4, "PK\x05\x06"));
  EXPECT_EQ(comment, bytes.substr(22));
  int rc;
  EXPECT_TRUE(Names(zipPath, &rc).empty());
  EXPECT_EQ(0, rc);
}

TEST_F(ArchiveOps, StoredSuffixesEmptyFilesAndMethods) {
  std::string z = dir / "inner.ZIP", s = dir / "x.7z", e = dir / "leer.txt";
  ASSERT_TRUE(WriteFileText(z, TextData(10000)));
  ASSERT_TRUE(WriteFileText(s, TextData(10000)));
  ASSERT_TRUE(WriteFileText(e, ""));
  for (int method : {-1, 0, 8, 12, 14, 95, 98}) {
    CZipFile zip;
    ASSERT_EQ(0, zip.Open(zipPath.c_str(), 3, 9));
    zip.SetMethod(method);
    if (method > 0) zip.GetLevel(5);
    for (const std::string &f : {a, z, s, e}) zip.AddFiles(f.c_str(), nullptr, nullptr, "");
    ASSERT_EQ(0, zip.Close()) << method;
    CZipFile r;
    ASSERT_EQ(0, r.Open(zipPath.c_str(), 1, 9));
    ASSERT_EQ(4, r.GetEntryCount());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(0, r.TestEntry(i)) << method << " " << r.GetEntryName(i);
    EXPECT_EQ(TextData(50000, 1), Extract(r, 0)) << method;
    bool stored = method == 0;
    EXPECT_EQ(stored, r.GetEntrySize(0, 1) == 50000u) << method;
    EXPECT_EQ(10000u, r.GetEntrySize(1, 1)) << method;  // *.ZIP stored whatever the method
    EXPECT_EQ(10000u, r.GetEntrySize(2, 1)) << method;  // *.7z
    EXPECT_EQ(0u, r.GetEntrySize(3, 1)) << method;
    EXPECT_EQ(TextData(10000), Extract(r, 2)) << method;
  }
}

TEST_F(ArchiveOps, CancelDuringCloseKeepsTheOldArchiveAndReturns23) {
  ASSERT_EQ(0, Pack({a}));
  std::string before = ReadFileText(zipPath);
  // -1: no event answers; the caller's stop flag, raised before the data is read, cancels
  // inside the first entry.
  for (int when : {9, 7, -1}) {
    Recorder rec;
    rec.cancelEvent = when;
    rec.cancelAfter = when == 7 ? 3 : 0;  // at 7: the two adds and the first compression pass
    volatile LONG stop = when == -1 ? 1 : 0;
    EXPECT_EQ(23, Pack({a, b, c}, "", &rec, &stop)) << when;
    // Not one byte of the existing archive changed, and no temporary file is left.
    EXPECT_EQ(before, ReadFileText(zipPath)) << when;
    EXPECT_TRUE(NoTempFiles(dir)) << when;
  }
  // A new archive that is cancelled leaves no file at all.
  std::string fresh = dir / "fresh.zip";
  CZipFile zip;
  Recorder rec;
  rec.cancelEvent = 9;
  zip.SetCallback(reinterpret_cast<uintptr_t>(&rec), Recorder::Callback);
  ASSERT_EQ(0, zip.Open(fresh.c_str(), 3, 9));
  EXPECT_EQ(1, zip.AddFiles(a.c_str(), nullptr, nullptr, ""));
  EXPECT_EQ(23, zip.Close());
  EXPECT_EQ(23, zip.GetLastError());
  EXPECT_STREQ("\nBenutzer Abbruch.", zip.GetErrorText());
  EXPECT_FALSE(Exists(fresh));
  EXPECT_TRUE(NoTempFiles(dir));
}

TEST_F(ArchiveOps, VanishedAndLockedSourcesAreSkippedAndReported) {
  std::string d = dir / "d.txt", e = dir / "e.log";
  ASSERT_TRUE(WriteFileText(d, TextData(1000, 4)));
  ASSERT_TRUE(WriteFileText(e, TextData(2000, 5)));
  Recorder rec;
  CZipFile zip;
  zip.SetCallback(reinterpret_cast<uintptr_t>(&rec), Recorder::Callback);
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 3, 9));
  for (const std::string &f : {a, b, c, d, e}) EXPECT_EQ(1, zip.AddFiles(f.c_str(), nullptr, nullptr, ""));
  ASSERT_TRUE(DeleteFileA(b.c_str()));
  // c is held open by another writer that shares nothing, e by a log writer that lets others
  // read: e goes in.
  HANDLE lock = CreateFileA(c.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  HANDLE log = CreateFileA(e.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, log);
  // d is written again after it was added: it goes in as it is now, with the time it has now.
  const std::string newer = TextData(1500, 6);
  ASSERT_TRUE(WriteFileText(d, newer));
  HANDLE touch = CreateFileA(d.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, touch);
  ULARGE_INTEGER later;
  later.QuadPart = (1000000000ull + 11644473600ull) * 10000000ull;
  const FILETIME laterTime = {later.LowPart, later.HighPart};
  EXPECT_TRUE(SetFileTime(touch, nullptr, nullptr, &laterTime));
  CloseHandle(touch);
  EXPECT_EQ(24, zip.Close());
  EXPECT_EQ(24, zip.GetLastError());
  CloseHandle(lock);
  CloseHandle(log);
  std::vector<std::string> errors = rec.Texts(10);
  ASSERT_EQ(2u, errors.size());
  EXPECT_EQ("\nBei Datei : " + zipPath + "\nFehler beim Öffnen der Datei: " + b, errors[0]);
  EXPECT_EQ("\nBei Datei : " + zipPath + "\nFehler beim Öffnen der Datei: " + c, errors[1]);
  const std::vector<ZipSkippedSource> &skipped = zip.GetSkippedSources();
  ASSERT_EQ(2u, skipped.size());
  EXPECT_EQ(b, skipped[0].path);
  EXPECT_EQ(c, skipped[1].path);
  EXPECT_EQ(24, skipped[0].code);
  // The archive is complete with the other three files.
  EXPECT_EQ((std::vector<std::string>{"a.txt", "d.txt", "e.log"}), Names(zipPath));
  EXPECT_EQ(0, TestAll(zipPath));
  CZipFile back;
  ASSERT_EQ(0, back.Open(zipPath.c_str(), 1, 9));
  int di = back.FindEntry("d.txt");
  ASSERT_GE(di, 0);
  EXPECT_EQ(newer.size(), back.GetEntrySize(di, 0));
  EXPECT_EQ(1000000000, back.GetModifiedTime(di));
}

TEST_F(ArchiveOps, UpdateKeepsEntriesAddsAndDeletes) {
  ASSERT_EQ(0, Pack({a, b, c}));
  std::string d = dir / "d.txt";
  ASSERT_TRUE(WriteFileText(d, TextData(7000, 9)));
  {
    CZipFile zip;
    ASSERT_EQ(0, zip.Open(zipPath.c_str(), 2, 9));
    ASSERT_EQ(3, zip.GetEntryCount());
    EXPECT_EQ(0, zip.DeleteEntry(zip.FindEntry("a.txt")));
    EXPECT_EQ(1, zip.AddFiles(d.c_str(), nullptr, nullptr, "neu"));
    EXPECT_EQ(0, zip.AddDirectory("leer\\ordner"));
    EXPECT_EQ(0, zip.Close());
  }
  EXPECT_TRUE(NoTempFiles(dir));
  CZipFile zip;
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 1, 9));
  ASSERT_EQ(4, zip.GetEntryCount());
  EXPECT_EQ(-1, zip.FindEntry("a.txt"));
  int ib = zip.FindEntry("b.txt"), ic = zip.FindEntry("c.bin"), id = zip.FindEntry("neu/d.txt");
  int io = zip.FindEntry("leer/ordner");
  ASSERT_TRUE(ib >= 0 && ic >= 0 && id >= 0 && io >= 0);
  EXPECT_EQ(TextData(3000, 2), Extract(zip, ib));
  EXPECT_EQ(NoiseData(20000), Extract(zip, ic));
  EXPECT_EQ(TextData(7000, 9), Extract(zip, id));
  EXPECT_EQ(1, zip.IsDirectory(io));
  EXPECT_EQ(0x800041A4, static_cast<uint32_t>(zip.GetEntryMode(io)));
  // The kept entries moved down to the start: the first local header is at offset 0.
  std::string bytes = ReadFileText(zipPath);
  EXPECT_EQ(0, bytes.compare(0, 4, "PK\x03\x04"));
  EXPECT_EQ(0, bytes.compare(30, 5, "b.txt"));
}

TEST_F(ArchiveOps, EventTextsStayInTheirBufferAndCanBeLeftOut) {
  CZipFile zip;
  Recorder rec;
  zip.SetCallback(reinterpret_cast<uintptr_t>(&rec), Recorder::Callback);
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 3, 9));
  std::string longName(1000, 'x');
  EXPECT_EQ(0, zip.AddMemory(longName.c_str(), "abc", 3, nullptr));
  ASSERT_EQ(1, rec.Count(7));
  std::string text = rec.Texts(7)[0];
  EXPECT_EQ(775u, text.size());  // the 776-byte buffer with its NUL
  EXPECT_EQ("\nDatei: xxx", text.substr(0, 11));
  EXPECT_EQ(" komprimieren.", text.substr(text.size() - 14));
  EXPECT_EQ((std::vector<int>{8, 757, 10}), rec.partLengths);  // event 6: " anhängen."
  EXPECT_EQ(0u, zip.SetEventsWithoutText(6, 1));
  EXPECT_EQ(0, zip.AddMemory("b", "abc", 3, nullptr));
  EXPECT_FALSE(rec.events.back().hasText);
  EXPECT_EQ(6, rec.events.back().event);
  EXPECT_EQ(1u << 6, zip.SetEventsWithoutText(6, 2));
  EXPECT_EQ(0u, zip.SetEventsWithoutText(0, 0));
  EXPECT_EQ(0, zip.Close());
  CZipFile r;
  ASSERT_EQ(0, r.Open(zipPath.c_str(), 1, 9));
  EXPECT_EQ(longName, r.GetEntryName(0));
  EXPECT_EQ("abc", Extract(r, 0));
}

TEST_F(ArchiveOps, DeletingEveryEntryLeavesAnEmptyArchive) {
  ASSERT_EQ(0, Pack({a, b, c}));
  CZipFile zip;
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 2, 9));
  while (zip.GetEntryCount() && !zip.IsDeleted(0)) ASSERT_EQ(0, zip.DeleteEntry(0));
  EXPECT_EQ(0, zip.Close());
  EXPECT_EQ(45u, ReadFileText(zipPath).size());
  int rc;
  EXPECT_TRUE(Names(zipPath, &rc).empty());
  EXPECT_EQ(0, rc);
  EXPECT_TRUE(NoTempFiles(dir));
}

TEST_F(ArchiveOps, UpdateWithoutChangesLeavesTheFileAlone) {
  ASSERT_EQ(0, Pack({a, b}));
  std::string before = ReadFileText(zipPath);
  FILETIME t1, t2;
  HANDLE h = CreateFileA(zipPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  GetFileTime(h, nullptr, nullptr, &t1);
  CloseHandle(h);
  CZipFile zip;
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 2, 9));
  EXPECT_EQ(2, zip.GetEntryCount());
  EXPECT_EQ(TextData(3000, 2), Extract(zip, 1));
  EXPECT_EQ(0, zip.Close());
  h = CreateFileA(zipPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  GetFileTime(h, nullptr, nullptr, &t2);
  CloseHandle(h);
  EXPECT_EQ(before, ReadFileText(zipPath));
  EXPECT_EQ(0, CompareFileTime(&t1, &t2));
}

TEST_F(ArchiveOps, FailedUpdateLeavesTheArchiveUntouched) {
  ASSERT_EQ(0, Pack({a, b}));
  std::string before = ReadFileText(zipPath);
  CZipFile zip;
  Recorder rec;
  rec.cancelEvent = 7;  // the move of the first kept entry
  zip.SetCallback(reinterpret_cast<uintptr_t>(&rec), Recorder::Callback);
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 2, 9));
  zip.DisableEvents(7, 0);
  EXPECT_EQ(1, zip.AddFiles(c.c_str(), nullptr, nullptr, ""));
  EXPECT_EQ(0, zip.DeleteEntry(0));
  zip.EnableEvents(7, 0);
  EXPECT_EQ(23, zip.Close());
  EXPECT_EQ(before, ReadFileText(zipPath));
  EXPECT_TRUE(NoTempFiles(dir));
  EXPECT_EQ(0, TestAll(zipPath));
}

TEST_F(ArchiveOps, OpenModes) {
  // Mode 2 on a missing file creates it; on an existing one it keeps the entries.
  std::string missing = dir / "neu.zip";
  {
    CZipFile zip;
    ASSERT_EQ(0, zip.Open(missing.c_str(), 2, 9));
    EXPECT_EQ(ARCHIVE_CREATED, zip.GetMode());
    EXPECT_EQ(1, zip.AddFiles(a.c_str(), nullptr, nullptr, ""));
    EXPECT_EQ(0, zip.Close());
  }
  {
    CZipFile zip;
    ASSERT_EQ(0, zip.Open(missing.c_str(), 2, 9));
    EXPECT_EQ(ARCHIVE_UPDATE, zip.GetMode());
    EXPECT_EQ(1, zip.GetEntryCount());
    EXPECT_EQ(1, zip.AddFiles(b.c_str(), nullptr, nullptr, ""));
    EXPECT_EQ(0, zip.Close());
  }
  EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt"}), Names(missing));
  // Reading a missing file.
  CZipFile zip;
  std::string none = dir / "fehlt.zip";
  EXPECT_EQ(18, zip.Open(none.c_str(), 1, 9));
  EXPECT_EQ("\nBei Datei : " + none + "\nFehler beim Öffnen der Datei !", std::string(zip.GetErrorText()));
  // Creating in a missing folder.
  EXPECT_EQ(15, zip.Open((dir / "nix\\a.zip").c_str(), 3, 9));
  EXPECT_EQ(-1, zip.Close());
  // An empty file is no archive, for reading or for update: it stays as it is.
  std::string empty = dir / "leer.dat";
  ASSERT_TRUE(WriteFileText(empty, ""));
  EXPECT_EQ(3, zip.Open(empty.c_str(), 1, 9));
  EXPECT_EQ(3, zip.Open(empty.c_str(), 2, 9));
  EXPECT_EQ(ARCHIVE_CLOSED, zip.GetMode());
  EXPECT_EQ(-1, zip.Close());
  EXPECT_EQ("", ReadFileText(empty));
  EXPECT_TRUE(NoTempFiles(dir));
}

TEST_F(ArchiveOps, ErrorTextsAndCodes) {
  CZipFile zip;
  EXPECT_STREQ("\nEs ist kein Fehler aufgetreten.", zip.GetErrorText());
  EXPECT_EQ(-1, zip.Close());
  EXPECT_EQ(-1, zip.AddFiles(a.c_str(), nullptr, nullptr, ""));
  EXPECT_EQ(14, zip.GetLastError());
  EXPECT_STREQ("\nBei Datei : \n< keine Datei geöffnet >\nFehler beim Schreiben in Datei !", zip.GetErrorText());
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 3, 9));
  EXPECT_EQ(13, zip.AddFile(a.c_str(), ""));
  EXPECT_EQ(24, zip.AddFile((dir / "fehlt.txt").c_str(), "x"));
  EXPECT_EQ("\nBei Datei : " + zipPath + "\nFehler beim Öffnen der Datei: " + (dir / "fehlt.txt"),
            std::string(zip.GetErrorText()));
  EXPECT_EQ(24, zip.AddFile(dir.Path().c_str(), "ordner"));
  EXPECT_EQ(0, zip.AddFile(a.c_str(), "x/a.txt"));
  EXPECT_EQ(35, zip.AddFile(b.c_str(), "x\\A.TXT"));  // still pending
  EXPECT_EQ("\nBei Datei : " + zipPath + "\nDie Datei ist bereits vorhanden: x/A.TXT",
            std::string(zip.GetErrorText()));
  EXPECT_EQ(0, zip.AddFile(b.c_str()));
  EXPECT_EQ(-1, zip.DeleteEntry(7));
  EXPECT_EQ(-1, zip.SetDamaged(9, 1));
  EXPECT_EQ(-1, zip.SetUserBits(9, 1));
  EXPECT_EQ(0, zip.SetUserBits(0, 3));
  EXPECT_EQ(3, zip.GetUserBits(0));
  EXPECT_EQ(ARCHIVE_STATE_PENDING | 3, zip.GetEntryState(0));
  EXPECT_EQ(0, zip.Close());
  EXPECT_STREQ("\nEs ist kein Fehler aufgetreten.", zip.GetErrorText());
  // Unknown and entry-naming codes.
  EXPECT_STREQ("\nUnbekannter Fehler", CArchiveFile::GetCodeText(4));
  EXPECT_STREQ("\nDar Archiv ist nicht geöffnet !", CArchiveFile::GetCodeText(33));
  EXPECT_EQ(33, zip.SetMode(1, 0));
  // Adding to a read archive.
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 1, 9));
  EXPECT_EQ(34, zip.AddFile(c.c_str(), "c"));
  EXPECT_EQ(14, zip.DeleteEntry(0));
  EXPECT_EQ(-1, zip.Commit());
  EXPECT_EQ(0, zip.Close());
}

TEST_F(ArchiveOps, ExistingNamesReplacedSkippedOrKeptWhenNewer) {
  // Fixed write times: "same time" must not depend on how fast the steps run.
  auto setTime = [&](int hoursLater) {
    ASSERT_TRUE(testcommon::SetTimes(a, -1, 1577836800 + hoursLater * 3600));  // 2020-01-01 00:00 UTC
  };
  ASSERT_EQ(0, Pack({a}));
  // a.txt again with other content: replaced.
  ASSERT_TRUE(WriteFileText(a, "neu"));
  setTime(0);
  {
    CZipFile zip;
    ASSERT_EQ(0, zip.Open(zipPath.c_str(), 2, 9));
    EXPECT_EQ(1, zip.AddFiles(a.c_str(), nullptr, nullptr, ""));
    EXPECT_EQ(0, zip.Close());
  }
  CZipFile r;
  ASSERT_EQ(0, r.Open(zipPath.c_str(), 1, 9));
  ASSERT_EQ(1, r.GetEntryCount());
  EXPECT_EQ("neu", Extract(r, 0));
  r.Close();
  // With option 0x40 the existing entry stays.
  ASSERT_TRUE(WriteFileText(a, "neuer"));
  setTime(0);
  {
    CZipFile zip;
    ASSERT_EQ(0, zip.Open(zipPath.c_str(), 2 | ZIP_OPT_SKIP_EXISTING, 9));
    EXPECT_EQ(0, zip.AddFiles(a.c_str(), nullptr, nullptr, ""));
    EXPECT_EQ(35, zip.AddFile(a.c_str(), "a.txt"));
    EXPECT_EQ(0, zip.Close());
  }
  ASSERT_EQ(0, r.Open(zipPath.c_str(), 1, 9));
  EXPECT_EQ("neu", Extract(r, 0));
  r.Close();
  // With option 0x2000 only a newer file replaces it.
  {
    CZipFile zip;
    ASSERT_EQ(0, zip.Open(zipPath.c_str(), 2 | ZIP_OPT_NEWER_ONLY, 9));
    EXPECT_EQ(0, zip.AddFiles(a.c_str(), nullptr, nullptr, ""));  // same time: kept
    EXPECT_EQ(36, zip.AddFile(a.c_str(), "a.txt"));
    setTime(1);  // an hour ahead
    EXPECT_EQ(1, zip.AddFiles(a.c_str(), nullptr, nullptr, ""));
    EXPECT_EQ(0, zip.Close());
  }
  ASSERT_EQ(0, r.Open(zipPath.c_str(), 1, 9));
  EXPECT_EQ("neuer", Extract(r, 0));
}

// Listed files that get one name in the archive: within one run the first keeps it and each
// other one stays out, named with code 35 (names compare without case, as FindEntry does); the
// same file listed again goes in once without a word; an entry of an earlier run is replaced.
TEST(ArchiveListed, OneNameForTwoFilesKeepsTheFirstAndNamesTheOthers) {
  struct Case {
    const char *label;
    bool byPath;                      // AddFiles with the path instead of AddListedFile
    bool update;                      // the archive holds x/a.txt ("alt") from an earlier run
    std::vector<std::string> listed;  // in the order they are added, each under the prefix "x"
    const char *kept;                 // the content of the archive's one entry x/a.txt
    std::vector<std::string> named;   // left out with code 35
  } const cases[] = {
      {"two folders", false, false, {"a.txt", "sub\\a.txt"}, "top a", {"sub\\a.txt"}},
      {"names that differ in case", false, false, {"sub\\a.txt", "up\\A.TXT", "a.txt"}, "sub a",
       {"up\\A.TXT", "a.txt"}},
      {"one file listed twice", false, false, {"a.txt", "a.txt"}, "top a", {}},
      {"the other one listed twice", false, false, {"a.txt", "sub\\a.txt", "sub\\a.txt"}, "top a", {"sub\\a.txt"}},
      {"after an entry of an earlier run", false, true, {"sub\\a.txt", "a.txt"}, "sub a", {"a.txt"}},
      {"added by path", true, false, {"a.txt", "sub\\a.txt"}, "top a", {"sub\\a.txt"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    CreateDirectoryA((dir / "sub").c_str(), nullptr);
    CreateDirectoryA((dir / "up").c_str(), nullptr);
    ASSERT_TRUE(WriteFileText(dir / "a.txt", "top a"));
    ASSERT_TRUE(WriteFileText(dir / "sub\\a.txt", "sub a"));
    ASSERT_TRUE(WriteFileText(dir / "up\\A.TXT", "up a"));
    const std::string zipPath = dir / "out.zip";
    CZipFile zip;
    if (c.update) {
      ASSERT_EQ(0, zip.Open(zipPath.c_str(), 3, 9));
      ASSERT_EQ(0, zip.AddMemory("x/a.txt", "alt", 3, nullptr));
      ASSERT_EQ(0, zip.Close());
    }
    ASSERT_EQ(0, zip.Open(zipPath.c_str(), c.update ? 2 : 3, 9));
    CDirList list;
    ASSERT_GE(list.Open(dir.Path().c_str(), CDirList::DL_RECURSE, "*.txt", nullptr), 3);
    int added = 0;
    for (const std::string &name : c.listed) {
      const std::string path = dir / name;
      if (c.byPath) {
        added += zip.AddFiles(path.c_str(), nullptr, nullptr, "x");
        continue;
      }
      for (int i = 0; i < list.m_nCount; ++i)
        if (!_stricmp(list.GetEntry(i)->FullPath(), path.c_str())) added += zip.AddListedFile(*list.GetEntry(i), "x");
    }
    EXPECT_EQ(1, added);
    // A file is named once its name went in with another file: at the commit.
    EXPECT_EQ(0, zip.Close());
    std::vector<std::string> named;
    for (const ZipSkippedSource &s : zip.GetSkippedSources()) {
      EXPECT_EQ(35, s.code);
      named.push_back(s.path.substr(dir.Path().size() + 1));
    }
    EXPECT_EQ(c.named, named);
    ASSERT_EQ((std::vector<std::string>{"x/a.txt"}), Names(zipPath));
    CZipFile back;
    ASSERT_EQ(0, back.Open(zipPath.c_str(), 1, 9));
    EXPECT_EQ(c.kept, Extract(back, 0));
  }
}

// Files listed under one name, some of them unreadable at the commit (held open without sharing,
// or deleted after they were listed): the first file that goes in keeps the name, and a file is
// named as clashing only with an entry that went in.
TEST(ArchiveListed, OneNameGoesToTheFirstFileThatGoesIn) {
  struct Case {
    const char *label;
    std::string held;                // of a, s, u (a.txt, sub\a.txt, up\A.TXT): held open
    std::string gone;                // deleted after being listed
    const char *name;                // the archive's one entry, "" for none
    const char *kept;                // its content
    std::vector<std::string> named;  // "path code", in the order they are named
    int rc;                          // of Close: 24 when a file that was to go in could not be opened
  } const cases[] = {
      {"all readable", "", "", "x/a.txt", "top a", {"sub\\a.txt 35", "up\\A.TXT 35"}, 0},
      {"the first held", "a", "", "x/a.txt", "sub a", {"a.txt 24", "up\\A.TXT 35"}, 24},
      {"the first two held", "as", "", "x/A.TXT", "up a", {"a.txt 24", "sub\\a.txt 24"}, 24},
      {"the first gone, the second held", "s", "a", "x/A.TXT", "up a", {"a.txt 24", "sub\\a.txt 24"}, 24},
      {"all held", "asu", "", "", "", {"a.txt 24", "sub\\a.txt 24", "up\\A.TXT 24"}, 24},
      // Never opened: it only clashes.
      {"the last held", "u", "", "x/a.txt", "top a", {"sub\\a.txt 35", "up\\A.TXT 35"}, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    CreateDirectoryA((dir / "sub").c_str(), nullptr);
    CreateDirectoryA((dir / "up").c_str(), nullptr);
    const struct {
      char key;
      const char *name, *content;
    } files[] = {{'a', "a.txt", "top a"}, {'s', "sub\\a.txt", "sub a"}, {'u', "up\\A.TXT", "up a"}};
    for (const auto &f : files) ASSERT_TRUE(WriteFileText(dir / f.name, f.content));
    const std::string zipPath = dir / "out.zip";
    CZipFile zip;
    ASSERT_EQ(0, zip.Open(zipPath.c_str(), 3, 9));
    CDirList list;
    ASSERT_EQ(3, list.Open(dir.Path().c_str(), CDirList::DL_RECURSE, "*.txt", nullptr));
    for (const auto &f : files)
      for (int i = 0; i < list.m_nCount; ++i)
        if (!_stricmp(list.GetEntry(i)->FullPath(), (dir / f.name).c_str()))
          EXPECT_EQ(f.key == 'a' ? 1 : 0, zip.AddListedFile(*list.GetEntry(i), "x")) << f.name;
    std::vector<HANDLE> locks;
    for (const auto &f : files) {
      if (c.gone.find(f.key) != std::string::npos) ASSERT_TRUE(DeleteFileA((dir / f.name).c_str()));
      if (c.held.find(f.key) != std::string::npos)
        locks.push_back(CreateFileA((dir / f.name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
    }
    const int rc = zip.Close();
    for (HANDLE h : locks) CloseHandle(h);
    EXPECT_EQ(c.rc, rc);
    std::vector<std::string> named;
    for (const ZipSkippedSource &s : zip.GetSkippedSources())
      named.push_back(s.path.substr(dir.Path().size() + 1) + " " + std::to_string(s.code));
    EXPECT_EQ(c.named, named);
    if (!*c.name) {
      EXPECT_TRUE(Names(zipPath).empty());
      continue;
    }
    ASSERT_EQ((std::vector<std::string>{c.name}), Names(zipPath));
    CZipFile back;
    ASSERT_EQ(0, back.Open(zipPath.c_str(), 1, 9));
    EXPECT_EQ(c.kept, Extract(back, 0));
  }
}

// The archive's own file, listed among the files to pack, stays out whatever the case of its
// letters as the user typed its name, beyond ASCII too.
TEST(ArchiveListed, TheArchiveItselfStaysOutInAnyCaseOfItsLetters) {
  const struct {
    const char *listed, *typed;
  } rows[] = {
      {"Archiv.zip", "archiv.ZIP"},
      {"\xDC" "bersicht.zip", "\xFC" "bersicht.zip"},        // Übersicht / übersicht
      {"\xC4rger\x8A.zip", "\xE4RGER\x9A.ZIP"},               // Ärger with Š / ärger with š
      {"\xFF" "a.zip", "\x9F" "A.zip"},                       // ÿ / Ÿ
  };
  for (const auto &r : rows) {
    SCOPED_TRACE(r.typed);
    TempDir dir;
    ASSERT_TRUE(WriteFileText(dir / "a.txt", "a"));
    ASSERT_TRUE(WriteFileText(dir / r.listed, "PK\x05\x06" + std::string(18, '\0')));
    CDirList list;
    ASSERT_EQ(2, list.Open(dir.Path().c_str(), 0, nullptr, nullptr));
    CZipFile zip;
    ASSERT_EQ(0, zip.Open((dir / r.typed).c_str(), 3, 9));
    int added = 0;
    for (int i = 0; i < list.m_nCount; ++i) added += zip.AddListedFile(*list.GetEntry(i), "");
    EXPECT_EQ(1, added);
    EXPECT_EQ(0, zip.Close());
    EXPECT_TRUE(zip.GetSkippedSources().empty());
    EXPECT_EQ((std::vector<std::string>{"a.txt"}), Names(dir / r.listed));
  }
}

namespace {

std::string Utf8(const std::wstring &w) {
  std::string s(w.size() * 3, '\0');
  s.resize(size_t(WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), &s[0], int(s.size()), nullptr, nullptr)));
  return s;
}

// The flag bit 11 and the name of each central (central true) or local header, sorted.
std::vector<std::pair<int, std::string>> HeaderNames(const std::string &bytes, bool central) {
  const std::string sig = central ? "PK\x01\x02" : "PK\x03\x04";
  const size_t flagsAt = central ? 8 : 6, lengthAt = central ? 28 : 26, nameAt = central ? 46 : 30;
  std::vector<std::pair<int, std::string>> out;
  for (size_t p = bytes.find(sig); p != std::string::npos && p + nameAt <= bytes.size(); p = bytes.find(sig, p + 4)) {
    const unsigned char *h = reinterpret_cast<const unsigned char *>(bytes.data() + p);
    const int flags = h[flagsAt] | h[flagsAt + 1] << 8, length = h[lengthAt] | h[lengthAt + 1] << 8;
    out.emplace_back(flags & 0x800, bytes.substr(p + nameAt, size_t(length)));
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

// A file listed by its short name, because the code page lacks a letter of its name, goes in
// by its own name: in UTF-8 with flag bit 11, in the local header as in the directory.
TEST(ArchiveListed, OwnNamesGoInUtf8WithTheirFlag) {
  TempDir dir;
  std::wstring base;
  for (char ch : dir.Path()) base += wchar_t(static_cast<unsigned char>(ch));
  const std::wstring alpha = L"\x0391\x03B2\x03B3.txt", delta = L"\x0394\x03B5\x03B6.txt";
  for (const std::wstring &n : {alpha, delta}) {
    HANDLE h = CreateFileW((base + L"\\" + n).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD put = 0;
    WriteFile(h, n.data(), 2, &put, nullptr);
    CloseHandle(h);
  }
  ASSERT_TRUE(WriteFileText(dir / "\xFC" "ber.txt", "u"));  // über: the code page has it
  CDirList list;
  ASSERT_EQ(3, list.Open(dir.Path().c_str(), 0, nullptr, nullptr));
  const struct {
    int flags;            // the entry's flag bit 11
    std::string written;  // the entry's name bytes
  } rows[] = {
      {0x800, Utf8(L"x/" + alpha)},
      {0x800, Utf8(L"x/" + delta)},  // two names that no short name confuses
      {0, "x/\x81" "ber.txt"},       // the code page has it: code page 850, as ever
  };
  CZipFile zip;
  const std::string zipPath = dir / "out.zip";
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 3, 9));
  for (int i = 0; i < list.m_nCount; ++i) {
    const DirEntry *e = list.GetEntry(i);
    std::wstring own;
    const bool shortName = PathOwnNamesW(e->FullPath(), e->nNameOffset, own) == 1;
    // '\' and a leading separator are taken as the archive takes them.
    own = shortName ? (i % 2 ? L"/x/" : L"x\\") + own : L"";
    EXPECT_EQ(1, zip.AddListedFile(*e, "x", own.empty() ? nullptr : own.c_str())) << e->FullPath();
  }
  ASSERT_EQ(0, zip.Close());
  std::vector<std::pair<int, std::string>> expected;
  for (const auto &r : rows) expected.emplace_back(r.flags, r.written);
  std::sort(expected.begin(), expected.end());
  const std::string bytes = ReadFileText(zipPath);
  EXPECT_EQ(expected, HeaderNames(bytes, true));
  EXPECT_EQ(expected, HeaderNames(bytes, false));
  EXPECT_EQ(0, TestAll(zipPath));
}

TEST_F(ArchiveOps, AddFilesScansFoldersWithListsAndSkipsTheArchive) {
  std::string sub = dir / "sub";
  CreateDirectoryA(sub.c_str(), nullptr);
  ASSERT_TRUE(WriteFileText(sub + "\\x.txt", "x"));
  ASSERT_TRUE(WriteFileText(sub + "\\y.log", "y"));
  CZipFile zip;
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 3 | ZIP_OPT_RECURSE, 9));
  Recorder rec;
  zip.SetCallback(reinterpret_cast<uintptr_t>(&rec), Recorder::Callback);
  rec.cancelEvent = 15;
  rec.cancelAfter = 3;  // the fourth file found is skipped by the callback
  // The scan sees the archive's own temporary file and must leave it out, like the archive.
  EXPECT_EQ(3, zip.AddFiles(dir.Path().c_str(), "*.txt;*.bin;*.zip;*.log;AF_*", "b.*", "p"));
  EXPECT_EQ(4, rec.Count(15));
  EXPECT_EQ(0, zip.Close());
  std::vector<std::string> names = Names(zipPath);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(3u, names.size());
  for (const std::string &n : names) {
    EXPECT_EQ("p/", n.substr(0, 2));
    EXPECT_EQ(std::string::npos, n.find("AF_"));
    EXPECT_EQ(std::string::npos, n.find("out.zip"));
    EXPECT_EQ(std::string::npos, n.find("b.txt"));
  }
}

TEST_F(ArchiveOps, SourcePathsLongerThan256CharactersStayWhole) {
  // A folder path of about 240 characters and a file name that takes it past 256.
  std::string deep = dir.Path();
  while (deep.size() < 200) {
    deep += "\\ordner_mit_langem_namen";
    CreateDirectoryA(deep.c_str(), nullptr);
  }
  std::string file = deep + "\\" + std::string(254 - deep.size(), 'n') + ".txt";
  ASSERT_GT(file.size(), 256u);
  ASSERT_LT(file.size(), static_cast<size_t>(MAX_PATH));
  ASSERT_TRUE(WriteFileText(file, TextData(4000)));
  ASSERT_EQ(0, Pack({file}));
  CZipFile zip;
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 1, 9));
  ASSERT_EQ(1, zip.GetEntryCount());
  EXPECT_EQ(TextData(4000), Extract(zip, 0));
}

int32_t FailingRead(void *ctx, void *buffer, int32_t length) {
  int *calls = static_cast<int *>(ctx);
  if (++*calls > 3) return -1;
  memset(buffer, 'x', length);
  return length;
}

TEST_F(ArchiveOps, ImmediateAddsAndAFailingSource) {
  CZipFile zip;
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 3, 9));
  std::string text = TextData(100000, 5);
  EXPECT_EQ(0, zip.AddMemory("mem/text.txt", text.data(), static_cast<uint32_t>(text.size()), nullptr));
  int calls = 0;
  ArchiveSource src = {FailingRead, &calls};
  ArchiveFileInfo info = {FILE_ATTRIBUTE_ARCHIVE, 1000000, 1600000000, 0, 0};
  EXPECT_EQ(27, zip.AddEntry("kaputt.bin", &src, ARCHIVE_SOURCE_CALLBACK, &info));
  EXPECT_EQ(1, zip.GetEntryCount());
  HANDLE h = CreateFileA(c.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  info = {FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, 20000, 1600000000, 1500000000, 0};
  EXPECT_EQ(0, zip.AddEntry("C:\\noise.bin", h, ARCHIVE_SOURCE_HANDLE, &info));
  CloseHandle(h);
  EXPECT_EQ(0, zip.Close());
  CZipFile r;
  ASSERT_EQ(0, r.Open(zipPath.c_str(), 1, 9));
  ASSERT_EQ(2, r.GetEntryCount());
  EXPECT_EQ(text, Extract(r, 0));
  EXPECT_STREQ("noise.bin", r.GetEntryName(1));
  EXPECT_EQ(NoiseData(20000), Extract(r, 1));
  EXPECT_EQ(1, r.IsReadOnly(1));
  EXPECT_EQ(static_cast<int>(0x80000124u), r.GetEntryMode(1));
  EXPECT_EQ(1600000000, r.GetModifiedTime(1));
  EXPECT_EQ(1500000000, r.GetEntryTime(1, 1));
  EXPECT_EQ(1600000000, r.GetEntryTime(1, 2));  // unknown access time: the write time
  EXPECT_EQ(-1, r.GetEntryTime(1, 3));
}

TEST_F(ArchiveOps, SwitchModesCommitAndReadBack) {
  CZipFile zip;
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 3, 9));
  EXPECT_EQ(1, zip.AddFiles(a.c_str(), nullptr, nullptr, ""));
  EXPECT_EQ(0, zip.SwitchMode(1));  // commits and writes the directory
  EXPECT_EQ(ARCHIVE_READ, zip.GetMode());
  EXPECT_EQ(TextData(50000, 1), Extract(zip, 0));
  EXPECT_EQ(0, zip.SwitchMode(2));
  EXPECT_EQ(1, zip.AddFiles(b.c_str(), nullptr, nullptr, ""));
  EXPECT_EQ(0, zip.DeleteEntry(0));
  EXPECT_EQ(0, zip.SwitchMode(1));
  ASSERT_EQ(1, zip.GetEntryCount());
  EXPECT_STREQ("b.txt", zip.GetEntryName(0));
  EXPECT_EQ(TextData(3000, 2), Extract(zip, 0));
  EXPECT_EQ(34, zip.SwitchMode(5));
  // Changes dropped by a switch without commit.
  EXPECT_EQ(0, zip.SetMode(2, 0));
  EXPECT_EQ(1, zip.AddFiles(c.c_str(), nullptr, nullptr, ""));
  EXPECT_EQ(0, zip.SetMode(1, 0));
  EXPECT_EQ(1, zip.GetEntryCount());
  EXPECT_EQ(0, zip.Close());
  EXPECT_EQ((std::vector<std::string>{"b.txt"}), Names(zipPath));
  EXPECT_TRUE(NoTempFiles(dir));
}

TEST_F(ArchiveOps, MemoryArchiveGrowsAndSpills) {
  std::vector<char> block(4096);
  char path[64];
  snprintf(path, sizeof path, "MEM:\\\\%08X-0-%u", static_cast<unsigned>(reinterpret_cast<uintptr_t>(block.data())),
           static_cast<unsigned>(block.size()));
  CZipFile zip;
  ASSERT_EQ(0, zip.Open(path, 3, 9));
  char expected[64];
  snprintf(expected, sizeof expected, "mem:\\\\%08X-0", static_cast<unsigned>(reinterpret_cast<uintptr_t>(block.data())));
  EXPECT_STREQ(expected, zip.GetEntryName(-1));
  std::string text = TextData(300000);
  std::string noise = NoiseData(200000);
  EXPECT_EQ(0, zip.AddMemory("t.txt", text.data(), static_cast<uint32_t>(text.size()), nullptr));
  EXPECT_EQ(0, zip.AddMemory("n.bin", noise.data(), static_cast<uint32_t>(noise.size()), nullptr));
  EXPECT_EQ(0, zip.DeleteEntry(0));
  EXPECT_EQ(0, zip.SwitchMode(1));
  uint64_t size = 0;
  const uint8_t *bytes = zip.GetMemoryArchive(&size);
  ASSERT_NE(nullptr, bytes);
  std::string copy(reinterpret_cast<const char *>(bytes), static_cast<size_t>(size));
  EXPECT_EQ(noise, Extract(zip, 0));
  EXPECT_EQ(0, zip.Close());
  std::string file = dir / "mem.zip";
  ASSERT_TRUE(WriteFileText(file, copy));
  EXPECT_EQ((std::vector<std::string>{"n.bin"}), Names(file));
  EXPECT_EQ(0, TestAll(file));
  // A read-only block cannot be opened for writing.
  snprintf(path, sizeof path, "MEM:\\\\%08X-%u", static_cast<unsigned>(reinterpret_cast<uintptr_t>(copy.data())),
           static_cast<unsigned>(copy.size()));
  EXPECT_EQ(24, zip.Open(path, 2, 9));
  ASSERT_EQ(0, zip.Open(path, 1, 9));
  EXPECT_EQ(noise, Extract(zip, 0));
  CZipIo out;
  CZipFile::SetTempFolder(dir.Path().c_str());
  EXPECT_EQ(0, zip.ExtractToMemory(0, &out, 65536));  // beyond 64 KiB it spills into a file
  EXPECT_TRUE(out.HasSpilled());
  std::string back(noise.size(), 0);
  out.Read(&back[0], static_cast<uint32_t>(back.size()));
  EXPECT_EQ(noise, back);
  out.Close();
  CZipFile::SetTempFolder(nullptr);
  EXPECT_TRUE(NoTempFiles(dir));
}

}  // namespace
