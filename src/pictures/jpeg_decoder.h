#pragma once

#include <memory>

#include "pictures/decode_setup.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

// A JPEG picture (baseline, progressive, grayscale, RGB, CMYK, YCCK) decoded
// with libjpeg-turbo straight into BGR rows, top row first. Reads the header
// now; throws Failure for a file it cannot decode, 12-bit samples included.
std::unique_ptr<ports::Picture> OpenJpeg(std::unique_ptr<ports::InputFile> file,
                                         DecodeSetup& setup);

}  // namespace tessarin::pictures
