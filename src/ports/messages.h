#pragma once

#include <string>

namespace tessarin::ports {

class Messages {
 public:
  virtual ~Messages() = default;

  // Shows the text to the user (titled with the program's name, a single OK)
  // and returns only once the user has acknowledged it. "\r\n" breaks a line.
  virtual void Show(const std::string& text) = 0;
};

}  // namespace tessarin::ports
