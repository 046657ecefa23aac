// CBrowseCtrl: the explorer pane: a tree of the drives and their folders, filled as the user
// opens them, beside a file list of the chosen folder that a worker thread reads.
#pragma once

#include "controls/FileListCtrl.h"
#include "framework/Framework.h"

class CBrowseCtrl;

// WM_NOTIFY codes the pane sends to its parent (idFrom: the pane's id, hwndFrom: the pane).
enum : UINT {
    BCN_DROPFILES = 0x1200,     // NMBROWSEDROP: files were dropped on the pane
    BCN_CONTEXTMENU = 0x1201,   // NMBROWSEPATH: a context menu was asked for on a file
    BCN_PATHCHANGED = 0x1204,   // NMBROWSEPATH: the shown folder changed
    BCN_SUMMARY = 0x1206,       // NMBROWSESUMMARY: the texts for two status panes
};
// NM_SETFOCUS comes as NMBROWSEFOCUS.

// BCN_CONTEXTMENU, BCN_PATHCHANGED.
struct NMBROWSEPATH {
    NMHDR hdr;
    const char* pszPath;    // full path; a folder without trailing separator, a drive root "C:\"
    POINT ptScreen;         // BCN_CONTEXTMENU: where the menu belongs (screen coordinates)
};

// BCN_DROPFILES. Answer nonzero when the files were taken care of; on 0 the pane copies (2) or
// moves (1) them into the target folder through the shell.
struct NMBROWSEDROP {
    NMHDR hdr;
    int nAction;            // 1 move (Shift), 2 copy, 3 link (Ctrl+Shift or Alt)
    HDROP hDrop;            // the dropped files (DragQueryFileA); the pane frees it afterwards
    int nFiles;
    const char* pszTarget;  // the folder dropped on
};

// BCN_SUMMARY.
struct NMBROWSESUMMARY {
    NMHDR hdr;
    const char* pszText1;   // the number of files ("%i Datei%s")
    const char* pszText2;   // the summary of the pane's file list
};

// NM_SETFOCUS.
struct NMBROWSEFOCUS {
    NMHDR hdr;
    int nPart;              // 1 the pane's file list, 0 the folder tree
};

// HitTest results.
enum { BHT_NONE = 0, BHT_TREE = 1, BHT_LIST = 2 };

// Callback codes.
enum {
    BCB_OPENFILE = 1,       // a file was opened in the pane's list (double click, Enter):
                            // nonzero when handled, 0 lets the shell open it
};
// The pane's callback: (pane, code BCB_*, path, context) -> see the codes.
typedef int (*BrowseCallback)(CBrowseCtrl* pBrowse, int nCode, const char* pszPath, void* pContext);
// A callback that does nothing and returns 0 (the pane's default).
int BrowserNoOpCallback(CBrowseCtrl* pBrowse, int nCode, const char* pszPath, void* pContext);

// The folder tree: hands the focus on with Tab.
class CBrowseTree : public CTreeCtrl {
public:
    HWND m_hWndTabTarget = nullptr;     // gets the focus on Tab (the pane's parent)
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// UI thread only, except where said. WM_COPY and WM_CUT put the selected list entries (or the
// tree's folder when the tree has the focus) on the clipboard as files (CF_HDROP, the preferred
// drop effect, and their paths as text); WM_PASTE copies or moves the clipboard's files into the
// shown folder.
class CBrowseCtrl : public CWnd {
    DECLARE_DYNAMIC(CBrowseCtrl)
public:
    CBrowseTree m_Tree;     // child id 1
    CFileListCtrl m_List;   // child id 2; its m_nSortKey is the pane's sort key

    CBrowseCtrl();
    ~CBrowseCtrl() override;

    // Creates the pane with its tree (the drives) and list. dwStyle: the WS_* bits apply; the
    // low 16 bits are the pane's own and ignored. callback null: BrowserNoOpCallback.
    // Nonzero on success.
    BOOL Create(DWORD dwExStyle, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID,
                BrowseCallback callback = nullptr, void* context = nullptr);

    // The shown folder: without trailing separator, a drive root as "C:\". flags 1: empty
    // when the folder no longer exists (0: as shown). Empty when none is shown.
    CString GetCurrentPath(int flags = 1) const;
    // Shows a folder (or a file's folder, the file then selected in the list): the tree opens
    // down to it and the list is read again. '/' counts as '\'; "C:" is the root of drive C.
    // Sends BCN_PATHCHANGED when the folder differs from the one shown. flags and reserved: 0.
    // TRUE when shown; FALSE when the path does not exist (nothing changes).
    BOOL SelectPath(const char* path, int flags = 0, int reserved = 0);
    // Focuses the tree (1) or the list (0).
    void FocusPane(int tree);
    // Reads the shown folder again (list and the tree item's folders).
    void TriggerUpdate();
    // What lies under the point (screen coordinates): BHT_TREE with *pItem the HTREEITEM,
    // BHT_LIST with *pItem the entry index and *pColumn the 1-based column, BHT_NONE.
    int HitTest(POINT ptScreen, INT_PTR* pItem = nullptr, int* pColumn = nullptr);
    // Text of a hit item into buffer (size bytes): column 0 the full path; for a list entry
    // column n >= 1 the text of the n-th column (1 the name); for a tree item any column >= 1
    // its name. Returns the length, -1 for a bad hit or item (buffer then "").
    int GetItemText(int hit, INT_PTR item, char* buffer, int size, int column);

protected:
    int OnCreate(LPCREATESTRUCTA lpcs);
    void OnSize(UINT nType, int cx, int cy);
    void OnSetFocus(CWnd* pOldWnd);
    void OnDropFiles(HDROP hDrop);
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnTreeItemExpanding(NMHDR* pNMHDR, LRESULT* pResult);
    void OnTreeSelChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void OnTreeDeleteItem(NMHDR* pNMHDR, LRESULT* pResult);
    void OnTreeSetFocus(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListSetFocus(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListRClick(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListActivate(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListKeyDown(NMHDR* pNMHDR, LRESULT* pResult);
    void OnListSummary(NMHDR* pNMHDR, LRESULT* pResult);
    LRESULT OnReadDone(WPARAM wParam, LPARAM lParam);
    LRESULT OnCopy(WPARAM wParam, LPARAM lParam);
    LRESULT OnCut(WPARAM wParam, LPARAM lParam);
    LRESULT OnPaste(WPARAM wParam, LPARAM lParam);

private:
    struct Reader;
    HTREEITEM InsertNode(HTREEITEM parent, const char* text, const CString& path, int image, int selectedImage);
    // The child of parent (null: a root) whose path is path, or null.
    HTREEITEM FindChild(HTREEITEM parent, const char* path);
    void FillChildren(HTREEITEM item);
    void RefillChildren(HTREEITEM item);
    void FillDrives();
    void OpenEntry(int index);
    // Copies (or moves) the files of a dropped-files block into target through the shell
    // (its questions and undo); a copy never replaces a file. TRUE when all went through.
    BOOL TransferFiles(HDROP hDrop, BOOL move, const CString& target);
    BOOL PutOnClipboard(BOOL cut);
    const CString* ItemPath(HTREEITEM item) const;
    void ShowFolder(const CString& path, BOOL notify);
    void StartRead();
    void StopRead();
    void Layout(int cx, int cy);
    void SendFocus(int part);

    BrowseCallback m_pCallback;
    void* m_pContext;
    CString m_current;          // the shown folder
    CString m_selectName;       // a file to select in the list when it has been read
    HANDLE m_hReader;           // the worker reading the list
    WPARAM m_nSerial;           // of the latest read
    BOOL m_bSelecting;          // SelectPath moves the tree's selection
    BOOL m_bSideBySide;         // tree left of the list, else above it

    DECLARE_MESSAGE_MAP()
};
