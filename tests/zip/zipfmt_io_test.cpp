// The archive's I/O layer: buffered file access at 64-bit positions, error codes, handle
// hand-over to codecs, memory blocks that grow and spill.
#include <gtest/gtest.h>

#include "zip/ZipIo.h"
#include "zipfmt_util.h"

using namespace zipfmt;

namespace {

int CodeOf(void (*fn)(CZipIo &), CZipIo &io) {
  try {
    fn(io);
  } catch (int code) {
    return code;
  }
  return 0;
}

std::string Pattern(size_t n, int seed) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed) & 0xFF);
  return s;
}

}  // namespace

TEST(ZipIo, BufferedWritesRewritesAndReadsComeBackExact) {
  TempDir dir;
  std::string path = dir.File("a.bin");
  CZipIo io;
  ASSERT_EQ(ZIP_OK, io.OpenFile(path.c_str(), ZIPIO_CREATE));
  std::string expect;
  // Many small writes (headers), a large one (data), then rewrites in place.
  for (int i = 0; i < 3000; ++i) {
    std::string piece = "hdr" + std::to_string(i) + ";";
    io.Write(piece.data(), static_cast<uint32_t>(piece.size()));
    expect += piece;
  }
  std::string big = Pattern(200000, 7);
  io.Write(big.data(), static_cast<uint32_t>(big.size()));
  expect += big;
  io.WriteAt(3, "XYZ", 3);
  expect.replace(3, 3, "XYZ");
  io.WriteAt(expect.size() - 10, "tail", 4);
  expect.replace(expect.size() - 10, 4, "tail");
  EXPECT_EQ(expect.size(), io.Size());
  // Reading back through the same object sees the pending writes.
  std::string back(expect.size(), 0);
  io.ReadAt(0, &back[0], static_cast<uint32_t>(back.size()));
  EXPECT_TRUE(back == expect);
  std::string mid(100, 0);
  io.ReadAt(70000, &mid[0], 100);
  EXPECT_EQ(expect.substr(70000, 100), mid);
  // Entries as the archive writes them: a header, the data, the header again behind the data
  // (inside the pending block, wholly before it, or across its start), then the next header.
  const size_t dataSizes[] = {10, 40000, 70000, 65536, 0, 100000, 5};
  int n = 0;
  io.Seek(io.Size());
  for (size_t size : dataSizes) {
    uint64_t at = io.Tell();
    std::string header = "HEAD" + std::to_string(n) + std::string(26, '.');
    io.Write(header.data(), static_cast<uint32_t>(header.size()));
    std::string data = Pattern(size, n);
    if (size) io.Write(data.data(), static_cast<uint32_t>(size));
    std::string again = "head" + std::to_string(n) + std::string(26, ':');
    uint64_t end = io.Tell();
    io.WriteAt(at, again.data(), static_cast<uint32_t>(again.size()));
    if (n == 3) io.WriteAt(end - 8, "12345678", 8);  // the last bytes of the data too
    io.Seek(end);
    expect += again + data;
    if (n == 3) expect.replace(expect.size() - 8, 8, "12345678");
    ++n;
  }
  // Across the start of a pending block (a large write goes out at once, the next one starts
  // a block).
  std::string large = Pattern(100000, 3);
  io.Write(large.data(), static_cast<uint32_t>(large.size()));
  io.Write("pending", 7);
  expect += large + "pending";
  io.WriteAt(io.Size() - 9, "ACROSS", 6);
  expect.replace(expect.size() - 9, 6, "ACROSS");
  EXPECT_EQ(expect.size(), io.Size());
  back.assign(expect.size(), 0);
  io.ReadAt(0, &back[0], static_cast<uint32_t>(back.size()));
  EXPECT_TRUE(back == expect);
  ASSERT_TRUE(io.Close());
  EXPECT_TRUE(ReadFileBytes(path) == expect);
}

TEST(ZipIo, ShortReadRaisesElevenAndReadSomeReportsCount) {
  TempDir dir;
  std::string path = dir.File("r.bin");
  WriteFileBytes(path, "0123456789");
  CZipIo io;
  ASSERT_EQ(ZIP_OK, io.OpenFile(path.c_str(), ZIPIO_READ));
  EXPECT_EQ(10u, io.Size());
  char buf[16];
  io.Seek(4);
  EXPECT_EQ(6, io.ReadSome(buf, sizeof buf));
  EXPECT_EQ(0, io.ReadSome(buf, sizeof buf));
  EXPECT_EQ(ZIP_E_READ, CodeOf([](CZipIo &z) {
              char b[8];
              z.ReadAt(5, b, 8);
            }, io));
  // Reading far beyond the end gives nothing, not a failure.
  io.Seek(0x100000000ull);
  EXPECT_EQ(0, io.ReadSome(buf, 4));
}

TEST(ZipIo, WritingToReadOnlyStorageFailsWithFourteenOrCount) {
  TempDir dir;
  std::string path = dir.File("ro.bin");
  WriteFileBytes(path, "abc");
  CZipIo io;
  ASSERT_EQ(ZIP_OK, io.OpenFile(path.c_str(), ZIPIO_READ));
  EXPECT_EQ(ZIP_E_WRITE, CodeOf([](CZipIo &z) { z.Write("x", 1); }, io));
  io.SetRaiseOnWriteError(false);
  EXPECT_EQ(0u, io.Write("x", 1));
  EXPECT_EQ(ZIP_E_WRITE, CodeOf([](CZipIo &z) { z.SetEnd(); }, io));
}

TEST(ZipIo, OpenModesAndTheirFailureCodes) {
  TempDir dir;
  std::string missing = dir.File("missing.zip");
  CZipIo io;
  EXPECT_EQ(ZIP_E_OPEN, io.OpenFile(missing.c_str(), ZIPIO_READ));
  EXPECT_EQ(ZIP_E_OPEN, io.OpenFile(missing.c_str(), ZIPIO_UPDATE));
  EXPECT_EQ(ZIP_E_CREATE, io.OpenFile(dir.File("no\\such\\folder.zip").c_str(), ZIPIO_CREATE));
  ASSERT_EQ(ZIP_OK, io.OpenFile(missing.c_str(), ZIPIO_OPEN_ALWAYS));
  io.Write("data", 4);
  ASSERT_TRUE(io.Close());
  // Update keeps the contents; create empties the file.
  ASSERT_EQ(ZIP_OK, io.OpenFile(missing.c_str(), ZIPIO_UPDATE));
  EXPECT_EQ(4u, io.Size());
  // Not shared: a second open for reading is refused while it is open for update.
  CZipIo other;
  EXPECT_EQ(ZIP_E_OPEN, other.OpenFile(missing.c_str(), ZIPIO_READ));
  ASSERT_EQ(ZIP_OK, io.OpenFile(missing.c_str(), ZIPIO_CREATE));
  EXPECT_EQ(0u, io.Size());
  io.Close();
  // Read mode shares reads.
  ASSERT_EQ(ZIP_OK, io.OpenFile(missing.c_str(), ZIPIO_READ));
  EXPECT_EQ(ZIP_OK, other.OpenFile(missing.c_str(), ZIPIO_READ));
}

TEST(ZipIo, SetEndCutsTheFileAtThePosition) {
  TempDir dir;
  std::string path = dir.File("cut.bin");
  CZipIo io;
  ASSERT_EQ(ZIP_OK, io.OpenFile(path.c_str(), ZIPIO_CREATE));
  std::string data = Pattern(100000, 3);
  io.Write(data.data(), static_cast<uint32_t>(data.size()));
  io.Seek(1234);
  io.Write("END", 3);
  io.SetEnd();
  EXPECT_EQ(1237u, io.Size());
  char b[3];
  io.Seek(1236);
  EXPECT_EQ(1, io.ReadSome(b, 3));
  io.Close();
  std::string back = ReadFileBytes(path);
  ASSERT_EQ(1237u, back.size());
  EXPECT_EQ("END", back.substr(1234));
  EXPECT_EQ(data.substr(0, 1234), back.substr(0, 1234));
}

TEST(ZipIo, HandleHandOverPositionsAndResumesAfterTheCodec) {
  TempDir dir;
  std::string path = dir.File("h.bin");
  CZipIo io;
  ASSERT_EQ(ZIP_OK, io.OpenFile(path.c_str(), ZIPIO_CREATE));
  io.Write("HEADER", 6);  // still buffered
  HANDLE h = io.AttachHandle();
  ASSERT_NE(nullptr, h);
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(h, "codec-output", 12, &done, nullptr));
  io.DetachHandle();
  EXPECT_EQ(18u, io.Tell());
  EXPECT_EQ(18u, io.Size());
  io.WriteAt(0, "header", 6);  // the rewrite after the data
  io.Seek(io.Size());
  io.Write("!", 1);
  ASSERT_TRUE(io.Close());
  EXPECT_EQ("headercodec-output!", ReadFileBytes(path));
}

TEST(ZipIo, PositionsBeyondFourGibibytes) {
  TempDir dir;
  std::string path = dir.File("big.bin");
  CZipIo io;
  ASSERT_EQ(ZIP_OK, io.OpenFile(path.c_str(), ZIPIO_CREATE));
  const uint64_t distant = 0x100000010ull;
  io.WriteAt(distant, "far", 3);
  io.Flush();
  EXPECT_EQ(distant + 3, io.Size());
  char b[3] = {};
  io.ReadAt(distant, b, 3);
  EXPECT_EQ(0, memcmp(b, "far", 3));
  io.Close();
  WIN32_FILE_ATTRIBUTE_DATA info;
  ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info));
  EXPECT_EQ(1u, info.nFileSizeHigh);
  EXPECT_EQ(0x13u, info.nFileSizeLow);
  DeleteFileA(path.c_str());
}

TEST(ZipIo, MemoryBlockReadsAndGrowsWhenAllowed) {
  std::string data = "memory archive";
  CZipIo io;
  ASSERT_EQ(ZIP_OK, io.OpenMemory(&data[0], static_cast<uint32_t>(data.size()),
                                  static_cast<uint32_t>(data.size()), 0, 0));
  char b[6] = {};
  io.ReadAt(7, b, 6);
  EXPECT_EQ(0, memcmp(b, "archiv", 6));
  EXPECT_EQ(ZIP_E_WRITE, CodeOf([](CZipIo &z) { z.Write("x", 1); }, io));
  // A writable block of fixed room takes what fits and reports a short write.
  std::string room(8, '.');
  ASSERT_EQ(ZIP_OK, io.OpenMemory(&room[0], 0, 8, 0, ZIPIO_MEM_WRITABLE));
  io.SetRaiseOnWriteError(false);
  EXPECT_EQ(8u, io.Write("0123456789", 10));
  EXPECT_EQ("01234567", room);
  // A growing block moves into memory of the layer's own; the caller's block stays intact.
  std::string small(4, '-');
  ASSERT_EQ(ZIP_OK, io.OpenMemory(&small[0], 0, 4, 0, ZIPIO_MEM_WRITABLE | ZIPIO_MEM_GROW));
  std::string big = Pattern(300000, 9);
  EXPECT_EQ(big.size(), io.Write(big.data(), static_cast<uint32_t>(big.size())));
  EXPECT_EQ(big.size(), io.Size());
  EXPECT_EQ(0, memcmp(io.MemoryBase(), big.data(), big.size()));
  EXPECT_EQ("----", small);
  io.Seek(10);
  io.SetEnd();
  EXPECT_EQ(10u, io.Size());
  bool owned = false;
  uint8_t *block = io.DetachMemory(&owned);
  EXPECT_TRUE(owned);
  EXPECT_EQ(0, memcmp(block, big.data(), 10));
  free(block);
}

TEST(ZipIo, MemoryBlockSpillsIntoATemporaryFileAtItsLimit) {
  TempDir dir;
  CZipIo::SetTempFolder(dir.Path().c_str());
  CZipIo io;
  ASSERT_EQ(ZIP_OK, io.OpenMemory(nullptr, 0, 0, 100000,
                                  ZIPIO_MEM_WRITABLE | ZIPIO_MEM_GROW | ZIPIO_MEM_SPILL));
  std::string first = Pattern(60000, 1), second = Pattern(90000, 2);
  io.Write(first.data(), static_cast<uint32_t>(first.size()));
  EXPECT_FALSE(io.HasSpilled());
  io.Write(second.data(), static_cast<uint32_t>(second.size()));
  EXPECT_TRUE(io.HasSpilled());
  EXPECT_FALSE(io.IsMemory());
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA((dir.Path() + "\\AF_*").c_str(), &fd);
  EXPECT_NE(INVALID_HANDLE_VALUE, find);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  std::string back(first.size() + second.size(), 0);
  io.ReadAt(0, &back[0], static_cast<uint32_t>(back.size()));
  EXPECT_TRUE(back == first + second);
  io.Close();
  // The spill file goes with the storage.
  find = FindFirstFileA((dir.Path() + "\\AF_*").c_str(), &fd);
  EXPECT_EQ(INVALID_HANDLE_VALUE, find);
  CZipIo::SetTempFolder(nullptr);
}

TEST(ZipIo, CodecChannelFunctionsReadAndWriteThroughTheLayer) {
  TempDir dir;
  std::string path = dir.File("cb.bin");
  CZipIo io;
  ASSERT_EQ(ZIP_OK, io.OpenFile(path.c_str(), ZIPIO_CREATE));
  EXPECT_EQ(0, CZipIo::WriteFunc(&io, nullptr, 0));
  EXPECT_EQ(5, CZipIo::WriteFunc(&io, "hello", 5));
  io.Seek(0);
  char b[8] = {};
  EXPECT_EQ(5, CZipIo::ReadFunc(&io, b, 8));
  EXPECT_EQ(0, CZipIo::ReadFunc(&io, b, 8));
  EXPECT_EQ(0, memcmp(b, "hello", 5));
  CZipIo ro;
  std::string block = "x";
  ro.OpenMemory(&block[0], 1, 1, 0, 0);
  EXPECT_EQ(0, CZipIo::WriteFunc(&ro, "y", 1));  // short, not raised
}
