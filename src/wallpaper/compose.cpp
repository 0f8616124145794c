#include "wallpaper/compose.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
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

// Rows of the canvas the block lands on, copied aside while the block is
// still being decoded: the rows after them are written meanwhile.
struct HeldStrip {
  int firstDelivered = 0;
  int count = 0;
  std::vector<std::uint8_t> rows;
};

// Patches strips of canvas rows with the block and writes them where the
// file holds them.
class StripWriter {
 public:
  StripWriter(const ports::Picture& canvas, const BlockPlacement& placement,
              const BmpLayout& layout, ports::OutputFile& output)
      : placement_(placement),
        layout_(layout),
        output_(output),
        bottomUp_(canvas.Order() == ports::RowOrder::BottomUp),
        rowBytes_(static_cast<std::size_t>(layout.Width()) * kBytesPerPixel),
        padding_(layout.RowStride() - rowBytes_) {}

  std::size_t RowBytes() const { return rowBytes_; }

  // The canvas row the `delivered`th row delivered is.
  int CanvasRow(int delivered) const {
    return bottomUp_ ? layout_.Height() - 1 - delivered : delivered;
  }

  bool MeetsTheBlock(int firstDelivered, int count) const {
    const int top = std::min(CanvasRow(firstDelivered), CanvasRow(firstDelivered + count - 1));
    const int bottom = std::max(CanvasRow(firstDelivered), CanvasRow(firstDelivered + count - 1));
    return !placement_.Empty() && top < placement_.canvasY + placement_.height &&
           bottom >= placement_.canvasY;
  }

  // `block` may be null for a strip the block does not land on.
  void Write(std::uint8_t* rows, int firstDelivered, int count, const ports::Bitmap* block) {
    // The file holds the bottom row first: a top-down strip goes in reverse.
    pieces_.clear();
    for (int i = 0; i < count; ++i) {
      const int slot = bottomUp_ ? i : count - 1 - i;
      std::uint8_t* row = rows + rowBytes_ * static_cast<std::size_t>(slot);
      if (block != nullptr) CopyBlockRow(*block, placement_, CanvasRow(firstDelivered + slot), row);
      AddPiece(pieces_, row, rowBytes_);
      if (padding_ > 0) AddPiece(pieces_, kRowPadding.data(), padding_);
    }
    const int firstInFile = bottomUp_ ? CanvasRow(firstDelivered) : firstDelivered + count - 1;
    output_.WritePiecesAt(layout_.RowOffset(firstInFile), pieces_);
  }

 private:
  const BlockPlacement& placement_;
  const BmpLayout& layout_;
  ports::OutputFile& output_;
  const bool bottomUp_;
  const std::size_t rowBytes_;
  const std::size_t padding_;
  std::vector<std::span<const std::uint8_t>> pieces_;
};

}  // namespace

void ComposeInto(ports::Picture& canvas, ports::Picture& inset, const std::string& insetPath,
                 const BlockPlacement& placement, const BmpLayout& layout,
                 ports::OutputFile& output) {
  std::optional<ports::Bitmap> block;
  const auto theBlock = [&]() -> const ports::Bitmap& {
    if (block) return *block;
    // An empty block needs nothing of the inset.
    if (placement.Empty()) return block.emplace();
    const PictureSize asked = placement.Decoded();
    block = inset.ReadTopLeft(asked.width, asked.height);
    if (block->width < asked.width || block->height < asked.height) {
      throw Failure::InFile(FailureKind::DamagedPicture, insetPath,
                            "its top-left block was decoded smaller than requested");
    }
    return *block;
  };
  output.WriteAt(0, layout.Header());

  const int height = layout.Height();
  const std::size_t stride = layout.RowStride();
  const int stripRows = static_cast<int>(std::clamp<std::size_t>(
      limits::kOutputStripBytes / stride, 1,
      std::min<std::size_t>(kMostStripRows, static_cast<std::size_t>(height))));
  StripWriter writer(canvas, placement, layout, output);
  std::vector<std::uint8_t> copied;  // the strip of a canvas that lends no rows
  std::vector<HeldStrip> held;
  std::size_t heldBytes = 0;

  for (int done = 0; done < height;) {
    // Patched and written where they lie: in the canvas's memory when it
    // lends its rows (no copy), else in the strip they are read into.
    ports::LentRows strip = canvas.LendRows(std::min(stripRows, height - done));
    if (strip.count == 0) {
      strip.count = std::min(stripRows, height - done);
      copied.resize(writer.RowBytes() * static_cast<std::size_t>(strip.count));
      canvas.ReadRows(copied.data(), strip.count);
      strip.first = copied.data();
    }
    const std::size_t bytes = writer.RowBytes() * static_cast<std::size_t>(strip.count);
    const bool meets = writer.MeetsTheBlock(done, strip.count);
    if (meets && !block && done + strip.count < height &&
        heldBytes + bytes <= limits::kHeldForTheBlockBytes && !inset.TopLeftReady()) {
      held.push_back({done, strip.count, {strip.first, strip.first + bytes}});
      heldBytes += bytes;
    } else {
      writer.Write(strip.first, done, strip.count, meets ? &theBlock() : nullptr);
    }
    done += strip.count;
  }
  const ports::Bitmap& finalBlock = theBlock();
  for (HeldStrip& strip : held)
    writer.Write(strip.rows.data(), strip.firstDelivered, strip.count, &finalBlock);
}

}  // namespace tessarin::wallpaper
