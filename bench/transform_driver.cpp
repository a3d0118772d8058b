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

namespace {

// The lines go to standard output as the tool's would; the opacity from the
// command line is the one typed answer.
class TypedConsole final : public platform::Console {
 public:
  explicit TypedConsole(const std::string& opacity) : typed_(opacity + "\n") {}
  void write(const std::string& text) override {
    std::cout << text << std::flush;
  }
  platform::LineRead read_line(std::size_t limit, std::string& line) override {
    return platform::read_bounded_line(typed_, limit, line);
  }
  void pause() override {}

 private:
  std::istringstream typed_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: transform_driver IMAGE OPACITY\n";
    return 2;
  }
  TypedConsole console(argv[2]);
  platform::prepare_file_writes();
  platform::SystemFiles files;
  const auto start = std::chrono::steady_clock::now();
  const bool rewritten = image::rewrite_opacity(files, console, argv[1]);
  const std::chrono::duration<double> took =
      std::chrono::steady_clock::now() - start;
  std::fprintf(stderr, "transform seconds: %.4f\n", took.count());
  return rewritten ? 0 : 1;
}
