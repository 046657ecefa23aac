// Stand-in for another program that holds a file open while the program under test works:
//   standin_holder log <file> <marker>    opens the file for writing, letting others read it
//                                         (as a log writer does), and appends a line;
//   standin_holder lock <file> <marker>   opens it sharing nothing;
//   standin_holder keep <file> <marker>   opens it for reading, letting others read and write it
//                                         but not delete it.
// It writes the marker file once the file is held, then waits (two minutes at most) until the
// test ends it. Exit code 1 when the file cannot be opened.
#include <windows.h>

#include <cstring>

int main(int argc, char **argv) {
  if (argc != 4) return 2;
  const bool log = std::strcmp(argv[1], "log") == 0, keep = std::strcmp(argv[1], "keep") == 0;
  HANDLE file = CreateFileA(argv[2], log ? GENERIC_WRITE : keep ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                            log ? FILE_SHARE_READ : keep ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  if (log) {
    static const char kLine[] = "log line\r\n";
    DWORD done = 0;
    SetFilePointer(file, 0, nullptr, FILE_END);
    WriteFile(file, kLine, sizeof kLine - 1, &done, nullptr);
  }
  HANDLE marker = CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  Sleep(120000);
  CloseHandle(file);
  return 0;
}
