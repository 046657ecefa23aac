// The document: stands for a folder and holds no data. Opening it selects the folder in the
// view's explorer pane; the file list can be filled from the command line's filters.
#pragma once
#include "framework/Framework.h"

class CVellmorantView;

// The folder that opening path selects: the path itself when it is a folder or a drive root
// (kept with its separator), a server or a share ("\\server", "\\server\share") as it is, else
// the folder of the path's full form. Empty when none can be found.
CString DocumentFolderFor(const char* path);

class CVellmorantDoc : public CDocument {
  DECLARE_DYNCREATE(CVellmorantDoc)
public:
  CVellmorantDoc();
  BOOL IsModified() override;
  void SetModifiedFlag(BOOL bModified = TRUE) override;
  BOOL OnNewDocument() override;
  // Selects the folder of DocumentFolderFor(path) in the view; always TRUE so that the path
  // enters the recent-file list. No file is read.
  BOOL OnOpenDocument(LPCSTR lpszPathName) override;
  // Fills the file list from the explorer pane's folder with the filters (null: none) and the
  // sub-folder flag; no write-protection or time filter. Nothing happens when the document
  // selected no folder.
  void AddFilesFromCommandLine(const char* plus, const char* minus, bool subDirs);
  // The document's first view, or null.
  CVellmorantView* GetFirstView() const;
};
