#include "wallpaper/compose.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/failure.h"
#include "limits/run_limits.h"

namespace tessarin {
namespace {

using ports::kBytesPerPixel;

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
  const int stripRows = static_cast<int>(
      std::clamp<std::size_t>(kOutputStripBytes / stride, 1, static_cast<std::size_t>(height)));
  // Zero-initialised once: the padding at the end of each row stays zero.
  std::vector<std::uint8_t> strip(stride * static_cast<std::size_t>(stripRows));
  const bool bottomUp = canvas.Order() == ports::RowOrder::BottomUp;

  for (int done = 0; done < height;) {
    const int rows = std::min(stripRows, height - done);
    // The strip's rows in the file's order: the bottom row of the strip first.
    for (int i = 0; i < rows; ++i) {
      const int delivered = done + i;  // the i-th row the canvas delivers
      const int y = bottomUp ? height - 1 - delivered : delivered;
      const int slot = bottomUp ? i : rows - 1 - i;
      std::uint8_t* row = strip.data() + stride * static_cast<std::size_t>(slot);
      canvas.ReadRows(row, 1);
      CopyBlockRow(block, placement, y, row);
    }
    // The strip's bottom row comes first in the file.
    const int firstInFile = bottomUp ? height - 1 - done : done + rows - 1;
    output.WriteAt(
        layout.RowOffset(firstInFile),
        std::span<const std::uint8_t>(strip.data(), stride * static_cast<std::size_t>(rows)));
    done += rows;
  }
}

}  // namespace tessarin
