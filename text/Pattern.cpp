// The search-pattern matcher: the pattern is compiled into a small program of character sets,
// splits and assertions and run as a priority-ordered thread list (a Pike machine). That finds
// the same match as backtracking would, in time linear in the text: O(text × program).
// CPatternLineMatcher tries the pattern at many positions of one line and remembers which
// program steps died at which text positions, so that the tries of a whole line stay linear.
#include "text/Match.h"
#include "text/CharClass.h"
#include "text/Convert.h"

#include <windows.h>

#include <algorithm>
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
    // Steps that several others lead to (or the start): their index in a line's memo, else -1.
    std::vector<int> memoIndex;
    int memoCount = 0;

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
    void ComputeJoins();
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
            // "**" finds what "*" finds (the first one takes nothing first): one loop for both
            while (i < p.size() && p[i] == '*') ++i;
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
    ComputeJoins();
    return true;
}

// A step reached from one other step only is reached at a text position at most as often as
// that one; only the joins (and the start, reached afresh by every try) need remembering for
// the tries of a line to stay linear.
void Program::ComputeJoins()
{
    std::vector<int> in(code.size(), 0);
    in[0] = 1;
    for (size_t pc = 0; pc < code.size(); ++pc) {
        const Inst& i = code[pc];
        switch (i.op) {
        case OP_JMP: ++in[(size_t)i.x]; break;
        case OP_SPLIT:
            ++in[(size_t)i.x];
            ++in[(size_t)i.y];
            break;
        case OP_MATCH: break;
        default: ++in[pc + 1];
        }
    }
    memoIndex.assign(code.size(), -1);
    memoCount = 0;
    for (size_t pc = 0; pc < code.size(); ++pc)
        if (in[pc] >= 2 && code[pc].op != OP_MATCH) memoIndex[pc] = memoCount++;
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

// One bit for each join step of the program at each text position of a line: set when a try
// reached the step there. The bits live in blocks of positions, taken when first touched and
// given back once the tries have passed them, within a byte budget; positions without a block
// are simply not remembered.
class LineMemo {
public:
    enum { kBlockShift = 8, kBlock = 1 << kBlockShift };

    LineMemo() = default;
    LineMemo(const LineMemo&) = delete;
    LineMemo& operator=(const LineMemo&) = delete;
    ~LineMemo() { Free(); }

    // Forgets every bit; perPos bits per position from now on (0: nothing is remembered).
    void Reset(size_t lineStart, int perPos)
    {
        if (perPos != perPos_) {
            Free();
            perPos_ = perPos;
            words_ = ((size_t)perPos << kBlockShift) / 32;
        } else {
            for (unsigned* b : blocks_)
                if (b) pool_.push_back(b);
        }
        blocks_.clear();
        first_ = 0;
        start_ = lineStart;
    }

    void SetBudget(size_t bytes) { budget_ = bytes; }

    // Sets the bit of step index at position q; returns whether it was set already. A position
    // without room keeps nothing and gives false.
    bool TestAndSet(size_t q, int index)
    {
        unsigned* b = Block(q, true);
        if (!b) return false;
        const size_t bit = ((q - start_) & (kBlock - 1)) * (size_t)perPos_ + (size_t)index;
        const unsigned m = 1u << (bit & 31);
        if (b[bit >> 5] & m) return true;
        b[bit >> 5] |= m;
        return false;
    }

    // Clears the bits of the positions from..to (both included).
    void Clear(size_t from, size_t to)
    {
        for (size_t q = from; q <= to;) {
            const size_t end = std::min(to, ((q - start_) | (kBlock - 1)) + start_);
            if (unsigned* b = Block(q, false)) {
                const size_t lo = ((q - start_) & (kBlock - 1)) * (size_t)perPos_;
                const size_t hi = ((end - start_) & (kBlock - 1)) * (size_t)perPos_ + (size_t)perPos_;
                for (size_t bit = lo; bit < hi; ++bit) b[bit >> 5] &= ~(1u << (bit & 31));
            }
            q = end + 1;
        }
    }

    // The tries have passed every position below q: their blocks can serve later positions.
    void Pass(size_t q)
    {
        const size_t last = (q - start_) >> kBlockShift; // the block of q stays
        for (; first_ < last && first_ < blocks_.size(); ++first_)
            if (blocks_[first_]) {
                pool_.push_back(blocks_[first_]);
                blocks_[first_] = nullptr;
            }
    }

private:
    unsigned* Block(size_t q, bool make)
    {
        if (perPos_ == 0 || q < start_) return nullptr;
        const size_t i = (q - start_) >> kBlockShift;
        if (i < blocks_.size() && blocks_[i]) return blocks_[i];
        if (!make || i < first_) return nullptr;
        unsigned* b = nullptr;
        if (!pool_.empty()) {
            b = pool_.back();
            pool_.pop_back();
        } else if ((count_ + 1) * words_ * sizeof(unsigned) <= budget_) {
            b = new (std::nothrow) unsigned[words_];
            if (!b) return nullptr;
            ++count_;
        } else {
            return nullptr;
        }
        std::fill(b, b + words_, 0u);
        if (i >= blocks_.size()) blocks_.resize(i + 1, nullptr);
        blocks_[i] = b;
        return b;
    }

    void Free()
    {
        for (unsigned* b : blocks_) delete[] b;
        for (unsigned* b : pool_) delete[] b;
        blocks_.clear();
        pool_.clear();
        count_ = 0;
    }

    std::vector<unsigned*> blocks_; // by block of the line; null: not taken (or passed)
    std::vector<unsigned*> pool_;   // blocks to take again
    size_t count_ = 0;              // blocks allocated
    size_t first_ = 0;              // blocks below were passed
    size_t start_ = 0;
    size_t words_ = 0;
    size_t budget_ = 48u << 20;
    int perPos_ = 0;
};

// The thread lists that a try had at every kEvery-th position of the line, kept from the last
// try whose match ended inside a word. A later try that has the very same list at such a
// position goes on from there exactly as that one did, to the same match end inside a word,
// so that it can stop there: a line where every try ends so stays linear too.
class RunLists {
public:
    enum { kEvery = 64, kMaxSaved = 1 << 21 };

    void Reset(size_t lineStart)
    {
        start_ = lineStart;
        kept_.Clear();
        saving_.Clear();
        end_ = 0;
    }
    // A new try begins: its lists are saved afresh.
    void Begin() { saving_.Clear(); }
    bool Due(size_t q) const { return ((q - start_) & (kEvery - 1)) == 0; }
    void Save(size_t q, const std::vector<int>& list)
    {
        if (saving_.pcs.size() + list.size() > kMaxSaved) return;
        saving_.pos.push_back(q);
        saving_.at.push_back(saving_.pcs.size());
        saving_.pcs.insert(saving_.pcs.end(), list.begin(), list.end());
    }
    // Whether the kept try had this list at q, on its way to End().
    bool Same(size_t q, const std::vector<int>& list) const
    {
        if (q > end_) return false;
        const auto it = std::lower_bound(kept_.pos.begin(), kept_.pos.end(), q);
        if (it == kept_.pos.end() || *it != q) return false;
        const size_t i = (size_t)(it - kept_.pos.begin());
        const size_t from = kept_.at[i], to = i + 1 < kept_.at.size() ? kept_.at[i + 1] : kept_.pcs.size();
        return to - from == list.size() && std::equal(list.begin(), list.end(), kept_.pcs.begin() + (ptrdiff_t)from);
    }
    size_t End() const { return end_; }
    // The try just made ended inside a word at end: its lists are kept in place of the last.
    void Keep(size_t end)
    {
        std::swap(kept_, saving_);
        saving_.Clear();
        end_ = end;
    }

private:
    struct Lists {
        std::vector<size_t> pos; // positions, growing
        std::vector<size_t> at;  // where each position's list starts in pcs
        std::vector<int> pcs;
        void Clear()
        {
            pos.clear();
            at.clear();
            pcs.clear();
        }
    };
    Lists kept_, saving_;
    size_t start_ = 0;
    size_t end_ = 0;
};

class Run {
public:
    Run(Matcher& m, const unsigned char* text, int length, unsigned flags, const std::atomic<long>* stop)
        : m_(m), p_(m.prog), t_(text), n_(length), flags_(flags), stop_(stop) {}

    // Remembers the join steps reached in memo, the text's start being position base there;
    // a step whose bit is set already is not taken (reached before in this try, or dead).
    void UseMemo(LineMemo* memo, size_t base)
    {
        memo_ = memo;
        base_ = base;
    }
    // Saves the lists on the way into lists, and stops where one is that of the kept try.
    void UseLists(RunLists* lists) { lists_ = lists; }
    // After Exec: whether it stopped at a list of the kept try (it returned that try's end),
    // and the last position it reached.
    bool Same() const { return same_; }
    int Reached() const { return reached_; }

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
            reached_ = pos;
            if (lists_ && lists_->Due(base_ + (size_t)pos)) {
                if (lists_->Same(base_ + (size_t)pos, m_.clist)) {
                    same_ = true;
                    return (int)(lists_->End() - base_);
                }
                lists_->Save(base_ + (size_t)pos, m_.clist);
            }
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
            if (memo_) {
                const int index = p_.memoIndex[(size_t)pc];
                if (index >= 0 && memo_->TestAndSet(base_ + (size_t)pos, index)) continue;
            }
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
    LineMemo* memo_ = nullptr;
    size_t base_ = 0;
    RunLists* lists_ = nullptr;
    bool same_ = false;
    int reached_ = 0;
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

struct CPatternLineMatcher::State {
    Matcher m;
    LineMemo memo;
    RunLists lists;
    const unsigned char* text = nullptr;
    size_t lineStart = 0;
    size_t regionEnd = 0;
    bool wordEnd = false;
    bool shared = false;     // the tries of this line share their work
    size_t sharedFrom = 256; // regions shorter than this are tried each on its own
    // The bits at positions from here on belong to steps that died there; below it they may
    // belong to a match's way, so that a try further back starts the memo afresh.
    size_t deadFrom = 0;
};

CPatternLineMatcher::CPatternLineMatcher() : m_state(new State) {}

CPatternLineMatcher::~CPatternLineMatcher() = default;

bool CPatternLineMatcher::Compile(const char* pattern, int length, bool fold)
{
    Matcher& m = m_state->m;
    m.valid = pattern && length >= 0 && m.prog.Compile(pattern, length, fold);
    m.prog.fold = fold;
    m.mark.assign(m.prog.code.size(), 0u);
    m.gen = 0;
    m_state->memo.Reset(0, m.valid ? m.prog.memoCount : 0);
    return m.valid;
}

void CPatternLineMatcher::SetLine(const char* text, size_t lineStart, size_t regionEnd, bool wordEnd)
{
    State& s = *m_state;
    s.text = reinterpret_cast<const unsigned char*>(text);
    s.lineStart = lineStart;
    s.regionEnd = regionEnd;
    s.wordEnd = wordEnd;
    s.deadFrom = lineStart;
    s.shared = regionEnd >= lineStart && regionEnd - lineStart >= s.sharedFrom;
    s.memo.Reset(lineStart, s.m.valid && s.shared ? s.m.prog.memoCount : 0);
    s.lists.Reset(lineStart);
}

size_t CPatternLineMatcher::Try(size_t pos, const std::atomic<long>* stop)
{
    State& s = *m_state;
    const Program& prog = s.m.prog;
    if (!s.m.valid || !s.text || pos < s.lineStart || pos >= s.regionEnd) return 0;
    if (prog.hasFirst && !prog.first.Has(s.text[pos])) return 0;
    if (pos < s.deadFrom) SetLine((const char*)s.text, s.lineStart, s.regionEnd, s.wordEnd);
    s.memo.Pass(pos);
    // Both flags describe the real position, so that every try sees a position alike and the
    // steps that died in one try are dead for the next.
    const bool afterWord = pos > s.lineStart && IsWord(s.text[pos - 1]);
    const unsigned flags = (prog.fold ? PM_FOLD : 0u) | (pos > s.lineStart ? PM_NOT_BOL : 0u) |
                           (afterWord ? PM_WORD_PREV : 0u);
    Run run(s.m, s.text + pos, (int)(s.regionEnd - pos), flags, stop);
    if (!s.shared) {
        // A short line: each try alone costs little, remembering would cost more.
        const int end = run.Exec(false);
        if (end <= 0) return 0;
        const size_t e = pos + (size_t)end;
        return s.wordEnd && e < s.regionEnd && IsWord(s.text[e]) && IsWord(s.text[e - 1]) ? 0 : e;
    }
    run.UseMemo(&s.memo, pos);
    if (s.wordEnd) {
        s.lists.Begin();
        run.UseLists(&s.lists);
    }
    const int end = run.Exec(false);
    if (run.Same()) {
        // The kept try's way from here on: its end, inside a word.
        s.memo.Clear(pos + 1, pos + (size_t)run.Reached());
        s.deadFrom = pos + 1;
        return 0;
    }
    if (end < 0) {
        // No match: every step reached died, unless the try was given up.
        if (stop && stop->load(std::memory_order_relaxed)) s.deadFrom = (size_t)-1;
        return 0;
    }
    // Steps reached behind the match died; those up to its end may lie on its way.
    const size_t e = pos + (size_t)end;
    const bool inWord = s.wordEnd && end > 0 && e < s.regionEnd && IsWord(s.text[e]) && IsWord(s.text[e - 1]);
    if (end == 0 || inWord) {
        if (inWord) {
            s.memo.Clear(pos + 1, e);
            s.lists.Keep(e);
        }
        s.deadFrom = pos + 1;
        return 0;
    }
    s.memo.Clear(e, e);
    s.deadFrom = e;
    return e;
}

void CPatternLineMatcher::SetSharing(size_t bytes, size_t fromLength)
{
    m_state->memo.SetBudget(bytes);
    m_state->sharedFrom = fromLength;
}

