// The main frame.
#include "app/MainFrm.h"

#include <string.h>

#include "app/Resource.h"
#include "app/VellmorantView.h"
#include "system/RegKeys.h"
#include "toolkit/WndHelpers.h"

bool TextFromCopyData(const COPYDATASTRUCT* cds, CString& text) {
  text.Empty();
  if (!cds) return false;
  ULONG_PTR code = cds->dwData;
  bool wide = (code & COPYDATA_UTF16) != 0;
  if ((code & ~(ULONG_PTR)COPYDATA_UTF16) != COPYDATA_OPEN_TEXT_SEARCH) return false;
  if (!cds->lpData || cds->cbData == 0) return true;
  if (wide) {
    const WCHAR* w = static_cast<const WCHAR*>(cds->lpData);
    int n = 0, max = (int)(cds->cbData / 2);
    while (n < max && w[n]) ++n;
    // Convert all, then cut to 259 bytes without splitting a double-byte character.
    CString all;
    int need = n ? ::WideCharToMultiByte(CP_ACP, 0, w, n, nullptr, 0, nullptr, nullptr) : 0;
    char* buf = need > 0 ? all.GetBuffer(need) : nullptr;
    int len = buf ? ::WideCharToMultiByte(CP_ACP, 0, w, n, buf, need, nullptr, nullptr) : 0;
    if (buf) all.ReleaseBuffer(len > 0 ? len : 0);
    int cut = 0;
    while (cut < all.GetLength()) {
      int step = ::IsDBCSLeadByte((BYTE)all[cut]) ? 2 : 1;
      if (cut + step > 259 || cut + step > all.GetLength()) break;
      cut += step;
    }
    text = all.Left(cut);
  } else {
    const char* a = static_cast<const char*>(cds->lpData);
    int n = 0, max = (int)(cds->cbData < 1023 ? cds->cbData : 1023);
    while (n < max && a[n]) ++n;
    text = CString(a, n);
  }
  return true;
}

IMPLEMENT_DYNCREATE(CMainFrame, CFrameWnd)

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
  ON_WM_CREATE()
  ON_WM_COPYDATA()
  ON_COMMAND(ID_FLAT_TOOLBAR, OnFlatToolbar)
  ON_UPDATE_COMMAND_UI(ID_FLAT_TOOLBAR, OnUpdateFlatToolbar)
  ON_MESSAGE(WM_VM_STATUS_OP, OnStatusOp)
  ON_MESSAGE(WM_VM_DRAW_STATUS_PANE, OnDrawStatusPane)
  ON_WM_DRAWITEM()
  ON_WM_ERASEBKGND()
  ON_MESSAGE(WM_VM_MENU_ICONS, OnFreeMenuItem)
  ON_MESSAGE(WM_VM_SUPPORTS_COLOR_PANES, OnSupportsColorPanes)
  ON_MESSAGE(WM_VM_OPEN_TEXT_SEARCH, OnOpenTextSearch)
  ON_WM_INITMENUPOPUP()
  ON_WM_MEASUREITEM()
  ON_MESSAGE(WM_MENUCHAR, OnMenuChar)
  ON_WM_CLOSE()
  ON_MESSAGE(WM_ENABLE, OnEnable)
  ON_MESSAGE(WM_QUERYENDSESSION, OnQueryEndSession)
  ON_MESSAGE(WM_ENDSESSION, OnEndSession)
END_MESSAGE_MAP()

CMainFrame::CMainFrame() : m_panes(this, &m_wndStatusBar) {
  m_nFlatMode = 1;
  CRegKeys reg;
  if (reg.Open(nullptr, nullptr, 2) && reg.OpenSubKey("Settings")) {
    DWORD v = m_nFlatMode;
    if (reg.QueryValue(&v, sizeof v, "FlatMode", REG_DWORD)) m_nFlatMode = v;
  }
}

CMainFrame::~CMainFrame() {
  CRegKeys reg;
  if (reg.Open(nullptr, nullptr, 2) && reg.OpenSubKey("Settings")) {
    DWORD v = m_nFlatMode;
    reg.SetValue(&v, sizeof v, "FlatMode", REG_DWORD);
  }
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTA& cs) { return CFrameWnd::PreCreateWindow(cs); }

int CMainFrame::OnCreate(LPCREATESTRUCTA lpcs) {
  if (CFrameWnd::OnCreate(lpcs) == -1) return -1;
  if (!m_wndToolBar.CreateEx(this, m_nFlatMode ? TBSTYLE_FLAT : 0, 0x50402834, CRect(2, 2, 2, 2), AFX_IDW_TOOLBAR) ||
      !m_wndToolBar.LoadToolBar(IDR_MAINFRAME))
    return -1;
  if (!m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, AFX_IDW_STATUS_BAR)) return -1;
  UINT messagePane = ID_SEPARATOR;
  if (!m_wndStatusBar.SetIndicators(&messagePane, 1)) return -1;
  m_wndToolBar.SetBarStyle(m_wndToolBar.GetBarStyle() | CBRS_TOOLTIPS | CBRS_FLYBY | CBRS_SIZE_DYNAMIC);
  m_wndToolBar.EnableDocking(CBRS_ALIGN_ANY);
  EnableDocking(CBRS_ALIGN_ANY);
  DockControlBar(&m_wndToolBar);
  const UINT toolbars[] = {IDR_MAINFRAME, 0};
  if (m_menuIcons.LoadMenuIcons(AfxGetResourceHandle(), toolbars, 1)) m_menuIcons.PrepareMenu(::GetMenu(m_hWnd));
  return 0;
}

BOOL CMainFrame::OnCopyData(CWnd*, COPYDATASTRUCT* cds) {
  CString text;
  if (!TextFromCopyData(cds, text)) return TRUE;
  CVellmorantView* view = GetActiveView() && GetActiveView()->IsKindOf(RUNTIME_CLASS(CVellmorantView))
                              ? static_cast<CVellmorantView*>(GetActiveView())
                              : nullptr;
  // While a job or another dialog runs the request is dropped: the window is busy.
  if (!view || view->IsJobRunning() || !IsWindowEnabled()) return TRUE;
  // Answer the sender first: the dialog opens once this message has returned.
  char* copy = static_cast<char*>(malloc(text.GetLength() + 1));
  if (!copy) return TRUE;
  memcpy(copy, (const char*)text, text.GetLength() + 1);
  if (!PostMessage(WM_VM_OPEN_TEXT_SEARCH, 0, (LPARAM)copy)) free(copy);
  return TRUE;
}

LRESULT CMainFrame::OnOpenTextSearch(WPARAM, LPARAM lParam) {
  char* text = reinterpret_cast<char*>(lParam);
  CView* active = GetActiveView();
  if (active && active->IsKindOf(RUNTIME_CLASS(CVellmorantView))) {
    CVellmorantView* view = static_cast<CVellmorantView*>(active);
    if (!view->IsJobRunning() && IsWindowEnabled()) {
      if (IsIconic()) ShowWindow(SW_RESTORE);
      ForceForegroundWindow(m_hWnd);
      view->DoTextSearch(text ? text : "");
    }
  }
  free(text);
  return 0;
}

void CMainFrame::OnFlatToolbar() {
  m_nFlatMode = m_nFlatMode ? 0 : 1;
  if (!m_wndToolBar.m_hWnd) return;
  m_wndToolBar.ModifyStyle(m_nFlatMode ? 0 : TBSTYLE_FLAT, m_nFlatMode ? TBSTYLE_FLAT : 0);
  if (m_wndToolBar.IsVisible()) {
    // Hiding and showing again makes the frame lay the bar out anew.
    ShowControlBar(&m_wndToolBar, FALSE);
    ShowControlBar(&m_wndToolBar, TRUE);
  } else {
    m_wndToolBar.Invalidate();
  }
}

void CMainFrame::OnUpdateFlatToolbar(CCmdUI* pCmdUI) { pCmdUI->SetCheck(m_nFlatMode ? 1 : 0); }

LRESULT CMainFrame::OnStatusOp(WPARAM wParam, LPARAM lParam) {
  return m_panes.Dispatch(wParam, reinterpret_cast<const DWORD*>(lParam));
}

LRESULT CMainFrame::OnDrawStatusPane(WPARAM, LPARAM lParam) {
  if (lParam) CStatusPaneService::DrawPane(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
  return TRUE;
}

void CMainFrame::OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDIS) {
  if (nIDCtl == AFX_IDW_STATUS_BAR && lpDIS) {
    OnDrawStatusPane(0, (LPARAM)lpDIS);
    return;
  }
  if (m_menuIcons.DrawItem(lpDIS)) return;
  CFrameWnd::OnDrawItem(nIDCtl, lpDIS);
}

BOOL CMainFrame::OnEraseBkgnd(CDC* pDC) {
  // A flat toolbar lets its parent paint its background; the frame's own erase leaves out the
  // view, which paints itself.
  HDC dc = pDC->GetSafeHdc();
  CRect rc;
  GetClientRect(&rc);
  if (::WindowFromDC(dc) == m_hWnd) {
    CRect view = GetViewRect();
    if (!view.IsRectEmpty()) ::ExcludeClipRect(dc, view.left, view.top, view.right, view.bottom);
  }
  ::FillRect(dc, &rc, ::GetSysColorBrush(COLOR_BTNFACE));
  return TRUE;
}

void CMainFrame::OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu) {
  CFrameWnd::OnInitMenuPopup(pPopupMenu, nIndex, bSysMenu);
  if (!bSysMenu && pPopupMenu) m_menuIcons.PreparePopup(pPopupMenu->m_hMenu);
}

void CMainFrame::OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMIS) {
  if (!m_menuIcons.MeasureItem(lpMIS)) CFrameWnd::OnMeasureItem(nIDCtl, lpMIS);
}

LRESULT CMainFrame::OnMenuChar(WPARAM wParam, LPARAM lParam) {
  // Owner-drawn items have no text of the system's: their '&' letters are found here.
  LRESULT r = m_menuIcons.MenuChar(LOWORD(wParam), (HMENU)lParam);
  return r ? r : Default();
}

LRESULT CMainFrame::OnSupportsColorPanes(WPARAM, LPARAM) { return CStatusPaneService::ReadyValue; }

LRESULT CMainFrame::OnFreeMenuItem(WPARAM wParam, LPARAM lParam) {
  return m_menuIcons.FreeMenuItem(reinterpret_cast<HMENU>(wParam), (int)lParam) ? 1 : 0;
}

BOOL CMainFrame::FindMenuItem(UINT id, HMENU* menu, int* pos) {
  return m_hWnd && CMenuIcons::FindMenuItem(::GetMenu(m_hWnd), id, menu, pos);
}

int CMainFrame::GetMenuItemIcon(UINT id) {
  HMENU menu;
  int pos;
  const MenuItemRecord* r = FindMenuItem(id, &menu, &pos) ? m_menuIcons.ItemRecord(menu, pos) : nullptr;
  return r && r->icon != 0xFFFF ? r->icon : -1;
}

BOOL CMainFrame::SetMenuItemIcon(UINT id, int icon) {
  HMENU menu;
  int pos;
  return FindMenuItem(id, &menu, &pos) && m_menuIcons.SetItemIcon(menu, pos, icon);
}

int CMainFrame::AddMenuIcon(UINT id, HICON icon) { return m_menuIcons.AddIcon(id, icon); }

int CMainFrame::AddMenuBitmap(UINT id, HBITMAP bitmap) { return m_menuIcons.AddBitmap(id, bitmap); }

BOOL CMainFrame::OnSetMenuItemText(UINT id, const char* text) {
  HMENU menu;
  int pos;
  return FindMenuItem(id, &menu, &pos) && m_menuIcons.SetItemText(menu, pos, text, nullptr);
}

namespace {

BOOL CALLBACK CloseOwnedDialog(HWND hWnd, LPARAM owner) {
  char cls[16] = "";
  ::GetClassNameA(hWnd, cls, sizeof cls);
  // Only the dialog that takes input: one that it opened itself holds it disabled.
  if (::GetWindow(hWnd, GW_OWNER) == (HWND)owner && ::IsWindowEnabled(hWnd) && !lstrcmpA(cls, "#32770"))
    ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

BOOL CMainFrame::IsBusy() {
  CView* active = GetActiveView();
  BOOL job = active && active->IsKindOf(RUNTIME_CLASS(CVellmorantView)) &&
             static_cast<CVellmorantView*>(active)->IsJobRunning();
  return job || !IsWindowEnabled();
}

void CMainFrame::CancelHolders() {
  // A job's progress window and a command dialog end on WM_CLOSE as on Cancel; a question
  // without a Cancel button stays for the user to answer.
  ::EnumThreadWindows(::GetCurrentThreadId(), CloseOwnedDialog, (LPARAM)m_hWnd);
}

BOOL CMainFrame::OnCmdMsg(UINT nID, int nCode, void* pExtra, FwCmdHandlerInfo* pHandlerInfo) {
  if (nCode == CN_COMMAND && !pHandlerInfo && nID != ID_APP_EXIT && m_hWnd && IsBusy()) return TRUE;
  return CFrameWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CMainFrame::OnClose() {
  if (!IsBusy()) {
    m_bClosePending = FALSE;
    CFrameWnd::OnClose();
    return;
  }
  // Destroying the windows now would pull the view from under the job.
  m_bClosePending = TRUE;
  CancelHolders();
  // Held by a job without a dialog (the result list filling): try again once it has returned.
  if (IsWindowEnabled()) PostMessage(WM_CLOSE);
}

LRESULT CMainFrame::OnEnable(WPARAM wParam, LPARAM) {
  if (wParam && m_bClosePending) PostMessage(WM_CLOSE);
  return Default();
}

LRESULT CMainFrame::OnQueryEndSession(WPARAM, LPARAM) {
  if (!IsBusy()) return TRUE;
  // A job may be rewriting a file: it is stopped, and the program closes once it has ended.
  m_bClosePending = TRUE;
  CancelHolders();
  return FALSE;
}

LRESULT CMainFrame::OnEndSession(WPARAM wParam, LPARAM) {
  // The process may be ended once this returns: the settings are written first.
  if (wParam && !IsBusy()) {
    if (CWinApp* app = AfxGetApp()) app->SaveStdProfileSettings();
    CFrameWnd::OnClose();
  }
  return 0;
}
