// Host console: terminals and pipes take the program's UTF-8 as it is.
#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "platform/console.h"

namespace platform {
namespace {

void wait_for_terminal_key() {
  termios saved{};
  if (tcgetattr(STDIN_FILENO, &saved) != 0) return;
  termios raw = saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  // Drop what was typed ahead so the key pressed after the prompt counts.
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw);
  char key = 0;
  (void)!read(STDIN_FILENO, &key, 1);
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

}  // namespace

SystemConsole::SystemConsole() = default;

void SystemConsole::write(const std::string& text) {
  std::cout << text << std::flush;
}

LineRead SystemConsole::read_line(std::size_t limit, std::string& line) {
  return read_bounded_line(std::cin, limit, line);
}

// Stands in for the interpreter's "pause", which the host does not have.
void SystemConsole::pause() {
  write("请按任意键继续. . .");
  if (isatty(STDIN_FILENO)) {
    wait_for_terminal_key();
  } else {
    std::cin.get();
  }
  write("\n");
}

}  // namespace platform
