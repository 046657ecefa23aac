// Dialogs and data exchange.
#include "framework/Framework.h"
#include <cstdlib>

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_COMMAND(IDOK, OnOKCommand)
  ON_COMMAND(IDCANCEL, OnCancelCommand)
END_MESSAGE_MAP()

// The dialog procedure under the subclassed dialog window: it only starts the dialog; every
// other message is handled through the map by FwWndProc before it gets here.
static INT_PTR CALLBACK FwDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    CDialog* pDlg = reinterpret_cast<CDialog*>(lParam);
    CWnd* pAttached = CWnd::FromHandlePermanent(hWnd);
    if (pDlg && pAttached == pDlg) return pDlg->OnInitDialog();
    return TRUE;
  }
  return FALSE;
}

CDialog::CDialog() {}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::CDialog(const DLGTEMPLATE* lpTemplate, CWnd* pParentWnd) : m_lpTemplate(lpTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) ::DestroyWindow(m_hWnd);
}

HWND CDialog::ParentForDialog() const {
  HWND h = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  if (!h) {
    CWnd* pMain = AfxGetMainWnd();
    h = pMain ? pMain->m_hWnd : nullptr;
  }
  if (h) h = ::GetAncestor(h, GA_ROOT);
  return h;
}

const DLGTEMPLATE* CDialog::LoadTemplate() const {
  if (m_lpTemplate) return m_lpTemplate;
  HINSTANCE hInst = AfxGetResourceHandle();
  HRSRC hRes = ::FindResourceA(hInst, MAKEINTRESOURCEA(m_nIDTemplate), (LPCSTR)RT_DIALOG);
  if (!hRes) return nullptr;
  HGLOBAL hGlob = ::LoadResource(hInst, hRes);
  return hGlob ? static_cast<const DLGTEMPLATE*>(::LockResource(hGlob)) : nullptr;
}

// Creation hooks the dialog window before its first message (see CWnd::CreateEx).
extern void FwHookWindowCreate(CWnd* pWnd);
extern void FwUnhookWindowCreate();

INT_PTR CDialog::DoModal() {
  const DLGTEMPLATE* tmpl = LoadTemplate();
  if (!tmpl || m_hWnd) return -1;
  m_bModal = TRUE;
  FwHookWindowCreate(this);
  INT_PTR r = ::DialogBoxIndirectParamA(AfxGetResourceHandle(), tmpl, ParentForDialog(), FwDlgProc, (LPARAM)this);
  FwUnhookWindowCreate();
  m_bModal = FALSE;
  if (m_hWnd && !::IsWindow(m_hWnd)) Detach();
  return r;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
  SetTemplate(nIDTemplate);
  if (pParentWnd) m_pParentWnd = pParentWnd;
  const DLGTEMPLATE* tmpl = LoadTemplate();
  return tmpl ? CreateIndirect(tmpl, pParentWnd) : FALSE;
}

BOOL CDialog::CreateIndirect(const DLGTEMPLATE* lpTemplate, CWnd* pParentWnd) {
  if (m_hWnd || !lpTemplate) return FALSE;
  m_lpTemplate = lpTemplate;
  if (pParentWnd) m_pParentWnd = pParentWnd;
  m_bModal = FALSE;
  FwHookWindowCreate(this);
  HWND h = ::CreateDialogIndirectParamA(AfxGetResourceHandle(), lpTemplate, ParentForDialog(), FwDlgProc, (LPARAM)this);
  FwUnhookWindowCreate();
  if (!h) {
    if (m_hWnd && !::IsWindow(m_hWnd)) Detach();
    return FALSE;
  }
  return m_hWnd == h;
}

void CDialog::EndDialog(INT_PTR nResult) {
  if (!m_hWnd) return;
  if (m_bModal)
    ::EndDialog(m_hWnd, nResult);
  else
    ::ShowWindow(m_hWnd, SW_HIDE);
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return CWnd::DefWindowProc(message, wParam, lParam);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  DoDataExchange(&dx);
  return !dx.m_bFailed;
}

UINT CDialog::GetDefID() const {
  LRESULT r = ::SendMessageA(m_hWnd, DM_GETDEFID, 0, 0);
  return HIWORD(r) == DC_HASDEFID ? LOWORD(r) : 0;
}

void CDialog::GotoDlgCtrl(CWnd* pWndCtrl) {
  if (pWndCtrl) ::SendMessageA(m_hWnd, WM_NEXTDLGCTL, (WPARAM)pWndCtrl->m_hWnd, TRUE);
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
  // Modeless dialogs need the dialog keys (Tab, Enter, Esc) from the main loop.
  if (!m_bModal && m_hWnd && pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST)
    return ::IsDialogMessageA(m_hWnd, pMsg);
  return FALSE;
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode, void* pExtra, FwCmdHandlerInfo* pHandlerInfo) {
  return CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

// --- Data exchange ---------------------------------------------------------------------------

HWND CDataExchange::PrepareCtrl(int nIDC) {
  HWND h = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
  if (!h) m_bFailed = TRUE;
  return h;
}

void CDataExchange::Fail(int nIDC, LPCSTR lpszMessage) {
  m_bFailed = TRUE;
  if (lpszMessage) ::MessageBoxA(m_pDlgWnd->m_hWnd, lpszMessage, AfxGetAppName(), MB_OK | MB_ICONEXCLAMATION);
  HWND h = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
  if (h) {
    ::SendMessageA(m_pDlgWnd->m_hWnd, WM_NEXTDLGCTL, (WPARAM)h, TRUE);
    ::SendMessageA(h, EM_SETSEL, 0, -1);
  }
}

static CString WindowText(HWND h) {
  CString s;
  int n = ::GetWindowTextLengthA(h);
  char* buf = s.GetBuffer(n + 1);
  if (!buf) return s;
  s.ReleaseBuffer(::GetWindowTextA(h, buf, n + 1));
  return s;
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
  if (pDX->m_bFailed) return;
  HWND h = pDX->PrepareCtrl(nIDC);
  if (!h) return;
  if (pDX->m_bSaveAndValidate)
    value = WindowText(h);
  else
    ::SetWindowTextA(h, value);
}

// Parses blanks, an optional sign, decimal digits, blanks; FALSE for anything else or overflow.
static BOOL ParseInt(const char* s, long long lo, long long hi, long long& out) {
  while (*s == ' ' || *s == '\t') ++s;
  bool neg = false;
  if (*s == '+' || *s == '-') neg = *s++ == '-';
  if (*s < '0' || *s > '9') return FALSE;
  long long v = 0;
  while (*s >= '0' && *s <= '9') {
    v = v * 10 + (*s++ - '0');
    if (v > 0xFFFFFFFFLL) return FALSE;
  }
  while (*s == ' ' || *s == '\t') ++s;
  if (*s) return FALSE;
  if (neg) v = -v;
  if (v < lo || v > hi) return FALSE;
  out = v;
  return TRUE;
}

static void DDX_Number(CDataExchange* pDX, int nIDC, long long& v, long long lo, long long hi, BOOL bSigned) {
  if (pDX->m_bFailed) return;
  HWND h = pDX->PrepareCtrl(nIDC);
  if (!h) return;
  if (pDX->m_bSaveAndValidate) {
    if (!ParseInt(WindowText(h), lo, hi, v))
      pDX->Fail(nIDC, bSigned ? "Bitte eine ganze Zahl eingeben." : "Bitte eine positive ganze Zahl eingeben.");
  } else {
    char buf[32];
    wsprintfA(buf, bSigned ? "%d" : "%u", (int)v);
    ::SetWindowTextA(h, buf);
  }
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
  long long v = value;
  DDX_Number(pDX, nIDC, v, -2147483647LL - 1, 2147483647LL, TRUE);
  if (pDX->m_bSaveAndValidate && !pDX->m_bFailed) value = (int)v;
}

void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value) {
  long long v = value;
  DDX_Number(pDX, nIDC, v, 0, 0xFFFFFFFFLL, FALSE);
  if (pDX->m_bSaveAndValidate && !pDX->m_bFailed) value = (UINT)v;
}

void DDX_Text(CDataExchange* pDX, int nIDC, DWORD& value) {
  UINT u = value;
  DDX_Text(pDX, nIDC, u);
  value = u;
}

void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value) {
  if (pDX->m_bFailed) return;
  HWND h = pDX->PrepareCtrl(nIDC);
  if (!h) return;
  bool dropList = (::GetWindowLongA(h, GWL_STYLE) & 3) == CBS_DROPDOWNLIST;
  if (pDX->m_bSaveAndValidate) {
    int sel = (int)::SendMessageA(h, CB_GETCURSEL, 0, 0);
    if (dropList) {
      if (sel < 0) {
        value.Empty();
        return;
      }
      GetComboBoxEntry(h, sel, value);
    } else {
      value = WindowText(h);
    }
  } else {
    int i = (int)::SendMessageA(h, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)(LPCSTR)value);
    if (dropList) {
      ::SendMessageA(h, CB_SETCURSEL, i, 0);
    } else {
      ::SetWindowTextA(h, value);
    }
  }
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index) {
  if (pDX->m_bFailed) return;
  HWND h = pDX->PrepareCtrl(nIDC);
  if (!h) return;
  if (pDX->m_bSaveAndValidate)
    index = (int)::SendMessageA(h, CB_GETCURSEL, 0, 0);
  else
    ::SendMessageA(h, CB_SETCURSEL, index, 0);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
  if (pDX->m_bFailed) return;
  HWND h = pDX->PrepareCtrl(nIDC);
  if (!h) return;
  if (pDX->m_bSaveAndValidate)
    value = (int)::SendMessageA(h, BM_GETCHECK, 0, 0);
  else
    ::SendMessageA(h, BM_SETCHECK, value, 0);
}

static bool IsRadio(HWND h) {
  char cls[16] = "";
  ::GetClassNameA(h, cls, sizeof cls);
  if (lstrcmpiA(cls, "Button") != 0) return false;
  UINT type = (UINT)::SendMessageA(h, WM_GETDLGCODE, 0, 0);
  return (type & DLGC_RADIOBUTTON) != 0;
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
  if (pDX->m_bFailed) return;
  HWND h = pDX->PrepareCtrl(nIDC);
  if (!h) return;
  if (pDX->m_bSaveAndValidate) value = -1;
  int index = 0;
  // The group: this button and the following siblings in tab order up to the next WS_GROUP.
  for (HWND c = h; c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    if (c != h && (::GetWindowLongA(c, GWL_STYLE) & WS_GROUP)) break;
    if (!IsRadio(c)) continue;
    if (pDX->m_bSaveAndValidate) {
      if (::SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
    } else {
      ::SendMessageA(c, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    ++index;
  }
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (pDX->m_bFailed || rControl.m_hWnd) return;
  HWND h = pDX->PrepareCtrl(nIDC);
  if (h && !rControl.SubclassWindow(h)) pDX->m_bFailed = TRUE;
}

// --- Templates in memory ------------------------------------------------------------------------

CDialogTemplate::CDialogTemplate(LPCSTR lpszCaption, DWORD dwStyle, int x, int y, int cx, int cy, LPCSTR lpszFont,
                                 WORD wPointSize) {
  DWORD style = dwStyle | DS_SETFONT;
  m_words.push_back(LOWORD(style));
  m_words.push_back(HIWORD(style));
  m_words.push_back(0);  // extended style
  m_words.push_back(0);
  m_countOffset = m_words.size();
  m_words.push_back(0);  // item count
  m_words.push_back((WORD)x);
  m_words.push_back((WORD)y);
  m_words.push_back((WORD)cx);
  m_words.push_back((WORD)cy);
  m_words.push_back(0);  // no menu
  m_words.push_back(0);  // default class
  AddString(lpszCaption);
  m_words.push_back(wPointSize);
  AddString(lpszFont);
}

void CDialogTemplate::AddString(LPCSTR s) {
  if (!s) s = "";
  int n = ::MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
  size_t at = m_words.size();
  m_words.resize(at + (n > 0 ? n : 1), 0);
  if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, s, -1, reinterpret_cast<LPWSTR>(&m_words[at]), n);
}

void CDialogTemplate::Align() {
  if (m_words.size() % 2) m_words.push_back(0);
}

void CDialogTemplate::AddItem(LPCSTR lpszClass, LPCSTR lpszText, DWORD dwStyle, int x, int y, int cx, int cy, WORD wID,
                              DWORD dwExStyle) {
  Align();
  DWORD style = dwStyle | WS_CHILD | WS_VISIBLE;
  m_words.push_back(LOWORD(style));
  m_words.push_back(HIWORD(style));
  m_words.push_back(LOWORD(dwExStyle));
  m_words.push_back(HIWORD(dwExStyle));
  m_words.push_back((WORD)x);
  m_words.push_back((WORD)y);
  m_words.push_back((WORD)cx);
  m_words.push_back((WORD)cy);
  m_words.push_back(wID);
  static const struct {
    const char* name;
    WORD atom;
  } kAtoms[] = {{"BUTTON", 0x80}, {"EDIT", 0x81}, {"STATIC", 0x82}, {"LISTBOX", 0x83}, {"SCROLLBAR", 0x84}, {"COMBOBOX", 0x85}};
  WORD atom = 0;
  for (const auto& a : kAtoms)
    if (lstrcmpiA(a.name, lpszClass) == 0) atom = a.atom;
  if (atom) {
    m_words.push_back(0xFFFF);
    m_words.push_back(atom);
  } else {
    AddString(lpszClass);
  }
  AddString(lpszText);
  m_words.push_back(0);  // no creation data
  m_words[m_countOffset]++;
}
