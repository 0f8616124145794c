// Every Xlib detail of the program lives in this file. libX11 is opened with
// dlopen when a plain X session needs it, so no other run pays for loading it.
#include "linux/desktops/x11_root.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "linux/loaded_module.h"

namespace tessarin::linux_platform::desktops {
namespace {

// The Xlib entry points used below.
struct Xlib {
  decltype(&XOpenDisplay) OpenDisplay = nullptr;
  decltype(&XCloseDisplay) CloseDisplay = nullptr;
  decltype(&XSetErrorHandler) SetErrorHandler = nullptr;
  decltype(&XInternAtom) InternAtom = nullptr;
  decltype(&XGetWindowProperty) GetWindowProperty = nullptr;
  decltype(&XChangeProperty) ChangeProperty = nullptr;
  decltype(&XFree) Free = nullptr;
  decltype(&XKillClient) KillClient = nullptr;
  decltype(&XCreatePixmap) CreatePixmap = nullptr;
  decltype(&XFreePixmap) FreePixmap = nullptr;
  decltype(&XCreateGC) CreateGC = nullptr;
  decltype(&XFreeGC) FreeGC = nullptr;
  decltype(&XFillRectangle) FillRectangle = nullptr;
  decltype(&XCreateImage) CreateImage = nullptr;
  decltype(&XPutImage) PutImage = nullptr;
  decltype(&XSetWindowBackgroundPixmap) SetWindowBackgroundPixmap = nullptr;
  decltype(&XClearWindow) ClearWindow = nullptr;
  decltype(&XSetCloseDownMode) SetCloseDownMode = nullptr;
  decltype(&XSync) Sync = nullptr;

  bool Load() {
    const LoadedModule library("libX11.so.6");
    return library.Find("XOpenDisplay", OpenDisplay) &&
           library.Find("XCloseDisplay", CloseDisplay) &&
           library.Find("XSetErrorHandler", SetErrorHandler) &&
           library.Find("XInternAtom", InternAtom) &&
           library.Find("XGetWindowProperty", GetWindowProperty) &&
           library.Find("XChangeProperty", ChangeProperty) && library.Find("XFree", Free) &&
           library.Find("XKillClient", KillClient) && library.Find("XCreatePixmap", CreatePixmap) &&
           library.Find("XFreePixmap", FreePixmap) && library.Find("XCreateGC", CreateGC) &&
           library.Find("XFreeGC", FreeGC) && library.Find("XFillRectangle", FillRectangle) &&
           library.Find("XCreateImage", CreateImage) && library.Find("XPutImage", PutImage) &&
           library.Find("XSetWindowBackgroundPixmap", SetWindowBackgroundPixmap) &&
           library.Find("XClearWindow", ClearWindow) &&
           library.Find("XSetCloseDownMode", SetCloseDownMode) && library.Find("XSync", Sync);
  }
};

// A stale pixmap id or a refused request must not end the process, as
// Xlib's default handler would.
int IgnoreError(Display*, XErrorEvent*) { return 0; }

// Where a TrueColor visual's mask puts one colour's bits in a pixel.
struct PixelField {
  int shift = 0;
  int bits = 0;
  explicit PixelField(unsigned long mask)
      : shift(mask == 0 ? 0 : std::countr_zero(mask)), bits(std::popcount(mask)) {}
  unsigned long Of(std::uint8_t value) const {
    const unsigned long scaled =
        bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8) : value >> (8 - bits);
    return scaled << shift;
  }
};

class RootPainter {
 public:
  RootPainter(Xlib& x, Display* display) : x_(x), display_(display) {}

  // Draws the picture's top-left part that can show on the screen into a new
  // pixmap, one strip of rows at a time.
  Pixmap PictureTile(ports::Picture& picture, int screenWidth, int screenHeight) const {
    const int width = std::min(picture.Width(), screenWidth);
    const int height = std::min(picture.Height(), screenHeight);
    const Pixmap tile = x_.CreatePixmap(display_, Root(), static_cast<unsigned>(width),
                                        static_cast<unsigned>(height), Depth());
    GC gc = x_.CreateGC(display_, tile, 0, nullptr);
    constexpr int kStripRows = 64;
    std::vector<std::uint8_t> rows;
    const bool bottomUp = picture.Order() == ports::RowOrder::BottomUp;
    for (int done = 0; done < picture.Height();) {
      const int count = std::min(kStripRows, picture.Height() - done);
      rows.resize(static_cast<std::size_t>(count) * picture.Width() * ports::kBytesPerPixel);
      picture.ReadRows(rows.data(), count);
      const int firstY = bottomUp ? picture.Height() - done - count : done;
      PutStrip(tile, gc, rows, picture.Width(), width, firstY, count, bottomUp, height);
      done += count;
    }
    x_.FreeGC(display_, gc);
    return tile;
  }

  // A screen-sized pixmap with the tile repeated over it.
  Pixmap TiledOverScreen(Pixmap tile, int screenWidth, int screenHeight) const {
    const Pixmap full = x_.CreatePixmap(display_, Root(), static_cast<unsigned>(screenWidth),
                                        static_cast<unsigned>(screenHeight), Depth());
    XGCValues values{};
    values.fill_style = FillTiled;
    values.tile = tile;
    GC gc = x_.CreateGC(display_, full, GCFillStyle | GCTile, &values);
    x_.FillRectangle(display_, full, gc, 0, 0, static_cast<unsigned>(screenWidth),
                     static_cast<unsigned>(screenHeight));
    x_.FreeGC(display_, gc);
    return full;
  }

  Window Root() const { return DefaultRootWindow(display_); }
  unsigned Depth() const {
    return static_cast<unsigned>(DefaultDepth(display_, DefaultScreen(display_)));
  }
  Visual* TheVisual() const { return DefaultVisual(display_, DefaultScreen(display_)); }

 private:
  // Rows [firstY, firstY + count) of the picture, as read (bottom row first
  // for a bottom-up file); rows at or below `height` are not shown.
  void PutStrip(Pixmap tile, GC gc, const std::vector<std::uint8_t>& rows, int pictureWidth,
                int width, int firstY, int count, bool bottomUp, int height) const {
    const int shownRows = std::min(firstY + count, height) - firstY;
    if (shownRows <= 0) return;
    XImage* image =
        x_.CreateImage(display_, TheVisual(), Depth(), ZPixmap, 0, nullptr,
                       static_cast<unsigned>(width), static_cast<unsigned>(shownRows), 32, 0);
    if (image == nullptr) return;
    std::vector<char> pixels(static_cast<std::size_t>(image->bytes_per_line) * shownRows);
    image->data = pixels.data();
    const PixelField red(TheVisual()->red_mask), green(TheVisual()->green_mask),
        blue(TheVisual()->blue_mask);
    for (int y = 0; y < shownRows; ++y) {
      const int readIndex = bottomUp ? count - 1 - y : y;
      const std::uint8_t* bgr =
          rows.data() + static_cast<std::size_t>(readIndex) * pictureWidth * 3;
      for (int column = 0; column < width; ++column, bgr += 3) {
        XPutPixel(image, column, y, red.Of(bgr[2]) | green.Of(bgr[1]) | blue.Of(bgr[0]));
      }
    }
    x_.PutImage(display_, tile, gc, image, 0, 0, 0, firstY, static_cast<unsigned>(width),
                static_cast<unsigned>(shownRows));
    image->data = nullptr;  // ours, not Xlib's to free
    XDestroyImage(image);
  }

  Xlib& x_;
  Display* display_;
};

Pixmap ReadPixmapProperty(Xlib& x, Display* display, Window root, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  Pixmap pixmap = None;
  if (x.GetWindowProperty(display, root, property, 0, 1, False, XA_PIXMAP, &type, &format, &items,
                          &after, &data) == Success &&
      type == XA_PIXMAP && format == 32 && items == 1 && data != nullptr) {
    unsigned long value = 0;  // Xlib hands 32-bit items over as longs
    std::memcpy(&value, data, sizeof value);
    pixmap = value;
  }
  if (data != nullptr) x.Free(data);
  return pixmap;
}

void PublishPixmap(Xlib& x, Display* display, Window root, Atom property, Pixmap pixmap) {
  const unsigned long value = pixmap;
  x.ChangeProperty(display, root, property, XA_PIXMAP, 32, PropModeReplace,
                   reinterpret_cast<const unsigned char*>(&value), 1);
}

}  // namespace

std::string SetX11RootPicture(const std::string& displayName, const std::string& path,
                              ports::Pictures& pictures) {
  Xlib x;
  if (!x.Load()) return {};
  x.SetErrorHandler(IgnoreError);
  Display* display = x.OpenDisplay(displayName.c_str());
  if (display == nullptr) return {};
  const RootPainter painter(x, display);
  if (painter.TheVisual()->c_class != TrueColor) {
    x.CloseDisplay(display);
    return {};
  }
  const auto picture = pictures.Open(path);
  const int screen = DefaultScreen(display);
  const int width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
  const Pixmap tile = painter.PictureTile(*picture, width, height);
  const Pixmap full = painter.TiledOverScreen(tile, width, height);
  x.FreePixmap(display, tile);

  const Window root = painter.Root();
  const Atom rootPixmap = x.InternAtom(display, "_XROOTPMAP_ID", False);
  const Atom esetroot = x.InternAtom(display, "ESETROOT_PMAP_ID", False);
  // A setter that left both properties naming one pixmap kept it alive for
  // us to free; any other owner is left alone.
  const Pixmap earlier = ReadPixmapProperty(x, display, root, esetroot);
  if (earlier != None && earlier == ReadPixmapProperty(x, display, root, rootPixmap)) {
    x.KillClient(display, earlier);
  }
  PublishPixmap(x, display, root, rootPixmap, full);
  PublishPixmap(x, display, root, esetroot, full);
  x.SetWindowBackgroundPixmap(display, root, full);
  x.ClearWindow(display, root);
  x.SetCloseDownMode(display, RetainPermanent);
  x.Sync(display, False);
  const bool published = ReadPixmapProperty(x, display, root, rootPixmap) == full &&
                         ReadPixmapProperty(x, display, root, esetroot) == full;
  x.CloseDisplay(display);
  return published ? std::string()
                   : "the X root window's pixmap properties do not name the new pixmap";
}

void ApplyX11Root(const DesktopTools& desktop, const std::string& path) {
  const auto outcome = RunInChild([&] {
    return SetX11RootPicture(desktop.environment.Get("DISPLAY"), path, desktop.pictures);
  });
  if (outcome.Succeeded() && !outcome.output.empty()) desktop.Report(outcome.output);
}

}  // namespace tessarin::linux_platform::desktops
