// The player's record loop, its mapping, work cap, object table and saved
// states, and the finished picture.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "pictures/metafile/player.h"

namespace tessarin::metafile::detail {

Player::Player(const RenderRequest& request, const Frame& frame)
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
  cr_ = cairo_create(surface_.get());
  if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
    cairo_destroy(cr_);
    throw MetafileError("out of memory for the metafile's picture");
  }
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
  state_.map = frame.map;
  std::vector<std::uint16_t> slots(objects_.size());
  std::iota(slots.begin(), slots.end(), std::uint16_t{0});
  freeSlots_ = decltype(freeSlots_)(std::greater<>(), std::move(slots));
  budget_ = std::max(double(frame.width) * frame.height * request.workPerPixel, request.minWork);
}

Player::~Player() { cairo_destroy(cr_); }

ports::Bitmap Player::Play() {
  const auto bytes = request_.bytes;
  std::size_t at = frame_.recordsStart;
  while (at + 6 <= frame_.recordsEnd) {
    const std::uint32_t words = Le32(&bytes[at]);
    const auto function = static_cast<std::uint16_t>(Le16(&bytes[at + 4]));
    if (words < 3 || words > (frame_.recordsEnd - at) / 2) Malformed();
    if (function == kEof) break;
    Spend(kRecordCost);
    Play(function, Params(bytes.subspan(at + 6, words * 2 - 6)));
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
      throw MetafileError(std::string("the metafile cannot be drawn: ") +
                          cairo_status_to_string(cairo_status(cr_)));
    }
    at += words * 2;
  }
  return Pixels();
}

// Each record by its function.
void Player::Play(std::uint16_t function, const Params& p) {
  switch (function) {
    case kSaveDc:
      SaveDc();
      break;
    case kRestoreDc:
      RestoreDc(p.I16(0));
      break;
    case kSetBkMode:
      state_.opaqueBackground = p.U16(0) == 2;
      break;
    case kSetMapMode:
      state_.map.mode = p.U16(0);
      break;
    case kSetPolyFillMode:
      state_.winding = p.U16(0) == 2;
      break;
    case kSetTextAlign:
      state_.textAlign = p.U16(0);
      break;
    case kSetBkColor:
      state_.background = FromColorRef(p.U32(0));
      break;
    case kSetTextColor:
      state_.text = FromColorRef(p.U32(0));
      break;
    case kSetWindowOrg:
      state_.map.windowY = p.I16(0), state_.map.windowX = p.I16(1);
      break;
    case kSetWindowExt:
      state_.map.windowH = p.I16(0), state_.map.windowW = p.I16(1);
      break;
    case kSetViewportOrg:
      state_.map.viewY = p.I16(0), state_.map.viewX = p.I16(1);
      break;
    case kSetViewportExt:
      state_.map.viewH = p.I16(0), state_.map.viewW = p.I16(1);
      break;
    case kOffsetWindowOrg:
      state_.map.windowY += p.I16(0), state_.map.windowX += p.I16(1);
      break;
    case kOffsetViewportOrg:
      state_.map.viewY += p.I16(0), state_.map.viewX += p.I16(1);
      break;
    case kScaleWindowExt:
      ScaleExtent(state_.map.windowW, state_.map.windowH, p);
      break;
    case kScaleViewportExt:
      ScaleExtent(state_.map.viewW, state_.map.viewH, p);
      break;
    case kCreatePenIndirect:
      CreatePen(p);
      break;
    case kCreateBrushIndirect:
      CreateBrush(p);
      break;
    case kCreateFontIndirect:
      CreateFont(p);
      break;
    case kDibCreatePatternBrush:
      CreateDibPatternBrush(p);
      break;
    case kCreatePatternBrush:
    case kCreatePalette:
    case kCreateRegion:
      Add(Object{});
      break;
    case kSelectObject:
      Select(p.U16(0));
      break;
    case kDeleteObject:
      DeleteObject(p.U16(0));
      break;
    case kIntersectClipRect:
      IntersectClip(p);
      break;
    case kMoveTo:
      state_.y = p.I16(0), state_.x = p.I16(1);
      break;
    case kLineTo:
      LineTo(p);
      break;
    case kPolyline:
      Polyline(p);
      break;
    case kPolygon:
      Polygons(p, 0, {p.U16(0)}, 1);
      break;
    case kPolyPolygon:
      PolyPolygon(p);
      break;
    case kRectangle:
      Rectangle(p);
      break;
    case kRoundRect:
      RoundRect(p);
      break;
    case kEllipse:
      Ellipse(p);
      break;
    case kArc:
    case kPie:
    case kChord:
      ArcFamily(function, p);
      break;
    case kSetPixel:
      SetPixel(p);
      break;
    case kPatBlt:
      PatBlt(p.U32(0), Box(p.I16(5), p.I16(4), p.I16(5) + p.I16(3), p.I16(4) + p.I16(2)));
      break;
    case kTextOut:
      TextOut(p);
      break;
    case kExtTextOut:
      ExtTextOut(p);
      break;
    case kDibBitBlt:
    case kDibStretchBlt:
    case kStretchDib:
    case kSetDibToDev:
      DibRecord(function, p);
      break;
    default:
      break;  // records that do not change the picture, or unknown ones
  }
}

// ---- mapping ----

Point Player::ScaleFactors() const {
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
Point Player::Device(double x, double y) const {
  const Point s = ScaleFactors();
  const Mapping& m = state_.map;
  return {std::round((x - m.windowX) * s.x + m.viewX), std::round((y - m.windowY) * s.y + m.viewY)};
}

// The device rectangle of two logical corners, ordered.
Player::Rect Player::Box(double x0, double y0, double x1, double y1) const {
  const Point a = Device(x0, y0), b = Device(x1, y1);
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// Rectangles in records come as bottom, right, top, left from `word`.
Player::Rect Player::RecordBox(const Params& p, std::size_t word) const {
  return Box(p.I16(word + 3), p.I16(word + 2), p.I16(word + 1), p.I16(word));
}

void Player::ScaleExtent(double& w, double& h, const Params& p) {
  const int yDen = p.I16(0), yNum = p.I16(1), xDen = p.I16(2), xNum = p.I16(3);
  if (xDen) w = w * xNum / xDen;
  if (yDen) h = h * yNum / yDen;
}

// ---- work cap ----

void Player::Spend(double units) {
  // Compared this way round, a cost that is not a number fails too.
  if (!(units <= budget_)) throw MetafileError("the metafile takes too long to draw");
  budget_ -= units;
}

// The frame pixels a device rectangle covers (at least one); a rectangle
// with a coordinate that is not a number may cover any of them.
double Player::CoveredPixels(Rect r) const {
  const double width = frame_.width, height = frame_.height;
  if (std::isnan(r.left) || std::isnan(r.top) || std::isnan(r.right) || std::isnan(r.bottom)) {
    return width * height;
  }
  const double w = std::clamp(r.right, 0.0, width) - std::clamp(r.left, 0.0, width);
  const double h = std::clamp(r.bottom, 0.0, height) - std::clamp(r.top, 0.0, height);
  return std::max(w, 1.0) * std::max(h, 1.0);
}

void Player::Charge(Rect r) { Spend(CoveredPixels(r) + kShapeCost); }

// ---- objects ----

void Player::Add(Object object) {
  Spend(kObjectCost);
  if (freeSlots_.empty()) return;  // a full table: the object is lost, as when creation fails
  objects_[freeSlots_.top()] = std::move(object);
  freeSlots_.pop();
}

void Player::DeleteObject(std::uint16_t index) {
  if (index >= objects_.size() || !objects_[index]) return;
  objects_[index].reset();
  freeSlots_.push(index);
}

void Player::Select(std::uint16_t index) {
  if (index >= objects_.size() || !objects_[index]) return;
  const Object& o = *objects_[index];
  if (o.kind == Object::kPen) state_.pen = o.pen;
  if (o.kind == Object::kBrush) state_.brush = o.brush;
  if (o.kind == Object::kFont) state_.font = o.font;
}

void Player::CreatePen(const Params& p) {
  Object o{Object::kPen, {}, {}, {}};
  o.pen.style = p.U16(0) & 0x0F;
  o.pen.width = p.I16(1);
  o.pen.colour = FromColorRef(p.U32(3));
  Add(o);
}

void Player::CreateBrush(const Params& p) {
  Object o{Object::kBrush, {}, {}, {}};
  o.brush.style = p.U16(0);
  o.brush.colour = FromColorRef(p.U32(1));
  o.brush.hatch = p.Size() >= 8 ? p.U16(3) : 0;
  Add(o);
}

void Player::CreateFont(const Params& p) {
  Object o{Object::kFont, {}, {}, {}};
  o.font.height = p.I16(0);
  o.font.escapement = p.I16(2);
  o.font.weight = p.I16(4);
  const std::uint16_t italicUnderline = p.U16(5);
  o.font.italic = (italicUnderline & 0xFF) != 0;
  const auto face = p.From(9);
  o.font.face = Utf8FromAnsi(face.subspan(0, std::min<std::size_t>(face.size(), 32)));
  Add(o);
}

void Player::SaveDc() {
  // Beyond the cap SaveDC fails, as when GDI runs out of memory; RestoreDC
  // then goes back as far as there are.
  if (saved_.size() >= request_.maxSavedStates) return;
  Spend(kObjectCost);
  saved_.push_back(state_);
  cairo_save(cr_);
}

void Player::RestoreDc(int which) {
  // Negative: that many levels back; positive: the level of that number.
  std::size_t target = which < 0 ? saved_.size() - std::min<std::size_t>(saved_.size(), -which)
                                 : std::min<std::size_t>(saved_.size(), std::max(which, 1) - 1);
  while (saved_.size() > target) {
    state_ = saved_.back();
    saved_.pop_back();
    cairo_restore(cr_);
  }
}

void Player::IntersectClip(const Params& p) {
  const Rect r = RecordBox(p, 0);
  cairo_new_path(cr_);
  cairo_rectangle(cr_, r.left, r.top, r.Width(), r.Height());
  cairo_clip(cr_);
}

// ---- result ----

ports::Bitmap Player::Pixels() {
  cairo_destroy(cr_);
  cr_ = nullptr;
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

}  // namespace tessarin::metafile::detail
