// Inserting and deleting lines at the lines a text search found, apart from any window: lines
// split as the search counts them, the edit of one file's lines, and the run over the
// engine's hits that writes each changed file under the user's suffix (or over itself).
#pragma once

#include <string>
#include <vector>

class CStrList;
class CTextSearch;

// Splits the text to insert into its lines (CR LF, CR or LF between them; an empty line gives
// an empty line; a line end at the end starts no further line).
std::vector<std::string> SplitInsertText(const char* text);

struct LineEditRequest {
    bool deleteMode;
    int position;        // line offset from the found line (delete: 0 the found line; insert:
                         // 0 before it, 1 after it)
    int count;           // lines to delete
    const char* text;    // lines to insert
};

// Edits one file's content at the found lines (numbers from 1, any order; a line named twice
// acts once). Lines are split as the text search counts them: CR LF, CR and LF each end one
// line, so LF followed by CR ends two. The lines are numbered as read, so a later found line is
// still found after earlier insertions and deletions; one deleted before is skipped. Deleted
// ranges and insert positions are cut to the file's lines. Inserted lines end with the file's
// line end (that of its first line; LF when it has none), and a last line without one gets it
// before lines that follow it. Returns true when anything changed; out then holds the new
// content.
bool EditFileLines(const unsigned char* data, int size, std::vector<int> lines, const LineEditRequest& request,
                   std::string& out);

// Whether suffix may end a file name: no folder separator, colon, wildcard, quote, angle
// bracket, bar or control character, so the written file stays beside the searched one, and
// not dots and blanks alone, which Windows drops, so that it names another file than the
// searched one. An empty suffix (the file itself) is fine.
bool IsValidNameSuffix(const char* suffix);
// The German message for a suffix that IsValidNameSuffix refuses.
extern const char kBadNameSuffix[];

class CResultStamps;

class CLineEditHost {
public:
    virtual ~CLineEditHost() {}
    // A failure, as a German message. True goes on with the next file, false ends the run.
    virtual bool Fail(const char* message) = 0;
    // Read before each file: true ends the run there; that file is not written.
    virtual bool Stopped() = 0;
    // done hits handled; path the file being handled.
    virtual void Progress(int done, const char* path) = 0;
};

struct LineEditResult {
    int files;        // files written
    bool stopped;     // the host stopped the run, or answered a failure with Cancel
};

// Runs over the engine's hits file by file (names of one file, by the file system's path
// compare, are one file): edits each file's found lines as EditFileLines does and, when
// anything changed, writes the file's path plus suffix (an empty suffix: the file itself)
// through a temporary file that replaces it only when complete. Each file is opened once; one
// of up to 64 MiB is held whole (read, or mapped when large), a larger one streamed twice (its
// lines counted, then copied), so its size is bounded by the disk alone; memory grows with its
// hits. A read-only
// target is reported as not creatable and left alone; so is a file that does not fit in the
// memory left. Every written file is dropped from cache (may be null). A suffix that
// IsValidNameSuffix refuses is reported and nothing is written. With stamps, a file that
// changed since the search is reported and left alone.
LineEditResult RunLineEdit(const CTextSearch& engine, CStrList* cache, const LineEditRequest& request,
                           const char* suffix, CLineEditHost& host, const CResultStamps* stamps = nullptr);
