// The final key-press wait, which the Windows command interpreter provides.
#pragma once

#include <istream>

namespace platform {

// Shows the "press any key" prompt and waits for one key. Returns at once at
// end of input. On the host `input` is read when it is not a terminal.
void pause_for_key(std::istream& input);

}  // namespace platform
