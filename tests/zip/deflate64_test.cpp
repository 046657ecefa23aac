// Deflate64 decoder: hand-made streams (64 KiB distances, 16-bit lengths, every error text),
// zlib's raw deflate without length 258, chunked input, failing output, set-up errors.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "zip/InfBack9.h"
#include "zip/support/codec_testutil.h"

namespace {

using codectest::BitWriter;
using codectest::Bytes;
using codectest::FarCopyStream;

// Canonical codes of a set of code lengths (as RFC 1951 assigns them).
std::vector<unsigned> CanonicalCodes(const std::vector<unsigned> &lens) {
  unsigned count[16] = {0}, next[16] = {0};
  for (unsigned l : lens) count[l]++;
  count[0] = 0;
  unsigned code = 0;
  for (unsigned b = 1; b < 16; b++) {
    code = (code + count[b - 1]) << 1;
    next[b] = code;
  }
  std::vector<unsigned> codes(lens.size());
  for (size_t i = 0; i < lens.size(); i++)
    if (lens[i]) codes[i] = next[lens[i]]++;
  return codes;
}

// Dynamic block header whose code-length code gives each length 0..15 a 4-bit code.
void DynamicHeader(BitWriter &w, bool last, const std::vector<unsigned> &lit, const std::vector<unsigned> &dist) {
  w.Bits(last ? 1 : 0, 1);
  w.Bits(2, 2);
  w.Bits((unsigned)lit.size() - 257, 5);
  w.Bits((unsigned)dist.size() - 1, 5);
  w.Bits(19 - 4, 4);
  static const unsigned order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  for (unsigned i = 0; i < 19; i++) w.Bits(order[i] < 16 ? 4 : 0, 3);
  for (unsigned l : lit) w.Code(l, 4);
  for (unsigned l : dist) w.Code(l, 4);
}

struct Result {
  int ret = 0;
  std::string msg;
  Bytes out;
  std::vector<unsigned> pieces;  // lengths handed to the output callback
  unsigned unusedInput = 0;
};

struct InputFeed {
  const Bytes *data;
  size_t pos;
  size_t chunk;
};

unsigned FeedIn(void *ctx, unsigned char **p) {
  InputFeed *f = static_cast<InputFeed *>(ctx);
  size_t n = f->data->size() - f->pos;
  if (n > f->chunk) n = f->chunk;
  *p = const_cast<unsigned char *>(f->data->data() + f->pos);
  f->pos += n;
  return (unsigned)n;
}

struct OutputSink {
  Result *r;
  int failAfter;  // calls that succeed before one fails; -1 never
};

int TakeOut(void *ctx, unsigned char *p, unsigned n) {
  OutputSink *s = static_cast<OutputSink *>(ctx);
  s->r->pieces.push_back(n);
  if (s->failAfter == 0) return 1;
  if (s->failAfter > 0) s->failAfter--;
  s->r->out.insert(s->r->out.end(), p, p + n);
  return 0;
}

// Decodes through the callbacks; preload bytes go through next_in/avail_in first.
Result Inflate64(const Bytes &data, size_t chunk = 1 << 20, int failAfter = -1, size_t preload = 0) {
  Result r;
  std::vector<unsigned char> window(65544);
  z_stream zs;
  memset(&zs, 0, sizeof(zs));
  EXPECT_EQ(Z_OK, inflateBack9Init(&zs, window.data()));
  Bytes head(data.begin(), data.begin() + (long)std::min(preload, data.size()));
  Bytes rest(data.begin() + (long)head.size(), data.end());
  zs.next_in = head.empty() ? Z_NULL : head.data();
  zs.avail_in = (uInt)head.size();
  InputFeed in = {&rest, 0, chunk};
  OutputSink out = {&r, failAfter};
  r.ret = inflateBack9(&zs, FeedIn, &in, TakeOut, &out);
  r.msg = zs.msg ? zs.msg : "";
  r.unusedInput = zs.avail_in;
  EXPECT_EQ(Z_OK, inflateBack9End(&zs));
  return r;
}


TEST(Deflate64, LongestCopyFromFarthestDistance) {
  Bytes history = codectest::Noise(65536, 7);
  Result r = Inflate64(FarCopyStream(history));
  ASSERT_EQ(Z_STREAM_END, r.ret) << r.msg;
  Bytes want = history;
  want.insert(want.end(), history.begin(), history.end());
  want.push_back(history[0]);
  want.push_back(history[1]);
  EXPECT_EQ(want, r.out);
  // Full windows first, then the filled part of the last one.
  ASSERT_EQ(3u, r.pieces.size());
  EXPECT_EQ(65536u, r.pieces[0]);
  EXPECT_EQ(65536u, r.pieces[1]);
  EXPECT_EQ(2u, r.pieces[2]);
}

TEST(Deflate64, ByteByByteInputAndPreloadGiveTheSameOutput) {
  Bytes history = codectest::Noise(65536, 11);
  Bytes stream = FarCopyStream(history);
  Result whole = Inflate64(stream);
  Result single = Inflate64(stream, 1);
  Result preloaded = Inflate64(stream, 3, -1, 70000);
  ASSERT_EQ(Z_STREAM_END, single.ret);
  ASSERT_EQ(Z_STREAM_END, preloaded.ret);
  EXPECT_EQ(whole.out, single.out);
  EXPECT_EQ(whole.out, preloaded.out);
}

TEST(Deflate64, DistanceMustNotReachBeforeTheStart) {
  Bytes history = codectest::Noise(65535, 3);
  for (unsigned have : {100u, 65535u}) {
    BitWriter w;
    w.StoredBlock(history.data(), have, false);
    w.Bits(1, 1);
    w.Bits(1, 2);
    w.FixedSymbol(257);  // length 3
    if (have == 100) {
      // Distance 100 reaches the first byte: valid; then 104 is one too far.
      w.FixedDistance(13);  // base 97, 5 extra bits
      w.Bits(3, 5);
      w.FixedSymbol(257);
      w.FixedDistance(13);
      w.Bits(7, 5);
    } else {
      w.FixedDistance(31);  // 65536 with one byte missing
      w.Bits(16383, 14);
    }
    w.FixedSymbol(256);
    Result r = Inflate64(w.Finish());
    EXPECT_EQ(Z_DATA_ERROR, r.ret) << have;
    EXPECT_EQ("invalid distance too far back", r.msg);
    if (have == 100) {
      // The valid copy was made; nothing was delivered after the error.
      EXPECT_TRUE(r.out.empty());
    }
  }
}

TEST(Deflate64, OverlappingCopyRepeatsItsOutput) {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(1, 2);
  w.FixedSymbol('a');
  w.FixedSymbol('b');
  w.FixedSymbol(284);  // base 227, 5 extra bits: 258
  w.Bits(31, 5);
  w.FixedDistance(1);  // 2
  w.FixedSymbol(256);
  Result r = Inflate64(w.Finish());
  ASSERT_EQ(Z_STREAM_END, r.ret);
  ASSERT_EQ(260u, r.out.size());
  for (size_t i = 0; i < r.out.size(); i++) EXPECT_EQ(i % 2 ? 'b' : 'a', r.out[i]);
}

TEST(Deflate64, CopyWrapsAroundTheWindow) {
  // 65530 literal bytes of history (stored), then copies that straddle the window end.
  Bytes history = codectest::Noise(65530, 5);
  BitWriter w;
  w.StoredBlock(history.data(), 65530, false);
  w.Bits(1, 1);
  w.Bits(1, 2);
  w.FixedSymbol(285);  // 3 + 997 = 1000
  w.Bits(997, 16);
  w.FixedDistance(29);  // 24577 + 100
  w.Bits(100, 13);
  w.FixedSymbol(256);
  Result r = Inflate64(w.Finish());
  ASSERT_EQ(Z_STREAM_END, r.ret) << r.msg;
  Bytes want = history;
  for (int i = 0; i < 1000; i++) want.push_back(want[want.size() - 24677]);
  EXPECT_EQ(want, r.out);
}

TEST(Deflate64, EveryDataErrorHasItsText) {
  struct Case {
    const char *msg;
    Bytes stream;
  };
  std::vector<Case> cases;
  {
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(3, 2);
    cases.push_back({"invalid block type", w.Finish()});
  }
  {
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(0, 2);
    w.AlignByte();
    w.Bits(5, 16);
    w.Bits(5, 16);
    cases.push_back({"invalid stored block lengths", w.Finish()});
  }
  {
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(2, 2);
    w.Bits(30, 5);  // 287 literal/length codes
    w.Bits(0, 5);
    w.Bits(0, 4);
    cases.push_back({"too many length symbols", w.Finish()});
  }
  {
    // Four code-length codes of one bit: over-subscribed.
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(2, 2);
    w.Bits(0, 5);
    w.Bits(0, 5);
    w.Bits(0, 4);
    for (int i = 0; i < 4; i++) w.Bits(1, 3);
    cases.push_back({"invalid code lengths set", w.Finish()});
  }
  {
    // No code-length codes at all.
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(2, 2);
    w.Bits(0, 5);
    w.Bits(0, 5);
    w.Bits(0, 4);
    w.Bits(0, 12);
    cases.push_back({"invalid code lengths set", w.Finish()});
  }
  // Code-length code for the repeats: 16 -> 0, 17 -> 10, 0 -> 110, 18 -> 111.
  auto repeatHeader = [](BitWriter &w) {
    w.Bits(1, 1);
    w.Bits(2, 2);
    w.Bits(0, 5);  // 257
    w.Bits(0, 5);  // 1
    w.Bits(0, 4);  // lengths for 16, 17, 18, 0
    w.Bits(1, 3);
    w.Bits(2, 3);
    w.Bits(3, 3);
    w.Bits(3, 3);
  };
  {
    BitWriter w;
    repeatHeader(w);
    w.Code(0, 1);  // 16 with nothing to repeat
    w.Bits(0, 2);
    cases.push_back({"invalid bit length repeat", w.Finish()});
  }
  {
    BitWriter w;
    repeatHeader(w);
    w.Code(7, 3);  // 18: 138 zeros
    w.Bits(127, 7);
    w.Code(7, 3);  // 138 more: beyond the 258 lengths
    w.Bits(127, 7);
    cases.push_back({"invalid bit length repeat", w.Finish()});
  }
  {
    std::vector<unsigned> lit(257, 1), dist(1, 1);
    BitWriter w;
    DynamicHeader(w, true, lit, dist);
    cases.push_back({"invalid literal/lengths set", w.Finish()});
  }
  {
    std::vector<unsigned> lit(257, 0), dist(3, 1);
    lit['A'] = 1;
    lit[256] = 1;
    BitWriter w;
    DynamicHeader(w, true, lit, dist);
    cases.push_back({"invalid distances set", w.Finish()});
  }
  {
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(1, 2);
    w.FixedSymbol(286);
    cases.push_back({"invalid literal/length code", w.Finish()});
  }
  {
    // A single one-bit distance code; the other bit value is no code.
    std::vector<unsigned> lit(258, 0), dist(1, 1);
    lit['A'] = 2;
    lit[256] = 2;
    lit[257] = 1;
    BitWriter w;
    DynamicHeader(w, true, lit, dist);
    std::vector<unsigned> codes = CanonicalCodes(lit);
    w.Code(codes['A'], 2);
    w.Code(codes[257], 1);
    w.Code(1, 1);
    cases.push_back({"invalid distance code", w.Finish()});
  }
  for (const Case &c : cases) {
    Result r = Inflate64(c.stream);
    EXPECT_EQ(Z_DATA_ERROR, r.ret) << c.msg;
    EXPECT_EQ(std::string(c.msg), r.msg);
  }
}

TEST(Deflate64, DynamicBlockWithIncompleteDistanceCodeDecodes) {
  std::vector<unsigned> lit(258, 0), dist(1, 1);
  lit['A'] = 2;
  lit[256] = 2;
  lit[257] = 1;
  BitWriter w;
  DynamicHeader(w, true, lit, dist);
  std::vector<unsigned> codes = CanonicalCodes(lit);
  w.Code(codes['A'], 2);
  w.Code(codes[257], 1);  // length 3
  w.Code(0, 1);           // distance 1
  w.Code(codes[256], 2);
  Result r = Inflate64(w.Finish());
  ASSERT_EQ(Z_STREAM_END, r.ret) << r.msg;
  EXPECT_EQ(Bytes({'A', 'A', 'A', 'A'}), r.out);
}

Bytes RawDeflate(const Bytes &in) {
  z_stream zs;
  memset(&zs, 0, sizeof(zs));
  EXPECT_EQ(Z_OK, deflateInit2(&zs, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY));
  Bytes out(deflateBound(&zs, (uLong)in.size()));
  zs.next_in = const_cast<Bytef *>(in.data());
  zs.avail_in = (uInt)in.size();
  zs.next_out = out.data();
  zs.avail_out = (uInt)out.size();
  EXPECT_EQ(Z_STREAM_END, deflate(&zs, Z_FINISH));
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

TEST(Deflate64, PlainDeflateWithoutLength258DecodesTheSame) {
  // Words from a small vocabulary: many matches, none of 258 bytes.
  Bytes text;
  uint32_t seed = 99;
  static const char *words[] = {"Datei", "Suche", "Ergebnis", "Liste", "Ordner", "Zeile", "und", "oder", "nicht"};
  while (text.size() < 300000) {
    seed = seed * 1103515245 + 12345;
    const char *wd = words[(seed >> 16) % 9];
    text.insert(text.end(), wd, wd + strlen(wd));
    text.push_back((seed >> 8) % 7 ? ' ' : '\n');
  }
  Result r = Inflate64(RawDeflate(text), 777);
  ASSERT_EQ(Z_STREAM_END, r.ret) << r.msg;
  EXPECT_EQ(text, r.out);
  // A run long enough for deflate's length 258 is read differently.
  Bytes run(5000, 'x');
  Result bad = Inflate64(RawDeflate(run));
  EXPECT_FALSE(bad.ret == Z_STREAM_END && bad.out == run);
}

TEST(Deflate64, InputCutShortAndRefusedOutputAreBufferErrors) {
  Bytes stream = FarCopyStream(codectest::Noise(65536, 1));
  for (size_t cut : {(size_t)1, (size_t)40000, stream.size() - 1}) {
    Bytes part(stream.begin(), stream.begin() + (long)cut);
    Result r = Inflate64(part, 1000);
    EXPECT_EQ(Z_BUF_ERROR, r.ret) << cut;
  }
  // The first window is refused: decoding stops at once.
  Result refused = Inflate64(stream, 1 << 20, 0);
  EXPECT_EQ(Z_BUF_ERROR, refused.ret);
  EXPECT_EQ(1u, refused.pieces.size());
  // The last partial window is refused.
  Result last = Inflate64(stream, 1 << 20, 2);
  EXPECT_EQ(Z_BUF_ERROR, last.ret);
  EXPECT_EQ(3u, last.pieces.size());
}

TEST(Deflate64, UnusedInputIsLeftInTheStream) {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(1, 2);
  w.FixedSymbol('z');
  w.FixedSymbol(256);
  Bytes stream = w.Finish();
  size_t len = stream.size();
  stream.push_back('X');
  stream.push_back('Y');
  stream.push_back('Z');
  Result r = Inflate64(stream, 1 << 20, -1, stream.size());
  ASSERT_EQ(Z_STREAM_END, r.ret);
  EXPECT_EQ(Bytes({'z'}), r.out);
  EXPECT_EQ(stream.size() - len, r.unusedInput);
  // An empty final stored block delivers nothing at all.
  BitWriter e;
  e.StoredBlock(nullptr, 0, true);
  Result empty = Inflate64(e.Finish());
  EXPECT_EQ(Z_STREAM_END, empty.ret);
  EXPECT_TRUE(empty.pieces.empty());
}

TEST(Deflate64, SetUpAndTearDownCheckTheirArguments) {
  unsigned char window[16];
  z_stream zs;
  memset(&zs, 0, sizeof(zs));
  EXPECT_EQ(Z_VERSION_ERROR, inflateBack9Init_(&zs, window, "2.0", (int)sizeof(z_stream)));
  EXPECT_EQ(Z_VERSION_ERROR, inflateBack9Init_(&zs, window, "1.2.5", (int)sizeof(z_stream) - 1));
  EXPECT_EQ(Z_STREAM_ERROR, inflateBack9Init_(&zs, nullptr, "1.2.5", (int)sizeof(z_stream)));
  EXPECT_EQ(Z_STREAM_ERROR, inflateBack9Init_(nullptr, window, "1.2.5", (int)sizeof(z_stream)));
  EXPECT_EQ(Z_STREAM_ERROR, inflateBack9(&zs, FeedIn, nullptr, TakeOut, nullptr));
  EXPECT_EQ(Z_STREAM_ERROR, inflateBack9End(&zs));
  EXPECT_EQ(Z_STREAM_ERROR, inflateBack9End(nullptr));
  EXPECT_EQ(56u, sizeof(z_stream));
  EXPECT_EQ(Z_OK, inflateBack9Init_(&zs, window, "1.2.5", 56));
  EXPECT_TRUE(zs.zalloc != nullptr && zs.zfree != nullptr && zs.state != nullptr);
  EXPECT_EQ(Z_OK, inflateBack9End(&zs));
  EXPECT_TRUE(zs.state == nullptr);
}

TEST(Deflate64, TableBuilderRefusesOversizedLiteralTables) {
  // A complete code with one code of each length 1..14 and two of 15.
  std::vector<unsigned short> lens(288, 0), work(288);
  for (int i = 0; i < 14; i++) lens[i] = (unsigned short)(i + 1);
  lens[14] = lens[15] = 15;
  std::vector<InfCode9> table(4096);
  InfCode9 *next = table.data();
  unsigned bits = 11;  // a root table of 2048 entries is beyond the room for literals
  EXPECT_EQ(1, inflate_table9(INF9_LENS, lens.data(), 288, &next, &bits, work.data()));
  next = table.data();
  bits = 9;
  EXPECT_EQ(0, inflate_table9(INF9_LENS, lens.data(), 288, &next, &bits, work.data()));
  EXPECT_EQ(9u, bits);
  EXPECT_LT(next - table.data(), 1456);
  lens[16] = 1;  // over-subscribed
  next = table.data();
  EXPECT_EQ(-1, inflate_table9(INF9_LENS, lens.data(), 288, &next, &bits, work.data()));
}

}  // namespace
