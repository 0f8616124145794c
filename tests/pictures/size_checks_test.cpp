
#include "pictures/size_checks.h"

#include <gtest/gtest.h>

#include "base/failure.h"

namespace tessarin::pictures {
namespace {

// Canvas and inset draw on one allowance: what one holds, the other cannot
// take, until it is given back.
TEST(HeldMemory, EverythingHeldWholeSharesOneAllowance) {
  DecodeSetup setup;
  const std::uint64_t left = setup.allowance.Left();
  {
    held::HeldMemory canvas = HoldWholeDecode("canvas.png", 8000, 8000, 4, setup);  // 244 MiB
    EXPECT_EQ(setup.allowance.Left(), left - canvas.Bytes());
    EXPECT_THROW(HoldWholeDecode("inset.png", 2000, 2000, 4, setup), Failure);
    held::HeldMemory moved = std::move(canvas);
    EXPECT_EQ(setup.allowance.Left(), left - moved.Bytes());
  }
  EXPECT_EQ(setup.allowance.Left(), left);
  EXPECT_NO_THROW(HoldWholeDecode("inset.png", 2000, 2000, 4, setup));
}

TEST(PictureLimits, RowsWiderThanTheStreamBuffersAreRefusedByWidth) {
  const limits::DecodeLimits limits;
  EXPECT_NO_THROW(CheckWritableSize("wide.bmp", limits.maxPictureWidth, 1, limits));
  try {
    CheckWritableSize("wide.bmp", limits.maxPictureWidth + 1, 1, limits);
    ADD_FAILURE() << "accepted";
  } catch (const Failure& failure) {
    EXPECT_NE(std::string(failure.what()).find("1048577 pixels wide"), std::string::npos)
        << failure.what();
  }
}

}  // namespace
}  // namespace tessarin::pictures
