// Stored copy, raw deflate/inflate through zlib and Deflate64 through inflateBack9.
// zlib is built without unwind tables: nothing may be thrown while a zlib frame is live,
// so every failure is raised after the library call has returned.
#include "zip/DeflateCodec.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

#include "zip/CodecWindow.h"
#include "zip/InfBack9.h"

namespace {

const char kReadError[] = "Fehler beim Lesen aus Datei !";
const char kWriteError[] = "Fehler beim Schreiben in Datei !";
const char kOverflow[] = "Fehler Speicherüberlauf des Ausgabepuffers";
const char kNoMemory[] = "Zu wenig Speicher";
const char kInitError[] = "Initialisierungsfehler";
const char kBadData[] = "Ungüldige Huffmann-Tabelle !";
const int32_t kWindow64 = 65536 + 8;

void OpenWindow(COutWindow &win, z_stream &zs) {
  win.Open();
  zs.next_out = win.Base();
  zs.avail_out = win.Size();
}

// Ends the zlib stream on every way out.
class DeflateEnd {
 public:
  explicit DeflateEnd(z_stream &zs) : m_zs(zs) {}
  ~DeflateEnd() { deflateEnd(&m_zs); }

 private:
  z_stream &m_zs;
};

class InflateEnd {
 public:
  explicit InflateEnd(z_stream &zs) : m_zs(zs) {}
  ~InflateEnd() { inflateEnd(&m_zs); }

 private:
  z_stream &m_zs;
};

}  // namespace

CDeflateCodec::CDeflateCodec() : m_deflate64Failure(-1) {}

CDeflateCodec::~CDeflateCodec() {}

void CDeflateCodec::Release() { CCodec::Reset(2); }

uint64_t CDeflateCodec::Compress(int level) {
  ClampLevel(level);
  StartCall();
  m_mode = m_level ? 8 : 0;
  m_flags = 0;
  if (m_level == 0) {
    m_flags |= CODEC_FLAG_STORED;
    StoredCopy();
    return m_compressed;
  }
  uint8_t *work = nullptr;
  if (m_sink.kind != CODEC_CHANNEL_MEMORY && !(work = GetWorkBuffer())) Fail(CODEC_ERR_MEMORY, kNoMemory);

  z_stream zs = {};
  if (deflateInit2(&zs, m_level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    deflateEnd(&zs);
    Fail(CODEC_ERR_INIT, kInitError);
  }
  DeflateEnd end(zs);
  COutWindow win(*this, work);
  OpenWindow(win, zs);
  uint8_t input[CODEC_WORK_SIZE];
  bool finishing = false;
  for (;;) {
    const uint8_t *in = nullptr;
    int32_t n = NextInput(&in, input, sizeof input, kReadError);
    m_uncompressed += static_cast<uint32_t>(n);
    if (n == 0) finishing = true;
    zs.next_in = const_cast<Bytef *>(in);
    zs.avail_in = static_cast<uInt>(n);
    const int flush = finishing ? Z_FINISH : Z_NO_FLUSH;
    for (;;) {
      if (zs.avail_out == 0) {
        EmitWindow(win, zs.avail_out, m_compressed, kWriteError, kOverflow);
        OpenWindow(win, zs);
      }
      int ret = deflate(&zs, flush);
      if (ret == Z_STREAM_ERROR) Fail(CODEC_ERR_FORMAT, "Fehler beim Komprimieren");
      if (ret == Z_STREAM_END) {
        EmitWindow(win, zs.avail_out, m_compressed, kWriteError, kOverflow);
        if (m_compressed > m_uncompressed) m_flags |= CODEC_FLAG_LARGER;
        FinalEmptyWrite();
        return m_compressed;
      }
      if (win.Scratch() && win.Pending(zs.avail_out) > 0) Fail(CODEC_ERR_DATA, kOverflow);
      if (zs.avail_out != 0) {
        // Without Z_FINISH, deflate stops short of a full window only when the input is used up.
        if (finishing || zs.avail_in != 0) Fail(CODEC_ERR_FORMAT, "Fehler beim Komprimieren");
        break;
      }
    }
  }
}

uint64_t CDeflateCodec::Decompress(int mode) {
  if (mode == -2) mode = m_mode;
  StartCall();
  switch (mode) {
    case 0:
      m_flags |= CODEC_FLAG_STORED;
      StoredCopy();
      return m_uncompressed;
    case 8:
      return Inflate();
    case 9:
      return Inflate64();
    default:
      // Methods 1 to 7 (shrink, reduce, implode) are not deflate: never hand them to inflate.
      Fail(CODEC_ERR_INIT, "Falscher Modus beim Entkomprimieren !");
  }
}

uint64_t CDeflateCodec::Inflate() {
  uint8_t *work = nullptr;
  if (m_sink.kind != CODEC_CHANNEL_MEMORY && !(work = GetWorkBuffer())) Fail(CODEC_ERR_MEMORY, kNoMemory);
  z_stream zs = {};
  if (inflateInit2(&zs, -15) != Z_OK) {
    inflateEnd(&zs);
    Fail(CODEC_ERR_INIT, kInitError);
  }
  InflateEnd end(zs);
  COutWindow win(*this, work);
  OpenWindow(win, zs);
  uint8_t input[CODEC_WORK_SIZE];
  bool ended = false;
  for (;;) {
    if (zs.avail_in == 0 && !ended) {
      const uint8_t *in = nullptr;
      int32_t n = NextInput(&in, input, sizeof input, kReadError);
      if (n == 0) ended = true;
      m_compressed += static_cast<uint32_t>(n);
      zs.next_in = const_cast<Bytef *>(in);
      zs.avail_in = static_cast<uInt>(n);
    }
    if (zs.avail_out == 0) OpenWindow(win, zs);
    int ret = inflate(&zs, Z_SYNC_FLUSH);
    EmitWindow(win, zs.avail_out, m_uncompressed, kWriteError, kOverflow);
    if (ret == Z_STREAM_END) break;
    if (ret != Z_OK) Fail(CODEC_ERR_FORMAT, kBadData);
  }
  FinalEmptyWrite();
  return m_uncompressed;
}

namespace {

// Owns the Deflate64 window and decoder state for one call.
class Deflate64Call {
 public:
  Deflate64Call() : m_window(static_cast<unsigned char *>(std::malloc(kWindow64))), m_zs() {
    m_ok = m_window && inflateBack9Init_(&m_zs, m_window, ZLIB_VERSION, static_cast<int>(sizeof(z_stream))) == Z_OK;
  }
  ~Deflate64Call() {
    if (m_ok) inflateBack9End(&m_zs);
    std::free(m_window);
  }
  bool Ok() const { return m_ok; }
  z_stream &Stream() { return m_zs; }

 private:
  unsigned char *m_window;
  z_stream m_zs;
  bool m_ok = false;
};

}  // namespace

uint64_t CDeflateCodec::Inflate64() {
  m_deflate64Failure = -1;
  const bool memorySource = m_source.kind == CODEC_CHANNEL_MEMORY;
  // Get the work buffer now: the input callback must not fail for want of it.
  if (!memorySource && !GetWorkBuffer()) Fail(CODEC_ERR_MEMORY, kNoMemory);
  int ret;
  {
    Deflate64Call call;
    if (!call.Ok()) Fail(CODEC_ERR_MEMORY, kNoMemory);
    z_stream &zs = call.Stream();
    if (memorySource) {
      const uint8_t *in;
      int32_t n = TakeMemoryInput(&in, -1);
      m_compressed += static_cast<uint32_t>(n);
      zs.next_in = const_cast<Bytef *>(in);
      zs.avail_in = static_cast<uInt>(n);
    }
    ret = inflateBack9(&zs, Deflate64In, this, Deflate64Out, this);
  }
  m_uncompressed = m_sink.total;
  m_compressed = m_source.total;
  if (ret == Z_STREAM_END) return m_uncompressed;
  if (ret == Z_MEM_ERROR) Fail(CODEC_ERR_MEMORY, kNoMemory);
  if (ret == Z_BUF_ERROR && m_deflate64Failure == 2) Fail(CODEC_ERR_DATA, kOverflow);
  if (ret == Z_BUF_ERROR && m_deflate64Failure == 1) Fail(CODEC_ERR_WRITE, kWriteError);
  if (ret == Z_BUF_ERROR && m_deflate64Failure == 0) Fail(CODEC_ERR_READ, kReadError);
  Fail(CODEC_ERR_FORMAT, kBadData);
}

unsigned CDeflateCodec::Deflate64In(void *self, unsigned char **data) {
  CDeflateCodec *c = static_cast<CDeflateCodec *>(self);
  if (c->m_source.kind == CODEC_CHANNEL_MEMORY) {
    const uint8_t *in;
    int32_t n = c->TakeMemoryInput(&in, -1);
    *data = const_cast<unsigned char *>(in);
    c->m_compressed += static_cast<uint32_t>(n);
    return static_cast<unsigned>(n);
  }
  uint8_t *work = c->GetWorkBuffer();
  int32_t n = work ? c->ReadSource(work, CODEC_WORK_SIZE) : -1;
  if (n < 0) {
    c->m_deflate64Failure = 0;
    return 0;
  }
  *data = work;
  c->m_compressed += static_cast<uint32_t>(n);
  return static_cast<unsigned>(n);
}

int CDeflateCodec::Deflate64Out(void *self, unsigned char *data, unsigned length) {
  CDeflateCodec *c = static_cast<CDeflateCodec *>(self);
  if (length == 0) return 0;
  int32_t n = static_cast<int32_t>(length);
  if (c->m_sink.kind == CODEC_CHANNEL_MEMORY && c->MemoryOutputFree() < n) {
    // Take what fits (never beyond the block), then report the overflow.
    c->WriteSink(data, c->MemoryOutputFree());
    c->m_uncompressed = c->m_sink.total;
    c->m_deflate64Failure = 2;
    return 1;
  }
  int32_t w = c->WriteSink(data, n);
  c->m_uncompressed = c->m_sink.total;
  if (w != n) {
    c->m_deflate64Failure = 1;
    return 1;
  }
  return 0;
}
