// The entry table of a zip archive.
#include "zip/ZipEntry.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "text/Match.h"
#include "zip/ZipIo.h"

namespace {

// Folds a code page 1252 byte for name compares: letters to small letters, '\' to '/'.
struct FoldTable {
  uint8_t map[256];
  FoldTable() {
    for (int i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(i);
    for (int c = 'A'; c <= 'Z'; ++c) map[c] = static_cast<uint8_t>(c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c)
      if (c != 0xD7) map[c] = static_cast<uint8_t>(c + 32);
    map[0x8A] = 0x9A;  // Š
    map[0x8C] = 0x9C;  // Œ
    map[0x8E] = 0x9E;  // Ž
    map[0x9F] = 0xFF;  // Ÿ
    map['\\'] = '/';
  }
};
const FoldTable g_fold;

inline uint8_t Fold(char c) { return g_fold.map[static_cast<uint8_t>(c)]; }

uint32_t HashName(const char *name, int length) {
  uint32_t h = 2166136261u;
  for (int i = 0; i < length; ++i) h = (h ^ Fold(name[i])) * 16777619u;
  return h ? h : 1;
}

}  // namespace

int ZipCompareNames(const char *a, int lengthA, const char *b, int lengthB) {
  int n = lengthA < lengthB ? lengthA : lengthB;
  for (int i = 0; i < n; ++i) {
    int d = Fold(a[i]) - Fold(b[i]);
    if (d) return d;
  }
  return lengthA - lengthB;
}

CZipEntryTable::CZipEntryTable()
    : m_options(0),
      m_entries(nullptr),
      m_count(0),
      m_capacity(0),
      m_live(0),
      m_sortOrder(0),
      m_buckets(nullptr),
      m_bucketCount(0),
      m_indexed(0) {}

CZipEntryTable::~CZipEntryTable() {
  CZipEntryTable::FreeEntries();
  std::free(m_buckets);
}

void CZipEntryTable::DestroyEntry(ZipEntry *entry) {
  if (!entry) return;
  std::free(entry->localExtra);
  std::free(entry->centralExtra);
  std::free(entry->comment);
  std::free(entry->rawName);
  std::free(entry->name);  // the source path shares this allocation
  std::free(entry);
}

void CZipEntryTable::Renumber(int from) {
  for (int i = from; i < m_count; ++i) m_entries[i]->tableIndex = i;
}

int CZipEntryTable::NewEntry() {
  if (m_count == m_capacity) {
    int capacity = m_capacity ? m_capacity * 2 : 256;
    ZipEntry **grown =
        static_cast<ZipEntry **>(std::realloc(m_entries, capacity * sizeof(ZipEntry *)));
    if (!grown) ZipRaise(ZIP_E_NOMEM);
    std::memset(grown + m_count, 0, (capacity - m_count) * sizeof(ZipEntry *));
    m_entries = grown;
    m_capacity = capacity;
  }
  ZipEntry *entry = static_cast<ZipEntry *>(std::calloc(1, sizeof(ZipEntry)));
  if (!entry) ZipRaise(ZIP_E_NOMEM);
  int index = m_count++;
  m_entries[index] = entry;
  entry->tableIndex = index;
  // Keep live records in front: the first deleted one moves to the end.
  if (m_live < index && m_entries[m_live]->deleted) {
    SwapRecords(m_live, index);
    index = m_live;
  }
  ++m_live;
  m_sortOrder = 0;
  return index;
}

void CZipEntryTable::SwapRecords(int a, int b) {
  std::swap(m_entries[a], m_entries[b]);
  m_entries[a]->tableIndex = a;
  m_entries[b]->tableIndex = b;
}

void CZipEntryTable::Rehash(uint32_t buckets) {
  ZipEntry **table = static_cast<ZipEntry **>(std::calloc(buckets, sizeof(ZipEntry *)));
  if (!table) return;  // keep the smaller index; lookups stay correct, only slower
  for (uint32_t i = 0; i < m_bucketCount; ++i) {
    ZipEntry *e = m_buckets[i];
    while (e) {
      ZipEntry *next = e->hashNext;
      uint32_t slot = e->nameHash & (buckets - 1);
      e->hashNext = table[slot];
      table[slot] = e;
      e = next;
    }
  }
  std::free(m_buckets);
  m_buckets = table;
  m_bucketCount = buckets;
}

void CZipEntryTable::IndexEntry(ZipEntry *entry) {
  if (m_indexed + 1 > m_bucketCount) Rehash(m_bucketCount ? m_bucketCount * 2 : 1024);
  if (!m_buckets) ZipRaise(ZIP_E_NOMEM);
  entry->nameHash = HashName(entry->name, entry->nameLength);
  uint32_t slot = entry->nameHash & (m_bucketCount - 1);
  entry->hashNext = m_buckets[slot];
  m_buckets[slot] = entry;
  ++m_indexed;
}

void CZipEntryTable::UnindexEntry(ZipEntry *entry) {
  if (!entry->nameHash || !m_buckets) return;
  ZipEntry **link = &m_buckets[entry->nameHash & (m_bucketCount - 1)];
  while (*link && *link != entry) link = &(*link)->hashNext;
  if (*link) {
    *link = entry->hashNext;
    --m_indexed;
  }
  entry->hashNext = nullptr;
  entry->nameHash = 0;
}

int CZipEntryTable::SetEntryName(int index, const char *name, int length,
                                 const char *sourcePath) {
  ZipEntry *entry = GetEntry(index);
  if (!entry || !name) return ZIP_E_INDEX;
  size_t nameLength = length < 0 ? std::strlen(name) : static_cast<size_t>(length);
  if (nameLength > 0xFFFF) return ZIP_E_NONAME;
  size_t sourceLength = sourcePath ? std::strlen(sourcePath) + 1 : 0;
  char *block = static_cast<char *>(std::malloc(nameLength + 1 + sourceLength));
  if (!block) return ZIP_E_NOMEM;
  std::memcpy(block, name, nameLength);
  block[nameLength] = 0;
  if (sourcePath) std::memcpy(block + nameLength + 1, sourcePath, sourceLength);
  UnindexEntry(entry);
  std::free(entry->name);
  entry->name = block;
  entry->sourcePath = sourcePath ? block + nameLength + 1 : nullptr;
  entry->nameLength = static_cast<uint16_t>(nameLength);
  try {
    IndexEntry(entry);
  } catch (int code) {
    return code;
  }
  return ZIP_OK;
}

void CZipEntryTable::FreeEntry(int index) {
  ZipEntry *entry = GetEntry(index);
  if (!entry) return;
  UnindexEntry(entry);
  if (!entry->deleted) --m_live;
  DestroyEntry(entry);
  std::memmove(m_entries + index, m_entries + index + 1,
               (m_count - index - 1) * sizeof(ZipEntry *));
  m_entries[--m_count] = nullptr;
  Renumber(index);
  if (!m_count) {
    std::free(m_entries);
    m_entries = nullptr;
    m_capacity = 0;
  }
}

void CZipEntryTable::FreeEntries() {
  for (int i = m_count - 1; i >= 0; --i) DestroyEntry(m_entries[i]);
  std::free(m_entries);
  m_entries = nullptr;
  m_count = m_capacity = m_live = 0;
  m_sortOrder = 0;
  if (m_buckets) std::memset(m_buckets, 0, m_bucketCount * sizeof(ZipEntry *));
  m_indexed = 0;
}

void CZipEntryTable::SetEntryDeleted(int index) {
  ZipEntry *entry = GetEntry(index);
  if (!entry || entry->deleted) return;
  m_sortOrder = 0;
  if (entry->pending) {
    FreeEntry(index);
    return;
  }
  entry->deleted = 1;
  --m_live;
  if ((m_options & ZIP_OPT_SORT_ALWAYS) && SortEntries(0)) return;
  if (index < m_live && !m_entries[m_live]->deleted) SwapRecords(index, m_live);
}

void CZipEntryTable::SetDeletedFlag(int index, bool deleted) {
  ZipEntry *entry = GetEntry(index);
  if (!entry || (entry->deleted != 0) == deleted) return;
  entry->deleted = deleted ? 1 : 0;
  m_live += deleted ? -1 : 1;
  m_sortOrder = 0;
}

int CZipEntryTable::FindEntry(const char *name) const {
  if (!name || !m_buckets) return -1;
  if (*name == '/') ++name;
  if (*name == '\\') ++name;
  size_t length = std::strlen(name);
  if (length > 0xFFFF) return -1;
  uint32_t hash = HashName(name, static_cast<int>(length));
  int found = -1;
  for (ZipEntry *e = m_buckets[hash & (m_bucketCount - 1)]; e; e = e->hashNext) {
    if (e->nameHash != hash || e->deleted || e->nameLength != length) continue;
    if (found >= 0 && e->tableIndex > found) continue;
    if (ZipCompareNames(e->name, e->nameLength, name, static_cast<int>(length)) == 0)
      found = e->tableIndex;
  }
  return found;
}

void CZipEntryTable::SortRecords(unsigned order) {
  auto byName = [](const ZipEntry *a, const ZipEntry *b) {
    if (a->deleted != b->deleted) return a->deleted < b->deleted;
    return ZipCompareNames(a->name ? a->name : "", a->nameLength, b->name ? b->name : "",
                           b->nameLength) < 0;
  };
  auto bySize = [](const ZipEntry *a, const ZipEntry *b) {
    if (a->deleted != b->deleted) return a->deleted < b->deleted;
    return a->uncompressedSize < b->uncompressedSize;
  };
  auto byOffset = [](const ZipEntry *a, const ZipEntry *b) {
    if (a->pending != b->pending) return a->pending < b->pending;
    return a->localHeaderOffset < b->localHeaderOffset;
  };
  auto natural = [](const ZipEntry *a, const ZipEntry *b) {
    if (a->deleted != b->deleted) return a->deleted < b->deleted;
    return StrNaturalCompareNoCaseA(a->name, b->name) < 0;
  };
  ZipEntry **first = m_entries, **last = m_entries + m_count;
  // Stable, so that equal keys keep their order from one sort to the next.
  switch (order) {
    case ZIP_SORT_SIZE: std::stable_sort(first, last, bySize); break;
    case ZIP_SORT_OFFSET: std::stable_sort(first, last, byOffset); break;
    case ZIP_SORT_NATURAL: std::stable_sort(first, last, natural); break;
    default: std::stable_sort(first, last, byName); break;
  }
  Renumber(0);
}

int CZipEntryTable::SortEntries(unsigned order) {
  unsigned wanted = order & 0x700;
  if (!wanted) wanted = m_options & ZIP_OPT_SORT_MASK;
  wanted |= 0x400;
  if (wanted == m_sortOrder) return m_count;
  if (RaiseFormatEvent(ZIP_EVENT_SORT, -1)) return 0;
  if (m_count > 1) SortRecords(wanted);
  m_sortOrder = wanted;
  m_options = (m_options & ~ZIP_OPT_SORT_MASK) | (wanted & ZIP_OPT_SORT_MASK);
  return m_count;
}
