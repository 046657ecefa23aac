// Helpers for driving Vellmorant itself.
#include "e2e/support/AppSession.h"

#include <cstring>

namespace e2e {

const char kAppKey[] = "Software\\QV\\Vellmorant";

std::string ProgramPath() {
  // VM_BINARY_DIR is the build folder as a Linux path; Z: maps to / under Wine.
  char dir[MAX_PATH] = "";
  DWORD n = GetEnvironmentVariableA("VM_BINARY_DIR", dir, sizeof dir);
  if (n > 0 && n < sizeof dir && dir[0] == '/') {
    std::string path = std::string("Z:") + dir + "/app/Vellmorant.exe";
    for (char &c : path)
      if (c == '/') c = '\\';
    return path;
  }
  return ExeDir() + "..\\..\\app\\Vellmorant.exe";
}

namespace {

struct MainFind {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK MainProc(HWND hwnd, LPARAM lp) {
  auto *mf = reinterpret_cast<MainFind *>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != mf->pid || !IsWindowVisible(hwnd) || !GetMenu(hwnd)) return TRUE;
  char text[512] = "";
  int n = GetWindowTextA(hwnd, text, sizeof text);
  if (n < 10 || strcmp(text + n - 10, "Vellmorant")) return TRUE;
  mf->found = hwnd;
  return FALSE;
}

}  // namespace

HWND WaitMain(Process &p, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor([&] {
    MainFind mf = {p.Pid(), nullptr};
    EnumWindows(MainProc, reinterpret_cast<LPARAM>(&mf));
    found = mf.found;
    return found != nullptr;
  }, timeoutMs);
  return found;
}

int SettledCount(Process &p, HWND list, DWORD timeoutMs) {
  int last = -2, same = 0;
  WaitFor([&] {
    if (FindTopWindow(p.Pid(), "Dateisuche") || JobRunsUnseen(p.Pid(), GetAncestor(list, GA_ROOT))) {
      same = 0;
      return false;
    }
    int n = ListViewCount(list);
    same = n == last ? same + 1 : 0;
    last = n;
    return same >= 4;
  }, timeoutMs, 100);
  return last;
}

std::set<std::string> ListNames(HWND list) {
  std::set<std::string> names;
  int n = ListViewCount(list);
  for (int i = 0; i < n; ++i) {
    std::string t = ListViewText(list, i, 0);
    size_t slash = t.find_last_of("\\/");
    names.insert(slash == std::string::npos ? t : t.substr(slash + 1));
  }
  return names;
}

std::string Quote(const std::string &s) { return "\"" + s + "\""; }

std::string Folder(const TempTree &t) { return t.Root().substr(0, t.Root().size() - 1); }

bool CloseMain(Process &p, HWND main) {
  PostMessageA(main, WM_CLOSE, 0, 0);
  return p.WaitExit(20000);
}

std::vector<std::string> MultiString(const std::string &block) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < block.size() && block[i]) {
    size_t end = block.find('\0', i);
    if (end == std::string::npos) end = block.size();
    out.push_back(block.substr(i, end - i));
    i = end + 1;
  }
  return out;
}

namespace {

// The line record of the result list's messages, as the program (32-bit) lays it out.
struct LineItem {
  UINT mask;
  int index;
  DWORD text;
  int length;
  int size;
  DWORD colors;
};

}  // namespace

std::vector<std::string> ResultLines(Process &p, HWND results) {
  std::vector<std::string> v;
  int n = ListBoxCount(results);
  const SIZE_T kText = 2048;
  char *remote =
      static_cast<char *>(VirtualAllocEx(p.Handle(), nullptr, sizeof(LineItem) + kText, MEM_COMMIT, PAGE_READWRITE));
  if (!remote) return v;
  for (int i = 0; i < n; ++i) {
    LineItem item = {4, i, reinterpret_cast<DWORD>(remote + sizeof(LineItem)), -1, int(kText), 0};
    WriteProcessMemory(p.Handle(), remote, &item, sizeof item, nullptr);
    DWORD_PTR len = 0;
    SendMessageTimeoutA(results, 0x3812, 0, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 5000, &len);
    std::string text(kText, '\0');
    ReadProcessMemory(p.Handle(), remote + sizeof(LineItem), &text[0], kText, nullptr);
    text.resize(LONG_PTR(len) >= 0 && len < kText ? size_t(len) : strnlen(text.data(), kText));
    v.push_back(text);
  }
  VirtualFreeEx(p.Handle(), remote, 0, MEM_RELEASE);
  return v;
}

std::string AnswerMessageBox(Process &p, const char *caption, int button) {
  HWND box = WaitTopWindow(p.Pid(), caption, 20000, "#32770");
  if (!box) return "";
  std::string text;
  for (HWND c = FindWindowExA(box, nullptr, "Static", nullptr); c; c = FindWindowExA(box, c, "Static", nullptr)) {
    std::string t = GetText(c);
    if (!t.empty()) text = t;
  }
  PostMessageA(box, WM_COMMAND, button, 0);
  WaitWindowGone(box, 10000);
  return text;
}

}  // namespace e2e
