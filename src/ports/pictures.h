#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/bmp_size.h"

namespace tessarin::ports {

// Pixels as the output file stores them: 3 bytes a pixel, blue, green, red.
constexpr int kBytesPerPixel = 3;

// A decoded picture held whole, top row first, rows packed without padding.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgr;
};

enum class RowOrder { TopDown, BottomUp };

// Rows a picture lends where it holds them, packed, in its row order: the
// reader may read and change them in place until it next reads the picture.
struct LentRows {
  std::uint8_t* first = nullptr;
  int count = 0;
};

// An opened picture whose header has been checked, delivered row by row in
// the order its file stores them, already flattened to opaque BGR pixels.
class Picture {
 public:
  virtual ~Picture() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual RowOrder Order() const = 0;

  // Decodes the next `rows` rows into `out` (rows * Width() * 3 bytes).
  // Throws Failure on damaged data.
  virtual void ReadRows(std::uint8_t* out, int rows) = 0;

  // The top-left block of min(width, Width()) by min(height, Height()) pixels,
  // top row first. Call it instead of ReadRows, not after.
  virtual Bitmap ReadTopLeft(int width, int height) = 0;

  // Says that the rows will be read, not the block: a picture decoded apart
  // from the reader may start decoding them now, ahead of the first ReadRows.
  virtual void ReadAhead() {}

  // Says that the block of this size will be read, not the rows: a picture
  // decoded apart from the reader may start decoding it now, ahead of the
  // ReadTopLeft with the same size.
  virtual void AskTopLeft(int /*width*/, int /*height*/) {}

  // False while a picture decoded apart is still decoding the block asked
  // for, so that ReadTopLeft would wait; else true.
  virtual bool TopLeftReady() { return true; }

  // The next rows where the picture holds them, without copying them: at
  // most `rows`, at least one while any is left. None (count 0) from a
  // picture that lends no rows: the reader then reads them with ReadRows.
  virtual LentRows LendRows(int /*rows*/) { return {}; }
};

class Pictures {
 public:
  virtual ~Pictures() = default;
  // Opens the picture and checks its header; the format is decided by the
  // file's bytes. Throws Failure for a file that is not a readable picture,
  // or one beyond the decoders' limits (rows too wide to stream, among them).
  virtual std::unique_ptr<Picture> Open(const std::string& path) = 0;
};

}  // namespace tessarin::ports
