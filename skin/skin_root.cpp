// The skin root is derived from the roaming application-data folder, where
// the client stores per-user settings that follow the user between machines.
#include "skin/skin_root.h"

#include "platform/paths.h"

namespace skin {

std::string skin_root_under(const std::string& appdata) {
  std::string root = appdata;
  for (const char* part : {"Tencent", "QQ", "Skins", "customize"}) {
    root = platform::join_path(root, part);
  }
  return root;
}

std::string query_skin_root(platform::Shell& shell, platform::Dialogs& dialogs,
                            platform::Console& console) {
  std::string appdata;
  if (!shell.roaming_appdata_folder(appdata)) {
    dialogs.show_notice("获取皮肤文件夹失败", appdata);
    return {};
  }
  std::string root = skin_root_under(appdata);
  console.line("获取应用数据文件夹成功:", root);
  return root;
}

}  // namespace skin
