// The file list on the owner-data list view: the list view keeps the selection and the focus,
// the cells come from the CDirList when they are drawn.
#include "controls/FileListCtrl.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "text/Format.h"
#include "text/Numbers.h"

namespace {

// Private messages of the subclass.
const UINT WM_FL_SYNC = WM_APP + 0x3A1;     // wParam 1 a scan started, 2 one ended, 0 entries changed
const UINT WM_FL_SUMMARY = WM_APP + 0x3A2;  // send the queued summary
const UINT_PTR FillTimerId = 0x46C3;
const UINT FillTimerMs = 100;

struct ColumnDef {
    const char* title;
    int width;
    int format;
};
const ColumnDef kColumns[FLC_COUNT] = {
    {"Name", 220, LVCFMT_LEFT},
    {"Ordner", 200, LVCFMT_LEFT},
    {"Größe", 90, LVCFMT_RIGHT},
    {"Datum", 130, LVCFMT_LEFT},
    {"Typ", 140, LVCFMT_LEFT},
};

// Unix seconds of a FILETIME, 64-bit (no 2038 limit).
long long UnixTime(const FILETIME& ft) {
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return (long long)(u.QuadPart / 10000000ULL) - 11644473600LL;
}

// "1.234 Bytes", "12,3 KB", "4,5 MB", "1,2 GB".
int FormatByteSize(char* buf, int size, uint64_t bytes) {
    if (bytes < 10240) return StrFormat(buf, size, "%'llu Bytes", (unsigned long long)bytes);
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    int u = 0;
    uint64_t scale = 1024;
    while (u < 3 && bytes >= scale * 1024) {
        scale *= 1024;
        ++u;
    }
    // Tenths, rounded.
    uint64_t tenths = (bytes * 10 + scale / 2) / scale;
    return StrFormat(buf, size, "%'llu,%u %s", (unsigned long long)(tenths / 10), unsigned(tenths % 10), units[u]);
}

}  // namespace

IMPLEMENT_DYNAMIC(CFileListCtrl, CWnd)

BEGIN_MESSAGE_MAP(CFileListCtrl, CWnd)
    ON_NOTIFY_REFLECT(LVN_GETDISPINFOA, OnGetDispInfo)
    ON_NOTIFY_REFLECT(LVN_GETDISPINFOW, OnGetDispInfo)
    ON_NOTIFY_REFLECT(LVN_COLUMNCLICK, OnColumnClick)
    ON_NOTIFY_REFLECT(LVN_ITEMCHANGED, OnItemChanged)
    ON_NOTIFY_REFLECT(LVN_ODSTATECHANGED, OnOdStateChanged)
    ON_NOTIFY_REFLECT(LVN_ODFINDITEMA, OnOdFindItem)
    ON_NOTIFY_REFLECT(LVN_ODFINDITEMW, OnOdFindItem)
END_MESSAGE_MAP()

CFileListCtrl::CFileListCtrl()
    : m_nSortKey(FLS_NONE), m_nSelCount(0), m_hWndTabTarget(nullptr), m_nReaders(0), m_bSortPending(FALSE), m_bSummaryPosted(FALSE),
      m_bTimer(FALSE), m_nShownCount(0), m_nOptions(0), m_nColumns(0) {
    m_szCell[0] = 0;
    for (int& c : m_columns) c = 0;
    m_DirList.SetNotify(&CFileListCtrl::DirListNotify, this);
}

CFileListCtrl::~CFileListCtrl() {
    // No further scan may start; a running one ends at its next entry.
    InterlockedExchange(&m_DirList.m_bStop, 1);
    while (m_nReaders != 0) {
        InterlockedExchange(&m_DirList.m_bStop, 1);
        ::Sleep(1);
    }
    m_DirList.SetNotify(nullptr, nullptr);
    if (m_hWnd) DestroyWindow();
}

BOOL CFileListCtrl::Create(DWORD dwExStyle, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    DWORD style = (dwStyle & 0xFFFF0000u) | WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT | LVS_OWNERDATA |
                  LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS;
    if (!CWnd::CreateEx(dwExStyle | WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", style, rect, pParentWnd, nID)) return FALSE;
    SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP | LVS_EX_INFOTIP);
    SendMessage(WM_SETFONT, (WPARAM)::GetStockObject(DEFAULT_GUI_FONT), FALSE);
    if (HIMAGELIST il = GetSysImageList(TRUE)) SendMessage(LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)il);
    m_nColumns = 0;
    for (int c = 0; c < FLC_COUNT; ++c) {
        if (c == FLC_FOLDER && (m_nOptions & FLO_NO_FOLDER_COLUMN)) continue;
        LVCOLUMNA col = {};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        col.fmt = kColumns[c].format;
        col.cx = kColumns[c].width;
        col.pszText = const_cast<char*>(kColumns[c].title);
        col.iSubItem = m_nColumns;
        SendMessage(LVM_INSERTCOLUMNA, m_nColumns, (LPARAM)&col);
        m_columns[m_nColumns++] = c;
    }
    m_nShownCount = 0;
    SyncCount();
    ShowSortMark();
    return TRUE;
}

int CFileListCtrl::ColumnOf(int subItem) const {
    return subItem >= 0 && subItem < m_nColumns ? m_columns[subItem] : -1;
}

// ----- filling -------------------------------------------------------------------------------

int CFileListCtrl::ReadPath(const char* path, int subDirs, const char* plus, const char* minus, int writeProtection,
                            int timeMode, int64_t timeValue, int flags) {
    InterlockedIncrement(&m_nReaders);
    HWND hWnd = m_hWnd;
    if (hWnd) ::PostMessageA(hWnd, WM_FL_SYNC, 1, 0);
    int result;
    {
        // One scan at a time: CDirList::Open appends from one thread only.
        CCritSecLock scan(m_csScan);
        DirFilter filter = {};
        filter.nReadOnly = writeProtection;
        filter.nTimeMode = timeMode;
        filter.nTime = timeValue;
        int dl = (subDirs ? CDirList::DL_RECURSE : 0) | ((flags & FLR_FOLDERS) ? CDirList::DL_FOLDERS : 0) |
                 ((flags & FLR_NO_HIDDEN) ? CDirList::DL_NO_HIDDEN : 0);
        result = m_DirList.Open(path, dl, plus && *plus ? plus : nullptr, minus && *minus ? minus : nullptr, &filter);
    }
    {
        CCritSecLock lock(m_cs);
        if ((m_nSortKey & 0xFF) != FLS_NONE || (m_nOptions & FLO_FOLDERS_FIRST)) m_bSortPending = TRUE;
    }
    InterlockedDecrement(&m_nReaders);
    if (hWnd) ::PostMessageA(hWnd, WM_FL_SYNC, 2, 0);
    return result;
}

void CFileListCtrl::DirListNotify(CDirList*, int code, int index, void* context) {
    CFileListCtrl* self = static_cast<CFileListCtrl*>(context);
    HWND hWnd = self->m_hWnd;
    if (!hWnd) return;
    if (::GetWindowThreadProcessId(hWnd, nullptr) != ::GetCurrentThreadId()) {
        ::PostMessageA(hWnd, WM_FL_SYNC, 0, 0);
        return;
    }
    switch (code) {
    case CDirList::DLN_CLEARED:
        {
            LVITEMA it = {};
            it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            self->SendMessage(LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&it);
        }
        self->SyncCount();
        self->Invalidate();
        break;
    case CDirList::DLN_CHANGED:
        self->SyncCount();
        if (index >= 0) self->SendMessage(LVM_REDRAWITEMS, index, index);
        break;
    default:
        self->SyncCount();
        self->Invalidate(FALSE);
        break;
    }
    self->SelectionChanged();
}

void CFileListCtrl::SyncCount() {
    if (!m_hWnd) return;
    int n = m_DirList.m_nCount;
    if (n == m_nShownCount) return;
    BOOL fewer = n < m_nShownCount;
    m_nShownCount = n;
    // The stored count first, so that a nested LVM_GETITEMCOUNT sees no change to make.
    CWnd::DefWindowProc(LVM_SETITEMCOUNT, n, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (fewer) Invalidate();
    SelectionChanged();
}

// ----- sorting -------------------------------------------------------------------------------

void CFileListCtrl::SetSort(int key, int descending) {
    int k = key & 0xFF;
    if (k > FLS_TYPE) k = FLS_NONE;
    if (descending || (key & FLS_DESCENDING)) k |= FLS_DESCENDING;
    {
        CCritSecLock lock(m_cs);
        InterlockedExchange(&m_nSortKey, k);
        m_bSortPending = (k & 0xFF) != FLS_NONE || (m_nOptions & FLO_FOLDERS_FIRST);
    }
    ShowSortMark();
    ApplySort();
}

void CFileListCtrl::ApplySort() {
    int key;
    {
        CCritSecLock lock(m_cs);
        if (!m_bSortPending) return;
        key = m_nSortKey;
    }
    if ((key & 0xFF) == FLS_NONE && !(m_nOptions & FLO_FOLDERS_FIRST)) return;
    SyncCount();
    // A running scan owns the list; the sort follows when it ends.
    if (!::TryEnterCriticalSection(&m_csScan.m_sect)) return;
    {
        CCritSecLock lock(m_cs);
        m_bSortPending = FALSE;
    }
    int order = CDirList::SORT_NAME | CDirList::SORT_NATURAL;  // FLS_NONE with folders first
    switch (key & 0xFF) {
    case FLS_NAME: order = CDirList::SORT_NAME | CDirList::SORT_NATURAL; break;
    case FLS_FOLDER: order = CDirList::SORT_RELPATH | CDirList::SORT_NATURAL; break;
    case FLS_SIZE: order = CDirList::SORT_SIZE; break;
    case FLS_DATE: order = CDirList::SORT_WRITE_TIME; break;
    case FLS_TYPE: order = CDirList::SORT_SUFFIX | CDirList::SORT_NATURAL; break;
    }
    if (key & FLS_DESCENDING) order |= CDirList::SORT_DESCENDING;
    if (m_nOptions & FLO_FOLDERS_FIRST) order |= CDirList::SORT_FOLDERS_FIRST;

    // The selection and the focus follow their entries.
    int shown = m_hWnd ? m_nShownCount : 0;
    std::unordered_set<const DirEntry*> selected;
    const DirEntry* focused = nullptr;
    if (m_hWnd) {
        for (int i = (int)CWnd::DefWindowProc(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); i >= 0 && i < shown;
             i = (int)CWnd::DefWindowProc(LVM_GETNEXTITEM, i, LVNI_SELECTED))
            selected.insert(m_DirList.GetEntry(i));
        int f = (int)CWnd::DefWindowProc(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
        if (f >= 0) focused = m_DirList.GetEntry(f);
    }
    m_DirList.Sort(order);
    ::LeaveCriticalSection(&m_csScan.m_sect);
    if (!m_hWnd) return;
    LVITEMA it = {};
    it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    CWnd::DefWindowProc(LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&it);
    if (!selected.empty() || focused) {
        for (int i = 0; i < shown; ++i) {
            const DirEntry* e = m_DirList.GetEntry(i);
            UINT state = 0;
            if (selected.count(e)) state |= LVIS_SELECTED;
            if (e == focused) state |= LVIS_FOCUSED;
            if (!state) continue;
            it.state = state;
            it.stateMask = state;
            CWnd::DefWindowProc(LVM_SETITEMSTATE, i, (LPARAM)&it);
        }
    }
    Invalidate(FALSE);
    SelectionChanged();
}

void CFileListCtrl::ShowSortMark() {
    if (!m_hWnd) return;
    HWND hHeader = (HWND)SendMessage(LVM_GETHEADER);
    if (!hHeader) return;
    int key = m_nSortKey;
    int column = (key & 0xFF) - 1;
    for (int i = 0; i < m_nColumns; ++i) {
        HDITEMA hd = {};
        hd.mask = HDI_FORMAT;
        if (!::SendMessageA(hHeader, HDM_GETITEMA, i, (LPARAM)&hd)) continue;
        hd.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (m_columns[i] == column) hd.fmt |= (key & FLS_DESCENDING) ? HDF_SORTDOWN : HDF_SORTUP;
        ::SendMessageA(hHeader, HDM_SETITEMA, i, (LPARAM)&hd);
    }
}

void CFileListCtrl::OnColumnClick(NMHDR* pNMHDR, LRESULT* pResult) {
    const NMLISTVIEW* nm = reinterpret_cast<const NMLISTVIEW*>(pNMHDR);
    int column = ColumnOf(nm->iSubItem);
    *pResult = 0;
    if (column < 0) return;
    int key = column + 1;
    int present = m_nSortKey;
    // The same column again turns the order round.
    int descending = (present & 0xFF) == key && !(present & FLS_DESCENDING);
    SetSort(key, descending);
}

// ----- cells ---------------------------------------------------------------------------------

int CFileListCtrl::GetCellText(int index, int column, char* buffer, int size) {
    if (!buffer || size <= 0) return -1;
    buffer[0] = 0;
    const DirEntry* e = m_DirList.GetEntry(index);
    if (!e) return -1;
    switch (column) {
    case FLC_NAME: return StrFormat(buffer, size, "%s", e->Name());
    case FLC_FOLDER: {
        int start = e->nBaseLength, end = e->nNameOffset;
        if (end > start && (e->szPath[end - 1] == '\\' || e->szPath[end - 1] == '/')) --end;
        if (end < start) end = start;
        return StrFormat(buffer, size, "%.*s", end - start, e->szPath + start);
    }
    case FLC_SIZE:
        if (e->IsFolder()) return StrFormat(buffer, size, "%s", "<Ordner>");
        return StrFormat(buffer, size, "%'llu", (unsigned long long)e->Size());
    case FLC_DATE: {
        char tmp[48];
        int n = FormatDateTime(tmp, UnixTime(e->ftLastWriteTime), DT_DAY | DT_MONTH | DT_YEAR | DT_HOURMIN | DT_SECONDS | DT_ZEROS);
        if (n <= 0) return 0;
        return StrFormat(buffer, size, "%s", tmp);
    }
    case FLC_TYPE: {
        const char* t = m_DirList.GetTypeName(index);
        return StrFormat(buffer, size, "%s", t ? t : "");
    }
    default: return -1;
    }
}

void CFileListCtrl::OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    if (pNMHDR->code == LVN_GETDISPINFOW) {
        NMLVDISPINFOW* d = reinterpret_cast<NMLVDISPINFOW*>(pNMHDR);
        LVITEMW& it = d->item;
        if ((it.mask & LVIF_TEXT) && it.pszText && it.cchTextMax > 0) {
            it.pszText[0] = 0;
            if (GetCellText(it.iItem, ColumnOf(it.iSubItem), m_szCell, sizeof m_szCell) > 0) {
                int n = ::MultiByteToWideChar(CP_ACP, 0, m_szCell, -1, it.pszText, it.cchTextMax);
                if (n == 0) it.pszText[it.cchTextMax - 1] = 0;
            }
        }
        if ((it.mask & LVIF_IMAGE) && it.iSubItem == 0) it.iImage = m_DirList.GetIconIndex(it.iItem);
        return;
    }
    NMLVDISPINFOA* d = reinterpret_cast<NMLVDISPINFOA*>(pNMHDR);
    LVITEMA& it = d->item;
    if ((it.mask & LVIF_TEXT) && it.pszText && it.cchTextMax > 0) {
        it.pszText[0] = 0;
        GetCellText(it.iItem, ColumnOf(it.iSubItem), it.pszText, it.cchTextMax);
    }
    if ((it.mask & LVIF_IMAGE) && it.iSubItem == 0) it.iImage = m_DirList.GetIconIndex(it.iItem);
}

void CFileListCtrl::OnOdFindItem(NMHDR* pNMHDR, LRESULT* pResult) {
    // Typing jumps to the next entry whose name starts with the typed text.
    NMLVFINDITEMA* f = reinterpret_cast<NMLVFINDITEMA*>(pNMHDR);
    *pResult = -1;
    char key[MAX_PATH] = "";
    if (!(f->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !f->lvfi.psz) return;
    if (pNMHDR->code == LVN_ODFINDITEMW) {
        if (!::WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(f->lvfi.psz), -1, key, sizeof key, nullptr,
                                   nullptr))
            return;
    } else {
        StrFormat(key, sizeof key, "%s", f->lvfi.psz);
    }
    size_t len = strlen(key);
    int n = m_nShownCount;
    if (n <= 0 || len == 0) return;
    int start = f->iStart < 0 || f->iStart >= n ? 0 : f->iStart;
    for (int k = 0; k < n; ++k) {
        int i = (start + k) % n;
        const DirEntry* e = m_DirList.GetEntry(i);
        if (!e) continue;
        if ((f->lvfi.flags & LVFI_PARTIAL) ? CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, e->Name(),
                                                              (int)std::min(len, strlen(e->Name())), key, (int)len) == CSTR_EQUAL
                                           : lstrcmpiA(e->Name(), key) == 0) {
            *pResult = i;
            return;
        }
    }
}

// ----- selection, focus and summary ----------------------------------------------------------

void CFileListCtrl::OnItemChanged(NMHDR* pNMHDR, LRESULT* pResult) {
    const NMLISTVIEW* nm = reinterpret_cast<const NMLISTVIEW*>(pNMHDR);
    *pResult = 0;
    if ((nm->uChanged & LVIF_STATE) && ((nm->uNewState ^ nm->uOldState) & LVIS_SELECTED)) SelectionChanged();
}

void CFileListCtrl::OnOdStateChanged(NMHDR*, LRESULT* pResult) {
    *pResult = 0;
    SelectionChanged();
}

void CFileListCtrl::SelectionChanged() {
    if (!m_hWnd) return;
    InterlockedExchange(&m_nSelCount, (LONG)CWnd::DefWindowProc(LVM_GETSELECTEDCOUNT, 0, 0));
    BOOL post;
    {
        CCritSecLock lock(m_cs);
        post = !m_bSummaryPosted;
        m_bSummaryPosted = TRUE;
    }
    // Many changes in a row give one summary.
    if (post) PostMessage(WM_FL_SUMMARY);
}

void CFileListCtrl::SendSummary() {
    if (!m_hWnd) return;
    SyncCount();
    {
        CCritSecLock lock(m_cs);
        m_bSummaryPosted = FALSE;
    }
    NMFILELISTSUMMARY s = {};
    s.hdr.hwndFrom = m_hWnd;
    s.hdr.idFrom = (UINT_PTR)::GetDlgCtrlID(m_hWnd);
    s.hdr.code = FLN_SUMMARY;
    s.nCount = m_nShownCount;
    s.nSelected = (int)CWnd::DefWindowProc(LVM_GETSELECTEDCOUNT, 0, 0);
    InterlockedExchange(&m_nSelCount, s.nSelected);
    uint64_t bytes = 0;
    if (s.nSelected > 0 && s.nSelected < s.nCount) {
        for (int i = (int)CWnd::DefWindowProc(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); i >= 0 && i < s.nCount;
             i = (int)CWnd::DefWindowProc(LVM_GETNEXTITEM, i, LVNI_SELECTED)) {
            const DirEntry* e = m_DirList.GetEntry(i);
            if (e && !e->IsFolder()) bytes += e->Size();
        }
    } else {
        for (int i = 0; i < s.nCount; ++i) {
            const DirEntry* e = m_DirList.GetEntry(i);
            if (e && !e->IsFolder()) bytes += e->Size();
        }
    }
    s.nSize = bytes;
    char size[48];
    FormatByteSize(size, sizeof size, bytes);
    if (s.nSelected > 0)
        StrFormat(s.szText, sizeof s.szText, "%i markiert, %s", s.nSelected, size);
    else
        StrFormat(s.szText, sizeof s.szText, "%s", size);
    HWND hParent = ::GetParent(m_hWnd);
    // No lock is held here: the parent may call back into the list.
    if (hParent) ::SendMessageA(hParent, WM_NOTIFY, s.hdr.idFrom, (LPARAM)&s);
}

BOOL CFileListCtrl::FocusItem(int index, BOOL select) {
    SyncCount();
    if (index < 0 || index >= m_nShownCount) return FALSE;
    LVITEMA it = {};
    if (select) {
        it.stateMask = LVIS_SELECTED;
        CWnd::DefWindowProc(LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&it);
    }
    it.state = LVIS_FOCUSED | (select ? LVIS_SELECTED : 0);
    it.stateMask = it.state;
    CWnd::DefWindowProc(LVM_SETITEMSTATE, index, (LPARAM)&it);
    CWnd::DefWindowProc(LVM_SETSELECTIONMARK, 0, index);
    CWnd::DefWindowProc(LVM_ENSUREVISIBLE, index, FALSE);
    return TRUE;
}

// ----- clipboard -----------------------------------------------------------------------------

BOOL CFileListCtrl::CopyToClipboard(BOOL cut) {
    if (!m_hWnd) return FALSE;
    SyncCount();
    std::vector<const char*> paths;
    for (int i = (int)CWnd::DefWindowProc(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); i >= 0 && i < m_nShownCount;
         i = (int)CWnd::DefWindowProc(LVM_GETNEXTITEM, i, LVNI_SELECTED))
        if (const DirEntry* e = m_DirList.GetEntry(i)) paths.push_back(e->FullPath());
    if (paths.empty()) {
        int f = (int)CWnd::DefWindowProc(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
        if (f < m_nShownCount)
            if (const DirEntry* e = m_DirList.GetEntry(f)) paths.push_back(e->FullPath());
    }
    return SetClipboardFiles(m_hWnd, paths.data(), (int)paths.size(), cut);
}

BOOL SetClipboardFiles(HWND hOwner, const char* const* paths, int count, BOOL cut) {
    if (!paths || count <= 0) return FALSE;
    size_t total = 0;
    for (int i = 0; i < count; ++i) total += strlen(paths[i]) + 1;
    HGLOBAL drop = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + total + 1);
    HGLOBAL text = ::GlobalAlloc(GMEM_MOVEABLE, total + size_t(count) + 1);
    HGLOBAL effect = ::GlobalAlloc(GMEM_MOVEABLE, sizeof(DWORD));
    if (!drop || !text || !effect || !::OpenClipboard(hOwner)) {
        if (drop) ::GlobalFree(drop);
        if (text) ::GlobalFree(text);
        if (effect) ::GlobalFree(effect);
        return FALSE;
    }
    DROPFILES* df = static_cast<DROPFILES*>(::GlobalLock(drop));
    df->pFiles = sizeof(DROPFILES);
    char* d = reinterpret_cast<char*>(df + 1);
    char* t = static_cast<char*>(::GlobalLock(text));
    for (int i = 0; i < count; ++i) {
        size_t n = strlen(paths[i]);
        memcpy(d, paths[i], n + 1);
        d += n + 1;
        memcpy(t, paths[i], n);
        t += n;
        *t++ = '\r';
        *t++ = '\n';
    }
    *t = 0;
    ::GlobalUnlock(text);
    ::GlobalUnlock(drop);
    *static_cast<DWORD*>(::GlobalLock(effect)) = cut ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    ::GlobalUnlock(effect);
    ::EmptyClipboard();
    // The clipboard owns the blocks it took.
    if (!::SetClipboardData(CF_HDROP, drop)) ::GlobalFree(drop);
    if (!::SetClipboardData(::RegisterClipboardFormatA(CFSTR_PREFERREDDROPEFFECT), effect)) ::GlobalFree(effect);
    if (!::SetClipboardData(CF_TEXT, text)) ::GlobalFree(text);
    ::CloseClipboard();
    return TRUE;
}

// ----- the subclass --------------------------------------------------------------------------

LRESULT CFileListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case LVM_GETITEMCOUNT:
        // Entries a scan added since the last timer tick count at once.
        SyncCount();
        break;
    case LVM_GETNEXTITEM:
        if ((LOWORD(lParam) & 0x1FF) == (LVNI_SELECTED | LVNI_ABOVE)) {
            // 258: the current entry (the focused one, else the first selected), -1 for none.
            SyncCount();
            int f = (int)CWnd::DefWindowProc(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
            if (f < 0 || f >= m_nShownCount) f = (int)CWnd::DefWindowProc(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
            return f >= 0 && f < m_nShownCount ? f : -1;
        }
        break;
    case LVM_REDRAWITEMS: {
        SyncCount();
        int first = (int)wParam, last = (int)lParam;
        if (first < 0) first = 0;
        if (last >= m_nShownCount) last = m_nShownCount - 1;
        if (last < first) return TRUE;
        if (first == 0 && last == m_nShownCount - 1) {
            Invalidate(FALSE);
            return TRUE;
        }
        return CWnd::DefWindowProc(LVM_REDRAWITEMS, first, last);
    }
    case FLM_FOCUSITEM:
        return FocusItem((int)wParam, lParam == 1);
    case WM_FL_SYNC: {
        if (wParam == 1 && !m_bTimer) {
            m_bTimer = TRUE;
            SetTimer(FillTimerId, FillTimerMs);
        }
        SyncCount();
        if (m_nReaders == 0) {
            if (m_bTimer) {
                KillTimer(FillTimerId);
                m_bTimer = FALSE;
            }
            ApplySort();
        }
        return 0;
    }
    case WM_FL_SUMMARY:
        SendSummary();
        return 0;
    case WM_TIMER:
        if (wParam == FillTimerId) {
            SyncCount();
            if (m_nReaders == 0) {
                KillTimer(FillTimerId);
                m_bTimer = FALSE;
                ApplySort();
            }
            return 0;
        }
        break;
    case WM_SETFOCUS: {
        // The list gets a current entry when it has none.
        SyncCount();
        if (m_nShownCount > 0 && CWnd::DefWindowProc(LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED) < 0) {
            LVITEMA it = {};
            it.state = it.stateMask = LVIS_FOCUSED;
            CWnd::DefWindowProc(LVM_SETITEMSTATE, 0, (LPARAM)&it);
        }
        break;
    }
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            // The parent passes the focus on.
            HWND hTarget = m_hWndTabTarget ? m_hWndTabTarget : ::GetParent(m_hWnd);
            if (hTarget) ::SetFocus(hTarget);
            return 0;
        }
        if (wParam == 'A' && (::GetKeyState(VK_CONTROL) & 0x8000)) {
            LVITEMA it = {};
            it.state = it.stateMask = LVIS_SELECTED;
            CWnd::DefWindowProc(LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&it);
            SelectionChanged();
            return 0;
        }
        break;
    case WM_COPY:
    case WM_CUT:
        CopyToClipboard(message == WM_CUT);
        return 0;
    case WM_DESTROY:
        if (m_bTimer) {
            KillTimer(FillTimerId);
            m_bTimer = FALSE;
        }
        break;
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
