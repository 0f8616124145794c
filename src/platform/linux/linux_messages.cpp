#include "platform/linux/linux_messages.h"

namespace tessarin::linux_platform {

std::string WithLineFeeds(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    result += text[i];
  }
  return result;
}

void LinuxMessages::Show(const std::string& text) {
  const std::string shown = WithLineFeeds(text);
  errors_ << shown << '\n' << std::flush;
  if (GuiModule* gui = gui_.Module()) gui->ShowMessage("Tessarin", shown);
}

}  // namespace tessarin::linux_platform
