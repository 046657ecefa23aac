// Tab, code-page and line-end conversions of files.
#include "app/Conversions.h"

#include <cstring>
#include <new>

#include "app/FileCache.h"
#include "system/DirList.h"
#include "system/Files.h"
#include "system/MapFile.h"
#include "system/SafeFile.h"
#include "system/StrList.h"
#include "text/Format.h"

namespace {

// Files are read, and new content written, in blocks of this size.
const size_t kBlock = 65536;

bool IsReadOnly(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// The new content of a file, written through a buffer to a temporary file while it is
// compared with the old content, which a reader of its own follows; the old file is replaced
// only when the two differ. The temporary file goes when the object does, unless committed.
class CRewrite {
public:
    explicit CRewrite(const char* path) : m_path(path), m_buffer(kBlock), m_old(kBlock) {}
    bool Open() { return m_source.Open(m_path, CStream::ModeRead) && m_writer.Open(m_path) == SAFE_OK; }
    // Append bytes of the new content; false once a write failed.
    bool Add(const char* data, size_t length)
    {
        while (length) {
            size_t n = length < kBlock - m_used ? length : kBlock - m_used;
            memcpy(&m_buffer[m_used], data, n);
            m_used += n;
            data += n;
            length -= n;
            if (m_used == kBlock && !Flush())
                return false;
        }
        return true;
    }
    bool Fill(char c, uint64_t count)
    {
        while (count) {
            size_t n = count < kBlock - m_used ? size_t(count) : kBlock - m_used;
            memset(&m_buffer[m_used], c, n);
            m_used += n;
            count -= n;
            if (m_used == kBlock && !Flush())
                return false;
        }
        return true;
    }
    // Ends the file: CONVERT_UNCHANGED (the new content equals the old), CONVERT_DONE or
    // CONVERT_FAILED.
    int Finish()
    {
        if (!Flush())
            return CONVERT_FAILED;
        bool same = m_same && m_source.Read(&m_old[0], 1) == 0;
        m_source.Close();   // an open file cannot be replaced
        if (same) {
            m_writer.Abort();
            return CONVERT_UNCHANGED;
        }
        return m_writer.Commit() == SAFE_OK ? CONVERT_DONE : CONVERT_FAILED;
    }

private:
    bool Flush()
    {
        if (m_used == 0)
            return true;
        if (m_same)
            m_same = m_source.Read(&m_old[0], int(m_used)) == int(m_used) && memcmp(&m_old[0], &m_buffer[0], m_used) == 0;
        if (m_writer.Write(&m_buffer[0], m_used) != SAFE_OK)
            return false;
        m_used = 0;
        return true;
    }

    const char* m_path;
    CStream m_source{int(kBlock)};
    CSafeFileWriter m_writer;
    std::vector<char> m_buffer, m_old;
    size_t m_used = 0;
    bool m_same = true;
};

// Appends to a string, for single lines.
struct StringOut {
    std::string& s;
    bool Add(const char* data, size_t length) { return s.append(data, length), true; }
    bool Fill(char c, uint64_t count) { return s.append(size_t(count), c), true; }
};

// Re-tabs the bytes of lines as they come, keeping only two columns between calls: where the
// input has got to and where the output has. Whitespace is written only when a byte follows
// it, so nothing of a line is held. Out has Add(data, length) and Fill(c, count).
class CTabLine {
public:
    CTabLine(int oldWidth, int newWidth, bool compress)
        : m_old(uint64_t(oldWidth < 1 ? 1 : oldWidth)), m_new(uint64_t(newWidth < 0 ? 0 : newWidth)),
          m_compress(compress)
    {
    }
    // Bytes within a line (no CR or LF).
    template <class Out>
    bool Bytes(Out& out, const char* p, size_t length)
    {
        const char* end = p + length;
        while (p < end) {
            if (*p == '\t') {
                m_col = (m_col / m_old + 1) * m_old;
                ++p;
                continue;
            }
            if (*p == ' ' && m_compress) {
                ++m_col;
                ++p;
                continue;
            }
            // A run of bytes that stand for themselves.
            const char* q = p + 1;
            while (q < end && *q != '\t' && !(*q == ' ' && m_compress))
                ++q;
            if (!Gap(out) || !out.Add(p, size_t(q - p)))
                return false;
            m_col += uint64_t(q - p);
            m_done = m_col;
            p = q;
        }
        return true;
    }
    // Ends the line: pending whitespace is dropped, CR LF written.
    template <class Out>
    bool EndLine(Out& out)
    {
        m_col = m_done = 0;
        return out.Add("\r\n", 2);
    }

private:
    // Fills the output up to the input's column: tabs up to the last new tab stop within the
    // gap (when it is wider than one column), blanks for the rest.
    template <class Out>
    bool Gap(Out& out)
    {
        if (m_col <= m_done)
            return true;
        if (m_new > 0 && m_col - m_done > 1) {
            uint64_t tabs = m_col / m_new - m_done / m_new;
            if (tabs > 0) {
                if (!out.Fill('\t', tabs))
                    return false;
                m_done = m_col / m_new * m_new;
            }
        }
        uint64_t blanks = m_col - m_done;
        m_done = m_col;
        return out.Fill(' ', blanks);
    }

    const uint64_t m_old, m_new;
    const bool m_compress;
    uint64_t m_col = 0;    // the column the input has reached
    uint64_t m_done = 0;   // the column the output has reached
};

const char* FindLineEnd(const char* p, const char* end)
{
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

// The result for a file that is empty (nothing to convert) or cannot be read.
int EmptyOrSkipped(const char* path)
{
    FileInfo info;
    return (FileStat(path, &info) == 0 && !(info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) && info.nSize == 0)
               ? CONVERT_UNCHANGED
               : CONVERT_SKIPPED;
}

// Converts a file block by block into its rewrite; read-only and unreadable files are skipped.
// step(rewrite, data, length) converts a block (length 0: the file has ended) and returns
// CONVERT_DONE to go on, else the file's result.
template <class Step>
int StreamRewrite(const char* path, Step step)
{
    if (IsReadOnly(path))
        return CONVERT_SKIPPED;
    CStream in{int(kBlock)};
    if (!in.Open(path, CStream::ModeRead))
        return CONVERT_SKIPPED;
    CRewrite rewrite(path);
    if (!rewrite.Open())
        return CONVERT_FAILED;
    std::vector<char> block(kBlock);
    for (;;) {
        int n = in.Read(&block[0], int(kBlock));
        if (n < 0)
            return CONVERT_FAILED;
        int result = step(rewrite, &block[0], size_t(n));
        if (result != CONVERT_DONE)
            return result;
        if (n == 0)
            break;
    }
    in.Close();
    return rewrite.Finish();
}

int TabsFile(const char* path, int oldWidth, int newWidth, bool compress, const ConvertMonitor& monitor)
{
    CTabLine tabs(oldWidth, newWidth, compress);
    uint64_t pos = 0, reported = 0;
    bool lineOpen = false, skipLF = false;   // skipLF: a CR ended the last block
    auto report = [&](uint64_t at) {
        if (monitor.progress && at - reported >= 8192) {
            reported = at;
            monitor.progress(monitor.context, at);
        }
    };
    return StreamRewrite(path, [&](CRewrite& out, const char* block, size_t length) {
        if (monitor.Cancelled())
            return CONVERT_CANCELLED;
        if (length == 0)
            return lineOpen && !tabs.EndLine(out) ? CONVERT_FAILED : CONVERT_DONE;
        const char *p = block, *end = block + length;
        if (skipLF && *p == '\n')
            ++p;
        skipLF = false;
        while (p < end) {
            const char* eol = FindLineEnd(p, end);
            if (eol > p) {
                if (!tabs.Bytes(out, p, size_t(eol - p)))
                    return CONVERT_FAILED;
                lineOpen = true;
            }
            if (eol == end)
                break;
            if (!tabs.EndLine(out))
                return CONVERT_FAILED;
            lineOpen = false;
            p = eol + 1;
            if (*eol == '\r') {
                if (p == end)
                    skipLF = true;
                else if (*p == '\n')
                    ++p;
            }
            if (monitor.Cancelled())
                return CONVERT_CANCELLED;
            report(pos + uint64_t(p - block));
        }
        pos += length;
        report(pos);
        return CONVERT_DONE;
    });
}

int CodePageFile(const char* path, int direction)
{
    std::vector<char> converted(kBlock);
    return StreamRewrite(path, [&](CRewrite& out, const char* block, size_t length) {
        if (direction == 1)
            CharToOemBuffA(block, &converted[0], DWORD(length));
        else
            OemToCharBuffA(block, &converted[0], DWORD(length));
        return out.Add(&converted[0], length) ? CONVERT_DONE : CONVERT_FAILED;
    });
}

int LineEndsFile(const char* path, int style)
{
    FileInfo info;
    if (FileStat(path, &info) == 0 && info.nSize > kLineEndSizeLimit)
        return CONVERT_SKIPPED;
    if (IsReadOnly(path))
        return CONVERT_SKIPPED;
    CMapFile map;
    if (!map.Open(path, 0))
        return EmptyOrSkipped(path);
    if (map.m_dwSize > kLineEndSizeLimit)
        return CONVERT_SKIPPED;   // grown since it was measured
    std::string out;
    out.reserve(size_t(map.m_dwSize) + map.m_dwSize / 8 + 16);
    if (ConvertLineEnds(reinterpret_cast<const char*>(map.m_pData), map.m_dwSize, style, out) == 0)
        return CONVERT_UNCHANGED;
    map.Close();
    CRewrite rewrite(path);
    if (!rewrite.Open() || !rewrite.Add(out.data(), out.size()))
        return CONVERT_FAILED;
    return rewrite.Finish();
}

// Runs one file's conversion; running out of memory leaves the file as it was.
template <class Convert>
int Guarded(Convert convert)
{
    try {
        return convert();
    } catch (const std::bad_alloc&) {
        return CONVERT_NO_MEMORY;
    }
}

}  // namespace

bool PrepareTabWidths(int oldWidth, int newWidth, bool compress, bool onlySpaces, int* pOld, int* pNew)
{
    *pOld = oldWidth < 1 ? 1 : (oldWidth > 255 ? 255 : oldWidth);
    *pNew = onlySpaces || newWidth < 0 ? 0 : (newWidth > 255 ? 255 : newWidth);
    return *pOld != *pNew || compress;
}

void ConvertTabsLine(const char* line, size_t length, int oldWidth, int newWidth, bool compress, std::string& out)
{
    StringOut sink = {out};
    CTabLine tabs(oldWidth, newWidth, compress);
    tabs.Bytes(sink, line, length);
    tabs.EndLine(sink);
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
    return Guarded([&] { return TabsFile(path, oldWidth, newWidth, compress, monitor); });
}

int ConvertCodePageFile(const char* path, int direction)
{
    return Guarded([&] { return CodePageFile(path, direction); });
}

int ConvertLineEndsFile(const char* path, int style)
{
    return Guarded([&] { return LineEndsFile(path, style); });
}

bool ConvertCounts(int kind, int result)
{
    return result == CONVERT_DONE || (result == CONVERT_UNCHANGED && kind != CONVERT_LINE_ENDS);
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
    const std::vector<int>& indices = *job.indices;
    uint64_t total = 0;
    for (int i : indices)
        if (const DirEntry* e = job.files->GetEntry(i))
            total += e->IsFolder() ? 0 : e->Size();
    if (total == 0)
        total = 1;
    uint64_t done = 0;
    int converted = 0;
    for (int i : indices) {
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
        if (result == CONVERT_DONE && job.cache)
            FileCacheDrop(job.cache, path);
        if (ConvertCounts(job.kind, result))
            ++converted;
        if ((result == CONVERT_FAILED || result == CONVERT_NO_MEMORY) && job.failures)
            Guarded([&] { return job.failures->push_back(ConvertFailure{path, result}), 0; });
        done += entry->Size();
    }
    if (job.progress)
        job.progress(job.context, job.files->m_nCount, Share(done, total));
    return converted;
}

std::string FormatConvertMessage(int converted, int files, const std::vector<ConvertFailure>& failures)
{
    char line[MAX_PATH + 100];
    StrFormat(line, sizeof line, "Es wurden %i von %i Dateien konvertiert.", converted, files);
    std::string text = line;
    if (failures.empty())
        return text;
    text += "\n\nNicht konvertiert:";
    const size_t kShown = 20;
    for (size_t k = 0; k < failures.size() && k < kShown; ++k) {
        const char* reason = failures[k].result == CONVERT_NO_MEMORY ? "zu wenig Speicher" : "Lese- oder Schreibfehler";
        StrFormat(line, sizeof line, "\n%s: %s", failures[k].path.c_str(), reason);
        text += line;
    }
    if (failures.size() > kShown) {
        StrFormat(line, sizeof line, "\n... und %i weitere", int(failures.size() - kShown));
        text += line;
    }
    return text;
}
