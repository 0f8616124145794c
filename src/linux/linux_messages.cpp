#include "linux/linux_messages.h"

#include "linux/stderr_messages.h"

namespace tessarin::linux_platform {

void LinuxMessages::Show(const std::string& text) {
  WriteToStderr(text);
  if (GuiModule* gui = gui_.Module()) gui->ShowMessage("Tessarin", WithLineFeeds(text));
}

}  // namespace tessarin::linux_platform
