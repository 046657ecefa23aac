// Reading the directory of archives built byte by byte: end record search, Zip64 records,
// data in front, data descriptors, multi-disk refusal, damage in strict and tolerant mode.
#include <gtest/gtest.h>

#include <string>

#include "zipfmt_util.h"

using namespace zipfmt;

namespace {

ArchiveBuilder ThreeEntries(const std::string &junk = "") {
  ArchiveBuilder ab;
  ab.bytes = junk;
  ab.Add(MakeEntry("eins.txt", "erste Datei"));
  ab.Add(MakeEntry("zwei.txt", std::string(5000, 'z')));
  ab.Add(MakeEntry("drei.txt", "3"));
  return ab;
}

void ExpectThree(TestFormat &r, uint64_t shift = 0) {
  ASSERT_EQ(3, r.GetEntryCount());
  EXPECT_STREQ("eins.txt", r.GetEntry(0)->name);
  EXPECT_EQ(11u, r.GetEntry(0)->uncompressedSize);
  EXPECT_EQ(shift, r.GetEntry(0)->localHeaderOffset);
  EXPECT_EQ(5000u, r.GetEntry(1)->compressedSize);
  EXPECT_EQ(Crc("3"), r.GetEntry(2)->crc32);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(1, r.GetEntry(i)->inFile);
    EXPECT_EQ(0, r.GetEntry(i)->damaged);
  }
}

std::string Patch16(std::string s, size_t at, uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
  return s;
}

}  // namespace

TEST(ZipRead, PlainArchiveWithCommentAndEvents) {
  ArchiveBuilder ab = ThreeEntries();
  TestFormat r;
  ASSERT_EQ(ZIP_OK, r.Read(ab.Finish("Gr\x81\xE1" "e")));  // code page 850 comment
  ExpectThree(r);
  EXPECT_STREQ("Grüße", r.GetComment());
  ASSERT_EQ(3u, r.events.size());
  EXPECT_EQ(ZIP_EVENT_FOUND, r.events[2].first);
  EXPECT_EQ(2, r.events[2].second);
  ZipEntry *e = r.GetEntry(0);
  EXPECT_EQ(0, e->madeOnDos);  // made on Unix (0x031E)
  EXPECT_EQ(DosDateTimeToTime(0x52EF6000), e->modTime);
  EXPECT_FALSE(r.GetChangesPending());
}

TEST(ZipRead, EmptyFileIsAnArchiveOnlyInCreateMode) {
  TestFormat r;
  EXPECT_EQ(ZIP_E_FORMAT, r.Read(""));
  EXPECT_EQ(ZIP_OK, r.Read("", 0, 3));
  EXPECT_EQ(0, r.GetEntryCount());
  EXPECT_EQ(0u, r.GetDataEnd());
  EXPECT_TRUE(r.GetChangesPending());
  EXPECT_EQ(ZIP_E_FORMAT, r.Read("this is no archive at all"));
  // Just an end record.
  ArchiveBuilder empty;
  EXPECT_EQ(ZIP_OK, r.Read(empty.Finish()));
  EXPECT_EQ(0, r.GetEntryCount());
}

TEST(ZipRead, FoldersLoseTheirSlashAndGainTheAttribute) {
  ArchiveBuilder ab;
  auto d = MakeEntry("Ordner/", "");
  d.attributes = 0;
  ab.Add(d);
  ab.Add(MakeEntry("Ordner/x.txt", "x"));
  TestFormat r;
  ASSERT_EQ(ZIP_OK, r.Read(ab.Finish()));
  EXPECT_STREQ("Ordner", r.GetEntry(0)->name);
  EXPECT_EQ(0x10u, r.GetEntry(0)->externalAttributes);
  EXPECT_EQ(0, r.FindEntry("ordner"));
}

TEST(ZipRead, EndRecordIsFoundAcrossBlockBoundaries) {
  // The end record starts at 30 + 7 + data + 46 + 7: from 4090 to 4130, across 4096.
  for (size_t pad = 0; pad <= 40; ++pad) {
    ArchiveBuilder ab;
    ab.Add(MakeEntry("pad.bin", std::string(4000 + pad, 'p')));
    for (int comment = 0; comment < 3; ++comment) {
      TestFormat r;
      ASSERT_EQ(ZIP_OK, r.Read(ab.Finish(std::string(comment * 5, 'c')))) << pad << " " << comment;
      EXPECT_EQ(1, r.GetEntryCount());
    }
  }
}

TEST(ZipRead, EndRecordIsFoundBehindLongTrailingData) {
  for (size_t trailing : {4096u - 22u, 65536u + 1u, 200000u}) {
    ArchiveBuilder ab = ThreeEntries();
    std::string bytes = ab.Finish() + std::string(trailing, 'T');
    TestFormat r;
    ASSERT_EQ(ZIP_OK, r.Read(bytes)) << trailing;
    ExpectThree(r);
  }
}

TEST(ZipRead, DataInFrontShiftsTheOffsets) {
  std::string junk(777, '\x5A');
  junk += "PK\x03\x04 not really";  // a false local signature in the junk
  ArchiveBuilder ab = ThreeEntries(junk);
  TestFormat r;
  // Offsets relative to the archive's own start (junk put in front later).
  ASSERT_EQ(ZIP_OK, r.Read(ab.Finish("", false, false, junk.size())));
  ExpectThree(r, junk.size());
  // Offsets relative to the file (a self-extractor that adjusted them).
  ArchiveBuilder ab2 = ThreeEntries(junk);
  ASSERT_EQ(ZIP_OK, r.Read(ab2.Finish()));
  ExpectThree(r, junk.size());
  // Zip64 records, all offsets relative to the archive's start.
  ArchiveBuilder ab3 = ThreeEntries(junk);
  ASSERT_EQ(ZIP_OK, r.Read(ab3.Finish("", true, true, junk.size())));
  ExpectThree(r, junk.size());
}

TEST(ZipRead, Zip64LocatorIsUsedEvenWhenTheEndRecordHoldsRealValues) {
  ArchiveBuilder ab = ThreeEntries();
  TestFormat r;
  std::string bytes = ab.Finish("", true, false);
  // Entry counts in the end record that disagree with the Zip64 record do not matter.
  size_t eocd = bytes.size() - 22;
  bytes = Patch16(Patch16(bytes, eocd + 8, 0xFFFF), eocd + 10, 0xFFFF);
  ASSERT_EQ(ZIP_OK, r.Read(bytes));
  ExpectThree(r);
  // 0xFFFFFFFF as directory offset without a locator is a broken archive.
  ArchiveBuilder ab2 = ThreeEntries();
  EXPECT_EQ(ZIP_E_FORMAT, r.Read(ab2.Finish("", false, true)));
  EXPECT_EQ(0, r.GetEntryCount());
}

TEST(ZipRead, DataDescriptorsOfEveryForm) {
  ArchiveBuilder ab;
  ab.Add(MakeEntry("sig16.txt", "with signature", kDescriptor16));
  ab.Add(MakeEntry("plain12.txt", "without signature", kDescriptor12));
  ab.Add(MakeEntry("zip64.txt", "Zip64 sizes", kDescriptor24));
  ab.Add(MakeEntry("empty.txt", "", kDescriptor16));
  ab.Add(MakeEntry("none.txt", "no descriptor"));
  TestFormat r;
  ASSERT_EQ(ZIP_OK, r.Read(ab.Finish()));
  ASSERT_EQ(5, r.GetEntryCount());
  EXPECT_EQ(16, r.GetEntry(0)->descriptorSize);
  EXPECT_EQ(12, r.GetEntry(1)->descriptorSize);
  EXPECT_EQ(24, r.GetEntry(2)->descriptorSize);
  EXPECT_EQ(16, r.GetEntry(3)->descriptorSize);
  EXPECT_EQ(0, r.GetEntry(4)->descriptorSize);
  EXPECT_EQ(8, r.GetEntry(0)->flags & 8);
}

TEST(ZipRead, MissingDescriptorIsFormatErrorOrDamage) {
  ArchiveBuilder ab;
  auto e = MakeEntry("a.txt", "data", kDescriptor12);
  ab.Add(e);
  ab.Add(MakeEntry("b.txt", "more"));
  std::string bytes = ab.Finish();
  bytes[30 + 5 + 4] ^= 0x55;  // break the descriptor's CRC
  TestFormat r;
  EXPECT_EQ(ZIP_E_FORMAT, r.Read(bytes));
  ASSERT_EQ(ZIP_OK, r.Read(bytes, ZIP_OPT_TOLERATE_DAMAGE));
  EXPECT_EQ(1, r.GetEntry(0)->damaged);
  EXPECT_EQ(0, r.GetEntry(1)->damaged);
}

TEST(ZipRead, MultiDiskArchivesAreRefused) {
  ArchiveBuilder ab = ThreeEntries();
  std::string bytes = ab.Finish();
  size_t eocd = bytes.size() - 22;
  TestFormat r;
  EXPECT_EQ(ZIP_E_MULTIDISK, r.Read(Patch16(bytes, eocd + 4, 2)));
  EXPECT_EQ(ZIP_E_MULTIDISK, r.Read(Patch16(bytes, eocd + 6, 1)));
  EXPECT_EQ(ZIP_E_MULTIDISK, r.Read(Patch16(bytes, eocd + 8, 2)));
  EXPECT_EQ(ZIP_OK, r.Read(Patch16(bytes, eocd + 4, 1)));  // disk 1 of a single-disk set
}

TEST(ZipRead, BadLocalHeadersAreFatalOrFlagged) {
  ArchiveBuilder ab;
  auto renamed = MakeEntry("central.txt", "x");
  renamed.localName = "another.txt";
  ab.Add(renamed);
  auto caseOnly = MakeEntry("Case.TXT", "y");
  caseOnly.localName = "case.txt";
  ab.Add(caseOnly);
  ab.Add(MakeEntry("good.txt", "z"));
  std::string bytes = ab.Finish();
  TestFormat r;
  EXPECT_EQ(ZIP_E_FORMAT, r.Read(bytes));
  ASSERT_EQ(ZIP_OK, r.Read(bytes, ZIP_OPT_TOLERATE_DAMAGE));
  EXPECT_EQ(1, r.GetEntry(0)->damaged);
  EXPECT_EQ(0, r.GetEntry(1)->damaged);
  EXPECT_EQ(0, r.GetEntry(2)->damaged);
  // A local header that is not there at all.
  std::string broken = bytes;
  size_t third = ab.entries[2].offset;
  broken[third] = 'X';
  ASSERT_EQ(ZIP_OK, r.Read(broken, ZIP_OPT_TOLERATE_DAMAGE));
  EXPECT_EQ(1, r.GetEntry(2)->damaged);
  EXPECT_EQ(0, r.GetEntry(2)->localExtraLength);
  EXPECT_EQ(1, r.GetEntry(2)->inFile);
}

TEST(ZipRead, EmptyCentralNamesAndOverlongFields) {
  ArchiveBuilder ab;
  ab.Add(MakeEntry("", "nameless"));
  ab.Add(MakeEntry("ok.txt", "fine"));
  std::string bytes = ab.Finish();
  TestFormat r;
  EXPECT_EQ(ZIP_E_FORMAT, r.Read(bytes));
  ASSERT_EQ(ZIP_OK, r.Read(bytes, ZIP_OPT_TOLERATE_DAMAGE));
  ASSERT_EQ(2, r.GetEntryCount());
  EXPECT_STREQ("", r.GetEntry(0)->name);
  // A comment length running past the directory's end.
  ArchiveBuilder ab2 = ThreeEntries();
  std::string b2 = ab2.Finish();
  size_t dir = b2.size() - 22 - ab2.Central().size();
  size_t second = dir + 46 + 8;  // behind the first central header
  b2 = Patch16(b2, second + 32, 0x4000);
  EXPECT_EQ(ZIP_E_FORMAT, r.Read(b2));
  // Tolerant: the directory lost a header, so every entry comes from the local headers.
  ASSERT_EQ(ZIP_OK, r.Read(b2, ZIP_OPT_TOLERATE_DAMAGE));
  ExpectThree(r);
}

TEST(ZipRead, TolerantReadSkipsGarbageInsideTheDirectory) {
  ArchiveBuilder ab = ThreeEntries();
  std::string data = ab.bytes;
  std::string central = ab.Central();
  size_t firstHeader = 46 + 8;
  std::string garbage(300, 'G');
  std::string dir = central.substr(0, firstHeader) + garbage + central.substr(firstHeader);
  std::string bytes = data + dir;
  Le32(bytes, 0x06054B50);
  Le32(bytes, 0);
  Le16(bytes, 3);
  Le16(bytes, 3);
  Le32(bytes, static_cast<uint32_t>(dir.size()));
  Le32(bytes, static_cast<uint32_t>(data.size()));
  Le16(bytes, 0);
  TestFormat r;
  EXPECT_EQ(ZIP_E_FORMAT, r.Read(bytes));  // strict: the headers end at the garbage
  ASSERT_EQ(ZIP_OK, r.Read(bytes, ZIP_OPT_TOLERATE_DAMAGE));
  ExpectThree(r);
}

TEST(ZipRead, TruncatedArchiveIsRecoveredFromItsLocalHeadersWhenTolerant) {
  ArchiveBuilder ab;
  ab.bytes = "SFX stub ";
  ab.Add(MakeEntry("eins.txt", "erste Datei"));
  ab.Add(MakeEntry("zwei.txt", "zweite Datei mit Deskriptor", kDescriptor16));
  ab.Add(MakeEntry("Ordner/", ""));
  ab.Add(MakeEntry("drei.txt", std::string(3000, '3')));
  std::string full = ab.Finish();
  std::string cut = full.substr(0, ab.entries[3].offset + 30 + 8 + 1000);
  TestFormat r;
  EXPECT_EQ(ZIP_E_FORMAT, r.Read(cut));
  ASSERT_EQ(ZIP_OK, r.Read(cut, ZIP_OPT_TOLERATE_DAMAGE));
  ASSERT_EQ(4, r.GetEntryCount());
  EXPECT_STREQ("eins.txt", r.GetEntry(0)->name);
  EXPECT_EQ(9u, r.GetEntry(0)->localHeaderOffset);
  EXPECT_STREQ("zwei.txt", r.GetEntry(1)->name);
  EXPECT_EQ(27u, r.GetEntry(1)->compressedSize);
  EXPECT_EQ(Crc("zweite Datei mit Deskriptor"), r.GetEntry(1)->crc32);
  EXPECT_EQ(16, r.GetEntry(1)->descriptorSize);
  EXPECT_STREQ("Ordner", r.GetEntry(2)->name);
  EXPECT_EQ(0x10u, r.GetEntry(2)->externalAttributes & 0x10);
  EXPECT_EQ(1, r.GetEntry(3)->damaged);  // cut off inside its data
  EXPECT_EQ(ab.entries[3].offset, r.GetDataEnd());
  EXPECT_TRUE(r.GetChangesPending());
  // Cut inside the directory: the end record is gone too.
  std::string cut2 = full.substr(0, full.size() - 40);
  ASSERT_EQ(ZIP_OK, r.Read(cut2, ZIP_OPT_TOLERATE_DAMAGE));
  EXPECT_EQ(4, r.GetEntryCount());
  EXPECT_EQ(0, r.GetEntry(3)->damaged);
  // A header with the uncompressed size but no compressed one (as some streaming writers do)
  // ends at its descriptor; an entry flagged for a descriptor that is missing is left out
  // (written back it would not open), and the entries behind it are read on.
  ArchiveBuilder ab2;
  ab2.Add(MakeEntry("strom.txt", "Daten aus einem Strom", kDescriptor16));
  ArchiveBuilder::Entry missing = MakeEntry("ohne.txt", "ohne Deskriptor");
  missing.flags = 8;
  ab2.Add(missing);
  ab2.Add(MakeEntry("danach.txt", "danach"));
  std::string noDir = ab2.Finish();
  noDir[ab2.entries[0].offset + 22] = 21;
  noDir.resize(noDir.find("PK\x01\x02"));
  ASSERT_EQ(ZIP_OK, r.Read(noDir, ZIP_OPT_TOLERATE_DAMAGE));
  ASSERT_EQ(3, r.GetEntryCount());
  EXPECT_EQ(21u, r.GetEntry(0)->compressedSize);
  EXPECT_EQ(16, r.GetEntry(0)->descriptorSize);
  EXPECT_EQ(0, r.GetEntry(0)->damaged);
  EXPECT_EQ(1, r.GetEntry(1)->damaged);
  EXPECT_EQ(0, r.GetEntry(2)->damaged);
  EXPECT_EQ(noDir.size(), r.GetDataEnd());
}

TEST(ZipRead, CancelFromTheFoundEventEndsTheRead) {
  ArchiveBuilder ab = ThreeEntries();
  TestFormat r;
  r.cancelEvent = ZIP_EVENT_FOUND;
  EXPECT_EQ(ZIP_E_CANCEL, r.Read(ab.Finish("comment")));
  EXPECT_EQ(0, r.GetEntryCount());
  EXPECT_EQ(nullptr, r.GetComment());
}

TEST(ZipRead, SortAfterEachChangeSortsTheReadTable) {
  ArchiveBuilder ab = ThreeEntries();
  TestFormat r;
  ASSERT_EQ(ZIP_OK, r.Read(ab.Finish(), ZIP_OPT_SORT_ALWAYS | 0x100));
  EXPECT_STREQ("drei.txt", r.GetEntry(0)->name);
  EXPECT_STREQ("zwei.txt", r.GetEntry(2)->name);
  EXPECT_EQ(ZIP_SORT_SIZE, r.GetSortOrder());
}

TEST(ZipRead, DirectoryCutShortIsAFormatError) {
  // The last header's name runs into the end record: it does not match its local header.
  ArchiveBuilder ab = ThreeEntries();
  std::string bytes = ab.Finish();
  TestFormat r;
  std::string cutDir = bytes.substr(0, bytes.size() - 22 - 10) + bytes.substr(bytes.size() - 22);
  EXPECT_EQ(ZIP_E_FORMAT, r.Read(cutDir));
  ASSERT_EQ(ZIP_OK, r.Read(cutDir, ZIP_OPT_TOLERATE_DAMAGE));
  ASSERT_EQ(3, r.GetEntryCount());
  EXPECT_EQ(0, r.GetEntry(1)->damaged);
  EXPECT_EQ(1, r.GetEntry(2)->damaged);
}

TEST(ZipRead, FakeEndRecordInTheCommentIsPassedOver) {
  // The comment carries a complete end record of its own whose comment length does not reach
  // to the end of the file; the real record behind the directory holds.
  std::string fake;
  Le32(fake, 0x06054B50);
  Le32(fake, 0);
  Le16(fake, 1);
  Le16(fake, 1);
  Le32(fake, 46);
  Le32(fake, 12345);
  Le16(fake, 0);
  for (const std::string &comment : {fake, "vorne " + fake + " hinten"}) {
    ArchiveBuilder ab = ThreeEntries();
    TestFormat r;
    ASSERT_EQ(ZIP_OK, r.Read(ab.Finish(comment)));
    ExpectThree(r);
  }
}

TEST(ZipRead, DamagedCentralHeaderIsReportedOrRecovered) {
  ArchiveBuilder ab;
  const char *names[] = {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"};
  for (const char *n : names) ab.Add(MakeEntry(n, std::string("Inhalt von ") + n));
  std::string bytes = ab.Finish();
  // Spoil the signature of the third central header.
  size_t third = bytes.find("PK\x01\x02");
  third = bytes.find("PK\x01\x02", third + 4);
  third = bytes.find("PK\x01\x02", third + 4);
  ASSERT_NE(std::string::npos, third);
  bytes[third + 2] = 7;
  TestFormat r;
  EXPECT_EQ(ZIP_E_FORMAT, r.Read(bytes));
  ASSERT_EQ(ZIP_OK, r.Read(bytes, ZIP_OPT_TOLERATE_DAMAGE));
  ASSERT_EQ(5, r.GetEntryCount());
  for (int i = 0; i < 5; ++i) EXPECT_STREQ(names[i], r.GetEntry(i)->name);
}
