#pragma once

#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::linux_platform {

// Opens a picture with the decoder its first bytes call for.
class LinuxPictures : public ports::Pictures {
 public:
  explicit LinuxPictures(ports::Files& files) : files_(files) {}
  std::unique_ptr<ports::Picture> Open(const std::string& path) override;

 private:
  ports::Files& files_;
};

}  // namespace tessarin::linux_platform
