// The change of found entries apart from any window: the new bytes from the user's input, how a
// found text splits into kept and replaced parts by mode, the rewrite of one file's bytes with
// its hits changed, and the two lines that the query shows.
#pragma once

#include <cstddef>

// Change modes, in the order of the change dialog's radio group.
enum {
    CHANGE_REPLACE = 0,     // the new text in place of the found text
    CHANGE_UPTO_FIXED = 1,  // the first <offset> bytes replaced
    CHANGE_FROM_FIXED = 2,  // everything from <offset> on replaced
    CHANGE_UPTO_TEXT = 3,   // the part the offset pattern matches replaced
    CHANGE_FROM_TEXT = 4,   // everything after the part the offset pattern matches replaced
};

// Answers of the query before a change.
enum { CHANGE_ANSWER_YES, CHANGE_ANSWER_NO, CHANGE_ANSWER_ALL, CHANGE_ANSWER_STOP };

// Room for the new bytes.
enum { CHANGE_MAX_BYTES = 260 };

// What one run writes.
struct ChangeRequest {
    int mode;                    // CHANGE_*
    const unsigned char* bytes;  // the new bytes
    int count;                   // their number
    int offset;                  // the offset number (modes 1 and 2)
    const char* pattern;         // the offset text (modes 3 and 4)
    int patternLength;
    bool ignoreCase;             // the pattern folds ASCII letters
};

// A found text split into kept prefix, replaced part and kept suffix (summing to its length).
struct ChangeParts {
    int prefix;
    int replaced;
    int suffix;
};

// The offset text read as a signed decimal number: leading blanks and tabs, an optional sign,
// digits; 0 when there are none.
int ParseChangeOffset(const char* text);

// The new bytes of a text change into out (CHANGE_MAX_BYTES, zero-filled first): with special
// characters the text decoded as a C literal whose leading '"' is an ordinary character,
// else the text as it is (at most CHANGE_MAX_BYTES - 1 bytes). Returns the byte count.
int PrepareChangeText(const char* text, bool specialChars, unsigned char* out);

// The new bytes of a value change into out (CHANGE_MAX_BYTES, zero-filled first), parsed as the
// value search parses its input; numbers as 4 bytes, least significant first, negative ones in
// two's complement. In mode 1 a positive offset sets the count: the offset when at most
// CHANGE_MAX_BYTES, else 4. Returns the count; 0 with *error set to a German message for an
// empty input or one with a mask.
int PrepareChangeValue(const char* text, int mode, int offset, unsigned char* out, const char** error);

// How request splits the found text (length bytes, length >= 0).
ChangeParts SplitFoundText(const ChangeRequest& request, const char* found, int length);

// Where the query's context lies around found text [pos, pos + length) of data: *before gets
// the start of up to 32 bytes before it back to (not including) the nearest CR or LF, *after
// the end of up to 32 bytes after it up to the next CR or LF.
void ChangeContext(const unsigned char* data, int size, int pos, int length, int* before, int* after);

// Builds a query line from five pieces (context before, kept prefix, changed part, kept suffix,
// context after), each cut to the room left in size - 1 bytes; bytes 0 to 31 show as blanks.
// colors gets one index per character: 5 over prefix, changed part and suffix, 4 over the
// changed part, 0 elsewhere. text is terminated. Returns the length.
int BuildChangeQueryLine(const unsigned char* const pieces[5], const int lengths[5], char* text,
                         unsigned char* colors, int size);

// One hit of a file: its position and length, replaced by where its found text (changed or
// not) stands in the new bytes.
struct ChangeHit {
    int pos;
    int length;
};

// Receives the new file's bytes. Write returns false when they could not be written.
class CChangeOutput {
public:
    virtual ~CChangeOutput() {}
    virtual bool Write(const void* data, size_t length) = 0;
};

// Asks before a change; returns CHANGE_ANSWER_*.
class CChangeAsker {
public:
    virtual ~CChangeAsker() {}
    virtual int Ask(const unsigned char* data, int size, int pos, int length, const ChangeParts& parts) = 0;
};

// Writes data (size bytes) with its hits changed by request to out. hits (count) must stand in
// ascending order of position; a hit that starts inside an earlier found text is trimmed to
// start behind it, every found text is cut at the end of the data, and a hit left without
// bytes is not changed. asker (null: change all) is asked before each change; after a stop
// answer the remaining hits stay unchanged and *stopped is set. Returns the number of
// changes, or -1 when a write failed (the hits are then undefined).
int RewriteFileHits(const unsigned char* data, int size, ChangeHit* hits, int count, const ChangeRequest& request,
                    CChangeOutput& out, CChangeAsker* asker, bool* stopped);
