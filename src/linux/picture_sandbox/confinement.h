#pragma once

#include "pictures/held/decode_limits.h"

namespace tessarin::linux_platform {

// The steps that shut a decoder process in, called in this order in the
// forked child. Each ends the process (status 1) should the kernel refuse it:
// a decoder is never left to run with more than it was meant to have.

// Closes every file descriptor but the picture's and the channel's.
void CloseAllDescriptorsBut(int file, int channel);

// The kernel's bounds: the limits' decoderMiB of data, CPU time a little
// past their decodeProcessorSeconds (the run kills it at that many seconds of
// waiting first).
void LimitResources(const pictures::DecodeLimits& limits);

// no_new_privs, then a seccomp filter that lets the process read its file,
// talk on its channel, manage memory, read the clock and exit; anything else
// (opening, creating, executing, connecting, signalling) kills it.
void AllowOnlyDecoding(int file, int channel);

}  // namespace tessarin::linux_platform
