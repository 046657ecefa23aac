// Tab, code-page and line-end conversions of files.
#include "app/Conversions.h"

#include <cstring>
#include <new>

#include "app/FileCache.h"
#include "app/LineScan.h"
#include "system/DirList.h"
#include "system/SafeFile.h"
#include "system/StrList.h"
#include "text/Format.h"

namespace {

// Files are read in blocks of this size (a smaller file whole, with one call).
const size_t kBlock = 1 << 20;
// The code-page conversion converts this much at a time.
const size_t kPiece = 65536;

// What a job keeps from file to file, so that no file pays for allocating it.
struct ConvertScratch {
    CRewriteBuffer in;    // the source's bytes: the whole file, or a block of a larger one
    CRewriteBuffer out;   // converted bytes
    CSafeFileWriter writer;
};

// The new content of a file as it is made, compared with the old content on the way: with the
// source's block in memory, or, where the new content runs ahead of or behind that block, with
// the old bytes read again at their place. The writer creates the temporary file only when its
// buffer first goes out, so that a small file found unchanged costs none; the old file is
// replaced only when the two differ.
class CRewrite {
public:
    CRewrite(const char* path, CSourceFile& source, CSafeFileWriter& writer)
        : m_path(path), m_source(source), m_writer(writer), m_size(source.Info().size)
    {
    }
    ~CRewrite() { m_writer.Abort(); }
    bool Open()
    {
        if (m_writer.Open(m_path, kSafeTempSuffix, true) != SAFE_OK)
            return false;
        m_writer.SetTargetAttributes(m_source.Info().attributes);
        return true;
    }
    // The old bytes [base, base + length) are at data.
    void SetWindow(const char* data, uint64_t base, size_t length)
    {
        m_window = data;
        m_base = base;
        m_length = length;
    }
    // Append bytes of the new content; false once a write failed.
    bool Add(const char* data, size_t length)
    {
        Compare(data, length);
        return m_writer.Write(data, length) == SAFE_OK;
    }
    bool Fill(char c, uint64_t count)
    {
        char run[256];
        memset(run, c, sizeof run);
        while (count) {
            size_t n = count < sizeof run ? size_t(count) : sizeof run;
            if (!Add(run, n))
                return false;
            count -= n;
        }
        return true;
    }
    // Ends the file, of which read bytes were read: CONVERT_UNCHANGED (the new content equals
    // the old), CONVERT_DONE or CONVERT_FAILED.
    int Finish(uint64_t read)
    {
        m_source.Close();   // an open file cannot be replaced
        if (m_same && m_pos == m_size && read == m_size) {
            m_writer.Abort();
            return CONVERT_UNCHANGED;
        }
        return m_writer.Commit() == SAFE_OK ? CONVERT_DONE : CONVERT_FAILED;
    }

private:
    void Compare(const char* p, size_t n)
    {
        uint64_t at = m_pos;
        m_pos += n;
        if (!m_same)
            return;
        if (m_pos > m_size) {
            m_same = false;
        } else if (at >= m_base && m_pos <= m_base + m_length) {
            m_same = memcmp(m_window + (at - m_base), p, n) == 0;
        } else {
            char old[4096];
            while (n && m_same) {
                size_t k = n < sizeof old ? n : sizeof old;
                m_same = m_source.ReadFull(at, old, k) && memcmp(old, p, k) == 0;
                at += k;
                p += k;
                n -= k;
            }
        }
    }

    const char* m_path;
    CSourceFile& m_source;
    CSafeFileWriter& m_writer;
    const uint64_t m_size;
    const char* m_window = nullptr;
    uint64_t m_base = 0;
    size_t m_length = 0;
    uint64_t m_pos = 0;   // bytes of new content so far
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

// Converts a file block by block into its rewrite; read-only files are skipped.
// step(rewrite, data, length) converts a block (length 0: the file has ended) and returns
// CONVERT_DONE to go on, else the file's result.
template <class Step>
int StreamRewrite(const char* path, ConvertScratch& scratch, Step step)
{
    CSourceFile source;
    if (!source.Open(path))
        return CONVERT_NOT_OPENED;
    if (source.Info().attributes & FILE_ATTRIBUTE_READONLY)
        return CONVERT_SKIPPED;
    const uint64_t size = source.Info().size;
    const size_t block = size < kBlock ? size_t(size) : kBlock;
    if (!scratch.in.Reserve(block))
        return CONVERT_NO_MEMORY;
    CRewrite rewrite(path, source, scratch.writer);
    if (!rewrite.Open())
        return CONVERT_FAILED;
    char* data = scratch.in.Data();
    uint64_t pos = 0;
    for (;;) {
        // The size that the query told is read: no call is spent to find the end.
        long long n = pos < size ? source.ReadAt(pos, data, size - pos < block ? size_t(size - pos) : block) : 0;
        if (n < 0)
            return CONVERT_FAILED;
        if (n > 0)
            rewrite.SetWindow(data, pos, size_t(n));
        int result = step(rewrite, data, size_t(n));
        if (result != CONVERT_DONE)
            return result;
        if (n == 0)
            break;
        pos += uint64_t(n);
    }
    return rewrite.Finish(pos);
}

int TabsFile(const char* path, int oldWidth, int newWidth, bool compress, const ConvertMonitor& monitor,
             ConvertScratch& scratch)
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
    return StreamRewrite(path, scratch, [&](CRewrite& out, const char* block, size_t length) {
        if (monitor.Cancelled())
            return CONVERT_CANCELLED;
        if (length == 0)
            return lineOpen && !tabs.EndLine(out) ? CONVERT_FAILED : CONVERT_DONE;
        const char *p = block, *end = block + length;
        if (skipLF && *p == '\n')
            ++p;
        skipLF = false;
        const char* run = p;   // lines that come out as they went in, not yet added
        while (p < end) {
            // A line without tabs (or, compressing, blanks) that ends with CR LF comes out as it
            // went in: such lines go on in runs, compared and written at once.
            const char* q = ScanLineEndOrTab(p, end, compress);
            if (!lineOpen && q + 1 < end && q[0] == '\r' && q[1] == '\n') {
                p = q + 2;
                if (monitor.Cancelled())
                    return CONVERT_CANCELLED;
                report(pos + uint64_t(p - block));
                continue;
            }
            if (p > run && !out.Add(run, size_t(p - run)))
                return CONVERT_FAILED;
            run = p;
            const char* eol = ScanLineEnd(q, end);
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
            run = p;
            if (monitor.Cancelled())
                return CONVERT_CANCELLED;
            report(pos + uint64_t(p - block));
        }
        if (p > run && !out.Add(run, size_t(p - run)))
            return CONVERT_FAILED;
        pos += length;
        report(pos);
        return CONVERT_DONE;
    });
}

// The code-page conversion of every byte value, when both code pages take one byte per
// character (so that each byte converts on its own); false for others.
bool CodePageTable(int direction, unsigned char table[256])
{
    CPINFO ansi, oem;
    if (!GetCPInfo(CP_ACP, &ansi) || !GetCPInfo(CP_OEMCP, &oem) || ansi.MaxCharSize != 1 || oem.MaxCharSize != 1)
        return false;
    char all[256];
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    if (direction == 1)
        CharToOemBuffA(all, reinterpret_cast<char*>(table), 256);
    else
        OemToCharBuffA(all, reinterpret_cast<char*>(table), 256);
    return true;
}

int CodePageFile(const char* path, int direction, ConvertScratch& scratch)
{
    if (!scratch.out.Reserve(kPiece))
        return CONVERT_NO_MEMORY;
    char* converted = scratch.out.Data();
    unsigned char table[256];
    bool byTable = CodePageTable(direction, table);
    return StreamRewrite(path, scratch, [&](CRewrite& out, const char* block, size_t length) {
        for (size_t done = 0; done < length;) {
            size_t n = length - done < kPiece ? length - done : kPiece;
            if (byTable) {
                const unsigned char* in = reinterpret_cast<const unsigned char*>(block + done);
                for (size_t k = 0; k < n; ++k)
                    converted[k] = char(table[in[k]]);
            } else if (direction == 1) {
                CharToOemBuffA(block + done, converted, DWORD(n));
            } else {
                OemToCharBuffA(block + done, converted, DWORD(n));
            }
            if (!out.Add(converted, n))
                return CONVERT_FAILED;
            done += n;
        }
        return CONVERT_DONE;
    });
}

// Line ends of data converted into out, which has room for twice length; *outLength gets the
// bytes written. Returns the number of line ends changed.
int LineEndsInto(const char* data, size_t length, int style, char* out, size_t* outLength)
{
    int changes = 0;
    const char *p = data, *end = data + length;
    char* o = out;
    while (p < end) {
        const char* q = ScanLineEnd(p, end);
        memcpy(o, p, size_t(q - p));
        o += q - p;
        if (q == end)
            break;
        bool pair = *q == '\r' && q + 1 < end && q[1] == '\n';
        p = q + 1;
        if (style == 1) {
            // The CR of a pair goes (its LF follows); a lone CR becomes LF.
            if (*q == '\r')
                ++changes;
            if (!pair)
                *o++ = '\n';
        } else {
            *o++ = '\r';
            *o++ = '\n';
            if (pair)
                ++p;
            else
                ++changes;
        }
    }
    *outLength = size_t(o - out);
    return changes;
}

int LineEndsFile(const char* path, int style, ConvertScratch& scratch)
{
    CSourceFile source;
    if (!source.Open(path))
        return CONVERT_NOT_OPENED;
    const OpenFileInfo& info = source.Info();
    if (info.size > kLineEndSizeLimit || (info.attributes & FILE_ATTRIBUTE_READONLY))
        return CONVERT_SKIPPED;
    const size_t size = size_t(info.size);
    if (!scratch.in.Reserve(size) || !scratch.out.Reserve(2 * size))
        return CONVERT_NO_MEMORY;
    if (!source.ReadFull(0, scratch.in.Data(), size))
        return CONVERT_FAILED;
    source.Close();
    size_t length = 0;
    if (LineEndsInto(scratch.in.Data(), size, style, scratch.out.Data(), &length) == 0)
        return CONVERT_UNCHANGED;
    CSafeFileWriter& writer = scratch.writer;
    if (writer.Open(path) != SAFE_OK)
        return CONVERT_FAILED;
    writer.SetTargetAttributes(info.attributes);
    if (writer.Write(scratch.out.Data(), length) != SAFE_OK) {
        writer.Abort();
        return CONVERT_FAILED;
    }
    return writer.Commit() == SAFE_OK ? CONVERT_DONE : CONVERT_FAILED;
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
    size_t at = out.size(), added = 0;
    out.resize(at + 2 * length);
    int changes = LineEndsInto(data, length, style, &out[at], &added);
    out.resize(at + added);
    return changes;
}

int ConvertTabsFile(const char* path, int oldWidth, int newWidth, bool compress, const ConvertMonitor& monitor)
{
    ConvertScratch scratch;
    return Guarded([&] { return TabsFile(path, oldWidth, newWidth, compress, monitor, scratch); });
}

int ConvertCodePageFile(const char* path, int direction)
{
    ConvertScratch scratch;
    return Guarded([&] { return CodePageFile(path, direction, scratch); });
}

int ConvertLineEndsFile(const char* path, int style)
{
    ConvertScratch scratch;
    return Guarded([&] { return LineEndsFile(path, style, scratch); });
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
    ConvertScratch scratch;
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
            result = Guarded([&] { return TabsFile(path, job.value, job.newWidth, job.compress, monitor, scratch); });
        } else if (job.kind == CONVERT_CODE_PAGE) {
            result = Guarded([&] { return CodePageFile(path, job.value, scratch); });
        } else {
            result = Guarded([&] { return LineEndsFile(path, job.value, scratch); });
        }
        if (result == CONVERT_DONE && job.cache)
            FileCacheDrop(job.cache, path);
        if (ConvertCounts(job.kind, result))
            ++converted;
        if ((result == CONVERT_FAILED || result == CONVERT_NO_MEMORY || result == CONVERT_NOT_OPENED) && job.failures)
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
        const int result = failures[k].result;
        const char* reason = result == CONVERT_NO_MEMORY    ? "zu wenig Speicher"
                             : result == CONVERT_NOT_OPENED ? "kann nicht geöffnet werden"
                                                            : "Lese- oder Schreibfehler";
        StrFormat(line, sizeof line, "\n%s: %s", failures[k].path.c_str(), reason);
        text += line;
    }
    if (failures.size() > kShown) {
        StrFormat(line, sizeof line, "\n... und %i weitere", int(failures.size() - kShown));
        text += line;
    }
    return text;
}
