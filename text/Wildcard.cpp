// File-name wildcards with '*' and '?', case-insensitive as Windows compares file names.
#include "text/Match.h"
#include "text/CharClass.h"

#include <windows.h>

namespace {

inline unsigned Upper(char c) { return FileNameCharUpper((unsigned char)c); }

inline unsigned Upper(wchar_t c)
{
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32u : (unsigned)c;
    return (unsigned)(ULONG_PTR)CharUpperW((LPWSTR)(ULONG_PTR)c) & 0xFFFF;
}

template <class C> size_t Length(const C* s)
{
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

// Plain '*'/'?' match of pattern[0..pn) against the whole name[0..sn). One backtrack point
// suffices: a later '*' makes earlier choices irrelevant, so the time stays O(pn * sn).
template <class C>
bool MatchCore(const C* p, size_t pn, const C* s, size_t sn)
{
    size_t pi = 0, si = 0, star = (size_t)-1, mark = 0;
    while (si < sn) {
        if (pi < pn && p[pi] == '*') {
            star = pi++;
            mark = si;
        } else if (pi < pn && (p[pi] == '?' || Upper(p[pi]) == Upper(s[si]))) {
            ++pi;
            ++si;
        } else if (star != (size_t)-1) {
            pi = star + 1;
            si = ++mark;
        } else {
            return false;
        }
    }
    while (pi < pn && p[pi] == '*') ++pi;
    return pi == pn;
}

template <class C>
bool HasDot(const C* s, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (s[i] == '.') return true;
    return false;
}

template <class C>
bool MatchName(const C* p, size_t pn, const C* s, size_t sn)
{
    if (MatchCore(p, pn, s, sn)) return true;
    // ".*" at the end also matches a name that ends there
    if (pn >= 2 && p[pn - 2] == '.' && p[pn - 1] == '*') return MatchCore(p, pn - 2, s, sn);
    // a single trailing '.' stands for "no suffix"
    if (pn >= 1 && p[pn - 1] == '.' && (pn < 2 || p[pn - 2] != '.')) {
        if (!MatchCore(p, pn - 1, s, sn)) return false;
        return HasDot(p, pn - 1) || !HasDot(s, sn);
    }
    return false;
}

template <class C>
int MatchList(const C* list, const C* name)
{
    if (!list || !name) return 0;
    const size_t sn = Length(name);
    int index = 0;
    const C* p = list;
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        const C* e = p;
        while (*e && *e != ';') ++e;
        const C* t = e;
        while (t > p && (t[-1] == ' ' || t[-1] == '\t')) --t;
        if (t > p) {
            ++index;
            if (MatchName(p, (size_t)(t - p), name, sn)) return index;
        }
        if (!*e) return 0;
        p = e + 1;
    }
}

} // namespace

int WildcardMatchA(const char* pattern, const char* name)
{
    if (!pattern || !name) return 0;
    return MatchName(pattern, Length(pattern), name, Length(name)) ? 1 : 0;
}

int WildcardMatchW(const wchar_t* pattern, const wchar_t* name)
{
    if (!pattern || !name) return 0;
    return MatchName(pattern, Length(pattern), name, Length(name)) ? 1 : 0;
}

int WildcardMatchListA(const char* list, const char* name) { return MatchList(list, name); }
int WildcardMatchListW(const wchar_t* list, const wchar_t* name) { return MatchList(list, name); }
