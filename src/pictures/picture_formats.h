#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "pictures/decode_setup.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

enum class PictureFormat { Unknown, Bmp, Jpeg, Gif, Png, Icon, Metafile };

// The format told by a file's first bytes, whatever its name.
PictureFormat RecognisePicture(std::span<const std::uint8_t> head);

// Opens any picture Tessarin reads, the format told by the file's first
// bytes, within the setup's limits. Throws Failure for a file that is not a
// readable picture.
std::unique_ptr<ports::Picture> OpenPicture(std::unique_ptr<ports::InputFile> file,
                                            DecodeSetup& setup);

}  // namespace tessarin::pictures
