#pragma once

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tessarin::testing {

// Sends the process's stderr (file descriptor 2) to a file while it lives.
class CapturedStderr {
 public:
  CapturedStderr() : path_(std::filesystem::temp_directory_path() / "tessarin-stderr-XXXXXX") {
    std::string pattern = path_.string();
    const int file = ::mkstemp(pattern.data());
    path_ = pattern;
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    ::dup2(file, STDERR_FILENO);
    ::close(file);
  }
  ~CapturedStderr() {
    Restore();
    std::filesystem::remove(path_);
  }
  CapturedStderr(const CapturedStderr&) = delete;
  CapturedStderr& operator=(const CapturedStderr&) = delete;

  // What was written so far; stderr goes back where it was.
  std::string Text() {
    Restore();
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
  }

  std::filesystem::path path_;
  int saved_ = -1;
};

}  // namespace tessarin::testing
