// Write beside, then move over: the move is the only step that touches the
// user's file, and it either happens whole or not at all.
#include "image/safe_replace.h"

#include "image/skin_files.h"

namespace image {

bool replace_contents(platform::Files& files, const std::string& path,
                      const std::vector<std::string>& temporaries,
                      const unsigned char* data, std::size_t size,
                      std::string& error) {
  const std::string temporary = free_temporary_path(files, temporaries);
  if (!files.write_new_file(temporary, data, size, error)) return false;
  if (!files.replace_file(temporary, path, error)) {
    files.remove_file(temporary);
    return false;
  }
  return true;
}

bool replace_image(platform::Files& files, platform::Console& console,
                   const SkinFiles& names, const unsigned char* data,
                   std::size_t size, const std::string& failure) {
  std::string error;
  if (replace_contents(files, names.image, names.image_temporaries, data, size,
                       error)) {
    return true;
  }
  console.line(failure, names.image);
  console.line("原因: ", error);
  return false;
}

}  // namespace image
