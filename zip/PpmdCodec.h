// The codec of zip method 98: PPMd variant I revision 1 behind the codec interface. The model
// exists once per process; a semaphore serialises every compression and decompression.
#pragma once
#include <cstdint>

#include "zip/Codec.h"

// Mode bits: the 2-byte properties word precedes the data; (decompression only) one byte
// that must be 0 follows the properties.
enum { PPMD_MODE_PROPERTIES = 1, PPMD_MODE_ZERO_BYTE = 2 };

class CPpmdCodec : public CCodec {
 public:
  CPpmdCodec();
  ~CPpmdCodec() override;

  // level -1 keeps m_level; the level is clamped to 1..7: order 16 - level, memory
  // level + 7 MiB, restart on exhaustion. With PPMD_MODE_PROPERTIES in m_mode the properties
  // word comes first. Returns the compressed count (properties included); sets
  // CODEC_FLAG_LARGER when it exceeds the source's count. Throws with class
  // 7 "Zu wenig SPeicher", 1 "Fehler beim Lesen", 2 "Fehler beim Speichern", 3 when a memory
  // sink is full.
  uint64_t Compress(int level) override;
  // mode -2 means m_mode. Properties from the data (PPMD_MODE_PROPERTIES) or from
  // SetProperties. Returns the uncompressed count. Throws with class 6 "Formatfehler" (order
  // outside 2..16, restoration method above 2), 7 "Zu wenig SPeicher", 1 "Fehler beim Lesen"
  // (properties or data cut short, failed read), 2 "Fehler beim Speichern", 3 for data no
  // encoder writes or a full memory sink; throws the integer 6 when the byte that
  // PPMD_MODE_ZERO_BYTE asks for is not 0.
  uint64_t Decompress(int mode) override;
  // Nothing: the model memory stays for the next call.
  void Release() override;

  // Properties for decompression without PPMD_MODE_PROPERTIES: n == 2 gives the properties
  // word, n == 5 the order (1 byte) and the memory size in bytes (32-bit little-endian) with
  // restart on exhaustion. Returns 1, or 0 (nothing stored) for any other n.
  int SetProperties(const uint8_t *bytes, int n);

  int32_t m_propLength;  // 0 none, 2 or 5
  uint8_t m_props[5];
};
