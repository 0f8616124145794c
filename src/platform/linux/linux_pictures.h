#pragma once

#include "platform/files.h"
#include "platform/pictures.h"

namespace tessarin::linux_platform {

// Opens a picture with the decoder its first bytes call for.
class LinuxPictures : public platform::Pictures {
 public:
  explicit LinuxPictures(platform::Files& files) : files_(files) {}
  std::unique_ptr<platform::PictureSource> Open(const std::string& path) override;

 private:
  platform::Files& files_;
};

}  // namespace tessarin::linux_platform
