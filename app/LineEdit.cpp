// Inserting and deleting lines at found lines, apart from any window.
#include "app/LineEdit.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "app/FileCache.h"
#include "app/ResultStamps.h"
#include "app/TextSearch.h"
#include "system/SafeFile.h"
#include "system/WinHandle.h"
#include "text/Format.h"

namespace {

// A line of the edited file: a line as read (number from 1) or an inserted one (number 0).
struct Entry {
    int number;
    int start, length, endLength;   // read lines
    const std::string* text;        // inserted lines
};

long long Clamp(long long v, long long lo, long long hi) { return v < lo ? lo : (v > hi ? hi : v); }

bool ReadWhole(const char* path, std::string& out)
{
    CWinHandle h(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h)
        return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h.Get(), &size) || size.QuadPart >= 0x7FFFFFFF)
        return false;
    out.resize(size_t(size.QuadPart));
    DWORD got = 0;
    return out.empty() || (ReadFile(h.Get(), &out[0], DWORD(out.size()), &got, nullptr) && got == out.size());
}

bool Report(CLineEditHost& host, const char* format, const char* path, const char* detail)
{
    char text[2 * MAX_PATH + 200];
    StrFormat(text, sizeof text, format, path);
    if (detail && *detail) {
        size_t n = strlen(text);
        StrFormat(text + n, sizeof text - n, "\n%s", detail);
    }
    return host.Fail(text);
}

}  // namespace

const char kBadNameSuffix[] = "Das Suffix darf keines der Zeichen \\ / : * ? \" < > | enthalten !";

bool IsValidNameSuffix(const char* suffix)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(suffix ? suffix : ""); *p; ++p)
        if (*p < 0x20 || strchr("\\/:*?\"<>|", *p))
            return false;
    return true;
}

std::vector<LineSpan> SplitLines(const unsigned char* data, int size)
{
    std::vector<LineSpan> lines;
    int start = 0;
    for (int i = 0; i < size; ++i) {
        int end = 0;
        if (data[i] == '\n')
            end = 1;
        else if (data[i] == '\r')
            end = (i + 1 < size && data[i + 1] == '\n') ? 2 : 1;
        if (!end)
            continue;
        i += end - 1;
        lines.push_back(LineSpan{start, i + 1 - start, end});
        start = i + 1;
    }
    if (start < size)
        lines.push_back(LineSpan{start, size - start, 0});
    return lines;
}

std::vector<std::string> SplitInsertText(const char* text)
{
    std::vector<std::string> lines;
    std::string t = text ? text : "";
    std::vector<LineSpan> spans = SplitLines(reinterpret_cast<const unsigned char*>(t.data()), int(t.size()));
    for (const LineSpan& s : spans)
        lines.push_back(t.substr(size_t(s.start), size_t(s.length - s.endLength)));
    return lines;
}

bool EditFileLines(const unsigned char* data, int size, std::vector<int> lines, const LineEditRequest& request,
                   std::string& out)
{
    std::vector<LineSpan> spans = SplitLines(data, size);
    std::vector<Entry> entries;
    entries.reserve(spans.size());
    for (size_t i = 0; i < spans.size(); ++i)
        entries.push_back(Entry{int(i + 1), spans[i].start, spans[i].length, spans[i].endLength, nullptr});
    std::string lineEnd = "\n";
    if (!spans.empty() && spans[0].endLength)
        lineEnd.assign(reinterpret_cast<const char*>(data) + spans[0].start + spans[0].length - spans[0].endLength,
                       size_t(spans[0].endLength));
    std::vector<std::string> inserted = request.deleteMode ? std::vector<std::string>() : SplitInsertText(request.text);

    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    bool changed = false;
    for (int line : lines) {
        auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.number == line; });
        if (line < 1 || it == entries.end())
            continue;   // deleted by an earlier found line
        long long found = it - entries.begin(), n = (long long)entries.size();
        if (request.deleteMode) {
            long long from = Clamp(found + request.position, 0, n);
            long long to = Clamp(found + request.position + (long long)request.count, from, n);
            entries.erase(entries.begin() + from, entries.begin() + to);
            changed = changed || to > from;
        } else {
            long long at = Clamp(found + request.position, 0, n);
            for (size_t j = 0; j < inserted.size(); ++j)
                entries.insert(entries.begin() + at + (long long)j, Entry{0, 0, 0, 0, &inserted[j]});
            changed = changed || !inserted.empty();
        }
    }
    if (!changed)
        return false;
    out.clear();
    out.reserve(size_t(size) + 64);
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        if (e.text) {
            out += *e.text;
            out += lineEnd;
            continue;
        }
        out.append(reinterpret_cast<const char*>(data) + e.start, size_t(e.length));
        if (e.endLength == 0 && i + 1 < entries.size())
            out += lineEnd;   // the file's last line no longer ends the file
    }
    return true;
}

LineEditResult RunLineEdit(const CTextSearch& engine, CStrList* cache, const LineEditRequest& request,
                           const char* suffix, CLineEditHost& host, const CResultStamps* stamps)
{
    LineEditResult r = {0, false};
    // "\..\x" would write another file than the one beside the searched file.
    if (!IsValidNameSuffix(suffix)) {
        host.Fail(kBadNameSuffix);
        return r.stopped = true, r;
    }
    // The found lines of each file, files in the order of their first hit.
    std::vector<std::vector<int>> lines(size_t(engine.m_names.m_nCount));
    std::vector<int> order;
    for (int i = 0; i < engine.GetHitCount(); ++i) {
        const TextSearchHit* h = engine.m_hits.Item<TextSearchHit>(i);
        if (h->nameIndex < 0 || h->nameIndex >= engine.m_names.m_nCount)
            continue;
        std::vector<int>& v = lines[size_t(h->nameIndex)];
        if (v.empty())
            order.push_back(h->nameIndex);
        v.push_back(h->line);
    }
    int done = 0;
    for (int name : order) {
        const char* path = engine.m_names.GetString(name);
        if (host.Stopped())
            return r.stopped = true, r;
        host.Progress(done, path);
        done += int(lines[size_t(name)].size());
        if (stamps && !stamps->Unchanged(path)) {
            if (!Report(host, kChangedSinceSearch, path, nullptr))
                return r.stopped = true, r;
            continue;
        }
        std::string content, edited;
        if (!ReadWhole(path, content)) {
            if (!Report(host, "Die Datei %s konnte nicht geöffmet werden !", path, nullptr))
                return r.stopped = true, r;
            continue;
        }
        if (!EditFileLines(reinterpret_cast<const unsigned char*>(content.data()), int(content.size()),
                           lines[size_t(name)], request, edited))
            continue;
        std::string target = std::string(path) + (suffix ? suffix : "");
        CSafeFileWriter writer;
        int rc = writer.Open(target.c_str());
        if (rc == SAFE_OK)
            rc = writer.Write(edited.data(), edited.size());
        if (rc == SAFE_OK)
            rc = writer.Commit();
        if (rc != SAFE_OK) {
            writer.Abort();
            if (!Report(host, "Die Datei %s konnte nicht erstellt werden !", target.c_str(), SafeFileErrorText(rc)))
                return r.stopped = true, r;
            continue;
        }
        FileCacheDrop(cache, target.c_str());
        ++r.files;
    }
    host.Progress(done, "");
    return r;
}
