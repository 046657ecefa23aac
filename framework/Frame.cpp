// Frame windows, control bars and the status bar.
#include "framework/Framework.h"

// --- CControlBar --------------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CControlBar, CWnd)

BEGIN_MESSAGE_MAP(CControlBar, CWnd)
  ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
  ON_WM_DESTROY()
END_MESSAGE_MAP()

CControlBar::CControlBar() {}

CControlBar::~CControlBar() {
  if (m_pDockFrame) m_pDockFrame->RemoveControlBar(this);
  if (m_hWnd && m_pfnSuper) DestroyWindow();
}

BOOL CControlBar::CreateBar(DWORD dwExStyle, LPCSTR lpszClass, DWORD dwStyle, CWnd* pParentWnd, UINT nID,
                            DWORD dwCtrlStyle) {
  m_dwStyle = dwStyle & CBRS_ALL;
  DWORD wndStyle = (dwStyle & ~CBRS_ALL) | WS_CHILD | dwCtrlStyle;
  if (!CreateEx(dwExStyle, lpszClass, nullptr, wndStyle, CRect(0, 0, 0, 0), pParentWnd, nID)) return FALSE;
  if (pParentWnd && pParentWnd->IsKindOf(RUNTIME_CLASS(CFrameWnd))) {
    m_pDockFrame = static_cast<CFrameWnd*>(pParentWnd);
    m_pDockFrame->AddControlBar(this);
  }
  return TRUE;
}

CSize CControlBar::CalcFixedLayout(BOOL, BOOL bHorz) {
  CRect r;
  GetWindowRect(&r);
  return bHorz ? CSize(32767, r.Height()) : CSize(r.Width(), 32767);
}

LRESULT CControlBar::OnIdleUpdateCmdUI(WPARAM wParam, LPARAM) {
  if (!IsVisible()) return 0;
  CFrameWnd* pTarget = m_pDockFrame ? m_pDockFrame : GetParentFrame();
  if (pTarget) OnUpdateCmdUI(pTarget, (BOOL)wParam);
  return 0;
}

void CControlBar::OnDestroy() {
  if (m_pDockFrame) {
    m_pDockFrame->RemoveControlBar(this);
    m_pDockFrame = nullptr;
  }
  Default();
}

void CControlBar::PostNcDestroy() {}

// --- CStatusBar ---------------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CStatusBar, CControlBar)

BEGIN_MESSAGE_MAP(CStatusBar, CControlBar)
  ON_WM_SIZE()
END_MESSAGE_MAP()

CStatusBar::CStatusBar() {}

BOOL CStatusBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID) {
  DWORD ctrl = (pParentWnd && (pParentWnd->GetStyle() & WS_THICKFRAME)) ? SBARS_SIZEGRIP : 0;
  if (!CreateBar(0, STATUSCLASSNAMEA, dwStyle, pParentWnd, nID, ctrl)) return FALSE;
  // The control sized itself to its font on creation; from now on the frame places it.
  CRect r;
  GetWindowRect(&r);
  m_cyHeight = r.Height();
  ::SetWindowLongA(m_hWnd, GWL_STYLE, (LONG)(GetStyle() | CCS_NORESIZE | CCS_NOPARENTALIGN));
  UINT id = 0;
  SetIndicators(&id, 1);
  return TRUE;
}

BOOL CStatusBar::SetIndicators(const UINT* lpIDArray, int nIDCount) {
  if (!m_hWnd) return FALSE;
  m_panes.clear();
  for (int i = 0; i < nIDCount; ++i) {
    Pane p;
    p.nID = lpIDArray ? lpIDArray[i] : 0;
    p.nStyle = (i == 0 && p.nID == 0) ? (SBPS_STRETCH | SBPS_NOBORDERS) : SBPS_NORMAL;
    p.cxWidth = 50;
    if (p.nID) {
      CString s;
      if (AfxLoadString(p.nID, s)) {
        int nl = s.Find('\n');
        p.text = nl >= 0 ? s.Left(nl) : s;
        CClientDC dc(this);
        HGDIOBJ old = ::SelectObject(dc, (HFONT)SendMessage(WM_GETFONT));
        p.cxWidth = dc.GetTextExtent(p.text).cx + 8;
        ::SelectObject(dc, old);
      }
    }
    m_panes.push_back(p);
  }
  UpdateParts();
  return TRUE;
}

int CStatusBar::CommandToIndex(UINT nIDFind) const {
  for (size_t i = 0; i < m_panes.size(); ++i)
    if (m_panes[i].nID == nIDFind) return (int)i;
  return -1;
}

UINT CStatusBar::GetItemID(int nIndex) const {
  return nIndex >= 0 && nIndex < GetCount() ? m_panes[nIndex].nID : 0;
}

void CStatusBar::GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const {
  if (nIndex < 0 || nIndex >= GetCount()) {
    nID = nStyle = 0;
    cxWidth = 0;
    return;
  }
  nID = m_panes[nIndex].nID;
  nStyle = m_panes[nIndex].nStyle;
  cxWidth = m_panes[nIndex].cxWidth;
}

void CStatusBar::SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth) {
  if (nIndex < 0 || nIndex >= GetCount()) return;
  Pane& p = m_panes[nIndex];
  bool textType = (p.nStyle & 0x1300) != (nStyle & 0x1300);
  p.nID = nID;
  p.nStyle = nStyle;
  p.cxWidth = cxWidth;
  UpdateParts();
  if (textType) SetPaneText(nIndex, p.text, TRUE);
}

UINT CStatusBar::GetPaneStyle(int nIndex) const {
  return nIndex >= 0 && nIndex < GetCount() ? m_panes[nIndex].nStyle : 0;
}

void CStatusBar::SetPaneStyle(int nIndex, UINT nStyle) {
  if (nIndex < 0 || nIndex >= GetCount()) return;
  SetPaneInfo(nIndex, m_panes[nIndex].nID, nStyle, m_panes[nIndex].cxWidth);
}

CString CStatusBar::GetPaneText(int nIndex) const {
  return nIndex >= 0 && nIndex < GetCount() ? m_panes[nIndex].text : CString();
}

BOOL CStatusBar::SetPaneText(int nIndex, LPCSTR lpszNewText, BOOL bUpdate) {
  if (nIndex < 0 || nIndex >= GetCount() || !m_hWnd) return FALSE;
  Pane& p = m_panes[nIndex];
  p.text = lpszNewText;
  int type = (int)(p.nStyle & 0x0300);
  SendMessage(SB_SETTEXTA, (WPARAM)(nIndex | type), (LPARAM)(LPCSTR)p.text);
  if (bUpdate) UpdateWindow();
  return TRUE;
}

void CStatusBar::GetItemRect(int nIndex, LPRECT lpRect) const { SendMessage(SB_GETRECT, nIndex, (LPARAM)lpRect); }

void CStatusBar::UpdateParts() {
  if (!m_hWnd || m_panes.empty()) return;
  CRect rc;
  GetClientRect(&rc);
  int fixed = 0, stretch = 0;
  for (const Pane& p : m_panes) {
    if (p.nStyle & SBPS_STRETCH)
      ++stretch;
    else
      fixed += p.cxWidth;
  }
  int grip = (GetStyle() & SBARS_SIZEGRIP) ? ::GetSystemMetrics(SM_CXVSCROLL) : 0;
  int rest = rc.Width() - grip - fixed;
  if (rest < 0) rest = 0;
  std::vector<int> edges;
  int x = 0;
  for (const Pane& p : m_panes) {
    x += (p.nStyle & SBPS_STRETCH) ? rest / stretch : p.cxWidth;
    edges.push_back(x);
  }
  edges.back() = -1;  // the last pane reaches the right edge
  SendMessage(SB_SETPARTS, edges.size(), (LPARAM)edges.data());
  for (size_t i = 0; i < m_panes.size(); ++i)
    SendMessage(SB_SETTEXTA, (WPARAM)(i | (m_panes[i].nStyle & 0x0300)), (LPARAM)(LPCSTR)m_panes[i].text);
}

void CStatusBar::OnSize(UINT, int, int) {
  Default();
  UpdateParts();
}

CSize CStatusBar::CalcFixedLayout(BOOL, BOOL) { return CSize(32767, m_cyHeight); }

namespace {
class CStatusCmdUI : public CCmdUI {
public:
  void Enable(BOOL bOn) override {
    m_bEnableChanged = TRUE;
    CStatusBar* bar = static_cast<CStatusBar*>(m_pOther);
    UINT style = bar->GetPaneStyle(m_nIndex);
    UINT newStyle = bOn ? (style & ~SBPS_DISABLED) : (style | SBPS_DISABLED);
    if (newStyle != style) {
      bar->SetPaneStyle(m_nIndex, newStyle);
      if (!bOn) bar->SetPaneText(m_nIndex, "", FALSE);
    }
  }
  void SetCheck(int nCheck) override {
    CStatusBar* bar = static_cast<CStatusBar*>(m_pOther);
    UINT style = bar->GetPaneStyle(m_nIndex);
    UINT newStyle = nCheck ? (style | SBPS_POPOUT) : (style & ~SBPS_POPOUT);
    if (newStyle != style) bar->SetPaneStyle(m_nIndex, newStyle);
  }
  void SetRadio(BOOL bOn) override { SetCheck(bOn); }
  void SetText(LPCSTR lpszText) override {
    CStatusBar* bar = static_cast<CStatusBar*>(m_pOther);
    if (bar->GetPaneText(m_nIndex) != (lpszText ? lpszText : "")) bar->SetPaneText(m_nIndex, lpszText, FALSE);
  }
};
}  // namespace

void CStatusBar::OnUpdateCmdUI(CFrameWnd* pTarget, BOOL) {
  CStatusCmdUI state;
  state.m_pOther = this;
  state.m_nIndexMax = (UINT)GetCount();
  for (int i = 0; i < GetCount(); ++i) {
    state.m_nIndex = i;
    state.m_nID = m_panes[i].nID;
    // Panes are never disabled for want of a handler: their owners set them directly.
    if (state.m_nID) state.DoUpdate(pTarget, FALSE);
  }
}

// --- CFrameWnd ----------------------------------------------------------------------------------

IMPLEMENT_DYNCREATE(CFrameWnd, CWnd)

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_CLOSE()
  ON_WM_DESTROY()
  ON_WM_SETFOCUS()
  ON_WM_INITMENUPOPUP()
  ON_WM_MENUSELECT()
  ON_WM_ERASEBKGND()
  ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdate)
  ON_MESSAGE(WM_SETMESSAGESTRING, OnSetMessageString)
  ON_MESSAGE(WM_EXITMENULOOP, OnExitMenuLoop)
  ON_COMMAND_RANGE(ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, OnBarCheckCommand)
  ON_UPDATE_COMMAND_UI_RANGE(ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, OnUpdateControlBarMenu)
  ON_NOTIFY_RANGE(TTN_GETDISPINFOA, 0, 0xFFFF, OnToolTipText)
  ON_NOTIFY_RANGE(TTN_GETDISPINFOW, 0, 0xFFFF, OnToolTipText)
END_MESSAGE_MAP()

CFrameWnd::CFrameWnd() {}

CFrameWnd::~CFrameWnd() {
  if (m_pbDeleted) *m_pbDeleted = TRUE;
  for (CControlBar* bar : m_controlBars) bar->m_pDockFrame = nullptr;
  m_controlBars.clear();
  if (m_hIcon) ::DestroyIcon(m_hIcon);
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTA& cs) {
  if (!cs.lpszClass)
    cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(nullptr, IDC_ARROW), (HBRUSH)(COLOR_BTNFACE + 1), m_hIcon);
  return cs.lpszClass != nullptr;
}

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext) {
  m_nIDResource = nIDResource;
  HINSTANCE hRes = AfxGetResourceHandle();
  CString doc;
  if (AfxLoadString(nIDResource, doc)) {
    int nl = doc.Find('\n');
    m_strTitle = nl >= 0 ? doc.Left(nl) : doc;
  }
  if (m_strTitle.IsEmpty()) m_strTitle = AfxGetAppName();
  if (!m_hIcon) m_hIcon = (HICON)::LoadImageA(hRes, MAKEINTRESOURCEA(nIDResource), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
  HMENU hMenu = ::LoadMenuA(hRes, MAKEINTRESOURCEA(nIDResource));
  if (!m_hAccelTable) m_hAccelTable = ::LoadAcceleratorsA(hRes, MAKEINTRESOURCEA(nIDResource));
  DWORD style = dwDefaultStyle & ~FWS_ADDTOTITLE;
  if (!CreateEx(0, nullptr, m_strTitle, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                pParentWnd ? pParentWnd->m_hWnd : nullptr, hMenu, pContext)) {
    if (hMenu) ::DestroyMenu(hMenu);
    return FALSE;
  }
  // The window owns its menu and destroys it with itself.
  if (hMenu) m_menu.AttachShared(hMenu);
  OnUpdateFrameTitle(TRUE);
  return TRUE;
}

int CFrameWnd::OnCreate(LPCREATESTRUCTA lpcs) {
  if (Default() == -1) return -1;
  CCreateContext* ctx = static_cast<CCreateContext*>(lpcs->lpCreateParams);
  if (ctx && ctx->m_pNewViewClass && !OnCreateClient(lpcs, ctx)) return -1;
  return 0;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCTA, CCreateContext* pContext) {
  return CreateView(pContext) != nullptr;
}

CWnd* CFrameWnd::CreateView(CCreateContext* pContext, UINT nID) {
  CObject* obj = pContext->m_pNewViewClass->CreateObject();
  if (!obj) return nullptr;
  CWnd* pView = static_cast<CWnd*>(obj);
  // A view that fails after its window existed deletes itself (PostNcDestroy).
  if (!pView->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, nID, pContext)) return nullptr;
  if (!m_pViewActive && pView->IsKindOf(RUNTIME_CLASS(CView))) SetActiveView(static_cast<CView*>(pView));
  return pView;
}

void CFrameWnd::AddControlBar(CControlBar* pBar) {
  for (CControlBar* b : m_controlBars)
    if (b == pBar) return;
  m_controlBars.push_back(pBar);
}

void CFrameWnd::RemoveControlBar(CControlBar* pBar) {
  for (size_t i = 0; i < m_controlBars.size(); ++i)
    if (m_controlBars[i] == pBar) {
      m_controlBars.erase(m_controlBars.begin() + i);
      return;
    }
}

CControlBar* CFrameWnd::GetControlBar(UINT nID) const {
  for (CControlBar* b : m_controlBars)
    if (b->m_hWnd && (UINT)b->GetDlgCtrlID() == nID) return b;
  return nullptr;
}

void CFrameWnd::RecalcLayout(BOOL) {
  if (!m_hWnd) return;
  CRect rc;
  GetClientRect(&rc);
  for (CControlBar* b : m_controlBars) {
    if (!b->IsVisible() || !(b->GetBarStyle() & (CBRS_ALIGN_TOP | CBRS_ALIGN_LEFT))) continue;
    if (b->GetBarStyle() & CBRS_ALIGN_TOP) {
      CSize sz = b->CalcFixedLayout(TRUE, TRUE);
      int cy = sz.cy < rc.Height() ? sz.cy : rc.Height();
      b->MoveWindow(rc.left, rc.top, rc.Width(), cy);
      rc.top += cy;
    } else {
      CSize sz = b->CalcFixedLayout(TRUE, FALSE);
      int cx = sz.cx < rc.Width() ? sz.cx : rc.Width();
      b->MoveWindow(rc.left, rc.top, cx, rc.Height());
      rc.left += cx;
    }
  }
  for (CControlBar* b : m_controlBars) {
    if (!b->IsVisible() || !(b->GetBarStyle() & (CBRS_ALIGN_BOTTOM | CBRS_ALIGN_RIGHT))) continue;
    if (b->GetBarStyle() & CBRS_ALIGN_BOTTOM) {
      CSize sz = b->CalcFixedLayout(TRUE, TRUE);
      int cy = sz.cy < rc.Height() ? sz.cy : rc.Height();
      rc.bottom -= cy;
      b->MoveWindow(rc.left, rc.bottom, rc.Width(), cy);
    } else {
      CSize sz = b->CalcFixedLayout(TRUE, FALSE);
      int cx = sz.cx < rc.Width() ? sz.cx : rc.Width();
      rc.right -= cx;
      b->MoveWindow(rc.right, rc.top, cx, rc.Height());
    }
  }
  m_rectView = rc;
  if (HWND hView = ::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST))
    ::MoveWindow(hView, rc.left, rc.top, rc.Width(), rc.Height(), TRUE);
}

void CFrameWnd::OnSize(UINT nType, int, int) {
  Default();
  if (nType != SIZE_MINIMIZED) RecalcLayout();
}

BOOL CFrameWnd::OnEraseBkgnd(CDC* pDC) {
  // The view and the bars cover the client area; erasing it only flickers.
  if (::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST)) return TRUE;
  return (BOOL)Default();
}

void CFrameWnd::ShowControlBar(CControlBar* pBar, BOOL bShow, BOOL) {
  if (!pBar || !pBar->m_hWnd) return;
  pBar->ShowWindow(bShow ? SW_SHOWNOACTIVATE : SW_HIDE);
  RecalcLayout();
}

BOOL CFrameWnd::OnBarCheck(UINT nID) {
  CControlBar* bar = GetControlBar(nID);
  if (!bar) return FALSE;
  ShowControlBar(bar, !bar->IsVisible());
  return TRUE;
}

void CFrameWnd::OnUpdateControlBarMenu(CCmdUI* pCmdUI) {
  CControlBar* bar = GetControlBar(pCmdUI->m_nID);
  if (!bar) {
    pCmdUI->Enable(FALSE);
    return;
  }
  pCmdUI->SetCheck(bar->IsVisible() ? 1 : 0);
}

CDocument* CFrameWnd::GetActiveDocument() { return m_pViewActive ? m_pViewActive->GetDocument() : nullptr; }

void CFrameWnd::SetActiveView(CView* pViewNew, BOOL) {
  m_pViewActive = pViewNew;
  if (pViewNew) pViewNew->m_pFrameOwner = this;
}

void CFrameWnd::SetMessageText(LPCSTR lpszText) {
  CControlBar* bar = GetControlBar(AFX_IDW_STATUS_BAR);
  if (bar && bar->IsKindOf(RUNTIME_CLASS(CStatusBar))) static_cast<CStatusBar*>(bar)->SetPaneText(0, lpszText);
}

void CFrameWnd::SetMessageText(UINT nID) {
  CString s;
  if (nID == 0) nID = AFX_IDS_IDLEMESSAGE;
  if (AfxLoadString(nID, s)) {
    int nl = s.Find('\n');
    if (nl >= 0) s = s.Left(nl);
  } else if (nID == AFX_IDS_IDLEMESSAGE) {
    s = "Bereit";
  }
  SetMessageText(s);
}

LRESULT CFrameWnd::OnSetMessageString(WPARAM wParam, LPARAM lParam) {
  if (lParam)
    SetMessageText(reinterpret_cast<LPCSTR>(lParam));
  else
    SetMessageText((UINT)wParam);
  return 0;
}

void CFrameWnd::OnMenuSelect(UINT nItemID, UINT nFlags, HMENU hSysMenu) {
  if (nFlags == 0xFFFF && !hSysMenu)
    SetMessageText(AFX_IDS_IDLEMESSAGE);
  else if (nFlags & (MF_POPUP | MF_SEPARATOR))
    SetMessageText("");
  else if (nItemID < 0xF000)
    SetMessageText(nItemID);
  Default();
}

LRESULT CFrameWnd::OnExitMenuLoop(WPARAM wParam, LPARAM lParam) {
  SetMessageText(AFX_IDS_IDLEMESSAGE);
  return DefWindowProc(WM_EXITMENULOOP, wParam, lParam);
}

void CFrameWnd::OnToolTipText(UINT, NMHDR* pNMHDR, LRESULT* pResult) {
  // The tooltip of a button is the second line of its command's string.
  UINT nID = (UINT)pNMHDR->idFrom;
  CString s;
  m_tipText.Empty();
  if (nID && AfxLoadString(nID, s)) {
    int nl = s.Find('\n');
    m_tipText = nl >= 0 ? s.Mid(nl + 1) : s;
  }
  if (pNMHDR->code == TTN_GETDISPINFOA) {
    NMTTDISPINFOA* di = reinterpret_cast<NMTTDISPINFOA*>(pNMHDR);
    di->hinst = nullptr;
    di->lpszText = const_cast<LPSTR>((LPCSTR)m_tipText);
  } else {
    NMTTDISPINFOW* di = reinterpret_cast<NMTTDISPINFOW*>(pNMHDR);
    ::MultiByteToWideChar(CP_ACP, 0, m_tipText, -1, m_tipTextW, 256);
    m_tipTextW[255] = 0;
    di->hinst = nullptr;
    di->lpszText = m_tipTextW;
  }
  *pResult = 0;
}

void CFrameWnd::OnInitMenuPopup(CMenu* pPopupMenu, UINT, BOOL bSysMenu) {
  if (bSysMenu || !pPopupMenu) return;
  CCmdUI state;
  state.m_pMenu = pPopupMenu;
  int count = pPopupMenu->GetMenuItemCount();
  for (int i = 0; i < count; ++i) {
    UINT id = pPopupMenu->GetMenuItemID(i);
    if (id == 0 || id == (UINT)-1) continue;  // separators and sub-popups
    state.m_nIndex = (UINT)i;
    state.m_nIndexMax = (UINT)count;
    state.m_nID = id;
    state.DoUpdate(this, m_bAutoMenuEnable && id < 0xF000);
    // An update may have replaced the item by several (the recent-file list).
    int now = pPopupMenu->GetMenuItemCount();
    i += now - count;
    count = now;
  }
}

LRESULT CFrameWnd::OnIdleUpdate(WPARAM, LPARAM) {
  OnUpdateFrameTitle(TRUE);
  return 0;
}

void CFrameWnd::OnUpdateFrameTitle(BOOL bAddToTitle) {
  if (!m_hWnd) return;
  CString text = m_strTitle;
  CDocument* doc = GetActiveDocument();
  if (bAddToTitle && doc && !doc->GetTitle().IsEmpty()) text = doc->GetTitle() + " - " + m_strTitle;
  CString now;
  GetWindowText(now);
  if (now != text) SetWindowText(text);
}

void CFrameWnd::InitialUpdateFrame(CDocument*, BOOL bMakeVisible) {
  if (!m_pViewActive) {
    CWnd* p = CWnd::FromHandlePermanent(::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST));
    if (p && p->IsKindOf(RUNTIME_CLASS(CView))) SetActiveView(static_cast<CView*>(p));
  }
  SendMessageToDescendants(WM_INITIALUPDATE, 0, 0, TRUE);
  OnUpdateFrameTitle(TRUE);
  if (bMakeVisible && IsWindowVisible()) ActivateFrame();
}

void CFrameWnd::ActivateFrame(int nCmdShow) {
  if (nCmdShow == -1) {
    if (!IsWindowVisible())
      nCmdShow = SW_SHOWNORMAL;
    else if (IsIconic())
      nCmdShow = SW_RESTORE;
  }
  if (nCmdShow != -1) ShowWindow(nCmdShow);
  BringWindowToTop();
}

BOOL CFrameWnd::PreTranslateMessage(MSG* pMsg) {
  if (m_hAccelTable && pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST &&
      ::TranslateAcceleratorA(m_hWnd, m_hAccelTable, pMsg))
    return TRUE;
  return FALSE;
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, FwCmdHandlerInfo* pHandlerInfo) {
  // View (and its document) first, then the frame, then the application.
  if (m_pViewActive && m_pViewActive->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  CWinApp* app = AfxGetApp();
  return app && app->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CFrameWnd::OnClose() {
  CDocument* doc = GetActiveDocument();
  if (doc && !doc->CanCloseFrame(this)) return;
  if (doc)
    doc->OnCloseDocument();  // destroys this frame
  else
    DestroyWindow();
}

void CFrameWnd::OnDestroy() { Default(); }

void CFrameWnd::OnSetFocus(CWnd*) {
  if (m_pViewActive && m_pViewActive->m_hWnd)
    m_pViewActive->SetFocus();
  else
    Default();
}

void CFrameWnd::PostNcDestroy() {
  CWinApp* app = AfxGetApp();
  if (app && app->m_pMainWnd == this) {
    app->m_pMainWnd = nullptr;
    ::PostQuitMessage(0);
  }
  delete this;
}
