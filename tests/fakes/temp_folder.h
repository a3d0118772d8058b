// A real temporary folder for tests that need real files, removed with
// everything in it when the test ends. Paths are UTF-8, as in the program.
#pragma once

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace fakes {

class TempFolder {
 public:
  TempFolder() {
    std::random_device seed;
    std::mt19937_64 random(seed() ^ static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count()));
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
      const auto candidate = base / ("skinalpha-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate)) {
        path_ = candidate.u8string();
        return;
      }
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::u8path(path_), ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const {
    return path_ + "/" + name;
  }

 private:
  std::string path_;
};

// The std::filesystem path of a UTF-8 path.
inline std::filesystem::path fs_path(const std::string& utf8) {
  return std::filesystem::u8path(utf8);
}

// The names in a folder, sorted.
inline std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(fs_path(folder))) {
    names.push_back(e.path().filename().u8string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace fakes
