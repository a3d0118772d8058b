// The copy of the skin image kept beside it before the tool first changes
// it: the user's way back to the original, so only a whole image counts.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "image/skin_files.h"
#include "platform/console.h"
#include "platform/files.h"

namespace image {

enum class BackupState {
  usable,      // a regular file that decodes: never touched again
  missing,     // nothing there: make one
  empty,       // an empty file (a copy cut short at its start): make one
  not_a_file,  // a folder, a link or a device: never touched
  broken,      // a file that does not decode: kept for the user to judge
};

// Reads what stands at the backup path into `bytes`. True when there are
// bytes to be judged by decoding them; otherwise false, with `state` saying
// what stands there (`broken` for a file that cannot be read, or is longer
// than any image could be, which is then never read).
bool read_backup(platform::Files& files, const SkinFiles& names,
                 std::vector<unsigned char>& bytes, BackupState& state);

// True when `bytes` decode as a whole image.
bool is_whole_image(const std::vector<unsigned char>& bytes);

// What stands at the backup path, judged while the caller decodes the image
// whose file held `image_bytes`: `decode_image` runs once, on this thread,
// whatever the state, and says whether the image decoded. A backup of the
// very same bytes decodes exactly when they do and is not decoded again; any
// other is decoded on a second thread meanwhile, so checking it adds no wall
// time.
BackupState inspect_backup(platform::Files& files, const SkinFiles& names,
                           const std::vector<unsigned char>& image_bytes,
                           const std::function<bool()>& decode_image);

// True when `state` means a backup must be written before any change.
bool needs_backup(BackupState state);

// Says on the console why the image cannot be changed beside this backup,
// and what the user can do. Only for `not_a_file` and `broken`.
void report_unusable_backup(platform::Console& console, BackupState state,
                            const SkinFiles& names);

// Writes `original` (the image file's bytes, already known to decode) as the
// backup: under a temporary name first, flushed, then given the backup name
// in one step, so no moment leaves a partial file at the backup path. An
// existing backup is never replaced, except an empty file. Returns false,
// after saying so on the console, when no backup could be made; the image
// must then not be changed.
bool write_backup(platform::Files& files, platform::Console& console,
                  const SkinFiles& names,
                  const std::vector<unsigned char>& original,
                  BackupState state);

}  // namespace image
