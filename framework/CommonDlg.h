// The standard file open and save dialogs.
#pragma once
#include "framework/Dialog.h"

class CFileDialog {
public:
  // lpszFilter: pairs "text|pattern|" ending with "||". lpszDefExt without the dot.
  CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr, LPCSTR lpszFileName = nullptr,
              DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR lpszFilter = nullptr,
              CWnd* pParentWnd = nullptr);
  // IDOK or IDCANCEL.
  INT_PTR DoModal();
  CString GetPathName() const { return CString(m_szFile); }
  CString GetFileName() const;
  CString GetFileExt() const;
  OPENFILENAMEA m_ofn;

private:
  BOOL m_bOpen;
  CString m_strFilter;
  CString m_strDefExt;
  char m_szFile[MAX_PATH * 4];
};
