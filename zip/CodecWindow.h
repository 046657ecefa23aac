// The output window a compression library writes into: the memory sink's free space in
// place, or the work buffer for every other sink. Used by the deflate and bzip2 codecs.
#pragma once
#include <algorithm>

#include "zip/Codec.h"

enum { CODEC_EMIT_OK = 0, CODEC_EMIT_SHORT = 2, CODEC_EMIT_OVERFLOW = 3 };

class COutWindow {
 public:
  // work: the codec's work buffer (CODEC_WORK_SIZE bytes); unused for a memory sink.
  COutWindow(CCodec &codec, uint8_t *work)
      : m_codec(codec), m_work(work), m_memory(codec.m_sink.kind == CODEC_CHANNEL_MEMORY) {}

  // Starts a new window; hand Base() and Size() to the library. A full memory sink gets a
  // tiny scratch area instead, so the library can still tell whether anything more comes:
  // any byte landing there is an overflow.
  void Open() {
    m_scratch = false;
    if (m_memory) {
      m_size = m_codec.MemoryOutputFree();
      m_base = m_codec.MemoryOutputPtr();
      if (m_size <= 0) {
        m_scratch = true;
        m_base = m_spare;
        m_size = sizeof m_spare;
      }
    } else {
      m_base = m_work;
      m_size = CODEC_WORK_SIZE;
    }
    m_emitted = 0;
  }
  uint8_t *Base() const { return m_base; }
  uint32_t Size() const { return static_cast<uint32_t>(m_size); }
  bool Scratch() const { return m_scratch; }
  // Bytes produced and not yet emitted, given the library's remaining output space.
  int32_t Pending(uint32_t availOut) const { return m_size - static_cast<int32_t>(availOut) - m_emitted; }

  // Hands the pending bytes to the sink and adds them to count. CODEC_EMIT_OK,
  // CODEC_EMIT_SHORT (the sink took less) or CODEC_EMIT_OVERFLOW (bytes beyond a full block).
  int Emit(uint32_t availOut, uint64_t &count) {
    int32_t n = Pending(availOut);
    if (n <= 0) return CODEC_EMIT_OK;
    if (m_scratch) return CODEC_EMIT_OVERFLOW;
    if (m_memory) {
      m_codec.CommitMemoryOutput(n);
      count += static_cast<uint32_t>(n);
    } else {
      int32_t w = m_codec.WriteSink(m_base + m_emitted, n);
      if (w > 0) count += static_cast<uint32_t>(std::min(w, n));
      if (w != n) return CODEC_EMIT_SHORT;
    }
    m_emitted += n;
    return CODEC_EMIT_OK;
  }

 private:
  CCodec &m_codec;
  uint8_t *m_work;
  bool m_memory;
  bool m_scratch = false;
  uint8_t *m_base = nullptr;
  int32_t m_size = 0;
  int32_t m_emitted = 0;
  uint8_t m_spare[8];
};
