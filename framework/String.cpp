// CString: the class library's 8-bit string.
#include "framework/String.h"

#include "text/Format.h"

#include <cstdlib>
#include <cstring>
#include <utility>

char CString::s_empty[1] = {0};

namespace {

inline char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

inline bool IsTrimChar(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

CString::CString() : m_pch(s_empty), m_nLength(0), m_nCapacity(0) {}

CString::CString(const char* psz) : CString() {
    if (psz) Assign(psz, int(strlen(psz)));
}

CString::CString(const char* pch, int nLength) : CString() {
    if (pch && nLength > 0) Assign(pch, nLength);
}

CString::CString(char ch, int nRepeat) : CString() {
    if (nRepeat > 0 && Reserve(nRepeat)) {
        memset(m_pch, ch, nRepeat);
        m_pch[nRepeat] = 0;
        m_nLength = nRepeat;
    }
}

CString::CString(const CString& other) : CString() { Assign(other.m_pch, other.m_nLength); }

CString::CString(CString&& other) noexcept
    : m_pch(other.m_pch), m_nLength(other.m_nLength), m_nCapacity(other.m_nCapacity) {
    other.m_pch = s_empty;
    other.m_nLength = 0;
    other.m_nCapacity = 0;
}

CString::~CString() {
    if (m_nCapacity) free(m_pch);
}

CString& CString::operator=(const CString& other) {
    if (this != &other) Assign(other.m_pch, other.m_nLength);
    return *this;
}

CString& CString::operator=(CString&& other) noexcept {
    if (this != &other) {
        if (m_nCapacity) free(m_pch);
        m_pch = other.m_pch;
        m_nLength = other.m_nLength;
        m_nCapacity = other.m_nCapacity;
        other.m_pch = s_empty;
        other.m_nLength = 0;
        other.m_nCapacity = 0;
    }
    return *this;
}

CString& CString::operator=(const char* psz) {
    if (!psz) {
        Assign(nullptr, 0);
    } else if (psz >= m_pch && psz <= m_pch + m_nLength) {
        // Assigning a tail of ourselves: move it down in place.
        int n = int(strlen(psz));
        memmove(m_pch, psz, n);
        if (m_nCapacity) m_pch[n] = 0;
        m_nLength = n;
    } else {
        Assign(psz, int(strlen(psz)));
    }
    return *this;
}

CString& CString::operator=(char ch) {
    Assign(&ch, 1);
    return *this;
}

void CString::Empty() {
    if (m_nCapacity) free(m_pch);
    m_pch = s_empty;
    m_nLength = 0;
    m_nCapacity = 0;
}

bool CString::Reserve(int nCapacity) {
    if (nCapacity <= m_nCapacity) return true;
    int nNew = m_nCapacity + m_nCapacity / 2;
    if (nNew < nCapacity) nNew = nCapacity;
    if (nNew < 15) nNew = 15;
    char* p = static_cast<char*>(m_nCapacity ? realloc(m_pch, size_t(nNew) + 1) : malloc(size_t(nNew) + 1));
    if (!p) return false;
    if (!m_nCapacity) {
        memcpy(p, m_pch, size_t(m_nLength));
        p[m_nLength] = 0;
    }
    m_pch = p;
    m_nCapacity = nNew;
    return true;
}

void CString::Assign(const char* pch, int nLength) {
    if (nLength <= 0 || !pch) {
        m_nLength = 0;
        if (m_nCapacity) m_pch[0] = 0;
        return;
    }
    // The source may lie inside our own buffer.
    if (pch >= m_pch && pch < m_pch + m_nLength + 1 && m_nCapacity) {
        memmove(m_pch, pch, size_t(nLength));
    } else {
        if (!Reserve(nLength)) return;
        memcpy(m_pch, pch, size_t(nLength));
    }
    m_pch[nLength] = 0;
    m_nLength = nLength;
}

char CString::GetAt(int nIndex) const {
    return (nIndex >= 0 && nIndex < m_nLength) ? m_pch[nIndex] : 0;
}

void CString::SetAt(int nIndex, char ch) {
    if (nIndex >= 0 && nIndex < m_nLength) m_pch[nIndex] = ch;
}

char* CString::GetBuffer(int nMinLength) {
    if (nMinLength < m_nLength) nMinLength = m_nLength;
    if (nMinLength < 1) nMinLength = 1;   // always hand out a real, writable buffer
    if (!Reserve(nMinLength)) return nullptr;
    return m_pch;
}

void CString::ReleaseBuffer(int nNewLength) {
    if (!m_nCapacity) {
        m_nLength = 0;
        return;
    }
    if (nNewLength < 0) {
        const char* end = static_cast<const char*>(memchr(m_pch, 0, size_t(m_nCapacity) + 1));
        nNewLength = end ? int(end - m_pch) : m_nCapacity;
    }
    if (nNewLength > m_nCapacity) nNewLength = m_nCapacity;
    m_pch[nNewLength] = 0;
    m_nLength = nNewLength;
}

void CString::Append(const char* pch, int nLength) {
    if (!pch || nLength <= 0) return;
    // Keep the source valid when it lies in our own buffer and the buffer moves.
    if (m_nCapacity && pch >= m_pch && pch <= m_pch + m_nCapacity) {
        CString copy(pch, nLength);
        Append(copy.m_pch, copy.m_nLength);
        return;
    }
    if (!Reserve(m_nLength + nLength)) return;
    memcpy(m_pch + m_nLength, pch, size_t(nLength));
    m_nLength += nLength;
    m_pch[m_nLength] = 0;
}

CString& CString::operator+=(const CString& s) {
    Append(s.m_pch, s.m_nLength);
    return *this;
}

CString& CString::operator+=(const char* psz) {
    if (psz) Append(psz, int(strlen(psz)));
    return *this;
}

CString& CString::operator+=(char ch) {
    Append(&ch, 1);
    return *this;
}

CString operator+(const CString& a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, const char* b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const char* a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, char b) {
    CString r(a);
    r += b;
    return r;
}

int CString::Compare(const char* psz) const {
    if (!psz) psz = "";
    return strcmp(m_pch, psz);
}

int CString::CompareNoCase(const char* psz) const {
    if (!psz) psz = "";
    const unsigned char* a = reinterpret_cast<const unsigned char*>(m_pch);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(psz);
    for (;; ++a, ++b) {
        int ca = (unsigned char)FoldAscii(char(*a));
        int cb = (unsigned char)FoldAscii(char(*b));
        if (ca != cb) return ca - cb;
        if (!ca) return 0;
    }
}

CString CString::Left(int nCount) const {
    if (nCount < 0) nCount = 0;
    if (nCount > m_nLength) nCount = m_nLength;
    return CString(m_pch, nCount);
}

CString CString::Mid(int nFirst) const { return Mid(nFirst, m_nLength); }

CString CString::Mid(int nFirst, int nCount) const {
    if (nFirst < 0) nFirst = 0;
    if (nFirst > m_nLength) nFirst = m_nLength;
    if (nCount < 0) nCount = 0;
    if (nCount > m_nLength - nFirst) nCount = m_nLength - nFirst;
    return CString(m_pch + nFirst, nCount);
}

CString CString::Right(int nCount) const {
    if (nCount < 0) nCount = 0;
    if (nCount > m_nLength) nCount = m_nLength;
    return CString(m_pch + m_nLength - nCount, nCount);
}

int CString::Find(char ch, int nStart) const {
    if (nStart < 0) nStart = 0;
    if (nStart >= m_nLength) return -1;
    const void* p = memchr(m_pch + nStart, (unsigned char)ch, size_t(m_nLength - nStart));
    return p ? int(static_cast<const char*>(p) - m_pch) : -1;
}

int CString::Find(const char* psz, int nStart) const {
    if (!psz || !*psz) return -1;
    if (nStart < 0) nStart = 0;
    int n = int(strlen(psz));
    for (int i = nStart; i + n <= m_nLength; ++i)
        if (m_pch[i] == psz[0] && memcmp(m_pch + i, psz, size_t(n)) == 0) return i;
    return -1;
}

int CString::ReverseFind(char ch) const {
    for (int i = m_nLength - 1; i >= 0; --i)
        if (m_pch[i] == ch) return i;
    return -1;
}

void CString::MakeUpper() {
    for (int i = 0; i < m_nLength; ++i)
        if (m_pch[i] >= 'a' && m_pch[i] <= 'z') m_pch[i] = char(m_pch[i] - 32);
}

void CString::MakeLower() {
    for (int i = 0; i < m_nLength; ++i) m_pch[i] = FoldAscii(m_pch[i]);
}

int CString::Replace(char chOld, char chNew) {
    int n = 0;
    for (int i = 0; i < m_nLength; ++i)
        if (m_pch[i] == chOld) {
            m_pch[i] = chNew;
            ++n;
        }
    return n;
}

void CString::Format(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(const char* pszFormat, va_list args) {
    if (!pszFormat) {
        Empty();
        return;
    }
    // Measure first, then format into a buffer of the exact size (the arguments may point
    // into this string, so the result is built apart).
    va_list measure;
    va_copy(measure, args);
    int n = StrFormatLengthV(pszFormat, measure);
    va_end(measure);
    if (n < 0) {
        Empty();
        return;
    }
    CString result;
    char* p = result.GetBuffer(n);
    if (!p) return;
    int got = StrFormatV(p, size_t(n) + 1, pszFormat, args);
    result.ReleaseBuffer(got < 0 ? 0 : (got > n ? n : got));
    *this = std::move(result);
}

void CString::TrimLeft() {
    int i = 0;
    while (i < m_nLength && IsTrimChar(m_pch[i])) ++i;
    if (i) {
        memmove(m_pch, m_pch + i, size_t(m_nLength - i) + 1);
        m_nLength -= i;
    }
}

void CString::TrimRight() {
    int n = m_nLength;
    while (n > 0 && IsTrimChar(m_pch[n - 1])) --n;
    if (n != m_nLength) {
        m_pch[n] = 0;   // n < length implies an allocated buffer
        m_nLength = n;
    }
}

bool operator==(const CString& a, const CString& b) {
    return a.GetLength() == b.GetLength() && memcmp(a.GetString(), b.GetString(), size_t(a.GetLength())) == 0;
}
bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
bool operator!=(const CString& a, const CString& b) { return !(a == b); }
bool operator!=(const CString& a, const char* b) { return !(a == b); }
bool operator!=(const char* a, const CString& b) { return !(a == b); }
bool operator<(const CString& a, const CString& b) { return strcmp(a.GetString(), b.GetString()) < 0; }
