#include "windows/ole_pictures.h"

// clang-format off
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <future>
#include <memory>
#include <new>
#include <vector>

#include "base/failure.h"
#include "pictures/held/held_picture.h"
#include "windows/com_support.h"
#include "windows/run_bounds.h"

namespace tessarin::windows_platform {
namespace {

constexpr const char* kUnreadable =
    "not a picture Windows can read (BMP, JPEG, GIF, icon or Windows metafile)";

// A stream over a copy of the bytes, freed with the stream.
bool OpenStreamOver(std::span<const std::uint8_t> bytes, ComReference<IStream>& stream) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (memory == nullptr) return false;
  void* copy = GlobalLock(memory);
  if (copy == nullptr) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(copy, bytes.data(), bytes.size());
  GlobalUnlock(memory);
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, stream.Out()))) {
    GlobalFree(memory);
    return false;
  }
  return true;
}

template <typename GdiHandle>
GdiHandle HandleOf(OLE_HANDLE handle) {
  return reinterpret_cast<GdiHandle>(static_cast<std::uintptr_t>(handle));
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (bitmap == nullptr || GetObjectW(bitmap, sizeof info, &info) == 0) return {0, 0};
  return {info.bmWidth, info.bmHeight};
}

SIZE IconSize(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return {0, 0};
  SIZE size = BitmapSize(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask);
  if (info.hbmColor == nullptr) size.cy /= 2;  // a monochrome icon's mask holds both halves
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
  return size;
}

// Bitmaps and icons have their own pixel size; a metafile's is its size in
// HIMETRIC (0.01 mm) at the screen's resolution, as the system draws it.
SIZE PixelSize(IPicture& picture, OLE_XSIZE_HIMETRIC width, OLE_YSIZE_HIMETRIC height) {
  SHORT type = PICTYPE_UNINITIALIZED;
  OLE_HANDLE handle = 0;
  picture.get_Type(&type);
  picture.get_Handle(&handle);
  if (type == PICTYPE_BITMAP) return BitmapSize(HandleOf<HBITMAP>(handle));
  if (type == PICTYPE_ICON) return IconSize(HandleOf<HICON>(handle));
  HDC screen = GetDC(nullptr);
  const SIZE size = {MulDiv(width, GetDeviceCaps(screen, LOGPIXELSX), 2540),
                     MulDiv(height, GetDeviceCaps(screen, LOGPIXELSY), 2540)};
  ReleaseDC(nullptr, screen);
  return size;
}

// A 32-bit top-down DIB section, all black, selected into a memory DC.
class BlackCanvas {
 public:
  BlackCanvas(SIZE size) : dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (bitmap_ != nullptr) {
      std::memset(bits_, 0,
                  static_cast<std::size_t>(size.cx) * 4 * static_cast<std::size_t>(size.cy));
      previous_ = SelectObject(dc_, bitmap_);
    }
  }
  ~BlackCanvas() {
    if (previous_ != nullptr) SelectObject(dc_, previous_);
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  BlackCanvas(const BlackCanvas&) = delete;
  BlackCanvas& operator=(const BlackCanvas&) = delete;
  bool Ready() const { return bitmap_ != nullptr; }
  HDC Dc() const { return dc_; }
  const std::uint8_t* Bgra() const {
    GdiFlush();
    return static_cast<const std::uint8_t*>(bits_);
  }

 private:
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  void* bits_ = nullptr;
};

ports::Bitmap ToBgr(const std::uint8_t* bgra, SIZE size) {
  ports::Bitmap image;
  image.width = size.cx;
  image.height = size.cy;
  const std::size_t pixels = static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy);
  image.bgr.resize(pixels * ports::kBytesPerPixel);
  for (std::size_t i = 0; i < pixels; ++i) std::memcpy(&image.bgr[i * 3], bgra + i * 4, 3);
  return image;
}

// Draws the picture onto the canvas at its own size. An icon is drawn by
// DrawIconEx itself, which honours both its mask and its alpha channel; the
// picture object's Render does not leave every transparent pixel untouched.
bool Draw(IPicture& picture, HDC dc, SIZE size, OLE_XSIZE_HIMETRIC width,
          OLE_YSIZE_HIMETRIC height) {
  SHORT type = PICTYPE_UNINITIALIZED;
  OLE_HANDLE handle = 0;
  picture.get_Type(&type);
  picture.get_Handle(&handle);
  if (type == PICTYPE_ICON) {
    return DrawIconEx(dc, 0, 0, HandleOf<HICON>(handle), size.cx, size.cy, 0, nullptr, DI_NORMAL);
  }
  // The source rectangle runs from the bottom up, in HIMETRIC.
  return SUCCEEDED(picture.Render(dc, 0, 0, size.cx, size.cy, 0, height, width, -height, nullptr));
}

}  // namespace

ports::Bitmap DecodeWithOle(std::span<const std::uint8_t> bytes, const std::string& path,
                            const limits::DecodeLimits& limits) {
  // OleLoadPicture hands JPEG and GIF to COM components: whatever thread
  // decodes needs COM (a thread that has it already keeps its own).
  const ComApartment apartment;
  if (bytes.empty() || bytes.size() > 0x7FFFFFFF)
    throw Failure::InFile(FailureKind::DamagedPicture, path, kUnreadable);
  ComReference<IStream> stream;
  if (!OpenStreamOver(bytes, stream)) throw PictureNeedsTooMuchMemory(path);
  ComReference<IPicture> picture;
  const HRESULT loaded = OleLoadPicture(stream.operator->(), static_cast<LONG>(bytes.size()), FALSE,
                                        IID_IPicture, picture.OutVoid());
  if (loaded == E_OUTOFMEMORY) throw PictureNeedsTooMuchMemory(path);
  if (FAILED(loaded)) throw Failure::InFile(FailureKind::DamagedPicture, path, kUnreadable);
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture->get_Width(&width);
  picture->get_Height(&height);
  const SIZE size = PixelSize(*picture.operator->(), width, height);
  if (size.cx <= 0 || size.cy <= 0)
    throw Failure::InFile(FailureKind::DamagedPicture, path, kUnreadable);
  // Refused rather than half drawn.
  if (static_cast<LONGLONG>(size.cx) * size.cy > limits.maxSystemDecodedPixels) {
    throw Failure::InFile(FailureKind::PictureTooLarge, path, "too large a picture");
  }
  // Within the limit, a canvas refused is memory refused.
  BlackCanvas canvas(size);
  if (!canvas.Ready()) throw PictureNeedsTooMuchMemory(path);
  if (!Draw(*picture.operator->(), canvas.Dc(), size, width, height)) {
    throw Failure::InFile(FailureKind::DamagedPicture, path, kUnreadable);
  }
  return ToBgr(canvas.Bgra(), size);
}

namespace {

// What the decoding thread holds: copies of all it uses, so that nothing it
// touches goes away under it when the run stops waiting.
struct DecodeJob {
  PictureDecoder decode;
  std::vector<std::uint8_t> bytes;
  std::string path;
  limits::DecodeLimits limits;
  std::promise<ports::Bitmap> promise;
};

DWORD WINAPI RunDecodeJob(void* context) {
  const std::unique_ptr<DecodeJob> job(static_cast<DecodeJob*>(context));
  const ComApartment apartment;
  try {
    job->promise.set_value(job->decode(job->bytes, job->path, job->limits));
  } catch (...) {
    job->promise.set_exception(std::current_exception());
  }
  return 0;
}

using ThreadHandle = std::unique_ptr<void, decltype(&CloseHandle)>;

// Waits for the decode while its thread works: past
// limits.decodeProcessorSeconds of the thread's processor time, or
// limits.decodeWaitSeconds of waiting in all, a failure stop. A thread's
// processor time grows no faster than the clock, so each wait lasts what is
// left of the processor allowance (or of the net, when less) and ends early
// when the decode does: a thread held off the processor by a busy machine
// loses nothing.
ports::Bitmap AwaitDecode(std::future<ports::Bitmap>& decoded, HANDLE thread,
                          const std::string& path, const limits::DecodeLimits& limits) {
  using Clock = std::chrono::steady_clock;
  const std::chrono::nanoseconds allowance = std::chrono::seconds(limits.decodeProcessorSeconds);
  const Clock::time_point net = Clock::now() + std::chrono::seconds(limits.decodeWaitSeconds);
  for (;;) {
    const std::chrono::nanoseconds used = ProcessorTimeOf(thread);
    if (used >= allowance) throw PictureTookTooMuchProcessorTime(path, limits);
    const Clock::time_point now = Clock::now();
    if (now >= net) throw DecoderWaitedTooLong(path, limits);
    if (decoded.wait_for(std::min<Clock::duration>(allowance - used, net - now)) ==
        std::future_status::ready)
      return decoded.get();
  }
}

// Runs the decode on a thread of its own, in a COM apartment of its own, and
// waits for it within its bounds. A decode past them is left running: nothing
// can stop the system's decoder safely, and the failure stop that follows
// ends the process, and the thread with it.
ports::Bitmap DecodeWithinBounds(const PictureDecoder& decode, std::vector<std::uint8_t> bytes,
                                 const std::string& path, const limits::DecodeLimits& limits) {
  auto job = std::make_unique<DecodeJob>(
      DecodeJob{decode, std::move(bytes), path, limits, std::promise<ports::Bitmap>()});
  std::future<ports::Bitmap> decoded = job->promise.get_future();
  const ThreadHandle thread(CreateThread(nullptr, 0, RunDecodeJob, job.get(), 0, nullptr),
                            &CloseHandle);
  // Under the run's job, a thread refused is its stack's memory refused.
  if (thread == nullptr) throw PictureNeedsTooMuchMemory(path);
  job.release();  // the thread's own now
  return AwaitDecode(decoded, thread.get(), path, limits);
}

}  // namespace

std::unique_ptr<ports::Picture> OlePictures::Open(const std::string& path) {
  const auto file = files_.OpenForReading(path);
  if (file->Size() > 0x7FFFFFFF)
    throw Failure::InFile(FailureKind::DamagedPicture, path, kUnreadable);
  try {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file->Size()));
    bytes.resize(file->ReadAt(0, bytes));
    return std::make_unique<pictures::held::HeldPicture>(
        DecodeWithinBounds(decode_, std::move(bytes), path, limits_), path);
  } catch (const std::bad_alloc&) {
    // Under the run's job, the memory limit is what refuses an allocation.
    throw PictureNeedsTooMuchMemory(path);
  }
}

}  // namespace tessarin::windows_platform
