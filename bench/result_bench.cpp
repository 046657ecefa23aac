// Benchmark of the program with a million result lines (not a test): starts Vellmorant on a
// folder, raises the result limit, runs a text search through its dialog and, every 10 ms
// until the result list is filled, sends the main window a message with a time-out. Prints
// the time to the filled list, the longest wait for an answer and the longest stretch between
// answers, the time to scroll to the end, and the program's memory per result line.
//   result_bench <Vellmorant.exe> <folder> <text> <limit> [expected lines (default: the limit)
//                [runs (default 1): the first search finds the file cache empty, later ones filled]]
// Output: one line per run of "name value" pairs (seconds, bytes); exit code 0, or 1 when a
// step failed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchClock.h"

namespace {

const int kTextSearch = 32772, kResultLimit = 32792, kResults = 21397;

struct Find {
  DWORD pid;
  const char* caption;  // exact caption, or null: the main window (caption ending in the name)
  const char* cls;      // window class, or null for any
  HWND found;
};

BOOL CALLBACK FindProc(HWND h, LPARAM lp) {
  Find* f = reinterpret_cast<Find*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid != f->pid || !IsWindowVisible(h)) return TRUE;
  char text[256] = "";
  GetWindowTextA(h, text, sizeof text);
  std::string t = text;
  bool hit = f->caption ? t == f->caption
                        : GetMenu(h) && t.size() >= 10 && t.compare(t.size() - 10, 10, "Vellmorant") == 0;
  char cls[64] = "";
  GetClassNameA(h, cls, sizeof cls);
  if (!hit || (f->cls && std::string(cls) != f->cls)) return TRUE;
  f->found = h;
  return FALSE;
}

HWND WaitWindow(DWORD pid, const char* caption, DWORD ms, const char* cls = nullptr) {
  for (DWORD start = GetTickCount();; Sleep(10)) {
    Find f = {pid, caption, cls, nullptr};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&f));
    if (f.found) return f.found;
    if (GetTickCount() - start >= ms) return nullptr;
  }
}

BOOL CALLBACK ChildProc(HWND h, LPARAM lp) {
  HWND* out = reinterpret_cast<HWND*>(lp);
  if (GetDlgCtrlID(h) != kResults) return TRUE;
  *out = h;
  return FALSE;
}

// Committed private memory of another process.
double PrivateBytes(HANDLE process) {
  double total = 0;
  MEMORY_BASIC_INFORMATION mbi;
  for (const char* p = nullptr; VirtualQueryEx(process, p, &mbi, sizeof mbi) == sizeof mbi;) {
    if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE) total += double(mbi.RegionSize);
    const char* next = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
    if (next <= p) break;
    p = next;
  }
  return total;
}

double g_worstWait = 0;  // the longest any message below waited for its answer

LRESULT Ask(HWND h, UINT msg, WPARAM wp, LPARAM lp, DWORD ms, bool* answered = nullptr) {
  DWORD_PTR r = 0;
  double t = BenchNow();
  bool ok = SendMessageTimeoutA(h, msg, wp, lp, SMTO_NORMAL, ms, &r) != 0;
  if (BenchNow() - t > g_worstWait) g_worstWait = BenchNow() - t;
  if (answered) *answered = ok;
  return ok ? LRESULT(r) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  std::string exe = argv[1], folder = argv[2], text = argv[3];
  int limit = std::atoi(argv[4]);
  int expected = argc > 5 ? std::atoi(argv[5]) : limit;
  int runs = argc > 6 ? std::atoi(argv[6]) : 1;
  std::string cmd = "\"" + exe + "\" \"" + folder + "\" -p:*";
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
  int rc = 1;
  HWND main = WaitWindow(pi.dwProcessId, nullptr, 30000), results = nullptr;
  if (main) EnumChildWindows(main, ChildProc, reinterpret_cast<LPARAM>(&results));
  // The file list settles: no "Dateisuche" window and the program answers.
  for (int quiet = 0; main && quiet < 5; Sleep(100))
    quiet = WaitWindow(pi.dwProcessId, "Dateisuche", 1) ? 0 : quiet + 1;
  HWND dlg = nullptr;
  if (!results) std::fprintf(stderr, "no main window or result list\n");
  if (results) {
    PostMessageA(main, WM_COMMAND, kResultLimit, 0);
    dlg = WaitWindow(pi.dwProcessId, "Ergebnislimith", 10000);
  }
  if (!dlg && results) std::fprintf(stderr, "no limit dialog\n");
  if (dlg) {
    SetWindowTextA(FindWindowExA(dlg, nullptr, "Edit", nullptr), std::to_string(limit).c_str());
    PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    Sleep(500);
    PostMessageA(main, WM_COMMAND, kTextSearch, 0);
    dlg = WaitWindow(pi.dwProcessId, "Text suchen", 10000);
  }
  if (!dlg && results) std::fprintf(stderr, "no search dialog\n");
  for (int run = 1; dlg && run <= runs; ++run) {
    if (run > 1) {
      PostMessageA(main, WM_COMMAND, kTextSearch, 0);
      dlg = WaitWindow(pi.dwProcessId, "Text suchen", 10000);
      if (!dlg) break;
    }
    Sleep(300);
    // Emptied first, so that the filled list can be told from the last one.
    Ask(results, LB_RESETCONTENT, 0, 0, 5000);
    g_worstWait = 0;
    double before = PrivateBytes(pi.hProcess);
    SetWindowTextA(GetDlgItem(dlg, 1001), text.c_str());
    double start = BenchNow(), lastAnswer = start, worstGap = 0, filled = 0;
    PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    int count = 0, lastCount = -1;
    double lastChange = start;
    while (BenchNow() - start < 600) {
      double t = BenchNow();
      bool answered = false;
      Ask(main, WM_NULL, 0, 0, 5000, &answered);
      double u = BenchNow();
      if (answered) {
        if (u - lastAnswer > worstGap) worstGap = u - lastAnswer;
        lastAnswer = u;
      }
      // The "too many results" box when the limit is reached.
      if (HWND box = WaitWindow(pi.dwProcessId, "Vellmorant", 0, "#32770")) PostMessageA(box, WM_COMMAND, IDOK, 0);
      if (!WaitWindow(pi.dwProcessId, "Textsuche", 0)) {
        count = int(Ask(results, LB_GETCOUNT, 0, 0, 5000));
        if (BenchNow() - lastAnswer > worstGap) worstGap = BenchNow() - lastAnswer;
        lastAnswer = BenchNow();
        // The list answers while it is being filled: done when every line is in, or when
        // fewer lines than expected have held still for a second.
        if (count != lastCount) lastCount = count, lastChange = BenchNow();
        bool box = WaitWindow(pi.dwProcessId, "Vellmorant", 0, "#32770") != nullptr;
        if (!box && count >= expected) {
          filled = BenchNow() - start;
          break;
        }
        if (!box && count > 0 && BenchNow() - lastChange > 1.0) {
          filled = lastChange - start;
          break;
        }
      }
      double next = t + 0.01 - BenchNow();
      if (next > 0) Sleep(DWORD(next * 1000));
    }
    double worstWait = g_worstWait;
    double after = PrivateBytes(pi.hProcess);
    double s = BenchNow();
    Ask(results, WM_KEYDOWN, VK_END, 0, 30000);
    Ask(results, WM_PAINT, 0, 0, 30000);
    int top = int(Ask(results, LB_GETTOPINDEX, 0, 0, 30000));
    int cur = int(Ask(results, LB_GETCURSEL, 0, 0, 30000));
    double scrolled = BenchNow() - s;
    std::printf("run %d results %d filled_s %.3f worst_answer_s %.3f worst_gap_s %.3f end_s %.3f end_line %d "
                "end_top %d bytes_per_result %.1f\n",
                run, count, filled, worstWait, worstGap, scrolled, cur, top,
                count > 0 ? (after - before) / count : 0.0);
    rc = filled > 0 && cur == count - 1 ? 0 : 1;
    if (rc) break;
  }
  if (main) PostMessageA(main, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return rc;
}
