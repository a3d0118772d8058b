// Program entry: wires the real system services into one run of the tool.
#include <iostream>
#include <string>
#include <vector>

#include "app/run_driver.h"
#include "platform/console.h"

// The arguments are only compared with ASCII switches, so the code page the
// runtime gives them in does not matter.
int main(int argc, char** argv) {
  platform::attach_console_encoding();
  platform::prepare_file_writes();
  const app::RunMode mode =
      app::run_mode(std::vector<std::string>(argv + (argc > 0), argv + argc));
  platform::SystemShell shell;
  platform::SystemDialogs dialogs(std::cin);
  platform::SystemFiles files;
  platform::SystemProcesses processes;
  return app::run_tool({shell, dialogs, files, processes, std::cin}, mode);
}
