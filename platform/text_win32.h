// Text at the edge of the Windows build: the program speaks UTF-8, wide
// Win32 calls speak UTF-16, and pipes and files carry GBK bytes as the
// users' other tools expect.
#pragma once

#include <string>

namespace platform {

std::wstring to_utf16(const std::string& utf8);
std::string to_utf8(const std::wstring& utf16);

// GBK (code page 936) bytes; a character GBK lacks becomes '?'.
std::string utf8_to_gbk(const std::string& utf8);
std::string gbk_to_utf8(const std::string& gbk);

}  // namespace platform
