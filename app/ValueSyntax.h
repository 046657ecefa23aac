// The value syntax of the value search: how an input text (number, text, hex dump, hex dump
// with mask) is recognised, parsed into bytes and printed again, and the group term lines
// built from an input and read back for editing. No window code: the engine and the tests
// link it without the dialog.
#pragma once

#include <windows.h>

#include <cstdint>

// Value kinds, in the order of the dialog's radio group.
enum {
    VALUE_NONE = -1,  // empty input
    VALUE_DEC = 0,    // decimal number
    VALUE_HEX = 1,    // "0x" number
    VALUE_BIN = 2,    // "0b" number
    VALUE_OCT = 3,    // "0o" number
    VALUE_TEXT = 4,   // C-style literal (quoted or not)
    VALUE_DUMP = 5,   // ":" and hex bytes
    VALUE_MASK = 6,   // ":" and hex bytes with '?' nibbles, '#' bit bytes or a ':' mask part
};

// Widths, in the order of the dialog's radio group.
enum { WIDTH_BYTE = 0, WIDTH_WORD = 1, WIDTH_DWORD = 2, WIDTH_VARIABLE = 3 };

// Option bits of the value search (the dialog's option word) that shape a term.
enum : unsigned {
    VSO_UP = 1,           // direction "Aufwärts"
    VSO_SELECTION = 2,    // only in the marked range
    VSO_WHOLE = 4,        // whole memory
    VSO_NOCASE = 8,       // ignore case (text)
    VSO_GROUP = 16,       // group mode
    VSO_ORDER = 32,       // group terms in order
    VSO_FROMSTART = 64,   // from the start
    VSO_UNICODE = 128,    // text as UTF-16
    VSO_MOTOROLA = 0x100, // numbers in big-endian order
    VSO_SELECTION_OK = 0x8000,  // incoming only: the marked-range option may be enabled
};

// Bytes of a parsed value (variable width), and the room a printed value may need.
enum { VALUE_MAX_BYTES = 256, VALUE_TEXT_SIZE = 1400, VALUE_TERM_SIZE = 3200 };

// The type letters of group terms by kind ('N' stands for UTF-16 text).
extern const char kValueTypeLetters[];   // "DHBOTUMN"

// Bytes of a width: 1, 2, 4, or 256 for WIDTH_VARIABLE (and anything else).
int ValueWidthSize(int nWidth);

// Kind of an input text after leading blanks and tabs: VALUE_NONE for an empty (or null)
// text; VALUE_TEXT for a '"'; VALUE_DUMP for ':', or VALUE_MASK when a further ':', '#' or '?'
// follows; an optional '-' and a digit: VALUE_HEX / VALUE_BIN / VALUE_OCT after "0x" / "0b" /
// "0o" (either case), else VALUE_DEC; anything else VALUE_TEXT.
int GetValueKind(const char* pszText);

// Parses an input into pBuffer (nSize bytes, cleared first). Returns the byte count:
// numbers (leading blanks and '-' taken, base from the prefix) as a 32-bit little-endian
// value of 4 bytes, or of nSize bytes when nSize is below 4; texts decoded as C literals;
// hex dumps as bytes; masked dumps as the value bytes followed by as many mask bytes (the
// count doubled). 0 for an empty text, a null text or buffer, or nSize below 1.
int ParseValue(const char* pszText, BYTE* pBuffer, int nSize);

// Prints nCount bytes as an input of kind nKind into pszBuffer (nSize bytes, always
// terminated when nSize > 0): numbers from the first up to 4 bytes as a little-endian value
// sign-extended from the last byte given ("" for no bytes); texts without trailing NULs as a
// quoted C literal; dumps as ":" and hex bytes; masked dumps from the value half and the
// mask half. Dumps are cut at whole bytes. Other kinds give "". Returns the length.
int FormatValue(const BYTE* pBytes, int nCount, char* pszBuffer, int nSize, int nKind);

// Builds the group term line of an input: the type letter, ':', the byte count, " /G" for a
// text with VSO_NOCASE, " /B" for a 2- or 4-byte number reversed by VSO_MOTOROLA, a tab, the
// bytes as ":" and hex bytes, tabs for alignment, then "(", the input printed in its kind and
// ")". The input is parsed with the size of nWidth; nKind outside 0..6 becomes nFallbackKind
// when that is in range, else VALUE_TEXT. The bytes follow the input's own syntax, except
// that kind VALUE_MASK gives a plain input full masks and other kinds take a masked input's
// value half. A text with VSO_UNICODE is taken as at most 128
// characters of the ANSI code page and stored as UTF-16 (letter 'N'). The line is cut to
// nSize. Returns its length, 0 (and "") when the input gives no bytes.
int BuildTerm(const char* pszInput, int nKind, int nWidth, unsigned uOptions, int nFallbackKind,
              char* pszLine, int nSize);

// A term line read back into the input it came from.
struct ValueTermInput {
    char szInput[VALUE_TEXT_SIZE];  // the value printed in its kind
    int nKind;                      // VALUE_*
    int nWidth;                     // WIDTH_*: from the byte count for numbers, else variable
    bool bIgnoreCase;               // "/G" present
    bool bMotorola;                 // "/B" present (the bytes were reversed back)
    bool bUnicode;                  // letter 'N' (the UTF-16 text was narrowed back)
};

// Reads a term line for editing: the letter gives the kind (D H B O T M, 'N' UTF-16 text,
// any other a hex dump), the count the width, "/B" and "/G" between the count and the second
// ':' the byte order and ignore case; the value (from the second ':' to the first tab) is
// printed in the kind. Returns 1, or 0 when the line is not a term (no letter and ':', no
// count, no second ':').
int ReadTermInput(const char* pszTerm, ValueTermInput* pOut);

// ----- group strings as the engine reads them -----------------------------------------------

// Compare modes of a term.
enum { HEXMATCH_EXACT = 0, HEXMATCH_NOCASE = 1, HEXMATCH_MASKED = 2 };

enum { HEXSEARCH_MAX_TERMS = 16, HEXSEARCH_TERM_BYTES = 256 };

// One term of a group, ready for CHexSearch::Match.
struct HexSearchTerm {
    const BYTE* pPattern;   // the value bytes; for HEXMATCH_MASKED followed by nCount mask bytes
    int nCount;             // bytes compared
    int nMode;              // HEXMATCH_*
    BYTE abStore[HEXSEARCH_TERM_BYTES];   // pPattern's storage for terms read from a group string
};

// A group string read into its distance and terms.
struct HexSearchGroup {
    uint32_t dwDistance;
    int nTerms;
    HexSearchTerm aTerms[HEXSEARCH_MAX_TERMS];
};

// Reads a group string (the distance, then one term line per string, ended by an empty
// string). A term line: optional blanks and tabs, a type letter, ':', the byte count in
// decimal (or with a "0x"-like prefix), optionally 'G' (ignore case) before the next ':',
// then ':' and the value, which ends at the first tab (the display tail behind it is not
// read). Type letter 'M' marks a masked term whose value holds the value bytes followed by as
// many mask bytes. The byte count is taken as stated (bytes beyond the value's are zeros;
// for 'M' it counts both halves), only a count above 256 becomes 256. At most 16 terms
// are read; further ones are ignored. Returns the number of terms, 0 for a missing or empty
// group or one without terms, -1 when a term line is malformed (no type
// letter, no count, no second ':'). An unreadable distance counts as 0.
int ReadHexSearchGroup(const char* pszGroup, HexSearchGroup* pGroup);
