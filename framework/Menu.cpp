// Menus.
#include "framework/Framework.h"

BOOL CMenu::Attach(HMENU hMenu) {
  if (m_hMenu || !hMenu) return FALSE;
  m_hMenu = hMenu;
  m_bOwned = TRUE;
  return TRUE;
}

BOOL CMenu::AttachShared(HMENU hMenu) {
  if (m_hMenu || !hMenu) return FALSE;
  m_hMenu = hMenu;
  m_bOwned = FALSE;
  return TRUE;
}

HMENU CMenu::Detach() {
  HMENU h = m_hMenu;
  m_subMenus.clear();
  m_hMenu = nullptr;
  m_bOwned = FALSE;
  return h;
}

BOOL CMenu::DestroyMenu() {
  if (!m_hMenu) return FALSE;
  BOOL owned = m_bOwned;
  HMENU h = Detach();
  if (owned) ::DestroyMenu(h);
  return TRUE;
}

BOOL CMenu::LoadMenu(UINT nIDResource) {
  return Attach(::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource)));
}

int CMenu::GetMenuString(UINT nIDItem, CString& rString, UINT nFlags) const {
  int n = ::GetMenuStringA(m_hMenu, nIDItem, nullptr, 0, nFlags);
  char* buf = rString.GetBuffer(n + 1);
  if (!buf) return 0;
  n = ::GetMenuStringA(m_hMenu, nIDItem, buf, n + 1, nFlags);
  rString.ReleaseBuffer(n);
  return n;
}

CMenu* CMenu::GetSubMenu(int nPos) {
  HMENU h = ::GetSubMenu(m_hMenu, nPos);
  if (!h) return nullptr;
  std::unique_ptr<CMenu>& slot = m_subMenus[h];
  if (!slot) {
    slot.reset(new CMenu);
    slot->AttachShared(h);
  }
  return slot.get();
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect) {
  return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd ? pWnd->m_hWnd : nullptr, lpRect);
}
