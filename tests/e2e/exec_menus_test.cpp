// Execution menus end to end: menus stored in the registry run on the file list and on text
// hits through recording stand-ins (arguments, folder, window state, standard input), a
// command line through the command interpreter (file names with its operators reach the
// program as text; a drive's root as "%D"), the direct delete with a failure question,
// Cancel during a wait, and the editing dialog with its limits.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/support/CommandSession.h"

using namespace e2e;

namespace {

const int kDirCompare = 32786, kEditMenus = 32790, kRunMenu = 32791, kResults = 21397, kInsertAll = 32775,
          kFileList = 21396;

struct Entry {
  std::string execute, param, dir, stream;
  DWORD show = 1, noWait = 0, command = 0;
  std::string shellMode;
  DWORD usePath = 0;
};

void SetString(HKEY key, const std::string &name, const std::string &value) {
  RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()), DWORD(value.size() + 1));
}

void SetDword(HKEY key, const std::string &name, DWORD value) {
  RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), 4);
}

// Stores menu n (1-based) as the program keeps it.
void StoreMenu(int n, const std::string &name, const std::vector<Entry> &entries) {
  std::string path = std::string(kAppKey) + "\\Executes\\Menu" + std::to_string(n);
  DeleteUserKey(path.c_str());
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
  SetString(key, "Name", name);
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry &e = entries[i];
    std::string k = std::to_string(i + 1);
    SetString(key, "Execute" + k, e.execute);
    SetString(key, "Param" + k, e.param);
    SetString(key, "Dir" + k, e.dir);
    SetString(key, "Stream" + k, e.stream);
    if (!e.shellMode.empty()) SetString(key, "ShellMode" + k, e.shellMode);
    SetDword(key, "UsePath" + k, e.usePath);
    SetDword(key, "Show" + k, e.show);
    SetDword(key, "NoWait" + k, e.noWait);
    SetDword(key, "Command" + k, e.command);
  }
  RegCloseKey(key);
}

// A copy of the recording stand-in named name in the tree; returns its path.
std::string Recorder(const TempTree &tools, const std::string &name) {
  std::string path = tools.Path(name);
  EXPECT_TRUE(CopyFileA((ExeDir() + "standin_recorder.exe").c_str(), path.c_str(), FALSE));
  return path;
}

// The blocks ("START" to "END") that a recorder logged, each without those two lines.
std::vector<std::vector<std::string>> Runs(const std::string &exe) {
  std::vector<std::vector<std::string>> runs;
  for (const std::string &line : ReadLines(exe + ".log")) {
    if (line == "START")
      runs.emplace_back();
    else if (line != "END" && !runs.empty())
      runs.back().push_back(line);
  }
  return runs;
}

// The program on a tree whose files are listed by name.
class App : public CommandSession {
 public:
  bool Start(const TempTree &tree, int files) { return StartWith(Quote(Folder(tree)) + " -p:*", files); }
  bool StartWith(const std::string &args, int files) {
    HKEY key;
    if (!RegCreateKeyExA(HKEY_CURRENT_USER, kAppKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)) {
      SetDword(key, "SortList", 1);
      RegCloseKey(key);
    }
    return CommandSession::StartWith(args, files);
  }
  // Picks the entry index in a selection dialog with the caption and confirms it.
  bool Choose(const std::string &caption, int index) {
    HWND dlg = WaitTopWindow(p.Pid(), caption.c_str(), 10000);
    if (!dlg) return false;
    DWORD_PTR r = 0;
    SendMessageTimeoutA(GetDlgItem(dlg, 1001), CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, 5000, &r);
    ClickButton(dlg, IDOK);
    return WaitWindowGone(dlg, 10000);
  }
  // Runs menu 0 on the file list (window 0) or the result list (1), up to the progress.
  bool Run(int window, const char *windowText) {
    PostCommand(main, kRunMenu);
    return Choose("Fenster w\xE4hlen", window) && Choose(std::string("Ausf\xFChrungsmen\xFC ") + windowText, 0);
  }
  // Waits until no progress window showed for a few polls in a row.
  bool WaitDone(DWORD timeoutMs = 60000) {
    int quiet = 0;
    return WaitFor([&] {
      quiet = FindTopWindow(p.Pid(), "Ausf\xFChrungsmen\xFC") || JobRunsUnseen(p.Pid(), main) ? 0 : quiet + 1;
      return quiet >= 5 && Responds(main);
    }, timeoutMs, 100);
  }
  void Close() { EXPECT_TRUE(CloseMain(p, main)); }
};

class ExecMenus : public ::testing::Test {
 protected:
  void SetUp() override { DeleteUserKey(kAppKey); }
  void TearDown() override { DeleteUserKey(kAppKey); }
};

TEST_F(ExecMenus, ProgramsGetArgumentsFolderWindowAndInput) {
  TempTree tree("exec_run"), tools("exec_tools");
  std::string a = tree.Write("a b.txt", "x"), c = tree.Write("sub\\c.txt", "y");
  std::string rec1 = Recorder(tools, "rec1.exe"), rec2 = Recorder(tools, "rec2.exe");
  std::string rec3 = Recorder(tools, "rec3.exe");
  SetEnvironmentVariableA("VM_EXEC_VAR", "v a l");
  SetEnvironmentVariableA("VM_EXEC_NONE", nullptr);
  // "%-" values go in as they are: a path unquoted, a variable's words as several arguments.
  StoreMenu(1, "&Test", {{rec1, "%p --in=%D;%b.%e", "%D", "a\\nb\\x00c", 2},
                         {"COMMAND", "\"" + rec2 + "\" %f %-p", "", "", 0, 0, 1},
                         {rec2, "%(VM_EXEC_VAR) %-(VM_EXEC_NONE) %(VM_EXEC_NONE) %-(VM_EXEC_VAR) end", "", "", 3},
                         {"SHELL", "\"" + rec3 + "\" %f --x %-(VM_EXEC_VAR)", "%D", ""}});
  ASSERT_EQ(std::string::npos, Folder(tree).find(' '));
  App app;
  ASSERT_TRUE(app.Start(tree, 2));
  ASSERT_TRUE(app.Run(0, "Aus Dateiliste"));
  ASSERT_TRUE(WaitFor([&] { return Runs(rec2).size() == 4 && Runs(rec3).size() == 2; }, 60000));
  ASSERT_TRUE(app.WaitDone());

  using Lines = std::vector<std::string>;
  EXPECT_EQ(Runs(rec1), (std::vector<Lines>{{"ARG " + a, "ARG --in=" + Folder(tree) + ";a b.txt",
                                             "CWD " + Folder(tree), "SHOW 3", "STDIN 61 0A 62 00 63", "EOF"},
                                            {"ARG " + c, "ARG --in=" + tree.Path("sub") + ";c.txt",
                                             "CWD " + tree.Path("sub"), "SHOW 3", "STDIN 61 0A 62 00 63", "EOF"}}));

  // rec2 ran through the batch (the name as one argument, the unquoted path as two) and
  // directly, for each file.
  auto runs = Runs(rec2);
  auto first = [](const Lines &run, size_t n) { return Lines(run.begin(), run.begin() + std::min(n, run.size())); };
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(first(runs[0], 3), (Lines{"ARG a b.txt", "ARG " + a.substr(0, a.rfind(' ')), "ARG b.txt"}));
  EXPECT_EQ(first(runs[1], 6), (Lines{"ARG v a l", "ARG ", "ARG v", "ARG a", "ARG l", "ARG end"}));
  ASSERT_GE(runs[1].size(), 8u);
  EXPECT_EQ(runs[1][7], "SHOW 6");
  EXPECT_EQ(first(runs[2], 2), (Lines{"ARG c.txt", "ARG " + c}));
  // The shell call opened the program with the parameters, each value one argument.
  runs = Runs(rec3);
  std::sort(runs.begin(), runs.end());
  EXPECT_EQ(first(runs[0], 6), (Lines{"ARG a b.txt", "ARG --x", "ARG v", "ARG a", "ARG l", "CWD " + Folder(tree)}));
  EXPECT_EQ(first(runs[1], 2), (Lines{"ARG c.txt", "ARG --x"}));
  app.Close();
}

// The arguments of each run of exe joined by blanks, sorted.
std::vector<std::string> ArgTexts(const std::string &exe) {
  std::vector<std::string> texts;
  for (const auto &run : Runs(exe)) {
    std::string text;
    for (const std::string &line : run)
      if (line.rfind("ARG ", 0) == 0) text += (text.empty() ? "" : " ") + line.substr(4);
    texts.push_back(text);
  }
  std::sort(texts.begin(), texts.end());
  return texts;
}

TEST_F(ExecMenus, NamesInCommandLinesReachTheProgramAsText) {
  TempTree tree("exec_names"), tools("exec_tools");
  const std::vector<std::string> names = {"a&mkdir INJ1", "g&&mkdir INJ3", "c^d.txt", "M\xFCller & S\xF6hne.txt",
                                          "50%&x(1).txt"};
  for (const std::string &name : names) tree.Write(name, "x");
  ASSERT_EQ(std::string::npos, Folder(tree).find(' '));
  std::string byName = Recorder(tools, "byname.exe"), byPath = Recorder(tools, "bypath.exe");
  // Unquoted, blanks part the arguments as the user asked; no name hands cmd an operator.
  StoreMenu(1, "Namen", {{"COMMAND", "\"" + byName + "\" R1 %-f", "%D", "", 0, 0, 1},
                         {"COMMAND", "\"" + byPath + "\" R2 %-p", "%D", "", 0, 0, 1}});
  App app;
  ASSERT_TRUE(app.Start(tree, int(names.size())));
  ASSERT_TRUE(app.Run(0, "Aus Dateiliste"));
  ASSERT_TRUE(WaitFor([&] { return Runs(byPath).size() == names.size(); }, 60000));
  ASSERT_TRUE(app.WaitDone());
  std::vector<std::string> wantName, wantPath;
  for (const std::string &name : names) {
    wantName.push_back("R1 " + name);
    wantPath.push_back("R2 " + tree.Path(name));
  }
  std::sort(wantName.begin(), wantName.end());
  std::sort(wantPath.begin(), wantPath.end());
  EXPECT_EQ(ArgTexts(byName), wantName);
  EXPECT_EQ(ArgTexts(byPath), wantPath);
  for (const char *made : {"INJ1", "INJ3"})
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(tree.Path(made).c_str())) << made;
  app.Close();
}

bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST_F(ExecMenus, TypographicNamesReachTheCommandAsThemselves) {
  TempTree tree("exec_typo"), tools("exec_tools");
  // The letters ’ – … ‰ „ “ › ” have no form in the interpreter's code page. Beside each listed
  // name lie (not listed) the files that their look-alikes (' - . % " >) would name.
  const std::vector<std::string> listed = {"Peter\x92s.txt",  "Bericht\x96Liste.txt", "Ende\x85.txt",
                                           "50\x89VM_EXEC_T\x89.txt", "Zitat \x84x\x93.txt", "Pfeil\x9B.txt",
                                           "q\x93&mkdir X\x94.txt"};
  const std::vector<std::string> lookalikes = {"Peter's.txt", "Bericht-Liste.txt", "Ende..txt", "50%VM_EXEC_T%.txt",
                                               "50zz.txt",    "Zitat x.txt",       "Pfeil",     "q"};
  for (const std::string &name : listed) tree.Write(name, "x");
  for (const std::string &name : lookalikes) tree.Write(name, "y");
  ASSERT_EQ(std::string::npos, Folder(tree).find(' '));
  // A variable of the test's own: a look-alike '%' pair would name it.
  SetEnvironmentVariableA("VM_EXEC_T", "zz");
  std::string rec = Recorder(tools, "typo.exe");
  StoreMenu(1, "Typo", {{"COMMAND", "\"" + rec + "\" %f", "%D", "", 0, 0, 1},
                        {"COMMAND", "del /q %p", "%D", "", 0, 0, 1}});
  App app;
  ASSERT_TRUE(app.StartWith(Quote(Folder(tree)) + " -p:*\x92*;*\x96*;*\x85*;*\x89*;*\x84*;*\x9B*;*\x93*",
                            int(listed.size())));
  ASSERT_TRUE(app.Run(0, "Aus Dateiliste"));
  ASSERT_TRUE(WaitFor([&] { return Runs(rec).size() == listed.size(); }, 60000));
  ASSERT_TRUE(app.WaitDone());
  std::vector<std::string> want = listed;
  std::sort(want.begin(), want.end());
  EXPECT_EQ(ArgTexts(rec), want);
  for (const std::string &name : listed) EXPECT_FALSE(Exists(tree.Path(name))) << name;
  for (const std::string &name : lookalikes) EXPECT_TRUE(Exists(tree.Path(name))) << name;
  for (const char *made : {"X", "X.txt", ".txt"}) EXPECT_FALSE(Exists(tree.Path(made))) << made;
  app.Close();
}

TEST_F(ExecMenus, UnquotedNameWithoutOemFormAsksAndRunsNothing) {
  TempTree tree("exec_typo_raw"), tools("exec_tools");
  tree.Write("Peter\x92s.txt", "x");
  std::string rec = Recorder(tools, "typoraw.exe");
  // "%-f" goes into the batch as it is: no letter may become another one there.
  StoreMenu(1, "Roh", {{"COMMAND", "\"" + rec + "\" %-f", "%D", "", 0, 0, 1}});
  App app;
  ASSERT_TRUE(app.Start(tree, 1));
  ASSERT_TRUE(app.Run(0, "Aus Dateiliste"));
  std::string shown;
  ASSERT_TRUE(app.Answer("Fehler", "Peter\x92s.txt", IDABORT, &shown));
  EXPECT_EQ(shown, "Fehler beim Ausf\xFChren von '\"" + rec + "\" Peter\x92s.txt' !\nWeiter machen ?");
  ASSERT_TRUE(app.WaitDone());
  EXPECT_TRUE(Runs(rec).empty());
  app.Close();
}

TEST_F(ExecMenus, JoinedValuesAreOneArgument) {
  TempTree tree("exec_join"), tools("exec_tools");
  std::string spaced = tree.Write("a b\\x y.txt", "1"), plain = tree.Write("plain\\z.txt", "2");
  ASSERT_TRUE(CreateDirectoryA(tree.Path("backup").c_str(), nullptr));
  SetEnvironmentVariableA("VM_EXEC_VB", "v b");
  std::string rec = Recorder(tools, "join.exe");
  StoreMenu(1, "Verbunden",
            {{"COMMAND", "\"" + rec + "\" %d%f %D\\%f \\%p %f%f \"\"%p %(VM_EXEC_VB)%f \"%d\" x", "%D", "", 0, 0, 1},
             {"COMMAND", "copy %p %d..\\backup", "%D", "", 0, 0, 1}});
  App app;
  ASSERT_TRUE(app.StartWith(Quote(Folder(tree)) + " -p:*.txt", 2));
  ASSERT_TRUE(app.Run(0, "Aus Dateiliste"));
  ASSERT_TRUE(WaitFor([&] { return Runs(rec).size() == 2; }, 60000));
  ASSERT_TRUE(app.WaitDone());
  std::vector<std::string> want;
  for (const std::string &path : {spaced, plain}) {
    std::string d = path.substr(0, path.rfind('\\') + 1), f = path.substr(d.size()), D = d.substr(0, d.size() - 1);
    want.push_back(d + f + " " + D + "\\" + f + " \\" + path + " " + f + f + " " + path + " v b" + f + " " + d + " x");
  }
  std::sort(want.begin(), want.end());
  EXPECT_EQ(ArgTexts(rec), want);
  // The arguments one by one: each joined word is one.
  for (const auto &run : Runs(rec)) EXPECT_EQ(std::count_if(run.begin(), run.end(), [](const std::string &l) {
                                                return l.rfind("ARG ", 0) == 0;
                                              }), 8);
  // "copy %p %d..\backup" copied from the folder with a blank as from the other.
  EXPECT_EQ(ReadLines(tree.Path("backup\\x y.txt")), std::vector<std::string>{"1"});
  EXPECT_EQ(ReadLines(tree.Path("backup\\z.txt")), std::vector<std::string>{"2"});
  app.Close();
}

TEST_F(ExecMenus, PercentAndCaretOfTheTextBesideValues) {
  TempTree tree("exec_pct"), tools("exec_tools");
  const std::string name = "a%&mkdir X";
  tree.Write(name, "x");
  SetEnvironmentVariableA("VM_EXEC_VT", "v t");
  std::string r1 = Recorder(tools, "pct1.exe"), r2 = Recorder(tools, "pct2.exe"), r3 = Recorder(tools, "pct3.exe");
  std::string r4 = Recorder(tools, "pct4.exe");
  // "%%" is one '%' for the program; a '^' before a value takes no quote that protects one;
  // the text's own variable is the interpreter's, a lone '%' beside a value is text.
  StoreMenu(1, "Prozent", {{"COMMAND", "\"" + r1 + "\" 100%% %f", "%D", "", 0, 0, 1},
                           {"COMMAND", "\"" + r2 + "\" ^%e\"%f\"", "%D", "", 0, 0, 1},
                           {"COMMAND", "\"" + r3 + "\" ^%(VM_EXEC_VT) \"%f\"", "%D", "", 0, 0, 1},
                           {"COMMAND", "\"" + r4 + "\" \"%VM_EXEC_VT%\" 5% %f", "%D", "", 0, 0, 1}});
  App app;
  ASSERT_TRUE(app.Start(tree, 1));
  ASSERT_TRUE(app.Run(0, "Aus Dateiliste"));
  ASSERT_TRUE(WaitFor([&] { return Runs(r4).size() == 1; }, 60000));
  ASSERT_TRUE(app.WaitDone());
  using Lines = std::vector<std::string>;
  auto args = [](const std::string &exe) {
    Lines out;
    for (const auto &run : Runs(exe))
      for (const std::string &l : run)
        if (l.rfind("ARG ", 0) == 0) out.push_back(l.substr(4));
    return out;
  };
  EXPECT_EQ(args(r1), (Lines{"100%", name}));
  EXPECT_EQ(args(r2), (Lines{name}));
  EXPECT_EQ(args(r3), (Lines{"v t", name}));
  EXPECT_EQ(args(r4), (Lines{"v t", "5%", name}));
  EXPECT_FALSE(Exists(tree.Path("X")));
  app.Close();
}

TEST_F(ExecMenus, BatchFileAsProgramGetsTheArgumentsOfAProgram) {
  TempTree tree("exec_batprog"), tools("exec_tools");
  const std::string inj = "x&mkdir X", var = "%VM_EXEC_TV%.txt";
  tree.Write(inj, "1");
  tree.Write(var, "2");
  // A variable of the test's own, whose value would act if it were expanded unquoted.
  SetEnvironmentVariableA("VM_EXEC_TV", "tv&mkdir Y");
  std::string direct = Recorder(tools, "batdirect.exe"), viaBat = Recorder(tools, "batfwd.exe");
  std::string viaShell = Recorder(tools, "batshell.exe");
  std::string bat = tools.Write("fwd.bat", "@\"" + viaBat + "\" %*\r\n");
  std::string shellBat = tools.Write("fwdshell.cmd", "@\"" + viaShell + "\" %*\r\n");
  Entry shell{"SHELL", "\"" + shellBat + "\" K1 -t=\\\"%f\\\"", "%D", ""};
  StoreMenu(1, "Batch", {{direct, "K1 -t=\\\"%f\\\"", "%D", ""}, {bat, "K1 -t=\\\"%f\\\"", "%D", ""}, shell});
  App app;
  ASSERT_TRUE(app.Start(tree, 2));
  ASSERT_TRUE(app.Run(0, "Aus Dateiliste"));
  ASSERT_TRUE(WaitFor([&] { return Runs(viaBat).size() == 2 && Runs(viaShell).size() == 2; }, 60000));
  ASSERT_TRUE(app.WaitDone());
  std::vector<std::string> want = {"K1 -t=\"" + inj + "\"", "K1 -t=\"" + var + "\""};
  std::sort(want.begin(), want.end());
  EXPECT_EQ(ArgTexts(direct), want);
  const std::string exact = "K1 -t=\"" + var + "\"", expanded = "K1 -t=\"tv&mkdir Y.txt\"";
  for (const std::string &exe : {viaBat, viaShell}) {
    std::vector<std::string> got = ArgTexts(exe);
    ASSERT_EQ(got.size(), 2u) << exe;
    EXPECT_EQ(std::count(got.begin(), got.end(), "K1 -t=\"" + inj + "\""), 1) << exe;
    // Wine's cmd expands the text of %* again (Windows' does not): there the variable's value
    // arrives, still as text in the one argument. This row allows that quirk.
    EXPECT_EQ(std::count(got.begin(), got.end(), exact) + std::count(got.begin(), got.end(), expanded), 1) << exe;
  }
  EXPECT_FALSE(Exists(tree.Path("X")));
  EXPECT_FALSE(Exists(tree.Path("Y")));
  app.Close();
}

TEST_F(ExecMenus, FileInADrivesRootGivesTheDriveWithoutSeparator) {
  TempTree tools("exec_tools");
  // The test prefix's own drive: its root takes a file of this process.
  const std::string name = "vm_exec_root_" + std::to_string(GetCurrentProcessId()) + ".txt", path = "C:\\" + name;
  ASSERT_TRUE(testcommon::WriteFileBytes(path, "x"));
  struct RemoveAtExit {
    std::string path;
    ~RemoveAtExit() { DeleteFileA(path.c_str()); }
  } removeAtExit{path};
  std::string direct = Recorder(tools, "rootdirect.exe"), viaCmd = Recorder(tools, "rootcmd.exe");
  // A quoted "%D" of "C:\" would end in \", and the quote would take the next argument.
  StoreMenu(1, "Wurzel", {{direct, "\"%D\" %f", "%D", ""},
                          {"COMMAND", "\"" + viaCmd + "\" \"%D\" %f", "%D", "", 0, 0, 1}});
  App app;
  ASSERT_TRUE(app.StartWith("C:\\ -s -p:" + name, 1));
  ASSERT_TRUE(app.Run(0, "Aus Dateiliste"));
  ASSERT_TRUE(WaitFor([&] { return Runs(viaCmd).size() == 1; }, 60000));
  ASSERT_TRUE(app.WaitDone());
  using Lines = std::vector<std::string>;
  for (const std::string &exe : {direct, viaCmd}) {
    auto runs = Runs(exe);
    ASSERT_EQ(runs.size(), 1u) << exe;
    ASSERT_GE(runs[0].size(), 3u) << exe;
    // The working folder "%D" is the root, not the drive's current folder.
    EXPECT_EQ(Lines(runs[0].begin(), runs[0].begin() + 3), (Lines{"ARG C:", "ARG " + name, "CWD C:\\"})) << exe;
  }
  app.Close();
}

TEST_F(ExecMenus, FileListedTwiceRunsOnce) {
  TempTree tree("exec_twice"), tools("exec_tools");
  tree.Write("a.txt", "1");
  tree.Write("b.txt", "2");
  std::string rec = Recorder(tools, "twice.exe");
  StoreMenu(1, "Zweimal", {{rec, "%f", "", ""}});
  // Unsorted, "Alle Dateien einfügen" lists both files again after the first two.
  App app;
  ASSERT_TRUE(app.CommandSession::Start(tree, 2));
  PostCommand(app.main, kInsertAll);
  ASSERT_EQ(4, SettledCount(app.p, FindChildById(app.main, kFileList)));
  ASSERT_TRUE(app.Run(0, "Aus Dateiliste"));
  ASSERT_TRUE(WaitFor([&] { return Runs(rec).size() >= 2; }, 30000));
  ASSERT_TRUE(app.WaitDone());
  std::vector<std::string> args;
  for (const auto &run : Runs(rec)) args.push_back(run.empty() ? "" : run[0]);
  std::sort(args.begin(), args.end());
  EXPECT_EQ(args, (std::vector<std::string>{"ARG a.txt", "ARG b.txt"}));
  app.Close();
}

// Starts the program on the tree, searches "foo" and runs menu 1 on the hits; returns when
// exe has run at least once and the run is over.
void RunOnHits(const TempTree &tree, const std::string &exe) {
  App app;
  ASSERT_TRUE(app.Start(tree, 1));
  ASSERT_TRUE(app.Search(kCmdTextSearch, "foo"));
  ASSERT_TRUE(app.Run(1, "Aus Ergebnisliste"));
  ASSERT_TRUE(WaitFor([&] { return !Runs(exe).empty(); }, 60000));
  ASSERT_TRUE(app.WaitDone());
  app.Close();
}

TEST_F(ExecMenus, HitsRunOncePerFileUnlessTheMenuNamesTheHit) {
  TempTree tree("exec_hits"), tools("exec_tools");
  tree.Write("h.txt", "one\nfoo\nfoo\nfoo\n");
  std::string perFile = Recorder(tools, "perfile.exe"), perHit = Recorder(tools, "perhit.exe");
  StoreMenu(1, "Treffer", {{perFile, "%f", "", ""}, {perHit, "%l:%o:%s", "", ""}});
  RunOnHits(tree, perHit);
  // A menu that uses a hit value runs every entry once per hit.
  auto hits = Runs(perHit);
  ASSERT_EQ(hits.size(), 3u);
  EXPECT_EQ(hits[0][0], "ARG 2:4:3");
  EXPECT_EQ(hits[1][0], "ARG 3:8:3");
  EXPECT_EQ(hits[2][0], "ARG 4:12:3");
  EXPECT_EQ(Runs(perFile).size(), 3u);
  // Without one the same hits run the menu once.
  DeleteFileA((perFile + ".log").c_str());
  StoreMenu(1, "Treffer", {{perFile, "%f", "", ""}});
  RunOnHits(tree, perFile);
  EXPECT_EQ(Runs(perFile).size(), 1u);
}

TEST_F(ExecMenus, CommandLinesAndDirectDelete) {
  TempTree tree("exec_cmd");
  std::string odd = tree.Write("M\xFCller 50%.txt", "inhalt");
  std::string gone = tree.Write("weg.txt", "1");
  std::string kept = tree.Write("x_nur.txt", "2");
  SetFileAttributesA(kept.c_str(), FILE_ATTRIBUTE_READONLY);
  StoreMenu(1, "Befehle", {{"COMMAND", "copy \"%p\" \"%d%b.bak\"", "", "", 0, 0, 1},
                           {"COMMAND", "del \"%p\"", "", "", 1, 0, 1}});
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  App app;
  ASSERT_TRUE(app.Start(tree, 3));
  ASSERT_TRUE(app.Run(0, "Aus Dateiliste"));
  // The read-only file cannot be deleted: the user is asked, and Ignore goes on.
  std::string shown;
  ASSERT_TRUE(app.Answer("Fehler", "'del \"" + kept + "\"'", IDIGNORE, &shown));
  EXPECT_EQ(shown, "Fehler beim Ausf\xFChren von 'del \"" + kept + "\"' !\nWeiter machen ?");
  ASSERT_TRUE(app.WaitDone());

  EXPECT_EQ(ReadLines(tree.Path("M\xFCller 50%.bak")), std::vector<std::string>{"inhalt"});
  EXPECT_EQ(GetFileAttributesA(odd.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(gone.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA(kept.c_str()), INVALID_FILE_ATTRIBUTES);
  char batch[32];
  snprintf(batch, sizeof batch, "CMD%08lX.bat", static_cast<unsigned long>(app.p.Pid()));
  EXPECT_EQ(GetFileAttributesA((std::string(temp) + batch).c_str()), INVALID_FILE_ATTRIBUTES);
  app.Close();
  SetFileAttributesA(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// F7 against other with the default options; returns once the result list begins with first.
void Compare(App &app, const TempTree &tree, const TempTree &other, const std::string &first) {
  PostCommand(app.main, kDirCompare);
  HWND dlg = WaitTopWindow(app.p.Pid(), "Verzeichnisse vergleichen", 10000);
  ASSERT_NE(nullptr, dlg);
  SetText(GetDlgItem(dlg, 1001), Folder(tree));
  SetText(GetDlgItem(dlg, 1004), Folder(other));
  ClickButton(dlg, IDOK);
  HWND results = FindChildById(app.main, kResults);
  ASSERT_TRUE(WaitFor([&] { return app.LineText(results, 0).rfind(first, 0) == 0 && Responds(app.main); }, 30000));
}

TEST_F(ExecMenus, CompareLinesAreItemsButNotTheNoDifferenceLine) {
  TempTree tree("exec_dc"), changed("exec_dc_changed"), same("exec_dc_same"), tools("exec_tools");
  tree.Write("copy(2).txt", "1");
  tree.Write("y.txt", "same");
  changed.Write("copy(2).txt", "2");
  changed.Write("y.txt", "same");
  same.Write("copy(2).txt", "1");
  same.Write("y.txt", "same");
  std::string rec = Recorder(tools, "rec.exe");
  StoreMenu(1, "Vergleich", {{rec, "%p", "", ""}});
  App app;
  ASSERT_TRUE(app.Start(tree, 2));
  Compare(app, tree, changed, changed.Path("copy(2).txt"));
  ASSERT_TRUE(app.Run(1, "Aus Ergebnisliste"));
  ASSERT_TRUE(WaitFor([&] { return Runs(rec).size() == 1; }, 30000));
  ASSERT_TRUE(app.WaitDone());
  EXPECT_EQ(Runs(rec)[0][0], "ARG " + changed.Path("copy(2).txt"));

  // The line that says there is no difference is no item.
  Compare(app, tree, same, "Keine Unterschiede gefunden.");
  PostCommand(app.main, kRunMenu);
  ASSERT_TRUE(app.Choose("Fenster w\xE4hlen", 1));
  EXPECT_TRUE(app.Answer("Fehler", "Es sind keine Eint\xE4ge im Fenster vorhanden !", IDOK));
  EXPECT_EQ(Runs(rec).size(), 1u);
  app.Close();
}

// The number of running processes of the program named exe.
int Running(const char *exe) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 pe = {sizeof pe};
  int n = 0;
  for (BOOL more = Process32First(snap, &pe); more; more = Process32Next(snap, &pe)) n += lstrcmpiA(pe.szExeFile, exe) == 0;
  CloseHandle(snap);
  return n;
}

TEST_F(ExecMenus, CancelEndsAWaitPromptly) {
  TempTree tree("exec_cancel"), tools("exec_tools");
  tree.Write("a.txt", "1");
  tree.Write("b.txt", "2");
  std::string slow = Recorder(tools, "slow.exe"), detached = Recorder(tools, "detached.exe");
  tools.Write("slow.exe.sleep", "");
  tools.Write("detached.exe.sleep", "3000");
  StoreMenu(1, "Lang", {{detached, "%f", "", "", 1, 1}, {slow, "%f", "", ""}});
  App app;
  ASSERT_TRUE(app.Start(tree, 2));
  ASSERT_TRUE(app.Run(0, "Aus Dateiliste"));
  HWND progress = WaitTopWindow(app.p.Pid(), "Ausf\xFChrungsmen\xFC", 10000);
  ASSERT_NE(nullptr, progress);
  ASSERT_TRUE(WaitFor([&] { return Runs(slow).size() == 1; }, 20000));
  ClickButton(progress, IDCANCEL);
  ASSERT_TRUE(app.WaitDone(15000));
  // The waiting program was ended and the second file never ran.
  auto runs = Runs(slow);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_NE(ReadLines(slow + ".log").back(), "END");
  // The program that was not waited for ran beside the other and on to its end.
  EXPECT_TRUE(WaitFor([&] { return Runs(detached).size() == 1 && ReadLines(detached + ".log").back() == "END"; },
                      10000));

  // A command line that is waited for: Cancel ends the program that its interpreter started.
  std::string slowCmd = Recorder(tools, "slowcmd.exe");
  tools.Write("slowcmd.exe.sleep", "");
  StoreMenu(1, "Lang", {{"COMMAND", "\"" + slowCmd + "\" %f", "", "", 1, 0, 1}});
  ASSERT_TRUE(app.Run(0, "Aus Dateiliste"));
  progress = WaitTopWindow(app.p.Pid(), "Ausf\xFChrungsmen\xFC", 10000);
  ASSERT_NE(nullptr, progress);
  ASSERT_TRUE(WaitFor([&] { return Runs(slowCmd).size() == 1; }, 20000));
  ClickButton(progress, IDCANCEL);
  ASSERT_TRUE(app.WaitDone(15000));
  EXPECT_TRUE(WaitFor([&] { return Running("slowcmd.exe") == 0; }, 5000));
  EXPECT_EQ(Runs(slowCmd).size(), 1u);
  EXPECT_NE(ReadLines(slowCmd + ".log").back(), "END");
  app.Close();

  // A command line whose interpreter could not start (ignored) leaves no trace on a program run
  // after it: Cancel ends that program alone, and what it started runs on to its end.
  std::string kid = Recorder(tools, "kid.exe");
  tools.Write("kid.exe.sleep", "3000");
  char system[MAX_PATH];
  ASSERT_NE(0u, GetSystemDirectoryA(system, MAX_PATH));
  StoreMenu(1, "Lang", {{"COMMAND", "echo nie", "", "", 1, 0, 1},
                        {std::string(system) + "\\cmd.exe", "/c " + kid + " %f", "", ""}});
  char comspec[MAX_PATH] = "";
  GetEnvironmentVariableA("COMSPEC", comspec, MAX_PATH);
  SetEnvironmentVariableA("COMSPEC", tools.Path("fehlt\\cmd.exe").c_str());
  App again;
  const bool started = again.Start(tree, 2);
  SetEnvironmentVariableA("COMSPEC", *comspec ? comspec : nullptr);
  ASSERT_TRUE(started);
  ASSERT_TRUE(again.Run(0, "Aus Dateiliste"));
  ASSERT_TRUE(again.Answer("Fehler", "'echo nie'", IDIGNORE));
  progress = WaitTopWindow(again.p.Pid(), "Ausf\xFChrungsmen\xFC", 10000);
  ASSERT_NE(nullptr, progress);
  ASSERT_TRUE(WaitFor([&] { return Runs(kid).size() == 1; }, 20000));
  ClickButton(progress, IDCANCEL);
  ASSERT_TRUE(again.WaitDone(15000));
  EXPECT_TRUE(WaitFor([&] { return ReadLines(kid + ".log").back() == "END"; }, 10000));
  EXPECT_EQ(Runs(kid).size(), 1u);
  again.Close();
}

// The batch files "CMD%08X-%X.bat" of the process in the temporary folder (those that runs
// that do not wait make).
std::vector<std::string> BatchFiles(DWORD pid) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::vector<std::string> found;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((std::string(temp) + "CMD*.bat").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return found;
  do {
    char *end = nullptr;
    unsigned long number = strtoul(fd.cFileName + 3, &end, 16);
    if (number == pid && *end == '-') found.push_back(fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return found;
}

// Ends the processes of the program named exe (a stand-in this test started).
void EndStandIns(const char *exe) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 pe = {sizeof pe};
  for (BOOL more = Process32First(snap, &pe); more; more = Process32Next(snap, &pe)) {
    if (lstrcmpiA(pe.szExeFile, exe) != 0) continue;
    if (HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, pe.th32ProcessID)) {
      TerminateProcess(h, 1);
      CloseHandle(h);
    }
  }
  CloseHandle(snap);
}

TEST_F(ExecMenus, BatchesNotWaitedForShareOneShortWaitAndGoAtTheNextRun) {
  TempTree tree("exec_nowait"), tools("exec_tools");
  for (int i = 0; i < 6; ++i) tree.Write("f" + std::to_string(i) + ".txt", "x");
  std::string rec = Recorder(tools, "wait30.exe");
  tools.Write("wait30.exe.sleep", "30000");
  StoreMenu(1, "Lang", {{"COMMAND", "\"" + rec + "\" %f", "", "", 0, 1, 1}});
  struct EndAtExit {
    ~EndAtExit() { EndStandIns("wait30.exe"); }
  } endAtExit;
  App app;
  ASSERT_TRUE(app.Start(tree, 6));
  ASSERT_TRUE(app.Run(0, "Aus Dateiliste"));
  HWND progress = WaitTopWindow(app.p.Pid(), "Ausf\xFChrungsmen\xFC", 10000);
  ASSERT_NE(nullptr, progress);
  ASSERT_TRUE(WaitFor([&] { return Runs(rec).size() == 6; }, 60000, 20));
  DWORD lastStart = GetTickCount();
  ASSERT_TRUE(WaitWindowGone(progress, 60000));
  // The end of the run waits 3 s for all six together (one after another: 18 s). The bound
  // leaves room for a loaded machine.
  EXPECT_LT(GetTickCount() - lastStart, 9000u);
  // Their programs still run: the batch files stay (the interpreter holds its file open).
  EXPECT_EQ(6u, BatchFiles(app.p.Pid()).size());
  ASSERT_TRUE(app.WaitDone());

  // The programs end (as after their 30 s); the next run deletes what is left.
  EndStandIns("wait30.exe");
  DeleteFileA(tools.Path("wait30.exe.sleep").c_str());
  ASSERT_TRUE(app.Run(0, "Aus Dateiliste"));
  ASSERT_TRUE(WaitFor([&] { return Runs(rec).size() == 12; }, 60000));
  ASSERT_TRUE(app.WaitDone());
  // The next run deleted them; its own batches ended in time and went too.
  EXPECT_TRUE(BatchFiles(app.p.Pid()).empty());
  app.Close();
}

// Sends a command from a control of a dialog (as its notification would arrive).
void Notify(HWND dlg, int id, int code) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(dlg, WM_COMMAND, MAKEWPARAM(id, code), LPARAM(GetDlgItem(dlg, id)), SMTO_ABORTIFHUNG, 5000,
                      &r);
}

// Every value below key as "path|name|type|data" lines, sorted.
std::string DumpKey(const std::string &path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<none>";
  std::vector<std::string> lines;
  char name[256];
  BYTE data[2048];
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = sizeof name, size = sizeof data, type = 0;
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    std::string value(reinterpret_cast<char *>(data), size);
    if (type == REG_SZ) value = value.c_str();   // with or without its terminator
    lines.push_back(path + "|" + name + "|" + std::to_string(type) + "|" + value);
  }
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = sizeof name;
    if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    lines.push_back(DumpKey(path + "\\" + name));
  }
  RegCloseKey(key);
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const std::string &l : lines) out += l + "\n";
  return out;
}

TEST_F(ExecMenus, DialogEditsMenusWithinTheirLimits) {
  TempTree tree("exec_dialog");
  tree.Write("a.txt", "1");
  Entry shell{"SHELL", "", "", ""};
  shell.shellMode = "print";
  StoreMenu(1, "&Eins", {shell});
  StoreMenu(2, "Voll", std::vector<Entry>(32, Entry{"p.exe", "%p", "", ""}));
  for (int n = 3; n <= 30; ++n) StoreMenu(n, "M", {});
  App app;
  ASSERT_TRUE(app.Start(tree, 1));

  // A menu made in the dialog and an entry of it are gone after Cancel.
  const std::string executes = std::string(kAppKey) + "\\Executes", before = DumpKey(executes);
  PostCommand(app.main, kEditMenus);
  HWND dlg = WaitTopWindow(app.p.Pid(), "Men\xFC\x62\x65rabeitung", 10000);
  ASSERT_NE(nullptr, dlg);
  PostMessageA(GetDlgItem(dlg, 3), BM_CLICK, 0, 0);
  HWND input = WaitTopWindow(app.p.Pid(), "Neuer Men\xFC\x65intrag", 10000);
  ASSERT_NE(nullptr, input);
  SetText(GetDlgItem(input, 1001), "Verworfen");
  ClickButton(input, IDOK);
  ASSERT_TRUE(WaitWindowGone(input, 10000));
  EXPECT_EQ(ComboText(GetDlgItem(dlg, 1001), 30), "Verworfen");
  Notify(dlg, 5, BN_CLICKED);
  ClickButton(dlg, IDCANCEL);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  EXPECT_EQ(before, DumpKey(executes));

  PostCommand(app.main, kEditMenus);
  dlg = WaitTopWindow(app.p.Pid(), "Men\xFC\x62\x65rabeitung", 10000);
  ASSERT_NE(nullptr, dlg);
  HWND combo = GetDlgItem(dlg, 1001);
  ASSERT_EQ(ComboCount(combo), 30);
  EXPECT_EQ(ComboText(combo, 0), "Eins");

  // The shell call shows its verb; "%()" leaves the caret between the parentheses.
  EXPECT_EQ(GetText(GetDlgItem(dlg, 1054)), "print");
  EXPECT_EQ(GetCheck(dlg, 1045), 1);
  PostCommand(dlg, 4352 + 9);
  HWND param = GetDlgItem(dlg, 1056);
  ASSERT_TRUE(WaitFor([&] { return GetText(param) == "%()"; }, 5000));
  DWORD_PTR sel = 0;
  SendMessageTimeoutA(param, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &sel);
  EXPECT_EQ(sel, DWORD_PTR(MAKELONG(2, 2)));

  // Switching menus saves the first; the full one refuses a 33rd entry.
  DWORD_PTR r = 0;
  SendMessageTimeoutA(combo, CB_SETCURSEL, 1, 0, SMTO_ABORTIFHUNG, 5000, &r);
  Notify(dlg, 1001, CBN_SELCHANGE);
  PostMessageA(GetDlgItem(dlg, 5), BM_CLICK, 0, 0);
  EXPECT_TRUE(app.Answer("Vellmorant", "Es gibt zuvile Eintr\xE4ge.", IDOK));

  // The 31st menu is made, a 32nd is refused.
  PostMessageA(GetDlgItem(dlg, 3), BM_CLICK, 0, 0);
  input = WaitTopWindow(app.p.Pid(), "Neuer Men\xFC\x65intrag", 10000);
  ASSERT_NE(nullptr, input);
  SetText(GetDlgItem(input, 1001), "&Drei");
  ClickButton(input, IDOK);
  ASSERT_TRUE(WaitWindowGone(input, 10000));
  EXPECT_EQ(ComboText(combo, 30), "Drei");
  PostMessageA(GetDlgItem(dlg, 3), BM_CLICK, 0, 0);
  EXPECT_TRUE(app.Answer("Vellmorant", "Es gibt zuviele Men\xFCs (h\xF6\x63hstens 31).", IDOK));
  // An entry moved up past a new one leaves that one's line as it was.
  Notify(dlg, 5, BN_CLICKED);
  Notify(dlg, 5, BN_CLICKED);
  SetText(GetDlgItem(dlg, 1054), "prog.exe");
  SetText(param, "%p");
  Notify(dlg, 9, BN_CLICKED);
  // Lengths only: a list line's text comes back cut between processes.
  for (int line : {0, 1}) {
    DWORD_PTR length = 0;
    SendMessageTimeoutA(GetDlgItem(dlg, 1070), LB_GETTEXTLEN, line, 0, SMTO_ABORTIFHUNG, 5000, &length);
    EXPECT_EQ(strlen(line ? "<neuer Eintrag>" : "prog.exe"), length) << line;
  }
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));

  std::string menus = std::string(kAppKey) + "\\Executes\\Menu", value;
  DWORD show = 0;
  EXPECT_TRUE(ReadUserValue((menus + "1").c_str(), "Param1", &value) && value == "%()") << value;
  EXPECT_TRUE(ReadUserValue((menus + "1").c_str(), "Execute1", &value) && value == "SHELL") << value;
  EXPECT_TRUE(ReadUserValue((menus + "1").c_str(), "ShellMode1", &value) && value == "print") << value;
  EXPECT_TRUE(ReadUserValue((menus + "31").c_str(), "Name", &value) && value == "&Drei") << value;
  EXPECT_TRUE(ReadUserValue((menus + "31").c_str(), "Execute1", &value) && value == "prog.exe") << value;
  EXPECT_TRUE(ReadUserValue((menus + "31").c_str(), "Param1", &value) && value == "%p") << value;
  EXPECT_TRUE(ReadUserDword((menus + "31").c_str(), "Show1", &show) && show == 1);
  EXPECT_FALSE(ReadUserValue((menus + "32").c_str(), "Name", &value));
  app.Close();
}

}  // namespace
