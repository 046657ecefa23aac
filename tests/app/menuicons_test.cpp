// Owner-drawn menus with icons: the toolbar resource parser, measuring texts, which items
// become owner-drawn with which records, measured sizes, drawing into a memory device
// context, the '&' letters answered through WM_MENUCHAR, and the frame's menu service for
// other code (items by command id, their icons and texts, added icons, freed records).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/MainFrm.h"
#include "app/MenuIcons.h"
#include "app/Resource.h"
#include "system/Draw.h"
#include "system/RegKeys.h"

namespace {

const HINSTANCE kInst = GetModuleHandleA(nullptr);

MENUITEMINFOA Info(HMENU m, int pos) {
  MENUITEMINFOA mii = {};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_ID;
  GetMenuItemInfoA(m, (UINT)pos, TRUE, &mii);
  return mii;
}

// A 32-bit memory canvas filled with one colour.
struct Canvas {
  Canvas(int w, int h, COLORREF fill) {
    dc = CreateCompatibleDC(nullptr);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
    void* bits;
    bm = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    old = SelectObject(dc, bm);
    RECT r = {0, 0, w, h};
    SetBkColor(dc, fill);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bm);
    DeleteDC(dc);
  }
  HDC dc;
  HBITMAP bm;
  HGDIOBJ old;
};

class MenuIcons : public ::testing::Test {
protected:
  void SetUp() override {
    const UINT ids[] = {128, 0};
    ASSERT_TRUE(icons.LoadMenuIcons(kInst, ids, 2));
    bar = CreateMenu();
    popup = CreatePopupMenu();
    nested = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, 100, "&Ausschneiden\tStrg+X");
    AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(popup, MF_STRING, 999, "&Ohne Knopf");
    AppendMenuA(popup, MF_STRING, 200, "Ende\xA0");
    AppendMenuA(popup, MF_STRING, MENU_RECENT_FIRST, "Letzte Datei");
    AppendMenuA(popup, MF_POPUP, (UINT_PTR)nested, "Mehr");
    AppendMenuA(nested, MF_STRING, 300, "&Tief\tF9");
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)popup, "&Datei");
  }
  void TearDown() override { DestroyMenu(bar); }
  CMenuIcons icons;
  HMENU bar = nullptr, popup = nullptr, nested = nullptr;
};

TEST_F(MenuIcons, ToolbarResourcesGiveIconsAndCommands) {
  EXPECT_EQ(3, icons.CommandCount());
  EXPECT_EQ(16, icons.IconSize().cx);
  EXPECT_EQ(15, icons.IconSize().cy);
  EXPECT_EQ(3, ImageList_GetImageCount(icons.Normal()));
  EXPECT_EQ(3, ImageList_GetImageCount(icons.Faded()));
  struct {
    UINT command;
    int icon;
  } rows[] = {{100, 0}, {200, 1}, {300, 2}, {0, -1}, {999, -1}};
  for (auto& r : rows) EXPECT_EQ(r.icon, icons.IconIndex(r.command)) << r.command;
  // Missing resources are skipped; none at all changes nothing.
  CMenuIcons other;
  const UINT missing[] = {999, 0}, mixed[] = {999, 128, 0};
  EXPECT_FALSE(other.LoadMenuIcons(kInst, missing, 2));
  EXPECT_EQ(nullptr, other.Normal());
  EXPECT_TRUE(other.LoadMenuIcons(kInst, mixed, 3));
  EXPECT_EQ(3, other.CommandCount());
  // The faded icons keep the key transparent and their inside coloured.
  for (HIMAGELIST list : {icons.Normal(), icons.Faded()}) {
    Canvas c(16, 15, RGB(0, 0, 250));
    ImageList_Draw(list, 0, c.dc, 0, 0, ILD_TRANSPARENT);
    EXPECT_EQ(RGB(0, 0, 250), GetPixel(c.dc, 1, 1));
    COLORREF inside = GetPixel(c.dc, 8, 7);
    EXPECT_GT(GetRValue(inside), GetGValue(inside));
    EXPECT_EQ(list == icons.Normal(), inside == RGB(255, 0, 0));
    // A grey that fades to exactly the key colour must not turn transparent.
    Canvas grey(16, 15, RGB(0, 0, 250));
    ImageList_Draw(list, 2, grey.dc, 0, 0, ILD_TRANSPARENT);
    EXPECT_NE(RGB(0, 0, 250), GetPixel(grey.dc, 8, 7));
  }
}

TEST_F(MenuIcons, MeasureMenuTextWithAndWithoutAccelerators) {
  Canvas c(10, 10, 0);
  const int bare = icons.MeasureMenuText("", c.dc).label;
  EXPECT_EQ(16 + 4, bare);
  struct {
    const char* text;
    int tab;
    bool noIcon, shortAccel;
  } rows[] = {{"\xD6" "ffnen\tStrg+Umschalt+O", 6, false, false}, {"Ohne", -1, false, false},
              {"Text\xA0\tF3", 5, true, true}, {"X\tA", 1, false, true}};
  for (auto& r : rows) {
    MenuTextSize s = icons.MeasureMenuText(r.text, c.dc);
    EXPECT_EQ(r.tab, s.tab) << r.text;
    EXPECT_EQ(r.noIcon, s.noIcon) << r.text;
    EXPECT_GT(s.label, bare) << r.text;
    int expected = r.tab < 0 ? 0 : r.shortAccel ? 24 : -1;
    if (expected >= 0) {
      EXPECT_EQ(expected, s.accel) << r.text;
    } else {
      EXPECT_GT(s.accel, 24) << r.text;
    }
  }
}

TEST_F(MenuIcons, StringItemsBecomeOwnerDrawnWithRecords) {
  icons.PrepareMenu(bar);
  struct {
    HMENU menu;
    int pos;
    bool ownerDraw, record;
    WORD icon;
  } rows[] = {{popup, 0, true, true, 0},        {popup, 1, true, false, 0},  {popup, 2, true, true, 0xFFFF},
              {popup, 3, true, true, 0xFFFF},   {popup, 4, false, false, 0}, {popup, 5, false, false, 0},
              {nested, 0, true, true, 2}};
  int accel = -1;
  for (auto& r : rows) {
    MENUITEMINFOA mii = Info(r.menu, r.pos);
    EXPECT_EQ(r.ownerDraw, (mii.fType & MFT_OWNERDRAW) != 0) << r.pos;
    MenuItemRecord* rec = CMenuIcons::RecordOf(mii.dwItemData);
    ASSERT_EQ(r.record, rec != nullptr) << r.pos;
    if (r.ownerDraw && !rec) {
      EXPECT_EQ(0u, mii.dwItemData);
    }
    if (!rec) continue;
    EXPECT_EQ(r.icon, rec->icon) << r.pos;
    if (r.menu == popup) {
      // One accelerator column for the whole popup.
      if (accel < 0) accel = rec->accelWidth;
      EXPECT_EQ(accel, rec->accelWidth);
      EXPECT_EQ(icons.MeasureMenuText(rec->text, nullptr).label + accel, rec->width);
    }
    EXPECT_GE(rec->height, 15);
  }
  EXPECT_GT(accel, 24 + 16 - 1);
  // Opening the popup: a new item and the recent-file entry become owner-drawn too.
  InsertMenuA(popup, 0, MF_BYPOSITION | MF_STRING, 200, "&Neu");
  ModifyMenuA(popup, MENU_RECENT_FIRST, MF_BYCOMMAND | MF_STRING, MENU_RECENT_FIRST, "&1 C:\\a.txt");
  icons.PreparePopup(popup);
  MENUITEMINFOA fresh = Info(popup, 0), recent = Info(popup, 5);
  ASSERT_NE(nullptr, CMenuIcons::RecordOf(fresh.dwItemData));
  EXPECT_EQ(1, CMenuIcons::RecordOf(fresh.dwItemData)->icon);
  ASSERT_TRUE(recent.fType & MFT_OWNERDRAW);
  EXPECT_EQ(0u, recent.dwItemData & 0xFF);
  EXPECT_STREQ("&1 C:\\a.txt", icons.RecentText(0));
  // Measured sizes of records, separators and recent entries.
  struct {
    ULONG_PTR data;
    UINT width, height;
  } sizes[] = {{0, 20, 8}, {recent.dwItemData, (UINT)(recent.dwItemData >> 16), (UINT)((recent.dwItemData >> 8) & 0xFF)},
               {fresh.dwItemData, CMenuIcons::RecordOf(fresh.dwItemData)->width, CMenuIcons::RecordOf(fresh.dwItemData)->height}};
  for (auto& s : sizes) {
    MEASUREITEMSTRUCT mis = {ODT_MENU, 0, 0, 0, 0, s.data};
    EXPECT_TRUE(icons.MeasureItem(&mis));
    EXPECT_EQ(s.width, mis.itemWidth);
    EXPECT_EQ(s.height, mis.itemHeight);
  }
  EXPECT_GT(recent.dwItemData >> 16, 16u + 5u);
  MEASUREITEMSTRUCT list = {ODT_LISTBOX};
  EXPECT_FALSE(icons.MeasureItem(&list));
  // The '&' letters choose items; a letter used twice selects instead of running.
  struct {
    char ch;
    LRESULT answer;
  } keys[] = {{'a', MAKELRESULT(1, MNC_EXECUTE)}, {'O', MAKELRESULT(3, MNC_EXECUTE)}, {'1', MAKELRESULT(5, MNC_EXECUTE)},
              {'z', 0}, {'n', MAKELRESULT(0, MNC_EXECUTE)}};
  for (auto& k : keys) EXPECT_EQ(k.answer, icons.MenuChar((BYTE)k.ch, popup)) << k.ch;
  InsertMenuA(popup, 0, MF_BYPOSITION | MF_STRING, 201, "&Nochmal");
  icons.PreparePopup(popup);
  EXPECT_EQ(MAKELRESULT(0, MNC_SELECT), icons.MenuChar('n', popup));
}

TEST_F(MenuIcons, DrawingKeepsTheIconColumn) {
  icons.PrepareMenu(bar);
  const COLORREF menu = GetSysColor(COLOR_MENU), text = GetSysColor(COLOR_MENUTEXT);
  auto draw = [&](int pos, UINT state, Canvas& c) {
    DRAWITEMSTRUCT dis = {ODT_MENU, 0, 0, 0, state, nullptr, c.dc, {0, 0, 200, 22}, Info(popup, pos).dwItemData};
    EXPECT_TRUE(icons.DrawItem(&dis));
  };
  // The leftmost pixel of the text colour, right of the icon column.
  auto textLeft = [&](Canvas& c) {
    for (int x = 0; x < 200; ++x)
      for (int y = 0; y < 22; ++y)
        if (GetPixel(c.dc, x, y) == text) return x;
    return -1;
  };
  struct {
    int pos;
    UINT state;
    bool red;  // the icon's inside at full colour
  } rows[] = {{0, 0, true}, {0, ODS_DISABLED, false}, {2, ODS_CHECKED, false}};
  int left = -1;
  for (auto& r : rows) {
    Canvas c(200, 22, RGB(1, 2, 3));
    draw(r.pos, r.state, c);
    COLORREF icon = GetPixel(c.dc, 2 + 8, 3 + 7);
    EXPECT_EQ(r.red, icon == RGB(255, 0, 0)) << r.pos;
    EXPECT_EQ(menu, GetPixel(c.dc, 3, 4)) << r.pos;  // the key shows the menu, no grey box
    if (r.state == ODS_DISABLED) {
      EXPECT_GT(GetRValue(icon), GetGValue(icon));
      continue;
    }
    int x = textLeft(c);
    if (r.state == ODS_CHECKED) {
      // The check glyph sits in the icon column; the label starts where the others do.
      EXPECT_LT(x, 16 + 4);
      Canvas plain(200, 22, RGB(1, 2, 3));
      draw(r.pos, 0, plain);
      x = textLeft(plain);
    }
    if (left < 0) left = x;
    EXPECT_EQ(left, x) << r.pos;
    EXPECT_GE(x, 16 + 4);
  }
  // Without the Marlett font the check mark is a drawn tick (not the font's letter "a"): the
  // lowest ink of the icon column left of its middle, the highest right of it.
  UseMarlettFont(false);
  Canvas checked(200, 22, RGB(1, 2, 3));
  draw(2, ODS_CHECKED, checked);
  UseMarlettFont(true);
  const int middle = 2 + 16 / 2;
  int top = -1, bottom = -1;
  for (int y = 0; y < 22; ++y)
    for (int x = 0; x < 16 + 2; ++x)
      if (GetPixel(checked.dc, x, y) == text) {
        if (top < 0) top = y;
        bottom = y;
      }
  ASSERT_GE(top, 0);
  EXPECT_GT(bottom - top, 4);
  for (int x = 0; x < 16 + 2; ++x) {
    if (GetPixel(checked.dc, x, top) == text) {
      EXPECT_GT(x, middle) << "top " << top;
    }
    if (GetPixel(checked.dc, x, bottom) == text) {
      EXPECT_LT(x, middle) << "bottom " << bottom;
    }
  }
  // A separator is a line on the menu colour.
  Canvas c(200, 22, RGB(1, 2, 3));
  draw(1, 0, c);
  EXPECT_EQ(menu, GetPixel(c.dc, 100, 2));
  EXPECT_NE(menu, GetPixel(c.dc, 100, 10));
}

// A bitmap of w x h: a square of colour inside, a one-pixel border of the key colour.
HBITMAP Square(int w, int h, COLORREF inside) {
  HBITMAP bm;
  {
    Canvas c(w, h, RGB(192, 192, 192));
    RECT r = {1, 1, w - 1, h - 1};
    SetBkColor(c.dc, inside);
    ExtTextOutA(c.dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    bm = (HBITMAP)CopyImage(c.bm, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  }
  return bm;
}

// The frame's menu service, driven through a frame built from resource 128 of this program
// (the toolbar and bitmap above and a menu: "&Datei" with 100, a separator, 999 and the
// popup "Mehr" with 300).
class FrameMenuService : public ::testing::Test {
protected:
  void SetUp() override {
    frame = new CMainFrame;
    ASSERT_TRUE(frame->LoadFrame(128, WS_OVERLAPPEDWINDOW));
    bar = GetMenu(frame->m_hWnd);
    popup = GetSubMenu(bar, 0);
    nested = GetSubMenu(popup, 3);
    ASSERT_NE(nullptr, nested);
  }
  void TearDown() override {
    if (frame && frame->m_hWnd) frame->DestroyWindow();  // the frame deletes itself
    RegDeleteTreeA(HKEY_CURRENT_USER, CRegKeys::GetAppKeyPath());
  }
  // The frame's answer to WM_MEASUREITEM for item pos of menu.
  SIZE Measured(HMENU menu, int pos) {
    MEASUREITEMSTRUCT mis = {ODT_MENU, 0, 0, 0, 0, Info(menu, pos).dwItemData};
    frame->SendMessage(WM_MEASUREITEM, 0, (LPARAM)&mis);
    return {LONG(mis.itemWidth), LONG(mis.itemHeight)};
  }
  // The icon column's middle as the frame draws item pos of the popup.
  COLORREF DrawnIcon(int pos, UINT state) {
    Canvas c(200, 22, RGB(1, 2, 3));
    DRAWITEMSTRUCT dis = {ODT_MENU, 0, 0, 0, state, (HWND)popup, c.dc, {0, 0, 200, 22}, Info(popup, pos).dwItemData};
    frame->SendMessage(WM_DRAWITEM, 0, (LPARAM)&dis);
    return GetPixel(c.dc, 2 + 8, 3 + 7);
  }
  MenuItemRecord* Record(HMENU menu, int pos) { return CMenuIcons::RecordOf(Info(menu, pos).dwItemData); }
  CMainFrame* frame = nullptr;
  HMENU bar = nullptr, popup = nullptr, nested = nullptr;
};

TEST_F(FrameMenuService, ItemsByCommandAndTheirIcons) {
  const struct {
    UINT id;
    HMENU* menu;  // null: no item has the id
    int pos, icon;
  } rows[] = {{100, &popup, 0, 0}, {999, &popup, 2, -1}, {300, &nested, 0, 2}, {12345, nullptr, 0, -1}};
  for (const auto& r : rows) {
    HMENU menu = nullptr;
    int pos = -1;
    EXPECT_EQ(r.menu != nullptr, frame->FindMenuItem(r.id, &menu, &pos) != FALSE) << r.id;
    if (r.menu) {
      EXPECT_EQ(*r.menu, menu) << r.id;
      EXPECT_EQ(r.pos, pos) << r.id;
    }
    EXPECT_EQ(r.icon, frame->GetMenuItemIcon(r.id)) << r.id;
  }
  // Icons within the image lists, or none; the frame then draws the item with it.
  const struct {
    UINT id;
    int icon;
    BOOL done;
    int after;
  } sets[] = {{999, 0, TRUE, 0}, {999, 3, FALSE, 0}, {100, -1, TRUE, -1}, {100, -2, FALSE, -1}, {12345, 1, FALSE, -1}};
  for (const auto& s : sets) {
    EXPECT_EQ(s.done, frame->SetMenuItemIcon(s.id, s.icon)) << s.id << " " << s.icon;
    EXPECT_EQ(s.after, frame->GetMenuItemIcon(s.id)) << s.id << " " << s.icon;
  }
  EXPECT_EQ(RGB(255, 0, 0), DrawnIcon(2, 0));
  EXPECT_NE(RGB(255, 0, 0), DrawnIcon(0, 0));
}

TEST_F(FrameMenuService, AddedIconsAndBitmapsWithTheirFadedCopies) {
  HBITMAP blue = Square(16, 15, RGB(0, 0, 255)), green = Square(16, 15, RGB(0, 255, 0));
  HBITMAP wide = Square(20, 15, RGB(0, 0, 255)), mask = CreateBitmap(16, 15, 1, 1, nullptr);
  ICONINFO ii = {TRUE, 0, 0, mask, green};
  {
    Canvas m(1, 1, 0);  // an all-black mask: the icon is opaque, its key-coloured border fades out
    HGDIOBJ old = SelectObject(m.dc, mask);
    PatBlt(m.dc, 0, 0, 16, 15, BLACKNESS);
    SelectObject(m.dc, old);
  }
  HICON icon = CreateIconIndirect(&ii);
  ASSERT_NE(nullptr, icon);
  const struct {
    UINT id;
    HBITMAP bitmap;
    HICON icon;
    int index;
    COLORREF inside;
  } rows[] = {{555, blue, nullptr, 3, RGB(0, 0, 255)},
              {556, nullptr, icon, 4, RGB(0, 255, 0)},
              {557, wide, nullptr, -1, 0},
              {0, blue, nullptr, -1, 0},
              {558, nullptr, nullptr, -1, 0}};
  for (const auto& r : rows) {
    int index = r.icon || !r.bitmap ? frame->AddMenuIcon(r.id, r.icon) : frame->AddMenuBitmap(r.id, r.bitmap);
    ASSERT_EQ(r.index, index) << r.id;
    if (index < 0) continue;
    EXPECT_EQ(index, frame->GetMenuIcons().IconIndex(r.id));
    ASSERT_TRUE(frame->SetMenuItemIcon(999, index));
    EXPECT_EQ(r.inside, DrawnIcon(2, 0)) << r.id;
    COLORREF faded = DrawnIcon(2, ODS_DISABLED);
    EXPECT_NE(r.inside, faded) << r.id;
    EXPECT_NE(GetSysColor(COLOR_MENU), faded) << r.id;
  }
  EXPECT_EQ(5, ImageList_GetImageCount(frame->GetMenuIcons().Normal()));
  EXPECT_EQ(5, ImageList_GetImageCount(frame->GetMenuIcons().Faded()));
  DestroyIcon(icon);
  for (HBITMAP b : {blue, green, wide, mask}) DeleteObject(b);
}

TEST_F(FrameMenuService, NewTextsAreMeasuredAgain) {
  const SIZE before = Measured(popup, 2);
  const WORD column = Record(popup, 0)->accelWidth;
  const char longer[] = "&Ohne Knopf, mit einem l\xE4ngeren Text\tStrg+Umschalt+F12";
  ASSERT_TRUE(frame->OnSetMenuItemText(999, longer));
  const MenuItemRecord* r = Record(popup, 2);
  EXPECT_STREQ(longer, r->text);
  EXPECT_EQ(int(strchr(longer, '\t') - longer), r->tab);
  // The longer accelerator widens the popup's column, for the other items too.
  EXPECT_GT(r->accelWidth, column);
  EXPECT_EQ(r->accelWidth, Record(popup, 0)->accelWidth);
  const SIZE after = Measured(popup, 2);
  EXPECT_EQ(frame->GetMenuIcons().MeasureMenuText(longer, nullptr).label + r->accelWidth, after.cx);
  EXPECT_GT(after.cx, before.cx);
  EXPECT_EQ(before.cy, after.cy);
  // A label ending in a no-break space drops the icon; unknown items and null texts are refused.
  const struct {
    UINT id;
    const char* text;
    BOOL done;
    int icon;
  } rows[] = {{100, "Ende\xA0", TRUE, -1}, {300, "&Tiefer\tF9", TRUE, 2}, {12345, "x", FALSE, -1}, {300, nullptr, FALSE, 2}};
  for (const auto& row : rows) {
    EXPECT_EQ(row.done, frame->OnSetMenuItemText(row.id, row.text)) << row.id;
    EXPECT_EQ(row.icon, frame->GetMenuItemIcon(row.id)) << row.id;
  }
  EXPECT_STREQ("&Tiefer\tF9", Record(nested, 0)->text);
}

TEST_F(FrameMenuService, MessageFreesARecordAndLeavesAPlainEmptyItem) {
  // Another's owner-drawn item whose data looks like a record is left alone.
  AppendMenuA(popup, MF_OWNERDRAW, 777, reinterpret_cast<LPCSTR>(0x1001));
  const struct {
    HMENU menu;
    int pos;
    LRESULT result;
  } rows[] = {{popup, 0, 1}, {popup, 0, 0}, {popup, 1, 0}, {nested, 0, 1}, {popup, 4, 0}, {popup, 99, 0},
              {(HMENU)0x1234, 0, 0}};
  for (const auto& r : rows)
    EXPECT_EQ(r.result, frame->SendMessage(WM_VM_MENU_ICONS, (WPARAM)r.menu, r.pos)) << r.pos;
  for (HMENU menu : {popup, nested}) {
    MENUITEMINFOA mii = Info(menu, 0);
    EXPECT_EQ(0u, mii.fType & MFT_OWNERDRAW);
    EXPECT_EQ(0u, mii.dwItemData);
    char text[16] = "?";
    GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("", text);
  }
  EXPECT_EQ(100u, GetMenuItemID(popup, 0));
  EXPECT_EQ(-1, frame->GetMenuItemIcon(100));
  EXPECT_FALSE(frame->OnSetMenuItemText(100, "x"));
  EXPECT_TRUE(Info(popup, 1).fType & MFT_OWNERDRAW);  // the separator
  EXPECT_EQ(0x1001u, Info(popup, 4).dwItemData);
  EXPECT_TRUE(frame->OnSetMenuItemText(999, "Noch da"));  // 999 keeps its record
}

}  // namespace
