// The backup is written like the image is replaced: beside, flushed, then
// named in one step. A run killed at any moment leaves either no backup or a
// whole one, never a cut-short file that a later run would take for the
// original.
#include "image/backup.h"

#include "image/png_codec.h"
#include "image/safe_replace.h"
#include "platform/console.h"

namespace image {

std::string backup_path_for(const std::string& image_path) {
  return image_path + ".bak";
}

BackupState inspect_backup(platform::Files& files,
                           const std::string& image_path) {
  const std::string backup = backup_path_for(image_path);
  switch (files.path_kind(backup)) {
    case platform::PathKind::missing:
      return BackupState::missing;
    case platform::PathKind::folder:
    case platform::PathKind::other:
      return BackupState::not_a_file;
    case platform::PathKind::file:
      break;
  }
  std::vector<unsigned char> bytes;
  std::string error;
  // Too long to be any image it could hold counts as not a whole one, and is
  // refused before it is read.
  switch (files.read_file(backup, largest_image_file(), bytes, error)) {
    case platform::ReadOutcome::read:
      break;
    case platform::ReadOutcome::missing:
      return BackupState::missing;
    case platform::ReadOutcome::in_use:
    case platform::ReadOutcome::too_large:
    case platform::ReadOutcome::failed:
      return BackupState::broken;
  }
  if (bytes.empty()) return BackupState::empty;
  DecodedImage decoded;
  return decode_image(bytes.data(), bytes.size(), decoded) ==
                 DecodeResult::decoded
             ? BackupState::usable
             : BackupState::broken;
}

bool needs_backup(BackupState state) {
  return state == BackupState::missing || state == BackupState::empty;
}

void report_unusable_backup(BackupState state, const std::string& image_path) {
  const std::string backup = backup_path_for(image_path);
  if (state == BackupState::not_a_file) {
    platform::console_line("备份位置被文件夹或链接占用，图片未作修改: ", backup);
    platform::console_line("请把它移走或改名后再运行。");
    return;
  }
  platform::console_line("备份文件不是完整的图片，图片未作修改: ", backup);
  platform::console_line(
      "它可能是中断的备份。请先检查它：确认没有用处后删除或改名，再运行。");
}

bool write_backup(platform::Files& files, const std::string& image_path,
                  const std::vector<unsigned char>& original,
                  BackupState state) {
  const std::string backup = backup_path_for(image_path);
  const std::string temporary = free_temporary_path(files, backup);
  std::string error;
  const bool written = files.write_new_file(temporary, original.data(),
                                            original.size(), error);
  bool kept = written;
  if (kept && state == BackupState::empty) {
    // An empty file holds nothing of the original; a whole copy may take
    // its place.
    kept = files.replace_file(temporary, backup, error);
  } else if (kept) {
    switch (files.move_if_absent(temporary, backup, error)) {
      case platform::MoveOutcome::moved:
        break;
      case platform::MoveOutcome::target_exists:
        error = backup + ": 已存在";
        kept = false;
        break;
      case platform::MoveOutcome::failed:
        kept = false;
        break;
    }
  }
  if (!kept) {
    // Only a file this run wrote is removed; a failed write left nothing.
    if (written) files.remove_file(temporary);
    platform::console_line("无法备份到 " + backup + "，图片未作修改: ", error);
  }
  return kept;
}

}  // namespace image
