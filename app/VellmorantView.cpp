// The view core: panes, bars, focus, file-list commands, status panes and settings.
#include "app/VellmorantView.h"

#include "app/AddFilesDlg.h"
#include "app/FileCache.h"
#include "app/MainFrm.h"
#include "app/Resource.h"
#include "app/VellmorantDoc.h"
#include "system/Paths.h"
#include "system/RegKeys.h"

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
  return TRUE;
}

int CVellmorantView::OnCreate(LPCREATESTRUCTA lpcs) { return CView::OnCreate(lpcs); }

BOOL CVellmorantView::OnEraseBkgnd(CDC*) { return TRUE; }

void CVellmorantView::RecalcLayout() {
  CRect rc;
  GetClientRect(&rc);
  if (rc.Width() == 0 || rc.Height() == 0) return;
  ComputeViewLayout(m_layout, rc.Width(), rc.Height());
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
  HDC dc = pDC->GetSafeHdc();
  int bars[2] = {r.firstBarTop, r.secondBarTop};
  for (int bar : bars) {
    if (bar < 0) continue;
    RECT b = {0, bar, 10000, bar + kViewBarHeight};
    ::FillRect(dc, &b, ::GetSysColorBrush(COLOR_BTNFACE));
    ::DrawEdge(dc, &b, EDGE_RAISED, BF_RECT);
  }
}

void CVellmorantView::OnLButtonDown(UINT nFlags, CPoint point) { CView::OnLButtonDown(nFlags, point); }

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

CString CVellmorantView::ExplorerPath() { return CString(); }

void CVellmorantView::OnDestroy() {
  CString path = ExplorerPath();
  CRegKeys reg;
  if (reg.Open(nullptr, nullptr, 2)) reg.SetString(path, "Path");
  CView::OnDestroy();
}

void CVellmorantView::FocusPane(int) {}

void CVellmorantView::OnSetFocus(CWnd* pOldWnd) { CView::OnSetFocus(pOldWnd); }

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
  if (kind == 2 || kind == 3) SelectPath(path);
  if (doc) doc->SetTitle(path);
}

void CVellmorantView::SelectPath(const char*) {}

int CVellmorantView::GetFileCount() const { return 0; }

void CVellmorantView::AddFiles(const char*, const char*, const char*, BOOL, int, int, int64_t) {}

void CVellmorantView::OnInsertAllFiles() {}

void CVellmorantView::OnClearList() {}

void CVellmorantView::OnRefreshBrowser() {}

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

void CVellmorantView::OnCacheSize() {}

void CVellmorantView::OnResultLimit() {}

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
