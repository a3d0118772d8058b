// Stream buffers that carry the program's UTF-8 text to and from a Windows
// standard handle: UTF-16 through the console calls when the handle is a
// real console, GBK bytes with CR LF line ends when it is a pipe or a file.
#pragma once

#include <windows.h>

#include <streambuf>
#include <string>

namespace platform {

class HandleOutputBuffer final : public std::streambuf {
 public:
  explicit HandleOutputBuffer(HANDLE handle);

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  void write_out(const std::string& text);

  HANDLE handle_;
  bool console_;
  std::string pending_;  // UTF-8 not yet written
};

// Hands out what was typed a bounded piece at a time. From a console, a
// file or a pipe that can be peeked at it reads nothing beyond the current
// line, so whatever follows stays for the command interpreter's "pause";
// what it reads ahead from any other pipe stays in this buffer, where
// the console's pause looks first.
class HandleInputBuffer final : public std::streambuf {
 public:
  explicit HandleInputBuffer(HANDLE handle);

 protected:
  int_type underflow() override;

 private:
  enum class Source { console, pipe, file, other };
  bool read_console_piece(std::string& text);
  bool read_byte_piece(std::string& text);
  bool read_raw_bytes(std::string& bytes);

  HANDLE handle_;
  Source source_;
  bool ended_ = false;
  bool at_line_start_ = true;
  std::string piece_;     // UTF-8 handed out by the current underflow
  std::string carry_;     // GBK bytes held back: a cut character, a CR
  std::wstring carry_w_;  // the same for the console: a surrogate, a CR
};

}  // namespace platform
