#pragma once

#include <stdexcept>
#include <string>

namespace tessarin {

// An unexpected platform failure (an undecodable picture, a bad area value, an
// unwritable file...). Thrown where it happens; the run's entry catches it,
// shows the message and ends the program with a non-zero status.
class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& message) : std::runtime_error(message) {}

  // "<file>: <reason>", the form every failure about a file takes.
  static Failure InFile(const std::string& file, const std::string& reason) {
    return Failure(file + ": " + reason);
  }
};

}  // namespace tessarin
