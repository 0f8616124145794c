#pragma once

#include <string>

#include "linux/desktops/backends.h"
#include "ports/pictures.h"

namespace tessarin::linux_platform::desktops {

// Paints the picture, tiled over the screen, into a pixmap that becomes the
// root window's background and is published as _XROOTPMAP_ID and
// ESETROOT_PMAP_ID (after freeing the pixmap an earlier setter published
// there); the pixmap outlives the connection. libX11 is loaded only here.
// Returns what did not read back as set, or an empty text. Throws Failure when the picture cannot
// be read.
std::string SetX11RootPicture(const std::string& display, const std::string& path,
                              ports::Pictures& pictures);

// Any other X11 session: the picture as the root window's pixmap, painted in
// a child process so that libX11 can neither crash nor hang the run.
void ApplyX11Root(const DesktopTools& desktop, const std::string& path);

}  // namespace tessarin::linux_platform::desktops
