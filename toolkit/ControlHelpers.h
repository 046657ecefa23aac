// Helpers for controls of the program's dialogs: subclassing with chained procedures, combo
// boxes that take dropped files or report their focus, combo histories in the registry, push
// buttons and menu items with bitmaps, icons of the shell's system image list, and dragging
// files named in a text.
#pragma once
#include "framework/Framework.h"

// Puts proc in front of the window's procedure; proc passes messages on with
// CallSubclassedProc(proc, ...). Subclassing a combo box with ComboDropFileProc also lets it
// accept dropped files. FALSE when the window does not exist or proc is already installed.
BOOL SubclassControl(HWND hWnd, WNDPROC proc);
// The procedure under proc (for procedures installed by SubclassControl).
LRESULT CallSubclassedProc(WNDPROC proc, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// A combo box that takes a file or folder dropped from the shell as its text (and tells its
// parent with CBN_EDITCHANGE).
LRESULT CALLBACK ComboDropFileProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// A combo box (with its edit field) that tells its dialog when it gets (lParam 1) or loses
// (lParam 0) the focus, by WM_COMBOFOCUS with the combo box's id in wParam; the edit
// selection at the loss stays readable with GetComboLastSel.
LRESULT CALLBACK ComboFocusNotifyProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
#define WM_COMBOFOCUS (WM_APP + 0x3F0)
// The edit selection (start low word, end high word) when the combo box last lost the focus.
DWORD GetComboLastSel(HWND hCombo);

// Histories: multi-string value lpszValue (at most 16 entries, newest first) under key lpszKey
// of HKEY_CURRENT_USER; a key beginning with '#' is a subkey of the application's key, NULL
// the application's key itself. Fills the combo box's list; returns the number of entries.
int LoadComboHistory(HWND hDlg, int nIDCombo, LPCSTR lpszValue, LPCSTR lpszKey, int reserved1 = 0, int reserved2 = 0);
// The same; rString (at most 2047 bytes) becomes the combo box's text, or its first entry
// when it is empty (and stays empty when the history's newest entry is the empty text).
int LoadComboHistoryStr(HWND hDlg, int nIDCombo, LPCSTR lpszValue, LPCSTR lpszKey, CString& rString, int reserved = 0);
// Stores the combo box's text followed by its entries (no duplicates, ASCII case folded, at
// most 16) the same way. An empty text is left out, or with bKeepEmpty stored as the newest
// entry (a leading empty string, which the loaders above understand). FALSE when the value
// cannot be written.
BOOL SaveComboHistory(HWND hDlg, int nIDCombo, LPCSTR lpszValue, LPCSTR lpszKey, BOOL bKeepEmpty = FALSE);

// A bitmap resource on a push button (BS_BITMAP); FreeButtonBitmap deletes it again.
BOOL SetButtonBitmap(HWND hButton, UINT nIDBitmap);
void FreeButtonBitmap(HWND hButton);
// The image nImage (nWidth pixels wide) of bitmap strip nIDBitmap as the image of menu item
// nCommand; the strip's corner colour becomes the menu's background. The bitmaps live as long
// as the program.
BOOL SetMenuItemBitmapFromStrip(HMENU hMenu, UINT nCommand, UINT nIDBitmap, int nImage, int nWidth);

// Index of the icon of a path or name in the system image list (nFlags: SHGFI_* added, for
// example SHGFI_USEFILEATTRIBUTES for names that need not exist); -1 when unknown.
int GetFileIconIndex(LPCSTR lpszPath, UINT nFlags = 0);
// The shell's system image list (small when bSmall); shared, never to be destroyed.
HIMAGELIST GetSystemImageList(BOOL bSmall = TRUE);

// The dropped-files block (CF_HDROP) of the files that text names, one per line: a line's
// path ends at the first ':' after its second character, and a line number "(n)" at its end
// is dropped; paths that do not exist and repeats are left out. NULL when none is left.
HGLOBAL BuildDropFiles(LPCSTR lpszText, int nLength);
// Starts an OLE drag (copy, move or link) of the files named in text (see BuildDropFiles).
// Returns the drop effect, 0 when nothing was dropped or nothing named an existing file.
DWORD DoDragDropFiles(LPCSTR lpszText, int nLength = -1, DWORD dwFlags = 0);
// Starts an OLE drag (copy, move or link) of a dropped-files block, which it takes over and
// frees. Returns the drop effect, 0 when nothing was dropped or hDrop is NULL.
DWORD DoDragDropBlock(HGLOBAL hDrop);
