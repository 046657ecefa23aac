// The status and tooltip texts of the file commands as the built program's string table holds
// them ("status\ntooltip").
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/Resource.h"

TEST(CommandTexts, StatusAndTooltipInTheProgram) {
  char dir[MAX_PATH] = "";
  ASSERT_GT(GetEnvironmentVariableA("VM_BINARY_DIR", dir, sizeof dir), 0u);
  std::string path = std::string("Z:") + dir + "\\app\\Vellmorant.exe";
  HMODULE exe = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, exe) << path;
  const struct {
    int id;
    const char *text;
  } cases[] = {
      {ID_INSERT_LINES, "F\xFCgt an der gefundenen Position eine oder meherer Zeilen ein.\nZeilen einf\xFCgen"},
      {ID_DELETE_LINES, "Zeilen an der gefundene Position l\xF6schen\nZeilen l\xF6schen"},
  };
  for (const auto &c : cases) {
    char text[256] = "";
    LoadStringA(exe, UINT(c.id), text, sizeof text);
    EXPECT_STREQ(c.text, text) << c.id;
  }
  FreeLibrary(exe);
}
