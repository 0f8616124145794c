#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pictures/decode_setup.h"
#include "pictures/held/held_picture.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::pictures {

// BlankTopLeft (held_picture.h), its bytes first taken from the allowance
// into `held`, which keeps them while the caller lives.
ports::Bitmap HeldBlankTopLeft(const std::string& path, int width, int height, int fullWidth,
                               int fullHeight, DecodeSetup& setup, held::HeldMemory& held);

// CheckWholeDecodeSize, then the bytes taken from the allowance.
held::HeldMemory HoldWholeDecode(const std::string& path, std::int64_t width, std::int64_t height,
                                 int bytesPerPixel, DecodeSetup& setup);

// Throws Failure unless a picture of this size can be written as a BMP file
// and its rows are at most limits.maxPictureWidth pixels wide.
void CheckWritableSize(const std::string& path, std::int64_t width, std::int64_t height,
                       const limits::DecodeLimits& limits);

// Why a picture `width` pixels wide is refused (beyond limits.maxPictureWidth).
std::string TooWideReason(std::int64_t width, const limits::DecodeLimits& limits);

// Also throws Failure when a whole decode at `bytesPerPixel` would exceed
// limits.maxHeldBytes. Call it before allocating.
void CheckWholeDecodeSize(const std::string& path, std::int64_t width, std::int64_t height,
                          int bytesPerPixel, const limits::DecodeLimits& limits);

}  // namespace tessarin::pictures
