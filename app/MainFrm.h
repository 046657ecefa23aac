// The main frame: toolbar, status bar with the status-pane service (message 0x524), the flat
// toolbar setting and the incoming WM_COPYDATA request that opens the text search.
#pragma once
#include "app/MenuIcons.h"
#include "app/StatusPanes.h"
#include "framework/Framework.h"
#include "toolkit/ToolBarNew.h"

// Text of a WM_COPYDATA request 0x27F50005 (bit 0x8000: UTF-16). Reads at most cbData bytes,
// stops at the first NUL, converts UTF-16 to the ANSI code page into at most 259 bytes and
// 8-bit texts into at most 1023. False for any other code (the request is then ignored).
bool TextFromCopyData(const COPYDATASTRUCT* cds, CString& text);

class CMainFrame : public CFrameWnd {
  DECLARE_DYNCREATE(CMainFrame)
public:
  CMainFrame();
  ~CMainFrame() override;
  BOOL PreCreateWindow(CREATESTRUCTA& cs) override;

  // The program's own calls of the status-pane service (operations 0 and 1).
  int SetStatusPanes(const UINT* ids, const int* widths, int count) {
    return m_panes.SetStatusPanes(ids, widths, count);
  }
  int SetPaneText(int index, const char* text, BOOL update = TRUE, int background = -1, int foreground = -1) {
    return m_panes.SetPaneText(index, text, update, background, foreground);
  }
  CStatusBar& GetStatusBar() { return m_wndStatusBar; }
  CToolBarNew& GetToolBar() { return m_wndToolBar; }
  DWORD m_nFlatMode = 1;  // 1 = flat toolbar ("FlatMode" under "Settings")

  int OnCreate(LPCREATESTRUCTA lpcs);
  BOOL OnCopyData(CWnd* pWnd, COPYDATASTRUCT* pCopyDataStruct);
  void OnFlatToolbar();
  void OnUpdateFlatToolbar(CCmdUI* pCmdUI);
  void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDIS);
  BOOL OnEraseBkgnd(CDC* pDC);
  // Owner-drawn menus with the toolbar's icons.
  void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
  void OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMIS);
  CMenuIcons& GetMenuIcons() { return m_menuIcons; }

  // The menu service for other code (the program does not call it itself). Items are looked
  // up by command id in the main menu and its nested popups.
  // Message 0x5E96, wParam the menu, lParam the item's position: frees the item's record and
  // makes it a plain empty item. 1 when done, 0 when the item has no record (unchanged).
  LRESULT OnFreeMenuItem(WPARAM wParam, LPARAM lParam);
  // The popup and position of the item with command id; FALSE when no item has it.
  BOOL FindMenuItem(UINT id, HMENU* menu, int* pos);
  // The item's icon index; -1 when it has none, no record, or no item has the id.
  int GetMenuItemIcon(UINT id);
  // Shows icon icon (-1: none) beside the item. FALSE when no item with a record has the id or
  // the icon is not in the image lists.
  BOOL SetMenuItemIcon(UINT id, int icon);
  // Adds an icon (drawn to the toolbar's button size) or a bitmap of that size (0xC0C0C0
  // transparent) with its faded copy for command id. Returns the new icon index, -1 when it
  // could not be added (see CMenuIcons::AddIcon and AddBitmap).
  int AddMenuIcon(UINT id, HICON icon);
  int AddMenuBitmap(UINT id, HBITMAP bitmap);
  // A new text for the item, measured again. FALSE when no item with a record has the id or
  // text is null.
  BOOL OnSetMenuItemText(UINT id, const char* text);
  // While a job or a dialog holds the window, commands that reach it (posted by another
  // program, say) are dropped: they would change the list or the results under the job.
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, FwCmdHandlerInfo* pHandlerInfo) override;

protected:
  LRESULT OnStatusOp(WPARAM wParam, LPARAM lParam);
  LRESULT OnDrawStatusPane(WPARAM wParam, LPARAM lParam);
  LRESULT OnSupportsColorPanes(WPARAM wParam, LPARAM lParam);
  LRESULT OnOpenTextSearch(WPARAM wParam, LPARAM lParam);
  LRESULT OnMenuChar(WPARAM wParam, LPARAM lParam);
  // Closing while a job or a dialog holds the window cancels it and closes once it has ended,
  // so that no file is left half rewritten; the end of the session waits the same way.
  void OnClose();
  LRESULT OnEnable(WPARAM wParam, LPARAM lParam);
  LRESULT OnQueryEndSession(WPARAM wParam, LPARAM lParam);
  LRESULT OnEndSession(WPARAM wParam, LPARAM lParam);
  BOOL IsBusy();
  void CancelHolders();

  CToolBarNew m_wndToolBar;
  CStatusBar m_wndStatusBar;
  CStatusPaneService m_panes;
  CFont m_font;
  CMenuIcons m_menuIcons;
  BOOL m_bClosePending = FALSE;
  DECLARE_MESSAGE_MAP()
};
