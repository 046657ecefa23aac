// Standard control wrappers.
#include "framework/Framework.h"

IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CEdit, CWnd)
IMPLEMENT_DYNAMIC(CListBox, CWnd)
IMPLEMENT_DYNAMIC(CComboBox, CWnd)
IMPLEMENT_DYNAMIC(CProgressCtrl, CWnd)
IMPLEMENT_DYNAMIC(CHeaderCtrl, CWnd)
IMPLEMENT_DYNAMIC(CListCtrl, CWnd)
IMPLEMENT_DYNAMIC(CTreeCtrl, CWnd)
IMPLEMENT_DYNAMIC(CStatusBarCtrl, CWnd)

namespace {

// Owner-draw messages that the parent reflects back: the control draws (and measures) itself.
template <class Ctrl>
bool ReflectDraw(Ctrl* ctrl, UINT message, LPARAM lParam, LRESULT* pResult) {
  if (message != WM_DRAWITEM) return false;
  ctrl->DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
  *pResult = TRUE;
  return true;
}

template <class Ctrl>
bool ReflectDrawOrMeasure(Ctrl* ctrl, UINT message, LPARAM lParam, LRESULT* pResult) {
  if (ReflectDraw(ctrl, message, lParam, pResult)) return true;
  if (message != WM_MEASUREITEM) return false;
  ctrl->MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
  *pResult = TRUE;
  return true;
}

}  // namespace

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  return ReflectDraw(this, message, lParam, pResult) || CWnd::OnChildNotify(message, wParam, lParam, pResult);
}

BOOL CListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  return ReflectDrawOrMeasure(this, message, lParam, pResult) ||
         CWnd::OnChildNotify(message, wParam, lParam, pResult);
}

BOOL CComboBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  return ReflectDrawOrMeasure(this, message, lParam, pResult) ||
         CWnd::OnChildNotify(message, wParam, lParam, pResult);
}

namespace {

int GetEntry(HWND h, UINT lenMsg, UINT textMsg, int nIndex, CString& rString) {
  rString.Empty();
  int n = h ? (int)::SendMessageA(h, lenMsg, nIndex, 0) : -1;
  if (n < 0) return -1;
  char* buf = rString.GetBuffer(n + 1);
  if (!buf) return -1;
  buf[0] = 0;
  int got = (int)::SendMessageA(h, textMsg, nIndex, (LPARAM)buf);
  rString.ReleaseBuffer(got < 0 ? 0 : got);
  return got < 0 ? -1 : rString.GetLength();
}

}  // namespace

int GetListBoxEntry(HWND hList, int nIndex, CString& rString) {
  return GetEntry(hList, LB_GETTEXTLEN, LB_GETTEXT, nIndex, rString);
}

int GetComboBoxEntry(HWND hCombo, int nIndex, CString& rString) {
  return GetEntry(hCombo, CB_GETLBTEXTLEN, CB_GETLBTEXT, nIndex, rString);
}

int CListBox::GetText(int nIndex, CString& rString) const { return GetListBoxEntry(m_hWnd, nIndex, rString); }

int CComboBox::GetLBText(int nIndex, CString& rString) const { return GetComboBoxEntry(m_hWnd, nIndex, rString); }

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
  LVITEMA item = {};
  item.state = nState;
  item.stateMask = nMask;
  return (BOOL)SendMessage(LVM_SETITEMSTATE, nItem, (LPARAM)&item);
}

int CListCtrl::InsertColumn(int nCol, LPCSTR lpszHeading, int nFormat, int nWidth, int nSubItem) {
  LVCOLUMNA col = {};
  col.mask = LVCF_FMT | LVCF_TEXT;
  col.fmt = nFormat;
  col.pszText = const_cast<LPSTR>(lpszHeading);
  if (nWidth >= 0) {
    col.mask |= LVCF_WIDTH;
    col.cx = nWidth;
  }
  if (nSubItem >= 0) {
    col.mask |= LVCF_SUBITEM;
    col.iSubItem = nSubItem;
  }
  return (int)SendMessage(LVM_INSERTCOLUMNA, nCol, (LPARAM)&col);
}

int CListCtrl::InsertItem(int nItem, LPCSTR lpszItem, int nImage) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT | (nImage >= 0 ? LVIF_IMAGE : 0);
  item.iItem = nItem;
  item.pszText = const_cast<LPSTR>(lpszItem);
  item.iImage = nImage;
  return (int)SendMessage(LVM_INSERTITEMA, 0, (LPARAM)&item);
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, LPCSTR lpszText) {
  LVITEMA item = {};
  item.iSubItem = nSubItem;
  item.pszText = const_cast<LPSTR>(lpszText);
  return (BOOL)SendMessage(LVM_SETITEMTEXTA, nItem, (LPARAM)&item);
}

CString CListCtrl::GetItemText(int nItem, int nSubItem) const {
  char buf[1024] = "";
  LVITEMA item = {};
  item.iSubItem = nSubItem;
  item.pszText = buf;
  item.cchTextMax = sizeof buf;
  int n = (int)SendMessage(LVM_GETITEMTEXTA, nItem, (LPARAM)&item);
  return CString(buf, n);
}

HTREEITEM CTreeCtrl::InsertItem(LPCSTR lpszItem, int nImage, int nSelectedImage, HTREEITEM hParent,
                                HTREEITEM hInsertAfter, LPARAM lParam, int cChildren) {
  TVINSERTSTRUCTA tvi = {};
  tvi.hParent = hParent;
  tvi.hInsertAfter = hInsertAfter;
  tvi.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
  if (nImage >= 0) tvi.item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  tvi.item.pszText = const_cast<LPSTR>(lpszItem);
  tvi.item.iImage = nImage;
  tvi.item.iSelectedImage = nSelectedImage;
  tvi.item.lParam = lParam;
  tvi.item.cChildren = cChildren;
  return (HTREEITEM)SendMessage(TVM_INSERTITEMA, 0, (LPARAM)&tvi);
}

CString CTreeCtrl::GetItemText(HTREEITEM h) const {
  char buf[1024] = "";
  TVITEMA item = {};
  item.mask = TVIF_TEXT;
  item.hItem = h;
  item.pszText = buf;
  item.cchTextMax = sizeof buf;
  if (!SendMessage(TVM_GETITEMA, 0, (LPARAM)&item)) return CString();
  return CString(buf);
}

LPARAM CTreeCtrl::GetItemData(HTREEITEM h) const {
  TVITEMA item = {};
  item.mask = TVIF_PARAM;
  item.hItem = h;
  if (!SendMessage(TVM_GETITEMA, 0, (LPARAM)&item)) return 0;
  return item.lParam;
}

BOOL CTreeCtrl::SetItemChildren(HTREEITEM h, int cChildren) {
  TVITEMA item = {};
  item.mask = TVIF_CHILDREN;
  item.hItem = h;
  item.cChildren = cChildren;
  return (BOOL)SendMessage(TVM_SETITEMA, 0, (LPARAM)&item);
}

HTREEITEM CTreeCtrl::HitTest(POINT pt, UINT* pFlags) const {
  TVHITTESTINFO hti = {};
  hti.pt = pt;
  HTREEITEM h = (HTREEITEM)SendMessage(TVM_HITTEST, 0, (LPARAM)&hti);
  if (pFlags) *pFlags = hti.flags;
  return h;
}

CString CStatusBarCtrl::GetText(int nPane, int* pType) const {
  LRESULT r = SendMessage(SB_GETTEXTLENGTHA, nPane);
  int n = LOWORD(r);
  if (pType) *pType = HIWORD(r);
  CString s;
  char* buf = s.GetBuffer(n + 1);
  if (!buf) return s;
  buf[0] = 0;
  if (!(HIWORD(r) & SBT_OWNERDRAW)) SendMessage(SB_GETTEXTA, nPane, (LPARAM)buf);
  s.ReleaseBuffer();
  return s;
}
