// Starting helper programs on the host without waiting for them.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Starts `argv[0]` (looked up on PATH when it has no slash) with standard
// input and output on /dev/null, in its own session, and does not wait for
// it. Leaves no zombie behind. Failures to start are ignored.
void spawn_detached(const std::vector<std::string>& argv);

}  // namespace platform
