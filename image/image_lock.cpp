// The lock lives in a file beside the image, so runs agree on it whatever
// path spelling brought them to the skin folder's files.
#include "image/image_lock.h"

#include "image/backup.h"
#include "image/safe_replace.h"
#include "platform/console.h"

namespace image {

bool lock_image(platform::Files& files, const std::string& image_path,
                std::unique_ptr<platform::HeldLock>& lock) {
  std::string error;
  switch (files.lock_file(image_path + ".lock", lock, error)) {
    case platform::LockOutcome::locked:
      break;
    case platform::LockOutcome::busy:
      platform::console_line("另一个skinalpha正在处理这个皮肤，图片未作修改: ",
                             image_path);
      platform::console_line("请等它结束后再运行。");
      return false;
    case platform::LockOutcome::failed:
      platform::console_line("无法锁定皮肤图片，图片未作修改: ", error);
      return false;
  }
  // Only a run holding the lock writes these names, so whatever stands
  // there now was left by a run that was killed.
  for (const std::string& path :
       {temporary_path_for(image_path),
        temporary_path_for(backup_path_for(image_path))}) {
    if (files.path_kind(path) == platform::PathKind::file) {
      files.remove_file(path);
    }
  }
  return true;
}

}  // namespace image
