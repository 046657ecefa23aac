// CRC-32: longer runs through zlib's, which takes several words per step and is about twice
// as fast as slicing by 8 here; short runs (the traditional encryption's single bytes) through
// the tables below, sparing the call. The first table is the published one of zip and gzip.
#include "zip/Crc32.h"

#include <zlib.h>

#include <cstring>

namespace {

struct Crc32Tables {
  uint32_t t[8][256];
  constexpr Crc32Tables() : t() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[0][i] = c;
    }
    for (int s = 1; s < 8; ++s)
      for (uint32_t i = 0; i < 256; ++i) t[s][i] = t[0][t[s - 1][i] & 0xFF] ^ (t[s - 1][i] >> 8);
  }
};

constexpr Crc32Tables kTables;

}  // namespace

uint32_t Crc32Update(uint32_t crc, const void *data, int32_t length) {
  if (length < 1 || !data) return crc;
  // zlib's register is complemented on entry and exit.
  if (length >= 256)
    return ~static_cast<uint32_t>(crc32(~crc, static_cast<const Bytef *>(data), static_cast<uInt>(length)));
  const uint8_t *p = static_cast<const uint8_t *>(data);
  size_t n = static_cast<size_t>(length);
  const auto &t = kTables.t;
  while (n >= 8) {
    uint32_t lo, hi;
    std::memcpy(&lo, p, 4);  // x86 is little-endian
    std::memcpy(&hi, p + 4, 4);
    lo ^= crc;
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
          t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    p += 8;
    n -= 8;
  }
  while (n--) crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return crc;
}
