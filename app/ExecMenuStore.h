// The execution menus in the registry: subkey "Executes" of the application's key holds
// "Menu1".."Menu31", numbered without gaps, each with its "Name" and up to 32 entries
// ("Execute%i", "Param%i", "Dir%i", "Stream%i", "ShellMode%i", "UsePath%i", "NoWait%i",
// "Show%i", "Command%i").
#pragma once
#include <windows.h>

#include <vector>

#include "framework/String.h"

class CStrList;

enum : int {
  kExecMaxMenus = 31,
  kExecMaxEntries = 32,
};

// One entry as stored.
struct ExecEntry {
  CString execute;     // program, "SHELL" (a shell call) or "COMMAND" (a command line)
  CString param;       // parameters, or the command line itself
  CString dir;         // working folder, may begin with "%D" or "%d"
  CString stream;      // text for the program's standard input (backslash escapes)
  CString shellMode;   // the verb of a shell call
  DWORD usePath = 0;   // search the program on the PATH
  DWORD noWait = 0;    // do not wait for the end
  DWORD show = 1;      // 0 hidden, 1 normal, 2 maximised, 3 minimised
  DWORD command = 0;   // the entry is a command line
};

// Appends the names of the defined menus, as stored ('&' included), to names; stops at the
// first missing menu or one without "Name". Returns the number appended.
int ReadExecMenuNames(CStrList& names);
// The number of defined menus (0 when the key is missing).
int CountExecMenus();
// Reads menu index (0-based) into name and entries (stopping at the first missing
// "Execute%i", at most kExecMaxEntries). False when the menu's key cannot be opened.
bool ReadExecMenu(int index, CString& name, std::vector<ExecEntry>& entries);
// Replaces menu index with name and entries (at most kExecMaxEntries are written). False
// when the index is out of range or a key or value cannot be written.
bool WriteExecMenu(int index, const char* name, const std::vector<ExecEntry>& entries);
// Deletes menu index of count menus; the following ones move down by one. False when a key
// cannot be written.
bool DeleteExecMenu(int index, int count);
