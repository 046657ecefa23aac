// Stand-in for the sibling programs (text tool, hex tool, compare programs, formatter).
// Copied under the sibling's name; it records in "<its exe path>.log" the arguments it was
// started with and every WM_COPYDATA and private message it receives. When "<exe path>.exit"
// exists, it records its arguments and exits at once with the number written there. When
// "<exe path>.mode" says "noanswer" it answers every WM_COPYDATA with 0; "hang" makes it stop
// answering (for a minute) once a WM_COPYDATA arrived; "upper" turns the letters of the file
// named by its last argument to capitals, keeping the file's size and time.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string g_exe;
std::string g_mode;

void Log(const std::string &line) {
  FILE *f = fopen((g_exe + ".log").c_str(), "ab");
  if (!f) return;
  fprintf(f, "%s\r\n", line.c_str());
  fclose(f);
}

std::string Printable(const char *data, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = data[i];
    if (c >= 0x20 && c != 0x7F) {
      s += static_cast<char>(c);
    } else {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02X", c);
      s += hex;
    }
  }
  return s;
}

void UpperCaseFile(const char *path) {
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  FILETIME written;
  GetFileTime(h, nullptr, nullptr, &written);
  char data[4096];
  DWORD n = 0;
  ReadFile(h, data, sizeof data, &n, nullptr);
  CharUpperBuffA(data, n);
  SetFilePointer(h, 0, nullptr, FILE_BEGIN);
  WriteFile(h, data, n, &n, nullptr);
  SetFileTime(h, nullptr, nullptr, &written);
  CloseHandle(h);
  Log("UPPER");
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  char line[128];
  switch (msg) {
    case WM_COPYDATA: {
      auto *cds = reinterpret_cast<COPYDATASTRUCT *>(lp);
      snprintf(line, sizeof line, "COPYDATA 0x%08lX %lu ", static_cast<unsigned long>(cds->dwData),
               static_cast<unsigned long>(cds->cbData));
      Log(line + Printable(static_cast<const char *>(cds->lpData), cds->cbData));
      if (g_mode == "hang") Sleep(60000);
      return g_mode == "noanswer" ? FALSE : TRUE;
    }
    case 0x27F3:
    case 0x27F4:
      snprintf(line, sizeof line, "MSG 0x%04X %lu %ld", msg, static_cast<unsigned long>(wp), static_cast<long>(lp));
      Log(line);
      return 1;
    case WM_CLOSE:
      Log("CLOSE");
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int main(int argc, char **argv) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  g_exe.assign(path, n);
  Log("START");
  for (int i = 1; i < argc; ++i) Log("ARG " + std::string(argv[i]));

  if (FILE *f = fopen((g_exe + ".mode").c_str(), "rb")) {
    char mode[32] = {};
    if (fscanf(f, "%31s", mode) == 1) g_mode = mode;
    fclose(f);
  }
  if (g_mode == "upper" && argc > 1) UpperCaseFile(argv[argc - 1]);

  if (FILE *f = fopen((g_exe + ".exit").c_str(), "rb")) {
    int code = 0;
    if (fscanf(f, "%d", &code) != 1) code = 0;
    fclose(f);
    Log("EXIT " + std::to_string(code));
    return code;
  }

  std::string title = g_exe.substr(g_exe.find_last_of("\\/") + 1);
  title = title.substr(0, title.rfind('.'));
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "VmStandin";
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, "VmStandin", title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300, 200,
                              nullptr, nullptr, wc.hInstance, nullptr);
  if (!hwnd) return 2;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
