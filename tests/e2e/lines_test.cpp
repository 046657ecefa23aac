// Inserting and deleting lines end to end: the two toolbar commands after a text search, their
// dialog's checks and settings, the written files, and the result list emptied and hidden.
#include <gtest/gtest.h>

#include <string>

#include "e2e/support/CommandSession.h"

using namespace e2e;
using testcommon::ReadFileBytes;

namespace {

const int kInsert = 32795, kDelete = 32796;
const char kCaption[] = "Zeilen einf\xFCgen";

class Lines : public ::testing::Test {
 protected:
  void SetUp() override { DeleteUserKey(kAppKey); }
  void TearDown() override { DeleteUserKey(kAppKey); }
};

}  // namespace

TEST_F(Lines, InsertAndDeleteThroughTheDialog) {
  TempTree tree("lines");
  std::string a = tree.Write("a.txt", "one\r\nhit\r\nthree\r\n"), b = tree.Write("b.txt", "x\nhit hit\ny");
  CommandSession app;
  ASSERT_TRUE(app.Start(tree, 2));

  // No hits: nothing to work on.
  ASSERT_TRUE(app.Search(kCmdTextSearch, "absent"));
  PostCommand(app.main, kDelete);
  EXPECT_TRUE(app.Answer("Fehler", "Es sind Keine Zeilen gefunden worden !", IDOK));

  const struct {
    int command;
    const char *position, *count, *text, *suffix;
    std::string wantA, wantB;   // after the run, under the suffix
  } runs[] = {
      {kDelete, "-1", "2", "", ".neu", "three\r\n", "y"},
      {kInsert, "1", "", "N1\r\nN2", "", "one\r\nhit\r\nN1\r\nN2\r\nthree\r\n", "x\nhit hit\nN1\nN2\ny"},
  };
  for (const auto &r : runs) {
    ASSERT_TRUE(app.Search(kCmdTextSearch, "hit"));
    HWND dlg = app.Open(r.command, kCaption);
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ(r.command == kInsert, IsWindowEnabled(GetDlgItem(dlg, 1055)) != FALSE);
    EXPECT_EQ(r.command == kDelete, IsWindowEnabled(GetDlgItem(dlg, 1056)) != FALSE);
    SetText(GetDlgItem(dlg, 1054), r.position);
    SetText(GetDlgItem(dlg, 1044), r.suffix);
    // A count below 1 or an empty text is refused and the dialog stays.
    SetText(GetDlgItem(dlg, r.command == kDelete ? 1056 : 1055), r.command == kDelete ? "0" : "");
    ClickButton(dlg, IDOK);
    EXPECT_TRUE(app.Answer("Fehler", " !", IDOK));
    SetText(GetDlgItem(dlg, r.command == kDelete ? 1056 : 1055), r.command == kDelete ? r.count : r.text);
    ClickButton(dlg, IDOK);
    ASSERT_TRUE(WaitWindowGone(dlg, 20000));
    EXPECT_EQ(r.wantA, ReadFileBytes(a + r.suffix));
    EXPECT_EQ(r.wantB, ReadFileBytes(b + r.suffix));
    if (*r.suffix) {
      EXPECT_EQ("one\r\nhit\r\nthree\r\n", ReadFileBytes(a));
    }
    // The result pane is hidden: the list has no height left.
    HWND results = FindChildById(app.main, 21397);
    RECT rc;
    EXPECT_TRUE(WaitFor([&] { return GetWindowRect(results, &rc) && rc.bottom == rc.top; }, 5000));
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((a + ".vellmorant.tmp").c_str()));
  std::string key = std::string(kAppKey) + "\\ZipDialog", text;
  DWORD v = 0;
  EXPECT_TRUE(ReadUserDword(key.c_str(), "DelPos", &v));
  EXPECT_EQ(DWORD(-1), v);
  EXPECT_TRUE(ReadUserDword(key.c_str(), "DelCount", &v));
  EXPECT_EQ(2u, v);
  EXPECT_TRUE(ReadUserValue(key.c_str(), "AddLines", &text));
  EXPECT_EQ("N1\r\nN2", text);
  EXPECT_TRUE(CloseMain(app.p, app.main));
}

// A file listed twice is searched once; "Ändern" changes each hit once and the lines are
// deleted once.
TEST_F(Lines, FileListedTwiceIsChangedAndEditedOnce) {
  TempTree tree("twice");
  std::string a = tree.Write("a.txt", "one\nhit\nthree\nhit\n");
  CommandSession app;
  ASSERT_TRUE(app.Start(tree, 1));
  PostCommand(app.main, 32775);   // "Alle Dateien einfügen"
  ASSERT_EQ(2, SettledCount(app.p, FindChildById(app.main, 21396)));
  ASSERT_TRUE(app.Search(kCmdTextSearch, "hit"));
  HWND dlg = app.Open(32774, "\xC4ndern");
  ASSERT_NE(nullptr, dlg);
  SetText(GetDlgItem(dlg, 1001), "hat");
  ClickButton(dlg, IDOK);
  EXPECT_TRUE(app.Answer("\xC4ndern", "Es wurden 2 \xC4nderungen durch gef\xFChrt.", IDOK));
  EXPECT_EQ("one\nhat\nthree\nhat\n", ReadFileBytes(a));

  ASSERT_TRUE(app.Search(kCmdTextSearch, "hat"));
  dlg = app.Open(kDelete, kCaption);
  ASSERT_NE(nullptr, dlg);
  SetText(GetDlgItem(dlg, 1054), "0");
  SetText(GetDlgItem(dlg, 1056), "1");
  SetText(GetDlgItem(dlg, 1044), "");
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 20000));
  EXPECT_EQ("one\nthree\n", ReadFileBytes(a));
  EXPECT_TRUE(CloseMain(app.p, app.main));
}
