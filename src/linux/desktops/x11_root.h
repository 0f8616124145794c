#pragma once

#include <string>

#include "ports/pictures.h"

namespace tessarin::linux_platform {

// Paints the picture, tiled over the screen, into a pixmap that becomes the
// root window's background and is published as _XROOTPMAP_ID and
// ESETROOT_PMAP_ID (after freeing the pixmap an earlier setter published
// there); the pixmap outlives the connection. libX11 is loaded only here.
// Returns what did not read back as set, or an empty text. Throws Failure when the picture cannot
// be read.
std::string SetX11RootPicture(const std::string& display, const std::string& path,
                              ports::Pictures& pictures);

}  // namespace tessarin::linux_platform
