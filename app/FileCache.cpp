// The file cache of the searches.
#include "app/FileCache.h"

#include <stdlib.h>
#include <string.h>

#include "system/Files.h"

namespace {

const int kFold = 0x10;    // FindSorted: paths, compared as the file system compares them
const int kInsertPos = 8;  // FindSorted: give the insertion position

void SetTotal(CStrList* cache, uint64_t total)
{
    // The total never exceeds a cache limit below 2 GB; clamp for safety all the same.
    cache->m_nUserData = (intptr_t)(uint32_t)(total > 0xFFFFFFFFu ? 0xFFFFFFFFu : total);
}

// Unchanged: the same size and the same write time in two-second steps (the resolution of
// FAT, as FileTimeDiffersA mode 2 compares). The size catches most rewrites within one step.
// One attribute query gives both.
bool FileUnchanged(int statResult, const FileInfo& info, const FileCacheEntry* entry)
{
    if (statResult != 0 || (info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    uint32_t writeTime = FileTimeToUnixSecondsClamped(info.ftLastWrite);
    return info.nSize == entry->size && (writeTime & ~1u) == (entry->writeTime & ~1u);
}

} // namespace

bool FileCacheInit(CStrList* cache)
{
    if (!cache || cache->m_nCount != 0 || !cache->ItemDataSize(sizeof(FileCacheEntry)))
        return false;
    cache->m_nUserData = 0;
    return true;
}

uint64_t FileCacheTotal(const CStrList* cache)
{
    return cache ? (uint64_t)(uint32_t)cache->m_nUserData : 0;
}

int FileCacheFind(const CStrList* cache, const char* path)
{
    if (!cache || !path || cache->m_nCount == 0)
        return -1;
    int index = cache->FindSorted(-1, path, 0, -1, kFold);
    return index >= 0 ? index : -1;
}

namespace {

// Entry index's copy when the file's attributes (statResult, info) show it unchanged; a stale
// entry is removed.
const unsigned char* ServeEntry(CStrList* cache, int index, int statResult, const FileInfo& info, size_t* size)
{
    FileCacheEntry* entry = cache->Item<FileCacheEntry>(index);
    if (!FileUnchanged(statResult, info, entry)) {
        FileCacheRemoveAt(cache, index);
        return nullptr;
    }
    entry->used = 1;
    if (size)
        *size = entry->size;
    return entry->bytes;
}

} // namespace

const unsigned char* FileCacheLookup(CStrList* cache, const char* path, size_t* size, FileInfo* seen)
{
    int index = FileCacheFind(cache, path);
    if (index < 0)
        return nullptr;
    FileInfo info;
    int statResult = FileStat(path, &info);
    if (seen)
        *seen = info;
    return ServeEntry(cache, index, statResult, info, size);
}

const unsigned char* FileCacheLookupStat(CStrList* cache, const char* path, int statResult, const FileInfo& info,
                                         size_t* size)
{
    int index = FileCacheFind(cache, path);
    return index < 0 ? nullptr : ServeEntry(cache, index, statResult, info, size);
}

bool FileCacheHasRoom(const CStrList* cache, int64_t limit, size_t size)
{
    if (!cache || size == 0 || size > 0xFFFFFFFFu)
        return false;
    // In 64 bits: a total near the limit plus a large file must not wrap round.
    return (int64_t)(FileCacheTotal(cache) + (uint64_t)size) < limit;
}

unsigned char* FileCacheAlloc(const CStrList* cache, int64_t limit, size_t size)
{
    return FileCacheHasRoom(cache, limit, size) ? (unsigned char*)malloc(size) : nullptr;
}

bool FileCacheInsert(CStrList* cache, const char* path, unsigned char* bytes, size_t size, uint32_t writeTime)
{
    if (!cache || !path || !*path || !bytes || size == 0 || size > 0xFFFFFFFFu)
        return false;
    int old = FileCacheFind(cache, path);
    if (old >= 0)
        FileCacheRemoveAt(cache, old);
    bool found = false;
    int at = cache->FindSorted(-1, path, 0, -1, kFold | kInsertPos, &found);
    FileCacheEntry entry = {(uint32_t)size, 1, writeTime, bytes};
    if (cache->Insert(path, at, &entry) < 0)
        return false;
    SetTotal(cache, FileCacheTotal(cache) + size);
    return true;
}

bool FileCacheAdd(CStrList* cache, int64_t limit, const char* path, const void* bytes,
                  size_t size, uint32_t writeTime)
{
    if (!cache || !path || !*path || !bytes || size == 0)
        return false;
    int old = FileCacheFind(cache, path);
    if (old >= 0)
        FileCacheRemoveAt(cache, old);
    unsigned char* copy = FileCacheAlloc(cache, limit, size);
    if (!copy)
        return false;
    memcpy(copy, bytes, size);
    if (!FileCacheInsert(cache, path, copy, size, writeTime)) {
        free(copy);
        return false;
    }
    return true;
}

bool FileCacheRemoveAt(CStrList* cache, int index)
{
    if (!cache || index < 0 || index >= cache->m_nCount)
        return false;
    FileCacheEntry* entry = cache->Item<FileCacheEntry>(index);
    uint64_t total = FileCacheTotal(cache);
    SetTotal(cache, total > entry->size ? total - entry->size : 0);
    free(entry->bytes);
    entry->bytes = nullptr;
    cache->RemoveAt(index);
    return true;
}

bool FileCacheDrop(CStrList* cache, const char* path)
{
    return FileCacheRemoveAt(cache, FileCacheFind(cache, path));
}

int FileCachePrune(CStrList* cache, int64_t cacheSize)
{
    if (!cache)
        return 0;
    int removed = 0;
    uint64_t total = 0;
    for (int i = cache->m_nCount - 1; i >= 0; i--) {
        FileCacheEntry* entry = cache->Item<FileCacheEntry>(i);
        if (!entry->used) {
            free(entry->bytes);
            cache->RemoveAt(i);
            removed++;
        } else {
            total += entry->size;
        }
    }
    uint64_t limit = cacheSize > 0 ? (uint64_t)cacheSize : 0;
    for (int i = cache->m_nCount - 1; i >= 0 && total > limit; i--) {
        FileCacheEntry* entry = cache->Item<FileCacheEntry>(i);
        total -= entry->size;
        free(entry->bytes);
        cache->RemoveAt(i);
        removed++;
    }
    for (int i = 0; i < cache->m_nCount; i++)
        cache->Item<FileCacheEntry>(i)->used = 0;
    SetTotal(cache, total);
    return removed;
}

void FileCacheClear(CStrList* cache)
{
    if (!cache)
        return;
    for (int i = cache->m_nCount - 1; i >= 0; i--) {
        free(cache->Item<FileCacheEntry>(i)->bytes);
        cache->RemoveAt(i);
    }
    SetTotal(cache, 0);
}
