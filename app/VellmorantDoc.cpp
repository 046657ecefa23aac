// The document.
#include "app/VellmorantDoc.h"

#include "app/VellmorantView.h"
#include "system/Paths.h"

CString DocumentFolderFor(const char* path) {
  if (!path || !*path) return CString();
  int kind = PathGetKindA(path);
  if (kind == 2 || kind == 3) return CString(path);
  if (path[0] == '\\' && path[1] == '\\') {
    int separators = 0;
    for (const char* p = path + 2; *p; ++p)
      if (*p == '\\' || *p == '/') ++separators;
    if (separators <= 1) return CString(path);
  }
  char folder[MAX_PATH];
  int n = PathGetFullDirectoryA(folder, path, MAX_PATH);
  return n > 0 ? CString(folder, n) : CString();
}

IMPLEMENT_DYNCREATE(CVellmorantDoc, CDocument)

CVellmorantDoc::CVellmorantDoc() {}

BOOL CVellmorantDoc::IsModified() { return m_bModified; }

void CVellmorantDoc::SetModifiedFlag(BOOL bModified) { m_bModified = bModified; }

BOOL CVellmorantDoc::OnNewDocument() { return CDocument::OnNewDocument(); }

BOOL CVellmorantDoc::OnOpenDocument(LPCSTR lpszPathName) {
  CVellmorantView* view = GetFirstView();
  if (!view) return TRUE;
  CString folder = DocumentFolderFor(lpszPathName);
  if (!folder.IsEmpty()) view->SelectPath(folder);
  return TRUE;
}

void CVellmorantDoc::AddFilesFromCommandLine(const char* plus, const char* minus, bool subDirs) {
  CVellmorantView* view = GetFirstView();
  // Without a folder from the command line or the last session nothing was chosen: a default
  // drive that the explorer pane shows is not scanned.
  if (!view) return;
  if (view->GetDocumentFolder().IsEmpty()) {
    // A folder named on the command line that does not exist: said, not silently nothing.
    if (!GetPathName().IsEmpty()) {
      CString text;
      text.Format("Das Verzeichnis\n%s\nwurde nicht gefunden.", (const char*)GetPathName());
      view->MessageBox(text, "Fehler", MB_OK | MB_ICONERROR);
    }
    return;
  }
  view->AddFiles(nullptr, plus, minus, subDirs ? TRUE : FALSE, 0, 0, 0);
}

CVellmorantView* CVellmorantDoc::GetFirstView() const {
  POSITION pos = GetFirstViewPosition();
  CView* v = pos ? GetNextView(pos) : nullptr;
  return v && v->IsKindOf(RUNTIME_CLASS(CVellmorantView)) ? static_cast<CVellmorantView*>(v) : nullptr;
}
