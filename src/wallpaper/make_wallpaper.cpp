#include "wallpaper/make_wallpaper.h"

#include "base/failure.h"
#include "limits/run_limits.h"
#include "wallpaper/block_placement.h"
#include "wallpaper/bmp_layout.h"
#include "wallpaper/compose.h"
#include "wallpaper/failure_ordered_picture.h"
#include "wallpaper/install_wallpaper.h"
#include "wallpaper/number_conversion.h"

namespace tessarin::wallpaper {
namespace {

std::int32_t ConvertAreaValue(const ports::Platform& platform, const std::string& value,
                              const char* what) {
  const auto number = ToInt32(value, platform.locale.DecimalSeparator());
  if (!number) {
    throw Failure(FailureKind::BadAreaValue,
                  std::string("The replacement area's ") + what + " \"" + value +
                      "\" is not a whole number within the 32-bit range");
  }
  return *number;
}

BmpLayout OutputLayout(const ports::Picture& canvas, const std::string& canvasPath) {
  const auto layout = BmpLayout::For(canvas.Width(), canvas.Height());
  if (!layout)
    throw Failure::InFile(FailureKind::PictureTooLarge, canvasPath,
                          "too large to be written as a BMP file");
  if (layout->FileSize() > limits::kMaxWallpaperBytes) {
    throw Failure::InFile(FailureKind::PictureTooLarge, canvasPath,
                          "the wallpaper (" + std::to_string(canvas.Width()) + " x " +
                              std::to_string(canvas.Height()) + " pixels) would take more than " +
                              std::to_string(limits::kMaxWallpaperBytes >> 20) + " MiB");
  }
  return *layout;
}

// The steps after loading: the area values converted (height, width, Y, X),
// the inset's block decoded, the canvas streamed into the output.
void ComposeAndWrite(const ports::Platform& platform, const WallpaperRequest& request,
                     ports::Picture& canvas, ports::Picture& inset, const BmpLayout& layout) {
  const std::int32_t height = ConvertAreaValue(platform, request.height, "height");
  const std::int32_t width = ConvertAreaValue(platform, request.width, "width");
  const std::int32_t y = ConvertAreaValue(platform, request.y, "Y");
  const std::int32_t x = ConvertAreaValue(platform, request.x, "X");
  const BlockPlacement placement = PlaceBlock(x, y, width, height, {inset.Width(), inset.Height()},
                                              {canvas.Width(), canvas.Height()});
  // Of the inset only the part that lands on the canvas is decoded, from
  // now on, while the output is made and the canvas's other rows written.
  inset.AskTopLeft(placement.Decoded().width, placement.Decoded().height);

  const auto output = platform.files.CreateReplacement(request.outputPath, layout.FileSize());
  ComposeInto(canvas, inset, request.insetPath, placement, layout, *output);
  output->Commit();
}

}  // namespace

WallpaperOutcome MakeWallpaper(const ports::Platform& platform, const WallpaperRequest& request) {
  for (const std::string* picture : {&request.canvasPath, &request.insetPath}) {
    if (!platform.files.IsOrdinaryFile(*picture)) return {*picture};
  }
  // Both headers are checked before anything is written.
  FailureOrderedPicture canvas(platform.pictures.Open(request.canvasPath));
  const BmpLayout layout = OutputLayout(canvas, request.canvasPath);
  // The canvas's first strips are decoded while the inset's block is.
  canvas.ReadAhead();
  FailureOrderedPicture inset(platform.pictures.Open(request.insetPath));
  try {
    ComposeAndWrite(platform, request, canvas, inset, layout);
  } catch (...) {
    // The pictures are streamed, so a later step can fail before a damaged
    // part of them is reached. Loading comes first: read them to their ends
    // and let their failure, the canvas's before the inset's, be the one
    // reported. Of the inset that is its block, or, when no block could be
    // placed (an area value that does not convert), the whole picture.
    canvas.ReadToTheEnd();
    if (!canvas.Failed()) inset.ReadToTheEnd();
    throw;
  }
  InstallWallpaper(platform, request.outputPath);
  return {};
}

}  // namespace tessarin::wallpaper
