#pragma once

// Builds small picture files in memory with the same libraries the decoders
// use, so that tests and the fuzz corpus start from real, known pixels.

#include <gif_lib.h>
#include <jpeglib.h>
#include <spng.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "memory_file.h"
#include "ports/pictures.h"
#include "support/bytes.h"

namespace tessarin::testing {

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

inline std::unique_ptr<ports::InputFile> InMemory(Bytes bytes, std::string path = "picture") {
  return std::make_unique<MemoryInputFile>(std::move(path), std::move(bytes));
}

// ---- JPEG ----

enum class JpegKind { Baseline, Progressive, Grayscale, Cmyk, Ycck };

struct JpegOptions {
  JpegKind kind = JpegKind::Baseline;
  int restartInterval = 0;  // in MCU rows' worth of MCUs; 0: none
  int quality = 100;
};

// `pixel(x, y)` gives each pixel's colour; CMYK kinds store the inverted inks
// of an Adobe file.
template <typename PixelAt>
Bytes EncodeJpeg(int width, int height, PixelAt pixel, JpegOptions options = {}) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  const bool cmyk = options.kind == JpegKind::Cmyk || options.kind == JpegKind::Ycck;
  const bool gray = options.kind == JpegKind::Grayscale;
  cinfo.input_components = cmyk ? 4 : gray ? 1 : 3;
  cinfo.in_color_space = cmyk ? JCS_CMYK : gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  if (options.kind == JpegKind::Ycck) jpeg_set_colorspace(&cinfo, JCS_YCCK);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  if (options.kind == JpegKind::Progressive) jpeg_simple_progression(&cinfo);
  cinfo.restart_interval = static_cast<unsigned>(options.restartInterval);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * cinfo.input_components);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = pixel(x, y);
      std::uint8_t* out = &row[static_cast<std::size_t>(x) * cinfo.input_components];
      if (gray) {
        out[0] = c.g;
      } else if (cmyk) {  // no black ink; Adobe stores 255 - ink
        out[0] = c.r;
        out[1] = c.g;
        out[2] = c.b;
        out[3] = 255;
      } else {
        out[0] = c.r;
        out[1] = c.g;
        out[2] = c.b;
      }
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

// ---- GIF ----

struct GifOptions {
  int screenWidth = 0, screenHeight = 0;  // 0: the image's own extent
  int left = 0, top = 0;
  bool interlaced = false;
  bool localPalette = false;
  int transparentIndex = -1;
  bool gif89 = true;
};

inline int WriteToVector(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

// `indexes` holds width * height palette indexes, top row first.
inline Bytes EncodeGif(int width, int height, const std::vector<std::uint8_t>& indexes,
                       const std::vector<Rgb>& palette, GifOptions options = {}) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
  if (!gif) throw std::runtime_error("EGifOpen");
  EGifSetGifVersion(gif, options.gif89);
  int count = 2;
  while (count < static_cast<int>(palette.size())) count *= 2;
  ColorMapObject* map = GifMakeMapObject(count, nullptr);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    map->Colors[i] = {palette[i].r, palette[i].g, palette[i].b};
  }
  const int screenW = options.screenWidth ? options.screenWidth : options.left + width;
  const int screenH = options.screenHeight ? options.screenHeight : options.top + height;
  EGifPutScreenDesc(gif, screenW, screenH, 8, 0, options.localPalette ? nullptr : map);
  if (options.transparentIndex >= 0) {
    const GifByteType gce[4] = {0x01, 0, 0, static_cast<GifByteType>(options.transparentIndex)};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce);
  }
  EGifPutImageDesc(gif, options.left, options.top, width, height, options.interlaced,
                   options.localPalette ? map : nullptr);
  std::vector<int> order;
  if (options.interlaced) {
    for (int start : {0, 4, 2, 1}) {
      const int step = start == 0 ? 8 : start == 4 ? 8 : start == 2 ? 4 : 2;
      for (int y = start; y < height; y += step) order.push_back(y);
    }
  } else {
    for (int y = 0; y < height; ++y) order.push_back(y);
  }
  std::vector<GifPixelType> line(static_cast<std::size_t>(width));
  for (int y : order) {
    std::memcpy(line.data(), &indexes[static_cast<std::size_t>(y) * width], line.size());
    EGifPutLine(gif, line.data(), width);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

// ---- PNG ----

struct PngOptions {
  std::uint8_t colorType = SPNG_COLOR_TYPE_TRUECOLOR;
  std::uint8_t bitDepth = 8;
  bool interlaced = false;
  std::vector<Rgb> palette;                                              // colour type 3
  std::vector<std::uint8_t> paletteAlpha;                                // tRNS for colour type 3
  int transparentGray = -1;                                              // tRNS for colour type 0
  int transparentRed = -1, transparentGreen = -1, transparentBlue = -1;  // type 2
};

// `raw` holds the image's rows in PNG's own packing (big-endian samples,
// sub-byte depths packed), without filter bytes.
inline Bytes EncodePng(int width, int height, const Bytes& raw, PngOptions options = {}) {
  spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{};
  ihdr.width = static_cast<std::uint32_t>(width);
  ihdr.height = static_cast<std::uint32_t>(height);
  ihdr.bit_depth = options.bitDepth;
  ihdr.color_type = options.colorType;
  ihdr.interlace_method = options.interlaced ? SPNG_INTERLACE_ADAM7 : SPNG_INTERLACE_NONE;
  spng_set_ihdr(ctx, &ihdr);
  if (!options.palette.empty()) {
    spng_plte plte{};
    plte.n_entries = static_cast<std::uint32_t>(options.palette.size());
    for (std::size_t i = 0; i < options.palette.size(); ++i) {
      plte.entries[i] = {options.palette[i].r, options.palette[i].g, options.palette[i].b, 255};
    }
    spng_set_plte(ctx, &plte);
  }
  spng_trns trns{};
  bool hasTrns = false;
  if (!options.paletteAlpha.empty()) {
    trns.n_type3_entries = static_cast<std::uint32_t>(options.paletteAlpha.size());
    std::memcpy(trns.type3_alpha, options.paletteAlpha.data(), options.paletteAlpha.size());
    hasTrns = true;
  }
  if (options.transparentGray >= 0) {
    trns.gray = static_cast<std::uint16_t>(options.transparentGray);
    hasTrns = true;
  }
  if (options.transparentRed >= 0) {
    trns.red = static_cast<std::uint16_t>(options.transparentRed);
    trns.green = static_cast<std::uint16_t>(options.transparentGreen);
    trns.blue = static_cast<std::uint16_t>(options.transparentBlue);
    hasTrns = true;
  }
  if (hasTrns) spng_set_trns(ctx, &trns);
  const int status =
      spng_encode_image(ctx, raw.data(), raw.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
  if (status != 0) {
    spng_ctx_free(ctx);
    throw std::runtime_error(std::string("spng_encode_image: ") + spng_strerror(status));
  }
  std::size_t size = 0;
  int error = 0;
  void* buffer = spng_get_png_buffer(ctx, &size, &error);
  Bytes bytes(static_cast<std::uint8_t*>(buffer), static_cast<std::uint8_t*>(buffer) + size);
  std::free(buffer);
  spng_ctx_free(ctx);
  return bytes;
}

// ---- reading back ----

inline Rgb PixelOf(const ports::Bitmap& image, int x, int y) {
  const std::uint8_t* p =
      &image.bgr[(static_cast<std::size_t>(y) * image.width + x) * ports::kBytesPerPixel];
  return {p[2], p[1], p[0]};
}

// Every row of a source, top row first whatever order it delivers.
inline ports::Bitmap ReadWhole(ports::Picture& source) {
  ports::Bitmap image;
  image.width = source.Width();
  image.height = source.Height();
  const std::size_t stride = static_cast<std::size_t>(image.width) * ports::kBytesPerPixel;
  image.bgr.resize(stride * image.height);
  for (int i = 0; i < image.height; ++i) {
    const int y = source.Order() == ports::RowOrder::TopDown ? i : image.height - 1 - i;
    source.ReadRows(image.bgr.data() + stride * y, 1);
  }
  return image;
}

}  // namespace tessarin::testing
