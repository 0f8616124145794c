#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>

#include "ports/pictures.h"

namespace tessarin::pictures::metafile {

// A metafile that cannot be drawn: damaged, too large, or too costly.
class MetafileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the renderer is asked to draw, within which caps (the module's entry
// point makes it of the request that crosses the module boundary).
struct RenderRequest {
  std::span<const std::uint8_t> bytes;  // the whole metafile
  // The most bytes the drawing surface (4 bytes a pixel) may take.
  std::uint64_t maxSurfaceBytes = 0;
  // Decodes a device-independent bitmap (info header first) found in the
  // metafile into BGR pixels, top row first; throws on a damaged bitmap.
  std::function<ports::Bitmap(std::span<const std::uint8_t> dib)> decodeDib;
  // The work cap, in pixels' worth of filling: per pixel of the picture, and
  // at least.
  double workPerPixel = 0;
  double minWork = 0;
  // Saved states beyond this depth are not kept.
  std::uint32_t maxSavedStates = 0;
  // Text is drawn at most this many pixels high.
  double maxFontPixels = 0;
  // Memory for the drawing surface, width * height * 4 bytes, where the
  // finished BGR pixels are left (the caller's, so that the picture is never
  // held twice); null when it cannot be had. The renderer's own when empty.
  std::function<std::uint8_t*(int width, int height)> surfaceMemory;
};

// Draws a Windows metafile's records onto a Cairo surface at the picture's
// own size (a placeable file's frame at 96 pixels per inch, otherwise its
// window extent) and returns the pixels flattened onto black: in the
// bitmap, or, when the request gives surfaceMemory, left there (the bitmap's
// bgr then empty). Unknown records are skipped; a malformed one throws
// MetafileError.
ports::Bitmap RenderMetafile(const RenderRequest& request);

// Text is drawn in the system's sans-serif, serif or monospace face, upright
// or bold; this opens all six (their font files), which every drawing then
// shares, so that drawing text opens no file. Without it they are opened
// as text first needs them.
void PrepareFonts();

}  // namespace tessarin::pictures::metafile
