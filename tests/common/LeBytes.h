// Little-endian fields and CRC-32 for building and reading archive bytes in the tests.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <string>

namespace testcommon {

inline void Le16(std::string &s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
inline void Le32(std::string &s, uint32_t v) {
  Le16(s, v & 0xFFFF);
  Le16(s, v >> 16);
}
inline void Le64(std::string &s, uint64_t v) {
  Le32(s, static_cast<uint32_t>(v));
  Le32(s, static_cast<uint32_t>(v >> 32));
}
inline uint32_t Rd16(const std::string &s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8;
}
inline uint32_t Rd32(const std::string &s, size_t at) { return Rd16(s, at) | Rd16(s, at + 2) << 16; }
inline uint64_t Rd64(const std::string &s, size_t at) {
  return Rd32(s, at) | static_cast<uint64_t>(Rd32(s, at + 4)) << 32;
}
inline uint32_t Crc(const std::string &data) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef *>(data.data()), static_cast<uInt>(data.size())));
}

}  // namespace testcommon
