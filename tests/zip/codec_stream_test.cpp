// Channels, allowances, filters, buffers and CRC of the codec stream.
#include <gtest/gtest.h>

#include <cstring>

#include "zip/Codec.h"
#include "zip/CodecStream.h"
#include "zip/Crc32.h"
#include "zip/support/codec_testutil.h"

using namespace codectest;

namespace {

uint32_t Crc(const void *p, size_t n) { return ~Crc32Update(0xFFFFFFFFu, p, static_cast<int32_t>(n)); }

}  // namespace

// Values computed once with Python's zlib.crc32 over the same xorshift32 sequence; the check
// value of "123456789"; no bytes leave the register alone.
TEST(Crc32, MatchesPythonOnNoise) {
  EXPECT_EQ(0xCBF43926u, Crc("123456789", 9));
  EXPECT_EQ(0x12345u, Crc32Update(0x12345u, "x", 0));
  EXPECT_EQ(0x12345u, Crc32Update(0x12345u, "x", -3));
  const Bytes d = Noise(100003);
  const struct { size_t n; uint32_t crc; } cases[] = {
      {1, 0x45d03605}, {7, 0x16d2962c}, {8, 0x9e7d2d45}, {9, 0xdd9c6b94}, {15, 0x7e8b072a},
      {16, 0x12c60827}, {17, 0x947997fc}, {63, 0xdf0be889}, {64, 0xa8b7becd}, {65, 0xc8708c4e},
      {1000, 0x29e915f0}, {4096, 0x7d21c894}, {100003, 0x64dae446}};
  for (const auto &c : cases) EXPECT_EQ(c.crc, Crc(d.data(), c.n)) << c.n;
  // Continuing over unaligned pieces gives the same register.
  uint32_t reg = 0xFFFFFFFFu;
  for (size_t pos = 0, step = 1; pos < d.size(); pos += step, step = step * 3 % 97 + 1)
    reg = Crc32Update(reg, d.data() + pos, static_cast<int32_t>(std::min(step, d.size() - pos)));
  EXPECT_EQ(0x64dae446u, ~reg);
  // Pieces short and long (the two ways through) in turn give it too.
  reg = 0xFFFFFFFFu;
  for (size_t pos = 0, step = 1; pos < d.size(); pos += step, step = step * 37 % 701 + 1)
    reg = Crc32Update(reg, d.data() + pos, static_cast<int32_t>(std::min(step, d.size() - pos)));
  EXPECT_EQ(0x64dae446u, ~reg);
}

TEST(CodecStream, CrcStartConvention) {
  CCodecStream s;
  uint8_t block[64];
  s.m_sink.crc = 0xDEADBEEF;
  s.SetOutputMemory(sizeof block, block, CODEC_NO_CRC, nullptr);
  EXPECT_EQ(nullptr, s.m_sink.hook);
  EXPECT_EQ(0xDEADBEEFu, s.m_sink.crc);
  EXPECT_EQ(5, s.WriteSink("hello", 5));
  EXPECT_EQ(0xDEADBEEFu, s.m_sink.crc);

  s.SetOutputMemory(sizeof block, block, 0, nullptr);
  EXPECT_EQ(0u, s.SinkCrc());
  EXPECT_EQ(4, s.WriteSink("1234", 4));
  uint32_t crcA = s.SinkCrc();
  EXPECT_EQ(Crc("1234", 4), crcA);
  s.SetOutputMemory(sizeof block, block, crcA, nullptr);
  EXPECT_EQ(5, s.WriteSink("56789", 5));
  EXPECT_EQ(0xCBF43926u, s.SinkCrc());
  EXPECT_EQ(0xCBF43926u, s.GetInfo32(3));
}

TEST(CodecStream, MemorySinkNeverOverruns) {
  CCodecStream s;
  uint8_t block[40];
  std::memset(block, 0xAA, sizeof block);
  uint32_t counter = 0, peak = 0;
  s.SetOutputMemory(32, block + 4, 0, &counter);
  s.SetOutputPeak(&peak);
  const Bytes data = Noise(64);
  EXPECT_EQ(20, s.WriteSink(data.data(), 20));
  EXPECT_EQ(12, s.WriteSink(data.data() + 20, 20));  // short write: only the room left
  EXPECT_EQ(0, s.WriteSink(data.data() + 32, 5));
  EXPECT_EQ(-1, s.ReadIntoOutputMemory());
  EXPECT_EQ(32u, counter);
  EXPECT_EQ(32u, peak);
  EXPECT_EQ(32u, s.m_sink.total);
  EXPECT_EQ(0, std::memcmp(block + 4, data.data(), 32));
  for (int i : {0, 1, 2, 3, 36, 37, 38, 39}) EXPECT_EQ(0xAA, block[i]) << i;
  EXPECT_EQ(Crc(data.data(), 32), s.SinkCrc());
  // An empty write on every kind returns 0 and changes nothing.
  EXPECT_EQ(0, s.WriteSink(nullptr, 0));
  EXPECT_EQ(32u, counter);
}

TEST(CodecStream, PeakCounterFollowsCallerCounter) {
  CCodecStream s;
  uint8_t block[16];
  uint32_t counter = 100, peak = 103;
  s.SetOutputMemory(sizeof block, block, CODEC_NO_CRC, &counter);
  s.SetOutputPeak(&peak);
  s.WriteSink("ab", 2);
  EXPECT_EQ(102u, counter);
  EXPECT_EQ(103u, peak);
  s.WriteSink("cd", 2);
  EXPECT_EQ(104u, peak);
}

TEST(CodecStream, MemorySourceTakenWholeByInputBuffer) {
  CCodecStream s;
  const Bytes d = Noise(1000);
  uint32_t counter = 0;
  s.SetInputMemory(1000, d.data(), 0, &counter);
  uint8_t tmp[300];
  EXPECT_EQ(300, s.ReadSource(tmp, 300));
  ASSERT_EQ(1, s.PrepareInputBuffer(4096));
  EXPECT_EQ(1000u, counter);
  EXPECT_EQ(1000u, s.m_source.total);
  EXPECT_EQ(1000, s.m_source.memPos);
  EXPECT_EQ(Crc(d.data(), 1000), s.SourceCrc());
  EXPECT_EQ(700, s.FillInput(1024));
  Bytes got(700);
  EXPECT_EQ(700, s.ReadBuffered(got.data(), 700));
  EXPECT_EQ(0, std::memcmp(got.data(), d.data() + 300, 700));
  EXPECT_EQ(0, s.FillInput(1));
  EXPECT_EQ(1, s.m_inBuf.ended);
  EXPECT_EQ(0, s.ReadBuffered(got.data(), 10));
}

TEST(CodecStream, HandleSourceAllowance) {
  TempFile f;
  const Bytes d = Noise(5000);
  f.Write(d);
  {
    CCodecStream s;
    Handle h(OpenRead(f.Path()));
    s.SetInputHandle(h.Get(), 10, 0);
    uint8_t buf[100];
    EXPECT_EQ(10, s.ReadSource(buf, 100));  // cut to the allowance
    EXPECT_EQ(0, s.m_source.allowance);     // lowered by what was read, never below 0
    EXPECT_EQ(0, s.ReadSource(buf, 100));
    EXPECT_EQ(0, s.ReadSource(buf, 100));
    EXPECT_EQ(Crc(d.data(), 10), s.SourceCrc());
    EXPECT_EQ(10u, s.m_source.total);
  }
  {
    // An allowance beyond the file's end stays positive: it never turns into "no limit".
    CCodecStream s;
    Handle h(OpenRead(f.Path()));
    s.SetInputHandle(h.Get(), 6000, CODEC_NO_CRC);
    Bytes buf(8000);
    EXPECT_EQ(5000, s.ReadSource(buf.data(), 8000));
    EXPECT_EQ(1000, s.m_source.allowance);
    EXPECT_EQ(0, s.ReadSource(buf.data(), 8000));
  }
  {
    CCodecStream s;
    Handle h(OpenRead(f.Path()));
    s.SetInputHandle(h.Get(), -1, 0);
    Bytes buf(8000);
    int32_t total = 0, n;
    while ((n = s.ReadSource(buf.data(), 777)) > 0) total += n;
    EXPECT_EQ(0, n);
    EXPECT_EQ(5000, total);
    EXPECT_EQ(Crc(d.data(), 5000), s.SourceCrc());
  }
}

TEST(CodecStream, HandleSinkAllowanceAndFailure) {
  TempFile f;
  const Bytes d = Noise(100);
  {
    CCodecStream s;
    Handle h(OpenWrite(f.Path()));
    s.SetOutputHandle(h.Get(), 30, 0);
    EXPECT_EQ(20, s.WriteSink(d.data(), 20));
    EXPECT_EQ(10, s.WriteSink(d.data() + 20, 20));
    EXPECT_EQ(0, s.WriteSink(d.data() + 30, 20));
    EXPECT_EQ(0, s.WriteSink(nullptr, 0));
    EXPECT_EQ(Crc(d.data(), 30), s.SinkCrc());
  }
  EXPECT_EQ(Bytes(d.begin(), d.begin() + 30), f.Read());
  {
    CCodecStream s;
    Handle h(OpenRead(f.Path()));  // not writable: WriteFile fails
    s.SetOutputHandle(h.Get(), -1, 0);
    EXPECT_EQ(-1, s.WriteSink(d.data(), 10));
  }
}

TEST(CodecStream, CrtFileChannels) {
  TempFile f;
  const Bytes d = Noise(3000);
  FILE *w = std::fopen(f.Path().c_str(), "wb");
  ASSERT_TRUE(w);
  {
    CCodecStream s;
    s.SetOutputFile(w, 2500, 0);
    EXPECT_EQ(2000, s.WriteSink(d.data(), 2000));
    EXPECT_EQ(500, s.WriteSink(d.data() + 2000, 1000));
    EXPECT_EQ(0, s.WriteSink(d.data(), 1));
    EXPECT_EQ(Crc(d.data(), 2500), s.SinkCrc());
  }
  std::fclose(w);
  FILE *r = std::fopen(f.Path().c_str(), "rb");
  ASSERT_TRUE(r);
  {
    CCodecStream s;
    s.SetInputFile(r, 1200, 0);
    Bytes buf(3000);
    EXPECT_EQ(1000, s.ReadSource(buf.data(), 1000));
    EXPECT_EQ(200, s.ReadSource(buf.data() + 1000, 1000));
    EXPECT_EQ(0, s.ReadSource(buf.data(), 1000));
    EXPECT_EQ(0, std::memcmp(buf.data(), d.data(), 1200));
    EXPECT_EQ(Crc(d.data(), 1200), s.SourceCrc());
  }
  std::fclose(r);
}

TEST(CodecStream, CallbackChannelsWithAndWithoutCrc) {
  const Bytes d = Noise(500);
  CCodecStream s;
  VecSource src;
  src.data = &d;
  src.chunk = 33;
  s.SetInputCallback(&src, VecSource::Read, 0);
  EXPECT_EQ(s.m_source.userRead, &VecSource::Read);
  Bytes buf(500);
  int32_t total = 0, n;
  while ((n = s.ReadSource(buf.data() + total, 500 - total)) > 0) total += n;
  EXPECT_EQ(500, total);
  EXPECT_EQ(Crc(d.data(), 500), s.SourceCrc());

  src.pos = 0;
  s.SetInputCallback(&src, VecSource::Read, CODEC_NO_CRC);
  EXPECT_EQ(s.m_source.read, &VecSource::Read);  // the caller's function stands in the slot
  EXPECT_EQ(33, s.ReadSource(buf.data(), 100));

  VecSink sink;
  s.SetOutputCallback(&sink, VecSink::Write, 0);
  EXPECT_EQ(100, s.WriteSink(d.data(), 100));
  EXPECT_EQ(0, s.WriteSink(nullptr, 0));
  EXPECT_EQ(0, sink.emptyCalls);  // the CRC wrapper answers empty writes itself
  s.FinalEmptyWrite();
  EXPECT_EQ(0, sink.emptyCalls);
  s.SetOutputCallback(&sink, VecSink::Write, CODEC_NO_CRC);
  s.FinalEmptyWrite();
  EXPECT_EQ(1, sink.emptyCalls);

  VecSource failing;
  failing.data = &d;
  failing.failAt = 0;
  s.SetInputCallback(&failing, VecSource::Read, 0);
  EXPECT_EQ(-1, s.ReadSource(buf.data(), 10));
  sink.limit = 0;
  sink.failWhenFull = true;
  s.SetOutputCallback(&sink, VecSink::Write, 0);
  EXPECT_EQ(-1, s.WriteSink(d.data(), 10));
}

namespace {

// XORs with a key and holds the last two bytes of every call back until the next call:
// a stand-in for a decryption that keeps its authentication code.
struct HoldBack {
  uint8_t key = 0x5A;
  uint8_t pending[2];
  int npending = 0;
  int calls = 0, endCalls = 0;
  static int32_t Filter(void *ctx, void *buf, int32_t count) {
    HoldBack *h = static_cast<HoldBack *>(ctx);
    ++h->calls;
    if (count == 0) {
      ++h->endCalls;
      return 0;
    }
    uint8_t *b = static_cast<uint8_t *>(buf);
    for (int32_t i = 0; i < count; ++i) b[i] ^= h->key;
    Bytes all(h->pending, h->pending + h->npending);
    all.insert(all.end(), b, b + count);
    int32_t out = static_cast<int32_t>(all.size()) - 2;
    std::memcpy(b, all.data(), out);
    std::memcpy(h->pending, all.data() + out, 2);
    h->npending = 2;
    return out;
  }
};

int32_t Xor(void *ctx, void *buf, int32_t count) {
  uint8_t *b = static_cast<uint8_t *>(buf);
  for (int32_t i = 0; i < count; ++i) b[i] ^= *static_cast<uint8_t *>(ctx);
  return count;
}

int32_t DropOne(void *, void *, int32_t count) { return count > 0 ? count - 1 : 0; }

}  // namespace

TEST(CodecStream, ReadFilterHoldsBytesBack) {
  Bytes plain = Text(1000), enc = plain;
  for (auto &b : enc) b ^= 0x5A;
  CCodecStream s;
  s.SetInputMemory(static_cast<int32_t>(enc.size()), enc.data(), 0, nullptr);
  HoldBack hb;
  ASSERT_EQ(1, s.SetReadFilter(&hb, HoldBack::Filter));
  Bytes out(1000);
  EXPECT_EQ(98, s.ReadSource(out.data(), 100));
  EXPECT_EQ(100, s.ReadSource(out.data() + 98, 100));
  int32_t got = 198, n;
  while ((n = s.ReadSource(out.data() + got, 100)) > 0) got += n;
  EXPECT_EQ(0, n);
  EXPECT_EQ(998, got);
  EXPECT_EQ(1, hb.endCalls);
  EXPECT_EQ(0, std::memcmp(out.data(), plain.data(), 998));
  // The source's CRC covers the bytes as delivered, before the filter.
  EXPECT_EQ(ZipCrc(enc), s.SourceCrc());
  EXPECT_EQ(998u, s.m_source.total);
}

TEST(CodecStream, ReadFilterBehindBufferedInput) {
  Bytes plain = Text(50000), enc = plain;
  for (auto &b : enc) b ^= 0x33;
  TempFile f;
  f.Write(enc);
  Handle h(OpenRead(f.Path()));
  CCodecStream s;
  s.SetInputHandle(h.Get(), -1, 0);
  uint8_t key = 0x33;
  s.SetReadFilter(&key, Xor);
  ASSERT_EQ(1, s.PrepareInputBuffer(4096));
  Bytes out(50000);
  EXPECT_EQ(50000, s.ReadBuffered(out.data(), 50000));
  EXPECT_EQ(plain, out);
  EXPECT_EQ(0, s.FillInput(1));
  EXPECT_EQ(1, s.m_inBuf.ended);
}

TEST(CodecStream, WriteFiltersInPlaceAndOnCopy) {
  const Bytes plain = Text(10000);
  uint8_t key = 0x77;
  {
    CCodecStream s;
    VecSink sink;
    s.SetOutputCallback(&sink, VecSink::Write, 0);
    s.SetWriteFilter(&key, Xor, 1);
    EXPECT_EQ(10000, s.WriteSink(plain.data(), 10000));
    ASSERT_EQ(10000u, sink.data.size());
    for (size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(plain[i] ^ 0x77, sink.data[i]);
    EXPECT_EQ(ZipCrc(plain), s.SinkCrc());  // CRC before the filter
  }
  {
    CCodecStream s;
    Bytes block(10000), data = plain;
    s.SetOutputMemory(10000, block.data(), 0, nullptr);
    s.SetWriteFilter(&key, Xor, 0);
    EXPECT_EQ(10000, s.WriteSink(data.data(), 10000));
    EXPECT_NE(plain, data);  // filtered in place
    EXPECT_EQ(data, block);
    EXPECT_EQ(ZipCrc(plain), s.SinkCrc());
  }
  {
    // A sink that takes less than the filtered piece shows up as a short write.
    CCodecStream s;
    VecSink sink;
    sink.limit = 5000;
    s.SetOutputCallback(&sink, VecSink::Write, CODEC_NO_CRC);
    s.SetWriteFilter(nullptr, DropOne, 1);
    EXPECT_EQ(10000 - 2, s.WriteSink(plain.data(), 10000));  // pieces 2 and 3 came out short
    EXPECT_EQ(5000u, sink.data.size());
    sink.data.clear();
    s.SetOutputCallback(&sink, VecSink::Write, CODEC_NO_CRC);
    s.SetWriteFilter(nullptr, DropOne, 0);
    Bytes data = plain;
    EXPECT_EQ(9999, s.WriteSink(data.data(), 10000));
    sink.data.clear();
    sink.limit = -1;
    EXPECT_EQ(10000, s.WriteSink(data.data(), 10000));  // dropped byte alone is no shortfall
    EXPECT_EQ(9999u, sink.data.size());
  }
}

TEST(CodecStream, HooksReplaceTheCrc) {
  const Bytes d = Noise(300);
  CCodecStream s;
  VecSource src;
  src.data = &d;
  s.SetInputCallback(&src, VecSource::Read, CODEC_NO_CRC);
  uint32_t reg = 0xFFFFFFFFu;
  s.SetReadHook(&reg, CodecCrcHook);
  Bytes buf(300);
  EXPECT_EQ(100, s.ReadSource(buf.data(), 100));
  EXPECT_EQ(Crc(d.data(), 100), ~reg);
  s.SetReadHook(nullptr, nullptr);
  EXPECT_EQ(s.m_source.read, &VecSource::Read);
  EXPECT_EQ(100, s.ReadSource(buf.data(), 100));
  EXPECT_EQ(Crc(d.data(), 100), ~reg);
}

TEST(CodecStream, BufferedOutput) {
  const Bytes d = Noise(10000);
  {
    CCodecStream s;
    VecSink sink;
    s.SetOutputCallback(&sink, VecSink::Write, 0);
    ASSERT_EQ(1, s.PrepareOutputBuffer(1000));
    EXPECT_EQ(0, s.WriteBuffered(d.data(), 400));
    EXPECT_EQ(0, s.WriteBuffered(d.data() + 400, 600));  // exactly the free space
    EXPECT_EQ(0, s.m_outBuf.fill);
    EXPECT_EQ(1000u, sink.data.size());
    EXPECT_EQ(0, s.WriteBuffered(d.data() + 1000, 8500));
    EXPECT_EQ(0, s.FlushOutput());
    EXPECT_EQ(Bytes(d.begin(), d.begin() + 9500), sink.data);
    EXPECT_EQ(9500u, s.m_sink.total);
    EXPECT_EQ(Crc(d.data(), 9500), s.SinkCrc());
    sink.limit = 9600;
    EXPECT_EQ(1, s.WriteBuffered(d.data(), 2000));  // sink refuses: flush fails
  }
  {
    CCodecStream s;
    Bytes block(5000 + 8, 0xAA);
    uint32_t counter = 0;
    s.SetOutputMemory(5000, block.data(), 0, &counter);
    ASSERT_EQ(1, s.PrepareOutputBuffer(64));
    EXPECT_EQ(1, s.m_outBuf.borrowed);
    EXPECT_EQ(0, s.WriteBuffered(d.data(), 3000));
    EXPECT_EQ(0, s.FlushOutput());
    EXPECT_EQ(3000u, counter);
    EXPECT_EQ(1, s.WriteBuffered(d.data() + 3000, 2001));  // one byte too many
    EXPECT_EQ(5000u, counter);
    EXPECT_EQ(0, std::memcmp(block.data(), d.data(), 5000));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(0xAA, block[5000 + i]);
    EXPECT_EQ(Crc(d.data(), 5000), s.SinkCrc());
  }
}

TEST(CodecStream, BufferedInputEndVersusFailure) {
  const Bytes d = Noise(5000);
  CCodecStream s;
  VecSource src;
  src.data = &d;
  src.failAt = 3000;
  src.chunk = 700;
  s.SetInputCallback(&src, VecSource::Read, 0);
  ASSERT_EQ(1, s.PrepareInputBuffer(2048));
  Bytes out(5000);
  EXPECT_EQ(3000, s.ReadBuffered(out.data(), 5000));
  EXPECT_EQ(0, s.FillInput(1));
  EXPECT_EQ(0, s.m_inBuf.ended);  // a failure, not the end
  src.failAt = -1;
  EXPECT_EQ(700, s.FillInput(1));
  EXPECT_EQ(700, s.FillInput(100));  // enough there: no read
  s.m_inBuf.pos += 700;
  int32_t rest = 0;
  while (s.FillInput(1) > 0) {
    rest += s.m_inBuf.fill - s.m_inBuf.pos;
    s.m_inBuf.pos = s.m_inBuf.fill;
  }
  EXPECT_EQ(1300, rest);
  EXPECT_EQ(1, s.m_inBuf.ended);
  EXPECT_EQ(5000u, s.m_source.total);
}

TEST(CodecStream, ReadIntoOutputMemory) {
  const Bytes d = Noise(300);
  CCodecStream s;
  Bytes block(256);
  uint32_t counter = 0, peak = 0;
  VecSource src;
  src.data = &d;
  src.chunk = 100;
  s.SetInputCallback(&src, VecSource::Read, CODEC_NO_CRC);
  s.SetOutputMemory(256, block.data(), 0, &counter);
  s.SetOutputPeak(&peak);
  EXPECT_EQ(100, s.ReadIntoOutputMemory());
  EXPECT_EQ(100, s.ReadIntoOutputMemory());
  EXPECT_EQ(56, s.ReadIntoOutputMemory());
  EXPECT_EQ(-1, s.ReadIntoOutputMemory());
  EXPECT_EQ(256u, counter);
  EXPECT_EQ(256u, peak);
  EXPECT_EQ(256u, s.m_source.total);
  EXPECT_EQ(256u, s.m_sink.total);
  EXPECT_EQ(Crc(d.data(), 256), s.SinkCrc());
}

TEST(CodecStream, ResetAndReuse) {
  CCodecStream s;
  uint8_t *w = s.GetWorkBuffer();
  ASSERT_NE(nullptr, w);
  EXPECT_EQ(w, s.GetWorkBuffer());
  VecSink sink;
  s.SetOutputCallback(&sink, VecSink::Write, 0);
  s.PrepareOutputBuffer(100);
  s.WriteSink("abc", 3);
  s.Reset(2);  // buffers go, channels stay
  EXPECT_EQ(nullptr, s.m_outBuf.data);
  EXPECT_EQ(CODEC_CHANNEL_CALLBACK, s.m_sink.kind);
  EXPECT_EQ(3, s.WriteSink("def", 3));
  EXPECT_EQ(Crc("abcdef", 6), s.SinkCrc());
  EXPECT_EQ(6u, s.m_sink.total);
  s.Reset(0);
  EXPECT_EQ(CODEC_CHANNEL_NONE, s.m_sink.kind);
  EXPECT_EQ(6u, s.m_sink.total);  // counters survive a reset
  EXPECT_EQ(nullptr, s.m_sink.hook);
  EXPECT_EQ(CODEC_CHANNEL_NONE, s.m_source.kind);
  // Reuse after the reset.
  uint8_t block[8];
  s.SetOutputMemory(8, block, 0, nullptr);
  EXPECT_EQ(8, s.WriteSink("12345678", 8));
}

namespace {
class NullCodec : public CCodec {
 public:
  uint64_t Compress(int level) override { ClampLevel(level); return 0; }
  uint64_t Decompress(int) override { Fail(CODEC_ERR_UNSUPPORTED, kCodecTextUnsupported); }
  void Release() override {}
};
}  // namespace

TEST(Codec, DefaultsResetAndInfo) {
  // Clamping the level is the codecs' test (LibCodecErrors.DeflateModesAndLevels).
  NullCodec c;
  EXPECT_EQ(9, c.GetInfo32(0));
  EXPECT_EQ(8, c.m_mode);
  c.Compress(4);
  EXPECT_EQ(4u, c.GetInfo(2));
  try {
    c.Decompress(-2);
    FAIL();
  } catch (const char *text) {
    EXPECT_STREQ("Die Funktion wird nicht unterst\xFCtzt", text);
    EXPECT_EQ(CODEC_ERR_UNSUPPORTED, c.m_errorClass);
  }
  c.m_compressed = 0x100000005ull;
  c.m_flags = 0x10;
  EXPECT_EQ(5u, c.GetInfo32(5));
  EXPECT_EQ(1u, c.GetInfo32(9));
  EXPECT_EQ(0x10u, c.GetInfo32(1));
  c.Reset(2);
  EXPECT_EQ(4, c.m_level);
  c.Reset(1);
  EXPECT_EQ(9, c.m_level);
  EXPECT_EQ(0u, c.m_compressed);
  EXPECT_EQ(0, c.m_errorClass);
  EXPECT_EQ(0u, c.GetInfo(99));
}
