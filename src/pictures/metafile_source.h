#pragma once

#include <memory>
#include <span>
#include <string>

#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

// Files larger than this are not taken for metafiles worth drawing.
constexpr std::uint64_t kMaxMetafileBytes = std::uint64_t{64} << 20;

// A Windows metafile (placeable or not), drawn whole by the metafile module
// (tessarin-metafile.so beside the executable, or in ../lib/tessarin/), which
// is loaded on the first call. Throws Failure for a metafile that cannot be
// drawn or a module that cannot be loaded.
std::unique_ptr<ports::Picture> OpenMetafile(std::unique_ptr<ports::InputFile> file);

// Loads the module OpenMetafile uses and opens the fonts it draws text in,
// so that drawing afterwards opens no file. Throws Failure naming `picture`
// when the module cannot be loaded.
void PrepareMetafileRenderer(const std::string& picture);
// The same with the module at `modulePath`.
void PrepareMetafileRendererAt(const std::string& modulePath, const std::string& picture);

// The same with the module at `modulePath`.
std::unique_ptr<ports::Picture> OpenMetafileWith(std::unique_ptr<ports::InputFile> file,
                                                          const std::string& modulePath);

// A bitmap record's DIB (info header first), decoded by the BMP reader as a
// BMP file's would be, top row first. Throws Failure naming `path`.
ports::Bitmap DecodeMetafileDib(const std::string& path, std::span<const std::uint8_t> dib);

}  // namespace tessarin::pictures
