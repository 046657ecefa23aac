// CProgressDlg: the modal progress dialog that runs a job on a worker thread. The job sets a
// 64-bit position and up to four text lines from its thread, asks questions that the dialog's
// thread shows, and reads the cancel flag; the dialog closes when the job returns and the
// object waits for the worker before it is destroyed. The window shows only once the job has
// run for a moment; the owner takes no input from the start. The worker only records what it
// sets: the window shows the latest of it every UpdateMs (and once more when the job ends),
// and only what changed.
#pragma once
#include "framework/Framework.h"

class CProgressDlg : public CDialog {
public:
  // The job runs on the worker thread; its result is kept in m_nJobResult.
  typedef int (*JobFn)(CProgressDlg* pDlg);
  // Run on the dialog's thread: every interval (timer) or once when the user cancels.
  typedef void (*CallbackFn)(CProgressDlg* pDlg, void* pArg);
  enum { MaxLines = 4 };

  explicit CProgressDlg(CWnd* pParent = nullptr);
  // Waits for the worker thread to end.
  ~CProgressDlg() override;

  // Set by the user's cancel (Cancel, Esc, closing); read by jobs and timer callbacks.
  volatile LONG m_bCancel = 0;
  // The five user words of SetJob, for the job and the callbacks.
  DWORD_PTR m_dwUser[5] = {};
  int m_nJobResult = 0;

  // Before DoModal: the job and its words.
  void SetJob(JobFn pfnJob, DWORD_PTR u0 = 0, DWORD_PTR u1 = 0, DWORD_PTR u2 = 0, DWORD_PTR u3 = 0, DWORD_PTR u4 = 0);
  void SetTitle(LPCSTR lpszTitle);
  // The worker's priority (THREAD_PRIORITY_*, -2 lowest).
  void SetThreadPriority(int nPriority) { m_nPriority = nPriority; }
  void SetTimerCallback(CallbackFn pfn, UINT nInterval, void* pArg);
  void SetCancelCallback(CallbackFn pfn, void* pArg);

  // From any thread. The bar shows pos / range (a range of 0 shows nothing).
  void SetRange64(ULONGLONG range);
  void SetPos64(ULONGLONG pos);
  ULONGLONG GetPos64();
  // Lines shown, 1 to 4 (before DoModal).
  void SetLineCount(int n);
  // From any thread: line 0-3; lines beyond the count are kept but not shown.
  void SetLineText(int line, LPCSTR lpszText);
  // From any thread: prefix followed by path shortened to the line's width with "...\". When
  // the prefix holds the split character, the path takes its place there.
  void SetLineTextCompact(int line, LPCSTR lpszPrefix, LPCSTR lpszPath, int mode, char chSplit);
  CString GetLineText(int line);
  // A running bar (interval ms) instead of the position; 0 goes back to the position.
  void SetMarquee(UINT nInterval);

  // From the job: asks on the dialog's thread and waits for the answer (IDOK, IDYES, ...).
  // A NULL caption gives the application's name.
  int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = nullptr, UINT nType = MB_OK);

  // Opens the dialog (shown after ShowDelayMs, or at the job's first question), starts the
  // job and returns when the job has returned: IDOK, or IDCANCEL when the user cancelled;
  // -1 when the dialog could not be opened (the job did not run).
  INT_PTR DoModal() override;
  // A job that ends sooner never shows its window: showing, activating and hiding it would
  // cost more than the job, and a flash tells the user nothing.
  enum { ShowDelayMs = 250 };
  // How often the window takes up what the job has set.
  enum { UpdateMs = 100 };
  BOOL IsRunning() const { return m_hThread != nullptr; }

protected:
  BOOL OnInitDialog() override;
  void OnOK() override {}
  void OnCancel() override;
  void OnTimer(UINT_PTR nIDEvent);
  LRESULT OnJobDone(WPARAM, LPARAM);
  LRESULT OnAsk(WPARAM, LPARAM);
  void OnDestroy();

private:
  static DWORD WINAPI ThreadProc(LPVOID pParam);
  void Changed();
  void RunModalLoop();
  void ShowNow();
  void ApplyUpdates();
  // ApplyUpdates when UpdateMs have passed since the window last took up the changes.
  void ApplyUpdatesDue();
  void WaitForWorker();

  JobFn m_pfnJob = nullptr;
  CallbackFn m_pfnTimer = nullptr;
  void* m_pTimerArg = nullptr;
  UINT m_nTimerInterval = 300;
  CallbackFn m_pfnCancel = nullptr;
  void* m_pCancelArg = nullptr;
  int m_nPriority = THREAD_PRIORITY_NORMAL;
  CString m_strTitle;
  int m_nLines = 2;
  HANDLE m_hThread = nullptr;
  DWORD m_dwUiThread = 0;
  BOOL m_bCancelCalled = FALSE;
  BOOL m_bDone = FALSE;   // the job has returned: the modal loop ends
  BOOL m_bShown = FALSE;  // the window has been shown

  // Shared with the worker, under m_cs.
  CCriticalSection m_cs;
  struct Line {
    CString text;
    CString prefix, path;  // a compacted line
    BOOL compact = FALSE;
    BOOL fitted = FALSE;  // text holds the compacted path
    char split = 0;
  };
  Line m_lines[MaxLines];
  ULONGLONG m_range = 0, m_pos = 0;
  UINT m_nMarquee = 0;
  BOOL m_bDirty = TRUE;
  CDialogTemplate* m_pTemplate = nullptr;

  // What the window shows, kept by the dialog's thread.
  CString m_shownText[MaxLines];
  LONG m_shownRange = -1, m_shownPos = -1;
  DWORD m_dwApplied = 0;  // when the window last took up the changes

  DECLARE_MESSAGE_MAP()
};
