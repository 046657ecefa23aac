// The progress dialog and its worker thread.
#include "toolkit/ProgressDlg.h"
#include "toolkit/WndHelpers.h"

namespace {
enum : UINT {
  WM_PROG_DONE = WM_APP + 0x301,
  WM_PROG_ASK = WM_APP + 0x303,
  IDC_PROG_LINE0 = 1100,  // lines 1100..1103
  IDC_PROG_BAR = 1110,
  TIMER_CALLBACK = 1,
  TIMER_SHOW = 2,
  TIMER_UPDATE = 3,
};

struct AskRequest {
  LPCSTR text;
  LPCSTR caption;
  UINT type;
};
}  // namespace

BEGIN_MESSAGE_MAP(CProgressDlg, CDialog)
  ON_WM_TIMER()
  ON_WM_DESTROY()
  ON_MESSAGE(WM_PROG_DONE, OnJobDone)
  ON_MESSAGE(WM_PROG_ASK, OnAsk)
END_MESSAGE_MAP()

CProgressDlg::CProgressDlg(CWnd* pParent) : CDialog((const DLGTEMPLATE*)nullptr, pParent) {}

CProgressDlg::~CProgressDlg() {
  WaitForWorker();
  delete m_pTemplate;
}

void CProgressDlg::WaitForWorker() {
  if (!m_hThread) return;
  // The worker may still be asking a question through SendMessage: keep answering messages
  // sent to this thread while waiting.
  for (;;) {
    DWORD r = ::MsgWaitForMultipleObjects(1, &m_hThread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (r != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  ::CloseHandle(m_hThread);
  m_hThread = nullptr;
}

void CProgressDlg::SetJob(JobFn pfnJob, DWORD_PTR u0, DWORD_PTR u1, DWORD_PTR u2, DWORD_PTR u3, DWORD_PTR u4) {
  m_pfnJob = pfnJob;
  m_dwUser[0] = u0;
  m_dwUser[1] = u1;
  m_dwUser[2] = u2;
  m_dwUser[3] = u3;
  m_dwUser[4] = u4;
}

void CProgressDlg::SetTitle(LPCSTR lpszTitle) {
  m_strTitle = lpszTitle;
  if (m_hWnd) SetWindowText(m_strTitle);
}

void CProgressDlg::SetTimerCallback(CallbackFn pfn, UINT nInterval, void* pArg) {
  m_pfnTimer = pfn;
  m_nTimerInterval = nInterval ? nInterval : 300;
  m_pTimerArg = pArg;
}

void CProgressDlg::SetCancelCallback(CallbackFn pfn, void* pArg) {
  m_pfnCancel = pfn;
  m_pCancelArg = pArg;
}

void CProgressDlg::Changed() {
  // The worker only records: the timer takes its changes up. A change made on the dialog's
  // own thread (a timer callback, the owner) shows at once.
  if (m_hWnd && m_bShown && ::GetCurrentThreadId() == m_dwUiThread) ApplyUpdates();
}

void CProgressDlg::SetRange64(ULONGLONG range) {
  {
    CCritSecLock lock(m_cs);
    if (m_range == range) return;
    m_range = range;
    m_bDirty = TRUE;
  }
  Changed();
}

void CProgressDlg::SetPos64(ULONGLONG pos) {
  {
    CCritSecLock lock(m_cs);
    if (m_pos == pos) return;
    m_pos = pos;
    m_bDirty = TRUE;
  }
  Changed();
}

ULONGLONG CProgressDlg::GetPos64() {
  CCritSecLock lock(m_cs);
  return m_pos;
}

void CProgressDlg::SetLineCount(int n) { m_nLines = n < 1 ? 1 : (n > MaxLines ? MaxLines : n); }

void CProgressDlg::SetLineText(int line, LPCSTR lpszText) {
  if (line < 0 || line >= MaxLines) return;
  {
    CCritSecLock lock(m_cs);
    Line& l = m_lines[line];
    if (!l.compact && l.text == (lpszText ? lpszText : "")) return;
    l.text = lpszText;
    l.compact = FALSE;
    m_bDirty = TRUE;
  }
  Changed();
}

void CProgressDlg::SetLineTextCompact(int line, LPCSTR lpszPrefix, LPCSTR lpszPath, int, char chSplit) {
  if (line < 0 || line >= MaxLines) return;
  {
    CCritSecLock lock(m_cs);
    Line& l = m_lines[line];
    if (l.compact && l.split == chSplit && l.path == (lpszPath ? lpszPath : "") &&
        l.prefix == (lpszPrefix ? lpszPrefix : ""))
      return;
    l.prefix = lpszPrefix;
    l.path = lpszPath;
    l.split = chSplit;
    l.compact = TRUE;
    l.fitted = FALSE;
    l.text = l.prefix + l.path;  // until the dialog's thread fits it to the line
    m_bDirty = TRUE;
  }
  Changed();
}

CString CProgressDlg::GetLineText(int line) {
  if (line < 0 || line >= MaxLines) return CString();
  CCritSecLock lock(m_cs);
  return m_lines[line].text;
}

void CProgressDlg::SetMarquee(UINT nInterval) {
  {
    CCritSecLock lock(m_cs);
    if (m_nMarquee == nInterval) return;
    m_nMarquee = nInterval;
    m_bDirty = TRUE;
  }
  Changed();
}

void CProgressDlg::ApplyUpdatesDue() {
  if (m_bShown && ::GetTickCount() - m_dwApplied >= UpdateMs) ApplyUpdates();
}

void CProgressDlg::ApplyUpdates() {
  // While the window is hidden the changes wait, marked dirty, for ShowNow.
  if (!m_hWnd || !m_bShown) return;
  m_dwApplied = ::GetTickCount();
  Line lines[MaxLines];
  ULONGLONG range, pos;
  UINT marquee;
  {
    CCritSecLock lock(m_cs);
    if (!m_bDirty) return;
    m_bDirty = FALSE;
    for (int i = 0; i < m_nLines; ++i) lines[i] = m_lines[i];
    range = m_range;
    pos = m_pos;
    marquee = m_nMarquee;
  }
  // Window calls happen with the lock released: the worker never waits on them.
  for (int i = 0; i < m_nLines; ++i) {
    HWND hLine = ::GetDlgItem(m_hWnd, IDC_PROG_LINE0 + i);
    CString text = lines[i].text;
    if (lines[i].compact && !lines[i].fitted && hLine) {
      RECT rc;
      ::GetClientRect(hLine, &rc);
      int widths[256];
      GetCharWidthsFont((HFONT)::SendMessageA(hLine, WM_GETFONT, 0, 0), widths);
      CString prefix = lines[i].prefix, after;
      int at = lines[i].split ? prefix.Find(lines[i].split) : -1;
      if (at >= 0) {
        after = prefix.Mid(at + 1);
        prefix = prefix.Left(at);
      }
      int room = rc.right - TextWidthByTable(prefix, -1, widths) - TextWidthByTable(after, -1, widths) - 4;
      char buf[MAX_PATH + 64];
      PathCompactToWidth(lines[i].path, buf, sizeof buf, room > 0 ? room : 0, widths, 2);
      text = prefix + buf + after;
      CCritSecLock lock(m_cs);
      Line& now = m_lines[i];
      if (now.compact && !now.fitted && now.path == lines[i].path && now.prefix == lines[i].prefix) {
        now.text = text;
        now.fitted = TRUE;
      }
    }
    // Only a text that changed is drawn again.
    if (hLine && text != m_shownText[i]) {
      ::SetWindowTextA(hLine, text);
      m_shownText[i] = text;
    }
  }
  HWND hBar = ::GetDlgItem(m_hWnd, IDC_PROG_BAR);
  if (!hBar) return;
  BOOL isMarquee = (::GetWindowLongA(hBar, GWL_STYLE) & PBS_MARQUEE) != 0;
  if (marquee) {
    if (!isMarquee) ::SetWindowLongA(hBar, GWL_STYLE, ::GetWindowLongA(hBar, GWL_STYLE) | PBS_MARQUEE);
    ::SendMessageA(hBar, PBM_SETMARQUEE, TRUE, marquee);
    m_shownRange = m_shownPos = -1;
    return;
  }
  if (isMarquee) {
    ::SendMessageA(hBar, PBM_SETMARQUEE, FALSE, 0);
    ::SetWindowLongA(hBar, GWL_STYLE, ::GetWindowLongA(hBar, GWL_STYLE) & ~PBS_MARQUEE);
  }
  // The control counts in 32 bits: large ranges are scaled down together with the position.
  if (pos > range) pos = range;
  while (range > 0x7FFFFFFF) {
    range >>= 1;
    pos >>= 1;
  }
  if ((LONG)range != m_shownRange) {
    ::SendMessageA(hBar, PBM_SETRANGE32, 0, (LPARAM)range);
    m_shownRange = (LONG)range;
    m_shownPos = -1;
  }
  if ((LONG)pos != m_shownPos) {
    ::SendMessageA(hBar, PBM_SETPOS, (WPARAM)pos, 0);
    m_shownPos = (LONG)pos;
  }
}

INT_PTR CProgressDlg::DoModal() {
  if (m_hWnd) return -1;
  // Lines of 9 dialog units, the bar below them, Cancel at the bottom.
  const int width = 260, lineHeight = 11;
  int y = 7 + m_nLines * lineHeight + 2;
  delete m_pTemplate;
  m_pTemplate = new CDialogTemplate(m_strTitle, DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
                                    width, y + 12 + 6 + 14 + 7);
  for (int i = 0; i < m_nLines; ++i)
    m_pTemplate->AddItem("STATIC", "", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 7, 7 + i * lineHeight, width - 14, 9,
                         (WORD)(IDC_PROG_LINE0 + i));
  m_pTemplate->AddItem(PROGRESS_CLASSA, "", PBS_SMOOTH | WS_BORDER, 7, y, width - 14, 12, IDC_PROG_BAR);
  m_pTemplate->AddItem("BUTTON", "Abbrechen", BS_PUSHBUTTON | WS_TABSTOP, (width - 50) / 2, y + 18, 50, 14, IDCANCEL);
  m_bCancel = 0;
  m_bCancelCalled = FALSE;
  m_bDone = m_bShown = FALSE;
  for (CString& text : m_shownText) text.Empty();
  m_shownRange = m_shownPos = -1;
  m_dwUiThread = ::GetCurrentThreadId();
  HWND hFocus = ::GetFocus();
  // Modal from the start, shown or not: the owner takes no input while the job runs.
  HWND hOwner = ParentForDialog();
  BOOL disabledOwner = hOwner && !::EnableWindow(hOwner, FALSE);
  // The template has no WS_VISIBLE: the window is created hidden and shown by ShowNow.
  BOOL created = CreateIndirect(m_pTemplate->Get(), m_pParentWnd);
  if (created) RunModalLoop();
  // The owner is enabled before the window goes, so that the activation returns to it.
  if (disabledOwner) ::EnableWindow(hOwner, TRUE);
  if (m_hWnd) {
    if (::IsWindow(m_hWnd))
      DestroyWindow();
    else
      Detach();
  }
  WaitForWorker();
  if (!created) return -1;
  // Back to the control that had the focus, unless the user has gone to another window.
  if (hFocus && ::IsWindow(hFocus) && ::GetFocus() != hFocus && ::GetAncestor(hFocus, GA_ROOT) == ::GetActiveWindow())
    ::SetFocus(hFocus);
  return m_bCancel ? IDCANCEL : IDOK;
}

void CProgressDlg::RunModalLoop() {
  HWND hDlg = m_hWnd;
  DWORD start = ::GetTickCount();
  SetTimer(TIMER_SHOW, ShowDelayMs);
  while (!m_bDone && ::IsWindow(hDlg)) {
    MSG msg;
    if (!::GetMessageA(&msg, nullptr, 0, 0)) {
      // The application is quitting: the request goes on to the main loop, the job is told
      // to stop when the window goes.
      ::PostQuitMessage((int)msg.wParam);
      break;
    }
    // Until the window shows, keys would reach the focus window of the disabled owner.
    BOOL dropKey = !m_bShown && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST;
    if (!dropKey && !::IsDialogMessageA(hDlg, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    // A queue kept busy (by a list that the job fills, say) holds timer messages back.
    if (!m_bShown && !m_bDone && ::GetTickCount() - start >= ShowDelayMs) ShowNow();
    if (!m_bDone) ApplyUpdatesDue();
  }
}

void CProgressDlg::ShowNow() {
  if (m_bShown || !m_hWnd) return;
  m_bShown = TRUE;
  KillTimer(TIMER_SHOW);
  // Ticks at twice the rate, so that the changes show between one and one and a half
  // intervals after the last time.
  SetTimer(TIMER_UPDATE, UpdateMs / 2);
  {
    CCritSecLock lock(m_cs);
    m_bDirty = TRUE;
  }
  ApplyUpdates();
  ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
  // The focus was not set at creation (that would have activated the hidden window).
  if (::GetActiveWindow() == m_hWnd && !::IsChild(m_hWnd, ::GetFocus())) {
    HWND hCancel = ::GetDlgItem(m_hWnd, IDCANCEL);
    ::SetFocus(hCancel && ::IsWindowEnabled(hCancel) ? hCancel : m_hWnd);
  }
}

BOOL CProgressDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(m_strTitle);
  {
    CCritSecLock lock(m_cs);
    m_bDirty = TRUE;
  }
  ApplyUpdates();
  if (m_pfnTimer) SetTimer(TIMER_CALLBACK, m_nTimerInterval);
  DWORD id = 0;
  m_hThread = ::CreateThread(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &id);
  if (!m_hThread) {
    // Without a worker the job runs nowhere: close at once.
    PostMessage(WM_PROG_DONE);
    return FALSE;
  }
  ::SetThreadPriority(m_hThread, m_nPriority);
  ::ResumeThread(m_hThread);
  // No focus yet: setting it would activate the hidden window.
  return FALSE;
}

DWORD WINAPI CProgressDlg::ThreadProc(LPVOID pParam) {
  CProgressDlg* self = static_cast<CProgressDlg*>(pParam);
  self->m_nJobResult = self->m_pfnJob ? self->m_pfnJob(self) : 0;
  ::PostMessageA(self->m_hWnd, WM_PROG_DONE, 0, 0);
  return 0;
}

LRESULT CProgressDlg::OnJobDone(WPARAM, LPARAM) {
  WaitForWorker();
  KillTimer(TIMER_CALLBACK);
  KillTimer(TIMER_UPDATE);
  // One last tick so that the callback shows the final counts.
  if (m_pfnTimer) m_pfnTimer(this, m_pTimerArg);
  ApplyUpdates();
  m_bDone = TRUE;
  return 0;
}

void CProgressDlg::OnCancel() {
  ::InterlockedExchange(&m_bCancel, 1);
  if (m_pfnCancel && !m_bCancelCalled) {
    m_bCancelCalled = TRUE;
    m_pfnCancel(this, m_pCancelArg);
  }
  // The dialog stays until the job has noticed and returned.
  if (HWND h = ::GetDlgItem(m_hWnd, IDCANCEL)) ::EnableWindow(h, FALSE);
}

void CProgressDlg::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent == TIMER_CALLBACK && m_pfnTimer)
    m_pfnTimer(this, m_pTimerArg);
  else if (nIDEvent == TIMER_SHOW)
    ShowNow();
  else if (nIDEvent == TIMER_UPDATE)
    ApplyUpdatesDue();
  else
    Default();
}

void CProgressDlg::OnDestroy() {
  KillTimer(TIMER_CALLBACK);
  KillTimer(TIMER_SHOW);
  KillTimer(TIMER_UPDATE);
  // Gone before the job returned (its owner went): the job is told to stop.
  if (m_hThread && ::WaitForSingleObject(m_hThread, 0) == WAIT_TIMEOUT) ::InterlockedExchange(&m_bCancel, 1);
  Default();
}

LRESULT CProgressDlg::OnAsk(WPARAM, LPARAM lParam) {
  const AskRequest* req = reinterpret_cast<const AskRequest*>(lParam);
  // The question needs its owner on screen.
  ShowNow();
  return ::MessageBoxA(m_hWnd, req->text, req->caption ? req->caption : AfxGetAppName(), req->type);
}

int CProgressDlg::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
  AskRequest req = {lpszText, lpszCaption, nType};
  if (!m_hWnd || ::GetCurrentThreadId() == m_dwUiThread) return (int)OnAsk(0, (LPARAM)&req);
  return (int)::SendMessageA(m_hWnd, WM_PROG_ASK, 0, (LPARAM)&req);
}
