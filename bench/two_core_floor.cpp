// The least a wallpaper costs on two cores, written as durably as Tessarin
// writes it: one thread decodes the canvas (a JPEG) or reads it (a 24-bit
// BMP) into a ring of strips, in the order the bottom-up BMP file wants each
// strip's rows; the other creates the output (an unnamed file beside it, its
// size reserved), decodes the inset's block (a JPEG's or a GIF's), then
// patches each strip and writes it at its place, starting its write-back at
// once; at the end the file is flushed, named, renamed over the output and
// its folder flushed. No sandbox, no settings, no desktop: what is left when
// all of that costs nothing.
//
//   two_core_floor CANVAS INSET X Y WIDTH HEIGHT OUTPUT.bmp [FROMX FROMY]
//   two_core_floor --copy CANVAS.bmp OUTPUT.bmp
//
// The block of WIDTH x HEIGHT at (FROMX, FROMY) of the inset (default the
// top-left corner) goes to (X, Y) of the canvas; it must lie inside both
// pictures. --copy is the floor of a BMP canvas alone: its bytes copied a
// strip at a time into an output made and committed exactly as above,
// nothing decoded or patched.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

// jpeglib.h needs FILE declared first.
#include <gif_lib.h>
#include <jpeglib.h>

#include "wallpaper/bmp_layout.h"

namespace {

using tessarin::wallpaper::BmpLayout;

constexpr std::size_t kStripBytes = 256 * 1024;  // as Tessarin's strips
constexpr std::size_t kStrips = 4;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "two_core_floor: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

// libjpeg's own error handling ends the process with its message.
struct Jpeg {
  explicit Jpeg(const char* path) : file(std::fopen(path, "rb")) {
    if (!file) Fail(path);
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
  }
  ~Jpeg() {
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
  }
  // Reads rows into the given row pointers, as many as libjpeg gives a call.
  void ReadInto(JSAMPROW* rows, JDIMENSION count) {
    for (JDIMENSION done = 0; done < count;)
      done += jpeg_read_scanlines(&cinfo, rows + done, count - done);
  }

  std::FILE* file;
  jpeg_error_mgr errors{};
  jpeg_decompress_struct cinfo{};
};

struct Block {
  int x, y, width, height;
  int fromX = 0, fromY = 0;  // its top-left corner in the inset
  std::vector<std::uint8_t> bgr;
};

// The inset's block, as Tessarin decodes it: only the columns it needs (one
// block column more), only its rows.
void DecodeJpegBlock(const char* inset, Block& block) {
  Jpeg jpeg(inset);
  jpeg_start_decompress(&jpeg.cinfo);
  JDIMENSION left = 0;
  JDIMENSION width = std::min<JDIMENSION>(
      block.fromX + block.width + jpeg.cinfo.max_h_samp_factor * DCTSIZE, jpeg.cinfo.output_width);
  jpeg_crop_scanline(&jpeg.cinfo, &left, &width);
  std::vector<std::uint8_t> row(jpeg.cinfo.output_width * 3);
  const std::size_t stride = static_cast<std::size_t>(block.width) * 3;
  block.bgr.resize(stride * static_cast<std::size_t>(block.height));
  for (int y = 0; y < block.fromY + block.height; ++y) {
    JSAMPROW r = row.data();
    jpeg.ReadInto(&r, 1);
    if (y < block.fromY) continue;
    std::memcpy(block.bgr.data() + stride * static_cast<std::size_t>(y - block.fromY),
                row.data() + block.fromX * 3, stride);
  }
  jpeg_abort_decompress(&jpeg.cinfo);
}

// A GIF's first image decoded whole with giflib (an interlaced one holds the
// block's rows only once all its passes are read), the block's indexes
// looked up in its colour map. The floor takes an image that fills its
// screen and has no transparent colour.
void DecodeGifBlock(const char* inset, Block& block) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(inset, &error);
  if (!gif || DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) Fail(inset);
  const SavedImage& image = gif->SavedImages[0];
  const ColorMapObject* colours =
      image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
  GraphicsControlBlock control{};
  if (!colours || image.ImageDesc.Left != 0 || image.ImageDesc.Top != 0 ||
      image.ImageDesc.Width != gif->SWidth || image.ImageDesc.Height != gif->SHeight ||
      (DGifSavedExtensionToGCB(gif, 0, &control) == GIF_OK &&
       control.TransparentColor != NO_TRANSPARENT_COLOR)) {
    std::fprintf(stderr, "two_core_floor: %s: not a GIF the floor takes\n", inset);
    std::exit(2);
  }
  block.bgr.resize(static_cast<std::size_t>(block.width) * block.height * 3);
  std::uint8_t* out = block.bgr.data();
  for (int y = 0; y < block.height; ++y) {
    const GifByteType* row = image.RasterBits +
                             static_cast<std::size_t>(block.fromY + y) * image.ImageDesc.Width +
                             block.fromX;
    for (int x = 0; x < block.width; ++x, out += 3) {
      const GifColorType& colour = colours->Colors[row[x] % colours->ColorCount];
      out[0] = colour.Blue;
      out[1] = colour.Green;
      out[2] = colour.Red;
    }
  }
  DGifCloseFile(gif, &error);
}

// The output as Tessarin's is written: unnamed beside its name, locked,
// presized; each piece written at its place with its write-back started.
class DurableOutput {
 public:
  DurableOutput(const std::string& path, std::size_t size) : path_(path) {
    const std::size_t slash = path.rfind('/');
    folderPath_ = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    name_ = slash == std::string::npos ? path : path.substr(slash + 1);
    folder_ = ::open(folderPath_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    fd_ = ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (folder_ < 0 || fd_ < 0) Fail(path);
    ::flock(fd_, LOCK_EX);
    if (::fallocate(fd_, 0, 0, static_cast<off_t>(size)) != 0 ||
        ::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      Fail(path);
    }
  }

  void WriteAt(std::size_t offset, const std::uint8_t* bytes, std::size_t size) {
    if (::pwrite(fd_, bytes, size, static_cast<off_t>(offset)) != static_cast<ssize_t>(size))
      Fail(path_);
    // As Tessarin: the write-back of the pages written whole only.
    static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t first = (offset + page - 1) / page * page;
    const std::size_t last = (offset + size) / page * page;
    if (last > first) {
      ::sync_file_range(fd_, static_cast<off_t>(first), static_cast<off_t>(last - first),
                        SYNC_FILE_RANGE_WRITE);
    }
  }

  void Commit() {
    if (::fdatasync(fd_) != 0) Fail(path_);
    const std::string temporary = "." + name_ + ".floor-" + std::to_string(::getpid());
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, self.c_str(), folder_, temporary.c_str(), AT_SYMLINK_FOLLOW) != 0 ||
        ::renameat(folder_, temporary.c_str(), folder_, name_.c_str()) != 0 ||
        ::fsync(folder_) != 0) {
      Fail(path_);
    }
    ::close(fd_);
    ::close(folder_);
  }

 private:
  std::string path_, folderPath_, name_;
  int folder_ = -1, fd_ = -1;
};

// Strips pass from the decoding thread to the writing one and back.
struct Ring {
  explicit Ring(std::size_t stride)
      : stripRows(static_cast<int>(std::max<std::size_t>(1, kStripBytes / stride))) {
    // Zeroed once: the padding at each row's end stays zero.
    for (auto& strip : strips) strip.assign(stride * static_cast<std::size_t>(stripRows), 0);
  }

  const int stripRows;
  std::array<std::vector<std::uint8_t>, kStrips> strips;
  std::array<int, kStrips> rows{};  // rows each full strip holds
  std::counting_semaphore<kStrips> free{kStrips};
  std::counting_semaphore<kStrips> full{0};
};

void WriteStrips(Ring& ring, const Block& block, const BmpLayout& layout, DurableOutput& output) {
  const std::size_t stride = layout.RowStride();
  const int height = layout.Height();
  for (int done = 0, next = 0; done < height; next = (next + 1) % static_cast<int>(kStrips)) {
    ring.full.acquire();
    std::uint8_t* strip = ring.strips[static_cast<std::size_t>(next)].data();
    const int rows = ring.rows[static_cast<std::size_t>(next)];
    // Slot i holds canvas row done + rows - 1 - i.
    for (int i = 0; i < rows; ++i) {
      const int y = done + rows - 1 - i;
      if (y < block.y || y >= block.y + block.height) continue;
      const std::size_t from = static_cast<std::size_t>(y - block.y) * block.width * 3;
      std::memcpy(strip + stride * static_cast<std::size_t>(i) + block.x * 3,
                  block.bgr.data() + from, static_cast<std::size_t>(block.width) * 3);
    }
    output.WriteAt(layout.RowOffset(done + rows - 1), strip,
                   stride * static_cast<std::size_t>(rows));
    ring.free.release();
    done += rows;
  }
}

// The canvas as the decoding thread reads it: Fill(strip, top, rows) puts
// rows top .. top + rows - 1 into the strip, the bottom one first.
struct Canvas {
  int width = 0, height = 0;
  std::function<void(std::uint8_t* strip, int top, int rows)> Fill;
  std::function<void()> Finish = [] {};
};

// Each strip's rows decoded straight into their slots.
Canvas JpegCanvas(Jpeg& jpeg, std::size_t stride) {
  jpeg_start_decompress(&jpeg.cinfo);
  auto slots = std::make_shared<std::vector<JSAMPROW>>();
  return {static_cast<int>(jpeg.cinfo.output_width), static_cast<int>(jpeg.cinfo.output_height),
          [&jpeg, slots, stride](std::uint8_t* strip, int, int rows) {
            slots->resize(static_cast<std::size_t>(rows));
            for (int i = 0; i < rows; ++i)
              (*slots)[static_cast<std::size_t>(i)] =
                  strip + stride * static_cast<std::size_t>(rows - 1 - i);
            jpeg.ReadInto(slots->data(), static_cast<JDIMENSION>(rows));
          },
          [&jpeg] { jpeg_finish_decompress(&jpeg.cinfo); }};
}

// A bottom-up 24-bit BMP holds each strip's rows in the file already as the
// output wants them: one read each.
Canvas BmpCanvas(const char* path, int file) {
  std::array<std::uint8_t, 54> header{};
  const auto number = [&](std::size_t at) {
    return static_cast<std::int32_t>(header[at] | header[at + 1] << 8 | header[at + 2] << 16 |
                                     static_cast<std::uint32_t>(header[at + 3]) << 24);
  };
  if (::pread(file, header.data(), header.size(), 0) != static_cast<ssize_t>(header.size()) ||
      header[0] != 'B' || header[1] != 'M' || number(22) <= 0 ||
      (header[28] | header[29] << 8) != 24 || number(30) != 0) {
    std::fprintf(stderr, "two_core_floor: %s: not a bottom-up 24-bit BMP\n", path);
    std::exit(2);
  }
  const int width = number(18), height = number(22);
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  const off_t pixels = number(10);
  return {width, height, [=](std::uint8_t* strip, int top, int rows) {
            const std::size_t bytes = stride * static_cast<std::size_t>(rows);
            const off_t at = pixels + static_cast<off_t>(stride) * (height - top - rows);
            if (::pread(file, strip, bytes, at) != static_cast<ssize_t>(bytes)) Fail(path);
          }};
}

void FillStrips(const Canvas& canvas, Ring& ring) {
  for (int done = 0, next = 0; done < canvas.height;
       next = (next + 1) % static_cast<int>(kStrips)) {
    ring.free.acquire();
    const int rows = std::min(ring.stripRows, canvas.height - done);
    canvas.Fill(ring.strips[static_cast<std::size_t>(next)].data(), done, rows);
    ring.rows[static_cast<std::size_t>(next)] = rows;
    ring.full.release();
    done += rows;
  }
  canvas.Finish();
}

bool StartsWith(const char* path, const char* magic) {
  std::array<char, 4> start{};
  std::FILE* file = std::fopen(path, "rb");
  if (!file) Fail(path);
  const std::size_t got = std::fread(start.data(), 1, start.size(), file);
  std::fclose(file);
  return got >= std::strlen(magic) && std::memcmp(start.data(), magic, std::strlen(magic)) == 0;
}

// The canvas file's bytes, strip by strip, into a durable output.
int CopyDurably(const char* canvas, const char* out) {
  const int in = ::open(canvas, O_RDONLY | O_CLOEXEC);
  if (in < 0) Fail(canvas);
  const off_t size = ::lseek(in, 0, SEEK_END);
  if (size < 0) Fail(canvas);
  DurableOutput output(out, static_cast<std::size_t>(size));
  std::vector<std::uint8_t> strip(kStripBytes);
  for (off_t done = 0; done < size;) {
    const ssize_t got = ::pread(in, strip.data(), strip.size(), done);
    if (got <= 0) Fail(canvas);
    output.WriteAt(static_cast<std::size_t>(done), strip.data(), static_cast<std::size_t>(got));
    done += got;
  }
  output.Commit();
  ::close(in);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--copy") == 0) return CopyDurably(argv[2], argv[3]);
  if (argc != 8 && argc != 10) {
    std::fprintf(stderr,
                 "usage: %s CANVAS INSET X Y WIDTH HEIGHT OUTPUT.bmp [FROMX FROMY]\n"
                 "       %s --copy CANVAS.bmp OUTPUT.bmp\n",
                 argv[0], argv[0]);
    return 2;
  }
  Block block{std::atoi(argv[3]),
              std::atoi(argv[4]),
              std::atoi(argv[5]),
              std::atoi(argv[6]),
              argc == 10 ? std::atoi(argv[8]) : 0,
              argc == 10 ? std::atoi(argv[9]) : 0,
              {}};
  const bool bmpCanvas = StartsWith(argv[1], "BM");
  const int bmpFile = bmpCanvas ? ::open(argv[1], O_RDONLY | O_CLOEXEC) : -1;
  std::optional<Jpeg> jpeg;
  if (!bmpCanvas) jpeg.emplace(argv[1]);
  // The ring's rows are as long as the output's: the canvas's width first.
  const Canvas canvas = bmpCanvas
                            ? BmpCanvas(argv[1], bmpFile)
                            : JpegCanvas(*jpeg, (jpeg->cinfo.image_width * 3 + 3) & ~JDIMENSION{3});
  const BmpLayout layout = *BmpLayout::For(canvas.width, canvas.height);
  if (block.x < 0 || block.y < 0 || block.fromX < 0 || block.fromY < 0 ||
      block.x + block.width > canvas.width || block.y + block.height > canvas.height) {
    std::fprintf(stderr, "two_core_floor: the block must lie inside the canvas\n");
    return 2;
  }
  const bool gifInset = StartsWith(argv[2], "GIF");
  Ring ring(layout.RowStride());
  std::thread writer([&] {
    DurableOutput output(argv[7], layout.FileSize());
    const auto header = layout.Header();
    output.WriteAt(0, header.data(), header.size());
    (gifInset ? DecodeGifBlock : DecodeJpegBlock)(argv[2], block);
    WriteStrips(ring, block, layout, output);
    output.Commit();
  });
  FillStrips(canvas, ring);
  writer.join();
  return 0;
}
