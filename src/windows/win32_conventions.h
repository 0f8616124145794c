#pragma once

#include "ports/conventions.h"

namespace tessarin::win32_platform {

// "\" separates; letter case does not distinguish file names.
class Win32Conventions : public ports::Conventions {
 public:
  char PathSeparator() const override { return '\\'; }
  bool FileNamesIgnoreCase() const override { return true; }
  // The system's own mapping (CharLowerBuffW), so that non-ASCII letters follow too.
  std::string LowerCase(const std::string& text) const override;
  // The user's LOCALE_SDECIMAL.
  std::string DecimalSeparator() const override;
};

}  // namespace tessarin::win32_platform
