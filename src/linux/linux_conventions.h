#pragma once

#include "ports/conventions.h"

namespace tessarin::linux_platform {

// Linux: "/" separates folders, letter case names other files, and file
// names and the registry stand-in take UTF-8 as it is.
class LinuxConventions : public ports::Conventions {
 public:
  char PathSeparator() const override { return '/'; }
  bool FileNamesIgnoreCase() const override { return false; }
  std::string LowerCase(const std::string& text) const override;
  // Read once, on first use: every area value asks for it.
  std::string DecimalSeparator() const override;

 private:
  mutable std::string decimalSeparator_;
};

}  // namespace tessarin::linux_platform
