// The program end to end over several runs: cancelling a scan, and settings and recent folders
// kept in the registry for the next start.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "e2e/support/AppSession.h"

#include <commctrl.h>

using namespace e2e;

namespace {

const int kAddFiles = 32771, kInsertAll = 32775, kClearList = 32777, kCacheSize = 32793, kResultLimit = 32792;
const int kFileList = 21396;

void Close(Process &p, HWND main) { EXPECT_TRUE(CloseMain(p, main)); }

BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM lp) {
  char cls[32] = "";
  GetClassNameA(hwnd, cls, sizeof cls);
  if (!lstrcmpiA(cls, "Static")) reinterpret_cast<std::vector<std::string> *>(lp)->push_back(GetText(hwnd));
  return TRUE;
}

// The texts of a dialog's static controls, in creation order.
std::vector<std::string> StaticTexts(HWND dialog) {
  std::vector<std::string> texts;
  EnumChildWindows(dialog, CollectStatic, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

class Spine : public ::testing::Test {
 protected:
  void SetUp() override { DeleteUserKey(kAppKey); }
  void TearDown() override { DeleteUserKey(kAppKey); }
};

}  // namespace

TEST_F(Spine, CancelledScanKeepsAPartialListAndAResponsiveWindow) {
  TempTree tree("cancel");
  const int folders = 100, perFolder = 200;
  for (int f = 0; f < folders; ++f) {
    std::string dir = tree.Path("d" + std::to_string(f));
    CreateDirectoryA(dir.c_str(), nullptr);
    for (int i = 0; i < perFolder; ++i) {
      std::string file = dir + "\\f" + std::to_string(i) + ".dat";
      HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
      ASSERT_NE(INVALID_HANDLE_VALUE, h);
      CloseHandle(h);
    }
  }
  // Long filter lists make the scan take long enough to be cancelled: every name is matched
  // against each of their patterns.
  std::string plus, minus;
  for (int i = 0; i < 1000; ++i) {
    plus += "*.p" + std::to_string(i) + ";";
    minus += "*.m" + std::to_string(i) + ";";
  }
  plus += "*.dat";
  minus.pop_back();
  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree)) + " -p:" + plus + " -m:" + minus));
  HWND progress = nullptr;
  WaitFor([&] { return (progress = FindTopWindow(p.Pid(), "Dateisuche")) != nullptr; }, 20000, 5);
  ASSERT_NE(nullptr, progress);
  // The progress lines: the folder being searched and the running count.
  std::vector<std::string> lines;
  EXPECT_TRUE(WaitFor([&] {
    lines = StaticTexts(progress);
    return lines.size() >= 2 && lines[1].rfind("Es wurden ", 0) == 0;
  }, 5000));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(0u, lines[0].rfind("Durchsuche :  ", 0)) << lines[0];
  EXPECT_NE(std::string::npos, lines[1].find(" Dateien gefunden.")) << lines[1];
  PostMessageA(progress, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitWindowGone(progress, 20000));
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  HWND list = FindChildById(main, kFileList);
  int count = SettledCount(p, list);
  EXPECT_GT(count, 0);
  EXPECT_LT(count, folders * perFolder);
  EXPECT_TRUE(Responds(main));

  // A text-search request during a scan is answered and dropped.
  PostCommand(main, kClearList);
  EXPECT_TRUE(WaitFor([&] { return ListViewCount(list) == 0; }, 10000));
  PostCommand(main, kAddFiles);
  HWND dlg = WaitTopWindow(p.Pid(), "Dateien hinzuf\xFCgen", 10000);
  ASSERT_NE(nullptr, dlg);
  SetText(GetDlgItem(dlg, 1001), Folder(tree));
  SetText(GetDlgItem(dlg, 1002), plus);
  SetText(GetDlgItem(dlg, 1003), minus);
  ClickButton(dlg, IDOK);
  progress = nullptr;
  WaitFor([&] { return (progress = FindTopWindow(p.Pid(), "Dateisuche")) != nullptr; }, 20000, 5);
  ASSERT_NE(nullptr, progress);
  EXPECT_EQ(TRUE, SendCopyData(main, 0x27F50005, "abc", 3));
  PostMessageA(progress, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitWindowGone(progress, 20000));
  Sleep(500);
  EXPECT_EQ(nullptr, FindTopWindow(p.Pid(), "Text suchen"));
  EXPECT_LT(SettledCount(p, list), folders * perFolder);

  // The window still works: a full scan lists everything.
  PostCommand(main, kClearList);
  EXPECT_TRUE(WaitFor([&] { return ListViewCount(list) == 0; }, 10000));
  PostCommand(main, kInsertAll);
  EXPECT_EQ(folders * perFolder, SettledCount(p, list, 60000));
  Close(p, main);
}

TEST_F(Spine, SettingsAndRecentFoldersSurviveARestart) {
  TempTree one("reg1");
  TempTree two("reg2");
  one.Write("x.txt", "x");
  {
    Process p;
    ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(one))));
    HWND main = WaitMain(p);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(Folder(one) + " - Vellmorant", GetText(main));
    Close(p, main);
  }
  std::string s;
  EXPECT_TRUE(ReadUserValue(kAppKey, "Path", &s));
  EXPECT_EQ(Folder(one), s);
  DWORD v = 0;
  EXPECT_TRUE(ReadUserDword(kAppKey, "CacheSize", &v));
  EXPECT_EQ(262144000u, v);
  EXPECT_TRUE(ReadUserDword((std::string(kAppKey) + "\\Settings").c_str(), "FlatMode", &v));
  EXPECT_EQ(1u, v);
  EXPECT_TRUE(ReadUserDword(kAppKey, "SortList", &v));
  EXPECT_TRUE(ReadUserDword(kAppKey, "SortMode", &v));
  EXPECT_TRUE(ReadUserValue((std::string(kAppKey) + "\\Recent File List").c_str(), "File1", &s));
  EXPECT_EQ(Folder(one), s);

  // Values from the registry are used at the next start: a flat-mode toggle starts from the
  // stored 0, an oversized cache is cut to 1000 MB, the folder comes from "Path".
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kAppKey) + "\\Settings").c_str(), 0,
                                         KEY_WRITE, &key));
  DWORD zero = 0;
  RegSetValueExA(key, "FlatMode", 0, REG_DWORD, reinterpret_cast<BYTE *>(&zero), 4);
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kAppKey, 0, KEY_WRITE, &key));
  DWORD huge = 0xFFFFFFFF, bySize = 3, byDate = 4;
  RegSetValueExA(key, "CacheSize", 0, REG_DWORD, reinterpret_cast<BYTE *>(&huge), 4);
  RegSetValueExA(key, "SortList", 0, REG_DWORD, reinterpret_cast<BYTE *>(&bySize), 4);
  RegSetValueExA(key, "SortMode", 0, REG_DWORD, reinterpret_cast<BYTE *>(&byDate), 4);
  RegCloseKey(key);
  {
    Process p;
    ASSERT_TRUE(p.Start(ProgramPath(), ""));
    HWND main = WaitMain(p);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(Folder(one) + " - Vellmorant", GetText(main));
    // The toolbar starts raised from the stored 0 and turns flat.
    HWND toolbar = FindChildById(main, 0xE800);
    ASSERT_NE(nullptr, toolbar);
    EXPECT_EQ(0, GetWindowLongA(toolbar, GWL_STYLE) & TBSTYLE_FLAT);
    PostCommand(main, 32788);
    EXPECT_TRUE(WaitFor([&] { return (GetWindowLongA(toolbar, GWL_STYLE) & TBSTYLE_FLAT) != 0; }, 5000));
    PostCommand(main, kCacheSize);
    HWND dlg = WaitTopWindow(p.Pid(), "Datei-Chache-Gr\xF6\xDF" "e", 10000);
    ASSERT_NE(nullptr, dlg);
    HWND edit = FindWindowExA(dlg, nullptr, "Edit", nullptr);
    ASSERT_NE(nullptr, edit);
    EXPECT_EQ("1000", GetText(edit));
    PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitWindowGone(dlg, 10000));

    // The result limit opens with the current limit and keeps its bounds.
    PostCommand(main, kResultLimit);
    dlg = WaitTopWindow(p.Pid(), "Ergebnislimith", 10000);
    ASSERT_NE(nullptr, dlg);
    edit = FindWindowExA(dlg, nullptr, "Edit", nullptr);
    EXPECT_EQ("1000", GetText(edit));
    SetText(edit, "5");
    PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitWindowGone(dlg, 10000));
    PostCommand(main, kResultLimit);
    dlg = WaitTopWindow(p.Pid(), "Ergebnislimith", 10000);
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ("10", GetText(FindWindowExA(dlg, nullptr, "Edit", nullptr)));
    PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitWindowGone(dlg, 10000));
    Close(p, main);
  }
  EXPECT_TRUE(ReadUserDword((std::string(kAppKey) + "\\Settings").c_str(), "FlatMode", &v));
  EXPECT_EQ(1u, v);
  EXPECT_TRUE(ReadUserDword(kAppKey, "CacheSize", &v));
  EXPECT_EQ(1000u << 20, v);
  // The sort keys went to the two lists and came back from them.
  EXPECT_TRUE(ReadUserDword(kAppKey, "SortList", &v));
  EXPECT_EQ(3u, v);
  EXPECT_TRUE(ReadUserDword(kAppKey, "SortMode", &v));
  EXPECT_EQ(4u, v);
  {
    Process p;
    ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(two))));
    HWND main = WaitMain(p);
    ASSERT_NE(nullptr, main);
    Close(p, main);
  }
  EXPECT_TRUE(ReadUserValue((std::string(kAppKey) + "\\Recent File List").c_str(), "File1", &s));
  EXPECT_EQ(Folder(two), s);
  EXPECT_TRUE(ReadUserValue((std::string(kAppKey) + "\\Recent File List").c_str(), "File2", &s));
  EXPECT_EQ(Folder(one), s);
}


namespace {

enum Holder { kIdle, kConversion, kSearch, kSearchDialog };

struct Interruption {
  const char *name;
  Holder holder;
  // What the user or the system does meanwhile; false when an answer was not the expected one.
  bool (*act)(HWND main);
  bool ends;   // the program ends by itself, its files whole and no temporary file left
};

bool PostClose(HWND main) { return PostMessageA(main, WM_CLOSE, 0, 0) != FALSE; }
// Esc's command, as the accelerator gives it.
bool PostExit(HWND main) { return PostMessageA(main, WM_COMMAND, 0xE141, 0) != FALSE; }
// The system asks whether the session may end; while a job runs the answer is no.
bool EndSession(HWND main) {
  DWORD_PTR answer = 1;
  if (!SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 10000, &answer)) return false;
  bool busy = !IsWindowEnabled(main);
  if (busy && answer) return false;
  SendMessageTimeoutA(main, WM_ENDSESSION, answer != 0, 0, SMTO_NORMAL, 10000, &answer);
  return true;
}
bool PostListCommands(HWND main) {
  for (int id : {kClearList, kInsertAll, kClearList}) PostCommand(main, id);
  return true;
}

const Interruption kInterruptions[] = {
    {"closing during a conversion", kConversion, PostClose, true},
    {"the exit command during a conversion", kConversion, PostExit, true},
    {"the session ending during a conversion", kConversion, EndSession, true},
    {"the session ending while idle", kIdle, EndSession, true},
    {"closing with the search dialog open mid-edit", kSearchDialog, PostClose, true},
    {"list commands posted during a search", kSearch, PostListCommands, false},
};

}  // namespace

TEST_F(Spine, ClosingOrCommandingWhileAJobRunsLosesNothing) {
  TempTree tree("busy");
  const int files = 120;
  std::string before(1 << 20, 'a'), after;
  for (size_t i = 0; i < before.size(); i += 64) before[i] = '\x84';
  after = before;
  for (size_t i = 0; i < after.size(); i += 64) after[i] = '\xE4';
  for (int i = 0; i < files; ++i) tree.Write("f" + std::to_string(i) + ".txt", before);
  for (const Interruption &row : kInterruptions) {
    SCOPED_TRACE(row.name);
    Process p;
    ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree)) + " -p:*"));
    HWND main = WaitMain(p);
    ASSERT_NE(nullptr, main);
    HWND list = FindChildById(main, kFileList);
    ASSERT_EQ(files, SettledCount(p, list));
    if (row.holder != kIdle) {
      bool search = row.holder != kConversion;
      PostCommand(main, search ? 32772 : 32781);
      HWND dlg = WaitTopWindow(p.Pid(), search ? "Text suchen" : "ASCII ANSI Konvertierung", 10000);
      ASSERT_NE(nullptr, dlg);
      if (search) SetText(GetDlgItem(dlg, 1001), "absent");
      if (row.holder != kSearchDialog) {
        ClickButton(dlg, IDOK);
        ASSERT_TRUE(WaitWindowGone(dlg, 10000));
      }
      ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(main); }, 10000, 5));
    }
    EXPECT_TRUE(row.act(main));
    DWORD code = 1;
    if (row.ends) {
      ASSERT_TRUE(p.WaitExit(60000, &code));
      EXPECT_EQ(0u, code);
      std::string path;
      EXPECT_TRUE(ReadUserValue(kAppKey, "Path", &path));
      // A dialog closed with the program stores nothing.
      EXPECT_FALSE(ReadUserValue((std::string(kAppKey) + "\\TextSeach").c_str(), "Strings", &path));
      for (int i = 0; i < files; ++i) {
        std::string bytes = testcommon::ReadFileBytes(tree.Path("f" + std::to_string(i) + ".txt"));
        EXPECT_TRUE(bytes == before || bytes == after) << i;
      }
      WIN32_FIND_DATAA fd;
      HANDLE h = FindFirstFileA(tree.Path("*.tmp").c_str(), &fd);
      EXPECT_EQ(INVALID_HANDLE_VALUE, h);
      if (h != INVALID_HANDLE_VALUE) FindClose(h);
      // Back to the files as they were for the next row.
      for (int i = 0; i < files; ++i) tree.Write("f" + std::to_string(i) + ".txt", before);
      DeleteUserKey(kAppKey);
    } else {
      // The commands were dropped: the list is the one the job started from. (A search that
      // ended before they arrived would have let them run: then only the window is checked.)
      Sleep(50);
      bool during = !IsWindowEnabled(main);
      EXPECT_FALSE(p.WaitExit(0));
      int count = SettledCount(p, list);
      if (during) EXPECT_EQ(files, count);
      EXPECT_TRUE(Responds(main));
      Close(p, main);
    }
  }
}
