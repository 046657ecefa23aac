// CFileListCtrl: the report list of file entries (its own CDirList) on the list-view control in
// owner-data mode, filled by worker threads; and DrawFrameImage, the controls' stock frame images.
#pragma once

#include <cstdint>

#include "framework/Framework.h"
#include "system/DirList.h"
#include "system/Draw.h"

// WM_NOTIFY codes the file list sends to its parent besides the list view's own NM_RCLICK and
// NM_SETFOCUS (those carry the list view's usual records).
enum : UINT {
    FLN_SUMMARY = 0x1206,   // NMFILELISTSUMMARY: the entries or the selection changed
};

// Messages of the file list beyond the standard list-view set, which it answers natively
// (LVM_GETITEMCOUNT, LVM_GETNEXTITEM, LVM_GETITEMA with LVIF_STATE, LVM_REDRAWITEMS, ...).
enum : UINT {
    // wParam the index; lParam 1 also makes it the only selected entry. Gives the entry the
    // focus and scrolls it into view. TRUE when the index exists, else FALSE (nothing changes).
    FLM_FOCUSITEM = 0x109D,
};

// The record of FLN_SUMMARY.
struct NMFILELISTSUMMARY {
    NMHDR hdr;
    int nCount;          // number of entries
    int nSelected;       // number of selected entries
    uint64_t nSize;      // bytes of the selected files, or of all files when none is selected
    char szText[96];     // the summary for a status pane, e.g. "3 markiert, 12.345 Bytes"
};

// Sort keys (SetSort, m_nSortKey): a column plus one, or 0 for the order in which the entries
// were found; FLS_DESCENDING reverses it.
enum {
    FLS_NONE = 0, FLS_NAME = 1, FLS_FOLDER = 2, FLS_SIZE = 3, FLS_DATE = 4, FLS_TYPE = 5,
    FLS_DESCENDING = 0x100,
};

// Columns (list-view sub-items) in the order shown.
enum { FLC_NAME = 0, FLC_FOLDER, FLC_SIZE, FLC_DATE, FLC_TYPE, FLC_COUNT };

// Options (SetOptions, before Create).
enum : UINT {
    FLO_NO_FOLDER_COLUMN = 0x01,   // one folder's contents: no relative-folder column
    FLO_FOLDERS_FIRST = 0x02,      // folders sort before files; with FLS_NONE by name
};

// ReadPath flags.
enum : int {
    FLR_FOLDERS = 0x01,     // list folders as entries too
    FLR_NO_HIDDEN = 0x02,   // skip hidden files and folders
};

// Threads: the window lives on the thread that created it (the UI thread). ReadPath may run on
// any number of worker threads (one scan at a time; others wait for it). While a scan runs the
// UI thread may read the entries below m_DirList.m_nCount and set m_DirList.m_bStop. Clearing
// m_DirList from the UI thread is allowed when no scan runs; the list follows at once.
// The parent must be a framework window: the list view's LVN_GETDISPINFO and the like reach
// this object through the framework's notification reflection.
class CFileListCtrl : public CWnd {
    DECLARE_DYNAMIC(CFileListCtrl)
public:
    CDirList m_DirList;             // the entries, in the order shown
    volatile LONG m_nSortKey;       // the present sort key (FLS_*)
    volatile LONG m_nSelCount;      // the number of selected entries
    HWND m_hWndTabTarget;           // gets the focus on Tab (null: the parent)

    CFileListCtrl();
    // Stops a running scan and waits for every ReadPath to return.
    ~CFileListCtrl() override;

    // Options FLO_* for Create.
    void SetOptions(UINT options) { m_nOptions = options; }
    // Creates the list window. dwStyle: the WS_* bits apply (WS_CHILD is always set); the
    // control's own low 16 bits are ignored. Nonzero on success.
    BOOL Create(DWORD dwExStyle, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    // Adds the entries of path to the list (runs on a worker thread; the UI thread keeps
    // painting). subDirs nonzero recurses; plus and minus are ';'-separated wildcard lists
    // (null or empty: all / none); writeProtection 0 any, 1 only read-only, 2 only not
    // read-only; timeMode 0 none, 1 created before, 2 created after, 3 modified before,
    // 4 modified after timeValue (Unix seconds); flags FLR_*. Stops early when
    // m_DirList.m_bStop is set (the entries found so far stay). Returns the number of entries
    // added, or a negative code of CDirList::Open (-3 the path does not exist, -7 bad path).
    int ReadPath(const char* path, int subDirs, const char* plus, const char* minus, int writeProtection,
                 int timeMode, int64_t timeValue, int flags);
    // Sorts the entries by key (FLS_*; FLS_DESCENDING in key or descending nonzero reverses)
    // and marks the column in the header. The selection stays with its entries. While a scan
    // runs, the sort is done when the scan ends. UI thread only.
    void SetSort(int key, int descending);
    // TRUE while a ReadPath runs.
    BOOL IsReading() const { return m_nReaders != 0; }
    // Text of a cell (FLC_* column) into buffer of size bytes; returns its length, -1 for a
    // bad index. UI thread (or no scan running).
    int GetCellText(int index, int column, char* buffer, int size);
    // Sends FLN_SUMMARY now (UI thread).
    void SendSummary();
    // The FLC_* column shown as list-view sub-item subItem, -1 for none.
    int ColumnOf(int subItem) const;
    // Puts the selected entries (else the current one) on the clipboard as files (see
    // SetClipboardFiles); WM_COPY and WM_CUT (cut nonzero) do this. FALSE when there is none
    // or the clipboard cannot be opened. UI thread.
    BOOL CopyToClipboard(BOOL cut);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult);
    void OnColumnClick(NMHDR* pNMHDR, LRESULT* pResult);
    void OnItemChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void OnOdStateChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void OnOdFindItem(NMHDR* pNMHDR, LRESULT* pResult);

private:
    static void DirListNotify(CDirList* list, int code, int index, void* context);
    void SyncCount();           // UI thread: tells the list view the present entry count
    void ApplySort();           // UI thread: sorts now, keeping the selection
    void ShowSortMark();
    void SelectionChanged();
    BOOL FocusItem(int index, BOOL select);

    CCriticalSection m_cs;      // guards the fields below
    CCriticalSection m_csScan;  // held by the one ReadPath that scans
    volatile LONG m_nReaders;   // ReadPath calls under way
    BOOL m_bSortPending;        // a sort waits for the scan to end
    BOOL m_bSummaryPosted;      // a summary is queued
    BOOL m_bTimer;              // the fill timer runs
    int m_nShownCount;          // the count the list view knows (UI thread)
    UINT m_nOptions;
    int m_columns[FLC_COUNT];   // FLC_* of each shown sub-item
    int m_nColumns;
    char m_szCell[MAX_PATH + 64];   // text handed out by LVN_GETDISPINFO

    DECLARE_MESSAGE_MAP()
};

// Puts files on the clipboard as the shell does: CF_HDROP with the exact paths, the preferred
// drop effect (move when cut is nonzero, else copy) and the paths as text, one per line (CR LF).
// hOwner owns the clipboard. FALSE when count is 0 or the clipboard cannot be opened.
BOOL SetClipboardFiles(HWND hOwner, const char* const* paths, int count, BOOL cut);

// DrawFrameImage flags.
enum : UINT {
    DFI_PRESSED = 0x01,     // the pressed look: darker, shaded from the top
    DFI_COLOR = 0x02,       // tint by the colour argument (else the system's highlight colour)
    DFI_CHECKED = 0x04,     // the checked look: a stronger fill
    DFI_NOFILL = 0x08,      // the frame's border only
    DFI_SPLIT_MAIN = 0x10,  // the main part of a split button: square right edge
    DFI_SPLIT_DROP = 0x20,  // the drop-down part of a split button: square left edge
};
// Builds the stock frame image chosen by flags (a rounded border with a soft gradient fill,
// tinted by color when DFI_COLOR is set) at width x height, blends it onto target (a 24- or
// 32-bit DIB block) at (x, y), clipped to the target, and frees it. FALSE for a bad target or
// depth, or a size below 3 x 3.
BOOL DrawFrameImage(DibBlock* target, int x, int y, int width, int height, UINT flags, COLORREF color = 0);
