// After a text or value search the program names the listed files it could not search (here
// one vanished and one locked by another program) and keeps the hit count in the status bar;
// a log that another program holds open for writing is searched; when every file was searched
// the program says nothing.
#include <gtest/gtest.h>

#include <string>

#include "e2e/support/AppSession.h"
#include "e2e/support/E2eDriver.h"

using namespace e2e;

namespace {

const int kTextSearch = 32772, kHexSearch = 32773, kFileList = 21396;

class SearchSkipped : public ::testing::Test {
 protected:
  void SetUp() override { DeleteUserKey(kAppKey); }
  void TearDown() override { DeleteUserKey(kAppKey); }
};

// Types text into an edit field key by key, as a user would.
void Type(HWND edit, const std::string &text) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(edit, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, 5000, &r);
  for (char c : text) SendMessageTimeoutA(edit, WM_CHAR, (unsigned char)c, 1, SMTO_ABORTIFHUNG, 5000, &r);
}

// Opens a search dialog by its command and caption, enters the text and confirms it.
void Search(Process &p, HWND main, int command, const char *caption, const std::string &text) {
  PostCommand(main, command);
  HWND dlg = WaitTopWindow(p.Pid(), caption, 10000);
  ASSERT_NE(nullptr, dlg);
  HWND edit = FindWindowExA(GetDlgItem(dlg, 1001), nullptr, "Edit", nullptr);
  ASSERT_NE(nullptr, edit);
  Type(edit, text);
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
}

// The program's message box after a search (null when none comes within timeoutMs), its text
// and the hit count shown meanwhile; the box is closed.
struct After {
  bool box;
  std::string text, count;
};
After Outcome(Process &p, HWND status, DWORD timeoutMs) {
  After a = {false, "", ""};
  HWND box = WaitTopWindow(p.Pid(), "Vellmorant", timeoutMs, "#32770");
  if (box) {
    a.box = true;
    for (HWND c = FindWindowExA(box, nullptr, "Static", nullptr); c; c = FindWindowExA(box, c, "Static", nullptr))
      if (!GetText(c).empty()) a.text = GetText(c);
  }
  a.count = StatusBarText(status, 1);
  if (box) {
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    WaitWindowGone(box, 10000);
  }
  return a;
}

}  // namespace

TEST_F(SearchSkipped, MessageNamesTheFilesThatWereNotSearched) {
  TempTree tree("skipped");
  tree.Write("a.txt", "error 1\n");
  tree.Write("b.txt", "fine\n");
  std::string gone = tree.Write("gone.txt", "error 2\n");
  std::string locked = tree.Write("locked.txt", "error 3\n");
  std::string log = tree.Write("log.txt", "error 4\n");
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_CURRENT_USER, kAppKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
  DWORD byName = 1;
  RegSetValueExA(key, "SortList", 0, REG_DWORD, reinterpret_cast<BYTE *>(&byName), 4);
  RegCloseKey(key);
  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree)) + " -p:*"));
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  HWND status = FindWindowExA(main, nullptr, "msctls_statusbar32", nullptr);
  ASSERT_EQ(5, SettledCount(p, FindChildById(main, kFileList)));

  ASSERT_TRUE(DeleteFileA(gone.c_str()));
  HANDLE lock = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  // A logger's handle: writing, with the right to delete, sharing everything.
  HANDLE writer = CreateFileA(log.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  const std::string message = "2 Dateien konnten nicht durchsucht werden:\n\n" + gone +
                              ": kann nicht ge\xF6" "ffnet werden\n" + locked + ": kann nicht ge\xF6" "ffnet werden";

  struct Case {
    int command;
    const char *caption, *text;
  } searches[] = {{kTextSearch, "Text suchen", "error"}, {kHexSearch, "Wert suchen", "\"error\""}};
  for (const Case &c : searches) {
    Search(p, main, c.command, c.caption, c.text);
    After a = Outcome(p, status, 20000);
    EXPECT_TRUE(a.box) << c.caption;
    EXPECT_EQ(message, a.text) << c.caption;
    EXPECT_EQ("2 Eintr\xE4ge", a.count) << c.caption;
  }

  // Every file searched: no message.
  CloseHandle(lock);
  CloseHandle(writer);
  tree.Write("gone.txt", "error 2\n");
  for (const Case &c : searches) {
    Search(p, main, c.command, c.caption, c.text);
    ASSERT_TRUE(WaitFor([&] { return StatusBarText(status, 1) == "4 Eintr\xE4ge"; }, 20000)) << c.caption;
    EXPECT_FALSE(Outcome(p, status, 1500).box) << c.caption;
  }
  EXPECT_TRUE(CloseMain(p, main));
}
