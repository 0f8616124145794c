// The least a wallpaper of a JPEG canvas costs on two cores, written as
// durably as Tessarin writes it: one thread decodes the canvas into a ring of
// strips, in the order the bottom-up BMP file wants each strip's rows; the
// other creates the output (an unnamed file beside it, its size reserved),
// decodes the inset's block, then patches each strip and writes it at its
// place, starting its write-back at once; at the end the file is flushed,
// named, renamed over the output and its folder flushed. No sandbox, no
// settings, no desktop: what is left when all of that costs nothing.
//
//   two_core_floor CANVAS.jpg INSET.jpg X Y WIDTH HEIGHT OUTPUT.bmp
//
// The block (X, Y, WIDTH, HEIGHT) must lie inside both pictures.

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
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

// jpeglib.h needs FILE declared first.
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
  std::vector<std::uint8_t> bgr;
};

// The inset's top-left WIDTH x HEIGHT, as Tessarin decodes it: only the
// columns it needs (one block column more), only its rows.
void DecodeBlock(const char* inset, Block& block) {
  Jpeg jpeg(inset);
  jpeg_start_decompress(&jpeg.cinfo);
  JDIMENSION left = 0;
  JDIMENSION width = std::min<JDIMENSION>(block.width + jpeg.cinfo.max_h_samp_factor * DCTSIZE,
                                          jpeg.cinfo.output_width);
  jpeg_crop_scanline(&jpeg.cinfo, &left, &width);
  std::vector<std::uint8_t> row(jpeg.cinfo.output_width * 3);
  const std::size_t stride = static_cast<std::size_t>(block.width) * 3;
  block.bgr.resize(stride * static_cast<std::size_t>(block.height));
  for (int y = 0; y < block.height; ++y) {
    JSAMPROW r = row.data();
    jpeg.ReadInto(&r, 1);
    std::memcpy(block.bgr.data() + stride * static_cast<std::size_t>(y), row.data(), stride);
  }
  jpeg_abort_decompress(&jpeg.cinfo);
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
    ::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(size),
                      SYNC_FILE_RANGE_WRITE);
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

// Each strip's rows go straight into their slots, the bottom one first.
void DecodeStrips(Jpeg& canvas, Ring& ring, std::size_t stride) {
  const int height = static_cast<int>(canvas.cinfo.output_height);
  std::vector<JSAMPROW> slots(static_cast<std::size_t>(ring.stripRows));
  for (int done = 0, next = 0; done < height; next = (next + 1) % static_cast<int>(kStrips)) {
    ring.free.acquire();
    const int rows = std::min(ring.stripRows, height - done);
    std::uint8_t* strip = ring.strips[static_cast<std::size_t>(next)].data();
    for (int i = 0; i < rows; ++i)
      slots[static_cast<std::size_t>(i)] = strip + stride * static_cast<std::size_t>(rows - 1 - i);
    canvas.ReadInto(slots.data(), static_cast<JDIMENSION>(rows));
    ring.rows[static_cast<std::size_t>(next)] = rows;
    ring.full.release();
    done += rows;
  }
  jpeg_finish_decompress(&canvas.cinfo);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr, "usage: %s CANVAS.jpg INSET.jpg X Y WIDTH HEIGHT OUTPUT.bmp\n", argv[0]);
    return 2;
  }
  Block block{std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]), {}};
  Jpeg canvas(argv[1]);
  jpeg_start_decompress(&canvas.cinfo);
  const int width = static_cast<int>(canvas.cinfo.output_width);
  const int height = static_cast<int>(canvas.cinfo.output_height);
  const BmpLayout layout = *BmpLayout::For(width, height);
  const std::size_t stride = layout.RowStride();
  if (block.x < 0 || block.y < 0 || block.x + block.width > width ||
      block.y + block.height > height) {
    std::fprintf(stderr, "two_core_floor: the block must lie inside the canvas\n");
    return 2;
  }
  Ring ring(stride);
  std::thread writer([&] {
    DurableOutput output(argv[7], layout.FileSize());
    const auto header = layout.Header();
    output.WriteAt(0, header.data(), header.size());
    DecodeBlock(argv[2], block);
    WriteStrips(ring, block, layout, output);
    output.Commit();
  });
  DecodeStrips(canvas, ring, stride);
  writer.join();
  return 0;
}
