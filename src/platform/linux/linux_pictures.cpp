#include "platform/linux/linux_pictures.h"

#include <array>

#include "platform/failure.h"
#include "platform/linux/picture_formats.h"
#include "platform/linux/read_ahead_source.h"
#include "wallpaper/bmp_reader.h"

namespace tessarin::linux_platform {
namespace {

std::unique_ptr<platform::PictureSource> OpenByContent(std::unique_ptr<platform::InputFile> file) {
  std::array<std::uint8_t, 16> head{};
  const std::size_t n = file->ReadAt(0, head);
  const std::span<const std::uint8_t> start(head.data(), n);
  if (LooksLikeBmp(start)) return OpenBmp(std::move(file));
  const PictureFormat format = RecognisePicture(start);
  if (format != PictureFormat::Unknown) return OpenDecodedPicture(format, std::move(file));
  throw Failure::InFile(file->Path(), "not a picture in a format Tessarin reads");
}

}  // namespace

std::unique_ptr<platform::PictureSource> LinuxPictures::Open(const std::string& path) {
  return std::make_unique<ReadAheadSource>(OpenByContent(files_.OpenForReading(path)));
}

}  // namespace tessarin::linux_platform
