// Text: fonts, alignment, advances and the opaque rectangle.

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>

#include "pictures/metafile/metafile_player.h"
#include "pictures/metafile/player.h"
#include "text/utf8.h"

namespace tessarin::metafile::detail {

std::string Utf8FromAnsi(std::span<const std::uint8_t> text) {
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::string out;
  for (std::uint8_t byte : text) {
    if (byte == 0) break;
    AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte);
  }
  return out;
}

}  // namespace tessarin::metafile::detail

namespace tessarin::metafile {
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
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
  cairo_t* cr = cairo_create(surface);
  for (std::size_t family = 0; family < std::size(kFamilies); ++family) {
    for (bool bold : {false, true}) {
      cairo_set_font_face(cr, KeptFace(family, bold));
      cairo_set_font_size(cr, 12);
      cairo_move_to(cr, 0, 8);
      cairo_show_text(cr, "Ag");  // its glyphs loaded: the font file is open
    }
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

}  // namespace tessarin::metafile

namespace tessarin::metafile::detail {

void Player::SelectFont() {
  const Font& f = state_.font;
  cairo_set_font_face(cr_, KeptFace(FamilyOf(f.face), f.weight >= 600));
  // A negative height is the em size, a positive one the cell height.
  const double height = std::min(request_.maxFontPixels, std::abs(f.height * ScaleFactors().y));
  double size = height > 0 ? height : 16;
  cairo_set_font_size(cr_, size);
  if (f.height > 0) {
    cairo_font_extents_t e;
    cairo_font_extents(cr_, &e);
    if (e.ascent + e.descent > 0) size = size * size / (e.ascent + e.descent);
    size = std::min(size, request_.maxFontPixels);
    cairo_set_font_size(cr_, size);
  }
  if (f.italic) {  // slanted by hand: an italic face would be one more file to open
    cairo_matrix_t slanted;
    cairo_matrix_init(&slanted, size, 0, -0.2 * size, size, 0, 0);
    cairo_set_font_matrix(cr_, &slanted);
  }
}

// Draws `text` at logical (x, y) by the text alignment; `advances` (device
// pixels, may be empty) places each character.
void Player::DrawText(double x, double y, const std::string& text,
                      std::span<const std::uint8_t> ansi, const std::vector<double>& advances,
                      std::optional<Rect> opaque, bool clip) {
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
  const double baseline = vertical == 24  ? at.y
                          : vertical == 8 ? at.y - fe.descent
                                          : at.y + fe.ascent;
  Spend(kGlyphCost * static_cast<double>(ansi.size()));
  Charge({left, baseline - fe.ascent, left + width, baseline + fe.descent});
  ChargeGlyphs(left, baseline, width, ansi.size(), advances);
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
    FillText(text.c_str());
  } else {
    double pen = left;
    for (std::size_t i = 0; i < ansi.size() && i < advances.size(); ++i) {
      const std::string one = Utf8FromAnsi(ansi.subspan(i, 1));
      cairo_move_to(cr_, pen, baseline);
      FillText(one.c_str());
      pen += advances[i];
    }
  }
  cairo_restore(cr_);
  cairo_new_path(cr_);
  if (updateCp) state_.x += width / std::max(1e-9, std::abs(ScaleFactors().x));
}

// Glyphs are filled as outlines rather than shown: Cairo would keep an image
// of every glyph shown, at its size, in caches that outlive the drawing (a
// few dozen glyphs 2,000 pixels high held hundreds of MiB across pictures).
void Player::FillText(const char* text) {
  cairo_text_path(cr_, text);
  cairo_fill(cr_);
}

// Every glyph drawn costs its own box (the font's widest advance by its
// height), wherever the pen puts it: glyphs drawn over one another cost each
// time, although the text's box stays small.
void Player::ChargeGlyphs(double left, double baseline, double width, std::size_t count,
                          const std::vector<double>& advances) {
  cairo_font_extents_t fe;
  cairo_font_extents(cr_, &fe);
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

void Player::TextOut(const Params& p) {
  const std::size_t count = p.U16(0);
  const std::size_t words = (count + 1) / 2;
  const auto ansi = p.Bytes(1, count);
  DrawText(p.I16(2 + words), p.I16(1 + words), Utf8FromAnsi(ansi), ansi, {}, std::nullopt, false);
}

void Player::ExtTextOut(const Params& p) {
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

}  // namespace tessarin::metafile::detail
