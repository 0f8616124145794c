#include "wallpaper/make_wallpaper.h"

#include "platform/failure.h"
#include "run/report_message.h"
#include "wallpaper/block_placement.h"
#include "wallpaper/bmp_layout.h"
#include "wallpaper/compose.h"
#include "wallpaper/install_wallpaper.h"
#include "wallpaper/number_conversion.h"

namespace tessarin {
namespace {

bool ReportIfMissing(const platform::Platform& platform, const std::string& path) {
  if (platform.files.IsOrdinaryFile(path)) return false;
  ReportMessage(platform, MissingPictureMessage(path));
  return true;
}

std::int32_t ConvertAreaValue(const platform::Platform& platform, const std::string& value,
                              const char* what) {
  const auto number = ToInt32(value, platform.conventions.DecimalSeparator());
  if (!number) {
    throw Failure(std::string("The replacement area's ") + what + " \"" + value +
                  "\" is not a whole number within the 32-bit range");
  }
  return *number;
}

// A canvas may declare any size its header holds in a few bytes, but the
// wallpaper is written and flushed at the disk's pace: at most 256 MiB
// (an 8K picture takes 95 MiB), so that every run ends within seconds.
constexpr std::uint64_t kMaxWallpaperBytes = std::uint64_t{256} << 20;

BmpLayout OutputLayout(const platform::PictureSource& canvas, const std::string& canvasPath) {
  const auto layout = BmpLayout::For(canvas.Width(), canvas.Height());
  if (!layout) throw Failure::InFile(canvasPath, "too large to be written as a BMP file");
  if (layout->FileSize() > kMaxWallpaperBytes) {
    throw Failure::InFile(canvasPath, "the wallpaper (" + std::to_string(canvas.Width()) + " x " +
                                          std::to_string(canvas.Height()) +
                                          " pixels) would take more than 256 MiB");
  }
  return *layout;
}

}  // namespace

WallpaperOutcome MakeWallpaper(const platform::Platform& platform, const WallpaperRequest& request) {
  if (ReportIfMissing(platform, request.canvasPath) || ReportIfMissing(platform, request.insetPath)) {
    return WallpaperOutcome::PictureMissing;
  }
  // Both headers are checked before anything is written.
  const auto canvas = platform.pictures.Open(request.canvasPath);
  const auto inset = platform.pictures.Open(request.insetPath);
  const std::int32_t height = ConvertAreaValue(platform, request.height, "height");
  const std::int32_t width = ConvertAreaValue(platform, request.width, "width");
  const std::int32_t y = ConvertAreaValue(platform, request.y, "Y");
  const std::int32_t x = ConvertAreaValue(platform, request.x, "X");
  const BmpLayout layout = OutputLayout(*canvas, request.canvasPath);

  const BlockPlacement placement =
      PlaceBlock(x, y, width, height, {inset->Width(), inset->Height()},
                 {canvas->Width(), canvas->Height()});
  // Of the inset only the part that lands on the canvas is decoded.
  const platform::Image block =
      placement.Empty() ? platform::Image{}
                        : inset->ReadTopLeft(placement.sourceX + placement.width,
                                             placement.sourceY + placement.height);

  const auto output = platform.files.CreateReplacement(request.outputPath, layout.FileSize());
  ComposeInto(*canvas, block, placement, layout, *output);
  output->Commit();

  InstallWallpaper(platform, request.outputPath);
  return WallpaperOutcome::Made;
}

}  // namespace tessarin
