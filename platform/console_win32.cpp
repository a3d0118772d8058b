// Windows console: narrow texts are GBK (code page 936) bytes.
#include "platform/console.h"

#include <windows.h>

#include <iostream>

namespace platform {
namespace {
constexpr UINT kConsoleCodePage = 936;
}

void console_line(const std::string& text, const std::string& value) {
  std::cout << text << value << std::endl;
}

void console_write(const std::string& text) { std::cout << text << std::flush; }

void prepare_console() {
  // The texts are GBK whatever the system's own code page is; telling the
  // console so keeps them readable on a console set to another code page.
  SetConsoleOutputCP(kConsoleCodePage);
}

std::string to_console_text(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(kConsoleCodePage, 0, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) {
    WideCharToMultiByte(kConsoleCodePage, 0, text.data(),
                        static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
  }
  return out;
}

std::wstring from_system_text(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                        out.data(), n);
  }
  return out;
}

}  // namespace platform
