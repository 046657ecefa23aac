// Owner-drawn menus with icons.
#include "app/MenuIcons.h"

#include <string.h>

#include <algorithm>

#include "system/Draw.h"

namespace {

const COLORREF kKey = RGB(192, 192, 192);

// A copy of dib faded towards the light grey; pixels of the key colour stay exact and no other
// pixel becomes the key (it would turn transparent).
HBITMAP FadedBitmap(const DibBlock* dib) {
  if (!dib) return nullptr;
  DibBlock* faded = DibConvert(0, dib, 24);
  if (!faded) return nullptr;
  DibBlock* original = DibConvert(0, faded, 24);
  DibBlend(faded, RGB(0xDF, 0xDF, 0xDF), kKey);
  const int w = DibGetWidth(faded), h = DibGetHeight(faded);
  for (int y = 0; original && y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (DibGetPixel(faded, x, y) == kKey && DibGetPixel(original, x, y) != kKey) DibSetPixel(faded, x, y, RGB(193, 192, 192));
  DibFree(original);
  HBITMAP bm = DibCreateBitmap(faded);
  DibFree(faded);
  return bm;
}

int TextWidth(HDC dc, const char* text, int len) {
  RECT r = {0, 0, 0, 0};
  if (len > 0) DrawTextA(dc, text, len, &r, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER);
  return r.right - r.left;
}

// A memory device context on the screen's, with one bitmap selected while it lives.
class MemoryDc {
public:
  explicit MemoryDc(HBITMAP bitmap) : dc_(CreateCompatibleDC(nullptr)) { old_ = dc_ ? SelectObject(dc_, bitmap) : nullptr; }
  ~MemoryDc() {
    if (!dc_) return;
    if (old_) SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  operator HDC() const { return dc_; }

private:
  HDC dc_;
  HGDIOBJ old_ = nullptr;
};

// The icon drawn to size on the key colour (so that it keeps its transparency in the lists).
HBITMAP IconOnKey(HICON icon, SIZE size) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = screen ? CreateCompatibleBitmap(screen, size.cx, size.cy) : nullptr;
  if (screen) ReleaseDC(nullptr, screen);
  if (!bitmap) return nullptr;
  bool drawn = false;
  {
    MemoryDc dc(bitmap);
    RECT all = {0, 0, size.cx, size.cy};
    if (dc) {
      SetBkColor(dc, kKey);
      ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
      drawn = DrawIconEx(dc, 0, 0, icon, size.cx, size.cy, 0, nullptr, DI_NORMAL) != 0;
    }
  }
  if (!drawn) {
    DeleteObject(bitmap);
    return nullptr;
  }
  return bitmap;
}

class ScreenDc {
public:
  ScreenDc(HDC given, HFONT font) : dc_(given ? given : GetDC(nullptr)), own_(!given) {
    old_ = font ? SelectObject(dc_, font) : nullptr;
  }
  ~ScreenDc() {
    if (old_) SelectObject(dc_, old_);
    if (own_) ReleaseDC(nullptr, dc_);
  }
  operator HDC() const { return dc_; }

private:
  HDC dc_;
  bool own_;
  HGDIOBJ old_;
};

int MenuHeight(int iconHeight) {
  int cy = GetSystemMetrics(SM_CYMENU);
  return iconHeight > cy ? iconHeight : cy;
}

}  // namespace

CMenuIcons::~CMenuIcons() {
  if (m_normal) ImageList_Destroy(m_normal);
  if (m_faded) ImageList_Destroy(m_faded);
  if (m_font) DeleteObject(m_font);
  for (HPEN p : m_pens)
    if (p) DeleteObject(p);
  for (MenuItemRecord* r : m_records) HeapFree(GetProcessHeap(), 0, r);
}

BOOL CMenuIcons::LoadMenuIcons(HINSTANCE inst, const UINT* ids, int count) {
  std::vector<WORD> commands;
  HIMAGELIST normal = nullptr, faded = nullptr;
  SIZE icon = m_icon;
  for (int k = 0; k < count && ids[k]; ++k) {
    HRSRC res = FindResourceA(inst, MAKEINTRESOURCEA(ids[k]), MAKEINTRESOURCEA(241));
    HGLOBAL g = res ? LoadResource(inst, res) : nullptr;
    const WORD* p = g ? static_cast<const WORD*>(LockResource(g)) : nullptr;
    DWORD size = res ? SizeofResource(inst, res) : 0;
    if (!p || size < 8 || p[0] != 1 || 8u + 2u * p[3] > size) continue;
    if (!normal) {
      icon.cx = p[1];
      icon.cy = p[2];
      normal = ImageList_Create(icon.cx, icon.cy, ILC_COLOR24 | ILC_MASK, 32, 8);
      faded = ImageList_Create(icon.cx, icon.cy, ILC_COLOR24 | ILC_MASK, 32, 8);
    }
    HBITMAP bm = (HBITMAP)LoadImageA(inst, MAKEINTRESOURCEA(ids[k]), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    if (bm) {
      ImageList_AddMasked(normal, bm, kKey);
      DeleteObject(bm);
    }
    DibBlock* dib = DibLoadResourceA(0, inst, MAKEINTRESOURCEA(ids[k]));
    HBITMAP fb = FadedBitmap(dib);
    DibFree(dib);
    if (fb) {
      ImageList_AddMasked(faded, fb, kKey);
      DeleteObject(fb);
    }
    for (int i = 0; i < p[3] && commands.size() < 512; ++i)
      if (p[4 + i]) commands.push_back(p[4 + i]);
  }
  if (commands.empty()) {
    if (normal) ImageList_Destroy(normal);
    if (faded) ImageList_Destroy(faded);
    return FALSE;
  }
  if (m_normal) ImageList_Destroy(m_normal);
  if (m_faded) ImageList_Destroy(m_faded);
  m_normal = normal;
  m_faded = faded;
  m_icon = icon;
  m_commands = commands;
  if (!m_pens[0]) {
    m_pens[0] = CreatePen(PS_SOLID, 2, RGB(0, 0x80, 0));
    m_pens[1] = CreatePen(PS_SOLID, 1, RGB(0, 0xFF, 0));
    m_pens[2] = CreatePen(PS_SOLID, 2, RGB(0x80, 0x80, 0x80));
    m_pens[3] = CreatePen(PS_SOLID, 1, RGB(0xDE, 0xDE, 0xDE));
  }
  if (!m_font) {
    NONCLIENTMETRICSA ncm = {};
    ncm.cbSize = sizeof ncm;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) m_font = CreateFontIndirectA(&ncm.lfMenuFont);
  }
  return TRUE;
}

int CMenuIcons::IconIndex(UINT command) const {
  if (!command) return -1;
  for (int i = (int)m_commands.size() - 1; i >= 0; --i)
    if (m_commands[i] == command) return i;
  return -1;
}

MenuItemRecord* CMenuIcons::NewRecord() {
  auto* r = static_cast<MenuItemRecord*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(MenuItemRecord)));
  if (r) m_records.push_back(r);
  return r;
}

bool CMenuIcons::ItemInfo(HMENU menu, int pos, char* text, int size, MENUITEMINFOA* mii) const {
  memset(mii, 0, sizeof *mii);
  mii->cbSize = sizeof *mii;
  mii->fMask = MIIM_FTYPE | MIIM_ID | MIIM_DATA | MIIM_SUBMENU | MIIM_STRING;
  mii->dwTypeData = text;
  mii->cch = (UINT)size;
  text[0] = 0;
  if (!GetMenuItemInfoA(menu, (UINT)pos, TRUE, mii)) return false;
  if (mii->fType & (MFT_OWNERDRAW | MFT_SEPARATOR | MFT_BITMAP)) text[0] = 0;
  return true;
}

void CMenuIcons::SetOwnerDraw(HMENU menu, int pos, ULONG_PTR data) const {
  MENUITEMINFOA mii = {};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_FTYPE | MIIM_DATA;
  GetMenuItemInfoA(menu, (UINT)pos, TRUE, &mii);
  mii.fMask = MIIM_FTYPE | MIIM_DATA;
  mii.fType = (mii.fType & ~(MFT_STRING | MFT_BITMAP)) | MFT_OWNERDRAW;
  mii.dwItemData = data;
  SetMenuItemInfoA(menu, (UINT)pos, TRUE, &mii);
}

MenuTextSize CMenuIcons::MeasureMenuText(const char* text, HDC hdc) const {
  MenuTextSize s = {0, 0, -1, false};
  ScreenDc dc(hdc, m_font);
  const char* tab = strchr(text, '\t');
  int labelLen = tab ? (int)(tab - text) : (int)strlen(text);
  s.label = TextWidth(dc, text, labelLen) + m_icon.cx + 4;
  s.noIcon = labelLen > 0 && (BYTE)text[labelLen - 1] == 0xA0;
  if (tab) {
    s.tab = labelLen;
    int w = TextWidth(dc, tab + 1, (int)strlen(tab + 1)) + 2;
    s.accel = w < 24 ? 24 : w;
  }
  return s;
}

int CMenuIcons::OwnerDrawMenuItem(HMENU menu, int pos, const char* text, UINT id, HDC hdc) {
  MenuTextSize s = MeasureMenuText(text, hdc);
  MenuItemRecord* r = NewRecord();
  if (!r) return 0;
  lstrcpynA(r->text, text, sizeof r->text);
  r->tab = s.tab < (int)sizeof r->text - 1 ? s.tab : -1;
  int icon = s.noIcon ? -1 : IconIndex(id);
  r->icon = icon < 0 ? 0xFFFF : (WORD)icon;
  r->height = (WORD)MenuHeight(m_icon.cy);
  r->accelWidth = (WORD)s.accel;
  r->width = (WORD)(s.label + s.accel);
  SetOwnerDraw(menu, pos, (ULONG_PTR)r | 1);
  return s.accel;
}

void CMenuIcons::SetMenuAccelWidth(HMENU menu, int width) {
  int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    MENUITEMINFOA mii = {};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE | MIIM_DATA;
    if (!GetMenuItemInfoA(menu, (UINT)i, TRUE, &mii) || !(mii.fType & MFT_OWNERDRAW)) continue;
    MenuItemRecord* r = RecordOf(mii.dwItemData);
    if (!r) continue;
    r->width = (WORD)(r->width + width - r->accelWidth);
    r->accelWidth = (WORD)width;
  }
}

void CMenuIcons::PrepareMenu(HMENU bar) {
  HMENU stack[64];
  int depth = 0;
  for (int i = GetMenuItemCount(bar) - 1; i >= 0 && depth < 64; --i) {
    HMENU sub = GetSubMenu(bar, i);
    if (sub) stack[depth++] = sub;
  }
  while (depth > 0) {
    HMENU popup = stack[--depth];
    int maxAccel = 0, n = GetMenuItemCount(popup);
    for (int i = 0; i < n; ++i) {
      char text[256];
      MENUITEMINFOA mii;
      if (!ItemInfo(popup, i, text, sizeof text, &mii)) continue;
      if (mii.hSubMenu) {
        if (depth < 64) stack[depth++] = mii.hSubMenu;
      } else if (mii.fType & MFT_SEPARATOR) {
        SetOwnerDraw(popup, i, 0);
      } else if (!(mii.fType & (MFT_OWNERDRAW | MFT_BITMAP)) && (mii.wID < MENU_RECENT_FIRST || mii.wID > MENU_RECENT_LAST)) {
        int a = OwnerDrawMenuItem(popup, i, text, mii.wID, nullptr);
        if (a > maxAccel) maxAccel = a;
      }
    }
    SetMenuAccelWidth(popup, maxAccel + 16);
  }
}

void CMenuIcons::PreparePopup(HMENU popup) {
  int maxAccel = 0, made = 0;
  for (int i = GetMenuItemCount(popup) - 1; i >= 0; --i) {
    char text[256];
    MENUITEMINFOA mii;
    if (!ItemInfo(popup, i, text, sizeof text, &mii) || mii.hSubMenu) continue;
    if (mii.fType & MFT_OWNERDRAW) {
      if (MenuItemRecord* r = RecordOf(mii.dwItemData))
        if (r->accelWidth > maxAccel) maxAccel = r->accelWidth;
      continue;
    }
    if (mii.wID >= MENU_RECENT_FIRST && mii.wID <= MENU_RECENT_LAST && !(mii.fType & MFT_SEPARATOR)) {
      int slot = (int)(mii.wID - MENU_RECENT_FIRST);
      lstrcpynA(m_recent[slot], text, sizeof m_recent[slot]);
      ScreenDc dc(nullptr, m_font);
      int width = m_icon.cx + TextWidth(dc, text, (int)strlen(text)) + 5;
      int height = MenuHeight(m_icon.cy);
      SetOwnerDraw(popup, i, (ULONG_PTR)width << 16 | (ULONG_PTR)height << 8 | (ULONG_PTR)(slot * 4));
    } else if (mii.fType & (MFT_SEPARATOR | MFT_BITMAP)) {
      SetOwnerDraw(popup, i, 0);
    } else {
      int a = OwnerDrawMenuItem(popup, i, text, mii.wID, nullptr);
      if (a > maxAccel) maxAccel = a;
      ++made;
    }
  }
  if (made) SetMenuAccelWidth(popup, maxAccel);
}

MenuItemRecord* CMenuIcons::ItemRecord(HMENU menu, int pos) const {
  MENUITEMINFOA mii = {};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_FTYPE | MIIM_DATA;
  if (!menu || !GetMenuItemInfoA(menu, (UINT)pos, TRUE, &mii) || !(mii.fType & MFT_OWNERDRAW)) return nullptr;
  // Only records made here: the data of another's owner-drawn item is not ours to read or free.
  MenuItemRecord* r = RecordOf(mii.dwItemData);
  return r && std::find(m_records.begin(), m_records.end(), r) != m_records.end() ? r : nullptr;
}

BOOL CMenuIcons::FindMenuItem(HMENU bar, UINT id, HMENU* menu, int* pos) {
  HMENU stack[64];
  int depth = 0;
  if (bar) stack[depth++] = bar;
  while (depth > 0) {
    HMENU m = stack[--depth];
    const int n = GetMenuItemCount(m);
    for (int i = 0; i < n; ++i) {
      HMENU sub = GetSubMenu(m, i);
      if (sub) {
        if (depth < 64) stack[depth++] = sub;
      } else if (GetMenuItemID(m, i) == id) {
        *menu = m;
        *pos = i;
        return TRUE;
      }
    }
  }
  return FALSE;
}

BOOL CMenuIcons::FreeMenuItem(HMENU menu, int pos) {
  MenuItemRecord* r = ItemRecord(menu, pos);
  if (!r) return FALSE;
  MENUITEMINFOA mii = {};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_FTYPE;
  GetMenuItemInfoA(menu, (UINT)pos, TRUE, &mii);
  mii.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_STRING;
  mii.fType &= ~(MFT_OWNERDRAW | MFT_BITMAP | MFT_SEPARATOR);
  mii.dwItemData = 0;
  mii.dwTypeData = const_cast<char*>("");
  if (!SetMenuItemInfoA(menu, (UINT)pos, TRUE, &mii)) return FALSE;
  m_records.erase(std::find(m_records.begin(), m_records.end(), r));
  HeapFree(GetProcessHeap(), 0, r);
  return TRUE;
}

BOOL CMenuIcons::SetItemIcon(HMENU menu, int pos, int icon) {
  MenuItemRecord* r = ItemRecord(menu, pos);
  if (!r || icon < -1 || icon >= (m_normal ? ImageList_GetImageCount(m_normal) : 0)) return FALSE;
  r->icon = icon < 0 ? 0xFFFF : (WORD)icon;
  return TRUE;
}

BOOL CMenuIcons::SetItemText(HMENU menu, int pos, const char* text, HDC hdc) {
  MenuItemRecord* r = ItemRecord(menu, pos);
  if (!r || !text) return FALSE;
  const MenuTextSize s = MeasureMenuText(text, hdc);
  lstrcpynA(r->text, text, sizeof r->text);
  r->tab = s.tab < (int)sizeof r->text - 1 ? s.tab : -1;
  if (s.noIcon) r->icon = 0xFFFF;
  r->width = (WORD)(s.label + r->accelWidth);
  // A longer accelerator widens the column of the whole popup.
  if (s.accel > r->accelWidth) SetMenuAccelWidth(menu, s.accel);
  // Setting the item again makes the menu ask for its size anew.
  SetOwnerDraw(menu, pos, (ULONG_PTR)r | 1);
  return TRUE;
}

int CMenuIcons::AddBitmap(UINT id, HBITMAP bitmap) {
  // The faded copy is taken first: adding with a mask may change the bitmap given.
  DibBlock* dib = bitmap ? DibFromBitmap(0, bitmap) : nullptr;
  const int index = m_normal ? ImageList_GetImageCount(m_normal) : -1;
  bool fits = dib && id && index >= (int)m_commands.size() && index < 512 &&
              ImageList_GetImageCount(m_faded) == index && DibGetWidth(dib) == m_icon.cx &&
              DibGetHeight(dib) == m_icon.cy;
  HBITMAP faded = fits ? FadedBitmap(dib) : nullptr;
  DibFree(dib);
  if (!faded) return -1;
  bool added = false;
  if (ImageList_AddMasked(m_normal, bitmap, kKey) == index) {
    added = ImageList_AddMasked(m_faded, faded, kKey) == index;
    if (!added) ImageList_Remove(m_normal, index);
  }
  DeleteObject(faded);
  if (!added) return -1;
  // Entry n of the table names the command of icon n.
  m_commands.resize(index, 0);
  m_commands.push_back((WORD)id);
  return index;
}

int CMenuIcons::AddIcon(UINT id, HICON icon) {
  HBITMAP bitmap = icon ? IconOnKey(icon, m_icon) : nullptr;
  if (!bitmap) return -1;
  const int index = AddBitmap(id, bitmap);
  DeleteObject(bitmap);
  return index;
}

BOOL CMenuIcons::MeasureItem(MEASUREITEMSTRUCT* mis) const {
  if (!mis || mis->CtlType != ODT_MENU) return FALSE;
  ULONG_PTR data = mis->itemData;
  if (MenuItemRecord* r = RecordOf(data)) {
    mis->itemWidth = r->width;
    mis->itemHeight = r->height;
  } else if (data == 0) {
    mis->itemWidth = 20;
    mis->itemHeight = 8;
  } else {
    mis->itemWidth = (UINT)(data >> 16);
    mis->itemHeight = (UINT)((data >> 8) & 0xFF);
  }
  return TRUE;
}

BOOL CMenuIcons::DrawItem(const DRAWITEMSTRUCT* dis) const {
  if (!dis || dis->CtlType != ODT_MENU) return FALSE;
  HDC dc = dis->hDC;
  RECT rc = dis->rcItem;
  const bool disabled = (dis->itemState & (ODS_DISABLED | ODS_GRAYED)) != 0;
  const bool selected = (dis->itemState & ODS_SELECTED) && !disabled;
  const bool checked = (dis->itemState & ODS_CHECKED) != 0;
  const COLORREF back = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU);
  SetBkColor(dc, back);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
  const ULONG_PTR data = dis->itemData;
  if (data == 0) {
    // A separator: an etched line through the middle.
    int y = (rc.top + rc.bottom) / 2 - 1;
    RECT line = {rc.left + 2, y, rc.right - 2, y + 1};
    SetBkColor(dc, GetSysColor(COLOR_BTNSHADOW));
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);
    OffsetRect(&line, 0, 1);
    SetBkColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);
    return TRUE;
  }
  const MenuItemRecord* r = RecordOf(data);
  const char* text = r ? r->text : RecentText((int)((data & 0xFF) / 4));
  const int column = m_icon.cx + 4;
  // The icon column: the icon, framed when checked, or a check glyph.
  RECT iconRect = {rc.left + 2, rc.top + (rc.bottom - rc.top - m_icon.cy) / 2, rc.left + 2 + m_icon.cx,
                   rc.top + (rc.bottom - rc.top - m_icon.cy) / 2 + m_icon.cy};
  if (r && r->icon != 0xFFFF) {
    ImageList_Draw(disabled ? m_faded : m_normal, r->icon, dc, iconRect.left, iconRect.top, ILD_TRANSPARENT);
    if (checked) {
      RECT f = iconRect;
      InflateRect(&f, 1, 1);
      Draw3dFrame(dc, &f);
    }
  } else if (checked) {
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    DrawMarlettGlyph(dc, &iconRect, MARLETT_CHECK | (disabled ? DMG_DISABLED : 0));
  }
  // The label and the accelerator.
  HGDIOBJ oldFont = m_font ? SelectObject(dc, m_font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
  UINT flags = DT_SINGLELINE | DT_VCENTER | DT_LEFT | ((dis->itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0);
  int labelLen = r && r->tab >= 0 ? r->tab : (int)strlen(text);
  RECT tr = {rc.left + column + 2, rc.top, rc.right, rc.bottom};
  if (r && r->tab >= 0) tr.right = rc.right - r->accelWidth;
  DrawTextA(dc, text, labelLen, &tr, flags);
  if (r && r->tab >= 0) {
    RECT ar = {rc.right - r->accelWidth, rc.top, rc.right - 4, rc.bottom};
    DrawTextA(dc, r->text + r->tab + 1, -1, &ar, flags | DT_NOPREFIX);
  }
  if (oldFont) SelectObject(dc, oldFont);
  return TRUE;
}

LRESULT CMenuIcons::MenuChar(UINT ch, HMENU menu) const {
  const UINT want = (UINT)(UINT_PTR)CharUpperA((LPSTR)(UINT_PTR)(BYTE)ch);
  int found = -1, matches = 0, n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    MENUITEMINFOA mii = {};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_STATE;
    if (!GetMenuItemInfoA(menu, (UINT)i, TRUE, &mii) || !(mii.fType & MFT_OWNERDRAW) || !mii.dwItemData) continue;
    const MenuItemRecord* r = RecordOf(mii.dwItemData);
    const char* text = r ? r->text : RecentText((int)((mii.dwItemData & 0xFF) / 4));
    int end = r && r->tab >= 0 ? r->tab : (int)strlen(text);
    for (int k = 0; k + 1 < end; ++k) {
      if (text[k] != '&') continue;
      if (text[k + 1] == '&') {
        ++k;
        continue;
      }
      if ((UINT)(UINT_PTR)CharUpperA((LPSTR)(UINT_PTR)(BYTE)text[k + 1]) == want) {
        if (matches++ == 0) found = i;
      }
      break;
    }
  }
  if (found < 0) return 0;
  return MAKELRESULT(found, matches > 1 ? MNC_SELECT : MNC_EXECUTE);
}
