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

bool ApplyKeys(const DesktopReach& reach, const std::vector<GSettingsKey>& keys, const std::string& path) {
  for (const auto& key : keys) {
    if (!ApplyKey(reach, key, path)) return false;
  }
  return true;
}

// The key whose one value hides every picture, and the value that shows one.
struct PictureMode {
  const char* schema;
  const char* key;
  const char* hidesPictures;  // as `gsettings get` prints it
  const char* showsPicture;
};

// Only a mode that would hide the new wallpaper is changed: any other the
// user chose stays.
void ShowPictures(const DesktopReach& reach, const PictureMode& mode) {
  const auto current = reach.tools.Run("gsettings", {"get", mode.schema, mode.key});
  if (!current.Succeeded() || TrimEnd(current.output, kLineBlanks) != mode.hidesPictures) return;
  const auto set = reach.tools.Run("gsettings", {"set", mode.schema, mode.key, mode.showsPicture});
  if (!set.Succeeded()) return;
  const auto readBack = reach.tools.Run("gsettings", {"get", mode.schema, mode.key});
  if (readBack.Succeeded() && TrimEnd(readBack.output, kLineBlanks) != mode.showsPicture) {
    reach.ReportMismatch(std::string(mode.schema) + " " + mode.key, mode.showsPicture, std::string(TrimEnd(readBack.output, kLineBlanks)));
  }
}

void ApplyKeysAndShow(const DesktopReach& reach, const std::vector<GSettingsKey>& keys, const PictureMode& mode,
                      const std::string& path) {
  if (ApplyKeys(reach, keys, path)) ShowPictures(reach, mode);
}

constexpr GSettingsKey kGnomeKeys[] = {
    {"org.gnome.desktop.background", "picture-uri", true},
    {"org.gnome.desktop.background", "picture-uri-dark", true},  // GNOME 42 and later
};
constexpr PictureMode kGnomeMode{"org.gnome.desktop.background", "picture-options", "'none'", "'zoom'"};

}  // namespace

void ApplyGnome(const DesktopReach& reach, const std::string& path) {
  ApplyKeysAndShow(reach, {std::begin(kGnomeKeys), std::end(kGnomeKeys)}, kGnomeMode, path);
}

void ApplyCinnamon(const DesktopReach& reach, const std::string& path) {
  ApplyKeysAndShow(reach, {{"org.cinnamon.desktop.background", "picture-uri", true}},
                   {"org.cinnamon.desktop.background", "picture-options", "'none'", "'zoom'"}, path);
}

// MATE's picture-options has no value that hides the picture; this key does.
void ApplyMate(const DesktopReach& reach, const std::string& path) {
  ApplyKeysAndShow(reach, {{"org.mate.background", "picture-filename", false}},
                   {"org.mate.background", "draw-background", "false", "true"}, path);
}

void ApplyDeepin(const DesktopReach& reach, const std::string& path) {
  std::vector<GSettingsKey> keys{{"com.deepin.wrap.gnome.desktop.background", "picture-uri", true}};
  keys.insert(keys.end(), std::begin(kGnomeKeys), std::end(kGnomeKeys));
  ApplyKeysAndShow(reach, keys, kGnomeMode, path);
}

}  // namespace tessarin::linux_platform
