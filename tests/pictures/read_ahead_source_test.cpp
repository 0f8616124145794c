#include "pictures/read_ahead_source.h"

#include <gtest/gtest.h>

#include "base/failure.h"
#include "pictures/held/decode_limits.h"
#include "support/picture_files.h"

namespace tessarin::pictures {
namespace {

// Rows whose every byte is the row's number; fails at `failAt` if set.
class NumberedRows : public ports::Picture {
 public:
  NumberedRows(int width, int height, int failAt = -1) : width_(width), height_(height), failAt_(failAt) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  ports::RowOrder Order() const override { return ports::RowOrder::BottomUp; }
  void ReadRows(std::uint8_t* out, int rows) override {
    for (int i = 0; i < rows; ++i, ++next_) {
      if (next_ == failAt_) throw Failure::InFile(FailureKind::DamagedPicture, "rows.bmp", "damaged row");
      std::fill_n(out + static_cast<std::size_t>(i) * width_ * 3, width_ * 3, static_cast<std::uint8_t>(next_));
    }
  }
  ports::Bitmap ReadTopLeft(int width, int height) override {
    return {width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3, 7)};
  }

 private:
  int width_, height_, failAt_, next_ = 0;
};

const std::size_t kStripBytes = pictures::DecodeLimits{}.readAheadStripBytes;

TEST(ReadAheadSource, DeliversEveryRowInOrderWhateverTheReadSizes) {
  // 100000-pixel rows: one row to a strip; 9-pixel rows: thousands to a strip.
  for (int width : {100000, 9}) {
    ReadAheadSource source(std::make_unique<NumberedRows>(width, 700), "rows.bmp", kStripBytes);
    EXPECT_EQ(source.Order(), ports::RowOrder::BottomUp);
    std::vector<std::uint8_t> rows(std::size_t(width) * 3 * 50);
    int next = 0;
    for (int count : {1, 3, 50, 1, 45}) {
      while (next + count <= 700 && count) {
        source.ReadRows(rows.data(), count);
        for (int i = 0; i < count; ++i, ++next) {
          ASSERT_EQ(rows[std::size_t(i) * width * 3 + 5], static_cast<std::uint8_t>(next)) << width;
        }
        if (next > 300 && count != 45) break;
      }
    }
    source.ReadRows(rows.data(), 700 - next);
    try {
      source.ReadRows(rows.data(), 1);
      ADD_FAILURE() << "read past the last row";
    } catch (const Failure& failure) {
      EXPECT_STREQ(failure.what(), "rows.bmp: the picture was read past its last row");
    }
  }
}

TEST(ReadAheadSource, ReadsInTheCallersThreadWhenNoThreadCanStart) {
  auto refuse = [](std::function<void()>) -> std::thread {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  };
  ReadAheadSource source(std::make_unique<NumberedRows>(9, 40, 30), "rows.bmp", kStripBytes,
                         refuse);
  std::vector<std::uint8_t> rows(9 * 3 * 30);
  source.ReadRows(rows.data(), 30);
  EXPECT_EQ(rows[9 * 3 * 29], 29);
  EXPECT_THROW(source.ReadRows(rows.data(), 1), Failure);  // the source's own failure
}

TEST(ReadAheadSource, PassesTheDecodersFailureToTheReaderAndStopsWhenDropped) {
  ReadAheadSource failing(std::make_unique<NumberedRows>(10, 5000, 3000), "rows.bmp", kStripBytes);
  std::vector<std::uint8_t> row(30);
  for (int y = 0; y < 3000; ++y) failing.ReadRows(row.data(), 1);
  try {
    failing.ReadRows(row.data(), 1);
    ADD_FAILURE() << "read";
  } catch (const Failure& failure) {
    EXPECT_STREQ(failure.what(), "rows.bmp: damaged row");
  }
  // Dropped after one row: the thread ahead must end, not wait forever.
  auto dropped = std::make_unique<ReadAheadSource>(std::make_unique<NumberedRows>(10, 100000),
                                                   "rows.bmp", kStripBytes);
  dropped->ReadRows(row.data(), 1);
  dropped.reset();
  EXPECT_EQ(ReadAheadSource(std::make_unique<NumberedRows>(4, 4), "rows.bmp", kStripBytes)
                .ReadTopLeft(2, 3)
                .bgr.size(),
            18u);
}

}  // namespace
}  // namespace tessarin::pictures
