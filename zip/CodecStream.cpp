// Channels, filters and buffers of the codec stream.
#include "zip/CodecStream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "zip/Crc32.h"

// One installed filter with the function it stands in front of.
struct CodecFilterNode {
  CodecFilterNode *next;  // older filter (for freeing)
  CCodecStream *stream;
  CodecFilterFunc filter;
  void *filterContext;
  CodecReadFunc innerRead;
  CodecWriteFunc innerWrite;
  void *innerContext;
};

namespace {

const int32_t kSpare = 16;
const int32_t kCopyPiece = 4096;

template <class T>
void FreeFilters(T &channel) {
  while (channel.filters) {
    CodecFilterNode *next = channel.filters->next;
    delete channel.filters;
    channel.filters = next;
  }
}

// Applies the CRC start convention to a channel.
template <class T>
void ApplyCrcStart(T &channel, uint32_t crcStart) {
  if (crcStart == CODEC_NO_CRC) {
    channel.hook = nullptr;
    channel.hookContext = nullptr;
  } else {
    channel.crc = ~crcStart;
    channel.hook = CodecCrcHook;
    channel.hookContext = &channel.crc;
  }
}

template <class T>
inline void RunHook(const T &channel, const void *data, int32_t n) {
  if (channel.hook && n > 0) channel.hook(channel.hookContext, data, n);
}

// Makes a channel a callback channel and puts the CRC wrapper in front of the caller's function
// (fn) when a hook arrives, or takes the wrapper out again when the hook goes.
template <class Channel, class Fn>
void SetChannelHook(Channel &c, Fn Channel::*fn, Fn Channel::*userFn, Fn wrapper, void *self, void *context,
                    CodecHookFunc hook) {
  if (c.kind == CODEC_CHANNEL_CALLBACK || c.kind == CODEC_CHANNEL_NONE) {
    c.kind = CODEC_CHANNEL_CALLBACK;
    if (!c.hook && hook && c.*fn != wrapper) {
      c.*userFn = c.*fn;
      c.userContext = c.context;
      c.*fn = wrapper;
      c.context = self;
    } else if (c.hook && !hook && c.*fn == wrapper) {
      c.*fn = c.*userFn;
      c.context = c.userContext;
    }
  }
  c.hook = hook;
  c.hookContext = context;
}

}  // namespace

void CodecCrcHook(void *context, const void *data, int32_t length) {
  uint32_t *reg = static_cast<uint32_t *>(context);
  *reg = Crc32Update(*reg, data, length);
}

CCodecStream::CCodecStream() : m_work(nullptr), m_sinkScratch(0), m_sourceScratch(0) {
  std::memset(&m_sink, 0, sizeof m_sink);
  std::memset(&m_source, 0, sizeof m_source);
  std::memset(&m_outBuf, 0, sizeof m_outBuf);
  std::memset(&m_inBuf, 0, sizeof m_inBuf);
  Reset(1);
}

CCodecStream::~CCodecStream() { Reset(0); }

// ---------------------------------------------------------------------------------------
// Set-up

void CCodecStream::SetOutputHandle(HANDLE file, int32_t allowance, uint32_t crcStart) {
  FreeFilters(m_sink);
  m_sink.kind = CODEC_CHANNEL_HANDLE;
  m_sink.memSize = m_sink.memPos = 0;
  m_sink.memBase = nullptr;
  m_sink.counter = &m_sinkScratch;
  m_sink.peak = nullptr;
  m_sink.file = file;
  m_sink.allowance = allowance;
  m_sink.write = HandleWrite;
  m_sink.context = this;
  m_sink.userWrite = nullptr;
  m_sink.userContext = nullptr;
  ApplyCrcStart(m_sink, crcStart);
}

void CCodecStream::SetInputHandle(HANDLE file, int32_t allowance, uint32_t crcStart) {
  FreeFilters(m_source);
  m_source.kind = CODEC_CHANNEL_HANDLE;
  m_source.memSize = m_source.memPos = 0;
  m_source.memBase = nullptr;
  m_source.counter = &m_sourceScratch;
  m_source.file = file;
  m_source.allowance = allowance;
  m_source.read = HandleRead;
  m_source.context = this;
  m_source.userRead = nullptr;
  m_source.userContext = nullptr;
  ApplyCrcStart(m_source, crcStart);
}

void CCodecStream::SetOutputFile(FILE *file, int32_t allowance, uint32_t crcStart) {
  SetOutputHandle(nullptr, allowance, crcStart);
  m_sink.kind = CODEC_CHANNEL_FILE;
  m_sink.file = file;
  m_sink.write = FileWrite;
}

void CCodecStream::SetInputFile(FILE *file, int32_t allowance, uint32_t crcStart) {
  SetInputHandle(nullptr, allowance, crcStart);
  m_source.kind = CODEC_CHANNEL_FILE;
  m_source.file = file;
  m_source.read = FileRead;
}

void CCodecStream::SetOutputMemory(int32_t size, void *base, uint32_t crcStart, uint32_t *counter) {
  SetOutputHandle(nullptr, 0, crcStart);
  m_sink.kind = CODEC_CHANNEL_MEMORY;
  m_sink.memSize = base && size > 0 ? size : 0;
  m_sink.memBase = static_cast<uint8_t *>(base);
  m_sink.counter = counter ? counter : &m_sinkScratch;
  m_sink.write = MemWrite;
}

void CCodecStream::SetInputMemory(int32_t size, const void *base, uint32_t crcStart, uint32_t *counter) {
  SetInputHandle(nullptr, 0, crcStart);
  m_source.kind = CODEC_CHANNEL_MEMORY;
  m_source.memSize = base && size > 0 ? size : 0;
  m_source.memBase = static_cast<uint8_t *>(const_cast<void *>(base));
  m_source.counter = counter ? counter : &m_sourceScratch;
  m_source.read = MemRead;
}

void CCodecStream::SetOutputCallback(void *context, CodecWriteFunc write, uint32_t crcStart) {
  SetOutputHandle(nullptr, 0, crcStart);
  m_sink.kind = CODEC_CHANNEL_CALLBACK;
  if (m_sink.hook) {
    m_sink.userWrite = write;
    m_sink.userContext = context;
    m_sink.write = CallbackCrcWrite;
    m_sink.context = this;
  } else {
    m_sink.write = write;
    m_sink.context = context;
  }
}

void CCodecStream::SetInputCallback(void *context, CodecReadFunc read, uint32_t crcStart) {
  SetInputHandle(nullptr, 0, crcStart);
  m_source.kind = CODEC_CHANNEL_CALLBACK;
  if (m_source.hook) {
    m_source.userRead = read;
    m_source.userContext = context;
    m_source.read = CallbackCrcRead;
    m_source.context = this;
  } else {
    m_source.read = read;
    m_source.context = context;
  }
}

void CCodecStream::SetOutputPeak(uint32_t *peak) {
  if (m_sink.kind == CODEC_CHANNEL_MEMORY) m_sink.peak = peak;
}

int CCodecStream::SetReadFilter(void *context, CodecFilterFunc filter) {
  CodecFilterNode *node = new (std::nothrow) CodecFilterNode();
  if (!node) return 0;
  node->next = m_source.filters;
  node->stream = this;
  node->filter = filter;
  node->filterContext = context;
  node->innerRead = m_source.read;
  node->innerContext = m_source.context;
  m_source.filters = node;
  m_source.read = FilteredRead;
  m_source.context = node;
  return 1;
}

int CCodecStream::SetWriteFilter(void *context, CodecFilterFunc filter, int copy) {
  CodecFilterNode *node = new (std::nothrow) CodecFilterNode();
  if (!node) return 0;
  node->next = m_sink.filters;
  node->stream = this;
  node->filter = filter;
  node->filterContext = context;
  node->innerWrite = m_sink.write;
  node->innerContext = m_sink.context;
  m_sink.filters = node;
  m_sink.write = copy ? FilteredCopyWrite : FilteredWrite;
  m_sink.context = node;
  return 1;
}

// Memory, FILE and handle channels run their hook themselves; only a callback channel
// needs the framework's wrapper in front of the caller's function.
void CCodecStream::SetReadHook(void *context, CodecHookFunc hook) {
  SetChannelHook(m_source, &CodecSource::read, &CodecSource::userRead, CallbackCrcRead, this, context, hook);
}

void CCodecStream::SetWriteHook(void *context, CodecHookFunc hook) {
  SetChannelHook(m_sink, &CodecSink::write, &CodecSink::userWrite, CallbackCrcWrite, this, context, hook);
}

// ---------------------------------------------------------------------------------------
// Channel functions

int32_t CCodecStream::MemRead(void *self, void *buffer, int32_t length) {
  CodecSource &s = static_cast<CCodecStream *>(self)->m_source;
  if (length < 1 || s.memPos >= s.memSize) return 0;
  int32_t n = std::min(length, s.memSize - s.memPos);
  std::memcpy(buffer, s.memBase + s.memPos, n);
  RunHook(s, buffer, n);
  s.memPos += n;
  *s.counter += n;
  return n;
}

int32_t CCodecStream::MemWrite(void *self, const void *data, int32_t length) {
  CodecSink &s = static_cast<CCodecStream *>(self)->m_sink;
  if (length < 1 || s.memPos >= s.memSize) return 0;
  int32_t n = std::min(length, s.memSize - s.memPos);
  std::memcpy(s.memBase + s.memPos, data, n);
  RunHook(s, data, n);
  s.memPos += n;
  *s.counter += n;
  if (s.peak && *s.peak < *s.counter) *s.peak = *s.counter;
  return n;
}

int32_t CCodecStream::CallbackCrcRead(void *self, void *buffer, int32_t length) {
  CodecSource &s = static_cast<CCodecStream *>(self)->m_source;
  if (length < 1) return 0;
  int32_t n = s.userRead(s.userContext, buffer, length);
  if (n < 0) return -1;
  RunHook(s, buffer, std::min(n, length));
  return n;
}

int32_t CCodecStream::CallbackCrcWrite(void *self, const void *data, int32_t length) {
  CodecSink &s = static_cast<CCodecStream *>(self)->m_sink;
  if (length < 1) return 0;
  int32_t n = s.userWrite(s.userContext, data, length);
  if (n < 0) return -1;
  RunHook(s, data, std::min(n, length));
  return n;
}

// The allowance is lowered by what actually moved, so a cut request never drives it
// negative ("no limit") and a source never reads past its entry.
int32_t CCodecStream::FileRead(void *self, void *buffer, int32_t length) {
  CodecSource &s = static_cast<CCodecStream *>(self)->m_source;
  if (length < 1) return 0;
  if (s.allowance >= 0) length = std::min(length, s.allowance);
  if (length < 1) return 0;
  FILE *f = static_cast<FILE *>(s.file);
  size_t n = std::fread(buffer, 1, static_cast<size_t>(length), f);
  if (n == 0 && std::ferror(f)) return -1;
  if (s.allowance >= 0) s.allowance -= static_cast<int32_t>(n);
  RunHook(s, buffer, static_cast<int32_t>(n));
  return static_cast<int32_t>(n);
}

int32_t CCodecStream::FileWrite(void *self, const void *data, int32_t length) {
  CodecSink &s = static_cast<CCodecStream *>(self)->m_sink;
  if (length < 1) return 0;
  if (s.allowance >= 0) length = std::min(length, s.allowance);
  if (length < 1) return 0;
  FILE *f = static_cast<FILE *>(s.file);
  size_t n = std::fwrite(data, 1, static_cast<size_t>(length), f);
  if (n == 0 && std::ferror(f)) return -1;
  if (s.allowance >= 0) s.allowance -= static_cast<int32_t>(n);
  RunHook(s, data, static_cast<int32_t>(n));
  return static_cast<int32_t>(n);
}

int32_t CCodecStream::HandleRead(void *self, void *buffer, int32_t length) {
  CCodecStream *stream = static_cast<CCodecStream *>(self);
  if (stream->m_stop && *stream->m_stop) return -1;
  CodecSource &s = stream->m_source;
  if (length < 1) return 0;
  if (s.allowance >= 0) length = std::min(length, s.allowance);
  if (length < 1) return 0;
  DWORD got = 0;
  if (!ReadFile(static_cast<HANDLE>(s.file), buffer, static_cast<DWORD>(length), &got, nullptr)) return -1;
  if (s.allowance >= 0) s.allowance -= static_cast<int32_t>(got);
  RunHook(s, buffer, static_cast<int32_t>(got));
  return static_cast<int32_t>(got);
}

int32_t CCodecStream::HandleWrite(void *self, const void *data, int32_t length) {
  CodecSink &s = static_cast<CCodecStream *>(self)->m_sink;
  if (length < 1) return 0;
  if (s.allowance >= 0) length = std::min(length, s.allowance);
  if (length < 1) return 0;
  DWORD put = 0;
  if (!WriteFile(static_cast<HANDLE>(s.file), data, static_cast<DWORD>(length), &put, nullptr)) return -1;
  if (s.allowance >= 0) s.allowance -= static_cast<int32_t>(put);
  RunHook(s, data, static_cast<int32_t>(put));
  return static_cast<int32_t>(put);
}

int32_t CCodecStream::FilteredRead(void *ctx, void *buffer, int32_t length) {
  CodecFilterNode *node = static_cast<CodecFilterNode *>(ctx);
  if (length < 1) return 0;
  int32_t n = node->innerRead(node->innerContext, buffer, length);
  if (n < 0) return -1;
  int32_t f = node->filter(node->filterContext, buffer, n);
  if (f < 0 || f > length) return -1;  // a filter can't claim bytes beyond the buffer
  return f;
}

namespace {

// The sink's CRC covers the bytes as the codec wrote them, before any write filter: the
// outermost filter runs the hook and silences it for the channel behind.
class SinkHookAhead {
 public:
  SinkHookAhead(CodecSink &sink, const void *data, int32_t length) : m_sink(sink), m_hook(sink.hook) {
    if (m_hook) {
      m_hook(sink.hookContext, data, length);
      sink.hook = nullptr;
    }
  }
  ~SinkHookAhead() { m_sink.hook = m_hook; }

 private:
  CodecSink &m_sink;
  CodecHookFunc m_hook;
};

}  // namespace

int32_t CCodecStream::FilteredWrite(void *ctx, const void *data, int32_t length) {
  CodecFilterNode *node = static_cast<CodecFilterNode *>(ctx);
  if (length < 1) return 0;
  SinkHookAhead ahead(node->stream->m_sink, data, length);
  int32_t m = node->filter(node->filterContext, const_cast<void *>(data), length);
  if (m < 0 || m > length) return -1;
  int32_t w = node->innerWrite(node->innerContext, data, m);
  if (w < 0) return -1;
  return w == m ? length : length - 1;
}

int32_t CCodecStream::FilteredCopyWrite(void *ctx, const void *data, int32_t length) {
  CodecFilterNode *node = static_cast<CodecFilterNode *>(ctx);
  if (length < 1) return 0;
  SinkHookAhead ahead(node->stream->m_sink, data, length);
  uint8_t piece[kCopyPiece];
  const uint8_t *p = static_cast<const uint8_t *>(data);
  int32_t left = length, shortPieces = 0;
  while (left > 0) {
    int32_t k = std::min(left, kCopyPiece);
    std::memcpy(piece, p, k);
    int32_t m = node->filter(node->filterContext, piece, k);
    if (m < 0 || m > k) return -1;
    int32_t w = node->innerWrite(node->innerContext, piece, m);
    if (w < 0) return -1;
    if (w != m) ++shortPieces;
    p += k;
    left -= k;
  }
  return length - shortPieces;
}

// ---------------------------------------------------------------------------------------
// Direct access for the codecs

int32_t CCodecStream::ReadSource(void *buffer, int32_t length) {
  if (!m_source.read || length < 1) return m_source.read ? 0 : -1;
  int32_t n = m_source.read(m_source.context, buffer, length);
  if (n < 0) return -1;
  if (n > length) return -1;  // a reader that claims more than asked is broken
  m_source.total += static_cast<uint32_t>(n);
  return n;
}

int32_t CCodecStream::WriteSink(const void *data, int32_t length) {
  if (!m_sink.write) return -1;
  int32_t n = m_sink.write(m_sink.context, data, length);
  if (n < 0) return -1;
  if (n > 0) m_sink.total += static_cast<uint32_t>(std::min(n, length));
  return n;
}

void CCodecStream::FinalEmptyWrite() {
  if (m_sink.kind == CODEC_CHANNEL_MEMORY || !m_sink.write) return;
  int32_t n = m_sink.write(m_sink.context, nullptr, 0);
  if (n > 0) m_sink.total += static_cast<uint32_t>(n);
}

int32_t CCodecStream::TakeMemoryInput(const uint8_t **data, int32_t max) {
  CodecSource &s = m_source;
  int32_t n = s.memSize - s.memPos;
  if (max >= 0) n = std::min(n, max);
  if (n <= 0) {
    *data = s.memBase ? s.memBase + s.memPos : nullptr;
    return 0;
  }
  *data = s.memBase + s.memPos;
  RunHook(s, *data, n);
  *s.counter += n;
  s.memPos += n;
  s.total += static_cast<uint32_t>(n);
  return n;
}

int32_t CCodecStream::MemoryOutputFree() const {
  return m_sink.kind == CODEC_CHANNEL_MEMORY ? m_sink.memSize - m_sink.memPos : 0;
}

uint8_t *CCodecStream::MemoryOutputPtr() const {
  return m_sink.memBase ? m_sink.memBase + m_sink.memPos : nullptr;
}

void CCodecStream::CommitMemoryOutput(int32_t n) {
  CodecSink &s = m_sink;
  n = std::min(n, s.memSize - s.memPos);
  if (n <= 0) return;
  RunHook(s, s.memBase + s.memPos, n);
  *s.counter += n;
  if (s.peak && *s.peak < *s.counter) *s.peak = *s.counter;
  s.memPos += n;
  s.total += static_cast<uint32_t>(n);
}

// ---------------------------------------------------------------------------------------
// Buffers

uint8_t *CCodecStream::GetWorkBuffer() {
  if (!m_work) m_work = static_cast<uint8_t *>(std::malloc(CODEC_WORK_SIZE + kSpare));
  return m_work;
}

int CCodecStream::PrepareOutputBuffer(int32_t size) {
  CodecOutBuffer &b = m_outBuf;
  if (m_sink.kind == CODEC_CHANNEL_MEMORY) {
    if (!b.borrowed) std::free(b.data);
    b.data = m_sink.memBase;
    b.capacity = m_sink.memSize;
    b.fill = b.accounted = m_sink.memPos;
    b.borrowed = 1;
    return 1;
  }
  if (b.borrowed) {
    b.data = nullptr;
    b.capacity = 0;
    b.borrowed = 0;
  }
  b.fill = b.accounted = 0;
  if (size > b.capacity || !b.data) {
    std::free(b.data);
    b.capacity = 0;
    b.data = size >= 0 ? static_cast<uint8_t *>(std::malloc(static_cast<size_t>(size) + kSpare)) : nullptr;
    if (!b.data) return 0;
    b.capacity = size;
  }
  return 1;
}

int CCodecStream::PrepareInputBuffer(int32_t size) {
  CodecInBuffer &b = m_inBuf;
  if (m_source.kind == CODEC_CHANNEL_MEMORY) {
    if (!b.borrowed) std::free(b.data);
    b.data = m_source.memBase;
    b.capacity = b.fill = m_source.memSize;
    b.pos = m_source.memPos;
    b.ended = 0;
    b.borrowed = 1;
    const uint8_t *rest;
    TakeMemoryInput(&rest, -1);  // the whole remainder at once: one CRC pass, one count
    return 1;
  }
  if (b.borrowed) {
    b.data = nullptr;
    b.capacity = 0;
    b.borrowed = 0;
  }
  b.pos = b.fill = 0;
  b.ended = 0;
  if (size > 0 && (size != b.capacity || !b.data)) {
    std::free(b.data);
    b.capacity = 0;
    b.data = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(size) + kSpare));
    if (!b.data) return 0;
    b.capacity = size;
  }
  return 1;
}

int CCodecStream::FlushOutput() {
  CodecOutBuffer &b = m_outBuf;
  if (b.fill < 1) return 0;
  if (b.borrowed && m_sink.kind == CODEC_CHANNEL_MEMORY) {
    CommitMemoryOutput(b.fill - b.accounted);
    b.accounted = m_sink.memPos;
    return 0;
  }
  int32_t n = m_sink.write ? m_sink.write(m_sink.context, b.data, b.fill) : -1;
  if (n > 0) m_sink.total += static_cast<uint32_t>(std::min(n, b.fill));
  if (n != b.fill) return 1;
  b.fill = 0;
  return 0;
}

int32_t CCodecStream::FillInput(int32_t minimum) {
  CodecInBuffer &b = m_inBuf;
  int32_t avail = b.fill - b.pos;
  if (b.borrowed && m_source.kind == CODEC_CHANNEL_MEMORY) {
    if (avail > 0) return avail;
    b.ended = 1;
    return 0;
  }
  if (avail >= minimum && avail > 0) return avail;
  if (!b.data) return 0;
  if (avail > 0 && b.pos > 0) std::memmove(b.data, b.data + b.pos, avail);
  b.pos = 0;
  b.fill = avail;
  if (b.capacity - avail <= 0) return avail;
  int32_t n = m_source.read ? m_source.read(m_source.context, b.data + avail, b.capacity - avail) : -1;
  if (n > 0) {
    n = std::min(n, b.capacity - avail);
    b.fill += n;
    m_source.total += static_cast<uint32_t>(n);
    return b.fill;
  }
  if (n == 0) b.ended = 1;
  return 0;
}

int32_t CCodecStream::ReadBuffered(void *destination, int32_t length) {
  CodecInBuffer &b = m_inBuf;
  uint8_t *out = static_cast<uint8_t *>(destination);
  int32_t delivered = 0;
  if (length < 1 || !b.data) return 0;
  while (b.fill - b.pos < length - delivered) {
    int32_t avail = b.fill - b.pos;
    if (avail > 0) {
      std::memcpy(out + delivered, b.data + b.pos, avail);
      b.pos += avail;
      delivered += avail;
    }
    if (b.borrowed && m_source.kind == CODEC_CHANNEL_MEMORY) {
      b.ended = 1;
      return delivered;
    }
    if (FillInput(1024) <= 0) return delivered;
  }
  int32_t rest = length - delivered;
  std::memcpy(out + delivered, b.data + b.pos, rest);
  b.pos += rest;
  return length;
}

int CCodecStream::WriteBuffered(const void *data, int32_t length) {
  CodecOutBuffer &b = m_outBuf;
  const uint8_t *p = static_cast<const uint8_t *>(data);
  if (length < 1) return 0;
  if (!b.data || b.capacity < 1) return 1;
  bool memory = b.borrowed && m_sink.kind == CODEC_CHANNEL_MEMORY;
  while (length > 0 && length >= b.capacity - b.fill) {
    int32_t k = b.capacity - b.fill;
    if (k > 0) {
      std::memcpy(b.data + b.fill, p, k);
      b.fill += k;
      p += k;
      length -= k;
    }
    if (FlushOutput()) return 1;
    if (memory && b.fill >= b.capacity && length > 0) return 1;
  }
  if (length > 0) {
    std::memcpy(b.data + b.fill, p, length);
    b.fill += length;
  }
  return 0;
}

int32_t CCodecStream::ReadIntoOutputMemory() {
  CodecSink &s = m_sink;
  if (s.kind != CODEC_CHANNEL_MEMORY || s.memPos >= s.memSize) return -1;
  int32_t free = s.memSize - s.memPos;
  int32_t n = m_source.read ? m_source.read(m_source.context, s.memBase + s.memPos, free) : -1;
  if (n <= 0) return n;
  n = std::min(n, free);
  m_source.total += static_cast<uint32_t>(n);
  CommitMemoryOutput(n);
  return n;
}

uint64_t CCodecStream::GetInfo(int kind) const {
  switch (kind) {
    case 3: return SinkCrc();
    case 4: return SourceCrc();
    case 7: return m_source.total;
    case 8: return m_sink.total;
    default: return 0;
  }
}

uint32_t CCodecStream::GetInfo32(int kind) const {
  switch (kind) {
    case 3: return SinkCrc();
    case 4: return SourceCrc();
    case 7: return static_cast<uint32_t>(m_source.total);
    case 8: return static_cast<uint32_t>(m_sink.total);
    case 11: return static_cast<uint32_t>(m_source.total >> 32);
    case 12: return static_cast<uint32_t>(m_sink.total >> 32);
    default: return 0;
  }
}

// ---------------------------------------------------------------------------------------
// Reset

void CCodecStream::FreeBuffers() {
  std::free(m_work);
  m_work = nullptr;
  if (!m_outBuf.borrowed) std::free(m_outBuf.data);
  if (!m_inBuf.borrowed) std::free(m_inBuf.data);
  std::memset(&m_outBuf, 0, sizeof m_outBuf);
  std::memset(&m_inBuf, 0, sizeof m_inBuf);
}

void CCodecStream::ClearChannels() {
  FreeFilters(m_sink);
  FreeFilters(m_source);
  uint64_t sinkTotal = m_sink.total, sourceTotal = m_source.total;
  std::memset(&m_sink, 0, sizeof m_sink);
  std::memset(&m_source, 0, sizeof m_source);
  m_sink.total = sinkTotal;
  m_source.total = sourceTotal;
  m_sink.kind = m_source.kind = CODEC_CHANNEL_NONE;
  m_sink.counter = &m_sinkScratch;
  m_source.counter = &m_sourceScratch;
  // Borrowed buffers go with their channel; owned ones are kept, emptied, for reuse.
  if (m_outBuf.borrowed) std::memset(&m_outBuf, 0, sizeof m_outBuf);
  if (m_inBuf.borrowed) std::memset(&m_inBuf, 0, sizeof m_inBuf);
  m_outBuf.fill = m_outBuf.accounted = 0;
  m_inBuf.pos = m_inBuf.fill = 0;
  m_inBuf.ended = 0;
}

void CCodecStream::Reset(int mode) {
  if (mode == 0 || mode == 2) FreeBuffers();
  if (mode != 2) ClearChannels();
}
