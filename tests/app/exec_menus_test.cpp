// Execution menus: placeholder values and their expansion into command lines and program
// arguments, batch text, skipped items, and the menus' registry round trips.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/ExecExpand.h"
#include "app/ExecMenuStore.h"
#include "app/ExecRun.h"
#include "system/RegKeys.h"
#include "system/StartProg.h"
#include "system/StrList.h"

namespace {

ExecItemValues Values(const std::string& path, long long pos = 12, int line = 3, int length = 5) {
  ExecItemValues v;
  EXPECT_TRUE(ExecItemValuesFromPath(path, pos, line, length, v)) << path;
  return v;
}

TEST(ExecValues, PathParts) {
  struct Case {
    const char *path, *name, *dirSep, *dir, *base, *suffix;
  } cases[] = {
      {"C:\\a\\x.txt", "x.txt", "C:\\a\\", "C:\\a", "x", "txt"},
      {"C:\\a\\a.tar.gz", "a.tar.gz", "C:\\a\\", "C:\\a", "a.tar", "gz"},
      {"C:\\a\\.bashrc", ".bashrc", "C:\\a\\", "C:\\a", ".bashrc", ""},
      {"C:\\a\\noext", "noext", "C:\\a\\", "C:\\a", "noext", ""},
      {"C:\\x.txt", "x.txt", "C:\\", "C:", "x", "txt"},
      {"\\\\srv\\share\\y.c", "y.c", "\\\\srv\\share\\", "\\\\srv\\share", "y", "c"},
  };
  for (const Case& c : cases) {
    ExecItemValues v = Values(c.path);
    EXPECT_EQ(v.path, c.path);
    EXPECT_EQ(v.name, c.name) << c.path;
    EXPECT_EQ(v.dirSep, c.dirSep) << c.path;
    EXPECT_EQ(v.dir, c.dir) << c.path;
    EXPECT_EQ(v.base, c.base) << c.path;
    EXPECT_EQ(v.suffix, c.suffix) << c.path;
  }
  ExecItemValues v;
  EXPECT_FALSE(ExecItemValuesFromPath("", 0, 0, 0, v));
  EXPECT_FALSE(ExecItemValuesFromPath("C:\\" + std::string(257, 'a'), 0, 0, 0, v));
  EXPECT_TRUE(ExecItemValuesFromPath("C:\\" + std::string(256, 'a'), 0, 0, 0, v));
}

// A variable longer than any command line an entry builds.
const std::string kLongValue(1100, 'L');

class ExecExpand : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("VML", kLongValue.c_str());
    SetEnvironmentVariableA("VMX", "v a l");
    SetEnvironmentVariableA("VMQ", "\"q r\"");
    SetEnvironmentVariableA("VMU", nullptr);
    SetEnvironmentVariableA("VMH", "-o \"");   // opens a quote that the text closes
    SetEnvironmentVariableA("VMI", "a\"b");
  }
};

// The variables of an expanded line as "NAME=VALUE".
std::vector<std::string> VarTexts(const ExecCommandLine& line) {
  std::vector<std::string> texts;
  for (const auto& v : line.vars) texts.push_back(v.first + "=" + v.second);
  return texts;
}

TEST_F(ExecExpand, CommandLine) {
  struct Case {
    const char *path, *text, *out;
    int bits;
  } cases[] = {
      {"C:\\a\\x.txt", "/c copy %p %d..\\backup", "/c copy C:\\a\\x.txt C:\\a\\..\\backup", 0},
      {"C:\\a\\x.txt", "%f|%D|%b|%e", "x.txt|C:\\a|x|txt", 0},
      {"C:\\a\\x.txt", "%o %l %s", "12 3 5", kExecUsesHit},
      {"C:\\a\\x.txt", "%-l", "3", kExecUsesHit},
      // "%%" and a lone '%' of the text reach the program as one '%': the batch holds "%%".
      {"C:\\a\\x.txt", "%% 100% %x %-x %", "%% 100%% %%x %%-x %%", 0},
      // The text's own references stay for the interpreter; a FOR variable keeps its "%%".
      {"C:\\a b\\x.txt", "copy %p %TEMP%\\", "copy \"C:\\a b\\x.txt\" %TEMP%\\", 0},
      {"C:\\a\\x y.txt", "echo %TEMP%\\%f", "echo \"%TEMP%\\x y.txt\"", 0},
      {"C:\\a\\x.txt", "for %%i in (%f) do type %%i", "for %%i in (x.txt) do type %%i", 0},
      {"C:\\a\\x.txt", "echo %1 %* %~dp0 %~x", "echo %1 %* %~dp0 %%~x", 0},
      // A '%' whose partner starts a placeholder, or across a blank, is text.
      {"C:\\a\\x.txt", "echo %TEMP%f %A B%", "echo %%TEMPx.txt %%A B%%", 0},
      {"C:\\t\\a%&mkdir X", "\"prog\" 100% %f", "\"prog\" 100%% \"a%%&mkdir X\"", 0},
      {"C:\\t\\a%&mkdir X", "\"prog\" 1%TEMP%f", "\"prog\" \"1%%TEMPa%%&mkdir X\"", 0},
      {"C:\\a\\x.txt", "%(VMX) %-(VMX)", "\"v a l\" v a l", 0},
      {"C:\\a\\x.txt", "[%(VMU)][%-(VMU)]", "\"[][]\"", 0},
      {"C:\\a\\x.txt", "%-(VMQ) %(VMQ)", "\"q r\" \"q r\"", 0},
      {"C:\\a\\x.txt", "%(VMX", "%%(VMX", 0},
      // File names with blanks, '%' and the interpreter's operators stay one quoted word.
      {"C:\\a b\\50%&x.txt", "del %p", "del \"C:\\a b\\50%%&x.txt\"", 0},
      {"C:\\a b\\50%&x.txt", "del \"%p\"", "del \"C:\\a b\\50%%&x.txt\"", 0},
      {"C:\\a b\\x.txt", "cd %d", "cd \"C:\\a b\\\\\"", 0},
      // The "%-" forms go in unquoted, '%' still doubled, and outside quotes the interpreter's
      // operators and '^' escaped: a name runs no command of its own.
      {"C:\\a b\\50%&x.txt", "del %-p", "del C:\\a b\\50%%^&x.txt", 0},
      {"C:\\a\\a&mkdir INJ1", "\"C:\\p.exe\" R1 %-f", "\"C:\\p.exe\" R1 a^&mkdir INJ1", 0},
      {"C:\\a\\g&&mkdir INJ3", "p R1 %-p", "p R1 C:\\a\\g^&^&mkdir INJ3", 0},
      {"C:\\a\\c^d.txt", "p %-f", "p c^^d.txt", 0},
      {"C:\\a\\M\xFCller & S\xF6hne.txt", "p %-f", "p M\xFCller ^& S\xF6hne.txt", 0},
      {"C:\\(a)\\x|<y>.txt", "p %-p", "p C:\\^(a^)\\x^|^<y^>.txt", 0},
      // Inside the text's own quotes the interpreter takes them as text.
      {"C:\\a\\a&b(1)^.txt", "p \"%-f\" \"R %-p\"", "p \"a&b(1)^.txt\" \"R C:\\a\\a&b(1)^.txt\"", 0},
      // A '^' of the text escapes what follows it: never the value's opening quote or escape.
      {"C:\\a\\&x", "p ^%-f ^%p", "p ^^^&x \"C:\\a\\&x\"", 0},
      {"C:\\a\\b.txt", "p ^%-f ^%-(VMX)", "p ^b.txt ^v a l", 0},
      // A drive's root as "%D" ends in no separator that would escape the closing quote.
      {"C:\\x.txt", "p \"%D\" %f", "p \"C:\" x.txt", 0},
      {"C:\\a b\\x.txt", "cd %-d", "cd C:\\a b\\", 0},
      {"C:\\a b\\x.txt", "%-(VMH)%p\"", "-o \"C:\\a b\\x.txt\"", 0},
      {"C:\\a\\x.txt", "echo %(VMX)%%", "echo \"v a l%%\"", 0},
      // A long value is kept whole, and the line is then too long to run.
      {"C:\\a\\x.txt", "%-(VML)", kLongValue.c_str(), kExecTooLong},
      // A value joined to text outside quotes: the whole word goes into one pair of quotes,
      // so that a program reads the joined text as one argument.
      {"C:\\a b\\x y.txt", "p %d%f", "p \"C:\\a b\\x y.txt\"", 0},
      {"C:\\a b\\x y.txt", "p %D\\%f", "p \"C:\\a b\\x y.txt\"", 0},
      {"C:\\a b\\x y.txt", "p \\%p", "p \"\\C:\\a b\\x y.txt\"", 0},
      {"C:\\a b\\x y.txt", "p %f%f", "p \"x y.txtx y.txt\"", 0},
      {"C:\\a b\\x y.txt", "p \"\"%p", "p \"C:\\a b\\x y.txt\"", 0},
      {"C:\\a b\\x y.txt", "p %(VMX)%f", "p \"v a lx y.txt\"", 0},
      {"C:\\a b\\x y.txt", "p a\"b c\"%f --o=%b", "p \"ab cx y.txt\" \"--o=x y\"", 0},
      {"C:\\a b\\x y.txt", "/c copy %p %d..\\backup", "/c copy \"C:\\a b\\x y.txt\" \"C:\\a b\\..\\backup\"", 0},
      {"C:\\a b\\x y.txt", "p %f\\", "p \"x y.txt\\\\\"", 0},
      // A '^' inside such a word makes its next character text.
      {"C:\\a b\\x y.txt", "p ^&^\"q%f", "", kExecUnsafe},
      {"C:\\a b\\x y.txt", "p ^&%f^^", "p \"&x y.txt^\"", 0},
      {"C:\\a b\\x y.txt", "p \\\"x\"%p", "", kExecUnsafe},
      {"C:\\a\\&x", "p ^\"%p^\"", "", kExecUnsafe},
      // Separators before the text's closing quote are doubled, plain folders' too.
      {"C:\\a b\\x.txt", "p \"%d\" x", "p \"C:\\a b\\\\\" x", 0},
      {"C:\\a\\x.txt", "p \"%d\" \"%D\\\"", "p \"C:\\a\\\\\" \"C:\\a\\\"", 0},
      {"C:\\a\\noext", "p \"%d%e\"", "p \"C:\\a\\\\\"", 0},
      // The text's "%%" and '^' beside a value: nothing of the value acts.
      {"C:\\t\\a%&mkdir X", "\"prog\" 100%% %f", "\"prog\" 100%% \"a%%&mkdir X\"", 0},
      {"C:\\t\\a&mkdir X", "\"prog\" ^%e\"%f\"", "\"prog\" \"a&mkdir X\"", 0},
      {"C:\\t\\a&mkdir X", "\"prog\" ^%(VMX) \"%f\"", "\"prog\" \"v a l\" \"a&mkdir X\"", 0},
      {"C:\\t\\a&mkdir X", "\"prog\" %(VMI)", "", kExecUnsafe},
  };
  for (const Case& c : cases) {
    ExecCommandLine out;
    EXPECT_EQ(ExpandExecCommandLine(c.text, Values(c.path), out), c.bits) << c.text;
    if (!(c.bits & kExecUnsafe)) {
      EXPECT_EQ(out.batch, c.out) << c.text;
    }
    EXPECT_TRUE(out.vars.empty()) << c.text;
  }
  ExecCommandLine out;
  std::string text;
  for (int i = 0; i < 100; ++i) text += "%p ";
  EXPECT_EQ(ExpandExecCommandLine(text.c_str(), Values("C:\\a\\x.txt"), out) & kExecTooLong, kExecTooLong);
}

TEST_F(ExecExpand, LettersWithoutOemFormGoThroughVariables) {
  // ’ „ “ ” – … ‰ › ˆ Š in code page 1252: the batch holds the rest, the runs of these come
  // from the interpreter's environment, never a look-alike ("'", '"', '%', '>' ...).
  struct Case {
    const char *path, *text, *out, *shown;
    std::vector<std::string> vars;
  } cases[] = {
      {"C:\\a\\Peter\x92s.txt", "del /q %p", "del /q \"C:\\a\\Peter%VELLMORANT_1%s.txt\"",
       "del /q \"C:\\a\\Peter\x92s.txt\"", {"VELLMORANT_1=\x92"}},
      {"C:\\a\\Bericht\x9BListe.txt", "\"prog\" %f", "\"prog\" \"Bericht%VELLMORANT_1%Liste.txt\"",
       "\"prog\" \"Bericht\x9BListe.txt\"", {"VELLMORANT_1=\x9B"}},
      {"C:\\a\\x\x93&mkdir X\x94", "\"prog\" \"%f\"", "\"prog\" \"x%VELLMORANT_1%&mkdir X%VELLMORANT_2%\"",
       "\"prog\" \"x\x93&mkdir X\x94\"", {"VELLMORANT_1=\x93", "VELLMORANT_2=\x94"}},
      // A '%' of the name stays in the batch (doubled): a variable's text would be expanded
      // again by some interpreters.
      {"C:\\a\\x\x89VMX\x89 50%.txt", "p %f", "p \"x%VELLMORANT_1%VMX%VELLMORANT_2% 50%%.txt\"",
       "p \"x\x89VMX\x89 50%.txt\"", {"VELLMORANT_1=\x89", "VELLMORANT_2=\x89"}},
      {"C:\\\x84\x96\x85\\\x88\x8A.txt", "p %d%f %-f", "p \"C:\\%VELLMORANT_1%\\%VELLMORANT_2%.txt\" \x88\x8A.txt",
       "p \"C:\\\x84\x96\x85\\\x88\x8A.txt\" \x88\x8A.txt", {"VELLMORANT_1=\x84\x96\x85", "VELLMORANT_2=\x88\x8A"}},
  };
  for (const Case& c : cases) {
    ExecCommandLine out;
    EXPECT_EQ(ExpandExecCommandLine(c.text, Values(c.path), out), 0) << c.text;
    EXPECT_EQ(out.batch, c.out) << c.text;
    EXPECT_EQ(out.shown, c.shown) << c.text;
    EXPECT_EQ(VarTexts(out), c.vars) << c.text;
  }
}

TEST_F(ExecExpand, Arguments) {
  struct Case {
    const char *path, *text;
    std::vector<std::string> args;
    int bits;
  } cases[] = {
      {"C:\\a b\\x y.txt", "%p -x", {"C:\\a b\\x y.txt", "-x"}, 0},
      {"C:\\a b\\x y.txt", "\"%p\" %f", {"C:\\a b\\x y.txt", "x y.txt"}, 0},
      {"C:\\a\\x.txt", "%b\" and more\"", {"x and more"}, 0},
      {"C:\\a\\x.txt", "--at=%o:%l  %s", {"--at=12:3", "5"}, kExecUsesHit},
      {"C:\\a\\x.txt", "a %(VMU) b", {"a", "", "b"}, 0},
      {"C:\\a\\x.txt", "a %-(VMU) b", {"a", "b"}, 0},
      {"C:\\a\\x.txt", "%(VMQ) %-(VMX)", {"q r", "v", "a", "l"}, 0},
      // "%-" values split as if typed: their own quotes group.
      {"C:\\a\\x.txt", "-o%-(VMX) %-(VMQ)", {"-ov", "a", "l", "q r"}, 0},
      {"C:\\a b\\x y.txt", "%-p \"%-f\"", {"C:\\a", "b\\x", "y.txt", "x y.txt"}, 0},
      {"C:\\a\\x.txt", "a\\\"b \"c\\\\\"d e", {"a\"b", "c\\d", "e"}, 0},
      {"C:\\a\\x.txt", "\"\" %% %q", {"", "%", "%q"}, 0},
      {"C:\\a\\x.txt", "", {}, 0},
      {"C:\\a\\x.txt", "%(VML)", {kLongValue}, kExecTooLong},
      // Programs get no interpreter in between: values stay as they are.
      {"C:\\x.txt", "\"%D\" %-f", {"C:", "x.txt"}, 0},
      {"C:\\a\\a&b ^c.txt", "%-f %f", {"a&b", "^c.txt", "a&b ^c.txt"}, 0},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args;
    EXPECT_EQ(ExpandExecArguments(c.text, Values(c.path), args), c.bits) << c.text;
    EXPECT_EQ(args, c.args) << c.text;
  }
  std::vector<std::string> args;
  std::string text;
  for (int i = 0; i < 100; ++i) text += "%p ";
  EXPECT_EQ(ExpandExecArguments(text.c_str(), Values("C:\\a\\x.txt"), args) & kExecTooLong, kExecTooLong);
}

TEST_F(ExecExpand, Folder) {
  struct Case {
    const char *path, *dir, *out;
  } cases[] = {
      {"C:\\a\\x.txt", "%d..\\b", "C:\\a\\..\\b"},
      {"C:\\a\\x.txt", "%D", "C:\\a"},
      // A bare drive would be its current folder: the root is meant.
      {"C:\\x.txt", "%D", "C:\\"},
      {"C:\\x.txt", "%d", "C:\\"},
      {"C:\\x.txt", "%D\\sub", "C:\\sub"},
      {"C:\\x.txt", "D:", "D:"},
  };
  std::string out;
  for (const Case& c : cases) {
    EXPECT_TRUE(ExpandExecFolder(c.dir, Values(c.path), out)) << c.dir;
    EXPECT_EQ(out, c.out) << c.path << " " << c.dir;
  }
  EXPECT_FALSE(ExpandExecFolder(("%d" + std::string(255, 'z')).c_str(), Values("C:\\a\\x.txt"), out));
}

TEST(ExecBatch, OemText) {
  std::string out;
  EXPECT_TRUE(CExecRun::BatchText("type \"M\xFCller 5%%.txt\"", out));
  EXPECT_EQ(out, "type \"M\x81ller 5%%.txt\"");
  // Letters without an OEM form fail, look-alikes included (the euro sign, ’ „ “ – … ‰ › ˆ Š).
  for (const char* text : {"type \x80.txt", "del Peter\x92s.txt", "p \x84x\x93", "p a\x96\x62", "p a\x85",
                           "p x\x89PATH\x89", "p a\x9B\x62", "p \x88", "p \x8A"}) {
    EXPECT_FALSE(CExecRun::BatchText(text, out)) << text;
    EXPECT_EQ(out, "") << text;
  }
}

TEST(ExecRunTest, ItemsThatWouldBeCutAreSkipped) {
  std::string many;
  for (int i = 0; i < 100; ++i) many += "%f ";
  std::vector<ExecEntry> entries(1);
  entries[0].execute = "C:\\nowhere\\none.exe";
  entries[0].param = many.c_str();
  CStartProg runner;
  CExecBatches batches;
  CExecRun run(nullptr, runner, entries, batches, nullptr);
  ExecItem longName, longPath;
  longName.path = "C:\\a\\" + std::string(20, 'n');
  longPath.path = "C:\\" + std::string(300, 'p');
  run.Run({longName, longPath});
  EXPECT_EQ(run.SkippedCount(), 2);
  EXPECT_EQ(run.FirstSkipped(), longName.path);
}

TEST(ExecRunTest, CommandLinesThatCannotBeWrittenRunNothing) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string marker = std::string(temp) + "vm_exec_refused.txt";
  // A quote as text in a quoted word; a "%-" letter without an OEM form; a line that runs.
  struct Case {
    const char *path, *tail;
    bool runs;
  } cases[] = {
      {"C:\\a\\x y.txt", " & rem ^\"%p", false},
      {"C:\\a\\Peter\x92s.txt", " & rem %-f", false},
      {"C:\\a\\Peter\x92s.txt", " & rem %f", true},
  };
  for (const Case& c : cases) {
    DeleteFileA(marker.c_str());
    std::vector<ExecEntry> entries(1);
    entries[0].execute = "COMMAND";
    entries[0].command = 1;
    entries[0].param = ("echo ran> \"" + marker + "\"" + c.tail).c_str();
    CStartProg runner;
    CExecBatches batches;
    CExecRun run(nullptr, runner, entries, batches, nullptr);
    ExecItem item;
    item.path = c.path;
    run.Run({item});
    EXPECT_EQ(c.runs, GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES) << c.tail;
  }
  DeleteFileA(marker.c_str());
}

DWORD WINAPI WaitForEvent(LPVOID event) { return event ? WaitForSingleObject(event, INFINITE) : 0; }

TEST(ExecBatchesTest, EndedOnesGoAfterTheWaitTheRestLater) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string ended = std::string(temp) + "vm_batch_ended.bat", running = std::string(temp) + "vm_batch_running.bat";
  for (const std::string& path : {ended, running}) fclose(fopen(path.c_str(), "wb"));
  auto exists = [](const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; };
  // Threads stand in for the interpreters: one has ended, one runs until the event.
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE done = CreateThread(nullptr, 0, WaitForEvent, nullptr, 0, nullptr);
  HANDLE busy = CreateThread(nullptr, 0, WaitForEvent, event, 0, nullptr);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 5000));
  CExecBatches batches;
  batches.Add(ended, done);
  batches.Add(running, busy);
  EXPECT_EQ(1, batches.Settle(200, nullptr));
  EXPECT_FALSE(exists(ended));
  EXPECT_TRUE(exists(running));
  // Cancel ends the wait at once (else this would take a minute).
  volatile LONG cancel = 1;
  EXPECT_EQ(1, batches.Settle(60000, &cancel));
  batches.DeleteAll();
  EXPECT_EQ(0, batches.Count());
  EXPECT_FALSE(exists(running));
  SetEvent(event);
  CloseHandle(event);
}

TEST(ExecBatchesTest, NamesHeldByEarlierBatchesAreSkipped) {
  // Interpreters of an earlier run still hold more batch names than a start tries by itself.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  CExecBatches batches;
  std::vector<HANDLE> held;
  for (DWORD k = 1; k <= 80; ++k) {
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%sCMD%08lX-%lX.bat", temp, static_cast<unsigned long>(GetCurrentProcessId()),
             static_cast<unsigned long>(k));
    held.push_back(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_NE(INVALID_HANDLE_VALUE, held.back());
    batches.Add(name, nullptr);
  }
  const std::string marker = std::string(temp) + "vm_batch_marker.txt";
  DeleteFileA(marker.c_str());
  std::vector<ExecEntry> entries(1);
  entries[0].execute = "COMMAND";
  entries[0].command = 1;
  entries[0].noWait = 1;
  entries[0].param = ("echo ran> \"" + marker + "\"").c_str();
  CStartProg runner;
  CExecRun run(nullptr, runner, entries, batches, nullptr);
  ExecItem item;
  item.path = "C:\\a\\x.txt";
  run.Run({item});
  EXPECT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES);
  for (HANDLE h : held) CloseHandle(h);
  batches.DeleteAll();
  EXPECT_EQ(0, batches.Count());
  DeleteFileA(marker.c_str());
}

// Registry round trips under a key of the test's own.
class ExecStore : public ::testing::Test {
 protected:
  void SetUp() override {
    CRegKeys::SetAppName("VmExecMenusTest");
    RegDeleteTreeA(HKEY_CURRENT_USER, CRegKeys::GetAppKeyPath());
  }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, CRegKeys::GetAppKeyPath()); }
  static std::vector<std::string> Names() {
    CStrList names;
    ReadExecMenuNames(names);
    std::vector<std::string> v;
    for (int i = 0; i < names.m_nCount; ++i) v.push_back(names.GetString(i));
    return v;
  }
  static bool MenuKeyExists(int n) {
    std::string path = std::string(CRegKeys::GetAppKeyPath()) + "\\Executes\\Menu" + std::to_string(n);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }
};

ExecEntry Entry(const char* execute, const char* param, DWORD show = 1) {
  ExecEntry e;
  e.execute = execute;
  e.param = param;
  e.dir = "%D";
  e.stream = "a\\nb";
  e.show = show;
  e.noWait = show == 0;
  e.usePath = show == 2;
  e.command = execute[0] == 'C';
  if (!strcmp(execute, "SHELL")) e.shellMode = "print";
  return e;
}

TEST_F(ExecStore, RoundTripAndDelete) {
  EXPECT_EQ(CountExecMenus(), 0);
  std::vector<ExecEntry> one = {Entry("notepad.exe", "%p", 2), Entry("SHELL", "%p", 0),
                                Entry("COMMAND", "del \"%p\"", 3), Entry("SHELL", "%f")};
  one[3].shellMode = "";
  ASSERT_TRUE(WriteExecMenu(0, "&Eins", one));
  // Every shell call keeps its verb, an empty one too; other entries have none.
  std::string first = std::string(CRegKeys::GetAppKeyPath()) + "\\Executes\\Menu1";
  for (int n = 1; n <= 4; ++n) {
    bool shell = n == 2 || n == 4;
    std::string value = "ShellMode" + std::to_string(n);
    EXPECT_EQ(shell, RegGetValueA(HKEY_CURRENT_USER, first.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                                  nullptr) == ERROR_SUCCESS)
        << value;
  }
  ASSERT_TRUE(WriteExecMenu(1, "Zwei", {Entry("b.exe", "")}));
  ASSERT_TRUE(WriteExecMenu(2, "Drei", {Entry("c.exe", "%f")}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"&Eins", "Zwei", "Drei"}));

  CString name;
  std::vector<ExecEntry> back;
  ASSERT_TRUE(ReadExecMenu(0, name, back));
  EXPECT_STREQ(name, "&Eins");
  // Every field as one text, for whole-entry compares.
  auto text = [](const std::vector<ExecEntry>& v) {
    std::string s;
    for (const ExecEntry& e : v)
      s += std::string(e.execute) + "|" + e.param.GetString() + "|" + e.dir.GetString() + "|" + e.stream.GetString() +
           "|" + e.shellMode.GetString() + "|" + std::to_string(e.show) + std::to_string(e.noWait) +
           std::to_string(e.usePath) + std::to_string(e.command) + "\n";
    return s;
  };
  EXPECT_EQ(text(back), text(one));

  // Deleting the middle menu moves the third down and leaves no third key.
  ASSERT_TRUE(DeleteExecMenu(1, 3));
  EXPECT_EQ(Names(), (std::vector<std::string>{"&Eins", "Drei"}));
  ASSERT_TRUE(ReadExecMenu(1, name, back));
  ASSERT_EQ(back.size(), 1u);
  EXPECT_STREQ(back[0].param, "%f");
  EXPECT_TRUE(MenuKeyExists(2));
  EXPECT_FALSE(MenuKeyExists(3));

  // A gap hides every later menu.
  ASSERT_TRUE(WriteExecMenu(2, "Vier", {}));
  std::string second = std::string(CRegKeys::GetAppKeyPath()) + "\\Executes\\Menu2";
  RegDeleteTreeA(HKEY_CURRENT_USER, second.c_str());
  EXPECT_EQ(Names(), (std::vector<std::string>{"&Eins"}));
}

}  // namespace
