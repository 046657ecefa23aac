// The zip dialog's naming rules: the folder common to the listed files, the folder inside the
// archive, the name prefix of each file, the paths a user may not type as the archive, and the
// warning that names the files left out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
