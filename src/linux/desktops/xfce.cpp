// XFCE keeps one last-image property per monitor and workspace in the
// xfce4-desktop channel of xfconf; a monitor can appear both by its output
// name and by its old-style index. The `xfconf-query` tool ships with xfconf.
#include <algorithm>
#include <optional>
#include <sstream>
#include <vector>

#include "linux/desktops/backends.h"
#include "linux/desktops/desktop_values.h"
#include "text/text_lines.h"

namespace tessarin::linux_platform::desktops {
namespace {

constexpr const char* kChannel = "xfce4-desktop";

std::vector<std::string> LastImageProperties(const std::string& listing) {
  std::vector<std::string> properties;
  for (const auto& line : text::LinesOf(listing)) {
    if (line.starts_with("/backdrop/") && line.ends_with("/last-image")) properties.push_back(line);
  }
  return properties;
}

// The outputs `xrandr` calls connected; monitor 0 by index when it cannot say.
std::vector<std::string> MonitorsOfAFreshInstall(ToolRunner& tools) {
  std::vector<std::string> monitors;
  const auto outputs = tools.Run("xrandr", {"--query"});
  if (outputs.Succeeded()) {
    for (const auto& line : text::LinesOf(outputs.output)) {
      std::istringstream words(line);
      std::string name, state;
      if (words >> name >> state && state == "connected") monitors.push_back("monitor" + name);
    }
  }
  if (monitors.empty()) monitors.push_back("monitor0");
  return monitors;
}

std::optional<std::string> ValueOf(ToolRunner& tools, const std::string& property) {
  const auto value = tools.Run("xfconf-query", {"-c", kChannel, "-p", property});
  if (!value.Succeeded()) return std::nullopt;
  std::string found = value.output;
  if (!found.empty() && found.back() == '\n') found.pop_back();
  return found;
}

void ReadBack(const DesktopTools& desktop, const std::string& property,
              const std::string& expected) {
  const auto found = ValueOf(desktop.tools, property);
  if (found && *found != expected) desktop.ReportMismatch("xfconf " + property, expected, *found);
}

// Style 0 ("None") shows no picture on that monitor and workspace; it becomes
// 5 ("Zoomed"). Any other style the user chose stays.
void ShowPicture(const DesktopTools& desktop, const std::string& styleProperty) {
  constexpr const char* kNone = "0";
  constexpr const char* kZoomed = "5";
  if (ValueOf(desktop.tools, styleProperty) != kNone) return;
  const auto set =
      desktop.tools.Run("xfconf-query", {"-c", kChannel, "-p", styleProperty, "-s", kZoomed});
  if (set.Succeeded()) ReadBack(desktop, styleProperty, kZoomed);
}

std::string StyleBeside(const std::string& lastImageProperty) {
  return lastImageProperty.substr(0, lastImageProperty.rfind('/') + 1) + "image-style";
}

bool Listed(const std::string& listing, const std::string& property) {
  const auto lines = text::LinesOf(listing);
  return std::find(lines.begin(), lines.end(), property) != lines.end();
}

}  // namespace

// xfconfd announces a property only when its value changes, hence the other
// spelling first on properties that exist.
void ApplyXfce(const DesktopTools& desktop, const std::string& path) {
  const auto listing = desktop.tools.Run("xfconf-query", {"-c", kChannel, "-l"});
  if (!listing.Succeeded()) return;
  const auto properties = LastImageProperties(listing.output);
  for (const auto& property : properties) {
    const auto nudge = desktop.tools.Run(
        "xfconf-query", {"-c", kChannel, "-p", property, "-s", SameFileOtherSpelling(path)});
    if (nudge.Unreachable()) return;
    const auto set =
        desktop.tools.Run("xfconf-query", {"-c", kChannel, "-p", property, "-s", path});
    if (set.Unreachable()) return;
    if (!set.Succeeded()) continue;
    ReadBack(desktop, property, path);
    if (Listed(listing.output, StyleBeside(property))) ShowPicture(desktop, StyleBeside(property));
  }
  if (!properties.empty()) return;
  for (const auto& monitor : MonitorsOfAFreshInstall(desktop.tools)) {
    const std::string property = "/backdrop/screen0/" + monitor + "/workspace0/last-image";
    const auto created = desktop.tools.Run(
        "xfconf-query", {"-c", kChannel, "-p", property, "-n", "-t", "string", "-s", path});
    if (created.Unreachable()) return;
    if (created.Succeeded()) ReadBack(desktop, property, path);
  }
}

}  // namespace tessarin::linux_platform::desktops
