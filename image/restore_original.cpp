// Restoring writes only bytes that were just seen to decode, so it can never
// put a cut-short or foreign file where the client looks for the skin.
#include "image/restore_original.h"

#include <vector>

#include "codec/image_codec.h"
#include "image/backup.h"
#include "image/image_lock.h"
#include "image/safe_replace.h"
#include "image/skin_files.h"

namespace image {
namespace {

// The backup's bytes when they are a whole image; otherwise says why there
// is nothing to restore from and returns false.
bool whole_backup(platform::Files& files, platform::Console& console,
                  const SkinFiles& names, std::vector<unsigned char>& bytes) {
  const std::string& backup = names.backup;
  BackupState state = BackupState::broken;
  if (read_backup(files, names, bytes, state) && is_whole_image(bytes)) {
    return true;
  }
  switch (state) {
    case BackupState::missing:
      console.line("没有找到备份文件，无法恢复，图片未作修改: ", backup);
      return false;
    case BackupState::not_a_file:
      console.line("备份位置是文件夹或链接，无法恢复，图片未作修改: ", backup);
      return false;
    case BackupState::usable:
    case BackupState::empty:
    case BackupState::broken:
      break;
  }
  console.line("备份文件不是完整的图片，无法恢复，图片未作修改: ", backup);
  return false;
}

}  // namespace

bool restore_original(platform::Files& files, platform::Console& console,
                      const std::string& image_path) {
  const SkinFiles names = skin_files_for(image_path);
  std::unique_ptr<platform::HeldLock> lock;
  if (!lock_image(files, console, names, lock)) return false;
  remove_leftovers(files, names);
  std::vector<unsigned char> original;
  if (!whole_backup(files, console, names, original)) return false;
  {
    std::vector<unsigned char> current;
    std::string unread;
    if (files.read_file(image_path, largest_image_file(), current, unread) ==
            platform::ReadOutcome::read &&
        current == original) {
      console.line("图片与备份完全相同，已经是原图，无需恢复: ", image_path);
      return false;
    }
  }
  if (!replace_image(files, console, names, original.data(), original.size(),
                     "恢复失败，图片保持原样: ")) {
    return false;
  }
  console.line("已用备份恢复原图，重启QQ生效: ", image_path);
  return true;
}

}  // namespace image
