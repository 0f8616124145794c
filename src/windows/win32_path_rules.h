#pragma once

#include "ports/path_rules.h"

namespace tessarin::windows_platform {

// "\" separates; letter case does not distinguish file names.
class Win32PathRules : public ports::PathRules {
 public:
  char PathSeparator() const override { return '\\'; }
  bool FileNamesIgnoreCase() const override { return true; }
  // The system's own mapping (CharLowerBuffW), so that non-ASCII letters follow too.
  std::string LowerCase(const std::string& text) const override;
};

}  // namespace tessarin::windows_platform
