// Numbers and dates: integer parsing and printing, hex dumps, value-search byte input with
// masks, and date/time printing and parsing.
#pragma once

// StrToInt flags.
enum : unsigned {
    STI_BASE_MASK = 0xFF,     // nonzero: the base (2-36); a matching prefix ("0x" for 16,
                              // "0o" for 8, "0b" for 2, "0d" for 10) is still skipped
    STI_SEP_MASK  = 0xC00,    // digit separators allowed between digits:
    STI_SEP_DOT   = 0x400,    //   '.'
    STI_SEP_COMMA = 0x800,    //   ','
    STI_SEP_MARK  = 0xC00,    //   '_' and '\''
    STI_NO_SIGN   = 0x4000,   // no '-' is taken
    STI_NO_BLANKS = 0x8000,   // leading blanks and tabs are not skipped
};

// Parses a 32-bit integer: leading blanks and tabs (unless STI_NO_BLANKS), an optional '-'
// (unless STI_NO_SIGN), then without a fixed base the prefixes "0x" (hexadecimal), "0o"
// (octal), "0b" (binary), "0d" (decimal), either case, else decimal; then the digits. A
// prefix without a digit behind it is not taken ("0x" reads as 0 with one character used).
// Digits stop before one that would take the magnitude above 0xFFFFFFFF, so a too-large
// number leaves characters unused. The value is the magnitude, negated for '-', as 32 bits
// ("0xFFFFFFFF" gives -1, "-2147483648" gives 0x80000000). used (may be null) receives the
// number of characters read, 0 when no digit was found (the result is then 0).
int StrToInt(const char* text, unsigned flags, int* used);

// StrToInt for a count or a position a user types: a decimal number (no prefix, no other fixed
// base) beyond the signed 32-bit range gives the nearest end of that range, with every digit
// used, instead of a value with the wrong sign. Other numbers as StrToInt reads them
// ("0xFFFFFFFF" is -1).
int StrToIntClamped(const char* text, unsigned flags, int* used);

// FormatInt flags: low byte the notation, bits 8-13 the minimum digit count, bit 14 makes it
// the exact count (only the lowest digits are kept).
enum : unsigned {
    FI_DEC = 0, FI_HEX = 1, FI_BIN = 2, FI_OCT = 3, FI_UDEC = 4,
    FI_DIGITS_SHIFT = 8, FI_DIGITS_MASK = 0x3F00, FI_EXACT = 0x4000,
};

// Prints a 32-bit value: FI_DEC signed decimal, FI_HEX "0x" and capital hexadecimal digits,
// FI_BIN "0b" and binary digits, FI_OCT "0o" and octal digits (these three of the unsigned
// 32-bit value), FI_UDEC unsigned decimal; other notations print as FI_DEC. Zero-filled to
// the minimum digit count (at least 1); with FI_EXACT cut to the lowest digits. buf needs 68
// bytes; it is ended with a NUL. Returns the length written.
// Examples: 0x4201 prints 0x7 as "0x07", 0x4601 prints 0x1234567 as "0x234567".
int FormatInt(int value, char* buf, unsigned flags);

// HexDumpFormat flags.
enum : unsigned {
    HD_EVERY_MASK   = 0xFF,       // n > 0: one more blank after every n bytes
    HD_SEP_SHIFT    = 8,          // bits 8-15: separator between groups (0: none)
    HD_SEP_MASK     = 0xFF00,
    HD_GROUP_SHIFT  = 25,         // group size 1 << ((flags >> 25) & 3) bytes
    HD_GROUP_MASK   = 0x6000000,
    HD_GROUP_VALUE  = 0x10000000, // a group's bytes printed last to first (little-endian value)
    HD_COLON        = 0x20000000, // a leading ':'
    HD_BACKWARDS    = 0x40000000, // the bytes from the last to the first
    HD_NUL          = 0x80000000, // end the text with a NUL
};

// Prints count bytes as two capital hexadecimal digits each, grouped and separated as the
// flags say (no separator after the last group). buf needs 4 * count + 2 bytes. Returns the
// characters written without the NUL. 0x80002004 gives "00 01 02 03  04 05", 0xB0002000
// gives ":00 01 02".
int HexDumpFormat(const void* bytes, char* buf, int count, unsigned flags);

// Parses value-search input into value and mask bytes (at most size each): blanks and tabs
// anywhere between bytes, an optional leading ':'; each byte as two hexadecimal digits (a
// single digit before a blank or the end is a byte of its own), where '?' stands for a
// nibble of any value; '#' and eight of '0', '1', '?' give one byte bit by bit; a further ':'
// starts mask bytes, two hexadecimal digits each, that are ANDed into the masks of the bytes
// from the first on. Free bits are 0 in value. Stops at the first character that fits none
// of these. Returns the byte count.
int ParseSearchBytes(unsigned char* value, unsigned char* mask, int size, const char* text, unsigned flags);

// Parses hexadecimal bytes (blanks, an optional leading ':', pairs or single digits as in
// ParseSearchBytes) into at most size bytes; stops at any other character. Returns the count.
int ParseHexBytes(unsigned char* bytes, int size, const char* text, unsigned flags);

// Prints bytes with their masks as value-search input, with the layout flags of
// HexDumpFormat: a byte whose mask nibbles are each 0 or 0xF as two digits with '?' for a
// free nibble, any other as '#' and eight of '0', '1', '?'. Writes whole bytes only, within
// size bytes, always ending with a NUL. Returns the length written. ParseSearchBytes reads
// the text back.
int FormatSearchBytes(char* buf, int size, const unsigned char* value, const unsigned char* mask, int count,
                      unsigned flags);

// FormatDateTime flags.
enum : unsigned {
    DT_WEEKDAY = 0x1,         // "Mo", "Di", "Mi", "Do", "Fr", "Sa", "So"
    DT_DAY     = 0x2,
    DT_MONTH   = 0x4,
    DT_YEAR    = 0x8,         // always four digits
    DT_HOURMIN = 0x10,        // "hh:mm"
    DT_SECONDS = 0x20,        // ":ss"
    DT_ISO     = 0x400,       // "yyyy-mm-dd" (always zero-filled) in place of "dd.mm.yyyy"
    DT_UTC     = 0x10000000,  // universal time instead of local time
    DT_ZEROS   = 0x20000000,  // day, month and hour with two digits
};

// Prints a Unix time (seconds since 1970, UTC) in local time (DT_UTC: universal time):
// weekday, the date fields joined by '.' (or '-' with DT_ISO) and the time, separated by
// blanks. 0x1F gives "So 24.12.2023 18:30", 0x2000043E "2023-12-24 18:30:05". buf needs 40
// bytes and is ended with a NUL. Returns the length, 0 (empty text) for a time that cannot
// be shown (before 1601).
int FormatDateTime(char* buf, long long time, unsigned flags);

// ParseDateTimeToTime flags.
enum : unsigned {
    PDT_UTC    = 0x1,  // the text is universal time (else local time)
    PDT_GERMAN = 0x2,  // "d.m.yyyy" is accepted
    PDT_ISO    = 0x4,  // "yyyy-mm-dd" is accepted (neither flag: both)
};

// Parses a date and optional time: blanks, an optional weekday name as FormatDateTime
// writes it, the date ("24.12.2023" or "2023-12-24"; two-digit years 00-69 are 20xx, 70-99
// 19xx), then optionally blanks or 'T' and "h:mm" or "h:mm:ss" (midnight without). Returns
// the Unix time, or -1 when the text holds no valid date or time (a day that does not exist,
// an hour above 23, ...). used (may be null) receives the characters read (0 on failure).
long long ParseDateTimeToTime(const char* text, unsigned flags, int* used);
