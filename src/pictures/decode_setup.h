#pragma once

#include "pictures/held/decode_limits.h"
#include "pictures/held/memory_allowance.h"

namespace tessarin::pictures {

// What every decoder is opened with: the limits it decodes within and the
// allowance it holds memory from. Made once by the wiring (or a test, or a
// fuzz target); it must outlive every picture opened with it.
struct DecodeSetup {
  explicit DecodeSetup(const DecodeLimits& decodeLimits = {})
      : limits(decodeLimits), allowance(decodeLimits.maxHeldBytes) {}

  const DecodeLimits limits;
  MemoryAllowance allowance;
};

}  // namespace tessarin::pictures
