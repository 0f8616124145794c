#include "pictures/picture_formats.h"

#include <algorithm>
#include <array>

#include "base/failure.h"
#include "pictures/bmp_decoder.h"
#include "pictures/gif_decoder.h"
#include "pictures/icon_decoder.h"
#include "pictures/jpeg_decoder.h"
#include "pictures/metafile_decoder.h"
#include "pictures/png_decoder.h"

namespace tessarin::pictures {
namespace {

bool StartsWith(std::span<const std::uint8_t> head, std::initializer_list<std::uint8_t> bytes) {
  return head.size() >= bytes.size() && std::equal(bytes.begin(), bytes.end(), head.begin());
}

// A metafile without the placeable header starts with its own: the type
// (1 in memory, 2 on disk), the header size in words (9) and the version.
bool IsPlainMetafile(std::span<const std::uint8_t> head) {
  return head.size() >= 6 && (head[0] == 1 || head[0] == 2) && head[1] == 0 && head[2] == 9 &&
         head[3] == 0 && (head[5] == 1 || head[5] == 3) && head[4] == 0;
}

}  // namespace

PictureFormat RecognisePicture(std::span<const std::uint8_t> head) {
  if (StartsWith(head, {'B', 'M'})) return PictureFormat::Bmp;
  if (StartsWith(head, {0xFF, 0xD8, 0xFF})) return PictureFormat::Jpeg;
  if (StartsWith(head, {'G', 'I', 'F', '8', '7', 'a'}) ||
      StartsWith(head, {'G', 'I', 'F', '8', '9', 'a'})) {
    return PictureFormat::Gif;
  }
  if (StartsWith(head, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return PictureFormat::Png;
  if (StartsWith(head, {0, 0, 1, 0})) return PictureFormat::Icon;
  if (StartsWith(head, {0xD7, 0xCD, 0xC6, 0x9A}) || IsPlainMetafile(head)) {
    return PictureFormat::Metafile;
  }
  return PictureFormat::Unknown;
}

std::unique_ptr<ports::Picture> OpenPicture(std::unique_ptr<ports::InputFile> file,
                                            DecodeSetup& setup) {
  std::array<std::uint8_t, 16> head{};
  const std::size_t n = file->ReadAt(0, head);
  switch (RecognisePicture(std::span<const std::uint8_t>(head.data(), n))) {
    case PictureFormat::Bmp:
      return OpenBmp(std::move(file), setup);
    case PictureFormat::Jpeg:
      return OpenJpeg(std::move(file), setup);
    case PictureFormat::Gif:
      return OpenGif(std::move(file), setup);
    case PictureFormat::Png:
      return OpenPng(std::move(file), setup);
    case PictureFormat::Icon:
      return OpenIcon(std::move(file), setup);
    case PictureFormat::Metafile:
      return OpenMetafile(std::move(file), setup);
    case PictureFormat::Unknown:
      break;
  }
  throw Failure::InFile(FailureKind::DamagedPicture, file->Path(),
                        "not a picture in a format Tessarin reads");
}

}  // namespace tessarin::pictures
