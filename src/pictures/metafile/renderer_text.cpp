// Text: fonts, alignment, advances and the opaque rectangle.

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>

#include "pictures/metafile/render_metafile.h"
#include "pictures/metafile/renderer.h"
#include "text/utf8.h"

namespace tessarin::pictures::metafile {

std::string Utf8FromAnsi(std::span<const std::uint8_t> text) {
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::string out;
  for (std::uint8_t byte : text) {
    if (byte == 0) break;
    text::AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte);
  }
  return out;
}

namespace {

constexpr const char* kFamilies[] = {"sans-serif", "serif", "monospace"};

// The six faces, made once and kept for the life of the process.
cairo_font_face_t* KeptFace(std::size_t family, bool bold) {
  static cairo_font_face_t* faces[std::size(kFamilies)][2] = {};
  cairo_font_face_t*& face = faces[family][bold ? 1 : 0];
  if (!face) {
    face = cairo_toy_font_face_create(kFamilies[family], CAIRO_FONT_SLANT_NORMAL,
                                      bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  }
  return face;
}

bool NamesAny(const std::string& face, std::initializer_list<const char*> words) {
  std::string lower;
  for (char c : face) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return std::any_of(words.begin(), words.end(),
                     [&](const char* w) { return lower.find(w) != std::string::npos; });
}

// Which of the families a metafile's face name stands for.
std::size_t FamilyOf(const std::string& face) {
  if (NamesAny(face, {"mono", "courier", "console", "fixed", "terminal"})) return 2;
  if (NamesAny(face, {"serif", "times", "roman", "georgia", "garamond", "book"}) &&
      !NamesAny(face, {"sans"})) {
    return 1;
  }
  return 0;
}

}  // namespace

void PrepareFonts() {
  const Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8), SurfaceFree());
  const Context context(cairo_create(surface.get()));
  cairo_t* cr = context.get();
  for (std::size_t family = 0; family < std::size(kFamilies); ++family) {
    for (bool bold : {false, true}) {
      cairo_set_font_face(cr, KeptFace(family, bold));
      cairo_set_font_size(cr, 12);
      cairo_move_to(cr, 0, 8);
      cairo_show_text(cr, "Ag");  // its glyphs loaded: the font file is open
    }
  }
}

void Renderer::SelectFont() {
  const Font& f = state_.font;
  cairo_set_font_face(Cairo(), KeptFace(FamilyOf(f.face), f.weight >= kBoldWeight));
  // A negative height is the em size, a positive one the cell height.
  const double height = std::min(request_.maxFontPixels, std::abs(f.height * ScaleFactors().y));
  double size = height > 0 ? height : 16;
  cairo_set_font_size(Cairo(), size);
  if (f.height > 0) {
    cairo_font_extents_t e;
    cairo_font_extents(Cairo(), &e);
    if (e.ascent + e.descent > 0) size = size * size / (e.ascent + e.descent);
    size = std::min(size, request_.maxFontPixels);
    cairo_set_font_size(Cairo(), size);
  }
  if (f.italic) {  // slanted by hand: an italic face would be one more file to open
    cairo_matrix_t slanted;
    cairo_matrix_init(&slanted, size, 0, -0.2 * size, size, 0, 0);
    cairo_set_font_matrix(Cairo(), &slanted);
  }
}

// Where `text` goes from its device reference point by the text alignment;
// `advances` (device pixels, may be empty) give its width when there are any.
Renderer::TextPlacement Renderer::PlaceText(Point reference, const std::string& text,
                                            const std::vector<double>& advances) {
  SelectFont();
  TextPlacement place{reference, reference.x, reference.y, 0, {}};
  cairo_font_extents(Cairo(), &place.font);
  cairo_text_extents_t te;
  cairo_text_extents(Cairo(), text.c_str(), &te);
  place.width = te.x_advance;
  if (!advances.empty()) {
    place.width = 0;
    for (double a : advances) place.width += a;
  }
  const int horizontal = state_.textAlign & text_align::kHorizontal;
  const int vertical = state_.textAlign & text_align::kVertical;
  if (horizontal == text_align::kCentre) place.left = reference.x - place.width / 2;
  if (horizontal == text_align::kRight) place.left = reference.x - place.width;
  // Any vertical field but the baseline's and the bottom's is the top.
  if (vertical == text_align::kBottom)
    place.baseline = reference.y - place.font.descent;
  else if (vertical != text_align::kBaseline)
    place.baseline = reference.y + place.font.ascent;
  return place;
}

// Draws placed text: its opaque rectangle (and clip), its background, then
// its characters, each at its advance when there are any.
void Renderer::DrawText(const TextPlacement& place, const std::string& text,
                        std::span<const std::uint8_t> ansi, const std::vector<double>& advances,
                        std::optional<Rect> opaque, bool clip) {
  const cairo_font_extents_t& fe = place.font;
  cairo_save(Cairo());
  if (opaque) {
    SetColour(state_.background);
    cairo_rectangle(Cairo(), opaque->left, opaque->top, opaque->Width(), opaque->Height());
    cairo_fill(Cairo());
  }
  if (clip && opaque) {
    cairo_rectangle(Cairo(), opaque->left, opaque->top, opaque->Width(), opaque->Height());
    cairo_clip(Cairo());
  }
  const double angle = -state_.font.escapement / 10.0 * kPi / 180;
  cairo_translate(Cairo(), place.anchor.x, place.anchor.y);
  cairo_rotate(Cairo(), angle);
  cairo_translate(Cairo(), -place.anchor.x, -place.anchor.y);
  if (state_.opaqueBackground && !opaque) {
    SetColour(state_.background);
    cairo_rectangle(Cairo(), place.left, place.baseline - fe.ascent, place.width,
                    fe.ascent + fe.descent);
    cairo_fill(Cairo());
  }
  SetColour(state_.text);
  cairo_set_antialias(Cairo(), CAIRO_ANTIALIAS_DEFAULT);
  if (advances.empty()) {
    cairo_move_to(Cairo(), place.left, place.baseline);
    FillText(text.c_str());
  } else {
    double pen = place.left;
    for (std::size_t i = 0; i < ansi.size() && i < advances.size(); ++i) {
      const std::string one = Utf8FromAnsi(ansi.subspan(i, 1));
      cairo_move_to(Cairo(), pen, place.baseline);
      FillText(one.c_str());
      pen += advances[i];
    }
  }
  cairo_restore(Cairo());
  cairo_new_path(Cairo());
}

// A text record's text at logical (x, y), or at the current position, which
// it then moves past the text, when the alignment says so: placed, paid for,
// drawn.
void Renderer::ShowText(double x, double y, std::span<const std::uint8_t> ansi,
                        const std::vector<double>& advances, std::optional<Rect> opaque,
                        bool clip) {
  const bool updatesPosition = state_.textAlign & text_align::kUpdatesPosition;
  if (updatesPosition) x = state_.x, y = state_.y;
  const std::string text = Utf8FromAnsi(ansi);
  const TextPlacement place = PlaceText(Device(x, y), text, advances);
  const cairo_font_extents_t& fe = place.font;
  Spend(kGlyphCost * static_cast<double>(ansi.size()));
  Charge({place.left, place.baseline - fe.ascent, place.left + place.width,
          place.baseline + fe.descent});
  ChargeGlyphs(place.left, place.baseline, place.width, ansi.size(), advances);
  DrawText(place, text, ansi, advances, opaque, clip);
  if (updatesPosition) state_.x += place.width / std::max(1e-9, std::abs(ScaleFactors().x));
}

// Glyphs are filled as outlines rather than shown: Cairo would keep an image
// of every glyph shown, at its size, in caches that outlive the drawing (a
// few dozen glyphs 2,000 pixels high held hundreds of MiB across pictures).
void Renderer::FillText(const char* text) {
  cairo_text_path(Cairo(), text);
  cairo_fill(Cairo());
}

// Every glyph drawn costs its own box (the font's widest advance by its
// height), wherever the pen puts it: glyphs drawn over one another cost each
// time, although the text's box stays small.
void Renderer::ChargeGlyphs(double left, double baseline, double width, std::size_t count,
                            const std::vector<double>& advances) {
  cairo_font_extents_t fe;
  cairo_font_extents(Cairo(), &fe);
  const double glyphWidth = std::max(fe.max_x_advance, 1.0), glyphHeight = fe.ascent + fe.descent;
  const bool rotated = state_.font.escapement % 3600 != 0;
  double pen = left;
  for (std::size_t i = 0; i < count; ++i) {
    if (rotated) {  // the box turns with the text: counted whole, up to the frame
      Spend(std::min(glyphWidth * glyphHeight, static_cast<double>(frame_.width) * frame_.height));
    } else {
      Charge({pen, baseline - fe.ascent, pen + glyphWidth, baseline + fe.descent});
    }
    pen += i < advances.size() ? advances[i] : width / static_cast<double>(count);
  }
}

void Renderer::TextOut(const Params& p) {
  const std::size_t count = p.U16(0);
  const std::size_t words = (count + 1) / 2;
  const auto ansi = p.Bytes(1, count);
  ShowText(p.I16(2 + words), p.I16(1 + words), ansi, {}, std::nullopt, false);
}

void Renderer::ExtTextOut(const Params& p) {
  const double y = p.I16(0), x = p.I16(1);
  const std::size_t count = p.U16(2);
  const std::uint16_t options = p.U16(3);
  const bool hasRect = options & (kTextOpaque | kTextClipped);
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
  const bool clipped = options & kTextClipped;
  ShowText(x, y, ansi, advances, hasRect ? rect : std::nullopt, clipped);
}

}  // namespace tessarin::pictures::metafile
