// Program entry: wires the real system services into one run of the tool.
#include <iostream>

#include "app/run_driver.h"
#include "platform/console.h"

int main() {
  platform::attach_console_encoding();
  platform::SystemShell shell;
  platform::SystemDialogs dialogs(std::cin);
  platform::SystemFiles files;
  platform::SystemProcesses processes;
  return app::run_tool({shell, dialogs, files, processes, std::cin});
}
