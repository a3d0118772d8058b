// Switches are matched whole and without regard to case, the way Windows
// programs take them; a dropped file's path can never match one.
#include "app/run_mode.h"

#include "platform/ascii_case.h"

namespace app {
namespace {

bool any_of(const std::vector<std::string>& arguments,
            std::initializer_list<const char*> switches) {
  for (const std::string& argument : arguments) {
    for (const char* name : switches) {
      if (platform::equals_ignoring_ascii_case(argument, name)) return true;
    }
  }
  return false;
}

}  // namespace

RunMode run_mode(const std::vector<std::string>& arguments) {
  if (any_of(arguments, {"/?", "--help"})) return RunMode::usage;
  if (any_of(arguments, {"--restore", "/restore"})) return RunMode::restore;
  return RunMode::transform;
}

std::vector<std::string> usage_lines() {
  return {
      "用法: skinalpha [--restore]",
      "  不带参数     把正在使用的QQ皮肤图片变成半透明",
      "  --restore    用备份 main.png.bak 恢复皮肤原图(也可写作 /restore)",
      "  --help       显示本说明(也可写作 /?)",
  };
}

}  // namespace app
