// The backup is written like the image is replaced: beside, flushed, then
// named in one step. A run killed at any moment leaves either no backup or a
// whole one, never a cut-short file that a later run would take for the
// original.
#include "image/backup.h"

#include <system_error>
#include <thread>

#include "codec/image_codec.h"
#include "image/safe_replace.h"

namespace image {

bool is_whole_image(const std::vector<unsigned char>& bytes) {
  DecodedImage decoded;
  return decode_image(bytes.data(), bytes.size(), decoded) ==
         DecodeResult::decoded;
}

bool read_backup(platform::Files& files, const SkinFiles& names,
                 std::vector<unsigned char>& bytes, BackupState& state) {
  const std::string& backup = names.backup;
  switch (files.path_kind(backup)) {
    case platform::PathKind::missing:
      state = BackupState::missing;
      return false;
    case platform::PathKind::folder:
    case platform::PathKind::other:
      state = BackupState::not_a_file;
      return false;
    case platform::PathKind::file:
      break;
  }
  std::string error;
  state = BackupState::broken;
  switch (files.read_file(backup, largest_image_file(), bytes, error)) {
    case platform::ReadOutcome::read:
      break;
    case platform::ReadOutcome::missing:
      state = BackupState::missing;
      return false;
    case platform::ReadOutcome::in_use:
    case platform::ReadOutcome::too_large:
    case platform::ReadOutcome::failed:
      return false;
  }
  if (!bytes.empty()) return true;
  state = BackupState::empty;
  return false;
}

BackupState inspect_backup(platform::Files& files, const SkinFiles& names,
                           const std::vector<unsigned char>& image_bytes,
                           const std::function<bool()>& decode_image) {
  std::vector<unsigned char> bytes;
  BackupState state = BackupState::broken;
  if (!read_backup(files, names, bytes, state)) {
    decode_image();
    return state;
  }
  if (bytes == image_bytes) {
    // The same bytes decode the same way: the image's decode speaks for both.
    return decode_image() ? BackupState::usable : BackupState::broken;
  }
  bool backup_whole = false;
  std::thread beside;
  try {
    beside = std::thread([&bytes, &backup_whole] {
      backup_whole = is_whole_image(bytes);
    });
  } catch (const std::system_error&) {
    backup_whole = is_whole_image(bytes);  // no thread to be had: in turn
  }
  struct Joined {
    std::thread& thread;
    ~Joined() {
      if (thread.joinable()) thread.join();
    }
  } joined{beside};
  decode_image();
  if (beside.joinable()) beside.join();
  return backup_whole ? BackupState::usable : BackupState::broken;
}

bool needs_backup(BackupState state) {
  return state == BackupState::missing || state == BackupState::empty;
}

void report_unusable_backup(platform::Console& console, BackupState state,
                            const SkinFiles& names) {
  const std::string& backup = names.backup;
  if (state == BackupState::not_a_file) {
    console.line("备份位置被文件夹或链接占用，图片未作修改: ", backup);
    console.line("请把它移走或改名后再运行。");
    return;
  }
  console.line("备份文件不是完整的图片，图片未作修改: ", backup);
  console.line(
      "它可能是中断的备份。请先检查它：确认没有用处后删除或改名，再运行。");
}

bool write_backup(platform::Files& files, platform::Console& console,
                  const SkinFiles& names,
                  const std::vector<unsigned char>& original,
                  BackupState state) {
  const std::string& backup = names.backup;
  const std::string temporary =
      free_temporary_path(files, names.backup_temporaries);
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
    console.line("无法备份到 " + backup + "，图片未作修改: ", error);
  }
  return kept;
}

}  // namespace image
