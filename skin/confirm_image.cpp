// The automatic choice can be wrong when several skins were touched lately,
// so nothing is rewritten before the user has seen and accepted the image.
#include "skin/confirm_image.h"

#include "platform/ascii_case.h"
#include "platform/paths.h"
#include "skin/skin_root.h"

namespace skin {
namespace {

constexpr const char* kWhiteSpace = " \t\r\n\v\f";

// Room for the longest path in the widest UTF-8, with blanks and quotes.
constexpr std::size_t kFolderLineLimit = 4 * kLongestPath;

// UTF-16 units of UTF-8 text: one per character, two beyond the BMP.
std::size_t utf16_units(const std::string& text) {
  std::size_t units = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

// The folder a typed path means: the path itself, or, when it names the
// image file, the folder holding it.
std::string skin_folder_of(const std::string& typed, platform::Files& files) {
  std::size_t name = typed.size();
  while (name > 0 && !platform::is_path_separator(typed[name - 1])) --name;
  if (name == 0 ||
      !platform::equals_ignoring_ascii_case(typed.substr(name), "main.png")) {
    return typed;
  }
  const platform::PathKind kind = files.path_kind(typed);
  if (kind != platform::PathKind::file && kind != platform::PathKind::other) {
    return typed;
  }
  // A file at the very root keeps its separator: "/" or "C:\".
  return typed.substr(0, name > 1 ? name - 1 : name);
}

enum class Typed { folder, wrong, ended };

// Reads lines until one names a folder and stores it in `folder`.
Typed read_typed_folder(platform::Console& console, std::string& folder) {
  std::string line;
  for (;;) {
    switch (console.read_line(kFolderLineLimit, line)) {
      case platform::LineRead::ended:
        return Typed::ended;
      case platform::LineRead::too_long:
        folder.clear();
        return Typed::wrong;
      case platform::LineRead::line:
        break;
    }
    folder = typed_folder(line);
    if (folder.empty()) continue;
    folder = platform::expand_typed_path(folder);
    return utf16_units(folder) <= kLongestPath ? Typed::folder : Typed::wrong;
  }
}

// Opens a file manager on the skin root, asks for the skin folder and
// makes `image_path` its image. `wrong` leaves `image_path` as it was.
Typed ask_for_folder(platform::Shell& shell, platform::Dialogs& dialogs,
                     platform::Files& files, platform::Console& console,
                     std::string& image_path) {
  shell.open_file_manager(query_skin_root(shell, dialogs, console));
  console.line("请分别打开文件夹找到你现在的皮肤文件夹");
  console.line(
      "然后在下面输入文件夹路径,如:C:\\Users\\admin\\AppData\\Roaming\\Tencent"
      "\\QQ\\Skins\\customize\\F2BBEC5EE65C628D89B2BA212B0DEF8B",
      "，然后按下回车确认");
  std::string folder;
  const Typed typed = read_typed_folder(console, folder);
  if (typed == Typed::ended) {
    console.line("没有输入文件夹路径，图片未作任何修改");
    return typed;
  }
  if (typed == Typed::wrong) {
    console.line("输入的路径太长(超过" + std::to_string(kLongestPath) +
                 "个字符)，已忽略");
    return typed;
  }
  folder = skin_folder_of(folder, files);
  image_path = platform::join_path(folder, "main.png");
  if (files.path_kind(image_path) != platform::PathKind::file) {
    console.line("这个文件夹里没有main.png: ", folder);
  }
  return typed;
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
                   platform::Dialogs& dialogs, platform::Files& files,
                   platform::Console& console) {
  for (;;) {
    console.line("尝试打开图片", image_path);
    shell.open_with_default_app(image_path);
    switch (dialogs.ask_yes_no("提示", "现在使用的图片是否正确？")) {
      case platform::Answer::yes:
        return true;
      case platform::Answer::none:
        console.line("输入已结束，没有回答，图片未作任何修改");
        return false;
      case platform::Answer::no:
        break;
    }
    if (ask_for_folder(shell, dialogs, files, console, image_path) ==
        Typed::ended) {
      return false;
    }
  }
}

}  // namespace skin
