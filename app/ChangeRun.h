// One run of the change command over the hits of a search engine: files one after another,
// each file's hits in ascending position; text hits through a new file that replaces the old
// one only when complete, value hits overwritten in place. No window code: the caller's host
// asks the questions, reports failures and progress, and says when to stop.
#pragma once

#include "app/ChangeEdit.h"

class CHexSearch;
class CResultStamps;
class CStrList;
class CTextSearch;

class CChangeHost : public CChangeAsker {
public:
    // A failure, as a German message. True (OK) goes on, or ends a text run after an open or
    // create error; false (Cancel) ends the run without the closing message.
    virtual bool Fail(const char* message) = 0;
    // Read before each file: true ends the run there.
    virtual bool Stopped() = 0;
    // The file about to be handled (index among files).
    virtual void Progress(int index, int files, const char* path) = 0;
};

struct ChangeRunResult {
    int changes;    // changes written
    int files;      // files written
    bool aborted;   // a failure ended the run (no closing message)
};

// Text hits: each file with a hit is read, rewritten to "<file>.vellmorant.tmp" with its hits
// changed by request, and replaced by it; a file in which nothing changed is left alone. Names
// of one file (by the file system's path compare) are one file, and hits at the same position
// one change. ask: the host is asked before each change. A file that cannot be opened, or whose
// temporary file cannot be created, ends the run: aborted when the host answers false. Every
// written file is dropped from cache (may be null); the hits of a written file point at their
// found texts in the new content. With stamps, a file that changed since the search is reported
// and left alone, and a written file's new stamp is noted.
ChangeRunResult RunTextChange(CTextSearch& engine, CStrList* cache, const ChangeRequest& request, bool ask,
                              CChangeHost& host, CResultStamps* stamps = nullptr);

// Value hits: request.count bytes of request.bytes written over each hit's offset (cut at the end of
// the file; an offset outside the file is skipped), each file and offset once; files keep their
// length. A file that cannot be opened is reported: true goes on with the next. stamps as above.
ChangeRunResult RunValueChange(CHexSearch& engine, CStrList* cache, const ChangeRequest& request, CChangeHost& host,
                               CResultStamps* stamps = nullptr);

// The closing message's text for a count ("Es wurden %i Änderungen durch geführt.").
void FormatChangeCount(char* buffer, int size, int changes);
