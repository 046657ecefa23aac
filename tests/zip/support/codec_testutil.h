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

}  // namespace codectest
