// The view's commands that copy, compare and pack the listed files as a whole: "Dateien
// zippen", "Dateien kopieren" and "Suche gleiche Dateien".
#include "app/VellmorantView.h"

#include "app/Resource.h"
#include "zip/ZipDlg.h"

void CVellmorantView::OnZipFiles() {
  if (IsJobRunning()) return;
  if (GetFileCount() == 0) {
    MessageBox("Es müssen Dateien in der Dateiliste sein.", "Vellmorant", MB_OK | MB_ICONERROR);
    return;
  }
  CZipDlg dlg(this);
  dlg.SetBasePath(ExplorerPath());
  dlg.SetFileList(m_wndFiles.m_hWnd, &m_wndFiles.m_DirList);
  dlg.DoModal();
}
