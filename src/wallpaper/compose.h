#pragma once

#include <string>

#include "ports/files.h"
#include "ports/pictures.h"
#include "wallpaper/block_placement.h"
#include "wallpaper/bmp_layout.h"

namespace tessarin::wallpaper {

// Streams the canvas into `output` as a bottom-up BMP of `layout`, a strip of
// rows at a time, with the block's pixels copied over the rows they land on.
// `block` is the top-left block of the inset at `insetPath`, at least
// (sourceX + width) by (sourceY + height) pixels. No buffer ever holds the
// whole canvas.
void ComposeInto(ports::Picture& canvas, const ports::Bitmap& block, const std::string& insetPath,
                 const BlockPlacement& placement, const BmpLayout& layout,
                 ports::OutputFile& output);

}  // namespace tessarin::wallpaper
