#include "linux/metafile_renderer.h"

#include <gtest/gtest.h>

#include "base/failure.h"
#include "linux/stale_modules.h"
#include "pictures/metafile_decoder.h"
#include "support/metafile_builder.h"
#include "support/picture_files.h"

namespace tessarin::linux_platform {
namespace {

using testing::Bytes;
using testing::Rgb;

// Through the module, with a bitmap record decoded by the BMP reader.
TEST(MetafileRenderer, DrawsThroughTheModuleAndReportsFailuresByFile) {
  pictures::DecodeSetup decoding({}, MetafileRendererAt(TESSARIN_METAFILE_MODULE));
  pictures::DecodeSetup nowhere({}, MetafileRendererAt("/nonexistent/tessarin-metafile.so"));
  testing::MetafileBuilder b;
  b.Placeable(0, 0, 300, 150, 1440).Record(0x0103, {1});  // 20 x 10 pixels
  const auto dib = testing::Dib24(1, 1, {0, 0, 255});
  b.WithBytes(0x0F43, {0x0020, 0x00CC, 0, 1, 1, 0, 0, 10, 20, 0, 0}, dib);  // StretchDIB, all of it
  auto source = pictures::OpenMetafile(testing::InMemory(b.Build(), "clip.wmf"), decoding);
  const ports::Bitmap image = testing::ReadWhole(*source);
  ASSERT_EQ(image.width, 20);
  ASSERT_EQ(image.height, 10);
  EXPECT_EQ(testing::PixelOf(image, 19, 9), (Rgb{255, 0, 0}));

  testing::MetafileBuilder broken;
  broken.Placeable(0, 0, 300, 150, 1440);
  Bytes damagedDib = dib;
  damagedDib[14] = 7;  // 7 bits per pixel
  broken.WithBytes(0x0F43, {0x0020, 0x00CC, 0, 1, 1, 0, 0, 10, 20, 0, 0}, damagedDib);
  try {
    pictures::OpenMetafile(testing::InMemory(broken.Build(), "clip.wmf"), decoding);
    ADD_FAILURE() << "drawn";
  } catch (const Failure& failure) {  // the bitmap's failure, the file named once
    EXPECT_EQ(failure.Kind(), FailureKind::DamagedPicture);
    EXPECT_TRUE(std::string(failure.what()).starts_with("clip.wmf: "));
    EXPECT_EQ(std::string(failure.what()).find("clip.wmf", 1), std::string::npos) << failure.what();
  }
  try {
    pictures::OpenMetafile(testing::InMemory(b.Build(), "clip.wmf"), nowhere);
    ADD_FAILURE() << "loaded";
  } catch (const Failure& failure) {
    EXPECT_NE(std::string(failure.what()).find("clip.wmf: the metafile module cannot be loaded"),
              std::string::npos);
  }
}

class StaleMetafileModule : public ::testing::TestWithParam<testing::StaleModule> {};

// Refused before any call (the module's would abort), by its file's name, as
// the picture's failure of the same kind as a missing module's.
TEST_P(StaleMetafileModule, IsRefusedByNameAsAMissingModuleIs) {
  pictures::DecodeSetup stale({}, MetafileRendererAt(GetParam().file));
  testing::MetafileBuilder b;
  b.Placeable(0, 0, 300, 150, 1440);
  try {
    pictures::OpenMetafile(testing::InMemory(b.Build(), "clip.wmf"), stale);
    ADD_FAILURE() << "drawn";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.Kind(), FailureKind::Platform);
    EXPECT_EQ(failure.what(), "clip.wmf: the metafile module cannot be loaded: " + GetParam().file +
                                  ": " + GetParam().exported + ", this program needs version " +
                                  std::to_string(pictures::metafile::kModuleVersion));
  }
}

INSTANTIATE_TEST_SUITE_P(OfAnotherInstall, StaleMetafileModule,
                         ::testing::ValuesIn(testing::kStaleModules));

}  // namespace
}  // namespace tessarin::linux_platform
