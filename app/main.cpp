// Program entry: wires the real system services into one run of the tool.
#include <string>
#include <vector>

#include "app/run_driver.h"
#include "platform/console.h"

// The arguments are only compared with ASCII switches, so the code page the
// runtime gives them in does not matter.
int main(int argc, char** argv) {
  // First, so every line after it reaches the terminal in its encoding.
  platform::SystemConsole console;
  platform::prepare_file_writes();
  const app::RunMode mode =
      app::run_mode(std::vector<std::string>(argv + (argc > 0), argv + argc));
  platform::SystemShell shell;
  platform::SystemDialogs dialogs;
  platform::SystemFiles files;
  platform::SystemProcesses processes;
  return app::run_tool({shell, dialogs, files, processes, console}, mode);
}
