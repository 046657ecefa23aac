// Start-up pieces: the command-line options, the folder a document selects, WM_COPYDATA texts,
// the settings' bounds and the texts the status panes show.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/TempTree.h"
#include "app/MainFrm.h"
#include "app/Resource.h"
#include "app/StartOptions.h"
#include "app/VellmorantDoc.h"
#include "app/VellmorantView.h"

namespace {

StartOptions Parse(std::initializer_list<const char*> args) {
  std::vector<const char*> argv = {"Vellmorant.exe"};
  argv.insert(argv.end(), args.begin(), args.end());
  return ParseStartOptions((int)argv.size(), argv.data());
}

COPYDATASTRUCT Cds(ULONG_PTR code, size_t size, const void* data) {
  COPYDATASTRUCT c;
  c.dwData = code;
  c.cbData = (DWORD)size;
  c.lpData = const_cast<void*>(data);
  return c;
}

}  // namespace

TEST(StartOptions, FiltersWithEitherPrefixAndCase) {
  StartOptions a = Parse({"-P:*.c"});
  EXPECT_TRUE(a.hasPlus);
  EXPECT_STREQ("*.c", a.plus);
  StartOptions b = Parse({"/p:*.c;*.h", "/M:*.bak"});
  EXPECT_STREQ("*.c;*.h", b.plus);
  EXPECT_TRUE(b.hasMinus);
  EXPECT_STREQ("*.bak", b.minus);
  EXPECT_TRUE(b.subDirs);
  EXPECT_TRUE(b.FillsList());
}

TEST(StartOptions, IgnoredAndOverriddenArguments) {
  StartOptions a = Parse({"-p*.c", "C:\\src", "p:*.x", "-x", "-"});
  EXPECT_FALSE(a.hasPlus);
  EXPECT_FALSE(a.hasMinus);
  EXPECT_FALSE(a.FillsList());
  StartOptions b = Parse({"-p:*.a", "-p:*.b", "-sx"});
  EXPECT_STREQ("*.b", b.plus);
  EXPECT_FALSE(b.subDirs);
  // "-s" alone fills nothing.
  StartOptions c = Parse({"-s"});
  EXPECT_FALSE(c.subDirs);
  EXPECT_FALSE(c.FillsList());
  // An empty filter still counts as given.
  StartOptions d = Parse({"-m:"});
  EXPECT_TRUE(d.hasMinus);
  EXPECT_STREQ("", d.minus);
}

TEST(DocumentFolder, FoldersRootsSharesAndFiles) {
  testcommon::TempDir tmp("vm_spine_");
  const std::string& dir = tmp.Path();
  std::string file = tmp.Write("a.txt", "");
  EXPECT_STREQ(dir.c_str(), DocumentFolderFor(dir.c_str()));
  EXPECT_STREQ((dir + "\\").c_str(), DocumentFolderFor(file.c_str()));
  EXPECT_STREQ("C:\\", DocumentFolderFor("C:\\"));
  EXPECT_STREQ("\\\\server", DocumentFolderFor("\\\\server"));
  EXPECT_STREQ("\\\\server\\share", DocumentFolderFor("\\\\server\\share"));
  EXPECT_STREQ("", DocumentFolderFor(""));
}

TEST(CopyData, BoundedTerminatedTexts) {
  // 300 bytes without a terminator: read up to the data's size, never beyond.
  std::string raw(300, 'x');
  COPYDATASTRUCT cds = Cds(COPYDATA_OPEN_TEXT_SEARCH, (DWORD)raw.size(), &raw[0]);
  CString text;
  ASSERT_TRUE(TextFromCopyData(&cds, text));
  EXPECT_EQ(300, text.GetLength());
  // Stops at the first NUL.
  const char withNul[] = "abc\0def";
  cds = Cds(COPYDATA_OPEN_TEXT_SEARCH, sizeof withNul, withNul);
  ASSERT_TRUE(TextFromCopyData(&cds, text));
  EXPECT_STREQ("abc", text);
  // UTF-16 with bit 0x8000: converted to the ANSI code page.
  const WCHAR wide[] = {L'G', L'r', 0x00FC, 0x00DF, L'e'};
  cds = Cds(COPYDATA_OPEN_TEXT_SEARCH | COPYDATA_UTF16, sizeof wide, wide);
  ASSERT_TRUE(TextFromCopyData(&cds, text));
  EXPECT_STREQ("Gr\xFC\xDF" "e", text);
  // Long UTF-16 texts are cut to 259 bytes.
  std::wstring longWide(600, L'w');
  cds = Cds(COPYDATA_OPEN_TEXT_SEARCH | COPYDATA_UTF16, (DWORD)(longWide.size() * 2), &longWide[0]);
  ASSERT_TRUE(TextFromCopyData(&cds, text));
  EXPECT_EQ(259, text.GetLength());
  // Other codes are not requests; no data is a request with an empty text.
  cds = Cds(0x27F50003, 3, "abc");
  EXPECT_FALSE(TextFromCopyData(&cds, text));
  cds = Cds(COPYDATA_OPEN_TEXT_SEARCH, 0, nullptr);
  EXPECT_TRUE(TextFromCopyData(&cds, text));
  EXPECT_STREQ("", text);
  EXPECT_FALSE(TextFromCopyData(nullptr, text));
}

TEST(ViewSettings, Bounds) {
  EXPECT_EQ(1000u, ClampCacheSizeMB(5000));
  EXPECT_EQ(0u, ClampCacheSizeMB(-3));
  EXPECT_EQ(250u, ClampCacheSizeMB(250));
  EXPECT_EQ(10, ClampResultLimit(5));
  EXPECT_EQ(1000000, ClampResultLimit(2000000));
  EXPECT_EQ(1000, ClampResultLimit(1000));
  EXPECT_EQ((SIZE_T)0x2000000, CacheWorkingSetMinimum(0));
  EXPECT_EQ((SIZE_T)131072000, CacheWorkingSetMinimum(262144000));
}

TEST(ViewSettings, TextsAndSeparators) {
  EXPECT_STREQ("1 Datei", FileCountText(1));
  EXPECT_STREQ("0 Dateien", FileCountText(0));
  EXPECT_STREQ("7 Dateien", FileCountText(7));
  const struct {
    int count;
    const char* text;
  } leftOut[] = {
      {1, "Es wurde 1 Datei oder Verzeichnis übergangen: sie konnte nicht gelesen werden, oder ihr Pfad ist zu lang "
          "oder nicht darstellbar."},
      {2, "Es wurden 2 Dateien oder Verzeichnisse übergangen: sie konnten nicht gelesen werden, oder ihr Pfad ist zu "
          "lang oder nicht darstellbar."},
      {21, "Es wurden 21 Dateien oder Verzeichnisse übergangen: sie konnten nicht gelesen werden, oder ihr Pfad ist "
           "zu lang oder nicht darstellbar."},
  };
  for (const auto& c : leftOut) EXPECT_STREQ(c.text, SkippedEntriesText(c.count)) << c.count;
  CString p("C:\\");
  DropTrailingSeparatorKeepRoot(p);
  EXPECT_STREQ("C:\\", p);
  p = "C:\\src\\";
  DropTrailingSeparatorKeepRoot(p);
  EXPECT_STREQ("C:\\src", p);
  p = "\\";
  DropTrailingSeparatorKeepRoot(p);
  EXPECT_STREQ("\\", p);
  p = "";
  DropTrailingSeparatorKeepRoot(p);
  EXPECT_STREQ("", p);
}
