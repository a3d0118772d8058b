// The fixed order of one run. Each step deals with its own failures; the
// driver only decides whether there is anything to work on at all, and is
// the one place that ends the program early.
#include "app/run_driver.h"

#include <cstdio>
#include <string>

#include "client/client_restart.h"
#include "image/opacity_transform.h"
#include "image/restore_original.h"
#include "platform/paths.h"
#include "skin/confirm_image.h"
#include "skin/skin_folder.h"
#include "skin/skin_root.h"

namespace app {
namespace {

[[noreturn]] void end_with_error(platform::Dialogs& dialogs,
                                 const platform::SystemFailure& failure) {
  char text[80];
  // Worded alike on purpose when the host names a POSIX call and its errno.
  std::snprintf(text, sizeof text, "%s failed: GetLastError returned %u\n",
                failure.call.c_str(), failure.code);
  dialogs.show_notice("Error", text);
  platform::end_process(failure.code);
}

// Both runs change the image only once the user has confirmed it, and the
// client shows a changed image only after a restart.
void work_on_skin(const Services& s, RunMode mode, std::string image_path) {
  s.console.line("已找到图片:", image_path);
  if (!skin::confirm_image(image_path, s.shell, s.dialogs, s.files,
                           s.console)) {
    return;
  }
  const bool changed =
      mode == RunMode::restore
          ? image::restore_original(s.files, s.console, image_path)
          : image::rewrite_opacity(s.files, s.console, image_path);
  if (!changed) return;
  client::restart_client(s.processes, s.dialogs, s.shell, s.files, s.console);
}

}  // namespace

int run_tool(const Services& services, RunMode mode) {
  platform::Console& console = services.console;
  if (mode == RunMode::usage) {
    for (const std::string& line : usage_lines()) console.line(line);
    return 0;
  }
  console.line("Made By OXT");
  if (mode == RunMode::restore) {
    console.line("恢复原图: 确认图片后，用它旁边的备份 main.png.bak 替换它");
  }
  std::string folder;
  {
    const std::string root =
        skin::query_skin_root(services.shell, services.dialogs, console);
    platform::SystemFailure failure;
    if (!skin::select_skin_folder(root, services.files, folder, failure)) {
      end_with_error(services.dialogs, failure);
    }
  }
  if (folder.empty()) {
    console.line("请先更换自定义皮肤之后再使用此功能");
  } else {
    work_on_skin(services, mode, platform::join_path(folder, "main.png"));
  }
  console.pause();
  return 0;
}

}  // namespace app
