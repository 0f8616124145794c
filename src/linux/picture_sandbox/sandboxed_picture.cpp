#include "linux/picture_sandbox/sandboxed_picture.h"

#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <new>

#include "base/failure.h"
#include "linux/picture_sandbox/decoder_bounds.h"
#include "pictures/held/held_picture.h"

namespace tessarin::linux_platform {
namespace {

using Clock = std::chrono::steady_clock;

void* MapShared(std::size_t bytes) {
  void* memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return memory == MAP_FAILED ? nullptr : memory;
}

// The setup's whole-decode allowance, counted in memory every decoder
// process of the run shares, so that all of them together stay within it.
std::atomic<std::uint64_t>& SharedAllowance(pictures::MemoryAllowance& allowance) {
  static std::map<const pictures::MemoryAllowance*, std::atomic<std::uint64_t>*> shared;
  auto& counter = shared[&allowance];
  if (counter == nullptr) {
    void* page = MapShared(sizeof(std::atomic<std::uint64_t>));
    if (!page) throw std::bad_alloc();
    counter = new (page) std::atomic<std::uint64_t>(0);
    allowance.CountIn(*counter, nullptr);
  }
  return *counter;
}

std::string SignalReason(int signal) {
  return "the picture's decoder stopped (signal " + std::to_string(signal) + ")";
}

std::string TimeReason(const pictures::DecodeLimits& limits) {
  return "the picture took longer than " + std::to_string(limits.decodeProcessorSeconds) +
         " seconds to decode";
}

}  // namespace

SandboxedPicture::SandboxedPicture(std::unique_ptr<ports::InputFile> file, int fileDescriptor,
                                   const DecoderSteps& steps, pictures::DecodeSetup& setup)
    : path_(file->Path()), setup_(setup), shape_(setup.limits) {
  Start(std::move(file), fileDescriptor, steps);
  const Message header = Receive();
  // Nothing the decoder says is taken on trust: it may have been taken over.
  if (header.kind != MessageKind::Header || header.a <= 0 ||
      header.a > setup_.limits.maxPictureWidth || header.b <= 0 ||
      (header.c != 0 && header.c != 1)) {
    ThrowWhyItEnded();
  }
  width_ = header.a;
  height_ = header.b;
  order_ = static_cast<ports::RowOrder>(header.c);
}

void SandboxedPicture::Start(std::unique_ptr<ports::InputFile> file, int fileDescriptor,
                             const DecoderSteps& steps) {
  std::atomic<std::uint64_t>& allowance = SharedAllowance(setup_.allowance);
  ring_ = MapShared(shape_.Bytes());
  int ends[2];
  if (!ring_ || ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
    throw Failure::InFile(FailureKind::Platform, path_,
                          "cannot start its decoder: " + ErrnoText(errno));
  }
  channel_.emplace(ends[0]);
  new (ring_) RingHeader;
  pid_ = ::fork();
  if (pid_ == 0)
    RunDecoderProcess(std::move(file), fileDescriptor, ends[1], ring_, shape_, setup_, allowance,
                      steps);
  const int error = errno;
  ::close(ends[1]);
  if (pid_ < 0) {
    ended_ = true;
    throw Failure::InFile(FailureKind::Platform, path_,
                          "cannot start its decoder: " + ErrnoText(error));
  }
}

SandboxedPicture::~SandboxedPicture() {
  StopDecoder();
  if (ring_) ::munmap(ring_, shape_.Bytes());
}

void SandboxedPicture::ReadRows(std::uint8_t* out, int rows) {
  pictures::CheckRowsLeft(path_, rowsRead_, rows, height_);
  if (!streaming_) {
    streaming_ = true;
    Send({MessageKind::ReadRows});
  }
  CopyRows(out, rows, static_cast<std::size_t>(width_) * ports::kBytesPerPixel);
  rowsRead_ += rows;
}

ports::Bitmap SandboxedPicture::ReadTopLeft(int width, int height) {
  Send({MessageKind::ReadBlock, width, height});
  const Message block = Receive();
  const bool empty = width <= 0 || height <= 0;
  if (block.kind != MessageKind::Block || block.a != (empty ? 0 : std::min(width, width_)) ||
      block.b != (empty ? 0 : std::min(height, height_))) {
    ThrowWhyItEnded();
  }
  const std::size_t stride = static_cast<std::size_t>(block.a) * ports::kBytesPerPixel;
  ports::Bitmap result{block.a, block.b, {}};
  // Grown a strip at a time, so that its pages are touched only as the
  // decoder gives back those of the rows it has sent: not held whole twice.
  result.bgr.reserve(stride * static_cast<std::size_t>(block.b));
  for (int row = 0; row < block.b;) {
    const int count = std::min(block.b - row, shape_.StripRows(stride));
    result.bgr.resize(result.bgr.size() + stride * static_cast<std::size_t>(count));
    CopyRows(result.bgr.data() + stride * static_cast<std::size_t>(row), count, stride);
    row += count;
  }
  // The decoder's share of the allowance, which held the block, passes to it here.
  StopDecoder();
  block_ = setup_.allowance.Take(path_, result.bgr.size());
  return result;
}

void SandboxedPicture::CopyRows(std::uint8_t* out, int rows, std::size_t stride) {
  while (rows > 0) {
    if (stripOffset_ == stripRows_) TakeStrip(stride);
    const int count = std::min(rows, stripRows_ - stripOffset_);
    const std::size_t bytes = stride * static_cast<std::size_t>(count);
    std::memcpy(out,
                shape_.StripAt(ring_, static_cast<std::size_t>(strip_)) +
                    stride * static_cast<std::size_t>(stripOffset_),
                bytes);
    out += bytes;
    rows -= count;
    stripOffset_ += count;
  }
}

// Gives the strip read back to the decoder and waits for the next one.
void SandboxedPicture::TakeStrip(std::size_t stride) {
  if (strip_ >= 0) Send({MessageKind::Free, strip_});
  const Message rows = Receive();
  if (rows.kind != MessageKind::Rows || rows.a < 0 || rows.a >= static_cast<int>(kStrips) ||
      rows.b <= 0 || rows.b > shape_.StripRows(stride)) {
    ThrowWhyItEnded();
  }
  strip_ = rows.a;
  stripRows_ = rows.b;
  stripOffset_ = 0;
}

void SandboxedPicture::Send(const Message& message) {
  // A decoder that has ended is told nothing: what it left is in the ring.
  if (!ended_) ::send(channel_->Get(), &message, sizeof message, MSG_NOSIGNAL);
}

// The decoder's next message, waited for within what is left of its time.
// Its failure is thrown as it was sent; a decoder that ends first or runs out
// of time is a failure of its own.
Message SandboxedPicture::Receive() {
  if (failure_) throw *failure_;
  std::array<char, sizeof(Message) + kMaxFailureText> packet{};
  for (;;) {
    pollfd ready{channel_->Get(), POLLIN, 0};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        std::chrono::seconds(setup_.limits.decodeProcessorSeconds) - waited_);
    const Clock::time_point start = Clock::now();
    const int polled = ::poll(&ready, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    waited_ += Clock::now() - start;
    if (polled < 0 && errno == EINTR) continue;
    if (polled == 0) {
      killed_ = true;
      ThrowWhyItEnded();
    }
    const ssize_t got = ::recv(channel_->Get(), packet.data(), packet.size(), 0);
    // A decoder that ends with strips given back unread resets its channel;
    // what it sent before is still there to read.
    if (got < 0 && (errno == EINTR || errno == ECONNRESET)) continue;
    if (got < static_cast<ssize_t>(sizeof(Message))) ThrowWhyItEnded();
    Message message{};
    std::memcpy(&message, packet.data(), sizeof message);
    if (message.kind != MessageKind::Failure) return message;
    StopDecoder();
    const bool known = message.a >= 0 && message.a <= static_cast<int>(FailureKind::Platform);
    failure_.emplace(known ? static_cast<FailureKind>(message.a) : FailureKind::DecoderStopped,
                     std::string(packet.data() + sizeof message,
                                 static_cast<std::size_t>(got) - sizeof message));
    throw *failure_;
  }
}

// Also for a decoder that says what it should not: it is stopped first.
void SandboxedPicture::ThrowWhyItEnded() {
  if (!ended_) ::kill(pid_, SIGKILL);
  const int status = ended_ ? 0 : Reap();
  std::string reason =
      "the picture's decoder stopped (status " + std::to_string(WEXITSTATUS(status)) + ")";
  if (killed_ || (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)) {
    reason = TimeReason(setup_.limits);
  } else if (WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemoryStatus) {
    reason = "the picture needs more than " + std::to_string(setup_.limits.decoderMiB) + " MiB";
  } else if (WIFSIGNALED(status)) {
    reason = SignalReason(WTERMSIG(status));
  }
  failure_ = Failure::InFile(FailureKind::DecoderStopped, path_, reason);
  throw *failure_;
}

// Its last message said, nothing more is wanted from the decoder: it is
// stopped rather than trusted to end.
void SandboxedPicture::StopDecoder() {
  if (ended_) return;
  ::kill(pid_, SIGKILL);
  Reap();
}

// Waits for the decoder's end and gives back what it held of the allowance.
int SandboxedPicture::Reap() {
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  ended_ = true;
  setup_.allowance.GiveBackShareOf(static_cast<RingHeader*>(ring_)->held);
  return status;
}

}  // namespace tessarin::linux_platform
