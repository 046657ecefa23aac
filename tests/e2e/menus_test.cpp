// The owner-drawn menus end to end: their '&' letters still choose items from the keyboard.
#include <gtest/gtest.h>

#include "e2e/support/AppSession.h"

#include <commctrl.h>

using namespace e2e;

namespace {

class Menus : public ::testing::Test {
 protected:
  void SetUp() override { DeleteUserKey(kAppKey); }
  void TearDown() override { DeleteUserKey(kAppKey); }
};

TEST_F(Menus, MnemonicsChooseOwnerDrawnItems) {
  TempTree tree("menus");
  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree))));
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  HWND bar = FindChildById(main, 0xE800);
  ASSERT_NE(nullptr, bar);
  auto flat = [&] { return (GetWindowLongA(bar, GWL_STYLE) & TBSTYLE_FLAT) != 0; };
  const bool before = flat();
  // Alt+A opens "&Ansicht"; F chooses "&Flache Symbolleiste" there, twice over.
  for (bool expected : {!before, before}) {
    PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, 'a');
    Sleep(300);
    PostMessageA(main, WM_CHAR, 'f', 0);
    EXPECT_TRUE(WaitFor([&] { return flat() == expected; }, 5000));
    EXPECT_TRUE(Responds(main));
  }
  // A letter that no item has leaves the menu open; Esc closes it.
  PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, 'a');
  Sleep(300);
  PostMessageA(main, WM_CHAR, 'q', 0);
  PostMessageA(main, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(main, WM_KEYDOWN, VK_ESCAPE, 0);
  Sleep(300);
  EXPECT_EQ(before, flat());
  EXPECT_TRUE(CloseMain(p, main));
}

}  // namespace
