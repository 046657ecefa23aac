// Calls each cross-built compression library once: compress a buffer and get it back.
#include <gtest/gtest.h>
#include <zlib.h>
#include <bzlib.h>
extern "C" {
#include <7zCrc.h>
#include <LzmaDec.h>
#include <LzmaEnc.h>
#include <Xz.h>
#include <XzCrc64.h>
#include <XzEnc.h>
}
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Sample() {
  std::string s;
  for (int i = 0; i < 2000; ++i) s += "Zeile " + std::to_string(i % 37) + " Grüße\r\n";
  return s;
}

void *SzAlloc(void *, size_t size) { return size ? std::malloc(size) : nullptr; }
void SzFree(void *, void *address) { std::free(address); }
ISzAlloc g_alloc = {SzAlloc, SzFree};

struct VecIn {
  ISeqInStream base;
  const std::string *data;
  size_t pos;
};
SRes VecRead(void *p, void *buf, size_t *size) {
  auto *s = static_cast<VecIn *>(p);
  size_t n = std::min(*size, s->data->size() - s->pos);
  std::memcpy(buf, s->data->data() + s->pos, n);
  s->pos += n;
  *size = n;
  return SZ_OK;
}
struct VecOut {
  ISeqOutStream base;
  std::vector<unsigned char> bytes;
};
size_t VecWrite(void *p, const void *buf, size_t size) {
  auto *s = static_cast<VecOut *>(p);
  auto *b = static_cast<const unsigned char *>(buf);
  s->bytes.insert(s->bytes.end(), b, b + size);
  return size;
}

}  // namespace

TEST(DepsSmoke, Zlib) {
  const std::string in = Sample();
  uLongf packedLen = compressBound(in.size());
  std::vector<Bytef> packed(packedLen);
  ASSERT_EQ(Z_OK, compress2(packed.data(), &packedLen, reinterpret_cast<const Bytef *>(in.data()), in.size(), 9));
  EXPECT_LT(packedLen, in.size() / 4);
  std::string out(in.size(), '\0');
  uLongf outLen = out.size();
  ASSERT_EQ(Z_OK, uncompress(reinterpret_cast<Bytef *>(&out[0]), &outLen, packed.data(), packedLen));
  EXPECT_EQ(in, out);
  EXPECT_EQ(0xCBF43926u, crc32(0, reinterpret_cast<const Bytef *>("123456789"), 9));
}

TEST(DepsSmoke, Bzip2) {
  std::string in = Sample();
  std::vector<char> packed(in.size() + in.size() / 100 + 600);
  unsigned packedLen = packed.size();
  ASSERT_EQ(BZ_OK, BZ2_bzBuffToBuffCompress(packed.data(), &packedLen, &in[0], in.size(), 9, 0, 0));
  EXPECT_EQ(0, std::memcmp(packed.data(), "BZh9", 4));
  std::string out(in.size(), '\0');
  unsigned outLen = out.size();
  ASSERT_EQ(BZ_OK, BZ2_bzBuffToBuffDecompress(&out[0], &outLen, packed.data(), packedLen, 0, 0));
  EXPECT_EQ(in, out);
}

TEST(DepsSmoke, Lzma) {
  const std::string in = Sample();
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.level = 5;
  std::vector<Byte> packed(in.size() + 1024);
  SizeT packedLen = packed.size();
  Byte propBytes[LZMA_PROPS_SIZE];
  SizeT propSize = sizeof propBytes;
  ASSERT_EQ(SZ_OK, LzmaEncode(packed.data(), &packedLen, reinterpret_cast<const Byte *>(in.data()), in.size(),
                              &props, propBytes, &propSize, 1, nullptr, &g_alloc, &g_alloc));
  std::string out(in.size(), '\0');
  SizeT outLen = out.size();
  SizeT srcLen = packedLen;
  ELzmaStatus status;
  ASSERT_EQ(SZ_OK, LzmaDecode(reinterpret_cast<Byte *>(&out[0]), &outLen, packed.data(), &srcLen, propBytes,
                              propSize, LZMA_FINISH_END, &status, &g_alloc));
  EXPECT_EQ(LZMA_STATUS_FINISHED_WITH_MARK, status);
  EXPECT_EQ(in, out);
}

TEST(DepsSmoke, Xz) {
  CrcGenerateTable();
  Crc64GenerateTable();
  const std::string in = Sample();
  VecIn src{{VecRead}, &in, 0};
  VecOut dst{{VecWrite}, {}};
  CLzma2EncProps lzma2;
  Lzma2EncProps_Init(&lzma2);
  CXzProps props;
  XzProps_Init(&props);
  props.lzma2Props = &lzma2;
  ASSERT_EQ(SZ_OK, Xz_Encode(&dst.base, &src.base, &props, nullptr));
  ASSERT_GT(dst.bytes.size(), 6u);
  EXPECT_EQ(0, std::memcmp(dst.bytes.data(), "\xFD" "7zXZ", 5));

  CXzUnpacker unpacker;
  XzUnpacker_Construct(&unpacker, &g_alloc);
  XzUnpacker_Init(&unpacker);
  // Room beyond the data, so the unpacker goes on to read the index and the footer.
  std::string out(in.size() + 16, '\0');
  SizeT outLen = out.size();
  SizeT srcLen = dst.bytes.size();
  ECoderStatus status;
  SRes res = XzUnpacker_Code(&unpacker, reinterpret_cast<Byte *>(&out[0]), &outLen, dst.bytes.data(), &srcLen,
                             CODER_FINISH_ANY, &status);
  EXPECT_EQ(SZ_OK, res);
  EXPECT_TRUE(XzUnpacker_IsStreamWasFinished(&unpacker));
  XzUnpacker_Free(&unpacker);
  EXPECT_EQ(dst.bytes.size(), srcLen);
  ASSERT_EQ(in.size(), outLen);
  out.resize(outLen);
  EXPECT_EQ(in, out);
}
