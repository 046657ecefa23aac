// The explorer pane: tree items carry their folder's path; a folder's sub-folders are listed
// when it is first opened; the list of the shown folder is read by a worker thread.
#include "toolkit/BrowseCtrl.h"

#include <shlobj.h>

#include <cstring>

#include "system/Paths.h"
#include "text/Format.h"

namespace {

const UINT kTreeId = 1;
const UINT kListId = 2;
const UINT WM_BC_READDONE = WM_APP + 0x3B1;  // wParam the read's serial, lParam ReadPath's result
const int kGap = 3;

// What a tree item's lParam points to.
struct TreeNode {
    CString path;       // full path; a drive root with its separator
    BOOL filled;        // the sub-folders have been listed
};

bool IsSep(char c) {
    return c == '\\' || c == '/';
}

// Length of the root part of a full path: "C:\" (3) or "\\server\share\" (with its
// separator when present); 0 when the path has none.
int RootLength(const char* p) {
    if (p[0] && p[1] == ':') return IsSep(p[2]) ? 3 : 2;
    if (IsSep(p[0]) && IsSep(p[1])) {
        int i = 2, parts = 0;
        while (p[i] && parts < 2) {
            while (p[i] && !IsSep(p[i])) ++i;
            ++parts;
            if (parts < 2 && p[i]) ++i;
        }
        if (parts < 2) return 0;
        return p[i] ? i + 1 : i;
    }
    return 0;
}

int SysIconOf(const char* path, DWORD attributes, UINT extra) {
    SHFILEINFOA sfi = {};
    if (!SHGetFileInfoA(path, attributes, &sfi, sizeof sfi,
                        SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES | extra))
        return 0;
    return sfi.iIcon;
}

UINT DropEffectFormat() {
    static UINT cf = ::RegisterClipboardFormatA(CFSTR_PREFERREDDROPEFFECT);
    return cf;
}

}  // namespace

int BrowserNoOpCallback(CBrowseCtrl*, int, const char*, void*) {
    return 0;
}

// ----- the tree ------------------------------------------------------------------------------

LRESULT CBrowseTree::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && wParam == VK_TAB) {
        HWND hTarget = m_hWndTabTarget ? m_hWndTabTarget : ::GetParent(m_hWnd);
        if (hTarget) ::SetFocus(hTarget);
        return 0;
    }
    return CTreeCtrl::WindowProc(message, wParam, lParam);
}

// ----- the pane ------------------------------------------------------------------------------

// The worker's record: it reads into the pane's list and tells the pane by a posted message.
struct CBrowseCtrl::Reader {
    CFileListCtrl* list;
    HWND hWnd;
    CString path;
    WPARAM serial;

    static DWORD WINAPI Run(void* p) {
        Reader* r = static_cast<Reader*>(p);
        int result = r->list->ReadPath(r->path, 0, nullptr, nullptr, 0, 0, 0, FLR_FOLDERS | FLR_NO_HIDDEN);
        ::PostMessageA(r->hWnd, WM_BC_READDONE, r->serial, (LPARAM)result);
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
    ON_WM_ERASEBKGND()
    ON_NOTIFY(TVN_ITEMEXPANDINGA, kTreeId, OnTreeItemExpanding)
    ON_NOTIFY(TVN_ITEMEXPANDINGW, kTreeId, OnTreeItemExpanding)
    ON_NOTIFY(TVN_SELCHANGEDA, kTreeId, OnTreeSelChanged)
    ON_NOTIFY(TVN_SELCHANGEDW, kTreeId, OnTreeSelChanged)
    ON_NOTIFY(TVN_DELETEITEMA, kTreeId, OnTreeDeleteItem)
    ON_NOTIFY(TVN_DELETEITEMW, kTreeId, OnTreeDeleteItem)
    ON_NOTIFY(NM_SETFOCUS, kTreeId, OnTreeSetFocus)
    ON_NOTIFY(NM_SETFOCUS, kListId, OnListSetFocus)
    ON_NOTIFY(NM_RCLICK, kListId, OnListRClick)
    ON_NOTIFY(LVN_ITEMACTIVATE, kListId, OnListActivate)
    ON_NOTIFY(LVN_KEYDOWN, kListId, OnListKeyDown)
    ON_NOTIFY(FLN_SUMMARY, kListId, OnListSummary)
    ON_MESSAGE(WM_BC_READDONE, OnReadDone)
    ON_MESSAGE(WM_COPY, OnCopy)
    ON_MESSAGE(WM_CUT, OnCut)
    ON_MESSAGE(WM_PASTE, OnPaste)
END_MESSAGE_MAP()

CBrowseCtrl::CBrowseCtrl()
    : m_pCallback(BrowserNoOpCallback), m_pContext(nullptr), m_hReader(nullptr), m_nSerial(0),
      m_bSelecting(FALSE), m_bSideBySide(TRUE) {
    m_List.SetOptions(FLO_NO_FOLDER_COLUMN | FLO_FOLDERS_FIRST);
}

CBrowseCtrl::~CBrowseCtrl() {
    StopRead();
    if (m_hWnd) DestroyWindow();
}

BOOL CBrowseCtrl::Create(DWORD dwExStyle, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID,
                         BrowseCallback callback, void* context) {
    m_pCallback = callback ? callback : BrowserNoOpCallback;
    m_pContext = context;
    LPCSTR cls = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(nullptr, IDC_ARROW), (HBRUSH)(COLOR_BTNFACE + 1));
    DWORD style = (dwStyle & 0xFFFF0000u) | WS_CHILD | WS_CLIPCHILDREN;
    if (!CWnd::CreateEx(dwExStyle, cls, "", style, rect, pParentWnd, nID)) return FALSE;
    return m_Tree.m_hWnd && m_List.m_hWnd;
}

int CBrowseCtrl::OnCreate(LPCREATESTRUCTA lpcs) {
    if (Default() == -1) return -1;
    CRect none(0, 0, 0, 0);
    if (!m_Tree.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                           TVS_SHOWSELALWAYS | TVS_DISABLEDRAGDROP,
                       none, this, kTreeId))
        return -1;
    if (!m_List.Create(0, WS_VISIBLE, none, this, kListId)) return -1;
    // Tab goes to the pane's parent, which passes the focus round its panes.
    HWND hParent = ::GetParent(m_hWnd);
    m_Tree.m_hWndTabTarget = hParent;
    m_List.m_hWndTabTarget = hParent;
    m_Tree.SendMessage(WM_SETFONT, (WPARAM)::GetStockObject(DEFAULT_GUI_FONT), FALSE);
    if (HIMAGELIST il = GetSysImageList(TRUE)) m_Tree.SetImageList(il, TVSIL_NORMAL);
    DragAcceptFiles(TRUE);
    FillDrives();
    Layout(lpcs->cx, lpcs->cy);
    return 0;
}

// ----- layout --------------------------------------------------------------------------------

void CBrowseCtrl::Layout(int cx, int cy) {
    if (!m_Tree.m_hWnd || !m_List.m_hWnd) return;
    // A wide pane puts the tree left of the list, a tall one above it.
    m_bSideBySide = cx >= cy;
    if (m_bSideBySide) {
        int tw = cx * 35 / 100;
        if (tw < 120) tw = cx / 2;
        m_Tree.MoveWindow(0, 0, tw, cy);
        m_List.MoveWindow(tw + kGap, 0, cx - tw - kGap > 0 ? cx - tw - kGap : 0, cy);
    } else {
        int th = cy * 45 / 100;
        m_Tree.MoveWindow(0, 0, cx, th);
        m_List.MoveWindow(0, th + kGap, cx, cy - th - kGap > 0 ? cy - th - kGap : 0);
    }
}

void CBrowseCtrl::OnSize(UINT, int cx, int cy) {
    Layout(cx, cy);
}

BOOL CBrowseCtrl::OnEraseBkgnd(CDC* pDC) {
    // Only the gap between the two children shows.
    CRect r;
    GetClientRect(&r);
    ::FillRect(pDC->GetSafeHdc(), &r, ::GetSysColorBrush(COLOR_BTNFACE));
    return TRUE;
}

// ----- the tree's contents -------------------------------------------------------------------

const CString* CBrowseCtrl::ItemPath(HTREEITEM item) const {
    if (!item) return nullptr;
    const TreeNode* n = reinterpret_cast<const TreeNode*>(m_Tree.GetItemData(item));
    return n ? &n->path : nullptr;
}

HTREEITEM CBrowseCtrl::InsertNode(HTREEITEM parent, const char* text, const CString& path, int image,
                                  int selectedImage) {
    TreeNode* node = new TreeNode{path, FALSE};
    TVINSERTSTRUCTA tvi = {};
    tvi.hParent = parent ? parent : TVI_ROOT;
    tvi.hInsertAfter = TVI_LAST;
    tvi.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    tvi.item.pszText = const_cast<char*>(text);
    tvi.item.lParam = (LPARAM)node;
    tvi.item.cChildren = 1;  // known when the folder is first opened
    tvi.item.iImage = image;
    tvi.item.iSelectedImage = selectedImage;
    HTREEITEM h = (HTREEITEM)m_Tree.SendMessage(TVM_INSERTITEMA, 0, (LPARAM)&tvi);
    if (!h) delete node;
    return h;
}

void CBrowseCtrl::FillDrives() {
    DWORD drives = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(drives & (1u << i))) continue;
        char root[4] = {char('A' + i), ':', '\\', 0};
        UINT type = ::GetDriveTypeA(root);
        if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN) continue;
        char text[MAX_PATH + 8];
        char label[MAX_PATH] = "";
        // Removable and network drives may take long to answer: only fixed ones show a label.
        if (type == DRIVE_FIXED || type == DRIVE_RAMDISK) {
            UINT old = ::SetErrorMode(SEM_FAILCRITICALERRORS);
            if (!::GetVolumeInformationA(root, label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0)) label[0] = 0;
            ::SetErrorMode(old);
        }
        if (label[0])
            StrFormat(text, sizeof text, "%s (%c:)", label, root[0]);
        else
            StrFormat(text, sizeof text, "%c:", root[0]);
        int icon = GetDriveIconIndex(root[0], TRUE);
        if (icon < 0) icon = 0;
        InsertNode(nullptr, text, root, icon, icon);
    }
}

void CBrowseCtrl::FillChildren(HTREEITEM item) {
    TreeNode* node = reinterpret_cast<TreeNode*>(m_Tree.GetItemData(item));
    if (!node) return;
    node->filled = TRUE;
    CDirList dl;
    dl.Read(node->path, CDirList::DL_FOLDERS | CDirList::DL_NO_FILES | CDirList::DL_NO_HIDDEN);
    dl.Sort(CDirList::SORT_NAME | CDirList::SORT_NATURAL);
    int closed = SysIconOf("folder", FILE_ATTRIBUTE_DIRECTORY, 0);
    int open = SysIconOf("folder", FILE_ATTRIBUTE_DIRECTORY, SHGFI_OPENICON);
    for (int i = 0; i < dl.m_nCount; ++i) {
        const DirEntry* e = dl.GetEntry(i);
        InsertNode(item, e->Name(), CString(e->FullPath()), closed, open);
    }
    if (dl.m_nCount == 0) m_Tree.SetItemChildren(item, 0);
}

HTREEITEM CBrowseCtrl::FindChild(HTREEITEM parent, const char* path) {
    for (HTREEITEM h = parent ? m_Tree.GetChildItem(parent) : m_Tree.GetRootItem(); h; h = m_Tree.GetNextSiblingItem(h)) {
        const CString* p = ItemPath(h);
        if (p && PathCompareA(*p, path) == 0) return h;
    }
    return nullptr;
}

void CBrowseCtrl::OnTreeItemExpanding(NMHDR* pNMHDR, LRESULT* pResult) {
    const NMTREEVIEWA* nm = reinterpret_cast<const NMTREEVIEWA*>(pNMHDR);
    *pResult = FALSE;
    if (!(nm->action & TVE_EXPAND)) return;
    const TreeNode* node = reinterpret_cast<const TreeNode*>(m_Tree.GetItemData(nm->itemNew.hItem));
    if (node && !node->filled) {
        HCURSOR old = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
        FillChildren(nm->itemNew.hItem);
        ::SetCursor(old);
    }
}

void CBrowseCtrl::OnTreeDeleteItem(NMHDR* pNMHDR, LRESULT* pResult) {
    const NMTREEVIEWA* nm = reinterpret_cast<const NMTREEVIEWA*>(pNMHDR);
    delete reinterpret_cast<TreeNode*>(nm->itemOld.lParam);
    *pResult = 0;
}

void CBrowseCtrl::OnTreeSelChanged(NMHDR* pNMHDR, LRESULT* pResult) {
    const NMTREEVIEWA* nm = reinterpret_cast<const NMTREEVIEWA*>(pNMHDR);
    *pResult = 0;
    if (m_bSelecting) return;
    const CString* p = ItemPath(nm->itemNew.hItem);
    if (!p) return;
    m_selectName.Empty();
    ShowFolder(*p, TRUE);
}

// ----- the shown folder ----------------------------------------------------------------------

CString CBrowseCtrl::GetCurrentPath(int flags) const {
    if (m_current.IsEmpty()) return CString();
    if ((flags & 1) && PathGetKindA(m_current) < 2) return CString();
    return m_current;
}

BOOL CBrowseCtrl::SelectPath(const char* path, int, int) {
    if (!path || !*path || !m_hWnd) return FALSE;
    // The full form with '\' only.
    char full[MAX_PATH * 2];
    CString given(path);
    given.Replace('/', '\\');
    if (given.GetLength() == 2 && given[1] == ':') given += '\\';   // the drive's root
    DWORD n = ::GetFullPathNameA(given, sizeof full, full, nullptr);
    if (n == 0 || n >= MAX_PATH) return FALSE;
    CString folder(full);
    CString fileName;
    int kind = PathGetKindA(folder);
    if (kind == 0) return FALSE;
    if (kind == 1) {
        PathFileNameStr(fileName, folder);
        PathCutToDirectoryStr(folder);
    }
    int root = RootLength(folder);
    if (root == 0) return FALSE;
    // No trailing separator, but a root keeps its own.
    while (folder.GetLength() > root && IsSep(folder[folder.GetLength() - 1]))
        folder = folder.Left(folder.GetLength() - 1);
    if (root == folder.GetLength() && root >= 2 && folder[1] == ':') {
        if (root == 2) folder += '\\';
        char letter = folder[0];
        if (letter >= 'a' && letter <= 'z') folder.SetAt(0, char(letter - 'a' + 'A'));
    }

    // Walk the tree down to the folder, listing folders on the way.
    CString rootPath = folder.Left(RootLength(folder));
    if (rootPath.GetLength() > 3) PathRemoveTrailingSeparatorStr(rootPath);   // "\\server\share"
    HTREEITEM item = FindChild(nullptr, rootPath);
    if (!item) {
        int icon = rootPath[1] == ':' ? GetDriveIconIndex(rootPath[0], TRUE) : SysIconOf("x", FILE_ATTRIBUTE_DIRECTORY, 0);
        item = InsertNode(nullptr, rootPath, rootPath, icon < 0 ? 0 : icon, icon < 0 ? 0 : icon);
        if (!item) return FALSE;
    }
    int pos = RootLength(folder);
    while (pos < folder.GetLength()) {
        int end = pos;
        while (end < folder.GetLength() && !IsSep(folder[end])) ++end;
        CString sub = folder.Left(end);
        TreeNode* node = reinterpret_cast<TreeNode*>(m_Tree.GetItemData(item));
        if (node && !node->filled) FillChildren(item);
        HTREEITEM child = FindChild(item, sub);
        if (!child && node) {
            // Made since the folder was listed, or hidden: list again, then add it alone.
            RefillChildren(item);
            child = FindChild(item, sub);
            if (!child) {
                m_Tree.SetItemChildren(item, 1);
                CString name = folder.Mid(pos, end - pos);
                child = InsertNode(item, name, sub, SysIconOf("folder", FILE_ATTRIBUTE_DIRECTORY, 0),
                                   SysIconOf("folder", FILE_ATTRIBUTE_DIRECTORY, SHGFI_OPENICON));
            }
        }
        if (!child) return FALSE;
        // The tree's spelling (as on disk) replaces the given one.
        const CString* spelled = ItemPath(child);
        if (spelled && spelled->GetLength() == sub.GetLength()) folder = *spelled + folder.Mid(end);
        item = child;
        pos = end + 1;
    }
    m_bSelecting = TRUE;
    m_Tree.SelectItem(item);
    m_Tree.EnsureVisible(item);
    m_bSelecting = FALSE;
    m_selectName = fileName;
    ShowFolder(folder, TRUE);
    return TRUE;
}

void CBrowseCtrl::RefillChildren(HTREEITEM item) {
    HTREEITEM h = m_Tree.GetChildItem(item);
    while (h) {
        HTREEITEM next = m_Tree.GetNextSiblingItem(h);
        m_Tree.DeleteItem(h);
        h = next;
    }
    FillChildren(item);
}

void CBrowseCtrl::ShowFolder(const CString& path, BOOL notify) {
    BOOL changed = m_current.Compare(path) != 0;
    m_current = path;
    StartRead();
    if (changed && notify) {
        NMBROWSEPATH nm = {};
        nm.hdr.hwndFrom = m_hWnd;
        nm.hdr.idFrom = (UINT_PTR)GetDlgCtrlID();
        nm.hdr.code = BCN_PATHCHANGED;
        nm.pszPath = m_current;
        CString keep = m_current;   // the parent may select another folder meanwhile
        nm.pszPath = keep;
        ::SendMessageA(::GetParent(m_hWnd), WM_NOTIFY, nm.hdr.idFrom, (LPARAM)&nm);
    }
}

void CBrowseCtrl::StopRead() {
    if (!m_hReader) return;
    // Open clears the stop flag when it starts: keep setting it until the worker is gone.
    // Messages sent to this thread meanwhile are answered.
    for (;;) {
        InterlockedExchange(&m_List.m_DirList.m_bStop, 1);
        DWORD r = ::MsgWaitForMultipleObjects(1, &m_hReader, FALSE, 10, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) break;
        if (r == WAIT_OBJECT_0 + 1) {
            MSG msg;
            ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
    ::CloseHandle(m_hReader);
    m_hReader = nullptr;
}

void CBrowseCtrl::StartRead() {
    StopRead();
    m_List.m_DirList.Clear();
    if (m_current.IsEmpty()) return;
    Reader* r = new Reader{&m_List, m_hWnd, m_current, ++m_nSerial};
    InterlockedExchange(&m_List.m_DirList.m_bStop, 0);
    m_hReader = ::CreateThread(nullptr, 0, &Reader::Run, r, 0, nullptr);
    if (!m_hReader) delete r;
}

LRESULT CBrowseCtrl::OnReadDone(WPARAM wParam, LPARAM) {
    if (wParam != m_nSerial) return 0;
    if (!m_selectName.IsEmpty()) {
        for (int i = 0; i < m_List.m_DirList.m_nCount; ++i) {
            const DirEntry* e = m_List.m_DirList.GetEntry(i);
            if (e && lstrcmpiA(e->Name(), m_selectName) == 0) {
                m_List.SendMessage(FLM_FOCUSITEM, i, 1);
                break;
            }
        }
        m_selectName.Empty();
    }
    return 0;
}

void CBrowseCtrl::TriggerUpdate() {
    if (m_current.IsEmpty() || !m_hWnd) return;
    // Keep the current entry of the list.
    int f = (int)m_List.SendMessage(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
    if (const DirEntry* e = m_List.m_DirList.GetEntry(f)) m_selectName = e->Name();
    // A folder that is gone gives way to its nearest existing parent.
    CString path = m_current;
    while (PathGetKindA(path) < 2) {
        int root = RootLength(path);
        int cut = path.GetLength() - 1;
        while (cut > root && !IsSep(path[cut])) --cut;
        if (cut <= root) {
            path = path.Left(root);
            break;
        }
        path = path.Left(cut);
    }
    HTREEITEM item = m_Tree.GetSelectedItem();
    const CString* p = ItemPath(item);
    if (item && p && PathCompareA(*p, path) == 0) {
        const TreeNode* node = reinterpret_cast<const TreeNode*>(m_Tree.GetItemData(item));
        if (node && node->filled) {
            BOOL expanded = (m_Tree.SendMessage(TVM_GETITEMSTATE, (WPARAM)item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
            m_Tree.SetItemChildren(item, 1);
            RefillChildren(item);
            if (expanded) m_Tree.Expand(item, TVE_EXPAND);
        }
        CString keep = m_selectName;
        ShowFolder(path, TRUE);
        m_selectName = keep;
        return;
    }
    CString keep = m_selectName;
    if (!SelectPath(path)) ShowFolder(path, TRUE);
    m_selectName = keep;
}

// ----- focus, hits, texts --------------------------------------------------------------------

void CBrowseCtrl::FocusPane(int tree) {
    if (tree)
        m_Tree.SetFocus();
    else
        m_List.SetFocus();
}

void CBrowseCtrl::OnSetFocus(CWnd*) {
    // The pane itself takes no input.
    if (m_Tree.m_hWnd) m_Tree.SetFocus();
}

void CBrowseCtrl::SendFocus(int part) {
    NMBROWSEFOCUS nm = {};
    nm.hdr.hwndFrom = m_hWnd;
    nm.hdr.idFrom = (UINT_PTR)GetDlgCtrlID();
    nm.hdr.code = (UINT)NM_SETFOCUS;
    nm.nPart = part;
    ::SendMessageA(::GetParent(m_hWnd), WM_NOTIFY, nm.hdr.idFrom, (LPARAM)&nm);
}

void CBrowseCtrl::OnTreeSetFocus(NMHDR*, LRESULT* pResult) {
    *pResult = 0;
    SendFocus(0);
}

void CBrowseCtrl::OnListSetFocus(NMHDR*, LRESULT* pResult) {
    *pResult = 0;
    SendFocus(1);
}

int CBrowseCtrl::HitTest(POINT ptScreen, INT_PTR* pItem, int* pColumn) {
    if (pItem) *pItem = 0;
    if (pColumn) *pColumn = 0;
    if (!m_hWnd) return BHT_NONE;
    // By the parts' rectangles (the pane may be covered or hidden, as under a menu).
    POINT p = ptScreen;
    RECT rc;
    if (m_Tree.m_hWnd && ::IsWindowVisible(m_Tree.m_hWnd)) {
        ::ScreenToClient(m_Tree.m_hWnd, &p);
        ::GetClientRect(m_Tree.m_hWnd, &rc);
        if (::PtInRect(&rc, p)) {
            TVHITTESTINFO ht = {};
            ht.pt = p;
            HTREEITEM h = (HTREEITEM)m_Tree.SendMessage(TVM_HITTEST, 0, (LPARAM)&ht);
            if (h && (ht.flags & (TVHT_ONITEM | TVHT_ONITEMBUTTON | TVHT_ONITEMINDENT | TVHT_ONITEMRIGHT))) {
                if (pItem) *pItem = (INT_PTR)h;
                if (pColumn) *pColumn = 1;
                return BHT_TREE;
            }
            return BHT_NONE;
        }
    }
    p = ptScreen;
    if (m_List.m_hWnd && ::IsWindowVisible(m_List.m_hWnd)) {
        ::ScreenToClient(m_List.m_hWnd, &p);
        ::GetClientRect(m_List.m_hWnd, &rc);
        if (::PtInRect(&rc, p)) {
            LVHITTESTINFO ht = {};
            ht.pt = p;
            int i = (int)m_List.SendMessage(LVM_SUBITEMHITTEST, 0, (LPARAM)&ht);
            if (i >= 0 && i < m_List.m_DirList.m_nCount && (ht.flags & LVHT_ONITEM)) {
                if (pItem) *pItem = i;
                if (pColumn) *pColumn = ht.iSubItem + 1;
                return BHT_LIST;
            }
        }
    }
    return BHT_NONE;
}

int CBrowseCtrl::GetItemText(int hit, INT_PTR item, char* buffer, int size, int column) {
    if (!buffer || size <= 0) return -1;
    buffer[0] = 0;
    if (hit == BHT_TREE) {
        const CString* p = ItemPath((HTREEITEM)item);
        if (!p) return -1;
        if (column == 0) return StrFormat(buffer, size, "%s", (const char*)*p);
        TVITEMA tvi = {};
        tvi.mask = TVIF_TEXT;
        tvi.hItem = (HTREEITEM)item;
        tvi.pszText = buffer;
        tvi.cchTextMax = size;
        if (!m_Tree.SendMessage(TVM_GETITEMA, 0, (LPARAM)&tvi)) return -1;
        return (int)strlen(buffer);
    }
    if (hit == BHT_LIST) {
        const DirEntry* e = m_List.m_DirList.GetEntry((int)item);
        if (!e) return -1;
        if (column == 0) return StrFormat(buffer, size, "%s", e->FullPath());
        int c = m_List.ColumnOf(column - 1);
        if (c < 0) return -1;
        return m_List.GetCellText((int)item, c, buffer, size);
    }
    return -1;
}

// ----- the list's notifications --------------------------------------------------------------

void CBrowseCtrl::OnListRClick(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    POINT pt;
    ::GetCursorPos(&pt);
    LVHITTESTINFO ht = {};
    ht.pt = pt;
    ::ScreenToClient(m_List.m_hWnd, &ht.pt);
    int i = (int)m_List.SendMessage(LVM_HITTEST, 0, (LPARAM)&ht);
    const DirEntry* e = m_List.m_DirList.GetEntry(i);
    // Folders and empty space get the parent's context menu (WM_CONTEXTMENU); files the file menu.
    if (!e || e->IsFolder()) return;
    CString path(e->FullPath());
    NMBROWSEPATH nm = {};
    nm.hdr.hwndFrom = m_hWnd;
    nm.hdr.idFrom = (UINT_PTR)GetDlgCtrlID();
    nm.hdr.code = BCN_CONTEXTMENU;
    nm.pszPath = path;
    nm.ptScreen = pt;
    ::SendMessageA(::GetParent(m_hWnd), WM_NOTIFY, nm.hdr.idFrom, (LPARAM)&nm);
    *pResult = 1;
}

void CBrowseCtrl::OpenEntry(int index) {
    const DirEntry* e = m_List.m_DirList.GetEntry(index);
    if (!e) return;
    CString path(e->FullPath());
    if (e->IsFolder()) {
        SelectPath(path);
        return;
    }
    if (m_pCallback(this, BCB_OPENFILE, path, m_pContext)) return;
    CString folder = m_current;
    ::ShellExecuteA(m_hWnd, "open", path, nullptr, folder, SW_SHOWNORMAL);
}

void CBrowseCtrl::OnListActivate(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    const NMITEMACTIVATE* nm = reinterpret_cast<const NMITEMACTIVATE*>(pNMHDR);
    int i = nm->iItem;
    if (i < 0) i = (int)m_List.SendMessage(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
    OpenEntry(i);
}

void CBrowseCtrl::OnListKeyDown(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    const NMLVKEYDOWN* nm = reinterpret_cast<const NMLVKEYDOWN*>(pNMHDR);
    if (nm->wVKey != VK_BACK || m_current.IsEmpty()) return;
    // Backspace: up one folder, with the folder left behind as the current entry.
    int root = RootLength(m_current);
    if (m_current.GetLength() <= root) return;
    int cut = m_current.GetLength() - 1;
    while (cut > root && !IsSep(m_current[cut])) --cut;
    CString parent = m_current.Left(cut > root ? cut : root);
    CString child = m_current;
    if (SelectPath(parent)) PathFileNameStr(m_selectName, child);
}

void CBrowseCtrl::OnListSummary(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    const NMFILELISTSUMMARY* s = reinterpret_cast<const NMFILELISTSUMMARY*>(pNMHDR);
    int files = 0;
    for (int i = 0; i < s->nCount; ++i) {
        const DirEntry* e = m_List.m_DirList.GetEntry(i);
        if (e && !e->IsFolder()) ++files;
    }
    char text1[64];
    StrFormat(text1, sizeof text1, "%i Datei%s", files, files == 1 ? "" : "en");
    NMBROWSESUMMARY nm = {};
    nm.hdr.hwndFrom = m_hWnd;
    nm.hdr.idFrom = (UINT_PTR)GetDlgCtrlID();
    nm.hdr.code = BCN_SUMMARY;
    nm.pszText1 = text1;
    nm.pszText2 = s->szText;
    ::SendMessageA(::GetParent(m_hWnd), WM_NOTIFY, nm.hdr.idFrom, (LPARAM)&nm);
}

// ----- dropped files -------------------------------------------------------------------------

void CBrowseCtrl::OnDropFiles(HDROP hDrop) {
    POINT pt;
    ::DragQueryPoint(hDrop, &pt);
    ::ClientToScreen(m_hWnd, &pt);
    // The folder under the drop point, else the shown one.
    CString target = m_current;
    INT_PTR item = 0;
    int hit = HitTest(pt, &item);
    if (hit == BHT_TREE) {
        if (const CString* p = ItemPath((HTREEITEM)item)) target = *p;
    } else if (hit == BHT_LIST) {
        const DirEntry* e = m_List.m_DirList.GetEntry((int)item);
        if (e && e->IsFolder()) target = e->FullPath();
    }
    BOOL shift = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
    BOOL ctrl = (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
    BOOL alt = (::GetKeyState(VK_MENU) & 0x8000) != 0;
    NMBROWSEDROP nm = {};
    nm.hdr.hwndFrom = m_hWnd;
    nm.hdr.idFrom = (UINT_PTR)GetDlgCtrlID();
    nm.hdr.code = BCN_DROPFILES;
    nm.nAction = (alt || (ctrl && shift)) ? 3 : (shift ? 1 : 2);
    nm.hDrop = hDrop;
    nm.nFiles = (int)::DragQueryFileA(hDrop, 0xFFFFFFFF, nullptr, 0);
    nm.pszTarget = target;
    LRESULT handled = ::SendMessageA(::GetParent(m_hWnd), WM_NOTIFY, nm.hdr.idFrom, (LPARAM)&nm);
    // Unless the parent took care of them, the files are copied or moved as in the shell.
    if (!handled && nm.nAction != 3) TransferFiles(hDrop, nm.nAction == 1, target);
    ::DragFinish(hDrop);
    TriggerUpdate();
}

// ----- clipboard -----------------------------------------------------------------------------

namespace {

// A name in folder that does not exist yet for a copy of name: "a.txt", "a - Kopie.txt",
// "a - Kopie (2).txt", ... Empty when none fits.
CString FreeCopyName(const CString& folder, const char* name) {
    CString first = folder;
    PathAddTrailingSeparatorStr(first);
    first += name;
    if (PathGetKindA(first) == 0) return first;
    int nameLength = (int)strlen(name);
    const char* suffix = PathFindExtensionA(nameLength, name);
    int stem = suffix ? int(suffix - name) - 1 : nameLength;
    for (int n = 1; n < 1000; ++n) {
        CString candidate = folder;
        PathAddTrailingSeparatorStr(candidate);
        candidate += CString(name, stem);
        candidate += " - Kopie";
        if (n > 1) {
            char number[16];
            StrFormat(number, sizeof number, " (%i)", n);
            candidate += number;
        }
        if (suffix) {
            candidate += '.';
            candidate += suffix;
        }
        if (candidate.GetLength() >= MAX_PATH) return CString();
        if (PathGetKindA(candidate) == 0) return candidate;
    }
    return CString();
}

}  // namespace

BOOL CBrowseCtrl::TransferFiles(HDROP hDrop, BOOL move, const CString& target) {
    if (target.IsEmpty() || PathGetKindA(target) < 2) return FALSE;
    CString t = target;
    PathRemoveTrailingSeparatorStr(t);
    if (t.GetLength() == 2 && t[1] == ':') t += '\\';
    // Double-NUL lists ('|' cannot stand in a path). A file moved into its own folder is left
    // alone; a copy never replaces a file: it gets a free name of its own.
    CString from, to;
    int n = (int)::DragQueryFileA(hDrop, 0xFFFFFFFF, nullptr, 0);
    int count = 0;
    for (int i = 0; i < n; ++i) {
        char path[MAX_PATH];
        if (!::DragQueryFileA(hDrop, (UINT)i, path, sizeof path) || PathGetKindA(path) == 0) continue;
        CString folder(path);
        PathCutToDirectoryStr(folder);
        if (move) {
            CString f = folder;
            PathRemoveTrailingSeparatorStr(f);
            if (f.GetLength() == 2 && f[1] == ':') f += '\\';
            if (PathCompareA(f, t) == 0) continue;
            to += t;
        } else {
            CString name;
            PathFileNameStr(name, path);
            CString dest = FreeCopyName(t, name);
            if (dest.IsEmpty()) continue;
            to += dest;
        }
        to += '|';
        from += path;
        from += '|';
        ++count;
    }
    if (!count) return FALSE;
    from += '|';
    from.Replace('|', '\0');
    to += '|';
    to.Replace('|', '\0');
    SHFILEOPSTRUCTA op = {};
    op.hwnd = ::GetAncestor(m_hWnd, GA_ROOT);
    op.wFunc = move ? FO_MOVE : FO_COPY;
    op.pFrom = from;
    op.pTo = to;
    op.fFlags = FOF_ALLOWUNDO | FOF_MULTIDESTFILES | FOF_NOCONFIRMMKDIR;
    int r = ::SHFileOperationA(&op);
    return r == 0 && !op.fAnyOperationsAborted;
}

BOOL CBrowseCtrl::PutOnClipboard(BOOL cut) {
    // The tree's folder when the tree has the focus, else the list's selection.
    if (::GetFocus() == m_Tree.m_hWnd) {
        const CString* p = ItemPath(m_Tree.GetSelectedItem());
        if (!p) return FALSE;
        const char* path = *p;
        return SetClipboardFiles(m_hWnd, &path, 1, cut);
    }
    return m_List.CopyToClipboard(cut);
}

LRESULT CBrowseCtrl::OnCopy(WPARAM, LPARAM) {
    PutOnClipboard(FALSE);
    return 0;
}

LRESULT CBrowseCtrl::OnCut(WPARAM, LPARAM) {
    PutOnClipboard(TRUE);
    return 0;
}

LRESULT CBrowseCtrl::OnPaste(WPARAM, LPARAM) {
    if (m_current.IsEmpty() || !::IsClipboardFormatAvailable(CF_HDROP) || !::OpenClipboard(m_hWnd)) return 0;
    BOOL move = FALSE;
    if (HGLOBAL h = ::GetClipboardData(DropEffectFormat())) {
        if (const DWORD* effect = static_cast<const DWORD*>(::GlobalLock(h))) {
            move = (*effect & DROPEFFECT_MOVE) != 0 && !(*effect & DROPEFFECT_COPY);
            ::GlobalUnlock(h);
        }
    }
    // The block belongs to the clipboard: work on a copy, with the clipboard closed.
    HGLOBAL copy = nullptr;
    if (HGLOBAL h = ::GetClipboardData(CF_HDROP)) {
        SIZE_T size = ::GlobalSize(h);
        const void* src = ::GlobalLock(h);
        if (src && (copy = ::GlobalAlloc(GMEM_MOVEABLE, size)) != nullptr) {
            memcpy(::GlobalLock(copy), src, size);
            ::GlobalUnlock(copy);
        }
        if (src) ::GlobalUnlock(h);
    }
    ::CloseClipboard();
    if (!copy) return 0;
    BOOL done = TransferFiles((HDROP)copy, move, m_current);
    ::GlobalFree(copy);
    // Cut files have moved: they are no longer there to paste again.
    if (done && move && ::OpenClipboard(m_hWnd)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
    TriggerUpdate();
    return 0;
}
