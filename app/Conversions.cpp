// Tab, code-page and line-end conversions of files.
#include "app/Conversions.h"

#include <cstring>
#include <vector>

#include "app/FileCache.h"
#include "system/DirList.h"
#include "system/Files.h"
#include "system/MapFile.h"
#include "system/SafeFile.h"
#include "system/StrList.h"

namespace {

// Output is collected and written in pieces of about this size.
const size_t kWriteChunk = 65536;

bool IsReadOnly(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// Maps a file for reading. CONVERT_DONE with the map open, or the result for a file that
// cannot be converted: unchanged when it is empty, skipped when read-only or unreadable.
int OpenSource(const char* path, CMapFile& map)
{
    if (IsReadOnly(path))
        return CONVERT_SKIPPED;
    if (map.Open(path, 0))
        return CONVERT_DONE;
    FileInfo info;
    return (FileStat(path, &info) == 0 && !(info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) && info.nSize == 0)
               ? CONVERT_UNCHANGED
               : CONVERT_SKIPPED;
}

// The new content of a file, written to a temporary file while it is compared with the old
// one; the old file is replaced only when the two differ.
class CRewrite {
public:
    CRewrite(const char* path, CMapFile& source) : m_path(path), m_source(source) {}
    bool Open() { return m_writer.Open(m_path) == SAFE_OK; }
    // Appends bytes of the new content; false once a write failed.
    bool Add(const char* data, size_t length)
    {
        if (m_same) {
            uint64_t end = m_written + m_pending.size() + length;
            m_same = end <= m_source.m_dwSize &&
                     memcmp(m_source.m_pData + (m_written + m_pending.size()), data, length) == 0;
        }
        m_pending.append(data, length);
        return m_pending.size() < kWriteChunk || Flush();
    }
    // Ends the file: CONVERT_UNCHANGED (the new content equals the old), CONVERT_DONE or
    // CONVERT_FAILED. The source map is closed first: a mapped file cannot be replaced.
    int Finish()
    {
        if (!Flush())
            return CONVERT_FAILED;
        bool same = m_same && m_written == m_source.m_dwSize;
        m_source.Close();
        if (same) {
            m_writer.Abort();
            return CONVERT_UNCHANGED;
        }
        return m_writer.Commit() == SAFE_OK ? CONVERT_DONE : CONVERT_FAILED;
    }
    void Abort() { m_writer.Abort(); }

private:
    bool Flush()
    {
        if (m_pending.empty())
            return true;
        if (m_writer.Write(m_pending.data(), m_pending.size()) != SAFE_OK) {
            m_writer.Abort();
            return false;
        }
        m_written += m_pending.size();
        m_pending.clear();
        return true;
    }

    const char* m_path;
    CMapFile& m_source;
    CSafeFileWriter m_writer;
    std::string m_pending;
    uint64_t m_written = 0;
    bool m_same = true;
};

}  // namespace

bool PrepareTabWidths(int oldWidth, int newWidth, bool compress, bool onlySpaces, int* pOld, int* pNew)
{
    auto clamp = [](int w) { return w < 1 ? 1 : (w > 255 ? 255 : w); };
    *pOld = clamp(oldWidth);
    *pNew = onlySpaces ? 0 : clamp(newWidth);
    return *pOld != *pNew || compress;
}

void ConvertTabsLine(const char* line, size_t length, int oldWidth, int newWidth, bool compress, std::string& out)
{
    const size_t oldTab = size_t(oldWidth < 1 ? 1 : oldWidth);
    const size_t newTab = size_t(newWidth < 0 ? 0 : newWidth);
    size_t col = 0;    // the column the input has reached
    size_t done = 0;   // the column the output has reached
    for (size_t i = 0; i < length; ++i) {
        char c = line[i];
        if (c == '\t') {
            col = (col / oldTab + 1) * oldTab;
            continue;
        }
        if (c == ' ' && compress) {
            ++col;
            continue;
        }
        if (col > done) {
            // Tabs only up to a tab stop that lies within the gap; blanks for the rest.
            if (newTab > 0 && col - done > 1) {
                size_t tabs = col / newTab - done / newTab;
                if (tabs > 0) {
                    out.append(tabs, '\t');
                    done = col / newTab * newTab;
                }
            }
            out.append(col - done, ' ');
            done = col;
        }
        out += c;
        ++col;
        ++done;
    }
    out += "\r\n";
}

int ConvertLineEnds(const char* data, size_t length, int style, std::string& out)
{
    int changes = 0;
    for (size_t i = 0; i < length; ++i) {
        char c = data[i];
        bool pair = c == '\r' && i + 1 < length && data[i + 1] == '\n';
        if (style == 1) {
            if (c == '\r') {
                ++changes;
                if (!pair)
                    out += '\n';
                continue;
            }
            out += c;
        } else if (pair) {
            out += "\r\n";
            ++i;
        } else if (c == '\r' || c == '\n') {
            out += "\r\n";
            ++changes;
        } else {
            out += c;
        }
    }
    return changes;
}

int ConvertTabsFile(const char* path, int oldWidth, int newWidth, bool compress, const ConvertMonitor& monitor)
{
    CMapFile map;
    int opened = OpenSource(path, map);
    if (opened != CONVERT_DONE)
        return opened;
    CRewrite rewrite(path, map);
    if (!rewrite.Open())
        return CONVERT_FAILED;
    const char* data = reinterpret_cast<const char*>(map.m_pData);
    const size_t size = map.m_dwSize;
    std::string line;
    size_t pos = 0, reported = 0;
    while (pos < size) {
        if (monitor.Cancelled()) {
            rewrite.Abort();
            return CONVERT_CANCELLED;
        }
        size_t end = pos;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        size_t next = end;
        if (next < size)
            next += (data[next] == '\r' && next + 1 < size && data[next + 1] == '\n') ? 2 : 1;
        line.clear();
        ConvertTabsLine(data + pos, end - pos, oldWidth, newWidth, compress, line);
        if (!rewrite.Add(line.data(), line.size()))
            return CONVERT_FAILED;
        pos = next;
        if (monitor.progress && pos - reported >= 8192) {
            reported = pos;
            monitor.progress(monitor.context, pos);
        }
    }
    return rewrite.Finish();
}

int ConvertCodePageFile(const char* path, int direction)
{
    CMapFile map;
    int opened = OpenSource(path, map);
    if (opened != CONVERT_DONE)
        return opened;
    CRewrite rewrite(path, map);
    if (!rewrite.Open())
        return CONVERT_FAILED;
    std::vector<char> block(kWriteChunk);
    for (DWORD pos = 0; pos < map.m_dwSize;) {
        DWORD n = map.m_dwSize - pos < kWriteChunk ? map.m_dwSize - pos : DWORD(kWriteChunk);
        const char* source = reinterpret_cast<const char*>(map.m_pData) + pos;
        if (direction == 1)
            CharToOemBuffA(source, block.data(), n);
        else
            OemToCharBuffA(source, block.data(), n);
        if (!rewrite.Add(block.data(), n))
            return CONVERT_FAILED;
        pos += n;
    }
    return rewrite.Finish();
}

int ConvertLineEndsFile(const char* path, int style)
{
    FileInfo info;
    if (FileStat(path, &info) == 0 && info.nSize > kLineEndSizeLimit)
        return CONVERT_SKIPPED;
    CMapFile map;
    int opened = OpenSource(path, map);
    if (opened != CONVERT_DONE)
        return opened;
    std::string out;
    out.reserve(size_t(map.m_dwSize) + map.m_dwSize / 8 + 16);
    if (ConvertLineEnds(reinterpret_cast<const char*>(map.m_pData), map.m_dwSize, style, out) == 0)
        return CONVERT_UNCHANGED;
    CRewrite rewrite(path, map);
    if (!rewrite.Open() || !rewrite.Add(out.data(), out.size()))
        return CONVERT_FAILED;
    return rewrite.Finish();
}

namespace {

// Progress within the file now converted by the tab job.
struct FileProgress {
    const ConvertJobData* job;
    int index;
    uint64_t base;
    uint64_t total;
};

int64_t Share(uint64_t bytes, uint64_t total)
{
    if (bytes > total)
        bytes = total;
    return int64_t(bytes * kConvertProgressRange / total);
}

void ReportFileBytes(void* context, uint64_t fileBytes)
{
    const FileProgress& p = *static_cast<const FileProgress*>(context);
    if (p.job->progress)
        p.job->progress(p.job->context, p.index, Share(p.base + fileBytes, p.total));
}

}  // namespace

int RunConvertJob(const ConvertJobData& job)
{
    uint64_t total = 0;
    for (int i = 0; i < job.count; ++i)
        if (const DirEntry* e = job.files->GetEntry(i))
            total += e->IsFolder() ? 0 : e->Size();
    if (total == 0)
        total = 1;
    uint64_t done = 0;
    int converted = 0;
    for (int i = 0; i < job.count; ++i) {
        if (job.cancel && *job.cancel)
            break;
        const DirEntry* entry = job.files->GetEntry(i);
        if (!entry)
            break;
        if (entry->IsFolder())
            continue;
        const char* path = entry->FullPath();
        if (job.progress)
            job.progress(job.context, i, Share(done, total));
        int result;
        if (job.kind == CONVERT_TABS) {
            FileProgress within = {&job, i, done, total};
            ConvertMonitor monitor = {job.cancel, ReportFileBytes, &within};
            result = ConvertTabsFile(path, job.value, job.newWidth, job.compress, monitor);
        } else if (job.kind == CONVERT_CODE_PAGE) {
            result = ConvertCodePageFile(path, job.value);
        } else {
            result = ConvertLineEndsFile(path, job.value);
        }
        if (result == CONVERT_DONE) {
            ++converted;
            if (job.cache)
                FileCacheDrop(job.cache, path);
        }
        done += entry->Size();
    }
    if (job.progress)
        job.progress(job.context, job.count, Share(done, total));
    return converted;
}
