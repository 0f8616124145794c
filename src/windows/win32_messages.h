#pragma once

#include "ports/messages.h"

namespace tessarin::windows_platform {

// The system's message box: titled Tessarin, no icon, a single OK.
class Win32Messages : public ports::Messages {
 public:
  void Show(const std::string& text) override;
};

}  // namespace tessarin::windows_platform
