#include "platform/linux/linux_messages.h"

#include "platform/linux/stderr_messages.h"

namespace tessarin::linux_platform {

std::string WithLineFeeds(const std::string& text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\r\n") == 0) ++i;
    result += text[i] == '\r' ? '\n' : text[i];
  }
  return result;
}

void LinuxMessages::Show(const std::string& text) {
  WriteToStderr(text);
  if (GuiModule* gui = gui_.Module()) gui->ShowMessage("Tessarin", WithLineFeeds(text));
}

}  // namespace tessarin::linux_platform
