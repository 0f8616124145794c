#include "pictures/icon_decoder.h"

#include <array>
#include <optional>
#include <vector>

#include "base/failure.h"
#include "base/little_endian.h"
#include "pictures/bmp_decoder.h"
#include "pictures/embedded_files.h"
#include "pictures/picture_formats.h"
#include "pictures/png_decoder.h"
#include "pictures/read_exactly.h"

namespace tessarin::pictures {
namespace {

constexpr std::size_t kDirectoryHeader = 6, kEntrySize = 16;

std::uint32_t Big(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

struct Entry {
  std::uint64_t offset = 0, size = 0;
  bool png = false;
  std::uint64_t area = 0;
  int depth = 0;
};

// The size and depth an image states in its own header (the directory's
// bytes are often wrong); none for an entry that lies outside the file or
// starts with neither a bitmap nor a PNG header.
std::optional<Entry> Inspect(ports::InputFile& file, std::uint64_t offset, std::uint64_t size) {
  if (offset > file.Size() || size > file.Size() - offset || size < 24) return std::nullopt;
  std::array<std::uint8_t, 26> head{};
  const std::size_t got = file.ReadAt(offset, head);
  if (got < 24) return std::nullopt;
  Entry e{offset, size};
  if (RecognisePicture(head) == PictureFormat::Png) {
    static constexpr int kChannels[] = {1, 0, 3, 1, 2, 0, 4};
    const int type = got >= 26 && head[25] <= 6 ? head[25] : 0;
    e.png = true;
    e.area = std::uint64_t{Big(&head[16])} * Big(&head[20]);
    e.depth = head[24] * kChannels[type];
    return e;
  }
  const std::uint32_t header = Le32(&head[0]);
  if (header == 12) {
    e.area = std::uint64_t{Le16(&head[4])} * (Le16(&head[6]) / 2);
    e.depth = static_cast<int>(Le16(&head[10]));
  } else if (header >= 40) {
    const auto width = static_cast<std::int32_t>(Le32(&head[4]));
    const auto height = static_cast<std::int32_t>(Le32(&head[8]));
    e.area = std::uint64_t(width < 0 ? 0 : width) * std::uint64_t(height < 0 ? 0 : height / 2);
    e.depth = static_cast<int>(Le16(&head[14]));
  } else {
    return std::nullopt;
  }
  return e;
}

Entry Choose(ports::InputFile& file, const limits::DecodeLimits& limits) {
  std::array<std::uint8_t, kDirectoryHeader> header{};
  ReadExactly(file, 0, header, limits.maxReadBytes);
  const std::size_t count = Le16(&header[4]);
  if (Le16(&header[0]) != 0 || Le16(&header[2]) != 1 || count == 0) {
    throw Failure::InFile(FailureKind::DamagedPicture, file.Path(),
                          "the icon's directory is damaged");
  }
  std::vector<std::uint8_t> directory(count * kEntrySize);
  ReadExactly(file, kDirectoryHeader, directory, limits.maxReadBytes);
  std::optional<Entry> best;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = &directory[i * kEntrySize];
    const auto found = Inspect(file, Le32(entry + 12), Le32(entry + 8));
    if (!found) continue;
    if (!best || found->area > best->area ||
        (found->area == best->area && found->depth > best->depth)) {
      best = found;
    }
  }
  if (!best)
    throw Failure::InFile(FailureKind::DamagedPicture, file.Path(),
                          "the icon holds no readable image");
  return *best;
}

}  // namespace

std::unique_ptr<ports::Picture> OpenIcon(std::unique_ptr<ports::InputFile> file,
                                         DecodeSetup& setup) {
  const Entry entry = Choose(*file, setup.limits);
  if (entry.png) {
    return OpenPng(std::make_unique<FileSlice>(std::move(file), entry.offset, entry.size), setup);
  }
  return OpenDib(std::move(file), entry.offset, entry.size, DibKind::IconImage, setup);
}

}  // namespace tessarin::pictures
