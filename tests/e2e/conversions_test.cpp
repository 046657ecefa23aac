// The three conversions end to end: each command's dialog, its final message and the files'
// bytes afterwards, with every file listed twice.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/TempTree.h"
#include "e2e/support/AppSession.h"
#include "e2e/support/E2eDriver.h"

using namespace e2e;

namespace {

const int kConvertTabs = 32778, kAsciiAnsi = 32781, kLineEnds = 32784, kInsertAll = 32775, kFileList = 21396;

struct Step {
  int command;
  const char *dialog;
  std::function<void(HWND)> set;
  const char *message;
  const char *tabs, *text, *oem;   // the three files afterwards
};

}  // namespace

TEST(Conversions, CommandsConvertTheListedFiles) {
  DeleteUserKey(kAppKey);
  TempTree tree("cv");
  std::string tabs = tree.Write("tabs.txt", "a\tb\n"), text = tree.Write("text.txt", "x\r\n"),
              oem = tree.Write("oem.txt", "\x84\x94\x81\r\n");
  Process p;
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(Folder(tree)) + " -p:*"));
  HWND main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  ASSERT_EQ(3, SettledCount(p, FindChildById(main, kFileList)));
  // "Alle Dateien einfügen" lists the same files again: each is still converted and counted once,
  // and a file right as it is counts as converted.
  PostCommand(main, kInsertAll);
  ASSERT_EQ(6, SettledCount(p, FindChildById(main, kFileList)));

  const Step kSteps[] = {
      {kConvertTabs, "Tabs konvertieren", [](HWND) {}, "Es wurden 3 von 3 Dateien konvertiert.", "a\t\tb\r\n", "x\r\n",
       "\x84\x94\x81\r\n"},
      {kConvertTabs, "Tabs konvertieren", [](HWND d) { SetText(GetDlgItem(d, 1056), "8"); },
       "Es gab keine relevanten \xC4nderungen.", "a\t\tb\r\n", "x\r\n", "\x84\x94\x81\r\n"},
      {kConvertTabs, "Tabs konvertieren",
       [](HWND d) {
         SetText(GetDlgItem(d, 1054), "4");
         SetText(GetDlgItem(d, 1056), "0");   // blanks only
       },
       "Es wurden 3 von 3 Dateien konvertiert.", "a       b\r\n", "x\r\n", "\x84\x94\x81\r\n"},
      {kAsciiAnsi, "ASCII ANSI Konvertierung", [](HWND) {}, "Es wurden 3 von 3 Dateien konvertiert.",
       "a       b\r\n", "x\r\n", "\xE4\xF6\xFC\r\n"},
      {kLineEnds, "Carriage-Return Konverter",
       [](HWND d) {
         SetCheck(d, 1049, false);
         SetCheck(d, 1050, true);
       },
       "Es wurden 3 von 3 Dateien konvertiert.", "a       b\n", "x\n", "\xE4\xF6\xFC\n"},
  };
  for (const Step &s : kSteps) {
    PostCommand(main, s.command);
    HWND dlg = WaitTopWindow(p.Pid(), s.dialog, 10000);
    ASSERT_NE(nullptr, dlg) << s.dialog;
    s.set(dlg);
    ClickButton(dlg, IDOK);
    EXPECT_EQ(s.message, AnswerMessageBox(p, "Vellmorant"));
    EXPECT_EQ(s.tabs, testcommon::ReadFileBytes(tabs));
    EXPECT_EQ(s.text, testcommon::ReadFileBytes(text));
    EXPECT_EQ(s.oem, testcommon::ReadFileBytes(oem));
  }
  EXPECT_TRUE(CloseMain(p, main));
  DeleteUserKey(kAppKey);
}
