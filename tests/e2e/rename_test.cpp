// Renaming the listed files by a pattern, end to end: a preview and OK rename one file, "Alle"
// renames the rest, a name collision or a file held open asks and "Ignoriren" keeps the files,
// edits alone never rename, bad formats and names are refused, Cancel keeps the settings, and a
// change of letter case alone renames, also beside a leftover temporary file and where the
// file's path nears the length limit.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/LongPaths.h"
#include "e2e/support/AppSession.h"
#include "e2e/support/E2eDriver.h"

using namespace e2e;

namespace {

const int kRename = 32783, kFileList = 21396, kAddFiles = 32771;
const int kAll = 3, kSkip = 5, kPosition = 1022, kFilter = 1044, kOnlyFilter = 1045, kAllowPoints = 1047,
          kFormat = 1054, kCurrent = 1055, kNewName = 1056;
const char kCaption[] = "Datein umbenennen";
using Names = std::set<std::string>;

class App {
 public:
  bool Start(const TempTree &tree, int files) { return Start(Folder(tree), files); }
  bool Start(const std::string &folder, int files) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kAppKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
      DWORD byName = 1;
      RegSetValueExA(key, "SortList", 0, REG_DWORD, reinterpret_cast<BYTE *>(&byName), 4);
      RegCloseKey(key);
    }
    if (!p.Start(ProgramPath(), Quote(folder) + " -p:*")) return false;
    main = WaitMain(p);
    list = main ? FindChildById(main, kFileList) : nullptr;
    return list && SettledCount(p, list) == files;
  }
  // Adds the tree's files once more ("Dateien hinzuf\xFCgen" keeping the list): each is
  // listed twice.
  bool ListAgain(const TempTree &tree, int files) {
    PostCommand(main, kAddFiles);
    HWND dlg = WaitTopWindow(p.Pid(), "Dateien hinzuf\xFCgen", 10000);
    if (!dlg) return false;
    SetText(GetDlgItem(dlg, 1001), Folder(tree));
    SetText(GetDlgItem(dlg, 1002), "*");
    SetCheck(dlg, 1046, false);
    ClickButton(dlg, IDOK);
    return WaitWindowGone(dlg, 10000) && SettledCount(p, list) == 2 * files;
  }
  // Opens the dialog and waits until the worker shows the first file.
  HWND Open() {
    PostCommand(main, kRename);
    HWND dlg = WaitTopWindow(p.Pid(), kCaption, 10000);
    if (dlg && !WaitFor([&] { return IsWindowEnabled(GetDlgItem(dlg, kFormat)) != FALSE; }, 10000)) return nullptr;
    return dlg;
  }
  // The text of the message box with that caption, answered with the button.
  std::string Answer(const char *caption, int button) {
    HWND box = WaitTopWindow(p.Pid(), caption, 20000, "#32770");
    if (!box) return "<none>";
    std::string text;
    for (HWND c = FindWindowExA(box, nullptr, "Static", nullptr); c; c = FindWindowExA(box, c, "Static", nullptr))
      if (!GetText(c).empty()) text = GetText(c);
    PostMessageA(box, WM_COMMAND, button, 0);
    WaitWindowGone(box, 10000);
    return text;
  }
  Process p;
  HWND main = nullptr, list = nullptr;
};

void Click(HWND dialog, int id) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
}

bool ShowsFile(HWND dlg, const std::string &position, const std::string &current) {
  return WaitFor([&] {
    return GetText(GetDlgItem(dlg, kPosition)) == position && GetText(GetDlgItem(dlg, kCurrent)) == current &&
           IsWindowEnabled(GetDlgItem(dlg, kFormat));
  }, 10000);
}

bool Enabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE; }

Names OnDisk(const TempTree &tree) {
  Names names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(tree.Path("*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(fd.cFileName);
  while (FindNextFileA(h, &fd));
  FindClose(h);
  return names;
}

class Rename : public ::testing::Test {
 protected:
  void SetUp() override { DeleteUserKey(kAppKey); }
  void TearDown() override { DeleteUserKey(kAppKey); }
};

}  // namespace

TEST_F(Rename, PreviewThenOkRenamesOneFileAndCancelKeepsTheSettings) {
  TempTree tree("ren1");
  for (const char *n : {"a.txt", "b.txt", "c.txt"}) tree.Write(n, n);
  App app;
  ASSERT_TRUE(app.Start(tree, 3));
  HWND dlg = app.Open();
  ASSERT_NE(nullptr, dlg);
  // An empty format fits no file.
  ASSERT_TRUE(ShowsFile(dlg, "Datei 3 von 3 :", ""));
  SetText(GetDlgItem(dlg, kFormat), "*|a|x|.bak");
  ASSERT_TRUE(ShowsFile(dlg, "Datei 0 von 3 :", "a.txt"));
  EXPECT_TRUE(WaitFor([&] { return GetText(GetDlgItem(dlg, kNewName)) == "x.bak"; }, 5000));
  EXPECT_EQ("< kein Dateifilter ausgew\xE4hlt >", GetText(GetDlgItem(dlg, kFilter)));
  SetText(GetDlgItem(dlg, kFormat), "*.bak");
  Click(dlg, kAllowPoints);
  ASSERT_TRUE(WaitFor([&] { return Enabled(dlg, IDOK) && GetText(GetDlgItem(dlg, kNewName)) == "a.bak"; }, 5000));
  Click(dlg, IDOK);
  EXPECT_TRUE(ShowsFile(dlg, "Datei 1 von 3 :", "b.txt"));
  EXPECT_EQ("b.bak", GetText(GetDlgItem(dlg, kNewName)));
  EXPECT_EQ((Names{"a.bak", "b.txt", "c.txt"}), OnDisk(tree));

  Click(dlg, IDCANCEL);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  EXPECT_EQ((Names{"a.bak", "b.txt", "c.txt"}), ListNames(app.list));
  std::string format;
  DWORD only = 9, outside = 9, points = 9;
  EXPECT_TRUE(ReadUserValue(kAppKey, "RenameFormat", &format));
  EXPECT_EQ("*.bak", format);
  EXPECT_TRUE(ReadUserDword(kAppKey, "OnlyFilter", &only) && only == 1);
  EXPECT_TRUE(ReadUserDword(kAppKey, "OutAsFilter", &outside) && outside == 0);
  EXPECT_TRUE(ReadUserDword(kAppKey, "AllowPoints", &points) && points == 1);
  EXPECT_TRUE(CloseMain(app.p, app.main));
}

TEST_F(Rename, AllRenamesEveryFileAndACollisionKeepsBothFiles) {
  TempTree tree("ren2");
  for (const char *n : {"a.bak", "a.txt", "b.txt", "c.txt"}) tree.Write(n, n);
  App app;
  ASSERT_TRUE(app.Start(tree, 4));
  // Another program holds c.txt open, sharing nothing: it keeps its name, and the user is told why.
  Process holder;
  const std::string marker = tree.Path("held.mark");
  ASSERT_TRUE(holder.Start(ExeDir() + "standin_holder.exe", "lock " + Quote(tree.Path("c.txt")) + " " + Quote(marker)));
  ASSERT_TRUE(WaitFor([&] { return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000));
  DeleteFileA(marker.c_str());
  HWND dlg = app.Open();
  ASSERT_NE(nullptr, dlg);
  Click(dlg, kOnlyFilter);   // off: every file in turn
  SetText(GetDlgItem(dlg, kFormat), "*.bak");
  ASSERT_TRUE(ShowsFile(dlg, "Datei 0 von 4 :", "a.bak"));
  Click(dlg, kSkip);
  ASSERT_TRUE(ShowsFile(dlg, "Datei 1 von 4 :", "a.txt"));
  Click(dlg, kAll);
  std::string error = app.Answer("Fehler", IDIGNORE);
  EXPECT_NE(std::string::npos, error.find("Fehler beim Umbennen von ")) << error;
  EXPECT_NE(std::string::npos, error.find("a.txt !\n\nWiederholen ?\n\nDer neue Dateiname existiert bereits !"))
      << error;
  error = app.Answer("Fehler", IDIGNORE);
  EXPECT_NE(std::string::npos,
            error.find("c.txt !\n\nWiederholen ?\n\nDie Datei wird von einem anderen Programm verwendet !"))
      << error;
  EXPECT_EQ("Es wurden 1 von 4 Dateien umbenannt.\nBei 0 Dateien gab es keine \xC4nderungen.",
            app.Answer("Information", IDOK));
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  holder.Kill();

  const Names after = {"a.bak", "a.txt", "b.bak", "c.txt"};
  EXPECT_EQ(after, OnDisk(tree));
  EXPECT_EQ("a.bak", testcommon::ReadFileBytes(tree.Path("a.bak")));
  EXPECT_EQ("a.txt", testcommon::ReadFileBytes(tree.Path("a.txt")));
  EXPECT_EQ(after, ListNames(app.list));
  EXPECT_TRUE(CloseMain(app.p, app.main));
}

TEST_F(Rename, EditsAloneNeverRenameAndBadInputIsRefused) {
  TempTree tree("ren3");
  for (const char *n : {"a.txt", "b.txt"}) tree.Write(n, n);
  App app;
  ASSERT_TRUE(app.Start(tree, 2));
  HWND dlg = app.Open();
  ASSERT_NE(nullptr, dlg);
  Click(dlg, kOnlyFilter);   // off: the file stays whatever the format
  ASSERT_TRUE(ShowsFile(dlg, "Datei 0 von 2 :", "a.txt"));

  // A burst of edits wakes the worker many times over; none of them is a decision.
  HWND format = GetDlgItem(dlg, kFormat);
  for (int i = 0; i < 40; ++i) SetText(format, i % 2 ? "*.neu" : "x*");
  HWND points = GetDlgItem(dlg, kAllowPoints);
  for (int i = 0; i < 200; ++i) PostMessageA(points, BM_CLICK, 0, 0);   // queued: handled back to back
  Sleep(1500);
  EXPECT_EQ((Names{"a.txt", "b.txt"}), OnDisk(tree));

  struct Bad {
    const char *format, *filter;
  } bad[] = {{"|a|b", "< Ein Tauschblock ist nicht mit '|' abgeschlossen >"},
             {"*|.t|x|*", "< Punkte sind im ersten Tauschblock nicht erlaubt >"},
             {"*|a|*|", "< Wildcards (*?) sind im  ersten Tauschblock nicht erlaubt >"}};
  for (const Bad &b : bad) {
    SetText(format, b.format);
    EXPECT_TRUE(WaitFor([&] { return GetText(GetDlgItem(dlg, kFilter)) == b.filter; }, 5000)) << b.format;
    EXPECT_FALSE(Enabled(dlg, IDOK)) << b.format;
    EXPECT_FALSE(Enabled(dlg, kAll)) << b.format;
    EXPECT_TRUE(Enabled(dlg, kSkip)) << b.format;
    DWORD_PTR r = 0;   // as Enter would, past the disabled button (sent: handled before the next edit)
    SendMessageTimeoutA(dlg, WM_COMMAND, IDOK, 0, SMTO_ABORTIFHUNG, 5000, &r);
  }

  // A typed name that would move the file elsewhere is refused.
  SetText(format, "*.neu");
  ASSERT_TRUE(WaitFor([&] { return Enabled(dlg, IDOK); }, 5000));
  // (typed once the worker has shown the new format's name, which would overwrite it)
  HWND newName = GetDlgItem(dlg, kNewName);
  ASSERT_TRUE(WaitFor([&] {
    SetText(newName, "..\\a.txt");
    Sleep(200);
    return GetText(newName) == "..\\a.txt";
  }, 5000));
  ClickButton(dlg, IDOK);
  EXPECT_NE(std::string::npos, app.Answer("Fehler", IDOK).find("ung\xFCltig"));
  EXPECT_TRUE(ShowsFile(dlg, "Datei 0 von 2 :", "a.txt"));

  // Only the files that the format fits: none does.
  SetText(format, "|zzz|y|*");
  Click(dlg, kOnlyFilter);
  EXPECT_TRUE(ShowsFile(dlg, "Datei 2 von 2 :", ""));
  EXPECT_EQ("<keine Datei passt zum Format>", GetText(GetDlgItem(dlg, kNewName)));
  EXPECT_FALSE(Enabled(dlg, IDOK));
  EXPECT_FALSE(Enabled(dlg, kSkip));

  Click(dlg, IDCANCEL);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  EXPECT_EQ((Names{"a.txt", "b.txt"}), OnDisk(tree));
  EXPECT_TRUE(CloseMain(app.p, app.main));
}

namespace {

// One step of a run: sets the format (when given), waits until the dialog shows the file and
// the new name, keeps it open pauseMs longer, then clicks the button (when given).
struct Step {
  const char *format, *current, *newName;
  int click, pauseMs;
};
struct RunCase {
  const char *label;
  bool listTwice;
  std::vector<Step> steps;
  std::string message;
  Names after;
  // Unlisted file in the way, written after the list was filled: it must stay as it was.
  std::string leftover;
};

const char kLeftoverBytes[] = "earlier run\r\n\x01";

}  // namespace

// Runs one case on a fresh tree of a.txt, b.txt and c.txt.
void RunRenameCase(const RunCase &c) {
  DeleteUserKey(kAppKey);
  TempTree tree("ren4");
  for (const char *n : {"a.txt", "b.txt", "c.txt"}) tree.Write(n, n);
  App app;
  ASSERT_TRUE(app.Start(tree, 3));
  if (c.listTwice) {
    ASSERT_TRUE(app.ListAgain(tree, 3));
  }
  if (!c.leftover.empty()) tree.Write(c.leftover, kLeftoverBytes);
  HWND dlg = app.Open();
  ASSERT_NE(nullptr, dlg);
  for (const Step &step : c.steps) {
    if (step.format) SetText(GetDlgItem(dlg, kFormat), step.format);
    ASSERT_TRUE(WaitFor([&] {
      return GetText(GetDlgItem(dlg, kCurrent)) == step.current && GetText(GetDlgItem(dlg, kNewName)) == step.newName &&
             Enabled(dlg, kFormat);
    }, 10000)) << (step.format ? step.format : "") << " " << step.current;
    if (step.pauseMs) {
      Sleep(step.pauseMs);
      ASSERT_TRUE(IsWindowVisible(dlg)) << step.format;
      EXPECT_EQ(step.newName, GetText(GetDlgItem(dlg, kNewName)));
    }
    if (step.click) Click(dlg, step.click);
  }
  EXPECT_EQ(c.message, app.Answer("Information", IDOK));
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  Names onDisk = OnDisk(tree);
  if (!c.leftover.empty()) {
    EXPECT_EQ(1u, onDisk.erase(c.leftover));
    EXPECT_EQ(kLeftoverBytes, testcommon::ReadFileBytes(tree.Path(c.leftover)));
  }
  EXPECT_EQ(c.after, onDisk);
  // Every entry of a renamed file shows its new name.
  EXPECT_EQ(c.after, ListNames(app.list));
  EXPECT_TRUE(CloseMain(app.p, app.main));
}

TEST_F(Rename, RunsEndPastTheLastFileAndActOnEachFileOnce) {
  const std::string noFile = "<keine Datei passt zum Format>";
  const RunCase cases[] = {
      // A block begun with '|' fits no file: the dialog waits until the format fits again.
      {"recompute without a fitting file",
       false,
       {{"*.bak", "a.txt", "a.bak", kAllowPoints, 0},
        {nullptr, "a.txt", "a.bak", kSkip, 0},
        {"*.bak|", "", noFile.c_str(), 0, 2000},
        {"*|.txt|.bak|", "b.txt", "b.bak", kAll, 0}},
       "Es wurden 2 von 3 Dateien umbenannt.\nBei 0 Dateien gab es keine \xC4nderungen.",
       {"a.txt", "b.bak", "c.bak"}},
      {"every file listed twice",
       true,
       {{"*.bak", "a.txt", "a.bak", kAll, 0}},
       "Es wurden 3 von 3 Dateien umbenannt.\nBei 0 Dateien gab es keine \xC4nderungen.",
       {"a.bak", "b.bak", "c.bak"}},
      // A new name that differs in letter case alone is the same file to the file system.
      {"letter case alone",
       false,
       {{"*.TXT", "a.txt", "a.TXT", kAll, 0}},
       "Es wurden 3 von 3 Dateien umbenannt.\nBei 0 Dateien gab es keine \xC4nderungen.",
       {"a.TXT", "b.TXT", "c.TXT"}},
      // The step through a free name beside the file passes a leftover of an earlier run.
      {"letter case alone beside a leftover step file",
       false,
       {{"*.TXT", "a.txt", "a.TXT", kAll, 0}},
       "Es wurden 3 von 3 Dateien umbenannt.\nBei 0 Dateien gab es keine \xC4nderungen.",
       {"a.TXT", "b.TXT", "c.TXT"},
       "a.txt.vellmorant.tmp"},
  };
  for (const RunCase &c : cases) {
    SCOPED_TRACE(c.label);
    RunRenameCase(c);
  }
}

namespace {

struct LongCase {
  const char *label;
  size_t length;                       // of each file's full path
  std::vector<std::string> names;      // the files, in one folder
  const char *format;
  std::vector<std::string> leftovers;  // unlisted files in the way, written after the fill
  const char *reason;                  // the end of the question a failure asks; null: none
  std::string message;
  Names after;
};

void RunLongCase(const LongCase &c) {
  SCOPED_TRACE(c.label);
  DeleteUserKey(kAppKey);
  TempTree tree("ren5");
  const std::string folder = testcommon::PaddedPath(tree.Root(), c.length - 1 - c.names[0].size(), 'p');
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  for (const std::string &n : c.names) ASSERT_EQ(c.length, tree.Write(folder.substr(tree.Root().size()) + "\\" + n, n).size());
  App app;
  ASSERT_TRUE(app.Start(folder, int(c.names.size())));
  for (const std::string &n : c.leftovers) tree.Write(folder.substr(tree.Root().size()) + "\\" + n, kLeftoverBytes);
  HWND dlg = app.Open();
  ASSERT_NE(nullptr, dlg);
  SetText(GetDlgItem(dlg, kFormat), c.format);
  ASSERT_TRUE(WaitFor([&] { return GetText(GetDlgItem(dlg, kCurrent)) == c.names[0] && Enabled(dlg, kFormat); }, 10000));
  Click(dlg, kAll);
  if (c.reason) {
    const std::string question = app.Answer("Fehler", IDIGNORE);
    const std::string reason = c.reason;
    EXPECT_EQ(0u, question.find("Fehler beim Umbennen von ")) << question;
    EXPECT_TRUE(question.size() > reason.size() && question.substr(question.size() - reason.size()) == reason)
        << question;
  }
  EXPECT_EQ(c.message, app.Answer("Information", IDOK));
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  Names onDisk;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  do
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) onDisk.insert(fd.cFileName);
  while (FindNextFileA(h, &fd));
  FindClose(h);
  for (const std::string &n : c.leftovers) {
    EXPECT_EQ(1u, onDisk.erase(n)) << n;
    EXPECT_EQ(kLeftoverBytes, testcommon::ReadFileBytes(folder + "\\" + n)) << n;
  }
  EXPECT_EQ(c.after, onDisk);
  EXPECT_EQ(c.after, ListNames(app.list));
  EXPECT_TRUE(CloseMain(app.p, app.main));
}

}  // namespace

// Near the path limit "<file>.vellmorant.tmp" does not fit: the step goes through a shorter
// free name in the same folder, and where none is free the question says why.
TEST_F(Rename, LetterCaseAloneNearThePathLimit) {
  const std::string done2 = "Es wurden 2 von 2 Dateien umbenannt.\nBei 0 Dateien gab es keine \xC4nderungen.";
  const LongCase cases[] = {
      {"250 characters", 250, {"abc1.txt", "abc2.txt"}, "|abc|ABC|*", {}, nullptr, done2, {"ABC1.txt", "ABC2.txt"}},
      {"250 characters beside leftover step names", 250, {"abc1.txt", "abc2.txt"}, "|abc|ABC|*",
       {"~vm0.tmp", "~VM1.TMP"}, nullptr, done2, {"ABC1.txt", "ABC2.txt"}},
      {"259 characters", 259, {"abc1.txt", "abc2.txt"}, "|abc|ABC|*", {}, nullptr, done2, {"ABC1.txt", "ABC2.txt"}},
      // A one-letter name at the limit leaves room for the steps "0" to "9" only; all taken,
      // the direct move keeps the old spelling under Wine (Windows' own file system takes it).
      {"no step name free", 259, {"a"}, "|a|A|*", {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"},
       "\n\nDas Dateisystem hat die neue Schreibweise nicht \xFC" "bernommen, und neben der Datei ist kein "
       "Zwischenname frei !",
       "Es wurden 0 von 1 Dateien umbenannt.\nBei 0 Dateien gab es keine \xC4nderungen.", {"a"}},
  };
  for (const LongCase &c : cases) RunLongCase(c);
}

// A file whose name the code page cannot spell is listed by its short name: a new name made
// from that would replace its own, so it keeps its name and the question says why.
TEST_F(Rename, NameOutsideTheCodePageIsNotReplacedByItsShortName) {
  TempTree tree("ren_greek");
  std::wstring folder(MAX_PATH, L'\0');
  folder.resize(size_t(MultiByteToWideChar(CP_ACP, 0, tree.Path("").c_str(), -1, &folder[0], MAX_PATH)) - 1);
  const std::wstring own = folder + L"\x0391\x03B2\x03B3.txt";
  HANDLE h = CreateFileW(own.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
  tree.Write("b.txt", "b");
  App app;
  ASSERT_TRUE(app.Start(tree, 2));
  HWND dlg = app.Open();
  ASSERT_NE(nullptr, dlg);
  SetText(GetDlgItem(dlg, kFormat), "*.bak");
  ASSERT_TRUE(WaitFor([&] {
    std::string shown = GetText(GetDlgItem(dlg, kNewName));
    return shown.size() > 4 && shown.compare(shown.size() - 4, 4, ".bak") == 0 && Enabled(dlg, kAll);
  }, 10000));
  Click(dlg, kAll);
  std::string error = app.Answer("Fehler", IDIGNORE);
  EXPECT_NE(std::string::npos, error.find("\n\nDer Dateiname enth\xE4lt Zeichen au\xDF" "erhalb des Zeichensatzes; "
                                          "die Datei wird nicht umbenannt !"))
      << error;
  EXPECT_EQ("Es wurden 1 von 2 Dateien umbenannt.\nBei 0 Dateien gab es keine \xC4nderungen.",
            app.Answer("Information", IDOK));
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(own.c_str()));
  const Names after = {"b.bak"};
  Names plain;
  for (const std::string &n : OnDisk(tree))
    if (n.find_first_of("~?") == std::string::npos) plain.insert(n);
  EXPECT_EQ(after, plain);
  EXPECT_TRUE(CloseMain(app.p, app.main));
}
