#pragma once

#include "linux/input_files.h"
#include "linux/picture_sandbox/decoder_process.h"
#include "linux/picture_sandbox/shared_memory.h"
#include "pictures/decode_setup.h"
#include "ports/pictures.h"

namespace tessarin::linux_platform::picture_sandbox {

// Opens a picture with the decoder its first bytes call for, within the
// setup's limits, each in a process of its own
// (picture_sandbox/sandboxed_picture.h).
class LinuxPictures : public ports::Pictures {
 public:
  // The files come from `inputs`, the one the files port looks them up
  // through, so that the file found is the file decoded. `steps` are what the
  // decoder processes run (tests replace them).
  LinuxPictures(InputOpener& inputs, pictures::DecodeSetup& setup)
      : LinuxPictures(inputs, setup, RealDecoderSteps(setup)) {}
  LinuxPictures(InputOpener& inputs, pictures::DecodeSetup& setup, DecoderSteps steps)
      : inputs_(inputs), setup_(setup), steps_(std::move(steps)), pool_(setup.allowance) {}
  std::unique_ptr<ports::Picture> Open(const std::string& path) override;

 private:
  InputOpener& inputs_;
  pictures::DecodeSetup& setup_;
  DecoderSteps steps_;
  DecoderPool pool_;  // for the pictures it opens, which must not outlive it
};

}  // namespace tessarin::linux_platform::picture_sandbox
