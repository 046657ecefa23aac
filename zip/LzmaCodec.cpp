// LZMA through the LZMA SDK 9.22. The SDK runs our stream callbacks; they never throw
// (the match finder may call the reader on its own thread) and report by result instead.
#include "zip/LzmaCodec.h"

extern "C" {
#include <LzmaDec.h>
#include <LzmaEnc.h>
}

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

const char kOverflow[] = "Fehler Speicherüberlauf des Ausgabepuffers";
const char kNoMemory[] = "Zu wenig Speicher";
const char kFormat[] = "Formatfehler";
const char kParam[] = "Falscher Parameter";
const char kSaveError[] = "Fehler beim Speichern";
const char kReadError[] = "Fehler beim Lesen";
const int32_t kInputBuffer = 1 << 20;
const SizeT kStep = 1 << 22;

void *Alloc(void *, size_t size) { return size ? std::malloc(size) : nullptr; }
void Free(void *, void *address) { std::free(address); }
ISzAlloc g_alloc = {Alloc, Free};

struct InStream {
  ISeqInStream base;
  CLzmaCodec *codec;
};

struct OutStream {
  ISeqOutStream base;
  CLzmaCodec *codec;
  bool memoryFull;
};

SRes ReadIn(void *p, void *buf, size_t *size) {
  InStream *s = static_cast<InStream *>(p);
  int32_t want = static_cast<int32_t>(std::min<size_t>(*size, 1u << 30));
  int32_t n = s->codec->ReadSource(buf, want);
  if (n < 0) {
    *size = 0;
    return SZ_ERROR_READ;
  }
  *size = static_cast<size_t>(n);
  s->codec->m_uncompressed += static_cast<uint32_t>(n);
  return SZ_OK;
}

size_t WriteOut(void *p, const void *buf, size_t size) {
  OutStream *s = static_cast<OutStream *>(p);
  CLzmaCodec *c = s->codec;
  int32_t want = static_cast<int32_t>(size);
  if (c->m_sink.kind == CODEC_CHANNEL_MEMORY && c->MemoryOutputFree() < want) s->memoryFull = true;
  int32_t n = c->WriteSink(buf, want);
  if (n != want) return 0;  // anything short of all counts as nothing written
  c->m_compressed += size;
  return size;
}

class EncoderGuard {
 public:
  explicit EncoderGuard(CLzmaEncHandle enc) : m_enc(enc) {}
  ~EncoderGuard() { LzmaEnc_Destroy(m_enc, &g_alloc, &g_alloc); }

 private:
  CLzmaEncHandle m_enc;
};

}  // namespace

CLzmaCodec::CLzmaCodec() : m_expectedSize(-1), m_decoder(nullptr) {
  std::memset(m_props, 0, sizeof m_props);
  m_mode = LZMA_MODE_PROPS | LZMA_MODE_SIZE;
}

CLzmaCodec::~CLzmaCodec() { FreeDecoder(); }

void CLzmaCodec::FreeDecoder() {
  if (!m_decoder) return;
  LzmaDec_Free(static_cast<CLzmaDec *>(m_decoder), &g_alloc);
  std::free(m_decoder);
  m_decoder = nullptr;
}

void CLzmaCodec::Release() { FreeDecoder(); }

int CLzmaCodec::SetProperties(const uint8_t *bytes, int n) {
  if (n > 5) return 0;
  std::memset(m_props, 0, sizeof m_props);
  if (n > 0) std::memcpy(m_props, bytes, n);
  return 1;
}

void CLzmaCodec::FailWrite() {
  if (m_sink.kind == CODEC_CHANNEL_MEMORY && MemoryOutputFree() == 0) Fail(CODEC_ERR_DATA, kOverflow);
  Fail(CODEC_ERR_WRITE, kSaveError);
}

void CLzmaCodec::WriteHeader(const uint8_t *data, int32_t n) {
  if (WriteSink(data, n) != n) FailWrite();
  m_compressed += static_cast<uint32_t>(n);
}

uint64_t CLzmaCodec::Compress(int level) {
  ClampLevel(level);
  StartCall();
  CLzmaEncHandle enc = LzmaEnc_Create(&g_alloc);
  if (!enc) Fail(CODEC_ERR_MEMORY, kNoMemory);
  EncoderGuard guard(enc);
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.level = m_level;
  // One thread: the match finder's second thread waits on events, which under Wine are
  // round trips to the server; alone it packs a quarter faster.
  props.numThreads = 1;
  if (m_sizeHint && m_sizeHint < 0xFFFFFFFFu) props.reduceSize = static_cast<UInt32>(m_sizeHint);
  if (m_expectedSize < 0) {
    m_expectedSize = -1;
    props.writeEndMark = 1;
  }
  if (LzmaEnc_SetProps(enc, &props) != SZ_OK) Fail(CODEC_ERR_PARAM, kParam);
  if (m_mode & LZMA_MODE_ZIP_HEADER) {
    const uint8_t header[4] = {9, 20, 5, 0};  // SDK version 9.20, 5 property bytes
    WriteHeader(header, 4);
  }
  if (m_mode & LZMA_MODE_PROPS) {
    uint8_t encoded[LZMA_PROPS_SIZE];
    SizeT size = sizeof encoded;
    if (LzmaEnc_WriteProperties(enc, encoded, &size) != SZ_OK) Fail(CODEC_ERR_PARAM, kParam);
    WriteHeader(encoded, static_cast<int32_t>(size));
  }
  if (m_mode & LZMA_MODE_SIZE) {
    uint8_t size[8];
    for (int i = 0; i < 8; ++i) size[i] = static_cast<uint8_t>(static_cast<uint64_t>(m_expectedSize) >> (8 * i));
    WriteHeader(size, 8);
  }
  InStream in = {{ReadIn}, this};
  OutStream out = {{WriteOut}, this, false};
  SRes res = LzmaEnc_Encode(enc, &out.base, &in.base, nullptr, &g_alloc, &g_alloc);
  switch (res) {
    case SZ_OK: return m_compressed;
    case SZ_ERROR_MEM: Fail(CODEC_ERR_MEMORY, kNoMemory);
    case SZ_ERROR_PARAM: Fail(CODEC_ERR_PARAM, kParam);
    case SZ_ERROR_INPUT_EOF:
    case SZ_ERROR_READ: Fail(CODEC_ERR_READ, "Fehler beim Einlesen");
    case SZ_ERROR_OUTPUT_EOF:
    case SZ_ERROR_WRITE:
      if (out.memoryFull) Fail(CODEC_ERR_DATA, kOverflow);
      Fail(CODEC_ERR_WRITE, kSaveError);
    default: Fail(CODEC_ERR_FORMAT, kFormat);
  }
}

// Reads exactly n header bytes through the source (counted in its total only).
void CLzmaCodec::ReadHeader(uint8_t *dest, int32_t n) {
  int32_t got = 0;
  while (got < n) {
    int32_t r = ReadSource(dest + got, n - got);
    if (r <= 0) Fail(CODEC_ERR_READ, kReadError);
    got += r;
  }
}

uint64_t CLzmaCodec::Decompress(int mode) {
  if (mode == -2) mode = m_mode;
  StartCall();
  FreeDecoder();
  CLzmaDec *dec = static_cast<CLzmaDec *>(std::malloc(sizeof(CLzmaDec)));
  if (!dec) Fail(CODEC_ERR_MEMORY, kNoMemory);
  LzmaDec_Construct(dec);
  m_decoder = dec;

  uint32_t surplus = 0;
  if (mode & LZMA_MODE_ZIP_HEADER) {
    uint8_t header[4];
    ReadHeader(header, 4);
    uint32_t propsSize = header[2] | (header[3] << 8);
    if (propsSize < 5) Fail(CODEC_ERR_FORMAT, kFormat);
    surplus = propsSize - 5;
    mode |= LZMA_MODE_PROPS;
  }
  if (mode & LZMA_MODE_PROPS) {
    ReadHeader(m_props, 5);
    uint8_t skip[256];
    while (surplus > 0) {
      int32_t k = static_cast<int32_t>(std::min<uint32_t>(surplus, sizeof skip));
      ReadHeader(skip, k);
      surplus -= k;
    }
  }
  if (mode & LZMA_MODE_SIZE) {
    uint8_t size[8];
    ReadHeader(size, 8);
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | size[i];
    m_expectedSize = static_cast<int64_t>(v);
    if (m_expectedSize < 0) m_expectedSize = -1;
  }
  const int64_t expected = m_expectedSize;

  // The dictionary need not be larger than the data: a small entry from a big-dictionary
  // encoder gets a small buffer (nothing can reach back beyond the output so far).
  CLzmaProps lp;
  if (LzmaProps_Decode(&lp, m_props, LZMA_PROPS_SIZE) != SZ_OK) Fail(CODEC_ERR_FORMAT, kFormat);
  SRes res;
  if (expected >= 0 && static_cast<uint64_t>(expected) < lp.dicSize) {
    res = LzmaDec_AllocateProbs(dec, m_props, LZMA_PROPS_SIZE, &g_alloc);
    if (res == SZ_OK) {
      SizeT size = std::max<SizeT>(static_cast<SizeT>(expected), 1 << 12);
      dec->dic = static_cast<Byte *>(std::malloc(size));
      dec->dicBufSize = size;
      if (!dec->dic) res = SZ_ERROR_MEM;
    }
  } else {
    res = LzmaDec_Allocate(dec, m_props, LZMA_PROPS_SIZE, &g_alloc);
  }
  if (res == SZ_ERROR_MEM) Fail(CODEC_ERR_MEMORY, kNoMemory);
  if (res != SZ_OK) Fail(CODEC_ERR_FORMAT, kFormat);
  LzmaDec_Init(dec);
  if (!PrepareInputBuffer(kInputBuffer)) Fail(CODEC_ERR_MEMORY, kNoMemory);

  for (;;) {
    const SizeT start = dec->dicPos;
    const SizeT limit = std::min(dec->dicBufSize, start + kStep);
    ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
    bool stalled = false, sizeReached = false;
    res = SZ_OK;
    for (;;) {
      if (m_inBuf.pos >= m_inBuf.fill) {
        if (FillInput(1024) == 0 && !m_inBuf.ended) Fail(CODEC_ERR_READ, kReadError);
      }
      SizeT dicLimit = limit;
      ELzmaFinishMode finish = LZMA_FINISH_ANY;
      if (expected >= 0) {
        uint64_t left = static_cast<uint64_t>(expected) - m_uncompressed - (dec->dicPos - start);
        if (left <= limit - dec->dicPos) {
          dicLimit = dec->dicPos + static_cast<SizeT>(left);
          finish = LZMA_FINISH_END;
        }
      }
      SizeT inLen = static_cast<SizeT>(m_inBuf.fill - m_inBuf.pos);
      const SizeT before = dec->dicPos;
      res = LzmaDec_DecodeToDic(dec, dicLimit, m_inBuf.data + m_inBuf.pos, &inLen, finish, &status);
      m_inBuf.pos += static_cast<int32_t>(inLen);
      m_compressed += inLen;
      if (res != SZ_OK) break;
      if (expected >= 0 && m_uncompressed + (dec->dicPos - start) >= static_cast<uint64_t>(expected)) {
        sizeReached = true;
        break;
      }
      if (dec->dicPos >= limit) break;
      if (status == LZMA_STATUS_FINISHED_WITH_MARK || (inLen == 0 && dec->dicPos == before)) {
        stalled = true;
        break;
      }
    }
    const int32_t produced = static_cast<int32_t>(dec->dicPos - start);
    if (produced > 0) {
      int32_t w = WriteSink(dec->dic + start, produced);
      if (w > 0) m_uncompressed += static_cast<uint32_t>(std::min(w, produced));
      if (w != produced) FailWrite();
    }
    if (dec->dicPos >= dec->dicBufSize) dec->dicPos = 0;
    if (res != SZ_OK) Fail(CODEC_ERR_FORMAT, kFormat);
    if (sizeReached) break;
    if (stalled) {
      if (status != LZMA_STATUS_FINISHED_WITH_MARK) Fail(CODEC_ERR_FORMAT, kFormat);
      break;
    }
  }
  FinalEmptyWrite();
  return m_uncompressed;
}
