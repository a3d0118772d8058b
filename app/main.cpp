// Program entry: wires the real system services into one run of the tool.
#include <iostream>

#include "app/run_driver.h"
#include "platform/console.h"

int main() {
  platform::prepare_console();
  platform::SystemShell shell;
  platform::SystemDialogs dialogs(std::cin);
  platform::SystemFolderReader folders;
  platform::SystemProcesses processes;
  return app::run_tool({shell, dialogs, folders, processes, std::cin});
}
