#pragma once

#include <string>

#include "pictures/decode_setup.h"

namespace tessarin::linux_platform {

// The metafile module (tessarin-metafile.so) loaded with dlopen on the
// first metafile, and kept for the life of the process: the one at
// `modulePath`.
pictures::MetafileRendererLoader MetafileRendererAt(std::string modulePath);

// The one beside the executable, or in ../lib/tessarin/ (the installed
// layout); a failure names the last place looked in.
pictures::MetafileRendererLoader MetafileRendererOfThisProcess();

}  // namespace tessarin::linux_platform
