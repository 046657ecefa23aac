// Compares and matchers: byte compares with ASCII case folding and masks, bounded string
// copies and finds, natural-order compares, file-name wildcards, the search-pattern matcher
// and renaming by pattern.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

// Compares length bytes of a and b. Returns 0 when equal, else -1 or 1 by the first
// differing byte (unsigned). fold nonzero folds the ASCII letters only.
int MemCmpCase(const void* a, const void* b, size_t length, int fold);

// Returns 0 when every text byte equals its value byte in all bits set in its mask byte,
// else 1. count 0 gives 0.
int MemCmpMasked(const void* text, const void* value, const void* mask, size_t count);

// Index of the first occurrence of sub (subLength bytes) within the first length bytes of
// text, or -1. An empty sub is found at 0; a negative length or null pointer gives -1.
int StrFindN(const char* text, const char* sub, int length, int subLength);

// Index of the first ch in the NUL-terminated text, or the text's length (ch 0 gives the
// length too). Null text gives 0.
int StrFindCharOrEnd(const char* text, int ch);

// Index just behind the first ch within length bytes that is not escaped (an escape
// character escapes the character after it, so "\\\\" escapes nothing further), or -1.
int StrFindCharEscN(const char* text, int ch, int length, int escape);

// Copies at most size - 1 characters of src and always ends dst with a NUL (size 0 writes
// nothing). Returns the number of characters copied. A null src copies "".
size_t StrLCpy(char* dst, const char* src, size_t size);
size_t StrLCpyW(wchar_t* dst, const wchar_t* src, size_t size);

// Appends src to the text in dst within size bytes and always ends it. Returns the new
// length. When dst holds no NUL within size, its last character becomes the NUL.
size_t StrLCat(char* dst, const char* src, size_t size);
size_t StrLCatW(wchar_t* dst, const wchar_t* src, size_t size);

// Natural-order compares: runs of decimal digits compare by value ("a9" < "a10"); equal
// values with more leading zeros sort behind ("a1" < "a01"); other characters compare as
// unsigned bytes. NoCase folds the ASCII letters. The N form reads at most n characters of
// each text (stopping earlier at a NUL). Results below, at or above 0. Null counts as "".
int StrNaturalCompareA(const char* a, const char* b);
int StrNaturalCompareNoCaseA(const char* a, const char* b);
int StrNaturalCompareNoCaseNA(const char* a, const char* b, size_t n);
int StrNaturalCompareW(const wchar_t* a, const wchar_t* b);
int StrNaturalCompareNoCaseW(const wchar_t* a, const wchar_t* b);

// File-name wildcards, case-insensitive as Windows compares file names: '*' any run of
// characters (dots included), '?' exactly one character. As on Windows, a pattern ending
// in ".*" also matches without that part ("*.*" matches "README"), and a pattern ending in
// a single '.' matches names without a dot ("*." matches "README", not "a.txt").
// Returns 1 on a match, else 0 (null gives 0).
int WildcardMatchA(const char* pattern, const char* name);
int WildcardMatchW(const wchar_t* pattern, const wchar_t* name);

// The same for a list of patterns separated by ';' (blanks and tabs around each pattern are
// ignored, empty entries skipped): returns the 1-based index of the first pattern that
// matches, or 0 when none does. An empty list matches nothing (callers treat an empty
// filter as they see fit).
int WildcardMatchListA(const char* list, const char* name);
int WildcardMatchListW(const wchar_t* list, const wchar_t* name);

// PatternMatch flags.
enum : unsigned {
    PM_FOLD      = 1,   // ASCII letters without regard to case
    PM_ANCHORED  = 4,   // return the length matched from the text's start
    PM_NOT_BOL   = 8,   // the text does not start a line ("\a" fails at its start)
    PM_WORD_PREV = 16,  // the character before the text is a word character
};

// Matches the search pattern (patternLength bytes) against the text (textLength bytes; the
// matcher never reads beyond it). With PM_ANCHORED: the number of bytes that the pattern
// matches from the text's start, 0 when it does not match (an empty match counts as none).
// Without it: 1 when the pattern matches the whole text, else 0. A malformed pattern (a
// construct without its closing delimiter, a bad range, "\&...&" not holding one character)
// matches nothing. The syntax (documented for users in docs/patterns.md):
//   *  any run of characters within the line, as short as possible (at the pattern's end: the
//      rest of the line);  ?  any one character but CR and LF
//   \w a word (word characters, as many as possible)   \z a number: [+-]? (0x hex+ | digits)
//   \_ blanks/tabs (1+)   \- blanks, tabs, CR, LF (1+)   \. blanks/tabs (0+)   \+ blanks, tabs,
//   CR, LF (0+)   \a line start   \e line end   \g word start   \f word end   \q a line break
//   (CR LF, CR or LF)   \m a letter   \p a digit   \o a letter or digit
//   \[set] one character of the set (ranges a-z, escapes)   \(set) the same or nothing
//   \{set} one character not of the set (and not CR or LF)   \<s1,s2> one of the strings
//   (tried in order)   \|s1,s2| a run in which none of the strings begins (sized as '*')
//   \#text# the text (C escapes) or nothing   \&c& the character (C escape)   \$c$ the same
//   or nothing   any other \c: the character c or its C escape ("\\", "\*", "\t", "\x41")
// Runs are greedy but give back characters when the rest of the pattern needs them.
int PatternMatch(const char* pattern, int patternLength, const char* text, int textLength, unsigned flags);
// The same, giving up with 0 once *stop is nonzero (read every few thousand text positions):
// a single call over a line of a gigabyte takes seconds. stop may be null.
int PatternMatch(const char* pattern, int patternLength, const char* text, int textLength, unsigned flags,
                 const std::atomic<long>* stop);

// Tries one search pattern at positions of one line, as the text search does: at every
// position, or behind a match, in growing order. The tries of a line share what they learnt
// (which steps of the pattern died at which text positions), so that all of them together take
// time about line length × pattern length, where trying each position alone could take that
// for each. Each result is PatternMatch's with PM_ANCHORED at that position.
class CPatternLineMatcher {
public:
    CPatternLineMatcher();
    ~CPatternLineMatcher();
    CPatternLineMatcher(const CPatternLineMatcher&) = delete;
    CPatternLineMatcher& operator=(const CPatternLineMatcher&) = delete;

    // Compiles the pattern (fold: ASCII letters without regard to case). Returns false for a
    // malformed pattern, which then matches nothing. Call SetLine afterwards.
    bool Compile(const char* pattern, int length, bool fold);

    // Starts a line: text[lineStart] is its first byte, regionEnd the end of what a match may
    // take (the line's end, or a later line's in a multi-line search). The text must stay
    // unchanged while the line is tried. wordEnd: a match whose last byte and the byte behind
    // it (before regionEnd) are both word characters counts as none.
    void SetLine(const char* text, size_t lineStart, size_t regionEnd, bool wordEnd);

    // Tries the pattern at pos (lineStart <= pos < regionEnd), the flags PM_NOT_BOL and
    // PM_WORD_PREV being those of the position in its line. Returns the end of the match (its
    // offset in text, above pos), or 0: no match, an empty one, one ending inside a word (see
    // wordEnd), a position outside the line, or *stop raised meanwhile (stop may be null; it
    // is read every few thousand text positions). A try at a position below an earlier try's
    // match end starts afresh.
    size_t Try(size_t pos, const std::atomic<long>* stop);

    // How the tries share their work: they keep at most bytes (48 MB unless set; beyond them
    // the rest of a longer line is tried position by position, each try on its own), and only
    // in lines whose region holds fromLength bytes or more (256 unless set). Takes effect with
    // the next SetLine.
    void SetSharing(size_t bytes, size_t fromLength);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// RenameByPattern and RenamePatternToMask flags.
enum : unsigned {
    RBP_COMPUTE           = 1, // compute the new name from the format (else keep the old one)
    RBP_ALLOW_DOTS        = 2, // '.' may stand in the first part of a swap block
    RBP_OUTSIDE_AS_FILTER = 8, // the old name must match the mask of the parts outside the
                               // blocks; in RenamePatternToMask: a block stands as '*'
};

// Builds a new file name from the old one (oldLength bytes) by the format, as Windows "ren"
// does, plus swap blocks (user documentation in docs/patterns.md). Outside the blocks: a
// character is written in place of one old character (an old '.' is not overwritten); '?'
// copies one old character (none at a '.' or the end); '.' writes a '.' and skips the old
// name to behind its next '.'; '*' copies the old name up to the last occurrence of the
// character that follows it in the format (when that does not occur but a '.' of the format
// comes before the next '*', up to the old name's last '.'; to the end when nothing follows),
// or, before a block, up to the first place where the block fits. A block |x|y|
// needs the old name to match x at that place (x with '?', '*' and, with RBP_ALLOW_DOTS,
// '.'; without regard to case) and writes y for it. What remains of the old name is dropped;
// trailing dots and blanks are removed. Returns the new length, or -1 with an empty output
// when the format is bad (a '.' in a first part without RBP_ALLOW_DOTS, '*' or '?' in a
// second part, a block not closed), a block does not fit, the filter does not match, the
// result is empty or not a valid name, or it does not fit into outSize (260) bytes.
int RenameByPattern(const char* format, int oldLength, const char* oldName, char* out, int outSize, unsigned flags);

// Writes the '*'/'?' file mask that the format gives into out (260 bytes): the parts outside
// the blocks as they are, each block as '*' (RBP_OUTSIDE_AS_FILTER) or as its first part,
// runs of '*' joined. Returns 1, or 0 with an empty output for a bad format (as above, dots
// checked by RBP_ALLOW_DOTS) or a mask of 260 characters or more.
int RenamePatternToMask(const char* format, char* out, unsigned flags);
