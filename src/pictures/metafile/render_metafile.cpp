#include "pictures/metafile/render_metafile.h"

#include <cmath>
#include <optional>

#include "base/little_endian.h"
#include "pictures/metafile/renderer.h"

namespace tessarin::pictures::metafile {
namespace {

std::uint16_t U16At(std::span<const std::uint8_t> b, std::size_t at) {
  if (at + 2 > b.size()) throw MetafileError("the file ends early");
  return static_cast<std::uint16_t>(Le16(&b[at]));
}

std::uint32_t U32At(std::span<const std::uint8_t> b, std::size_t at) {
  if (at + 4 > b.size()) throw MetafileError("the file ends early");
  return Le32(&b[at]);
}

// Without a placeable header the picture is its window: the first window
// origin and extent the records set.
void FindWindow(std::span<const std::uint8_t> b, Frame& frame) {
  std::optional<Point> origin, extent;
  RecordReader records(b, frame.recordsStart, frame.recordsEnd);
  while (!extent) {
    const auto record = records.Next();
    if (!record) break;
    const auto& p = record->params;
    if (record->function == RecordFunction::kSetWindowOrg && !origin)
      origin = Point{double(p.I16(1)), double(p.I16(0))};
    if (record->function == RecordFunction::kSetWindowExt)
      extent = Point{double(p.I16(1)), double(p.I16(0))};
  }
  if (!extent || extent->x == 0 || extent->y == 0)
    throw MetafileError("the metafile gives no picture size");
  frame.width = static_cast<int>(std::abs(extent->x));
  frame.height = static_cast<int>(std::abs(extent->y));
  frame.map.mode = kAnisotropic;
  frame.map.windowX = origin ? origin->x : 0;
  frame.map.windowY = origin ? origin->y : 0;
  frame.map.windowW = extent->x;
  frame.map.windowH = extent->y;
  frame.map.viewW = frame.width;
  frame.map.viewH = frame.height;
}

Frame ReadFrame(const RenderRequest& request) {
  const auto b = request.bytes;
  Frame frame;
  std::size_t header = 0;
  const bool placeable = b.size() >= 4 && U32At(b, 0) == kPlaceableKey;
  if (placeable) {
    const auto left = static_cast<std::int16_t>(U16At(b, 6)),
               top = static_cast<std::int16_t>(U16At(b, 8));
    const auto right = static_cast<std::int16_t>(U16At(b, 10)),
               bottom = static_cast<std::int16_t>(U16At(b, 12));
    const std::uint16_t inch = U16At(b, 14);
    if (inch == 0) throw MetafileError("the metafile gives no units per inch");
    frame.width =
        static_cast<int>(std::lround(std::abs(right - left) * double(kPixelsPerInch) / inch));
    frame.height =
        static_cast<int>(std::lround(std::abs(bottom - top) * double(kPixelsPerInch) / inch));
    frame.map.mode = kAnisotropic;
    frame.map.windowX = left, frame.map.windowY = top;
    frame.map.windowW = right - left, frame.map.windowH = bottom - top;
    frame.map.viewW = frame.width, frame.map.viewH = frame.height;
    header = kPlaceableHeaderBytes;
  }
  const std::uint16_t headerWords = U16At(b, header + 2);
  const std::uint64_t fileWords = U32At(b, header + 6);
  if (headerWords != kHeaderWords) throw MetafileError("the metafile's header is damaged");
  if (fileWords * 2 > b.size() - header) throw MetafileError("the file ends early");
  frame.objectCount = U16At(b, header + 10);
  frame.recordsStart = header + kHeaderBytes;
  frame.recordsEnd = header + static_cast<std::size_t>(fileWords) * 2;
  if (frame.recordsEnd < frame.recordsStart)
    throw MetafileError("the metafile's header is damaged");
  if (!placeable) FindWindow(b, frame);
  if (frame.width <= 0 || frame.height <= 0) throw MetafileError("the picture has no pixels");
  if (frame.width > kMaxCairoSide || frame.height > kMaxCairoSide ||
      std::uint64_t(frame.width) * std::uint64_t(frame.height) * 4 > request.maxSurfaceBytes) {
    throw MetafileError("the picture (" + std::to_string(frame.width) + " x " +
                        std::to_string(frame.height) + " pixels) is too large to decode in memory");
  }
  return frame;
}

}  // namespace

ports::Bitmap RenderMetafile(const RenderRequest& request) {
  const Frame frame = ReadFrame(request);
  Renderer renderer(request, frame);
  return renderer.Render();
}

}  // namespace tessarin::pictures::metafile
