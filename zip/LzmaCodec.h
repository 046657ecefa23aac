// The codec for zip method 14: LZMA through the LZMA SDK, with the zip LZMA header.
#pragma once
#include "zip/Codec.h"

// Mode bits of CLzmaCodec: what precedes the LZMA data.
const int LZMA_MODE_ZIP_HEADER = 1;  // version major, minor, properties size (16-bit LE)
const int LZMA_MODE_PROPS = 2;       // the 5 property bytes
const int LZMA_MODE_SIZE = 4;        // the uncompressed size (64-bit LE)

class CLzmaCodec : public CCodec {
 public:
  CLzmaCodec();  // mode 6 (properties and size: a bare .lzma file), size unknown
  ~CLzmaCodec() override;

  // Level 0..9 as the SDK's level. With m_expectedSize unknown (<0) the stream ends with
  // the end marker; with a known size it has none. Writes the header pieces of m_mode
  // (counted in the compressed count). Throws: 1 "Fehler beim Einlesen", 2 "Fehler beim
  // Speichern", 3 memory sink too small, 6 "Formatfehler", 7 "Zu wenig Speicher",
  // 8 "Falscher Parameter".
  uint64_t Compress(int level) override;
  // mode (-2: m_mode) selects the header pieces to read; bit 1 implies bit 2 and skips
  // property bytes beyond 5; bit 4 reads the size into m_expectedSize. Stops after
  // m_expectedSize bytes when known, else needs the end marker. Throws: 1 "Fehler beim
  // Lesen", 2 "Fehler beim Speichern", 3 memory sink too small, 6 "Formatfehler",
  // 7 "Zu wenig Speicher".
  uint64_t Decompress(int mode) override;
  // Frees the decoder state only (the stream's buffers stay).
  void Release() override;

  // Copies n (<= 5) property bytes and zero-fills the rest; 1, or 0 for n > 5.
  int SetProperties(const uint8_t *bytes, int n);

  uint8_t m_props[5];
  int64_t m_expectedSize;  // -1 = unknown
  // The source's size when known before compressing (0: unknown): the dictionary is sized to
  // it, so small sources need no 64 MiB dictionary at the high levels.
  uint64_t m_sizeHint = 0;

 private:
  void FreeDecoder();
  void ReadHeader(uint8_t *dest, int32_t n);
  void WriteHeader(const uint8_t *data, int32_t n);
  void FailWrite();

  void *m_decoder;  // CLzmaDec, kept between decompressions
};
