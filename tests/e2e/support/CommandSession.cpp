// The program started for the tests of the commands that act on search results.
#include "e2e/support/CommandSession.h"

namespace e2e {

bool CommandSession::Start(const TempTree &tree, int files) {
  return StartWith(Quote(Folder(tree)) + " -p:*", files);
}

bool CommandSession::StartWith(const std::string &args, int files) {
  if (!p.Start(ProgramPath(), args)) return false;
  main = WaitMain(p);
  HWND list = main ? FindChildById(main, 21396) : nullptr;
  return list && WaitFor([&] { return !FindTopWindow(p.Pid(), "Dateisuche") && ListViewCount(list) == files; },
                         60000);
}

bool CommandSession::Answer(const char *caption, const std::string &text, int button, std::string *shown) {
  HWND box = nullptr;
  std::string last;
  bool found = WaitFor([&] {
    box = FindTopWindow(p.Pid(), caption, "#32770");
    if (!box) return false;
    last.clear();
    for (HWND c = FindWindowExA(box, nullptr, "Static", nullptr); c; c = FindWindowExA(box, c, "Static", nullptr))
      if (!GetText(c).empty()) last = GetText(c);
    return last.find(text) != std::string::npos;
  }, 60000);
  if (shown) *shown = last;
  if (!found) return false;
  ClickButton(box, button);
  return WaitWindowGone(box, 10000);
}

bool CommandSession::Search(int command, const std::string &text) {
  HWND dlg = Open(command, command == kCmdTextSearch ? "Text suchen" : "Wert suchen");
  if (!dlg) return false;
  // The value dialog reads its input as typed.
  HWND edit = FindWindowExA(GetDlgItem(dlg, 1001), nullptr, "Edit", nullptr);
  DWORD_PTR r = 0;
  SendMessageTimeoutA(edit, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, 5000, &r);
  for (char ch : text) SendMessageTimeoutA(edit, WM_CHAR, (unsigned char)ch, 1, SMTO_ABORTIFHUNG, 5000, &r);
  ClickButton(dlg, IDOK);
  if (!WaitWindowGone(dlg, 10000)) return false;
  // A command posted while the search job runs would be refused.
  int quiet = 0;
  return WaitFor([&] {
    bool busy = FindTopWindow(p.Pid(), "Textsuche") || FindTopWindow(p.Pid(), "HEX-Suche") || JobRunsUnseen(p.Pid(), main);
    quiet = busy ? 0 : quiet + 1;
    return quiet >= 4 && Responds(main);
  }, 60000, 100);
}

HWND CommandSession::Open(int command, const char *caption) {
  PostCommand(main, command);
  return WaitTopWindow(p.Pid(), caption, 10000);
}

std::string CommandSession::LineText(HWND list, int index) {
  // The line record of the list's line message, as the program (32-bit) lays it out.
  struct LineItem {
    UINT mask;
    int index;
    DWORD text;
    int length, size;
    DWORD colors;
  };
  const SIZE_T kText = 2048;
  char *remote =
      static_cast<char *>(VirtualAllocEx(p.Handle(), nullptr, sizeof(LineItem) + kText, MEM_COMMIT, PAGE_READWRITE));
  if (!remote) return "";
  LineItem item = {4, index, reinterpret_cast<DWORD>(remote + sizeof(LineItem)), -1, int(kText), 0};
  WriteProcessMemory(p.Handle(), remote, &item, sizeof item, nullptr);
  DWORD_PTR len = 0;
  SendMessageTimeoutA(list, 0x3812, 0, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 5000, &len);
  std::string text(kText, '\0');
  ReadProcessMemory(p.Handle(), remote + sizeof(LineItem), &text[0], kText, nullptr);
  VirtualFreeEx(p.Handle(), remote, 0, MEM_RELEASE);
  text.resize(len < kText ? size_t(len) : 0);
  return text;
}

}  // namespace e2e
