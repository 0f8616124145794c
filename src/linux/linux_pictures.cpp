#include "linux/linux_pictures.h"

#include "pictures/picture_formats.h"
#include "pictures/read_ahead_source.h"

namespace tessarin::linux_platform {

std::unique_ptr<ports::Picture> LinuxPictures::Open(const std::string& path) {
  return std::make_unique<pictures::ReadAheadSource>(
      pictures::OpenPicture(files_.OpenForReading(path), setup_), path,
      setup_.limits.readAheadStripBytes);
}

}  // namespace tessarin::linux_platform
