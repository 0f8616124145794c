#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "linux/picture_sandbox/decoder_channel.h"
#include "pictures/decode_setup.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::linux_platform::picture_sandbox {

// What a decoder process runs: before its confinement, `prepare` loads what
// decoding the file will need that the confined process could not open
// (the metafile renderer and its fonts); then `decode` opens the picture.
// Tests replace them with decoders that misbehave.
struct DecoderSteps {
  std::function<void(ports::InputFile& file)> prepare;
  std::function<std::unique_ptr<ports::Picture>(std::unique_ptr<ports::InputFile> file)> decode;
};

// The steps of a real run: the metafile renderer (and its fonts) loaded for
// a metafile, any picture opened by the format its first bytes tell, within
// the setup's limits. The setup must outlive the steps.
DecoderSteps RealDecoderSteps(pictures::DecodeSetup& setup);

// What a forked decoder process is given: its file, its end of the channel,
// its ring (the strips and its own count of the allowance), the setup and
// the count every decoder of the run shares, and the run's process.
struct DecoderChild {
  std::unique_ptr<ports::InputFile> file;
  int fileDescriptor;
  int channel;
  void* ring;
  const RingShape& shape;
  pictures::DecodeSetup& setup;
  std::atomic<std::uint64_t>& pool;
  const DecoderSteps& steps;
  pid_t run;
};

// The forked child's whole life: shuts itself in (confinement.h), opens the
// picture, sends its header, then the rows or the block the run asks for,
// strip by strip through its ring; a failure goes back as its message. Ends
// the process. Within the setup's limits; its allowance is counted from then
// on in the pool and its ring.
[[noreturn]] void RunDecoderProcess(DecoderChild& child);

// What a forked child lives (RunDecoderProcess; the tests and the fuzz
// targets script decoders that lie). The process ends when it returns.
using DecoderLife = std::function<void(DecoderChild& child)>;

}  // namespace tessarin::linux_platform::picture_sandbox
