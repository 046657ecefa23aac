// Placeholders of the execution menus: the values one item (a file, a hit or a compare line)
// gives, and their expansion into a command line for the command interpreter or into single
// program arguments that no inserted value can split.
#pragma once
#include <string>
#include <utility>
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
  kExecUnsafe = 4,    // the text cannot be written so that every value stays text: do not run
};

// Environment variables that a command line's interpreter gets: "VELLMORANT_" and a number.
extern const char kExecVarPrefix[];

// A command line for the command interpreter's batch file.
struct ExecCommandLine {
  std::string batch;   // the batch text (code page 1252; see CExecRun::BatchText)
  std::string shown;   // the line with the values in place, for messages
  // Variables the interpreter must get, named in batch as "%NAME%" inside double quotes:
  // the runs of value letters that have no exact OEM form (the batch file cannot hold them).
  std::vector<std::pair<std::string, std::string>> vars;
};

// Expands text as a command line for the command interpreter. "%%" of the text reaches the
// program as one '%' ("%%" in the batch, as a FOR variable wants it); the text's own
// references "%NAME%" (when its closing '%' starts no placeholder), "%1", "%*" and "%~dp0"
// stay for the interpreter to expand; any other '%' of the text is a '%' as text. A
// path value ("%p" ... "%e") and "%(NAME)" stay text whatever they hold: inside the text's
// double quotes as they are; outside them, when the value holds a blank, one of
// &|<>^(),;=%!" or a letter without an exact OEM form, or always for "%(NAME)", the whole word
// that holds it (up to a blank or tab outside quotes) goes into one pair of double quotes
// with the text's own quotes dropped and each of its '^' making the next character text, so
// that a C-runtime program reads one argument equal to the joined text. Backslashes that
// end such a word, or a value right before the text's closing quote, are doubled. A '^'
// right before a value escapes nothing (an empty value never lets it take the next quote).
// The "%-" path forms outside quotes are written as they are, each of &|<>^() with a '^'
// (blanks part arguments, but no name runs a command); "%-(NAME)" goes in as if typed.
// Returns kExec* bits; kExecUnsafe for a '^"' or a backslash before a dropped quote in a
// quoted word, or a "%(NAME)" value holding a double quote.
int ExpandExecCommandLine(const char* text, const ExecItemValues& values, ExecCommandLine& out);

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
