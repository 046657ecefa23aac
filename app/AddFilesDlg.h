// Dialog 130 "Dateien hinzufügen": folder, plus and minus filters with their histories,
// sub-folders, clearing the list first, the read-only choice and the date filter.
#pragma once
#include <stdint.h>

#include "framework/Framework.h"

class CAddFilesDlg : public CDialog {
public:
  explicit CAddFilesDlg(CWnd* pParent = nullptr);

  // In: the preset folder. Out after OK: every value.
  CString m_strPath;
  CString m_strPlus;
  CString m_strMinus;
  BOOL m_bSubDirs = TRUE;
  BOOL m_bClearList = FALSE;
  int m_nWriteProtection = 0;  // 0 any, 1 only read-only, 2 only not read-only
  int m_nTimeMode = 0;         // 0 none, 1 created before, 2 created after, 3 changed before, 4 changed after
  CString m_strTime;
  int64_t m_nTime = 0;         // the parsed time (Unix seconds) when m_nTimeMode is not 0

  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

  // The preset of the time field: the stored text, or the current time printed when it is empty.
  static CString TimeFieldText(const char* stored);

protected:
  void OnTimeMode();
  void OnNow();
  int CheckedTimeMode() const;
  int CheckedWriteProtection() const;
  CString m_strPreset;  // the folder shown when the dialog opened: a relative one is taken within it
  DECLARE_MESSAGE_MAP()
};
