// Restoring writes only bytes that were just seen to decode, so it can never
// put a cut-short or foreign file where the client looks for the skin.
#include "image/restore_original.h"

#include <vector>

#include "codec/image_codec.h"
#include "image/backup.h"
#include "image/image_lock.h"
#include "image/safe_replace.h"
#include "platform/console.h"

namespace image {
namespace {

// The backup's bytes when they are a whole image; otherwise says why there
// is nothing to restore from and returns false.
bool whole_backup(platform::Files& files, const std::string& image_path,
                  std::vector<unsigned char>& bytes) {
  const std::string backup = backup_path_for(image_path);
  BackupState state = BackupState::broken;
  if (read_backup(files, image_path, bytes, state) && is_whole_image(bytes)) {
    return true;
  }
  switch (state) {
    case BackupState::missing:
      platform::console_line("没有找到备份文件，无法恢复，图片未作修改: ",
                             backup);
      return false;
    case BackupState::not_a_file:
      platform::console_line(
          "备份位置是文件夹或链接，无法恢复，图片未作修改: ", backup);
      return false;
    case BackupState::usable:
    case BackupState::empty:
    case BackupState::broken:
      break;
  }
  platform::console_line("备份文件不是完整的图片，无法恢复，图片未作修改: ",
                         backup);
  return false;
}

}  // namespace

bool restore_original(platform::Files& files, const std::string& image_path) {
  std::unique_ptr<platform::HeldLock> lock;
  if (!lock_image(files, image_path, lock)) return false;
  std::vector<unsigned char> original;
  if (!whole_backup(files, image_path, original)) return false;
  {
    std::vector<unsigned char> current;
    std::string unread;
    if (files.read_file(image_path, largest_image_file(), current, unread) ==
            platform::ReadOutcome::read &&
        current == original) {
      platform::console_line("图片与备份完全相同，已经是原图，无需恢复: ",
                             image_path);
      return false;
    }
  }
  std::string error;
  if (!replace_contents(files, image_path, original.data(), original.size(),
                        error)) {
    platform::console_line("恢复失败，图片保持原样: ", image_path);
    platform::console_line("原因: ", error);
    return false;
  }
  platform::console_line("已用备份恢复原图，重启QQ生效: ", image_path);
  return true;
}

}  // namespace image
