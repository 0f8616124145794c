// Writes small pictures of every variant the decoders know into
// <folder>/<target>/, the starting corpus of the fuzz targets.

#include <filesystem>
#include <fstream>
#include <string>

#include "support/encode_bmp.h"
#include "support/metafile_builder.h"
#include "support/picture_files.h"

namespace {

using tessarin::testing::Bytes;
using tessarin::testing::Rgb;
namespace fs = std::filesystem;

void Write(const fs::path& folder, const std::string& target, const std::string& name,
           const Bytes& bytes) {
  fs::create_directories(folder / target);
  std::ofstream(folder / target / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Rgb Gradient(int x, int y) {
  return {static_cast<std::uint8_t>(x * 9), static_cast<std::uint8_t>(y * 13),
          static_cast<std::uint8_t>((x ^ y) * 5)};
}

void JpegSeeds(const fs::path& folder) {
  using tessarin::testing::JpegKind;
  const std::pair<const char*, tessarin::testing::JpegOptions> kinds[] = {
      {"baseline.jpg", {JpegKind::Baseline, 0, 75}},   {"progressive.jpg", {JpegKind::Progressive, 0, 75}},
      {"gray.jpg", {JpegKind::Grayscale, 0, 75}},      {"cmyk.jpg", {JpegKind::Cmyk, 0, 75}},
      {"ycck.jpg", {JpegKind::Ycck, 0, 75}},           {"restart.jpg", {JpegKind::Baseline, 1, 75}}};
  for (const auto& [name, options] : kinds) {
    Write(folder, "jpeg", name, tessarin::testing::EncodeJpeg(19, 13, Gradient, options));
  }
}

void GifSeeds(const fs::path& folder) {
  std::vector<std::uint8_t> indexes;
  for (int i = 0; i < 9 * 7; ++i) indexes.push_back(static_cast<std::uint8_t>(i % 4));
  const std::vector<Rgb> palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {1, 2, 3}};
  tessarin::testing::GifOptions plain, interlaced, offset;
  interlaced.interlaced = true;
  interlaced.localPalette = true;
  offset.screenWidth = 12;
  offset.screenHeight = 10;
  offset.left = 2;
  offset.top = 1;
  offset.transparentIndex = 2;
  Write(folder, "gif", "plain.gif", tessarin::testing::EncodeGif(9, 7, indexes, palette, plain));
  Write(folder, "gif", "interlaced.gif", tessarin::testing::EncodeGif(9, 7, indexes, palette, interlaced));
  Write(folder, "gif", "offset.gif", tessarin::testing::EncodeGif(9, 7, indexes, palette, offset));
}

void PngSeeds(const fs::path& folder) {
  const struct {
    const char* name;
    std::uint8_t type, depth;
    int channels;
  } kinds[] = {{"gray1.png", 0, 1, 1},  {"gray16.png", 0, 16, 1}, {"rgb8.png", 2, 8, 3},
               {"pal4.png", 3, 4, 1},   {"ga8.png", 4, 8, 2},     {"rgba16.png", 6, 16, 4}};
  for (const auto& kind : kinds) {
    for (bool interlaced : {false, true}) {
      tessarin::testing::PngOptions options;
      options.colorType = kind.type;
      options.bitDepth = kind.depth;
      options.interlaced = interlaced;
      if (kind.type == 3) {
        options.palette = {{1, 2, 3}, {200, 100, 0}, {0, 0, 255}};
        options.paletteAlpha = {255, 0};
      }
      const int rowBytes = (9 * kind.channels * kind.depth + 7) / 8;
      Bytes raw(static_cast<std::size_t>(rowBytes) * 6);
      for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<std::uint8_t>(kind.type == 3 ? (i % 3) * 0x11 : i * 37);
      Write(folder, "png", std::string(interlaced ? "i_" : "") + kind.name,
            tessarin::testing::EncodePng(9, 6, raw, options));
    }
  }
}

Bytes BmpFile(int width, int height) {
  tessarin::ports::Bitmap image{width, height, {}};
  for (int i = 0; i < width * height; ++i) image.bgr.insert(image.bgr.end(), {std::uint8_t(i), 80, 160});
  const std::string file = tessarin::testing::EncodeBmp(image);
  return Bytes(file.begin(), file.end());
}

void BmpSeeds(const fs::path& folder) {
  Write(folder, "bmp", "small.bmp", BmpFile(5, 3));
  Bytes dib = tessarin::testing::Dib24(3, 2, Bytes(18, 0x55));
  Bytes file = {'B', 'M'};
  tessarin::testing::MetafileBuilder::Put32(file, static_cast<std::uint32_t>(14 + dib.size()));
  tessarin::testing::MetafileBuilder::Put32(file, 0);
  tessarin::testing::MetafileBuilder::Put32(file, 54);
  file.insert(file.end(), dib.begin(), dib.end());
  Write(folder, "bmp", "dib.bmp", file);
}

// An icon with a 24-bit bitmap image (and its AND mask) and a PNG image.
Bytes IconFile() {
  using tessarin::testing::MetafileBuilder;
  Bytes bitmap = tessarin::testing::Dib24(4, 8, Bytes(4 * 8 * 3, 0x33));
  bitmap[8] = 8;  // height doubled: 4 colour rows over 4 mask rows
  Bytes png = tessarin::testing::EncodePng(3, 3, Bytes(27, 0x99));
  Bytes out;
  MetafileBuilder::Put16(out, 0);
  MetafileBuilder::Put16(out, 1);
  MetafileBuilder::Put16(out, 2);
  std::uint32_t offset = 6 + 32;
  for (const Bytes* image : {&bitmap, &png}) {
    out.insert(out.end(), {4, 4, 0, 0});
    MetafileBuilder::Put16(out, 1);
    MetafileBuilder::Put16(out, 24);
    MetafileBuilder::Put32(out, static_cast<std::uint32_t>(image->size()));
    MetafileBuilder::Put32(out, offset);
    offset += static_cast<std::uint32_t>(image->size());
  }
  out.insert(out.end(), bitmap.begin(), bitmap.end());
  out.insert(out.end(), png.begin(), png.end());
  return out;
}

Bytes MetafileFile(bool placeable) {
  tessarin::testing::MetafileBuilder b;
  if (placeable) b.Placeable(0, 0, 600, 450, 1440);
  b.Record(0x0103, {8}).Record(0x020B, {0, 0}).Record(0x020C, {30, 40})
      .Record(0x02FA, {0, 1, 0, 255, 0}).Record(0x02FC, {2, 0x00FF, 0, 5}).Record(0x012D, {0})
      .Record(0x012D, {1}).Record(0x001E, {}).Record(0x041B, {20, 30, 2, 2})
      .Record(0x061C, {4, 4, 28, 38, 22, 20}).Record(0x0418, {10, 10, 0, 0})
      .Record(0x0538, {2, 3, 3, 0, 0, 9, 0, 0, 9, 5, 5, 15, 5, 5, 15}).Record(0x0106, {2})
      .Record(0x0324, {3, 1, 1, 8, 1, 4, 8}).Record(0x0325, {2, 0, 0, 39, 29})
      .Record(0x0214, {3, 3}).Record(0x0213, {25, 35}).Record(0x0127, {-1})
      .Record(0x0817, {15, 0, 15, 30, 30, 30, 0, 0}).Record(0x081A, {15, 0, 15, 30, 30, 30, 0, 0})
      .Record(0x0830, {15, 0, 15, 30, 30, 30, 0, 0}).Record(0x01F0, {1})
      .WithBytes(0x02FB, {-12, 0, 0, 0, 400, 0, 0, 0, 0}, {'A', 'r', 'i', 'a', 'l', 0})
      .Record(0x012D, {1}).WithBytes(0x0521, {2}, {'H', 'i'}, {5, 5})
      .WithBytes(0x0A32, {20, 5, 3, 6, 0, 18, 30, 28}, {'a', 'b', 'c'}, {6, 6, 6})
      .WithBytes(0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 8, 8, 20, 20},
                 tessarin::testing::Dib24(2, 2, Bytes(12, 0xC0)));
  return b.Build();
}

void OtherSeeds(const fs::path& folder) {
  Write(folder, "icon", "two.ico", IconFile());
  Write(folder, "wmf", "placeable.wmf", MetafileFile(true));
  Write(folder, "wmf", "plain.wmf", MetafileFile(false));
  // Compose: canvas length, X, Y, width, height, the canvas, the inset.
  const Bytes insets[] = {
      tessarin::testing::EncodeJpeg(9, 7, Gradient),
      tessarin::testing::EncodePng(4, 4, Bytes(48, 0x70)),
      tessarin::testing::EncodeGif(5, 5, std::vector<std::uint8_t>(25, 1), {{1, 2, 3}, {4, 5, 6}}),
      IconFile()};
  int n = 0;
  for (const Bytes& canvas : {BmpFile(12, 10), tessarin::testing::EncodeJpeg(20, 12, Gradient)}) {
    for (const Bytes& inset : insets) {
      Bytes job;
      for (int word : {static_cast<int>(canvas.size()), -2, 3, 8, 20}) {
        tessarin::testing::MetafileBuilder::Put16(job, static_cast<std::uint16_t>(word));
      }
      job.insert(job.end(), canvas.begin(), canvas.end());
      job.insert(job.end(), inset.begin(), inset.end());
      Write(folder, "compose", "job" + std::to_string(n++), job);
    }
  }
}

// Scripts of honest decoders for the sandbox target (sandbox_fuzz.cpp says
// the steps): an 8 x 10 picture's header, then its rows in two strips, its
// 4 x 10 block, or a failure.
void SandboxSeeds(const fs::path& folder) {
  const Bytes header = {0, 0, 16, 18, 8};  // Header 8, 10, top-down
  const Bytes scripts[] = {
      {0x00, 1, 0xF0, 0, 0, 0x10, 0, 1, 0x55, 0, 1, 8, 15, 8, 0, 1, 9, 11, 8},  // rows
      {0x12, 0, 2, 12, 18, 8, 0, 1, 8, 18, 8},                                 // block
      {0x00, 4, 10, 1, 'e', 'n', 'd', 's', ' ', 'e', 'a', 'r', 'l', 'y'}};      // failure
  int n = 0;
  for (const Bytes& script : scripts) {
    Bytes seed(script.begin(), script.begin() + 1);
    seed.insert(seed.end(), header.begin(), header.end());
    seed.insert(seed.end(), script.begin() + 1, script.end());
    Write(folder, "sandbox", "script" + std::to_string(n++), seed);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const fs::path folder = argv[1];
  JpegSeeds(folder);
  GifSeeds(folder);
  PngSeeds(folder);
  BmpSeeds(folder);
  OtherSeeds(folder);
  SandboxSeeds(folder);
  return 0;
}
