// The channels under every zip codec: one source and one sink (memory block, callback,
// C-runtime stream or file handle), their byte counters and CRC-32 registers, read and
// write filters, and the work, input and output buffers that the codecs go through.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstdio>

// Fills up to length bytes; returns the count read, 0 at the end of the data, <0 on failure.
typedef int32_t (*CodecReadFunc)(void *context, void *buffer, int32_t length);
// Takes up to length bytes; returns the count taken (less is a shortfall), <0 on failure.
// Must accept (null, 0) and return 0: some codecs end their output with such a call.
typedef int32_t (*CodecWriteFunc)(void *context, const void *data, int32_t length);
// Transforms count bytes in place; returns the valid bytes now at the start of the buffer
// (0..count; it may hold bytes back and release them later) or <0 on failure.
// A read filter is also called with count 0 when the data has ended.
typedef int32_t (*CodecFilterFunc)(void *context, void *buffer, int32_t count);
// Sees every byte a channel moves, in order; the CRC hook's context is a uint32_t register.
typedef void (*CodecHookFunc)(void *context, const void *data, int32_t length);

// Channel kinds (the same numbers for the sink and the source).
enum {
  CODEC_CHANNEL_MEMORY = 0,
  CODEC_CHANNEL_CALLBACK = 1,
  CODEC_CHANNEL_FILE = 2,    // C-runtime FILE stream
  CODEC_CHANNEL_HANDLE = 3,  // Windows file handle
  CODEC_CHANNEL_NONE = 4
};

// CRC start value meaning "no CRC on this channel".
const uint32_t CODEC_NO_CRC = 0x12345678u;
// Bytes of the work buffer that the codecs use (16 more are allocated).
const int32_t CODEC_WORK_SIZE = 16384;

struct CodecFilterNode;

// The sink: where the codec's output goes.
struct CodecSink {
  int32_t allowance;       // handle/FILE kinds: bytes still allowed; negative = no limit
  uint64_t total;          // bytes written, added by whoever calls the write function
  uint32_t crc;            // running CRC-32 register; the CRC is ~crc
  int32_t memSize;         // memory kind: block size
  int32_t kind;            // CODEC_CHANNEL_*
  int32_t memPos;          // memory kind: bytes written into the block
  uint32_t *counter;       // memory kind: caller's byte counter (or the stream's scratch word)
  uint32_t *peak;          // memory kind: caller's peak counter, may be null
  uint8_t *memBase;        // memory kind: caller's block (not owned)
  void *context;           // context of write
  void *hookContext;       // context of hook (the crc register for a CRC hook)
  void *userContext;       // caller's context behind the CRC wrapper
  void *file;              // HANDLE or FILE* (not owned)
  CodecWriteFunc write;    // the channel's write function
  CodecWriteFunc userWrite;  // caller's function behind the CRC wrapper
  CodecHookFunc hook;      // null = no CRC
  CodecFilterNode *filters;  // installed write filters (owned, newest first)
};

// The source: where the codec's input comes from.
struct CodecSource {
  int32_t allowance;       // handle/FILE kinds: bytes still allowed; negative = no limit
  uint64_t total;          // bytes read, added by whoever calls the read function
  uint32_t crc;            // running CRC-32 register of the bytes delivered before any filter
  int32_t memSize;
  int32_t kind;
  int32_t memPos;
  uint32_t *counter;
  uint8_t *memBase;
  void *context;
  void *hookContext;
  void *userContext;
  void *file;
  CodecReadFunc read;
  CodecReadFunc userRead;
  CodecHookFunc hook;
  CodecFilterNode *filters;  // installed read filters (owned, newest first)
};

struct CodecOutBuffer {
  uint8_t *data;
  int32_t fill;       // bytes in the buffer
  int32_t accounted;  // memory sink: position up to which counters and CRC were taken
  int32_t capacity;
  uint8_t borrowed;   // the memory sink's own block: not freed
};

struct CodecInBuffer {
  uint8_t *data;
  int32_t pos;        // next byte to read
  int32_t fill;       // bytes valid
  int32_t capacity;
  uint8_t borrowed;   // the memory source's own block: not freed
  uint8_t ended;      // the source reported its end (as opposed to a failure)
};

class CCodecStream {
 public:
  CCodecStream();
  virtual ~CCodecStream();
  CCodecStream(const CCodecStream &) = delete;
  CCodecStream &operator=(const CCodecStream &) = delete;

  // Channel set-up. Each replaces the channel's previous kind. crcStart: CODEC_NO_CRC for
  // no CRC, else the register becomes ~crcStart (0 starts a fresh CRC, an earlier CRC
  // continues it). allowance: bytes the channel may move, negative = no limit.
  void SetOutputHandle(HANDLE file, int32_t allowance, uint32_t crcStart);
  void SetInputHandle(HANDLE file, int32_t allowance, uint32_t crcStart);
  void SetOutputFile(FILE *file, int32_t allowance, uint32_t crcStart);
  void SetInputFile(FILE *file, int32_t allowance, uint32_t crcStart);
  // Memory block of size bytes at base, position 0; counter (may be null) grows with every
  // byte moved. The sink's peak counter is cleared; see SetOutputPeak.
  void SetOutputMemory(int32_t size, void *base, uint32_t crcStart, uint32_t *counter);
  void SetInputMemory(int32_t size, const void *base, uint32_t crcStart, uint32_t *counter);
  void SetOutputCallback(void *context, CodecWriteFunc write, uint32_t crcStart);
  void SetInputCallback(void *context, CodecReadFunc read, uint32_t crcStart);
  // Memory sink only, after SetOutputMemory: *peak is raised to the counter when passed.
  void SetOutputPeak(uint32_t *peak);
  // Puts a filter behind every later read of the source (after the source's CRC).
  // Returns 1, or 0 when out of memory (nothing installed).
  int SetReadFilter(void *context, CodecFilterFunc filter);
  // Puts a filter in front of every later write to the sink (after the sink's CRC).
  // copy 0 filters the caller's data in place; nonzero filters a copy in 4096-byte pieces.
  // Returns 1, or 0 when out of memory.
  int SetWriteFilter(void *context, CodecFilterFunc filter, int copy);
  // A flag that, once nonzero, makes every later read of a handle source fail, so that a long
  // entry can be cancelled in its middle (null: none).
  void SetStopFlag(volatile const LONG *flag) { m_stop = flag; }
  // Replace the channel's CRC hook by any hook (null removes it).
  void SetReadHook(void *context, CodecHookFunc hook);
  void SetWriteHook(void *context, CodecHookFunc hook);

  // Direct channel access; positive counts are added to the totals.
  // ReadSource: count read, 0 at the end, -1 on failure.
  int32_t ReadSource(void *buffer, int32_t length);
  // WriteSink: count written (less than length is a shortfall), -1 on failure.
  int32_t WriteSink(const void *data, int32_t length);
  // The empty write that ends a codec's output on a non-memory sink.
  void FinalEmptyWrite();
  // Memory source: hands out up to max (negative: all) of the remaining bytes in place,
  // with CRC, counters, position and total applied. Returns the count (0 at the end).
  int32_t TakeMemoryInput(const uint8_t **data, int32_t max);
  // Memory sink: free bytes from the position to the end of the block, and where they start.
  int32_t MemoryOutputFree() const;
  uint8_t *MemoryOutputPtr() const;
  // Memory sink: n bytes were put in place at the position: CRC, counters, peak,
  // position and total (n is cut to the free space).
  void CommitMemoryOutput(int32_t n);
  // The CRCs so far (complement of the registers) and the totals.
  uint32_t SinkCrc() const { return ~m_sink.crc; }
  uint32_t SourceCrc() const { return ~m_source.crc; }

  // The 16400-byte work buffer, allocated on first call; null when that fails.
  uint8_t *GetWorkBuffer();
  // Sets up the buffered output (a memory sink's own block, else an owned buffer of at
  // least size bytes). 1, or 0 when the allocation failed.
  int PrepareOutputBuffer(int32_t size);
  // Sets up the buffered input (a memory source is taken whole at once, else an owned
  // buffer of size bytes). 1, or 0 when the allocation failed.
  int PrepareInputBuffer(int32_t size);
  // Hands the buffered output to the sink. 0, or 1 when the sink took less (fill kept).
  int FlushOutput();
  // Makes at least minimum bytes available if the source can. Returns the bytes available;
  // 0 when the source gave nothing (end flag set) or failed (end flag clear).
  int32_t FillInput(int32_t minimum);
  // Copies up to length buffered input bytes to destination; returns the count delivered.
  int32_t ReadBuffered(void *destination, int32_t length);
  // Copies data into the buffered output, flushing as it fills. 0, or 1 when a flush failed
  // or a memory sink is full.
  int WriteBuffered(const void *data, int32_t length);
  // Memory sink only: reads from the source straight into the block's free space.
  // -1 when the block is full, else what the read function gave (count, 0 or negative).
  int32_t ReadIntoOutputMemory();
  // Stream facts by kind: 3 sink CRC, 4 source CRC, 7 input total, 8 output total
  // (GetInfo32: 11, 12 their high halves). 0 for other kinds (CCodec adds its own).
  uint64_t GetInfo(int kind) const;
  uint32_t GetInfo32(int kind) const;
  // 0: free buffers and clear the channels; 1: clear the channels without freeing;
  // 2: free buffers only (channels, CRCs and counters stay).
  void Reset(int mode);

  CodecSink m_sink;
  CodecSource m_source;
  CodecOutBuffer m_outBuf;
  CodecInBuffer m_inBuf;

 protected:
  uint8_t *m_work;  // 16400 bytes, owned

 private:
  void ClearChannels();
  void FreeBuffers();
  static int32_t MemRead(void *self, void *buffer, int32_t length);
  static int32_t MemWrite(void *self, const void *data, int32_t length);
  static int32_t CallbackCrcRead(void *self, void *buffer, int32_t length);
  static int32_t CallbackCrcWrite(void *self, const void *data, int32_t length);
  static int32_t FileRead(void *self, void *buffer, int32_t length);
  static int32_t FileWrite(void *self, const void *data, int32_t length);
  static int32_t HandleRead(void *self, void *buffer, int32_t length);
  static int32_t HandleWrite(void *self, const void *data, int32_t length);
  static int32_t FilteredRead(void *node, void *buffer, int32_t length);
  static int32_t FilteredWrite(void *node, const void *data, int32_t length);
  static int32_t FilteredCopyWrite(void *node, const void *data, int32_t length);

  uint32_t m_sinkScratch;    // receives a memory sink's counts when the caller gives none
  uint32_t m_sourceScratch;  // the same for a memory source
  volatile const LONG *m_stop = nullptr;
};

// The CRC hook the channel set-ups install: Crc32Update over the data into *(uint32_t *)context.
void CodecCrcHook(void *context, const void *data, int32_t length);
