#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::win32_platform {

// Decodes a picture file's bytes with the system's own picture services
// (OleLoadPicture: BMP, JPEG, GIF, icon, Windows metafile), rendered at the
// picture's own size onto black, so that transparent parts become 0,0,0.
// `path` names the file in a failure.
ports::Bitmap DecodeWithOle(std::span<const std::uint8_t> bytes, const std::string& path);

// Pictures decoded whole by DecodeWithOle and served row by row.
class OlePictures : public ports::Pictures {
 public:
  explicit OlePictures(ports::Files& files) : files_(files) {}
  std::unique_ptr<ports::Picture> Open(const std::string& path) override;

 private:
  ports::Files& files_;
};

}  // namespace tessarin::win32_platform
