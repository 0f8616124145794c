
#include <gtest/gtest.h>

#include "base/failure.h"
#include "pictures/size_checks.h"

namespace tessarin::pictures {
namespace {

// Canvas and inset draw on one allowance: what one holds, the other cannot
// take, until it is given back.
TEST(HeldMemory, EverythingHeldWholeSharesOneAllowance) {
  const std::uint64_t left = HeldMemory::Left();
  {
    HeldMemory canvas = HoldWholeDecode("canvas.png", 8000, 8000, 4);  // 244 MiB
    EXPECT_EQ(HeldMemory::Left(), left - canvas.Bytes());
    EXPECT_THROW(HoldWholeDecode("inset.png", 2000, 2000, 4), Failure);
    HeldMemory moved = std::move(canvas);
    EXPECT_EQ(HeldMemory::Left(), left - moved.Bytes());
  }
  EXPECT_EQ(HeldMemory::Left(), left);
  EXPECT_NO_THROW(HoldWholeDecode("inset.png", 2000, 2000, 4));
}

TEST(PictureLimits, RowsWiderThanTheStreamBuffersAreRefusedByWidth) {
  EXPECT_NO_THROW(CheckWritableSize("wide.bmp", ports::kMaxPictureWidth, 1));
  try {
    CheckWritableSize("wide.bmp", ports::kMaxPictureWidth + 1, 1);
    ADD_FAILURE() << "accepted";
  } catch (const Failure& failure) {
    EXPECT_NE(std::string(failure.what()).find("1048577 pixels wide"), std::string::npos) << failure.what();
  }
}

}  // namespace
}  // namespace tessarin::pictures
