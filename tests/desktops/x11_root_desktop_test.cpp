// A plain X session: the root window of a real Xvfb server, read back by the
// test through its own connection.
#include <gtest/gtest.h>

#include <sstream>

#include "base/failure.h"
#include "desktops/desktop_test_support.h"
#include "end_to_end/tessarin_process.h"
#include "linux/desktops/linux_wallpaper.h"
#include "support/encode_bmp.h"
#include "support/written_bmp.h"

// Last: Xlib's macros (None, Status...) would clash with names above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tessarin::testing {
namespace {

using linux_platform::desktops::LinuxWallpaper;
using linux_platform::desktops::ProcessToolRunner;

constexpr int kScreenWidth = 64;
constexpr int kScreenHeight = 48;

int lastXError = 0;
int RememberError(Display*, XErrorEvent* event) {
  lastXError = event->error_code;
  return 0;
}

// A width x height picture whose every pixel differs from its neighbours'.
ports::Bitmap Pattern(int width, int height, std::uint8_t seed) {
  ports::Bitmap image{width, height, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.bgr.push_back(static_cast<std::uint8_t>(seed + 40 * x));
      image.bgr.push_back(static_cast<std::uint8_t>(seed + 50 * y));
      image.bgr.push_back(static_cast<std::uint8_t>(seed ^ (x * 7 + y * 13)));
    }
  }
  return image;
}

ports::Bitmap ImageOf(const std::filesystem::path& bmp) {
  const std::string bytes = ReadWholeFile(bmp);
  const WrittenBmp file(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  ports::Bitmap image{file.Width(), file.Height(), {}};
  for (int y = 0; y < file.Height(); ++y) {
    for (int x = 0; x < file.Width(); ++x) {
      const Bgr pixel = file.Pixel(x, y);
      image.bgr.insert(image.bgr.end(), {pixel.b, pixel.g, pixel.r});
    }
  }
  return image;
}

class X11RootDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Installed("Xvfb")) GTEST_SKIP() << "no Xvfb";
    const std::string screen =
        std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24";
    server_ = std::make_unique<BackgroundProgram>(
        std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", screen, "-nolisten",
                                 "tcp"},
        session_.Variables());
    ASSERT_TRUE(server_->WaitForOutput(
        [](const std::string& out) { return out.find('\n') != std::string::npos; }));
    displayName_ = ":" + server_->Output().substr(0, server_->Output().find('\n'));
    display_ = XOpenDisplay(displayName_.c_str());
    ASSERT_NE(display_, nullptr);
    XSetErrorHandler(RememberError);
  }

  void TearDown() override {
    if (display_ != nullptr) XCloseDisplay(display_);
  }

  std::string Apply(const ports::Bitmap& picture, ports::RowOrder order) {
    Environment environment = session_.Variables();
    environment.Set("DISPLAY", displayName_);
    ProcessToolRunner tools(environment);
    PatternPictures pictures(picture, order);
    ReportedLines log;
    LinuxWallpaper(environment, tools, pictures, log.Sink()).ShowAndKeep("/walls/out.bmp");
    return log.text;
  }

  Pixmap PixmapProperty(const char* name) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display_, DefaultRootWindow(display_), XInternAtom(display_, name, False), 0,
                       1, False, AnyPropertyType, &type, &format, &items, &after, &data);
    Pixmap pixmap = None;
    if (type == XA_PIXMAP && format == 32 && items == 1)
      pixmap = *reinterpret_cast<unsigned long*>(data);
    if (data != nullptr) XFree(data);
    return pixmap;
  }

  bool PixmapExists(Pixmap pixmap) {
    lastXError = 0;
    Window root;
    int x, y;
    unsigned width, height, border, depth;
    const Status found =
        XGetGeometry(display_, pixmap, &root, &x, &y, &width, &height, &border, &depth);
    XSync(display_, False);
    return found != 0 && lastXError == 0;
  }

  // Pixels of the screen that differ from the picture tiled from the top left.
  int PixelsNotTiledFrom(const ports::Bitmap& picture) {
    XImage* screen = XGetImage(display_, DefaultRootWindow(display_), 0, 0, kScreenWidth,
                               kScreenHeight, AllPlanes, ZPixmap);
    if (screen == nullptr) return -1;
    int wrong = 0;
    for (int y = 0; y < kScreenHeight; ++y) {
      for (int x = 0; x < kScreenWidth; ++x) {
        const auto* bgr =
            &picture.bgr[((y % picture.height) * picture.width + x % picture.width) * 3];
        const unsigned long expected =
            (static_cast<unsigned long>(bgr[2]) << 16) | (bgr[1] << 8) | bgr[0];
        if (XGetPixel(screen, x, y) != expected) ++wrong;
      }
    }
    XDestroyImage(screen);
    return wrong;
  }

  ThrowAwaySession session_;
  std::unique_ptr<BackgroundProgram> server_;
  std::string displayName_;
  Display* display_ = nullptr;
};

TEST_F(X11RootDesktop, ThePictureCoversTheScreenAndIsPublishedForCompositors) {
  const auto picture = Pattern(5, 3, 17);
  EXPECT_EQ(Apply(picture, ports::RowOrder::TopDown), "");
  EXPECT_EQ(PixelsNotTiledFrom(picture), 0);
  const Pixmap published = PixmapProperty("_XROOTPMAP_ID");
  EXPECT_NE(published, static_cast<Pixmap>(None));
  EXPECT_EQ(PixmapProperty("ESETROOT_PMAP_ID"), published);
  // It outlives the process that made it.
  EXPECT_TRUE(PixmapExists(published));
}

TEST_F(X11RootDesktop, ANewPictureReplacesTheOldOneAndFreesItsPixmap) {
  Apply(Pattern(5, 3, 17), ports::RowOrder::TopDown);
  const Pixmap first = PixmapProperty("_XROOTPMAP_ID");
  ASSERT_TRUE(PixmapExists(first));

  // A bottom-up file, larger than the screen: only its top-left part shows.
  const auto larger = Pattern(kScreenWidth + 7, kScreenHeight + 70, 99);
  EXPECT_EQ(Apply(larger, ports::RowOrder::BottomUp), "");
  EXPECT_EQ(PixelsNotTiledFrom(larger), 0);
  const Pixmap second = PixmapProperty("_XROOTPMAP_ID");
  EXPECT_NE(second, first);
  EXPECT_TRUE(PixmapExists(second));
  EXPECT_FALSE(PixmapExists(first));
}

TEST_F(X11RootDesktop, APixmapSomeoneElsePublishedIsLeftAlone) {
  const Pixmap foreign = XCreatePixmap(display_, DefaultRootWindow(display_), 4, 4, 24);
  XChangeProperty(display_, DefaultRootWindow(display_),
                  XInternAtom(display_, "_XROOTPMAP_ID", False), XA_PIXMAP, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&foreign), 1);
  XSync(display_, False);
  EXPECT_EQ(Apply(Pattern(2, 2, 5), ports::RowOrder::TopDown), "");
  EXPECT_TRUE(PixmapExists(foreign));
  EXPECT_NE(PixmapProperty("_XROOTPMAP_ID"), foreign);
}

TEST_F(X11RootDesktop, AnUnreadablePictureOrAMissingServerChangesNothing) {
  class Unreadable : public ports::Pictures {
    std::unique_ptr<ports::Picture> Open(const std::string& path) override {
      throw Failure::InFile(FailureKind::DamagedPicture, path, "not a picture");
    }
  } unreadable;
  Environment environment = session_.Variables();
  environment.Set("DISPLAY", displayName_);
  ProcessToolRunner tools(environment);
  ReportedLines log;
  LinuxWallpaper(environment, tools, unreadable, log.Sink()).ShowAndKeep("/walls/out.bmp");
  environment.Set("DISPLAY", ":" + std::to_string(kScreenWidth * 1000));
  LinuxWallpaper(environment, tools, unreadable, log.Sink()).ShowAndKeep("/walls/out.bmp");
  EXPECT_EQ(log.text, "");
  EXPECT_EQ(PixmapProperty("_XROOTPMAP_ID"), static_cast<Pixmap>(None));
}

// The built program in a plain X session: what it wrote is what the screen
// shows, and so is what it wrote next to the same path.
TEST_F(X11RootDesktop, TheProgramShowsEachBmpItWritesToTheSamePath) {
  ThrowAwayUser user;
  user.PassFirstRun();
  WriteWholeFile(user.Home() / "canvas.bmp", EncodeBmp(Pattern(kScreenWidth, kScreenHeight, 3)));
  WriteWholeFile(user.Home() / "first.bmp", EncodeBmp(Pattern(20, 10, 60)));
  WriteWholeFile(user.Home() / "second.bmp", EncodeBmp(Pattern(20, 10, 200)));
  ports::Bitmap shownBefore;
  for (const std::string inset : {"first.bmp", "second.bmp"}) {
    const auto run = user.Run({"canvas.bmp,", inset + ",", "5,", "6,", "20,", "10,", "out.bmp"},
                              {"DISPLAY=" + displayName_});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.standardError, "");
    const auto written = ImageOf(user.Home() / "out.bmp");
    EXPECT_EQ(PixelsNotTiledFrom(written), 0) << inset;
    EXPECT_NE(written.bgr, shownBefore.bgr);
    shownBefore = written;
  }
}

}  // namespace
}  // namespace tessarin::testing
