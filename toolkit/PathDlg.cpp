// The folder dialog.
#include "toolkit/PathDlg.h"
#include <cstdlib>
#include "system/Paths.h"
#include "system/RegKeys.h"
#include "system/StrList.h"

BEGIN_MESSAGE_MAP(CPathDlg, CDialog)
  ON_NOTIFY(TVN_ITEMEXPANDINGA, IDC_TREE, OnTreeExpanding)
  ON_NOTIFY(TVN_SELCHANGEDA, IDC_TREE, OnTreeSelChanged)
  ON_NOTIFY(PCN_PATHCHANGED, IDC_PATH, OnPathChanged)
  ON_NOTIFY(PCN_BEGINDRAG, IDC_PATH, OnPathBeginDrag)
  ON_WM_MEASUREITEM()
END_MESSAGE_MAP()

namespace {
const int kMaxRecent = 16;

// A folder path as the dialog shows it: '\' separators, no trailing separator except "C:\".
CString NormalizeFolder(CString p) {
  p.Trim();
  p.Replace('/', '\\');
  while (p.GetLength() > 3 && p[p.GetLength() - 1] == '\\') p = p.Left(p.GetLength() - 1);
  if (p.GetLength() == 2 && p[1] == ':') p += '\\';
  return p;
}

bool HasSubFolder(const CString& folder) {
  CString pattern = folder;
  if (pattern.IsEmpty() || pattern[pattern.GetLength() - 1] != '\\') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA fd;
  HANDLE h = ::FindFirstFileA(pattern, &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  do {
    if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && strcmp(fd.cFileName, ".") && strcmp(fd.cFileName, ".."))
      found = true;
  } while (!found && ::FindNextFileA(h, &fd));
  ::FindClose(h);
  return found;
}
// A tree item's text into buf (size bytes).
void TreeItemText(HWND hTree, HTREEITEM h, char* buf, int size) {
  TVITEMA it = {};
  it.mask = TVIF_TEXT;
  it.hItem = h;
  it.pszText = buf;
  it.cchTextMax = size;
  buf[0] = 0;
  ::SendMessageA(hTree, TVM_GETITEMA, 0, (LPARAM)&it);
}

}  // namespace

CPathDlg::CPathDlg(CWnd* pParent) : CDialog((const DLGTEMPLATE*)nullptr, pParent) {}

CPathDlg::~CPathDlg() { delete m_pTemplate; }

INT_PTR CPathDlg::DoModal() {
  CString title = m_strTitle.IsEmpty() ? CString("Verzeichnis wählen") : m_strTitle;
  delete m_pTemplate;
  m_pTemplate = new CDialogTemplate(title, DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 260, 220);
  m_pTemplate->AddItem("STATIC", "Pfad :", SS_LEFT, 7, 7, 246, 9, 1000);
  m_pTemplate->AddItem("COMBOBOX", "",
                       CBS_DROPDOWN | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 7,
                       18, 246, 120, IDC_PATH);
  m_pTemplate->AddItem(WC_TREEVIEWA, "",
                       TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP, 7, 36,
                       246, 156, IDC_TREE);
  m_pTemplate->AddItem("BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 149, 199, 50, 14, IDOK);
  m_pTemplate->AddItem("BUTTON", "Abbrechen", BS_PUSHBUTTON | WS_TABSTOP, 203, 199, 50, 14, IDCANCEL);
  SetTemplate(m_pTemplate->Get());
  return CDialog::DoModal();
}

int CPathDlg::DoModalEx(LPCSTR lpszSettings, int nFlags) {
  m_strSettings = lpszSettings ? lpszSettings : "";
  m_nFlags = nFlags;
  LoadRecent();
  INT_PTR r = DoModal();
  m_strSettings.Empty();
  m_nFlags = 0;
  return r == IDOK ? 1 : 0;
}

void CPathDlg::LoadRecent() {
  m_recent.clear();
  CRegKeys common;
  if (common.Open(nullptr, "Software\\QV\\Common", 0)) {
    common.QueryValue(&m_dwTreeMode, sizeof m_dwTreeMode, "PathDlgTreeMode", REG_DWORD);
    common.QueryValue(&m_dwBreadCrumb, sizeof m_dwBreadCrumb, "PathDlgBreadCrumb", REG_DWORD);
  }
  if (m_strSettings.IsEmpty()) return;
  CRegKeys keys;
  char* block = nullptr;
  if (!keys.Open(nullptr, nullptr, 0) || !keys.QueryValueAlloc(&block, m_strSettings + "Last", REG_MULTI_SZ)) return;
  // The value may be hand-edited or written by another version: an entry too long to be a
  // path is left out (and dropped when the list is saved again).
  for (const char* p = block; *p && (int)m_recent.size() < kMaxRecent; p += strlen(p) + 1)
    if (strlen(p) < (size_t)CPathComboBox::MaxPlainPath) m_recent.push_back(p);
  free(block);
}

void CPathDlg::SaveRecent() {
  CRegKeys common;
  if (common.Open(nullptr, "Software\\QV\\Common", 2)) {
    common.SetValue(&m_dwTreeMode, 4, "PathDlgTreeMode", REG_DWORD);
    common.SetValue(&m_dwBreadCrumb, 4, "PathDlgBreadCrumb", REG_DWORD);
  }
  if (m_strSettings.IsEmpty()) return;
  // The chosen folder moves to the front; the history keeps 16 folders without duplicates.
  CStrList list(0);
  list.SetRecentLimit(kMaxRecent, 1);
  list.Insert(m_strPath);
  for (const CString& r : m_recent) list.Insert(r);
  int size = 0;
  char* block = list.JoinMulti(0, -1, &size);
  CRegKeys keys;
  if (block && keys.Open(nullptr, nullptr, 2)) keys.SetValue(block, size, m_strSettings + "Last", REG_MULTI_SZ);
  free(block);
}

BOOL CPathDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  HWND hCombo = ::GetDlgItem(m_hWnd, IDC_PATH);
  for (const CString& r : m_recent) ::SendMessageA(hCombo, CB_ADDSTRING, 0, (LPARAM)(LPCSTR)r);
  CString start = NormalizeFolder(m_strPath);
  if (start.IsEmpty() && !m_recent.empty()) start = m_recent.front();
  // Missing folders stay typeable: OK checks them with a message of its own.
  m_combo.SubclassCombo(hCombo, PCO_DRAG | PCO_DROPFILES | (m_dwBreadCrumb ? 0u : (DWORD)PCO_EDITONLY));
  m_bSyncing = TRUE;
  ::SetWindowTextA(hCombo, start);
  m_bSyncing = FALSE;
  // The drives.
  HWND hTree = ::GetDlgItem(m_hWnd, IDC_TREE);
  char drives[512];
  DWORD n = ::GetLogicalDriveStringsA(sizeof drives, drives);
  for (const char* d = drives; n && *d; d += strlen(d) + 1) {
    TVINSERTSTRUCTA tvi = {};
    tvi.hParent = TVI_ROOT;
    tvi.hInsertAfter = TVI_LAST;
    tvi.item.mask = TVIF_TEXT | TVIF_CHILDREN;
    CString name(d, 2);
    tvi.item.pszText = const_cast<LPSTR>((LPCSTR)name);
    tvi.item.cChildren = 1;
    ::SendMessageA(hTree, TVM_INSERTITEMA, 0, (LPARAM)&tvi);
  }
  if (!start.IsEmpty()) ExpandTo(start);
  ::SetFocus(hCombo);
  ::SendMessageA(hCombo, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
  return FALSE;
}

CString CPathDlg::ItemPath(HTREEITEM hItem) const {
  HWND hTree = ::GetDlgItem(m_hWnd, IDC_TREE);
  CString path;
  for (HTREEITEM h = hItem; h; h = (HTREEITEM)::SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)h)) {
    char buf[MAX_PATH];
    TreeItemText(hTree, h, buf, sizeof buf);
    path = path.IsEmpty() ? CString(buf) : CString(buf) + "\\" + path;
  }
  if (path.GetLength() == 2 && path[1] == ':') path += '\\';
  return path;
}

void CPathDlg::FillChildren(HTREEITEM hItem, const CString& folder) {
  HWND hTree = ::GetDlgItem(m_hWnd, IDC_TREE);
  if (::SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)hItem)) return;  // filled before
  CString pattern = folder;
  if (pattern[pattern.GetLength() - 1] != '\\') pattern += '\\';
  CString base = pattern;
  pattern += '*';
  WIN32_FIND_DATAA fd;
  HANDLE h = ::FindFirstFileA(pattern, &fd);
  int added = 0;
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, ".."))
        continue;
      TVINSERTSTRUCTA tvi = {};
      tvi.hParent = hItem;
      tvi.hInsertAfter = TVI_SORT;
      tvi.item.mask = TVIF_TEXT | TVIF_CHILDREN;
      tvi.item.pszText = fd.cFileName;
      tvi.item.cChildren = HasSubFolder(base + fd.cFileName) ? 1 : 0;
      ::SendMessageA(hTree, TVM_INSERTITEMA, 0, (LPARAM)&tvi);
      ++added;
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
  }
  if (!added) {
    TVITEMA it = {};
    it.mask = TVIF_CHILDREN;
    it.hItem = hItem;
    it.cChildren = 0;
    ::SendMessageA(hTree, TVM_SETITEMA, 0, (LPARAM)&it);
  }
}

void CPathDlg::ExpandTo(const CString& path) {
  HWND hTree = ::GetDlgItem(m_hWnd, IDC_TREE);
  CString rest = path;
  HTREEITEM parent = nullptr, found = nullptr;
  m_bSyncing = TRUE;
  while (!rest.IsEmpty()) {
    int sep = rest.Find('\\');
    CString part = sep >= 0 ? rest.Left(sep) : rest;
    rest = sep >= 0 ? rest.Mid(sep + 1) : CString();
    if (part.IsEmpty()) continue;
    if (parent) {
      FillChildren(parent, ItemPath(parent));
      ::SendMessageA(hTree, TVM_EXPAND, TVE_EXPAND, (LPARAM)parent);
    }
    found = nullptr;
    for (HTREEITEM h = (HTREEITEM)::SendMessageA(hTree, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, (LPARAM)parent);
         h; h = (HTREEITEM)::SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)h)) {
      char buf[MAX_PATH];
      TreeItemText(hTree, h, buf, sizeof buf);
      if (lstrcmpiA(buf, part) == 0) {
        found = h;
        break;
      }
    }
    if (!found) break;
    parent = found;
  }
  if (parent) {
    ::SendMessageA(hTree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)parent);
    ::SendMessageA(hTree, TVM_ENSUREVISIBLE, 0, (LPARAM)parent);
  }
  m_bSyncing = FALSE;
}

void CPathDlg::OnTreeExpanding(NMHDR* pNMHDR, LRESULT* pResult) {
  NMTREEVIEWA* tv = reinterpret_cast<NMTREEVIEWA*>(pNMHDR);
  if (tv->action == TVE_EXPAND) FillChildren(tv->itemNew.hItem, ItemPath(tv->itemNew.hItem));
  *pResult = 0;
}

void CPathDlg::OnTreeSelChanged(NMHDR* pNMHDR, LRESULT* pResult) {
  NMTREEVIEWA* tv = reinterpret_cast<NMTREEVIEWA*>(pNMHDR);
  if (!m_bSyncing && tv->itemNew.hItem) {
    m_bSyncing = TRUE;
    SetDlgItemText(IDC_PATH, ItemPath(tv->itemNew.hItem));
    m_bSyncing = FALSE;
  }
  *pResult = 0;
}

// A path chosen in the combo box (a segment, a list entry, a dropped folder) opens the tree.
void CPathDlg::OnPathChanged(NMHDR* pNMHDR, LRESULT* pResult) {
  const NMPATHCOMBO* nm = reinterpret_cast<const NMPATHCOMBO*>(pNMHDR);
  if (!m_bSyncing && nm->pszPath && *nm->pszPath) ExpandTo(NormalizeFolder(nm->pszPath));
  *pResult = 0;
}

void CPathDlg::OnPathBeginDrag(NMHDR*, LRESULT* pResult) { *pResult = 0; }

void CPathDlg::OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMIS) {
  if (nIDCtl == IDC_PATH) {
    lpMIS->itemHeight = GetPathComboItemHeight();
    return;
  }
  CDialog::OnMeasureItem(nIDCtl, lpMIS);
}

void CPathDlg::OnOK() {
  CString path;
  GetDlgItemText(IDC_PATH, path);
  path = NormalizeFolder(path);
  if (path.IsEmpty()) {
    ::MessageBeep(MB_ICONASTERISK);
    return;
  }
  if (path.GetLength() >= CPathComboBox::MaxPlainPath) {
    CString text;
    text.Format("Der Pfad ist zu lang:\n%s", (LPCSTR)path);
    ::MessageBoxA(m_hWnd, text, AfxGetAppName(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  int kind = PathGetKindA(path);
  if (kind == 1) {
    CString text;
    text.Format("Der Pfad ist eine Datei:\n%s", (LPCSTR)path);
    ::MessageBoxA(m_hWnd, text, AfxGetAppName(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (kind == 0 && (m_nFlags & (MustExist | MayCreate))) {
    CString text;
    if (m_nFlags & MayCreate) {
      text.Format("Das Verzeichnis\n%s\nexistiert nicht. Soll es angelegt werden ?", (LPCSTR)path);
      if (::MessageBoxA(m_hWnd, text, AfxGetAppName(), MB_YESNO | MB_ICONQUESTION) != IDYES) return;
      if (!PathCreateDirectoriesA(path)) {
        text.Format("Fehler beim Erstellen von\n%s", (LPCSTR)path);
        ::MessageBoxA(m_hWnd, text, "Fehler", MB_OK | MB_ICONERROR);
        return;
      }
    } else {
      text.Format("Das Verzeichnis existiert nicht:\n%s", (LPCSTR)path);
      ::MessageBoxA(m_hWnd, text, AfxGetAppName(), MB_OK | MB_ICONEXCLAMATION);
      return;
    }
  }
  m_strPath = path;
  SaveRecent();
  EndDialog(IDOK);
}
