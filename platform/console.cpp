// The lines themselves; how their bytes reach the user is the standard
// streams' business (see attach_console_encoding).
#include "platform/console.h"

#include <iostream>

namespace platform {

void console_line(const std::string& text, const std::string& value) {
  std::cout << text << value << std::endl;
}

void console_write(const std::string& text) { std::cout << text << std::flush; }

}  // namespace platform
