#pragma once

#include "pictures/decode_setup.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::linux_platform {

// Opens a picture with the decoder its first bytes call for, within the
// setup's limits.
class LinuxPictures : public ports::Pictures {
 public:
  LinuxPictures(ports::Files& files, pictures::DecodeSetup& setup) : files_(files), setup_(setup) {}
  std::unique_ptr<ports::Picture> Open(const std::string& path) override;

 private:
  ports::Files& files_;
  pictures::DecodeSetup& setup_;
};

}  // namespace tessarin::linux_platform
