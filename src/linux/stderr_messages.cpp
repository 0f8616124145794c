#include "linux/stderr_messages.h"

#include <unistd.h>

namespace tessarin::linux_platform {

std::string WithLineFeeds(const std::string& text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\r\n") == 0) ++i;  // the pair is one line break
    result += text[i] == '\r' ? '\n' : text[i];
  }
  return result;
}

void WriteToStderr(const std::string& text) {
  const std::string line = WithLineFeeds(text) + '\n';
  // One write, so that lines of concurrent runs do not interleave.
  for (std::size_t done = 0; done < line.size();) {
    const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
    if (n <= 0) return;  // nowhere to report to
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace tessarin::linux_platform
