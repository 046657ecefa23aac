// Stand-in for the programs of execution menus. Copied under any name, it appends to
// "<its exe path>.log" one block per start: "START", "ARG <text>" per argument, "CWD
// <folder>", "SHOW <wShowWindow or ->", and, when its standard input is a pipe, "STDIN <hex
// bytes>" followed by "EOF" once the input has ended; then "END". When "<exe path>.sleep"
// exists it sleeps the milliseconds written there (a minute when none) before "END".
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string g_exe;

void Log(const std::string &line) {
  // Copies started together append to one log: one that finds it busy tries again.
  FILE *f = nullptr;
  for (int tries = 0; tries < 200 && !(f = fopen((g_exe + ".log").c_str(), "ab")); ++tries) Sleep(10);
  if (!f) return;
  fprintf(f, "%s\r\n", line.c_str());
  fclose(f);
}

struct Input {
  std::string bytes;
  bool ended = false;
};

DWORD WINAPI ReadInput(LPVOID p) {
  Input *in = static_cast<Input *>(p);
  char buf[4096];
  DWORD n = 0;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buf, sizeof buf, &n, nullptr) && n) in->bytes.append(buf, n);
  in->ended = true;
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  g_exe.assign(path, n);
  Log("START");
  for (int i = 1; i < argc; ++i) Log("ARG " + std::string(argv[i]));
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  Log("CWD " + std::string(cwd));
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  GetStartupInfoA(&si);
  Log((si.dwFlags & STARTF_USESHOWWINDOW) ? "SHOW " + std::to_string(si.wShowWindow) : std::string("SHOW -"));

  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (in && in != INVALID_HANDLE_VALUE && GetFileType(in) == FILE_TYPE_PIPE) {
    // A pipe that never ends (one the stand-in merely inherited) is given up after a while.
    Input input;
    HANDLE thread = CreateThread(nullptr, 0, ReadInput, &input, 0, nullptr);
    if (thread && WaitForSingleObject(thread, 5000) == WAIT_OBJECT_0) {
      std::string hex;
      for (unsigned char c : input.bytes) {
        char h[4];
        snprintf(h, sizeof h, hex.empty() ? "%02X" : " %02X", c);
        hex += h;
      }
      Log("STDIN " + hex);
      if (input.ended) Log("EOF");
    }
  }
  if (FILE *f = fopen((g_exe + ".sleep").c_str(), "rb")) {
    int ms = 0;
    if (fscanf(f, "%d", &ms) != 1) ms = 60000;
    fclose(f);
    Sleep(DWORD(ms));
  }
  Log("END");
  return 0;
}
