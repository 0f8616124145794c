#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "pictures/decode_setup.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

// How a device-independent bitmap without its 14-byte file header is laid out.
enum class DibKind {
  // As in a BMP file: the pixel rows follow the palette.
  File,
  // As an icon holds it: the header's height counts the colour rows and the
  // 1-bit AND mask rows that follow them.
  IconImage,
};

// Opens a BMP file and checks all its headers before any pixel is read.
// Throws Failure::InFile(FailureKind::DamagedPicture, file->Path(), reason) for anything that is
// not a readable BMP.
std::unique_ptr<ports::Picture> OpenBmp(std::unique_ptr<ports::InputFile> file, DecodeSetup& setup);

// Opens the bitmap that occupies `size` bytes at `offset` of the file, its
// info header first. An icon image delivers the colour rows only, black where
// the AND mask is set, or flattened onto black by its alpha when a 32-bit
// image has any non-zero alpha. Throws Failure like OpenBmp.
std::unique_ptr<ports::Picture> OpenDib(std::unique_ptr<ports::InputFile> file,
                                        std::uint64_t offset, std::uint64_t size, DibKind kind,
                                        DecodeSetup& setup);

}  // namespace tessarin::pictures
