// Placeholder values and their expansion for the execution menus.
#include "app/ExecExpand.h"

#include <windows.h>

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

bool NeedsCmdQuotes(const std::string& value) {
  return value.find_first_of(" \t&|<>^(),;=") != std::string::npos;
}

std::string DoublePercent(const std::string& value) {
  std::string out;
  for (char c : value) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

// A value that stands outside double quotes as it is: the interpreter would read & | < > ^ ( )
// in it as operators (a file "a&del x" would run "del x"); a '^' before each makes it text.
std::string CmdEscaped(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c && strchr("&|<>^()", c)) out += '^';
    out += c;
    if (c == '%') out += '%';
  }
  return out;
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

int ExpandExecCommandLine(const char* text, const ExecItemValues& v, std::string& out) {
  out.clear();
  int result = 0;
  bool inQuotes = false;
  // A '^' of the text outside quotes makes the next character text, a quote too.
  bool caret = false;
  for (const char* p = text ? text : ""; *p;) {
    if (*p != '%') {
      if (caret)
        caret = false;
      else if (*p == '"')
        inQuotes = !inQuotes;
      else if (*p == '^' && !inQuotes)
        caret = true;
      out += *p++;
      continue;
    }
    Placeholder ph = ReadPlaceholder(p, v);
    std::string value;
    switch (ph.kind) {
      case Placeholder::None:
        caret = false;
        out += *p++;
        continue;
      case Placeholder::Percent:
        out += '%';
        break;
      case Placeholder::Number:
        result |= kExecUsesHit;
        out += ph.value;
        break;
      case Placeholder::Path:
        if (inQuotes) {
          value = DoublePercent(ph.value);
        } else if (!ph.minus && NeedsCmdQuotes(ph.value)) {
          // A separator before the closing quote is doubled so that no program reads \" .
          value = ph.value;
          if (!value.empty() && value.back() == '\\') value += '\\';
          value = '"' + DoublePercent(value) + '"';
        } else {
          value = CmdEscaped(ph.value);
        }
        // The text's '^' would take the value's opening quote or escape as text: it becomes a
        // '^' of its own.
        if (caret && !value.empty() && (value[0] == '"' || value[0] == '^')) out += '^';
        out += value;
        break;
      case Placeholder::Env:
        out += ph.minus ? DoublePercent(ph.value) : '"' + DoublePercent(ph.value) + '"';
        break;
    }
    caret = false;
    // The quotes of a value inserted as it is count for the values after it.
    if (ph.minus)
      for (char c : ph.value)
        if (c == '"') inQuotes = !inQuotes;
    p += ph.used;
  }
  if (out.size() > size_t(kExecMaxLine)) result |= kExecTooLong;
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
