// The abstract zip codec: one compression method that pulls its source to the end and
// pushes everything into its sink, counting both ways; failures leave by a thrown text.
#pragma once
#include <cstdint>

#include "zip/CodecStream.h"

// Result flags.
const uint32_t CODEC_FLAG_STORED = 4;     // the stored copy ran
const uint32_t CODEC_FLAG_LARGER = 0x10;  // compressed output came out larger than the input

// Error classes, set just before a codec throws its text.
enum {
  CODEC_ERR_NONE = 0,
  CODEC_ERR_READ = 1,
  CODEC_ERR_WRITE = 2,
  CODEC_ERR_DATA = 3,         // data error or memory-sink overflow
  CODEC_ERR_EOF = 4,          // input ended early
  CODEC_ERR_INIT = 5,         // wrong mode or failed initialisation
  CODEC_ERR_FORMAT = 6,       // format or compression error
  CODEC_ERR_MEMORY = 7,
  CODEC_ERR_PARAM = 8,
  CODEC_ERR_UNSUPPORTED = 10
};

// Thrown with CODEC_ERR_UNSUPPORTED by a codec class that lacks an operation.
extern const char *const kCodecTextUnsupported;

class COutWindow;

class CCodec : public CCodecStream {
 public:
  CCodec();
  virtual ~CCodec();

  // Compresses the whole source into the sink. level -1 keeps m_level, any other value
  // is stored (each class clamps it). Returns the compressed count; on failure sets
  // m_errorClass and throws a const char* German text (counts keep what they reached).
  virtual uint64_t Compress(int level) = 0;
  // Decompresses the whole source into the sink. mode -2 means m_mode. Returns the
  // uncompressed count; failures as for Compress.
  virtual uint64_t Decompress(int mode) = 0;
  // Frees what the codec keeps between calls (library state, and for most classes the
  // stream's buffers). The channels stay as set.
  virtual void Release() = 0;

  // The stream's reset; for modes other than 2 also level 9, mode 8, counts, flags and
  // error class 0.
  void Reset(int mode);
  // Facts by kind: 0/2 level, 1 flags, 5 compressed, 6 uncompressed count, and the
  // stream's kinds (3, 4, 7, 8). GetInfo32: 9/10 high halves of the counts too.
  uint64_t GetInfo(int kind) const;
  uint32_t GetInfo32(int kind) const;

  uint64_t m_uncompressed;  // plain bytes handled by the last call
  uint64_t m_compressed;    // compressed bytes handled by the last call
  uint32_t m_flags;         // CODEC_FLAG_*
  int32_t m_level;          // default 9
  int32_t m_errorClass;     // CODEC_ERR_*
  int32_t m_mode;           // class-specific variant, default 8

 protected:
  // Sets the error class and throws the text.
  [[noreturn]] void Fail(int errorClass, const char *text);
  // Stores level unless it is -1, clamps m_level to lo..hi and returns it.
  int ClampLevel(int level, int lo = 0, int hi = 9);
  // Zeroes both counts, the stream's totals and the error class.
  void StartCall();
  // Copies the source unchanged into the sink; both counts grow by the bytes copied.
  // Throws class 1 (read), 2 (short write), 3 (memory sink too small), 7 (no work buffer).
  void StoredCopy();
  // The next piece of input for a codec's loop: a memory source hands out its remainder in
  // place (*data points into it), any other source is read into buffer (at most length
  // bytes; *data = buffer). Returns the count, 0 at the end; a failed read throws class 1
  // with readError.
  int32_t NextInput(const uint8_t **data, uint8_t *buffer, int32_t length, const char *readError);
  // Emits the window's output, adding it to count; a short write throws class 2 with
  // writeError, output beyond a memory sink class 3 with overflow.
  void EmitWindow(COutWindow &win, uint32_t availOut, uint64_t &count, const char *writeError,
                  const char *overflow);
};
