// Exact bytes of the headers, extra fields and end records that are written, and the
// extra fields that are understood.
#include <gtest/gtest.h>

#include <string>

#include "zipfmt_util.h"

using namespace zipfmt;

namespace {

const int32_t kMod = 1626352496;     // 2021-07-15 12:34:56 UTC
const int32_t kAccess = 1626352500;
const int32_t kCreate = 1600000000;

// A format object writing into a growing memory block.
class Writer : public TestFormat {
 public:
  Writer() { m_io.OpenMemory(nullptr, 0, 0, 0, ZIPIO_MEM_WRITABLE | ZIPIO_MEM_GROW); }
  std::string Bytes() {
    return std::string(reinterpret_cast<const char *>(m_io.MemoryBase()),
                       static_cast<size_t>(m_io.Size()));
  }
  ZipEntry *NewFile(const std::string &name, uint64_t size, int method = 0) {
    int i = NewEntry();
    SetEntryName(i, name.c_str(), -1, nullptr);
    ZipEntry *e = GetEntry(i);
    e->versionMadeBy = ZIP_VERSION_MADE_BY;
    e->versionNeeded = method ? ZIP_VERSION_DEFLATED : ZIP_VERSION_STORED;
    e->method = static_cast<uint16_t>(method);
    e->modTime = kMod;
    e->accessTime = kAccess;
    e->createTime = kCreate;
    e->dosDateTime = TimeToDosDateTime(kMod);
    e->uncompressedSize = e->compressedSize = size;
    e->externalAttributes = 0x20;
    e->crc32 = 0xCAFEBABE;
    e->inFile = 1;
    return e;
  }
};

std::string TimesExtra(int32_t mod, int32_t access, int32_t create) {
  std::string s;
  Le16(s, 0x5455);
  Le16(s, 13);
  s += '\x07';
  Le32(s, mod);
  Le32(s, access);
  Le32(s, create);
  Le16(s, 0x000A);
  Le16(s, 32);
  Le32(s, 0);
  Le16(s, 1);
  Le16(s, 24);
  Le64(s, ZipTimeToFileTime(mod));
  Le64(s, ZipTimeToFileTime(access));
  Le64(s, ZipTimeToFileTime(create));
  return s;
}

}  // namespace

TEST(ZipHeaders, LocalAndCentralHeaderOfAStoredEntryByteForByte) {
  Writer w;
  ZipEntry *e = w.NewFile("Müller.txt", 5);
  w.WriteEntryHeader(e);
  std::string local;
  Le32(local, 0x04034B50);
  Le16(local, 10);
  Le16(local, 0);
  Le16(local, 0);
  Le32(local, TimeToDosDateTime(kMod));
  Le32(local, 0xCAFEBABE);
  Le32(local, 5);
  Le32(local, 5);
  Le16(local, 10);
  Le16(local, 0);
  local += "M\x81ller.txt";
  ASSERT_EQ(local, w.Bytes());
  EXPECT_EQ(local.size(), e->localHeaderSize);
  EXPECT_EQ(53, e->centralExtraLength);
  EXPECT_EQ(0, e->localExtraLength);

  w.Io().Seek(w.Io().Size());
  uint64_t at = w.Io().Tell();
  w.WriteCentralHeader(e);
  std::string central;
  Le32(central, 0x02014B50);
  Le16(central, 0x0B17);
  Le16(central, 10);
  Le16(central, 0);
  Le16(central, 0);
  Le32(central, TimeToDosDateTime(kMod));
  Le32(central, 0xCAFEBABE);
  Le32(central, 5);
  Le32(central, 5);
  Le16(central, 10);
  Le16(central, 53);
  Le16(central, 0);
  Le16(central, 0);
  Le16(central, 0);
  Le32(central, 0x20);
  Le32(central, 0);
  central += "M\x81ller.txt" + TimesExtra(kMod, kAccess, kCreate);
  EXPECT_EQ(central, w.Bytes().substr(static_cast<size_t>(at)));
}

TEST(ZipHeaders, Utf8NamesSetBitElevenInBothHeaders) {
  Writer w;
  ZipEntry *e = w.NewFile("5€.txt", 0);
  w.WriteEntryHeader(e);
  w.WriteCentralHeader(e);
  std::string b = w.Bytes();
  EXPECT_EQ(0x0800u, Rd32(b, 6) & 0xFFFF);
  EXPECT_EQ("5\xE2\x82\xAC.txt", b.substr(30, 8));
  size_t c = 30 + 8;
  EXPECT_EQ(0x02014B50u, Rd32(b, c));
  EXPECT_EQ(0x0800u, Rd16(b, c + 8));
  EXPECT_EQ(8u, Rd16(b, c + 28));
}

TEST(ZipHeaders, FoldersAreWrittenWithTheirSlashAndReadBackWithout) {
  Writer w;
  ZipEntry *d = w.NewFile("Grüße", 0);
  d->externalAttributes = 0x10;
  w.WriteEntryHeader(d);
  EXPECT_EQ("Gr\x81\xE1" "e/", w.Bytes().substr(30));
  w.WriteCentralDirectory();
  TestFormat r;
  ASSERT_EQ(ZIP_OK, r.Read(w.Bytes()));
  EXPECT_STREQ("Grüße", r.GetEntry(0)->name);
  EXPECT_EQ(0x10u, r.GetEntry(0)->externalAttributes);
}

TEST(ZipHeaders, ACommentThatNeedsUtf8TakesTheNameAlong) {
  Writer w;
  ZipEntry *e = w.NewFile("Müller.txt", 0);
  e->comment = static_cast<char *>(malloc(8));
  memcpy(e->comment, "Preis €", 8);
  e->commentLength = 7;
  w.WriteCentralHeader(e);
  std::string b = w.Bytes();
  EXPECT_EQ(0x0800u, Rd16(b, 8));
  EXPECT_EQ("M\xC3\xBCller.txt", b.substr(46, 11));
  EXPECT_EQ("Preis \xE2\x82\xAC", b.substr(46 + 11 + 53));
}

TEST(ZipHeaders, Zip64FieldHoldsOnlyWhatIsLargeAndTheOffsetOnlyInTheCentralHeader) {
  Writer w;
  ZipEntry *e = w.NewFile("far.txt", 10, 8);
  e->localHeaderOffset = 0x100000000ull;
  w.WriteEntryHeader(e);
  std::string b = w.Bytes();
  EXPECT_EQ(45u, Rd16(b, 4));
  EXPECT_EQ(10u, Rd32(b, 18));
  EXPECT_EQ(0u, Rd16(b, 28));  // no local extra: sizes are small
  size_t at = b.size();
  w.WriteCentralHeader(e);
  b = w.Bytes();
  EXPECT_EQ(10u, Rd32(b, at + 20));
  EXPECT_EQ(0xFFFFFFFFu, Rd32(b, at + 42));
  EXPECT_EQ(65u, Rd16(b, at + 30));
  EXPECT_EQ(1u, Rd16(b, at + 46 + 7));
  EXPECT_EQ(8u, Rd16(b, at + 46 + 9));
  EXPECT_EQ(0x100000000ull, Rd64(b, at + 46 + 11));
  // Uncompressed size large, compressed small: the local field still holds both sizes.
  Writer w2;
  ZipEntry *d = w2.NewFile("deflated.bin", 5ull << 30, 8);
  d->compressedSize = 1 << 20;
  w2.WriteEntryHeader(d);
  b = w2.Bytes();
  EXPECT_EQ(0xFFFFFFFFu, Rd32(b, 18));
  EXPECT_EQ(0xFFFFFFFFu, Rd32(b, 22));
  EXPECT_EQ(1u << 20, Rd64(b, 30 + 12 + 4 + 8));
  at = b.size();
  w2.WriteCentralHeader(d);
  b = w2.Bytes();
  EXPECT_EQ(1u << 20, Rd32(b, at + 20));
  EXPECT_EQ(0xFFFFFFFFu, Rd32(b, at + 24));
  EXPECT_EQ(8u, Rd16(b, at + 46 + 12 + 2));
}

TEST(ZipHeaders, VersionNeededFallsBackToTwentyWithoutZip64) {
  Writer w;
  ZipEntry *e = w.NewFile("x", 100, 8);
  e->versionNeeded = 45;
  w.BuildZip64Extra(e);
  EXPECT_EQ(20, e->versionNeeded);
  ZipEntry *bz = w.NewFile("y", 100, 12);
  bz->versionNeeded = 46;
  w.BuildZip64Extra(bz);
  EXPECT_EQ(46, bz->versionNeeded);
}

TEST(ZipHeaders, RewrittenLocalHeaderKeepsItsLength) {
  Writer w;
  // Expected near 4 GiB: room for the Zip64 sizes is kept from the first header on.
  ZipEntry *e = w.NewFile("large.bin", 0xF0000000ull, 8);
  e->compressedSize = 0;
  w.WriteEntryHeader(e);
  uint32_t first = e->localHeaderSize;
  EXPECT_EQ(30u + 9 + 20, first);
  e->compressedSize = 0xE0000000ull;
  e->uncompressedSize = 0xF0000010ull;
  w.Io().Seek(0);
  w.WriteEntryHeader(e);
  EXPECT_EQ(first, e->localHeaderSize);
  EXPECT_EQ(first, w.Bytes().size());
  EXPECT_EQ(0xE0000000ull, Rd64(w.Bytes(), 30 + 9 + 12));
  // A small entry that turns out huge cannot grow its header in place.
  ZipEntry *s = w.NewFile("small.bin", 100, 8);
  s->localHeaderOffset = w.Io().Size();
  w.Io().Seek(s->localHeaderOffset);
  w.WriteEntryHeader(s);
  s->uncompressedSize = 5ull << 30;
  w.Io().Seek(s->localHeaderOffset);
  int code = 0;
  try {
    w.WriteEntryHeader(s);
  } catch (int c) {
    code = c;
  }
  EXPECT_EQ(ZIP_E_INTERNAL, code);
}

TEST(ZipHeaders, DirectoryWithLibraryCommentAndOnlyTheEntriesInTheFile) {
  Writer w;
  const char *names[] = {"a.txt", "gone.txt", "broken.txt", "pending.txt", "b/"};
  for (const char *n : names) {
    ZipEntry *e = w.NewFile(n, 3);
    e->localHeaderOffset = w.Io().Tell();
    w.WriteEntryHeader(e);
    w.Io().Write("abc", 3);
  }
  w.GetEntry(1)->deleted = 1;
  w.GetEntry(2)->damaged = 1;
  w.GetEntry(3)->inFile = 0;
  uint64_t start = w.Io().Tell();
  w.WriteCentralDirectory();
  std::string b = w.Bytes();
  EXPECT_EQ(start, w.GetDirectoryStart());
  size_t end = b.size() - 22 - strlen(kZipLibraryComment);
  EXPECT_EQ(end, w.GetDirectoryEnd());
  EXPECT_EQ(0x06054B50u, Rd32(b, end));
  EXPECT_EQ(0u, Rd32(b, end + 4));
  EXPECT_EQ(2u, Rd16(b, end + 8));
  EXPECT_EQ(2u, Rd16(b, end + 10));
  EXPECT_EQ(end - start, Rd32(b, end + 12));
  EXPECT_EQ(start, Rd32(b, end + 16));
  EXPECT_EQ(strlen(kZipLibraryComment), Rd16(b, end + 20));
  EXPECT_EQ(kZipLibraryComment, b.substr(end + 22));
  EXPECT_EQ(std::string::npos, b.find("PK\x06\x06"));
  // Read back: the two entries, their times from the extended timestamp.
  TestFormat r;
  ASSERT_EQ(ZIP_OK, r.Read(b));
  ASSERT_EQ(2, r.GetEntryCount());
  EXPECT_STREQ("a.txt", r.GetEntry(0)->name);
  EXPECT_STREQ("b", r.GetEntry(1)->name);  // the slash goes; 3 bytes: no folder
  EXPECT_EQ(0x20u, r.GetEntry(1)->externalAttributes);
  EXPECT_EQ(kMod, r.GetEntry(0)->modTime);
  EXPECT_EQ(kAccess, r.GetEntry(0)->accessTime);
  EXPECT_EQ(kCreate, r.GetEntry(0)->createTime);
  EXPECT_STREQ(kZipLibraryComment, r.GetComment());
  EXPECT_EQ(start, r.GetDataEnd());
}

TEST(ZipHeaders, CommentIsCutTo512Characters) {
  ArchiveBuilder ab;
  ab.Add(MakeEntry("x", "1"));
  std::string comment(600, 'k');
  comment[0] = '\x81';  // code page 850 'ü'
  TestFormat r;
  ASSERT_EQ(ZIP_OK, r.Read(ab.Finish(comment)));
  ASSERT_EQ(600u, strlen(r.GetComment()));
  EXPECT_EQ('\xFC', r.GetComment()[0]);
  // Write the directory again into a block of its own.
  r.Io().OpenMemory(nullptr, 0, 0, 0, ZIPIO_MEM_WRITABLE | ZIPIO_MEM_GROW);
  r.GetEntry(0)->deleted = 1;
  r.WriteCentralDirectory();
  std::string b(reinterpret_cast<const char *>(r.Io().MemoryBase()),
                static_cast<size_t>(r.Io().Size()));
  EXPECT_EQ(22u + 512u, b.size());
  EXPECT_EQ(512u, Rd16(b, 20));
  EXPECT_EQ('\x81', b[22]);
}

TEST(ZipHeaders, DirectoryEndingBeyondFFFFF000GetsZip64Records) {
  TempDir dir;
  std::string path = dir.File("sparse.zip");
  TestFormat w;
  ASSERT_EQ(ZIP_OK, w.Io().OpenFile(path.c_str(), ZIPIO_CREATE));
  int i = w.NewEntry();
  w.SetEntryName(i, "a", -1, nullptr);
  ZipEntry *e = w.GetEntry(i);
  e->versionNeeded = 10;
  e->modTime = kMod;
  e->dosDateTime = TimeToDosDateTime(kMod);
  e->inFile = 1;
  w.WriteEntryHeader(e);
  w.Io().Seek(0xFFFFF000ull - 50);  // the rest of the data as a hole
  w.WriteCentralDirectory();
  w.Io().Close();
  std::string tail;
  {
    CZipIo io;
    ASSERT_EQ(ZIP_OK, io.OpenFile(path.c_str(), ZIPIO_READ));
    uint64_t size = io.Size();
    tail.resize(200);
    io.ReadAt(size - 200, &tail[0], 200);
  }
  EXPECT_NE(std::string::npos, tail.find("PK\x06\x06"));
  TestFormat r;
  ASSERT_EQ(ZIP_OK, r.Io().OpenFile(path.c_str(), ZIPIO_READ));
  ASSERT_EQ(ZIP_OK, r.ReadDirectory(1));
  EXPECT_EQ(1, r.GetEntryCount());
  EXPECT_EQ(0xFFFFF000ull - 50, r.GetDataEnd());
  r.Io().Close();
  DeleteFileA(path.c_str());
}

TEST(ZipHeaders, EntriesReadFromAnArchiveKeepTheirNameBytesAndForeignExtras) {
  ArchiveBuilder ab;
  auto e = MakeEntry("\xE4\xB8\xAD.txt", "data");  // a name code page 1252 cannot hold
  e.flags = ZIP_FLAG_UTF8;
  Le16(e.centralExtra, 0x9901);  // AES: version 2, "AE", strength 3, method 8
  Le16(e.centralExtra, 7);
  Le16(e.centralExtra, 2);
  e.centralExtra += "AE\x03";
  Le16(e.centralExtra, 8);
  e.comment = "Gr\xC3\xBC\xC3\x9F" "e";
  ab.Add(e);
  TestFormat r;
  ASSERT_EQ(ZIP_OK, r.Read(ab.Finish()));
  ZipEntry *x = r.GetEntry(0);
  EXPECT_STREQ("_.txt", x->name);
  EXPECT_STREQ("Grüße", x->comment);
  EXPECT_EQ(2 * 4 + 3, x->aesInfo);
  EXPECT_EQ(8, x->aesMethod);
  // Moved beyond 4 GiB: the Zip64 field is added, AES stays.
  x->localHeaderOffset = 0x123456789ull;
  r.Io().OpenMemory(nullptr, 0, 0, 0, ZIPIO_MEM_WRITABLE | ZIPIO_MEM_GROW);
  r.WriteCentralHeader(x);
  std::string b(reinterpret_cast<const char *>(r.Io().MemoryBase()),
                static_cast<size_t>(r.Io().Size()));
  EXPECT_EQ(0x0800u, Rd16(b, 8));
  EXPECT_EQ("\xE4\xB8\xAD.txt", b.substr(46, 7));
  std::string extra = b.substr(46 + 7, Rd16(b, 30));
  EXPECT_EQ(1u, Rd16(extra, 0));
  EXPECT_NE(std::string::npos, extra.find(e.centralExtra));
  EXPECT_EQ("Gr\xC3\xBC\xC3\x9F" "e", b.substr(46 + 7 + extra.size()));
}

TEST(ZipExtras, ParsesZip64OnlyWhereTheHeaderHeldTheMaximum) {
  ZipEntry e = {};
  e.uncompressedSize = 0xFFFFFFFFu;
  e.compressedSize = 100;
  e.localHeaderOffset = 0xFFFFFFFFu;
  std::string x;
  Le16(x, 1);
  Le16(x, 16);
  Le64(x, 5ull << 30);
  Le64(x, 7ull << 30);
  ZipParseExtraFields(&e, reinterpret_cast<const uint8_t *>(x.data()), static_cast<int>(x.size()));
  EXPECT_EQ(5ull << 30, e.uncompressedSize);
  EXPECT_EQ(100u, e.compressedSize);
  EXPECT_EQ(7ull << 30, e.localHeaderOffset);
  // An item that claims more than the block holds ends the walk.
  ZipEntry f = {};
  f.uncompressedSize = 0xFFFFFFFFu;
  std::string cut = x.substr(0, 12);
  ZipParseExtraFields(&f, reinterpret_cast<const uint8_t *>(cut.data()), static_cast<int>(cut.size()));
  EXPECT_EQ(0xFFFFFFFFu, f.uncompressedSize);
}

TEST(ZipExtras, TimesFromNtfsExtendedAndOldUnixFields) {
  ZipEntry e = {};
  std::string ntfs;
  Le16(ntfs, 0x000A);
  Le16(ntfs, 32);
  Le32(ntfs, 0);
  Le16(ntfs, 1);
  Le16(ntfs, 24);
  Le64(ntfs, ZipTimeToFileTime(kMod));
  Le64(ntfs, ZipTimeToFileTime(kAccess));
  Le64(ntfs, ZipTimeToFileTime(kCreate));
  ZipParseExtraFields(&e, reinterpret_cast<const uint8_t *>(ntfs.data()), static_cast<int>(ntfs.size()));
  EXPECT_EQ(kMod, e.modTime);
  EXPECT_EQ(kAccess, e.accessTime);
  EXPECT_EQ(kCreate, e.createTime);
  // Info-ZIP's central form: flags for two times, only the modification time present.
  ZipEntry g = {};
  std::string ut;
  Le16(ut, 0x5455);
  Le16(ut, 5);
  ut += '\x03';
  Le32(ut, kMod);
  ZipParseExtraFields(&g, reinterpret_cast<const uint8_t *>(ut.data()), static_cast<int>(ut.size()));
  EXPECT_EQ(kMod, g.modTime);
  EXPECT_EQ(0, g.accessTime);
  // Creation time alone.
  ZipEntry c = {};
  std::string uc;
  Le16(uc, 0x5455);
  Le16(uc, 5);
  uc += '\x04';
  Le32(uc, kCreate);
  ZipParseExtraFields(&c, reinterpret_cast<const uint8_t *>(uc.data()), static_cast<int>(uc.size()));
  EXPECT_EQ(kCreate, c.createTime);
  EXPECT_EQ(0, c.modTime);
  // Old Unix times count only when no 0x5455 or 0x7855 came first.
  std::string old;
  Le16(old, 0x5855);
  Le16(old, 8);
  Le32(old, kAccess);
  Le32(old, kMod);
  ZipEntry h = {};
  ZipParseExtraFields(&h, reinterpret_cast<const uint8_t *>(old.data()), static_cast<int>(old.size()));
  EXPECT_EQ(kMod, h.modTime);
  EXPECT_EQ(kAccess, h.accessTime);
  std::string owner;
  Le16(owner, 0x7855);
  Le16(owner, 0);
  owner += old;
  ZipEntry k = {};
  ZipParseExtraFields(&k, reinterpret_cast<const uint8_t *>(owner.data()), static_cast<int>(owner.size()));
  EXPECT_EQ(0, k.modTime);
}

TEST(ZipExtras, AesFieldNeedsVendorIdVersionAndStrength) {
  auto aes = [](uint16_t version, const char *id, uint8_t strength, uint16_t method) {
    std::string s;
    Le16(s, 0x9901);
    Le16(s, 7);
    Le16(s, version);
    s += id;
    s += static_cast<char>(strength);
    Le16(s, method);
    ZipEntry e = {};
    ZipParseExtraFields(&e, reinterpret_cast<const uint8_t *>(s.data()), static_cast<int>(s.size()));
    return e.aesInfo * 1000 + e.aesMethod;
  };
  EXPECT_EQ((1 * 4 + 1) * 1000 + 8, aes(1, "AE", 1, 8));
  EXPECT_EQ((2 * 4 + 3) * 1000 + 14, aes(2, "AE", 3, 14));
  EXPECT_EQ(0, aes(3, "AE", 3, 8));
  EXPECT_EQ(0, aes(2, "XY", 3, 8));
  EXPECT_EQ(0, aes(2, "AE", 0, 8));
  EXPECT_EQ(0, aes(2, "AE", 3, 300));
}
