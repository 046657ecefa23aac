// The view's command that renames the listed files by a pattern.
#include "app/FileCache.h"
#include "app/RenameDlg.h"
#include "app/VellmorantView.h"

void CVellmorantView::OnRenameFiles() {
  if (!m_wndFiles.m_hWnd || m_wndFiles.IsReading() || IsJobRunning()) return;
  if (GetFileCount() == 0) {
    MessageBox("Es m\xFCssen Dateien in der Dateiliste sein.", "Vellmorant", MB_OK | MB_ICONERROR);
    return;
  }
  CRenameDlg dlg(this);
  dlg.m_pFileList = &m_wndFiles;
  dlg.DoModal();
  // A cached copy under a name that is gone would be found again by a new file of that name.
  for (const std::string& path : dlg.m_renamedFrom) FileCacheDrop(&m_cache, path.c_str());
  m_wndFiles.SendMessage(LVM_REDRAWITEMS, 0, 0x0FFFFFFF);
  m_wndFiles.SendSummary();
  if (m_wndBrowse.m_hWnd) m_wndBrowse.TriggerUpdate();
}
