// The search for files of identical content among listed files: candidates of equal size are
// compared byte for byte, each identical pair goes to the caller, who keeps both or has one
// deleted. Two entries that name one file (the same path twice, or two names of one file) never
// pair, so that the only copy is never offered for deletion.
#pragma once

class CStrList;

// Answers to a pair.
enum { IDENT_KEEP = 1, IDENT_DELETE_UPPER = 2, IDENT_DELETE_LOWER = 3 };

// What the search reports; every call comes on the searching thread.
class CIdenticalSink {
public:
  virtual ~CIdenticalSink() {}
  // True when the search must end.
  virtual bool Stopped() = 0;
  // File number (1-based) of count is compared with its candidates.
  virtual void Current(int number, int count) = 0;
  // Files up to number (1-based) are done.
  virtual void Done(int number) = 0;
  // An identical pair, upper sorting first by path. -> IDENT_*, or 0 when the search stops.
  virtual int Pair(const char* upper, const char* lower) = 0;
  // The chosen file could not be deleted; returns when the user has seen it.
  virtual void DeleteFailed(const char* path) = 0;
};

// Makes a list of paths (4-byte sizes as item data, -1 for unknown) ready for the search: a
// path listed again (compared as the file system does) is removed, unknown sizes are read,
// entries that have none (folders, missing files) removed, and the rest sorted by size
// (stable: list order among equal sizes).
void IdenticalPrepare(CStrList& files);
// Searches the prepared list: each file in list order against every later file of its size,
// a pair offered when both still have the listed size and equal bytes. A file chosen for
// deletion leaves the list, also when it could not be deleted (the sink is told so first).
// Returns the number of pairs found.
int IdenticalSearch(CStrList& files, CIdenticalSink& sink);
