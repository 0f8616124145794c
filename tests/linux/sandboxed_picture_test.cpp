#include "linux/picture_sandbox/sandboxed_picture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/failure.h"
#include "linux/input_files.h"
#include "linux/metafile_renderer.h"
#include "linux/picture_sandbox/confinement.h"
#include "linux/picture_sandbox/linux_pictures.h"
#include "pictures/held/held_picture.h"
#include "pictures/metafile_decoder.h"
#include "support/metafile_builder.h"
#include "support/picture_files.h"
#include "support/temporary_folder.h"

namespace tessarin::linux_platform::picture_sandbox {
namespace {

using testing::Bytes;

std::string ProcFile(pid_t pid, const std::string& name) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Rows whose every byte is the row's number; fails at row `failAt` if set.
class NumberedRows : public ports::Picture {
 public:
  NumberedRows(int width, int height, int failAt = -1, std::string path = "rows.bmp")
      : width_(width), height_(height), failAt_(failAt), path_(std::move(path)) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  ports::RowOrder Order() const override { return ports::RowOrder::BottomUp; }
  void ReadRows(std::uint8_t* out, int rows) override {
    for (int i = 0; i < rows; ++i, ++next_) {
      if (next_ == failAt_)
        throw Failure::InFile(FailureKind::DamagedPicture, path_, "damaged row");
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
  std::string path_;
};

using Decode = std::function<std::unique_ptr<ports::Picture>(std::unique_ptr<ports::InputFile>)>;

class SandboxedPictureTest : public ::testing::Test {
 protected:
  SandboxedPictureTest() { testing::WriteWholeFile(folder_ / "rows.bmp", "any bytes"); }

  // `prepare` runs before the decoder is shut in, `life` is the child's.
  std::unique_ptr<SandboxedPicture> Open(
      Decode decode, std::function<void(ports::InputFile&)> prepare = [](ports::InputFile&) {},
      const DecoderLife& life = RunDecoderProcess) {
    return OpenWithin(setup_, pool_, std::move(decode), std::move(prepare), life);
  }
  std::unique_ptr<SandboxedPicture> OpenWithin(pictures::DecodeSetup& setup, DecoderPool& pool,
                                               Decode decode,
                                               std::function<void(ports::InputFile&)> prepare,
                                               const DecoderLife& life) {
    auto file = files_.Open(folder_ / "rows.bmp");
    const int descriptor = file->Descriptor();
    return std::make_unique<SandboxedPicture>(std::move(file), descriptor,
                                              DecoderSteps{std::move(prepare), std::move(decode)},
                                              setup, pool, life);
  }

  static Decode Rows(int width, int height, int failAt = -1) {
    return [=](std::unique_ptr<ports::InputFile> file) {
      return std::make_unique<NumberedRows>(width, height, failAt, file->Path());
    };
  }

  // The program's limits, but a processor bound of 1 s and a net of 30 s
  // (many times the bound, as the program's, so that a busy machine does not
  // reach it first).
  static limits::DecodeLimits ShortLimits() {
    limits::DecodeLimits limits;
    limits.decodeProcessorSeconds = 1;
    limits.decodeWaitSeconds = 30;
    return limits;
  }
  std::string InFile(const std::string& reason) const {
    return folder_ / "rows.bmp" + ": " + reason;
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
  InputOpener files_;
  pictures::DecodeSetup setup_{ShortLimits(), MetafileRendererAt(TESSARIN_METAFILE_MODULE)};
  DecoderPool pool_{setup_.allowance};
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

// Told that rows will be read, the decoder fills every strip of its ring
// before the first is read (the pages it has touched of the shared memory
// show it), and the rows still come whole and in order.
TEST_F(SandboxedPictureTest, ReadsAheadIntoTheWholeRingBeforeTheFirstRowIsRead) {
  auto picture = Open(Rows(1000, 2000));
  picture->ReadAhead();
  const auto sharedKiB = [&] {
    const std::string status = ProcFile(picture->DecoderProcess(), "status");
    const std::size_t at = status.find("RssShmem:");
    return at == std::string::npos ? 0 : std::stoul(status.substr(at + 9));
  };
  const std::size_t ringKiB = kStrips * RingShape(setup_.limits).stripBytes / 1024;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (sharedKiB() < ringKiB * 9 / 10 && std::chrono::steady_clock::now() < deadline)
    ::usleep(1000);
  EXPECT_GE(sharedKiB(), ringKiB * 9 / 10);
  std::vector<std::uint8_t> row(3000);
  for (int y = 0; y < 2000; ++y) {
    picture->ReadRows(row.data(), 1);
    ASSERT_EQ(row[2999], static_cast<std::uint8_t>(y));
  }
}

// Lent rows are those of the strip being read: never more than asked or
// than the strip holds, in order, mixed with rows read.
TEST_F(SandboxedPictureTest, LendsTheRowsOfTheStripBeingRead) {
  auto picture = Open(Rows(1000, 700));
  const int stripRows = RingShape(setup_.limits).StripRows(3000);
  std::vector<std::uint8_t> row(3000);
  picture->ReadRows(row.data(), 1);
  int next = 1;
  for (int turn = 0; next < 700; ++turn) {
    const int asked = std::min(turn % 3 == 0 ? 1 : turn % 3 == 1 ? 500 : 3, 700 - next);
    const ports::LentRows lent = picture->LendRows(asked);
    ASSERT_GE(lent.count, 1);
    ASSERT_LE(lent.count, std::min(asked, stripRows));
    for (int i = 0; i < lent.count; ++i, ++next)
      ASSERT_EQ(lent.first[std::size_t(i) * 3000 + 2999], static_cast<std::uint8_t>(next));
  }
  EXPECT_EQ(next, 700);
  EXPECT_THROW(picture->LendRows(1), Failure);  // past the last row
}

TEST_F(SandboxedPictureTest, ReturnsTheBlockThroughTheSharedMemory) {
  for (auto [width, height] : {std::pair{2, 3}, {600, 500}, {0, 5}}) {
    const ports::Bitmap block = Open(Rows(400, 700))->ReadTopLeft(width, height);
    const NumberedRows expected(400, 700);
    EXPECT_EQ(block.bgr, const_cast<NumberedRows&>(expected).ReadTopLeft(width, height).bgr)
        << width;
  }
}

// The block asked for is ready only once its decoder has said it follows;
// until then the run can write the canvas's other rows.
TEST_F(SandboxedPictureTest, TheTopLeftBlockIsReadyOnlyOnceItsDecoderSendsIt) {
  int release[2];
  ASSERT_EQ(::pipe(release), 0);
  auto picture = Open(
      Rows(1, 1), [](ports::InputFile&) {},
      [&](DecoderChild& child) {
        Message message = MessageOf(PictureHeader{1, 1, 0});
        ::send(child.channel, &message, sizeof message, 0);
        ::recv(child.channel, &message, sizeof message, 0);  // the ask
        char go;
        if (::read(release[0], &go, 1) == 1) message = MessageOf(BlockFollows{0, 0});
        ::send(child.channel, &message, sizeof message, 0);
        ::pause();
      });
  picture->AskTopLeft(0, 0);
  ::usleep(100'000);
  EXPECT_FALSE(picture->TopLeftReady());
  ASSERT_EQ(::write(release[1], "g", 1), 1);
  bool ready = false;
  for (int i = 0; i < 500 && !ready; ++i, ::usleep(10'000)) ready = picture->TopLeftReady();
  EXPECT_TRUE(ready);
  EXPECT_EQ(picture->ReadTopLeft(0, 0).bgr.size(), 0U);
  ::close(release[0]);
  ::close(release[1]);
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
    EXPECT_EQ(failure.what(), InFile("damaged row"));
  }
  EXPECT_EQ(FailureOf([&] {
              return Open([](auto) -> std::unique_ptr<ports::Picture> {
                throw Failure(FailureKind::PictureUnreadable, "a header fault");
              });
            }),
            InFile("a header fault"));
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
      return std::make_unique<pictures::held::HeldPicture>(ports::Bitmap{1, 1, {0, 0, 0}},
                                                           file->Path(), std::move(held));
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
            InFile("the picture's decoder stopped (signal 31)"));
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
  FailureKind kind = FailureKind::DecoderStopped;
};

class KernelBounds : public SandboxedPictureTest, public ::testing::WithParamInterface<Bomb> {};

TEST_P(KernelBounds, StopTheDecoderWithItsReason) {
  if (!kDecoderDataLimited && std::string(GetParam().name) == "MemoryBeyondTheLimit")
    GTEST_SKIP() << "no data limit under AddressSanitizer, whose shadow memory counts as data";
  if (!kDecoderDataLimited && std::string(GetParam().name) == "ACrash")
    GTEST_SKIP() << "AddressSanitizer's report of the crash opens files, which the filter "
                    "refuses: the decoder ends by SIGSYS there";
  EXPECT_EQ(FailureOf([&] { return Open(GetParam().decode); }), InFile(GetParam().reason));
  EXPECT_EQ(kind_, GetParam().kind);
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

const std::string kTooLong = "the picture took more than 1 seconds of processor time to decode";

INSTANTIATE_TEST_SUITE_P(
    SandboxedPicture, KernelBounds,
    ::testing::Values(Bomb{"MemoryBeyondTheLimit",
                           [](auto) -> std::unique_ptr<ports::Picture> {
                             std::vector<std::uint8_t> bomb(
                                 (limits::DecodeLimits{}.decoderMiB + 1) << 20, 1);
                             return std::make_unique<NumberedRows>(1, bomb[7]);
                           },
                           "the picture needs more than " +
                               std::to_string(limits::DecodeLimits{}.decoderMiB) + " MiB",
                           FailureKind::DecoderOutOfMemory},
                      Bomb{"AHeaderThatNeverEnds",
                           [](auto) -> std::unique_ptr<ports::Picture> {
                             while (forever) {
                             }
                             return nullptr;
                           },
                           kTooLong},
                      Bomb{"RowsThatNeverEnd", [](auto) { return std::make_unique<SlowRows>(); },
                           kTooLong},
                      Bomb{"ACrash",
                           [](auto) -> std::unique_ptr<ports::Picture> {
                             *static_cast<volatile int*>(nullptr) = 1;
                             return nullptr;
                           },
                           "the picture's decoder stopped (signal 11)"}),
    [](const auto& test) { return test.param.name; });

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
  auto file = files_.Open(folder_ / name);
  const int descriptor = file->Descriptor();
  SandboxedPicture picture(std::move(file), descriptor, RealDecoderSteps(setup_), setup_, pool_);
  const pid_t decoder = picture.DecoderProcess();
  const std::string status = ProcFile(decoder, "status");
  EXPECT_NE(status.find("Seccomp:\t2\n"), std::string::npos) << status;
  EXPECT_NE(status.find("NoNewPrivs:\t1\n"), std::string::npos) << status;
  const std::string limits = ProcFile(decoder, "limits");
  if (kDecoderDataLimited) {  // see kDecoderDataLimited: not under AddressSanitizer
    EXPECT_NE(limits.find("Max data size             " +
                          std::to_string(limits::DecodeLimits{}.decoderMiB << 20)),
              std::string::npos)
        << limits;
  }
  EXPECT_NE(limits.find("Max cpu time              " +
                        std::to_string(setup_.limits.decodeProcessorSeconds + 1)),
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

// A decoder that waits without working meets the wall clock's net (here of
// 2 s), not its processor time.
TEST_F(SandboxedPictureTest, ADecoderThatWaitsForeverMeetsTheNet) {
  limits::DecodeLimits limits = ShortLimits();
  limits.decodeWaitSeconds = 2;
  pictures::DecodeSetup setup(limits);
  DecoderPool pool(setup.allowance);
  const Decode waitsForever = [](auto) -> std::unique_ptr<ports::Picture> {
    ::poll(nullptr, 0, -1);
    return nullptr;
  };
  EXPECT_EQ(FailureOf([&] {
              return OpenWithin(
                  setup, pool, waitsForever, [](ports::InputFile&) {}, RunDecoderProcess);
            }),
            InFile("the picture's decoder kept the run waiting more than 2 seconds"));
  EXPECT_EQ(kind_, FailureKind::DecoderStopped);
}

// A run that ends, however it ends, takes its decoder with it, even one
// that waits for nothing.
TEST_F(SandboxedPictureTest, ADecoderEndsWithItsRun) {
  const pid_t run = ::fork();
  if (run == 0) {
    Open([](auto) -> std::unique_ptr<ports::Picture> {
      ::poll(nullptr, 0, -1);
      return nullptr;
    });
    ::_exit(0);
  }
  pid_t decoder = 0;
  for (int i = 0; i < 250 && decoder == 0; ++i) {
    std::istringstream(ProcFile(run, "task/" + std::to_string(run) + "/children")) >> decoder;
    ::usleep(20'000);
  }
  ASSERT_GT(decoder, 0);
  ::kill(run, SIGKILL);
  ::waitpid(run, nullptr, 0);
  for (int i = 0; i < 100 && ::kill(decoder, 0) == 0; ++i) ::usleep(20'000);
  EXPECT_NE(::kill(decoder, 0), 0);  // gone (and reaped by init)
  ::kill(decoder, SIGKILL);          // should it not be
}

// The kernel's bound stands behind the run's: a decoder that spins while
// the run is not waiting for it is stopped by the kernel, and reported alike.
TEST_F(SandboxedPictureTest, TheKernelsStopIsReportedAsProcessorTime) {
  auto picture = Open(
      Rows(1, 1), [](ports::InputFile&) {},
      [](DecoderChild& child) {
        LimitResources(child.setup.limits);
        const Message header = MessageOf(PictureHeader{1, 1, 0});
        ::send(child.channel, &header, sizeof header, 0);
        while (forever) {
        }
      });
  ::usleep(3'500'000);  // past the kernel's hard limit, 1 + 2 s of processor time
  EXPECT_EQ(FailureOf([&] { return std::move(picture); }), InFile(kTooLong));
}

// What a decoder says of its failure is shown under the run's own path, of a
// kind a decoder may name, in words bounded and escaped.
struct Words {
  const char* name;
  FailureKind thrown;
  std::string text;  // "@" stands for the decoder's copy of the file's path
  std::string shown;
  FailureKind kind;
};

class DecodersWords : public SandboxedPictureTest, public ::testing::WithParamInterface<Words> {};

TEST_P(DecodersWords, AreShownUnderTheRunsOwnPath) {
  const Words words = GetParam();
  EXPECT_EQ(FailureOf([&] {
              return Open([words](auto file) -> std::unique_ptr<ports::Picture> {
                std::string text = words.text;
                if (text[0] == '@') text = file->Path() + text.substr(1);
                throw Failure(words.thrown, text);
              });
            }),
            InFile(words.shown));
  EXPECT_EQ(kind_, words.kind);
}

INSTANTIATE_TEST_SUITE_P(
    SandboxedPicture, DecodersWords,
    ::testing::Values(Words{"AnHonestDecodersUnchanged", FailureKind::PictureUnreadable,
                            "@: ends early", "ends early", FailureKind::PictureUnreadable},
                      Words{"AnotherFileNamedAfterTheRunsPath", FailureKind::DamagedPicture,
                            "/home/someone/other.png: damaged", "/home/someone/other.png: damaged",
                            FailureKind::DamagedPicture},
                      Words{"ControlsAndBytesThatAreNoText", FailureKind::DamagedPicture,
                            "@: a\nb\x1b[2Jc\xff\xc3(\u202edon't",
                            "a\\x0Ab\\x1B[2Jc\\xFF\\xC3(\\xE2\\x80\\xAEdon't",
                            FailureKind::DamagedPicture},
                      Words{"PrintableUtf8Kept", FailureKind::DamagedPicture, "Größe 5 €",
                            "Größe 5 €", FailureKind::DamagedPicture},
                      Words{"LongWordsCut", FailureKind::DamagedPicture, std::string(4000, 'w'),
                            std::string(200, 'w') + "...", FailureKind::DamagedPicture},
                      Words{"AKindNoDecoderHas", FailureKind::NoDisplay, "no display", "no display",
                            FailureKind::DecoderStopped}),
    [](const auto& test) { return test.param.name; });

// A decoder that writes its own count of the allowance: what the run holds
// and has left does not move by it.
class LyingCounts : public SandboxedPictureTest,
                    public ::testing::WithParamInterface<std::uint64_t> {};

TEST_P(LyingCounts, LeaveTheRunsAllowanceAsItIs) {
  const std::uint64_t lie = GetParam();
  auto picture = Open(
      Rows(400, 700), [](ports::InputFile&) {},
      [lie](DecoderChild& child) {
        static_cast<RingHeader*>(child.ring)->held = lie;
        RunDecoderProcess(child);
      });
  const ports::Bitmap block =
      picture->ReadTopLeft(100, 50);  // the decoder ends, then the run holds it
  EXPECT_EQ(setup_.allowance.Left(), setup_.allowance.Bytes() - block.bgr.size());
  picture.reset();
  EXPECT_EQ(setup_.allowance.Left(), setup_.allowance.Bytes());
}

INSTANTIATE_TEST_SUITE_P(SandboxedPicture, LyingCounts,
                         ::testing::Values(~std::uint64_t{0}, std::uint64_t{1} << 40, 7));

// The shared mappings a decoder process sees, as it tells them in its failure.
std::size_t SharedMappings() {
  std::ifstream maps("/proc/self/maps");
  std::size_t shared = 0;
  for (std::string line; std::getline(maps, line);)
    shared += line.find(" rw-s ") != std::string::npos;
  return shared;
}

TEST_F(SandboxedPictureTest, ADecoderMapsNoEarlierDecodersRing) {
  const auto sharedInADecoder = [this] {
    return FailureOf([&] {
      return Open(Rows(1, 1), [](ports::InputFile&) {
        throw Failure(FailureKind::DamagedPicture, std::to_string(SharedMappings()));
      });
    });
  };
  const std::string alone = sharedInADecoder();
  auto earlier = Open(Rows(10, 100000));  // its decoder runs, its ring mapped here
  std::vector<std::uint8_t> row(30);
  earlier->ReadRows(row.data(), 1);
  EXPECT_EQ(sharedInADecoder(), alone);
  EXPECT_EQ(alone, InFile("2"));  // its own ring and the pool
}

}  // namespace
}  // namespace tessarin::linux_platform::picture_sandbox
