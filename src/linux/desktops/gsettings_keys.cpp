// The desktops whose wallpaper is a GSettings key, reached through the
// `gsettings` tool that each of them ships: a child process can be cut off
// after its time limit, whatever the settings backend does, and keeps GLib
// out of the executable.
#include <vector>

#include "linux/desktops/gsettings_keys.h"
#include "linux/desktops/desktop_values.h"
#include "text/ascii_text.h"

namespace tessarin::linux_platform {
namespace {


std::string ValueFor(const GSettingsKey& key, const std::string& path) {
  return key.takesUri ? FileUri(path) : path;
}

// Sets the key to the other spelling and then to the file itself, so that a
// desktop sees a change even when the path is the one it already shows.
// False when gsettings is missing or hangs: no other key is worth trying.
bool ApplyKey(const DesktopTools& desktop, const GSettingsKey& key, const std::string& path) {
  const std::string wanted = ValueFor(key, path);
  const auto nudge = desktop.tools.Run(
      "gsettings", {"set", key.schema, key.key, GVariantString(ValueFor(key, SameFileOtherSpelling(path)))});
  if (nudge.Unreachable()) return false;
  if (!nudge.Succeeded()) return true;  // no such schema or key here
  const auto set = desktop.tools.Run("gsettings", {"set", key.schema, key.key, GVariantString(wanted)});
  if (!set.Succeeded()) return !set.Unreachable();
  const auto readBack = desktop.tools.Run("gsettings", {"get", key.schema, key.key});
  if (!readBack.Succeeded()) return !readBack.Unreachable();
  const std::string printed(TrimEnd(readBack.output, kLineBlanks));
  const auto found = ParseGVariantString(printed);
  if (found != wanted) {
    desktop.ReportMismatch(std::string(key.schema) + " " + key.key, wanted, printed);
  }
  return true;
}

bool ApplyKeys(const DesktopTools& desktop, const std::vector<GSettingsKey>& keys, const std::string& path) {
  for (const auto& key : keys) {
    if (!ApplyKey(desktop, key, path)) return false;
  }
  return true;
}


// Only a mode that would hide the new wallpaper is changed: any other the
// user chose stays.
void ShowPictures(const DesktopTools& desktop, const PictureMode& mode) {
  const auto current = desktop.tools.Run("gsettings", {"get", mode.schema, mode.key});
  if (!current.Succeeded() || TrimEnd(current.output, kLineBlanks) != mode.hidesPictures) return;
  const auto set = desktop.tools.Run("gsettings", {"set", mode.schema, mode.key, mode.showsPicture});
  if (!set.Succeeded()) return;
  const auto readBack = desktop.tools.Run("gsettings", {"get", mode.schema, mode.key});
  if (readBack.Succeeded() && TrimEnd(readBack.output, kLineBlanks) != mode.showsPicture) {
    desktop.ReportMismatch(std::string(mode.schema) + " " + mode.key, mode.showsPicture, std::string(TrimEnd(readBack.output, kLineBlanks)));
  }
}

}  // namespace

void ApplyKeysAndShow(const DesktopTools& desktop, const std::vector<GSettingsKey>& keys, const PictureMode& mode,
                      const std::string& path) {
  if (ApplyKeys(desktop, keys, path)) ShowPictures(desktop, mode);
}


}  // namespace tessarin::linux_platform
