// The command interpreter's own "pause", so the prompt is the system's.
#include <cstdlib>
#include <iostream>

#include "platform/interpreter.h"

namespace platform {

void pause_for_key(std::istream& input) {
  std::cout.flush();
  // Input read past the last answer holds the key the pause would have
  // read: it is taken here, and the interpreter only shows its prompt.
  if (input.rdbuf() != nullptr && input.rdbuf()->in_avail() > 0) {
    input.get();
    std::system("pause < nul");
    return;
  }
  std::system("pause");
}

}  // namespace platform
