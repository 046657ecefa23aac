// CWnd: the window wrapper. Attaches to a window handle (by creation, Attach or subclassing),
// dispatches its messages through the message maps, routes commands and reflects child
// notifications (owner draw, combo and list notifications) back to wrapped controls.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "framework/CmdTarget.h"
#include "framework/String.h"
#include "framework/Types.h"

class CDC;
class CFont;
class CMenu;
class CFrameWnd;
struct CCreateContext;

class CWnd : public CCmdTarget {
  DECLARE_DYNAMIC(CWnd)
public:
  HWND m_hWnd = nullptr;

  CWnd();
  // Destroys a window that is still attached (its handlers no longer run as this class).
  virtual ~CWnd();

  operator HWND() const { return m_hWnd; }
  HWND GetSafeHwnd() const { return m_hWnd; }

  // The wrapper attached to hWnd, else a temporary wrapper owned by the calling thread and freed
  // when it next goes idle. NULL for a NULL handle.
  static CWnd* FromHandle(HWND hWnd);
  // The wrapper attached to hWnd, or NULL.
  static CWnd* FromHandlePermanent(HWND hWnd);
  // Frees the calling thread's temporary wrappers (the message loop does this when idle).
  static void DeleteTempMap();

  // Associates the object with an existing window without subclassing it (no messages reach the
  // map). FALSE when the object already has a window or hWnd is attached elsewhere.
  BOOL Attach(HWND hWnd);
  // Undoes Attach or SubclassWindow and returns the handle.
  HWND Detach();
  // Attaches and routes the window's messages through this object's map; the former window
  // procedure serves as the default. FALSE when attached elsewhere, not a window or another
  // program's window.
  BOOL SubclassWindow(HWND hWnd);
  BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
  // Restores the former window procedure and detaches; returns the handle.
  HWND UnsubclassWindow();

  // Creation. The window is attached before its first message. A child (pParentWnd set and no
  // WS_POPUP) always gets WS_CHILD. lpszClassName NULL uses the framework's default class.
  virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
  BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu,
                LPVOID lpParam = nullptr);
  BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);
  virtual BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                      CWnd* pParentWnd, UINT nID, CCreateContext* pContext = nullptr);
  virtual BOOL DestroyWindow();

  // Messages.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The default processing of the message being handled now.
  LRESULT Default();
  // TRUE when the message was translated and must not be dispatched.
  virtual BOOL PreTranslateMessage(MSG* pMsg);
  // Walks from pMsg->hwnd up to this window asking each wrapper's PreTranslateMessage.
  static BOOL WalkPreTranslateTree(HWND hWndStop, MSG* pMsg);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
  }
  void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, BOOL bDeep = TRUE);
  static void SendMessageToDescendants(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep);

  // Text.
  void SetWindowText(LPCSTR lpszString) { ::SetWindowTextA(m_hWnd, lpszString); }
  int GetWindowText(LPSTR lpszString, int nMaxCount) const { return ::GetWindowTextA(m_hWnd, lpszString, nMaxCount); }
  void GetWindowText(CString& rString) const;
  int GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }

  // Children and dialog items.
  CWnd* GetDlgItem(int nID) const;
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  void SetDlgItemText(int nID, LPCSTR lpszString) { ::SetDlgItemTextA(m_hWnd, nID, lpszString); }
  int GetDlgItemText(int nID, CString& rString) const;
  void SetDlgItemInt(int nID, UINT nValue, BOOL bSigned = TRUE) { ::SetDlgItemInt(m_hWnd, nID, nValue, bSigned); }
  UINT GetDlgItemInt(int nID, BOOL* lpTrans = nullptr, BOOL bSigned = TRUE) const {
    return ::GetDlgItemInt(m_hWnd, nID, lpTrans, bSigned);
  }
  void CheckDlgButton(int nID, UINT nCheck) { ::CheckDlgButton(m_hWnd, nID, nCheck); }
  UINT IsDlgButtonChecked(int nID) const { return ::IsDlgButtonChecked(m_hWnd, nID); }
  void CheckRadioButton(int nFirst, int nLast, int nCheck) { ::CheckRadioButton(m_hWnd, nFirst, nLast, nCheck); }
  CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
  CWnd* GetWindow(UINT nCmd) const { return FromHandle(::GetWindow(m_hWnd, nCmd)); }
  CWnd* GetTopLevelParent() const;
  // The nearest frame window among the ancestors, or NULL.
  CFrameWnd* GetParentFrame() const;
  CWnd* GetNextDlgTabItem(CWnd* pCtl, BOOL bPrevious = FALSE) const {
    return FromHandle(::GetNextDlgTabItem(m_hWnd, pCtl ? pCtl->m_hWnd : nullptr, bPrevious));
  }

  // Geometry.
  void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
  void GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }
  void ClientToScreen(LPPOINT p) const { ::ClientToScreen(m_hWnd, p); }
  void ClientToScreen(LPRECT r) const;
  void ScreenToClient(LPPOINT p) const { ::ScreenToClient(m_hWnd, p); }
  void ScreenToClient(LPRECT r) const;
  void MapWindowPoints(CWnd* pTo, LPPOINT p, UINT n) const { ::MapWindowPoints(m_hWnd, pTo ? pTo->m_hWnd : nullptr, p, n); }
  void MapWindowPoints(CWnd* pTo, LPRECT r) const { ::MapWindowPoints(m_hWnd, pTo ? pTo->m_hWnd : nullptr, (LPPOINT)r, 2); }
  void MoveWindow(int x, int y, int w, int h, BOOL bRepaint = TRUE) { ::MoveWindow(m_hWnd, x, y, w, h, bRepaint); }
  void MoveWindow(LPCRECT r, BOOL bRepaint = TRUE) { MoveWindow(r->left, r->top, r->right - r->left, r->bottom - r->top, bRepaint); }
  BOOL SetWindowPos(const CWnd* pAfter, int x, int y, int cx, int cy, UINT nFlags) {
    return ::SetWindowPos(m_hWnd, pAfter ? pAfter->m_hWnd : nullptr, x, y, cx, cy, nFlags);
  }
  void CenterWindow(CWnd* pAlternateOwner = nullptr);

  // State.
  BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
  static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
  CWnd* SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
  static CWnd* GetCapture() { return FromHandle(::GetCapture()); }
  BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
  void BringWindowToTop() { ::BringWindowToTop(m_hWnd); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  BOOL IsZoomed() const { return ::IsZoomed(m_hWnd); }
  DWORD GetStyle() const { return (DWORD)::GetWindowLongA(m_hWnd, GWL_STYLE); }
  DWORD GetExStyle() const { return (DWORD)::GetWindowLongA(m_hWnd, GWL_EXSTYLE); }
  // Removes then adds style bits; nFlags non-zero also runs SetWindowPos(SWP_FRAMECHANGED|nFlags).
  BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
  BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);

  // Painting.
  void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
  void InvalidateRect(LPCRECT r, BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, r, bErase); }
  void UpdateWindow() { ::UpdateWindow(m_hWnd); }
  BOOL RedrawWindow(LPCRECT r = nullptr, HRGN rgn = nullptr, UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE) {
    return ::RedrawWindow(m_hWnd, r, rgn, flags);
  }
  void SetRedraw(BOOL bRedraw = TRUE) { SendMessage(WM_SETREDRAW, bRedraw, 0); }
  void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
  HFONT GetFontHandle() const { return (HFONT)SendMessage(WM_GETFONT); }

  // Misc.
  UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfn = nullptr) { return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfn); }
  BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }
  // A message box owned by this window; a NULL caption gives the application's name.
  int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = nullptr, UINT nType = MB_OK);
  HMENU GetMenuHandle() const { return ::GetMenu(m_hWnd); }
  void DrawMenuBar() { ::DrawMenuBar(m_hWnd); }
  void DragAcceptFiles(BOOL bAccept = TRUE) { ::DragAcceptFiles(m_hWnd, bAccept); }
  HICON SetIcon(HICON hIcon, BOOL bBigIcon) { return (HICON)SendMessage(WM_SETICON, bBigIcon, (LPARAM)hIcon); }

  // Default handlers: each runs the window's default processing of its message.
  int OnCreate(LPCREATESTRUCTA) { return (int)Default(); }
  void OnDestroy() { Default(); }
  void OnNcDestroy();
  void OnSize(UINT, int, int) { Default(); }
  void OnMove(int, int) { Default(); }
  void OnTimer(UINT_PTR) { Default(); }
  void OnSetFocus(CWnd*) { Default(); }
  void OnKillFocus(CWnd*) { Default(); }
  void OnPaint() { Default(); }
  BOOL OnEraseBkgnd(CDC*) { return (BOOL)Default(); }
  void OnLButtonDown(UINT, CPoint) { Default(); }
  void OnLButtonUp(UINT, CPoint) { Default(); }
  void OnLButtonDblClk(UINT, CPoint) { Default(); }
  void OnRButtonDown(UINT, CPoint) { Default(); }
  void OnRButtonUp(UINT, CPoint) { Default(); }
  void OnMouseMove(UINT, CPoint) { Default(); }
  BOOL OnMouseWheel(UINT, short, CPoint) { return (BOOL)Default(); }
  void OnContextMenu(CWnd*, CPoint) { Default(); }
  void OnKeyDown(UINT, UINT, UINT) { Default(); }
  void OnKeyUp(UINT, UINT, UINT) { Default(); }
  void OnChar(UINT, UINT, UINT) { Default(); }
  UINT OnGetDlgCode() { return (UINT)Default(); }
  void OnClose() { Default(); }
  void OnShowWindow(BOOL, UINT) { Default(); }
  BOOL OnSetCursor(CWnd*, UINT, UINT) { return (BOOL)Default(); }
  void OnVScroll(UINT, UINT, CWnd*) { Default(); }
  void OnHScroll(UINT, UINT, CWnd*) { Default(); }
  void OnDropFiles(HDROP) { Default(); }
  BOOL OnCopyData(CWnd*, COPYDATASTRUCT*) { return (BOOL)Default(); }
  void OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
  void OnWindowPosChanged(WINDOWPOS*) { Default(); }
  void OnSysColorChange() { Default(); }
  void OnCaptureChanged(CWnd*) { Default(); }
  void OnMenuSelect(UINT, UINT, HMENU) { Default(); }
  void OnInitMenuPopup(CMenu*, UINT, BOOL) { Default(); }
  // Offer owner-draw and colour messages to the control first (reflection), then default.
  void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDIS);
  void OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMIS);
  HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);

protected:
  // Dispatch through the map; TRUE with *pResult when a handler took the message.
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // WM_COMMAND: reflection to the sending control, then the command route. TRUE when handled.
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  // WM_NOTIFY: reflection to the sending control, then the command route.
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // A message reflected from the parent; TRUE with *pResult when this control handled it.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // Asks the wrapped control hWndChild to handle its own notification.
  static BOOL ReflectChildNotify(HWND hWndChild, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // Called after the last message (WM_NCDESTROY); frames and views delete themselves here.
  virtual void PostNcDestroy() {}

  WNDPROC m_pfnSuper = nullptr; // the window procedure under ours while subclassed
  BOOL m_bTemporary = FALSE;

  friend LRESULT CALLBACK FwWndProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT CALLBACK FwCbtHook(int, WPARAM, LPARAM);
  friend class CDialog;

  DECLARE_MESSAGE_MAP()

private:
  // Attach and the first step of SubclassWindow (bSubclass: FwWndProc will see the window's
  // messages, its destruction included). FALSE as for Attach.
  BOOL AttachHandle(HWND hWnd, BOOL bSubclass);
};

// The framework's window procedure (every subclassed window runs through it).
LRESULT CALLBACK FwWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Registers (once) and returns a window class name with these attributes and FwWndProc-ready
// default procedure. Classes are shared by attribute set.
LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr, HBRUSH hbrBackground = nullptr,
                           HICON hIcon = nullptr);

// The class the framework uses when Create gets no class name.
#define FW_DEFAULT_WNDCLASS "VmFwWnd"

// --- Window message entries: handler names and signatures are fixed by these macros ----------

#define FW_ON_MSG(msg, body) {(UINT)(msg), 0, 0, 0, FwKindMessage, FW_THUNK(body)},
#define ON_WM_CREATE() FW_ON_MSG(WM_CREATE, return FW_THIS->OnCreate(reinterpret_cast<LPCREATESTRUCTA>(l_));)
#define ON_WM_DESTROY() FW_ON_MSG(WM_DESTROY, FW_THIS->OnDestroy(); return 0;)
#define ON_WM_SIZE() FW_ON_MSG(WM_SIZE, FW_THIS->OnSize((UINT)w_, (short)LOWORD(l_), (short)HIWORD(l_)); return 0;)
#define ON_WM_MOVE() FW_ON_MSG(WM_MOVE, FW_THIS->OnMove((short)LOWORD(l_), (short)HIWORD(l_)); return 0;)
#define ON_WM_TIMER() FW_ON_MSG(WM_TIMER, FW_THIS->OnTimer((UINT_PTR)w_); return 0;)
#define ON_WM_SETFOCUS() FW_ON_MSG(WM_SETFOCUS, FW_THIS->OnSetFocus(CWnd::FromHandle((HWND)w_)); return 0;)
#define ON_WM_KILLFOCUS() FW_ON_MSG(WM_KILLFOCUS, FW_THIS->OnKillFocus(CWnd::FromHandle((HWND)w_)); return 0;)
#define ON_WM_PAINT() FW_ON_MSG(WM_PAINT, FW_THIS->OnPaint(); return 0;)
#define ON_WM_ERASEBKGND() \
  FW_ON_MSG(WM_ERASEBKGND, CDC dc_; dc_.Attach((HDC)w_); LRESULT r_ = FW_THIS->OnEraseBkgnd(&dc_); dc_.Detach(); return r_;)
#define ON_WM_LBUTTONDOWN() FW_ON_MSG(WM_LBUTTONDOWN, FW_THIS->OnLButtonDown((UINT)w_, CPoint(l_)); return 0;)
#define ON_WM_LBUTTONUP() FW_ON_MSG(WM_LBUTTONUP, FW_THIS->OnLButtonUp((UINT)w_, CPoint(l_)); return 0;)
#define ON_WM_LBUTTONDBLCLK() FW_ON_MSG(WM_LBUTTONDBLCLK, FW_THIS->OnLButtonDblClk((UINT)w_, CPoint(l_)); return 0;)
#define ON_WM_RBUTTONDOWN() FW_ON_MSG(WM_RBUTTONDOWN, FW_THIS->OnRButtonDown((UINT)w_, CPoint(l_)); return 0;)
#define ON_WM_RBUTTONUP() FW_ON_MSG(WM_RBUTTONUP, FW_THIS->OnRButtonUp((UINT)w_, CPoint(l_)); return 0;)
#define ON_WM_MOUSEMOVE() FW_ON_MSG(WM_MOUSEMOVE, FW_THIS->OnMouseMove((UINT)w_, CPoint(l_)); return 0;)
#define ON_WM_MOUSEWHEEL() FW_ON_MSG(WM_MOUSEWHEEL, return FW_THIS->OnMouseWheel(LOWORD(w_), (short)HIWORD(w_), CPoint(l_));)
#define ON_WM_CONTEXTMENU() FW_ON_MSG(WM_CONTEXTMENU, FW_THIS->OnContextMenu(CWnd::FromHandle((HWND)w_), CPoint(l_)); return 0;)
#define ON_WM_KEYDOWN() FW_ON_MSG(WM_KEYDOWN, FW_THIS->OnKeyDown((UINT)w_, LOWORD(l_), HIWORD(l_)); return 0;)
#define ON_WM_KEYUP() FW_ON_MSG(WM_KEYUP, FW_THIS->OnKeyUp((UINT)w_, LOWORD(l_), HIWORD(l_)); return 0;)
#define ON_WM_CHAR() FW_ON_MSG(WM_CHAR, FW_THIS->OnChar((UINT)w_, LOWORD(l_), HIWORD(l_)); return 0;)
#define ON_WM_GETDLGCODE() FW_ON_MSG(WM_GETDLGCODE, return FW_THIS->OnGetDlgCode();)
#define ON_WM_CLOSE() FW_ON_MSG(WM_CLOSE, FW_THIS->OnClose(); return 0;)
#define ON_WM_SHOWWINDOW() FW_ON_MSG(WM_SHOWWINDOW, FW_THIS->OnShowWindow((BOOL)w_, (UINT)l_); return 0;)
#define ON_WM_SETCURSOR() FW_ON_MSG(WM_SETCURSOR, return FW_THIS->OnSetCursor(CWnd::FromHandle((HWND)w_), LOWORD(l_), HIWORD(l_));)
#define ON_WM_VSCROLL() FW_ON_MSG(WM_VSCROLL, FW_THIS->OnVScroll(LOWORD(w_), (short)HIWORD(w_), CWnd::FromHandle((HWND)l_)); return 0;)
#define ON_WM_HSCROLL() FW_ON_MSG(WM_HSCROLL, FW_THIS->OnHScroll(LOWORD(w_), (short)HIWORD(w_), CWnd::FromHandle((HWND)l_)); return 0;)
#define ON_WM_DROPFILES() FW_ON_MSG(WM_DROPFILES, FW_THIS->OnDropFiles((HDROP)w_); return 0;)
#define ON_WM_COPYDATA() FW_ON_MSG(WM_COPYDATA, return FW_THIS->OnCopyData(CWnd::FromHandle((HWND)w_), reinterpret_cast<COPYDATASTRUCT*>(l_));)
#define ON_WM_GETMINMAXINFO() FW_ON_MSG(WM_GETMINMAXINFO, FW_THIS->OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(l_)); return 0;)
#define ON_WM_WINDOWPOSCHANGED() FW_ON_MSG(WM_WINDOWPOSCHANGED, FW_THIS->OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(l_)); return 0;)
#define ON_WM_SYSCOLORCHANGE() FW_ON_MSG(WM_SYSCOLORCHANGE, FW_THIS->OnSysColorChange(); return 0;)
#define ON_WM_CAPTURECHANGED() FW_ON_MSG(WM_CAPTURECHANGED, FW_THIS->OnCaptureChanged(CWnd::FromHandle((HWND)l_)); return 0;)
#define ON_WM_MENUSELECT() FW_ON_MSG(WM_MENUSELECT, FW_THIS->OnMenuSelect(LOWORD(w_), HIWORD(w_), (HMENU)l_); return 0;)
#define ON_WM_INITMENUPOPUP()                                                                        \
  FW_ON_MSG(WM_INITMENUPOPUP, CMenu m_; m_.AttachShared((HMENU)w_); FW_THIS->OnInitMenuPopup(&m_, LOWORD(l_), HIWORD(l_)); \
            return 0;)
#define ON_WM_DRAWITEM() FW_ON_MSG(WM_DRAWITEM, FW_THIS->OnDrawItem((int)w_, reinterpret_cast<LPDRAWITEMSTRUCT>(l_)); return TRUE;)
#define ON_WM_MEASUREITEM() FW_ON_MSG(WM_MEASUREITEM, FW_THIS->OnMeasureItem((int)w_, reinterpret_cast<LPMEASUREITEMSTRUCT>(l_)); return TRUE;)
#define FW_CTLCOLOR_BODY(kind)                                                                        \
  CDC dc_; dc_.Attach((HDC)w_); HBRUSH b_ = FW_THIS->OnCtlColor(&dc_, CWnd::FromHandle((HWND)l_), kind); \
  dc_.Detach(); return (LRESULT)b_;
#define ON_WM_CTLCOLOR()                                             \
  FW_ON_MSG(WM_CTLCOLORSTATIC, FW_CTLCOLOR_BODY(CTLCOLOR_STATIC))    \
  FW_ON_MSG(WM_CTLCOLOREDIT, FW_CTLCOLOR_BODY(CTLCOLOR_EDIT))        \
  FW_ON_MSG(WM_CTLCOLORLISTBOX, FW_CTLCOLOR_BODY(CTLCOLOR_LISTBOX))  \
  FW_ON_MSG(WM_CTLCOLORBTN, FW_CTLCOLOR_BODY(CTLCOLOR_BTN))          \
  FW_ON_MSG(WM_CTLCOLORDLG, FW_CTLCOLOR_BODY(CTLCOLOR_DLG))
