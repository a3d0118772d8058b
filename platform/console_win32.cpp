// Windows console text. Narrow text written through the C runtime shows as
// mojibake on a console whatever its code page, so a console gets UTF-16.
#include "platform/console_win32.h"

#include <iostream>

#include "platform/console.h"
#include "platform/text_win32.h"

namespace platform {
namespace {

bool is_console(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         GetConsoleMode(handle, &mode) != 0;
}

// Length of the leading part of `text` that ends on a whole UTF-8 character,
// so a character split between two writes is never converted in halves.
std::size_t whole_characters(const std::string& text) {
  std::size_t start = text.size();
  for (int back = 0; back < 4 && start > 0; ++back) {
    --start;
    const auto byte = static_cast<unsigned char>(text[start]);
    if ((byte & 0xC0) != 0x80) {
      const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3
                               : byte >= 0xC0 ? 2 : 1;
      return start + length <= text.size() ? text.size() : start;
    }
  }
  return text.size();
}

std::string with_crlf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

}  // namespace

HandleOutputBuffer::HandleOutputBuffer(HANDLE handle)
    : handle_(handle), console_(is_console(handle)) {}

HandleOutputBuffer::int_type HandleOutputBuffer::overflow(int_type c) {
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    pending_ += traits_type::to_char_type(c);
  }
  return traits_type::not_eof(c);
}

std::streamsize HandleOutputBuffer::xsputn(const char* text,
                                           std::streamsize count) {
  pending_.append(text, static_cast<std::size_t>(count));
  return count;
}

int HandleOutputBuffer::sync() {
  const std::size_t whole = whole_characters(pending_);
  const std::string text = with_crlf(pending_.substr(0, whole));
  pending_.erase(0, whole);
  if (!text.empty()) write_out(text);
  return 0;
}

void HandleOutputBuffer::write_out(const std::string& text) {
  if (console_) {
    const std::wstring wide = to_utf16(text);
    const wchar_t* data = wide.data();
    DWORD left = static_cast<DWORD>(wide.size());
    while (left > 0) {
      DWORD done = 0;
      if (!WriteConsoleW(handle_, data, left, &done, nullptr) || done == 0) {
        return;
      }
      data += done;
      left -= done;
    }
    return;
  }
  const std::string bytes = utf8_to_gbk(text);
  const char* data = bytes.data();
  DWORD left = static_cast<DWORD>(bytes.size());
  while (left > 0) {
    DWORD done = 0;
    if (!WriteFile(handle_, data, left, &done, nullptr) || done == 0) return;
    data += done;
    left -= done;
  }
}

HandleInputBuffer::HandleInputBuffer(HANDLE handle)
    : handle_(handle), console_(is_console(handle)) {}

HandleInputBuffer::int_type HandleInputBuffer::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (ended_) return traits_type::eof();
  line_.clear();
  const bool got = console_ ? read_console_line(line_) : read_byte_line(line_);
  if (!got) {
    ended_ = true;
    return traits_type::eof();
  }
  setg(line_.data(), line_.data(), line_.data() + line_.size());
  return traits_type::to_int_type(*gptr());
}

bool HandleInputBuffer::read_console_line(std::string& line) {
  std::wstring wide;
  for (;;) {
    wchar_t chunk[512];
    DWORD got = 0;
    if (!ReadConsoleW(handle_, chunk, 512, &got, nullptr) || got == 0) break;
    wide.append(chunk, got);
    if (wide.back() == L'\n') break;
  }
  // Ctrl+Z at the start of a line is the console's end of input.
  if (wide.empty() || wide.front() == L'\x1a') return false;
  line = to_utf8(wide);
  if (line.size() >= 2 && line[line.size() - 2] == '\r') {
    line.erase(line.size() - 2, 1);
  }
  return true;
}

bool HandleInputBuffer::read_byte_line(std::string& line) {
  // One byte at a time: reading ahead would take keys meant for "pause".
  std::string bytes;
  for (;;) {
    char byte = 0;
    DWORD got = 0;
    if (!ReadFile(handle_, &byte, 1, &got, nullptr) || got == 0) break;
    if (byte == '\n') {
      if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
      line = gbk_to_utf8(bytes) + '\n';
      return true;
    }
    bytes += byte;
  }
  if (bytes.empty()) return false;
  line = gbk_to_utf8(bytes);
  return true;
}

void attach_console_encoding() {
  // Never destroyed: std::cout is flushed at exit after static objects die.
  static auto* out = new HandleOutputBuffer(GetStdHandle(STD_OUTPUT_HANDLE));
  static auto* in = new HandleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
  std::cout.rdbuf(out);
  std::cin.rdbuf(in);
}

}  // namespace platform
