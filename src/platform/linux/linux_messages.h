#pragma once

#include <ostream>
#include <string>

#include "platform/linux/gui_loader.h"
#include "platform/messages.h"

namespace tessarin::linux_platform {

// Every message goes to stderr, so that a run from a terminal, a scheduler or
// a logon script leaves a trace; on a display it is also a modal box titled
// Tessarin, and Show returns only once the user has pressed OK.
class LinuxMessages : public platform::Messages {
 public:
  LinuxMessages(GuiLoader& gui, std::ostream& errors) : gui_(gui), errors_(errors) {}
  void Show(const std::string& text) override;

 private:
  GuiLoader& gui_;
  std::ostream& errors_;
};

// The text with each CR LF pair made one line break, as stderr and Qt want it.
std::string WithLineFeeds(const std::string& text);

}  // namespace tessarin::linux_platform
