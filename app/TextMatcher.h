// The buffer search of the text search engine: finds every occurrence of a search text in an
// 8-bit buffer (literally, folding ASCII case, by whole words, or through the pattern matcher,
// optionally over several lines) and reports each with its line number and line start.
#pragma once

#include <atomic>
#include <stddef.h>

#include "app/TextScan.h"

class CPatternLineMatcher;

// One match, as the buffer search reports it.
struct TextMatch {
    size_t pos;        // offset of the first matched byte in the buffer
    size_t length;     // matched bytes (for a pattern they can reach into following lines)
    long line;         // line of pos, counting from 1
    size_t lineStart;  // offset of the start of that line
};

// Receives the matches in buffer order; returns false to end the search.
class ITextMatchSink {
public:
    virtual bool OnMatch(const TextMatch& match) = 0;

protected:
    ~ITextMatchSink() = default;
};

class CTextMatcher {
public:
    // Search flags (those of CTextSearch).
    enum { IgnoreCase = 1, WholeWords = 2, Pattern = 4, MultiLine = 8 };

    CTextMatcher();

    // Prepares a search for text[0..length-1]; the text is referred to, not copied, and must
    // outlive the scans. lines: further lines a multi-line pattern match may span.
    // Returns false (and every scan finds nothing) for a missing or empty text.
    bool Prepare(const char* text, size_t length, unsigned flags, unsigned lines);

    // True when the prepared search uses the pattern matcher (flag Pattern and a '*', '?' or
    // '\' in the text).
    bool UsesPattern() const { return m_pattern; }

    // Scans buf[0..len-1] and hands every match to the sink, in order; a match ends where the
    // next search starts (matches never overlap). stop (or none) is read before each line and
    // within long lines; when it is nonzero the scan ends. progress (or none) receives the
    // offset reached, now and then. Returns the offset at which the scan ended (len when it
    // walked the whole buffer).
    size_t Scan(const unsigned char* buf, size_t len, ITextMatchSink& sink,
                const std::atomic<long>* stop = nullptr, std::atomic<long>* progress = nullptr) const;

private:
    size_t ScanLiteral(const unsigned char* buf, size_t len, ITextMatchSink& sink,
                       const std::atomic<long>* stop, std::atomic<long>* progress) const;
    size_t ScanPattern(const unsigned char* buf, size_t len, ITextMatchSink& sink,
                       const std::atomic<long>* stop, std::atomic<long>* progress) const;
    size_t ScanPatternProbed(const unsigned char* buf, size_t len, ITextMatchSink& sink,
                             const std::atomic<long>* stop, std::atomic<long>* progress) const;
    size_t TryPattern(CPatternLineMatcher& line, const unsigned char* buf, size_t p, size_t ls,
                      const std::atomic<long>* stop) const;
    bool IsWord(unsigned char c) const { return m_word[c] != 0; }

    const char* m_text;
    size_t m_length;
    unsigned m_lines;
    bool m_ready;
    bool m_fold;
    bool m_pattern;
    bool m_multiLine;
    bool m_words;
    bool m_never;      // a literal text with CR or LF: no line can hold it
    bool m_startRule;  // whole words and the text starts with a word character
    bool m_endRule;    // whole words and (literal) the text ends with a word character
    size_t m_probeSpan;    // bytes at a match's start that the probes lie in (0: no probes)
    size_t m_offA, m_offB;
    TextProbe m_probeA, m_probeB;
    unsigned char m_word[256];
};
