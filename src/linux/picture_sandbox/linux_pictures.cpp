#include "linux/picture_sandbox/linux_pictures.h"

#include "linux/picture_sandbox/confinement.h"
#include "linux/picture_sandbox/sandboxed_picture.h"

namespace tessarin::linux_platform::picture_sandbox {

std::unique_ptr<ports::Picture> LinuxPictures::Open(const std::string& path) {
  std::unique_ptr<LinuxInputFile> file = inputs_.Open(path);
  const int descriptor = file->Descriptor();
  PrepareDecoderFilter();  // once, here, rather than in every decoder
  return std::make_unique<SandboxedPicture>(std::move(file), descriptor, steps_, setup_, pool_);
}

}  // namespace tessarin::linux_platform::picture_sandbox
