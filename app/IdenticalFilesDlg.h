// Dialog 133 "Suche gleiche Dateien": a worker thread searches the listed files for identical
// pairs and shows each pair (path, times, icon) in two groups; the user keeps both files or
// deletes one of them.
#pragma once

#define IDD_IDENTICAL 133
#define IDC_IDENT_UPPER_PATH 1006
#define IDC_IDENT_UPPER_TIME 1012
#define IDC_IDENT_UPPER_ICON 1027
#define IDC_IDENT_UPPER_DELETE 1019
#define IDC_IDENT_LOWER_PATH 1008
#define IDC_IDENT_LOWER_TIME 1014
#define IDC_IDENT_LOWER_ICON 1026
#define IDC_IDENT_LOWER_DELETE 1022
#define IDC_IDENT_PROGRESS 1035
#define IDC_IDENT_COUNT 1038

#ifndef RC_INVOKED

#include "framework/Framework.h"
#include "system/StrList.h"
#include "system/WinHandle.h"

class CIdenticalFilesDlg : public CDialog {
public:
  // Codes the worker posts as WM_COMMAND (control id in the high word where one is named).
  enum {
    CodePair = 6483,      // a pair is shown
    CodeEnded = 6484,     // the search ended
    CodePos = 6485,       // lParam: the progress position
    CodeText = 6486,      // lParam: a heap text for the control
    CodePath = 6487,      // lParam: a heap path, shown compacted
    CodeIcon = 6488,      // lParam: an index in the system image list
    CodeError = 6489      // lParam: a heap text shown as an error
  };

  explicit CIdenticalFilesDlg(CWnd* pParent = nullptr);
  // Waits for the worker when it still runs.
  ~CIdenticalFilesDlg() override;

  // In: the files, full path with the 4-byte size (-1 when unknown) as item data.
  CStrList m_files;

protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void OnDeleteUpper();
  void OnDeleteLower();
  void OnDestroy();

private:
  friend class CIdenticalWorkerSink;
  static DWORD WINAPI ThreadProc(LPVOID pParam);
  void Worker();
  // Worker side: posts code with the control id and a heap copy of text (null: value).
  void Post(int code, int control, const char* text, LPARAM value = 0);
  void Answer(int answer);
  void SetIcon(int control, int image);

  int m_nPairs = 0;
  int m_nEndCode = IDOK;
  volatile LONG m_nStop = 0;     // 0 running, 1 ended or stopped after an error, 2 cancelled
  volatile LONG m_nAnswer = 0;   // 0 waiting, IDENT_* otherwise
  int m_nPathWidth = 0;
  int m_widths[256] = {};
  HICON m_icons[2] = {nullptr, nullptr};
  CWinHandle m_hThread;

  DECLARE_MESSAGE_MAP()
};

#endif  // RC_INVOKED
