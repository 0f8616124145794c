#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "limits/decode_limits.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::windows_platform {

// Decodes a picture file's bytes with the system's own picture services
// (OleLoadPicture: BMP, JPEG, GIF, icon, Windows metafile), rendered at the
// picture's own size onto black, so that transparent parts become 0,0,0.
// `path` names the file in a failure; pictures beyond
// limits.maxSystemDecodedPixels are refused. The calling thread has COM
// initialised (JPEG and GIF go to COM components).
ports::Bitmap DecodeWithOle(std::span<const std::uint8_t> bytes, const std::string& path,
                            const limits::DecodeLimits& limits);

using PictureDecoder = std::function<ports::Bitmap(
    std::span<const std::uint8_t>, const std::string&, const limits::DecodeLimits&)>;

// Pictures decoded whole, by DecodeWithOle unless told otherwise, and served
// row by row. Each is decoded on a thread of its own, waited for while that
// thread has used at most limits.decodeProcessorSeconds of processor time and
// for limits.decodeWaitSeconds at most in all: past either, a failure stop
// that says which, and the thread is left to the end of the process.
class OlePictures : public ports::Pictures {
 public:
  OlePictures(ports::Files& files, const limits::DecodeLimits& limits,
              PictureDecoder decode = DecodeWithOle)
      : files_(files), limits_(limits), decode_(std::move(decode)) {}
  std::unique_ptr<ports::Picture> Open(const std::string& path) override;

 private:
  ports::Files& files_;
  const limits::DecodeLimits& limits_;
  PictureDecoder decode_;
};

}  // namespace tessarin::windows_platform
