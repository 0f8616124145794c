#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/failure.h"
#include "linux/file_descriptor.h"
#include "linux/picture_sandbox/decoder_channel.h"
#include "linux/picture_sandbox/decoder_process.h"
#include "pictures/decode_setup.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::linux_platform {

// A picture decoded in a process of its own (decoder_process.h), which
// holds nothing but the picture's file and its channel to the run, may make
// no system call but those decoding needs, and is bounded in memory and
// time. It decodes a few strips ahead of the reader into memory both map,
// so that decoding overlaps the writing of the output.
//
// Its failures reach the reader unchanged; a decoder stopped for time or
// memory, or that dies, is a Failure naming the file and why.
class SandboxedPicture final : public ports::Picture {
 public:
  // Starts the decoder and waits for the picture's header. The setup (its
  // limits and allowance) must outlive the picture.
  SandboxedPicture(std::unique_ptr<ports::InputFile> file, int fileDescriptor,
                   const DecoderSteps& steps, pictures::DecodeSetup& setup);
  ~SandboxedPicture() override;
  SandboxedPicture(const SandboxedPicture&) = delete;
  SandboxedPicture& operator=(const SandboxedPicture&) = delete;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  ports::RowOrder Order() const override { return order_; }
  void ReadRows(std::uint8_t* out, int rows) override;
  ports::Bitmap ReadTopLeft(int width, int height) override;

  // The decoder process while it runs (for tests to look at), else 0.
  pid_t DecoderProcess() const { return ended_ ? 0 : pid_; }

 private:
  void Start(std::unique_ptr<ports::InputFile> file, int fileDescriptor, const DecoderSteps& steps);
  void Send(const Message& message);
  Message Receive();
  void TakeStrip(std::size_t stride);
  void CopyRows(std::uint8_t* out, int rows, std::size_t stride);
  [[noreturn]] void ThrowWhyItEnded();
  void StopDecoder();
  int Reap();

  std::string path_;
  pictures::DecodeSetup& setup_;
  RingShape shape_;
  void* ring_ = nullptr;
  std::optional<FileDescriptor> channel_;
  pid_t pid_ = 0;
  bool ended_ = false;
  bool killed_ = false;  // for its time, by the run
  std::chrono::steady_clock::duration waited_{};
  int width_ = 0, height_ = 0;
  ports::RowOrder order_ = ports::RowOrder::TopDown;
  bool streaming_ = false;
  int rowsRead_ = 0;
  int strip_ = -1;       // the strip being read, -1 before the first
  int stripRows_ = 0;    // rows it holds
  int stripOffset_ = 0;  // rows of it already read
  pictures::HeldMemory block_;
  std::optional<Failure> failure_;  // the decoder's, once it has sent it
};

}  // namespace tessarin::linux_platform
