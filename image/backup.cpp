// The backup is copied with the file API, not a command line, so blanks and
// characters such as & or % in a folder name are just characters.
#include "image/backup.h"

#include "platform/console.h"
#include "platform/files.h"

namespace image {

std::string backup_path_for(const std::string& image_path) {
  return image_path + ".bak";
}

bool back_up_image(const std::string& image_path) {
  const std::string backup = backup_path_for(image_path);
  // Whatever stands there, readable or not, holds the user's first image.
  if (platform::path_exists(backup)) return true;
  platform::console_line("备份文件中");
  std::string error;
  if (platform::copy_file_if_absent(image_path, backup, error) ==
      platform::CopyOutcome::failed) {
    platform::console_line("无法备份到 " + backup + "，图片未作修改: ", error);
    return false;
  }
  return true;
}

}  // namespace image
