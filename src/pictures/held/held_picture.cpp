#include "pictures/held/held_picture.h"

#include <algorithm>
#include <cstring>

#include "base/failure.h"

namespace tessarin::pictures::held {
namespace {

using ports::kBytesPerPixel;

std::size_t RowBytes(int width) { return static_cast<std::size_t>(width) * kBytesPerPixel; }

}  // namespace

ports::Bitmap BlankTopLeft(int width, int height, int fullWidth, int fullHeight) {
  ports::Bitmap block;
  if (width <= 0 || height <= 0) return block;
  block.width = std::min(width, fullWidth);
  block.height = std::min(height, fullHeight);
  block.bgr.resize(RowBytes(block.width) * static_cast<std::size_t>(block.height));
  return block;
}

void CheckRowsLeft(const std::string& path, int rowsRead, int rows, int height) {
  if (rows < 0 || rows > height - rowsRead) {
    throw Failure::InFile(FailureKind::DamagedPicture, path,
                          "the picture was read past its last row");
  }
}

void HeldPicture::ReadRows(std::uint8_t* out, int rows) {
  CheckRowsLeft(path_, nextRow_, rows, image_.height);
  const std::size_t bytes = RowBytes(image_.width) * static_cast<std::size_t>(rows);
  std::memcpy(out, image_.bgr.data() + RowBytes(image_.width) * static_cast<std::size_t>(nextRow_),
              bytes);
  nextRow_ += rows;
}

// Called once, instead of ReadRows: the block is cut out where the picture
// lies (each row moves to an earlier place) and handed over, so that the
// picture is never held twice.
ports::Bitmap HeldPicture::ReadTopLeft(int width, int height) {
  if (width <= 0 || height <= 0) return {};
  const int blockWidth = std::min(width, image_.width),
            blockHeight = std::min(height, image_.height);
  for (int y = 0; y < blockHeight; ++y) {
    std::memmove(image_.bgr.data() + RowBytes(blockWidth) * static_cast<std::size_t>(y),
                 image_.bgr.data() + RowBytes(image_.width) * static_cast<std::size_t>(y),
                 RowBytes(blockWidth));
  }
  image_.bgr.resize(RowBytes(blockWidth) * static_cast<std::size_t>(blockHeight));
  image_.width = blockWidth;
  image_.height = blockHeight;
  return std::move(image_);
}

ports::Bitmap ReadTopLeftRowByRow(ports::Picture& source, int width, int height) {
  ports::Bitmap block = BlankTopLeft(width, height, source.Width(), source.Height());
  if (block.bgr.empty()) return block;
  std::vector<std::uint8_t> row(RowBytes(source.Width()));
  const bool bottomUp = source.Order() == ports::RowOrder::BottomUp;
  for (int i = 0; i < source.Height(); ++i) {
    const int y = bottomUp ? source.Height() - 1 - i : i;
    if (!bottomUp && y >= block.height) break;  // the rest lies below the block
    source.ReadRows(row.data(), 1);
    if (y < block.height) {
      std::memcpy(block.bgr.data() + RowBytes(block.width) * static_cast<std::size_t>(y),
                  row.data(), RowBytes(block.width));
    }
  }
  return block;
}

}  // namespace tessarin::pictures::held
