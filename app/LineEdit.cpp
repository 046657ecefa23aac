// Inserting and deleting lines at found lines, apart from any window.
#include "app/LineEdit.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "app/FileCache.h"
#include "app/HitFiles.h"
#include "app/LineScan.h"
#include "app/ResultStamps.h"
#include "app/TextSearch.h"
#include "system/SafeFile.h"
#include "text/Format.h"

namespace {

long long Clamp(long long v, long long lo, long long hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Walks bytes that come in blocks line by line, as the text search counts lines: CR LF, CR and
// LF each end one line, so LF followed by CR ends two. Lines are numbered from 1.
class CLineWalk {
public:
    // The line the walk is in, or at whose start it stands.
    long long Line() const { return m_line; }
    // Walks [p, end) until line target begins; returns where it stopped (end when the block
    // ended first).
    const char* To(const char* p, const char* end, long long target)
    {
        while (m_line < target && p < end) {
            if (m_cr) {
                // A CR ended the last block: a LF now is its pair.
                m_cr = false;
                bool pair = *p == '\n';
                p += pair;
                Ended(pair ? 2 : 1, '\r');
                continue;
            }
            if (m_line == 1) {
                // The first line's end is the one that inserted lines get.
                const char* q = ScanLineEnd(p, end);
                if (q == end) {
                    m_open = m_open || q > p;
                    return end;
                }
                if (*q == '\r' && q + 1 == end) {
                    m_cr = true;
                    return end;
                }
                bool pair = *q == '\r' && q[1] == '\n';
                p = q + 1 + pair;
                Ended(pair ? 2 : 1, *q);
                continue;
            }
            long long passed = 0;
            const char* q = PassLineEnds(p, end, target - m_line, &passed);
            if (passed) {
                m_line += passed;
                m_open = false;
            }
            if (m_line >= target)
                return q;
            if (q < end) {
                m_cr = true;   // the block's last byte, a CR
                return end;
            }
            m_open = end[-1] != '\n';
            return end;
        }
        return p;
    }
    // The bytes have ended: a CR at the end of the last block ends its line.
    void Finish()
    {
        if (m_cr) {
            m_cr = false;
            Ended(1, '\r');
        }
    }
    // After Finish: the number of lines, whether the last one has no line end, and the end of
    // the first line (LF when no line ends).
    long long Lines() const { return m_line - 1 + (m_open ? 1 : 0); }
    bool LastUnended() const { return m_open; }
    const std::string& FirstEnd() const { return m_firstEnd; }

private:
    void Ended(int length, char c)
    {
        if (m_line == 1)
            m_firstEnd = length == 2 ? "\r\n" : std::string(1, c);
        ++m_line;
        m_open = false;
    }

    long long m_line = 1;
    bool m_cr = false;     // the last block ended with a CR
    bool m_open = false;   // bytes of a line that has not ended were passed
    std::string m_firstEnd = "\n";
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

// Writes the planned file while the old one is walked again: kept lines go on as whole runs
// of the old bytes, inserted lines where the plan puts them. Out has Put(data, length).
template <class Out>
class CPlanCopy {
public:
    // lastUnended: the old file's last line (number lines) has no line end.
    CPlanCopy(const std::vector<LineRun>& runs, const std::vector<std::string>& texts, const std::string& lineEnd,
              long long lines, bool lastUnended, Out& out)
        : m_runs(runs), m_texts(texts), m_lineEnd(lineEnd), m_lines(lines), m_lastUnended(lastUnended), m_out(out)
    {
    }
    // The next block of the old file.
    bool Block(const char* p, const char* end)
    {
        while (m_run < m_runs.size()) {
            const LineRun& r = m_runs[m_run];
            if (r.text >= 0) {
                if (!Text(r.text))
                    return false;
                ++m_run;
                continue;
            }
            p = m_walk.To(p, end, r.first);   // past deleted lines
            if (m_walk.Line() < r.first)
                return true;
            if (r.first + r.count > m_lines) {
                // Kept to the end of the file: no further line needs finding.
                return p == end || m_out.Put(p, size_t(end - p));
            }
            const char* q = m_walk.To(p, end, r.first + r.count);
            if (q > p && !m_out.Put(p, size_t(q - p)))
                return false;
            p = q;
            if (m_walk.Line() < r.first + r.count)
                return true;
            ++m_run;
        }
        return true;
    }
    // The old file has ended: what the plan puts after its last line.
    bool Finish()
    {
        m_walk.Finish();
        for (; m_run < m_runs.size(); ++m_run) {
            const LineRun& r = m_runs[m_run];
            if (r.text >= 0) {
                if (!Text(r.text))
                    return false;
            } else if (m_lastUnended && r.first + r.count > m_lines) {
                m_needEnd = true;   // the kept last line no longer ends the file
            }
        }
        return true;
    }

private:
    bool Text(int j)
    {
        const std::string& text = m_texts[size_t(j)];
        if (m_needEnd && !m_out.Put(m_lineEnd.data(), m_lineEnd.size()))
            return false;
        m_needEnd = false;
        return m_out.Put(text.data(), text.size()) && m_out.Put(m_lineEnd.data(), m_lineEnd.size());
    }

    const std::vector<LineRun>& m_runs;
    const std::vector<std::string>& m_texts;
    const std::string& m_lineEnd;
    const long long m_lines;
    const bool m_lastUnended;
    Out& m_out;
    CLineWalk m_walk;
    size_t m_run = 0;
    bool m_needEnd = false;
};

struct StringOut {
    std::string& s;
    bool Put(const char* p, size_t n) { return s.append(p, n), true; }
};

struct WriterOut {
    CSafeFileWriter& writer;
    bool Put(const char* p, size_t n) { return writer.Write(p, n) == SAFE_OK; }
};

// What a run keeps from file to file.
struct EditScratch {
    CRewriteBuffer buffer;   // a file held whole, or a block of a larger one
    CSafeFileWriter writer;
};

// Hands the bytes of the file open as source to visit(p, end): held whole in memory (whole
// not null), else read in blocks into buffer. False when it cannot be read or visit stopped.
template <class Visit>
bool ForBlocks(CSourceFile& source, const char* whole, CRewriteBuffer& buffer, Visit visit)
{
    const uint64_t size = source.Info().size;
    if (whole)
        return visit(whole, whole + size);
    for (uint64_t pos = 0; pos < size;) {
        uint64_t left = size - pos;
        long long n = source.ReadAt(pos, buffer.Data(), left < buffer.Capacity() ? size_t(left) : buffer.Capacity());
        if (n <= 0)
            return n == 0;
        if (!visit(buffer.Data(), buffer.Data() + n))
            return false;
        pos += uint64_t(n);
    }
    return true;
}

enum { EDIT_SAME, EDIT_WRITTEN, EDIT_OPEN, EDIT_READ_ONLY, EDIT_CREATE, EDIT_NO_MEMORY };

struct FileEdit {
    int result;      // EDIT_*
    int safeError;   // EDIT_CREATE: the writer's code
};

// A file held whole up to this size is walked twice in memory; a larger one is read twice,
// its lines counted, then copied.
const uint64_t kReadWhole = 64u << 20;
const size_t kBlock = 1 << 20;

// Edits the found lines of the file open as source into target (sameFile: the file itself).
FileEdit EditFile(CSourceFile& source, const char* target, bool sameFile, const std::vector<int>& lines,
                  const LineEditRequest& request, const std::vector<std::string>& texts, EditScratch& scratch)
{
    const OpenFileInfo& info = source.Info();
    CRewriteBuffer& buffer = scratch.buffer;
    CFileView view;
    const char* whole = HoldWhole(source, buffer, view, kReadWhole);
    if (!whole && !buffer.Reserve(kBlock))
        return FileEdit{EDIT_NO_MEMORY, SAFE_OK};
    CLineWalk count;
    if (!ForBlocks(source, whole, buffer, [&](const char* p, const char* end) { return count.To(p, end, LLONG_MAX), true; }))
        return FileEdit{EDIT_OPEN, SAFE_OK};
    count.Finish();
    CLinePlan plan(count.Lines());
    if (!PlanEdit(plan, lines, request, int(texts.size())))
        return FileEdit{EDIT_SAME, SAFE_OK};
    // A read-only file may not be opened for writing, so it may not be rewritten either.
    DWORD attributes = sameFile ? info.attributes : GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return FileEdit{EDIT_READ_ONLY, SAFE_OK};
    if (whole && !view.IsOpen())
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
    CPlanCopy<WriterOut> copy(plan.Runs(), texts, count.FirstEnd(), count.Lines(), count.LastUnended(), out);
    bool wrote = true;
    bool read = ForBlocks(source, whole, buffer, [&](const char* p, const char* end) {
        return wrote = copy.Block(p, end);
    });
    view.Close();
    source.Close();
    if (!read && wrote)
        return FileEdit{EDIT_OPEN, SAFE_OK};
    if (!wrote || !copy.Finish())
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

const char kBadNameSuffix[] = "Das Suffix darf keines der Zeichen \\ / : * ? \" < > | enthalten\n"
                               "und nicht nur aus Punkten und Leerzeichen bestehen !";

bool IsValidNameSuffix(const char* suffix)
{
    bool onlyDotsAndBlanks = true;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(suffix ? suffix : ""); *p; ++p) {
        if (*p < 0x20 || strchr("\\/:*?\"<>|", *p))
            return false;
        onlyDotsAndBlanks = onlyDotsAndBlanks && (*p == '.' || *p == ' ');
    }
    // Windows drops dots and blanks at the end of a name, so such a suffix names the file itself.
    return !onlyDotsAndBlanks || !suffix || !*suffix;
}

std::vector<std::string> SplitInsertText(const char* text)
{
    std::vector<std::string> lines;
    for (const char* p = text ? text : ""; *p;) {
        const char* q = p;
        while (*q && *q != '\r' && *q != '\n')
            ++q;
        lines.emplace_back(p, q);
        if (!*q)
            break;
        p = q + (q[0] == '\r' && q[1] == '\n' ? 2 : 1);
    }
    return lines;
}

bool EditFileLines(const unsigned char* data, int size, std::vector<int> lines, const LineEditRequest& request,
                   std::string& out)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    const char* end = bytes + (size > 0 ? size : 0);
    CLineWalk count;
    count.To(bytes, end, LLONG_MAX);
    count.Finish();
    std::vector<std::string> texts = request.deleteMode ? std::vector<std::string>() : SplitInsertText(request.text);
    CLinePlan plan(count.Lines());
    if (!PlanEdit(plan, std::move(lines), request, int(texts.size())))
        return false;
    out.clear();
    out.reserve(size_t(end - bytes) + 64);
    StringOut sink = {out};
    CPlanCopy<StringOut> copy(plan.Runs(), texts, count.FirstEnd(), count.Lines(), count.LastUnended(), sink);
    copy.Block(bytes, end);
    copy.Finish();
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
