// Test tool: zip method 98 data (properties word + PPMd stream) through CPpmdCodec.
// Usage: ppmd_tool c <level> <in> <out> | ppmd_tool d <in> <out>. Exit code 0 on success;
// a failure prints the codec's class and text.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zip/PpmdCodec.h"

namespace {

// One Win32 file handle, closed with the object.
class File {
 public:
  File(const char *path, bool write)
      : m_h(CreateFileA(path, write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ, nullptr,
                        write ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr)) {}
  ~File() {
    if (m_h != INVALID_HANDLE_VALUE) CloseHandle(m_h);
  }
  HANDLE Get() const { return m_h; }
  bool Ok() const { return m_h != INVALID_HANDLE_VALUE; }

 private:
  HANDLE m_h;
};

}  // namespace

int main(int argc, char **argv) {
  bool compress = argc == 5 && strcmp(argv[1], "c") == 0;
  bool decompress = argc == 4 && strcmp(argv[1], "d") == 0;
  if (!compress && !decompress) {
    fprintf(stderr, "usage: ppmd_tool c <level> <in> <out> | ppmd_tool d <in> <out>\n");
    return 2;
  }
  File in(argv[argc - 2], false), out(argv[argc - 1], true);
  if (!in.Ok() || !out.Ok()) {
    fprintf(stderr, "cannot open files\n");
    return 2;
  }
  CPpmdCodec codec;
  codec.m_mode = PPMD_MODE_PROPERTIES;
  codec.SetInputHandle(in.Get(), -1, 0);
  codec.SetOutputHandle(out.Get(), -1, 0);
  try {
    if (compress) {
      codec.Compress(atoi(argv[2]));
    } else {
      codec.Decompress(-2);
    }
  } catch (const char *text) {
    fprintf(stderr, "class %d: %s\n", (int)codec.m_errorClass, text);
    return 1;
  } catch (int code) {
    fprintf(stderr, "code %d\n", code);
    return 1;
  }
  printf("%llu -> %llu crc %08lX\n", (unsigned long long)(compress ? codec.m_uncompressed : codec.m_compressed),
         (unsigned long long)(compress ? codec.m_compressed : codec.m_uncompressed),
         (unsigned long)(compress ? codec.SourceCrc() : codec.SinkCrc()));
  return 0;
}
