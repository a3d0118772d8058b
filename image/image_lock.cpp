// The lock is held on the skin folder itself, not on a file in it, so no name
// in the folder can fake a run, block every run or lead the lock elsewhere.
#include "image/image_lock.h"

#include "image/backup.h"
#include "image/safe_replace.h"
#include "platform/console.h"
#include "platform/paths.h"

namespace image {

void report_missing_image(const std::string& image_path) {
  platform::console_line("找不到皮肤图片 main.png，图片未作修改: ", image_path);
}

bool lock_image(platform::Files& files, const std::string& image_path,
                std::unique_ptr<platform::HeldLock>& lock) {
  std::string error;
  switch (files.lock_folder(platform::folder_of(image_path), lock, error)) {
    case platform::LockOutcome::locked:
      break;
    case platform::LockOutcome::busy:
      platform::console_line("另一个skinalpha正在处理这个皮肤，图片未作修改: ",
                             image_path);
      platform::console_line("请等它结束后再运行。");
      return false;
    case platform::LockOutcome::failed:
      // A folder that is not there holds no image; that is the true reason.
      if (files.path_kind(image_path) == platform::PathKind::missing) {
        report_missing_image(image_path);
      } else {
        platform::console_line("无法锁定皮肤图片，图片未作修改: ", error);
      }
      return false;
  }
  // Only a run holding the lock writes these names, so a plain file there now
  // was left by a run that was killed. Anything else stays, and the writes
  // go to another of the names.
  for (const std::string& kept : {image_path, backup_path_for(image_path)}) {
    for (const std::string& path : temporary_paths_for(kept)) {
      if (files.path_kind(path) == platform::PathKind::file) {
        files.remove_file(path);
      }
    }
  }
  return true;
}

}  // namespace image
