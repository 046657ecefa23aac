// The result list's contents apart from its window: the coloured lines of both searches, the
// path of a result line, the files that the results name, the order of directory-compare
// lines, and the compare of two files that takes differing line ends as equal.
#pragma once

#include <windows.h>

#include "system/StrList.h"

class CTextSearch;
class CHexSearch;

// What the result list holds.
enum ResultKind { RESULTS_TEXT = 0, RESULTS_HEX = 1, RESULTS_OTHER = 2 };

// Size of a result line buffer (with its NUL) and the column at which a hit's text starts.
enum { kResultLineSize = 1024, kResultColumn = 32 };

// The line shown when a search found nothing.
extern const char kNoResultsLine[];

// Result line of text hit index: the engine's line (path, "(line): ", blanks to the column,
// the found line) with every tab made a blank, into line (kResultLineSize bytes), and one
// palette index per character into colors (kResultLineSize bytes), the content coloured by the
// file's suffix. Returns the length; 0 for an index out of range.
int BuildTextResultLine(const CTextSearch& engine, int index, char* line, unsigned char* colors);
// The same for value hit index (path, "(offset): ", blanks, the hex dump).
int BuildHexResultLine(const CHexSearch& engine, int index, char* line, unsigned char* colors);

// Makes the result lines of one engine's text hits, each the same as BuildTextResultLine's,
// faster when consecutive hits share a file: the file's part of the line (its path and the
// path's colours, the syntax of its suffix) is worked out once for such a run of hits. The
// engine must outlive the maker and not change while it is used.
class CTextResultLineMaker {
public:
    explicit CTextResultLineMaker(const CTextSearch& engine) : m_engine(engine) {}
    // Result line and colours of hit index as BuildTextResultLine(engine, index, line, colors)
    // gives them (line and colors: kResultLineSize bytes each). Returns the length; 0 for an
    // index out of range.
    int Build(int index, char* line, unsigned char* colors);

private:
    void TakeFile(int name);

    const CTextSearch& m_engine;
    int m_name = -1;          // the names-list index of the file kept below; -1 none yet
    bool m_fast = false;      // its lines can be put together from the kept parts
    int m_syntax = 0;
    int m_pathLength = 0;
    char m_path[kResultLineSize];   // the path, tabs made blanks
    unsigned char m_pathColors[kResultLineSize];
};

// Line index of the directory-compare lines with every tab made a blank (cut to
// kResultLineSize - 1 bytes) and its colours (ColorDirCompareLine). Returns the length; 0 for
// an index out of range.
int BuildDirCompareLine(const CStrList& lines, int index, char* line, unsigned char* colors);

// The file path that a result line names, into out (size bytes, terminated): the text up to
// the first ':' (from index 2 when the line starts with a letter and ':'), less a trailing
// "(digits)"; for directory-compare lines (dirCompare) also less the blanks, tabs and line ends
// before that ':'. A line without ':' counts whole. Returns the length written (0 for an empty
// path, or when it does not fit).
int ResultLinePath(const char* line, int length, bool dirCompare, char* out, int size);

// Fills out (emptied first; no item data needed) with every file that the results of kind name,
// once each (ASCII case folded) and sorted that way: the paths of the text hits (RESULTS_TEXT),
// of the value hits (RESULTS_HEX), or the paths of the directory-compare lines (RESULTS_OTHER,
// the lines of dirLines longer than two characters). resultCount 0 gives an empty list.
// Returns the number of paths.
int CollectResultFiles(int kind, int resultCount, const CTextSearch* text, const CHexSearch* hex,
                       const CStrList* dirLines, CStrList& out);

// Order of directory-compare lines ("path<blanks>:text"): by folder, name, rest; by name,
// folder, rest; by the name's suffix, folder, name, rest. Folders, names and suffixes compare
// naturally without case (over the shorter length, then by length), the rest naturally.
int CompareDirLinesByPath(const CStrList* list, int a, int b);
int CompareDirLinesByName(const CStrList* list, int a, int b);
int CompareDirLinesByType(const CStrList* list, int a, int b);

// Sorts directory-compare lines by column (0 path, 1 name, 2 type). *pColumn and *pDirection
// hold the last sort (column -1: none): the same column again flips the direction, another
// column starts ascending. Returns 1, or 0 for an unknown column (nothing changed).
int SortDirCompareLines(CStrList& lines, int column, int* pColumn, int* pDirection);

// Compares two files, taking every line end (CR LF, LF or CR) as equal to every other.
// Returns 0 when equal; otherwise nonzero: the difference of the first differing bytes (as
// signed bytes), 1 when b ends first or cannot be read while a can, -1 when a ends first or
// cannot be read. Files of any size are read in blocks; once *stop (if given) turns nonzero,
// reading fails and the result means nothing. *unreadable (if given): 1 or 2 when the answer
// came from file a or b failing to open or read, else 0.
int CompareFilesIgnoringLineEnds(const char* pathA, const char* pathB, const volatile LONG* stop = nullptr,
                                 int* unreadable = nullptr);
