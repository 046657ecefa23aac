// Code-page conversions for the test tools: their arguments come in the ANSI code page (1252),
// their listings and entry lists are UTF-8.
#pragma once
#include <windows.h>

#include <string>

namespace testcommon {

// Text converted from one code page to another (through UTF-16).
inline std::string Convert(const std::string &text, UINT from, UINT to) {
  if (text.empty()) return text;
  int n = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n, 0);
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  int m = WideCharToMultiByte(to, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  std::string out(m, 0);
  WideCharToMultiByte(to, 0, wide.data(), n, &out[0], m, nullptr, nullptr);
  return out;
}
inline std::string ToUtf8(const char *ansi) { return Convert(ansi ? ansi : "", 1252, CP_UTF8); }
inline std::string FromUtf8(const std::string &utf8) { return Convert(utf8, CP_UTF8, 1252); }

}  // namespace testcommon
