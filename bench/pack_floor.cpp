// The floor of packing a folder for the zip benchmark: the least a packer must spend on the
// same work under the same Wine. Lists every file below the folder, then reads each one,
// computes its CRC-32 and compresses it with the same library at the same settings as the
// archive (raw deflate, bzip2, or LZMA with an end marker), and appends a local header and the
// data to one output file in 64 KB writes, a central directory at the end. Not a valid zip:
// headers carry only what costs the same to write.
//   pack_floor <store|deflate|bzip2|lzma> <level> <output> <folder>
// Prints "files N bytes B packed P seconds S".
#include <windows.h>

#include <bzlib.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <LzmaEnc.h>
}

#include "BenchClock.h"
#include "BenchFiles.h"

namespace {

// Output in 64 KB writes.
class Out {
 public:
  explicit Out(HANDLE h) : m_h(h) {}
  ~Out() { Flush(); }
  void Put(const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n) {
      size_t k = n < sizeof m_buf - m_len ? n : sizeof m_buf - m_len;
      std::memcpy(m_buf + m_len, p, k);
      m_len += k, p += k, n -= k, m_total += k;
      if (m_len == sizeof m_buf) Flush();
    }
  }
  void Flush() {
    DWORD done;
    if (m_len) WriteFile(m_h, m_buf, (DWORD)m_len, &done, nullptr);
    m_len = 0;
  }
  unsigned long long Total() const { return m_total; }

 private:
  HANDLE m_h;
  char m_buf[65536];
  size_t m_len = 0;
  unsigned long long m_total = 0;
};

void* LzAlloc(void*, size_t size) { return std::malloc(size); }
void LzFree(void*, void* p) { std::free(p); }
ISzAlloc g_alloc = {LzAlloc, LzFree};

struct LzIn {
  ISeqInStream base;
  HANDLE h;
  uLong* crc;
};
SRes LzRead(void* p, void* buf, size_t* size) {
  const LzIn* in = static_cast<const LzIn*>(p);
  DWORD got = 0;
  if (!ReadFile(in->h, buf, (DWORD)*size, &got, nullptr)) return SZ_ERROR_READ;
  *in->crc = crc32(*in->crc, static_cast<const Bytef*>(buf), got);
  *size = got;
  return SZ_OK;
}
struct LzOut {
  ISeqOutStream base;
  Out* out;
};
size_t LzWrite(void* p, const void* buf, size_t size) {
  static_cast<const LzOut*>(p)->out->Put(buf, size);
  return size;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  std::string method = argv[1];
  int level = std::atoi(argv[2]);
  std::vector<std::string> files;
  double start = BenchNow();
  BenchListFiles(argv[4], "", files);
  HANDLE oh = CreateFileA(argv[3], GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (oh == INVALID_HANDLE_VALUE) return 1;
  unsigned long long bytes = 0;
  {
    Out out(oh);
    std::vector<unsigned char> in(65536), packed(65536);
    char header[46] = {};
    for (const std::string& rel : files) {
      std::string path = std::string(argv[4]) + "\\" + rel;
      HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
      if (h == INVALID_HANDLE_VALUE) continue;
      out.Put(header, 30);
      out.Put(rel.data(), rel.size());
      uLong crc = crc32(0, nullptr, 0);
      DWORD got = 0;
      if (method == "deflate") {
        z_stream zs = {};
        deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        int flush = Z_NO_FLUSH;
        while (flush != Z_FINISH) {
          if (!ReadFile(h, in.data(), (DWORD)in.size(), &got, nullptr)) got = 0;
          crc = crc32(crc, in.data(), got);
          bytes += got;
          flush = got ? Z_NO_FLUSH : Z_FINISH;
          zs.next_in = in.data(), zs.avail_in = got;
          do {
            zs.next_out = packed.data(), zs.avail_out = (uInt)packed.size();
            deflate(&zs, flush);
            out.Put(packed.data(), packed.size() - zs.avail_out);
          } while (zs.avail_out == 0);
        }
        deflateEnd(&zs);
      } else if (method == "bzip2") {
        bz_stream bz = {};
        BZ2_bzCompressInit(&bz, level ? level : 1, 0, 0);
        int action = BZ_RUN, ret = BZ_RUN_OK;
        while (ret != BZ_STREAM_END) {
          if (bz.avail_in == 0 && action == BZ_RUN) {
            if (!ReadFile(h, in.data(), (DWORD)in.size(), &got, nullptr)) got = 0;
            crc = crc32(crc, in.data(), got);
            bytes += got;
            if (!got) action = BZ_FINISH;
            bz.next_in = reinterpret_cast<char*>(in.data()), bz.avail_in = got;
          }
          bz.next_out = reinterpret_cast<char*>(packed.data()), bz.avail_out = (unsigned)packed.size();
          ret = BZ2_bzCompress(&bz, action);
          out.Put(packed.data(), packed.size() - bz.avail_out);
        }
        BZ2_bzCompressEnd(&bz);
      } else if (method == "lzma") {
        LARGE_INTEGER size;
        GetFileSizeEx(h, &size);
        CLzmaEncHandle enc = LzmaEnc_Create(&g_alloc);
        CLzmaEncProps props;
        LzmaEncProps_Init(&props);
        props.level = level;
        props.numThreads = 1;
        props.reduceSize = (UInt32)size.QuadPart;
        props.writeEndMark = 1;
        LzmaEnc_SetProps(enc, &props);
        Byte prop[LZMA_PROPS_SIZE];
        SizeT propSize = sizeof prop;
        LzmaEnc_WriteProperties(enc, prop, &propSize);
        out.Put("\x09\x14\x05\x00", 4);
        out.Put(prop, propSize);
        LzIn lin = {{LzRead}, h, &crc};
        LzOut lout = {{LzWrite}, &out};
        LzmaEnc_Encode(enc, &lout.base, &lin.base, nullptr, &g_alloc, &g_alloc);
        LzmaEnc_Destroy(enc, &g_alloc, &g_alloc);
        bytes += (unsigned long long)size.QuadPart;
      } else {
        while (ReadFile(h, in.data(), (DWORD)in.size(), &got, nullptr) && got) {
          crc = crc32(crc, in.data(), got);
          bytes += got;
          out.Put(in.data(), got);
        }
      }
      CloseHandle(h);
    }
    for (const std::string& rel : files) {
      out.Put(header, 46);
      out.Put(rel.data(), rel.size());
    }
    out.Put(header, 22);
    out.Flush();
    std::printf("files %u bytes %llu packed %llu seconds %.3f\n", (unsigned)files.size(), bytes, out.Total(),
                BenchNow() - start);
  }
  CloseHandle(oh);
  return 0;
}
