// Failure paths, clamps, headers and edge cases of the library codecs.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "zip/Bz2Codec.h"
#include "zip/DeflateCodec.h"
#include "zip/LzmaCodec.h"
#include "zip/XzCodec.h"
#include "zip/support/codec_testutil.h"

using namespace codectest;

namespace {

struct Thrown {
  int cls = -1;
  std::string text;
  bool thrown = false;
};

Thrown Catch(CCodec &c, const std::function<void()> &op) {
  Thrown t;
  try {
    op();
  } catch (const char *text) {
    t.thrown = true;
    t.text = text;
    t.cls = c.m_errorClass;
  }
  return t;
}

#define EXPECT_THROWS(c, op, wantClass, wantText)   \
  do {                                              \
    Thrown t_ = Catch((c), [&] { op; });            \
    EXPECT_TRUE(t_.thrown);                         \
    EXPECT_EQ((wantClass), t_.cls);                 \
    EXPECT_EQ(std::string(wantText), t_.text);      \
  } while (0)

// Compresses into a vector through a callback sink.
Bytes Pack(CCodec &c, const Bytes &in, int level) {
  VecSource src;
  src.data = &in;
  VecSink sink;
  c.SetInputCallback(&src, VecSource::Read, 0);
  c.SetOutputCallback(&sink, VecSink::Write, CODEC_NO_CRC);
  c.Compress(level);
  return sink.data;
}

// Decompresses from memory into a vector.
Bytes Unpack(CCodec &c, const Bytes &in, int mode = -2) {
  VecSink sink;
  c.SetInputMemory(static_cast<int32_t>(in.size()), in.data(), CODEC_NO_CRC, nullptr);
  c.SetOutputCallback(&sink, VecSink::Write, 0);
  c.Decompress(mode);
  return sink.data;
}

CCodec *MakeLzmaZip(int64_t size) {
  CLzmaCodec *c = new CLzmaCodec;
  c->m_mode = 3;
  c->m_expectedSize = size;
  return c;
}

struct Factory {
  const char *name;
  std::function<CCodec *(int64_t size)> make;
  int level;
};

std::vector<Factory> Compressors() {
  return {{"stored", [](int64_t) { return new CDeflateCodec; }, 0},
          {"deflate", [](int64_t) { return new CDeflateCodec; }, 6},
          {"bzip2", [](int64_t) { return new CBz2Codec; }, 9},
          {"lzma", MakeLzmaZip, 5},
          {"xz", [](int64_t) { return new CXzCodec; }, 6}};
}

const char kOverflow[] = "Fehler Speicher\xFC" "berlauf des Ausgabepuffers";

}  // namespace

TEST(LibCodecErrors, MemorySinkOneByteTooSmall) {
  const Bytes data = Mixed(70000);
  for (const Factory &f : Compressors()) {
    SCOPED_TRACE(f.name);
    std::unique_ptr<CCodec> ref(f.make(70000));
    const Bytes packed = Pack(*ref, data, f.level);
    ASSERT_GT(packed.size(), 10u);
    for (int shortBy : {0, 1}) {
      SCOPED_TRACE(shortBy);
      // Compression into a block of exactly the output size, and one byte less.
      const int32_t cap = static_cast<int32_t>(packed.size()) - shortBy;
      Bytes block(cap + 16, 0xCC);
      std::unique_ptr<CCodec> c(f.make(70000));
      c->SetInputMemory(static_cast<int32_t>(data.size()), data.data(), 0, nullptr);
      c->SetOutputMemory(cap, block.data(), CODEC_NO_CRC, nullptr);
      Thrown t = Catch(*c, [&] { c->Compress(f.level); });
      if (shortBy == 0) {
        EXPECT_FALSE(t.thrown) << t.text;
        EXPECT_EQ(0, std::memcmp(block.data(), packed.data(), packed.size()));
      } else {
        EXPECT_TRUE(t.thrown);
        EXPECT_EQ(CODEC_ERR_DATA, t.cls);
        EXPECT_EQ(kOverflow, t.text);
      }
      for (int i = 0; i < 16; ++i) ASSERT_EQ(0xCC, block[cap + i]) << "overrun";

      // Decompression likewise.
      const int32_t pcap = static_cast<int32_t>(data.size()) - shortBy;
      Bytes plain(pcap + 16, 0xCC);
      std::unique_ptr<CCodec> d(f.make(70000));
      if (f.level == 0) d->m_mode = 0;
      d->SetInputMemory(static_cast<int32_t>(packed.size()), packed.data(), CODEC_NO_CRC, nullptr);
      d->SetOutputMemory(pcap, plain.data(), 0, nullptr);
      t = Catch(*d, [&] { d->Decompress(-2); });
      if (shortBy == 0) {
        EXPECT_FALSE(t.thrown) << t.text;
        EXPECT_EQ(0, std::memcmp(plain.data(), data.data(), data.size()));
        EXPECT_EQ(ZipCrc(data), d->SinkCrc());
      } else {
        EXPECT_TRUE(t.thrown);
        EXPECT_EQ(CODEC_ERR_DATA, t.cls);
        EXPECT_EQ(kOverflow, t.text);
      }
      for (int i = 0; i < 16; ++i) ASSERT_EQ(0xCC, plain[pcap + i]) << "overrun";
    }
  }
}

TEST(LibCodecErrors, TruncatedStreams) {
  const Bytes data = Text(100000);
  struct Want {
    const char *name;
    int cls;
    const char *text;
  };
  const Want wants[] = {{"deflate", 6, "Ung\xFCldige Huffmann-Tabelle !"},
                        {"bzip2", 6, "Ung\xFCltiges BZIP Format"},
                        {"lzma", 6, "Formatfehler"},
                        {"xz", 3, "Datenfehler"}};
  for (const Factory &f : Compressors()) {
    if (f.level == 0) continue;
    const Want *w = nullptr;
    for (const Want &x : wants)
      if (std::string(x.name) == f.name) w = &x;
    ASSERT_TRUE(w);
    std::unique_ptr<CCodec> ref(f.make(100000));
    const Bytes packed = Pack(*ref, data, f.level);
    for (size_t keep : {packed.size() / 2, packed.size() - 1}) {
      SCOPED_TRACE(std::string(f.name) + " keep " + std::to_string(keep));
      Bytes cut(packed.begin(), packed.begin() + keep);
      std::unique_ptr<CCodec> d(f.make(100000));
      EXPECT_THROWS(*d, Unpack(*d, cut), w->cls, w->text);
    }
  }
  // Unknown size: the end marker is required.
  CLzmaCodec c;
  c.m_mode = 3;
  const Bytes packed = Pack(c, data, 5);
  Bytes cut(packed.begin(), packed.end() - 3);
  CLzmaCodec d;
  d.m_mode = 3;
  EXPECT_THROWS(d, Unpack(d, cut), 6, "Formatfehler");
  // Nothing at all.
  CLzmaCodec e;
  e.m_mode = 3;
  EXPECT_THROWS(e, Unpack(e, Bytes()), 1, "Fehler beim Lesen");
  CXzCodec x;
  EXPECT_THROWS(x, Unpack(x, Bytes()), 3, "Datenfehler");
  CBz2Codec b;
  EXPECT_THROWS(b, Unpack(b, Bytes()), 6, "Ung\xFCltiges BZIP Format");
}

// Sinks that fail or stop taking bytes, and sources that fail part way, in both directions:
// an error of the right class and text, never a success.
TEST(LibCodecErrors, FailingChannels) {
  const Bytes data = Mixed(300000);
  struct Want {
    const char *name, *write;
    int readClass;
    const char *readCompress, *readDecompress;
  };
  const Want wants[] = {
      {"stored", "Fehler beim Schreiben in die Datei", 1, "Fehler beim Lesen", "Fehler beim Lesen"},
      {"deflate", "Fehler beim Schreiben in Datei !", 1, "Fehler beim Lesen aus Datei !", "Fehler beim Lesen aus Datei !"},
      {"bzip2", "Fehler beim Schreiben in die Datei", 1, "Fehler beim Lesen", "Fehler beim Lesen"},
      {"lzma", "Fehler beim Speichern", 1, "Fehler beim Einlesen", "Fehler beim Lesen"},
      {"xz", "Schreibfehler", 4, "Ende der Eingabe erreicht", "Lesefehler"}};
  const std::vector<Factory> factories = Compressors();
  for (size_t i = 0; i < factories.size(); ++i) {
    const Factory &f = factories[i];
    const Want &w = wants[i];
    ASSERT_STREQ(w.name, f.name);
    std::unique_ptr<CCodec> ref(f.make(300000));
    const Bytes packed = Pack(*ref, data, f.level);
    // sink limited (short or failing), then source failing half way.
    for (int variant = 0; variant < 3; ++variant) {
      SCOPED_TRACE(std::string(f.name) + " variant " + std::to_string(variant));
      VecSource src, dsrc;
      src.data = &data;
      dsrc.data = &packed;
      VecSink sink, dsink;
      if (variant < 2) {
        sink.limit = dsink.limit = 1000;
        sink.failWhenFull = dsink.failWhenFull = variant == 1;
      } else {
        src.failAt = 100000;
        dsrc.failAt = static_cast<int64_t>(packed.size() / 2);
      }
      std::unique_ptr<CCodec> c(f.make(300000));
      c->SetInputCallback(&src, VecSource::Read, 0);
      c->SetOutputCallback(&sink, VecSink::Write, CODEC_NO_CRC);
      std::unique_ptr<CCodec> d(f.make(300000));
      if (f.level == 0) d->m_mode = 0;
      d->SetInputCallback(&dsrc, VecSource::Read, CODEC_NO_CRC);
      d->SetOutputCallback(&dsink, VecSink::Write, 0);
      if (variant < 2) {
        EXPECT_THROWS(*c, c->Compress(f.level), CODEC_ERR_WRITE, w.write);
        EXPECT_THROWS(*d, d->Decompress(-2), CODEC_ERR_WRITE, w.write);
        EXPECT_LE(d->m_uncompressed, 1000u);
      } else {
        EXPECT_THROWS(*c, c->Compress(f.level), w.readClass, w.readCompress);
        EXPECT_THROWS(*d, d->Decompress(-2), CODEC_ERR_READ, w.readDecompress);
      }
    }
  }
  // xz: a source that fails before delivering anything.
  CXzCodec x;
  VecSource src;
  src.data = &data;
  src.failAt = 0;
  VecSink sink;
  x.SetInputCallback(&src, VecSource::Read, 0);
  x.SetOutputCallback(&sink, VecSink::Write, CODEC_NO_CRC);
  EXPECT_THROWS(x, x.Compress(-1), 1, "Lesefehler");
}

TEST(LibCodecErrors, DeflateModesAndLevels) {
  const Bytes data = Text(5000);
  CDeflateCodec c;
  const Bytes packed = Pack(c, data, 6);
  for (int mode : {1, 2, 3, 4, 5, 6, 7, 10, -1}) {
    SCOPED_TRACE(mode);
    CDeflateCodec d;
    EXPECT_THROWS(d, Unpack(d, packed, mode), CODEC_ERR_INIT, "Falscher Modus beim Entkomprimieren !");
  }
  CDeflateCodec d;
  d.m_mode = 8;
  EXPECT_EQ(data, Unpack(d, packed));

  CDeflateCodec e;
  Pack(e, data, 12);
  EXPECT_EQ(9, e.m_level);
  EXPECT_EQ(8, e.m_mode);
  Pack(e, data, 3);
  Pack(e, data, -1);
  EXPECT_EQ(3, e.m_level);
  const Bytes stored = Pack(e, data, -5);
  EXPECT_EQ(0, e.m_level);
  EXPECT_EQ(0, e.m_mode);
  EXPECT_EQ(CODEC_FLAG_STORED, e.m_flags);
  EXPECT_EQ(data, stored);

  CBz2Codec b;
  EXPECT_THROWS(b, Unpack(b, packed, 9), CODEC_ERR_INIT, "Falscher Modus beim Entkomprimieren !");
  Pack(b, data, 42);
  EXPECT_EQ(9, b.m_level);
  const Bytes b1 = Pack(b, data, -3);  // level 0 runs as block size 1
  EXPECT_EQ(0, b.m_level);
  EXPECT_EQ(0, std::memcmp(b1.data(), "BZh1", 4));
}

TEST(LibCodecErrors, EmptySources) {
  const Bytes empty;
  for (int level = 1; level <= 9; ++level) {
    CDeflateCodec c;
    EXPECT_EQ(Bytes({0x03, 0x00}), Pack(c, empty, level));
    EXPECT_EQ(2u, c.m_compressed);
    EXPECT_EQ(0u, c.m_uncompressed);
    EXPECT_EQ(CODEC_FLAG_LARGER, c.m_flags);
  }
  CDeflateCodec s;
  EXPECT_TRUE(Pack(s, empty, 0).empty());
  EXPECT_EQ(CODEC_FLAG_STORED, s.m_flags);

  CBz2Codec b;
  const uint8_t bz[] = {'B', 'Z', 'h', '9', 0x17, 0x72, 0x45, 0x38, 0x50, 0x90, 0, 0, 0, 0};
  EXPECT_EQ(Bytes(bz, bz + sizeof bz), Pack(b, empty, 9));
  CBz2Codec bd;
  EXPECT_TRUE(Unpack(bd, Pack(b, empty, 9)).empty());

  CLzmaCodec l;
  l.m_mode = 3;
  const Bytes lz = Pack(l, empty, 5);
  ASSERT_GE(lz.size(), 9u + 5u);
  const uint8_t head[] = {0x09, 0x14, 0x05, 0x00, 0x5D, 0x00, 0x00, 0x00, 0x01};
  EXPECT_EQ(0, std::memcmp(lz.data(), head, sizeof head));
  CLzmaCodec ld;
  ld.m_mode = 3;
  EXPECT_TRUE(Unpack(ld, lz).empty());

  CXzCodec x;
  const Bytes xz = Pack(x, empty, 6);
  EXPECT_EQ(0, std::memcmp(xz.data(), "\xFD" "7zXZ", 5));
  CXzCodec xd;
  EXPECT_TRUE(Unpack(xd, xz).empty());
}

TEST(LibCodecErrors, LargerFlag) {
  const Bytes noise = Noise(100000);
  CDeflateCodec c;
  Pack(c, noise, 9);
  EXPECT_EQ(CODEC_FLAG_LARGER, c.m_flags);
  CBz2Codec b;
  Pack(b, noise, 9);
  EXPECT_EQ(CODEC_FLAG_LARGER, b.m_flags & CODEC_FLAG_LARGER);
  CLzmaCodec l;
  l.m_mode = 3;
  Pack(l, noise, 5);
  EXPECT_GT(l.m_compressed, l.m_uncompressed);
  EXPECT_EQ(0u, l.m_flags);
  CXzCodec x;
  Pack(x, noise, 5);
  EXPECT_GT(x.m_compressed, x.m_uncompressed);
  EXPECT_EQ(0u, x.m_flags);
  const Bytes text = Text(100000);
  Pack(c, text, 9);
  EXPECT_EQ(0u, c.m_flags);
}

TEST(LibCodecErrors, LzmaHeaders) {
  const Bytes data = Text(30000);
  CLzmaCodec c;
  c.m_mode = 3;
  c.m_expectedSize = 30000;
  const Bytes packed = Pack(c, data, 9);
  EXPECT_EQ(0, std::memcmp(packed.data(), "\x09\x14\x05\x00\x5D", 5));

  // Properties size 7: two surplus bytes after the five properties are skipped.
  Bytes seven = packed;
  seven[2] = 7;
  seven.insert(seven.begin() + 9, {0xEE, 0xEE});
  CLzmaCodec d;
  d.m_mode = 3;
  d.m_expectedSize = 30000;
  EXPECT_EQ(data, Unpack(d, seven));
  EXPECT_EQ(static_cast<uint64_t>(seven.size()), d.m_source.total);
  EXPECT_EQ(static_cast<uint64_t>(seven.size() - 11), d.m_compressed);

  Bytes four = packed;
  four[2] = 4;
  EXPECT_THROWS(d, Unpack(d, four), 6, "Formatfehler");

  // A known size stops exactly there, even with more input (or more stream) behind it.
  Bytes more = packed;
  more.insert(more.end(), 100, 0x55);
  d.m_expectedSize = 30000;
  EXPECT_EQ(data, Unpack(d, more));
  // A stream that goes on beyond the known size is damaged.
  d.m_expectedSize = 12345;
  EXPECT_THROWS(d, Unpack(d, packed), 6, "Formatfehler");

  // Mode 6: properties and the size, as in a bare .lzma file; unknown size writes -1.
  CLzmaCodec a;
  const Bytes alone = Pack(a, data, 3);
  EXPECT_EQ(6, a.m_mode);
  EXPECT_EQ(Bytes(8, 0xFF), Bytes(alone.begin() + 5, alone.begin() + 13));
  CLzmaCodec ad;
  EXPECT_EQ(data, Unpack(ad, alone));
  EXPECT_EQ(-1, ad.m_expectedSize);
  // Mode 4 with stored properties.
  CLzmaCodec sp;
  EXPECT_EQ(0, sp.SetProperties(alone.data(), 6));
  EXPECT_EQ(1, sp.SetProperties(alone.data(), 5));
  Bytes bare(alone.begin() + 5, alone.end());
  EXPECT_EQ(data, Unpack(sp, bare, 4));
  // Bad properties (lc + lp too large for the SDK, or beyond 9*5*5).
  Bytes bad = alone;
  bad[0] = 0xE1;
  EXPECT_THROWS(ad, Unpack(ad, bad), 6, "Formatfehler");
}

TEST(LibCodecErrors, Bzip2EndsAtStreamEnd) {
  const Bytes data = Text(40000);
  CBz2Codec c;
  const Bytes packed = Pack(c, data, 9);
  for (size_t extra : {1, 3, 8, 100, 20000}) {
    SCOPED_TRACE(extra);
    Bytes more = packed;
    const Bytes junk = Noise(extra);
    more.insert(more.end(), junk.begin(), junk.end());
    CBz2Codec d;
    EXPECT_EQ(data, Unpack(d, more));
    // Through a chunked callback source too.
    CBz2Codec e;
    VecSource src;
    src.data = &more;
    src.chunk = 777;
    VecSink sink;
    e.SetInputCallback(&src, VecSource::Read, CODEC_NO_CRC);
    e.SetOutputCallback(&sink, VecSink::Write, 0);
    EXPECT_EQ(40000u, e.Decompress(-2));
    EXPECT_EQ(data, sink.data);
  }
}

TEST(LibCodecErrors, XzErrorTexts) {
  struct {
    int res, cls;
    const char *text;
  } rows[] = {{1, 3, "Datenfehler"},
              {2, 7, "Zuwenig Speicher"},
              {3, 6, "Flasche CRC-Summe"},
              {4, 3, "Funktion wird nicht unterst\xFCtzt"},
              {5, 3, "Falscher Parameter"},
              {6, 4, "Ende der Eingabe erreicht"},
              {7, 2, "Ende der Ausgabe erreicht"},
              {8, 1, "Lesefehler"},
              {9, 2, "Schreibfehler"},
              {17, 6, "Falsches Archivformat"},
              {10, 6, "Unbekannter XZ Fehler"},
              {16, 6, "Unbekannter XZ Fehler"},
              {18, 6, "Unbekannter XZ Fehler"}};
  CXzCodec c;
  for (const auto &r : rows) EXPECT_THROWS(c, XzErrorText(&c, r.res), r.cls, r.text);
  c.m_errorClass = 0;
  EXPECT_NO_THROW(XzErrorText(&c, 0));
  EXPECT_EQ(0, c.m_errorClass);

  // A flipped byte inside the data fails the check.
  const Bytes data = Text(20000);
  CXzCodec x;
  Bytes packed = Pack(x, data, 6);
  packed[packed.size() / 2] ^= 0x40;
  CXzCodec d;
  Thrown t = Catch(d, [&] { Unpack(d, packed); });
  EXPECT_TRUE(t.thrown);
  EXPECT_TRUE(t.cls == 3 || t.cls == 6) << t.text;
}

// The codec in Deflate64 mode: the longest copy from the farthest distance, and the error
// paths of the Deflate64 decoder mapped to the codec's texts.
TEST(LibCodecErrors, Deflate64Stream) {
  const Bytes history = Noise(65536);
  const Bytes stream = FarCopyStream(history);
  Bytes expect = history;
  expect.insert(expect.end(), history.begin(), history.end());
  expect.insert(expect.end(), history.begin(), history.begin() + 2);
  for (bool byMode : {false, true}) {
    SCOPED_TRACE(byMode);
    CDeflateCodec d;
    VecSink sink;
    VecSource src;
    src.data = &stream;
    src.chunk = 999;
    d.SetInputCallback(&src, VecSource::Read, CODEC_NO_CRC);
    d.SetOutputCallback(&sink, VecSink::Write, 0);
    d.m_mode = byMode ? 9 : 8;
    EXPECT_EQ(expect.size(), d.Decompress(byMode ? -2 : 9));
    EXPECT_EQ(expect, sink.data);
    EXPECT_EQ(ZipCrc(expect), d.SinkCrc());
    EXPECT_EQ(stream.size(), d.m_compressed);
  }
  // Not valid as plain deflate (distance code 31).
  CDeflateCodec p;
  EXPECT_THROWS(p, Unpack(p, stream, 8), 6, "Ung\xFCldige Huffmann-Tabelle !");
  // Cut short, failing sink, memory sink one byte short, failing source.
  CDeflateCodec q;
  Bytes cut(stream.begin(), stream.end() - 20);
  EXPECT_THROWS(q, Unpack(q, cut, 9), 6, "Ung\xFCldige Huffmann-Tabelle !");
  VecSink small;
  small.limit = 70000;
  q.SetInputMemory(static_cast<int32_t>(stream.size()), stream.data(), CODEC_NO_CRC, nullptr);
  q.SetOutputCallback(&small, VecSink::Write, 0);
  EXPECT_THROWS(q, q.Decompress(9), CODEC_ERR_WRITE, "Fehler beim Schreiben in Datei !");
  Bytes block(expect.size() - 1 + 8, 0xCC);
  q.SetOutputMemory(static_cast<int32_t>(expect.size() - 1), block.data(), 0, nullptr);
  q.SetInputMemory(static_cast<int32_t>(stream.size()), stream.data(), CODEC_NO_CRC, nullptr);
  EXPECT_THROWS(q, q.Decompress(9), CODEC_ERR_DATA, kOverflow);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(0xCC, block[expect.size() - 1 + i]);
  VecSource failing;
  failing.data = &stream;
  failing.failAt = 50000;
  q.SetInputCallback(&failing, VecSource::Read, CODEC_NO_CRC);
  VecSink any;
  q.SetOutputCallback(&any, VecSink::Write, 0);
  EXPECT_THROWS(q, q.Decompress(9), CODEC_ERR_READ, "Fehler beim Lesen aus Datei !");
}
