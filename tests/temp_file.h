// A file in the temporary folder that removes itself.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

class TempFile {
 public:
  explicit TempFile(std::string_view contents, std::string_view suffix = ".csv") {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("veloplot-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
             std::string(suffix));
    std::ofstream(path_, std::ios::binary).write(contents.data(), contents.size());
  }
  ~TempFile() { std::filesystem::remove(path_); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::string name() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};
