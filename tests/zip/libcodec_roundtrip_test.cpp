// Round trips of every library codec through every channel kind, with counts and CRCs.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "zip/Bz2Codec.h"
#include "zip/DeflateCodec.h"
#include "zip/LzmaCodec.h"
#include "zip/XzCodec.h"
#include "zip/support/codec_testutil.h"

using namespace codectest;

namespace {

enum Kind { MEM = 0, CB = 1, FH = 3 };
const Kind kKinds[] = {MEM, CB, FH};

struct CodecCase {
  const char *name;
  std::function<CCodec *()> make;
  int level;
  int lzmaMode;  // 0: not LZMA
  bool knownSize;
};

std::vector<CodecCase> Cases() {
  return {
      {"stored", [] { return new CDeflateCodec; }, 0, 0, false},
      {"deflate1", [] { return new CDeflateCodec; }, 1, 0, false},
      {"deflate9", [] { return new CDeflateCodec; }, 9, 0, false},
      {"bzip2-1", [] { return new CBz2Codec; }, 1, 0, false},
      {"bzip2-9", [] { return new CBz2Codec; }, 9, 0, false},
      {"lzma-zip", [] { return new CLzmaCodec; }, 5, 3, true},
      {"lzma-alone", [] { return new CLzmaCodec; }, 1, 6, false},
      {"xz", [] { return new CXzCodec; }, 6, 0, false},
  };
}

void Prepare(CCodec &c, const CodecCase &cc, size_t size) {
  if (cc.lzmaMode) {
    c.m_mode = cc.lzmaMode;
    static_cast<CLzmaCodec &>(c).m_expectedSize = cc.knownSize ? static_cast<int64_t>(size) : -1;
  }
}

// Runs op with the codec's source over `in` and its sink of the given kind; returns the
// bytes the sink received. cap sizes a memory sink.
Bytes RunChannels(CCodec &c, const Bytes &in, Kind kind, const std::function<void()> &op, bool crcOnSource,
          size_t cap) {
  const uint32_t srcCrc = crcOnSource ? 0 : CODEC_NO_CRC, dstCrc = crcOnSource ? CODEC_NO_CRC : 0;
  Bytes out;
  if (kind == MEM) {
    Bytes block(cap);
    c.SetInputMemory(static_cast<int32_t>(in.size()), in.data(), srcCrc, nullptr);
    c.SetOutputMemory(static_cast<int32_t>(block.size()), block.data(), dstCrc, nullptr);
    op();
    block.resize(c.m_sink.memPos);
    out = block;
  } else if (kind == CB) {
    VecSource src;
    src.data = &in;
    src.chunk = 1000;
    VecSink sink;
    c.SetInputCallback(&src, VecSource::Read, srcCrc);
    c.SetOutputCallback(&sink, VecSink::Write, dstCrc);
    op();
    out = sink.data;
  } else {
    TempFile fin, fout;
    fin.Write(in);
    {
      Handle hin(OpenRead(fin.Path())), hout(OpenWrite(fout.Path()));
      c.SetInputHandle(hin.Get(), -1, srcCrc);
      c.SetOutputHandle(hout.Get(), -1, dstCrc);
      op();
    }
    out = fout.Read();
  }
  return out;
}

}  // namespace

TEST(LibCodecRoundTrip, EveryCodecEverySinkEverySize) {
  const size_t sizes[] = {0, 1, 16383, 16384, 16385, 1 << 20};
  for (const CodecCase &cc : Cases()) {
    for (size_t size : sizes) {
      const Bytes data = size > 100000 ? Mixed(size) : Text(size);
      const uint32_t crc = ZipCrc(data);
      Bytes reference;
      for (Kind kind : kKinds) {
        SCOPED_TRACE(std::string(cc.name) + " size " + std::to_string(size) + " kind " + std::to_string(kind));
        std::unique_ptr<CCodec> c(cc.make());
        Prepare(*c, cc, size);
        uint64_t ret = 0;
        Bytes packed = RunChannels(*c, data, kind, [&] { ret = c->Compress(cc.level); }, true, size * 2 + 4096);
        EXPECT_EQ(packed.size(), ret);
        EXPECT_EQ(packed.size(), c->m_compressed);
        EXPECT_EQ(size, c->m_uncompressed);
        EXPECT_EQ(crc, c->SourceCrc());
        EXPECT_EQ(size, c->m_source.total);
        EXPECT_EQ(packed.size(), c->m_sink.total);
        if (kind == MEM)
          reference = packed;
        else
          EXPECT_TRUE(packed == reference) << "output differs between sink kinds";

        for (Kind dkind : kKinds) {
          SCOPED_TRACE("decompress kind " + std::to_string(dkind));
          std::unique_ptr<CCodec> d(cc.make());
          Prepare(*d, cc, size);
          if (cc.level == 0) d->m_mode = 0;
          Bytes plain = RunChannels(*d, packed, dkind, [&] { ret = d->Decompress(-2); }, false, size + 4096);
          EXPECT_EQ(size, ret);
          EXPECT_EQ(size, d->m_uncompressed);
          EXPECT_TRUE(plain == data) << "round trip differs";
          EXPECT_EQ(crc, d->SinkCrc());
          EXPECT_EQ(size, d->m_sink.total);
        }
      }
    }
  }
}

TEST(LibCodecRoundTrip, ReuseAfterRelease) {
  const Bytes a = Text(50000), b = Mixed(70000);
  for (const CodecCase &cc : Cases()) {
    SCOPED_TRACE(cc.name);
    std::unique_ptr<CCodec> c(cc.make());
    for (const Bytes *d : {&a, &b, &a}) {
      Prepare(*c, cc, d->size());
      Bytes packed = RunChannels(*c, *d, CB, [&] { c->Compress(cc.level); }, true, 200000);
      EXPECT_EQ(ZipCrc(*d), c->SourceCrc());
      c->Release();
      if (cc.level == 0) c->m_mode = 0;
      Prepare(*c, cc, d->size());
      Bytes plain = RunChannels(*c, packed, FH, [&] { c->Decompress(-2); }, false, 200000);
      EXPECT_TRUE(plain == *d);
      EXPECT_EQ(ZipCrc(*d), c->SinkCrc());
    }
  }
}

TEST(LibCodecRoundTrip, StoredCopyFlagsAndCounts) {
  const Bytes d = Noise(40000);
  CDeflateCodec c;
  Bytes packed = RunChannels(c, d, FH, [&] { EXPECT_EQ(40000u, c.Compress(0)); }, true, 0);
  EXPECT_EQ(d, packed);
  EXPECT_EQ(CODEC_FLAG_STORED, c.m_flags);
  EXPECT_EQ(0, c.m_mode);
  CBz2Codec b;
  Bytes plain = RunChannels(b, d, MEM, [&] { EXPECT_EQ(40000u, b.Decompress(0)); }, false, 40000);
  EXPECT_EQ(d, plain);
  EXPECT_EQ(0u, b.m_flags);  // bzip2's stored copy sets no flag
}
