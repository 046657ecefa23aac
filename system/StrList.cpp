// CStrList: ordered texts with fixed-size item data.
#include "system/StrList.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/String.h"
#include "system/Paths.h"
#include "text/Match.h"

namespace {

// Byte order (or with fold the order of ASCII letters folded); a prefix sorts first.
int CompareBytes(const char* a, int na, const char* b, int nb, bool fold) {
    int c = MemCmpCase(a, b, size_t(na < nb ? na : nb), fold ? 1 : 0);
    if (c) return c;
    return na < nb ? -1 : (na > nb ? 1 : 0);
}

}  // namespace

CStrList::CStrList(int cbItemData)
    : m_nCount(0), m_cbItemData(cbItemData < 0 ? 0 : cbItemData), m_nRecentLimit(0), m_nRecentMode(0),
      m_nUserData(0), m_ppEntries(nullptr), m_nCapacity(0) {}

CStrList::~CStrList() {
    RemoveAll();
    free(m_ppEntries);
}

bool CStrList::ItemDataSize(int cbItemData) {
    if (m_nCount || cbItemData < 0) return false;
    m_cbItemData = cbItemData;
    return true;
}

bool CStrList::Grow(int nNeeded) {
    if (nNeeded <= m_nCapacity) return true;
    int nNew = m_nCapacity + m_nCapacity / 2 + 16;
    if (nNew < nNeeded) nNew = nNeeded;
    void** p = static_cast<void**>(realloc(m_ppEntries, sizeof(void*) * size_t(nNew)));
    if (!p) return false;
    m_ppEntries = p;
    m_nCapacity = nNew;
    return true;
}

void* CStrList::NewEntry(const char* text, int length, const void* itemData) const {
    char* p = static_cast<char*>(malloc(size_t(m_cbItemData) + sizeof(int) + size_t(length) + 1));
    if (!p) return nullptr;
    if (itemData)
        memcpy(p, itemData, size_t(m_cbItemData));
    else
        memset(p, 0, size_t(m_cbItemData));
    memcpy(p + m_cbItemData, &length, sizeof(int));
    if (length) memcpy(p + m_cbItemData + sizeof(int), text, size_t(length));
    p[m_cbItemData + sizeof(int) + length] = 0;
    return p;
}

bool CStrList::TextEquals(int i, const char* text, int length, int mode) const {
    if (mode & 0x10) return PathCompareNA(GetLength(i), GetString(i), length, text) == 0;
    return GetLength(i) == length && CompareBytes(GetString(i), length, text, length, mode & 1) == 0;
}

int CStrList::Insert(const char* text, int index, const void* itemData) {
    return InsertBuf(-1, text, index, itemData);
}

int CStrList::InsertBuf(int length, const char* text, int index, const void* itemData) {
    return InsertImpl(length, text, index, itemData, nullptr);
}

int CStrList::InsertImpl(int length, const char* text, int index, const void* itemData, bool* pAdded) {
    if (pAdded) *pAdded = false;
    if (!text) {
        text = "";
        length = 0;
    }
    if (length < 0) length = int(strlen(text));
    if (index < 0 || index > m_nCount) index = m_nCount;

    if (m_nRecentLimit > 0) {
        // A history keeps one copy of each text, the one nearest the front.
        int j = Find(length, text, 0, -1, m_nRecentMode);
        if (j >= 0) {
            if (j < index) return j;
            RemoveAt(j);
        }
        if (index >= m_nRecentLimit) return -1;
    }

    if (!Grow(m_nCount + 1)) return -1;
    void* e = NewEntry(text, length, itemData);
    if (!e) return -1;
    memmove(m_ppEntries + index + 1, m_ppEntries + index, sizeof(void*) * size_t(m_nCount - index));
    m_ppEntries[index] = e;
    ++m_nCount;
    if (m_nRecentLimit > 0 && m_nCount > m_nRecentLimit) RemoveRange(m_nRecentLimit, m_nCount);
    if (pAdded) *pAdded = true;
    return index;
}

int CStrList::InsertFormat(int index, const char* format, ...) {
    va_list args;
    va_start(args, format);
    CString s;
    s.FormatV(format, args);
    va_end(args);
    return InsertBuf(s.GetLength(), s, index, nullptr);
}

int CStrList::InsertSplit(int index, const char* block, char delimiter, const void* itemData, int blockLength) {
    if (!block) return 0;
    int inserted = 0;
    int pos = 0;
    auto inBlock = [&](int p) { return blockLength < 0 || p < blockLength; };
    while (inBlock(pos)) {
        int start = pos;
        if (delimiter == 0) {
            while (inBlock(pos) && block[pos]) ++pos;
            if (pos == start) break;  // the empty entry ends a multi-string
        } else {
            if (!block[pos]) break;
            while (inBlock(pos) && block[pos] && block[pos] != delimiter) ++pos;
        }
        int len = pos - start;
        if (len > 0) {
            bool added = false;
            int at = InsertImpl(len, block + start, index, itemData, &added);
            if (added) {
                ++inserted;
                if (index >= 0) index = at + 1;
            }
        }
        if (inBlock(pos) && block[pos] == 0 && delimiter != 0) break;
        if (inBlock(pos)) ++pos;  // past the delimiter (or the NUL of a multi-string entry)
    }
    return inserted;
}

int CStrList::GetText(int index, char* buffer, int size) const {
    if (!buffer || size <= 0) return 0;
    if (index < 0 || index >= m_nCount) {
        buffer[0] = 0;
        return 0;
    }
    int n = GetLength(index);
    if (n > size - 1) n = size - 1;
    memcpy(buffer, GetString(index), size_t(n));
    buffer[n] = 0;
    return n;
}

bool CStrList::SetItemDword(int index, uint32_t value) {
    if (index < 0 || index >= m_nCount || m_cbItemData < 4) return false;
    memcpy(GetItemData(index), &value, 4);
    return true;
}

int CStrList::Find(int length, const char* text, int from, int to, int mode) const {
    if (!text) return -1;
    if (length < 0) length = int(strlen(text));
    if (from < 0) from = 0;
    if (to < 0 || to > m_nCount) to = m_nCount;
    for (int i = from; i < to; ++i)
        if (TextEquals(i, text, length, mode)) return i;
    return -1;
}

int CStrList::FindSorted(int length, const char* text, int from, int to, int flags, bool* pFound) const {
    if (pFound) *pFound = false;
    if (!text) return -1;
    if (length < 0) length = int(strlen(text));
    if (from < 0) from = 0;
    if (to < 0 || to > m_nCount) to = m_nCount;
    if (from > to) from = to;
    bool fold = (flags & 1) != 0;
    auto compare = [&](int i) {
        return (flags & 0x10) ? PathCompareNA(GetLength(i), GetString(i), length, text)
                              : CompareBytes(GetString(i), GetLength(i), text, length, fold);
    };
    int lo = from, hi = to;  // first entry not below the text lies in lo..hi
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        if (compare(mid) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < to && compare(lo) == 0) {
        if (pFound) *pFound = true;
        return lo;
    }
    return (flags & 8) ? lo : -1;
}

bool CStrList::RemoveAt(int index) {
    return RemoveRange(index, index + 1) == 1;
}

int CStrList::RemoveRange(int from, int to) {
    if (from < 0) from = 0;
    if (to < 0 || to > m_nCount) to = m_nCount;
    if (from >= to) return 0;
    for (int i = from; i < to; ++i) free(m_ppEntries[i]);
    memmove(m_ppEntries + from, m_ppEntries + to, sizeof(void*) * size_t(m_nCount - to));
    m_nCount -= to - from;
    return to - from;
}

void CStrList::RemoveAll() {
    RemoveRange(0, m_nCount);
}

void CStrList::Sort(int from, int to, StrListCompareFn compare, bool descending) {
    if (from < 0) from = 0;
    if (to < 0 || to > m_nCount) to = m_nCount;
    if (to - from < 2) return;
    if (!compare) compare = &CStrList::CompareText;
    // Sort indexes against the unchanged list, then permute the entries once.
    std::vector<int> order(size_t(to - from));
    for (int i = from; i < to; ++i) order[size_t(i - from)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        int c = compare(this, a, b);
        return descending ? c > 0 : c < 0;
    });
    std::vector<void*> sorted(order.size());
    for (size_t k = 0; k < order.size(); ++k) sorted[k] = m_ppEntries[order[k]];
    memcpy(m_ppEntries + from, sorted.data(), sizeof(void*) * sorted.size());
}

int CStrList::CompareText(const CStrList* list, int a, int b) {
    return CompareBytes(list->GetString(a), list->GetLength(a), list->GetString(b), list->GetLength(b), false);
}

int CStrList::CompareTextNoCase(const CStrList* list, int a, int b) {
    return CompareBytes(list->GetString(a), list->GetLength(a), list->GetString(b), list->GetLength(b), true);
}

int CStrList::CompareDword(const CStrList* list, int a, int b) {
    if (list->m_cbItemData < 4) return 0;
    int32_t va, vb;
    memcpy(&va, list->GetItemData(a), 4);
    memcpy(&vb, list->GetItemData(b), 4);
    return va < vb ? -1 : (va > vb ? 1 : 0);
}

void CStrList::SetRecentLimit(int limit, int compareMode) {
    m_nRecentLimit = limit > 0 ? limit : 0;
    m_nRecentMode = compareMode;
    if (!m_nRecentLimit) return;
    for (int i = 0; i < m_nCount; ++i)
        for (int j = m_nCount - 1; j > i; --j)
            if (TextEquals(j, GetString(i), GetLength(i), m_nRecentMode)) RemoveAt(j);
    if (m_nCount > m_nRecentLimit) RemoveRange(m_nRecentLimit, m_nCount);
}

int CStrList::PromoteRecent(const char* text) {
    int i = Find(-1, text, 0, -1, m_nRecentMode);
    if (i < 0) return 1;
    if (i > 0) {
        void* e = m_ppEntries[i];
        memmove(m_ppEntries + 1, m_ppEntries, sizeof(void*) * size_t(i));
        m_ppEntries[0] = e;
    }
    return 0;
}

char* CStrList::JoinMulti(int from, int to, int* pSize) const {
    if (from < 0) from = 0;
    if (to < 0 || to > m_nCount) to = m_nCount;
    size_t total = 1;
    for (int i = from; i < to; ++i) total += size_t(GetLength(i)) + 1;
    if (total < 2) total = 2;
    char* p = static_cast<char*>(malloc(total));
    if (!p) {
        if (pSize) *pSize = 0;
        return nullptr;
    }
    char* q = p;
    for (int i = from; i < to; ++i) {
        memcpy(q, GetString(i), size_t(GetLength(i)));
        q += GetLength(i);
        *q++ = 0;
    }
    *q++ = 0;
    if (q - p < 2) *q++ = 0;
    if (pSize) *pSize = int(q - p);
    return p;
}
