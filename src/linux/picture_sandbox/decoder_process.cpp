#include "linux/picture_sandbox/decoder_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "base/failure.h"
#include "linux/picture_sandbox/confinement.h"
#include "linux/picture_sandbox/decoder_channel.h"
#include "pictures/picture_formats.h"

namespace tessarin::linux_platform::picture_sandbox {
namespace {

[[noreturn]] void OutOfMemory() { ::_exit(kOutOfMemoryStatus); }

// Gives the pages of bytes already sent back to the system, so that the
// block, which the run builds up as this process sends it, is not held whole
// twice at once. The bytes given back are not read again.
class PagesBehind {
 public:
  explicit PagesBehind(std::vector<std::uint8_t>& bytes)
      : next_(PageUp(bytes.data())), end_(bytes.data() + bytes.size()) {}

  void GiveBackUpTo(const std::uint8_t* sent) {
    std::uint8_t* limit = PageDown(std::min(sent, static_cast<const std::uint8_t*>(end_)));
    if (limit <= next_) return;
    ::madvise(next_, static_cast<std::size_t>(limit - next_), MADV_DONTNEED);
    next_ = limit;
  }

 private:
  static std::uintptr_t Page() { return static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE)); }
  static std::uint8_t* PageDown(const std::uint8_t* p) {
    return reinterpret_cast<std::uint8_t*>(reinterpret_cast<std::uintptr_t>(p) & ~(Page() - 1));
  }
  static std::uint8_t* PageUp(std::uint8_t* p) { return PageDown(p + Page() - 1); }

  std::uint8_t* next_;
  std::uint8_t* end_;
};

class DecoderSide {
 public:
  DecoderSide(int channel, void* ring, const RingShape& shape)
      : channel_(channel), ring_(ring), shape_(shape) {
    free_.fill(true);
  }

  // What the confined decoder could not load itself; false (said) when it fails.
  bool Prepare(ports::InputFile& file, const DecoderSteps& steps) {
    return Attempt([&] { steps.prepare(file); });
  }

  void Serve(std::unique_ptr<ports::InputFile> file, const DecoderSteps& steps) {
    std::unique_ptr<ports::Picture> picture;
    if (!Attempt([&] { picture = steps.decode(std::move(file)); })) return;
    Send(MessageOf(
        PictureHeader{picture->Width(), picture->Height(), static_cast<int>(picture->Order())}));
    const Message asked = Receive();
    if (As<StreamRows>(asked)) {
      Stream(static_cast<std::size_t>(picture->Width()) * ports::kBytesPerPixel, picture->Height(),
             [&](std::uint8_t* row, int) { picture->ReadRows(row, 1); });
    } else if (const std::optional<AskBlock> size = As<AskBlock>(asked)) {
      ports::Bitmap block;
      if (!Attempt([&] { block = picture->ReadTopLeft(size->width, size->height); })) return;
      const std::size_t stride = static_cast<std::size_t>(block.width) * ports::kBytesPerPixel;
      Send(MessageOf(BlockFollows{block.width, block.height}));
      PagesBehind sent(block.bgr);
      Stream(stride, block.height, [&](std::uint8_t* row, int y) {
        const std::uint8_t* from = block.bgr.data() + stride * static_cast<std::size_t>(y);
        std::memcpy(row, from, stride);
        sent.GiveBackUpTo(from + stride);
      });
    }
  }

 private:
  struct Fault {
    std::string text;
    FailureKind kind;
  };

  // Runs `work`, catching what it throws.
  template <typename Work>
  static std::optional<Fault> Catch(Work work) {
    try {
      work();
      return std::nullopt;
    } catch (const Failure& failure) {
      return Fault{failure.what(), failure.Kind()};
    } catch (const std::exception& error) {
      return Fault{error.what(), FailureKind::DamagedPicture};
    }
  }

  // Runs `work`; a failure goes back to the run instead. False then.
  template <typename Work>
  bool Attempt(Work work) {
    const std::optional<Fault> fault = Catch(work);
    if (fault) SendFailure(*fault);
    return !fault;
  }

  // `total` rows of `stride` bytes, each filled by fill(row, index), sent a
  // strip at a time; rows filled before a failure reach the run, then the
  // failure.
  template <typename Fill>
  void Stream(std::size_t stride, int total, Fill fill) {
    const int stripRows = shape_.StripRows(stride);
    for (int done = 0; done < total; next_ = (next_ + 1) % kStrips) {
      while (!free_[next_]) Receive();
      std::uint8_t* strip = shape_.StripAt(ring_, next_);
      const int rows = std::min(stripRows, total - done);
      int filled = 0;
      const std::optional<Fault> fault = Catch([&] {
        for (; filled < rows; ++filled)
          fill(strip + stride * static_cast<std::size_t>(filled), done + filled);
      });
      if (filled > 0) {
        free_[next_] = false;
        Send(MessageOf(FilledStrip{static_cast<int>(next_), filled}));
      }
      if (fault) return SendFailure(*fault);
      done += filled;
    }
  }

  void Send(const Message& message) { SendBytes(&message, sizeof message); }

  void SendFailure(const Fault& fault) {
    std::array<char, sizeof(Message) + kMaxFailureText> packet{};
    const Message message = MessageOf(DecoderFailed{static_cast<int>(fault.kind)});
    std::memcpy(packet.data(), &message, sizeof message);
    const std::size_t length = std::min(fault.text.size(), kMaxFailureText);
    std::memcpy(packet.data() + sizeof message, fault.text.data(), length);
    SendBytes(packet.data(), sizeof message + length);
  }

  // A run that is gone needs nothing more: the process ends.
  void SendBytes(const void* bytes, std::size_t size) {
    while (::send(channel_, bytes, size, MSG_NOSIGNAL) < 0) {
      if (errno != EINTR) ::_exit(0);
    }
  }

  // The run's next request; strips it gives back are marked free on the way.
  Message Receive() {
    Message message{};
    for (;;) {
      const ssize_t got = ::recv(channel_, &message, sizeof message, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got != static_cast<ssize_t>(sizeof message)) ::_exit(0);
      const std::optional<FreeStrip> freed = As<FreeStrip>(message);
      if (freed && freed->strip >= 0 && freed->strip < static_cast<int>(kStrips))
        free_[static_cast<std::size_t>(freed->strip)] = true;
      return message;
    }
  }

  int channel_;
  void* ring_;
  RingShape shape_;
  std::array<bool, kStrips> free_{};
  std::size_t next_ = 0;
};

}  // namespace

DecoderSteps RealDecoderSteps(pictures::DecodeSetup& setup) {
  return {[&setup](ports::InputFile& file) {
            std::array<std::uint8_t, 16> head{};
            const std::size_t n = file.ReadAt(0, head);
            if (pictures::RecognisePicture({head.data(), n}) == pictures::PictureFormat::Metafile &&
                setup.loadMetafileRenderer) {
              setup.loadMetafileRenderer(file.Path());
            }
          },
          [&setup](std::unique_ptr<ports::InputFile> file) {
            return pictures::OpenPicture(std::move(file), setup);
          }};
}

void RunDecoderProcess(DecoderChild& child) {
  // A run that ends takes its decoder with it, whatever the decoder waits for.
  if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != child.run) ::_exit(1);
  std::set_new_handler(OutOfMemory);
  CloseAllDescriptorsBut(child.fileDescriptor, child.channel);
  child.setup.allowance.CountIn(child.pool, static_cast<RingHeader*>(child.ring)->held);
  DecoderSide side(child.channel, child.ring, child.shape);
  if (!side.Prepare(*child.file, child.steps)) ::_exit(0);
  LimitResources(child.setup.limits);
  AllowOnlyDecoding(child.fileDescriptor, child.channel);
  side.Serve(std::move(child.file), child.steps);
  ::_exit(0);
}

}  // namespace tessarin::linux_platform::picture_sandbox
