// Helpers for driving Vellmorant itself: where the program is, its main window, the file
// list's settled contents and the registry key it keeps its settings in.
#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "e2e/support/E2eDriver.h"

namespace e2e {

extern const char kAppKey[];   // "Software\QV\Vellmorant"

// The program built beside the tests: <build>\app\Vellmorant.exe.
std::string ProgramPath();
// The main window: visible, with a menu, its caption ending in "Vellmorant".
HWND WaitMain(Process &p, DWORD timeoutMs = 20000);
// Waits until no file scan runs (no "Dateisuche" window) and the list's count holds still;
// returns the count.
int SettledCount(Process &p, HWND list, DWORD timeoutMs = 30000);
// The names (first column, without folders) of the list's entries.
std::set<std::string> ListNames(HWND list);
std::string Quote(const std::string &s);
// A tree's root without its trailing separator, as the program shows folders.
std::string Folder(const TempTree &t);
// Closes the main window and waits for the program to end.
bool CloseMain(Process &p, HWND main);
// The entries of a multi-string block.
std::vector<std::string> MultiString(const std::string &block);
// The result list's lines, read through its line message with a buffer in the program.
std::vector<std::string> ResultLines(Process &p, HWND results);
// Waits for a message box of the program with the caption, answers it with button and
// returns its text ("" when none came).
std::string AnswerMessageBox(Process &p, const char *caption, int button = IDOK);

}  // namespace e2e
