// Write beside, then move over: the move is the only step that touches the
// user's file, and it either happens whole or not at all.
#include "image/safe_replace.h"

#include "platform/files.h"

namespace image {

std::string temporary_path_for(const std::string& path) {
  return path + ".tmp";
}

bool replace_contents(const std::string& path, const unsigned char* data,
                      std::size_t size, std::string& error) {
  const std::string temporary = temporary_path_for(path);
  // A run cut short between writing and moving leaves its file behind;
  // anything that is not a plain file stays and makes the write fail.
  platform::remove_file(temporary);
  if (!platform::write_new_file(temporary, data, size, error)) return false;
  if (!platform::replace_file(temporary, path, error)) {
    platform::remove_file(temporary);
    return false;
  }
  return true;
}

}  // namespace image
