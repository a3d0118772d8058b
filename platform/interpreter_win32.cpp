// The command interpreter's own "pause", so the prompt is the system's.
#include <cstdlib>
#include <iostream>

#include "platform/interpreter.h"

namespace platform {

void pause_for_key(std::istream&) {
  std::cout.flush();
  std::system("pause");
}

}  // namespace platform
