// PPMd codec: reference streams, round trips on every channel, restoration, properties,
// failures that must release the model, and two threads sharing it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "zip/PpmdCodec.h"
#include "zip/PpmdModel.h"
#include "zip/support/codec_testutil.h"

using namespace codectest;

namespace {

Bytes FromHex(const char *hex) {
  Bytes out;
  for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) out.push_back((uint8_t)std::stoi(std::string(hex + i, 2), nullptr, 16));
  return out;
}

Bytes Sample() {
  std::string s;
  for (int i = 0; i < 12; i++) s += "Vellmorant sucht und vergleicht Daten in Dateien. ";
  s += "Ergebnisliste, Dateiliste, Ordnerbaum.";
  return Bytes(s.begin(), s.end());
}

// The same text coded by Python's ppmd module (PPMd variant I): order 9 / 14 MiB and
// order 15 / 8 MiB, restart; order 16 / 256 MiB for "Hallo Welt, hallo Welt!".
const char kSampleOrder9[] =
    "561159ded45ae2961af30ed6f9c1ba7ed35c41e3bdd70a21baff62e438839cf73888050a12928c6ed930000000"
    "00000c8e931d2c135a21a89ea41bf16626bce7fe3ca786bba01519fd5100";
const char kSampleOrder15[] =
    "561159ded45ae2961af30ed6f9c1ba7ed35c41e3bdd70a21baff62e438839cf73888050a12928c6ed930000000"
    "00000bd7030be80d24392d75180ca68c2ae5629d1b16bacff2c4585e7500";
const char kHalloOrder16[] = "481b6374d7889b3f66c5575f3438ecdcc04732";

struct Outcome {
  bool threw = false;
  std::string text;
  int errorClass = 0;
  int code = 0;  // a thrown integer
  uint64_t result = 0;
};

Outcome Attempt(const std::function<uint64_t()> &call, const CCodec &codec) {
  Outcome o;
  try {
    o.result = call();
  } catch (const char *text) {
    o.threw = true;
    o.text = text;
  } catch (int code) {
    o.threw = true;
    o.code = code;
  }
  o.errorClass = codec.m_errorClass;
  return o;
}

Bytes CompressMem(const Bytes &plain, int level, int mode = PPMD_MODE_PROPERTIES) {
  CPpmdCodec c;
  c.m_mode = mode;
  VecSink sink;
  c.SetInputMemory((int32_t)plain.size(), plain.data(), 0, nullptr);
  c.SetOutputCallback(&sink, VecSink::Write, 0);
  uint64_t n = c.Compress(level);
  EXPECT_EQ(sink.data.size(), n);
  EXPECT_EQ(plain.size(), c.m_uncompressed);
  EXPECT_EQ(ZipCrc(plain), c.SourceCrc());
  return sink.data;
}

Bytes DecompressMem(const Bytes &packed, int mode = PPMD_MODE_PROPERTIES) {
  CPpmdCodec c;
  VecSink sink;
  c.SetInputMemory((int32_t)packed.size(), packed.data(), 0, nullptr);
  c.SetOutputCallback(&sink, VecSink::Write, 0);
  uint64_t n = c.Decompress(mode);
  EXPECT_EQ(sink.data.size(), n);
  EXPECT_EQ(ZipCrc(sink.data), c.SinkCrc());
  return sink.data;
}

// Runs fn on another thread; a call that does not come back in time means the model was
// left locked.
struct ThreadJob {
  std::function<void()> fn;
};

DWORD WINAPI RunJob(void *p) {
  ThreadJob *job = static_cast<ThreadJob *>(p);
  job->fn();
  delete job;
  return 0;
}

bool FinishesWithin(const std::function<void()> &fn, DWORD ms) {
  HANDLE h = CreateThread(nullptr, 0, RunJob, new ThreadJob{fn}, 0, nullptr);
  if (h == nullptr) return false;
  bool done = WaitForSingleObject(h, ms) == WAIT_OBJECT_0;
  CloseHandle(h);
  return done;
}

TEST(Ppmd, CompressionMatchesTheReferenceEncoder) {
  Bytes plain = Sample();
  Bytes seven = CompressMem(plain, 9);  // 9 is clamped to 7: order 9, 14 MiB
  Bytes want = FromHex(kSampleOrder9);
  want.insert(want.begin(), {0xD8, 0x00});
  EXPECT_EQ(want, seven);
  Bytes one = CompressMem(plain, 0);  // 0 is clamped to 1: order 15, 8 MiB
  want = FromHex(kSampleOrder15);
  want.insert(want.begin(), {0x7E, 0x00});
  EXPECT_EQ(want, one);
  // Without the properties bit only the coded data is written.
  EXPECT_EQ(FromHex(kSampleOrder9), CompressMem(plain, 7, 0));
}

TEST(Ppmd, OnlyIncompressibleDataIsMarkedLarger) {
  CPpmdCodec c;
  VecSink sink;
  c.SetOutputCallback(&sink, VecSink::Write, 0);
  for (bool noise : {true, false}) {
    Bytes plain = noise ? Noise(20000) : Text(20000);
    c.SetInputMemory((int32_t)plain.size(), plain.data(), 0, nullptr);
    c.Compress(5);
    EXPECT_EQ(noise, (c.m_flags & CODEC_FLAG_LARGER) != 0);
  }
}

TEST(Ppmd, LevelIsClampedAndKept) {
  CPpmdCodec c;
  c.m_mode = PPMD_MODE_PROPERTIES;
  Bytes plain = Sample();
  for (int level : {12, -1, 3, -1, -7}) {
    VecSink sink;
    c.SetInputMemory((int32_t)plain.size(), plain.data(), 0, nullptr);
    c.SetOutputCallback(&sink, VecSink::Write, 0);
    c.Compress(level);
    int want = level == 12 ? 7 : level == 3 ? 3 : level == -7 ? 1 : c.m_level;
    EXPECT_EQ(want, c.m_level);
    ASSERT_GE(sink.data.size(), 2u);
    EXPECT_EQ((unsigned)((want + 6) * 16 + 15 - want), sink.data[0] | (sink.data[1] << 8u));
  }
}

TEST(Ppmd, DecompressionOfReferenceStreams) {
  Bytes packed = FromHex(kSampleOrder15);
  packed.insert(packed.begin(), {0x7E, 0x00});
  EXPECT_EQ(Sample(), DecompressMem(packed));
  // Order 16 with 256 MiB: accepted when the memory can be had.
  Bytes hallo = FromHex(kHalloOrder16);
  hallo.insert(hallo.begin(), {0xFF, 0x0F});
  CPpmdCodec c;
  VecSink sink;
  c.SetInputMemory((int32_t)hallo.size(), hallo.data(), 0, nullptr);
  c.SetOutputCallback(&sink, VecSink::Write, 0);
  Outcome o = Attempt([&] { return c.Decompress(PPMD_MODE_PROPERTIES); }, c);
  if (o.threw) {
    EXPECT_EQ("Zu wenig SPeicher", o.text);
    EXPECT_EQ(CODEC_ERR_MEMORY, o.errorClass);
  } else {
    EXPECT_EQ(std::string("Hallo Welt, hallo Welt!"), std::string(sink.data.begin(), sink.data.end()));
  }
}

TEST(Ppmd, RoundTripsOnEveryChannelAndLevel) {
  Bytes plain = Mixed(300000);
  for (int level = 1; level <= 7; level++) {
    // Compress: file handle to file handle.
    TempFile src, packedFile;
    src.Write(plain);
    uint64_t packedSize;
    {
      Handle in(OpenRead(src.Path())), out(OpenWrite(packedFile.Path()));
      CPpmdCodec c;
      c.m_mode = PPMD_MODE_PROPERTIES;
      c.SetInputHandle(in.Get(), -1, 0);
      c.SetOutputHandle(out.Get(), -1, 0);
      packedSize = c.Compress(level);
      EXPECT_EQ(plain.size(), c.m_uncompressed);
      EXPECT_EQ(packedSize, c.m_compressed);
      EXPECT_EQ(ZipCrc(plain), c.SourceCrc());
    }
    Bytes packed = packedFile.Read();
    ASSERT_EQ(packedSize, packed.size());
    EXPECT_EQ(packed, CompressMem(plain, level)) << level;

    // Decompress: callback source in small pieces into a memory block of exactly the size.
    CPpmdCodec d;
    VecSource vs;
    vs.data = &packed;
    vs.chunk = 1000;
    Bytes block(plain.size());
    uint32_t counter = 0;
    d.SetInputCallback(&vs, VecSource::Read, 0);
    d.SetOutputMemory((int32_t)block.size(), block.data(), 0, &counter);
    EXPECT_EQ(plain.size(), d.Decompress(PPMD_MODE_PROPERTIES));
    EXPECT_EQ(packed.size(), d.m_compressed);
    EXPECT_EQ(plain.size(), counter);
    EXPECT_EQ(ZipCrc(plain), d.SinkCrc());
    EXPECT_EQ(plain, block) << level;
  }
}

TEST(Ppmd, EmptySource) {
  Bytes packed = CompressMem(Bytes(), 7);
  EXPECT_EQ(FromHex("d800ff00ff0000"), packed);
  EXPECT_TRUE(DecompressMem(packed).empty());
}

TEST(Ppmd, CutOffAndFreezeRestorationRoundTrip) {
  // Several MB through 1 MiB of model memory: the model runs full many times.
  Bytes plain = Mixed(3000000);
  for (unsigned method : {1u, 2u}) {
    CPpmdModel model;
    ASSERT_TRUE(model.Allocate(1u << 20));
    model.Init(6, method);
    // A 7-byte buffer: the coder runs into its end at every possible point.
    struct Out : CPpmdByteOut {
      Bytes v;
      uint8_t buf[7];
      Out() { m_pos = m_end = buf; }
      bool Drain() override {
        v.insert(v.end(), buf, m_pos);
        m_pos = buf;
        m_end = buf + sizeof(buf);
        return true;
      }
    } out;
    model.EncoderInit();
    for (uint8_t b : plain) model.EncodeSymbol(b, out);
    model.EncodeSymbol(-1, out);
    model.EncoderFlush(out);
    out.Drain();
    unsigned word = (6 - 1) | (0 << 4) | (method << 12);
    Bytes packed = out.v;
    packed.insert(packed.begin(), {(uint8_t)word, (uint8_t)(word >> 8)});
    EXPECT_EQ(plain, DecompressMem(packed)) << method;
  }
}

TEST(Ppmd, StoredPropertiesAndTheZeroByte) {
  Bytes data = FromHex(kSampleOrder9);
  CPpmdCodec c;
  EXPECT_EQ(0, c.SetProperties(data.data(), 3));
  const uint8_t word[2] = {0xD8, 0x00};
  EXPECT_EQ(1, c.SetProperties(word, 2));
  VecSink sink;
  c.SetInputMemory((int32_t)data.size(), data.data(), 0, nullptr);
  c.SetOutputCallback(&sink, VecSink::Write, 0);
  c.Decompress(0);
  EXPECT_EQ(Sample(), sink.data);

  const uint8_t five[5] = {9, 0x00, 0x00, 0xE0, 0x00};  // order 9, 14 MiB in bytes
  EXPECT_EQ(1, c.SetProperties(five, 5));
  sink.data.clear();
  c.SetInputMemory((int32_t)data.size(), data.data(), 0, nullptr);
  c.Decompress(0);
  EXPECT_EQ(Sample(), sink.data);

  // Mode bit 2: a zero byte between the properties and the data.
  Bytes withZero = data;
  withZero.insert(withZero.begin(), {0xD8, 0x00, 0x00});
  EXPECT_EQ(Sample(), DecompressMem(withZero, PPMD_MODE_PROPERTIES | PPMD_MODE_ZERO_BYTE));
  withZero[2] = 1;
  CPpmdCodec z;
  z.SetInputMemory((int32_t)withZero.size(), withZero.data(), 0, nullptr);
  z.SetOutputCallback(&sink, VecSink::Write, 0);
  Outcome o = Attempt([&] { return z.Decompress(PPMD_MODE_PROPERTIES | PPMD_MODE_ZERO_BYTE); }, z);
  EXPECT_TRUE(o.threw);
  EXPECT_EQ(6, o.code);
  withZero[2] = 0;
  EXPECT_TRUE(FinishesWithin(
      [&] { EXPECT_EQ(Sample(), DecompressMem(withZero, PPMD_MODE_PROPERTIES | PPMD_MODE_ZERO_BYTE)); }, 30000));
}

TEST(Ppmd, BadPropertiesAreFormatErrors) {
  Bytes data = FromHex(kSampleOrder9);
  for (unsigned word : {0xD0u, 0x30D8u}) {
    Bytes packed = data;
    packed.insert(packed.begin(), {(uint8_t)word, (uint8_t)(word >> 8)});
    CPpmdCodec c;
    VecSink sink;
    c.SetInputMemory((int32_t)packed.size(), packed.data(), 0, nullptr);
    c.SetOutputCallback(&sink, VecSink::Write, 0);
    Outcome o = Attempt([&] { return c.Decompress(PPMD_MODE_PROPERTIES); }, c);
    EXPECT_TRUE(o.threw) << word;
    EXPECT_EQ("Formatfehler", o.text) << word;
    EXPECT_EQ(CODEC_ERR_FORMAT, o.errorClass);
  }
  // No properties at all: the word 0 means order 1.
  CPpmdCodec c;
  VecSink sink;
  c.SetInputMemory((int32_t)data.size(), data.data(), 0, nullptr);
  c.SetOutputCallback(&sink, VecSink::Write, 0);
  EXPECT_EQ("Formatfehler", Attempt([&] { return c.Decompress(0); }, c).text);
}

// Decompresses packed into a callback sink; returns what happened.
Outcome DecompressOutcome(const Bytes &packed, VecSink *sink) {
  CPpmdCodec c;
  c.SetInputMemory((int32_t)packed.size(), packed.data(), 0, nullptr);
  c.SetOutputCallback(sink, VecSink::Write, 0);
  return Attempt([&] { return c.Decompress(PPMD_MODE_PROPERTIES); }, c);
}

TEST(Ppmd, TruncatedInputIsAReadErrorAndReleasesTheModel) {
  Bytes plain = Text(200000);
  Bytes packed = CompressMem(plain, 5);
  for (size_t cut : {(size_t)1, (size_t)4, packed.size() / 2, packed.size() - 1}) {
    Bytes part(packed.begin(), packed.begin() + (long)cut);
    VecSink sink;
    Outcome o = DecompressOutcome(part, &sink);
    EXPECT_TRUE(o.threw) << cut;
    EXPECT_EQ("Fehler beim Lesen", o.text) << cut;
    EXPECT_EQ(CODEC_ERR_READ, o.errorClass) << cut;
    // The next call must not wait for the model.
    bool ok = false;
    EXPECT_TRUE(FinishesWithin([&] { ok = DecompressMem(packed) == plain; }, 30000)) << cut;
    EXPECT_TRUE(ok);
  }
}

TEST(Ppmd, FailingChannelsReleaseTheModel) {
  Bytes plain = Text(400000);
  Bytes packed = CompressMem(plain, 6);

  // A sink that takes only part of the data.
  VecSink shortSink;
  shortSink.limit = 100000;
  Outcome o = DecompressOutcome(packed, &shortSink);
  EXPECT_EQ("Fehler beim Speichern", o.text);
  EXPECT_EQ(CODEC_ERR_WRITE, o.errorClass);
  EXPECT_TRUE(FinishesWithin([&] { EXPECT_EQ(plain, DecompressMem(packed)); }, 30000));

  // A source whose read fails part way, in both directions.
  VecSource failing;
  failing.data = &packed;
  failing.failAt = 5000;
  CPpmdCodec d;
  VecSink sink;
  d.SetInputCallback(&failing, VecSource::Read, 0);
  d.SetOutputCallback(&sink, VecSink::Write, 0);
  o = Attempt([&] { return d.Decompress(PPMD_MODE_PROPERTIES); }, d);
  EXPECT_EQ("Fehler beim Lesen", o.text);
  EXPECT_EQ(CODEC_ERR_READ, o.errorClass);

  VecSource failingPlain;
  failingPlain.data = &plain;
  failingPlain.failAt = 50000;
  CPpmdCodec c;
  c.m_mode = PPMD_MODE_PROPERTIES;
  VecSink out;
  c.SetInputCallback(&failingPlain, VecSource::Read, 0);
  c.SetOutputCallback(&out, VecSink::Write, 0);
  o = Attempt([&] { return c.Compress(7); }, c);
  EXPECT_EQ("Fehler beim Lesen", o.text);
  EXPECT_EQ(CODEC_ERR_READ, o.errorClass);
  EXPECT_EQ(50000u, c.m_uncompressed);
  EXPECT_TRUE(FinishesWithin([&] { EXPECT_EQ(plain, DecompressMem(CompressMem(plain, 7))); }, 30000));
}

TEST(Ppmd, FullMemorySinkStopsAtTheBlockEnd) {
  Bytes plain = Text(100000);
  Bytes packed = CompressMem(plain, 7);
  const uint8_t guard = 0xA5;
  for (size_t room : {plain.size() - 1, (size_t)0, (size_t)70000}) {
    Bytes block(room + 64, guard);
    uint32_t counter = 0;
    CPpmdCodec d;
    d.SetInputMemory((int32_t)packed.size(), packed.data(), 0, nullptr);
    d.SetOutputMemory((int32_t)room, block.data(), 0, &counter);
    Outcome o = Attempt([&] { return d.Decompress(PPMD_MODE_PROPERTIES); }, d);
    EXPECT_EQ("Fehler Speicherüberlauf des Ausgabepuffers", o.text) << room;
    EXPECT_EQ(CODEC_ERR_DATA, o.errorClass);
    EXPECT_EQ(room, counter);
    EXPECT_EQ(room, d.m_uncompressed);
    EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + (long)room, block.begin()));
    for (size_t i = room; i < block.size(); i++) ASSERT_EQ(guard, block[i]) << room;
  }
  // Compression into a block too small for the coded data.
  Bytes block(packed.size() - 1 + 64, guard);
  CPpmdCodec c;
  c.m_mode = PPMD_MODE_PROPERTIES;
  c.SetInputMemory((int32_t)plain.size(), plain.data(), 0, nullptr);
  c.SetOutputMemory((int32_t)packed.size() - 1, block.data(), 0, nullptr);
  Outcome o = Attempt([&] { return c.Compress(7); }, c);
  EXPECT_EQ("Fehler Speicherüberlauf des Ausgabepuffers", o.text);
  EXPECT_EQ(CODEC_ERR_DATA, o.errorClass);
  for (size_t i = packed.size() - 1; i < block.size(); i++) ASSERT_EQ(guard, block[i]);
  // An exact block takes it all.
  Bytes exact(packed.size());
  c.SetInputMemory((int32_t)plain.size(), plain.data(), 0, nullptr);
  c.SetOutputMemory((int32_t)exact.size(), exact.data(), 0, nullptr);
  EXPECT_EQ(packed.size(), c.Compress(7));
  EXPECT_EQ(packed, exact);
}

TEST(Ppmd, DataNoEncoderWritesIsAnInternalError) {
  Bytes packed = {0xD8, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00};
  VecSink sink;
  Outcome o = DecompressOutcome(packed, &sink);
  EXPECT_EQ("Interner Fehler", o.text);
  EXPECT_EQ(CODEC_ERR_DATA, o.errorClass);
}

TEST(Ppmd, TwoThreadsShareTheModel) {
  Bytes a = Text(600000), b = Mixed(500000);
  Bytes pa = CompressMem(a, 7), pb = CompressMem(b, 2);
  Bytes outA, outB, packedB;
  std::thread t1([&] {
    for (int i = 0; i < 3; i++) outA = DecompressMem(pa);
  });
  std::thread t2([&] {
    for (int i = 0; i < 3; i++) outB = DecompressMem(pb);
  });
  std::thread t3([&] { packedB = CompressMem(b, 2); });
  t1.join();
  t2.join();
  t3.join();
  EXPECT_EQ(a, outA);
  EXPECT_EQ(b, outB);
  EXPECT_EQ(pb, packedB);
}

}  // namespace
