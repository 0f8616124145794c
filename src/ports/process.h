#pragma once

#include <string>

namespace tessarin::ports {

class Process {
 public:
  virtual ~Process() = default;

  // The program's arguments as one text, without the program's own name.
  virtual std::string CommandLine() const = 0;
};

}  // namespace tessarin::ports
