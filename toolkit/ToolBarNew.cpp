// The frame's toolbar.
#include "toolkit/ToolBarNew.h"

IMPLEMENT_DYNAMIC(CToolBarNew, CControlBar)

BEGIN_MESSAGE_MAP(CToolBarNew, CControlBar)
END_MESSAGE_MAP()

CToolBarNew::CToolBarNew() {}

CToolBarNew::~CToolBarNew() {
  if (m_hWnd) DestroyWindow();
}

BOOL CToolBarNew::CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, CRect rcBorders, UINT nID) {
  m_rectBorders = rcBorders;
  if (!RegisterToolbarExClass(AfxGetInstanceHandle())) return FALSE;
  if (!CreateBar(0, TOOLBAREX_CLASSA, dwStyle, pParentWnd, nID, dwCtrlStyle & 0xFFFF)) return FALSE;
  SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
  // The program's bitmaps are keyed on the classic light grey.
  SendMessage(TBX_COLORKEY, 0x80000000u, RGB(192, 192, 192));
  m_hTips = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                              0, m_hWnd, nullptr, AfxGetInstanceHandle(), nullptr);
  return TRUE;
}

BOOL CToolBarNew::AddButtons(const UINT* ids, int count, HINSTANCE inst, UINT_PTR bitmap, int cx, int cy) {
  if (!m_hWnd) return FALSE;
  SendMessage(TBX_DELETERANGE, 0, GetButtonCount());
  SendMessage(TBX_REMOVEBITMAPS);
  m_sizeImage = CSize(cx, cy);
  SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(cx, cy));
  if (bitmap) {
    // Extended form: the image width is given, the count follows from the bitmap.
    BYTE rec[16] = {};
    memcpy(rec, &inst, 4);
    memcpy(rec + 4, &bitmap, 4);
    WORD flags = 0x02, width = (WORD)cx;
    memcpy(rec + 8, &flags, 2);
    memcpy(rec + 12, &width, 2);
    if (SendMessage(TB_ADDBITMAP, MAKEWPARAM(0, 0x1234), (LPARAM)rec) < 0) return FALSE;
  }
  std::vector<TBBUTTON> buttons(count);
  int image = 0;
  for (int i = 0; i < count; ++i) {
    TBBUTTON& b = buttons[i];
    memset(&b, 0, sizeof b);
    b.idCommand = (int)ids[i];
    b.iString = -1;
    if (ids[i] == ID_SEPARATOR) {
      b.fsStyle = TBSTYLE_SEP;
      b.iBitmap = -1;
    } else {
      b.fsStyle = TBSTYLE_BUTTON;
      b.fsState = TBSTATE_ENABLED;
      b.iBitmap = image++;
    }
  }
  if (count && !SendMessage(TB_ADDBUTTONSA, count, (LPARAM)buttons.data())) return FALSE;
  UpdateTips();
  if (m_pDockFrame) m_pDockFrame->RecalcLayout();
  return TRUE;
}

BOOL CToolBarNew::SetButtons(const UINT* lpIDArray, int nIDCount, HBITMAP hBitmap, int cx, int cy) {
  return AddButtons(lpIDArray, nIDCount, nullptr, (UINT_PTR)hBitmap, cx, cy);
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
  if (!::FindResourceA(hInst, MAKEINTRESOURCEA(nIDResource), (LPCSTR)RT_BITMAP)) return FALSE;
  return AddButtons(ids.data(), count, hInst, nIDResource, cx, cy);
}

UINT CToolBarNew::GetItemID(int nIndex) const {
  TBBUTTON b = {};
  if (!SendMessage(TB_GETBUTTON, nIndex, (LPARAM)&b)) return 0;
  return (b.fsStyle & TBSTYLE_SEP) ? ID_SEPARATOR : (UINT)b.idCommand;
}

CSize CToolBarNew::CalcFixedLayout(BOOL, BOOL bHorz) {
  // One row across the frame, or one column down its side; the wraps are kept (and the bar
  // laid out again) only when the size changes.
  WPARAM length = bHorz ? 17000 : 0;
  DWORD sz = (DWORD)SendMessage(TBX_SIZEFORLENGTH, length, 0);
  if (sz != (DWORD)SendMessage(TBX_GETTOTALSIZE)) {
    sz = (DWORD)SendMessage(TBX_SIZEFORLENGTH, length, 1);
    UpdateTips();
  }
  int cx = LOWORD(sz), cy = HIWORD(sz);
  if (cy == 0) cy = HIWORD(SendMessage(TB_GETBUTTONSIZE));
  cy += m_rectBorders.top + m_rectBorders.bottom;
  cx += m_rectBorders.left + m_rectBorders.right;
  return bHorz ? CSize(32767, cy) : CSize(cx, 32767);
}

void CToolBarNew::UpdateTips() {
  if (!m_hTips) return;
  while (::SendMessageA(m_hTips, TTM_GETTOOLCOUNT, 0, 0) > 0) {
    TTTOOLINFOA ti = {};
    ti.cbSize = sizeof ti;
    if (!::SendMessageA(m_hTips, TTM_ENUMTOOLSA, 0, (LPARAM)&ti)) break;
    ::SendMessageA(m_hTips, TTM_DELTOOLA, 0, (LPARAM)&ti);
  }
  int n = GetButtonCount();
  for (int i = 0; i < n; ++i) {
    UINT id = GetItemID(i);
    RECT r;
    if (id == ID_SEPARATOR || !SendMessage(TB_GETITEMRECT, i, (LPARAM)&r) || ::IsRectEmpty(&r)) continue;
    TTTOOLINFOA ti = {};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = m_hWnd;
    ti.uId = id;
    ti.rect = r;
    ti.lpszText = LPSTR_TEXTCALLBACKA;
    ::SendMessageA(m_hTips, TTM_ADDTOOLA, 0, (LPARAM)&ti);
  }
}

void CToolBarNew::UpdateFlyBy() {
  if (!(m_dwStyle & CBRS_FLYBY) || !m_pDockFrame) return;
  POINT pt;
  ::GetCursorPos(&pt);
  ScreenToClient(&pt);
  int hit = (int)SendMessage(TB_HITTEST, 0, (LPARAM)&pt);
  UINT id = hit >= 0 ? GetItemID(hit) : 0;
  if (id == m_nFlyBy) return;
  m_nFlyBy = id;
  m_pDockFrame->SetMessageText(id ? id : (UINT)AFX_IDS_IDLEMESSAGE);
}

LRESULT CToolBarNew::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_TIMER:
    // The control's tick becomes a hot-tracking pass.
    if (wParam == TBX_TIMER) {
      SendMessage(TBX_TRACK, 0, 0);
      UpdateFlyBy();
      return 0;
    }
    break;
  case TBX_ASKCOMMANDWND:
    return 0;
  case WM_NOTIFY: {
    // The tooltip asks for its text: the frame answers from the command's string.
    const NMHDR* h = reinterpret_cast<const NMHDR*>(lParam);
    if (h && h->hwndFrom == m_hTips && m_hTips && m_pDockFrame) return m_pDockFrame->SendMessage(WM_NOTIFY, wParam, lParam);
    break;
  }
  case WM_MOUSEMOVE:
  case WM_MOUSELEAVE: {
    LRESULT r = CControlBar::WindowProc(message, wParam, lParam);
    UpdateFlyBy();
    return r;
  }
  }
  return CControlBar::WindowProc(message, wParam, lParam);
}

namespace {
// Command states through the control's style-and-state messages, by button index.
class CToolCmdUI : public CCmdUI {
public:
  BYTE State() const { return BYTE(Bar()->SendMessage(TBX_GETSTYLESTATE, TBX_REF_INDEX(m_nIndex)) >> 16); }
  void Apply(BYTE value, BYTE mask) {
    if ((State() & mask) != value) Bar()->SendMessage(TBX_SETSTYLESTATE, TBX_REF_INDEX(m_nIndex), (LPARAM)value << 16 | (LPARAM)mask << 24);
  }
  void Enable(BOOL bOn) override {
    m_bEnableChanged = TRUE;
    Apply(bOn ? TBSTATE_ENABLED : 0, TBSTATE_ENABLED);
  }
  void SetCheck(int nCheck) override {
    Apply(BYTE((nCheck == 1 ? TBSTATE_CHECKED : 0) | (nCheck == 2 ? TBSTATE_INDETERMINATE : 0)),
          TBSTATE_CHECKED | TBSTATE_INDETERMINATE);
  }
  void SetRadio(BOOL bOn) override { SetCheck(bOn ? 1 : 0); }
  void SetText(LPCSTR) override {}

private:
  CToolBarNew* Bar() const { return static_cast<CToolBarNew*>(m_pOther); }
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
