// The console: every line the tool prints and every line the user types goes
// through here, as UTF-8, so both builds show the same lines in program order.
#pragma once

#include <cstddef>
#include <string>

#include "platform/line_input.h"

namespace platform {

class Console {
 public:
  virtual ~Console() = default;

  // Writes `text` followed directly by `value`, then ends the line and flushes.
  void line(const std::string& text, const std::string& value = {}) {
    write(text + value + "\n");
  }
  // Writes `text` as it stands (it carries its own line ends) and flushes.
  virtual void write(const std::string& text) = 0;
  // Reads the next typed line into `line`, held to `limit` bytes, with the
  // outcomes of read_bounded_line; `ended` once input has ended.
  virtual LineRead read_line(std::size_t limit, std::string& line) = 0;
  // Shows the "press any key" prompt and waits for one key. Returns at once
  // at end of input.
  virtual void pause() = 0;
};

// The process's standard output and input. Building one makes them carry the
// program's UTF-8 the way the user's terminal needs it: on Windows a real
// console is written and read as UTF-16, a pipe or a file carries GBK bytes
// with CR LF line ends; the host's terminals are UTF-8 already.
class SystemConsole final : public Console {
 public:
  SystemConsole();
  void write(const std::string& text) override;
  LineRead read_line(std::size_t limit, std::string& line) override;
  // Windows: the command interpreter's own "pause". The host: one raw key at
  // a terminal, otherwise one byte of the scripted input.
  void pause() override;
};

}  // namespace platform
