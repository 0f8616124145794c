#pragma once

#include <memory>

#include "pictures/decode_setup.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

// An icon file: one of its images, chosen as the largest (width times height,
// as the image itself states it), then the deepest (bits per pixel), then the
// first in the directory. Bitmap images go through the BMP reader (AND mask
// and alpha flattened onto black), PNG images through the PNG decoder.
// Throws Failure for a file with no readable image.
std::unique_ptr<ports::Picture> OpenIcon(std::unique_ptr<ports::InputFile> file,
                                         DecodeSetup& setup);

}  // namespace tessarin::pictures
