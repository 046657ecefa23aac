// The result list's popup menu and the search text that the list's selection gives.
#pragma once
#include <windows.h>

#include "framework/Framework.h"
#include "toolkit/ColorListBox.h"

// The popup of the result list: copy, copy path, select all, search the selected text, then
// the three sorts. textSel is the list's text-selection kind (0 none, 1 within one line,
// 2 over several), lineSel the selected line (-1 none), empty whether the list has no lines,
// noResults whether the current results are empty. -> the menu (DestroyMenu frees it), or
// null when no menu could be made.
HMENU BuildResultMenu(int textSel, int lineSel, bool empty, bool noResults);

// The text that a search started from the result list begins with: the selected text when the
// selection lies within one line. FALSE (text empty) otherwise.
BOOL SelectedSearchText(CColorListBox& list, CString& text);
