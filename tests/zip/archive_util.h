// Helpers of the archive tests: a temporary folder, files from strings, an event recorder,
// a collecting sink and a builder of raw archive bytes (for encrypted and damaged entries).
#pragma once
#include <windows.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/LeBytes.h"
#include "common/TempTree.h"
#include "common/ZipBuilder.h"
#include "zip/ZipFile.h"

namespace archivetest {

using testcommon::Crc;
using testcommon::Le16;
using testcommon::Le32;

// A folder of its own under the temporary folder, removed with everything in it.
class TempDir : public testcommon::TempDir {
 public:
  TempDir() : testcommon::TempDir("archive_") {}
};

inline bool WriteFileText(const std::string &path, const std::string &data) {
  return testcommon::WriteFileBytes(path, data);
}

// A file's bytes, or "<missing>" when it cannot be opened.
inline std::string ReadFileText(const std::string &path) {
  bool opened = false;
  std::string data = testcommon::ReadFileBytes(path, &opened);
  return opened ? data : "<missing>";
}

inline bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Text that deflate shrinks well.
inline std::string TextData(size_t n, int seed = 0) {
  std::string s;
  for (int i = 0; s.size() < n; ++i) s += "Zeile " + std::to_string(i * 7 + seed) + " der Datei mit Text\r\n";
  s.resize(n);
  return s;
}

// Bytes that no method shrinks.
inline std::string NoiseData(size_t n, uint32_t seed = 0x1234567u) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; ++i) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    s[i] = static_cast<char>(seed);
  }
  return s;
}

// Records the events an archive raises and answers with a chosen value.
struct Recorder {
  struct Event {
    int event;
    int index;
    std::string text;
    bool hasText;
  };
  std::vector<Event> events;
  int cancelEvent = -1;   // answer 1 to this event ...
  int cancelAfter = 0;    // ... after letting this many of them through
  CZipFile *zip = nullptr;
  std::vector<uint64_t> sizesAtCompress;  // GetEntrySize(index, 0) at each event 7
  std::vector<int> partLengths;           // prefix, name, suffix of the last text

  static int Callback(uintptr_t user, int event, int index, CArchiveFile *archive, const char *text) {
    Recorder *r = reinterpret_cast<Recorder *>(user);
    r->events.push_back({event, index, text ? text : "", text != nullptr});
    int p, n, s;
    archive->GetEventTextParts(&p, &n, &s);
    r->partLengths = {p, n, s};
    if (event == 7 && r->zip) r->sizesAtCompress.push_back(r->zip->GetEntrySize(index, 0));
    if (event == r->cancelEvent) {
      if (r->cancelAfter == 0) return 1;
      --r->cancelAfter;
    }
    return 0;
  }
  int Count(int event) const {
    int n = 0;
    for (const Event &e : events) n += e.event == event;
    return n;
  }
  std::vector<std::string> Texts(int event) const {
    std::vector<std::string> t;
    for (const Event &e : events)
      if (e.event == event) t.push_back(e.text);
    return t;
  }
};

// Collects extracted bytes.
struct StringSink {
  std::string data;
  static int32_t Write(void *self, const void *p, int32_t n) {
    if (n > 0 && p) static_cast<StringSink *>(self)->data.append(static_cast<const char *>(p), n);
    return n > 0 ? n : 0;
  }
};

inline std::string Extract(CZipFile &zip, int index, int *rc = nullptr) {
  StringSink sink;
  int r = zip.ExtractEntry(index, StringSink::Write, &sink, nullptr);
  if (rc) *rc = r;
  return r ? "<error " + std::to_string(r) + ">" : sink.data;
}

// Hand-made archive bytes (encrypted and damaged entries): entries as NTFS writes them, with
// version 2.0; then the directory.
struct RawEntry : testcommon::ArchiveBuilder::Entry {
  RawEntry() {
    madeBy = 0x0B17;
    version = 20;
    dosTime = 0x52E77B1C;
  }
};

inline std::string BuildArchive(const std::vector<RawEntry> &entries) {
  testcommon::ArchiveBuilder b;
  for (const RawEntry &e : entries) b.Add(e);
  return b.Finish();
}

}  // namespace archivetest
