// The zip dialog's naming rules: the folder common to the listed files, the folder inside the
// archive, the name prefix of each file, the paths a user may not type as the archive, and the
// warning that names the files left out.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/TempTree.h"

#include "zip/ZipDlg.h"
#include "zip/ZipFile.h"

TEST(ZipDlgNames, CommonFolderNarrowsByWholeNames) {
  struct Case {
    std::vector<const char *> folders;
    const char *common;
  } const cases[] = {
      {{"C:\\a\\b\\"}, "C:\\a\\b\\"},
      {{"C:\\a\\b\\", "C:\\A\\B\\c\\"}, "C:\\a\\b\\"},
      {{"C:\\a\\b\\", "C:\\a\\c\\"}, "C:\\a"},
      {{"C:\\a\\bc\\", "C:\\a\\b\\"}, "C:\\a"},                    // "b" is no folder of "bc"
      {{"C:\\a\\b\\c\\", "C:\\a\\b\\", "C:\\a\\b/x\\"}, "C:\\a\\b"},
      {{"C:\\a\\", "D:\\a\\"}, ""},
      {{"\\\\srv\\s\\a\\", "\\\\srv\\s\\b\\"}, "\\\\srv\\s"},
      // Letters beyond ASCII compare without case too, as the file system compares them.
      {{"C:\\\xDC" "bung\\", "c:\\\xFC" "BUNG\\x\\"}, "C:\\\xDC" "bung\\"},
      {{"C:\\\x8A\\\xC4\\", "C:\\\x9A\\\xE4\\y\\", "C:\\\x9A\\\xC5\\"}, "C:\\\x8A"},
  };
  for (const Case &c : cases) {
    std::string common = c.folders[0];
    for (size_t i = 1; i < c.folders.size(); ++i)
      if (!ZipNarrowCommonFolder(common, c.folders[i])) break;
    EXPECT_EQ(c.common, common) << c.folders[1 % c.folders.size()];
  }
}

TEST(ZipDlgNames, PrefixIsArchiveFolderAndRelativeFolder) {
  struct Case {
    const char *zipPath, *common, *folder, *prefix;
  } const cases[] = {
      {"", "C:\\a\\", "C:\\a\\", ""},
      {"", "C:\\a\\", "C:\\a\\s\\t\\", "s\\t\\"},
      {"/x/y", "C:\\a\\", "c:\\A\\s\\", "x\\y\\s\\"},
      {"\\\\x\\", "C:\\a\\", "D:\\b\\", "x\\"},
      {"x", "", "D:\\b\\", "x\\"},
      {"", "C:\\\xDC" "bung\\", "c:\\\xFC" "bung\\s\\", "s\\"},
      {"", "C:\\\xDC" "bung\\", "c:\\\xDC" "bungen\\s\\", ""},
  };
  for (const Case &c : cases)
    EXPECT_EQ(c.prefix, ZipNamePrefix(ZipArchiveFolder(c.zipPath), c.common, c.folder)) << c.zipPath << c.folder;
}

TEST(ZipDlgNames, ResourceAndMemoryPathsAreNoArchiveNames) {
  for (const char *p : {"MEM:\\\\00400000-100", "res://DATA/1", " mem:x"}) EXPECT_TRUE(ZipIsLocatorPath(p)) << p;
  for (const char *p : {"C:\\res\\a.zip", "MEMO.zip", "", "M:\\a.zip"}) EXPECT_FALSE(ZipIsLocatorPath(p)) << p;
}

TEST(ZipDlgNames, LeftOutFilesAreNamedWithWhy) {
  EXPECT_EQ("", ZipSkippedMessage({}));
  EXPECT_EQ("3 Dateien konnten nicht gepackt werden:\n"
            "\nC:\\s\\a.txt: hat im Archiv denselben Namen wie eine andere Datei"
            "\nC:\\b.txt: kann nicht ge\xF6" "ffnet werden"
            "\nC:\\c.txt: kann nicht gelesen werden",
            ZipSkippedMessage({{"C:\\s\\a.txt", 35}, {"C:\\b.txt", 24}, {"C:\\c.txt", 27}}));
}

// A file listed by a short name goes into the archive by its own names: those of its folders
// below the common folder and its own, behind the archive's folder.
TEST(ZipDlgNames, OwnEntryNameReplacesTheShortNames) {
  testcommon::TempDir dir("zipdlg_");
  std::wstring base;
  for (char ch : dir.Path()) base += wchar_t(static_cast<unsigned char>(ch));
  const std::wstring greek = L"\x0391\x03B2\x03B3", sub = base + L"\\sub", deep = sub + L"\\" + greek;
  ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  for (const std::wstring &f : {sub + L"\\" + greek + L".txt", deep + L"\\x.txt", sub + L"\\plain.txt"}) {
    HANDLE h = CreateFileW(f.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
  }
  // A name as a listing spells it: its short name.
  auto shortName = [](const std::wstring &path) {
    wchar_t s[MAX_PATH];
    DWORD n = GetShortPathNameW(path.c_str(), s, MAX_PATH);
    std::wstring w(s, n < MAX_PATH ? n : 0);
    w.erase(0, w.rfind(L'\\') + 1);
    return std::string(w.begin(), w.end());  // short names are ASCII
  };
  const std::string root = dir.Path() + "\\", file = root + "sub\\" + shortName(sub + L"\\" + greek + L".txt"),
                    folder = root + "sub\\" + shortName(deep) + "\\";
  const struct {
    const char *label;
    std::string path, common, archiveFolder;
    std::wstring own;
  } rows[] = {
      {"the file", file, root, "a\\", L"a\\sub\\" + greek + L".txt"},
      {"its folder", folder + "x.txt", root, "", L"sub\\" + greek + L"\\x.txt"},
      {"its folder is the common one", folder + "x.txt", folder, "", L""},
      {"outside the common folder", file, "D:\\other\\", "", greek + L".txt"},
      {"no short name", root + "sub\\plain.txt", root, "a\\", L""},
  };
  for (const auto &r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_TRUE(ZipOwnEntryName(r.archiveFolder, r.common, r.path.c_str()) == r.own) << r.path;
  }
}
