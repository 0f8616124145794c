#include "platform/linux/stderr_messages.h"

#include <unistd.h>

namespace tessarin::linux_platform {

void WriteToStderr(const std::string& text) {
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\r\n") == 0) ++i;  // the pair is one line break
    line += text[i] == '\r' ? '\n' : text[i];
  }
  line += '\n';
  // One write, so that lines of concurrent runs do not interleave.
  for (std::size_t done = 0; done < line.size();) {
    const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
    if (n <= 0) return;  // nowhere to report to
    done += static_cast<std::size_t>(n);
  }
}

void StderrMessages::Show(const std::string& text) { WriteToStderr(text); }

void NoDisplayConfigWindow::Open() {
  WriteToStderr("The configuration window needs a display.");
  process_.EndProgram(ExitCode::NoDisplay);
}

}  // namespace tessarin::linux_platform
