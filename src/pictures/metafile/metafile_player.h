#pragma once

#include <stdexcept>

#include "pictures/metafile_module.h"

namespace tessarin::metafile {

// A metafile that cannot be drawn: damaged, too large, or too costly.
class MetafileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Plays a Windows metafile's records onto a Cairo surface at the picture's
// own size (a placeable file's frame at 96 pixels per inch, otherwise its
// window extent) and returns the pixels flattened onto black. Unknown records
// are skipped; a malformed one throws MetafileError.
ports::Bitmap RenderMetafile(const RenderRequest& request);

// Text is drawn in the system's sans-serif, serif or monospace face, upright
// or bold; this opens all six (their font files), which every drawing then
// shares, so that drawing text opens no file. Without it they are opened
// as text first needs them.
void PrepareFonts();

}  // namespace tessarin::metafile
