// Runs the opacity transform alone on one image, the way a run of the tool
// does after the user confirmed it, so its time can be set beside other
// libraries'. Usage: transform_driver IMAGE OPACITY
#include <iostream>
#include <sstream>

#include "image/opacity_transform.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: transform_driver IMAGE OPACITY\n";
    return 2;
  }
  std::istringstream typed(std::string(argv[2]) + "\n");
  platform::SystemFiles files;
  return image::rewrite_opacity(files, argv[1], typed) ? 0 : 1;
}
