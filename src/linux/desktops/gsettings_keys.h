#pragma once

// What the desktops whose wallpaper is a GSettings key share: each key set
// through the `gsettings` tool, read back, and the one mode that hides every
// picture switched to one that shows it.
#include <string>
#include <vector>

#include "linux/desktops/backends.h"

namespace tessarin::linux_platform::desktops {

struct GSettingsKey {
  const char* schema;
  const char* key;
  bool takesUri;          // a file:// URI, or else a plain path
  bool optional = false;  // a schema may lack it: missing, it is passed over silently
};

// How the program drawing the background is made to load the same path anew.
enum class Refresh {
  // It watches the file itself (GNOME Shell, and GnomeBG as Cinnamon and MATE
  // draw through it): the value is only set. A change of the key to another
  // spelling would make GNOME Shell draw the image it has kept for that file,
  // which GIO names the same, while the file's own change is still on its way.
  WatchesTheFile,
  // Desktops not seen on screen here (GNOME-Flashback, Unity, Pantheon,
  // Deepin): another spelling first, then the file, as a desktop that reloads
  // only a value whose text changed needs.
  OtherSpelling,
  // Budgie's window manager gathers the changes of 100 ms into one and keeps
  // the image of a file until the background that showed it has faded out
  // (850 ms in, 850 ms out): another spelling, a pause past all that, then the
  // file, whose image is then loaded afresh.
  OtherSpellingThenPause,
};

// The key whose one value hides every picture, and the value that shows one.
struct PictureMode {
  const char* schema;
  const char* key;
  const char* hidesPictures;  // as `gsettings get` prints it
  const char* showsPicture;
};

// A desktop whose wallpaper is GSettings keys: the keys the file goes to, the
// mode that could hide it, and how the desktop is made to load it anew.
struct GSettingsWallpaper {
  std::vector<GSettingsKey> keys;
  PictureMode mode;
  Refresh refresh;
};

// Sets every key to the file, made to load it anew as the refresh says,
// reads each back and, unless gsettings could not be reached, switches a mode
// that hides the picture to one that shows it. A key that is locked or
// missing is one line on the report.
void ApplyKeysAndShow(const DesktopTools& desktop, const GSettingsWallpaper& wallpaper,
                      const std::string& path);

}  // namespace tessarin::linux_platform::desktops
