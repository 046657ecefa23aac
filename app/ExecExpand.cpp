// Placeholder values and their expansion for the execution menus.
#include "app/ExecExpand.h"

#include <windows.h>

#include <cctype>
#include <cstring>

#include "system/Paths.h"
#include "system/StartProg.h"

namespace {

// One placeholder at a '%'.
struct Placeholder {
  enum Kind { None, Percent, Path, Number, Env } kind = None;
  int used = 0;          // characters of the text it takes, '%' included
  bool minus = false;    // "%-": no quotes around the value
  std::string value;
};

std::string Decimal(long long v) {
  char buf[32];
  wsprintfA(buf, "%I64d", v);
  return buf;
}

// The whole value, however long: a cut or dropped one would run the entry with another
// argument than the user's (a long value makes the line too long instead).
std::string EnvValue(const std::string& name) {
  std::string value(256, '\0');
  for (int tries = 0; tries < 4; ++tries) {
    DWORD n = GetEnvironmentVariableA(name.c_str(), &value[0], DWORD(value.size()));
    if (n < value.size()) {
      value.resize(n);
      return value;
    }
    value.assign(n, '\0');
  }
  return std::string();
}

// Reads the placeholder at text[0] == '%'.
Placeholder ReadPlaceholder(const char* text, const ExecItemValues& v) {
  Placeholder ph;
  int i = 1;
  if (text[i] == '-') {
    ph.minus = true;
    ++i;
  }
  char c = text[i];
  const std::string* path = nullptr;
  switch (c) {
    case 'p': path = &v.path; break;
    case 'f': path = &v.name; break;
    case 'd': path = &v.dirSep; break;
    case 'D': path = &v.dir; break;
    case 'b': path = &v.base; break;
    case 'e': path = &v.suffix; break;
    case 'o': ph.kind = Placeholder::Number; ph.value = Decimal(v.pos); break;
    case 'l': ph.kind = Placeholder::Number; ph.value = Decimal(v.line); break;
    case 's': ph.kind = Placeholder::Number; ph.value = Decimal(v.length); break;
    case '%':
      if (!ph.minus) ph.kind = Placeholder::Percent;
      break;
    case '(': {
      const char* close = strchr(text + i + 1, ')');
      int nameLength = close ? int(close - (text + i + 1)) : -1;
      if (nameLength >= 0 && nameLength <= 254) {
        ph.kind = Placeholder::Env;
        ph.value = EnvValue(std::string(text + i + 1, nameLength));
        // "%(NAME)" puts the value in quotes: quotes it carries itself are those ones.
        if (!ph.minus && ph.value.size() >= 2 && ph.value.front() == '"' && ph.value.back() == '"')
          ph.value = ph.value.substr(1, ph.value.size() - 2);
        ph.used = i + 2 + nameLength;
        return ph;
      }
      break;
    }
    default: break;
  }
  if (path) {
    ph.kind = Placeholder::Path;
    ph.value = *path;
  }
  if (ph.kind != Placeholder::None) ph.used = i + 1;
  return ph;
}

// True when the code page 1252 character has the same character in the OEM code page, the
// one the interpreter reads batch files in (no look-alike: "’" must not become "'").
bool OemExact(char c) {
  wchar_t w = 0;
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &c, 1, &w, 1) != 1) return false;
  char oem[4];
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, &w, 1, oem, sizeof oem, nullptr, &lossy);
  return n == 1 && !lossy;
}

// A value that may stand outside quotes as it is.
bool PlainValue(const std::string& value) {
  for (char c : value)
    if (strchr(" \t&|<>^(),;=%!\"", c) || !OemExact(c)) return false;
  return true;
}

bool CmdOperator(char c) { return c && strchr("&|<>^()", c); }

// One piece of an expanded command line: a character as if typed, or a value that stays text.
struct Atom {
  bool value = false;
  char c = 0;
  bool escaped = false;   // a character that takes a '^' outside quotes
  bool raw = false;       // a '%' of the text's own reference: the interpreter expands it
  bool env = false;       // a "%(NAME)" value: always in quotes
  std::string text;       // the value
};

bool IsBlankAtom(const Atom& a) { return !a.value && !a.escaped && (a.c == ' ' || a.c == '\t'); }
bool IsQuoteAtom(const Atom& a) { return !a.value && !a.escaped && a.c == '"'; }

// Writes the atoms as batch text and as the line shown in messages.
class CmdWriter {
 public:
  explicit CmdWriter(ExecCommandLine& out) : m_out(out) {}
  void Char(char c) {
    m_out.batch += c;
    if (c == '%') m_out.batch += '%';
    m_out.shown += c;
  }
  void Escaped(char c) {
    if (c != '%') m_out.batch += '^';
    Char(c);
  }
  void Raw(char c) {
    m_out.batch += c;
    m_out.shown += c;
  }
  // A value inside double quotes: letters without an OEM form go through variables, whose
  // runs hold no '%' (the interpreter would expand their text again).
  void Value(const std::string& v) {
    for (size_t i = 0; i < v.size();) {
      if (OemExact(v[i])) {
        Char(v[i++]);
        continue;
      }
      size_t end = i;
      while (end < v.size() && !OemExact(v[end])) ++end;
      std::string name = kExecVarPrefix + std::to_string(m_out.vars.size() + 1);
      m_out.vars.emplace_back(name, v.substr(i, end - i));
      m_out.batch += '%' + name + '%';
      m_out.shown += v.substr(i, end - i);
      i = end;
    }
  }
  // Doubles the backslashes that end the batch text (from) on: a quote follows.
  void DoubleTrailingBackslashes(size_t from) {
    size_t n = m_out.batch.size(), k = n;
    while (k > from && m_out.batch[k - 1] == '\\') --k;
    m_out.batch.append(n - k, '\\');
    m_out.shown.append(n - k, '\\');
  }
  size_t Size() const { return m_out.batch.size(); }

 private:
  ExecCommandLine& m_out;
};

// Writes one word (atoms [begin, end)); inQuotes: the quote state at its start, updated.
// Returns false when it cannot be written safely.
bool WriteWord(const std::vector<Atom>& atoms, size_t begin, size_t end, bool& inQuotes, CmdWriter& w) {
  bool wrap = false;
  bool q = inQuotes;
  for (size_t i = begin; i < end && !wrap; ++i) {
    const Atom& a = atoms[i];
    if (IsQuoteAtom(a)) q = !q;
    if (a.value && !q && (a.env || !PlainValue(a.text))) wrap = true;
  }
  if (!wrap) {
    for (size_t i = begin; i < end; ++i) {
      const Atom& a = atoms[i];
      if (!a.value) {
        if (IsQuoteAtom(a)) inQuotes = !inQuotes;
        if (a.raw)
          w.Raw(a.c);
        else if (a.escaped && !inQuotes)
          w.Escaped(a.c);
        else
          w.Char(a.c);
        continue;
      }
      size_t start = w.Size();
      w.Value(a.text);
      // Empty values between it and the closing quote add nothing ("%d%e" without a suffix).
      size_t next = i + 1;
      while (next < end && atoms[next].value && atoms[next].text.empty()) ++next;
      if (inQuotes && next < end && IsQuoteAtom(atoms[next])) w.DoubleTrailingBackslashes(start);
    }
    return true;
  }
  // The word in one pair of quotes: the text's quotes only group, its carets only escape.
  w.Char('"');
  size_t start = w.Size();
  for (size_t i = begin; i < end; ++i) {
    const Atom& a = atoms[i];
    if (a.value) {
      w.Value(a.text);
    } else if (IsQuoteAtom(a)) {
      // A backslash before it would escape the quote that now follows elsewhere.
      if (i > begin && !atoms[i - 1].value && atoms[i - 1].c == '\\') return false;
      inQuotes = !inQuotes;
    } else if (a.c == '"') {
      // A quote as text would end the interpreter's quotes.
      return false;
    } else if (a.raw) {
      w.Raw(a.c);
    } else {
      w.Char(a.c);
    }
  }
  w.DoubleTrailingBackslashes(start);
  w.Char('"');
  return true;
}

// The length of a reference of the text's own at p[0] == '%' that the interpreter expands as
// the user wrote it: "%NAME%" whose closing '%' starts no placeholder, "%1", "%*" or "%~dp0";
// 0 for none. No value can stand inside one, and its name holds no blank, quote or '^', so
// that no quote of the expansion lands inside it.
int TextReference(const char* p, const ExecItemValues& v) {
  if ((p[1] >= '0' && p[1] <= '9') || p[1] == '*') return 2;
  if (p[1] == '~') {
    int i = 2;
    while (isalpha((unsigned char)p[i]) || p[i] == '$' || p[i] == ':') ++i;
    return p[i] >= '0' && p[i] <= '9' ? i + 1 : 0;
  }
  const char* close = strchr(p + 1, '%');
  if (!close || close == p + 1) return 0;
  for (const char* q = p + 1; q < close; ++q)
    if (strchr(" \t\"^", *q) || (unsigned char)*q < 32) return 0;
  if (ReadPlaceholder(close, v).kind != Placeholder::None) return 0;
  return int(close - p) + 1;
}

// Splits a text into program arguments as the C runtime does: blanks and tabs outside
// double quotes separate, quotes group and are dropped, backslashes before a quote escape.
class ArgSplitter {
 public:
  explicit ArgSplitter(std::vector<std::string>& args) : m_args(args) {}
  // One character of the text.
  void Text(char c) {
    if (c == '\\') {
      ++m_backslashes;
      return;
    }
    if (c == '"') {
      m_arg.append(m_backslashes / 2, '\\');
      if (m_backslashes % 2)
        m_arg += '"';
      else
        m_inQuotes = !m_inQuotes;
      m_backslashes = 0;
      m_have = true;
      return;
    }
    FlushBackslashes();
    if ((c == ' ' || c == '\t') && !m_inQuotes) {
      if (m_have) m_args.push_back(m_arg);
      m_arg.clear();
      m_have = false;
      return;
    }
    m_arg += c;
    m_have = true;
  }
  // A value that stays inside the current argument whatever it holds; makes the argument
  // exist when counts.
  void Value(const std::string& value, bool counts) {
    FlushBackslashes();
    m_arg += value;
    if (counts) m_have = true;
  }
  void End() {
    FlushBackslashes();
    if (m_have) m_args.push_back(m_arg);
    m_arg.clear();
    m_have = false;
  }

 private:
  void FlushBackslashes() {
    m_arg.append(m_backslashes, '\\');
    if (m_backslashes) m_have = true;
    m_backslashes = 0;
  }
  std::vector<std::string>& m_args;
  std::string m_arg;
  bool m_have = false, m_inQuotes = false;
  int m_backslashes = 0;
};

}  // namespace

bool ExecItemValuesFromPath(const std::string& path, long long pos, int line, int length, ExecItemValues& v) {
  if (path.empty() || path.size() > size_t(kExecMaxPath)) return false;
  int nameOffset = PathFileNameOffsetA(int(path.size()), path.c_str());
  v.path = path;
  v.name = path.substr(nameOffset);
  v.dirSep = path.substr(0, nameOffset);
  // A drive's root gives "C:": with its separator, a quoted "%D" would end in \", which
  // programs read as a quote inside the argument.
  v.dir = v.dirSep;
  size_t n = v.dir.size();
  if (n > 1 && (v.dir[n - 1] == '\\' || v.dir[n - 1] == '/')) v.dir.resize(n - 1);
  int suffixLength = 0;
  const char* suffix = PathFindExtensionA(int(v.name.size()), v.name.c_str(), &suffixLength);
  if (suffix) {
    v.suffix.assign(suffix, suffixLength);
    v.base = v.name.substr(0, suffix - v.name.c_str() - 1);
  } else {
    v.suffix.clear();
    v.base = v.name;
  }
  v.pos = pos;
  v.line = line;
  v.length = length;
  return true;
}

const char kExecVarPrefix[] = "VELLMORANT_";

int ExpandExecCommandLine(const char* text, const ExecItemValues& v, ExecCommandLine& out) {
  out = ExecCommandLine();
  int result = 0;
  std::vector<Atom> atoms;
  auto typed = [&](char c, bool escaped) {
    Atom a;
    a.c = c;
    a.escaped = escaped;
    atoms.push_back(a);
  };
  bool inQuotes = false;
  // A '^' of the text outside quotes makes the next character text.
  bool caret = false;
  for (const char* p = text ? text : ""; *p;) {
    if (*p != '%') {
      char c = *p++;
      if (caret) {
        typed(c, true);
        caret = false;
        continue;
      }
      if (c == '^' && !inQuotes) {
        caret = true;
        continue;
      }
      if (c == '"') inQuotes = !inQuotes;
      typed(c, false);
      continue;
    }
    Placeholder ph = ReadPlaceholder(p, v);
    switch (ph.kind) {
      case Placeholder::None: {
        // The user's own variable stays one; any other lone '%' is a '%' as text.
        int reference = TextReference(p, v);
        if (reference) {
          for (int i = 0; i < reference; ++i) {
            typed(p[i], false);
            atoms.back().raw = true;
          }
          p += reference;
        } else {
          typed('%', caret);
          ++p;
        }
        caret = false;
        continue;
      }
      case Placeholder::Percent:
        typed('%', caret);
        break;
      case Placeholder::Number:
        result |= kExecUsesHit;
        for (size_t i = 0; i < ph.value.size(); ++i) typed(ph.value[i], caret && i == 0);
        break;
      case Placeholder::Path:
      case Placeholder::Env:
        if (ph.kind == Placeholder::Env && !ph.minus) {
          if (ph.value.find('"') != std::string::npos) result |= kExecUnsafe;
          Atom a;
          a.value = a.env = true;
          a.text = ph.value;
          atoms.push_back(a);
        } else if (ph.kind == Placeholder::Path && (!ph.minus || inQuotes)) {
          Atom a;
          a.value = true;
          a.text = ph.value;
          atoms.push_back(a);
        } else {
          // As if typed; a path's operators stay text, a variable's act as the user put them.
          bool path = ph.kind == Placeholder::Path;
          // The text's '^' escapes the value's first character; before an operator of a
          // path it would be taken as text: it becomes a '^' of its own.
          if (caret && path && !ph.value.empty() && (CmdOperator(ph.value[0]) || ph.value[0] == '"'))
            typed('^', true);
          for (size_t i = 0; i < ph.value.size(); ++i) {
            char c = ph.value[i];
            bool escaped = (path && CmdOperator(c)) || (caret && i == 0);
            if (c == '"' && !escaped) inQuotes = !inQuotes;
            typed(c, escaped);
          }
        }
        break;
    }
    caret = false;
    p += ph.used;
  }
  if (caret) typed('^', true);

  CmdWriter w(out);
  bool quotes = false;
  for (size_t begin = 0; begin < atoms.size();) {
    // A blank or tab outside quotes ends a word.
    size_t end = begin;
    bool q = quotes;
    for (; end < atoms.size(); ++end) {
      if (IsBlankAtom(atoms[end]) && !q) break;
      if (IsQuoteAtom(atoms[end])) q = !q;
    }
    if (!WriteWord(atoms, begin, end, quotes, w)) result |= kExecUnsafe;
    if (end < atoms.size()) w.Char(atoms[end].c);
    begin = end + 1;
  }
  if (out.shown.size() > size_t(kExecMaxLine)) result |= kExecTooLong;
  return result;
}

int ExpandExecArguments(const char* text, const ExecItemValues& v, std::vector<std::string>& args) {
  args.clear();
  int result = 0;
  ArgSplitter split(args);
  for (const char* p = text ? text : ""; *p;) {
    if (*p != '%') {
      split.Text(*p++);
      continue;
    }
    Placeholder ph = ReadPlaceholder(p, v);
    switch (ph.kind) {
      case Placeholder::None:
        split.Value("%", true);
        ++p;
        continue;
      case Placeholder::Percent:
        split.Value("%", true);
        break;
      case Placeholder::Number:
        result |= kExecUsesHit;
        split.Value(ph.value, true);
        break;
      case Placeholder::Path:
      case Placeholder::Env:
        if (ph.minus) {
          // Inserted as if typed: blanks part arguments, quotes group them.
          for (char c : ph.value) split.Text(c);
        } else {
          // An empty value still makes an argument where the text asked for quotes.
          split.Value(ph.value, !ph.value.empty() || ph.kind == Placeholder::Env);
        }
        break;
    }
    p += ph.used;
  }
  split.End();
  size_t total = 0;
  for (const std::string& a : args) total += QuoteCommandArg(a.c_str(), int(a.size())).GetLength() + 1;
  if (total > size_t(kExecMaxLine) + 1) result |= kExecTooLong;
  return result;
}

bool ExpandExecFolder(const char* text, const ExecItemValues& v, std::string& out) {
  out = text ? text : "";
  if (out.size() >= 2 && out[0] == '%' && (out[1] == 'D' || out[1] == 'd')) {
    out = (out[1] == 'D' ? v.dir : v.dirSep) + out.substr(2);
    // "C:" alone names the drive's current folder, not its root.
    if (out.size() == 2 && out[1] == ':') out += '\\';
  }
  return out.size() <= size_t(kExecMaxPath);
}
