#pragma once

#include "platform/desktop.h"

namespace tessarin::linux_platform {

// A desktop that Tessarin cannot reach: applying is passed over silently.
class NoDesktop : public platform::Desktop {
 public:
  void ApplyWallpaperNow(const std::string&) override {}
};

}  // namespace tessarin::linux_platform
