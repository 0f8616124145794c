// The built program with pictures of every format: composed when whole, a
// failure stop naming the file (and the old output untouched) when damaged.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "end_to_end/tessarin_process.h"
#include "limits/decode_limits.h"
#include "support/encode_bmp.h"
#include "support/fake_platform.h"
#include "support/metafile_builder.h"
#include "support/picture_files.h"
#include "support/written_bmp.h"

namespace tessarin::testing {
namespace {

class PictureFormatsRun : public ::testing::Test {
 protected:
  PictureFormatsRun() { user.PassFirstRun(); }
  RunResult Compose(const std::string& canvas, const std::string& inset, const std::string& area) {
    return user.Run({canvas + ",", inset + ",", area, "out.bmp"});
  }
  WrittenBmp Output() const {
    const std::string bytes = ReadWholeFile(user.Home() / "out.bmp");
    return WrittenBmp(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  }
  ThrowAwayUser user;
};

// A red 40 x 30 JPEG canvas and a green 10 x 10 metafile inset (drawn by the
// module beside the executable), then a GIF and a PNG inset.
TEST_F(PictureFormatsRun, ComposesAJpegCanvasWithMetafileGifAndPngInsets) {
  WriteWholeFile(user.Home() / "canvas.jpg", TextOf(EncodeJpeg(40, 30, [](int, int) {
                   return Rgb{250, 0, 0};
                 })));
  MetafileBuilder wmf;
  wmf.Placeable(0, 0, 150, 150, 1440)
      .Record(0x0103, {1})
      .Record(0x02FC, {0, 0xFF00, 0, 0})
      .Record(0x012D, {0})  // green brush
      .Record(0x02FA, {5, 0, 0, 0, 0})
      .Record(0x012D, {1})  // no pen
      .Record(0x041B, {10, 10, 0, 0});
  WriteWholeFile(user.Home() / "inset.wmf", TextOf(wmf.Build()));
  WriteWholeFile(
      user.Home() / "inset.gif",
      TextOf(EncodeGif(10, 10, std::vector<std::uint8_t>(100, 1), {{0, 0, 0}, {0, 0, 255}})));
  WriteWholeFile(user.Home() / "inset.png", TextOf(EncodePng(10, 10, Bytes(300, 200))));

  const struct {
    const char* inset;
    Bgr colour;
  } cases[] = {
      {"inset.wmf", {0, 255, 0}}, {"inset.gif", {255, 0, 0}}, {"inset.png", {200, 200, 200}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.inset);
    const auto run = Compose("canvas.jpg", c.inset, "5, 5, 10, 10,");
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    const WrittenBmp out = Output();
    ASSERT_EQ(out.Width(), 40);
    EXPECT_EQ(out.Pixel(10, 10), c.colour);
    EXPECT_GE(out.Pixel(30, 20).r, 240);  // canvas
    EXPECT_LE(out.Pixel(30, 20).g, 10);
  }
}

std::string ProcFile(int pid, const std::string& name) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + name);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The processes `pid` has started, of all its threads.
std::vector<int> ChildrenOf(int pid) {
  std::vector<int> children;
  std::error_code ignored;  // a thread that is gone
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ignored)) {
    std::ifstream in(task.path() / "children");
    for (int child = 0; in >> child;) children.push_back(child);
  }
  return children;
}

// The limits of the first decoder of run `pid` seen confined (the run held
// still while they are read, so that it cannot end the decoder meanwhile);
// empty if none is seen within 10 s.
std::string LimitsOfADecoderOf(int pid) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    for (int child : ChildrenOf(pid)) {
      if (ProcFile(child, "status").find("Seccomp:\t2\n") == std::string::npos) continue;
      ::kill(pid, SIGSTOP);
      const std::string limits = ProcFile(child, "limits");
      ::kill(pid, SIGCONT);
      if (!limits.empty()) return limits;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return {};
}

// Limits set by whoever starts the run (a stack limit larger than the address
// space, which leaves no room for a thread's stack, and 3 GB of address
// space) are inherited by the decoder processes, which still decode within
// them, adding their own.
TEST_F(PictureFormatsRun, ComposesUnderTheLimitsOfWhoeverStartsIt) {
  // Large enough that its decoder lives a while.
  WriteWholeFile(user.Home() / "canvas.bmp", EncodeBmp(PatternImage(2400, 1600, 1)));
  WriteWholeFile(user.Home() / "inset.png", TextOf(EncodePng(10, 10, Bytes(300, 200))));
  const int run = user.Start({"canvas.bmp,", "inset.png,", "5, 5, 10, 10,", "out.bmp"},
                             {"/usr/bin/prlimit", "--stack=4096000000", "--as=3072000000", "--"});
  const std::string limits = LimitsOfADecoderOf(run);
  int status = 0;
  ::waitpid(run, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(Output().Pixel(10, 10), (Bgr{200, 200, 200}));
  const limits::DecodeLimits bounds;  // the program's own
  for (const std::string& limit : std::vector<std::string>{
           "Max stack size            4096000000", "Max address space         3072000000",
           "Max data size             " + std::to_string(bounds.decoderMiB << 20),
           "Max cpu time              " + std::to_string(bounds.decodeProcessorSeconds + 1)}) {
    EXPECT_NE(limits.find(limit), std::string::npos) << limits;
  }
}

TEST_F(PictureFormatsRun, DamagedPicturesStopTheRunAndLeaveTheOldOutput) {
  WriteWholeFile(user.Home() / "out.bmp", "old output");
  const Bytes jpeg = EncodeJpeg(40, 30, [](int x, int y) {
    return Rgb{std::uint8_t(x), std::uint8_t(y), 9};
  });
  const Bytes png = EncodePng(40, 30, Bytes(3600, 7));
  const Bytes gif = EncodeGif(40, 30, std::vector<std::uint8_t>(1200, 1), {{1, 2, 3}, {4, 5, 6}});
  MetafileBuilder wmf;
  wmf.Placeable(0, 0, 600, 450, 1440).Record(0x041B, {10, 10, 0, 0});
  const std::pair<const char*, Bytes> damaged[] = {
      {"cut.jpg", Bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2))},
      {"cut.png", Bytes(png.begin(), png.end() - 20)},
      {"cut.gif", Bytes(gif.begin(), gif.begin() + 40)},
      {"cut.wmf",
       [&] {
         Bytes b = wmf.Build();
         b.resize(b.size() - 6);
         return b;
       }()},
      {"empty.ico", Bytes{0, 0, 1, 0, 0, 0}},
  };
  for (const auto& [name, bytes] : damaged) {
    SCOPED_TRACE(name);
    WriteWholeFile(user.Home() / name, TextOf(bytes));
    const auto run = Compose(name, name, "0, 0, 5, 5,");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.standardError.find(std::string(name) + ": "), std::string::npos)
        << run.standardError;
    EXPECT_EQ(ReadWholeFile(user.Home() / "out.bmp"), "old output");
  }
}

// Of the inset only the block is decoded: damage below it goes unnoticed,
// damage inside it stops the run.
TEST_F(PictureFormatsRun, ADamagedInsetStopsTheRunOnlyWhereItsBlockIsDamaged) {
  // Large enough that its first rows lie well before the cut.
  const Bytes jpeg = EncodeJpeg(256, 512, [](int x, int y) {
    return y < 16 ? Rgb{0, 0, 250} : Rgb{std::uint8_t(x ^ y), std::uint8_t(x * y), std::uint8_t(y)};
  });
  WriteWholeFile(user.Home() / "canvas.jpg", TextOf(EncodeJpeg(40, 512, [](int, int) {
                   return Rgb{250, 0, 0};
                 })));
  WriteWholeFile(user.Home() / "cut.jpg",
                 TextOf(Bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2))));
  const auto above = Compose("canvas.jpg", "cut.jpg", "0, 0, 8, 8,");
  ASSERT_EQ(above.exitCode, 0) << above.standardError;
  EXPECT_GE(Output().Pixel(4, 4).b, 240);
  const auto through = Compose("canvas.jpg", "cut.jpg", "0, 0, 40, 512,");
  EXPECT_EQ(through.exitCode, 1);
  EXPECT_NE(through.standardError.find("cut.jpg: "), std::string::npos) << through.standardError;
}

// A progressive JPEG whose second scan asks for coefficients 64 to 63: its
// header reads well, its data does not.
Bytes WithABrokenSecondScan(Bytes jpeg) {
  for (std::size_t i = 0, scans = 0; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] != 0xFF || jpeg[i + 1] != 0xDA || ++scans < 2) continue;
    const std::size_t components = jpeg[i + 4];  // after the marker and its length
    jpeg[i + 5 + 2 * components] = 64;           // the first coefficient
    jpeg[i + 6 + 2 * components] = 63;           // the last
    return jpeg;
  }
  throw std::logic_error("the picture has no second scan");
}

// Several things wrong at once: the damaged picture, loaded before the area
// values are converted and the output written, is the one reported.
struct Trouble {
  const char* name;
  const char* canvas;
  const char* inset;
  const char* x;
  const char* output;
};

void PrintTo(const Trouble& trouble, std::ostream* out) { *out << trouble.name; }

class FirstFailureRun : public PictureFormatsRun, public ::testing::WithParamInterface<Trouble> {};

TEST_P(FirstFailureRun, NamesTheDamagedPicture) {
  const auto pixel = [](int x, int y) { return Rgb{std::uint8_t(x), std::uint8_t(y), 9}; };
  WriteWholeFile(user.Home() / "whole.jpg", TextOf(EncodeJpeg(40, 30, pixel)));
  WriteWholeFile(user.Home() / "broken.jpg",
                 TextOf(WithABrokenSecondScan(EncodeJpeg(40, 30, pixel, {JpegKind::Progressive}))));
  WriteWholeFile(user.Home() / "out.bmp", "old output");
  const Trouble& trouble = GetParam();
  const auto run = user.Run({std::string(trouble.canvas) + ",", std::string(trouble.inset) + ",",
                             std::string(trouble.x) + ",", "1, 5, 5,", trouble.output});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.standardError.find("broken.jpg: "), std::string::npos) << run.standardError;
  EXPECT_EQ(ReadWholeFile(user.Home() / "out.bmp"), "old output");
}

INSTANTIATE_TEST_SUITE_P(
    PictureFormats, FirstFailureRun,
    ::testing::Values(
        Trouble{"CanvasBeforeX", "broken.jpg", "whole.jpg", "abc", "out.bmp"},
        Trouble{"CanvasBeforeAMissingFolder", "broken.jpg", "whole.jpg", "1", "no/out.bmp"},
        Trouble{"InsetBeforeX", "whole.jpg", "broken.jpg", "abc", "out.bmp"},
        Trouble{"InsetBeforeAMissingFolder", "whole.jpg", "broken.jpg", "1", "no/out.bmp"}),
    [](const ::testing::TestParamInfo<Trouble>& test) { return test.param.name; });

}  // namespace
}  // namespace tessarin::testing
