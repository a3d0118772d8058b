// Host shell: the XDG configuration folder stands in for the roaming
// application-data folder, and xdg-open for the Windows shell.
#include <cstdlib>

#include "platform/shell.h"
#include "platform/spawn_posix.h"

namespace platform {

// A shell expands $NAME before the program sees it; typed text is literal.
std::string expand_typed_path(const std::string& text) { return text; }

bool SystemShell::roaming_appdata_folder(std::string& folder) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') {
    folder = config;
    return true;
  }
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') {
    folder = std::string(home) + "/.config";
    return true;
  }
  return false;
}

void SystemShell::open_with_default_app(const std::string& path) {
  spawn_detached({"xdg-open", path});
}

void SystemShell::open_file_manager(const std::string& folder) {
  spawn_detached({"xdg-open", folder});
}

void SystemShell::start_program(const std::string& path) {
  spawn_detached({path});
}

}  // namespace platform
