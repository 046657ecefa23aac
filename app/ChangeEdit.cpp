// The change of found entries apart from any window.
#include "app/ChangeEdit.h"

#include <cstring>

#include "app/ValueSyntax.h"
#include "text/Convert.h"
#include "text/Match.h"

namespace {

const char kNoValue[] = "Es muss ein Wert zum Ändern angegeben werden !";
const char kMaskedValue[] = "Ein Wert mit Maske kann nicht geschrieben werden !";

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

bool IsLineEnd(unsigned char c) { return c == '\r' || c == '\n'; }

}  // namespace

int ParseChangeOffset(const char* text)
{
    if (!text)
        return 0;
    while (*text == ' ' || *text == '\t')
        ++text;
    bool negative = false;
    if (*text == '-' || *text == '+')
        negative = *text++ == '-';
    unsigned value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = value * 10u + unsigned(*text - '0');
    return negative ? -int(value) : int(value);
}

int PrepareChangeText(const char* text, bool specialChars, unsigned char* out)
{
    memset(out, 0, CHANGE_MAX_BYTES);
    if (!text)
        return 0;
    if (!specialChars)
        return int(StrLCpy(reinterpret_cast<char*>(out), text, CHANGE_MAX_BYTES));
    int n = StrUnquoteC(out, unsigned(CHANGE_MAX_BYTES) | UNQUOTE_NO_QUOTE, text, nullptr);
    return Clamp(n, 0, CHANGE_MAX_BYTES);
}

int PrepareChangeValue(const char* text, int mode, int offset, unsigned char* out, const char** error)
{
    memset(out, 0, CHANGE_MAX_BYTES);
    *error = nullptr;
    int kind = GetValueKind(text);
    if (kind == VALUE_MASK) {
        *error = kMaskedValue;
        return 0;
    }
    int n = kind == VALUE_NONE ? 0 : ParseValue(text, out, CHANGE_MAX_BYTES);
    if (n <= 0) {
        *error = kNoValue;
        return 0;
    }
    if (mode == CHANGE_UPTO_FIXED && offset > 0)
        n = offset <= CHANGE_MAX_BYTES ? offset : 4;
    return n;
}

ChangeParts SplitFoundText(const ChangeRequest& request, const char* found, int length)
{
    ChangeParts p = {0, length, 0};
    int m = 0;
    if (request.mode == CHANGE_UPTO_TEXT || request.mode == CHANGE_FROM_TEXT) {
        if (request.pattern && request.patternLength > 0 && length > 0)
            m = PatternMatch(request.pattern, request.patternLength, found, length,
                             PM_ANCHORED | (request.ignoreCase ? unsigned(PM_FOLD) : 0u));
        m = Clamp(m, 0, length);
    }
    switch (request.mode) {
    case CHANGE_UPTO_FIXED:
        p.replaced = Clamp(request.offset, 0, length);
        p.suffix = length - p.replaced;
        break;
    case CHANGE_FROM_FIXED:
        p.prefix = Clamp(request.offset, 0, length);
        p.replaced = length - p.prefix;
        break;
    case CHANGE_UPTO_TEXT:
        p.replaced = m;
        p.suffix = length - m;
        break;
    case CHANGE_FROM_TEXT:
        p.prefix = m;
        p.replaced = length - m;
        break;
    default:
        break;
    }
    return p;
}

void ChangeContext(const unsigned char* data, int size, int pos, int length, int* before, int* after)
{
    int b = pos;
    while (b > 0 && pos - b < 32 && !IsLineEnd(data[b - 1]))
        --b;
    int end = pos + length;
    int a = end;
    while (a < size && a - end < 32 && !IsLineEnd(data[a]))
        ++a;
    *before = b;
    *after = a;
}

int BuildChangeQueryLine(const unsigned char* const pieces[5], const int lengths[5], char* text,
                         unsigned char* colors, int size)
{
    int n = 0;
    for (int i = 0; i < 5; ++i) {
        int take = Clamp(lengths[i], 0, size - 1 - n);
        unsigned char color = (i == 2) ? 4 : (i == 0 || i == 4) ? 0 : 5;
        for (int k = 0; k < take; ++k, ++n) {
            unsigned char c = pieces[i][k];
            text[n] = c < 32 ? ' ' : char(c);
            colors[n] = color;
        }
    }
    text[n] = 0;
    return n;
}

int RewriteFileHits(const unsigned char* data, int size, ChangeHit* hits, int count, const ChangeRequest& request,
                    CChangeOutput& out, CChangeAsker* asker, bool* stopped)
{
    int in = 0;
    long long outPos = 0;
    int changes = 0;
    bool stop = false;
    auto put = [&](const void* p, int n) {
        if (n <= 0)
            return true;
        outPos += n;
        return out.Write(p, size_t(n));
    };
    for (int k = 0; k < count; ++k) {
        ChangeHit& h = hits[k];
        // A hit inside an earlier found text keeps only its part behind it.
        long long end = (long long)h.pos + (h.length > 0 ? h.length : 0);
        int start = Clamp(h.pos, in, size);
        int length = int(Clamp(int(end < size ? end : size), start, size) - start);
        if (!put(data + in, start - in))
            return -1;
        in = start;
        h.pos = int(outPos);
        h.length = length;
        const char* found = reinterpret_cast<const char*>(data + start);
        ChangeParts parts = SplitFoundText(request, found, length);
        int answer = CHANGE_ANSWER_YES;
        // A hit wholly inside an earlier found text (or past the end) has nothing left.
        if (stop || length == 0)
            answer = CHANGE_ANSWER_NO;
        else if (asker)
            answer = asker->Ask(data, size, start, length, parts);
        if (answer == CHANGE_ANSWER_STOP)
            stop = true;
        if (answer == CHANGE_ANSWER_YES || answer == CHANGE_ANSWER_ALL) {
            if (!put(found, parts.prefix) || !put(request.bytes, request.count) ||
                !put(found + parts.prefix + parts.replaced, parts.suffix))
                return -1;
            h.length = parts.prefix + request.count + parts.suffix;
            ++changes;
        } else if (!put(found, length)) {
            return -1;
        }
        in = start + length;
    }
    if (!put(data + in, size - in))
        return -1;
    if (stopped)
        *stopped = stop;
    return changes;
}
