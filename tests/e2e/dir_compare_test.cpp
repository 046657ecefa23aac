// The directory compare end to end: F7 on a listed tree against a second tree, with each set
// of options, the exact result lines, the refusals and warnings, and deleting and sorting the
// lines afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/support/AppSession.h"
#include "e2e/support/E2eDriver.h"

using namespace e2e;

namespace {

const int kDirCompare = 32786, kSortName = 21404, kDelete = 22098, kAddFiles = 32771;
const int kFileList = 21396, kResults = 21397;
const int kPath = 1001, kPlus = 1002, kComparePath = 1004, kChanged = 1045, kAttributes = 1046, kDeleted = 1047, kAdded = 1048,
          kIgnoreLineEnds = 1068;

// A result line: the path, blanks up to the next column 16 * k + 17, the text.
std::string Line(const std::string &path, const std::string &text) {
  return path + std::string(17 - path.size() % 16, ' ') + text;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

struct Options {
  bool changed, attributes, deleted, added, ignoreLineEnds;
};

class DirCompare : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteUserKey(kAppKey);
    // The listed tree and its counterpart: one file per kind of difference.
    for (const char *name : {"same.txt", "ronly.txt", "hidden.txt", "sub\\same2.txt"}) {
      a.Write(name, "same");
      b.Write(name, "same");
      c.Write(name, "same");
    }
    const struct {
      const char *name, *listed, *counterpart;
    } kPairs[] = {{"changed.txt", "abcd", "abXd"}, {"longer.txt", "abc", "abcdef"}, {"crlf.txt", "a\r\nb\r\n", "a\nb\n"}};
    for (const auto &pair : kPairs) {
      a.Write(pair.name, pair.listed);
      c.Write(pair.name, pair.listed);
      // The counterpart's name differs in case only: still the same file.
      b.Write(pair.name == std::string("changed.txt") ? "Changed.TXT" : pair.name, pair.counterpart);
    }
    a.Write("gone.txt", "g");
    a.Write("sub\\gone2.txt", "g");
    c.Write("gone.txt", "g");
    c.Write("sub\\gone2.txt", "g");
    b.Write("new.txt", "n");
    b.Write("sub\\new2.txt", "n");
    SetFileAttributesA(b.Path("ronly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(b.Path("hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  }
  void TearDown() override { DeleteUserKey(kAppKey); }

  bool Start() {
    if (!p.Start(ProgramPath(), Quote(Folder(a)) + " -p:*")) return false;
    main = WaitMain(p);
    if (!main) return false;
    results = FindChildById(main, kResults);
    return results && SettledCount(p, FindChildById(main, kFileList)) == 9;
  }

  // F7 with the compare folder and options; returns when the dialog has closed.
  void Compare(const TempTree &other, const Options &o, const std::string &otherText = "",
               const std::string &pathText = "") {
    PostCommand(main, kDirCompare);
    HWND dlg = WaitTopWindow(p.Pid(), "Verzeichnisse vergleichen", 10000);
    ASSERT_NE(nullptr, dlg);
    SetText(GetDlgItem(dlg, kPath), pathText.empty() ? Folder(a) : pathText);
    SetText(GetDlgItem(dlg, kComparePath), otherText.empty() ? Folder(other) : otherText);
    plusAtOpening.push_back(GetText(GetDlgItem(dlg, kPlus)));
    // No plus filter: every file found only below the compare path counts.
    SetText(GetDlgItem(dlg, kPlus), "");
    SetCheck(dlg, kChanged, o.changed);
    SetCheck(dlg, kAttributes, o.attributes);
    SetCheck(dlg, kDeleted, o.deleted);
    SetCheck(dlg, kAdded, o.added);
    SetCheck(dlg, kIgnoreLineEnds, o.ignoreLineEnds);
    ClickButton(dlg, IDOK);
    ASSERT_TRUE(WaitWindowGone(dlg, 10000));
  }
  bool Idle() {
    int quiet = 0;
    return WaitFor([&] {
      quiet = FindTopWindow(p.Pid(), "Dateien vergleichen") || JobRunsUnseen(p.Pid(), main) ? 0 : quiet + 1;
      return quiet >= 4 && Responds(main);
    }, 60000, 100);
  }
  std::vector<std::string> Lines() { return ResultLines(p, results); }

  std::vector<std::string> plusAtOpening;   // the plus filter each opening of the dialog showed
  TempTree a{"dcA"}, b{"dcB"}, c{"dcC"}, empty{"dcE"};
  Process p;
  HWND main = nullptr, results = nullptr;
};

}  // namespace

TEST_F(DirCompare, OptionsGiveTheExpectedLines) {
  ASSERT_TRUE(Start());
  const std::string kChangedText = ":ver\xE4ndert", kLength = ":andere L\xE4nge", kMissing = ":Datei existiert nicht",
                    kNew = ":Neue Datei gefunden";
  const std::vector<std::string> common = {
      Line(b.Path("changed.txt"), kChangedText), Line(b.Path("longer.txt"), kLength),
      Line(a.Path("gone.txt"), kMissing),        Line(a.Path("sub\\gone2.txt"), kMissing),
      Line(a.Path("new.txt"), kNew),             Line(a.Path("sub\\new2.txt"), kNew)};
  std::vector<std::string> withLineEnds = common;
  withLineEnds.push_back(Line(b.Path("crlf.txt"), kLength));
  const struct {
    Options options;
    std::vector<std::string> lines;
  } kRuns[] = {
      {{true, false, true, true, false}, withLineEnds},
      {{true, false, true, true, true}, common},
      {{false, true, false, false, false},
       {Line(b.Path("ronly.txt"), ":RONLY+"), Line(b.Path("hidden.txt"), ":HIDDEN+")}},
      {{false, false, true, false, false}, {Line(a.Path("gone.txt"), kMissing), Line(a.Path("sub\\gone2.txt"), kMissing)}},
  };
  for (const auto &run : kRuns) {
    Compare(b, run.options);
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Sorted(run.lines), Sorted(Lines()));
    EXPECT_EQ(std::to_string(run.lines.size()) + " Eintr\xE4ge", StatusBarText(FindWindowExA(main, nullptr, "msctls_statusbar32", nullptr), 1));
  }

  // The emptied plus filter stays empty at the next opening (the first showed the newest of
  // the defaults); the older filters stay in the history that the add-files dialog shares.
  ASSERT_EQ(sizeof kRuns / sizeof kRuns[0], plusAtOpening.size());
  EXPECT_EQ("*.c;*.cpp;*.h;*.hpp;*.cc;*.cxx;*.asm;*.inl;*.inc;*.prv", plusAtOpening[0]);
  for (size_t i = 1; i < plusAtOpening.size(); ++i) EXPECT_EQ("", plusAtOpening[i]) << i;
  std::string plus;
  ASSERT_TRUE(ReadUserValue(kAppKey, "FilterPlus", &plus));
  ASSERT_FALSE(plus.empty());
  EXPECT_EQ('\0', plus[0]);
  EXPECT_EQ(5u, MultiString(plus.substr(1)).size());
  PostCommand(main, kAddFiles);
  HWND add = WaitTopWindow(p.Pid(), "Dateien hinzuf\xFCgen", 10000);
  ASSERT_NE(nullptr, add);
  EXPECT_EQ("", GetText(GetDlgItem(add, kPlus)));
  ClickButton(add, IDCANCEL);
  ASSERT_TRUE(WaitWindowGone(add, 10000));

  // A deleted line stays deleted when the lines are sorted again.
  Compare(b, kRuns[0].options);
  ASSERT_TRUE(Idle());
  std::string first = Lines()[0];
  DWORD_PTR r = 0;
  SendMessageTimeoutA(results, LB_SETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
  PostCommand(main, kDelete);
  PostCommand(main, kSortName);
  ASSERT_TRUE(Idle());
  std::vector<std::string> left = Lines();
  EXPECT_EQ(withLineEnds.size() - 1, left.size());
  EXPECT_EQ(left.end(), std::find(left.begin(), left.end(), first));
  EXPECT_TRUE(CloseMain(p, main));
}

TEST_F(DirCompare, RefusalsWarningsAndEmptyResults) {
  ASSERT_TRUE(Start());
  // Ignoring line ends alone reports nothing.
  Compare(b, {false, false, false, false, true});
  EXPECT_EQ("Es ist keine Vergleichsoption ausgew\xE4hlt !", AnswerMessageBox(p, "Fehler"));
  // The listed folder itself, spelt otherwise, is no compare folder.
  std::string upper = Folder(a), slashes;
  for (char &ch : upper) ch = char(toupper(ch));
  for (char ch : upper) slashes += ch == '\\' ? '/' : ch;
  for (const std::string &same : {upper + "\\\\", slashes + "/\\"}) {
    Compare(b, {true, false, false, false, false}, same);
    EXPECT_EQ("Quellpfad und Vergleichspfad sind gleich !", AnswerMessageBox(p, "Fehler")) << same;
  }

  // No counterpart at all: a warning, and the list says so.
  Compare(empty, {true, false, false, false, false});
  EXPECT_EQ("Es wurde keine Datei im Vergleichsverzeichniss gefunden !", AnswerMessageBox(p, "Warnung"));
  ASSERT_TRUE(Idle());
  EXPECT_EQ(std::vector<std::string>{"Es wurden keine Dateien gefunden."}, Lines());

  // The next run that finds counterparts without differences says that instead.
  Compare(c, {true, true, true, true, true});
  ASSERT_TRUE(Idle());
  EXPECT_EQ(std::vector<std::string>{"Keine Unterschiede gefunden."}, Lines());
  // The listed folder spelt with "." or "..", or by its short name, still holds the listed files.
  char shortName[MAX_PATH] = "";
  GetShortPathNameA(Folder(a).c_str(), shortName, MAX_PATH);
  for (const std::string &spelt : {Folder(a) + "\\.\\", Folder(a) + "\\sub\\..", std::string(shortName)}) {
    Compare(c, {true, true, true, true, true}, "", spelt);
    ASSERT_TRUE(Idle()) << spelt;
    EXPECT_EQ(std::vector<std::string>{"Keine Unterschiede gefunden."}, Lines()) << spelt;
  }
  EXPECT_TRUE(CloseMain(p, main));

  // Filled from the short name, the list is still the listed folder's typed in full.
  p.Kill();
  ASSERT_TRUE(p.Start(ProgramPath(), Quote(shortName) + " -p:*"));
  main = WaitMain(p);
  ASSERT_NE(nullptr, main);
  results = FindChildById(main, kResults);
  ASSERT_EQ(9, SettledCount(p, FindChildById(main, kFileList)));
  Compare(c, {true, true, true, true, true});
  ASSERT_TRUE(Idle());
  EXPECT_EQ(std::vector<std::string>{"Keine Unterschiede gefunden."}, Lines());
  EXPECT_TRUE(CloseMain(p, main));
}

// Cancel while the compare folder is listed for added files: the list says the compare was
// cancelled, with no warning about a folder without files.
TEST_F(DirCompare, CancelSaysSoAndWarnsOfNothing) {
  TempTree big{"dcBig"};
  for (int i = 0; i < 3000; ++i) big.Write("d" + std::to_string(i) + "\\n.txt", "n");
  ASSERT_TRUE(Start());
  // A run that ends before the Cancel arrives (a busy machine) proves nothing: try again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    Compare(big, {false, false, false, true, false});
    HWND progress = WaitTopWindow(p.Pid(), "Dateien vergleichen", 10000, nullptr);
    if (progress) ClickButton(progress, IDCANCEL);
    EXPECT_EQ(nullptr, WaitTopWindow(p.Pid(), "Warnung", 1000));
    ASSERT_TRUE(Idle());
    std::vector<std::string> lines = Lines();
    if (lines.size() == 3000 && attempt < 2) continue;
    EXPECT_EQ(std::vector<std::string>{"Der Vergleich wurde abgebrochen."}, lines);
    break;
  }
  EXPECT_TRUE(CloseMain(p, main));
}
