// The standard file dialogs.
#include "framework/Framework.h"

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName, DWORD dwFlags,
                         LPCSTR lpszFilter, CWnd* pParentWnd)
    : m_bOpen(bOpenFileDialog), m_strFilter(lpszFilter), m_strDefExt(lpszDefExt) {
  memset(&m_ofn, 0, sizeof m_ofn);
  m_szFile[0] = 0;
  if (lpszFileName) lstrcpynA(m_szFile, lpszFileName, sizeof m_szFile);
  // "text|pattern|...||" becomes the NUL-separated list the dialog wants.
  m_strFilter.Replace('|', '\0');
  m_ofn.lStructSize = sizeof m_ofn;
  m_ofn.hwndOwner = pParentWnd ? pParentWnd->m_hWnd : nullptr;
  m_ofn.hInstance = AfxGetInstanceHandle();
  m_ofn.lpstrFilter = m_strFilter.IsEmpty() ? nullptr : (LPCSTR)m_strFilter;
  m_ofn.nFilterIndex = 1;
  m_ofn.lpstrFile = m_szFile;
  m_ofn.nMaxFile = sizeof m_szFile;
  m_ofn.lpstrDefExt = m_strDefExt.IsEmpty() ? nullptr : (LPCSTR)m_strDefExt;
  m_ofn.Flags = dwFlags | OFN_EXPLORER | OFN_ENABLESIZING;
}

INT_PTR CFileDialog::DoModal() {
  if (!m_ofn.hwndOwner) {
    CWnd* pMain = AfxGetMainWnd();
    m_ofn.hwndOwner = pMain ? pMain->m_hWnd : ::GetActiveWindow();
  }
  BOOL ok = m_bOpen ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
  return ok ? IDOK : IDCANCEL;
}

CString CFileDialog::GetFileName() const {
  CString p(m_szFile);
  return p.Mid(p.ReverseFind('\\') + 1);
}

CString CFileDialog::GetFileExt() const {
  CString name = GetFileName();
  int dot = name.ReverseFind('.');
  return dot >= 0 ? name.Mid(dot + 1) : CString();
}
