// UTF-8, the form of every string in the test tools, and UTF-16, the form
// of Windows. Text that does not convert gives an empty string.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

inline std::wstring Wide(const std::string& s) {
  if (s.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
  return w;
}

inline std::string Utf8(const wchar_t* w, size_t count) {
  if (count == 0) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(count), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(count), &s[0], n, nullptr, nullptr);
  return s;
}

inline std::string Utf8(const std::wstring& w) { return Utf8(w.data(), w.size()); }
