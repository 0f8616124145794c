#include "wallpaper/compose.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "base/failure.h"
#include "limits/run_limits.h"

namespace tessarin::wallpaper {
namespace {

using ports::kBytesPerPixel;

// What ends a row of the file whose pixels do not end on four bytes.
constexpr std::array<std::uint8_t, 3> kRowPadding{};

// A strip is written as one gathered write of its rows and their padding:
// at most 512 rows, so that it stays one system call (Linux takes 1024
// pieces) and its list of pieces small, however narrow the picture.
constexpr std::size_t kMostStripRows = 512;

// Appends a piece, joined to the last one when it follows it in memory.
void AddPiece(std::vector<std::span<const std::uint8_t>>& pieces, const std::uint8_t* bytes,
              std::size_t size) {
  if (!pieces.empty() && pieces.back().data() + pieces.back().size() == bytes) {
    pieces.back() = {pieces.back().data(), pieces.back().size() + size};
  } else {
    pieces.emplace_back(bytes, size);
  }
}

void CopyBlockRow(const ports::Bitmap& block, const BlockPlacement& placement, int canvasRow,
                  std::uint8_t* row) {
  if (canvasRow < placement.canvasY || canvasRow >= placement.canvasY + placement.height) return;
  const std::size_t sourceRow =
      static_cast<std::size_t>(canvasRow - placement.canvasY + placement.sourceY);
  const std::uint8_t* from = block.bgr.data() + (sourceRow * static_cast<std::size_t>(block.width) +
                                                 static_cast<std::size_t>(placement.sourceX)) *
                                                    kBytesPerPixel;
  std::memcpy(row + static_cast<std::size_t>(placement.canvasX) * kBytesPerPixel, from,
              static_cast<std::size_t>(placement.width) * kBytesPerPixel);
}

}  // namespace

void ComposeInto(ports::Picture& canvas, const ports::Bitmap& block, const std::string& insetPath,
                 const BlockPlacement& placement, const BmpLayout& layout,
                 ports::OutputFile& output) {
  if (!placement.Empty() && (block.width < placement.sourceX + placement.width ||
                             block.height < placement.sourceY + placement.height)) {
    throw Failure::InFile(FailureKind::DamagedPicture, insetPath,
                          "its top-left block was decoded smaller than requested");
  }
  const auto header = layout.Header();
  output.WriteAt(0, header);

  const int height = layout.Height();
  const std::size_t stride = layout.RowStride();
  const std::size_t rowBytes = static_cast<std::size_t>(layout.Width()) * kBytesPerPixel;
  const std::size_t padding = stride - rowBytes;
  const int stripRows = static_cast<int>(std::clamp<std::size_t>(
      limits::kOutputStripBytes / stride, 1,
      std::min<std::size_t>(kMostStripRows, static_cast<std::size_t>(height))));
  std::vector<std::uint8_t> copied;  // the strip of a canvas that lends no rows
  std::vector<std::span<const std::uint8_t>> pieces;
  const bool bottomUp = canvas.Order() == ports::RowOrder::BottomUp;

  for (int done = 0; done < height;) {
    // Patched and written where they lie: in the canvas's memory when it
    // lends its rows (no copy), else in the strip they are read into.
    ports::LentRows strip = canvas.LendRows(std::min(stripRows, height - done));
    if (strip.count == 0) {
      strip.count = std::min(stripRows, height - done);
      copied.resize(rowBytes * static_cast<std::size_t>(strip.count));
      canvas.ReadRows(copied.data(), strip.count);
      strip.first = copied.data();
    }
    // The file holds the bottom row first: a top-down strip goes in reverse.
    pieces.clear();
    for (int i = 0; i < strip.count; ++i) {
      const int slot = bottomUp ? i : strip.count - 1 - i;
      const int delivered = done + slot;
      std::uint8_t* row = strip.first + rowBytes * static_cast<std::size_t>(slot);
      CopyBlockRow(block, placement, bottomUp ? height - 1 - delivered : delivered, row);
      AddPiece(pieces, row, rowBytes);
      if (padding > 0) AddPiece(pieces, kRowPadding.data(), padding);
    }
    const int firstInFile = bottomUp ? height - 1 - done : done + strip.count - 1;
    output.WritePiecesAt(layout.RowOffset(firstInFile), pieces);
    done += strip.count;
  }
}

}  // namespace tessarin::wallpaper
