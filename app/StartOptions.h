// The program's own command-line options: "-p:" plus filter, "-m:" minus filter and "-s" for
// no sub-folders (each also with '/', letters in either case).
#pragma once
#include "framework/String.h"

struct StartOptions {
  CString plus;        // text after "-p:" (empty when not given)
  CString minus;       // text after "-m:"
  bool hasPlus = false;
  bool hasMinus = false;
  bool subDirs = true; // "-s" turns sub-folders off
  // True when the file list is to be filled at start: a plus or a minus filter was given.
  bool FillsList() const { return hasPlus || hasMinus; }
};

// Scans argv[1..argc-1]: an argument counts only when it starts with '-' or '/'; then 'P'/'p'
// or 'M'/'m' followed by ':' gives a filter (the rest of the argument), 'S'/'s' turns
// sub-folders off whatever follows. Anything else is ignored; a later option of the same letter
// overrides an earlier one. Null arguments are skipped.
StartOptions ParseStartOptions(int argc, const char* const* argv);
