#pragma once

namespace tessarin {

// The pictures the inset folder offers: six patterns separated by semicolons,
// the blank after each semicolon not being part of the next pattern.
inline constexpr const char* kInsetPatterns = "*.jpg; *.jpeg; *.gif; *.bmp; *.ico; *.wmf";

// What a canvas may be besides: a PNG picture, which the inset folder does
// not offer.
inline constexpr const char* kCanvasOnlyPattern = "*.png";

}  // namespace tessarin
