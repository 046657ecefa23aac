// The codec for zip methods 0 to 9: stored copy, raw deflate and inflate through zlib, and
// Deflate64 (method 9) decoding through inflateBack9.
#pragma once
#include "zip/Codec.h"

class CDeflateCodec : public CCodec {
 public:
  CDeflateCodec();
  ~CDeflateCodec() override;

  // level 0 (after clamping to 0..9): stored copy, result flag 4, mode 0; else raw deflate
  // (mode 8), result flag 0x10 when the output came out larger than the input.
  // Throws: 1 "Fehler beim Lesen aus Datei !", 2 "Fehler beim Schreiben in Datei !",
  // 3 memory sink too small, 5 "Initialisierungsfehler", 6 "Fehler beim Komprimieren",
  // 7 "Zu wenig Speicher" (stored copy: its own texts).
  uint64_t Compress(int level) override;
  // mode (-2: m_mode) 0 stored copy, 8 raw inflate, 9 Deflate64; any other mode (methods 1
  // to 7 included) throws 5 "Falscher Modus beim Entkomprimieren !". A damaged or cut
  // stream throws 6 "Ungüldige Huffmann-Tabelle !"; other failures as for Compress.
  uint64_t Decompress(int mode) override;
  // Frees the stream's buffers (CCodec::Reset mode 2).
  void Release() override;

  // Deflate64 failure word: -1 none, 0 the source failed, 1 the sink took less,
  // 2 a memory sink was full.
  int32_t m_deflate64Failure;

 private:
  uint64_t Inflate();
  uint64_t Inflate64();
  static unsigned Deflate64In(void *self, unsigned char **data);
  static int Deflate64Out(void *self, unsigned char *data, unsigned length);
};
