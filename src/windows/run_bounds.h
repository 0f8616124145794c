#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "base/failure.h"

namespace tessarin::win32_platform {

// What a run may take on Windows. The system's picture services decode in the
// program's own process, so the bounds hold the whole run rather than one
// decoder: the same deadline for one picture's decoding as the Linux run's
// decoder processes have, and the memory the Linux run keeps within.
constexpr std::chrono::seconds kDecodeDeadline{4};
constexpr std::uint64_t kRunMemoryMiB = 384;  // committed memory of the whole process

// Puts the process in a job of its own that limits its committed memory to
// kRunMemoryMiB, so that an allocation past it fails rather than the system
// paging for everyone. Returns the job, held open for the rest of the run, or
// nullptr when the process cannot be placed in one (see the definition).
void* PlaceRunInMemoryJob();

// The failure stops past a bound, naming the picture's file.
Failure PictureTookTooLong(const std::string& path);
Failure PictureNeedsTooMuchMemory(const std::string& path);

}  // namespace tessarin::win32_platform
