// Bitmaps: the DIB records and DIB pattern brushes.

#include <algorithm>
#include <cmath>

#include "pictures/metafile/renderer.h"

namespace tessarin::pictures::metafile {

namespace {

// The pixels a DIB's info header declares, read before any is decoded (a
// header the decoder would refuse declares none).
double DeclaredPixels(std::span<const std::uint8_t> dib) {
  if (dib.size() < 16) return 0;
  const std::uint8_t* h = dib.data();
  if (Le32(h) == kCoreHeaderBytes)
    return double(Le16(h + 4)) * double(Le16(h + 6));  // OS/2 core header
  const auto width = static_cast<std::int32_t>(Le32(h + 4)),
             height = static_cast<std::int32_t>(Le32(h + 8));
  return std::abs(double(width)) * std::abs(double(height));
}

}  // namespace

// Decodes a record's DIB after paying for it: its work from the budget, and
// its memory (BGR pixels and a surface, both held for a moment) within what
// the picture may hold.
ports::Bitmap Renderer::DecodeDib(std::span<const std::uint8_t> dib) {
  const double pixels = DeclaredPixels(dib);
  if (double(heldBytes_) + pixels * (3 + 4) > double(request_.maxSurfaceBytes)) {
    throw MetafileError("the metafile holds a bitmap too large to draw in memory");
  }
  Spend(pixels * kDecodeCostPerPixel);
  return request_.decodeDib(dib);
}

void Renderer::CreateDibPatternBrush(const Params& p) {
  Object o{Object::kBrush, {}, {}, {}};
  if (p.U16(0) == kBrushPattern) {  // a device-dependent bitmap: drawn solid
    o.brush.style = kBrushSolid;
  } else {
    o.brush.style = kBrushDibPattern;
    o.brush.pattern = SurfaceOf(DecodeDib(p.From(2)));
  }
  Add(o);
}

// A surface of the bitmap's pixels, its bytes counted as held while it lives.
Surface Renderer::SurfaceOf(const ports::Bitmap& image) {
  if (image.width <= 0 || image.height <= 0 || image.width > kMaxCairoSide ||
      image.height > kMaxCairoSide) {
    throw MetafileError("the metafile holds a bitmap that cannot be drawn");
  }
  const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, image.width);
  const std::uint64_t bytes = std::uint64_t(stride) * std::uint64_t(image.height);
  Surface s(cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.width, image.height),
            [this, bytes](cairo_surface_t* surface) {
              cairo_surface_destroy(surface);
              heldBytes_ -= bytes;
            });
  heldBytes_ += bytes;
  if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) throw MetafileError("out of memory");
  cairo_surface_flush(s.get());
  unsigned char* data = cairo_image_surface_get_data(s.get());
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* in = &image.bgr[std::size_t(y) * image.width * 3];
    auto* out = reinterpret_cast<std::uint32_t*>(data + std::size_t(y) * stride);
    for (int x = 0; x < image.width; ++x, in += 3) {
      out[x] = 0xFF000000u | std::uint32_t{in[2]} << 16 | std::uint32_t{in[1]} << 8 | in[0];
    }
  }
  cairo_surface_mark_dirty(s.get());
  return s;
}

void Renderer::DibRecord(RecordFunction function, const Params& p) {
  Blit b;
  b.rop = p.U32(0);
  // Without a bitmap the record is exactly its function's counted words
  // long, and acts like PatBlt.
  const bool hasBitmap = p.Words() > CountedWords(function);
  switch (function) {
    case RecordFunction::kDibBitBlt:  // rop, ySrc, xSrc, [reserved], h, w, yDest, xDest, DIB
      if (!hasBitmap)
        return PatBlt(b.rop, Box(p.I16(8), p.I16(7), p.I16(8) + p.I16(6), p.I16(7) + p.I16(5)));
      b.srcY = p.I16(2), b.srcX = p.I16(3), b.h = b.srcH = p.I16(4), b.w = b.srcW = p.I16(5);
      b.y = p.I16(6), b.x = p.I16(7), b.dibWord = 8;
      break;
    case RecordFunction::kDibStretchBlt:  // rop, hSrc, wSrc, ySrc, xSrc, [reserved], h, w, yDest,
                                          // xDest, DIB
      if (!hasBitmap)
        return PatBlt(b.rop, Box(p.I16(10), p.I16(9), p.I16(10) + p.I16(8), p.I16(9) + p.I16(7)));
      b.srcH = p.I16(2), b.srcW = p.I16(3), b.srcY = p.I16(4), b.srcX = p.I16(5);
      b.h = p.I16(6), b.w = p.I16(7), b.y = p.I16(8), b.x = p.I16(9), b.dibWord = 10;
      break;
    case RecordFunction::kStretchDib:  // rop, usage, hSrc, wSrc, ySrc, xSrc, h, w, yDest, xDest,
                                       // DIB
      b.srcH = p.I16(3), b.srcW = p.I16(4), b.srcY = p.I16(5), b.srcX = p.I16(6);
      b.h = p.I16(7), b.w = p.I16(8), b.y = p.I16(9), b.x = p.I16(10), b.dibWord = 11;
      b.srcFromBottom = true;
      break;
    default:  // SetDIBitsToDevice: usage, scans, start, ySrc, xSrc, h, w, yDest, xDest, DIB
      b.rop = kSrcCopy;
      b.srcY = p.I16(3), b.srcX = p.I16(4), b.h = b.srcH = p.I16(5), b.w = b.srcW = p.I16(6);
      b.y = p.I16(7), b.x = p.I16(8), b.dibWord = 9;
      b.srcFromBottom = true;
      b.destInPixels = true;
      break;
  }
  // Nothing is copied from or to an empty rectangle: the bitmap is not even decoded.
  if (b.srcW == 0 || b.srcH == 0) return;
  const Point a = Device(b.x, b.y);
  const Point far = b.destInPixels ? Point{a.x + b.w, a.y + b.h} : Device(b.x + b.w, b.y + b.h);
  if (a.x == far.x || a.y == far.y) return;
  Charge({std::min(a.x, far.x), std::min(a.y, far.y), std::max(a.x, far.x), std::max(a.y, far.y)});
  DrawDib(b, DecodeDib(p.From(b.dibWord)), a, far);
}

void Renderer::DrawDib(const Blit& b, const ports::Bitmap& image, Point a, Point far) {
  const Surface surface = SurfaceOf(image);
  const double top = b.srcFromBottom ? image.height - b.srcY - std::abs(b.srcH) : b.srcY;
  cairo_save(Cairo());
  cairo_rectangle(Cairo(), std::min(a.x, far.x), std::min(a.y, far.y), std::abs(far.x - a.x),
                  std::abs(far.y - a.y));
  cairo_clip(Cairo());
  cairo_translate(Cairo(), a.x, a.y);
  cairo_scale(Cairo(), (far.x - a.x) / b.srcW, (far.y - a.y) / b.srcH);
  cairo_set_source_surface(Cairo(), surface.get(), -b.srcX, -top);
  cairo_pattern_set_filter(cairo_get_source(Cairo()), CAIRO_FILTER_NEAREST);
  // Mask-building raster operations, as near as Cairo's operators come.
  if (b.rop == kSrcAnd) cairo_set_operator(Cairo(), CAIRO_OPERATOR_MULTIPLY);
  if (b.rop == kSrcPaint) cairo_set_operator(Cairo(), CAIRO_OPERATOR_LIGHTEN);
  cairo_paint(Cairo());
  cairo_restore(Cairo());
}

}  // namespace tessarin::pictures::metafile
