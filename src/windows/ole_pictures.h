#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pictures/held/decode_limits.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::win32_platform {

// Decodes a picture file's bytes with the system's own picture services
// (OleLoadPicture: BMP, JPEG, GIF, icon, Windows metafile), rendered at the
// picture's own size onto black, so that transparent parts become 0,0,0.
// `path` names the file in a failure; pictures beyond
// limits.maxSystemDecodedPixels are refused.
ports::Bitmap DecodeWithOle(std::span<const std::uint8_t> bytes, const std::string& path,
                            const pictures::DecodeLimits& limits);

// Pictures decoded whole by DecodeWithOle and served row by row.
class OlePictures : public ports::Pictures {
 public:
  OlePictures(ports::Files& files, const pictures::DecodeLimits& limits)
      : files_(files), limits_(limits) {}
  std::unique_ptr<ports::Picture> Open(const std::string& path) override;

 private:
  ports::Files& files_;
  const pictures::DecodeLimits& limits_;
};

}  // namespace tessarin::win32_platform
