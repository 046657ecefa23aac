// Multi-string helpers of the value search (history and group list).
#include "app/MultiString.h"

#include <cstdlib>
#include <cstring>

const char* MultiStrGetAt(const char* pMulti, int nIndex)
{
    if (!pMulti || nIndex < 0)
        return nullptr;
    const char* p = pMulti;
    while (*p) {
        if (nIndex-- == 0)
            return p;
        p += strlen(p) + 1;
    }
    return nullptr;
}

int MultiStrFind(const char* pMulti, const char* psz)
{
    if (!pMulti || !psz)
        return -1;
    int i = 0;
    for (const char* p = pMulti; *p; p += strlen(p) + 1, ++i) {
        if (strcmp(p, psz) == 0)
            return i;
    }
    return -1;
}

int MultiStrSize(const char* pMulti)
{
    if (!pMulti)
        return 1;
    const char* p = pMulti;
    while (*p)
        p += strlen(p) + 1;
    return (int)(p - pMulti) + 1;
}

int MultiStrCount(const char* pMulti)
{
    if (!pMulti)
        return 0;
    int n = 0;
    for (const char* p = pMulti; *p; p += strlen(p) + 1)
        ++n;
    return n;
}

char* MultiStrDup(const char* pMulti)
{
    int nSize = MultiStrSize(pMulti);
    char* p = (char*)malloc(nSize);
    if (!p)
        return nullptr;
    if (pMulti)
        memcpy(p, pMulti, nSize);
    else
        p[0] = 0;
    return p;
}

int MultiStrInsert(char** ppMulti, const char* psz, int nIndex)
{
    if (!ppMulti || !psz || !*psz)
        return -1;
    const char* pOld = *ppMulti;
    int nOldSize = MultiStrSize(pOld);
    int nLen = (int)strlen(psz) + 1;
    int nCount = MultiStrCount(pOld);
    if (nIndex < 0 || nIndex > nCount)
        nIndex = nCount;
    // Byte offset of the insertion point.
    const char* pAt = MultiStrGetAt(pOld, nIndex);
    int nOffset = pAt ? (int)(pAt - pOld) : nOldSize - 1;

    char* pNew = (char*)malloc(nOldSize + nLen);
    if (!pNew)
        return -1;
    if (pOld)
        memcpy(pNew, pOld, nOffset);
    memcpy(pNew + nOffset, psz, nLen);
    if (pOld)
        memcpy(pNew + nOffset + nLen, pOld + nOffset, nOldSize - nOffset);
    else
        pNew[nOffset + nLen] = 0;
    free(*ppMulti);
    *ppMulti = pNew;
    return nIndex;
}

int MultiStrRemoveAt(char** ppMulti, int nIndex)
{
    if (!ppMulti)
        return 0;
    char* pAt = (char*)MultiStrGetAt(*ppMulti, nIndex);
    if (!pAt)
        return 0;
    int nLen = (int)strlen(pAt) + 1;
    int nSize = MultiStrSize(*ppMulti);
    int nOffset = (int)(pAt - *ppMulti);
    memmove(pAt, pAt + nLen, nSize - nOffset - nLen);
    return 1;
}

void MultiStrFree(char** ppMulti)
{
    if (!ppMulti)
        return;
    free(*ppMulti);
    *ppMulti = nullptr;
}

int MultiStrPromote(char** ppMulti, const char* psz, int nLimit)
{
    if (!ppMulti || !psz || !*psz)
        return 0;
    int nFound = MultiStrFind(*ppMulti, psz);
    if (nFound == 0)
        return 1;
    // Insert first: psz may point into the holder's own buffer.
    if (MultiStrInsert(ppMulti, psz, 0) < 0)
        return 0;
    if (nFound > 0)
        MultiStrRemoveAt(ppMulti, nFound + 1);
    while (nLimit >= 0 && MultiStrCount(*ppMulti) > nLimit)
        MultiStrRemoveAt(ppMulti, MultiStrCount(*ppMulti) - 1);
    return 1;
}
