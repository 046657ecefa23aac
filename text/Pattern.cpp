// The search-pattern matcher: the pattern is compiled into a small program of character sets,
// splits and assertions and run as a priority-ordered thread list (a Pike machine). That finds
// the same match as backtracking would, in time linear in the text: O(text × program).
#include "text/Match.h"
#include "text/CharClass.h"
#include "text/Convert.h"

#include <windows.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

struct CharSet {
    unsigned bits[8] = {};
    void Add(unsigned char c) { bits[c >> 5] |= 1u << (c & 31); }
    bool Has(unsigned char c) const { return (bits[c >> 5] >> (c & 31)) & 1; }
    void AddClass(unsigned mask)
    {
        for (int c = 0; c < 256; ++c)
            if (CharClassTable[c] & mask) Add((unsigned char)c);
    }
    void AddAll()
    {
        for (unsigned& b : bits) b = ~0u;
    }
    void Remove(unsigned char c) { bits[c >> 5] &= ~(1u << (c & 31)); }
    void FoldAscii()
    {
        for (int c = 'A'; c <= 'Z'; ++c)
            if (Has((unsigned char)c) || Has((unsigned char)(c + 32))) {
                Add((unsigned char)c);
                Add((unsigned char)(c + 32));
            }
    }
    void Invert()
    {
        for (unsigned& b : bits) b = ~b;
    }
};

enum Op : unsigned char { OP_SET, OP_SPLIT, OP_JMP, OP_ASSERT, OP_NOTSTR, OP_MATCH };
enum Assert : int { AS_LINESTART, AS_LINEEND, AS_WORDSTART, AS_WORDEND };

struct Inst {
    Op op;
    int x; // SET: set index; SPLIT/JMP: first target; ASSERT: kind; NOTSTR: list index
    int y; // SPLIT: second target
};

class Program {
public:
    std::vector<Inst> code;
    std::vector<CharSet> sets;
    std::vector<std::vector<std::string>> lists; // strings of \|...|
    bool fold = false;
    bool hasFirst = false; // every match starts with a character of first
    CharSet first;

    bool Compile(const char* pattern, int length, bool foldCase);

private:
    int Emit(Op op, int x = 0, int y = 0)
    {
        code.push_back(Inst{op, x, y});
        return (int)code.size() - 1;
    }
    int AddSet(CharSet s)
    {
        sets.push_back(s);
        return (int)sets.size() - 1;
    }
    int CharSetOf(unsigned char c)
    {
        CharSet s;
        s.Add(c);
        if (fold) s.FoldAscii();
        return AddSet(s);
    }
    int ClassSet(unsigned mask)
    {
        CharSet s;
        s.AddClass(mask);
        return AddSet(s);
    }
    int AnyButEol()
    {
        CharSet s;
        s.AddAll();
        s.Remove('\r');
        s.Remove('\n');
        return AddSet(s);
    }
    // set+ / set* / set? in greedy or lazy form
    void Plus(int set, bool greedy)
    {
        Emit(OP_SET, set);
        Star(set, greedy);
    }
    void Star(int set, bool greedy)
    {
        int split = Emit(OP_SPLIT);
        Emit(OP_SET, set);
        Emit(OP_JMP, split);
        Branch(split, split + 1, (int)code.size(), greedy);
    }
    void Optional(int set)
    {
        int split = Emit(OP_SPLIT);
        Emit(OP_SET, set);
        Branch(split, split + 1, (int)code.size(), true);
    }
    void Branch(int split, int body, int exit, bool greedy)
    {
        code[split].x = greedy ? body : exit;
        code[split].y = greedy ? exit : body;
    }
    void Literal(const std::string& s)
    {
        for (unsigned char c : s) Emit(OP_SET, CharSetOf(c));
    }

    bool ParseSet(const std::string& body, CharSet& set);
    void ComputeFirst();
    static std::string Decode(const std::string& body);
    static bool Split(const std::string& body, std::vector<std::string>& parts);
};

// The body of a construct up to its closing delimiter (escapes skipped); false when it
// does not close.
bool Body(const std::string& p, size_t& i, char close, std::string& body)
{
    size_t k = i;
    while (k < p.size() && p[k] != close) k += (p[k] == '\\' && k + 1 < p.size()) ? 2 : 1;
    if (k >= p.size()) return false;
    body = p.substr(i, k - i);
    i = k + 1;
    return true;
}

// One character of a construct's body, with backslash escapes; embedded NULs stay NULs.
int NextChar(const std::string& s, size_t& i)
{
    int used = 0;
    int c = ParseEscape(s.c_str() + i, &used);
    if (used <= 0) used = 1;
    i += (size_t)used;
    return c;
}

std::string Program::Decode(const std::string& body)
{
    std::string out;
    for (size_t i = 0; i < body.size();) out += (char)NextChar(body, i);
    return out;
}

// Splits at ',' that no backslash escapes, decoding each part.
bool Program::Split(const std::string& body, std::vector<std::string>& parts)
{
    std::string cur;
    for (size_t i = 0; i < body.size();) {
        if (body[i] == ',') {
            parts.push_back(cur);
            cur.clear();
            ++i;
            continue;
        }
        cur += (char)NextChar(body, i);
    }
    parts.push_back(cur);
    return true;
}

bool Program::ParseSet(const std::string& body, CharSet& set)
{
    for (size_t i = 0; i < body.size();) {
        int lo = NextChar(body, i);
        if (i + 1 < body.size() && body[i] == '-') {
            size_t j = i + 1;
            int hi = NextChar(body, j);
            if (hi < lo) return false;
            for (int c = lo; c <= hi; ++c) set.Add((unsigned char)c);
            i = j;
        } else {
            set.Add((unsigned char)lo);
        }
    }
    if (fold) set.FoldAscii();
    return true;
}

bool Program::Compile(const char* pattern, int length, bool foldCase)
{
    code.clear();
    sets.clear();
    lists.clear();
    fold = foldCase;
    const std::string p(pattern, (size_t)length); // NUL-terminated copy: escapes never read past
    size_t i = 0;
    while (i < p.size()) {
        const unsigned char c = (unsigned char)p[i];
        if (c == '*') {
            ++i;
            // a trailing '*' takes the rest of the line; elsewhere it is as short as possible
            Star(AnyButEol(), i >= p.size());
            continue;
        }
        if (c == '?') {
            ++i;
            Emit(OP_SET, AnyButEol());
            continue;
        }
        if (c != '\\' || i + 1 >= p.size()) {
            ++i;
            Emit(OP_SET, CharSetOf(c));
            continue;
        }
        const char e = p[i + 1];
        i += 2;
        std::string body;
        switch (e) {
        case 'w': Plus(ClassSet(CC_WORD), true); break;
        case 'm': Emit(OP_SET, ClassSet(CC_LETTER)); break;
        case 'p': Emit(OP_SET, ClassSet(CC_DIGIT)); break;
        case 'o': Emit(OP_SET, ClassSet(CC_ALNUM)); break;
        case '_': Plus(ClassSet(CC_SPACE), true); break;
        case '-': Plus(ClassSet(CC_WHITE), true); break;
        case '.': Star(ClassSet(CC_SPACE), true); break;
        case '+': Star(ClassSet(CC_WHITE), true); break;
        case 'a': Emit(OP_ASSERT, AS_LINESTART); break;
        case 'e': Emit(OP_ASSERT, AS_LINEEND); break;
        case 'g': Emit(OP_ASSERT, AS_WORDSTART); break;
        case 'f': Emit(OP_ASSERT, AS_WORDEND); break;
        case 'z': {
            // [+-]? ( 0x hex+ | digit+ )
            CharSet sign;
            sign.Add('+');
            sign.Add('-');
            Optional(AddSet(sign));
            int split = Emit(OP_SPLIT);
            int hex = Emit(OP_SET, CharSetOf('0'));
            CharSet x;
            x.Add('x');
            x.Add('X');
            Emit(OP_SET, AddSet(x));
            Plus(ClassSet(CC_DIGIT | CC_HEXLETTER), true);
            int jmp = Emit(OP_JMP);
            int dec = (int)code.size();
            Plus(ClassSet(CC_DIGIT), true);
            code[split].x = hex;
            code[split].y = dec;
            code[jmp].x = (int)code.size();
            break;
        }
        case 'q': {
            // CR LF, CR or LF
            int split = Emit(OP_SPLIT);
            int cr = Emit(OP_SET, CharSetOf('\r'));
            Optional(CharSetOf('\n'));
            int jmp = Emit(OP_JMP);
            int lf = Emit(OP_SET, CharSetOf('\n'));
            code[split].x = cr;
            code[split].y = lf;
            code[jmp].x = (int)code.size();
            break;
        }
        case '[':
        case '(':
        case '{': {
            const char close = e == '[' ? ']' : e == '(' ? ')' : '}';
            if (!Body(p, i, close, body)) return false;
            CharSet set;
            if (!ParseSet(body, set)) return false;
            if (e == '{') {
                set.Invert();
                set.Remove('\r');
                set.Remove('\n');
            }
            if (e == '(') Optional(AddSet(set));
            else Emit(OP_SET, AddSet(set));
            break;
        }
        case '<': {
            if (!Body(p, i, '>', body)) return false;
            std::vector<std::string> alts;
            Split(body, alts);
            std::vector<int> jumps;
            for (size_t k = 0; k < alts.size(); ++k) {
                int split = -1;
                if (k + 1 < alts.size()) split = Emit(OP_SPLIT);
                int start = (int)code.size();
                Literal(alts[k]);
                if (split >= 0) {
                    jumps.push_back(Emit(OP_JMP));
                    code[split].x = start;
                    code[split].y = (int)code.size();
                }
            }
            for (int j : jumps) code[j].x = (int)code.size();
            break;
        }
        case '|': {
            if (!Body(p, i, '|', body)) return false;
            std::vector<std::string> strs, kept;
            Split(body, strs);
            for (const std::string& s : strs)
                if (!s.empty()) kept.push_back(s);
            lists.push_back(kept);
            // a run of characters in which none of the strings begins
            int split = Emit(OP_SPLIT);
            Emit(OP_NOTSTR, (int)lists.size() - 1);
            Emit(OP_SET, AnyButEol());
            Emit(OP_JMP, split);
            Branch(split, split + 1, (int)code.size(), i >= p.size());
            break;
        }
        case '#': {
            if (!Body(p, i, '#', body)) return false;
            std::string text = Decode(body);
            int split = Emit(OP_SPLIT);
            Literal(text);
            Branch(split, split + 1, (int)code.size(), true);
            break;
        }
        case '&':
        case '$': {
            if (!Body(p, i, e, body)) return false;
            std::string ch = Decode(body);
            if (ch.size() != 1) return false;
            if (e == '&') Emit(OP_SET, CharSetOf((unsigned char)ch[0]));
            else Optional(CharSetOf((unsigned char)ch[0]));
            break;
        }
        default: {
            // any other escape: the character it stands for ("\\", "\*", "\?", "\t", "\x41")
            size_t k = i - 2;
            int ch = NextChar(p, k);
            i = k;
            Emit(OP_SET, CharSetOf((unsigned char)ch));
        }
        }
    }
    Emit(OP_MATCH);
    ComputeFirst();
    return true;
}

// The characters that can start a match, for a quick refusal of most positions: the sets
// reachable from the start without consuming (assertions taken as passing).
void Program::ComputeFirst()
{
    hasFirst = true;
    first = CharSet();
    std::vector<char> seen(code.size(), 0);
    std::vector<int> stack(1, 0);
    while (!stack.empty()) {
        int pc = stack.back();
        stack.pop_back();
        if (seen[(size_t)pc]) continue;
        seen[(size_t)pc] = 1;
        const Inst& in = code[(size_t)pc];
        switch (in.op) {
        case OP_SET:
            for (int k = 0; k < 8; ++k) first.bits[k] |= sets[(size_t)in.x].bits[k];
            break;
        case OP_MATCH: hasFirst = false; return;
        case OP_JMP: stack.push_back(in.x); break;
        case OP_SPLIT:
            stack.push_back(in.x);
            stack.push_back(in.y);
            break;
        default: stack.push_back(pc + 1);
        }
    }
}

struct Matcher {
    std::string key;
    bool valid = false;
    Program prog;
    std::vector<int> clist, nlist, stack;
    std::vector<unsigned> mark;
    unsigned gen = 0;
};

bool IsWord(unsigned char c) { return (CharClassTable[c] & CC_WORD) != 0; }

class Run {
public:
    Run(Matcher& m, const unsigned char* text, int length, unsigned flags, const std::atomic<long>* stop)
        : m_(m), p_(m.prog), t_(text), n_(length), flags_(flags), stop_(stop) {}

    // Returns the end of the first match in priority order, or -1 (also when stopped). With
    // whole set, only a match that ends at the text's end counts.
    int Exec(bool whole)
    {
        m_.clist.clear();
        NewGeneration();
        Add(m_.clist, 0, 0);
        int matchEnd = -1;
        for (int pos = 0; !m_.clist.empty(); ++pos) {
            if ((pos & 4095) == 4095 && stop_ && stop_->load(std::memory_order_relaxed))
                return -1;
            NewGeneration();
            m_.nlist.clear();
            for (int pc : m_.clist) {
                const Inst& in = p_.code[(size_t)pc];
                if (in.op == OP_MATCH) {
                    if (!whole || pos == n_) {
                        matchEnd = pos;
                        break; // threads of lower priority are cut
                    }
                    continue;
                }
                // OP_SET
                if (pos < n_ && p_.sets[(size_t)in.x].Has(t_[pos])) Add(m_.nlist, pc + 1, pos + 1);
            }
            if (pos >= n_) break;
            m_.clist.swap(m_.nlist);
        }
        return matchEnd;
    }

private:
    void NewGeneration()
    {
        if (++m_.gen == 0) {
            std::fill(m_.mark.begin(), m_.mark.end(), 0u);
            m_.gen = 1;
        }
    }

    bool PrevWord(int pos) const { return pos == 0 ? (flags_ & 16) != 0 : IsWord(t_[pos - 1]); }
    bool NextWord(int pos) const { return pos < n_ && IsWord(t_[pos]); }

    bool Holds(int kind, int pos) const
    {
        switch (kind) {
        case AS_LINESTART:
            return pos == 0 ? !(flags_ & 8) : (t_[pos - 1] == '\r' || t_[pos - 1] == '\n');
        case AS_LINEEND:
            return pos == n_ || t_[pos] == '\r' || t_[pos] == '\n';
        case AS_WORDSTART:
            return NextWord(pos) && !PrevWord(pos);
        case AS_WORDEND:
            return PrevWord(pos) && !NextWord(pos);
        }
        return false;
    }

    bool StartsString(int list, int pos) const
    {
        for (const std::string& s : p_.lists[(size_t)list]) {
            if ((int)s.size() > n_ - pos) continue;
            if (MemCmpCase(t_ + pos, s.data(), s.size(), p_.fold) == 0) return true;
        }
        return false;
    }

    // Follows splits, jumps and assertions from pc in priority order and appends the threads
    // that wait on a character (or the match) to the list.
    void Add(std::vector<int>& list, int pc0, int pos)
    {
        std::vector<int>& st = m_.stack;
        st.clear();
        st.push_back(pc0);
        while (!st.empty()) {
            int pc = st.back();
            st.pop_back();
            if (m_.mark[(size_t)pc] == m_.gen) continue;
            m_.mark[(size_t)pc] = m_.gen;
            const Inst& in = p_.code[(size_t)pc];
            switch (in.op) {
            case OP_JMP: st.push_back(in.x); break;
            case OP_SPLIT:
                st.push_back(in.y);
                st.push_back(in.x);
                break;
            case OP_ASSERT:
                if (Holds(in.x, pos)) st.push_back(pc + 1);
                break;
            case OP_NOTSTR:
                if (!StartsString(in.x, pos)) st.push_back(pc + 1);
                break;
            default: list.push_back(pc);
            }
        }
    }

    Matcher& m_;
    const Program& p_;
    const unsigned char* t_;
    int n_;
    unsigned flags_;
    const std::atomic<long>* stop_;
};

// The calling thread's matcher, in a fiber-local slot whose callback frees it when the thread
// ends (thread_local objects with destructors are not reliable in this runtime).
void WINAPI FreeMatcher(void* p)
{
    delete static_cast<Matcher*>(p);
}

DWORD MatcherSlot()
{
    static const DWORD slot = FlsAlloc(FreeMatcher);
    return slot;
}

} // namespace

namespace {

int MatchWith(Matcher& m, const char* pattern, int patternLength, const char* text, int textLength, unsigned flags,
              const std::atomic<long>* stop)
{
    const bool fold = (flags & PM_FOLD) != 0;
    if (!m.valid || m.prog.fold != fold || m.key.size() != (size_t)patternLength ||
        std::memcmp(m.key.data(), pattern, (size_t)patternLength) != 0) {
        m.key.assign(pattern, (size_t)patternLength);
        m.valid = m.prog.Compile(pattern, patternLength, fold);
        m.prog.fold = fold;
        m.mark.assign(m.prog.code.size(), 0u);
        m.gen = 0;
        m.clist.reserve(m.prog.code.size());
        m.nlist.reserve(m.prog.code.size());
    }
    if (!m.valid) return 0;
    if (m.prog.hasFirst && (textLength == 0 || !m.prog.first.Has((unsigned char)text[0]))) return 0;
    Run run(m, reinterpret_cast<const unsigned char*>(text), textLength, flags, stop);
    if (flags & PM_ANCHORED) {
        int end = run.Exec(false);
        return end > 0 ? end : 0;
    }
    return run.Exec(true) >= 0 ? 1 : 0;
}

} // namespace

int PatternMatch(const char* pattern, int patternLength, const char* text, int textLength, unsigned flags)
{
    return PatternMatch(pattern, patternLength, text, textLength, flags, nullptr);
}

int PatternMatch(const char* pattern, int patternLength, const char* text, int textLength, unsigned flags,
                 const std::atomic<long>* stop)
{
    if (!pattern || patternLength < 0 || textLength < 0 || (!text && textLength > 0)) return 0;
    // The engine calls this for every position of a line with the same pattern: each thread
    // keeps its last compiled program.
    const DWORD slot = MatcherSlot();
    if (slot != FLS_OUT_OF_INDEXES) {
        Matcher* cached = static_cast<Matcher*>(FlsGetValue(slot));
        if (!cached) {
            cached = new (std::nothrow) Matcher;
            if (cached && !FlsSetValue(slot, cached)) {
                delete cached;
                cached = nullptr;
            }
        }
        if (cached) return MatchWith(*cached, pattern, patternLength, text, textLength, flags, stop);
    }
    Matcher local;
    return MatchWith(local, pattern, patternLength, text, textLength, flags, stop);
}
