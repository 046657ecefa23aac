// Multi-strings: NUL-terminated strings one after another, ended by an empty string.
// The value history and the group list of the value search are kept in this form.
#pragma once

// A multi-string is held through a plain pointer (the holder) to a buffer from malloc; a null
// holder stands for the empty multi-string. MultiStrFree releases it.

// The string at nIndex (0 = first), or null when nIndex is negative or past the end.
const char* MultiStrGetAt(const char* pMulti, int nIndex);

// Index of the first string equal to psz (byte-wise), or -1 when there is none or psz is null.
int MultiStrFind(const char* pMulti, const char* psz);

// Bytes of the multi-string including the final NUL: 1 for an empty (or null) one.
int MultiStrSize(const char* pMulti);

// Number of strings.
int MultiStrCount(const char* pMulti);

// Inserts psz before the string at nIndex (0 = front; an index past the end, or negative,
// appends), reallocating the holder. Returns the index it was given, or -1 when psz is null
// or empty (an empty string would end the multi-string) or memory runs out (the holder
// is then unchanged).
int MultiStrInsert(char** ppMulti, const char* psz, int nIndex);

// Removes the string at nIndex; returns 1, or 0 when nIndex is out of range.
int MultiStrRemoveAt(char** ppMulti, int nIndex);

// Frees the holder's buffer and sets it to null.
void MultiStrFree(char** ppMulti);

// A newly allocated copy of the multi-string (at least one NUL), or null when memory runs out.
char* MultiStrDup(const char* pMulti);

// Moves psz to the front: an equal string is removed first, and strings beyond nLimit are
// dropped from the end. Returns 1 on success, 0 for a null or empty psz or lack of memory.
int MultiStrPromote(char** ppMulti, const char* psz, int nLimit);

// Owns a multi-string for the length of a scope.
class CMultiStrHolder {
public:
    CMultiStrHolder() : m_p(nullptr) {}
    explicit CMultiStrHolder(char* p) : m_p(p) {}
    ~CMultiStrHolder() { MultiStrFree(&m_p); }
    CMultiStrHolder(const CMultiStrHolder&) = delete;
    CMultiStrHolder& operator=(const CMultiStrHolder&) = delete;

    char** Ref() { return &m_p; }
    const char* Get() const { return m_p; }
    // Gives up ownership.
    char* Detach() { char* p = m_p; m_p = nullptr; return p; }

private:
    char* m_p;
};
