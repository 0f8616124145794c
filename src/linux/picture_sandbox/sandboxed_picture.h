#pragma once

#include <sys/types.h>
#include <time.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "linux/file_descriptor.h"
#include "linux/picture_sandbox/decoder_channel.h"
#include "linux/picture_sandbox/decoder_process.h"
#include "linux/picture_sandbox/shared_memory.h"
#include "pictures/decode_setup.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::linux_platform::picture_sandbox {

// A picture decoded in a process of its own (decoder_process.h), which
// holds nothing but the picture's file and its channel to the run, may make
// no system call but those decoding needs, and is bounded in memory and
// time. It decodes a few strips ahead of the reader into memory both map,
// so that decoding overlaps the writing of the output.
//
// Its failures reach the reader under the picture's own path, of their kind,
// in the decoder's words (bounded and escaped: they are not trusted); a
// decoder stopped for its processor time, its wait or its memory, or that
// dies, is a Failure naming the file and why.
//
// Its ring is mapped for it alone: kept from every decoder forked later.
class SandboxedPicture final : public ports::Picture {
 public:
  // Starts the decoder and waits for the picture's header. The setup (its
  // limits and allowance) and the pool (made for the setup's allowance) must
  // outlive the picture. `life` is what the forked child does.
  SandboxedPicture(std::unique_ptr<ports::InputFile> file, int fileDescriptor,
                   const DecoderSteps& steps, pictures::DecodeSetup& setup, DecoderPool& pool,
                   const DecoderLife& life = RunDecoderProcess);
  ~SandboxedPicture() override;
  SandboxedPicture(const SandboxedPicture&) = delete;
  SandboxedPicture& operator=(const SandboxedPicture&) = delete;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  ports::RowOrder Order() const override { return order_; }
  void ReadRows(std::uint8_t* out, int rows) override;
  ports::Bitmap ReadTopLeft(int width, int height) override;
  // The decoder fills its ring from now on.
  void ReadAhead() override;
  // The decoder decodes the block from now on.
  void AskTopLeft(int width, int height) override;
  // Whether the decoder has said that the block follows (or anything else).
  bool TopLeftReady() override;
  // The rows of the strip being read, in the ring itself (see the .cpp).
  ports::LentRows LendRows(int rows) override;

  // The decoder process while it runs (for tests to look at), else 0.
  pid_t DecoderProcess() const { return ended_ ? 0 : pid_; }

 private:
  // Why the run stopped a decoder itself.
  enum class Stop { None, ProcessorTime, Waiting, Misbehaved };

  void Start(std::unique_ptr<ports::InputFile> file, int fileDescriptor, const DecoderSteps& steps,
             DecoderPool& pool, const DecoderLife& life);
  void Send(const Message& message);
  Message Receive();
  void TakeStrip(std::size_t stride);
  void CopyRows(std::uint8_t* out, int rows, std::size_t stride);
  void CheckTheDecodersTime();
  double ProcessorSeconds() const;
  [[noreturn]] void ThrowWhyItEnded(Stop why = Stop::Misbehaved);
  [[noreturn]] void ThrowDecodersFailure(const DecoderFailed& failed, std::string_view words);
  void StopDecoder();
  int Reap(double* processorSeconds = nullptr);

  std::string path_;
  pictures::DecodeSetup& setup_;
  RingShape shape_;
  SharedMemory ring_;
  std::optional<FileDescriptor> channel_;
  pid_t pid_ = 0;
  std::optional<clockid_t> processorClock_;  // the decoder's, when the system gives it
  bool ended_ = false;
  std::chrono::steady_clock::duration waited_{};
  int width_ = 0, height_ = 0;
  ports::RowOrder order_ = ports::RowOrder::TopDown;
  bool streaming_ = false;
  bool blockAsked_ = false;
  int rowsRead_ = 0;
  int strip_ = -1;       // the strip being read, -1 before the first
  int stripRows_ = 0;    // rows it holds
  int stripOffset_ = 0;  // rows of it already read
  pictures::held::HeldMemory block_;
  std::optional<Failure> failure_;  // the decoder's, once it has sent it
};

}  // namespace tessarin::linux_platform::picture_sandbox
