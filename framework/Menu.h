// CMenu: owner of a menu handle. Menus it loads or creates are destroyed with it unless they
// were detached (for example after being given to a window); wrapped handles are left alone.
#pragma once
#include <windows.h>
#include <map>
#include <memory>
#include "framework/String.h"

class CWnd;

class CMenu {
public:
  HMENU m_hMenu = nullptr;
  CMenu() {}
  ~CMenu() { DestroyMenu(); }
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;
  operator HMENU() const { return m_hMenu; }
  HMENU GetSafeHmenu() const { return m_hMenu; }

  // Takes ownership of hMenu. FALSE when a menu is already held.
  BOOL Attach(HMENU hMenu);
  // Wraps hMenu without owning it (menus of windows, popups handed to handlers).
  BOOL AttachShared(HMENU hMenu);
  HMENU Detach();
  // Destroys an owned menu, lets go of a shared one.
  BOOL DestroyMenu();

  BOOL LoadMenu(UINT nIDResource);
  BOOL CreateMenu() { return Attach(::CreateMenu()); }
  BOOL CreatePopupMenu() { return Attach(::CreatePopupMenu()); }

  BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr) {
    return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
  }
  BOOL InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr) {
    return ::InsertMenuA(m_hMenu, nPosition, nFlags, nIDNewItem, lpszNewItem);
  }
  BOOL ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr) {
    return ::ModifyMenuA(m_hMenu, nPosition, nFlags, nIDNewItem, lpszNewItem);
  }
  BOOL RemoveMenu(UINT nPosition, UINT nFlags) { return ::RemoveMenu(m_hMenu, nPosition, nFlags); }
  BOOL DeleteMenu(UINT nPosition, UINT nFlags) { return ::DeleteMenu(m_hMenu, nPosition, nFlags); }
  UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable) { return ::EnableMenuItem(m_hMenu, nIDEnableItem, nEnable); }
  UINT CheckMenuItem(UINT nIDCheckItem, UINT nCheck) { return (UINT)::CheckMenuItem(m_hMenu, nIDCheckItem, nCheck); }
  UINT GetMenuState(UINT nID, UINT nFlags) const { return ::GetMenuState(m_hMenu, nID, nFlags); }
  int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
  // The item's command id; -1 (as UINT) for an item that opens a popup, 0 for a separator.
  UINT GetMenuItemID(int nPos) const { return ::GetMenuItemID(m_hMenu, nPos); }
  int GetMenuString(UINT nIDItem, CString& rString, UINT nFlags) const;
  BOOL SetDefaultItem(UINT uItem, BOOL fByPos = FALSE) { return ::SetMenuDefaultItem(m_hMenu, uItem, fByPos); }
  BOOL SetMenuItemBitmaps(UINT nPosition, UINT nFlags, HBITMAP hUnchecked, HBITMAP hChecked) {
    return ::SetMenuItemBitmaps(m_hMenu, nPosition, nFlags, hUnchecked, hChecked);
  }
  // A wrapper of the popup at nPos, owned by this object and valid while it lives; NULL when
  // the item opens no popup.
  CMenu* GetSubMenu(int nPos);
  // Opens the popup; with TPM_RETURNCMD the chosen command (0 for none) is returned.
  BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect = nullptr);

private:
  BOOL m_bOwned = FALSE;
  std::map<HMENU, std::unique_ptr<CMenu>> m_subMenus;
};
