// A grep-like console front end of the text search engine, for the peer checks and the
// benchmark: searches every file below a folder and prints one "path:line:text" line per line
// with a hit (path relative to the folder, '/' separators), as grep -n does.
//
//   textsearch_grep [-i] [-w] [-p] [-m lines] [-r runs] [-c cacheMB] [-t] [-q] text folder
//   -i ignore case  -w whole words  -p pattern (-m: multi-line over that many lines)
//   -r search runs times (the file cache, -c MB, serves the later runs; 0 = no cache)
//   -t timings on stderr  -q count only (no lines printed)
// Exit code: 0 hits found, 1 none, 2 bad arguments.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "app/FileCache.h"
#include "app/TextSearch.h"
#include "system/DirList.h"
#include "system/StrList.h"

namespace {

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

int Usage()
{
    fprintf(stderr, "usage: textsearch_grep [-i] [-w] [-p] [-m lines] [-r runs] [-c cacheMB] [-t] [-q] text folder\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    unsigned flags = 0;
    int lines = 0, runs = 1, cacheMB = 250;
    bool timings = false, quiet = false;
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1]; i++) {
        const char* a = argv[i];
        if (!strcmp(a, "-i")) flags |= CTextSearch::IgnoreCase;
        else if (!strcmp(a, "-w")) flags |= CTextSearch::WholeWords;
        else if (!strcmp(a, "-p")) flags |= CTextSearch::Pattern;
        else if (!strcmp(a, "-t")) timings = true;
        else if (!strcmp(a, "-q")) quiet = true;
        else if (!strcmp(a, "-m") && i + 1 < argc) { flags |= CTextSearch::MultiLine; lines = atoi(argv[++i]); }
        else if (!strcmp(a, "-r") && i + 1 < argc) runs = atoi(argv[++i]);
        else if (!strcmp(a, "-c") && i + 1 < argc) cacheMB = atoi(argv[++i]);
        else return Usage();
    }
    if (argc - i != 2 || runs < 1)
        return Usage();
    const char* text = argv[i];
    std::string root = argv[i + 1];
    for (char& c : root)
        if (c == '/')
            c = '\\';
    if (root.empty() || root.back() != '\\')
        root += '\\';

    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    CDirList files;
    if (files.Open(root.c_str(), CDirList::DL_RECURSE) < 0) {
        fprintf(stderr, "cannot list %s\n", root.c_str());
        return 2;
    }
    QueryPerformanceCounter(&t1);
    if (timings)
        fprintf(stderr, "files %ld, walk %.3f s\n", (long)files.m_nCount, Seconds(t0, t1));

    CStrList cache;
    FileCacheInit(&cache);
    CTextSearch engine;
    engine.m_nResultLimit = 0x7FFFFFFF;
    engine.m_nLines = lines;
    for (int run = 0; run < runs; run++) {
        FileCachePrune(&cache, (int64_t)cacheMB << 20);
        engine.m_pCache = cacheMB > 0 ? &cache : nullptr;
        engine.m_nCacheLimit = cacheMB > 0 ? (int32_t)((int64_t)cacheMB << 20 > 0x7FFFFFFF ? 0x7FFFFFFF : (int64_t)cacheMB << 20) : 0;
        engine.Clear();
        QueryPerformanceCounter(&t1);
        engine.SearchFileList(files, text, flags);
        QueryPerformanceCounter(&t2);
        if (timings)
            fprintf(stderr, "run %d: %d hits, %.3f s, %llu bytes, cache %d files %llu bytes\n", run + 1,
                    engine.GetHitCount(), Seconds(t1, t2), (unsigned long long)engine.m_nBytesDone.load(),
                    cache.m_nCount, (unsigned long long)FileCacheTotal(&cache));
    }

    if (!quiet) {
        std::string out;
        out.reserve(1 << 20);
        HANDLE so = GetStdHandle(STD_OUTPUT_HANDLE);
        auto flush = [&] {
            DWORD put = 0;
            if (!out.empty())
                WriteFile(so, out.data(), (DWORD)out.size(), &put, nullptr);
            out.clear();
        };
        // Paths relative to the listed folder.
        const DirEntry* first = files.GetEntry(0);
        const size_t base = first ? (size_t)first->nBaseLength : 0;
        int lastName = -1, lastLine = -1;
        for (int h = 0; h < engine.GetHitCount(); h++) {
            const TextSearchHit* hit = engine.m_hits.Item<TextSearchHit>(h);
            if (hit->nameIndex == lastName && hit->line == lastLine)
                continue;   // one output line per line, as grep prints
            lastName = hit->nameIndex;
            lastLine = hit->line;
            const char* path = engine.m_names.GetString(hit->nameIndex) + base;
            for (const char* p = path; *p; p++)
                out += *p == '\\' ? '/' : *p;
            char num[16];
            out += ':';
            out.append(num, (size_t)snprintf(num, sizeof num, "%d", (int)hit->line));
            out += ':';
            out.append(engine.m_hits.GetString(h), (size_t)engine.m_hits.GetLength(h));
            out += '\n';
            if (out.size() > (1 << 20))
                flush();
        }
        flush();
    }
    FileCacheClear(&cache);
    return engine.GetHitCount() ? 0 : 1;
}
