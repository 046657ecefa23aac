// Byte-scanning kernels of the text search: the positions where two probe bytes of a search
// text occur, bulk counting of line ends, and the search for the nearest line end. Each kernel
// has a plain, an SSE2 and an AVX2 form; the fastest that the processor offers is used.
#pragma once

#include <stddef.h>

// One probe byte of a search text: a buffer byte c matches when (c | orMask) == value.
// orMask 0x20 with a small ASCII letter as value matches both cases of the letter.
struct TextProbe {
    unsigned char value;
    unsigned char orMask;
};

// Returns the first position p in [from, last] at which buf[p + offA] matches probe a and
// buf[p + offB] matches probe b; (size_t)-1 when there is none (also when from > last).
// Precondition: last + offA and last + offB both lie below the buffer's length.
size_t TextScanFindPair(const unsigned char* buf, size_t from, size_t last, size_t offA,
                        TextProbe a, size_t offB, TextProbe b);

// Returns the number of line ends among buf[from..to-1]: every LF, and every CR that is not
// followed by an LF (so CR LF counts once). buf[to] is read, when to < len, to decide about a
// CR at to - 1. Precondition: from <= to <= len.
size_t TextScanCountLineEnds(const unsigned char* buf, size_t from, size_t to, size_t len);

// Returns the index of the first CR or LF in buf[from..to-1], or to when there is none.
size_t TextScanFindLineEnd(const unsigned char* buf, size_t from, size_t to);

// Returns the index of the last CR or LF in buf[from..to-1], or (size_t)-1 when there is none.
size_t TextScanFindLastLineEnd(const unsigned char* buf, size_t from, size_t to);

// The kernel level in use: 0 plain, 1 SSE2, 2 AVX2. TextScanSetLevel limits it to at most the
// given level (never above what the processor offers) and returns the level now in use; the
// tests use it to run every form.
int TextScanLevel();
int TextScanSetLevel(int level);
