// The search jobs and their progress, apart from the windows that show them.
#include "app/SearchCommands.h"

#include "app/FileCache.h"
#include "app/HexSearch.h"
#include "app/TextSearch.h"
#include "system/DirList.h"
#include "text/CharClass.h"
#include "text/Format.h"

const char kTooManyResults[] = "Es wurden zuviele Einträge gefunden.";

unsigned TextSearchEngineFlags(unsigned options, const char* text)
{
    unsigned flags = 0;
    if (options & TSO_IGNORECASE)
        flags |= CTextSearch::IgnoreCase;
    if (options & TSO_WHOLEWORDS)
        flags |= CTextSearch::WholeWords;
    if ((options & TSO_PATTERN) && text && text[SpanNotClass(text, CC_PATTERN)])
        flags |= CTextSearch::Pattern;
    if (options & TSO_MULTILINE)
        flags |= CTextSearch::MultiLine;
    return flags;
}

int ClampSearchLines(int64_t lines)
{
    return lines < 0 ? 0 : (lines > 255 ? 255 : int(lines));
}

namespace {

// The cache upkeep and the engine's cache settings, shared by both jobs.
template <class Engine> void PrepareCache(Engine* engine, CStrList* cache, uint32_t cacheSize)
{
    if (cache)
        FileCachePrune(cache, cacheSize);
    engine->m_pCache = cacheSize >= 1 ? cache : nullptr;
    engine->m_nCacheLimit = cacheSize > 0x7FFFFFFFu ? 0x7FFFFFFF : int(cacheSize);
}

}  // namespace

int RunTextSearchJob(const TextSearchJobData& job)
{
    if (!job.engine)
        return 0;
    PrepareCache(job.engine, job.cache, job.cacheSize);
    job.engine->m_nLines = ClampSearchLines(job.lines);
    if (job.paths)
        return job.engine->SearchFiles(*job.paths, job.text, job.flags);
    if (job.files)
        return job.engine->SearchFileList(*job.files, job.text, job.flags);
    return 0;
}

int RunHexSearchJob(const HexSearchJobData& job)
{
    if (!job.engine)
        return 0;
    PrepareCache(job.engine, job.cache, job.cacheSize);
    if (!job.files)
        return 0;
    return job.engine->SearchFileList(*job.files, job.group, job.flags);
}

SearchProgressTick StepSearchProgress(SearchProgressState& state, uint64_t bytesDone, long filePosition,
                                      uint64_t totalBytes, int64_t range, long fileIndex, long hitCount)
{
    SearchProgressTick tick = {};
    if (totalBytes > 0) {
        uint64_t done = bytesDone + uint64_t(filePosition > 0 ? filePosition : 0);
        // done * range / total without overflow for totals beyond 2^54 bytes.
        uint64_t r = uint64_t(range > 0 ? range : 0);
        uint64_t value = (done / totalBytes) * r + (done % totalBytes) * r / totalBytes;
        if (int64_t(value) != state.position) {
            state.position = int64_t(value);
            tick.setPosition = true;
            tick.position = int64_t(value);
        }
    }
    if (fileIndex != state.fileIndex) {
        state.fileIndex = fileIndex;
        tick.setFile = true;
        tick.fileIndex = fileIndex;
    }
    if (hitCount != state.hitCount) {
        state.hitCount = hitCount;
        tick.setCount = true;
        tick.hitCount = hitCount;
    }
    return tick;
}

void StopTextSearch(CTextSearch& engine)
{
    engine.m_bLineStop = 1;
    engine.m_bFileStop = 1;
}

void StopHexSearch(CHexSearch& engine)
{
    engine.m_bBufferStop = 1;
    engine.m_bFileStop = 1;
}

int FormatResultCount(char* buffer, int size, int count)
{
    return StrFormat(buffer, size_t(size > 0 ? size : 0), "%i Einträge", count);
}
