#pragma once

#include "ports/path_rules.h"
#include "text/ascii_text.h"

namespace tessarin::linux_platform {

// Linux: "/" separates folders, letter case names other files, and file
// names take UTF-8 as it is, so lower-casing maps ASCII letters only.
class LinuxPathRules : public ports::PathRules {
 public:
  char PathSeparator() const override { return '/'; }
  bool FileNamesIgnoreCase() const override { return false; }
  std::string LowerCase(const std::string& text) const override { return text::AsciiLower(text); }
};

}  // namespace tessarin::linux_platform
