// The test harness really runs these tests unprivileged: a read-only file refuses writes.
#include <gtest/gtest.h>
#include <windows.h>
TEST(Unpriv, ReadOnlyRefusesWrite) {
  char dir[MAX_PATH]; GetTempPathA(MAX_PATH, dir);
  std::string p = std::string(dir) + "ro_probe.txt";
  SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL); DeleteFileA(p.c_str());
  HANDLE h = CreateFileA(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h); CloseHandle(h);
  SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_READONLY);
  h = CreateFileA(p.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(INVALID_HANDLE_VALUE, h);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL); DeleteFileA(p.c_str());
}
