// The path combo box.
#include "toolkit/PathComboBox.h"
#include <shlobj.h>
#include <algorithm>
#include <cstring>
#include "system/DirList.h"
#include "system/Draw.h"
#include "system/Paths.h"
#include "system/StrList.h"
#include "toolkit/ControlHelpers.h"
#include "toolkit/WndHelpers.h"

namespace {

const int kEditId = 1001;
const UINT_PTR kHoverTimer = 13338, kEditTimer = 13339;
const int kMaxEntryWidth = 280, kMaxListHeight = 450;
const DWORD kNoRequest = 0xFFFFFFFF;
const DWORD kStopRequest = 0xFFFFFFFF;

// Item data of a folder-list entry.
struct PathFolderItem {
  int nIcon;
  WORD wWidth;  // text width, at most kMaxEntryWidth
  WORD wFlags;  // 1: attribute bit 0x8000
};

// Fonts, icon sizes and the item height, made once per process.
struct Resources {
  HFONT hTitle = nullptr;
  HFONT hMarlett = nullptr;
  int cxIcon = 16, cyIcon = 16;
  int nItemHeight = 18;
};

const Resources& Res() {
  static const Resources s_res = [] {
    Resources r;
    LOGFONTA lf = {};
    if (!::SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0))
      ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    r.hTitle = ::CreateFontIndirectA(&lf);
    LOGFONTA mf = lf;
    mf.lfWeight = FW_NORMAL;
    mf.lfItalic = FALSE;
    mf.lfCharSet = SYMBOL_CHARSET;
    lstrcpynA(mf.lfFaceName, "Marlett", LF_FACESIZE);
    r.hMarlett = ::CreateFontIndirectA(&mf);
    HIMAGELIST images = GetSysImageList(TRUE);
    if (!images || !::ImageList_GetIconSize(images, &r.cxIcon, &r.cyIcon)) {
      r.cxIcon = ::GetSystemMetrics(SM_CXSMICON);
      r.cyIcon = ::GetSystemMetrics(SM_CYSMICON);
    }
    r.nItemHeight = std::max<int>(std::abs((int)lf.lfHeight), r.cyIcon) + 2;
    return r;
  }();
  return s_res;
}

// One lock for every path combo of the process: the worker and the window share the folder
// lists, the path and its serial under it.
CCriticalSection& SharedLock() {
  static CCriticalSection s_lock;
  return s_lock;
}

int TextWidth(HDC hdc, const char* text, int length) {
  SIZE sz = {};
  ::GetTextExtentPoint32A(hdc, text, length, &sz);
  return sz.cx;
}

int ShellIcon(const char* path) {
  int icon = -1;
  if (path[0] && path[1] == ':' && !path[2]) icon = GetDriveIconIndex(path[0], TRUE);
  if (icon < 0) icon = GetFileIconIndex(path, 0);
  return icon < 0 ? GetPlainFileIconIndex(TRUE) : icon;
}

// Fills list with the present drives (hdc measures in the title font); *pMask gets their mask.
// Shell look-ups: call without the shared lock.
void ReadDrives(CStrList& list, HDC hdc, DWORD* pMask) {
  DWORD mask = ::GetLogicalDrives();
  for (int d = 0; d < 26; ++d) {
    if (!(mask & (1u << d))) continue;
    char name[3] = {char('A' + d), ':', 0};
    PathFolderItem item = {GetDriveIconIndex(name[0], TRUE), 0, 0};
    if (item.nIcon < 0) item.nIcon = GetPlainFileIconIndex(TRUE);
    item.wWidth = (WORD)std::min(TextWidth(hdc, name, 2), kMaxEntryWidth);
    list.Insert(name, -1, &item);
  }
  *pMask = mask;
}

// Fills list with the sub-folders of folder, sorted without case. Stops early when *pAlive
// drops to 0.
void ReadFolders(CStrList& list, HDC hdc, const CString& folder, BOOL bHidden, volatile LONG* pAlive) {
  CDirList dir;
  CString pattern = folder;
  PathAddTrailingSeparatorStr(pattern);
  pattern += '*';
  if (dir.Read(pattern, CDirList::DL_FOLDERS | CDirList::DL_NO_FILES | (bHidden ? 0 : CDirList::DL_NO_HIDDEN)) <= 0)
    return;
  dir.Sort(CDirList::SORT_NAME);
  for (int i = 0; i < dir.m_nCount && *pAlive; ++i) {
    const DirEntry* e = dir.GetEntry(i);
    // By attributes: the shell need not open thousands of folders.
    SHFILEINFOA sfi = {};
    int icon = ::SHGetFileInfoA(e->FullPath(), FILE_ATTRIBUTE_DIRECTORY, &sfi, sizeof sfi,
                                SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES)
                   ? sfi.iIcon
                   : -1;
    PathFolderItem item = {icon, 0, WORD((e->dwFileAttributes & 0x8000) ? 1 : 0)};
    if (item.nIcon < 0) item.nIcon = GetPlainFileIconIndex(TRUE);
    item.wWidth = (WORD)std::min(TextWidth(hdc, e->Name(), (int)strlen(e->Name())), kMaxEntryWidth);
    list.Insert(e->Name(), -1, &item);
  }
}

// An arrow pointing right or down, centred in rect, in the DC's text colour.
void DrawArrow(HDC hdc, const RECT& rect, bool down) {
  const Resources& res = Res();
  if (HasMarlettFont()) {
    RECT r = rect;
    HGDIOBJ old = ::SelectObject(hdc, res.hMarlett);
    ::DrawTextA(hdc, down ? "6" : "4", 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
    ::SelectObject(hdc, old);
    return;
  }
  // Without the font: drawn, at the size of a 16-pixel glyph.
  const int cx = (rect.left + rect.right) / 2, cy = (rect.top + rect.bottom) / 2;
  const RECT box = {cx - 8, cy - 8, cx + 8, cy + 8};
  DrawGlyphShape(hdc, &box, down ? MARLETT_ARROW_DOWN : MARLETT_ARROW_RIGHT);
}

bool IsBareDrive(const char* p) {
  return ((p[0] | 0x20) >= 'a' && (p[0] | 0x20) <= 'z') && p[1] == ':' && !p[2];
}

}  // namespace

// The record that the control and its worker share; it lives until both have let it go.
struct CPathComboBox::Shared {
  volatile LONG nRefs = 2;
  volatile LONG bAlive = 1;   // 0 once the control is gone
  int nState = 1;             // 1 running, 2 stopping
  DWORD dwRequest = 0;        // the pending request, 0 none
  HANDLE hSemaphore = nullptr;
  HWND hWnd = nullptr;
  CPathComboBox* pOwner = nullptr;  // null once the control is gone
  BOOL bHidden = FALSE;             // list hidden folders

  void Release() {
    if (::InterlockedDecrement(&nRefs) == 0) {
      if (hSemaphore) ::CloseHandle(hSemaphore);
      delete this;
    }
  }

  static DWORD WINAPI Run(void* p);
};

DWORD WINAPI CPathComboBox::Shared::Run(void* p) {
  Shared* s = static_cast<Shared*>(p);
  HDC hdc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ oldFont = ::SelectObject(hdc, Res().hTitle);
  ::PostMessageA(s->hWnd, WM_PATHCOMBO_WORKER, 1, 0);
  for (;;) {
    ::WaitForSingleObject(s->hSemaphore, 1000);
    DWORD req;
    int n = 0;
    BOOL filled = FALSE, hidden = FALSE;
    CString folder;
    DWORD drives = 0;
    HWND hWnd;
    {
      CCritSecLock lock(SharedLock());
      CPathComboBox* owner = s->pOwner;
      req = owner ? s->dwRequest : kStopRequest;
      s->dwRequest = 0;
      hWnd = s->hWnd;
      if (req == kStopRequest) {
        s->nState = 2;
        break;
      }
      if (!req) continue;
      n = int(req >> 24) - 1;
      // Requests for an outdated path are dropped.
      if ((req & 0xFFFFFF) != (owner->m_dwSerial & 0xFFFFFF) || n < 0 || n > owner->m_nCount) continue;
      filled = owner->m_seg[n].dwRequest == req;
      if (n > 0) folder = owner->FolderOfList(n);
      drives = owner->m_dwDrives;
      hidden = s->bHidden;
    }
    // Reading and the shell's icon look-ups run without the lock.
    CStrList* fresh = nullptr;
    if (filled && n == 0 && ::GetLogicalDrives() != drives) filled = FALSE;
    if (!filled) {
      fresh = new CStrList(sizeof(PathFolderItem));
      if (n == 0)
        ReadDrives(*fresh, hdc, &drives);
      else
        ReadFolders(*fresh, hdc, folder, hidden, &s->bAlive);
      CCritSecLock lock(SharedLock());
      CPathComboBox* owner = s->pOwner;
      if (owner && (req & 0xFFFFFF) == (owner->m_dwSerial & 0xFFFFFF) && n <= owner->m_nCount) {
        std::swap(owner->m_seg[n].pList, fresh);
        owner->m_seg[n].dwRequest = req;
        if (n == 0) owner->m_dwDrives = drives;
      }
    }
    delete fresh;
    if (s->bAlive) ::PostMessageA(hWnd, WM_PATHCOMBO_WORKER, 3, (LPARAM)req);
  }
  ::SelectObject(hdc, oldFont);
  ::DeleteDC(hdc);
  s->Release();
  return 0;
}

int GetPathComboItemHeight() { return Res().nItemHeight; }

IMPLEMENT_DYNAMIC(CPathComboBox, CComboBox)

CPathComboBox::CPathComboBox() {
  for (Segment& seg : m_seg) {
    seg.pList = new CStrList(sizeof(PathFolderItem));
    seg.dwRequest = kNoRequest;
  }
}

CPathComboBox::~CPathComboBox() {
  if (m_hWnd) DestroyWindow();
  StopWorker();
  for (Segment& seg : m_seg) delete seg.pList;
}

// ----- creation ------------------------------------------------------------------------------

BOOL CPathComboBox::Create(DWORD nFlags, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  m_dwOptions = nFlags & 0x35F;
  DWORD style = (nFlags & ~0x0Du) | 0x252 | WS_CHILD;
  if (!CWnd::CreateEx(WS_EX_ACCEPTFILES, "COMBOBOX", nullptr, style, rect, pParentWnd, nID)) return FALSE;
  if (!SetUp()) {
    DestroyWindow();
    return FALSE;
  }
  return TRUE;
}

BOOL CPathComboBox::CreateInPlace(DWORD nFlags, CWnd* pDialog, UINT nIDReplace) {
  HWND hOld = ::GetDlgItem(pDialog->m_hWnd, nIDReplace);
  if (!hOld) return FALSE;
  RECT rc;
  ::GetWindowRect(hOld, &rc);
  ::MapWindowPoints(nullptr, pDialog->m_hWnd, (LPPOINT)&rc, 2);
  rc.bottom = rc.top + 300;
  ::SetWindowLongPtrA(hOld, GWLP_ID, 0xFFFF);
  if (!Create(nFlags | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL, rc, pDialog, nIDReplace)) {
    ::SetWindowLongPtrA(hOld, GWLP_ID, nIDReplace);
    return FALSE;
  }
  ::SetWindowPos(m_hWnd, hOld, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::DestroyWindow(hOld);
  return TRUE;
}

BOOL CPathComboBox::SubclassCombo(HWND hCombo, DWORD nFlags) {
  m_dwOptions = nFlags & 0x35F;
  if (!SubclassWindow(hCombo)) return FALSE;
  if (!SetUp()) {
    UnsubclassWindow();
    return FALSE;
  }
  return TRUE;
}

BOOL CPathComboBox::SetUp() {
  const Resources& res = Res();
  // The object may be attached again to a new window (a dialog opened once more).
  m_strPath.Empty();
  m_nCount = 0;
  m_start[0] = 0;
  m_nHot = m_nFocus = m_nPressed = m_nOpenList = m_nMenuElement = -1;
  m_layout = PathRowLayout{0, 0, 0};
  m_history.clear();
  m_nHistory = -1;
  m_dwDrives = 0;
  m_nIcon = -1;
  m_bIconDown = m_bDragging = m_bTracking = FALSE;
  for (Segment& seg : m_seg) {
    seg.pList->RemoveAll();
    seg.dwRequest = kNoRequest;
  }
  m_hList = ::CreateWindowExA(0, WC_LISTVIEWA, "",
                              WS_POPUP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHAREIMAGELISTS |
                                  LVS_OWNERDATA | LVS_NOCOLUMNHEADER,
                              0, 0, 100, 100, m_hWnd, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  if (m_hList) {
    COLORREF menu = ::GetSysColor(COLOR_MENU);
    ::SendMessageA(m_hList, LVM_SETBKCOLOR, 0, menu);
    ::SendMessageA(m_hList, LVM_SETTEXTBKCOLOR, 0, menu);
    ::SendMessageA(m_hList, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)GetSysImageList(TRUE));
    LVCOLUMNA col = {};
    col.mask = LVCF_WIDTH;
    col.cx = 250;
    ::SendMessageA(m_hList, LVM_INSERTCOLUMNA, 0, (LPARAM)&col);
    ::SendMessageA(m_hList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_TRACKSELECT);
    ::SendMessageA(m_hList, LVM_SETHOVERTIME, 0, 30);
    ::SendMessageA(m_hList, WM_SETFONT, (WPARAM)res.hTitle, FALSE);
    ::SetWindowLongPtrA(m_hList, GWLP_USERDATA, (LONG_PTR)this);
    m_pfnListProc = (WNDPROC)::SetWindowLongPtrA(m_hList, GWLP_WNDPROC, (LONG_PTR)&ListThunk);
  }
  m_hTheme = OpenTheme(m_hWnd, L"Header");
  SendMessage(WM_SETFONT, (WPARAM)res.hTitle, FALSE);
  m_hEdit = ::GetWindow(m_hWnd, GW_CHILD);
  if (m_hEdit) {
    ::SetWindowLongPtrA(m_hEdit, GWLP_USERDATA, (LONG_PTR)this);
    m_pfnEdit = (WNDPROC)::SetWindowLongPtrA(m_hEdit, GWLP_WNDPROC, (LONG_PTR)&EditThunk);
  }
  CString text;
  GetWindowText(text);
  Shared* s = new Shared;
  s->hSemaphore = ::CreateSemaphoreA(nullptr, 0, 0x7FFFFFFF, nullptr);
  s->hWnd = m_hWnd;
  s->pOwner = this;
  HANDLE hThread = s->hSemaphore ? ::CreateThread(nullptr, 0x10000, &Shared::Run, s, 0, nullptr) : nullptr;
  if (!hThread) {
    s->nRefs = 1;
    s->Release();
    if (m_hList) ::DestroyWindow(m_hList);
    m_hList = nullptr;
    return FALSE;
  }
  ::CloseHandle(hThread);
  m_pShared = s;
  m_bSetUp = TRUE;
  m_bSegments = !(m_dwOptions & PCO_EDITONLY);
  m_bEditMode = !m_bSegments;
  if (m_hEdit) ::ShowWindow(m_hEdit, m_bSegments ? SW_HIDE : SW_SHOW);
  ::DragAcceptFiles(m_hWnd, (m_dwOptions & PCO_DROPFILES) != 0);
  RECT rc;
  GetClientRect(&rc);
  m_cx = rc.right;
  m_cy = rc.bottom;
  COMBOBOXINFO cbi = {sizeof cbi};
  m_cxButton = ::GetSystemMetrics(SM_CXHSCROLL);
  if (::GetComboBoxInfo(m_hWnd, &cbi)) m_cxButton = std::max<int>(m_cxButton, cbi.rcButton.right - cbi.rcButton.left);
  PlaceEdit();
  if (!text.IsEmpty()) SetPath(text);
  return TRUE;
}

void CPathComboBox::StopWorker() {
  if (!m_pShared) return;
  {
    CCritSecLock lock(SharedLock());
    m_pShared->pOwner = nullptr;
    m_pShared->bAlive = 0;
    m_pShared->nState = 2;
    m_pShared->dwRequest = kStopRequest;
    ::ReleaseSemaphore(m_pShared->hSemaphore, 1, nullptr);
  }
  m_pShared->Release();
  m_pShared = nullptr;
}

HWND CPathComboBox::UnsubclassCombo() {
  StopWorker();
  if (m_hList) ::DestroyWindow(m_hList);
  m_hList = nullptr;
  if (m_hEdit && m_pfnEdit) ::SetWindowLongPtrA(m_hEdit, GWLP_WNDPROC, (LONG_PTR)m_pfnEdit);
  m_pfnEdit = nullptr;
  CloseTheme(m_hTheme);
  m_hTheme = nullptr;
  m_bSetUp = FALSE;
  return UnsubclassWindow();
}

// ----- the path ------------------------------------------------------------------------------

int CPathComboBox::SetPath(LPCSTR lpszPath) { return SetPathEx(lpszPath, 0); }

CString CPathComboBox::GetSegmentText(int n) const {
  if (n < 0 || n >= m_nCount) return CString();
  return m_strPath.Mid(m_start[n], m_len[n]);
}

CString CPathComboBox::FolderOfList(int n) const {
  if (n <= 0 || n > m_nCount) return CString();
  return m_strPath.Left(m_start[n - 1] + m_len[n - 1]);
}

DWORD CPathComboBox::RequestWord(int n) const { return DWORD(n + 1) << 24 | (m_dwSerial & 0xFFFFFF); }

BOOL CPathComboBox::IsListFilled(int n) const {
  CCritSecLock lock(SharedLock());
  return n >= 0 && n <= m_nCount && m_seg[n].dwRequest == RequestWord(n);
}

BOOL CPathComboBox::GetFolderList(int n, CStrList* pOut) {
  CCritSecLock lock(SharedLock());
  if (n < 0 || n > m_nCount || m_seg[n].dwRequest != RequestWord(n)) return FALSE;
  pOut->RemoveAll();
  pOut->ItemDataSize(sizeof(PathFolderItem));
  const CStrList* list = m_seg[n].pList;
  for (int i = 0; i < list->m_nCount; ++i) pOut->Insert(list->GetString(i), -1, list->GetItemData(i));
  return TRUE;
}

void CPathComboBox::Split() {
  m_nCount = 0;
  int len = m_strPath.GetLength();
  const char* p = m_strPath;
  int i = 0;
  if (len >= 2 && p[0] == '\\' && p[1] == '\\') i = 2;  // "\\server" stays one segment
  int begin = 0;
  while (begin < len && m_nCount < MaxSegments) {
    int end = i;
    while (end < len && p[end] != '\\') ++end;
    if (end > begin) {
      m_start[m_nCount] = begin;
      m_len[m_nCount] = end - begin;
      ++m_nCount;
    }
    begin = i = end + 1;
  }
  m_start[m_nCount] = len;
}

int CPathComboBox::SetPathEx(LPCSTR lpszText, int nHow) {
  if (!lpszText || !*lpszText) return 0;
  int length = (int)strlen(lpszText);
  if (length >= (nHow == 0 ? (int)MaxPlainPath : MAX_PATH)) return 0;
  CString path;
  if (IsBareDrive(lpszText)) {
    path = lpszText;
  } else {
    char full[MAX_PATH];
    DWORD n = ::GetFullPathNameA(lpszText, MAX_PATH, full, nullptr);
    if (!n || n >= MAX_PATH) return 0;
    path = full;
  }
  path.Replace('/', '\\');
  while (path.GetLength() > 2 && path[path.GetLength() - 1] == '\\') path = path.Left(path.GetLength() - 1);
  if (PathCompareA(m_strPath, path) == 0) return 1;
  BOOL unc = path.GetLength() > 2 && path[0] == '\\' && path[1] == '\\';
  if (unc && (m_dwOptions & PCO_NOUNC)) return 0;

  // The kind of the path: the file system may take its time.
  HCURSOR hOld = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
  int kind;
  if (nHow == 1) {
    kind = PCK_OTHER;
  } else if (IsBareDrive(path)) {
    kind = PathGetKindA(path) == 3 ? PCK_DRIVE : PCK_MISSING;
  } else {
    CString probe = path;
    if (unc) {
      char resolved[MAX_PATH];
      if (ResolveNetworkPath(path, resolved, MAX_PATH) && PathCompareA(path, resolved) != 0) probe = resolved;
    }
    DWORD attr = ::GetFileAttributesA(probe);
    kind = attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) ? PCK_FOLDER : PCK_MISSING;
    if (unc && probe == path && kind == PCK_FOLDER) kind = PCK_OTHER;
  }
  ::SetCursor(hOld);
  if (kind == PCK_MISSING && (m_dwOptions & PCO_MUSTEXIST)) return 0;

  std::vector<CString> oldFolders;
  for (int n = 1; n <= m_nCount; ++n) oldFolders.push_back(FolderOfList(n));
  {
    CCritSecLock lock(SharedLock());
    m_strPath = path;
    Split();
    ++m_dwSerial;
    // Lists of the segments that the old path shares keep their folders.
    for (int n = 0; n <= MaxSegments; ++n) {
      Segment& seg = m_seg[n];
      BOOL keep = n == 0 ? seg.dwRequest != kNoRequest
                         : n <= m_nCount && n <= (int)oldFolders.size() && seg.dwRequest != kNoRequest &&
                               PathCompareA(FolderOfList(n), oldFolders[n - 1]) == 0;
      if (keep) {
        seg.dwRequest = RequestWord(n);
      } else if (n > 0) {
        seg.pList->RemoveAll();
        seg.dwRequest = kNoRequest;
      }
    }
  }
  m_nKind = kind;
  m_nFocus = m_nHot = m_nPressed = -1;
  CloseList();
  UpdatePathIcon();

  // The row's elements: the arrow in front of each segment, the segment, the last arrow.
  const int button = std::max(m_cxButton, ::GetSystemMetrics(SM_CXHSCROLL));
  HDC hdc = ::GetDC(nullptr);
  HGDIOBJ oldFont = ::SelectObject(hdc, Res().hTitle);
  int x = 0;
  for (int k = 0; k < m_nCount; ++k) {
    m_edges[2 * k] = x;
    x += button;
    m_edges[2 * k + 1] = x;
    x += TextWidth(hdc, (LPCSTR)m_strPath + m_start[k], m_len[k]) + 8;
  }
  m_edges[2 * m_nCount] = x;
  m_edges[2 * m_nCount + 1] = x + button;
  ::SelectObject(hdc, oldFont);
  ::ReleaseDC(nullptr, hdc);

  RequestList(m_nCount);
  SetWindowPath();
  Relayout(FALSE);
  Invalidate();

  // A changed set of drives rebuilds the drive list.
  if (m_seg[0].dwRequest != kNoRequest && ::GetLogicalDrives() != m_dwDrives) {
    CStrList* fresh = new CStrList(sizeof(PathFolderItem));
    DWORD mask = 0;
    HDC hdcDrives = ::CreateCompatibleDC(nullptr);
    HGDIOBJ f = ::SelectObject(hdcDrives, Res().hTitle);
    ReadDrives(*fresh, hdcDrives, &mask);
    ::SelectObject(hdcDrives, f);
    ::DeleteDC(hdcDrives);
    {
      CCritSecLock lock(SharedLock());
      std::swap(m_seg[0].pList, fresh);
      m_seg[0].dwRequest = RequestWord(0);
      m_dwDrives = mask;
    }
    delete fresh;
  }

  if (m_dwOptions & PCO_HISTORY) {
    if (m_nHistory < 0 || m_history[m_nHistory].CompareNoCase(m_strPath) != 0) {
      m_history.resize(m_nHistory + 1);
      m_history.push_back(m_strPath);
      if ((int)m_history.size() > MaxHistory) m_history.erase(m_history.begin(), m_history.end() - MaxHistory);
      m_nHistory = (int)m_history.size() - 1;
    }
  }
  Notify(PCN_PATHCHANGED, 0, 1);
  return 1;
}

int CPathComboBox::StepHistory(BOOL bForward) {
  int next = m_nHistory + (bForward ? 1 : -1);
  if (m_nHistory < 0 || next < 0 || next >= (int)m_history.size()) return 0;
  m_nHistory = next;
  return SetPathEx(m_history[next], 0);
}

void CPathComboBox::UpdatePathIcon() {
  m_nIcon = m_strPath.IsEmpty() ? GetPlainFileIconIndex(TRUE) : ShellIcon(m_strPath);
}

void CPathComboBox::SetWindowPath() {
  ++m_nSettingText;
  CWnd::DefWindowProc(WM_SETTEXT, 0, (LPARAM)(LPCSTR)m_strPath);  // the edit field too
  --m_nSettingText;
  m_bEditChanged = FALSE;
}

LRESULT CPathComboBox::Notify(UINT code, int value1, int value2) {
  HWND hParent = ::GetParent(m_hWnd);
  if (!hParent) return 0;
  NMPATHCOMBO nm = {};
  nm.hdr.hwndFrom = m_hWnd;
  nm.hdr.idFrom = (UINT_PTR)::GetDlgCtrlID(m_hWnd);
  nm.hdr.code = code;
  nm.nValue1 = value1;
  nm.nValue2 = value2;
  nm.pszPath = m_strPath;
  return ::SendMessageA(hParent, WM_NOTIFY, nm.hdr.idFrom, (LPARAM)&nm);
}

void CPathComboBox::ChooseSegment(int n) {
  if (n < 0 || n >= m_nCount - 1) return;
  int icon = -1;
  {
    CCritSecLock lock(SharedLock());
    CString name = GetSegmentText(n);
    const CStrList* list = m_seg[n].pList;
    int i = m_seg[n].dwRequest == RequestWord(n) ? list->Find(-1, name, 0, -1, 0x10) : -1;
    if (i >= 0) icon = static_cast<const PathFolderItem*>(list->GetItemData(i))->nIcon;
    m_strPath = m_strPath.Left(m_start[n] + m_len[n]);
    m_nCount = n + 1;
    m_start[m_nCount] = m_strPath.GetLength();
    ++m_dwSerial;
    for (int k = 0; k <= MaxSegments; ++k) {
      Segment& seg = m_seg[k];
      if (k <= m_nCount && seg.dwRequest != kNoRequest) {
        seg.dwRequest = RequestWord(k);
      } else if (k > 0) {
        seg.pList->RemoveAll();
        seg.dwRequest = kNoRequest;
      }
    }
  }
  m_layout.nEnd = 2 * n + 3;
  if (m_layout.nFirst > m_layout.nEnd) m_layout.nFirst = m_layout.nEnd;
  if (m_nHot > 2 * n + 2 && m_nHot < HitIcon) m_nHot = -1;
  if (m_nFocus > 2 * n + 2) m_nFocus = -1;
  CloseList();
  if (icon >= 0) m_nIcon = icon;
  else UpdatePathIcon();
  m_nKind = n == 0 && IsBareDrive(m_strPath) ? PCK_DRIVE : PCK_FOLDER;
  RequestList(m_nCount);
  SetWindowPath();
  RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  Notify(PCN_PATHCHANGED, 0, 1);
}

// ----- the worker ----------------------------------------------------------------------------

void CPathComboBox::RequestList(int n) {
  if (!m_pShared || n < 0 || n > m_nCount) return;
  CCritSecLock lock(SharedLock());
  DWORD req = RequestWord(n);
  if (m_pShared->dwRequest == req) return;
  m_pShared->dwRequest = req;
  ::ReleaseSemaphore(m_pShared->hSemaphore, 1, nullptr);
}

void CPathComboBox::OnWorker(WPARAM wParam, LPARAM lParam) {
  if (!m_pShared) return;
  if (wParam == 1) {
    RequestList(m_nCount);
    return;
  }
  if (wParam != 3) return;
  DWORD req = (DWORD)lParam;
  if ((req & 0xFFFFFF) != (m_dwSerial & 0xFFFFFF)) return;
  int n = int(req >> 24) - 1;
  if (n == m_nCount) Relayout(TRUE);
  if (n == m_nOpenList && !::IsWindowVisible(m_hList)) ShowOpenList();
  // The worker keeps one request: the last segment's list, when another one took its place.
  if (!IsListFilled(m_nCount) && (m_nOpenList < 0 || IsListFilled(m_nOpenList))) RequestList(m_nCount);
}

// ----- layout --------------------------------------------------------------------------------

PathRowLayout CPathComboBox::LayoutSegments(const int* edges, int nElements, int nRoom) {
  PathRowLayout lay = {nElements, nElements, nElements > 0 ? edges[nElements] : 0};
  int rest = nRoom;
  for (int e = nElements - 1; e >= 0; --e) {
    int w = edges[e + 1] - edges[e];
    if (w > rest) break;
    rest -= w;
    lay.nFirst = e;
  }
  if (nElements > 0) lay.nHiddenWidth = edges[lay.nFirst];
  return lay;
}

int CPathComboBox::RowEnd() const {
  if (m_nCount == 0) return 0;
  CCritSecLock lock(SharedLock());
  const Segment& last = m_seg[m_nCount];
  if (last.dwRequest == RequestWord(m_nCount) && last.pList->m_nCount == 0) return 2 * m_nCount;
  return 2 * m_nCount + 1;
}

int CPathComboBox::RowOrigin() const { return Res().cxIcon + 4; }

void CPathComboBox::Relayout(BOOL bRedraw) {
  int room = m_cx - m_cxButton - Res().cxIcon - 24;
  PathRowLayout lay = LayoutSegments(m_edges, RowEnd(), room);
  BOOL changed = lay.nFirst != m_layout.nFirst || lay.nEnd != m_layout.nEnd;
  m_layout = lay;
  if (changed && bRedraw && m_hWnd) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

int CPathComboBox::HitTest(POINT pt) const {
  if (pt.x < 0 || pt.y < 0 || pt.x >= m_cx || pt.y >= m_cy) return -1;
  if (pt.x >= m_cx - m_cxButton) return HitButton;
  if (pt.x < RowOrigin()) return HitIcon;
  if (m_bEditMode || m_layout.nFirst >= m_layout.nEnd) return HitEmpty;
  int x = pt.x - RowOrigin() + m_layout.nHiddenWidth;
  if (x >= m_edges[m_layout.nEnd]) return HitEmpty;
  for (int e = m_layout.nEnd - 1; e >= m_layout.nFirst; --e)
    if (x >= m_edges[e]) return e;
  return HitEmpty;
}

BOOL CPathComboBox::GetElementRect(int e, RECT* pRect) const {
  if (e < m_layout.nFirst || e >= m_layout.nEnd) return FALSE;
  int origin = RowOrigin() - m_layout.nHiddenWidth;
  ::SetRect(pRect, origin + m_edges[e], 0, origin + m_edges[e + 1], m_cy);
  return TRUE;
}

BOOL CPathComboBox::PlaceEdit() {
  if (!m_hEdit) return FALSE;
  RECT rc;
  ::GetWindowRect(m_hEdit, &rc);
  ::MapWindowPoints(nullptr, m_hWnd, (LPPOINT)&rc, 2);
  int left = Res().cxIcon + 2;
  int right = m_cx - m_cxButton - 1;
  if (right <= left || (rc.left == left && rc.right == right)) return FALSE;
  ::MoveWindow(m_hEdit, left, rc.top, right - left, rc.bottom - rc.top, TRUE);
  return TRUE;
}

// ----- modes ---------------------------------------------------------------------------------

BOOL CPathComboBox::ShowSegments(BOOL bOn) {
  BOOL was = m_bSegments;
  m_bSegments = bOn;
  if (bOn) {
    if (m_bEditMode) LeaveEditMode(FALSE);
  } else {
    SetWindowPath();
    m_bEditMode = TRUE;
    CloseList();
    if (m_hEdit) {
      PlaceEdit();
      ::ShowWindow(m_hEdit, SW_SHOW);
    }
  }
  Invalidate();
  return was;
}

BOOL CPathComboBox::AcceptFiles(BOOL bOn) {
  BOOL was = (m_dwOptions & PCO_DROPFILES) != 0;
  m_dwOptions = bOn ? m_dwOptions | PCO_DROPFILES : m_dwOptions & ~PCO_DROPFILES;
  ::DragAcceptFiles(m_hWnd, bOn);
  return was;
}

void CPathComboBox::EnterEditMode() {
  if (!m_hEdit) return;
  CloseList();
  m_bEditMode = TRUE;
  SetWindowPath();
  ::SendMessageA(m_hEdit, EM_SETSEL, 0, -1);
  PlaceEdit();
  ::ShowWindow(m_hEdit, SW_SHOW);
  ::SetFocus(m_hEdit);
  Invalidate();
}

void CPathComboBox::LeaveEditMode(BOOL bTake) {
  if (bTake) {
    TakeEditText(TRUE);
    return;
  }
  if (!m_bSegments) return;
  m_bEditMode = FALSE;
  if (m_hEdit) {
    BOOL hadFocus = ::GetFocus() == m_hEdit;
    ::ShowWindow(m_hEdit, SW_HIDE);
    if (hadFocus) ::SetFocus(m_hWnd);
  }
  Invalidate();
}

void CPathComboBox::TakeEditText(BOOL bFocus) {
  char text[MAX_PATH + 1] = "";
  if (m_hEdit) ::CallWindowProcA(m_pfnEdit, m_hEdit, WM_GETTEXT, sizeof text, (LPARAM)text);
  CString typed(text);
  typed.Trim();
  if (typed.IsEmpty() || !SetPathEx(typed, 0)) {
    // A refused text stays in the field, so that it is not taken for the old path.
    ::MessageBeep(MB_ICONASTERISK);
    if (bFocus) ::SendMessageA(m_hEdit, EM_SETSEL, 0, -1);
    return;
  }
  if (m_dwOptions & PCO_TYPEDLIST) AddTyped(m_strPath);
  SetWindowPath();
  if (m_bSegments) {
    m_bEditMode = FALSE;
    BOOL hadFocus = ::GetFocus() == m_hEdit;
    if (m_hEdit) ::ShowWindow(m_hEdit, SW_HIDE);
    if (bFocus || hadFocus) ::SetFocus(m_hWnd);
    Invalidate();
  }
}

void CPathComboBox::AddTyped(const CString& path) {
  CString top;
  if (GetCount() > 0) GetLBText(0, top);
  if (GetCount() == 0 || top != path) InsertString(0, path);
  // Repeats go first, so that the list keeps its full 16 entries.
  for (int i = GetCount() - 1; i >= 1; --i) {
    CString entry;
    GetLBText(i, entry);
    if (entry == path) DeleteString(i);
  }
  while (GetCount() > MaxTyped) DeleteString(GetCount() - 1);
}

// ----- the folder lists ----------------------------------------------------------------------

void CPathComboBox::OpenList(int n) {
  if (n < 0 || n > m_nCount) return;
  if (m_nOpenList == n) {
    CloseList();
    return;
  }
  if (::GetTickCount() - m_dwListClosed < 50) return;
  CloseList();
  m_nOpenList = n;
  m_nHot = -1;
  if (IsListFilled(n)) {
    ShowOpenList();
  } else {
    RequestList(n);
    ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
  }
  Invalidate();
}

void CPathComboBox::ShowOpenList() {
  int n = m_nOpenList;
  if (n < 0 || !m_hList) return;
  int count, width = 0;
  {
    CCritSecLock lock(SharedLock());
    const CStrList* list = m_seg[n].pList;
    count = list->m_nCount;
    for (int i = 0; i < count; ++i)
      width = std::max<int>(width, static_cast<const PathFolderItem*>(list->GetItemData(i))->wWidth);
  }
  if (count == 0) {
    CloseList();
    return;
  }
  ::SendMessageA(m_hList, LVM_SETITEMCOUNT, count, 0);
  LVITEMA none = {};
  none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageA(m_hList, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&none);
  RECT item = {LVIR_BOUNDS};
  int row = ::SendMessageA(m_hList, LVM_GETITEMRECT, 0, (LPARAM)&item) ? item.bottom - item.top : Res().nItemHeight;
  if (row <= 0) row = Res().nItemHeight;
  int height = std::min(kMaxListHeight, count * row) + 2 * ::GetSystemMetrics(SM_CYBORDER);
  // The column takes the widest name beside its icon; the window adds its border and, for a
  // long list, the scroll bar, so that no horizontal bar is needed.
  int column = width + Res().cxIcon + 28;
  int cx = column + 2 * ::GetSystemMetrics(SM_CXBORDER);
  if (count * row > kMaxListHeight) cx += ::GetSystemMetrics(SM_CXVSCROLL);
  ::SendMessageA(m_hList, LVM_SETCOLUMNWIDTH, 0, column);
  RECT arrow;
  if (!GetElementRect(2 * n, &arrow)) GetClientRect(&arrow);
  POINT pt = {arrow.left, m_cy};
  ::ClientToScreen(m_hWnd, &pt);
  RECT work;
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  if (pt.y + height > work.bottom) {
    if (work.bottom - pt.y >= 112)
      height = work.bottom - pt.y;
    else
      pt.y = std::max<LONG>(work.top, work.bottom - height);
  }
  if (pt.x + cx > work.right) pt.x = std::max<LONG>(work.left, work.right - cx);
  ::SetWindowPos(m_hList, HWND_TOPMOST, pt.x, pt.y, cx, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  ::SendMessageA(m_hList, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);  // the client's width
  m_nTyped = 0;
}

void CPathComboBox::CloseList() {
  if (m_nOpenList < 0) return;
  m_nOpenList = -1;
  if (m_hList && ::IsWindowVisible(m_hList)) {
    // A click in the list gave it the focus: the field takes it back.
    BOOL hadFocus = ::GetFocus() == m_hList;
    ::ShowWindow(m_hList, SW_HIDE);
    m_dwListClosed = ::GetTickCount();
    if (hadFocus) ::SetFocus(m_hWnd);
  }
  if (m_hWnd) Invalidate();
}

void CPathComboBox::ChooseListEntry(int index) {
  int n = m_nOpenList;
  if (n < 0) return;
  CString path;
  {
    CCritSecLock lock(SharedLock());
    const CStrList* list = m_seg[n].pList;
    if (index < 0 || index >= list->m_nCount) return;
    path = n == 0 ? CString(list->GetString(index)) : FolderOfList(n) + "\\" + list->GetString(index);
  }
  CloseList();
  SetPathEx(path, 1);
}

void CPathComboBox::ListKey(UINT vk) {
  switch (vk) {
    case VK_UP: case VK_DOWN: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
      ::CallWindowProcA(m_pfnListProc, m_hList, WM_KEYDOWN, vk, 0);
      break;
    case VK_RETURN:
      ChooseListEntry((int)::SendMessageA(m_hList, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED));
      break;
    case VK_ESCAPE:
      CloseList();
      break;
    case VK_LEFT:
    case VK_RIGHT: {
      int n = m_nOpenList + (vk == VK_LEFT ? -1 : 1);
      if (n >= 0 && n <= m_nCount) OpenList(n);
      break;
    }
  }
}

void CPathComboBox::ListChar(UINT ch) {
  if (ch < ' ' || m_nOpenList < 0) return;
  auto upper = [](unsigned c) {
    return (c >= 'a' && c <= 'z') || (c >= 224 && c <= 254 && c != 247) ? c - 32 : c;
  };
  ch = upper(ch & 0xFF);
  DWORD now = ::GetTickCount();
  DWORD pause = m_nTyped == 1 ? 750 : m_nTyped >= 3 ? 1000 : 500;
  BOOL same = m_nTyped == 1 && (unsigned char)m_szTyped[0] == ch;
  if (now - m_dwTypedTick > pause || m_nTyped >= 16 || same) m_nTyped = 0;
  m_dwTypedTick = now;
  m_szTyped[m_nTyped++] = (char)ch;
  m_szTyped[m_nTyped] = 0;
  int cur = (int)::SendMessageA(m_hList, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
  int found = -1;
  {
    CCritSecLock lock(SharedLock());
    const CStrList* list = m_seg[m_nOpenList].pList;
    int count = list->m_nCount;
    // A single letter steps on from the selected entry; a longer prefix may stay on it.
    int from = m_nTyped == 1 ? cur + 1 : std::max(cur, 0);
    for (int k = 0; k < count && found < 0; ++k) {
      int i = (from + k) % count;
      const char* s = list->GetString(i);
      int j = 0;
      while (j < m_nTyped && s[j] && upper((unsigned char)s[j]) == (unsigned char)m_szTyped[j]) ++j;
      if (j == m_nTyped) found = i;
    }
  }
  if (found >= 0) {
    LVITEMA it = {};
    it.stateMask = it.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageA(m_hList, LVM_SETITEMSTATE, found, (LPARAM)&it);
    ::SendMessageA(m_hList, LVM_ENSUREVISIBLE, found, FALSE);
  }
}

// ----- keyboard and mouse --------------------------------------------------------------------

void CPathComboBox::MoveFocus(int delta) {
  int last = 2 * m_nCount;
  if (last <= 0) return;
  int f = m_nFocus;
  if (f < 0) f = m_nHot >= 0 && m_nHot <= last ? (m_nHot + 1) & ~1 : (delta > 0 ? -2 : last + 2);
  f += delta;
  if (f > last) f = 0;
  if (f < 0) f = last;
  m_nFocus = f;
  Invalidate();
}

void CPathComboBox::SetHot(int element) {
  if (element == m_nHot) return;
  m_nHot = element;
  Invalidate();
}

void CPathComboBox::StartDrag() {
  m_bIconDown = FALSE;
  if (::GetCapture() == m_hWnd) ::ReleaseCapture();
  if (!(m_dwOptions & PCO_DRAG) || m_strPath.IsEmpty()) return;
  if (Notify(PCN_BEGINDRAG, 0, m_nKind) != 0) return;
  char resolved[MAX_PATH];
  const char* path = ResolveNetworkPath(m_strPath, resolved, MAX_PATH) ? resolved : (LPCSTR)m_strPath;
  HGLOBAL block = MakeDropBlock(path);
  if (block) {
    m_bDragging = TRUE;
    ::DragAcceptFiles(m_hWnd, FALSE);
    DoDragDropBlock(block);
    ::DragAcceptFiles(m_hWnd, (m_dwOptions & PCO_DROPFILES) != 0);
    m_bDragging = FALSE;
  }
  Notify(PCN_BEGINDRAG, 0, m_nKind);
}

HGLOBAL CPathComboBox::MakeDropBlock(LPCSTR lpszPath) {
  size_t length = lpszPath ? strlen(lpszPath) : 0;
  if (length == 0 || length > MAX_PATH) return nullptr;
  HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + length + 2);
  if (!h) return nullptr;
  DROPFILES* df = static_cast<DROPFILES*>(::GlobalLock(h));
  df->pFiles = sizeof(DROPFILES);
  memcpy(df + 1, lpszPath, length);  // the zeroed block supplies both terminators
  ::GlobalUnlock(h);
  return h;
}

void CPathComboBox::DropFiles(HDROP hDrop) {
  char path[MAX_PATH] = "";
  UINT n = ::DragQueryFileA(hDrop, 0, path, MAX_PATH);
  ::DragFinish(hDrop);
  if (!n) return;
  int kind = PathGetKindA(path);
  if (kind != 2 && kind != 3) {
    char* cut = nullptr;
    for (char* p = path; *p; ++p)
      if (*p == '\\' || *p == '/') cut = p;
    if (cut)
      *cut = 0;
    else if (path[0] && path[1] == ':')
      path[2] = 0;
  }
  SetPathEx(path, 2);
}

void CPathComboBox::ContextMenu(POINT pt) {
  int hit = HitTest(pt);
  m_nMenuElement = hit;
  HMENU menu = ::CreatePopupMenu();
  ::AppendMenuA(menu, MF_STRING | (m_strPath.IsEmpty() ? MF_GRAYED : 0), PCM_COPYPATH, "&Pfad kopieren");
  BOOL onSegment = hit >= 0 && hit < HitIcon && (hit & 1);
  ::AppendMenuA(menu, MF_STRING | (onSegment ? 0 : MF_GRAYED), PCM_COPYSEGMENT, "&Abschnitt kopieren");
  ::ClientToScreen(m_hWnd, &pt);
  ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hWnd, nullptr);
  ::DestroyMenu(menu);
}

void CPathComboBox::CopySegment(int element) {
  if (element < 0 || element >= HitIcon || !(element & 1)) return;
  int n = element / 2;
  if (n >= m_nCount) return;
  CString text = GetSegmentText(n);
  CopyTextToClipboard(text, text.GetLength());
}

void CPathComboBox::OnStyleChanging(STYLESTRUCT* ss) {
  DWORD style = ss->styleNew;
  m_dwOptions = style & (0x15F | PCO_EDITONLY);
  ShowSegments(!(style & PCO_EDITONLY));
  ::DragAcceptFiles(m_hWnd, (m_dwOptions & PCO_DROPFILES) != 0);
  ss->styleNew = (style & ~0x0Du) | 0x252;
}

// ----- painting ------------------------------------------------------------------------------

void CPathComboBox::Paint(HDC hdc) {
  RECT rc = {0, 0, m_cx, m_cy};
  if (rc.right <= 0 || rc.bottom <= 0) return;
  const Resources& res = Res();
  const UxThemeApi* ux = GetUxTheme();
  HTHEME theme = IsVisualStyleActive() && m_hTheme && ux->DrawThemeEdge && ux->DrawThemeBackground ? m_hTheme : nullptr;
  RECT content = rc;
  if (theme) {
    ux->DrawThemeEdge(theme, hdc, 1, 1, &rc, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST, &content);
  } else {
    ::FrameRect(hdc, &rc, (HBRUSH)::GetStockObject(BLACK_BRUSH));
    ::InflateRect(&content, -1, -1);
  }
  HBRUSH window = ::GetSysColorBrush(COLOR_WINDOW);
  int buttonLeft = std::max<int>(content.left, m_cx - m_cxButton);
  RECT icon = {content.left, content.top, std::min<int>(RowOrigin(), buttonLeft), content.bottom};
  ::FillRect(hdc, &icon, window);
  if (m_nIcon >= 0)
    ::ImageList_DrawEx(GetSysImageList(TRUE), m_nIcon, hdc, rc.left + 3, (m_cy - res.cyIcon) / 2, res.cxIcon, res.cyIcon,
                       ::GetSysColor(COLOR_WINDOW), CLR_NONE, ILD_NORMAL);
  ::SetBkMode(hdc, TRANSPARENT);
  HGDIOBJ oldFont = ::SelectObject(hdc, res.hTitle);
  int rowRight = RowOrigin();
  if (!m_bEditMode) {
    // The framed elements: the focused arrow and its segment, both highlighted; else the
    // element under the pointer highlighted and its partner plain.
    int focus = m_nOpenList >= 0 ? 2 * m_nOpenList : m_nFocus;
    int highlight[2] = {-1, -1}, plain = -1;
    if (focus >= 0 && focus < HitIcon) {
      highlight[0] = focus;
      if (focus > 0) highlight[1] = focus - 1;
    } else if (m_nHot >= 0 && m_nHot < HitIcon) {
      highlight[0] = m_nHot;
      plain = (m_nHot & 1) ? m_nHot + 1 : (m_nHot > 0 ? m_nHot - 1 : -1);
    }
    auto shown = [&](int e) { return e >= m_layout.nFirst && e < m_layout.nEnd; };
    for (int& h : highlight)
      if (!shown(h)) h = -1;
    if (!shown(plain)) plain = -1;
    BOOL alone = plain >= 0 && highlight[0] < 0;
    for (int e = m_layout.nFirst; e < m_layout.nEnd; ++e) {
      RECT r;
      GetElementRect(e, &r);
      r.top = content.top;
      r.bottom = content.bottom;
      if (r.left >= buttonLeft) break;
      r.right = std::min<LONG>(r.right, buttonLeft);
      rowRight = r.right;
      BOOL hi = e == highlight[0] || e == highlight[1];
      BOOL framed = hi || e == plain;
      BOOL nextFramed = e + 1 == highlight[0] || e + 1 == highlight[1] || e + 1 == plain;
      RECT box = r;
      if (framed && (e & 1) && nextFramed) box.right = std::min<LONG>(box.right + 1, buttonLeft);
      if (!framed) {
        ::FillRect(hdc, &r, window);
      } else if (theme) {
        ::FillRect(hdc, &r, window);
        BOOL nextHi = e + 1 == highlight[0] || e + 1 == highlight[1];
        int part = !hi && (((e & 1) && nextHi) || alone) ? 2 : 1;  // a plain partner
        ux->DrawThemeBackground(theme, hdc, part, hi ? 2 : 1, &box, nullptr);
      } else {
        ::FillRect(hdc, &box, ::GetSysColorBrush(hi ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        ::FrameRect(hdc, &box, (HBRUSH)::GetStockObject(BLACK_BRUSH));
      }
      ::SetTextColor(hdc, ::GetSysColor(hi && !theme ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
      RECT text = r;
      if (m_nOpenList >= 0 && framed && (e & 1)) text.top += 2;
      if (e & 1) {
        int n = e / 2;
        ::DrawTextA(hdc, (LPCSTR)m_strPath + m_start[n], m_len[n], &text,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
      } else {
        DrawArrow(hdc, text, e == 2 * m_nOpenList);
      }
    }
    RECT rest = {rowRight, content.top, buttonLeft, content.bottom};
    if (rest.right > rest.left) ::FillRect(hdc, &rest, window);
  }
  // The combo's own drop-down button.
  RECT button = {buttonLeft, content.top, content.right, content.bottom};
  BOOL dropped = (BOOL)CWnd::DefWindowProc(CB_GETDROPPEDSTATE, 0, 0);
  BOOL pressed = dropped || m_nPressed == HitButton;
  if (theme) {
    ::FillRect(hdc, &button, window);
    int state = pressed ? 3 : (m_nHot == HitButton ? 2 : 1);
    ux->DrawThemeBackground(theme, hdc, state == 1 ? 2 : 1, state, &button, nullptr);
  } else {
    ::FillRect(hdc, &button, ::GetSysColorBrush(pressed || m_nHot == HitButton ? COLOR_SCROLLBAR : COLOR_BTNHIGHLIGHT));
    ::FrameRect(hdc, &button, (HBRUSH)::GetStockObject(BLACK_BRUSH));
  }
  if (pressed) ::OffsetRect(&button, 0, 2);
  ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNTEXT));
  DrawArrow(hdc, button, true);
  ::SelectObject(hdc, oldFont);
}

void CPathComboBox::DrawItem(LPDRAWITEMSTRUCT lpDIS) {
  if ((int)lpDIS->itemID < 0) return;
  // Entries come from stored lists of any length: read whole, and only one that can be a path
  // goes to the shell for its icon.
  CString text;
  GetLBText((int)lpDIS->itemID, text);
  HDC hdc = lpDIS->hDC;
  BOOL selected = (lpDIS->itemState & ODS_SELECTED) != 0;
  ::FillRect(hdc, &lpDIS->rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const Resources& res = Res();
  const RECT& r = lpDIS->rcItem;
  int icon = text.GetLength() < MAX_PATH ? ShellIcon(text) : GetPlainFileIconIndex(TRUE);
  ::ImageList_DrawEx(GetSysImageList(TRUE), icon, hdc, r.left + 2, r.top + (r.bottom - r.top - res.cyIcon) / 2,
                     res.cxIcon, res.cyIcon, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
  ::SetBkMode(hdc, TRANSPARENT);
  ::SetTextColor(hdc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  HGDIOBJ old = ::SelectObject(hdc, res.hTitle);
  TEXTMETRICA tm;
  ::GetTextMetricsA(hdc, &tm);
  ::ExtTextOutA(hdc, r.left + 2 + res.cxIcon + 4, r.top + (r.bottom - r.top - tm.tmHeight) / 2, ETO_CLIPPED, &r, text,
                (UINT)text.GetLength(), nullptr);
  ::SelectObject(hdc, old);
}

void CPathComboBox::MeasureItem(LPMEASUREITEMSTRUCT lpMIS) { lpMIS->itemHeight = GetPathComboItemHeight(); }

// ----- messages ------------------------------------------------------------------------------

BOOL CPathComboBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_COMMAND && HIWORD(wParam) == CBN_CLOSEUP && m_bSetUp) {
    int sel = GetCurSel();
    if (sel >= 0) {
      CString entry;
      GetLBText(sel, entry);
      SendMessage(CB_SETCURSEL, (WPARAM)-1);
      SetPathEx(entry, 0);
      SetWindowPath();
      if (m_bSegments) LeaveEditMode(FALSE);
      ::SetFocus(m_hWnd);
    } else if (m_bEditMode && m_bSegments) {
      char text[MAX_PATH + 1] = "";
      ::CallWindowProcA(m_pfnEdit, m_hEdit, WM_GETTEXT, sizeof text, (LPARAM)text);
      if (PathCompareA(m_strPath, text) == 0) LeaveEditMode(FALSE);
    }
    *pResult = 0;
    return TRUE;
  }
  return CComboBox::OnChildNotify(message, wParam, lParam, pResult);
}

LRESULT CPathComboBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!m_bSetUp) return CComboBox::WindowProc(message, wParam, lParam);
  switch (message) {
    case WM_PATHCOMBO_WORKER:
      OnWorker(wParam, lParam);
      return 0;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProc(message, wParam, lParam);
      if (!m_bEditMode && lParam) SetPathEx((LPCSTR)lParam, 0);
      return r;
    }
    case WM_GETTEXT: {
      if (m_bEditMode) return DefWindowProc(message, wParam, lParam);
      if (!lParam || wParam == 0) return 0;
      int n = std::min<int>(m_strPath.GetLength(), (int)wParam - 1);
      memcpy((char*)lParam, (LPCSTR)m_strPath, n);
      ((char*)lParam)[n] = 0;
      return n;
    }
    case WM_GETTEXTLENGTH:
      return m_bEditMode ? DefWindowProc(message, wParam, lParam) : m_strPath.GetLength();
    case CB_SELECTSTRING: {
      LRESULT r = DefWindowProc(message, wParam, lParam);
      if (lParam) SetPathEx((LPCSTR)lParam, 0);
      return r;
    }
    case CB_SETCURSEL: {
      LRESULT r = DefWindowProc(message, wParam, lParam);
      char text[MAX_PATH + 1] = "";
      if (m_hEdit && (int)wParam >= 0) {
        ::CallWindowProcA(m_pfnEdit, m_hEdit, WM_GETTEXT, sizeof text, (LPARAM)text);
        if (*text) SetPathEx(text, 0);
      }
      return r;
    }
    case WM_SIZE: {
      LRESULT r = DefWindowProc(message, wParam, lParam);
      RECT rc;
      GetClientRect(&rc);
      m_cx = rc.right;
      m_cy = rc.bottom;
      COMBOBOXINFO cbi = {sizeof cbi};
      m_cxButton = ::GetSystemMetrics(SM_CXHSCROLL);
      if (::GetComboBoxInfo(m_hWnd, &cbi)) m_cxButton = std::max<int>(m_cxButton, cbi.rcButton.right - cbi.rcButton.left);
      Relayout(FALSE);
      // The combo places its edit field again later on: check a few more times.
      if (PlaceEdit()) {
        m_nEditChecks = 3;
        SetTimer(kEditTimer, 250);
      }
      Invalidate();
      return r;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = ::BeginPaint(m_hWnd, &ps);
      if (m_cx > 0 && m_cy > 0) {
        // Drawn off screen first so that the row does not flicker.
        HDC mem = ::CreateCompatibleDC(hdc);
        HBITMAP bmp = ::CreateCompatibleBitmap(hdc, m_cx, m_cy);
        HGDIOBJ old = ::SelectObject(mem, bmp);
        Paint(mem);
        // The combo does not clip its children: leave the edit field alone.
        if (m_hEdit && ::IsWindowVisible(m_hEdit)) {
          RECT er;
          ::GetWindowRect(m_hEdit, &er);
          ::MapWindowPoints(nullptr, m_hWnd, (LPPOINT)&er, 2);
          ::ExcludeClipRect(hdc, er.left, er.top, er.right, er.bottom);
        }
        ::BitBlt(hdc, 0, 0, m_cx, m_cy, mem, 0, 0, SRCCOPY);
        ::SelectObject(mem, old);
        ::DeleteObject(bmp);
        ::DeleteDC(mem);
      }
      ::EndPaint(m_hWnd, &ps);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kHoverTimer) {
        POINT pt;
        ::GetCursorPos(&pt);
        if (::WindowFromPoint(pt) != m_hWnd && m_nOpenList < 0) {
          KillTimer(kHoverTimer);
          SetHot(-1);
        }
        return 0;
      }
      if (wParam == kEditTimer) {
        PlaceEdit();
        if (--m_nEditChecks <= 0) KillTimer(kEditTimer);
        return 0;
      }
      break;
    case WM_KEYDOWN: {
      UINT vk = (UINT)wParam;
      if (m_bEditMode) break;
      if (m_nOpenList >= 0) {
        ListKey(vk);
        return 0;
      }
      BOOL modifier = (::GetKeyState(VK_SHIFT) | ::GetKeyState(VK_CONTROL)) < 0;
      switch (vk) {
        case VK_LEFT: MoveFocus(-2); return 0;
        case VK_RIGHT: MoveFocus(2); return 0;
        case VK_RETURN:
          if (modifier || m_nFocus <= 0) EnterEditMode();
          else ChooseSegment(m_nFocus / 2 - 1);
          return 0;
        case VK_DOWN:
          OpenList(m_nFocus >= 0 ? m_nFocus / 2 : m_nCount);
          return 0;
        case VK_F4:
          EnterEditMode();
          CWnd::DefWindowProc(CB_SHOWDROPDOWN, TRUE, 0);
          return 0;
      }
      return 0;
    }
    case WM_CHAR:
      if (m_bEditMode) break;
      if (m_nOpenList >= 0) ListChar((UINT)wParam);
      return 0;
    case WM_GETDLGCODE:
      if (m_bEditMode) break;
      return DlgCode(lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
      int hit = HitTest(pt);
      if (hit == HitButton) {
        m_nPressed = HitButton;
        EnterEditMode();
        CWnd::DefWindowProc(CB_SHOWDROPDOWN, TRUE, 0);
        m_nPressed = -1;
        return 0;
      }
      if (m_bEditMode && hit != HitIcon) return 0;
      if (!m_bEditMode && ::GetFocus() != m_hEdit) ::SetFocus(m_hWnd);
      if (hit == HitEmpty) {
        EnterEditMode();
      } else if (hit == HitIcon) {
        m_bIconDown = TRUE;
        m_ptDown = pt;
        ::SetCapture(m_hWnd);
      } else if (hit >= 0 && !(hit & 1)) {
        OpenList(hit / 2);
      } else if (hit >= 0) {
        if (wParam & MK_CONTROL) {
          m_nFocus = hit + 1;
          Invalidate();
        } else {
          m_nPressed = hit;
          ::SetCapture(m_hWnd);
        }
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
      if (::GetCapture() == m_hWnd) ::ReleaseCapture();
      int pressed = m_nPressed;
      m_nPressed = -1;
      if (m_bIconDown) {
        m_bIconDown = FALSE;
        if (HitTest(pt) == HitIcon) EnterEditMode();
      } else if (pressed >= 0 && pressed < HitIcon && HitTest(pt) == pressed) {
        ChooseSegment(pressed / 2);
      }
      return 0;
    }
    case WM_RBUTTONDOWN: {
      POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
      ContextMenu(pt);
      return 0;
    }
    case WM_MOUSEMOVE: {
      POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
      if (m_bIconDown && (std::abs(pt.x - m_ptDown.x) > 3 || std::abs(pt.y - m_ptDown.y) > 3)) {
        StartDrag();
        return 0;
      }
      SetHot(HitTest(pt));
      if (!m_bTracking) {
        TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, m_hWnd, 0};
        m_bTracking = ::TrackMouseEvent(&tme);
      }
      if (m_nOpenList < 0) SetTimer(kHoverTimer, 100);
      return 0;
    }
    case WM_MOUSELEAVE:
      m_bTracking = FALSE;
      if (m_nOpenList < 0) SetHot(-1);
      return 0;
    case WM_DROPFILES:
      DropFiles((HDROP)wParam);
      return 0;
    case WM_STYLECHANGING:
      if (wParam == (WPARAM)GWL_STYLE && m_pfnEdit) OnStyleChanging(reinterpret_cast<STYLESTRUCT*>(lParam));
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == PCM_COPYPATH && !lParam) {
        if (!m_strPath.IsEmpty()) CopyTextToClipboard(m_strPath, m_strPath.GetLength());
        return 0;
      }
      if (LOWORD(wParam) == PCM_COPYSEGMENT && !lParam) {
        CopySegment(m_nMenuElement >= 0 ? m_nMenuElement : m_nHot);
        m_nMenuElement = -1;
        return 0;
      }
      if ((HWND)lParam == m_hEdit && LOWORD(wParam) == kEditId && HIWORD(wParam) == EN_CHANGE && !m_nSettingText)
        m_bEditChanged = TRUE;
      break;
    case WM_NOTIFY: {
      NMHDR* nm = reinterpret_cast<NMHDR*>(lParam);
      if (nm->hwndFrom != m_hList || m_nOpenList < 0) break;
      if (nm->code == LVN_GETDISPINFOA || nm->code == LVN_GETDISPINFOW) {
        LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(lParam)->item;
        CCritSecLock lock(SharedLock());
        const CStrList* list = m_seg[m_nOpenList].pList;
        if (item.iItem < 0 || item.iItem >= list->m_nCount) return 0;
        const PathFolderItem* data = static_cast<const PathFolderItem*>(list->GetItemData(item.iItem));
        if (item.mask & LVIF_IMAGE) item.iImage = data->nIcon;
        if ((item.mask & LVIF_PARAM)) item.lParam = (LPARAM)data->wWidth;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
          if (nm->code == LVN_GETDISPINFOA)
            lstrcpynA(item.pszText, list->GetString(item.iItem), item.cchTextMax);
          else if (!::MultiByteToWideChar(CP_ACP, 0, list->GetString(item.iItem), -1, (LPWSTR)item.pszText,
                                          item.cchTextMax))
            ((LPWSTR)item.pszText)[0] = 0;
        }
        return 0;
      }
      if (nm->code == NM_CLICK) {
        ChooseListEntry(reinterpret_cast<NMITEMACTIVATE*>(lParam)->iItem);
        return 0;
      }
      break;
    }
    case WM_DESTROY:
      m_bSetUp = FALSE;
      StopWorker();
      if (m_hList) ::DestroyWindow(m_hList);
      m_hList = nullptr;
      CloseTheme(m_hTheme);
      m_hTheme = nullptr;
      break;
  }
  return CComboBox::WindowProc(message, wParam, lParam);
}

// What the dialog manager must leave to the control: the arrows, and Enter and Escape while
// they mean something here. The edit field hands its keys on to the combo, so both ask.
LRESULT CPathComboBox::DlgCode(LPARAM lParam) const {
  const MSG* msg = reinterpret_cast<const MSG*>(lParam);
  LRESULT r = DLGC_WANTARROWS;
  if (msg && msg->message == WM_KEYDOWN) {
    BOOL wanted = m_bEditMode ? (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE ||
                                 (msg->wParam == VK_TAB && (m_dwOptions & PCO_TABNEXT)))
                              : (m_nOpenList >= 0 && msg->wParam != VK_TAB) ||
                                    (m_nFocus >= 0 && msg->wParam == VK_RETURN);
    if (wanted) r |= DLGC_WANTMESSAGE;
  }
  return r;
}

LRESULT CALLBACK CPathComboBox::EditThunk(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CPathComboBox*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  return self->EditProc(message, wParam, lParam);
}

LRESULT CALLBACK CPathComboBox::ListThunk(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CPathComboBox*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  return self->ListProc(message, wParam, lParam);
}

LRESULT CPathComboBox::EditProc(UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC super = m_pfnEdit;
  switch (message) {
    case WM_KEYDOWN:
    case WM_CHAR:
      if (!m_bEditMode) {
        // Handed on at once: posted, a key would fall behind the keys already queued.
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
      }
      if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        TakeEditText(TRUE);
        return 0;
      }
      if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        SetWindowPath();
        LeaveEditMode(FALSE);
        return 0;
      }
      if (message == WM_KEYDOWN && wParam == VK_TAB && (m_dwOptions & PCO_TABNEXT)) {
        HWND hDlg = ::GetParent(m_hWnd);
        HWND next = ::GetNextDlgTabItem(hDlg, m_hWnd, ::GetKeyState(VK_SHIFT) < 0);
        if (next) ::SetFocus(next);
        return 0;
      }
      if (message == WM_CHAR && (wParam == '\r' || wParam == 27 || (wParam == '\t' && (m_dwOptions & PCO_TABNEXT))))
        return 0;
      break;
    case WM_GETDLGCODE:
      return ::CallWindowProcA(super, m_hEdit, message, wParam, lParam) | DlgCode(lParam);
    case WM_SETFOCUS: {
      LRESULT r = ::CallWindowProcA(super, m_hEdit, message, wParam, lParam);
      if (m_bEditMode) PlaceEdit();
      return r;
    }
    case WM_KILLFOCUS: {
      LRESULT r = ::CallWindowProcA(super, m_hEdit, message, wParam, lParam);
      HWND to = (HWND)wParam;
      if (to != m_hList && to != m_hWnd) CloseList();
      if (m_bEditMode && to != m_hWnd) {
        if (m_bEditChanged) TakeEditText(FALSE);
        else if (m_bSegments) LeaveEditMode(FALSE);
      }
      return r;
    }
  }
  return ::CallWindowProcA(super, m_hEdit, message, wParam, lParam);
}

LRESULT CPathComboBox::ListProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_KEYDOWN:
      switch (wParam) {
        case VK_UP: case VK_DOWN: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
          break;
        default:
          ListKey((UINT)wParam);
          return 0;
      }
      break;
    case WM_CHAR:
      ListChar((UINT)wParam);
      return 0;
    case WM_KILLFOCUS:
      CloseList();
      break;
  }
  return ::CallWindowProcA(m_pfnListProc, m_hList, message, wParam, lParam);
}
