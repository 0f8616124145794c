#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

#include "base/exit_code.h"

namespace tessarin {

// An unexpected platform failure (an undecodable picture, a bad area value, an
// unwritable file, no display for the window...). Thrown where it happens;
// the run's entry catches it, shows the message and ends the program with its
// status: FailureStop unless the failure has a status of its own.
class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& message, ExitCode status = ExitCode::FailureStop)
      : std::runtime_error(message), status_(status) {}

  ExitCode Status() const { return status_; }

  // "<file>: <reason>", the form every failure about a file takes.
  static Failure InFile(const std::string& file, const std::string& reason) {
    return Failure(file + ": " + reason);
  }

 private:
  ExitCode status_;
};

// The system's text for an errno value ("No such file or directory"), the
// reason a failure about a file gives when a system call refused.
inline std::string ErrnoText(int error) { return std::generic_category().message(error); }

}  // namespace tessarin
