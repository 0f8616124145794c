// The desktops whose wallpaper is a GSettings key, reached through the
// `gsettings` tool that each of them ships: a child process can be cut off
// after its time limit, whatever the settings backend does, and keeps GLib
// out of the executable.
#include <vector>

#include "platform/linux/desktops/backends.h"
#include "platform/linux/desktops/desktop_values.h"
#include "text/ascii_text.h"

namespace tessarin::linux_platform {
namespace {

struct GSettingsKey {
  const char* schema;
  const char* key;
  bool takesUri;  // a file:// URI, or else a plain path
};

std::string ValueFor(const GSettingsKey& key, const std::string& path) {
  return key.takesUri ? FileUri(path) : path;
}

// Sets the key to the other spelling and then to the file itself, so that a
// desktop sees a change even when the path is the one it already shows.
// False when gsettings is missing or hangs: no other key is worth trying.
bool ApplyKey(const DesktopReach& reach, const GSettingsKey& key, const std::string& path) {
  const std::string wanted = ValueFor(key, path);
  const auto nudge = reach.tools.Run(
      "gsettings", {"set", key.schema, key.key, GVariantString(ValueFor(key, SameFileOtherSpelling(path)))});
  if (nudge.Unreachable()) return false;
  if (!nudge.Succeeded()) return true;  // no such schema or key here
  const auto set = reach.tools.Run("gsettings", {"set", key.schema, key.key, GVariantString(wanted)});
  if (!set.Succeeded()) return !set.Unreachable();
  const auto readBack = reach.tools.Run("gsettings", {"get", key.schema, key.key});
  if (!readBack.Succeeded()) return !readBack.Unreachable();
  const std::string printed(TrimEnd(readBack.output, kLineBlanks));
  const auto found = ParseGVariantString(printed);
  if (found != wanted) {
    reach.ReportMismatch(std::string(key.schema) + " " + key.key, wanted, printed);
  }
  return true;
}

void ApplyKeys(const DesktopReach& reach, const std::vector<GSettingsKey>& keys, const std::string& path) {
  for (const auto& key : keys) {
    if (!ApplyKey(reach, key, path)) return;
  }
}

constexpr GSettingsKey kGnomeKeys[] = {
    {"org.gnome.desktop.background", "picture-uri", true},
    {"org.gnome.desktop.background", "picture-uri-dark", true},  // GNOME 42 and later
};

}  // namespace

void ApplyGnome(const DesktopReach& reach, const std::string& path) {
  ApplyKeys(reach, {std::begin(kGnomeKeys), std::end(kGnomeKeys)}, path);
}

void ApplyCinnamon(const DesktopReach& reach, const std::string& path) {
  ApplyKeys(reach, {{"org.cinnamon.desktop.background", "picture-uri", true}}, path);
}

void ApplyMate(const DesktopReach& reach, const std::string& path) {
  ApplyKeys(reach, {{"org.mate.background", "picture-filename", false}}, path);
}

void ApplyDeepin(const DesktopReach& reach, const std::string& path) {
  std::vector<GSettingsKey> keys{{"com.deepin.wrap.gnome.desktop.background", "picture-uri", true}};
  keys.insert(keys.end(), std::begin(kGnomeKeys), std::end(kGnomeKeys));
  ApplyKeys(reach, keys, path);
}

}  // namespace tessarin::linux_platform
