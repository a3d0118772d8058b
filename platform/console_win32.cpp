// Windows console text. Narrow text written through the C runtime shows as
// mojibake on a console whatever its code page, so a console gets UTF-16.
#include "platform/console_win32.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
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

namespace {

// The most one read takes: a line longer than this comes in pieces, so a
// line with no end costs no more memory than a piece.
constexpr DWORD kPieceBytes = 64 * 1024;
constexpr DWORD kPieceUnits = 512;

// Where GBK `bytes` stop being whole: before a lead byte whose trail has
// not come yet. A trail byte is never below 0x40, so a line end is never
// taken for one.
std::size_t whole_gbk(const std::string& bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[at]);
    if (byte < 0x81 || byte > 0xFE) {
      ++at;
    } else if (at + 1 == bytes.size()) {
      return at;
    } else {
      at += static_cast<unsigned char>(bytes[at + 1]) >= 0x40 ? 2 : 1;
    }
  }
  return at;
}

}  // namespace

HandleInputBuffer::HandleInputBuffer(HANDLE handle) : handle_(handle) {
  const DWORD type = GetFileType(handle);
  source_ = is_console(handle)        ? Source::console
            : type == FILE_TYPE_PIPE  ? Source::pipe
            : type == FILE_TYPE_DISK  ? Source::file
                                      : Source::other;
}

HandleInputBuffer::int_type HandleInputBuffer::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  while (!ended_) {
    piece_.clear();
    const bool more = source_ == Source::console ? read_console_piece(piece_)
                                                 : read_byte_piece(piece_);
    if (!more) ended_ = true;
    if (piece_.empty()) continue;
    setg(piece_.data(), piece_.data(), piece_.data() + piece_.size());
    return traits_type::to_int_type(*gptr());
  }
  return traits_type::eof();
}

bool HandleInputBuffer::read_console_piece(std::string& text) {
  wchar_t units[kPieceUnits];
  DWORD got = 0;
  const bool read =
      ReadConsoleW(handle_, units, kPieceUnits, &got, nullptr) && got > 0;
  // Ctrl+Z at the start of a line is the console's end of input.
  if (!read || (at_line_start_ && carry_w_.empty() && units[0] == L'\x1a')) {
    text = to_utf8(carry_w_);
    carry_w_.clear();
    return false;
  }
  std::wstring wide = carry_w_ + std::wstring(units, got);
  carry_w_.clear();
  at_line_start_ = wide.back() == L'\n';
  if (at_line_start_) {
    if (wide.size() >= 2 && wide[wide.size() - 2] == L'\r') {
      wide.erase(wide.size() - 2, 1);
    }
  } else if (wide.back() == L'\r' ||
             (wide.back() >= 0xD800 && wide.back() <= 0xDBFF)) {
    // Half a line end or half a surrogate pair: the rest comes next read.
    carry_w_ = wide.back();
    wide.pop_back();
  }
  text = to_utf8(wide);
  return true;
}

bool HandleInputBuffer::read_byte_piece(std::string& text) {
  std::string bytes;
  if (!read_raw_bytes(bytes)) {
    text = gbk_to_utf8(carry_);
    carry_.clear();
    return false;
  }
  bytes.insert(0, carry_);
  std::size_t whole = whole_gbk(bytes);
  // A CR at the end may be half a CR LF.
  if (whole == bytes.size() && bytes.back() == '\r') --whole;
  carry_ = bytes.substr(whole);
  std::string lines;
  lines.reserve(whole);
  for (std::size_t i = 0; i < whole; ++i) {
    if (bytes[i] != '\r' || i + 1 == whole || bytes[i + 1] != '\n') {
      lines += bytes[i];
    }
  }
  text = gbk_to_utf8(lines);
  return true;
}

// Reads at most kPieceBytes of the current line into `bytes`; false at end
// of input. From a file it moves the file pointer back to the line end. A
// pipe that can be peeked at is read only as far as the line goes; one that
// cannot (Wine's stand-in for a Unix pipe answers ERROR_NOT_SUPPORTED) is
// read as far as it holds, since a byte a read costs microseconds each and
// a long line would take minutes. What that reads past the line stays in
// this buffer, where the next answer and the final pause find it.
bool HandleInputBuffer::read_raw_bytes(std::string& bytes) {
  bytes.resize(kPieceBytes);
  DWORD want = kPieceBytes;
  if (source_ == Source::pipe) {
    DWORD peeked = 0;
    if (PeekNamedPipe(handle_, bytes.data(), kPieceBytes, &peeked, nullptr,
                      nullptr)) {
      const void* end = std::memchr(bytes.data(), '\n', peeked);
      // Nothing there yet: wait for the first byte of it.
      want = end != nullptr
                 ? static_cast<DWORD>(static_cast<const char*>(end) -
                                      bytes.data() + 1)
                 : std::max<DWORD>(peeked, 1);
    }
  }
  DWORD got = 0;
  if (!ReadFile(handle_, bytes.data(), want, &got, nullptr) || got == 0) {
    bytes.clear();
    return false;
  }
  bytes.resize(got);
  if (source_ == Source::file) {
    const std::size_t line_end = bytes.find('\n');
    if (line_end != std::string::npos && line_end + 1 < got) {
      LARGE_INTEGER back;
      back.QuadPart = -static_cast<LONGLONG>(got - line_end - 1);
      SetFilePointerEx(handle_, back, nullptr, FILE_CURRENT);
      bytes.resize(line_end + 1);
    }
  }
  return true;
}

SystemConsole::SystemConsole() {
  // Never destroyed: std::cout is flushed at exit after static objects die.
  static auto* out = new HandleOutputBuffer(GetStdHandle(STD_OUTPUT_HANDLE));
  static auto* in = new HandleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
  std::cout.rdbuf(out);
  std::cin.rdbuf(in);
}

void SystemConsole::write(const std::string& text) {
  std::cout << text << std::flush;
}

LineRead SystemConsole::read_line(std::size_t limit, std::string& line) {
  return read_bounded_line(std::cin, limit, line);
}

// The command interpreter's own "pause", so the prompt is the system's.
void SystemConsole::pause() {
  std::cout.flush();
  // Input read past the last answer holds the key the pause would have
  // read: it is taken here, and the interpreter only shows its prompt.
  if (std::cin.rdbuf()->in_avail() > 0) {
    std::cin.get();
    std::system("pause < nul");
    return;
  }
  std::system("pause");
}

}  // namespace platform
