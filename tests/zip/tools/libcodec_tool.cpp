// Compresses or decompresses one raw stream file with a chosen codec, for the peer tests.
// libcodec_tool c|d CODEC ARG SIZE IN OUT [handle|memory|callback]
//   CODEC: stored, deflate, deflate64, bzip2, lzma3 (zip header), lzma6 (.lzma layout), xz
//   ARG: the level (c) or the mode, -2 for the codec's own (d); SIZE: LZMA's known size or -1
// Prints "in=N out=N crc=XXXXXXXX flags=N" (crc: of the plain side) and exits 0, or prints
// "error class=N text" and exits 1.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "zip/Bz2Codec.h"
#include "zip/DeflateCodec.h"
#include "zip/LzmaCodec.h"
#include "zip/XzCodec.h"

namespace {

std::vector<uint8_t> ReadAll(const char *path) {
  std::vector<uint8_t> data;
  FILE *f = std::fopen(path, "rb");
  if (!f) return data;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  std::fclose(f);
  return data;
}

struct FileIo {
  FILE *f;
  static int32_t Read(void *ctx, void *p, int32_t n) {
    size_t got = std::fread(p, 1, static_cast<size_t>(n) > 3000 ? 3000 : n, static_cast<FileIo *>(ctx)->f);
    return static_cast<int32_t>(got);
  }
  static int32_t Write(void *ctx, const void *p, int32_t n) {
    if (n < 1) return 0;
    return static_cast<int32_t>(std::fwrite(p, 1, n, static_cast<FileIo *>(ctx)->f));
  }
};

}  // namespace

int main(int argc, char **argv) {
  if (argc < 7) {
    std::fprintf(stderr, "usage: libcodec_tool c|d CODEC ARG SIZE IN OUT [handle|memory|callback]\n");
    return 2;
  }
  const bool compress = argv[1][0] == 'c';
  const std::string codec = argv[2];
  const int arg = std::atoi(argv[3]);
  const long long size = std::atoll(argv[4]);
  const char *inPath = argv[5], *outPath = argv[6];
  const std::string channel = argc > 7 ? argv[7] : "handle";

  std::unique_ptr<CCodec> c;
  int mode = -2;
  if (codec == "stored" || codec == "deflate" || codec == "deflate64") {
    c.reset(new CDeflateCodec);
    if (!compress && arg == -2) mode = codec == "stored" ? 0 : codec == "deflate" ? 8 : 9;
  } else if (codec == "bzip2") {
    c.reset(new CBz2Codec);
  } else if (codec == "lzma3" || codec == "lzma6") {
    CLzmaCodec *l = new CLzmaCodec;
    l->m_mode = codec == "lzma3" ? 3 : 6;
    l->m_expectedSize = size;
    c.reset(l);
  } else if (codec == "xz") {
    c.reset(new CXzCodec);
  } else {
    std::fprintf(stderr, "unknown codec %s\n", codec.c_str());
    return 2;
  }
  if (!compress && arg != -2) mode = arg;

  const uint32_t inCrc = compress ? 0 : CODEC_NO_CRC, outCrc = compress ? CODEC_NO_CRC : 0;
  std::vector<uint8_t> inData, outBlock;
  HANDLE hin = INVALID_HANDLE_VALUE, hout = INVALID_HANDLE_VALUE;
  FileIo fin = {nullptr}, fout = {nullptr};
  if (channel == "memory") {
    inData = ReadAll(inPath);
    size_t cap = compress ? inData.size() * 2 + 4096 : (size >= 0 ? static_cast<size_t>(size) : inData.size() * 40 + 4096);
    outBlock.resize(cap ? cap : 1);
    c->SetInputMemory(static_cast<int32_t>(inData.size()), inData.data(), inCrc, nullptr);
    c->SetOutputMemory(static_cast<int32_t>(cap), outBlock.data(), outCrc, nullptr);
  } else if (channel == "callback") {
    fin.f = std::fopen(inPath, "rb");
    fout.f = std::fopen(outPath, "wb");
    if (!fin.f || !fout.f) return 2;
    c->SetInputCallback(&fin, FileIo::Read, inCrc);
    c->SetOutputCallback(&fout, FileIo::Write, outCrc);
  } else {
    hin = CreateFileA(inPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    hout = CreateFileA(outPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (hin == INVALID_HANDLE_VALUE || hout == INVALID_HANDLE_VALUE) return 2;
    c->SetInputHandle(hin, -1, inCrc);
    c->SetOutputHandle(hout, -1, outCrc);
  }

  int rc = 0;
  try {
    if (compress)
      c->Compress(arg);
    else
      c->Decompress(mode);
  } catch (const char *text) {
    std::printf("error class=%d %s\n", c->m_errorClass, text);
    rc = 1;
  }
  if (channel == "memory") {
    FILE *f = std::fopen(outPath, "wb");
    if (f) {
      std::fwrite(outBlock.data(), 1, c->m_sink.memPos, f);
      std::fclose(f);
    }
  }
  if (fin.f) std::fclose(fin.f);
  if (fout.f) std::fclose(fout.f);
  if (hin != INVALID_HANDLE_VALUE) CloseHandle(hin);
  if (hout != INVALID_HANDLE_VALUE) CloseHandle(hout);
  if (rc == 0) {
    std::printf("in=%llu out=%llu crc=%08X flags=%u\n", static_cast<unsigned long long>(c->m_source.total),
                static_cast<unsigned long long>(c->m_sink.total),
                static_cast<unsigned>(compress ? c->SourceCrc() : c->SinkCrc()), static_cast<unsigned>(c->m_flags));
  }
  return rc;
}
