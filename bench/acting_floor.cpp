// The platform's floor for acting-bench.sh: the least the commands that act on files must
// spend on their file operations under the same Wine, done by a minimal program.
//   acting_floor rewrite <list>       each line of the list "<new size> <path>": the file is
//       read whole; with a new size of 0 or more, that many bytes are written to
//       "<path>.floor.tmp" in one call, flushed, and moved over the file (the safe rewrite);
//       -1 only reads. Prints "seconds S files N rewritten W failed F", and the time of each
//       step (open, read, write, flush, move...) per call to stderr.
//   acting_floor compare <folder> <compare folder>   lists the compare folder (the search for
//       new files), then for each file below the folder: the attributes and sizes of both
//       sides, and when both exist with equal sizes both read in 1 MiB blocks and compared up
//       to the first difference; with 1 and 2 threads taking the files in turn. Prints
//       "threads T seconds S differences D" per count.
// Only the work after the list is read (or the folder listed) is timed.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchClock.h"

namespace {

// Relative paths of every file below folder (prefix: the part already walked).
void List(const std::string &folder, const std::string &prefix, std::vector<std::string> &out) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\" + prefix + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      List(folder, prefix + name + "\\", out);
    else
      out.push_back(prefix + name);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
}

// Seconds and calls of each step of the rewrite, printed to stderr: what each call costs here.
enum { OPEN, SIZE, READ, CLOSE, CREATE, WRITE, FLUSH, CLOSE_TEMP, MOVE, STEPS };
const char *const kStepNames[STEPS] = {"open",  "size",  "read",       "close", "create temp",
                                       "write", "flush", "close temp", "move"};
double g_stepSeconds[STEPS];
long g_stepCalls[STEPS];

// Runs one step, adding its time to the step's total.
template <class F>
auto Step(int step, F f) -> decltype(f()) {
  double t = BenchNow();
  auto result = f();
  g_stepSeconds[step] += BenchNow() - t;
  ++g_stepCalls[step];
  return result;
}

bool ReadWhole(const std::string &path, std::vector<char> &buf) {
  HANDLE h = Step(OPEN, [&] {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  });
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = Step(SIZE, [&] { return GetFileSizeEx(h, &size) != 0; });
  if (ok) buf.resize(size_t(size.QuadPart));
  DWORD got = 0;
  ok = ok && (buf.empty() || Step(READ, [&] {
                return ReadFile(h, buf.data(), DWORD(buf.size()), &got, nullptr) && got == buf.size();
              }));
  Step(CLOSE, [&] { return CloseHandle(h); });
  return ok;
}

bool Rewrite(const std::string &path, std::vector<char> &buf, long long newSize) {
  std::string temp = path + ".floor.tmp";
  HANDLE h = Step(CREATE, [&] {
    return CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  });
  if (h == INVALID_HANDLE_VALUE) return false;
  buf.resize(size_t(newSize), '\n');
  DWORD put = 0;
  bool ok = buf.empty() || Step(WRITE, [&] {
              return WriteFile(h, buf.data(), DWORD(buf.size()), &put, nullptr) && put == buf.size();
            });
  ok = Step(FLUSH, [&] { return FlushFileBuffers(h) != 0; }) && ok;
  ok = Step(CLOSE_TEMP, [&] { return CloseHandle(h) != 0; }) && ok;
  return ok && Step(MOVE, [&] {
           return MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
         });
}

int RunRewrite(const char *listPath) {
  std::vector<std::pair<long long, std::string>> files;
  std::ifstream in(listPath);
  for (std::string line; std::getline(in, line);) {
    size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    files.emplace_back(std::atoll(line.substr(0, blank).c_str()), line.substr(blank + 1));
  }
  std::vector<char> buf;
  int rewritten = 0, failed = 0;
  double start = BenchNow();
  for (const auto &f : files) {
    if (!ReadWhole(f.second, buf)) {
      ++failed;
      continue;
    }
    if (f.first < 0) continue;
    if (Rewrite(f.second, buf, f.first))
      ++rewritten;
    else
      ++failed;
  }
  double seconds = BenchNow() - start;
  std::printf("seconds %.3f files %u rewritten %d failed %d\n", seconds, unsigned(files.size()), rewritten, failed);
  for (int i = 0; i < STEPS; ++i)
    if (g_stepCalls[i])
      std::fprintf(stderr, "step %-10s seconds %.3f calls %ld us_per_call %.1f\n", kStepNames[i], g_stepSeconds[i],
                   g_stepCalls[i], g_stepSeconds[i] / double(g_stepCalls[i]) * 1e6);
  return failed ? 1 : 0;
}

// Reads up to size bytes; -1 on an error.
long ReadBlock(HANDLE h, char *buf, DWORD size) {
  DWORD got = 0, n = 0;
  while (got < size) {
    if (!ReadFile(h, buf + got, size - got, &n, nullptr)) return -1;
    if (!n) break;
    got += n;
  }
  return long(got);
}

// True when the two files differ (or one cannot be read).
bool Differ(const std::string &a, const std::string &b, std::vector<char> &bufA, std::vector<char> &bufB) {
  HANDLE ha = CreateFileA(a.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  HANDLE hb = CreateFileA(b.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  bool differ = ha == INVALID_HANDLE_VALUE || hb == INVALID_HANDLE_VALUE;
  while (!differ) {
    long na = ReadBlock(ha, bufA.data(), DWORD(bufA.size())), nb = ReadBlock(hb, bufB.data(), DWORD(bufB.size()));
    differ = na < 0 || na != nb || memcmp(bufA.data(), bufB.data(), size_t(na)) != 0;
    if (na <= 0) break;
  }
  if (ha != INVALID_HANDLE_VALUE) CloseHandle(ha);
  if (hb != INVALID_HANDLE_VALUE) CloseHandle(hb);
  return differ;
}

int RunCompare(const std::string &folder, const std::string &compare) {
  std::vector<std::string> files;
  List(folder, "", files);
  for (int threads : {1, 2}) {
    std::atomic<size_t> next(0);
    std::atomic<int> differences(0);
    double start = BenchNow();
    std::vector<std::string> added;
    List(compare, "", added);
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
      pool.emplace_back([&] {
        std::vector<char> bufA(1 << 20), bufB(1 << 20);
        for (size_t i; (i = next++) < files.size();) {
          std::string a = folder + "\\" + files[i], b = compare + "\\" + files[i];
          WIN32_FILE_ATTRIBUTE_DATA da, db;
          if (!GetFileAttributesExA(a.c_str(), GetFileExInfoStandard, &da) ||
              !GetFileAttributesExA(b.c_str(), GetFileExInfoStandard, &db))
            continue;
          if (da.nFileSizeLow != db.nFileSizeLow || da.nFileSizeHigh != db.nFileSizeHigh ||
              Differ(a, b, bufA, bufB))
            ++differences;
        }
      });
    for (std::thread &t : pool) t.join();
    std::printf("threads %d seconds %.3f differences %d added_listed %u\n", threads, BenchNow() - start,
                differences.load(), unsigned(added.size()));
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc >= 3 && std::string(argv[1]) == "rewrite") return RunRewrite(argv[2]);
  if (argc >= 4 && std::string(argv[1]) == "compare") return RunCompare(argv[2], argv[3]);
  std::fprintf(stderr, "usage: acting_floor rewrite <list> | compare <folder> <compare folder>\n");
  return 2;
}
