#include "run/report_message.h"

namespace tessarin::run {

std::string MissingPictureMessage(const std::string& path) {
  return "[" + path + "] does not exist... quitting.";
}

void ReportMessage(const ports::Platform& platform, const std::string& text) {
  platform.messages.Show(text);
}

}  // namespace tessarin::run
