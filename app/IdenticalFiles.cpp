// The identical-files search. Every file that has a candidate of its size is read once for a
// content key; only files of equal keys are compared byte for byte, and only files of equal
// bytes are asked for their identity (once each). The pairs come in the order of the plain
// search: each file in size order against every later file of its size.
#include "app/IdenticalFiles.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "system/DirList.h"
#include "system/Files.h"
#include "system/MapFile.h"
#include "system/Paths.h"
#include "system/SafeFile.h"
#include "system/StrList.h"
#include "system/WinHandle.h"

namespace {

DWORD ListedSize(const CStrList& files, int i) { return *files.Item<DWORD>(i); }

// What the search learnt about one listed file.
struct FileFacts {
  enum { Unread, Keyed, Unreadable };
  enum { IdUnread, IdKnown, IdUnknown };
  int content = Unread;
  uint32_t key[4] = {0, 0, 0, 0};
  bool laterPartner = false;   // a later file of its size had the same key when they were read
  int idState = IdUnread;
  DWORD volume = 0, indexHigh = 0, indexLow = 0;

  bool SameKey(const FileFacts& o) const {
    return content == Keyed && o.content == Keyed && std::memcmp(key, o.key, sizeof key) == 0;
  }
};

// The content key: four lanes of 32-bit words, each lane multiplied through. A word that
// differs changes its lane for good (each step is a bijection of the lane), so files that
// differ in one place always get other keys; equal keys are checked byte for byte anyway.
class CContentKey {
public:
  // Takes bytes in steps of 16; only the last call may end with a partial step.
  void Add(const uint8_t* p, size_t n) {
    for (; n >= 16; p += 16, n -= 16)
      for (int l = 0; l < 4; ++l) {
        uint32_t w;
        std::memcpy(&w, p + 4 * l, 4);
        m_lanes[l] = (m_lanes[l] ^ w) * 0x9E3779B1u;
      }
    if (n) {
      uint8_t tail[16] = {};
      std::memcpy(tail, p, n);
      tail[15] ^= uint8_t(0x80 | n);
      Add(tail, 16);
    }
  }
  void Get(uint32_t out[4]) const { std::memcpy(out, m_lanes, sizeof m_lanes); }

private:
  uint32_t m_lanes[4] = {0x243F6A88u, 0x85A308D3u, 0x13198A2Eu, 0x03707344u};
};

// The file's size in full; 0 when it cannot be read.
uint64_t FileSize64(const char* path) {
  FileInfo info;
  return FileStat(path, &info) == 0 && !(info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) ? info.nSize : 0;
}

// Reads the file's content key; false when it cannot be read whole, the low 32 bits of its
// size are not size (the list holds 32-bit sizes: a file of 4 GB or more is read in full, its
// size in its key), or stopped() said so between two blocks. An empty file counts as
// unreadable: the search compares mapped files, and an empty file cannot be mapped.
bool ReadContentKey(const char* path, DWORD size, std::vector<uint8_t>& buffer, uint32_t key[4],
                    const std::function<bool()>& stopped) {
  if (size == 0) return false;
  CWinHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  LARGE_INTEGER actual;
  if (!file || !GetFileSizeEx(file.Get(), &actual) || actual.LowPart != size) return false;
  // The buffer was sized by the listed (low) size.
  if (actual.HighPart && buffer.size() < (1u << 20)) buffer.resize(1u << 20);
  CContentKey k;
  for (uint64_t left = uint64_t(actual.QuadPart); left > 0;) {
    if (stopped()) return false;
    // Whole buffers, so that only the last step of the key is partial.
    DWORD want = left < buffer.size() ? DWORD(left) : DWORD(buffer.size()), got = 0;
    while (got < want) {
      DWORD n = 0;
      if (!ReadFile(file.Get(), buffer.data() + got, want - got, &n, nullptr) || n == 0) return false;
      got += n;
    }
    k.Add(buffer.data(), got);
    left -= got;
  }
  if (actual.HighPart) k.Add(reinterpret_cast<const uint8_t*>(&actual.QuadPart), sizeof actual.QuadPart);
  k.Get(key);
  return true;
}

// The file's identity (volume and index), read once.
bool Identity(const char* path, FileFacts& f) {
  if (f.idState == FileFacts::IdUnread) {
    f.idState = FileFacts::IdUnknown;
    CWinHandle h(CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (h && GetFileInformationByHandle(h.Get(), &info)) {
      f.idState = FileFacts::IdKnown;
      f.volume = info.dwVolumeSerialNumber;
      f.indexHigh = info.nFileIndexHigh;
      f.indexLow = info.nFileIndexLow;
    }
  }
  return f.idState == FileFacts::IdKnown;
}

// Two entries that name one file (or whose identity cannot be told) never pair.
bool SameFile(const char* a, FileFacts& fa, const char* b, FileFacts& fb) {
  if (PathCompareExA(a, b, 3) == 0) return true;
  if (!Identity(a, fa) || !Identity(b, fb)) return true;  // unknown: never offered
  return fa.volume == fb.volume && fa.indexHigh == fb.indexHigh && fa.indexLow == fb.indexLow;
}

// One search over a prepared list.
class CIdenticalRun {
public:
  CIdenticalRun(CStrList& files, CIdenticalSink& sink) : m_files(files), m_sink(sink), m_facts(size_t(files.m_nCount)) {}

  int Run() {
    int i = 0;
    while (i < m_files.m_nCount && !m_sink.Stopped()) {
      const DWORD size = ListedSize(m_files, i);
      int end = i + 1;
      while (end < m_files.m_nCount && ListedSize(m_files, end) == size) ++end;
      // Only files with a candidate of their size are read.
      if (end - i > 1) ReadKeys(i, end);
      i = SearchGroup(i, end, size);
    }
    return m_pairs;
  }

private:
  // The group's files are keyed by two readers taking them in turn, this thread (which
  // reports progress and watches for a stop) and a helper when the group is large enough to
  // pay for a thread: the system's reads overlap each other and the keying.
  struct KeyPass {
    CIdenticalRun* run;
    int to;
    std::atomic<int> next;
    std::atomic<bool> stop;
  };

  static DWORD WINAPI KeyHelper(LPVOID param) {
    KeyPass* pass = static_cast<KeyPass*>(param);
    std::vector<uint8_t> buffer;
    const std::function<bool()> stopped = [pass] { return pass->stop.load(); };
    for (int k; !pass->stop && (k = pass->next++) < pass->to;) pass->run->KeyFile(k, buffer, stopped);
    return 0;
  }

  void KeyFile(int k, std::vector<uint8_t>& buffer, const std::function<bool()>& stopped) {
    const DWORD size = ListedSize(m_files, k);
    if (buffer.empty()) buffer.resize(size < kBufferSize ? (size + 4095) & ~4095u : kBufferSize);
    FileFacts& f = m_facts[size_t(k)];
    f.content = ReadContentKey(m_files.GetString(k), size, buffer, f.key, stopped) ? FileFacts::Keyed
                                                                                   : FileFacts::Unreadable;
  }

  void ReadKeys(int from, int to) {
    KeyPass pass{this, to, {from}, {false}};
    const uint64_t bytes = uint64_t(to - from) * ListedSize(m_files, from);
    CWinHandle helper(to - from >= 16 || bytes >= (4u << 20) ? CreateThread(nullptr, 64 * 1024, KeyHelper, &pass,
                                                                            STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr)
                                                             : nullptr);
    std::vector<uint8_t> buffer;
    // This thread passes a stop on to the helper, inside a large file too.
    const std::function<bool()> stopped = [&] {
      if (m_sink.Stopped()) pass.stop = true;
      return pass.stop.load();
    };
    for (int k; !stopped() && (k = pass.next++) < to;) {
      m_sink.Current(k + 1, m_files.m_nCount);
      KeyFile(k, buffer, stopped);
    }
    while (helper && WaitForSingleObject(helper.Get(), 50) == WAIT_TIMEOUT) stopped();
    // Sorted by key, then position: each but the last of a run of equal keys has a later partner.
    std::vector<int> order;
    for (int k = from; k < to; ++k)
      if (m_facts[size_t(k)].content == FileFacts::Keyed) order.push_back(k);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
      int c = std::memcmp(m_facts[size_t(a)].key, m_facts[size_t(b)].key, sizeof m_facts[0].key);
      return c != 0 ? c < 0 : a < b;
    });
    for (size_t n = 0; n + 1 < order.size(); ++n)
      m_facts[size_t(order[n])].laterPartner = m_facts[size_t(order[n])].SameKey(m_facts[size_t(order[n + 1])]);
  }

  void Remove(int index) {
    m_files.RemoveAt(index);
    m_facts.erase(m_facts.begin() + index);
  }

  // Each file of the group [from, end) against the later ones; -> where the next group begins
  // (files deleted on request leave the list).
  int SearchGroup(int from, int end, DWORD size) {
    CMapFile first, second;
    for (int i = from; i < end && !m_sink.Stopped(); ++i) {
      if (m_facts[size_t(i)].laterPartner && HoldFirst(first, m_files.GetString(i), size)) {
        m_sink.Current(i + 1, m_files.m_nCount);
        bool firstGone = false;
        for (int j = i + 1; j < end && !m_sink.Stopped(); ++j) {
          if (!m_facts[size_t(i)].SameKey(m_facts[size_t(j)])) continue;
          const char* a = m_files.GetString(i);
          const char* b = m_files.GetString(j);
          // Both files must still have the listed size and the same bytes, and be two files.
          if (!SameBytes(first, second, a, b, size) || SameFile(a, m_facts[size_t(i)], b, m_facts[size_t(j)]))
            continue;
          ++m_pairs;
          const bool firstIsUpper = PathCompareA(a, b) <= 0;
          int answer = m_sink.Pair(firstIsUpper ? a : b, firstIsUpper ? b : a);
          if (answer != IDENT_DELETE_UPPER && answer != IDENT_DELETE_LOWER) continue;
          const bool deleteFirst = (answer == IDENT_DELETE_UPPER) == firstIsUpper;
          const int victim = deleteFirst ? i : j;
          first.Close();
          second.Close();
          // The chosen file leaves the list whether it went or not: the user has answered for
          // it, and a file that cannot be deleted must not be offered again.
          if (!DeleteFileForceA(m_files.GetString(victim))) m_sink.DeleteFailed(m_files.GetString(victim));
          Remove(victim);
          --end;
          if (deleteFirst) {
            firstGone = true;
            break;
          }
          --j;
          if (!HoldFirst(first, m_files.GetString(i), size)) break;
        }
        if (firstGone) --i;
      }
      first.Close();
      second.Close();
      m_sink.Done(i + 1);
    }
    return end;
  }

  // Maps the first file of the compares, or (too large to map beside another file, or at all)
  // checks that it is there; false when it is gone or no longer of the listed size.
  static bool HoldFirst(CMapFile& first, const char* path, DWORD size) {
    if (first.Open(path)) return first.m_dwSize == size;
    const uint64_t real = FileSize64(path);
    return real >= kMapLimit && DWORD(real) == size;
  }

  // Whether b still has the listed size and the bytes of the first file a: the two mapped, or
  // read block by block when they do not fit the address space together (the whole files,
  // beyond 4 GB too).
  bool SameBytes(const CMapFile& first, CMapFile& second, const char* a, const char* b, DWORD size) {
    if (first.IsOpen() && second.Open(b))
      return second.m_dwSize == size && std::memcmp(first.m_pData, second.m_pData, size) == 0;
    second.Close();
    const uint64_t real = FileSize64(b);
    return real >= kMapLimit && DWORD(real) == size && ReadEqual(a, b, real);
  }

  // Whether a and b both hold size bytes, the same ones, read in large blocks.
  bool ReadEqual(const char* a, const char* b, uint64_t size) {
    CSourceFile fa, fb;
    if (!fa.Open(a) || !fb.Open(b) || fa.Info().size != size || fb.Info().size != size) return false;
    if (m_compare.size() < 2 * size_t(kBufferSize)) m_compare.resize(2 * size_t(kBufferSize));
    uint8_t* pa = m_compare.data();
    uint8_t* pb = pa + kBufferSize;
    for (uint64_t pos = 0; pos < size && !m_sink.Stopped();) {
      const size_t n = size - pos < kBufferSize ? size_t(size - pos) : size_t(kBufferSize);
      if (!fa.ReadFull(pos, pa, n) || !fb.ReadFull(pos, pb, n) || std::memcmp(pa, pb, n) != 0) return false;
      pos += n;
    }
    return !m_sink.Stopped();
  }

  CStrList& m_files;
  CIdenticalSink& m_sink;
  // Files from this size on may not map (two at a time in a 32-bit address space) and are
  // compared by reading instead.
  static const DWORD kMapLimit = 64u << 20;
  static const DWORD kBufferSize = 1 << 20;
  std::vector<FileFacts> m_facts;  // parallel to the list
  std::vector<uint8_t> m_compare;  // two blocks for the compares of files too large to map
  int m_pairs = 0;
};

}  // namespace

void IdenticalPrepare(CStrList& files) {
  // A file listed twice is searched once.
  std::vector<const char*> paths(size_t(files.m_nCount));
  for (int i = 0; i < files.m_nCount; ++i) paths[size_t(i)] = files.GetString(i);
  std::vector<int> kept = DistinctPaths(paths);
  for (int i = files.m_nCount - 1, k = int(kept.size()) - 1; i >= 0; --i) {
    if (k >= 0 && kept[size_t(k)] == i)
      --k;
    else
      files.RemoveAt(i);
  }
  for (int i = files.m_nCount - 1; i >= 0; --i) {
    if (ListedSize(files, i) != 0xFFFFFFFF) continue;
    DWORD size = FileGetSizeA(files.GetString(i));
    if (size == 0xFFFFFFFF)
      files.RemoveAt(i);
    else
      files.SetItemDword(i, size);
  }
  files.Sort(0, -1, CStrList::CompareDword);
}

int IdenticalSearch(CStrList& files, CIdenticalSink& sink) {
  CIdenticalRun run(files, sink);
  return run.Run();
}
