// The printf-style formatter.
#include "text/Format.h"
#include "text/Numbers.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

enum { F_MINUS = 1, F_PLUS = 2, F_SPACE = 4, F_ZERO = 8, F_ALT = 16, F_GROUP = 32 };
enum { L_NONE, L_HH, L_H, L_L, L_LL, L_SIZE, L_LDBL, L_WIDE };
enum ArgKind { K_NONE, K_INT, K_LL, K_DBL, K_LDBL, K_PTR };

const int kMaxArgs = 64;

struct Conv {
    int flags = 0;
    int width = -1;     // -1 none
    int prec = -1;      // -1 none
    int len = L_NONE;
    char conv = 0;
    int arg = 0;        // 1-based argument of the value, 0 none
    bool positional = false;
    int widthArg = 0;   // 1-based argument of a '*' width, 0 none
    int precArg = 0;
};

// Reads a number; returns -1 when there are no digits.
int ReadNumber(const char*& p)
{
    if (*p < '0' || *p > '9') return -1;
    long long v = 0;
    while (*p >= '0' && *p <= '9') {
        if (v < 100000000) v = v * 10 + (*p - '0');
        ++p;
    }
    return (int)v;
}

// "n$" at p: returns n and moves behind it, else 0 and p stays.
int ReadPosition(const char*& p)
{
    const char* q = p;
    int n = ReadNumber(q);
    if (n > 0 && *q == '$') {
        p = q + 1;
        return n;
    }
    return 0;
}

ArgKind KindOf(const Conv& s)
{
    switch (s.conv) {
    case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': case 'b':
        return (s.len == L_LL) ? K_LL : K_INT;
    case 'c': case 'C':
        return K_INT;
    case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
        return s.len == L_LDBL ? K_LDBL : K_DBL;
    case 's': case 'S': case 'p': case 'n': case 'H':
        return K_PTR;
    case 'T':
        return K_LL;
    }
    return K_NONE;
}

// Parses the conversion after '%'; p ends behind the conversion character (or at the NUL).
// next is the number of the argument used last, for unnumbered conversions.
void ParseConv(const char*& p, Conv& s, int& next)
{
    s = Conv();
    int pos = ReadPosition(p);
    if (pos) s.positional = true;
    for (;; ++p) {
        if (*p == '-') s.flags |= F_MINUS;
        else if (*p == '+') s.flags |= F_PLUS;
        else if (*p == ' ') s.flags |= F_SPACE;
        else if (*p == '0') s.flags |= F_ZERO;
        else if (*p == '#') s.flags |= F_ALT;
        else if (*p == '\'') s.flags |= F_GROUP;
        else break;
    }
    if (*p == '*') {
        ++p;
        int n = ReadPosition(p);
        s.widthArg = n ? n : ++next;
        if (n) { next = n; s.positional = true; }
    } else {
        s.width = ReadNumber(p);
    }
    if (*p == '.') {
        ++p;
        if (*p == '*') {
            ++p;
            int n = ReadPosition(p);
            s.precArg = n ? n : ++next;
            if (n) { next = n; s.positional = true; }
        } else {
            s.prec = ReadNumber(p);
            if (s.prec < 0) s.prec = 0;
        }
    }
    for (bool more = true; more;) {
        switch (*p) {
        case 'h':
            if (p[1] == 'h') { s.len = L_HH; p += 2; } else { s.len = L_H; ++p; }
            more = false;
            break;
        case 'l':
            if (p[1] == 'l') { s.len = L_LL; p += 2; } else { s.len = L_L; ++p; }
            more = false;
            break;
        case 'q': case 'j': s.len = L_LL; ++p; more = false; break;
        case 'L': s.len = L_LDBL; ++p; more = false; break;
        case 'z': case 't': s.len = L_SIZE; ++p; more = false; break;
        case 'w': s.len = L_WIDE; ++p; more = false; break;
        case 'I':
            if (p[1] == '6' && p[2] == '4') { s.len = L_LL; p += 3; }
            else if (p[1] == '3' && p[2] == '2') { s.len = L_L; p += 3; }
            else { s.len = L_SIZE; ++p; }
            more = false;
            break;
        default: more = false;
        }
    }
    s.conv = *p;
    if (*p) ++p;
    if (s.conv == 'L' || s.conv == 0) return;
    if (s.len == L_LDBL && KindOf(s) != K_DBL && KindOf(s) != K_LDBL) s.len = L_LL; // "%Ld"
    if (s.conv != '%' && KindOf(s) != K_NONE) {
        s.arg = pos ? pos : ++next;
        if (pos) next = pos;
    }
}

struct ArgValue {
    ArgKind kind = K_NONE;
    long long i = 0;
    double d = 0;
    const void* p = nullptr;
};

// The arguments: read in order from the va_list, or all at once when positions are used.
class Args {
public:
    Args(va_list* ap, bool table) : m_ap(ap), m_table(table) {}

    void Load(const ArgKind* kinds, int count)
    {
        for (int i = 1; i <= count; ++i) Fetch(m_values[i], kinds[i] == K_NONE ? K_INT : kinds[i]);
        m_count = count;
    }

    const ArgValue& Get(int index, ArgKind kind)
    {
        if (m_table) {
            if (index >= 1 && index <= m_count) return m_values[index];
            m_none = ArgValue();
            return m_none;
        }
        Fetch(m_none, kind);
        return m_none;
    }

private:
    void Fetch(ArgValue& v, ArgKind kind)
    {
        v.kind = kind;
        switch (kind) {
        case K_LL: v.i = va_arg(*m_ap, long long); break;
        case K_DBL: v.d = va_arg(*m_ap, double); break;
        case K_LDBL: v.d = (double)va_arg(*m_ap, long double); break;
        case K_PTR: v.p = va_arg(*m_ap, const void*); break;
        default: v.i = va_arg(*m_ap, int); break;
        }
    }

    va_list* m_ap;
    bool m_table;
    int m_count = 0;
    ArgValue m_values[kMaxArgs + 1];
    ArgValue m_none;
};

class Out {
public:
    Out(StrWriter w, void* ctx) : m_w(w), m_ctx(ctx) {}
    bool Stopped() const { return m_stopped; }
    int Total() const { return m_total; }

    void Put(const char* s, int n)
    {
        if (m_stopped || n <= 0) return;
        m_total += n;
        if (!m_w(m_ctx, s, n)) m_stopped = true;
    }
    void Put(char c) { Put(&c, 1); }
    void Repeat(char c, long long n)
    {
        char block[64];
        std::memset(block, c, sizeof block);
        while (n > 0 && !m_stopped) {
            int k = n > 64 ? 64 : (int)n;
            Put(block, k);
            n -= k;
        }
    }

private:
    StrWriter m_w;
    void* m_ctx;
    int m_total = 0;
    bool m_stopped = false;
};

void PadLeft(Out& out, const Conv& s, long long length)
{
    if (!(s.flags & F_MINUS) && s.width > length) out.Repeat(' ', s.width - length);
}

void PadRight(Out& out, const Conv& s, long long length)
{
    if ((s.flags & F_MINUS) && s.width > length) out.Repeat(' ', s.width - length);
}

void PutText(Out& out, const Conv& s, const char* text, int length)
{
    PadLeft(out, s, length);
    out.Put(text, length);
    PadRight(out, s, length);
}

void PutInteger(Out& out, const Conv& s, const ArgValue& v)
{
    const bool isSigned = s.conv == 'd' || s.conv == 'i';
    unsigned long long mag;
    bool neg = false;
    long long raw = v.i;
    if (v.kind == K_INT) {
        int x = (int)raw;
        if (s.len == L_HH) x = isSigned ? (int)(signed char)x : (int)(unsigned char)x;
        else if (s.len == L_H) x = isSigned ? (int)(short)x : (int)(unsigned short)x;
        if (isSigned) raw = x;
        else raw = (long long)(unsigned)x;
    }
    if (isSigned && raw < 0) {
        neg = true;
        mag = 0ull - (unsigned long long)raw;
    } else {
        mag = (unsigned long long)raw;
    }
    int base = 10;
    const char* digits = "0123456789ABCDEF";
    if (s.conv == 'x') { base = 16; digits = "0123456789abcdef"; }
    else if (s.conv == 'X') base = 16;
    else if (s.conv == 'o') base = 8;
    else if (s.conv == 'b') base = 2;

    char buf[96];
    int n = 0, run = 0;
    const bool group = (s.flags & F_GROUP) && base == 10;
    for (unsigned long long m = mag; m; m /= base) {
        if (group && run == 3) { buf[n++] = '.'; run = 0; }
        buf[n++] = digits[m % base];
        ++run;
    }
    int prec = s.prec;
    int zeros = 0;
    if (prec < 0) prec = 1;
    int plain = 0; // digits without the separators
    for (int k = 0; k < n; ++k)
        if (buf[k] != '.') ++plain;
    if (plain < prec) zeros = prec - plain;

    char prefix[3];
    int pn = 0;
    if (neg) prefix[pn++] = '-';
    else if (isSigned && (s.flags & F_PLUS)) prefix[pn++] = '+';
    else if (isSigned && (s.flags & F_SPACE)) prefix[pn++] = ' ';
    if ((s.flags & F_ALT) && mag) {
        if (base == 16) { prefix[pn++] = '0'; prefix[pn++] = s.conv; }
        else if (base == 2) { prefix[pn++] = '0'; prefix[pn++] = 'b'; }
    }
    if ((s.flags & F_ALT) && base == 8 && zeros == 0 && (mag || s.prec == 0)) zeros = 1;

    long long length = (long long)pn + zeros + n;
    if ((s.flags & F_ZERO) && !(s.flags & F_MINUS) && s.prec < 0 && s.width > length) {
        zeros += (int)(s.width - length);
        length = s.width;
    }
    PadLeft(out, s, length);
    out.Put(prefix, pn);
    out.Repeat('0', zeros);
    for (int k = n - 1; k >= 0; --k) out.Put(buf[k]);
    PadRight(out, s, length);
}

void PutFloat(Out& out, const Conv& s, double d)
{
    char cfmt[32];
    int k = 0;
    cfmt[k++] = '%';
    if (s.flags & F_MINUS) cfmt[k++] = '-';
    if (s.flags & F_PLUS) cfmt[k++] = '+';
    if (s.flags & F_SPACE) cfmt[k++] = ' ';
    if (s.flags & F_ZERO) cfmt[k++] = '0';
    if (s.flags & F_ALT) cfmt[k++] = '#';
    int width = (s.width >= 0 && s.width <= 400) ? s.width : -1;
    int prec = s.prec > 300 ? 300 : s.prec;
    k += std::sprintf(cfmt + k, width >= 0 ? "%d" : "", width);
    if (prec >= 0) k += std::sprintf(cfmt + k, ".%d", prec);
    cfmt[k++] = s.conv == 'F' ? 'f' : s.conv;
    cfmt[k] = 0;
    char buf[1024];
    int n = _snprintf(buf, sizeof buf - 1, cfmt, d);
    if (n < 0 || n > (int)sizeof buf - 1) n = (int)sizeof buf - 1;
    buf[n] = 0;
    Conv rest = s;
    if (width >= 0) rest.width = -1;
    PutText(out, rest, buf, n);
}

void PutWideText(Out& out, const Conv& s, const wchar_t* w, int units)
{
    // output length first, for the padding
    long long total = 0;
    for (int i = 0; i < units;) {
        int chunk = units - i > 256 ? 256 : units - i;
        if (chunk < units - i && w[i + chunk - 1] >= 0xD800 && w[i + chunk - 1] <= 0xDBFF) --chunk;
        total += WideCharToMultiByte(CP_ACP, 0, w + i, chunk, nullptr, 0, nullptr, nullptr);
        i += chunk;
    }
    if (s.prec >= 0 && total > s.prec) total = s.prec;
    PadLeft(out, s, total);
    long long left = total;
    for (int i = 0; i < units && left > 0 && !out.Stopped();) {
        int chunk = units - i > 256 ? 256 : units - i;
        if (chunk < units - i && w[i + chunk - 1] >= 0xD800 && w[i + chunk - 1] <= 0xDBFF) --chunk;
        char buf[1024];
        int n = WideCharToMultiByte(CP_ACP, 0, w + i, chunk, buf, sizeof buf, nullptr, nullptr);
        if (n > left) n = (int)left;
        out.Put(buf, n);
        left -= n;
        i += chunk;
    }
    PadRight(out, s, total);
}

void PutHexDump(Out& out, const Conv& s, const unsigned char* bytes, int count)
{
    if (!bytes) count = 0;
    if (count < 0) count = 0;
    const bool colon = (s.flags & F_ALT) != 0, blanks = !(s.flags & F_PLUS);
    long long length = (colon ? 1 : 0) + 2LL * count + (blanks && count > 1 ? count - 1 : 0);
    PadLeft(out, s, length);
    if (colon) out.Put(':');
    static const char hex[] = "0123456789ABCDEF";
    for (int i = 0; i < count && !out.Stopped(); ++i) {
        char t[3];
        int k = 0;
        if (i && blanks) t[k++] = ' ';
        t[k++] = hex[bytes[i] >> 4];
        t[k++] = hex[bytes[i] & 15];
        out.Put(t, k);
    }
    PadRight(out, s, length);
}

int Format(Out& out, const char* format, va_list* ap)
{
    if (!format) return 0;
    // Positions need every argument's type before the first is read.
    bool positional = false;
    ArgKind kinds[kMaxArgs + 1] = {};
    int maxArg = 0;
    for (const char* p = format; *p && !positional;) {
        if (*p++ != '%') continue;
        int next = 0;
        Conv s;
        ParseConv(p, s, next);
        positional = s.positional;
    }
    if (positional) {
        int next = 0;
        for (const char* p = format; *p;) {
            if (*p++ != '%') continue;
            Conv s;
            ParseConv(p, s, next);
            auto note = [&](int index, ArgKind kind) {
                if (index < 1 || index > kMaxArgs || kind == K_NONE) return;
                kinds[index] = kind;
                if (index > maxArg) maxArg = index;
            };
            note(s.widthArg, K_INT);
            note(s.precArg, K_INT);
            note(s.arg, KindOf(s));
        }
    }
    Args args(ap, positional);
    if (positional) args.Load(kinds, maxArg);

    int next = 0;
    const char* p = format;
    while (*p && !out.Stopped()) {
        const char* start = p;
        while (*p && *p != '%') ++p;
        out.Put(start, (int)(p - start));
        if (!*p) break;
        const char* specStart = p++;
        Conv s;
        ParseConv(p, s, next);
        if (s.widthArg) {
            int w = (int)args.Get(s.widthArg, K_INT).i;
            if (w < 0) {
                s.flags |= F_MINUS;
                w = w == (int)0x80000000 ? 0x7FFFFFFF : -w;
            }
            s.width = w;
        }
        if (s.precArg) {
            int pr = (int)args.Get(s.precArg, K_INT).i;
            s.prec = pr < 0 ? -1 : pr;
        }
        switch (s.conv) {
        case '%':
            out.Put('%');
            break;
        case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': case 'b':
            PutInteger(out, s, args.Get(s.arg, KindOf(s)));
            break;
        case 'c': case 'C': {
            int c = (int)args.Get(s.arg, K_INT).i;
            if (s.conv == 'C' || s.len == L_L || s.len == L_WIDE) {
                wchar_t w = (wchar_t)c;
                Conv t = s;
                t.prec = -1;
                PutWideText(out, t, &w, 1);
            } else {
                char ch = (char)c;
                PutText(out, s, &ch, 1);
            }
            break;
        }
        case 's': case 'S': {
            const void* ptr = args.Get(s.arg, K_PTR).p;
            if (!ptr) {
                PutText(out, s, "(null)", s.prec >= 0 && s.prec < 6 ? s.prec : 6);
            } else if (s.conv == 'S' || s.len == L_L || s.len == L_WIDE) {
                const wchar_t* w = static_cast<const wchar_t*>(ptr);
                int units = 0;
                while (w[units] && (s.prec < 0 || units < s.prec)) ++units;
                PutWideText(out, s, w, units);
            } else {
                const char* t = static_cast<const char*>(ptr);
                int n = 0;
                while ((s.prec < 0 || n < s.prec) && t[n]) ++n;
                PutText(out, s, t, n);
            }
            break;
        }
        case 'p': {
            char buf[12];
            int n = std::sprintf(buf, "%08X", (unsigned)(size_t)args.Get(s.arg, K_PTR).p);
            PutText(out, s, buf, n);
            break;
        }
        case 'n':
            args.Get(s.arg, K_PTR);
            break;
        case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
            PutFloat(out, s, args.Get(s.arg, KindOf(s)).d);
            break;
        case 'H': {
            const void* ptr = args.Get(s.arg, K_PTR).p;
            PutHexDump(out, s, static_cast<const unsigned char*>(ptr), s.prec < 0 ? 0 : s.prec);
            break;
        }
        case 'T': {
            long long t = args.Get(s.arg, K_LL).i;
            char buf[64];
            int n = FormatDateTime(buf, t, s.prec < 0 ? 0x2000003Eu : (unsigned)s.prec);
            Conv u = s;
            u.prec = -1;
            PutText(out, u, buf, n);
            break;
        }
        default:
            // unknown: copy as it stands
            out.Put(specStart, (int)(p - specStart));
            break;
        }
    }
    return out.Total();
}

struct BufferSink {
    char* buf;
    size_t size;
    size_t used;
};

int BufferWriter(void* context, const char* text, int length)
{
    BufferSink* sink = static_cast<BufferSink*>(context);
    size_t room = sink->size - 1 - sink->used;
    size_t n = (size_t)length < room ? (size_t)length : room;
    std::memcpy(sink->buf + sink->used, text, n);
    sink->used += n;
    return sink->used < sink->size - 1;
}

int CountWriter(void*, const char*, int) { return 1; }

} // namespace

int StrFormatCore(StrWriter writer, void* context, const char* format, va_list args)
{
    if (!writer) return 0;
    Out out(writer, context);
    va_list ap;
    va_copy(ap, args);
    int n = Format(out, format, &ap);
    va_end(ap);
    return n;
}

int StrFormatV(char* buf, size_t size, const char* format, va_list args)
{
    if (!buf || size == 0) return 0;
    buf[0] = 0;
    if (size == 1) return 0;
    BufferSink sink = {buf, size, 0};
    StrFormatCore(BufferWriter, &sink, format, args);
    buf[sink.used] = 0;
    return (int)sink.used;
}

int StrFormat(char* buf, size_t size, const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    int n = StrFormatV(buf, size, format, ap);
    va_end(ap);
    return n;
}

int StrFormatLengthV(const char* format, va_list args)
{
    return StrFormatCore(CountWriter, nullptr, format, args);
}

int StrFormatLength(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    int n = StrFormatLengthV(format, ap);
    va_end(ap);
    return n;
}
