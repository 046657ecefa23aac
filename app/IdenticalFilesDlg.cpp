// The identical-files dialog and its worker.
#include "app/IdenticalFilesDlg.h"

#include <cstdlib>
#include <cstring>

#include "app/IdenticalFiles.h"
#include "system/Files.h"
#include "text/Numbers.h"
#include "toolkit/ControlHelpers.h"
#include "toolkit/DialogPlace.h"
#include "toolkit/WndHelpers.h"

namespace {

CDialogPlace s_place;

const int kDeleteButtons[] = {IDOK, IDC_IDENT_UPPER_DELETE, IDC_IDENT_LOWER_DELETE};

// "Zuletzt geändert: " with the modification and, when known, the creation time.
CString TimeLine(const char* path) {
  CString line = "Zuletzt geändert: ";
  FileInfo info;
  if (FileStat(path, &info) != 0) return line + "---";
  char text[40];  // what FormatDateTime needs
  FormatDateTime(text, FileTimeToUnixSecondsClamped(info.ftLastWrite), 0x1F);
  line += text;
  uint32_t created = FileTimeToUnixSecondsClamped(info.ftCreation);
  if (created) {
    FormatDateTime(text, created, 0x1F);
    line += "   erstellt am: ";
    line += text;
  }
  return line;
}

}  // namespace

// The worker's view of the dialog: pairs shown through posted commands, answers polled.
class CIdenticalWorkerSink : public CIdenticalSink {
public:
  explicit CIdenticalWorkerSink(CIdenticalFilesDlg* dlg) : m_dlg(dlg) {}
  bool Stopped() override { return m_dlg->m_nStop != 0; }
  void Current(int number, int count) override {
    CString text;
    text.Format("Datei %i von %i", number, count);
    m_dlg->Post(CIdenticalFilesDlg::CodeText, IDC_IDENT_COUNT, text);
  }
  void Done(int number) override { m_dlg->Post(CIdenticalFilesDlg::CodePos, 0, nullptr, number); }
  int Pair(const char* upper, const char* lower) override {
    ShowFile(upper, IDC_IDENT_UPPER_PATH, IDC_IDENT_UPPER_TIME, IDC_IDENT_UPPER_ICON);
    ShowFile(lower, IDC_IDENT_LOWER_PATH, IDC_IDENT_LOWER_TIME, IDC_IDENT_LOWER_ICON);
    ++m_dlg->m_nPairs;
    InterlockedExchange(&m_dlg->m_nAnswer, 0);
    m_dlg->Post(CIdenticalFilesDlg::CodePair, 0, nullptr);
    return Wait();
  }
  void DeleteFailed(const char*) override {
    InterlockedExchange(&m_dlg->m_nAnswer, 0);
    m_dlg->Post(CIdenticalFilesDlg::CodeError, 0, "Fehler beim Löschen");
    Wait();
  }

private:
  void ShowFile(const char* path, int pathId, int timeId, int iconId) {
    m_dlg->Post(CIdenticalFilesDlg::CodePath, pathId, path);
    m_dlg->Post(CIdenticalFilesDlg::CodeText, timeId, TimeLine(path));
    m_dlg->Post(CIdenticalFilesDlg::CodeIcon, iconId, nullptr, GetFileIconIndex(path));
  }
  int Wait() {
    while (m_dlg->m_nAnswer == 0 && m_dlg->m_nStop == 0) Sleep(100);
    return m_dlg->m_nStop ? 0 : int(m_dlg->m_nAnswer);
  }
  CIdenticalFilesDlg* m_dlg;
};

BEGIN_MESSAGE_MAP(CIdenticalFilesDlg, CDialog)
  ON_WM_DESTROY()
  ON_BN_CLICKED(IDC_IDENT_UPPER_DELETE, OnDeleteUpper)
  ON_BN_CLICKED(IDC_IDENT_LOWER_DELETE, OnDeleteLower)
END_MESSAGE_MAP()

CIdenticalFilesDlg::CIdenticalFilesDlg(CWnd* pParent) : CDialog(IDD_IDENTICAL, pParent), m_files(4) {}

CIdenticalFilesDlg::~CIdenticalFilesDlg() {
  if (m_hThread) {
    InterlockedExchange(&m_nStop, 2);
    WaitForSingleObject(m_hThread.Get(), INFINITE);
  }
}

BOOL CIdenticalFilesDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  s_place.Restore(m_hWnd);
  HWND field = ::GetDlgItem(m_hWnd, IDC_IDENT_UPPER_PATH);
  RECT rc = {0, 0, 0, 0};
  ::GetClientRect(field, &rc);
  m_nPathWidth = rc.right - rc.left - 3;
  GetCharWidthsFont((HFONT)::SendMessageA(field, WM_GETFONT, 0, 0), m_widths);
  if (m_files.m_nCount == 0) {
    MessageBox("Es sind keine Dateien ausgewählt !", "Fehler", MB_OK | MB_ICONERROR);
    EndDialog(IDCANCEL);
    return TRUE;
  }
  IdenticalPrepare(m_files);
  for (int id : kDeleteButtons) ::EnableWindow(::GetDlgItem(m_hWnd, id), FALSE);
  ::SendDlgItemMessageA(m_hWnd, IDC_IDENT_PROGRESS, PBM_SETRANGE32, 0, m_files.m_nCount);
  m_nPairs = 0;
  m_nStop = 0;
  m_nAnswer = 0;
  m_hThread.Reset(CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr));
  if (!m_hThread) EndDialog(IDCANCEL);
  return TRUE;
}

DWORD WINAPI CIdenticalFilesDlg::ThreadProc(LPVOID pParam) {
  static_cast<CIdenticalFilesDlg*>(pParam)->Worker();
  return 0;
}

void CIdenticalFilesDlg::Worker() {
  CIdenticalWorkerSink sink(this);
  IdenticalSearch(m_files, sink);
  InterlockedCompareExchange(&m_nStop, 1, 0);
  Post(CodeEnded, 0, nullptr);
}

void CIdenticalFilesDlg::Post(int code, int control, const char* text, LPARAM value) {
  char* copy = text ? _strdup(text) : nullptr;
  if (text && !copy) return;
  if (!::PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(code, control), copy ? (LPARAM)copy : value)) free(copy);
}

BOOL CIdenticalFilesDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int code = LOWORD(wParam), control = HIWORD(wParam);
  if (code < CodePair || code > CodeError) return CDialog::OnCommand(wParam, lParam);
  char* text = reinterpret_cast<char*>(lParam);
  switch (code) {
    case CodePair:
      for (int id : kDeleteButtons) ::EnableWindow(::GetDlgItem(m_hWnd, id), TRUE);
      break;
    case CodeEnded:
      if (m_hThread) {
        WaitForSingleObject(m_hThread.Get(), INFINITE);
        m_hThread.Close();
      }
      m_files.RemoveAll();
      if (m_nPairs == 0 && m_nStop != 2)
        MessageBox("Es wurden keine gleichen Dateien gefunden.", "Meldung", MB_OK | MB_ICONINFORMATION);
      EndDialog(m_nEndCode);
      break;
    case CodePos:
      ::SendDlgItemMessageA(m_hWnd, IDC_IDENT_PROGRESS, PBM_SETPOS, WPARAM(lParam), 0);
      break;
    case CodeText:
      SetDlgItemText(control, text);
      free(text);
      break;
    case CodePath: {
      char shown[256];
      PathCompactToWidth(text, shown, sizeof shown, m_nPathWidth, m_widths, 2);
      SetDlgItemText(control, shown);
      free(text);
      break;
    }
    case CodeIcon:
      SetIcon(control, int(lParam));
      break;
    case CodeError:
      if (MessageBox(text, "Fehler", MB_OKCANCEL | MB_ICONERROR) == IDCANCEL) InterlockedCompareExchange(&m_nStop, 1, 0);
      free(text);
      InterlockedExchange(&m_nAnswer, IDENT_KEEP);
      break;
  }
  return TRUE;
}

void CIdenticalFilesDlg::SetIcon(int control, int image) {
  HICON icon = image >= 0 ? ImageList_GetIcon(GetSystemImageList(TRUE), image, ILD_NORMAL) : nullptr;
  HICON& kept = m_icons[control == IDC_IDENT_UPPER_ICON ? 0 : 1];
  ::SendDlgItemMessageA(m_hWnd, control, STM_SETICON, (WPARAM)icon, 0);
  if (kept) DestroyIcon(kept);
  kept = icon;
}

void CIdenticalFilesDlg::Answer(int answer) {
  // Only a shown pair takes an answer (Enter reaches OnOK with the buttons disabled too).
  if (!::IsWindowEnabled(::GetDlgItem(m_hWnd, IDOK))) return;
  for (int id : kDeleteButtons) ::EnableWindow(::GetDlgItem(m_hWnd, id), FALSE);
  InterlockedExchange(&m_nAnswer, answer);
}

void CIdenticalFilesDlg::OnOK() {
  s_place.Remember(m_hWnd);
  Answer(IDENT_KEEP);
}

void CIdenticalFilesDlg::OnDeleteUpper() { Answer(IDENT_DELETE_UPPER); }
void CIdenticalFilesDlg::OnDeleteLower() { Answer(IDENT_DELETE_LOWER); }

void CIdenticalFilesDlg::OnCancel() {
  s_place.Remember(m_hWnd);
  // Without a worker (it could not start) there is nothing to wait for.
  if (!m_hThread) {
    EndDialog(IDCANCEL);
    return;
  }
  m_nEndCode = IDCANCEL;
  InterlockedExchange(&m_nStop, 2);
  ::EnableWindow(::GetDlgItem(m_hWnd, IDCANCEL), FALSE);
}

void CIdenticalFilesDlg::OnDestroy() {
  for (HICON& icon : m_icons) {
    if (icon) DestroyIcon(icon);
    icon = nullptr;
  }
  CDialog::OnDestroy();
}
