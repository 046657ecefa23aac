// The view: owns the three panes stacked from top to bottom (explorer pane, file list, result
// list) between two bars the user drags, the search engines, the file cache and the sibling
// programs' runners; fills the file list, passes the focus round the panes and keeps the status
// panes current.
#pragma once
#include <stdint.h>

#include <vector>

#include "app/ExecRun.h"
#include "app/HexSearch.h"
#include "app/ResultStamps.h"
#include "app/TextSearch.h"
#include "app/ViewLayout.h"
#include "controls/FileListCtrl.h"
#include "framework/Framework.h"
#include "system/StartProg.h"
#include "system/StrList.h"
#include "toolkit/BrowseCtrl.h"
#include "toolkit/ColorListBox.h"
#include "toolkit/ProgressDlg.h"

class CVellmorantDoc;
class CMainFrame;

// Bounds of the settings dialogs.
uint32_t ClampCacheSizeMB(long long megabytes);  // 0..1000
int ClampResultLimit(long long value);            // 10..1,000,000
// The working set that keeps cached copies in memory: half the cache, at least 32 MB.
SIZE_T CacheWorkingSetMinimum(uint32_t cacheSize);
// "%i Datei%s" with "en" for any count but 1.
CString FileCountText(int count);
// The warning after a fill that left out count entries (count > 0): "Es wurden %i Dateien oder
// Verzeichnisse übergangen: ...", for one entry in the singular ("Es wurde 1 Datei oder
// Verzeichnis übergangen: ...").
CString SkippedEntriesText(int count);
// Drops one trailing separator unless that leaves a drive ("C:\" stays) or nothing.
void DropTrailingSeparatorKeepRoot(CString& path);

class CVellmorantView : public CView {
  DECLARE_DYNCREATE(CVellmorantView)
public:
  CVellmorantView();
  ~CVellmorantView() override;

  CVellmorantDoc* GetDocument() const;
  CMainFrame* GetMainFrame() const;

  BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
              UINT nID, CCreateContext* pContext = nullptr) override;
  BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
  void OnDraw(CDC* pDC) override;
  void OnUpdate(CView* pSender, LPARAM lHint, CObject* pHint) override;

  // Fills the file list from path (null: the explorer pane's folder) with the filters (null or
  // empty: none), sub-folders, the read-only choice (0..2), the time mode (0..4) and time
  // (Unix seconds), under the progress dialog "Dateisuche". Nothing happens without a folder.
  void AddFiles(const char* path, const char* plus, const char* minus, BOOL subDirs, int writeProtection,
                int timeMode, int64_t time);
  // Selects a folder in the explorer pane; FALSE when it cannot be shown.
  BOOL SelectPath(const char* path);
  // The folder that the document (command line, recent list or the saved "Path") selected;
  // empty while none was. The explorer pane may show a default drive all the same.
  const CString& GetDocumentFolder() const { return m_strDocFolder; }
  // Asks the frame for the three status panes (10, 10 and 15 character units).
  void SetStatusPanes();
  void ClearStatusPanes();
  // After a sibling program was started: moves its main window to the placement kept by the
  // sibling watch (nothing when none was kept yet), maximised when it was.
  static void RestoreToolPlacement(CStartProg& prog, const WINDOWPLACEMENT& placement);
  // True while a progress job (file scan, search, ...) runs.
  BOOL IsJobRunning() const { return m_nJobDepth > 0; }
  // The number of entries of the file list.
  int GetFileCount() const;

  // Settings.
  uint32_t m_nCacheSize;   // bytes ("CacheSize")
  DWORD m_nSortList = 0;   // sort key of the file list ("SortList")
  DWORD m_nSortMode = 0;   // sort key of the explorer pane's file list ("SortMode")

  // Command handlers of this unit.
  void OnInsertAllFiles();
  void OnClearList();
  void OnRefreshBrowser();
  void OnAddFiles();
  void OnCacheSize();
  void OnResultLimit();
  void OnUpdateFileCommand(CCmdUI* pCmdUI);

  int OnCreate(LPCREATESTRUCTA lpcs);
  void OnSize(UINT nType, int cx, int cy);
  void OnTimer(UINT_PTR nIDEvent);
  void OnDestroy();
  void OnSetFocus(CWnd* pOldWnd);
  void OnLButtonDown(UINT nFlags, CPoint point);
  BOOL OnEraseBkgnd(CDC* pDC);
  void OnResultListFocus();
  void OnFileListSummary(NMHDR* pNMHDR, LRESULT* pResult);
  void OnExplorerSummary(NMHDR* pNMHDR, LRESULT* pResult);
  void OnExplorerPathChanged(NMHDR* pNMHDR, LRESULT* pResult);
  void OnExplorerFocus(NMHDR* pNMHDR, LRESULT* pResult);
  void OnFileListFocus(NMHDR* pNMHDR, LRESULT* pResult);

  // Search commands and the result list (ViewSearch.cpp).
  void OnTextSearch();
  // Opens the text search dialog with text (null: none) and runs the search on OK. Does
  // nothing while a job runs.
  void DoTextSearch(const char* text);
  void OnHexSearch();
  void OnDeleteResult();
  void OnContextMenu(CWnd* pWnd, CPoint point);
  void OnResultCopy();
  void CopyResultPath();
  void OnResultSelectAll();
  void OnSearchSelectedText();
  void OnSortByPath();
  void OnSortByName();
  void OnSortByType();
  // Sorts the results by column (0 path, 1 name, 2 type) and fills the list again.
  void SortResults(int column);
  void OnEditCut();
  void OnEditCopy();
  void OnEditPaste();
  // Write the engines' hits into the (emptied) result list and set the kind and count.
  void FillTextResults();
  void FillHexResults();
  // Shows or hides the result pane.
  void ShowResults(BOOL show);
  // Shows the pane during a search (WM_VM_SHOW_RESULTS).
  LRESULT OnShowResultsPosted(WPARAM, LPARAM);
  // Fills list with every file that the results name (sorted, once each); returns the count.
  int CollectResultFiles(CStrList& list);
  void OnResultBeginDrag(NMHDR* pNMHDR, LRESULT* pResult);

  // Changing the found entries (ViewChange.cpp).
  void OnChange();
  void OnUpdateChange(CCmdUI* pCmdUI);
  // Directory compare (ViewDirCompare.cpp).
  void OnDirCompare();
  // Writes the directory-compare lines into the (emptied) result list, or the line that says
  // why there are none, and makes them the current results.
  void FillDirCompareResults();
  // The kind (DCK_*) of directory-compare line index, with the listed file and its counterpart
  // below the compare path for the lines that name a counterpart (kinds 0, 1 and 4 of a
  // counterpart; both empty otherwise). -1 when the results are no directory-compare lines or
  // index is out of range.
  int GetDirCompareFiles(int index, CString& listed, CString& counterpart);
  // Execution menus (ViewExec.cpp).
  void OnEditExecMenus();
  void OnRunExecMenu();
  void OnUpdateRunExecMenu(CCmdUI* pCmdUI);
  // Counts the defined execution menus (enables the run command).
  void LoadExecMenuNames();
  // The job of the run command: runs the menu for the collected items.
  static int RunExecEntry(CProgressDlg* pDlg);
  // Items of a source (-1 the file list; 0, 1, 2 the text hits, value hits or compare lines).
  int ExecItemCount(int source) const;
  void CollectExecItems(int source, std::vector<ExecItem>& items);
  int m_nExecMenuCount = 0;
  // Batch files of runs that did not wait for them; the last go with the view.
  CExecBatches m_execBatches;
  // Renaming by pattern (ViewRename.cpp).
  void OnRenameFiles();
  // Zip, copy and identical files (ViewFileCommands.cpp).
  void OnZipFiles();
  void OnCopyFiles();
  void OnIdenticalFiles();

  // Inserting and deleting lines at the found lines (ViewLines.cpp).
  void OnInsertLines();
  void OnDeleteLines();
  void RunLinesDialog(BOOL deleteMode);
  // Sibling programs, the file popup menu and the file compares (ViewSibling.cpp).
  void OnResultDblClk();
  // A double click (or Enter) on directory-compare line index, below the compare lines.
  void OpenCompareResult(int index);
  void OnFileListRClick(NMHDR* pNMHDR, LRESULT* pResult);
  void OnExplorerMenu(NMHDR* pNMHDR, LRESULT* pResult);
  // The file popup menu for path at point (screen; null: the cursor). A path that is not an
  // existing file empties the pending file and shows nothing.
  void ShowFileListMenu(const char* path, const POINT* point = nullptr);
  void OnOpenEditTool();
  void OnOpenHexTool();
  void OnShellOpen();
  void OnCopyFolder();
  void OnCopyPath();
  void OnCopyColumn();
  void OnCopyName();
  void OnCopyFileList();
  void OnCompareFiles();
  void OnCompareText();
  // "C Formatieren" and its job (ViewFormatC.cpp; the job returns 0).
  void OnFormatC();
  static int FormatCJob(CProgressDlg* pDlg);
  // The result list's procedure: Enter double-clicks the selected line, Delete deletes it.
  static LRESULT CALLBACK ListKeyProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

  // Conversions of the listed files (ViewConvert.cpp).
  void OnConvertTabs();
  void OnAsciiToAnsi();
  void OnLinuxToWindows();

protected:
  void RecalcLayout();
  void ApplyWorkingSet();
  void FocusPane(int index);
  CString ExplorerPath();
  HWND ExplorerWnd() const;
  HWND FileListWnd() const;
  BOOL HasCommandHandler(UINT nID);
  // True when a conversion may start: no job runs and the file list holds files (otherwise
  // says so).
  bool CanConvert();
  // Runs a conversion of the listed files (ConvertKind) under the progress dialog and reports
  // how many files it rewrote.
  void RunConversion(const char* title, int kind, int value, int newWidth, bool compress);

  // Members in the order of their roles.
  CStartProg m_progs[3];           // Blenkor, Quorbital, the compare programs
  CColorListBox m_wndResults;      // the result list
  CHexSearch m_hexSearch;
  CTextSearch m_textSearch;
  CBrowseCtrl m_wndBrowse;        // the explorer pane
  CFileListCtrl m_wndFiles;        // the file list
  CString m_strLastFillPath;       // folder of the last file-list fill
  CString m_strDocFolder;          // the folder the document selected
  CStrList m_cache;                // the file cache (FileCacheEntry item data)
  CStrList m_compareResults;       // directory-compare results (4-byte item data)
  CResultStamps m_resultStamps;    // what the last search saw of the files it found something in
  CString m_strCompareBase[2];
  CString m_strCompareFolder;      // emptied whenever files are added through dialog 130
  ViewLayoutState m_layout;        // bars and the result list's state
  int m_nCompareWarning = 0;     // 1: no file of the compare folder was found, 2: the compare was cancelled
  int m_nCompareState[2] = {0, -1};
  BOOL m_bDragging = FALSE;        // a drag from the result list runs
  int m_nResultKind = 0;           // 0 text hits, 1 value hits, 2 other lines
  int m_nResultCount = 0;
  int m_nShownScanCount = -1;      // file count last shown by the scan progress
  int m_nFocusIndex = PaneExplorerTree;
  uint64_t m_nTotalSize = 0;
  char m_szMenuText[2][MAX_PATH] = {};
  WINDOWPLACEMENT m_placements[3];
  DWORD m_toolFlags[3] = {0, 0, 0};
  int m_nJobDepth = 0;
  CStartProg m_fileCompare;        // the file-compare program (its own runner: no placement)

  // Sibling programs (ViewSibling.cpp): starts the text tool (slot 0) or the hex tool (slot 1)
  // unless it runs; FALSE when it is not found or cannot be started.
  BOOL StartTool(int slot, BOOL watch);
  // Watches the program of slot from now on and puts it where it was last seen.
  void WatchTool(int slot);
  // Entry index's full path of the file list ("" when none).
  CString FileListPath(int index);

  // The file scan job and its progress callback.
  struct ScanJob {
    CVellmorantView* view;
    CString path, plus, minus;
    BOOL subDirs;
    int writeProtection, timeMode;
    int64_t time;
    int result;
  };
  static int AddFilesJob(CProgressDlg* pDlg);
  static void AddFilesProgress(CProgressDlg* pDlg, void* pArg);

  DECLARE_MESSAGE_MAP()
};
