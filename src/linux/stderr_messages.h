#pragma once

#include <string>

namespace tessarin::linux_platform {

// The text with every "\r\n" (and a lone "\r") as one "\n".
std::string WithLineFeeds(const std::string& text);

// The text with every control character but line feed and tab written as
// "\x1b" (ESC), so that a file name cannot move the cursor, recolour or
// retitle the terminal it is shown on: the C0 controls, DEL, the C1 controls
// (U+0080 to U+009F) and each byte that is no part of well-formed UTF-8.
// Printable UTF-8 stays as it is; a backslash stays a backslash.
std::string WithControlsEscaped(const std::string& text);

// Writes the text, its controls escaped, and a line break to standard error
// in one write, so that a run from a terminal, a scheduler or a logon script
// leaves a trace.
void WriteToStderr(const std::string& text);

}  // namespace tessarin::linux_platform
