// The codec for zip method 95: an xz stream (LZMA2) through the LZMA SDK.
#pragma once
#include "zip/Codec.h"

class CXzCodec : public CCodec {
 public:
  CXzCodec();
  ~CXzCodec() override;

  // Writes one xz stream with the SDK's default LZMA2 properties and a CRC-32 check,
  // whatever the level (which is clamped and kept). Sets mode 8. Failures throw through
  // XzErrorText; a memory sink too small throws class 3.
  uint64_t Compress(int level) override;
  // Decodes an xz stream (the argument is ignored). Failures throw through XzErrorText:
  // a damaged or cut stream "Datenfehler", a failed source read "Lesefehler", a sink that
  // takes less "Schreibfehler"; a memory sink too small throws class 3.
  uint64_t Decompress(int mode) override;
  // Frees the stream's buffers (CCodec::Reset mode 2).
  void Release() override;
};

// Sets the codec's error class and throws the German text for an LZMA SDK result;
// result 0 returns without throwing.
void XzErrorText(CCodec *codec, int result);
