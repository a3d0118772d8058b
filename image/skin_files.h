// Every name the tool gives a file of one skin, formed in this one place from
// the image path: the image, its backup, the folder the lock is held on, and
// the temporary names new contents are written under first.
#pragma once

#include <string>
#include <vector>

#include "platform/files.h"

namespace image {

struct SkinFiles {
  std::string image;   // the skin image itself
  std::string backup;  // the image path with ".bak" appended
  std::string folder;  // the folder holding the image, locked while a run works
  // The names new contents of the image and of the backup may be written
  // under, the usual one (".tmp" appended) first. The others are for when
  // something that cannot be proven a plain file (a link, a folder) stands at
  // the usual one and must be left alone. Only the run holding the lock
  // writes them.
  std::vector<std::string> image_temporaries;
  std::vector<std::string> backup_temporaries;
};

SkinFiles skin_files_for(const std::string& image_path);

// The first of `temporaries` with nothing at it; the usual one when none is
// free, so the write fails there and says why.
std::string free_temporary_path(platform::Files& files,
                                const std::vector<std::string>& temporaries);

}  // namespace image
