#pragma once

#include <string>

#include "ports/files.h"
#include "ports/pictures.h"
#include "wallpaper/block_placement.h"
#include "wallpaper/bmp_layout.h"

namespace tessarin::wallpaper {

// Streams the canvas into `output` as a bottom-up BMP of `layout`, a strip of
// rows at a time, with the block's pixels copied over the rows they land on.
// The block is the top-left block of `inset` (at `insetPath`) that
// `placement` decodes, read once, as late as it is needed: while it is not
// ready (still decoding apart), strips it lands on that come before others
// are held aside (up to limits::kHeldForTheBlockBytes) and the others are
// written. No buffer ever holds the whole canvas.
void ComposeInto(ports::Picture& canvas, ports::Picture& inset, const std::string& insetPath,
                 const BlockPlacement& placement, const BmpLayout& layout,
                 ports::OutputFile& output);

}  // namespace tessarin::wallpaper
