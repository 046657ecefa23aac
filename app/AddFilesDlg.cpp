// Dialog 130 "Dateien hinzufügen".
#include "app/AddFilesDlg.h"

#include <time.h>

#include "app/Resource.h"
#include "system/Paths.h"
#include "system/RegKeys.h"
#include "text/Numbers.h"
#include "toolkit/ControlHelpers.h"
#include "toolkit/DialogPlace.h"

namespace {

CDialogPlace g_place;

const int kTimeIds[5] = {IDC_TIME_ANY, IDC_TIME_CREATED_BEFORE, IDC_TIME_CREATED_AFTER, IDC_TIME_CHANGED_BEFORE,
                         IDC_TIME_CHANGED_AFTER};
const int kWriteIds[3] = {IDC_WP_ANY, IDC_WP_ONLY, IDC_WP_NOT};

CString PrintTime(long long t) {
  char buf[48];
  int n = FormatDateTime(buf, t, DT_DAY | DT_MONTH | DT_YEAR | DT_HOURMIN | DT_SECONDS | DT_ZEROS);
  return CString(buf, n);
}

DWORD ReadDword(CRegKeys& reg, const char* name, DWORD def) {
  DWORD v = def;
  reg.QueryValue(&v, sizeof v, name, REG_DWORD);
  return v;
}

void CheckOne(HWND dlg, const int* ids, int n, int index) {
  for (int i = 0; i < n; ++i) ::CheckDlgButton(dlg, ids[i], i == index ? BST_CHECKED : BST_UNCHECKED);
}

CString ComboText(HWND dlg, int id) {
  CString s;
  HWND combo = ::GetDlgItem(dlg, id);
  int n = ::GetWindowTextLengthA(combo);
  char* buf = s.GetBuffer(n + 1);
  if (buf) {
    ::GetWindowTextA(combo, buf, n + 1);
    s.ReleaseBuffer();
  }
  return s;
}

}  // namespace

BEGIN_MESSAGE_MAP(CAddFilesDlg, CDialog)
  ON_BN_CLICKED(IDC_TIME_NOW, OnNow)
  ON_BN_CLICKED(IDC_TIME_ANY, OnTimeMode)
  ON_BN_CLICKED(IDC_TIME_CREATED_BEFORE, OnTimeMode)
  ON_BN_CLICKED(IDC_TIME_CREATED_AFTER, OnTimeMode)
  ON_BN_CLICKED(IDC_TIME_CHANGED_BEFORE, OnTimeMode)
  ON_BN_CLICKED(IDC_TIME_CHANGED_AFTER, OnTimeMode)
END_MESSAGE_MAP()

CAddFilesDlg::CAddFilesDlg(CWnd* pParent) : CDialog(IDD_ADDFILES, pParent) {}

CString CAddFilesDlg::TimeFieldText(const char* stored) {
  if (stored && *stored) return CString(stored);
  return PrintTime((long long)::time(nullptr));
}

BOOL CAddFilesDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  g_place.Restore(m_hWnd);

  CRegKeys reg;
  if (reg.Open(nullptr, nullptr, 0)) {
    m_bSubDirs = ReadDword(reg, "SubDirs", 1) ? TRUE : FALSE;
    m_bClearList = ReadDword(reg, "ClearList", 0) ? TRUE : FALSE;
    m_nWriteProtection = (int)ReadDword(reg, "WriteProtection", 0);
    m_nTimeMode = (int)ReadDword(reg, "TimeMode", 0);
    reg.QueryString(m_strTime, "TimeString");
  }
  if (m_nWriteProtection < 0 || m_nWriteProtection > 2) m_nWriteProtection = 0;
  if (m_nTimeMode < 0 || m_nTimeMode > 4) m_nTimeMode = 0;
  m_strTime = TimeFieldText(m_strTime);

  SubclassControl(::GetDlgItem(m_hWnd, IDC_ADD_PATH), ComboDropFileProc);
  m_strPreset = m_strPath;
  LoadComboHistoryStr(m_hWnd, IDC_ADD_PATH, "FindPath", nullptr, m_strPath);
  LoadComboHistoryStr(m_hWnd, IDC_ADD_PLUS, "FilterPlus", nullptr, m_strPlus);
  LoadComboHistoryStr(m_hWnd, IDC_ADD_MINUS, "FilterMinus", nullptr, m_strMinus);

  CheckDlgButton(IDC_ADD_SUBDIRS, m_bSubDirs ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(IDC_ADD_CLEARLIST, m_bClearList ? BST_CHECKED : BST_UNCHECKED);
  CheckOne(m_hWnd, kWriteIds, 3, m_nWriteProtection);
  CheckOne(m_hWnd, kTimeIds, 5, m_nTimeMode);
  SetDlgItemText(IDC_TIME_TEXT, m_strTime);
  OnTimeMode();
  return TRUE;
}

int CAddFilesDlg::CheckedTimeMode() const {
  for (int i = 0; i < 5; ++i)
    if (IsDlgButtonChecked(kTimeIds[i])) return i;
  return 0;
}

int CAddFilesDlg::CheckedWriteProtection() const {
  for (int i = 0; i < 3; ++i)
    if (IsDlgButtonChecked(kWriteIds[i])) return i;
  return 0;
}

void CAddFilesDlg::OnTimeMode() {
  if (CWnd* edit = GetDlgItem(IDC_TIME_TEXT)) edit->EnableWindow(CheckedTimeMode() != 0);
}

void CAddFilesDlg::OnNow() { SetDlgItemText(IDC_TIME_TEXT, PrintTime((long long)::time(nullptr))); }

void CAddFilesDlg::OnOK() {
  g_place.Remember(m_hWnd);
  CString path = ComboText(m_hWnd, IDC_ADD_PATH);
  CString plusText = ComboText(m_hWnd, IDC_ADD_PLUS);
  CString minusText = ComboText(m_hWnd, IDC_ADD_MINUS);
  int timeMode = CheckedTimeMode();
  CString timeText;
  GetDlgItemText(IDC_TIME_TEXT, timeText);
  // A date before 1970 gives a negative time: only reading nothing is a failure.
  int used = 0;
  long long t = ParseDateTimeToTime(timeText, PDT_GERMAN | PDT_ISO, &used);
  if (timeMode != 0 && used == 0) {
    // A date filter with an unreadable date would silently list nothing.
    MessageBox("Die Zeitangabe ist ungültig.\nBitte ein Datum wie 24.12.2023 18:30 angeben.", "Fehler",
               MB_OK | MB_ICONERROR);
    if (CWnd* edit = GetDlgItem(IDC_TIME_TEXT)) GotoDlgCtrl(edit);
    return;
  }

  // Shown in full, and entered in the history so, where it means the same folder later.
  if (PathAnchorStr(path, m_strPreset)) SetDlgItemText(IDC_ADD_PATH, path);
  m_strPath = path;
  m_strPlus = plusText;
  m_strMinus = minusText;
  m_bSubDirs = IsDlgButtonChecked(IDC_ADD_SUBDIRS) ? TRUE : FALSE;
  m_bClearList = IsDlgButtonChecked(IDC_ADD_CLEARLIST) ? TRUE : FALSE;
  m_nWriteProtection = CheckedWriteProtection();
  m_nTimeMode = timeMode;
  m_strTime = timeText;
  m_nTime = used ? t : 0;

  // Each text goes to the front of its history. An empty path is not entered; an emptied
  // filter is kept as the newest entry, so that it stays empty here and in the folder compare,
  // which shares the filter histories.
  SaveComboHistory(m_hWnd, IDC_ADD_PATH, "FindPath", nullptr);
  SaveComboHistory(m_hWnd, IDC_ADD_PLUS, "FilterPlus", nullptr, TRUE);
  SaveComboHistory(m_hWnd, IDC_ADD_MINUS, "FilterMinus", nullptr, TRUE);

  CRegKeys reg;
  if (reg.Open(nullptr, nullptr, 2)) {
    DWORD v = m_bSubDirs;
    reg.SetValue(&v, 4, "SubDirs", REG_DWORD);
    v = m_bClearList;
    reg.SetValue(&v, 4, "ClearList", REG_DWORD);
    v = (DWORD)m_nWriteProtection;
    reg.SetValue(&v, 4, "WriteProtection", REG_DWORD);
    v = (DWORD)m_nTimeMode;
    reg.SetValue(&v, 4, "TimeMode", REG_DWORD);
    reg.SetString(m_strTime, "TimeString");
  }
  EndDialog(IDOK);
}

void CAddFilesDlg::OnCancel() {
  g_place.Remember(m_hWnd);
  CDialog::OnCancel();
}
