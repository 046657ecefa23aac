// PPMd codec: buffered channels around the process-wide model, under its semaphore.
#include "zip/PpmdCodec.h"

#include <windows.h>

#include <cstring>

#include "zip/PpmdModel.h"

namespace {

const char kTextNoMemory[] = "Zu wenig SPeicher";
const char kTextFormat[] = "Formatfehler";
const char kTextRead[] = "Fehler beim Lesen";
const char kTextWrite[] = "Fehler beim Speichern";
const char kTextInternal[] = "Interner Fehler";
const char kTextSinkFull[] = "Fehler Speicherüberlauf des Ausgabepuffers";

const int32_t kCompressBuffer = 8192;
const int32_t kDecompressBuffer = 65536;
// Error code of the archive for a nonzero byte under PPMD_MODE_ZERO_BYTE.
const int kArchiveErrorPpmdByte = 6;

// The model shared by every codec object of the process.
CPpmdModel &SharedModel() {
  static CPpmdModel model;
  return model;
}

// The semaphore (count 1) that serialises all use of the shared model; created once.
HANDLE SharedSemaphore() {
  static const HANDLE semaphore = CreateSemaphoreA(nullptr, 1, 0x40000000, nullptr);
  return semaphore;
}

// Holds the model from construction until Release or destruction.
class CPpmdLock {
 public:
  CPpmdLock() : m_semaphore(SharedSemaphore()), m_held(false) {
    if (m_semaphore != nullptr) m_held = WaitForSingleObject(m_semaphore, INFINITE) == WAIT_OBJECT_0;
  }
  ~CPpmdLock() { Release(); }
  CPpmdLock(const CPpmdLock &) = delete;
  CPpmdLock &operator=(const CPpmdLock &) = delete;
  bool Held() const { return m_held; }
  void Release() {
    if (m_held) ReleaseSemaphore(m_semaphore, 1, nullptr);
    m_held = false;
  }

 private:
  HANDLE m_semaphore;
  bool m_held;
};

// Bytes from the stream's buffered input; remembers when the source failed or ended.
class CPpmdInput : public CPpmdByteIn {
 public:
  explicit CPpmdInput(CCodecStream &stream) : m_stream(stream), m_failed(false) {}
  uint8_t Get() override {
    CodecInBuffer &b = m_stream.m_inBuf;
    if (b.pos >= b.fill && (m_failed || m_stream.FillInput(1) <= 0)) {
      m_failed = true;
      return 0;
    }
    return b.data[b.pos++];
  }
  bool Failed() const { return m_failed; }

 private:
  CCodecStream &m_stream;
  bool m_failed;
};

// Bytes into the stream's buffered output, written in place; Sync hands the count back to
// the stream before it flushes. A memory sink's buffer is the caller's block: when it is
// still full after the flush, nothing more may be written.
class CPpmdOutput : public CPpmdByteOut {
 public:
  explicit CPpmdOutput(CCodecStream &stream) : m_stream(stream), m_errorClass(CODEC_ERR_NONE) { Attach(); }
  int ErrorClass() const { return m_errorClass; }
  void Sync() { m_stream.m_outBuf.fill = static_cast<int32_t>(m_pos - m_stream.m_outBuf.data); }

 private:
  void Attach() {
    CodecOutBuffer &b = m_stream.m_outBuf;
    m_pos = b.data + b.fill;
    m_end = b.data + b.capacity;
  }
  bool Drain() override {
    if (m_errorClass != CODEC_ERR_NONE) return false;
    Sync();
    int flushed = m_stream.FlushOutput();
    Attach();
    if (flushed != 0)
      m_errorClass = CODEC_ERR_WRITE;
    else if (m_pos == m_end)
      m_errorClass = CODEC_ERR_DATA;
    return m_errorClass == CODEC_ERR_NONE;
  }

  CCodecStream &m_stream;
  int m_errorClass;
};

// The text for a failure of the buffered channels: a failed read or write, or a full
// memory sink.
const char *ChannelText(int errorClass) {
  switch (errorClass) {
    case CODEC_ERR_WRITE:
      return kTextWrite;
    case CODEC_ERR_READ:
      return kTextRead;
    default:
      return kTextSinkFull;
  }
}

}  // namespace

CPpmdCodec::CPpmdCodec() : m_propLength(0) { std::memset(m_props, 0, sizeof(m_props)); }

CPpmdCodec::~CPpmdCodec() {}

void CPpmdCodec::Release() {}

int CPpmdCodec::SetProperties(const uint8_t *bytes, int n) {
  if (n != 2 && n != 5) return 0;
  m_propLength = n;
  std::memcpy(m_props, bytes, static_cast<size_t>(n));
  return 1;
}

uint64_t CPpmdCodec::Compress(int level) {
  level = ClampLevel(level, 1, 7);
  const unsigned order = 16 - static_cast<unsigned>(level);
  const uint32_t memory = static_cast<uint32_t>(level + 7) << 20;
  StartCall();
  m_flags &= ~CODEC_FLAG_LARGER;
  if (!PrepareInputBuffer(kCompressBuffer) || !PrepareOutputBuffer(kCompressBuffer))
    Fail(CODEC_ERR_MEMORY, kTextNoMemory);

  CPpmdLock lock;
  if (!lock.Held()) Fail(CODEC_ERR_MEMORY, kTextNoMemory);
  CPpmdModel &model = SharedModel();
  if (!model.Allocate(memory)) Fail(CODEC_ERR_MEMORY, kTextNoMemory);

  if ((m_mode & PPMD_MODE_PROPERTIES) && m_outBuf.capacity - m_outBuf.fill < 2 && FlushOutput() != 0)
    Fail(CODEC_ERR_WRITE, kTextWrite);
  CPpmdOutput out(*this);
  if (m_mode & PPMD_MODE_PROPERTIES) {
    const unsigned word = (static_cast<unsigned>(level) + 6) * 16 + (15 - static_cast<unsigned>(level));
    out.Put(static_cast<uint8_t>(word));
    out.Put(static_cast<uint8_t>(word >> 8));
    out.Sync();
    if (out.ErrorClass() != CODEC_ERR_NONE) Fail(out.ErrorClass(), ChannelText(out.ErrorClass()));
    m_compressed += 2;
  }

  model.EncoderInit();
  model.Init(order, PPMD_RESTORE_RESTART);
  int errorClass = CODEC_ERR_NONE;
  CodecInBuffer &in = m_inBuf;
  for (;;) {
    if (in.pos >= in.fill && FillInput(1) <= 0) {
      if (!in.ended) errorClass = CODEC_ERR_READ;
      break;
    }
    model.EncodeSymbol(in.data[in.pos++], out);
    if (out.ErrorClass() != CODEC_ERR_NONE) break;
  }
  if (errorClass == CODEC_ERR_NONE && out.ErrorClass() == CODEC_ERR_NONE) {
    model.EncodeSymbol(-1, out);
    model.EncoderFlush(out);
  }
  out.Sync();
  if (errorClass == CODEC_ERR_NONE) errorClass = out.ErrorClass();
  lock.Release();

  if (errorClass == CODEC_ERR_NONE && FlushOutput() != 0) errorClass = CODEC_ERR_WRITE;
  if (errorClass != CODEC_ERR_NONE && m_sink.kind == CODEC_CHANNEL_MEMORY) FlushOutput();  // counts only
  m_uncompressed = m_source.total;
  m_compressed = m_sink.total;
  if (errorClass != CODEC_ERR_NONE) Fail(errorClass, ChannelText(errorClass));
  // Incompressible data grows by a few percent: the archive then stores it, as for deflate.
  if (m_compressed > m_uncompressed) m_flags |= CODEC_FLAG_LARGER;
  return m_compressed;
}

uint64_t CPpmdCodec::Decompress(int mode) {
  if (mode == -2) mode = m_mode;
  StartCall();
  if (!PrepareInputBuffer(kDecompressBuffer) || !PrepareOutputBuffer(kDecompressBuffer))
    Fail(CODEC_ERR_MEMORY, kTextNoMemory);

  CPpmdInput in(*this);
  unsigned order, method;
  uint32_t memory;
  if (m_propLength == 5 && !(mode & PPMD_MODE_PROPERTIES)) {
    order = m_props[0];
    memory = m_props[1] | (static_cast<uint32_t>(m_props[2]) << 8) | (static_cast<uint32_t>(m_props[3]) << 16) |
             (static_cast<uint32_t>(m_props[4]) << 24);
    method = PPMD_RESTORE_RESTART;
    if (memory < PPMD_MIN_MEMORY || memory > PPMD_MAX_MEMORY) Fail(CODEC_ERR_FORMAT, kTextFormat);
  } else {
    unsigned word;
    if (mode & PPMD_MODE_PROPERTIES) {
      word = in.Get();
      word |= static_cast<unsigned>(in.Get()) << 8;
      if (in.Failed()) Fail(CODEC_ERR_READ, kTextRead);
    } else {
      word = m_props[0] | (static_cast<unsigned>(m_props[1]) << 8);
    }
    order = (word & 15) + 1;
    memory = (((word >> 4) & 255) + 1) << 20;
    method = (word >> 12) & 3;
  }
  if (order < PPMD_MIN_ORDER || order > PPMD_MAX_ORDER || method > PPMD_RESTORE_FREEZE)
    Fail(CODEC_ERR_FORMAT, kTextFormat);

  CPpmdLock lock;
  if (!lock.Held()) Fail(CODEC_ERR_MEMORY, kTextNoMemory);
  CPpmdModel &model = SharedModel();
  if (!model.Allocate(memory)) Fail(CODEC_ERR_MEMORY, kTextNoMemory);

  if (mode & PPMD_MODE_ZERO_BYTE) {
    uint8_t zero = in.Get();
    if (in.Failed()) Fail(CODEC_ERR_READ, kTextRead);
    if (zero != 0) throw kArchiveErrorPpmdByte;
  }

  model.DecoderInit(in);
  if (in.Failed()) Fail(CODEC_ERR_READ, kTextRead);
  model.Init(order, method);

  CPpmdOutput out(*this);
  int errorClass = CODEC_ERR_NONE;
  const char *errorText = nullptr;
  for (;;) {
    int symbol = model.DecodeSymbol(in);
    // A byte the coder needed was not there: the data is cut short (or the read failed).
    if (in.Failed()) {
      errorClass = CODEC_ERR_READ;
      errorText = kTextRead;
      break;
    }
    if (symbol < 0) {
      if (symbol != -1) {
        errorClass = CODEC_ERR_DATA;
        errorText = kTextInternal;
      }
      break;
    }
    out.Put(static_cast<uint8_t>(symbol));
    if (out.ErrorClass() != CODEC_ERR_NONE) {
      errorClass = out.ErrorClass();
      errorText = ChannelText(errorClass);
      break;
    }
  }
  out.Sync();
  lock.Release();

  if (errorClass == CODEC_ERR_NONE && FlushOutput() != 0) {
    errorClass = CODEC_ERR_WRITE;
    errorText = kTextWrite;
  }
  if (errorClass != CODEC_ERR_NONE && m_sink.kind == CODEC_CHANNEL_MEMORY) FlushOutput();  // counts only
  m_uncompressed = m_sink.total;
  m_compressed = m_source.total;
  if (errorClass != CODEC_ERR_NONE) Fail(errorClass, errorText);
  return m_uncompressed;
}
