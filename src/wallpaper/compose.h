#pragma once

#include <functional>
#include <string>

#include "ports/files.h"
#include "ports/pictures.h"
#include "wallpaper/block_placement.h"
#include "wallpaper/bmp_layout.h"

namespace tessarin::wallpaper {

// Streams the canvas into `output` as a bottom-up BMP of `layout`, a strip of
// rows at a time, with the block's pixels copied over the rows they land on.
// `readBlock` gives the top-left block of the inset at `insetPath`, at least
// (sourceX + width) by (sourceY + height) pixels. It is called once, as late
// as it can be: strips the block lands on that come before others are held
// aside (up to limits::kHeldForTheBlockBytes) while the others are written,
// so that the block's decoding overlaps the writing. No buffer ever holds
// the whole canvas.
void ComposeInto(ports::Picture& canvas, const std::function<ports::Bitmap()>& readBlock,
                 const std::string& insetPath, const BlockPlacement& placement,
                 const BmpLayout& layout, ports::OutputFile& output);

}  // namespace tessarin::wallpaper
