// Inserting and deleting lines at found lines, apart from any window.
#include "app/LineEdit.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "app/FileCache.h"
#include "app/HitFiles.h"
#include "app/ResultStamps.h"
#include "app/TextSearch.h"
#include "system/SafeFile.h"
#include "text/Format.h"

namespace {

long long Clamp(long long v, long long lo, long long hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Cuts bytes that come in pieces into lines as the text search counts them. The sink hears
// Bytes(p, n) for bytes of the current line, its end included, and End(endLength) when the
// line is complete (0: a last line without an end); each returns false to stop.
template <class Sink>
class CLineCutter {
public:
    explicit CLineCutter(Sink& sink) : m_sink(sink) {}
    bool Add(const char* p, size_t length)
    {
        const char* end = p + length;
        if (m_cr && p < end) {
            // A CR ended the last piece: a LF now is its pair.
            m_cr = false;
            bool pair = *p == '\n';
            if ((pair && !Bytes(p++, 1)) || !EndLine(pair ? 2 : 1))
                return false;
        }
        while (p < end) {
            const char* q = p;
            while (q < end && *q != '\r' && *q != '\n')
                ++q;
            if (q == end)
                return Bytes(p, size_t(q - p));
            int endLength = 1;
            if (*q == '\r') {
                if (q + 1 == end) {
                    m_cr = true;
                    return Bytes(p, size_t(end - p));
                }
                endLength = q[1] == '\n' ? 2 : 1;
            }
            const char* next = q + endLength;
            if (!Bytes(p, size_t(next - p)) || !EndLine(endLength))
                return false;
            p = next;
        }
        return true;
    }
    // The bytes have ended: a line still open ends too.
    bool Finish()
    {
        if (m_cr) {
            m_cr = false;
            return EndLine(1);
        }
        return !m_open || EndLine(0);
    }

private:
    bool Bytes(const char* p, size_t n)
    {
        if (n == 0)
            return true;
        m_open = true;
        return m_sink.Bytes(p, n);
    }
    bool EndLine(int endLength)
    {
        m_open = false;
        return m_sink.End(endLength);
    }

    Sink& m_sink;
    bool m_cr = false;     // the last piece ended with a CR
    bool m_open = false;   // bytes of a line that has not ended came
};

// What the edit needs to know of a file before it writes it: its lines and its line end.
struct LineShape {
    long long lines = 0;
    std::string lineEnd = "\n";   // that of the first line; LF when it has none
    char last = 0;
    bool Bytes(const char* p, size_t n)
    {
        last = p[n - 1];
        return true;
    }
    bool End(int endLength)
    {
        if (++lines == 1 && endLength)
            lineEnd = endLength == 2 ? "\r\n" : std::string(1, last);
        return true;
    }
};

// A piece of the new file: lines as read (numbers first .. first + count - 1), or an inserted
// line (text >= 0, count 1).
struct LineRun {
    long long first, count;
    int text;
};

// The new file as runs, so that its size is that of its edits rather than of its lines.
class CLinePlan {
public:
    explicit CLinePlan(long long lines) : m_size(lines)
    {
        if (lines > 0)
            m_runs.push_back(LineRun{1, lines, -1});
    }
    long long Size() const { return m_size; }
    const std::vector<LineRun>& Runs() const { return m_runs; }
    // The index in the new file of the line read as number line; -1 when it is gone.
    long long Find(long long line) const
    {
        long long at = 0;
        for (const LineRun& r : m_runs) {
            if (r.text < 0 && line >= r.first && line < r.first + r.count)
                return at + line - r.first;
            at += r.count;
        }
        return -1;
    }
    void Erase(long long from, long long to)
    {
        size_t a = Split(from), b = Split(to);
        m_runs.erase(m_runs.begin() + long(a), m_runs.begin() + long(b));
        m_size -= to - from;
    }
    void Insert(long long at, int texts)
    {
        size_t k = Split(at);
        for (int j = 0; j < texts; ++j)
            m_runs.insert(m_runs.begin() + long(k) + j, LineRun{0, 1, j});
        m_size += texts;
    }

private:
    // The run that begins at index at (a run holding it is split); Runs().size() at the end.
    size_t Split(long long at)
    {
        long long pos = 0;
        for (size_t k = 0; k < m_runs.size(); ++k) {
            if (pos == at)
                return k;
            LineRun& r = m_runs[k];
            if (at < pos + r.count) {
                long long head = at - pos;
                LineRun tail = {r.first + head, r.count - head, -1};
                r.count = head;
                m_runs.insert(m_runs.begin() + long(k) + 1, tail);
                return k + 1;
            }
            pos += r.count;
        }
        return m_runs.size();
    }

    std::vector<LineRun> m_runs;
    long long m_size;
};

// Applies the request at each found line, in ascending order and once; false when nothing
// changes.
bool PlanEdit(CLinePlan& plan, std::vector<int> lines, const LineEditRequest& request, int texts)
{
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    bool changed = false;
    for (int line : lines) {
        long long found = line < 1 ? -1 : plan.Find(line);
        if (found < 0)
            continue;   // deleted by an earlier found line
        long long n = plan.Size();
        if (request.deleteMode) {
            long long from = Clamp(found + request.position, 0, n);
            long long to = Clamp(found + request.position + (long long)request.count, from, n);
            if (to > from) {
                plan.Erase(from, to);
                changed = true;
            }
        } else if (texts > 0) {
            plan.Insert(Clamp(found + request.position, 0, n), texts);
            changed = true;
        }
    }
    return changed;
}

// Writes the planned file while the old one is cut into lines again: lines kept are copied,
// inserted ones written where the plan puts them.
template <class Out>
class CPlanWriter {
public:
    CPlanWriter(const std::vector<LineRun>& runs, const std::vector<std::string>& texts, const std::string& lineEnd,
                Out& out)
        : m_runs(runs), m_texts(texts), m_lineEnd(lineEnd), m_out(out)
    {
    }
    bool Bytes(const char* p, size_t n)
    {
        if (!m_started) {
            m_started = true;
            if (!Reach(m_line))
                return false;
        }
        return !m_keep || Put(p, n);
    }
    bool End(int endLength)
    {
        m_needEnd = m_keep && endLength == 0;
        ++m_line;
        m_started = false;
        return true;
    }
    // Writes what the plan puts after the file's last line.
    bool Finish() { return Reach(LLONG_MAX); }

private:
    // Writes what the plan puts before the line read as number line, and notes whether that
    // line is kept.
    bool Reach(long long line)
    {
        for (; m_run < m_runs.size(); ++m_run) {
            const LineRun& r = m_runs[m_run];
            if (r.text < 0 && r.first + r.count > line)
                break;
            if (r.text >= 0) {
                const std::string& text = m_texts[size_t(r.text)];
                if (!Put(text.data(), text.size()) || !m_out.Put(m_lineEnd.data(), m_lineEnd.size()))
                    return false;
            }
        }
        m_keep = m_run < m_runs.size() && m_runs[m_run].first <= line;
        return true;
    }
    bool Put(const char* p, size_t n)
    {
        if (m_needEnd) {
            // The file's last line no longer ends the file.
            m_needEnd = false;
            if (!m_out.Put(m_lineEnd.data(), m_lineEnd.size()))
                return false;
        }
        return m_out.Put(p, n);
    }

    const std::vector<LineRun>& m_runs;
    const std::vector<std::string>& m_texts;
    const std::string& m_lineEnd;
    Out& m_out;
    size_t m_run = 0;
    long long m_line = 1;
    bool m_started = false, m_keep = false, m_needEnd = false;
};

struct StringOut {
    std::string& s;
    bool Put(const char* p, size_t n) { return s.append(p, n), true; }
};

// The new file's bytes to the writer, which buffers them.
struct WriterOut {
    CSafeFileWriter& writer;
    bool Put(const char* p, size_t n) { return writer.Write(p, n) == SAFE_OK; }
};

// What a run keeps from file to file.
struct EditScratch {
    CRewriteBuffer buffer;   // a file held whole, or a block of a larger one
    CSafeFileWriter writer;
};

enum { CUT_OK, CUT_READ, CUT_SINK };

// Cuts a file into lines for sink: its bytes held whole in memory (whole not null), else read
// in blocks into buffer. CUT_READ when it cannot be read, CUT_SINK when the sink stopped.
template <class Sink>
int CutSource(CSourceFile& source, const char* whole, CRewriteBuffer& buffer, Sink& sink)
{
    CLineCutter<Sink> cutter(sink);
    const uint64_t size = source.Info().size;
    if (whole) {
        if (!cutter.Add(whole, size_t(size)))
            return CUT_SINK;
    } else {
        for (uint64_t pos = 0; pos < size;) {
            uint64_t left = size - pos;
            long long n = source.ReadAt(pos, buffer.Data(), left < buffer.Capacity() ? size_t(left) : buffer.Capacity());
            if (n < 0)
                return CUT_READ;
            if (n == 0)
                break;
            if (!cutter.Add(buffer.Data(), size_t(n)))
                return CUT_SINK;
            pos += uint64_t(n);
        }
    }
    return cutter.Finish() ? CUT_OK : CUT_SINK;
}

enum { EDIT_SAME, EDIT_WRITTEN, EDIT_OPEN, EDIT_READ_ONLY, EDIT_CREATE, EDIT_NO_MEMORY };

struct FileEdit {
    int result;      // EDIT_*
    int safeError;   // EDIT_CREATE: the writer's code
};

// A file held whole up to this size is cut into lines twice in memory; a larger one is read
// twice, its lines counted, then copied.
const uint64_t kReadWhole = 64u << 20;
const size_t kBlock = 1 << 20;

// Edits the found lines of the file open as source into target (sameFile: the file itself).
FileEdit EditFile(CSourceFile& source, const char* target, bool sameFile, const std::vector<int>& lines,
                  const LineEditRequest& request, const std::vector<std::string>& texts, EditScratch& scratch)
{
    const OpenFileInfo& info = source.Info();
    CRewriteBuffer& buffer = scratch.buffer;
    const char* whole = nullptr;
    if (info.size <= kReadWhole && buffer.Reserve(size_t(info.size)) &&
        source.ReadFull(0, buffer.Data(), size_t(info.size)))
        whole = buffer.Data();
    else if (!buffer.Reserve(kBlock))
        return FileEdit{EDIT_NO_MEMORY, SAFE_OK};
    LineShape shape;
    if (CutSource(source, whole, buffer, shape) != CUT_OK)
        return FileEdit{EDIT_OPEN, SAFE_OK};
    CLinePlan plan(shape.lines);
    if (!PlanEdit(plan, lines, request, int(texts.size())))
        return FileEdit{EDIT_SAME, SAFE_OK};
    // A read-only file may not be opened for writing, so it may not be rewritten either.
    DWORD attributes = sameFile ? info.attributes : GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return FileEdit{EDIT_READ_ONLY, SAFE_OK};
    if (whole)
        source.Close();
    CSafeFileWriter& writer = scratch.writer;
    struct AbortUncommitted {
        CSafeFileWriter& w;
        ~AbortUncommitted() { w.Abort(); }
    } guard = {writer};
    int rc = writer.Open(target);
    if (rc != SAFE_OK)
        return FileEdit{EDIT_CREATE, rc};
    writer.SetTargetAttributes(attributes);
    WriterOut out = {writer};
    CPlanWriter<WriterOut> write(plan.Runs(), texts, shape.lineEnd, out);
    int cut = CutSource(source, whole, buffer, write);
    source.Close();
    if (cut == CUT_READ)
        return FileEdit{EDIT_OPEN, SAFE_OK};
    if (cut != CUT_OK || !write.Finish())
        return FileEdit{EDIT_CREATE, SAFE_ERR_WRITE};
    rc = writer.Commit();
    return rc == SAFE_OK ? FileEdit{EDIT_WRITTEN, SAFE_OK} : FileEdit{EDIT_CREATE, rc};
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

std::vector<std::string> SplitInsertText(const char* text)
{
    struct Lines {
        std::vector<std::string> all;
        bool open = false;
        bool Bytes(const char* p, size_t n)
        {
            if (!open)
                all.emplace_back();
            open = true;
            all.back().append(p, n);
            return true;
        }
        bool End(int endLength)
        {
            all.back().resize(all.back().size() - size_t(endLength));
            open = false;
            return true;
        }
    } lines;
    CLineCutter<Lines> cutter(lines);
    cutter.Add(text ? text : "", text ? strlen(text) : 0);
    cutter.Finish();
    return lines.all;
}

bool EditFileLines(const unsigned char* data, int size, std::vector<int> lines, const LineEditRequest& request,
                   std::string& out)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    LineShape shape;
    CLineCutter<LineShape> count(shape);
    count.Add(bytes, size_t(size));
    count.Finish();
    std::vector<std::string> texts = request.deleteMode ? std::vector<std::string>() : SplitInsertText(request.text);
    CLinePlan plan(shape.lines);
    if (!PlanEdit(plan, std::move(lines), request, int(texts.size())))
        return false;
    out.clear();
    out.reserve(size_t(size) + 64);
    StringOut sink = {out};
    CPlanWriter<StringOut> write(plan.Runs(), texts, shape.lineEnd, sink);
    CLineCutter<CPlanWriter<StringOut>> again(write);
    again.Add(bytes, size_t(size));
    again.Finish();
    write.Finish();
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
    std::vector<std::string> texts = request.deleteMode ? std::vector<std::string>() : SplitInsertText(request.text);
    auto hitOf = [&](int i) { return engine.m_hits.Item<TextSearchHit>(i); };
    std::vector<FileHits> files = GroupHitsByFile(
        engine.GetHitCount(), engine.m_names, [&](int i) { return hitOf(i)->nameIndex; },
        [&](int i) { return hitOf(i)->line; });
    int done = 0;
    // One writer and one buffer serve every file of the run.
    EditScratch scratch;
    for (const FileHits& file : files) {
        const char* path = file.path;
        if (host.Stopped())
            return r.stopped = true, r;
        host.Progress(done, path);
        done += int(file.hits.size());
        // One handle tells whether the file is as searched and gives its bytes.
        CSourceFile source;
        bool opened = source.Open(path, stamps != nullptr);
        if (stamps && !(opened ? stamps->Unchanged(path, StampOf(source.Info())) : stamps->Unchanged(path))) {
            if (!Report(host, kChangedSinceSearch, path, nullptr))
                return r.stopped = true, r;
            continue;
        }
        std::string target = std::string(path) + (suffix ? suffix : "");
        FileEdit edit = {opened ? EDIT_NO_MEMORY : EDIT_OPEN, SAFE_OK};
        try {
            std::vector<int> lines;
            for (int i : file.hits)
                lines.push_back(hitOf(i)->line);
            if (opened)
                edit = EditFile(source, target.c_str(), !suffix || !*suffix, lines, request, texts, scratch);
        } catch (const std::bad_alloc&) {
        }
        bool goOn = true;
        switch (edit.result) {
        case EDIT_WRITTEN:
            FileCacheDrop(cache, target.c_str());
            ++r.files;
            break;
        case EDIT_OPEN:
            goOn = Report(host, "Die Datei %s konnte nicht geöffmet werden !", path, nullptr);
            break;
        case EDIT_READ_ONLY:
            goOn = Report(host, "Die Datei %s konnte nicht erstellt werden !", target.c_str(),
                          "Die Datei ist schreibgeschützt.");
            break;
        case EDIT_CREATE:
            goOn = Report(host, "Die Datei %s konnte nicht erstellt werden !", target.c_str(),
                          SafeFileErrorText(edit.safeError));
            break;
        case EDIT_NO_MEMORY:
            goOn = Report(host, kNoMemoryForFile, path, nullptr);
            break;
        default:
            break;
        }
        if (!goOn)
            return r.stopped = true, r;
    }
    host.Progress(done, "");
    return r;
}
