// The wall clock of the benchmark programs.
#pragma once
#include <windows.h>

// Seconds from the performance counter (any origin).
inline double BenchNow() {
  LARGE_INTEGER c, f;
  QueryPerformanceCounter(&c);
  QueryPerformanceFrequency(&f);
  return double(c.QuadPart) / double(f.QuadPart);
}
