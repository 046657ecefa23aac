// PPMd variant I revision 1 model, sub-allocator and range coder.
#include "zip/PpmdModel.h"

#include <cstdlib>
#include <cstring>

// Records live in one memory block and overlay each other (a free unit, a context and a
// list of symbol states share the same 12-byte units), hence may_alias.
struct __attribute__((may_alias)) CPpmdModel::State {
  uint8_t symbol;
  uint8_t freq;
  uint16_t successorLow;  // successor split in halves: states are only 2-byte aligned
  uint16_t successorHigh;
};

struct __attribute__((may_alias)) CPpmdModel::Context {
  uint8_t numStats;   // symbols minus 1
  uint8_t flags;      // 0x04 rescaled, 0x08 a symbol >= 0x40, 0x10 entered by a symbol >= 0x40
  uint16_t summFreq;  // with one symbol, the state itself starts here
  uint32_t stats;
  uint32_t suffix;
};

struct __attribute__((may_alias)) CPpmdModel::Node {
  uint32_t stamp;
  uint32_t next;
  uint32_t nu;
};

namespace {

typedef CPpmdModel::State State;
typedef CPpmdModel::Context Context;
typedef CPpmdModel::Node Node;
typedef CPpmdModel::See See;

static_assert(sizeof(State) == 6, "state record");
static_assert(sizeof(Context) == 12, "context record");
static_assert(sizeof(Node) == 12, "free-unit record");

const unsigned kUnitSize = 12;
const unsigned kMaxFreq = 124;
const unsigned kIntBits = 7;
const unsigned kPeriodBits = 7;
const unsigned kBinScale = 1u << (kIntBits + kPeriodBits);
const uint32_t kEmptyNode = 0xFFFFFFFFu;
const uint32_t kTop = 1u << 24;
const uint32_t kBot = 1u << 15;

const uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};
const uint16_t kInitBinEsc[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3, 0x64A1, 0x5ABC, 0x6632, 0x6051};

inline uint32_t U2B(unsigned nu) { return (uint32_t)nu * kUnitSize; }

inline State* OneState(Context* c) { return (State*)&c->summFreq; }
inline uint32_t Successor(const State* s) { return s->successorLow | ((uint32_t)s->successorHigh << 16); }
inline void SetSuccessor(State* s, uint32_t v) {
  s->successorLow = (uint16_t)v;
  s->successorHigh = (uint16_t)(v >> 16);
}

inline void SwapStates(State* a, State* b) {
  State t = *a;
  *a = *b;
  *b = t;
}

// Copies nu units.
inline void CopyUnits(void* dest, const void* src, unsigned nu) { memmove(dest, src, U2B(nu)); }

inline unsigned GetMean(unsigned prob) { return (prob + (1u << (kPeriodBits - 2))) >> kPeriodBits; }

inline void SeeUpdate(See* see) {
  if (see->shift < kPeriodBits && --see->count == 0) {
    see->summ = (uint16_t)(see->summ << 1);
    see->count = (uint8_t)(3 << see->shift++);
  }
}

}  // namespace

CPpmdModel::State* CPpmdModel::StatsOf(const Context* c) const { return (State*)(m_base + c->stats); }
CPpmdModel::Context* CPpmdModel::SuffixOf(const Context* c) const { return Ctx(c->suffix); }

CPpmdModel::CPpmdModel()
    : m_alloc(nullptr), m_base(nullptr), m_size(0), m_alignOffset(0), m_loUnit(nullptr), m_hiUnit(nullptr),
      m_text(nullptr), m_unitsStart(nullptr), m_glueCount(0), m_minContext(nullptr), m_maxContext(nullptr),
      m_foundState(nullptr), m_orderFall(0), m_initEsc(0), m_prevSuccess(0), m_maxOrder(0), m_restoreMethod(0),
      m_runLength(0), m_initRL(0), m_range(0), m_code(0), m_low(0) {
  memset(m_freeList, 0, sizeof(m_freeList));
  memset(m_stamps, 0, sizeof(m_stamps));
  // Size classes: 1..4 units, then steps of 2, 3 and 4 up to 128 units.
  unsigned k = 0;
  for (unsigned i = 0; i < kNumIndexes; i++) {
    unsigned step = i >= 12 ? 4 : (i >> 2) + 1;
    do {
      m_units2Indx[k++] = (uint8_t)i;
    } while (--step);
    m_indx2Units[i] = (uint8_t)k;
  }
  m_ns2BSIndx[0] = 0;
  m_ns2BSIndx[1] = 2;
  memset(m_ns2BSIndx + 2, 4, 9);
  memset(m_ns2BSIndx + 11, 6, 256 - 11);
  unsigned i = 0;
  for (; i < 5; i++) m_ns2Indx[i] = (uint8_t)i;
  for (unsigned m = i, run = 1; i < 260; i++) {
    m_ns2Indx[i] = (uint8_t)m;
    if (--run == 0) run = (++m) - 4;
  }
  memset(&m_dummySee, 0, sizeof(m_dummySee));
  memset(m_see, 0, sizeof(m_see));
  memset(m_binSumm, 0, sizeof(m_binSumm));
}

CPpmdModel::~CPpmdModel() { Free(); }

void CPpmdModel::Free() {
  free(m_alloc);
  m_alloc = nullptr;
  m_base = nullptr;
  m_size = 0;
}

bool CPpmdModel::Allocate(uint32_t size) {
  if (m_base != nullptr && m_size == size) return true;
  Free();
  if (size < PPMD_MIN_MEMORY || size > PPMD_MAX_MEMORY) return false;
  // The text area starts 1..4 bytes in, so that no record has the offset 0 (the null
  // reference) and the units at the top end on a 4-byte boundary.
  uint32_t align = 4 - (size & 3);
  m_alloc = (uint8_t*)malloc((size_t)size + align + kUnitSize);
  if (m_alloc == nullptr) return false;
  m_base = m_alloc;
  m_alignOffset = align;
  m_size = size;
  return true;
}

// ---- Sub-allocator ----

void CPpmdModel::InsertNode(void* p, unsigned indx) {
  Node* node = (Node*)p;
  node->stamp = kEmptyNode;
  node->next = m_freeList[indx];
  node->nu = I2U(indx);
  m_freeList[indx] = Ref(node);
  m_stamps[indx]++;
}

void* CPpmdModel::RemoveNode(unsigned indx) {
  Node* node = NodeAt(m_freeList[indx]);
  m_freeList[indx] = node->next;
  m_stamps[indx]--;
  return node;
}

void CPpmdModel::SplitBlock(void* ptr, unsigned oldIndx, unsigned newIndx) {
  unsigned nu = I2U(oldIndx) - I2U(newIndx);
  uint8_t* rest = (uint8_t*)ptr + U2B(I2U(newIndx));
  unsigned i = U2I(nu);
  if (I2U(i) != nu) {
    unsigned k = I2U(--i);
    InsertNode(rest + U2B(k), nu - k - 1);
  }
  InsertNode(rest, i);
}

void CPpmdModel::GlueFreeBlocks() {
  uint32_t head = 0;
  uint32_t* prev = &head;
  m_glueCount = 1u << 13;
  memset(m_stamps, 0, sizeof(m_stamps));
  // The topmost unit always holds the root context; the guard at LoUnit stops a run of free
  // units that reaches the unallocated gap.
  if (m_loUnit != m_hiUnit) ((Node*)m_loUnit)->stamp = 0;

  // Chain every free block, merging each with the free blocks that follow it directly.
  for (unsigned i = 0; i < kNumIndexes; i++) {
    uint32_t next = m_freeList[i];
    m_freeList[i] = 0;
    while (next != 0) {
      Node* node = NodeAt(next);
      if (node->nu != 0) {
        *prev = next;
        prev = &node->next;
        Node* follower;
        while ((follower = node + node->nu)->stamp == kEmptyNode) {
          node->nu += follower->nu;
          follower->nu = 0;
        }
      }
      next = node->next;
    }
  }
  *prev = 0;

  // Hand the merged blocks out to the size classes again.
  while (head != 0) {
    Node* node = NodeAt(head);
    head = node->next;
    unsigned nu = node->nu;
    if (nu == 0) continue;
    for (; nu > 128; nu -= 128, node += 128) InsertNode(node, kNumIndexes - 1);
    unsigned i = U2I(nu);
    if (I2U(i) != nu) {
      unsigned k = I2U(--i);
      InsertNode(node + k, nu - k - 1);
    }
    InsertNode(node, i);
  }
}

void* CPpmdModel::AllocUnitsRare(unsigned indx) {
  if (m_glueCount == 0) {
    GlueFreeBlocks();
    if (m_freeList[indx] != 0) return RemoveNode(indx);
  }
  unsigned i = indx;
  do {
    if (++i == kNumIndexes) {
      uint32_t numBytes = U2B(I2U(indx));
      m_glueCount--;
      if ((uint32_t)(m_unitsStart - m_text) > numBytes) {
        m_unitsStart -= numBytes;
        return m_unitsStart;
      }
      return nullptr;
    }
  } while (m_freeList[i] == 0);
  void* block = RemoveNode(i);
  SplitBlock(block, i, indx);
  return block;
}

void* CPpmdModel::AllocUnits(unsigned indx) {
  if (m_freeList[indx] != 0) return RemoveNode(indx);
  uint32_t numBytes = U2B(I2U(indx));
  if (numBytes <= (uint32_t)(m_hiUnit - m_loUnit)) {
    void* block = m_loUnit;
    m_loUnit += numBytes;
    return block;
  }
  return AllocUnitsRare(indx);
}

void* CPpmdModel::ShrinkUnits(void* oldPtr, unsigned oldNU, unsigned newNU) {
  unsigned i0 = U2I(oldNU);
  unsigned i1 = U2I(newNU);
  if (i0 == i1) return oldPtr;
  if (m_freeList[i1] != 0) {
    void* ptr = RemoveNode(i1);
    CopyUnits(ptr, oldPtr, newNU);
    InsertNode(oldPtr, i0);
    return ptr;
  }
  SplitBlock(oldPtr, i0, i1);
  return oldPtr;
}

void CPpmdModel::FreeUnits(void* ptr, unsigned nu) { InsertNode(ptr, U2I(nu)); }

void CPpmdModel::SpecialFreeUnit(void* ptr) {
  if ((uint8_t*)ptr != m_unitsStart) {
    InsertNode(ptr, 0);
  } else {
    // The freeze walk tells a released context by the flags 0xFF of this stamp.
    if (m_restoreMethod >= PPMD_RESTORE_FREEZE) ((Node*)ptr)->stamp = kEmptyNode;
    m_unitsStart += kUnitSize;
  }
}

void* CPpmdModel::MoveUnitsUp(void* oldPtr, unsigned nu) {
  unsigned indx = U2I(nu);
  if ((uint8_t*)oldPtr > m_unitsStart + 16 * 1024 || Ref(oldPtr) > m_freeList[indx]) return oldPtr;
  void* ptr = RemoveNode(indx);
  CopyUnits(ptr, oldPtr, nu);
  if ((uint8_t*)oldPtr != m_unitsStart)
    InsertNode(oldPtr, indx);
  else
    m_unitsStart += U2B(I2U(indx));
  return ptr;
}

void CPpmdModel::ExpandTextArea() {
  uint32_t count[kNumIndexes];
  memset(count, 0, sizeof(count));
  if (m_loUnit != m_hiUnit) ((Node*)m_loUnit)->stamp = 0;
  // Free units right above the text go to the text area.
  Node* node = (Node*)m_unitsStart;
  for (; node->stamp == kEmptyNode; node += node->nu) {
    node->stamp = 0;
    count[U2I(node->nu)]++;
  }
  m_unitsStart = (uint8_t*)node;
  // Take them out of their free lists (they are marked with stamp 0 now).
  for (unsigned i = 0; i < kNumIndexes; i++) {
    uint32_t* next = &m_freeList[i];
    while (count[i] != 0) {
      Node* n = NodeAt(*next);
      while (n->stamp == 0) {
        *next = n->next;
        n = NodeAt(*next);
        m_stamps[i]--;
        if (--count[i] == 0) break;
      }
      next = &n->next;
    }
  }
}

uint32_t CPpmdModel::UsedMemory() const {
  uint32_t units = 0;
  for (unsigned i = 0; i < kNumIndexes; i++) units += m_stamps[i] * I2U(i);
  return m_size - (uint32_t)(m_hiUnit - m_loUnit) - (uint32_t)(m_unitsStart - m_text) - U2B(units);
}

// ---- Model ----

void CPpmdModel::RestartModel() {
  memset(m_freeList, 0, sizeof(m_freeList));
  memset(m_stamps, 0, sizeof(m_stamps));
  m_text = m_base + m_alignOffset;
  m_hiUnit = m_text + m_size;
  m_loUnit = m_unitsStart = m_hiUnit - m_size / 8 / kUnitSize * 7 * kUnitSize;
  m_glueCount = 0;

  m_orderFall = m_maxOrder;
  m_runLength = m_initRL = -(int32_t)(m_maxOrder < 12 ? m_maxOrder : 12) - 1;
  m_prevSuccess = 0;

  m_hiUnit -= kUnitSize;
  m_minContext = m_maxContext = (Context*)m_hiUnit;
  m_minContext->suffix = 0;
  m_minContext->numStats = 255;
  m_minContext->flags = 0;
  m_minContext->summFreq = 256 + 1;
  State* s = (State*)m_loUnit;
  m_foundState = s;
  m_loUnit += U2B(256 / 2);
  m_minContext->stats = Ref(s);
  for (unsigned i = 0; i < 256; i++) {
    s[i].symbol = (uint8_t)i;
    s[i].freq = 1;
    SetSuccessor(&s[i], 0);
  }

  // Each row of the binary-context and escape estimators starts from the smallest count
  // of its frequency class.
  unsigned n = 0;
  for (unsigned row = 0; row < 25; row++) {
    while (m_ns2Indx[n] == row) n++;
    for (unsigned k = 0; k < 8; k++) {
      uint16_t val = (uint16_t)(kBinScale - kInitBinEsc[k] / (n + 1));
      for (unsigned m = 0; m < 64; m += 8) m_binSumm[row][k + m] = val;
    }
  }
  n = 0;
  for (unsigned row = 0; row < 24; row++) {
    while (m_ns2Indx[n + 3] == row + 3) n++;
    for (unsigned k = 0; k < 32; k++) {
      See* see = &m_see[row][k];
      see->shift = kPeriodBits - 4;
      see->summ = (uint16_t)((2 * n + 5) << see->shift);
      see->count = 7;
    }
  }
}

void CPpmdModel::Init(unsigned maxOrder, unsigned method) {
  m_maxOrder = maxOrder;
  m_restoreMethod = method;
  m_initEsc = 0;
  RestartModel();
  m_dummySee.shift = kPeriodBits;
  m_dummySee.summ = 0;
  m_dummySee.count = 64;
}

void CPpmdModel::Refresh(Context* ctx, unsigned oldNU, unsigned scale) {
  unsigned i = ctx->numStats;
  State* s = (State*)ShrinkUnits(StatsOf(ctx), oldNU, (i + 2) >> 1);
  ctx->stats = Ref(s);
  // A frozen model lets the sums grow; halve them before they leave 16 bits.
  scale |= (ctx->summFreq >= (1u << 15));
  unsigned flags = (ctx->flags & (0x10 + 0x04 * scale)) + 0x08 * (s->symbol >= 0x40);
  unsigned escFreq = ctx->summFreq - s->freq;
  unsigned sumFreq = (s->freq = (uint8_t)((s->freq + scale) >> scale));
  do {
    escFreq -= (++s)->freq;
    sumFreq += (s->freq = (uint8_t)((s->freq + scale) >> scale));
    flags |= 0x08 * (s->symbol >= 0x40);
  } while (--i);
  ctx->summFreq = (uint16_t)(sumFreq + ((escFreq + scale) >> scale));
  ctx->flags = (uint8_t)flags;
}

uint32_t CPpmdModel::CutOff(Context* ctx, unsigned order) {
  if (ctx->numStats == 0) {
    State* s = OneState(ctx);
    if (m_base + Successor(s) >= m_unitsStart) {
      if (order < m_maxOrder)
        SetSuccessor(s, CutOff(Ctx(Successor(s)), order + 1));
      else
        SetSuccessor(s, 0);
      if (Successor(s) != 0 || order <= 9) return Ref(ctx);
    }
    SpecialFreeUnit(ctx);
    return 0;
  }

  unsigned nu = ((unsigned)ctx->numStats + 2) >> 1;
  ctx->stats = Ref(MoveUnitsUp(StatsOf(ctx), nu));
  int i = ctx->numStats;
  for (State* s = StatsOf(ctx) + i; s >= StatsOf(ctx); s--) {
    if (m_base + Successor(s) < m_unitsStart) {
      // Successor in the text area: drop it and move the state behind the kept ones.
      State* s2 = StatsOf(ctx) + (i--);
      SetSuccessor(s, 0);
      SwapStates(s, s2);
    } else if (order < m_maxOrder) {
      SetSuccessor(s, CutOff(Ctx(Successor(s)), order + 1));
    } else {
      SetSuccessor(s, 0);
    }
  }

  if (i != ctx->numStats && order != 0) {
    ctx->numStats = (uint8_t)i;
    State* s = StatsOf(ctx);
    if (i < 0) {
      FreeUnits(s, nu);
      SpecialFreeUnit(ctx);
      return 0;
    }
    if (i == 0) {
      ctx->flags = (uint8_t)((ctx->flags & 0x10) + 0x08 * (s->symbol >= 0x40));
      *OneState(ctx) = *s;
      FreeUnits(s, nu);
      OneState(ctx)->freq = (uint8_t)(((unsigned)OneState(ctx)->freq + 11) >> 3);
    } else {
      Refresh(ctx, nu, ctx->summFreq > 16 * (unsigned)i);
    }
  }
  return Ref(ctx);
}

uint32_t CPpmdModel::RemoveBinContexts(Context* ctx, unsigned order) {
  if (ctx->numStats == 0) {
    State* s = OneState(ctx);
    if (m_base + Successor(s) >= m_unitsStart && order < m_maxOrder)
      SetSuccessor(s, RemoveBinContexts(Ctx(Successor(s)), order + 1));
    else
      SetSuccessor(s, 0);
    // The suffix may be gone already (several successors can share a context): a freed
    // unit shows the flags 0xFF of its stamp.
    if (Successor(s) == 0 && (SuffixOf(ctx)->numStats == 0 || SuffixOf(ctx)->flags == 0xFF)) {
      FreeUnits(ctx, 1);
      return 0;
    }
    return Ref(ctx);
  }
  for (State* s = StatsOf(ctx) + ctx->numStats; s >= StatsOf(ctx); s--) {
    if (m_base + Successor(s) >= m_unitsStart && order < m_maxOrder)
      SetSuccessor(s, RemoveBinContexts(Ctx(Successor(s)), order + 1));
    else
      SetSuccessor(s, 0);
  }
  return Ref(ctx);
}

void CPpmdModel::RestoreModel(Context* c1, Context* fSuccessor) {
  m_text = m_base + m_alignOffset;

  // Take back the symbol just added to the contexts above c1 and refresh their statistics.
  Context* c;
  for (c = m_maxContext; c != c1; c = SuffixOf(c)) {
    if (--(c->numStats) == 0) {
      State* s = StatsOf(c);
      c->flags = (uint8_t)((c->flags & 0x10) + 0x08 * (s->symbol >= 0x40));
      *OneState(c) = *s;
      SpecialFreeUnit(s);
      OneState(c)->freq = (uint8_t)(((unsigned)OneState(c)->freq + 11) >> 3);
    } else {
      Refresh(c, (c->numStats + 3) >> 1, 0);
    }
  }
  for (; c != m_minContext; c = SuffixOf(c)) {
    if (c->numStats == 0)
      OneState(c)->freq = (uint8_t)(OneState(c)->freq - (OneState(c)->freq >> 1));
    else if ((c->summFreq = (uint16_t)(c->summFreq + 4)) > 128 + 4 * c->numStats)
      Refresh(c, (c->numStats + 2) >> 1, 1);
  }

  if (m_restoreMethod > PPMD_RESTORE_FREEZE) {
    // Frozen: the model no longer grows.
    m_maxContext = fSuccessor != nullptr && fSuccessor != (Context*)m_base ? fSuccessor : m_maxContext;
    m_glueCount += !(m_stamps[1] & 1);
  } else if (m_restoreMethod == PPMD_RESTORE_FREEZE) {
    while (m_maxContext->suffix != 0) m_maxContext = SuffixOf(m_maxContext);
    RemoveBinContexts(m_maxContext, 0);
    m_restoreMethod++;
    m_glueCount = 0;
    m_orderFall = m_maxOrder;
  } else if (m_restoreMethod == PPMD_RESTORE_RESTART || UsedMemory() < (m_size >> 1)) {
    RestartModel();
  } else {
    while (m_maxContext->suffix != 0) m_maxContext = SuffixOf(m_maxContext);
    do {
      CutOff(m_maxContext, 0);
      ExpandTextArea();
    } while (UsedMemory() > 3 * (m_size >> 2));
    m_glueCount = 0;
    m_orderFall = m_maxOrder;
  }
}

CPpmdModel::Context* CPpmdModel::CreateSuccessors(bool skip, State* s1, Context* c) {
  uint32_t upBranch = Successor(m_foundState);
  State* ps[2 * PPMD_MAX_ORDER + 2];
  unsigned numPs = 0;
  if (!skip) ps[numPs++] = m_foundState;

  while (c->suffix != 0) {
    State* s;
    c = SuffixOf(c);
    if (s1 != nullptr) {
      s = s1;
      s1 = nullptr;
    } else if (c->numStats != 0) {
      for (s = StatsOf(c); s->symbol != m_foundState->symbol; s++) {
      }
      if (s->freq < kMaxFreq - 9) {
        s->freq++;
        c->summFreq++;
      }
    } else {
      s = OneState(c);
      s->freq = (uint8_t)(s->freq + (!SuffixOf(c)->numStats & (s->freq < 24)));
    }
    uint32_t successor = Successor(s);
    if (successor != upBranch) {
      c = Ctx(successor);
      if (numPs == 0) return c;
      break;
    }
    ps[numPs++] = s;
  }

  State upState;
  upState.symbol = *(m_base + upBranch);
  SetSuccessor(&upState, upBranch + 1);
  uint8_t flags = (uint8_t)(0x10 * (m_foundState->symbol >= 0x40) + 0x08 * (upState.symbol >= 0x40));

  if (c->numStats == 0) {
    upState.freq = OneState(c)->freq;
  } else {
    State* s;
    for (s = StatsOf(c); s->symbol != upState.symbol; s++) {
    }
    uint32_t cf = s->freq - 1u;
    uint32_t s0 = c->summFreq - c->numStats - cf;
    upState.freq = (uint8_t)(1 + ((2 * cf <= s0) ? (5 * cf > s0) : ((cf + 2 * s0 - 3) / s0)));
  }

  do {
    Context* c1;
    if (m_hiUnit != m_loUnit) {
      m_hiUnit -= kUnitSize;
      c1 = (Context*)m_hiUnit;
    } else if (m_freeList[0] != 0) {
      c1 = (Context*)RemoveNode(0);
    } else {
      c1 = (Context*)AllocUnitsRare(0);
      if (c1 == nullptr) return nullptr;
    }
    c1->numStats = 0;
    c1->flags = flags;
    *OneState(c1) = upState;
    c1->suffix = Ref(c);
    SetSuccessor(ps[--numPs], Ref(c1));
    c = c1;
  } while (numPs != 0);
  return c;
}

CPpmdModel::Context* CPpmdModel::ReduceOrder(State* s1, Context* c) {
  State* s = nullptr;
  Context* c1 = c;
  uint32_t upBranch = Ref(m_text);
  State* ps[2 * PPMD_MAX_ORDER + 2];
  unsigned numPs = 0;
  ps[numPs++] = m_foundState;
  SetSuccessor(m_foundState, upBranch);
  m_orderFall++;

  for (;;) {
    if (s1 != nullptr) {
      c = SuffixOf(c);
      s = s1;
      s1 = nullptr;
    } else {
      if (c->suffix == 0) {
        if (m_restoreMethod > PPMD_RESTORE_FREEZE) {
          do {
            SetSuccessor(ps[--numPs], Ref(c));
          } while (numPs != 0);
          m_text = m_base + m_alignOffset + 1;
          m_orderFall = 1;
        }
        return c;
      }
      c = SuffixOf(c);
      if (c->numStats != 0) {
        s = StatsOf(c);
        while (s->symbol != m_foundState->symbol) s++;
        if (s->freq < kMaxFreq - 9) {
          s->freq += 2;
          c->summFreq += 2;
        }
      } else {
        s = OneState(c);
        s->freq = (uint8_t)(s->freq + (s->freq < 32));
      }
    }
    if (Successor(s) != 0) break;
    if (numPs < sizeof(ps) / sizeof(ps[0])) ps[numPs++] = s;
    SetSuccessor(s, upBranch);
    m_orderFall++;
  }

  if (m_restoreMethod > PPMD_RESTORE_FREEZE) {
    c = Ctx(Successor(s));
    do {
      SetSuccessor(ps[--numPs], Ref(c));
    } while (numPs != 0);
    m_text = m_base + m_alignOffset + 1;
    m_orderFall = 1;
    return c;
  }
  if (Successor(s) <= upBranch) {
    State* s2 = m_foundState;
    m_foundState = s;
    Context* successor = CreateSuccessors(false, nullptr, c);
    SetSuccessor(s, successor == nullptr ? 0 : Ref(successor));
    m_foundState = s2;
  }
  if (m_orderFall == 1 && c1 == m_maxContext) {
    SetSuccessor(m_foundState, Successor(s));
    m_text--;
  }
  if (Successor(s) == 0) return nullptr;
  return Ctx(Successor(s));
}

void CPpmdModel::UpdateModel() {
  uint32_t fSuccessor = Successor(m_foundState);
  const unsigned fFreq = m_foundState->freq;
  const uint8_t fSymbol = m_foundState->symbol;
  State* s = nullptr;

  // Raise the symbol's frequency in the next shorter context as well.
  if (fFreq < kMaxFreq / 4 && m_minContext->suffix != 0) {
    Context* c = SuffixOf(m_minContext);
    if (c->numStats == 0) {
      s = OneState(c);
      if (s->freq < 32) s->freq++;
    } else {
      s = StatsOf(c);
      if (s->symbol != fSymbol) {
        do {
          s++;
        } while (s->symbol != fSymbol);
        if (s[0].freq >= s[-1].freq) {
          SwapStates(&s[0], &s[-1]);
          s--;
        }
      }
      if (s->freq < kMaxFreq - 9) {
        s->freq += 2;
        c->summFreq += 2;
      }
    }
  }

  Context* c = m_maxContext;
  if (m_orderFall == 0 && fSuccessor != 0) {
    Context* cs = CreateSuccessors(true, s, m_minContext);
    if (cs == nullptr) {
      SetSuccessor(m_foundState, 0);
      RestoreModel(c, Ctx(fSuccessor));
    } else {
      SetSuccessor(m_foundState, Ref(cs));
      m_maxContext = cs;
    }
    return;
  }

  *m_text++ = fSymbol;
  uint32_t successor = Ref(m_text);
  if (m_text >= m_unitsStart) {
    RestoreModel(c, Ctx(fSuccessor));
    return;
  }

  if (fSuccessor == 0) {
    Context* cs = ReduceOrder(s, m_minContext);
    if (cs == nullptr) {
      RestoreModel(c, nullptr);
      return;
    }
    fSuccessor = Ref(cs);
  } else if (m_base + fSuccessor < m_unitsStart) {
    Context* cs = CreateSuccessors(false, s, m_minContext);
    if (cs == nullptr) {
      RestoreModel(c, nullptr);
      return;
    }
    fSuccessor = Ref(cs);
  }

  if (--m_orderFall == 0) {
    successor = fSuccessor;
    m_text -= (m_maxContext != m_minContext);
  } else if (m_restoreMethod > PPMD_RESTORE_FREEZE) {
    successor = fSuccessor;
    m_text = m_base + m_alignOffset;
    m_orderFall = 0;
  }

  const unsigned ns = m_minContext->numStats;
  const unsigned s0 = m_minContext->summFreq - ns - fFreq;
  const uint8_t flag = (uint8_t)(0x08 * (fSymbol >= 0x40));

  for (; c != m_minContext; c = SuffixOf(c)) {
    unsigned ns1 = c->numStats;
    if (ns1 != 0) {
      if ((ns1 & 1) != 0) {
        // The symbol list fills its units: move it into the next size class.
        unsigned oldNU = (ns1 + 1) >> 1;
        unsigned i = U2I(oldNU);
        if (i != U2I(oldNU + 1)) {
          void* ptr = AllocUnits(i + 1);
          if (ptr == nullptr) {
            RestoreModel(c, Ctx(fSuccessor));
            return;
          }
          void* oldPtr = StatsOf(c);
          CopyUnits(ptr, oldPtr, oldNU);
          InsertNode(oldPtr, i);
          c->stats = Ref(ptr);
        }
      }
      c->summFreq = (uint16_t)(c->summFreq + (3 * ns1 + 1 < ns));
    } else {
      State* s2 = (State*)AllocUnits(0);
      if (s2 == nullptr) {
        RestoreModel(c, Ctx(fSuccessor));
        return;
      }
      *s2 = *OneState(c);
      c->stats = Ref(s2);
      if (s2->freq < kMaxFreq / 4 - 1)
        s2->freq <<= 1;
      else
        s2->freq = kMaxFreq - 4;
      c->summFreq = (uint16_t)(s2->freq + m_initEsc + (ns > 2));
    }

    uint32_t cf = 2 * fFreq * (c->summFreq + 6u);
    uint32_t sf = (uint32_t)s0 + c->summFreq;
    if (cf < 6 * sf) {
      cf = 1 + (cf > sf) + (cf >= 4 * sf);
      c->summFreq += 4;
    } else {
      cf = 4 + (cf > 9 * sf) + (cf > 12 * sf) + (cf > 15 * sf);
      c->summFreq = (uint16_t)(c->summFreq + cf);
    }
    State* added = StatsOf(c) + ns1 + 1;
    SetSuccessor(added, successor);
    added->symbol = fSymbol;
    added->freq = (uint8_t)cf;
    c->flags |= flag;
    c->numStats = (uint8_t)(ns1 + 1);
  }
  m_maxContext = m_minContext = Ctx(fSuccessor);
}

void CPpmdModel::Rescale() {
  State* stats = StatsOf(m_minContext);
  State* s = m_foundState;
  // The found state moves to the front.
  if (s != stats) {
    State tmp = *s;
    do {
      s[0] = s[-1];
    } while (--s != stats);
    *s = tmp;
  }
  unsigned escFreq = m_minContext->summFreq - s->freq;
  s->freq += 4;
  unsigned adder = (m_orderFall != 0 || m_restoreMethod > PPMD_RESTORE_FREEZE);
  s->freq = (uint8_t)((s->freq + adder) >> 1);
  unsigned sumFreq = s->freq;

  unsigned i = m_minContext->numStats;
  do {
    escFreq -= (++s)->freq;
    s->freq = (uint8_t)((s->freq + adder) >> 1);
    sumFreq += s->freq;
    if (s[0].freq > s[-1].freq) {
      // Keep the list sorted by frequency.
      State* s1 = s;
      State tmp = *s1;
      do {
        s1[0] = s1[-1];
      } while (--s1 != stats && tmp.freq > s1[-1].freq);
      *s1 = tmp;
    }
  } while (--i);

  if (s->freq == 0) {
    // Drop the symbols whose frequency fell to 0.
    unsigned numStats = m_minContext->numStats;
    i = 0;
    do {
      i++;
    } while ((--s)->freq == 0);
    escFreq += i;
    m_minContext->numStats = (uint8_t)(m_minContext->numStats - i);
    if (m_minContext->numStats == 0) {
      State tmp = *stats;
      tmp.freq = (uint8_t)((2 * tmp.freq + escFreq - 1) / escFreq);
      if (tmp.freq > kMaxFreq / 3) tmp.freq = kMaxFreq / 3;
      InsertNode(stats, U2I((numStats + 2) >> 1));
      m_minContext->flags = (uint8_t)((m_minContext->flags & 0x10) + 0x08 * (tmp.symbol >= 0x40));
      *(m_foundState = OneState(m_minContext)) = tmp;
      return;
    }
    unsigned n0 = (numStats + 2) >> 1;
    unsigned n1 = (m_minContext->numStats + 2) >> 1;
    if (n0 != n1) m_minContext->stats = Ref(ShrinkUnits(stats, n0, n1));
    m_minContext->flags &= ~0x08;
    s = StatsOf(m_minContext);
    m_minContext->flags |= 0x08 * (s->symbol >= 0x40);
    i = m_minContext->numStats;
    do {
      m_minContext->flags |= 0x08 * ((++s)->symbol >= 0x40);
    } while (--i);
  }
  m_minContext->summFreq = (uint16_t)(sumFreq + escFreq - (escFreq >> 1));
  m_minContext->flags |= 0x04;
  m_foundState = StatsOf(m_minContext);
}

void CPpmdModel::NextContext() {
  Context* c = Ctx(Successor(m_foundState));
  if (m_orderFall == 0 && (uint8_t*)c >= m_unitsStart) {
    m_minContext = m_maxContext = c;
  } else {
    UpdateModel();
    m_minContext = m_maxContext;
  }
}

void CPpmdModel::Update1() {
  State* s = m_foundState;
  s->freq += 4;
  m_minContext->summFreq += 4;
  if (s[0].freq > s[-1].freq) {
    SwapStates(&s[0], &s[-1]);
    m_foundState = --s;
    if (s->freq > kMaxFreq) Rescale();
  }
  NextContext();
}

void CPpmdModel::Update1_0() {
  m_prevSuccess = (2u * m_foundState->freq >= m_minContext->summFreq);
  m_runLength += m_prevSuccess;
  m_minContext->summFreq += 4;
  if ((m_foundState->freq += 4) > kMaxFreq) Rescale();
  NextContext();
}

void CPpmdModel::Update2() {
  m_minContext->summFreq += 4;
  if ((m_foundState->freq += 4) > kMaxFreq) Rescale();
  m_runLength = m_initRL;
  UpdateModel();
  m_minContext = m_maxContext;
}

void CPpmdModel::UpdateBin() {
  m_foundState->freq = (uint8_t)(m_foundState->freq + (m_foundState->freq < 196));
  m_prevSuccess = 1;
  m_runLength++;
  NextContext();
}

CPpmdModel::See* CPpmdModel::MakeEscFreq(unsigned numMasked, uint32_t* escFreq) {
  const Context* mc = m_minContext;
  unsigned numStats = mc->numStats;
  if (numStats == 0xFF) {
    *escFreq = 1;
    return &m_dummySee;
  }
  See* see = m_see[(unsigned)m_ns2Indx[numStats + 2] - 3] + (mc->summFreq > 11 * (numStats + 1)) +
             2 * (unsigned)(2 * numStats < (unsigned)SuffixOf(mc)->numStats + numMasked) + mc->flags;
  unsigned r = see->summ >> see->shift;
  see->summ = (uint16_t)(see->summ - r);
  *escFreq = r + (r == 0);
  return see;
}

uint16_t* CPpmdModel::BinSumm() {
  State* s = OneState(m_minContext);
  return &m_binSumm[m_ns2Indx[s->freq - 1]][m_ns2BSIndx[SuffixOf(m_minContext)->numStats] + m_prevSuccess +
                                             m_minContext->flags + ((m_runLength >> 26) & 0x20)];
}

// ---- Range coder ----

void CPpmdModel::EncoderInit() {
  m_low = 0;
  m_range = 0xFFFFFFFFu;
}

void CPpmdModel::EncNormalize(CPpmdByteOut& out) {
  for (;;) {
    if ((m_low ^ (m_low + m_range)) >= kTop) {
      if (m_range >= kBot) break;
      m_range = (0u - m_low) & (kBot - 1);
    }
    out.Put((uint8_t)(m_low >> 24));
    m_range <<= 8;
    m_low <<= 8;
  }
}

void CPpmdModel::Encode(uint32_t start, uint32_t size, uint32_t total, CPpmdByteOut& out) {
  m_low += start * (m_range /= total);
  m_range *= size;
  EncNormalize(out);
}

void CPpmdModel::EncodeUnits(uint32_t start, uint32_t size, uint32_t unit, CPpmdByteOut& out) {
  m_low += start * unit;
  m_range = unit * size;
  EncNormalize(out);
}

void CPpmdModel::EncoderFlush(CPpmdByteOut& out) {
  for (int i = 0; i < 4; i++, m_low <<= 8) out.Put((uint8_t)(m_low >> 24));
}

void CPpmdModel::DecoderInit(CPpmdByteIn& in) {
  m_low = 0;
  m_range = 0xFFFFFFFFu;
  m_code = 0;
  for (int i = 0; i < 4; i++) m_code = (m_code << 8) | in.Get();
}

void CPpmdModel::Decode(uint32_t start, uint32_t size, CPpmdByteIn& in) {
  start *= m_range;
  m_low += start;
  m_code -= start;
  m_range *= size;
  for (;;) {
    if ((m_low ^ (m_low + m_range)) >= kTop) {
      if (m_range >= kBot) break;
      m_range = (0u - m_low) & (kBot - 1);
    }
    m_code = (m_code << 8) | in.Get();
    m_range <<= 8;
    m_low <<= 8;
  }
}

void CPpmdModel::EncodeSymbol(int symbol, CPpmdByteOut& out) {
  int8_t charMask[256];
  if (m_minContext->numStats != 0) {
    State* s = StatsOf(m_minContext);
    // The coder's division does not depend on the search: started first, it overlaps it.
    const uint32_t unit = m_range / m_minContext->summFreq;
    if (s->symbol == symbol) {
      EncodeUnits(0, s->freq, unit, out);
      m_foundState = s;
      Update1_0();
      return;
    }
    m_prevSuccess = 0;
    uint32_t sum = s->freq;
    unsigned i = m_minContext->numStats;
    do {
      if ((++s)->symbol == symbol) {
        EncodeUnits(sum, s->freq, unit, out);
        m_foundState = s;
        Update1();
        return;
      }
      sum += s->freq;
    } while (--i);
    memset(charMask, -1, sizeof(charMask));
    charMask[s->symbol] = 0;
    i = m_minContext->numStats;
    do {
      charMask[(--s)->symbol] = 0;
    } while (--i);
    EncodeUnits(sum, m_minContext->summFreq - sum, unit, out);
  } else {
    uint16_t* prob = BinSumm();
    State* s = OneState(m_minContext);
    if (s->symbol == symbol) {
      m_range = (m_range >> 14) * *prob;
      EncNormalize(out);
      *prob = (uint16_t)(*prob + (1u << kIntBits) - GetMean(*prob));
      m_foundState = s;
      UpdateBin();
      return;
    }
    m_low += *prob * (m_range >>= 14);
    m_range *= (1u << 14) - *prob;
    EncNormalize(out);
    *prob = (uint16_t)(*prob - GetMean(*prob));
    m_initEsc = kExpEscape[*prob >> 10];
    memset(charMask, -1, sizeof(charMask));
    charMask[s->symbol] = 0;
    m_prevSuccess = 0;
  }
  for (;;) {
    unsigned numMasked = m_minContext->numStats;
    do {
      m_orderFall++;
      if (m_minContext->suffix == 0) return;  // escaped from the root: end of data
      m_minContext = SuffixOf(m_minContext);
    } while (m_minContext->numStats == numMasked);

    uint32_t escFreq;
    See* see = MakeEscFreq(numMasked, &escFreq);
    State* s = StatsOf(m_minContext);
    State* const end = s + m_minContext->numStats + 1;
    uint32_t sum = 0;
    do {
      const unsigned cur = s->symbol;
      if ((int)cur == symbol) {
        // The symbol was in none of the longer contexts, so it is not masked.
        const uint32_t low = sum;
        State* found = s;
        sum += s->freq;
#pragma GCC unroll 2
        while (++s != end) sum += s->freq & (unsigned)(int)charMask[s->symbol];
        Encode(low, found->freq, sum + escFreq, out);
        SeeUpdate(see);
        m_foundState = found;
        Update2();
        return;
      }
      sum += s->freq & (unsigned)(int)charMask[cur];
      charMask[cur] = 0;
    } while (++s != end);
    Encode(sum, escFreq, sum + escFreq, out);
    see->summ = (uint16_t)(see->summ + sum + escFreq);
  }
}

int CPpmdModel::DecodeSymbol(CPpmdByteIn& in) {
  int8_t charMask[256];
  if (m_minContext->numStats != 0) {
    State* s = StatsOf(m_minContext);
    uint32_t count = DecThreshold(m_minContext->summFreq);
    uint32_t hiCnt = s->freq;
    if (count < hiCnt) {
      Decode(0, s->freq, in);
      m_foundState = s;
      uint8_t symbol = s->symbol;
      Update1_0();
      return symbol;
    }
    m_prevSuccess = 0;
    unsigned i = m_minContext->numStats;
    do {
      if ((hiCnt += (++s)->freq) > count) {
        Decode(hiCnt - s->freq, s->freq, in);
        m_foundState = s;
        uint8_t symbol = s->symbol;
        Update1();
        return symbol;
      }
    } while (--i);
    if (count >= m_minContext->summFreq) return -2;
    Decode(hiCnt, m_minContext->summFreq - hiCnt, in);
    memset(charMask, -1, sizeof(charMask));
    charMask[s->symbol] = 0;
    i = m_minContext->numStats;
    do {
      charMask[(--s)->symbol] = 0;
    } while (--i);
  } else {
    uint16_t* prob = BinSumm();
    if (m_code / (m_range >>= 14) < *prob) {
      Decode(0, *prob, in);
      *prob = (uint16_t)(*prob + (1u << kIntBits) - GetMean(*prob));
      m_foundState = OneState(m_minContext);
      uint8_t symbol = m_foundState->symbol;
      UpdateBin();
      return symbol;
    }
    Decode(*prob, (1u << 14) - *prob, in);
    *prob = (uint16_t)(*prob - GetMean(*prob));
    m_initEsc = kExpEscape[*prob >> 10];
    memset(charMask, -1, sizeof(charMask));
    charMask[OneState(m_minContext)->symbol] = 0;
    m_prevSuccess = 0;
  }
  for (;;) {
    State* ps[256];
    unsigned numMasked = m_minContext->numStats;
    do {
      m_orderFall++;
      if (m_minContext->suffix == 0) return -1;
      m_minContext = SuffixOf(m_minContext);
    } while (m_minContext->numStats == numMasked);

    uint32_t hiCnt = 0;
    State* s = StatsOf(m_minContext);
    unsigned i = 0;
    const unsigned num = m_minContext->numStats - numMasked;
    do {
      int k = charMask[s->symbol];
      hiCnt += (s->freq & k);
      ps[i] = s++;
      i -= k;
    } while (i != num);

    uint32_t freqSum;
    See* see = MakeEscFreq(numMasked, &freqSum);
    freqSum += hiCnt;
    uint32_t count = DecThreshold(freqSum);
    if (count < hiCnt) {
      State** pps = ps;
      for (hiCnt = 0; (hiCnt += (*pps)->freq) <= count; pps++) {
      }
      s = *pps;
      Decode(hiCnt - s->freq, s->freq, in);
      SeeUpdate(see);
      m_foundState = s;
      uint8_t symbol = s->symbol;
      Update2();
      return symbol;
    }
    if (count >= freqSum) return -2;
    Decode(hiCnt, freqSum - hiCnt, in);
    see->summ = (uint16_t)(see->summ + freqSum);
    do {
      charMask[ps[--i]->symbol] = 0;
    } while (i != 0);
  }
}
