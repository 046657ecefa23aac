// The directory compare apart from its windows: the listed files below a folder and their
// common folder, the result lines with their kinds, the job that compares the listed files
// with their counterparts below a second folder, and the two files that a result line names.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/Framework.h"

class CDirList;
class CStrList;

// What the compare reports (the job's flag word).
enum : int {
    DCF_CHANGED = 1,            // content or length
    DCF_ATTRIBUTES = 2,         // read-only, hidden, system, archive
    DCF_DELETED = 4,            // listed files without a counterpart
    DCF_ADDED = 8,              // files only below the compare path
    DCF_IGNORE_LINE_ENDS = 16,  // CR LF, LF and CR count as equal
};

// The kind of a result line (its item word).
enum : int { DCK_CONTENT = 0, DCK_ATTRIBUTES = 1, DCK_MISSING = 2, DCK_NEW = 3, DCK_OPEN_FAILED = 4 };

// The job stops adding lines for listed files at this count.
enum { kDirCompareLineLimit = 4096 };

// Appends "path", blanks up to the next column 16 * k + 17 (17 - length % 16 of them), then
// text, to lines (4-byte item data) with kind as its item word. Returns the new index.
int AddDirCompareLine(CStrList& lines, const char* path, const char* text, int kind);

// ":" and a token for each of hidden, read-only, system and archive that differs, in that
// order ("HIDDEN+" when the counterpart has the mark, "HIDDEN-" when it lacks it, likewise
// "RONLY", "SYSTEM", "ARCHIVE"); "" when none differs.
CString AttributeChangeText(DWORD listed, DWORD counterpart);

// The folder (ending with '\') that the first count entries of files share: the folder of the
// first, shortened to the longest prefix ending with a separator that each further entry's
// folder starts with (without case, '/' equal to '\'). "" when they share none.
CString CommonFolderOf(CDirList& files, int count);

// The job's input: entries 0 to 3 are path and compare path (each ending with '\'), plus and
// minus filter; then every one of the first count listed files whose full path continues
// below path (compared without case), with every '/' made '\' and its size's low 32 bits as
// item word. *pSizeSum gets the 64-bit sum of their sizes. Returns the number of listed files
// left out because they lie elsewhere.
int BuildDirCompareInput(CDirList& files, int count, const char* path, const char* comparePath, const char* plus,
                         const char* minus, CStrList& input, uint64_t* pSizeSum);

// How the job reports: bytes dealt with and the file it now compares (worker thread).
typedef void (*DirCompareProgressFn)(void* context, uint64_t bytesDone, const char* path);

// Compares the listed files of input (see BuildDirCompareInput) with their counterparts, as
// flags asks, appending result lines to lines. Files only below the compare path come first
// (without limit); then each listed file in order until *cancel (cancel may be null) turns
// nonzero or the lines reach kDirCompareLineLimit; a file whose compare a cancel cut short
// gives no line. Reader threads examine the next files meanwhile; they are gone on return.
// progress (may be null) hears of the first file, then at most every 100 ms, and at the end
// (path null). Returns 1 when a counterpart existed or DCF_DELETED is set, else 2.
int RunDirCompare(const CStrList& input, int flags, CStrList& lines, volatile LONG* cancel,
                  DirCompareProgressFn progress, void* context);

// The two files of a result line of kind DCK_CONTENT: counterpart = the line up to the ':'
// that follows comparePath's length, less the blanks before it (it starts with comparePath);
// listed = basePath followed by the counterpart's part after comparePath. False (both empty)
// when the line does not start with comparePath or holds no such ':'.
bool DirCompareLineFiles(const char* line, const char* basePath, const char* comparePath, CString& listed,
                         CString& counterpart);
