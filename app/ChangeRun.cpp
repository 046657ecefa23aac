// One run of the change command over the hits of a search engine.
#include "app/ChangeRun.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <vector>

#include "app/FileCache.h"
#include "app/HitFiles.h"
#include "app/HexSearch.h"
#include "app/ResultStamps.h"
#include "app/TextSearch.h"
#include "system/MapFile.h"
#include "system/SafeFile.h"
#include "text/Format.h"

namespace {

// The hits of a file at distinct positions: the same file searched twice (listed twice) gives
// each hit twice, and one offset must be changed once. kept[k] is the index into the distinct
// hits that the file's k-th hit shares.
template <class PosOf>
std::vector<int> DistinctPositions(const FileHits& file, PosOf posOf, std::vector<int>& kept)
{
    std::vector<int> distinct;
    kept.clear();
    for (int i : file.hits) {
        if (distinct.empty() || posOf(distinct.back()) != posOf(i))
            distinct.push_back(i);
        kept.push_back(int(distinct.size()) - 1);
    }
    return distinct;
}

bool Report(CChangeHost& host, const char* format, const char* path, const char* detail = nullptr)
{
    char text[2 * MAX_PATH + 200];
    StrFormat(text, sizeof text, format, path, detail ? detail : "");
    return host.Fail(text);
}

// Whether path is as the search saw it, by what its open handle told (null: it could not be
// opened for reading); a changed file is reported (and a Cancel there sets r.aborted).
bool StillAsSearched(CChangeHost& host, CResultStamps* stamps, const char* path, const OpenFileInfo* now,
                     ChangeRunResult& r)
{
    if (!stamps || (now ? stamps->Unchanged(path, StampOf(*now)) : stamps->Unchanged(path)))
        return true;
    r.aborted = !Report(host, kChangedSinceSearch, path);
    return false;
}

bool IsEmptyFile(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA a;
    return GetFileAttributesExA(path, GetFileExInfoStandard, &a) && !(a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           a.nFileSizeLow == 0 && a.nFileSizeHigh == 0;
}

class SafeOutput : public CChangeOutput {
public:
    explicit SafeOutput(CSafeFileWriter& w) : m_w(w) {}
    bool Write(const void* data, size_t length) override { return m_w.Write(data, length) == SAFE_OK; }

private:
    CSafeFileWriter& m_w;
};

// After an "all" answer every later change is made without asking.
class AllLatch : public CChangeAsker {
public:
    explicit AllLatch(CChangeAsker& inner) : m_inner(inner) {}
    int Ask(const unsigned char* data, int size, int pos, int length, const ChangeParts& parts) override
    {
        if (m_all)
            return CHANGE_ANSWER_ALL;
        int a = m_inner.Ask(data, size, pos, length, parts);
        m_all = a == CHANGE_ANSWER_ALL;
        return a;
    }

private:
    CChangeAsker& m_inner;
    bool m_all = false;
};

const char kOpenError[] = "Fehler beim Öffnen von:\n%s";
const char kCreateError[] = "Fehler beim Erstellen von:\n%s%s";
const char kWriteError[] = "Fehler beim Schreiben von:\n%s\n%s";

}  // namespace

ChangeRunResult RunTextChange(CTextSearch& engine, CStrList* cache, const ChangeRequest& request, bool ask,
                              CChangeHost& host, CResultStamps* stamps)
{
    ChangeRunResult r = {0, 0, false};
    auto hitOf = [&](int i) { return engine.m_hits.Item<TextSearchHit>(i); };
    auto posOf = [&](int i) { return hitOf(i)->pos; };
    std::vector<FileHits> files = GroupHitsByFile(
        engine.GetHitCount(), engine.m_names, [&](int i) { return hitOf(i)->nameIndex; }, posOf);
    AllLatch latch(host);
    // One writer and one buffer serve every file of the run.
    CSafeFileWriter writer;
    CRewriteBuffer buffer;
    bool stopped = false;
    for (size_t f = 0; f < files.size() && !stopped; ++f) {
        if (host.Stopped())
            break;
        const FileHits& file = files[f];
        host.Progress(int(f), int(files.size()), file.path);
        // One handle tells whether the file is as searched and gives its bytes.
        CSourceFile source;
        bool opened = source.Open(file.path, stamps != nullptr);
        if (!StillAsSearched(host, stamps, file.path, opened ? &source.Info() : nullptr, r)) {
            if (r.aborted)
                return r;
            continue;
        }
        const OpenFileInfo& info = source.Info();
        if (opened && info.size == 0)
            continue;   // nothing left to change
        // OK after an open or create error ends the run; its count is still shown.
        CFileView view;
        const unsigned char* data =
            opened ? reinterpret_cast<const unsigned char*>(HoldWhole(source, buffer, view, 0x7FFFFFFF)) : nullptr;
        if (!data) {
            if (!opened && IsEmptyFile(file.path))
                continue;
            r.aborted = !Report(host, kOpenError, file.path);
            return r;
        }
        if (!view.IsOpen())
            source.Close();   // read whole: the handle has done its work
        if (int rc = writer.Open(file.path)) {
            char temp[MAX_PATH + 32];
            StrFormat(temp, sizeof temp, "%s%s", file.path, kSafeTempSuffix);
            r.aborted = !Report(host, kCreateError, temp, rc == SAFE_ERR_PATH ? "\nDer Dateiname ist zu lang." : "");
            return r;
        }
        writer.SetTargetAttributes(info.attributes);
        int changes = 0;
        std::vector<int> kept, distinct;
        std::vector<ChangeHit> hits;
        try {
            distinct = DistinctPositions(file, posOf, kept);
            for (int i : distinct)
                hits.push_back(ChangeHit{hitOf(i)->pos, hitOf(i)->length});
            SafeOutput out(writer);
            changes = RewriteFileHits(data, int(info.size), hits.data(), int(hits.size()), request, out,
                                      ask ? &latch : nullptr, &stopped);
        } catch (const std::bad_alloc&) {
            writer.Abort();
            if (!Report(host, kNoMemoryForFile, file.path))
                return r.aborted = true, r;
            continue;
        }
        view.Close();
        source.Close();
        if (changes == 0) {
            writer.Abort();   // nothing changed: the file stays as it is
            continue;
        }
        OpenFileInfo written;
        int rc = changes < 0 ? SAFE_ERR_WRITE : writer.Commit(&written);
        if (rc != SAFE_OK) {
            writer.Abort();
            if (!Report(host, kWriteError, file.path, SafeFileErrorText(rc)))
                return r.aborted = true, r;
            continue;
        }
        FileCacheDrop(cache, file.path);
        if (stamps)
            stamps->Renew(file.path, StampOf(written));
        // A hit given twice points where its twin does.
        for (size_t k = 0; k < file.hits.size(); ++k) {
            const ChangeHit& h = hits[size_t(kept[k])];
            engine.SetHitPos(file.hits[k], h.pos);
            engine.SetHitLength(file.hits[k], h.length);
        }
        r.changes += changes;
        ++r.files;
    }
    return r;
}

ChangeRunResult RunValueChange(CHexSearch& engine, CStrList* cache, const ChangeRequest& request, CChangeHost& host,
                               CResultStamps* stamps)
{
    ChangeRunResult r = {0, 0, false};
    auto hitOf = [&](int i) { return engine.m_hits.Item<HexSearchHit>(i); };
    auto posOf = [&](int i) { return hitOf(i)->position; };
    std::vector<FileHits> files = GroupHitsByFile(
        engine.GetHitCount(), engine.m_names, [&](int i) { return hitOf(i)->nameIndex; }, posOf);
    for (size_t f = 0; f < files.size(); ++f) {
        if (host.Stopped())
            break;
        const FileHits& file = files[f];
        host.Progress(int(f), int(files.size()), file.path);
        if (!StillAsSearched(host, stamps, file.path, nullptr, r)) {
            if (r.aborted)
                return r;
            continue;
        }
        CMapFile map;
        if (!map.Open(file.path, CMapFile::ReadWrite) || map.m_dwSize > 0x7FFFFFFF) {
            if (IsEmptyFile(file.path))
                continue;
            if (!Report(host, kOpenError, file.path))
                return r.aborted = true, r;
            continue;
        }
        int size = int(map.m_dwSize), changes = 0;
        std::vector<int> kept, distinct;
        try {
            distinct = DistinctPositions(file, posOf, kept);
        } catch (const std::bad_alloc&) {
            if (!Report(host, kNoMemoryForFile, file.path))
                return r.aborted = true, r;
            continue;
        }
        for (int i : distinct) {
            int pos = hitOf(i)->position;
            if (pos < 0 || pos >= size)
                continue;
            int n = std::min(request.count, size - pos);
            memcpy(map.m_pData + pos, request.bytes, size_t(n));
            ++changes;
        }
        map.Close();
        if (changes) {
            FileCacheDrop(cache, file.path);
            if (stamps)
                stamps->Renew(file.path);
            r.changes += changes;
            ++r.files;
        }
    }
    return r;
}

void FormatChangeCount(char* buffer, int size, int changes)
{
    StrFormat(buffer, size_t(size), "Es wurden %i Änderungen durch geführt.", changes);
}
