// Peer-check tool of the zip format layer.
//   zipfmt_tool list <archive> <out.txt> [options]   what the directory reader found
//   zipfmt_tool write <archive> <entries.txt>           headers and directory for given entries
//   zipfmt_tool rewrite <archive>                    reads in update mode, writes the directory anew
//   zipfmt_tool bench <count> [archive]              prints timings of the table and the reader
// Texts in the listing and the entry list are UTF-8; names inside the program are code page 1252.
// list writes "rc <code>", "comment <text>" and one line per entry:
//   name, uncompressed, compressed, crc, offset, method, flags, DOS date and time,
//   attribute byte, damaged, descriptor size, modification, access and creation time,
//   version made by, version needed (tab-separated).
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/CodePage.h"
#include "zip/ZipFormat.h"

namespace {

using testcommon::FromUtf8;
using testcommon::ToUtf8;

std::vector<std::string> Split(const std::string &line, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = line.find(sep, start);
    parts.push_back(line.substr(start, at - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return parts;
}

class Tool : public CZipFormat {
 public:
  void SetCommentText(const std::string &text) {
    std::free(m_comment);
    m_comment = static_cast<char *>(std::malloc(text.size() + 1));
    std::memcpy(m_comment, text.c_str(), text.size() + 1);
  }
};

int List(const char *archive, const char *outPath, unsigned options) {
  Tool t;
  FILE *out = std::fopen(outPath, "wb");
  if (!out) return 2;
  int rc = t.Io().OpenFile(archive, ZIPIO_READ);
  t.SetOptionBits(options);
  if (!rc) rc = t.ReadDirectory(1);
  std::fprintf(out, "rc %d\ncomment %s\n", rc, ToUtf8(t.GetComment()).c_str());
  for (int i = 0; i < t.GetEntryCount(); ++i) {
    ZipEntry *e = t.GetEntry(i);
    uint32_t d = e->dosDateTime;
    std::fprintf(out,
                 "%s\t%llu\t%llu\t%08x\t%llu\t%u\t%04x\t%04u-%02u-%02u %02u:%02u:%02u\t%02x\t%u\t%u\t%ld\t%ld\t%ld\t%04x\t%u\n",
                 ToUtf8(e->name).c_str(), static_cast<unsigned long long>(e->uncompressedSize),
                 static_cast<unsigned long long>(e->compressedSize), e->crc32,
                 static_cast<unsigned long long>(e->localHeaderOffset), e->method, e->flags,
                 (d >> 25) + 1980, (d >> 21) & 15, (d >> 16) & 31, (d >> 11) & 31, (d >> 5) & 63,
                 (d & 31) * 2, e->externalAttributes & 0xFF, e->damaged, e->descriptorSize,
                 static_cast<long>(e->modTime), static_cast<long>(e->accessTime),
                 static_cast<long>(e->createTime), e->versionMadeBy, e->versionNeeded);
  }
  std::fclose(out);
  return 0;
}

// Entry list lines: name, kind (text / sparse / dir), text or size, modification time, attributes
// (hex); or "#comment" and the comment.
int Write(const char *archive, const char *specPath) {
  FILE *in = std::fopen(specPath, "rb");
  if (!in) return 2;
  Tool t;
  if (t.Io().OpenFile(archive, ZIPIO_CREATE)) return 3;
  char line[4096];
  try {
    while (std::fgets(line, sizeof line, in)) {
      std::string s(line);
      while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
      if (s.empty()) continue;
      std::vector<std::string> f = Split(s, '\t');
      if (f[0] == "#comment") {
        t.SetCommentText(FromUtf8(f.size() > 1 ? f[1] : ""));
        continue;
      }
      if (f.size() < 5) return 4;
      int i = t.NewEntry();
      std::string name = FromUtf8(f[0]);
      t.SetEntryName(i, name.c_str(), -1, nullptr);
      ZipEntry *e = t.GetEntry(i);
      int32_t mtime = std::atol(f[3].c_str());
      e->modTime = mtime;
      e->accessTime = mtime + 60;
      e->createTime = mtime - 86400;
      e->dosDateTime = TimeToDosDateTime(mtime);
      e->externalAttributes = std::strtoul(f[4].c_str(), nullptr, 16);
      e->versionMadeBy = ZIP_VERSION_MADE_BY;
      e->versionNeeded = ZIP_VERSION_STORED;
      e->localHeaderOffset = t.Io().Tell();
      e->inFile = 1;
      std::string data;
      uint64_t skip = 0;
      if (f[1] == "text") {
        data = f[2];
        e->crc32 = crc32(0, reinterpret_cast<const Bytef *>(data.data()),
                         static_cast<uInt>(data.size()));
        e->uncompressedSize = e->compressedSize = data.size();
      } else if (f[1] == "sparse") {
        skip = std::strtoull(f[2].c_str(), nullptr, 10);
        e->uncompressedSize = e->compressedSize = skip;
      } else {
        e->externalAttributes |= FILE_ATTRIBUTE_DIRECTORY;
      }
      t.WriteEntryHeader(e);
      if (!data.empty()) t.Io().Write(data.data(), static_cast<uint32_t>(data.size()));
      if (skip) t.Io().Seek(t.Io().Tell() + skip);  // the data as a hole
    }
    t.WriteCentralDirectory();
    t.Io().Flush();
  } catch (int code) {
    std::fprintf(stderr, "error %d\n", code);
    return 5;
  }
  std::fclose(in);
  return t.Io().Close() ? 0 : 6;
}

int Rewrite(const char *archive) {
  Tool t;
  if (t.Io().OpenFile(archive, ZIPIO_UPDATE)) return 3;
  int rc = t.ReadDirectory(2);
  if (rc) {
    std::fprintf(stderr, "read %d\n", rc);
    return 4;
  }
  try {
    t.Io().Seek(t.GetDataEnd());
    t.WriteCentralDirectory();
  } catch (int code) {
    std::fprintf(stderr, "error %d\n", code);
    return 5;
  }
  return t.Io().Close() ? 0 : 6;
}

double Seconds(const LARGE_INTEGER &from) {
  LARGE_INTEGER now, freq;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&freq);
  return double(now.QuadPart - from.QuadPart) / double(freq.QuadPart);
}

int Bench(int count, const char *archive) {
  Tool t;
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i)
    names.push_back("ordner" + std::to_string(i % 100) + "/datei" + std::to_string(i) + ".txt");
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  for (int i = 0; i < count; ++i) {
    // The archive's add: look for the name, then record the entry.
    if (t.FindEntry(names[i].c_str()) >= 0) return 2;
    t.SetEntryName(t.NewEntry(), names[i].c_str(), -1, nullptr);
  }
  std::printf("add %d entries with lookup: %.3f s\n", count, Seconds(start));
  QueryPerformanceCounter(&start);
  for (int i = 0; i < count; ++i)
    if (t.FindEntry(names[i].c_str()) != i) return 3;
  std::printf("find %d names: %.3f s\n", count, Seconds(start));
  QueryPerformanceCounter(&start);
  t.SortEntries(ZIP_SORT_NATURAL);
  std::printf("natural sort: %.3f s\n", Seconds(start));
  QueryPerformanceCounter(&start);
  t.SortEntries(ZIP_SORT_NAME);
  std::printf("name sort: %.3f s\n", Seconds(start));
  if (archive) {
    Tool r;
    if (r.Io().OpenFile(archive, ZIPIO_READ)) return 4;
    QueryPerformanceCounter(&start);
    int rc = r.ReadDirectory(1);
    std::printf("read directory of %d entries (rc %d): %.3f s\n", r.GetEntryCount(), rc, Seconds(start));
    CZipIo out;
    char temp[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    GetTempFileNameA(temp, "zfb", 0, path);
    QueryPerformanceCounter(&start);
    r.Io().Close();
    r.Io().OpenFile(path, ZIPIO_CREATE);
    for (int i = 0; i < r.GetEntryCount(); ++i) r.GetEntry(i)->inFile = 1;
    r.WriteCentralDirectory();
    r.Io().Close();
    std::printf("write directory: %.3f s\n", Seconds(start));
    DeleteFileA(path);
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc >= 4 && !std::strcmp(argv[1], "list"))
    return List(argv[2], argv[3], argc > 4 ? std::strtoul(argv[4], nullptr, 0) : 0);
  if (argc == 4 && !std::strcmp(argv[1], "write")) return Write(argv[2], argv[3]);
  if (argc == 3 && !std::strcmp(argv[1], "rewrite")) return Rewrite(argv[2]);
  if (argc >= 3 && !std::strcmp(argv[1], "bench")) return Bench(std::atoi(argv[2]), argc > 3 ? argv[3] : nullptr);
  std::fprintf(stderr, "usage: zipfmt_tool list|write|rewrite|bench ...\n");
  return 1;
}
