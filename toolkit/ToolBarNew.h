// CToolBarNew: the frame's toolbar, a control bar over the "ToolbarExWindow32" control: buttons
// and images from a toolbar resource and its bitmap, command states updated when idle, the
// control's hot-tracking timer answered, tooltips and status-bar prompts from the commands'
// strings.
#pragma once
#include <vector>
#include "framework/Framework.h"
#include "toolkit/ToolbarEx.h"

class CToolBarNew : public CControlBar {
  DECLARE_DYNAMIC(CToolBarNew)
public:
  CToolBarNew();
  ~CToolBarNew() override;

  // dwCtrlStyle: TBSTYLE_* of the control (TBSTYLE_FLAT for a flat bar); dwStyle: window
  // style with bar-style bits (0x50402834: visible child at the top with gripper, tooltips,
  // fly-by prompts); rcBorders: space around the buttons. Nonzero on success.
  BOOL CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle = TBSTYLE_FLAT,
                DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP, CRect rcBorders = CRect(0, 0, 0, 0),
                UINT nID = AFX_IDW_TOOLBAR);
  // Buttons of toolbar resource nIDResource (16-bit layout: version 1, width, height, count,
  // then the command ids, 0 for a separator) with images from bitmap nIDResource (the light
  // grey 0xC0C0C0 is transparent). Nonzero on success.
  BOOL LoadToolBar(UINT nIDResource);
  // Buttons from ids (0 = separator) with images cut from hBitmap (cx x cy each; the bitmap
  // stays the caller's). Nonzero on success.
  BOOL SetButtons(const UINT* lpIDArray, int nIDCount, HBITMAP hBitmap, int cx, int cy);

  int GetButtonCount() const { return (int)SendMessage(TB_BUTTONCOUNT); }
  UINT GetItemID(int nIndex) const;
  int CommandToIndex(UINT nIDFind) const { return (int)SendMessage(TB_COMMANDTOINDEX, nIDFind); }
  BOOL IsButtonEnabled(UINT nID) const { return SendMessage(TB_ISBUTTONENABLED, nID) == 1; }
  BOOL IsButtonChecked(UINT nID) const { return SendMessage(TB_ISBUTTONCHECKED, nID) == 1; }
  // The bar's own tooltip window (the control has none).
  HWND GetToolTips() const { return m_hTips; }

  CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
  void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;

protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL AddButtons(const UINT* ids, int count, HINSTANCE inst, UINT_PTR bitmap, int cx, int cy);
  void UpdateTips();
  void UpdateFlyBy();
  HWND m_hTips = nullptr;
  UINT m_nFlyBy = 0;  // command whose prompt the status bar shows, 0 none
  CSize m_sizeImage = CSize(16, 15);
  DECLARE_MESSAGE_MAP()
};
