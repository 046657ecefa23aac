// LZMA at the high levels: the dictionary fits the source and the program's address space, and
// a codec that still fails is reported instead of silently storing the file.
#include <gtest/gtest.h>

#include <vector>

#include "tests/zip/archive_util.h"

using namespace archivetest;

namespace {

// Packs one file with LZMA at level 9; -> Close's code, the entry's method and the events.
int PackLzma9(const std::string &source, const std::string &archive, int *method, Recorder *rec) {
  CZipFile zip;
  rec->zip = &zip;
  zip.SetCallback(reinterpret_cast<uintptr_t>(rec), Recorder::Callback);
  if (int rc = zip.Open(archive.c_str(), 3)) return rc;
  zip.SetMethod(14);
  zip.GetLevel(9);
  if (int rc = zip.AddFile(source.c_str(), "data.txt")) return rc;
  int rc = zip.Close();
  CZipFile check;
  *method = -1;
  if (!check.Open(archive.c_str(), 1) && check.GetEntryCount() == 1) {
    *method = check.GetEntry(0)->method;
    if (check.TestEntry(0)) *method = -2;
  }
  return rc;
}

// Reserves address space until no block of 32 MiB is left; released at destruction.
struct AddressSpaceHog {
  std::vector<void *> blocks;
  AddressSpaceHog() {
    for (SIZE_T size = 256u << 20; size >= 32u << 20; size /= 2)
      while (void *p = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS)) blocks.push_back(p);
  }
  ~AddressSpaceHog() {
    for (void *p : blocks) VirtualFree(p, 0, MEM_RELEASE);
  }
};

}  // namespace

TEST(ZipLzma, Level9PacksALargeFile) {
  TempDir dir;
  std::string src = dir / "big.txt";
  ASSERT_TRUE(WriteFileText(src, TextData(50u << 20)));
  Recorder rec;
  int method = 0;
  EXPECT_EQ(0, PackLzma9(src, dir / "a.zip", &method, &rec));
  EXPECT_EQ(14, method);
  EXPECT_EQ(0, rec.Count(ARCHIVE_EVENT_ERROR));
}

TEST(ZipLzma, CodecFailureIsReported) {
  TempDir dir;
  std::string src = dir / "mid.txt";
  ASSERT_TRUE(WriteFileText(src, TextData(20u << 20)));
  Recorder rec;
  int method = 0, rc;
  {
    AddressSpaceHog hog;
    ASSERT_FALSE(hog.blocks.empty());
    rc = PackLzma9(src, dir / "a.zip", &method, &rec);
  }
  // The file still goes in, stored and intact, but the caller hears of the failure.
  EXPECT_EQ(ZIP_E_COMPRESS, rc);
  EXPECT_EQ(0, method);
  EXPECT_GE(rec.Count(ARCHIVE_EVENT_ERROR), 1);
}
