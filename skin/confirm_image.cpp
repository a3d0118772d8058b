// The automatic choice can be wrong when several skins were touched lately,
// so nothing is rewritten before the user has seen and accepted the image.
#include "skin/confirm_image.h"

#include "platform/console.h"
#include "skin/skin_root.h"

namespace skin {
namespace {

constexpr const char* kWhiteSpace = " \t\r\n\v\f";

// Reads lines until one names a folder. Returns false at end of input.
bool read_typed_folder(std::istream& input, std::string& folder) {
  for (std::string line; std::getline(input, line);) {
    folder = typed_folder(line);
    if (!folder.empty()) return true;
  }
  return false;
}

// Opens a file manager on the skin root, asks for the skin folder and
// returns its image path; false when input ended first.
bool ask_for_folder(platform::Shell& shell, platform::Dialogs& dialogs,
                    std::istream& input, std::string& image_path) {
  shell.open_file_manager(query_skin_root(shell, dialogs));
  platform::console_line("请分别打开文件夹找到你现在的皮肤文件夹");
  platform::console_line(
      "然后在下面输入文件夹路径,如:C:\\Users\\admin\\AppData\\Roaming\\Tencent"
      "\\QQ\\Skins\\customize\\F2BBEC5EE65C628D89B2BA212B0DEF8B",
      "，然后按下回车确认");
  std::string folder;
  if (!read_typed_folder(input, folder)) {
    platform::console_line("没有输入文件夹路径，图片未作任何修改");
    return false;
  }
  image_path = join_path(folder, "main.png");
  return true;
}

}  // namespace

std::string typed_folder(const std::string& line) {
  const std::size_t first = line.find_first_not_of(kWhiteSpace);
  if (first == std::string::npos) return {};
  const std::size_t last = line.find_last_not_of(kWhiteSpace);
  std::string folder = line.substr(first, last - first + 1);
  // Explorer's "copy as path" puts the path in quotes.
  if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
    folder = folder.substr(1, folder.size() - 2);
  }
  return folder;
}

bool confirm_image(std::string& image_path, platform::Shell& shell,
                   platform::Dialogs& dialogs, std::istream& input) {
  for (;;) {
    platform::console_line("尝试打开图片", image_path);
    shell.open_with_default_app(image_path);
    if (dialogs.ask_yes_no("提示", "现在使用的图片是否正确？")) return true;
    if (!ask_for_folder(shell, dialogs, input, image_path)) return false;
  }
}

}  // namespace skin
