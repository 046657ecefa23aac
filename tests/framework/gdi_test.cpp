// GDI and menu wrappers: selections restored, owned and shared handles, sub-menu wrappers.
#include <gtest/gtest.h>
#include "framework/Framework.h"
#include "framework/support/gui_util.h"

namespace {

TEST(GdiTest, SelectionsAreRestoredAndObjectsDeleted) {
  CDC mem;
  ASSERT_TRUE(mem.CreateCompatibleDC(nullptr));
  HGDIOBJ stockPen = ::GetCurrentObject(mem, OBJ_PEN);
  HGDIOBJ stockBitmap = ::GetCurrentObject(mem, OBJ_BITMAP);
  CBitmap bmp;
  ASSERT_TRUE(bmp.CreateBitmap(8, 8, 1, 32, nullptr));
  {
    CPen red(PS_SOLID, 1, RGB(255, 0, 0));
    CBrush green(RGB(0, 255, 0));
    mem.SelectObject(&bmp);
    mem.SelectObject(&red);
    mem.SelectObject(&green);
    mem.FillSolidRect(0, 0, 8, 8, RGB(0, 0, 255));
    EXPECT_EQ(mem.GetPixel(3, 3), RGB(0, 0, 255));
    mem.RestoreSelections();
    EXPECT_EQ(::GetCurrentObject(mem, OBJ_PEN), stockPen);
    EXPECT_EQ(::GetCurrentObject(mem, OBJ_BITMAP), stockBitmap);
  }
  BITMAP bm;
  EXPECT_EQ(bmp.GetBitmap(&bm), (int)sizeof bm);
  EXPECT_EQ(bm.bmWidth, 8);
  HGDIOBJ h = bmp.Detach();
  EXPECT_EQ(bmp.m_hObject, nullptr);
  EXPECT_TRUE(bmp.Attach(h));
  EXPECT_FALSE(bmp.Attach(h));
  EXPECT_TRUE(bmp.DeleteObject());
  EXPECT_EQ(::GetObjectType(h), 0u);  // gone
}

TEST(MenuTest, SubMenuWrappersAndOwnership) {
  CMenu bar;
  ASSERT_TRUE(bar.CreateMenu());
  HMENU popup = ::CreatePopupMenu();
  ::AppendMenuA(popup, MF_STRING, 100, "&Eins");
  ::AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuA(popup, MF_STRING | MF_GRAYED, 101, "&Zwei");
  bar.AppendMenu(MF_POPUP, (UINT_PTR)popup, "&Datei");
  CMenu* sub = bar.GetSubMenu(0);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub, bar.GetSubMenu(0));
  EXPECT_EQ(sub->m_hMenu, popup);
  EXPECT_EQ(bar.GetSubMenu(1), nullptr);
  EXPECT_EQ(sub->GetMenuItemCount(), 3);
  EXPECT_EQ(sub->GetMenuItemID(1), 0u);
  EXPECT_EQ(bar.GetMenuItemID(0), (UINT)-1);
  CString text;
  sub->GetMenuString(101, text, MF_BYCOMMAND);
  EXPECT_STREQ(text, "&Zwei");
  EXPECT_NE(sub->GetMenuState(101, MF_BYCOMMAND) & MF_GRAYED, 0u);
  // A shared wrapper does not destroy; the owner destroys the bar with its popup.
  {
    CMenu view;
    view.AttachShared(popup);
  }
  EXPECT_TRUE(::IsMenu(popup));
  HMENU hBar = bar.m_hMenu;
  bar.DestroyMenu();
  EXPECT_FALSE(::IsMenu(hBar));
  EXPECT_FALSE(::IsMenu(popup));
}

TEST(WaitCursorTest, NestedWaitsRestoreTheCursor) {
  HCURSOR arrow = ::LoadCursor(nullptr, IDC_ARROW), wait = ::LoadCursor(nullptr, IDC_WAIT);
  ::SetCursor(arrow);
  {
    CWaitCursor outer;
    EXPECT_EQ(::GetCursor(), wait);
    {
      CWaitCursor inner;
    }
    EXPECT_EQ(::GetCursor(), wait);
  }
  EXPECT_EQ(::GetCursor(), arrow);
}

}  // namespace
