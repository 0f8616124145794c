// The desktops whose wallpaper is a GSettings key, reached through the
// `gsettings` tool that each of them ships: a child process can be cut off
// after its time limit, whatever the settings backend does, and keeps GLib
// out of the executable.
#include "linux/desktops/gsettings_keys.h"

#include <chrono>
#include <thread>
#include <vector>

#include "linux/desktops/desktop_values.h"
#include "text/ascii_text.h"

namespace tessarin::linux_platform::desktops {
namespace {

// Past the 100 ms Budgie gathers changes in, the loading and both fades.
constexpr std::chrono::milliseconds kBudgiePause{2500};

std::string ValueFor(const GSettingsKey& key, const std::string& path) {
  return key.takesUri ? FileUri(path) : path;
}

std::string Named(const char* schema, const char* key) { return std::string(schema) + " " + key; }

std::string Printed(const ToolOutcome& outcome) {
  return std::string(text::TrimEnd(outcome.output, text::kLineBlanks));
}

enum class SetOutcome { Done, Refused, Unreachable };

// Sets the key; a refusal is reported, telling a locked key from a missing one
// (which is silent for an optional key).
SetOutcome Set(const DesktopTools& desktop, const char* schema, const char* key,
               const std::string& value, bool optional) {
  const auto set = desktop.tools.Run("gsettings", {"set", schema, key, value});
  if (set.Succeeded()) return SetOutcome::Done;
  if (set.Unreachable()) return SetOutcome::Unreachable;
  const auto writable = desktop.tools.Run("gsettings", {"writable", schema, key});
  if (writable.Unreachable()) return SetOutcome::Unreachable;
  if (!writable.Succeeded()) {
    if (!optional) desktop.Report(Named(schema, key) + " does not exist");
  } else if (Printed(writable) == "false") {
    desktop.Report(Named(schema, key) + " is locked");
  } else {
    desktop.Report("gsettings could not set " + Named(schema, key));
  }
  return SetOutcome::Refused;
}

SetOutcome SetKey(const DesktopTools& desktop, const GSettingsKey& key, const std::string& path) {
  return Set(desktop, key.schema, key.key, GVariantString(ValueFor(key, path)), key.optional);
}

void ReadBack(const DesktopTools& desktop, const GSettingsKey& key, const std::string& wanted) {
  const auto readBack = desktop.tools.Run("gsettings", {"get", key.schema, key.key});
  if (!readBack.Succeeded()) return;
  if (ParseGVariantString(Printed(readBack)) != wanted) {
    desktop.ReportMismatch(Named(key.schema, key.key), wanted, Printed(readBack));
  }
}

// Every key to the other spelling (unless the desktop watches the file),
// then, after a pause where the desktop needs one, every key that took it to
// the file itself, each read back. Should the run stop in between, the
// desktop still shows the file. False when gsettings could not be reached.
bool ApplyKeys(const DesktopTools& desktop, const std::vector<GSettingsKey>& keys,
               const std::string& path, Refresh refresh) {
  std::vector<GSettingsKey> present;
  if (refresh == Refresh::WatchesTheFile) {
    present = keys;
  } else {
    for (const auto& key : keys) {
      const auto nudge = SetKey(desktop, key, SameFileOtherSpelling(path));
      if (nudge == SetOutcome::Unreachable) return false;
      if (nudge == SetOutcome::Done) present.push_back(key);
    }
  }
  if (refresh == Refresh::OtherSpellingThenPause && !present.empty()) {
    std::this_thread::sleep_for(kBudgiePause);
  }
  for (const auto& key : present) {
    const auto set = SetKey(desktop, key, path);
    if (set == SetOutcome::Unreachable) return false;
    if (set == SetOutcome::Done) ReadBack(desktop, key, ValueFor(key, path));
  }
  return true;
}

// Only a mode that would hide the new wallpaper is changed: any other the
// user chose stays.
void ShowPictures(const DesktopTools& desktop, const PictureMode& mode) {
  const auto current = desktop.tools.Run("gsettings", {"get", mode.schema, mode.key});
  if (!current.Succeeded() || Printed(current) != mode.hidesPictures) return;
  if (Set(desktop, mode.schema, mode.key, mode.showsPicture, false) != SetOutcome::Done) return;
  const auto readBack = desktop.tools.Run("gsettings", {"get", mode.schema, mode.key});
  if (readBack.Succeeded() && Printed(readBack) != mode.showsPicture) {
    desktop.ReportMismatch(Named(mode.schema, mode.key), mode.showsPicture, Printed(readBack));
  }
}

}  // namespace

void ApplyKeysAndShow(const DesktopTools& desktop, const GSettingsWallpaper& wallpaper,
                      const std::string& path) {
  if (ApplyKeys(desktop, wallpaper.keys, path, wallpaper.refresh)) {
    ShowPictures(desktop, wallpaper.mode);
  }
}

}  // namespace tessarin::linux_platform::desktops
