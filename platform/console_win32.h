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

// Hands out one line at a time and reads nothing beyond it, so whatever
// follows stays for the command interpreter's "pause".
class HandleInputBuffer final : public std::streambuf {
 public:
  explicit HandleInputBuffer(HANDLE handle);

 protected:
  int_type underflow() override;

 private:
  bool read_console_line(std::string& line);
  bool read_byte_line(std::string& line);

  HANDLE handle_;
  bool console_;
  bool ended_ = false;
  std::string line_;
};

}  // namespace platform
