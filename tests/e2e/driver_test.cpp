// The end-to-end driver itself, against the sibling stand-in: start, find the window, send the
// sibling protocol's messages, read back the stand-in's record, close.
#include <gtest/gtest.h>

#include "e2e/support/E2eDriver.h"

using namespace e2e;

namespace {

std::string CopyStandin(const TempTree &tree, const char *name) {
  std::string target = tree.Path(name);
  EXPECT_TRUE(CopyFileA((ExeDir() + "standin_sibling.exe").c_str(), target.c_str(), FALSE));
  return target;
}

}  // namespace

TEST(E2eDriver, StandinRecordsArgumentsAndMessages) {
  TempTree tree("driver");
  std::string exe = CopyStandin(tree, "Blenkor.exe");
  Process p;
  ASSERT_TRUE(p.Start(exe, "-F:0x00001234 \"with blank\""));
  HWND main = p.WaitMainWindow(10000, "VmStandin");
  ASSERT_NE(nullptr, main);
  EXPECT_EQ("Blenkor", GetText(main));

  const char text[] = "C:\\Daten\\Gr\xFC\xDF" "e.txt";
  EXPECT_EQ(TRUE, SendCopyData(main, 0x27F50003, text, sizeof text));
  DWORD_PTR r = 0;
  SendMessageTimeoutA(main, 0x27F3, 42, 0, SMTO_ABORTIFHUNG, 5000, &r);
  EXPECT_EQ(1u, r);
  PostMessageA(main, WM_CLOSE, 0, 0);
  DWORD code = 99;
  ASSERT_TRUE(p.WaitExit(10000, &code));
  EXPECT_EQ(0u, code);

  auto lines = ReadLines(exe + ".log");
  ASSERT_EQ(6u, lines.size());
  EXPECT_EQ("START", lines[0]);
  EXPECT_EQ("ARG -F:0x00001234", lines[1]);
  EXPECT_EQ("ARG with blank", lines[2]);
  EXPECT_EQ("COPYDATA 0x27F50003 19 C:\\Daten\\Gr\xFC\xDF" "e.txt\\x00", lines[3]);
  EXPECT_EQ("MSG 0x27F3 42 0", lines[4]);
  EXPECT_EQ("CLOSE", lines[5]);
}

TEST(E2eDriver, StandinExitsWithGivenCode) {
  TempTree tree("driver_exit");
  std::string exe = CopyStandin(tree, "Trellobrisant.exe");
  tree.Write("Trellobrisant.exe.exit", "3");
  Process p;
  ASSERT_TRUE(p.Start(exe, "-h -m Ansi C:\\x.c"));
  DWORD code = 0;
  ASSERT_TRUE(p.WaitExit(10000, &code));
  EXPECT_EQ(3u, code);
  auto lines = ReadLines(exe + ".log");
  ASSERT_EQ(6u, lines.size());
  EXPECT_EQ("ARG Ansi", lines[3]);
  EXPECT_EQ("EXIT 3", lines[5]);
}

TEST(E2eDriver, RegistryHelpers) {
  const char *key = "Software\\QV\\VellmorantDriverTest";
  DeleteUserKey(key);
  HKEY h;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr));
  DWORD v = 7;
  RegSetValueExA(h, "D", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4);
  RegSetValueExA(h, "M", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE *>("a\0bc\0\0"), 6);
  RegCloseKey(h);
  DWORD d = 0;
  EXPECT_TRUE(ReadUserDword(key, "D", &d));
  EXPECT_EQ(7u, d);
  std::string m;
  EXPECT_TRUE(ReadUserValue(key, "M", &m));
  EXPECT_EQ(std::string("a\0bc\0\0", 6), m);
  DeleteUserKey(key);
  EXPECT_FALSE(ReadUserDword(key, "D", &d));
}
