#pragma once

// The metafile renderer's own declarations, shared by its files (one per
// record family: state and objects, drawing, text, bitmaps) and seen by
// nothing outside the renderer.

#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <queue>
#include <span>
#include <string>
#include <vector>

#include "base/little_endian.h"
#include "pictures/metafile/metafile_records.h"
#include "pictures/metafile/render_metafile.h"

namespace tessarin::pictures::metafile {

constexpr double kPi = 3.14159265358979323846;
constexpr int kPixelsPerInch = 96;
constexpr int kMaxCairoSide = 32767;

// The work cap (RenderRequest's), in pixels' worth of filling (about a
// nanosecond each). Every record pays before it does its work; the costs are
// set against the time the work takes, so that a whole budget is spent
// within a few seconds.
constexpr double kRecordCost = 4;          // reading and dispatching any record
constexpr double kShapeCost = 64;          // setting up a path, a fill or a copy
constexpr double kObjectCost = 64;         // creating an object, saving a state
constexpr double kGlyphCost = 256;         // each character, however small
constexpr double kDecodeCostPerPixel = 2;  // a bitmap decoded and made a surface
constexpr double kDashCostPerPixel = 64;   // each pixel of length a dashed pen runs

[[noreturn]] inline void Malformed() { throw MetafileError("the metafile has a malformed record"); }

// Little-endian reads within one record's parameters.
class Params {
 public:
  explicit Params(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t Size() const { return bytes_.size(); }
  std::size_t Words() const { return bytes_.size() / 2; }
  std::uint16_t U16(std::size_t word) const {
    const std::size_t at = word * 2;
    if (at + 2 > bytes_.size()) Malformed();
    return static_cast<std::uint16_t>(Le16(&bytes_[at]));
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

// One record: its function and its parameters.
struct Record {
  RecordFunction function;
  Params params;
};

// The records from `start` to `end`, one at a time, up to the end-of-file
// record or the last that fits.
class RecordReader {
 public:
  RecordReader(std::span<const std::uint8_t> bytes, std::size_t start, std::size_t end)
      : bytes_(bytes), at_(start), end_(end) {}
  // The next record, or nothing at the end; a record whose size does not fit throws.
  std::optional<Record> Next() {
    if (at_ + kRecordHeaderBytes > end_) return std::nullopt;
    const std::uint32_t words = Le32(&bytes_[at_]);
    const auto function = static_cast<RecordFunction>(Le16(&bytes_[at_ + 4]));
    if (words < kRecordHeaderWords || words > (end_ - at_) / 2) Malformed();
    if (function == RecordFunction::kEof) return std::nullopt;
    const Params params(bytes_.subspan(at_ + kRecordHeaderBytes, words * 2 - kRecordHeaderBytes));
    at_ += words * 2;
    return Record{function, params};
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_, end_;
};

struct Colour {
  double r = 0, g = 0, b = 0;
};

// A COLORREF: 0x00bbggrr; palette indexes (high byte 1) have no palette to
// look into here and come out black.
inline Colour FromColorRef(std::uint32_t ref) {
  if ((ref >> 24) == kPaletteIndexTag) return {};
  return {(ref & 0xFF) / 255.0, ((ref >> 8) & 0xFF) / 255.0, ((ref >> 16) & 0xFF) / 255.0};
}

// Cairo's objects owned like any other, each freed by its own function.
template <typename Object, void (*Destroy)(Object*)>
struct CairoFree {
  void operator()(Object* object) const { Destroy(object); }
};
using SurfaceFree = CairoFree<cairo_surface_t, cairo_surface_destroy>;
using Surface = std::shared_ptr<cairo_surface_t>;
using Context = std::unique_ptr<cairo_t, CairoFree<cairo_t, cairo_destroy>>;

struct Pen {
  int style = kPenSolid;
  double width = 0;
  Colour colour;
};

struct Brush {
  int style = kBrushSolid;
  Colour colour{1, 1, 1};
  int hatch = kHatchHorizontal;
  Surface pattern;  // kBrushDibPattern's
};

struct Font {
  int height = 0;
  int escapement = 0;
  int weight = kNormalWeight;
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
  int textAlign = text_align::kLeft | text_align::kTop;
  double x = 0, y = 0;  // current position, logical
};

struct Point {
  double x, y;
};

// The code page 1252 text of a record as UTF-8 for Cairo.
std::string Utf8FromAnsi(std::span<const std::uint8_t> text);

// The picture's size and the mapping its records start from.
struct Frame {
  int width = 0, height = 0;
  Mapping map;
  std::size_t recordsStart = 0, recordsEnd = 0;
  std::size_t objectCount = 0;
};

// Draws the records onto a surface of the frame's size, one record at a time.
class Renderer {
 public:
  Renderer(const RenderRequest& request, const Frame& frame);
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  ports::Bitmap Render();

 private:
  // What draws a record of one function, and the fewest parameter words it
  // reads whatever its contents: a record shorter than that is malformed.
  struct Handler {
    RecordFunction function;
    std::size_t minWords;
    void (*render)(Renderer& renderer, const Params& p);
  };
  // The handler of `function`; none for records that do not change the
  // picture and for unknown ones.
  static const Handler* HandlerOf(RecordFunction function);

  struct Rect {
    double left, top, right, bottom;
    double Width() const { return right - left; }
    double Height() const { return bottom - top; }
  };

  struct Blit {
    std::uint32_t rop = kSrcCopy;
    double srcX = 0, srcY = 0, srcW = 0, srcH = 0;  // bitmap pixels
    bool srcFromBottom = false;                     // the DIB functions count y from the bottom
    double x = 0, y = 0, w = 0, h = 0;              // logical destination
    bool destInPixels = false;                      // SetDIBitsToDevice: no stretch
    std::size_t dibWord = 0;
  };

  // Where a text goes: device pixels, and the font's extents it was placed by.
  struct TextPlacement {
    Point anchor;  // the reference point, which an escapement turns the text around
    double left, baseline, width;
    cairo_font_extents_t font;
  };

  void Render(const Record& record);
  cairo_t* Cairo() const { return context_.get(); }

  // The record loop, state and objects (renderer_record_loop.cpp).
  Point ScaleFactors() const;
  Point Device(double x, double y) const;
  double DeviceLength(double logical) const { return std::abs(logical * ScaleFactors().x); }
  Rect Box(double x0, double y0, double x1, double y1) const;
  Rect RecordBox(const Params& p, std::size_t word) const;
  static void ScaleExtent(double& w, double& h, const Params& p);
  void Charge(Rect r);
  void Add(Object object);
  void Select(std::uint16_t index);
  void CreatePen(const Params& p);
  void CreateBrush(const Params& p);
  void CreateFont(const Params& p);
  void RestoreDc(int which);
  void IntersectClip(const Params& p);
  ports::Bitmap Pixels();

  void Spend(double units);
  double CoveredPixels(Rect r) const;
  void SaveDc();
  void DeleteObject(std::uint16_t index);

  // Drawing (renderer_drawing.cpp).
  void SetColour(Colour c) { cairo_set_source_rgb(Cairo(), c.r, c.g, c.b); }
  static Surface HatchSurface(int hatch, Colour c);
  void SetPatternSource(const Surface& surface);
  bool HasBrush() const { return state_.brush.style != kBrushNull; }
  bool HasPen() const { return state_.pen.style != kPenNull; }
  void FillPath();
  void StrokePath();
  double PathLength() const;
  template <typename AddPath>
  void Shape(Rect bounds, AddPath path);
  void AddEllipse(Rect r, double inset);
  void Rectangle(const Params& p);
  void RoundRect(const Params& p);
  void Ellipse(const Params& p);
  void ArcFamily(RecordFunction function, const Params& p);
  std::vector<Point> Points(const Params& p, std::size_t word, std::size_t count) const;
  static Rect Bounds(const std::vector<Point>& points);
  void LineTo(const Params& p);
  void Polyline(const Params& p);
  void Polygons(const Params& p, std::size_t word, const std::vector<std::uint16_t>& counts,
                std::size_t firstPointWord);
  void Polygon(const Params& p);
  void PolyPolygon(const Params& p);
  void SetPixel(const Params& p);
  void PatBlt(const Params& p);
  void PatBlt(std::uint32_t rop, Rect r);

  // Text (renderer_text.cpp).
  void SelectFont();
  void FillText(const char* text);
  void ChargeGlyphs(double left, double baseline, double width, std::size_t count,
                    const std::vector<double>& advances);
  TextPlacement PlaceText(Point reference, const std::string& text,
                          const std::vector<double>& advances);
  void DrawText(const TextPlacement& place, const std::string& text,
                std::span<const std::uint8_t> ansi, const std::vector<double>& advances,
                std::optional<Rect> opaque, bool clip);
  void ShowText(double x, double y, std::span<const std::uint8_t> ansi,
                const std::vector<double>& advances, std::optional<Rect> opaque, bool clip);
  void TextOut(const Params& p);
  void ExtTextOut(const Params& p);

  // Bitmaps (renderer_bitmaps.cpp).
  Surface SurfaceOf(const ports::Bitmap& image);
  ports::Bitmap DecodeDib(std::span<const std::uint8_t> dib);
  void CreateDibPatternBrush(const Params& p);
  void DibRecord(RecordFunction function, const Params& p);
  void DrawDib(const Blit& b, const ports::Bitmap& image, Point a, Point far);

  const RenderRequest& request_;
  const Frame& frame_;
  // Bytes held by the picture's surface and the bitmaps' surfaces; kept at
  // most request_.maxSurfaceBytes. Declared before every holder of a surface.
  std::uint64_t heldBytes_ = 0;
  std::uint8_t* pixels_ = nullptr;       // the picture's surface, 4 bytes a pixel
  std::vector<std::uint8_t> ownPixels_;  // its memory, unless the request gives it
  Surface surface_;
  Context context_;  // drawing on surface_, so freed before it
  DcState state_;
  std::vector<DcState> saved_;
  std::vector<std::optional<Object>> objects_;
  // Free object slots, lowest first: GDI gives a new object the lowest one.
  std::priority_queue<std::uint16_t, std::vector<std::uint16_t>, std::greater<>> freeSlots_;
  double budget_ = 0;
};

}  // namespace tessarin::pictures::metafile
