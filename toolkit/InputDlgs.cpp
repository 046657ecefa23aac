// Small input dialogs.
#include "toolkit/InputDlgs.h"

#include "text/Numbers.h"

CInputDlgBase::CInputDlgBase(CWnd* pParent, LPCSTR lpszClass, DWORD dwInputStyle)
    : CDialog((const DLGTEMPLATE*)nullptr, pParent), m_strClass(lpszClass), m_dwInputStyle(dwInputStyle) {}

INT_PTR CInputDlgBase::DoModal() {
  delete m_pTemplate;
  m_pTemplate = new CDialogTemplate(m_strTitle, DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
                                    220, 66);
  m_pTemplate->AddItem("STATIC", m_strPrompt, SS_LEFT | SS_NOPREFIX, 7, 7, 206, 9, IDC_INPUT_PROMPT);
  bool combo = m_strClass == "COMBOBOX";
  m_pTemplate->AddItem(m_strClass, "", m_dwInputStyle | WS_TABSTOP | (combo ? 0 : WS_BORDER), 7, 19, 206, combo ? 120 : 12,
                       IDC_INPUT);
  m_pTemplate->AddItem("BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 109, 42, 50, 14, IDOK);
  m_pTemplate->AddItem("BUTTON", "Abbrechen", BS_PUSHBUTTON | WS_TABSTOP, 163, 42, 50, 14, IDCANCEL);
  SetTemplate(m_pTemplate->Get());
  return CDialog::DoModal();
}

namespace {

// The pixels a text needs on one line in the control's font.
int OneLineWidth(HWND control, LPCSTR text) {
  HDC dc = ::GetDC(control);
  if (!dc) return 0;
  HGDIOBJ old = ::SelectObject(dc, (HFONT)::SendMessageA(control, WM_GETFONT, 0, 0));
  RECT r = {0, 0, 0, 0};
  ::DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return r.right - r.left;
}

// Moves a dialog item right by dx and widens it by grow (pixels).
void ShiftDlgItem(HWND dlg, int id, int dx, int grow) {
  HWND item = ::GetDlgItem(dlg, id);
  RECT r;
  if (!item || !::GetWindowRect(item, &r)) return;
  ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
  ::SetWindowPos(item, nullptr, r.left + dx, r.top, r.right - r.left + grow, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

BOOL CInputDlgBase::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(m_strTitle);
  FitPrompt();
  return TRUE;
}

void CInputDlgBase::FitPrompt() {
  // The prompt has one line: a longer one would wrap onto a line that the dialog does not show.
  // The dialog grows instead (within the screen), the input with it, the buttons stay right.
  HWND prompt = ::GetDlgItem(m_hWnd, IDC_INPUT_PROMPT);
  RECT room, win;
  if (!prompt || !::GetClientRect(prompt, &room) || !::GetWindowRect(m_hWnd, &win)) return;
  const int width = win.right - win.left, screen = ::GetSystemMetrics(SM_CXSCREEN);
  int grow = OneLineWidth(prompt, m_strPrompt) - room.right;
  if (grow > screen - width) grow = screen - width;
  if (grow <= 0) return;
  ShiftDlgItem(m_hWnd, IDC_INPUT_PROMPT, 0, grow);
  ShiftDlgItem(m_hWnd, IDC_INPUT, 0, grow);
  ShiftDlgItem(m_hWnd, IDOK, grow, 0);
  ShiftDlgItem(m_hWnd, IDCANCEL, grow, 0);
  int left = win.left - grow / 2;
  if (left < 0) left = 0;
  ::SetWindowPos(m_hWnd, nullptr, left, win.top, width + grow, win.bottom - win.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- CTextDlg -----------------------------------------------------------------------------------

CTextDlg::CTextDlg(CWnd* pParent) : CInputDlgBase(pParent, "EDIT", ES_AUTOHSCROLL) {}

void CTextDlg::DoDataExchange(CDataExchange* pDX) { DDX_Text(pDX, IDC_INPUT, m_strText); }

// --- CValueDlg ----------------------------------------------------------------------------------

CValueDlg::CValueDlg(CWnd* pParent) : CInputDlgBase(pParent, "EDIT", ES_AUTOHSCROLL) {}

void CValueDlg::SetValue(int nValue, LPCSTR lpszFormat) {
  m_nValue = nValue;
  m_strFormat = lpszFormat && *lpszFormat ? lpszFormat : "%d";
}

BOOL CValueDlg::OnInitDialog() {
  CInputDlgBase::OnInitDialog();
  CString text;
  text.Format(m_strFormat, m_nValue);
  SetDlgItemText(IDC_INPUT, text);
  ::SendDlgItemMessageA(m_hWnd, IDC_INPUT, EM_SETSEL, 0, -1);
  return TRUE;
}

void CValueDlg::OnOK() {
  CString text;
  GetDlgItemText(IDC_INPUT, text);
  int used = 0;
  int value = StrToIntClamped(text, 0, &used);
  // Only blanks may follow the number.
  const char* rest = (LPCSTR)text + used;
  while (*rest == ' ' || *rest == '\t') ++rest;
  if (used == 0 || *rest) {
    ::MessageBoxA(m_hWnd, "Bitte eine Zahl eingeben.", AfxGetAppName(), MB_OK | MB_ICONEXCLAMATION);
    HWND h = ::GetDlgItem(m_hWnd, IDC_INPUT);
    ::SetFocus(h);
    ::SendMessageA(h, EM_SETSEL, 0, -1);
    return;
  }
  m_nValue = value;
  EndDialog(IDOK);
}

// --- CComboDlg ----------------------------------------------------------------------------------

CComboDlg::CComboDlg(CWnd* pParent) : CInputDlgBase(pParent, "COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL) {}

CComboDlg::~CComboDlg() {}

int CComboDlg::AddItem(LPCSTR lpszText, DWORD_PTR dwData) {
  m_items.push_back({CString(lpszText), dwData});
  int i = (int)m_items.size() - 1;
  if (m_hWnd) {
    ::SendDlgItemMessageA(m_hWnd, IDC_INPUT, CB_ADDSTRING, 0, (LPARAM)lpszText);
  }
  return i;
}

BOOL CComboDlg::SetItemData(int nIndex, DWORD_PTR dwData) {
  if (nIndex < 0 || nIndex >= GetCount()) return FALSE;
  m_items[nIndex].data = dwData;
  return TRUE;
}

int CComboDlg::FindItem(LPCSTR lpszText, int nFlags) {
  for (int i = 0; i < GetCount(); ++i) {
    const CString& t = m_items[i].text;
    if ((nFlags & 1) ? t.CompareNoCase(lpszText) == 0 : t.Compare(lpszText) == 0) {
      m_nSel = i;
      if (m_hWnd) ::SendDlgItemMessageA(m_hWnd, IDC_INPUT, CB_SETCURSEL, i, 0);
      return i;
    }
  }
  return -1;
}

void CComboDlg::RemoveAll() {
  m_items.clear();
  m_nSel = -1;
  if (m_hWnd) ::SendDlgItemMessageA(m_hWnd, IDC_INPUT, CB_RESETCONTENT, 0, 0);
}

CString CComboDlg::GetText() const { return m_nSel >= 0 && m_nSel < GetCount() ? m_items[m_nSel].text : CString(); }

DWORD_PTR CComboDlg::GetItemData(int nIndex) const {
  if (nIndex == -2) nIndex = m_nSel;
  return nIndex >= 0 && nIndex < GetCount() ? m_items[nIndex].data : 0;
}

BOOL CComboDlg::OnInitDialog() {
  CInputDlgBase::OnInitDialog();
  // The list keeps the order of AddItem (no CBS_SORT), so list index = item index.
  HWND h = ::GetDlgItem(m_hWnd, IDC_INPUT);
  for (const Item& it : m_items) ::SendMessageA(h, CB_ADDSTRING, 0, (LPARAM)(LPCSTR)it.text);
  ::SendMessageA(h, CB_SETCURSEL, m_nSel >= 0 ? m_nSel : (m_items.empty() ? -1 : 0), 0);
  return TRUE;
}

void CComboDlg::OnOK() {
  m_nSel = (int)::SendDlgItemMessageA(m_hWnd, IDC_INPUT, CB_GETCURSEL, 0, 0);
  EndDialog(IDOK);
}
