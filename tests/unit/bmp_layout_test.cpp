#include "wallpaper/bmp_layout.h"

#include <gtest/gtest.h>

#include "base/little_endian.h"

namespace tessarin::wallpaper {
namespace {

TEST(BmpLayout, RowsArePaddedToFourBytesAndStoredBottomUp) {
  const auto layout = BmpLayout::For(5, 3);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->RowStride(), 16u);  // 15 bytes of pixels, 1 of padding
  EXPECT_EQ(layout->FileSize(), 54u + 48u);
  EXPECT_EQ(layout->RowOffset(2), 54u);  // the bottom row comes first
  EXPECT_EQ(layout->RowOffset(0), 54u + 32u);
}

TEST(BmpLayout, HeaderDescribesA24BitUncompressedBottomUpBitmap) {
  const auto h = BmpLayout::For(640, 480)->Header();
  EXPECT_EQ(h[0], 'B');
  EXPECT_EQ(h[1], 'M');
  EXPECT_EQ(Le32(&h[2]), 54u + 1920u * 480u);
  EXPECT_EQ(Le32(&h[10]), 54u);
  EXPECT_EQ(Le32(&h[14]), 40u);
  EXPECT_EQ(Le32(&h[18]), 640u);
  EXPECT_EQ(Le32(&h[22]), 480u);  // positive height: bottom-up
  EXPECT_EQ(h[28], 24);
  EXPECT_EQ(Le32(&h[30]), 0u);  // BI_RGB
}

TEST(BmpLayout, RefusesPicturesThatDoNotFitTheSizeField) {
  EXPECT_FALSE(BmpLayout::For(0, 10));
  EXPECT_FALSE(BmpLayout::For(10, -1));
  EXPECT_FALSE(BmpLayout::For(40000, 40000));  // 4.8 GB
  EXPECT_TRUE(BmpLayout::For(16384, 16384));   // 805 MB still fits
  EXPECT_FALSE(BmpLayout::For(2147483647, 2147483647));
}

}  // namespace
}  // namespace tessarin::wallpaper
