#pragma once

// The boundary between the executable and the metafile module, which is
// loaded with dlopen only when a metafile is opened (it links Cairo and the
// font libraries, which no other run needs).

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "ports/pictures.h"

namespace tessarin::metafile {

struct RenderRequest {
  std::span<const std::uint8_t> bytes;  // the whole metafile
  // The most bytes the drawing surface (4 bytes a pixel) may take.
  std::uint64_t maxSurfaceBytes = 0;
  // Decodes a device-independent bitmap (info header first) found in the
  // metafile into BGR pixels, top row first; throws on a damaged bitmap.
  std::function<ports::Bitmap(std::span<const std::uint8_t> dib)> decodeDib;
};

struct RenderResult {
  ports::Bitmap image;  // flattened onto black
  std::string error;      // empty on success
};

// The module's one entry point, looked up by this name.
constexpr const char* kRenderSymbol = "TessarinRenderMetafile";
using RenderFunction = void (*)(const RenderRequest& request, RenderResult& result);

// Opens the fonts text is drawn in, once per process, so that drawing opens no
// file later (a decoder process may open none once it is shut in).
constexpr const char* kPrepareFontsSymbol = "TessarinPrepareMetafileFonts";
using PrepareFontsFunction = void (*)();

}  // namespace tessarin::metafile
