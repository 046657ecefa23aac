// The view's commands that copy, compare and pack the listed files as a whole: "Dateien
// zippen", "Dateien kopieren" and "Suche gleiche Dateien".
#include "app/VellmorantView.h"

#include <string>

#include "app/CopyFilesDlg.h"
#include "app/FileCache.h"
#include "app/IdenticalFilesDlg.h"
#include "app/Resource.h"
#include "system/DirList.h"
#include "system/Paths.h"
#include "system/StrList.h"
#include "zip/ZipDlg.h"

namespace {

// Whether path (length bytes) lies below folder: the folder by the path compare, then a
// separator.
bool BelowFolder(const char* path, int length, const CString& folder) {
  const int n = folder.GetLength();
  return length > n && (path[n] == '\\' || path[n] == '/') && PathCompareA(CString(path, n), folder) == 0;
}

}  // namespace

void CVellmorantView::OnZipFiles() {
  if (IsJobRunning()) return;
  if (GetFileCount() == 0) {
    MessageBox("Es müssen Dateien in der Dateiliste sein.", "Vellmorant", MB_OK | MB_ICONERROR);
    return;
  }
  CZipDlg dlg(this);
  dlg.SetBasePath(ExplorerPath());
  dlg.SetFileList(m_wndFiles.m_hWnd, &m_wndFiles.m_DirList);
  // An archive written over a file that a search had cached must be read again.
  if (dlg.DoModal() == IDOK) FileCacheDrop(&m_cache, dlg.m_strZipFile);
}

void CVellmorantView::OnCopyFiles() {
  if (IsJobRunning() || GetFileCount() == 0) return;
  CDirList& entries = m_wndFiles.m_DirList;
  // The folder that holds every listed file.
  std::string base;
  for (int i = 0; i < entries.m_nCount; ++i) {
    const DirEntry* e = entries.GetEntry(i);
    std::string folder(e->FullPath(), size_t(e->nNameOffset));
    if (i == 0)
      base = folder;
    else if (!ZipNarrowCommonFolder(base, folder.c_str()))
      break;
  }
  CString baseFolder = base.c_str();
  PathRemoveTrailingSeparatorStr(baseFolder);
  CCopyFilesDlg dlg(this);
  dlg.m_strSource = m_strLastFillPath.IsEmpty() ? baseFolder : m_strLastFillPath;
  dlg.m_strTarget = m_strCompareFolder.IsEmpty() ? ExplorerPath() : m_strCompareFolder;
  if (!baseFolder.IsEmpty() && PathCompareExA(baseFolder, dlg.m_strSource, 3) != 0) {
    CString question;
    question.Format("Die Dateien aus der Dateiliste haben als Basis den Pfad :    \n\n\t%s    \n\nsoll dieser statt "
                    ":\n\n\t%s    \n\nals Basispfad benutzt werden ?",
                    (const char*)baseFolder, (const char*)dlg.m_strSource);
    int answer = MessageBox(question, "Frage", MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL) return;
    if (answer == IDYES) dlg.m_strSource = baseFolder;
  }
  if (dlg.DoModal() != IDOK) return;
  CString source = dlg.m_strSource, target = dlg.m_strTarget;
  PathRemoveTrailingSeparatorStr(source);
  PathRemoveTrailingSeparatorStr(target);
  if (PathCompareExA(source, target, 3) == 0) {
    MessageBox("Quellpfad und Vergleichspfad sind gleich !", "Fehler", MB_OK | MB_ICONERROR);
    return;
  }
  for (const CString* folder : {&source, &target}) {
    if (PathGetKindA(*folder) < 2) {
      CString text;
      text.Format("Das Verzeichnis %s existiert nicht !", (const char*)*folder);
      MessageBox(text, "Fehler", MB_OK | MB_ICONERROR);
      return;
    }
  }
  CStrList jobs(sizeof(ULONGLONG));
  int outside = 0;
  ULONGLONG total = 0;
  {
    CWaitCursor wait;
    m_strCompareBase[0] = source + "\\";
    m_strCompareBase[1] = target + "\\";
    m_compareResults.RemoveAll();
    ULONGLONG zero = 0;
    jobs.Insert(m_strCompareBase[0], -1, &zero);
    jobs.Insert(m_strCompareBase[1], -1, &zero);
    const int n = source.GetLength();
    // A file listed twice is copied (and asked about) once.
    for (int i : DirListDistinctFiles(entries)) {
      const DirEntry* e = entries.GetEntry(i);
      const char* path = e->FullPath();
      if (!BelowFolder(path, e->nLength, source)) {
        ++outside;
        continue;
      }
      CString file = path;
      for (int k = n; k < file.GetLength(); ++k)
        if (file[k] == '/') file.SetAt(k, '\\');
      ULONGLONG size = e->Size();
      jobs.Insert(file, -1, &size);
      total += size;
    }
  }
  if (outside > 0) {
    CString text;
    text.Format("Es werden %i Datei nicht verglichen weil sie im falschen Verzeichnis liegen !", outside);
    if (MessageBox(text, "Warnung", MB_OKCANCEL | MB_ICONWARNING) == IDCANCEL) return;
  }
  CStrList written;
  CProgressDlg progress(this);
  progress.SetJob(CopyFilesJob, (DWORD_PTR)this, (DWORD_PTR)&jobs, (DWORD_PTR)jobs.m_nCount,
                  (DWORD_PTR)dlg.JobBits(), (DWORD_PTR)&written);
  progress.SetTitle("Dateien kopieren");
  progress.SetThreadPriority(-2);
  progress.SetRange64(total);
  progress.SetLineCount(1);
  ++m_nJobDepth;
  progress.DoModal();
  --m_nJobDepth;
  for (int i = 0; i < written.m_nCount; ++i) FileCacheDrop(&m_cache, written.GetString(i));
  CString text;
  text.Format("Es wurden %i Dateien kopiert.", progress.m_nJobResult);
  MessageBox(text);
}

void CVellmorantView::OnIdenticalFiles() {
  if (IsJobRunning() || GetFileCount() == 0) return;
  CIdenticalFilesDlg dlg(this);
  CDirList& entries = m_wndFiles.m_DirList;
  for (int i = 0; i < entries.m_nCount; ++i) {
    const DirEntry* e = entries.GetEntry(i);
    if (!e) continue;
    DWORD size = e->IsFolder() ? 0xFFFFFFFF : e->nFileSizeLow;
    dlg.m_files.Insert(e->FullPath(), -1, &size);
  }
  dlg.DoModal();
}
