#include "linux/picture_sandbox/sandboxed_picture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/failure.h"
#include "linux/linux_files.h"
#include "linux/metafile_renderer.h"
#include "linux/picture_sandbox/confinement.h"
#include "linux/picture_sandbox/decoder_bounds.h"
#include "linux/picture_sandbox/linux_pictures.h"
#include "pictures/held/held_picture.h"
#include "pictures/metafile_source.h"
#include "support/metafile_builder.h"
#include "support/picture_files.h"
#include "support/temporary_folder.h"

namespace tessarin::linux_platform {
namespace {

using testing::Bytes;

// Rows whose every byte is the row's number; fails at row `failAt` if set.
class NumberedRows : public ports::Picture {
 public:
  NumberedRows(int width, int height, int failAt = -1)
      : width_(width), height_(height), failAt_(failAt) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  ports::RowOrder Order() const override { return ports::RowOrder::BottomUp; }
  void ReadRows(std::uint8_t* out, int rows) override {
    for (int i = 0; i < rows; ++i, ++next_) {
      if (next_ == failAt_)
        throw Failure::InFile(FailureKind::DamagedPicture, "rows.bmp", "damaged row");
      std::fill_n(out + static_cast<std::size_t>(i) * width_ * 3, width_ * 3,
                  static_cast<std::uint8_t>(next_));
    }
  }
  ports::Bitmap ReadTopLeft(int width, int height) override {
    if (width <= 0 || height <= 0) return {};
    ports::Bitmap block{std::min(width, width_), std::min(height, height_), {}};
    block.bgr.resize(std::size_t(block.width) * block.height * 3);
    for (std::size_t i = 0; i < block.bgr.size(); ++i) block.bgr[i] = static_cast<std::uint8_t>(i);
    return block;
  }

 private:
  int width_, height_, failAt_, next_ = 0;
};

using Decode = std::function<std::unique_ptr<ports::Picture>(std::unique_ptr<ports::InputFile>)>;

class SandboxedPictureTest : public ::testing::Test {
 protected:
  SandboxedPictureTest() { testing::WriteWholeFile(folder_ / "rows.bmp", "any bytes"); }

  std::unique_ptr<SandboxedPicture> Open(Decode decode, const std::string& name = "rows.bmp") {
    auto file = files_.OpenForReading(folder_ / name);
    const int descriptor = DescriptorOf(*file);
    return std::make_unique<SandboxedPicture>(
        std::move(file), descriptor, DecoderSteps{[](ports::InputFile&) {}, std::move(decode)},
        setup_);
  }

  static Decode Rows(int width, int height, int failAt = -1) {
    return [=](std::unique_ptr<ports::InputFile>) {
      return std::make_unique<NumberedRows>(width, height, failAt);
    };
  }

  // The failure's text, thrown by `open` or by reading every row; its kind
  // is left in kind_.
  template <typename Open>
  std::string FailureOf(Open open) {
    try {
      auto picture = open();
      std::vector<std::uint8_t> row(std::size_t(picture->Width()) * 3);
      for (int y = 0; y < picture->Height(); ++y) picture->ReadRows(row.data(), 1);
    } catch (const Failure& failure) {
      kind_ = failure.Kind();
      return failure.what();
    }
    return "no failure";
  }

  testing::TemporaryFolder folder_;
  LinuxFiles files_;
  pictures::DecodeSetup setup_{{}, MetafileRendererAt(TESSARIN_METAFILE_MODULE)};
  FailureKind kind_ = FailureKind::Platform;
};

TEST_F(SandboxedPictureTest, DeliversEveryRowInOrderWhateverTheReadSizes) {
  // 100000-pixel rows: one row to a strip; 9-pixel rows: thousands to a strip.
  for (int width : {100000, 9}) {
    auto picture = Open(Rows(width, 700));
    EXPECT_EQ(picture->Order(), ports::RowOrder::BottomUp);
    std::vector<std::uint8_t> rows(std::size_t(width) * 3 * 300);
    int next = 0;
    for (int count : {1, 3, 50, 1, 45, 300, 300}) {
      count = std::min(count, 700 - next);
      picture->ReadRows(rows.data(), count);
      for (int i = 0; i < count; ++i, ++next) {
        ASSERT_EQ(rows[std::size_t(i) * width * 3 + 5], static_cast<std::uint8_t>(next)) << width;
      }
    }
    EXPECT_THROW(picture->ReadRows(rows.data(), 1), Failure);  // past the last row
  }
}

TEST_F(SandboxedPictureTest, ReturnsTheBlockThroughTheSharedMemory) {
  for (auto [width, height] : {std::pair{2, 3}, {600, 500}, {0, 5}}) {
    const ports::Bitmap block = Open(Rows(400, 700))->ReadTopLeft(width, height);
    const NumberedRows expected(400, 700);
    EXPECT_EQ(block.bgr, const_cast<NumberedRows&>(expected).ReadTopLeft(width, height).bgr)
        << width;
  }
}

TEST_F(SandboxedPictureTest, PassesTheDecodersFailureUnchangedAfterTheRowsBeforeIt) {
  auto picture = Open(Rows(10, 5000, 3000));
  std::vector<std::uint8_t> row(30);
  for (int y = 0; y < 3000; ++y) picture->ReadRows(row.data(), 1);
  EXPECT_EQ(row[0], static_cast<std::uint8_t>(2999));
  try {
    picture->ReadRows(row.data(), 1);
    ADD_FAILURE() << "read";
  } catch (const Failure& failure) {
    EXPECT_STREQ(failure.what(), "rows.bmp: damaged row");
  }
  EXPECT_EQ(FailureOf([&] {
              return Open([](auto) -> std::unique_ptr<ports::Picture> {
                throw Failure(FailureKind::PictureUnreadable, "a header fault");
              });
            }),
            "a header fault");
  EXPECT_EQ(kind_, FailureKind::PictureUnreadable);
}

TEST_F(SandboxedPictureTest, StopsTheDecoderWhenDropped) {
  auto picture = Open(Rows(10, 100000));
  std::vector<std::uint8_t> row(30);
  picture->ReadRows(row.data(), 1);
  const pid_t decoder = picture->DecoderProcess();
  ASSERT_GT(decoder, 0);
  picture.reset();
  EXPECT_NE(::kill(decoder, 0), 0);  // ended and reaped
}

TEST_F(SandboxedPictureTest, EveryDecoderOfTheRunTakesFromOneAllowance) {
  const auto holding = [this](std::uint64_t mib) {
    return [this, mib](std::unique_ptr<ports::InputFile> file) {
      auto held = setup_.allowance.Take(file->Path(), mib << 20);
      return std::make_unique<pictures::HeldPicture>(ports::Bitmap{1, 1, {0, 0, 0}}, file->Path(),
                                                     std::move(held));
    };
  };
  auto first = Open(holding(200));
  EXPECT_NE(FailureOf([&] { return Open(holding(100)); }).find("too large to decode in memory"),
            std::string::npos);
  first.reset();  // what its decoder held is given back
  EXPECT_EQ(FailureOf([&] { return Open(holding(100)); }), "no failure");
}

// A decoder that does what a taken-over one would: each is killed.
struct Misdeed {
  const char* name;
  std::function<void()> act;
};

class ForbiddenCalls : public SandboxedPictureTest,
                       public ::testing::WithParamInterface<Misdeed> {};

TEST_P(ForbiddenCalls, KillTheDecoder) {
  const auto act = GetParam().act;
  EXPECT_EQ(FailureOf([&] {
              return Open([act](auto) -> std::unique_ptr<ports::Picture> {
                act();
                return std::make_unique<NumberedRows>(1, 1);
              });
            }),
            folder_ / "rows.bmp" + ": the picture's decoder stopped (signal 31)");
  EXPECT_EQ(kind_, FailureKind::DecoderStopped);
}

INSTANTIATE_TEST_SUITE_P(
    SandboxedPicture, ForbiddenCalls,
    ::testing::Values(Misdeed{"OpenAFile", [] { ::open("/etc/passwd", O_RDONLY); }},
                      Misdeed{"CreateAFile", [] { ::creat("owned", 0600); }},
                      Misdeed{"OpenASocket", [] { ::socket(AF_INET, SOCK_STREAM, 0); }},
                      Misdeed{"SignalTheRun", [] { ::kill(::getppid(), SIGTERM); }},
                      Misdeed{"Execute", [] { ::execl("/bin/true", "true", nullptr); }},
                      Misdeed{"WriteToStandardError", [] { ::write(2, "x", 1); }}),
    [](const auto& test) { return test.param.name; });

// Bombs the cost model would miss, each caught by a bound the kernel keeps.
struct Bomb {
  const char* name;
  Decode decode;
  std::string reason;
};

class KernelBounds : public SandboxedPictureTest, public ::testing::WithParamInterface<Bomb> {};

TEST_P(KernelBounds, StopTheDecoderWithItsReason) {
  if (!kDecoderDataLimited && std::string(GetParam().name) == "MemoryBeyondTheLimit")
    GTEST_SKIP() << "no data limit under AddressSanitizer, whose shadow memory counts as data";
  if (!kDecoderDataLimited && std::string(GetParam().name) == "ACrash")
    GTEST_SKIP() << "AddressSanitizer's report of the crash opens files, which the filter "
                    "refuses: the decoder ends by SIGSYS there";
  EXPECT_EQ(FailureOf([&] { return Open(GetParam().decode); }),
            folder_ / "rows.bmp" + ": " + GetParam().reason);
  EXPECT_EQ(kind_, FailureKind::DecoderStopped);
}

volatile bool forever = true;  // read on every turn: a loop that may not be optimised away

// Rows that take forever, or a picture that asks for more memory than there is.
class SlowRows : public NumberedRows {
 public:
  SlowRows() : NumberedRows(10, 10) {}
  void ReadRows(std::uint8_t*, int) override {
    while (forever) {
    }
  }
};

const std::string kTooLong = "the picture took longer than " +
                             std::to_string(pictures::DecodeLimits{}.decodeSeconds) +
                             " seconds to decode";

INSTANTIATE_TEST_SUITE_P(
    SandboxedPicture, KernelBounds,
    ::testing::Values(
        Bomb{"MemoryBeyondTheLimit",
             [](auto) -> std::unique_ptr<ports::Picture> {
               std::vector<std::uint8_t> bomb((pictures::DecodeLimits{}.decoderMiB + 1) << 20, 1);
               return std::make_unique<NumberedRows>(1, bomb[7]);
             },
             "the picture needs more than " + std::to_string(pictures::DecodeLimits{}.decoderMiB) +
                 " MiB"},
        Bomb{"AHeaderThatNeverEnds",
             [](auto) -> std::unique_ptr<ports::Picture> {
               while (forever) {
               }
               return nullptr;
             },
             kTooLong},
        Bomb{"RowsThatNeverEnd", [](auto) { return std::make_unique<SlowRows>(); }, kTooLong},
        Bomb{"ADecoderThatWaitsForever",  // no CPU time spent: the run's deadline stops it
             [](auto) -> std::unique_ptr<ports::Picture> {
               ::poll(nullptr, 0, -1);
               return nullptr;
             },
             kTooLong},
        Bomb{"ACrash",
             [](auto) -> std::unique_ptr<ports::Picture> {
               *static_cast<volatile int*>(nullptr) = 1;
               return nullptr;
             },
             "the picture's decoder stopped (signal 11)"}),
    [](const auto& test) { return test.param.name; });

std::string ProcFile(pid_t pid, const std::string& name) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The decoders of a run, for a streamed picture and for a metafile with text
// (its renderer and fonts loaded before the filter): confined, bounded, and
// holding nothing but their file and channel.
class RealDecoders : public SandboxedPictureTest,
                     public ::testing::WithParamInterface<const char*> {};

Bytes MetafileWithText() {
  testing::MetafileBuilder b;
  b.Placeable(0, 0, 200, 100, 96);
  int slot = 0;
  for (const char* face : {"Arial", "Times New Roman", "Courier New"}) {
    for (int weight : {400, 700}) {
      std::vector<std::uint8_t> name(face, face + std::strlen(face) + 1);
      b.WithBytes(0x02FB, {-20, 0, 0, 0, weight, weight == 700 ? 1 : 0, 0, 0, 0}, name)
          .Record(0x012D, {slot++})
          .WithBytes(0x0521, {4}, {'T', 'e', 'x', 't'}, {slot * 15, 10});
    }
  }
  return b.Objects(8).Build();
}

TEST_P(RealDecoders, AreConfinedBoundedAndHoldOnlyTheirFileAndChannel) {
  const std::string name = GetParam();
  Bytes grey(600, 40);
  grey[5] = 200;
  const Bytes bytes = name == "text.wmf" ? MetafileWithText() : testing::EncodePng(20, 10, grey);
  testing::WriteWholeFile(folder_ / name, std::string(bytes.begin(), bytes.end()));
  auto file = files_.OpenForReading(folder_ / name);
  const int descriptor = DescriptorOf(*file);
  SandboxedPicture picture(std::move(file), descriptor, RealDecoderSteps(setup_), setup_);
  const pid_t decoder = picture.DecoderProcess();
  const std::string status = ProcFile(decoder, "status");
  EXPECT_NE(status.find("Seccomp:\t2\n"), std::string::npos) << status;
  EXPECT_NE(status.find("NoNewPrivs:\t1\n"), std::string::npos) << status;
  const std::string limits = ProcFile(decoder, "limits");
  if (kDecoderDataLimited) {  // see kDecoderDataLimited: not under AddressSanitizer
    EXPECT_NE(limits.find("Max data size             " +
                          std::to_string(pictures::DecodeLimits{}.decoderMiB << 20)),
              std::string::npos)
        << limits;
  }
  EXPECT_NE(limits.find("Max cpu time              " +
                        std::to_string(pictures::DecodeLimits{}.decodeSeconds + 1)),
            std::string::npos)
      << limits;
  std::vector<std::string> held;
  for (const auto& entry :
       std::filesystem::directory_iterator("/proc/" + std::to_string(decoder) + "/fd")) {
    held.push_back(std::filesystem::read_symlink(entry.path()).string());
  }
  std::sort(held.begin(), held.end());
  // A streamed picture's file stays open; a metafile's, read whole, is closed.
  ASSERT_EQ(held.size(), name == "text.wmf" ? 1u : 2u);
  if (held.size() == 2) {
    EXPECT_EQ(held[0], folder_ / name);
  }
  EXPECT_EQ(held.back().rfind("socket:", 0), 0u) << held.back();
  const ports::Bitmap image = testing::ReadWhole(picture);
  EXPECT_EQ(image.width, name == "text.wmf" ? 200 : 20);
  const auto [dark, light] = std::minmax_element(image.bgr.begin(), image.bgr.end());
  EXPECT_LT(*dark, *light) << "the text drawn, or the picture's grey";
}

INSTANTIATE_TEST_SUITE_P(SandboxedPicture, RealDecoders,
                         ::testing::Values("picture.png", "text.wmf"),
                         [](const auto& test) { return std::string(test.param).substr(0, 4); });

}  // namespace
}  // namespace tessarin::linux_platform
