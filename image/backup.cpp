// The backup is written like the image is replaced: beside, flushed, then
// named in one step. A run killed at any moment leaves either no backup or a
// whole one, never a cut-short file that a later run would take for the
// original.
#include "image/backup.h"

#include <system_error>
#include <thread>

#include "image/png_codec.h"
#include "image/safe_replace.h"
#include "platform/console.h"

namespace image {

std::string backup_path_for(const std::string& image_path) {
  return image_path + ".bak";
}

namespace {

bool decodes(const std::vector<unsigned char>& bytes) {
  DecodedImage decoded;
  return decode_image(bytes.data(), bytes.size(), decoded) ==
         DecodeResult::decoded;
}

// The bytes at the backup path, or the state that needs no decode.
bool read_backup(platform::Files& files, const std::string& backup,
                 std::vector<unsigned char>& bytes, BackupState& state) {
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
  if (!files.read_file(backup, bytes, error)) return false;
  if (!bytes.empty()) return true;
  state = BackupState::empty;
  return false;
}

BackupState verdict(bool decoded) {
  return decoded ? BackupState::usable : BackupState::broken;
}

}  // namespace

BackupState inspect_backup(platform::Files& files, const std::string& image_path,
                           const ImageLoad& load) {
  std::vector<unsigned char> bytes;
  BackupState state = BackupState::broken;
  if (!read_backup(files, backup_path_for(image_path), bytes, state)) {
    load.read();
    load.decode();
    return state;
  }
  const std::vector<unsigned char>& image_bytes = load.read();
  if (bytes == image_bytes) {
    // The same bytes decode the same way: the image's decode speaks for
    // both. Only should it fail is the backup tried on its own.
    if (load.decode()) return BackupState::usable;
    return verdict(decodes(bytes));
  }
  bool backup_decoded = false;
  std::thread beside;
  try {
    beside = std::thread([&bytes, &backup_decoded] { backup_decoded = decodes(bytes); });
  } catch (const std::system_error&) {
    backup_decoded = decodes(bytes);  // no thread to be had: one after the other
  }
  struct Joined {
    std::thread& thread;
    ~Joined() {
      if (thread.joinable()) thread.join();
    }
  } joined{beside};
  load.decode();
  if (beside.joinable()) beside.join();
  return verdict(backup_decoded);
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
  const std::string temporary = temporary_path_for(backup);
  std::string error;
  bool kept = files.write_new_file(temporary, original.data(),
                                   original.size(), error);
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
    files.remove_file(temporary);
    platform::console_line("无法备份到 " + backup + "，图片未作修改: ", error);
  }
  return kept;
}

}  // namespace image
