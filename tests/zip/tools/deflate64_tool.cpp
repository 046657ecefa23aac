// Test tool: decodes a raw Deflate64 stream file into a file.
// Usage: deflate64_tool <in> <out>. Exit code 0 when the stream decoded completely.
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "zip/InfBack9.h"

namespace {

struct Files {
  FILE *in;
  FILE *out;
  unsigned char buffer[16384];
};

unsigned ReadIn(void *ctx, unsigned char **data) {
  Files *f = static_cast<Files *>(ctx);
  *data = f->buffer;
  return (unsigned)fread(f->buffer, 1, sizeof(f->buffer), f->in);
}

int WriteOut(void *ctx, unsigned char *data, unsigned len) {
  Files *f = static_cast<Files *>(ctx);
  return fwrite(data, 1, len, f->out) == len ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: deflate64_tool <in> <out>\n");
    return 2;
  }
  static Files files;
  files.in = fopen(argv[1], "rb");
  files.out = fopen(argv[2], "wb");
  if (!files.in || !files.out) {
    fprintf(stderr, "cannot open files\n");
    return 2;
  }
  std::vector<unsigned char> window(INFBACK9_WINDOW_SIZE + 8);
  z_stream zs;
  memset(&zs, 0, sizeof(zs));
  if (inflateBack9Init(&zs, window.data()) != Z_OK) return 3;
  int ret = inflateBack9(&zs, ReadIn, &files, WriteOut, &files);
  if (ret != Z_STREAM_END) fprintf(stderr, "inflateBack9: %d %s\n", ret, zs.msg ? zs.msg : "");
  inflateBack9End(&zs);
  fclose(files.in);
  if (fclose(files.out) != 0) return 1;
  return ret == Z_STREAM_END ? 0 : 1;
}
