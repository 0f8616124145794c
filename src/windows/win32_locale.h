#pragma once

#include "ports/locale.h"

namespace tessarin::windows_platform {

// The user's locale settings.
class Win32Locale : public ports::Locale {
 public:
  // The user's LOCALE_SDECIMAL.
  std::string DecimalSeparator() const override;
};

}  // namespace tessarin::windows_platform
