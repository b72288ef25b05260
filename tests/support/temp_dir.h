// A folder of its own in the system's temporary directory for a test's files,
// removed with all it holds at the end.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace vexpick::testing {

class TempDirectory {
 public:
  // Test programs run side by side: each takes the first free name.
  TempDirectory() {
    std::random_device random;
    do {
      path_ = std::filesystem::temp_directory_path() / ("vexpick-test-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(path_));
  }
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  [[nodiscard]] std::string Path() const { return path_.string(); }
  [[nodiscard]] std::string PathOf(std::string_view name) const { return (path_ / name).string(); }

  // Writes the file `name` in the folder; returns its path.
  std::string Write(std::string_view name, std::string_view content) const {
    const std::string path = PathOf(name);
    std::ofstream file(path, std::ios::binary);
    if (!(file << content)) throw std::runtime_error("cannot write " + path);
    return path;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace vexpick::testing
