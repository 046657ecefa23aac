// The codec for zip method 12: bzip2 through libbzip2 (and a stored copy for mode 0).
#pragma once
#include "zip/Codec.h"

class CBz2Codec : public CCodec {
 public:
  CBz2Codec();
  ~CBz2Codec() override;

  // Block size = level (0..9, 0 taken as 1) * 100,000 bytes. Result flag 0x10 when the
  // output came out larger than the input. Throws: 1 "Fehler beim Lesen", 2 "Fehler beim
  // Schreiben in die Datei", 3 memory sink too small, 6 "Fehler bei Initialisierung" or
  // "Fehler beim Komprmieren", 7 "Zu wenig Speicher".
  uint64_t Compress(int level) override;
  // mode (-2: m_mode) 0 stored copy, 8 bzip2; any other throws 5 "Falscher Modus beim
  // Entkomprimieren !". Decoding ends at the end of the bzip2 stream; bytes after it are
  // left unread or ignored. A damaged or cut stream throws 6 "Ungültiges BZIP Format";
  // other failures as for Compress.
  uint64_t Decompress(int mode) override;
  // Frees the stream record, the input buffer and the stream's buffers.
  void Release() override;

 private:
  bool PrepareRecord();
  void FreeOwn();

  void *m_bz;        // the library's bz_stream, kept from first use until Release
  uint8_t *m_input;  // 8208 bytes, kept likewise
};
