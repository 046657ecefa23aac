// Changing found entries end to end: F6 after a text or value search, every mode of the dialog,
// the query's four answers, refused value inputs, the settings in the registry, the next search
// seeing the new content, and a cancelled change over many files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/support/AppSession.h"
#include "e2e/support/E2eDriver.h"

using namespace e2e;
using testcommon::ReadFileBytes;

namespace {

const int kTextSearch = 32772, kHexSearch = 32773, kChange = 32774, kFileList = 21396;
const char kChangeCaption[] = "\xC4ndern";

struct App {
  bool Start(const TempTree &tree, int files) {
    if (!p.Start(ProgramPath(), Quote(Folder(tree)) + " -p:*")) return false;
    main = WaitMain(p);
    HWND list = main ? FindChildById(main, kFileList) : nullptr;
    return list && WaitFor([&] { return !FindTopWindow(p.Pid(), "Dateisuche") && ListViewCount(list) == files; },
                           60000);
  }
  // The first visible dialog of the program with the caption whose statics hold text (empty:
  // any); its last non-empty static's text into *shown. The dialog is closed with button.
  bool Answer(const char *caption, const std::string &text, int button, std::string *shown = nullptr) {
    HWND box = nullptr;
    std::string last;
    bool found = WaitFor([&] {
      box = FindTopWindow(p.Pid(), caption, "#32770");
      if (!box) return false;
      last.clear();
      for (HWND c = FindWindowExA(box, nullptr, "Static", nullptr); c; c = FindWindowExA(box, c, "Static", nullptr))
        if (!GetText(c).empty()) last = GetText(c);
      return last.find(text) != std::string::npos;
    }, 60000);
    if (shown) *shown = last;
    if (!found) return false;
    ClickButton(box, button);
    return WaitWindowGone(box, 10000);
  }
  void Search(int command, const std::string &text) {
    PostCommand(main, command);
    HWND dlg = WaitTopWindow(p.Pid(), command == kTextSearch ? "Text suchen" : "Wert suchen", 10000);
    ASSERT_NE(nullptr, dlg);
    // The value dialog reads its input as typed.
    HWND edit = FindWindowExA(GetDlgItem(dlg, 1001), nullptr, "Edit", nullptr);
    DWORD_PTR r = 0;
    SendMessageTimeoutA(edit, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, 5000, &r);
    for (char ch : text) SendMessageTimeoutA(edit, WM_CHAR, (unsigned char)ch, 1, SMTO_ABORTIFHUNG, 5000, &r);
    ClickButton(dlg, IDOK);
    ASSERT_TRUE(WaitWindowGone(dlg, 10000));
    // A command posted while the search job runs would be refused.
    int quiet = 0;
    ASSERT_TRUE(WaitFor([&] {
      bool busy = FindTopWindow(p.Pid(), "Textsuche") || FindTopWindow(p.Pid(), "HEX-Suche");
      quiet = busy ? 0 : quiet + 1;
      return quiet >= 4 && Responds(main);
    }, 60000, 100));
  }
  // F6, the dialog filled, closed with button; the dialog is returned while still open.
  HWND OpenChange() {
    PostCommand(main, kChange);
    return WaitTopWindow(p.Pid(), kChangeCaption, 10000);
  }
  Process p;
  HWND main = nullptr;
};

void Fill(HWND dlg, const char *text, const char *offset, int modeId, bool special) {
  SetText(GetDlgItem(dlg, 1001), text);
  SetText(GetDlgItem(dlg, 1002), offset);
  SetCheck(dlg, 1045, special);
  DWORD_PTR r = 0;
  SendMessageTimeoutA(GetDlgItem(dlg, modeId), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
}

std::string Done(int n) { return "Es wurden " + std::to_string(n) + " \xC4nderungen durch gef\xFChrt."; }

class Change : public ::testing::Test {
 protected:
  void SetUp() override { DeleteUserKey(kAppKey); }
  void TearDown() override { DeleteUserKey(kAppKey); }
};

}  // namespace

TEST_F(Change, EveryModeThroughTheDialogThenTheNextSearchSeesTheChange) {
  TempTree tree("change");
  const struct {
    const char *name, *content, *search, *text, *offset;
    int modeId;
    bool special;
    int hits;
    std::string want;
  } cases[] = {
      {"a.txt", "alpha one one\r\n", "one", "uno", "", 1049, false, 2, "alpha uno uno\r\n"},
      {"b.txt", "beta twofold", "twofold", "T", "1", 1050, false, 1, "beta Twofold"},
      {"c.txt", "gamma=three;", "three", "\\t\\0", "2", 1032, true, 1, std::string("gamma=th\t\0;", 11)},
      {"d.txt", "delta <four>", "<four>", "[", "<", 1053, false, 1, "delta [four>"},
      {"e.txt", "eps <five>", "<five>", "\\n", "<\\w", 1052, false, 1, "eps <five\\n"},
  };
  for (const auto &c : cases) tree.Write(c.name, c.content);
  std::string untouched = tree.Write("z.txt", "nothing here\n");
  App app;
  ASSERT_TRUE(app.Start(tree, 6));
  for (const auto &c : cases) {
    app.Search(kTextSearch, c.search);
    HWND dlg = app.OpenChange();
    ASSERT_NE(nullptr, dlg);
    Fill(dlg, c.text, c.offset, c.modeId, c.special);
    ClickButton(dlg, IDOK);
    std::string shown;
    EXPECT_TRUE(app.Answer(kChangeCaption, "Es wurden", IDOK, &shown)) << c.name;
    EXPECT_EQ(Done(c.hits), shown);
    EXPECT_EQ(c.want, ReadFileBytes(tree.Path(c.name))) << c.name;
  }
  EXPECT_EQ("nothing here\n", ReadFileBytes(untouched));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(tree.Path("a.txt.vellmorant.tmp").c_str()));

  // Same size and within the same seconds as the cached copy: only a dropped entry shows it.
  app.Search(kTextSearch, "uno");
  HWND status = FindWindowExA(app.main, nullptr, "msctls_statusbar32", nullptr);
  EXPECT_TRUE(WaitFor([&] { return StatusBarText(status, 1) == "2 Eintr\xE4ge"; }, 20000));

  std::string key = kAppKey, block;
  ASSERT_TRUE(ReadUserValue(key.c_str(), "ChangeStrings", &block));
  EXPECT_EQ((std::vector<std::string>{"\\n", "[", "\\t\\0", "T", "uno"}), MultiString(block));
  ASSERT_TRUE(ReadUserValue(key.c_str(), "OffsetStrings", &block));
  EXPECT_EQ((std::vector<std::string>{"<\\w", "<", "2", "1"}), MultiString(block));
  DWORD v = 9;
  EXPECT_TRUE(ReadUserDword(key.c_str(), "ChangeMode", &v));
  EXPECT_EQ(4u, v);
  EXPECT_TRUE(CloseMain(app.p, app.main));
}

TEST_F(Change, QueryAnswersAndValueChanges) {
  TempTree tree("query");
  std::string a = tree.Write("a.txt", "x x x x\n"), b = tree.Write("b.txt", "x\n");
  std::string v = tree.Write("v.bin", "..AB..AB");
  App app;
  ASSERT_TRUE(app.Start(tree, 3));
  const struct {
    std::vector<int> answers;   // buttons of the query, in order
    std::string wantA, wantB;
    int changes;
  } runs[] = {
      {{IDCANCEL}, "x x x x\n", "x\n", 0},
      {{IDNO, IDOK, IDNO, IDCANCEL}, "x y x x\n", "x\n", 1},
      {{IDNO, IDABORT}, "x y y y\n", "y\n", 3},
  };
  for (const auto &r : runs) {
    app.Search(kTextSearch, "x");
    HWND dlg = app.OpenChange();
    ASSERT_NE(nullptr, dlg);
    Fill(dlg, "y", "", 1049, false);
    ClickButton(dlg, IDABORT);   // "Mit Abfrage"
    for (int button : r.answers) ASSERT_TRUE(app.Answer("Text\xE4nderung", "", button));
    std::string shown;
    EXPECT_TRUE(app.Answer(kChangeCaption, "Es wurden", IDOK, &shown));
    EXPECT_EQ(Done(r.changes), shown);
    EXPECT_EQ(r.wantA, ReadFileBytes(a));
    EXPECT_EQ(r.wantB, ReadFileBytes(b));
  }
  // The dialog remembers "Mit Abfrage" as its default button.
  HWND dlg = app.OpenChange();
  ASSERT_NE(nullptr, dlg);
  DWORD_PTR def = 0;
  SendMessageTimeoutA(dlg, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 5000, &def);
  EXPECT_EQ(IDABORT, LOWORD(def));
  ClickButton(dlg, IDCANCEL);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));

  // Value results: only the first two modes; masked and empty inputs are refused; a negative
  // number is written in two's complement over each hit.
  app.Search(kHexSearch, "\"AB\"");
  dlg = app.OpenChange();
  ASSERT_NE(nullptr, dlg);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, 1032)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, 1045)));
  for (const char *bad : {":4?", ""}) {
    Fill(dlg, bad, "", 1049, false);
    ClickButton(dlg, IDOK);
    EXPECT_TRUE(app.Answer("Fehler", "!", IDOK)) << bad;
  }
  Fill(dlg, "-2", "", 1049, false);
  ClickButton(dlg, IDOK);
  std::string shown;
  EXPECT_TRUE(app.Answer(kChangeCaption, "Es wurden", IDOK, &shown));
  EXPECT_EQ(Done(2), shown);
  EXPECT_EQ("..\xFE\xFF\xFF\xFF\xFE\xFF", ReadFileBytes(v));
  EXPECT_TRUE(CloseMain(app.p, app.main));
}

TEST_F(Change, CancelStopsBetweenFilesAndLeavesEachFileWhole) {
  TempTree tree("many");
  const int files = 1000;
  std::string old(20000, '.'), now(20000, '.');
  old.replace(10000, 6, "needle");
  now.replace(10000, 6, "NEEDLE");
  for (int i = 0; i < files; ++i) tree.Write("f" + std::to_string(1000 + i) + ".txt", old);
  App app;
  ASSERT_TRUE(app.Start(tree, files));
  app.Search(kTextSearch, "needle");
  app.Answer("Vellmorant", "zuviele", IDOK);   // the result limit is 1000
  HWND dlg = app.OpenChange();
  ASSERT_NE(nullptr, dlg);
  Fill(dlg, "NEEDLE", "", 1049, false);
  ClickButton(dlg, IDOK);
  HWND progress = WaitTopWindow(app.p.Pid(), "\xC4nderungen", 20000);
  ASSERT_NE(nullptr, progress);
  Sleep(1000);
  DWORD start = GetTickCount();
  PostMessageA(progress, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitWindowGone(progress, 20000));
  EXPECT_LT(GetTickCount() - start, 1500u);
  std::string shown;
  EXPECT_TRUE(app.Answer(kChangeCaption, "Es wurden", IDOK, &shown));
  int changed = 0;
  for (int i = 0; i < files; ++i) {
    std::string content = ReadFileBytes(tree.Path("f" + std::to_string(1000 + i) + ".txt"));
    ASSERT_TRUE(content == old || content == now) << i;
    changed += content == now;
  }
  EXPECT_GT(changed, 0);
  EXPECT_LT(changed, files);
  EXPECT_EQ(Done(changed), shown);
  EXPECT_TRUE(CloseMain(app.p, app.main));
}
