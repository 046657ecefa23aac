// Helpers for the codec tests: reproducible data, temporary files and collecting sinks.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace codectest {

typedef std::vector<uint8_t> Bytes;

// n bytes of xorshift32 noise (the same sequence as the Python generator in the tests).
Bytes Noise(size_t n, uint32_t seed = 0x12345678u);
// n bytes of German-ish text with repeats: compresses well.
Bytes Text(size_t n);
// Half text, half noise, interleaved in 4 KiB runs.
Bytes Mixed(size_t n);

// A temporary file path that is deleted with the object.
class TempFile {
 public:
  TempFile();
  ~TempFile();
  const std::string &Path() const { return m_path; }
  void Write(const Bytes &data) const;
  Bytes Read() const;

 private:
  std::string m_path;
};

// An open Win32 file handle, closed with the object.
class Handle {
 public:
  explicit Handle(HANDLE h) : m_h(h) {}
  ~Handle() {
    if (m_h != INVALID_HANDLE_VALUE && m_h) CloseHandle(m_h);
  }
  HANDLE Get() const { return m_h; }

 private:
  HANDLE m_h;
};
HANDLE OpenRead(const std::string &path);
HANDLE OpenWrite(const std::string &path);  // creates or truncates

// Callback sink that collects everything; with a limit it takes at most that many bytes
// in total and then returns short counts (or -1 when failWhenFull is set).
struct VecSink {
  Bytes data;
  int64_t limit = -1;
  bool failWhenFull = false;
  int emptyCalls = 0;
  static int32_t Write(void *ctx, const void *p, int32_t n);
};

// Callback source over a byte vector in pieces of at most chunk bytes; failAt >= 0 makes
// the read fail once that many bytes were delivered.
struct VecSource {
  const Bytes *data = nullptr;
  size_t pos = 0;
  int32_t chunk = 1 << 30;
  int64_t failAt = -1;
  static int32_t Read(void *ctx, void *p, int32_t n);
};

uint32_t ZipCrc(const Bytes &b);

// Writes deflate bit fields: plain values least significant bit first, Huffman codes most
// significant bit first.
class BitWriter {
 public:
  void Bits(uint32_t value, unsigned n) {
    for (unsigned i = 0; i < n; i++) Bit((value >> i) & 1);
  }
  void Code(uint32_t code, unsigned len) {
    while (len--) Bit((code >> len) & 1);
  }
  void AlignByte() {
    while (m_used != 0) Bit(0);
  }
  // Fixed-code literal/length symbol and distance symbol.
  void FixedSymbol(unsigned sym) {
    if (sym < 144) Code(0x30 + sym, 8);
    else if (sym < 256) Code(0x190 + sym - 144, 9);
    else if (sym < 280) Code(sym - 256, 7);
    else Code(0xC0 + sym - 280, 8);
  }
  void FixedDistance(unsigned sym) { Code(sym, 5); }
  void StoredBlock(const uint8_t *data, unsigned len, bool last) {
    Bits(last ? 1 : 0, 1);
    Bits(0, 2);
    AlignByte();
    Bits(len, 16);
    Bits(~len & 0xFFFF, 16);
    m_out.insert(m_out.end(), data, data + len);
  }
  Bytes Finish() {
    AlignByte();
    return m_out;
  }

 private:
  void Bit(unsigned b) {
    if (m_used == 0) m_out.push_back(0);
    m_out.back() |= (uint8_t)(b << m_used);
    m_used = (m_used + 1) & 7;
  }
  Bytes m_out;
  unsigned m_used = 0;
};

// 65536 bytes of history in two stored blocks, then one Deflate64 copy of length 65538 from
// 65536 bytes back: the longest length and the farthest distance.
Bytes FarCopyStream(const Bytes &history);

}  // namespace codectest
