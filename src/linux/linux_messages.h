#pragma once

#include <string>

#include "linux/gui_loader.h"
#include "ports/messages.h"

namespace tessarin::linux_platform {

// Every message goes to stderr, so that a run from a terminal, a scheduler or
// a logon script leaves a trace; on a display it is also a modal box titled
// Tessarin, and Show returns only once the user has pressed OK.
class LinuxMessages : public ports::Messages {
 public:
  explicit LinuxMessages(GuiLoader& gui) : gui_(gui) {}
  void Show(const std::string& text) override;

 private:
  GuiLoader& gui_;
};

}  // namespace tessarin::linux_platform
