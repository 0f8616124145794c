#include "linux/picture_sandbox/sandboxed_picture.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <sstream>

#include "base/failure.h"
#include "pictures/held/held_picture.h"

namespace tessarin::linux_platform::picture_sandbox {
namespace {

using Clock = std::chrono::steady_clock;

// How often the run looks at a decoder's processor time while it waits.
constexpr std::chrono::milliseconds kWaitSlice{50};

// The most of a decoder's own words a failure shows.
constexpr std::size_t kShownWords = 200;

std::string SignalReason(int signal) {
  return "the picture's decoder stopped (signal " + std::to_string(signal) + ")";
}

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// User and system time of a process from /proc (where its clock cannot be
// read), 0 when that cannot be read either.
double ProcessorSecondsFromProc(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  const std::string stat{std::istreambuf_iterator<char>(in), {}};
  const std::size_t name = stat.rfind(')');  // the command name may hold anything
  if (name == std::string::npos) return 0;
  std::istringstream fields(stat.substr(name + 1));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i >= 14) ticks += std::strtod(field.c_str(), nullptr);  // utime, stime
  }
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Bytes of the printable character `text` starts with (ASCII or UTF-8), 0
// for a control character, a format character that reorders or breaks the
// line, or bytes that are no UTF-8.
std::size_t PrintableCharacter(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(0);
  if (first < 0x80) return first >= 0x20 && first != 0x7F ? 1 : 0;
  const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC2 ? 2 : 0;
  if (length == 0 || first > 0xF4 || text.size() < length) return 0;
  std::uint32_t code = first & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(i) & 0x3Fu);
  }
  constexpr std::array<std::uint32_t, 5> kLeast{0, 0, 0x80, 0x800, 0x10000};
  const bool invalid =
      code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF);
  const bool control = code < 0xA0 || code == 0x061C || code == 0x200E || code == 0x200F ||
                       (code >= 0x2028 && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
  return invalid || control ? 0 : length;
}

// A decoder's words, as the run shows them after its own file's name: the
// decoder's copy of that name taken off, at most kShownWords bytes, every
// byte that is no printable character written as \xNN.
std::string ShownWords(std::string_view words, const std::string& path) {
  const std::string own = path + ": ";
  if (words.substr(0, own.size()) == own) words.remove_prefix(own.size());
  std::string shown;
  while (!words.empty()) {
    const std::size_t length = PrintableCharacter(words);
    std::array<char, 5> escaped{};
    if (length == 0) {
      std::snprintf(escaped.data(), escaped.size(), "\\x%02X",
                    static_cast<unsigned char>(words[0]));
    }
    const std::string_view piece =
        length ? words.substr(0, length) : std::string_view(escaped.data(), 4);
    if (shown.size() + piece.size() > kShownWords) return shown + "...";
    shown += piece;
    words.remove_prefix(std::max<std::size_t>(length, 1));
  }
  return shown;
}

// The kinds a decoder's failure may be of; any other it names is taken for
// a decoder that stopped.
FailureKind DecodersKind(std::int32_t kind) {
  for (FailureKind known :
       {FailureKind::PictureUnreadable, FailureKind::DamagedPicture, FailureKind::PictureTooLarge,
        FailureKind::DecoderOutOfMemory, FailureKind::DecoderStopped, FailureKind::Platform}) {
    if (kind == static_cast<std::int32_t>(known)) return known;
  }
  return FailureKind::DecoderStopped;
}

}  // namespace

SandboxedPicture::SandboxedPicture(std::unique_ptr<ports::InputFile> file, int fileDescriptor,
                                   const DecoderSteps& steps, pictures::DecodeSetup& setup,
                                   DecoderPool& pool, const DecoderLife& life)
    : path_(file->Path()), setup_(setup), shape_(setup.limits), ring_(shape_.Bytes()) {
  Start(std::move(file), fileDescriptor, steps, pool, life);
  const std::optional<PictureHeader> header = As<PictureHeader>(Receive());
  // Nothing the decoder says is taken on trust: it may have been taken over.
  if (!header || header->width <= 0 || header->width > setup_.limits.maxPictureWidth ||
      header->height <= 0 || (header->rowOrder != 0 && header->rowOrder != 1)) {
    ThrowWhyItEnded();
  }
  width_ = header->width;
  height_ = header->height;
  order_ = static_cast<ports::RowOrder>(header->rowOrder);
}

// The ring is the child's alone: once forked, no later decoder inherits it.
void SandboxedPicture::Start(std::unique_ptr<ports::InputFile> file, int fileDescriptor,
                             const DecoderSteps& steps, DecoderPool& pool,
                             const DecoderLife& life) {
  int ends[2];
  if (!ring_.Mapped() || ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
    throw Failure::InFile(FailureKind::Platform, path_,
                          "cannot start its decoder: " + ErrnoText(errno));
  }
  channel_.emplace(ends[0]);
  new (ring_.Get()) RingHeader;
  const pid_t run = ::getpid();
  pid_ = ::fork();
  if (pid_ == 0) {
    DecoderChild child{std::move(file), fileDescriptor, ends[1], ring_.Get(), shape_,
                       setup_,          pool.Count(),   steps,   run};
    life(child);
    ::_exit(0);
  }
  const int error = errno;
  ::close(ends[1]);
  if (pid_ < 0) {
    ended_ = true;
    throw Failure::InFile(FailureKind::Platform, path_,
                          "cannot start its decoder: " + ErrnoText(error));
  }
  if (!ring_.KeepFromLaterForks()) {
    const int refused = errno;
    StopDecoder();
    throw Failure::InFile(FailureKind::Platform, path_,
                          "cannot start its decoder: " + ErrnoText(refused));
  }
  clockid_t clock{};
  if (::clock_getcpuclockid(pid_, &clock) == 0) processorClock_ = clock;
}

SandboxedPicture::~SandboxedPicture() { StopDecoder(); }

void SandboxedPicture::ReadRows(std::uint8_t* out, int rows) {
  pictures::held::CheckRowsLeft(path_, rowsRead_, rows, height_);
  ReadAhead();
  CopyRows(out, rows, static_cast<std::size_t>(width_) * ports::kBytesPerPixel);
  rowsRead_ += rows;
}

// What the reader does with rows lent in the ring is bounded by what it
// writes, not by what the decoder does meanwhile. The decoder can still
// change those bytes (it may have been taken over), even after the run has
// copied the block's pixels over some of them; but the run takes from the
// ring nothing it acts on: where the rows go, how many and how long they are
// come from the header and the counts checked in TakeStrip, the strip's
// place in the ring from the run's own map of it, and the output's header
// and row padding from the run's own memory. A decoder that writes the ring
// while its rows are written changes only pixel values of the output, which
// it decides anyway, never its size, header or any byte outside the rows.
ports::LentRows SandboxedPicture::LendRows(int rows) {
  pictures::held::CheckRowsLeft(path_, rowsRead_, rows, height_);
  ReadAhead();
  const std::size_t stride = static_cast<std::size_t>(width_) * ports::kBytesPerPixel;
  if (stripOffset_ == stripRows_) TakeStrip(stride);
  const int count = std::min(rows, stripRows_ - stripOffset_);
  std::uint8_t* first = shape_.StripAt(ring_.Get(), static_cast<std::size_t>(strip_)) +
                        stride * static_cast<std::size_t>(stripOffset_);
  stripOffset_ += count;
  rowsRead_ += count;
  return {first, count};
}

void SandboxedPicture::ReadAhead() {
  if (streaming_) return;
  streaming_ = true;
  Send(MessageOf(StreamRows{}));
}

void SandboxedPicture::AskTopLeft(int width, int height) {
  if (blockAsked_) return;
  blockAsked_ = true;
  Send(MessageOf(AskBlock{width, height}));
}

bool SandboxedPicture::TopLeftReady() {
  if (!blockAsked_ || ended_ || failure_) return true;
  pollfd ready{channel_->Get(), POLLIN, 0};
  return ::poll(&ready, 1, 0) != 0;
}

ports::Bitmap SandboxedPicture::ReadTopLeft(int width, int height) {
  AskTopLeft(width, height);
  const std::optional<BlockFollows> block = As<BlockFollows>(Receive());
  const bool empty = width <= 0 || height <= 0;
  if (!block || block->width != (empty ? 0 : std::min(width, width_)) ||
      block->height != (empty ? 0 : std::min(height, height_))) {
    ThrowWhyItEnded();
  }
  const std::size_t stride = static_cast<std::size_t>(block->width) * ports::kBytesPerPixel;
  ports::Bitmap result{block->width, block->height, {}};
  // Grown a strip at a time, so that its pages are touched only as the
  // decoder gives back those of the rows it has sent: not held whole twice.
  result.bgr.reserve(stride * static_cast<std::size_t>(result.height));
  for (int row = 0; row < result.height;) {
    const int count = std::min(result.height - row, shape_.StripRows(stride));
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
                shape_.StripAt(ring_.Get(), static_cast<std::size_t>(strip_)) +
                    stride * static_cast<std::size_t>(stripOffset_),
                bytes);
    out += bytes;
    rows -= count;
    stripOffset_ += count;
  }
}

// Gives the strip read back to the decoder and waits for the next one.
void SandboxedPicture::TakeStrip(std::size_t stride) {
  if (strip_ >= 0) Send(MessageOf(FreeStrip{strip_}));
  const std::optional<FilledStrip> filled = As<FilledStrip>(Receive());
  if (!filled || filled->strip < 0 || filled->strip >= static_cast<int>(kStrips) ||
      filled->rows <= 0 || filled->rows > shape_.StripRows(stride)) {
    ThrowWhyItEnded();
  }
  strip_ = filled->strip;
  stripRows_ = filled->rows;
  stripOffset_ = 0;
}

void SandboxedPicture::Send(const Message& message) {
  // A decoder that has ended is told nothing: what it left is in the ring.
  if (!ended_) ::send(channel_->Get(), &message, sizeof message, MSG_NOSIGNAL);
}

// The decoder's next message, waited for a slice at a time: between slices
// its processor time and the run's wait are checked against their bounds.
// Its failure is thrown in its words (once); a decoder that ends first or
// runs out of time is a failure of its own.
Message SandboxedPicture::Receive() {
  if (failure_) throw *failure_;
  std::array<char, sizeof(Message) + kMaxFailureText> packet{};
  for (;;) {
    pollfd ready{channel_->Get(), POLLIN, 0};
    const Clock::time_point start = Clock::now();
    const int polled = ::poll(&ready, 1, static_cast<int>(kWaitSlice.count()));
    waited_ += Clock::now() - start;
    if (polled < 0 && errno == EINTR) continue;
    if (polled == 0) {
      CheckTheDecodersTime();
      continue;
    }
    const ssize_t got = ::recv(channel_->Get(), packet.data(), packet.size(), 0);
    // A decoder that ends with strips given back unread resets its channel;
    // what it sent before is still there to read.
    if (got < 0 && (errno == EINTR || errno == ECONNRESET)) continue;
    if (got < static_cast<ssize_t>(sizeof(Message))) ThrowWhyItEnded(Stop::None);
    Message message{};
    std::memcpy(&message, packet.data(), sizeof message);
    const std::optional<DecoderFailed> failed = As<DecoderFailed>(message);
    if (!failed) return message;
    ThrowDecodersFailure(*failed, std::string_view(packet.data() + sizeof message,
                                                   static_cast<std::size_t>(got) - sizeof message));
  }
}

// The processor time is the decoder's bound; the wall clock only a net for
// a decoder that waits without working.
void SandboxedPicture::CheckTheDecodersTime() {
  if (ProcessorSeconds() > setup_.limits.decodeProcessorSeconds)
    ThrowWhyItEnded(Stop::ProcessorTime);
  if (waited_ > std::chrono::seconds(setup_.limits.decodeWaitSeconds))
    ThrowWhyItEnded(Stop::Waiting);
}

double SandboxedPicture::ProcessorSeconds() const {
  timespec time{};
  if (processorClock_ && ::clock_gettime(*processorClock_, &time) == 0)
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
  return ProcessorSecondsFromProc(pid_);
}

void SandboxedPicture::ThrowDecodersFailure(const DecoderFailed& failed, std::string_view words) {
  StopDecoder();
  failure_ = Failure::InFile(DecodersKind(failed.failureKind), path_, ShownWords(words, path_));
  throw *failure_;
}

// Also for a decoder that says what it should not: it is stopped first. The
// kernel's bound on processor time (SIGXCPU, then SIGKILL) is reported as
// the run's own.
void SandboxedPicture::ThrowWhyItEnded(Stop why) {
  const bool running = !ended_;
  if (running) ::kill(pid_, SIGKILL);
  double spent = 0;
  const int status = running ? Reap(&spent) : 0;
  const bool killedHere = running && why != Stop::None;
  const int signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  const bool overTime = signal == SIGXCPU || (signal == SIGKILL && !killedHere &&
                                              spent >= setup_.limits.decodeProcessorSeconds);
  FailureKind kind = FailureKind::DecoderStopped;
  std::string reason =
      "the picture's decoder stopped (status " + std::to_string(WEXITSTATUS(status)) + ")";
  if (why == Stop::ProcessorTime || overTime) {
    reason = limits::ProcessorTimeReason(setup_.limits);
  } else if (why == Stop::Waiting) {
    reason = limits::WaitReason(setup_.limits);
  } else if (WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemoryStatus) {
    kind = FailureKind::DecoderOutOfMemory;
    reason = "the picture needs more than " + std::to_string(setup_.limits.decoderMiB) + " MiB";
  } else if (signal != 0) {
    reason = SignalReason(signal);
  }
  failure_ = Failure::InFile(kind, path_, reason);
  throw *failure_;
}

// Its last message said, nothing more is wanted from the decoder: it is
// stopped rather than trusted to end.
void SandboxedPicture::StopDecoder() {
  if (ended_) return;
  ::kill(pid_, SIGKILL);
  Reap();
}

// Waits for the decoder's end and gives back what it held of the allowance
// (held/memory_allowance.h bounds what that can be).
int SandboxedPicture::Reap(double* processorSeconds) {
  int status = 0;
  rusage usage{};
  while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  ended_ = true;
  if (processorSeconds) *processorSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  setup_.allowance.GiveBackShareOf(static_cast<RingHeader*>(ring_.Get())->held);
  return status;
}

}  // namespace tessarin::linux_platform::picture_sandbox
