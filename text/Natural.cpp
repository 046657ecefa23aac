// Natural-order compares: digit runs compare by value.
#include "text/Match.h"

#include <cstdint>

namespace {

template <class C>
inline unsigned Unit(C c) { return sizeof(C) == 1 ? (unsigned char)c : (unsigned)c; }

inline bool IsDigit(unsigned c) { return c >= '0' && c <= '9'; }
inline unsigned Fold(unsigned c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

template <class C>
int NaturalCompare(const C* a, const C* b, size_t n, bool fold)
{
    static const C empty[1] = {0};
    if (!a) a = empty;
    if (!b) b = empty;
    size_t i = 0, j = 0;
    int tie = 0; // leading zeros decide only when all else is equal
    auto at = [n](const C* s, size_t k) -> unsigned { return k < n ? Unit(s[k]) : 0u; };
    for (;;) {
        unsigned ca = at(a, i), cb = at(b, j);
        if (IsDigit(ca) && IsDigit(cb)) {
            size_t za = 0, zb = 0;
            while (at(a, i) == '0') { ++i; ++za; }
            while (at(b, j) == '0') { ++j; ++zb; }
            size_t la = 0, lb = 0;
            while (IsDigit(at(a, i + la))) ++la;
            while (IsDigit(at(b, j + lb))) ++lb;
            if (la != lb) return la < lb ? -1 : 1;
            for (size_t k = 0; k < la; ++k) {
                unsigned da = at(a, i + k), db = at(b, j + k);
                if (da != db) return da < db ? -1 : 1;
            }
            if (!tie && za != zb) tie = za < zb ? -1 : 1;
            i += la;
            j += lb;
            continue;
        }
        if (ca == 0 || cb == 0) {
            if (ca != cb) return ca == 0 ? -1 : 1;
            return tie;
        }
        if (fold) { ca = Fold(ca); cb = Fold(cb); }
        if (ca != cb) return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
}

} // namespace

int StrNaturalCompareA(const char* a, const char* b) { return NaturalCompare(a, b, SIZE_MAX, false); }
int StrNaturalCompareNoCaseA(const char* a, const char* b) { return NaturalCompare(a, b, SIZE_MAX, true); }
int StrNaturalCompareNoCaseNA(const char* a, const char* b, size_t n) { return NaturalCompare(a, b, n, true); }
int StrNaturalCompareW(const wchar_t* a, const wchar_t* b) { return NaturalCompare(a, b, SIZE_MAX, false); }
int StrNaturalCompareNoCaseW(const wchar_t* a, const wchar_t* b) { return NaturalCompare(a, b, SIZE_MAX, true); }
