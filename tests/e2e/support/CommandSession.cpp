// The program started for the tests of the commands that act on search results.
#include "e2e/support/CommandSession.h"

namespace e2e {

bool CommandSession::Start(const TempTree &tree, int files) {
  if (!p.Start(ProgramPath(), Quote(Folder(tree)) + " -p:*")) return false;
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
    bool busy = FindTopWindow(p.Pid(), "Textsuche") || FindTopWindow(p.Pid(), "HEX-Suche");
    quiet = busy ? 0 : quiet + 1;
    return quiet >= 4 && Responds(main);
  }, 60000, 100);
}

HWND CommandSession::Open(int command, const char *caption) {
  PostCommand(main, command);
  return WaitTopWindow(p.Pid(), caption, 10000);
}

}  // namespace e2e
