// Host stand-in for the interpreter's "pause": a single raw key at a
// terminal, otherwise one byte of the scripted input.
#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "platform/console.h"
#include "platform/interpreter.h"

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

void pause_for_key(std::istream& input) {
  console_write("请按任意键继续. . .");
  if (&input == &std::cin && isatty(STDIN_FILENO)) {
    wait_for_terminal_key();
  } else {
    input.get();
  }
  console_write("\n");
}

}  // namespace platform
