// The search commands end to end: text searches from F4 with each option, the result limit,
// the value search from F5, sorting, deleting and copying results, cancelling a long search,
// and the dialogs' settings in the registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/support/AppSession.h"
#include "e2e/support/E2eDriver.h"

using namespace e2e;

namespace {

const int kTextSearch = 32772, kHexSearch = 32773, kResultLimit = 32792;
const int kSortPath = 21403, kSortName = 21404, kSortType = 21405, kCopy = 21401, kCopyPath = 21413,
          kSelectAll = 21402, kDelete = 22098;
const int kFileList = 21396, kResults = 21397;
const char kNoResults[] = "Keine Eintr\xE4ge gefunden.";

// The program with its file list filled from the tree (all files, sub-folders too), sorted by
// name so that the order of the results is known.
class App {
 public:
  bool Start(const TempTree &tree, int expectedFiles) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kAppKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
      DWORD byName = 1;
      RegSetValueExA(key, "SortList", 0, REG_DWORD, reinterpret_cast<BYTE *>(&byName), 4);
      RegCloseKey(key);
    }
    if (!p.Start(ProgramPath(), Quote(Folder(tree)) + " -p:*")) return false;
    main = WaitMain(p);
    if (!main) return false;
    files = FindChildById(main, kFileList);
    results = FindChildById(main, kResults);
    status = FindWindowExA(main, nullptr, "msctls_statusbar32", nullptr);
    if (!files || !results || !status) return false;
    return WaitFor([&] { return !FindTopWindow(p.Pid(), "Dateisuche") && ListViewCount(files) == expectedFiles; },
                   30000);
  }
  void Close() {
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(p.WaitExit(20000));
  }
  // Waits until no search runs and the program answers.
  bool Idle() {
    int quiet = 0;
    return WaitFor([&] {
      bool busy = FindTopWindow(p.Pid(), "Textsuche") || FindTopWindow(p.Pid(), "HEX-Suche") ||
                  FindTopWindow(p.Pid(), "Text suchen") || FindTopWindow(p.Pid(), "Wert suchen") ||
                  JobRunsUnseen(p.Pid(), main);
      quiet = busy ? 0 : quiet + 1;
      return quiet >= 4 && Responds(main);
    }, 60000, 100);
  }
  std::vector<std::string> Lines() { return ResultLines(p, results); }
  std::string Count() { return StatusBarText(status, 1); }

  Process p;
  HWND main = nullptr, files = nullptr, results = nullptr, status = nullptr;
};

// Types text into an edit field key by key over what it held, as a user would.
void Type(HWND edit, const std::string &text) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(edit, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, 5000, &r);
  if (text.empty()) SendMessageTimeoutA(edit, WM_CHAR, VK_BACK, 1, SMTO_ABORTIFHUNG, 5000, &r);
  for (char c : text) SendMessageTimeoutA(edit, WM_CHAR, (unsigned char)c, 1, SMTO_ABORTIFHUNG, 5000, &r);
}

void Click(HWND dialog, int id) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
}

// Clicks a check box until it shows the state (a disabled one keeps its state).
void CheckTo(HWND dialog, int id, bool on) {
  if ((GetCheck(dialog, id) == 1) != on) Click(dialog, id);
}

struct TextOptions {
  bool ignoreCase = false, wholeWords = false, pattern = false, multiLine = false, inResults = false;
  const char *lines = nullptr;
};

// F4, the text and options, OK; returns when the search has ended.
void TextSearch(App &a, const std::string &text, const TextOptions &o = TextOptions()) {
  PostCommand(a.main, kTextSearch);
  HWND dlg = WaitTopWindow(a.p.Pid(), "Text suchen", 10000);
  ASSERT_NE(nullptr, dlg);
  SetText(GetDlgItem(dlg, 1001), text);
  CheckTo(dlg, 1045, o.ignoreCase);
  CheckTo(dlg, 1047, o.wholeWords);
  CheckTo(dlg, 1048, o.pattern);
  CheckTo(dlg, 1046, o.multiLine);
  CheckTo(dlg, 1068, o.inResults);
  if (o.lines) SetText(GetDlgItem(dlg, 1054), o.lines);
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  ASSERT_TRUE(a.Idle());
}

// A result line as the list shows it: path, "(n): ", blanks up to column 32, the text.
std::string ResultLine(const std::string &path, int n, const std::string &text) {
  std::string s = path + "(" + std::to_string(n) + "): ";
  if (s.size() < 32) s.append(32 - s.size(), ' ');
  return s + text;
}

std::string ClipboardText() {
  std::string s;
  if (!OpenClipboard(nullptr)) return s;
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    if (const char *p = static_cast<const char *>(GlobalLock(h))) {
      s = p;
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return s;
}

void EmptyClipboardNow() {
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
}

// Runs a command that puts text on the clipboard and returns that text.
std::string CopiedBy(App &a, int command) {
  EmptyClipboardNow();
  PostCommand(a.main, command);
  std::string s;
  WaitFor([&] {
    s = ClipboardText();
    return !s.empty();
  }, 5000);
  return s;
}

void Select(App &a, int line) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(a.results, LB_SETCURSEL, line, 0, SMTO_ABORTIFHUNG, 5000, &r);
}

// The text of a message box of the program (its caption is the program's name), closed with OK.
std::string AnswerMessageBox(App &a) { return e2e::AnswerMessageBox(a.p, "Vellmorant"); }

// Lets the text search whose progress window is shown run for ms, then cancels it: the
// window goes within two seconds.
void CancelAfter(App &a, HWND progress, DWORD ms) {
  Sleep(ms);
  ASSERT_NE(nullptr, FindTopWindow(a.p.Pid(), "Textsuche")) << "the search ended before the cancel";
  DWORD start = GetTickCount();
  PostMessageA(progress, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitWindowGone(progress, 20000));
  EXPECT_LT(GetTickCount() - start, 2000u);
}

class SearchCommands : public ::testing::Test {
 protected:
  void SetUp() override { DeleteUserKey(kAppKey); }
  void TearDown() override { DeleteUserKey(kAppKey); }
};

}  // namespace

TEST_F(SearchCommands, TextSearchOptionsGiveTheExpectedLines) {
  TempTree tree("search");
  std::string a = tree.Write("a.c", "int main(void)\r\n{\r\n    int Counter = 0; // counter\r\n    counter++;\r\n"
                                    "    return counter_x;\r\n}\r\n");
  std::string b = tree.Write("b.txt", "Counter\r\nfoo counter\tbar\r\n");
  std::string c = tree.Write("sub\\c.xml", "<counter value=\"1\"/>\n<x>\n  counter\n</x>\n");
  App app;
  ASSERT_TRUE(app.Start(tree, 3));
  using V = std::vector<std::string>;

  TextSearch(app, "counter");
  EXPECT_EQ((V{ResultLine(a, 3, "    int Counter = 0; // counter"), ResultLine(a, 4, "    counter++;"),
               ResultLine(a, 5, "    return counter_x;"), ResultLine(b, 2, "foo counter bar"),
               ResultLine(c, 1, "<counter value=\"1\"/>"), ResultLine(c, 3, "  counter")}),
            app.Lines());
  EXPECT_EQ("6 Eintr\xE4ge", app.Count());
  EXPECT_TRUE(IsWindowVisible(app.results));

  TextOptions ignoreCase;
  ignoreCase.ignoreCase = true;
  TextSearch(app, "counter", ignoreCase);
  EXPECT_EQ((V{ResultLine(a, 3, "    int Counter = 0; // counter"), ResultLine(a, 3, "    int Counter = 0; // counter"),
               ResultLine(a, 4, "    counter++;"), ResultLine(a, 5, "    return counter_x;"),
               ResultLine(b, 1, "Counter"), ResultLine(b, 2, "foo counter bar"),
               ResultLine(c, 1, "<counter value=\"1\"/>"), ResultLine(c, 3, "  counter")}),
            app.Lines());
  EXPECT_EQ("8 Eintr\xE4ge", app.Count());

  TextOptions whole;
  whole.wholeWords = true;
  TextSearch(app, "counter", whole);
  EXPECT_EQ((V{ResultLine(a, 3, "    int Counter = 0; // counter"), ResultLine(a, 4, "    counter++;"),
               ResultLine(b, 2, "foo counter bar"), ResultLine(c, 1, "<counter value=\"1\"/>"),
               ResultLine(c, 3, "  counter")}),
            app.Lines());

  TextOptions pattern;
  pattern.pattern = true;
  TextSearch(app, "\\<foo,bar>", pattern);
  EXPECT_EQ((V{ResultLine(b, 2, "foo counter bar"), ResultLine(b, 2, "foo counter bar")}), app.Lines());
  EXPECT_EQ("2 Eintr\xE4ge", app.Count());

  // A line break in the pattern needs the multi-line option.
  TextSearch(app, "(void)\\q{", pattern);
  EXPECT_EQ(V{kNoResults}, app.Lines());
  EXPECT_EQ("0 Eintr\xE4ge", app.Count());
  TextOptions multi = pattern;
  multi.multiLine = true;
  multi.lines = "1";
  TextSearch(app, "(void)\\q{", multi);
  EXPECT_EQ(V{ResultLine(a, 1, "int main(void)")}, app.Lines());

  // Only in the files of the previous results.
  TextSearch(app, "return");
  EXPECT_EQ(V{ResultLine(a, 5, "    return counter_x;")}, app.Lines());
  TextOptions inResults;
  inResults.inResults = true;
  TextSearch(app, "counter", inResults);
  EXPECT_EQ((V{ResultLine(a, 3, "    int Counter = 0; // counter"), ResultLine(a, 4, "    counter++;"),
               ResultLine(a, 5, "    return counter_x;")}),
            app.Lines());
  EXPECT_EQ("3 Eintr\xE4ge", app.Count());

  // The dialog's history, options and lines are in the registry.
  std::string key = std::string(kAppKey) + "\\TextSeach", block;
  ASSERT_TRUE(ReadUserValue(key.c_str(), "Strings", &block));
  EXPECT_EQ((V{"counter", "return", "(void)\\q{", "\\<foo,bar>"}), MultiString(block));
  DWORD v = 0;
  EXPECT_TRUE(ReadUserDword(key.c_str(), "Flags", &v));
  EXPECT_EQ(0x400u, v);
  EXPECT_TRUE(ReadUserDword(key.c_str(), "Lines", &v));
  EXPECT_EQ(1u, v);

  // The next opening shows the newest text and the kept options.
  PostCommand(app.main, kTextSearch);
  HWND dlg = WaitTopWindow(app.p.Pid(), "Text suchen", 10000);
  ASSERT_NE(nullptr, dlg);
  EXPECT_EQ("counter", GetText(GetDlgItem(dlg, 1001)));
  EXPECT_EQ(4, ComboCount(GetDlgItem(dlg, 1001)));
  EXPECT_EQ(1, GetCheck(dlg, 1068));
  EXPECT_EQ("1", GetText(GetDlgItem(dlg, 1054)));
  PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));

  // Another program asks for a search (UTF-16): the dialog opens with its text.
  const WCHAR wide[] = {L'm', L'a', L'i', L'n'};
  EXPECT_EQ(TRUE, SendCopyData(app.main, 0x27F50005 | 0x8000, wide, sizeof wide));
  dlg = WaitTopWindow(app.p.Pid(), "Text suchen", 10000);
  ASSERT_NE(nullptr, dlg);
  EXPECT_EQ("main", GetText(GetDlgItem(dlg, 1001)));
  CheckTo(dlg, 1068, false);
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  ASSERT_TRUE(app.Idle());
  EXPECT_EQ(V{ResultLine(a, 1, "int main(void)")}, app.Lines());
  app.Close();
}

TEST_F(SearchCommands, ResultLimitEndsTheSearchWithAMessage) {
  TempTree tree("limit");
  std::string text;
  for (int i = 1; i <= 15; ++i) text += "hit " + std::to_string(i) + "\n";
  std::string f = tree.Write("many.txt", text);
  App app;
  ASSERT_TRUE(app.Start(tree, 1));
  PostCommand(app.main, kResultLimit);
  HWND dlg = WaitTopWindow(app.p.Pid(), "Ergebnislimith", 10000);
  ASSERT_NE(nullptr, dlg);
  SetText(FindWindowExA(dlg, nullptr, "Edit", nullptr), "10");
  PostMessageA(dlg, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));

  PostCommand(app.main, kTextSearch);
  dlg = WaitTopWindow(app.p.Pid(), "Text suchen", 10000);
  ASSERT_NE(nullptr, dlg);
  SetText(GetDlgItem(dlg, 1001), "hit");
  ClickButton(dlg, IDOK);
  EXPECT_EQ("Es wurden zuviele Eintr\xE4ge gefunden.", AnswerMessageBox(app));
  ASSERT_TRUE(app.Idle());
  std::vector<std::string> lines = app.Lines();
  ASSERT_EQ(10u, lines.size());
  EXPECT_EQ(ResultLine(f, 10, "hit 10"), lines[9]);
  EXPECT_EQ("10 Eintr\xE4ge", app.Count());
  app.Close();
}

TEST_F(SearchCommands, ValueSearchGivesDumpLines) {
  TempTree tree("value");
  std::string f = tree.Write("data.bin", "xxABCDxxABCD");
  tree.Write("none.bin", std::string("\0\1\2", 3));
  App app;
  ASSERT_TRUE(app.Start(tree, 2));
  PostCommand(app.main, kHexSearch);
  HWND dlg = WaitTopWindow(app.p.Pid(), "Wert suchen", 10000);
  ASSERT_NE(nullptr, dlg);
  HWND edit = FindWindowExA(GetDlgItem(dlg, 1001), nullptr, "Edit", nullptr);
  ASSERT_NE(nullptr, edit);
  Type(edit, "\"ABCD\"");
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  ASSERT_TRUE(app.Idle());
  EXPECT_EQ((std::vector<std::string>{ResultLine(f, 2, "41 42 43 44  78 78 41 42  43 44  ABCDxxABCD"),
                                      ResultLine(f, 8, "41 42 43 44  ABCD")}),
            app.Lines());
  EXPECT_EQ("2 Eintr\xE4ge", app.Count());
  Select(app, 1);
  EXPECT_EQ(f, CopiedBy(app, kCopyPath));

  std::string key = std::string(kAppKey) + "\\HexSeach", block;
  ASSERT_TRUE(ReadUserValue(key.c_str(), "Strings", &block));
  EXPECT_EQ(std::vector<std::string>{"\"ABCD\""}, MultiString(block));
  DWORD v = 0;
  EXPECT_TRUE(ReadUserDword(key.c_str(), "Flags", &v));
  EXPECT_TRUE(ReadUserValue(key.c_str(), "Group", &block));
  app.Close();
}

TEST_F(SearchCommands, SortDeleteAndCopy) {
  TempTree tree("sort");
  std::string a = tree.Write("z\\a.txt", "x1\nx2\n");
  std::string b = tree.Write("b.log", "x3\n");
  std::string c = tree.Write("c.txt", "x4\n");
  App app;
  ASSERT_TRUE(app.Start(tree, 3));
  TextSearch(app, "x");
  using V = std::vector<std::string>;
  // By name: b.log, c.txt, z\a.txt... the list is sorted by name: a.txt, b.log, c.txt.
  V byName = {ResultLine(a, 1, "x1"), ResultLine(a, 2, "x2"), ResultLine(b, 1, "x3"), ResultLine(c, 1, "x4")};
  EXPECT_EQ(byName, app.Lines());

  PostCommand(app.main, kSortPath);
  ASSERT_TRUE(app.Idle());
  V byPath = {ResultLine(b, 1, "x3"), ResultLine(c, 1, "x4"), ResultLine(a, 1, "x1"), ResultLine(a, 2, "x2")};
  EXPECT_EQ(byPath, app.Lines());
  PostCommand(app.main, kSortPath);   // again: the other way round
  ASSERT_TRUE(app.Idle());
  EXPECT_EQ((V{byPath.rbegin(), byPath.rend()}), app.Lines());
  PostCommand(app.main, kSortType);
  ASSERT_TRUE(app.Idle());
  EXPECT_EQ((V{ResultLine(b, 1, "x3"), ResultLine(c, 1, "x4"), ResultLine(a, 1, "x1"), ResultLine(a, 2, "x2")}),
            app.Lines());
  PostCommand(app.main, kSortName);
  ASSERT_TRUE(app.Idle());
  EXPECT_EQ(byName, app.Lines());

  // Copy: all lines; one line; the path of a line.
  PostCommand(app.main, kSelectAll);
  std::string all = CopiedBy(app, kCopy);
  EXPECT_EQ(byName[0] + "\r\n" + byName[1] + "\r\n" + byName[2] + "\r\n" + byName[3], all);
  Select(app, 2);
  EXPECT_EQ(byName[2], CopiedBy(app, kCopy));
  EXPECT_EQ(b, CopiedBy(app, kCopyPath));

  // Delete: the selected line goes, the next one takes its place; without a selection nothing.
  PostCommand(app.main, kDelete);
  ASSERT_TRUE(app.Idle());
  EXPECT_EQ((V{byName[0], byName[1], byName[3]}), app.Lines());
  EXPECT_EQ("3 Eintr\xE4ge", app.Count());
  DWORD_PTR sel = 0;
  SendMessageTimeoutA(app.results, LB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &sel);
  EXPECT_EQ(2u, sel);
  Select(app, -1);
  PostCommand(app.main, kDelete);
  ASSERT_TRUE(app.Idle());
  EXPECT_EQ(3u, app.Lines().size());
  EXPECT_EQ("3 Eintr\xE4ge", app.Count());
  // Deleting the last line selects the new last line.
  Select(app, 2);
  PostCommand(app.main, kDelete);
  ASSERT_TRUE(app.Idle());
  SendMessageTimeoutA(app.results, LB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &sel);
  EXPECT_EQ(1u, sel);
  // A sort after a delete keeps the line deleted.
  PostCommand(app.main, kSortPath);
  ASSERT_TRUE(app.Idle());
  EXPECT_EQ((V{byName[0], byName[1]}), app.Lines());
  app.Close();
}

TEST_F(SearchCommands, CancelEndsALongSearchAndKeepsItsHits) {
  TempTree tree("cancel");
  // Every 200th line holds a hit; every try runs over the rest of its line with sixteen '*'
  // alive, so that the whole search takes many seconds.
  const std::string words = "some text with a needle and more words to scan ";
  std::string block;
  for (int i = 0; i < 20000; ++i)
    block += words + words + words + std::to_string(i) + (i % 200 ? "\n" : " z\n");
  const int files = 10;
  for (int i = 0; i < files; ++i) tree.Write("f" + std::to_string(100 + i) + ".txt", block);
  App app;
  ASSERT_TRUE(app.Start(tree, files));

  PostCommand(app.main, kTextSearch);
  HWND dlg = WaitTopWindow(app.p.Pid(), "Text suchen", 10000);
  ASSERT_NE(nullptr, dlg);
  std::string stars;
  for (int i = 0; i < 16; ++i) stars += "*e";
  SetText(GetDlgItem(dlg, 1001), stars + "*z");
  CheckTo(dlg, 1045, true);
  CheckTo(dlg, 1048, true);
  ClickButton(dlg, IDOK);
  HWND progress = WaitTopWindow(app.p.Pid(), "Textsuche", 20000);
  ASSERT_NE(nullptr, progress);
  // A search request from another program is not taken while the search runs.
  EXPECT_EQ(TRUE, SendCopyData(app.main, 0x27F50005, "needle", 7));
  Sleep(500);
  EXPECT_EQ(nullptr, FindTopWindow(app.p.Pid(), "Text suchen"));
  // Let it find some hits, then cancel.
  CancelAfter(app, progress, 1500);
  ASSERT_TRUE(app.Idle());
  std::vector<std::string> lines = app.Lines();
  ASSERT_GT(lines.size(), 0u);
  EXPECT_NE(kNoResults, lines[0]);
  EXPECT_LT(lines.size(), size_t(files) * 100);
  EXPECT_EQ(std::to_string(lines.size()) + " Eintr\xE4ge", app.Count());
  EXPECT_EQ(nullptr, FindTopWindow(app.p.Pid(), "Text suchen"));
  // The hits are whole lines of the first files, in order.
  EXPECT_EQ(ResultLine(tree.Path("f100.txt"), 1, words + words + words + "0 z"), lines[0]);
  app.Close();
}

TEST_F(SearchCommands, CancelEndsAPatternTryThatRunsOverALongLine) {
  TempTree tree("longline");
  // One line of 16 MB: a hit at its start, then a try that runs over the whole rest of the
  // line with twenty '*' alive at every position (many seconds even in linear time).
  std::string stars;
  for (int i = 0; i < 20; ++i) stars += "*e";
  std::string f = tree.Write("long.txt", std::string(20, 'e') + "z" + std::string(16 << 20, 'e'));
  App app;
  ASSERT_TRUE(app.Start(tree, 1));
  PostCommand(app.main, kTextSearch);
  HWND dlg = WaitTopWindow(app.p.Pid(), "Text suchen", 10000);
  ASSERT_NE(nullptr, dlg);
  SetText(GetDlgItem(dlg, 1001), stars + "z");
  CheckTo(dlg, 1048, true);
  CheckTo(dlg, 1046, true);
  SetText(GetDlgItem(dlg, 1054), "256");   // "Zeilen" above 255: clamped, not cut to 0
  ClickButton(dlg, IDOK);
  HWND progress = WaitTopWindow(app.p.Pid(), "Textsuche", 20000);
  ASSERT_NE(nullptr, progress);
  CancelAfter(app, progress, 1000);
  ASSERT_TRUE(app.Idle());
  std::vector<std::string> lines = app.Lines();
  ASSERT_EQ(1u, lines.size());
  const std::string head = ResultLine(f, 1, std::string(20, 'e') + "zee");
  EXPECT_EQ(head, lines[0].substr(0, head.size()));
  EXPECT_EQ("1 Eintr\xE4ge", app.Count());
  DWORD v = 0;
  EXPECT_TRUE(ReadUserDword((std::string(kAppKey) + "\\TextSeach").c_str(), "Lines", &v));
  EXPECT_EQ(255u, v);
  app.Close();
}
