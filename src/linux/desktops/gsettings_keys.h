#pragma once

// What the desktops whose wallpaper is a GSettings key share: each key set
// through the `gsettings` tool, read back, and the one mode that hides every
// picture switched to one that shows it.
#include <string>
#include <vector>

#include "linux/desktops/backends.h"

namespace tessarin::linux_platform {

struct GSettingsKey {
  const char* schema;
  const char* key;
  bool takesUri;  // a file:// URI, or else a plain path
};

// The key whose one value hides every picture, and the value that shows one.
struct PictureMode {
  const char* schema;
  const char* key;
  const char* hidesPictures;  // as `gsettings get` prints it
  const char* showsPicture;
};

// Sets every key to the file (see ApplyKey) and then, unless gsettings could
// not be reached, switches a mode that hides the picture to one that shows it.
void ApplyKeysAndShow(const DesktopTools& desktop, const std::vector<GSettingsKey>& keys,
                      const PictureMode& mode, const std::string& path);

}  // namespace tessarin::linux_platform
