#pragma once

#include <cstdint>
#include <string>

#include "base/failure.h"

namespace tessarin::win32_platform {

// What a run may take on Windows. The system's picture services decode in the
// program's own process, so the bounds hold the whole run rather than one
// decoder: the deadline for one picture's decoding is the decode limits'
// (DecodeLimits::decodeProcessorSeconds, as the Linux run's decoder processes have),
// and the memory is what the Linux run keeps within.
constexpr std::uint64_t kRunMemoryMiB = 384;  // committed memory of the whole process

// Puts the process in a job of its own that limits its committed memory to
// kRunMemoryMiB, so that an allocation past it fails rather than the system
// paging for everyone. Returns the job, held open for the rest of the run, or
// nullptr when the process cannot be placed in one (see the definition).
void* PlaceRunInMemoryJob();

// The failure stops past a bound, naming the picture's file.
Failure PictureTookTooLong(const std::string& path, int seconds);
Failure PictureNeedsTooMuchMemory(const std::string& path);

}  // namespace tessarin::win32_platform
