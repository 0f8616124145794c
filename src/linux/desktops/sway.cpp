// sway and the wlroots compositors speaking its protocol: swaymsg takes the
// wallpaper on its command line.
#include "linux/desktops/backends.h"

namespace tessarin::linux_platform::desktops {
namespace {

// The path passes two parsers in sway. Its command parser splits the command
// at blanks outside quotes and drops the quotes around an argument, keeping
// backslashes, and replaces $name with a variable of the user's configuration;
// `output bg` then hands the path to wordexp(3), which would run $(...) and
// `...`, expand $VAR, ~ and *, and fail on an unquoted ' or ;. So the path is
// set in single quotes for wordexp, with ', ", $ and the blank outside them,
// each after a backslash (wordexp drops it; sway then takes neither the quote
// as its own nor $ as a variable, and does not see two blanks in a row, which
// it would rewrite), and the whole is in double quotes for sway's parser.
std::string SwayBackgroundArgument(const std::string& path) {
  std::string quoted = "\"";
  bool inSingleQuotes = false;
  for (const char c : path) {
    const bool escaped = c == '\'' || c == '"' || c == '$' || c == ' ';
    if (escaped == inSingleQuotes) {
      quoted += '\'';
      inSingleQuotes = !inSingleQuotes;
    }
    if (escaped) quoted += '\\';
    quoted += c;
  }
  if (inSingleQuotes) quoted += '\'';
  return quoted + "\"";
}

}  // namespace

// sway starts a new background client for every bg command, which reads the
// file afresh: one call is enough. sway ends a command at a line break, even
// inside quotes, so a path holding one cannot reach it.
void ApplySway(const DesktopTools& desktop, const std::string& path) {
  if (path.find('\n') != std::string::npos) {
    desktop.Report("sway cannot be given a file name holding a line break");
    return;
  }
  desktop.tools.Run("swaymsg", {"output", "*", "bg", SwayBackgroundArgument(path), "fill"});
}

}  // namespace tessarin::linux_platform::desktops
