// The explorer pane: a folder tree filled as it opens, and a file list of the shown folder
// read by a worker thread.
#include "toolkit/BrowseCtrl.h"
#include <shellapi.h>
#include <cstring>
#include "system/Paths.h"

namespace {
const UINT WM_BROWSE_READDONE = WM_APP + 0x3B1;  // wParam: the read's generation
const UINT IDC_TREE = 1, IDC_LIST = 2;
const char kPaneClass[] = "VmBrowsePane";

// A folder as the pane shows it: '\' separators, no trailing separator, a drive root "C:\".
CString NormalizeFolder(const char* path) {
  CString p(path);
  p.Replace('/', '\\');
  while (p.GetLength() > 1 && p[p.GetLength() - 1] == '\\' && !(p.GetLength() == 3 && p[1] == ':'))
    p = p.Left(p.GetLength() - 1);
  if (p.GetLength() == 2 && p[1] == ':') p += '\\';
  return p;
}

// The root a path starts with: "C:\" or "\\server\share" (or "\\server").
CString RootOf(const CString& path) {
  if (path.GetLength() >= 2 && path[1] == ':') return path.Left(2) + "\\";
  if (path.GetLength() >= 2 && path[0] == '\\' && path[1] == '\\') {
    int sep = path.Find('\\', 2);
    if (sep < 0) return path;
    int sep2 = path.Find('\\', sep + 1);
    return sep2 < 0 ? path : path.Left(sep2);
  }
  return CString();
}

CString Join(const CString& folder, const char* name) {
  CString p = folder;
  if (p.IsEmpty() || p[p.GetLength() - 1] != '\\') p += '\\';
  return p + name;
}

bool HasSubFolder(const CString& folder) {
  WIN32_FIND_DATAA fd;
  HANDLE h = ::FindFirstFileA(Join(folder, "*"), &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  do {
    found = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && strcmp(fd.cFileName, ".") && strcmp(fd.cFileName, "..");
  } while (!found && ::FindNextFileA(h, &fd));
  ::FindClose(h);
  return found;
}
}  // namespace

int BrowserNoOpCallback(CBrowseCtrl*, int, const char*, void*) { return 0; }

LRESULT CBrowseTree::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN && wParam == VK_TAB) {
    HWND target = m_hWndTabTarget ? m_hWndTabTarget : ::GetParent(m_hWnd);
    ::SetFocus(target);
    return 0;
  }
  if (message == WM_GETDLGCODE) return CTreeCtrl::WindowProc(message, wParam, lParam) | DLGC_WANTTAB;
  return CTreeCtrl::WindowProc(message, wParam, lParam);
}

// One read of a folder into the pane's list.
struct CBrowseCtrl::Reader {
  CBrowseCtrl* self;
  HWND hWnd;
  CString path;
  UINT generation;
  static DWORD WINAPI Run(LPVOID p) {
    Reader* r = static_cast<Reader*>(p);
    r->self->m_List.ReadPath(r->path, 0, nullptr, nullptr, 0, 0, 0, FLR_FOLDERS);
    ::PostMessageA(r->hWnd, WM_BROWSE_READDONE, r->generation, 0);
    delete r;
    return 0;
  }
};

IMPLEMENT_DYNAMIC(CBrowseCtrl, CWnd)

BEGIN_MESSAGE_MAP(CBrowseCtrl, CWnd)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_SETFOCUS()
  ON_WM_DROPFILES()
  ON_WM_PAINT()
  ON_WM_ERASEBKGND()
  ON_NOTIFY(TVN_ITEMEXPANDINGA, IDC_TREE, OnTreeItemExpanding)
  ON_NOTIFY(TVN_SELCHANGEDA, IDC_TREE, OnTreeSelChanged)
  ON_NOTIFY(TVN_DELETEITEMA, IDC_TREE, OnTreeDeleteItem)
  ON_NOTIFY(NM_SETFOCUS, IDC_TREE, OnTreeSetFocus)
  ON_NOTIFY(NM_RCLICK, IDC_TREE, OnListRClick)
  ON_NOTIFY(NM_SETFOCUS, IDC_LIST, OnListSetFocus)
  ON_NOTIFY(NM_RCLICK, IDC_LIST, OnListRClick)
  ON_NOTIFY(NM_DBLCLK, IDC_LIST, OnListActivate)
  ON_NOTIFY(NM_RETURN, IDC_LIST, OnListActivate)
  ON_NOTIFY(FLN_SUMMARY, IDC_LIST, OnListSummary)
  ON_MESSAGE(WM_BROWSE_READDONE, OnReadDone)
END_MESSAGE_MAP()

CBrowseCtrl::CBrowseCtrl()
    : m_pCallback(BrowserNoOpCallback), m_pContext(nullptr), m_hReader(nullptr), m_bSelecting(FALSE), m_bSideBySide(TRUE) {}

CBrowseCtrl::~CBrowseCtrl() {
  StopRead();
  // Destroyed while still a pane, so that the tree's items are freed by our handler.
  if (m_hWnd) DestroyWindow();
}

BOOL CBrowseCtrl::Create(DWORD dwExStyle, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID,
                         BrowseCallback callback, void* context) {
  m_pCallback = callback ? callback : BrowserNoOpCallback;
  m_pContext = context;
  LPCSTR cls = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(nullptr, IDC_ARROW), (HBRUSH)(COLOR_BTNFACE + 1));
  DWORD style = (dwStyle & 0xFFFF0000u) | WS_CHILD | WS_CLIPCHILDREN;
  return CWnd::CreateEx(dwExStyle, cls, nullptr, style, rect, pParentWnd, nID);
}

int CBrowseCtrl::OnCreate(LPCREATESTRUCTA lpcs) {
  if (Default() == -1) return -1;
  if (!m_Tree.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                         TVS_SHOWSELALWAYS,
                     CRect(0, 0, 0, 0), this, IDC_TREE))
    return -1;
  m_Tree.m_hWndTabTarget = ::GetParent(m_hWnd);
  m_Tree.SetFont(nullptr);
  m_Tree.SendMessage(WM_SETFONT, (WPARAM)::GetStockObject(DEFAULT_GUI_FONT), FALSE);
  m_List.SetOptions(FLO_NO_FOLDER_COLUMN | FLO_FOLDERS_FIRST);
  if (!m_List.Create(0, WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(0, 0, 0, 0), this, IDC_LIST)) return -1;
  ::DragAcceptFiles(m_hWnd, TRUE);
  FillDrives();
  return 0;
}

void CBrowseCtrl::FillDrives() {
  char drives[512];
  DWORD n = ::GetLogicalDriveStringsA(sizeof drives, drives);
  for (const char* d = drives; n && *d; d += strlen(d) + 1) FindOrAddRoot(NormalizeFolder(d));
}

const CString* CBrowseCtrl::ItemPath(HTREEITEM item) const {
  return item ? reinterpret_cast<const CString*>(m_Tree.GetItemData(item)) : nullptr;
}

HTREEITEM CBrowseCtrl::FindOrAddRoot(const CString& root) {
  for (HTREEITEM h = m_Tree.GetRootItem(); h; h = m_Tree.GetNextSiblingItem(h)) {
    const CString* p = ItemPath(h);
    if (p && p->CompareNoCase(root) == 0) return h;
  }
  CString label = root.GetLength() == 3 && root[1] == ':' ? root.Left(2) : root;
  return m_Tree.InsertItem(label, -1, -1, TVI_ROOT, TVI_LAST, (LPARAM) new CString(root), 1);
}

HTREEITEM CBrowseCtrl::FindChild(HTREEITEM parent, const char* name) {
  for (HTREEITEM h = m_Tree.GetChildItem(parent); h; h = m_Tree.GetNextSiblingItem(h))
    if (m_Tree.GetItemText(h).CompareNoCase(name) == 0) return h;
  return nullptr;
}

void CBrowseCtrl::FillChildren(HTREEITEM item) {
  const CString* folder = ItemPath(item);
  if (!folder || m_Tree.GetChildItem(item)) return;  // filled before
  WIN32_FIND_DATAA fd;
  HANDLE h = ::FindFirstFileA(Join(*folder, "*"), &fd);
  int added = 0;
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, ".."))
        continue;
      CString path = Join(*folder, fd.cFileName);
      m_Tree.InsertItem(fd.cFileName, -1, -1, item, TVI_SORT, (LPARAM) new CString(path), HasSubFolder(path) ? 1 : 0);
      ++added;
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
  }
  if (!added) m_Tree.SetItemChildren(item, 0);
}

void CBrowseCtrl::OnTreeItemExpanding(NMHDR* pNMHDR, LRESULT* pResult) {
  NMTREEVIEWA* tv = reinterpret_cast<NMTREEVIEWA*>(pNMHDR);
  if (tv->action == TVE_EXPAND) FillChildren(tv->itemNew.hItem);
  *pResult = 0;
}

void CBrowseCtrl::OnTreeSelChanged(NMHDR* pNMHDR, LRESULT* pResult) {
  NMTREEVIEWA* tv = reinterpret_cast<NMTREEVIEWA*>(pNMHDR);
  const CString* path = ItemPath(tv->itemNew.hItem);
  if (!m_bSelecting && path) ShowFolder(*path, TRUE);
  *pResult = 0;
}

void CBrowseCtrl::OnTreeDeleteItem(NMHDR* pNMHDR, LRESULT* pResult) {
  NMTREEVIEWA* tv = reinterpret_cast<NMTREEVIEWA*>(pNMHDR);
  delete reinterpret_cast<CString*>(tv->itemOld.lParam);
  *pResult = 0;
}

CString CBrowseCtrl::GetCurrentPath(int flags) const {
  if ((flags & 1) && !m_current.IsEmpty() && PathGetKindA(m_current) < 2) return CString();
  return m_current;
}

BOOL CBrowseCtrl::SelectPath(const char* path, int, int) {
  if (!path || !*path) return FALSE;
  CString p = NormalizeFolder(path);
  int kind = PathGetKindA(p);
  CString root = RootOf(p);
  // A server or share that the path test does not know is still taken as it is.
  bool server = p.GetLength() > 2 && p[0] == '\\' && p[1] == '\\';
  if (kind == 0 && !server) return FALSE;
  if (root.IsEmpty()) return FALSE;
  CString folder = p;
  m_selectName.Empty();
  if (kind == 1) {
    int sep = p.ReverseFind('\\');
    m_selectName = p.Mid(sep + 1);
    folder = NormalizeFolder(p.Left(sep + 1));
  }
  // Open the tree down to the folder, as far as its folders exist.
  m_bSelecting = TRUE;
  HTREEITEM item = FindOrAddRoot(RootOf(folder));
  CString rest = folder.Mid(RootOf(folder).GetLength());
  while (item && !rest.IsEmpty()) {
    if (rest[0] == '\\') rest = rest.Mid(1);
    if (rest.IsEmpty()) break;
    int sep = rest.Find('\\');
    CString name = sep >= 0 ? rest.Left(sep) : rest;
    rest = sep >= 0 ? rest.Mid(sep) : CString();
    FillChildren(item);
    m_Tree.Expand(item, TVE_EXPAND);
    HTREEITEM child = FindChild(item, name);
    if (!child) break;
    item = child;
  }
  if (item) {
    m_Tree.SelectItem(item);
    m_Tree.EnsureVisible(item);
  }
  m_bSelecting = FALSE;
  ShowFolder(folder, TRUE);
  return TRUE;
}

void CBrowseCtrl::ShowFolder(const CString& path, BOOL notify) {
  bool changed = m_current.CompareNoCase(path) != 0;
  m_current = path;
  StartRead();
  if (notify && changed) {
    NMBROWSEPATH nm = {};
    nm.hdr = {m_hWnd, (UINT_PTR)GetDlgCtrlID(), BCN_PATHCHANGED};
    nm.pszPath = m_current;
    ::SendMessageA(::GetParent(m_hWnd), WM_NOTIFY, nm.hdr.idFrom, (LPARAM)&nm);
  }
}

void CBrowseCtrl::StopRead() {
  if (!m_hReader) return;
  ::InterlockedExchange(&m_List.m_DirList.m_bStop, 1);
  // The reader may post to our windows; answer messages sent to this thread while waiting.
  for (;;) {
    DWORD r = ::MsgWaitForMultipleObjects(1, &m_hReader, FALSE, INFINITE, QS_SENDMESSAGE);
    if (r != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  ::CloseHandle(m_hReader);
  m_hReader = nullptr;
}

void CBrowseCtrl::StartRead() {
  static UINT s_generation = 0;
  StopRead();
  if (!m_List.m_hWnd) return;
  m_List.m_DirList.Clear();
  if (m_current.IsEmpty()) return;
  Reader* r = new Reader{this, m_hWnd, m_current, ++s_generation};
  m_hReader = ::CreateThread(nullptr, 0, Reader::Run, r, 0, nullptr);
  if (!m_hReader) delete r;
}

void CBrowseCtrl::TriggerUpdate() {
  // The shown folder's tree item gets its folders anew; the list is read again.
  HTREEITEM sel = m_Tree.GetSelectedItem();
  const CString* path = ItemPath(sel);
  if (sel && path && path->CompareNoCase(m_current) == 0) {
    BOOL expanded = (m_Tree.SendMessage(TVM_GETITEMSTATE, (WPARAM)sel, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    m_bSelecting = TRUE;
    for (HTREEITEM c = m_Tree.GetChildItem(sel); c; c = m_Tree.GetChildItem(sel)) m_Tree.DeleteItem(c);
    m_Tree.SetItemChildren(sel, 1);
    if (expanded) {
      FillChildren(sel);
      m_Tree.Expand(sel, TVE_EXPAND);
    }
    m_bSelecting = FALSE;
  }
  StartRead();
}

LRESULT CBrowseCtrl::OnReadDone(WPARAM, LPARAM) {
  if (m_hReader && ::WaitForSingleObject(m_hReader, 0) == WAIT_OBJECT_0) {
    ::CloseHandle(m_hReader);
    m_hReader = nullptr;
  }
  if (m_hReader) return 0;  // a newer read is under way
  m_List.SetSort(m_List.m_nSortKey, 0);
  if (!m_selectName.IsEmpty()) {
    for (int i = 0; i < m_List.m_DirList.m_nCount; ++i) {
      DirEntry* e = m_List.m_DirList.GetEntry(i);
      if (e && lstrcmpiA(e->Name(), m_selectName) == 0) {
        m_List.SendMessage(FLM_FOCUSITEM, i, 1);
        break;
      }
    }
    m_selectName.Empty();
  }
  return 0;
}

void CBrowseCtrl::FocusPane(int tree) {
  if (tree)
    m_Tree.SetFocus();
  else
    m_List.SetFocus();
}

void CBrowseCtrl::OnSetFocus(CWnd* pOldWnd) {
  HWND old = pOldWnd ? pOldWnd->m_hWnd : nullptr;
  // A part handing the focus back (Tab) passes it on to our parent, which chooses the next pane.
  if (old && (old == m_Tree.m_hWnd || old == m_List.m_hWnd)) {
    ::SetFocus(::GetParent(m_hWnd));
    return;
  }
  m_Tree.SetFocus();
}

void CBrowseCtrl::SendFocus(int part) {
  NMBROWSEFOCUS nm = {};
  nm.hdr = {m_hWnd, (UINT_PTR)GetDlgCtrlID(), (UINT)NM_SETFOCUS};
  nm.nPart = part;
  ::SendMessageA(::GetParent(m_hWnd), WM_NOTIFY, nm.hdr.idFrom, (LPARAM)&nm);
}

void CBrowseCtrl::OnTreeSetFocus(NMHDR*, LRESULT* pResult) {
  SendFocus(0);
  *pResult = 0;
}

void CBrowseCtrl::OnListSetFocus(NMHDR*, LRESULT* pResult) {
  SendFocus(1);
  *pResult = 0;
}

void CBrowseCtrl::OnListRClick(NMHDR* pNMHDR, LRESULT* pResult) {
  *pResult = 0;
  POINT pt;
  ::GetCursorPos(&pt);
  INT_PTR item = 0;
  int hit = HitTest(pt, &item, nullptr);
  char path[MAX_PATH];
  if (pNMHDR->idFrom == IDC_LIST && hit != BHT_LIST) {
    // From the keyboard: the focused entry.
    item = m_List.SendMessage(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
    hit = item >= 0 ? BHT_LIST : BHT_NONE;
  }
  if (hit == BHT_NONE || GetItemText(hit, item, path, sizeof path, 0) <= 0) return;
  NMBROWSEPATH nm = {};
  nm.hdr = {m_hWnd, (UINT_PTR)GetDlgCtrlID(), BCN_CONTEXTMENU};
  nm.pszPath = path;
  nm.ptScreen = pt;
  ::SendMessageA(::GetParent(m_hWnd), WM_NOTIFY, nm.hdr.idFrom, (LPARAM)&nm);
}

void CBrowseCtrl::OnListActivate(NMHDR*, LRESULT* pResult) {
  *pResult = 0;
  int index = (int)m_List.SendMessage(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
  DirEntry* e = index >= 0 && index < m_List.m_DirList.m_nCount ? m_List.m_DirList.GetEntry(index) : nullptr;
  if (!e) return;
  CString path = e->FullPath();
  if (e->IsFolder()) {
    SelectPath(path);
    return;
  }
  if (!m_pCallback(this, BCB_OPENFILE, path, m_pContext))
    ::ShellExecuteA(m_hWnd, "open", path, nullptr, m_current, SW_SHOWNORMAL);
}

void CBrowseCtrl::OnListSummary(NMHDR* pNMHDR, LRESULT* pResult) {
  const NMFILELISTSUMMARY* s = reinterpret_cast<const NMFILELISTSUMMARY*>(pNMHDR);
  char files[48];
  wsprintfA(files, "%i Datei%s", s->nCount, s->nCount == 1 ? "" : "en");
  NMBROWSESUMMARY nm = {};
  nm.hdr = {m_hWnd, (UINT_PTR)GetDlgCtrlID(), BCN_SUMMARY};
  nm.pszText1 = files;
  nm.pszText2 = s->szText;
  ::SendMessageA(::GetParent(m_hWnd), WM_NOTIFY, nm.hdr.idFrom, (LPARAM)&nm);
  *pResult = 0;
}

void CBrowseCtrl::OnDropFiles(HDROP hDrop) {
  // Shift moves, Ctrl+Shift or Alt links, anything else copies.
  bool shift = ::GetKeyState(VK_SHIFT) < 0, ctrl = ::GetKeyState(VK_CONTROL) < 0, alt = ::GetKeyState(VK_MENU) < 0;
  NMBROWSEDROP nm = {};
  nm.hdr = {m_hWnd, (UINT_PTR)GetDlgCtrlID(), BCN_DROPFILES};
  nm.nAction = (alt || (ctrl && shift)) ? 3 : shift ? 1 : 2;
  nm.hDrop = hDrop;
  nm.nFiles = (int)::DragQueryFileA(hDrop, 0xFFFFFFFF, nullptr, 0);
  nm.pszTarget = m_current;
  ::SendMessageA(::GetParent(m_hWnd), WM_NOTIFY, nm.hdr.idFrom, (LPARAM)&nm);
  ::DragFinish(hDrop);
}

void CBrowseCtrl::Layout(int cx, int cy) {
  if (!m_Tree.m_hWnd || !m_List.m_hWnd) return;
  if (m_bSideBySide) {
    int tw = cx * 35 / 100;
    if (tw < 100 && cx > 200) tw = 100;
    m_Tree.MoveWindow(0, 0, tw, cy);
    m_List.MoveWindow(tw, 0, cx - tw, cy);
  } else {
    int th = cy * 40 / 100;
    m_Tree.MoveWindow(0, 0, cx, th);
    m_List.MoveWindow(0, th, cx, cy - th);
  }
}

void CBrowseCtrl::OnSize(UINT, int cx, int cy) { Layout(cx, cy); }

void CBrowseCtrl::OnPaint() {
  // The parts cover the pane.
  PAINTSTRUCT ps;
  ::BeginPaint(m_hWnd, &ps);
  ::EndPaint(m_hWnd, &ps);
}

BOOL CBrowseCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

int CBrowseCtrl::HitTest(POINT ptScreen, INT_PTR* pItem, int* pColumn) {
  if (pItem) *pItem = 0;
  if (pColumn) *pColumn = 0;
  POINT p = ptScreen;
  ::ScreenToClient(m_Tree.m_hWnd, &p);
  RECT rc;
  ::GetClientRect(m_Tree.m_hWnd, &rc);
  if (::PtInRect(&rc, p)) {
    UINT flags = 0;
    HTREEITEM h = m_Tree.HitTest(p, &flags);
    if (h && (flags & TVHT_ONITEM)) {
      if (pItem) *pItem = (INT_PTR)h;
      if (pColumn) *pColumn = 1;
      return BHT_TREE;
    }
    return BHT_NONE;
  }
  p = ptScreen;
  ::ScreenToClient(m_List.m_hWnd, &p);
  ::GetClientRect(m_List.m_hWnd, &rc);
  if (!::PtInRect(&rc, p)) return BHT_NONE;
  LVHITTESTINFO hti = {};
  hti.pt = p;
  int i = (int)m_List.SendMessage(LVM_SUBITEMHITTEST, 0, (LPARAM)&hti);
  if (i < 0 || hti.iItem < 0 || hti.iItem >= m_List.m_DirList.m_nCount) return BHT_NONE;
  if (pItem) *pItem = hti.iItem;
  if (pColumn) *pColumn = hti.iSubItem + 1;
  return BHT_LIST;
}

int CBrowseCtrl::GetItemText(int hit, INT_PTR item, char* buffer, int size, int column) {
  if (size <= 0) return -1;
  buffer[0] = 0;
  CString text;
  if (hit == BHT_TREE) {
    const CString* path = ItemPath((HTREEITEM)item);
    if (!path) return -1;
    text = column == 0 ? *path : m_Tree.GetItemText((HTREEITEM)item);
  } else if (hit == BHT_LIST) {
    int index = (int)item;
    if (index < 0 || index >= m_List.m_DirList.m_nCount) return -1;
    if (column == 0) {
      const char* p = m_List.m_DirList.GetPath(index);
      if (!p) return -1;
      text = p;
    } else {
      // The list view asks the list for the cell like it does for drawing.
      char cell[MAX_PATH + 64] = "";
      LVITEMA it = {};
      it.iSubItem = column - 1;
      it.pszText = cell;
      it.cchTextMax = sizeof cell;
      m_List.SendMessage(LVM_GETITEMTEXTA, index, (LPARAM)&it);
      text = cell;
    }
  } else {
    return -1;
  }
  lstrcpynA(buffer, text, size);
  return (int)strlen(buffer);
}
