#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/temporary_folder.h"

namespace tessarin::testing {

// Sets (or with nullopt removes) an environment variable while it lives, then
// puts the old value back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, const std::optional<std::string>& value)
      : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    Set(value);
  }
  ~ScopedEnvironment() { Set(old_); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
    if (value)
      ::setenv(name_.c_str(), value->c_str(), 1);
    else
      ::unsetenv(name_.c_str());
  }
  std::string name_;
  std::optional<std::string> old_;
};

// A throw-away configuration home: XDG_CONFIG_HOME names a fresh folder.
class TemporaryConfigHome {
 public:
  TemporaryConfigHome() : xdg_("XDG_CONFIG_HOME", folder_.Path().string()) {}
  const std::filesystem::path& Path() const { return folder_.Path(); }
  std::filesystem::path ProgramFolder() const { return Path() / "Tessarin"; }

 private:
  TemporaryFolder folder_;
  ScopedEnvironment xdg_;
};

// The names in a folder, to catch stray temporary files.
}  // namespace tessarin::testing
