// Character classes: one 32-bit class mask for every 8-bit character (ANSI code page 1252),
// and spans that count leading or trailing characters of given classes.
#pragma once

// Class bits of CharClassTable.
enum : unsigned {
    CC_DIGIT       = 0x1,        // '0'-'9'
    CC_UPPER       = 0x2,        // 'A'-'Z'
    CC_LOWER       = 0x4,        // 'a'-'z'
    CC_UNDERSCORE  = 0x8,        // '_'
    CC_CONTROL     = 0x10,       // control characters 0x00-0x1F and 0x7F except tab, CR and LF
    CC_TAB         = 0x20,       // tab
    CC_EOL         = 0x40,       // CR and LF, the only line-end characters
    CC_BLANK       = 0x80,       // blank ' '
    CC_DQUOTE      = 0x100,      // '"'
    CC_SQUOTE      = 0x200,      // '\''
    CC_DOT         = 0x400,      // '.'
    CC_OPEN        = 0x800,      // '(' '[' '{' '<'
    CC_CLOSE       = 0x1000,     // ')' ']' '}' '>'
    CC_LISTSEP     = 0x2000,     // ',' ';'
    CC_SIGN        = 0x4000,     // '+' '-'
    CC_PUNCT       = 0x8000,     // the other ASCII punctuation: ! # $ % & = @ ^ ` ~ |
    CC_HIGH        = 0x10000,    // 0x80-0xBF and 0xDE, 0xFE, 0xFF (no letter class)
    CC_HEXLETTER   = 0x40000,    // 'A'-'F' and 'a'-'f'
    CC_BACKSLASH   = 0x100000,   // '\'
    CC_SLASH       = 0x200000,   // '/'
    CC_COLON       = 0x400000,   // ':'
    CC_STAR        = 0x800000,   // '*'
    CC_QUESTION    = 0x1000000,  // '?'
    CC_LATIN_UPPER = 0x10000000, // 0xC0-0xDD
    CC_LATIN_LOWER = 0x20000000, // 0xDF-0xFD

    CC_WORD        = 0x3000000F, // word characters: digits, letters, '_', Latin-1 letters
    CC_LETTER      = 0x30000006, // letters (ASCII and Latin-1)
    CC_ALNUM       = 0x30000007, // digits and letters
    CC_SPACE       = 0xA0,       // blank and tab
    CC_WHITE       = 0xE0,       // blank, tab, CR and LF
    CC_PATTERN     = 0x1900000,  // '*', '?' and '\'
    CC_WILDCARD    = 0x1800000,  // '*' and '?'
    CC_PATHSEP     = 0x300000,   // '\' and '/'
};

// The class mask of each 8-bit character; index with an unsigned char.
extern const unsigned int CharClassTable[256];

// True when the character's class has one of the mask's bits.
inline bool CharIsClass(unsigned char c, unsigned mask) { return (CharClassTable[c] & mask) != 0; }

// Number of leading characters of the NUL-terminated text whose class has one of the mask's
// bits (NUL has no class bit, so the span never passes the end). Null text gives 0.
int SpanClass(const char* text, unsigned mask);
// The same within the first length bytes (NULs inside count as characters of no class).
// A negative length or null text gives 0.
int SpanClassN(const char* text, unsigned mask, int length);

// Number of leading characters whose class has none of the mask's bits, up to the
// terminating NUL. Null text gives 0.
int SpanNotClass(const char* text, unsigned mask);
// The same within the first length bytes; NULs inside count as characters of no class.
int SpanNotClassN(const char* text, unsigned mask, int length);

// Number of characters right before end, at most length of them, whose class has one of
// (SpanClassBack) or none of (SpanNotClassBack) the mask's bits. end[-length..-1] must be
// readable. A negative length or null end gives 0.
int SpanClassBack(const char* end, unsigned mask, int length);
int SpanNotClassBack(const char* end, unsigned mask, int length);

// ASCII case folding; every other character stays as it is.
inline unsigned char AsciiToLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? (unsigned char)(c + 32) : c; }
inline unsigned char AsciiToUpper(unsigned char c) { return (c >= 'a' && c <= 'z') ? (unsigned char)(c - 32) : c; }

// Case folding of file names in code page 1252 as Windows compares them: the ASCII letters,
// the Latin-1 letters 0xE0-0xFE (except 0xF7) to 0xC0-0xDE, and š œ ž ÿ to Š Œ Ž Ÿ.
unsigned char FileNameCharUpper(unsigned char c);
