// The buffer search of the text search engine.
#include "app/TextMatcher.h"

#include <string.h>
#include <vector>

#include "text/CharClass.h"
#include "text/Match.h"

namespace {

const size_t kNone = (size_t)-1;
const size_t kChunk = 256 * 1024;      // literal scan: bytes between stop checks
const size_t kPatternStride = 4096;    // pattern scan: positions between stop checks in a line

inline bool IsLineEnd(unsigned char c) { return c == '\r' || c == '\n'; }

inline bool Stopped(const std::atomic<long>* stop)
{
    return stop && stop->load(std::memory_order_relaxed) != 0;
}

inline void Report(std::atomic<long>* progress, size_t pos)
{
    if (progress)
        progress->store((long)pos, std::memory_order_relaxed);
}

// How common a byte is in ordinary text, code and binaries (higher: more common). The probes
// of a literal search are its two rarest bytes, so that the scan stops at few candidates.
int Commonness(unsigned char c)
{
    static const char kLetters[] = "etaoinsrhldcumfpgwybvkxjqz";   // most common first
    if (c >= 'a' && c <= 'z')
        return 250 - 5 * (int)(strchr(kLetters, c) - kLetters);
    if (c >= 'A' && c <= 'Z')
        return Commonness((unsigned char)(c | 0x20)) - 90;
    if (c >= '0' && c <= '9')
        return c <= '2' ? 185 - 5 * (c - '0') : 150;
    switch (c) {
    case ' ': return 255;
    case '\t': case 0: return 190;
    case '.': case ',': case '_': case '(': case ')': case ';': case '=': case '"': case '-':
    case '/': case ':': return 160;
    case '*': case '<': case '>': case '{': case '}': case '[': case ']': case '\'': case '#':
    case '\\': case '+': case '&': case '!': case '%': case '|': case '$': case '@': case '?':
        return 120;
    case 0xFF: return 110;
    }
    if (c < 0x20 || c == 0x7F)
        return 20;
    return c >= 0x80 ? 40 : 80;
}

} // namespace

CTextMatcher::CTextMatcher()
    : m_text(nullptr), m_length(0), m_lines(0), m_ready(false), m_fold(false), m_pattern(false),
      m_multiLine(false), m_words(false), m_never(false), m_startRule(false), m_endRule(false), m_probeSpan(0), m_offA(0),
      m_offB(0), m_probeA{0, 0}, m_probeB{0, 0}
{
    memset(m_word, 0, sizeof(m_word));
}

bool CTextMatcher::Prepare(const char* text, size_t length, unsigned flags, unsigned lines)
{
    m_ready = text != nullptr && length > 0;
    if (!m_ready)
        return false;
    m_text = text;
    m_length = length;
    m_lines = lines;
    m_fold = (flags & IgnoreCase) != 0;
    m_multiLine = (flags & MultiLine) != 0;
    for (int c = 0; c < 256; c++)
        m_word[c] = (CharClassTable[c] & CC_WORD) != 0;

    const unsigned char* t = (const unsigned char*)text;
    m_pattern = false;
    m_never = false;
    if (flags & Pattern) {
        for (size_t i = 0; i < length && !m_pattern; i++)
            m_pattern = t[i] == '*' || t[i] == '?' || t[i] == '\\';
    }
    m_words = (flags & WholeWords) != 0;
    m_startRule = m_words && IsWord(t[0]);
    // The pattern search judges the end of each match by the matched bytes themselves.
    m_endRule = m_words && !m_pattern && IsWord(t[length - 1]);
    // The probes come from bytes at fixed offsets from a match's start: any byte of a literal
    // text; for a pattern, the literal bytes before its first '*' or '\' ('?' stands for one
    // byte of any value there). A pattern without such a byte tries every position.
    size_t span = length;
    if (m_pattern) {
        span = 0;
        while (span < length && t[span] != '*' && t[span] != '\\')
            span++;
    }
    int bestA = 1 << 30, bestB = 1 << 30;
    size_t offA = kNone, offB = kNone;
    for (size_t i = 0; i < span; i++) {
        unsigned char c = t[i];
        if (m_pattern && c == '?')
            continue;
        if (IsLineEnd(c) && !m_pattern)
            m_never = true;
        bool letter = ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
        int score = m_fold && letter ? Commonness((unsigned char)(c | 0x20)) + 40 : Commonness(c);
        if (score < bestA) {
            bestB = bestA;
            offB = offA;
            bestA = score;
            offA = i;
        } else if (score < bestB || (score == bestB && offB != kNone && i > offB)) {
            bestB = score;
            offB = i;
        }
    }
    m_probeSpan = offA == kNone ? 0 : span;
    if (offA == kNone)
        return true;
    if (offB == kNone)
        offB = offA;
    m_offA = offA;
    m_offB = offB;
    auto probe = [&](unsigned char c) {
        bool letter = ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
        return m_fold && letter ? TextProbe{(unsigned char)(c | 0x20), 0x20} : TextProbe{c, 0};
    };
    m_probeA = probe(t[offA]);
    m_probeB = probe(t[offB]);
    return true;
}

size_t CTextMatcher::Scan(const unsigned char* buf, size_t len, ITextMatchSink& sink,
                          const std::atomic<long>* stop, std::atomic<long>* progress) const
{
    if (!m_ready || !buf || len == 0)
        return 0;
    return m_pattern ? ScanPattern(buf, len, sink, stop, progress)
                     : ScanLiteral(buf, len, sink, stop, progress);
}

// Literal search: jump between candidates of the two probes, check each candidate, and count
// the line ends only up to each match. A match lies within one line since the text holds no
// CR or LF; only its first byte could be the NUL that a line end swallows.
size_t CTextMatcher::ScanLiteral(const unsigned char* buf, size_t len, ITextMatchSink& sink,
                                 const std::atomic<long>* stop, std::atomic<long>* progress) const
{
    const size_t n = m_length;
    if (m_never || len < n)
        return len;
    const unsigned char* t = (const unsigned char*)m_text;
    const bool nulFirst = t[0] == 0;
    const size_t last = len - n;

    size_t p = 0;
    size_t counted = 0;      // line ends are counted up to here
    long line = 1;
    size_t lineStart = 0;
    while (p <= last) {
        if (Stopped(stop))
            return p;
        Report(progress, p);
        size_t chunkLast = last - p >= kChunk ? p + kChunk - 1 : last;
        for (;;) {
            size_t c = TextScanFindPair(buf, p, chunkLast, m_offA, m_probeA, m_offB, m_probeB);
            if (c == kNone) {
                p = chunkLast + 1;
                break;
            }
            bool ok = !(nulFirst && c > 0 && IsLineEnd(buf[c - 1]))
                      && !(m_startRule && c > 0 && IsWord(buf[c - 1]))
                      && !(m_endRule && c + n < len && IsWord(buf[c + n]))
                      && MemCmpCase(buf + c, t, n, m_fold ? 1 : 0) == 0;
            if (!ok) {
                p = c + 1;
            } else {
                size_t ends = TextScanCountLineEnds(buf, counted, c, len);
                if (ends) {
                    line += (long)ends;
                    lineStart = TextScanFindLastLineEnd(buf, counted, c) + 1;
                    if (buf[lineStart] == 0 && lineStart < c)
                        lineStart++;   // the NUL behind a line end belongs to no line
                }
                counted = c;
                TextMatch match = {c, n, line, lineStart};
                if (!sink.OnMatch(match))
                    return c;
                p = c + n;
            }
            if (p > chunkLast)
                break;
        }
    }
    return len;
}

namespace {

// Ends of multi-line regions. The region of a line runs from the line over the following run
// of CR/LF characters and the run of other characters behind it, lines times; it ends where
// the lines-th CR/LF run after the line's own end starts. The starts of the runs are found
// ahead of the walk and kept, so that no line is scanned twice whatever the lines value.
class CRegionEnds {
public:
    CRegionEnds(const unsigned char* buf, size_t len, unsigned lines) : m_buf(buf), m_len(len), m_lines(lines) {}

    // lineEnd: the end of a non-empty line (the start of a CR/LF run, or the buffer's end);
    // called with growing values.
    size_t End(size_t lineEnd)
    {
        if (m_lines == 0)
            return lineEnd;
        while (m_head < m_runs.size() && m_runs[m_head] < lineEnd)
            m_head++;
        if (m_head > 4096 && m_head * 2 > m_runs.size()) {
            m_runs.erase(m_runs.begin(), m_runs.begin() + (ptrdiff_t)m_head);
            m_head = 0;
        }
        if (m_known < lineEnd)
            m_known = lineEnd;
        while (m_runs.size() - m_head <= m_lines && m_known < m_len) {
            size_t e = TextScanFindLineEnd(m_buf, m_known, m_len);
            if (e == m_len) {
                m_known = m_len;
                break;
            }
            m_runs.push_back(e);
            while (e < m_len && IsLineEnd(m_buf[e]))
                e++;
            m_known = e;
        }
        return m_runs.size() - m_head > m_lines ? m_runs[m_head + m_lines] : m_len;
    }

private:
    const unsigned char* m_buf;
    size_t m_len;
    unsigned m_lines;
    std::vector<size_t> m_runs;   // starts of CR/LF runs from the current line's end on
    size_t m_head = 0;
    size_t m_known = 0;           // runs are known up to here
};

// The start of the line after the one that ends at lineEnd (CR, then LF, then one NUL).
inline size_t NextLineStart(const unsigned char* buf, size_t len, size_t lineEnd)
{
    size_t next = lineEnd;
    if (next < len) {
        if (buf[next] == '\r')
            next++;
        if (next < len && buf[next] == '\n')
            next++;
        if (next < len && buf[next] == 0)
            next++;
    }
    return next;
}

} // namespace

// Tries the pattern at position p of the line that starts at ls (the line matcher knows the
// line and its region). Returns the match's end, or 0 when there is none (or the position is
// skipped, or the search was stopped meanwhile).
size_t CTextMatcher::TryPattern(CPatternLineMatcher& line, const unsigned char* buf, size_t p, size_t ls,
                                const std::atomic<long>* stop) const
{
    if (m_startRule && p > ls && IsWord(buf[p - 1]))
        return 0;
    // One try can run over the whole rest of a long line: it watches the stop flag too.
    return line.Try(p, stop);
}

// Pattern search without probes: walk the lines and try every position of each line.
size_t CTextMatcher::ScanPattern(const unsigned char* buf, size_t len, ITextMatchSink& sink,
                                 const std::atomic<long>* stop, std::atomic<long>* progress) const
{
    if (m_probeSpan)
        return ScanPatternProbed(buf, len, sink, stop, progress);
    CRegionEnds regions(buf, len, m_multiLine ? m_lines : 0);
    CPatternLineMatcher tries;
    tries.Compile(m_text, (int)m_length, m_fold);
    size_t ls = 0;
    long line = 1;
    while (ls < len) {
        if (Stopped(stop))
            return ls;
        Report(progress, ls);
        size_t le = TextScanFindLineEnd(buf, ls, len);
        if (le > ls) {
            tries.SetLine((const char*)buf, ls, regions.End(le), m_words);
            size_t nextCheck = ls + kPatternStride;
            for (size_t p = ls; p < le;) {
                if (p >= nextCheck) {
                    if (Stopped(stop))
                        return p;
                    Report(progress, p);
                    nextCheck = p + kPatternStride;
                }
                size_t end = TryPattern(tries, buf, p, ls, stop);
                if (!end) {
                    if (Stopped(stop))
                        return p;
                    p++;
                    continue;
                }
                TextMatch match = {p, end - p, line, ls};
                if (!sink.OnMatch(match))
                    return p;
                p = end;   // on the same line; a match past its end ends the line
            }
        }
        ls = NextLineStart(buf, len, le);
        line++;
    }
    return len;
}

// Pattern search with probes: jump between the positions where the probes occur, count the
// line ends up to each as the literal search does, and try the pattern there only. Matches
// and line numbers are those of the walk over every position.
size_t CTextMatcher::ScanPatternProbed(const unsigned char* buf, size_t len, ITextMatchSink& sink,
                                       const std::atomic<long>* stop, std::atomic<long>* progress) const
{
    if (len < m_probeSpan)
        return len;
    const size_t last = len - m_probeSpan;
    CRegionEnds regions(buf, len, m_multiLine ? m_lines : 0);
    CPatternLineMatcher tries;
    tries.Compile(m_text, (int)m_length, m_fold);
    size_t counted = 0;      // line ends are counted up to here
    long line = 1;
    size_t ls = 0;           // the line of the last candidate: its start and end
    size_t le = 0;
    bool haveLine = false;
    size_t tried = 0;
    size_t p = 0;
    while (p <= last) {
        if (Stopped(stop))
            return p;
        Report(progress, p);
        size_t chunkLast = last - p >= kChunk ? p + kChunk - 1 : last;
        for (;;) {
            size_t c = TextScanFindPair(buf, p, chunkLast, m_offA, m_probeA, m_offB, m_probeB);
            if (c == kNone) {
                p = chunkLast + 1;
                break;
            }
            // Only bytes of a line are tried: no line end, no NUL swallowed by one.
            if (IsLineEnd(buf[c]) || (buf[c] == 0 && c > 0 && IsLineEnd(buf[c - 1]))) {
                p = c + 1;
            } else {
                if (!haveLine || c >= le) {
                    size_t ends = TextScanCountLineEnds(buf, counted, c, len);
                    if (ends) {
                        line += (long)ends;
                        ls = TextScanFindLastLineEnd(buf, counted, c) + 1;
                        if (buf[ls] == 0 && ls < c)
                            ls++;
                    }
                    counted = c;
                    le = TextScanFindLineEnd(buf, c, len);
                    tries.SetLine((const char*)buf, ls, regions.End(le), m_words);
                    haveLine = true;
                }
                if (++tried % kPatternStride == 0 && Stopped(stop))
                    return c;   // many candidates within one stretch
                size_t end = TryPattern(tries, buf, c, ls, stop);
                if (!end) {
                    if (Stopped(stop))
                        return c;
                    p = c + 1;
                } else {
                    TextMatch match = {c, end - c, line, ls};
                    if (!sink.OnMatch(match))
                        return c;
                    // Behind the match on its line; after a match past the line's end the
                    // next line is searched (lines inside the match are searched again).
                    p = end < le ? end : NextLineStart(buf, len, le);
                }
            }
            if (p > chunkLast)
                break;
        }
    }
    return len;
}
