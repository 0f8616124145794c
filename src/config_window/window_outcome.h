#pragma once

#include <exception>
#include <optional>

#include "base/exit_code.h"

namespace tessarin::config_window {

// How a configuration window's life ended: the form's status on unload, or a
// failure that stopped one of its events. Events run inside the toolkit's
// loop, which no exception may cross, so the outcome is kept here and given
// once the loop has been left. The first outcome wins; later ones are dropped.
class WindowOutcome {
 public:
  bool Decided() const { return status_.has_value() || failure_ != nullptr; }
  bool Failed() const { return failure_ != nullptr; }

  void End(ExitCode status) {
    if (!Decided()) status_ = status;
  }
  // Keeps the failure being handled (call it inside a catch block).
  void FailWithCurrentException() {
    if (!Decided()) failure_ = std::current_exception();
  }

  // Rethrows the failure, else gives the status (ExitCode::Done when the
  // window ended without either).
  ExitCode Result() const {
    if (failure_) std::rethrow_exception(failure_);
    return status_.value_or(ExitCode::Done);
  }

 private:
  std::optional<ExitCode> status_;
  std::exception_ptr failure_;
};

}  // namespace tessarin::config_window
