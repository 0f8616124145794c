#pragma once

#include <string>

namespace tessarin::linux_platform {

// The text with every "\r\n" (and a lone "\r") as one "\n".
std::string WithLineFeeds(const std::string& text);

// Writes the text and a line break to standard error in one write, so that a
// run from a terminal, a scheduler or a logon script leaves a trace.
void WriteToStderr(const std::string& text);

}  // namespace tessarin::linux_platform
