#include "linux/picture_sandbox/linux_pictures.h"

#include <gtest/gtest.h>

#include "base/failure.h"
#include "linux/linux_files.h"
#include "support/picture_files.h"
#include "support/temporary_folder.h"

namespace tessarin::linux_platform {
namespace {

using testing::Bytes;
using testing::Rgb;

TEST(LinuxPictures, OpensEachFormatByContentWhateverTheName) {
  testing::TemporaryFolder folder;
  const std::vector<Rgb> palette = {{10, 20, 30}, {40, 50, 60}};
  const std::pair<std::string, Bytes> pictureFiles[] = {
      {"photo.bmp", testing::EncodeJpeg(20, 10,
                                        [](int, int) {
                                          return Rgb{250, 250, 250};
                                        })},
      {"anim.jpg", testing::EncodeGif(20, 10, std::vector<std::uint8_t>(200, 1), palette)},
      {"noext", testing::EncodePng(20, 10, Bytes(600, 40))},
  };
  InputOpener inputs;
  pictures::DecodeSetup decoding;
  picture_sandbox::LinuxPictures pictures(inputs, decoding);
  for (const auto& [name, bytes] : pictureFiles) {
    testing::WriteWholeFile(folder / name, std::string(bytes.begin(), bytes.end()));
    auto source = pictures.Open(folder / name);
    ASSERT_EQ(source->Width(), 20) << name;
    const ports::Bitmap image = testing::ReadWhole(*source);
    EXPECT_EQ(testing::PixelOf(image, 19, 9).g / 10, name == "photo.bmp"  ? 25
                                                     : name == "anim.jpg" ? 5
                                                                          : 4)
        << name;
  }
  testing::WriteWholeFile(folder / "notes.jpg", "not a picture at all");
  try {
    pictures.Open(folder / "notes.jpg");
    ADD_FAILURE() << "opened";
  } catch (const Failure& failure) {
    EXPECT_EQ(std::string(failure.what()).rfind(folder / "notes.jpg", 0), 0u) << failure.what();
  }
}

// The files port and the pictures share what a lookup found: the picture
// decoded is the file found, whatever took its name since.
TEST(LinuxPictures, DecodeTheFileTheFilesPortFound) {
  testing::TemporaryFolder folder;
  const Bytes found = testing::EncodePng(20, 10, Bytes(600, 40));
  const Bytes swapped = testing::EncodePng(30, 10, Bytes(900, 40));
  testing::WriteWholeFile(folder / "inset.png", std::string(found.begin(), found.end()));
  testing::WriteWholeFile(folder / "swapped.png", std::string(swapped.begin(), swapped.end()));
  LinuxFiles files;
  pictures::DecodeSetup decoding;
  picture_sandbox::LinuxPictures pictures(files.Inputs(), decoding);
  ASSERT_TRUE(files.IsOrdinaryFile(folder / "inset.png"));
  std::filesystem::rename(folder / "swapped.png", folder / "inset.png");
  EXPECT_EQ(pictures.Open(folder / "inset.png")->Width(), 20);
}

}  // namespace
}  // namespace tessarin::linux_platform
