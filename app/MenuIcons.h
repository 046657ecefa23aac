// Owner-drawn menus with icons: the toolbar's button images beside their commands (normal and
// faded for disabled items), the accelerator texts in a column of their own, and the item
// records that the frame's WM_MEASUREITEM, WM_DRAWITEM and WM_MENUCHAR answers read.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <vector>

// One owner-drawn command item. The menu item's data holds its address with bit 0 set.
struct MenuItemRecord {
  char text[64];     // the item's text, at most 63 characters
  int tab;           // index of the '\t' in the text, -1 without
  WORD icon;         // index in the image lists, 0xFFFF none
  WORD height;       // larger of the icon height and SM_CYMENU
  WORD width;        // label width plus accelerator column
  WORD accelWidth;   // accelerator column
};

// What MeasureMenuText finds.
struct MenuTextSize {
  int label;    // label width with the icon column
  int accel;    // accelerator column (at least 24), 0 without a tab
  int tab;      // index of the '\t', -1 without
  bool noIcon;  // the label ends in a no-break space (0xA0): no icon
};

enum : UINT { MENU_RECENT_FIRST = 57616, MENU_RECENT_LAST = 57631 };

class CMenuIcons {
public:
  CMenuIcons() = default;
  ~CMenuIcons();
  CMenuIcons(const CMenuIcons&) = delete;
  CMenuIcons& operator=(const CMenuIcons&) = delete;

  // Loads toolbar resources (type 241; list ending with 0, at most count entries) and their
  // bitmaps of the same id from inst: icon size from the first, the normal and faded image
  // lists, the command table. TRUE when at least one command id was found (then the pens and
  // the menu font are made too); FALSE changes nothing else.
  BOOL LoadMenuIcons(HINSTANCE inst, const UINT* ids, int count);
  // Turns every item of the menu bar's popups (and their nested popups) into owner-drawn
  // items; recent-file entries are left to PreparePopup.
  void PrepareMenu(HMENU bar);
  // When a popup opens: recent-file entries, separators and new string items become
  // owner-drawn; existing records only give their accelerator widths.
  void PreparePopup(HMENU popup);

  // Label and accelerator widths of a menu text in the menu font (hdc null: the screen's).
  MenuTextSize MeasureMenuText(const char* text, HDC hdc) const;
  // Makes item pos of menu owner-drawn with a new record; returns its accelerator width.
  int OwnerDrawMenuItem(HMENU menu, int pos, const char* text, UINT id, HDC hdc);
  // Every record of the menu gets the accelerator column width (its width follows).
  void SetMenuAccelWidth(HMENU menu, int width);

  // WM_MEASUREITEM / WM_DRAWITEM of a menu item; FALSE for other controls.
  BOOL MeasureItem(MEASUREITEMSTRUCT* mis) const;
  BOOL DrawItem(const DRAWITEMSTRUCT* dis) const;
  // WM_MENUCHAR: the item whose '&' letter is ch (MNC_EXECUTE, or MNC_SELECT when several
  // share it), else 0 (MNC_IGNORE).
  LRESULT MenuChar(UINT ch, HMENU menu) const;

  // The service for other code (the program does not call it itself):
  // The popup (of bar or a popup nested in it) and position of the first item with command id;
  // FALSE when none has it.
  static BOOL FindMenuItem(HMENU bar, UINT id, HMENU* menu, int* pos);
  // The record made here for item pos of menu; null for any other item.
  MenuItemRecord* ItemRecord(HMENU menu, int pos) const;
  // Frees the record of item pos and makes the item a plain empty string item. FALSE when the
  // item has no record made here (it is then unchanged).
  BOOL FreeMenuItem(HMENU menu, int pos);
  // Icon icon (-1: none) for item pos. FALSE when the item has no record or icon lies outside
  // the image lists.
  BOOL SetItemIcon(HMENU menu, int pos, int icon);
  // A new text (at most 63 characters kept) for item pos, measured again in hdc (null: the
  // screen); a longer accelerator widens the popup's accelerator column, a label ending in a
  // no-break space drops the icon. FALSE when the item has no record or text is null.
  BOOL SetItemText(HMENU menu, int pos, const char* text, HDC hdc);
  // Adds an image of the icon size to the normal list (colour 0xC0C0C0 transparent) and its
  // faded copy to the faded list, for command id; menus that open later show it. Returns its
  // index, -1 when the lists are missing or hold 512 icons, id is 0, or the bitmap is null or
  // not of the icon size.
  int AddBitmap(UINT id, HBITMAP bitmap);
  // The same for an icon, drawn to the icon size. -1 as above, or for a null icon.
  int AddIcon(UINT id, HICON icon);

  // The record behind an item's data; null for other data.
  static MenuItemRecord* RecordOf(ULONG_PTR data) {
    return (data & 1) ? reinterpret_cast<MenuItemRecord*>(data & ~(ULONG_PTR)1) : nullptr;
  }
  int IconIndex(UINT command) const;
  int CommandCount() const { return (int)m_commands.size(); }
  SIZE IconSize() const { return m_icon; }
  HIMAGELIST Normal() const { return m_normal; }
  HIMAGELIST Faded() const { return m_faded; }
  const char* RecentText(int slot) const { return slot >= 0 && slot < 16 ? m_recent[slot] : ""; }

private:
  MenuItemRecord* NewRecord();
  // The item's text (empty for non-strings) and its type, data, id and submenu.
  bool ItemInfo(HMENU menu, int pos, char* text, int size, MENUITEMINFOA* mii) const;
  void SetOwnerDraw(HMENU menu, int pos, ULONG_PTR data) const;

  char m_recent[16][64] = {};
  HFONT m_font = nullptr;
  HIMAGELIST m_normal = nullptr, m_faded = nullptr;
  SIZE m_icon = {16, 15};
  std::vector<WORD> m_commands;
  HPEN m_pens[4] = {};
  std::vector<MenuItemRecord*> m_records;  // freed with the object
};
