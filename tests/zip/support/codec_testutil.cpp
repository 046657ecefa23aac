#include "zip/support/codec_testutil.h"

#include <algorithm>
#include <cstring>

#include "zip/Crc32.h"

namespace codectest {

Bytes Noise(size_t n, uint32_t seed) {
  Bytes out(n);
  uint32_t x = seed;
  for (size_t i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    out[i] = static_cast<uint8_t>(x >> 11);
  }
  return out;
}

Bytes Text(size_t n) {
  static const char *const words[] = {"Datei ", "Einträge ", "Suche ", "Größe ", "Vergleich ", "Ordner\r\n",
                                      "zippen ", "Fehler ", "Zeile ", "0x1F3A ", "Übersicht ", "Kopie\r\n"};
  Bytes out;
  out.reserve(n + 16);
  uint32_t x = 0x9E3779B9u;
  while (out.size() < n) {
    x = x * 1103515245u + 12345u;
    const char *w = words[(x >> 16) % 12];
    out.insert(out.end(), w, w + std::strlen(w));
    if (((x >> 8) & 15) == 0) {
      std::string num = std::to_string(x % 100000);
      out.insert(out.end(), num.begin(), num.end());
    }
  }
  out.resize(n);
  return out;
}

Bytes Mixed(size_t n) {
  Bytes t = Text(n), z = Noise(n, 0xBADC0DEu), out(n);
  for (size_t i = 0; i < n; ++i) out[i] = ((i >> 12) & 1) ? z[i] : t[i];
  return out;
}

TempFile::TempFile() {
  char dir[MAX_PATH], name[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  GetTempFileNameA(dir, "cdc", 0, name);
  m_path = name;
}

TempFile::~TempFile() { DeleteFileA(m_path.c_str()); }

void TempFile::Write(const Bytes &data) const {
  Handle h(OpenWrite(m_path));
  DWORD put = 0;
  if (!data.empty()) WriteFile(h.Get(), data.data(), static_cast<DWORD>(data.size()), &put, nullptr);
}

Bytes TempFile::Read() const {
  Handle h(OpenRead(m_path));
  Bytes out(GetFileSize(h.Get(), nullptr));
  DWORD got = 0;
  if (!out.empty()) ReadFile(h.Get(), out.data(), static_cast<DWORD>(out.size()), &got, nullptr);
  out.resize(got);
  return out;
}

HANDLE OpenRead(const std::string &path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

HANDLE OpenWrite(const std::string &path) {
  return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
}

int32_t VecSink::Write(void *ctx, const void *p, int32_t n) {
  VecSink *s = static_cast<VecSink *>(ctx);
  if (n < 1) {
    ++s->emptyCalls;
    return 0;
  }
  int64_t take = n;
  if (s->limit >= 0) take = std::min<int64_t>(take, s->limit - static_cast<int64_t>(s->data.size()));
  if (take <= 0 && s->failWhenFull) return -1;
  if (take < 0) take = 0;
  const uint8_t *b = static_cast<const uint8_t *>(p);
  s->data.insert(s->data.end(), b, b + take);
  return static_cast<int32_t>(take);
}

int32_t VecSource::Read(void *ctx, void *p, int32_t n) {
  VecSource *s = static_cast<VecSource *>(ctx);
  if (s->failAt >= 0 && static_cast<int64_t>(s->pos) >= s->failAt) return -1;
  size_t left = s->data->size() - s->pos;
  size_t take = std::min<size_t>({left, static_cast<size_t>(n), static_cast<size_t>(s->chunk)});
  if (s->failAt >= 0) take = std::min<size_t>(take, static_cast<size_t>(s->failAt) - s->pos);
  std::memcpy(p, s->data->data() + s->pos, take);
  s->pos += take;
  return static_cast<int32_t>(take);
}

uint32_t ZipCrc(const Bytes &b) {
  return ~Crc32Update(0xFFFFFFFFu, b.data(), static_cast<int32_t>(b.size()));
}

Bytes FarCopyStream(const Bytes &history) {
  BitWriter w;
  w.StoredBlock(history.data(), 65535, false);
  w.StoredBlock(history.data() + 65535, 1, false);
  w.Bits(1, 1);
  w.Bits(1, 2);
  w.FixedSymbol(285);
  w.Bits(65535, 16);
  w.FixedDistance(31);
  w.Bits(16383, 14);
  w.FixedSymbol(256);
  return w.Finish();
}

}  // namespace codectest
