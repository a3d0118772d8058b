// The lock is held on the skin folder itself, not on a file in it, so no name
// in the folder can fake a run, block every run or lead the lock elsewhere.
#include "image/image_lock.h"

namespace image {

void report_missing_image(platform::Console& console,
                          const std::string& image_path) {
  console.line("找不到皮肤图片 main.png，图片未作修改: ", image_path);
}

bool lock_image(platform::Files& files, platform::Console& console,
                const SkinFiles& names,
                std::unique_ptr<platform::HeldLock>& lock) {
  std::string error;
  switch (files.lock_folder(names.folder, lock, error)) {
    case platform::LockOutcome::locked:
      return true;
    case platform::LockOutcome::busy:
      console.line("另一个skinalpha正在处理这个皮肤，图片未作修改: ",
                   names.image);
      console.line("请等它结束后再运行。");
      return false;
    case platform::LockOutcome::failed:
      // A folder that is not there holds no image; that is the true reason.
      if (files.path_kind(names.image) == platform::PathKind::missing) {
        report_missing_image(console, names.image);
      } else {
        console.line("无法锁定皮肤图片，图片未作修改: ", error);
      }
      return false;
  }
  return false;
}

void remove_leftovers(platform::Files& files, const SkinFiles& names) {
  // Only a run holding the lock writes these names, so a plain file there now
  // was left by a run that was killed. Anything else stays, and the writes
  // go to another of the names.
  for (const auto* temporaries :
       {&names.image_temporaries, &names.backup_temporaries}) {
    for (const std::string& path : *temporaries) {
      if (files.path_kind(path) == platform::PathKind::file) {
        files.remove_file(path);
      }
    }
  }
}

}  // namespace image
