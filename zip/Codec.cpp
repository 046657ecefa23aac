// The codec base: defaults, reset, facts and the failure helper.
#include "zip/Codec.h"

#include <algorithm>

#include "zip/CodecWindow.h"

const char *const kCodecTextUnsupported = "Die Funktion wird nicht unterstützt";

CCodec::CCodec()
    : m_uncompressed(0), m_compressed(0), m_flags(0), m_level(9), m_errorClass(0), m_mode(8) {}

CCodec::~CCodec() {}

void CCodec::Reset(int mode) {
  CCodecStream::Reset(mode);
  if (mode != 2) {
    m_uncompressed = m_compressed = 0;
    m_flags = 0;
    m_level = 9;
    m_errorClass = 0;
    m_mode = 8;
  }
}

uint64_t CCodec::GetInfo(int kind) const {
  switch (kind) {
    case 0:
    case 2: return static_cast<uint64_t>(static_cast<int64_t>(m_level));
    case 1: return m_flags;
    case 5: return m_compressed;
    case 6: return m_uncompressed;
    default: return CCodecStream::GetInfo(kind);
  }
}

uint32_t CCodec::GetInfo32(int kind) const {
  switch (kind) {
    case 0:
    case 2: return static_cast<uint32_t>(m_level);
    case 1: return m_flags;
    case 5: return static_cast<uint32_t>(m_compressed);
    case 6: return static_cast<uint32_t>(m_uncompressed);
    case 9: return static_cast<uint32_t>(m_compressed >> 32);
    case 10: return static_cast<uint32_t>(m_uncompressed >> 32);
    default: return CCodecStream::GetInfo32(kind);
  }
}

void CCodec::Fail(int errorClass, const char *text) {
  m_errorClass = errorClass;
  throw text;
}

int CCodec::ClampLevel(int level, int lo, int hi) {
  if (level != -1) m_level = level;
  if (m_level < lo) m_level = lo;
  if (m_level > hi) m_level = hi;
  return m_level;
}

void CCodec::StartCall() {
  m_uncompressed = m_compressed = 0;
  m_sink.total = m_source.total = 0;
  m_errorClass = 0;
}

void CCodec::StoredCopy() {
  if (m_sink.kind == CODEC_CHANNEL_MEMORY) {
    const int32_t start = m_sink.memPos;
    for (;;) {
      if (MemoryOutputFree() <= 0) {
        // The block is full: any further byte means the data does not fit.
        uint8_t probe[4];
        int32_t n = ReadSource(probe, sizeof probe);
        m_uncompressed = m_compressed = static_cast<uint64_t>(m_sink.memPos - start);
        if (n > 0) Fail(CODEC_ERR_DATA, "Fehler Speicherüberlauf des Ausgabepuffers");
        if (n < 0) Fail(CODEC_ERR_READ, "Fehler beim Lesen");
        return;
      }
      int32_t n = ReadIntoOutputMemory();
      m_uncompressed = m_compressed = static_cast<uint64_t>(m_sink.memPos - start);
      if (n == 0) return;
      if (n < 0) Fail(CODEC_ERR_READ, "Fehler beim Lesen");
    }
  }
  uint8_t *work = GetWorkBuffer();
  if (!work) Fail(CODEC_ERR_MEMORY, "Zu wenig Speicher");
  for (;;) {
    int32_t n = ReadSource(work, CODEC_WORK_SIZE);
    if (n == 0) return;
    if (n < 0) Fail(CODEC_ERR_READ, "Fehler beim Lesen");
    int32_t w = WriteSink(work, n);
    if (w > 0) {
      m_uncompressed += static_cast<uint32_t>(std::min(w, n));
      m_compressed += static_cast<uint32_t>(std::min(w, n));
    }
    if (w != n) Fail(CODEC_ERR_WRITE, "Fehler beim Schreiben in die Datei");
  }
}

int32_t CCodec::NextInput(const uint8_t **data, uint8_t *buffer, int32_t length, const char *readError) {
  *data = buffer;
  if (m_source.kind == CODEC_CHANNEL_MEMORY) return TakeMemoryInput(data, -1);
  int32_t n = ReadSource(buffer, length);
  if (n < 0) Fail(CODEC_ERR_READ, readError);
  return n;
}

void CCodec::EmitWindow(COutWindow &win, uint32_t availOut, uint64_t &count, const char *writeError,
                        const char *overflow) {
  int e = win.Emit(availOut, count);
  if (e == CODEC_EMIT_SHORT) Fail(CODEC_ERR_WRITE, writeError);
  if (e == CODEC_EMIT_OVERFLOW) Fail(CODEC_ERR_DATA, overflow);
}
