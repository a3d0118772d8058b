// One run of the tool, from the banner to the final key press.
#pragma once

#include "app/run_mode.h"
#include "platform/console.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/shell.h"

namespace app {

// The system services one run uses; main() wires the real ones.
struct Services {
  platform::Shell& shell;
  platform::Dialogs& dialogs;
  platform::Files& files;
  platform::Processes& processes;
  platform::Console& console;  // every line shown, every answer typed
};

// Runs the tool once in `mode` and returns the exit status of a normal run.
// The usage is printed alone, without the final pause. When the skin folders
// cannot be compared, shows the "Error" box and ends the program with the
// system's error code instead.
int run_tool(const Services& services, RunMode mode = RunMode::transform);

}  // namespace app
