#include "wallpaper/block_placement.h"

#include <gtest/gtest.h>

#include <climits>

namespace tessarin::wallpaper {
namespace {

constexpr PictureSize kInset{200, 100};
constexpr PictureSize kCanvas{640, 480};

void ExpectPlacement(const BlockPlacement& p, int sx, int sy, int cx, int cy, int w, int h) {
  EXPECT_EQ(p.sourceX, sx);
  EXPECT_EQ(p.sourceY, sy);
  EXPECT_EQ(p.canvasX, cx);
  EXPECT_EQ(p.canvasY, cy);
  EXPECT_EQ(p.width, w);
  EXPECT_EQ(p.height, h);
}

TEST(PlaceBlock, InsideTheCanvasTheWholeBlockLandsAtXY) {
  ExpectPlacement(PlaceBlock(10, 20, 100, 50, kInset, kCanvas), 0, 0, 10, 20, 100, 50);
}

TEST(PlaceBlock, IsClippedToTheInsetsOwnSize) {
  ExpectPlacement(PlaceBlock(0, 0, 500, 500, kInset, kCanvas), 0, 0, 0, 0, 200, 100);
}

TEST(PlaceBlock, NegativeCoordinatesDropTheBlocksLeftAndTopParts) {
  ExpectPlacement(PlaceBlock(-30, -10, 100, 50, kInset, kCanvas), 30, 10, 0, 0, 70, 40);
}

TEST(PlaceBlock, ReachingPastTheRightAndBottomEdgesKeepsWhatOverlaps) {
  ExpectPlacement(PlaceBlock(600, 450, 100, 50, kInset, kCanvas), 0, 0, 600, 450, 40, 30);
}

TEST(PlaceBlock, NothingLandsForEmptySizesOrAnAreaOffTheCanvas) {
  EXPECT_TRUE(PlaceBlock(10, 10, 0, 50, kInset, kCanvas).Empty());
  EXPECT_TRUE(PlaceBlock(10, 10, 50, -5, kInset, kCanvas).Empty());
  EXPECT_TRUE(PlaceBlock(640, 0, 50, 50, kInset, kCanvas).Empty());
  EXPECT_TRUE(PlaceBlock(-50, 0, 50, 50, kInset, kCanvas).Empty());
  EXPECT_TRUE(PlaceBlock(0, 480, 50, 50, kInset, kCanvas).Empty());
}

TEST(PlaceBlock, ExtremeValuesDoNotOverflow) {
  EXPECT_TRUE(PlaceBlock(INT_MAX, INT_MAX, INT_MAX, INT_MAX, kInset, kCanvas).Empty());
  EXPECT_TRUE(PlaceBlock(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kInset, kCanvas).Empty());
  EXPECT_TRUE(PlaceBlock(INT_MIN, 0, INT_MIN, INT_MIN, kInset, kCanvas).Empty());
  ExpectPlacement(PlaceBlock(-150, -90, INT_MAX, INT_MAX, kInset, kCanvas), 150, 90, 0, 0, 50, 10);
}

}  // namespace
}  // namespace tessarin::wallpaper
