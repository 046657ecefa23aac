// CString: the class library's 8-bit string (ANSI code page) with value semantics.
// Every object owns its own buffer (no sharing), so copies may cross threads freely.
#pragma once

#include <cstdarg>
#include <cstddef>

class CString {
public:
    CString();
    CString(const char* psz);                 // null gives an empty string
    CString(const char* pch, int nLength);    // the first nLength bytes (embedded NULs kept); null or <= 0 gives ""
    CString(char ch, int nRepeat);            // nRepeat copies of ch
    CString(const CString& other);
    CString(CString&& other) noexcept;
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    CString& operator=(const char* psz);      // null gives ""
    CString& operator=(char ch);

    // Length in bytes, without the terminator.
    int GetLength() const { return m_nLength; }
    bool IsEmpty() const { return m_nLength == 0; }
    // Makes the string empty and frees its buffer.
    void Empty();

    // Never null; always terminated.
    operator const char*() const { return m_pch; }
    const char* GetString() const { return m_pch; }

    // Byte at nIndex; nIndex must lie in 0..GetLength()-1 (0 is returned otherwise).
    char GetAt(int nIndex) const;
    char operator[](int nIndex) const { return GetAt(nIndex); }
    // Keeps unsigned indexes from being ambiguous with the pointer conversion.
    char operator[](size_t nIndex) const { return nIndex > 0x7FFFFFFF ? 0 : GetAt(int(nIndex)); }
    // Sets the byte at nIndex; ignored when nIndex is out of range.
    void SetAt(int nIndex, char ch);

    // Writable buffer of at least nMinLength + 1 bytes holding the present text; the length
    // is undefined until ReleaseBuffer. Returns null only when memory runs out.
    char* GetBuffer(int nMinLength);
    // Ends a GetBuffer: nNewLength -1 takes the length up to the first NUL; a length beyond
    // the buffer is cut to the buffer.
    void ReleaseBuffer(int nNewLength = -1);

    CString& operator+=(const CString& s);
    CString& operator+=(const char* psz);
    CString& operator+=(char ch);
    // Appends nLength bytes of pch (null or <= 0 appends nothing).
    void Append(const char* pch, int nLength);

    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, const char* b);
    friend CString operator+(const char* a, const CString& b);
    friend CString operator+(const CString& a, char b);

    // Byte-wise compare: below, at or above 0. A null psz counts as "".
    int Compare(const char* psz) const;
    // The same with the ASCII letters folded (the system folds no other letters).
    int CompareNoCase(const char* psz) const;

    // Pieces. Counts and positions are clamped into the string.
    CString Left(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Right(int nCount) const;

    // Index of the first occurrence at or after nStart, -1 when none (also for an empty psz).
    int Find(char ch, int nStart = 0) const;
    int Find(const char* psz, int nStart = 0) const;
    // Index of the last occurrence, -1 when none.
    int ReverseFind(char ch) const;

    // Fold the ASCII letters only.
    void MakeUpper();
    void MakeLower();

    // Replaces every chOld by chNew; returns the number replaced.
    int Replace(char chOld, char chNew);

    // printf-style formatting through the text layer's formatter; the result replaces the text.
    void Format(const char* pszFormat, ...);
    void FormatV(const char* pszFormat, va_list args);

    // Remove leading / trailing blanks, tabs, CR and LF.
    void TrimLeft();
    void TrimRight();
    void Trim() { TrimRight(); TrimLeft(); }

private:
    bool Reserve(int nCapacity);              // capacity without the terminator
    void Assign(const char* pch, int nLength);

    char* m_pch;        // points at s_empty while nothing is allocated
    int m_nLength;
    int m_nCapacity;    // 0 while m_pch == s_empty
    static char s_empty[1];
};

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const char* b);
bool operator==(const char* a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, const char* b);
bool operator!=(const char* a, const CString& b);
bool operator<(const CString& a, const CString& b);
