// Thin wrappers of the standard controls. They add no data, so a wrapper returned by
// CWnd::GetDlgItem may be used as any of them. Owner-drawn list and combo boxes and buttons get
// their WM_DRAWITEM/WM_MEASUREITEM reflected to DrawItem/MeasureItem.
#pragma once
#include "framework/Wnd.h"


// Entry nIndex of a list box / of a combo box's list, read whole: its length first
// (LB_GETTEXTLEN / CB_GETLBTEXTLEN), then the text into a buffer of that length, so that an
// entry of any length fits. Returns the length; -1 (LB_ERR / CB_ERR) with rString empty for a
// bad index, a missing window or when memory runs out.
int GetListBoxEntry(HWND hList, int nIndex, CString& rString);
int GetComboBoxEntry(HWND hCombo, int nIndex, CString& rString);

class CStatic : public CWnd {
  DECLARE_DYNAMIC(CStatic)
public:
  BOOL Create(LPCSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID = 0xFFFF) {
    return CWnd::CreateEx(0, "STATIC", lpszText, dwStyle, rect, pParentWnd, nID);
  }
  HBITMAP SetBitmap(HBITMAP h) { return (HBITMAP)SendMessage(STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)h); }
  HICON SetIcon(HICON h) { return (HICON)SendMessage(STM_SETICON, (WPARAM)h); }
};

class CButton : public CWnd {
  DECLARE_DYNAMIC(CButton)
public:
  BOOL Create(LPCSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::CreateEx(0, "BUTTON", lpszCaption, dwStyle, rect, pParentWnd, nID);
  }
  int GetCheck() const { return (int)SendMessage(BM_GETCHECK); }
  void SetCheck(int nCheck) { SendMessage(BM_SETCHECK, nCheck); }
  UINT GetButtonStyle() const { return GetStyle() & 0xFFFF; }
  void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE) { SendMessage(BM_SETSTYLE, nStyle, bRedraw); }
  HBITMAP SetBitmap(HBITMAP h) { return (HBITMAP)SendMessage(BM_SETIMAGE, IMAGE_BITMAP, (LPARAM)h); }
  HBITMAP GetBitmap() const { return (HBITMAP)SendMessage(BM_GETIMAGE, IMAGE_BITMAP); }
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}

protected:
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CEdit : public CWnd {
  DECLARE_DYNAMIC(CEdit)
public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::CreateEx(WS_EX_CLIENTEDGE, "EDIT", "", dwStyle, rect, pParentWnd, nID);
  }
  void SetSel(int nStart, int nEnd, BOOL bNoScroll = FALSE) {
    SendMessage(EM_SETSEL, nStart, nEnd);
    if (!bNoScroll) SendMessage(EM_SCROLLCARET);
  }
  void GetSel(int& nStart, int& nEnd) const { SendMessage(EM_GETSEL, (WPARAM)&nStart, (LPARAM)&nEnd); }
  void ReplaceSel(LPCSTR lpszNewText, BOOL bCanUndo = FALSE) { SendMessage(EM_REPLACESEL, bCanUndo, (LPARAM)lpszNewText); }
  void LimitText(int nChars = 0) { SendMessage(EM_LIMITTEXT, nChars); }
  void SetReadOnly(BOOL bReadOnly = TRUE) { SendMessage(EM_SETREADONLY, bReadOnly); }
  int GetLineCount() const { return (int)SendMessage(EM_GETLINECOUNT); }
};

class CListBox : public CWnd {
  DECLARE_DYNAMIC(CListBox)
public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::CreateEx(WS_EX_CLIENTEDGE, "LISTBOX", nullptr, dwStyle, rect, pParentWnd, nID);
  }
  int GetCount() const { return (int)SendMessage(LB_GETCOUNT); }
  int GetCurSel() const { return (int)SendMessage(LB_GETCURSEL); }
  int SetCurSel(int nSelect) { return (int)SendMessage(LB_SETCURSEL, nSelect); }
  int GetSel(int nIndex) const { return (int)SendMessage(LB_GETSEL, nIndex); }
  int SetSel(int nIndex, BOOL bSelect = TRUE) { return (int)SendMessage(LB_SETSEL, bSelect, nIndex); }
  int GetSelCount() const { return (int)SendMessage(LB_GETSELCOUNT); }
  int GetText(int nIndex, CString& rString) const;
  int GetTextLen(int nIndex) const { return (int)SendMessage(LB_GETTEXTLEN, nIndex); }
  int AddString(LPCSTR s) { return (int)SendMessage(LB_ADDSTRING, 0, (LPARAM)s); }
  int InsertString(int nIndex, LPCSTR s) { return (int)SendMessage(LB_INSERTSTRING, nIndex, (LPARAM)s); }
  int DeleteString(UINT nIndex) { return (int)SendMessage(LB_DELETESTRING, nIndex); }
  void ResetContent() { SendMessage(LB_RESETCONTENT); }
  int FindStringExact(int nStartAfter, LPCSTR s) const { return (int)SendMessage(LB_FINDSTRINGEXACT, nStartAfter, (LPARAM)s); }
  DWORD_PTR GetItemData(int nIndex) const { return (DWORD_PTR)SendMessage(LB_GETITEMDATA, nIndex); }
  int SetItemData(int nIndex, DWORD_PTR dwItemData) { return (int)SendMessage(LB_SETITEMDATA, nIndex, (LPARAM)dwItemData); }
  int GetTopIndex() const { return (int)SendMessage(LB_GETTOPINDEX); }
  int SetTopIndex(int nIndex) { return (int)SendMessage(LB_SETTOPINDEX, nIndex); }
  int SetItemHeight(int nIndex, UINT cyItemHeight) { return (int)SendMessage(LB_SETITEMHEIGHT, nIndex, cyItemHeight); }
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
  virtual void MeasureItem(LPMEASUREITEMSTRUCT) {}

protected:
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CComboBox : public CWnd {
  DECLARE_DYNAMIC(CComboBox)
public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::CreateEx(0, "COMBOBOX", nullptr, dwStyle, rect, pParentWnd, nID);
  }
  int GetCount() const { return (int)SendMessage(CB_GETCOUNT); }
  int GetCurSel() const { return (int)SendMessage(CB_GETCURSEL); }
  int SetCurSel(int nSelect) { return (int)SendMessage(CB_SETCURSEL, nSelect); }
  int GetLBText(int nIndex, CString& rString) const;
  int GetLBTextLen(int nIndex) const { return (int)SendMessage(CB_GETLBTEXTLEN, nIndex); }
  int AddString(LPCSTR s) { return (int)SendMessage(CB_ADDSTRING, 0, (LPARAM)s); }
  int InsertString(int nIndex, LPCSTR s) { return (int)SendMessage(CB_INSERTSTRING, nIndex, (LPARAM)s); }
  int DeleteString(UINT nIndex) { return (int)SendMessage(CB_DELETESTRING, nIndex); }
  void ResetContent() { SendMessage(CB_RESETCONTENT); }
  int FindStringExact(int nStartAfter, LPCSTR s) const { return (int)SendMessage(CB_FINDSTRINGEXACT, nStartAfter, (LPARAM)s); }
  int SelectString(int nStartAfter, LPCSTR s) { return (int)SendMessage(CB_SELECTSTRING, nStartAfter, (LPARAM)s); }
  DWORD_PTR GetItemData(int nIndex) const { return (DWORD_PTR)SendMessage(CB_GETITEMDATA, nIndex); }
  int SetItemData(int nIndex, DWORD_PTR dwItemData) { return (int)SendMessage(CB_SETITEMDATA, nIndex, (LPARAM)dwItemData); }
  DWORD GetEditSel() const { return (DWORD)SendMessage(CB_GETEDITSEL); }
  BOOL SetEditSel(int nStart, int nEnd) { return (BOOL)SendMessage(CB_SETEDITSEL, 0, MAKELPARAM(nStart, nEnd)); }
  BOOL LimitText(int nMaxChars) { return (BOOL)SendMessage(CB_LIMITTEXT, nMaxChars); }
  void ShowDropDown(BOOL bShow = TRUE) { SendMessage(CB_SHOWDROPDOWN, bShow); }
  BOOL GetDroppedState() const { return (BOOL)SendMessage(CB_GETDROPPEDSTATE); }
  int SetItemHeight(int nIndex, UINT cyItemHeight) { return (int)SendMessage(CB_SETITEMHEIGHT, nIndex, cyItemHeight); }
  int GetItemHeight(int nIndex) const { return (int)SendMessage(CB_GETITEMHEIGHT, nIndex); }
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
  virtual void MeasureItem(LPMEASUREITEMSTRUCT) {}

protected:
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CProgressCtrl : public CWnd {
  DECLARE_DYNAMIC(CProgressCtrl)
public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::CreateEx(0, PROGRESS_CLASSA, nullptr, dwStyle, rect, pParentWnd, nID);
  }
  void SetRange32(int nLower, int nUpper) { SendMessage(PBM_SETRANGE32, nLower, nUpper); }
  int SetPos(int nPos) { return (int)SendMessage(PBM_SETPOS, nPos); }
  int GetPos() const { return (int)SendMessage(PBM_GETPOS); }
  BOOL SetMarquee(BOOL fMarqueeMode, int nInterval) { return (BOOL)SendMessage(PBM_SETMARQUEE, fMarqueeMode, nInterval); }
};

class CHeaderCtrl : public CWnd {
  DECLARE_DYNAMIC(CHeaderCtrl)
public:
  int GetItemCount() const { return (int)SendMessage(HDM_GETITEMCOUNT); }
  BOOL GetItem(int nPos, HDITEMA* pItem) const { return (BOOL)SendMessage(HDM_GETITEMA, nPos, (LPARAM)pItem); }
  BOOL SetItem(int nPos, HDITEMA* pItem) { return (BOOL)SendMessage(HDM_SETITEMA, nPos, (LPARAM)pItem); }
};

class CListCtrl : public CWnd {
  DECLARE_DYNAMIC(CListCtrl)
public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::CreateEx(WS_EX_CLIENTEDGE, WC_LISTVIEWA, nullptr, dwStyle, rect, pParentWnd, nID);
  }
  int GetItemCount() const { return (int)SendMessage(LVM_GETITEMCOUNT); }
  BOOL SetItemCountEx(int nItems, DWORD dwFlags = LVSICF_NOINVALIDATEALL) {
    return (BOOL)SendMessage(LVM_SETITEMCOUNT, nItems, dwFlags);
  }
  int GetNextItem(int nItem, int nFlags) const { return (int)SendMessage(LVM_GETNEXTITEM, nItem, MAKELPARAM(nFlags, 0)); }
  int GetSelectedCount() const { return (int)SendMessage(LVM_GETSELECTEDCOUNT); }
  UINT GetItemState(int nItem, UINT nMask) const { return (UINT)SendMessage(LVM_GETITEMSTATE, nItem, nMask); }
  BOOL SetItemState(int nItem, UINT nState, UINT nMask);
  int InsertColumn(int nCol, LPCSTR lpszHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1, int nSubItem = -1);
  BOOL DeleteColumn(int nCol) { return (BOOL)SendMessage(LVM_DELETECOLUMN, nCol); }
  int InsertItem(int nItem, LPCSTR lpszItem, int nImage = -1);
  BOOL SetItemText(int nItem, int nSubItem, LPCSTR lpszText);
  CString GetItemText(int nItem, int nSubItem) const;
  BOOL DeleteAllItems() { return (BOOL)SendMessage(LVM_DELETEALLITEMS); }
  BOOL EnsureVisible(int nItem, BOOL bPartialOK) { return (BOOL)SendMessage(LVM_ENSUREVISIBLE, nItem, bPartialOK); }
  BOOL RedrawItems(int nFirst, int nLast) { return (BOOL)SendMessage(LVM_REDRAWITEMS, nFirst, nLast); }
  DWORD SetExtendedStyle(DWORD dwNewStyle) { return (DWORD)SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, dwNewStyle); }
  HIMAGELIST SetImageList(HIMAGELIST h, int nImageList) { return (HIMAGELIST)SendMessage(LVM_SETIMAGELIST, nImageList, (LPARAM)h); }
  CHeaderCtrl* GetHeaderCtrl() const { return (CHeaderCtrl*)CWnd::FromHandle((HWND)SendMessage(LVM_GETHEADER)); }
  int HitTest(LVHITTESTINFO* pInfo) const { return (int)SendMessage(LVM_HITTEST, 0, (LPARAM)pInfo); }
  int GetTopIndex() const { return (int)SendMessage(LVM_GETTOPINDEX); }
};

class CTreeCtrl : public CWnd {
  DECLARE_DYNAMIC(CTreeCtrl)
public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::CreateEx(WS_EX_CLIENTEDGE, WC_TREEVIEWA, nullptr, dwStyle, rect, pParentWnd, nID);
  }
  HTREEITEM InsertItem(LPCSTR lpszItem, int nImage, int nSelectedImage, HTREEITEM hParent = TVI_ROOT,
                       HTREEITEM hInsertAfter = TVI_LAST, LPARAM lParam = 0, int cChildren = 0);
  BOOL DeleteItem(HTREEITEM hItem) { return (BOOL)SendMessage(TVM_DELETEITEM, 0, (LPARAM)hItem); }
  BOOL DeleteAllItems() { return DeleteItem(TVI_ROOT); }
  HTREEITEM GetNextItem(HTREEITEM hItem, UINT nCode) const {
    return (HTREEITEM)SendMessage(TVM_GETNEXTITEM, nCode, (LPARAM)hItem);
  }
  HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
  HTREEITEM GetChildItem(HTREEITEM h) const { return GetNextItem(h, TVGN_CHILD); }
  HTREEITEM GetNextSiblingItem(HTREEITEM h) const { return GetNextItem(h, TVGN_NEXT); }
  HTREEITEM GetParentItem(HTREEITEM h) const { return GetNextItem(h, TVGN_PARENT); }
  HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
  BOOL SelectItem(HTREEITEM h) { return (BOOL)SendMessage(TVM_SELECTITEM, TVGN_CARET, (LPARAM)h); }
  BOOL Expand(HTREEITEM h, UINT nCode) { return (BOOL)SendMessage(TVM_EXPAND, nCode, (LPARAM)h); }
  BOOL EnsureVisible(HTREEITEM h) { return (BOOL)SendMessage(TVM_ENSUREVISIBLE, 0, (LPARAM)h); }
  CString GetItemText(HTREEITEM h) const;
  LPARAM GetItemData(HTREEITEM h) const;
  BOOL SetItemChildren(HTREEITEM h, int cChildren);
  HTREEITEM HitTest(POINT pt, UINT* pFlags = nullptr) const;
  HIMAGELIST SetImageList(HIMAGELIST h, int nImageList) { return (HIMAGELIST)SendMessage(TVM_SETIMAGELIST, nImageList, (LPARAM)h); }
};

class CStatusBarCtrl : public CWnd {
  DECLARE_DYNAMIC(CStatusBarCtrl)
public:
  BOOL SetParts(int nParts, const int* pWidths) { return (BOOL)SendMessage(SB_SETPARTS, nParts, (LPARAM)pWidths); }
  int GetParts(int nParts, int* pParts) const { return (int)SendMessage(SB_GETPARTS, nParts, (LPARAM)pParts); }
  // nType: 0, SBT_NOBORDERS, SBT_POPOUT, SBT_OWNERDRAW (then lpszText is the item data).
  BOOL SetText(LPCSTR lpszText, int nPane, int nType) { return (BOOL)SendMessage(SB_SETTEXTA, nPane | nType, (LPARAM)lpszText); }
  CString GetText(int nPane, int* pType = nullptr) const;
  BOOL GetRect(int nPane, LPRECT lpRect) const { return (BOOL)SendMessage(SB_GETRECT, nPane, (LPARAM)lpRect); }
};
