// The renderer's record loop, its mapping, work cap, object table and saved
// states, and the finished picture.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <numeric>

#include "pictures/metafile/renderer.h"

namespace tessarin::pictures::metafile {

Renderer::Renderer(const RenderRequest& request, const Frame& frame)
    : request_(request), frame_(frame), objects_(frame.objectCount) {
  // Drawn into a buffer given to Cairo (the caller's, or one of our own), so
  // that the finished pixels can be turned into BGR where they lie, without
  // a second copy of the picture. ARGB32 rows are packed: 4 bytes a pixel.
  const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, frame.width);
  heldBytes_ = static_cast<std::size_t>(stride) * static_cast<std::size_t>(frame.height);
  if (request.surfaceMemory) {
    pixels_ = request.surfaceMemory(frame.width, frame.height);
    if (pixels_ == nullptr) throw MetafileError("out of memory for the metafile's picture");
  } else {
    ownPixels_.resize(heldBytes_);
    pixels_ = ownPixels_.data();
  }
  surface_.reset(cairo_image_surface_create_for_data(pixels_, CAIRO_FORMAT_ARGB32, frame.width,
                                                     frame.height, stride),
                 SurfaceFree());
  context_.reset(cairo_create(surface_.get()));
  if (cairo_status(Cairo()) != CAIRO_STATUS_SUCCESS) {
    throw MetafileError("out of memory for the metafile's picture");
  }
  cairo_set_antialias(Cairo(), CAIRO_ANTIALIAS_NONE);
  state_.map = frame.map;
  std::vector<std::uint16_t> slots(objects_.size());
  std::iota(slots.begin(), slots.end(), std::uint16_t{0});
  freeSlots_ = decltype(freeSlots_)(std::greater<>(), std::move(slots));
  budget_ = std::max(double(frame.width) * frame.height * request.workPerPixel, request.minWork);
}

ports::Bitmap Renderer::Render() {
  RecordReader records(request_.bytes, frame_.recordsStart, frame_.recordsEnd);
  while (const auto record = records.Next()) {
    Spend(kRecordCost);
    Render(*record);
    if (cairo_status(Cairo()) != CAIRO_STATUS_SUCCESS) {
      throw MetafileError(std::string("the metafile cannot be drawn: ") +
                          cairo_status_to_string(cairo_status(Cairo())));
    }
  }
  return Pixels();
}

// A record reaches its handler only with the words the handler reads
// whatever the record holds; those its contents ask for beyond them (a
// text's characters, a polygon's points, a bitmap) are checked as they are
// read. Either way a record too short is malformed and stops the drawing.
void Renderer::Render(const Record& record) {
  const Handler* handler = HandlerOf(record.function);
  if (handler == nullptr) return;  // records that do not change the picture, or unknown ones
  if (record.params.Words() < handler->minWords) Malformed();
  handler->render(*this, record.params);
}

const Renderer::Handler* Renderer::HandlerOf(RecordFunction function) {
  using F = RecordFunction;
  static constexpr Handler kHandlers[] = {
      {F::kSaveDc, 0, [](Renderer& p, const Params&) { p.SaveDc(); }},
      {F::kCreatePalette, 0, [](Renderer& p, const Params&) { p.Add(Object{}); }},
      {F::kSetBkMode, 1,
       [](Renderer& p, const Params& r) {
         p.state_.opaqueBackground = r.U16(0) == kOpaqueBackground;
       }},
      {F::kSetMapMode, 1, [](Renderer& p, const Params& r) { p.state_.map.mode = r.U16(0); }},
      {F::kSetPolyFillMode, 1,
       [](Renderer& p, const Params& r) { p.state_.winding = r.U16(0) == kWindingFill; }},
      {F::kRestoreDc, 1, [](Renderer& p, const Params& r) { p.RestoreDc(r.I16(0)); }},
      {F::kSelectObject, 1, [](Renderer& p, const Params& r) { p.Select(r.U16(0)); }},
      {F::kSetTextAlign, 1, [](Renderer& p, const Params& r) { p.state_.textAlign = r.U16(0); }},
      // Its device-dependent form holds nothing but its style word.
      {F::kDibCreatePatternBrush, 1,
       [](Renderer& p, const Params& r) { p.CreateDibPatternBrush(r); }},
      {F::kDeleteObject, 1, [](Renderer& p, const Params& r) { p.DeleteObject(r.U16(0)); }},
      {F::kCreatePatternBrush, 0, [](Renderer& p, const Params&) { p.Add(Object{}); }},
      {F::kSetBkColor, 2,
       [](Renderer& p, const Params& r) { p.state_.background = FromColorRef(r.U32(0)); }},
      {F::kSetTextColor, 2,
       [](Renderer& p, const Params& r) { p.state_.text = FromColorRef(r.U32(0)); }},
      {F::kSetWindowOrg, 2,
       [](Renderer& p, const Params& r) {
         p.state_.map.windowY = r.I16(0), p.state_.map.windowX = r.I16(1);
       }},
      {F::kSetWindowExt, 2,
       [](Renderer& p, const Params& r) {
         p.state_.map.windowH = r.I16(0), p.state_.map.windowW = r.I16(1);
       }},
      {F::kSetViewportOrg, 2,
       [](Renderer& p, const Params& r) {
         p.state_.map.viewY = r.I16(0), p.state_.map.viewX = r.I16(1);
       }},
      {F::kSetViewportExt, 2,
       [](Renderer& p, const Params& r) {
         p.state_.map.viewH = r.I16(0), p.state_.map.viewW = r.I16(1);
       }},
      {F::kOffsetWindowOrg, 2,
       [](Renderer& p, const Params& r) {
         p.state_.map.windowY += r.I16(0), p.state_.map.windowX += r.I16(1);
       }},
      {F::kOffsetViewportOrg, 2,
       [](Renderer& p, const Params& r) {
         p.state_.map.viewY += r.I16(0), p.state_.map.viewX += r.I16(1);
       }},
      {F::kLineTo, 2, [](Renderer& p, const Params& r) { p.LineTo(r); }},
      {F::kMoveTo, 2,
       [](Renderer& p, const Params& r) { p.state_.y = r.I16(0), p.state_.x = r.I16(1); }},
      {F::kCreatePenIndirect, 5, [](Renderer& p, const Params& r) { p.CreatePen(r); }},
      {F::kCreateFontIndirect, 9, [](Renderer& p, const Params& r) { p.CreateFont(r); }},
      {F::kCreateBrushIndirect, 3, [](Renderer& p, const Params& r) { p.CreateBrush(r); }},
      {F::kPolygon, 1, [](Renderer& p, const Params& r) { p.Polygon(r); }},
      {F::kPolyline, 1, [](Renderer& p, const Params& r) { p.Polyline(r); }},
      {F::kScaleWindowExt, 4,
       [](Renderer& p, const Params& r) {
         ScaleExtent(p.state_.map.windowW, p.state_.map.windowH, r);
       }},
      {F::kScaleViewportExt, 4,
       [](Renderer& p, const Params& r) {
         ScaleExtent(p.state_.map.viewW, p.state_.map.viewH, r);
       }},
      {F::kIntersectClipRect, 4, [](Renderer& p, const Params& r) { p.IntersectClip(r); }},
      {F::kEllipse, 4, [](Renderer& p, const Params& r) { p.Ellipse(r); }},
      {F::kRectangle, 4, [](Renderer& p, const Params& r) { p.Rectangle(r); }},
      {F::kSetPixel, 4, [](Renderer& p, const Params& r) { p.SetPixel(r); }},
      {F::kTextOut, 3, [](Renderer& p, const Params& r) { p.TextOut(r); }},
      {F::kPolyPolygon, 1, [](Renderer& p, const Params& r) { p.PolyPolygon(r); }},
      {F::kRoundRect, 6, [](Renderer& p, const Params& r) { p.RoundRect(r); }},
      {F::kPatBlt, 6, [](Renderer& p, const Params& r) { p.PatBlt(r); }},
      {F::kCreateRegion, 0, [](Renderer& p, const Params&) { p.Add(Object{}); }},
      {F::kArc, 8, [](Renderer& p, const Params& r) { p.ArcFamily(F::kArc, r); }},
      {F::kPie, 8, [](Renderer& p, const Params& r) { p.ArcFamily(F::kPie, r); }},
      {F::kChord, 8, [](Renderer& p, const Params& r) { p.ArcFamily(F::kChord, r); }},
      // Without a bitmap the DIB records are exactly their counted words long.
      {F::kDibBitBlt, CountedWords(F::kDibBitBlt),
       [](Renderer& p, const Params& r) { p.DibRecord(F::kDibBitBlt, r); }},
      {F::kExtTextOut, 4, [](Renderer& p, const Params& r) { p.ExtTextOut(r); }},
      {F::kDibStretchBlt, CountedWords(F::kDibStretchBlt),
       [](Renderer& p, const Params& r) { p.DibRecord(F::kDibStretchBlt, r); }},
      {F::kSetDibToDev, 9, [](Renderer& p, const Params& r) { p.DibRecord(F::kSetDibToDev, r); }},
      {F::kStretchDib, 11, [](Renderer& p, const Params& r) { p.DibRecord(F::kStretchDib, r); }},
  };
  static_assert(
      std::is_sorted(std::begin(kHandlers), std::end(kHandlers),
                     [](const Handler& a, const Handler& b) { return a.function < b.function; }));
  const auto* found =
      std::lower_bound(std::begin(kHandlers), std::end(kHandlers), function,
                       [](const Handler& h, RecordFunction f) { return h.function < f; });
  return found != std::end(kHandlers) && found->function == function ? found : nullptr;
}

// ---- mapping ----

Point Renderer::ScaleFactors() const {
  const Mapping& m = state_.map;
  switch (m.mode) {
    case kLoMetric:
      return {kPixelsPerInch / 254.0, -kPixelsPerInch / 254.0};
    case kHiMetric:
      return {kPixelsPerInch / 2540.0, -kPixelsPerInch / 2540.0};
    case kLoEnglish:
      return {kPixelsPerInch / 100.0, -kPixelsPerInch / 100.0};
    case kHiEnglish:
      return {kPixelsPerInch / 1000.0, -kPixelsPerInch / 1000.0};
    case kTwips:
      return {kPixelsPerInch / 1440.0, -kPixelsPerInch / 1440.0};
    case kIsotropic:
    case kAnisotropic: {
      const double sx = m.windowW ? m.viewW / m.windowW : 1;
      const double sy = m.windowH ? m.viewH / m.windowH : 1;
      if (m.mode == kAnisotropic) return {sx, sy};
      const double s = std::min(std::abs(sx), std::abs(sy));
      return {std::copysign(s, sx), std::copysign(s, sy)};
    }
    default:
      return {1, 1};
  }
}

// Device pixel (rounded, as GDI does) of a logical point.
Point Renderer::Device(double x, double y) const {
  const Point s = ScaleFactors();
  const Mapping& m = state_.map;
  return {std::round((x - m.windowX) * s.x + m.viewX), std::round((y - m.windowY) * s.y + m.viewY)};
}

// The device rectangle of two logical corners, ordered.
Renderer::Rect Renderer::Box(double x0, double y0, double x1, double y1) const {
  const Point a = Device(x0, y0), b = Device(x1, y1);
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// Rectangles in records come as bottom, right, top, left from `word`.
Renderer::Rect Renderer::RecordBox(const Params& p, std::size_t word) const {
  return Box(p.I16(word + 3), p.I16(word + 2), p.I16(word + 1), p.I16(word));
}

void Renderer::ScaleExtent(double& w, double& h, const Params& p) {
  const int yDen = p.I16(0), yNum = p.I16(1), xDen = p.I16(2), xNum = p.I16(3);
  if (xDen) w = w * xNum / xDen;
  if (yDen) h = h * yNum / yDen;
}

// ---- work cap ----

void Renderer::Spend(double units) {
  // Compared this way round, a cost that is not a number fails too.
  if (!(units <= budget_)) throw MetafileError("the metafile takes too long to draw");
  budget_ -= units;
}

// The frame pixels a device rectangle covers (at least one); a rectangle
// with a coordinate that is not a number may cover any of them.
double Renderer::CoveredPixels(Rect r) const {
  const double width = frame_.width, height = frame_.height;
  if (std::isnan(r.left) || std::isnan(r.top) || std::isnan(r.right) || std::isnan(r.bottom)) {
    return width * height;
  }
  const double w = std::clamp(r.right, 0.0, width) - std::clamp(r.left, 0.0, width);
  const double h = std::clamp(r.bottom, 0.0, height) - std::clamp(r.top, 0.0, height);
  return std::max(w, 1.0) * std::max(h, 1.0);
}

void Renderer::Charge(Rect r) { Spend(CoveredPixels(r) + kShapeCost); }

// ---- objects ----

void Renderer::Add(Object object) {
  Spend(kObjectCost);
  if (freeSlots_.empty()) return;  // a full table: the object is lost, as when creation fails
  objects_[freeSlots_.top()] = std::move(object);
  freeSlots_.pop();
}

void Renderer::DeleteObject(std::uint16_t index) {
  if (index >= objects_.size() || !objects_[index]) return;
  objects_[index].reset();
  freeSlots_.push(index);
}

void Renderer::Select(std::uint16_t index) {
  if (index >= objects_.size() || !objects_[index]) return;
  const Object& o = *objects_[index];
  if (o.kind == Object::kPen) state_.pen = o.pen;
  if (o.kind == Object::kBrush) state_.brush = o.brush;
  if (o.kind == Object::kFont) state_.font = o.font;
}

void Renderer::CreatePen(const Params& p) {
  Object o{Object::kPen, {}, {}, {}};
  o.pen.style = p.U16(0) & kPenStyleBits;
  o.pen.width = p.I16(1);
  o.pen.colour = FromColorRef(p.U32(3));
  Add(o);
}

void Renderer::CreateBrush(const Params& p) {
  Object o{Object::kBrush, {}, {}, {}};
  o.brush.style = p.U16(0);
  o.brush.colour = FromColorRef(p.U32(1));
  o.brush.hatch = p.Words() >= 4 ? int{p.U16(3)} : int{kHatchHorizontal};
  Add(o);
}

void Renderer::CreateFont(const Params& p) {
  Object o{Object::kFont, {}, {}, {}};
  o.font.height = p.I16(0);
  o.font.escapement = p.I16(2);
  o.font.weight = p.I16(4);
  const std::uint16_t italicUnderline = p.U16(5);
  o.font.italic = (italicUnderline & 0xFF) != 0;  // the low byte; underline is the high one
  const auto face = p.From(9);
  o.font.face = Utf8FromAnsi(face.subspan(0, std::min(face.size(), kFontFaceBytes)));
  Add(o);
}

void Renderer::SaveDc() {
  // Beyond the cap SaveDC fails, as when GDI runs out of memory; RestoreDC
  // then goes back as far as there are.
  if (saved_.size() >= request_.maxSavedStates) return;
  Spend(kObjectCost);
  saved_.push_back(state_);
  cairo_save(Cairo());
}

void Renderer::RestoreDc(int which) {
  // Negative: that many levels back; positive: the level of that number.
  std::size_t target = which < 0 ? saved_.size() - std::min<std::size_t>(saved_.size(), -which)
                                 : std::min<std::size_t>(saved_.size(), std::max(which, 1) - 1);
  while (saved_.size() > target) {
    state_ = saved_.back();
    saved_.pop_back();
    cairo_restore(Cairo());
  }
}

void Renderer::IntersectClip(const Params& p) {
  const Rect r = RecordBox(p, 0);
  cairo_new_path(Cairo());
  cairo_rectangle(Cairo(), r.left, r.top, r.Width(), r.Height());
  cairo_clip(Cairo());
}

// ---- result ----

ports::Bitmap Renderer::Pixels() {
  context_.reset();
  surface_.reset();
  // ARGB32 rows are packed (4 bytes a pixel), so each BGR pixel is written at
  // or before the pixel it comes from. Premultiplied colour is already the
  // colour over black.
  const std::size_t count = std::size_t(frame_.width) * std::size_t(frame_.height);
  std::uint8_t* data = pixels_;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t argb;
    std::memcpy(&argb, data + 4 * i, 4);
    data[3 * i] = static_cast<std::uint8_t>(argb);
    data[3 * i + 1] = static_cast<std::uint8_t>(argb >> 8);
    data[3 * i + 2] = static_cast<std::uint8_t>(argb >> 16);
  }
  if (ownPixels_.empty()) return ports::Bitmap{frame_.width, frame_.height, {}};
  ownPixels_.resize(count * 3);
  return ports::Bitmap{frame_.width, frame_.height, std::move(ownPixels_)};
}

}  // namespace tessarin::pictures::metafile
