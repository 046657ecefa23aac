// bzip2 through libbzip2 (built with unwind tables; nothing of ours runs inside it).
#include "zip/Bz2Codec.h"

#include <bzlib.h>

#include <cstdlib>
#include <cstring>

#include "zip/CodecWindow.h"

namespace {

const int32_t kReadSize = 8192;
const int32_t kInputSize = 8208;
const char kReadError[] = "Fehler beim Lesen";
const char kWriteError[] = "Fehler beim Schreiben in die Datei";
const char kOverflow[] = "Fehler Speicherüberlauf des Ausgabepuffers";
const char kNoMemory[] = "Zu wenig Speicher";
const char kInitError[] = "Fehler bei Initialisierung";
const char kBadData[] = "Ungültiges BZIP Format";

void OpenWindow(COutWindow &win, bz_stream &bz) {
  win.Open();
  bz.next_out = reinterpret_cast<char *>(win.Base());
  bz.avail_out = win.Size();
}

class CompressEnd {
 public:
  explicit CompressEnd(bz_stream *bz) : m_bz(bz) {}
  ~CompressEnd() { BZ2_bzCompressEnd(m_bz); }

 private:
  bz_stream *m_bz;
};

class DecompressEnd {
 public:
  explicit DecompressEnd(bz_stream *bz) : m_bz(bz) {}
  ~DecompressEnd() { BZ2_bzDecompressEnd(m_bz); }

 private:
  bz_stream *m_bz;
};

}  // namespace

CBz2Codec::CBz2Codec() : m_bz(nullptr), m_input(nullptr) {}

CBz2Codec::~CBz2Codec() { FreeOwn(); }

void CBz2Codec::FreeOwn() {
  std::free(m_bz);
  std::free(m_input);
  m_bz = nullptr;
  m_input = nullptr;
}

void CBz2Codec::Release() {
  FreeOwn();
  CCodec::Reset(2);
}

bool CBz2Codec::PrepareRecord() {
  if (!m_bz) m_bz = std::malloc(sizeof(bz_stream));
  if (!m_input) m_input = static_cast<uint8_t *>(std::malloc(kInputSize));
  if (!m_bz || !m_input) return false;
  std::memset(m_bz, 0, sizeof(bz_stream));  // default allocator, counts 0
  return true;
}

uint64_t CBz2Codec::Compress(int level) {
  ClampLevel(level);
  StartCall();
  m_flags &= ~CODEC_FLAG_LARGER;
  uint8_t *work = nullptr;
  if (!PrepareRecord()) Fail(CODEC_ERR_MEMORY, kNoMemory);
  if (m_sink.kind != CODEC_CHANNEL_MEMORY && !(work = GetWorkBuffer())) Fail(CODEC_ERR_MEMORY, kNoMemory);
  bz_stream &bz = *static_cast<bz_stream *>(m_bz);
  if (BZ2_bzCompressInit(&bz, m_level ? m_level : 1, 0, 0) != BZ_OK) Fail(CODEC_ERR_FORMAT, kInitError);
  CompressEnd end(&bz);
  COutWindow win(*this, work);
  OpenWindow(win, bz);
  int action = BZ_RUN;
  for (;;) {
    if (bz.avail_in == 0 && action == BZ_RUN) {
      const uint8_t *in = nullptr;
      int32_t n = NextInput(&in, m_input, kReadSize, kReadError);
      if (n == 0) action = BZ_FINISH;
      m_uncompressed += static_cast<uint32_t>(n);
      bz.next_in = reinterpret_cast<char *>(const_cast<uint8_t *>(in));
      bz.avail_in = static_cast<unsigned>(n);
    }
    if (bz.avail_out == 0) {
      EmitWindow(win, bz.avail_out, m_compressed, kWriteError, kOverflow);
      OpenWindow(win, bz);
    }
    int ret = BZ2_bzCompress(&bz, action);
    if (ret < 0) Fail(CODEC_ERR_FORMAT, "Fehler beim Komprmieren");
    if (win.Scratch() && win.Pending(bz.avail_out) > 0) Fail(CODEC_ERR_DATA, kOverflow);
    if (ret == BZ_STREAM_END) {
      EmitWindow(win, bz.avail_out, m_compressed, kWriteError, kOverflow);
      break;
    }
  }
  if (m_compressed > m_uncompressed) m_flags |= CODEC_FLAG_LARGER;
  return m_compressed;
}

uint64_t CBz2Codec::Decompress(int mode) {
  if (mode == -2) mode = m_mode;
  StartCall();
  if (mode == 0) {
    StoredCopy();
    return m_uncompressed;
  }
  if (mode != 8) Fail(CODEC_ERR_INIT, "Falscher Modus beim Entkomprimieren !");
  uint8_t *work = nullptr;
  if (!PrepareRecord()) Fail(CODEC_ERR_MEMORY, kNoMemory);
  if (m_sink.kind != CODEC_CHANNEL_MEMORY && !(work = GetWorkBuffer())) Fail(CODEC_ERR_MEMORY, kNoMemory);
  bz_stream &bz = *static_cast<bz_stream *>(m_bz);
  if (BZ2_bzDecompressInit(&bz, 0, 0) != BZ_OK) Fail(CODEC_ERR_FORMAT, kInitError);
  DecompressEnd end(&bz);
  COutWindow win(*this, work);
  OpenWindow(win, bz);
  bool ended = false;
  for (;;) {
    if (bz.avail_in == 0 && !ended) {
      const uint8_t *in = nullptr;
      int32_t n = NextInput(&in, m_input, kReadSize, kReadError);
      if (n == 0) ended = true;
      m_compressed += static_cast<uint32_t>(n);
      bz.next_in = reinterpret_cast<char *>(const_cast<uint8_t *>(in));
      bz.avail_in = static_cast<unsigned>(n);
    }
    if (bz.avail_out == 0) OpenWindow(win, bz);
    const unsigned inBefore = bz.avail_in, outBefore = bz.avail_out;
    int ret = BZ2_bzDecompress(&bz);
    EmitWindow(win, bz.avail_out, m_uncompressed, kWriteError, kOverflow);
    // The stream's end marker ends decoding, whatever input may follow it.
    if (ret == BZ_STREAM_END) break;
    if (ret != BZ_OK) Fail(CODEC_ERR_FORMAT, kBadData);
    // The source has ended and the library can make no more progress: the stream was cut.
    if (ended && bz.avail_in == inBefore && bz.avail_out == outBefore) Fail(CODEC_ERR_FORMAT, kBadData);
  }
  return m_uncompressed;
}
