// The platform's read floor for the search benchmark: the least a search of a folder must
// spend opening and reading its files. Lists every file below the folder, then opens and reads
// each one whole (files above 4 MB in 4 MB steps) with 1, 2 and 4 threads taking the files in
// turn, and prints the seconds of each ("threads N seconds S bytes B").
//   read_floor [-r runs] folder      (best of runs, default 3)
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "BenchClock.h"
#include "BenchFiles.h"

int main(int argc, char** argv) {
  int runs = 3, arg = 1;
  if (argc > 3 && std::string(argv[1]) == "-r") runs = std::atoi(argv[2]), arg = 3;
  if (arg >= argc) return 2;
  std::vector<std::string> files;
  BenchListFiles(argv[arg], std::string(argv[arg]) + "\\", files);
  for (int threads : {1, 2, 4}) {
    double best = 1e9;
    unsigned long long bytes = 0;
    for (int r = 0; r < runs; ++r) {
      std::atomic<size_t> next(0);
      std::atomic<unsigned long long> total(0);
      double start = BenchNow();
      std::vector<std::thread> pool;
      for (int t = 0; t < threads; ++t)
        pool.emplace_back([&] {
          std::vector<char> buf(4 << 20);
          for (size_t i; (i = next++) < files.size();) {
            HANDLE h = CreateFileA(files[i].c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            if (h == INVALID_HANDLE_VALUE) continue;
            DWORD got = 0;
            while (ReadFile(h, buf.data(), (DWORD)buf.size(), &got, nullptr) && got) total += got;
            CloseHandle(h);
          }
        });
      for (std::thread& t : pool) t.join();
      double s = BenchNow() - start;
      if (s < best) best = s;
      bytes = total;
    }
    std::printf("threads %d seconds %.3f bytes %llu files %u\n", threads, best, bytes, (unsigned)files.size());
  }
  return 0;
}
