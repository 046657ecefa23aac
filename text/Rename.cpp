// Renaming by a format with '*', '?', '.' and swap blocks |x|y|.
#include "text/Match.h"
#include "text/CharClass.h"

#include <string>
#include <vector>

namespace {

enum ItemKind { IT_CHAR, IT_ONE, IT_ANY, IT_DOT, IT_BLOCK };

struct Item {
    ItemKind kind;
    char c = 0;
    std::vector<Item> find;  // IT_BLOCK: the first part (a pattern)
    std::string replace;     // IT_BLOCK: the second part (plain text)
};

// Splits the format into items; false for a format that CheckRenameFormat refuses.
bool ParseFormat(const char* format, bool allowDots, std::vector<Item>& items)
{
    items.clear();
    if (!format) return false;
    int part = 0; // 0 outside, 1 first part of a block, 2 second part
    Item block;
    for (const char* p = format; *p; ++p) {
        const char c = *p;
        if (c == '|') {
            part = (part + 1) % 3;
            if (part == 1) block = Item{IT_BLOCK};
            if (part == 0) items.push_back(block);
            continue;
        }
        if (part == 2) {
            if (c == '*' || c == '?') return false;
            block.replace += c;
            continue;
        }
        if (part == 1 && c == '.' && !allowDots) return false;
        Item it{IT_CHAR};
        it.c = c;
        if (c == '*') it.kind = IT_ANY;
        else if (c == '?') it.kind = IT_ONE;
        else if (c == '.' && part == 0) it.kind = IT_DOT;
        if (part == 1) block.find.push_back(it);
        else if (!(it.kind == IT_ANY && !items.empty() && items.back().kind == IT_ANY)) items.push_back(it);
    }
    return part == 0;
}

inline bool SameChar(char a, char b)
{
    return FileNameCharUpper((unsigned char)a) == FileNameCharUpper((unsigned char)b);
}

// Where a '*' stops when the items from seq[idx] on follow it (none: the end): before the
// last occurrence of a following character or dot; when a following character does not
// occur but a '.' of the format comes before the next '*', before the old name's last '.';
// at the end otherwise. -1 means "as short as the rest allows" (only inside a block).
int StarEnd(const std::string& src, size_t from, const std::vector<Item>* seq, size_t idx)
{
    if (!seq || idx >= seq->size()) return (int)src.size();
    const Item& next = (*seq)[idx];
    if (next.kind != IT_CHAR && next.kind != IT_DOT) return -1;
    auto last = [&](char c) {
        for (size_t k = src.size(); k > from; --k)
            if (SameChar(src[k - 1], c)) return (int)(k - 1);
        return -1;
    };
    int end = last(next.kind == IT_DOT ? '.' : next.c);
    if (end >= 0) return end;
    for (size_t k = idx; k < seq->size() && (*seq)[k].kind != IT_ANY && (*seq)[k].kind != IT_BLOCK; ++k)
        if ((*seq)[k].kind == IT_DOT) {
            end = last('.');
            break;
        }
    return end >= 0 ? end : (int)src.size();
}

// Anchored match of a block's first part at pos; returns the length or -1. follow is the
// format items from seq[idx] on follow the block (they decide where a trailing '*' stops).
class BlockMatcher {
public:
    BlockMatcher(const std::vector<Item>& find, const std::string& src, const std::vector<Item>* seq, size_t idx)
        : f_(find), s_(src), seq_(seq), idx_(idx), failed_((find.size() + 1) * (src.size() + 1), 0) {}

    int Match(size_t pos) { return Step(0, pos); }

private:
    int Step(size_t k, size_t pos)
    {
        if (k == f_.size()) return 0;
        char& memo = failed_[k * (s_.size() + 1) + pos];
        if (memo) return -1;
        int r = Try(k, pos);
        if (r < 0) memo = 1;
        return r;
    }

    int Try(size_t k, size_t pos)
    {
        const Item& it = f_[k];
        if (it.kind == IT_ANY) {
            if (k + 1 == f_.size()) {
                int end = StarEnd(s_, pos, seq_, idx_);
                if (end >= (int)pos) return end - (int)pos;
            }
            for (size_t e = pos; e <= s_.size(); ++e) {
                int r = Step(k + 1, e);
                if (r >= 0) return (int)(e - pos) + r;
            }
            return -1;
        }
        if (pos >= s_.size()) return -1;
        if (it.kind == IT_CHAR && !SameChar(it.c, s_[pos])) return -1;
        int r = Step(k + 1, pos + 1);
        return r < 0 ? -1 : r + 1;
    }

    const std::vector<Item>& f_;
    const std::string& s_;
    const std::vector<Item>* seq_;
    size_t idx_;
    std::vector<char> failed_;
};

bool ValidName(const std::string& name)
{
    if (name.empty()) return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
            c == '>' || c == '|')
            return false;
    return true;
}

bool BuildMask(const std::vector<Item>& items, bool blocksAsStar, std::string& mask)
{
    mask.clear();
    auto add = [&](char c) {
        if (c == '*' && !mask.empty() && mask.back() == '*') return;
        mask += c;
    };
    for (const Item& it : items) {
        switch (it.kind) {
        case IT_ANY: add('*'); break;
        case IT_ONE: add('?'); break;
        case IT_DOT: add('.'); break;
        case IT_CHAR: add(it.c); break;
        case IT_BLOCK:
            if (blocksAsStar) {
                add('*');
            } else {
                for (const Item& f : it.find) add(f.kind == IT_ANY ? '*' : f.kind == IT_ONE ? '?' : f.c);
            }
        }
    }
    return true;
}

// Applies the items to the old name; false when a block finds nothing to swap.
bool Apply(const std::vector<Item>& items, const std::string& src, std::string& out)
{
    out.clear();
    size_t s = 0;
    const size_t n = src.size();
    for (size_t k = 0; k < items.size(); ++k) {
        const Item& it = items[k];
        const Item* next = k + 1 < items.size() ? &items[k + 1] : nullptr;
        switch (it.kind) {
        case IT_CHAR:
            out += it.c;
            if (s < n && src[s] != '.') ++s;
            break;
        case IT_ONE:
            if (s < n && src[s] != '.') out += src[s++];
            break;
        case IT_DOT: {
            out += '.';
            size_t d = src.find('.', s);
            s = d == std::string::npos ? n : d + 1;
            break;
        }
        case IT_ANY: {
            if (next && next->kind == IT_BLOCK) {
                // as short as possible: up to the first place where the block fits
                BlockMatcher bm(next->find, src, &items, k + 2);
                size_t p = s;
                while (p <= n && bm.Match(p) < 0) ++p;
                if (p > n) return false;
                out.append(src, s, p - s);
                s = p;
                break;
            }
            int end = StarEnd(src, s, &items, k + 1);
            if (end < 0) end = (int)n;
            out.append(src, s, (size_t)end - s);
            s = (size_t)end;
            break;
        }
        case IT_BLOCK: {
            BlockMatcher bm(it.find, src, &items, k + 1);
            int len = bm.Match(s);
            if (len < 0) return false;
            out += it.replace;
            s += (size_t)len;
            break;
        }
        }
    }
    // Windows drops trailing dots and blanks of a name
    while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
    return true;
}

} // namespace

int RenameByPattern(const char* format, int oldLength, const char* oldName, char* out, int outSize, unsigned flags)
{
    if (out && outSize > 0) out[0] = 0;
    if (!out || outSize <= 0 || !oldName || oldLength < 0) return -1;
    std::vector<Item> items;
    if (!ParseFormat(format, (flags & RBP_ALLOW_DOTS) != 0, items)) return -1;
    const std::string src(oldName, (size_t)oldLength);
    if (flags & RBP_OUTSIDE_AS_FILTER) {
        std::string mask;
        BuildMask(items, true, mask);
        if (!WildcardMatchA(mask.c_str(), src.c_str())) return -1;
    }
    std::string name;
    if (flags & RBP_COMPUTE) {
        if (!Apply(items, src, name)) return -1;
    } else {
        name = src;
    }
    if (!ValidName(name) || (int)name.size() >= outSize) return -1;
    name.copy(out, name.size());
    out[name.size()] = 0;
    return (int)name.size();
}

int RenamePatternToMask(const char* format, char* out, unsigned flags)
{
    if (!out) return 0;
    out[0] = 0;
    std::vector<Item> items;
    if (!ParseFormat(format, (flags & RBP_ALLOW_DOTS) != 0, items)) return 0;
    std::string mask;
    BuildMask(items, (flags & RBP_OUTSIDE_AS_FILTER) != 0, mask);
    if (mask.size() >= 260) return 0;
    mask.copy(out, mask.size());
    out[mask.size()] = 0;
    return 1;
}
