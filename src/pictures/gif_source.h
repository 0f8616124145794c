#pragma once

#include <memory>

#include "platform/files.h"
#include "platform/pictures.h"

namespace tessarin::pictures {

// The first image of a GIF file (giflib) on its logical screen, flattened:
// transparent pixels, pixels outside the image and colour indexes beyond the
// palette are the flatten colour. Non-interlaced images stream; interlaced
// ones are decoded whole. Throws Failure for a file it cannot decode.
std::unique_ptr<platform::PictureSource> OpenGif(std::unique_ptr<platform::InputFile> file);

}  // namespace tessarin::pictures
