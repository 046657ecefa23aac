// Deflate64 (zip method 9) decoder: a call-back inflater on zlib's stream record that
// decodes one whole stream through a caller-supplied 64 KiB window.
#pragma once

#include <zlib.h>

// One decoding-table entry. op: 0 literal (val = byte or code-length symbol), 1..15 link to a
// second-level table with that many index bits (val = its offset from the table start),
// 128 + e length or distance with base val and e extra bits, 96 end of block, 64 invalid.
// bits: bits of the code this entry consumes (in a second-level table: the bits beyond the root).
struct InfCode9 {
  unsigned char op;
  unsigned char bits;
  unsigned short val;
};

// The kinds of table inflate_table9 builds.
enum InfCodeType9 { INF9_CODES = 0, INF9_LENS = 1, INF9_DISTS = 2 };

// Window size the decoder works with; the caller's window must hold at least this many bytes.
enum { INFBACK9_WINDOW_SIZE = 65536 };

// Prepares strm for one Deflate64 stream decoded into window (INFBACK9_WINDOW_SIZE bytes,
// owned by the caller). version must begin with "1" and stream_size be sizeof(z_stream).
// A null zalloc/zfree gets the ordinary allocator. Clears strm->msg.
// Results: Z_OK; Z_VERSION_ERROR (version or record size wrong); Z_STREAM_ERROR (strm or
// window missing); Z_MEM_ERROR (the decoder state could not be allocated).
int inflateBack9Init_(z_stream* strm, unsigned char* window, const char* version, int stream_size);
#define inflateBack9Init(strm, window) \
  inflateBack9Init_((strm), (window), ZLIB_VERSION, (int)sizeof(z_stream))

// Decodes one complete Deflate64 stream. Input: strm->next_in/avail_in may be preloaded; when
// they run dry, in(in_desc, &ptr) is called, which stores a pointer to more input and returns
// its length (0: no more input). Output: each full window and finally the filled part of it go
// to out(out_desc, data, len), which returns 0 when it took everything, nonzero to stop.
// The callbacks may throw: the decoder keeps nothing of its own across them, so the caller's
// inflateBack9End still releases everything.
// Results: Z_STREAM_END (stream decoded and delivered); Z_BUF_ERROR (in() gave 0 inside the
// stream, or out() returned nonzero); Z_DATA_ERROR with strm->msg set to the reason;
// Z_STREAM_ERROR (strm or its state missing). On return next_in/avail_in give the unused part
// of the last input.
int inflateBack9(z_stream* strm, in_func in, void* in_desc, out_func out, void* out_desc);

// Frees the decoder state through strm->zfree. Results: Z_OK; Z_STREAM_ERROR when strm, its
// state or its free function is missing.
int inflateBack9End(z_stream* strm);

// Builds a two-level decoding table for count code lengths (lens) at *table with *bits root
// index bits (*bits may be lowered or raised to fit the codes); advances *table past the
// entries used. work needs room for count entries.
// Results: 0 done; -1 over-subscribed or incomplete set; 1 a literal/length table would need
// 1456 entries or more.
int inflate_table9(InfCodeType9 type, const unsigned short* lens, unsigned count, InfCode9** table,
                   unsigned* bits, unsigned short* work);
