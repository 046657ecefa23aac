// Reading what a test's subject left behind: the clipboard's text and registry values under
// HKEY_CURRENT_USER.
#pragma once
#include <windows.h>

#include <string>

namespace testcommon {

// The clipboard's CF_TEXT, "<busy>" when the clipboard cannot be opened.
inline std::string ClipboardText() {
  if (!OpenClipboard(nullptr)) return "<busy>";
  std::string s;
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    s = static_cast<const char *>(GlobalLock(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return s;
}

// A value's bytes below HKEY_CURRENT_USER, "<missing>" when it is not there or of another type.
inline std::string RegValue(const std::string &key, const char *name, DWORD wantType) {
  HKEY h;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return "<missing>";
  DWORD type = 0, size = 0;
  std::string data;
  if (RegQueryValueExA(h, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == wantType) {
    data.resize(size);
    RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE *>(&data[0]), &size);
    data.resize(size);
  } else {
    data = "<missing>";
  }
  RegCloseKey(h);
  return data;
}

// A REG_DWORD value, 0xDEAD when it is missing.
inline DWORD RegDword(const std::string &key, const char *name) {
  std::string v = RegValue(key, name, REG_DWORD);
  DWORD d = 0xDEAD;
  if (v.size() == sizeof d) memcpy(&d, v.data(), sizeof d);
  return d;
}

}  // namespace testcommon
