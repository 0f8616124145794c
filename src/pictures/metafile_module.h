#pragma once

// The boundary between the executable and the metafile module, which is
// loaded at run time only when a metafile is opened (it links Cairo and the
// font libraries, which no other run needs). A plain C interface, called
// by the convention of base/module_boundary.h.

#include <stddef.h>
#include <stdint.h>

#include "base/module_boundary.h"

extern "C" {

// Memory for a picture's pixels, given by the side that keeps them:
// width * height * bytesPerPixel bytes, rows packed, top row first; null
// when they cannot be had.
struct TessarinPixelSink {
  void* owner;
  uint8_t* (*allocate)(void* owner, int32_t width, int32_t height, int32_t bytesPerPixel);
};

// Decodes a device-independent bitmap (info header first) found in the
// metafile into BGR pixels from `sink` (3 bytes a pixel); a damaged bitmap
// fails, with the reason in `message`.
struct TessarinDibDecoder {
  void* context;
  int (*decode)(void* context, const uint8_t* dib, size_t size, struct TessarinPixelSink sink,
                char* message, size_t messageSize);
};

struct TessarinMetafileRequest {
  const uint8_t* bytes;  // the whole metafile
  size_t size;
  // The most bytes the drawing surface (4 bytes a pixel) and its bitmaps may take.
  uint64_t maxSurfaceBytes;
  // The renderer's caps: work per pixel of the picture and at least, saved
  // states kept, the tallest text (see DecodeLimits).
  double workPerPixel;
  double minWork;
  uint32_t maxSavedStates;
  double maxFontPixels;
  struct TessarinDibDecoder dibDecoder;
  // The drawing surface (4 bytes a pixel), so that the picture is drawn
  // where it stays: the finished picture, flattened onto black, is left in
  // its first width * height * 3 bytes as BGR.
  struct TessarinPixelSink picture;
};

// The module's entry point, tessarin_render_metafile: draws the picture into
// request->picture, or fails with the reason in `message`.
typedef int (*TessarinRenderMetafileFunction)(const struct TessarinMetafileRequest* request,
                                              char* message, size_t messageSize);

// The version of this interface (kModuleVersion below), exported by the module.
extern const uint32_t tessarin_metafile_version;

}  // extern "C"

namespace tessarin::pictures::metafile {

// Raised whenever a struct or a call above changes. The program reads the
// module's before it calls anything of the module's: a module of an earlier
// install is refused rather than called through structs it does not know.
constexpr uint32_t kModuleVersion = 2;
constexpr const char* kVersionSymbol = "tessarin_metafile_version";

// The entry point is looked up by this name.
constexpr const char* kRenderSymbol = "tessarin_render_metafile";
using RenderFunction = TessarinRenderMetafileFunction;

// Opens the fonts text is drawn in, once per process, so that drawing opens no
// file later (a decoder process may open none once it is shut in).
constexpr const char* kPrepareFontsSymbol = "tessarin_prepare_metafile_fonts";
using PrepareFontsFunction = void (*)();

}  // namespace tessarin::pictures::metafile
