// Conversions through the system's own tables, so they agree with what the
// console and the file system do with the same text.
#include "platform/text_win32.h"

#include <windows.h>

namespace platform {
namespace {

constexpr UINT kGbk = 936;

std::wstring widen(UINT code_page, const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(code_page, 0, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0) {
    MultiByteToWideChar(code_page, 0, text.data(),
                        static_cast<int>(text.size()), out.data(), n);
  }
  return out;
}

std::string narrow(UINT code_page, const std::wstring& text) {
  if (text.empty()) return {};
  const int n =
      WideCharToMultiByte(code_page, 0, text.data(),
                          static_cast<int>(text.size()), nullptr, 0, nullptr,
                          nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) {
    WideCharToMultiByte(code_page, 0, text.data(),
                        static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
  }
  return out;
}

}  // namespace

std::wstring to_utf16(const std::string& utf8) { return widen(CP_UTF8, utf8); }

std::string to_utf8(const std::wstring& utf16) {
  return narrow(CP_UTF8, utf16);
}

std::string utf8_to_gbk(const std::string& utf8) {
  return narrow(kGbk, widen(CP_UTF8, utf8));
}

std::string gbk_to_utf8(const std::string& gbk) {
  return narrow(CP_UTF8, widen(kGbk, gbk));
}

}  // namespace platform
