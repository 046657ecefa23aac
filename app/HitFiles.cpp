// The files of a search's hits, each file once.
#include "app/HitFiles.h"

#include "system/Paths.h"

const char kNoMemoryForFile[] = "Zu wenig Speicher für die Datei %s !";

std::vector<int> SameFileNames(const CStrList& names)
{
    const int n = names.m_nCount;
    std::vector<int> order(size_t(n > 0 ? n : 0)), same(order.size());
    for (int i = 0; i < n; ++i)
        order[size_t(i)] = same[size_t(i)] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return PathCompareA(names.GetString(a), names.GetString(b)) < 0; });
    // Each run of equal paths points at its first index, which the stable sort put first.
    for (size_t k = 1; k < order.size(); ++k)
        if (PathCompareA(names.GetString(order[k - 1]), names.GetString(order[k])) == 0)
            same[size_t(order[k])] = same[size_t(order[k - 1])];
    return same;
}
