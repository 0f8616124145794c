#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/temporary_folder.h"

namespace tessarin::testing {

struct RunResult {
  int exitCode = -1;
  std::string standardError;
};

// A throw-away user: its own HOME and XDG_CONFIG_HOME, no display, no locale
// variable.
class ThrowAwayUser {
 public:
  ThrowAwayUser() = default;
  ThrowAwayUser(const ThrowAwayUser&) = delete;
  ThrowAwayUser& operator=(const ThrowAwayUser&) = delete;

  const std::filesystem::path& Home() const { return home_; }
  std::filesystem::path ConfigFolder() const { return home_ / ".config" / "Tessarin"; }

  // Runs the built executable with these arguments in the user's home;
  // `launcher` (a program and its arguments) starts it when given.
  RunResult Run(const std::vector<std::string>& arguments,
                const std::vector<std::string>& extraEnvironment = {},
                const std::vector<std::string>& launcher = {}) const;
  // Starts it without waiting (through `launcher`, when given); returns the
  // process id.
  int Start(const std::vector<std::string>& arguments,
            const std::vector<std::string>& launcher = {}) const;
  // Runs it once without arguments so that the first-run notice is behind us.
  void PassFirstRun() const;

 private:
  int Spawn(const std::vector<std::string>& arguments,
            const std::vector<std::string>& extraEnvironment,
            const std::filesystem::path& errorPath,
            const std::vector<std::string>& launcher = {}) const;
  TemporaryFolder temporary_{"tessarin-user"};
  std::filesystem::path home_ = temporary_.Path();
};

}  // namespace tessarin::testing
