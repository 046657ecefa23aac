// CStrList: an ordered list of 8-bit texts, each carrying a fixed-size block of item data.
// The container of histories, search results, file caches and job lists.
#pragma once

#include <cstdint>

class CStrList;

// Sort comparator: compares entries a and b of the list; below, at or above 0.
typedef int (*StrListCompareFn)(const CStrList* list, int a, int b);

class CStrList {
public:
    // Entry layout (one allocation each): item data, then the text's length, then the text.
    // Entries never move while they exist, so pointers into them stay valid until removal.

    // Read directly by the owners; never written by them.
    int m_nCount;           // number of entries
    int m_cbItemData;       // bytes of item data per entry (a multiple of 4 is advisable)
    int m_nRecentLimit;     // 0 = no recent-list behaviour
    int m_nRecentMode;      // compare mode of the recent list: 1 without case (ASCII letters)
    // One word that belongs to the list's owner (a byte total, an engine's address, ...).
    intptr_t m_nUserData;

    explicit CStrList(int cbItemData = 0);
    ~CStrList();
    CStrList(const CStrList&) = delete;
    CStrList& operator=(const CStrList&) = delete;

    // Sets the item-data size. Returns false (and changes nothing) unless the list is empty
    // or size is negative.
    bool ItemDataSize(int cbItemData);

    // Item data of entry i; i must lie in 0..m_nCount-1 (not checked).
    void* GetItemData(int i) const { return m_ppEntries[i]; }
    template <class T> T* Item(int i) const { return static_cast<T*>(GetItemData(i)); }
    // Text and text length of entry i; i must lie in 0..m_nCount-1 (not checked).
    const char* GetString(int i) const { return reinterpret_cast<const char*>(m_ppEntries[i]) + m_cbItemData + sizeof(int); }
    int GetLength(int i) const { return *reinterpret_cast<const int*>(reinterpret_cast<const char*>(m_ppEntries[i]) + m_cbItemData); }

    // Inserts text (null counts as "") before index (negative or beyond the count appends),
    // with a copy of m_cbItemData bytes of itemData (null: zeroed). Returns the new entry's
    // index; -1 when memory fails. In recent-list mode (see SetRecentLimit) the index of an
    // equal entry nearer the front, which is kept instead, or -1 when the new entry would fall
    // behind the limit.
    int Insert(const char* text, int index = -1, const void* itemData = nullptr);
    // The same for length bytes of text (length -1: up to its NUL; embedded NULs are kept).
    int InsertBuf(int length, const char* text, int index, const void* itemData = nullptr);
    // Inserts the text that printf-style formatting gives (the text layer's formatter).
    int InsertFormat(int index, const char* format, ...);
    // Splits block into entries inserted from index on (negative: appended), each with a copy
    // of itemData. delimiter 0: the block is a multi-string (entries ended by NUL, the block by
    // an empty entry, i.e. a double NUL). Other delimiters: the block ends at its first NUL,
    // and empty pieces are skipped. blockLength (bytes, -1 = unbounded) bounds the scan either
    // way. Returns the number of entries that were added.
    int InsertSplit(int index, const char* block, char delimiter, const void* itemData = nullptr, int blockLength = -1);

    // Copies entry index's text into buffer (at most size-1 bytes, always terminated when
    // size > 0). Returns the bytes copied; 0 (and "") for an index out of range.
    int GetText(int index, char* buffer, int size) const;
    // Sets the first 32-bit word of the entry's item data; false for an index out of range
    // or an item-data size below 4.
    bool SetItemDword(int index, uint32_t value);

    // Linear search for the text (length -1: up to its NUL) in entries from..to-1 (to -1: the
    // end). mode 1 folds the ASCII letters; mode 0x10 compares paths (PathCompareNA: '\' and
    // '/' equal, every letter of the code page without case). Returns the index or -1.
    int Find(int length, const char* text, int from = 0, int to = -1, int mode = 0) const;
    // Binary search in the entries from..to-1, which must be sorted in the order of the flags
    // (byte order, with flag 1 the order of CompareTextNoCase, with flag 0x10 that of paths:
    // PathCompareNA, every letter of the code page without case). Returns the index of an
    // equal entry. When there is none: with flag 8 the position where the text would be
    // inserted to keep the order (pFound, when given, tells the two apart), else -1.
    int FindSorted(int length, const char* text, int from = 0, int to = -1, int flags = 0, bool* pFound = nullptr) const;

    // Removes entry index; false when out of range.
    bool RemoveAt(int index);
    // Removes entries from..to-1 (from clamped at 0, to at the count; to -1 = the count).
    // Returns the number removed.
    int RemoveRange(int from, int to);
    void RemoveAll();

    // Stable sort of the entries from..to-1 (to -1 = the end) with compare (null: byte order
    // of the texts); descending reverses the order. The comparator sees the list as it stood
    // before the sort.
    void Sort(int from = 0, int to = -1, StrListCompareFn compare = nullptr, bool descending = false);
    static int CompareText(const CStrList* list, int a, int b);        // bytes, shorter first
    static int CompareTextNoCase(const CStrList* list, int a, int b);  // ASCII letters folded
    static int CompareDword(const CStrList* list, int a, int b);       // first item word, signed

    // Recent-list mode (histories): at most limit entries, no two equal texts (compareMode 1
    // without case). Applies at once (later duplicates and the surplus at the end go) and to
    // every later insert: an insert whose text equals an entry nearer the front is dropped
    // (that entry's index is returned), an equal entry behind it is removed, and the surplus
    // at the end is cut. limit 0 ends the mode.
    void SetRecentLimit(int limit, int compareMode = 0);
    // Moves an existing entry equal to text to the front: 0 when it was found and moved, 1 when
    // it is not there and the caller must insert it.
    int PromoteRecent(const char* text);

    // Builds a multi-string of entries from..to-1 (to -1 = the count): each text with its NUL,
    // then a second NUL (an empty range gives two NULs). Returns a block from malloc that the
    // caller releases with free(), null when memory fails; *pSize (when given) gets its bytes.
    char* JoinMulti(int from = 0, int to = -1, int* pSize = nullptr) const;

private:
    int InsertImpl(int length, const char* text, int index, const void* itemData, bool* pAdded);
    bool Grow(int nNeeded);
    void* NewEntry(const char* text, int length, const void* itemData) const;
    bool TextEquals(int i, const char* text, int length, int mode) const;

    void** m_ppEntries;
    int m_nCapacity;
};
