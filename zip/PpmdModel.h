// PPMd variant I revision 1: the context model with its sub-allocator and the carry-less
// range coder, in the form zip method 98 stores (order 2..16, restart/cut-off/freeze).
#pragma once
#include <cstdint>

// Byte channels of the range coder. They never throw: on a failure they remember it and
// return 0 / drop the byte, and the caller stops after the current symbol.
class CPpmdByteIn {
 public:
  virtual uint8_t Get() = 0;

 protected:
  ~CPpmdByteIn() {}
};

// The output puts bytes straight into a buffer [m_pos, m_end) that the channel provides;
// only a full buffer costs a call.
class CPpmdByteOut {
 public:
  void Put(uint8_t b) {
    if (m_pos == m_end && !Drain()) return;
    *m_pos++ = b;
  }

 protected:
  ~CPpmdByteOut() {}
  // Called when the buffer is full: empties it or provides another one. Returns false
  // when no room could be made (the byte is dropped).
  virtual bool Drain() = 0;

  uint8_t* m_pos = nullptr;
  uint8_t* m_end = nullptr;
};

enum { PPMD_MIN_ORDER = 2, PPMD_MAX_ORDER = 16 };
enum { PPMD_RESTORE_RESTART = 0, PPMD_RESTORE_CUT_OFF = 1, PPMD_RESTORE_FREEZE = 2 };
// Smallest model memory the model can start in.
const uint32_t PPMD_MIN_MEMORY = 1u << 11;
// Largest model memory (the sub-allocator addresses it with 32-bit offsets).
const uint32_t PPMD_MAX_MEMORY = 0xFFFFFFFFu - 12 * 3;

class CPpmdModel {
 public:
  // Builds the static tables; no model memory yet.
  CPpmdModel();
  ~CPpmdModel();
  CPpmdModel(const CPpmdModel&) = delete;
  CPpmdModel& operator=(const CPpmdModel&) = delete;

  // Makes the model memory size bytes large (PPMD_MIN_MEMORY..PPMD_MAX_MEMORY); a block of
  // the same size is kept. Returns false when out of memory (nothing allocated then).
  bool Allocate(uint32_t size);
  void Free();
  uint32_t Size() const { return m_base ? m_size : 0; }

  // Starts the model afresh: order PPMD_MIN_ORDER..PPMD_MAX_ORDER, PPMD_RESTORE_* method.
  // Needs Allocate first.
  void Init(unsigned maxOrder, unsigned method);

  // Encoding: EncoderInit, EncodeSymbol for every byte, EncodeSymbol(-1) for the end,
  // EncoderFlush for the last 4 bytes of the coder.
  void EncoderInit();
  void EncodeSymbol(int symbol, CPpmdByteOut& out);
  void EncoderFlush(CPpmdByteOut& out);

  // Decoding: DecoderInit reads 4 bytes; DecodeSymbol returns the byte, -1 at the end of the
  // data, -2 for data that no encoder produces.
  void DecoderInit(CPpmdByteIn& in);
  int DecodeSymbol(CPpmdByteIn& in);

  struct State;
  struct Context;
  struct Node;
  struct See {
    uint16_t summ;
    uint8_t shift;
    uint8_t count;
  };

 private:
  enum { kNumIndexes = 38 };

  // Addressing inside the model memory.
  uint32_t Ref(const void* p) const { return (uint32_t)((const uint8_t*)p - m_base); }
  Context* Ctx(uint32_t ref) const { return (Context*)(m_base + ref); }
  State* StatsOf(const Context* c) const;
  Context* SuffixOf(const Context* c) const;
  Node* NodeAt(uint32_t ref) const { return (Node*)(m_base + ref); }
  unsigned U2I(unsigned nu) const { return m_units2Indx[nu - 1]; }
  unsigned I2U(unsigned indx) const { return m_indx2Units[indx]; }

  // Sub-allocator.
  void InsertNode(void* node, unsigned indx);
  void* RemoveNode(unsigned indx);
  void SplitBlock(void* ptr, unsigned oldIndx, unsigned newIndx);
  void GlueFreeBlocks();
  void* AllocUnitsRare(unsigned indx);
  void* AllocUnits(unsigned indx);
  void* ShrinkUnits(void* oldPtr, unsigned oldNU, unsigned newNU);
  void FreeUnits(void* ptr, unsigned nu);
  void SpecialFreeUnit(void* ptr);
  void* MoveUnitsUp(void* oldPtr, unsigned nu);
  void ExpandTextArea();
  uint32_t UsedMemory() const;

  // Model.
  void RestartModel();
  void Refresh(Context* ctx, unsigned oldNU, unsigned scale);
  uint32_t CutOff(Context* ctx, unsigned order);
  uint32_t RemoveBinContexts(Context* ctx, unsigned order);
  void RestoreModel(Context* c1, Context* fSuccessor);
  Context* CreateSuccessors(bool skip, State* s1, Context* c);
  Context* ReduceOrder(State* s1, Context* c);
  void UpdateModel();
  void Rescale();
  void NextContext();
  void Update1();
  void Update1_0();
  void Update2();
  void UpdateBin();
  See* MakeEscFreq(unsigned numMasked, uint32_t* escFreq);
  uint16_t* BinSumm();

  // Range coder.
  void EncNormalize(CPpmdByteOut& out);
  void Encode(uint32_t start, uint32_t size, uint32_t total, CPpmdByteOut& out);
  // As Encode, with range / total already taken (unit).
  void EncodeUnits(uint32_t start, uint32_t size, uint32_t unit, CPpmdByteOut& out);
  uint32_t DecThreshold(uint32_t total) { return m_code / (m_range /= total); }
  void Decode(uint32_t start, uint32_t size, CPpmdByteIn& in);

  uint8_t* m_alloc;  // the allocated block
  uint8_t* m_base;   // offsets are taken from here; the text area starts at m_base + m_alignOffset
  uint32_t m_size;
  uint32_t m_alignOffset;
  uint8_t* m_loUnit;
  uint8_t* m_hiUnit;
  uint8_t* m_text;
  uint8_t* m_unitsStart;
  uint32_t m_glueCount;
  uint32_t m_freeList[kNumIndexes];
  uint32_t m_stamps[kNumIndexes];

  Context* m_minContext;
  Context* m_maxContext;
  State* m_foundState;
  unsigned m_orderFall, m_initEsc, m_prevSuccess, m_maxOrder, m_restoreMethod;
  int32_t m_runLength, m_initRL;

  uint32_t m_range, m_code, m_low;

  uint8_t m_indx2Units[kNumIndexes];
  uint8_t m_units2Indx[128];
  uint8_t m_ns2BSIndx[256];
  uint8_t m_ns2Indx[260];
  See m_dummySee;
  See m_see[24][32];
  uint16_t m_binSumm[25][64];
};
