// The program started on a folder with every file listed, for the tests of the commands that
// act on search results: runs a search and waits for it, and answers the program's dialogs and
// message boxes by caption and text.
#pragma once
#include <windows.h>

#include <string>

#include "e2e/support/AppSession.h"
#include "e2e/support/E2eDriver.h"

namespace e2e {

enum { kCmdTextSearch = 32772, kCmdHexSearch = 32773 };

struct CommandSession {
  // Starts the program on the tree ("-p:*") and waits until the file list holds files entries.
  bool Start(const TempTree &tree, int files);
  // Starts the program with the command line args and waits until the file list holds files
  // entries.
  bool StartWith(const std::string &args, int files);
  // Waits for a dialog of the program with the caption whose last non-empty static holds text
  // (empty: any), puts that static's text into *shown and closes the dialog with button.
  bool Answer(const char *caption, const std::string &text, int button, std::string *shown = nullptr);
  // A text (kCmdTextSearch) or value search for text typed into its dialog; returns when the
  // search has ended and the program answers again.
  bool Search(int command, const std::string &text);
  // Posts a command and waits for the dialog with the caption.
  HWND Open(int command, const char *caption);
  // Line index of one of the program's colour lists, read into the program's memory.
  std::string LineText(HWND list, int index);

  Process p;
  HWND main = nullptr;
};

}  // namespace e2e
