#pragma once

#include "ports/locale.h"

namespace tessarin::linux_platform {

// The user's LC_NUMERIC.
class LinuxLocale : public ports::Locale {
 public:
  // Read once, on first use: every area value asks for it.
  std::string DecimalSeparator() const override;

 private:
  mutable std::string decimalSeparator_;
};

}  // namespace tessarin::linux_platform
