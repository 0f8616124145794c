#include "pictures/metafile/metafile_player.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace tessarin::metafile {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kPixelsPerInch = 96;
constexpr int kMaxCairoSide = 32767;
constexpr double kMaxFontPixels = 2048;

// Record functions (the low byte names the record; the high byte counts its
// parameters in some writers, which is why the full word is compared).
enum Function : std::uint16_t {
  kEof = 0x0000,
  kSaveDc = 0x001E,
  kSetBkMode = 0x0102,
  kSetMapMode = 0x0103,
  kSetPolyFillMode = 0x0106,
  kRestoreDc = 0x0127,
  kSelectObject = 0x012D,
  kSetTextAlign = 0x012E,
  kDibCreatePatternBrush = 0x0142,
  kDeleteObject = 0x01F0,
  kCreatePatternBrush = 0x01F9,
  kSetBkColor = 0x0201,
  kSetTextColor = 0x0209,
  kSetWindowOrg = 0x020B,
  kSetWindowExt = 0x020C,
  kSetViewportOrg = 0x020D,
  kSetViewportExt = 0x020E,
  kOffsetWindowOrg = 0x020F,
  kOffsetViewportOrg = 0x0211,
  kLineTo = 0x0213,
  kMoveTo = 0x0214,
  kCreatePenIndirect = 0x02FA,
  kCreateFontIndirect = 0x02FB,
  kCreateBrushIndirect = 0x02FC,
  kPolygon = 0x0324,
  kPolyline = 0x0325,
  kScaleWindowExt = 0x0410,
  kScaleViewportExt = 0x0412,
  kIntersectClipRect = 0x0416,
  kEllipse = 0x0418,
  kRectangle = 0x041B,
  kSetPixel = 0x041F,
  kTextOut = 0x0521,
  kPolyPolygon = 0x0538,
  kRoundRect = 0x061C,
  kPatBlt = 0x061D,
  kCreateRegion = 0x06FF,
  kCreatePalette = 0x00F7,
  kArc = 0x0817,
  kPie = 0x081A,
  kChord = 0x0830,
  kDibBitBlt = 0x0940,
  kExtTextOut = 0x0A32,
  kDibStretchBlt = 0x0B41,
  kSetDibToDev = 0x0D33,
  kStretchDib = 0x0F43,
};

enum MapMode { kText = 1, kLoMetric, kHiMetric, kLoEnglish, kHiEnglish, kTwips, kIsotropic, kAnisotropic };

constexpr std::uint32_t kSrcCopy = 0x00CC0020, kSrcPaint = 0x00EE0086, kSrcAnd = 0x008800C6;
constexpr std::uint32_t kPatCopy = 0x00F00021, kBlackness = 0x00000042, kWhiteness = 0x00FF0062;

[[noreturn]] void Malformed() { throw MetafileError("the metafile has a malformed record"); }

// Little-endian reads within one record's parameters.
class Params {
 public:
  explicit Params(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t Size() const { return bytes_.size(); }
  std::uint16_t U16(std::size_t word) const {
    const std::size_t at = word * 2;
    if (at + 2 > bytes_.size()) Malformed();
    return static_cast<std::uint16_t>(bytes_[at] | bytes_[at + 1] << 8);
  }
  std::int16_t I16(std::size_t word) const { return static_cast<std::int16_t>(U16(word)); }
  std::uint32_t U32(std::size_t word) const {
    return U16(word) | static_cast<std::uint32_t>(U16(word + 1)) << 16;
  }
  std::span<const std::uint8_t> From(std::size_t word) const {
    if (word * 2 > bytes_.size()) Malformed();
    return bytes_.subspan(word * 2);
  }
  std::span<const std::uint8_t> Bytes(std::size_t word, std::size_t count) const {
    if (word * 2 > bytes_.size() || count > bytes_.size() - word * 2) Malformed();
    return bytes_.subspan(word * 2, count);
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

struct Colour {
  double r = 0, g = 0, b = 0;
};

// A COLORREF: 0x00bbggrr; palette indexes (high byte 1) have no palette to
// look into here and come out black.
Colour FromColorRef(std::uint32_t ref) {
  if ((ref >> 24) == 1) return {};
  return {(ref & 0xFF) / 255.0, ((ref >> 8) & 0xFF) / 255.0, ((ref >> 16) & 0xFF) / 255.0};
}

struct SurfaceFree {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using Surface = std::shared_ptr<cairo_surface_t>;

struct Pen {
  int style = 0;  // PS_SOLID
  double width = 0;
  Colour colour;
};

struct Brush {
  int style = 0;  // BS_SOLID
  Colour colour{1, 1, 1};
  int hatch = 0;
  Surface pattern;  // BS_DIBPATTERNPT
};

struct Font {
  int height = 0;
  int escapement = 0;
  int weight = 400;
  bool italic = false;
  std::string face;
};

struct Object {
  enum Kind { kPen, kBrush, kFont, kOther } kind = kOther;
  Pen pen;
  Brush brush;
  Font font;
};

struct Mapping {
  int mode = kText;
  double windowX = 0, windowY = 0, windowW = 1, windowH = 1;
  double viewX = 0, viewY = 0, viewW = 1, viewH = 1;
};

struct DcState {
  Mapping map;
  Pen pen;
  Brush brush;
  Font font;
  Colour text;
  Colour background{1, 1, 1};
  bool opaqueBackground = true;
  bool winding = false;
  int textAlign = 0;
  double x = 0, y = 0;  // current position, logical
};

struct Point {
  double x, y;
};

// The code page 1252 text of a record as UTF-8 for Cairo.
std::string Utf8FromAnsi(std::span<const std::uint8_t> text) {
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::string out;
  for (std::uint8_t byte : text) {
    if (byte == 0) break;
    const char16_t c = byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The picture's size and the mapping its records start from.
struct Frame {
  int width = 0, height = 0;
  Mapping map;
  std::size_t recordsStart = 0, recordsEnd = 0;
  std::size_t objectCount = 0;
};

class Player {
 public:
  Player(const RenderRequest& request, const Frame& frame)
      : request_(request), frame_(frame), objects_(frame.objectCount) {
    surface_.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, frame.width, frame.height),
                   SurfaceFree());
    cr_ = cairo_create(surface_.get());
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
      cairo_destroy(cr_);
      throw MetafileError("out of memory for the metafile's picture");
    }
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
    state_.map = frame.map;
    // Drawing may cost at most this many pixels' worth, counted per record.
    budget_ = std::max<double>(double(frame.width) * frame.height * 64, 1 << 26);
  }
  ~Player() { cairo_destroy(cr_); }
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  platform::Image Play() {
    const auto bytes = request_.bytes;
    std::size_t at = frame_.recordsStart;
    while (at + 6 <= frame_.recordsEnd) {
      const std::uint32_t words = bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                  static_cast<std::uint32_t>(bytes[at + 3]) << 24;
      const auto function = static_cast<std::uint16_t>(bytes[at + 4] | bytes[at + 5] << 8);
      if (words < 3 || words > (frame_.recordsEnd - at) / 2) Malformed();
      if (function == kEof) break;
      Play(function, Params(bytes.subspan(at + 6, words * 2 - 6)));
      if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
        throw MetafileError(std::string("the metafile cannot be drawn: ") +
                            cairo_status_to_string(cairo_status(cr_)));
      }
      at += words * 2;
    }
    return Pixels();
  }

 private:
  void Play(std::uint16_t function, const Params& p) {
    switch (function) {
      case kSaveDc:
        saved_.push_back(state_);
        cairo_save(cr_);
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
        if (p.U16(0) < objects_.size()) objects_[p.U16(0)].reset();
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

  Point ScaleFactors() const {
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
  Point Device(double x, double y) const {
    const Point s = ScaleFactors();
    const Mapping& m = state_.map;
    return {std::round((x - m.windowX) * s.x + m.viewX), std::round((y - m.windowY) * s.y + m.viewY)};
  }

  double DeviceLength(double logical) const { return std::abs(logical * ScaleFactors().x); }

  struct Rect {
    double left, top, right, bottom;
    double Width() const { return right - left; }
    double Height() const { return bottom - top; }
  };

  // The device rectangle of two logical corners, ordered.
  Rect Box(double x0, double y0, double x1, double y1) const {
    const Point a = Device(x0, y0), b = Device(x1, y1);
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
  }

  // Rectangles in records come as bottom, right, top, left from `word`.
  Rect RecordBox(const Params& p, std::size_t word) const {
    return Box(p.I16(word + 3), p.I16(word + 2), p.I16(word + 1), p.I16(word));
  }

  static void ScaleExtent(double& w, double& h, const Params& p) {
    const int yDen = p.I16(0), yNum = p.I16(1), xDen = p.I16(2), xNum = p.I16(3);
    if (xDen) w = w * xNum / xDen;
    if (yDen) h = h * yNum / yDen;
  }

  // ---- work cap ----

  void Charge(Rect r) {
    const double w = std::clamp(r.right, 0.0, double(frame_.width)) - std::clamp(r.left, 0.0, double(frame_.width));
    const double h = std::clamp(r.bottom, 0.0, double(frame_.height)) - std::clamp(r.top, 0.0, double(frame_.height));
    budget_ -= std::max(w, 1.0) * std::max(h, 1.0) + 64;
    if (budget_ < 0) throw MetafileError("the metafile takes too long to draw");
  }

  // ---- objects ----

  void Add(Object object) {
    for (auto& slot : objects_) {
      if (!slot) {
        slot = std::move(object);
        return;
      }
    }
    // A full table: the object is lost, as when creation fails.
  }

  void Select(std::uint16_t index) {
    if (index >= objects_.size() || !objects_[index]) return;
    const Object& o = *objects_[index];
    if (o.kind == Object::kPen) state_.pen = o.pen;
    if (o.kind == Object::kBrush) state_.brush = o.brush;
    if (o.kind == Object::kFont) state_.font = o.font;
  }

  void CreatePen(const Params& p) {
    Object o{Object::kPen, {}, {}, {}};
    o.pen.style = p.U16(0) & 0x0F;
    o.pen.width = p.I16(1);
    o.pen.colour = FromColorRef(p.U32(3));
    Add(o);
  }

  void CreateBrush(const Params& p) {
    Object o{Object::kBrush, {}, {}, {}};
    o.brush.style = p.U16(0);
    o.brush.colour = FromColorRef(p.U32(1));
    o.brush.hatch = p.Size() >= 8 ? p.U16(3) : 0;
    Add(o);
  }

  void CreateFont(const Params& p) {
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

  void CreateDibPatternBrush(const Params& p) {
    Object o{Object::kBrush, {}, {}, {}};
    if (p.U16(0) == 3) {  // BS_PATTERN holds a device-dependent bitmap: draw solid
      o.brush.style = 0;
    } else {
      o.brush.style = 5;
      o.brush.pattern = SurfaceOf(request_.decodeDib(p.From(2)));
    }
    Add(o);
  }

  void RestoreDc(int which) {
    // Negative: that many levels back; positive: the level of that number.
    std::size_t target = which < 0 ? saved_.size() - std::min<std::size_t>(saved_.size(), -which)
                                   : std::min<std::size_t>(saved_.size(), std::max(which, 1) - 1);
    while (saved_.size() > target) {
      state_ = saved_.back();
      saved_.pop_back();
      cairo_restore(cr_);
    }
  }

  void IntersectClip(const Params& p) {
    const Rect r = RecordBox(p, 0);
    cairo_new_path(cr_);
    cairo_rectangle(cr_, r.left, r.top, r.Width(), r.Height());
    cairo_clip(cr_);
  }

  // ---- painting ----

  void SetColour(Colour c) { cairo_set_source_rgb(cr_, c.r, c.g, c.b); }

  static Surface HatchSurface(int hatch, Colour c) {
    Surface s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8), SurfaceFree());
    cairo_t* cr = cairo_create(s.get());
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
    for (int i = 0; i < 8; ++i) {
      const bool horizontal = (hatch == 0 || hatch == 4) && i == 0;
      const bool vertical = (hatch == 1 || hatch == 4) && i == 0;
      if (horizontal) cairo_rectangle(cr, 0, 4, 8, 1);
      if (vertical) cairo_rectangle(cr, 4, 0, 1, 8);
      if (hatch == 2 || hatch == 5) cairo_rectangle(cr, i, i, 1, 1);      // "\"
      if (hatch == 3 || hatch == 5) cairo_rectangle(cr, 7 - i, i, 1, 1);  // "/"
    }
    cairo_fill(cr);
    cairo_destroy(cr);
    return s;
  }

  void SetPatternSource(const Surface& surface) {
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface.get());
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
    cairo_set_source(cr_, pattern);
    cairo_pattern_destroy(pattern);
  }

  bool HasBrush() const { return state_.brush.style != 1; }  // not BS_NULL
  bool HasPen() const { return state_.pen.style != 5; }      // not PS_NULL

  // Fills the current path with the brush, keeping the path.
  void FillPath() {
    if (!HasBrush()) return;
    cairo_set_fill_rule(cr_, state_.winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    const Brush& b = state_.brush;
    if (b.style == 2) {
      if (state_.opaqueBackground) {
        SetColour(state_.background);
        cairo_fill_preserve(cr_);
      }
      SetPatternSource(HatchSurface(b.hatch, b.colour));
    } else if (b.style == 5 && b.pattern) {
      SetPatternSource(b.pattern);
    } else {
      SetColour(b.colour);
    }
    cairo_fill_preserve(cr_);
  }

  void StrokePath() {
    if (!HasPen()) return;
    const Pen& pen = state_.pen;
    // A pen wider than the picture covers it all already; wider only costs time.
    const double widest = 2.0 * (frame_.width + frame_.height);
    const double width = std::clamp(DeviceLength(pen.width), 1.0, widest);
    cairo_set_line_width(cr_, width);
    cairo_set_line_cap(cr_, width > 1 ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr_, width > 1 ? CAIRO_LINE_JOIN_ROUND : CAIRO_LINE_JOIN_MITER);
    static const std::vector<double> kDashes[] = {{}, {18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
    const std::vector<double>& dashes = pen.style >= 1 && pen.style <= 4 ? kDashes[pen.style] : kDashes[0];
    cairo_set_dash(cr_, dashes.data(), static_cast<int>(dashes.size()), 0);
    SetColour(pen.colour);
    if (width > 1) {  // a wide pen paints well beyond the shape's own box
      double x0, y0, x1, y1;
      cairo_stroke_extents(cr_, &x0, &y0, &x1, &y1);
      Charge({x0, y0, x1, y1});
    }
    cairo_stroke_preserve(cr_);
  }

  // A filled and outlined shape: `path(inset)` adds the path with its edges
  // moved in by `inset` pixels (0 for the fill, half a pixel for the pen, so
  // that a one-pixel outline lies on the shape's own edge pixels).
  template <typename AddPath>
  void Shape(Rect bounds, AddPath path) {
    Charge(bounds);
    cairo_new_path(cr_);
    path(0.0);
    FillPath();
    cairo_new_path(cr_);
    path(0.5);
    StrokePath();
    cairo_new_path(cr_);
  }

  void AddEllipse(Rect r, double inset) {
    const double rx = r.Width() / 2 - inset, ry = r.Height() / 2 - inset;
    if (rx <= 0 || ry <= 0) return;
    cairo_save(cr_);
    cairo_translate(cr_, r.left + r.Width() / 2, r.top + r.Height() / 2);
    cairo_scale(cr_, rx, ry);
    cairo_arc(cr_, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr_);
  }

  void Rectangle(const Params& p) {
    const Rect r = RecordBox(p, 0);
    Shape(r, [&](double inset) {
      if (r.Width() > 2 * inset && r.Height() > 2 * inset)
        cairo_rectangle(cr_, r.left + inset, r.top + inset, r.Width() - 2 * inset, r.Height() - 2 * inset);
    });
  }

  void RoundRect(const Params& p) {
    const Rect r = RecordBox(p, 2);
    const Point s = ScaleFactors();
    const double cw = std::min(std::abs(p.I16(1) * s.x), r.Width());
    const double ch = std::min(std::abs(p.I16(0) * s.y), r.Height());
    Shape(r, [&](double inset) {
      const double l = r.left + inset, t = r.top + inset, rr = r.right - inset, b = r.bottom - inset;
      const double rx = cw / 2, ry = ch / 2;
      if (rr <= l || b <= t) return;
      if (rx <= 0 || ry <= 0) {
        cairo_rectangle(cr_, l, t, rr - l, b - t);
        return;
      }
      const Point corners[] = {{rr - rx, t + ry}, {rr - rx, b - ry}, {l + rx, b - ry}, {l + rx, t + ry}};
      cairo_new_sub_path(cr_);
      for (int i = 0; i < 4; ++i) {
        cairo_save(cr_);
        cairo_translate(cr_, corners[i].x, corners[i].y);
        cairo_scale(cr_, rx, ry);
        cairo_arc(cr_, 0, 0, 1, (i - 1) * kPi / 2, i * kPi / 2);
        cairo_restore(cr_);
      }
      cairo_close_path(cr_);
    });
  }

  void Ellipse(const Params& p) {
    const Rect r = RecordBox(p, 0);
    Shape(r, [&](double inset) { AddEllipse(r, inset); });
  }

  // Arc, Pie and Chord: the part of the ellipse from the start radial to the
  // end radial, counter-clockwise on the screen as GDI draws it by default.
  void ArcFamily(std::uint16_t function, const Params& p) {
    const Point end = Device(p.I16(1), p.I16(0));
    const Point start = Device(p.I16(3), p.I16(2));
    const Rect r = RecordBox(p, 4);
    auto path = [&](double inset) {
      const double rx = r.Width() / 2 - inset, ry = r.Height() / 2 - inset;
      if (rx <= 0 || ry <= 0) return;
      const double cx = r.left + r.Width() / 2, cy = r.top + r.Height() / 2;
      const double a0 = std::atan2((start.y - cy) / ry, (start.x - cx) / rx);
      double a1 = std::atan2((end.y - cy) / ry, (end.x - cx) / rx);
      if (a1 >= a0) a1 -= 2 * kPi;  // equal radials: the whole ellipse
      if (function == kPie) cairo_move_to(cr_, cx, cy);
      cairo_save(cr_);
      cairo_translate(cr_, cx, cy);
      cairo_scale(cr_, rx, ry);
      cairo_arc_negative(cr_, 0, 0, 1, a0, a1);
      cairo_restore(cr_);
      if (function != kArc) cairo_close_path(cr_);
    };
    if (function == kArc) {
      Charge(r);
      cairo_new_path(cr_);
      path(0.5);
      StrokePath();
      cairo_new_path(cr_);
      return;
    }
    Shape(r, path);
  }

  std::vector<Point> Points(const Params& p, std::size_t word, std::size_t count) const {
    std::vector<Point> points;
    points.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      points.push_back(Device(p.I16(word + 2 * i), p.I16(word + 2 * i + 1)));
    }
    return points;
  }

  static Rect Bounds(const std::vector<Point>& points) {
    Rect r{1e9, 1e9, -1e9, -1e9};
    for (const Point& q : points) {
      r = {std::min(r.left, q.x), std::min(r.top, q.y), std::max(r.right, q.x), std::max(r.bottom, q.y)};
    }
    return r;
  }

  void LineTo(const Params& p) {
    const double y = p.I16(0), x = p.I16(1);
    const Point a = Device(state_.x, state_.y), b = Device(x, y);
    state_.x = x;
    state_.y = y;
    Charge(Bounds({a, b}));
    cairo_new_path(cr_);
    cairo_move_to(cr_, a.x + 0.5, a.y + 0.5);
    cairo_line_to(cr_, b.x + 0.5, b.y + 0.5);
    StrokePath();
    cairo_new_path(cr_);
  }

  void Polyline(const Params& p) {
    const auto points = Points(p, 1, p.U16(0));
    if (points.size() < 2) return;
    Charge(Bounds(points));
    cairo_new_path(cr_);
    for (const Point& q : points) cairo_line_to(cr_, q.x + 0.5, q.y + 0.5);
    StrokePath();
    cairo_new_path(cr_);
  }

  void Polygons(const Params& p, std::size_t word, const std::vector<std::uint16_t>& counts,
                std::size_t firstPointWord) {
    std::vector<std::vector<Point>> polygons;
    std::size_t at = word + firstPointWord;
    std::vector<Point> all;
    for (std::uint16_t count : counts) {
      polygons.push_back(Points(p, at, count));
      all.insert(all.end(), polygons.back().begin(), polygons.back().end());
      at += 2 * std::size_t{count};
    }
    if (all.empty()) return;
    Shape(Bounds(all), [&](double inset) {
      for (const auto& polygon : polygons) {
        if (polygon.empty()) continue;
        cairo_new_sub_path(cr_);
        for (const Point& q : polygon) cairo_line_to(cr_, q.x + inset, q.y + inset);
        cairo_close_path(cr_);
      }
    });
  }

  void PolyPolygon(const Params& p) {
    const std::uint16_t n = p.U16(0);
    std::vector<std::uint16_t> counts;
    for (std::size_t i = 0; i < n; ++i) counts.push_back(p.U16(1 + i));
    Polygons(p, 0, counts, 1 + std::size_t{n});
  }

  void SetPixel(const Params& p) {
    const Point q = Device(p.I16(3), p.I16(2));
    SetColour(FromColorRef(p.U32(0)));
    cairo_rectangle(cr_, q.x, q.y, 1, 1);
    cairo_fill(cr_);
  }

  void PatBlt(std::uint32_t rop, Rect r) {
    Charge(r);
    cairo_new_path(cr_);
    cairo_rectangle(cr_, r.left, r.top, r.Width(), r.Height());
    if (rop == kPatCopy) {
      FillPath();
    } else if (rop == kBlackness || rop == kWhiteness) {
      const double v = rop == kWhiteness ? 1 : 0;
      cairo_set_source_rgb(cr_, v, v, v);
      cairo_fill_preserve(cr_);
    }
    cairo_new_path(cr_);
  }

  // ---- text ----

  void SelectFont() {
    const Font& f = state_.font;
    cairo_select_font_face(cr_, f.face.empty() ? "sans-serif" : f.face.c_str(),
                           f.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           f.weight >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    // A negative height is the em size, a positive one the cell height.
    const double height = std::min(kMaxFontPixels, std::abs(f.height * ScaleFactors().y));
    double size = height > 0 ? height : 16;
    cairo_set_font_size(cr_, size);
    if (f.height > 0) {
      cairo_font_extents_t e;
      cairo_font_extents(cr_, &e);
      if (e.ascent + e.descent > 0) size = size * size / (e.ascent + e.descent);
      cairo_set_font_size(cr_, std::min(size, kMaxFontPixels));
    }
  }

  // Draws `text` at logical (x, y) by the text alignment; `advances` (device
  // pixels, may be empty) places each character.
  void DrawText(double x, double y, const std::string& text, std::span<const std::uint8_t> ansi,
                const std::vector<double>& advances, std::optional<Rect> opaque, bool clip) {
    const bool updateCp = state_.textAlign & 1;
    if (updateCp) x = state_.x, y = state_.y;
    Point at = Device(x, y);
    SelectFont();
    cairo_font_extents_t fe;
    cairo_font_extents(cr_, &fe);
    cairo_text_extents_t te;
    cairo_text_extents(cr_, text.c_str(), &te);
    double width = te.x_advance;
    if (!advances.empty()) {
      width = 0;
      for (double a : advances) width += a;
    }
    const int horizontal = state_.textAlign & 6, vertical = state_.textAlign & 24;
    double left = horizontal == 6 ? at.x - width / 2 : horizontal == 2 ? at.x - width : at.x;
    const double baseline = vertical == 24 ? at.y : vertical == 8 ? at.y - fe.descent : at.y + fe.ascent;
    budget_ -= 256.0 * static_cast<double>(ansi.size());  // each glyph costs, however small
    Charge({left, baseline - fe.ascent, left + width, baseline + fe.descent});
    cairo_save(cr_);
    if (opaque) {
      SetColour(state_.background);
      cairo_rectangle(cr_, opaque->left, opaque->top, opaque->Width(), opaque->Height());
      cairo_fill(cr_);
    }
    if (clip && opaque) {
      cairo_rectangle(cr_, opaque->left, opaque->top, opaque->Width(), opaque->Height());
      cairo_clip(cr_);
    }
    const double angle = -state_.font.escapement / 10.0 * kPi / 180;
    cairo_translate(cr_, at.x, at.y);
    cairo_rotate(cr_, angle);
    cairo_translate(cr_, -at.x, -at.y);
    if (state_.opaqueBackground && !opaque) {
      SetColour(state_.background);
      cairo_rectangle(cr_, left, baseline - fe.ascent, width, fe.ascent + fe.descent);
      cairo_fill(cr_);
    }
    SetColour(state_.text);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_DEFAULT);
    if (advances.empty()) {
      cairo_move_to(cr_, left, baseline);
      cairo_show_text(cr_, text.c_str());
    } else {
      double pen = left;
      for (std::size_t i = 0; i < ansi.size() && i < advances.size(); ++i) {
        const std::string one = Utf8FromAnsi(ansi.subspan(i, 1));
        cairo_move_to(cr_, pen, baseline);
        cairo_show_text(cr_, one.c_str());
        pen += advances[i];
      }
    }
    cairo_restore(cr_);
    cairo_new_path(cr_);
    if (updateCp) state_.x += width / std::max(1e-9, std::abs(ScaleFactors().x));
  }

  void TextOut(const Params& p) {
    const std::size_t count = p.U16(0);
    const std::size_t words = (count + 1) / 2;
    const auto ansi = p.Bytes(1, count);
    DrawText(p.I16(2 + words), p.I16(1 + words), Utf8FromAnsi(ansi), ansi, {}, std::nullopt, false);
  }

  void ExtTextOut(const Params& p) {
    const double y = p.I16(0), x = p.I16(1);
    const std::size_t count = p.U16(2);
    const std::uint16_t options = p.U16(3);
    const bool hasRect = options & 0x0006;  // ETO_OPAQUE or ETO_CLIPPED
    std::size_t word = 4;
    std::optional<Rect> rect;
    if (hasRect) {
      rect = Box(p.I16(4), p.I16(5), p.I16(6), p.I16(7));
      word = 8;
    }
    const auto ansi = p.Bytes(word, count);
    word += (count + 1) / 2;
    std::vector<double> advances;
    if (p.Size() >= (word + count) * 2) {
      for (std::size_t i = 0; i < count; ++i) advances.push_back(DeviceLength(p.I16(word + i)));
    }
    const bool opaque = options & 0x0002;
    DrawText(x, y, Utf8FromAnsi(ansi), ansi, advances, opaque || (options & 4) ? rect : std::nullopt,
             (options & 4) != 0);
  }

  // ---- bitmaps ----

  static Surface SurfaceOf(const platform::Image& image) {
    if (image.width <= 0 || image.height <= 0 || image.width > kMaxCairoSide ||
        image.height > kMaxCairoSide) {
      throw MetafileError("the metafile holds a bitmap that cannot be drawn");
    }
    Surface s(cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.width, image.height), SurfaceFree());
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) throw MetafileError("out of memory");
    cairo_surface_flush(s.get());
    unsigned char* data = cairo_image_surface_get_data(s.get());
    const int stride = cairo_image_surface_get_stride(s.get());
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

  struct Blit {
    std::uint32_t rop = kSrcCopy;
    double srcX = 0, srcY = 0, srcW = 0, srcH = 0;  // bitmap pixels
    bool srcFromBottom = false;                     // the DIB functions count y from the bottom
    double x = 0, y = 0, w = 0, h = 0;              // logical destination
    bool destInPixels = false;                      // SetDIBitsToDevice: no stretch
    std::size_t dibWord = 0;
  };

  void DibRecord(std::uint16_t function, const Params& p) {
    Blit b;
    b.rop = p.U32(0);
    // Without a bitmap the record is exactly its function's high byte of
    // parameter words long, and acts like PatBlt.
    const bool hasBitmap = p.Size() > static_cast<std::size_t>(function >> 8) * 2;
    switch (function) {
      case kDibBitBlt:  // rop, ySrc, xSrc, [reserved], h, w, yDest, xDest, DIB
        if (!hasBitmap) return PatBlt(b.rop, Box(p.I16(8), p.I16(7), p.I16(8) + p.I16(6), p.I16(7) + p.I16(5)));
        b.srcY = p.I16(2), b.srcX = p.I16(3), b.h = b.srcH = p.I16(4), b.w = b.srcW = p.I16(5);
        b.y = p.I16(6), b.x = p.I16(7), b.dibWord = 8;
        break;
      case kDibStretchBlt:  // rop, hSrc, wSrc, ySrc, xSrc, [reserved], h, w, yDest, xDest, DIB
        if (!hasBitmap) return PatBlt(b.rop, Box(p.I16(10), p.I16(9), p.I16(10) + p.I16(8), p.I16(9) + p.I16(7)));
        b.srcH = p.I16(2), b.srcW = p.I16(3), b.srcY = p.I16(4), b.srcX = p.I16(5);
        b.h = p.I16(6), b.w = p.I16(7), b.y = p.I16(8), b.x = p.I16(9), b.dibWord = 10;
        break;
      case kStretchDib:  // rop, usage, hSrc, wSrc, ySrc, xSrc, h, w, yDest, xDest, DIB
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
    DrawDib(b, request_.decodeDib(p.From(b.dibWord)));
  }

  void DrawDib(const Blit& b, const platform::Image& image) {
    if (b.srcW == 0 || b.srcH == 0) return;
    const Surface surface = SurfaceOf(image);
    const Point a = Device(b.x, b.y);
    const Point far = b.destInPixels ? Point{a.x + b.w, a.y + b.h} : Device(b.x + b.w, b.y + b.h);
    if (a.x == far.x || a.y == far.y) return;
    const double top = b.srcFromBottom ? image.height - b.srcY - std::abs(b.srcH) : b.srcY;
    Charge(Box(b.x, b.y, b.x + b.w, b.y + b.h));
    cairo_save(cr_);
    cairo_rectangle(cr_, std::min(a.x, far.x), std::min(a.y, far.y), std::abs(far.x - a.x), std::abs(far.y - a.y));
    cairo_clip(cr_);
    cairo_translate(cr_, a.x, a.y);
    cairo_scale(cr_, (far.x - a.x) / b.srcW, (far.y - a.y) / b.srcH);
    cairo_set_source_surface(cr_, surface.get(), -b.srcX, -top);
    cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_NEAREST);
    // Mask-building raster operations, as near as Cairo's operators come.
    if (b.rop == kSrcAnd) cairo_set_operator(cr_, CAIRO_OPERATOR_MULTIPLY);
    if (b.rop == kSrcPaint) cairo_set_operator(cr_, CAIRO_OPERATOR_LIGHTEN);
    cairo_paint(cr_);
    cairo_restore(cr_);
  }

  // ---- result ----

  platform::Image Pixels() {
    cairo_surface_flush(surface_.get());
    const unsigned char* data = cairo_image_surface_get_data(surface_.get());
    const int stride = cairo_image_surface_get_stride(surface_.get());
    platform::Image image;
    image.width = frame_.width;
    image.height = frame_.height;
    image.bgr.resize(std::size_t(frame_.width) * frame_.height * 3);
    std::uint8_t* out = image.bgr.data();
    for (int y = 0; y < frame_.height; ++y) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * stride);
      for (int x = 0; x < frame_.width; ++x, out += 3) {
        // Premultiplied colour is already the colour over black.
        out[0] = static_cast<std::uint8_t>(row[x]);
        out[1] = static_cast<std::uint8_t>(row[x] >> 8);
        out[2] = static_cast<std::uint8_t>(row[x] >> 16);
      }
    }
    return image;
  }

  const RenderRequest& request_;
  const Frame& frame_;
  Surface surface_;
  cairo_t* cr_ = nullptr;
  DcState state_;
  std::vector<DcState> saved_;
  std::vector<std::optional<Object>> objects_;
  double budget_ = 0;
};

std::uint16_t U16At(std::span<const std::uint8_t> b, std::size_t at) {
  if (at + 2 > b.size()) throw MetafileError("the file ends early");
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

std::uint32_t U32At(std::span<const std::uint8_t> b, std::size_t at) {
  return U16At(b, at) | static_cast<std::uint32_t>(U16At(b, at + 2)) << 16;
}

// Without a placeable header the picture is its window: the first window
// origin and extent the records set.
void FindWindow(std::span<const std::uint8_t> b, Frame& frame) {
  std::optional<Point> origin, extent;
  for (std::size_t at = frame.recordsStart; at + 6 <= frame.recordsEnd && !extent;) {
    const std::uint32_t words = U32At(b, at);
    const std::uint16_t function = U16At(b, at + 4);
    if (words < 3 || words > (frame.recordsEnd - at) / 2) Malformed();
    if (function == kEof) break;
    const Params p(b.subspan(at + 6, words * 2 - 6));
    if (function == kSetWindowOrg && !origin) origin = Point{double(p.I16(1)), double(p.I16(0))};
    if (function == kSetWindowExt) extent = Point{double(p.I16(1)), double(p.I16(0))};
    at += words * 2;
  }
  if (!extent || extent->x == 0 || extent->y == 0) throw MetafileError("the metafile gives no picture size");
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
  const bool placeable = b.size() >= 4 && U32At(b, 0) == 0x9AC6CDD7u;
  if (placeable) {
    const auto left = static_cast<std::int16_t>(U16At(b, 6)), top = static_cast<std::int16_t>(U16At(b, 8));
    const auto right = static_cast<std::int16_t>(U16At(b, 10)), bottom = static_cast<std::int16_t>(U16At(b, 12));
    const std::uint16_t inch = U16At(b, 14);
    if (inch == 0) throw MetafileError("the metafile gives no units per inch");
    frame.width = static_cast<int>(std::lround(std::abs(right - left) * double(kPixelsPerInch) / inch));
    frame.height = static_cast<int>(std::lround(std::abs(bottom - top) * double(kPixelsPerInch) / inch));
    frame.map.mode = kAnisotropic;
    frame.map.windowX = left, frame.map.windowY = top;
    frame.map.windowW = right - left, frame.map.windowH = bottom - top;
    frame.map.viewW = frame.width, frame.map.viewH = frame.height;
    header = 22;
  }
  const std::uint16_t headerWords = U16At(b, header + 2);
  const std::uint64_t fileWords = U32At(b, header + 6);
  if (headerWords != 9) throw MetafileError("the metafile's header is damaged");
  if (fileWords * 2 > b.size() - header) throw MetafileError("the file ends early");
  frame.objectCount = U16At(b, header + 10);
  frame.recordsStart = header + 18;
  frame.recordsEnd = header + static_cast<std::size_t>(fileWords) * 2;
  if (frame.recordsEnd < frame.recordsStart) throw MetafileError("the metafile's header is damaged");
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

platform::Image RenderMetafile(const RenderRequest& request) {
  const Frame frame = ReadFrame(request);
  Player player(request, frame);
  return player.Play();
}

}  // namespace tessarin::metafile
