// The skin's file names, so no two parts of the tool can disagree on one.
#include "image/skin_files.h"

#include "platform/paths.h"

namespace image {
namespace {

std::vector<std::string> temporaries_for(const std::string& path) {
  const std::string first = path + ".tmp";
  return {first, first + "1", first + "2", first + "3"};
}

}  // namespace

SkinFiles skin_files_for(const std::string& image_path) {
  SkinFiles names;
  names.image = image_path;
  names.backup = image_path + ".bak";
  names.folder = platform::folder_of(image_path);
  names.image_temporaries = temporaries_for(names.image);
  names.backup_temporaries = temporaries_for(names.backup);
  return names;
}

std::string free_temporary_path(platform::Files& files,
                                const std::vector<std::string>& temporaries) {
  for (const std::string& name : temporaries) {
    if (files.path_kind(name) == platform::PathKind::missing) return name;
  }
  return temporaries.front();
}

}  // namespace image
