// Frame windows and control bars: the frame lays out its bars (top ones stacked from the top,
// bottom ones from the bottom) and gives the rest to its view; menus update their command
// states when they open, bars when the message loop is idle.
#pragma once
#include <vector>
#include "framework/Controls.h"
#include "framework/Ids.h"
#include "framework/Menu.h"

class CView;
class CDocument;
class CDocTemplate;
class CFrameWnd;

// What a frame needs to build its view: the document and the view's class.
struct CCreateContext {
  const CRuntimeClass* m_pNewViewClass = nullptr;
  CDocument* m_pCurrentDoc = nullptr;
  CDocTemplate* m_pNewDocTemplate = nullptr;
};

// A bar docked at a side of its frame.
class CControlBar : public CWnd {
  DECLARE_DYNAMIC(CControlBar)
public:
  ~CControlBar() override;
  DWORD GetBarStyle() const { return m_dwStyle; }
  void SetBarStyle(DWORD dwStyle) { m_dwStyle = dwStyle & CBRS_ALL; }
  void EnableDocking(DWORD dwDockStyle) { m_dwDockStyle = dwDockStyle; }
  BOOL IsVisible() const { return m_hWnd && (GetStyle() & WS_VISIBLE) != 0; }
  CFrameWnd* GetDockingFrame() const { return m_pDockFrame; }
  // Size the bar wants: bHorz for a bar at the top or bottom, over the frame's whole width.
  virtual CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz);
  // Updates the bar's items from the command route of pTarget.
  virtual void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) = 0;

protected:
  CControlBar();
  // Creates the bar's window: the bar-style bits of dwStyle stay with the bar, the rest (plus
  // WS_CHILD and the control's own style bits dwCtrlStyle) go to the window. The bar joins its
  // frame's bar list.
  BOOL CreateBar(DWORD dwExStyle, LPCSTR lpszClass, DWORD dwStyle, CWnd* pParentWnd, UINT nID, DWORD dwCtrlStyle = 0);
  LRESULT OnIdleUpdateCmdUI(WPARAM wParam, LPARAM lParam);
  void OnDestroy();
  void PostNcDestroy() override;

  DWORD m_dwStyle = 0;
  DWORD m_dwDockStyle = 0;
  CFrameWnd* m_pDockFrame = nullptr;
  CRect m_rectBorders;
  friend class CFrameWnd;
  DECLARE_MESSAGE_MAP()
};

// The status bar over the standard status control. Pane 0 is normally the message pane, which
// stretches; the other panes keep their widths in pixels from the right.
class CStatusBar : public CControlBar {
  DECLARE_DYNAMIC(CStatusBar)
public:
  CStatusBar();
  BOOL Create(CWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, UINT nID = AFX_IDW_STATUS_BAR);
  // One pane per id (0 = a pane without command, stretched when it comes first); the pane of a
  // non-zero id starts with that id's string. FALSE when the window does not exist.
  BOOL SetIndicators(const UINT* lpIDArray, int nIDCount);
  int GetCount() const { return (int)m_panes.size(); }
  int CommandToIndex(UINT nIDFind) const;
  UINT GetItemID(int nIndex) const;
  void GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const;
  void SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth);
  UINT GetPaneStyle(int nIndex) const;
  void SetPaneStyle(int nIndex, UINT nStyle);
  CString GetPaneText(int nIndex) const;
  BOOL SetPaneText(int nIndex, LPCSTR lpszNewText, BOOL bUpdate = TRUE);
  void GetItemRect(int nIndex, LPRECT lpRect) const;
  CStatusBarCtrl& GetStatusBarCtrl() const { return *(CStatusBarCtrl*)this; }

  CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
  void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;

protected:
  struct Pane {
    UINT nID;
    UINT nStyle;
    int cxWidth;
    CString text;
  };
  std::vector<Pane> m_panes;
  int m_cyHeight = 0;
  void UpdateParts();
  void OnSize(UINT nType, int cx, int cy);
  DECLARE_MESSAGE_MAP()
};

class CFrameWnd : public CWnd {
  DECLARE_DYNCREATE(CFrameWnd)
public:
  CFrameWnd();
  ~CFrameWnd() override;

  // Creates the frame from resource nIDResource: menu, accelerators, icon and the title (the
  // first field of the string nIDResource). pContext builds the view. FALSE on failure.
  virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                         CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr);
  BOOL PreCreateWindow(CREATESTRUCTA& cs) override;

  // Places the visible bars and the view (child AFX_IDW_PANE_FIRST) in the client area.
  virtual void RecalcLayout(BOOL bNotify = TRUE);
  // The rectangle the view gets after the bars (client coordinates).
  CRect GetViewRect() const { return m_rectView; }

  CView* GetActiveView() const { return m_pViewActive; }
  void SetActiveView(CView* pViewNew, BOOL bNotify = TRUE);
  virtual CDocument* GetActiveDocument();

  // Shows or hides a bar and lays out again.
  void ShowControlBar(CControlBar* pBar, BOOL bShow, BOOL bDelay = FALSE);
  CControlBar* GetControlBar(UINT nID) const;
  void EnableDocking(DWORD dwDockStyle) { m_dwDockStyle = dwDockStyle; }
  void DockControlBar(CControlBar* pBar) { RecalcLayout(); }
  void AddControlBar(CControlBar* pBar);
  void RemoveControlBar(CControlBar* pBar);

  // Message pane text (pane 0 of the status bar AFX_IDW_STATUS_BAR).
  void SetMessageText(LPCSTR lpszText);
  void SetMessageText(UINT nID);
  // The caption: "document title - application title" while FWS_ADDTOTITLE is set.
  virtual void OnUpdateFrameTitle(BOOL bAddToTitle);
  CString GetTitle() const { return m_strTitle; }
  void SetTitle(LPCSTR lpszTitle) { m_strTitle = lpszTitle; }

  // Document ready: the views get OnInitialUpdate, the caption is set; bMakeVisible activates
  // a frame that is already visible (the application shows its main window itself).
  void InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible);
  virtual void ActivateFrame(int nCmdShow = -1);

  BOOL PreTranslateMessage(MSG* pMsg) override;
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, FwCmdHandlerInfo* pHandlerInfo) override;

  // Disable menu items and buttons whose commands have no handler.
  BOOL m_bAutoMenuEnable = TRUE;
  // Set to TRUE by the destructor (lets a creator learn that a failed frame deleted itself).
  BOOL* m_pbDeleted = nullptr;
  HACCEL m_hAccelTable = nullptr;

  int OnCreate(LPCREATESTRUCTA lpcs);
  void OnSize(UINT nType, int cx, int cy);
  void OnClose();
  void OnDestroy();
  void OnSetFocus(CWnd* pOldWnd);
  void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
  void OnMenuSelect(UINT nItemID, UINT nFlags, HMENU hSysMenu);
  BOOL OnEraseBkgnd(CDC* pDC);

protected:
  // Creates the view of pContext as child AFX_IDW_PANE_FIRST. FALSE on failure.
  virtual BOOL OnCreateClient(LPCREATESTRUCTA lpcs, CCreateContext* pContext);
  CWnd* CreateView(CCreateContext* pContext, UINT nID = AFX_IDW_PANE_FIRST);
  void PostNcDestroy() override;
  BOOL OnBarCheck(UINT nID);
  void OnUpdateControlBarMenu(CCmdUI* pCmdUI);
  void OnBarCheckCommand(UINT nID) { OnBarCheck(nID); }
  LRESULT OnIdleUpdate(WPARAM wParam, LPARAM lParam);
  LRESULT OnSetMessageString(WPARAM wParam, LPARAM lParam);
  void OnToolTipText(UINT nID, NMHDR* pNMHDR, LRESULT* pResult);
  LRESULT OnExitMenuLoop(WPARAM wParam, LPARAM lParam);

  std::vector<CControlBar*> m_controlBars;
  CView* m_pViewActive = nullptr;
  CString m_strTitle;
  CMenu m_menu;
  HICON m_hIcon = nullptr;
  CRect m_rectView;
  DWORD m_dwDockStyle = 0;
  UINT m_nIDResource = 0;
  CString m_tipText;
  WCHAR m_tipTextW[256] = {};
  DECLARE_MESSAGE_MAP()
};
