// Shapes, lines and fills: the pen and the brush.

#include <algorithm>
#include <cmath>

#include "pictures/metafile/renderer.h"

namespace tessarin::pictures::metafile {

Surface Renderer::HatchSurface(int hatch, Colour c) {
  Surface s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8), SurfaceFree());
  const Context context(cairo_create(s.get()));
  cairo_t* cr = context.get();
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_source_rgb(cr, c.r, c.g, c.b);
  const bool horizontal = hatch == kHatchHorizontal || hatch == kHatchCross;
  const bool vertical = hatch == kHatchVertical || hatch == kHatchCross;
  const bool downward = hatch == kHatchDownward || hatch == kHatchDiagonalCross;
  const bool upward = hatch == kHatchUpward || hatch == kHatchDiagonalCross;
  if (horizontal) cairo_rectangle(cr, 0, 4, 8, 1);
  if (vertical) cairo_rectangle(cr, 4, 0, 1, 8);
  for (int i = 0; i < 8; ++i) {
    if (downward) cairo_rectangle(cr, i, i, 1, 1);
    if (upward) cairo_rectangle(cr, 7 - i, i, 1, 1);
  }
  cairo_fill(cr);
  return s;
}

void Renderer::SetPatternSource(const Surface& surface) {
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface.get());
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
  cairo_set_source(Cairo(), pattern);
  cairo_pattern_destroy(pattern);
}

// Fills the current path with the brush, keeping the path.
void Renderer::FillPath() {
  if (!HasBrush()) return;
  cairo_set_fill_rule(Cairo(), state_.winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
  const Brush& b = state_.brush;
  if (b.style == kBrushHatched) {
    if (state_.opaqueBackground) {
      SetColour(state_.background);
      cairo_fill_preserve(Cairo());
    }
    SetPatternSource(HatchSurface(b.hatch, b.colour));
  } else if (b.style == kBrushDibPattern && b.pattern) {
    SetPatternSource(b.pattern);
  } else {
    SetColour(b.colour);
  }
  cairo_fill_preserve(Cairo());
}

void Renderer::StrokePath() {
  if (!HasPen()) return;
  const Pen& pen = state_.pen;
  // A pen wider than the picture covers it all already; wider only costs time.
  const double widest = 2.0 * (frame_.width + frame_.height);
  const double width = std::clamp(DeviceLength(pen.width), 1.0, widest);
  cairo_set_line_width(Cairo(), width);
  cairo_set_line_cap(Cairo(), width > 1 ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(Cairo(), width > 1 ? CAIRO_LINE_JOIN_ROUND : CAIRO_LINE_JOIN_MITER);
  // Each dashed style's dashes, by PenStyle.
  static const std::vector<double> kDashes[] = {
      {}, {18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
  static_assert(kPenSolid == 0 && kPenDash == 1 && kPenDashDotDot == 4);
  // As in GDI, only a pen one pixel wide is dashed; a wider one draws solid
  // (dashes shorter than the pen is wide would each be a blob of their own).
  const bool dashed = width <= 1 && pen.style >= kPenDash && pen.style <= kPenDashDotDot;
  const std::vector<double>& dashes = dashed ? kDashes[pen.style] : kDashes[kPenSolid];
  cairo_set_dash(Cairo(), dashes.data(), static_cast<int>(dashes.size()), 0);
  SetColour(pen.colour);
  // A pen works along its whole length, inside the picture or not, and a
  // dashed one makes a shape of every dash: charged before anything is
  // stroked (even measured).
  Spend(PathLength() * (dashes.empty() ? 1 : kDashCostPerPixel));
  if (width > 1) {  // a wide pen paints well beyond the shape's own box
    double x0, y0, x1, y1;
    cairo_stroke_extents(Cairo(), &x0, &y0, &x1, &y1);
    Charge({x0, y0, x1, y1});
  }
  cairo_stroke_preserve(Cairo());
}

// The length of the current path in device pixels, curves flattened.
double Renderer::PathLength() const {
  cairo_path_t* path = cairo_copy_path_flat(Cairo());
  double length = 0, x = 0, y = 0, startX = 0, startY = 0;
  for (int i = 0; path->status == CAIRO_STATUS_SUCCESS && i < path->num_data;
       i += path->data[i].header.length) {
    const cairo_path_data_t& item = path->data[i];
    if (item.header.type == CAIRO_PATH_MOVE_TO) {
      x = startX = path->data[i + 1].point.x;
      y = startY = path->data[i + 1].point.y;
    } else if (item.header.type == CAIRO_PATH_LINE_TO ||
               item.header.type == CAIRO_PATH_CLOSE_PATH) {
      const bool close = item.header.type == CAIRO_PATH_CLOSE_PATH;
      const double toX = close ? startX : path->data[i + 1].point.x;
      const double toY = close ? startY : path->data[i + 1].point.y;
      length += std::hypot(toX - x, toY - y);
      x = toX;
      y = toY;
    }
  }
  cairo_path_destroy(path);
  return length;
}

// A filled and outlined shape: `path(inset)` adds the path with its edges
// moved in by `inset` pixels (0 for the fill, half a pixel for the pen, so
// that a one-pixel outline lies on the shape's own edge pixels).
template <typename AddPath>
void Renderer::Shape(Rect bounds, AddPath path) {
  Charge(bounds);
  cairo_new_path(Cairo());
  path(0.0);
  FillPath();
  cairo_new_path(Cairo());
  path(0.5);
  StrokePath();
  cairo_new_path(Cairo());
}

void Renderer::AddEllipse(Rect r, double inset) {
  const double rx = r.Width() / 2 - inset, ry = r.Height() / 2 - inset;
  if (rx <= 0 || ry <= 0) return;
  cairo_save(Cairo());
  cairo_translate(Cairo(), r.left + r.Width() / 2, r.top + r.Height() / 2);
  cairo_scale(Cairo(), rx, ry);
  cairo_arc(Cairo(), 0, 0, 1, 0, 2 * kPi);
  cairo_restore(Cairo());
}

void Renderer::Rectangle(const Params& p) {
  const Rect r = RecordBox(p, 0);
  Shape(r, [&](double inset) {
    if (r.Width() > 2 * inset && r.Height() > 2 * inset)
      cairo_rectangle(Cairo(), r.left + inset, r.top + inset, r.Width() - 2 * inset,
                      r.Height() - 2 * inset);
  });
}

void Renderer::RoundRect(const Params& p) {
  const Rect r = RecordBox(p, 2);
  const Point s = ScaleFactors();
  const double cw = std::min(std::abs(p.I16(1) * s.x), r.Width());
  const double ch = std::min(std::abs(p.I16(0) * s.y), r.Height());
  Shape(r, [&](double inset) {
    const double l = r.left + inset, t = r.top + inset, rr = r.right - inset, b = r.bottom - inset;
    const double rx = cw / 2, ry = ch / 2;
    if (rr <= l || b <= t) return;
    if (rx <= 0 || ry <= 0) {
      cairo_rectangle(Cairo(), l, t, rr - l, b - t);
      return;
    }
    const Point corners[] = {
        {rr - rx, t + ry}, {rr - rx, b - ry}, {l + rx, b - ry}, {l + rx, t + ry}};
    cairo_new_sub_path(Cairo());
    for (int i = 0; i < 4; ++i) {
      cairo_save(Cairo());
      cairo_translate(Cairo(), corners[i].x, corners[i].y);
      cairo_scale(Cairo(), rx, ry);
      cairo_arc(Cairo(), 0, 0, 1, (i - 1) * kPi / 2, i * kPi / 2);
      cairo_restore(Cairo());
    }
    cairo_close_path(Cairo());
  });
}

void Renderer::Ellipse(const Params& p) {
  const Rect r = RecordBox(p, 0);
  Shape(r, [&](double inset) { AddEllipse(r, inset); });
}

// Arc, Pie and Chord: the part of the ellipse from the start radial to the
// end radial, counter-clockwise on the screen as GDI draws it by default.
void Renderer::ArcFamily(RecordFunction function, const Params& p) {
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
    if (function == RecordFunction::kPie) cairo_move_to(Cairo(), cx, cy);
    cairo_save(Cairo());
    cairo_translate(Cairo(), cx, cy);
    cairo_scale(Cairo(), rx, ry);
    cairo_arc_negative(Cairo(), 0, 0, 1, a0, a1);
    cairo_restore(Cairo());
    if (function != RecordFunction::kArc) cairo_close_path(Cairo());
  };
  if (function == RecordFunction::kArc) {
    Charge(r);
    cairo_new_path(Cairo());
    path(0.5);
    StrokePath();
    cairo_new_path(Cairo());
    return;
  }
  Shape(r, path);
}

std::vector<Point> Renderer::Points(const Params& p, std::size_t word, std::size_t count) const {
  std::vector<Point> points;
  points.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    points.push_back(Device(p.I16(word + 2 * i), p.I16(word + 2 * i + 1)));
  }
  return points;
}

Renderer::Rect Renderer::Bounds(const std::vector<Point>& points) {
  Rect r{1e9, 1e9, -1e9, -1e9};
  for (const Point& q : points) {
    r = {std::min(r.left, q.x), std::min(r.top, q.y), std::max(r.right, q.x),
         std::max(r.bottom, q.y)};
  }
  return r;
}

void Renderer::LineTo(const Params& p) {
  const double y = p.I16(0), x = p.I16(1);
  const Point a = Device(state_.x, state_.y), b = Device(x, y);
  state_.x = x;
  state_.y = y;
  Charge(Bounds({a, b}));
  cairo_new_path(Cairo());
  cairo_move_to(Cairo(), a.x + 0.5, a.y + 0.5);
  cairo_line_to(Cairo(), b.x + 0.5, b.y + 0.5);
  StrokePath();
  cairo_new_path(Cairo());
}

void Renderer::Polyline(const Params& p) {
  const auto points = Points(p, 1, p.U16(0));
  if (points.size() < 2) return;
  Charge(Bounds(points));
  cairo_new_path(Cairo());
  for (const Point& q : points) cairo_line_to(Cairo(), q.x + 0.5, q.y + 0.5);
  StrokePath();
  cairo_new_path(Cairo());
}

void Renderer::Polygons(const Params& p, std::size_t word, const std::vector<std::uint16_t>& counts,
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
      cairo_new_sub_path(Cairo());
      for (const Point& q : polygon) cairo_line_to(Cairo(), q.x + inset, q.y + inset);
      cairo_close_path(Cairo());
    }
  });
}

void Renderer::Polygon(const Params& p) { Polygons(p, 0, {p.U16(0)}, 1); }

void Renderer::PolyPolygon(const Params& p) {
  const std::uint16_t n = p.U16(0);
  std::vector<std::uint16_t> counts;
  for (std::size_t i = 0; i < n; ++i) counts.push_back(p.U16(1 + i));
  Polygons(p, 0, counts, 1 + std::size_t{n});
}

void Renderer::SetPixel(const Params& p) {
  const Point q = Device(p.I16(3), p.I16(2));
  SetColour(FromColorRef(p.U32(0)));
  cairo_rectangle(Cairo(), q.x, q.y, 1, 1);
  cairo_fill(Cairo());
}

// rop, h, w, y, x
void Renderer::PatBlt(const Params& p) {
  PatBlt(p.U32(0), Box(p.I16(5), p.I16(4), p.I16(5) + p.I16(3), p.I16(4) + p.I16(2)));
}

void Renderer::PatBlt(std::uint32_t rop, Rect r) {
  Charge(r);
  cairo_new_path(Cairo());
  cairo_rectangle(Cairo(), r.left, r.top, r.Width(), r.Height());
  if (rop == kPatCopy) {
    FillPath();
  } else if (rop == kBlackness || rop == kWhiteness) {
    const double v = rop == kWhiteness ? 1 : 0;
    cairo_set_source_rgb(Cairo(), v, v, v);
    cairo_fill_preserve(Cairo());
  }
  cairo_new_path(Cairo());
}

}  // namespace tessarin::pictures::metafile
