// Benchmark of the colour list box with many result lines (not a test): fills a shown list
// the way the view fills its results (drawing held, one message), then scrolls to the end, and prints the
// fill, paint and scroll times (the window answers nothing meanwhile) and the memory per line.
//   colorlist_bench [lines, default 1000000]
// Output: "name value" lines (seconds, bytes).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "toolkit/ColorListBox.h"

namespace {

CWinApp theApp("ColorListBench");

double Now() {
  LARGE_INTEGER c, f;
  QueryPerformanceCounter(&c);
  QueryPerformanceFrequency(&f);
  return double(c.QuadPart) / double(f.QuadPart);
}

// Committed private memory of the process (Wine reports no private usage counter).
size_t PrivateBytes() {
  size_t total = 0;
  MEMORY_BASIC_INFORMATION mbi;
  for (const char* p = nullptr; VirtualQuery(p, &mbi, sizeof mbi) == sizeof mbi;) {
    if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE) total += mbi.RegionSize;
    const char* next = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
    if (next <= p) break;
    p = next;
  }
  return total;
}

// A result line as the text search shows it: path, line number at column 32, the found text;
// the path in one colour, the number in another, the text in a few runs.
int MakeResult(int i, char* line, BYTE* colors) {
  int n = std::snprintf(line, 1024, "C:\\Daten\\Projekt%02d\\Quellen\\datei%05d.cpp", i % 40, i % 5000);
  std::memset(colors, 3, n);
  while (n < 32) colors[n] = 0, line[n++] = ' ';
  int m = std::snprintf(line + n, 1024 - n, "%7d:   if (result == Mnemosyne && count > %d) return value;", i % 90000,
                        i % 977);
  for (int k = 0; k < m; ++k) colors[n + k] = k < 8 ? 4 : (k > 20 && k < 29 ? 9 : 0);
  return n + m;
}

}  // namespace

int main(int argc, char** argv) {
  int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
  if (!RegisterColorListBoxClass()) return 1;
  CWnd host;
  if (!host.CreateEx(0, nullptr, "Ergebnisse", WS_POPUP | WS_VISIBLE, 0, 0, 900, 600, nullptr, nullptr)) return 1;
  CColorListBox list;
  RECT rc = {0, 0, 880, 560};
  if (!list.CreateEx(0x50000101, 0x20000, rc, &host, 100)) return 1;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);

  char line[1024];
  BYTE colors[1024];
  // The lines made alone, to tell the list's share of the fill.
  double made = Now();
  for (int i = 0; i < lines; ++i) MakeResult(i, line, colors);
  made = Now() - made;
  size_t before = PrivateBytes();
  double start = Now();
  list.SetOption(CLBO_REDRAW, 2);
  struct Source {
    char line[1024];
    BYTE colors[1024];
    static BOOL Get(void* context, int i, ColorListItem* item) {
      Source* s = static_cast<Source*>(context);
      item->mask = CLIF_TEXT | CLIF_COLOR | CLIF_COLORPERCHAR;
      item->pszText = s->line;
      item->cchText = MakeResult(i, s->line, s->colors);
      item->pColors = s->colors;
      return TRUE;
    }
  } source;
  list.AddLines(lines, Source::Get, &source);
  list.SetOption(CLBO_REDRAW, 1);
  double filled = Now();
  UpdateWindow(list.m_hWnd);
  double painted = Now();
  size_t after = PrivateBytes();
  list.SendMessage(WM_KEYDOWN, VK_END, 0);
  UpdateWindow(list.m_hWnd);
  double scrolled = Now();
  int top_index = (int)list.SendMessage(LB_GETTOPINDEX);
  list.ResetContent();
  double reset = Now();

  std::printf("lines %d\n", lines);
  std::printf("fill_s %.3f\n", filled - start);
  std::printf("make_s %.3f\n", made);
  std::printf("paint_s %.3f\n", painted - filled);
  std::printf("end_s %.3f\n", scrolled - painted);
  std::printf("end_top %d\n", top_index);
  std::printf("reset_s %.3f\n", reset - scrolled);
  std::printf("bytes_per_line %.1f\n", lines ? double(after - before) / lines : 0.0);
  std::printf("text_per_line %.1f\n", double(std::strlen(line)));
  host.DestroyWindow();
  return 0;
}
