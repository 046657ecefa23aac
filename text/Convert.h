// Conversions: C-style escapes and quoted literals, quoted-token scanning, and UTF-8/UTF-16.
#pragma once

// Decodes one character at text. At a backslash: "\a" 7, "\b" 8, "\e" 27, "\f" 12, "\n" 10,
// "\r" 13, "\t" 9, "\v" 11, "\x" with up to two hexadecimal digits, "\" with up to three
// octal digits (at most 0xFF); a backslash before any other character gives that character
// ("\\", "\"", "\x" without digits gives 'x'); a backslash at the end of the text gives '\'.
// Any other character is returned as it is with the count 1. The NUL at the text's end gives
// 0 with the count 0. used (may be null) receives the number of characters read. The result
// is the character as 0..255.
int ParseEscape(const char* text, int* used);

// Writes count bytes as a double-quoted C literal into buf (size bytes, always ended with a
// NUL when size > 0): printable ASCII and the letters 0xA1-0xFF (but 0xAD) as they are, '"'
// and '\' with a backslash, tab, CR and LF as "\t", "\r", "\n", all other bytes as "\xHH"
// with two capital digits. Flag 1 leaves out the quotes. When the text does not fit, it ends
// after the last whole character that fits, closing quote included. Returns the length
// written (without the NUL), 0 for size 0 or a null buffer.
int StrQuoteC(char* buf, int size, const void* bytes, int count, unsigned flags);

// Flag of StrUnquoteC's size word: a leading '"' is an ordinary character.
enum : unsigned { UNQUOTE_NO_QUOTE = 0x20000000, UNQUOTE_SIZE_MASK = 0x0FFFFFFF };

// Decodes a C literal from src into dst. The low 28 bits of sizeWord give dst's size. A
// leading '"' (after blanks and tabs; unless UNQUOTE_NO_QUOTE) opens a literal that ends at
// the next '"' not escaped, which is consumed; otherwise the text runs to its NUL. Every
// backslash escape is decoded by ParseEscape. Stops at the end, at the closing quote, or
// when size bytes are written; writes a NUL behind the bytes when there is room. used (may
// be null) receives the number of source characters read. Returns the bytes written
// (without the NUL); NUL bytes from escapes count.
int StrUnquoteC(void* dst, unsigned sizeWord, const char* src, int* used);

// Length of the token at text (whose first character must be opener) up to and including
// its closer, within length characters: a quote closes with the same quote, '(' '[' '{' '<'
// with ')' ']' '}' '>' (nested pairs of the same kind count), any other opener with itself.
// The character after an escape character is skipped. Gives the whole length when no closer
// comes, 0 when length < 1 or text does not start with opener.
int StrScanTokenA(const char* text, int escape, int opener, int length);

// Decodes one UTF-8 sequence: returns its length 1-4 and stores the code point. A malformed
// sequence (bad or missing continuation bytes, an overlong form, a surrogate, a value above
// 0x10FFFF, a lone continuation byte) gives the first byte's own value and length 1. The
// plain form stops at a NUL (which is never a continuation byte); the N form reads at most
// length bytes (length < 1 gives 0 and code point 0).
int Utf8DecodeChar(const char* bytes, unsigned* codePoint);
int Utf8DecodeCharN(const char* bytes, int length, unsigned* codePoint);

// Writes the code point as UTF-8 into out (room for 4 bytes) and returns 1-4. Surrogates and
// values above 0x10FFFF are written as U+FFFD.
int Utf8EncodeChar(char* out, unsigned codePoint);

// UTF-8 to UTF-16: srcLength bytes (-1: up to the NUL). Malformed bytes become the code
// point of their own value (so Latin-1 text survives). Writes at most dstSize - 1 units and
// a NUL; a character that does not fit whole is left out with all after it. Returns the
// units written without the NUL; with a null dst (or dstSize 0), the units needed.
int Utf8ToUtf16(wchar_t* dst, int dstSize, const char* src, int srcLength);

// UTF-16 to UTF-8: srcLength units (-1: up to the NUL); an unpaired surrogate becomes U+FFFD.
// Same buffer rules and result as Utf8ToUtf16 (in bytes).
int Utf16ToUtf8(char* dst, int dstSize, const wchar_t* src, int srcLength);
