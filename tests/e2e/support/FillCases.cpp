// Fill cases through the real program.
#include "e2e/support/FillCases.h"

#include <gtest/gtest.h>

#include "e2e/support/AppSession.h"
#include "common/LongPaths.h"

namespace e2e {

using namespace testcommon;

namespace {

const int kFileList = 21396, kAddFiles = 32771;

// The tree's long entries go first: the tree's own clean-up reaches short paths only.
struct CaseTree {
  TempTree tree{"fill"};
  ~CaseTree() { RemoveTree(tree.Root()); }
};

// After the fill: the warning as the case expects, no "not found" error, the listed count.
void CheckFill(Process &p, HWND main, const FillCase &c) {
  HWND list = FindChildById(main, kFileList);
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(c.listed, SettledCount(p, list));
  // A box comes right after the scan ends; give a wrong one time to show.
  if (c.warning.empty()) Sleep(300);
  EXPECT_EQ(nullptr, FindTopWindow(p.Pid(), "Fehler"));
  if (c.warning.empty()) {
    EXPECT_EQ(nullptr, FindTopWindow(p.Pid(), "Warnung"));
  }
}

}  // namespace

void RunCommandLineFill(const FillCase &c) {
  SCOPED_TRACE(c.label);
  CaseTree t;
  std::string folder = c.build(t.tree);
  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(folder) + " " + c.args));
  // The program shows its main window only after the start-up fill and its message.
  if (!c.warning.empty()) {
    EXPECT_EQ(c.warning, AnswerMessageBox(p, "Warnung"));
  }
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main) << "a message box holds the start: " << AnswerMessageBox(p, "Warnung", IDOK)
                           << AnswerMessageBox(p, "Fehler", IDOK);
  CheckFill(p, main, c);
  EXPECT_TRUE(CloseMain(p, main));
}

void RunDialogFill(const FillCase &c) {
  SCOPED_TRACE(c.label);
  CaseTree t;
  std::string folder = c.build(t.tree);
  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(t.tree.Root().substr(0, t.tree.Root().size() - 1))));
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  PostCommand(main, kAddFiles);
  HWND dlg = WaitTopWindow(p.Pid(), "Dateien hinzuf\xFCgen", 10000);
  ASSERT_NE(nullptr, dlg);
  const FillChoices &f = c.choices;
  SetText(GetDlgItem(dlg, 1001), folder);
  SetText(GetDlgItem(dlg, 1002), f.plus);
  SetText(GetDlgItem(dlg, 1003), f.minus);
  SetCheck(dlg, 1045, f.subDirs);
  SetCheck(dlg, 1046, true);
  for (int id : {1049, 1050, 1032}) SetCheck(dlg, id, id == f.writeProtection);
  for (int id : {1053, 1052, 1034, 1040, 1041}) SetCheck(dlg, id, id == f.timeMode);
  SetText(GetDlgItem(dlg, 1054), f.time);
  ClickButton(dlg, IDOK);
  ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  if (!c.warning.empty()) {
    EXPECT_EQ(c.warning, AnswerMessageBox(p, "Warnung"));
  }
  CheckFill(p, main, c);
  EXPECT_TRUE(CloseMain(p, main));
}

}  // namespace e2e
