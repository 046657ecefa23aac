// xz streams through the LZMA SDK 9.22. Our stream callbacks never throw; they report by
// result, and failures are raised after the SDK has returned.
#include "zip/XzCodec.h"

extern "C" {
#include <7zCrc.h>
#include <Xz.h>
#include <XzCrc64.h>
#include <XzEnc.h>
}

#include <algorithm>
#include <cstdlib>

namespace {

const char kOverflow[] = "Fehler Speicherüberlauf des Ausgabepuffers";
const int32_t kInputSize = 32768;
const int32_t kOutputSize = 2 * 1024 * 1024;
const int kMaxIdle = 16;

void *Alloc(void *, size_t size) { return size ? std::malloc(size) : nullptr; }
void Free(void *, void *address) { std::free(address); }
ISzAlloc g_alloc = {Alloc, Free};

// The SDK's CRC tables, built once per process before the first xz call.
void EnsureTables() {
  static const bool built = (CrcGenerateTable(), Crc64GenerateTable(), true);
  (void)built;
}

struct InStream {
  ISeqInStream base;
  CCodec *codec;
  SRes failure;  // the SDK reports every failed read as SZ_ERROR_READ; keep ours
};

struct OutStream {
  ISeqOutStream base;
  CCodec *codec;
  bool memoryFull;
};

struct Progress {
  ICompressProgress base;
  CCodec *codec;
};

SRes ReadIn(void *p, void *buf, size_t *size) {
  InStream *s = static_cast<InStream *>(p);
  CCodec *c = s->codec;
  int32_t n = c->ReadSource(buf, static_cast<int32_t>(std::min<size_t>(*size, 1u << 30)));
  if (n < 0) {
    *size = 0;
    s->failure = c->m_source.total > 0 ? SZ_ERROR_INPUT_EOF : SZ_ERROR_READ;
    return s->failure;
  }
  *size = static_cast<size_t>(n);
  return SZ_OK;
}

size_t WriteOut(void *p, const void *buf, size_t size) {
  OutStream *s = static_cast<OutStream *>(p);
  CCodec *c = s->codec;
  int32_t want = static_cast<int32_t>(size);
  if (c->m_sink.kind == CODEC_CHANNEL_MEMORY && c->MemoryOutputFree() < want) s->memoryFull = true;
  int32_t n = c->WriteSink(buf, want);
  return n == want ? size : 0;  // a short write counts as nothing written
}

SRes OnProgress(void *p, UInt64 inSize, UInt64 outSize) {
  CCodec *c = static_cast<Progress *>(p)->codec;
  if (inSize != static_cast<UInt64>(-1)) c->m_uncompressed = inSize;
  if (outSize != static_cast<UInt64>(-1)) c->m_compressed = outSize;
  return SZ_OK;
}

// The unpacker and the buffers of one decompression.
class UnpackCall {
 public:
  UnpackCall() { XzUnpacker_Construct(&m_unpacker, &g_alloc); }
  ~UnpackCall() {
    XzUnpacker_Free(&m_unpacker);
    std::free(m_ownIn);
    std::free(m_ownOut);
  }
  CXzUnpacker m_unpacker;
  uint8_t *m_ownIn = nullptr;
  uint8_t *m_ownOut = nullptr;
};

}  // namespace

void XzErrorText(CCodec *codec, int result) {
  int cls;
  const char *text;
  switch (result) {
    case SZ_OK: return;
    case SZ_ERROR_DATA: cls = 3; text = "Datenfehler"; break;
    case SZ_ERROR_MEM: cls = 7; text = "Zuwenig Speicher"; break;
    case SZ_ERROR_CRC: cls = 6; text = "Flasche CRC-Summe"; break;
    case SZ_ERROR_UNSUPPORTED: cls = 3; text = "Funktion wird nicht unterstützt"; break;
    case SZ_ERROR_PARAM: cls = 3; text = "Falscher Parameter"; break;
    case SZ_ERROR_INPUT_EOF: cls = 4; text = "Ende der Eingabe erreicht"; break;
    case SZ_ERROR_OUTPUT_EOF: cls = 2; text = "Ende der Ausgabe erreicht"; break;
    case SZ_ERROR_READ: cls = 1; text = "Lesefehler"; break;
    case SZ_ERROR_WRITE: cls = 2; text = "Schreibfehler"; break;
    case SZ_ERROR_NO_ARCHIVE: cls = 6; text = "Falsches Archivformat"; break;
    default: cls = 6; text = "Unbekannter XZ Fehler"; break;
  }
  codec->m_errorClass = cls;
  throw text;
}

CXzCodec::CXzCodec() {}

CXzCodec::~CXzCodec() {}

void CXzCodec::Release() { CCodec::Reset(2); }

uint64_t CXzCodec::Compress(int level) {
  ClampLevel(level);
  StartCall();
  m_flags = 0;
  m_mode = 8;
  EnsureTables();
  CLzma2EncProps lzma2;
  Lzma2EncProps_Init(&lzma2);
  CXzProps props;
  XzProps_Init(&props);
  props.lzma2Props = &lzma2;
  InStream in = {{ReadIn}, this, SZ_OK};
  OutStream out = {{WriteOut}, this, false};
  Progress progress = {{OnProgress}, this};
  SRes res = Xz_Encode(&out.base, &in.base, &props, &progress.base);
  if (res == SZ_ERROR_WRITE && out.memoryFull) Fail(CODEC_ERR_DATA, kOverflow);
  if (res != SZ_OK && in.failure != SZ_OK) res = in.failure;
  XzErrorText(this, res);
  m_uncompressed = m_source.total;
  m_compressed = m_sink.total;
  return m_compressed;
}

uint64_t CXzCodec::Decompress(int) {
  StartCall();
  EnsureTables();
  const bool memorySource = m_source.kind == CODEC_CHANNEL_MEMORY;
  const bool memorySink = m_sink.kind == CODEC_CHANNEL_MEMORY;
  UnpackCall call;
  if (!memorySource && !(call.m_ownIn = static_cast<uint8_t *>(std::malloc(kInputSize))))
    XzErrorText(this, SZ_ERROR_MEM);
  if (!memorySink && !(call.m_ownOut = static_cast<uint8_t *>(std::malloc(kOutputSize))))
    XzErrorText(this, SZ_ERROR_MEM);
  XzUnpacker_Init(&call.m_unpacker);

  const uint8_t *in = call.m_ownIn;
  int32_t inLen = 0, inPos = 0;
  int idle = 0;
  SRes res = SZ_OK;
  uint8_t spare[16];
  for (;;) {
    bool srcFinished = false;
    if (inPos >= inLen) {
      inPos = inLen = 0;
      if (memorySource) {
        inLen = TakeMemoryInput(&in, kInputSize);
      } else {
        // Gather at least half a buffer per refill: the unpacker is called less often.
        while (inLen < kInputSize / 2) {
          int32_t n = ReadSource(call.m_ownIn + inLen, kInputSize - inLen);
          if (n < 0) XzErrorText(this, SZ_ERROR_READ);
          if (n == 0) break;
          inLen += n;
        }
      }
      m_compressed += static_cast<uint32_t>(inLen);
      srcFinished = inLen == 0;
    }
    // A full memory sink gets a scratch area: anything the unpacker puts there overflows.
    uint8_t *dest = call.m_ownOut;
    SizeT destLen = kOutputSize;
    bool scratch = false;
    if (memorySink) {
      destLen = static_cast<SizeT>(MemoryOutputFree());
      dest = MemoryOutputPtr();
      if (destLen == 0) {
        dest = spare;
        destLen = sizeof spare;
        scratch = true;
      }
    }
    SizeT srcLen = static_cast<SizeT>(inLen - inPos);
    ECoderStatus status = CODER_STATUS_NOT_SPECIFIED;
    res = XzUnpacker_Code(&call.m_unpacker, dest, &destLen, in + inPos, &srcLen,
                          srcFinished ? CODER_FINISH_END : CODER_FINISH_ANY, &status);
    inPos += static_cast<int32_t>(srcLen);
    if (destLen > 0) {
      if (scratch) Fail(CODEC_ERR_DATA, kOverflow);
      int32_t n = static_cast<int32_t>(destLen);
      if (memorySink) {
        CommitMemoryOutput(n);
        m_uncompressed += static_cast<uint32_t>(n);
      } else {
        int32_t w = WriteSink(dest, n);
        if (w > 0) m_uncompressed += static_cast<uint32_t>(std::min(w, n));
        if (w != n) XzErrorText(this, SZ_ERROR_WRITE);  // never report a short write as success
      }
    }
    if (res != SZ_OK) break;
    if (srcLen > 0 || destLen > 0) {
      idle = 0;
      continue;
    }
    if (srcFinished) {
      // No input left and no progress: complete only if the stream was.
      res = XzUnpacker_IsStreamWasFinished(&call.m_unpacker) || status == CODER_STATUS_FINISHED_WITH_MARK
                ? SZ_OK
                : SZ_ERROR_DATA;
      break;
    }
    if (status == CODER_STATUS_NOT_FINISHED) {
      if (++idle <= kMaxIdle) continue;
      // The unpacker stalls: accept only zero padding shorter than a stream header.
      int32_t rest = inLen - inPos;
      res = (rest > 4 && rest < 64 && in[inPos] == 0) ? SZ_OK : SZ_ERROR_FAIL;
      break;
    }
    if (status == CODER_STATUS_NEEDS_MORE_INPUT) {
      if (!srcFinished) continue;
      res = XzUnpacker_IsStreamWasFinished(&call.m_unpacker) ? SZ_OK : SZ_ERROR_DATA;
      break;
    }
    res = status == CODER_STATUS_FINISHED_WITH_MARK ? SZ_OK : SZ_ERROR_FAIL;
    break;
  }
  XzErrorText(this, res);
  return m_uncompressed;
}
