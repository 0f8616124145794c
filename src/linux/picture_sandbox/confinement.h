#pragma once

#include <linux/filter.h>

#include <cstdint>
#include <vector>

#include "limits/decode_limits.h"

namespace tessarin::linux_platform::picture_sandbox {

// The steps that shut a decoder process in, called in this order in the
// forked child. Each ends the process (status 1) should the kernel refuse it:
// a decoder is never left to run with more than it was meant to have.

// Closes every file descriptor but the picture's and the channel's.
void CloseAllDescriptorsBut(int file, int channel);

// Whether the kernel bounds a decoder's data. Not in the tests' build with
// AddressSanitizer (gcc defines __SANITIZE_ADDRESS__), whose terabytes of
// reserved shadow memory the kernel counts as data: any limit would refuse
// every allocation there, and the allowance alone bounds the decoder.
#ifdef __SANITIZE_ADDRESS__
inline constexpr bool kDecoderDataLimited = false;
#else
inline constexpr bool kDecoderDataLimited = true;
#endif

// The kernel's bounds: the limits' decoderMiB of data (kDecoderDataLimited),
// processor time a little past their decodeProcessorSeconds (the run, which
// watches the process's processor clock while it waits, kills it at that
// first).
void LimitResources(const limits::DecodeLimits& limits);

// no_new_privs, then a seccomp filter that lets the process read its file,
// talk on its channel, manage memory, read the clock and exit; anything else
// (opening, creating, executing, connecting, signalling) kills it.
void AllowOnlyDecoding(int file, int channel);

// The filter's program, built by libseccomp once per process: called in the
// run before its first decoder starts, each decoder only loads it. (A
// decoder started without it builds the filter itself.)
void PrepareDecoderFilter();

// The program AllowOnlyDecoding loads for these descriptors; empty when it
// cannot be built (the decoder is then refused).
std::vector<sock_filter> DecoderFilter(int file, int channel);

// The same filter built by libseccomp for these descriptors: what
// DecoderFilter's program equals.
std::vector<sock_filter> CompileDecoderFilter(std::uint32_t file, std::uint32_t channel);

}  // namespace tessarin::linux_platform::picture_sandbox
