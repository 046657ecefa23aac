// The program's toolbar end to end: its slots and their states as the program keeps them, and
// clicks on its buttons through the control's mouse messages.
#include <gtest/gtest.h>

#include <string>

#include "e2e/support/AppSession.h"
#include "toolkit/ToolbarEx.h"

using namespace e2e;

namespace {

const int kFileList = 21396, kTextSearch = 32772, kInsertAll = 32775, kClearList = 32777;

// The toolbar resource's slots (0 a separator).
const int kSlots[29] = {57635, 57634, 57637, 0,     32772, 32773, 32771, 0,     32775, 32777,
                        0,     32776, 32785, 32778, 32779, 32783, 32781, 32784, 32786, 32794,
                        32787, 32789, 32791, 32795, 32796, 0,     32780, 0,     57664};

LRESULT Ask(HWND w, UINT msg, WPARAM wp) {
  DWORD_PTR r = 0;
  SendMessageTimeoutA(w, msg, wp, 0, SMTO_ABORTIFHUNG, 5000, &r);
  return (LRESULT)r;
}

void ClickButton(HWND bar, int command) {
  RECT r = {};
  ASSERT_EQ(1, SendWithBuffer(bar, TB_GETRECT, command, &r, sizeof r));
  LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  PostMessageA(bar, WM_MOUSEMOVE, 0, at);
  PostMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(bar, WM_LBUTTONUP, 0, at);
}

class Toolbar : public ::testing::Test {
 protected:
  void SetUp() override { DeleteUserKey(kAppKey); }
  void TearDown() override { DeleteUserKey(kAppKey); }
};

TEST_F(Toolbar, SlotsStatesAndClicks) {
  TempTree tree("toolbar");
  tree.Write("a.txt", "a");
  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree))));
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  HWND bar = FindChildById(main, 0xE800), files = FindChildById(main, kFileList);
  ASSERT_TRUE(bar && files);
  char cls[64] = "";
  GetClassNameA(bar, cls, sizeof cls);
  EXPECT_STREQ(TOOLBAREX_CLASSA, cls);
  ASSERT_EQ(29, Ask(bar, TB_BUTTONCOUNT, 0));
  for (int i = 0; i < 29; ++i) {
    bool sep = (Ask(bar, TBX_GETSTYLESTATE, i) & BTNS_SEP) != 0;
    EXPECT_EQ(kSlots[i] == 0, sep) << i;
    if (!sep) {
      EXPECT_EQ(kSlots[i], Ask(bar, TBX_INDEXTOCOMMAND, i)) << i;
    }
  }
  // One row of 16 x 15 images; every slot has its rectangle in it.
  RECT first = {}, last = {};
  ASSERT_EQ(1, SendWithBuffer(bar, TB_GETITEMRECT, 0, &first, sizeof first));
  ASSERT_EQ(1, SendWithBuffer(bar, TB_GETITEMRECT, 28, &last, sizeof last));
  EXPECT_EQ(first.top, last.top);
  EXPECT_EQ(15 + 4 + 7, first.bottom - first.top);
  RECT client;
  GetClientRect(bar, &client);
  EXPECT_GE(client.bottom, first.bottom);
  // States as the program keeps them when idle: the searches need listed files.
  auto state = [&](int id) { return Ask(bar, TB_GETSTATE, id); };
  struct {
    int command;
    bool withoutFiles, withFiles;
  } rows[] = {{kTextSearch, false, true}, {32773, false, true}, {kInsertAll, true, true}, {kClearList, true, true},
              {32771, true, true}, {32780, true, true}, {57664, true, true}};
  for (auto &r : rows)
    EXPECT_TRUE(WaitFor([&] { return ((state(r.command) & TBSTATE_ENABLED) != 0) == r.withoutFiles; }, 5000)) << r.command;
  // A click on a disabled button does nothing; on an enabled one it runs the command.
  ClickButton(bar, kTextSearch);
  ClickButton(bar, kInsertAll);
  EXPECT_EQ(1, SettledCount(p, files));
  EXPECT_EQ(nullptr, FindTopWindow(p.Pid(), "Text Suche"));
  for (auto &r : rows)
    EXPECT_TRUE(WaitFor([&] { return ((state(r.command) & TBSTATE_ENABLED) != 0) == r.withFiles; }, 5000)) << r.command;
  // The flat-style command changes the control's style.
  LONG style = GetWindowLongA(bar, GWL_STYLE);
  PostCommand(main, 32788);
  EXPECT_TRUE(WaitFor([&] { return ((GetWindowLongA(bar, GWL_STYLE) ^ style) & TBSTYLE_FLAT) != 0; }, 5000));
  EXPECT_TRUE(CloseMain(p, main));
}

}  // namespace
