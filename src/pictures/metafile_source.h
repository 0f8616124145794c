#pragma once

#include <memory>
#include <span>
#include <string>

#include "pictures/decode_setup.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

// A Windows metafile (placeable or not), drawn whole by the metafile module
// (tessarin-metafile.so beside the executable, or in ../lib/tessarin/), which
// is loaded on the first call. Throws Failure for a metafile that cannot be
// drawn or a module that cannot be loaded.
std::unique_ptr<ports::Picture> OpenMetafile(std::unique_ptr<ports::InputFile> file,
                                             DecodeSetup& setup);

// The same with the module at `modulePath`.
std::unique_ptr<ports::Picture> OpenMetafileWith(std::unique_ptr<ports::InputFile> file,
                                                 const std::string& modulePath, DecodeSetup& setup);

// A bitmap record's DIB (info header first), decoded by the BMP reader as a
// BMP file's would be, top row first. Throws Failure naming `path`.
ports::Bitmap DecodeMetafileDib(const std::string& path, std::span<const std::uint8_t> dib,
                                DecodeSetup& setup);

}  // namespace tessarin::pictures
