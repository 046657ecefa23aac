// CPathComboBox: a combo box that shows a folder as a row of clickable segments, each followed
// by an arrow that drops down its sub-folders (read by a worker thread of the control), with an
// edit field for typing, dropped files, dragging the path out and clipboard copies.
#pragma once
#include <vector>
#include "framework/Framework.h"
#include <uxtheme.h>

class CStrList;

// WM_NOTIFY codes sent to the parent (the record is NMPATHCOMBO).
enum : UINT {
  PCN_PATHCHANGED = 0x1208,  // nValue1 0, nValue2 1, the new path
  PCN_BEGINDRAG = 0x1209,    // nValue1 0, nValue2 the path's kind (PCK_*); nonzero refuses the drag;
                             // sent once more when the drag has ended
};
struct NMPATHCOMBO {
  NMHDR hdr;
  int nValue1;
  int nValue2;
  const char* pszPath;
};
// Kinds of the path (PCN_BEGINDRAG): 0 an unresolved network path or a path from a list entry.
enum { PCK_OTHER = 0, PCK_FOLDER = 1, PCK_DRIVE = 2, PCK_MISSING = 3 };

// Options: the low bits of the creation flags (and of the window style later on).
enum : DWORD {
  PCO_DRAG = 0x01,        // the path may be dragged out of the icon area
  PCO_DROPFILES = 0x02,   // accept dropped files
  PCO_TYPEDLIST = 0x04,   // keep typed paths in the combo's own list (at most 16)
  PCO_HISTORY = 0x08,     // keep a history of the paths set (at most 50)
  PCO_MUSTEXIST = 0x10,   // refuse missing paths
  PCO_TABNEXT = 0x40,     // Tab in the edit field moves the focus on
  PCO_NOUNC = 0x100,      // refuse UNC paths
  PCO_EDITONLY = 0x200,   // keep the edit field visible (no segments)
};
// The worker's private message and the context menu's commands.
enum : UINT { WM_PATHCOMBO_WORKER = 0x3417, PCM_COPYPATH = 13336, PCM_COPYSEGMENT = 13337 };

// The item height of a path combo: the larger of the icon-title font's height and the small
// icon's, plus 2.
int GetPathComboItemHeight();

// Where the row of elements stands in its room: the first shown element, one past the last one
// (first == end: nothing shown) and the width of the row hidden at its left.
struct PathRowLayout {
  int nFirst;
  int nEnd;
  int nHiddenWidth;
};

class CPathComboBox : public CComboBox {
  DECLARE_DYNAMIC(CPathComboBox)
public:
  enum { MaxSegments = 32, MaxTyped = 16, MaxHistory = 50, MaxPlainPath = 252 };
  enum { HitIcon = 256, HitEmpty = 257, HitButton = 258 };

  CPathComboBox();
  ~CPathComboBox() override;

  // Creates the combo box; nFlags are the options (PCO_*) and WS_* bits. Nonzero on success;
  // 0 when the window or the worker thread could not be made.
  BOOL Create(DWORD nFlags, const RECT& rect, CWnd* pParentWnd, UINT nID);
  // Creates it in the place of dialog control nIDReplace (which is destroyed), after it in
  // the tab order, with that control's id.
  BOOL CreateInPlace(DWORD nFlags, CWnd* pDialog, UINT nIDReplace);
  // Attaches to a combo box of a dialog (CBS_DROPDOWN | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS);
  // nFlags are the options. FALSE when it cannot be attached or the worker does not start.
  BOOL SubclassCombo(HWND hCombo, DWORD nFlags);
  // Stops the worker, destroys the list window and gives the combo box back.
  HWND UnsubclassCombo();

  // Sets the path: a text of 252 characters or more is refused; it is made absolute, '/'
  // becomes '\', a trailing separator goes. 1 when taken (or it is the path already, compared
  // without case), 0 when refused (too long, empty, UNC with PCO_NOUNC, missing with
  // PCO_MUSTEXIST).
  int SetPath(LPCSTR lpszPath);
  const CString& GetPath() const { return m_strPath; }
  // Segment display on (the edit field hidden) or edit mode; returns the previous setting.
  BOOL ShowSegments(BOOL bOn);
  // Accepting dropped files on or off; returns the previous setting.
  BOOL AcceptFiles(BOOL bOn);
  // Steps through the history (PCO_HISTORY): what SetPath returns, 0 without a neighbour.
  int StepHistory(BOOL bForward);

  // Laying out the row: edges[e] is where element e begins, edges[nElements] where the last
  // ends; the elements from the last leftwards that fit into nRoom are shown (one exactly as
  // wide as the rest still fits).
  static PathRowLayout LayoutSegments(const int* edges, int nElements, int nRoom);
  // The CF_HDROP block (DROPFILES header and the path, ended by a double NUL) of a path of at
  // most 260 characters; NULL for an empty or longer path or when memory fails.
  static HGLOBAL MakeDropBlock(LPCSTR lpszPath);

  // State that callers and tests may read.
  int GetSegmentCount() const { return m_nCount; }
  CString GetSegmentText(int n) const;
  // The element at a client point (segment n = 2n + 1, the arrow before it 2n, Hit*), -1 none.
  int HitTest(POINT pt) const;
  // The client rectangle of a shown element (FALSE when hidden).
  BOOL GetElementRect(int nElement, RECT* pRect) const;
  const PathRowLayout& GetLayout() const { return m_layout; }
  BOOL IsEditMode() const { return m_bEditMode; }
  DWORD GetOptions() const { return m_dwOptions; }
  // Copies folder list n (0 the drives, n the sub-folders of segment n - 1) when it is filled
  // for the current path; FALSE otherwise.
  BOOL GetFolderList(int n, CStrList* pOut);
  // The open segment list (-1 none) and its window.
  int GetOpenList() const { return m_nOpenList; }
  HWND GetListWindow() const { return m_hList; }
  // Chooses segment n as the path (does nothing for the last one).
  void ChooseSegment(int n);
  // Opens (or closes) folder list n below its arrow.
  void OpenList(int n);

  struct Shared;

protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
  void DrawItem(LPDRAWITEMSTRUCT lpDIS) override;
  void MeasureItem(LPMEASUREITEMSTRUCT lpMIS) override;

private:
  struct Segment {
    CStrList* pList;  // folder list
    DWORD dwRequest;  // the request it was filled for; (DWORD)-1 none
  };

  BOOL SetUp();
  void StopWorker();
  int SetPathEx(LPCSTR lpszText, int nHow);
  void Split();
  void Relayout(BOOL bRedraw);
  int RowEnd() const;
  int RowOrigin() const;
  void RequestList(int n);
  void OnWorker(WPARAM wParam, LPARAM lParam);
  LRESULT Notify(UINT code, int value1, int value2);
  void SetWindowPath();
  void UpdatePathIcon();
  void EnterEditMode();
  void LeaveEditMode(BOOL bTake);
  void TakeEditText(BOOL bFocus);
  void AddTyped(const CString& path);
  void CloseList();
  void ShowOpenList();
  void ListKey(UINT vk);
  void ListChar(UINT ch);
  void ChooseListEntry(int index);
  CString FolderOfList(int n) const;
  BOOL IsListFilled(int n) const;
  DWORD RequestWord(int n) const;
  void MoveFocus(int delta);
  void StartDrag();
  void DropFiles(HDROP hDrop);
  void ContextMenu(POINT pt);
  void CopySegment(int element);
  void Paint(HDC hdc);
  void SetHot(int element);
  void OnStyleChanging(STYLESTRUCT* ss);
  BOOL PlaceEdit();
  LRESULT DlgCode(LPARAM lParam) const;
  LRESULT EditProc(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT ListProc(UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK EditThunk(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK ListThunk(HWND, UINT, WPARAM, LPARAM);

  Segment m_seg[MaxSegments + 1];
  HWND m_hList = nullptr;
  CString m_strPath;
  int m_start[MaxSegments + 1] = {};  // segment starts; m_start[m_nCount] the end of the text
  int m_len[MaxSegments] = {};
  int m_edges[2 * MaxSegments + 2] = {};
  int m_nCount = 0;
  int m_nHot = -1, m_nFocus = -1, m_nPressed = -1;
  PathRowLayout m_layout = {0, 0, 0};
  int m_nOpenList = -1;
  DWORD m_dwSerial = 0;
  DWORD m_dwDrives = 0;
  int m_nKind = PCK_MISSING;
  int m_nIcon = -1;
  HWND m_hEdit = nullptr;
  WNDPROC m_pfnEdit = nullptr, m_pfnListProc = nullptr;
  DWORD m_dwOptions = 0;
  BOOL m_bSetUp = FALSE;
  BOOL m_bEditMode = FALSE;
  BOOL m_bSegments = TRUE;
  BOOL m_bEditChanged = FALSE;
  int m_nSettingText = 0;
  int m_cx = 0, m_cy = 0, m_cxButton = 0;
  BOOL m_bButtonHot = FALSE;
  int m_nEditChecks = 0;
  POINT m_ptDown = {};
  BOOL m_bIconDown = FALSE, m_bDragging = FALSE, m_bTracking = FALSE;
  int m_nMenuElement = -1;
  DWORD m_dwListClosed = 0;
  HTHEME m_hTheme = nullptr;
  char m_szTyped[17] = {};
  int m_nTyped = 0;
  DWORD m_dwTypedTick = 0;
  std::vector<CString> m_history;
  int m_nHistory = -1;
  Shared* m_pShared = nullptr;
};
