// The files of a search's hits, for the commands that rewrite them: names that are the same file
// (a file listed twice, or spelled two ways) form one group, so that each file is rewritten once.
#pragma once

#include <algorithm>
#include <vector>

#include "system/StrList.h"

// For each of names, the index of the first name that is the same file by the file system's
// path compare (letters without case, '\' and '/' equal).
std::vector<int> SameFileNames(const CStrList& names);

// The hits of one file, by index into the engine's hits.
struct FileHits {
    const char* path;         // the file's first name
    std::vector<int> hits;    // ascending by the key, hits of equal key in list order
};

// Groups hit indices 0..count-1 by file, files in the order of their first hit. nameOf gives a
// hit's index into names (one outside is left out), keyOf the value the hits of a file are
// sorted by (position or line).
template <class NameOf, class KeyOf>
std::vector<FileHits> GroupHitsByFile(int count, const CStrList& names, NameOf nameOf, KeyOf keyOf)
{
    std::vector<int> same = SameFileNames(names);
    std::vector<FileHits> files;
    std::vector<int> slot(same.size(), -1);
    for (int i = 0; i < count; ++i) {
        int n = nameOf(i);
        if (n < 0 || n >= int(same.size()))
            continue;
        int& s = slot[size_t(same[size_t(n)])];
        if (s < 0) {
            s = int(files.size());
            files.push_back(FileHits{names.GetString(same[size_t(n)]), {}});
        }
        files[size_t(s)].hits.push_back(i);
    }
    // A sorted result list may hold a file's hits in any order.
    for (FileHits& f : files)
        std::stable_sort(f.hits.begin(), f.hits.end(), [&](int a, int b) { return keyOf(a) < keyOf(b); });
    return files;
}

// The message for a file that does not fit in the memory left ("Zu wenig Speicher ... %s").
extern const char kNoMemoryForFile[];
