// Runs the opacity transform alone on one image, the way a run of the tool
// does after the user confirmed it, so its time can be set beside other
// libraries'. Prints the transform's own wall time on standard error, so a
// build run under Wine can be timed without Wine's start-up.
// Usage: transform_driver IMAGE OPACITY
#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "image/opacity_transform.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: transform_driver IMAGE OPACITY\n";
    return 2;
  }
  std::istringstream typed(std::string(argv[2]) + "\n");
  platform::prepare_file_writes();
  platform::SystemFiles files;
  const auto start = std::chrono::steady_clock::now();
  const bool rewritten = image::rewrite_opacity(files, argv[1], typed);
  const std::chrono::duration<double> took =
      std::chrono::steady_clock::now() - start;
  std::fprintf(stderr, "transform seconds: %.4f\n", took.count());
  return rewritten ? 0 : 1;
}
