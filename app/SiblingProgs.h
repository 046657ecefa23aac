// The sibling programs: where each one is found, and the bounded window-message protocol with
// which a running text or hex tool is told to open a file and show a line or an offset.
#pragma once
#include <windows.h>

#include "system/StartProg.h"

// The programs, with the search order each one is looked up by.
enum SiblingProgram {
  SIBLING_TEXT_TOOL,          // Blenkor, else the system's Notepad
  SIBLING_HEX_TOOL,           // Quorbital
  SIBLING_TEXT_COMPARE,       // Sorbelquist, as the result list looks for it
  SIBLING_TEXT_COMPARE_CMD,   // Sorbelquist, as "Text Vergleichen" looks for it
  SIBLING_FILE_COMPARE,       // Mardenplotz
  SIBLING_FORMATTER,          // Trellobrisant
};

// Wire codes of the protocol.
enum : ULONG_PTR {
  COPYDATA_OPEN_FILE = 0x27F50003,        // open request
  COPYDATA_OPEN_FILE_RETRY = 0x27F50001,  // the same, once more when the first was not taken
};
enum : UINT {
  WM_SIBLING_SHOW_LINE = 0x27F3,
  WM_SIBLING_SHOW_OFFSET = 0x27F4,
};

// Time limits: a sibling that does not get ready or answer must not hold the program up.
enum {
  kSiblingIdleWaitMs = 10000,   // for a started program to wait for input
  kSiblingWindowWaitMs = 10000, // for its main window to appear
  kSiblingSendMs = 4000,        // for one message to be answered
};

// Writes the first existing candidate for program into path (MAX_PATH bytes): the string value
// of the program's name in the application's key (created when missing), then the program's
// fixed places. FALSE (path "") when none exists.
BOOL FindSiblingProgram(int program, char* path);

// The two lParams of WM_SIBLING_SHOW_LINE for a hit on line (counted from 1).
void SiblingLineParams(int line, LPARAM params[2]);
// The two lParams of WM_SIBLING_SHOW_OFFSET for a hit at offset.
void SiblingOffsetParams(int offset, LPARAM params[2]);

// Sends message to window and waits at most kSiblingSendMs. TRUE with the answer in *answer,
// FALSE when the window is gone or did not answer in time.
BOOL SiblingSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* answer);

// Tells the running program of prog to open path (an open request, repeated once with the
// retry code when answered 0), then sends positionMessage (0: none) with wParam 0 and
// params[0], and with wParam 2 and params[1], and brings the program to the front. active is
// the wParam of the open request. Stops at the first message that gets no answer in time.
// TRUE when every message was answered; FALSE when the program has no window or hangs.
BOOL OpenInSibling(CStartProg& prog, HWND active, const char* path, UINT positionMessage, const LPARAM params[2]);

// Starts program (a path found by FindSiblingProgram) on prog after a reset, with argCount
// arguments (each quoted when it needs it), and waits (bounded) until it is ready for input.
// FALSE when it cannot be started.
BOOL StartSibling(CStartProg& prog, const char* program, const char* const* args, int argCount);

// The text compare from a directory-compare line: starts the text-compare program exe on its
// own runner with the listed file and its counterpart, plus "-S" when the listed file's suffix
// is one of "c;cpp;h;hpp;asm;inl" or the counterpart's one of "c;cpp;h;hpp;asm". The program
// goes on running after the call. FALSE when it cannot be started.
BOOL StartSourceCompare(const char* exe, const char* listedFile, const char* counterpart);
