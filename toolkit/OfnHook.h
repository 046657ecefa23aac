// The enhancement of the standard file dialogs: every open and save dialog of a module starts
// in the folder last used with the same file type, and remembers the folder chosen. The
// folders live as multi-strings "OfnList" plus the filter's extension ("OfnListtxt") in the
// application's key, newest first, at most 16.
#pragma once
#include "framework/Framework.h"

// Routes the module's GetOpenFileNameA / GetSaveFileNameA (NULL: the program's own module)
// through the enhancement. TRUE when at least one of them was routed.
BOOL InstallOfnHook(HMODULE hModule = nullptr);

// The value name for a dialog: "OfnList" plus the extension of the first pattern of the chosen
// filter ("*.txt;*.log" -> "OfnListtxt"); a pattern without a plain extension ("*.*") adds nothing.
CString OfnHistoryValueName(const OPENFILENAMEA* ofn);
// The newest remembered folder of value that still exists, or "".
CString OfnInitialFolder(LPCSTR lpszValue);
// Puts the folder at the front of value's list.
BOOL OfnRememberFolder(LPCSTR lpszValue, LPCSTR lpszFolder);
