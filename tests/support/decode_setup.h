#pragma once

#include "pictures/decode_setup.h"

namespace tessarin::testing {

// The program's own decode limits and one allowance that every test's
// pictures share, as a run's pictures do.
inline pictures::DecodeSetup& ProgramDecoding() {
  static pictures::DecodeSetup setup;
  return setup;
}

}  // namespace tessarin::testing
