// The view core: panes, bars, focus, file-list commands, status panes and settings.
#include "app/VellmorantView.h"

#include "app/AddFilesDlg.h"
#include "app/FileCache.h"
#include "app/MainFrm.h"
#include "app/Resource.h"
#include "app/VellmorantDoc.h"
#include "system/Paths.h"
#include "system/RegKeys.h"
#include "toolkit/ControlHelpers.h"
#include "toolkit/InputDlgs.h"
#include "toolkit/WndHelpers.h"

namespace {

// The five plus-filter entries offered on a fresh installation.
const char kDefaultFilterPlus[] =
    "*.c;*.cpp;*.h;*.hpp;*.cc;*.cxx;*.asm;*.inl;*.inc;*.prv\0*.h;*.hpp;*.inl\0*.htm;*.html\0*.dsp\0*.rc\0";

}  // namespace

// --- free helpers -------------------------------------------------------------------------------

uint32_t ClampCacheSizeMB(long long mb) {
  if (mb < 0) return 0;
  if (mb > 1000) return 1000;
  return (uint32_t)mb;
}

int ClampResultLimit(long long v) {
  if (v < 10) return 10;
  if (v > 1000000) return 1000000;
  return (int)v;
}

SIZE_T CacheWorkingSetMinimum(uint32_t cacheSize) {
  SIZE_T half = cacheSize / 2;
  return half < 0x2000000 ? 0x2000000 : half;
}

CString FileCountText(int count) {
  CString s;
  s.Format("%i Datei%s", count, count == 1 ? "" : "en");
  return s;
}

CString SkippedEntriesText(int count) {
  CString s;
  if (count == 1)
    s = "Es wurde 1 Datei oder Verzeichnis übergangen: sie konnte nicht gelesen werden, oder ihr Pfad ist zu "
        "lang oder nicht darstellbar.";
  else
    s.Format("Es wurden %i Dateien oder Verzeichnisse übergangen: sie konnten nicht gelesen werden, oder ihr Pfad "
             "ist zu lang oder nicht darstellbar.",
             count);
  return s;
}

void DropTrailingSeparatorKeepRoot(CString& path) {
  int n = path.GetLength();
  if (n == 0) return;
  char last = path[n - 1];
  if (last != '\\' && last != '/') return;
  if (n == 1) return;                       // "\" alone
  if (n == 3 && path[1] == ':') return;     // "C:\" stays a root
  path = path.Left(n - 1);
}

// --- the view -----------------------------------------------------------------------------------

IMPLEMENT_DYNCREATE(CVellmorantView, CView)

BEGIN_MESSAGE_MAP(CVellmorantView, CView)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_TIMER()
  ON_WM_DESTROY()
  ON_WM_SETFOCUS()
  ON_WM_LBUTTONDOWN()
  ON_WM_ERASEBKGND()
  ON_NOTIFY(NM_SETFOCUS, IDC_FILE_LIST, OnFileListFocus)
  ON_NOTIFY(NM_SETFOCUS, IDC_EXPLORER_PANE, OnExplorerFocus)
  ON_NOTIFY(FLN_SUMMARY, IDC_FILE_LIST, OnFileListSummary)
  ON_NOTIFY(BCN_SUMMARY, IDC_EXPLORER_PANE, OnExplorerSummary)
  ON_NOTIFY(BCN_PATHCHANGED, IDC_EXPLORER_PANE, OnExplorerPathChanged)
  ON_NOTIFY(CLN_BEGINDRAG, IDC_RESULT_LIST, OnResultBeginDrag)
  ON_CONTROL(LBN_SETFOCUS, IDC_RESULT_LIST, OnResultListFocus)
  ON_COMMAND(ID_INSERT_ALL_FILES, OnInsertAllFiles)
  ON_COMMAND(ID_ADD_FILES, OnAddFiles)
  ON_COMMAND(ID_CLEAR_LIST, OnClearList)
  ON_COMMAND(ID_REFRESH_BROWSER, OnRefreshBrowser)
  ON_COMMAND(ID_RESULT_LIMIT, OnResultLimit)
  ON_COMMAND(ID_CACHE_SIZE, OnCacheSize)
  ON_UPDATE_COMMAND_UI(ID_TEXT_SEARCH, OnUpdateFileCommand)
  ON_UPDATE_COMMAND_UI(ID_HEX_SEARCH, OnUpdateFileCommand)
  ON_UPDATE_COMMAND_UI(ID_COMPARE_FILES, OnUpdateFileCommand)
  ON_UPDATE_COMMAND_UI(ID_COMPARE_TEXT, OnUpdateFileCommand)
  ON_UPDATE_COMMAND_UI(ID_IDENTICAL_FILES, OnUpdateFileCommand)
  ON_UPDATE_COMMAND_UI(ID_RENAME_FILES, OnUpdateFileCommand)
  ON_UPDATE_COMMAND_UI(ID_OEM_TO_ANSI, OnUpdateFileCommand)
  ON_UPDATE_COMMAND_UI(ID_CONVERT_TABS, OnUpdateFileCommand)
  ON_UPDATE_COMMAND_UI(ID_UNIX_TO_WINDOWS, OnUpdateFileCommand)
  ON_UPDATE_COMMAND_UI(ID_DIR_COMPARE, OnUpdateFileCommand)
  ON_UPDATE_COMMAND_UI(ID_ZIP_FILES, OnUpdateFileCommand)
  ON_UPDATE_COMMAND_UI(ID_C_FORMAT, OnUpdateFileCommand)
  ON_UPDATE_COMMAND_UI(ID_COPY_FILES, OnUpdateFileCommand)
  // Search commands and the result list (ViewSearch.cpp).
  ON_COMMAND(ID_TEXT_SEARCH, OnTextSearch)
  ON_COMMAND(ID_HEX_SEARCH, OnHexSearch)
  ON_COMMAND(ID_RESULT_DELETE, OnDeleteResult)
  ON_WM_CONTEXTMENU()
  ON_COMMAND(ID_RESULT_COPY, OnResultCopy)
  ON_COMMAND(ID_RESULT_COPY_PATH, CopyResultPath)
  ON_COMMAND(ID_RESULT_SELECT_ALL, OnResultSelectAll)
  ON_COMMAND(ID_RESULT_SEARCH_SELECTION, OnSearchSelectedText)
  ON_COMMAND(ID_RESULT_SORT_PATH, OnSortByPath)
  ON_MESSAGE(WM_VM_SHOW_RESULTS, OnShowResultsPosted)
  ON_COMMAND(ID_RESULT_SORT_NAME, OnSortByName)
  ON_COMMAND(ID_RESULT_SORT_TYPE, OnSortByType)
  ON_COMMAND(ID_EDIT_CUT, OnEditCut)
  ON_COMMAND(ID_EDIT_COPY, OnEditCopy)
  ON_COMMAND(ID_EDIT_PASTE, OnEditPaste)
  // Changing the found entries (ViewChange.cpp).
  ON_COMMAND(ID_CHANGE, OnChange)
  ON_UPDATE_COMMAND_UI(ID_CHANGE, OnUpdateChange)
  ON_COMMAND(ID_DIR_COMPARE, OnDirCompare)
  // Execution menus (ViewExec.cpp).
  ON_COMMAND(ID_EDIT_EXEC_MENUS, OnEditExecMenus)
  ON_COMMAND(ID_RUN_EXEC_MENU, OnRunExecMenu)
  ON_UPDATE_COMMAND_UI(ID_RUN_EXEC_MENU, OnUpdateRunExecMenu)
  // Renaming by pattern (ViewRename.cpp).
  ON_COMMAND(ID_RENAME_FILES, OnRenameFiles)
  // Zip, copy and identical files.
  ON_COMMAND(ID_ZIP_FILES, OnZipFiles)
  ON_COMMAND(ID_COPY_FILES, OnCopyFiles)
  // Inserting and deleting lines (ViewLines.cpp).
  ON_COMMAND(ID_INSERT_LINES, OnInsertLines)
  ON_COMMAND(ID_DELETE_LINES, OnDeleteLines)
  ON_COMMAND(ID_IDENTICAL_FILES, OnIdenticalFiles)
  // Sibling programs, the file popup menu and the file compares (ViewSibling.cpp).
  ON_CONTROL(LBN_DBLCLK, IDC_RESULT_LIST, OnResultDblClk)
  ON_NOTIFY(NM_RCLICK, IDC_FILE_LIST, OnFileListRClick)
  ON_NOTIFY(BCN_CONTEXTMENU, IDC_EXPLORER_PANE, OnExplorerMenu)
  ON_COMMAND(ID_OPEN_BLENKOR, OnOpenEditTool)
  ON_COMMAND(ID_OPEN_QUORBITAL, OnOpenHexTool)
  ON_COMMAND(ID_FILE_OPEN_ENTRY, OnShellOpen)
  ON_COMMAND(ID_COPY_PATH, OnCopyFolder)
  ON_COMMAND(ID_COPY_NAME, OnCopyPath)
  ON_COMMAND(ID_COPY_COLUMN, OnCopyColumn)
  ON_COMMAND(ID_COPY_NAMES, OnCopyName)
  ON_COMMAND(ID_COPY_FILE_LIST, OnCopyFileList)
  ON_COMMAND(ID_COMPARE_FILES, OnCompareFiles)
  ON_COMMAND(ID_COMPARE_TEXT, OnCompareText)
  ON_COMMAND(ID_C_FORMAT, OnFormatC)
  // Conversions of the listed files (ViewConvert.cpp).
  ON_COMMAND(ID_CONVERT_TABS, OnConvertTabs)
  ON_COMMAND(ID_OEM_TO_ANSI, OnAsciiToAnsi)
  ON_COMMAND(ID_UNIX_TO_WINDOWS, OnLinuxToWindows)
END_MESSAGE_MAP()

CVellmorantView::CVellmorantView() : m_nCacheSize(kFileCacheDefaultSize), m_cache(16), m_compareResults(4) {
  FileCacheInit(&m_cache);
  memset(m_placements, 0, sizeof m_placements);

  CRegKeys reg;
  if (reg.Open(nullptr, nullptr, 0)) {
    DWORD v = m_nCacheSize;
    // A stored size beyond what the setting allows is cut to it.
    if (reg.QueryValue(&v, sizeof v, "CacheSize", REG_DWORD)) m_nCacheSize = v > (1000u << 20) ? (1000u << 20) : v;
    reg.QueryValue(&m_nSortMode, sizeof m_nSortMode, "SortMode", REG_DWORD);
    reg.QueryValue(&m_nSortList, sizeof m_nSortList, "SortList", REG_DWORD);
  }
  char* block = nullptr;
  if (!reg.Open(nullptr, nullptr, 0) || !reg.QueryValueAlloc(&block, "FilterPlus", REG_MULTI_SZ)) {
    CRegKeys w;
    if (w.Open(nullptr, nullptr, 2)) w.SetValue(kDefaultFilterPlus, sizeof kDefaultFilterPlus, "FilterPlus", REG_MULTI_SZ);
  }
  free(block);
  ApplyWorkingSet();
  LoadExecMenuNames();
}

CVellmorantView::~CVellmorantView() {
  for (int i = m_cache.m_nCount - 1; i >= 0; --i) FileCacheRemoveAt(&m_cache, i);
  CRegKeys reg;
  if (reg.Open(nullptr, nullptr, 2)) {
    DWORD v = m_nCacheSize;
    reg.SetValue(&v, 4, "CacheSize", REG_DWORD);
    reg.SetValue(&m_nSortMode, 4, "SortMode", REG_DWORD);
    reg.SetValue(&m_nSortList, 4, "SortList", REG_DWORD);
  }
}

void CVellmorantView::ApplyWorkingSet() {
  SIZE_T minimum = CacheWorkingSetMinimum(m_nCacheSize);
  ::SetProcessWorkingSetSize(::GetCurrentProcess(), minimum, minimum * 3);
}

CVellmorantDoc* CVellmorantView::GetDocument() const {
  CDocument* doc = CView::GetDocument();
  return doc && doc->IsKindOf(RUNTIME_CLASS(CVellmorantDoc)) ? static_cast<CVellmorantDoc*>(doc) : nullptr;
}

CMainFrame* CVellmorantView::GetMainFrame() const {
  CFrameWnd* frame = GetParentFrame();
  return frame && frame->IsKindOf(RUNTIME_CLASS(CMainFrame)) ? static_cast<CMainFrame*>(frame) : nullptr;
}

BOOL CVellmorantView::PreCreateWindow(CREATESTRUCTA& cs) {
  cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(nullptr, IDC_SIZENS), nullptr, nullptr);
  return cs.lpszClass != nullptr;
}

BOOL CVellmorantView::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                             CWnd* pParentWnd, UINT nID, CCreateContext* pContext) {
  if (!CView::Create(lpszClassName, lpszWindowName, dwStyle, rect, pParentWnd, nID, pContext)) return FALSE;
  CRect none(0, 0, 0, 0);
  // A pane that cannot be created is left out: the view runs with the others.
  m_wndBrowse.Create(0, 0x100008D0, none, this, IDC_EXPLORER_PANE);
  m_wndFiles.Create(0, 0x10207B97, none, this, IDC_FILE_LIST);
  if (m_wndResults.CreateEx(0x10200101, 0, none, this, IDC_RESULT_LIST)) {
    m_wndResults.SendMessage(CLB_SETSTYLE, 0x82000000, 0x82000000);
    m_wndResults.SendMessage(CLB_OPTION, 11 | 0x80000000u, 2);
    static const COLORREF kTextColors[8] = {0x800000, 0x800080, 0x800040, 0xC80000,
                                            0x8000,   0x808000, 0xC00000, 0x80};
    for (int i = 0; i < 8; ++i) {
      m_wndResults.SendMessage(CLB_SETCOLOR, 4 + i, (LPARAM)kTextColors[i]);
      m_wndResults.SendMessage(CLB_SETCOLOR, 4 + i + 32, (LPARAM)-1);
    }
    m_wndResults.SetColors(12, 0x800080, (COLORREF)-1);
    m_wndResults.SetColors(13, 0x808080, (COLORREF)-1);
    m_wndResults.SetColors(14, 0x900080, (COLORREF)-1);
    m_wndResults.SetColors(15, 0xD0, (COLORREF)-1);
    m_wndResults.SetColors(16, 0x64326C, (COLORREF)-1);
    m_wndResults.SendMessage(CLB_SETSTYLE, 0x60000, 0x60000);
    m_wndResults.SendMessage(WM_SETFONT, (WPARAM)::GetStockObject(DEFAULT_GUI_FONT), TRUE);
    m_wndResults.SetOption(11, 1);
    SubclassControl(m_wndResults.m_hWnd, ListKeyProc);
  }
  if (m_wndBrowse.m_List.m_hWnd) m_wndBrowse.m_List.SetSort((int)m_nSortMode, 0);
  if (m_wndFiles.m_hWnd) m_wndFiles.SetSort((int)m_nSortList, 0);
  RecalcLayout();
  return TRUE;
}

int CVellmorantView::OnCreate(LPCREATESTRUCTA lpcs) { return CView::OnCreate(lpcs); }

BOOL CVellmorantView::OnEraseBkgnd(CDC*) { return TRUE; }

void CVellmorantView::RecalcLayout() {
  if (!m_hWnd) return;
  CRect rc;
  GetClientRect(&rc);
  if (rc.Width() == 0 || rc.Height() == 0) return;
  ViewLayoutRects r = ComputeViewLayout(m_layout, rc.Width(), rc.Height());
  struct {
    HWND wnd;
    const RECT* rect;
  } panes[3] = {{ExplorerWnd(), &r.explorer}, {FileListWnd(), &r.fileList}, {m_wndResults.m_hWnd, &r.resultList}};
  for (auto& p : panes)
    if (p.wnd && ::IsWindow(p.wnd))
      ::MoveWindow(p.wnd, p.rect->left, p.rect->top, p.rect->right - p.rect->left, p.rect->bottom - p.rect->top, TRUE);
  Invalidate();
}

void CVellmorantView::OnSize(UINT nType, int cx, int cy) {
  CView::OnSize(nType, cx, cy);
  if (cx != 0 && cy != 0) RecalcLayout();
}

void CVellmorantView::OnDraw(CDC* pDC) {
  CRect rc;
  GetClientRect(&rc);
  if (rc.Width() == 0 || rc.Height() == 0) return;
  ViewLayoutState state = m_layout;
  ViewLayoutRects r = ComputeViewLayout(state, rc.Width(), rc.Height());
  DrawFramedBox(pDC->GetSafeHdc(), r.firstBarTop, 10000, 0, kViewBarHeight);
  if (r.secondBarTop >= 0) DrawFramedBox(pDC->GetSafeHdc(), r.secondBarTop, 10000, 0, kViewBarHeight);
}

void CVellmorantView::OnLButtonDown(UINT nFlags, CPoint point) {
  CRect rc;
  GetClientRect(&rc);
  int h = rc.Height();
  if (rc.Width() == 0 || h == 0) return;
  ViewLayoutState state = m_layout;
  ViewLayoutRects r = ComputeViewLayout(state, rc.Width(), h);
  ViewDragKind kind = ViewDragKindAt(m_layout, h, point.y);
  CRect limit = rc;
  int barTop = r.firstBarTop;
  if (m_layout.resultShown && kind == DragSecondBar) {
    limit.top = r.firstBarTop + kViewBarHeight;
    barTop = r.secondBarTop;
  } else if (m_layout.resultShown) {
    limit.bottom = r.secondBarTop - kViewBarHeight;
  }
  ClientToScreen(&limit);
  int d = TrackSplitter(m_hWnd, 0, &limit, barTop, point.x, point.y - barTop, kViewBarHeight, 5, 12345);
  if (d == 0) return;
  ApplyViewDrag(m_layout, kind, d, h);
  RecalcLayout();
  RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CVellmorantView::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent != IDT_SIBLING_WATCH) {
    CView::OnTimer(nIDEvent);
    return;
  }
  for (int i = 0; i < 3; ++i) {
    if (!m_toolFlags[i]) continue;
    if (m_progs[i].IsRunning()) {
      HWND h = m_progs[i].FindMainWindow(0);
      if (h) {
        WINDOWPLACEMENT wp = {sizeof wp};
        if (::GetWindowPlacement(h, &wp)) m_placements[i] = wp;
      }
    } else {
      m_toolFlags[i] = 0;
    }
  }
}

void CVellmorantView::RestoreToolPlacement(CStartProg& prog, const WINDOWPLACEMENT& wp) {
  if (wp.length == 0) return;  // never filled
  HWND h = prog.FindMainWindow(10);
  if (!h) return;
  const RECT& r = wp.rcNormalPosition;
  ::SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  if (wp.showCmd == SW_MAXIMIZE) ::ShowWindow(h, SW_MAXIMIZE);
}

CString CVellmorantView::ExplorerPath() {
  return m_wndBrowse.m_hWnd ? m_wndBrowse.GetCurrentPath(1) : CString();
}

HWND CVellmorantView::ExplorerWnd() const { return m_wndBrowse.m_hWnd; }

HWND CVellmorantView::FileListWnd() const { return m_wndFiles.m_hWnd; }

void CVellmorantView::OnResultListFocus() { m_nFocusIndex = PaneResultList; }

void CVellmorantView::OnDestroy() {
  // The sort keys are written with the cache size when the view goes.
  if (m_wndFiles.m_hWnd) m_nSortList = (DWORD)m_wndFiles.m_nSortKey;
  if (m_wndBrowse.m_List.m_hWnd) m_nSortMode = (DWORD)m_wndBrowse.m_List.m_nSortKey;
  CString path = ExplorerPath();
  CRegKeys reg;
  if (reg.Open(nullptr, nullptr, 2)) reg.SetString(path, "Path");
  CView::OnDestroy();
}

void CVellmorantView::FocusPane(int index) {
  switch (index) {
    case PaneExplorerTree:
    case PaneExplorerList:
      if (m_wndBrowse.m_hWnd) m_wndBrowse.FocusPane(index == PaneExplorerTree ? 1 : 0);
      break;
    case PaneResultList:
      if (m_layout.resultShown && m_wndResults.m_hWnd) {
        m_wndResults.SetFocus();
        break;
      }
      // The result list is hidden: the file list takes the focus.
      [[fallthrough]];
    default:
      if (m_wndFiles.m_hWnd) {
        m_wndFiles.SetFocus();
        if (m_wndFiles.SendMessage(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED) < 0 && GetFileCount() > 0)
          m_wndFiles.SendMessage(FLM_FOCUSITEM, 0, 0);
      }
      break;
  }
}

void CVellmorantView::OnSetFocus(CWnd* pOldWnd) {
  static bool s_busy = false;
  static DWORD s_lastDecision = 0;
  static bool s_decided = false;
  if (s_busy) return;
  s_busy = true;
  DWORD now = ::GetTickCount();
  if (!s_decided || now - s_lastDecision >= 100) {
    HWND from = pOldWnd ? pOldWnd->m_hWnd : nullptr;
    FocusSource source = FromOther;
    if (from && from == m_wndResults.m_hWnd)
      source = FromResultList;
    else if (from && from == m_wndFiles.m_hWnd)
      source = FromFileList;
    else if (from && from == m_wndBrowse.m_List.m_hWnd)
      source = FromExplorerList;
    else if (from && from == m_wndBrowse.m_Tree.m_hWnd)
      source = FromExplorerTree;
    else if (from && from == m_wndBrowse.m_hWnd)
      source = FromExplorerPane;
    bool shift = ::GetKeyState(VK_SHIFT) < 0;
    m_nFocusIndex = NextFocusPane(m_nFocusIndex, source, shift, m_layout.resultShown);
    s_lastDecision = now;
    s_decided = true;
  }
  FocusPane(m_nFocusIndex);
  s_busy = false;
}

void CVellmorantView::OnFileListFocus(NMHDR*, LRESULT* pResult) {
  m_nFocusIndex = PaneFileList;
  *pResult = 0;
}

void CVellmorantView::OnExplorerFocus(NMHDR* pNMHDR, LRESULT* pResult) {
  const auto* nm = reinterpret_cast<const NMBROWSEFOCUS*>(pNMHDR);
  m_nFocusIndex = nm->nPart == 1 ? PaneExplorerList : PaneExplorerTree;
  *pResult = 0;
}

void CVellmorantView::OnFileListSummary(NMHDR* pNMHDR, LRESULT* pResult) {
  *pResult = 0;
  HWND focus = ::GetFocus();
  if (focus && focus != m_wndFiles.m_hWnd) return;
  const auto* nm = reinterpret_cast<const NMFILELISTSUMMARY*>(pNMHDR);
  if (CMainFrame* frame = GetMainFrame()) {
    frame->SetPaneText(1, FileCountText(nm->nCount), TRUE);
    char text[sizeof nm->szText + 1];
    memcpy(text, nm->szText, sizeof nm->szText);
    text[sizeof nm->szText] = 0;
    frame->SetPaneText(2, text, TRUE);
  }
}

void CVellmorantView::OnExplorerSummary(NMHDR* pNMHDR, LRESULT* pResult) {
  *pResult = 0;
  if (m_wndFiles.m_hWnd && ::GetFocus() == m_wndFiles.m_hWnd) return;
  const auto* nm = reinterpret_cast<const NMBROWSESUMMARY*>(pNMHDR);
  if (CMainFrame* frame = GetMainFrame()) {
    frame->SetPaneText(1, nm->pszText1 ? nm->pszText1 : "", TRUE);
    frame->SetPaneText(2, nm->pszText2 ? nm->pszText2 : "", TRUE);
  }
}

void CVellmorantView::OnExplorerPathChanged(NMHDR* pNMHDR, LRESULT* pResult) {
  *pResult = 0;
  const auto* nm = reinterpret_cast<const NMBROWSEPATH*>(pNMHDR);
  if (CDocument* doc = CView::GetDocument()) doc->SetTitle(nm->pszPath ? nm->pszPath : "");
}

void CVellmorantView::SetStatusPanes() {
  static const UINT ids[3] = {0, 1, 2};
  static const int widths[3] = {-10, -10, -15};
  if (CMainFrame* frame = GetMainFrame()) frame->SetStatusPanes(ids, widths, 3);
}

void CVellmorantView::ClearStatusPanes() {
  if (CMainFrame* frame = GetMainFrame()) frame->SetStatusPanes(nullptr, nullptr, 0);
}

void CVellmorantView::OnUpdate(CView*, LPARAM, CObject*) {
  SetStatusPanes();
  CDocument* doc = CView::GetDocument();
  CString path = doc ? doc->GetPathName() : CString();
  if (path.IsEmpty()) {
    CRegKeys reg;
    if (reg.Open(nullptr, nullptr, 0)) reg.QueryString(path, "Path");
  }
  if (PathGetKindA(path) == 1) {
    PathCutToDirectoryStr(path);
    DropTrailingSeparatorKeepRoot(path);
  }
  int kind = PathGetKindA(path);
  m_strDocFolder.Empty();
  if ((kind == 2 || kind == 3) && SelectPath(path)) m_strDocFolder = path;
  if (doc) doc->SetTitle(path);
}

BOOL CVellmorantView::SelectPath(const char* path) {
  return m_wndBrowse.m_hWnd && path && *path && m_wndBrowse.SelectPath(path, 0, 0);
}

int CVellmorantView::GetFileCount() const {
  return m_wndFiles.m_hWnd ? (int)m_wndFiles.SendMessage(LVM_GETITEMCOUNT) : 0;
}

int CVellmorantView::AddFilesJob(CProgressDlg* pDlg) {
  ScanJob* job = reinterpret_cast<ScanJob*>(pDlg->m_dwUser[0]);
  CFileListCtrl& files = job->view->m_wndFiles;
  job->result = files.ReadPath(job->path, job->subDirs, job->plus.IsEmpty() ? nullptr : (const char*)job->plus,
                               job->minus.IsEmpty() ? nullptr : (const char*)job->minus, job->writeProtection,
                               job->timeMode, job->time, 0);
  return job->result;
}

void CVellmorantView::AddFilesProgress(CProgressDlg* pDlg, void* pArg) {
  CVellmorantView* view = static_cast<CVellmorantView*>(pArg);
  CDirList& list = view->m_wndFiles.m_DirList;
  if (pDlg->m_bCancel) list.m_bStop = 1;
  int count = (int)list.m_nCount;
  if (count != view->m_nShownScanCount) {
    view->m_nShownScanCount = count;
    CString line;
    line.Format("Es wurden %i Dateien gefunden.", count);
    pDlg->SetLineText(1, line);
  }
}

void CVellmorantView::AddFiles(const char* path, const char* plus, const char* minus, BOOL subDirs,
                               int writeProtection, int timeMode, int64_t time) {
  if (!m_wndFiles.m_hWnd) return;
  ScanJob job;
  job.view = this;
  job.path = path ? CString(path) : ExplorerPath();
  // A scan of no folder would list the working folder: nothing to do.
  if (job.path.IsEmpty()) return;
  if (job.path.GetLength() == 2 && job.path[1] == ':') job.path += "\\";
  job.plus = plus;
  job.minus = minus;
  job.subDirs = subDirs;
  job.writeProtection = writeProtection;
  job.timeMode = timeMode;
  job.time = time;
  job.result = 0;
  m_strLastFillPath = job.path;
  m_nShownScanCount = -1;

  CProgressDlg dlg(this);
  dlg.SetJob(AddFilesJob, (DWORD_PTR)&job);
  dlg.SetThreadPriority(-2);
  dlg.SetMarquee(200);
  dlg.SetTitle("Dateisuche");
  dlg.SetTimerCallback(AddFilesProgress, 300, this);
  // Cancel stops the scan at once rather than at the next timer tick.
  dlg.SetCancelCallback(AddFilesProgress, this);
  dlg.SetLineCount(2);
  dlg.SetLineTextCompact(0, "Durchsuche :  ", job.path, 2, 64);
  ++m_nJobDepth;
  INT_PTR ended = dlg.DoModal();
  --m_nJobDepth;
  if (job.result == -3 || job.result == -7) {
    CString text;
    text.Format("Das Verzeichnis\n%s\nwurde nicht gefunden.", (const char*)job.path);
    MessageBox(text, "Fehler", MB_OK | MB_ICONERROR);
  } else if (ended == IDOK && m_wndFiles.m_DirList.GetSkippedCount() > 0) {
    // Without a word the list would look complete.
    MessageBox(SkippedEntriesText(m_wndFiles.m_DirList.GetSkippedCount()), "Warnung", MB_OK | MB_ICONWARNING);
  }
}

void CVellmorantView::OnInsertAllFiles() {
  m_nShownScanCount = -1;
  CString path = ExplorerPath();
  if (path.IsEmpty()) return;
  AddFiles(path, nullptr, nullptr, TRUE, 0, 0, 0);
  if (m_wndFiles.m_hWnd) m_wndFiles.SendMessage(LVM_REDRAWITEMS, 0, 0x0FFFFFFF);
}

void CVellmorantView::OnClearList() {
  if (!m_wndFiles.m_hWnd || m_wndFiles.IsReading()) return;
  CWaitCursor wait;
  m_wndFiles.m_DirList.Clear();
}

void CVellmorantView::OnRefreshBrowser() {
  if (m_wndBrowse.m_hWnd) m_wndBrowse.TriggerUpdate();
}

void CVellmorantView::OnAddFiles() {
  CAddFilesDlg dlg(this);
  dlg.m_strPath = ExplorerPath();
  if (dlg.m_strPath.GetLength() == 2 && dlg.m_strPath[1] == ':') dlg.m_strPath += "\\";
  if (dlg.DoModal() != IDOK) return;
  if (dlg.m_bClearList) OnClearList();
  AddFiles(dlg.m_strPath, dlg.m_strPlus, dlg.m_strMinus, dlg.m_bSubDirs, dlg.m_nWriteProtection, dlg.m_nTimeMode,
           dlg.m_nTimeMode ? dlg.m_nTime : 0);
  m_strCompareFolder.Empty();
}

void CVellmorantView::OnCacheSize() {
  CValueDlg dlg(this);
  dlg.SetTitle("Datei-Chache-Größe");
  dlg.SetPrompt("Bitte die Größe in MB angeben :");
  dlg.SetValue((int)(m_nCacheSize >> 20));
  if (dlg.DoModal() != IDOK) return;
  m_nCacheSize = ClampCacheSizeMB(dlg.GetValue()) << 20;
  ApplyWorkingSet();
}

void CVellmorantView::OnResultLimit() {
  CValueDlg dlg(this);
  dlg.SetTitle("Ergebnislimith");
  dlg.SetPrompt("Bitte das neue Linith eingeben :");
  dlg.SetValue(m_textSearch.m_nResultLimit);
  if (dlg.DoModal() != IDOK) return;
  int limit = ClampResultLimit(dlg.GetValue());
  m_textSearch.m_nResultLimit = limit;
  m_hexSearch.m_nResultLimit = limit;
}

void CVellmorantView::OnResultBeginDrag(NMHDR*, LRESULT* pResult) {
  *pResult = 0;
  if (m_bDragging) return;
  CString text;
  m_wndResults.GetSelectedText(text, 1);
  if (text.IsEmpty()) return;
  m_bDragging = TRUE;
  DoDragDropFiles(text, text.GetLength(), 0);
  m_bDragging = FALSE;
}

BOOL CVellmorantView::HasCommandHandler(UINT nID) {
  CFrameWnd* frame = GetParentFrame();
  FwCmdHandlerInfo info = {};
  CCmdTarget* route = frame ? static_cast<CCmdTarget*>(frame) : this;
  return route->OnCmdMsg(nID, CN_COMMAND, nullptr, &info);
}

void CVellmorantView::OnUpdateFileCommand(CCmdUI* pCmdUI) {
  // Enabled while the list holds files, and only for commands that have a handler.
  pCmdUI->Enable(GetFileCount() > 0 && HasCommandHandler(pCmdUI->m_nID));
}
