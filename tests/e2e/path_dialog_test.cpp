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

TEST(PathDialog, KeysChooseFoldersThatTheCallerTakes) {
  DeleteUserKey(kAppKey);
  TempTree t("pathdlg");
  t.Write("src\\a.txt", "a");
  t.Write("dst\\eins\\zwei\\z.txt", "z");
  t.Write("dst\\drei\\d.txt", "d");
  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(t.Path("src")) + " -p:*"));
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  ASSERT_EQ(1, SettledCount(p, FindChildById(main, kFileList)));
  PostCommand(main, kCopyFiles);
  HWND copy = WaitTopWindow(p.Pid(), "Dateien kopieren", 10000);
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

}  // namespace
