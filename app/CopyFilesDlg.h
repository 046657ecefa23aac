// Dialog 153 "Dateien kopieren": source and target folder with their recent lists and the four
// overwrite options of the copy of the listed files; and the copy job that runs under the
// progress dialog.
#pragma once

#define IDD_COPYFILES 153
#define IDC_COPY_SOURCE 1001
#define IDC_COPY_TARGET 1002
#define IDC_COPY_BROWSE_SOURCE 1030
#define IDC_COPY_BROWSE_TARGET 1031
#define IDC_COPY_NO_OVERWRITE 1045
#define IDC_COPY_REMOVE_WR 1046
#define IDC_COPY_ASK_READONLY 1047
#define IDC_COPY_ASK_ALWAYS 1048

#ifndef RC_INVOKED

#include "framework/Framework.h"

class CProgressDlg;

// Job bits of the copy.
enum {
  COPY_NO_OVERWRITE = 1,     // existing targets are skipped
  COPY_REMOVE_READONLY = 2,  // read-only targets lose the mark without a question
  COPY_ASK_EXISTING = 4,     // ask before an existing target is overwritten
  COPY_ASK_ALWAYS = 8        // ask before every file
};

class CCopyFilesDlg : public CDialog {
public:
  explicit CCopyFilesDlg(CWnd* pParent = nullptr);

  // In: the preset folders. Out after OK: every value.
  CString m_strSource;
  CString m_strTarget;
  int m_bNoOverwrite = 1;
  int m_bRemoveWr = 0;
  int m_bAskReadOnly = 0;
  int m_bAskAlways = 0;

  // The job bits of the four options.
  int JobBits() const;

protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;
  void OnCancel() override;
  void OnDestroy();
  void OnBrowseSource();
  void OnBrowseTarget();
  void OnAskAlways();

private:
  void Browse(int nIDCombo, const char* settings);
  DECLARE_MESSAGE_MAP()
};

// The copy job (progress-dialog worker). User words: 0 unused, 1 the job list (a CStrList with
// 8-byte sizes: entry 0 the source folder, entry 1 the target folder, both ending in '\', then
// the files' full paths), 2 its count, 3 the job bits, 4 a CStrList that gets every target
// written. Each file goes through a temporary file beside its target, which a failed or
// cancelled copy leaves as it was. Returns the number of files copied.
int CopyFilesJob(CProgressDlg* pDlg);

#endif  // RC_INVOKED
