// What one start of the program is asked to do, read from its arguments.
#pragma once

#include <string>
#include <vector>

namespace app {

enum class RunMode {
  transform,  // no switch: the opacity transform
  restore,    // put the backup's bytes back in place of the skin image
  usage,      // print how to call the program and do nothing else
};

// The mode for these arguments (the program's name not among them). Both
// spellings of a switch count, "--restore" and "/restore", in any case;
// anything else is ignored, such as the path of a file dropped on the
// program. Asking for the usage wins over every other switch.
RunMode run_mode(const std::vector<std::string>& arguments);

// The usage text, one line each, for the console.
std::vector<std::string> usage_lines();

}  // namespace app
