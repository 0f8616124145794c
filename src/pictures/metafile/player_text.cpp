// Text: fonts, alignment, advances and the opaque rectangle.

#include <algorithm>
#include <cmath>

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


void Player::SelectFont() {
  const Font& f = state_.font;
  cairo_select_font_face(cr_, f.face.empty() ? "sans-serif" : f.face.c_str(),
                         f.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                         f.weight >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  // A negative height is the em size, a positive one the cell height.
  const double height = std::min(request_.maxFontPixels, std::abs(f.height * ScaleFactors().y));
  double size = height > 0 ? height : 16;
  cairo_set_font_size(cr_, size);
  if (f.height > 0) {
    cairo_font_extents_t e;
    cairo_font_extents(cr_, &e);
    if (e.ascent + e.descent > 0) size = size * size / (e.ascent + e.descent);
    cairo_set_font_size(cr_, std::min(size, request_.maxFontPixels));
  }
}

// Draws `text` at logical (x, y) by the text alignment; `advances` (device
// pixels, may be empty) places each character.
void Player::DrawText(double x, double y, const std::string& text, std::span<const std::uint8_t> ansi,
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
  Spend(kGlyphCost * static_cast<double>(ansi.size()));
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
