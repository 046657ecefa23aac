// The identical-files search against the platform's read floor, for identical-bench.sh:
//   identical_bench [-r runs] listfile pairsfile
// listfile holds one full path per line, in the order of the file list (whose sizes are read
// before the timing, as the file list knows them). Prints the best
// seconds of reading every listed byte once (open, read whole, close: "floor S bytes B") and
// of the search over the same list with every pair kept ("search S pairs P"), and writes the
// pairs offered ("upper|lower", one per line) to pairsfile.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "app/IdenticalFiles.h"
#include "system/StrList.h"

namespace {

class KeepAll : public CIdenticalSink {
 public:
  bool Stopped() override { return false; }
  void Current(int, int) override {}
  void Done(int) override {}
  int Pair(const char* upper, const char* lower) override {
    pairs += std::string(upper) + "|" + lower + "\n";
    return IDENT_KEEP;
  }
  void DeleteFailed(const char*) override {}
  std::string pairs;
};

unsigned long long ReadAll(const std::vector<std::string>& files) {
  std::vector<char> buf(1 << 20);
  unsigned long long total = 0;
  for (const std::string& f : files) {
    HANDLE h = CreateFileA(f.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    DWORD got = 0;
    while (ReadFile(h, buf.data(), DWORD(buf.size()), &got, nullptr) && got) total += got;
    CloseHandle(h);
  }
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3, arg = 1;
  if (argc > 3 && std::string(argv[1]) == "-r") runs = std::atoi(argv[2]), arg = 3;
  if (arg + 1 >= argc) return 2;
  std::vector<std::string> files;
  if (FILE* in = std::fopen(argv[arg], "rb")) {
    char line[MAX_PATH + 2];
    while (std::fgets(line, sizeof line, in)) {
      std::string s = line;
      while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
      if (!s.empty()) files.push_back(s);
    }
    std::fclose(in);
  }
  // The file list knows the sizes before the search starts.
  std::vector<DWORD> sizes;
  for (const std::string& f : files) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    sizes.push_back(GetFileAttributesExA(f.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0xFFFFFFFF);
  }
  double floorBest = 1e9, searchBest = 1e9;
  unsigned long long bytes = 0;
  std::string pairs;
  int count = 0;
  for (int r = 0; r < runs; ++r) {
    double t0 = BenchNow();
    bytes = ReadAll(files);
    double t1 = BenchNow();
    CStrList list(4);
    for (size_t k = 0; k < files.size(); ++k) list.Insert(files[k].c_str(), -1, &sizes[k]);
    KeepAll sink;
    IdenticalPrepare(list);
    count = IdenticalSearch(list, sink);
    double t2 = BenchNow();
    if (t1 - t0 < floorBest) floorBest = t1 - t0;
    if (t2 - t1 < searchBest) searchBest = t2 - t1;
    if (r > 0 && sink.pairs != pairs) std::printf("the pairs differ between runs\n");
    pairs = sink.pairs;
  }
  std::printf("floor %.3f bytes %llu files %u\n", floorBest, bytes, unsigned(files.size()));
  std::printf("search %.3f pairs %d\n", searchBest, count);
  if (FILE* out = std::fopen(argv[arg + 1], "wb")) {
    std::fwrite(pairs.data(), 1, pairs.size(), out);
    std::fclose(out);
  }
  return 0;
}
