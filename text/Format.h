// The system's printf-style formatter: a writer-callback core and bounded buffer forms.
//
// Conversion syntax: %[n$][flags][width][.precision][length]conversion
//   n$         positional argument n (1-based); width and precision may be "*" or "*m$".
//              Without positions the arguments are taken in order (the two may mix: an
//              unnumbered conversion takes the argument after the one used last).
//   flags      '-' left-justify, '+' sign always, ' ' blank for a plus sign, '0' zero-fill,
//              '#' alternate form (0x/0X/0b prefix, leading 0 for octal; ':' for %H),
//              '\'' digit grouping with '.' every three digits (d i u).
//   length     hh h l (32-bit), ll q j L I64 (64-bit), z t I I32 (32-bit); l or w with
//              c/s for wide characters.
//   d i        signed decimal          u     unsigned decimal
//   x X        hexadecimal             o     octal            b     binary
//   c          character (int)         C lc  wide character, converted to the ANSI code page
//   s          text (null: "(null)"); precision limits the bytes read
//   S ls       wide text, converted to the ANSI code page
//   p          pointer as 8 capital hexadecimal digits
//   e E f F g G a A   floating point (double; with L long double)
//   H          hex dump: a pointer, the precision gives the byte count ("%.*H" takes the
//              count first); capital digits, blank-separated; '#' a leading ':', '+' no blanks
//   T          time stamp: a 64-bit Unix time (long long) printed by FormatDateTime; the
//              precision is its flag word (default 0x2000003E: "dd.mm.yyyy hh:mm:ss" local)
//   %          a percent sign
//   n          takes its pointer argument and writes nothing (never stores a count)
// An unknown conversion is copied to the output as it stands.
#pragma once

#include <cstdarg>
#include <cstddef>

// Receives length characters of output (not ended by a NUL). Returns nonzero to go on,
// 0 to stop the formatting.
typedef int (*StrWriter)(void* context, const char* text, int length);

// Formats through the writer. Returns the number of characters handed to it.
int StrFormatCore(StrWriter writer, void* context, const char* format, va_list args);

// Formats into buf, writing at most size - 1 characters and always a NUL (nothing at all
// when buf is null or size is 0). Returns the length written without the NUL (a text cut
// at the size gives size - 1).
int StrFormat(char* buf, size_t size, const char* format, ...);
int StrFormatV(char* buf, size_t size, const char* format, va_list args);

// The length that the whole output would have (as for a buffer large enough).
int StrFormatLength(const char* format, ...);
int StrFormatLengthV(const char* format, va_list args);
