#include "platform/linux/linux_pictures.h"

#include <array>

#include "platform/failure.h"
#include "wallpaper/bmp_reader.h"

namespace tessarin::linux_platform {

std::unique_ptr<platform::PictureSource> LinuxPictures::Open(const std::string& path) {
  auto file = files_.OpenForReading(path);
  std::array<std::uint8_t, 16> head{};
  const std::size_t n = file->ReadAt(0, head);
  const std::span<const std::uint8_t> start(head.data(), n);
  if (LooksLikeBmp(start)) return OpenBmp(std::move(file));
  throw Failure::InFile(path, "not a picture in a format Tessarin reads");
}

}  // namespace tessarin::linux_platform
