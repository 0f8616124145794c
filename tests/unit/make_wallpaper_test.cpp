#include "wallpaper/make_wallpaper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/failure_kind.h"
#include "support/fake_platform.h"
#include "support/written_bmp.h"

namespace tessarin::testing {
namespace {

constexpr std::uint8_t kCanvasTag = 1;
constexpr std::uint8_t kInsetTag = 2;

class MakeWallpaperTest : public ::testing::Test {
 protected:
  MakeWallpaperTest() {
    fake.files.ordinaryFiles = {"canvas.bmp", "inset.bmp"};
    fake.pictures.images["canvas.bmp"] = PatternImage(64, 48, kCanvasTag);
    fake.pictures.images["inset.bmp"] = PatternImage(20, 16, kInsetTag);
  }

  wallpaper::WallpaperRequest Request(std::string x, std::string y, std::string w, std::string h) {
    return {"canvas.bmp", "inset.bmp", x, y, w, h, "out.bmp"};
  }

  WrittenBmp Output() { return WrittenBmp(fake.files.written.at("out.bmp")); }

  // Every canvas pixel is the inset's pixel inside the landed rectangle and the
  // canvas's own everywhere else.
  void ExpectBlockAt(int canvasX, int canvasY, int sourceX, int sourceY, int width, int height) {
    const WrittenBmp out = Output();
    ASSERT_EQ(out.Width(), 64);
    ASSERT_EQ(out.Height(), 48);
    for (int y = 0; y < out.Height(); ++y) {
      for (int x = 0; x < out.Width(); ++x) {
        const bool inside =
            x >= canvasX && x < canvasX + width && y >= canvasY && y < canvasY + height;
        const Bgr expected =
            inside ? Bgr{static_cast<std::uint8_t>(x - canvasX + sourceX),
                         static_cast<std::uint8_t>(y - canvasY + sourceY), kInsetTag}
                   : Bgr{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), kCanvasTag};
        ASSERT_EQ(out.Pixel(x, y), expected) << "at " << x << "," << y;
      }
    }
  }

  FakePlatform fake;
};

TEST_F(MakeWallpaperTest, CopiesTheInsetsTopLeftBlockOntoTheCanvasAndInstallsTheFile) {
  EXPECT_EQ(wallpaper::MakeWallpaper(fake.platform, Request("10", "20", "12", "8")).missingPicture,
            std::nullopt);
  ExpectBlockAt(10, 20, 0, 0, 12, 8);
  EXPECT_EQ(fake.wallpaper.installed, std::vector<std::string>{"out.bmp"});
  EXPECT_TRUE(fake.messages.shown.empty());
}

// So that a canvas decoded apart fills its read-ahead while the inset's
// block is decoded.
TEST_F(MakeWallpaperTest, TheCanvasIsToldItsRowsWillBeReadBeforeTheInsetIsOpened) {
  wallpaper::MakeWallpaper(fake.platform, Request("10", "20", "12", "8"));
  EXPECT_EQ(fake.pictures.readAhead,
            (std::vector<std::pair<std::string, std::size_t>>{{"canvas.bmp", 1}}));
}

TEST_F(MakeWallpaperTest, StreamsCanvasesDeliveredBottomUpToTheSameResult) {
  fake.pictures.order = ports::RowOrder::BottomUp;
  wallpaper::MakeWallpaper(fake.platform, Request("3", "40", "12", "8"));
  ExpectBlockAt(3, 40, 0, 0, 12, 8);
}

TEST_F(MakeWallpaperTest, TheWholeInsetAtTheOriginOverwritesTheTopLeftCorner) {
  wallpaper::MakeWallpaper(fake.platform, Request("0", "0", "20", "16"));
  ExpectBlockAt(0, 0, 0, 0, 20, 16);
}

TEST_F(MakeWallpaperTest, OnlyTheOverlappingPartChangesAtTheEdges) {
  wallpaper::MakeWallpaper(fake.platform, Request("-5", "-3", "12", "8"));
  ExpectBlockAt(0, 0, 5, 3, 7, 5);
  // Only the part that lands is decoded.
  EXPECT_EQ(fake.pictures.blocksRead.back(), std::make_pair(12, 8));

  fake.files.written.clear();
  MakeWallpaper(fake.platform, Request("60", "45", "12", "8"));
  ExpectBlockAt(60, 45, 0, 0, 4, 3);
  EXPECT_EQ(fake.pictures.blocksRead.back(), std::make_pair(4, 3));
}

TEST_F(MakeWallpaperTest, ABlockLargerThanTheInsetCopiesOnlyTheInsetsPixels) {
  wallpaper::MakeWallpaper(fake.platform, Request("30", "30", "1000", "1000"));
  ExpectBlockAt(30, 30, 0, 0, 20, 16);
}

TEST_F(MakeWallpaperTest, EmptyOrNegativeSizesLeaveTheCanvasUnchanged) {
  wallpaper::MakeWallpaper(fake.platform, Request("5", "5", "0", "10"));
  ExpectBlockAt(0, 0, 0, 0, 0, 0);
  MakeWallpaper(fake.platform, Request("5", "5", "10", "-4"));
  ExpectBlockAt(0, 0, 0, 0, 0, 0);
}

TEST_F(MakeWallpaperTest, AreaValuesAcceptBlanksAndRoundHalvesToEven) {
  wallpaper::MakeWallpaper(fake.platform, Request(" 10.5 ", "11.5", " 12 ", "8 "));
  ExpectBlockAt(10, 12, 0, 0, 12, 8);
}

TEST_F(MakeWallpaperTest, AMissingCanvasIsReturnedBeforeAMissingInset) {
  fake.files.ordinaryFiles.clear();
  EXPECT_EQ(wallpaper::MakeWallpaper(fake.platform, Request("0", "0", "1", "1")).missingPicture,
            "canvas.bmp");
  EXPECT_TRUE(fake.messages.shown.empty());  // the caller reports it
  EXPECT_TRUE(fake.pictures.opened.empty());
  EXPECT_EQ(fake.files.replacementsCreated, 0);
  EXPECT_TRUE(fake.wallpaper.installed.empty());
}

TEST_F(MakeWallpaperTest, AMissingInsetIsReturnedAndNothingWritten) {
  fake.files.ordinaryFiles = {"canvas.bmp"};
  EXPECT_EQ(wallpaper::MakeWallpaper(fake.platform, Request("0", "0", "1", "1")).missingPicture,
            "inset.bmp");
  EXPECT_TRUE(fake.pictures.opened.empty());
  EXPECT_EQ(fake.files.replacementsCreated, 0);
}

TEST_F(MakeWallpaperTest, AnUndecodablePictureStopsTheRunBeforeAnythingIsWritten) {
  fake.pictures.images.erase("inset.bmp");
  EXPECT_EQ(
      KindOfFailure([&] { wallpaper::MakeWallpaper(fake.platform, Request("0", "0", "1", "1")); }),
      FailureKind::DamagedPicture);
  EXPECT_EQ(fake.pictures.opened, (std::vector<std::string>{"canvas.bmp", "inset.bmp"}));
  EXPECT_EQ(fake.files.replacementsCreated, 0);
  EXPECT_TRUE(fake.wallpaper.installed.empty());
}

TEST_F(MakeWallpaperTest, AreaValuesAreConvertedHeightFirstAndABadOneStopsTheRun) {
  try {
    wallpaper::MakeWallpaper(fake.platform, Request("x?", "1", "w?", "h?"));
    FAIL() << "a non-numeric area value must stop the run";
  } catch (const Failure& failure) {
    EXPECT_NE(std::string(failure.what()).find("height \"h?\""), std::string::npos)
        << failure.what();
  }
  for (const wallpaper::WallpaperRequest& request :
       {Request("x?", "1", "w?", "h?"), Request("1", "", "1", "1"),
        Request("1", "1", "2147483648", "1")}) {
    EXPECT_EQ(KindOfFailure([&] { wallpaper::MakeWallpaper(fake.platform, request); }),
              FailureKind::BadAreaValue);
  }
  EXPECT_EQ(fake.files.replacementsCreated, 0);
  EXPECT_TRUE(fake.files.written.empty());
}

TEST_F(MakeWallpaperTest, AFailedWriteLeavesNoOutputAndInstallsNothing) {
  fake.files.failWrites = true;
  EXPECT_THROW(wallpaper::MakeWallpaper(fake.platform, Request("0", "0", "4", "4")), Failure);
  EXPECT_TRUE(fake.files.written.empty());
  EXPECT_TRUE(fake.wallpaper.installed.empty());
}

TEST_F(MakeWallpaperTest, TheOutputMayReplaceTheCanvasItself) {
  const wallpaper::WallpaperRequest request{"canvas.bmp", "inset.bmp", "1",         "2",
                                            "3",          "4",         "canvas.bmp"};
  EXPECT_EQ(wallpaper::MakeWallpaper(fake.platform, request).missingPicture, std::nullopt);
  EXPECT_EQ(WrittenBmp(fake.files.written.at("canvas.bmp")).Pixel(1, 2), (Bgr{0, 0, kInsetTag}));
}

TEST_F(MakeWallpaperTest, ACanvasTooLargeForABmpFileStopsTheRun) {
  // The fake never allocates the pixels: the size alone must stop the run.
  fake.pictures.images["canvas.bmp"] = ports::Bitmap{40000, 40000, {}};
  EXPECT_THROW(wallpaper::MakeWallpaper(fake.platform, Request("0", "0", "1", "1")), Failure);
  EXPECT_EQ(fake.files.replacementsCreated, 0);
}

TEST_F(MakeWallpaperTest, AStripLargerThanTheCanvasAndCanvasesOfManyStripsComposeAlike) {
  // 300 x 1000 pixels is several 256 KiB strips; the block straddles strips.
  fake.pictures.images["canvas.bmp"] = PatternImage(300, 1000, kCanvasTag);
  fake.pictures.images["inset.bmp"] = PatternImage(250, 250, kInsetTag);
  for (const auto order : {ports::RowOrder::TopDown, ports::RowOrder::BottomUp}) {
    fake.pictures.order = order;
    wallpaper::MakeWallpaper(fake.platform, Request("7", "250", "250", "250"));
    const WrittenBmp out = Output();
    EXPECT_EQ(out.Pixel(6, 300), (Bgr{6, static_cast<std::uint8_t>(300 % 256), kCanvasTag}));
    EXPECT_EQ(out.Pixel(7, 250), (Bgr{0, 0, kInsetTag}));
    EXPECT_EQ(out.Pixel(256, 499), (Bgr{249, 249, kInsetTag}));
    EXPECT_EQ(out.Pixel(257, 499), (Bgr{1, static_cast<std::uint8_t>(499 % 256), kCanvasTag}));
    EXPECT_EQ(out.Pixel(100, 500), (Bgr{100, static_cast<std::uint8_t>(500 % 256), kCanvasTag}));
    EXPECT_EQ(out.Pixel(299, 999), (Bgr{43, static_cast<std::uint8_t>(999 % 256), kCanvasTag}));
  }
}

// While the inset's block is still decoding, the canvas rows it lands on are
// held aside and the others written: the block is read once every row is
// delivered, unless the rows it lands on take more than 4 MiB (6000 pixels
// wide). A block ready at once is read at the first strip it lands on.
class HeldRowsTest : public MakeWallpaperTest,
                     public ::testing::WithParamInterface<std::tuple<ports::RowOrder, int, bool>> {
};

TEST_P(HeldRowsTest, TheBlockIsReadAsLateAsItIsNeeded) {
  const auto [order, width, ready] = GetParam();
  fake.pictures.order = order;
  fake.pictures.blocksReady = ready;
  fake.pictures.images["canvas.bmp"] = PatternImage(width, 1000, kCanvasTag);
  fake.pictures.images["inset.bmp"] = PatternImage(250, 250, kInsetTag);
  wallpaper::MakeWallpaper(fake.platform, Request("7", "250", "250", "250"));
  ASSERT_EQ(fake.pictures.rowsDeliveredAtBlock.size(), 1u);
  const int deliveredAtBlock = fake.pictures.rowsDeliveredAtBlock[0];
  // Delivered before the first row the block lands on, then one strip.
  const int before = order == ports::RowOrder::TopDown ? 250 : 500;
  if (!ready && width < 6000) {
    EXPECT_EQ(deliveredAtBlock, 1000);
  } else {
    EXPECT_GT(deliveredAtBlock, before);
    EXPECT_LT(deliveredAtBlock, ready ? before + 300 : 1000);
  }
  const WrittenBmp out = Output();
  for (const int y : {249, 250, 499, 500}) {
    for (const int x : {6, 7, 256, 257}) {
      const bool inside = x >= 7 && x < 257 && y >= 250 && y < 500;
      const Bgr expected = inside ? Bgr{static_cast<std::uint8_t>(x - 7),
                                        static_cast<std::uint8_t>(y - 250), kInsetTag}
                                  : Bgr{static_cast<std::uint8_t>(x % 256),
                                        static_cast<std::uint8_t>(y % 256), kCanvasTag};
      EXPECT_EQ(out.Pixel(x, y), expected) << "at " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(MakeWallpaper, HeldRowsTest,
                         ::testing::Combine(::testing::Values(ports::RowOrder::TopDown,
                                                              ports::RowOrder::BottomUp),
                                            ::testing::Values(300, 3000, 6000), ::testing::Bool()));

// Held rows change no failure's order: the canvas's (below the held rows)
// before the inset's, the inset's before a write that failed first.
TEST_F(MakeWallpaperTest, RowsHeldForTheBlockKeepTheFailuresOrder) {
  struct Case {
    std::optional<int> canvasDamagedFrom;
    bool insetDamaged;
    bool failWrites;
    const char* reported;
  };
  fake.pictures.blocksReady = false;
  for (const Case& trouble :
       {Case{900, true, false, "canvas.bmp: "}, Case{{}, true, false, "inset.bmp: "},
        Case{{}, true, true, "inset.bmp: "}, Case{900, true, true, "canvas.bmp: "}}) {
    fake.pictures.images["canvas.bmp"] = PatternImage(300, 1000, kCanvasTag);
    fake.pictures.damagedFrom.clear();
    if (trouble.canvasDamagedFrom)
      fake.pictures.damagedFrom["canvas.bmp"] = *trouble.canvasDamagedFrom;
    if (trouble.insetDamaged) fake.pictures.damagedFrom["inset.bmp"] = 4;
    fake.files.failWrites = trouble.failWrites;
    try {
      wallpaper::MakeWallpaper(fake.platform, Request("0", "0", "12", "8"));
      ADD_FAILURE() << "the run went on";
    } catch (const Failure& failure) {
      EXPECT_THAT(failure.what(), ::testing::StartsWith(trouble.reported));
    }
  }
}

// Rows a canvas lends are patched and written where they lie, into the same
// file as rows read into a strip: either row order, rows padded or not,
// strips of many short rows.
class LentRowsTest : public MakeWallpaperTest,
                     public ::testing::WithParamInterface<std::tuple<ports::RowOrder, int>> {};

TEST_P(LentRowsTest, MakeTheSameFileAsRowsRead) {
  const auto [order, width] = GetParam();
  fake.pictures.order = order;
  fake.pictures.images["canvas.bmp"] = PatternImage(width, 1000, kCanvasTag);
  fake.pictures.images["inset.bmp"] = PatternImage(250, 250, kInsetTag);
  std::vector<std::vector<std::uint8_t>> files;
  for (bool lend : {false, true}) {
    fake.pictures.lendRows = lend;
    wallpaper::MakeWallpaper(fake.platform, Request("-3", "250", "250", "250"));
    files.push_back(fake.files.written.at("out.bmp"));
  }
  EXPECT_EQ(fake.pictures.rowsLent, 1000);
  EXPECT_EQ(files[0], files[1]);
  EXPECT_EQ(WrittenBmp(files[1]).Pixel(0, 250), (Bgr{3, 0, kInsetTag}));
}

INSTANTIATE_TEST_SUITE_P(MakeWallpaper, LentRowsTest,
                         ::testing::Combine(::testing::Values(ports::RowOrder::TopDown,
                                                              ports::RowOrder::BottomUp),
                                            ::testing::Values(300, 301, 1)));

// When several things are wrong at once, the first in the order of the steps
// is the one reported: canvas, inset (its block), area values, output.
enum class Output { Fine, CannotBeCreated, CannotBeWritten };

struct Trouble {
  const char* name;
  std::optional<int> canvasDamagedFrom;  // the first damaged row of the 64 x 48 canvas
  std::optional<int> insetDamagedFrom;   // of the 20 x 16 inset; the block is its top 8 rows
  const char* x;
  const char* height;
  Output output;
  const char* reported;  // how the failure's message starts; empty: the wallpaper is made
};

void PrintTo(const Trouble& param, std::ostream* out) { *out << param.name; }

class FirstFailureTest : public MakeWallpaperTest, public ::testing::WithParamInterface<Trouble> {};

TEST_P(FirstFailureTest, IsTheOneReported) {
  const Trouble& trouble = GetParam();
  if (trouble.canvasDamagedFrom)
    fake.pictures.damagedFrom["canvas.bmp"] = *trouble.canvasDamagedFrom;
  if (trouble.insetDamagedFrom) fake.pictures.damagedFrom["inset.bmp"] = *trouble.insetDamagedFrom;
  fake.files.failCreate = trouble.output == Output::CannotBeCreated;
  fake.files.failWrites = trouble.output == Output::CannotBeWritten;
  const wallpaper::WallpaperRequest request = Request(trouble.x, "20", "12", trouble.height);
  if (*trouble.reported == '\0') {
    EXPECT_EQ(wallpaper::MakeWallpaper(fake.platform, request).missingPicture, std::nullopt);
    EXPECT_EQ(fake.files.written.count("out.bmp"), 1u);
    return;
  }
  try {
    wallpaper::MakeWallpaper(fake.platform, request);
    ADD_FAILURE() << "the run went on";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.what(), ::testing::StartsWith(trouble.reported));
  }
  EXPECT_TRUE(fake.files.written.empty());
  EXPECT_TRUE(fake.wallpaper.installed.empty());
}

INSTANTIATE_TEST_SUITE_P(
    MakeWallpaper, FirstFailureTest,
    ::testing::Values(
        Trouble{"CanvasBeforeHeight", 40, {}, "10", "h?", Output::Fine, "canvas.bmp: "},
        Trouble{"CanvasBeforeX", 40, {}, "x?", "8", Output::Fine, "canvas.bmp: "},
        Trouble{"CanvasBeforeAMissingFolder",
                40,
                {},
                "10",
                "8",
                Output::CannotBeCreated,
                "canvas.bmp: "},
        Trouble{
            "CanvasBeforeAFailedWrite", 40, {}, "10", "8", Output::CannotBeWritten, "canvas.bmp: "},
        Trouble{"CanvasBeforeInset", 40, 4, "10", "8", Output::Fine, "canvas.bmp: "},
        Trouble{"InsetBeforeX", {}, 4, "x?", "8", Output::Fine, "inset.bmp: "},
        Trouble{
            "InsetBeforeAMissingFolder", {}, 4, "10", "8", Output::CannotBeCreated, "inset.bmp: "},
        // Without an area there is no block: the whole inset is read.
        Trouble{"InsetBelowItsBlockBeforeX", {}, 12, "x?", "8", Output::Fine, "inset.bmp: "},
        Trouble{"AMissingFolderBeforeInsetBelowItsBlock",
                {},
                12,
                "10",
                "8",
                Output::CannotBeCreated,
                "out.bmp: "},
        Trouble{"InsetBelowItsBlockIsNotNeeded", {}, 12, "10", "8", Output::Fine, ""},
        Trouble{"HeightBeforeX", {}, {}, "x?", "h?", Output::Fine, "The replacement area's height"},
        Trouble{"XBeforeAMissingFolder",
                {},
                {},
                "x?",
                "8",
                Output::CannotBeCreated,
                "The replacement area's X"}),
    [](const ::testing::TestParamInfo<Trouble>& test) { return test.param.name; });

}  // namespace
}  // namespace tessarin::testing
