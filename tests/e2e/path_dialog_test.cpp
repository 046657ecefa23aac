// The folder dialog's path field in the running program, reached from "Dateien kopieren": the
// folder shown as segments, keys that choose a segment and an entry of a segment's list, the
// path copied to the clipboard, and the chosen folder taken by the calling dialog.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "e2e/support/AppSession.h"
#include "e2e/support/E2eDriver.h"

using namespace e2e;

namespace {

const int kCopyFiles = 32794, kFileList = 21396, kTarget = 1002, kBrowseTarget = 1031, kPathField = 1001;
const int kCopyPath = 13336;

std::string Clipboard() {
  std::string s;
  if (!OpenClipboard(nullptr)) return "";
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    s = static_cast<const char *>(GlobalLock(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return s;
}

void Key(HWND edit, UINT vk, char ch = 0) {
  PostMessageA(edit, WM_KEYDOWN, vk, 1);
  if (ch) PostMessageA(edit, WM_CHAR, ch, 1);
}

// Starts the program on the folder "src" of t with its files listed and opens "Dateien
// kopieren"; the dialog, or nullptr. *main gets the main window.
HWND OpenCopyFiles(Process &p, const TempTree &t, HWND *main) {
  if (!p.Start(ProgramPath(), Quote(t.Path("src")) + " -p:*")) return nullptr;
  *main = WaitMain(p);
  if (!*main || SettledCount(p, FindChildById(*main, kFileList)) != 1) return nullptr;
  PostCommand(*main, kCopyFiles);
  return WaitTopWindow(p.Pid(), "Dateien kopieren", 10000);
}

TEST(PathDialog, KeysChooseFoldersThatTheCallerTakes) {
  DeleteUserKey(kAppKey);
  DeleteUserKey("Software\\QV\\Common");  // the folder dialog's own settings start at their defaults
  TempTree t("pathdlg");
  t.Write("src\\a.txt", "a");
  t.Write("dst\\eins\\zwei\\z.txt", "z");
  t.Write("dst\\drei\\d.txt", "d");
  Process p;
  HWND main = nullptr, copy = OpenCopyFiles(p, t, &main);
  ASSERT_NE(nullptr, copy);
  SetText(GetDlgItem(copy, kTarget), t.Path("dst\\eins\\zwei"));
  ClickButton(copy, kBrowseTarget);
  HWND dlg = WaitTopWindow(p.Pid(), "Verzeichnis wählen", 10000);
  ASSERT_NE(nullptr, dlg);
  HWND field = GetDlgItem(dlg, kPathField), edit = GetWindow(field, GW_CHILD);
  EXPECT_EQ(t.Path("dst\\eins\\zwei"), GetText(field));
  EXPECT_FALSE(IsWindowVisible(edit));  // segments, not the edit field

  // Three steps left put the focus behind "dst"; Enter chooses it.
  for (int i = 0; i < 3; ++i) Key(edit, VK_LEFT);
  Key(edit, VK_RETURN);
  EXPECT_TRUE(WaitFor([&] { return GetText(field) == t.Path("dst"); }, 5000)) << GetText(field);
  // Down opens the list of its sub-folders; a letter selects "drei", Enter takes it.
  Key(edit, VK_DOWN);
  ASSERT_TRUE(WaitFor([&] { return FindTopWindow(p.Pid(), nullptr, "SysListView32") != nullptr; }, 5000));
  Key(edit, 'D', 'd');
  Key(edit, VK_RETURN);
  EXPECT_TRUE(WaitFor([&] { return GetText(field) == t.Path("dst\\drei"); }, 5000)) << GetText(field);

  // The context menu's command, as the menu posts it.
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
  PostMessageA(field, WM_COMMAND, kCopyPath, 0);
  std::string copied;
  WaitFor([&] { return !(copied = Clipboard()).empty(); }, 5000);
  EXPECT_EQ(t.Path("dst\\drei"), copied);

  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  EXPECT_EQ(t.Path("dst\\drei"), GetText(GetDlgItem(copy, kTarget)));
  std::string recent;
  EXPECT_TRUE(ReadUserValue(kAppKey, "Path2Last", &recent));
  EXPECT_EQ(t.Path("dst\\drei"), MultiString(recent).at(0));
  ClickButton(copy, IDCANCEL);
  EXPECT_TRUE(WaitWindowGone(copy, 10000));
  EXPECT_TRUE(CloseMain(p, main));
  DeleteUserKey(kAppKey);
}

// A recent list written by hand or by another version may hold an entry far longer than a
// path: the dialog leaves it out, and its list drops down and draws without harm.
TEST(PathDialog, RecentEntriesTooLongForAPathAreLeftOut) {
  DeleteUserKey(kAppKey);
  TempTree t("pathdlglong");
  t.Write("src\\a.txt", "a");
  const std::string recent = "C:\\" + std::string(2000, 'x') + '\0' + t.Path("src") + '\0' + '\0';
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kAppKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
  RegSetValueExA(key, "Path2Last", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE *>(recent.data()), DWORD(recent.size()));
  RegCloseKey(key);
  Process p;
  HWND main = nullptr, copy = OpenCopyFiles(p, t, &main);
  ASSERT_NE(nullptr, copy);
  ClickButton(copy, kBrowseTarget);
  HWND dlg = WaitTopWindow(p.Pid(), "Verzeichnis wählen", 10000);
  ASSERT_NE(nullptr, dlg);
  HWND field = GetDlgItem(dlg, kPathField);
  EXPECT_EQ(1, ComboCount(field));
  EXPECT_EQ(t.Path("src"), ComboText(field, 0));
  SendMessageA(field, CB_SHOWDROPDOWN, TRUE, 0);
  Sleep(300);
  EXPECT_TRUE(Responds(dlg));
  SendMessageA(field, CB_SHOWDROPDOWN, FALSE, 0);
  ClickButton(dlg, IDCANCEL);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  ClickButton(copy, IDCANCEL);
  EXPECT_TRUE(WaitWindowGone(copy, 10000));
  EXPECT_TRUE(CloseMain(p, main));
  DeleteUserKey(kAppKey);
}

}  // namespace
