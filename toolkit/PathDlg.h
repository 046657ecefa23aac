// CPathDlg: the folder dialog: a path combo box with the caller's recent folders above a tree
// of the drives and their folders. The recent folders of a caller live in the application's
// key as the multi-string "<settings name>Last"; the dialog's shared settings in
// HKCU "Software\QV\Common".
#pragma once
#include "framework/Framework.h"
#include "toolkit/PathComboBox.h"

class CPathDlg : public CDialog {
public:
  enum { MustExist = 1, MayCreate = 2 };
  enum { IDC_PATH = 1001, IDC_TREE = 1002 };

  explicit CPathDlg(CWnd* pParent = nullptr);
  ~CPathDlg() override;

  // The folder to start from.
  void SetPath(LPCSTR lpszPath) { m_strPath = lpszPath; }
  // An empty title gives "Verzeichnis wählen".
  void SetTitle(LPCSTR lpszTitle) { m_strTitle = lpszTitle; }
  // IDOK or IDCANCEL (-1 when the dialog could not be opened).
  INT_PTR DoModal() override;
  // With the recent folders of lpszSettings ("Path1": value "Path1Last") and the flags
  // MustExist (refuse a missing folder) and MayCreate (offer to create it). 1 on OK, else 0.
  int DoModalEx(LPCSTR lpszSettings, int nFlags);
  // The chosen folder (without trailing separator unless it is a drive root).
  CString GetPath(int reserved = 0) const { return m_strPath; }

protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnTreeExpanding(NMHDR* pNMHDR, LRESULT* pResult);
  void OnTreeSelChanged(NMHDR* pNMHDR, LRESULT* pResult);
  void OnPathChanged(NMHDR* pNMHDR, LRESULT* pResult);
  void OnPathBeginDrag(NMHDR* pNMHDR, LRESULT* pResult);
  void OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMIS);

private:
  void FillChildren(HTREEITEM hItem, const CString& folder);
  CString ItemPath(HTREEITEM hItem) const;
  void ExpandTo(const CString& path);
  void LoadRecent();
  void SaveRecent();

  CPathComboBox m_combo;
  CString m_strPath;
  CString m_strTitle;
  CString m_strSettings;
  int m_nFlags = 0;
  std::vector<CString> m_recent;
  CDialogTemplate* m_pTemplate = nullptr;
  BOOL m_bSyncing = FALSE;
  DWORD m_dwTreeMode = 1;
  DWORD m_dwBreadCrumb = 1;
  DECLARE_MESSAGE_MAP()
};
