#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace tessarin::limits {

// What a whole run may take, whatever its pictures declare: it is started
// unattended at logon, so it ends within seconds and leaves memory to the
// desktop starting beside it. The hostile pictures' tests hold every run of
// the built program to these (their CMake registration reads them from here).
inline constexpr int kRunSeconds = 10;
inline constexpr std::uint64_t kRunMiB = 384;

// The Windows program: the system's decoders run in the program's own
// process, so its job bounds the committed memory of the whole run.
inline constexpr std::uint64_t kWindowsJobMiB = kRunMiB;

// The wallpaper is written and flushed at the disk's pace while a canvas may
// declare any size its header holds in a few bytes: at most 256 MiB (an 8K
// picture takes 95 MiB), so that every run ends within seconds.
inline constexpr std::uint64_t kMaxWallpaperBytes = std::uint64_t{256} << 20;

// The output is composed and written a strip at a time: big enough that each
// write is worth its system call, small enough to stay in the caches.
inline constexpr std::size_t kOutputStripBytes = 256 * 1024;

// Canvas rows the inset's block lands on may be held aside, up to this much,
// while the rows after them are written and the block is still decoding.
inline constexpr std::size_t kHeldForTheBlockBytes = 4 << 20;

// Every desktop tool call and every child's work (linux/desktops/) is cut off
// after this long: a hung settings service must not hold the run.
inline constexpr std::chrono::milliseconds kToolTimeLimit{2000};

}  // namespace tessarin::limits
