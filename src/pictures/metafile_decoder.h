#pragma once

#include <memory>
#include <span>
#include <string>

#include "pictures/decode_setup.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

// A Windows metafile (placeable or not), drawn whole by the metafile module
// that the setup's loader gives. Throws Failure for a metafile that cannot be
// drawn or a module that cannot be loaded.
std::unique_ptr<ports::Picture> OpenMetafile(std::unique_ptr<ports::InputFile> file,
                                             DecodeSetup& setup);

// A bitmap record's DIB (info header first), decoded by the BMP reader as a
// BMP file's would be, top row first. Throws Failure naming `path`.
ports::Bitmap DecodeMetafileDib(const std::string& path, std::span<const std::uint8_t> dib,
                                DecodeSetup& setup);

}  // namespace tessarin::pictures
