// The program end to end: start-up with a folder and filters, dialog 130, cancelling a scan,
// settings kept in the registry, and incoming WM_COPYDATA.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "e2e/support/AppSession.h"

#include <commctrl.h>

using namespace e2e;

namespace {

const int kAddFiles = 32771, kClearList = 32777;
const int kFileList = 21396;

void Close(Process &p, HWND main) { EXPECT_TRUE(CloseMain(p, main)); }

class Spine : public ::testing::Test {
 protected:
  void SetUp() override { DeleteUserKey(kAppKey); }
  void TearDown() override { DeleteUserKey(kAppKey); }
};

}  // namespace

TEST_F(Spine, CommandLineFillsTheListWithMatchingFiles) {
  TempTree tree("cmdline");
  tree.Write("a.txt", "a");
  tree.Write("B.TXT", "b");
  tree.Write("c.log", "c");
  tree.Write("sub\\d.txt", "d");
  tree.Write("sub\\deeper\\e.txt", "e");
  tree.Write("sub\\f.bin", "f");
  {
    Process p;
    ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree)) + " -p:*.txt"));
    HWND main = WaitMain(p);
    ASSERT_NE(nullptr, main);
    HWND list = FindChildById(main, kFileList);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(4, SettledCount(p, list));
    EXPECT_EQ((std::set<std::string>{"a.txt", "B.TXT", "d.txt", "e.txt"}), ListNames(list));
    // The status bar: the message pane and three panes; the third counts the files of the file
    // list or, when the explorer pane reported last, of the explorer's folder (3 files).
    HWND status = FindChildById(main, 0xE801);
    ASSERT_NE(nullptr, status);
    EXPECT_EQ(4, StatusBarParts(status));
    EXPECT_TRUE(WaitFor([&] {
      std::string t = StatusBarText(status, 2);
      return t == "4 Dateien" || t == "3 Dateien";
    }, 10000)) << StatusBarText(status, 2);
    Close(p, main);
  }
  {
    Process p;
    ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree)) + " /P:*.txt -S -m:b*"));
    HWND main = WaitMain(p);
    ASSERT_NE(nullptr, main);
    HWND list = FindChildById(main, kFileList);
    EXPECT_EQ(1, SettledCount(p, list));
    EXPECT_EQ((std::set<std::string>{"a.txt"}), ListNames(list));
    Close(p, main);
  }
  {
    // A file on the command line selects its folder. Without a folder (fresh registry, no
    // folder argument) the filters scan nothing, not even the working folder.
    Process p;
    ASSERT_TRUE(p.Start(ProgramPath(), Quote(tree.Path("sub\\d.txt"))));
    HWND main = WaitMain(p);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(tree.Root() + "sub - Vellmorant", GetText(main));
    Close(p, main);
    DeleteUserKey(kAppKey);
    Process q;
    ASSERT_TRUE(q.Start(ProgramPath(), "-p:*.txt", tree.Root()));
    main = WaitMain(q);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(0, SettledCount(q, FindChildById(main, kFileList)));
    Close(q, main);
  }
  {
    // A name too long to list is left out, and said so.
    std::wstring longName = L"\\\\?\\";
    for (char ch : tree.Root()) longName += wchar_t((unsigned char)ch);
    longName += std::wstring(240, L'l') + L".txt";
    HANDLE h = CreateFileW(longName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
    Process p;
    ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree)) + " -p:*.txt"));
    EXPECT_EQ("Es wurde 1 Datei oder Verzeichnis \xFC" "bergangen: sie konnte nicht gelesen werden, oder ihr "
              "Pfad ist zu lang oder nicht darstellbar.",
              AnswerMessageBox(p, "Warnung"));
    HWND main = WaitMain(p);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(4, SettledCount(p, FindChildById(main, kFileList)));
    Close(p, main);
    EXPECT_TRUE(DeleteFileW(longName.c_str()));
  }
  {
    // A folder on the command line that does not exist is named.
    Process p;
    ASSERT_TRUE(p.Start(ProgramPath(), Quote(tree.Path("fehlt")) + " -p:*.txt"));
    EXPECT_EQ("Das Verzeichnis\n" + tree.Path("fehlt") + "\nwurde nicht gefunden.", AnswerMessageBox(p, "Fehler"));
    HWND main = WaitMain(p);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(0, SettledCount(p, FindChildById(main, kFileList)));
    Close(p, main);
  }
  {
    // "-s" alone fills nothing.
    Process p;
    ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree)) + " -s"));
    HWND main = WaitMain(p);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(0, SettledCount(p, FindChildById(main, kFileList)));
    Close(p, main);
  }
}

namespace {

void SetWriteTime(const std::string &path, int year) {
  SYSTEMTIME st = {};
  st.wYear = (WORD)year;
  st.wMonth = 6;
  st.wDay = 15;
  st.wHour = 12;
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_TRUE(SetFileTime(h, &ft, &ft, &ft));
  CloseHandle(h);
}

void MakeReadOnly(const std::string &path) { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY); }

void Click(HWND dialog, int id) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
}

const char kAddCaption[] = "Dateien hinzuf\xFCgen";

HWND OpenAddFiles(Process &p, HWND main) {
  PostCommand(main, kAddFiles);
  return WaitTopWindow(p.Pid(), kAddCaption, 10000);
}

}  // namespace

TEST_F(Spine, AddFilesDialogFiltersAndHistories) {
  TempTree tree("dlg130");
  std::string ro = tree.Write("ro.txt", "1");
  std::string keep = tree.Write("keep.txt", "2");
  std::string fresh = tree.Write("fresh.txt", "3");
  std::string old = tree.Write("old_x.txt", "4");
  std::string log = tree.Write("other.log", "5");
  std::string deep = tree.Write("sub\\deep.txt", "6");
  for (const std::string &f : {ro, keep, old, log, deep}) SetWriteTime(f, 2001);
  for (const std::string &f : {ro, fresh, old, log, deep}) MakeReadOnly(f);

  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree))));
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  HWND list = FindChildById(main, kFileList);
  ASSERT_NE(nullptr, list);

  HWND dlg = OpenAddFiles(p, main);
  ASSERT_NE(nullptr, dlg);
  // A fresh registry offers the five default plus filters; the path is the selected folder.
  HWND plusCombo = GetDlgItem(dlg, 1002);
  EXPECT_EQ(5, ComboCount(plusCombo));
  EXPECT_EQ("*.h;*.hpp;*.inl", ComboText(plusCombo, 1));
  EXPECT_EQ(1, GetCheck(dlg, 1045));
  EXPECT_EQ(0, GetCheck(dlg, 1046));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, 1054)));
  SetText(GetDlgItem(dlg, 1001), Folder(tree));
  SetText(plusCombo, "*.txt");
  SetText(GetDlgItem(dlg, 1003), "old_*");
  Click(dlg, 1050);  // only read-only files
  Click(dlg, 1040);  // changed before
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, 1054)));
  SetText(GetDlgItem(dlg, 1054), "01.01.2010 00:00");
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  EXPECT_EQ(2, SettledCount(p, list));
  EXPECT_EQ((std::set<std::string>{"ro.txt", "deep.txt"}), ListNames(list));

  // An unreadable date keeps the dialog open with an error.
  dlg = OpenAddFiles(p, main);
  ASSERT_NE(nullptr, dlg);
  EXPECT_EQ(1, GetCheck(dlg, 1050));
  EXPECT_EQ(1, GetCheck(dlg, 1040));
  EXPECT_EQ("01.01.2010 00:00", GetText(GetDlgItem(dlg, 1054)));
  SetText(GetDlgItem(dlg, 1054), "32.13.2010");
  ClickButton(dlg, IDOK);
  HWND error = WaitTopWindow(p.Pid(), "Fehler", 10000);
  ASSERT_NE(nullptr, error);
  PostMessageA(error, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitWindowGone(error, 10000));
  EXPECT_TRUE(IsWindowVisible(dlg));
  // A date before 1970 in UTC is a date, not an unreadable text.
  SetText(GetDlgItem(dlg, 1054), "01.01.1970 00:00");
  Click(dlg, 1041);  // changed after
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  EXPECT_EQ(5, SettledCount(p, list));  // ro.txt and deep.txt again, fresh.txt
  dlg = OpenAddFiles(p, main);
  ASSERT_NE(nullptr, dlg);

  // Second run: clear first, another plus filter, no minus filter, no other filters. A relative
  // folder is taken within the folder the dialog showed, and kept in the history in full.
  SetText(GetDlgItem(dlg, 1001), "sub\\..");
  SetText(GetDlgItem(dlg, 1002), "*.log");
  SetText(GetDlgItem(dlg, 1003), "");
  Click(dlg, 1046);
  Click(dlg, 1049);
  Click(dlg, 1053);
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  EXPECT_EQ(1, SettledCount(p, list));
  EXPECT_EQ((std::set<std::string>{"other.log"}), ListNames(list));

  std::string block;
  ASSERT_TRUE(ReadUserValue(kAppKey, "FilterPlus", &block));
  std::vector<std::string> plus = MultiString(block);
  ASSERT_EQ(7u, plus.size());
  EXPECT_EQ("*.log", plus[0]);
  EXPECT_EQ("*.txt", plus[1]);
  EXPECT_EQ("*.c;*.cpp;*.h;*.hpp;*.cc;*.cxx;*.asm;*.inl;*.inc;*.prv", plus[2]);
  // The emptied minus filter is the newest entry (a leading empty string), the old one behind.
  ASSERT_TRUE(ReadUserValue(kAppKey, "FilterMinus", &block));
  EXPECT_EQ(std::string("\0old_*\0\0", 8), block);
  ASSERT_TRUE(ReadUserValue(kAppKey, "FindPath", &block));
  EXPECT_EQ(std::vector<std::string>{Folder(tree)}, MultiString(block));
  DWORD v = 9;
  EXPECT_TRUE(ReadUserDword(kAppKey, "ClearList", &v));
  EXPECT_EQ(1u, v);
  EXPECT_TRUE(ReadUserDword(kAppKey, "TimeMode", &v));
  EXPECT_EQ(0u, v);
  EXPECT_TRUE(ReadUserDword(kAppKey, "WriteProtection", &v));
  EXPECT_EQ(0u, v);
  EXPECT_TRUE(ReadUserDword(kAppKey, "SubDirs", &v));
  EXPECT_EQ(1u, v);

  // "Alle Dateien löschen" empties the list.
  PostCommand(main, kClearList);
  EXPECT_TRUE(WaitFor([&] { return ListViewCount(list) == 0; }, 10000));
  Close(p, main);
}

// The push-button bitmaps and the menu image strip are in the program's resources; the strip
// holds the twelve 13x13 images the popup menus cut from it.
TEST(SpineResources, ButtonBitmapsAndMenuStripArePresent) {
  HMODULE exe = LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, exe);
  for (int id : {141, 142, 152}) {
    HBITMAP bm = (HBITMAP)LoadImageA(exe, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0);
    ASSERT_NE(nullptr, bm) << id;
    BITMAP info = {};
    ASSERT_NE(0, GetObjectA(bm, sizeof info, &info));
    if (id == 152) {
      EXPECT_EQ(12 * 13, info.bmWidth);
      EXPECT_EQ(13, info.bmHeight);
    } else {
      EXPECT_LE(info.bmWidth, 16) << id;
      EXPECT_LE(info.bmHeight, 16) << id;
    }
    DeleteObject(bm);
  }
  FreeLibrary(exe);
}

TEST_F(Spine, CopyDataRequestsAreBoundedAndAnswered) {
  TempTree tree("copydata");
  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree))));
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  const char kSearchCaption[] = "Text suchen";
  const int kSearchText = 1001;

  // Other codes are answered and ignored.
  EXPECT_EQ(TRUE, SendCopyData(main, 0x27F50003, "abc", 3));
  Sleep(300);
  EXPECT_EQ(nullptr, FindTopWindow(p.Pid(), kSearchCaption));

  // 300 bytes without a terminator: answered at once, the text search opens with exactly them.
  std::string raw(300, 'x');
  EXPECT_EQ(TRUE, SendCopyData(main, 0x27F50005, raw.data(), (DWORD)raw.size()));
  HWND dlg = WaitTopWindow(p.Pid(), kSearchCaption, 10000);
  ASSERT_NE(nullptr, dlg);
  EXPECT_EQ(raw, GetText(GetDlgItem(dlg, kSearchText)));
  // The pattern menu button shows its bitmap.
  HWND patternButton = GetDlgItem(dlg, 1057);
  EXPECT_NE(0, GetWindowLongA(patternButton, GWL_STYLE) & BS_BITMAP);
  EXPECT_NE(0, SendMessageA(patternButton, BM_GETIMAGE, IMAGE_BITMAP, 0));
  // While the dialog is open a further request is dropped.
  EXPECT_EQ(TRUE, SendCopyData(main, 0x27F50005, "zzz", 3));
  Sleep(300);
  EXPECT_EQ(raw, GetText(GetDlgItem(dlg, kSearchText)));
  PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));

  // UTF-16 with bit 0x8000, converted to the ANSI code page.
  const WCHAR wide[] = {L'a', 0x00E4, L'b'};
  EXPECT_EQ(TRUE, SendCopyData(main, 0x27F50005 | 0x8000, wide, sizeof wide));
  dlg = WaitTopWindow(p.Pid(), kSearchCaption, 10000);
  ASSERT_NE(nullptr, dlg);
  EXPECT_EQ("a\xE4" "b", GetText(GetDlgItem(dlg, kSearchText)));
  PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));

  EXPECT_TRUE(Responds(main));
  DWORD code = 0;
  EXPECT_FALSE(p.WaitExit(200, &code));
  Close(p, main);
}

namespace {

int PaneHeight(HWND main, int id) {
  RECT r = {};
  GetWindowRect(FindChildById(main, id), &r);
  return r.bottom - r.top;
}

void PostDrag(HWND view, int x, int y, int dy, bool escape) {
  PostMessageA(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y + dy));
  if (escape)
    PostMessageA(view, WM_KEYDOWN, VK_ESCAPE, 0);
  else
    PostMessageA(view, WM_LBUTTONUP, 0, MAKELPARAM(x, y + dy));
}

}  // namespace

TEST_F(Spine, DraggingTheBarResizesThePanes) {
  TempTree tree("bars");
  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree))));
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  HWND view = FindChildById(main, 0xE900);
  ASSERT_NE(nullptr, view);
  RECT client;
  GetClientRect(view, &client);
  ASSERT_GT(client.bottom, 420);
  // The explorer pane starts 300 pixels high, the file list below the 7-pixel bar.
  EXPECT_EQ(300, PaneHeight(main, 21395));
  int files = PaneHeight(main, 21396);
  PostDrag(view, 40, 303, 50, false);
  EXPECT_TRUE(WaitFor([&] { return PaneHeight(main, 21395) == 350 && PaneHeight(main, 21396) == files - 50; }, 5000))
      << PaneHeight(main, 21395) << " " << PaneHeight(main, 21396);
  // Esc ends a drag without a change.
  PostDrag(view, 40, 353, -100, true);
  Sleep(500);
  EXPECT_TRUE(Responds(main));
  EXPECT_EQ(350, PaneHeight(main, 21395));
  Close(p, main);
}

namespace {

HWND FocusOf(HWND window) {
  GUITHREADINFO gti = {sizeof gti};
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gti);
  return gti.hwndFocus;
}

// The view is told that `from` lost the focus (as when a pane hands it on with Tab).
HWND PassFocus(HWND view, HWND from) {
  Sleep(150);  // a new decision needs 100 ms since the last one
  DWORD_PTR r = 0;
  SendMessageTimeoutA(view, WM_SETFOCUS, reinterpret_cast<WPARAM>(from), 0, SMTO_ABORTIFHUNG, 5000, &r);
  return FocusOf(view);
}

}  // namespace

TEST_F(Spine, FocusPassesRoundThePanes) {
  TempTree tree("focus");
  tree.Write("a.txt", "a");
  tree.Write("b.txt", "b");
  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree)) + " -p:*.txt"));
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  HWND view = FindChildById(main, 0xE900);
  HWND explorer = FindChildById(main, 21395);
  HWND explorerTree = FindChildById(explorer, 1);
  HWND explorerList = FindChildById(explorer, 2);
  HWND files = FindChildById(main, 21396);
  HWND results = FindChildById(main, 21397);
  ASSERT_TRUE(view && explorerTree && explorerList && files && results);
  // Tab order with the result list hidden: tree, explorer list, file list, tree again; the
  // hidden result list hands on to the tree.
  EXPECT_EQ(explorerList, PassFocus(view, explorerTree));
  EXPECT_EQ(2, SettledCount(p, files));
  EXPECT_EQ(files, PassFocus(view, explorerList));
  // The file list focuses its first entry when none has the focus.
  DWORD_PTR focused = 99;
  SendMessageTimeoutA(files, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED, SMTO_ABORTIFHUNG, 5000, &focused);
  EXPECT_EQ(0, (int)focused);
  EXPECT_EQ(explorerTree, PassFocus(view, files));
  EXPECT_EQ(explorerTree, PassFocus(view, results));
  Close(p, main);
}

namespace {

BOOL CALLBACK CollectTexts(HWND hwnd, LPARAM lp) {
  reinterpret_cast<std::vector<std::string> *>(lp)->push_back(GetText(hwnd));
  return TRUE;
}

std::vector<std::string> ChildTexts(HWND dialog) {
  std::vector<std::string> texts;
  EnumChildWindows(dialog, CollectTexts, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

bool Holds(const std::vector<std::string> &texts, const std::string &text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

}  // namespace

TEST_F(Spine, AboutAndCommandLineHelp) {
  TempTree tree("about");
  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree))));
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  PostCommand(main, 57664);
  HWND about = WaitTopWindow(p.Pid(), "Info \xFC" "ber Vellmorant", 10000);
  ASSERT_NE(nullptr, about);
  EXPECT_TRUE(Holds(ChildTexts(about), "Vellmorant Version 4.52"));
  PostMessageA(about, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitWindowGone(about, 10000));
  PostCommand(main, 139);
  HWND help = WaitTopWindow(p.Pid(), "Komandozeilen Info", 10000);
  ASSERT_NE(nullptr, help);
  std::vector<std::string> texts = ChildTexts(help);
  EXPECT_TRUE(Holds(texts, "-p:Filer\tPlusfilter"));
  EXPECT_TRUE(Holds(texts, "-m:Filter\tMinusfilter"));
  EXPECT_TRUE(Holds(texts, "-s\tKeine Unterverzeichnisse"));
  PostMessageA(help, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitWindowGone(help, 10000));
  // Esc closes the program.
  PostMessageA(main, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(p.WaitExit(20000));
}

TEST_F(Spine, FileCommandsNeedListedFilesAndAHandler) {
  TempTree tree("update");
  tree.Write("a.txt", "a");
  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree))));
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  HWND toolbar = FindChildById(main, 0xE800);
  HWND files = FindChildById(main, kFileList);
  ASSERT_TRUE(toolbar && files);
  auto enabled = [&](int id) {
    DWORD_PTR r = 0;
    SendMessageTimeoutA(toolbar, TB_ISBUTTONENABLED, id, 0, SMTO_ABORTIFHUNG, 5000, &r);
    return r != 0;
  };
  const int kTextSearch = 32772;
  // Bars are updated when the program is idle.
  EXPECT_TRUE(WaitFor([&] { return !enabled(kTextSearch); }, 5000));
  EXPECT_TRUE(enabled(kAddFiles));
  PostCommand(main, 32775);  // "Alle Dateien einfügen"
  EXPECT_EQ(1, SettledCount(p, files));
  EXPECT_TRUE(WaitFor([&] { return enabled(kTextSearch); }, 5000));
  PostCommand(main, kClearList);
  EXPECT_TRUE(WaitFor([&] { return ListViewCount(files) == 0; }, 10000));
  EXPECT_TRUE(WaitFor([&] { return !enabled(kTextSearch); }, 5000));
  Close(p, main);
}
