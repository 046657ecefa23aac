// Changing found entries end to end: F6 after a text or value search, every mode of the dialog,
// the query's four answers, refused value inputs, the settings in the registry, the next search
// seeing the new content, and a cancelled change over many files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/support/CommandSession.h"

using namespace e2e;
using testcommon::ReadFileBytes;

namespace {

const int kTextSearch = kCmdTextSearch, kHexSearch = kCmdHexSearch, kChange = 32774;
const char kChangeCaption[] = "\xC4ndern";

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
  CommandSession app;
  ASSERT_TRUE(app.Start(tree, 6));
  for (const auto &c : cases) {
    ASSERT_TRUE(app.Search(kTextSearch, c.search));
    HWND dlg = app.Open(kChange, kChangeCaption);
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
  ASSERT_TRUE(app.Search(kTextSearch, "uno"));
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
  CommandSession app;
  ASSERT_TRUE(app.Start(tree, 3));
  // Value results, before any text search stored its settings: only the first two modes;
  // masked and empty inputs are refused; a negative number is written in two's complement
  // over each hit.
  ASSERT_TRUE(app.Search(kHexSearch, "\"AB\""));
  HWND dlg = app.Open(kChange, kChangeCaption);
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
  std::string done;
  EXPECT_TRUE(app.Answer(kChangeCaption, "Es wurden", IDOK, &done));
  EXPECT_EQ(Done(2), done);
  EXPECT_EQ("..\xFE\xFF\xFF\xFF\xFE\xFF", ReadFileBytes(v));

  const struct {
    std::string firstLine;      // the line the first question shows
    std::vector<int> answers;   // buttons of the query, in order
    std::string wantA, wantB;
    int changes;
  } runs[] = {
      {"x x x x", {IDCANCEL}, "x x x x\n", "x\n", 0},
      {"x x x x", {IDNO, IDOK, IDNO, IDCANCEL}, "x y x x\n", "x\n", 1},
      {"x y x x", {IDNO, IDABORT}, "x y y y\n", "y\n", 3},
  };
  for (const auto &r : runs) {
    ASSERT_TRUE(app.Search(kTextSearch, "x"));
    HWND dlg = app.Open(kChange, kChangeCaption);
    ASSERT_NE(nullptr, dlg);
    Fill(dlg, "y", "", 1049, false);
    ClickButton(dlg, IDABORT);   // "Mit Abfrage"
    // The first question shows the found line old and new.
    HWND q = WaitTopWindow(app.p.Pid(), "Text\xE4nderung", 10000);
    EXPECT_EQ(r.firstLine, app.LineText(FindChildById(q, 6021), 0));
    EXPECT_EQ("y" + r.firstLine.substr(1), app.LineText(FindChildById(q, 6022), 0));
    for (int button : r.answers) ASSERT_TRUE(app.Answer("Text\xE4nderung", "", button));
    std::string shown;
    EXPECT_TRUE(app.Answer(kChangeCaption, "Es wurden", IDOK, &shown));
    EXPECT_EQ(Done(r.changes), shown);
    EXPECT_EQ(r.wantA, ReadFileBytes(a));
    EXPECT_EQ(r.wantB, ReadFileBytes(b));
  }
  // The dialog remembers "Mit Abfrage" as its default button.
  dlg = app.Open(kChange, kChangeCaption);
  ASSERT_NE(nullptr, dlg);
  DWORD_PTR def = 0;
  SendMessageTimeoutA(dlg, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 5000, &def);
  EXPECT_EQ(IDABORT, LOWORD(def));
  ClickButton(dlg, IDCANCEL);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));

  EXPECT_TRUE(CloseMain(app.p, app.main));
}

TEST_F(Change, CancelStopsBetweenFilesAndLeavesEachFileWhole) {
  TempTree tree("many");
  const int files = 1000;
  std::string old(20000, '.'), now(20000, '.');
  old.replace(10000, 6, "needle");
  now.replace(10000, 6, "NEEDLE");
  for (int i = 0; i < files; ++i) tree.Write("f" + std::to_string(1000 + i) + ".txt", old);
  CommandSession app;
  ASSERT_TRUE(app.Start(tree, files));
  ASSERT_TRUE(app.Search(kTextSearch, "needle"));
  app.Answer("Vellmorant", "zuviele", IDOK);   // the result limit is 1000
  HWND dlg = app.Open(kChange, kChangeCaption);
  ASSERT_NE(nullptr, dlg);
  Fill(dlg, "NEEDLE", "", 1049, false);
  ClickButton(dlg, IDOK);
  HWND progress = WaitTopWindow(app.p.Pid(), "\xC4nderungen", 20000);
  ASSERT_NE(nullptr, progress);
  // Cancel as soon as the first files are done.
  auto name = [&](int i) { return tree.Path("f" + std::to_string(1000 + i) + ".txt"); };
  WaitFor([&] { return ReadFileBytes(name(0)) == now || ReadFileBytes(name(files - 1)) == now; }, 20000, 20);
  DWORD start = GetTickCount();
  PostMessageA(progress, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitWindowGone(progress, 20000));
  EXPECT_LT(GetTickCount() - start, 1500u);
  std::string shown;
  EXPECT_TRUE(app.Answer(kChangeCaption, "Es wurden", IDOK, &shown));
  int changed = 0;
  for (int i = 0; i < files; ++i) {
    std::string content = ReadFileBytes(name(i));
    ASSERT_TRUE(content == old || content == now) << i;
    changed += content == now;
  }
  EXPECT_GT(changed, 0);
  EXPECT_LT(changed, files);
  EXPECT_EQ(Done(changed), shown);
  EXPECT_TRUE(CloseMain(app.p, app.main));
}
