#pragma once

#include <memory>

#include "pictures/decode_setup.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

// A PNG picture (libspng): every colour type and bit depth, 16-bit samples
// reduced to 8, alpha and tRNS transparency flattened. Non-interlaced
// pictures stream; interlaced ones are decoded whole. Throws Failure for a
// file it cannot decode.
std::unique_ptr<ports::Picture> OpenPng(std::unique_ptr<ports::InputFile> file, DecodeSetup& setup);

}  // namespace tessarin::pictures
