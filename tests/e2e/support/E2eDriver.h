// End-to-end driver: starts a program, finds its windows and dialogs, drives them only through
// window messages, and reads back what a user would see (texts, list counts, status panes).
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "common/TempTree.h"

namespace e2e {

// Folder of the running test executable, with a trailing backslash.
using testcommon::ExeDir;

// A fresh empty folder under the temporary folder; removed again by the destructor.
class TempTree {
 public:
  explicit TempTree(const std::string &tag);
  ~TempTree();
  TempTree(const TempTree &) = delete;
  TempTree &operator=(const TempTree &) = delete;
  const std::string &Root() const { return root_; }
  // Writes a file below the root (folders are created); returns its full path.
  std::string Write(const std::string &relPath, const std::string &content);
  std::string Path(const std::string &relPath) const { return root_ + relPath; }
 private:
  std::string root_;
};

// Removes a registry key with everything below it (HKCU). Missing keys are fine.
void DeleteUserKey(const char *path);
// Reads a value under HKCU; false when missing. Strings come without their terminator;
// multi-strings come as their NUL-separated block.
bool ReadUserValue(const char *keyPath, const char *name, std::string *out, DWORD *type = nullptr);
bool ReadUserDword(const char *keyPath, const char *name, DWORD *out);

// One started program. The destructor ends it when it still runs.
class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process &) = delete;
  Process &operator=(const Process &) = delete;
  // Starts exe with the given argument text (appended after the quoted exe path).
  bool Start(const std::string &exe, const std::string &args, const std::string &workDir = "");
  DWORD Pid() const { return pid_; }
  HANDLE Handle() const { return process_; }
  // Waits for the first visible top-level window of the process (skipping "IME" windows),
  // optionally of the given class; nullptr after the time-out.
  HWND WaitMainWindow(DWORD timeoutMs, const char *className = nullptr);
  // Waits for the process to end; false after the time-out.
  bool WaitExit(DWORD timeoutMs, DWORD *exitCode = nullptr);
  void Kill();
 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// Finds a visible top-level window of the process whose caption is exactly the text.
HWND FindTopWindow(DWORD pid, const char *caption, const char *className = nullptr);
// Polls FindTopWindow until the time-out.
HWND WaitTopWindow(DWORD pid, const char *caption, DWORD timeoutMs, const char *className = nullptr);
// Polls for a visible top-level window of the process whose caption ends with the text (an
// empty suffix matches any caption); nullptr after the time-out.
HWND WaitTopWindowSuffix(DWORD pid, const std::string &suffix, DWORD timeoutMs, const char *className = nullptr);
// True while a job holds the program without a window: its main window is disabled and no
// other window of the process shows (a progress window shows only after a moment).
bool JobRunsUnseen(DWORD pid, HWND main);
// Polls until the window is gone (destroyed or hidden); false after the time-out.
bool WaitWindowGone(HWND hwnd, DWORD timeoutMs);

// Window texts through WM_GETTEXT / WM_SETTEXT (marshalled between processes by the system).
std::string GetText(HWND hwnd);
bool SetText(HWND hwnd, const std::string &text);
// Posts a button click (BM_CLICK) to control id of a dialog.
void ClickButton(HWND dialog, int id);
// Posts WM_COMMAND with the id (as from a menu or accelerator).
void PostCommand(HWND hwnd, int id);
// Check box state of a dialog control.
int GetCheck(HWND dialog, int id);
void SetCheck(HWND dialog, int id, bool on);

// List-view (report list) contents of another process.
int ListViewCount(HWND list);
std::string ListViewText(HWND list, int item, int subItem);
// Status bar pane text of another process.
int StatusBarParts(HWND bar);
std::string StatusBarText(HWND bar, int pane);
// List box lines (LB_GETTEXT is marshalled by the system).
int ListBoxCount(HWND box);
std::string ListBoxText(HWND box, int index);

// Combo box entries (CB_GETLBTEXT is marshalled by the system).
int ComboCount(HWND combo);
std::string ComboText(HWND combo, int index);
// True when the window's thread answers a message within the time-out.
bool Responds(HWND hwnd, DWORD timeoutMs = 2000);
// Polls fn until it returns true; false after the time-out.
bool WaitFor(const std::function<bool()> &fn, DWORD timeoutMs, DWORD stepMs = 50);

// Sends a message whose lParam points to size bytes of data: copied into the window's process,
// and back again after the answer. -1 when the memory cannot be had.
LRESULT SendWithBuffer(HWND hwnd, UINT msg, WPARAM wParam, void *data, size_t size);

// Sends WM_COPYDATA from a hidden window of the test; returns the receiver's answer.
LRESULT SendCopyData(HWND target, ULONG_PTR code, const void *data, DWORD size, DWORD timeoutMs = 5000);

// The child windows of a window whose control id is id (first match, depth-first).
HWND FindChildById(HWND parent, int id);

// Lines of a stand-in's log file (empty when missing).
std::vector<std::string> ReadLines(const std::string &path);

}  // namespace e2e
