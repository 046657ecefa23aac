// The conversions of the listed files apart from their windows: tab widths, the OEM
// ("ASCII") and ANSI code pages, and Unix and Windows line ends. A file is rewritten only when
// its content changes, through a temporary file that replaces it when complete; read-only
// files are left alone. The tab and code-page conversions stream the file in blocks of 1 MiB,
// comparing the new content with the old on the way, so its size is not bounded by memory.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CDirList;
class CStrList;

// What became of one file.
enum {
    CONVERT_DONE = 1,         // rewritten with the converted content
    CONVERT_UNCHANGED = 0,    // nothing to convert: the file was not touched
    CONVERT_SKIPPED = -1,     // read-only, or too large for its conversion
    CONVERT_FAILED = -2,      // the new content could not be written (the file is as it was)
    CONVERT_CANCELLED = -3,   // cancelled within the file (the file is as it was)
    CONVERT_NO_MEMORY = -4,   // not enough memory for the file (the file is as it was)
    CONVERT_NOT_OPENED = -5,  // the file could not be opened: another program holds it, or it is gone
};

// The largest file that the line-end conversion takes (4 MiB).
const uint32_t kLineEndSizeLimit = 4194304u;

// The widths for the tab job from the tab dialog: the old width clamped to 1..255, the new
// one to 0..255 (0 or below: blanks only), and "blanks only" makes the new width 0. False when
// there is nothing to do (equal widths without blanks to tabs).
bool PrepareTabWidths(int oldWidth, int newWidth, bool compress, bool onlySpaces, int* pOld, int* pNew);

// Re-tabs one line (length bytes, without its end) from tab stops every oldWidth columns to
// tab stops every newWidth columns (0: blanks only), appending it and CR LF to out. With
// compress, runs of blanks that reach a new tab stop become tabs too. Whitespace at the end
// of the line is dropped. oldWidth below 1 counts as 1.
void ConvertTabsLine(const char* line, size_t length, int oldWidth, int newWidth, bool compress, std::string& out);

// Line ends of data converted to CR LF (style 0) or LF (style 1), appended to out: a lone CR
// and (style 0) a lone LF become the style's line end, CR LF becomes LF (style 1). Returns
// the number of line ends changed.
int ConvertLineEnds(const char* data, size_t length, int style, std::string& out);

// Reports the bytes of the file dealt with so far (worker thread), and tells whether the user
// cancelled.
struct ConvertMonitor {
    volatile LONG* cancel;                                 // nonzero: stop (null: never)
    void (*progress)(void* context, uint64_t fileBytes);   // null: none
    void* context;
    bool Cancelled() const { return cancel && *cancel; }
};

// One file each; the result is one of CONVERT_*. The tab conversion checks the monitor's
// cancel at each line end and each block, and reports progress every 8192 bytes or more;
// the others do neither. An allocation failure comes back as CONVERT_NO_MEMORY.
int ConvertTabsFile(const char* path, int oldWidth, int newWidth, bool compress, const ConvertMonitor& monitor);
// direction 0: OEM to ANSI, 1: ANSI to OEM; every byte, line ends included.
int ConvertCodePageFile(const char* path, int direction);
// style 0: CR LF, 1: LF. Files larger than kLineEndSizeLimit are skipped.
int ConvertLineEndsFile(const char* path, int style);

// The three jobs over the file list.
enum ConvertKind { CONVERT_TABS = 0, CONVERT_CODE_PAGE = 1, CONVERT_LINE_ENDS = 2 };

// Whether a file's result counts as converted in the closing message: a file that is right as
// it is counts for the tab and code-page conversions; the line-end conversion counts only the
// files it rewrote.
bool ConvertCounts(int kind, int result);

// A file that could not be converted for a reason the user must hear of.
struct ConvertFailure {
    std::string path;
    int result;   // CONVERT_FAILED, CONVERT_NO_MEMORY or CONVERT_NOT_OPENED
};

struct ConvertJobData {
    int kind;                           // ConvertKind
    int value;                          // old tab width, direction or line-end style
    int newWidth;                       // tabs: new width (0: blanks only)
    bool compress;                      // tabs: blanks to tabs
    CDirList* files;
    const std::vector<int>* indices;    // the entries to convert, each file once (DirListDistinctFiles)
    CStrList* cache;                    // the file cache, whose entries of rewritten files are dropped
    volatile LONG* cancel;
    // Worker thread: the file now converted (its index), and overall progress as a share of
    // range of the listed files' total size.
    void (*progress)(void* context, int index, int64_t position);
    void* context;
    std::vector<ConvertFailure>* failures;   // filled with the files that failed (may be null)
};
enum { kConvertProgressRange = 1024 };

// Converts the given files until cancelled (before the next file). Returns the number of files
// that count as converted (ConvertCounts).
int RunConvertJob(const ConvertJobData& job);

// The closing message: "Es wurden %i von %i Dateien konvertiert.", then the failed files with
// their reasons (at most 20, then how many more).
std::string FormatConvertMessage(int converted, int files, const std::vector<ConvertFailure>& failures);
