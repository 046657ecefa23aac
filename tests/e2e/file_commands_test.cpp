// The commands on the listed files as a whole, end to end: packing them into a zip archive
// (checked by Info-ZIP, 7z and Python's zipfile), copying them into another folder and finding
// identical files.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "e2e/support/AppSession.h"
#include "e2e/support/E2eDriver.h"

using namespace e2e;

namespace {

const int kZipFiles = 32787, kCopyFiles = 32794, kIdenticalFiles = 32779, kAddFiles = 32771, kFileList = 21396;
const char kZipKey[] = "Software\\QV\\Vellmorant\\ZipDialog";

std::string Content(const std::string &path) {
  std::vector<std::string> lines = ReadLines(path);
  return lines.empty() ? "" : lines[0];
}

bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The Linux path of a Windows path (Wine's own conversion).
std::string UnixPath(const std::string &path) {
  typedef char *(CDECL * Fn)(LPCWSTR);
  static Fn fn = reinterpret_cast<Fn>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
  wchar_t wide[MAX_PATH];
  if (!fn || !MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return "";
  char *unix = fn(wide);
  std::string s = unix ? unix : "";
  HeapFree(GetProcessHeap(), 0, unix);
  return s;
}

// Runs a Linux shell command (Wine starts Linux programs but gives no exit code): its output
// and exit code come back through files in dir. Returns the exit code, -1 when it did not end.
int RunLinux(const std::string &dir, const std::string &command, std::string *output = nullptr) {
  std::string out = dir + "\\peer.out", rc = dir + "\\peer.rc";
  DeleteFileA(out.c_str());
  DeleteFileA(rc.c_str());
  std::string script = "cd /tmp && " + command + " >'" + UnixPath(out) + "' 2>&1; echo $? >'" + UnixPath(rc) + ".tmp'; mv '" +
                       UnixPath(rc) + ".tmp' '" + UnixPath(rc) + "'";
  std::string line = "/bin/sh -c \"" + script + "\"";
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (!WaitFor([&] { return Exists(rc); }, 60000, 100)) return -1;
  std::vector<std::string> code = ReadLines(rc);
  if (output) {
    output->clear();
    for (const std::string &l : ReadLines(out)) *output += l + "\n";
  }
  return code.empty() ? -1 : std::atoi(code[0].c_str());
}

// The program with its file list filled from folder (all files, sub-folders too).
struct App {
  bool Start(const std::string &folder, int expectedFiles) {
    if (!p.Start(ProgramPath(), Quote(folder) + " -p:*")) return false;
    main = WaitMain(p);
    list = main ? FindChildById(main, kFileList) : nullptr;
    return list && SettledCount(p, list) == expectedFiles;
  }
  ~App() {
    if (main) PostMessageA(main, WM_CLOSE, 0, 0);
    p.WaitExit(20000);
  }
  Process p;
  HWND main = nullptr, list = nullptr;
};

// Reads the text of a message box with this caption and closes it with button.
std::string AnswerBox(App &a, const char *caption, int button = IDOK) {
  HWND box = WaitTopWindow(a.p.Pid(), caption, 20000, "#32770");
  if (!box) return "<no box>";
  std::string text;
  for (HWND c = FindWindowExA(box, nullptr, "Static", nullptr); c; c = FindWindowExA(box, c, "Static", nullptr))
    if (!GetText(c).empty()) text = GetText(c);
  PostMessageA(box, WM_COMMAND, button, 0);
  WaitWindowGone(box, 10000);
  return text;
}

// Clicks a control as the mouse would (a check box toggles).
void Click(HWND dialog, int id) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
}

bool Enabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE; }

class FileCommands : public ::testing::Test {
 protected:
  void SetUp() override { DeleteUserKey(kAppKey); }
  void TearDown() override { DeleteUserKey(kAppKey); }
};

// --- zip ----------------------------------------------------------------------------------------

struct ZipCase {
  const char *label;
  const char *zipPath;      // typed into "Ausgangspfad in ZIP-Datei"
  bool onlyChanged;
  bool onlySelected;        // a.txt and c.txt selected in the list
  bool listedTwice;         // the folder added to the list a second time
  const char *names;        // the archive's names, sorted, one per line
  const char *typed;        // the archive's name as typed (null: out.zip's full path)
  const char *common;       // typed as the common folder (null: the one found is kept)
  const char *other;        // a further a.txt ("other a") listed ("": none), named as left out
  bool otherDrive;          // its folder added through "Dateien hinzufügen" on drive Z:
};

const ZipCase kZipCases[] = {
    {"all files below the common folder", "", false, false, false, "a.txt\nsub/b.txt\nsub/deep/c.txt\n", nullptr,
     nullptr, "", false},
    {"under a folder of the archive", "/pre\\x", false, false, false,
     "pre/x/a.txt\npre/x/sub/b.txt\npre/x/sub/deep/c.txt\n", nullptr, nullptr, "", false},
    {"only those that differ from the originals", "", true, false, false, "sub/b.txt\nsub/deep/c.txt\n", nullptr,
     nullptr, "", false},
    {"only the selected ones", "", false, true, false, "a.txt\nsub/deep/c.txt\n", nullptr, nullptr, "", false},
    {"files listed twice go in once", "", false, false, true, "a.txt\nsub/b.txt\nsub/deep/c.txt\n", nullptr, nullptr,
     "", false},
    // A relative name is taken within the common folder, not the program's working folder.
    {"a relative archive name", "", false, false, false, "a.txt\nsub/b.txt\nsub/deep/c.txt\n", "..\\out.zip",
     nullptr, "", false},
    // Two listed files under one name: the first goes in, the other is named, not packed over it.
    {"another common folder gives two files one name", "", false, false, false, "a.txt\nb.txt\nc.txt\n", nullptr,
     "orig", "src\\sub\\a.txt", false},
    {"a file of another drive under a name already taken", "", false, false, false, "a.txt\nb.txt\nc.txt\n",
     nullptr, nullptr, "other\\a.txt", true},
};

// "Dateien hinzufügen" with the folder again, without clearing the list first.
void AddFolderAgain(App &a, const std::string &folder, int expectedFiles) {
  PostCommand(a.main, kAddFiles);
  HWND dlg = WaitTopWindow(a.p.Pid(), "Dateien hinzuf\xFCgen", 10000);
  ASSERT_NE(nullptr, dlg);
  SetText(GetDlgItem(dlg, 1001), folder);
  SetText(GetDlgItem(dlg, 1002), "*");
  SetCheck(dlg, 1046, false);
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  ASSERT_EQ(expectedFiles, SettledCount(a.p, a.list));
}

// The archive's names, sorted, one per line, after Info-ZIP, 7z and Python's zipfile have
// tested it ("<bad>" when one of them refused it).
std::string TestedNames(const std::string &dir, const std::string &zip) {
  std::string names;
  if (RunLinux(dir, "unzip -tq '" + UnixPath(zip) + "'") != 0 || RunLinux(dir, "7z t '" + UnixPath(zip) + "'") != 0 ||
      RunLinux(dir,
               "/usr/bin/python3 -c \\\"import sys,zipfile; z=zipfile.ZipFile(sys.argv[1]); "
               "assert z.testzip() is None; print('\\\\n'.join(sorted(z.namelist())))\\\" '" +
                   UnixPath(zip) + "'",
               &names) != 0)
    return "<bad>";
  return names;
}

// Selects the list's entries whose first column ends in one of the names.
void SelectNames(App &a, const std::vector<std::string> &names) {
  LVITEMA item = {};
  item.mask = LVIF_STATE;
  item.state = item.stateMask = LVIS_SELECTED;
  void *remote = VirtualAllocEx(a.p.Handle(), nullptr, sizeof item, MEM_COMMIT, PAGE_READWRITE);
  ASSERT_NE(nullptr, remote);
  WriteProcessMemory(a.p.Handle(), remote, &item, sizeof item, nullptr);
  for (int i = 0; i < ListViewCount(a.list); ++i) {
    std::string text = ListViewText(a.list, i, 0);
    for (const std::string &n : names)
      if (text.size() >= n.size() && text.compare(text.size() - n.size(), n.size(), n) == 0)
        SendMessageA(a.list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(remote));
  }
  VirtualFreeEx(a.p.Handle(), remote, 0, MEM_RELEASE);
}

TEST_F(FileCommands, ZipPacksTheListedFilesUnderTheirRelativeNames) {
  for (const ZipCase &c : kZipCases) {
    SCOPED_TRACE(c.label);
    DeleteUserKey(kAppKey);
    TempTree t("zipdlg");
    t.Write("src\\a.txt", "same\r\n");
    t.Write("src\\sub\\b.txt", std::string(5000, 'b'));
    t.Write("src\\sub\\deep\\c.txt", "only here");
    t.Write("orig\\a.txt", "same\r\n");
    t.Write("orig\\sub\\b.txt", std::string(5000, 'B'));
    std::string zip = t.Path("out.zip");
    std::string other;  // the further a.txt as listed
    if (*c.other) {
      t.Write(c.other, "other a");
      other = t.Path(c.other);
      if (c.otherDrive) {
        // The same file through drive Z: (the Linux root), by its path without links.
        ASSERT_EQ(0, RunLinux(t.Root(), "readlink -f '" + UnixPath(other) + "'", &other));
        other = "Z:" + other.substr(0, other.find('\n'));
        std::replace(other.begin(), other.end(), '/', '\\');
      }
    }
    App a;
    ASSERT_TRUE(a.Start(t.Path("src"), *c.other && !c.otherDrive ? 4 : 3));
    if (c.listedTwice) {
      ASSERT_NO_FATAL_FAILURE(AddFolderAgain(a, t.Path("src"), 6));
    }
    if (c.otherDrive) {
      ASSERT_NO_FATAL_FAILURE(AddFolderAgain(a, other.substr(0, other.rfind('\\')), 4));
    }
    if (c.onlySelected) SelectNames(a, {"a.txt", "c.txt"});
    PostCommand(a.main, kZipFiles);
    HWND dlg = WaitTopWindow(a.p.Pid(), "ZIP Datei erstellen", 10000);
    ASSERT_NE(nullptr, dlg);
    ASSERT_TRUE(WaitFor([&] { return Enabled(dlg, IDOK); }, 10000));
    EXPECT_EQ(c.otherDrive ? "" : t.Path("src") + "\\", GetText(GetDlgItem(dlg, 1002)));
    EXPECT_EQ(c.onlySelected, Enabled(dlg, 1045));  // two or more selected
    if (c.onlySelected) Click(dlg, 1045);
    SetText(GetDlgItem(dlg, 1001), c.typed ? c.typed : zip);
    SetText(GetDlgItem(dlg, 1003), c.zipPath);
    if (c.common) SetText(GetDlgItem(dlg, 1002), t.Path(c.common));
    if (c.onlyChanged) {
      Click(dlg, 1046);
      ASSERT_TRUE(WaitFor([&] { return Enabled(dlg, 1004); }, 5000));
      SetText(GetDlgItem(dlg, 1004), t.Path("orig"));
      SetText(GetDlgItem(dlg, 1005), t.Path("src"));
    }
    ClickButton(dlg, IDOK);
    if (*c.other) {
      EXPECT_EQ("1 Datei konnte nicht gepackt werden:\n\n" + other + ": hat im Archiv denselben Namen wie eine andere Datei",
                AnswerBox(a, "Dateien zippen"));
    }
    ASSERT_TRUE(WaitWindowGone(dlg, 30000));
    ASSERT_TRUE(Exists(zip));
    EXPECT_EQ(c.names, TestedNames(t.Root(), zip));
    if (*c.other) {
      // The first listed a.txt, the one in the common folder.
      std::string first;
      EXPECT_EQ(0, RunLinux(t.Root(), "unzip -p '" + UnixPath(zip) + "' a.txt", &first));
      EXPECT_EQ("same\n", first);  // lines come without their CR
    }
    std::string value;
    EXPECT_TRUE(ReadUserValue(kZipKey, "ZipFile", &value));
    EXPECT_EQ(zip, value);
    EXPECT_TRUE(ReadUserValue(kZipKey, "ZipPath", &value));
    EXPECT_EQ(c.zipPath, value);
    EXPECT_TRUE(ReadUserValue(kZipKey, "ZipFileList", &value));
    EXPECT_EQ(zip, MultiString(value).at(0));
  }
}

// Paths and names compared without case, as the file system compares them, for letters beyond
// ASCII too: the archive typed in another case than it is listed stays out without a word, and
// the base path of "Nur veränderte Dateien einfügen" in another case finds the unchanged files.
TEST_F(FileCommands, ZipComparesPathsWithoutCaseForEveryLetter) {
  const struct {
    const char *label;
    const char *listed;  // an archive among the listed files ("": none), in the source folder
    const char *typed;   // the archive's name as typed, in the source folder
    const char *base;    // the base path of the only-changed choice, below the root (null: off)
    const char *names;
  } rows[] = {
      {"the archive in another case of ASCII letters", "Archiv.zip", "archiv.ZIP", nullptr, "a.txt\nsub/b.txt\n"},
      {"the archive in another case of an umlaut", "\xDC" "bersicht.zip", "\xFC" "bersicht.zip", nullptr,
       "a.txt\nsub/b.txt\n"},
      {"the base path in another case of an umlaut", "", "out.zip", "\xFC" "bung", "sub/b.txt\n"},
      {"the base path as listed", "", "out.zip", "\xDC" "bung", "sub/b.txt\n"},
  };
  for (const auto &r : rows) {
    SCOPED_TRACE(r.label);
    DeleteUserKey(kAppKey);
    TempTree t("zipcase");
    const std::string src = "\xDC" "bung\\";  // Übung
    t.Write(src + "a.txt", "same\r\n");
    t.Write(src + "sub\\b.txt", "changed");
    t.Write("orig\\a.txt", "same\r\n");
    t.Write("orig\\sub\\b.txt", "original");
    if (*r.listed) t.Write(src + r.listed, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    App a;
    ASSERT_TRUE(a.Start(t.Path("\xDC" "bung"), *r.listed ? 3 : 2));
    PostCommand(a.main, kZipFiles);
    HWND dlg = WaitTopWindow(a.p.Pid(), "ZIP Datei erstellen", 10000);
    ASSERT_NE(nullptr, dlg);
    ASSERT_TRUE(WaitFor([&] { return Enabled(dlg, IDOK); }, 10000));
    const std::string zip = t.Path(src + r.typed);
    SetText(GetDlgItem(dlg, 1001), zip);
    SetText(GetDlgItem(dlg, 1003), "");
    if (r.base) {
      Click(dlg, 1046);
      ASSERT_TRUE(WaitFor([&] { return Enabled(dlg, 1004); }, 5000));
      SetText(GetDlgItem(dlg, 1004), t.Path("orig"));
      SetText(GetDlgItem(dlg, 1005), t.Path(r.base));
    }
    ClickButton(dlg, IDOK);
    ASSERT_TRUE(WaitWindowGone(dlg, 30000));
    EXPECT_EQ(nullptr, FindTopWindow(a.p.Pid(), "Dateien zippen"));
    // The peers get the archive under a name of ASCII letters: the command line to them
    // carries no others.
    ASSERT_TRUE(CopyFileA(zip.c_str(), t.Path("check.zip").c_str(), FALSE));
    EXPECT_EQ(r.names, TestedNames(t.Root(), t.Path("check.zip")));
  }
}

// Two listed files with one name in the archive: the first that can be read goes in under it;
// a file is named as clashing only with an entry that went in.
TEST_F(FileCommands, ZipGivesASharedNameToTheFirstFileThatGoesIn) {
  const struct {
    const char *label;
    bool holdFirst;       // a stand-in holds src\a.txt open, sharing nothing
    const char *message;  // after "1 Datei konnte nicht gepackt werden:\n\n"
    const char *content;  // of a.txt in the archive
  } rows[] = {
      {"the first held", true, "src\\a.txt: kann nicht ge\xF6" "ffnet werden", "second\n"},
      {"both readable", false, "src\\sub\\a.txt: hat im Archiv denselben Namen wie eine andere Datei", "first\n"},
  };
  for (const auto &r : rows) {
    SCOPED_TRACE(r.label);
    DeleteUserKey(kAppKey);
    TempTree t("zipshared");
    t.Write("src\\a.txt", "first\r\n");
    t.Write("src\\sub\\a.txt", "second\r\n");
    t.Write("src\\sub\\b.txt", "b\r\n");
    const std::string zip = t.Path("out.zip");
    App a;
    ASSERT_TRUE(a.Start(t.Path("src"), 3));
    Process holder;
    if (r.holdFirst) {
      ASSERT_TRUE(holder.Start(ExeDir() + "standin_holder.exe",
                               "lock " + Quote(t.Path("src\\a.txt")) + " " + Quote(t.Path("held"))));
      ASSERT_TRUE(WaitFor([&] { return Exists(t.Path("held")); }, 10000));
    }
    PostCommand(a.main, kZipFiles);
    HWND dlg = WaitTopWindow(a.p.Pid(), "ZIP Datei erstellen", 10000);
    ASSERT_NE(nullptr, dlg);
    ASSERT_TRUE(WaitFor([&] { return Enabled(dlg, IDOK); }, 10000));
    SetText(GetDlgItem(dlg, 1001), zip);
    SetText(GetDlgItem(dlg, 1003), "");
    // A common folder none of them lies below: each goes in by its name alone.
    SetText(GetDlgItem(dlg, 1002), t.Path("orig"));
    ClickButton(dlg, IDOK);
    EXPECT_EQ("1 Datei konnte nicht gepackt werden:\n\n" + t.Path(r.message), AnswerBox(a, "Dateien zippen"));
    ASSERT_TRUE(WaitWindowGone(dlg, 30000));
    holder.Kill();
    EXPECT_EQ("a.txt\nb.txt\n", TestedNames(t.Root(), zip));
    std::string content;
    EXPECT_EQ(0, RunLinux(t.Root(), "unzip -p '" + UnixPath(zip) + "' a.txt", &content));
    EXPECT_EQ(r.content, content);  // lines come without their CR
  }
}

// Refused input keeps the dialog open with a German message; Cancel writes nothing, before OK
// and while the archive is written.
TEST_F(FileCommands, ZipRefusesBadInputAndCancelLeavesNoArchive) {
  TempTree t("zipcancel");
  std::string big;
  uint32_t x = 12345;
  for (int i = 0; i < 64 << 20; ++i) big += char((x = x * 1103515245 + 12345) >> 24);
  t.Write("src\\big.bin", big);
  t.Write("src\\small.txt", "small");
  t.Write("src\\leer.dat", "");
  std::string zip = t.Path("out.zip");
  App a;
  ASSERT_TRUE(a.Start(t.Path("src"), 3));
  struct Refusal {
    const char *name;
    bool onlyChanged;
    const char *compare;
    const char *message;
    const char *zipPath;  // typed into "Ausgangspfad in ZIP-Datei"
  } const refusals[] = {
      {"", false, "", "Es ist kein Name angegeben !", ""},
      {"MEM:\\\\00400000-4096", false, "", "Der Name der ZIP-Datei ist kein Dateipfad !", ""},
      {"x.zip", true, "", "Es ist kein Vergleichspfad f\xFCr ge\xE4nderte Dateien angegeben !", ""},
      {"x.zip", true, "C:\\gibt\\es\\nicht", "Der Vergleichspfad f\xFCr ge\xE4nderte Dateien existiert nicht !", ""},
      // Names that would leave the folder the archive is extracted into.
      {"x.zip", false, "", "Der Ausgangspfad in der ZIP-Datei darf kein \"..\" enthalten !", "pre/..\\..\\up"},
      // A listed file that is no archive would be replaced by the archive and lost.
      {"small.txt", false, "", "Die Datei ist keine ZIP-Datei und wird nicht \xFC" "berschrieben !", ""},
      {"leer.dat", false, "", "Die Datei ist keine ZIP-Datei und wird nicht \xFC" "berschrieben !", ""},
  };
  PostCommand(a.main, kZipFiles);
  HWND dlg = WaitTopWindow(a.p.Pid(), "ZIP Datei erstellen", 10000);
  ASSERT_NE(nullptr, dlg);
  ASSERT_TRUE(WaitFor([&] { return Enabled(dlg, IDOK); }, 10000));
  for (const Refusal &r : refusals) {
    SetText(GetDlgItem(dlg, 1001), r.name);
    if ((GetCheck(dlg, 1046) == 1) != r.onlyChanged) Click(dlg, 1046);
    SetText(GetDlgItem(dlg, 1004), r.compare);
    SetText(GetDlgItem(dlg, 1005), t.Path("src"));
    SetText(GetDlgItem(dlg, 1003), r.zipPath);
    ClickButton(dlg, IDOK);
    EXPECT_EQ(r.message, AnswerBox(a, "Fehler"));
    EXPECT_TRUE(IsWindowVisible(dlg));
  }
  // Cancel before OK.
  ClickButton(dlg, IDCANCEL);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  EXPECT_FALSE(Exists(zip));
  EXPECT_EQ("small", testcommon::ReadFileBytes(t.Path("src\\small.txt")));
  bool opened = false;
  EXPECT_EQ("", testcommon::ReadFileBytes(t.Path("src\\leer.dat"), &opened));
  EXPECT_TRUE(opened);
  // Cancel while the archive is written.
  PostCommand(a.main, kZipFiles);
  dlg = WaitTopWindow(a.p.Pid(), "ZIP Datei erstellen", 10000);
  ASSERT_NE(nullptr, dlg);
  ASSERT_TRUE(WaitFor([&] { return Enabled(dlg, IDOK); }, 10000));
  SetText(GetDlgItem(dlg, 1001), zip);
  if (GetCheck(dlg, 1046) == 1) Click(dlg, 1046);
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitFor([&] { return !Enabled(dlg, 1001); }, 10000));
  ClickButton(dlg, IDCANCEL);
  ASSERT_TRUE(WaitWindowGone(dlg, 30000));
  EXPECT_FALSE(Exists(zip));
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(t.Path("AF_*").c_str(), &fd);
  EXPECT_EQ(INVALID_HANDLE_VALUE, h) << "a temporary archive was left";
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

// A listed file that another program holds open: a log being written is packed, a file that
// cannot be opened at all, or was deleted after the list was filled, is left out and named
// afterwards, and the archive holds the rest. When no file can be packed, no archive is
// written and an older one stays as it was.
TEST_F(FileCommands, ZipPacksAroundFilesHeldOpenElsewhere) {
  struct Held {
    const char *mode;   // how the stand-in holds c.txt, the middle one of six; "gone": deleted
    bool all;           // every file is held or gone, not c.txt alone
    const char *names;  // the archive's names; null: the older archive is kept as it was
  } const cases[] = {
      {"log", false, "a.txt\nb.txt\nc.txt\nd.txt\ne.txt\nf.txt\n"},
      {"lock", false, "a.txt\nb.txt\nd.txt\ne.txt\nf.txt\n"},
      {"gone", false, "a.txt\nb.txt\nd.txt\ne.txt\nf.txt\n"},
      {"lock", true, nullptr},
  };
  for (const Held &c : cases) {
    SCOPED_TRACE(std::string(c.mode) + (c.all ? " all" : ""));
    DeleteUserKey(kAppKey);
    TempTree t("zipheld");
    std::vector<std::string> held;
    for (const char *name : {"a", "b", "c", "d", "e", "f"}) {
      t.Write(std::string("src\\") + name + ".txt", std::string(3000, *name) + "\r\n");
      if (c.all || *name == 'c') held.push_back(t.Path(std::string("src\\") + name + ".txt"));
    }
    std::string zip = t.Path("out.zip");
    t.Write("keep.txt", "older archive");
    ASSERT_EQ(0, RunLinux(t.Root(), "zip -qj '" + UnixPath(zip) + "' '" + UnixPath(t.Path("keep.txt")) + "'"));
    const std::string older = testcommon::ReadFileBytes(zip);
    App a;
    ASSERT_TRUE(a.Start(t.Path("src"), 6));
    std::vector<Process> holders(held.size());
    for (size_t i = 0; i < held.size(); ++i) {
      if (!std::strcmp(c.mode, "gone")) {
        ASSERT_TRUE(DeleteFileA(held[i].c_str()));
        continue;
      }
      std::string marker = t.Path("held" + std::to_string(i));
      ASSERT_TRUE(holders[i].Start(ExeDir() + "standin_holder.exe", std::string(c.mode) + " " + Quote(held[i]) + " " + Quote(marker)));
      ASSERT_TRUE(WaitFor([&] { return Exists(marker); }, 10000));
    }
    PostCommand(a.main, kZipFiles);
    HWND dlg = WaitTopWindow(a.p.Pid(), "ZIP Datei erstellen", 10000);
    ASSERT_NE(nullptr, dlg);
    ASSERT_TRUE(WaitFor([&] { return Enabled(dlg, IDOK); }, 10000));
    SetText(GetDlgItem(dlg, 1001), zip);
    ClickButton(dlg, IDOK);
    if (std::strcmp(c.mode, "log")) {
      std::string named;
      for (const std::string &h : held) named += "\n" + h + ": kann nicht ge\xF6" "ffnet werden";
      EXPECT_EQ((held.size() == 1 ? "1 Datei konnte" : std::to_string(held.size()) + " Dateien konnten") +
                    " nicht gepackt werden:\n" + named,
                AnswerBox(a, "Dateien zippen"));
    }
    ASSERT_TRUE(WaitWindowGone(dlg, 30000));
    EXPECT_EQ(nullptr, FindTopWindow(a.p.Pid(), "Dateien zippen"));
    for (Process &h : holders) h.Kill();
    if (c.names) EXPECT_EQ(c.names, TestedNames(t.Root(), zip));
    else EXPECT_EQ(older, testcommon::ReadFileBytes(zip));
  }
}

// --- copy -------------------------------------------------------------------------------------

struct CopyCase {
  const char *label;
  bool noOverwrite;
  bool targetSubFolder;   // the target holds the sub-folder of sub\c.txt
  const char *a;          // the target's a.txt afterwards
  const char *copied;
  bool listedTwice;       // "Alle Dateien einfügen" lists the files again: each is copied once
};

const CopyCase kCopyCases[] = {
    {"never overwrite, a missing target folder refused", true, false, "old a", "Es wurden 1 Dateien kopiert.", false},
    {"overwrite", false, true, "new a", "Es wurden 3 Dateien kopiert.", false},
    {"overwrite, every file listed twice", false, true, "new a", "Es wurden 3 Dateien kopiert.", true},
};

TEST_F(FileCommands, CopyWritesTheTreeBelowTheTarget) {
  for (const CopyCase &c : kCopyCases) {
    SCOPED_TRACE(c.label);
    DeleteUserKey(kAppKey);
    TempTree t("copy");
    t.Write("src\\a.txt", "new a");
    t.Write("src\\b.txt", "b");
    t.Write("src\\sub\\c.txt", "c");
    t.Write("dst\\a.txt", "old a");
    {
      HANDLE h = CreateFileA(t.Path("src\\b.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      FILETIME old = {0x8A3DC000, 0x01C0D1B4};  // in 2001
      SetFileTime(h, nullptr, nullptr, &old);
      CloseHandle(h);
    }
    if (c.targetSubFolder) CreateDirectoryA(t.Path("dst\\sub").c_str(), nullptr);
    App a;
    ASSERT_TRUE(a.Start(t.Path("src"), 3));
    if (c.listedTwice) {
      PostCommand(a.main, 32775);
      ASSERT_EQ(6, SettledCount(a.p, a.list));
    }
    PostCommand(a.main, kCopyFiles);
    HWND dlg = WaitTopWindow(a.p.Pid(), "Dateien kopieren", 10000);
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ(t.Path("src"), GetText(GetDlgItem(dlg, 1001)));
    SetText(GetDlgItem(dlg, 1002), t.Path("dst"));
    if ((GetCheck(dlg, 1045) == 1) != c.noOverwrite) Click(dlg, 1045);
    ClickButton(dlg, IDOK);
    ASSERT_TRUE(WaitWindowGone(dlg, 10000));
    if (!c.targetSubFolder) {
      EXPECT_EQ("Soll die Datei " + t.Path("src\\sub\\c.txt") + " konnte nicht kopiert werden !\nNochmals versuchen ?",
                AnswerBox(a, "Frage", IDNO));
    }
    EXPECT_EQ(c.copied, AnswerBox(a, "Vellmorant"));
    EXPECT_EQ(c.a, Content(t.Path("dst\\a.txt")));
    EXPECT_EQ("b", Content(t.Path("dst\\b.txt")));
    // The copy has the source's write time, as the system's copy gives it.
    WIN32_FILE_ATTRIBUTE_DATA from = {}, to = {};
    GetFileAttributesExA(t.Path("src\\b.txt").c_str(), GetFileExInfoStandard, &from);
    GetFileAttributesExA(t.Path("dst\\b.txt").c_str(), GetFileExInfoStandard, &to);
    EXPECT_EQ(0, CompareFileTime(&from.ftLastWriteTime, &to.ftLastWriteTime));
    EXPECT_EQ(c.targetSubFolder, Exists(t.Path("dst\\sub\\c.txt")));
    DWORD never = 9;
    EXPECT_TRUE(ReadUserDword(kAppKey, "NoOverWrite", &never));
    EXPECT_EQ(c.noOverwrite ? 1u : 0u, never);
    std::string targets;
    EXPECT_TRUE(ReadUserValue(kAppKey, "Target", &targets));
    EXPECT_EQ(t.Path("dst"), MultiString(targets).at(0));
  }
}

// A target path longer than the system allows is refused, not cut to another name.
TEST_F(FileCommands, CopyRefusesTargetPathsTooLongToName) {
  TempTree t("copylong");
  t.Write("src\\a.txt", "a");
  t.Write("src\\" + std::string(40, 'n') + ".txt", "n");
  std::string target = t.Path(std::string(250 - t.Root().size(), 'd'));
  ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
  App a;
  ASSERT_TRUE(a.Start(t.Path("src"), 2));
  PostCommand(a.main, kCopyFiles);
  HWND dlg = WaitTopWindow(a.p.Pid(), "Dateien kopieren", 10000);
  ASSERT_NE(nullptr, dlg);
  SetText(GetDlgItem(dlg, 1002), target);
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  EXPECT_NE(std::string::npos, AnswerBox(a, "Warnung").find(" ist zu lang !"));
  EXPECT_EQ("Es wurden 1 Dateien kopiert.", AnswerBox(a, "Vellmorant"));
  EXPECT_EQ("a", Content(target + "\\a.txt"));
}

// A copy that fails or is cancelled in the middle of a large file keeps the target as it was and
// leaves no temporary file behind; a source that another program writes (a log) is copied.
TEST_F(FileCommands, CopyKeepsTheTargetWhenACopyFailsOrIsCancelled) {
  const struct {
    const char *label;
    const char *holder;  // how a stand-in holds the target, or with holdSource the source ("" none)
    bool cancel;         // Cancel as soon as the progress shows, inside the large file
    const char *copied;
    bool holdSource;
    const char *after;   // the target's first line afterwards
  } cases[] = {
      {"cancelled inside a 1 GB file", "", true, "Es wurden 0 Dateien kopiert.", false, "old big"},
      {"target held open sharing nothing", "lock", false, "Es wurden 0 Dateien kopiert.", false, "old big"},
      {"source written by another program", "log", false, "Es wurden 1 Dateien kopiert.", true, "log line"},
  };
  for (const auto &c : cases) {
    // A copy that ends before the Cancel arrives (a busy machine) proves nothing: try again.
    for (int attempt = 0; attempt < 3; ++attempt) {
      SCOPED_TRACE(c.label);
      DeleteUserKey(kAppKey);
      TempTree t("copykeep");
      std::string source = t.Write("src\\big.bin", "");
      if (c.cancel) {
        HANDLE h = CreateFileA(source.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        LARGE_INTEGER size;
        size.QuadPart = 1LL << 30;
        ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN) && SetEndOfFile(h));
        CloseHandle(h);
      }
      std::string target = t.Write("dst\\big.bin", "old big");
      App a;
      ASSERT_TRUE(a.Start(t.Path("src"), 1));
      Process holder;
      if (*c.holder) {
        ASSERT_TRUE(holder.Start(ExeDir() + "standin_holder.exe", std::string(c.holder) + " " +
                                                                      Quote(c.holdSource ? source : target) + " " +
                                                                      Quote(t.Path("held"))));
        ASSERT_TRUE(WaitFor([&] { return Exists(t.Path("held")); }, 10000));
      }
      PostCommand(a.main, kCopyFiles);
      HWND dlg = WaitTopWindow(a.p.Pid(), "Dateien kopieren", 10000);
      ASSERT_NE(nullptr, dlg);
      SetText(GetDlgItem(dlg, 1002), t.Path("dst"));
      if (GetCheck(dlg, 1045) == 1) Click(dlg, 1045);
      ClickButton(dlg, IDOK);
      ASSERT_TRUE(WaitWindowGone(dlg, 10000));
      if (c.cancel) {
        HWND progress = WaitTopWindow(a.p.Pid(), "Dateien kopieren", 10000);
        ASSERT_NE(nullptr, progress);
        ClickButton(progress, IDCANCEL);
      } else if (!c.holdSource) {
        EXPECT_EQ("Soll die Datei " + source + " konnte nicht kopiert werden !\nNochmals versuchen ?",
                  AnswerBox(a, "Frage", IDNO));
      }
      const std::string copied = AnswerBox(a, "Vellmorant");
      holder.Kill();
      if (c.cancel && attempt < 2 && copied == "Es wurden 1 Dateien kopiert.") continue;
      EXPECT_EQ(c.copied, copied);
      EXPECT_EQ(c.after, Content(target));
      EXPECT_FALSE(Exists(target + ".vellmorant.tmp"));
      break;
    }
  }
}

// --- names outside the code page ----------------------------------------------------------------

std::string Utf8(const std::wstring &w) {
  std::string s(w.size() * 3 + 1, '\0');
  s.resize(size_t(WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), &s[0], int(s.size()), nullptr, nullptr)));
  return s;
}

std::wstring Wide(const std::string &ansi) {
  std::wstring w(ansi.size() + 1, L'\0');
  w.resize(size_t(MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), int(ansi.size()), &w[0], int(w.size()))));
  return w;
}

bool WriteW(const std::wstring &path, const std::string &content) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = content.empty() || (WriteFile(h, content.data(), DWORD(content.size()), &put, nullptr) && put == content.size());
  CloseHandle(h);
  return ok;
}

// A file's content by its UTF-16 path ("<missing>" when it cannot be opened).
std::string ReadW(const std::wstring &path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  char buf[256];
  DWORD got = 0;
  std::string out;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
  CloseHandle(h);
  return out;
}

// Every file below folder by its UTF-8 path relative to it (rel: the part walked so far).
void CollectW(const std::wstring &folder, const std::wstring &rel, std::vector<std::string> &names) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"\\" + rel + L"*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring n = fd.cFileName;
    if (n == L"." || n == L"..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      CollectW(folder, rel + n + L"\\", names);
    else
      names.push_back(Utf8(rel + n));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}

// Those files sorted, one per line.
std::string TreeW(const std::wstring &folder) {
  std::vector<std::string> names;
  CollectW(folder, L"", names);
  std::sort(names.begin(), names.end());
  std::string out;
  for (const std::string &n : names) out += n + "\n";
  return out;
}

// Files whose names hold letters outside code page 1252 are listed by their short names; the
// zip entries and the copies take the files' own names.
const std::wstring kAlpha = L"\x0391\x03B2\x03B3.txt", kDelta = L"\x0394\x03AD\x03BB\x03C4\x03B1",
                   kEpsilon = L"\x0395\x03C8.txt";

void WriteGreekTree(TempTree &t) {
  const std::wstring src = Wide(t.Path("src"));
  ASSERT_TRUE(CreateDirectoryW(src.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((src + L"\\" + kDelta).c_str(), nullptr));
  ASSERT_TRUE(WriteW(src + L"\\" + kAlpha, "alpha"));
  ASSERT_TRUE(WriteW(src + L"\\" + kDelta + L"\\x.txt", "x"));
  ASSERT_TRUE(WriteW(src + L"\\" + kDelta + L"\\" + kEpsilon, "eps"));
  ASSERT_TRUE(WriteW(src + L"\\plain.txt", "plain"));
}

TEST_F(FileCommands, ZipEntriesTakeTheFilesOwnNamesInUtf8) {
  TempTree t("zipnames");
  ASSERT_NO_FATAL_FAILURE(WriteGreekTree(t));
  App a;
  ASSERT_TRUE(a.Start(t.Path("src"), 4));
  for (int i = 0; i < ListViewCount(a.list); ++i) EXPECT_EQ(std::string::npos, ListViewText(a.list, i, 0).find('?'));
  const std::string zip = t.Path("out.zip");
  PostCommand(a.main, kZipFiles);
  HWND dlg = WaitTopWindow(a.p.Pid(), "ZIP Datei erstellen", 10000);
  ASSERT_NE(nullptr, dlg);
  ASSERT_TRUE(WaitFor([&] { return Enabled(dlg, IDOK); }, 10000));
  SetText(GetDlgItem(dlg, 1001), zip);
  SetText(GetDlgItem(dlg, 1003), "pre");
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 30000));
  EXPECT_EQ(nullptr, FindTopWindow(a.p.Pid(), "Dateien zippen"));
  // Sorted by code point: the order of the UTF-8 bytes.
  const std::string names = Utf8(L"pre/plain.txt\npre/" + kAlpha + L"\npre/" + kDelta + L"/x.txt\npre/" + kDelta +
                                 L"/" + kEpsilon + L"\n");
  EXPECT_EQ(names, TestedNames(t.Root(), zip));
  std::string listed;
  EXPECT_EQ(0, RunLinux(t.Root(), "unzip -Z1 '" + UnixPath(zip) + "' | LC_ALL=C sort", &listed));
  EXPECT_EQ(names, listed) << "Info-ZIP";
  EXPECT_EQ(0, RunLinux(t.Root(), "7z l -slt '" + UnixPath(zip) + "' | sed -n 's/^Path = //p' | tail -n +2 | LC_ALL=C sort",
                        &listed));
  EXPECT_EQ(names, listed) << "7z";
  // Python's zipfile: the UTF-8 flag on the entries beyond the code page, and their data.
  t.Write("entries.py",
          "import sys, zipfile\n"
          "z = zipfile.ZipFile(sys.argv[1])\n"
          "for i in sorted(z.infolist(), key=lambda i: i.filename):\n"
          "    line = '%s %d %s\\n' % (i.filename, (i.flag_bits >> 11) & 1, z.read(i).decode('ascii'))\n"
          "    sys.stdout.buffer.write(line.encode('utf-8'))\n");
  EXPECT_EQ(0, RunLinux(t.Root(), "/usr/bin/python3 '" + UnixPath(t.Path("entries.py")) + "' '" + UnixPath(zip) + "'",
                        &listed));
  EXPECT_EQ(Utf8(L"pre/plain.txt 0 plain\npre/" + kAlpha + L" 1 alpha\npre/" + kDelta + L"/x.txt 1 x\npre/" + kDelta +
                 L"/" + kEpsilon + L" 1 eps\n"),
            listed);
}

TEST_F(FileCommands, CopiesTakeTheFilesOwnNames) {
  const struct {
    const char *label;
    bool noOverwrite;
    bool deltaFolder;    // the target holds the folder of the Greek name
    const char *alpha;   // the target's Greek file before ("": none) and after
    const char *after;
    int questions;       // "... konnte nicht kopiert werden ..." answered No
    const char *copied;
  } rows[] = {
      {"into an empty target", false, true, "", "alpha", 0, "Es wurden 4 Dateien kopiert."},
      {"over an existing copy", false, true, "old", "alpha", 0, "Es wurden 4 Dateien kopiert."},
      {"never overwrite", true, true, "old", "old", 0, "Es wurden 3 Dateien kopiert."},
      // A missing folder fails the copy as ever: no folder under a short name is made up.
      {"the Greek folder missing below the target", false, false, "", "alpha", 2, "Es wurden 2 Dateien kopiert."},
  };
  for (const auto &r : rows) {
    SCOPED_TRACE(r.label);
    DeleteUserKey(kAppKey);
    TempTree t("copynames");
    ASSERT_NO_FATAL_FAILURE(WriteGreekTree(t));
    const std::wstring dst = Wide(t.Path("dst"));
    ASSERT_TRUE(CreateDirectoryW(dst.c_str(), nullptr));
    if (r.deltaFolder) ASSERT_TRUE(CreateDirectoryW((dst + L"\\" + kDelta).c_str(), nullptr));
    if (*r.alpha) ASSERT_TRUE(WriteW(dst + L"\\" + kAlpha, r.alpha));
    App a;
    ASSERT_TRUE(a.Start(t.Path("src"), 4));
    PostCommand(a.main, kCopyFiles);
    HWND dlg = WaitTopWindow(a.p.Pid(), "Dateien kopieren", 10000);
    ASSERT_NE(nullptr, dlg);
    SetText(GetDlgItem(dlg, 1001), t.Path("src"));
    SetText(GetDlgItem(dlg, 1002), t.Path("dst"));
    if ((GetCheck(dlg, 1045) == 1) != r.noOverwrite) Click(dlg, 1045);
    ClickButton(dlg, IDOK);
    ASSERT_TRUE(WaitWindowGone(dlg, 10000));
    for (int i = 0; i < r.questions; ++i)
      EXPECT_NE(std::string::npos, AnswerBox(a, "Frage", IDNO).find(" konnte nicht kopiert werden !")) << i;
    EXPECT_EQ(r.copied, AnswerBox(a, "Vellmorant"));
    EXPECT_EQ(r.after, ReadW(dst + L"\\" + kAlpha));
    EXPECT_EQ("plain", ReadW(dst + L"\\plain.txt"));
    std::wstring tree = kAlpha + L"\n" + (r.deltaFolder ? kDelta + L"\\x.txt\n" + kDelta + L"\\" + kEpsilon + L"\n" : L"");
    EXPECT_EQ(Utf8(L"plain.txt\n") + Utf8(tree), TreeW(dst));  // no file under a short name
    if (r.deltaFolder) EXPECT_EQ("eps", ReadW(dst + L"\\" + kDelta + L"\\" + kEpsilon));
  }
}

// --- identical files ----------------------------------------------------------------------------

struct IdenticalCase {
  const char *label;
  const char *c;                    // content of sub\c.txt (a.txt and b.txt hold "same")
  std::vector<std::string> pairs;   // each pair shown: "upper=lower" by file name
  std::vector<int> buttons;         // the answer to each pair
  const char *remaining;            // of a, b, c
  bool noneFound;                   // "Es wurden keine gleichen Dateien gefunden."
  bool bHeld;                       // another program holds b.txt open without delete sharing
};

std::string NameOf(const std::string &shown) { return shown.substr(shown.find_last_of('\\') + 1); }

TEST_F(FileCommands, IdenticalFilesAreOfferedInPairsAndTheChosenOneDeleted) {
  const IdenticalCase cases[] = {
      {"three copies kept", "same", {"a.txt=b.txt", "a.txt=c.txt", "b.txt=c.txt"}, {IDOK, IDOK, IDOK}, "abc", false,
       false},
      {"upper deleted twice, the last copy stays", "same", {"a.txt=b.txt", "b.txt=c.txt"}, {1019, 1019}, "c", false,
       false},
      {"lower deleted, then kept", "same", {"a.txt=b.txt", "a.txt=c.txt"}, {1022, IDOK}, "ac", false, false},
      {"same size, other bytes", "diff", {}, {}, "abc", true, false},
      // "Fehler beim Löschen" is answered, and b.txt is not offered again.
      {"lower not deleted, then kept", "same", {"a.txt=b.txt", "a.txt=c.txt"}, {1022, IDOK}, "abc", false, true},
  };
  for (const IdenticalCase &c : cases) {
    SCOPED_TRACE(c.label);
    TempTree t("identical");
    t.Write("a.txt", "same");
    t.Write("b.txt", c.noneFound ? "other" : "same");
    t.Write("sub\\c.txt", c.c);
    App a;
    ASSERT_TRUE(a.Start(Folder(t), 3));
    Process holder;
    if (c.bHeld) {
      ASSERT_TRUE(holder.Start(ExeDir() + "standin_holder.exe", "keep " + Quote(t.Path("b.txt")) + " " + Quote(t.Path("held"))));
      ASSERT_TRUE(WaitFor([&] { return Exists(t.Path("held")); }, 10000));
    }
    PostCommand(a.main, kIdenticalFiles);
    if (c.noneFound) {
      // The search ends before the dialog shows; only the message is seen.
      EXPECT_EQ("Es wurden keine gleichen Dateien gefunden.", AnswerBox(a, "Meldung"));
    } else {
      HWND dlg = WaitTopWindow(a.p.Pid(), "Suche gleiche Dateien", 10000);
      ASSERT_NE(nullptr, dlg);
      for (size_t i = 0; i < c.pairs.size(); ++i) {
        ASSERT_TRUE(WaitFor([&] { return Enabled(dlg, IDOK); }, 10000)) << i;
        EXPECT_EQ(c.pairs[i], NameOf(GetText(GetDlgItem(dlg, 1006))) + "=" + NameOf(GetText(GetDlgItem(dlg, 1008))));
        Click(dlg, c.buttons[i]);
        if (c.bHeld && i == 0) {
          EXPECT_EQ("Fehler beim L\xF6schen", AnswerBox(a, "Fehler"));
        }
      }
    }
    ASSERT_TRUE(WaitFor([&] { return !FindTopWindow(a.p.Pid(), "Suche gleiche Dateien"); }, 10000));
    holder.Kill();
    std::string remaining;
    for (const char *name : {"a.txt", "b.txt", "sub\\c.txt"})
      if (Exists(t.Path(name))) remaining += name[0] == 's' ? 'c' : name[0];
    EXPECT_EQ(c.remaining, remaining);
  }
}

}  // namespace

