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

// Pattern search: walk the lines and try the matcher at every position of each line, the
// region reaching over the following lines for a multi-line search.
size_t CTextMatcher::ScanPattern(const unsigned char* buf, size_t len, ITextMatchSink& sink,
                                 const std::atomic<long>* stop, std::atomic<long>* progress) const
{
    const unsigned baseFlags = (m_fold ? 1u : 0u) | 4u;
    const unsigned lines = m_multiLine ? m_lines : 0;
    // Starts of the CR/LF runs from the current line's end on, found ahead of the walk, so that
    // the end of a multi-line region is found without scanning the same lines again.
    std::vector<size_t> runs;
    size_t runsHead = 0;
    size_t discovered = 0;   // runs are known up to here

    size_t ls = 0;
    long line = 1;
    while (ls < len) {
        if (Stopped(stop))
            return ls;
        Report(progress, ls);
        size_t le = TextScanFindLineEnd(buf, ls, len);
        if (le > ls) {
            size_t regionEnd = le;
            if (lines) {
                while (runsHead < runs.size() && runs[runsHead] < le)
                    runsHead++;
                if (runsHead > 4096 && runsHead * 2 > runs.size()) {
                    runs.erase(runs.begin(), runs.begin() + runsHead);
                    runsHead = 0;
                }
                if (discovered < le)
                    discovered = le;
                while (runs.size() - runsHead <= lines && discovered < len) {
                    size_t e = TextScanFindLineEnd(buf, discovered, len);
                    if (e == len) {
                        discovered = len;
                        break;
                    }
                    runs.push_back(e);
                    while (e < len && IsLineEnd(buf[e]))
                        e++;
                    discovered = e;
                }
                regionEnd = runs.size() - runsHead > lines ? runs[runsHead + lines] : len;
            }
            size_t p = ls;
            size_t nextCheck = ls + kPatternStride;
            // With probes only the positions where they occur can match (and no match starts
            // where the bytes the probes come from would not fit into the buffer).
            size_t lastCandidate = le - 1;
            if (m_probeSpan && len - lastCandidate < m_probeSpan)
                lastCandidate = len >= m_probeSpan ? len - m_probeSpan : kNone;
            while (p < le) {
                if (p >= nextCheck) {
                    if (Stopped(stop))
                        return p;
                    Report(progress, p);
                    nextCheck = p + kPatternStride;
                }
                if (m_probeSpan) {
                    size_t c = lastCandidate != kNone
                                   ? TextScanFindPair(buf, p, lastCandidate, m_offA, m_probeA, m_offB, m_probeB)
                                   : kNone;
                    if (c == kNone)
                        break;
                    if (c >= nextCheck && Stopped(stop))
                        return p;
                    p = c;
                }
                bool afterWord = p > ls && IsWord(buf[p - 1]);
                if (m_startRule && afterWord) {
                    p++;
                    continue;
                }
                unsigned flags = baseFlags | (p > ls ? 8u : 0u) | (afterWord ? 16u : 0u);
                int m = PatternMatch(m_text, (int)m_length, (const char*)buf + p, (int)(regionEnd - p), flags);
                if (m <= 0) {
                    p++;
                    continue;
                }
                size_t end = p + ((size_t)m < regionEnd - p ? (size_t)m : regionEnd - p);
                if (m_words && end < regionEnd && IsWord(buf[end]) && IsWord(buf[end - 1])) {
                    p++;
                    continue;
                }
                TextMatch match = {p, end - p, line, ls};
                if (!sink.OnMatch(match))
                    return p;
                p = end;
            }
        }
        size_t next = le;
        if (next < len) {
            if (buf[next] == '\r')
                next++;
            if (next < len && buf[next] == '\n')
                next++;
            if (next < len && buf[next] == 0)
                next++;
        }
        ls = next;
        line++;
    }
    return len;
}
