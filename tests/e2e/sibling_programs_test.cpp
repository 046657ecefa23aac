// The sibling programs end to end with recording stand-ins: opening text and value hits in the
// text and hex tools, resending an open request that was not taken, surviving a hung tool,
// restoring a tool's place, the file compares (with the byte-wise dialog when the file-compare
// program is missing), Delete in the result list and the file list's popup menu.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "e2e/support/AppSession.h"
#include "e2e/support/E2eDriver.h"
#include "common/WinData.h"

using namespace e2e;

namespace {

const int kTextSearch = 32772, kHexSearch = 32773, kCompareFiles = 32776, kCompareText = 32785, kFormatC = 32789;
const int kFileList = 21396, kResults = 21397;
using Lines = std::vector<std::string>;

// Runs action and returns the text it put on the clipboard.
std::string CopiedBy(const std::function<void()> &action) {
  if (OpenClipboard(nullptr)) EmptyClipboard(), CloseClipboard();
  action();
  std::string text;
  WaitFor([&] { return !(text = testcommon::ClipboardText()).empty() && text != "<busy>"; }, 10000);
  return text;
}

// The program on the folder "data" of a tree, its list sorted by name, with stand-ins below
// "tools" named in the registry.
struct Session {
  TempTree tree{"sibling"};
  Process p;
  HWND main = nullptr, files = nullptr, results = nullptr, status = nullptr;

  Session() { DeleteUserKey(kAppKey); }
  ~Session() {
    if (main) PostMessageA(main, WM_CLOSE, 0, 0);
    p.WaitExit(20000);
    DeleteUserKey(kAppKey);
  }
  void SetValue(const char *name, const void *data, DWORD size, DWORD type) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kAppKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)) return;
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(key);
  }
  // A stand-in copied as tools\<file>, named by value; mode and exit code when given.
  std::string Tool(const char *value, const std::string &file, const char *mode = "", const char *exitCode = "") {
    std::string exe = tree.Write("tools\\" + file, "");
    CopyFileA((ExeDir() + "standin_sibling.exe").c_str(), exe.c_str(), FALSE);
    if (*mode) tree.Write("tools\\" + file + ".mode", mode);
    if (*exitCode) tree.Write("tools\\" + file + ".exit", exitCode);
    SetValue(value, exe.c_str(), DWORD(exe.size() + 1), REG_SZ);
    return exe;
  }
  bool Start(int count) {
    DWORD byName = 1;
    SetValue("SortList", &byName, 4, REG_DWORD);
    if (!p.Start(ProgramPath(), Quote(tree.Path("data")) + " -p:*")) return false;
    main = WaitMain(p);
    files = main ? FindChildById(main, kFileList) : nullptr;
    results = main ? FindChildById(main, kResults) : nullptr;
    status = main ? FindWindowExA(main, nullptr, "msctls_statusbar32", nullptr) : nullptr;
    return files && results && status && SettledCount(p, files) == count;
  }
  // F4 or F5 with the text; returns when the results are in.
  void Search(int command, const char *caption, const std::string &text) {
    PostCommand(main, command);
    HWND dlg = WaitTopWindow(p.Pid(), caption, 10000);
    ASSERT_NE(nullptr, dlg);
    HWND edit = GetDlgItem(dlg, 1001);
    if (HWND inner = FindWindowExA(edit, nullptr, "Edit", nullptr)) edit = inner;
    DWORD_PTR r = 0;
    SendMessageTimeoutA(edit, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, 5000, &r);
    for (char ch : text) SendMessageTimeoutA(edit, WM_CHAR, (unsigned char)ch, 1, SMTO_ABORTIFHUNG, 5000, &r);
    ClickButton(dlg, IDOK);
    ASSERT_TRUE(WaitWindowGone(dlg, 10000));
    ASSERT_TRUE(WaitFor([&] { return Responds(main) && !FindTopWindow(p.Pid(), "Textsuche") &&
                                     !FindTopWindow(p.Pid(), "HEX-Suche") && !JobRunsUnseen(p.Pid(), main); }, 30000));
  }
  void Select(int line) {
    DWORD_PTR r = 0;
    SendMessageTimeoutA(results, LB_SETCURSEL, line, 0, SMTO_ABORTIFHUNG, 5000, &r);
  }
  void Key(int line, WPARAM key) {
    Select(line);
    PostMessageA(results, WM_KEYDOWN, key, 1);
  }
  std::string Answer(const char *caption, int button = IDOK) { return AnswerMessageBox(p, caption, button); }
};

// The log of a stand-in once it holds at least count lines.
Lines LogOf(const std::string &exe, size_t count) {
  Lines lines;
  WaitFor([&] { return (lines = ReadLines(exe + ".log")).size() >= count; }, 20000);
  return lines;
}

std::string CopyData(const char *code, const std::string &path) {
  return std::string("COPYDATA ") + code + " " + std::to_string(path.size() + 1) + " " + path + "\\x00";
}

HWND StandinWindow(const char *title) { return FindWindowA("VmStandin", title); }

void EndStandin(const char *title) {
  DWORD pid = 0;
  GetWindowThreadProcessId(StandinWindow(title), &pid);
  if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
    TerminateProcess(h, 0);
    WaitForSingleObject(h, 10000);
    CloseHandle(h);
  }
}

}  // namespace

TEST(SiblingPrograms, TextHitsGoToTheTextToolWhichComesBackWhereItWas) {
  Session s;
  std::string file = s.tree.Write("data\\a.c", "needle one\r\nx\r\nx\r\nx\r\nx\r\nx\r\nx needle\r\n");
  std::string tool = s.Tool("Blenkor", "Blenkor.exe");
  ASSERT_TRUE(s.Start(1));
  s.Search(kTextSearch, "Text suchen", "needle");
  char frame[32];
  sprintf(frame, "ARG -F:0x%08X", unsigned(UINT_PTR(s.main)));

  // Enter on line 1, then a double click on line 7: one start, each hit sent with its line.
  s.Key(0, VK_RETURN);
  EXPECT_EQ((Lines{"START", frame, CopyData("0x27F50003", file), "MSG 0x27F3 0 0", "MSG 0x27F3 2 0"}),
            LogOf(tool, 5));
  s.Select(1);
  PostMessageA(GetParent(s.results), WM_COMMAND, MAKEWPARAM(kResults, LBN_DBLCLK), LPARAM(s.results));
  Lines log = LogOf(tool, 8);
  EXPECT_EQ((Lines{CopyData("0x27F50003", file), "MSG 0x27F3 0 393216", "MSG 0x27F3 2 65536"}),
            Lines(log.begin() + 5, log.end()));

  // Moved, seen by the watch, closed: the next tool starts at that place. It does not take
  // the open request at first and gets it once more.
  HWND wnd = StandinWindow("Blenkor");
  ASSERT_NE(nullptr, wnd);
  SetWindowPos(wnd, nullptr, 150, 120, 360, 250, SWP_NOZORDER | SWP_NOACTIVATE);
  Sleep(4500);
  PostMessageA(wnd, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitWindowGone(wnd, 10000));
  std::string second = s.Tool("Blenkor", "Blenkor2.exe", "noanswer");
  s.Key(0, VK_RETURN);
  EXPECT_EQ((Lines{"START", frame, CopyData("0x27F50003", file), CopyData("0x27F50001", file), "MSG 0x27F3 0 0",
                   "MSG 0x27F3 2 0"}),
            LogOf(second, 6));
  RECT rc = {};
  GetWindowRect(StandinWindow("Blenkor2"), &rc);
  EXPECT_EQ((std::vector<LONG>{150, 120, 510, 370}), (std::vector<LONG>{rc.left, rc.top, rc.right, rc.bottom}));
  EndStandin("Blenkor2");
}

TEST(SiblingPrograms, ValueHitGoesToTheHexToolAndAHungToolFreezesNothing) {
  Session s;
  std::string file = s.tree.Write("data\\v.bin", std::string(16, 'x') + "ABCD" + std::string(30, 'x') + "ABCD");
  std::string hex = s.Tool("Quorbital", "Quorbital.exe");
  std::string hung = s.Tool("Blenkor", "Blenkor.exe", "hang");
  ASSERT_TRUE(s.Start(1));
  s.Search(kHexSearch, "Wert suchen", "\"ABCD\"");
  s.Key(0, VK_RETURN);
  EXPECT_EQ((Lines{"START", CopyData("0x27F50003", file), "MSG 0x27F4 0 16", "MSG 0x27F4 2 -64"}), LogOf(hex, 4));
  EndStandin("Quorbital");

  // A text tool that stops answering: the program answers again and sends it nothing more.
  s.Search(kTextSearch, "Text suchen", "ABCD");
  s.Key(0, VK_RETURN);
  ASSERT_EQ(3u, LogOf(hung, 3).size());
  EXPECT_TRUE(WaitFor([&] { return Responds(s.main, 1000); }, 30000));
  EXPECT_EQ(3u, ReadLines(hung + ".log").size());

  // Delete removes the selected line and the count follows.
  s.Key(0, VK_DELETE);
  EXPECT_TRUE(WaitFor([&] { return ListBoxCount(s.results) == 1; }, 10000));
  EXPECT_EQ("1 Eintr\xE4ge", StatusBarText(s.status, 1));
  EndStandin("Blenkor");
}

TEST(SiblingPrograms, CompareCommandsAndFilePopup) {
  Session s;
  std::string a = s.tree.Write("data\\a file.txt", "one\r\n");
  // Blanks, '&', '%' and an umlaut reach the programs as one argument each.
  std::string b = s.tree.Write("data\\b & 100%PATH% \xE4.c", "two\r\n");
  std::string files = s.Tool("Mardenplotz", "Mardenplotz.exe", "", "0");
  std::string text = s.Tool("Sorbelquist", "Sorbelquist.exe", "", "0");
  ASSERT_TRUE(s.Start(2));
  const Lines twice = {"START", "ARG " + a, "ARG " + b, "EXIT 0", "START", "ARG " + a, "ARG " + b, "EXIT 0"};
  for (int command : {kCompareFiles, kCompareText}) {
    PostCommand(s.main, command);
    ASSERT_EQ(4u, LogOf(command == kCompareFiles ? files : text, 4).size());
    PostCommand(s.main, command);
  }
  EXPECT_EQ(twice, LogOf(files, 8));
  EXPECT_EQ(twice, LogOf(text, 8));

  // A right click on the first entry, then a key of the popup menu.
  HWND header = FindWindowExA(s.files, nullptr, "SysHeader32", nullptr);
  RECT hr = {};
  GetWindowRect(header, &hr);
  const LPARAM at = MAKELPARAM(20, hr.bottom - hr.top + 6);
  const struct {
    char key;
    std::string copied;
  } kCases[] = {{'p', s.tree.Path("data\\")}, {'n', a}, {'d', a + "\n" + b + "\n"}};
  for (const auto &c : kCases) {
    EXPECT_EQ(c.copied, CopiedBy([&] {
                PostMessageA(s.files, WM_RBUTTONDOWN, MK_RBUTTON, at);
                PostMessageA(s.files, WM_RBUTTONUP, 0, at);
                PostMessageA(WaitTopWindowSuffix(s.p.Pid(), "", 10000, "#32768"), WM_CHAR, c.key, 1);
              }))
        << c.key;
  }
}

TEST(SiblingPrograms, ByteWiseCompareWithoutTheFileCompareProgram) {
  const std::string digits = "0123456789ABCDEF";
  std::string evenDiffs(4000, 'a');  // differs at every even offset from 0 to 2998
  for (size_t at = 0; at <= 2998; at += 2) evenDiffs[at] = 'b';
  const struct {
    std::string first, second;
    const char *caption;  // of the message, when it comes at once
    std::string message;
    ULONGLONG sparse;     // both files grown to this size (sparse), the second one's byte at
    ULONGLONG diffAt;     // diffAt set to 'x'
    LONGLONG cutTo;       // the second file cut to this size at the first difference
  } kCases[] = {
      {"abc", "abcd", "Dateien vergleichen", "Die beiden Dateien\n@1\nund\n@2\nsind nicht gleich gro\xDF !"},
      {"", "", "Vellmorant", "Die Dateien sind gleich."},
      {digits, "0X2345678YABCDEF", nullptr, ""},
      {std::string(1500, 'a'), std::string(1500, 'b'), nullptr, ""},
      {std::string(4000, 'a'), evenDiffs, nullptr, ""},
      // Beyond 4 GB (too large to map in a 32-bit program): read, and the offset shown whole.
      {"", "", nullptr, "", 0x100000010ULL, 0x100000003ULL},
      // Cut short by another program while compared: no verdict, the file named.
      {std::string(3 << 20, 'a'), "b" + std::string((3 << 20) - 1, 'a'), nullptr, "", 0, 0, 1 << 20},
  };
  for (const auto &c : kCases) {
    Session s;
    std::string first = s.tree.Write("data\\1.bin", c.first), second = s.tree.Write("data\\2.bin", c.second);
    if (c.sparse) {
      for (const std::string *path : {&first, &second}) {
        HANDLE h = CreateFileA(path->c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        LARGE_INTEGER at;
        at.QuadPart = LONGLONG(c.sparse);
        EXPECT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h));
        DWORD put = 0;
        at.QuadPart = LONGLONG(c.diffAt);
        if (path == &second) {
          EXPECT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && WriteFile(h, "x", 1, &put, nullptr));
        }
        CloseHandle(h);
      }
    }
    ASSERT_TRUE(s.Start(2));
    PostCommand(s.main, kCompareFiles);
    if (c.caption) {
      std::string expected = c.message;
      if (expected.find("@1") != std::string::npos)
        expected.replace(expected.find("@1"), 2, first).replace(expected.find("@2"), 2, second);
      EXPECT_EQ(expected, s.Answer(c.caption));
      EXPECT_FALSE(FindTopWindow(s.p.Pid(), "Datein vergleichen"));
      continue;
    }
    HWND dlg = WaitTopWindow(s.p.Pid(), "Datein vergleichen", 10000);
    ASSERT_NE(nullptr, dlg);
    auto field = [&](int id) { return GetText(GetDlgItem(dlg, id)); };
    auto waitStep = [&](const char *pos) {
      return WaitFor([&] { return IsWindowEnabled(GetDlgItem(dlg, IDOK)) && field(1009) == pos; }, 10000);
    };
    // The list's lines through "Kopieren" (a list box of another process is not read here).
    auto copyList = [&] { return CopiedBy([&] { ClickButton(dlg, 4); }); };
    if (c.cutTo) {
      ASSERT_TRUE(waitStep(" 0x000000 / 0"));
      HANDLE h = CreateFileA(second.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
      LARGE_INTEGER at;
      at.QuadPart = c.cutTo;
      EXPECT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h));
      CloseHandle(h);
      ClickButton(dlg, IDOK);
      EXPECT_EQ("Fehler beim Lesen von\n" + second, s.Answer("Dateien vergleichen"));
      EXPECT_TRUE(WaitWindowGone(dlg, 10000));
      continue;
    }
    if (c.sparse) {
      ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(dlg, IDOK)) && field(1009) == " 0x000003 / 4294967299"; },
                          120000));
      EXPECT_EQ((Lines{"0x00", " 000000  00 00 00 00  00 00 00 00  ........", "0x78",
                       " 000000  00 00 00 78  00 00 00 00  ...x....", "1"}),
                (Lines{field(1011), field(1013), field(1016), field(1018), field(1021)}));
      ClickButton(dlg, IDOK);
      EXPECT_EQ("Es wurden 1 Unterschiede gefunden.", s.Answer("Vellmorant"));
      EXPECT_TRUE(WaitWindowGone(dlg, 10000));
      continue;
    }
    if (c.first == digits) {
      ASSERT_TRUE(waitStep(" 0x000001 / 1"));
      EXPECT_EQ((Lines{"0x31", " 000000  30 31 32 33  34 35 36 37  01234567", "0x58",
                       " 000000  30 58 32 33  34 35 36 37  0X234567", "1"}),
                (Lines{field(1011), field(1013), field(1016), field(1018), field(1021)}));
      ClickButton(dlg, IDOK);
      ASSERT_TRUE(waitStep(" 0x000009 / 9"));
      EXPECT_EQ(" 0x31 0x58 0x000001 / 1\r\n 0x39 0x59 0x000009 / 9\r\n", copyList());
      ClickButton(dlg, IDOK);
      EXPECT_EQ("Es wurden 2 Unterschiede gefunden.", s.Answer("Vellmorant"));
      EXPECT_TRUE(WaitWindowGone(dlg, 10000));
      continue;
    }
    // "Alle" runs through: every difference counted, 999 listed, "Pos :" at the last one, the
    // list stays for copying.
    std::vector<size_t> diffs;
    for (size_t at = 0; at < c.first.size(); ++at)
      if (c.first[at] != c.second[at]) diffs.push_back(at);
    ASSERT_GT(diffs.size(), 999u);
    ASSERT_TRUE(waitStep(" 0x000000 / 0"));
    ClickButton(dlg, 3);
    const std::string count = std::to_string(diffs.size());
    EXPECT_EQ("Es wurden " + count + " Unterschiede gefunden.", s.Answer("Vellmorant"));
    EXPECT_EQ(count, field(1021));
    char pos[48];
    sprintf(pos, " 0x%06X / %u", unsigned(diffs.back()), unsigned(diffs.back()));
    EXPECT_EQ(pos, field(1009));
    EXPECT_EQ(999, ListBoxCount(GetDlgItem(dlg, 1070)));
    std::string copied = copyList();
    size_t lineEnds = 0;
    for (size_t at = copied.find("\r\n"); at != std::string::npos; at = copied.find("\r\n", at + 2)) ++lineEnds;
    EXPECT_EQ(999u, lineEnds);
    char line[48];
    sprintf(line, " 0x61 0x62 0x%06X / %u\r\n", unsigned(diffs[998]), unsigned(diffs[998]));
    EXPECT_EQ(line, copied.substr(copied.size() - strlen(line)));
    ClickButton(dlg, IDOK);
    EXPECT_TRUE(WaitWindowGone(dlg, 10000));
  }
}

TEST(SiblingPrograms, FormatterRunsOncePerCSourceInTheChosenMode) {
  const char kModes[] = "Software\\QV\\Trellobrisant";
  auto chooseMode = [](Session &s, const char *mode, const char *preselected) {
    PostCommand(s.main, kFormatC);
    HWND dlg = WaitTopWindow(s.p.Pid(), "Modus ausw\xE4hlen", 10000);
    ASSERT_NE(nullptr, dlg);
    HWND combo = GetDlgItem(dlg, 1001);
    DWORD_PTR sel = 0;
    SendMessageTimeoutA(combo, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &sel);
    EXPECT_EQ(preselected, ComboText(combo, int(sel)));
    for (int i = 0; i < ComboCount(combo); ++i)
      if (ComboText(combo, i) == mode) SendMessageTimeoutA(combo, CB_SETCURSEL, i, 0, SMTO_ABORTIFHUNG, 5000, &sel);
    ClickButton(dlg, IDOK);
  };
  {
    // Without a C source the message comes before the formatter is looked for.
    Session s;
    s.tree.Write("data\\a.txt", "x");
    ASSERT_TRUE(s.Start(1));
    chooseMode(s, "<Standard>", "<Standard>");
    EXPECT_EQ("Es sind keine C-Dateien in der Auswahl !", s.Answer("Fehler"));
  }
  DeleteUserKey(kModes);
  Session s;
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\QV\\Trellobrisant\\Modes", 0, nullptr, 0,
                                           KEY_WRITE, nullptr, &key, nullptr));
  RegSetValueExA(key, "Ansi", 0, REG_SZ, reinterpret_cast<const BYTE *>(""), 1);
  RegSetValueExA(key, "Kernel", 0, REG_SZ, reinterpret_cast<const BYTE *>(""), 1);
  RegCloseKey(key);
  std::string a = s.tree.Write("data\\a.c", "int a;\n"), h = s.tree.Write("data\\c & 5%TEMP% \xF6.h", "int c;\n");
  s.tree.Write("data\\b.txt", "b\n");
  std::string tool = s.Tool("Trellobrisant", "Trellobrisant.exe", "", "-1");
  ASSERT_TRUE(s.Start(3));
  std::string settings = std::string(kAppKey) + "\\TrellobriskDlg";
  HKEY last;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, settings.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                           &last, nullptr));
  RegSetValueExA(last, "LastMode", 0, REG_SZ, reinterpret_cast<const BYTE *>("Kernel"), 7);
  RegCloseKey(last);

  // Exit code -1 each time: Retry runs the file again, Ignore goes on, Abort ends the job.
  chooseMode(s, "Ansi", "Kernel");
  EXPECT_EQ("Die Datei 'a.c' konnte nicht ge\xF6" "ffnet werden !", s.Answer("Fehler", IDRETRY));
  EXPECT_EQ("Die Datei 'a.c' konnte nicht ge\xF6" "ffnet werden !", s.Answer("Fehler", IDIGNORE));
  EXPECT_EQ("Die Datei 'c & 5%TEMP% \xF6.h' konnte nicht ge\xF6" "ffnet werden !", s.Answer("Fehler", IDABORT));
  EXPECT_TRUE(WaitFor([&] { return Responds(s.main) && !FindTopWindow(s.p.Pid(), "C-Dateien formatieren") &&
                                   !JobRunsUnseen(s.p.Pid(), s.main); }, 20000));
  Lines expected;
  for (const std::string *file : {&a, &a, &h})
    expected.insert(expected.end(), {"START", "ARG -h", "ARG -m", "ARG Ansi", "ARG " + *file, "EXIT -1"});
  EXPECT_EQ(expected, ReadLines(tool + ".log"));
  std::string saved;
  EXPECT_TRUE(ReadUserValue(settings.c_str(), "LastMode", &saved));
  EXPECT_EQ("Ansi", saved);
  DeleteUserKey(kModes);
}

TEST(SiblingPrograms, FormattedFilesLeaveTheCacheAndAFailedStartIsReported) {
  Session s;
  std::string a = s.tree.Write("data\\a.c", "int needle;\n");
  std::string tool = s.Tool("Trellobrisant", "Trellobrisant.exe", "upper", "0");
  ASSERT_TRUE(s.Start(1));
  // "Alle Dateien einfügen" lists the file a second time: it is still formatted once.
  PostCommand(s.main, 32775);
  ASSERT_EQ(2, SettledCount(s.p, s.files));
  // The search keeps the file in the cache; the formatter rewrites it in the same size and
  // time, so only dropping the copy shows the new text.
  s.Search(kTextSearch, "Text suchen", "needle");
  ASSERT_EQ(1, ListBoxCount(s.results));
  PostCommand(s.main, kFormatC);
  ClickButton(WaitTopWindow(s.p.Pid(), "Modus ausw\xE4hlen", 10000), IDOK);
  ASSERT_EQ("EXIT 0", LogOf(tool, 7).back());
  ASSERT_TRUE(WaitFor([&] { return Responds(s.main) && !FindTopWindow(s.p.Pid(), "C-Dateien formatieren") &&
                                   !JobRunsUnseen(s.p.Pid(), s.main); }, 20000));
  EXPECT_EQ(7u, ReadLines(tool + ".log").size());
  EXPECT_EQ(Lines{"INT NEEDLE;"}, ReadLines(a));
  s.Search(kTextSearch, "Text suchen", "needle");
  EXPECT_EQ("0 Eintr\xE4ge", StatusBarText(s.status, 1));

  std::string broken = s.tree.Write("tools\\broken\\Trellobrisant.exe", "no program");
  s.SetValue("Trellobrisant", broken.c_str(), DWORD(broken.size() + 1), REG_SZ);
  PostCommand(s.main, kFormatC);
  ClickButton(WaitTopWindow(s.p.Pid(), "Modus ausw\xE4hlen", 10000), IDOK);
  EXPECT_EQ("Das Programm Trellobrisant.exe konnte f\xFCr 'a.c' nicht gestartet werden !", s.Answer("Fehler", IDABORT));
}

TEST(SiblingPrograms, DirectoryCompareLinesOpenInTheTextCompare) {
  Session s;
  std::string listed = s.tree.Write("data\\x.inl", "one\r\n");
  s.tree.Write("data\\gone.c", "c\r\n");
  std::string counterpart = s.tree.Write("other\\x.inl", "two\r\n");
  std::string tool = s.Tool("Sorbelquist", "Sorbelquist.exe", "", "0");
  ASSERT_TRUE(s.Start(2));
  PostCommand(s.main, 32786);
  HWND dlg = WaitTopWindow(s.p.Pid(), "Verzeichnisse vergleichen", 10000);
  ASSERT_NE(nullptr, dlg);
  SetText(GetDlgItem(dlg, 1001), s.tree.Path("data"));
  SetText(GetDlgItem(dlg, 1004), s.tree.Path("other"));
  const int kChecks[][2] = {{1045, 1}, {1046, 0}, {1047, 1}, {1048, 0}, {1068, 0}};
  for (const auto &c : kChecks) SetCheck(dlg, c[0], c[1] != 0);
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  Lines lines;
  ASSERT_TRUE(WaitFor([&] { return (lines = ResultLines(s.p, s.results)).size() == 2 && Responds(s.main); }, 30000));
  int changed = lines[0].find("x.inl") != std::string::npos ? 0 : 1;
  // A changed file of a C-like type opens with "-S"; a missing counterpart gives a message.
  s.Key(changed, VK_RETURN);
  EXPECT_EQ((Lines{"START", "ARG " + listed, "ARG " + counterpart, "ARG -S", "EXIT 0"}), LogOf(tool, 5));
  s.Key(1 - changed, VK_RETURN);
  EXPECT_EQ("Die Datei existiert nicht !", s.Answer("Vellmorant"));
}
