// Plasma keeps each desktop's wallpaper in the shell's own configuration, so
// it is changed through the shell: a script run by its D-Bus method
// org.kde.PlasmaShell.evaluateScript, sent by whichever D-Bus tool is there.
#include <sstream>

#include "linux/desktops/backends.h"
#include "linux/desktops/desktop_values.h"
#include "text/ascii_text.h"
#include "text/text_lines.h"

namespace tessarin::linux_platform::desktops {
namespace {

constexpr const char* kService = "org.kde.plasmashell";
constexpr const char* kObject = "/PlasmaShell";
constexpr const char* kMethod = "org.kde.PlasmaShell.evaluateScript";

// A D-Bus call, as dbus-send or a qdbus tool takes it.
struct Call {
  const char* service;
  const char* object;
  const char* method;
  std::string argument;
};

ToolOutcome Send(ToolRunner& tools, const std::string& tool, const Call& call) {
  if (tool == "dbus-send") {
    return tools.Run(tool, {"--session", "--print-reply=literal", "--reply-timeout=1800",
                            std::string("--dest=") + call.service, call.object, call.method,
                            "string:" + call.argument});
  }
  return tools.Run(tool, {call.service, call.object, call.method, call.argument});
}

// The script's outcome, and the tool that carried it.
struct Evaluated {
  ToolOutcome outcome;
  std::string tool;
};

Evaluated EvaluateScript(ToolRunner& tools, const std::string& script) {
  Evaluated evaluated;
  for (const char* tool : {"dbus-send", "qdbus6", "qdbus"}) {
    evaluated = {Send(tools, tool, {kService, kObject, kMethod, script}), tool};
    if (evaluated.outcome.status != ToolOutcome::Status::Missing) break;
  }
  return evaluated;
}

// A failed call came from a shell that refused the script (locked widgets
// answer with an error) when the shell is on the bus; else Plasma is not
// running, which is passed over silently like any desktop out of reach.
bool ShellIsRunning(ToolRunner& tools, const std::string& tool) {
  const auto answer = Send(tools, tool,
                           {"org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus.NameHasOwner", kService});
  return answer.Succeeded() && answer.output.find("true") != std::string::npos;
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

void ApplyKde(const DesktopTools& desktop, const std::string& path) {
  const auto [outcome, tool] = EvaluateScript(desktop.tools, PlasmaWallpaperScript(path));
  if (outcome.status == ToolOutcome::Status::Failed && ShellIsRunning(desktop.tools, tool)) {
    desktop.Report("the Plasma shell refused the script that sets the wallpaper");
  }
  if (!outcome.Succeeded()) return;
  const std::string wanted = FileUri(path);
  for (const std::string& line : text::LinesOf(outcome.output)) {
    const std::string found(text::TrimStart(line, text::kSpacesAndTabs));
    if (found.empty()) continue;
    if (found != wanted) {
      desktop.ReportMismatch("the Plasma desktop's Image", wanted, found);
      return;
    }
  }
}

}  // namespace tessarin::linux_platform::desktops
