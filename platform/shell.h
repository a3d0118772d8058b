// Shell services: the roaming application-data folder, opening documents and
// folders for the user, and starting programs. Paths are UTF-8.
#pragma once

#include <string>

namespace platform {

// `text` with each %NAME% replaced by that environment variable's value, as
// Explorer's address bar reads a typed path; a name that is not set stays
// as typed. On the host the text comes back unchanged.
std::string expand_typed_path(const std::string& text);

class Shell {
 public:
  virtual ~Shell() = default;
  // Stores the user's roaming application-data folder in `folder` and returns
  // true; on failure returns false, leaving in `folder` whatever the system
  // wrote (possibly nothing).
  virtual bool roaming_appdata_folder(std::string& folder) = 0;
  // Opens a document in its default viewer without waiting; failures
  // (no such file, no viewer) are ignored.
  virtual void open_with_default_app(const std::string& path) = 0;
  // Opens a file-manager window on a folder without waiting; failures are
  // ignored.
  virtual void open_file_manager(const std::string& folder) = 0;
  // Starts a program without waiting for it; failures are ignored.
  virtual void start_program(const std::string& path) = 0;
};

// The real shell of this system.
class SystemShell final : public Shell {
 public:
  bool roaming_appdata_folder(std::string& folder) override;
  void open_with_default_app(const std::string& path) override;
  void open_file_manager(const std::string& folder) override;
  void start_program(const std::string& path) override;
};

}  // namespace platform
