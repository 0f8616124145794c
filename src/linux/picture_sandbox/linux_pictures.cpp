#include "linux/picture_sandbox/linux_pictures.h"

#include "linux/linux_files.h"
#include "linux/picture_sandbox/confinement.h"
#include "linux/picture_sandbox/sandboxed_picture.h"

namespace tessarin::linux_platform {

std::unique_ptr<ports::Picture> LinuxPictures::Open(const std::string& path) {
  std::unique_ptr<ports::InputFile> file = files_.OpenForReading(path);
  const int descriptor = DescriptorOf(*file);
  PrepareDecoderFilter();  // once, here, rather than in every decoder
  return std::make_unique<SandboxedPicture>(std::move(file), descriptor, steps_, setup_, pool_);
}

}  // namespace tessarin::linux_platform
