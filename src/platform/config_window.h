#pragma once

namespace tessarin::platform {

class ConfigWindow {
 public:
  virtual ~ConfigWindow() = default;

  // Opens the configuration window without waiting for it: the caller
  // returns, and the window lives on until it is closed, which ends the program.
  virtual void Open() = 0;
};

}  // namespace tessarin::platform
