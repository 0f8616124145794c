#pragma once

#include "linux/picture_sandbox/decoder_process.h"
#include "linux/picture_sandbox/shared_memory.h"
#include "pictures/decode_setup.h"
#include "ports/files.h"
#include "ports/pictures.h"

namespace tessarin::linux_platform {

// Opens a picture with the decoder its first bytes call for, within the
// setup's limits, each in a process of its own
// (picture_sandbox/sandboxed_picture.h).
class LinuxPictures : public ports::Pictures {
 public:
  // `steps` are what the decoder processes run (tests replace them).
  LinuxPictures(ports::Files& files, pictures::DecodeSetup& setup)
      : LinuxPictures(files, setup, RealDecoderSteps(setup)) {}
  LinuxPictures(ports::Files& files, pictures::DecodeSetup& setup, DecoderSteps steps)
      : files_(files), setup_(setup), steps_(std::move(steps)), pool_(setup.allowance) {}
  std::unique_ptr<ports::Picture> Open(const std::string& path) override;

 private:
  ports::Files& files_;
  pictures::DecodeSetup& setup_;
  DecoderSteps steps_;
  DecoderPool pool_;  // for the pictures it opens, which must not outlive it
};

}  // namespace tessarin::linux_platform
