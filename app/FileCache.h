// The file cache of the searches: copies of file contents kept in memory between searches,
// held in a CStrList sorted by path (ASCII case folded) whose item data is a FileCacheEntry
// and whose user word is the byte total of all copies. The view owns the list; the text and
// value search engines look files up and add them; the view runs the upkeep before each
// search job and drops the entry of every file that one of its commands writes.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "system/Files.h"
#include "system/StrList.h"

// Item data of a cache entry.
struct FileCacheEntry {
    uint32_t size;        // bytes of the copy (the file's size when it was copied)
    uint32_t used;        // 1 once the entry was added or read by a search since the last upkeep
    uint32_t writeTime;   // the file's last-write time (Unix seconds) when it was copied
    unsigned char* bytes; // the copy, owned by the cache (malloc)
};
static_assert(sizeof(void*) != 4 || sizeof(FileCacheEntry) == 16, "FileCacheEntry is 16 bytes");

// Default cache size in bytes (250 MB); 0 means no cache.
const uint32_t kFileCacheDefaultSize = 262144000u;

// Sets up an empty list as a file cache (item data FileCacheEntry, byte total 0).
// Returns false when the list is not empty.
bool FileCacheInit(CStrList* cache);

// The byte total of all copies.
uint64_t FileCacheTotal(const CStrList* cache);

// Index of path's entry (binary search, ASCII case folded), or -1.
int FileCacheFind(const CStrList* cache, const char* path);

// Returns the cached copy of path when the file is unchanged since it was copied (same size,
// same write time in two-second steps) and marks the entry used; *size gets its length.
// A changed, vanished or unreadable file loses its entry (copy freed, total lowered).
// Returns null when the path has no (valid) entry, or cache is null. seen (may be null) gets
// the attributes that the check read when it returned a copy.
const unsigned char* FileCacheLookup(CStrList* cache, const char* path, size_t* size, FileInfo* seen = nullptr);
// FileCacheLookup with path's attributes already read: statResult and info are what FileStat
// returned for it.
const unsigned char* FileCacheLookupStat(CStrList* cache, const char* path, int statResult, const FileInfo& info,
                                         size_t* size);

// Copies size bytes of path's contents into the cache, marked used, when the byte total plus
// size stays below limit and the memory can be had; an older entry of the path is replaced.
// writeTime: the file's last-write time (Unix seconds) read before its bytes were.
// Returns true when the copy was added; false (nothing changed) otherwise, also for a null
// cache, an empty path or size 0.
bool FileCacheAdd(CStrList* cache, int64_t limit, const char* path, const void* bytes,
                  size_t size, uint32_t writeTime);

// The two steps of FileCacheAdd for a caller that reads the file straight into the copy:
// FileCacheAlloc returns a buffer of size bytes (malloc) when the byte total plus size stays
// below limit, else null; FileCacheInsert makes that buffer path's copy (an older entry of the
// path is replaced) and returns true, or false when the entry cannot be added: the buffer
// then stays the caller's, who frees it.
unsigned char* FileCacheAlloc(const CStrList* cache, int64_t limit, size_t size);
// True when a copy of size bytes (1 or more) fits: the byte total plus size stays below limit.
bool FileCacheHasRoom(const CStrList* cache, int64_t limit, size_t size);
bool FileCacheInsert(CStrList* cache, const char* path, unsigned char* bytes, size_t size, uint32_t writeTime);

// Frees entry index's copy, lowers the total and removes the entry. False when out of range.
bool FileCacheRemoveAt(CStrList* cache, int index);

// Drops path's entry, for every command that writes a file. Returns true when there was one.
bool FileCacheDrop(CStrList* cache, const char* path);

// The upkeep before every search job: removes the entries that no search used since the last
// upkeep, then, while the total exceeds cacheSize (0: no cache), entries from the end; clears
// the used flag of the entries kept and sets the total to the sum of their sizes.
// Returns the number of entries removed.
int FileCachePrune(CStrList* cache, int64_t cacheSize);

// Frees every copy and removes every entry (the owner's destructor).
void FileCacheClear(CStrList* cache);
