// The search commands apart from their windows: the option word of the text-search dialog
// turned into engine flags, the jobs that run the engines over the file list or a path list on
// a worker thread, and the progress that their timer shows.
#pragma once

#include <stdint.h>

class CDirList;
class CHexSearch;
class CStrList;
class CTextSearch;

// Option bits of the text-search dialog ("Flags" under "TextSeach").
enum : unsigned {
    TSO_IGNORECASE = 0x10,   // "&Groß/Kleinschreibung ignorieren"
    TSO_WHOLEWORDS = 0x80,   // "Ganze &Wörter suchen"
    TSO_PATTERN = 0x100,     // "&Regulärer Ausdruck"
    TSO_MULTILINE = 0x200,   // "Muli-Line Suche"
    TSO_INRESULTS = 0x400,   // "In Ergebnisliste suchen"
    TSO_ALL = 0x790,
};

// Engine flags (CTextSearch::IgnoreCase ...) for the dialog's options; the pattern flag only
// when the text holds '*', '?' or '\'. Multi-line is passed as it stands.
unsigned TextSearchEngineFlags(unsigned options, const char* text);

// The number of further lines of a multi-line match, bounded to 0..255.
int ClampSearchLines(int64_t lines);

// What a text-search job needs; the command fills it on the user-interface thread.
struct TextSearchJobData {
    CTextSearch* engine;
    CStrList* cache;          // the view's file cache
    uint32_t cacheSize;       // bytes; 0 = no cache
    const char* text;
    unsigned flags;           // engine flags
    int lines;                // further lines of a multi-line match (bounded to 0..255)
    const CStrList* paths;    // the files of the previous results, or null for the file list
    CDirList* files;          // the file list
};

// The text-search job (worker thread): the cache upkeep, the engine's cache, cache limit and
// lines, then the search over the path list when there is one, else over the file list.
// Returns the number of hits added.
int RunTextSearchJob(const TextSearchJobData& job);

// What a value-search job needs.
struct HexSearchJobData {
    CHexSearch* engine;
    CStrList* cache;
    uint32_t cacheSize;
    const char* group;        // the group string
    int flags;                // CHexSearch::InOrder or 0
    CDirList* files;
};

// The value-search job (worker thread): cache upkeep, cache and limit, then the group search
// over the file list. Returns the number of hits added.
int RunHexSearchJob(const HexSearchJobData& job);

// The progress a search's timer last showed (one per search kind, process-wide).
struct SearchProgressState {
    int64_t position = -1;    // progress value last set
    long fileIndex = -1;      // file index last shown
    long hitCount = -1;       // hit count last shown
};

// One timer tick: what changed since the last tick. The state is updated as if shown.
struct SearchProgressTick {
    bool setPosition;         // position is new (never with a total of 0)
    int64_t position;         // (bytes done + position in the file) * range / total
    bool setFile;             // fileIndex is new
    long fileIndex;
    bool setCount;            // hitCount is new
    long hitCount;
};
SearchProgressTick StepSearchProgress(SearchProgressState& state, uint64_t bytesDone, long filePosition,
                                      uint64_t totalBytes, int64_t range, long fileIndex, long hitCount);

// Turns a cancel into the engines' stop flags (every tick while the cancel flag is set).
void StopTextSearch(CTextSearch& engine);
void StopHexSearch(CHexSearch& engine);

// The status-pane text of a result count ("%i Einträge") into buffer (size bytes).
int FormatResultCount(char* buffer, int size, int count);

// The message shown when a search reached the result limit.
extern const char kTooManyResults[];
