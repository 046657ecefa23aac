// The commands that act on files, driven through the program's own dialogs for
// acting-bench.sh (not a test): starts Vellmorant on a folder with every file listed, runs one
// command and times it from the OK of its dialog to its end (the closing message box, or for
// the directory compare the filled result list).
//   acting_bench <Vellmorant.exe> <folder> <listed files> change <text> <new text>
//   acting_bench <Vellmorant.exe> <folder> <listed files> insert <text> <new line>
//   acting_bench <Vellmorant.exe> <folder> <listed files> delete <text>
//   acting_bench <Vellmorant.exe> <folder> <listed files> tabs
//   acting_bench <Vellmorant.exe> <folder> <listed files> lineends
//   acting_bench <Vellmorant.exe> <folder> <listed files> asciiansi
//   acting_bench <Vellmorant.exe> <folder> <listed files> compare <compare folder>
// "change" first searches for the text (result limit raised to a million) and then writes the
// new text over every hit; "insert" and "delete" search likewise and then insert the new line
// after each found line or delete the found lines (timed to the close of their dialog, which
// has no closing message); "tabs" converts tab widths 8 to 4; "lineends" converts to CR LF;
// "asciiansi" converts from the OEM to the ANSI code page; "compare" reports all four kinds of
// differences. Output: "seconds S", "hits N" (change, insert, delete), "message <text>" (the
// closing message) or one "line <text>" per result line (compare).
// Exit code 0, 1 when a step failed, 2 for bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchClock.h"
#include "e2e/support/AppSession.h"
#include "e2e/support/CommandSession.h"
#include "e2e/support/E2eDriver.h"

using namespace e2e;

namespace {

const int kChange = 32774, kConvertTabs = 32778, kAsciiAnsi = 32781, kLineEnds = 32784, kDirCompare = 32786,
          kResultLimit = 32792, kInsertLines = 32795, kDeleteLines = 32796;
const int kFileList = 21396, kResults = 21397;

// The last non-empty static of a dialog: a message box's text.
std::string BoxText(HWND box) {
  std::string last;
  for (HWND c = FindWindowExA(box, nullptr, "Static", nullptr); c; c = FindWindowExA(box, c, "Static", nullptr)) {
    std::string t = GetText(c);
    if (!t.empty()) last = t;
  }
  return last;
}

// A visible message box (or dialog) of the process with the caption, other than skip. One
// FindWindowEx per candidate: polling must not load the wineserver that the program works
// through (EnumWindows asks it several times for every window).
HWND FindBox(DWORD pid, const char *caption, HWND skip = nullptr) {
  for (HWND h = FindWindowExA(nullptr, nullptr, "#32770", caption); h; h = FindWindowExA(nullptr, h, "#32770", caption)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(h, &owner);
    if (owner == pid && h != skip && IsWindowVisible(h)) return h;
  }
  return nullptr;
}

// A box titled "Fehler" or "Warnung": printed and answered with Cancel. True when there was one.
bool Failed(DWORD pid) {
  for (const char *bad : {"Fehler", "Warnung"})
    if (HWND b = FindBox(pid, bad)) {
      std::printf("failure %s: %s\n", bad, BoxText(b).c_str());
      ClickButton(b, IDCANCEL);
      return true;
    }
  return false;
}

// Polls every 10 ms for a message box of the program with the caption whose text holds text
// (other than the window skip); returns it, or null after the time-out or a failure's box.
HWND WaitBox(DWORD pid, const char *caption, const char *text, HWND skip, DWORD timeoutMs) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(10)) {
    HWND box = FindBox(pid, caption, skip);
    if (box && BoxText(box).find(text) != std::string::npos) return box;
    if (Failed(pid)) return nullptr;
  }
  return nullptr;
}

// Times from the click on OK of dlg to the message box (caption, text); prints both.
bool TimeToMessage(CommandSession &app, HWND dlg, const char *caption, const char *text) {
  double start = BenchNow();
  ClickButton(dlg, IDOK);
  HWND box = WaitBox(app.p.Pid(), caption, text, dlg, 1800000);
  double seconds = BenchNow() - start;
  if (!box) return false;
  std::printf("seconds %.3f\nmessage %s\n", seconds, BoxText(box).c_str());
  ClickButton(box, IDOK);
  return WaitWindowGone(box, 10000);
}

bool RaiseResultLimit(CommandSession &app) {
  HWND dlg = app.Open(kResultLimit, "Ergebnislimith");
  if (!dlg) return false;
  SetText(FindWindowExA(dlg, nullptr, "Edit", nullptr), "1000000");
  ClickButton(dlg, IDOK);
  return WaitWindowGone(dlg, 10000);
}

bool RunChange(CommandSession &app, const char *text, const char *newText) {
  if (!RaiseResultLimit(app) || !app.Search(kCmdTextSearch, text)) return false;
  std::printf("hits %d\n", ListBoxCount(FindChildById(app.main, kResults)));
  HWND dlg = app.Open(kChange, "\xC4ndern");
  if (!dlg) return false;
  SetText(GetDlgItem(dlg, 1001), newText);
  SetText(GetDlgItem(dlg, 1002), "");
  SetCheck(dlg, 1045, false);
  DWORD_PTR r = 0;
  SendMessageTimeoutA(GetDlgItem(dlg, 1049), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);   // replace the found text
  return TimeToMessage(app, dlg, "\xC4ndern", "Es wurden");
}

// Insert newLine after each found line, or delete the found lines (newLine null).
bool RunLines(CommandSession &app, const char *text, const char *newLine) {
  if (!RaiseResultLimit(app) || !app.Search(kCmdTextSearch, text)) return false;
  std::printf("hits %d\n", ListBoxCount(FindChildById(app.main, kResults)));
  HWND dlg = app.Open(newLine ? kInsertLines : kDeleteLines, "Zeilen einf\xFCgen");
  if (!dlg) return false;
  SetText(GetDlgItem(dlg, 1054), newLine ? "1" : "0");
  SetText(GetDlgItem(dlg, newLine ? 1055 : 1056), newLine ? newLine : "1");
  SetText(GetDlgItem(dlg, 1044), "");
  double start = BenchNow();
  ClickButton(dlg, IDOK);
  // The dialog closes by itself once every file is written.
  for (int poll = 0; IsWindow(dlg) && IsWindowVisible(dlg); ++poll, Sleep(10))
    if (poll > 180000 || Failed(app.p.Pid())) return false;
  std::printf("seconds %.3f\n", BenchNow() - start);
  return true;
}

bool RunConversion(CommandSession &app, int command, const char *caption) {
  HWND dlg = app.Open(command, caption);
  // The dialogs' defaults: tab widths 8 to 4, line ends "Mit Carriage-Return (Windows)".
  return dlg && TimeToMessage(app, dlg, "Vellmorant", "Es wurden");
}

bool RunCompare(CommandSession &app, const std::string &folder, const std::string &compareFolder) {
  DWORD pid = app.p.Pid();
  PostCommand(app.main, kDirCompare);
  HWND dlg = nullptr;
  WaitFor([&] {
    // Asked only when the listed files share a deeper folder than the one listed.
    if (HWND q = FindTopWindow(pid, "Frage", "#32770")) ClickButton(q, IDNO);
    dlg = FindTopWindow(pid, "Verzeichnisse vergleichen");
    return dlg != nullptr;
  }, 10000);
  if (!dlg) return false;
  SetText(GetDlgItem(dlg, 1001), folder);
  SetText(GetDlgItem(dlg, 1004), compareFolder);
  SetText(GetDlgItem(dlg, 1002), "");
  for (int id : {1045, 1046, 1047, 1048}) SetCheck(dlg, id, true);
  SetCheck(dlg, 1068, false);
  HWND results = FindChildById(app.main, kResults);
  DWORD_PTR r = 0;
  SendMessageTimeoutA(results, LB_RESETCONTENT, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
  // The command empties the list before its job and fills it at the end. The main window is
  // disabled while the job runs; the list is asked (a message the program's thread must
  // answer) only after that, or five times a second for a job too short to be seen.
  double start = BenchNow(), seconds = 0;
  ClickButton(dlg, IDOK);
  bool seenJob = false;
  for (int poll = 0; poll < 180000; ++poll, Sleep(10)) {
    if (Failed(pid)) return false;
    bool dialogGone = !IsWindow(dlg) || !IsWindowVisible(dlg);
    bool enabled = IsWindowEnabled(app.main) != 0;
    if (dialogGone && !enabled) seenJob = true;
    if (((seenJob && enabled) || poll % 20 == 19) && ListBoxCount(results) > 0) {
      seconds = BenchNow() - start;
      break;
    }
  }
  if (seconds == 0) return false;
  // Every line is in once the program answers again.
  if (!WaitFor([&] { return Responds(app.main) && !JobRunsUnseen(pid, app.main); }, 60000)) return false;
  std::printf("seconds %.3f\n", seconds);
  for (const std::string &line : ResultLines(app.p, results)) std::printf("line %s\n", line.c_str());
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 5) return 2;
  std::string exe = argv[1], folder = argv[2], command = argv[4];
  int files = std::atoi(argv[3]);
  DeleteUserKey(kAppKey);   // every run starts from the dialogs' defaults
  CommandSession app;
  if (!app.p.Start(exe, Quote(folder) + " -p:*")) return 1;
  app.main = WaitMain(app.p, 60000);
  HWND list = app.main ? FindChildById(app.main, kFileList) : nullptr;
  int listed = list ? SettledCount(app.p, list, 600000) : -1;
  if (listed != files) {
    std::fprintf(stderr, "the file list holds %d files, not %d\n", listed, files);
    return 1;
  }
  bool ok = false;
  if (command == "change" && argc > 6)
    ok = RunChange(app, argv[5], argv[6]);
  else if (command == "insert" && argc > 6)
    ok = RunLines(app, argv[5], argv[6]);
  else if (command == "delete" && argc > 5)
    ok = RunLines(app, argv[5], nullptr);
  else if (command == "tabs")
    ok = RunConversion(app, kConvertTabs, "Tabs konvertieren");
  else if (command == "asciiansi")
    ok = RunConversion(app, kAsciiAnsi, "ASCII ANSI Konvertierung");
  else if (command == "lineends")
    ok = RunConversion(app, kLineEnds, "Carriage-Return Konverter");
  else if (command == "compare" && argc > 5)
    ok = RunCompare(app, folder, argv[5]);
  else
    return 2;
  std::fflush(stdout);
  if (!CloseMain(app.p, app.main)) app.p.Kill();
  DeleteUserKey(kAppKey);
  return ok ? 0 : 1;
}
