// The frame's toolbar.
#include "toolkit/ToolBarNew.h"

IMPLEMENT_DYNAMIC(CToolBarNew, CControlBar)

BEGIN_MESSAGE_MAP(CToolBarNew, CControlBar)
  ON_NOTIFY_REFLECT(TBN_HOTITEMCHANGE, OnHotItemChange)
END_MESSAGE_MAP()

CToolBarNew::CToolBarNew() {}

CToolBarNew::~CToolBarNew() {
  if (m_hWnd) DestroyWindow();
  if (m_hImages) ImageList_Destroy(m_hImages);
}

BOOL CToolBarNew::CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, CRect rcBorders, UINT nID) {
  m_rectBorders = rcBorders;
  // The frame places the bar: the control must neither align nor size itself.
  DWORD ctrl = (dwCtrlStyle & 0xFFFF) | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
  if (dwStyle & CBRS_TOOLTIPS) ctrl |= TBSTYLE_TOOLTIPS;
  if (!CreateBar(0, TOOLBARCLASSNAMEA, dwStyle, pParentWnd, nID, ctrl)) return FALSE;
  SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
  SendMessage(TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  return TRUE;
}

BOOL CToolBarNew::SetButtons(const UINT* lpIDArray, int nIDCount, HBITMAP hBitmap, int cx, int cy) {
  if (!m_hWnd) return FALSE;
  while (GetButtonCount() > 0) SendMessage(TB_DELETEBUTTON, 0);
  if (m_hImages) {
    SendMessage(TB_SETIMAGELIST, 0, 0);
    ImageList_Destroy(m_hImages);
    m_hImages = nullptr;
  }
  m_sizeImage = CSize(cx, cy);
  if (hBitmap) {
    m_hImages = ImageList_Create(cx, cy, ILC_COLOR24 | ILC_MASK, 16, 4);
    if (!m_hImages) return FALSE;
    ImageList_AddMasked(m_hImages, hBitmap, RGB(192, 192, 192));
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(cx, cy));
    SendMessage(TB_SETIMAGELIST, 0, (LPARAM)m_hImages);
  }
  std::vector<TBBUTTON> buttons(nIDCount);
  int image = 0;
  for (int i = 0; i < nIDCount; ++i) {
    TBBUTTON& b = buttons[i];
    memset(&b, 0, sizeof b);
    b.idCommand = (int)lpIDArray[i];
    if (lpIDArray[i] == ID_SEPARATOR) {
      b.fsStyle = TBSTYLE_SEP;
      b.iBitmap = 6;
    } else {
      b.fsStyle = TBSTYLE_BUTTON;
      b.fsState = TBSTATE_ENABLED;
      b.iBitmap = image++;
    }
  }
  if (nIDCount && !SendMessage(TB_ADDBUTTONSA, nIDCount, (LPARAM)buttons.data())) return FALSE;
  SendMessage(TB_AUTOSIZE);
  if (m_pDockFrame) m_pDockFrame->RecalcLayout();
  return TRUE;
}

BOOL CToolBarNew::LoadToolBar(UINT nIDResource) {
  HINSTANCE hInst = AfxGetResourceHandle();
  HRSRC hRes = ::FindResourceA(hInst, MAKEINTRESOURCEA(nIDResource), MAKEINTRESOURCEA(241));
  if (!hRes) return FALSE;
  HGLOBAL hGlob = ::LoadResource(hInst, hRes);
  const WORD* p = hGlob ? static_cast<const WORD*>(::LockResource(hGlob)) : nullptr;
  DWORD size = ::SizeofResource(hInst, hRes);
  if (!p || size < 8 || p[0] != 1 || (DWORD)(8 + p[3] * 2) > size) return FALSE;
  int cx = p[1], cy = p[2], count = p[3];
  std::vector<UINT> ids(count);
  for (int i = 0; i < count; ++i) ids[i] = p[4 + i];
  HBITMAP hbm = (HBITMAP)::LoadImageA(hInst, MAKEINTRESOURCEA(nIDResource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  BOOL ok = SetButtons(ids.data(), count, hbm, cx, cy);
  if (hbm) ::DeleteObject(hbm);
  return ok && hbm != nullptr;
}

UINT CToolBarNew::GetItemID(int nIndex) const {
  TBBUTTON b = {};
  if (!SendMessage(TB_GETBUTTON, nIndex, (LPARAM)&b)) return 0;
  return (b.fsStyle & TBSTYLE_SEP) ? ID_SEPARATOR : (UINT)b.idCommand;
}

CSize CToolBarNew::CalcFixedLayout(BOOL, BOOL bHorz) {
  SIZE sz = {0, 0};
  SendMessage(TB_GETMAXSIZE, 0, (LPARAM)&sz);
  if (sz.cy == 0) sz.cy = HIWORD(SendMessage(TB_GETBUTTONSIZE));
  int cy = sz.cy + m_rectBorders.top + m_rectBorders.bottom;
  int cx = sz.cx + m_rectBorders.left + m_rectBorders.right;
  return bHorz ? CSize(32767, cy) : CSize(cx, 32767);
}

namespace {
class CToolCmdUI : public CCmdUI {
public:
  void Enable(BOOL bOn) override {
    m_bEnableChanged = TRUE;
    CToolBarNew* bar = static_cast<CToolBarNew*>(m_pOther);
    if (!bar->IsButtonEnabled(m_nID) != !bOn) bar->SendMessage(TB_ENABLEBUTTON, m_nID, MAKELPARAM(bOn != 0, 0));
  }
  void SetCheck(int nCheck) override {
    CToolBarNew* bar = static_cast<CToolBarNew*>(m_pOther);
    bar->SendMessage(TB_INDETERMINATE, m_nID, MAKELPARAM(nCheck == 2, 0));
    if (!bar->IsButtonChecked(m_nID) != !(nCheck == 1)) bar->SendMessage(TB_CHECKBUTTON, m_nID, MAKELPARAM(nCheck == 1, 0));
  }
  void SetRadio(BOOL bOn) override { SetCheck(bOn ? 1 : 0); }
  void SetText(LPCSTR) override {}
};
}  // namespace

void CToolBarNew::OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) {
  CToolCmdUI state;
  state.m_pOther = this;
  int n = GetButtonCount();
  state.m_nIndexMax = (UINT)n;
  for (int i = 0; i < n; ++i) {
    UINT id = GetItemID(i);
    if (id == ID_SEPARATOR) continue;
    state.m_nIndex = (UINT)i;
    state.m_nID = id;
    state.DoUpdate(pTarget, bDisableIfNoHndler);
  }
}

void CToolBarNew::OnHotItemChange(NMHDR* pNMHDR, LRESULT* pResult) {
  // Fly-by: the command's prompt in the status bar while the mouse is over its button.
  NMTBHOTITEM* hot = reinterpret_cast<NMTBHOTITEM*>(pNMHDR);
  if ((m_dwStyle & CBRS_FLYBY) && m_pDockFrame)
    m_pDockFrame->SetMessageText((hot->dwFlags & HICF_LEAVING) ? (UINT)AFX_IDS_IDLEMESSAGE : (UINT)hot->idNew);
  *pResult = 0;
}
