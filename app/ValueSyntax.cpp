// Value syntax of the value search: kinds, parsing, printing and group term lines.
#include "app/ValueSyntax.h"

#include <cstring>
#include <string>
#include <vector>

#include "text/Convert.h"
#include "text/Match.h"
#include "text/Numbers.h"

const char kValueTypeLetters[] = "DHBOTUMN";

namespace {

const char* SkipBlanks(const char* p)
{
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

// Appends text to the line within size bytes (the line stays terminated).
void Append(char* pszLine, int nSize, int& nLen, const char* psz, int n = -1)
{
    if (n < 0)
        n = (int)strlen(psz);
    int nRoom = nSize - 1 - nLen;
    if (n > nRoom)
        n = nRoom;
    if (n <= 0)
        return;
    memcpy(pszLine + nLen, psz, n);
    nLen += n;
    pszLine[nLen] = 0;
}

// The 8-bit text as UTF-16 little-endian bytes through the ANSI code page, at most 128
// characters. Returns the byte count.
int WidenText(const BYTE* pText, int nCount, BYTE* pOut)
{
    if (nCount > VALUE_MAX_BYTES / 2)
        nCount = VALUE_MAX_BYTES / 2;
    if (nCount <= 0)
        return 0;
    WCHAR wsz[VALUE_MAX_BYTES / 2];
    int n = MultiByteToWideChar(CP_ACP, 0, (const char*)pText, nCount, wsz, VALUE_MAX_BYTES / 2);
    if (n <= 0) {
        // Without a conversion each byte becomes its own code point.
        for (int i = 0; i < nCount; ++i)
            wsz[i] = pText[i];
        n = nCount;
    }
    for (int i = 0; i < n; ++i) {
        pOut[2 * i] = (BYTE)(wsz[i] & 0xFF);
        pOut[2 * i + 1] = (BYTE)(wsz[i] >> 8);
    }
    return 2 * n;
}

// UTF-16 little-endian bytes back to 8-bit text (ANSI code page). Returns the byte count.
int NarrowText(const BYTE* pBytes, int nCount, BYTE* pOut, int nSize)
{
    int nChars = nCount / 2;
    if (nChars <= 0)
        return 0;
    WCHAR wsz[VALUE_MAX_BYTES / 2];
    if (nChars > VALUE_MAX_BYTES / 2)
        nChars = VALUE_MAX_BYTES / 2;
    for (int i = 0; i < nChars; ++i)
        wsz[i] = (WCHAR)(pBytes[2 * i] | pBytes[2 * i + 1] << 8);
    int n = WideCharToMultiByte(CP_ACP, 0, wsz, nChars, (char*)pOut, nSize, nullptr, nullptr);
    if (n <= 0) {
        n = nChars < nSize ? nChars : nSize;
        for (int i = 0; i < n; ++i)
            pOut[i] = pBytes[2 * i];
    }
    return n;
}

void Reverse(BYTE* p, int n)
{
    for (int i = 0, j = n - 1; i < j; ++i, --j) {
        BYTE b = p[i];
        p[i] = p[j];
        p[j] = b;
    }
}

}  // namespace

int ValueWidthSize(int nWidth)
{
    switch (nWidth) {
    case WIDTH_BYTE: return 1;
    case WIDTH_WORD: return 2;
    case WIDTH_DWORD: return 4;
    default: return VALUE_MAX_BYTES;
    }
}

int GetValueKind(const char* pszText)
{
    if (!pszText)
        return VALUE_NONE;
    const char* p = SkipBlanks(pszText);
    if (!*p)
        return VALUE_NONE;
    if (*p == '"')
        return VALUE_TEXT;
    if (*p == ':') {
        for (const char* q = p + 1; *q; ++q) {
            if (*q == ':' || *q == '#' || *q == '?')
                return VALUE_MASK;
        }
        return VALUE_DUMP;
    }
    if (*p == '-')
        ++p;
    if (*p < '0' || *p > '9')
        return VALUE_TEXT;
    if (p[0] == '0') {
        switch (p[1]) {
        case 'x': case 'X': return VALUE_HEX;
        case 'b': case 'B': return VALUE_BIN;
        case 'o': case 'O': return VALUE_OCT;
        }
    }
    return VALUE_DEC;
}

int ParseValue(const char* pszText, BYTE* pBuffer, int nSize)
{
    if (!pBuffer || nSize < 1)
        return 0;
    memset(pBuffer, 0, nSize);
    if (!pszText)
        return 0;
    int nKind = GetValueKind(pszText);
    switch (nKind) {
    case VALUE_NONE:
        // An empty input is no value (not four zero bytes).
        return 0;
    case VALUE_TEXT: {
        // A quoted literal may stand behind blanks; an unquoted text keeps its blanks.
        const char* p = SkipBlanks(pszText);
        const char* pSrc = *p == '"' ? p : pszText;
        unsigned uSize = (unsigned)nSize & UNQUOTE_SIZE_MASK;
        if (*pSrc != '"')
            uSize |= UNQUOTE_NO_QUOTE;
        int n = StrUnquoteC(pBuffer, uSize, pSrc, nullptr);
        // StrUnquoteC ends the bytes with a NUL when there is room; that NUL is no value byte.
        return n < 0 ? 0 : (n > nSize ? nSize : n);
    }
    case VALUE_DUMP: {
        int n = ParseHexBytes(pBuffer, nSize, SkipBlanks(pszText), 0);
        return n < 0 ? 0 : n;
    }
    case VALUE_MASK: {
        int nHalf = nSize / 2;
        if (nHalf < 1)
            return 0;
        int n = ParseSearchBytes(pBuffer, pBuffer + nHalf, nHalf, SkipBlanks(pszText), 0);
        if (n <= 0) {
            memset(pBuffer, 0, nSize);
            return 0;
        }
        if (n < nHalf) {
            memmove(pBuffer + n, pBuffer + nHalf, n);
            memset(pBuffer + 2 * n, 0, nSize - 2 * n);
        }
        return 2 * n;
    }
    default: {
        // Numbers: blanks and a sign are taken, so that what FormatValue prints reads back.
        int nUsed = 0;
        int nValue = StrToInt(pszText, 0, &nUsed);
        int nCount = nSize < 4 ? nSize : 4;
        for (int i = 0; i < nCount; ++i)
            pBuffer[i] = (BYTE)((unsigned)nValue >> (8 * i));
        return nCount;
    }
    }
}

int FormatValue(const BYTE* pBytes, int nCount, char* pszBuffer, int nSize, int nKind)
{
    if (!pszBuffer || nSize < 1)
        return 0;
    pszBuffer[0] = 0;
    if (!pBytes || nCount < 1)
        return 0;
    int nLen = 0;
    switch (nKind) {
    case VALUE_DEC: case VALUE_HEX: case VALUE_BIN: case VALUE_OCT: {
        int n = nCount < 4 ? nCount : 4;
        unsigned uValue = 0;
        for (int i = 0; i < n; ++i)
            uValue |= (unsigned)pBytes[i] << (8 * i);
        if (n < 4 && (pBytes[n - 1] & 0x80))
            uValue |= 0xFFFFFFFFu << (8 * n);
        char sz[72];
        FormatInt((int)uValue, sz, (unsigned)nKind);
        Append(pszBuffer, nSize, nLen, sz);
        return nLen;
    }
    case VALUE_TEXT: {
        int n = nCount;
        while (n > 0 && pBytes[n - 1] == 0)
            --n;
        return StrQuoteC(pszBuffer, nSize, pBytes, n, 0);
    }
    case VALUE_DUMP: {
        // ":" then "XX" per byte with a blank between: 3 characters a byte; whole bytes only.
        int n = nCount;
        if (n > (nSize - 1) / 3)
            n = (nSize - 1) / 3;
        if (n < 1)
            return 0;
        std::vector<char> tmp(4 * n + 2);
        int nOut = HexDumpFormat(pBytes, tmp.data(), n, 0xB0002000);
        Append(pszBuffer, nSize, nLen, tmp.data(), nOut);
        return nLen;
    }
    case VALUE_MASK: {
        int nHalf = nCount / 2;
        if (nHalf < 1)
            return 0;
        return FormatSearchBytes(pszBuffer, nSize, pBytes, pBytes + nHalf, nHalf, 0xB0002000);
    }
    default:
        return 0;
    }
}

int BuildTerm(const char* pszInput, int nKind, int nWidth, unsigned uOptions, int nFallbackKind,
              char* pszLine, int nSize)
{
    if (!pszLine || nSize < 1)
        return 0;
    pszLine[0] = 0;
    BYTE abValue[VALUE_MAX_BYTES];
    int nCount = ParseValue(pszInput, abValue, ValueWidthSize(nWidth));
    if (nCount <= 0)
        return 0;
    if (nKind < VALUE_DEC || nKind > VALUE_MASK)
        nKind = (nFallbackKind >= VALUE_DEC && nFallbackKind <= VALUE_MASK) ? nFallbackKind : VALUE_TEXT;
    // The letter 'M' tells the engine that mask bytes follow: a plain input gets full masks,
    // a masked input under another kind keeps its value half.
    int nTextKind = GetValueKind(pszInput);
    if (nKind == VALUE_MASK && nTextKind != VALUE_MASK) {
        if (nCount > VALUE_MAX_BYTES / 2)
            nCount = VALUE_MAX_BYTES / 2;
        memset(abValue + nCount, 0xFF, nCount);
        nCount *= 2;
    } else if (nKind != VALUE_MASK && nTextKind == VALUE_MASK) {
        nCount /= 2;
        if (nCount <= 0)
            return 0;
    }

    BYTE abTerm[VALUE_MAX_BYTES];
    int nTerm = nCount;
    memcpy(abTerm, abValue, nCount);
    char chLetter = kValueTypeLetters[nKind];
    bool bReversed = false;
    if (nKind == VALUE_TEXT && (uOptions & VSO_UNICODE)) {
        nTerm = WidenText(abValue, nCount, abTerm);
        chLetter = 'N';
        if (nTerm <= 0)
            return 0;
    } else if (nKind <= VALUE_OCT && (uOptions & VSO_MOTOROLA) && (nCount == 2 || nCount == 4)) {
        Reverse(abTerm, nCount);
        bReversed = true;
    }

    int nLen = 0;
    char sz[24];
    sz[0] = chLetter;
    sz[1] = ':';
    FormatInt(nTerm, sz + 2, FI_DEC);
    Append(pszLine, nSize, nLen, sz);
    if (nKind == VALUE_TEXT && (uOptions & VSO_NOCASE))
        Append(pszLine, nSize, nLen, " /G");
    if (bReversed)
        Append(pszLine, nSize, nLen, " /B");
    Append(pszLine, nSize, nLen, "\t");

    std::vector<char> text(VALUE_TEXT_SIZE);
    int n = FormatValue(abTerm, nTerm, text.data(), VALUE_TEXT_SIZE, VALUE_DUMP);
    Append(pszLine, nSize, nLen, text.data(), n);

    int nTabs = nTerm <= 2 ? 5 : nTerm <= 6 ? 4 : nTerm <= 9 ? 3 : nTerm <= 12 ? 2 : 1;
    Append(pszLine, nSize, nLen, "\t\t\t\t\t", nTabs);
    Append(pszLine, nSize, nLen, "(");
    n = FormatValue(abValue, nCount, text.data(), VALUE_TEXT_SIZE, nKind);
    Append(pszLine, nSize, nLen, text.data(), n);
    Append(pszLine, nSize, nLen, ")");
    return nLen;
}

int ReadTermInput(const char* pszTerm, ValueTermInput* pOut)
{
    if (!pszTerm || !pOut)
        return 0;
    pOut->szInput[0] = 0;
    const char* p = SkipBlanks(pszTerm);
    char chLetter = *p;
    if (!chLetter || chLetter == ':' || p[1] != ':')
        return 0;
    p += 2;
    int nUsed = 0;
    int nCount = StrToInt(p, STI_NO_BLANKS | STI_NO_SIGN, &nUsed);
    if (nUsed == 0)
        return 0;
    p += nUsed;
    const char* pColon = strchr(p, ':');
    if (!pColon)
        return 0;
    bool bSwap = false, bNoCase = false;
    for (const char* q = p; q + 1 < pColon; ++q) {
        if (q[0] == '/' && q[1] == 'B')
            bSwap = true;
        else if (q[0] == '/' && q[1] == 'G')
            bNoCase = true;
    }
    // The value ends at the first tab; the display tail behind it is not read.
    const char* pEnd = strchr(pColon, '\t');
    std::string value(pColon, pEnd ? (size_t)(pEnd - pColon) : strlen(pColon));
    BYTE abBytes[VALUE_MAX_BYTES];
    int n = ParseHexBytes(abBytes, VALUE_MAX_BYTES, value.c_str(), 0);
    if (n < 0)
        n = 0;
    if (nCount > n)
        nCount = n;

    int nKind;
    switch (chLetter) {
    case 'D': nKind = VALUE_DEC; break;
    case 'H': nKind = VALUE_HEX; break;
    case 'B': nKind = VALUE_BIN; break;
    case 'O': nKind = VALUE_OCT; break;
    case 'T': case 'N': nKind = VALUE_TEXT; break;
    case 'M': nKind = VALUE_MASK; break;
    default: nKind = VALUE_DUMP; break;
    }
    pOut->nKind = nKind;
    pOut->bIgnoreCase = bNoCase;
    pOut->bUnicode = chLetter == 'N';
    pOut->bMotorola = false;
    if (chLetter == 'N') {
        BYTE abText[VALUE_MAX_BYTES];
        nCount = NarrowText(abBytes, nCount, abText, VALUE_MAX_BYTES);
        memcpy(abBytes, abText, nCount);
    } else if (bSwap && nKind <= VALUE_OCT && (nCount == 2 || nCount == 4)) {
        Reverse(abBytes, nCount);
        pOut->bMotorola = true;
    }
    if (nKind >= VALUE_TEXT)
        pOut->nWidth = WIDTH_VARIABLE;
    else
        pOut->nWidth = nCount == 1 ? WIDTH_BYTE : nCount == 2 ? WIDTH_WORD : nCount == 4 ? WIDTH_DWORD : WIDTH_VARIABLE;
    FormatValue(abBytes, nCount, pOut->szInput, VALUE_TEXT_SIZE, nKind);
    return 1;
}

// ----- group strings ------------------------------------------------------------------------

namespace {

// Reads one term line into pTerm. Returns false when the line is malformed.
bool ReadTerm(const char* pszLine, HexSearchTerm* pTerm)
{
    const char* p = pszLine;
    while (*p == ' ' || *p == '\t')
        ++p;
    char chLetter = *p;
    if (!chLetter || chLetter == ':' || p[1] != ':')
        return false;
    p += 2;
    int nUsed = 0;
    int nCount = StrToInt(p, STI_NO_BLANKS | STI_NO_SIGN, &nUsed);
    if (nUsed == 0)
        return false;
    p += nUsed;
    const char* pColon = strchr(p, ':');
    if (!pColon)
        return false;
    bool bNoCase = memchr(p, 'G', pColon - p) != nullptr;

    // The value runs from the second ':' to the first tab: the display tail behind the tab
    // may hold ':', '?' or '#', which would make the dump read as a masked one.
    const char* pEnd = strchr(pColon, '\t');
    std::string value(pColon, pEnd ? (size_t)(pEnd - pColon) : strlen(pColon));
    int n = ParseValue(value.c_str(), pTerm->abStore, HEXSEARCH_TERM_BYTES);
    // The stated count holds: ParseValue cleared the buffer, so bytes beyond the value's
    // compare as zeros. Only a count beyond the buffer is cut.
    if ((unsigned)nCount > HEXSEARCH_TERM_BYTES)
        nCount = HEXSEARCH_TERM_BYTES;

    pTerm->pPattern = pTerm->abStore;
    if (chLetter == 'M') {
        // Value bytes, then as many mask bytes: the mask half starts in the middle of the
        // parsed bytes, and moves right behind the value bytes compared.
        int nHalf = nCount >> 1;
        if (nHalf > 0 && nHalf != n / 2)
            memmove(pTerm->abStore + nHalf, pTerm->abStore + n / 2, nHalf);
        pTerm->nCount = nHalf;
        pTerm->nMode = HEXMATCH_MASKED;
    } else {
        pTerm->nCount = nCount;
        pTerm->nMode = bNoCase ? HEXMATCH_NOCASE : HEXMATCH_EXACT;
    }
    return true;
}

}  // namespace

int ReadHexSearchGroup(const char* pszGroup, HexSearchGroup* pGroup)
{
    if (!pGroup)
        return 0;
    pGroup->dwDistance = 0;
    pGroup->nTerms = 0;
    if (!pszGroup || !*pszGroup)
        return 0;
    pGroup->dwDistance = (uint32_t)StrToInt(pszGroup, STI_NO_BLANKS | STI_NO_SIGN, nullptr);
    const char* p = pszGroup + strlen(pszGroup) + 1;
    int nTerms = 0;
    while (*p && nTerms < HEXSEARCH_MAX_TERMS) {
        if (!ReadTerm(p, &pGroup->aTerms[nTerms]))
            return -1;
        ++nTerms;
        p += strlen(p) + 1;
    }
    pGroup->nTerms = nTerms;
    return nTerms;
}
