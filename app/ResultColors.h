// Colouring of result lines: one palette index per character for the path prefix
// ("path(line): "), for C-like and XML-like source text behind it, and for the hex dump of a
// value-search line. Pure functions over byte ranges; the view hands the colours to the list.
#pragma once

// Palette indexes of the result list (the view sets the colours behind them).
enum ResultColor : unsigned char {
    RC_DEFAULT = 0,   // plain text; the '\' separators of a path
    RC_PATH = 4,      // the file path
    RC_PAREN = 5,     // '(' and ')' around the line number or offset
    RC_NUMBER_POS = 6,// the line number or offset
    RC_HEXDUMP = 7,   // the hex-dump part of a value line
    RC_COMMENT = 8,   // C comments
    RC_STRING = 9,    // C strings, characters, include names; quoted XML attribute values
    RC_KEYWORD = 10,  // C keywords and preprocessor words; XML attribute words without '='
    RC_CALL = 11,     // a C name followed by '('; an XML run that starts with a digit
    RC_CONSTANT = 12, // C numbers, words without small letters, the word after a preprocessor word
    RC_IDENT = 13,    // other C identifiers
    RC_TAG = 14,      // XML tag names
    RC_ATTRIBUTE = 15,// XML attribute names followed by '='
    RC_ANGLE = 16,    // '<' and '>' of an XML tag
};

// Syntax of a file's content, chosen by its suffix.
enum ResultSyntax { SYNTAX_NONE = 0, SYNTAX_C = 1, SYNTAX_XML = 2 };

// The suffix lists (';'-separated, compared without case).
extern const char kCLikeSuffixes[];
extern const char kXmlLikeSuffixes[];

// The keyword table of C-like colouring: words sorted by byte order (capitals before small
// letters), searched by binary search.
extern const char* const TextSearchKeywords[];
extern const int TextSearchKeywordCount;

// True when the length bytes at word form an entry of TextSearchKeywords.
bool IsTextSearchKeyword(const char* word, int length);

// SYNTAX_C when the path's suffix is on the C-like list, else SYNTAX_XML when on the XML-like
// list, else SYNTAX_NONE. A null path gives SYNTAX_NONE.
int GetResultSyntax(const char* path);

// Colours the prefix of a result line "path(n):": the path RC_PATH with its '\' RC_DEFAULT,
// the parentheses RC_PAREN, the number between them RC_NUMBER_POS, the ':' RC_DEFAULT. The
// prefix ends at the first ':' from index 2 on. Returns the index behind that ':', where the
// content starts; a line without such a ':' (a path alone) is coloured as a path throughout
// and gives length. Every one of the length colours is written.
int ColorResultPrefix(const char* line, int length, unsigned char* colors);

// Colours length bytes of C-like text (colors[0..length-1] are all written).
void ColorCLike(const char* text, int length, unsigned char* colors);
// Colours length bytes of XML-like text (colors[0..length-1] are all written).
void ColorXmlLike(const char* text, int length, unsigned char* colors);

// A whole text-search result line: the prefix, then the content by syntax (SYNTAX_*).
void ColorTextResultLine(const char* line, int length, int syntax, unsigned char* colors);
// A directory-compare line "path<blanks>:text": the path RC_PATH with its '\' RC_DEFAULT, the
// blanks behind it and the ':' RC_NUMBER_POS, the text RC_DEFAULT. A line without a ':' from
// index 2 on is a path throughout.
void ColorDirCompareLine(const char* line, int length, unsigned char* colors);
// A whole value-search result line: the prefix, then RC_HEXDUMP from behind ')' to the end
// of the hex dump (the characters part behind it stays RC_DEFAULT).
void ColorHexResultLine(const char* line, int length, unsigned char* colors);
