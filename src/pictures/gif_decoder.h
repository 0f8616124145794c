#pragma once

#include <memory>

#include "pictures/decode_setup.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

// The first image of a GIF file (giflib) on its logical screen, flattened:
// transparent pixels, pixels outside the image and colour indexes beyond the
// palette are the flatten colour. Non-interlaced images stream; interlaced
// ones are decoded whole. Throws Failure for a file it cannot decode.
std::unique_ptr<ports::Picture> OpenGif(std::unique_ptr<ports::InputFile> file, DecodeSetup& setup);

}  // namespace tessarin::pictures
