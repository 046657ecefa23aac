// Implementation of the end-to-end driver.
#include "e2e/support/E2eDriver.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace e2e {

namespace {

// Memory in another process for the messages the system does not marshal.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND owner, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_) mem_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (mem_) VirtualFreeEx(process_, mem_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer &) = delete;
  RemoteBuffer &operator=(const RemoteBuffer &) = delete;
  bool Ok() const { return mem_ != nullptr; }
  char *Address() const { return static_cast<char *>(mem_); }
  bool Write(size_t offset, const void *data, size_t n) {
    SIZE_T done = 0;
    return offset + n <= size_ && WriteProcessMemory(process_, Address() + offset, data, n, &done) && done == n;
  }
  bool Read(size_t offset, void *data, size_t n) {
    SIZE_T done = 0;
    return offset + n <= size_ && ReadProcessMemory(process_, Address() + offset, data, n, &done) && done == n;
  }
 private:
  HANDLE process_ = nullptr;
  void *mem_ = nullptr;
  size_t size_;
};

struct FindData {
  DWORD pid;
  const char *caption;
  const char *className;
  HWND found;
};

BOOL CALLBACK FindTopProc(HWND hwnd, LPARAM lp) {
  auto *fd = reinterpret_cast<FindData *>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != fd->pid || !IsWindowVisible(hwnd)) return TRUE;
  char cls[256] = "";
  GetClassNameA(hwnd, cls, sizeof cls);
  if (!lstrcmpiA(cls, "IME") || !lstrcmpiA(cls, "tooltips_class32")) return TRUE;
  if (fd->className && lstrcmpiA(cls, fd->className)) return TRUE;
  if (fd->caption) {
    char text[512] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    if (strcmp(text, fd->caption)) return TRUE;
  }
  fd->found = hwnd;
  return FALSE;
}

struct ChildById {
  int id;
  HWND found;
};

BOOL CALLBACK ChildByIdProc(HWND hwnd, LPARAM lp) {
  auto *c = reinterpret_cast<ChildById *>(lp);
  if (GetDlgCtrlID(hwnd) == c->id) {
    c->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

TempTree::TempTree(const std::string &tag) {
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  root_ = std::string(tmp) + "vm_e2e_" + tag + "_" + std::to_string(GetCurrentProcessId()) + "_" +
          std::to_string(GetTickCount()) + "\\";
  CreateDirectoryA(root_.c_str(), nullptr);
}

TempTree::~TempTree() { testcommon::RemoveTree(root_.substr(0, root_.size() - 1)); }

std::string TempTree::Write(const std::string &relPath, const std::string &content) {
  std::string full = root_ + relPath;
  for (size_t i = root_.size(); i < full.size(); ++i)
    if (full[i] == '\\') CreateDirectoryA(full.substr(0, i).c_str(), nullptr);
  std::ofstream f(full, std::ios::binary);
  f.write(content.data(), content.size());
  return full;
}

void DeleteUserKey(const char *path) { RegDeleteTreeA(HKEY_CURRENT_USER, path); }

bool ReadUserValue(const char *keyPath, const char *name, std::string *out, DWORD *type) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD t = 0, size = 0;
  bool ok = RegQueryValueExA(key, name, nullptr, &t, nullptr, &size) == ERROR_SUCCESS;
  if (ok) {
    std::string data(size, '\0');
    ok = RegQueryValueExA(key, name, nullptr, &t, reinterpret_cast<BYTE *>(&data[0]), &size) == ERROR_SUCCESS;
    data.resize(size);
    if (t == REG_SZ)
      while (!data.empty() && data.back() == '\0') data.pop_back();
    if (ok) *out = data;
    if (type) *type = t;
  }
  RegCloseKey(key);
  return ok;
}

bool ReadUserDword(const char *keyPath, const char *name, DWORD *out) {
  std::string data;
  DWORD type = 0;
  if (!ReadUserValue(keyPath, name, &data, &type) || type != REG_DWORD || data.size() != 4) return false;
  memcpy(out, data.data(), 4);
  return true;
}

Process::~Process() {
  Kill();
}

bool Process::Start(const std::string &exe, const std::string &args, const std::string &workDir) {
  std::string cmd = "\"" + exe + "\"";
  if (!args.empty()) cmd += " " + args;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                      workDir.empty() ? nullptr : workDir.c_str(), &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  pid_ = pi.dwProcessId;
  return true;
}

HWND Process::WaitMainWindow(DWORD timeoutMs, const char *className) {
  DWORD start = GetTickCount();
  do {
    FindData fd = {pid_, nullptr, className, nullptr};
    EnumWindows(FindTopProc, reinterpret_cast<LPARAM>(&fd));
    if (fd.found) return fd.found;
    if (WaitForSingleObject(process_, 50) == WAIT_OBJECT_0) return nullptr;
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

bool Process::WaitExit(DWORD timeoutMs, DWORD *exitCode) {
  if (!process_) return true;
  if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) GetExitCodeProcess(process_, exitCode);
  return true;
}

void Process::Kill() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
  process_ = nullptr;
}

HWND FindTopWindow(DWORD pid, const char *caption, const char *className) {
  FindData fd = {pid, caption, className, nullptr};
  EnumWindows(FindTopProc, reinterpret_cast<LPARAM>(&fd));
  return fd.found;
}

HWND WaitTopWindow(DWORD pid, const char *caption, DWORD timeoutMs, const char *className) {
  DWORD start = GetTickCount();
  do {
    if (HWND h = FindTopWindow(pid, caption, className)) return h;
    Sleep(50);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

namespace {

struct SuffixData {
  DWORD pid;
  const std::string *suffix;
  const char *className;
  HWND found;
};

BOOL CALLBACK SuffixProc(HWND hwnd, LPARAM lp) {
  auto *sd = reinterpret_cast<SuffixData *>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != sd->pid || !IsWindowVisible(hwnd)) return TRUE;
  char cls[256] = "";
  GetClassNameA(hwnd, cls, sizeof cls);
  if (!lstrcmpiA(cls, "IME") || !lstrcmpiA(cls, "tooltips_class32")) return TRUE;
  if (sd->className && lstrcmpiA(cls, sd->className)) return TRUE;
  char text[512] = "";
  int n = GetWindowTextA(hwnd, text, sizeof text);
  const std::string &suffix = *sd->suffix;
  if (static_cast<size_t>(n) < suffix.size() || suffix.compare(0, suffix.size(), text + n - suffix.size()) != 0)
    return TRUE;
  sd->found = hwnd;
  return FALSE;
}

}  // namespace

HWND WaitTopWindowSuffix(DWORD pid, const std::string &suffix, DWORD timeoutMs, const char *className) {
  DWORD start = GetTickCount();
  do {
    SuffixData sd = {pid, &suffix, className, nullptr};
    EnumWindows(SuffixProc, reinterpret_cast<LPARAM>(&sd));
    if (sd.found) return sd.found;
    Sleep(50);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

namespace {

struct OtherWindow {
  DWORD pid;
  HWND main;
  bool shown;
};

BOOL CALLBACK OtherWindowProc(HWND hwnd, LPARAM lp) {
  auto *o = reinterpret_cast<OtherWindow *>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner != o->pid || hwnd == o->main || !IsWindowVisible(hwnd)) return TRUE;
  char cls[256] = "";
  GetClassNameA(hwnd, cls, sizeof cls);
  if (!lstrcmpiA(cls, "IME") || !lstrcmpiA(cls, "tooltips_class32")) return TRUE;
  o->shown = true;
  return FALSE;
}

}  // namespace

bool JobRunsUnseen(DWORD pid, HWND main) {
  if (!main || IsWindowEnabled(main)) return false;
  OtherWindow other = {pid, main, false};
  EnumWindows(OtherWindowProc, reinterpret_cast<LPARAM>(&other));
  return !other.shown;
}

bool WaitWindowGone(HWND hwnd, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  do {
    if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) return true;
    Sleep(50);
  } while (GetTickCount() - start < timeoutMs);
  return false;
}

std::string GetText(HWND hwnd) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len)) return "";
  std::string s(len + 1, '\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutA(hwnd, WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(&s[0]), SMTO_ABORTIFHUNG, 5000, &got);
  s.resize(got);
  return s;
}

bool SetText(HWND hwnd, const std::string &text) {
  DWORD_PTR r = 0;
  return SendMessageTimeoutA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                             &r) && r;
}

void ClickButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void PostCommand(HWND hwnd, int id) { PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

int GetCheck(HWND dialog, int id) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
  return static_cast<int>(r);
}

void SetCheck(HWND dialog, int id, bool on) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0, SMTO_ABORTIFHUNG,
                      5000, &r);
}

int ListViewCount(HWND list) {
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &r)) return -1;
  return static_cast<int>(r);
}

std::string ListViewText(HWND list, int item, int subItem) {
  const size_t textSize = 1024;
  RemoteBuffer buf(list, sizeof(LVITEMA) + textSize);
  if (!buf.Ok()) return "";
  LVITEMA lvi = {};
  lvi.mask = LVIF_TEXT;
  lvi.iItem = item;
  lvi.iSubItem = subItem;
  lvi.pszText = buf.Address() + sizeof(LVITEMA);
  lvi.cchTextMax = textSize;
  buf.Write(0, &lvi, sizeof lvi);
  DWORD_PTR len = 0;
  SendMessageTimeoutA(list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(buf.Address()), SMTO_ABORTIFHUNG,
                      5000, &len);
  std::string s(textSize, '\0');
  buf.Read(sizeof(LVITEMA), &s[0], textSize);
  s.resize(strnlen(s.data(), textSize));
  return s;
}

int StatusBarParts(HWND bar) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(bar, SB_GETPARTS, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
  return static_cast<int>(r);
}

std::string StatusBarText(HWND bar, int pane) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(bar, SB_GETTEXTLENGTHA, pane, 0, SMTO_ABORTIFHUNG, 5000, &r);
  size_t len = LOWORD(r);
  RemoteBuffer buf(bar, len + 1);
  if (!buf.Ok()) return "";
  SendMessageTimeoutA(bar, SB_GETTEXTA, pane, reinterpret_cast<LPARAM>(buf.Address()), SMTO_ABORTIFHUNG, 5000, &r);
  std::string s(len + 1, '\0');
  buf.Read(0, &s[0], len + 1);
  s.resize(strnlen(s.data(), len + 1));
  return s;
}

int ListBoxCount(HWND box) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(box, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
  return static_cast<int>(r);
}

std::string ListBoxText(HWND box, int index) {
  DWORD_PTR len = 0;
  SendMessageTimeoutA(box, LB_GETTEXTLEN, index, 0, SMTO_ABORTIFHUNG, 5000, &len);
  if (static_cast<LONG_PTR>(len) < 0) return "";
  std::string s(len + 1, '\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutA(box, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&s[0]), SMTO_ABORTIFHUNG, 5000, &got);
  s.resize(strnlen(s.data(), len + 1));
  return s;
}

int ComboCount(HWND combo) {
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutA(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &r)) return -1;
  return static_cast<int>(r);
}

std::string ComboText(HWND combo, int index) {
  // The UTF-16 message: Wine hands the ANSI one the wide text when the combo box belongs to
  // another process.
  DWORD_PTR len = 0;
  SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, index, 0, SMTO_ABORTIFHUNG, 5000, &len);
  if (static_cast<LONG_PTR>(len) < 0) return "";
  std::wstring w(len + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&w[0]), SMTO_ABORTIFHUNG, 5000, &got);
  w.resize(wcsnlen(w.data(), len + 1));
  if (w.empty()) return "";
  int n = WideCharToMultiByte(CP_ACP, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
  return s;
}

bool Responds(HWND hwnd, DWORD timeoutMs) {
  DWORD_PTR r = 0;
  return SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &r) != 0;
}

bool WaitFor(const std::function<bool()> &fn, DWORD timeoutMs, DWORD stepMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (fn()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(stepMs);
  }
}

LRESULT SendWithBuffer(HWND hwnd, UINT msg, WPARAM wParam, void *data, size_t size) {
  RemoteBuffer buf(hwnd, size);
  if (!buf.Ok() || !buf.Write(0, data, size)) return -1;
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutA(hwnd, msg, wParam, reinterpret_cast<LPARAM>(buf.Address()), SMTO_ABORTIFHUNG, 5000, &r))
    return -1;
  buf.Read(0, data, size);
  return static_cast<LRESULT>(r);
}

LRESULT SendCopyData(HWND target, ULONG_PTR code, const void *data, DWORD size, DWORD timeoutMs) {
  HWND sender = CreateWindowExA(0, "STATIC", "e2e sender", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  COPYDATASTRUCT cds = {code, size, const_cast<void *>(data)};
  DWORD_PTR r = 0;
  SendMessageTimeoutA(target, WM_COPYDATA, reinterpret_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&cds),
                      SMTO_ABORTIFHUNG, timeoutMs, &r);
  DestroyWindow(sender);
  return static_cast<LRESULT>(r);
}

HWND FindChildById(HWND parent, int id) {
  ChildById c = {id, nullptr};
  EnumChildWindows(parent, ChildByIdProc, reinterpret_cast<LPARAM>(&c));
  return c.found;
}

std::vector<std::string> ReadLines(const std::string &path) {
  std::vector<std::string> lines;
  std::ifstream f(path, std::ios::binary);
  std::string line;
  while (std::getline(f, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace e2e
