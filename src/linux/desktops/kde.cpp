// Plasma keeps each desktop's wallpaper in the shell's own configuration, so
// it is changed through the shell: a script run by its D-Bus method
// org.kde.PlasmaShell.evaluateScript, sent by whichever D-Bus tool is there.
#include <sstream>

#include "linux/desktops/backends.h"
#include "linux/desktops/desktop_values.h"
#include "text/ascii_text.h"

namespace tessarin::linux_platform {
namespace {

constexpr const char* kService = "org.kde.plasmashell";
constexpr const char* kObject = "/PlasmaShell";
constexpr const char* kMethod = "org.kde.PlasmaShell.evaluateScript";

ToolOutcome EvaluateScript(ToolRunner& tools, const std::string& script) {
  ToolOutcome outcome = tools.Run("dbus-send", {"--session", "--print-reply=literal", "--reply-timeout=1800",
                                                std::string("--dest=") + kService, kObject, kMethod,
                                                "string:" + script});
  for (const char* qdbus : {"qdbus6", "qdbus"}) {
    if (outcome.status != ToolOutcome::Status::Missing) break;
    outcome = tools.Run(qdbus, {kService, kObject, kMethod, script});
  }
  return outcome;
}

// The script prints each desktop's Image after the change, one a line. The
// URIs need no escaping in a script string: they are percent-encoded.
std::string PlasmaWallpaperScript(const std::string& path) {
  std::ostringstream script;
  script << "var nudge = \"" << FileUri(SameFileOtherSpelling(path)) << "\";\n"
         << "var uri = \"" << FileUri(path) << "\";\n"
         << "desktops().forEach(function (d) {\n"
         << "  d.wallpaperPlugin = \"org.kde.image\";\n"
         << "  d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
         << "  d.writeConfig(\"Image\", nudge);\n"
         << "  d.writeConfig(\"Image\", uri);\n"
         << "  print(d.readConfig(\"Image\") + \"\\n\");\n"
         << "});\n";
  return script.str();
}

}  // namespace

// A shell with locked widgets answers with an error: passed over like any other.
void ApplyKde(const DesktopTools& desktop, const std::string& path) {
  const auto outcome = EvaluateScript(desktop.tools, PlasmaWallpaperScript(path));
  if (!outcome.Succeeded()) return;
  const std::string wanted = FileUri(path);
  std::istringstream lines(outcome.output);
  std::string line;
  while (std::getline(lines, line)) {
    const std::string found(TrimStart(line, kSpacesAndTabs));
    if (found.empty()) continue;
    if (found != wanted) {
      desktop.ReportMismatch("the Plasma desktop's Image", wanted, found);
      return;
    }
  }
}

}  // namespace tessarin::linux_platform
