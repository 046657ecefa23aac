// Placeholders of the execution menus: the values one item (a file, a hit or a compare line)
// gives, and their expansion into a command line for the command interpreter or into single
// program arguments that no inserted value can split.
#pragma once
#include <string>
#include <vector>

// The values that "%p", "%f", "%d", "%D", "%b", "%e", "%o", "%l" and "%s" insert.
struct ExecItemValues {
  std::string path;     // %p full path
  std::string name;     // %f name part
  std::string dirSep;   // %d folder with its trailing separator
  std::string dir;      // %D folder without it (a drive's root: "C:")
  std::string base;     // %b name without the suffix and its '.'
  std::string suffix;   // %e suffix without the '.'
  long long pos = 0;    // %o found position or byte offset
  int line = 0;         // %l line of a text hit
  int length = 0;       // %s found length
};

enum : int {
  kExecMaxLine = 1023,   // longest command line an entry builds
  kExecMaxPath = 259,    // longest item path
};

// Fills values from a full path and the hit's position, line and length (0 for files and
// compare lines). False (values unchanged) when the path is empty or longer than kExecMaxPath.
bool ExecItemValuesFromPath(const std::string& path, long long pos, int line, int length, ExecItemValues& values);

// Result bits of the expansions.
enum : int {
  kExecUsesHit = 1,   // the text holds "%o", "%l" or "%s"
  kExecTooLong = 2,   // the result exceeds kExecMaxLine: the item must not run
};

// Expands text as a command line for the command interpreter: values go in as they are, but
// every '%' of a value is doubled (the interpreter would expand %NAME%), and a path value
// outside double quotes that holds a blank or one of &|<>^(),;= is put in double quotes. The
// "%-" path forms are never quoted: outside quotes each of &|<>^() in them gets a '^', so
// that blanks still part arguments but no value runs a command of its own. A '^' of the text
// outside quotes escapes the next character as the interpreter reads it. "%%" gives '%';
// "%(NAME)" the variable in double quotes (its own enclosing quotes dropped), "%-(NAME)" as it
// is (an undefined one: "" or nothing); a '%' before anything else stays. Returns kExec* bits.
int ExpandExecCommandLine(const char* text, const ExecItemValues& values, std::string& out);

// Expands text into program arguments: the text splits at blanks and tabs outside double
// quotes (quotes group and are dropped; backslashes before a quote follow the C runtime's
// rules), and each inserted value stays inside its argument whatever it holds, except the
// "%-" forms, whose values split as if typed (a variable holding several options gives
// several arguments). "%(NAME)" alone gives an argument even when NAME is undefined,
// "%-(NAME)" then none; quotes around a variable's value are dropped. Returns kExec* bits
// (kExecTooLong when the quoted arguments exceed kExecMaxLine).
int ExpandExecArguments(const char* text, const ExecItemValues& values, std::vector<std::string>& args);

// A working folder: a leading "%D" or "%d" becomes the item's folder without or with its
// separator; a bare drive ("C:") becomes its root. False when the result would exceed
// kExecMaxPath.
bool ExpandExecFolder(const char* text, const ExecItemValues& values, std::string& out);
