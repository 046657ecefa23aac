// Deflate64 decoder: RFC 1951 with a 64 KiB window, length code 285 = 3 + 16 extra bits and
// distance codes 30/31 (14 extra bits).
#include "zip/InfBack9.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const unsigned kWindow = INFBACK9_WINDOW_SIZE;

// Sizes of the table area: the literal/length table may use up to kMaxLensEntries - 1 entries,
// the distance table goes behind it.
const unsigned kTableEntries = 2048;
const unsigned kMaxLensEntries = 1456;

const unsigned short kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,  15,  17,  19,  23, 27,
                                        31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3};
const unsigned char kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                        2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
const unsigned short kDistBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
                                      49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
                                      2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
const unsigned char kDistExtra[32] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,  6,
                                      7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
const unsigned char kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

const InfCode9 kInvalidEntry = {64, 1, 0};

// Decoder state owned by the stream record (9432 bytes on the 32-bit target).
struct InflateBack9State {
  unsigned char* window;
  unsigned ncode, nlen, ndist, have;  // current dynamic header
  InfCode9* next;                     // next free table entry
  unsigned short lens[320];
  unsigned short work[288];
  InfCode9 codes[kTableEntries];
};

static_assert(sizeof(void*) != 4 || sizeof(InflateBack9State) == 9432, "decoder state layout");

InfCode9 SymbolEntry(InfCodeType9 type, unsigned sym) {
  InfCode9 e = {0, 0, 0};
  if (type == INF9_CODES) {
    e.val = (unsigned short)sym;
  } else if (type == INF9_LENS) {
    if (sym < 256) {
      e.val = (unsigned short)sym;
    } else if (sym == 256) {
      e.op = 96;
    } else if (sym < 286) {
      e.op = (unsigned char)(128 + kLengthExtra[sym - 257]);
      e.val = kLengthBase[sym - 257];
    } else {
      e.op = 64;
    }
  } else {
    if (sym < 32) {
      e.op = (unsigned char)(128 + kDistExtra[sym]);
      e.val = kDistBase[sym];
    } else {
      e.op = 64;
    }
  }
  return e;
}

unsigned ReverseBits(unsigned code, unsigned len) {
  unsigned r = 0;
  while (len--) {
    r = (r << 1) | (code & 1);
    code >>= 1;
  }
  return r;
}

voidpf DefaultAlloc(voidpf, uInt items, uInt size) { return calloc(items, size); }
void DefaultFree(voidpf, voidpf p) { free(p); }

// The fixed tables of RFC 1951 block type 1, built once per process.
struct FixedTables {
  InfCode9 lens[512];
  InfCode9 dists[32];
  unsigned lenBits = 9, distBits = 5;
  FixedTables() {
    unsigned short l[288], work[288];
    unsigned sym = 0;
    for (; sym < 144; sym++) l[sym] = 8;
    for (; sym < 256; sym++) l[sym] = 9;
    for (; sym < 280; sym++) l[sym] = 7;
    for (; sym < 288; sym++) l[sym] = 8;
    InfCode9* next = lens;
    inflate_table9(INF9_LENS, l, 288, &next, &lenBits, work);
    for (sym = 0; sym < 32; sym++) l[sym] = 5;
    next = dists;
    inflate_table9(INF9_DISTS, l, 32, &next, &distBits, work);
  }
};

const FixedTables& Fixed() {
  static const FixedTables tables;
  return tables;
}

enum Outcome { kOk, kStop };

// One decoding run: bit input, window output, block decoding.
class Inflater {
 public:
  Inflater(z_stream* strm, InflateBack9State* st, in_func in, void* inDesc, out_func out, void* outDesc)
      : strm_(strm), st_(st), in_(in), inDesc_(inDesc), out_(out), outDesc_(outDesc) {
    next_ = strm->next_in;
    have_ = next_ ? strm->avail_in : 0;
  }

  int Run() {
    int ret = Decode();
    strm_->next_in = next_;
    strm_->avail_in = have_;
    return ret;
  }

 private:
  int Decode() {
    bool last = false;
    do {
      if (!Need(3)) return result_;
      last = (hold_ & 1) != 0;
      unsigned type = (hold_ >> 1) & 3;
      Drop(3);
      Outcome o;
      switch (type) {
        case 0:
          o = StoredBlock();
          break;
        case 1: {
          const FixedTables& f = Fixed();
          o = CodedBlock(f.lens, f.lenBits, f.dists, f.distBits);
          break;
        }
        case 2:
          o = DynamicBlock();
          break;
        default:
          o = Fail("invalid block type");
          break;
      }
      if (o != kOk) return result_;
    } while (!last);
    if (pos_ > 0 && out_(outDesc_, st_->window, pos_) != 0) return Z_BUF_ERROR;
    return Z_STREAM_END;
  }

  Outcome Fail(const char* msg) {
    strm_->msg = const_cast<char*>(msg);
    result_ = Z_DATA_ERROR;
    return kStop;
  }

  // Makes sure at least one more input byte is at next_; false (Z_BUF_ERROR) at the end.
  bool Refill() {
    if (have_ != 0) return true;
    unsigned char* p = nullptr;
    have_ = in_(inDesc_, &p);
    if (have_ == 0) {
      next_ = Z_NULL;
      result_ = Z_BUF_ERROR;
      return false;
    }
    next_ = p;
    return true;
  }

  bool Pull() {
    if (!Refill()) return false;
    hold_ |= (uint32_t)(*next_++) << bits_;
    have_--;
    bits_ += 8;
    return true;
  }

  bool Need(unsigned n) {
    while (bits_ < n)
      if (!Pull()) return false;
    return true;
  }

  unsigned Peek(unsigned n) const { return hold_ & ((1u << n) - 1); }
  void Drop(unsigned n) {
    hold_ >>= n;
    bits_ -= n;
  }

  // Reads n (<= 16) extra bits into *v.
  bool Extra(unsigned n, unsigned* v) {
    if (n == 0) {
      *v = 0;
      return true;
    }
    if (!Need(n)) return false;
    *v = Peek(n);
    Drop(n);
    return true;
  }

  // Decodes one code through a two-level table.
  bool Symbol(const InfCode9* table, unsigned rootBits, InfCode9* out) {
    InfCode9 here;
    for (;;) {
      here = table[Peek(rootBits)];
      if (here.bits <= bits_) break;
      if (!Pull()) return false;
    }
    if (here.op != 0 && here.op < 16) {
      InfCode9 link = here;
      for (;;) {
        here = table[link.val + ((hold_ >> link.bits) & ((1u << link.op) - 1))];
        if ((unsigned)link.bits + here.bits <= bits_) break;
        if (!Pull()) return false;
      }
      Drop(link.bits);
    }
    Drop(here.bits);
    *out = here;
    return true;
  }

  // Hands the full window to the output callback.
  bool FlushWindow() {
    if (out_(outDesc_, st_->window, kWindow) != 0) {
      result_ = Z_BUF_ERROR;
      return false;
    }
    pos_ = 0;
    full_ = true;
    return true;
  }

  Outcome StoredBlock() {
    Drop(bits_ & 7);
    unsigned len, nlen;
    if (!Extra(16, &len) || !Extra(16, &nlen)) return kStop;
    if (len != (~nlen & 0xFFFF)) return Fail("invalid stored block lengths");
    // At a byte boundary now, with nothing left in the bit buffer.
    while (len != 0) {
      if (!Refill()) return kStop;
      unsigned n = len;
      if (n > have_) n = have_;
      if (n > kWindow - pos_) n = kWindow - pos_;
      memcpy(st_->window + pos_, next_, n);
      next_ += n;
      have_ -= n;
      pos_ += n;
      len -= n;
      if (pos_ == kWindow && !FlushWindow()) return kStop;
    }
    return kOk;
  }

  Outcome DynamicBlock() {
    if (!Need(14)) return kStop;
    st_->nlen = Peek(5) + 257;
    st_->ndist = ((hold_ >> 5) & 31) + 1;
    st_->ncode = ((hold_ >> 10) & 15) + 4;
    Drop(14);
    if (st_->nlen > 286) return Fail("too many length symbols");

    for (st_->have = 0; st_->have < st_->ncode; st_->have++) {
      unsigned v;
      if (!Extra(3, &v)) return kStop;
      st_->lens[kCodeLengthOrder[st_->have]] = (unsigned short)v;
    }
    for (; st_->have < 19; st_->have++) st_->lens[kCodeLengthOrder[st_->have]] = 0;
    st_->next = st_->codes;
    const InfCode9* lenCode = st_->next;
    unsigned lenBits = 7;
    if (inflate_table9(INF9_CODES, st_->lens, 19, &st_->next, &lenBits, st_->work) != 0)
      return Fail("invalid code lengths set");

    const unsigned total = st_->nlen + st_->ndist;
    st_->have = 0;
    while (st_->have < total) {
      InfCode9 here;
      if (!Symbol(lenCode, lenBits, &here)) return kStop;
      unsigned sym = here.val;
      if (sym < 16) {
        st_->lens[st_->have++] = (unsigned short)sym;
        continue;
      }
      unsigned len = 0, copy, v;
      if (sym == 16) {
        if (st_->have == 0) return Fail("invalid bit length repeat");
        len = st_->lens[st_->have - 1];
        if (!Extra(2, &v)) return kStop;
        copy = 3 + v;
      } else if (sym == 17) {
        if (!Extra(3, &v)) return kStop;
        copy = 3 + v;
      } else {
        if (!Extra(7, &v)) return kStop;
        copy = 11 + v;
      }
      if (st_->have + copy > total) return Fail("invalid bit length repeat");
      while (copy--) st_->lens[st_->have++] = (unsigned short)len;
    }

    st_->next = st_->codes;
    const InfCode9* litCode = st_->next;
    unsigned litBits = 9;
    if (inflate_table9(INF9_LENS, st_->lens, st_->nlen, &st_->next, &litBits, st_->work) != 0)
      return Fail("invalid literal/lengths set");
    const InfCode9* distCode = st_->next;
    unsigned distBits = 6;
    if (inflate_table9(INF9_DISTS, st_->lens + st_->nlen, st_->ndist, &st_->next, &distBits, st_->work) != 0)
      return Fail("invalid distances set");
    return CodedBlock(litCode, litBits, distCode, distBits);
  }

  Outcome CodedBlock(const InfCode9* litCode, unsigned litBits, const InfCode9* distCode, unsigned distBits) {
    unsigned char* const window = st_->window;
    for (;;) {
      InfCode9 here;
      if (!Symbol(litCode, litBits, &here)) return kStop;
      if (here.op == 0) {
        window[pos_++] = (unsigned char)here.val;
        if (pos_ == kWindow && !FlushWindow()) return kStop;
        continue;
      }
      if (here.op == 96) return kOk;
      if ((here.op & 128) == 0) return Fail("invalid literal/length code");
      unsigned extra;
      if (!Extra(here.op & 31, &extra)) return kStop;
      unsigned len = here.val + extra;

      if (!Symbol(distCode, distBits, &here)) return kStop;
      if ((here.op & 128) == 0) return Fail("invalid distance code");
      if (!Extra(here.op & 31, &extra)) return kStop;
      unsigned dist = here.val + extra;
      if (dist > (full_ ? kWindow : pos_)) return Fail("invalid distance too far back");

      while (len != 0) {
        unsigned from = pos_ >= dist ? pos_ - dist : pos_ + kWindow - dist;
        unsigned n = len;
        if (n > kWindow - pos_) n = kWindow - pos_;
        if (n > kWindow - from) n = kWindow - from;
        if (from < pos_ && pos_ - from < n) {
          // The copy overlaps its own output: repeat byte by byte.
          unsigned char* d = window + pos_;
          const unsigned char* s = window + from;
          for (unsigned i = 0; i < n; i++) d[i] = s[i];
        } else {
          memmove(window + pos_, window + from, n);
        }
        pos_ += n;
        len -= n;
        if (pos_ == kWindow && !FlushWindow()) return kStop;
      }
    }
  }

  z_stream* strm_;
  InflateBack9State* st_;
  in_func in_;
  void* inDesc_;
  out_func out_;
  void* outDesc_;
  unsigned char* next_;
  unsigned have_;
  uint32_t hold_ = 0;
  unsigned bits_ = 0;
  unsigned pos_ = 0;    // write position in the window
  bool full_ = false;   // the window has been filled (and delivered) once
  int result_ = Z_OK;  // result when a step stops
};

}  // namespace

int inflate_table9(InfCodeType9 type, const unsigned short* lens, unsigned count, InfCode9** table,
                   unsigned* bits, unsigned short* work) {
  unsigned lenCount[16] = {0};
  for (unsigned sym = 0; sym < count; sym++) lenCount[lens[sym]]++;

  unsigned max = 15;
  while (max >= 1 && lenCount[max] == 0) max--;
  if (max == 0) {
    // The code-length code must be complete; the other codes may be empty (a block of
    // literals only), and any lookup then finds an invalid code.
    if (type == INF9_CODES) return -1;
    *(*table)++ = kInvalidEntry;
    *(*table)++ = kInvalidEntry;
    *bits = 1;
    return 0;
  }
  unsigned min = 1;
  while (min < max && lenCount[min] == 0) min++;
  unsigned root = *bits;
  if (root > max) root = max;
  if (root < min) root = min;

  int left = 1;
  for (unsigned len = 1; len <= 15; len++) {
    left <<= 1;
    left -= (int)lenCount[len];
    if (left < 0) return -1;
  }
  // An incomplete set is only allowed as a single one-bit code.
  if (left > 0 && (type == INF9_CODES || max != 1)) return -1;

  // Symbols sorted by code length, then by value: the canonical order.
  unsigned offs[16];
  offs[1] = 0;
  for (unsigned len = 1; len < 15; len++) offs[len + 1] = offs[len] + lenCount[len];
  for (unsigned sym = 0; sym < count; sym++)
    if (lens[sym] != 0) work[offs[lens[sym]]++] = (unsigned short)sym;
  const unsigned used = offs[15];

  unsigned nextCode[16];
  unsigned code = 0;
  lenCount[0] = 0;
  for (unsigned len = 1; len <= 15; len++) {
    code = (code + lenCount[len - 1]) << 1;
    nextCode[len] = code;
  }

  InfCode9* const base = *table;
  const unsigned rootSize = 1u << root;
  unsigned size = rootSize;
  if (type == INF9_LENS && size >= kMaxLensEntries) return 1;
  for (unsigned i = 0; i < rootSize; i++) base[i] = kInvalidEntry;

  unsigned remaining[16];
  memcpy(remaining, lenCount, sizeof(remaining));
  unsigned curLow = ~0u, subOffset = 0, subBits = 0;
  for (unsigned i = 0; i < used; i++) {
    const unsigned sym = work[i];
    const unsigned len = lens[sym];
    const unsigned rev = ReverseBits(nextCode[len]++, len);
    InfCode9 e = SymbolEntry(type, sym);
    if (len <= root) {
      e.bits = (unsigned char)len;
      for (unsigned k = rev; k < rootSize; k += 1u << len) base[k] = e;
    } else {
      const unsigned low = rev & (rootSize - 1);
      if (low != curLow) {
        // New second-level table: just large enough for the codes under this prefix.
        unsigned curr = len - root;
        int room = 1 << curr;
        while (curr + root < max) {
          room -= (int)remaining[curr + root];
          if (room <= 0) break;
          curr++;
          room <<= 1;
        }
        subOffset = size;
        subBits = curr;
        size += 1u << curr;
        if (type == INF9_LENS && size >= kMaxLensEntries) return 1;
        base[low].op = (unsigned char)curr;
        base[low].bits = (unsigned char)root;
        base[low].val = (unsigned short)subOffset;
        curLow = low;
      }
      e.bits = (unsigned char)(len - root);
      for (unsigned k = rev >> root; k < (1u << subBits); k += 1u << (len - root)) base[subOffset + k] = e;
    }
    remaining[len]--;
  }
  *table += size;
  *bits = root;
  return 0;
}

int inflateBack9Init_(z_stream* strm, unsigned char* window, const char* version, int stream_size) {
  if (version == Z_NULL || version[0] != '1' || stream_size != (int)sizeof(z_stream)) return Z_VERSION_ERROR;
  if (strm == Z_NULL || window == Z_NULL) return Z_STREAM_ERROR;
  strm->msg = Z_NULL;
  if (strm->zalloc == Z_NULL) {
    strm->zalloc = DefaultAlloc;
    strm->opaque = Z_NULL;
  }
  if (strm->zfree == Z_NULL) strm->zfree = DefaultFree;
  void* mem = strm->zalloc(strm->opaque, 1, sizeof(InflateBack9State));
  if (mem == Z_NULL) return Z_MEM_ERROR;
  InflateBack9State* st = static_cast<InflateBack9State*>(mem);
  st->window = window;
  st->next = st->codes;
  strm->state = reinterpret_cast<internal_state*>(st);
  return Z_OK;
}

int inflateBack9(z_stream* strm, in_func in, void* in_desc, out_func out, void* out_desc) {
  if (strm == Z_NULL || strm->state == Z_NULL) return Z_STREAM_ERROR;
  strm->msg = Z_NULL;
  Inflater inflater(strm, reinterpret_cast<InflateBack9State*>(strm->state), in, in_desc, out, out_desc);
  return inflater.Run();
}

int inflateBack9End(z_stream* strm) {
  if (strm == Z_NULL || strm->state == Z_NULL || strm->zfree == Z_NULL) return Z_STREAM_ERROR;
  strm->zfree(strm->opaque, strm->state);
  strm->state = Z_NULL;
  return Z_OK;
}
