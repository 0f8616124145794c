#pragma once

#include "platform/config_window.h"
#include "platform/messages.h"
#include "platform/process.h"

namespace tessarin::linux_platform {

// Where no display is at hand, every message goes to standard error.
class StderrMessages : public platform::Messages {
 public:
  void Show(const std::string& text) override;
};

// Writes the text to standard error as one line, "\r\n" as a line break.
void WriteToStderr(const std::string& text);

// The configuration window cannot be shown without a display: says so and
// ends the program with a non-zero status, writing nothing.
class NoDisplayConfigWindow : public platform::ConfigWindow {
 public:
  explicit NoDisplayConfigWindow(platform::Process& process) : process_(process) {}
  void Open() override;

 private:
  platform::Process& process_;
};

}  // namespace tessarin::linux_platform
