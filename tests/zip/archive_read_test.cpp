// Reading archives with CZipFile: extracting to disk (paths kept inside the target folder,
// times and attributes), traditional and AES decryption with wrong and missing passwords,
// damaged and truncated archives, entries with data descriptors, and resource archives.
#include <gtest/gtest.h>

#include <cstring>

#include "system/Paths.h"
#include "tests/zip/archive_util.h"

using namespace archivetest;

namespace {

std::string Deflate(const std::string &data) {
  z_stream z = {};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), 0);
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef *>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// A traditional entry: 12 header bytes (last two from check), then the data, all encrypted.
RawEntry ZipCryptEntry(const std::string &name, const std::string &plain, const char *password,
                       bool deflated, bool descriptor) {
  RawEntry e;
  e.name = name;
  e.size = plain.size();
  e.crc = Crc(plain);
  e.method = deflated ? 8 : 0;
  e.flags = static_cast<uint16_t>(1 | (descriptor ? 8 : 0));
  uint16_t check = descriptor ? static_cast<uint16_t>(e.dosTime & 0xFFFF) : static_cast<uint16_t>(e.crc >> 16);
  std::string data = "\x11\x22\x33\x44\x55\x66\x77\x88\x99\xAA";
  data += static_cast<char>(check & 0xFF);
  data += static_cast<char>(check >> 8);
  data += deflated ? Deflate(plain) : plain;
  ZipCryptKeys keys;
  ZipCryptInitKeys(&keys, password);
  ZipCryptEncode(&keys, &data[0], static_cast<int32_t>(data.size()));
  e.data = data;
  if (descriptor) {
    Le32(e.trailer, 0x08074B50);
    Le32(e.trailer, e.crc);
    Le32(e.trailer, static_cast<uint32_t>(e.data.size()));
    Le32(e.trailer, static_cast<uint32_t>(e.size));
  }
  return e;
}

// A WinZip AES entry (AE-1 with the CRC, AE-2 without) over stored or deflated data;
// padding adds bytes behind a deflate stream that the codec never reads.
RawEntry AesEntry(const std::string &name, const std::string &plain, const char *password, int strength,
                  int version, bool deflated, size_t padding = 0) {
  RawEntry e;
  e.name = name;
  e.size = plain.size();
  e.crc = version == 1 ? Crc(plain) : 0;
  e.method = 99;
  e.flags = 1;
  Le16(e.centralExtra, 0x9901);
  Le16(e.centralExtra, 7);
  Le16(e.centralExtra, static_cast<uint32_t>(version));
  e.centralExtra += "AE";
  e.centralExtra += static_cast<char>(strength);
  Le16(e.centralExtra, deflated ? 8 : 0);
  e.localExtra = e.centralExtra;
  std::string salt(ZipAesSaltSize(strength), 0);
  for (size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<char>(0x30 + i * 7);
  ZipAesContext ctx;
  uint8_t verifier[2];
  ZipAesInit(&ctx, strength, password, static_cast<int>(strlen(password)),
             reinterpret_cast<const uint8_t *>(salt.data()), verifier);
  std::string body = deflated ? Deflate(plain) : plain;
  body += std::string(padding, '\x5A');
  if (!body.empty()) ZipAesEncrypt(reinterpret_cast<uint8_t *>(&body[0]), static_cast<uint32_t>(body.size()), &ctx);
  uint8_t mac[10];
  ZipAesMacEnd(&ctx, mac);
  e.data = salt + std::string(reinterpret_cast<char *>(verifier), 2) + body + std::string(reinterpret_cast<char *>(mac), 10);
  return e;
}

class ArchiveRead : public ::testing::Test {
 protected:
  // Writes raw archive bytes and opens them for reading.
  int OpenRaw(CZipFile &zip, const std::string &bytes, const char *name = "raw.zip") {
    zip.Abort();
    path = dir / name;
    if (!WriteFileText(path, bytes)) return -99;
    return zip.Open(path.c_str(), 1, 9);
  }
  TempDir dir;
  std::string path;
};

TEST_F(ArchiveRead, ExtractToFileKeepsPathsTimesAndAttributes) {
  std::string zipPath = dir / "a.zip";
  {
    CZipFile zip;
    ASSERT_EQ(0, zip.Open(zipPath.c_str(), 3, 9));
    ArchiveFileInfo info = {FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, 0, 1610714097, 1500000000, 1610714097};
    std::string t = TextData(20000);
    ASSERT_EQ(0, zip.AddMemory("ordner/unter/nur lesen.txt", t.data(), static_cast<uint32_t>(t.size()), &info));
    info.attributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN;
    info.writeTime = 1626352497;  // odd second: the extra field keeps it
    ASSERT_EQ(0, zip.AddMemory("M\xFCller.txt", "gr\xFC\xDF", 4, &info));
    ASSERT_EQ(0, zip.AddDirectory("leer"));
    ASSERT_EQ(0, zip.Close());
  }
  std::string out = dir / "aus";
  CreateDirectoryA(out.c_str(), nullptr);
  ASSERT_TRUE(WriteFileText(out + "\\M\xFCller.txt", "alter Inhalt, der ersetzt wird"));
  CZipFile zip;
  Recorder rec;
  zip.SetCallback(reinterpret_cast<uintptr_t>(&rec), Recorder::Callback);
  ASSERT_EQ(0, zip.Open(zipPath.c_str(), 1, 9));
  for (int i = 0; i < zip.GetEntryCount(); ++i) EXPECT_EQ(0, zip.ExtractToFile(i, out.c_str())) << i;
  EXPECT_EQ(3, rec.Count(15));
  EXPECT_EQ(3, rec.Count(8));
  EXPECT_EQ(2, rec.Count(11));
  EXPECT_EQ("\nDatei: M\xFCller.txt lesen.", rec.Texts(8)[1]);
  EXPECT_EQ("\nDatei: M\xFCller.txt wurde entkomprimiert.", rec.Texts(11)[1]);
  std::string ro = out + "\\ordner\\unter\\nur lesen.txt";
  EXPECT_EQ(TextData(20000), ReadFileText(ro));
  EXPECT_EQ("gr\xFC\xDF", ReadFileText(out + "\\M\xFCller.txt"));
  EXPECT_TRUE(GetFileAttributesA((out + "\\leer").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(ro.c_str(), GetFileExInfoStandard, &data));
  EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
  ULARGE_INTEGER w;
  w.LowPart = data.ftLastWriteTime.dwLowDateTime;
  w.HighPart = data.ftLastWriteTime.dwHighDateTime;
  EXPECT_EQ(1610714097ull, (w.QuadPart - 116444736000000000ull) / 10000000ull);
  ASSERT_TRUE(GetFileAttributesExA((out + "\\M\xFCller.txt").c_str(), GetFileExInfoStandard, &data));
  w.LowPart = data.ftLastWriteTime.dwLowDateTime;
  w.HighPart = data.ftLastWriteTime.dwHighDateTime;
  EXPECT_EQ(1626352497ull, (w.QuadPart - 116444736000000000ull) / 10000000ull);
  // No temporary file is left beside the extracted files.
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((out + "\\AF_*").c_str(), &fd);
  EXPECT_EQ(INVALID_HANDLE_VALUE, h);
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
  // Event 15 skips, event 8 cancels.
  rec.cancelEvent = 15;
  EXPECT_EQ(28, zip.ExtractToFile(0, out.c_str()));
  EXPECT_EQ("\nBei Datei : " + zipPath + "\nDie Datei wurde \xFC" "bersprungen: ordner/unter/nur lesen.txt",
            std::string(zip.GetErrorText()));
  rec.cancelEvent = 8;
  EXPECT_EQ(23, zip.ExtractToFile(0, out.c_str()));
}

TEST_F(ArchiveRead, ExtractRefusesNamesOutsideTheFolder) {
  std::vector<RawEntry> entries;
  for (const char *name : {"../boese.txt", "a/../../boese2.txt", "/wurzel.txt", "\\wurzel2.txt",
                           "C:boese3.txt", "ok/..\\..\\boese4.txt", "gut/da.txt"}) {
    RawEntry e;
    e.name = name;
    e.data = "inhalt";
    e.size = 6;
    e.crc = Crc(e.data);
    entries.push_back(e);
  }
  CZipFile zip;
  ASSERT_EQ(0, OpenRaw(zip, BuildArchive(entries)));
  std::string target = dir / "ziel\\tief";
  PathCreateDirectoriesA(target.c_str());
  for (int i = 0; i < zip.GetEntryCount(); ++i) {
    bool good = std::string(zip.GetEntryName(i)) == "gut/da.txt";
    EXPECT_EQ(good ? 0 : 20, zip.ExtractToFile(i, target.c_str())) << zip.GetEntryName(i);
  }
  EXPECT_EQ("inhalt", ReadFileText(target + "\\gut\\da.txt"));
  for (const char *f : {"ziel\\boese.txt", "boese2.txt", "ziel\\boese4.txt", "boese4.txt"})
    EXPECT_FALSE(Exists(dir / f)) << f;
  zip.ExtractToFile(0, target.c_str());
  EXPECT_EQ("\nBei Datei : " + path + "\nFalsche Pfadname-Angabe !", std::string(zip.GetErrorText()));
}

TEST_F(ArchiveRead, TraditionalEncryption) {
  std::string plain = TextData(30000, 3);
  std::vector<RawEntry> entries = {ZipCryptEntry("stored.txt", plain, "Passwort", false, false),
                                   ZipCryptEntry("deflated.txt", plain, "Passwort", true, false),
                                   ZipCryptEntry("descriptor.txt", plain, "Passwort", true, true)};
  CZipFile zip;
  ASSERT_EQ(0, OpenRaw(zip, BuildArchive(entries)));
  ASSERT_EQ(3, zip.GetEntryCount());
  int rc;
  for (int i = 0; i < 3; ++i) {
    Extract(zip, i, &rc);
    EXPECT_EQ(32, rc) << i;  // no password
  }
  EXPECT_EQ("\nBei Datei : " + path + "\nFalsches Passwort : descriptor.txt", std::string(zip.GetErrorText()));
  zip.SetPassword("Falsch");
  for (int i = 0; i < 3; ++i) {
    Extract(zip, i, &rc);
    EXPECT_EQ(32, rc) << i;
    EXPECT_EQ(32, zip.TestEntry(i)) << i;
    EXPECT_EQ(0, zip.GetDamaged(i)) << i;  // a wrong password is no damage
  }
  zip.SetPassword("Passwort");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(plain, Extract(zip, i)) << i;
    EXPECT_EQ(0, zip.TestEntry(i)) << i;
  }
}

TEST_F(ArchiveRead, AesEncryption) {
  std::string plain = TextData(40000, 8);
  std::vector<RawEntry> entries;
  for (int strength = 1; strength <= 3; ++strength)
    for (int version = 1; version <= 2; ++version)
      for (bool deflated : {false, true})
        entries.push_back(AesEntry("s" + std::to_string(strength) + "v" + std::to_string(version) +
                                       (deflated ? "d" : "s"),
                                   plain, "geheim", strength, version, deflated));
  entries.push_back(AesEntry("leer", "", "geheim", 3, 2, false));
  CZipFile zip;
  ASSERT_EQ(0, OpenRaw(zip, BuildArchive(entries)));
  int n = zip.GetEntryCount();
  ASSERT_EQ(13, n);
  int rc;
  Extract(zip, 0, &rc);
  EXPECT_EQ(32, rc);
  zip.SetPassword("Geheim");
  for (int i = 0; i < n; ++i) EXPECT_EQ(32, zip.TestEntry(i)) << i;
  zip.SetPassword("geheim");
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(i < 12 ? plain : std::string(), Extract(zip, i)) << zip.GetEntryName(i);
    EXPECT_EQ(0, zip.TestEntry(i)) << zip.GetEntryName(i);
  }
  // A password of 129 bytes is refused as a bad entry.
  zip.SetPassword(std::string(129, 'p').c_str());
  EXPECT_EQ(3, zip.TestEntry(0));
}

TEST_F(ArchiveRead, AesCodeIsCheckedForEveryEntry) {
  std::string plain = TextData(40000, 9);
  std::vector<RawEntry> entries = {
      AesEntry("stored", plain, "pw", 3, 2, false), AesEntry("deflated", plain, "pw", 3, 2, true),
      // The deflate stream ends long before the code; padding the codec never reads follows.
      AesEntry("padded", plain, "pw", 1, 2, true, 40000), AesEntry("ok", plain, "pw", 2, 2, true, 40000)};
  for (int i = 0; i < 3; ++i) entries[i].data[entries[i].data.size() - 4] ^= 0x10;  // altered code
  CZipFile zip;
  ASSERT_EQ(0, OpenRaw(zip, BuildArchive(entries)));
  zip.SetPassword("pw");
  for (int i = 0; i < 3; ++i) {
    int rc;
    Extract(zip, i, &rc);
    EXPECT_EQ(11, rc) << zip.GetEntryName(i);
    EXPECT_EQ(27, zip.TestEntry(i)) << zip.GetEntryName(i);
    EXPECT_EQ(1, zip.GetDamaged(i)) << zip.GetEntryName(i);
  }
  EXPECT_EQ("\nBei Datei : " + path + "\nFehler beim Lesen der Datei: padded", std::string(zip.GetErrorText()));
  EXPECT_EQ(plain, Extract(zip, 3));
  EXPECT_EQ(0, zip.TestEntry(3));
  // Altered data: the code and (for AE-1) the CRC fail.
  entries = {AesEntry("v1", plain, "pw", 3, 1, false)};
  entries[0].data[1000] ^= 1;
  ASSERT_EQ(0, OpenRaw(zip, BuildArchive(entries), "b.zip"));
  zip.SetPassword("pw");
  EXPECT_NE(0, zip.TestEntry(0));
  // A stored size too small for salt, verifier and code is a bad entry, also one shorter than
  // the salt; so is a key strength other than 1 to 3 (9 would read as version 4, strength 1).
  for (size_t size : {27, 9, 0}) {
    entries = {AesEntry("kurz", "", "pw", 3, 2, false)};
    entries[0].data.resize(size);
    ASSERT_EQ(0, OpenRaw(zip, BuildArchive(entries), "c.zip"));
    zip.SetPassword("pw");
    EXPECT_EQ(3, zip.TestEntry(0)) << size;
  }
  entries = {AesEntry("stark", plain, "pw", 1, 2, false)};
  entries[0].centralExtra[8] = entries[0].localExtra[8] = 9;
  ASSERT_EQ(0, OpenRaw(zip, BuildArchive(entries), "d.zip"));
  zip.SetPassword("pw");
  EXPECT_EQ(3, zip.TestEntry(0));
  int rc;
  Extract(zip, 0, &rc);
  EXPECT_EQ(3, rc);
}

TEST_F(ArchiveRead, DamagedAndTruncatedArchives) {
  std::string good = dir / "gut.zip";
  {
    CZipFile zip;
    ASSERT_EQ(0, zip.Open(good.c_str(), 3, 9));
    std::string t = TextData(60000);
    ASSERT_EQ(0, zip.AddMemory("text.txt", t.data(), static_cast<uint32_t>(t.size()), nullptr));
    ArchiveFileInfo store = {ARCHIVE_ATTR_STORE, 5000, 0, 0, 0};
    ASSERT_EQ(0, zip.AddMemory("roh.txt", t.data(), 5000, &store));
    ASSERT_EQ(0, zip.Close());
  }
  std::string bytes = ReadFileText(good);
  CZipFile zip;
  // Cut anywhere in the directory or end record: no archive.
  for (size_t cut : {bytes.size() - 5, bytes.size() - 40, bytes.size() - 150}) {
    EXPECT_EQ(3, OpenRaw(zip, bytes.substr(0, cut))) << cut;
    EXPECT_EQ("\nBei Datei : " + path + "\nhat ein ung\xFCltiges Format ", std::string(zip.GetErrorText()));
  }
  EXPECT_EQ(3, OpenRaw(zip, "Das ist kein Archiv, nur Text."));
  EXPECT_EQ(3, OpenRaw(zip, ""));
  // A flipped byte in the deflated data and in the stored data.
  std::string broken = bytes;
  broken[300] ^= 0x55;
  size_t stored = bytes.find("roh.txt") + 7 + 100;
  broken[stored] ^= 0x01;
  ASSERT_EQ(0, OpenRaw(zip, broken));
  int t0 = zip.TestEntry(0);
  EXPECT_TRUE(t0 == 21 || t0 == 22) << t0;
  EXPECT_EQ(1, zip.GetDamaged(0));
  EXPECT_EQ(21, zip.TestEntry(1));
  EXPECT_EQ("\nBei Datei : " + path + "\nCRC32 Fehler bei Datei :roh.txt", std::string(zip.GetErrorText()));
  int rc;
  Extract(zip, 1, &rc);
  EXPECT_EQ(22, rc);
  EXPECT_EQ("\nBei Datei : " + path + "\nFehler beim Entkomprimieren von :roh.txt", std::string(zip.GetErrorText()));
  // An unknown method and an imploded entry are not supported.
  std::vector<RawEntry> odd(2);
  odd[0].name = "implode";
  odd[0].method = 6;
  odd[0].data = "xxxx";
  odd[0].size = 9;
  odd[1].name = "fremd";
  odd[1].method = 77;
  odd[1].data = "yy";
  odd[1].size = 2;
  ASSERT_EQ(0, OpenRaw(zip, BuildArchive(odd)));
  EXPECT_EQ(29, zip.TestEntry(0));
  EXPECT_EQ(29, zip.TestEntry(1));
  EXPECT_EQ(0, zip.GetDamaged(1));
  // Data that decodes to far more than its declared size stops there with an error:
  // 8 MiB of zeros declared as 100 bytes, and stored data longer than declared.
  std::vector<RawEntry> over(2);
  over[0].name = "bombe";
  over[0].data = Deflate(std::string(8 << 20, '\0'));
  over[0].method = 8;
  over[0].size = 100;
  over[0].crc = Crc(std::string(100, '\0'));
  over[1].name = "roh";
  over[1].data = TextData(3000);
  over[1].size = 10;
  over[1].crc = Crc(TextData(10));
  ASSERT_EQ(0, OpenRaw(zip, BuildArchive(over)));
  for (int i = 0; i < 2; ++i) {
    StringSink sink;
    EXPECT_EQ(22, zip.ExtractEntry(i, StringSink::Write, &sink, nullptr)) << i;
    EXPECT_EQ(zip.GetEntrySize(i, 0), sink.data.size()) << i;
    EXPECT_EQ(21, zip.TestEntry(i)) << i;
  }
  std::string out = dir / "aus";
  CreateDirectoryA(out.c_str(), nullptr);
  EXPECT_EQ(22, zip.ExtractToFile(0, out.c_str()));
  EXPECT_FALSE(Exists(out + "\\bombe"));
  // A local compressed size other than the directory's (the entry's end unknown) is refused,
  // so an update cannot cut the entry; tolerated, the entry is left out when written again.
  std::vector<RawEntry> sizes(2);
  sizes[0].name = "eins";
  sizes[0].data = TextData(200);
  sizes[0].size = 200;
  sizes[0].flags = 8;
  Le32(sizes[0].trailer, 0x08074B50);
  Le32(sizes[0].trailer, Crc(sizes[0].data));
  Le32(sizes[0].trailer, 200);
  Le32(sizes[0].trailer, 200);
  sizes[1].name = "zwei";
  sizes[1].data = "zwei";
  sizes[1].size = 4;
  sizes[1].crc = Crc(sizes[1].data);
  std::string mismatch = BuildArchive(sizes);
  mismatch[mismatch.find("PK\x01\x02") + 20] = static_cast<char>(184);
  EXPECT_EQ(3, OpenRaw(zip, mismatch));
  EXPECT_EQ(3, zip.Open(path.c_str(), 2, 9));
  EXPECT_EQ(mismatch, ReadFileText(path));
  ASSERT_EQ(0, zip.Open(path.c_str(), 2 | ZIP_OPT_TOLERATE_DAMAGE, 9));
  EXPECT_EQ(1, zip.GetDamaged(zip.FindEntry("eins")));
  ASSERT_EQ(0, zip.AddMemory("drei", "drei", 4, nullptr));
  EXPECT_EQ(0, zip.Close());
  ASSERT_EQ(0, zip.Open(path.c_str(), 1, 9));
  EXPECT_EQ(2, zip.GetEntryCount());
  EXPECT_EQ("zwei", Extract(zip, zip.FindEntry("zwei")));
  EXPECT_EQ("drei", Extract(zip, zip.FindEntry("drei")));
}

// Every length of a small archive, and single flipped bytes in its headers and (at fixed
// places) its data: each open, extract and update ends with a code or the right data, never
// more than an entry's declared size, and a failed update leaves the file as it was.
TEST_F(ArchiveRead, EveryCutAndFlippedByte) {
  std::string good = dir / "klein.zip";
  std::vector<std::pair<std::string, std::string>> contents = {
      {"text.txt", TextData(1500)}, {"bzip2.txt", TextData(900, 4)}, {"roh.bin", NoiseData(200)}};
  {
    CZipFile zip;
    ASSERT_EQ(0, zip.Open(good.c_str(), 3, 9));
    ASSERT_EQ(0, zip.AddMemory("text.txt", contents[0].second.data(), 1500, nullptr));
    zip.SetMethod(12);
    ASSERT_EQ(0, zip.AddMemory("bzip2.txt", contents[1].second.data(), 900, nullptr));
    zip.SetMethod(0);
    ASSERT_EQ(0, zip.AddMemory("roh.bin", contents[2].second.data(), 200, nullptr));
    ASSERT_EQ(0, zip.AddDirectory("ordner"));
    ASSERT_EQ(0, zip.Close());
  }
  const std::string bytes = ReadFileText(good);
  ASSERT_LT(bytes.size(), 3000u);
  // Header bytes: the local headers with names and extras, the directory and the end record.
  std::vector<size_t> offsets;
  size_t end = bytes.rfind("PK\x05\x06");
  ASSERT_NE(std::string::npos, end);
  size_t dirStart = testcommon::Rd32(bytes, end + 16);
  for (size_t at = dirStart; at < bytes.size(); ++at) offsets.push_back(at);
  for (size_t at = dirStart; at + 46 <= end; at += 46 + testcommon::Rd16(bytes, at + 28) +
                                                testcommon::Rd16(bytes, at + 30) + testcommon::Rd16(bytes, at + 32)) {
    size_t local = testcommon::Rd32(bytes, at + 42);
    size_t header = 30 + testcommon::Rd16(bytes, local + 26) + testcommon::Rd16(bytes, local + 28);
    for (size_t i = 0; i < header; ++i) offsets.push_back(local + i);
  }
  uint32_t seed = 0x2468ACE;
  for (int i = 0; i < 48; ++i) {
    seed = seed * 1103515245u + 12345u;
    offsets.push_back((seed >> 8) % dirStart);
  }
  auto check = [&](const std::string &variant, const std::string &what, bool update) {
    CZipFile zip;
    int rc = OpenRaw(zip, variant);
    EXPECT_TRUE(rc == 0 || rc == 3 || rc == 11 || rc == 19) << what << " open " << rc;
    for (int i = 0; rc == 0 && i < zip.GetEntryCount(); ++i) {
      StringSink sink;
      int x = zip.ExtractEntry(i, StringSink::Write, &sink, nullptr);
      EXPECT_LE(sink.data.size(), zip.GetEntrySize(i, 0)) << what << " entry " << i;
      if (x) {
        EXPECT_NE(std::string(), zip.GetErrorText()) << what;
        continue;
      }
      for (const auto &c : contents) {
        if (c.first == zip.GetEntryName(i)) {
          EXPECT_EQ(c.second, sink.data) << what;
        }
      }
    }
    zip.Abort();
    if (!update) return;
    rc = zip.Open(path.c_str(), 2, 9);
    if (rc == 0) {
      zip.AddMemory("neu.txt", "neu", 3, nullptr);
      rc = zip.Close();
    }
    if (rc) {
      EXPECT_EQ(variant, ReadFileText(path)) << what << " update " << rc;
      return;
    }
    ASSERT_EQ(0, zip.Open(path.c_str(), 1, 9)) << what;
    EXPECT_EQ("neu", Extract(zip, zip.FindEntry("neu.txt"))) << what;
  };
  for (size_t n = 0; n <= bytes.size(); ++n) check(bytes.substr(0, n), "cut " + std::to_string(n), false);
  for (size_t at : offsets) {
    std::string variant = bytes;
    variant[at] ^= (at & 1) ? 0x01 : 0x80;
    check(variant, "flip " + std::to_string(at), true);
  }
}

TEST_F(ArchiveRead, OverlappingEntriesStopTheCommitAndKeepTheArchive) {
  // Entry "a" holds entry "b" (header and data) inside its own data.
  RawEntry b;
  b.name = "b";
  b.data = "innen";
  b.size = 5;
  b.crc = Crc(b.data);
  std::string inner = BuildArchive({b});
  inner.resize(inner.find("PK\x01\x02"));
  RawEntry a;
  a.name = "a";
  a.data = inner;
  a.size = inner.size();
  a.crc = Crc(inner);
  RawEntry c;
  c.name = "c";
  c.data = "drei";
  c.size = 4;
  c.crc = Crc(c.data);
  std::string bytes = BuildArchive({a, c});
  // A second central header for b at offset 31 (inside a's data).
  std::string central;
  Le32(central, 0x02014B50);
  Le16(central, 0x0B17);
  Le16(central, 20);
  Le16(central, 0);
  Le16(central, 0);
  Le32(central, b.dosTime);
  Le32(central, b.crc);
  Le32(central, 5);
  Le32(central, 5);
  Le16(central, 1);
  for (int i = 0; i < 4; ++i) Le16(central, 0);
  Le32(central, 0x20);
  Le32(central, 31);
  central += "b";
  size_t end = bytes.find("PK\x05\x06");
  bytes.insert(end, central);
  std::string rec = bytes.substr(bytes.find("PK\x05\x06"));
  rec[8] = rec[10] = 3;
  uint32_t size = static_cast<uint8_t>(rec[12]) + central.size();
  rec[12] = static_cast<char>(size);
  bytes = bytes.substr(0, bytes.find("PK\x05\x06")) + rec;
  path = dir / "overlap.zip";
  ASSERT_TRUE(WriteFileText(path, bytes));
  CZipFile zip;
  ASSERT_EQ(0, zip.Open(path.c_str(), 2, 9));
  ASSERT_EQ(3, zip.GetEntryCount());
  EXPECT_EQ("innen", Extract(zip, zip.FindEntry("b")));
  EXPECT_EQ(0, zip.DeleteEntry(zip.FindEntry("c")));
  EXPECT_EQ(5, zip.Close());
  EXPECT_STREQ(("\nBei Datei : " + path + "\nSchwerer interner Fehler !").c_str(), zip.GetErrorText());
  EXPECT_EQ(bytes, ReadFileText(path));
}

TEST_F(ArchiveRead, DescriptorEntriesSurviveAnUpdate) {
  std::vector<RawEntry> entries;
  for (const char *name : {"eins", "zwei", "drei"}) {
    RawEntry e;
    e.name = name;
    e.data = Deflate(TextData(5000, name[0]));
    e.size = 5000;
    e.crc = Crc(TextData(5000, name[0]));
    e.method = 8;
    e.flags = 8;
    Le32(e.trailer, 0x08074B50);
    Le32(e.trailer, e.crc);
    Le32(e.trailer, static_cast<uint32_t>(e.data.size()));
    Le32(e.trailer, 5000);
    entries.push_back(e);
  }
  path = dir / "desc.zip";
  ASSERT_TRUE(WriteFileText(path, BuildArchive(entries)));
  {
    CZipFile zip;
    ASSERT_EQ(0, zip.Open(path.c_str(), 2, 9));
    EXPECT_EQ(0, zip.DeleteEntry(zip.FindEntry("eins")));
    EXPECT_EQ(0, zip.Close());
  }
  CZipFile zip;
  ASSERT_EQ(0, zip.Open(path.c_str(), 1, 9));
  ASSERT_EQ(2, zip.GetEntryCount());
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(0, zip.TestEntry(i));
    EXPECT_EQ(TextData(5000, zip.GetEntryName(i)[0]), Extract(zip, i));
  }
}

TEST_F(ArchiveRead, ResourceArchives) {
  CZipFile zip;
  ASSERT_EQ(0, zip.Open("RES:\\\\DATA\\TESTZIP", 1, 9));
  EXPECT_STREQ("res:\\\\DATA-TESTZIP", zip.GetEntryName(-1));
  ASSERT_EQ(1, zip.GetEntryCount());
  EXPECT_STREQ("res.txt", zip.GetEntryName(0));
  EXPECT_EQ("aus der Ressource\n", Extract(zip, 0));
  EXPECT_EQ(0, zip.TestEntry(0));
  EXPECT_EQ(0, zip.Close());
  ASSERT_EQ(0, zip.Open("res://TESTZIP", 1, 9));  // the type defaults to DATA
  EXPECT_EQ(1, zip.GetEntryCount());
  EXPECT_EQ(12, zip.Open("RES:\\\\DATA-FEHLT", 1, 9));
  EXPECT_STREQ("\nBei Datei : res:\\\\DATA-FEHLT\nDatei wurde nicht gefunden !", zip.GetErrorText());
  EXPECT_EQ(12, zip.Open("RES:\\\\10\\7", 1, 9));
  EXPECT_STREQ("res:\\\\10-7", zip.GetEntryName(-1));
  EXPECT_EQ(29, zip.Open("RES:\\\\DATA\\TESTZIP", 3, 9));
}

TEST_F(ArchiveRead, ProgressOfExtractAndTest) {
  std::string t = TextData(100000);
  CZipFile zip;
  path = dir / "p.zip";
  ASSERT_EQ(0, zip.Open(path.c_str(), 3, 9));
  ASSERT_EQ(0, zip.AddMemory("a", t.data(), 100000, nullptr));
  ASSERT_EQ(0, zip.AddMemory("b", t.data(), 50000, nullptr));
  ASSERT_EQ(0, zip.SwitchMode(1));
  EXPECT_EQ(ARCHIVE_PHASE_DIRECTORY, zip.GetProgress(2));
  EXPECT_EQ(0, zip.TestEntry(0));
  EXPECT_EQ(0, zip.TestEntry(1));
  uint64_t total = 0;
  EXPECT_EQ(150000u, zip.GetBytesProcessed(&total));
  EXPECT_EQ(150000u, total);
  EXPECT_EQ(ARCHIVE_PHASE_EXTRACT, zip.GetProgress(0));
  EXPECT_EQ(ARCHIVE_PHASE_DIRECTORY, zip.GetProgress(1));
  EXPECT_EQ(0u, zip.GetBytesProcessed(&total));
}

}  // namespace
